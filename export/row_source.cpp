#include "export/row_source.h"

namespace orv::exporter {

bool RowSource::next(SourceRow& row) {
  check::Line line;
  if (!lines_.next(line)) return false;
  row.text = line.text;
  row.line = line.number;
  // A row is a whole line of four fields: an overlong line, an empty one or
  // the last one cut off before its end is torn.
  if (line.overlong || line.end == check::LineEnd::None || line.text.empty() || !splitter_.split(line.text, fields_)) {
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
