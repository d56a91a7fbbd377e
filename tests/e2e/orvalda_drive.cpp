// orvalda_drive: drives a running Orvalda from a script, one step per call,
// the way a user would with the mouse: it finds the main window, ticks
// "Live Data", starts and stops a recording through the save dialog, and
// closes the program answering the question. Each command does one thing,
// prints what it did on one line and exits 0, or prints why not to stderr
// and exits 1 (2 for a bad command line). The demo and the installer test
// use it; anything started by hand can be driven the same way. One command
// looks at the installer's components page.
//
//   orvalda_drive wait-main [TIMEOUT_MS]      main window there and shown; prints its program file
//   orvalda_drive wait-window TITLE [TIMEOUT_MS]   any top-level window with this title
//   orvalda_drive status                      tick line, button, check boxes, minimized or not
//   orvalda_drive click-live                  ticks "Live Data"
//   orvalda_drive start-recording WINPATH     START RECORDING, names the file, Save
//   orvalda_drive stop-recording              STOP RECORDING
//   orvalda_drive close-yes [TIMEOUT_MS]      Close, answers Yes, waits for the end
//   orvalda_drive close-window TITLE [TIMEOUT_MS]  posts WM_CLOSE, waits for the process to end
//   orvalda_drive components-fit TITLE        the installer titled TITLE: Next to its components
//                                             page; fails when a name is wider than the list
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

using orv::Control;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: orvalda_drive COMMAND [ARGS]\n"
    "  wait-main [TIMEOUT_MS]          wait for Orvalda's main window to be shown (default 30000);\n"
    "                                  prints the window, the process and its program file\n"
    "  wait-window TITLE [TIMEOUT_MS]  wait for a top-level window with this title (default 30000)\n"
    "  status                          print the tick line, the recording button, the boxes and\n"
    "                                  whether the window is minimized\n"
    "  click-live                      tick \"Live Data\" (it must be usable: a tick came in)\n"
    "  start-recording WINPATH         START RECORDING, type WINPATH into the save dialog, Save\n"
    "  stop-recording                  STOP RECORDING\n"
    "  close-yes [TIMEOUT_MS]          Close, answer \"Are you sure?\" with Yes, wait for the exit\n"
    "  close-window TITLE [TIMEOUT_MS] post WM_CLOSE to the window with this title (e.g. the\n"
    "                                  tester probe) and wait for its process to end\n"
    "  components-fit TITLE            in the installer titled TITLE, press Next up to the\n"
    "                                  components page; fail when a name is wider than the list\n"
    "                                  (it has a horizontal scroll bar)\n"
    "Exit status: 0 done, 1 failed (the reason on stderr), 2 bad command line.\n";

struct Failed {
  std::string why;
  int code = 1;
};

[[noreturn]] void fail(const std::string& why) { throw Failed{why}; }

DWORD parseMs(const std::string& text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value > 600000) throw Failed{"not a timeout in ms (0-600000): " + text, kExitUsage};
  return static_cast<DWORD>(value);
}

// Orvalda's main window, as the feeder finds it.
HWND mainWindow() {
  HWND main = FindWindowA(orv::kMainWindowClass, orv::kAppTitle);
  if (main == nullptr)
    fail("Orvalda is not running (no window \"" + std::string(orv::kAppTitle) + "\" of class " +
         orv::kMainWindowClass + ")");
  return main;
}

HWND control(HWND main, Control role, const char* name) {
  HWND c = e2e::findChild(main, orv::controlId(role));
  if (c == nullptr) fail(std::string("the main window has no ") + name);
  return c;
}

std::string buttonText(HWND main) { return e2e::windowText(control(main, Control::RecordButton, "recording button")); }

// A visible message box of the process (a dialog with the static text 0xFFFF), or nullptr.
HWND messageBoxOf(DWORD pid) {
  for (HWND dialog : e2e::topWindows(pid, "#32770", nullptr, true))
    if (GetDlgItem(dialog, 0xFFFF) != nullptr) return dialog;
  return nullptr;
}

std::string hex(HWND window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return text;
}

