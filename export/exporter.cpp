#include "export/exporter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>

#include "recordings/files.h"
#include "core/file_name.h"
#include "core/option_reader.h"
#include "export/out_file.h"
#include "export/row_source.h"
#include "export/zip_file.h"

namespace orv::exporter {

namespace {

constexpr std::int64_t kMsPerMinute = 60000, kMsPerDay = 86400000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// ---- prices, compared and subtracted as written ----

// points scaled up by 10^by, saturating.
std::uint64_t scaled(std::uint64_t points, std::int64_t by) {
  for (; by > 0 && points != 0; --by) {
    if (points > std::numeric_limits<std::uint64_t>::max() / 10) return std::numeric_limits<std::uint64_t>::max();
    points *= 10;
  }
  return points;
}

// Both prices in points of the finer one.
void alike(const Price& a, const Price& b, std::uint64_t& pa, std::uint64_t& pb) {
  const std::int64_t digits = std::max(a.digits, b.digits);
  pa = scaled(a.points, digits - a.digits);
  pb = scaled(b.points, digits - b.digits);
}

bool above(const Price& bid, const Price& ask) {
  if (bid.digits == ask.digits) return bid.points > ask.points;
  std::uint64_t b = 0, a = 0;
  alike(bid, ask, b, a);
  return b > a;
}

// ---- the written clock ----

inline void put2(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}
inline void put3(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 100);
  put2(p + 1, v % 100);
}
inline void put4(char* p, unsigned v) {
  put2(p, v / 100);
  put2(p + 2, v % 100);
}

// A local time in fields, the date worked out once a day.
struct Clock {
  std::int64_t day = std::numeric_limits<std::int64_t>::min();
  int year = 0;
  unsigned month = 0, dayOfMonth = 0;
  char ymd[8] = {};  // "YYYYMMDD"
  std::int64_t msOfDay = 0;
  unsigned hour = 0, minute = 0, second = 0, milli = 0;

  std::int64_t secondStart = std::numeric_limits<std::int64_t>::max();  // of the second held

  void set(std::int64_t localMs) {
    // Rows of the same second as the row before: only the milliseconds are new.
    if (localMs >= secondStart && localMs - secondStart < 1000) {
      milli = static_cast<unsigned>(localMs - secondStart);
      msOfDay = secondStart - day * kMsPerDay + milli;
      return;
    }
    const std::int64_t d = floorDiv(localMs, kMsPerDay);
    if (d != day) {
      using namespace std::chrono;
      const year_month_day date{sys_days{days{d}}};
      day = d;
      year = static_cast<int>(date.year());
      month = static_cast<unsigned>(date.month());
      dayOfMonth = static_cast<unsigned>(date.day());
      put4(ymd, static_cast<unsigned>(year < 0 ? 0 : year > 9999 ? 9999 : year));
      put2(ymd + 4, month);
      put2(ymd + 6, dayOfMonth);
    }
    msOfDay = localMs - d * kMsPerDay;
    const unsigned ms = static_cast<unsigned>(msOfDay);
    hour = ms / 3600000;
    minute = ms / 60000 % 60;
    second = ms / 1000 % 60;
    milli = ms % 1000;
    secondStart = localMs - milli;
  }
  // "YYYY?MM?DD"
  char* date(char* p, char separator) const {
    std::memcpy(p, ymd, 4);
    p[4] = separator;
    std::memcpy(p + 5, ymd + 4, 2);
    p[7] = separator;
    std::memcpy(p + 8, ymd + 6, 2);
    return p + 10;
  }
  // "HH?MM?SS"
  char* time(char* p, const char* separator) const {
    put2(p, hour);
    p += 2;
    if (*separator) *p++ = *separator;
    put2(p, minute);
    p += 2;
    if (*separator) *p++ = *separator;
    put2(p, second);
    return p + 2;
  }
};

// UTC instants to the written clock, the zone asked once a minute.
class ToClock {
 public:
  explicit ToClock(const zone::ZoneRules& zone) : zone_(zone) {}
  std::int64_t localOf(std::int64_t utcMs) {
    if (utcMs < start_ || utcMs - start_ >= kMsPerMinute) {
      start_ = floorDiv(utcMs, kMsPerMinute) * kMsPerMinute;
      offset_ = zone_.offsetMs(start_);
    }
    return utcMs + offset_;
  }

