// Checks one recording as its lines stream past: rows that are not whole,
// time going back, crossed quotes, spikes and silences (the problems),
// repeated quotes and zero spreads (notes: what real feeds send), with the
// figures and the chart buckets of the report. Order, repeats and spikes are
// judged per symbol, so a file of several symbols interleaved reads as well
// as one of a single symbol. Memory does not grow with the number of rows:
// the lists of problems, notes and silences keep their first entries and
// count the rest.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/chart.h"
#include "report/histogram.h"
#include "report/texts.h"
#include "recordings/line_reader.h"
#include "core/row_format.h"
#include "zone/zone_rules.h"

namespace orv::check {

// The counts, the chart and the texts that the tools' pages share.
using report::Chart;
using report::ChartColumn;
using report::Histogram;
using report::SignedHistogram;
using report::dateTimeText;
using report::durationText;
using report::floorMod;
using report::kMsPerDay;
using report::plural;
using report::quoted;
using report::readable;
using report::secondsText;
using report::shortSecondsText;
using report::stampText;

// Problems are faults, and make the exit code 1.
enum class ProblemKind : std::uint8_t { Torn, Order, Crossed, Spike, Unparsable, Overlap };
inline constexpr std::size_t kProblemKinds = 6;
// "torn", "order", "crossed", "spike", "unparsable", "overlap"
std::string_view kindName(ProblemKind kind) noexcept;

// Notes are what real feeds and files do: counted and listed, never a fault.
// A repeat is a row with the stamp and prices of the row before of its
// symbol; an unended last row is the file's last line read as a row though
// no line end follows it; a skipped-hour stamp is a row's time that the
// clock of --from skips when it is set ahead, placed with the offset before
// the change.
enum class NoteKind : std::uint8_t { Repeat, ZeroSpread, UnendedLastRow, SkippedHour };
inline constexpr std::size_t kNoteKinds = 4;
// "repeat", "zero spread", "unended last row", "skipped-hour stamp"
std::string_view kindName(NoteKind kind) noexcept;
inline constexpr std::size_t kNoteLinesKept = 20;  // per kind

struct NoteCount {
  std::uint64_t count = 0;
  std::vector<std::uint64_t> lines;  // the first kNoteLinesKept
};

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
  std::string file;         // a silence between two files: the one before
};

struct SymbolChange {
  std::uint64_t line = 0;
  std::string from, to;
};

// New York's clock (America/New_York), found once.
zone::Zone newYork();

// The weekly close of the currency market: from closeMinute to openMinute,
// minutes from Sunday 00:00 of the zone's clock. By default Friday 17:00 to
// Sunday 17:00 in New York, whatever the season.
struct WeeklyClose {
  bool none = false;  // every silence counts
  int closeMinute = 5 * 1440 + 17 * 60;  // Friday 17:00
  int openMinute = 17 * 60;              // Sunday 17:00
  zone::Zone zone = newYork();           // null: UTC
};
// How much of [fromUtcMs, toUtcMs] lies in the weekly close: exact for any
// span of up to 1000 weeks; beyond, the weeks in the middle count as long as
// the close reads on the clock.
std::int64_t closedMs(const WeeklyClose& close, std::int64_t fromUtcMs, std::int64_t toUtcMs);

// Silences by length (their part outside the weekly close): more than 1 min,
// 5 min, 30 min and 1 h, whatever --gap is.
inline constexpr std::int64_t kGapBucketsMs[] = {60000, 300000, 1800000, 3600000};
inline constexpr std::size_t kGapBuckets = std::size(kGapBucketsMs);

struct CheckOptions {
  std::int64_t gapMs = 60000;
  zone::Zone from;             // the clock of the stamps; null: UTC
  std::string fromOption;      // the option that named it: "--from" or "--utc-offset"
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
inline constexpr std::size_t kKeptSymbolChanges = 10;
inline constexpr std::size_t kKeptPairs = 100;  // pairs with figures and a chart; every pair's rows are counted

struct FileReport {
  std::string path;
  std::string error;  // why the file could not be read to its end, or is no recording; empty when it was read
  bool notARecording = false;  // it has lines, but none is a row
  std::uint64_t bytes = 0, lines = 0, rows = 0;
  std::string first, last;  // stamps of the first and the last row, as written
  std::uint64_t firstLine = 0, lastLine = 0;
  struct PairRows {
    std::string pair;
    std::uint64_t rows = 0;
  };
  std::vector<PairRows> pairs;  // every pair, in order of appearance
  struct Symbol {
    std::string pair;
    std::uint64_t rows = 0;
    std::int32_t digits = 0;  // the most decimals of its prices, the unit of its points
    NoteCount otherDigits;    // its rows with fewer decimals (a spreadsheet drops trailing zeros)
    bool someFiner = false;   // or more: exponent rows before a plain row set its unit anew
    std::string first, last;  // stamps of its first and last row, as written
    Histogram ticksPerHour;
    SignedHistogram spread;  // in its points
    Chart chart;
  };
  std::deque<Symbol> symbols;  // the first kKeptPairs pairs, with their own figures and charts
  std::int64_t firstMs = 0, lastMs = 0;  // of the first and the last row
  std::int64_t firstUtcMs = 0, lastUtcMs = 0;  // the same as UTC instants
  std::vector<SymbolChange> symbolChanges;
  std::uint64_t symbolChangeCount = 0;
  std::array<std::uint64_t, kProblemKinds> problemCount{};
  std::vector<Problem> problems;  // by line
  std::vector<Silence> silences;
  std::uint64_t silenceCount = 0;
  std::array<std::uint64_t, recordings::kLineEnds> lineEnds{};
  std::uint64_t linesWithNul = 0;  // a sign of a binary file
  bool byteOrderMark = false;
  bool header = false;  // the first line names the columns
  std::array<NoteCount, kNoteKinds> notes{};
  std::array<std::uint64_t, kGapBuckets> gapBuckets{};

