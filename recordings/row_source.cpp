#include "recordings/row_source.h"

namespace orv::recordings {

bool RowSource::next(SourceRow& row) {
  // A plain row straight from the reader's buffer, when its stamp reads too;
  // anything else, or a row cut by the buffer's end, one line at a time.
  if (plainRows_.read(lines_.buffered(), plain_) && stamps_.read(plain_.stamp, row.stampMs)) {
    lines_.consume(plain_.size, 1);
    row.text = std::string_view(plain_.pair.data(), plain_.size - (plain_.ask.data()[plain_.ask.size()] == '\r' ? 2 : 1));
    row.line = lines_.linesRead();
    row.fault = RowFault::None;
    row.cutOff = false;
    row.pair = plain_.pair;
    row.bid = plain_.bid;
    row.ask = plain_.ask;
    row.bidPrice = plain_.bidPrice;
    row.askPrice = plain_.askPrice;
    return true;
  }
  Line line;
  if (!lines_.next(line)) return false;
  row.text = line.text;
  row.line = line.number;
  const LineIs is = judge_.judge(line.text, {line.number == 1, line.overlong, line.end != recordings::LineEnd::None}, read_);
  row.cutOff = is == LineIs::Cut;
  row.fault = is == LineIs::Row ? RowFault::None : is == LineIs::Header ? RowFault::Header : isTorn(is) ? RowFault::Torn : RowFault::Unparsable;
  row.pair = read_.fields.pair;
  row.bid = read_.fields.bid;
  row.ask = read_.fields.ask;
  row.stampMs = read_.ms;
  row.bidPrice = read_.bid;
  row.askPrice = read_.ask;
  return true;
}

}  // namespace orv::recordings
