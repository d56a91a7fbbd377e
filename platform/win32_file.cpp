#include "platform/win32_file.h"

namespace orv {

namespace {

class Win32File : public OutputFile {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }

  bool write(const char* data, std::size_t size, std::string& error) override {
    if (h_ == INVALID_HANDLE_VALUE) {
      error = "the file is closed";
      return false;
    }
    DWORD done = 0;
    const BOOL ok = WriteFile(h_, data, static_cast<DWORD>(size), &done, nullptr);
    if (ok && done == size) {
      written_ += static_cast<LONGLONG>(size);
      return true;
    }
    // A short write without an error is a full disk.
    error = systemErrorText(ok ? ERROR_DISK_FULL : GetLastError());
    // Cut back what went out of this write, so no half row stays in the file.
    LARGE_INTEGER end;
    end.QuadPart = written_;
    if (SetFilePointerEx(h_, end, nullptr, FILE_BEGIN)) SetEndOfFile(h_);
    return false;
  }

  bool close(std::string& error) override {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) {
      error = systemErrorText(GetLastError());
      return false;
    }
    return true;
  }

 private:
  HANDLE h_;
  LONGLONG written_ = 0;
};

}  // namespace

std::string systemErrorText(DWORD code) {
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                sizeof(buffer), nullptr);
  while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == '.' ||
                        buffer[length - 1] == ' '))
    buffer[--length] = '\0';
  if (length == 0) return "error " + std::to_string(code);
  return std::string(buffer, length);
}

std::unique_ptr<OutputFile> openWin32File(const std::string& path, std::string& error) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = systemErrorText(GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32File>(h);
}

}  // namespace orv
