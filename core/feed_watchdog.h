// The stale-feed watchdog: remembers when the last live tick came and, asked
// at each pulse, tells whether the feed has been quiet for more than five
// seconds and for how long.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

inline constexpr std::int64_t kStaleAfterSeconds = 5;

class FeedWatchdog {
 public:
  void tickArrived(std::int64_t calendarSeconds) noexcept { lastTick_ = calendarSeconds; }
  // Calendar seconds of the latest live tick; 0: none yet.
  std::int64_t lastTickTime() const noexcept { return lastTick_; }
  bool hasSeenTicks() const noexcept { return lastTick_ != 0; }

  struct Look {
    bool stale = false;
    std::string silence;  // "12 sec" while stale, else empty
  };
  // How the feed looks now; a clock set back counts as fresh.
  Look look(std::int64_t calendarSeconds) const;

 private:
  std::int64_t lastTick_ = 0;
};

}  // namespace orv
