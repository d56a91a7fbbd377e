#include "tools/feed_file.h"

#include <algorithm>
#include <limits>

#include "core/option_reader.h"

namespace orv::tools {

namespace {

std::string decimalsText(std::int64_t n) { return std::to_string(n) + " decimal" + (n == 1 ? "" : "s"); }

// What a price written with `digits` looks like, for error messages.
std::string expectedForm(std::int32_t digits, bool exponentForm) {
  const std::int64_t exp = -static_cast<std::int64_t>(digits);
  if (exponentForm) return "exponent " + std::to_string(exp);
  if (digits >= 0) return decimalsText(digits);
  return "the form <points>e" + std::to_string(exp);
}

}  // namespace

std::optional<std::int32_t> digitsOfPriceText(std::string_view text) {
  Price price;
  if (readPrice(text, price) == PriceText::NotAPrice) return std::nullopt;
  return price.digits;
}

std::optional<std::uint32_t> priceToPoints(std::string_view text, std::int32_t digits, std::string& error) {
  if (text.empty()) {
    error = "empty price";
    return std::nullopt;
  }
  Price price;
  const PriceText read = readPrice(text, price);
  if (read == PriceText::NotAPrice) {
    error = "price " + quotedText(text) + " is not a number of the form 1.08150 or 108150e-5";
    return std::nullopt;
  }
  if (price.digits != digits) {
    const std::size_t e = text.find_first_of("eE");
    const bool expForm = e != std::string_view::npos;
    error = "price " + quotedText(text) + " has " +
            (expForm ? "exponent " + std::string(text.substr(e + 1)) : decimalsText(price.digits)) + ", expected " +
            expectedForm(digits, expForm);
    return std::nullopt;
  }
  if (read == PriceText::TooManyDigits || price.points > 0xFFFFFFFFu) {
    error = "price " + quotedText(text) + " is out of range (more than 4294967295 points)";
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(price.points);
}

bool isValidSymbol(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 6) return false;
  for (char c : symbol) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F) return false;
  }
  return true;
}

std::optional<std::string> symbolFromPair(std::string_view pair) {
  std::string s;
  for (char c : pair) {
    if (c != '/') s += c;
  }
  if (!isValidSymbol(s)) return std::nullopt;
  return s;
}

namespace {

bool hasFourFields(const CsvRecord& record) { return record.fields.size() == 4; }

std::string fieldCountText(const CsvRecord& record) {
  return "expected 4 fields (pair,time,bid,ask), found " + std::to_string(record.fields.size());
}

// The row a recording's Digits are read from: the first with four fields whose
// bid and ask are written with the same Digits; failing that, the first with
// four fields and a bid that is a price. nullptr when there is none.
const CsvRecord* digitsRow(const std::vector<CsvRecord>& records) {
  for (const CsvRecord& rec : records)
    if (hasFourFields(rec)) {
      const auto bid = digitsOfPriceText(rec.fields[2]);
      if (bid && bid == digitsOfPriceText(rec.fields[3])) return &rec;
    }
  for (const CsvRecord& rec : records)
    if (hasFourFields(rec) && digitsOfPriceText(rec.fields[2])) return &rec;
  return nullptr;
}

}  // namespace

FeedFile parseFeedFile(std::string_view content, std::optional<std::int32_t> digits) {
  FeedFile out;
  CsvSplitResult csv = splitCsv(content);
  std::vector<LineProblem>& bad = out.badRows;
  bad = std::move(csv.problems);

  std::size_t digitsLine = 0;  // 0: given on the command line
  if (digits) {
    out.digits = *digits;
  } else if (const CsvRecord* first = digitsRow(csv.records)) {
    out.digits = *digitsOfPriceText(first->fields[2]);
    digitsLine = first->line;
  }
  const std::string digitsSource = digitsLine == 0
                                       ? " (--digits " + std::to_string(out.digits) + ")"
                                       : " (as the first row, line " + std::to_string(digitsLine) + ")";

  out.rows.reserve(csv.records.size());
  std::size_t pairLine = 0;
  // Why the record cannot be sent; "" when it can (then `row` holds it).
  auto check = [&](const CsvRecord& rec, TickRow& row) -> std::string {
    if (!hasFourFields(rec)) return fieldCountText(rec);
    const std::string& pair = rec.fields[0];
    if (pair.empty()) return "empty pair";
    if (pairLine != 0 && pair != out.pair)
      return "pair " + quotedText(pair) + " differs from " + quotedText(out.pair) + " on line " +
             std::to_string(pairLine) + "; a recording must hold a single pair";
    if (!digits && digitsLine == 0) return "bid " + quotedText(rec.fields[2]) + " is not a price";
    row.line = rec.line;
    if (!parseStamp(rec.fields[1], row.timeMs))
      return "time " + quotedText(rec.fields[1]) + " is not of the form YYYYMMDD HH:MM:SS.mmm";
    std::string err;
    // A price written with other Digits also says where the expected Digits came from.
    auto priceError = [&](const char* which, const std::string& text) {
      const auto written = digitsOfPriceText(text);
      const bool otherDigits = written && *written != out.digits;
      return std::string(which) + ": " + err + (otherDigits ? digitsSource : std::string());
    };
    const auto bid = priceToPoints(rec.fields[2], out.digits, err);
    if (!bid) return priceError("bid", rec.fields[2]);
    const auto ask = priceToPoints(rec.fields[3], out.digits, err);
    if (!ask) return priceError("ask", rec.fields[3]);
    row.bid = *bid;
    row.ask = *ask;
    if (pairLine == 0) {
      out.pair = pair;
      pairLine = rec.line;
    }
    return std::string();
  };
  for (const CsvRecord& rec : csv.records) {
    TickRow row;
    std::string why = check(rec, row);
    if (why.empty())
      out.rows.push_back(row);
    else
      bad.push_back({rec.line, std::move(why)});
  }
  std::stable_sort(bad.begin(), bad.end(),
                   [](const LineProblem& a, const LineProblem& b) { return a.line < b.line; });

  out.ok = !out.rows.empty();
  if (!out.ok) {
    if (bad.empty()) {
      out.error = "the file holds no ticks";
    } else {
      out.errorLine = bad.front().line;
      out.error = bad.front().what;
    }
  }
  return out;
}

std::vector<std::string> badRowsReport(std::string_view file, const FeedFile& feed, std::size_t listed) {
  std::vector<std::string> lines;
  const std::size_t bad = feed.badRows.size();
  if (bad == 0) return lines;
  lines.push_back(std::string(file) + ": " + std::to_string(bad) + " of " + std::to_string(bad + feed.rows.size()) +
                  " rows " + (bad == 1 ? "is" : "are") + " bad and left out:");
  for (std::size_t i = 0; i < bad && i < listed; ++i)
    lines.push_back("  line " + std::to_string(feed.badRows[i].line) + ": " + feed.badRows[i].what);
  if (bad > listed) lines.push_back("  ... and " + std::to_string(bad - listed) + " more");
  return lines;
}


}  // namespace orv::tools
