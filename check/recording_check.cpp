#include "check/recording_check.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "check/files.h"
#include "check/texts.h"
#include "gzip/gzip_stream.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

// For the few functions every row passes through.
#if defined(__GNUC__)
#define ORV_ALWAYS_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define ORV_ALWAYS_INLINE __forceinline
#else
#define ORV_ALWAYS_INLINE inline
#endif

namespace orv::check {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMinutesPerWeek = 7 * 1440;
constexpr int kThursday = 4;  // 1970-01-01, minutes from Sunday 00:00 / 1440

std::uint64_t distance(std::int64_t a, std::int64_t b) noexcept {
  return a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
               : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
}

std::string decimalsText(const Price& p) { return std::to_string(p.digits) + (p.digits == 1 ? " decimal" : " decimals"); }

}  // namespace

std::string_view kindName(ProblemKind kind) noexcept {
  static constexpr std::string_view kNames[kProblemKinds] = {"torn", "order", "duplicate", "crossed", "spike", "unparsable"};
  return kNames[static_cast<std::size_t>(kind)];
}

std::int64_t closedMs(const WeeklyClose& close, std::int64_t fromUtcMs, std::int64_t toUtcMs) noexcept {
  const std::int64_t lengthMin = floorMod(close.openMinute - close.closeMinute, kMinutesPerWeek);
  if (close.none || lengthMin == 0 || toUtcMs <= fromUtcMs) return 0;
  const std::int64_t week = kMinutesPerWeek * kMsPerMinute, length = lengthMin * kMsPerMinute;
  // The first close after 1970-01-01 00:00 (a Thursday), and the closed time before t.
  const std::int64_t firstClose = floorMod(close.closeMinute - kThursday * 1440, kMinutesPerWeek) * kMsPerMinute;
  const auto closedBefore = [&](std::int64_t t) {
    return floorDiv(t - firstClose, week) * length + std::min(length, floorMod(t - firstClose, week));
  };
  return closedBefore(toUtcMs) - closedBefore(fromUtcMs);
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

RecordingCheck::RecordingCheck(std::string path, const CheckOptions& options) : options_(options) {
  report_.path = std::move(path);
}

void RecordingCheck::problem(ProblemKind kind, std::uint64_t line, std::string text, std::int64_t ms) {
  const auto k = static_cast<std::size_t>(kind);
  if (report_.problemCount[k]++ < kKeptPerKind) report_.problems.push_back({kind, line, std::move(text), ms});
}

// A line that is no row: counted once, as torn when it is the cut-off last line.
void RecordingCheck::bad(ProblemKind kind, const Line& line, std::string text) {
  if (std::memchr(line.text.data(), '\0', line.text.size()) != nullptr) ++report_.linesWithNul;
  if (!cutLine_) problem(kind, line.number, std::move(text));
}

void RecordingCheck::switchPair(std::string_view pair, std::uint64_t line) {
  if (havePair_) {
    if (digits_) {
      auto known = std::find_if(pairDigits_.begin(), pairDigits_.end(), [&](const auto& p) { return p.first == pair_; });
      if (known != pairDigits_.end())
        known->second = *digits_;
      else if (pairDigits_.size() < kKeptPairs)
        pairDigits_.emplace_back(pair_, *digits_);
    }
    if (report_.symbolChangeCount++ < kKeptSymbolChanges)
      report_.symbolChanges.push_back({line, pair_, std::string(pair)});
  }
  pair_.assign(pair);
  havePair_ = true;
  pairMask_ = pair_.size() >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * pair_.size())) - 1;
  pairWord_ = 0;
  std::memcpy(&pairWord_, pair_.data(), std::min<std::size_t>(pair_.size(), 8));
  digits_.reset();
  auto known = std::find_if(pairDigits_.begin(), pairDigits_.end(), [&](const auto& p) { return p.first == pair_; });
  if (known != pairDigits_.end()) {
    digits_ = known->second;
    scale_ = std::pow(10.0, -*digits_);
  }
  if (report_.pairs.size() < kKeptPairs && std::find(report_.pairs.begin(), report_.pairs.end(), pair_) == report_.pairs.end())
    report_.pairs.push_back(pair_);
  bidSpikes_ = SpikeWatch();
  askSpikes_ = SpikeWatch();
  shape_ = RowShape{};
  previousSamePair_ = false;
}

