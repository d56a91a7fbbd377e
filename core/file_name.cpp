#include "core/file_name.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace orv {

void replaceForbiddenFileNameCharacters(std::string& name) {
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || std::strchr("<>:\"/\\|?*", c) != nullptr) c = '_';
  }
}

std::string asciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string shortHash(std::string_view bytes) {
  std::uint32_t hash = 2166136261u;
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(8, '0');
  for (std::size_t i = 8; i > 0; --i, hash >>= 4) text[i - 1] = kHex[hash & 15];
  return text;
}

void shortenLongName(std::string& name, std::string_view whole) {
  if (name.size() <= kLongestNamedSymbol) return;
  const std::string hash = shortHash(whole);
  std::size_t cut = kLongestNamedSymbol - 1 - hash.size();
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
  name.resize(cut);
  name += '~';
  name += hash;
}

namespace {

bool isDeviceName(std::string_view base) {
  std::string upper = asciiUpper(std::string(base));
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (upper == device) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
         upper[3] <= '9';
}

}  // namespace

void makeOrdinaryFileName(std::string& name) {
  replaceForbiddenFileNameCharacters(name);
  if (name.empty()) name.push_back('_');
  for (std::size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) name[i - 1] = '_';
  if (isDeviceName(std::string_view(name).substr(0, name.find('.')))) name.insert(name.begin(), '_');
}

}  // namespace orv
