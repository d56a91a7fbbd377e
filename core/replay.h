// Replay of the built-in table of recorded quotes to the tester.
#pragma once

#include <cstdint>

namespace orv {

// A table value in price points for the given number of decimals: the scale
// 10^digits rounded to single precision, the exact product with the value,
// truncated toward zero.
std::uint32_t replayPoints(float value, std::int32_t digits) noexcept;

}  // namespace orv
