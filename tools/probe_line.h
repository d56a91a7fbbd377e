// The tester probe's log line.
#pragma once

#include <cstdint>
#include <string>

namespace orv::tools {

// Probe log line: "HH:MM:SS.mmm,code,wParam,lParam", parameters as the low 32
// bits unsigned, without a line terminator.
std::string formatProbeLine(int hour, int minute, int second, int millisecond, std::uint32_t code,
                            std::uint64_t wParam, std::uint64_t lParam);

}  // namespace orv::tools
