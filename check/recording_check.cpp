#include "check/recording_check.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "recordings/files.h"
#include "report/texts.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orv::check {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMinutesPerWeek = 7 * 1440;

std::uint64_t distance(std::int64_t a, std::int64_t b) noexcept {
  return a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
               : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
}

std::string decimalsText(std::int32_t digits) { return std::to_string(digits) + (digits == 1 ? " decimal" : " decimals"); }

}  // namespace

std::string_view kindName(ProblemKind kind) noexcept {
  static constexpr std::string_view kNames[kProblemKinds] = {"torn", "order", "crossed", "spike", "unparsable", "overlap"};
  return kNames[static_cast<std::size_t>(kind)];
}

std::string_view kindName(NoteKind kind) noexcept {
  static constexpr std::string_view kNames[kNoteKinds] = {"repeat", "zero spread", "unended last row", "skipped-hour stamp"};
  return kNames[static_cast<std::size_t>(kind)];
}

zone::Zone newYork() {
  static const zone::Zone zone = [] {
    std::string error;
    return zone::findZone("America/New_York", error);
  }();
  return zone;
}

std::int64_t closedMs(const WeeklyClose& close, std::int64_t fromUtcMs, std::int64_t toUtcMs) {
  if (close.none || close.closeMinute == close.openMinute || toUtcMs <= fromUtcMs) return 0;
  constexpr std::int64_t kWeek = kMinutesPerWeek * kMsPerMinute;
  constexpr std::int64_t kFirstSunday = 3 * kMsPerDay;  // 1970-01-04
  constexpr std::int64_t kExactWeeks = 500;             // either end
  const auto utc = [&](std::int64_t local) { return close.zone ? zone::utcOf(*close.zone, local) : local; };
  const std::int64_t lengthMs = floorMod(close.openMinute - close.closeMinute, kMinutesPerWeek) * kMsPerMinute;
  const std::int64_t localFrom = close.zone ? zone::localOf(*close.zone, fromUtcMs) : fromUtcMs;
  // Each close from the one that starts in the week before `from`'s, on the zone's clock.
  std::int64_t week = floorDiv(localFrom - kFirstSunday, kWeek) * kWeek + kFirstSunday - kWeek;
  std::int64_t total = 0;
  for (std::int64_t n = 0;; ++n, week += kWeek) {
    if (n == kExactWeeks && toUtcMs - fromUtcMs > 3 * kExactWeeks * kWeek) {
      // Far from both ends: whole weeks as the clock reads them.
      const std::int64_t skipped = floorDiv(toUtcMs - week, kWeek) - kExactWeeks;
      total += skipped * lengthMs;
      week += skipped * kWeek;
    }
    const std::int64_t closeLocal = week + close.closeMinute * kMsPerMinute;
    const std::int64_t closes = utc(closeLocal);
    if (closes >= toUtcMs) break;
    const std::int64_t opens = utc(closeLocal + lengthMs);
    total += std::max<std::int64_t>(0, std::min(opens, toUtcMs) - std::max(closes, fromUtcMs));
  }
  return total;
}

std::uint64_t FileReport::problemTotal() const noexcept {
  std::uint64_t total = 0;
  for (std::uint64_t n : problemCount) total += n;
  return total;
}

// ---------------------------------------------------------------------------

// The median of the first n sizes of this block (n at least 1), at least 1;
// of 64 of them, evenly spread, when there are more.
std::uint64_t RecordingCheck::SpikeWatch::medianOfBlock(std::size_t n) {
  std::array<std::uint32_t, 64> sample{};
  const std::size_t k = std::min(n, sample.size());
  for (std::size_t i = 0; i < k; ++i) sample[i] = block_[i * n / k];
  const auto middle = sample.begin() + static_cast<std::ptrdiff_t>((k - 1) / 2);
  std::nth_element(sample.begin(), middle, sample.begin() + static_cast<std::ptrdiff_t>(k));
  return std::max<std::uint64_t>(1, *middle);
}

