// Replay of the built-in table of recorded quotes to the tester: one row a
// step, over the tester link, from where the last pass stopped.
#pragma once

#include <cstdint>

namespace orv {

class TesterLink;

// A table value in price points for the given number of decimals: the scale
// 10^digits rounded to single precision, the exact product with the value,
// truncated toward zero.
std::uint32_t replayPoints(float value, std::int32_t digits) noexcept;

class TableReplay {
 public:
  // Next row of the table to go out.
  std::int32_t row() const noexcept { return row_; }

  // Sends the next row over an open link. Steps run one at a time: a step
  // asked for while the last one waits in its send sends nothing, so no row
  // goes out twice and none is skipped. True when this step sent the last
  // row of the table: the pass has ended and the next starts from row 0.
  bool step(TesterLink& link, std::int32_t digits);

 private:
  friend class FeedHubPeer;  // the unit tests move the replay
  // Moves to a row of the table (rows outside it go to 0).
  void seek(std::int32_t row) noexcept;

  std::int32_t row_ = 0;
  bool sending_ = false;
};

}  // namespace orv
