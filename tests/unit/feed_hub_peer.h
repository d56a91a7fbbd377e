// The unit tests' view into a FeedHub: the parts' state, read-only, and the
// replay's position, which a test may move.
#pragma once

#include "core/feed_hub.h"

namespace orv {

class FeedHubPeer {
 public:
  explicit FeedHubPeer(FeedHub& hub) : hub_(hub) {}
  const Timer& pulseTimer() const noexcept { return hub_.pulseTimer_; }
  const std::string& symbol() const noexcept { return hub_.symbol_.symbol(); }
  const std::string& pairText() const noexcept { return hub_.symbol_.pairText(); }
  std::int32_t digits() const noexcept { return hub_.symbol_.digits(); }
  std::int64_t lastTickTime() const noexcept { return hub_.watchdog_.lastTickTime(); }
  WindowHandle tester() const noexcept { return hub_.link_.window(); }
  std::uint64_t ticksNotTaken() const noexcept { return hub_.link_.ticksNotTaken(); }
  bool isRecording() const noexcept { return hub_.isRecording(); }
  std::int32_t replayRow() const noexcept { return hub_.replay_.row(); }
  // Moves the replay to a row of the table (rows past the end wrap to 0).
  void seekReplay(std::int32_t row) noexcept { hub_.replay_.seek(row); }

 private:
  FeedHub& hub_;
};

}  // namespace orv