void RecordingCheck::SpikeWatch::endBlock() {
  usual_ = medianOfBlock(kSpikeBlock);
  inBlock_ = 0;
}

bool RecordingCheck::SpikeWatch::judge(std::int64_t price, std::int64_t move, std::uint64_t size, std::uint64_t line,
                                       Found& found) {
  bool spotted = false;
  if (pending_.active) {
    ++pending_.seen;
    if (4 * distance(price, pending_.before) <= distance(pending_.jump, 0)) {
      found = {pending_.line, pending_.jump, pending_.usual, pending_.seen};
      spotted = true;
      pending_.active = false;
    } else if (pending_.seen >= kSpikeReturnTicks) {
      pending_.active = false;
    }
  }
  if (size > kSpikeFactor && !spotted && !pending_.active) {
    const std::uint64_t usual = usual_ > 0 ? usual_ : inBlock_ >= kSpikeMinMoves ? medianOfBlock(inBlock_) : 0;
    if (usual > 0 && size > kSpikeFactor * usual) pending_ = {true, line, price - move, move, usual, 0};
  }
  return spotted;
}

// ---------------------------------------------------------------------------

RecordingCheck::RecordingCheck(std::string path, const CheckOptions& options, zone::StampsToUtc* clock)
    : options_(options), shortestGapMs_(std::min(options.gapMs, kGapBucketsMs[0])) {
  report_.path = std::move(path);
  if (options.from) clock_ = clock != nullptr ? clock : &ownClock_.emplace(options.from);
}

void RecordingCheck::problem(ProblemKind kind, std::uint64_t line, std::string text, std::int64_t ms) {
  const auto k = static_cast<std::size_t>(kind);
  if (report_.problemCount[k]++ < kKeptPerKind) report_.problems.push_back({kind, line, std::move(text), ms});
}

// A line that is no row.
void RecordingCheck::bad(ProblemKind kind, const recordings::Line& line, std::string text) {
  if (std::memchr(line.text.data(), '\0', line.text.size()) != nullptr) ++report_.linesWithNul;
  problem(kind, line.number, std::move(text));
}

void RecordingCheck::note(NoteKind kind, std::uint64_t line) {
  NoteCount& n = report_.notes[static_cast<std::size_t>(kind)];
  if (n.count++ < kNoteLinesKept) n.lines.push_back(line);
}

void RecordingCheck::switchPair(std::string_view pair, std::uint64_t line) {
  if (current_ != nullptr && report_.symbolChangeCount++ < kKeptSymbolChanges)
    report_.symbolChanges.push_back({line, current_->pair, std::string(pair)});
  if (const auto known = byPair_.find(pair); known != byPair_.end()) {
    current_ = known->second;
    return;
  }
  current_ = symbols_.emplace_back(std::make_unique<SymbolState>()).get();
  current_->pair.assign(pair);
  byPair_.emplace(current_->pair, current_);
  if (symbols_.size() <= kKeptPairs) {
    report_.symbols.emplace_back();  // never moves: a deque grows at its end
    current_->report = &report_.symbols.back();
    current_->report->pair = current_->pair;
  }
}

