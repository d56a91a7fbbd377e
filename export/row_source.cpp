#include "export/row_source.h"

namespace orv::exporter {

bool RowSource::next(SourceRow& row) {
  // A plain row straight from the reader's buffer, when its stamp reads too;
  // anything else, or a row cut by the buffer's end, one line at a time.
  if (plainRows_.read(lines_.buffered(), plain_) && stamps_.read(plain_.stamp, row.stampMs)) {
    lines_.consume(plain_.size, 1);
    row.text = std::string_view(plain_.pair.data(), plain_.size - (plain_.ask.data()[plain_.ask.size()] == '\r' ? 2 : 1));
    row.line = lines_.linesRead();
    row.fault = RowFault::None;
    row.pair = plain_.pair;
    row.bid = plain_.bid;
    row.ask = plain_.ask;
    row.bidPrice = plain_.bidPrice;
    row.askPrice = plain_.askPrice;
    return true;
  }
  recordings::Line line;
  if (!lines_.next(line)) return false;
  row.text = line.text;
  row.line = line.number;
  // A row is a whole line of four fields: an overlong line, an empty one or
  // the last one cut off before its end is torn.
  if (line.overlong || line.end == recordings::LineEnd::None || line.text.empty() || !splitter_.split(line.text, fields_)) {
    row.fault = RowFault::Torn;
    return true;
  }
  row.pair = fields_.pair;
  row.bid = fields_.bid;
  row.ask = fields_.ask;
  const bool read = !row.pair.empty() && stamps_.read(fields_.stamp, row.stampMs) &&
                    parsePrice(row.bid, row.bidPrice) && parsePrice(row.ask, row.askPrice);
  row.fault = read ? RowFault::None : RowFault::Unparsable;
  return true;
}

}  // namespace orv::exporter
