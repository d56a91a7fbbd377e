// An output file written through a buffer, under a temporary name beside it
// ("NAME.part") until the whole run is done and it is put in place; a run
// that fails leaves no half file under the real name.
//
// Outputs written together may share an OpenOutputs, which bounds their
// open handles and the memory of their buffers whatever their number: the
// least recently written output's handle is closed and reopened when it is
// written again, and when the buffers together grow beyond their limit each
// is written out and let go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orv::exporter {

class OutFile;

class OpenOutputs {
 public:
  explicit OpenOutputs(std::size_t maxHandles = 64, std::size_t maxBuffered = std::size_t{16} << 20)
      : maxHandles_(maxHandles), maxBuffered_(maxBuffered) {}
  OpenOutputs(const OpenOutputs&) = delete;
  OpenOutputs& operator=(const OpenOutputs&) = delete;
  std::size_t handles() const noexcept { return handles_.size(); }
  std::size_t bufferedBytes() const noexcept { return buffered_; }

 private:
  friend class OutFile;
  // file's handle is in use now; the least recent beyond the limit is closed.
  void used(OutFile& file);
  void closed(OutFile& file);
  // Room for bytes more of buffers: beyond the limit every buffer is written out and let go.
  void makeRoom(std::size_t bytes);
  void buffered(OutFile& file, std::size_t before, std::size_t after);

  std::size_t maxHandles_, maxBuffered_;
  std::list<OutFile*> handles_;  // the most recently used first
  std::unordered_set<OutFile*> withBuffer_;
  std::size_t buffered_ = 0;
};

class OutFile {
 public:
  static constexpr std::size_t kBuffer = std::size_t{1} << 20;

  OutFile() = default;
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;
  ~OutFile() { abandon(); }

  // Starts the temporary file, its handle and buffer among shared's when
  // given; false with the reason in error.
  bool open(const std::string& path, std::string& error, OpenOutputs* shared = nullptr);
  // Started and neither settled nor abandoned.
  bool isOpen() const noexcept { return started_; }
  const std::string& path() const noexcept { return path_; }

  // Room for n bytes (n <= kBuffer) at the returned place; commit() says how many were used.
  char* reserve(std::size_t n) {
    if (used_ + n > capacity_) grow(n);
    return buffer_.get() + used_;
  }
  void commit(std::size_t n) noexcept { used_ += n; }
  void append(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > kBuffer) {
      flush();
      write(text.data(), text.size());
      return;
    }
    std::memcpy(reserve(text.size()), text.data(), text.size());
    commit(text.size());
  }
  // Writes bytes over those at offset at (already written), as a header's sizes.
  void patch(std::uint64_t at, std::string_view bytes);
  // Writes everything to the temporary file and closes it, which stays for
  // putInPlace (or removePart); false with the reason in error.
  bool settle(std::string& error);
  // Closes and removes the temporary file, when one is started.
  void abandon() noexcept;

 private:
  friend class OpenOutputs;
  void grow(std::size_t n);
  void flush();
  void write(const void* data, std::size_t n);
  bool handle();
  void closeHandle() noexcept;
  void letBufferGo();
  void fail() noexcept;

  OpenOutputs* shared_ = nullptr;
  std::FILE* file_ = nullptr;
  std::list<OutFile*>::iterator handleAt_;
  std::string path_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0, capacity_ = 0;
  bool started_ = false, failed_ = false;
  int failedErrno_ = 0;
};

// The temporary name an output is written under.
std::string partName(const std::string& path);
// Puts the settled temporary files of paths in place, all or none. A file
// already at a path (only when replace is set; never a folder) is first
// moved aside, and removed once every output is in place. When a step
// fails, the outputs already in place are removed and the files moved
// aside put back as they were; false with the reason in error.
bool putAllInPlace(const std::vector<std::string>& paths, bool replace, std::string& error);
void removePart(const std::string& path) noexcept;

// The folders a run makes, one by one, so that a run that fails can remove
// those it made.
class MadeFolders {
 public:
  // Makes path and the folders above it that are missing; false with the reason in error.
  bool make(const std::string& path, std::string& error);
  // Removes the folders made, the deepest first, each only when it is empty.
  void removeEmpty() noexcept;

 private:
  std::vector<std::filesystem::path> made_;
};

}  // namespace orv::exporter
