#include "platform/win32_file.h"

#include <atomic>
#include <vector>

#include "platform/error_queue.h"
#include "platform/win32_text.h"

namespace orv {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::string lastErrorText() { return systemErrorText(GetLastError()); }

// Writers of one file take turns with locks on bytes far past any real
// end, which no reader's range ever meets: the turn itself, and for each
// writer a slot that tells it is there and an "aware" byte that tells it
// takes the turn for every write. Locking costs a round trip to the system
// at each write, so a writer alone adds without it: it looks for others
// when it opens the file, and its flush thread looks every second. A writer
// cuts back only while every other writer there is aware: none can then
// add between its look at the end and its cut.
constexpr ULONGLONG kTurnByte = 1ULL << 62;
constexpr int kSlots = 16;
constexpr ULONGLONG slotByte(int slot) { return kTurnByte + 1 + static_cast<ULONGLONG>(slot); }
constexpr ULONGLONG awareByte(int slot) { return kTurnByte + 1 + kSlots + static_cast<ULONGLONG>(slot); }
constexpr DWORD kLongestTurnWaitMs = 200;  // a turn is held for one write and its cut-back

OVERLAPPED at(ULONGLONG offset) {
  OVERLAPPED o = {};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

bool lockByte(HANDLE h, ULONGLONG offset) {
  OVERLAPPED o = at(offset);
  return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &o) != FALSE;
}

void unlockByte(HANDLE h, ULONGLONG offset) {
  OVERLAPPED o = at(offset);
  UnlockFileEx(h, 0, 1, 0, &o);
}

// Whether another handle holds the byte (a try that fails), looked at
// without keeping it.
bool heldElsewhere(HANDLE h, ULONGLONG offset) {
  if (!lockByte(h, offset)) return true;
  unlockByte(h, offset);
  return false;
}

// Whether a writer other than the one in `own` is there.
bool anotherWriter(HANDLE h, int own) {
  for (int slot = 0; slot < kSlots; ++slot)
    if (slot != own && heldElsewhere(h, slotByte(slot))) return true;
  return false;
}

void flushToDisk(HANDLE h);

// What the flush thread knows of one open file: a handle of its own (a
// duplicate, so the file's owner may close its handle at any time) and
// whether rows came since the last flush. Once the owner closed the file,
// the duplicate is the one handle left: it goes after its last flush.
struct FlushedFile {
  explicit FlushedFile(HANDLE h) : handle(h) {}
  ~FlushedFile() { letGo(); }
  FlushedFile(const FlushedFile&) = delete;
  FlushedFile& operator=(const FlushedFile&) = delete;
  // Flushes the rows that came since the last flush; then, with `last`,
  // closes the duplicate, or else looks for other writers.
  void flush(bool last) {
    AcquireSRWLockExclusive(&lock);
    if (handle != INVALID_HANDLE_VALUE) {
      if (written.exchange(false)) flushToDisk(handle);
      if (last) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
      } else if (!anotherWriterSeen.load() && anotherWriter(handle, slot)) {
        anotherWriterSeen.store(true);
      }
    }
    ReleaseSRWLockExclusive(&lock);
  }
  void letGo() { flush(true); }
  SRWLOCK lock = SRWLOCK_INIT;  // for the handle: the flush thread and whoever waits for the file to go
  HANDLE handle;
  int slot = -1;  // the writer's slot; -1: none was free
  std::atomic<bool> written{false};
  std::atomic<bool> anotherWriterSeen{false};
  std::atomic<bool> closed{false};
};

// The data only, where the system can (metadata such as the time last
// written is not needed to read the rows back); a full flush otherwise.
void flushToDisk(HANDLE h) {
  using FlushEx = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, void*);
  static const auto flushEx = reinterpret_cast<FlushEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtFlushBuffersFileEx")));
  constexpr ULONG kDataOnly = 0x1;  // FLUSH_FLAGS_FILE_DATA_ONLY
  struct {
    ULONG_PTR status;
    ULONG_PTR information;
  } io = {};
  if (flushEx != nullptr && flushEx(h, kDataOnly, nullptr, 0, &io) >= 0) return;
  FlushFileBuffers(h);
}

// Rows reach the system at each write; the system writes them to the disk
// when it likes. A thread of its own asks it to write every file that got
// rows, once a second, and once more after the file's last row: a power cut
// loses at most about a second of rows, and no write waits for a disk.
class FlushThread {
 public:
  static FlushThread& instance() {
    static FlushThread thread;
    return thread;
  }