 private:
  const zone::ZoneRules& zone_;
  std::int64_t start_ = std::numeric_limits<std::int64_t>::max();  // of the minute held
  std::int64_t offset_ = 0;
};

// ---- the formats ----

struct Tick {
  const SourceRow& row;
  std::int64_t utcMs;
  const Clock& clock;
  std::int32_t unitDigits;  // the pair's own unit, for spreads
  std::int64_t spread() const { return spreadInUnit(row.bidPrice, row.askPrice, unitDigits); }
};

std::string join(const std::string& dir, const std::string& name) { return recordings::utf8Of(recordings::pathOf(dir) / recordings::pathOf(name)); }

// Where a symbol's files go, the inputs they may never replace, and the
// handles and buffers its outputs share with the others'.
struct Place {
  const std::string& dir;
  std::string symbol;  // as a file name
  const std::vector<std::string>& inputs;
  OpenOutputs& outputs;
  // The path of a file in the folder; empty, with the reason in error, when it would replace an input.
  std::string file(const std::string& name, std::string& error) const {
    const std::string path = join(dir, name);
    for (const std::string& input : inputs)
      if (input != "-" && recordings::sameFile(input, path)) {
        error = "the output " + path + " would replace the input " + input;
        return {};
      }
    return path;
  }
};

class SymbolWriter {
 public:
  virtual ~SymbolWriter() = default;
  // False with the reason in error.
  virtual bool start(const Place& place, std::string& error) = 0;
  // False when the row could not go where it belongs (LEAN's day already written).
  virtual bool write(const Tick& tick, std::string& error) = 0;
  // Settles every output, each added to files (put in place once the whole run is done).
  virtual bool finish(std::vector<WrittenFile>& files, std::string& error) = 0;
};

// One text file with one line per row.
class LinesWriter : public SymbolWriter {
 public:
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    files.push_back({out_.path(), rows_});
    return out_.settle(error);
  }

 protected:
  bool open(const Place& place, const std::string& name, std::string_view header, std::string& error) {
    const std::string path = place.file(name, error);
    if (path.empty() || !out_.open(path, error, &place.outputs)) return false;
    out_.append(header);
    return true;
  }
  OutFile out_;
  std::uint64_t rows_ = 0;
};

