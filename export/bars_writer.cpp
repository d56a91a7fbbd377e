#include "export/symbol_writer.h"

#include <charconv>

namespace orv::exporter {

namespace {

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
    LocalTimeFields start;
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

}  // namespace

std::unique_ptr<SymbolWriter> newBarsWriter(std::int64_t barMs, std::string name) {
  return std::make_unique<BarsWriter>(barMs, std::move(name));
}

}  // namespace orv::exporter
