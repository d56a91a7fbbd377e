// The notification-area icon of the real orvalda.exe, seen as a user sees it
// under Wine: with no desktop of its own, Wine's notification area is a
// stand-alone window ("__winex11_standalone_tray") holding one child window
// per icon ("__winex11_tray_icon"), and the tooltip and balloons are tooltip
// windows of the shell's process whose text WM_GETTEXT reads. The icon comes
// and goes with the program, a double click and the menu's commands reach
// the window, the icon comes back after the shell restarted, the tooltip
// follows a recording, and a failed recording shows a balloon beside its
// error box.
#include "platform/win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/notification_menu.h"
#include "tests/e2e/e2e.h"

namespace {

using e2e::Orvalda;
using e2e::waitUntil;

constexpr const char* kIconClass = "__winex11_tray_icon";

// Every visible icon window: the stand-alone area window's children, and icons
// docked in a desktop's own notification area (top-level windows).
std::vector<HWND> notificationIcons() {
  std::vector<HWND> icons;
  const auto collect = [](HWND w, LPARAM param) -> BOOL {
    if (IsWindowVisible(w) && e2e::className(w) == kIconClass) reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
    return TRUE;
  };
  EnumWindows(collect, reinterpret_cast<LPARAM>(&icons));
  for (HWND area : e2e::topWindows(0, "__winex11_standalone_tray", nullptr, true))
    EnumChildWindows(area, collect, reinterpret_cast<LPARAM>(&icons));
  return icons;
}

// An icon that was not there before; nullptr when none comes within timeoutMs.
HWND newIcon(const std::vector<HWND>& before, DWORD timeoutMs = 10000) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        for (HWND icon : notificationIcons())
          if (std::find(before.begin(), before.end(), icon) == before.end()) found = icon;
        return found != nullptr;
      },
      timeoutMs, 20);
  return found;
}

bool iconGone(HWND icon) {
  return waitUntil([&] { return !IsWindow(icon) || !IsWindowVisible(icon); }, 10000);
}

// A point on the icon near its top: a balloon opens below the icon's middle.
POINT onIcon(HWND icon) {
  RECT r = {};
  GetWindowRect(icon, &r);
  return POINT{(r.left + r.right) / 2, r.top + 3};
}

std::string utf8Text(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied))
    return "";
  char out[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
  return out;
}

// The text of a visible tooltip window: a balloon or a plain tooltip.
std::string shownTip(bool balloon) {
  for (HWND w : e2e::topWindows(0, TOOLTIPS_CLASSA, nullptr, true))
    if (((GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON) != 0) == balloon) return utf8Text(w);
  return "";
}

// The icon's tooltip, shown by moving the mouse onto the icon (again, from
// off it, until the tooltip reads as wanted or timeoutMs have passed).
std::string iconTip(HWND icon, const std::string& wantedStart, DWORD timeoutMs = 15000) {
  std::string text;
  waitUntil(
      [&] {
        SetCursorPos(600, 700);  // off the icon: its tooltip goes
        waitUntil([] { return shownTip(false).empty(); }, 2000, 20);
        const POINT at = onIcon(icon);
        SetCursorPos(at.x, at.y);
        waitUntil([&] { return !(text = shownTip(false)).empty(); }, 2000, 50);
        return !text.empty() && text.rfind(wantedStart, 0) == 0;
      },
      timeoutMs, 0);
  if (text.empty() || text.rfind(wantedStart, 0) != 0) std::printf("    the tooltip reads: \"%s\"\n", text.c_str());
  return text;
}

bool balloonStarts(const std::string& wantedStart, DWORD timeoutMs = 10000) {
  std::string text;
  const bool shown = waitUntil([&] { return (text = shownTip(true)).rfind(wantedStart, 0) == 0; }, timeoutMs, 50);
  if (!shown) std::printf("    the balloon reads: %s\n", text.c_str());
  return shown;
}

