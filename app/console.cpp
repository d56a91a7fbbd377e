#include "app/console.h"

#include "platform/win32.h"

#include <string>

#include "platform/win32_text.h"

namespace orv::app {

namespace {

// The text with a last line end; in a file, Windows line ends.
std::string lines(std::string_view text, bool file) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && file) out += '\r';
    out += c;
  }
  out += file ? "\r\n" : "\n";
  return out;
}

// UTF-8 text to a console, in its wide characters (whatever its code page),
// which starts a new line at each "\n".
bool writeConsole(HANDLE console, const std::string& text) {
  const std::wstring wide = toWide(text);
  DWORD written = 0;
  return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
         written == wide.size();
}

bool writeFile(HANDLE file, const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    DWORD written = 0;
    if (!WriteFile(file, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr) || written == 0)
      return false;
    at += written;
  }
  return true;
}

}  // namespace

bool writeToConsole(std::string_view text, bool error) {
  HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) return writeConsole(out, lines(text, false));
    const DWORD type = GetFileType(out);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return writeFile(out, lines(text, true));
  }
  // A program with windows gets no console of its own: it takes the one of
  // the program that started it, whose prompt may already be written (its
  // own line, then). A process that already has a console is refused.
  const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  if (!attached && GetLastError() != ERROR_ACCESS_DENIED) return false;
  HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return false;
  std::string shown = attached ? "\n" : "";
  shown += lines(text, false);
  const bool written = writeConsole(console, shown);
  CloseHandle(console);
  return written;
}

}  // namespace orv::app
