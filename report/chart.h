// What a recording's charts need, in a fixed amount of memory: the time line
// cut into kBuckets buckets that double their width whenever the recording
// outgrows them, each holding the lowest and highest bid, ask and spread and
// the ticks in it. Drawn as pixel columns, the lowest and highest of each
// column, so a single spike among millions of ticks still shows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv::report {

struct ChartColumn {
  bool any = false;            // some bucket with ticks covers this column
  // Ticks per minute: over columns of a minute or more, the ticks of the
  // buckets over it by their share of its time, per minute; over narrower
  // ones, the ticks of the clock minute it lies in; 0 where it has none.
  double ticksPerMinute = 0;
  double bidMin = 0, bidMax = 0, askMin = 0, askMax = 0;
  std::int64_t spreadMin = 0, spreadMax = 0;
};

class Chart {
 public:
  static constexpr std::size_t kBuckets = 2048;

  Chart();
  void add(std::int64_t ms, double bid, double ask, std::int64_t spread) noexcept {
    // Most ticks fall into the bucket of the tick before.
    if (ms < currentFrom_ || ms >= currentTo_) findBucket(ms);
    maxMs_ = std::max(maxMs_, ms);
    Bucket& b = *current_;
    if (b.ticks++ == 0) {
      b.bidMin = b.bidMax = bid, b.askMin = b.askMax = ask, b.spreadMin = b.spreadMax = spread;
      return;
    }
    b.bidMin = std::min(b.bidMin, bid), b.bidMax = std::max(b.bidMax, bid);
    b.askMin = std::min(b.askMin, ask), b.askMax = std::max(b.askMax, ask);
    b.spreadMin = std::min(b.spreadMin, spread), b.spreadMax = std::max(b.spreadMax, spread);
  }
  // The spreads so far multiplied by 10^tens (timesTenTo), as if added so.
  void rescaleSpreads(std::int32_t tens) noexcept;
  bool empty() const noexcept { return !any_; }
  // The time line drawn: from the first tick to the latest one (never empty).
  std::int64_t startMs() const noexcept { return origin_; }
  std::int64_t endMs() const noexcept { return maxMs_ > origin_ ? maxMs_ : origin_ + 1; }
  std::int64_t bucketMs() const noexcept { return std::int64_t{1} << shift_; }
  // The buckets as `count` columns over [startMs, endMs).
  std::vector<ChartColumn> columns(std::size_t count) const;

 private:
  struct Bucket {
    std::uint64_t ticks = 0;
    double bidMin, bidMax, askMin, askMax;
    std::int64_t spreadMin, spreadMax;
  };
  static void merge(Bucket& into, const Bucket& from) noexcept;
  // Buckets 2^times as wide, at once.
  void widen(unsigned times) noexcept;
  void findBucket(std::int64_t ms) noexcept;

  std::vector<Bucket> buckets_;
  std::int64_t origin_ = 0, maxMs_ = 0;
  unsigned shift_ = 0;  // buckets are 2^shift_ ms wide
  bool any_ = false;
  Bucket* current_ = nullptr;  // the bucket of the last tick, for [currentFrom_, currentTo_)
  std::int64_t currentFrom_ = 0, currentTo_ = 0;
};

}  // namespace orv::report
