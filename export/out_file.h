// An output file written through a large buffer, under a temporary name
// beside it ("NAME.part") until it is closed whole and renamed; a run that
// fails leaves no half file under the real name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace orv::exporter {

class OutFile {
 public:
  static constexpr std::size_t kBuffer = std::size_t{1} << 20;

  OutFile() = default;
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;
  ~OutFile() { abandon(); }

  // False with the reason in error.
  bool open(const std::string& path, std::string& error);
  bool isOpen() const noexcept { return file_ != nullptr; }
  const std::string& path() const noexcept { return path_; }

  // Room for n bytes (n <= kBuffer) at the returned place; commit() says how many were used.
  char* reserve(std::size_t n) {
    if (used_ + n > kBuffer) flush();
    return buffer_.get() + used_;
  }
  void commit(std::size_t n) noexcept { used_ += n; }
  void append(std::string_view text) {
    if (text.size() > kBuffer) {
      flush();
      write(text.data(), text.size());
      return;
    }
    std::memcpy(reserve(text.size()), text.data(), text.size());
    commit(text.size());
  }
  void write(const void* data, std::size_t n);
  // Writes bytes over those at offset at (already written), as a header's sizes.
  void patch(std::uint64_t at, std::string_view bytes);
  // Flushes, closes and renames to the real name; false with the reason in error.
  bool close(std::string& error);
  // Closes and removes the temporary file, when one is open.
  void abandon() noexcept;
  std::uint64_t bytesWritten() const noexcept { return written_ + used_; }

 private:
  void flush();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool failed_ = false;
  int failedErrno_ = 0;
};

// The temporary name an output is written under.
std::string partName(const std::string& path);

}  // namespace orv::exporter
