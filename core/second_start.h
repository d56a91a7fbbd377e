// Starts that end before Orvalda's window: with no window system at all
// (below), and a second start on a desktop where Orvalda already runs. The feeder sends
// to whichever main window it finds, so a second window would quietly take
// the feed from the first, and leave the first's recording idle. Unless
// asked for with --another, a second start hands over instead: it brings
// the running one to the front and ends (exit code 0). When the running one
// shows no main window within a few seconds yet still holds the desktop (it
// waits on a box, or another program took the name), the start says so and
// ends with kHeldWithoutWindowExitCode; when it has gone meanwhile, this one
// runs after all.
#pragma once

#include "core/command_line.h"
#include "platform/backend.h"

namespace orv {

enum class StartChoice {
  Run,       // create the window and run
  HandOver,  // bring the running one to the front, and end
};

constexpr StartChoice chooseStart(bool anotherRuns, const StartOptions& options) noexcept {
  return anotherRuns && !options.another ? StartChoice::HandOver : StartChoice::Run;
}

inline constexpr int kHeldWithoutWindowExitCode = 3;

// The desktop is held by a copy that shows no window: what to tell (on the
// console, else in a box), also written to orvalda.log beside the recordings
// of a start with --record.
CommandLineReply heldWithoutWindow(WallClock& clock, FileOpener& files, const StartOptions& options);

// No window can be made at all: there is no window system (under Wine, no X
// server). The start says what it needs, as above, and ends with this code.
inline constexpr int kNoWindowSystemExitCode = 4;
CommandLineReply noWindowSystem(WallClock& clock, FileOpener& files, const StartOptions& options);

}  // namespace orv
