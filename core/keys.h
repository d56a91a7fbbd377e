// The main window's key rules, apart from any window system: which button
// Enter presses, when Escape and C act, and where Tab moves the focus. The
// window turns its key messages into a Key, tells where its focus is, and
// carries out the KeyAction that comes back.
//  - Tab and Shift+Tab go round the tab order (record button, close button,
//    "Live Data", "Test Data"), skipping controls that cannot take the focus;
//    from the window itself they go on from the control focused last;
//  - Enter presses the focused button, else the record button while it is
//    of the Ok kind, else nothing;
//  - Escape presses the record button while it is of the Cancel kind;
//  - C, typed with or without Alt, presses the close button ("&Close");
//  - with Ctrl or Alt held, Tab, Enter and Escape are left to the window.
#pragma once

#include <array>
#include <functional>
#include <optional>

#include "core/window_model.h"

namespace orv {

enum class Key { Tab, ShiftTab, Enter, Escape, LetterC };

inline constexpr std::array<Control, 4> kTabOrder{Control::RecordButton, Control::CloseButton, Control::LiveBox,
                                                  Control::TestDataBox};

// The window as the rules need to see it when a key comes.
struct KeyContext {
  std::optional<Control> focus;      // the focused control; none: the window itself has the focus, or no window
  std::optional<Control> lastFocus;  // the control focused last
  ButtonKind recordButtonKind = ButtonKind::Ok;
  std::function<bool(Control)> canFocus;  // enabled and shown
  bool ctrlOrAlt = false;                 // Ctrl or Alt held down
};

struct KeyAction {
  enum class What {
    NotTaken,  // not the window's key: the message goes on
    Taken,     // the message is used up and nothing happens
    Press,     // the control is pressed, as by a click
    Focus,     // the control gets the focus
  };
  What what = What::NotTaken;
  Control control = Control::RecordButton;  // for Press and Focus

  static KeyAction press(Control c) noexcept { return {What::Press, c}; }
  static KeyAction focusOn(Control c) noexcept { return {What::Focus, c}; }
  bool operator==(const KeyAction&) const = default;
};

KeyAction keyAction(Key key, const KeyContext& context);

// The button Enter presses now: the one drawn with the heavy frame.
std::optional<Control> enterButton(std::optional<Control> focus, ButtonKind recordButtonKind);

// Where the focus goes when the window gets it back: to the control focused
// last while it can take it, else on along the tab order.
std::optional<Control> focusToRestore(const KeyContext& context);

}  // namespace orv