void RecordingCheck::add(const recordings::Line& line) {
  ++report_.lineEnds[static_cast<std::size_t>(line.end)];
  report_.lines = line.number;
  LineRead read;
  const RowFields& f = read.fields;
  const LineIs is = judge_.judge(line.text, {line.number == 1, line.overlong, line.end != recordings::LineEnd::None}, read);
  const std::string_view text = read.text;
  report_.byteOrderMark |= read.byteOrderMark;
  switch (is) {
    case LineIs::Row: break;
    case LineIs::Header: report_.header = true; return;
    case LineIs::Empty: bad(ProblemKind::Torn, line, "an empty line"); return;
    case LineIs::Overlong:
      bad(ProblemKind::Torn, line,
          "a line of " + std::to_string(line.length) + " bytes, far longer than any row: " + quoted(text, 40));
      return;
    case LineIs::Cut:
      cutLine_ = true;
      bad(ProblemKind::Torn, line, "the last line has no line end and is no whole row: it was cut off: " + quoted(text));
      return;
    case LineIs::NotFourFields:
      bad(ProblemKind::Torn, line,
          std::to_string(f.count) + (f.count == 1 ? " field" : " fields") + " where a row has 4 (pair,time,bid,ask): " + quoted(text));
      return;
    case LineIs::BadQuotes: bad(ProblemKind::Unparsable, line, "quotes that do not open or close a field: " + quoted(text)); return;
    case LineIs::NoPair: bad(ProblemKind::Unparsable, line, "no pair before the time: " + quoted(text)); return;
    case LineIs::BadStamp:
      bad(ProblemKind::Unparsable, line, "time " + quoted(f.stamp, 40) + " is not of the form YYYYMMDD HH:MM:SS.mmm");
      return;
    case LineIs::BadBid: bad(ProblemKind::Unparsable, line, "bid " + quoted(f.bid, 40) + " is not a price"); return;
    case LineIs::BadAsk: bad(ProblemKind::Unparsable, line, "ask " + quoted(f.ask, 40) + " is not a price"); return;
  }
  if (line.end == recordings::LineEnd::None) note(NoteKind::UnendedLastRow, line.number);
  Price bid = read.bid, ask = read.ask;
  if (current_ == nullptr || f.pair != current_->pair) switchPair(f.pair, line.number);
  SymbolState& s = *current_;
  const bool first = !s.unit.any();
  const std::int32_t unitBefore = s.unit.digits();
  const std::uint32_t restartsBefore = s.unit.restarts();
  const bool taken = s.unit.take(bid, ask);
  if (first || s.unit.digits() != unitBefore) changeUnit(s, first, unitBefore, s.unit.restarts() != restartsBefore);
  if (!taken) {
    std::int64_t utc = 0;
    if (clock_ != nullptr) clock_->utcOf(read.ms, utc);  // on the recording's time line all the same
    bad(ProblemKind::Unparsable, line, "prices of " + decimalsText(std::min(read.bid.digits, read.ask.digits)) + " and " +
                                           decimalsText(std::max(read.bid.digits, read.ask.digits)) + " where " +
                                           readable(s.pair) + "'s have " + std::to_string(s.unit.digits()) +
                                           ": too far apart to compare");
    return;
  }
  priceInDigits(bid, s.unit.digits());  // they fit: the unit took them
  priceInDigits(ask, s.unit.digits());
  countDigits(rowsOfDigits(s, std::min(read.bid.digits, read.ask.digits)), line.number);
  tick(line.number, f, read.ms, bid, ask);
}

NoteCount& RecordingCheck::rowsOfDigits(SymbolState& s, std::int32_t digits) {
  for (auto& [d, rows] : s.rowsByDigits)
    if (d == digits) return rows;
  return s.rowsByDigits.emplace_back(digits, NoteCount{}).second;
}

// The pair's prices from now on in points of its unit's decimals: what was
// kept of the rows before (its row before, its spread figures and chart) is
// put in them, so its figures are in the one unit. Raised, that is exact,
// and its spike watch goes on; set anew (a plain row after exponent rows),
// the rows before are cut to the new unit, and spikes are watched afresh.
void RecordingCheck::changeUnit(SymbolState& s, bool first, std::int32_t before, bool setAnew) {
  const std::int32_t digits = s.unit.digits();
  s.scale = std::pow(10.0, -static_cast<double>(digits));
  if (s.report != nullptr) s.report->digits = digits;
  if (first) return;
  // Beyond 20 either way every point saturates or is cut off alike.
  const auto tens = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{digits} - before, -40, 40));
  s.previousBid = timesTenTo(s.previousBid, tens);
  s.previousAsk = timesTenTo(s.previousAsk, tens);
  if (setAnew) {
    s.bidSpikes = {};
    s.askSpikes = {};
  } else {
    s.bidSpikes.rescale(tens);
    s.askSpikes.rescale(tens);
  }
  if (s.report != nullptr) {
    s.report->spread.rescale(tens);
    s.report->chart.rescaleSpreads(tens);
  }
}

