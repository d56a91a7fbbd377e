// A recording read for sending: its rows checked and converted to points
// (the row itself is read by core/row_format.h), the rows left out and why,
// and the symbol sent for its pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/row_format.h"

namespace orv::tools {

// Converts one price text of a recording to integer points, exactly (digit by
// digit, never through floating point). Two forms are accepted:
//   fixed point  "1.08150"    - exactly `digits` decimals ("108150" when digits is 0)
//   exponent     "108150e-45" - integer mantissa, exponent must equal -digits
// Points must fit in 32 bits unsigned. On failure returns nullopt and fills
// `error` with a one-line reason.
std::optional<std::uint32_t> priceToPoints(std::string_view text, std::int32_t digits, std::string& error);

// The Digits value a price text was written with: the number of decimals of a
// fixed-point text, or minus the exponent of an exponent-form text. nullopt
// when the text is neither form.
std::optional<std::int32_t> digitsOfPriceText(std::string_view text);

struct TickRow {
  std::size_t line = 0;  // where the record starts in the file
  std::int64_t timeMs = 0;
  std::uint32_t bid = 0;  // points
  std::uint32_t ask = 0;  // points
};

struct FeedFile {
  bool ok = false;            // at least one row to send
  std::size_t errorLine = 0;  // when not ok: the first bad row's line; 0 when there is none
  std::string error;
  std::int32_t digits = 0;  // as given, or as read from the first good row
  std::string pair;         // e.g. "EUR/USD"; the first good row's, the same on every row sent
  std::vector<TickRow> rows;
  std::vector<LineProblem> badRows;  // rows left out (cut by a crash, garbled, another pair), in file order
};

// Validates and converts a recording, row by row: a bad row is left out and
// named in badRows, the others are kept. When `digits` is not given, the first
// row whose bid and ask are written alike decides it and every other price
// must agree. Not ok when no row is left.
FeedFile parseFeedFile(std::string_view content, std::optional<std::int32_t> digits);

// What to tell about the rows left out of a file that is sent: a first line
// "FILE: N of M rows are bad and left out:", then "  line L: reason" for the
// first `listed` of them and "  ... and K more" for the rest. Empty when none
// was left out.
std::vector<std::string> badRowsReport(std::string_view file, const FeedFile& feed, std::size_t listed = 5);

// "EUR/USD" -> "EURUSD". nullopt when the result is not a usable symbol.
std::optional<std::string> symbolFromPair(std::string_view pair);

// A symbol travels as up to six 8-bit letters; printable ASCII, no blanks.
bool isValidSymbol(std::string_view symbol);

}  // namespace orv::tools
