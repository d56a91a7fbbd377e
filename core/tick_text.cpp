#include "core/tick_text.h"

#include <cstring>

namespace orv {

namespace {

// Decimal digits of v, most significant first; returns the count (1..10).
int toDigits(std::uint32_t v, char* out) noexcept {
  char tmp[10];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

bool needsQuoting(std::string_view field) noexcept {
  return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

}  // namespace

void appendDate(TextBuffer& out, const WallTime& t, std::string_view separator) {
  out.appendNumber(t.year, 4);
  out.append(separator);
  out.appendNumber(t.month, 2);
  out.append(separator);
  out.appendNumber(t.day, 2);
}

void appendTimeOfDay(TextBuffer& out, const WallTime& t) {
  out.appendNumber(t.hour, 2);
  out.append(':');
  out.appendNumber(t.minute, 2);
  out.append(':');
  out.appendNumber(t.second, 2);
  out.append('.');
  out.appendNumber(t.millisecond, 3);
}

void appendCompactTime(TextBuffer& out, const WallTime& t) {
  out.appendNumber(t.hour, 2);
  out.appendNumber(t.minute, 2);
  out.appendNumber(t.second, 2);
}

std::size_t formatPrice(char* out, std::uint32_t points, std::int32_t digits) noexcept {
  char d[10];
  const int n = toDigits(points, d);
  if (digits < 0 || digits > 38) {
    // Exact in scientific form: points, then "e" and the negated digits.
    std::memcpy(out, d, static_cast<std::size_t>(n));
    std::size_t len = static_cast<std::size_t>(n);
    out[len++] = 'e';
    const std::int64_t exponent = -static_cast<std::int64_t>(digits);
    std::uint32_t magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
    if (exponent < 0) out[len++] = '-';
    len += static_cast<std::size_t>(toDigits(magnitude, out + len));
    return len;
  }
  // The digits, zero-padded on the left to digits + 1, a point before the last `digits`.
  const int total = n > digits ? n : digits + 1;
  const int intLen = total - digits;
  std::size_t len = 0;
  for (int i = 0; i < total; ++i) {
    if (i == intLen) out[len++] = '.';
    const int fromEnd = total - i;  // 1 = last digit
    out[len++] = fromEnd <= n ? d[n - fromEnd] : '0';
  }
  return len;
}

char* TextBuffer::reserve(std::size_t n) {
  if (!onHeap() && size_ + n <= kFixed - 1) {
    char* p = fixed_ + size_;
    size_ += n;
    return p;
  }
  if (!onHeap()) {
    heap_.assign(fixed_, size_);
    size_ = kFixed;  // marks the text as living on the heap from now on
  }
  const std::size_t old = heap_.size();
  heap_.resize(old + n);
  return heap_.data() + old;
}

void TextBuffer::append(std::string_view s) {
  if (s.empty()) return;
  std::memcpy(reserve(s.size()), s.data(), s.size());
}

void TextBuffer::appendNumber(std::uint32_t value, int width) {
  char d[10];
  const int n = toDigits(value, d);
  const int pad = width > n ? width - n : 0;
  char* p = reserve(static_cast<std::size_t>(pad + n));
  for (int i = 0; i < pad; ++i) *p++ = '0';
  std::memcpy(p, d, static_cast<std::size_t>(n));
}

void TextBuffer::appendPrice(std::uint32_t points, std::int32_t digits) {
  char p[kMaxPriceText];
  append(std::string_view(p, formatPrice(p, points, digits)));
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

void buildCsvRow(TextBuffer& out, std::string_view symbolPair, const WallTime& t, std::int32_t digits,
                 std::uint32_t bidPoints, std::uint32_t askPoints) {
  out.clear();
  if (needsQuoting(symbolPair)) {
    out.append('"');
    for (char c : symbolPair) {
      if (c == '"') out.append('"');
      out.append(c);
    }
    out.append('"');
  } else {
    out.append(symbolPair);
  }
  out.append(',');
  appendDate(out, t);
  out.append(' ');
  appendTimeOfDay(out, t);
  out.append(',');
  out.appendPrice(bidPoints, digits);
  out.append(',');
  out.appendPrice(askPoints, digits);
}

std::string proposedFileName(std::string_view symbol, const WallTime& t) {
  TextBuffer b;
  b.append(symbol);
  b.append('-');
  appendDate(b, t);
  b.append('-');
  appendCompactTime(b, t);
  std::string name(b.view());
  makeOrdinaryFileName(name);
  return name;
}

void replaceForbiddenFileNameCharacters(std::string& name) {
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || std::strchr("<>:\"/\\|?*", c) != nullptr) c = '_';
  }
}

namespace {

bool isDeviceName(std::string_view base) {
  std::string upper;
  for (char c : base) upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (upper == device) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
         upper[3] <= '9';
}

}  // namespace

void makeOrdinaryFileName(std::string& name) {
  replaceForbiddenFileNameCharacters(name);
  if (name.empty()) name = "_";
  for (std::size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) name[i - 1] = '_';
  if (isDeviceName(std::string_view(name).substr(0, name.find('.')))) name.insert(0, "_");
}

}  // namespace orv
