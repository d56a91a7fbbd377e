// The real orvalda.exe, driven from outside: its two top-level windows, the
// layout of the main window, the protocol's answers, closing, and the keys.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/e2e.h"

namespace {

using orv::Control;
using e2e::Orvalda;

int screenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

// A length of the 96 dpi layout on this screen, rounded to the nearest pixel.
int scaled(int length) { return (length * screenDpi() + 48) / 96; }

// Checks a window's bounds in its parent against the layout's, given at 96 dpi.
void checkBounds(HWND window, int left, int top, int width, int height, const char* name) {
  const RECT r = e2e::boundsInParent(window);
  if (!E2E_CHECK_EQ(r.left, scaled(left)) || !E2E_CHECK_EQ(r.top, scaled(top)) ||
      !E2E_CHECK_EQ(r.right - r.left, scaled(width)) || !E2E_CHECK_EQ(r.bottom - r.top, scaled(height)))
    std::printf("    (bounds of %s at %d dpi)\n", name, screenDpi());
}

// The size a text takes in the window's font, measured here the same way.
SIZE textSizeInWindowFont(const char* text) {
  HDC dc = GetDC(nullptr);
  LOGFONTA lf = {};
  lf.lfHeight = -scaled(11);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  std::string("MS Sans Serif").copy(lf.lfFaceName, LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return SIZE{r.right - r.left, tm.tmHeight};
}

// The black glyphs of the caption buttons, left to right, each as the rows
// of its bounding box ('#' black): found in the top right corner of the
// window, where nothing else is black.
std::vector<std::vector<std::string>> captionGlyphs(HWND window) {
  RECT w = {};
  GetWindowRect(window, &w);
  const int cx = GetSystemMetrics(SM_CXSIZE) * 4;
  const RECT strip = {w.right - cx, w.top, w.right, w.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION)};
  const std::vector<std::uint32_t> pixels = e2e::screenPixels(strip);
  const int width = strip.right - strip.left, height = strip.bottom - strip.top;
  auto black = [&](int x, int y) { return (pixels[static_cast<std::size_t>(y) * width + x] & 0xC0C0C0) == 0; };
  auto blackColumn = [&](int x) {
    for (int y = 0; y < height; ++y)
      if (black(x, y)) return true;
    return false;
  };
  std::vector<std::vector<std::string>> glyphs;
  for (int x = 0; x < width && !pixels.empty(); ++x) {
    if (!blackColumn(x)) continue;
    const int left = x;
    while (x < width && (blackColumn(x) || (x + 1 < width && blackColumn(x + 1)))) ++x;  // one blank column within
    int top = height, bottom = -1;
    for (int y = 0; y < height; ++y)
      for (int gx = left; gx < x; ++gx)
        if (black(gx, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    std::vector<std::string> rows;
    for (int y = top; y <= bottom; ++y) {
      std::string row;
      for (int gx = left; gx < x; ++gx) row += black(gx, y) ? '#' : '.';
      rows.push_back(row);
    }
    glyphs.push_back(rows);
  }
  return glyphs;
}

// Minimize: a bar, filled, far wider than high.
bool isBar(const std::vector<std::string>& g) {
  return g.size() <= 2 && g[0].size() >= 3 * g.size() && std::string(g[0].size(), '#') == g[0] && g.back() == g[0];
}

// Close: an X, its four corners and its middle black, the middle of its edges not.
bool isCross(const std::vector<std::string>& g) {
  const std::size_t h = g.size(), w = g[0].size();
  return h >= 5 && w >= 5 && g[0][0] == '#' && g[0][w - 1] == '#' && g[h - 1][0] == '#' && g[h - 1][w - 1] == '#' &&
         g[h / 2][w / 2] == '#' && g[0][w / 2] == '.' && g[h / 2][0] == '.';
}

}  // namespace

E2E_TEST(starts_with_both_windows) {
  Orvalda o = Orvalda::start();
  E2E_CHECK(IsWindowVisible(o.main));
  const LONG style = GetWindowLongA(o.main, GWL_STYLE);
  E2E_CHECK_EQ(style & WS_OVERLAPPEDWINDOW, static_cast<LONG>(WS_OVERLAPPEDWINDOW));

  // The application's window: same title, never shown, no size.
  E2E_CHECK(!IsWindowVisible(o.app));
  RECT r = {};
  GetWindowRect(o.app, &r);
  E2E_CHECK_EQ(r.right - r.left, 0);
  E2E_CHECK_EQ(r.bottom - r.top, 0);
}

// The buttons at the right of the title bar show their symbols, not letters
// of a font standing in for the symbol font ("0 1 r").
E2E_TEST(caption_buttons_draw_as_buttons) {
  Orvalda o = Orvalda::start();
  std::vector<std::vector<std::string>> glyphs;
  const bool drawn = e2e::waitUntil(
      [&] {
        glyphs = captionGlyphs(o.main);
        return glyphs.size() >= 2 && isBar(glyphs.front()) && isCross(glyphs.back());
      },
      5000, 50);
  if (!E2E_CHECK(drawn))
    for (const auto& glyph : glyphs) {
      std::printf("    glyph:\n");
      for (const std::string& row : glyph) std::printf("      %s\n", row.c_str());
    }
}

E2E_TEST(program_file_carries_icon_manifest_and_version) {
  const std::string exe = e2e::orvaldaPath();
  HMODULE file = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  E2E_REQUIRE(file != nullptr);

  // The icon group: 256, 48, 32 and 16 pixels, 32 bits each.
  HRSRC group = FindResourceA(file, "MAINICON", reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
  E2E_REQUIRE(group != nullptr);
  const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(file, group)));
  E2E_REQUIRE(dir != nullptr);
  const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
  E2E_CHECK_EQ(count, 4);
  std::string sizes;
  for (WORD i = 0; i < count; ++i) {
    const BYTE* entry = dir + 6 + 14 * i;  // width, height, colours, reserved, planes, bit count, bytes, id
    sizes += std::to_string(entry[0] == 0 ? 256 : entry[0]) + "x" + std::to_string(entry[1] == 0 ? 256 : entry[1]) +
             "x" + std::to_string(*reinterpret_cast<const WORD*>(entry + 6)) + " ";
  }
  E2E_CHECK_EQ(sizes, std::string("256x256x32 48x48x32 32x32x32 16x16x32 "));

  // The manifest asks for the common controls 6 and per-monitor DPI awareness.
  HRSRC manifest = FindResourceA(file, MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_MANIFEST));
  E2E_REQUIRE(manifest != nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(file, manifest))),
                         SizeofResource(file, manifest));
  E2E_CHECK(text.find("Microsoft.Windows.Common-Controls") != std::string::npos);
  E2E_CHECK(text.find("version=\"6.0.0.0\"") != std::string::npos);
  E2E_CHECK(text.find("PerMonitorV2") != std::string::npos);
  FreeLibrary(file);

  // Version 1.0.0 of "Orvalda".
  DWORD ignored = 0;
  std::string info(GetFileVersionInfoSizeA(exe.c_str(), &ignored), '\0');
  E2E_REQUIRE(!info.empty() && GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  E2E_REQUIRE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  E2E_CHECK_EQ(fixed->dwProductVersionMS, 0x00010000ul);
  E2E_CHECK_EQ(fixed->dwProductVersionLS, 0ul);
  char* product = nullptr;
  E2E_REQUIRE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&product),
                             &length));
  E2E_CHECK_EQ(std::string(product), std::string("Orvalda"));
}

