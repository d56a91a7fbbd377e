#include "report/texts.h"

#include <chrono>
#include <cstdio>

namespace orv::report {

namespace {

// Windows-1252's 0x80..0x9F; 0 where it has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendEscaped(std::string& out, unsigned char byte) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", byte);
  out += buf;
}

// The length of a valid UTF-8 sequence at s[i] (2 to 4), or 0.
std::size_t utf8Length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char lead = b(0);
  const std::size_t n = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((b(k) & 0xC0) != 0x80) return 0;
  // No overlong forms, surrogates or code points above U+10FFFF.
  if ((lead == 0xE0 && b(1) < 0xA0) || (lead == 0xED && b(1) >= 0xA0) || (lead == 0xF0 && b(1) < 0x90) ||
      (lead == 0xF4 && b(1) >= 0x90))
    return 0;
  return n;
}

}  // namespace

std::string readable(std::string_view bytes, std::size_t maxBytes) {
  std::string out;
  const bool cut = bytes.size() > maxBytes;
  if (cut) bytes = bytes.substr(0, maxBytes);
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F)
        appendEscaped(out, c);
      else
        out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = utf8Length(bytes, i); n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      const char32_t w = c >= 0xA0 ? c : kCp1252High[c - 0x80];
      if (w == 0)
        appendEscaped(out, c);
      else
        appendUtf8(out, w);
      ++i;
    }
  }
  if (cut) out += "...";
  return out;
}

std::string quoted(std::string_view bytes, std::size_t maxBytes) {
  std::string out(1, '\'');
  out += readable(bytes, maxBytes);
  return out += '\'';
}

std::string durationText(std::int64_t ms) {
  char buf[64];
  const std::int64_t total = ms < 0 ? -ms : ms;
  const long long days = total / kMsPerDay, hours = total / 3600000 % 24, minutes = total / 60000 % 60;
  const long long seconds = total / 1000 % 60, millis = total % 1000;
  if (days > 0)
    std::snprintf(buf, sizeof buf, "%lld d %02lld h %02lld min", days, hours, minutes);
  else if (hours > 0)
    std::snprintf(buf, sizeof buf, "%lld h %02lld min %02lld.%03lld s", hours, minutes, seconds, millis);
  else if (minutes > 0)
    std::snprintf(buf, sizeof buf, "%lld min %02lld.%03lld s", minutes, seconds, millis);
  else
    std::snprintf(buf, sizeof buf, "%lld.%03lld s", seconds, millis);
  return buf;
}

std::string secondsText(std::int64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%lld.%03lld", ms < 0 ? "-" : "", static_cast<long long>((ms < 0 ? -ms : ms) / 1000),
                static_cast<long long>((ms < 0 ? -ms : ms) % 1000));
  return buf;
}

std::string shortSecondsText(std::int64_t ms) {
  std::string s = secondsText(ms);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s + " s";
}

namespace {

// The date and time of day of ms, formatted with the separators given.
std::string clockText(std::int64_t ms, const char* format) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{floorDiv(ms, kMsPerDay)}}};
  const std::int64_t inDay = floorMod(ms, kMsPerDay);
  char buf[48];
  std::snprintf(buf, sizeof buf, format, static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<long long>(inDay / 3600000),
                static_cast<long long>(inDay / 60000 % 60), static_cast<long long>(inDay / 1000 % 60),
                static_cast<long long>(inDay % 1000));
  return buf;
}

}  // namespace

std::string dateTimeText(std::int64_t ms) { return clockText(ms, "%04d-%02u-%02u %02lld:%02lld:%02lld"); }

std::string stampText(std::int64_t ms) { return clockText(ms, "%04d%02u%02u %02lld:%02lld:%02lld.%03lld"); }

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace orv::report
