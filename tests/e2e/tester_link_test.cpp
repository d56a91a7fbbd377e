// The link to the tester, the replay of the built-in table and the stale-feed
// watchdog, end to end: the real orvalda.exe between this test (the feeder)
// and zentavor-probe.exe (the tester), whose log shows every message the
// tester got, in order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/replay_table.h"
#include "core/window_model.h"
#include "tests/e2e/e2e.h"

namespace {

using orv::Control;
using e2e::Orvalda;

using e2e::checkEntries;
using e2e::fwd;
using e2e::kConnect1;
using e2e::kConnect3;
using e2e::kDisconnect;
using e2e::msg;
using e2e::Probe;
using Entry = e2e::ProbeEntry;

std::size_t countOf(const std::vector<Entry>& got, const Entry& e) {
  std::size_t n = 0;
  for (const Entry& g : got) n += g == e ? 1 : 0;
  return n;
}

// What the replay sends for a table price with Digits 4: the price scaled by
// 10^4 (as binary32) and truncated, the product taken exactly.
std::uint32_t replayPoints4(float price) {
  return static_cast<std::uint32_t>(std::trunc(static_cast<double>(price) * static_cast<double>(10000.0f)));
}

Entry tableRow(int row) {
  const orv::ReplayTick t = orv::replayTick(row);
  return fwd(replayPoints4(t.ask), replayPoints4(t.bid));
}

// How many pixels of a window's area on the screen are clearly red.
int redPixels(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  int red = 0;
  for (std::uint32_t p : e2e::screenPixels(r)) {
    const int b = p & 0xFF, g = (p >> 8) & 0xFF, rr = (p >> 16) & 0xFF;
    red += rr > 160 && g < 90 && b < 90 ? 1 : 0;
  }
  return red;
}

// One step of the main window's pulse timer, made now rather than waited for:
// posted as the system posts it, and taken, with whatever it set off.
void pulse(const Orvalda& o) {
  E2E_CHECK(PostMessageA(o.main, WM_TIMER, static_cast<WPARAM>(orv::timerId(orv::TimerRole::Pulse)), 0));
  E2E_REQUIRE(o.caughtUp());
}

// Waits for the tester's disconnect after position `from` of the log; its
// position, and the log in `log`.
std::size_t waitForDisconnect(const Probe& probe, std::size_t from, std::vector<Entry>& log) {
  std::size_t at = 0;
  E2E_REQUIRE(e2e::waitUntil(
      [&] {
        log = probe.entries();
        for (at = from; at < log.size(); ++at)
          if (log[at] == kDisconnect) return true;
        return false;
      },
      e2e::kPatience));
  return at;
}

}  // namespace

E2E_TEST(live_data_connects_forwards_ticks_unchanged_and_disconnects) {
  Probe probe;
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);  // makes "Live Data" usable; no link yet, nothing forwarded
  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());  // the click, with its connect sequence
  std::vector<Entry> log = probe.entries();
  checkEntries(log, 0, {kConnect1, msg(1281, 1, 4), kConnect3});
  E2E_CHECK_EQ(log.size(), 3u);

  // Forwarded in order, the parameters unchanged (the probe logs their low 32 bits).
  const std::vector<Entry> ticks = {fwd(10817, 10816), fwd(4294967295u, 0x80000000u), fwd(0, 4294967295u),
                                    fwd(0x80000000u, 0x7FFFFFFFu), fwd(1, 0)};
  for (const Entry& t : ticks) o.tick(t.wParam, t.lParam);
  // A 32-bit feeder's lParam arrives sign-extended: the same tick goes on.
  {
    LRESULT result = -1;
    E2E_CHECK(
        e2e::send(o.main, orv::WM_TICK, 10818, static_cast<LPARAM>(static_cast<std::int32_t>(0xFFFFFFFEu)), result));
    E2E_CHECK_EQ(result, 1);
  }
  // Each send returns after the forward: the log already has every tick.
  log = probe.entries();
  checkEntries(log, 3, ticks);
  checkEntries(log, 3 + ticks.size(), {fwd(10818, 0xFFFFFFFEu)});
  E2E_CHECK_EQ(log.size(), 3 + ticks.size() + 1);

  o.click(Control::LiveBox, false);
  log = probe.waitFor(10);
  checkEntries(log, 9, {kDisconnect});
  // Unticked: ticks stay here (a forward would be done before the answer).
  o.tick(10820, 10819);
  E2E_CHECK_EQ(probe.entries().size(), 10u);
}

