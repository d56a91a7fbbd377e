#include <windows.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cwchar>
#include <map>

#include "zone/system_zone.h"

namespace orv::zone {

namespace {

// Every IANA name and the Windows zone that keeps its rules, sorted by name
// (a Windows zone name is taken as it is, too).
constexpr struct {
  const char* iana;
  const wchar_t* windows;
} kWindowsNames[] = {
#include "zone/windows_names.inc"
};

using GetForYear = BOOL(WINAPI*)(USHORT, PDYNAMIC_TIME_ZONE_INFORMATION, LPTIME_ZONE_INFORMATION);

GetForYear getForYear() {
  static const auto function =
      reinterpret_cast<GetForYear>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                                                          "GetTimeZoneInformationForYear")));
  return function;
}

constexpr std::int64_t kMsPerMinute = 60000, kMsPerDay = 86400000;

std::int64_t daysOf(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
}

// When a rule of the year takes effect, in the local clock it ends (ms since
// 1970): wYear 0 means "the wDay-th wDayOfWeek of wMonth" (5: the last).
std::int64_t changeOf(const SYSTEMTIME& rule, int y) {
  using namespace std::chrono;
  std::int64_t days = 0;
  if (rule.wYear != 0) {
    days = daysOf(y, rule.wMonth, rule.wDay);
  } else {
    const std::int64_t first = daysOf(y, rule.wMonth, 1);
    const unsigned firstWeekday = weekday{sys_days{std::chrono::days{first}}}.c_encoding();
    std::int64_t day = (rule.wDayOfWeek + 7 - firstWeekday) % 7 + 7 * (rule.wDay - 1);
    const unsigned length = static_cast<unsigned>((year{y} / month{rule.wMonth} / last).day());
    while (day >= length) day -= 7;
    days = first + day;
  }
  return days * kMsPerDay + ((rule.wHour * 60 + rule.wMinute) * 60 + rule.wSecond) * 1000 + rule.wMilliseconds;
}

class WindowsZone final : public ZoneRules {
 public:
  WindowsZone(std::string name, const DYNAMIC_TIME_ZONE_INFORMATION& info) : ZoneRules(std::move(name)), info_(info) {}

  bool ruleOf(int y, TIME_ZONE_INFORMATION& out) const {
    // A lock of the system's own: either thread model of mingw-w64 has it.
    AcquireSRWLockExclusive(&lock_);
    auto found = years_.find(y);
    if (found == years_.end()) {
      TIME_ZONE_INFORMATION rule{};
      DYNAMIC_TIME_ZONE_INFORMATION info = info_;
      if (y >= 1601 && y <= 30827 && getForYear()(static_cast<USHORT>(y), &info, &rule))
        found = years_.emplace(y, rule).first;
    }
    const bool known = found != years_.end();
    if (known) out = found->second;
    ReleaseSRWLockExclusive(&lock_);
    return known;
  }

  std::int64_t offsetMs(std::int64_t utcMs) const override {
    using namespace std::chrono;
    TIME_ZONE_INFORMATION rule{};
    const auto standardOffset = [&] { return -(rule.Bias + rule.StandardBias) * kMsPerMinute; };
    const int y = static_cast<int>(year_month_day{floor<days>(sys_time<milliseconds>{milliseconds{utcMs}})}.year());
    if (!ruleOf(y, rule)) return -info_.Bias * kMsPerMinute;
    const std::int64_t daylightOffset = -(rule.Bias + rule.DaylightBias) * kMsPerMinute;
    if (rule.DaylightDate.wMonth == 0 || rule.StandardDate.wMonth == 0) return standardOffset();
    // The year's two changes as UTC instants: daylight time starts at a
    // standard-time clock reading and ends at a daylight-time one.
    const std::int64_t starts = changeOf(rule.DaylightDate, y) - standardOffset();
    const std::int64_t ends = changeOf(rule.StandardDate, y) - daylightOffset;
    const bool daylight = starts < ends ? utcMs >= starts && utcMs < ends : utcMs >= starts || utcMs < ends;
    return daylight ? daylightOffset : standardOffset();
  }

 private:
  DYNAMIC_TIME_ZONE_INFORMATION info_;
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  mutable std::map<int, TIME_ZONE_INFORMATION> years_;
};

}  // namespace

Zone systemZone(const std::string& name, std::string& error) {
  error = "no time zone is called '" + name + "' on this system (UTC, +02:00, or e.g. America/New_York)";
  std::wstring windowsName;
  const auto known = std::lower_bound(std::begin(kWindowsNames), std::end(kWindowsNames), name,
                                      [](const auto& entry, const std::string& n) { return n.compare(entry.iana) > 0; });
  if (known != std::end(kWindowsNames) && name == known->iana) windowsName = known->windows;
  if (windowsName.empty()) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    windowsName.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), windowsName.data(), n);
  }
  if (getForYear() == nullptr || windowsName.empty() || windowsName.size() >= 128) return nullptr;
  DYNAMIC_TIME_ZONE_INFORMATION info{};
  std::wcsncpy(info.TimeZoneKeyName, windowsName.c_str(), 127);
  TIME_ZONE_INFORMATION rule{};
  if (!getForYear()(2024, &info, &rule)) return nullptr;
  info.Bias = rule.Bias;
  error.clear();
  return std::make_shared<WindowsZone>(name, info);
}

}  // namespace orv::zone
