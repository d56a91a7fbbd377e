// Recording without a person, end to end: the real orvalda.exe started with
// options records into files named from a pattern, adds to them across
// restarts, finds a tester that starts later, and answers help and a bad
// command line on the console that started it, else in a box; the save
// dialog opens where the last recording went.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using orv::Control;
using e2e::Orvalda;
using e2e::Probe;
using e2e::ProbeEntry;
using e2e::TempFolder;
using e2e::sendTicks;
using e2e::withoutStamps;


// The files in folder whose names match a wildcard pattern, sorted.
std::vector<std::string> filesLike(const TempFolder& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(folder.file(pattern).c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do names.push_back(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The file Orvalda made for EURUSD from the pattern {symbol}-{date}.csv, read
// back from the folder (the day is Orvalda's, which may have turned since the
// test began); "" unless there is exactly one, named with a real date.
std::string eurusdFile(const TempFolder& folder) {
  const std::vector<std::string> names = filesLike(folder, "EURUSD-*.csv");
  unsigned year = 0, month = 0, day = 0;
  char rest[8] = {};
  if (!E2E_CHECK_EQ(names.size(), 1u) ||
      !E2E_CHECK(std::sscanf(names[0].c_str(), "EURUSD-%4u%2u%2u%7s", &year, &month, &day, rest) == 4 &&
                 names[0].size() == std::string("EURUSD-yyyymmdd.csv").size() && std::string(rest) == ".csv" &&
                 year >= 2000 && month >= 1 && month <= 12 && day >= 1 && day <= 31))
    return "";
  return folder.file(names[0]);
}

// Started to record into folder's {symbol}.csv; EURUSD announced.
Orvalda recordingEurusd(const TempFolder& folder) {
  Orvalda o = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"");
  o.announce("EURUSD", 5);
  return o;
}

// orvalda-check calls the recording clean.
void checkClean(const std::string& path) {
  e2e::Process check = e2e::Process::start(ORVALDA_CHECK_EXE, "--text \"" + path + "\"");
  DWORD code = 99;
  E2E_REQUIRE(check.waitExit(e2e::kPatience, code));
  if (!E2E_CHECK_EQ(code, 0ul)) std::printf("    orvalda-check does not call %s clean\n", path.c_str());
}

}  // namespace

E2E_TEST(records_from_the_start_finds_a_later_tester_and_adds_to_the_file_after_a_restart) {
  TempFolder folder;
  const std::string options = "--record \"" + folder.file("{symbol}-{date}.csv") + "\" --live";
  std::string rows;
  std::vector<ProbeEntry> forwarded;
  Orvalda o = Orvalda::start(options);
  o.announce("EURUSD", 5);
  E2E_CHECK(o.buttonReads("STOP RECORDING"));
  // No tester yet: "Live Data" ticks itself at the first tick and looks on.
  std::vector<ProbeEntry> unseen;
  sendTicks(o, 108150, 3, rows, unseen);
  E2E_CHECK_EQ(e2e::checkState(o.control(Control::LiveBox)), BST_CHECKED);
  Probe probe;
  std::vector<ProbeEntry> log = probe.waitFor(3);
  E2E_REQUIRE(o.caughtUp());  // the connect has ended
  e2e::checkEntries(log, 0, e2e::connectSequence(5));
  sendTicks(o, 108153, 20, rows, forwarded);
  log = probe.entries();
  e2e::checkEntries(log, 3, forwarded);
  E2E_CHECK_EQ(log.size(), 3 + forwarded.size());

  const std::string path = eurusdFile(folder);
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(withoutStamps(data), rows);
  checkClean(path);
  E2E_CHECK(filesLike(folder, "XXXYYY-*.csv").empty());

  // Killed, with a row cut off at the file's end as a crash leaves it.
  o.process.kill();
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(h != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "EUR/USD,2026", 12, &written, nullptr);
  CloseHandle(h);  // taken off at the next start that adds to this file, into the log
  const std::string firstRun = rows;

  // Started again the same way: the tester is there, so it connects at the first tick.
  Orvalda again = Orvalda::start(options);
  again.announce("EURUSD", 5);
  std::vector<ProbeEntry> more = e2e::connectSequence(5);
  sendTicks(again, 108173, 20, rows, more);
  log = probe.entries();
  e2e::checkEntries(log, 3 + forwarded.size(), more);
  const std::vector<std::string> names = filesLike(folder, "EURUSD-*.csv");
  if (names.size() == 1) {
    E2E_REQUIRE(e2e::readShared(path, data));
    E2E_CHECK_EQ(withoutStamps(data), rows);
    std::string activity;
    E2E_CHECK(e2e::readShared(folder.file("orvalda.log"), activity) &&
              activity.find("\"EUR/USD,2026\"") != std::string::npos);
    checkClean(path);  // the cut row taken off
  } else {
    // Orvalda's day turned between the runs: the second began the new day's
    // file, and yesterday's keeps its cut row.
    std::printf("    the day turned between the two runs\n");
    E2E_REQUIRE(names.size() == 2 && folder.file(names[0]) == path);
    E2E_REQUIRE(e2e::readShared(path, data));
    E2E_CHECK_EQ(withoutStamps(data), firstRun + "EUR/USD,2026");
    E2E_REQUIRE(e2e::readShared(folder.file(names[1]), data));
    E2E_CHECK_EQ(withoutStamps(data), rows.substr(firstRun.size()));
  }
  again.closeWithYes();
}

// Started with no console and no standard handles, as from a shortcut or Explorer.
// Nobody need be there: a log-off is not asked about; one another program
// cancels changes nothing; the session's end ends the file, logged, before
// the send returns (the system may end the process then).
E2E_TEST(a_log_off_is_not_asked_about_and_its_end_logs_the_files_end) {
  TempFolder folder;
  Orvalda o = recordingEurusd(folder);
  std::string rows;
  std::vector<ProbeEntry> unseen;
  sendTicks(o, 108150, 2, rows, unseen);
  E2E_CHECK_EQ(o.send(o.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  E2E_CHECK_EQ(o.send(o.main, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF), 0);
  sendTicks(o, 108152, 2, rows, unseen);
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(o.send(o.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  E2E_CHECK_EQ(o.send(o.main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF), 0);
  std::string log;
  E2E_CHECK(e2e::readShared(folder.file("orvalda.log"), log));
  E2E_CHECK(log.find("Ended " + folder.file("EURUSD.csv") + ": 4 rows") != std::string::npos);
  std::string data;
  E2E_CHECK(e2e::readShared(folder.file("EURUSD.csv"), data));
  E2E_CHECK_EQ(withoutStamps(data), rows);
  DWORD code = 12345;
  E2E_CHECK(o.process.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
}

// Any program may post messages of the application's range to Orvalda's
// windows, with any parameters: they are not taken for Orvalda's own.
E2E_TEST(stray_messages_of_the_application_range_leave_the_recording_going) {
  TempFolder folder;
  Orvalda o = recordingEurusd(folder);
  std::string rows;
  std::vector<ProbeEntry> unseen;
  std::mt19937_64 random(20);
  const HWND icon = o.iconWindow();
  E2E_REQUIRE(icon != nullptr);
  for (std::uint32_t round = 0; round < 8; ++round) {
    sendTicks(o, 108150 + round, 1, rows, unseen);
    for (UINT msg = WM_APP; msg < WM_APP + 64; ++msg)
      for (HWND window : {o.main, o.app, icon})
        E2E_CHECK(PostMessageA(window, msg, static_cast<WPARAM>(random()), static_cast<LPARAM>(random())));
  }
  E2E_CHECK(o.caughtUp());
  sendTicks(o, 108158, 1, rows, unseen);
  E2E_CHECK(o.process.running());
  E2E_CHECK_EQ(o.button(), std::string("STOP RECORDING"));
  std::string data;
  E2E_CHECK(e2e::readShared(folder.file("EURUSD.csv"), data));
  E2E_CHECK_EQ(withoutStamps(data), rows);
  o.closeWithYes();
}

E2E_TEST(a_bad_option_shows_the_usage_and_ends_with_exit_code_2) {
  e2e::Process app = e2e::Process::start(e2e::orvaldaPath(), "--record x.csv --sideways", {DETACHED_PROCESS});
  HWND box = e2e::waitForDialog(app.pid(), e2e::kPatience, orv::kAppTitle);
  E2E_REQUIRE(box != nullptr);
  const std::string text = e2e::messageBoxText(box);
  std::printf("    %s\n", text.substr(0, text.find('\n')).c_str());
  E2E_CHECK(text.find("--sideways") != std::string::npos);
  E2E_CHECK(text.find("Usage: orvalda.exe [options]") != std::string::npos);
  E2E_CHECK(text.find("--record PATTERN") != std::string::npos);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  DWORD code = 0;
  E2E_CHECK(app.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 2ul);
}

// Help and a bad command line, answered where the test reads them: into a
// file as the standard output and error, and on a console of the test's own
// when the standard handles are none (as cmd starts a program with windows).
// Orvalda ends by itself with the exit code, no window of it ever shown.
E2E_TEST(help_and_a_bad_option_answer_on_the_console_that_started_orvalda) {
  struct Case {
    const char* args;
    DWORD exitCode;
    const char* firstLine;
  };
  const Case cases[] = {{"--help", 0, "Usage: orvalda.exe [options]\r\n"},
                        {"--record x.csv --sideways", 2, "unknown option '--sideways'.\r\n\r\nUsage:"}};
  TempFolder folder;
  const std::string outPath = folder.file("out.txt");
  // What the test was given, back after each console of its own.
  const HANDLE given[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
  for (const Case& c : cases) {
    for (const bool toConsole : {false, true}) {
      std::printf("    %s, %s\n", c.args, toConsole ? "console" : "file");
      HANDLE out = nullptr;
      if (toConsole) {
        FreeConsole();  // whatever the test was given, a console it can read
        E2E_REQUIRE(AllocConsole());
      } else {
        SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
        out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
        E2E_REQUIRE(out != INVALID_HANDLE_VALUE);
      }
      e2e::Process app = e2e::Process::start(e2e::orvaldaPath(), c.args, {0, true, out});
      if (out != nullptr) CloseHandle(out);
      DWORD code = 12345;
      bool windowShown = false;
      E2E_CHECK(e2e::waitUntil(
          [&] {
            windowShown = windowShown || !e2e::topWindows(app.pid(), nullptr, nullptr, true).empty();
            return app.waitExit(0, code);
          },
          20000));
      E2E_CHECK(!windowShown);
      E2E_CHECK_EQ(code, c.exitCode);

      std::string text;
      if (toConsole) {
        // The screen buffer's lines, each padded to its width.
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        GetConsoleScreenBufferInfo(screen, &info);
        for (SHORT row = 0; row < info.dwSize.Y && row <= info.dwCursorPosition.Y; ++row) {
          std::string line(static_cast<std::size_t>(info.dwSize.X), ' ');
          DWORD read = 0;
          ReadConsoleOutputCharacterA(screen, line.data(), info.dwSize.X, COORD{0, row}, &read);
          text += line.substr(0, line.find_last_not_of(' ') + 1) + "\r\n";
        }
        CloseHandle(screen);
        FreeConsole();
        SetStdHandle(STD_INPUT_HANDLE, given[0]);
        SetStdHandle(STD_OUTPUT_HANDLE, given[1]);
        SetStdHandle(STD_ERROR_HANDLE, given[2]);
      } else {
        E2E_CHECK(e2e::readShared(outPath, text));
      }
      E2E_CHECK(text.find(c.firstLine) != std::string::npos);
      E2E_CHECK(text.find("--record PATTERN\r\n") != std::string::npos);
      if (!E2E_CHECK(text.find("show this text\r\n") != std::string::npos)) std::printf("    got: %s\n", text.c_str());
    }
  }
}

E2E_TEST(the_save_dialog_opens_where_the_last_recording_went) {
  TempFolder folder;
  {
    Orvalda o = Orvalda::start();
    o.startRecording(folder.file("first.csv"));
    o.stopRecording();
    o.closeWithYes();
  }
  // The system's file dialogs keep a folder per program themselves: forgotten
  // here, so that only Orvalda's own memory of the folder is left.
  for (const char* key : {"LastVisitedMRU", "LastVisitedPidlMRU"})
    RegDeleteTreeA(HKEY_CURRENT_USER,
                   (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\") + key).c_str());
  Orvalda o = Orvalda::start();
  // A bare name lands in the folder the dialog opened in.
  o.startRecording("second.csv");
  E2E_CHECK(e2e::fileExists(folder.file("second.csv")));
  o.stopRecording();
}

E2E_TEST(a_recording_with_bad_rows_replays_its_good_ones) {
  TempFolder folder;
  // As a crash and a restart leave a recording: a row cut short, then ended.
  const std::string mended = folder.file("mended.csv"), hopeless = folder.file("hopeless.csv");
  for (const auto& [path, text] : {std::pair{mended, "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
                                                     "EUR/USD,2026\r\n"
                                                     "EUR/USD,20261206 14:03:27.300,1.08151,1.08167\r\n"},
                                   std::pair{hopeless, "EUR/USD,2026\r\nEUR/USD,20261206 14:0\r\n"}}) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    E2E_REQUIRE(f != nullptr);
    std::fputs(text, f);
    std::fclose(f);
  }
  Orvalda o = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"");
  // The good rows are sent and answered (exit code 0); a file without one is
  // an error (3) and sends nothing.
  for (const auto& [path, exitCode] : {std::pair{mended, 0ul}, std::pair{hopeless, 3ul}}) {
    e2e::Process feeder = e2e::Process::start(e2e::feedPath(), "--file \"" + path + "\" --speed max");
    DWORD code = 12345;
    E2E_REQUIRE(feeder.waitExit(e2e::kPatience, code));
    E2E_CHECK_EQ(code, exitCode);
  }
  std::string data;
  E2E_REQUIRE(e2e::readShared(folder.file("EURUSD.csv"), data));
  E2E_CHECK_EQ(withoutStamps(data), std::string("EUR/USD,T,1.08150,1.08166\r\nEUR/USD,T,1.08151,1.08167\r\n"));
  checkClean(folder.file("EURUSD.csv"));
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }

E2E_TEST(with_live_a_restarted_tester_is_found_again_and_gets_every_later_tick) {
  Orvalda o = Orvalda::start("--live");
  o.announce("EURUSD", 5);
  std::string rows;
  std::vector<ProbeEntry> unseen;
  {
    Probe first;
    sendTicks(o, 108150, 2, rows, unseen);
    E2E_CHECK_EQ(first.waitFor(5, 10000).size(), 5u);  // the connect sequence and both ticks
    first.process().kill();
  }
  E2E_REQUIRE(e2e::waitUntil([] { return FindWindowA(nullptr, orv::kTesterTitle) == nullptr; }, 10000));
  sendTicks(o, 108152, 3, rows, unseen);  // the first finds the window gone
  HWND box = o.errorBox(10000);
  E2E_REQUIRE(box != nullptr);
  const std::string told = e2e::messageBoxText(box);
  std::printf("    told: %s\n", told.c_str());
  E2E_CHECK(told.find("Zentavor closed its window: 1 tick was not passed on to it") != std::string::npos);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));

  Probe second;
  std::vector<ProbeEntry> log = second.waitFor(3, 15000);
  e2e::checkEntries(log, 0, e2e::connectSequence(5));
  std::vector<ProbeEntry> forwarded;
  sendTicks(o, 108160, 20, rows, forwarded);
  e2e::checkEntries(second.waitFor(3 + forwarded.size(), 10000), 3, forwarded);
  o.closeWithYes();
}
