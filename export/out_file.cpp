#include "export/out_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "recordings/files.h"

namespace orv::exporter {

std::string partName(const std::string& path) { return path + ".part"; }

bool OutFile::open(const std::string& path, std::string& error) {
  abandon();
  path_ = path;
  file_ = recordings::openFile(partName(path), "wb");
  if (file_ == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBuffer);
  used_ = 0;
  written_ = 0;
  failed_ = false;
  return true;
}

void OutFile::write(const void* data, std::size_t n) {
  if (failed_ || n == 0) return;
  if (std::fwrite(data, 1, n, file_) != n) {
    failed_ = true;
    failedErrno_ = errno;
  }
  written_ += n;
}

void OutFile::flush() {
  write(buffer_.get(), used_);
  used_ = 0;
}

void OutFile::patch(std::uint64_t at, std::string_view bytes) {
  flush();
  if (failed_) return;
  if (std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0 || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
      std::fseek(file_, 0, SEEK_END) != 0) {
    failed_ = true;
    failedErrno_ = errno;
  }
}

bool OutFile::close(std::string& error) {
  if (file_ == nullptr) return true;
  flush();
  const bool closed = std::fclose(file_) == 0;
  if (!closed && !failed_) {
    failed_ = true;
    failedErrno_ = errno;
  }
  file_ = nullptr;
  if (!failed_) {
    std::error_code renamed;
    std::filesystem::rename(recordings::pathOf(partName(path_)), recordings::pathOf(path_), renamed);
    if (!renamed) return true;
    error = "cannot put " + path_ + " in place: " + renamed.message();
  } else {
    error = "cannot write " + path_ + ": " + std::strerror(failedErrno_);
  }
  std::error_code ignored;
  std::filesystem::remove(recordings::pathOf(partName(path_)), ignored);
  return false;
}

void OutFile::abandon() noexcept {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ignored;
  std::filesystem::remove(recordings::pathOf(partName(path_)), ignored);
}

}  // namespace orv::exporter
