// The rows of a recording as the tools take them: each line read, then
// judged by the row's one reader (core/row_format): a row, a header, or a
// line torn or unparsable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "recordings/line_reader.h"
#include "core/row_format.h"

namespace orv::recordings {

using orv::Price;

enum class RowFault : std::uint8_t { None, Header, Torn, Unparsable };

struct SourceRow {
  std::string_view text;  // the whole line, without its end; valid until the next row
  std::uint64_t line = 0;
  RowFault fault = RowFault::None;
  bool cutOff = false;  // the last line, ended by no line end and no row: cut off
  // With no fault:
  std::string_view pair, bid, ask;  // as written
  std::int64_t stampMs = 0;         // ms since 1970-01-01 00:00 of the recording's clock
  Price bidPrice, askPrice;
};

class RowSource {
 public:
  explicit RowSource(LineReader::ReadFn read, std::size_t readAtMost = SIZE_MAX) : lines_(std::move(read), readAtMost) {}
  // The next row; false at the end or on a read error (error() not empty).
  bool next(SourceRow& row);
  const std::string& error() const noexcept { return lines_.error(); }
  std::uint64_t bytesRead() const noexcept { return lines_.bytesRead(); }

 private:
  LineReader lines_;
  LineJudge judge_;
  StampReader& stamps_ = judge_.stamps();
  LineRead read_;
  PlainRowReader plainRows_;
  PlainRow plain_;
};

}  // namespace orv::recordings
