// Recording without a person: files named from a pattern, one per symbol and
// per day, added to across restarts, tried again after the disk failed; the
// tester looked for until it comes; the folder the save dialog remembers.
#include "tests/unit/feed_hub_fixture.h"

namespace orv::test {
namespace {

const char* const kPattern = "C:\\t\\{symbol}-{date}.csv";

class UnattendedTest : public FeedHubTest {
 protected:
  void startWith(StartOptions options) { hub = std::make_unique<FeedHub>(be, options); }
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
  // Both clocks: local time, and UTC `utcOffset` hours behind it.
  void at(std::uint16_t day, std::uint16_t hour, std::uint16_t minute, std::uint16_t second, std::uint16_t ms,
          int utcOffset = 1) {
    be.now = MemoryBackend::localAt(2026, 12, day, hour, minute, second, ms);
    be.utcClock = std::chrono::sys_time<std::chrono::milliseconds>(be.now.time_since_epoch() - std::chrono::hours(utcOffset));
  }
};

TEST_F(UnattendedTest, EachAnnouncedSymbolGetsItsFileFromTheNextTickOn) {
  startRecording();
  tick(100, 99);  // before any announcement: the default symbol's file
  announce("EURUSD", 5);
  EXPECT_EQ(hub->recordButton().caption(), "STOP RECORDING");
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
  EXPECT_TRUE(be.errors.empty());
  hub.reset();
  EXPECT_TRUE(be.fileAt("C:\\t\\EURUSD-20261206.csv")->closed);
}

// Dropped without an end: its files end at the latest stamp it was given,
// UTC here, never by a clock of its own.
TEST_F(UnattendedTest, DroppedWithoutAnEndItsFilesEndAtTheLatestStampGiven) {
  auto recording = std::make_unique<UnattendedRecording>(be, be.archiver(), kPattern, true);
  recording->record(wallTimeOf(be.utcClock), be.utcClock, "EURUSD", "EUR/USD,20261206 13:03:27.045,1.08150,1.08166\r\n",
                    Quote{108150, 108166});
  recording.reset();
  EXPECT_NE(file("C:\\t\\orvalda.log").find("2026-12-06 13:03:27.045 Ended C:\\t\\EURUSD-20261206.csv: 1 row"),
            std::string::npos)
      << file("C:\\t\\orvalda.log");
}

// A feeder that alternates symbols: the files stay open, every row goes to
// its file in order, and the log tells only each file's start and end, and
// a switch back after a quiet minute. Past the files kept open, the one
// chosen longest ago is ended.
TEST_F(UnattendedTest, AlternatingSymbolsKeepTheirFilesOpenAndTheLogShort) {
  startRecording();
  std::string expected[2];
  for (int i = 0; i < 1000; ++i) {
    const bool eur = i % 2 == 0;
    announce(eur ? "EURUSD" : "GBPUSD", 5);
    tick(static_cast<std::uint32_t>(200000 + i), static_cast<std::uint32_t>(100000 + i));
    expected[eur ? 0 : 1] += std::string(eur ? "EUR/USD" : "GBP/USD") + ",20261206 14:03:27.045,1." +
                             std::to_string(i + 100000).substr(1) + ",2." + std::to_string(i + 100000).substr(1) +
                             "\r\n";
  }
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), expected[0]);
  EXPECT_EQ(file("C:\\t\\GBPUSD-20261206.csv"), expected[1]);
  EXPECT_EQ(std::count_if(be.files.begin(), be.files.end(), [](const auto& f) { return f->path.ends_with(".csv"); }),
            2);  // each opened once
  const std::string starts = file("C:\\t\\orvalda.log");
  EXPECT_EQ(std::count(starts.begin(), starts.end(), '\n'), 2) << starts;
  at(6, 14, 5, 0, 0);
  announce("EURUSD", 5);  // after two quiet minutes
  for (const char* other : {"AUDUSD", "USDJPY", "USDCHF", "NZDUSD", "USDCAD", "EURGBP", "EURJPY"}) announce(other, 3);
  hub.reset();
  const std::string log = file("C:\\t\\orvalda.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 + 1 + 1 + 7 + 8) << log;
  EXPECT_NE(log.find("14:05:00.000 Recording to C:\\t\\EURUSD-20261206.csv again, after 92.9 s without its rows"),
            std::string::npos) << log;
  EXPECT_NE(log.find("14:05:00.000 Ended C:\\t\\GBPUSD-20261206.csv: 500 rows"), std::string::npos) << log;
  EXPECT_LT(log.find("Ended C:\\t\\GBPUSD"), log.find("Recording to C:\\t\\EURJPY")) << log;
}

// A clock set back a little across midnight keeps the date rows go to also
// when a file opens meanwhile: another symbol's, announced or switched to,
// or the same file opened again by a retry.
TEST_F(UnattendedTest, ASmallStepBackAcrossMidnightKeepsTheDateThroughEveryReopen) {
  startRecording(true);
  at(7, 0, 0, 30, 0);
  announce("EURUSD", 5);
  tick(2, 1);
  at(6, 23, 59, 40, 0);
  announce("GBPUSD", 5);
  tick(4, 3);
  announce("EURUSD", 5);
  be.fileAt("C:\\t\\EURUSD-20261207.csv")->failAfterBytes = 0;
  tick(6, 5);  // fails: the file is closed and tried again
  be.fileAt("C:\\t\\EURUSD-20261207.csv")->failAfterBytes = SIZE_MAX;
  at(6, 23, 59, 50, 0);
  tick(8, 7);
  EXPECT_EQ(be.fileAt("C:\\t\\EURUSD-20261206.csv"), nullptr);
  EXPECT_EQ(be.fileAt("C:\\t\\GBPUSD-20261206.csv"), nullptr);
  EXPECT_EQ(file("C:\\t\\GBPUSD-20261207.csv"), "GBP/USD,20261206 23:59:40.000,0.00003,0.00004\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261207.csv"), "EUR/USD,20261207 00:00:30.000,0.00001,0.00002\r\n"
                                                   "EUR/USD,20261206 23:59:50.000,0.00007,0.00008\r\n");
}

