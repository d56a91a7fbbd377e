// Counts of values in a fixed number of buckets, for medians and percentiles
// of streams of any length: exact below 1000, within 1 % above. Above 1000 a
// bucket is the values of the same three leading decimal digits, taken by
// steps of 1 (100-199), 2 (200-498) or 5 (500-995): multiplied by a power of
// ten, every value of a bucket lands in one bucket again, so counts can move
// to a finer unit (spreads in points of more decimals) exactly.
#pragma once

#include <array>
#include <cstdint>

namespace orv::report {

class Histogram {
 public:
  void add(std::uint64_t value, std::uint64_t times = 1) noexcept {
    if (times == 0) return;
    if (count_ == 0 || value < min_) min_ = value;
    if (count_ == 0 || value > max_) max_ = value;
    counts_[bucketOf(value)] += times;
    count_ += times;
  }
  std::uint64_t count() const noexcept { return count_; }
  std::uint64_t min() const noexcept { return min_; }
  std::uint64_t max() const noexcept { return max_; }
  // The smallest value v (to the bucket's precision) with at least q of the
  // values at or below it; 0 when empty.
  std::uint64_t quantile(double q) const noexcept;
  // Every value so far multiplied by 10^tens (timesTenTo: saturating, or cut
  // for tens below 0): the counts as if they had been added so (to the
  // buckets' precision, when cut).
  void rescale(std::int32_t tens) noexcept;

 private:
  static constexpr std::uint64_t kExact = 1000;
  static constexpr unsigned kPerDecade = 100 + 150 + 100;
  static constexpr unsigned bucketOf(std::uint64_t value) noexcept {
    if (value < kExact) return static_cast<unsigned>(value);
    unsigned decade = 0;  // value / 10^decade has three digits
    for (; value >= kExact; value /= 10) ++decade;
    const auto lead = static_cast<unsigned>(value);
    const unsigned step = lead < 200 ? lead - 100 : lead < 500 ? 100 + (lead - 200) / 2 : 250 + (lead - 500) / 5;
    return static_cast<unsigned>(kExact) + (decade - 1) * kPerDecade + step;
  }
  static std::uint64_t lowestOf(unsigned bucket) noexcept;
  // Up to that of UINT64_MAX (1.84e19: 17 decades above 1000, the last to a lead of 184).
  static constexpr unsigned kBuckets = static_cast<unsigned>(kExact) + 16 * kPerDecade + 84 + 1;

  std::array<std::uint64_t, kBuckets> counts_{};
  std::uint64_t count_ = 0, min_ = 0, max_ = 0;
};

// The same for values of either sign (spreads, which a crossed quote makes negative).
class SignedHistogram {
 public:
  void add(std::int64_t value) noexcept {
    if (value < 0)
      negative_.add(static_cast<std::uint64_t>(-(value + 1)) + 1);
    else
      positive_.add(static_cast<std::uint64_t>(value));
  }
  std::uint64_t count() const noexcept { return negative_.count() + positive_.count(); }
  std::int64_t min() const noexcept;
  std::int64_t max() const noexcept;
  std::int64_t quantile(double q) const noexcept;
  void rescale(std::int32_t tens) noexcept {
    negative_.rescale(tens);
    positive_.rescale(tens);
  }

 private:
  Histogram negative_;  // magnitudes of the values below 0
  Histogram positive_;  // values from 0 up
};

}  // namespace orv::report
