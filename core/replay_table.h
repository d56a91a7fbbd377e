// The built-in table of recorded EUR/USD quotes used by the replay.
// It is compiled into the program (data/replay_table.bin, embedded at build time):
// nothing is read from disk at run time, and reading it costs no start-up work.
#pragma once

#include <bit>
#include <cstdint>

namespace orv {

// Rows are numbered 0 .. kReplayTickCount - 1.
inline constexpr int kReplayTickCount = 88369;

// One recorded quote. Prices are the binary32 values nearest to five-decimal prices.
struct ReplayTick {
  float bid;
  float ask;
};

namespace detail {
// Raw IEEE 754 binary32 bit patterns, two words a row: bid, then ask.
// Defined in the source generated from data/replay_table.bin.
extern const std::uint32_t kReplayTickWords[2 * kReplayTickCount];
}  // namespace detail

// Raw bit patterns of a row, for callers that need the exact stored bytes.
inline std::uint32_t replayTickBidBits(int row) noexcept { return detail::kReplayTickWords[2 * row]; }
inline std::uint32_t replayTickAskBits(int row) noexcept { return detail::kReplayTickWords[2 * row + 1]; }

// Row `row` of the table; row must be in [0, kReplayTickCount).
inline ReplayTick replayTick(int row) noexcept {
  return ReplayTick{std::bit_cast<float>(replayTickBidBits(row)), std::bit_cast<float>(replayTickAskBits(row))};
}

}  // namespace orv