E2E_TEST(controls_start_as_laid_out) {
  Orvalda o = Orvalda::start();
  const HWND tick = o.control(Control::TickLine), noTick = o.control(Control::SilenceLine), btn1 = o.control(Control::RecordButton),
             btn2 = o.control(Control::CloseButton), group = o.control(Control::TesterGroup), live = o.control(Control::LiveBox),
             test = o.control(Control::TestDataBox);
  E2E_REQUIRE(tick && noTick && btn1 && btn2 && group && live && test);

  E2E_CHECK_EQ(e2e::windowText(tick), std::string("Time, Symbol, BID, ASK"));
  E2E_CHECK_EQ(e2e::windowText(noTick), std::string("No Ticks"));
  E2E_CHECK_EQ(e2e::windowText(btn1), std::string("START RECORDING"));
  E2E_CHECK_EQ(e2e::windowText(btn2), std::string("&Close"));
  E2E_CHECK_EQ(e2e::windowText(group), std::string("Feed to Zentavor"));
  E2E_CHECK_EQ(e2e::windowText(live), std::string("Live Data"));
  E2E_CHECK_EQ(e2e::windowText(test), std::string("Test Data"));

  // The check boxes live in the group box; "Live Data" waits for the first tick.
  E2E_CHECK_EQ(GetParent(live), group);
  E2E_CHECK_EQ(GetParent(test), group);
  E2E_CHECK_EQ(GetParent(btn1), o.main);
  E2E_CHECK(!IsWindowEnabled(live));
  E2E_CHECK(IsWindowEnabled(test));
  E2E_CHECK(IsWindowEnabled(btn1));
  E2E_CHECK(IsWindowEnabled(btn2));
  E2E_CHECK_EQ(e2e::checkState(live), BST_UNCHECKED);
  E2E_CHECK_EQ(e2e::checkState(test), BST_UNCHECKED);

  // The window opens at its place; its size and the controls scale with the screen.
  const RECT w = e2e::boundsInParent(o.main);
  E2E_CHECK_EQ(w.left, 337);
  E2E_CHECK_EQ(w.top, 244);
  E2E_CHECK_EQ(w.right - w.left, scaled(450));
  E2E_CHECK_EQ(w.bottom - w.top, scaled(234));
  checkBounds(tick, 8, 40, 417, 24, "tick line");
  checkBounds(btn2, 280, 152, 145, 41, "close button");
  checkBounds(btn1, 16, 80, 257, 112, "record button");
  checkBounds(group, 280, 80, 145, 65, "tester group");
  checkBounds(live, 32, 16, 89, 17, "Live Data box");
  checkBounds(test, 32, 40, 89, 17, "Test Data box");
  // The silence line keeps its place and takes the size of its text.
  const RECT r = e2e::boundsInParent(noTick);
  E2E_CHECK_EQ(r.left, scaled(8));
  E2E_CHECK_EQ(r.top, scaled(16));
  const SIZE text = textSizeInWindowFont("No Ticks");
  E2E_CHECK_EQ(r.right - r.left, text.cx);
  E2E_CHECK_EQ(r.bottom - r.top, text.cy);
}

