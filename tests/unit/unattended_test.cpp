// Recording without a person: files named from a pattern, one per symbol and
// per day, added to across restarts, tried again after the disk failed; the
// tester looked for until it comes; the folder the save dialog remembers.
#include "tests/unit/recorder_fixture.h"

namespace orv::test {
namespace {

const char* const kPattern = "C:\\t\\{symbol}-{date}.csv";

class UnattendedTest : public RecorderTest {
 protected:
  void startWith(StartOptions options) { rec = std::make_unique<Recorder>(be, options); }
  void startRecording(bool daily = false, bool utc = false) {
    StartOptions o;
    o.recordPattern = kPattern;
    o.daily = daily;
    o.utc = utc;
    startWith(o);
  }
  std::string file(const std::string& path) const {
    auto f = be.fileAt(path);
    return f ? f->data : std::string("<no file>");
  }
  void at(std::uint16_t day, std::uint16_t hour, std::uint16_t minute, std::uint16_t second, std::uint16_t ms) {
    be.now = {2026, 12, day, hour, minute, second, ms};
  }
};

TEST_F(UnattendedTest, EachAnnouncedSymbolGetsItsFileFromTheNextTickOn) {
  startRecording();
  tick(100, 99);  // before any announcement: the default symbol's file
  announce("EURUSD", 5);
  EXPECT_EQ(rec->recordButton().caption(), "STOP RECORDING");
  tick(108166, 108150);
  announce("EURUSD", 5);  // the same symbol again: the same file
  tick(108167, 108151);
  announce("GBPUSD", 5);
  tick(127001, 127000);
  EXPECT_EQ(file("C:\\t\\XXXYYY-20261206.csv"), "XXX/YYY,20261206 14:03:27.045,0.0099,0.0100\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"),
            "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
            "EUR/USD,20261206 14:03:27.045,1.08151,1.08167\r\n");
  EXPECT_EQ(file("C:\\t\\GBPUSD-20261206.csv"), "GBP/USD,20261206 14:03:27.045,1.27000,1.27001\r\n");
  EXPECT_TRUE(be.fileAt("C:\\t\\EURUSD-20261206.csv")->closed);
  EXPECT_TRUE(be.errors.empty());
}

TEST_F(UnattendedTest, AnExistingFileIsAddedToAndARowCutOffAtItsEndIsEnded) {
  std::string error;
  AppendStart start;
  be.openForAppend("C:\\t\\EURUSD-20261206.csv", start, error)->write("A\r\nEUR/USD,2026", 15, error);
  startRecording();
  announce("EURUSD", 5);
  tick(108166, 108150);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"),
            "A\r\nEUR/USD,2026\r\nEUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n");
  // A file that ends with a whole row gets no extra line end.
  rec.reset();
  startRecording();
  announce("EURUSD", 5);
  tick(108167, 108151);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv").substr(15), "\r\nEUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
                                                          "EUR/USD,20261206 14:03:27.045,1.08151,1.08167\r\n");
}

TEST_F(UnattendedTest, DailyFilesSplitAtMidnightAndNeverGoBack) {
  startRecording(true);
  announce("EURUSD", 5);
  at(6, 23, 59, 59, 999);
  tick(2, 1);
  at(7, 0, 0, 0, 0);
  tick(4, 3);
  // Daylight saving's end repeats an hour, and a clock set back past
  // midnight returns to yesterday's date: neither starts another file.
  at(7, 2, 59, 59, 0);
  tick(6, 5);
  at(7, 2, 0, 0, 0);
  tick(8, 7);
  at(8, 0, 0, 1, 0);
  tick(10, 9);
  at(7, 23, 59, 59, 0);
  tick(12, 11);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "EUR/USD,20261206 23:59:59.999,0.00001,0.00002\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261207.csv"),
            "EUR/USD,20261207 00:00:00.000,0.00003,0.00004\r\n"
            "EUR/USD,20261207 02:59:59.000,0.00005,0.00006\r\n"
            "EUR/USD,20261207 02:00:00.000,0.00007,0.00008\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261208.csv"),
            "EUR/USD,20261208 00:00:01.000,0.00009,0.00010\r\n"
            "EUR/USD,20261207 23:59:59.000,0.00011,0.00012\r\n");
}

TEST_F(UnattendedTest, UtcDrivesTheLineTheRowsTheNameAndMidnight) {
  be.now = {2026, 12, 7, 0, 30, 0, 0};  // local time is already tomorrow
  be.utcNow = {2026, 12, 6, 23, 30, 0, 0};
  startRecording(true, true);
  announce("EURUSD", 5);
  tick(2, 1);
  EXPECT_EQ(rec->tickLine().caption(), "23:30:00.000 EURUSD bid 0.00001 ask 0.00002");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "EUR/USD,20261206 23:30:00.000,0.00001,0.00002\r\n");
}

