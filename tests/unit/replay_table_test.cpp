// Checks the recorded quote table as it is compiled into the program.
#include "core/replay_table.h"

#include <gtest/gtest.h>

#include "core/replay.h"
#include "tests/unit/replay_table_facts.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using orv::kReplayTickCount;
using orv::ReplayTick;
using orv::replayTick;
using orv::replayTickAskBits;
using orv::replayTickBidBits;

// Five-decimal price (in units of 0.00001) whose nearest binary32 is exactly `bits`,
// or nothing if `bits` is not such a value. Only [1, 2) is expected here, where the
// value is m * 2^-23 with m in [2^23, 2^24); the test |m/2^23 - p/10^5| < 2^-24 is
// done in integers: |2*m*10^5 - p*2^24| < 10^5.
std::optional<std::int64_t> fiveDecimalPoints(std::uint32_t bits) {
  if ((bits >> 23) != 0x7F) return std::nullopt;
  const std::int64_t m = (bits & 0x7FFFFF) | 0x800000;
  const std::int64_t p = (m * 100000 + (std::int64_t{1} << 22)) >> 23;
  if (std::llabs(2 * m * 100000 - p * (std::int64_t{1} << 24)) >= 100000) return std::nullopt;
  return p;
}

struct Points {
  std::vector<std::int64_t> bid, ask;
};

// The whole table in integer points; fails the calling test if a value is not a
// five-decimal price.
Points tablePoints() {
  Points pts;
  pts.bid.reserve(kReplayTickCount);
  pts.ask.reserve(kReplayTickCount);
  int bad = 0;
  for (int row = 0; row < kReplayTickCount; ++row) {
    const auto bid = fiveDecimalPoints(replayTickBidBits(row));
    const auto ask = fiveDecimalPoints(replayTickAskBits(row));
    if (!bid || !ask) {
      if (++bad <= 5) ADD_FAILURE() << "row " << row << " holds a value that is no five-decimal price";
      pts.bid.push_back(-1);
      pts.ask.push_back(-1);
      continue;
    }
    pts.bid.push_back(*bid);
    pts.ask.push_back(*ask);
  }
  EXPECT_EQ(bad, 0);
  return pts;
}

std::array<std::uint8_t, 8> rowBytes(int row) {
  std::array<std::uint8_t, 8> out{};
  const std::uint32_t words[2] = {replayTickBidBits(row), replayTickAskBits(row)};
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 4; ++i) out[4 * w + i] = static_cast<std::uint8_t>(words[w] >> (8 * i));
  return out;
}

struct Extreme {
  std::int64_t value;
  std::ptrdiff_t firstRow;
};

Extreme lowest(const std::vector<std::int64_t>& v) {
  const auto it = std::min_element(v.begin(), v.end());  // first of equal minima
  return {*it, it - v.begin()};
}

Extreme highest(const std::vector<std::int64_t>& v) {
  const auto it = std::max_element(v.begin(), v.end());  // first of equal maxima
  return {*it, it - v.begin()};
}

TEST(ReplayTable, LayoutAndStoredBytes) {
  EXPECT_EQ(kReplayTickCount, 88369);
  EXPECT_EQ(std::size(orv::detail::kReplayTickWords), 2u * 88369u);
  // Little-endian binary32, bid then ask.
  EXPECT_EQ(rowBytes(0), (std::array<std::uint8_t, 8>{0x98, 0x6E, 0x8A, 0x3F, 0xD6, 0x73, 0x8A, 0x3F}));
  EXPECT_EQ(rowBytes(kReplayTickCount - 1),
            (std::array<std::uint8_t, 8>{0x52, 0x2C, 0x8B, 0x3F, 0xCF, 0x49, 0x8B, 0x3F}));
  // The accessor hands out exactly those bits as floats.
  for (int row : {0, 3, 44184, kReplayTickCount - 1}) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(replayTick(row).bid), replayTickBidBits(row)) << row;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(replayTick(row).ask), replayTickAskBits(row)) << row;
  }
  EXPECT_EQ(replayTick(3).ask, 1.0815999507904052734375f);
  EXPECT_EQ(static_cast<double>(replayTick(3).ask), 1.0815999507904052734375);
}

