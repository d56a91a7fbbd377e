// Window: the one way a window of the program reaches the C++ object that
// handles its messages, for the main window and every control with behaviour
// of its own. One window procedure serves them all: it finds the object in
// the window's GWLP_USERDATA, calls its handle(), and lets the object go at
// WM_NCDESTROY. A window of one of the program's own classes is tied to its
// object at WM_NCCREATE (the object comes as CreateWindowEx's last
// parameter); a window of a system class is tied once it exists, by
// subclass(), and its class's own procedure then gets whatever handle()
// leaves.
#pragma once

#include "platform/win32.h"

namespace orv::ui {

class Window {
 public:
  Window() = default;
  virtual ~Window() { detach(); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const noexcept { return hwnd_; }

 protected:
  // Registers one of the program's own window classes, run by the one
  // procedure. Throws Error("<what>: <reason>") on failure.
  static void registerClass(const char* className, HINSTANCE instance, const char* what, HBRUSH background = nullptr,
                            HICON icon = nullptr, HICON smallIcon = nullptr);
  // The last parameter of CreateWindowEx for a window of such a class.
  void* createParam() noexcept { return this; }
  // Ties an existing window of a system class to this object.
  void subclass();

  // The window's messages; what an override does not take goes to defaultHandling.
  virtual LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) { return defaultHandling(msg, wParam, lParam); }
  // The class's own procedure for a subclassed window, else DefWindowProc.
  LRESULT defaultHandling(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void attach(HWND hwnd) noexcept;
  void detach() noexcept;
  WNDPROC classProcedure_ = nullptr;  // a subclassed window's own procedure
};

}  // namespace orv::ui
