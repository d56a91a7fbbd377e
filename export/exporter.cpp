#include "export/exporter.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
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
class UtcToLocal {
 public:
  explicit UtcToLocal(const zone::ZoneRules& zone) : zone_(zone) {}
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
    case LeftOut::Order: return "order";
  }
  return "?";
}

std::string wholeSymbolOf(std::string_view pair) {
  std::string whole;
  for (char c : pair) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || u >= 0x80)
      whole += c;
    else if (c >= 'a' && c <= 'z')
      whole += static_cast<char>(c - 'a' + 'A');
  }
  return whole;
}

std::string symbolOf(std::string_view pair) {
  std::string name;
  bool beyondAscii = false;
  for (char c : pair) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) name += c;
    beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 0x80;
  }
  const std::string whole = wholeSymbolOf(pair);
  if (beyondAscii) name += "_" + shortHash(whole);
  makeOrdinaryFileName(name);
  shortenLongName(name, whole);
  return name;
}

struct Exporter::Impl {
  struct Symbol {
    std::unique_ptr<SymbolWriter> writer;
    std::int32_t unitDigits = 0;  // the most decimals of its prices
    std::string whole, firstPair;  // what it stands for (wholeSymbolOf), and the pair first seen
  };
  struct Pair {
    Symbol* symbol = nullptr;  // from the pair's first row written
    PairUnit unit;             // judged in each file on its own, as orvalda-check judges it
  };

  ExportSettings settings;
  UtcToLocal to;
  zone::StampsToUtc from;  // the inputs' stamps, one time line in the order given
  LocalTimeFields clock;
  ExportTotals totals;
  std::string error;
  bool dirReady = false;
  MadeFolders folders;  // by this run, removed when it fails
  OpenOutputs outputs;  // before the writers, which use it to their end
  std::map<std::string, Symbol> symbols;          // by the outputs' name in capitals: "EUR/USD" and "eur/usd" are one
  std::unordered_map<std::string, Pair> byPair;  // "EUR/USD" and "EURUSD" share EURUSD's files
  std::vector<Symbol*> order;                     // as first seen
  // An output's unit, learned before writing: the most decimals of its pairs'
  // units in each input, those of plain decimals first (PairUnit).
  struct LearnedUnit {
    std::optional<std::int32_t> plain, other;
    std::int32_t digits() const { return plain ? *plain : std::max(0, other.value_or(0)); }
  };
  std::unordered_map<std::string, LearnedUnit> units;  // by the outputs' name in capitals
  bool unitsLearned = false;
  std::string lastPair;
  Pair* last = nullptr;

  explicit Impl(ExportSettings s) : settings(std::move(s)), to(*settings.to), from(settings.from) {}

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

  void leaveOut(LeftOut kind, const std::string& name, const SourceRow& row) {
    LeftOutCount& k = totals.leftOut[static_cast<std::size_t>(kind)];
    if (k.first.size() < kFirstLinesKept)
      k.first.push_back(name + " line " + std::to_string(row.line) + ": " + quotedText(row.text.substr(0, 200)));
    ++k.count;
  }

  // The symbol of a pair's outputs; nullptr, with the reason in error, when
  // the folder cannot be made or another pair has its outputs' names.
  Symbol* symbolFor(std::string_view pair) {
    std::string name = symbolOf(pair);
    std::string whole = wholeSymbolOf(pair);
    const std::string key = asciiUpper(name);
    auto found = symbols.find(key);
    if (found != symbols.end()) {
      if (found->second.whole == whole) return &found->second;
      error = "the pairs " + quotedText(found->second.firstPair) + " and " + quotedText(pair) +
              " would be written to the same files (" + name + ")";
      return nullptr;
    }
    if (!dirReady && !folders.make(settings.outDir, error)) return nullptr;
    dirReady = true;
    Symbol entry;
    entry.writer = writerFor();
    entry.whole = std::move(whole);
    entry.firstPair.assign(pair);
    const auto unit = units.find(key);
    if (unit != units.end()) entry.unitDigits = unit->second.digits();
    if (!entry.writer->start(Place{settings.outDir, name, settings.inputs, outputs, folders}, error)) return nullptr;
    found = symbols.emplace(key, std::move(entry)).first;
    order.push_back(&found->second);
    return &found->second;
  }

