// The toolkit's rules that the window logic's handlers rely on.
#include <gtest/gtest.h>

#include "platform/memory_backend.h"
#include "platform/toolkit.h"
#include "core/window_model.h"

namespace orv {
namespace {

TEST(CheckBoxRules, OnlyAClickRunsTheHandlerWithTheNewStateReadable) {
  MemoryBackend be;
  CheckBox box(be, controlId(Control::LiveBox), true);
  std::vector<bool> seen;
  box.onClick = [&] { seen.push_back(box.checked()); };
  box.setChecked(true);  // the program's own change: no handler
  EXPECT_TRUE(seen.empty());
  box.click();
  box.click();
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  // The screen is updated before the handler runs.
  EXPECT_EQ(be.log.back(), "checked " + std::to_string(controlId(Control::LiveBox)) + " 1");
}

TEST(CheckBoxRules, EnabledRunsNoHandlerAndADisabledBoxCanStillBeSetFromCode) {
  MemoryBackend be;
  CheckBox box(be, controlId(Control::TestDataBox), true);
  int clicks = 0;
  box.onClick = [&] { ++clicks; };
  box.click();
  box.setEnabled(false);
  EXPECT_TRUE(box.checked());
  EXPECT_EQ(clicks, 1);
  box.click();  // a user cannot flip a disabled box
  EXPECT_TRUE(box.checked());
  EXPECT_EQ(clicks, 1);
  box.setChecked(false);  // the program can, without the handler
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(be.enabled.at(controlId(Control::TestDataBox)));
}

TEST(TimerRules, SameValueKeepsThePeriodANewValueRestartsIt) {
  MemoryBackend be;
  Timer t(be, timerId(TimerRole::Pulse), false, 20);
  t.setEnabled(false);
  t.setInterval(20);
  EXPECT_EQ(be.timerStarts[timerId(TimerRole::Pulse)], 0);
  t.setEnabled(true);
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 20u);
  t.setEnabled(true);
  t.setInterval(20);
  EXPECT_EQ(be.timerStarts[timerId(TimerRole::Pulse)], 1);
  t.setInterval(500);
  EXPECT_EQ(be.timerStarts[timerId(TimerRole::Pulse)], 2);
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 500u);
  t.setInterval(500);
  EXPECT_EQ(be.timerStarts[timerId(TimerRole::Pulse)], 2);
  t.setEnabled(false);
  EXPECT_TRUE(be.runningTimers.empty());
  t.setInterval(20);  // disabled: nothing starts
  EXPECT_TRUE(be.runningTimers.empty());
}

TEST(TimerRules, NoTimerLeftRaisesTheToolkitErrorAndKeepsEnabled) {
  MemoryBackend be;
  be.timersLeft = 0;
  Timer t(be, timerId(TimerRole::Pulse), false, 20);
  int fired = 0;
  t.onTimer = [&] { ++fired; };
  try {
    t.setEnabled(true);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Not enough timers available");
  }
  EXPECT_TRUE(t.enabled());
  EXPECT_TRUE(be.runningTimers.empty());  // no period: nothing will fire
  // Once a timer is free, the next change starts the period Enabled asked for.
  be.timersLeft = 1;
  t.setInterval(500);
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 500u);
  t.fire();
  EXPECT_EQ(fired, 1);
  t.setEnabled(false);
  t.fire();  // a period left over from before a stop runs nothing
  EXPECT_EQ(fired, 1);
}

TEST(BitmapButtonRules, KindsBringStockCaptionsAndRoles) {
  MemoryBackend be;
  BitmapButton close(be, controlId(Control::CloseButton), ButtonKind::Close, "");
  EXPECT_EQ(close.caption(), "&Close");
  BitmapButton rec(be, controlId(Control::RecordButton), ButtonKind::Ok, "START RECORDING");
  EXPECT_EQ(rec.caption(), "START RECORDING");  // the layout's caption stays
  EXPECT_EQ(rec.kind(), ButtonKind::Ok);
  rec.setKind(ButtonKind::Ok);  // same kind: nothing, caption kept
  EXPECT_EQ(rec.caption(), "START RECORDING");
  rec.setKind(ButtonKind::Cancel);
  EXPECT_EQ(rec.caption(), "Cancel");
  EXPECT_EQ(rec.kind(), ButtonKind::Cancel);
  EXPECT_EQ(be.kinds.at(controlId(Control::RecordButton)), ButtonKind::Cancel);
}

TEST(BitmapButtonRules, ACloseButtonRunsTheCloseOperationNotItsHandler) {
  MemoryBackend be;
  BitmapButton close(be, controlId(Control::CloseButton), ButtonKind::Close, "");
  int clicks = 0, closes = 0;
  close.onClick = [&] { ++clicks; };
  close.onClose = [&] { ++closes; };
  close.click();
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(closes, 1);
  BitmapButton ok(be, controlId(Control::RecordButton), ButtonKind::Ok, "x");
  ok.onClick = [&] { ++clicks; };
  ok.onClose = [&] { ++closes; };
  ok.click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(closes, 1);
}

TEST(ErrorDisplay, AnErrorEndsTheHandlerAndIsShownWithAFullStop) {
  MemoryBackend be;
  be.timersLeft = 0;
  Timer pulse(be, timerId(TimerRole::Pulse), false, 20);
  int after = 0;
  runGuarded(be, [&] {
    pulse.setEnabled(true);  // no timer left: raises
    ++after;
  });
  runGuarded(be, [&] { throw Error("Ends with one."); });
  EXPECT_EQ(after, 0);
  EXPECT_EQ(be.errors, (std::vector<std::string>{"Not enough timers available.", "Ends with one.."}));
}

TEST(LabelRules, SameTextChangesNothing) {
  MemoryBackend be;
  Label l(be, controlId(Control::SilenceLine), "No Ticks", kRed);
  l.setCaption("No Ticks");
  l.setFontColor(kRed);
  EXPECT_TRUE(be.log.empty());
  l.setCaption("6 sec");
  l.setFontColor(kWindowTextColor);
  EXPECT_EQ(be.captions.at(controlId(Control::SilenceLine)), "6 sec");
  EXPECT_EQ(be.colors.at(controlId(Control::SilenceLine)), kWindowTextColor);
}

}  // namespace
}  // namespace orv
