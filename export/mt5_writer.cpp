#include "export/symbol_writer.h"

namespace orv::exporter {

namespace {

// One tab-separated file of ticks with its column names.
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

}  // namespace

std::unique_ptr<SymbolWriter> newMt5Writer() { return std::make_unique<Mt5Writer>(); }

}  // namespace orv::exporter
