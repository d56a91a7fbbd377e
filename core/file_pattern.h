// File names of unattended recordings: a pattern such as
// D:\ticks\{symbol}\{symbol}-{date}.csv with its fields filled in. No window
// system here; the folders are made and the files opened by the backend.
#pragma once

#include <string>
#include <string_view>

#include "core/wall_time.h"

namespace orv {

// The fields a pattern may hold.
inline constexpr const char* kPatternFields[] = {"{symbol}", "{date}", "{time}"};

// The pattern with {symbol} (bytes that are not printable ASCII, and the
// characters no file name may hold, replaced by "_"; a long one shortened
// by shortenLongName), {date} (yyyymmdd) and
// {time} (hhnnss) filled in. Each folder or file name a field is filled into
// is then made an ordinary name (makeOrdinaryFileName), so whatever symbol a
// feeder sends, the file stays inside the pattern's folder. Other text stays
// as it is.
std::string expandFilePattern(std::string_view pattern, std::string_view symbol, const WallTime& t);

// The first "{word}" in the pattern that is not one of its fields; empty when none.
std::string unknownPatternField(std::string_view pattern);

// Whether a Windows path names its place from the current folder: no drive
// ("D:\..."), no root ("\..." or "/...") and no server ("\\server\...").
bool isRelativePath(std::string_view path) noexcept;

// The pattern as a path from `folder` (the folder the program started in)
// when it is relative; as it is otherwise, or when no folder is known.
// Either way its folders are parted by backslashes only, as the system
// writes paths ("ticks/{symbol}.csv" from "Z:\home\me" is
// "Z:\home\me\ticks\{symbol}.csv"), so the log and the messages name each
// file one way.
std::string patternFromFolder(std::string_view pattern, std::string_view folder);

// The folder part of a path ("D:\ticks\EURUSD" for "D:\ticks\EURUSD\a.csv"),
// empty when the path has none.
std::string folderOf(std::string_view path);
// The folder a pattern names before its first field ("D:\ticks" for
// "D:\ticks\{symbol}\{date}.csv"), the same whatever the fields become.
std::string fixedFolderOf(std::string_view pattern);

}  // namespace orv