TEST_F(UnattendedTest, AnExistingFileIsAddedToAndARowCutOffAtItsEndIsTakenOffIntoTheLog) {
  be.disk["C:\\t\\EURUSD-20261206.csv"] = std::make_shared<MemoryFile>();
  be.disk["C:\\t\\EURUSD-20261206.csv"]->data = "A\r\nEUR/USD,2026\"\x01";
  startRecording();
  announce("EURUSD", 5);
  tick(108166, 108150);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "A\r\nEUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n");
  EXPECT_EQ(file("C:\\t\\orvalda.log"),
            "2026-12-06 14:03:27.045 Took the unfinished last row off C:\\t\\EURUSD-20261206.csv before adding to "
            "it: \"EUR/USD,2026\\\"\\x01\"\r\n"
            "2026-12-06 14:03:27.045 Recording to C:\\t\\EURUSD-20261206.csv, added to its 3 bytes\r\n");
  // A file that ends with a whole row is added to as it is.
  hub.reset();
  startRecording();
  announce("EURUSD", 5);
  tick(108167, 108151);
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "A\r\nEUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
                                                 "EUR/USD,20261206 14:03:27.045,1.08151,1.08167\r\n");
}

// A run ended without closing its files (killed, a crash): the next start
// tells each file it left open with the last whole row it kept, once; a
// clean end, a file recovered after a failure and ended, and a file another
// copy adds to now are not told.
TEST_F(UnattendedTest, TheNextStartTellsTheFilesARunLeftOpenWithTheirLastRow) {
  const auto leftOpenLines = [this] {
    const std::string log = file("C:\\t\\orvalda.log");
    std::string told;
    for (std::size_t at = log.find("The run before"); at != std::string::npos; at = log.find("The run before", at + 1))
      told += log.substr(at, log.find("\r\n", at) - at) + "\n";
    return told;
  };
  // The disk as a kill leaves it: the files and the log as they were before the end.
  const auto killed = [this](std::initializer_list<const char*> paths) {
    std::map<std::string, std::string> kept;
    for (const char* path : paths) kept[path] = file(path);
    hub.reset();
    for (const auto& [path, data] : kept) be.fileAt(path)->data = data;
  };
  startRecording();
  announce("EURUSD", 5);
  tick(108166, 108150);
  hub.reset();  // a clean end
  startRecording();
  EXPECT_EQ(leftOpenLines(), "");
  announce("EURUSD", 5);
  at(6, 15, 0, 0, 0);
  tick(108167, 108151);
  announce("GBPUSD", 5);
  be.fileAt("C:\\t\\GBPUSD-20261206.csv")->failAfterBytes = 0;
  tick(127001, 127000);  // fails, and is tried again
  be.fileAt("C:\\t\\GBPUSD-20261206.csv")->failAfterBytes = SIZE_MAX;
  at(6, 15, 0, 2, 0);
  tick(127003, 127002);
  killed({"C:\\t\\orvalda.log", "C:\\t\\EURUSD-20261206.csv", "C:\\t\\GBPUSD-20261206.csv"});
  be.fileAt("C:\\t\\EURUSD-20261206.csv")->data += "EUR/USD,2026";  // a row cut off by the kill
  std::string ignored;
  const auto otherCopy = be.openFile("C:\\t\\GBPUSD-20261206.csv", FileOpening::AddTo, ignored);
  at(6, 16, 0, 0, 0);
  startRecording();
  EXPECT_EQ(leftOpenLines(),
            "The run before ended without closing C:\\t\\EURUSD-20261206.csv: the last row it kept, of "
            "2026-12-06 15:00:00.000, is EUR/USD,20261206 15:00:00.000,1.08151,1.08167\n");
  EXPECT_NE(file("C:\\t\\orvalda.log").find("2026-12-06 16:00:00.000 The run before"), std::string::npos);
  otherCopy->close(ignored);
  hub.reset();
  startRecording();  // the other copy's file, now left alone, is told; the file told before is not
  EXPECT_EQ(leftOpenLines(),
            "The run before ended without closing C:\\t\\EURUSD-20261206.csv: the last row it kept, of "
            "2026-12-06 15:00:00.000, is EUR/USD,20261206 15:00:00.000,1.08151,1.08167\n"
            "The run before ended without closing C:\\t\\GBPUSD-20261206.csv: the last row it kept, of "
            "2026-12-06 15:00:02.000, is GBP/USD,20261206 15:00:02.000,1.27002,1.27003\n");
}

