// The window logic's smaller parts, each alone: the tester link, the table
// replay over it, and the watchdog.
#include <gtest/gtest.h>

#include <utility>

#include "core/feed_watchdog.h"
#include "core/protocol.h"
#include "core/replay.h"
#include "core/test_ticks.h"
#include "core/tester_link.h"
#include "platform/memory_backend.h"

namespace orv {
namespace {

constexpr WindowHandle kTester = 0x5150;

struct LinkPart : ::testing::Test {
  LinkPart() { be.windows["Zentavor"] = kTester; }
  MemoryBackend be;
  TesterLink link{be, [] { return 5; }};
};

TEST_F(LinkPart, CountsWhatAHungTesterMissedAndDropsAWindowThatIsGone) {
  ASSERT_TRUE(link.open());
  EXPECT_EQ(be.sent.size(), 3u);
  be.sendResult = SendResult::NotAnswered;
  link.sendTick(2, 1);
  link.sendTick(4, 3);
  EXPECT_EQ(link.ticksNotTaken(), 2u);
  be.sendResult = SendResult::Delivered;
  link.sendTick(6, 5);
  EXPECT_EQ(be.errors, (std::vector<std::string>{"Zentavor did not answer in time: 2 ticks were not passed on to it."}));
  std::vector<std::uint64_t> lost;
  link.onLost = [&](std::uint64_t n) { lost.push_back(n); };
  be.sendResult = SendResult::NoWindow;
  link.sendTick(8, 7);
  link.sendTick(10, 9);  // nothing goes to a handle that may name another window now
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(lost, (std::vector<std::uint64_t>{1}));
  EXPECT_EQ(be.sent.size(), 7u);
  // Looked for until it comes back.
  be.windows.clear();
  link.keepLooking(true);
  link.searchTimer().fire();
  EXPECT_TRUE(link.isLooking());
  be.windows["Zentavor"] = kTester;
  be.sendResult = SendResult::Delivered;
  link.searchTimer().fire();
  EXPECT_TRUE(link.isOpen());
  EXPECT_FALSE(link.isLooking());
}

TEST_F(LinkPart, TheReplayGoesRowByRowOverTheLinkAndEndsItsPassOnce) {
  TableReplay replay;
  EXPECT_FALSE(replay.step(link, 5));  // no link, no row
  EXPECT_EQ(replay.row(), 0);
  ASSERT_TRUE(link.open());
  bool nestedStepSent = true, nested = false;
  be.onSend = [&](const SentMessage&) {
    if (std::exchange(nested, true)) return;
    const std::size_t before = be.sent.size();
    replay.step(link, 5);  // a timer event while the send waits
    nestedStepSent = be.sent.size() != before;
  };
  replay.seek(kTestTickCount - 2);
  EXPECT_FALSE(replay.step(link, 5));
  EXPECT_FALSE(nestedStepSent);
  be.onSend = nullptr;
  EXPECT_TRUE(replay.step(link, 5));  // the last row
  EXPECT_EQ(replay.row(), 0);
  const TestTick last = testTick(kTestTickCount - 1);
  EXPECT_EQ(be.sent.back(), (SentMessage{kTester, WM_TICK, replayPoints(last.ask, 5),
                                         forwardLParam(replayPoints(last.bid, 5))}));
}

TEST(FeedWatchdogPart, StaleAfterFiveSecondsAClockSetBackIsFreshPast2038Too) {
  struct Case {
    std::int64_t last, now;
    bool stale;
    const char* silence;
  };
  const Case cases[] = {{1000, 1005, false, ""},       {1000, 1006, true, "6 sec"},
                        {1000, 990, false, ""},        {4'102'444'800, 4'102'444'807, true, "7 sec"},
                        {1000, 1000 + 3600, true, "3600 sec"}};
  for (const Case& c : cases) {
    FeedWatchdog watchdog;
    EXPECT_FALSE(watchdog.hasSeenTicks());
    watchdog.tickArrived(c.last);
    const FeedWatchdog::Look look = watchdog.look(c.now);
    EXPECT_EQ(look.stale, c.stale) << c.now;
    EXPECT_EQ(look.silence, c.silence) << c.now;
  }
}

}  // namespace
}  // namespace orv
