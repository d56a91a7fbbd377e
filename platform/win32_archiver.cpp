#include "platform/win32_archiver.h"

#include <memory>
#include <utility>

#include "platform/win32_file.h"
#include "platform/win32_text.h"

namespace orv {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kLastWorkWaitMs = 2000;

std::string lastErrorText() { return systemErrorText(GetLastError()); }

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

class Win32NewFile : public gzip::NewFile {
 public:
  explicit Win32NewFile(HANDLE h) : file_(h) {}
  bool write(const char* data, std::size_t size, std::string& error) override {
    while (size > 0) {
      const DWORD want = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
      DWORD done = 0;
      if (!WriteFile(file_.h, data, want, &done, nullptr) || done == 0) {
        error = systemErrorText(done == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError());
        return false;
      }
      data += done;
      size -= done;
    }
    return true;
  }
  bool flushAndClose(std::string& error) override {
    const bool flushed = FlushFileBuffers(file_.h) != 0;
    if (!flushed) error = lastErrorText();
    const bool closed = CloseHandle(file_.h) != 0;
    if (!closed && flushed) error = lastErrorText();
    file_.h = INVALID_HANDLE_VALUE;
    return flushed && closed;
  }

 private:
  Handle file_;
};

class HeldForRemoval : public gzip::HeldFile {
 public:
  explicit HeldForRemoval(HANDLE h) : file_(h) {}
  // Marked to go, it goes with the last handle: this one, unless a reader
  // has it open too.
  bool remove(std::string& error) override {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(file_.h, FileDispositionInfo, &disposition, sizeof disposition)) {
      error = lastErrorText();
      return false;
    }
    return true;
  }

 private:
  Handle file_;
};

class Win32ArchiveFiles : public ArchiveFiles {
 public:
  bool list(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override {
    entries.clear();
    WIN32_FIND_DATAW found{};
    const HANDLE h = FindFirstFileW(toWide(folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
      error = systemErrorText(code);
      return false;
    }
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      entries.push_back({toUtf8(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &found));
    const DWORD code = GetLastError();
    FindClose(h);
    if (code != ERROR_NO_MORE_FILES) {
      error = systemErrorText(code);
      return false;
    }
    return true;
  }
  bool exists(const std::string& path) override {
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool size(const std::string& path, std::uint64_t& bytes, std::string& error) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data)) {
      error = lastErrorText();
      return false;
    }
    bytes = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
  }
  gzip::ReadFn openRead(const std::string& path, std::string& error) override {
    const HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = lastErrorText();
      return nullptr;
    }
    auto file = std::make_shared<Handle>(h);
    return [file](char* out, std::size_t size, std::string& e) -> std::ptrdiff_t {
      DWORD got = 0;
      if (!ReadFile(file->h, out, static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size), &got, nullptr)) {
        e = lastErrorText();
        return -1;
      }
      return static_cast<std::ptrdiff_t>(got);
    };
  }
  std::unique_ptr<gzip::NewFile> create(const std::string& path, std::string& error) override {
    const HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = lastErrorText();
      return nullptr;
    }
    return std::make_unique<Win32NewFile>(h);
  }
  bool replace(const std::string& from, const std::string& to, std::string& error) override {
    if (MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    error = lastErrorText();
    return false;
  }
  bool remove(const std::string& path, std::string& error) override {
    if (DeleteFileW(toWide(path).c_str())) return true;
    error = lastErrorText();
    return false;
  }
  // Opened for its removal, shared with readers only: the open fails while
  // a writer has the file open, and keeps writers out after. The handles a
  // recording kept a moment after its file's end go first.
  std::unique_ptr<gzip::HeldFile> holdToRemove(const std::string& path, std::string& error) override {
    letGoOfClosedFiles();
    const HANDLE h = CreateFileW(toWide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = lastErrorText();
      return nullptr;
    }
    return std::make_unique<HeldForRemoval>(h);
  }
};

}  // namespace

struct Win32Archiver::Shared {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE posted = CONDITION_VARIABLE_INIT;
  std::deque<Work> work;
  std::vector<ArchiveNote> notes;
  bool stop = false;
};

ArchiveFiles& Win32Archiver::files() {
  static Win32ArchiveFiles files;
  return files;
}

DWORD WINAPI Win32Archiver::run(void* self) {
  Shared& s = *static_cast<Shared*>(self);
  AcquireSRWLockExclusive(&s.lock);
  for (;;) {
    while (s.work.empty() && !s.stop) SleepConditionVariableSRW(&s.posted, &s.lock, INFINITE, 0);
    if (s.work.empty()) break;
    Work work = std::move(s.work.front());
    s.work.pop_front();
    ReleaseSRWLockExclusive(&s.lock);
    std::vector<ArchiveNote> notes = work(files());
    AcquireSRWLockExclusive(&s.lock);
    for (ArchiveNote& note : notes) s.notes.push_back(std::move(note));
  }
  ReleaseSRWLockExclusive(&s.lock);
  return 0;
}

void Win32Archiver::post(Work work) {
  if (shared_ == nullptr) {
    shared_ = new Shared;
    thread_ = CreateThread(nullptr, 0, &Win32Archiver::run, shared_, 0, nullptr);
    // Compressing yields the processor to the window's thread and the feeder.
    if (thread_ != nullptr) SetThreadPriority(thread_, THREAD_PRIORITY_BELOW_NORMAL);
  }
  if (thread_ == nullptr) {
    // No thread to be had: the work waits for the next start.
    return;
  }
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->work.push_back(std::move(work));
  ReleaseSRWLockExclusive(&shared_->lock);
  WakeConditionVariable(&shared_->posted);
}

std::vector<ArchiveNote> Win32Archiver::takeNotes() {
  std::vector<ArchiveNote> notes;
  if (shared_ == nullptr) return notes;
  // Never waits behind the work: the lock is held only to move notes.
  if (!TryAcquireSRWLockExclusive(&shared_->lock)) return notes;
  notes.swap(shared_->notes);
  ReleaseSRWLockExclusive(&shared_->lock);
  return notes;
}

Win32Archiver::~Win32Archiver() {
  if (shared_ == nullptr) return;
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->stop = true;
  shared_->work.clear();  // what has not begun waits for the next start
  ReleaseSRWLockExclusive(&shared_->lock);
  WakeConditionVariable(&shared_->posted);
  if (thread_ != nullptr && WaitForSingleObject(thread_, kLastWorkWaitMs) != WAIT_OBJECT_0) {
    // A compression still runs: it is left to end with the process (a stop at
    // any step is safe), and keeps what it shares.
    CloseHandle(thread_);
    return;
  }
  if (thread_ != nullptr) CloseHandle(thread_);
  delete shared_;
}

}  // namespace orv
