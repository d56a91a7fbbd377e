// The main window "TForm1": its controls, made, bound, placed, found and let
// go of by looping over the control table; its fonts; the keys it answers to;
// and the routing of every window-system event to the logic in FeedHub.
// Every call into the logic runs guarded: an error ends that handler, is
// shown, and the message loop goes on.
#pragma once

#include "platform/win32.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "core/feed_hub.h"
#include "core/keys.h"
#include "platform/win32_backend.h"
#include "platform/win32_hidden_window.h"
#include "platform/win32_messages.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace orv::ui {

class MainWindow : public Window {
 public:
  MainWindow(FeedHub& hub, Win32Backend& backend);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls from the control table, still hidden, and
  // binds them to the backend. Throws Error on failure.
  void create(HINSTANCE instance, HICON icon, HICON smallIcon);
  void show(int showCommand);

  // The window's keys, taken from the message loop before translation:
  // Tab, Shift+Tab, Enter, Escape and C turned into a Key, and the key rules'
  // action carried out. True: the message is used up.
  bool translateKey(const MSG& msg);

 private:
  using Fonts = std::array<HFONT, kFontCount>;  // by FontRole
  static void release(Fonts& fonts);

  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
  template <class Handler>
  void guarded(Handler&& handler) {
    runGuarded(backend_, handler);
  }
  std::unique_ptr<ChildControl> makeControl(const ControlEntry& entry);
  ChildControl& control(Control role) { return *controls_[controlIndex(role)]; }
  HFONT fontOf(FontRole font) const noexcept { return fonts_[static_cast<std::size_t>(font)]; }
  ChildControl* controlOf(HWND hwnd);
  void applyDpi(int dpi);
  std::optional<Control> focusedControl();
  KeyContext keyContext();
  void focusNotified(ChildControl& focused, bool gained);
  void restoreFocus();

  FeedHub& hub_;
  Win32Backend& backend_;
  int dpi_ = kDesignDpi;
  Fonts fonts_{};
  std::optional<Control> lastFocus_;
  OwnPost refocusPost_{kRefocusMessage};
  std::array<std::unique_ptr<ChildControl>, kControlCount> controls_;  // by role
};

}  // namespace orv::ui
