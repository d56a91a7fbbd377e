// Two brokers' recordings of one pair made from one hidden price path, with
// what orvalda-compare should find in them known: side B's prices come a lag
// after side A's (either sign, drifting through the days), each side drops
// some changes, falls silent in chosen spans and sends chosen spikes; B
// quotes off A's price by a fixed difference and wider at chosen hours; each
// side writes its own decimals and its own clock. Seeded: the same case
// makes the same files. Used by the unit tests and the benchmark.
#pragma once

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/row_format.h"
#include "gzip/gzip_stream.h"
#include "zone/zone_rules.h"

namespace orv::twobrokers {

struct Span {
  std::int64_t fromMs = 0, toMs = 0;  // after the start, on the hidden path's clock
};

struct BrokerCase {
  const char* name = "";
  std::uint64_t seed = 1;
  std::int64_t startUtcMs = 1764547200000;  // 2025-12-01 00:00 UTC
  int days = 1;
  int changesPerDay = 50000;                 // the hidden path's changes, spread over the day's busy hours
  std::int64_t busyFromMs = 6 * 3600000, busyMs = 4 * 3600000;  // the busy part of each day
  double lagMs = 0, lagDriftMsPerDay = 0;    // B after A
  int jitterMs = 8;                          // each tick's own delay, 0..jitterMs, either side
  int minGapMs = 1;                          // the least time between two changes (a feed that sends at most so often)
  std::array<double, 2> drop{};              // the share of changes each side drops
  std::array<std::vector<Span>, 2> outages;  // each side's silences
  std::array<std::vector<std::int64_t>, 2> spikes;  // each side's spikes, ms after the start
  std::array<int, 2> digits{5, 5};           // decimals each side writes (the path moves in steps of the fewer)
  std::array<const char*, 2> zones{"UTC", "UTC"};
  std::array<const char*, 2> pairNames{"EURUSD", "EURUSD"};
  int offsetSteps = 0;                       // B's bid below A's, in steps of the path
  std::vector<int> wideHoursB;               // UTC hours at which B's spread is wider
  bool gzip = false;                         // days as .csv.gz
};

// What orvalda-compare should find, on each side's own UTC clock.
struct Truth {
  std::vector<double> lagByDay;                // the mean lag of each day's changes
  std::array<std::uint64_t, 2> changes{};      // changes each side shows
  std::array<std::uint64_t, 2> missed{};       // [s]: the other side's changes s does not show
  std::array<std::vector<Span>, 2> outages;    // UTC ms, each side's clock
  std::array<std::vector<std::int64_t>, 2> spikes;  // UTC ms of each spike tick
  double differencePoints = 0;                 // A's mid minus B's, in points of the more decimals
  std::uint64_t ticks = 0;                     // rows written, both sides
  double share(int s) const { return changes[1 - s] ? static_cast<double>(missed[s]) / static_cast<double>(changes[1 - s]) : 0; }
};

namespace detail {

class DayFiles {
 public:
  DayFiles(std::filesystem::path folder, const char* pair, bool gzip) : folder_(std::move(folder)), pair_(pair), gzip_(gzip) {
    std::filesystem::create_directories(folder_);
  }
  ~DayFiles() { close(); }
  void row(const zone::ZoneRules& clock, std::int64_t utcMs, int digits, std::uint32_t bid, std::uint32_t ask) {
    const std::int64_t local = zone::localOf(clock, utcMs);
    const std::int64_t day = local / 86400000;
    if (day != day_) open(day);
    WallTime t;
    const std::int64_t inDay = local % 86400000;
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{day}}};
    t.year = static_cast<std::uint16_t>(static_cast<int>(date.year()));
    t.month = static_cast<std::uint16_t>(static_cast<unsigned>(date.month()));
    t.day = static_cast<std::uint16_t>(static_cast<unsigned>(date.day()));
    t.hour = static_cast<std::uint16_t>(inDay / 3600000);
    t.minute = static_cast<std::uint16_t>(inDay / 60000 % 60);
    t.second = static_cast<std::uint16_t>(inDay / 1000 % 60);
    t.millisecond = static_cast<std::uint16_t>(inDay % 1000);
    text_.clear();
    buildCsvRow(text_, pair_, t, digits, bid, ask);
    text_.append("\r\n");
    buffer_ += text_.view();
    if (buffer_.size() > (1 << 20)) flush();
  }

 private:
  void open(std::int64_t day) {
    close();
    day_ = day;
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{day}}};
    std::string symbol;
    for (const char* c = pair_; *c != '\0'; ++c)
      if (std::isalnum(static_cast<unsigned char>(*c))) symbol += *c;
    char name[64];
    std::snprintf(name, sizeof name, "%s_%04d%02u%02u.csv%s", symbol.c_str(), static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), gzip_ ? ".gz" : "");
    file_ = std::fopen((folder_ / name).string().c_str(), "wb");
    if (gzip_)
      writer_ = std::make_unique<gzip::Writer>(
          [f = file_](const char* data, std::size_t size, std::string&) { return std::fwrite(data, 1, size, f) == size; }, std::nullopt, 1);
  }
  void flush() {
    std::string error;
    if (writer_) writer_->write(buffer_.data(), buffer_.size(), error);
    else if (file_) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    buffer_.clear();
  }
  void close() {
    if (!file_) return;
    flush();
    std::string error;
    if (writer_) writer_->finish(error);
    writer_.reset();
    std::fclose(file_);
    file_ = nullptr;
  }
  std::filesystem::path folder_;
  const char* pair_;
  bool gzip_;
  std::int64_t day_ = INT64_MIN;
  std::FILE* file_ = nullptr;
  std::unique_ptr<gzip::Writer> writer_;
  TextBuffer text_;
  std::string buffer_;
};

}  // namespace detail

