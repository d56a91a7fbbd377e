// A reading of a wall clock (local time or UTC) as calendar fields, and the
// conversions from and to the standard library's clock values that the
// window-system interface hands over. No window system here.
#pragma once

#include <chrono>
#include <cstdint>

namespace orv {

struct WallTime {
  std::uint16_t year = 0, month = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

using LocalClockValue = std::chrono::local_time<std::chrono::milliseconds>;
using UtcClockValue = std::chrono::sys_time<std::chrono::milliseconds>;

// The calendar fields of a clock value since 1970 (either clock).
WallTime wallTimeOf(std::chrono::milliseconds sinceEpoch) noexcept;
inline WallTime wallTimeOf(LocalClockValue t) noexcept { return wallTimeOf(t.time_since_epoch()); }
inline WallTime wallTimeOf(UtcClockValue t) noexcept { return wallTimeOf(t.time_since_epoch()); }

// The other way: milliseconds since 1970 of the fields, read on the same clock.
std::chrono::milliseconds sinceEpochOf(const WallTime& t) noexcept;

// A calendar day as one number that grows with the date (yyyymmdd).
constexpr std::uint32_t dayNumber(const WallTime& t) noexcept {
  return static_cast<std::uint32_t>(t.year) * 10000u + t.month * 100u + t.day;
}

}  // namespace orv
