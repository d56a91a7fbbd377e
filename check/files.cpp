#include "check/files.h"

#include <cerrno>
#include <cstring>

#include "check/texts.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orv::check {

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
  const auto wide = [](const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
  };
  return _wfopen(wide(path).c_str(), wide(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  std::FILE* f = openFile(path, "wb");
  if (f == nullptr) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int savedErrno = errno;
  if (std::fclose(f) != 0 || !written) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(written ? errno : savedErrno);
    return false;
  }
  return true;
}

}  // namespace orv::check
