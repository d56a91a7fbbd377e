// A small header-only framework for end-to-end tests on Windows (or Wine).
//
// A test program starts the real orvalda.exe and drives it from outside, as
// a feeder, a tester or a user would: it finds windows, sends and posts
// messages, reads texts and states, and answers the dialogs. Every process a
// test starts goes into a job object that kills it when the test's Process
// object ends, so nothing outlives a test, even a failed one.
//
//   #include "tests/e2e/e2e.h"
//
//   E2E_TEST(main_window_has_its_title) {
//     e2e::Process app = e2e::Process::start(e2e::orvaldaPath());
//     HWND main = e2e::findTopWindow(app.pid(), "TForm1", "Orvalda");
//     E2E_REQUIRE(main != nullptr);
//     E2E_CHECK_EQ(e2e::windowText(main), std::string("Orvalda"));
//   }
//
//   int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
//
// The program's arguments: the path of orvalda.exe (a Unix path is turned
// into Wine's Z: drive), then optionally names of tests to run.
//
// Checks: E2E_CHECK(cond) and E2E_CHECK_EQ(a, b) report file:line and the
// values and let the test go on; E2E_REQUIRE(cond) ends the test at once.
// A test passes when none of its checks failed.
//
// Messages that may open a modal window (a click on Close, on START
// RECORDING) must be posted (postClick), not sent: a send would wait until
// the dialog closes, which only the test can do.
//
// At the end, what every test of Orvalda shares: a temporary folder, the
// tester probe (zentavor-probe.exe) and its log, a send made on a thread of
// its own, and e2e::Orvalda, the started program with the feeder's and a
// user's steps.
#pragma once

#include "core/protocol.h"
#include "platform/win32.h"
#include "core/window_model.h"
#include "platform/win32_notification_icon.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace e2e {

// ---------------------------------------------------------------------------
// Registration, checks and the runner

struct TestCase {
  const char* name;
  void (*body)();
};

inline std::vector<TestCase>& registry() {
  static std::vector<TestCase> tests;
  return tests;
}

struct Registrar {
  Registrar(const char* name, void (*body)()) { registry().push_back({name, body}); }
};

// Thrown by E2E_REQUIRE to end the running test.
struct RequireFailed {};

inline int& failedChecks() {
  static int count = 0;
  return count;
}

