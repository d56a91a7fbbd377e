// Recording: the button's two transitions, the rows, and the file's fate.
#include "core/recording_file.h"
#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

class RecordingTest : public FeedHubTest {
 protected:
  RecordingTest() {
    be.saveDialog = [this](std::string& name, const SaveDialogOptions& o) {
      proposed = name;
      options = o;
      if (!accept) return false;
      name = "C:\\rec\\" + name + ".csv";
      return true;
    };
  }
  std::string data() const { return be.lastFile() ? be.lastFile()->data : std::string("<no file>"); }
  bool accept = true;
  std::string proposed;
  SaveDialogOptions options;
};

TEST_F(RecordingTest, StartProposesANameAndRecordsEveryTickAsACrLfRow) {
  announce("EURUSD", 5);
  be.now = MemoryBackend::localAt(2026, 12, 6, 14, 3, 27, 45);
  hub->click(Control::RecordButton);
  EXPECT_EQ(proposed, "EURUSD-20261206-140327");
  EXPECT_EQ(options.defaultExt, "csv");
  EXPECT_EQ(options.filter, "CSV files|*.csv");
  EXPECT_TRUE(options.confirmOverwrite);
  ASSERT_TRUE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "STOP RECORDING");
  EXPECT_EQ(hub->recordButton().kind(), ButtonKind::Cancel);
  EXPECT_EQ(be.lastFile()->path, "C:\\rec\\EURUSD-20261206-140327.csv");

  tick(108166, 108150);
  be.now += std::chrono::milliseconds(1);
  tick(108167, 108151);
  hub->click(Control::RecordButton);
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  EXPECT_EQ(hub->recordButton().kind(), ButtonKind::Ok);
  EXPECT_TRUE(be.lastFile()->closed);
  EXPECT_EQ(data(),
            "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
            "EUR/USD,20261206 14:03:27.046,1.08151,1.08167\r\n");
}

TEST_F(RecordingTest, CancelChangesNothingAndStopBeforeAnyTickLeavesAnEmptyFile) {
  accept = false;
  hub->click(Control::RecordButton);
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  EXPECT_TRUE(be.files.empty());
  accept = true;
  hub->click(Control::RecordButton);
  hub->click(Control::RecordButton);
  ASSERT_EQ(be.files.size(), 1u);
  EXPECT_EQ(data(), "");
  EXPECT_TRUE(be.lastFile()->closed);
}

TEST_F(RecordingTest, TicksDuringTheDialogAreShownButNotRecorded) {
  be.onModal = [this] {
    be.onModal = nullptr;
    tick(10001, 10000);
  };
  hub->click(Control::RecordButton);
  EXPECT_NE(state().tickLine().caption().find("bid 1.0000 ask 1.0001"), std::string::npos);
  tick(10003, 10002);
  hub->click(Control::RecordButton);
  EXPECT_EQ(data(), "XXX/YYY,20261206 14:03:27.045,1.0002,1.0003\r\n");
}

TEST_F(RecordingTest, AnnouncementWhileRecordingChangesLaterRows) {
  hub->click(Control::RecordButton);
  tick(108166, 108150);
  announce("GBPJPY", 3);
  tick(150123, 150120);
  hub->click(Control::RecordButton);
  EXPECT_EQ(data(),
            "XXX/YYY,20261206 14:03:27.045,10.8150,10.8166\r\n"
            "GBP/JPY,20261206 14:03:27.045,150.120,150.123\r\n");
}

// Nothing waits in the program for a later write, a stop or a normal end:
// a kill or the end of the Windows session after the answer loses no row.
TEST_F(RecordingTest, EachRowIsWrittenWholeInOneWriteBeforeItsTickIsAnswered) {
  hub->click(Control::RecordButton);
  const auto file = be.lastFile();
  std::string rows;
  for (std::uint32_t i = 1; i <= 12; ++i) {
    EXPECT_EQ(tick(10000 + i, 10000), 1);
    rows += "XXX/YYY,20261206 14:03:27.045,1.0000," + std::to_string(10000 + i).insert(1, ".") + "\r\n";
    EXPECT_EQ(file->writes, static_cast<int>(i));
    EXPECT_EQ(file->data, rows);
  }
  EXPECT_TRUE(state().isRecording());
}

TEST_F(RecordingTest, ClosingTheProgramWhileRecordingKeepsEveryRow) {
  hub->click(Control::RecordButton);
  const auto file = be.lastFile();
  tick(10001, 10000);
  tick(10002, 10000);
  hub->close();  // Yes
  EXPECT_EQ(be.quitRequests, 1);
  EXPECT_TRUE(state().isRecording());  // closing does not stop the recording
  hub.reset();                           // the end of the program
  EXPECT_TRUE(file->closed);
  EXPECT_EQ(file->data,
            "XXX/YYY,20261206 14:03:27.045,1.0000,1.0001\r\n"
            "XXX/YYY,20261206 14:03:27.045,1.0000,1.0002\r\n");
}

