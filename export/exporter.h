// The exporter: reads recordings row by row, as one recording when several
// are given, and writes each symbol's rows in a trader's format, in any time
// zone. Memory stays the same whatever the size of the input.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "recordings/line_reader.h"
#include "zone/zone_rules.h"

namespace orv::exporter {

enum class Format : std::uint8_t { Mt5, Nt8, Lean, HistData, Bars, Template };

// A part of a --template: literal text, a field of the written time, or a value.
enum class Piece : std::uint8_t { Text, Year, Month, Day, Hour, Minute, Second, Milli, Bid, Ask, Pair, Symbol, Spread, MsOfDay, UnixMs };
struct TemplatePiece {
  Piece piece = Piece::Text;
  std::string text;  // for Text
};
// "{time:%Y-%m-%d %H:%M:%S.%L};{bid};{ask}" -> its pieces; false with the reason in error.
bool readTemplate(std::string_view text, std::vector<TemplatePiece>& pieces, std::string& error);

struct ExportSettings {
  Format format = Format::Mt5;
  zone::Zone from;  // the recording's clock
  zone::Zone to;    // the clock written
  std::string outDir;
  std::int64_t barMs = 0;           // bars: the timeframe
  std::string barName;              // bars: "M1", ..., in the file names
  std::vector<TemplatePiece> pieces;  // template
  std::string header;               // template: a first line, when not empty
  std::vector<std::string> inputs;  // never written over
  bool replace = false;             // outputs may replace files already there
};

// Why a row is left out.
enum class LeftOut : std::uint8_t { Torn, Unparsable, Crossed, Order };
inline constexpr std::size_t kLeftOutKinds = 4;
const char* leftOutName(LeftOut kind);
inline constexpr std::size_t kFirstLinesKept = 10;

struct LeftOutCount {
  std::uint64_t count = 0;
  std::vector<std::string> first;  // "FILE line N: TEXT" of the first kFirstLinesKept
};
struct WrittenFile {
  std::string path;
  std::uint64_t rows = 0;
};
struct ExportTotals {
  std::uint64_t rowsIn = 0, rowsOut = 0, bytesIn = 0;
  std::array<LeftOutCount, kLeftOutKinds> leftOut;
  std::vector<WrittenFile> files;  // in the order they were finished
  std::vector<std::string> wouldReplace;  // outputs already there, when replacing was not asked for
  std::uint64_t leftOutCount() const {
    std::uint64_t n = 0;
    for (const LeftOutCount& k : leftOut) n += k.count;
    return n;
  }
};

class Exporter {
 public:
  explicit Exporter(ExportSettings settings);
  ~Exporter();
  Exporter(const Exporter&) = delete;
  Exporter& operator=(const Exporter&) = delete;

  // Whether spreads are written, which are counted in each pair's own unit:
  // then each input is read once by learnUnits before any is read.
  bool needsUnits() const;
  bool learnUnits(recordings::LineReader::ReadFn read);
  // Reads one input to its end, its rows after those of the inputs before.
  // False on a read or write error (error()): the run is over, and what it
  // started writing is removed.
  bool read(const std::string& name, recordings::LineReader::ReadFn read);
  // Ends every output and puts them all in place. False on a write error,
  // or when an output would replace a file and settings.replace is not
  // set; then nothing is written.
  bool finish();
  const ExportTotals& totals() const noexcept;
  const std::string& error() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The pair as a symbol, the name of its outputs: its ASCII letters and
// digits ("EUR/USD" -> "EURUSD"), then, for a pair with characters beyond
// ASCII, "_" and eight hexadecimal digits that tell such pairs apart
// ("€/¥" -> "_" and the digits of "€¥"); made a safe file name as the
// recorder makes it ("CON" -> "_CON"), and a long one shortened by the
// recorder's rule. Pairs of one symbol in any case share their outputs,
// named after the first seen; two pairs that would share a name otherwise
// are refused.
std::string symbolOf(std::string_view pair);
// What a symbol stands for: the pair's ASCII letters in capitals, its
// digits and its bytes beyond ASCII, in order.
std::string wholeSymbolOf(std::string_view pair);

}  // namespace orv::exporter
