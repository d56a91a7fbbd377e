// The texts made from one tick: the display line and the file name proposed
// for a recording (the recording's row is core/row_format.h's). They depend
// only on their inputs, so they are built here without any window system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/file_name.h"
#include "core/row_format.h"
#include "core/wall_time.h"

namespace orv {

// "14:03:27.045 EURUSD bid 1.08150 ask 1.08166"
void buildDisplayLine(TextBuffer& out, const WallTime& t, std::string_view symbol, std::int32_t digits,
                      std::uint32_t bidPoints, std::uint32_t askPoints);

// Symbol (a long one shortened by shortenLongName) + "-" + yyyymmdd-hhnnss,
// made an ordinary file name (below).
std::string proposedFileName(std::string_view symbol, const WallTime& t);

// The time of day as hhnnss (the row's parts are in row_format.h).
void appendCompactTime(TextBuffer& out, const WallTime& t);

}  // namespace orv
