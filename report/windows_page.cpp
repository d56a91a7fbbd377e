#include "report/windows_page.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/win32_text.h"

namespace orv::report {

std::string temporaryPagePath(std::string_view program, const std::string& input) {
  wchar_t dir[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  std::string name = input;
  while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) name.pop_back();  // a folder
  name = name.substr(name.find_last_of("/\\") + 1);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  for (char& c : name)
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20) c = '_';
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "-%04u%02u%02u-%02u%02u%02u-%lu.html", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond, static_cast<unsigned long>(GetCurrentProcessId()));
  return (n > 0 && n <= MAX_PATH ? toUtf8(dir) : std::string(".\\")) + std::string(program) + "-" + name + stamp;
}

void showErrorBox(const std::wstring& caption, const std::string& text) {
  MessageBoxW(nullptr, toWide(text).c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

bool showPage(const std::string& path, const std::wstring& caption) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", toWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (opened > 32) return true;
  showErrorBox(caption, "The report was written to " + path + ", but no browser could be started to show it.");
  return false;
}

}  // namespace orv::report
