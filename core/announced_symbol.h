// The symbol a feeder announced, in two messages: the head carries letters
// 1 to 4, the tail letters 5 and 6 and the number of decimals of the price
// points. Letters are taken as they come, up to a zero byte; a tail without
// a head adds to what is there.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

class AnnouncedSymbol {
 public:
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
