// Two writers, two starts, end to end: another program adding rows to the
// file Orvalda records into between its ticks, and a second start on the
// desktop where Orvalda already runs and records.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using e2e::Orvalda;
using e2e::TempFolder;

std::vector<HWND> mainWindows() { return e2e::topWindows(0, orv::kMainWindowClass, orv::kAppTitle); }

}  // namespace

E2E_TEST(rows_of_another_writer_between_the_ticks_stay_whole_and_in_order) {
  TempFolder folder;
  Orvalda o = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"");
  o.announce("EURUSD", 5);
  E2E_REQUIRE(o.buttonReads("STOP RECORDING"));
  // The other writer appends, as the system lets any program add to a file.
  HANDLE other = CreateFileW(e2e::wide(folder.file("EURUSD.csv")).c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(other != INVALID_HANDLE_VALUE);
  std::string rows;
  std::vector<e2e::ProbeEntry> forwarded;
  for (std::uint32_t i = 0; i < 20; ++i) {
    e2e::sendTicks(o, 108150 + i, 1, rows, forwarded);
    const std::string row = "the other writer's row " + std::to_string(i) + "\r\n";
    DWORD written = 0;
    E2E_CHECK(WriteFile(other, row.data(), static_cast<DWORD>(row.size()), &written, nullptr) && written == row.size());
    rows += row;
  }
  CloseHandle(other);
  e2e::sendTicks(o, 108170, 1, rows, forwarded);
  std::string data;
  E2E_REQUIRE(e2e::readShared(folder.file("EURUSD.csv"), data));
  E2E_CHECK_EQ(e2e::withoutStamps(data), rows);
}

E2E_TEST(a_second_start_brings_the_running_one_to_the_front_and_ends_unless_asked_for_another) {
  TempFolder folder;
  Orvalda first = Orvalda::start("--record \"" + folder.file("{symbol}.csv") + "\"");
  PostMessageA(first.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  E2E_REQUIRE(e2e::waitUntil([&] { return IsIconic(first.main) != FALSE; }, 5000));

  e2e::Process second = e2e::Process::start(e2e::orvaldaPath());
  DWORD code = 12345;
  E2E_REQUIRE(second.waitExit(15000, code));
  E2E_CHECK_EQ(code, 0ul);
  E2E_CHECK(e2e::waitUntil([&] { return IsIconic(first.main) == FALSE; }, 5000));
  E2E_CHECK(mainWindows() == std::vector<HWND>{first.main});
  // The feeder still finds the first, which still records.
  E2E_REQUIRE(FindWindowA(orv::kMainWindowClass, orv::kAppTitle) == first.main);
  first.announce("EURUSD", 5);
  std::string rows;
  std::vector<e2e::ProbeEntry> forwarded;
  e2e::sendTicks(first, 108150, 3, rows, forwarded);
  std::string data;
  E2E_CHECK(e2e::readShared(folder.file("EURUSD.csv"), data) && e2e::withoutStamps(data) == rows);

  // Asked for, a second copy runs beside the first.
  Orvalda another = Orvalda::start("--another");
  E2E_CHECK_EQ(mainWindows().size(), 2u);
  another.closeWithYes();
  E2E_CHECK(first.process.running());
}

// Another program holds the name each Orvalda holds for its desktop, and
// shows no Orvalda window (as a copy stuck before its window would): a start
// to record says why it does not run, on its output and in orvalda.log, and
// ends with a code that is not success.
E2E_TEST(a_start_that_finds_the_desktop_held_without_a_window_says_so_and_fails) {
  wchar_t desktop[256] = L"";
  GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof(desktop) - sizeof(wchar_t),
                            nullptr);
  HANDLE held = CreateMutexW(nullptr, TRUE, (L"Local\\Orvalda-desktop-" + std::wstring(desktop)).c_str());
  E2E_REQUIRE(held != nullptr);
  TempFolder folder;
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  HANDLE out = CreateFileA(folder.file("out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0,
                           nullptr);
  E2E_REQUIRE(out != INVALID_HANDLE_VALUE);
  e2e::Process start = e2e::Process::start(e2e::orvaldaPath(), "--record \"" + folder.file("{symbol}.csv") + "\"",
                                           {0, true, out});
  CloseHandle(out);
  DWORD code = 12345;
  E2E_CHECK(start.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 3ul);
  const std::string told = "another Orvalda holds this desktop but shows no window";
  std::string text, log;
  E2E_CHECK(e2e::readShared(folder.file("out.txt"), text) && text.find(told) != std::string::npos);
  E2E_CHECK(e2e::readShared(folder.file("orvalda.log"), log) && log.find(told) != std::string::npos);
  CloseHandle(held);
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