TEST_F(UnattendedTest, AFailedDiskIsToldOnceLoggedAndTriedAgainEveryMinute) {
  startRecording();
  announce("EURUSD", 5);
  be.fileAt("C:\\t\\EURUSD-20261206.csv")->failAfterBytes = 60;
  tick(2, 1);
  tick(4, 3);  // does not fit
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_EQ(be.errors[0], "Recording to C:\\t\\EURUSD-20261206.csv stopped: There is not enough space on the disk.");
  EXPECT_EQ(rec->recordButton().caption(), "START RECORDING");
  EXPECT_EQ(be.runningTimers.at(TimerId::Reopen), 60000u);
  be.createErrors["C:\\t\\EURUSD-20261206.csv"] = "The device is not ready";
  tick(6, 5);
  rec->timerElapsed(TimerId::Reopen);
  tick(8, 7);
  be.createErrors.clear();
  be.fileAt("C:\\t\\EURUSD-20261206.csv")->failAfterBytes = SIZE_MAX;
  rec->timerElapsed(TimerId::Reopen);
  tick(10, 9);
  EXPECT_EQ(be.errors.size(), 1u);
  EXPECT_EQ(be.runningTimers.count(TimerId::Reopen), 0u);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"),
            "EUR/USD,20261206 14:03:27.045,0.00001,0.00002\r\n"
            "EUR/USD,20261206 14:03:27.045,0.00009,0.00010\r\n");
  const std::string log = file("C:\\t\\orvalda.log");
  EXPECT_EQ(log,
            "2026-12-06 14:03:27.045 Recording to C:\\t\\EURUSD-20261206.csv stopped: There is not enough space on "
            "the disk\r\n"
            "2026-12-06 14:03:27.045 Trying again to record to C:\\t\\EURUSD-20261206.csv\r\n"
            "2026-12-06 14:03:27.045 Cannot record to C:\\t\\EURUSD-20261206.csv: The device is not ready\r\n"
            "2026-12-06 14:03:27.045 Trying again to record to C:\\t\\EURUSD-20261206.csv\r\n"
            "2026-12-06 14:03:27.045 Recording to C:\\t\\EURUSD-20261206.csv again; 3 ticks could not be recorded "
            "meanwhile\r\n");
}

TEST_F(UnattendedTest, TheButtonTakesTheRecordingOverFromThePattern) {
  startRecording();
  announce("EURUSD", 5);
  rec->click(Control::RecordButton);  // STOP
  EXPECT_FALSE(rec->isRecording());
  announce("GBPUSD", 5);
  tick(2, 1);
  EXPECT_EQ(be.fileAt("C:\\t\\GBPUSD-20261206.csv"), nullptr);
  rec->click(Control::RecordButton);  // the save dialog, as always
  EXPECT_EQ(be.saveDialogRuns, 1);
}

TEST_F(UnattendedTest, LiveTicksItselfAndWaitsForATesterThatComesLater) {
  StartOptions o;
  o.live = true;
  startWith(o);
  tick(2, 1);
  EXPECT_TRUE(rec->liveBox().checked());
  EXPECT_EQ(be.runningTimers.at(TimerId::TesterSearch), 3000u);
  rec->timerElapsed(TimerId::TesterSearch);
  EXPECT_TRUE(be.sent.empty());
  testerRunning();
  rec->timerElapsed(TimerId::TesterSearch);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4),
                                               msg(WM_FEED_CONTROL, 1, 0)}));
  EXPECT_EQ(be.runningTimers.count(TimerId::TesterSearch), 0u);
  tick(4, 3);
  EXPECT_EQ(be.sent.back(), msg(WM_TICK, 4, 3));
  // The tester goes: ticked again, the box looks for it; unticked, no more.
  be.windows.clear();
  rec->click(Control::LiveBox);
  rec->click(Control::LiveBox);
  EXPECT_EQ(be.runningTimers.count(TimerId::TesterSearch), 1u);
  rec->click(Control::LiveBox);
  EXPECT_EQ(be.runningTimers.count(TimerId::TesterSearch), 0u);
}

TEST_F(UnattendedTest, TheSaveDialogOpensWhereTheLastRecordingWent) {
  be.saveDialog = [](std::string& name, const SaveDialogOptions&) {
    name = "D:\\ticks\\" + name + ".csv";
    return true;
  };
  rec->click(Control::RecordButton);
  EXPECT_EQ(be.lastDialogFolder, "");
  EXPECT_EQ(be.settings.at("LastFolder"), "D:\\ticks");
  rec->click(Control::RecordButton);
  rec = std::make_unique<Recorder>(be);  // a new run
  rec->click(Control::RecordButton);
  EXPECT_EQ(be.lastDialogFolder, "D:\\ticks");
}

}  // namespace
}  // namespace orv::test
