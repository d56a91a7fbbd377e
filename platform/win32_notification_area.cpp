// The Win32 backend's notification-area operations. The shell's notification
// area lives in another process, and each change is a message sent to it:
// what the program asks for is kept here and carried out from the message
// loop, so no other program's message waits for the shell.
#include <utility>

#include "platform/win32_backend.h"

namespace orv {

// Until the logic tells what the tooltip says, it is the application's name.
void Win32Backend::addNotificationIcon(HWND owner, HICON icon) {
  notificationIcon_.setTip(appTitle_);
  notificationIcon_.add(owner, icon);
}

void Win32Backend::removeNotificationIcon() { notificationIcon_.remove(); }

void Win32Backend::notificationAreaRestarted() {
  iconLost_ = true;
  postNotificationArea();
}

void Win32Backend::showNotificationTip(std::string_view text) {
  pendingTip_ = std::string(text);
  postNotificationArea();
}

void Win32Backend::notify(NoticeKind kind, std::string_view title, std::string_view text) {
  pendingNotices_.push_back(PendingNotice{kind, std::string(title), std::string(text)});
  postNotificationArea();
}

void Win32Backend::postNotificationArea() {
  if (!notificationAreaPosted_ && app_ != nullptr && PostMessageA(app_, kNotificationAreaMessage, 0, 0)) notificationAreaPosted_ = true;
}

// While a call waits for the shell, messages sent to this thread are handled
// and may ask for more: each piece is taken out before its call, and a new
// request posts the message again.
void Win32Backend::showNotificationArea() {
  notificationAreaPosted_ = false;
  if (std::exchange(iconLost_, false)) notificationIcon_.addAgain();
  if (std::optional<std::string> tip = std::exchange(pendingTip_, std::nullopt)) notificationIcon_.setTip(*tip);
  for (const PendingNotice& notice : std::exchange(pendingNotices_, {}))
    notificationIcon_.showBalloon(notice.kind, notice.title, notice.text);
}

}  // namespace orv
