#include "export/exporter.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <system_error>
#include <unordered_map>

#include "recordings/files.h"
#include "core/file_name.h"
#include "core/option_reader.h"
#include "export/out_file.h"
#include "export/symbol_writer.h"

namespace orv::exporter {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;

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
      case Format::Mt5: return newMt5Writer();
      case Format::Nt8: return newNt8Writer();
      case Format::Lean: return newLeanWriter();
      case Format::HistData: return newHistDataWriter();
      case Format::Bars: return newBarsWriter(settings.barMs, settings.barName);
      case Format::Template: return newTemplateWriter(settings.pieces, settings.header);
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
    return asciiUpper(symbolOf(pair));
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
