#include "compare/analysis.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "core/row_format.h"

namespace orv::compare {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kMsPerHour = 3600000;
// An interval between two changes of one side longer than this (a quiet
// market, a feed down) is left out of the lag's contrast.
constexpr std::int64_t kLongestInterval = 60000;
// A day's lag needs this many changes on each side.
constexpr std::size_t kFewestChanges = 100;
// A bad tick is at least this many times the day's usual width of the price
// difference (its 1st to 99th percentile) away, and at least this many of
// its usual price steps.
constexpr std::int64_t kBadWidths = 4, kBadSteps = 20;
// ... and the other side shows no price near it within this.
constexpr std::int64_t kBadWindowMs = 2000;
// An outage: the other side ticked at least this many times, at a quarter of
// its day's pace or more.
constexpr std::uint64_t kOutageFewestTicks = 10;

int hourOf(std::int64_t utcMs) { return static_cast<int>(floorDiv(utcMs, kMsPerHour) % kHours + kHours) % kHours; }

std::int64_t fineOf(const Price& p) {
  const std::uint64_t v = pointsInUnit(p, kFineDigits);
  return v > static_cast<std::uint64_t>(INT64_MAX / 4) ? INT64_MAX / 4 : static_cast<std::int64_t>(v);
}

struct DayTick {
  std::int64_t t = 0;  // UTC ms, the side's own
  std::int64_t bid = 0, ask = 0;  // fine units
  std::uint64_t line = 0;
  std::uint32_t file = 0;
  std::int8_t digits = 0;
  bool carried = false;  // the last tick of the day before, for continuity only
  bool bad = false;
  std::int64_t mid2() const { return bid + ask; }
};

// How often each value was seen: an open-addressed table, as values repeat
// at every tick.
class Counts {
 public:
  void add(std::int64_t value, std::uint64_t count = 1) {
    if (slots_.empty() || 2 * (used_ + 1) > slots_.size()) grow();
    Slot& slot = find(value);
    if (slot.count == 0) {
      slot.value = value;
      ++used_;
    }
    slot.count += count;
  }
  template <class F>
  void forEach(F f) const {
    for (const Slot& slot : slots_)
      if (slot.count > 0) f(slot.value, slot.count);
  }

 private:
  struct Slot {
    std::int64_t value = 0;
    std::uint64_t count = 0;
  };
  Slot& find(std::int64_t value) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>((static_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15ULL) >> 20) & mask;
    while (slots_[i].count > 0 && slots_[i].value != value) i = (i + 1) & mask;
    return slots_[i];
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    used_ = 0;
    for (const Slot& slot : old)
      if (slot.count > 0) add(slot.value, slot.count);
  }
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// The value below which `share` of the counted values lie (nearest rank).
double quantile(const std::vector<std::pair<std::int64_t, std::uint64_t>>& sorted, std::uint64_t total, double share) {
  if (total == 0) return 0;
  const std::uint64_t rank = std::min<std::uint64_t>(total - 1, static_cast<std::uint64_t>(std::floor(share * static_cast<double>(total - 1) + 0.5)));
  std::uint64_t seen = 0;
  for (const auto& [value, count] : sorted) {
    seen += count;
    if (seen > rank) return static_cast<double>(value);
  }
  return static_cast<double>(sorted.back().first);
}

std::vector<std::pair<std::int64_t, std::uint64_t>> sortedCounts(const Counts& counts, std::uint64_t& total) {
  std::vector<std::pair<std::int64_t, std::uint64_t>> v;
  counts.forEach([&](std::int64_t value, std::uint64_t count) { v.emplace_back(value, count); });
  std::sort(v.begin(), v.end());
  total = 0;
  for (const auto& c : v) total += c.second;
  return v;
}

Spread spreadOf(const Counts& counts, double unit) {
  std::uint64_t total = 0;
  const auto v = sortedCounts(counts, total);
  Spread s;
  if (total == 0) return s;
  s.count = total;
  s.min = static_cast<double>(v.front().first) / unit;
  s.max = static_cast<double>(v.back().first) / unit;
  s.median = quantile(v, total, 0.5) / unit;
  s.p99 = quantile(v, total, 0.99) / unit;
  return s;
}

// Keeps the longest runs, longest first.
void keepRun(std::vector<MissedRun>& runs, const MissedRun& run) {
  if (run.changes == 0) return;
  runs.push_back(run);
  std::stable_sort(runs.begin(), runs.end(), [](const MissedRun& a, const MissedRun& b) { return a.changes > b.changes; });
  if (runs.size() > kRunsKept) runs.pop_back();
}

}  // namespace