TEST(ReplayTable, PricesAndFixedRows) {
  const Points pts = tablePoints();
  struct Fixed {
    int row;
    std::int64_t bid, ask;
  };
  const Fixed fixed[] = {{0, 108150, 108166},     {1, 108150, 108165},     {2, 108150, 108163},
                         {3, 108150, 108160},     {4, 108150, 108159},     {10, 108150, 108150},
                         {11, 108132, 108148},    {44184, 108611, 108620}, {88367, 108729, 108819},
                         {88368, 108729, 108819}};
  for (const auto& f : fixed) {
    EXPECT_EQ(pts.bid[f.row], f.bid) << "row " << f.row;
    EXPECT_EQ(pts.ask[f.row], f.ask) << "row " << f.row;
  }
}

TEST(ReplayTable, QuoteShape) {
  const Points pts = tablePoints();
  int firstEqual = -1, equalRows = 0, repeats = 0, badOrder = 0;
  std::int64_t widest = 0;
  for (int row = 0; row < kReplayTickCount; ++row) {
    const std::int64_t spread = pts.ask[row] - pts.bid[row];
    if (spread < 0 && ++badOrder <= 5) ADD_FAILURE() << "ask below bid at row " << row;
    widest = std::max(widest, spread);
    const ReplayTick t = replayTick(row);
    if (t.ask == t.bid) {
      ++equalRows;
      if (firstEqual < 0) firstEqual = row;
    }
    if (row > 0 && t.bid == replayTick(row - 1).bid && t.ask == replayTick(row - 1).ask) ++repeats;
  }
  EXPECT_EQ(badOrder, 0);
  EXPECT_EQ(firstEqual, 10);
  EXPECT_GT(equalRows, 0);
  EXPECT_LE(widest, 90);
  EXPECT_EQ(repeats, 4743);

  const Extreme bidLow = lowest(pts.bid), bidHigh = highest(pts.bid);
  const Extreme askLow = lowest(pts.ask), askHigh = highest(pts.ask);
  EXPECT_EQ(bidLow.value, 107842);
  EXPECT_EQ(bidLow.firstRow, 24245);
  EXPECT_EQ(bidHigh.value, 108972);
  EXPECT_EQ(bidHigh.firstRow, 75533);
  EXPECT_EQ(askLow.value, 107851);
  EXPECT_EQ(askLow.firstRow, 24272);
  EXPECT_EQ(askHigh.value, 108993);
  EXPECT_EQ(askHigh.firstRow, 74267);
}

// The points the replay sends at Digits 4, against the generator's list.
TEST(ReplayTable, DigitsFourPoints) {
  using namespace orv::test;
  const auto digits4Points = [](float v) { return orv::replayPoints(v, 4); };
  for (const DigitsFourRow r : kDigitsFourRows) {
    EXPECT_EQ(digits4Points(replayTick(r.row).ask), r.ask) << "row " << r.row;
    EXPECT_EQ(digits4Points(replayTick(r.row).bid), r.bid) << "row " << r.row;
  }
  std::uint32_t bidMin = UINT32_MAX, bidMax = 0, askMin = UINT32_MAX, askMax = 0;
  int badGap = 0;
  for (int row = 0; row < kReplayTickCount; ++row) {
    const std::uint32_t bid = digits4Points(replayTick(row).bid);
    const std::uint32_t ask = digits4Points(replayTick(row).ask);
    bidMin = std::min(bidMin, bid);
    bidMax = std::max(bidMax, bid);
    askMin = std::min(askMin, ask);
    askMax = std::max(askMax, ask);
    if ((ask < bid || ask - bid > kDigitsFourMaxGap) && ++badGap <= 5)
      ADD_FAILURE() << "row " << row << ": ask " << ask << " bid " << bid;
  }
  EXPECT_EQ(badGap, 0);
  EXPECT_EQ(bidMin, kDigitsFourBidMin);
  EXPECT_EQ(bidMax, kDigitsFourBidMax);
  EXPECT_EQ(askMin, kDigitsFourAskMin);
  EXPECT_EQ(askMax, kDigitsFourAskMax);
}

}  // namespace
