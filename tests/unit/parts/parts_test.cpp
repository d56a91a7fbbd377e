// The table replay alone, over a tester link. The link and the watchdog are
// tested through the window's logic (tester_link_test, watchdog_test).
#include <gtest/gtest.h>

#include <utility>

#include "core/protocol.h"
#include "core/replay.h"
#include "core/replay_table.h"
#include "core/tester_link.h"
#include "platform/memory_backend.h"
#include "tests/unit/feed_hub_peer.h"

namespace orv {
namespace {

constexpr WindowHandle kTester = 0x5150;

struct LinkPart : ::testing::Test {
  LinkPart() { be.windows["Zentavor"] = kTester; }
  MemoryBackend be;
  TesterLink link{be, be, [] { return 5; }};
};

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
  FeedHubPeer::seek(replay, kReplayTickCount - 2);
  EXPECT_FALSE(replay.step(link, 5));
  EXPECT_FALSE(nestedStepSent);
  be.onSend = nullptr;
  EXPECT_TRUE(replay.step(link, 5));  // the last row
  EXPECT_EQ(replay.row(), 0);
  const ReplayTick last = replayTick(kReplayTickCount - 1);
  EXPECT_EQ(be.sent.back(), (SentMessage{kTester, WM_TICK, replayPoints(last.ask, 5),
                                         forwardLParam(replayPoints(last.bid, 5))}));
}

}  // namespace
}  // namespace orv