std::string priceText(std::int64_t fine, int digits) {
  digits = std::clamp(digits, 0, kFineDigits);
  std::int64_t scale = 1;
  for (int i = digits; i < kFineDigits; ++i) scale *= 10;
  const bool negative = fine < 0;
  const std::uint64_t points = static_cast<std::uint64_t>(negative ? -fine : fine) / static_cast<std::uint64_t>(scale);
  std::string s = std::to_string(points);
  if (digits > 0) {
    if (s.size() <= static_cast<std::size_t>(digits)) s.insert(0, static_cast<std::size_t>(digits) + 1 - s.size(), '0');
    s.insert(s.size() - static_cast<std::size_t>(digits), 1, '.');
  }
  return negative ? "-" + s : s;
}

struct Comparer::Impl {
  CompareSettings settings;

  struct Silence {
    std::int64_t last = INT64_MIN;  // the side's last tick, on A's clock
    std::uint64_t otherTicks = 0;   // the other side's since
    std::int64_t firstOther = 0, lastOther = 0;
  };
  struct BadFound {
    BadTick tick;
    std::uint32_t fileIndex = 0;
  };
  struct DifferenceSpan {
    std::int64_t span = 0;
    double sum = 0;
    std::int64_t min = 0, max = 0;
    std::uint64_t count = 0;
  };

  struct Pair {
    std::int64_t day = INT64_MIN;
    std::array<std::vector<DayTick>, kSides> ticks;
    std::array<int, kSides> digits{};
    std::array<std::int64_t, kSides> lastChange{INT64_MIN, INT64_MIN};  // for the lag's intervals
    bool anyLag = false;
    double lastLag = 0;
    std::vector<double> curve;  // the contrast's sum over the days
    double squaresA = 0, squaresB = 0;
    std::vector<DayLag> days;
    std::array<Missing, kSides> missing;
    std::array<std::uint64_t, kSides> changes{};
    std::array<Silence, kSides> silence;
    std::vector<Outage> outages;
    std::array<std::array<Counts, kHours>, kSides> spreads;  // fine units
    Counts difference;  // mid2 units
    std::vector<DifferenceSpan> overTime;
    std::uint64_t badCount = 0;
    std::vector<BadFound> bad;
    std::array<std::uint64_t, kSides> tickCount{};
    std::array<Hourly, kSides> ticksByHour{};
    Hourly activeMinutes{};
    std::int64_t lastMinute = INT64_MIN;
  };
  std::vector<Pair> pairs;

  std::int64_t L() const { return settings.maxLagMs; }

  void add(const Tick& tick) {
    if (tick.pair >= pairs.size()) pairs.resize(tick.pair + 1);
    Pair& p = pairs[tick.pair];
    const std::int64_t day = floorDiv(tick.utcMs, kMsPerDay);
    if (day != p.day) {
      if (p.day != INT64_MIN) finishDay(p);
      p.day = day;
    }
    DayTick d;
    d.t = tick.utcMs;
    d.bid = fineOf(tick.bid);
    d.ask = fineOf(tick.ask);
    d.line = tick.line;
    d.file = tick.file;
    d.digits = static_cast<std::int8_t>(std::clamp(std::max(tick.bid.digits, tick.ask.digits), 0, kFineDigits));
    p.digits[tick.side] = std::max<int>(p.digits[tick.side], d.digits);
    p.ticks[tick.side].push_back(d);
    const int hour = hourOf(tick.utcMs);
    p.spreads[tick.side][hour].add(d.ask - d.bid);
    ++p.tickCount[tick.side];
    ++p.ticksByHour[tick.side][hour];
    const std::int64_t minute = floorDiv(tick.utcMs, 60000);
    if (minute != p.lastMinute) {
      p.lastMinute = minute;
      ++p.activeMinutes[hour];
    }
  }

