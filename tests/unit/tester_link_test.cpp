// The link to the tester: connect, disconnect, forward, and the close query.
#include <utility>
#include <vector>

#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

using Msgs = std::vector<SentMessage>;

class LinkTest : public FeedHubTest {
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
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.sent, connect4);
  EXPECT_EQ(state().tester(), kTester);
  be.sent.clear();
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_EQ(state().tester(), 0u);
}

// A feeder's tick can be handled inside any send of the connect or the
// disconnect (the thread waits in it). The tester never gets it inside the
// connect: it goes on, in order, once the connect is complete, with a tick
// handled inside its own forward behind it; one inside the disconnect stays.
// Each is shown at once either way.
TEST_F(LinkTest, ATickInsideTheConnectWaitsForItsEndAndOneInsideTheDisconnectStays) {
  for (std::size_t at = 0; at < connect4.size(); ++at) {
    SCOPED_TRACE(at);
    be.sent.clear();
    std::vector<int> inFlight;  // sends in flight as each one began
    be.onSend = [&](const SentMessage&) {
      inFlight.push_back(be.sendsInFlight);
      if (be.sent.size() == at + 1) tick(30000, 29999);
      if (be.sent.size() == connect4.size() + 1) tick(40000, 39999);  // inside the first forward
    };
    hub->click(Control::LiveBox);
    Msgs expected = connect4;
    expected.push_back(msg(WM_TICK, 30000, 29999));
    expected.push_back(msg(WM_TICK, 40000, 39999));
    EXPECT_EQ(be.sent, expected);
    EXPECT_EQ(inFlight, std::vector<int>(expected.size(), 1));
    EXPECT_NE(state().tickLine().caption().find("bid 3.9999"), std::string::npos);

    be.sent.clear();
    be.onSend = [&](const SentMessage& m) {
      if (m.msg == WM_FEED_CONTROL) tick(50000, 49999);
    };
    hub->click(Control::LiveBox);
    EXPECT_EQ(be.sent, disconnect);
    EXPECT_NE(state().tickLine().caption().find("bid 4.9999"), std::string::npos);
    be.onSend = nullptr;
  }
}

TEST_F(LinkTest, TicksAreForwardedUnchangedAfterDisplayAndRow) {
  hub->click(Control::LiveBox);
  be.sent.clear();
  std::string captionAtSend;
  be.onSend = [&](const SentMessage&) { captionAtSend = state().tickLine().caption(); };
  be.now += std::chrono::milliseconds(954);
  tick(4294967295u, 0x80000000u);
  // The bid travels sign-extended, as a 32-bit sender's would.
  EXPECT_EQ(be.sent, (Msgs{msg(WM_TICK, 4294967295u, static_cast<std::int64_t>(INT32_MIN))}));
  EXPECT_EQ(captionAtSend, "14:03:27.999 XXXYYY bid 214748.3648 ask 429496.7295");
}

TEST_F(LinkTest, NoTesterLeavesTheBoxTickedAndSendsNothing) {
  be.windows.clear();
  hub->click(Control::LiveBox);
  EXPECT_TRUE(state().liveBox().checked());
  EXPECT_EQ(state().tester(), 0u);
  EXPECT_TRUE(be.sent.empty());
  tick(1, 1);
  EXPECT_TRUE(be.sent.empty());
  // The tester starts: nothing changes until the box is ticked again.
  testerRunning();
  tick(1, 1);
  EXPECT_TRUE(be.sent.empty());
  hub->click(Control::LiveBox);  // untick: nothing to disconnect
  EXPECT_TRUE(be.sent.empty());
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.sent, connect4);
}

TEST_F(LinkTest, TheSecondBoxConnectsAgainAndEitherUntickClosesForBoth) {
  hub->click(Control::LiveBox);
  hub->click(Control::TestDataBox);
  EXPECT_EQ(be.sent.size(), 6u);
  EXPECT_EQ(Msgs(be.sent.begin() + 3, be.sent.end()), connect4);
  be.sent.clear();
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_TRUE(state().testDataBox().checked());
  EXPECT_EQ(state().tester(), 0u);
  be.sent.clear();
  tick(5, 5);
  hub->timerElapsed(TimerRole::Pulse);  // a stalled replay sends nothing
  EXPECT_TRUE(be.sent.empty());
}

TEST_F(LinkTest, SecondBoxWithTheTesterGoneClosesWithoutDisconnect) {
  hub->click(Control::LiveBox);
  be.sent.clear();
  be.windows.clear();
  hub->click(Control::TestDataBox);
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(state().tester(), 0u);
}

