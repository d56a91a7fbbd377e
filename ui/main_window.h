// The main window "TForm1": its controls, its fonts, the keys it answers to,
// and the routing of every window-system event to the logic in Recorder. Every
// call into the logic runs guarded: an error ends that handler, is shown,
// and the message loop goes on.
#pragma once

#include "platform/win32.h"

#include <functional>

#include "core/recorder.h"
#include "platform/win32_backend.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace orv::ui {

class MainWindow : public Window {
 public:
  MainWindow(Recorder& recorder, Win32Backend& backend);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls from the layout, still hidden, and
  // binds them to the backend. Throws Error on failure.
  void create(HINSTANCE instance, HICON icon, HICON smallIcon);
  void show(int showCommand);

  // The window's keys, taken from the message loop before translation
  // (Tab order, Enter, Escape, C). True: the message is used up.
  bool translateKey(const MSG& msg);

 private:
  struct Fonts {
    HFONT window = nullptr;
    HFONT tickLine = nullptr;
    HFONT recordButton = nullptr;
    void release();
  };

  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
  template <class Handler>
  void guarded(Handler&& handler) {
    runGuarded(backend_, handler);
  }
  ChildControl* controlOf(HWND hwnd);
  void applyDpi(int dpi);
  void focusNotified(HWND control, bool gained);
  void moveFocus(bool forward);
  void restoreFocus();
  BitmapButtonControl* enterButton();

  Recorder& recorder_;
  Win32Backend& backend_;
  int dpi_ = kDesignDpi;
  Fonts fonts_;
  HWND lastFocus_ = nullptr;

  // In the order the layout creates them.
  LabelControl tickLine_;
  LabelControl silenceLine_;
  BitmapButtonControl closeButton_;
  BitmapButtonControl recordButton_;
  GroupBoxControl testerGroup_;
  CheckBoxControl liveBox_;
  CheckBoxControl testDataBox_;
};

}  // namespace orv::ui