E2E_TEST(answers_the_protocol_on_the_main_window_only) {
  Orvalda o = Orvalda::start();
  for (UINT code : {orv::WM_TICK, orv::WM_SYMBOL_HEAD, orv::WM_SYMBOL_TAIL, orv::WM_FEED_CONTROL})
    E2E_CHECK_EQ(o.send(o.app, code, 0x450055, 0x520055), 0);

  E2E_CHECK_EQ(o.send(o.main, orv::WM_TICK, 10816, 10815), 1);
  const std::string line = e2e::windowText(o.control(Control::TickLine));
  E2E_CHECK(line.find("XXXYYY") != std::string::npos);
  E2E_CHECK(line.find("1.0815") != std::string::npos);
  E2E_CHECK(IsWindowEnabled(o.control(Control::LiveBox)));

  E2E_CHECK_EQ(o.send(o.main, orv::WM_FEED_CONTROL, 1, 0), 0);
  o.announce("EURUSD", 5);
  E2E_CHECK_EQ(e2e::windowText(o.control(Control::TickLine)), std::string("EURUSD"));
  E2E_CHECK(!IsWindowEnabled(o.control(Control::TestDataBox)));
  E2E_CHECK(IsWindowEnabled(o.control(Control::LiveBox)));
}

E2E_TEST(no_tick_label_fits_its_changing_text) {
  Orvalda o = Orvalda::start();
  const HWND noTick = o.control(Control::SilenceLine);
  E2E_CHECK(e2e::boundsInParent(noTick).right > 8);
  // A fresh tick after an announcement: the watchdog clears the small label.
  o.announce("EURUSD", 5);
  o.send(o.main, orv::WM_TICK, 108166, 108150);
  E2E_CHECK(e2e::waitUntil([&] { return e2e::windowText(noTick).empty(); }, e2e::kPatience));
  const RECT r = e2e::boundsInParent(noTick);
  E2E_CHECK_EQ(r.right - r.left, 0);
  E2E_CHECK_EQ(r.left, scaled(8));
}

