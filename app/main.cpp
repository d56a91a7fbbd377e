// Orvalda's entry point: the application's hidden window, the main window,
// the message loop, and the end of the run.
#include "platform/win32.h"

#include <commctrl.h>

#include <exception>

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
// carries the title and the icon and owns the save dialog and the error
// display; every message gets the default handling.
HWND createApplicationWindow(HINSTANCE instance, HICON icon, HICON smallIcon) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = orv::kAppWindowClass;
  if (RegisterClassExA(&wc) == 0) orv::ui::throwLastError("Cannot register the application window");
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  HWND window = CreateWindowExA(0, orv::kAppWindowClass, orv::kAppTitle,
                                WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) orv::ui::throwLastError("Cannot create the application window");
  setIcons(window, icon, smallIcon);
  return window;
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
  orv::Win32Backend backend(orv::kAppTitle);
  try {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    const HICON icon = loadIcon(instance, GetSystemMetrics(SM_CXICON));
    const HICON smallIcon = loadIcon(instance, GetSystemMetrics(SM_CXSMICON));
    backend.setAppWindow(createApplicationWindow(instance, icon, smallIcon));

    // The recorder outlives its window: destroying it writes out a
    // recording that was never stopped.
    orv::Recorder recorder(backend);
    {
      orv::ui::MainWindow mainWindow(recorder, backend);
      mainWindow.create(instance, icon, smallIcon);
      setIcons(mainWindow.hwnd(), icon, smallIcon);
      mainWindow.show(showCommand);
      runMessageLoop(mainWindow);
    }
  } catch (const std::exception& e) {
    backend.showError(orv::errorDisplayText(e.what()));
  }
  return 0;
}
