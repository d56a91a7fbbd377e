#include "core/second_start.h"

#include "core/activity_log.h"
#include "core/wall_time.h"

namespace orv {

namespace {

// Told on the console (else in a box), and in orvalda.log with --record.
CommandLineReply notStarted(WallClock& clock, FileOpener& files, const StartOptions& options,
                            const std::string& text, int exitCode) {
  if (options.recordPattern) {
    const WallTime now = options.utc ? wallTimeOf(clock.utcNow()) : wallTimeOf(clock.localNow());
    writeLogLine(files, *options.recordPattern, now, text);
  }
  return CommandLineReply{text + ".", true, exitCode};
}

}  // namespace

CommandLineReply heldWithoutWindow(WallClock& clock, FileOpener& files, const StartOptions& options) {
  return notStarted(clock, files, options,
                    "Orvalda did not start: another Orvalda holds this desktop but shows no window (it may wait on a "
                    "message box nobody answered). Close it, or start this one with --another",
                    kHeldWithoutWindowExitCode);
}

CommandLineReply noWindowSystem(WallClock& clock, FileOpener& files, const StartOptions& options) {
  return notStarted(clock, files, options,
                    "Orvalda did not start: it needs a window system, and none is there. Under Wine on Linux that is "
                    "an X server, with DISPLAY naming it (Xvfb on a server without a screen): see \"Running as a "
                    "service\" in Orvalda's user guide",
                    kNoWindowSystemExitCode);
}

}  // namespace orv
