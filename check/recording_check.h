// Checks one recording as its lines stream past: rows that are not whole,
// time going back, duplicates, crossed quotes, spikes, silences and symbol
// changes, with the figures and the chart buckets of the report. Memory does
// not grow with the number of rows: the lists of problems and silences keep
// their first entries and count the rest.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/chart.h"
#include "check/histogram.h"
#include "check/line_reader.h"
#include "check/row_parse.h"

namespace orv::check {

enum class ProblemKind : std::uint8_t { Torn, Order, Duplicate, Crossed, Spike, Unparsable };
inline constexpr std::size_t kProblemKinds = 6;
// "torn", "order", "duplicate", "crossed", "spike", "unparsable"
std::string_view kindName(ProblemKind kind) noexcept;

inline constexpr std::int64_t kNoTime = INT64_MIN;

struct Problem {
  ProblemKind kind = ProblemKind::Torn;
  std::uint64_t line = 0;
  std::string text;
  std::int64_t ms = kNoTime;  // the row's time, when it has one
};

struct Silence {
  std::uint64_t line = 0;  // of the row that ends it
  std::string from, to;    // the stamps either side, as written
  std::int64_t fromMs = 0, toMs = 0;
  std::int64_t openMs = 0;  // the part of it outside the weekly close
};

struct SymbolChange {
  std::uint64_t line = 0;
  std::string from, to;
};

// The weekly close of the currency market, in UTC, as minutes from Sunday 00:00.
struct WeeklyClose {
  bool none = false;  // every silence counts
  int closeMinute = 5 * 1440 + 22 * 60;  // Friday 22:00
  int openMinute = 21 * 60;               // Sunday 21:00
};
// How much of [fromUtcMs, toUtcMs] lies in the weekly close.
std::int64_t closedMs(const WeeklyClose& close, std::int64_t fromUtcMs, std::int64_t toUtcMs) noexcept;

struct CheckOptions {
  std::int64_t gapMs = 60000;
  std::optional<std::int64_t> utcOffsetMs;  // the stamps are UTC + this; none: taken as UTC
  WeeklyClose session;
};

// Spikes: a bid or ask that moves more than kSpikeFactor times its usual move,
// and within kSpikeReturnTicks ticks comes back to within a quarter of the
// jump from where it left. The usual move: the median size of the side's
// non-zero moves in the last complete block of kSpikeBlock of them (of 64 of
// them, evenly spread), or in the first block, of those so far once there
// are kSpikeMinMoves.
inline constexpr std::uint64_t kSpikeFactor = 20;
inline constexpr int kSpikeReturnTicks = 3;
inline constexpr std::size_t kSpikeBlock = 1024;
inline constexpr std::size_t kSpikeMinMoves = 20;

// How many of each list a report keeps (the counts are always complete).
inline constexpr std::size_t kKeptPerKind = 1000;
inline constexpr std::size_t kKeptSilences = 10000;
inline constexpr std::size_t kKeptSymbolChanges = 1000;
inline constexpr std::size_t kKeptPairs = 100;

struct FileReport {
  std::string path;
  std::string error;  // why the file could not be read to its end; empty when it was
  std::uint64_t bytes = 0, lines = 0, rows = 0;
  std::string first, last;  // stamps of the first and the last row, as written
  std::uint64_t firstLine = 0, lastLine = 0;
  std::vector<std::string> pairs;  // in order of appearance
  std::vector<SymbolChange> symbolChanges;
  std::uint64_t symbolChangeCount = 0;
  std::array<std::uint64_t, kProblemKinds> problemCount{};
  std::vector<Problem> problems;  // by line
  std::vector<Silence> silences;
  std::uint64_t silenceCount = 0;
  std::array<std::uint64_t, kLineEnds> lineEnds{};
  std::uint64_t linesWithNul = 0;  // a sign of a binary file
  bool byteOrderMark = false;
  std::uint64_t zeroSpreads = 0;  // of the crossed quotes, those with bid = ask
  Histogram ticksPerHour;
  SignedHistogram spread;  // points
  std::int32_t digits = 0;  // of the first pair's prices
  Chart chart;

  std::uint64_t problemTotal() const noexcept;
  bool clean() const noexcept { return error.empty() && problemTotal() == 0 && silenceCount == 0; }
};

class RecordingCheck {
 public:
  RecordingCheck(std::string path, const CheckOptions& options);
  void add(const Line& line);
  // Takes as many whole rows as bytes begins with that are of the current
  // pair, plainly written and ending in CR LF, and returns how many bytes they
  // fill (the rest is for add()). lineNumber: the last line's number, moved on.
  // The same rows given to add() make the same report.
  std::size_t addRows(std::string_view bytes, std::uint64_t& lineNumber);
  FileReport finish(std::uint64_t bytes);

