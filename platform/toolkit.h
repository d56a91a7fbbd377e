// The toolkit's controls as the program's logic sees them: each keeps its
// own state and follows the toolkit's rules, and tells the backend what to
// draw. The rules are written here once, for the Win32 program and the tests:
//  - setting a check box's state runs no handler; a click flips an enabled
//    box and then runs its click handler; Enabled runs no handler;
//  - a timer set to the Enabled or Interval it already has keeps its running
//    period, a new value restarts it;
//  - a bitmap button's kind brings its stock caption and role;
//  - an error raised in a handler ends that handler and is shown.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

// An error raised inside a handler; shown by the error display, the program goes on.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text of the error display: the message followed by a full stop, always.
std::string errorDisplayText(std::string_view message);

// Runs one handler; an error it raises is shown on the backend's error display.
void showHandlerError(Backend& backend, const std::exception& error);
template <class Handler>
void runGuarded(Backend& backend, Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    showHandlerError(backend, e);
  }
}

using Handler = std::function<void()>;

class Label {
 public:
  Label(Backend& backend, ControlId id, std::string caption, Color color);
  void setCaption(std::string_view text);
  void setFontColor(Color color);
  const std::string& caption() const noexcept { return caption_; }
  Color fontColor() const noexcept { return color_; }

 private:
  Backend& backend_;
  ControlId id_;
  std::string caption_;
  Color color_;
};

class CheckBox {
 public:
  CheckBox(Backend& backend, ControlId id, bool enabled);
  Handler onClick;
  void setChecked(bool checked);  // runs nothing
  void setEnabled(bool enabled);  // runs nothing
  void click();                   // a user's click or Space: flips an enabled box, then runs onClick
  bool checked() const noexcept { return checked_; }
  bool enabled() const noexcept { return enabled_; }

 private:
  Backend& backend_;
  ControlId id_;
  bool checked_ = false;
  bool enabled_;
};

std::string_view stockCaption(ButtonKind kind) noexcept;

class BitmapButton {
 public:
  // While the layout is built a kind fills only an empty caption.
  BitmapButton(Backend& backend, ControlId id, ButtonKind kind, std::string caption);
  Handler onClick;
  Handler onClose;  // what a Close-kind button runs instead of onClick
  void setKind(ButtonKind kind);
  void setCaption(std::string_view text);
  void click();
  ButtonKind kind() const noexcept { return kind_; }
  const std::string& caption() const noexcept { return caption_; }

 private:
  Backend& backend_;
  ControlId id_;
  ButtonKind kind_;
  std::string caption_;
};

class Timer {
 public:
  Timer(TimerService& timers, TimerId id, bool enabled, unsigned intervalMs);
  Handler onTimer;
  // Throw Error("Not enough timers available") when the period cannot start;
  // the new value is kept all the same.
  void setEnabled(bool enabled);
  void setInterval(unsigned intervalMs);
  void fire();  // one elapsed period
  bool enabled() const noexcept { return enabled_; }
  unsigned interval() const noexcept { return interval_; }

 private:
  void restart();
  TimerService& timers_;
  TimerId id_;
  bool enabled_;
  unsigned interval_;
};

class SaveDialog {
 public:
  SaveDialog(Backend& backend, std::string defaultExt, std::string filter);
  std::string fileName;
  std::string initialFolder;  // where the dialog opens; empty: the system's choice
  bool execute();

 private:
  Backend& backend_;
  std::string defaultExt_;
  std::string filter_;
};

// The toolkit's message record: the result is 0 when the window procedure starts.
struct Message {
  std::uint32_t msg = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  std::int64_t result = 0;
};

}  // namespace orv
