// The application's own top-level window "TApplication": zero size and never
// shown. It carries the title and the icon, owns the save dialog and the
// error display's boxes, adds the notification-area icon (which has a window
// of its own) and gets the end of a checker run. A close request sent to it
// (as "taskkill" sends one to every top-level window of a process) is the
// program's close question; it is destroyed only when the program ends.
#pragma once

#include "platform/win32.h"

#include "core/feed_hub.h"
#include "platform/win32_backend.h"
#include "ui/notification_area.h"
#include "ui/window.h"

namespace orv::ui {

class ApplicationWindow : public Window {
 public:
  explicit ApplicationWindow(Win32Backend& backend) : backend_(backend), notificationArea_(backend) {}
  ~ApplicationWindow() override;

  // Throws Error on failure.
  void create(HINSTANCE instance, HICON icon, HICON smallIcon);
  // Where a close request goes while the main window exists; nullptr: nowhere.
  void setHub(FeedHub* hub) noexcept {
    hub_ = hub;
    notificationArea_.setHub(hub);
  }

 private:
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;

  Win32Backend& backend_;
  FeedHub* hub_ = nullptr;
  NotificationArea notificationArea_;
};

// Gives a top-level window its large and small icon.
void setIcons(HWND window, HICON icon, HICON smallIcon);

}  // namespace orv::ui
