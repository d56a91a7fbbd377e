// zentavor-probe: stands in for the tester program. It owns a top-level window
// titled "Zentavor" - the window Orvalda forwards quotes to - logs every
// protocol message it receives (codes 0x400..0x502) and answers each with 1.
// On request it answers slowly (--delay-ms) or stops pumping messages
// (--hang-after) so that Orvalda's handling of a slow or hung tester can be
// tried.

#include <windows.h>
// windows.h first, before the other system headers.
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "platform/win32_text.h"
#include "tools/feed_parse.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitSetup = 3;
constexpr const char* kWindowClass = "ZentavorProbe";

const char kUsage[] =
    "Usage: zentavor-probe [--log FILE] [--delay-ms N] [--hang-after N [--hang-ms M]]\n"
    "                      [--exit-after-ms N]\n"
    "\n"
    "Creates a top-level window titled \"Zentavor\" (class ZentavorProbe), logs each message\n"
    "with code 0x400..0x502 it receives as a CSV line\n"
    "    HH:MM:SS.mmm,code,wParam,lParam\n"
    "(local time, code in decimal, wParam and lParam as their low 32 bits, unsigned decimal;\n"
    "lines end in LF and are flushed one by one) and answers each with 1.\n"
    "Once the window exists it writes \"zentavor-probe: ready hwnd=0x...\" to stderr.\n"
    "\n"
    "Options:\n"
    "  --log FILE         write the log to FILE (truncated first) instead of stdout\n"
    "  --delay-ms N       wait N ms before answering each message\n"
    "  --hang-after N     after answering N messages, stop fetching messages (0 = from the start)\n"
    "  --hang-ms M        ... for M ms, then go on (default: until the probe is ended)\n"
    "  --exit-after-ms N  exit after N ms\n"
    "  --help             show this text\n"
    "\n"
    "Ends when its window is closed (WM_CLOSE), on Ctrl+C or console close, or after\n"
    "--exit-after-ms; then it prints the counts of connects (0x502 with wParam 1),\n"
    "disconnects (0x502 with wParam 0), ticks (0x400) and other messages to stderr, or to\n"
    "stdout when the log goes to a file.\n";

struct Counts {
  std::uint64_t connects = 0;
  std::uint64_t disconnects = 0;
  std::uint64_t ticks = 0;
  std::uint64_t other = 0;
  std::uint64_t total() const { return connects + disconnects + ticks + other; }
};

struct State {
  orv::tools::ProbeOptions options;
  FILE* log = nullptr;
  Counts counts;
  HANDLE quitEvent = nullptr;   // Ctrl+C, console close, --exit-after-ms
  HANDLE doneEvent = nullptr;   // the summary is out
  volatile LONG quitCause = 0;  // first of the causes below, set from other threads
};

constexpr LONG kCauseCtrlC = 1;
constexpr LONG kCauseConsoleClosed = 2;
constexpr LONG kCauseExitAfter = 3;

void requestQuit(LONG cause);

State gState;

void status(const char* text) {
  std::fprintf(stderr, "zentavor-probe: %s\n", text);
  std::fflush(stderr);
}

void requestQuit(LONG cause) {
  InterlockedCompareExchange(&gState.quitCause, cause, 0);
  SetEvent(gState.quitEvent);
}

bool quitRequested() { return WaitForSingleObject(gState.quitEvent, 0) == WAIT_OBJECT_0; }

// Stops fetching messages: the window looks hung to senders once it has not
// fetched any for a while.
void hang() {
  const auto& o = gState.options;
  char text[160];
  if (o.hangMs)
    std::snprintf(text, sizeof text, "not fetching messages for %lu ms after %llu messages",
                  static_cast<unsigned long>(*o.hangMs), static_cast<unsigned long long>(*o.hangAfter));
  else
    std::snprintf(text, sizeof text, "not fetching messages any more after %llu messages",
                  static_cast<unsigned long long>(*o.hangAfter));
  status(text);
  WaitForSingleObject(gState.quitEvent, o.hangMs ? static_cast<DWORD>(*o.hangMs) : INFINITE);
  if (!quitRequested()) status("fetching messages again");
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= orv::WM_TICK && msg <= orv::WM_FEED_CONTROL) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    const std::string line =
        orv::tools::formatProbeLine(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, msg,
                                    static_cast<std::uint64_t>(wp), static_cast<std::uint64_t>(lp));
    std::fputs(line.c_str(), gState.log);
    std::fputc('\n', gState.log);
    std::fflush(gState.log);

    Counts& c = gState.counts;
    const std::uint32_t w = orv::low32(static_cast<std::uint64_t>(wp));
    if (msg == orv::WM_TICK)
      ++c.ticks;
    else if (msg == orv::WM_FEED_CONTROL && w == 1)
      ++c.connects;
    else if (msg == orv::WM_FEED_CONTROL && w == 0)
      ++c.disconnects;
    else
      ++c.other;

    const auto& o = gState.options;
    if (o.delayMs > 0) WaitForSingleObject(gState.quitEvent, o.delayMs);
    if (o.hangAfter && *o.hangAfter > 0 && c.total() == *o.hangAfter) {
      ReplyMessage(1);  // this one is answered; the next ones wait
      hang();
    }
    return 1;
  }
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