  // Each pair's unit over every input, as its rows are judged (PairUnit): in
  // each input, the most decimals since the unit was last set anew. Rows of
  // an input where only exponent rows set it are cut to the plain unit of
  // the others, as they would be after a plain row in their own.
  bool learnUnits(recordings::LineReader::ReadFn read) {
    unitsLearned = true;
    RowSource source(std::move(read));
    SourceRow row;
    struct Learning {
      PairUnit unit;
      std::optional<std::int32_t> most;  // once it has a row
      LearnedUnit* learned = nullptr;  // in units
    };
    std::unordered_map<std::string, Learning> pairs;  // of this input
    std::string pair;
    Learning* at = nullptr;
    while (source.next(row)) {
      if (row.fault != RowFault::None) continue;
      if (at == nullptr || row.pair != pair) {
        pair.assign(row.pair);
        const auto [it, added] = pairs.try_emplace(pair);
        if (added) it->second.learned = &units[asciiUpper(symbolOf(pair))];
        at = &it->second;
      }
      const std::uint32_t restarts = at->unit.restarts();
      if (at->unit.take(row.bidPrice, row.askPrice))
        at->most = at->unit.restarts() != restarts || !at->most ? at->unit.digits() : std::max(*at->most, at->unit.digits());
    }
    for (const auto& [name, learning] : pairs) {
      if (!learning.most) continue;
      std::optional<std::int32_t>& most = plainDecimals(*learning.most) ? learning.learned->plain : learning.learned->other;
      most = std::max(most.value_or(INT32_MIN), *learning.most);
    }
    error = source.error();
    return error.empty();
  }

  bool readAll(const std::string& name, recordings::LineReader::ReadFn read) {
    RowSource source(std::move(read));
    SourceRow row;
    std::uint64_t rows = 0, faulty = 0;
    for (auto& [pair, state] : byPair) state.unit = PairUnit{};
    while (source.next(row)) {
      if (row.fault == RowFault::Header) continue;  // column names: no row, and no fault
      ++totals.rowsIn;
      if (row.fault != RowFault::None) {
        faulty += !row.cutOff;
        leaveOut(row.fault == RowFault::Torn ? LeftOut::Torn : LeftOut::Unparsable, name, row);
        continue;
      }
      if (last == nullptr || row.pair.size() != lastPair.size() ||
          !sameBytes(row.pair.data(), lastPair.data(), lastPair.size())) {
        lastPair.assign(row.pair);
        last = &byPair[lastPair];
      }
      // Every row on the recording's time line, crossed or not, as orvalda-check reads it.
      std::int64_t utc = 0;
      from.utcOf(row.stampMs, utc);
      const std::uint32_t restarts = last->unit.restarts();
      if (!last->unit.take(row.bidPrice, row.askPrice)) {  // too far from the pair's other prices
        ++faulty;
        leaveOut(LeftOut::Unparsable, name, row);
        continue;
      }
      ++rows;
      if (above(row.bidPrice, row.askPrice)) {
        leaveOut(LeftOut::Crossed, name, row);
        continue;
      }
      if (last->symbol == nullptr && (last->symbol = symbolFor(row.pair)) == nullptr) return false;
      Symbol& symbol = *last->symbol;
      if (!unitsLearned)  // standard input: the most decimals so far, since the unit was last set anew
        symbol.unitDigits = last->unit.restarts() != restarts ? last->unit.digits() : std::max(symbol.unitDigits, last->unit.digits());
      clock.set(to.localOf(utc));
      const Tick tick{row, utc, clock, symbol.unitDigits};
      if (!symbol.writer->write(tick, error)) {
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
    folders.removeEmpty();
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
    if (ok) {
      std::vector<std::string> paths;
      for (const WrittenFile& file : totals.files) paths.push_back(file.path);
      ok = putAllInPlace(paths, settings.replace, error);
    }
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