// Writes side A's recordings into folderA and B's into folderB, one file a
// day of each side's clock, and returns what is in them.
inline Truth writeBrokers(const BrokerCase& c, const std::filesystem::path& folderA, const std::filesystem::path& folderB) {
  std::mt19937_64 random(c.seed);
  std::uniform_real_distribution<double> unit(0, 1);
  Truth truth;
  std::array<zone::Zone, 2> clocks;
  for (int s = 0; s < 2; ++s) {
    std::string error;
    clocks[s] = zone::findZone(c.zones[s], error);
  }
  const int coarse = std::min(c.digits[0], c.digits[1]), fine = std::max(c.digits[0], c.digits[1]);
  const auto scale = [](int tens) { std::uint32_t v = 1; while (tens-- > 0) v *= 10; return v; };
  const std::uint32_t step = scale(fine - coarse);  // the path's step in points of the more decimals
  // A quotes 2 steps wide, B 3, each about the same mid: B's mid is half a step up.
  truth.differencePoints = (static_cast<double>(c.offsetSteps) - 0.5) * step;
  detail::DayFiles files[2] = {{folderA, c.pairNames[0], c.gzip}, {folderB, c.pairNames[1], c.gzip}};

  std::int64_t path = 108000;  // the mid's bid, in steps
  std::array<std::int64_t, 2> lastArrival{INT64_MIN, INT64_MIN};
  std::array<std::int64_t, 2> lastMid{INT64_MIN, INT64_MIN};  // bid + ask, in steps, as last written
  std::array<std::size_t, 2> nextSpike{};
  const auto emit = [&](int s, std::int64_t at, std::int64_t bidSteps, std::int64_t askSteps) {
    const std::uint32_t toDigits = scale(c.digits[s] - coarse);
    files[s].row(*clocks[s], at, c.digits[s], static_cast<std::uint32_t>(bidSteps) * toDigits, static_cast<std::uint32_t>(askSteps) * toDigits);
    ++truth.ticks;
  };
  for (int day = 0; day < c.days; ++day) {
    double lagSum = 0;
    std::int64_t t = static_cast<std::int64_t>(day) * 86400000 + c.busyFromMs;
    const double meanGap = static_cast<double>(c.busyMs) / c.changesPerDay - (c.minGapMs - 1);
    for (int k = 0; k < c.changesPerDay; ++k) {
      t += c.minGapMs + static_cast<std::int64_t>(-std::log(1 - unit(random)) * meanGap);
      path += unit(random) < 0.5 ? -1 : (unit(random) < 0.2 ? 2 : 1);
      const double lag = c.lagMs + c.lagDriftMsPerDay * static_cast<double>(t) / 86400000.0;
      lagSum += lag;
      std::array<bool, 2> changed{};
      for (int s = 0; s < 2; ++s) {
        const bool dropped = unit(random) < c.drop[s];
        const auto& gone = c.outages[s];
        const bool silent = std::any_of(gone.begin(), gone.end(), [&](const Span& g) { return t >= g.fromMs && t < g.toMs; });
        const std::int64_t jitter = static_cast<std::int64_t>(unit(random) * (c.jitterMs + 1));
        if (dropped || silent) continue;
        const std::int64_t at = std::max<std::int64_t>(lastArrival[s], c.startUtcMs + t + (s == 1 ? std::llround(lag) : 0) + jitter);
        lastArrival[s] = at;
        std::int64_t bid = path - (s == 1 ? c.offsetSteps : 0), spread = s == 0 ? 2 : 3;
        const int hour = static_cast<int>(at / 3600000 % 24);
        const int widen = (s == 1 && std::find(c.wideHoursB.begin(), c.wideHoursB.end(), hour) != c.wideHoursB.end()) ? 3 : unit(random) < 0.3;
        emit(s, at, bid - widen, bid + spread + widen);  // wider on both sides: the mid stays
        const std::int64_t mid = 2 * bid + spread;
        changed[s] = mid != lastMid[s] && lastMid[s] != INT64_MIN;
        lastMid[s] = mid;
      }
      for (int s = 0; s < 2; ++s) {
        truth.changes[s] += changed[s];
        truth.missed[1 - s] += changed[s] && !changed[1 - s];
      }
      // A spike: a tick far off, half way to the next change, then the price as it was.
      for (int s = 0; s < 2; ++s) {
        if (nextSpike[s] >= c.spikes[s].size() || c.spikes[s][nextSpike[s]] > t) continue;
        ++nextSpike[s];
        const std::int64_t at = lastArrival[s] + std::max<std::int64_t>(1, static_cast<std::int64_t>(meanGap / 2));
        const std::int64_t bid = path - (s == 1 ? c.offsetSteps : 0) + (unit(random) < 0.5 ? -60 : 60);
        emit(s, at, bid, bid + 2);
        lastArrival[s] = at;
        truth.spikes[s].push_back(at);
      }
    }
    truth.lagByDay.push_back(lagSum / c.changesPerDay);
  }
  for (int s = 0; s < 2; ++s)
    for (const Span& g : c.outages[s]) {
      const auto lagAt = [&](std::int64_t at) { return s == 1 ? static_cast<std::int64_t>(std::llround(c.lagMs + c.lagDriftMsPerDay * static_cast<double>(at) / 86400000.0)) : std::int64_t{0}; };
      truth.outages[s].push_back({c.startUtcMs + g.fromMs + lagAt(g.fromMs), c.startUtcMs + g.toMs + lagAt(g.toMs)});
    }
  return truth;
}

}  // namespace orv::twobrokers
