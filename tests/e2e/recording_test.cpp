// Recording, end to end: the real orvalda.exe records the ticks this test
// sends as the feeder into files chosen through the real save dialog, and the
// test reads the files back byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using orv::Control;
using e2e::Orvalda;
using e2e::TempFolder;

// ---------------------------------------------------------------------------
// Files


void writeWhole(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(h != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
  E2E_REQUIRE(written == data.size());
}

// CR and LF made visible, for failure output.
std::string visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n\n      ";
    else
      out += c;
  }
  return out;
}

// ---------------------------------------------------------------------------
// A small disk

// A 64 KiB tmpfs mounted for the test's life (needs root).
class SmallDisk {
 public:
  SmallDisk()
      : unixPath_("/tmp/orvalda-e2e-full-" + std::to_string(GetCurrentProcessId())),
        mounted_(e2e::runUnixShell(
            "[ $(id -u) = 0 ] && mkdir -p " + unixPath_ + " && mount -t tmpfs -o size=64k tmpfs " + unixPath_)) {
  }
  ~SmallDisk() { e2e::runUnixShell("umount -l " + unixPath_ + "; rmdir " + unixPath_); }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  // Whether a test that needs this disk cannot run: it is skipped where
  // mounting is not allowed, and fails under CI (CI=true, as root), where
  // a skip would hide what the test is for.
  bool missing() const {
    if (mounted_) return false;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true" && e2e::runUnixShell("[ \"$(id -u)\" = 0 ]"))
      e2e::reportFailure(__FILE__, __LINE__, "a 64 KiB tmpfs could not be mounted under CI as root");
    else
      std::printf("    SKIPPED: cannot mount a small tmpfs (needs root and mount)\n");
    return true;
  }
  std::string file(const std::string& name) const { return e2e::hostPath(unixPath_ + "/" + name); }

 private:
  std::string unixPath_;
  bool mounted_;
};

// ---------------------------------------------------------------------------
// Rows

std::uint64_t stamp(const SYSTEMTIME& t) {
  FILETIME f;
  SystemTimeToFileTime(&t, &f);
  return (static_cast<std::uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime) / 10000;  // ms
}

SYSTEMTIME now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return t;
}

// One tick as it must appear in the file: its pair and price texts, and the
// local-time window in which the program received it.
struct ExpectedRow {
  std::string pair, bid, ask;
  SYSTEMTIME before, after;
};

// Reads "YYYYMMDD HH:MM:SS.mmm"; false when the text has another shape.
bool parseStamp(const std::string& s, SYSTEMTIME& t) {
  if (s.size() != 21 || s[8] != ' ' || s[11] != ':' || s[14] != ':' || s[17] != '.') return false;
  for (std::size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 12, 13, 15, 16, 18, 19, 20})
    if (s[i] < '0' || s[i] > '9') return false;
  auto num = [&](std::size_t at, std::size_t n) { return static_cast<WORD>(std::stoi(s.substr(at, n))); };
  t = {};
  t.wYear = num(0, 4);
  t.wMonth = num(4, 2);
  t.wDay = num(6, 2);
  t.wHour = num(9, 2);
  t.wMinute = num(12, 2);
  t.wSecond = num(15, 2);
  t.wMilliseconds = num(18, 3);
  FILETIME f;
  return SystemTimeToFileTime(&t, &f) != FALSE;
}

