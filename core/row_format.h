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

// For the few functions every row passes through.
#if defined(__GNUC__)
#define ORV_ALWAYS_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define ORV_ALWAYS_INLINE __forceinline
#else
#define ORV_ALWAYS_INLINE inline
#endif

namespace orv {

// a / b rounded down (toward minus infinity), for times before 1970 too.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) noexcept { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

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

// The price in points of unitDigits decimals, saturating (digits beyond them cut off).
std::uint64_t pointsInUnit(const Price& price, std::int32_t unitDigits) noexcept;
// points * 10^tens: saturating at UINT64_MAX for tens above 0, the last
// digits cut off below 0 (points of a unit of `tens` more decimals).
std::uint64_t timesTenTo(std::uint64_t points, std::int64_t tens) noexcept;

// The price in points of `digits` decimals (at least its own), exactly;
// false, and the price unchanged, when that does not fit 64 bits.
bool priceInDigits(Price& price, std::int32_t digits) noexcept;

// A pair's unit, judged row by row in the order of a file, alike by every
// tool: the decimals of its first row, raised to a later row's more
// decimals while its row before still fits 64-bit points of them. A row
// whose prices do not fit the unit exactly ("108150e-45" among prices of 5
// decimals) is too far from the pair's other rows to compare: it is no row
// of the pair, and changes nothing. Rows of decimals a price is written with
// plainly (0 to 38) outrank the exponent form Orvalda writes for others: a
// unit of other decimals, which only exponent rows set, gives way to the
// first plain row that cannot be compared with it, so a stray first row
// spoils no pair.
inline bool plainDecimals(std::int32_t digits) noexcept { return digits >= 0 && digits <= 38; }

class PairUnit {
 public:
  // False for a row too far from the pair's others.
  bool take(const Price& bid, const Price& ask) noexcept {
    if (digits_ == bid.digits && digits_ == ask.digits && any_) {  // nearly every row
      bid_ = bid.points;
      ask_ = ask.points;
      return true;
    }
    return takeOther(bid, ask);
  }
  // Whether it has taken a row; then the decimals of the unit (of any sign).
  bool any() const noexcept { return any_; }
  std::int32_t digits() const noexcept { return digits_; }
  // How many times a plain row has set the unit anew.
  std::uint32_t restarts() const noexcept { return restarts_; }

 private:
  bool takeOther(const Price& bid, const Price& ask) noexcept;
  bool any_ = false;
  std::int32_t digits_ = 0;
  std::uint32_t restarts_ = 0;
  std::uint64_t bid_ = 0, ask_ = 0;  // the row before, in points of the unit
};

// A spread counted in its pair's own unit: the step of the most decimals its
// pair's prices are seen with (unitDigits), however this row happens to be
// written. A spread of 0.0001 is 10 for a pair of 5 decimals, written
// "1.0800,1.0801" or "1.080000,1.080100" alike. ask - bid, saturating.
inline std::int64_t spreadInUnit(const Price& bid, const Price& ask, std::int32_t unitDigits) noexcept {
  const bool inUnit = bid.digits == unitDigits && ask.digits == unitDigits;  // nearly every row
  const std::uint64_t b = inUnit ? bid.points : pointsInUnit(bid, unitDigits);
  const std::uint64_t a = inUnit ? ask.points : pointsInUnit(ask, unitDigits);
  const std::uint64_t d = a >= b ? a - b : b - a;
  const std::int64_t size = d > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(d);
  return a >= b ? size : -size;
}

// How a price text reads: a price; no price text at all; or a price of more
// than 18 significant digits (or, as points, of more than 64 bits), whose
// digits are read all the same.
enum class PriceText : std::uint8_t { Ok, NotAPrice, TooManyDigits };
PriceText readPrice(std::string_view text, Price& out) noexcept;
// True for a price of up to 18 significant digits.
inline bool parsePrice(std::string_view text, Price& out) noexcept { return readPrice(text, out) == PriceText::Ok; }

// memcmp() == 0 for the few bytes of a pair, without a call.
ORV_ALWAYS_INLINE bool sameBytes(const char* a, const char* b, std::size_t n) noexcept {
  for (; n >= 8; n -= 8, a += 8, b += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y) return false;
  }
  for (; n > 0; --n)
    if (*a++ != *b++) return false;
  return true;
}

