// The open CSV file of a recording. Rows are collected whole in a 512-byte
// block and written out together, so a program reading the file meanwhile
// never sees half a row; the owner writes out what is collected at least
// once a second, so a reader is never far behind and a crash loses little.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

class RecordStream {
 public:
  static constexpr std::size_t kBlock = 512;
  static constexpr std::int64_t kMaxDelayMs = 1000;

  RecordStream(std::unique_ptr<OutputFile> file, std::string path);
  // Writes out what is collected and closes; failures have nobody left to tell.
  ~RecordStream();
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // Adds one row and its CR LF. Writes out the block first when the row does
  // not fit in it, and after it when the oldest row waiting is older than
  // kMaxDelayMs. False, with the system's reason, when a write failed.
  bool appendRow(std::string_view row, std::int64_t nowMs, std::string& error);
  // Writes out whatever is collected.
  bool flush(std::string& error);
  // Writes out and closes the file.
  bool close(std::string& error);

  const std::string& path() const noexcept { return path_; }

 private:
  bool writeOut(const char* data, std::size_t size, std::string& error);
  std::unique_ptr<OutputFile> file_;
  std::string path_;
  char block_[kBlock];
  std::size_t used_ = 0;
  std::int64_t oldestMs_ = 0;
};

}  // namespace orv
