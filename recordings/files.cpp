#include "recordings/files.h"

#include <system_error>

#ifdef _WIN32
#include "platform/win32_text.h"
#endif

namespace orv::recordings {

std::filesystem::path pathOf(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(toWide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
  return toUtf8(path.native());
#else
  return path.string();
#endif
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(pathOf(a), pathOf(b), error) && !error;
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(pathOf(path), error);
}

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(toWide(path).c_str(), toWide(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace orv::recordings
