#include "check/windows_report.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "check/page_file.h"
#include "check/program.h"
#include "check/reports.h"
#include "recordings/windows_start.h"
#include "platform/win32_text.h"

namespace orv::check {

namespace {

void showError(const std::string& text) {
  MessageBoxW(nullptr, toWide(text).c_str(), L"Check a recording", MB_OK | MB_ICONERROR);
}

// The recordings to check, chosen in the open-file dialog; none when cancelled.
std::vector<std::string> askForFiles() {
  std::vector<wchar_t> buffer(65536, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = L"Recordings (*.csv, *.csv.gz)\0*.csv;*.csv.gz\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = L"Check a recording";
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  std::vector<std::string> files;
  if (!GetOpenFileNameW(&ofn)) {
    if (const DWORD error = CommDlgExtendedError(); error != 0)
      showError("The file dialog failed (error " + std::to_string(error) + ").");
    return files;
  }
  // One file: its full path. Several: the folder, then each name, each ending in a NUL.
  const std::wstring first(buffer.data());
  const wchar_t* p = buffer.data() + first.size() + 1;
  if (*p == L'\0') {
    files.push_back(toUtf8(first));
  } else {
    for (; *p != L'\0'; p += std::wcslen(p) + 1) files.push_back(toUtf8(first + L"\\" + p));
  }
  return files;
}

// %TEMP%\orvalda-check-<first file's name>-<date>-<time>-<process>.html
std::string reportPath(const std::vector<std::string>& files) {
  wchar_t dir[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
  std::string name = files.front().substr(files.front().find_last_of("/\\") + 1);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  for (char& c : name)
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20) c = '_';
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "-%04u%02u%02u-%02u%02u%02u-%lu.html", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond, static_cast<unsigned long>(GetCurrentProcessId()));
  return (n > 0 && n <= MAX_PATH ? toUtf8(dir) : std::string(".\\")) + "orvalda-check-" + name + stamp;
}

// Shows the page for the files (asked for when none are given) in the browser.
int reportInBrowser(CheckCommand command) {
  recordings::hideOwnConsole();
  if (command.files.empty()) command.files = askForFiles();
  if (command.files.empty()) return 0;

  const std::vector<FileReport> reports = checkAll(command.files, command.options);
  const std::string summary = textReport(reports, command.options);
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  std::fflush(stdout);
  const std::string path = reportPath(command.files);
  std::string error;
  if (!writeWholeFile(path, htmlReport(reports, command.options), error)) {
    showError("The report could not be written: " + error);
    return 2;
  }
  std::printf("report: %s\n", path.c_str());
  std::fflush(stdout);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", toWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (opened <= 32) showError("The report was written to " + path + ", but no browser could be started to show it.");
  return exitCodeOf(reports);
}

}  // namespace

int windowsMain(int argc, wchar_t** argv) {
  const std::vector<std::string> args = recordings::startArguments(argc, argv);
  const CheckCommand command = parseCheckArgs(args);
  if (command.anyOption || !command.error.empty()) return runCheckCommandLine(args, stdout, stderr);
  return reportInBrowser(command);
}

}  // namespace orv::check
