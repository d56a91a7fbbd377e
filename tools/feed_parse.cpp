#include "tools/feed_parse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "core/option_reader.h"
#include "core/protocol.h"

namespace orv::tools {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!isDigit(c)) return false;
  }
  return true;
}

// A run of decimal digits -> value, when it fits in 32 bits unsigned.
std::optional<std::uint32_t> digitsToU32(std::string_view digits) {
  std::size_t i = 0;
  while (i + 1 < digits.size() && digits[i] == '0') ++i;  // leading zeros
  digits.remove_prefix(i);
  if (digits.size() > 10) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : digits) v = v * 10 + static_cast<std::uint64_t>(c - '0');
  if (v > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

std::string decimalsText(std::int64_t n) { return std::to_string(n) + " decimal" + (n == 1 ? "" : "s"); }

// What a price written with `digits` looks like, for error messages.
std::string expectedForm(std::int32_t digits, bool exponentForm) {
  const std::int64_t exp = -static_cast<std::int64_t>(digits);
  if (exponentForm) return "exponent " + std::to_string(exp);
  if (digits >= 0) return decimalsText(digits);
  return "the form <points>e" + std::to_string(exp);
}

// Splits "108150e-45" into mantissa and exponent text; false when no 'e'.
bool splitExponent(std::string_view text, std::string_view& mantissa, std::string_view& exponent) {
  const std::size_t e = text.find_first_of("eE");
  if (e == std::string_view::npos) return false;
  mantissa = text.substr(0, e);
  exponent = text.substr(e + 1);
  return true;
}

std::optional<std::int64_t> parseExponent(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (!allDigits(text)) return std::nullopt;
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  if (text.size() > 12) return std::nullopt;  // far beyond any 32-bit Digits
  std::int64_t v = 0;
  for (char c : text) v = v * 10 + (c - '0');
  return negative ? -v : v;
}

}  // namespace

// ---------------------------------------------------------------------------

std::optional<std::int32_t> digitsOfPriceText(std::string_view text) {
  std::string_view mantissa, exponent;
  if (splitExponent(text, mantissa, exponent)) {
    if (!allDigits(mantissa)) return std::nullopt;
    const auto exp = parseExponent(exponent);
    if (!exp) return std::nullopt;
    const std::int64_t d = -*exp;
    if (d < std::numeric_limits<std::int32_t>::min() || d > std::numeric_limits<std::int32_t>::max())
      return std::nullopt;
    return static_cast<std::int32_t>(d);
  }
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) {
    if (!allDigits(text)) return std::nullopt;
    return 0;
  }
  const std::string_view whole = text.substr(0, dot);
  const std::string_view frac = text.substr(dot + 1);
  if (!allDigits(whole) || !allDigits(frac)) return std::nullopt;
  if (frac.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  return static_cast<std::int32_t>(frac.size());
}

std::optional<std::uint32_t> priceToPoints(std::string_view text, std::int32_t digits, std::string& error) {
  if (text.empty()) {
    error = "empty price";
    return std::nullopt;
  }
  const auto written = digitsOfPriceText(text);
  if (!written) {
    error = "price " + quotedText(text) + " is not a number of the form 1.08150 or 108150e-5";
    return std::nullopt;
  }
  if (*written != digits) {
    std::string_view mantissa, exponent;
    const bool expForm = splitExponent(text, mantissa, exponent);
    error = "price " + quotedText(text) + " has " +
            (expForm ? "exponent " + std::string(exponent) : decimalsText(*written)) + ", expected " +
            expectedForm(digits, expForm);
    return std::nullopt;
  }
  std::string all;
  std::string_view mantissa, exponent;
  if (splitExponent(text, mantissa, exponent)) {
    all.assign(mantissa);
  } else {
    for (char c : text) {
      if (c != '.') all += c;
    }
  }
  const auto points = digitsToU32(all);
  if (!points) {
    error = "price " + quotedText(text) + " is out of range (more than 4294967295 points)";
    return std::nullopt;
  }
  return points;
}

