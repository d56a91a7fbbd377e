#include "core/activity_log.h"

#include <algorithm>
#include <memory>

#include "core/file_pattern.h"
#include "core/row_format.h"
#include "core/tick_text.h"

namespace orv {
namespace {

// The log's words for a file's start and end (core/unattended_recording.cpp).
constexpr std::string_view kStarted = "Recording to ";
constexpr std::string_view kStartedNew = ", a new file";
constexpr std::string_view kStartedAddedTo = ", added to its ";
constexpr std::string_view kStartedAgainAfterFailure = " again; ";
constexpr std::string_view kEnded = "Ended ";
constexpr std::string_view kLeftOpen = "The run before ended without closing ";
// "2026-12-06 14:03:27.045 " before each line's text.
constexpr std::size_t kStampWidth = 24;

// The path of a line telling that a file's rows start going to it; empty
// for any other line.
std::string_view startedPath(std::string_view text) {
  if (text.substr(0, kStarted.size()) != kStarted) return {};
  text.remove_prefix(kStarted.size());
  if (text.size() > kStartedNew.size() && text.substr(text.size() - kStartedNew.size()) == kStartedNew)
    return text.substr(0, text.size() - kStartedNew.size());
  if (const std::size_t at = text.rfind(kStartedAddedTo); at != std::string_view::npos && text.ends_with(" bytes"))
    return text.substr(0, at);
  if (const std::size_t at = text.find(kStartedAgainAfterFailure); at != std::string_view::npos)
    return text.substr(0, at);
  return {};
}

// The path before ": " in a line that starts with `words`; empty for others
// (a Windows name holds no colon but the drive's, which a backslash follows).
std::string_view pathAfter(std::string_view text, std::string_view words) {
  if (text.substr(0, words.size()) != words) return {};
  text.remove_prefix(words.size());
  const std::size_t colon = text.find(": ");
  return colon == std::string_view::npos ? std::string_view() : text.substr(0, colon);
}

// The last whole row of a file (the bytes before its last line end), read
// from its end; empty when it has none.
std::string lastRow(RawFile& file) {
  std::string error;
  std::uint64_t size = 0;
  if (!file.size(size, error) || size == 0) return {};
  std::string tail(static_cast<std::size_t>(std::min<std::uint64_t>(size, 4096)), '\0');
  if (!file.read(size - tail.size(), tail.data(), tail.size(), error)) return {};
  const std::size_t end = tail.find_last_of('\n');
  if (end == std::string::npos) return {};
  std::string_view row(tail.data(), end);
  if (row.ends_with('\r')) row.remove_suffix(1);
  const std::size_t start = row.find_last_of('\n');
  return std::string(start == std::string_view::npos ? row : row.substr(start + 1));
}

// A row as the log shows it: bytes that are not printable ASCII as "\xhh".
std::string printable(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7f && c != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

// "2026-12-08 14:03:27.045", or empty when the row has no stamp.
std::string stampOf(std::string_view row) {
  const std::size_t first = row.find(',');
  const std::size_t second = first == std::string_view::npos ? first : row.find(',', first + 1);
  std::int64_t ms = 0;
  if (second == std::string_view::npos || !parseStamp(row.substr(first + 1, second - first - 1), ms)) return {};
  TextBuffer text;
  const WallTime t = wallTimeOf(std::chrono::milliseconds(ms));
  appendDate(text, t, "-");
  text.append(' ');
  appendTimeOfDay(text, t);
  return std::string(text.view());
}

}  // namespace

std::string logPathIn(std::string_view folder) {
  return folder.empty() ? std::string(kLogName) : std::string(folder) + "\\" + kLogName;
}

std::string writeLogLine(FileOpener& files, std::string_view pattern, const WallTime& stamp, std::string_view text) {
  TextBuffer line;
  appendDate(line, stamp, "-");
  line.append(' ');
  appendTimeOfDay(line, stamp);
  line.append(' ');
  line.append(text);
  line.append("\r\n");
  std::string folder = fixedFolderOf(pattern);
  for (;;) {
    const std::string path = logPathIn(folder);
    std::string ignored;
    if (std::unique_ptr<RawFile> log = files.openFile(path, FileOpening::AddTo, ignored)) {
      std::size_t written = 0;
      const bool ok = log->append(line.view().data(), line.view().size(), written, ignored);
      log->close(ignored);
      if (ok) return path;
    }
    const std::string parent = folderOf(folder);
    if (parent.empty() || parent == folder) return std::string();
    folder = parent;
  }
}

std::vector<std::string> filesLeftOpen(std::string_view logText) {
  std::vector<std::string> open;
  const auto ended = [&open](std::string_view path) {
    open.erase(std::remove(open.begin(), open.end(), path), open.end());
  };
  while (!logText.empty()) {
    const std::size_t end = logText.find('\n');
    std::string_view line = logText.substr(0, end);
    logText.remove_prefix(end == std::string_view::npos ? logText.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() <= kStampWidth) continue;
    const std::string_view text = line.substr(kStampWidth);
    if (const std::string_view path = startedPath(text); !path.empty()) {
      ended(path);
      open.emplace_back(path);
    } else if (const std::string_view closed = pathAfter(text, kEnded); !closed.empty()) {
      ended(closed);
    } else if (const std::string_view told = pathAfter(text, kLeftOpen); !told.empty()) {
      ended(told);
    }
  }
  return open;
}

void tellFilesLeftOpen(FileOpener& files, std::string_view pattern, const WallTime& now) {
  std::string error;
  const std::unique_ptr<RawFile> log = files.openFile(logPathIn(fixedFolderOf(pattern)), FileOpening::Existing, error);
  std::uint64_t size = 0;
  if (!log || !log->size(size, error)) return;
  const std::uint64_t from = size > kLogEndRead ? size - kLogEndRead : 0;
  std::string text(static_cast<std::size_t>(size - from), '\0');
  const bool read = log->read(from, text.data(), text.size(), error);
  log->close(error);
  if (!read) return;
  // Begun part way through a line: from the next one.
  if (from > 0) text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
  for (const std::string& path : filesLeftOpen(text)) {
    const std::unique_ptr<RawFile> file = files.openFile(path, FileOpening::Existing, error);
    if (file && file->othersAddToIt()) continue;  // another copy records to it now
    const std::string row = file ? lastRow(*file) : std::string();
    if (file) file->close(error);
    const std::string stamp = stampOf(row);
    std::string line = std::string(kLeftOpen) + path + ": ";
    if (!file)
      line += "it cannot be read now (" + error + ")";
    else if (row.empty())
      line += "it kept no whole row";
    else
      line += "the last row it kept" + (stamp.empty() ? std::string() : ", of " + stamp) + ", is " + printable(row);
    writeLogLine(files, pattern, now, line);
  }
}

}  // namespace orv
