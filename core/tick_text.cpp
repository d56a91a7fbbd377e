#include "core/tick_text.h"

#include <cstring>

namespace orv {

void appendCompactTime(TextBuffer& out, const WallTime& t) {
  out.appendNumber(t.hour, 2);
  out.appendNumber(t.minute, 2);
  out.appendNumber(t.second, 2);
}

void buildDisplayLine(TextBuffer& out, const WallTime& t, std::string_view symbol, std::int32_t digits,
                      std::uint32_t bidPoints, std::uint32_t askPoints) {
  out.clear();
  appendTimeOfDay(out, t);
  out.append(' ');
  out.append(symbol);
  out.append(" bid ");
  out.appendPrice(bidPoints, digits);
  out.append(" ask ");
  out.appendPrice(askPoints, digits);
}

std::string proposedFileName(std::string_view symbol, const WallTime& t) {
  std::string named(symbol);
  shortenLongName(named, symbol);
  TextBuffer b;
  b.append(named);
  b.append('-');
  appendDate(b, t);
  b.append('-');
  appendCompactTime(b, t);
  std::string name(b.view());
  makeOrdinaryFileName(name);
  return name;
}

}  // namespace orv
