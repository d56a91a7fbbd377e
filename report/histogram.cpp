#include "report/histogram.h"

#include <algorithm>
#include <cmath>

#include "core/row_format.h"

namespace orv::report {

namespace {

std::int64_t signedOf(std::uint64_t magnitude) noexcept {
  return magnitude > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(magnitude);
}

}  // namespace

std::uint64_t Histogram::lowestOf(unsigned bucket) noexcept {
  static_assert(bucketOf(UINT64_MAX) + 1 == kBuckets);
  if (bucket < kExact) return bucket;
  const unsigned decade = (bucket - static_cast<unsigned>(kExact)) / kPerDecade + 1;
  const unsigned step = (bucket - static_cast<unsigned>(kExact)) % kPerDecade;
  const std::uint64_t lead = step < 100 ? 100 + step : step < 250 ? 200 + (step - 100) * 2 : 500 + (step - 250) * 5;
  return timesTenTo(lead, decade);
}

void Histogram::rescale(std::int32_t tens) noexcept {
  if (count_ == 0 || tens == 0) return;
  const auto move = [this, tens](unsigned b) {
    const std::uint64_t n = counts_[b];
    counts_[b] = 0;
    counts_[bucketOf(timesTenTo(lowestOf(b), tens))] += n;
  };
  // Counts move only one way (up for a finer unit, down for a coarser), so
  // each lands in a bucket already moved, or its own.
  if (tens > 0)
    for (unsigned b = bucketOf(max_) + 1; b-- > bucketOf(min_);) move(b);
  else
    for (unsigned b = bucketOf(min_); b <= bucketOf(max_); ++b) move(b);
  min_ = timesTenTo(min_, tens);
  max_ = timesTenTo(max_, tens);
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
  if (negative_.count() > 0) return -signedOf(negative_.max());
  return signedOf(positive_.min());
}

std::int64_t SignedHistogram::max() const noexcept {
  if (positive_.count() > 0) return signedOf(positive_.max());
  return -signedOf(negative_.min());
}

std::int64_t SignedHistogram::quantile(double q) const noexcept {
  const std::uint64_t total = count();
  if (total == 0) return 0;
  const double negatives = static_cast<double>(negative_.count());
  const double at = std::clamp(q, 0.0, 1.0) * static_cast<double>(total);
  if (at <= negatives && negative_.count() > 0) {
    // Among the negatives, counted from the most negative up.
    return -signedOf(negative_.quantile(1.0 - at / negatives + 1.0 / negatives));
  }
  return signedOf(positive_.quantile((at - negatives) / static_cast<double>(positive_.count())));
}

}  // namespace orv::report
