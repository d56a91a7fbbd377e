#include "export/symbol_writer.h"

#include <map>
#include <optional>

namespace orv::exporter {

namespace {

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

}  // namespace

std::unique_ptr<SymbolWriter> newHistDataWriter() { return std::make_unique<HistDataWriter>(); }

}  // namespace orv::exporter
