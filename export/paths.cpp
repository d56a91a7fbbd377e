#include "export/paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orv::exporter {

std::filesystem::path pathOf(const std::string& utf8) {
#ifdef _WIN32
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return std::filesystem::path(w);
#else
  return std::filesystem::path(utf8);
#endif
}

std::string utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& w = path.native();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
#else
  return path.string();
#endif
}

}  // namespace orv::exporter