// A folder window of the shell on a folder named "Zentavor" bears that
// title: it is passed over, and the real tester found.
E2E_TEST(a_folder_window_titled_like_the_tester_is_passed_over) {
  Probe probe;
  // Made after the tester's window, so first in the search; on a thread of
  // their own that answers whatever is sent to them.
  HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD threadId = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* param) -> DWORD {
        for (const char* cls : {"CabinetWClass", "ExploreWClass"}) {
          WNDCLASSA wc = {};
          wc.lpfnWndProc = DefWindowProcA;
          wc.lpszClassName = cls;
          RegisterClassA(&wc);
          CreateWindowExA(0, cls, orv::kTesterTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                          nullptr, nullptr, nullptr);
        }
        SetEvent(static_cast<HANDLE>(param));
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
        return 0;
      },
      made, 0, &threadId);
  E2E_REQUIRE(WaitForSingleObject(made, e2e::kPatience) == WAIT_OBJECT_0);
  E2E_REQUIRE(e2e::topWindows(GetCurrentProcessId(), "CabinetWClass", orv::kTesterTitle).size() == 1);
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);
  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());
  checkEntries(probe.entries(), 0, {kConnect1, msg(1281, 1, 4), kConnect3});
  PostThreadMessageA(threadId, WM_QUIT, 0, 0);
  WaitForSingleObject(thread, e2e::kPatience);
  CloseHandle(thread);
  CloseHandle(made);
}

// "Live Data" ticked and unticked while a feeder sends 1,000 ticks a second:
// a tick handled inside the connect's or the disconnect's sends never
// reaches the tester inside the connect or after the disconnect, and no
// error box says that the tester (which answers at once) did not answer.
E2E_TEST(live_data_toggled_under_a_fast_feed_sends_no_tick_inside_a_connect_or_after_a_disconnect) {
  Probe probe;
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);  // makes "Live Data" usable
  e2e::Process feeder =
      e2e::Process::start(e2e::feedPath(), "--synthetic 1000000 --rate 1000 --no-announce --digits 4 --no-timeout");
  std::vector<Entry> log;
  constexpr int kTries = 7;
  for (int i = 0; i < kTries; ++i) {
    o.click(Control::LiveBox, true);
    E2E_REQUIRE(e2e::waitUntil(
        [&] {
          log = probe.entries();
          return !log.empty() && log.back().code == orv::WM_TICK;
        },
        e2e::kPatience));
    o.click(Control::LiveBox, false);
    waitForDisconnect(probe, log.size(), log);
  }
  feeder.kill();
  E2E_REQUIRE(o.caughtUp());
  log = probe.entries();
  int connects = 0;
  bool open = false;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == kConnect1) {
      ++connects;
      open = true;
      if (!E2E_CHECK(i + 2 < log.size() && log[i + 1] == msg(1281, 1, 4) && log[i + 2] == kConnect3))
        std::printf("    connect %d at entry %zu is broken into\n", connects, i);
      i += 2;
    } else if (log[i] == kDisconnect) {
      open = false;
    } else if (log[i].code == orv::WM_TICK && !E2E_CHECK(open)) {
      std::printf("    a tick at entry %zu, after disconnect %d\n", i, connects);
    }
  }
  E2E_CHECK_EQ(connects, kTries);
  E2E_CHECK_EQ(o.dialogs(), 0u);
}

