#include "check/files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "check/texts.h"

#ifdef _WIN32
#include <process.h>

#include "platform/win32_text.h"
#else
#include <unistd.h>
#endif

namespace orv::check {

namespace {

int processId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

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

bool startsWithPage(const std::string& path) {
  std::FILE* f = openFile(path, "rb");
  if (f == nullptr) return false;
  char head[1024];
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  const std::string_view text(head, n);
  return text.starts_with(kPageStart) && text.find(kPageTitle) != std::string_view::npos;
}

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(toWide(path).c_str(), toWide(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  // Written whole under a name of its own first: the file at path is either
  // as it was or the new one, never half of either.
  const std::string temporary = path + ".orvalda-check-" + std::to_string(processId()) + ".tmp";
  std::FILE* f = openFile(temporary, "wb");
  if (f == nullptr) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int savedErrno = errno;
  std::error_code renamed;
  if (std::fclose(f) != 0 || !written) {
    error = "cannot write " + quoted(path, 400) + ": " + std::strerror(written ? errno : savedErrno);
  } else {
    std::filesystem::rename(pathOf(temporary), pathOf(path), renamed);
    if (!renamed) return true;
    error = "cannot put the page in place as " + quoted(path, 400) + ": " + renamed.message();
  }
  std::error_code ignored;
  std::filesystem::remove(pathOf(temporary), ignored);
  return false;
}

}  // namespace orv::check
