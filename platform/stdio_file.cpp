#include "platform/stdio_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv {

namespace {

class StdioFile : public OutputFile {
 public:
  explicit StdioFile(std::FILE* f) : f_(f) {}
  ~StdioFile() override {
    if (f_ != nullptr) std::fclose(f_);
  }
  bool write(const char* data, std::size_t size, std::string& error) override {
    if (f_ == nullptr) {
      error = "the file is closed";
      return false;
    }
    errno = 0;
    // Unbuffered stream: a whole block reaches the system in one call, and
    // a failure (disk full) shows here, not at some later flush.
    if (std::fwrite(data, 1, size, f_) != size) {
      error = lastErrorText(errno != 0 ? errno : EIO);
      std::clearerr(f_);
      return false;
    }
    return true;
  }
  bool close(std::string& error) override {
    if (f_ == nullptr) return true;
    errno = 0;
    const int rc = std::fclose(f_);
    f_ = nullptr;
    if (rc != 0) {
      error = lastErrorText(errno != 0 ? errno : EIO);
      return false;
    }
    return true;
  }

 private:
  std::FILE* f_;
};

}  // namespace

std::string lastErrorText(int errnum) {
  std::string text = std::strerror(errnum);
  while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

std::unique_ptr<OutputFile> openOutputFile(const std::string& path, std::string& error) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    error = lastErrorText(errno != 0 ? errno : ENOENT);
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IONBF, 0);
  return std::make_unique<StdioFile>(f);
}

}  // namespace orv
