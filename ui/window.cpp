#include "ui/window.h"

#include "ui/win32_error.h"

namespace orv::ui {

void Window::registerClass(const char* className, HINSTANCE instance, const char* what, HBRUSH background,
                           HICON icon, HICON smallIcon) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  if (RegisterClassExA(&wc) == 0) throwLastError(what);
}

void Window::subclass() {
  attach(hwnd_);
  classProcedure_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

void Window::attach(HWND hwnd) noexcept {
  hwnd_ = hwnd;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

// The window goes on without this object: a subclassed one gets its class's
// procedure back, the others the default handling. A window that was never
// tied to this object (a plain system control) is left alone.
void Window::detach() noexcept {
  if (hwnd_ != nullptr && GetWindowLongPtrA(hwnd_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    if (classProcedure_ != nullptr)
      SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(classProcedure_));
  }
  hwnd_ = nullptr;
  classProcedure_ = nullptr;
}

LRESULT Window::defaultHandling(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (classProcedure_ != nullptr) return CallWindowProcA(classProcedure_, hwnd_, msg, wParam, lParam);
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE)
    if (auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams))
      self->attach(hwnd);
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    // The last message: the window's own procedure ends it.
    const WNDPROC own = self->classProcedure_;
    self->detach();
    return own != nullptr ? CallWindowProcA(own, hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return self->handle(msg, wParam, lParam);
}

}  // namespace orv::ui
