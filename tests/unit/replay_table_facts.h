// What data/gen_replay_table.py lists about the built-in table at Digits 4 (and
// checks before it writes the table): rows with their points, the range of
// each price, the widest gap between ask and bid. Tests check what the
// program sends against these, not against a conversion of their own.
#pragma once

#include <cstdint>

namespace orv::test {

struct DigitsFourRow {
  int row;
  std::uint32_t ask, bid;
};
inline constexpr DigitsFourRow kDigitsFourRows[] = {
    {0, 10816, 10815}, {3, 10815, 10815}, {10, 10815, 10815}, {44184, 10861, 10861}, {88368, 10881, 10872}};
inline constexpr std::uint32_t kDigitsFourBidMin = 10784, kDigitsFourBidMax = 10897;
inline constexpr std::uint32_t kDigitsFourAskMin = 10785, kDigitsFourAskMax = 10899;
inline constexpr std::uint32_t kDigitsFourMaxGap = 9;

}  // namespace orv::test
