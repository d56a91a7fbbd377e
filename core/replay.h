// Replay of the built-in table of recorded quotes to the tester.
#pragma once

#include <cstdint>

namespace orv {

// Index of the next row to replay; program-wide, kept across untick/tick,
// back to 0 only after the last row has gone out.
extern std::int32_t TestPos;

// A table value in price points for the given number of decimals: the scale
// 10^digits rounded to single precision, the exact product with the value,
// truncated toward zero.
std::uint32_t replayPoints(float value, std::int32_t digits) noexcept;

}  // namespace orv