E2E_TEST(each_connect_looks_the_tester_up_afresh) {
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);
  // Ticked with no tester about: nothing to send to, ticks still taken.
  o.click(Control::LiveBox, true);
  o.tick(10817, 10816);
  o.click(Control::LiveBox, false);

  // (A tick sent during the connect would be forwarded in its midst: wait for its last step.)
  Probe first;
  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK(first.entries().size() == 3);
  o.tick(10818, 10817);
  checkEntries(first.waitFor(4), 0, {kConnect1, msg(1281, 1, 4), kConnect3, fwd(10818, 10817)});
  o.click(Control::LiveBox, false);
  checkEntries(first.waitFor(5), 4, {kDisconnect});
  first.process().kill();

  // A new tester window: the next connect finds it.
  Probe second;
  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());
  E2E_CHECK(second.entries().size() == 3);
  o.tick(10819, 10818);
  std::vector<Entry> log = second.waitFor(4);
  checkEntries(log, 0, {kConnect1, msg(1281, 1, 4), kConnect3, fwd(10819, 10818)});
  E2E_CHECK_EQ(log.size(), 4u);
}

E2E_TEST(a_tick_nested_in_a_forward_arrives_and_is_recorded_after_the_outer_one) {
  // The tester takes 600 ms over each message, so the first tick's forward
  // is still waiting when the second tick comes in.
  e2e::TempFolder folder;  // recorded, so the order of the rows shows too
  const std::string csv = folder.file("nested.csv");
  Probe probe("--delay-ms 600");
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);

  o.startRecording(csv);

  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());  // the click, with its connect sequence, answered step by step
  E2E_REQUIRE(probe.entries().size() == 3);

  e2e::PendingSend outer(o.main, orv::WM_TICK, 10900, 10899);
  // The outer tick has reached the tester, whose answer is not due yet.
  std::vector<Entry> log = probe.waitFor(4);
  E2E_REQUIRE(log.size() == 4);
  o.tick(10901, 10900);  // handled inside the outer forward
  E2E_REQUIRE(outer.finish());
  E2E_CHECK(outer.delivered);
  E2E_CHECK_EQ(outer.result, 1);

  log = probe.entries();
  checkEntries(log, 3, {fwd(10900, 10899), fwd(10901, 10900)});
  E2E_CHECK_EQ(log.size(), 5u);
  if (log.size() == 5) E2E_CHECK(log[4].ms - log[3].ms >= 550);  // the inner one waited for the outer answer
  E2E_CHECK(o.text(Control::TickLine).find("bid 1.0900 ask 1.0901") != std::string::npos);

  o.stopRecording();
  std::string data;
  E2E_REQUIRE(e2e::readShared(csv, data));
  const std::size_t first = data.find(",1.0899,1.0900\r\n"), second = data.find(",1.0900,1.0901\r\n");
  E2E_CHECK(first != std::string::npos);
  E2E_CHECK(second != std::string::npos);
  E2E_CHECK(first < second);
  E2E_CHECK_EQ(data.size(), 2 * std::string("XXX/YYY,20260101 00:00:00.000,1.0899,1.0900\r\n").size());
}

E2E_TEST(closing_with_both_boxes_ticked_disconnects_once_then_asks) {
  Probe probe;
  Orvalda o = Orvalda::start();
  o.tick(10816, 10815);
  o.click(Control::TestDataBox, true);  // connects and replays
  o.click(Control::LiveBox, true);  // connects again
  std::vector<Entry> log;
  E2E_REQUIRE(e2e::waitUntil(
      [&] {
        log = probe.entries();
        return countOf(log, kConnect3) == 2;
      },
      e2e::kPatience));

  E2E_CHECK(e2e::postClick(o.control(Control::CloseButton)));
  HWND box = o.question();
  E2E_REQUIRE(box != nullptr);
  log = probe.entries();
  E2E_CHECK_EQ(countOf(log, kDisconnect), 1u);
  E2E_REQUIRE(!log.empty());
  E2E_CHECK_EQ(log.back(), kDisconnect);  // the replay stopped with it
  const std::size_t atQuestion = log.size();
  E2E_CHECK_EQ(e2e::checkState(o.control(Control::LiveBox)), BST_UNCHECKED);
  E2E_CHECK_EQ(e2e::checkState(o.control(Control::TestDataBox)), BST_UNCHECKED);

  // The question waits: nothing more goes to the tester, even at a pulse.
  pulse(o);
  E2E_CHECK_EQ(probe.entries().size(), atQuestion);
  E2E_CHECK(e2e::answerMessageBox(box, IDYES));
  DWORD code = 12345;
  E2E_REQUIRE(o.process.waitExit(e2e::kPatience, code));
  E2E_CHECK_EQ(code, 0ul);
  E2E_CHECK_EQ(probe.entries().size(), atQuestion);
}

