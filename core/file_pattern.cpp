#include "core/file_pattern.h"

#include <algorithm>

#include "core/tick_text.h"

namespace orv {

std::string expandFilePattern(std::string_view pattern, std::string_view symbol, const WallTime& t) {
  TextBuffer date, time;
  appendDate(date, t);
  appendCompactTime(time, t);
  std::string safeSymbol(symbol);
  for (char& c : safeSymbol)
    if (static_cast<unsigned char>(c) >= 0x7f) c = '_';
  replaceForbiddenFileNameCharacters(safeSymbol);
  shortenLongName(safeSymbol, symbol);

  std::string out, name;
  bool filled = false;  // a field went into the name being built
  auto endName = [&] {
    if (filled) makeOrdinaryFileName(name);
    out += name;
    name.clear();
    filled = false;
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("{symbol}")) {
      name += safeSymbol;
      filled = true;
      i += 8;
    } else if (rest.starts_with("{date}")) {
      name += date.view();
      filled = true;
      i += 6;
    } else if (rest.starts_with("{time}")) {
      name += time.view();
      filled = true;
      i += 6;
    } else if (pattern[i] == '\\' || pattern[i] == '/') {
      endName();
      out += pattern[i++];
    } else {
      name += pattern[i++];
    }
  }
  endName();
  return out;
}

std::string unknownPatternField(std::string_view pattern) {
  for (std::size_t open = pattern.find('{'); open != std::string_view::npos; open = pattern.find('{', open + 1)) {
    const std::size_t close = pattern.find('}', open);
    if (close == std::string_view::npos) break;
    const std::string_view field = pattern.substr(open, close - open + 1);
    bool known = false;
    for (const char* f : kPatternFields) known = known || field == f;
    bool word = field.size() > 2;
    for (char c : field.substr(1, field.size() - 2))
      word = word && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
    if (word && !known) return std::string(field);
  }
  return std::string();
}

bool isRelativePath(std::string_view path) noexcept {
  if (path.size() >= 2 && path[1] == ':') return false;
  return path.empty() || (path[0] != '\\' && path[0] != '/');
}

std::string patternFromFolder(std::string_view pattern, std::string_view folder) {
  std::string out;
  if (isRelativePath(pattern) && !folder.empty()) {
    out = folder;
    if (out.back() != '\\' && out.back() != '/') out += '\\';
  }
  out += pattern;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

std::string folderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return path.size() >= 2 && path[1] == ':' ? std::string(path.substr(0, 2)) : "";
  return std::string(path.substr(0, slash));
}

std::string fixedFolderOf(std::string_view pattern) { return folderOf(pattern.substr(0, pattern.find('{'))); }

}  // namespace orv