  // The lag's contrast over the day: for each candidate lag (ms, B after A),
  // the sum of dA * dB over A's and B's intervals between changes that
  // overlap once B is moved back by the lag. Each pair of intervals adds its
  // product over a range of lags, so each is one step in a difference array.
  struct Interval {
    std::int64_t from, to;
    double change;
  };
  std::vector<Interval> intervalsOf(Pair& p, int side) {
    std::vector<Interval> out;
    const auto& ticks = p.ticks[side];
    std::int64_t& last = p.lastChange[side];
    for (std::size_t i = 1; i < ticks.size(); ++i) {
      const std::int64_t change = ticks[i].mid2() - ticks[i - 1].mid2();
      if (change == 0) continue;
      if (last != INT64_MIN && ticks[i].t - last <= kLongestInterval) out.push_back({last, ticks[i].t, static_cast<double>(change)});
      last = ticks[i].t;
    }
    return out;
  }

  struct DayCurve {
    std::vector<double> contrast;
    double squaresA = 0, squaresB = 0;
    std::size_t changesA = 0, changesB = 0;
  };
  DayCurve contrastOf(Pair& p) {
    const std::int64_t lag = L();
    DayCurve day;
    const std::vector<Interval> a = intervalsOf(p, 0), b = intervalsOf(p, 1);
    day.changesA = a.size();
    day.changesB = b.size();
    std::vector<double> steps(static_cast<std::size_t>(2 * lag + 2), 0.0);
    std::size_t first = 0;
    for (const Interval& x : a) {
      day.squaresA += x.change * x.change;
      while (first < b.size() && b[first].to <= x.from - lag) ++first;
      for (std::size_t j = first; j < b.size() && b[j].from < x.to + lag; ++j) {
        const std::int64_t lo = std::max(b[j].from - x.to + 1, -lag), hi = std::min(b[j].to - x.from - 1, lag);
        if (lo > hi) continue;
        const double v = x.change * b[j].change;
        steps[static_cast<std::size_t>(lo + lag)] += v;
        steps[static_cast<std::size_t>(hi + lag + 1)] -= v;
      }
    }
    for (const Interval& y : b) day.squaresB += y.change * y.change;
    day.contrast.resize(static_cast<std::size_t>(2 * lag + 1));
    double sum = 0;
    for (std::size_t k = 0; k < day.contrast.size(); ++k) day.contrast[k] = sum += steps[k];
    return day;
  }

  // The lag where the contrast peaks, and how sharp: the contrast there over
  // both sides' squared changes. Each pair of matching changes adds to the
  // contrast for every lag its two intervals overlap at, so the peak is a
  // plateau as wide as the shortest intervals, symmetric about the true lag,
  // whose top is uneven by the products of changes that do not match: its
  // highest point may lie anywhere on it. The middle of the peak at half its
  // height, where it falls steeply, is where the lag is; when that reaches
  // an end of the lags tried, the middle of its highest top.
  struct Peak {
    bool found = false;
    double lagMs = 0, sharpness = 0;
    std::size_t at = 0;
  };
  Peak peakOf(const std::vector<double>& contrast, double squaresA, double squaresB) const {
    Peak peak;
    if (contrast.empty() || squaresA <= 0 || squaresB <= 0) return peak;
    const auto best = std::max_element(contrast.begin(), contrast.end());
    if (*best <= 0) return peak;
    std::size_t from = static_cast<std::size_t>(best - contrast.begin()), to = from;
    while (to + 1 < contrast.size() && contrast[to + 1] >= *best * (1 - 1e-12)) ++to;
    double middle = static_cast<double>(from + to) / 2;
    const double half = *best / 2;
    std::size_t lo = from, hi = to;
    while (lo > 0 && contrast[lo - 1] >= half) --lo;
    while (hi + 1 < contrast.size() && contrast[hi + 1] >= half) ++hi;
    if (lo > 0 && hi + 1 < contrast.size()) {
      // Where it crosses half its height, between whole milliseconds.
      const double left = static_cast<double>(lo) - (contrast[lo] - half) / (contrast[lo] - contrast[lo - 1]);
      const double right = static_cast<double>(hi) + (contrast[hi] - half) / (contrast[hi] - contrast[hi + 1]);
      middle = (left + right) / 2;
    }
    peak.found = true;
    peak.at = static_cast<std::size_t>(std::llround(middle));
    peak.lagMs = middle - static_cast<double>(L());
    peak.sharpness = *best / std::sqrt(squaresA * squaresB);
    return peak;
  }