E2E_TEST(replay_sends_the_table_from_row_0_at_about_50_rows_a_second) {
  Probe probe;
  Orvalda o = Orvalda::start();
  o.click(Control::TestDataBox, true);
  std::vector<Entry> log = probe.waitFor(7);
  checkEntries(log, 0,
               {kConnect1, msg(1281, 1, 4), kConnect3, fwd(10816, 10815), fwd(10816, 10815), fwd(10816, 10815),
                fwd(10815, 10815)});

  // The pace, over at least ten seconds of the probe's own time stamps.
  E2E_REQUIRE(log.size() >= 4);
  const long firstMs = log[3].ms;
  const ULONGLONG begin = GetTickCount64();
  E2E_REQUIRE(e2e::waitUntil(
      [&] {
        log = probe.entries();
        long span = log.back().ms - firstMs;
        if (span < 0) span += 24L * 3600 * 1000;  // past midnight
        return span >= 10500;
      },
      10500 + e2e::kPatience, 100));
  o.click(Control::TestDataBox, false);
  const std::size_t disconnectAt = waitForDisconnect(probe, 3, log);
  const std::size_t rows = disconnectAt - 3;
  long span = log[disconnectAt - 1].ms - firstMs;
  if (span < 0) span += 24L * 3600 * 1000;
  const double rate = (rows - 1) * 1000.0 / span;
  std::printf("    %zu rows in %.3f s: %.2f rows/s (test's clock: %.1f s); a full pass of %d rows: %.0f s (%.1f min)\n",
              rows, span / 1000.0, rate, (GetTickCount64() - begin) / 1000.0, orv::kReplayTickCount,
              orv::kReplayTickCount / rate, orv::kReplayTickCount / rate / 60);
  E2E_CHECK(rate >= 35 && rate <= 60);

  // The replay is not a live tick: nothing of it is shown.
  E2E_CHECK_EQ(o.text(Control::TickLine), std::string("Time, Symbol, BID, ASK"));
  E2E_CHECK_EQ(o.text(Control::SilenceLine), std::string("No Ticks"));
  E2E_CHECK(!IsWindowEnabled(o.control(Control::LiveBox)));

  // Every row sent is the table's, in order from row 0.
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < rows; ++i)
    if (!(log[3 + i] == tableRow(static_cast<int>(i))) && wrong++ < 3)
      E2E_CHECK_EQ(log[3 + i], tableRow(static_cast<int>(i)));
  E2E_CHECK_EQ(wrong, 0u);

  // Ticked again: a new connect, then on from the next row.
  o.click(Control::TestDataBox, true);
  log = probe.waitFor(disconnectAt + 1 + 3 + 5);
  checkEntries(log, disconnectAt + 1, {kConnect1, msg(1281, 1, 4), kConnect3});
  for (int k = 0; k < 5; ++k) checkEntries(log, disconnectAt + 4 + k, {tableRow(static_cast<int>(rows) + k)});
  o.click(Control::TestDataBox, false);
}

