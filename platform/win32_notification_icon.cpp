#include "platform/win32_notification_icon.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win32_text.h"

namespace orv {

namespace {

// Copies as much of text as the field holds, ending with a NUL.
template <std::size_t N>
void copyInto(wchar_t (&field)[N], std::wstring_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::copy_n(text.data(), n, field);
  field[n] = L'\0';
}

NOTIFYICONDATAW iconData(HWND owner, UINT flags) {
  NOTIFYICONDATAW d = {};
  d.cbSize = sizeof(d);
  d.hWnd = owner;
  d.uID = kNotificationIconId;
  d.uFlags = flags;
  return d;
}

}  // namespace

bool NotificationIcon::add(HWND owner, HICON icon) {
  remove();
  owner_ = owner;
  icon_ = icon;
  return addAgain();
}

bool NotificationIcon::addAgain() {
  if (owner_ == nullptr) return false;
  NOTIFYICONDATAW d = iconData(owner_, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  d.uCallbackMessage = kNotificationIconMessage;
  d.hIcon = icon_;
  copyInto(d.szTip, tip_);
  // An icon the shell still has (the message came without a restart) is
  // refused as a double: it is brought up to date instead.
  added_ = Shell_NotifyIconW(NIM_ADD, &d) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
  return added_;
}

void NotificationIcon::setTip(std::string_view text) {
  tip_ = toWide(text);
  if (!added_) return;
  NOTIFYICONDATAW d = iconData(owner_, NIF_TIP);
  copyInto(d.szTip, tip_);
  Shell_NotifyIconW(NIM_MODIFY, &d);
}

void NotificationIcon::showBalloon(NoticeKind kind, std::string_view title, std::string_view text) {
  if (!added_) return;
  NOTIFYICONDATAW d = iconData(owner_, NIF_INFO);
  copyInto(d.szInfoTitle, toWide(title));
  copyInto(d.szInfo, toWide(text));
  d.dwInfoFlags = kind == NoticeKind::Warning ? NIIF_WARNING : NIIF_INFO;
  Shell_NotifyIconW(NIM_MODIFY, &d);
}

void NotificationIcon::remove() {
  if (!added_) return;
  NOTIFYICONDATAW d = iconData(owner_, 0);
  Shell_NotifyIconW(NIM_DELETE, &d);
  added_ = false;
}

}  // namespace orv