E2E_TEST(close_answered_no_keeps_the_window_with_both_boxes_unticked) {
  Orvalda o = Orvalda::start();
  const HWND live = o.control(Control::LiveBox), test = o.control(Control::TestDataBox);
  o.send(o.main, orv::WM_TICK, 10816, 10815);  // makes "Live Data" usable
  E2E_CHECK(e2e::postClick(test));
  E2E_CHECK(e2e::postClick(live));
  E2E_REQUIRE(e2e::waitUntil([&] { return e2e::checkState(live) == BST_CHECKED && e2e::checkState(test) == BST_CHECKED; }, e2e::kPatience));

  E2E_CHECK(e2e::postClick(o.control(Control::CloseButton)));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK_EQ(e2e::messageBoxText(box), std::string("Are you sure?"));
  E2E_CHECK_EQ(GetWindow(box, GW_OWNER), o.main);
  E2E_CHECK(GetDlgItem(box, IDYES) != nullptr);
  E2E_CHECK(GetDlgItem(box, IDNO) != nullptr);
  // The boxes are unticked before the question, and the window waits for it.
  E2E_CHECK_EQ(e2e::checkState(live), BST_UNCHECKED);
  E2E_CHECK_EQ(e2e::checkState(test), BST_UNCHECKED);
  E2E_CHECK(!IsWindowEnabled(o.main));
  // Ticks are still taken while the question is open.
  E2E_CHECK_EQ(o.send(o.main, orv::WM_TICK, 10820, 10819), 1);

  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK_EQ(o.dialogs(), 0u);  // one click, one question
  E2E_CHECK(o.process.running());
  E2E_CHECK(IsWindowVisible(o.main));
  E2E_CHECK(IsWindowEnabled(o.main));
  E2E_CHECK_EQ(e2e::checkState(live), BST_UNCHECKED);
  E2E_CHECK_EQ(e2e::checkState(test), BST_UNCHECKED);

  // A second close asks again.
  PostMessageA(o.main, WM_CLOSE, 0, 0);
  box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));
  E2E_CHECK(o.process.running());
}

E2E_TEST(close_answered_yes_ends_the_program_with_exit_code_0) {
  Orvalda o = Orvalda::start();
  o.closeWithYes();
}

E2E_TEST(close_box_and_system_menu_ask_the_question) {
  Orvalda o = Orvalda::start();
  PostMessageA(o.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));

  // Keys pressed just as the answered box hands the activation back can go to
  // no window on a loaded X server: pressed again until the question shows.
  box = nullptr;
  for (int press = 0; press < 3 && box == nullptr; ++press) {
    E2E_REQUIRE(e2e::pressKeys(o.main, {VK_MENU, VK_F4}));
    box = o.question(10000);
  }
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDYES));
  DWORD code = 12345;
  E2E_REQUIRE(o.process.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
}

E2E_TEST(one_press_or_close_request_asks_once) {
  struct Way {
    const char* name;
    bool (*press)(const Orvalda& o);
  };
  static const Way ways[] = {
      {"a posted BM_CLICK, as automation tools press", [](const Orvalda& o) {
         return e2e::postClick(o.control(Control::CloseButton));
       }},
      {"a mouse click", [](const Orvalda& o) {
         RECT r = {};
         GetWindowRect(o.control(Control::CloseButton), &r);
         return e2e::runUnixShell("xdotool mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                  std::to_string((r.top + r.bottom) / 2) + " click 1 mousemove 0 0");
       }},
      {"the C key", [](const Orvalda& o) { return e2e::pressKeys(o.main, {'C'}); }},
      {"taskkill, a close request to each top-level window", [](const Orvalda& o) {
         char system[MAX_PATH] = {};
         GetSystemDirectoryA(system, MAX_PATH);
         e2e::Process taskkill =
             e2e::Process::start(std::string(system) + "\\taskkill.exe", "/PID " + std::to_string(o.process.pid()));
         DWORD code = 1;
         return taskkill.waitExit(e2e::kPatience, code) && code == 0;
       }},
      {"Close pressed again while the question is open", [](const Orvalda& o) {
         return e2e::postClick(o.control(Control::CloseButton)) && o.question() != nullptr &&
                e2e::postClick(o.control(Control::CloseButton));
       }},
  };
  for (const Way& way : ways) {
    std::printf("    %s\n", way.name);
    Orvalda o = Orvalda::start();
    E2E_CHECK(way.press(o));
    HWND box = o.question();
    if (!E2E_CHECK(box != nullptr)) continue;
    E2E_CHECK(e2e::answerMessageBox(box, IDNO));
    E2E_CHECK(o.gone(box));
    E2E_CHECK(o.caughtUp());
    E2E_CHECK_EQ(o.dialogs(), 0u);
    E2E_CHECK(o.process.running());
  }
}

E2E_TEST(end_of_session_asks_the_same_question) {
  Orvalda o = Orvalda::start();
  e2e::PendingSend no(o.main, WM_QUERYENDSESSION, 0, 0);
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK_EQ(e2e::messageBoxText(box), std::string("Are you sure?"));
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_REQUIRE(no.finish(e2e::kPatience));
  E2E_CHECK_EQ(no.result, FALSE);

  e2e::PendingSend yes(o.main, WM_QUERYENDSESSION, 0, 0);
  box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDYES));
  E2E_REQUIRE(yes.finish(e2e::kPatience));
  E2E_CHECK_EQ(yes.result, TRUE);

  // The session ends: so does the run, before the system would end it.
  E2E_CHECK_EQ(o.send(o.main, WM_ENDSESSION, TRUE, 0), 0);
  DWORD code = 12345;
  E2E_CHECK(o.process.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
}

