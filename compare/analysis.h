// The comparison itself: ticks of both sides come in UTC order (TickStream)
// and are kept a UTC day of a pair at a time; at the day's end the day is
// weighed (its lag, then after the lag its missed changes, outages, price
// difference and bad ticks) and let go. Spreads and ticks per minute are
// counted as the ticks pass.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "compare/comparison.h"
#include "compare/tick_stream.h"

namespace orv::compare {

class Comparer {
 public:
  explicit Comparer(CompareSettings settings);
  ~Comparer();
  Comparer(const Comparer&) = delete;
  Comparer& operator=(const Comparer&) = delete;

  void add(const Tick& tick);
  // Weighs what is left and returns the pairs both sides have, by name
  // (pairs and sides as the stream saw them; the side summaries are copied in).
  Comparison finish(const std::vector<TickStream::PairSeen>& pairs, const std::array<SideSummary, kSides>& sides);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A price of `digits` decimals written from units of 10^-kFineDigits.
inline constexpr int kFineDigits = 8;
std::string priceText(std::int64_t fine, int digits);

}  // namespace orv::compare