TEST_F(LinkTest, AnnouncementIsNotPassedOnTheTesterKeepsItsDigits) {
  hub->click(Control::LiveBox);
  be.sent.clear();
  announce("EURUSD", 5);
  EXPECT_TRUE(be.sent.empty());
  hub->click(Control::LiveBox);
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.sent, (Msgs{msg(WM_FEED_CONTROL, 0, 0), msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 5),
                           msg(WM_FEED_CONTROL, 1, 0)}));
}

TEST_F(LinkTest, AnnouncementDuringTestDataDisconnectsBeforeTheTailEnds) {
  hub->click(Control::TestDataBox);
  be.sent.clear();
  announce("EURUSD", 5);
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_FALSE(state().testDataBox().checked());
  EXPECT_FALSE(state().testDataBox().enabled());
  EXPECT_EQ(state().pulseTimer().interval(), 500u);
  EXPECT_TRUE(state().pulseTimer().enabled());
}

TEST_F(LinkTest, UntickingTestDataKeepsTheTimerOnlyAfterALiveTick) {
  hub->click(Control::TestDataBox);
  EXPECT_TRUE(state().pulseTimer().enabled());
  hub->click(Control::TestDataBox);
  EXPECT_TRUE(state().pulseTimer().enabled());  // a tick arrived in the fixture
  EXPECT_EQ(state().pulseTimer().interval(), 20u);

  MemoryBackend fresh;
  FeedHub noTicks(fresh);
  noTicks.click(Control::TestDataBox);
  EXPECT_TRUE(FeedHubPeer(noTicks).pulseTimer().enabled());
  noTicks.click(Control::TestDataBox);
  EXPECT_FALSE(FeedHubPeer(noTicks).pulseTimer().enabled());
  EXPECT_TRUE(fresh.runningTimers.empty());
}

TEST_F(LinkTest, LogOffEndsOnlyOnYesAndAFailedQuestionAnswersNo) {
  be.yesNoAnswer = true;
  EXPECT_TRUE(hub->mayEndSession());
  be.yesNoAnswer = false;
  EXPECT_FALSE(hub->mayEndSession());
  be.yesNoAnswer = true;
  be.onModal = [] { throw Error("The question could not be shown"); };
  EXPECT_FALSE(hub->mayEndSession());
  EXPECT_EQ(be.errors, (std::vector<std::string>{"The question could not be shown."}));
  EXPECT_EQ(be.quitRequests, 0);
  // The question unticked "Live Data"; a log-off another program cancelled
  // leaves it as it was before, connected again.
  be.onModal = nullptr;
  for (const bool ticked : {true, false}) {
    if (state().liveBox().checked() != ticked) hub->click(Control::LiveBox);
    EXPECT_TRUE(hub->mayEndSession());
    EXPECT_FALSE(state().liveBox().checked());
    be.sent.clear();
    hub->sessionEndCancelled();
    EXPECT_EQ(state().liveBox().checked(), ticked);
    EXPECT_EQ(be.sent, ticked ? connect4 : Msgs{});
  }
}

TEST_F(LinkTest, CloseWithBothBoxesSendsOneDisconnectThenAsks) {
  hub->click(Control::LiveBox);
  hub->click(Control::TestDataBox);
  be.sent.clear();
  be.log.clear();
  be.yesNoAnswer = false;
  hub->close();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_EQ(be.questions, (std::vector<std::string>{"Are you sure?"}));
  EXPECT_EQ(be.log.back(), "ask Exit: Are you sure?");
  EXPECT_EQ(be.quitRequests, 0);
  EXPECT_FALSE(state().liveBox().checked());
  EXPECT_FALSE(state().testDataBox().checked());
  // Asking again sends nothing more.
  be.sent.clear();
  hub->close();
  EXPECT_TRUE(be.sent.empty());
  EXPECT_EQ(be.questions.size(), 2u);
  be.yesNoAnswer = true;
  hub->click(Control::CloseButton);
  EXPECT_EQ(be.questions.size(), 3u);
  EXPECT_EQ(be.quitRequests, 1);
}

TEST_F(LinkTest, TicksDuringTheQuestionAreShownButNotForwarded) {
  hub->click(Control::LiveBox);
  be.sent.clear();
  be.yesNoAnswer = false;
  be.onModal = [this] { tick(20000, 19999); };
  hub->close();
  EXPECT_EQ(be.sent, disconnect);
  EXPECT_NE(state().tickLine().caption().find("bid 1.9999 ask 2.0000"), std::string::npos);
}

