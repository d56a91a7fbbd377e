#include "compare/reports.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/row_format.h"

namespace orv::compare {

namespace {

std::string format(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}
// A number as JSON writes it; null for what is not one.
std::string num(double v) { return std::isfinite(v) ? format("%.10g", v) : "null"; }
std::string num(std::uint64_t v) { return std::to_string(v); }
std::string num(std::int64_t v) { return std::to_string(v); }
std::string num(int v) { return std::to_string(v); }

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string isoTime(std::int64_t utcMs) {
  std::string s = utcText(utcMs);
  s[10] = 'T';
  return jsonString(s + "Z");
}

const char* sideLetter(int side) { return side == 0 ? "A" : "B"; }

template <class T, class F>
std::string list(const T& items, F each) {
  std::string out = "[";
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ",";
    first = false;
    out += each(item);
  }
  return out + "]";
}

std::string spreadJson(const Spread& s) {
  return "{\"count\":" + num(s.count) + ",\"min\":" + num(s.min) + ",\"median\":" + num(s.median) + ",\"p99\":" + num(s.p99) +
         ",\"max\":" + num(s.max) + "}";
}

std::string pairJson(const PairComparison& p) {
  std::string o = "{\"pair\":" + jsonString(p.name);
  o += ",\"written\":" + list(p.written, [](const std::string& w) { return jsonString(w); });
  o += ",\"digits\":" + num(p.digits);
  o += ",\"ticks\":" + list(p.ticks, [](std::uint64_t n) { return num(n); });
  o += ",\"changes\":" + list(p.changes, [](std::uint64_t n) { return num(n); });
  o += ",\"lag_ms\":" + (p.lagFound ? num(p.lagMs) : "null");
  o += ",\"lag_sharpness\":" + num(p.lagSharpness);
  o += ",\"lag_curve\":" + list(p.lagCurve, [](const LagPoint& l) {
         std::string point = "[";
         point += num(l.lagMs);
         point += ",";
         point += num(l.contrast);
         return point + "]";
       });
  o += ",\"lag_by_day\":" + list(p.lagByDay, [](const DayLag& d) {
         return "{\"day\":" + jsonString(utcText(d.dayUtcMs).substr(0, 10)) + ",\"lag_ms\":" + (d.found ? num(d.lagMs) : "null") +
                ",\"lag_sharpness\":" + num(d.sharpness) + ",\"changes\":" + list(d.changes, [](std::uint64_t n) { return num(n); }) + "}";
       });
  int side = 0;
  o += ",\"missing\":" + list(p.missing, [&](const Missing& m) {
         return "{\"side\":\"" + std::string(sideLetter(side++)) + "\",\"missed\":" + num(m.missed) + ",\"of\":" + num(m.otherChanges) +
                ",\"share\":" + num(m.share) + ",\"by_hour\":" + list(m.byHour, [](std::uint64_t n) { return num(n); }) +
                ",\"longest_runs\":" + list(m.longestRuns, [](const MissedRun& r) {
                  return "{\"from\":" + isoTime(r.fromUtcMs) + ",\"to\":" + isoTime(r.toUtcMs) + ",\"changes\":" + num(r.changes) + "}";
                }) +
                "}";
       });
  o += ",\"outages\":" + list(p.outages, [](const Outage& g) {
         return "{\"silent\":\"" + std::string(sideLetter(g.side)) + "\",\"from\":" + isoTime(g.fromUtcMs) + ",\"to\":" + isoTime(g.toUtcMs) +
                ",\"seconds\":" + num(static_cast<double>(g.toUtcMs - g.fromUtcMs) / 1000) + ",\"other_ticks\":" + num(g.otherTicks) + "}";
       });
  o += ",\"spread_points\":" + list(p.spreads, spreadJson);
  o += ",\"spread_by_hour\":" + list(p.spreadsByHour, [](const auto& hours) { return list(hours, spreadJson); });
  const MidDifference& d = p.difference;
  o += ",\"mid_difference_points\":{\"count\":" + num(d.count) + ",\"median\":" + num(d.median) + ",\"p1\":" + num(d.p1) +
       ",\"p99\":" + num(d.p99) + ",\"over_time\":" + list(d.overTime, [](const DifferenceSample& s) {
         return "{\"from\":" + isoTime(s.fromUtcMs) + ",\"mean\":" + num(s.mean) + ",\"min\":" + num(s.min) + ",\"max\":" + num(s.max) + "}";
       }) + "}";
  o += ",\"bad_ticks\":{\"count\":" + num(p.badTickCount) + ",\"kept_at_most\":" + num(static_cast<std::uint64_t>(kBadTicksKept)) +
       ",\"list\":" + list(p.badTicks, [](const BadTick& b) {
         return "{\"side\":\"" + std::string(sideLetter(b.side)) + "\",\"time\":" + isoTime(b.utcMs) + ",\"bid\":" + jsonString(b.bid) +
                ",\"ask\":" + jsonString(b.ask) + ",\"other_bid\":" + jsonString(b.otherBid) + ",\"other_ask\":" + jsonString(b.otherAsk) +
                ",\"off_points\":" + num(b.offPoints) + ",\"file\":" + jsonString(b.file) + ",\"line\":" + num(b.line) + "}";
       }) + "}";
  o += ",\"ticks_per_minute\":" + list(p.ticksPerMinute, [](const TicksPerMinute& t) {
         return "{\"mean\":" + num(t.mean) + ",\"by_hour\":" + list(t.byHour, [](double v) { return num(v); }) + "}";
       });
  return o + "}";
}

std::string sideJson(const SideSummary& s) {
  return "{\"name\":" + jsonString(s.name) + ",\"files\":" + list(s.files, [](const std::string& f) { return jsonString(f); }) +
         ",\"rows\":" + num(s.rows) + ",\"unreadable_lines\":" + num(s.unreadable) + ",\"first\":" + isoTime(s.firstUtcMs) +
         ",\"last\":" + isoTime(s.lastUtcMs) + ",\"pairs\":" + list(s.pairs, [](const std::string& f) { return jsonString(f); }) +
         ",\"backward_stamps\":{\"count\":" + num(s.backwardCount) + ",\"kept_at_most\":" + num(static_cast<std::uint64_t>(kBackwardStampsKept)) +
         ",\"list\":" + list(s.backward, [](const BackwardStamp& b) {
           return "{\"file\":" + jsonString(b.file) + ",\"line\":" + num(b.line) + ",\"time\":" + isoTime(b.utcMs) +
                  ",\"previous\":" + isoTime(b.previousUtcMs) + "}";
         }) + "}}";
}

std::string percent(double share) { return format(share < 0.001 && share > 0 ? "%.3f%%" : "%.2f%%", 100 * share); }
std::string points(double v) { return format("%.1f", v); }

std::string durationWords(std::int64_t ms) {
  const std::int64_t s = (ms + 500) / 1000;
  char buf[48];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", static_cast<long long>(s / 3600), static_cast<long long>(s / 60 % 60));
  else if (s >= 60)
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(s));
  return buf;
}

}  // namespace

