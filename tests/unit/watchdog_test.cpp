// The stale-feed watchdog.
#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

class WatchdogTest : public FeedHubTest {
 protected:
  WatchdogTest() { announce("EURUSD", 5); }
};

TEST_F(WatchdogTest, FreshUpToFiveSecondsStaleFromSix) {
  const std::int64_t t = be.seconds;
  tick(108166, 108150);
  be.seconds = t + 5;
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(hub->tickLine().fontColor(), kWindowTextColor);
  EXPECT_EQ(hub->silenceLine().caption(), "");
  be.seconds = t + 6;
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(hub->tickLine().fontColor(), kRed);
  EXPECT_EQ(hub->silenceLine().caption(), "6 sec");
  be.seconds = t + 3600;
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(hub->silenceLine().caption(), "3600 sec");
  // Ticks resume: the next step restores the line, not the tick itself.
  tick(108166, 108150);
  EXPECT_EQ(hub->tickLine().fontColor(), kRed);
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(hub->tickLine().fontColor(), kWindowTextColor);
  EXPECT_EQ(hub->silenceLine().caption(), "");
}

TEST_F(WatchdogTest, NothingChangesBeforeTheFirstTick) {
  be.seconds += 1000;
  be.log.clear();
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(hub->silenceLine().caption(), "No Ticks");
  EXPECT_TRUE(be.log.empty());
}

TEST(WatchdogWithoutAnnouncement, TicksAloneNeverStartItUntilTestDataIsToggled) {
  MemoryBackend be;
  FeedHub rec(be);
  Message m;
  m.msg = WM_TICK;
  rec.handleFeedMessage(m);
  EXPECT_FALSE(rec.pulseTimer().enabled());
  EXPECT_EQ(rec.silenceLine().caption(), "No Ticks");
  rec.click(Control::TestDataBox);
  rec.click(Control::TestDataBox);
  // The watchdog now runs at the layout's 20 ms.
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 20u);
  be.seconds += 6;
  rec.timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(rec.silenceLine().caption(), "6 sec");
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
  ASSERT_EQ(rec.silenceLine().caption(), "6 sec");
  rec.click(Control::TestDataBox);
  be.seconds += 10;
  for (int i = 0; i < 5; ++i) rec.timerElapsed(TimerRole::Pulse);  // replay steps only
  EXPECT_EQ(rec.silenceLine().caption(), "6 sec");
  EXPECT_EQ(rec.tickLine().fontColor(), kRed);
}

}  // namespace
}  // namespace orv::test
