#include "export/symbol_writer.h"

namespace orv::exporter {

namespace {

// Two files, the bids' and the asks', one line a tick.
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

}  // namespace

std::unique_ptr<SymbolWriter> newNt8Writer() { return std::make_unique<Nt8Writer>(); }

}  // namespace orv::exporter