void RecordingCheck::add(const Line& line) {
  ++report_.lineEnds[static_cast<std::size_t>(line.end)];
  report_.lines = line.number;
  std::string_view text = line.text;
  if (line.number == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
    report_.byteOrderMark = true;
  }
  if (line.end == LineEnd::None) {
    problem(ProblemKind::Torn, line.number, "the last line has no line end, so its row may be cut off: " + quoted(text));
    cutLine_ = true;
  }
  if (line.overlong) {
    bad(ProblemKind::Torn, line,
        "a line of " + std::to_string(line.length) + " bytes, far longer than any row: " + quoted(text, 40));
    return;
  }
  if (text.empty()) {
    bad(ProblemKind::Torn, line, "an empty line");
    return;
  }
  RowFields f;
  if (!splitter_.split(text, f)) {
    if (f.count != 4)
      bad(ProblemKind::Torn, line,
          std::to_string(f.count) + (f.count == 1 ? " field" : " fields") + " where a row has 4 (pair,time,bid,ask): " + quoted(text));
    else
      bad(ProblemKind::Unparsable, line, "quotes that do not open or close a field: " + quoted(text));
    return;
  }
  std::int64_t ms = 0;
  if (!stamps_.read(f.stamp, ms)) {
    bad(ProblemKind::Unparsable, line, "time " + quoted(f.stamp, 40) + " is not of the form YYYYMMDD HH:MM:SS.mmm");
    return;
  }
  Price bid, ask;
  const bool bidRead = parsePrice(f.bid, bid);
  if (!bidRead || !parsePrice(f.ask, ask)) {
    bad(ProblemKind::Unparsable, line,
        std::string(bidRead ? "ask " : "bid ") + quoted(bidRead ? f.ask : f.bid, 40) + " is not a price");
    return;
  }
  if (!havePair_ || f.pair != pair_) switchPair(f.pair, line.number);
  if (!digits_) {
    if (bid.digits != ask.digits) {
      bad(ProblemKind::Unparsable, line,
          "bid " + quoted(f.bid, 40) + " has " + decimalsText(bid) + ", ask " + quoted(f.ask, 40) + " " + decimalsText(ask));
      return;
    }
    digits_ = bid.digits;
    scale_ = std::pow(10.0, -bid.digits);
  } else if (bid.digits != *digits_ || ask.digits != *digits_) {
    const bool bidOff = bid.digits != *digits_;
    bad(ProblemKind::Unparsable, line,
        std::string(bidOff ? "bid " : "ask ") + quoted(bidOff ? f.bid : f.ask, 40) + " has " +
            decimalsText(bidOff ? bid : ask) + " where " + readable(pair_) + "'s prices have " + std::to_string(*digits_));
    return;
  }
  tick(line.number, f, ms, bid, ask);
}