E2E_TEST(tab_order_skips_disabled_boxes) {
  Orvalda o = Orvalda::start();
  const HWND btn1 = o.control(Control::RecordButton), btn2 = o.control(Control::CloseButton), test = o.control(Control::TestDataBox),
             live = o.control(Control::LiveBox);
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_TAB}));
  E2E_CHECK(e2e::waitForFocus(o.main, btn2));
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_TAB}));
  E2E_CHECK(e2e::waitForFocus(o.main, test));  // "Live Data" is still greyed
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_TAB}));
  E2E_CHECK(e2e::waitForFocus(o.main, btn1));
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_SHIFT, VK_TAB}));
  E2E_CHECK(e2e::waitForFocus(o.main, test));

  // Space flips the focused box.
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_SPACE}));
  E2E_CHECK(e2e::waitUntil([&] { return e2e::checkState(test) == BST_CHECKED; }, e2e::kPatience));

  // An announcement greys the focused box: the focus moves on to the next control.
  o.announce("EURUSD", 5);
  E2E_CHECK(!IsWindowEnabled(test));
  E2E_CHECK(e2e::waitForFocus(o.main, btn1));

  // After the first tick "Live Data" takes its place in the order.
  o.send(o.main, orv::WM_TICK, 10816, 10815);
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_SHIFT, VK_TAB}));
  E2E_CHECK(e2e::waitForFocus(o.main, live));
}

E2E_TEST(escape_does_nothing_while_idle_c_and_space_close) {
  Orvalda o = Orvalda::start();
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_ESCAPE}));
  E2E_REQUIRE(o.keysTaken());  // the focus moves on to Close
  E2E_CHECK_EQ(o.dialogs(), 0u);
  E2E_CHECK_EQ(e2e::windowText(o.control(Control::RecordButton)), std::string("START RECORDING"));

  E2E_REQUIRE(e2e::pressKeys(o.main, {'C'}));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));

  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_MENU, 'C'}));
  box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));

  // Space presses the focused button: Close, where the focus went back.
  E2E_REQUIRE(e2e::waitForFocus(o.main, o.control(Control::CloseButton)));
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_SPACE}));
  box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));
  E2E_CHECK(o.process.running());
}

