// orvalda-export.exe's dialog, driven as a user would: a recording dropped on
// the program opens the dialog with it filled in; a format, its timeframe and
// the zones are chosen, Export pressed; the progress ends in the summary, the
// folder button comes alive, and the file written is the one worked out by hand.
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/e2e.h"
#include "export/export_form.h"
#include "export/windows_dialog.h"

namespace {

using namespace orv::exporter;

// London's clock over the hour it repeats, read in order, bars of 5 minutes in UTC.
const char kRecording[] =
    "EUR/USD,20261025 00:59:59.000,1.1,1.2\r\n"
    "EUR/USD,20261025 01:50:00.000,1.1,1.2\r\n"
    "EUR/USD,20261025 01:10:00.000,1.1,1.2\r\n"
    "EUR/USD,20261025 02:00:00.000,1.1,1.2\r\n";
const char kBars[] =
    "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,spread_max\r\n"
    "2026-10-24 23:55:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"
    "2026-10-25 00:50:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"
    "2026-10-25 01:10:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"
    "2026-10-25 02:00:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n";

bool setText(HWND control, const std::string& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e2e::wide(text).c_str()), SMTO_ABORTIFHUNG,
                             e2e::kPatience, &result) != 0;
}

// Picks an item of a drop-down list as a click does: the choice, then the notice to the dialog.
bool choose(HWND dialog, int id, const std::vector<std::string>& items, const std::string& item) {
  HWND list = e2e::findChild(dialog, id);
  const auto index = static_cast<WPARAM>(std::find(items.begin(), items.end(), item) - items.begin());
  LRESULT chosen = 0;
  return e2e::send(list, CB_SETCURSEL, index, 0, chosen) && chosen == static_cast<LRESULT>(index) &&
         PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list)) != 0;
}

E2E_TEST(a_dropped_recording_is_exported_through_the_dialog) {
  e2e::TempFolder folder;
  const std::string recording = folder.file("EURUSD-london.csv"), out = folder.file("bars");
  std::ofstream(recording, std::ios::binary) << kRecording;
  e2e::Process program = e2e::Process::start(e2e::hostPath(ORVALDA_EXPORT_EXE), "\"" + recording + "\"");
  HWND dialog = e2e::findTopWindow(program.pid(), "OrvaldaExport", "Export a recording");
  E2E_REQUIRE(dialog != nullptr);
  // The window has its title before its controls are made, and the recording is looked at once it shows.
  LRESULT files = 0;
  E2E_CHECK(e2e::waitUntil([&] { return e2e::send(e2e::findChild(dialog, kFiles), LB_GETCOUNT, 0, 0, files) && files == 1; },
                           e2e::kPatience));

  E2E_CHECK(!IsWindowEnabled(e2e::findChild(dialog, kTimeframe)));
  E2E_REQUIRE(choose(dialog, kFormat, formatNames(), "bars"));
  E2E_CHECK(e2e::waitUntil([&] { return IsWindowEnabled(e2e::findChild(dialog, kTimeframe)) != FALSE; }, e2e::kPatience));
  E2E_REQUIRE(choose(dialog, kTimeframe, timeframeNames(), "M5"));
  E2E_REQUIRE(setText(e2e::findChild(dialog, kFrom), "Europe/London"));
  E2E_REQUIRE(setText(e2e::findChild(dialog, kTo), "UTC"));
  E2E_REQUIRE(setText(e2e::findChild(dialog, kOut), out));
  E2E_REQUIRE(e2e::postClick(e2e::findChild(dialog, kExport)));

  HWND open = e2e::findChild(dialog, kOpen);
  E2E_REQUIRE(e2e::waitUntil([&] { return IsWindowEnabled(open) != FALSE; }, 4 * e2e::kPatience));
  const std::string summary = e2e::windowText(e2e::findChild(dialog, kSummary));
  E2E_CHECK(summary.find("4 rows in, 4 exported, 0 left out") != std::string::npos);
  std::ifstream written(out + "\\EURUSD-M5.csv", std::ios::binary);
  std::stringstream text;
  text << written.rdbuf();
  E2E_CHECK_EQ(text.str(), std::string(kBars));

  PostMessageA(dialog, WM_CLOSE, 0, 0);
  DWORD code = 99;
  E2E_CHECK(program.waitExit(e2e::kPatience, code) && code == 0);
  written.close();
  std::error_code ignored;
  std::filesystem::remove_all(out, ignored);
}

