#include "platform/native_archiver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

namespace orv {

namespace {

namespace fs = std::filesystem;

fs::path pathOf(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return fs::path(path);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class NativeNewFile : public gzip::NewFile {
 public:
  explicit NativeNewFile(std::FILE* f) : file_(f) {}
  bool write(const char* data, std::size_t size, std::string& error) override {
    if (std::fwrite(data, 1, size, file_.get()) == size) return true;
    error = std::strerror(errno);
    return false;
  }
  bool flushAndClose(std::string& error) override {
    const bool flushed = std::fflush(file_.get()) == 0;
    if (!flushed) error = std::strerror(errno);
    const bool closed = std::fclose(file_.release()) == 0;
    if (!closed && flushed) error = std::strerror(errno);
    return flushed && closed;
  }

 private:
  FilePtr file_;
};

class NativeArchiveFiles : public ArchiveFiles {
 public:
  bool list(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override {
    entries.clear();
    std::error_code e;
    fs::directory_iterator it(pathOf(folder), e);
    if (e) {
      if (e == std::errc::no_such_file_or_directory) return true;
      error = e.message();
      return false;
    }
    for (const fs::directory_entry& entry : it)
      entries.push_back({entry.path().filename().string(), entry.is_directory(e)});
    return true;
  }
  bool exists(const std::string& path) override {
    std::error_code e;
    return fs::exists(pathOf(path), e);
  }
  bool size(const std::string& path, std::uint64_t& bytes, std::string& error) override {
    std::error_code e;
    bytes = fs::file_size(pathOf(path), e);
    if (e) error = e.message();
    return !e;
  }
  gzip::ReadFn openRead(const std::string& path, std::string& error) override {
    std::shared_ptr<std::FILE> f(std::fopen(pathOf(path).c_str(), "rb"), FileCloser());
    if (!f) {
      error = std::strerror(errno);
      return nullptr;
    }
    return [f](char* out, std::size_t size, std::string& e) -> std::ptrdiff_t {
      const std::size_t got = std::fread(out, 1, size, f.get());
      if (got == 0 && std::ferror(f.get())) {
        e = std::strerror(errno);
        return -1;
      }
      return static_cast<std::ptrdiff_t>(got);
    };
  }
  std::unique_ptr<gzip::NewFile> create(const std::string& path, std::string& error) override {
    std::FILE* f = std::fopen(pathOf(path).c_str(), "wb");
    if (f == nullptr) {
      error = std::strerror(errno);
      return nullptr;
    }
    return std::make_unique<NativeNewFile>(f);
  }
  bool replace(const std::string& from, const std::string& to, std::string& error) override {
    std::error_code e;
    fs::rename(pathOf(from), pathOf(to), e);
    if (e) error = e.message();
    return !e;
  }
  bool remove(const std::string& path, std::string& error) override {
    std::error_code e;
    if (fs::remove(pathOf(path), e)) return true;
    error = e ? e.message() : "no such file";
    return false;
  }
  // Nothing here keeps a writer out: the file is only looked for.
  std::unique_ptr<gzip::HeldFile> holdToRemove(const std::string& path, std::string& error) override {
    struct Held : gzip::HeldFile {
      Held(NativeArchiveFiles& files, std::string path) : files(files), path(std::move(path)) {}
      bool remove(std::string& e) override { return files.remove(path, e); }
      NativeArchiveFiles& files;
      std::string path;
    };
    if (!exists(path)) {
      error = "no such file";
      return nullptr;
    }
    return std::make_unique<Held>(*this, path);
  }
};

}  // namespace

ArchiveFiles& nativeArchiveFiles() {
  static NativeArchiveFiles files;
  return files;
}

}  // namespace orv