// The value of the n (1..8) decimal digits in the low bytes of v (the first
// in the lowest byte); false when one of them is not a digit. The bytes
// above the n are not looked at.
ORV_ALWAYS_INLINE bool swarDigits(std::uint64_t v, int n, std::uint64_t& value) {
  // Moved up behind leading '0's, then all eight checked and added up at once.
  if (n < 8) v = (v << (8 * (8 - n))) | (0x3030303030303030ULL >> (8 * n));
  if ((((v & 0xF0F0F0F0F0F0F0F0ULL) | (((v + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4))) !=
      0x3333333333333333ULL)
    return false;
  v -= 0x3030303030303030ULL;
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * 0x000F424000000064ULL) + (((v >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >> 32;
  value = v & 0xFFFFFFFFULL;
  return true;
}

// The stamp's layout, "YYYYMMDD HH:MM:SS.mmm": where its parts are.
inline constexpr std::size_t kStampLength = 21;
inline constexpr std::size_t kStampDateLength = 8;  // "YYYYMMDD", then a blank
inline constexpr std::size_t kStampHourAt = 9, kStampMinuteAt = 12, kStampSecondAt = 15;  // two digits each, ':' between
inline constexpr std::size_t kStampDotAt = 17;     // '.', then the milliseconds' three digits
inline constexpr std::size_t kStampMillisAt = kStampDotAt + 1;
// "YYYYMMDD HH:MM:S": the first 16 bytes, compared as two words.
inline constexpr std::size_t kStampHeadLength = 16;

// "YYYYMMDD HH:MM:SS.mmm" -> milliseconds since 1970-01-01 00:00 of the same
// clock (the recording's, local or UTC); false for any other text, or a date
// or time that does not exist. Remembers the last date and second it read,
// so rows of the same second cost only their milliseconds.
class StampReader {
 public:
  bool read(std::string_view text, std::int64_t& ms) noexcept {
    // The same second as the stamp before: only the milliseconds are new.
    if (text.size() == kStampLength && haveSecond_ && text[kStampDotAt] == '.') {
      const char* p = text.data();
      std::uint64_t head[2];
      std::memcpy(head, p, kStampHeadLength);
      const char* const millis = p + kStampMillisAt;
      const unsigned m0 = digit(millis[0]), m1 = digit(millis[1]), m2 = digit(millis[2]);
      if (head[0] == second_[0] && head[1] == second_[1] && p[kStampHeadLength] == lastSecondDigit_ && m0 <= 9 &&
          m1 <= 9 && m2 <= 9) {
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

// What a line of a recording is, judged the same way by every reader: a
// row, a first line that names columns (a header, as spreadsheets write
// one), or a line that is not a row, and why. A row's prices may have other
// decimals than its pair's usual: it is a row all the same. The file's last
// line, when no line end follows it, is a row when it reads as one (a file
// whose last row simply lacks its end: the reader may note it), and cut off
// (Cut) when it does not.
enum class LineIs : std::uint8_t {
  Row, Header, Empty, Overlong, Cut, NotFourFields, BadQuotes, NoPair, BadStamp, BadBid, BadAsk
};
// A torn line lost part of itself; the other faults are unparsable.
inline bool isTorn(LineIs is) noexcept {
  return is == LineIs::Empty || is == LineIs::Overlong || is == LineIs::Cut || is == LineIs::NotFourFields;
}

// Where a line stood in its file, as its reader found it.
struct LinePlace {
  bool first = false;     // the file's first line: it may start with a UTF-8 byte-order mark, and may name columns
  bool overlong = false;  // far longer than any row: the text holds only its start
  bool ended = true;      // false for the file's last line when no line end follows it
};

// A line read: its text judged (the byte-order mark taken off), its fields,
// and for a row its stamp and prices.
struct LineRead {
  std::string_view text;
  bool byteOrderMark = false;
  RowFields fields;
  std::int64_t ms = 0;
  Price bid, ask;
};

// Judges whole lines (without their line ends) one after another.
class LineJudge {
 public:
  LineIs judge(std::string_view text, LinePlace place, LineRead& out);
  // The stamps' reader, shared with a faster way through the same rows.
  StampReader& stamps() noexcept { return stamps_; }

 private:
  LineIs judgeText(std::string_view text, bool firstLine, LineRead& out);
  RowSplitter splitter_;
  StampReader stamps_;
};

// True for a line of two or more fields that each begin with a letter
// ("Symbol,Time,Bid,Ask"): column names, not a row.
bool namesColumns(std::string_view text) noexcept;

// A file's verdict once all its lines are read: one that has lines but no
// row at all (a tester's log, a file separated by semicolons) is not a
// recording. Blank files and a header alone are.
inline bool notARecording(std::uint64_t rows, std::uint64_t faultyLines) noexcept { return rows == 0 && faultyLines > 0; }

// A row written plainly, as the recorder writes it: a pair with no quote, a
// stamp of kStampLength characters, and prices of digits with at most one point, read
// straight from a buffer of lines. Its fields view the bytes.
struct PlainRow {
  std::string_view pair, stamp, bid, ask;
  Price bidPrice, askPrice;
  std::size_t size = 0;  // with its line end
  // The shape of the row read before it: the same pair, its prices' points
  // at the same places (so the same decimals), the same line end.
  bool sameShape = false;
};

// Reads rows written plainly from the start of a buffer of lines. A row of
// the same shape as the one before (the same pair, its prices' points at the
// same places, up to 8 digits each) is looked at only where it could differ.
class PlainRowReader {
 public:
  // The row at the start of bytes when it is a whole plain row ending in CR
  // LF or LF, with prices of up to 18 digits; false otherwise, and then the
  // line is for RowSplitter. The stamp is only measured: StampReader reads
  // it, and a row whose stamp it reads is the same row RowSplitter and
  // parsePrice make of the line; one whose stamp it does not read is for
  // RowSplitter too.
  bool read(std::string_view bytes, PlainRow& row) noexcept {
    return readShaped(bytes, row) || readAny(bytes, row);
  }

 private:
  struct Shape {
    std::uint64_t pair[2] = {}, mask[2] = {};  // the pair's bytes (up to 16), and which bytes
    std::size_t pairSize = 0;                  // 0: no shape
    int bidDot = 0, bidSize = 0, askDot = 0, askSize = 0;
    bool crLf = false;
  };
  bool readShaped(std::string_view bytes, PlainRow& row) noexcept;
  bool readAny(std::string_view bytes, PlainRow& row) noexcept;
  static bool priceOfShape(const char* p, int dot, int size, Price& out) noexcept;
  Shape shape_;
};

// A price of the shape: its point at `dot`, `size` bytes, up to 8 digits.
ORV_ALWAYS_INLINE bool PlainRowReader::priceOfShape(const char* p, int dot, int size, Price& out) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t low = (std::uint64_t{1} << (8 * dot)) - 1;
  const std::uint64_t next = static_cast<unsigned char>(p[8]);
  out.digits = size - dot - 1;
  return swarDigits((w & low) | (((w >> 8) | (next << 56)) & ~low), size - 1, out.points);
}

ORV_ALWAYS_INLINE bool PlainRowReader::readShaped(std::string_view bytes, PlainRow& row) noexcept {
  const Shape& s = shape_;
  // Room for the longest row of a shape, whatever is read.
  if (s.pairSize == 0 || bytes.size() < 16 + (kStampLength + 1) + 10 + 10 + 2) return false;
  const char* const p = bytes.data();
  std::uint64_t head[2];
  std::memcpy(head, p, 16);
  if ((head[0] & s.mask[0]) != s.pair[0] || (head[1] & s.mask[1]) != s.pair[1] || p[s.pairSize] != ',') return false;
  const char* const stamp = p + s.pairSize + 1;
  const char* const bid = stamp + kStampLength + 1;
  const char* const ask = bid + s.bidSize + 1;
  const char* const end = ask + s.askSize;
  if (stamp[kStampLength] != ',' || bid[s.bidDot] != '.' || bid[s.bidSize] != ',' || ask[s.askDot] != '.') return false;
  if (s.crLf ? (end[0] != '\r' || end[1] != '\n') : end[0] != '\n') return false;
  if (!priceOfShape(bid, s.bidDot, s.bidSize, row.bidPrice) || !priceOfShape(ask, s.askDot, s.askSize, row.askPrice)) return false;
  row.pair = std::string_view(p, s.pairSize);
  row.stamp = std::string_view(stamp, kStampLength);
  row.bid = std::string_view(bid, static_cast<std::size_t>(s.bidSize));
  row.ask = std::string_view(ask, static_cast<std::size_t>(s.askSize));
  row.size = static_cast<std::size_t>(end - p) + (s.crLf ? 2 : 1);
  row.sameShape = true;
  return true;
}

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
