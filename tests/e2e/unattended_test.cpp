// Recording without a person, end to end: the real orvalda.exe started with
// options records into files named from a pattern, adds to them across
// restarts, finds a tester that starts later, and answers a bad command line
// with its usage; the save dialog opens where the last recording went.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using namespace orv::ui;
using e2e::Orvalda;
using e2e::Probe;
using e2e::ProbeEntry;
using e2e::TempFolder;
using e2e::sendTicks;
using e2e::withoutStamps;

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string today() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
  return text;
}

}  // namespace

E2E_TEST(records_from_the_start_finds_a_later_tester_and_adds_to_the_file_after_a_restart) {
  TempFolder folder;
  const std::string options = "--record \"" + folder.file("{symbol}-{date}.csv") + "\" --live";
  const std::string path = folder.file("EURUSD-" + today() + ".csv");
  std::string rows;
  std::vector<ProbeEntry> forwarded;
  Orvalda o = Orvalda::start(options);
  o.announce("EURUSD", 5);
  E2E_CHECK(o.buttonReads("STOP RECORDING"));
  // No tester yet: "Live Data" ticks itself at the first tick and looks on.
  std::vector<ProbeEntry> unseen;
  sendTicks(o, 108150, 3, rows, unseen);
  E2E_CHECK_EQ(e2e::checkState(o.control(kIdLiveBox)), BST_CHECKED);
  Probe probe;
  std::vector<ProbeEntry> log = probe.waitFor(3, 10000);
  e2e::checkEntries(log, 0, e2e::connectSequence(5));
  sendTicks(o, 108153, 20, rows, forwarded);
  log = probe.entries();
  e2e::checkEntries(log, 3, forwarded);
  E2E_CHECK_EQ(log.size(), 3 + forwarded.size());

  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(withoutStamps(data), rows);
  E2E_CHECK(!fileExists(folder.file("XXXYYY-" + today() + ".csv")));

  // Killed, with a row cut off at the file's end as a crash leaves it.
  o.process.kill();
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(h != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "EUR/USD,2026", 12, &written, nullptr);
  CloseHandle(h);  // taken off at the next start, into the log

  // Started again the same way: the tester is there, so it connects at the first tick.
  Orvalda again = Orvalda::start(options);
  again.announce("EURUSD", 5);
  std::vector<ProbeEntry> more = e2e::connectSequence(5);
  sendTicks(again, 108173, 20, rows, more);
  log = probe.entries();
  e2e::checkEntries(log, 3 + forwarded.size(), more);
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(withoutStamps(data), rows);
  std::string activity;
  E2E_CHECK(e2e::readShared(folder.file("orvalda.log"), activity) &&
            activity.find("\"EUR/USD,2026\"") != std::string::npos);
  again.closeWithYes();
}

E2E_TEST(a_bad_option_shows_the_usage_and_ends_with_exit_code_2) {
  e2e::Process app = e2e::Process::start(e2e::orvaldaPath(), "--record x.csv --sideways");
  HWND box = e2e::waitForDialog(app.pid(), 10000, orv::kAppTitle);
  E2E_REQUIRE(box != nullptr);
  const std::string text = e2e::messageBoxText(box);
  std::printf("    %s\n", text.substr(0, text.find('\n')).c_str());
  E2E_CHECK(text.find("--sideways") != std::string::npos);
  E2E_CHECK(text.find("Usage: orvalda.exe [options]") != std::string::npos);
  E2E_CHECK(text.find("--record PATTERN") != std::string::npos);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  DWORD code = 0;
  E2E_CHECK(app.waitExit(10000, code));
  E2E_CHECK_EQ(code, 2ul);
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
  HWND dialog = o.openSaveDialog();
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, "second.csv"));
  E2E_REQUIRE(o.buttonReads("STOP RECORDING"));
  E2E_CHECK(fileExists(folder.file("second.csv")));
  o.stopRecording();
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
