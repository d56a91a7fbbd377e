#include "core/record_stream.h"

#include <cstring>

namespace orv {

RecordStream::RecordStream(std::unique_ptr<OutputFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

RecordStream::~RecordStream() {
  std::string ignored;
  close(ignored);
}

bool RecordStream::writeOut(const char* data, std::size_t size, std::string& error) {
  if (size == 0) return true;
  return file_->write(data, size, error);
}

bool RecordStream::flush(std::string& error) {
  const std::size_t n = used_;
  used_ = 0;  // a block that failed to go out is not tried again
  return writeOut(block_, n, error);
}

bool RecordStream::appendRow(std::string_view row, std::int64_t nowMs, std::string& error) {
  if (file_ == nullptr) {
    error = "the file is closed";
    return false;
  }
  const std::size_t size = row.size() + 2;
  if (used_ + size > kBlock && !flush(error)) return false;
  if (size > kBlock) {
    // A row longer than the block (a grown symbol) goes out on its own, whole.
    std::string whole(row);
    whole += "\r\n";
    return writeOut(whole.data(), whole.size(), error);
  }
  if (used_ == 0) oldestMs_ = nowMs;
  std::memcpy(block_ + used_, row.data(), row.size());
  used_ += row.size();
  block_[used_++] = '\r';
  block_[used_++] = '\n';
  if (nowMs - oldestMs_ >= kMaxDelayMs) return flush(error);
  return true;
}

bool RecordStream::close(std::string& error) {
  if (file_ == nullptr) return true;
  const bool flushed = flush(error);
  std::string closeError;
  const bool closed = file_->close(closeError);
  file_.reset();
  if (flushed && !closed) error = closeError;
  return flushed && closed;
}

}  // namespace orv
