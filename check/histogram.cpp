#include "check/histogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace orv::check {

std::uint64_t Histogram::lowestOf(unsigned bucket) noexcept {
  if (bucket < kExact) return bucket;
  const unsigned top = (bucket - kExact) / (1u << kSubBits) + 10;
  const std::uint64_t sub = (bucket - kExact) % (1u << kSubBits);
  return (std::uint64_t{1} << top) | (sub << (top - kSubBits));
}

std::uint64_t Histogram::quantile(double q) const noexcept {
  if (count_ == 0) return 0;
  q = std::clamp(q, 0.0, 1.0);
  const std::uint64_t rank = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(count_))));
  std::uint64_t seen = 0;
  for (unsigned b = bucketOf(min_); b <= bucketOf(max_); ++b) {
    seen += counts_[b];
    if (seen >= rank) return std::clamp(lowestOf(b), min_, max_);
  }
  return max_;
}

std::int64_t SignedHistogram::min() const noexcept {
  if (negative_.count() > 0) return -static_cast<std::int64_t>(negative_.max());
  return static_cast<std::int64_t>(positive_.min());
}

std::int64_t SignedHistogram::max() const noexcept {
  if (positive_.count() > 0) return static_cast<std::int64_t>(positive_.max());
  return -static_cast<std::int64_t>(negative_.min());
}

std::int64_t SignedHistogram::quantile(double q) const noexcept {
  const std::uint64_t total = count();
  if (total == 0) return 0;
  const double negatives = static_cast<double>(negative_.count());
  const double at = std::clamp(q, 0.0, 1.0) * static_cast<double>(total);
  if (at <= negatives && negative_.count() > 0) {
    // Among the negatives, counted from the most negative up.
    return -static_cast<std::int64_t>(negative_.quantile(1.0 - at / negatives + 1.0 / negatives));
  }
  return static_cast<std::int64_t>(positive_.quantile((at - negatives) / static_cast<double>(positive_.count())));
}

}  // namespace orv::check
