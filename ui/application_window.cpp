#include "ui/application_window.h"

#include "core/protocol.h"
#include "ui/win32_error.h"

namespace orv::ui {

void setIcons(HWND window, HICON icon, HICON smallIcon) {
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

ApplicationWindow::~ApplicationWindow() {
  notificationArea_.remove();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void ApplicationWindow::create(HINSTANCE instance, HICON icon, HICON smallIcon) {
  registerClass(kAppWindowClass, instance, "Cannot register the application window", nullptr, icon, smallIcon);
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  if (CreateWindowExA(0, kAppWindowClass, kAppTitle, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                      x, y, 0, 0, nullptr, nullptr, instance, createParam()) == nullptr)
    throwLastError("Cannot create the application window");
  setIcons(hwnd_, icon, smallIcon);
  notificationArea_.create(hwnd_, smallIcon);
}

LRESULT ApplicationWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (notificationArea_.handle(msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_CLOSE:
      if (hub_ != nullptr) runGuarded(backend_, [this] { hub_->close(); });
      return 0;
    default:
      return defaultHandling(msg, wParam, lParam);
  }
}

}  // namespace orv::ui
