#include "check/row_parse.h"

#include <chrono>
#include <cstring>

namespace orv::check {

namespace {

inline unsigned digitAt(const char* p) noexcept { return static_cast<unsigned>(static_cast<unsigned char>(*p) - '0'); }

// Reads a run of decimal digits into value (skipping leading zeros); false when
// empty, not all digits, or more than 18 significant digits.
inline bool addDigits(std::string_view s, std::uint64_t& value, int& significant) noexcept {
  if (s.empty()) return false;
  for (char c : s) {
    const unsigned d = static_cast<unsigned>(static_cast<unsigned char>(c) - '0');
    if (d > 9) return false;
    if (significant > 0 || d != 0) {
      if (++significant > 18) return false;
      value = value * 10 + d;
    }
  }
  return true;
}

}  // namespace

bool parsePrice(std::string_view text, Price& out) noexcept {
  std::uint64_t value = 0;
  int significant = 0;
  const std::size_t e = text.find_first_of("eE");
  if (e != std::string_view::npos) {
    // <digits>e<exponent>, the exponent with an optional sign.
    if (!addDigits(text.substr(0, e), value, significant)) return false;
    std::string_view exp = text.substr(e + 1);
    bool negative = false;
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      negative = exp[0] == '-';
      exp.remove_prefix(1);
    }
    std::uint64_t expValue = 0;
    int expSignificant = 0;
    // The decimals are the exponent negated, and must fit in 32 bits.
    if (!addDigits(exp, expValue, expSignificant) || expValue > (negative ? 0x7FFFFFFFu : 0x80000000u)) return false;
    out.points = value;
    out.digits = static_cast<std::int32_t>(negative ? static_cast<std::int64_t>(expValue) : -static_cast<std::int64_t>(expValue));
    return true;
  }
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) {
    if (!addDigits(text, value, significant)) return false;
    out.points = value;
    out.digits = 0;
    return true;
  }
  const std::string_view fraction = text.substr(dot + 1);
  if (!addDigits(text.substr(0, dot), value, significant) || !addDigits(fraction, value, significant)) return false;
  if (fraction.size() > 0x7FFFFFFF) return false;
  out.points = value;
  out.digits = static_cast<std::int32_t>(fraction.size());
  return true;
}

bool StampReader::readNewSecond(std::string_view t, std::int64_t& ms) noexcept {
  if (t.size() != 21 || t[17] != '.') return false;
  const char* p = t.data();
  const unsigned m0 = digitAt(p + 18), m1 = digitAt(p + 19), m2 = digitAt(p + 20);
  if (m0 > 9 || m1 > 9 || m2 > 9) return false;
  const std::int64_t millis = m0 * 100 + m1 * 10 + m2;
  std::uint64_t head[2];
  std::memcpy(head, p, 16);
  if (t[8] != ' ' || t[11] != ':' || t[14] != ':') return false;
  if (!haveDate_ || head[0] != date_) {
    unsigned v[8];
    for (int i = 0; i < 8; ++i) {
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
  static constexpr int kAt[6] = {9, 10, 12, 13, 15, 16};
  unsigned d[6];
  for (int i = 0; i < 6; ++i) {
    d[i] = digitAt(p + kAt[i]);
    if (d[i] > 9) return false;
  }
  const unsigned hour = d[0] * 10 + d[1], minute = d[2] * 10 + d[3], second = d[4] * 10 + d[5];
  if (hour > 23 || minute > 59 || second > 59) return false;
  secondMs_ = dayMs_ + ((hour * 60 + minute) * 60 + second) * 1000;
  second_[0] = head[0], second_[1] = head[1];
  lastSecondDigit_ = p[16];
  haveSecond_ = true;
  ms = secondMs_ + millis;
  return true;
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
      bool closed = false;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            text += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        text += line[i++];
      }
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

}  // namespace orv::check