// Exact: it keeps prices, differences of prices and sizes of moves (cut at
// 32 bits, as they are kept), each simply multiplied.
void RecordingCheck::SpikeWatch::rescale(std::int32_t tens) noexcept {
  // 10^tens: the pair's unit has seen its prices fit in the finer points.
  const std::uint64_t factor = timesTenTo(1, tens);
  const auto price = [factor](std::int64_t p) { return static_cast<std::int64_t>(static_cast<std::uint64_t>(p) * factor); };
  const auto size = [tens](std::uint64_t n) { return std::min<std::uint64_t>(timesTenTo(n, tens), 0xFFFFFFFFu); };
  for (std::uint32_t i = 0; i < inBlock_; ++i) block_[i] = static_cast<std::uint32_t>(size(block_[i]));
  usual_ = size(usual_);
  previous_ = price(previous_);
  pending_.before = price(pending_.before);
  pending_.jump = price(pending_.jump);
  pending_.usual = size(pending_.usual);
}

// Inlined into tick(), as every row's prices pass it.
ORV_ALWAYS_INLINE bool RecordingCheck::SpikeWatch::next(std::int64_t price, std::uint64_t line, Found& found) {
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

// One row taken, in three jobs: the file's rows and silences, whatever the
// pair; the order of the pair's instants and prices; the pair's figures.
// Inlined into the loop of addRows(), where nearly all rows pass.
ORV_ALWAYS_INLINE void RecordingCheck::tick(std::uint64_t n, const RowFields& f, std::int64_t ms, const Price& bid, const Price& ask) {
  SymbolState& s = *current_;
  std::int64_t utc = ms;
  if (clock_ != nullptr && !clock_->utcOf(ms, utc)) note(NoteKind::SkippedHour, n);
  fileRow(n, f, ms, utc);
  pairOrder(s, n, f, ms, utc, bid, ask);
  pairFigures(s, n, f, ms, bid, ask);
  s.havePrevious = true;
  s.previousMs = ms;
  s.previousUtc = utc;
  s.previousLine = n;
  s.previousBid = bid.points;
  s.previousAsk = ask.points;
}

ORV_ALWAYS_INLINE void RecordingCheck::fileRow(std::uint64_t n, const RowFields& f, std::int64_t ms, std::int64_t utc) {
  FileReport& r = report_;
  if (r.rows++ == 0) {
    r.first.assign(f.stamp);
    r.firstLine = n;
    r.firstMs = ms;
    r.firstUtcMs = utc;
  }
  r.lastLine = n;
  if (havePrevious_ && utc - previousUtc_ > shortestGapMs_) {
    // A silence of the file, whatever the symbol.
    const std::int64_t open = utc - previousUtc_ - closedMs(options_.session, previousUtc_, utc);
    for (std::size_t b = 0; b < kGapBuckets; ++b) r.gapBuckets[b] += open > kGapBucketsMs[b];
    if (open > options_.gapMs && r.silenceCount++ < kKeptSilences)
      r.silences.push_back({n, stampText(previousMs_), std::string(f.stamp), previousMs_, ms, open, {}});
  }
  havePrevious_ = true;
  previousMs_ = ms;
  previousUtc_ = utc;
}

// Against the pair's row before: time going back, a repeat; and the row's own bid against its ask.
ORV_ALWAYS_INLINE void RecordingCheck::pairOrder(const SymbolState& s, std::uint64_t n, const RowFields& f, std::int64_t ms,
                                                 std::int64_t utc, const Price& bid, const Price& ask) {
  if (s.havePrevious) {
    if (utc < s.previousUtc) {
      problem(ProblemKind::Order, n,
              "time goes back " + durationText(s.previousUtc - utc) + ", from " + stampText(s.previousMs) + " (line " +
                  std::to_string(s.previousLine) + ") to " + std::string(f.stamp),
              ms);
    } else if (utc == s.previousUtc && bid.points == s.previousBid && ask.points == s.previousAsk) {
      note(NoteKind::Repeat, n);
    }
  }
  if (bid.points >= ask.points) {
    if (bid.points == ask.points)
      note(NoteKind::ZeroSpread, n);
    else
      problem(ProblemKind::Crossed, n, "bid " + readable(f.bid) + " above ask " + readable(f.ask), ms);
  }
}

// Its rows, spreads, ticks per hour and chart, and its spikes.
ORV_ALWAYS_INLINE void RecordingCheck::pairFigures(SymbolState& s, std::uint64_t n, const RowFields& f, std::int64_t ms,
                                                   const Price& bid, const Price& ask) {
  ++s.rows;
  if (s.report != nullptr) {
    FileReport::Symbol& pair = *s.report;
    if (pair.rows++ == 0) pair.first.assign(f.stamp);
    const std::int64_t spread = spreadInUnit(bid, ask, s.unit.digits());
    pair.spread.add(spread);
    if (ms < s.hourStart || ms >= s.hourStart + 3600000 || s.hourTicks == 0) {
      if (s.hourTicks > 0) pair.ticksPerHour.add(s.hourTicks);
      s.hourStart = floorDiv(ms, 3600000) * 3600000;
      s.hourTicks = 0;
    }
    ++s.hourTicks;
    pair.chart.add(ms, static_cast<double>(bid.points) * s.scale, static_cast<double>(ask.points) * s.scale, spread);
  }
  SpikeWatch::Found found;
  if (s.bidSpikes.next(static_cast<std::int64_t>(bid.points), n, found)) spike("bid", found, ms);
  if (s.askSpikes.next(static_cast<std::int64_t>(ask.points), n, found)) spike("ask", found, ms);
}

void RecordingCheck::spike(const char* side, const SpikeWatch::Found& s, std::int64_t ms) {
  if (s.line == lastSpikeLine_) return;  // both sides of one spike
  lastSpikeLine_ = s.line;
  const std::uint64_t size = distance(s.jump, 0);
  problem(ProblemKind::Spike, s.line,
          std::string(side) + (s.jump > 0 ? " jumps up " : " drops ") + std::to_string(size) + " points, " +
              std::to_string(size / s.usual) + " times its usual move of " + std::to_string(s.usual) +
              ", and is back " + std::to_string(s.after) + (s.after == 1 ? " tick" : " ticks") + " later",
          ms);
}

std::size_t RecordingCheck::addRows(std::string_view bytes, std::uint64_t& lineNumber) {
  // Only rows of the current pair with its decimals, written plainly.
  if (current_ == nullptr || !current_->unit.any()) return 0;
  SymbolState& symbol = *current_;
  const std::int32_t digits = symbol.unit.digits();
  NoteCount& rowsOfPairDigits = rowsOfDigits(symbol, digits);
  RowFields f;
  f.count = 4;
  PlainRow row;
  std::uint64_t taken = 0, lfOnly = 0;
  std::string_view rest = bytes;
  // A row of the shape of the one taken before it is of the same pair and decimals.
  for (bool takenBefore = false; plainRows_.read(rest, row); takenBefore = true) {
    if (!(row.sameShape && takenBefore) &&
        (row.bidPrice.digits != digits || row.askPrice.digits != digits || row.pair.size() != symbol.pair.size() ||
         !sameBytes(row.pair.data(), symbol.pair.data(), row.pair.size())))
      break;
    std::int64_t ms = 0;
    if (!stamps_.read(row.stamp, ms)) break;
    f.pair = row.pair;
    f.stamp = row.stamp;
    f.bid = row.bid;
    f.ask = row.ask;
    tick(++lineNumber, f, ms, row.bidPrice, row.askPrice);
    if (rowsOfPairDigits.lines.size() < kNoteLinesKept) rowsOfPairDigits.lines.push_back(lineNumber);
    ++taken;
    lfOnly += row.ask.data()[row.ask.size()] == '\n';
    rest.remove_prefix(row.size);
  }
  rowsOfPairDigits.count += taken;
  // Rows of the unit's decimals: it keeps only the last as its row before.
  if (taken > 0) symbol.unit.take(Price{symbol.previousBid, digits}, Price{symbol.previousAsk, digits});
  report_.lineEnds[static_cast<std::size_t>(recordings::LineEnd::CrLf)] += taken - lfOnly;
  report_.lineEnds[static_cast<std::size_t>(recordings::LineEnd::Lf)] += lfOnly;
  if (taken > 0) report_.lines = lineNumber;
  return bytes.size() - rest.size();
}

FileReport RecordingCheck::finish(std::uint64_t bytes) {
  report_.pairs.reserve(symbols_.size());
  for (const auto& symbol : symbols_) {
    report_.pairs.push_back({symbol->pair, symbol->rows});
    if (symbol->report == nullptr) continue;
    if (symbol->hourTicks > 0) symbol->report->ticksPerHour.add(symbol->hourTicks);
    symbol->hourTicks = 0;
    if (symbol->havePrevious) symbol->report->last = stampText(symbol->previousMs);
    // Rows of other decimals than the pair's unit, their first lines in order.
    NoteCount& other = symbol->report->otherDigits;
    for (const auto& [digits, rows] : symbol->rowsByDigits) {
      if (digits == symbol->unit.digits()) continue;
      symbol->report->someFiner |= digits > symbol->unit.digits();
      other.count += rows.count;
      other.lines.insert(other.lines.end(), rows.lines.begin(), rows.lines.end());
    }
    std::sort(other.lines.begin(), other.lines.end());
    if (other.lines.size() > kNoteLinesKept) other.lines.resize(kNoteLinesKept);
  }
  const std::uint64_t faulty = report_.problemCount[static_cast<std::size_t>(ProblemKind::Torn)] +
                               report_.problemCount[static_cast<std::size_t>(ProblemKind::Unparsable)] - cutLine_;
  if (notARecording(report_.rows, faulty)) {
    report_.error = quoted(report_.path, 200) + " is not a recording: none of its " + plural(report_.lines, "line", "lines") +
                    " is a row of the form pair,YYYYMMDD HH:MM:SS.mmm,bid,ask" +
                    (report_.linesWithNul > 0 ? "; " + plural(report_.linesWithNul, "line holds", "lines hold") +
                                                     " NUL bytes: a binary file, or one damaged by a crash"
                                              : std::string());
    report_.notARecording = true;
    report_.problemCount = {};
    report_.problems.clear();
  }
  if (report_.rows > 0) report_.last = stampText(previousMs_);
  report_.lastMs = previousMs_;
  report_.lastUtcMs = previousUtc_;
  report_.bytes = bytes;
  std::stable_sort(report_.problems.begin(), report_.problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  return std::move(report_);
}

// ---------------------------------------------------------------------------

namespace {

// One symbol's files (their indexes in reports), as one recording.
void checkFilesOfOneSymbol(std::vector<FileReport>& reports, const std::vector<std::size_t>& group, const CheckOptions& options) {
  if (group.size() < 2) return;
  std::vector<FileReport> sorted;
  for (std::size_t i : group) sorted.push_back(std::move(reports[i]));
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const FileReport& a, const FileReport& b) { return a.firstUtcMs < b.firstUtcMs; });
  for (std::size_t k = 1; k < sorted.size(); ++k) {
    const FileReport& before = sorted[k - 1];
    FileReport& r = sorted[k];
    if (r.firstUtcMs < before.lastUtcMs) {
      const auto at = std::upper_bound(r.problems.begin(), r.problems.end(), r.firstLine,
                                       [](std::uint64_t line, const Problem& p) { return line < p.line; });
      if (r.problemCount[static_cast<std::size_t>(ProblemKind::Overlap)]++ < kKeptPerKind)
        r.problems.insert(at, {ProblemKind::Overlap, r.firstLine,
                               "starts " + durationText(before.lastUtcMs - r.firstUtcMs) + " before " + quoted(before.path, 200) +
                                   " ends (" + r.first + " before " + before.last + "): the files overlap",
                               r.firstMs});
      continue;
    }
    const std::int64_t open =
        r.firstUtcMs - before.lastUtcMs - closedMs(options.session, before.lastUtcMs, r.firstUtcMs);
    for (std::size_t b = 0; b < kGapBuckets; ++b) r.gapBuckets[b] += open > kGapBucketsMs[b];
    if (open > options.gapMs) {
      ++r.silenceCount;
      r.silences.insert(r.silences.begin(),
                        {r.firstLine, before.last, r.first, before.lastMs, r.firstMs, open, before.path});
    }
  }
  for (std::size_t k = 0; k < group.size(); ++k) reports[group[k]] = std::move(sorted[k]);
}

}  // namespace