E2E_TEST(watchdog_shows_the_age_of_silence_and_clears_on_the_next_tick) {
  Orvalda o = Orvalda::start();
  o.announce("EURUSD", 5);
  // Before the first tick the watchdog leaves the display alone.
  pulse(o);
  E2E_CHECK_EQ(o.text(Control::SilenceLine), std::string("No Ticks"));
  E2E_CHECK_EQ(o.text(Control::TickLine), std::string("EURUSD"));

  const ULONGLONG sent = GetTickCount64();
  o.tick(108166, 108150);
  E2E_CHECK(e2e::waitUntil([&] { return o.text(Control::SilenceLine).empty(); }, e2e::kPatience));
  // The tick line's colour, as painted on the screen: once painted, the
  // label's text as other programs read it without asking is the tick's.
  const HWND tickLabel = o.control(Control::TickLine);
  E2E_CHECK(e2e::waitUntil(
      [&] {
        char painted[256] = {};
        GetWindowTextA(tickLabel, painted, sizeof painted);
        return std::string(painted).find("bid 1.08150 ask 1.08166") != std::string::npos;
      },
      e2e::kPatience));
  E2E_CHECK_EQ(redPixels(tickLabel), 0);

  // Silence: "N sec" once more than five whole seconds have passed.
  std::string stale;
  E2E_REQUIRE(e2e::waitUntil(
      [&] {
        stale = o.text(Control::SilenceLine);
        return !stale.empty();
      },
      9000, 20));
  const ULONGLONG after = GetTickCount64() - sent;
  E2E_CHECK(e2e::waitUntil([&] { return redPixels(tickLabel) > 50; }, e2e::kPatience, 50));  // red
  std::printf("    \"%s\" shown %llu ms after the tick\n", stale.c_str(), after);
  unsigned seconds = 0;
  char rest[16] = {};
  E2E_CHECK(std::sscanf(stale.c_str(), "%u%15s", &seconds, rest) == 2 && std::string(rest) == "sec" &&
            stale == std::to_string(seconds) + " sec");
  // More than five whole seconds of the clock, and no more than had passed
  // when it was seen (counted in whole seconds of the clock: one more at most).
  E2E_CHECK(seconds >= 6 && seconds * 1000ull <= after + 1000);
  E2E_CHECK(after >= 4900);

  // The next tick and the next step: fresh again.
  o.tick(108167, 108151);
  E2E_CHECK(e2e::waitUntil([&] { return o.text(Control::SilenceLine).empty(); }, e2e::kPatience));
  E2E_CHECK(o.text(Control::TickLine).find("EURUSD bid 1.08151 ask 1.08167") != std::string::npos);
  E2E_CHECK(e2e::waitUntil([&] { return redPixels(tickLabel) == 0; }, e2e::kPatience, 50));
}

// The link opened and two ticks forwarded: the five messages a probe started
// with --hang-after 5 answers before it stops fetching any.
void answerFiveThenHang(const Orvalda& o, const Probe& probe) {
  o.tick(10816, 10815);
  o.click(Control::LiveBox, true);
  E2E_REQUIRE(o.caughtUp());
  E2E_REQUIRE(probe.entries().size() == 3);
  o.tick(10817, 10816);
  o.tick(10818, 10817);
}

// Sends a tick every 100 ms until one reaches the tester (ticks are passed by
// while it counts as hung); true when one did.
bool tickUntilForwarded(const Orvalda& o, const Probe& probe, std::uint32_t ask) {
  return e2e::waitUntil(
      [&] {
        o.tick(ask, ask - 1);
        const std::vector<Entry> log = probe.entries();
        return !log.empty() && log.back() == fwd(ask, ask - 1);
      },
      2 * e2e::kPatience, 100);
}