// The program file a process runs, as Windows names it; "?" when it cannot be told.
std::string imagePath(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return "?";
  char path[MAX_PATH * 2] = {};
  DWORD size = sizeof(path);
  const bool known = QueryFullProcessImageNameA(process, 0, path, &size) != 0;
  CloseHandle(process);
  return known ? std::string(path, size) : "?";
}

int waitMain(DWORD timeoutMs) {
  HWND main = nullptr;
  e2e::waitUntil(
      [&] {
        main = FindWindowA(orv::kMainWindowClass, orv::kAppTitle);
        return main != nullptr && IsWindowVisible(main);
      },
      timeoutMs, 20);
  if (main == nullptr) fail("no Orvalda main window within " + std::to_string(timeoutMs) + " ms");
  if (!IsWindowVisible(main)) fail("Orvalda's main window was not shown within " + std::to_string(timeoutMs) + " ms");
  // It answers: its message loop runs. A window busy for 5 s counts as hung
  // and is not waited for by a send (as while its prefix's Wine starts on a
  // loaded machine): asked again until the time is up.
  LRESULT ignored = 0;
  if (!e2e::waitUntil([&] { return e2e::send(main, WM_NULL, 0, 0, ignored); }, timeoutMs, 200))
    fail("Orvalda's main window does not answer");
  const DWORD pid = e2e::processOf(main);
  std::printf("main window %s, process %lu, %s\n", hex(main).c_str(), static_cast<unsigned long>(pid),
              imagePath(pid).c_str());
  return 0;
}

int waitWindow(const std::string& title, DWORD timeoutMs) {
  HWND found = nullptr;
  e2e::waitUntil([&] { return (found = FindWindowA(nullptr, title.c_str())) != nullptr; }, timeoutMs, 20);
  if (found == nullptr) fail("no window titled \"" + title + "\" within " + std::to_string(timeoutMs) + " ms");
  std::printf("window \"%s\" %s, process %lu\n", title.c_str(), hex(found).c_str(),
              static_cast<unsigned long>(e2e::processOf(found)));
  return 0;
}

const char* stateName(int state) { return state == BST_CHECKED ? "ticked" : "unticked"; }

int status() {
  const HWND main = mainWindow();
  const HWND live = control(main, Control::LiveBox, "\"Live Data\" box");
  const HWND test = control(main, Control::TestDataBox, "\"Test Data\" box");
  std::printf("tick line: %s | button: %s | Live Data: %s%s | Test Data: %s%s | window: %s\n",
              e2e::windowText(control(main, Control::TickLine, "tick label")).c_str(), buttonText(main).c_str(),
              stateName(e2e::checkState(live)), IsWindowEnabled(live) ? "" : " (greyed)",
              stateName(e2e::checkState(test)), IsWindowEnabled(test) ? "" : " (greyed)",
              IsIconic(main) ? "minimized" : "shown");
  return 0;
}

int clickLive() {
  const HWND main = mainWindow();
  const HWND live = control(main, Control::LiveBox, "\"Live Data\" box");
  if (e2e::checkState(live) == BST_CHECKED) fail("\"Live Data\" is already ticked");
  if (!e2e::waitUntil([&] { return IsWindowEnabled(live) != FALSE; }, e2e::kPatience))
    fail("\"Live Data\" is greyed: it becomes usable with the first tick from a feeder");
  if (!e2e::postClick(live)) fail("cannot post the click to \"Live Data\"");
  if (!e2e::waitUntil([&] { return e2e::checkState(live) == BST_CHECKED; }, e2e::kPatience))
    fail("\"Live Data\" did not become ticked");
  // The click handler, with its connect sequence, has run.
  if (!e2e::caughtUp(control(main, Control::CloseButton, "Close button"))) fail("Orvalda did not finish the click");
  std::printf("\"Live Data\" ticked\n");
  return 0;
}

