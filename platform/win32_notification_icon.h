// The program's icon in the notification area, by Shell_NotifyIconW: added
// with its tooltip, the tooltip changed, a balloon shown beside it, added
// again after the shell restarted, removed. Each call is a message to the
// shell's process: the backend makes them from the message loop, never while
// another program waits for an answer.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

// The icon's number among its owner's icons.
inline constexpr UINT kNotificationIconId = 1;
// What the shell sends the owner about the icon (clicks): wParam the icon's
// number, lParam the mouse message.
inline constexpr UINT kNotificationIconMessage = WM_APP + 21;

class NotificationIcon {
 public:
  NotificationIcon() = default;
  ~NotificationIcon() { remove(); }
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Adds the icon, owned by owner, with the tooltip set so far. False when
  // the shell did not take it (no notification area now).
  bool add(HWND owner, HICON icon);
  // Adds it again as it was: the shell restarted and lost it.
  bool addAgain();
  // UTF-8 texts; cut to the room the notification area has.
  void setTip(std::string_view text);
  void showBalloon(NoticeKind kind, std::string_view title, std::string_view text);
  void remove();

 private:
  HWND owner_ = nullptr;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool added_ = false;
};

}  // namespace orv
