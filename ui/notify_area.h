// The notification-area icon's window side, for its owner, the hidden
// application window: the icon added when the owner is made and removed when
// it goes; a double click and the menu; the shell's restart; the checker's
// run. What the icon says, which items the menu has and what each opens is
// the logic's decision (FeedHub); this only carries a choice out.
#pragma once

#include "platform/win32.h"

#include <map>
#include <memory>
#include <string>

#include "core/feed_hub.h"
#include "core/tray_menu.h"
#include "platform/win32_backend.h"

namespace orv::ui {

class NotifyArea {
 public:
  explicit NotifyArea(Win32Backend& backend) : backend_(backend) {}
  ~NotifyArea();
  NotifyArea(const NotifyArea&) = delete;
  NotifyArea& operator=(const NotifyArea&) = delete;

  // Adds the icon, owned by owner.
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
  };

 private:
  void clicked(UINT mouseMessage);
  void showMenu();
  void run(TrayCommand command);
  void startCheck(const std::string& recording);
  void startExport(const std::string& recording);
  void checkEnded(WPARAM number, bool timedOut);

  Win32Backend& backend_;
  HWND owner_ = nullptr;
  FeedHub* hub_ = nullptr;
  UINT taskbarCreated_ = 0;  // the shell's message after it (re)started
  bool menuPosted_ = false;  // kShowMenuMessage is on its way
  std::map<WPARAM, std::unique_ptr<CheckRun>> checks_;
  WPARAM lastCheckNumber_ = 0;
};

}  // namespace orv::ui
