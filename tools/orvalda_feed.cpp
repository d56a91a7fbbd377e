// orvalda-feed: sends quotes to a running Orvalda the way the feeder program
// does - the symbol announcement (head, tail) and then ticks, each with a
// synchronous send - either replayed from a CSV file Orvalda recorded or made
// up as a random walk.

#include <windows.h>
// windows.h first: the others build on it.
#include <mmsystem.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "platform/win32_text.h"
#include "tools/feed_parse.h"

namespace {

using orv::tools::FeedFile;
using orv::tools::FeedOptions;

constexpr int kExitOk = 0;
constexpr int kExitTicksFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 3;
constexpr int kExitNoOrvalda = 4;

const char kUsage[] =
    "Usage: orvalda-feed --file PATH [--speed X|max] [options]\n"
    "       orvalda-feed --synthetic N [--rate R|max] [--seed S] [options]\n"
    "\n"
    "Sends a symbol announcement and ticks to Orvalda's main window (class TForm1,\n"
    "title \"Orvalda\"), one synchronous SendMessageTimeout per message.\n"
    "\n"
    "Sources (exactly one):\n"
    "  --file PATH       replay a tick recording Orvalda wrote, one row per tick:\n"
    "                      pair,YYYYMMDD HH:MM:SS.mmm,bid,ask\n"
    "                    The whole file is checked before anything is sent; a bad row\n"
    "                    (cut by a crash, garbled) is left out and named on stderr.\n"
    "  --synthetic N     send N ticks of a random walk around 1.08 (150 with --digits\n"
    "                    3 or fewer, as a yen pair)\n"
    "\n"
    "Options:\n"
    "  --symbol SYM      symbol to announce, 1-6 characters (default: the file's pair\n"
    "                    without '/', e.g. EUR/USD -> EURUSD; EURUSD for --synthetic)\n"
    "  --digits D        Digits: price = points / 10^D (default: as written in the file;\n"
    "                    5 for --synthetic, which accepts 0-9). With --file every price\n"
    "                    must have exactly D decimals (or the form <points>e-D).\n"
    "  --speed X|max     replay pace: X times the recorded pace (e.g. 10, 0.5; default 1),\n"
    "                    max = back to back\n"
    "  --rate R|max      synthetic ticks per second (default 100), max = back to back\n"
    "  --seed S          seed of the synthetic walk (default 1; same seed, same ticks)\n"
    "  --no-announce     send ticks only, without the head/tail announcement\n"
    "  --timeout-ms MS   how long one send may wait for Orvalda's answer (default 10000);\n"
    "                    a send that times out counts as failed\n"
    "  --no-timeout      plain SendMessage, waiting as long as Orvalda takes, as most\n"
    "                    feeders do\n"
    "  --help            show this text\n"
    "\n"
    "Exit status: 0 every tick sent answered 1; 1 some tick failed or was answered\n"
    "otherwise, or the run was interrupted; 2 bad command line; 3 missing input file or\n"
    "one without a good row; 4 Orvalda not running or not answering the announcement.\n";

HANDLE gStopEvent = nullptr;

BOOL WINAPI onConsoleCtrl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      SetEvent(gStopEvent);
      if (type == CTRL_CLOSE_EVENT) Sleep(2000);  // let the summary get out
      return TRUE;
    default:
      return FALSE;
  }
}

bool stopRequested() { return WaitForSingleObject(gStopEvent, 0) == WAIT_OBJECT_0; }

class Clock {
 public:
  Clock() {
    LARGE_INTEGER f, now;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&now);
    freq_ = static_cast<double>(f.QuadPart);
    start_ = now.QuadPart;
  }
  double seconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_) / freq_;
  }

 private:
  double freq_ = 1;
  LONGLONG start_ = 0;
};

// Waits until `target` seconds on the clock; false when stopped by Ctrl+C.
bool waitUntil(const Clock& clock, double target) {
  for (;;) {
    const double remaining = target - clock.seconds();
    if (remaining < 0.001) return !stopRequested();
    const double ms = remaining * 1000.0;
    const DWORD chunk = ms > 200.0 ? 200 : static_cast<DWORD>(ms);
    if (WaitForSingleObject(gStopEvent, chunk) == WAIT_OBJECT_0) return false;
  }
}