E2E_TEST(a_hung_tester_does_not_freeze_orvalda) {
  // Five messages answered (connect and two ticks), then twenty seconds of
  // not fetching any.
  Probe probe("--hang-after 5 --hang-ms 20000");
  Orvalda o = Orvalda::start();
  answerFiveThenHang(o, probe);
  const ULONGLONG hangStart = GetTickCount64();
  checkEntries(probe.entries(), 3, {fwd(10817, 10816), fwd(10818, 10817)});

  // The first forward after the hang waits, but Orvalda stays responsive.
  e2e::PendingSend first(o.main, orv::WM_TICK, 10819, 10818);
  E2E_CHECK(e2e::waitUntil([&] { return o.text(Control::TickLine).find("bid 1.0818 ask 1.0819") != std::string::npos; },
                           e2e::kPatience));
  const ULONGLONG askedAt = GetTickCount64();
  const std::string line = o.text(Control::TickLine);  // WM_GETTEXT, answered within 2 s or ""
  const ULONGLONG answeredIn = GetTickCount64() - askedAt;
  E2E_CHECK(line.find("bid 1.0818 ask 1.0819") != std::string::npos);
  // A feeder's tick meanwhile is handled inside the waiting forward; its own
  // forward shares that wait, so the whole nest is released when it runs out.
  const ULONGLONG nestedBegin = GetTickCount64();
  o.tick(10830, 10829);
  const ULONGLONG nestedMs = GetTickCount64() - nestedBegin;
  E2E_REQUIRE(first.finish());
  E2E_CHECK(first.delivered);
  E2E_CHECK_EQ(first.result, 1);

  // The following ones are answered at once while the tester stays hung.
  ULONGLONG longest = 0, total = 0;
  for (std::uint32_t i = 0; i < 20; ++i) {
    const ULONGLONG begin = GetTickCount64();
    o.tick(10820 + i, 10819 + i);
    const ULONGLONG took = GetTickCount64() - begin;
    longest = took > longest ? took : longest;
    total += took;
  }
  std::printf(
      "    first forward to the hung tester: %llu ms; WM_GETTEXT meanwhile: %llu ms; a tick sent 1 s into "
      "the wait: %llu ms; next 20 ticks: longest %llu ms, %llu ms in all\n",
      first.elapsedMs, answeredIn, nestedMs, longest, total);
  E2E_CHECK(first.elapsedMs <= 7000);
  E2E_CHECK(nestedMs <= 6000);
  E2E_CHECK(answeredIn <= 1000);
  E2E_CHECK(longest <= 1000);

  // The real feeder, each send limited to 2 s: every tick answered 1.
  {
    e2e::Process feeder =
        e2e::Process::start(e2e::feedPath(), "--synthetic 50 --rate 100 --no-announce --digits 4 --timeout-ms 2000");
    DWORD code = 12345;
    E2E_CHECK(feeder.waitExit(20000, code));
    E2E_CHECK_EQ(code, 0ul);
    E2E_CHECK(GetTickCount64() - hangStart < 20000);  // all of it while the tester was hung
  }

  // The tester answers again: new ticks reach it.
  E2E_CHECK(tickUntilForwarded(o, probe, 10900));
  const std::vector<Entry> log = probe.entries();
  std::printf("    the tester got %zu messages in all, %zu of them after it woke up\n", log.size(), log.size() - 5);
}

