#include "tools/feed_stream.h"

#include <cmath>
#include <limits>

namespace orv::tools {

std::vector<std::int64_t> replayOffsetsMs(const std::vector<TickRow>& rows) {
  std::vector<std::int64_t> offsets;
  offsets.reserve(rows.size());
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) {
      const std::int64_t step = rows[i].timeMs - rows[i - 1].timeMs;
      if (step > 0) offset += step;
    }
    offsets.push_back(offset);
  }
  return offsets;
}

// ---------------------------------------------------------------------------

namespace {
// A pair quoted with 3 decimals or fewer is a yen-sized one (USD/JPY near
// 150.000, a pip 0.01); the others are EUR/USD-sized (near 1.08, a pip 0.0001).
constexpr std::int32_t kMostYenSizedDigits = 3;
}  // namespace

SyntheticWalk::SyntheticWalk(std::uint64_t seed, std::int32_t digits)
    : state_(seed),
      scale_(std::pow(10.0, digits)),
      centre_(digits <= kMostYenSizedDigits ? 150.0 : 1.08),
      pip_(digits <= kMostYenSizedDigits ? 0.01 : 0.0001),
      mid_(centre_) {}

double SyntheticWalk::uniform01() {
  // splitmix64: the same sequence for a seed on every compiler and platform.
  state_ += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
}

Quote SyntheticWalk::next() {
  // Small steps of up to 0.2 pip, pulled gently back toward the centre; spread 0.8-1.8 pips.
  const double step = (uniform01() * 2.0 - 1.0) * 0.2 * pip_;
  mid_ += step + 0.002 * (centre_ - mid_);
  const double spread = (0.8 + 1.0 * uniform01()) * pip_;
  const double maxPoints = static_cast<double>(std::numeric_limits<std::uint32_t>::max());
  auto toPoints = [&](double price) {
    double p = std::floor(price * scale_ + 0.5);
    if (p < 0) p = 0;
    if (p > maxPoints) p = maxPoints;
    return static_cast<std::uint32_t>(p);
  };
  Quote q;
  q.bid = toPoints(mid_ - spread / 2);
  q.ask = toPoints(mid_ + spread / 2);
  if (q.ask < q.bid) q.ask = q.bid;
  return q;
}

}  // namespace orv::tools
