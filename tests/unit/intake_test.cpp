// The feeder's messages: decoding, results, and what they switch.
#include <random>

#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

TEST_F(FeedHubTest, StartsWithTheDefaults) {
  EXPECT_EQ(state().symbol(), "XXXYYY");
  EXPECT_EQ(state().pairText(), "XXX/YYY");
  EXPECT_EQ(state().digits(), 4);
  EXPECT_EQ(state().lastTickTime(), 0);
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(state().tester(), 0u);
  EXPECT_FALSE(state().liveBox().enabled());
  EXPECT_FALSE(state().liveBox().checked());
  EXPECT_TRUE(state().testDataBox().enabled());
  EXPECT_FALSE(state().testDataBox().checked());
  EXPECT_FALSE(state().pulseTimer().enabled());
  EXPECT_EQ(state().pulseTimer().interval(), 20u);
  EXPECT_EQ(state().tickLine().caption(), "Time, Symbol, BID, ASK");
  EXPECT_EQ(state().silenceLine().caption(), "No Ticks");
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  EXPECT_EQ(hub->recordButton().kind(), ButtonKind::Ok);
  EXPECT_EQ(state().closeButton().caption(), "&Close");
  // Building the recorder starts no timer and runs no handler.
  EXPECT_TRUE(be.runningTimers.empty());
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(FeedHubTest, WorkedExampleAnnouncesEurUsdAndShowsTheTick) {
  EXPECT_EQ(send(WM_SYMBOL_HEAD, 0x00450055, 0x00520055), 1);
  EXPECT_EQ(state().symbol(), "EURU");
  EXPECT_EQ(state().pairText(), "EUR/U");
  EXPECT_EQ(send(WM_SYMBOL_TAIL, 0x00530044, 5), 1);
  EXPECT_EQ(state().symbol(), "EURUSD");
  EXPECT_EQ(state().pairText(), "EUR/USD");
  EXPECT_EQ(state().digits(), 5);
  EXPECT_EQ(state().tickLine().caption(), "EURUSD");
  be.now = MemoryBackend::localAt(2026, 12, 6, 14, 3, 27, 45);
  EXPECT_EQ(tick(108166, 108150), 1);
  EXPECT_EQ(state().tickLine().caption(), "14:03:27.045 EURUSD bid 1.08150 ask 1.08166");
}

TEST_F(FeedHubTest, LettersIgnoreTheUnusedBitsAndStopAtAZeroByte) {
  // Bits 8-15 and 24-31 carry noise.
  EXPECT_EQ(send(WM_SYMBOL_HEAD, 0xAB45CD55u, 0xFF52EE55u), 1);
  EXPECT_EQ(state().symbol(), "EURU");
  // Letter 3 zero: only letters 1 and 2.
  head(std::string("EU\0U", 4).c_str());
  EXPECT_EQ(state().symbol(), "EU");
  EXPECT_EQ(state().pairText(), "EU");
  // Only letter 4 zero: the pair keeps its slash.
  send(WM_SYMBOL_HEAD, packLetters('E', 'U'), packLetters('R', '\0'));
  EXPECT_EQ(state().symbol(), "EUR");
  EXPECT_EQ(state().pairText(), "EUR/");
  // A tail whose first letter is zero appends nothing.
  send(WM_SYMBOL_TAIL, packLetters('\0', 'D'), 5);
  EXPECT_EQ(state().symbol(), "EUR");
}

TEST_F(FeedHubTest, TailsAppendWithoutAHeadUpToABound) {
  EXPECT_EQ(tail("AB", 4), 1);
  EXPECT_EQ(state().symbol(), "XXXYYYAB");
  EXPECT_EQ(state().pairText(), "XXX/YYYAB");
  for (int i = 0; i < 5000; ++i) tail("CD", 4);
  EXPECT_EQ(state().symbol().size(), 8u + 10000u);
  EXPECT_EQ(state().pairText().size(), state().symbol().size() + 1);
  // A tick under the long symbol is shown whole.
  tick(10816, 10815);
  EXPECT_NE(state().tickLine().caption().find(state().symbol() + " bid 1.0815 ask 1.0816"), std::string::npos);
  // Letters past the bound are dropped, both texts in step; the Digits are still taken.
  for (int i = 0; i < 5000; ++i) tail("EF", 7);
  EXPECT_EQ(state().symbol().size(), AnnouncedSymbol::kLongestSymbol);
  EXPECT_EQ(state().pairText(), "XXX/" + state().symbol().substr(3));
  EXPECT_EQ(state().digits(), 7);
  announce("EURUSD", 5);  // a head starts afresh
  EXPECT_EQ(state().pairText(), "EUR/USD");
}

TEST_F(FeedHubTest, ResultsOfTheFourCodesAndOthersPassedOn) {
  bool handled = false;
  EXPECT_EQ(send(WM_TICK, 1, 1, &handled), 1);
  EXPECT_TRUE(handled);
  EXPECT_EQ(head("EURU"), 1);
  EXPECT_EQ(tail("SD", 5), 1);
  const auto before = be.log.size();
  EXPECT_EQ(send(WM_FEED_CONTROL, 0, 0, &handled), 0);
  EXPECT_TRUE(handled);
  EXPECT_EQ(send(WM_FEED_CONTROL, 0xFFFFFFFF, -1, &handled), 0);
  EXPECT_EQ(be.log.size(), before);  // changed nothing
  send(0x0401, 1, 1, &handled);
  EXPECT_FALSE(handled);
  send(0x10000400, 1, 1, &handled);  // full 32-bit code compared
  EXPECT_FALSE(handled);
}

TEST_F(FeedHubTest, HeadAloneChangesOnlyTheTexts) {
  head("GBPU");
  EXPECT_EQ(state().symbol(), "GBPU");
  EXPECT_EQ(state().tickLine().caption(), "Time, Symbol, BID, ASK");
  EXPECT_EQ(state().digits(), 4);
  EXPECT_FALSE(state().pulseTimer().enabled());
  EXPECT_TRUE(state().testDataBox().enabled());
}

TEST_F(FeedHubTest, StateTableTicksThenAnnouncement) {
  tick(10816, 10815);
  EXPECT_TRUE(state().liveBox().enabled());
  EXPECT_FALSE(state().liveBox().checked());
  EXPECT_EQ(state().lastTickTime(), be.seconds);
  EXPECT_FALSE(state().pulseTimer().enabled());  // ticks alone start no watchdog
  EXPECT_EQ(state().tickLine().caption(), "14:03:27.045 XXXYYY bid 1.0815 ask 1.0816");

  announce("EURUSD", 5);
  EXPECT_FALSE(state().testDataBox().enabled());
  EXPECT_FALSE(state().testDataBox().checked());
  EXPECT_TRUE(state().pulseTimer().enabled());
  EXPECT_EQ(state().pulseTimer().interval(), 500u);
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 500u);

  // A second announcement changes texts and digits, and restarts no timer.
  const int starts = be.timerStarts[timerId(TimerRole::Pulse)];
  announce("GBPJPY", 3);
  EXPECT_EQ(state().pairText(), "GBP/JPY");
  EXPECT_EQ(state().digits(), 3);
  EXPECT_EQ(be.timerStarts[timerId(TimerRole::Pulse)], starts);
}

