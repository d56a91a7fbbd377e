#include "recordings/windows_start.h"

#include <windows.h>
#include <commdlg.h>

#include <cwchar>

#include "platform/win32_text.h"

namespace orv::recordings {

std::vector<std::string> startArguments(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(toUtf8(argv[i]));
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) SetConsoleOutputCP(CP_UTF8);
  return args;
}

void hideOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) {
    if (HWND console = GetConsoleWindow(); console != nullptr) ShowWindow(console, SW_HIDE);
  }
}

std::vector<std::string> askForRecordings(const std::wstring& title) {
  std::vector<wchar_t> buffer(65536, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = L"Recordings (*.csv, *.csv.gz)\0*.csv;*.csv.gz\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  std::vector<std::string> files;
  if (!GetOpenFileNameW(&ofn)) {
    if (const DWORD error = CommDlgExtendedError(); error != 0) {
      const std::wstring text = L"The file dialog failed (error " + std::to_wstring(error) + L").";
      MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
    }
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

}  // namespace orv::recordings