  void finishDay(Pair& p) {
    auto& ta = p.ticks[0];
    auto& tb = p.ticks[1];
    // Who is faster, that day.
    DayCurve curve = contrastOf(p);
    if (p.curve.empty()) p.curve.assign(curve.contrast.size(), 0.0);
    for (std::size_t k = 0; k < curve.contrast.size(); ++k) p.curve[k] += curve.contrast[k];
    p.squaresA += curve.squaresA;
    p.squaresB += curve.squaresB;
    DayLag dayLag;
    dayLag.dayUtcMs = p.day * kMsPerDay;
    dayLag.changes = {curve.changesA, curve.changesB};
    if (curve.changesA >= kFewestChanges && curve.changesB >= kFewestChanges) {
      const Peak peak = peakOf(curve.contrast, curve.squaresA, curve.squaresB);
      dayLag.found = peak.found;
      dayLag.lagMs = peak.lagMs;
      dayLag.sharpness = peak.sharpness;
    }
    if (dayLag.changes[0] + dayLag.changes[1] > 0) p.days.push_back(dayLag);
    if (dayLag.found) {
      p.anyLag = true;
      p.lastLag = dayLag.lagMs;
    }
    const std::int64_t shift = p.anyLag ? std::llround(p.lastLag) : 0;

    // Both sides on A's clock, in time order: B moved back by the lag.
    struct Event {
      std::int64_t t;
      int side;
      std::uint32_t index;
    };
    std::vector<Event> events;
    events.reserve(ta.size() + tb.size());
    {
      std::size_t i = 0, j = 0;
      while (i < ta.size() || j < tb.size()) {
        if (j >= tb.size() || (i < ta.size() && ta[i].t <= tb[j].t - shift))
          events.push_back({ta[i].t, 0, static_cast<std::uint32_t>(i++)});
        else
          events.push_back({tb[j].t - shift, 1, static_cast<std::uint32_t>(j++)});
      }
    }
    const auto tickOf = [&](const Event& e) -> DayTick& { return p.ticks[e.side][e.index]; };
    const auto clockA = [&](int side, const DayTick& d) { return side == 0 ? d.t : d.t - shift; };

    // The difference A - B (mid2 units) at each tick where both have a price,
    // and the other side's tick then.
    std::array<std::vector<std::int64_t>, kSides> diff;
    std::array<std::vector<std::int32_t>, kSides> otherAt;
    for (int s = 0; s < kSides; ++s) {
      diff[s].assign(p.ticks[s].size(), 0);
      otherAt[s].assign(p.ticks[s].size(), -1);
    }
    std::array<std::int32_t, kSides> latest{-1, -1};
    std::vector<std::int64_t> usual;
    for (const Event& e : events) {
      latest[e.side] = static_cast<std::int32_t>(e.index);
      const int o = 1 - e.side;
      if (latest[o] < 0) continue;
      otherAt[e.side][e.index] = latest[o];
      const DayTick& own = tickOf(e);
      const DayTick& other = p.ticks[o][static_cast<std::size_t>(latest[o])];
      diff[e.side][e.index] = e.side == 0 ? own.mid2() - other.mid2() : other.mid2() - own.mid2();
      if (!own.carried) usual.push_back(diff[e.side][e.index]);
    }

    // Bad ticks: far from the other side's price beyond the usual difference,
    // a jump from the side's own price before, at a price the other side
    // shows nowhere near within kBadWindowMs.
    if (usual.size() >= 100) {
      // The median, then the 1st and 99th percentiles within the halves on either side of it.
      const auto rank = [&](double share) { return usual.begin() + static_cast<std::ptrdiff_t>(share * static_cast<double>(usual.size() - 1)); };
      const auto middle = rank(0.5), low = rank(0.01), high = rank(0.99);
      std::nth_element(usual.begin(), middle, usual.end());
      std::nth_element(usual.begin(), low, middle);
      std::nth_element(middle, high, usual.end());
      const std::int64_t median = *middle, p1 = *low, p99 = *high;
      std::vector<std::int64_t> steps;
      for (int s = 0; s < kSides; ++s)
        for (std::size_t i = 1; i < p.ticks[s].size(); ++i)
          if (const std::int64_t d = p.ticks[s][i].mid2() - p.ticks[s][i - 1].mid2(); d != 0) steps.push_back(d < 0 ? -d : d);
      std::int64_t step = 1;
      if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
        step = steps[steps.size() / 2];
      }
      const std::int64_t far = std::max(kBadWidths * (p99 - p1), kBadSteps * step);
      for (int s = 0; s < kSides; ++s) {
        const int o = 1 - s;
        auto& own = p.ticks[s];
        const auto& other = p.ticks[o];
        for (std::size_t i = 1; i < own.size(); ++i) {
          if (own[i].carried || otherAt[s][i] < 0) continue;
          const std::int64_t off = (s == 0 ? diff[s][i] - median : median - diff[s][i]);
          if (std::llabs(off) <= far || std::llabs(own[i].mid2() - own[i - 1].mid2()) <= far / 2) continue;
          // Where the other side would be to show this price.
          const std::int64_t want = s == 0 ? own[i].mid2() - median : own[i].mid2() + median;
          const std::int64_t t = clockA(s, own[i]);
          bool shown = false;
          auto from = std::lower_bound(other.begin(), other.end(), t - kBadWindowMs,
                                       [&](const DayTick& d, std::int64_t v) { return clockA(o, d) < v; });
          for (auto it = from; it != other.end() && clockA(o, *it) <= t + kBadWindowMs && !shown; ++it)
            shown = std::llabs(it->mid2() - want) <= far / 2;
          if (shown) continue;
          own[i].bad = true;
          ++p.badCount;
          if (p.bad.size() < kBadTicksKept) {
            const DayTick& then = other[static_cast<std::size_t>(otherAt[s][i])];
            BadFound b;
            b.tick.side = s;
            b.tick.utcMs = own[i].t;
            b.tick.bid = priceText(own[i].bid, own[i].digits);
            b.tick.ask = priceText(own[i].ask, own[i].digits);
            b.tick.otherBid = priceText(then.bid, then.digits);
            b.tick.otherAsk = priceText(then.ask, then.digits);
            b.tick.offPoints = static_cast<double>(off);  // mid2 units, made points at the end
            b.tick.line = own[i].line;
            b.fileIndex = own[i].file;
            p.bad.push_back(std::move(b));
          }
        }
      }
    }