// What cannot be exported is told in a box in the user's words, and nothing
// is said to be written: recordings that are not there or are folders are not
// added; an output folder that is a file fails the run; a file already there
// is replaced only when the user says so.
E2E_TEST(the_dialog_tells_what_fails_and_writes_nothing_it_did_not) {
  e2e::TempFolder folder;
  const std::string recording = folder.file("EURUSD.csv"), missing = folder.file("gone.csv"), blocker = folder.file("a-file"),
                    inner = folder.file("inner");
  CreateDirectoryA(inner.c_str(), nullptr);
  std::ofstream(recording, std::ios::binary) << kRecording;
  std::ofstream(blocker, std::ios::binary) << "not a folder";
  e2e::Process program = e2e::Process::start(e2e::hostPath(ORVALDA_EXPORT_EXE),
                                             "\"" + missing + "\" \"" + inner + "\" \"" + recording + "\"");
  HWND dialog = e2e::findTopWindow(program.pid(), "OrvaldaExport", "Export a recording");
  E2E_REQUIRE(dialog != nullptr);
  HWND box = e2e::waitForDialogOwnedBy(program.pid(), dialog);
  E2E_REQUIRE(box != nullptr);
  const std::string notAdded = e2e::messageBoxText(box);
  E2E_CHECK(notAdded.find(missing + " does not exist") != std::string::npos);
  E2E_CHECK(notAdded.find(inner + " is a folder, not a recording") != std::string::npos);
  E2E_REQUIRE(e2e::answerMessageBox(box, IDOK));
  LRESULT files = 0;
  E2E_CHECK(e2e::waitUntil([&] { return e2e::send(e2e::findChild(dialog, kFiles), LB_GETCOUNT, 0, 0, files) && files == 1; },
                           e2e::kPatience));
  HWND exportButton = e2e::findChild(dialog, kExport);
  E2E_REQUIRE(e2e::waitUntil([&] { return IsWindowEnabled(exportButton) != FALSE; }, e2e::kPatience));

  // The output folder is a file: a box with the reason, no "Written to".
  E2E_REQUIRE(setText(e2e::findChild(dialog, kOut), blocker));
  E2E_REQUIRE(e2e::postClick(exportButton));
  box = e2e::waitForDialogOwnedBy(program.pid(), dialog, 4 * e2e::kPatience);
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::messageBoxText(box).find("Nothing was written: cannot make the folder " + blocker) != std::string::npos);
  E2E_CHECK(e2e::windowText(e2e::findChild(dialog, kSummary)).find("Written to") == std::string::npos);
  E2E_CHECK(!IsWindowEnabled(e2e::findChild(dialog, kOpen)));
  E2E_REQUIRE(e2e::answerMessageBox(box, IDOK));
  E2E_REQUIRE(e2e::waitUntil([&] { return IsWindow(box) == FALSE; }, e2e::kPatience));  // never the next box taken for it

  // A file already there: the question names how many; "No" keeps it.
  const std::string out = folder.file("out");
  CreateDirectoryA(out.c_str(), nullptr);
  std::ofstream(out + "\\EURUSD.csv", std::ios::binary) << "mine";
  E2E_REQUIRE(setText(e2e::findChild(dialog, kOut), out));
  E2E_REQUIRE(e2e::waitUntil([&] { return IsWindowEnabled(exportButton) != FALSE; }, e2e::kPatience));
  E2E_REQUIRE(e2e::postClick(exportButton));
  box = e2e::waitForDialogOwnedBy(program.pid(), dialog, 4 * e2e::kPatience);
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::messageBoxText(box).find("1 file in " + out + " would be replaced") != std::string::npos);
  E2E_REQUIRE(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(e2e::waitUntil([&] { return IsWindowEnabled(exportButton) != FALSE; }, e2e::kPatience));
  std::ifstream kept(out + "\\EURUSD.csv", std::ios::binary);
  std::stringstream text;
  text << kept.rdbuf();
  E2E_CHECK_EQ(text.str(), std::string("mine"));
  kept.close();

  PostMessageA(dialog, WM_CLOSE, 0, 0);
  DWORD code = 99;
  E2E_CHECK(program.waitExit(e2e::kPatience, code));
  std::error_code ignored;
  std::filesystem::remove_all(out, ignored);
}

