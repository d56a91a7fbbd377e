// Orvalda's recording row, written and read in this one place:
//
//   EUR/USD,20261206 14:03:27.045,1.08150,1.08166 CR LF
//
// four fields: the pair (quoted as in CSV when it holds a comma, a double
// quote, CR or LF), the stamp YYYYMMDD HH:MM:SS.mmm of the recording's clock
// (local time or UTC, as recorded), and bid and ask written exactly from
// integer points: "1.08150" with the symbol's Digits decimals, or, for Digits
// outside 0..38, the points and a negated exponent ("108150e-45"). No header.
//
// The recorder writes rows (buildCsvRow); orvalda-check reads them as they
// stream past (RowSplitter, StampReader, parsePrice: no allocation per row);
// the feeder and other readers of whole files take records that may span
// lines (splitCsv) and the same stamp and price readers. Pure C++: both
// builds link it (orvalda_rowformat).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/wall_time.h"

namespace orv {

// ---------------------------------------------------------------------------
// Writing

// Longest price text: 10 digits of points padded to 39 digits, and a point.
inline constexpr std::size_t kMaxPriceText = 40;

// Writes points / 10^digits exactly, with exactly `digits` decimals and "."
// as the decimal point, for digits 0..38. Outside that range the value is
// written exactly in scientific form: the points, "e", the negated digits
// ("108150e-45", "108150e3"). Returns the length; out needs kMaxPriceText.
std::size_t formatPrice(char* out, std::uint32_t points, std::int32_t digits) noexcept;

// A text built in a fixed 200-character buffer, spilling into the heap only
// for texts that do not fit (symbols grown by endless announcements).
class TextBuffer {
 public:
  static constexpr std::size_t kFixed = 200;
  void clear() noexcept {
    size_ = 0;
    heap_.clear();
  }
  void append(std::string_view s);
  void append(char c) { append(std::string_view(&c, 1)); }
  // Appends value in decimal, zero-padded to at least `width` digits.
  void appendNumber(std::uint32_t value, int width);
  void appendPrice(std::uint32_t points, std::int32_t digits);
  std::string_view view() const noexcept {
    return onHeap() ? std::string_view(heap_) : std::string_view(fixed_, size_);
  }
  bool onHeap() const noexcept { return size_ > kFixed - 1; }

 private:
  char* reserve(std::size_t n);
  char fixed_[kFixed];
  std::size_t size_ = 0;
  std::string heap_;
};

// Parts of the row: the date as yyyymmdd (with a separator between its
// parts, when given), and the time of day as hh:nn:ss.zzz.
void appendDate(TextBuffer& out, const WallTime& t, std::string_view separator = {});
void appendTimeOfDay(TextBuffer& out, const WallTime& t);

// "EUR/USD,20261206 14:03:27.045,1.08150,1.08166", without the line end. A
// pair with a comma, a double quote, CR or LF is quoted so the row keeps its
// four fields.
void buildCsvRow(TextBuffer& out, std::string_view symbolPair, const WallTime& t, std::int32_t digits,
                 std::uint32_t bidPoints, std::uint32_t askPoints);

// ---------------------------------------------------------------------------
// Reading

// A price as written: its points (all its digits as one integer) and how many
// decimals it was written with. "1.08150" is 108150 points with 5 decimals,
// "108150" 0 decimals, and the exponent form Orvalda writes for unusual
// Digits, "108150e-45", 108150 points with 45 (the exponent negated).
struct Price {
  std::uint64_t points = 0;
  std::int32_t digits = 0;
};

// How a price text reads: a price; no price text at all; or a price of more
// than 18 significant digits (or, as points, of more than 64 bits), whose
// digits are read all the same.
enum class PriceText : std::uint8_t { Ok, NotAPrice, TooManyDigits };
PriceText readPrice(std::string_view text, Price& out) noexcept;
// True for a price of up to 18 significant digits.
inline bool parsePrice(std::string_view text, Price& out) noexcept { return readPrice(text, out) == PriceText::Ok; }

// "YYYYMMDD HH:MM:SS.mmm" -> milliseconds since 1970-01-01 00:00 of the same
// clock (the recording's, local or UTC); false for any other text, or a date
// or time that does not exist. Remembers the last date and second it read,
// so rows of the same second cost only their milliseconds.
class StampReader {
 public:
  bool read(std::string_view text, std::int64_t& ms) noexcept {
    // The same second as the stamp before: only the milliseconds are new.
    if (text.size() == 21 && haveSecond_ && text[17] == '.') {
      const char* p = text.data();
      std::uint64_t head[2];
      std::memcpy(head, p, 16);
      const unsigned m0 = digit(p[18]), m1 = digit(p[19]), m2 = digit(p[20]);
      if (head[0] == second_[0] && head[1] == second_[1] && p[16] == lastSecondDigit_ && m0 <= 9 && m1 <= 9 && m2 <= 9) {
        ms = secondMs_ + m0 * 100 + m1 * 10 + m2;
        return true;
      }
    }
    return readNewSecond(text, ms);
  }

 private:
  static unsigned digit(char c) noexcept { return static_cast<unsigned>(static_cast<unsigned char>(c) - '0'); }
  bool readNewSecond(std::string_view text, std::int64_t& ms) noexcept;

  std::uint64_t date_ = 0;  // the date's 8 characters
  std::int64_t dayMs_ = 0;
  bool haveDate_ = false;
  std::uint64_t second_[2] = {};  // "YYYYMMDD HH:MM:S" of the last second read
  char lastSecondDigit_ = 0;      // and its last digit
  std::int64_t secondMs_ = 0;
  bool haveSecond_ = false;
};

// The four fields of a row. A field may be quoted as in CSV ("A,B/""CD"); only
// the pair ever is. pair views the line, or the splitter's own buffer when the
// pair was quoted.
struct RowFields {
  std::string_view pair, stamp, bid, ask;
  std::size_t count = 0;  // fields found
  bool badQuotes = false;  // a quote that does not open or close a field
};

class RowSplitter {
 public:
  // True when the line is exactly four well-formed fields.
  bool split(std::string_view line, RowFields& out);

 private:
  bool splitQuoted(std::string_view line, RowFields& out);
  std::string unquoted_[4];
};

// One stamp read on its own.
bool parseStamp(std::string_view text, std::int64_t& ms) noexcept;

// Whole texts of rows, records spanning lines where a quoted field holds a
// line end: records of fields (RFC 4180: a quoted field may hold commas,
// doubled quotes, CR and LF). Records end with CR LF or a bare LF; the last
// one may lack the terminator. Empty lines and a UTF-8 byte-order mark in
// front are skipped. A record that breaks these rules is left out up to the
// end of its line (of its first line, for a quote never closed), named in
// `problems`, and the records after it are read on.
struct CsvRecord {
  std::size_t line = 0;  // 1-based physical line on which the record starts
  std::vector<std::string> fields;
};
// A line of a file that was left out, and why (one line of text).
struct LineProblem {
  std::size_t line = 0;
  std::string what;
};
struct CsvSplitResult {
  std::vector<CsvRecord> records;
  std::vector<LineProblem> problems;  // in file order
  bool ok = true;                     // no problem
  std::size_t errorLine = 0;          // the first problem
  std::string error;
};
CsvSplitResult splitCsv(std::string_view text);

}  // namespace orv