// Inlined into the loop of addRows(), where nearly all rows pass.
ORV_ALWAYS_INLINE void RecordingCheck::tick(std::uint64_t n, const RowFields& f, std::int64_t ms, const Price& bid, const Price& ask) {
  FileReport& r = report_;
  if (r.rows++ == 0) {
    r.first.assign(f.stamp);
    r.firstLine = n;
    r.digits = *digits_;
  }
  r.lastLine = n;
  if (havePrevious_) {
    if (ms < previousMs_) {
      problem(ProblemKind::Order, n,
              "time goes back " + durationText(previousMs_ - ms) + ", from " + stampText(previousMs_) + " (line " +
                  std::to_string(previousLine_) + ") to " + std::string(f.stamp),
              ms);
    } else if (ms - previousMs_ > options_.gapMs) {
      const std::int64_t offset = options_.utcOffsetMs.value_or(0);
      const std::int64_t open = ms - previousMs_ - closedMs(options_.session, previousMs_ - offset, ms - offset);
      if (open > options_.gapMs && r.silenceCount++ < kKeptSilences)
        r.silences.push_back({n, stampText(previousMs_), std::string(f.stamp), previousMs_, ms, open});
    } else if (ms == previousMs_ && bid.points == previousBid_ && ask.points == previousAsk_ &&
               previousSamePair_) {
      problem(ProblemKind::Duplicate, n, "the same time and prices as line " + std::to_string(previousLine_), ms);
    }
  }
  if (bid.points >= ask.points) {
    if (bid.points == ask.points) {
      ++r.zeroSpreads;
      problem(ProblemKind::Crossed, n, "zero spread: bid and ask both " + readable(f.bid), ms);
    } else {
      problem(ProblemKind::Crossed, n, "bid " + readable(f.bid) + " above ask " + readable(f.ask), ms);
    }
  }
  const std::int64_t spread = static_cast<std::int64_t>(ask.points) - static_cast<std::int64_t>(bid.points);
  r.spread.add(spread);
  if (ms < hourStart_ || ms >= hourStart_ + 3600000 || hourTicks_ == 0) {
    if (hourTicks_ > 0) r.ticksPerHour.add(hourTicks_);
    hourStart_ = floorDiv(ms, 3600000) * 3600000;
    hourTicks_ = 0;
  }
  ++hourTicks_;
  r.chart.add(ms, static_cast<double>(bid.points) * scale_, static_cast<double>(ask.points) * scale_, spread);
  SpikeWatch::Found found;
  if (bidSpikes_.next(static_cast<std::int64_t>(bid.points), n, found)) spike("bid", found, ms);
  if (askSpikes_.next(static_cast<std::int64_t>(ask.points), n, found)) spike("ask", found, ms);

  havePrevious_ = true;
  previousSamePair_ = true;
  previousMs_ = ms;
  previousLine_ = n;
  previousBid_ = bid.points;
  previousAsk_ = ask.points;
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

namespace {

// memcmp() == 0 for the few bytes of a pair, without a call.
inline bool sameBytes(const char* a, const char* b, std::size_t n) noexcept {
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
// in the lowest byte); false when one of them is not a digit.
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

// Reads a price of exactly `digits` decimals ("1.08150") ending at `stop`,
// as parsePrice() and the decimals check take it; false for anything else
// (which the slow way then looks at). Reads up to 21 bytes from p, and moves
// p past the stop.
ORV_ALWAYS_INLINE bool fixedPrice(const char*& p, char stop, std::int32_t digits, Price& out) {
  std::uint64_t v = 0;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t notDot = w ^ 0x2E2E2E2E2E2E2E2EULL;
  const std::uint64_t dots = (notDot - 0x0101010101010101ULL) & ~notDot & 0x8080808080808080ULL;
  int dot = dots != 0 ? std::countr_zero(dots) / 8 : 8;  // where the first '.' is
  if (dot >= 1 && dot + digits <= 8) {
    // Up to 8 digits in all: the point taken out, the rest read at once.
    const std::uint64_t low = (std::uint64_t{1} << (8 * dot)) - 1;
    const std::uint64_t next = static_cast<unsigned char>(p[8]);
    if (!swarDigits((w & low) | (((w >> 8) | (next << 56)) & ~low), dot + digits, v)) return false;
  } else {
    // One digit at a time.
    unsigned d = 0;
    for (dot = 0; dot < 19 && (d = static_cast<unsigned char>(p[dot]) - 0x30u) <= 9; ++dot) v = v * 10 + d;
    if (dot == 0 || p[dot] != '.' || dot + digits > 18) return false;  // at most 18 digits
    for (int i = dot + 1; i <= dot + digits; ++i) {
      if ((d = static_cast<unsigned char>(p[i]) - 0x30u) > 9) return false;
      v = v * 10 + d;
    }
  }
  if (p[dot + 1 + digits] != stop) return false;
  p += dot + 2 + digits;
  out.points = v;
  out.digits = digits;
  return true;
}

}  // namespace

// Both prices of a row of the last row's shape: each with its point where
// the shape has it, exactly `digits` decimals, the bid followed by a comma.
ORV_ALWAYS_INLINE bool RecordingCheck::pricesOfShape(const char* bid, const char* ask, std::int32_t digits, Price& bidOut,
                                                     Price& askOut) const {
  const RowShape& s = shape_;
  if (bid[s.bidDot] != '.' || ask[-1] != ',' || ask[s.askDot] != '.') return false;
  const auto read = [digits](const char* p, int dot, Price& out) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t low = (std::uint64_t{1} << (8 * dot)) - 1;
    const std::uint64_t next = static_cast<unsigned char>(p[8]);
    out.digits = digits;
    return swarDigits((w & low) | (((w >> 8) | (next << 56)) & ~low), dot + digits, out.points);
  };
  return read(bid, s.bidDot, bidOut) && read(ask, s.askDot, askOut);
}

std::size_t RecordingCheck::addRows(std::string_view bytes, std::uint64_t& lineNumber) {
  // Only rows of the current pair, written plainly, with decimals.
  if (!havePair_ || !digits_ || *digits_ <= 0 || *digits_ > 18 || pair_.size() > 1000 ||
      pair_.find_first_of(",\"\r\n") != std::string::npos)
    return 0;
  const std::size_t pairSize = pair_.size();
  const std::int32_t digits = *digits_;
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* row = begin;
  RowFields f;
  f.pair = pair_;
  f.count = 4;
  std::uint64_t taken = 0;
  // The longest row of this pair: 21 bytes for each price with its separator.
  while (static_cast<std::size_t>(end - row) >= pairSize + 23 + 21 + 21 + 1) {
    if (pairSize <= 8) {
      std::uint64_t head;
      std::memcpy(&head, row, 8);
      if ((head & pairMask_) != pairWord_) break;
    } else if (!sameBytes(row, pair_.data(), pairSize)) {
      break;
    }
    if (row[pairSize] != ',' || row[pairSize + 22] != ',') break;
    f.stamp = std::string_view(row + pairSize + 1, 21);
    std::int64_t ms = 0;
    if (!stamps_.read(f.stamp, ms)) break;
    const char* const bidStart = row + pairSize + 23;
    Price bid, ask;
    RowShape& s = shape_;
    if (s.length > 0 && pricesOfShape(bidStart, row + s.askStart, digits, bid, ask) && row[s.length - 2] == '\r' &&
        row[s.length - 1] == '\n') {
      // The same shape as the row before: the next row's place known before this one is read.
      f.bid = std::string_view(bidStart, static_cast<std::size_t>(s.bidDot + 1 + digits));
      f.ask = std::string_view(row + s.askStart, static_cast<std::size_t>(s.askDot + 1 + digits));
    } else {
      const char* p = bidStart;
      if (!fixedPrice(p, ',', digits, bid)) break;
      f.bid = std::string_view(bidStart, static_cast<std::size_t>(p - 1 - bidStart));
      const char* askStart = p;
      if (!fixedPrice(p, '\r', digits, ask) || *p != '\n') break;
      f.ask = std::string_view(askStart, static_cast<std::size_t>(p - 1 - askStart));
      const int bidDot = static_cast<int>(f.bid.size()) - 1 - digits, askDot = static_cast<int>(f.ask.size()) - 1 - digits;
      s = bidDot + digits <= 8 && askDot + digits <= 8
              ? RowShape{bidDot, static_cast<int>(askStart - row), askDot, static_cast<int>(p + 1 - row)}
              : RowShape{};
    }
    tick(++lineNumber, f, ms, bid, ask);
    ++taken;
    row = f.ask.data() + f.ask.size() + 2;  // past its CR LF
  }
  report_.lineEnds[static_cast<std::size_t>(LineEnd::CrLf)] += taken;
  if (taken > 0) report_.lines = lineNumber;
  return static_cast<std::size_t>(row - begin);
}

FileReport RecordingCheck::finish(std::uint64_t bytes) {
  if (hourTicks_ > 0) report_.ticksPerHour.add(hourTicks_);
  hourTicks_ = 0;
  if (report_.rows > 0) report_.last = stampText(previousMs_);
  report_.bytes = bytes;
  std::stable_sort(report_.problems.begin(), report_.problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  return std::move(report_);
}

// ---------------------------------------------------------------------------

namespace {

FileReport checkWith(LineReader& reader, const std::string& path, const CheckOptions& options) {
  RecordingCheck check(path, options);
  Line line;
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

FileReport checkFile(const std::string& path, const CheckOptions& options) {
  const bool standardInput = path == "-";
  std::FILE* file = standardInput ? stdin : openFile(path, "rb");
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
  // A compressed recording (.csv.gz) is read as its rows, the same way.
  LineReader reader(gzip::plainTextOf([file](char* buffer, std::size_t size, std::string& error) -> std::ptrdiff_t {
    const std::size_t got = std::fread(buffer, 1, size, file);
    if (got == 0 && std::ferror(file)) {
      error = std::strerror(errno);
      return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
  }));
  FileReport report = checkWith(reader, path, options);
  if (!standardInput) std::fclose(file);
  return report;
}

FileReport checkBytes(std::string_view bytes, const std::string& path, const CheckOptions& options, std::size_t block) {
  std::size_t at = 0;
  LineReader reader(gzip::plainTextOf([&](char* buffer, std::size_t size, std::string&) -> std::ptrdiff_t {
    const std::size_t n = std::min({size, block, bytes.size() - at});
    std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  }));
  return checkWith(reader, path, options);
}

}  // namespace orv::check