  void add(const std::shared_ptr<FlushedFile>& file) {
    AcquireSRWLockExclusive(&lock_);
    files_.push_back(file);
    ReleaseSRWLockExclusive(&lock_);
  }

  // The closed files' last rows flushed, and their duplicates closed, now.
  void letGoOfClosedFiles() {
    for (const auto& file : snapshot())
      if (file->closed.load()) {
        file->letGo();
        forget(file);
      }
  }

 private:
  static constexpr DWORD kEveryMs = 1000;
  static constexpr DWORD kLongestLastFlushMs = 10000;  // at the program's end

  FlushThread() {
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop_ != nullptr) thread_ = CreateThread(nullptr, 0, &FlushThread::run, this, 0, nullptr);
  }
  // At the program's end: the last rows are flushed, for a limited time.
  ~FlushThread() {
    if (thread_ != nullptr) {
      SetEvent(stop_);
      WaitForSingleObject(thread_, kLongestLastFlushMs);
      CloseHandle(thread_);
    }
    if (stop_ != nullptr) CloseHandle(stop_);
  }

  static DWORD WINAPI run(void* self) {
    auto& thread = *static_cast<FlushThread*>(self);
    while (WaitForSingleObject(thread.stop_, kEveryMs) == WAIT_TIMEOUT) thread.flushRound();
    thread.flushRound();
    return 0;
  }

  std::vector<std::shared_ptr<FlushedFile>> snapshot() {
    AcquireSRWLockShared(&lock_);
    std::vector<std::shared_ptr<FlushedFile>> files = files_;
    ReleaseSRWLockShared(&lock_);
    return files;
  }

  void flushRound() {
    for (const auto& file : snapshot()) {
      const bool closed = file->closed.load();  // read first: rows before it are seen below
      file->flush(closed);
      if (closed) forget(file);
    }
  }

  void forget(const std::shared_ptr<FlushedFile>& file) {
    AcquireSRWLockExclusive(&lock_);
    for (auto it = files_.begin(); it != files_.end(); ++it)
      if (*it == file) {
        files_.erase(it);
        break;
      }
    ReleaseSRWLockExclusive(&lock_);
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<std::shared_ptr<FlushedFile>> files_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

class Win32RawFile : public RawFile {
 public:
  Win32RawFile(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {
    while (slot_ < kSlots && !lockByte(h_, slotByte(slot_))) ++slot_;
    if (slot_ == kSlots) slot_ = -1;
    // Without a slot nobody sees this writer: it takes every turn, and
    // never cuts back.
    if (slot_ < 0 || anotherWriter(h_, slot_)) becomeAware();
    HANDLE duplicate = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), h_, GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      flushed_ = std::make_shared<FlushedFile>(duplicate);
      flushed_->slot = slot_;
      FlushThread::instance().add(flushed_);
    }
  }
  ~Win32RawFile() override {
    std::string ignored;
    close(ignored);
  }

  bool othersAddToIt() override { return h_ != INVALID_HANDLE_VALUE && (slot_ < 0 || anotherWriter(h_, slot_)); }

  bool append(const char* data, std::size_t size, std::size_t& written, std::string& error) override {
    written = 0;
    if (!isOpen(error)) return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h_, data, static_cast<DWORD>(size), &done, nullptr);
    written = done;
    if (done > 0 && flushed_) flushed_->written.store(true, std::memory_order_relaxed);
    if (ok && done == size) return true;
    // A short write without an error is a full disk.
    error = systemErrorText(ok ? ERROR_DISK_FULL : GetLastError());
    return false;
  }

  bool size(std::uint64_t& bytes, std::string& error) override {
    if (!isOpen(error)) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h_, &size)) {
      error = lastErrorText();
      return false;
    }
    bytes = static_cast<std::uint64_t>(size.QuadPart);
    return true;
  }

  bool read(std::uint64_t offset, char* out, std::size_t size, std::string& error) override {
    if (!isOpen(error)) return false;
    while (size > 0) {
      OVERLAPPED at = {};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD got = 0;
      if (!ReadFile(h_, out, static_cast<DWORD>(size), &got, &at)) {
        error = lastErrorText();
        return false;
      }
      if (got == 0) {
        error = systemErrorText(ERROR_HANDLE_EOF);
        return false;
      }
      out += got;
      offset += got;
      size -= got;
    }
    return true;
  }

  // The append-only handle cannot move the end back; a second handle, open
  // only for this, does.
  bool truncate(std::uint64_t size, std::string& error) override {
    if (!isOpen(error)) return false;
    const HANDLE h = CreateFileW(path_.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = lastErrorText();
      return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    if (!ok) error = lastErrorText();
    CloseHandle(h);
    return ok;
  }

  // Waits only while another writer holds the turn, which is one write long.
  bool takeTurn(TurnFor why) override {
    if (h_ == INVALID_HANDLE_VALUE) return false;
    if (!aware_ && flushed_ && flushed_->anotherWriterSeen.load(std::memory_order_relaxed)) becomeAware();
    if (why == TurnFor::Adding && !aware_) return true;  // alone: nobody to wait for
    if (!turn_) {
      const DWORD start = GetTickCount();
      while (!lockByte(h_, kTurnByte)) {
        if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount() - start > kLongestTurnWaitMs) return false;
        Sleep(1);
      }
      turn_ = true;
    }
    if (why == TurnFor::Adding) return true;
    if (slot_ < 0) return false;
    // Every other writer there must take the turn for its writes.
    for (int slot = 0; slot < kSlots; ++slot)
      if (slot != slot_ && heldElsewhere(h_, slotByte(slot)) && !heldElsewhere(h_, awareByte(slot))) return false;
    return true;
  }

  void endTurn() override {
    if (!turn_) return;
    turn_ = false;
    unlockByte(h_, kTurnByte);
  }

  bool close(std::string& error) override {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    endTurn();
    // The duplicate keeps the file open a moment longer: the bytes that
    // tell other writers about this one go now.
    if (slot_ >= 0) {
      if (aware_) unlockByte(h_, awareByte(slot_));
      unlockByte(h_, slotByte(slot_));
    }
    if (flushed_) flushed_->closed.store(true);  // the flush thread flushes its last rows, then lets it go
    flushed_.reset();
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) {
      error = lastErrorText();
      return false;
    }
    return true;
  }

 private:
  bool isOpen(std::string& error) const {
    if (h_ == INVALID_HANDLE_VALUE) error = "the file is closed";
    return h_ != INVALID_HANDLE_VALUE;
  }
  // From here on every write takes the turn, and other writers see it.
  void becomeAware() {
    if (slot_ >= 0) lockByte(h_, awareByte(slot_));
    aware_ = true;
  }
  HANDLE h_;
  std::wstring path_;
  int slot_ = 0;
  bool aware_ = false;  // another writer is there: every write takes the turn
  bool turn_ = false;
  std::shared_ptr<FlushedFile> flushed_;
};

