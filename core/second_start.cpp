#include "core/second_start.h"

#include "core/activity_log.h"
#include "core/wall_time.h"

namespace orv {

CommandLineReply heldWithoutWindow(Backend& backend, const StartOptions& options) {
  const std::string text =
      "Orvalda did not start: another Orvalda holds this desktop but shows no window (it may wait on a message box "
      "nobody answered). Close it, or start this one with --another";
  if (options.recordPattern) {
    const WallTime now = options.utc ? wallTimeOf(backend.utcNow()) : wallTimeOf(backend.localNow());
    // In the folder the pattern names before its first field: no folder is made from a field's name.
    const std::string& pattern = *options.recordPattern;
    writeLogLine(backend, std::string_view(pattern).substr(0, pattern.find('{')), now, text);
  }
  return CommandLineReply{text + ".", true, kHeldWithoutWindowExitCode};
}

}  // namespace orv