TEST_F(UnattendedTest, DailyFilesFollowTheTicksDateBothWaysButASmallStepBackKeepsTheFile) {
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
  // A clock set wrong far ahead, then right again: back to today's file.
  be.now = MemoryBackend::localAt(2099, 1, 1, 0, 0, 0, 0);
  tick(14, 13);
  at(8, 0, 1, 0, 0);
  tick(16, 15);
  EXPECT_EQ(file("C:\\t\\EURUSD-20990101.csv"), "EUR/USD,20990101 00:00:00.000,0.00013,0.00014\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "EUR/USD,20261206 23:59:59.999,0.00001,0.00002\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261207.csv"),
            "EUR/USD,20261207 00:00:00.000,0.00003,0.00004\r\n"
            "EUR/USD,20261207 02:59:59.000,0.00005,0.00006\r\n"
            "EUR/USD,20261207 02:00:00.000,0.00007,0.00008\r\n");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261208.csv"),
            "EUR/USD,20261208 00:00:01.000,0.00009,0.00010\r\n"
            "EUR/USD,20261207 23:59:59.000,0.00011,0.00012\r\n"
            "EUR/USD,20261208 00:01:00.000,0.00015,0.00016\r\n");
}

TEST_F(UnattendedTest, UtcDrivesTheLineTheRowsTheNameAndMidnight) {
  be.now = MemoryBackend::localAt(2026, 12, 7, 0, 30, 0, 0);  // local time is already tomorrow
  be.utcClock = std::chrono::sys_time<std::chrono::milliseconds>(MemoryBackend::localAt(2026, 12, 6, 23, 30, 0, 0).time_since_epoch());
  startRecording(true, true);
  announce("EURUSD", 5);
  tick(2, 1);
  EXPECT_EQ(state().tickLine().caption(), "23:30:00.000 EURUSD bid 0.00001 ask 0.00002");
  EXPECT_EQ(file("C:\\t\\EURUSD-20261206.csv"), "EUR/USD,20261206 23:30:00.000,0.00001,0.00002\r\n");
}

