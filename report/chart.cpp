#include "report/chart.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "report/texts.h"
#include "core/row_format.h"

namespace orv::report {

Chart::Chart() : buckets_(kBuckets) {}

void Chart::merge(Bucket& into, const Bucket& from) noexcept {
  if (from.ticks == 0) return;
  if (into.ticks == 0) {
    into = from;
    return;
  }
  into.ticks += from.ticks;
  into.bidMin = std::min(into.bidMin, from.bidMin);
  into.bidMax = std::max(into.bidMax, from.bidMax);
  into.askMin = std::min(into.askMin, from.askMin);
  into.askMax = std::max(into.askMax, from.askMax);
  into.spreadMin = std::min(into.spreadMin, from.spreadMin);
  into.spreadMax = std::max(into.spreadMax, from.spreadMax);
}

void Chart::widen(unsigned times) noexcept {
  // Bucket i goes into i >> times, a bucket before it: in order, each lands
  // in one already emptied, or holding only what landed there.
  for (std::size_t i = 1; i < kBuckets; ++i) {
    if (buckets_[i].ticks == 0) continue;
    merge(buckets_[i >> times], buckets_[i]);
    buckets_[i] = Bucket{};
  }
  shift_ += times;
  currentFrom_ = currentTo_ = 0;  // found afresh
}

void Chart::rescaleSpreads(std::int32_t tens) noexcept {
  const auto rescaled = [tens](std::int64_t spread) {
    const std::uint64_t size = timesTenTo(spread < 0 ? 0 - static_cast<std::uint64_t>(spread) : static_cast<std::uint64_t>(spread), tens);
    const std::int64_t kept = size > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(size);
    return spread < 0 ? -kept : kept;
  };
  for (Bucket& b : buckets_) {
    if (b.ticks == 0) continue;
    b.spreadMin = rescaled(b.spreadMin);
    b.spreadMax = rescaled(b.spreadMax);
  }
}

void Chart::findBucket(std::int64_t ms) noexcept {
  if (!any_) {
    origin_ = maxMs_ = ms;
    any_ = true;
  }
  // Times before the first tick (a clock set back) go to the first bucket.
  const std::uint64_t offset = ms > origin_ ? static_cast<std::uint64_t>(ms - origin_) : 0;
  unsigned times = 0;
  while ((offset >> (shift_ + times)) >= kBuckets) ++times;
  if (times > 0) widen(times);
  const std::uint64_t index = offset >> shift_;
  current_ = &buckets_[index];
  currentFrom_ = index == 0 ? INT64_MIN : origin_ + static_cast<std::int64_t>(index << shift_);
  currentTo_ = origin_ + static_cast<std::int64_t>((index + 1) << shift_);
}

std::vector<ChartColumn> Chart::columns(std::size_t count) const {
  std::vector<ChartColumn> out(count);
  if (!any_ || count == 0) return out;
  const double start = static_cast<double>(startMs());
  const double end = static_cast<double>(endMs());
  const double columnMs = (end - start) / static_cast<double>(count);
  const double width = static_cast<double>(bucketMs());
  const double last = static_cast<double>(count - 1);
  for (std::size_t i = 0; i < kBuckets; ++i) {
    const Bucket& b = buckets_[i];
    if (b.ticks == 0) continue;
    const double from = start + static_cast<double>(i) * width;
    const double to = std::min(from + width, end);
    auto firstColumn = static_cast<std::size_t>(std::clamp((from - start) / columnMs, 0.0, last));
    auto lastColumn = static_cast<std::size_t>(
        std::clamp((to - start) / columnMs - 1e-9, static_cast<double>(firstColumn), last));
    if (maxMs_ == origin_) firstColumn = lastColumn = count / 2;  // all at one instant: a point, not a line
    const double perMs = static_cast<double>(b.ticks) / width;
    for (std::size_t c = firstColumn; c <= lastColumn; ++c) {
      ChartColumn& col = out[c];
      const double colFrom = start + static_cast<double>(c) * columnMs;
      const double overlap = std::min(from + width, colFrom + columnMs) - std::max(from, colFrom);
      col.ticksPerMinute += perMs * std::max(overlap, 0.0) * 60000.0 / columnMs;
      if (!col.any) {
        col.any = true;
        col.bidMin = b.bidMin, col.bidMax = b.bidMax, col.askMin = b.askMin, col.askMax = b.askMax;
        col.spreadMin = b.spreadMin, col.spreadMax = b.spreadMax;
      } else {
        col.bidMin = std::min(col.bidMin, b.bidMin), col.bidMax = std::max(col.bidMax, b.bidMax);
        col.askMin = std::min(col.askMin, b.askMin), col.askMax = std::max(col.askMax, b.askMax);
        col.spreadMin = std::min(col.spreadMin, b.spreadMin), col.spreadMax = std::max(col.spreadMax, b.spreadMax);
      }
    }
  }
  if (bucketMs() < 60000) {
    // Buckets narrower than a minute: each column shows the ticks counted in
    // the minute of the clock its middle falls in (a bucket's ticks in the
    // minute it starts in), never a rate projected from a burst of
    // milliseconds; columns without ticks stay empty.
    const std::int64_t firstMinute = floorDiv(startMs(), 60000);
    std::vector<double> perMinute(static_cast<std::size_t>(floorDiv(endMs(), 60000) - firstMinute + 1));
    const auto minuteOf = [&](double ms) {
      const std::int64_t minute = floorDiv(static_cast<std::int64_t>(std::floor(ms)), 60000) - firstMinute;
      return std::min(perMinute.size() - 1, static_cast<std::size_t>(std::max<std::int64_t>(0, minute)));
    };
    for (std::size_t i = 0; i < kBuckets; ++i)
      perMinute[minuteOf(start + static_cast<double>(i << shift_))] += static_cast<double>(buckets_[i].ticks);
    for (std::size_t c = 0; c < count; ++c)
      out[c].ticksPerMinute = out[c].any ? perMinute[minuteOf(start + (static_cast<double>(c) + 0.5) * columnMs)] : 0;
  }
  return out;
}

}  // namespace orv::report