// Checks a file against the rows expected in it, byte for byte: every row
// "PAIR,YYYYMMDD HH:MM:SS.mmm,BID,ASK" and CR LF, nothing before or after.
// The time stamps are the program's own reading, so each must be a valid
// local time within the moments the test sent that tick. orvalda-check must
// call the file at path clean too (exit code 0), or find the problems a test
// records on purpose (1).
void checkRecording(const std::string& path, const std::string& data, const std::vector<ExpectedRow>& rows,
                    DWORD checkExitCode = 0) {
  std::string expected;
  std::size_t at = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ExpectedRow& row = rows[i];
    const std::string head = row.pair + ",";
    std::string timeText;
    if (data.compare(at, head.size(), head) == 0 && at + head.size() + 21 <= data.size())
      timeText = data.substr(at + head.size(), 21);
    SYSTEMTIME t;
    if (!E2E_CHECK(parseStamp(timeText, t))) {
      std::printf("    row %zu has no time stamp where expected: \"%s\"\n", i, visible(data.substr(at, 80)).c_str());
      break;
    }
    if (!E2E_CHECK(stamp(row.before) <= stamp(t) && stamp(t) <= stamp(row.after)))
      std::printf("    row %zu: time %s not within the send\n", i, timeText.c_str());
    const std::string line = head + timeText + "," + row.bid + "," + row.ask + "\r\n";
    expected += line;
    at += line.size();
  }
  if (!E2E_CHECK(data == expected))
    std::printf("    file:     %s\n    expected: %s\n", visible(data).c_str(), visible(expected).c_str());
  e2e::Process check = e2e::Process::start(ORVALDA_CHECK_EXE, "--text \"" + path + "\"");
  DWORD checkCode = 99;
  E2E_REQUIRE(check.waitExit(60000, checkCode));
  if (!E2E_CHECK_EQ(checkCode, checkExitCode)) std::printf("    orvalda-check's verdict on %s is not the one expected\n", path.c_str());
}

// Sends a tick and notes what its row must hold.
void tickInto(std::vector<ExpectedRow>& rows, const Orvalda& o, const std::string& pair, std::uint32_t ask,
              std::uint32_t bid, const std::string& bidText, const std::string& askText) {
  ExpectedRow row{pair, bidText, askText, now(), {}};
  o.tick(ask, bid);
  row.after = now();
  rows.push_back(row);
}

// A price of five decimals, e.g. 108150 points as "1.08150".
std::string fiveDecimals(std::uint32_t points) {
  char text[24];
  std::snprintf(text, sizeof(text), "%u.%05u", points / 100000, points % 100000);
  return text;
}

// Announces EURUSD, records into path and sends n ticks, each a point above the last.
std::vector<ExpectedRow> recordRisingTicks(const Orvalda& o, const std::string& path, std::uint32_t n) {
  o.announce("EURUSD", 5);
  o.startRecording(path);
  std::vector<ExpectedRow> rows;
  for (std::uint32_t i = 0; i < n; ++i)
    tickInto(rows, o, "EUR/USD", 108166 + i, 108150 + i, fiveDecimals(108150 + i), fiveDecimals(108166 + i));
  return rows;
}

bool endsWithRow(const std::string& data) {
  return data.empty() || (data.size() >= 2 && data.substr(data.size() - 2) == "\r\n");
}

}  // namespace

E2E_TEST(records_every_tick_byte_for_byte) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);
  std::vector<ExpectedRow> rows;

  // Ticks before the recording, and while the save dialog is open, are shown
  // but not recorded.
  o.tick(108160, 108150);
  HWND dialog = o.openSaveDialog();
  o.tick(108170, 108160);
  E2E_CHECK(o.text(Control::TickLine).find("EURUSD bid 1.08160 ask 1.08170") != std::string::npos);
  // A name without extension gets ".csv".
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, folder.file("first")));
  E2E_REQUIRE(o.buttonReads("STOP RECORDING"));
  const std::string path = folder.file("first.csv");
  E2E_CHECK(e2e::fileExists(path));
  E2E_CHECK(!e2e::fileExists(folder.file("first")));

  tickInto(rows, o, "EUR/USD", 108166, 108150, "1.08150", "1.08166");
  tickInto(rows, o, "EUR/USD", 4294967295u, 0, "0.00000", "42949.67295");
  tickInto(rows, o, "EUR/USD", 0x80000000u, 0x7FFFFFFFu, "21474.83647", "21474.83648");
  // A 32-bit feeder's lParam arrives sign-extended: only its low 32 bits count.
  {
    ExpectedRow row{"EUR/USD", "21474.83648", "0.00001", now(), {}};
    LRESULT result = -1;
    E2E_CHECK(e2e::send(o.main, orv::WM_TICK, 1, static_cast<LPARAM>(static_cast<std::int32_t>(0x80000000u)), result));
    E2E_CHECK_EQ(result, 1);
    row.after = now();
    rows.push_back(row);
  }
  // A new announcement while recording: its pair and Digits from the next row on.
  o.announce("GBPJPY", 3);
  tickInto(rows, o, "GBP/JPY", 187254, 187241, "187.241", "187.254");
  o.announce("USDXXX", 0);
  tickInto(rows, o, "USD/XXX", 12, 7, "7", "12");
  // A pair with a comma or a quote is quoted, so the row keeps four fields.
  o.announce("A,B\"CD", 2);
  tickInto(rows, o, "\"A,B/\"\"CD\"", 5, 3, "0.03", "0.05");
  E2E_CHECK(o.text(Control::TickLine).find("A,B\"CD bid 0.03 ask 0.05") != std::string::npos);

  o.stopRecording();
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  checkRecording(path, data, rows, 1);  // 21474.83648 above 0.00001, recorded on purpose: crossed

  // Ticks after the stop go nowhere (a row is written before its tick is answered).
  o.tick(108180, 108170);
  std::string later;
  E2E_REQUIRE(e2e::readShared(path, later));
  E2E_CHECK_EQ(later.size(), data.size());
}

