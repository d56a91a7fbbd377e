// orvalda.log: one line an event of the unattended recording, stamped with
// the recording's clock, added to the one log of its pattern, in the folder
// the pattern names before its first field (no folder is made from a field's
// name); when that folder cannot take it (it cannot be made), to the nearest
// folder above it that can. A log that cannot be written anywhere is left
// out: the error display tells the same.
#pragma once

#include <string>
#include <string_view>

#include "core/wall_time.h"
#include "platform/backend.h"

namespace orv {

inline constexpr const char* kLogName = "orvalda.log";

// The log's path in a folder ("" : the current folder).
std::string logPathIn(std::string_view folder);

// "2026-12-06 14:03:27.045 text" and CR LF, added to the log of the
// recording pattern. Returns the log's path, or empty when none took the line.
std::string writeLogLine(FileOpener& files, std::string_view pattern, const WallTime& stamp, std::string_view text);

}  // namespace orv