E2E_TEST(a_tester_that_recovers_is_waited_for_again) {
  // Five messages answered, seven seconds of not fetching any, then 15 ms for
  // each message.
  Probe probe("--hang-after 5 --hang-ms 7000 --delay-ms 15");
  Orvalda o = Orvalda::start();
  answerFiveThenHang(o, probe);
  const ULONGLONG hangStart = GetTickCount64();

  // While it hangs, the feeder waits once, about 5 s, and never again.
  ULONGLONG waited = 0, longWaits = 0, longest = 0;
  std::uint32_t n = 0;
  for (; GetTickCount64() - hangStart < 8000; ++n) {
    const ULONGLONG begin = GetTickCount64();
    o.tick(20000 + n, 19000 + n);
    const ULONGLONG took = GetTickCount64() - begin;
    waited += took;
    longWaits += took > 1000 ? 1 : 0;
    longest = std::max(longest, took);
    Sleep(20);
  }
  std::printf("    %u ticks while it hung: %llu long wait(s), the longest %llu ms, %llu ms waited in all\n", n,
              longWaits, longest, waited);
  E2E_CHECK_EQ(longWaits, 1ull);
  E2E_CHECK(longest < 7000);

  // Awake again, however slow: every tick reaches it, in order, and the
  // feeder's sends take the tester's pace.
  std::vector<Entry> want;
  const ULONGLONG begin = GetTickCount64();
  for (std::uint32_t i = 0; i < 100; ++i) {
    o.tick(30000 + i, 29000 + i);
    want.push_back(fwd(30000 + i, 29000 + i));
  }
  const ULONGLONG took = GetTickCount64() - begin;
  std::printf("    100 ticks after it woke up took %llu ms\n", took);
  E2E_CHECK(took >= 100 * 15);
  std::vector<Entry> log;
  E2E_CHECK(e2e::waitUntil(
      [&] {
        log = probe.entries();
        return !log.empty() && log.back() == want.back();
      },
      e2e::kPatience));
  E2E_REQUIRE(log.size() >= want.size());
  checkEntries(log, log.size() - want.size(), want);

  // The ticks it did not take are told, without holding anybody.
  HWND box = o.errorBox();
  E2E_REQUIRE(box != nullptr);
  const std::string text = e2e::messageBoxText(box);
  std::printf("    told: %s\n", text.c_str());
  E2E_CHECK(text.find("Zentavor did not answer in time: ") == 0);
  o.tick(40000, 39000);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));

  // The replay to the slow tester: every row once, in order, at its pace.
  const std::size_t live = probe.entries().size();
  o.click(Control::LiveBox, false);
  const std::size_t before = waitForDisconnect(probe, live, log) + 1;
  const ULONGLONG replayStart = GetTickCount64();
  o.click(Control::TestDataBox, true);
  E2E_CHECK(e2e::waitUntil([&] { return probe.entries().size() >= before + 3 + 40; }, e2e::kPatience));
  o.click(Control::TestDataBox, false);
  const std::size_t disconnectAt = waitForDisconnect(probe, before + 3, log);
  checkEntries(log, before, e2e::connectSequence(4));
  const std::vector<Entry> rows(log.begin() + static_cast<std::ptrdiff_t>(before + 3),
                                log.begin() + static_cast<std::ptrdiff_t>(disconnectAt));
  std::printf("    %zu rows replayed in %llu ms\n", rows.size(), GetTickCount64() - replayStart);
  E2E_CHECK(rows.size() >= 40);
  for (std::size_t i = 0; i < rows.size(); ++i) E2E_CHECK(rows[i] == tableRow(static_cast<int>(i)));
}

E2E_TEST(a_tester_lost_again_while_its_error_is_on_screen_counts_into_that_box) {
  Orvalda o = Orvalda::start("--live");
  HWND box = nullptr;
  for (int loss = 1; loss <= 2; ++loss) {
    {
      Probe probe;  // found at the first tick, then every 3 s while it is looked for
      o.tick(10816, 10815);
      E2E_REQUIRE(probe.waitFor(3, 10000).size() >= 3);
    }
    o.tick(10817, 10816);  // to a window that is gone
    if (box == nullptr) box = o.errorBox();
    E2E_REQUIRE(box != nullptr);
  }
  E2E_CHECK(e2e::waitUntil([&] { return e2e::messageBoxText(box).find("(2 times)") != std::string::npos; }, 5000));
  std::printf("    %s\n", e2e::messageBoxText(box).c_str());
  // The box grew to the new text: its button below the text, inside the box.
  RECT outer, text, ok;
  GetWindowRect(box, &outer);
  GetWindowRect(GetDlgItem(box, 0xFFFF), &text);
  GetWindowRect(GetDlgItem(box, IDOK), &ok);
  E2E_CHECK(ok.top >= text.bottom && ok.bottom <= outer.bottom);
  E2E_CHECK(e2e::answerMessageBox(box, IDOK));
  E2E_CHECK(o.gone(box));
  e2e::settle(o.main);
  E2E_CHECK_EQ(e2e::dialogCount(o.process.pid()), 0u);
}

int main(int argc, char** argv) { return e2e::runAll(argc, argv); }