bool stdoutIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// Progress: a refreshing line on a console, a plain line every few seconds otherwise.
class Progress {
 public:
  Progress(std::uint64_t total, bool console) : total_(total), console_(console) {}

  void update(const Clock& clock, std::uint64_t sent) {
    const double now = clock.seconds();
    const double interval = console_ ? 0.25 : 5.0;
    if (now < 1.0 || now - last_ < interval) return;
    last_ = now;
    char line[160];
    std::snprintf(line, sizeof line, "%llu/%llu ticks (%.1f%%), %.0f ticks/s",
                  static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total_),
                  total_ ? 100.0 * static_cast<double>(sent) / total_ : 100.0,
                  static_cast<double>(sent) / now);
    if (console_) {
      std::printf("\r%-70s", line);
      shown_ = true;
    } else {
      std::printf("progress: %s\n", line);
    }
    std::fflush(stdout);
  }

  void finish() {
    if (shown_) std::printf("\r%-70s\r", "");
    std::fflush(stdout);
  }

 private:
  std::uint64_t total_;
  bool console_;
  double last_ = 0;
  bool shown_ = false;
};

int usageError(const std::string& message) {
  std::fprintf(stderr, "orvalda-feed: error: %s (see orvalda-feed --help)\n", message.c_str());
  return kExitUsage;
}

bool readWholeFile(const std::string& path, std::string& content, std::string& error) {
  const DWORD attrs = GetFileAttributesW(orv::toWide(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    error = "file '" + path + "' does not exist";
    return false;
  }
  if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    error = "'" + path + "' is a folder, not a file";
    return false;
  }
  std::ifstream in(std::filesystem::path(orv::toWide(path)), std::ios::binary);
  if (!in) {
    error = "cannot open '" + path + "'";
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    error = "cannot read '" + path + "'";
    return false;
  }
  content = ss.str();
  return true;
}

struct Totals {
  std::uint64_t sent = 0;
  std::uint64_t answeredOne = 0;
  std::uint64_t answeredOther = 0;
  std::uint64_t failed = 0;
};

enum class SendOutcome { AnsweredOne, AnsweredOther, Failed, WindowGone };

SendOutcome send(HWND hwnd, UINT code, WPARAM wp, LPARAM lp, UINT timeoutMs, DWORD_PTR& result) {
  result = 0;
  SetLastError(0);
  if (timeoutMs == 0) {
    result = static_cast<DWORD_PTR>(SendMessageA(hwnd, code, wp, lp));
    if (!IsWindow(hwnd)) return SendOutcome::WindowGone;
    return result == 1 ? SendOutcome::AnsweredOne : SendOutcome::AnsweredOther;
  }
  const LRESULT ok = SendMessageTimeoutA(hwnd, code, wp, lp, SMTO_NORMAL, timeoutMs, &result);
  if (ok == 0) return IsWindow(hwnd) ? SendOutcome::Failed : SendOutcome::WindowGone;
  return result == 1 ? SendOutcome::AnsweredOne : SendOutcome::AnsweredOther;
}

}  // namespace

