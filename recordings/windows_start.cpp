#include "recordings/windows_start.h"

#include <windows.h>

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

}  // namespace orv::recordings
