// The glue of the notification-area icon: the icon (the backend's, with its
// own window) added when the application window is made and removed when it
// goes; what a double click and a menu choice do; the checker's run, whose
// end comes to the application window. What the icon says, which items the
// menu has and what each opens is the logic's decision (FeedHub); this only
// carries a choice out.
#pragma once

#include "platform/win32.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/feed_hub.h"
#include "core/notification_menu.h"
#include "platform/win32_backend.h"

namespace orv::ui {

class NotificationArea {
 public:
  explicit NotificationArea(Win32Backend& backend) : backend_(backend) {}
  ~NotificationArea();
  NotificationArea(const NotificationArea&) = delete;
  NotificationArea& operator=(const NotificationArea&) = delete;

  // Adds the icon; owner (the application window) gets the checker's end.
  void create(HWND owner, HICON icon);
  void remove();
  // Where menu choices go; nullptr: nowhere (the icon stays).
  void setHub(FeedHub* hub) noexcept { hub_ = hub; }

  // One of the owner's messages; true when it concerned the icon and is handled.
  bool handle(UINT msg, WPARAM wParam, LPARAM lParam);

  // A checker run that has not ended yet.
  struct CheckRun {
    HWND owner = nullptr;
    WPARAM number = 0;  // its key in checks_
    HANDLE process = nullptr;
    HANDLE wait = nullptr;
    std::string recording;
    std::string report;
    // While the report is handed to the browser: process is what the
    // system started for it, or, once that ended, an event never set (the
    // waits then only time out, for the look at the report's reads).
    bool showing = false;
    bool ended = false;
    DWORD exitCode = 0;
    bool readsKept = false;        // the report's last read time tells whether a browser read it ...
    ULONGLONG unreadMark = 0;      // ... when later than this (FILETIME units)
    ULONGLONG showingSince = 0;    // GetTickCount64's
  };

 private:
  std::vector<NotificationMenuItem> menuItems() const;
  std::vector<NotificationIcon::MenuLine> menuLines();
  void run(NotificationCommand command);
  void startCheck(const std::string& recording);
  void startExport(const std::string& recording);
  void await(std::unique_ptr<CheckRun> check, DWORD limitMs);
  void checkEnded(WPARAM number, bool timedOut);
  void showReport(std::unique_ptr<CheckRun> check);
  void watchShowing(std::unique_ptr<CheckRun> check, bool timedOut);

  Win32Backend& backend_;
  HWND owner_ = nullptr;
  FeedHub* hub_ = nullptr;
  std::map<WPARAM, std::unique_ptr<CheckRun>> checks_;
  WPARAM lastCheckNumber_ = 0;
};

}  // namespace orv::ui
