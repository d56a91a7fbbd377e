#include "core/row_format.h"

#include <algorithm>
#include <bit>
#include <chrono>

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

inline unsigned digitAt(const char* p) noexcept { return static_cast<unsigned>(static_cast<unsigned char>(*p) - '0'); }

// Reads a run of decimal digits, at least one, into value (skipping leading
// zeros, and taking no more once there are 18 significant ones), counting
// the significant digits; false when empty or not all digits.
inline bool addDigits(std::string_view s, std::uint64_t& value, std::size_t& significant) noexcept {
  if (s.empty()) return false;
  for (char c : s) {
    const unsigned d = static_cast<unsigned>(static_cast<unsigned char>(c) - '0');
    if (d > 9) return false;
    if (significant > 0 || d != 0) {
      if (++significant <= 18) value = value * 10 + d;
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Writing

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

// ---------------------------------------------------------------------------
// Reading

PriceText readPrice(std::string_view text, Price& out) noexcept {
  std::uint64_t value = 0;
  std::size_t significant = 0;
  const auto read = [&](std::int32_t digits) {
    out.points = value;
    out.digits = digits;
    return significant > 18 ? PriceText::TooManyDigits : PriceText::Ok;
  };
  const std::size_t e = text.find_first_of("eE");
  if (e != std::string_view::npos) {
    // <digits>e<exponent>, the exponent with an optional sign.
    if (!addDigits(text.substr(0, e), value, significant)) return PriceText::NotAPrice;
    std::string_view exp = text.substr(e + 1);
    bool negative = false;
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      negative = exp[0] == '-';
      exp.remove_prefix(1);
    }
    std::uint64_t expValue = 0;
    std::size_t expSignificant = 0;
    // The decimals are the exponent negated, and must fit in 32 bits.
    if (!addDigits(exp, expValue, expSignificant) || expSignificant > 10 ||
        expValue > (negative ? 0x7FFFFFFFu : 0x80000000u))
      return PriceText::NotAPrice;
    return read(static_cast<std::int32_t>(negative ? static_cast<std::int64_t>(expValue) : -static_cast<std::int64_t>(expValue)));
  }
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return addDigits(text, value, significant) ? read(0) : PriceText::NotAPrice;
  const std::string_view fraction = text.substr(dot + 1);
  if (!addDigits(text.substr(0, dot), value, significant) || !addDigits(fraction, value, significant) ||
      fraction.size() > 0x7FFFFFFF)
    return PriceText::NotAPrice;
  return read(static_cast<std::int32_t>(fraction.size()));
}

bool StampReader::readNewSecond(std::string_view t, std::int64_t& ms) noexcept {
  if (t.size() != kStampLength || t[kStampDotAt] != '.') return false;
  const char* p = t.data();
  const unsigned m0 = digitAt(p + kStampMillisAt), m1 = digitAt(p + kStampMillisAt + 1), m2 = digitAt(p + kStampMillisAt + 2);
  if (m0 > 9 || m1 > 9 || m2 > 9) return false;
  const std::int64_t millis = m0 * 100 + m1 * 10 + m2;
  std::uint64_t head[2];
  std::memcpy(head, p, kStampHeadLength);
  if (t[kStampDateLength] != ' ' || t[kStampMinuteAt - 1] != ':' || t[kStampSecondAt - 1] != ':') return false;
  if (!haveDate_ || head[0] != date_) {
    unsigned v[kStampDateLength];
    for (std::size_t i = 0; i < kStampDateLength; ++i) {
      v[i] = digitAt(p + i);
      if (v[i] > 9) return false;
    }
    using namespace std::chrono;
    const year_month_day date{year{static_cast<int>(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3])},
                              month{v[4] * 10 + v[5]}, day{v[6] * 10 + v[7]}};
    if (!date.ok()) return false;
    dayMs_ = static_cast<std::int64_t>(sys_days{date}.time_since_epoch().count()) * 86400000;
    date_ = head[0];
    haveDate_ = true;
  }
  static constexpr std::size_t kAt[6] = {kStampHourAt,   kStampHourAt + 1,   kStampMinuteAt,
                                         kStampMinuteAt + 1, kStampSecondAt, kStampSecondAt + 1};
  unsigned d[6];
  for (int i = 0; i < 6; ++i) {
    d[i] = digitAt(p + kAt[i]);
    if (d[i] > 9) return false;
  }
  const unsigned hour = d[0] * 10 + d[1], minute = d[2] * 10 + d[3], second = d[4] * 10 + d[5];
  if (hour > 23 || minute > 59 || second > 59) return false;
  secondMs_ = dayMs_ + ((hour * 60 + minute) * 60 + second) * 1000;
  second_[0] = head[0], second_[1] = head[1];
  lastSecondDigit_ = p[kStampHeadLength];
  haveSecond_ = true;
  ms = secondMs_ + millis;
  return true;
}

namespace {

// 0x80 in the lowest byte of w that is c, and maybe in bytes above it, 0 in
// the bytes below; 0 when no byte is c.
inline std::uint64_t byteIs(std::uint64_t w, char c) noexcept {
  const std::uint64_t x = w ^ (0x0101010101010101ULL * static_cast<unsigned char>(c));
  return (x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL;
}

// Digits with at most one point between them, from p up to the first other
// byte (before end), p left there; false for no digit, a point first or
// last, more than 18 digits, or no byte after them.
inline bool plainPrice(const char*& p, const char* end, Price& out) noexcept {
  if (end - p >= 8) {
    // A price and the byte after it within eight bytes, read at once: 0x80
    // in each byte that is not a digit.
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t odd = ((w & 0xF0F0F0F0F0F0F0F0ULL) | (((w + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ^
                              0x3333333333333333ULL;
    const std::uint64_t other = (((odd & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | odd) & 0x8080808080808080ULL;
    const int first = std::countr_zero(other) / 8;  // 8: all digits
    if (first >= 1 && first < 8 && p[first] != '.' && swarDigits(w, first, out.points)) {
      out.digits = 0;
      p += first;
      return true;
    }
    const std::uint64_t rest = other & (other - 1);
    const int second = std::countr_zero(rest) / 8;
    if (first >= 1 && first < 8 && second < 8 && second > first + 1) {
      // The point taken out, the digits on either side read as one number.
      const std::uint64_t low = (std::uint64_t{1} << (8 * first)) - 1;
      if (swarDigits((w & low) | ((w >> 8) & ~low), second - 1, out.points)) {
        out.digits = second - first - 1;
        p += second;
        return true;
      }
    }
  }
  const char* const start = p;
  const char* dot = nullptr;
  std::uint64_t value = 0;
  int digits = 0;
  for (; p < end; ++p) {
    const unsigned d = digitAt(p);
    if (d <= 9) {
      value = value * 10 + d;
      ++digits;
    } else if (*p == '.' && dot == nullptr) {
      dot = p;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > 18 || p == end || (dot != nullptr && (dot == start || dot + 1 == p))) return false;
  out.points = value;
  out.digits = dot == nullptr ? 0 : static_cast<std::int32_t>(p - dot - 1);
  return true;
}

// A quoted field's text from just after its opening quote, a doubled quote
// read as one; i ends past the closing quote. False when no quote closes it
// (then all the rest was taken in).
bool readQuotedField(std::string_view s, std::size_t& i, std::string& text) {
  while (i < s.size()) {
    if (s[i] == '"') {
      if (i + 1 < s.size() && s[i + 1] == '"') {
        text += '"';
        i += 2;
        continue;
      }
      ++i;
      return true;
    }
    text += s[i++];
  }
  return false;
}

}  // namespace

bool PlainRowReader::readAny(std::string_view bytes, PlainRow& row) noexcept {
  constexpr std::size_t kMaxPair = 256;
  const char* const start = bytes.data();
  const char* const end = start + bytes.size();
  const char* const pairEnd = start + std::min(bytes.size(), kMaxPair);
  const char* p = start;
  // The pair ends at the first comma, and has no quote or line end: eight
  // bytes looked at at once, for the first of those four.
  while (pairEnd - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t stops = byteIs(w, ',') | byteIs(w, '"') | byteIs(w, '\r') | byteIs(w, '\n');
    if (stops != 0) {
      p += std::countr_zero(stops) / 8;
      break;
    }
    p += 8;
  }
  while (p < pairEnd && *p != ',' && *p != '"' && *p != '\r' && *p != '\n') ++p;
  if (p == start || p == pairEnd || *p != ',') return false;
  row.pair = std::string_view(start, static_cast<std::size_t>(p - start));
  ++p;
  if (end - p < static_cast<std::ptrdiff_t>(kStampLength + 1) || p[kStampLength] != ',') return false;
  row.stamp = std::string_view(p, kStampLength);
  p += kStampLength + 1;
  const char* const bid = p;
  if (!plainPrice(p, end, row.bidPrice) || *p != ',') return false;
  row.bid = std::string_view(bid, static_cast<std::size_t>(p - bid));
  const char* const ask = ++p;
  if (!plainPrice(p, end, row.askPrice)) return false;
  row.ask = std::string_view(ask, static_cast<std::size_t>(p - ask));
  if (*p == '\r' && p + 1 < end && p[1] == '\n') {
    p += 2;
  } else if (*p == '\n') {
    ++p;
  } else {
    return false;
  }
  row.size = static_cast<std::size_t>(p - start);
  row.sameShape = false;
  // The shape of the rows expected next.
  const auto priceShape = [](std::string_view price, const Price& read, int& dot, int& size) {
    dot = static_cast<int>(price.size()) - 1 - read.digits;
    size = static_cast<int>(price.size());
    return read.digits > 0 && size <= 9;
  };
  shape_.pairSize = 0;
  if (row.pair.size() <= 16 && priceShape(row.bid, row.bidPrice, shape_.bidDot, shape_.bidSize) &&
      priceShape(row.ask, row.askPrice, shape_.askDot, shape_.askSize)) {
    char pair[16] = {};
    std::memcpy(pair, row.pair.data(), row.pair.size());
    std::memcpy(shape_.pair, pair, 16);
    std::memset(pair, 0, 16);
    std::memset(pair, 0xFF, row.pair.size());
    std::memcpy(shape_.mask, pair, 16);
    shape_.pairSize = row.pair.size();
    shape_.crLf = row.ask.data()[row.ask.size()] == '\r';
  }
  return true;
}


bool parseStamp(std::string_view text, std::int64_t& ms) noexcept {
  StampReader reader;
  return reader.read(text, ms);
}

bool RowSplitter::split(std::string_view line, RowFields& out) {
  out = RowFields{};
  if (std::memchr(line.data(), '"', line.size()) != nullptr) return splitQuoted(line, out);
  std::string_view* fields[4] = {&out.pair, &out.stamp, &out.bid, &out.ask};
  const char* p = line.data();
  const char* end = p + line.size();
  for (;;) {
    const char* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p)));
    const char* fieldEnd = comma != nullptr ? comma : end;
    if (out.count < 4) *fields[out.count] = std::string_view(p, static_cast<std::size_t>(fieldEnd - p));
    ++out.count;
    if (comma == nullptr) break;
    p = comma + 1;
  }
  return out.count == 4;
}

// The slow way, for a line with a quote in it: RFC 4180 fields, a quoted field
// ending at a quote not doubled, followed by a comma or the line's end.
bool RowSplitter::splitQuoted(std::string_view line, RowFields& out) {
  std::string_view* fields[4] = {&out.pair, &out.stamp, &out.bid, &out.ask};
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    std::string_view field;
    if (i < n && line[i] == '"') {
      std::string& text = unquoted_[out.count < 4 ? out.count : 3];
      text.clear();
      ++i;
      const bool closed = readQuotedField(line, i, text);
      if (!closed || (i < n && line[i] != ',')) out.badQuotes = true;
      field = text;
      while (i < n && line[i] != ',') ++i;  // whatever follows a bad closing quote
    } else {
      const std::size_t start = i;
      while (i < n && line[i] != ',') {
        if (line[i] == '"') out.badQuotes = true;
        ++i;
      }
      field = line.substr(start, i - start);
    }
    if (out.count < 4) *fields[out.count] = field;
    ++out.count;
    if (i >= n) break;
    ++i;  // the comma
  }
  return out.count == 4 && !out.badQuotes;
}

bool namesColumns(std::string_view text) noexcept {
  std::size_t fields = 0;
  for (std::size_t at = 0; at <= text.size(); ++fields) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    std::string_view field = text.substr(at, comma - at);
    if (!field.empty() && field.front() == '"') field.remove_prefix(1);
    const char c = field.empty() ? '\0' : static_cast<char>(field.front() | 0x20);
    if (c < 'a' || c > 'z') return false;
    at = comma + 1;
  }
  return fields >= 2;
}

LineIs LineJudge::judge(std::string_view text, LinePlace place, LineRead& out) {
  out.byteOrderMark = place.first && text.starts_with("\xEF\xBB\xBF");
  if (out.byteOrderMark) text.remove_prefix(3);
  out.text = text;
  if (place.overlong) return LineIs::Overlong;
  const LineIs is = judgeText(text, place.first, out);
  return place.ended || is == LineIs::Row || is == LineIs::Header ? is : LineIs::Cut;
}

LineIs LineJudge::judgeText(std::string_view text, bool firstLine, LineRead& out) {
  if (text.empty()) return LineIs::Empty;
  const bool split = splitter_.split(text, out.fields);
  LineIs is = LineIs::Row;
  if (!split)
    is = out.fields.count != 4 ? LineIs::NotFourFields : LineIs::BadQuotes;
  else if (out.fields.pair.empty())
    is = LineIs::NoPair;
  else if (!stamps_.read(out.fields.stamp, out.ms))
    is = LineIs::BadStamp;
  else if (!parsePrice(out.fields.bid, out.bid))
    is = LineIs::BadBid;
  else if (!parsePrice(out.fields.ask, out.ask))
    is = LineIs::BadAsk;
  if (is != LineIs::Row && firstLine && namesColumns(text)) return LineIs::Header;
  return is;
}

CsvSplitResult splitCsv(std::string_view text) {
  CsvSplitResult result;
  // A byte-order mark some editors add in front.
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  std::size_t i = 0;
  std::size_t line = 1;
  const std::size_t n = text.size();
  // Names the broken record and goes on after the end of the line at `from`.
  auto skip = [&](std::size_t atLine, std::string what, std::size_t from, std::size_t lineAtFrom) {
    if (result.ok) {
      result.ok = false;
      result.errorLine = atLine;
      result.error = what;
    }
    result.problems.push_back({atLine, std::move(what)});
    const std::size_t end = text.find('\n', from);
    i = end == std::string_view::npos ? n : end + 1;
    line = lineAtFrom + 1;
  };

  while (i < n) {
    const std::size_t recordStart = i;
    const std::size_t recordLine = line;
    // Blank line (CR LF or LF on its own).
    if (text[i] == '\n') {
      ++i;
      ++line;
      continue;
    }
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') {
      i += 2;
      ++line;
      continue;
    }

    CsvRecord record;
    record.line = recordLine;
    bool endOfRecord = false, broken = false;
    while (!endOfRecord && !broken) {
      std::string field;
      if (i < n && text[i] == '"') {
        ++i;
        const bool closed = readQuotedField(text, i, field);
        line += static_cast<std::size_t>(std::count(field.begin(), field.end(), '\n'));
        if (!closed) {
          // Everything after the quote was taken in: only its own line is left out.
          skip(recordLine, "quoted field is never closed", recordStart, recordLine);
          broken = true;
          break;
        }
        if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
          skip(line, "unexpected character after a closing quote", i, line);
          broken = true;
          break;
        }
      } else {
        while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
          if (text[i] == '"') {
            skip(line, "quote inside a field that does not start with one", i, line);
            broken = true;
            break;
          }
          field += text[i];
          ++i;
        }
        if (broken) break;
      }
      record.fields.push_back(std::move(field));

      if (i >= n) {
        endOfRecord = true;
      } else if (text[i] == ',') {
        ++i;
      } else if (text[i] == '\n') {
        ++i;
        ++line;
        endOfRecord = true;
      } else if (i + 1 >= n || text[i + 1] != '\n') {  // '\r'
        skip(line, "carriage return not followed by line feed", i, line);
        broken = true;
      } else {
        i += 2;
        ++line;
        endOfRecord = true;
      }
    }
    if (!broken) result.records.push_back(std::move(record));
  }
  return result;
}

std::uint64_t pointsInUnit(const Price& p, std::int32_t unitDigits) noexcept {
  return timesTenTo(p.points, std::int64_t{unitDigits} - p.digits);
}

bool priceInDigits(Price& price, std::int32_t digits) noexcept {
  const std::int64_t tens = std::int64_t{digits} - price.digits;
  if (tens < 0 || tens > 19) return false;  // 10^19 is the most 64 bits hold
  std::uint64_t factor = 1;
  for (std::int64_t i = 0; i < tens; ++i) factor *= 10;
  if (price.points > UINT64_MAX / factor) return false;
  price = {price.points * factor, digits};
  return true;
}

bool PairUnit::takeOther(const Price& bid, const Price& ask) noexcept {
  const std::int32_t rowDigits = std::max(bid.digits, ask.digits);
  const bool plainRow = plainDecimals(bid.digits) && plainDecimals(ask.digits);
  if (!any_) {
    any_ = true;
    digits_ = rowDigits;
  } else if (rowDigits > digits_) {
    Price before[2] = {{bid_, digits_}, {ask_, digits_}};
    if (priceInDigits(before[0], rowDigits) && priceInDigits(before[1], rowDigits)) digits_ = rowDigits;
  }
  Price b = bid, a = ask;
  if (!priceInDigits(b, digits_) || !priceInDigits(a, digits_)) {
    if (!plainRow || plainDecimals(digits_)) return false;
    // A unit only exponent rows could set: this plain row's decimals are the pair's.
    b = bid, a = ask;
    if (!priceInDigits(b, rowDigits) || !priceInDigits(a, rowDigits)) return false;
    digits_ = rowDigits;
    ++restarts_;
  }
  bid_ = b.points;
  ask_ = a.points;
  return true;
}

std::uint64_t timesTenTo(std::uint64_t points, std::int64_t tens) noexcept {
  for (; tens < 0 && points != 0; ++tens) points /= 10;
  for (; tens > 0 && points != 0; --tens) {
    if (points > UINT64_MAX / 10) return UINT64_MAX;
    points *= 10;
  }
  return points;
}

}  // namespace orv