TEST_F(FeedHubTest, AnnouncementBeforeAnyTickLeavesTheWatchdogIdle) {
  announce("EURUSD", 5);
  EXPECT_TRUE(state().pulseTimer().enabled());
  be.seconds += 100;
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(state().silenceLine().caption(), "No Ticks");
  EXPECT_FALSE(state().liveBox().enabled());
}

TEST_F(FeedHubTest, DigitsTakeAll32BitsSigned) {
  tail("SD", -3);
  EXPECT_EQ(state().digits(), -3);
  send(WM_SYMBOL_TAIL, packLetters('S', 'D'), static_cast<std::int64_t>(0x80000000u));
  EXPECT_EQ(state().digits(), INT32_MIN);
  tail("SD", 2);
  tick(108150, 108150);
  EXPECT_NE(state().tickLine().caption().find("bid 1081.50"), std::string::npos);
}

TEST_F(FeedHubTest, ParametersAreTheirLow32BitsUnsigned) {
  // A 32-bit feeder's lParam reaches a 64-bit window sign-extended.
  tail("SD", 0);
  send(WM_TICK, 0xFFFFFFFFull, static_cast<std::int64_t>(static_cast<std::int32_t>(0x80000000u)));
  EXPECT_NE(state().tickLine().caption().find("bid 2147483648 ask 4294967295"), std::string::npos);
  // Garbage in the high halves of the parameters is ignored too.
  send(WM_TICK, 0xDEADBEEF00000005ull, static_cast<std::int64_t>(0x1234567800000007ll));
  EXPECT_NE(state().tickLine().caption().find("bid 7 ask 5"), std::string::npos);
}

