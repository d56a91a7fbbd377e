// The quotes the feeder sends: a recording's pace, or a synthetic stream.
#pragma once

#include <cstdint>
#include <vector>

#include "core/quote.h"
#include "tools/feed_file.h"

namespace orv::tools {

// Send offsets (ms from the first tick, at recorded pace) for each row. A time
// stamp earlier than its predecessor (a clock or daylight-saving step back)
// adds no wait instead of a negative one, so offsets never decrease.
std::vector<std::int64_t> replayOffsetsMs(const std::vector<TickRow>& rows);

// Synthetic quotes: a mean-reverting random walk with a fixed seed, around
// 1.08 or, for 3 digits or fewer, a yen-sized 150.

using orv::Quote;

class SyntheticWalk {
 public:
  SyntheticWalk(std::uint64_t seed, std::int32_t digits);
  Quote next();

 private:
  double uniform01();
  std::uint64_t state_;
  double scale_;
  double centre_;
  double pip_;
  double mid_;
};

inline constexpr std::int32_t kSyntheticMinDigits = 0;
inline constexpr std::int32_t kSyntheticMaxDigits = 9;  // 1.08 * 10^9 still fits in 32 bits

}  // namespace orv::tools
