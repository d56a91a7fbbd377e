// Driving Windows programs from outside, as a user or another program would
// (on Windows or under Wine), for the end-to-end tests and the end-to-end
// benchmark: processes started inside a job that ends them, patient waits,
// top-level windows and controls found by class, title and id, messages sent
// with a time limit, dialogs answered, keys pressed, the screen's pixels read.
// Header only; it knows nothing of Orvalda.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

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

}  // namespace e2e
