#include <chrono>
#include <exception>

#include <date/tz.h>

#include "zone/system_zone.h"

namespace orv::zone {

namespace {

class TzdbZone final : public ZoneRules {
 public:
  TzdbZone(std::string name, const date::time_zone* zone) : ZoneRules(std::move(name)), zone_(zone) {}
  std::int64_t offsetMs(std::int64_t utcMs) const override {
    using namespace std::chrono;
    const date::sys_info info = zone_->get_info(date::sys_time<milliseconds>{milliseconds{utcMs}});
    return duration_cast<milliseconds>(info.offset).count();
  }

 private:
  const date::time_zone* zone_;  // lives as long as the program
};

}  // namespace

Zone systemZone(const std::string& name, std::string& error) {
  try {
    return std::make_shared<TzdbZone>(name, date::locate_zone(name));
  } catch (const std::exception&) {
    error = "no time zone is called '" + name + "' (an IANA name such as America/New_York, UTC, or +02:00)";
    return nullptr;
  }
}

}  // namespace orv::zone