E2E_TEST(stop_before_any_tick_leaves_an_empty_file) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  const std::string path = folder.file("empty.csv");
  o.startRecording(path);
  o.stopRecording();
  std::string data = "not read";
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(data.size(), 0u);
}

E2E_TEST(a_close_request_to_the_hidden_window_asks_and_keeps_the_dialogs_working) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  // What "taskkill" without /F sends to every top-level window of a process.
  const HWND app = e2e::findTopWindow(o.process.pid(), orv::kAppWindowClass, orv::kAppTitle);
  E2E_REQUIRE(app != nullptr);
  E2E_CHECK(PostMessageA(app, WM_CLOSE, 0, 0));
  HWND question = o.question();
  E2E_REQUIRE(question != nullptr);
  E2E_CHECK(e2e::answerMessageBox(question, IDNO));
  E2E_CHECK(o.gone(question));
  E2E_CHECK(IsWindow(app));
  // The save dialog it owns still opens.
  const std::string path = folder.file("after-close.csv");
  o.startRecording(path);
  o.tick(108160, 108150);
  o.stopRecording();
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK(data.find(",10.8150,10.8160\r\n") != std::string::npos);
}

E2E_TEST(yes_to_are_you_sure_keeps_every_row) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  const std::string path = folder.file("closed.csv");
  std::vector<ExpectedRow> rows = recordRisingTicks(o, path, 5);

  E2E_CHECK(e2e::postClick(o.control(Control::CloseButton)));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  // The recording goes on while the question is open.
  tickInto(rows, o, "EUR/USD", 108170, 108160, "1.08160", "1.08170");
  E2E_CHECK(e2e::answerMessageBox(box, IDYES));
  DWORD code = 12345;
  E2E_REQUIRE(o.process.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);

  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  checkRecording(path, data, rows);
}

E2E_TEST(a_killed_recorder_keeps_every_answered_tick) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  const std::string path = folder.file("killed.csv");
  const std::vector<ExpectedRow> rows = recordRisingTicks(o, path, 3000);
  // Ended from outside right after the last answer, as End task or a crash would.
  E2E_REQUIRE(TerminateProcess(o.process.handle(), 1));
  DWORD code = 0;
  E2E_REQUIRE(o.process.waitExit(e2e::kPatience, code));

  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  const auto rowsFound = std::count(data.begin(), data.end(), '\n');
  std::printf("    %zu of %zu rows in the file after the kill\n", static_cast<std::size_t>(rowsFound), rows.size());
  if (E2E_CHECK_EQ(static_cast<std::size_t>(rowsFound), rows.size())) checkRecording(path, data, rows);
}

E2E_TEST(save_dialog_asks_before_replacing_a_file) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);
  const std::string path = folder.file("exists.csv");
  writeWhole(path, "keep me\r\n");

  // No: back to the dialog; then Cancel: nothing has changed.
  HWND dialog = o.openSaveDialog();
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, path));
  HWND prompt = o.otherDialog(dialog);
  E2E_REQUIRE(prompt != nullptr);
  const std::string question = e2e::messageBoxText(prompt);
  E2E_CHECK(question.find("replace") != std::string::npos);
  E2E_CHECK(e2e::answerMessageBox(prompt, IDNO));
  E2E_CHECK(o.gone(prompt));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK(IsWindow(dialog) && IsWindowVisible(dialog));
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
  E2E_CHECK(e2e::cancelDialog(dialog));
  E2E_CHECK(o.gone(dialog));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
  o.tick(108166, 108150);
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(data, std::string("keep me\r\n"));

  // Yes: the file is emptied and recorded into.
  dialog = o.openSaveDialog();
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, path));
  prompt = o.otherDialog(dialog);
  E2E_REQUIRE(prompt != nullptr);
  E2E_CHECK(e2e::answerMessageBox(prompt, IDYES));
  E2E_REQUIRE(o.buttonReads("STOP RECORDING"));
  E2E_REQUIRE(e2e::readShared(path, data));
  E2E_CHECK_EQ(data.size(), 0u);
  std::vector<ExpectedRow> rows;
  tickInto(rows, o, "EUR/USD", 108167, 108151, "1.08151", "1.08167");
  o.stopRecording();
  E2E_REQUIRE(e2e::readShared(path, data));
  checkRecording(path, data, rows);
}