BOOL WINAPI onConsoleCtrl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      requestQuit(type == CTRL_CLOSE_EVENT ? kCauseConsoleClosed : kCauseCtrlC);
      // The process ends when this returns from a close event: wait for the summary.
      if (type == CTRL_CLOSE_EVENT) WaitForSingleObject(gState.doneEvent, 3000);
      return TRUE;
    default:
      return FALSE;
  }
}

DWORD WINAPI exitTimer(LPVOID) {
  if (WaitForSingleObject(gState.quitEvent, static_cast<DWORD>(*gState.options.exitAfterMs)) ==
      WAIT_TIMEOUT) {
    requestQuit(kCauseExitAfter);
  }
  return 0;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "zentavor-probe: error: %s (see zentavor-probe --help)\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main() {
  const std::vector<std::string> args = orv::commandLineArguments();
  const orv::tools::ProbeArgsResult parsed = orv::tools::parseProbeArgs(args);
  if (!parsed.ok) return usageError(parsed.error);
  if (parsed.options.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  gState.options = parsed.options;
  const auto& o = gState.options;

  if (const HWND other = FindWindowA(nullptr, orv::kTesterTitle)) {
    std::fprintf(
        stderr,
        "zentavor-probe: error: a window titled \"%s\" already exists (hwnd=0x%llx); Orvalda would not "
        "know which one to use - close it first\n",
        orv::kTesterTitle, static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(other)));
    return kExitSetup;
  }

  if (o.logFile) {
    gState.log = _wfopen(orv::toWide(*o.logFile).c_str(), L"wb");
    if (!gState.log) {
      std::fprintf(stderr, "zentavor-probe: error: cannot write log file '%s'\n", o.logFile->c_str());
      return kExitSetup;
    }
  } else {
    _setmode(_fileno(stdout), _O_BINARY);  // LF line ends on every output
    gState.log = stdout;
  }

  gState.quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gState.doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onConsoleCtrl, TRUE);

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&wc)) {
    std::fprintf(stderr, "zentavor-probe: error: cannot register the window class (error %lu)\n",
                 GetLastError());
    return kExitSetup;
  }
  // Top-level and never shown: FindWindow finds it all the same.
  const HWND hwnd = CreateWindowExA(0, kWindowClass, orv::kTesterTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
  if (!hwnd) {
    std::fprintf(stderr, "zentavor-probe: error: cannot create the window (error %lu)\n", GetLastError());
    return kExitSetup;
  }

  HANDLE timer = nullptr;
  if (o.exitAfterMs) timer = CreateThread(nullptr, 0, exitTimer, nullptr, 0, nullptr);

  std::fprintf(stderr, "zentavor-probe: ready hwnd=0x%llx pid=%lu\n",
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(hwnd)),
               GetCurrentProcessId());
  std::fflush(stderr);

  if (o.hangAfter && *o.hangAfter == 0) hang();

  const char* reason = nullptr;
  while (!quitRequested()) {
    const DWORD r =
        MsgWaitForMultipleObjectsEx(1, &gState.quitEvent, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) break;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        reason = "window closed";
        break;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (reason) break;
  }
  if (!reason) {
    switch (gState.quitCause) {
      case kCauseCtrlC:
        reason = "Ctrl+C";
        break;
      case kCauseConsoleClosed:
        reason = "console closed";
        break;
      case kCauseExitAfter:
        reason = "--exit-after-ms";
        break;
      default:
        reason = "stopped";
        break;
    }
  }

  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  SetEvent(gState.quitEvent);  // ends the exit timer
  if (timer) {
    WaitForSingleObject(timer, 1000);
    CloseHandle(timer);
  }

  FILE* summaryOut = o.logFile ? stdout : stderr;
  const Counts& c = gState.counts;
  std::fprintf(
      summaryOut, "zentavor-probe: exiting (%s): connects %llu, disconnects %llu, ticks %llu, other %llu\n",
      reason, static_cast<unsigned long long>(c.connects), static_cast<unsigned long long>(c.disconnects),
      static_cast<unsigned long long>(c.ticks), static_cast<unsigned long long>(c.other));
  std::fflush(summaryOut);
  if (o.logFile) std::fclose(gState.log);
  std::fflush(stdout);
  SetEvent(gState.doneEvent);
  return kExitOk;
}
