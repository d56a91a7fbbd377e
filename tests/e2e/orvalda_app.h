// A started orvalda.exe, its main window found, shown and focused, with the
// feeder's side of the protocol. Each test file builds on it.
#pragma once

#include <cstdint>
#include <string>

#include "core/protocol.h"
#include "tests/e2e/e2e.h"
#include "ui/control_ids.h"

namespace e2e {

struct OrvaldaApp {
  Process process;
  HWND main = nullptr;

  // Starts the program into `o` and waits for its main window with the
  // focus on its first control.
  static void launch(OrvaldaApp& o) {
    o.process = Process::start(orvaldaPath());
    o.main = findTopWindow(o.process.pid(), orv::kMainWindowClass, orv::kAppTitle);
    E2E_REQUIRE(o.main != nullptr);
    E2E_REQUIRE(waitUntil([&] { return IsWindowVisible(o.main) != FALSE; }, 5000));
    E2E_REQUIRE(waitForFocus(o.main, o.control(orv::ui::kIdRecordButton), 5000));
  }

  HWND control(int id) const { return findChild(main, id); }
  std::string text(int id) const { return windowText(control(id)); }

  // A message as the feeder sends it; the program answers each with 1.
  void feed(UINT code, std::uint32_t wParam, std::uint32_t lParam) const {
    LRESULT result = -1;
    E2E_CHECK(send(main, code, wParam, lParam, result, 10000));
    E2E_CHECK_EQ(result, 1);
  }
  void tick(std::uint32_t ask, std::uint32_t bid) const { feed(orv::WM_TICK, ask, bid); }
  void announce(const char* letters, std::uint32_t digits) const {
    feed(orv::WM_SYMBOL_HEAD, orv::packLetters(letters[0], letters[1]), orv::packLetters(letters[2], letters[3]));
    feed(orv::WM_SYMBOL_TAIL, orv::packLetters(letters[4], letters[5]), digits);
  }
};

}  // namespace e2e
