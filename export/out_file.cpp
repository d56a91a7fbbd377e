#include "export/out_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "recordings/files.h"

namespace orv::exporter {

std::string partName(const std::string& path) { return path + ".part"; }

namespace {

namespace fs = std::filesystem;

// A free name beside path for the file there while the outputs are put in place.
fs::path asideName(const fs::path& path) {
  std::error_code ignored;
  fs::path aside = path;
  aside += ".old";
  for (int n = 2; fs::exists(fs::symlink_status(aside, ignored)); ++n) {
    aside = path;
    aside += ".old" + std::to_string(n);
  }
  return aside;
}

}  // namespace

bool putAllInPlace(const std::vector<std::string>& paths, bool replace, std::string& error) {
  struct Placed {
    fs::path path, aside;  // aside: where the file that was there waits, empty when none was
    bool inPlace = false;  // the output is at path
  };
  std::vector<Placed> placed;
  placed.reserve(paths.size());
  bool ok = true;
  for (const std::string& path : paths) {
    Placed p{recordings::pathOf(path), {}};
    std::error_code failed;
    const fs::file_status there = fs::symlink_status(p.path, failed);
    if (fs::exists(there)) {
      if (!replace || fs::is_directory(there)) {
        error = "cannot put " + path + " in place: " + (fs::is_directory(there) ? "a folder" : "a file") + " of that name is there";
        ok = false;
        break;
      }
      p.aside = asideName(p.path);
      fs::rename(p.path, p.aside, failed);
      if (failed) {
        error = "cannot replace " + path + ": " + failed.message();
        ok = false;
        break;
      }
    }
    fs::rename(recordings::pathOf(partName(path)), p.path, failed);
    p.inPlace = !failed;
    placed.push_back(p);
    if (failed) {
      error = "cannot put " + path + " in place: " + failed.message();
      ok = false;
      break;
    }
  }
  for (auto p = placed.rbegin(); p != placed.rend(); ++p) {
    std::error_code failed;
    if (ok) {
      if (!p->aside.empty()) fs::remove(p->aside, failed);
      continue;
    }
    if (p->inPlace) fs::remove(p->path, failed);
    if (!p->aside.empty() && !failed) fs::rename(p->aside, p->path, failed);
    if (failed && !p->aside.empty())
      error += "; " + recordings::utf8Of(p->aside) + " holds what " + recordings::utf8Of(p->path) + " held";
  }
  return ok;
}

void removePart(const std::string& path) noexcept {
  std::error_code ignored;
  std::filesystem::remove(recordings::pathOf(partName(path)), ignored);
}

bool MadeFolders::make(const std::string& path, std::string& error) {
  const fs::path folder = recordings::pathOf(path);
  std::vector<fs::path> missing;
  std::error_code failed;
  for (fs::path p = folder; !p.empty() && !fs::exists(p, failed); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
    if (fs::create_directory(*p, failed)) made_.push_back(*p);
    if (failed) {
      error = "cannot make the folder " + path + ": " + failed.message();
      return false;
    }
  }
  if (!fs::is_directory(folder, failed)) {  // a file of that name
    error = "cannot make the folder " + path + ": " + std::make_error_code(std::errc::file_exists).message();
    return false;
  }
  return true;
}

void MadeFolders::removeEmpty() noexcept {
  std::error_code ignored;
  for (auto p = made_.rbegin(); p != made_.rend(); ++p) fs::remove(*p, ignored);  // only when empty
  made_.clear();
}

void OpenOutputs::used(OutFile& file) {
  if (file.file_ != nullptr) {
    handles_.splice(handles_.begin(), handles_, file.handleAt_);
    return;
  }
  while (handles_.size() >= maxHandles_) handles_.back()->closeHandle();
  handles_.push_front(&file);
  file.handleAt_ = handles_.begin();
}

void OpenOutputs::closed(OutFile& file) { handles_.erase(file.handleAt_); }

void OpenOutputs::makeRoom(std::size_t bytes) {
  if (buffered_ + bytes <= maxBuffered_) return;
  const std::vector<OutFile*> all(withBuffer_.begin(), withBuffer_.end());
  for (OutFile* file : all) file->letBufferGo();
}

void OpenOutputs::buffered(OutFile& file, std::size_t before, std::size_t after) {
  buffered_ = buffered_ - before + after;
  if (after == 0)
    withBuffer_.erase(&file);
  else
    withBuffer_.insert(&file);
}

void OutFile::fail() noexcept {
  if (failed_) return;
  failed_ = true;
  failedErrno_ = errno;
}

bool OutFile::handle() {
  const bool reopen = file_ == nullptr;
  if (shared_) shared_->used(*this);
  if (!reopen) return true;
  file_ = recordings::openFile(partName(path_), "r+b");
  if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0) {
    fail();
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (shared_) shared_->closed(*this);
    return false;
  }
  std::setvbuf(file_, nullptr, _IONBF, 0);
  return true;
}

void OutFile::closeHandle() noexcept {
  if (file_ == nullptr) return;
  if (std::fclose(file_) != 0) fail();
  file_ = nullptr;
  if (shared_) shared_->closed(*this);
}

bool OutFile::open(const std::string& path, std::string& error, OpenOutputs* shared) {
  abandon();
  shared_ = shared;
  path_ = path;
  failed_ = false;
  file_ = recordings::openFile(partName(path), "wb");
  if (file_ == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(file_, nullptr, _IONBF, 0);
  started_ = true;
  if (shared_) {
    std::FILE* const opened = file_;
    file_ = nullptr;  // not yet among the shared handles
    shared_->used(*this);
    file_ = opened;
  }
  return true;
}

void OutFile::grow(std::size_t n) {
  if (used_ + n > kBuffer) flush();
  if (used_ + n <= capacity_) return;
  const auto wanted = [&] { return std::min(kBuffer, std::max({used_ + n, capacity_ * 2, std::size_t{4} << 10})); };
  if (shared_) shared_->makeRoom(wanted() - capacity_);  // may let this buffer go too
  const std::size_t size = wanted();
  auto bigger = std::make_unique<char[]>(size);
  if (used_ != 0) std::memcpy(bigger.get(), buffer_.get(), used_);
  buffer_ = std::move(bigger);
  if (shared_) shared_->buffered(*this, capacity_, size);
  capacity_ = size;
}

void OutFile::write(const void* data, std::size_t n) {
  if (failed_ || n == 0) return;
  if (!handle()) return;
  if (std::fwrite(data, 1, n, file_) != n) fail();
}

void OutFile::flush() {
  write(buffer_.get(), used_);
  used_ = 0;
}

void OutFile::letBufferGo() {
  flush();
  buffer_.reset();
  if (shared_) shared_->buffered(*this, capacity_, 0);
  capacity_ = 0;
}

void OutFile::patch(std::uint64_t at, std::string_view bytes) {
  flush();
  if (failed_ || !handle()) return;
  if (std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0 || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
      std::fseek(file_, 0, SEEK_END) != 0)
    fail();
}

bool OutFile::settle(std::string& error) {
  if (!started_) return true;
  letBufferGo();
  closeHandle();
  started_ = false;
  if (!failed_) return true;
  error = "cannot write " + path_ + ": " + std::strerror(failedErrno_);
  removePart(path_);
  return false;
}

void OutFile::abandon() noexcept {
  if (!started_) return;
  closeHandle();
  buffer_.reset();
  if (shared_) shared_->buffered(*this, capacity_, 0);
  capacity_ = used_ = 0;
  started_ = false;
  removePart(path_);
}

}  // namespace orv::exporter
