#include "platform/win32_file.h"

namespace orv {

namespace {

class Win32File : public OutputFile {
 public:
  // `written` is where the file ends now: a failed write is cut back to it.
  Win32File(HANDLE h, LONGLONG written) : h_(h), written_(written) {}
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
  LONGLONG written_;
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
  return std::make_unique<Win32File>(h, 0);
}

namespace {

// Creates every missing folder of the path's folder part, outermost first.
void createFolders(const std::string& path) {
  for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos; at = path.find_first_of("\\/", at + 1)) {
    const std::string folder = path.substr(0, at);
    if (folder.size() > 2 || folder.back() != ':') CreateDirectoryA(folder.c_str(), nullptr);
  }
}

}  // namespace

std::unique_ptr<OutputFile> appendWin32File(const std::string& path, AppendStart& start, std::string& error) {
  createFolders(path);
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = systemErrorText(GetLastError());
    return nullptr;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  start.size = static_cast<std::uint64_t>(size.QuadPart);
  start.lastByte = '\0';
  if (size.QuadPart > 0) {
    LARGE_INTEGER last;
    last.QuadPart = size.QuadPart - 1;
    DWORD read = 0;
    if (SetFilePointerEx(h, last, nullptr, FILE_BEGIN)) ReadFile(h, &start.lastByte, 1, &read, nullptr);
  }
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(h, end, nullptr, FILE_END)) {
    error = systemErrorText(GetLastError());
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<Win32File>(h, size.QuadPart);
}

}  // namespace orv