// A full disk that clears: tried again 1 s after the failure, then at
// doubling intervals up to 10 s; every step of the gap is in the log.
TEST_F(UnattendedTest, AFailedDiskIsTriedAgainSoonThenLessOftenAndTheGapIsLoggedAndTold) {
  const std::string path = "C:\\t\\EURUSD-20261206.csv";
  at(6, 14, 0, 0, 0);
  startRecording();
  EXPECT_EQ(hub->recordButton().caption(), "STOP RECORDING");  // armed from the start
  announce("EURUSD", 5);
  be.fileAt(path)->failAfterBytes = 60;
  tick(2, 1);
  testerRunning();
  hub->click(Control::LiveBox);
  tick(4, 3);  // does not fit: forwarded, then the notice and the error shown
  EXPECT_LT(logged("send 1024 4 3"), logged("notify"));
  EXPECT_LT(logged("notify"), logged("error"));
  ASSERT_EQ(be.errors.size(), 1u);
  EXPECT_EQ(be.errors[0], "Cannot record to " + path + ": There is not enough space on the disk; Orvalda tries "
                          "again in a second, then less often, and goes on recording as soon as it can.");
  std::vector<int> triedAtHalfSeconds;
  for (int half = 1; half <= 100; ++half) {  // a tick every 0.5 s; the disk clears at 36 s
    at(6, 14, 0, static_cast<std::uint16_t>(half / 2), static_cast<std::uint16_t>(half % 2 * 500));
    if (half == 72) be.fileAt(path)->failAfterBytes = SIZE_MAX;
    const int writes = be.fileAt(path)->writes;
    tick(static_cast<std::uint32_t>(half) * 2 + 2, static_cast<std::uint32_t>(half) * 2 + 1);
    if (be.fileAt(path)->writes > writes && half <= 90) triedAtHalfSeconds.push_back(half);
    EXPECT_EQ(hub->recordButton().caption(), "STOP RECORDING");
  }
  EXPECT_EQ(triedAtHalfSeconds, (std::vector<int>{2, 6, 14, 30, 50, 70, 90}));
  ASSERT_EQ(be.errors.size(), 2u);
  const std::string gap = "90 ticks could not be recorded in the 45.0 s since " + path +
                          " failed (There is not enough space on the disk)";
  EXPECT_EQ(be.errors[1], "Recording to " + path + " again; " + gap + ".");
  EXPECT_EQ(file(path).substr(0, 47), "EUR/USD,20261206 14:00:00.000,0.00001,0.00002\r\n");
  EXPECT_EQ(file(path).substr(47, 47), "EUR/USD,20261206 14:00:45.000,0.00181,0.00182\r\n");
  hub.reset();
  EXPECT_EQ(file("C:\\t\\orvalda.log"),
            "2026-12-06 14:00:00.000 Recording to " + path + ", a new file\r\n"
            "2026-12-06 14:00:00.000 Ended " + path + ": 1 row this run, 1 line in the file, longest silence 0.0 s; problems: none; notes: none\r\n"
            "2026-12-06 14:00:00.000 Cannot record to " + path + ": There is not enough space on the disk; trying "
            "again from 1.0 s on, at most 10.0 s apart\r\n"
            "2026-12-06 14:00:45.000 Recording to " + path + " again; " + gap + "\r\n"
            "2026-12-06 14:00:50.000 Ended " + path + ": 11 rows this run, 12 lines in the file, longest silence 0.5 s; problems: none; notes: none\r\n");
}

// The log's count of a file's rows uses orvalda-check's words: repeats and
// zero spreads are notes, time going back and bid above ask problems.
TEST_F(UnattendedTest, TheLogCountsProblemsAndNotesAsOrvaldaCheckDoes) {
  startRecording();
  announce("EURUSD", 5);
  tick(108166, 108150);
  tick(108166, 108150);  // repeat
  tick(108150, 108150);  // zero spread
  tick(108150, 108160);  // crossed
  at(6, 14, 3, 27, 0);
  tick(108166, 108150);  // order
  hub.reset();
  EXPECT_NE(file("C:\\t\\orvalda.log").find(": 5 rows this run, 5 lines in the file, longest silence 0.0 s; problems: 1 order, "
                                            "1 crossed; notes: 1 repeat, "
                                            "1 zero spread\r\n"),
            std::string::npos)
      << file("C:\\t\\orvalda.log");
}

