// The stale-feed watchdog: once live ticks have arrived, marks the tick line
// red and shows the age of the last tick when more than five seconds passed.
#include <string>

#include "core/form.h"

namespace orv {

void TForm1::watchdogStep() {
  if (LastTickTime == 0) return;
  const std::int64_t age = backend.calendarSeconds() - LastTickTime;
  const bool stale = age > kStaleAfterSeconds;
  TickLabel.setFontColor(stale ? clRed : clWindowText);
  NoTickLabel.setCaption(stale ? std::to_string(age) + " sec" : std::string());
}

}  // namespace orv