E2E_TEST(enter_presses_the_focused_button_or_the_default_one) {
  Orvalda o = Orvalda::start();
  // On Close, Enter closes and does not start a recording.
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_TAB}));
  E2E_REQUIRE(e2e::waitForFocus(o.main, o.control(Control::CloseButton)));
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_RETURN}));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));

  // On a check box, Enter presses START RECORDING: the save dialog opens,
  // owned by the application's window, with the main window waiting.
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_TAB}));
  E2E_REQUIRE(e2e::waitForFocus(o.main, o.control(Control::TestDataBox)));
  E2E_REQUIRE(e2e::pressKeys(o.main, {VK_RETURN}));
  HWND dialog = e2e::waitForDialog(o.process.pid());
  E2E_REQUIRE(dialog != nullptr);
  E2E_CHECK(e2e::findChild(dialog, e2e::kFileNameBox) != nullptr);
  E2E_CHECK_EQ(GetWindow(dialog, GW_OWNER), o.app);
  E2E_CHECK(!IsWindowEnabled(o.main));
  E2E_CHECK(e2e::cancelDialog(dialog));
  E2E_CHECK(o.gone(dialog));
  E2E_CHECK(e2e::waitUntil([&] { return IsWindowEnabled(o.main) != FALSE; }, e2e::kPatience));
  E2E_CHECK_EQ(e2e::windowText(o.control(Control::RecordButton)), std::string("START RECORDING"));
}

E2E_TEST(an_error_in_a_handler_is_shown_and_the_program_goes_on) {
  // A file that another program holds open without sharing cannot be
  // recorded to: starting the recording fails inside the click handler.
  e2e::TempFolder folder;
  const std::string path = folder.file("orvalda-e2e-locked.csv");
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  E2E_REQUIRE(lock != INVALID_HANDLE_VALUE);
  struct Unlock {
    HANDLE lock;
    ~Unlock() { CloseHandle(lock); }  // before the folder goes
  } unlock{lock};

  Orvalda o = Orvalda::start();
  E2E_CHECK(e2e::postClick(o.control(Control::RecordButton)));
  HWND dialog = e2e::waitForDialog(o.process.pid());
  E2E_REQUIRE(dialog != nullptr);
  E2E_REQUIRE(e2e::answerSaveDialog(dialog, path));
  HWND replace = e2e::waitForDialogOwnedBy(o.process.pid(), dialog);  // "already exists, replace it?"
  E2E_REQUIRE(replace != nullptr);
  E2E_CHECK(e2e::answerMessageBox(replace, IDYES));

  HWND error = o.errorBox();
  E2E_REQUIRE(error != nullptr);
  const std::string text = e2e::messageBoxText(error);
  E2E_CHECK(text.find("orvalda-e2e-locked.csv") != std::string::npos);
  E2E_CHECK(!text.empty() && text.back() == '.');
  E2E_CHECK_EQ(GetWindow(error, GW_OWNER), o.app);
  E2E_CHECK(!IsWindowEnabled(o.main));  // the program's other windows wait
  // Messages are still handled while the error is shown.
  E2E_CHECK_EQ(o.send(o.main, orv::WM_TICK, 10816, 10815), 1);

  E2E_CHECK(e2e::answerMessageBox(error, IDOK));
  E2E_CHECK(o.gone(error));
  E2E_CHECK(e2e::waitUntil([&] { return IsWindowEnabled(o.main) != FALSE; }, e2e::kPatience));
  E2E_CHECK(o.process.running());
  E2E_CHECK_EQ(e2e::windowText(o.control(Control::RecordButton)), std::string("START RECORDING"));
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK_EQ(o.dialogs(), 0u);
}

E2E_TEST(takes_any_message_even_while_a_modal_window_is_open) {
  Orvalda o = Orvalda::start();
  // Codes of the user range and the application range, with extreme parameters.
  for (UINT code = WM_USER; code < 0x800; ++code)
    for (LPARAM param : {static_cast<LPARAM>(0), static_cast<LPARAM>(-1)}) {
      LRESULT ignored = 0;
      if (!e2e::send(o.main, code, static_cast<WPARAM>(param), param, ignored) ||
          !e2e::send(o.app, code, static_cast<WPARAM>(param), param, ignored)) {
        E2E_CHECK(false);
        std::printf("    code 0x%x was not answered\n", code);
      }
    }
  for (UINT code = WM_APP; code < WM_APP + 16; ++code) o.send(o.main, code, 0, 0);
  E2E_REQUIRE(o.process.running());

  // The question is open: the feeder is still answered and shown.
  E2E_CHECK(e2e::postClick(o.control(Control::CloseButton)));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  o.announce("EURUSD", 5);
  E2E_CHECK_EQ(e2e::windowText(o.control(Control::TickLine)), std::string("EURUSD"));
  E2E_CHECK_EQ(o.send(o.main, orv::WM_TICK, 108166, 108150), 1);
  E2E_CHECK(e2e::windowText(o.control(Control::TickLine)).find("1.08166") != std::string::npos);
  E2E_CHECK_EQ(o.send(o.main, orv::WM_FEED_CONTROL, 0, 0), 0);
  E2E_CHECK(e2e::answerMessageBox(box, IDNO));
  E2E_CHECK(o.gone(box));

  // The save dialog is open: likewise.
  E2E_CHECK(e2e::postClick(o.control(Control::RecordButton)));
  HWND dialog = e2e::waitForDialog(o.process.pid());
  E2E_REQUIRE(dialog != nullptr);
  E2E_CHECK_EQ(o.send(o.main, orv::WM_TICK, 108170, 108160), 1);
  E2E_CHECK(e2e::windowText(o.control(Control::TickLine)).find("1.08170") != std::string::npos);
  E2E_CHECK(e2e::cancelDialog(dialog));
  E2E_CHECK(o.gone(dialog));
  E2E_CHECK(o.process.running());
}