std::string utcText(std::int64_t utcMs) {
  using namespace std::chrono;
  constexpr std::int64_t kDay = 86400000;
  const year_month_day date{sys_days{days{floorDiv(utcMs, kDay)}}};
  const std::int64_t inDay = utcMs - floorDiv(utcMs, kDay) * kDay;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld.%03lld", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<long long>(inDay / 3600000),
                static_cast<long long>(inDay / 60000 % 60), static_cast<long long>(inDay / 1000 % 60), static_cast<long long>(inDay % 1000));
  return buf;
}

std::string jsonText(const Comparison& c) {
  std::string o = "{\"tool\":\"orvalda-compare\",\"schema\":1";
  o += ",\"settings\":{\"tolerance_ms\":" + num(c.settings.toleranceMs) + ",\"min_outage_ms\":" + num(c.settings.minOutageMs) +
       ",\"max_lag_ms\":" + num(c.settings.maxLagMs) + "}";
  o += ",\"sides\":" + list(c.sides, sideJson);
  o += ",\"common_from\":" + isoTime(c.commonFromUtcMs) + ",\"common_to\":" + isoTime(c.commonToUtcMs);
  o += ",\"pairs\":" + list(c.pairs, pairJson);
  return o + "}\n";
}

std::string summaryText(const Comparison& c) {
  const std::string& a = c.sides[0].name;
  const std::string& b = c.sides[1].name;
  const auto name = [&](int side) { return side == 0 ? a : b; };
  std::string out;
  const auto line = [&](const std::string& text) { out += text + "\n"; };
  for (int s = 0; s < kSides; ++s) {
    const SideSummary& side = c.sides[s];
    line(std::string(sideLetter(s)) + " " + side.name + ": " + std::to_string(side.files.size()) +
         (side.files.size() == 1 ? " recording, " : " recordings, ") + std::to_string(side.rows) + " rows, " +
         utcText(side.firstUtcMs).substr(0, 19) + " to " + utcText(side.lastUtcMs).substr(0, 19) + " UTC" +
         (side.unreadable > 0 ? ", " + std::to_string(side.unreadable) + " lines that are no row" : ""));
  }
  for (const PairComparison& p : c.pairs) {
    const std::string& n = p.name;
    // Who is faster.
    if (!p.lagFound) {
      line(n + ": no lag found (too few price changes on one side)");
    } else {
      const long long ms = std::llround(p.lagMs);
      std::string text = ms == 0 ? n + ": " + a + "'s and " + b + "'s prices move at the same time"
                                 : n + ": " + (ms > 0 ? b : a) + "'s prices come " + std::to_string(ms < 0 ? -ms : ms) + " ms after " +
                                       (ms > 0 ? a : b) + "'s";
      text += " (sharpness " + format("%.2f", p.lagSharpness);
      double lo = 0, hi = 0;
      bool any = false;
      for (const DayLag& d : p.lagByDay)
        if (d.found) {
          lo = any ? std::min(lo, d.lagMs) : d.lagMs;
          hi = any ? std::max(hi, d.lagMs) : d.lagMs;
          any = true;
        }
      if (any && p.lagByDay.size() > 1) text += "; by day " + format("%.0f", lo) + " to " + format("%.0f", hi) + " ms";
      line(text + ")");
    }
    // Who misses ticks.
    for (int s = 0; s < kSides; ++s) {
      const Missing& m = p.missing[s];
      if (m.otherChanges == 0) continue;
      std::string text = n + ": " + name(s) + " lacks " + percent(m.share) + " of " + name(1 - s) + "'s price changes (" +
                         std::to_string(m.missed) + " of " + std::to_string(m.otherChanges) + ")";
      if (!m.longestRuns.empty())
        text += "; longest run " + std::to_string(m.longestRuns.front().changes) + " from " + utcText(m.longestRuns.front().fromUtcMs).substr(0, 19);
      line(text);
    }
    for (const Outage& g : p.outages)
      line(n + ": " + name(g.side) + " was silent " + durationWords(g.toUtcMs - g.fromUtcMs) + " from " + utcText(g.fromUtcMs).substr(0, 19) +
           " to " + utcText(g.toUtcMs).substr(11, 8) + " UTC while " + name(1 - g.side) + " sent " + std::to_string(g.otherTicks) + " ticks");
    if (p.badTickCount > 0) {
      line(n + ": " + std::to_string(p.badTickCount) + (p.badTickCount == 1 ? " bad tick" : " bad ticks") +
           (p.badTickCount > p.badTicks.size() ? " (the first " + std::to_string(p.badTicks.size()) + " listed)" : ""));
      for (const BadTick& t : p.badTicks)
        line(n + ": bad tick of " + name(t.side) + " at " + utcText(t.utcMs) + " UTC: " + t.bid + "/" + t.ask + " against " + t.otherBid + "/" +
             t.otherAsk + ", " + points(t.offPoints) + " points off, " + t.file + " line " + std::to_string(t.line));
    }
    const MidDifference& d = p.difference;
    if (d.count > 0)
      line(n + ": " + a + "'s mid minus " + b + "'s: median " + points(d.median) + " points (1st to 99th percentile " + points(d.p1) +
           " to " + points(d.p99) + ")");
    std::string spreads = n + ": spreads in points (median, 99th percentile, max):";
    for (int s = 0; s < kSides; ++s) {
      const Spread& sp = p.spreads[s];
      spreads += std::string(s == 0 ? " " : "; ") + name(s) + " " + points(sp.median) + ", " + points(sp.p99) + ", " + points(sp.max);
      int widest = -1;
      for (int h = 0; h < kHours; ++h)
        if (p.spreadsByHour[s][h].count > 0 && (widest < 0 || p.spreadsByHour[s][h].median > p.spreadsByHour[s][widest].median)) widest = h;
      if (widest >= 0 && p.spreadsByHour[s][widest].median > sp.median)
        spreads += format(" (widest at %02.0f:00 UTC, median ", widest) + points(p.spreadsByHour[s][widest].median) + ")";
    }
    line(spreads);
    line(n + ": ticks per minute " + a + " " + format("%.1f", p.ticksPerMinute[0].mean) + ", " + b + " " +
         format("%.1f", p.ticksPerMinute[1].mean));
  }
  for (int s = 0; s < kSides; ++s) {
    const SideSummary& side = c.sides[s];
    if (side.backwardCount == 0) continue;
    line(side.name + ": " + std::to_string(side.backwardCount) + (side.backwardCount == 1 ? " stamp goes" : " stamps go") +
         " back in time, first " + side.backward.front().file + " line " + std::to_string(side.backward.front().line));
  }
  return out;
}

}  // namespace orv::compare