int startRecording(const std::string& path) {
  const HWND main = mainWindow();
  const DWORD pid = e2e::processOf(main);
  if (buttonText(main) != "START RECORDING") fail("Orvalda is already recording (the button shows \"" + buttonText(main) + "\")");
  if (e2e::dialogCount(pid) != 0) fail("Orvalda already shows a dialog");
  if (!e2e::postClick(control(main, Control::RecordButton, "recording button"))) fail("cannot post the click to START RECORDING");
  const HWND dialog = e2e::waitForDialog(pid);
  if (dialog == nullptr) fail("no save dialog within 30 s of START RECORDING");
  const HWND nameBox = e2e::findChild(dialog, e2e::kFileNameBox);
  const std::string proposed = nameBox != nullptr ? e2e::windowText(nameBox) : "";
  if (!e2e::answerSaveDialog(dialog, path)) fail("the save dialog has no file-name box or Save button");

  // Done when the button turns into STOP RECORDING; a message box instead
  // (the file exists, the folder does not, the file cannot be made) is a failure.
  std::string problem;
  const bool started = e2e::waitUntil(
      [&] {
        if (buttonText(main) == "STOP RECORDING") return true;
        if (HWND box = messageBoxOf(pid)) {
          problem = e2e::messageBoxText(box);
          return true;
        }
        return false;
      },
      e2e::kPatience, 20);
  if (!problem.empty()) fail("Orvalda answered the file name with a message box: \"" + problem + "\" (left open)");
  if (!started) fail("the recording did not start within 30 s of Save (the button still shows \"" + buttonText(main) + "\")");
  std::printf("recording to %s (the dialog proposed \"%s\")\n", path.c_str(), proposed.c_str());
  return 0;
}

int stopRecording() {
  const HWND main = mainWindow();
  const DWORD pid = e2e::processOf(main);
  if (buttonText(main) != "STOP RECORDING") fail("Orvalda is not recording (the button shows \"" + buttonText(main) + "\")");
  if (!e2e::postClick(control(main, Control::RecordButton, "recording button"))) fail("cannot post the click to STOP RECORDING");
  std::string problem;
  const bool stopped = e2e::waitUntil(
      [&] {
        if (HWND box = messageBoxOf(pid)) {
          problem = e2e::messageBoxText(box);
          return true;
        }
        return buttonText(main) == "START RECORDING";
      },
      e2e::kPatience, 20);
  if (!problem.empty()) fail("Orvalda reported a problem on stopping: \"" + problem + "\" (left open)");
  if (!stopped) fail("the recording did not stop within 30 s");
  if (!e2e::caughtUp(control(main, Control::CloseButton, "Close button"))) fail("Orvalda did not finish the click");
  std::printf("recording stopped\n");
  return 0;
}

int closeYes(DWORD timeoutMs) {
  const HWND main = mainWindow();
  const DWORD pid = e2e::processOf(main);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) fail("cannot open Orvalda's process " + std::to_string(pid));
  if (!e2e::postClick(control(main, Control::CloseButton, "Close button"))) fail("cannot post the click to Close");
  const HWND box = e2e::waitForCloseQuestion(pid);
  if (box == nullptr) {
    CloseHandle(process);
    fail("no \"Are you sure?\" question within 30 s of Close");
  }
  const std::string question = e2e::messageBoxText(box);
  if (!e2e::answerMessageBox(box, IDYES)) {
    CloseHandle(process);
    fail("the question has no Yes button");
  }
  const DWORD waited = WaitForSingleObject(process, timeoutMs);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) fail("Orvalda did not end within " + std::to_string(timeoutMs) + " ms of Yes");
  std::printf("answered \"%s\" with Yes; Orvalda ended with exit code %lu\n", question.c_str(),
              static_cast<unsigned long>(code));
  return code == 0 ? 0 : kExitFailed;
}

int closeWindow(const std::string& title, DWORD timeoutMs) {
  const HWND window = FindWindowA(nullptr, title.c_str());
  if (window == nullptr) fail("no window titled \"" + title + "\"");
  const DWORD pid = e2e::processOf(window);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) fail("cannot open the process " + std::to_string(pid) + " of \"" + title + "\"");
  if (!PostMessageA(window, WM_CLOSE, 0, 0)) {
    CloseHandle(process);
    fail("cannot post WM_CLOSE to \"" + title + "\"");
  }
  const DWORD waited = WaitForSingleObject(process, timeoutMs);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) fail("the process of \"" + title + "\" did not end within " + std::to_string(timeoutMs) + " ms");
  std::printf("closed \"%s\"; its process ended with exit code %lu\n", title.c_str(), static_cast<unsigned long>(code));
  return 0;
}

