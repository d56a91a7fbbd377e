// File names of unattended recordings: a pattern such as
// D:\ticks\{symbol}\{symbol}-{date}.csv with its fields filled in. No window
// system here; the folders are made and the files opened by the backend.
#pragma once

#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

// The pattern with {symbol} (the characters no file name may hold replaced by
// "_"), {date} (yyyymmdd) and {time} (hhnnss) filled in; other text, braces
// included, stays as it is.
std::string expandFilePattern(std::string_view pattern, std::string_view symbol, const LocalTime& t);

// Whether a Windows path names its place from the current folder: no drive
// ("D:\..."), no root ("\..." or "/...") and no server ("\\server\...").
bool isRelativePath(std::string_view path) noexcept;

// The folder part of a path ("D:\ticks\EURUSD" for "D:\ticks\EURUSD\a.csv"),
// empty when the path has none.
std::string folderOf(std::string_view path);

// A tick's calendar day, as one number that grows with the date (yyyymmdd).
constexpr std::uint32_t dayNumber(const LocalTime& t) noexcept {
  return static_cast<std::uint32_t>(t.year) * 10000u + t.month * 100u + t.day;
}

}  // namespace orv
