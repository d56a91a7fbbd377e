#include "core/announced_symbol.h"

#include <algorithm>
#include <initializer_list>

#include "core/protocol.h"

namespace orv {

namespace {

// Appends the letters up to the first zero byte, as "%c" formatting into a
// C string would.
void appendLetters(std::string& text, std::initializer_list<char> letters) {
  for (char c : letters) {
    if (c == '\0') return;
    text.push_back(c);
  }
}

}  // namespace

void AnnouncedSymbol::takeHead(std::uint32_t wParam, std::uint32_t lParam) {
  const char l1 = highLetter(wParam), l2 = lowLetter(wParam);
  const char l3 = highLetter(lParam), l4 = lowLetter(lParam);
  symbol_.clear();
  appendLetters(symbol_, {l1, l2, l3, l4});
  pairText_.clear();
  appendLetters(pairText_, {l1, l2, l3, '/', l4});
}

void AnnouncedSymbol::takeTail(std::uint32_t wParam, std::uint32_t lParam) {
  std::string tail;
  appendLetters(tail, {highLetter(wParam), lowLetter(wParam)});
  tail.resize(std::min(tail.size(), kLongestSymbol - std::min(kLongestSymbol, symbol_.size())));
  symbol_ += tail;
  pairText_ += tail;
  digits_ = static_cast<std::int32_t>(lParam);
}

}  // namespace orv
