// Zone rules against Python's zoneinfo, a separate reading of the tz
// database: offsets at instants spread over 2000-2035, New York's weekly
// close to the millisecond in every week, and the names findZone() knows.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "check/recording_check.h"
#include "zone/zone_rules.h"

namespace orv::zone {
namespace {

// What the script prints, one line per fact.
std::string python(const std::string& script) {
  std::FILE* pipe = popen(("/usr/bin/python3 - <<'PY'\n" + script + "\nPY\n").c_str(), "r");
  if (pipe == nullptr) return {};
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST(ZoneRules, OffsetsAndTheWeeklyCloseAsPythonsZoneinfo) {
  const std::string facts = python(R"(
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo
start, end = int(datetime(2000, 1, 1, tzinfo=timezone.utc).timestamp()), int(datetime(2036, 1, 1, tzinfo=timezone.utc).timestamp())
for name in ["America/New_York", "Europe/London", "Australia/Sydney", "Asia/Tokyo", "America/Sao_Paulo"]:
    for t in range(start, end, 7 * 86400 + 13 * 3600 + 17 * 60 + 11):
        print("offset", name, t, int(datetime.fromtimestamp(t, ZoneInfo(name)).utcoffset().total_seconds()))
ny = ZoneInfo("America/New_York")
friday = datetime(2000, 1, 7, 17, 0, tzinfo=ny)
while friday.year < 2036:
    sunday = friday + timedelta(days=2)  # the same wall time two days on
    print("weekend", int(friday.timestamp()), int(sunday.timestamp()))
    friday += timedelta(days=7)
)");
  std::string error;
  std::istringstream lines(facts);
  std::string kind, name;
  int offsets = 0, weekends = 0;
  while (lines >> kind) {
    if (kind == "offset") {
      std::int64_t t = 0, seconds = 0;
      lines >> name >> t >> seconds;
      const Zone zone = findZone(name, error);
      ASSERT_TRUE(zone) << error;
      ASSERT_EQ(zone->offsetMs(t * 1000), seconds * 1000) << name << " at " << t;
      const std::int64_t local = localOf(*zone, t * 1000);
      ASSERT_EQ(localOf(*zone, utcOf(*zone, local)), local) << name << " at " << t;
      ++offsets;
    } else {
      std::int64_t closes = 0, opens = 0;
      lines >> closes >> opens;
      closes *= 1000, opens *= 1000;
      const check::WeeklyClose close;  // the default: Friday 17:00 to Sunday 17:00 in New York
      const std::int64_t hour = 3600000;
      ASSERT_EQ(check::closedMs(close, closes - hour, opens + hour), opens - closes) << closes;
      ASSERT_EQ(check::closedMs(close, closes - hour, closes), 0) << closes;
      ASSERT_EQ(check::closedMs(close, opens, opens + hour), 0) << opens;
      ASSERT_EQ(check::closedMs(close, closes + hour, closes + 2 * hour), hour) << closes;
      ++weekends;
    }
  }
  EXPECT_GT(offsets, 5 * 1700);
  EXPECT_GT(weekends, 1800);
}

TEST(ZoneRules, NamesItKnows) {
  struct Case {
    const char* name;
    std::int64_t utcMs;       // an instant
    std::int64_t offsetMs;    // the offset then; -1: no such zone
  };
  const std::int64_t winter = 1796083200000;  // 2026-12-01 00:00 UTC
  const std::int64_t summer = 1783036800000;  // 2026-07-03 00:00 UTC
  const std::int64_t hour = 3600000;
  const Case cases[] = {
      {"UTC", summer, 0},
      {"+05:30", winter, 5 * hour + hour / 2},
      {"-3", winter, -3 * hour},
      {"NY", winter, -5 * hour},
      {"NY", summer, -4 * hour},
      {"NY+7", winter, 2 * hour},
      {"NY+7", summer, 3 * hour},
      {"Etc/GMT+5", summer, -5 * hour},  // an IANA name with a sign in it
      {"Europe/London-1:30", summer, -hour / 2},
      {"Mars/Olympus", summer, -1},
      {"+24:00", summer, -1},
      {"", summer, -1},
  };
  for (const Case& c : cases) {
    std::string error;
    const Zone zone = findZone(c.name, error);
    SCOPED_TRACE(c.name);
    if (c.offsetMs == -1) {
      EXPECT_FALSE(zone);
      EXPECT_FALSE(error.empty());
    } else {
      ASSERT_TRUE(zone) << error;
      EXPECT_EQ(zone->offsetMs(c.utcMs), c.offsetMs);
      EXPECT_EQ(zone->name(), c.name);
    }
  }
}

}  // namespace
}  // namespace orv::zone