inline void reportFailure(const char* file, int line, const std::string& what) {
  ++failedChecks();
  std::printf("%s:%d: FAILED: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

template <typename T>
std::string show(const T& value) {
  std::ostringstream out;
  if constexpr (std::is_convertible_v<T, std::string>) {
    out << '"' << std::string(value) << '"';
  } else if constexpr (std::is_pointer_v<T>) {
    out << reinterpret_cast<const void*>(value);
  } else {
    out << value;
  }
  return out.str();
}

template <typename A, typename B>
bool checkEqual(const A& a, const B& b, const char* aText, const char* bText, const char* file, int line) {
  if (a == b) return true;
  reportFailure(file, line, std::string(aText) + " == " + bText + "\n    left:  " + show(a) + "\n    right: " + show(b));
  return false;
}

#define E2E_CONCAT_INNER(a, b) a##b
#define E2E_CONCAT(a, b) E2E_CONCAT_INNER(a, b)

#define E2E_TEST(name)                                                  \
  static void name();                                                   \
  static ::e2e::Registrar E2E_CONCAT(registrar_, name)(#name, &name);   \
  static void name()

#define E2E_CHECK(cond) \
  ((cond) ? true : (::e2e::reportFailure(__FILE__, __LINE__, "CHECK(" #cond ")"), false))

#define E2E_CHECK_EQ(a, b) ::e2e::checkEqual((a), (b), #a, #b, __FILE__, __LINE__)

#define E2E_REQUIRE(cond)                                                 \
  do {                                                                    \
    if (!(cond)) {                                                        \
      ::e2e::reportFailure(__FILE__, __LINE__, "REQUIRE(" #cond ")");     \
      throw ::e2e::RequireFailed{};                                       \
    }                                                                     \
  } while (false)

// The arguments the runner was given.
inline std::vector<std::string>& arguments() {
  static std::vector<std::string> args;
  return args;
}

// Texts are UTF-8 in the tests, as in the program; the wide (…W) calls take
// them as UTF-16, so paths and arguments may hold any letters.
inline std::wstring wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                          out.data(), static_cast<int>(out.size()))));
  return out;
}

inline bool fileExists(const std::string& path) { return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A Unix path (as ctest passes it under Wine) as a Windows path on Wine's Z:
// drive; a Windows path as it is.
inline std::string hostPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// orvalda.exe: the first argument, else the path the build compiled in.
inline std::string orvaldaPath() {
  if (!arguments().empty()) return hostPath(arguments()[0]);
#ifdef ORVALDA_EXE
  return hostPath(ORVALDA_EXE);
#else
  throw std::runtime_error("no path of orvalda.exe given");
#endif
}

// The companion tools, where the build put them (for the tests that start them).
#ifdef ORVALDA_FEED_EXE
inline std::string feedPath() { return hostPath(ORVALDA_FEED_EXE); }
#endif
#ifdef ORVALDA_PROBE_EXE
inline std::string probePath() { return hostPath(ORVALDA_PROBE_EXE); }
#endif

// Runs every registered test, or those named after the first argument.
// Returns the process exit code: 0 when all passed.
inline int runAll(int argc, char** argv) {
  // Real pixels, not the system's scaled view of them, on any screen.
  SetProcessDPIAware();
  for (int i = 1; i < argc; ++i) arguments().push_back(argv[i]);
  std::vector<std::string> only(arguments().size() > 1 ? arguments().begin() + 1 : arguments().end(),
                                arguments().end());
  int failedTests = 0, ran = 0;
  for (const TestCase& test : registry()) {
    if (!only.empty()) {
      bool wanted = false;
      for (const std::string& name : only) wanted = wanted || name == test.name;
      if (!wanted) continue;
    }
    ++ran;
    std::printf("[ RUN  ] %s\n", test.name);
    std::fflush(stdout);
    const int before = failedChecks();
    const DWORD start = GetTickCount();
    try {
      test.body();
    } catch (const RequireFailed&) {
    } catch (const std::exception& e) {
      reportFailure(test.name, 0, std::string("exception: ") + e.what());
    }
    const bool passed = failedChecks() == before;
    if (!passed) ++failedTests;
    std::printf("[ %s ] %s (%lu ms)\n", passed ? " OK " : "FAIL", test.name,
                static_cast<unsigned long>(GetTickCount() - start));
    std::fflush(stdout);
  }
  std::printf("%d of %d tests passed\n", ran - failedTests, ran);
  return failedTests == 0 && ran > 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Time

// How long a test waits for something that must happen: long enough for a
// machine under heavy load, and spent only when the thing never comes.
inline constexpr DWORD kPatience = 30000;

// Polls cond every few milliseconds until it holds or timeoutMs have passed.
inline bool waitUntil(const std::function<bool()>& cond, DWORD timeoutMs, DWORD pollMs = 10) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(pollMs);
  }
}

// ---------------------------------------------------------------------------
// Processes

// How a process is started, beyond its arguments: creation flags (e.g.
// DETACHED_PROCESS: no console), and, with ownStdHandles, `output` as its
// standard output and error (inherited; none when null) and no input.
struct StartOptions {
  DWORD flags = 0;
  bool ownStdHandles = false;
  HANDLE output = nullptr;
};

// A process started by the test, inside a job that kills it (and whatever it
// started) when this object is destroyed.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept { *this = std::move(other); }
  Process& operator=(Process&& other) noexcept {
    if (this != &other) {
      close();
      job_ = other.job_;
      process_ = other.process_;
      pid_ = other.pid_;
      other.job_ = other.process_ = nullptr;
      other.pid_ = 0;
    }
    return *this;
  }
  ~Process() { close(); }

  // Starts exe with the given command-line arguments (UTF-8). Throws on failure.
  static Process start(const std::string& exe, const std::string& args = "", const StartOptions& options = {}) {
    Process p;
    p.job_ = CreateJobObjectA(nullptr, nullptr);
    if (p.job_ == nullptr) throw std::runtime_error("CreateJobObject failed");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(p.job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    std::string commandLine = "\"" + exe + "\"";
    if (!args.empty()) commandLine += " " + args;
    std::wstring wideCommandLine = wide(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (options.ownStdHandles) {
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdOutput = si.hStdError = options.output;
    }
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(wide(exe).c_str(), wideCommandLine.data(), nullptr, nullptr, options.output != nullptr,
                        CREATE_SUSPENDED | options.flags, nullptr, nullptr, &si, &pi))
      throw std::runtime_error("cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")");
    AssignProcessToJobObject(p.job_, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    p.process_ = pi.hProcess;
    p.pid_ = pi.dwProcessId;
    return p;
  }

  DWORD pid() const noexcept { return pid_; }
  HANDLE handle() const noexcept { return process_; }

  // True when the process has ended within timeoutMs; its exit code in code.
  bool waitExit(DWORD timeoutMs, DWORD& code) const {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_, &code);
    return true;
  }

  bool running() const { return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

  // Ends the process and everything in its job now.
  void kill() {
    if (job_ != nullptr) TerminateJobObject(job_, 1);
    if (process_ != nullptr) WaitForSingleObject(process_, 5000);
  }

 private:
  void close() {
    if (job_ != nullptr) {
      TerminateJobObject(job_, 1);  // the job's kill-on-close does the same; this also waits less
      CloseHandle(job_);
    }
    if (process_ != nullptr) {
      WaitForSingleObject(process_, 5000);
      CloseHandle(process_);
    }
    job_ = process_ = nullptr;
    pid_ = 0;
  }

  HANDLE job_ = nullptr;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// ---------------------------------------------------------------------------
// Windows

inline DWORD processOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

inline std::string className(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// A window's text by WM_GETTEXT (which works across processes); "" when the
// window does not answer within timeoutMs.
inline std::string windowText(HWND window, DWORD timeoutMs = kPatience) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length)) return "";
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           timeoutMs, &copied))
    return "";
  text.resize(copied);
  return text;
}

// The top-level windows of process pid (0: any process) whose class and title
// match (nullptr matches any); visible ones only if visibleOnly.
inline std::vector<HWND> topWindows(DWORD pid, const char* cls, const char* title, bool visibleOnly = false) {
  struct Query {
    DWORD pid;
    const char* cls;
    const char* title;
    bool visibleOnly;
    std::vector<HWND> found;
  } query{pid, cls, title, visibleOnly, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& q = *reinterpret_cast<Query*>(param);
        if (q.pid != 0 && processOf(window) != q.pid) return TRUE;
        if (q.visibleOnly && !IsWindowVisible(window)) return TRUE;
        if (q.cls != nullptr && className(window) != q.cls) return TRUE;
        if (q.title != nullptr) {
          char text[512] = {};
          GetWindowTextA(window, text, sizeof(text));
          if (std::strcmp(text, q.title) != 0) return TRUE;
        }
        q.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// Waits up to timeoutMs for a top-level window of pid with this class and title.
inline HWND findTopWindow(DWORD pid, const char* cls, const char* title, DWORD timeoutMs = kPatience) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        const auto windows = topWindows(pid, cls, title);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      timeoutMs, 20);
  return found;
}

// Waits for a visible dialog ("#32770": message boxes, the save dialog) of
// process pid, optionally with this title; nullptr after timeoutMs.
inline HWND waitForDialog(DWORD pid, DWORD timeoutMs = kPatience, const char* title = nullptr) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        const auto windows = topWindows(pid, "#32770", title, true);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      timeoutMs, 20);
  return found;
}

