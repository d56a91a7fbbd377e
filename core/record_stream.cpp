#include "core/record_stream.h"

namespace orv {

RecordStream::RecordStream(std::unique_ptr<OutputFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

RecordStream::~RecordStream() {
  std::string ignored;
  close(ignored);
}

bool RecordStream::appendRow(std::string_view row, std::string& error) {
  if (file_ == nullptr) {
    error = "the file is closed";
    return false;
  }
  line_.assign(row);
  line_ += "\r\n";
  return file_->write(line_.data(), line_.size(), error);
}

bool RecordStream::close(std::string& error) {
  if (file_ == nullptr) return true;
  const bool closed = file_->close(error);
  file_.reset();
  return closed;
}

}  // namespace orv
