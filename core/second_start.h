// A second start on a desktop where Orvalda already runs. The feeder sends
// to whichever main window it finds, so a second window would quietly take
// the feed from the first, and leave the first's recording idle. Unless
// asked for with --another, a second start hands over instead: it brings
// the running one to the front and ends (exit code 0).
#pragma once

#include "core/command_line.h"

namespace orv {

enum class StartChoice {
  Run,       // create the window and run
  HandOver,  // bring the running one to the front, and end
};

constexpr StartChoice chooseStart(bool anotherRuns, const StartOptions& options) noexcept {
  return anotherRuns && !options.another ? StartChoice::HandOver : StartChoice::Run;
}

}  // namespace orv