 private:
  // One side's prices, watched for spikes.
  class SpikeWatch {
   public:
    struct Found {
      std::uint64_t line;
      std::int64_t jump;
      std::uint64_t usual;
      int after;
    };
    // Takes the next price; true when it ends a spike, which found then describes.
    bool next(std::int64_t price, std::uint64_t line, Found& found) {
      if (!havePrevious_) {
        havePrevious_ = true;
        previous_ = price;
        return false;
      }
      const std::int64_t move = price - previous_;
      previous_ = price;
      const std::uint64_t size = move < 0 ? 0 - static_cast<std::uint64_t>(move) : static_cast<std::uint64_t>(move);
      // Kept without a branch (most moves are small, and come in no order):
      // a move of 0 is overwritten by the next one.
      block_[inBlock_] = static_cast<std::uint32_t>(size < 0xFFFFFFFFu ? size : 0xFFFFFFFFu);
      inBlock_ += size != 0;
      if (inBlock_ == kSpikeBlock) endBlock();
      // A move of kSpikeFactor points or less starts no spike: the usual move is at least 1.
      if (!pending_.active && size <= kSpikeFactor) return false;
      return judge(price, move, size, line, found);
    }

   private:
    void endBlock();
    bool judge(std::int64_t price, std::int64_t move, std::uint64_t size, std::uint64_t line, Found& found);
    std::uint64_t medianOfBlock(std::size_t n);
    std::array<std::uint32_t, kSpikeBlock> block_{};  // the sizes of this block's moves
    std::uint32_t inBlock_ = 0;
    std::uint64_t usual_ = 0;  // 0 until a block is complete
    bool havePrevious_ = false;
    std::int64_t previous_ = 0;
    struct Pending {
      bool active = false;
      std::uint64_t line = 0;
      std::int64_t before = 0, jump = 0;
      std::uint64_t usual = 0;
      int seen = 0;
    } pending_;
  };

  // Where the parts of the last plainly written row were, from its start:
  // most rows of a recording have the same shape, so the next is first read
  // at the same places (each place checked), and where it ends is known
  // before it is read. length 0: no shape yet.
  struct RowShape {
    int bidDot = 0, askStart = 0, askDot = 0, length = 0;
  };
  bool pricesOfShape(const char* bid, const char* ask, std::int32_t digits, Price& bidOut, Price& askOut) const;

  void problem(ProblemKind kind, std::uint64_t line, std::string text, std::int64_t ms = kNoTime);
  void bad(ProblemKind kind, const Line& line, std::string text);
  void switchPair(std::string_view pair, std::uint64_t line);
  void tick(std::uint64_t line, const RowFields& f, std::int64_t ms, const Price& bid, const Price& ask);
  void spike(const char* side, const SpikeWatch::Found& found, std::int64_t ms);

  CheckOptions options_;
  FileReport report_;
  RowSplitter splitter_;
  StampReader stamps_;
  bool cutLine_ = false;

  // The current pair and its prices' decimals (learnt from its first row whose bid and ask agree).
  std::string pair_;
  bool havePair_ = false;
  std::uint64_t pairWord_ = 0, pairMask_ = 0;  // its first 8 bytes, for a quick comparison
  RowShape shape_;
  std::optional<std::int32_t> digits_;
  double scale_ = 1;  // 10^-digits
  std::vector<std::pair<std::string, std::int32_t>> pairDigits_;

  // The row before.
  bool havePrevious_ = false;
  bool previousSamePair_ = false;
  std::int64_t previousMs_ = 0;
  std::uint64_t previousLine_ = 0;
  std::uint64_t previousBid_ = 0, previousAsk_ = 0;

  std::int64_t hourStart_ = 0;  // of the clock hour whose ticks are being counted
  std::uint64_t hourTicks_ = 0;
  SpikeWatch bidSpikes_, askSpikes_;
  std::uint64_t lastSpikeLine_ = 0;
};

// Checks the file at path ("-": standard input) from start to end.
FileReport checkFile(const std::string& path, const CheckOptions& options);
// The same for bytes in memory (the tests' way in), read in blocks of up to
// `block` bytes.
FileReport checkBytes(std::string_view bytes, const std::string& path, const CheckOptions& options,
                      std::size_t block = LineReader::kBlock);

}  // namespace orv::check