// The recordings in the list, as it shows them.
std::vector<std::string> listed(HWND dialog) {
  HWND list = e2e::findChild(dialog, kFiles);
  LRESULT count = 0;
  std::vector<std::string> names;
  if (!e2e::send(list, LB_GETCOUNT, 0, 0, count)) return names;
  for (LRESULT i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    wchar_t name[MAX_PATH * 2] = {};
    char utf8[MAX_PATH * 6] = {};
    if (SendMessageTimeoutW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, SMTO_ABORTIFHUNG, e2e::kPatience, &length) &&
        length < MAX_PATH * 2 &&
        SendMessageTimeoutW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name), SMTO_ABORTIFHUNG,
                            e2e::kPatience, &length) &&
        WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr) > 0)
      names.emplace_back(utf8);
  }
  return names;
}

// Add… opens where the listed recordings are, or in the user's documents
// when none is: a bare file name typed into it is found there. One
// recording chosen in the list is taken off it, and the export reads only
// the others.
E2E_TEST(add_opens_where_the_recordings_are_and_one_can_be_removed) {
  e2e::TempFolder folder;
  const std::string first = folder.file("EURUSD-a.csv"), second = folder.file("EURUSD-b.csv"), out = folder.file("ticks");
  std::ofstream(first, std::ios::binary) << kRecording;
  std::ofstream(second, std::ios::binary) << std::string(kRecording).substr(0, 2 * 39);  // its first 2 rows
  char documents[MAX_PATH] = {};
  E2E_REQUIRE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
  const std::string inDocumentsName = "orvalda-e2e-" + std::to_string(GetCurrentProcessId()) + ".csv";
  const std::string inDocuments = std::string(documents) + "\\" + inDocumentsName;
  std::ofstream(inDocuments, std::ios::binary) << kRecording;

  const auto addByName = [](const e2e::Process& program, HWND dialog, const std::string& name) {
    if (!e2e::waitUntil([&] { return e2e::findChild(dialog, kAdd) != nullptr; }, e2e::kPatience) ||
        !e2e::postClick(e2e::findChild(dialog, kAdd)))
      return false;
    HWND open = e2e::waitForDialogOwnedBy(program.pid(), dialog);
    return open != nullptr && e2e::answerSaveDialog(open, name) &&
           e2e::waitUntil([&] { return IsWindow(open) == FALSE; }, e2e::kPatience);
  };
  struct Case {
    std::string given, typed;
    std::vector<std::string> listed;
  };
  for (const Case& c : {Case{"\"" + first + "\"", "EURUSD-b.csv", {first, second}}, Case{"", inDocumentsName, {inDocuments}}}) {
    e2e::Process program = e2e::Process::start(e2e::hostPath(ORVALDA_EXPORT_EXE), c.given);
    HWND dialog = e2e::findTopWindow(program.pid(), "OrvaldaExport", "Export a recording");
    E2E_REQUIRE(dialog != nullptr);
    E2E_REQUIRE(e2e::waitUntil([&] { return listed(dialog).size() == c.listed.size() - 1; }, e2e::kPatience));
    E2E_CHECK(addByName(program, dialog, c.typed));
    if (!e2e::waitUntil([&] { return listed(dialog) == c.listed; }, e2e::kPatience)) {
      for (const std::string& name : listed(dialog)) std::printf("    listed: %s\n", name.c_str());
      E2E_CHECK(!"the recording typed in Add… is listed");
    }
    if (c.listed.size() == 2) {
      LRESULT chosen = 0;
      E2E_REQUIRE(e2e::send(e2e::findChild(dialog, kFiles), LB_SETCURSEL, 0, 0, chosen) && chosen == 0);
      E2E_REQUIRE(e2e::postClick(e2e::findChild(dialog, kRemove)));
      E2E_CHECK(e2e::waitUntil([&] { return listed(dialog) == std::vector<std::string>{second}; }, e2e::kPatience));
      E2E_REQUIRE(setText(e2e::findChild(dialog, kOut), out));
      E2E_REQUIRE(e2e::postClick(e2e::findChild(dialog, kExport)));
      HWND openFolder = e2e::findChild(dialog, kOpen);
      E2E_REQUIRE(e2e::waitUntil([&] { return IsWindowEnabled(openFolder) != FALSE; }, 4 * e2e::kPatience));
      E2E_CHECK(e2e::windowText(e2e::findChild(dialog, kSummary)).find("2 rows in, 2 exported") != std::string::npos);
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    DWORD code = 99;
    E2E_CHECK(program.waitExit(e2e::kPatience, code));
  }
  DeleteFileA(inDocuments.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(out, ignored);
}

}  // namespace

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
