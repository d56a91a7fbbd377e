// The stale-feed watchdog.
#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

class WatchdogTest : public FeedHubTest {
 protected:
  WatchdogTest() { announce("EURUSD", 5); }
};

TEST_F(WatchdogTest, StaleFromSixSecondsAClockSetBackIsFreshPast2038Too) {
  struct Case {
    std::int64_t last, now;
    const char* silence;  // empty: fresh
  };
  const Case cases[] = {{1000, 1005, ""},         {1000, 1006, "6 sec"}, {1000, 990, ""},
                        {4'102'444'800, 4'102'444'807, "7 sec"}, {1000, 1000 + 3600, "3600 sec"}};
  for (const Case& c : cases) {
    be.seconds = c.last;
    tick(108166, 108150);
    be.seconds = c.now;
    hub->timerElapsed(TimerRole::Pulse);
    EXPECT_EQ(state().silenceLine().caption(), c.silence) << c.now;
    EXPECT_EQ(state().tickLine().fontColor(), *c.silence != '\0' ? kRed : kWindowTextColor) << c.now;
  }
  // Ticks resume: the next step restores the line, not the tick itself.
  tick(108166, 108150);
  EXPECT_EQ(state().tickLine().fontColor(), kRed);
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(state().tickLine().fontColor(), kWindowTextColor);
  EXPECT_EQ(state().silenceLine().caption(), "");
}

TEST_F(WatchdogTest, NothingChangesBeforeTheFirstTick) {
  be.seconds += 1000;
  be.log.clear();
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(state().silenceLine().caption(), "No Ticks");
  EXPECT_TRUE(be.log.empty());
}

TEST(WatchdogWithoutAnnouncement, TicksAloneNeverStartItUntilTestDataIsToggled) {
  MemoryBackend be;
  FeedHub rec(be);
  Message m;
  m.msg = WM_TICK;
  rec.handleFeedMessage(m);
  EXPECT_FALSE(FeedHubPeer(rec).pulseTimer().enabled());
  EXPECT_EQ(FeedHubPeer(rec).silenceLine().caption(), "No Ticks");
  rec.click(Control::TestDataBox);
  rec.click(Control::TestDataBox);
  // The watchdog now runs at the layout's 20 ms.
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 20u);
  be.seconds += 6;
  rec.timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(FeedHubPeer(rec).silenceLine().caption(), "6 sec");
}

TEST(WatchdogWithoutAnnouncement, ReplayedRowsNeitherRefreshNorAgeTheDisplay) {
  MemoryBackend be;
  be.windows["Zentavor"] = 7;
  FeedHub rec(be);
  Message m;
  m.msg = WM_TICK;
  rec.handleFeedMessage(m);
  rec.click(Control::TestDataBox);
  rec.click(Control::TestDataBox);
  be.seconds += 6;
  rec.timerElapsed(TimerRole::Pulse);
  ASSERT_EQ(FeedHubPeer(rec).silenceLine().caption(), "6 sec");
  rec.click(Control::TestDataBox);
  be.seconds += 10;
  for (int i = 0; i < 5; ++i) rec.timerElapsed(TimerRole::Pulse);  // replay steps only
  EXPECT_EQ(FeedHubPeer(rec).silenceLine().caption(), "6 sec");
  EXPECT_EQ(FeedHubPeer(rec).tickLine().fontColor(), kRed);
}

}  // namespace
}  // namespace orv::test
