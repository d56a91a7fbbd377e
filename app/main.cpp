// Orvalda's entry point: the application's hidden window, the main window,
// the message loop, and the end of the run.
#include "platform/win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/recorder.h"
#include "core/protocol.h"
#include "platform/toolkit.h"
#include "platform/win32_backend.h"
#include "ui/main_window.h"
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
class ApplicationWindow {
 public:
  ApplicationWindow(orv::Win32Backend& backend) : backend_(backend) {}
  ~ApplicationWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  void create(HINSTANCE instance, HICON icon, HICON smallIcon) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = orv::kAppWindowClass;
    if (RegisterClassExA(&wc) == 0) orv::ui::throwLastError("Cannot register the application window");
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (CreateWindowExA(0, orv::kAppWindowClass, orv::kAppTitle,
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0, nullptr,
                        nullptr, instance, this) == nullptr)
      orv::ui::throwLastError("Cannot create the application window");
    setIcons(hwnd_, icon, smallIcon);
  }
  HWND hwnd() const noexcept { return hwnd_; }
  // Where a close request goes once the main window exists.
  void setRecorder(orv::Recorder* recorder) noexcept { recorder_ = recorder; }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<ApplicationWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      self->hwnd_ = hwnd;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ApplicationWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
      case orv::kShowErrorsMessage:
        self->backend_.showQueuedErrors();
        return 0;
      case WM_CLOSE:
        if (self->recorder_ != nullptr) orv::runGuarded(self->backend_, [self] { self->recorder_->close(); });
        return 0;
      default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
  }

  orv::Win32Backend& backend_;
  orv::Recorder* recorder_ = nullptr;
  HWND hwnd_ = nullptr;
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
  if (const auto* help = std::get_if<orv::CommandLineHelp>(&commandLine)) {
    MessageBoxA(nullptr, help->usage.c_str(), orv::kAppTitle, MB_OK | MB_ICONINFORMATION);
    return help->kExitCode;
  }
  if (const auto* error = std::get_if<orv::CommandLineError>(&commandLine)) {
    const std::string text = orv::errorDisplayText(error->message) + "\n\n" + error->usage;
    MessageBoxA(nullptr, text.c_str(), orv::kAppTitle, MB_OK | MB_ICONSTOP);
    return error->kExitCode;
  }
  const orv::StartOptions& startOptions = std::get<orv::StartOptions>(commandLine);
  if (startOptions.minimized) showCommand = SW_SHOWMINNOACTIVE;

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

    // The recorder outlives its window: destroying it writes out a
    // recording that was never stopped. It does not act on startOptions'
    // --record, --daily, --utc and --live yet.
    orv::Recorder recorder(backend);
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