inline char* copy(char* p, std::string_view s) {
  const std::size_t n = s.size();
  if (n >= 8 && n <= 16) {
    // A price, most often: its first and last 8 or 4 bytes, overlapping, without a call.
    std::memcpy(p, s.data(), 8);
    std::memcpy(p + n - 8, s.data() + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(p, s.data(), 4);
    std::memcpy(p + n - 4, s.data() + n - 4, 4);
  } else {
    std::memcpy(p, s.data(), n);
  }
  return p + n;
}

// One tick's line: the written time (stamp), bid and ask as written, then the format's end.
template <typename Stamp>
void tickLine(OutFile& out, const Tick& t, Stamp stamp, char separator, std::string_view end) {
  char* const start = out.reserve(32 + t.row.bid.size() + t.row.ask.size() + end.size());
  char* p = stamp(start);
  *p++ = separator;
  p = copy(p, t.row.bid);
  *p++ = separator;
  p = copy(p, t.row.ask);
  p = copy(p, end);
  out.commit(static_cast<std::size_t>(p - start));
}

class Mt5Writer final : public LinesWriter {
 public:
  bool start(const Place& place, std::string& error) override {
    return open(place, place.symbol + ".csv", "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>\r\n", error);
  }
  bool write(const Tick& t, std::string&) override {
    // "2026.12.01<TAB>23:59:59.900"; no last price or volume; flags: bid and ask.
    tickLine(out_, t, [&](char* p) {
      p = t.clock.date(p, '.');
      *p++ = '\t';
      p = t.clock.time(p, ":");
      *p++ = '.';
      put3(p, t.clock.milli);
      return p + 3;
    }, '\t', "\t\t\t6\r\n");
    ++rows_;
    return true;
  }
};

// One file a month, DAT_ASCII_EURUSD_T_202612.csv: "20261201 185959900,bid,ask,0".
class HistDataWriter final : public SymbolWriter {
 public:
  bool start(const Place& place, std::string& error) override {
    place_.emplace(place);
    (void)error;
    return true;
  }
  bool write(const Tick& t, std::string& error) override {
    const int month = t.clock.year * 12 + static_cast<int>(t.clock.month);
    if (current_ == nullptr || month != currentMonth_) {
      std::unique_ptr<Month>& found = months_[month];
      if (!found) {
        found = std::make_unique<Month>();
        const std::string path = place_->file("DAT_ASCII_" + place_->symbol + "_T_" + std::string(t.clock.ymd, 6) + ".csv", error);
        if (path.empty() || !found->out.open(path, error, &place_->outputs)) return false;
      }
      current_ = found.get();
      currentMonth_ = month;
    }
    tickLine(current_->out, t, [&](char* p) {
      p = copy(p, std::string_view(t.clock.ymd, 8));
      *p++ = ' ';
      p = t.clock.time(p, "");
      put3(p, t.clock.milli);
      return p + 3;
    }, ',', ",0\r\n");
    ++current_->rows;
    return true;
  }
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    bool ok = true;
    for (auto& [month, written] : months_) {
      files.push_back({written->out.path(), written->rows});
      ok = written->out.settle(error) && ok;
    }
    return ok;
  }

 private:
  struct Month {
    OutFile out;
    std::uint64_t rows = 0;
  };
  std::optional<Place> place_;
  std::map<int, std::unique_ptr<Month>> months_;
  Month* current_ = nullptr;
  int currentMonth_ = 0;
};

class Nt8Writer final : public SymbolWriter {
 public:
  bool start(const Place& place, std::string& error) override {
    const std::string bid = place.file(place.symbol + ".Bid.txt", error), ask = place.file(place.symbol + ".Ask.txt", error);
    return !bid.empty() && !ask.empty() && bid_.open(bid, error, &place.outputs) && ask_.open(ask, error, &place.outputs);
  }
  bool write(const Tick& t, std::string&) override {
    line(bid_, t, t.row.bid);
    line(ask_, t, t.row.ask);
    ++rows_;
    return true;
  }
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    files.push_back({bid_.path(), rows_});
    files.push_back({ask_.path(), rows_});
    const bool bidSettled = bid_.settle(error);
    return ask_.settle(error) && bidSettled;
  }

 private:
  // "20261201 090000 8350000;1.08150;1": seven digits of 100 ns.
  static void line(OutFile& out, const Tick& t, std::string_view price) {
    char* const start = out.reserve(32 + price.size());
    char* p = copy(start, std::string_view(t.clock.ymd, 8));
    *p++ = ' ';
    p = t.clock.time(p, "");
    *p++ = ' ';
    put3(p, t.clock.milli);
    p = copy(p + 3, "0000;");
    p = copy(p, price);
    p = copy(p, ";1\r\n");
    out.commit(static_cast<std::size_t>(p - start));
  }
  OutFile bid_, ask_;
  std::uint64_t rows_ = 0;
};

