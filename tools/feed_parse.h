// Parsing shared by the two companion tools (orvalda-feed, zentavor-probe):
// command lines, Orvalda's CSV tick recordings, price text -> integer points,
// and the synthetic quote stream. No window system in here, so it builds and
// is unit tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::tools {

// ---------------------------------------------------------------------------
// Prices

// Converts one price text of a recording to integer points, exactly (digit by
// digit, never through floating point). Two forms are accepted:
//   fixed point  "1.08150"    - exactly `digits` decimals ("108150" when digits is 0)
//   exponent     "108150e-45" - integer mantissa, exponent must equal -digits
// Points must fit in 32 bits unsigned. On failure returns nullopt and fills
// `error` with a one-line reason.
std::optional<std::uint32_t> priceToPoints(std::string_view text, std::int32_t digits, std::string& error);

// The Digits value a price text was written with: the number of decimals of a
// fixed-point text, or minus the exponent of an exponent-form text. nullopt
// when the text is neither form.
std::optional<std::int32_t> digitsOfPriceText(std::string_view text);

// ---------------------------------------------------------------------------
// Orvalda's CSV recording: pair,YYYYMMDD HH:MM:SS.mmm,bid,ask  (CR LF, no header)

// Splits CSV text into records of fields (RFC 4180: a quoted field may hold
// commas, doubled quotes, CR and LF). Records end with CR LF or a bare LF; the
// last one may lack the terminator. Empty lines are skipped. A record that
// breaks these rules is left out up to the end of its line (of its first line,
// for a quote never closed), named in `problems`, and the records after it
// are read on.
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

// "20261206 14:03:27.045" -> milliseconds since 0000-03-01 of the proleptic
// calendar (a plain counter; the recording's local time is taken as is).
std::optional<std::int64_t> parseTimestampMs(std::string_view text);

struct TickRow {
  std::size_t line = 0;  // where the record starts in the file
  std::int64_t timeMs = 0;
  std::uint32_t bid = 0;  // points
  std::uint32_t ask = 0;  // points
};

struct FeedFile {
  bool ok = false;            // at least one row to send
  std::size_t errorLine = 0;  // when not ok: the first bad row's line; 0 when there is none
  std::string error;
  std::int32_t digits = 0;  // as given, or as read from the first good row
  std::string pair;         // e.g. "EUR/USD"; the first good row's, the same on every row sent
  std::vector<TickRow> rows;
  std::vector<LineProblem> badRows;  // rows left out (cut by a crash, garbled, another pair), in file order
};

// Validates and converts a recording, row by row: a bad row is left out and
// named in badRows, the others are kept. When `digits` is not given, the first
// row whose bid and ask are written alike decides it and every other price
// must agree. Not ok when no row is left.
FeedFile parseFeedFile(std::string_view content, std::optional<std::int32_t> digits);

// What to tell about the rows left out of a file that is sent: a first line
// "FILE: N of M rows are bad and left out:", then "  line L: reason" for the
// first `listed` of them and "  ... and K more" for the rest. Empty when none
// was left out.
std::vector<std::string> badRowsReport(std::string_view file, const FeedFile& feed, std::size_t listed = 5);

// "EUR/USD" -> "EURUSD". nullopt when the result is not a usable symbol.
std::optional<std::string> symbolFromPair(std::string_view pair);

// A symbol travels as up to six 8-bit letters; printable ASCII, no blanks.
bool isValidSymbol(std::string_view symbol);

// ---------------------------------------------------------------------------
// Replay pacing

// Send offsets (ms from the first tick, at recorded pace) for each row. A time
// stamp earlier than its predecessor (a clock or daylight-saving step back)
// adds no wait instead of a negative one, so offsets never decrease.
std::vector<std::int64_t> replayOffsetsMs(const std::vector<TickRow>& rows);

// ---------------------------------------------------------------------------
// Synthetic quotes: a mean-reverting random walk around 1.08 with a fixed seed.

struct Quote {
  std::uint32_t bid = 0;
  std::uint32_t ask = 0;
};

class SyntheticWalk {
 public:
  SyntheticWalk(std::uint64_t seed, std::int32_t digits);
  Quote next();

 private:
  double uniform01();
  std::uint64_t state_;
  double scale_;
  double mid_;
};

inline constexpr std::int32_t kSyntheticMinDigits = 0;
inline constexpr std::int32_t kSyntheticMaxDigits = 9;  // 1.08 * 10^9 still fits in 32 bits

// ---------------------------------------------------------------------------
// Command lines

struct FeedOptions {
  enum class Source { None, File, Synthetic };
  Source source = Source::None;
  std::string file;
  std::uint64_t syntheticCount = 0;
  std::optional<std::string> symbol;   // default: from the file's pair, else EURUSD
  std::optional<std::int32_t> digits;  // default: from the file, else 5
  std::optional<double> speed;         // file replay; nullopt with speedMax false = 1
  bool speedMax = false;
  std::optional<double> rate;  // synthetic ticks per second; default 100
  bool rateMax = false;
  std::optional<std::uint64_t> seed;  // synthetic; default kDefaultSeed
  bool announce = true;
  std::uint32_t timeoutMs = 10000;  // per SendMessageTimeout; 0: plain SendMessage, no time-out
  bool help = false;
};

inline constexpr std::uint64_t kDefaultSeed = 1;
inline constexpr double kDefaultRate = 100.0;
inline constexpr std::int32_t kDefaultDigits = 5;
inline constexpr const char* kDefaultSymbol = "EURUSD";

struct FeedArgsResult {
  bool ok = false;
  std::string error;  // one line, without the program name
  FeedOptions options;
};
FeedArgsResult parseFeedArgs(const std::vector<std::string>& args);  // args without argv[0]

struct ProbeOptions {
  std::optional<std::string> logFile;  // default: stdout
  std::uint32_t delayMs = 0;
  std::optional<std::uint64_t> hangAfter;  // messages answered before the hang
  std::optional<std::uint32_t> hangMs;     // default: until killed
  std::optional<std::uint32_t> exitAfterMs;
  bool help = false;
};

struct ProbeArgsResult {
  bool ok = false;
  std::string error;
  ProbeOptions options;
};
ProbeArgsResult parseProbeArgs(const std::vector<std::string>& args);

// ---------------------------------------------------------------------------
// Probe log line: "HH:MM:SS.mmm,code,wParam,lParam", parameters as the low 32
// bits unsigned, without a line terminator.
std::string formatProbeLine(int hour, int minute, int second, int millisecond, std::uint32_t code,
                            std::uint64_t wParam, std::uint64_t lParam);

}  // namespace orv::tools