  std::uint64_t problemTotal() const noexcept;
  bool clean() const noexcept { return error.empty() && problemTotal() == 0 && silenceCount == 0; }
};

class RecordingCheck {
 public:
  // clock: the stamps' time line of the files read before, for a file that
  // goes on where they end; none: the file's own.
  RecordingCheck(std::string path, const CheckOptions& options, zone::StampsToUtc* clock = nullptr);
  void add(const recordings::Line& line);
  // Takes as many whole rows as bytes begins with that are of the current
  // pair and its decimals, plainly written (core/row_format's PlainRowReader),
  // and returns how many bytes they
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
    bool next(std::int64_t price, std::uint64_t line, Found& found);
    // Goes on in points of `tens` more decimals, as if it had watched the
    // prices so far in them.
    void rescale(std::int32_t tens) noexcept;

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

  // What is judged per symbol: its prices' decimals (the most seen so far,
  // the unit of its points), its row before and its spikes.
  struct SymbolState {
    std::string pair;
    std::uint64_t rows = 0;
    PairUnit unit;  // of its points
    double scale = 1;  // 10^-(the unit's decimals)
    // Its rows by the fewer decimals of their two prices: those of other
    // decimals than its unit make its digits note.
    std::vector<std::pair<std::int32_t, NoteCount>> rowsByDigits;
    bool havePrevious = false;
    std::int64_t previousMs = 0, previousUtc = 0;
    std::int64_t hourStart = 0;  // of the clock hour whose ticks are being counted
    std::uint64_t hourTicks = 0;
    std::uint64_t previousLine = 0;
    std::uint64_t previousBid = 0, previousAsk = 0;
    SpikeWatch bidSpikes, askSpikes;
    FileReport::Symbol* report = nullptr;  // its entry in the report's symbols, if it has one
  };

  void problem(ProblemKind kind, std::uint64_t line, std::string text, std::int64_t ms = kNoTime);
  void note(NoteKind kind, std::uint64_t line);
  void bad(ProblemKind kind, const recordings::Line& line, std::string text);
  void switchPair(std::string_view pair, std::uint64_t line);
  static NoteCount& rowsOfDigits(SymbolState& s, std::int32_t digits);
  static void countDigits(NoteCount& rows, std::uint64_t line) {
    if (rows.count++ < kNoteLinesKept) rows.lines.push_back(line);
  }
  static void changeUnit(SymbolState& s, bool first, std::int32_t before, bool setAnew);
  void tick(std::uint64_t line, const RowFields& f, std::int64_t ms, const Price& bid, const Price& ask);
  void fileRow(std::uint64_t line, const RowFields& f, std::int64_t ms, std::int64_t utc);
  void pairOrder(const SymbolState& s, std::uint64_t line, const RowFields& f, std::int64_t ms, std::int64_t utc,
                 const Price& bid, const Price& ask);
  void pairFigures(SymbolState& s, std::uint64_t line, const RowFields& f, std::int64_t ms, const Price& bid, const Price& ask);
  void spike(const char* side, const SpikeWatch::Found& found, std::int64_t ms);

  CheckOptions options_;
  FileReport report_;
  LineJudge judge_;
  StampReader& stamps_ = judge_.stamps();
  PlainRowReader plainRows_;
  bool cutLine_ = false;

  // Every symbol seen, in order, found by its pair; and the current one.
  struct PairHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view pair) const noexcept { return std::hash<std::string_view>{}(pair); }
  };
  std::vector<std::unique_ptr<SymbolState>> symbols_;
  std::unordered_map<std::string, SymbolState*, PairHash, std::equal_to<>> byPair_;
  SymbolState* current_ = nullptr;

  std::int64_t shortestGapMs_;  // below it, a pause is neither a silence nor in a gap bucket
  // The row before, of any symbol.
  bool havePrevious_ = false;
  std::int64_t previousMs_ = 0, previousUtc_ = 0;
  std::optional<zone::StampsToUtc> ownClock_;
  zone::StampsToUtc* clock_ = nullptr;  // null: the stamps are UTC
  std::uint64_t lastSpikeLine_ = 0;

};

// Files of one symbol checked together, as one recording cut into pieces,
// for each symbol: its files put in the order of their first stamps, the
// silence from each file's last row to the next one's first counts (in the
// later file's report, as its first silence), and a file that starts before
// the one before it ends is an overlap. Files of several symbols or none
// stay as they are.
void checkAcrossFiles(std::vector<FileReport>& reports, const CheckOptions& options);

// Checks the file at path ("-": standard input) from start to end; clock as
// for RecordingCheck.
FileReport checkFile(const std::string& path, const CheckOptions& options, zone::StampsToUtc* clock = nullptr);
// The same for bytes in memory (the tests' way in), read in blocks of up to
// `block` bytes.
FileReport checkBytes(std::string_view bytes, const std::string& path, const CheckOptions& options,
                      std::size_t block = recordings::LineReader::kBlock, zone::StampsToUtc* clock = nullptr);

}  // namespace orv::check
