// Replay of the built-in table to the tester, one row per timer event.
#include <algorithm>

#include "core/replay_table.h"
#include "tests/unit/feed_hub_fixture.h"
#include "tests/unit/replay_table_facts.h"

namespace orv::test {
namespace {

class ReplayTest : public FeedHubTest {
 protected:
  ReplayTest() { testerRunning(); }
  std::vector<SentMessage> ticksSent() const {
    std::vector<SentMessage> out;
    for (const auto& m : be.sent)
      if (m.msg == WM_TICK) out.push_back(m);
    return out;
  }
  void steps(int n) {
    for (int i = 0; i < n; ++i) hub->timerElapsed(TimerRole::Pulse);
  }
  static SentMessage rowMsg(std::int32_t row) {
    const ReplayTick r = replayTick(row);
    return msg(WM_TICK, replayPoints(r.ask, 4), replayPoints(r.bid, 4));
  }
  // A dialog opened while the next replayed row is being sent lets a timer
  // event run inside that send.
  void timerEventDuringTheNextSend() {
    be.onSend = [this](const SentMessage& m) {
      if (m.msg != WM_TICK) return;
      be.onSend = nullptr;
      steps(1);
    };
  }
};

TEST(ReplayPoints, TruncateTheExactProductOfTheSingleScale) {
  // Row 3's ask is stored just below 1.08160: 10815.9995... goes out as 10815.
  EXPECT_EQ(replayPoints(1.08160f, 4), 10815u);
  EXPECT_EQ(replayPoints(1.08166f, 4), 10816u);
  EXPECT_EQ(replayPoints(1.08150f, 5), 108150u);
  EXPECT_EQ(replayPoints(0.0f, 4), 0u);
  EXPECT_EQ(replayPoints(-1.0f, 4), 0u);
  EXPECT_EQ(replayPoints(1.0f, 40), UINT32_MAX);  // no undefined conversion
}

TEST_F(ReplayTest, FirstRowsFollowTheConnectAtTwentyMilliseconds) {
  hub->click(Control::TestDataBox);
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::Pulse)), 20u);
  steps(4);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4),
                                               msg(WM_FEED_CONTROL, 1, 0), msg(WM_TICK, 10816, 10815),
                                               msg(WM_TICK, 10816, 10815), msg(WM_TICK, 10816, 10815),
                                               msg(WM_TICK, 10815, 10815)}));
  EXPECT_EQ(state().replayRow(), 4);
}

TEST_F(ReplayTest, SentValuesOfTellingRows) {
  hub->click(Control::TestDataBox);
  const auto at = [&](std::int32_t row) {
    state().seekReplay(row);
    be.sent.clear();
    hub->timerElapsed(TimerRole::Pulse);
    return be.sent.at(0);
  };
  EXPECT_EQ(at(10), msg(WM_TICK, 10815, 10815));
  EXPECT_EQ(at(44184), msg(WM_TICK, 10861, 10861));
  EXPECT_EQ(at(88367), msg(WM_TICK, 10881, 10872));
}

TEST_F(ReplayTest, ResumesWhereItStoppedAndRestartsAfterTheLastRow) {
  hub->click(Control::TestDataBox);
  steps(7);
  hub->click(Control::TestDataBox);  // untick
  EXPECT_EQ(state().replayRow(), 7);
  be.sent.clear();
  hub->click(Control::TestDataBox);
  hub->timerElapsed(TimerRole::Pulse);
  ASSERT_EQ(be.sent.size(), 4u);
  const ReplayTick row7 = replayTick(7);
  EXPECT_EQ(be.sent[3], msg(WM_TICK, replayPoints(row7.ask, 4), replayPoints(row7.bid, 4)));

  state().seekReplay(kReplayTickCount - 1);
  be.sent.clear();
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_TICK, 10881, 10872), msg(WM_FEED_CONTROL, 0, 0)}));
  EXPECT_EQ(state().replayRow(), 0);
  EXPECT_FALSE(state().testDataBox().checked());
  EXPECT_EQ(state().tester(), 0u);
  EXPECT_FALSE(state().pulseTimer().enabled());  // no live tick has arrived
  be.sent.clear();
  hub->click(Control::TestDataBox);
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(be.sent.back(), msg(WM_TICK, 10816, 10815));
}

