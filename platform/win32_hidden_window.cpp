#include "platform/win32_hidden_window.h"

#include <string>
#include <utility>

#include "platform/win32_text.h"

namespace orv {

bool HiddenWindow::create(const char* className, HWND parent, Handler handler) {
  destroy();
  const std::wstring name = toWide(className);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.lpszClassName = name.c_str();
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  handler_ = std::move(handler);
  // The window procedure ties the window to this object at WM_NCCREATE.
  if (CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 0, 0, parent, nullptr, instance, this) == nullptr) {
    handler_ = nullptr;
    return false;
  }
  return true;
}

void HiddenWindow::destroy() noexcept {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);  // WM_NCDESTROY unties it
  handler_ = nullptr;
}

LRESULT CALLBACK HiddenWindow::procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<HiddenWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (self->handler_)
    if (const std::optional<LRESULT> answer = self->handler_(msg, wParam, lParam)) return *answer;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace orv
