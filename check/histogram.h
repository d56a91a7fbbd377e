// Counts of values in a fixed number of buckets, for medians and percentiles
// of streams of any length: exact below 1024, within 1 % above.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace orv::check {

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

 private:
  static constexpr unsigned kExact = 1024;  // 2^10
  static constexpr unsigned kSubBits = 7;   // 128 buckets per doubling above
  static constexpr unsigned kBuckets = kExact + (64 - 10) * (1u << kSubBits);
  static unsigned bucketOf(std::uint64_t value) noexcept {
    if (value < kExact) return static_cast<unsigned>(value);
    const unsigned top = static_cast<unsigned>(std::bit_width(value)) - 1;  // 10..63
    const unsigned sub = static_cast<unsigned>(value >> (top - kSubBits)) & ((1u << kSubBits) - 1);
    return kExact + (top - 10) * (1u << kSubBits) + sub;
  }
  static std::uint64_t lowestOf(unsigned bucket) noexcept;

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

 private:
  Histogram negative_;  // magnitudes of the values below 0
  Histogram positive_;  // values from 0 up
};

}  // namespace orv::check
