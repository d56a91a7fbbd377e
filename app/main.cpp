// Orvalda's entry point: the command line (its usage or error shown, and the
// exit code), the application's hidden window, the main window, the message
// loop, and the end of the run.
#include "platform/win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "app/console.h"
#include "core/command_line.h"
#include "core/file_pattern.h"
#include "core/recorder.h"
#include "core/protocol.h"
#include "platform/toolkit.h"
#include "platform/win32_backend.h"
#include "ui/main_window.h"
#include "ui/window.h"
#include "ui/win32_error.h"

namespace {

HICON loadIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}

void setIcons(HWND window, HICON icon, HICON smallIcon) {
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

// The application's own top-level window: zero size and never shown. It
// carries the title and the icon, owns the save dialog and the error
// display, and shows queued errors from the message loop. A close request
// sent to it (as "taskkill" sends one to every top-level window of a
// process) is the program's close question; it is destroyed only when the
// program ends.
class ApplicationWindow : public orv::ui::Window {
 public:
  explicit ApplicationWindow(orv::Win32Backend& backend) : backend_(backend) {}
  ~ApplicationWindow() override {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }

  void create(HINSTANCE instance, HICON icon, HICON smallIcon) {
    registerClass(orv::kAppWindowClass, instance, "Cannot register the application window", nullptr, icon, smallIcon);
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (CreateWindowExA(0, orv::kAppWindowClass, orv::kAppTitle,
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0, nullptr,
                        nullptr, instance, createParam()) == nullptr)
      orv::ui::throwLastError("Cannot create the application window");
    setIcons(hwnd_, icon, smallIcon);
  }
  // Where a close request goes while the main window exists.
  void setRecorder(orv::Recorder* recorder) noexcept { recorder_ = recorder; }

 private:
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case orv::kShowErrorsMessage:
        backend_.showQueuedErrors();
        return 0;
      case WM_CLOSE:
        if (recorder_ != nullptr) orv::runGuarded(backend_, [this] { recorder_->close(); });
        return 0;
      default:
        return defaultHandling(msg, wParam, lParam);
    }
  }

  orv::Win32Backend& backend_;
  orv::Recorder* recorder_ = nullptr;
};

// The arguments after the program's name, split by the usual Windows rules
// for quotes and backslashes, in the ANSI code page the file functions take.
std::vector<std::string> commandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) {
    const int length = static_cast<int>(wcslen(argv[i]));
    const int size = WideCharToMultiByte(CP_ACP, 0, argv[i], length, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, argv[i], length, arg.data(), size, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  LocalFree(argv);
  return args;
}

void runMessageLoop(orv::ui::MainWindow& mainWindow) {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) return;  // the quit request, or a broken queue
    if (mainWindow.translateKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  const orv::CommandLine commandLine = orv::parseCommandLine(commandLineArguments());
  if (const auto reply = orv::replyWithoutStarting(commandLine)) {
    // On the console Orvalda was started from; in a box when there is none.
    if (!orv::app::writeToConsole(reply->text, reply->error))
      MessageBoxA(nullptr, reply->text.c_str(), orv::kAppTitle,
                  MB_OK | (reply->error ? MB_ICONSTOP : MB_ICONINFORMATION));
    return reply->exitCode;
  }
  orv::StartOptions startOptions = std::get<orv::StartOptions>(commandLine);
  if (startOptions.minimized) showCommand = SW_SHOWMINNOACTIVE;
  // A relative pattern is taken from the folder Orvalda was started in, once:
  // the save dialog may change the current folder later.
  if (startOptions.recordPattern && orv::isRelativePath(*startOptions.recordPattern)) {
    char folder[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    if (length > 0 && length < MAX_PATH) {
      std::string base(folder);
      if (base.back() != '\\') base += '\\';
      startOptions.recordPattern = base + *startOptions.recordPattern;
    }
  }

  orv::Win32Backend backend(orv::kAppTitle);
  ApplicationWindow appWindow(backend);
  try {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    const HICON icon = loadIcon(instance, GetSystemMetrics(SM_CXICON));
    const HICON smallIcon = loadIcon(instance, GetSystemMetrics(SM_CXSMICON));
    appWindow.create(instance, icon, smallIcon);
    backend.setAppWindow(appWindow.hwnd());

    // The recorder outlives its window: destroying it closes a recording
    // that was never stopped.
    orv::Recorder recorder(backend, startOptions);
    appWindow.setRecorder(&recorder);
    {
      orv::ui::MainWindow mainWindow(recorder, backend);
      mainWindow.create(instance, icon, smallIcon);
      setIcons(mainWindow.hwnd(), icon, smallIcon);
      mainWindow.show(showCommand);
      runMessageLoop(mainWindow);
    }
    appWindow.setRecorder(nullptr);
  } catch (const std::exception& e) {
    appWindow.setRecorder(nullptr);
    backend.showError(orv::errorDisplayText(e.what()));
  }
  backend.showQueuedErrors();  // what the loop had no time left to show
  return 0;
}
