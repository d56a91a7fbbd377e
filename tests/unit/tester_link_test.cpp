// The link to the tester: connect, disconnect, forward, and the close query.
#include "tests/unit/form_fixture.h"

namespace orv::test {
namespace {

using Msgs = std::vector<SentMessage>;

class LinkTest : public FormTest {
 protected:
  LinkTest() {
    testerRunning();
    tick(10816, 10815);  // enables Live Data
    be.sent.clear();
  }
  const Msgs connect4 = {msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4), msg(WM_FEED_CONTROL, 1, 0)};
  const Msgs disconnect = {msg(WM_FEED_CONTROL, 0, 0)};
};

TEST_F(LinkTest, LiveDataConnectsAndDisconnects) {
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, connect4);
  EXPECT_EQ(form->TesterWnd, kTester);
  be.sent.clear();
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_EQ(form->TesterWnd, 0u);
}

TEST_F(LinkTest, ConnectSendsEachMessageAfterThePreviousReturned) {
  std::vector<std::size_t> seenBefore;
  be.onSend = [&](const SentMessage&) { seenBefore.push_back(be.sent.size()); };
  form->LiveCheckBox.click();
  EXPECT_EQ(seenBefore, (std::vector<std::size_t>{1, 2, 3}));
}

TEST_F(LinkTest, TicksAreForwardedUnchangedAfterDisplayAndRow) {
  form->LiveCheckBox.click();
  be.sent.clear();
  std::string captionAtSend;
  be.onSend = [&](const SentMessage&) { captionAtSend = form->TickLabel.caption(); };
  be.now.millisecond = 999;
  tick(4294967295u, 0x80000000u);
  // The bid travels sign-extended, as a 32-bit sender's would.
  EXPECT_EQ(be.sent, (Msgs{msg(WM_TICK, 4294967295u, static_cast<std::int64_t>(INT32_MIN))}));
  EXPECT_EQ(captionAtSend, "14:03:27.999 XXXYYY bid 214748.3648 ask 429496.7295");
}

TEST_F(LinkTest, NoTesterLeavesTheBoxTickedAndSendsNothing) {
  be.windows.clear();
  form->LiveCheckBox.click();
  EXPECT_TRUE(form->LiveCheckBox.checked());
  EXPECT_EQ(form->TesterWnd, 0u);
  EXPECT_TRUE(be.sent.empty());
  tick(1, 1);
  EXPECT_TRUE(be.sent.empty());
  // The tester starts: nothing changes until the box is ticked again.
  testerRunning();
  tick(1, 1);
  EXPECT_TRUE(be.sent.empty());
  form->LiveCheckBox.click();  // untick: nothing to disconnect
  EXPECT_TRUE(be.sent.empty());
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, connect4);
}

TEST_F(LinkTest, TheSecondBoxConnectsAgainAndEitherUntickClosesForBoth) {
  form->LiveCheckBox.click();
  form->TestCheckBox.click();
  EXPECT_EQ(be.sent.size(), 6u);
  EXPECT_EQ(Msgs(be.sent.begin() + 3, be.sent.end()), connect4);
  be.sent.clear();
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_TRUE(form->TestCheckBox.checked());
  EXPECT_EQ(form->TesterWnd, 0u);
  be.sent.clear();
  tick(5, 5);
  form->Timer1.fire();  // a stalled replay sends nothing
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(LinkTest, SecondBoxWithTheTesterGoneClosesWithoutDisconnect) {
  form->LiveCheckBox.click();
  be.sent.clear();
  be.windows.clear();
  form->TestCheckBox.click();
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(form->TesterWnd, 0u);
}

TEST_F(LinkTest, AnnouncementIsNotPassedOnTheTesterKeepsItsDigits) {
  form->LiveCheckBox.click();
  be.sent.clear();
  announce("EURUSD", 5);
  EXPECT_TRUE(be.sent.empty());
  form->LiveCheckBox.click();
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, (Msgs{msg(WM_FEED_CONTROL, 0, 0), msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 5),
                           msg(WM_FEED_CONTROL, 1, 0)}));
}

TEST_F(LinkTest, AnnouncementDuringTestDataDisconnectsBeforeTheTailEnds) {
  form->TestCheckBox.click();
  be.sent.clear();
  announce("EURUSD", 5);
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_FALSE(form->TestCheckBox.checked());
  EXPECT_FALSE(form->TestCheckBox.enabled());
  EXPECT_EQ(form->Timer1.interval(), 500u);
  EXPECT_TRUE(form->Timer1.enabled());
}

TEST_F(LinkTest, UntickingTestDataKeepsTheTimerOnlyAfterALiveTick) {
  form->TestCheckBox.click();
  EXPECT_TRUE(form->Timer1.enabled());
  form->TestCheckBox.click();
  EXPECT_TRUE(form->Timer1.enabled());  // a tick arrived in the fixture
  EXPECT_EQ(form->Timer1.interval(), 20u);

  MemoryBackend fresh;
  TForm1 noTicks(fresh);
  noTicks.TestCheckBox.click();
  EXPECT_TRUE(noTicks.Timer1.enabled());
  noTicks.TestCheckBox.click();
  EXPECT_FALSE(noTicks.Timer1.enabled());
  EXPECT_TRUE(fresh.runningTimers.empty());
}

TEST_F(LinkTest, CloseWithBothBoxesSendsOneDisconnectThenAsks) {
  form->LiveCheckBox.click();
  form->TestCheckBox.click();
  be.sent.clear();
  be.log.clear();
  be.yesNoAnswer = false;
  form->Close();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_EQ(be.questions, (std::vector<std::string>{"Are you sure?"}));
  EXPECT_EQ(be.log.back(), "ask Exit: Are you sure?");
  EXPECT_EQ(be.quitRequests, 0);
  EXPECT_FALSE(form->LiveCheckBox.checked());
  EXPECT_FALSE(form->TestCheckBox.checked());
  // Asking again sends nothing more.
  be.sent.clear();
  form->Close();
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(be.questions.size(), 2u);
  be.yesNoAnswer = true;
  form->BitBtn2.click();
  EXPECT_EQ(be.questions.size(), 3u);
  EXPECT_EQ(be.quitRequests, 1);
}

TEST_F(LinkTest, TicksDuringTheQuestionAreShownButNotForwarded) {
  form->LiveCheckBox.click();
  be.sent.clear();
  be.yesNoAnswer = false;
  be.onModal = [this] { tick(20000, 19999); };
  form->Close();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_NE(form->TickLabel.caption().find("bid 1.9999 ask 2.0000"), std::string::npos);
}

TEST_F(LinkTest, NestedFeederTickDuringTheConnectIsForwarded) {
  bool once = false;
  be.onSend = [&](const SentMessage& m) {
    if (m.msg == WM_SYMBOL_TAIL && !once) {
      once = true;
      tick(30000, 29999);
    }
  };
  form->LiveCheckBox.click();
  EXPECT_EQ(be.sent, (Msgs{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4), msg(WM_TICK, 30000, 29999),
                           msg(WM_FEED_CONTROL, 1, 0)}));
}

}  // namespace
}  // namespace orv::test
