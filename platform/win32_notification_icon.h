// The program's icon in the notification area, by Shell_NotifyIconW, with a
// hidden top-level window of its own that owns it: added with its tooltip,
// the tooltip changed, a balloon shown beside it, added again when the shell
// says it restarted ("TaskbarCreated", which only top-level windows get),
// removed. Each change is a message to the shell's process: it is kept here
// and carried out from the message loop, never while another program waits
// for an answer. The window gets the shell's clicks and shows the menu; what
// a double click and a chosen line do is its user's (the handlers).
#pragma once

#include "platform/win32.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "platform/win32_hidden_window.h"

namespace orv {

// The class of the icon's window.
inline constexpr const char* kNotificationIconWindowClass = "OrvaldaNotificationIcon";
// The icon's number among its window's icons.
inline constexpr UINT kNotificationIconId = 1;

class NotificationIcon {
 public:
  struct MenuLine {
    UINT id;  // what the choice comes back as
    std::string text;
    bool enabled;
  };
  struct Handlers {
    std::function<void()> doubleClicked;
    // The menu's lines when it opens (the first is its default); none: no menu.
    std::function<std::vector<MenuLine>()> menu;
    // A line was chosen (or the same WM_COMMAND came from elsewhere).
    std::function<void(UINT id)> chosen;
  };

  // tip: the tooltip until setTip.
  explicit NotificationIcon(std::string_view tip);
  ~NotificationIcon() { remove(); }
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Makes the window and adds the icon with the tooltip set so far. False
  // when the window cannot be made or the shell did not take the icon (no
  // notification area now; it comes with the shell's "TaskbarCreated").
  bool add(HICON icon, Handlers handlers);
  // Removes the icon and the window; the handlers are not called again.
  void remove();
  // UTF-8 texts; cut to the room the notification area has. Carried out
  // from the message loop.
  void setTip(std::string_view text);
  void showBalloon(NoticeKind kind, std::string_view title, std::string_view text);

 private:
  std::optional<LRESULT> handle(UINT msg, WPARAM wParam, LPARAM lParam);
  bool addAgain();
  void carryOut();
  void showMenu();

  struct Balloon {
    NoticeKind kind;
    std::string title, text;
  };
  HiddenWindow window_;
  Handlers handlers_;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool added_ = false;
  UINT taskbarCreated_ = 0;
  // What waits for the loop.
  std::optional<std::string> pendingTip_;
  std::vector<Balloon> pendingBalloons_;
  bool lost_ = false;
  OwnPost carryOutPost_;
  OwnPost menuPost_;
};

}  // namespace orv
