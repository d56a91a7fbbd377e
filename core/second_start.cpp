#include "core/second_start.h"

#include "core/activity_log.h"
#include "core/wall_time.h"

namespace orv {

CommandLineReply heldWithoutWindow(WallClock& clock, FileOpener& files, const StartOptions& options) {
  const std::string text =
      "Orvalda did not start: another Orvalda holds this desktop but shows no window (it may wait on a message box "
      "nobody answered). Close it, or start this one with --another";
  if (options.recordPattern) {
    const WallTime now = options.utc ? wallTimeOf(clock.utcNow()) : wallTimeOf(clock.localNow());
    writeLogLine(files, *options.recordPattern, now, text);
  }
  return CommandLineReply{text + ".", true, kHeldWithoutWindowExitCode};
}

}  // namespace orv
