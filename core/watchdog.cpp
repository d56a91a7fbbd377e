// The stale-feed watchdog: once live ticks have arrived, marks the tick line
// red and shows the age of the last tick when more than five seconds passed.
#include <string>

#include "core/recorder.h"

namespace orv {

void Recorder::watchdogStep() {
  if (lastTickTime_ == 0) return;
  const std::int64_t age = backend_.calendarSeconds() - lastTickTime_;
  const bool stale = age > kStaleAfterSeconds;
  tickLine_.setFontColor(stale ? kRed : kWindowTextColor);
  silenceLine_.setCaption(stale ? std::to_string(age) + " sec" : std::string());
}

}  // namespace orv