TEST_F(ReplayTest, AFullPassSendsEveryRowOnceInOrder) {
  hub->click(Control::TestDataBox);
  be.sent.clear();
  steps(kReplayTickCount);
  ASSERT_EQ(be.sent.size(), static_cast<std::size_t>(kReplayTickCount) + 1);
  // The table's listed rows at their places; its ranges and gaps throughout.
  for (const DigitsFourRow& r : kDigitsFourRows)
    EXPECT_EQ(be.sent[r.row], msg(WM_TICK, r.ask, r.bid)) << "row " << r.row;
  std::uint32_t bidMin = UINT32_MAX, bidMax = 0, askMin = UINT32_MAX, askMax = 0;
  int badGap = 0;
  for (int i = 0; i < kReplayTickCount; ++i) {
    const auto ask = static_cast<std::uint32_t>(be.sent[i].wParam);
    const auto bid = static_cast<std::uint32_t>(be.sent[i].lParam);
    bidMin = std::min(bidMin, bid);
    bidMax = std::max(bidMax, bid);
    askMin = std::min(askMin, ask);
    askMax = std::max(askMax, ask);
    badGap += be.sent[i].msg != WM_TICK || ask < bid || ask - bid > kDigitsFourMaxGap ? 1 : 0;
  }
  EXPECT_EQ(badGap, 0);
  EXPECT_EQ(std::vector<std::uint32_t>({bidMin, bidMax, askMin, askMax}),
            std::vector<std::uint32_t>({kDigitsFourBidMin, kDigitsFourBidMax, kDigitsFourAskMin, kDigitsFourAskMax}));
  EXPECT_EQ(be.sent.back(), msg(WM_FEED_CONTROL, 0, 0));
  EXPECT_FALSE(state().testDataBox().checked());
  EXPECT_EQ(state().replayRow(), 0);
  // No live tick came: the timer stops with the replay.
  EXPECT_FALSE(state().pulseTimer().enabled());
}

TEST_F(ReplayTest, AStalledReplayKeepsItsPlace) {
  be.windows.clear();
  hub->click(Control::TestDataBox);
  EXPECT_TRUE(state().testDataBox().checked());
  EXPECT_TRUE(state().pulseTimer().enabled());
  steps(10);
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(state().replayRow(), 0);
  testerRunning();  // starting the tester now changes nothing
  steps(3);
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(ReplayTest, NothingOfTheReplayIsShownRecordedOrCountedAsATick) {
  be.saveDialog = [](std::string& name, const SaveDialogOptions&) { return !name.empty(); };
  hub->click(Control::RecordButton);
  const std::string caption = state().tickLine().caption();
  hub->click(Control::TestDataBox);
  steps(50);
  EXPECT_EQ(state().tickLine().caption(), caption);
  EXPECT_EQ(state().lastTickTime(), 0);
  EXPECT_FALSE(state().liveBox().enabled());
  hub->click(Control::RecordButton);
  EXPECT_EQ(be.lastFile()->data, "");
}

TEST_F(ReplayTest, LiveTicksInterleaveWithReplayedRows) {
  hub->click(Control::TestDataBox);
  be.sent.clear();
  hub->timerElapsed(TimerRole::Pulse);
  tick(20000, 19999);
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(ticksSent(), (std::vector<SentMessage>{msg(WM_TICK, 10816, 10815), msg(WM_TICK, 20000, 19999),
                                                   msg(WM_TICK, 10816, 10815)}));
}

TEST_F(ReplayTest, AnnouncementDuringAReplayStopsItForTheRun) {
  hub->click(Control::TestDataBox);
  steps(5);
  announce("EURUSD", 5);
  EXPECT_EQ(state().replayRow(), 5);
  hub->click(Control::TestDataBox);  // disabled: a user cannot tick it again
  EXPECT_FALSE(state().testDataBox().checked());
  be.sent.clear();
  steps(3);  // watchdog steps now
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(ReplayTest, AnUntickDuringTheSendStillAdvances) {
  hub->click(Control::TestDataBox);
  be.onSend = [&](const SentMessage& m) {
    if (m.msg == WM_TICK) {
      be.onSend = nullptr;
      announce("EURUSD", 5);
    }
  };
  hub->timerElapsed(TimerRole::Pulse);
  EXPECT_EQ(state().replayRow(), 1);
  EXPECT_FALSE(state().testDataBox().checked());
}

TEST_F(ReplayTest, ATimerEventDuringASendNeitherRepeatsNorSkipsARow) {
  hub->click(Control::TestDataBox);
  state().seekReplay(10);
  be.sent.clear();
  timerEventDuringTheNextSend();
  steps(2);
  EXPECT_EQ(ticksSent(), (std::vector<SentMessage>{rowMsg(10), rowMsg(11)}));
  EXPECT_EQ(state().replayRow(), 12);

  // During the last row's send: the pass ends once, and no row of the next goes out.
  state().seekReplay(kReplayTickCount - 1);
  be.sent.clear();
  timerEventDuringTheNextSend();
  steps(1);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{rowMsg(kReplayTickCount - 1), msg(WM_FEED_CONTROL, 0, 0)}));
  EXPECT_EQ(state().replayRow(), 0);
  EXPECT_FALSE(state().testDataBox().checked());
}

}  // namespace
}  // namespace orv::test