// ---------------------------------------------------------------------------

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
        bool closed = false;
        while (i < n) {
          const char c = text[i];
          if (c == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            closed = true;
            break;
          }
          if (c == '\n') ++line;
          field += c;
          ++i;
        }
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

namespace {

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  // Days since 0000-03-01 in the proleptic Gregorian calendar.
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe);
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

int num(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

std::optional<std::int64_t> parseTimestampMs(std::string_view t) {
  // YYYYMMDD HH:MM:SS.mmm
  if (t.size() != 21) return std::nullopt;
  if (t[8] != ' ' || t[11] != ':' || t[14] != ':' || t[17] != '.') return std::nullopt;
  const std::string_view yyyy = t.substr(0, 4), mo = t.substr(4, 2), dd = t.substr(6, 2), hh = t.substr(9, 2),
                         mi = t.substr(12, 2), ss = t.substr(15, 2), ms = t.substr(18, 3);
  for (std::string_view part : {yyyy, mo, dd, hh, mi, ss, ms}) {
    if (!allDigits(part)) return std::nullopt;
  }
  const int year = num(yyyy), month = num(mo), day = num(dd);
  const int hour = num(hh), minute = num(mi), second = num(ss), milli = num(ms);
  if (month < 1 || month > 12) return std::nullopt;
  if (day < 1 || day > daysInMonth(year, month)) return std::nullopt;
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return ((days * 24 + hour) * 60 + minute) * 60000LL + second * 1000LL + milli;
}

bool isValidSymbol(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 6) return false;
  for (char c : symbol) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F) return false;
  }
  return true;
}

std::optional<std::string> symbolFromPair(std::string_view pair) {
  std::string s;
  for (char c : pair) {
    if (c != '/') s += c;
  }
  if (!isValidSymbol(s)) return std::nullopt;
  return s;
}

namespace {

bool hasFourFields(const CsvRecord& record) { return record.fields.size() == 4; }

std::string fieldCountText(const CsvRecord& record) {
  return "expected 4 fields (pair,time,bid,ask), found " + std::to_string(record.fields.size());
}

// The row a recording's Digits are read from: the first with four fields whose
// bid and ask are written with the same Digits; failing that, the first with
// four fields and a bid that is a price. nullptr when there is none.
const CsvRecord* digitsRow(const std::vector<CsvRecord>& records) {
  for (const CsvRecord& rec : records)
    if (hasFourFields(rec)) {
      const auto bid = digitsOfPriceText(rec.fields[2]);
      if (bid && bid == digitsOfPriceText(rec.fields[3])) return &rec;
    }
  for (const CsvRecord& rec : records)
    if (hasFourFields(rec) && digitsOfPriceText(rec.fields[2])) return &rec;
  return nullptr;
}

}  // namespace