namespace {

// A tester window in this process, on a thread of its own, that stops
// handling messages when told to.
class HangingTester {
 public:
  HangingTester() {
    hang_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    WaitForSingleObject(ready_, 5000);
  }
  ~HangingTester() {
    released_ = true;
    SetEvent(hang_);
    if (window_ != nullptr) PostMessageA(window_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 30000);
    CloseHandle(thread_);
    CloseHandle(hang_);
    CloseHandle(ready_);
  }
  HWND window() const { return window_; }
  void hang() { SetEvent(hang_); }

 private:
  static DWORD WINAPI run(void* param) {
    auto* self = static_cast<HangingTester*>(param);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "E2eHangingTester";
    RegisterClassA(&wc);
    self->window_ = CreateWindowExA(0, wc.lpszClassName, orv::kTesterTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, wc.hInstance, nullptr);
    SetEvent(self->ready_);
    MSG msg;
    for (;;) {
      if (WaitForSingleObject(self->hang_, 0) == WAIT_OBJECT_0) {
        // Hung: no message is taken until the test ends.
        while (!self->released_) Sleep(50);
        break;
      }
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(5);
    }
    DestroyWindow(self->window_);
    return 0;
  }

  HANDLE hang_ = nullptr, ready_ = nullptr, thread_ = nullptr;
  HWND window_ = nullptr;
  volatile bool released_ = false;
};

}  // namespace

E2E_TEST(a_hung_tester_costs_one_wait_not_a_freeze) {
  HangingTester tester;
  E2E_REQUIRE(tester.window() != nullptr);
  Orvalda o = Orvalda::start();
  o.send(o.main, orv::WM_TICK, 10816, 10815);
  tester.hang();
  // Ticking "Live Data" connects to the hung tester and waits for it.
  E2E_CHECK(e2e::postClick(o.control(Control::LiveBox)));
  E2E_REQUIRE(e2e::waitUntil([&] { return e2e::checkState(o.control(Control::LiveBox)) == BST_CHECKED; }, e2e::kPatience));
  // A tick arriving meanwhile is forwarded too and answered when that wait
  // runs out, after about five seconds, not never.
  ULONGLONG start = GetTickCount64();
  LRESULT result = 0;
  E2E_CHECK(e2e::send(o.main, orv::WM_TICK, 10817, 10816, result, 15000));
  E2E_CHECK_EQ(result, 1);
  ULONGLONG took = GetTickCount64() - start;
  if (!E2E_CHECK(took < 7000)) std::printf("    the first tick took %llu ms\n", took);
  // From then on every tick is answered at once. Sent as a feeder does,
  // without giving up on a window that is busy: Orvalda itself has just
  // spent five seconds in a send and may count as hung for a moment.
  for (int i = 0; i < 20; ++i) {
    start = GetTickCount64();
    DWORD_PTR answer = 0;
    E2E_CHECK(SendMessageTimeoutA(o.main, orv::WM_TICK, 10818 + i, 10817 + i, SMTO_NORMAL, 5000, &answer) != 0);
    E2E_CHECK_EQ(answer, 1u);
    took = GetTickCount64() - start;
    if (!E2E_CHECK(took < 1000)) std::printf("    tick %d took %llu ms\n", i, took);
  }
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
