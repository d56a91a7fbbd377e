// The texts made from one tick: the display line, the CSV row, and the file
// name proposed for a recording. They depend only on their inputs, so they
// are built here without any window system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/wall_time.h"

namespace orv {

// Longest price text: 10 digits of points padded to 39 digits, and a point.
inline constexpr std::size_t kMaxPriceText = 40;

// Writes points / 10^digits exactly, with exactly `digits` decimals and "."
// as the decimal point, for digits 0..38. Outside that range the value is
// written exactly in scientific form: the points, "e", the negated digits
// ("108150e-45", "108150e3"). Returns the length; out needs kMaxPriceText.
std::size_t formatPrice(char* out, std::uint32_t points, std::int32_t digits) noexcept;

// A text built in a fixed 200-character buffer, spilling into the heap only
// for texts that do not fit (symbols grown by endless announcements).
class TextBuffer {
 public:
  static constexpr std::size_t kFixed = 200;
  void clear() noexcept {
    size_ = 0;
    heap_.clear();
  }
  void append(std::string_view s);
  void append(char c) { append(std::string_view(&c, 1)); }
  // Appends value in decimal, zero-padded to at least `width` digits.
  void appendNumber(std::uint32_t value, int width);
  void appendPrice(std::uint32_t points, std::int32_t digits);
  std::string_view view() const noexcept {
    return onHeap() ? std::string_view(heap_) : std::string_view(fixed_, size_);
  }
  bool onHeap() const noexcept { return size_ > kFixed - 1; }

 private:
  char* reserve(std::size_t n);
  char fixed_[kFixed];
  std::size_t size_ = 0;
  std::string heap_;
};

// "14:03:27.045 EURUSD bid 1.08150 ask 1.08166"
void buildDisplayLine(TextBuffer& out, const WallTime& t, std::string_view symbol, std::int32_t digits,
                      std::uint32_t bidPoints, std::uint32_t askPoints);

// "EUR/USD,20261206 14:03:27.045,1.08150,1.08166", without the line end. A
// pair with a comma, a double quote, CR or LF is quoted so the row keeps its
// four fields.
void buildCsvRow(TextBuffer& out, std::string_view symbolPair, const WallTime& t, std::int32_t digits,
                 std::uint32_t bidPoints, std::uint32_t askPoints);

// Symbol + "-" + yyyymmdd-hhnnss, made an ordinary file name (below).
std::string proposedFileName(std::string_view symbol, const WallTime& t);

// Parts of the texts above: the date as yyyymmdd (with a separator between
// its parts, when given), the time of day as hh:nn:ss.zzz, and as hhnnss.
void appendDate(TextBuffer& out, const WallTime& t, std::string_view separator = {});
void appendTimeOfDay(TextBuffer& out, const WallTime& t);
void appendCompactTime(TextBuffer& out, const WallTime& t);

// Replaces every character Windows forbids in a file name by "_".
void replaceForbiddenFileNameCharacters(std::string& name);

// Makes one path component an ordinary file or folder name on Windows that
// stays where it is put: forbidden characters become "_", an empty name
// "_", dots and spaces at its end "_" (so "." and ".." never climb), and a
// device name ("NUL", "con.csv", "COM1.txt") gets a "_" in front.
void makeOrdinaryFileName(std::string& name);

}  // namespace orv