// Two clicks on the icon, once the icon's tooltip shows that the pointer is
// on it as the shell sees it.
bool doubleClick(HWND icon) {
  if (iconTip(icon, "").empty()) return false;
  INPUT clicks[4] = {};
  for (int i = 0; i < 4; ++i) {
    clicks[i].type = INPUT_MOUSE;
    clicks[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  }
  return SendInput(4, clicks, sizeof(INPUT)) == 4;
}

bool minimize(const Orvalda& o) {
  PostMessageA(o.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  return waitUntil([&] { return IsIconic(o.main) != FALSE; }, e2e::kPatience);
}

bool restored(const Orvalda& o, DWORD timeoutMs = e2e::kPatience) {
  return waitUntil([&] { return IsIconic(o.main) == FALSE; }, timeoutMs);
}

// Given again until the window is back: under load the shell may take it as two single clicks.
bool restoredByDoubleClick(const Orvalda& o, HWND icon) {
  return waitUntil([&] { return doubleClick(icon) && restored(o, 5000); }, e2e::kPatience, 0);
}

void menuCommand(const Orvalda& o, orv::NotificationCommand command) {
  E2E_CHECK(PostMessageA(o.iconWindow(), WM_COMMAND, orv::notificationMenuId(command), 0));
}

}  // namespace

E2E_TEST(the_icon_shows_the_window_asks_the_close_question_and_outlives_a_shell_restart) {
  const std::vector<HWND> before = notificationIcons();
  Orvalda o = Orvalda::start();
  HWND icon = newIcon(before);
  E2E_REQUIRE(icon != nullptr);

  E2E_REQUIRE(minimize(o));
  E2E_CHECK(restoredByDoubleClick(o, icon));
  E2E_REQUIRE(minimize(o));
  menuCommand(o, orv::NotificationCommand::ShowWindow);
  E2E_CHECK(restored(o));

  menuCommand(o, orv::NotificationCommand::Close);
  HWND question = o.question();
  E2E_REQUIRE(question != nullptr);
  E2E_CHECK(e2e::answerMessageBox(question, IDNO));
  E2E_CHECK(o.gone(question));
  E2E_CHECK(o.process.running());

  // The shell restarted and lost the icon; its "TaskbarCreated" brings it back.
  NOTIFYICONDATAW lost = {};
  lost.cbSize = sizeof(lost);
  lost.hWnd = o.iconWindow();
  lost.uID = orv::kNotificationIconId;
  E2E_CHECK(Shell_NotifyIconW(NIM_DELETE, &lost));
  E2E_CHECK(iconGone(icon));
  E2E_CHECK(PostMessageW(lost.hWnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0));
  icon = newIcon(before);
  E2E_REQUIRE(icon != nullptr);

  o.closeWithYes();
  E2E_CHECK(iconGone(icon));
}

E2E_TEST(the_tooltip_follows_a_recording_and_a_failure_comes_as_a_balloon_beside_its_error_box) {
  e2e::TempFolder folder;
  const std::vector<HWND> before = notificationIcons();
  Orvalda o = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"");
  HWND icon = newIcon(before);
  E2E_REQUIRE(icon != nullptr);
  const std::string dot = "\xC2\xB7";
  E2E_CHECK(iconTip(icon, "Waiting for a feeder; recording from its first tick\nZentavor not in use") ==
            "Waiting for a feeder; recording from its first tick\nZentavor not in use");
  o.announce("EURUSD", 5);
  for (std::uint32_t bid = 108150; bid < 108153; ++bid) o.tick(bid + 16, bid);
  const std::string recording = iconTip(icon, "Recording EURUSD.csv " + dot + " 3 rows " + dot + " last tick ");
  E2E_CHECK(recording.rfind("Recording EURUSD.csv " + dot + " 3 rows", 0) == 0);
  E2E_CHECK(recording.find("\nZentavor not in use") != std::string::npos);

  // A folder where the next symbol's file would go: that file cannot be made.
  const std::string blocked = folder.file("GBPUSD.csv");
  E2E_REQUIRE(CreateDirectoryA(blocked.c_str(), nullptr));
  o.announce("GBPUSD", 5);
  HWND box = o.errorBox(10000);
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::messageBoxText(box).rfind("Cannot record to " + blocked, 0) == 0);
  E2E_CHECK(balloonStarts("Cannot record to GBPUSD.csv: "));
  E2E_CHECK(iconTip(icon, "Trying again to record GBPUSD.csv (").rfind("Trying again to record GBPUSD.csv (", 0) == 0);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  E2E_CHECK(o.gone(box));

  // The folder goes: a tick a second after the failure records again.
  E2E_REQUIRE(RemoveDirectoryA(blocked.c_str()));
  E2E_CHECK(waitUntil(
      [&] {
        o.tick(127016, 127000);
        return shownTip(true).rfind("Recording to GBPUSD.csv again; ", 0) == 0;
      },
      15000, 200));
  HWND recovered = o.errorBox();
  E2E_REQUIRE(recovered != nullptr);
  E2E_CHECK(e2e::messageBoxText(recovered).rfind("Recording to " + blocked + " again; ", 0) == 0);
  E2E_CHECK(e2e::answerMessageBox(recovered, IDOK));
  E2E_CHECK(o.gone(recovered));
  o.closeWithYes();
}

// A visible top-level window of any process whose title starts so, closed
// as a user closes it; false when none comes.
bool closeWindowTitled(const std::string& titleStart) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        for (HWND w : e2e::topWindows(0, nullptr, nullptr, true))
          if (e2e::windowText(w, 2000).rfind(titleStart, 0) == 0) found = w;
        return found != nullptr;
      },
      e2e::kPatience, 50);
  if (found == nullptr) return false;
  PostMessageA(found, WM_CLOSE, 0, 0);
  return waitUntil([&] { return !IsWindow(found); }, e2e::kPatience);
}

