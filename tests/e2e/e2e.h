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
// The driving itself (processes, windows, messages, dialogs, keys) comes from
// testkit/win_drive.h, which the end-to-end benchmark shares. At the end,
// what every test of Orvalda shares: a temporary folder, the tester probe
// (zentavor-probe.exe) and its log, a send made on a thread of its own, and
// e2e::Orvalda, the started program with the feeder's and a user's steps.
#pragma once

#include "core/protocol.h"
#include "platform/win32.h"
#include "testkit/win_drive.h"
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