std::string lowerCase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// One zip a day: forex/oanda/tick/<symbol>/<YYYYMMDD>_quote.zip. The day's
// lines go to a plain temporary file among the shared outputs, and are
// compressed when the symbol's day ends: one compressor at a time, whatever
// the number of symbols.
class LeanWriter final : public SymbolWriter {
 public:
  bool start(const Place& place, std::string& error) override {
    lower_ = lowerCase(place.symbol);
    folder_ = join(place.dir, "forex/oanda/tick/" + lower_);
    inputs_ = &place.inputs;
    outputs_ = &place.outputs;
    std::error_code made;
    std::filesystem::create_directories(recordings::pathOf(folder_), made);
    if (made) error = "cannot make the folder " + folder_ + ": " + made.message();
    return !made;
  }
  bool write(const Tick& t, std::string& error) override {
    if (t.clock.day != day_) {
      if (!done_.insert(t.clock.day).second) return false;  // that day's zip is written
      if (!closeDay(error)) return false;
      date_.assign(t.clock.ymd, 8);
      year_ = t.clock.year;
      month_ = t.clock.month;
      dayOfMonth_ = t.clock.dayOfMonth;
      path_ = Place{folder_, lower_, *inputs_, *outputs_}.file(date_ + "_quote.zip", error);
      if (path_.empty() || !text_.open(textName(), error, outputs_)) return false;
      day_ = t.clock.day;
    }
    char* const begin = text_.reserve(48 + t.row.bid.size() + t.row.ask.size());
    char* p = std::to_chars(begin, begin + 20, t.clock.msOfDay).ptr;
    *p++ = ',';
    p = copy(p, t.row.bid);
    *p++ = ',';
    p = copy(p, t.row.ask);
    *p++ = '\n';
    text_.commit(static_cast<std::size_t>(p - begin));
    ++rows_;
    return true;
  }
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    const bool closed = closeDay(error);
    files.insert(files.end(), written_.begin(), written_.end());
    return closed;
  }
  ~LeanWriter() override {
    for (const WrittenFile& file : written_) removePart(file.path);
  }

 private:
  std::string textName() const { return path_ + ".text"; }
  bool closeDay(std::string& error) {
    if (!text_.isOpen()) return true;
    const std::string text = partName(textName());
    bool ok = text_.settle(error);
    ZipFile zip;
    ok = ok && zip.open(path_, date_ + "_" + lower_ + "_tick_quote.csv", year_, month_, dayOfMonth_, error);
    if (ok) {
      std::FILE* in = recordings::openFile(text, "rb");
      ok = in != nullptr;
      std::vector<char> block(std::size_t{256} << 10);
      for (std::size_t got = 0; ok && (got = std::fread(block.data(), 1, block.size(), in)) > 0;)
        zip.append(std::string_view(block.data(), got));
      if (in == nullptr || std::ferror(in)) {
        ok = false;
        error = "cannot read back " + text + ": " + std::strerror(errno);
      }
      if (in != nullptr) std::fclose(in);
      ok = ok && zip.close(error);
    }
    std::error_code ignored;
    std::filesystem::remove(recordings::pathOf(text), ignored);
    if (ok) written_.push_back({path_, rows_});
    rows_ = 0;
    return ok;
  }
  std::string lower_, folder_, path_, date_;
  int year_ = 0;
  unsigned month_ = 0, dayOfMonth_ = 0;
  const std::vector<std::string>* inputs_ = nullptr;
  OpenOutputs* outputs_ = nullptr;
  OutFile text_;
  std::int64_t day_ = std::numeric_limits<std::int64_t>::min();
  std::set<std::int64_t> done_;
  std::uint64_t rows_ = 0;
  std::vector<WrittenFile> written_;  // settled, until the run puts them in place
};

