#include "core/file_pattern.h"

#include "core/tick_text.h"

namespace orv {

std::string expandFilePattern(std::string_view pattern, std::string_view symbol, const WallTime& t) {
  TextBuffer date, time;
  appendDate(date, t);
  appendCompactTime(time, t);
  std::string safeSymbol(symbol);
  replaceForbiddenFileNameCharacters(safeSymbol);

  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("{symbol}")) {
      out += safeSymbol;
      i += 8;
    } else if (rest.starts_with("{date}")) {
      out += date.view();
      i += 6;
    } else if (rest.starts_with("{time}")) {
      out += time.view();
      i += 6;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

bool isRelativePath(std::string_view path) noexcept {
  if (path.size() >= 2 && path[1] == ':') return false;
  return path.empty() || (path[0] != '\\' && path[0] != '/');
}

std::string patternFromFolder(std::string_view pattern, std::string_view folder) {
  if (!isRelativePath(pattern) || folder.empty()) return std::string(pattern);
  std::string out(folder);
  if (out.back() != '\\' && out.back() != '/') out += '\\';
  return out += pattern;
}

std::string folderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return path.size() >= 2 && path[1] == ':' ? std::string(path.substr(0, 2)) : "";
  return std::string(path.substr(0, slash));
}

}  // namespace orv