namespace {

// Chooses path in the save dialog and expects the error display instead of a
// recording: the path and a reason, then the start look.
void expectOpenError(const Orvalda& o, HWND dialog, const std::string& path) {
  HWND box = o.errorBox();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(box != dialog);
  const std::string text = e2e::messageBoxText(box);
  std::printf("    error shown: %s\n", text.c_str());
  const std::size_t at = text.find(path);
  E2E_CHECK(at != std::string::npos);
  // "<path>: <reason>."
  if (at != std::string::npos) {
    const std::string rest = text.substr(at + path.size());
    E2E_CHECK(rest.size() > 4 && rest.compare(0, 2, ": ") == 0);
  }
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  E2E_CHECK(o.gone(box));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
  E2E_CHECK(IsWindowEnabled(o.main));
}

}  // namespace

E2E_TEST(a_file_that_cannot_be_opened_shows_the_error_and_the_start_look) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);

  // A folder that does not exist.
  const std::string missing = folder.file("no-such-folder\\ticks.csv");
  HWND dialog = o.openSaveDialog();
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, missing));
  expectOpenError(o, dialog, missing);
  E2E_CHECK(!e2e::fileExists(missing));

  // A file another program holds open without sharing.
  const std::string locked = folder.file("locked.csv");
  HANDLE holder = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(holder != INVALID_HANDLE_VALUE);
  dialog = o.openSaveDialog();
  E2E_CHECK(e2e::answerSaveDialog(dialog, locked));
  HWND prompt = o.otherDialog(dialog);  // the file exists: replace it?
  if (E2E_CHECK(prompt != nullptr)) E2E_CHECK(e2e::answerMessageBox(prompt, IDYES));
  expectOpenError(o, dialog, locked);
  CloseHandle(holder);

  // The program goes on: ticks are taken, and nothing is recorded.
  o.tick(108166, 108150);
  std::string data = "not read";
  E2E_REQUIRE(e2e::readShared(locked, data));
  E2E_CHECK_EQ(data.size(), 0u);
}

E2E_TEST(a_full_disk_stops_the_recording_with_one_error) {
  SmallDisk disk;
  if (disk.missing()) return;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);
  const std::string path = disk.file("full.csv");
  o.startRecording(path);

  // The real feeder, as fast as it can, waiting on each send as long as it
  // takes, as most feeders do: 64 KiB hold some 1,400 rows.
  e2e::Process feeder = e2e::Process::start(e2e::feedPath(), "--synthetic 4000 --rate max --no-announce --no-timeout");
  HWND box = o.errorBox();
  E2E_REQUIRE(box != nullptr);
  const std::string text = e2e::messageBoxText(box);
  std::printf("    error shown: %s\n", text.c_str());
  E2E_CHECK(text.find(path) != std::string::npos);
  // Back to the start look before the error is shown.
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));

  // The box waits for a person; the feeder does not: its ticks are answered
  // and shown while the box is up, and it finishes without a second error.
  DWORD code = 12345;
  E2E_REQUIRE(feeder.waitExit(2 * e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);  // every tick answered 1
  E2E_CHECK(IsWindowVisible(box));
  const ULONGLONG sent = GetTickCount64();
  o.tick(108200, 108190);
  std::printf("    a tick sent while the box is up was answered in %llu ms\n", GetTickCount64() - sent);
  E2E_CHECK(o.text(Control::TickLine).find("bid 1.08190 ask 1.08200") != std::string::npos);
  E2E_CHECK(IsWindowVisible(box));
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  E2E_CHECK(o.gone(box));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  std::printf("    %zu bytes reached the disk, ending \"%s\"\n", data.size(),
              visible(data.substr(data.size() - std::min<std::size_t>(data.size(), 60))).c_str());
  E2E_CHECK(data.size() > 60000 && data.size() <= 65536);
  // The row that did not fit was cut back: the file ends with a whole row.
  E2E_CHECK(endsWithRow(data));
  // The system's reason: "Disk full" (Wine) or "There is not enough space on the disk".
  E2E_CHECK(text.find("full") != std::string::npos || text.find("space") != std::string::npos);
}