// Bars of one timeframe: bid and ask open, high, low, close, ticks, spreads.
class BarsWriter final : public LinesWriter {
 public:
  explicit BarsWriter(std::int64_t barMs, std::string name) : barMs_(barMs), name_(std::move(name)) {}
  bool start(const Place& place, std::string& error) override {
    return open(place, place.symbol + "-" + name_ + ".csv",
                "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,"
                "spread_max\r\n",
                error);
  }
  bool write(const Tick& t, std::string&) override {
    const std::int64_t local = t.clock.day * kMsPerDay + t.clock.msOfDay;
    const std::int64_t spread = t.spread();
    if (ticks_ == 0 || local < bar_ * barMs_ || local - bar_ * barMs_ >= barMs_) {
      if (ticks_ != 0) emit();
      bar_ = floorDiv(local, barMs_);
      ticks_ = 0;
      bid_.open(t.row.bid, t.row.bidPrice);
      ask_.open(t.row.ask, t.row.askPrice);
      spreadMin_ = spreadMax_ = spread;
    } else {
      bid_.add(t.row.bid, t.row.bidPrice);
      ask_.add(t.row.ask, t.row.askPrice);
      spreadMin_ = std::min(spreadMin_, spread);
      spreadMax_ = std::max(spreadMax_, spread);
    }
    ++ticks_;
    ++rows_;
    return true;
  }
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    if (ticks_ != 0) emit();
    ticks_ = 0;
    files.push_back({out_.path(), bars_});
    return out_.settle(error);
  }

 private:
  // A price's text as written, kept without allocating when it is short.
  class Text {
   public:
    void assign(std::string_view s) {
      if (s.size() <= sizeof fixed_) {
        copy(fixed_, s);
        size_ = static_cast<std::uint8_t>(s.size());
      } else {
        long_.assign(s);
        size_ = kLong;
      }
    }
    std::string_view view() const { return size_ == kLong ? std::string_view(long_) : std::string_view(fixed_, size_); }
    std::size_t size() const { return view().size(); }

   private:
    static constexpr std::uint8_t kLong = 0xFF;
    char fixed_[30];
    std::uint8_t size_ = 0;
    std::string long_;
  };
  struct Side {
    Text first, high, low, last;  // as written
    Price highPrice, lowPrice;
    void open(std::string_view text, const Price& p) {
      first.assign(text);
      high.assign(text);
      low.assign(text);
      last.assign(text);
      highPrice = lowPrice = p;
    }
    void add(std::string_view text, const Price& p) {
      last.assign(text);
      if (above(p, highPrice)) {
        high.assign(text);
        highPrice = p;
      } else if (above(lowPrice, p)) {
        low.assign(text);
        lowPrice = p;
      }
    }
    std::size_t size() const { return first.size() + high.size() + low.size() + last.size(); }
  };
  void emit() {
    Clock start;
    start.set(bar_ * barMs_);
    char* const begin = out_.reserve(128 + bid_.size() + ask_.size());
    char* p = start.date(begin, '-');
    *p++ = ' ';
    p = start.time(p, ":");
    for (const Text* s : {&bid_.first, &bid_.high, &bid_.low, &bid_.last, &ask_.first, &ask_.high, &ask_.low, &ask_.last}) {
      *p++ = ',';
      p = copy(p, s->view());
    }
    *p++ = ',';
    p = std::to_chars(p, p + 24, ticks_).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + 24, spreadMin_).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + 24, spreadMax_).ptr;
    p = copy(p, "\r\n");
    out_.commit(static_cast<std::size_t>(p - begin));
    ++bars_;
  }
  std::int64_t barMs_;
  std::string name_;
  std::int64_t bar_ = 0;
  std::uint64_t ticks_ = 0, bars_ = 0;
  Side bid_, ask_;
  std::int64_t spreadMin_ = 0, spreadMax_ = 0;
};

class TemplateWriter final : public LinesWriter {
 public:
  TemplateWriter(const std::vector<TemplatePiece>& pieces, const std::string& header) : pieces_(pieces), header_(header) {}
  bool start(const Place& place, std::string& error) override {
    symbol_ = place.symbol;
    return open(place, place.symbol + ".csv", header_.empty() ? std::string() : header_ + "\r\n", error);
  }
  bool write(const Tick& t, std::string&) override {
    line_.clear();
    char number[24];
    const auto add = [&](auto value) { line_.append(number, std::to_chars(number, number + sizeof number, value).ptr); };
    const auto add2 = [&](unsigned v) {
      put2(number, v);
      line_.append(number, 2);
    };
    for (const TemplatePiece& piece : pieces_) {
      switch (piece.piece) {
        case Piece::Text: line_ += piece.text; break;
        case Piece::Year: line_.append(t.clock.ymd, 4); break;
        case Piece::Month: add2(t.clock.month); break;
        case Piece::Day: add2(t.clock.dayOfMonth); break;
        case Piece::Hour: add2(t.clock.hour); break;
        case Piece::Minute: add2(t.clock.minute); break;
        case Piece::Second: add2(t.clock.second); break;
        case Piece::Milli:
          put3(number, t.clock.milli);
          line_.append(number, 3);
          break;
        case Piece::Bid: line_ += t.row.bid; break;
        case Piece::Ask: line_ += t.row.ask; break;
        case Piece::Pair: line_ += t.row.pair; break;
        case Piece::Symbol: line_ += symbol_; break;
        case Piece::Spread: add(t.spread()); break;
        case Piece::MsOfDay: add(t.clock.msOfDay); break;
        case Piece::UnixMs: add(t.utcMs); break;
      }
    }
    line_ += "\r\n";
    out_.append(line_);
    ++rows_;
    return true;
  }