// Creates every missing folder of the path's folder part, outermost first.
void createFolders(const std::wstring& path) {
  for (std::size_t at = path.find_first_of(L"\\/", 1); at != std::wstring::npos;
       at = path.find_first_of(L"\\/", at + 1)) {
    const std::wstring folder = path.substr(0, at);
    if (folder.size() > 2 || folder.back() != L':') CreateDirectoryW(folder.c_str(), nullptr);
  }
}

}  // namespace

std::string systemErrorText(DWORD code, std::string_view subject) {
  wchar_t buffer[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L'.' ||
                        buffer[length - 1] == L' '))
    buffer[--length] = L'\0';
  if (length == 0) return "error " + std::to_string(code);
  return withInsertsFilled(toUtf8(std::wstring_view(buffer, length)), subject);
}

void letGoOfClosedFiles() { FlushThread::instance().letGoOfClosedFiles(); }

std::unique_ptr<RawFile> openWin32File(const std::string& path, FileOpening how, std::string& error) {
  const std::wstring widePath = toWide(path);
  if (how == FileOpening::Empty) {
    // Emptied (or made) first; then opened to append like any other.
    const HANDLE h = CreateFileW(widePath.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = lastErrorText();
      return nullptr;
    }
    CloseHandle(h);
  }
  // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at
  // the end of the file, as it is at that moment.
  const auto open = [&] {
    return CreateFileW(widePath.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       kShareAll, nullptr, how == FileOpening::Existing ? OPEN_EXISTING : OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE h = open();
  // The folders are made only when they are missing, not at every open.
  if (h == INVALID_HANDLE_VALUE && how == FileOpening::AddTo && GetLastError() == ERROR_PATH_NOT_FOUND) {
    createFolders(widePath);
    h = open();
  }
  if (h == INVALID_HANDLE_VALUE) {
    error = lastErrorText();
    return nullptr;
  }
  return std::make_unique<Win32RawFile>(h, widePath);
}

}  // namespace orv