// An installer's page: the dialog inside its window, replaced on each Next;
// shown once its controls are made.
HWND installerPage(HWND installer) {
  HWND page = FindWindowExA(installer, nullptr, "#32770", nullptr);
  return page != nullptr && IsWindowVisible(page) ? page : nullptr;
}

int componentsFit(const std::string& title) {
  HWND installer = nullptr;
  e2e::waitUntil([&] { return (installer = FindWindowA(nullptr, title.c_str())) != nullptr; }, 20000, 20);
  if (installer == nullptr) fail("no window titled \"" + title + "\" within 20 s");
  auto componentList = [&] {
    HWND page = installerPage(installer);
    return page != nullptr ? FindWindowExA(page, nullptr, "SysTreeView32", nullptr) : nullptr;
  };
  // Next (on the licence: I Agree, the same button) until the page with the list.
  e2e::waitUntil([&] { return installerPage(installer) != nullptr; }, 10000, 20);
  for (int pages = 0; componentList() == nullptr; ++pages) {
    const HWND page = installerPage(installer);
    if (pages == 3 || !e2e::postClick(GetDlgItem(installer, IDOK))) fail("no components page after " + std::to_string(pages) + " pages");
    if (!e2e::waitUntil([&] { return installerPage(installer) != page && installerPage(installer) != nullptr; }, 10000, 20))
      fail("Next did not lead to another page within 10 s");
  }
  const HWND list = componentList();
  LRESULT count = 0;
  e2e::waitUntil([&] { return e2e::send(list, TVM_GETCOUNT, 0, 0, count) && count > 0; }, 10000, 20);
  e2e::settle(installer, 0);
  RECT client = {};
  GetClientRect(list, &client);
  if ((GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL) != 0)
    fail("a name of the " + std::to_string(count) + " components is wider than their list (" +
         std::to_string(client.right) + " pixels): it has a horizontal scroll bar");
  std::printf("the %ld components' names fit their list (%ld pixels)\n", static_cast<long>(count),
              static_cast<long>(client.right));
  return 0;
}

int run(const std::vector<std::string>& args) {
  const std::string& command = args[0];
  const std::size_t n = args.size();
  if (command == "wait-main" && n <= 2) return waitMain(n == 2 ? parseMs(args[1]) : e2e::kPatience);
  if (command == "wait-window" && (n == 2 || n == 3)) return waitWindow(args[1], n == 3 ? parseMs(args[2]) : e2e::kPatience);
  if (command == "status" && n == 1) return status();
  if (command == "click-live" && n == 1) return clickLive();
  if (command == "start-recording" && n == 2) return startRecording(args[1]);
  if (command == "stop-recording" && n == 1) return stopRecording();
  if (command == "close-yes" && n <= 2) return closeYes(n == 2 ? parseMs(args[1]) : e2e::kPatience);
  if (command == "close-window" && (n == 2 || n == 3)) return closeWindow(args[1], n == 3 ? parseMs(args[2]) : e2e::kPatience);
  if (command == "components-fit" && n == 2) return componentsFit(args[1]);
  std::fprintf(stderr, "orvalda_drive: error: unknown command or wrong arguments: %s\n%s", command.c_str(), kUsage);
  return kExitUsage;
}

// The arguments as UTF-8 (a path to type into the save dialog may hold any letters).
std::vector<std::string> utf8Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);  // with its NUL
    std::string arg(size > 1 ? static_cast<std::size_t>(size - 1) : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
    args.push_back(arg);
  }
  LocalFree(wide);
  return args;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::vector<std::string> args = utf8Arguments();
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? kExitUsage : 0;
  }
  try {
    return run(args);
  } catch (const Failed& f) {
    std::fprintf(stderr, "orvalda_drive %s: %s\n", args[0].c_str(), f.why.c_str());
    return f.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvalda_drive %s: %s\n", args[0].c_str(), e.what());
    return kExitFailed;
  }
}
