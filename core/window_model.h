// The main window as the program's logic names it: its controls by role,
// its timers in one table (role, the number the window system knows it by,
// its first period), its colours and its fixed intervals. The Win32 window
// (ui/) and the logic (FeedHub) both loop over these tables. A new control
// or timer still takes edits in several files: docs/architecture.md lists them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/backend.h"

namespace orv {

// The main window's controls, by their role. A role's number is the
// control's ControlId and its child-window id too, which test automation and
// accessibility tools find it by.
enum class Control : int {
  TickLine = 101,  // the latest tick, or the symbol just announced
  SilenceLine,     // seconds since the last tick when the feed has gone quiet
  RecordButton,    // START RECORDING / STOP RECORDING
  CloseButton,
  TesterGroup,  // the frame around the two boxes below
  LiveBox,      // "Live Data": forward live ticks to the tester
  TestDataBox,  // "Test Data": replay the built-in table to the tester
};
inline constexpr int kControlCount = 7;
constexpr ControlId controlId(Control c) noexcept { return static_cast<ControlId>(c); }
// A role's place among all the controls, 0 .. kControlCount - 1.
constexpr std::size_t controlIndex(Control c) noexcept {
  return static_cast<std::size_t>(controlId(c) - controlId(Control::TickLine));
}
static_assert(controlIndex(Control::TestDataBox) == kControlCount - 1, "a role missing from kControlCount");

inline constexpr Color kRed = 0x000000FF;
inline constexpr Color kWindowTextColor = 0x80000008;  // the system's window text colour

// The timers the window runs.
enum class TimerRole : int {
  Pulse,         // paces the replay, or runs the watchdog once a symbol has been announced
  TesterSearch,  // looks for a tester that is not there yet
  NotificationTip,  // keeps the notification-area icon's tooltip current
};

inline constexpr unsigned kReplayIntervalMs = 20;          // the pulse while it paces the replay
inline constexpr unsigned kWatchdogIntervalMs = 500;       // the pulse once a symbol has been announced
inline constexpr unsigned kTesterSearchIntervalMs = 3000;  // --live: looking for a tester not there yet
inline constexpr unsigned kNotificationTipIntervalMs = 1000;  // the icon's tooltip, at most once a second

struct TimerEntry {
  TimerRole role;
  TimerId id;  // as the window system knows it; never 0
  unsigned firstIntervalMs;
};

inline constexpr std::array<TimerEntry, 3> kTimers{{
    {TimerRole::Pulse, 1, kReplayIntervalMs},
    {TimerRole::TesterSearch, 3, kTesterSearchIntervalMs},
    {TimerRole::NotificationTip, 4, kNotificationTipIntervalMs},
}};

constexpr const TimerEntry& timerEntry(TimerRole role) noexcept { return kTimers[static_cast<std::size_t>(role)]; }
constexpr TimerId timerId(TimerRole role) noexcept { return timerEntry(role).id; }

constexpr bool timersWellFormed() {
  for (std::size_t i = 0; i < kTimers.size(); ++i) {
    if (kTimers[i].role != static_cast<TimerRole>(i) || kTimers[i].id == 0) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (kTimers[i].id == kTimers[j].id) return false;
  }
  return true;
}
static_assert(timersWellFormed(), "timers in role order, each with its own id");

}  // namespace orv
