// The built-in table of recorded EUR/USD quotes used by the replay.
// It is compiled into the program (data/test_ticks.bin, embedded at build time):
// nothing is read from disk at run time, and reading it costs no start-up work.
#pragma once

#include <bit>
#include <cstdint>

namespace orv {

// Rows are numbered 0 .. kTestTickCount - 1.
inline constexpr int kTestTickCount = 88369;

// One recorded quote. Prices are the binary32 values nearest to five-decimal prices.
struct TestTick {
  float bid;
  float ask;
};

namespace detail {
// Raw IEEE 754 binary32 bit patterns, two words a row: bid, then ask.
// Defined in the source generated from data/test_ticks.bin.
extern const std::uint32_t kTestTickWords[2 * kTestTickCount];
}  // namespace detail

// Raw bit patterns of a row, for callers that need the exact stored bytes.
inline std::uint32_t testTickBidBits(int row) noexcept { return detail::kTestTickWords[2 * row]; }
inline std::uint32_t testTickAskBits(int row) noexcept { return detail::kTestTickWords[2 * row + 1]; }

// Row `row` of the table; row must be in [0, kTestTickCount).
inline TestTick testTick(int row) noexcept {
  return TestTick{std::bit_cast<float>(testTickBidBits(row)), std::bit_cast<float>(testTickAskBits(row))};
}

}  // namespace orv
