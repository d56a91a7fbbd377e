#include "export/symbol_writer.h"

#include <charconv>

namespace orv::exporter {

namespace {

// Lines of the user's template, with a first line of their own when given.
class TemplateWriter final : public LinesWriter {
 public:
  TemplateWriter(const std::vector<TemplatePiece>& pieces, const std::string& header) : pieces_(pieces), header_(header) {}
  bool start(const Place& place, std::string& error) override {
    symbol_ = place.symbol;
    return open(place, place.symbol + ".csv", header_.empty() ? std::string() : header_ + "\r\n", error);
  }
  bool write(const Tick& t, std::string&) override {
    line_.clear();
    char number[24];
    const auto add = [&](auto value) { line_.append(number, std::to_chars(number, number + sizeof number, value).ptr); };
    const auto add2 = [&](unsigned v) {
      put2(number, v);
      line_.append(number, 2);
    };
    for (const TemplatePiece& piece : pieces_) {
      switch (piece.piece) {
        case Piece::Text: line_ += piece.text; break;
        case Piece::Year: line_.append(t.clock.ymd, 4); break;
        case Piece::Month: add2(t.clock.month); break;
        case Piece::Day: add2(t.clock.dayOfMonth); break;
        case Piece::Hour: add2(t.clock.hour); break;
        case Piece::Minute: add2(t.clock.minute); break;
        case Piece::Second: add2(t.clock.second); break;
        case Piece::Milli:
          put3(number, t.clock.milli);
          line_.append(number, 3);
          break;
        case Piece::Bid: line_ += t.row.bid; break;
        case Piece::Ask: line_ += t.row.ask; break;
        case Piece::Pair: line_ += t.row.pair; break;
        case Piece::Symbol: line_ += symbol_; break;
        case Piece::Spread: add(t.spread()); break;
        case Piece::MsOfDay: add(t.clock.msOfDay); break;
        case Piece::UnixMs: add(t.utcMs); break;
      }
    }
    line_ += "\r\n";
    out_.append(line_);
    ++rows_;
    return true;
  }

 private:
  const std::vector<TemplatePiece>& pieces_;
  const std::string& header_;
  std::string symbol_, line_;
};

}  // namespace

std::unique_ptr<SymbolWriter> newTemplateWriter(const std::vector<TemplatePiece>& pieces, const std::string& header) {
  return std::make_unique<TemplateWriter>(pieces, header);
}

bool readTemplate(std::string_view text, std::vector<TemplatePiece>& pieces, std::string& error) {
  pieces.clear();
  const auto literal = [&](std::string_view s) {
    if (s.empty()) return;
    if (pieces.empty() || pieces.back().piece != Piece::Text) pieces.push_back({Piece::Text, {}});
    pieces.back().text += s;
  };
  static constexpr struct {
    const char* name;
    Piece piece;
  } kValues[] = {{"bid", Piece::Bid},       {"ask", Piece::Ask},         {"pair", Piece::Pair},     {"symbol", Piece::Symbol},
                 {"spread", Piece::Spread}, {"ms_of_day", Piece::MsOfDay}, {"unix_ms", Piece::UnixMs}};
  while (!text.empty()) {
    const std::size_t open = text.find('{');
    literal(text.substr(0, open));
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos) {
      error = "the template has a '{' without its '}'";
      return false;
    }
    const std::string_view token = text.substr(open + 1, close - open - 1);
    text.remove_prefix(close + 1);
    if (token.starts_with("time:")) {
      std::string_view format = token.substr(5);
      for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
          literal(format.substr(i, 1));
          continue;
        }
        const char field = i + 1 < format.size() ? format[++i] : '\0';
        const char* const fields = "YmdHMSL";
        const char* found = field ? std::strchr(fields, field) : nullptr;
        if (field == '%') {
          literal("%");
        } else if (found == nullptr) {
          error = "the template's time knows %Y %m %d %H %M %S %L, not '%" + std::string(1, field) + "'";
          return false;
        } else {
          pieces.push_back({static_cast<Piece>(static_cast<int>(Piece::Year) + (found - fields)), {}});
        }
      }
      continue;
    }
    bool known = false;
    for (const auto& value : kValues)
      if (token == value.name) {
        pieces.push_back({value.piece, {}});
        known = true;
      }
    if (!known) {
      error = "the template knows {time:FORMAT} {bid} {ask} {pair} {symbol} {spread} {ms_of_day} {unix_ms}, not {" +
              std::string(token) + "}";
      return false;
    }
  }
  if (pieces.empty()) {
    error = "the template is empty";
    return false;
  }
  return true;
}

}  // namespace orv::exporter