TEST_F(RecordingTest, TheSessionsEndClosesTheRecordingThenEndsTheRun) {
  hub->click(Control::RecordButton);
  tick(10001, 10000);
  hub->sessionEnds();
  EXPECT_TRUE(be.lastFile()->closed);
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(be.quitRequests, 1);
}

TEST_F(RecordingTest, AFileThatCannotBeOpenedIsReportedAndLeavesTheStartLook) {
  be.openErrors["C:\\rec\\XXXYYY-20261206-140327.csv"] = "Access is denied";
  runGuarded(be, [&] { hub->click(Control::RecordButton); });
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_EQ(be.errors[0], "Cannot record to C:\\rec\\XXXYYY-20261206-140327.csv: Access is denied.");
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  EXPECT_EQ(hub->recordButton().kind(), ButtonKind::Ok);
  // The next click starts afresh.
  be.openErrors.clear();
  hub->click(Control::RecordButton);
  EXPECT_TRUE(state().isRecording());
  EXPECT_EQ(be.saveDialogRuns, 2);
}

TEST_F(RecordingTest, ARecordingNeedsNoTimer) {
  be.timersLeft = 0;
  runGuarded(be, [&] { hub->click(Control::RecordButton); });
  EXPECT_TRUE(be.errors.empty());
  EXPECT_TRUE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "STOP RECORDING");
  tick(10001, 10000);
  EXPECT_EQ(data(), "XXX/YYY,20261206 14:03:27.045,1.0000,1.0001\r\n");
}

TEST_F(RecordingTest, AFailedWriteStopsTheRecordingOnceAndTheTickStillGoesOut) {
  testerRunning();
  be.failFilesAfterBytes = 100;  // a small disk: room for two rows of 46 bytes
  tick(1, 1);  // a live tick makes "Live Data" usable
  hub->click(Control::RecordButton);
  hub->click(Control::LiveBox);
  for (int i = 0; i < 2; ++i) tick(10000, 10000);
  EXPECT_TRUE(be.errors.empty());
  be.sent.clear();
  tick(10001, 10000);  // the third row does not fit
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_NE(be.errors[0].find("Recording to C:\\rec\\XXXYYY-20261206-140327.csv stopped: "), std::string::npos);
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  EXPECT_EQ(sentTo(kTester), (std::vector<SentMessage>{msg(WM_TICK, 10001, 10000)}));
  EXPECT_LT(logged("send 1024 10001 10000"), logged("error"));  // the error shown after the forward
  tick(10002, 10000);
  EXPECT_EQ(be.errors.size(), 1u);  // told once
  EXPECT_EQ(data(), "XXX/YYY,20261206 14:03:27.045,1.0000,1.0000\r\n"
                    "XXX/YYY,20261206 14:03:27.045,1.0000,1.0000\r\n");
}

TEST_F(RecordingTest, AFailedCloseIsReportedAndStillEndsTheRecording) {
  hub->click(Control::RecordButton);
  be.lastFile()->failClose = true;
  runGuarded(be, [&] { hub->click(Control::RecordButton); });
  EXPECT_FALSE(state().isRecording());
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_NE(be.errors[0].find("The network path was not found"), std::string::npos);
}

TEST_F(RecordingTest, ANestedTickIsRecordedAfterTheOuterOne) {
  testerRunning();
  tick(1, 1);  // a live tick makes "Live Data" usable
  hub->click(Control::RecordButton);
  hub->click(Control::LiveBox);
  bool nested = false;
  be.onSend = [&](const SentMessage& m) {
    if (m.msg == WM_TICK && !nested) {
      nested = true;
      tick(20002, 20001);
    }
  };
  tick(10002, 10001);
  hub->click(Control::RecordButton);
  EXPECT_EQ(data(),
            "XXX/YYY,20261206 14:03:27.045,1.0001,1.0002\r\n"
            "XXX/YYY,20261206 14:03:27.045,2.0001,2.0002\r\n");
  std::vector<SentMessage> ticks;
  for (const auto& m : sentTo(kTester))
    if (m.msg == WM_TICK) ticks.push_back(m);
  EXPECT_EQ(ticks, (std::vector<SentMessage>{msg(WM_TICK, 10002, 10001), msg(WM_TICK, 20002, 20001)}));
}

TEST_F(RecordingTest, ALongRowGoesOutWholeInOrder) {
  hub->click(Control::RecordButton);
  tick(1, 1);
  for (int i = 0; i < 300; ++i) tail("AB", 0);
  tick(2, 2);
  tick(3, 3);
  hub->click(Control::RecordButton);
  const std::string longPair = "XXX/YYY" + [] {
    std::string s;
    for (int i = 0; i < 300; ++i) s += "AB";
    return s;
  }();
  EXPECT_EQ(data(), "XXX/YYY,20261206 14:03:27.045,0.0001,0.0001\r\n" + longPair +
                        ",20261206 14:03:27.045,2,2\r\n" + longPair + ",20261206 14:03:27.045,3,3\r\n");
}

}  // namespace
}  // namespace orv::test