// The log judges a file as orvalda-check, given the zone, judges it: by
// each row's instant, so the hour the clock repeats at the end of summer
// time is neither time going back nor a silence; and it tells the lines the
// file holds beside this run's rows, counted once when a file is opened
// (not a file too large to read through then).
TEST_F(UnattendedTest, TheLogJudgesRowsByTheirInstantAndTellsTheFilesLines) {
  const std::string eur = "C:\\t\\EURUSD-20261206.csv", gbp = "C:\\t\\GBPUSD-20261206.csv";
  be.disk[eur] = std::make_shared<MemoryFile>();
  be.disk[eur]->data = "EUR/USD,20261206 01:00:00.000,1.1,1.2\r\nEUR/USD,20261206 01:00:01.000,1.1,1.2\r\n";
  be.disk[gbp] = std::make_shared<MemoryFile>();
  be.disk[gbp]->data = std::string(kMostBytesCountedAtOpen, '\n') + "\n";
  at(6, 2, 59, 59, 0, 2);
  startRecording();
  announce("EURUSD", 5);
  tick(2, 1);
  at(6, 2, 0, 0, 500);  // summer time ended: 1.5 s later
  tick(4, 3);
  at(6, 2, 0, 0, 400);  // the clock set back 0.1 s
  tick(6, 5);
  announce("GBPUSD", 5);
  tick(8, 7);
  hub.reset();
  const std::string log = file("C:\\t\\orvalda.log");
  EXPECT_NE(log.find("Ended " + eur + ": 3 rows this run, 5 lines in the file, longest silence 1.5 s; problems: 1 order;"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Ended " + gbp + ": 1 row this run, the file's lines not counted (it held " +
                     std::to_string(kMostBytesCountedAtOpen + 1) + " bytes before), longest silence 0.0 s"),
            std::string::npos) << log;
}

