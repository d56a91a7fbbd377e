// orvalda.log: one line an event of the unattended recording, stamped with
// the recording's clock, added to the one log of its pattern, in the folder
// the pattern names before its first field (no folder is made from a field's
// name); when that folder cannot take it (it cannot be made), to the nearest
// folder above it that can. A log that cannot be written anywhere is left
// out: the error display tells the same.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/wall_time.h"
#include "platform/backend.h"

namespace orv {

inline constexpr const char* kLogName = "orvalda.log";

// The log's path in a folder ("" : the current folder).
std::string logPathIn(std::string_view folder);

// "2026-12-06 14:03:27.045 text" and CR LF, added to the log of the
// recording pattern. Returns the log's path, or empty when none took the line.
std::string writeLogLine(FileOpener& files, std::string_view pattern, const WallTime& stamp, std::string_view text);

// How much of a log's end is read for the files a run left open.
inline constexpr std::size_t kLogEndRead = 1 << 20;

// The files a log's lines tell were opened and not ended since (nor told as
// left open), in the order they were opened: those a run had open when it
// was ended without closing them (killed, a crash, the power gone).
std::vector<std::string> filesLeftOpen(std::string_view logText);

// At a recording's start: for each file the pattern's log tells was left
// open, and that no other copy of Orvalda adds to now, a line with the last
// whole row it kept and that row's time.
void tellFilesLeftOpen(FileOpener& files, std::string_view pattern, const WallTime& now);

}  // namespace orv