FeedFile parseFeedFile(std::string_view content, std::optional<std::int32_t> digits) {
  FeedFile out;
  CsvSplitResult csv = splitCsv(content);
  std::vector<LineProblem>& bad = out.badRows;
  bad = std::move(csv.problems);

  std::size_t digitsLine = 0;  // 0: given on the command line
  if (digits) {
    out.digits = *digits;
  } else if (const CsvRecord* first = digitsRow(csv.records)) {
    out.digits = *digitsOfPriceText(first->fields[2]);
    digitsLine = first->line;
  }
  const std::string digitsSource = digitsLine == 0
                                       ? " (--digits " + std::to_string(out.digits) + ")"
                                       : " (as the first row, line " + std::to_string(digitsLine) + ")";

  out.rows.reserve(csv.records.size());
  std::size_t pairLine = 0;
  // Why the record cannot be sent; "" when it can (then `row` holds it).
  auto check = [&](const CsvRecord& rec, TickRow& row) -> std::string {
    if (!hasFourFields(rec)) return fieldCountText(rec);
    const std::string& pair = rec.fields[0];
    if (pair.empty()) return "empty pair";
    if (pairLine != 0 && pair != out.pair)
      return "pair " + quotedText(pair) + " differs from " + quotedText(out.pair) + " on line " +
             std::to_string(pairLine) + "; a recording must hold a single pair";
    if (!digits && digitsLine == 0) return "bid " + quotedText(rec.fields[2]) + " is not a price";
    row.line = rec.line;
    const auto t = parseTimestampMs(rec.fields[1]);
    if (!t) return "time " + quotedText(rec.fields[1]) + " is not of the form YYYYMMDD HH:MM:SS.mmm";
    row.timeMs = *t;
    std::string err;
    // A price written with other Digits also says where the expected Digits came from.
    auto priceError = [&](const char* which, const std::string& text) {
      const auto written = digitsOfPriceText(text);
      const bool otherDigits = written && *written != out.digits;
      return std::string(which) + ": " + err + (otherDigits ? digitsSource : std::string());
    };
    const auto bid = priceToPoints(rec.fields[2], out.digits, err);
    if (!bid) return priceError("bid", rec.fields[2]);
    const auto ask = priceToPoints(rec.fields[3], out.digits, err);
    if (!ask) return priceError("ask", rec.fields[3]);
    row.bid = *bid;
    row.ask = *ask;
    if (pairLine == 0) {
      out.pair = pair;
      pairLine = rec.line;
    }
    return std::string();
  };
  for (const CsvRecord& rec : csv.records) {
    TickRow row;
    std::string why = check(rec, row);
    if (why.empty())
      out.rows.push_back(row);
    else
      bad.push_back({rec.line, std::move(why)});
  }
  std::stable_sort(bad.begin(), bad.end(),
                   [](const LineProblem& a, const LineProblem& b) { return a.line < b.line; });

  out.ok = !out.rows.empty();
  if (!out.ok) {
    if (bad.empty()) {
      out.error = "the file holds no ticks";
    } else {
      out.errorLine = bad.front().line;
      out.error = bad.front().what;
    }
  }
  return out;
}

std::vector<std::string> badRowsReport(std::string_view file, const FeedFile& feed, std::size_t listed) {
  std::vector<std::string> lines;
  const std::size_t bad = feed.badRows.size();
  if (bad == 0) return lines;
  lines.push_back(std::string(file) + ": " + std::to_string(bad) + " of " + std::to_string(bad + feed.rows.size()) +
                  " rows " + (bad == 1 ? "is" : "are") + " bad and left out:");
  for (std::size_t i = 0; i < bad && i < listed; ++i)
    lines.push_back("  line " + std::to_string(feed.badRows[i].line) + ": " + feed.badRows[i].what);
  if (bad > listed) lines.push_back("  ... and " + std::to_string(bad - listed) + " more");
  return lines;
}

std::vector<std::int64_t> replayOffsetsMs(const std::vector<TickRow>& rows) {
  std::vector<std::int64_t> offsets;
  offsets.reserve(rows.size());
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) {
      const std::int64_t step = rows[i].timeMs - rows[i - 1].timeMs;
      if (step > 0) offset += step;
    }
    offsets.push_back(offset);
  }
  return offsets;
}

// ---------------------------------------------------------------------------

SyntheticWalk::SyntheticWalk(std::uint64_t seed, std::int32_t digits)
    : state_(seed), scale_(std::pow(10.0, digits)), mid_(1.08) {}

double SyntheticWalk::uniform01() {
  // splitmix64: the same sequence for a seed on every compiler and platform.
  state_ += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
}