 private:
  const std::vector<TemplatePiece>& pieces_;
  const std::string& header_;
  std::string symbol_, line_;
};

}  // namespace

const char* leftOutName(LeftOut kind) {
  switch (kind) {
    case LeftOut::Torn: return "torn";
    case LeftOut::Unparsable: return "unparsable";
    case LeftOut::Crossed: return "crossed";
    case LeftOut::Skipped: return "skipped time";
    case LeftOut::Order: return "order";
  }
  return "?";
}

std::string symbolOf(std::string_view pair) {
  std::string symbol;
  for (char c : pair)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) symbol += c;
  return symbol;
}

bool readTemplate(std::string_view text, std::vector<TemplatePiece>& pieces, std::string& error) {
  pieces.clear();
  const auto literal = [&](std::string_view s) {
    if (s.empty()) return;
    if (pieces.empty() || pieces.back().piece != Piece::Text) pieces.push_back({Piece::Text, {}});
    pieces.back().text += s;
  };
  static constexpr struct {
    const char* name;
    Piece piece;
  } kValues[] = {{"bid", Piece::Bid},       {"ask", Piece::Ask},         {"pair", Piece::Pair},     {"symbol", Piece::Symbol},
                 {"spread", Piece::Spread}, {"ms_of_day", Piece::MsOfDay}, {"unix_ms", Piece::UnixMs}};
  while (!text.empty()) {
    const std::size_t open = text.find('{');
    literal(text.substr(0, open));
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos) {
      error = "the template has a '{' without its '}'";
      return false;
    }
    const std::string_view token = text.substr(open + 1, close - open - 1);
    text.remove_prefix(close + 1);
    if (token.starts_with("time:")) {
      std::string_view format = token.substr(5);
      for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
          literal(format.substr(i, 1));
          continue;
        }
        const char field = i + 1 < format.size() ? format[++i] : '\0';
        const char* const fields = "YmdHMSL";
        const char* found = field ? std::strchr(fields, field) : nullptr;
        if (field == '%') {
          literal("%");
        } else if (found == nullptr) {
          error = "the template's time knows %Y %m %d %H %M %S %L, not '%" + std::string(1, field) + "'";
          return false;
        } else {
          pieces.push_back({static_cast<Piece>(static_cast<int>(Piece::Year) + (found - fields)), {}});
        }
      }
      continue;
    }
    bool known = false;
    for (const auto& value : kValues)
      if (token == value.name) {
        pieces.push_back({value.piece, {}});
        known = true;
      }
    if (!known) {
      error = "the template knows {time:FORMAT} {bid} {ask} {pair} {symbol} {spread} {ms_of_day} {unix_ms}, not {" +
              std::string(token) + "}";
      return false;
    }
  }
  if (pieces.empty()) {
    error = "the template is empty";
    return false;
  }
  return true;
}

struct Exporter::Impl {
  struct Symbol {
    std::unique_ptr<SymbolWriter> writer;
    std::int32_t unitDigits = 0;  // the most decimals of its prices
  };