TEST_F(FeedHubTest, TimerFailureEndsTheTailAfterItsResult) {
  be.timersLeft = 0;
  bool handled = false;
  std::int64_t result = 0;
  Message m;
  m.msg = WM_SYMBOL_TAIL;
  m.wParam = packLetters('S', 'D');
  m.lParam = 5;
  runGuarded(be, [&] { handled = hub->handleFeedMessage(m); });
  result = m.result;
  EXPECT_EQ(result, 1);
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_EQ(be.errors[0], "Not enough timers available.");
  // Steps before the failure stay done.
  EXPECT_EQ(state().digits(), 5);
  EXPECT_FALSE(state().testDataBox().enabled());
  EXPECT_TRUE(state().pulseTimer().enabled());
}

// Any codes, parameters and order: nothing crashes and the invariants hold.
TEST_F(FeedHubTest, RandomMessagesKeepTheInvariants) {
  testerRunning();
  std::mt19937 rng(20261207);
  const std::uint32_t codes[] = {WM_TICK, WM_SYMBOL_HEAD, WM_SYMBOL_TAIL, WM_FEED_CONTROL, 0x401, 0, 0x4FF};
  std::int32_t lastDigits = 4;
  bool announced = false;
  std::string model = "XXXYYY", modelPair = "XXX/YYY";
  for (int i = 0; i < 4000; ++i) {
    const std::uint32_t code = codes[rng() % std::size(codes)];
    const std::uint64_t w = (static_cast<std::uint64_t>(rng()) << 32) | rng();
    const std::int64_t l = static_cast<std::int64_t>((static_cast<std::uint64_t>(rng()) << 32) | rng());
    if (rng() % 50 == 0) hub->click(Control::TestDataBox);
    if (rng() % 50 == 0) hub->click(Control::LiveBox);
    if (rng() % 20 == 0) {
      be.seconds += rng() % 10;
      hub->timerElapsed(TimerRole::Pulse);
    }
    const std::int64_t result = send(code, w, l);
    if (code == WM_SYMBOL_TAIL) {
      lastDigits = static_cast<std::int32_t>(static_cast<std::uint32_t>(l));
      announced = true;
    }
    const bool protocol = code == WM_TICK || code == WM_SYMBOL_HEAD || code == WM_SYMBOL_TAIL;
    ASSERT_EQ(result, protocol ? 1 : 0) << "message " << i;
    ASSERT_EQ(state().digits(), lastDigits);
    // Both texts change together, by the same letters, cut at a zero byte.
    if (code == WM_SYMBOL_HEAD) {
      const char c4[4] = {char((w >> 16) & 0xFF), char(w & 0xFF), char((l >> 16) & 0xFF), char(l & 0xFF)};
      model = modelPair = "";
      for (int k = 0; k < 4 && c4[k] != 0; ++k) model += c4[k];
      for (int k = 0; k < 5; ++k) {
        const char c = k < 3 ? c4[k] : k == 3 ? '/' : c4[3];
        if (c == 0) break;
        modelPair += c;
      }
    } else if (code == WM_SYMBOL_TAIL) {
      std::string t;
      if (((w >> 16) & 0xFF) != 0) {
        t += char((w >> 16) & 0xFF);
        if ((w & 0xFF) != 0) t += char(w & 0xFF);
      }
      model += t;
      modelPair += t;
    }
    const std::string& s = state().symbol();
    ASSERT_EQ(s, model);
    ASSERT_EQ(state().pairText(), modelPair);
    ASSERT_EQ(s.find('\0'), std::string::npos);
    if (announced) {
      ASSERT_FALSE(state().testDataBox().enabled());
      ASSERT_FALSE(state().testDataBox().checked());
      ASSERT_EQ(state().pulseTimer().interval(), 500u);
    }
    // The link is open only while a box is ticked.
    if (state().tester() != 0) {
      ASSERT_TRUE(state().liveBox().checked() || state().testDataBox().checked());
    }
  }
  EXPECT_TRUE(announced);
}

}  // namespace
}  // namespace orv::test
