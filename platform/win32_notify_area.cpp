// The Win32 backend's notification-area operations. The shell's notification
// area lives in another process, and each change is a message sent to it:
// what the program asks for is kept here and carried out from the message
// loop, so no other program's message waits for the shell.
#include <utility>

#include "platform/win32_backend.h"

namespace orv {

// Until the logic tells its status, the tooltip is the application's name.
void Win32Backend::addNotifyIcon(HWND owner, HICON icon) {
  notifyIcon_.setTip(appTitle_);
  notifyIcon_.add(owner, icon);
}

void Win32Backend::removeNotifyIcon() { notifyIcon_.remove(); }

void Win32Backend::notifyAreaRestarted() {
  iconLost_ = true;
  postNotifyArea();
}

void Win32Backend::showStatus(std::string_view text) {
  pendingStatus_ = std::string(text);
  postNotifyArea();
}

void Win32Backend::notify(NoticeKind kind, std::string_view title, std::string_view text) {
  pendingNotices_.push_back(PendingNotice{kind, std::string(title), std::string(text)});
  postNotifyArea();
}

void Win32Backend::postNotifyArea() {
  if (!notifyAreaPosted_ && app_ != nullptr && PostMessageA(app_, kNotifyAreaMessage, 0, 0)) notifyAreaPosted_ = true;
}

// While a call waits for the shell, messages sent to this thread are handled
// and may ask for more: each piece is taken out before its call, and a new
// request posts the message again.
void Win32Backend::showNotifyArea() {
  notifyAreaPosted_ = false;
  if (std::exchange(iconLost_, false)) notifyIcon_.addAgain();
  if (std::optional<std::string> status = std::exchange(pendingStatus_, std::nullopt)) notifyIcon_.setTip(*status);
  for (const PendingNotice& notice : std::exchange(pendingNotices_, {}))
    notifyIcon_.showBalloon(notice.kind, notice.title, notice.text);
}

}  // namespace orv