// A failure that lasts is summed up once an hour; STOP RECORDING ends the
// tries, and the end of the run says what was lost.
TEST_F(UnattendedTest, ALastingFailureIsSummedUpHourlyUntilStopEndsIt) {
  be.openErrors["C:\\t\\EURUSD-20261206.csv"] = "The device is not ready";
  at(6, 10, 0, 0, 0);
  startRecording();
  announce("EURUSD", 5);
  for (int minute = 0; minute < 150; ++minute) {
    at(6, static_cast<std::uint16_t>(10 + minute / 60), static_cast<std::uint16_t>(minute % 60), 30, 0);
    tick(2, 1);
  }
  EXPECT_EQ(be.errors.size(), 1u);
  hub->click(Control::RecordButton);  // STOP
  EXPECT_EQ(hub->recordButton().caption(), "START RECORDING");
  be.openErrors.clear();
  tick(4, 3);
  EXPECT_EQ(be.fileAt("C:\\t\\EURUSD-20261206.csv"), nullptr);
  const std::string log = file("C:\\t\\orvalda.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
  EXPECT_NE(log.find("11:00:30.000 Still cannot record to C:\\t\\EURUSD-20261206.csv: The device is not ready; 62 "
                     "tries and 61 ticks not recorded since 3630.0 s before"), std::string::npos) << log;
  EXPECT_NE(log.find("12:29:30.000 Recording ended while C:\\t\\EURUSD-20261206.csv still failed; 150 ticks were"),
            std::string::npos) << log;
}

TEST_F(UnattendedTest, TheButtonTakesTheRecordingOverFromThePattern) {
  startRecording();
  announce("EURUSD", 5);
  hub->click(Control::RecordButton);  // STOP
  EXPECT_FALSE(state().isRecording());
  announce("GBPUSD", 5);
  tick(2, 1);
  EXPECT_EQ(be.fileAt("C:\\t\\GBPUSD-20261206.csv"), nullptr);
  hub->click(Control::RecordButton);  // the save dialog, as always
  EXPECT_EQ(be.saveDialogRuns, 1);
}

TEST_F(UnattendedTest, TheSessionsEndIsNotAskedAboutAndEndsTheRecordingLogged) {
  StartOptions o;
  o.recordPattern = kPattern;
  o.live = true;
  startWith(o);
  announce("EURUSD", 5);
  tick(108166, 108150);
  EXPECT_TRUE(hub->mayEndSession());
  EXPECT_TRUE(be.questions.empty());
  hub->sessionEndCancelled();
  EXPECT_TRUE(state().liveBox().checked());
  tick(108167, 108151);
  hub->sessionEnds();
  EXPECT_TRUE(be.fileAt("C:\\t\\EURUSD-20261206.csv")->closed);
  EXPECT_NE(file("C:\\t\\orvalda.log").find("Ended C:\\t\\EURUSD-20261206.csv: 2 rows"), std::string::npos);
  EXPECT_EQ(be.quitRequests, 1);
  EXPECT_FALSE(state().isRecording());
}

TEST_F(UnattendedTest, LiveTicksItselfAndWaitsForATesterThatComesLater) {
  StartOptions o;
  o.live = true;
  startWith(o);
  tick(2, 1);
  EXPECT_TRUE(state().liveBox().checked());
  EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::TesterSearch)), 3000u);
  hub->timerElapsed(TimerRole::TesterSearch);
  EXPECT_TRUE(be.sent.empty());
  testerRunning();
  hub->timerElapsed(TimerRole::TesterSearch);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4),
                                               msg(WM_FEED_CONTROL, 1, 0)}));
  EXPECT_EQ(be.runningTimers.count(timerId(TimerRole::TesterSearch)), 0u);
  tick(4, 3);
  EXPECT_EQ(be.sent.back(), msg(WM_TICK, 4, 3));
  // The tester goes: ticked again, the box looks for it; unticked, no more.
  be.windows.clear();
  hub->click(Control::LiveBox);
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.runningTimers.count(timerId(TimerRole::TesterSearch)), 1u);
  hub->click(Control::LiveBox);
  EXPECT_EQ(be.runningTimers.count(timerId(TimerRole::TesterSearch)), 0u);
}

// With --live the first tick opens the link, and a tick can be handled
// inside the connect: the first is shown, recorded and forwarded first.
TEST_F(UnattendedTest, LiveSendsTheFirstTickFirstThoughAnotherComesDuringTheConnect) {
  StartOptions o;
  o.live = true;
  o.recordPattern = kPattern;
  startWith(o);
  testerRunning();
  be.onSend = [&](const SentMessage& m) {
    if (m.msg == WM_SYMBOL_HEAD) {
      EXPECT_NE(state().tickLine().caption().find("bid 0.0001 ask 0.0002"), std::string::npos);
      tick(4, 3);
    }
  };
  tick(2, 1);
  EXPECT_EQ(be.sent, (std::vector<SentMessage>{msg(WM_SYMBOL_HEAD, 1, 0), msg(WM_SYMBOL_TAIL, 1, 4),
                                               msg(WM_FEED_CONTROL, 1, 0), msg(WM_TICK, 2, 1), msg(WM_TICK, 4, 3)}));
  EXPECT_EQ(file("C:\\t\\XXXYYY-20261206.csv"), "XXX/YYY,20261206 14:03:27.045,0.0001,0.0002\r\n"
                                           "XXX/YYY,20261206 14:03:27.045,0.0003,0.0004\r\n");
}

TEST_F(UnattendedTest, TheSaveDialogOpensWhereTheLastRecordingWent) {
  be.saveDialog = [](std::string& name, const SaveDialogOptions&) {
    name = "D:\\ticks\\" + name + ".csv";
    return true;
  };
  hub->click(Control::RecordButton);
  EXPECT_EQ(be.lastDialogFolder, "");
  EXPECT_EQ(be.settings.at("LastFolder"), "D:\\ticks");
  hub->click(Control::RecordButton);
  hub = std::make_unique<FeedHub>(be);  // a new run
  hub->click(Control::RecordButton);
  EXPECT_EQ(be.lastDialogFolder, "D:\\ticks");
}

}  // namespace
}  // namespace orv::test