// The menu opens with the programs the system has: the folder in the shell's
// folder window, the log in Notepad (the system knows no program for .log
// files here) and the checker's report as a web page.
E2E_TEST(the_menu_opens_the_recordings_folder_the_log_and_the_checkers_report) {
  e2e::TempFolder folder;
  // The checker is offered when it is beside orvalda.exe.
  const std::string exe = folder.file("orvalda.exe");
  E2E_REQUIRE(CopyFileA(e2e::orvaldaPath().c_str(), exe.c_str(), FALSE));
  E2E_REQUIRE(CopyFileA(e2e::hostPath(ORVALDA_CHECK_EXE).c_str(), folder.file("orvalda-check.exe").c_str(), FALSE));
  // Wine's browser launcher hands web pages to the browser it is told of:
  // here one that keeps a copy of the page it shows (where the page it is
  // given sends it on, the page it is sent to), and one that looks at the
  // page's kind, as a launcher does, and then refuses to start.
  const std::string unique = std::to_string(GetCurrentProcessId());
  const std::string browser = "/tmp/orvalda-e2e-browser-" + unique, refusing = "/tmp/orvalda-e2e-refusing-" + unique,
                    shown = "/tmp/orvalda-e2e-page-" + unique;
  std::ofstream(e2e::hostPath(browser), std::ios::binary)
      << "#!/bin/sh\npage=\"${1#file://}\"\nnext=$(sed -n 's/.*url=\\([^\"]*\\)\".*/\\1/p' \"$page\")\n"
         "[ -z \"$next\" ] || page=\"$(dirname \"$page\")/$next\"\ncp \"$page\" " << shown << "\n";
  std::ofstream(e2e::hostPath(refusing), std::ios::binary) << "#!/bin/sh\nhead -c 512 \"${1#file://}\" >/dev/null\nexit 1\n";
  E2E_REQUIRE(e2e::runUnixShell("chmod +x " + browser + " " + refusing));
  const char* const kLauncher = "Software\\Wine\\WineBrowser";
  E2E_REQUIRE(RegSetKeyValueA(HKEY_CURRENT_USER, kLauncher, "Browsers", REG_SZ, browser.c_str(),
                              static_cast<DWORD>(browser.size() + 1)) == ERROR_SUCCESS);

  Orvalda o = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"", exe);
  o.announce("EURUSD", 5);
  for (std::uint32_t bid = 108150; bid < 108153; ++bid) o.tick(bid + 16, bid);
  menuCommand(o, orv::NotificationCommand::OpenLog);
  E2E_CHECK(closeWindowTitled("orvalda.log - Notepad"));
  menuCommand(o, orv::NotificationCommand::OpenRecordingsFolder);
  const std::string folderName = folder.file("").substr(folder.file("").rfind('\\', folder.file("").size() - 2) + 1);
  E2E_CHECK(closeWindowTitled(folderName.substr(0, folderName.size() - 1)));
  menuCommand(o, orv::NotificationCommand::CheckRecording);
  std::string page;
  E2E_CHECK(waitUntil([&] { return e2e::readShared(e2e::hostPath(shown), page) && page.find("</html>") != std::string::npos; },
                      e2e::kPatience, 50));
  E2E_CHECK(page.find("EURUSD.csv") != std::string::npos);
  E2E_CHECK(o.caughtUp());
  E2E_CHECK_EQ(o.dialogs(), 0u);

  // Stopped, the recording just made is still checked; with no browser to
  // show its page (none there, or one that refuses to start once the
  // launcher has started it and ended well), a box says where the page is.
  E2E_CHECK(e2e::postClick(o.control(orv::Control::RecordButton)));
  E2E_CHECK(waitUntil([&] { return e2e::windowText(o.control(orv::Control::RecordButton)) == "START RECORDING"; },
                      e2e::kPatience));
  for (const std::string& noBrowser : {std::string("/nonexistent/orvalda-e2e-browser"), refusing}) {
    E2E_REQUIRE(RegSetKeyValueA(HKEY_CURRENT_USER, kLauncher, "Browsers", REG_SZ, noBrowser.c_str(),
                                static_cast<DWORD>(noBrowser.size() + 1)) == ERROR_SUCCESS);
    menuCommand(o, orv::NotificationCommand::CheckRecording);
    HWND box = o.errorBox(3 * e2e::kPatience);  // a browser has 30 s to show the page
    E2E_REQUIRE(box != nullptr);
    E2E_CHECK(e2e::messageBoxText(box).rfind("The report was written to ", 0) == 0);
    E2E_CHECK(e2e::messageBoxText(box).find("orvalda-check-EURUSD.html") != std::string::npos);
    E2E_CHECK(e2e::answerMessageBox(box, IDOK));
    E2E_CHECK(o.gone(box));
  }
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kLauncher, "Browsers");
  e2e::runUnixShell("rm -f " + browser + " " + refusing + " " + shown);
  o.closeWithYes();
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