void checkAcrossFiles(std::vector<FileReport>& reports, const CheckOptions& options) {
  // Files read whole, each of one symbol, grouped by symbol, each group in the order of its first stamps.
  std::unordered_map<std::string, std::vector<std::size_t>> groups;
  std::vector<std::vector<std::size_t>*> inOrder;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const FileReport& r = reports[i];
    if (!r.error.empty() || r.rows == 0 || r.pairs.size() != 1) continue;
    std::vector<std::size_t>& group = groups[r.pairs[0].pair];
    if (group.empty()) inOrder.push_back(&group);
    group.push_back(i);
  }
  for (const std::vector<std::size_t>* group : inOrder) checkFilesOfOneSymbol(reports, *group, options);
}

namespace {

FileReport checkWith(recordings::LineReader& reader, const std::string& path, const CheckOptions& options,
                     zone::StampsToUtc* clock) {
  RecordingCheck check(path, options, clock);
  recordings::Line line;
  for (;;) {
    // Plain rows straight from the reader's buffer; anything else one line at a time.
    std::uint64_t lines = reader.linesRead();
    const std::size_t used = check.addRows(reader.buffered(), lines);
    reader.consume(used, lines - reader.linesRead());
    if (!reader.next(line)) break;
    check.add(line);
  }
  FileReport report = check.finish(reader.bytesRead());
  if (!reader.error().empty()) report.error = "cannot read " + quoted(path, 200) + " to its end: " + reader.error();
  return report;
}

}  // namespace