    // The price difference, bad ticks and the ticks facing one left out.
    for (const Event& e : events) {
      const DayTick& own = tickOf(e);
      const std::int32_t o = otherAt[e.side][e.index];
      if (own.carried || own.bad || o < 0 || p.ticks[1 - e.side][static_cast<std::size_t>(o)].bad) continue;
      const std::int64_t d = diff[e.side][e.index];
      p.difference.add(d);
      const std::int64_t span = floorDiv(e.t, kDifferenceSampleMs);
      if (p.overTime.empty() || p.overTime.back().span != span) p.overTime.push_back({span, 0, d, d, 0});
      DifferenceSpan& last = p.overTime.back();
      last.sum += static_cast<double>(d);
      last.min = std::min(last.min, d);
      last.max = std::max(last.max, d);
      ++last.count;
    }

    // Missed changes: each side's changes (bad ticks left out) matched, after
    // the lag, one to one to the other's within the tolerance, the earliest
    // free one first (which matches as many as can be). Their directions are
    // not asked: a side's own spread moves its mid too.
    struct Change {
      std::int64_t t;  // A's clock
      bool matched = false;
    };
    std::array<std::vector<Change>, kSides> changes;
    for (int s = 0; s < kSides; ++s) {
      std::int64_t previous = INT64_MIN;
      for (const DayTick& d : p.ticks[s]) {
        if (d.bad) continue;
        if (previous != INT64_MIN && d.mid2() != previous && !d.carried) changes[s].push_back({clockA(s, d)});
        previous = d.mid2();
      }
      p.changes[s] += changes[s].size();
    }
    const std::int64_t tolerance = settings.toleranceMs;
    std::size_t free = 0;  // B's earliest change not yet matched nor passed
    for (Change& c : changes[0]) {
      auto& b = changes[1];
      while (free < b.size() && (b[free].matched || b[free].t < c.t - tolerance)) ++free;
      if (free < b.size() && b[free].t <= c.t + tolerance) {
        c.matched = true;
        b[free++].matched = true;
      }
    }
    for (int s = 0; s < kSides; ++s) {
      Missing& m = p.missing[1 - s];  // what the other side lacks of s's changes
      m.otherChanges += changes[s].size();
      MissedRun run;
      for (const Change& c : changes[s]) {
        if (c.matched) {
          keepRun(m.longestRuns, run);
          run = {};
          continue;
        }
        ++m.missed;
        ++m.byHour[hourOf(c.t)];
        if (run.changes == 0) run.fromUtcMs = c.t;
        run.toUtcMs = c.t;
        ++run.changes;
      }
      keepRun(m.longestRuns, run);
    }

