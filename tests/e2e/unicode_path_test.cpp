// Paths with any letters, end to end: recordings into a folder whose name
// the system's ANSI code page cannot spell, named by --record (absolute, and
// relative to such a start folder) and by the save dialog; orvalda.log
// beside them, and the folder the save dialog remembers.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using e2e::Orvalda;
using e2e::TempFolder;
using e2e::wide;
using e2e::withoutStamps;

// Neither letter is in code page 1252.
constexpr const char* kLetters = "\xC5\x81ukasz-\xE7\x94\xA8";  // "Łukasz-用"


// A folder named kLetters in a temporary folder; deleted with all it holds.
class LetterFolder {
 public:
  explicit LetterFolder(const TempFolder& in) : path_(in.file(kLetters)) {
    CreateDirectoryW(wide(path_).c_str(), nullptr);
  }
  ~LetterFolder() { removeTree(wide(path_)); }
  LetterFolder(const LetterFolder&) = delete;
  LetterFolder& operator=(const LetterFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName, path = folder + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
          removeTree(path);
        else
          DeleteFileW(path.c_str());
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::string path_;
};

// Orvalda started with `args` in `folder` (its current folder at the start).
Orvalda startIn(const std::string& folder, const std::string& args) {
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  E2E_REQUIRE(SetCurrentDirectoryW(wide(folder).c_str()));
  struct Restore {
    const wchar_t* folder;
    ~Restore() { SetCurrentDirectoryW(folder); }
  } restore{before};
  return Orvalda::start(args);
}

// The folder the save dialog last recorded into, as kept between runs.
std::string rememberedFolder() {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvalda", L"LastFolder", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return "";
  char utf8[MAX_PATH * 6] = {};
  WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof(utf8), nullptr, nullptr);
  return utf8;
}

// Sends n ticks; true when the file holds exactly `rows` so far and them.
bool recorded(const Orvalda& o, std::uint32_t from, std::uint32_t n, const std::string& path, std::string& rows) {
  std::vector<e2e::ProbeEntry> forwarded;
  e2e::sendTicks(o, from, n, rows, forwarded);
  std::string data;
  const bool read = e2e::readShared(path, data);
  if (!read || withoutStamps(data) != rows)
    std::printf("    %s holds:\n%s\n", path.c_str(), read ? data.c_str() : "(cannot be read)");
  return read && withoutStamps(data) == rows;
}

}  // namespace

E2E_TEST(records_into_a_folder_named_with_any_letters_by_option_and_by_dialog) {
  TempFolder temp;
  LetterFolder folder(temp);
  {
    // A row cut off at the end of the file the relative pattern names,
    // after its header: taken off at the start, into the log beside it.
    HANDLE h = CreateFileW(wide(folder.file("EURUSD.csv")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    E2E_REQUIRE(h != INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "Pair\r\nEUR/USD,2026", 18, &written, nullptr);
    CloseHandle(h);

    Orvalda o = startIn(folder.path(), "--record {symbol}.csv");
    o.announce("EURUSD", 5);
    std::string rows = "Pair\r\n";
    E2E_CHECK(recorded(o, 108150, 3, folder.file("EURUSD.csv"), rows));
    std::string log;
    E2E_CHECK(e2e::readShared(folder.file("orvalda.log"), log) && log.find("\"EUR/USD,2026\"") != std::string::npos);

    // The user takes over: the click ends the unattended recording, the
    // save dialog names the next file.
    o.stopRecording();
    o.startRecording(folder.file("dialog.csv"));
    std::string dialogRows;
    E2E_CHECK(recorded(o, 108160, 3, folder.file("dialog.csv"), dialogRows));
    o.stopRecording();
    o.closeWithYes();
  }
  E2E_CHECK_EQ(rememberedFolder(), folder.path());

  // The system's file dialogs keep a folder per program themselves: forgotten
  // here, so that only Orvalda's own memory of the folder is left.
  for (const char* key : {"LastVisitedMRU", "LastVisitedPidlMRU"})
    RegDeleteTreeA(HKEY_CURRENT_USER,
                   (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\") + key).c_str());
  // The letters in the option itself, in a folder still to be made.
  const std::string made = folder.file(std::string(kLetters) + "\\{symbol}.csv");
  Orvalda o = Orvalda::start("--record \"" + made + "\"");
  o.announce("EURUSD", 5);
  std::string rows;
  E2E_CHECK(recorded(o, 108170, 3, folder.file(std::string(kLetters) + "\\EURUSD.csv"), rows));
  // The save dialog opens in the remembered folder: a bare name lands there.
  o.stopRecording();
  o.startRecording("bare.csv");
  E2E_CHECK(e2e::fileExists(folder.file("bare.csv")));
  o.stopRecording();
}

// The feeder reads its file, and the tester stand-in writes its log, by
// names given on their command lines in any letters.
E2E_TEST(the_feeder_and_the_tester_stand_in_take_names_in_any_letters) {
  TempFolder temp;
  LetterFolder folder(temp);
  const std::string ticks = folder.file("ticks.csv"), probeLog = folder.file("probe.log");
  {
    HANDLE h = CreateFileW(wide(ticks).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    E2E_REQUIRE(h != INVALID_HANDLE_VALUE);
    const std::string rows = "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n";
    DWORD written = 0;
    WriteFile(h, rows.data(), static_cast<DWORD>(rows.size()), &written, nullptr);
    CloseHandle(h);
  }
  e2e::Process probe = e2e::Process::start(e2e::probePath(), "--log \"" + probeLog + "\"");
  E2E_CHECK(e2e::waitUntil([&] { return e2e::fileExists(probeLog); }, e2e::kPatience));
  Orvalda o = Orvalda::start();
  e2e::Process feeder = e2e::Process::start(e2e::feedPath(), "--file \"" + ticks + "\" --speed max");
  DWORD code = 12345;
  E2E_CHECK(feeder.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
  E2E_CHECK(e2e::waitUntil([&] { return o.text(orv::Control::TickLine).find("1.08150") != std::string::npos; },
                           e2e::kPatience));
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