// Waits for a visible dialog of process pid owned by owner (a question a
// dialog asks, such as the save dialog's "replace it?").
inline HWND waitForDialogOwnedBy(DWORD pid, HWND owner, DWORD timeoutMs = kPatience) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        for (HWND w : topWindows(pid, "#32770", nullptr, true))
          if (GetWindow(w, GW_OWNER) == owner) found = w;
        return found != nullptr;
      },
      timeoutMs, 20);
  return found;
}

// How many dialogs process pid has now: shown ones, or with hidden too any
// that are made but not shown yet (a message box shows itself only once its
// own message loop runs).
inline std::size_t dialogCount(DWORD pid, bool hiddenToo = false) {
  return topWindows(pid, "#32770", nullptr, !hiddenToo).size();
}

// A descendant of parent with this control id (GetDlgItem looks at children only).
inline HWND findChild(HWND parent, int id) {
  struct Query {
    int id;
    HWND found;
  } query{id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM param) -> BOOL {
        auto& q = *reinterpret_cast<Query*>(param);
        if (GetDlgCtrlID(window) != q.id) return TRUE;
        q.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// A window's bounds in its parent's client area (the screen for a top-level window).
inline RECT boundsInParent(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  HWND parent = GetParent(window);
  if (parent != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0)
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A synchronous send that gives up after timeoutMs; false if it did.
inline bool send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD timeoutMs = kPatience) {
  DWORD_PTR answer = 0;
  const bool delivered =
      SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
  result = static_cast<LRESULT>(answer);
  return delivered;
}

// A button click that does not wait for what the click opens.
inline bool postClick(HWND button) { return PostMessageA(button, BM_CLICK, 0, 0) != 0; }

inline int checkState(HWND checkBox) {
  LRESULT state = 0;
  send(checkBox, BM_GETCHECK, 0, 0, state);
  return static_cast<int>(state);
}

// The text of a message box (its static, id 0xffff).
inline std::string messageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? windowText(text) : "";
}

// Presses a message box's button: IDYES 6, IDNO 7, IDOK 1, IDCANCEL 2.
inline bool answerMessageBox(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  return button != nullptr && postClick(button);
}

// The save dialog's file-name box.
inline constexpr int kFileNameBox = 0x47C;

// Types a file name (UTF-8) into the save dialog and presses Save.
inline bool answerSaveDialog(HWND dialog, const std::string& fileName) {
  HWND nameBox = findChild(dialog, kFileNameBox);
  HWND save = GetDlgItem(dialog, IDOK);
  if (nameBox == nullptr || save == nullptr) return false;
  const std::wstring text = wide(fileName);
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                           &ignored))
    return false;
  return postClick(save);
}

