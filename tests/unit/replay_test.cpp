// Replay of the built-in table to the tester, one row per timer event.
#include "core/test_ticks.h"
#include "tests/unit/form_fixture.h"

namespace orv::test {
namespace {

class ReplayTest : public FormTest {
 protected:
  ReplayTest() { testerRunning(); }
  std::vector<SentMessage> ticksSent() const {
    std::vector<SentMessage> out;
    for (const auto& m : be.sent)
      if (m.msg == WM_TICK) out.push_back(m);
    return out;
  }
  void steps(int n) {
    for (int i = 0; i < n; ++i) form->Timer1.fire();
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
  form->TestCheckBox.click();
  EXPECT_EQ(be.runningTimers.at(TimerId::Timer1), 20u);
  steps(4);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4),
                                               msg(WM_FEED_CONTROL, 1, 0), msg(WM_TICK, 10816, 10815),
                                               msg(WM_TICK, 10816, 10815), msg(WM_TICK, 10816, 10815),
                                               msg(WM_TICK, 10815, 10815)}));
  EXPECT_EQ(TestPos, 4);
}

TEST_F(ReplayTest, SentValuesOfTellingRows) {
  form->TestCheckBox.click();
  const auto at = [&](std::int32_t row) {
    TestPos = row;
    be.sent.clear();
    form->Timer1.fire();
    return be.sent.at(0);
  };
  EXPECT_EQ(at(10), msg(WM_TICK, 10815, 10815));
  EXPECT_EQ(at(44184), msg(WM_TICK, 10861, 10861));
  EXPECT_EQ(at(88367), msg(WM_TICK, 10881, 10872));
}

TEST_F(ReplayTest, ResumesWhereItStoppedAndRestartsAfterTheLastRow) {
  form->TestCheckBox.click();
  steps(7);
  form->TestCheckBox.click();  // untick
  EXPECT_EQ(TestPos, 7);
  be.sent.clear();
  form->TestCheckBox.click();
  form->Timer1.fire();
  ASSERT_EQ(be.sent.size(), 4u);
  const TestTick row7 = testTick(7);
  EXPECT_EQ(be.sent[3], msg(WM_TICK, replayPoints(row7.ask, 4), replayPoints(row7.bid, 4)));

  TestPos = kTestTickCount - 1;
  be.sent.clear();
  form->Timer1.fire();
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_TICK, 10881, 10872), msg(WM_FEED_CONTROL, 0, 0)}));
  EXPECT_EQ(TestPos, 0);
  EXPECT_FALSE(form->TestCheckBox.checked());
  EXPECT_EQ(form->TesterWnd, 0u);
  EXPECT_FALSE(form->Timer1.enabled());  // no live tick has arrived
  be.sent.clear();
  form->TestCheckBox.click();
  form->Timer1.fire();
  EXPECT_EQ(be.sent.back(), msg(WM_TICK, 10816, 10815));
}

TEST_F(ReplayTest, AFullPassSendsEveryRowOnceInOrder) {
  form->TestCheckBox.click();
  be.sent.clear();
  steps(kTestTickCount);
  ASSERT_EQ(be.sent.size(), static_cast<std::size_t>(kTestTickCount) + 1);
  for (int i = 0; i < kTestTickCount; i += 997) {
    const TestTick r = testTick(i);
    ASSERT_EQ(be.sent[i], msg(WM_TICK, replayPoints(r.ask, 4), replayPoints(r.bid, 4))) << "row " << i;
  }
  EXPECT_EQ(be.sent.back(), msg(WM_FEED_CONTROL, 0, 0));
  EXPECT_FALSE(form->TestCheckBox.checked());
  EXPECT_EQ(TestPos, 0);
  // No live tick came: the timer stops with the replay.
  EXPECT_FALSE(form->Timer1.enabled());
}

TEST_F(ReplayTest, AStalledReplayKeepsItsPlace) {
  be.windows.clear();
  form->TestCheckBox.click();
  EXPECT_TRUE(form->TestCheckBox.checked());
  EXPECT_TRUE(form->Timer1.enabled());
  steps(10);
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(TestPos, 0);
  testerRunning();  // starting the tester now changes nothing
  steps(3);
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(ReplayTest, NothingOfTheReplayIsShownRecordedOrCountedAsATick) {
  be.saveDialog = [](std::string& name, const SaveDialogOptions&) { return !name.empty(); };
  form->BitBtn1.click();
  const std::string caption = form->TickLabel.caption();
  form->TestCheckBox.click();
  steps(50);
  EXPECT_EQ(form->TickLabel.caption(), caption);
  EXPECT_EQ(form->LastTickTime, 0);
  EXPECT_FALSE(form->LiveCheckBox.enabled());
  form->BitBtn1.click();
  EXPECT_EQ(be.lastFile()->data, "");
}

TEST_F(ReplayTest, LiveTicksInterleaveWithReplayedRows) {
  form->TestCheckBox.click();
  be.sent.clear();
  form->Timer1.fire();
  tick(20000, 19999);
  form->Timer1.fire();
  EXPECT_EQ(ticksSent(), (std::vector<SentMessage>{msg(WM_TICK, 10816, 10815), msg(WM_TICK, 20000, 19999),
                                                   msg(WM_TICK, 10816, 10815)}));
}

TEST_F(ReplayTest, AnnouncementDuringAReplayStopsItForTheRun) {
  form->TestCheckBox.click();
  steps(5);
  announce("EURUSD", 5);
  EXPECT_EQ(TestPos, 5);
  form->TestCheckBox.click();  // disabled: a user cannot tick it again
  EXPECT_FALSE(form->TestCheckBox.checked());
  be.sent.clear();
  steps(3);  // watchdog steps now
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(ReplayTest, AnUntickDuringTheSendStillAdvances) {
  form->TestCheckBox.click();
  be.onSend = [&](const SentMessage& m) {
    if (m.msg == WM_TICK) {
      be.onSend = nullptr;
      announce("EURUSD", 5);
    }
  };
  form->Timer1.fire();
  EXPECT_EQ(TestPos, 1);
  EXPECT_FALSE(form->TestCheckBox.checked());
}

}  // namespace
}  // namespace orv::test
