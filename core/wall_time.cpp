#include "core/wall_time.h"

namespace orv {

WallTime wallTimeOf(std::chrono::milliseconds sinceEpoch) noexcept {
  using namespace std::chrono;
  const sys_days day = floor<days>(sys_time<milliseconds>(sinceEpoch));
  const year_month_day date(day);
  const hh_mm_ss<milliseconds> time(sinceEpoch - day.time_since_epoch());
  WallTime t;
  t.year = static_cast<std::uint16_t>(static_cast<int>(date.year()));
  t.month = static_cast<std::uint16_t>(static_cast<unsigned>(date.month()));
  t.day = static_cast<std::uint16_t>(static_cast<unsigned>(date.day()));
  t.hour = static_cast<std::uint16_t>(time.hours().count());
  t.minute = static_cast<std::uint16_t>(time.minutes().count());
  t.second = static_cast<std::uint16_t>(time.seconds().count());
  t.millisecond = static_cast<std::uint16_t>(time.subseconds().count());
  return t;
}

std::chrono::milliseconds sinceEpochOf(const WallTime& t) noexcept {
  using namespace std::chrono;
  const sys_days day{year_month_day{year{t.year}, month{t.month}, std::chrono::day{t.day}}};
  return day.time_since_epoch() + hours{t.hour} + minutes{t.minute} + seconds{t.second} + milliseconds{t.millisecond};
}

}  // namespace orv