    // Outages: a side silent for settings.minOutageMs or more while the other
    // ticked at a quarter of its day's pace or more. The silence began half
    // way between the silent side's last tick and the other side's next, and
    // ended half way between the other side's last tick and its own next.
    std::array<double, kSides> pace{};
    for (int s = 0; s < kSides; ++s) {
      const auto& ticks = p.ticks[s];
      const auto first = std::find_if(ticks.begin(), ticks.end(), [](const DayTick& d) { return !d.carried; });
      if (first != ticks.end() && ticks.back().t > first->t)
        pace[s] = static_cast<double>(ticks.end() - first) / static_cast<double>(ticks.back().t - first->t);
    }
    for (const Event& e : events) {
      if (tickOf(e).carried) continue;
      Silence& own = p.silence[e.side];
      const int o = 1 - e.side;
      if (own.last != INT64_MIN && e.t - own.last >= settings.minOutageMs && own.otherTicks >= kOutageFewestTicks &&
          static_cast<double>(own.otherTicks) >= 0.25 * pace[o] * static_cast<double>(e.t - own.last)) {
        const std::int64_t back = e.side == 1 ? shift : 0;  // to the silent side's own clock
        p.outages.push_back({e.side, (own.last + own.firstOther) / 2 + back, (own.lastOther + e.t) / 2 + back, own.otherTicks});
      }
      own.last = e.t;
      own.otherTicks = 0;
      Silence& theirs = p.silence[o];
      if (theirs.otherTicks++ == 0) theirs.firstOther = e.t;
      theirs.lastOther = e.t;
    }