FileReport checkFile(const std::string& path, const CheckOptions& options, zone::StampsToUtc* clock) {
  const bool standardInput = path == "-";
  std::FILE* file = standardInput ? stdin : recordings::openFile(path, "rb");
  if (file == nullptr) {
    FileReport report;
    report.path = path;
    report.error = "cannot open " + quoted(path, 200) + ": " + std::strerror(errno);
    return report;
  }
#ifdef _WIN32
  if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::setvbuf(file, nullptr, _IONBF, 0);  // the reader's blocks are buffer enough
  recordings::LineReader reader([file](char* buffer, std::size_t size, std::string& error) -> std::ptrdiff_t {
    const std::size_t got = std::fread(buffer, 1, size, file);
    if (got == 0 && std::ferror(file)) {
      error = std::strerror(errno);
      return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
  });
  FileReport report = checkWith(reader, path, options, clock);
  if (!standardInput) std::fclose(file);
  return report;
}

FileReport checkBytes(std::string_view bytes, const std::string& path, const CheckOptions& options, std::size_t block,
                      zone::StampsToUtc* clock) {
  std::size_t at = 0;
  recordings::LineReader reader([&](char* buffer, std::size_t size, std::string&) -> std::ptrdiff_t {
    const std::size_t n = std::min({size, block, bytes.size() - at});
    std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  });
  return checkWith(reader, path, options, clock);
}

}  // namespace orv::check
