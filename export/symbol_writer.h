// What the writers of every format share: the rows' written clock, prices
// compared as written, where a symbol's files go, and the writer each
// format implements, one file each (mt5_writer.cpp, ...). The exporter
// makes one writer per symbol and hands it the symbol's rows in order.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/row_format.h"
#include "export/exporter.h"
#include "export/out_file.h"
#include "recordings/row_source.h"

namespace orv::exporter {

using recordings::RowFault;
using recordings::RowSource;
using recordings::SourceRow;

inline constexpr std::int64_t kMsPerDay = 86400000;

// ---- prices, compared as written ----

// Both prices in points of the finer one.
inline void alike(const Price& a, const Price& b, std::uint64_t& pa, std::uint64_t& pb) {
  const std::int64_t digits = std::max(a.digits, b.digits);
  pa = timesTenTo(a.points, digits - a.digits);
  pb = timesTenTo(b.points, digits - b.digits);
}

inline bool above(const Price& bid, const Price& ask) {
  if (bid.digits == ask.digits) return bid.points > ask.points;
  std::uint64_t b = 0, a = 0;
  alike(bid, ask, b, a);
  return b > a;
}

// ---- the written clock ----

inline void put2(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}
inline void put3(char* p, unsigned v) {
  p[0] = static_cast<char>('0' + v / 100);
  put2(p + 1, v % 100);
}
inline void put4(char* p, unsigned v) {
  put2(p, v / 100);
  put2(p + 2, v % 100);
}

// A local time in fields, the date worked out once a day.
struct LocalTimeFields {
  std::int64_t day = std::numeric_limits<std::int64_t>::min();
  int year = 0;
  unsigned month = 0, dayOfMonth = 0;
  char ymd[8] = {};  // "YYYYMMDD"
  std::int64_t msOfDay = 0;
  unsigned hour = 0, minute = 0, second = 0, milli = 0;

  std::int64_t secondStart = std::numeric_limits<std::int64_t>::max();  // of the second held

  void set(std::int64_t localMs) {
    // Rows of the same second as the row before: only the milliseconds are new.
    if (localMs >= secondStart && localMs - secondStart < 1000) {
      milli = static_cast<unsigned>(localMs - secondStart);
      msOfDay = secondStart - day * kMsPerDay + milli;
      return;
    }
    const std::int64_t d = floorDiv(localMs, kMsPerDay);
    if (d != day) {
      using namespace std::chrono;
      const year_month_day date{sys_days{days{d}}};
      day = d;
      year = static_cast<int>(date.year());
      month = static_cast<unsigned>(date.month());
      dayOfMonth = static_cast<unsigned>(date.day());
      put4(ymd, static_cast<unsigned>(year < 0 ? 0 : year > 9999 ? 9999 : year));
      put2(ymd + 4, month);
      put2(ymd + 6, dayOfMonth);
    }
    msOfDay = localMs - d * kMsPerDay;
    const unsigned ms = static_cast<unsigned>(msOfDay);
    hour = ms / 3600000;
    minute = ms / 60000 % 60;
    second = ms / 1000 % 60;
    milli = ms % 1000;
    secondStart = localMs - milli;
  }
  // "YYYY?MM?DD"
  char* date(char* p, char separator) const {
    std::memcpy(p, ymd, 4);
    p[4] = separator;
    std::memcpy(p + 5, ymd + 4, 2);
    p[7] = separator;
    std::memcpy(p + 8, ymd + 6, 2);
    return p + 10;
  }
  // "HH?MM?SS"
  char* time(char* p, const char* separator) const {
    put2(p, hour);
    p += 2;
    if (*separator) *p++ = *separator;
    put2(p, minute);
    p += 2;
    if (*separator) *p++ = *separator;
    put2(p, second);
    return p + 2;
  }
};

// ---- the writers ----

struct Tick {
  const SourceRow& row;
  std::int64_t utcMs;
  const LocalTimeFields& clock;
  std::int32_t unitDigits;  // the pair's own unit, for spreads
  std::int64_t spread() const { return spreadInUnit(row.bidPrice, row.askPrice, unitDigits); }
};

// dir/name, of UTF-8 names.
std::string join(const std::string& dir, const std::string& name);

// Where a symbol's files go, the inputs they may never replace, the
// handles and buffers its outputs share with the others', and the folders
// the run makes.
struct Place {
  const std::string& dir;
  std::string symbol;  // as a file name
  const std::vector<std::string>& inputs;
  OpenOutputs& outputs;
  MadeFolders& folders;
  // The path of a file in the folder; empty, with the reason in error, when it would replace an input.
  std::string file(const std::string& name, std::string& error) const;
};
class SymbolWriter {
 public:
  virtual ~SymbolWriter() = default;
  // False with the reason in error.
  virtual bool start(const Place& place, std::string& error) = 0;
  // False when the row could not go where it belongs (LEAN's day already written).
  virtual bool write(const Tick& tick, std::string& error) = 0;
  // Settles every output, each added to files (put in place once the whole run is done).
  virtual bool finish(std::vector<WrittenFile>& files, std::string& error) = 0;
};

// One text file with one line per row.
class LinesWriter : public SymbolWriter {
 public:
  bool finish(std::vector<WrittenFile>& files, std::string& error) override {
    files.push_back({out_.path(), rows_});
    return out_.settle(error);
  }

 protected:
  bool open(const Place& place, const std::string& name, std::string_view header, std::string& error) {
    const std::string path = place.file(name, error);
    if (path.empty() || !out_.open(path, error, &place.outputs)) return false;
    out_.append(header);
    return true;
  }
  OutFile out_;
  std::uint64_t rows_ = 0;
};

inline char* copy(char* p, std::string_view s) {
  const std::size_t n = s.size();
  if (n >= 8 && n <= 16) {
    // A price, most often: its first and last 8 or 4 bytes, overlapping, without a call.
    std::memcpy(p, s.data(), 8);
    std::memcpy(p + n - 8, s.data() + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(p, s.data(), 4);
    std::memcpy(p + n - 4, s.data() + n - 4, 4);
  } else {
    std::memcpy(p, s.data(), n);
  }
  return p + n;
}

// One tick's line: the written time (stamp), bid and ask as written, then the format's end.
template <typename Stamp>
void tickLine(OutFile& out, const Tick& t, Stamp stamp, char separator, std::string_view end) {
  char* const start = out.reserve(32 + t.row.bid.size() + t.row.ask.size() + end.size());
  char* p = stamp(start);
  *p++ = separator;
  p = copy(p, t.row.bid);
  *p++ = separator;
  p = copy(p, t.row.ask);
  p = copy(p, end);
  out.commit(static_cast<std::size_t>(p - start));
}

// One writer a symbol, for each format.
std::unique_ptr<SymbolWriter> newMt5Writer();
std::unique_ptr<SymbolWriter> newNt8Writer();
std::unique_ptr<SymbolWriter> newLeanWriter();
std::unique_ptr<SymbolWriter> newHistDataWriter();
std::unique_ptr<SymbolWriter> newBarsWriter(std::int64_t barMs, std::string name);
std::unique_ptr<SymbolWriter> newTemplateWriter(const std::vector<TemplatePiece>& pieces, const std::string& header);

}  // namespace orv::exporter