E2E_TEST(a_full_disk_never_takes_what_an_added_to_file_held) {
  SmallDisk disk;
  if (disk.missing()) return;
  // Yesterday's run left 40,000 bytes and a row cut off by a crash.
  const std::string path = disk.file("EURUSD.csv");
  std::string before;
  while (before.size() < 40000) before += "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n";
  before += "EUR/USD,20261206 14:0";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    E2E_REQUIRE(f != nullptr);
    std::fwrite(before.data(), 1, before.size(), f);
    std::fclose(f);
  }
  Orvalda o = Orvalda::start("--record \"" + disk.file("{symbol}.csv") + "\"");
  o.announce("EURUSD", 5);
  E2E_REQUIRE(o.buttonReads("STOP RECORDING"));
  e2e::Process feeder = e2e::Process::start(e2e::feedPath(), "--synthetic 2000 --rate max --no-announce --no-timeout");
  HWND box = o.errorBox();
  E2E_REQUIRE(box != nullptr);
  std::printf("    error shown: %s\n", e2e::messageBoxText(box).c_str());
  DWORD code = 12345;
  E2E_REQUIRE(feeder.waitExit(2 * e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  std::printf("    %zu bytes before, %zu after\n", before.size(), data.size());
  // The cut row was taken off into the log; every whole row stays.
  const std::string whole = before.substr(0, before.rfind('\n') + 1);
  E2E_CHECK(data.size() > whole.size());
  E2E_CHECK(data.compare(0, whole.size(), whole) == 0);
  E2E_CHECK(endsWithRow(data));
  std::string log;
  E2E_CHECK(e2e::readShared(disk.file("orvalda.log"), log) && log.find("\"EUR/USD,20261206 14:0\"") != std::string::npos);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
}

E2E_TEST(a_reader_sees_each_row_whole_as_soon_as_its_tick_is_answered) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);
  const std::string path = folder.file("tailed.csv");
  o.startRecording(path);

  // Read after every answer: the file holds exactly the rows answered so
  // far, each one whole, with no wait for a timer or for further ticks.
  const std::size_t rowSize = std::string("EUR/USD,20260101 00:00:00.000,1.08150,1.08166\r\n").size();
  std::string data;
  std::size_t torn = 0, behind = 0;
  for (std::uint32_t i = 1; i <= 60; ++i) {
    o.tick(108166 + i, 108150 + i);
    E2E_REQUIRE(e2e::readShared(path, data));
    if (!endsWithRow(data)) ++torn;
    if (data.size() != i * rowSize) ++behind;
  }
  E2E_CHECK_EQ(torn, 0u);
  E2E_CHECK_EQ(behind, 0u);
  o.stopRecording();
  std::string final;
  E2E_REQUIRE(e2e::readShared(path, final));
  E2E_CHECK(final == data);
}

E2E_TEST(escape_stops_a_recording_and_does_nothing_when_idle) {
  TempFolder folder;
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);

  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_ESCAPE}));
  E2E_REQUIRE(o.keysTaken());
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));

  const std::string path = folder.file("escaped.csv");
  o.startRecording(path);
  std::vector<ExpectedRow> rows;
  tickInto(rows, o, "EUR/USD", 108166, 108150, "1.08150", "1.08166");
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_ESCAPE}));
  E2E_CHECK(o.buttonReads("START RECORDING"));
  // Stopped means written out and closed: the row is there at once.
  std::string data;
  E2E_REQUIRE(e2e::readShared(path, data));
  checkRecording(path, data, rows);

  // Escape once more: still idle, no dialog.
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_ESCAPE}));
  E2E_REQUIRE(o.keysTaken());
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(o.button(), std::string("START RECORDING"));
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