  ExportSettings settings;
  ToClock to;
  Clock clock;
  ExportTotals totals;
  std::string error;
  bool dirReady = false, madeDir = false;  // madeDir: this run made the output folder
  OpenOutputs outputs;  // before the writers, which use it to their end
  std::map<std::string, Symbol> symbols;            // by SYMBOL in capitals: "EUR/USD" and "eur/usd" are one
  std::unordered_map<std::string, Symbol*> byPair;  // "EUR/USD" and "EURUSD" share EURUSD's files
  std::vector<Symbol*> order;                       // as first seen
  std::unordered_map<std::string, std::int32_t> units;  // learned before writing, by SYMBOL in capitals
  std::string lastPair;
  Symbol* last = nullptr;

  explicit Impl(ExportSettings s) : settings(std::move(s)), to(*settings.to) {}

  std::unique_ptr<SymbolWriter> writerFor() const {
    switch (settings.format) {
      case Format::Mt5: return std::make_unique<Mt5Writer>();
      case Format::Nt8: return std::make_unique<Nt8Writer>();
      case Format::Lean: return std::make_unique<LeanWriter>();
      case Format::HistData: return std::make_unique<HistDataWriter>();
      case Format::Bars: return std::make_unique<BarsWriter>(settings.barMs, settings.barName);
      case Format::Template: return std::make_unique<TemplateWriter>(settings.pieces, settings.header);
    }
    return nullptr;
  }

  bool needsUnits() const {
    if (settings.format == Format::Bars) return true;
    for (const TemplatePiece& piece : settings.pieces)
      if (settings.format == Format::Template && piece.piece == Piece::Spread) return true;
    return false;
  }

  static std::string keyOf(std::string_view pair) {
    std::string key = symbolOf(pair);
    for (char& c : key)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
  }

  void leaveOut(LeftOut kind, const std::string& name, const SourceRow& row) {
    LeftOutCount& k = totals.leftOut[static_cast<std::size_t>(kind)];
    if (k.first.size() < kFirstLinesKept)
      k.first.push_back(name + " line " + std::to_string(row.line) + ": " + quotedText(row.text.substr(0, 200)));
    ++k.count;
  }

  Symbol* symbolFor(std::string_view pair) {
    const auto known = byPair.find(std::string(pair));
    if (known != byPair.end()) return known->second;
    const std::string key = keyOf(pair);
    auto found = symbols.find(key);
    if (found == symbols.end()) {
      if (!dirReady) {
        std::error_code made;
        madeDir = std::filesystem::create_directories(recordings::pathOf(settings.outDir), made);
        if (made) {
          error = "cannot make the folder " + settings.outDir + ": " + made.message();
          return nullptr;
        }
        dirReady = true;
      }
      std::string name = symbolOf(pair);
      if (name.empty()) name = "XXXYYY";
      makeOrdinaryFileName(name);
      Symbol entry;
      entry.writer = writerFor();
      const auto unit = units.find(key);
      if (unit != units.end()) entry.unitDigits = unit->second;
      if (!entry.writer->start(Place{settings.outDir, name, settings.inputs, outputs}, error)) return nullptr;
      found = symbols.emplace(key, std::move(entry)).first;
      order.push_back(&found->second);
    }
    byPair.emplace(std::string(pair), &found->second);
    return &found->second;
  }

  bool learnUnits(recordings::LineReader::ReadFn read) {
    RowSource source(std::move(read));
    SourceRow row;
    std::string pair;
    std::int32_t* unit = nullptr;
    while (source.next(row)) {
      if (row.fault != RowFault::None) continue;
      if (unit == nullptr || row.pair != pair) {
        pair.assign(row.pair);
        unit = &units[keyOf(pair)];
      }
      *unit = std::max({*unit, row.bidPrice.digits, row.askPrice.digits});
    }
    error = source.error();
    return error.empty();
  }