Quote SyntheticWalk::next() {
  // Small steps of up to 0.2 pip, pulled gently back toward 1.08; spread 0.8-1.8 pips.
  const double step = (uniform01() * 2.0 - 1.0) * 0.00002;
  mid_ += step + 0.002 * (1.08 - mid_);
  const double spread = 0.00008 + 0.00010 * uniform01();
  const double maxPoints = static_cast<double>(std::numeric_limits<std::uint32_t>::max());
  auto toPoints = [&](double price) {
    double p = std::floor(price * scale_ + 0.5);
    if (p < 0) p = 0;
    if (p > maxPoints) p = maxPoints;
    return static_cast<std::uint32_t>(p);
  };
  Quote q;
  q.bid = toPoints(mid_ - spread / 2);
  q.ask = toPoints(mid_ + spread / 2);
  if (q.ask < q.bid) q.ask = q.bid;
  return q;
}

// ---------------------------------------------------------------------------

namespace {

template <typename T>
bool parseInteger(const std::string& name, const std::string& text, T minValue, T maxValue, T& out,
                  std::string& error) {
  T v{};
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const bool plainDigits = !text.empty() && (isDigit(text[0]) || (text[0] == '-' && text.size() > 1));
  const auto r = std::from_chars(first, last, v);
  if (!plainDigits || r.ec != std::errc() || r.ptr != last) {
    error = "invalid value " + quotedText(text) + " for " + name + ": not a whole number";
    if (r.ec == std::errc::result_out_of_range)
      error = "invalid value " + quotedText(text) + " for " + name + ": out of range";
    return false;
  }
  if (v < minValue || v > maxValue) {
    error = "invalid value " + quotedText(text) + " for " + name + ": must be between " +
            std::to_string(minValue) + " and " + std::to_string(maxValue);
    return false;
  }
  out = v;
  return true;
}

// A positive finite number such as "10", "0.5" or "2.5e3".
bool parsePositive(const std::string& name, const std::string& text, double& out, std::string& error) {
  double v = 0;
  const char* last = text.data() + text.size();
  const bool plain = !text.empty() && (isDigit(text[0]) || text[0] == '.');
  const auto r = std::from_chars(text.data(), last, v);
  if (!plain || r.ec != std::errc() || r.ptr != last || !std::isfinite(v) || v <= 0) {
    error = "invalid value " + quotedText(text) + " for " + name + ": must be a positive number or 'max'";
    return false;
  }
  out = v;
  return true;
}

// Takes over what reading the command line settled: a request for help, or an
// error. True when there is nothing more to look at.
template <typename ArgsResult>
bool settled(const ReadOptions& read, ArgsResult& r) {
  r.options.help = read.help;
  r.ok = read.help;
  r.error = read.error;
  return read.help || !read.error.empty();
}

}  // namespace