int main() {
  const std::vector<std::string> args = orv::commandLineArguments();
  const orv::tools::FeedArgsResult parsed = orv::tools::parseFeedArgs(args);
  if (!parsed.ok) return usageError(parsed.error);
  const FeedOptions& opt = parsed.options;
  if (opt.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }

  // Everything is read and checked before the first message goes out; bad
  // rows are left out and told.
  FeedFile file;
  std::vector<std::int64_t> offsetsMs;
  std::int32_t digits = opt.digits.value_or(orv::tools::kDefaultDigits);
  std::string symbol = opt.symbol.value_or(orv::tools::kDefaultSymbol);
  std::uint64_t total = opt.syntheticCount;
  if (opt.source == FeedOptions::Source::File) {
    std::string content, error;
    if (!readWholeFile(opt.file, content, error)) {
      std::fprintf(stderr, "orvalda-feed: error: %s\n", error.c_str());
      return kExitInput;
    }
    file = orv::tools::parseFeedFile(content, opt.digits);
    if (!file.ok) {
      const std::size_t others = file.badRows.size() > 0 ? file.badRows.size() - 1 : 0;
      const std::string more = others > 0 ? " (and " + std::to_string(others) + " more bad row" +
                                                (others == 1 ? "" : "s") + ", no good one)"
                                          : std::string();
      if (file.errorLine > 0)
        std::fprintf(stderr, "orvalda-feed: error: %s:%zu: %s%s; nothing sent\n", opt.file.c_str(),
                     file.errorLine, file.error.c_str(), more.c_str());
      else
        std::fprintf(stderr, "orvalda-feed: error: %s: %s; nothing sent\n", opt.file.c_str(),
                     file.error.c_str());
      return kExitInput;
    }
    const std::vector<std::string> report = orv::tools::badRowsReport(opt.file, file);
    for (std::size_t i = 0; i < report.size(); ++i)
      std::fprintf(stderr, "orvalda-feed: %s%s\n", i == 0 ? "warning: " : "", report[i].c_str());
    digits = file.digits;
    if (!opt.symbol) {
      const auto fromPair = orv::tools::symbolFromPair(file.pair);
      if (!fromPair && opt.announce) {
        std::string shown = file.pair;
        for (char& c : shown) {
          if (static_cast<unsigned char>(c) < 0x20) c = '?';
        }
        std::fprintf(stderr,
                     "orvalda-feed: error: %s: cannot make a symbol of up to 6 characters from pair '%s'; "
                     "give --symbol\n",
                     opt.file.c_str(), shown.c_str());
        return kExitUsage;
      }
      if (fromPair) symbol = *fromPair;
    }
    offsetsMs = orv::tools::replayOffsetsMs(file.rows);
    total = file.rows.size();
  }

  const HWND hwnd = FindWindowA(orv::kMainWindowClass, orv::kAppTitle);
  if (!hwnd) {
    std::fprintf(stderr,
                 "orvalda-feed: error: Orvalda is not running (no window \"%s\" of class %s); start Orvalda, "
                 "wait for its main window, then run orvalda-feed again\n",
                 orv::kAppTitle, orv::kMainWindowClass);
    return kExitNoOrvalda;
  }

  gStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onConsoleCtrl, TRUE);
  timeBeginPeriod(1);  // Sleep granularity for paced sending

  const UINT timeoutMs = opt.timeoutMs;
  if (opt.announce) {
    std::string s = symbol;
    s.resize(6, '\0');  // unused letters travel as zero
    struct Step {
      UINT code;
      WPARAM wp;
      LPARAM lp;
      const char* name;
    };
    const Step steps[] = {
        {orv::WM_SYMBOL_HEAD, orv::packLetters(s[0], s[1]), static_cast<LPARAM>(orv::packLetters(s[2], s[3])),
         "head"},
        {orv::WM_SYMBOL_TAIL, orv::packLetters(s[4], s[5]), static_cast<LPARAM>(digits), "tail"},
    };
    for (const Step& step : steps) {
      DWORD_PTR result = 0;
      const SendOutcome outcome = send(hwnd, step.code, step.wp, step.lp, timeoutMs, result);
      if (outcome == SendOutcome::Failed || outcome == SendOutcome::WindowGone) {
        std::fprintf(
            stderr,
            "orvalda-feed: error: Orvalda did not answer the symbol %s within %u ms%s; nothing else sent\n",
            step.name, timeoutMs, outcome == SendOutcome::WindowGone ? " (its window went away)" : "");
        timeEndPeriod(1);
        return kExitNoOrvalda;
      }
      if (outcome == SendOutcome::AnsweredOther)
        std::fprintf(stderr, "orvalda-feed: warning: Orvalda answered the symbol %s with %llu, not 1\n",
                     step.name, static_cast<unsigned long long>(result));
    }
  }

  const char* sourceText = opt.source == FeedOptions::Source::File ? opt.file.c_str() : "synthetic walk";
  std::printf("orvalda-feed: sending %llu tick%s of %s (Digits %ld) from %s%s\n",
              static_cast<unsigned long long>(total), total == 1 ? "" : "s", symbol.c_str(),
              static_cast<long>(digits), sourceText, opt.announce ? "" : " without announcement");
  std::fflush(stdout);

  // Pace: seconds after the start at which tick i is due, or none.
  bool paced = false;
  double secondsPerMs = 0;    // file replay
  double secondsPerTick = 0;  // synthetic
  if (opt.source == FeedOptions::Source::File && !opt.speedMax) {
    paced = true;
    secondsPerMs = 0.001 / opt.speed.value_or(1.0);
  } else if (opt.source == FeedOptions::Source::Synthetic && !opt.rateMax) {
    paced = true;
    secondsPerTick = 1.0 / opt.rate.value_or(orv::tools::kDefaultRate);
  }

  orv::tools::SyntheticWalk walk(opt.seed.value_or(orv::tools::kDefaultSeed), digits);
  Progress progress(total, stdoutIsConsole());
  Totals t;
  bool interrupted = false, windowGone = false;
  const Clock clock;

  for (std::uint64_t i = 0; i < total; ++i) {
    if (paced) {
      const double due = opt.source == FeedOptions::Source::File
                             ? static_cast<double>(offsetsMs[i]) * secondsPerMs
                             : static_cast<double>(i) * secondsPerTick;
      if (!waitUntil(clock, due)) {
        interrupted = true;
        break;
      }
    } else if (stopRequested()) {
      interrupted = true;
      break;
    }
    const orv::Quote quote =
        opt.source == FeedOptions::Source::File ? orv::Quote{file.rows[i].bid, file.rows[i].ask} : walk.next();
    // As a 32-bit feeder's message arrives on a 64-bit system: wParam zero-extended,
    // lParam sign-extended, so a bid of 2^31 or more reaches Orvalda with its high half set.
    DWORD_PTR result = 0;
    const SendOutcome outcome = send(hwnd, orv::WM_TICK, static_cast<WPARAM>(orv::tickWParam(quote)),
                                     static_cast<LPARAM>(orv::tickLParam(quote)), timeoutMs, result);
    ++t.sent;
    switch (outcome) {
      case SendOutcome::AnsweredOne:
        ++t.answeredOne;
        break;
      case SendOutcome::AnsweredOther:
        ++t.answeredOther;
        break;
      case SendOutcome::Failed:
        ++t.failed;
        break;
      case SendOutcome::WindowGone:
        ++t.failed;
        windowGone = true;
        break;
    }
    if (windowGone) break;
    progress.update(clock, t.sent);
  }
  const double elapsed = clock.seconds();
  progress.finish();
  timeEndPeriod(1);

  if (windowGone)
    std::fprintf(stderr, "orvalda-feed: error: Orvalda's window went away at tick %llu of %llu; stopped\n",
                 static_cast<unsigned long long>(t.sent), static_cast<unsigned long long>(total));
  if (interrupted)
    std::fprintf(stderr, "orvalda-feed: interrupted after %llu of %llu ticks\n",
                 static_cast<unsigned long long>(t.sent), static_cast<unsigned long long>(total));

  std::printf(
      "orvalda-feed: sent %llu, answered 1: %llu, answered otherwise: %llu, failed: %llu, elapsed %.3f s",
      static_cast<unsigned long long>(t.sent), static_cast<unsigned long long>(t.answeredOne),
      static_cast<unsigned long long>(t.answeredOther), static_cast<unsigned long long>(t.failed), elapsed);
  if (elapsed > 0 && t.sent > 0) std::printf(" (%.0f ticks/s)", static_cast<double>(t.sent) / elapsed);
  std::printf("\n");
  std::fflush(stdout);

  const bool allGood = !interrupted && !windowGone && t.answeredOne == total;
  return allGood ? kExitOk : kExitTicksFailed;
}