// Presses the save dialog's Cancel.
inline bool cancelDialog(HWND dialog) {
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  return cancel != nullptr && postClick(cancel);
}

// The window that has the keyboard focus in window's thread (any process).
inline HWND focusedWindow(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// Waits until the focus in window's thread is on target.
inline bool waitForFocus(HWND window, HWND target, DWORD timeoutMs = kPatience) {
  return waitUntil([&] { return focusedWindow(window) == target; }, timeoutMs);
}

// What the screen shows in r, row by row from the top, as 0x00RRGGBB.
inline std::vector<std::uint32_t> screenPixels(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  GetDIBits(mem, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// ---------------------------------------------------------------------------
// Keyboard

// Presses and releases keys as a user does, into the foreground window:
// brings top to the foreground first and waits until it can take them
// (enabled, with the keyboard focus in it: a dialog that just closed may
// still be handing the activation back). Each entry is a virtual-key code;
// keys listed before the last are held while the last is pressed
// (e.g. {VK_SHIFT, VK_TAB}, {VK_MENU, 'C'}).
inline bool pressKeys(HWND top, std::initializer_list<WORD> keys) {
  const bool ready = waitUntil(
      [&] {
        if (GetForegroundWindow() != top) SetForegroundWindow(top);
        const HWND focus = focusedWindow(top);
        return GetForegroundWindow() == top && IsWindowEnabled(top) && (focus == top || IsChild(top, focus));
      },
      kPatience, 20);
  if (!ready) return false;
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    inputs.push_back(in);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *--it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// A pause, then a synchronous round trip: the window is alive and not stuck in
// a handler. For the benchmark's pauses between its phases; a check waits for
// the event itself (caughtUp below, or the state it expects).
inline void settle(HWND window, DWORD ms = 200) {
  Sleep(ms);
  LRESULT ignored = 0;
  send(window, WM_NULL, 0, 0, ignored);
}

// Waits until the thread of `button` has taken every message posted to it (or
// to any other window of that thread) before this call, and whatever those did
// in turn: a handler that ran, a question or a dialog that opened or closed.
// Posted messages are taken in the order they came, so a button state posted
// now is set only after them; it is put back afterwards. A window's own loop
// or a dialog's takes them alike. Typed keys are not covered: input comes after
// posted messages (see Orvalda::keysTaken). False if it did not happen in time.
inline bool caughtUp(HWND button, DWORD timeoutMs = kPatience) {
  for (const BOOL pushed : {TRUE, FALSE}) {
    if (!PostMessageA(button, BM_SETSTATE, pushed, 0)) return false;
    const bool set = waitUntil(
        [&] {
          LRESULT state = 0;
          return send(button, BM_GETSTATE, 0, 0, state) && ((state & BST_PUSHED) != 0) == (pushed != FALSE);
        },
        timeoutMs);
    if (!set) return false;
  }
  return true;
}

// The whole file (UTF-8 path) as it is now, read while another program may be
// writing it; false when it cannot be opened (it does not exist).
inline bool readShared(const std::string& path, std::string& data) {
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  data.clear();
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) data.append(buffer, got);
  CloseHandle(h);
  return true;
}

// Runs a Unix command line under /bin/sh (xdotool for a real mouse click, a
// mount for a small disk) and waits for its end: true when it ended with
// status 0 within timeoutMs. Wine starts a program named by a Unix path but
// hands back no process to wait for, so the command leaves its exit status in
// a file that is polled.
inline bool runUnixShell(const std::string& script, DWORD timeoutMs = kPatience) {
  static int counter = 0;
  const std::string status =
      "/tmp/orvalda-e2e-status-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::string commandLine = "/bin/sh -c \"(" + script + ") >/dev/null 2>&1; echo $? >" + status + ".part; mv " +
                            status + ".part " + status + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  if (pi.hProcess != nullptr) CloseHandle(pi.hProcess);
  if (pi.hThread != nullptr) CloseHandle(pi.hThread);
  const std::string statusFile = hostPath(status);
  std::string result;
  const bool done = waitUntil([&] { return readShared(statusFile, result) && !result.empty(); }, timeoutMs, 20);
  DeleteFileA(statusFile.c_str());
  return done && result.rfind("0", 0) == 0;
}

// ---------------------------------------------------------------------------
// Files

// A folder of the test's own under the Windows temporary folder; it and the
// files in it are deleted at the end.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    // A new folder each time: Wine reuses process ids, and a failed run may
    // have left one of the same name behind.
    static int counter = 0;
    do {
      path_ = std::string(base) + "orvalda-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter);
    } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ~TempFolder() {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileA(file(found.cFileName).c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// ---------------------------------------------------------------------------
// The tester: zentavor-probe.exe and its log (for the tests that start it)

#ifdef ORVALDA_PROBE_EXE

struct ProbeEntry {
  std::uint32_t code = 0, wParam = 0, lParam = 0;
  long ms = 0;  // the probe's local time of day, in ms
  bool operator==(const ProbeEntry& o) const { return code == o.code && wParam == o.wParam && lParam == o.lParam; }
};

inline std::ostream& operator<<(std::ostream& out, const ProbeEntry& e) {
  return out << "(" << e.code << "," << e.wParam << "," << e.lParam << ")";
}

inline ProbeEntry msg(std::uint32_t code, std::uint32_t w, std::uint32_t l) { return ProbeEntry{code, w, l, 0}; }
inline ProbeEntry fwd(std::uint32_t ask, std::uint32_t bid) { return msg(orv::WM_TICK, ask, bid); }

inline const ProbeEntry kConnect1 = msg(1280, 1, 0);
inline const ProbeEntry kConnect3 = msg(1282, 1, 0);
inline const ProbeEntry kDisconnect = msg(1282, 0, 0);
// What a connect sends the tester, in order: the second message carries the Digits.
inline std::vector<ProbeEntry> connectSequence(std::uint32_t digits) { return {kConnect1, msg(1281, 1, digits), kConnect3}; }

class Probe {
 public:
  // Starts the probe with these options and waits for its window.
  explicit Probe(const std::string& options = "") : log_(folder_.file("probe.log")) {
    process_ = e2e::Process::start(e2e::probePath(), "--log \"" + log_ + "\"" + (options.empty() ? "" : " " + options));
    window_ = e2e::findTopWindow(process_.pid(), "ZentavorProbe", orv::kTesterTitle);
    E2E_REQUIRE(window_ != nullptr);
  }

  // Every whole line of the log, in order.
  std::vector<ProbeEntry> entries() const {
    std::vector<ProbeEntry> out;
    std::string data;
    if (!e2e::readShared(log_, data)) return out;
    std::size_t at = 0;
    for (std::size_t end; (end = data.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = data.substr(at, end - at);
      unsigned h = 0, m = 0, s = 0, ms = 0;
      unsigned long code = 0, w = 0, l = 0;
      if (std::sscanf(line.c_str(), "%u:%u:%u.%u,%lu,%lu,%lu", &h, &m, &s, &ms, &code, &w, &l) != 7) {
        std::printf("    unreadable probe line: %s\n", line.c_str());
        continue;
      }
      out.push_back(ProbeEntry{static_cast<std::uint32_t>(code), static_cast<std::uint32_t>(w),
                          static_cast<std::uint32_t>(l), static_cast<long>(((h * 60 + m) * 60 + s) * 1000 + ms)});
    }
    return out;
  }

  // Waits until the log holds at least n entries; returns them.
  std::vector<ProbeEntry> waitFor(std::size_t n, DWORD timeoutMs = kPatience) const {
    std::vector<ProbeEntry> got;
    e2e::waitUntil(
        [&] {
          got = entries();
          return got.size() >= n;
        },
        timeoutMs, 10);
    return got;
  }

  e2e::Process& process() { return process_; }

 private:
  e2e::TempFolder folder_;
  std::string log_;
  e2e::Process process_;
  HWND window_ = nullptr;
};

// Compares part of the log with what it must hold there.
inline void checkEntries(const std::vector<ProbeEntry>& got, std::size_t from, const std::vector<ProbeEntry>& want) {
  if (!E2E_CHECK(got.size() >= from + want.size())) {
    std::printf("    the log has %zu entries, expected at least %zu\n", got.size(), from + want.size());
    return;
  }
  for (std::size_t i = 0; i < want.size(); ++i)
    if (!E2E_CHECK_EQ(got[from + i], want[i])) std::printf("    (log entry %zu)\n", from + i);
}
#endif  // ORVALDA_PROBE_EXE

// ---------------------------------------------------------------------------
// A send that waits while the test goes on

// A send made on a thread of its own, started at once: for a send that waits
// on something only the test can end (a dialog to answer, a slow or hung
// tester), timed.
class PendingSend {
 public:
  PendingSend(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs = 30000)
      : window_(window), msg_(msg), wParam_(wParam), lParam_(lParam), timeoutMs_(timeoutMs) {
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
  }
  ~PendingSend() { finish(timeoutMs_ + 10000); }
  PendingSend(const PendingSend&) = delete;
  PendingSend& operator=(const PendingSend&) = delete;

  // Waits up to waitMs for the send to return; false if it has not.
  bool finish(DWORD waitMs = 40000) {
    if (thread_ != nullptr && WaitForSingleObject(thread_, waitMs) != WAIT_OBJECT_0) return false;
    if (thread_ != nullptr) CloseHandle(thread_);
    thread_ = nullptr;
    return true;
  }

  // What the send gave, once finish() returned true.
  bool delivered = false;
  LRESULT result = -1;
  ULONGLONG elapsedMs = 0;

 private:
  static DWORD WINAPI run(void* param) {
    auto* self = static_cast<PendingSend*>(param);
    const ULONGLONG begin = GetTickCount64();
    DWORD_PTR answer = 0;
    self->delivered =
        SendMessageTimeoutA(self->window_, self->msg_, self->wParam_, self->lParam_, SMTO_NORMAL, self->timeoutMs_,
                            &answer) != 0;
    self->elapsedMs = GetTickCount64() - begin;
    if (self->delivered) self->result = static_cast<LRESULT>(answer);
    return 0;
  }

  HWND window_;
  UINT msg_;
  WPARAM wParam_;
  LPARAM lParam_;
  DWORD timeoutMs_;
  HANDLE thread_ = nullptr;
};

// ---------------------------------------------------------------------------
// Orvalda

// The "Are you sure?" question of process pid, when it shows within timeoutMs.
inline HWND waitForCloseQuestion(DWORD pid, DWORD timeoutMs = kPatience) { return waitForDialog(pid, timeoutMs, "Exit"); }

// A started orvalda.exe: its two top-level windows found, the main one shown
// with the focus on its first control. The feeder's side of the protocol and
// a user's steps, each checked as it goes.
struct Orvalda {
  Process process;
  HWND main = nullptr;  // the feeder's target
  HWND app = nullptr;   // the application's window, never shown; owns the dialogs
  // The notification icon's window, never shown; owns the icon and its menu.
  HWND iconWindow() const { return findTopWindow(process.pid(), orv::kNotificationIconWindowClass, nullptr); }

  // Started with these command-line arguments, its main window shown.
  static Orvalda start(const std::string& args = "", const std::string& exe = orvaldaPath()) {
    Orvalda o;
    o.process = Process::start(exe, args);
    o.main = findTopWindow(o.process.pid(), orv::kMainWindowClass, orv::kAppTitle);
    E2E_REQUIRE(o.main != nullptr);
    o.app = findTopWindow(o.process.pid(), orv::kAppWindowClass, orv::kAppTitle);
    E2E_REQUIRE(o.app != nullptr);
    E2E_REQUIRE(waitUntil([&] { return IsWindowVisible(o.main) != FALSE; }, kPatience));
    E2E_REQUIRE(waitForFocus(o.main, o.control(orv::Control::RecordButton)));
    return o;
  }

  HWND control(orv::Control role) const { return findChild(main, orv::controlId(role)); }
  std::string text(orv::Control role) const { return windowText(control(role)); }
  std::string button() const { return text(orv::Control::RecordButton); }

  // A send that must be delivered; its result.
  LRESULT send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const {
    LRESULT result = -1;
    E2E_CHECK(e2e::send(window, msg, wParam, lParam, result));
    return result;
  }

  // A message as the feeder sends it; the program answers each with 1.
  void feed(UINT code, std::uint32_t wParam, std::uint32_t lParam) const {
    LRESULT result = -1;
    E2E_CHECK(e2e::send(main, code, wParam, lParam, result));
    E2E_CHECK_EQ(result, 1);
  }
  void tick(std::uint32_t ask, std::uint32_t bid) const { feed(orv::WM_TICK, ask, bid); }
  void announce(const char* letters, std::uint32_t digits) const {
    feed(orv::WM_SYMBOL_HEAD, orv::packLetters(letters[0], letters[1]), orv::packLetters(letters[2], letters[3]));
    feed(orv::WM_SYMBOL_TAIL, orv::packLetters(letters[4], letters[5]), digits);
  }

  // Clicks a check box and waits until it shows the new state.
  void click(orv::Control role, bool checkedAfter) const {
    HWND box = control(role);
    E2E_CHECK(postClick(box));
    E2E_REQUIRE(waitUntil([&] { return checkState(box) == (checkedAfter ? BST_CHECKED : BST_UNCHECKED); }, kPatience));
  }

  // Everything posted to the program so far has been taken, with what it set
  // off (see e2e::caughtUp): for checking that something did not happen.
  bool caughtUp() const { return e2e::caughtUp(control(orv::Control::CloseButton)); }
  // Likewise for keys typed so far, when the focus is on one of the main
  // window's controls: a Tab typed now, taken after them, moves it on.
  bool keysTaken() const {
    const HWND before = focusedWindow(main);
    if (before == nullptr || !IsChild(main, before) || !pressKeys(main, {VK_TAB})) return false;
    return waitUntil([&] {
      const HWND now = focusedWindow(main);
      return now != before && IsChild(main, now);
    }, kPatience);
  }
  // Dialogs the program has, shown or about to be.
  std::size_t dialogs() const { return dialogCount(process.pid(), true); }

  HWND question(DWORD timeoutMs = kPatience) const { return waitForCloseQuestion(process.pid(), timeoutMs); }
  // The error display: a message box titled with the program's name.
  HWND errorBox(DWORD timeoutMs = kPatience) const { return waitForDialog(process.pid(), timeoutMs, orv::kAppTitle); }
  // A visible dialog of the program other than `besides`.
  HWND otherDialog(HWND besides, DWORD timeoutMs = kPatience) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
          for (HWND w : topWindows(process.pid(), "#32770", nullptr, true))
            if (w != besides) found = w;
          return found != nullptr;
        },
        timeoutMs, 20);
    return found;
  }
  bool gone(HWND dialog) const {
    return waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kPatience);
  }

  bool buttonReads(const std::string& caption, DWORD timeoutMs = kPatience) const {
    return waitUntil([&] { return button() == caption; }, timeoutMs);
  }

  // START RECORDING pressed: the save dialog.
  HWND openSaveDialog() const {
    E2E_CHECK(postClick(control(orv::Control::RecordButton)));
    HWND dialog = waitForDialog(process.pid());
    E2E_REQUIRE(dialog != nullptr);
    E2E_REQUIRE(findChild(dialog, kFileNameBox) != nullptr);
    return dialog;
  }

  // A recording into path, started through the save dialog.
  void startRecording(const std::string& path) const {
    HWND dialog = openSaveDialog();
    E2E_REQUIRE(answerSaveDialog(dialog, path));
    E2E_REQUIRE(buttonReads("STOP RECORDING"));
    E2E_CHECK(!IsWindow(dialog) || !IsWindowVisible(dialog));
  }

  void stopRecording() const {
    E2E_CHECK(postClick(control(orv::Control::RecordButton)));
    E2E_REQUIRE(buttonReads("START RECORDING"));
  }

  // Close, "Are you sure?" answered Yes: the program ends with exit code 0.
  void closeWithYes() const {
    E2E_CHECK(postClick(control(orv::Control::CloseButton)));
    HWND box = question();
    E2E_REQUIRE(box != nullptr);
    E2E_CHECK(answerMessageBox(box, IDYES));
    DWORD code = 12345;
    E2E_REQUIRE(process.waitExit(kPatience, code));
    E2E_CHECK_EQ(code, 0ul);
  }
};

// ---------------------------------------------------------------------------
// Rows

// The file's rows with each time stamp (the second of four fields, 21
// characters) replaced by "T", every line end kept: what is left shows
// a row lost, glued to another, cut or out of order.
inline std::string withoutStamps(const std::string& data) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t end; (end = data.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = data.substr(at, end - at);
    const std::size_t first = line.find(','), second = first == std::string::npos ? first : line.find(',', first + 1);
    const bool stamped = second == first + 22 && line.find(',', second + 1) != std::string::npos;
    out += stamped ? line.substr(0, first) + ",T" + line.substr(second) : line;
    out += "\r\n";
  }
  return out + data.substr(at);
}

#ifdef ORVALDA_PROBE_EXE
// Sends n rising EURUSD ticks, from point `from` on; notes each row the file
// must get and each message the tester must get.
inline void sendTicks(const Orvalda& o, std::uint32_t from, std::uint32_t n, std::string& rows,
                      std::vector<ProbeEntry>& forwarded) {
  for (std::uint32_t bid = from; bid < from + n; ++bid) {
    o.tick(bid + 16, bid);
    char row[64];
    std::snprintf(row, sizeof row, "EUR/USD,T,1.%05u,1.%05u\r\n", bid % 100000, (bid + 16) % 100000);
    rows += row;
    forwarded.push_back(fwd(bid + 16, bid));
  }
}
#endif  // ORVALDA_PROBE_EXE

}  // namespace e2e