TEST_F(LinkTest, TicksAHungTesterDidNotTakeAreCountedAndToldOnceItAnswers) {
  hub->click(Control::LiveBox);
  be.sendResult = SendResult::NotAnswered;
  for (int i = 0; i < 3; ++i) tick(1, 1);
  EXPECT_EQ(state().ticksNotTaken(), 3u);
  EXPECT_TRUE(be.errors.empty());  // nothing to tell while it does not answer
  be.sendResult = SendResult::Delivered;
  tick(2, 2);
  EXPECT_EQ(be.errors, (std::vector<std::string>{"Zentavor did not answer in time: 3 ticks were not passed on to it."}));
  // Told once; the link closing with a new loss tells that one.
  be.sendResult = SendResult::NotAnswered;
  tick(3, 3);
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.errors.back(), "Zentavor did not answer in time: 1 tick was not passed on to it.");
  EXPECT_EQ(be.errors.size(), 2u);
}

TEST_F(LinkTest, TheSystemTimerRunsFineOnlyWhileAReplayGoesOut) {
  be.windows.clear();
  hub->click(Control::TestDataBox);  // no tester: the replay is stalled
  EXPECT_TRUE(state().pulseTimer().enabled());
  EXPECT_EQ(be.pacedPeriodMs, 0u);
  testerRunning();
  hub->click(Control::LiveBox);      // the tester is found: rows go out
  EXPECT_EQ(be.pacedPeriodMs, 20u);
  hub->click(Control::LiveBox);      // the link closes: stalled again
  EXPECT_EQ(be.pacedPeriodMs, 0u);
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.pacedPeriodMs, 20u);
  announce("EURUSD", 5);             // ends the replay; the watchdog needs no fine timer
  EXPECT_EQ(be.pacedPeriodMs, 0u);
  EXPECT_TRUE(state().pulseTimer().enabled());
}

}  // namespace
}  // namespace orv::test

namespace orv::test {
namespace {

// A tester that closes: the handle is dropped at once, the tick counted and
// told. With --live it is looked for again and a restarted tester gets the
// connect sequence and every later tick; without, both boxes show the link
// closed. Either way, a No to the close question leaves --live forwarding.
TEST_F(FeedHubTest, ATesterThatClosesIsDroppedToldAndWithLiveFoundAgain) {
  for (const bool live : {false, true}) {
    SCOPED_TRACE(live ? "--live" : "by hand");
    be = MemoryBackend();
    StartOptions options;
    options.live = live;
    hub = std::make_unique<FeedHub>(be, options);
    testerRunning();
    tick(2, 1);
    if (!live) hub->click(Control::LiveBox);
    ASSERT_EQ(state().tester(), kTester);
    be.sendResult = SendResult::NoWindow;
    be.windows.clear();
    tick(4, 3);
    tick(6, 5);
    EXPECT_EQ(state().tester(), 0u);
    EXPECT_EQ(sentTo(kTester).back(), msg(WM_TICK, 4, 3));  // nothing after the window was found gone
    ASSERT_EQ(be.errors.size(), 1u);
    EXPECT_EQ(be.errors[0], std::string("Zentavor closed its window: 1 tick was not passed on to it") +
                                (live ? "; Orvalda looks for it and passes ticks on again once it is back." : "."));
    EXPECT_EQ(state().liveBox().checked(), live);
    EXPECT_EQ(be.runningTimers.count(timerId(TimerRole::TesterSearch)), live ? 1u : 0u);

    // Restarted under another handle.
    const WindowHandle restarted = 0x6160;
    be.windows["Zentavor"] = restarted;
    be.sendResult = SendResult::Delivered;
    hub->timerElapsed(TimerRole::TesterSearch);
    tick(8, 7);
    EXPECT_EQ(state().tester(), live ? restarted : 0u);
    EXPECT_EQ(be.runningTimers.count(timerId(TimerRole::TesterSearch)), 0u);  // found: no longer looked for
    EXPECT_EQ(sentTo(restarted).size(), live ? 4u : 0u);

    be.yesNoAnswer = false;
    be.onModal = [&] { hub->close(); };  // a second close request while the question is open
    hub->close();
    be.onModal = nullptr;
    EXPECT_EQ(be.questions.size(), 1u);
    EXPECT_EQ(state().liveBox().checked(), live);
    EXPECT_EQ(state().tester(), live ? restarted : 0u);
    if (live) { EXPECT_EQ(sentTo(restarted).back(), (SentMessage{restarted, WM_FEED_CONTROL, 1, 0})); }
  }
}

}  // namespace
}  // namespace orv::test
