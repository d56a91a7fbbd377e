// The main window's key rules: Tab order, Enter, Escape, C, and the focus
// given back to the window.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <vector>

#include "core/keys.h"
#include "platform/toolkit.h"
#include "tests/unit/feed_hub_peer.h"

namespace orv {

void PrintTo(const KeyAction& a, std::ostream* out) {
  static const char* const kWhat[] = {"NotTaken", "Taken", "Press", "Focus"};
  *out << kWhat[static_cast<int>(a.what)];
  if (a.what == KeyAction::What::Press || a.what == KeyAction::What::Focus) *out << ' ' << controlName(controlId(a.control));
}

namespace {

constexpr Control kRecord = Control::RecordButton, kClose = Control::CloseButton, kLive = Control::LiveBox,
                  kTestData = Control::TestDataBox;
const KeyAction kTaken{KeyAction::What::Taken};
const KeyAction kNotTaken{KeyAction::What::NotTaken};

// The window as the rules see it; every control can take the focus unless disabled.
struct Window {
  std::optional<Control> focus = kRecord;
  std::optional<Control> lastFocus = kRecord;
  std::set<Control> disabled;
  ButtonKind recordKind = ButtonKind::Ok;
  bool ctrlOrAlt = false;

  KeyContext context() const {
    return KeyContext{focus, lastFocus, recordKind, [this](Control c) { return disabled.count(c) == 0; }, ctrlOrAlt};
  }
  KeyAction press(Key key) const { return keyAction(key, context()); }
  // Presses the key `times` times, following the focus; the controls focused in turn.
  std::vector<Control> walk(Key key, int times) {
    std::vector<Control> seen;
    for (int i = 0; i < times; ++i) {
      const KeyAction a = press(key);
      if (a.what != KeyAction::What::Focus) break;
      focus = lastFocus = a.control;
      seen.push_back(a.control);
    }
    return seen;
  }
};

TEST(TabOrder, GoesRoundBothWaysSkippingControlsThatCannotTakeTheFocus) {
  Window w;
  EXPECT_EQ(w.walk(Key::Tab, 5), (std::vector{kClose, kLive, kTestData, kRecord, kClose}));
  EXPECT_EQ(w.walk(Key::ShiftTab, 5), (std::vector{kRecord, kTestData, kLive, kClose, kRecord}));
  w.disabled = {kLive};
  EXPECT_EQ(w.walk(Key::Tab, 3), (std::vector{kClose, kTestData, kRecord}));
  EXPECT_EQ(w.walk(Key::ShiftTab, 2), (std::vector{kTestData, kClose}));
  // The only control that can take the focus keeps it.
  w.disabled = {kRecord, kLive, kTestData};
  EXPECT_EQ(w.walk(Key::Tab, 2), (std::vector{kClose, kClose}));
  w.disabled.insert(kClose);
  EXPECT_EQ(w.press(Key::Tab), kTaken);
}

TEST(TabOrder, FromTheWindowItselfGoesOnFromTheLastFocusedControl) {
  Window w;
  w.focus = std::nullopt;
  w.lastFocus = kLive;
  EXPECT_EQ(w.press(Key::Tab), KeyAction::focusOn(kTestData));
  EXPECT_EQ(w.press(Key::ShiftTab), KeyAction::focusOn(kClose));
  // From a control outside the order, or with nothing focused before: from its ends.
  w.focus = Control::TickLine;
  EXPECT_EQ(w.press(Key::Tab), KeyAction::focusOn(kRecord));
  EXPECT_EQ(w.press(Key::ShiftTab), KeyAction::focusOn(kTestData));
  w.focus = w.lastFocus = std::nullopt;
  EXPECT_EQ(w.press(Key::Tab), KeyAction::focusOn(kRecord));
}

TEST(EnterKey, PressesTheFocusedButtonElseTheRecordButtonWhileItIsOk) {
  Window w;
  for (ButtonKind kind : {ButtonKind::Ok, ButtonKind::Cancel, ButtonKind::Close}) {
    w.recordKind = kind;
    w.focus = kClose;
    EXPECT_EQ(w.press(Key::Enter), KeyAction::press(kClose));
    w.focus = kRecord;
    EXPECT_EQ(w.press(Key::Enter), KeyAction::press(kRecord));
  }
  for (std::optional<Control> focus : {std::optional(kTestData), std::optional<Control>()}) {
    w.focus = focus;
    w.recordKind = ButtonKind::Ok;
    EXPECT_EQ(w.press(Key::Enter), KeyAction::press(kRecord));
    EXPECT_EQ(enterButton(focus, ButtonKind::Ok), kRecord);  // the heavy frame
    w.recordKind = ButtonKind::Cancel;
    EXPECT_EQ(w.press(Key::Enter), kTaken);
    EXPECT_EQ(enterButton(focus, ButtonKind::Cancel), std::nullopt);
  }
}

TEST(EscapeAndC, EscapePressesACancelRecordButtonCPressesCloseWithOrWithoutAlt) {
  Window w;
  w.focus = kClose;
  EXPECT_EQ(w.press(Key::Escape), kTaken);
  w.recordKind = ButtonKind::Cancel;
  EXPECT_EQ(w.press(Key::Escape), KeyAction::press(kRecord));
  EXPECT_EQ(w.press(Key::LetterC), KeyAction::press(kClose));
  w.ctrlOrAlt = true;
  EXPECT_EQ(w.press(Key::LetterC), KeyAction::press(kClose));
}

TEST(EscapeAndC, WithCtrlOrAltTabEnterAndEscapeAreLeftToTheWindow) {
  Window w;
  w.recordKind = ButtonKind::Cancel;
  w.ctrlOrAlt = true;
  for (Key key : {Key::Tab, Key::ShiftTab, Key::Enter, Key::Escape}) EXPECT_EQ(w.press(key), kNotTaken);
}

TEST(FocusToRestore, TheLastFocusedControlElseTheNextThatCanTakeIt) {
  Window w;
  w.focus = std::nullopt;
  w.lastFocus = kTestData;
  EXPECT_EQ(focusToRestore(w.context()), kTestData);
  w.disabled = {kTestData, kRecord};
  EXPECT_EQ(focusToRestore(w.context()), kClose);
  w.disabled = {kRecord, kClose, kLive, kTestData};
  EXPECT_EQ(focusToRestore(w.context()), std::nullopt);
}

}  // namespace
}  // namespace orv
