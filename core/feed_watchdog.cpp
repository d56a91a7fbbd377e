#include "core/feed_watchdog.h"

namespace orv {

FeedWatchdog::Look FeedWatchdog::look(std::int64_t calendarSeconds) const {
  const std::int64_t age = calendarSeconds - lastTick_;
  Look result;
  result.stale = age > kStaleAfterSeconds;
  if (result.stale) result.silence = std::to_string(age) + " sec";
  return result;
}

}  // namespace orv
