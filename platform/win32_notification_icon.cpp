#include "platform/win32_notification_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "platform/win32_messages.h"
#include "platform/win32_text.h"

namespace orv {

namespace {

// kShellMessage: what the shell sends the window about the icon (clicks):
// wParam the icon's number, lParam the mouse message. Posted to the window:
// kCarryOutMessage, carry out what waits; kShowMenuMessage, show the menu
// (once the shell's click has been answered).

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

NotificationIcon::NotificationIcon(std::string_view tip)
    : tip_(toWide(tip)), carryOutPost_(kCarryOutMessage), menuPost_(kShowMenuMessage) {}

bool NotificationIcon::add(HICON icon, Handlers handlers) {
  remove();
  icon_ = icon;
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  if (!window_.create(kNotificationIconWindowClass, nullptr,
                      [this](UINT msg, WPARAM wParam, LPARAM lParam) { return handle(msg, wParam, lParam); }))
    return false;
  handlers_ = std::move(handlers);
  if (std::optional<std::string> tip = std::exchange(pendingTip_, std::nullopt)) tip_ = toWide(*tip);
  return addAgain();
}

bool NotificationIcon::addAgain() {
  if (window_.hwnd() == nullptr) return false;
  NOTIFYICONDATAW d = iconData(window_.hwnd(), NIF_MESSAGE | NIF_ICON | NIF_TIP);
  d.uCallbackMessage = kShellMessage;
  d.hIcon = icon_;
  copyInto(d.szTip, tip_);
  // An icon the shell still has (the message came without a restart) is
  // refused as a double: it is brought up to date instead.
  added_ = Shell_NotifyIconW(NIM_ADD, &d) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
  return added_;
}

void NotificationIcon::remove() {
  if (added_) {
    NOTIFYICONDATAW d = iconData(window_.hwnd(), 0);
    Shell_NotifyIconW(NIM_DELETE, &d);
    added_ = false;
  }
  handlers_ = Handlers();
  window_.destroy();
}

void NotificationIcon::setTip(std::string_view text) {
  pendingTip_ = std::string(text);
  carryOutPost_.post(window_.hwnd());
}

void NotificationIcon::showBalloon(NoticeKind kind, std::string_view title, std::string_view text) {
  pendingBalloons_.push_back(Balloon{kind, std::string(title), std::string(text)});
  carryOutPost_.post(window_.hwnd());
}

// While a call waits for the shell, messages sent to this thread are handled
// and may ask for more: each piece is taken out before its call, and a new
// request posts the message again.
void NotificationIcon::carryOut() {
  if (std::exchange(lost_, false)) addAgain();
  if (std::optional<std::string> tip = std::exchange(pendingTip_, std::nullopt)) {
    tip_ = toWide(*tip);
    if (added_) {
      NOTIFYICONDATAW d = iconData(window_.hwnd(), NIF_TIP);
      copyInto(d.szTip, tip_);
      Shell_NotifyIconW(NIM_MODIFY, &d);
    }
  }
  for (const Balloon& balloon : std::exchange(pendingBalloons_, {})) {
    if (!added_) continue;
    NOTIFYICONDATAW d = iconData(window_.hwnd(), NIF_INFO);
    copyInto(d.szInfoTitle, toWide(balloon.title));
    copyInto(d.szInfo, toWide(balloon.text));
    d.dwInfoFlags = balloon.kind == NoticeKind::Warning ? NIIF_WARNING : NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &d);
  }
}

std::optional<LRESULT> NotificationIcon::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (carryOutPost_.take(msg)) {
    carryOut();
    return 0;
  }
  if (menuPost_.take(msg)) {
    showMenu();
    return 0;
  }
  switch (msg) {
    case kShellMessage:
      if (wParam != kNotificationIconId) return 0;
      if (LOWORD(lParam) == WM_LBUTTONDBLCLK && handlers_.doubleClicked) handlers_.doubleClicked();
      if (LOWORD(lParam) == WM_RBUTTONUP || LOWORD(lParam) == WM_CONTEXTMENU) menuPost_.post(window_.hwnd());
      return 0;
    case WM_COMMAND:
      if (lParam != 0 || HIWORD(wParam) != 0) return std::nullopt;  // not a menu's
      if (handlers_.chosen) handlers_.chosen(LOWORD(wParam));
      return 0;
    case WM_CLOSE:
      return 0;  // a close request to every top-level window ("taskkill") is the other windows' to answer
    default:
      if (msg != 0 && msg == taskbarCreated_) {
        // The shell restarted and lost the icon: it is added again from the loop.
        lost_ = true;
        carryOutPost_.post(window_.hwnd());
        return 0;
      }
      return std::nullopt;
  }
}

void NotificationIcon::showMenu() {
  if (!handlers_.menu) return;
  const std::vector<MenuLine> lines = handlers_.menu();
  if (lines.empty()) return;
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  for (const MenuLine& line : lines)
    AppendMenuW(menu, MF_STRING | (line.enabled ? MF_ENABLED : MF_GRAYED), line.id, toWide(line.text).c_str());
  SetMenuDefaultItem(menu, lines.front().id, FALSE);
  POINT at = {};
  GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if its owner is in
  // the foreground; the message after it lets the menu end properly.
  const HWND owner = window_.hwnd();
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);  // the choice comes as WM_COMMAND
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

}  // namespace orv
