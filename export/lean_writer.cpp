#include "export/symbol_writer.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/file_name.h"
#include "export/zip_file.h"
#include "recordings/files.h"

namespace orv::exporter {

namespace {

// One zip a day: forex/oanda/tick/<symbol>/<YYYYMMDD>_quote.zip. The day's
// lines go to a plain temporary file among the shared outputs, and are
// compressed when the symbol's day ends: one compressor at a time, whatever
// the number of symbols.
class LeanWriter final : public SymbolWriter {
 public:
  bool start(const Place& place, std::string& error) override {
    lower_ = asciiLower(place.symbol);
    folder_ = join(place.dir, "forex/oanda/tick/" + lower_);
    inputs_ = &place.inputs;
    outputs_ = &place.outputs;
    folders_ = &place.folders;
    return place.folders.make(folder_, error);
  }
  bool write(const Tick& t, std::string& error) override {
    if (t.clock.day != day_) {
      if (!done_.insert(t.clock.day).second) return false;  // that day's zip is written
      if (!closeDay(error)) return false;
      date_.assign(t.clock.ymd, 8);
      year_ = t.clock.year;
      month_ = t.clock.month;
      dayOfMonth_ = t.clock.dayOfMonth;
      path_ = Place{folder_, lower_, *inputs_, *outputs_, *folders_}.file(date_ + "_quote.zip", error);
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
  MadeFolders* folders_ = nullptr;
  OutFile text_;
  std::int64_t day_ = std::numeric_limits<std::int64_t>::min();
  std::set<std::int64_t> done_;
  std::uint64_t rows_ = 0;
  std::vector<WrittenFile> written_;  // settled, until the run puts them in place
};

}  // namespace

std::unique_ptr<SymbolWriter> newLeanWriter() { return std::make_unique<LeanWriter>(); }

}  // namespace orv::exporter