FeedArgsResult parseFeedArgs(const std::vector<std::string>& args) {
  FeedArgsResult r;
  FeedOptions& o = r.options;
  const ReadOptions read =
      readOptions(args, {"--file", "--synthetic", "--symbol", "--digits", "--speed", "--rate", "--seed", "--timeout-ms"},
                  {"--no-announce", "--no-timeout"});
  if (settled(read, r)) return r;
  bool speedGiven = false, rateGiven = false;

  for (const auto& [name, value] : read.given) {
    if (name == "--file") {
      if (value.empty()) {
        r.error = "--file needs a file name";
        return r;
      }
      o.file = value;
    } else if (name == "--synthetic") {
      if (!parseInteger<std::uint64_t>(name, value, 1, 1000000000000ULL, o.syntheticCount, r.error)) return r;
    } else if (name == "--symbol") {
      if (!isValidSymbol(value)) {
        r.error =
            "invalid value " + quotedText(value) + " for --symbol: 1 to 6 printable characters, e.g. EURUSD";
        return r;
      }
      o.symbol = value;
    } else if (name == "--digits") {
      std::int32_t d = 0;
      if (!parseInteger<std::int32_t>(name, value, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(), d, r.error))
        return r;
      o.digits = d;
    } else if (name == "--speed") {
      speedGiven = true;
      if (value == "max") {
        o.speedMax = true;
      } else {
        double v = 0;
        if (!parsePositive(name, value, v, r.error)) return r;
        o.speed = v;
      }
    } else if (name == "--rate") {
      rateGiven = true;
      if (value == "max") {
        o.rateMax = true;
      } else {
        double v = 0;
        if (!parsePositive(name, value, v, r.error)) return r;
        o.rate = v;
      }
    } else if (name == "--seed") {
      std::uint64_t s = 0;
      if (!parseInteger<std::uint64_t>(name, value, 0, std::numeric_limits<std::uint64_t>::max(), s, r.error))
        return r;
      o.seed = s;
    } else if (name == "--no-announce") {
      o.announce = false;
    } else if (name == "--no-timeout") {
      o.timeoutMs = 0;
    } else if (name == "--timeout-ms") {
      if (!parseInteger<std::uint32_t>(name, value, 1, 3600000, o.timeoutMs, r.error)) return r;
    }
  }

  const bool haveFile = !o.file.empty();
  const bool haveSynthetic = o.syntheticCount > 0;
  if (haveFile && haveSynthetic) {
    r.error = "give either --file or --synthetic, not both";
    return r;
  }
  if (!haveFile && !haveSynthetic) {
    r.error = "nothing to send: give --file PATH or --synthetic N";
    return r;
  }
  o.source = haveFile ? FeedOptions::Source::File : FeedOptions::Source::Synthetic;
  if (haveFile && (rateGiven || o.seed)) {
    r.error = std::string(rateGiven ? "--rate" : "--seed") +
              " applies to --synthetic only; use --speed with --file";
    return r;
  }
  if (haveSynthetic && speedGiven) {
    r.error = "--speed applies to --file only; use --rate with --synthetic";
    return r;
  }
  if (haveSynthetic && o.digits && (*o.digits < kSyntheticMinDigits || *o.digits > kSyntheticMaxDigits)) {
    r.error = "invalid value '" + std::to_string(*o.digits) + "' for --digits: a synthetic stream needs " +
              std::to_string(kSyntheticMinDigits) + " to " + std::to_string(kSyntheticMaxDigits);
    return r;
  }
  r.ok = true;
  return r;
}

ProbeArgsResult parseProbeArgs(const std::vector<std::string>& args) {
  ProbeArgsResult r;
  ProbeOptions& o = r.options;
  const ReadOptions read = readOptions(args, {"--log", "--delay-ms", "--hang-after", "--hang-ms", "--exit-after-ms"}, {});
  if (settled(read, r)) return r;
  constexpr std::uint32_t kMaxMs = 0x7FFFFFFF;  // below INFINITE, which means "never"

  for (const auto& [name, value] : read.given) {
    if (name == "--log") {
      if (value.empty()) {
        r.error = "--log needs a file name";
        return r;
      }
      o.logFile = value;
    } else if (name == "--delay-ms") {
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, o.delayMs, r.error)) return r;
    } else if (name == "--hang-after") {
      std::uint64_t n = 0;
      if (!parseInteger<std::uint64_t>(name, value, 0, std::numeric_limits<std::uint64_t>::max(), n, r.error))
        return r;
      o.hangAfter = n;
    } else if (name == "--hang-ms") {
      std::uint32_t ms = 0;
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, ms, r.error)) return r;
      o.hangMs = ms;
    } else if (name == "--exit-after-ms") {
      std::uint32_t ms = 0;
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, ms, r.error)) return r;
      o.exitAfterMs = ms;
    }
  }
  if (o.hangMs && !o.hangAfter) {
    r.error = "--hang-ms needs --hang-after";
    return r;
  }
  r.ok = true;
  return r;
}

std::string formatProbeLine(int hour, int minute, int second, int millisecond, std::uint32_t code,
                            std::uint64_t wParam, std::uint64_t lParam) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d,%lu,%lu,%lu", hour, minute, second, millisecond,
                static_cast<unsigned long>(code), static_cast<unsigned long>(low32(wParam)),
                static_cast<unsigned long>(low32(lParam)));
  return buf;
}

}  // namespace orv::tools