  bool readAll(const std::string& name, recordings::LineReader::ReadFn read) {
    RowSource source(std::move(read));
    SourceRow row;
    std::uint64_t rows = 0, faulty = 0;
    zone::RecordingClock from(settings.from);  // each file's stamps on their own
    while (source.next(row)) {
      if (row.fault == RowFault::Header) continue;  // column names: no row, and no fault
      ++totals.rowsIn;
      if (row.fault != RowFault::None) {
        faulty += !row.cutOff;
        leaveOut(row.fault == RowFault::Torn ? LeftOut::Torn : LeftOut::Unparsable, name, row);
        continue;
      }
      ++rows;
      if (above(row.bidPrice, row.askPrice)) {
        leaveOut(LeftOut::Crossed, name, row);
        continue;
      }
      if (last == nullptr || row.pair.size() != lastPair.size() ||
          !sameBytes(row.pair.data(), lastPair.data(), lastPair.size())) {
        last = symbolFor(row.pair);
        if (last == nullptr) return false;
        lastPair.assign(row.pair);
      }
      std::int64_t utc = 0;
      if (!from.utcOf(row.stampMs, utc)) {
        leaveOut(LeftOut::Skipped, name, row);
        continue;
      }
      last->unitDigits = std::max({last->unitDigits, row.bidPrice.digits, row.askPrice.digits});
      clock.set(to.localOf(utc));
      const Tick tick{row, utc, clock, last->unitDigits};
      if (!last->writer->write(tick, error)) {
        if (!error.empty()) return false;
        leaveOut(LeftOut::Order, name, row);
        continue;
      }
      ++totals.rowsOut;
    }
    totals.bytesIn += source.bytesRead();
    if (!source.error().empty()) {
      error = source.error();
      return false;
    }
    if (notARecording(rows, faulty)) {
      error = name + " is not a recording: none of its lines is a row of the form pair,YYYYMMDD HH:MM:SS.mmm,bid,ask";
      return false;
    }
    return true;
  }

  // Removes every output started, and the folders this run made that stay empty.
  void undo() {
    last = nullptr;
    order.clear();
    byPair.clear();
    symbols.clear();  // the writers remove what they started
    for (const WrittenFile& file : totals.files) removePart(file.path);
    totals.files.clear();
    totals.rowsOut = 0;
    if (madeDir) removeEmptyFolders(recordings::pathOf(settings.outDir));
  }
  static void removeEmptyFolders(const std::filesystem::path& folder) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
      if (entry.is_directory(ignored)) removeEmptyFolders(entry.path());
    std::filesystem::remove(folder, ignored);  // only when empty
  }

  bool finish() {
    bool ok = true;
    for (Symbol* symbol : order) {
      std::string failed;
      if (!symbol->writer->finish(totals.files, failed) && ok) {
        error = failed;
        ok = false;
      }
    }
    if (ok && !settings.replace) {
      for (const WrittenFile& file : totals.files) {
        std::error_code ignored;
        if (std::filesystem::exists(recordings::pathOf(file.path), ignored)) totals.wouldReplace.push_back(file.path);
      }
      if (!totals.wouldReplace.empty()) {
        const std::size_t n = totals.wouldReplace.size();
        error = (n == 1 ? std::string("1 file") : std::to_string(n) + " files") + " would be replaced, " +
                totals.wouldReplace.front() + (n > 1 ? " and others" : "") + ": nothing was written";
        ok = false;
      }
    }
    for (std::size_t i = 0; ok && i < totals.files.size(); ++i) ok = putInPlace(totals.files[i].path, error);
    if (!ok) undo();
    return ok;
  }
};

Exporter::Exporter(ExportSettings settings) : impl_(std::make_unique<Impl>(std::move(settings))) {}
Exporter::~Exporter() = default;

bool Exporter::needsUnits() const { return impl_->needsUnits(); }
bool Exporter::learnUnits(recordings::LineReader::ReadFn read) { return impl_->learnUnits(std::move(read)); }

bool Exporter::read(const std::string& name, recordings::LineReader::ReadFn read) {
  if (!impl_->readAll(name, std::move(read))) {
    impl_->undo();
    return false;
  }
  return true;
}

bool Exporter::finish() { return impl_->finish(); }

const ExportTotals& Exporter::totals() const noexcept { return impl_->totals; }
const std::string& Exporter::error() const noexcept { return impl_->error; }

}  // namespace orv::exporter