    // The day's last tick of each side stays, for the next day's changes and prices.
    for (int s = 0; s < kSides; ++s) {
      auto& ticks = p.ticks[s];
      if (ticks.empty()) continue;
      DayTick last = ticks.back();
      last.carried = true;
      last.bad = false;
      ticks.clear();
      ticks.push_back(last);
    }
  }

  Comparison finish(const std::vector<TickStream::PairSeen>& seen, const std::array<SideSummary, kSides>& sides) {
    Comparison c;
    c.settings = settings;
    c.sides = sides;
    c.commonFromUtcMs = std::max(sides[0].firstUtcMs, sides[1].firstUtcMs);
    c.commonToUtcMs = std::min(sides[0].lastUtcMs, sides[1].lastUtcMs);
    for (std::size_t i = 0; i < pairs.size() && i < seen.size(); ++i) {
      Pair& p = pairs[i];
      if (p.day != INT64_MIN) finishDay(p);
      if (p.tickCount[0] == 0 || p.tickCount[1] == 0) continue;
      PairComparison r;
      r.written = seen[i].written;
      r.name = seen[i].written[0];
      r.digits = std::max(p.digits[0], p.digits[1]);
      double unit = 1;  // fine units a point
      for (int k = r.digits; k < kFineDigits; ++k) unit *= 10;
      r.ticks = p.tickCount;
      r.changes = p.changes;

      const Peak peak = peakOf(p.curve, p.squaresA, p.squaresB);
      r.lagFound = peak.found;
      r.lagMs = peak.lagMs;
      r.lagSharpness = peak.sharpness;
      if (!p.curve.empty()) {
        const double norm = p.squaresA > 0 && p.squaresB > 0 ? std::sqrt(p.squaresA * p.squaresB) : 1;
        const std::int64_t lag = L();
        for (std::int64_t k = -lag; k <= lag; ++k) {
          const bool near = peak.found && std::llabs(k - static_cast<std::int64_t>(peak.at) + lag) <= 50;
          if (k % 10 == 0 || near) r.lagCurve.push_back({static_cast<std::int32_t>(k), p.curve[static_cast<std::size_t>(k + lag)] / norm});
        }
      }
      r.lagByDay = std::move(p.days);
      for (int s = 0; s < kSides; ++s) {
        Missing& m = p.missing[s];
        m.share = m.otherChanges > 0 ? static_cast<double>(m.missed) / static_cast<double>(m.otherChanges) : 0;
        r.missing[s] = std::move(m);
        Counts all;
        for (int h = 0; h < kHours; ++h) {
          r.spreadsByHour[s][h] = spreadOf(p.spreads[s][h], unit);
          p.spreads[s][h].forEach([&](std::int64_t value, std::uint64_t count) { all.add(value, count); });
        }
        r.spreads[s] = spreadOf(all, unit);
        std::uint64_t minutes = 0;
        for (int h = 0; h < kHours; ++h) {
          minutes += p.activeMinutes[h];
          r.ticksPerMinute[s].byHour[h] =
              p.activeMinutes[h] > 0 ? static_cast<double>(p.ticksByHour[s][h]) / static_cast<double>(p.activeMinutes[h]) : 0;
        }
        r.ticksPerMinute[s].mean = minutes > 0 ? static_cast<double>(p.tickCount[s]) / static_cast<double>(minutes) : 0;
      }
      r.outages = std::move(p.outages);
      std::sort(r.outages.begin(), r.outages.end(), [](const Outage& a, const Outage& b) { return a.fromUtcMs < b.fromUtcMs; });

      std::uint64_t total = 0;
      const auto differences = sortedCounts(p.difference, total);
      const double mid2Unit = 2 * unit;
      r.difference.count = total;
      r.difference.median = quantile(differences, total, 0.5) / mid2Unit;
      r.difference.p1 = quantile(differences, total, 0.01) / mid2Unit;
      r.difference.p99 = quantile(differences, total, 0.99) / mid2Unit;
      for (const DifferenceSpan& d : p.overTime)
        r.difference.overTime.push_back({d.span * kDifferenceSampleMs, d.sum / static_cast<double>(d.count) / mid2Unit,
                                         static_cast<double>(d.min) / mid2Unit, static_cast<double>(d.max) / mid2Unit});
      r.badTickCount = p.badCount;
      for (BadFound& b : p.bad) {
        b.tick.offPoints /= mid2Unit;
        b.tick.file = sides[b.tick.side].files[b.fileIndex];
        r.badTicks.push_back(std::move(b.tick));
      }
      std::sort(r.badTicks.begin(), r.badTicks.end(), [](const BadTick& a, const BadTick& b) { return a.utcMs < b.utcMs; });
      c.pairs.push_back(std::move(r));
    }
    std::sort(c.pairs.begin(), c.pairs.end(), [](const PairComparison& a, const PairComparison& b) { return a.name < b.name; });
    return c;
  }
};

Comparer::Comparer(CompareSettings settings) : impl_(std::make_unique<Impl>()) { impl_->settings = settings; }
Comparer::~Comparer() = default;
void Comparer::add(const Tick& tick) { impl_->add(tick); }
Comparison Comparer::finish(const std::vector<TickStream::PairSeen>& pairs, const std::array<SideSummary, kSides>& sides) {
  return impl_->finish(pairs, sides);
}

}  // namespace orv::compare
