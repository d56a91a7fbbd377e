// The symbol a feeder announced, in two messages: the head carries letters
// 1 to 4, the tail letters 5 and 6 and the number of decimals of the price
// points. Letters are taken as they come, up to a zero byte; a tail without
// a head adds to what is there, up to kLongestSymbol letters: a feeder that
// sends tails without end would otherwise make every tick's texts, label and
// row longer without end, and a row a crash cuts off longer than a restart
// takes off (RecordingFile::kLongestCutRow).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

class AnnouncedSymbol {
 public:
  // Far beyond a real symbol's six letters; letters past it are dropped.
  static constexpr std::size_t kLongestSymbol = 16 * 1024;

  void takeHead(std::uint32_t wParam, std::uint32_t lParam);
  void takeTail(std::uint32_t wParam, std::uint32_t lParam);

  const std::string& symbol() const noexcept { return symbol_; }      // "EURUSD"
  const std::string& pairText() const noexcept { return pairText_; }  // "EUR/USD", as the rows show it
  std::int32_t digits() const noexcept { return digits_; }            // decimals of the price points

 private:
  std::string symbol_ = "XXXYYY";
  std::string pairText_ = "XXX/YYY";
  std::int32_t digits_ = 4;
};

}  // namespace orv
