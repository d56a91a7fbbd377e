#include "platform/win32_file.h"

#include "platform/error_queue.h"
#include "platform/win32_text.h"

namespace orv {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::string lastErrorText() { return systemErrorText(GetLastError()); }

class Win32RawFile : public RawFile {
 public:
  Win32RawFile(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {}
  ~Win32RawFile() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }

  bool append(const char* data, std::size_t size, std::size_t& written, std::string& error) override {
    written = 0;
    if (!isOpen(error)) return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h_, data, static_cast<DWORD>(size), &done, nullptr);
    written = done;
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

  bool close(std::string& error) override {
    if (h_ == INVALID_HANDLE_VALUE) return true;
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
  HANDLE h_;
  std::wstring path_;
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
  } else {
    createFolders(widePath);
  }
  // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at
  // the end of the file, as it is at that moment.
  const HANDLE h =
      CreateFileW(widePath.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = lastErrorText();
    return nullptr;
  }
  return std::make_unique<Win32RawFile>(h, widePath);
}

}  // namespace orv
