// What orvalda-compare finds when it lays two brokers' recordings of the same
// pairs side by side: the result every report (the console summary, --json,
// the page) is written from. Nothing here reads or writes a file.
//
// Sides: index 0 is side A (the first recordings given), 1 side B (those
// after --against). Times are UTC instants in milliseconds since 1970-01-01
// (each side's stamps turned to UTC by its own clock, --from-a / --from-b).
// Prices and spreads are in the pair's points: the step of the most decimals
// either side writes the pair with (1.0815 and 1.08150 are one price; a
// point of a 5-decimal pair is 0.00001).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::compare {

inline constexpr int kSides = 2;
inline constexpr int kHours = 24;  // hours of the day, UTC
using Hourly = std::array<std::uint64_t, kHours>;

// How many of a long list are kept (the count is always whole).
inline constexpr std::size_t kBadTicksKept = 100;
inline constexpr std::size_t kBackwardStampsKept = 100;
inline constexpr std::size_t kRunsKept = 5;

// Distribution of a quantity: its smallest, middle, 99th percentile and largest
// value, of `count` values (all 0 when count is 0).
struct Spread {
  std::uint64_t count = 0;
  double min = 0, median = 0, p99 = 0, max = 0;
};

// The lag: how many ms side B's price moves come after side A's (negative:
// B's come first). Estimated from the raw ticks by a Hayashi-Yoshida
// contrast: for each candidate lag, the sum of the products of A's and B's
// mid-price changes over intervals that overlap once B's clock is moved back
// by the lag; the lag is where it peaks.
struct LagPoint {
  std::int32_t lagMs = 0;
  double contrast = 0;  // that sum divided by the square roots of both sides' sums of squared changes: about 1 where the sides move together
};
struct DayLag {
  std::int64_t dayUtcMs = 0;  // the UTC midnight starting the day
  bool found = false;         // false: too few changes on one side that day
  double lagMs = 0;
  double sharpness = 0;       // as PairComparison::lagSharpness, for the day
  std::array<std::uint64_t, kSides> changes{};  // mid-price changes of each side that day
};

// Price changes one side lacks: changes of the other side (after the lag)
// with no change of this side within the tolerance, matched one to one.
struct MissedRun {
  std::int64_t fromUtcMs = 0, toUtcMs = 0;  // the first and last missed change, on A's clock (B's moved back by the lag)
  std::uint64_t changes = 0;                // how many in a row
};
struct Missing {
  std::uint64_t missed = 0;       // the other side's changes this side lacks
  std::uint64_t otherChanges = 0; // the other side's changes looked at
  double share = 0;               // missed / otherChanges, 0..1
  Hourly byHour{};                // missed, by UTC hour of the other side's change
  std::vector<MissedRun> longestRuns;  // up to kRunsKept, longest first
};

// A span where one side was silent while the other ticked at its usual pace.
struct Outage {
  int side = 0;                    // the silent side
  std::int64_t fromUtcMs = 0, toUtcMs = 0;  // where the silence began and ended (half way between the silent side's last tick and the other side's next, on the silent side's clock)
  std::uint64_t otherTicks = 0;    // the other side's ticks inside
};

// A tick far from the other side's price at that instant, well beyond their
// usual difference, at a price the other side never shows near then.
struct BadTick {
  int side = 0;                  // whose tick
  std::int64_t utcMs = 0;
  std::string bid, ask;          // the tick's prices as written
  std::string otherBid, otherAsk;  // the other side's prices at that instant (after the lag), as written
  double offPoints = 0;          // its mid minus where it should be (the other's mid plus the usual difference), in points
  std::string file;              // the recording it is in
  std::uint64_t line = 0;        // 1-based
};

// The mid prices' difference at the same instant, A minus B, after the lag.
struct DifferenceSample {
  std::int64_t fromUtcMs = 0;  // the start of a span of kDifferenceSampleMs
  double mean = 0, min = 0, max = 0;  // points
};
inline constexpr std::int64_t kDifferenceSampleMs = 15 * 60 * 1000;
struct MidDifference {
  std::uint64_t count = 0;  // ticks of either side where both had a price
  double median = 0, p1 = 0, p99 = 0;  // points
  std::vector<DifferenceSample> overTime;  // one per span with ticks, in time order
};

struct TicksPerMinute {
  double mean = 0;  // ticks per minute, over the minutes in which either side ticked in the pair
  std::array<double, kHours> byHour{};  // the same for each UTC hour of the day
};

struct PairComparison {
  std::string name;                      // as side A writes it
  std::array<std::string, kSides> written;  // as each side writes it
  std::int32_t digits = 0;               // decimals of a point
  std::array<std::uint64_t, kSides> ticks{};
  std::array<std::uint64_t, kSides> changes{};  // mid-price changes, bad ticks left out

  // Who is faster.
  bool lagFound = false;
  double lagMs = 0;          // > 0: B's prices come after A's
  double lagSharpness = 0;   // the contrast at the lag (0..1): near 1 the sides move together at that lag; below about 0.2 the lag is not to be trusted
  std::vector<LagPoint> lagCurve;  // the contrast over the candidate lags, in lag order: every 10 ms over the range, every ms within 50 ms of the lag
  std::vector<DayLag> lagByDay;    // in day order

  std::array<Missing, kSides> missing;  // [s]: what side s lacks
  std::vector<Outage> outages;          // in time order

  std::array<Spread, kSides> spreads;   // ask - bid, points
  std::array<std::array<Spread, kHours>, kSides> spreadsByHour;  // by UTC hour

  MidDifference difference;

  std::uint64_t badTickCount = 0;
  std::vector<BadTick> badTicks;  // the first kBadTicksKept, in time order

  std::array<TicksPerMinute, kSides> ticksPerMinute;
};

// A row whose stamp is earlier than the row before it in the same recording.
struct BackwardStamp {
  std::string file;
  std::uint64_t line = 0;
  std::int64_t utcMs = 0, previousUtcMs = 0;
};

struct SideSummary {
  std::string name;                  // --names, or the folder's name
  std::vector<std::string> files;    // the recordings read, in the order read
  std::uint64_t rows = 0;            // rows read
  std::uint64_t unreadable = 0;      // lines that are no row (torn, unparsable; headers are not counted)
  std::int64_t firstUtcMs = 0, lastUtcMs = 0;  // of its rows
  std::vector<std::string> pairs;    // every pair it has, as written
  std::uint64_t backwardCount = 0;
  std::vector<BackwardStamp> backward;  // the first kBackwardStampsKept
};

// What the comparison was asked to do.
struct CompareSettings {
  std::int64_t toleranceMs = 100;     // a change matches one within this, after the lag
  std::int64_t minOutageMs = 30000;   // the shortest silence reported as an outage
  std::int64_t maxLagMs = 3000;       // candidate lags: -maxLagMs..maxLagMs, every ms
};

struct Comparison {
  CompareSettings settings;
  std::array<SideSummary, kSides> sides;
  std::int64_t commonFromUtcMs = 0, commonToUtcMs = 0;  // the time both sides recorded
  std::vector<PairComparison> pairs;  // the pairs both sides have, by name
};

}  // namespace orv::compare
