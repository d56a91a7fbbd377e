// Closed days compressed: gzip written as one member and read whole; the
// sweep's choice of files in a folder tree; a day with both files; a stop at
// any step of a sweep losing nothing; a full disk; the recording starting a
// sweep at its start and when its day moves on, and logging each file.
#include <algorithm>
#include <cstring>
#include <set>

#include "core/day_archive.h"
#include "tests/unit/feed_hub_fixture.h"
#include "tests/unit/gzip_bytes.h"

namespace orv::test {
namespace {

struct Unpacked {
  std::string text, error;
  std::uint64_t members = 0;
  std::optional<gzip::PlainMark> mark;
};

Unpacked unpack(const std::string& bytes) {
  Unpacked u;
  gzip::Reader r(readerOf(bytes));
  char block[7];  // small reads cross every boundary
  for (std::ptrdiff_t n; (n = r.read(block, sizeof block, u.error)) != 0;) {
    if (n < 0) break;
    u.text.append(block, static_cast<std::size_t>(n));
  }
  u.members = r.members();
  u.mark = r.mark();
  return u;
}

std::string rowsOf(const std::string& symbol, std::uint32_t day, int from, int count) {
  std::string rows;
  for (int i = from; i < from + count; ++i)
    rows += symbol + "," + std::to_string(day) + " 10:00:" + std::to_string(10 + i % 50) + ".000,1.0815" +
            std::to_string(i % 10) + ",1.08166\r\n";
  return rows;
}

TEST(GzipStream, WritesOneMemberWithItsMarkAndReadsEveryMemberOrTellsWhatIsWrong) {
  const std::string rows = rowsOf("EUR/USD", 20261205, 0, 3000);
  const std::string one = gzipped(rows, gzip::PlainMark{123, 456});
  EXPECT_LT(one.size() * 6, rows.size());
  const Unpacked u = unpack(one);
  EXPECT_EQ(u.text, rows);
  EXPECT_EQ(u.members, 1u);
  EXPECT_EQ(u.mark, (gzip::PlainMark{123, 456}));
  EXPECT_EQ(unpack(gzipped("a\n") + gzipped("b\n")).text, "a\nb\n");
  EXPECT_EQ(unpack(gzipped("a\n") + gzipped("b\n")).members, 2u);
  EXPECT_FALSE(unpack(gzipped("a\n")).mark);
  for (const std::string& broken : {one.substr(0, one.size() - 4), one.substr(0, 100), std::string(), one + "xy"})
    EXPECT_FALSE(unpack(broken).error.empty()) << broken.size();
  // A plain text passes through the reader that takes either.
  for (const std::string& source : {rows, one}) {
    gzip::ReadFn read = gzip::plainTextOf(readerOf(source));
    std::string text, error;
    char block[4096];
    for (std::ptrdiff_t n; (n = read(block, sizeof block, error)) > 0;) text.append(block, static_cast<std::size_t>(n));
    EXPECT_EQ(text, rows);
  }
}

const char* const kHive = "D:\\ticks\\symbol={symbol}\\date={date}\\ticks.csv";

std::string hivePath(const std::string& symbol, std::uint32_t day, const std::string& suffix = "") {
  return "D:\\ticks\\symbol=" + symbol + "\\date=" + std::to_string(day) + "\\ticks.csv" + suffix;
}

class ArchiveTest : public ::testing::Test {
 protected:
  MemoryBackend be;
  std::map<std::string, std::string> expected;  // each day's rows, by its plain path

  void put(const std::string& path, const std::string& bytes) {
    auto f = std::make_shared<MemoryFile>();
    f->path = path;
    f->data = bytes;
    be.disk[path] = f;
  }
  // Two symbols over three days; the 4th's compression was cut short, the
  // 5th of EURUSD was compressed and then recorded to again; the 6th is today.
  void layOutDays() {
    for (const std::string symbol : {"EURUSD", "GBPUSD"})
      for (std::uint32_t day : {20261204u, 20261205u, 20261206u}) {
        const std::string rows = rowsOf(symbol, day, 0, 50 + static_cast<int>(day % 10));
        put(hivePath(symbol, day), rows);
        expected[hivePath(symbol, day)] = rows;
      }
    put(hivePath("EURUSD", 20261204, ".gz.part"), gzipped("EUR/USD,half").substr(0, 12));
    const std::string earlier = rowsOf("EURUSD", 20261205, 1000, 40);
    put(hivePath("EURUSD", 20261205, ".gz"), gzipped(earlier));
    expected[hivePath("EURUSD", 20261205)].insert(0, earlier);
    put("D:\\ticks\\symbol=EURUSD\\notes.txt", "mine");  // not the pattern's
  }
  std::vector<ArchiveNote> sweep() { return sweepClosedDays(be.archiver(), kHive, 20261206, {}); }
  // Every row where it belongs, once, in order.
  void expectEveryDayWhole() {
    for (const auto& [plain, rows] : expected) {
      if (plain.find("20261206") != std::string::npos) {
        ASSERT_TRUE(be.disk.contains(plain)) << plain;
        EXPECT_EQ(be.fileAt(plain)->data, rows) << plain;  // today's, untouched
        continue;
      }
      EXPECT_FALSE(be.disk.contains(plain)) << plain;
      ASSERT_TRUE(be.disk.contains(plain + ".gz")) << plain;
      const Unpacked u = unpack(be.fileAt(plain + ".gz")->data);
      EXPECT_EQ(u.text, rows) << plain;
      EXPECT_EQ(u.members, 1u) << plain;
    }
    EXPECT_EQ(be.fileAt("D:\\ticks\\symbol=EURUSD\\notes.txt")->data, "mine");
    for (const auto& [path, file] : be.disk) EXPECT_FALSE(path.ends_with(".part")) << path;
  }
};

TEST_F(ArchiveTest, ASweepCompressesEveryEarlierDayOfTheTreeAndLogsEachVerified) {
  layOutDays();
  const std::vector<ArchiveNote> notes = sweep();
  expectEveryDayWhole();
  ASSERT_EQ(notes.size(), 5u);
  EXPECT_EQ(notes[0].text, "Removed " + hivePath("EURUSD", 20261204, ".gz.part") +
                               ", left over by a compression that was cut short");
  const std::string bytes = std::to_string(expected[hivePath("EURUSD", 20261204)].size());
  const std::string gzBytes = std::to_string(be.fileAt(hivePath("EURUSD", 20261204, ".gz"))->data.size());
  EXPECT_EQ(notes[1].nearPath, hivePath("EURUSD", 20261204));
  EXPECT_TRUE(notes[1].text.starts_with("Compressed " + hivePath("EURUSD", 20261204) + ", " + bytes +
                                        " bytes, 54 rows, to " + hivePath("EURUSD", 20261204, ".gz") + ", " +
                                        gzBytes + " bytes for " + bytes + ", "))
      << notes[1].text;
  EXPECT_TRUE(notes[1].text.ends_with(" times smaller, verified")) << notes[1].text;
  EXPECT_NE(notes[3].text.find(" to " + hivePath("EURUSD", 20261205, ".gz") + " after the 40 rows it held, "),
            std::string::npos);
  // Nothing is left to do.
  EXPECT_TRUE(sweep().empty());
}

TEST_F(ArchiveTest, AStopAtAnyStepOfASweepLosesNothingAndTheNextSweepEndsTheWork) {
  for (std::int64_t budget = 0;; ++budget) {
    be = MemoryBackend{};
    expected.clear();
    layOutDays();
    be.archiver().operationsLeft = budget;
    sweep();
    const bool wholeSweep = be.archiver().operationsLeft != 0;
    be.archiver().operationsLeft = -1;
    // Nothing lost meanwhile: each day's rows are in the plain file or the compressed one.
    for (const auto& [plain, rows] : expected) {
      const auto gz = be.fileAt(plain + ".gz");
      const std::string held = gz ? unpack(gz->data).text : "";
      const std::string left = be.disk.contains(plain) ? be.fileAt(plain)->data : "";
      EXPECT_TRUE(held + left == rows || held == rows) << plain << " stopped after " << budget;
    }
    sweep();
    expectEveryDayWhole();
    if (HasFailure() || wholeSweep) break;
  }
}

TEST_F(ArchiveTest, AFullDiskLeavesThePlainFileAndTheNextSweepCompressesIt) {
  const std::string rows = rowsOf("EURUSD", 20261205, 0, 800);
  put(hivePath("EURUSD", 20261205), rows);
  be.failFilesAfterBytes = 100;
  const std::vector<ArchiveNote> notes = sweep();
  ASSERT_EQ(notes.size(), 1u);
  const std::string part = compressionPartPath(kHive, hivePath("EURUSD", 20261205, ".gz"));
  EXPECT_EQ(notes[0].text, "Cannot compress " + hivePath("EURUSD", 20261205) + ": cannot write " + part +
                               ": There is not enough space on the disk; it stays as it is, and is tried again "
                               "within a minute");
  EXPECT_EQ(be.fileAt(hivePath("EURUSD", 20261205))->data, rows);
  EXPECT_FALSE(be.disk.contains(part));
  be.failFilesAfterBytes = SIZE_MAX;
  sweep();
  EXPECT_EQ(unpack(be.fileAt(hivePath("EURUSD", 20261205, ".gz"))->data).text, rows);
}

// Whatever {symbol} could stand for, a compressed file or a part of one is
// never taken for a day's plain file: no NAME.gz.gz, ever.
TEST_F(ArchiveTest, OnlyWhatThePatternNamesIsAPlainDayFile) {
  for (const std::string pattern :
       {"D:\\t\\{date}-{symbol}", "D:\\t\\{symbol}-{date}", "D:\\t\\{symbol}\\{date}.csv", kHive}) {
    be = MemoryBackend{};
    const auto at = [&](const std::string& symbol, std::uint32_t day, const std::string& suffix = "") {
      std::string path = pattern;
      path.replace(path.find("{symbol}"), 8, symbol);
      return path.replace(path.find("{date}"), 6, std::to_string(day)) + suffix;
    };
    put(at("EURUSD", 20261204), rowsOf("EURUSD", 20261204, 0, 5));
    put(at("EURUSD", 20261204, ".gz.part"), "half");
    put(at("EURUSD", 20261205, ".gz"), gzipped(rowsOf("EURUSD", 20261205, 0, 5)));
    put(at("GBPUSD", 20261205, ".GZ"), gzipped(rowsOf("GBPUSD", 20261205, 0, 5)));
    put(at("GBPUSD", 20261205, ".Part"), "another program's");
    put(at("EURUSD", 20261206), rowsOf("EURUSD", 20261206, 0, 5));
    for (int start = 0; start < 3; ++start) sweepClosedDays(be.archiver(), pattern, 20261206, {});
    std::set<std::string> left;
    for (const auto& [path, file] : be.disk) left.insert(path);
    EXPECT_EQ(left, (std::set<std::string>{at("EURUSD", 20261204, ".gz"), at("EURUSD", 20261205, ".gz"),
                                              at("EURUSD", 20261206), at("GBPUSD", 20261205, ".GZ"),
                                              at("GBPUSD", 20261205, ".Part")}))
        << pattern;
    EXPECT_EQ(unpack(be.fileAt(at("EURUSD", 20261204, ".gz"))->data).text, rowsOf("EURUSD", 20261204, 0, 5));
  }
}

// A day whose compressed text ends inside a row (cut short before it was
// compressed) and a plain file recorded to it again: the cut row keeps its
// bytes and gets a line end, the next row stays whole.
TEST_F(ArchiveTest, RowsAddedToACompressedDayNeverGoOntoACutRow) {
  const std::string cut = rowsOf("EURUSD", 20261205, 0, 3) + "EUR/USD,20261205 10:0";
  put(hivePath("EURUSD", 20261205, ".gz"), gzipped(cut));
  put(hivePath("EURUSD", 20261205), rowsOf("EURUSD", 20261205, 5, 2));
  sweep();
  EXPECT_EQ(unpack(be.fileAt(hivePath("EURUSD", 20261205, ".gz"))->data).text,
            cut + "\n" + rowsOf("EURUSD", 20261205, 5, 2));
}

// A file in use is named by the recording as its pattern spells it: "/" or
// "\\", in any letter case, it is the file the sweep finds.
TEST(ArchivePlan, OnlyEarlierDaysNotInUseAndTheirLeftoverParts) {
  using K = DayFile::Kind;
  const std::vector<DayFile> found = {{"a5", 20261205, K::Plain},    {"a5.gz", 20261205, K::Compressed},
                                      {"D:\\t\\B5", 20261205, K::Plain}, {"a4.gz.part", 20261204, K::Part},
                                      {"a6", 20261206, K::Plain},    {"a7", 20261207, K::Plain},
                                      {"a6.gz.part", 20261206, K::Part}, {"a3", 20261203, K::Plain}};
  EXPECT_EQ(planSweep(found, 20261206, {"d:/T/b5"}), (SweepPlan{{"a4.gz.part"}, {"a3", "a5"}}));
}

class CompressingRecordingTest : public FeedHubTest {
 protected:
  void start() {
    StartOptions o;
    o.recordPattern = "C:\\t\\{symbol}-{date}.csv";
    o.daily = true;
    o.compress = true;
    hub = std::make_unique<FeedHub>(be, o);
  }
  std::string logText() const { return be.fileAt("C:\\t\\orvalda.log")->data; }
};

TEST_F(CompressingRecordingTest, EarlierDaysAtTheStartAndTheDayBeforeAtMidnightOffTheTickPath) {
  be.disk["C:\\t\\EURUSD-20261201.csv"] = std::make_shared<MemoryFile>();
  be.disk["C:\\t\\EURUSD-20261201.csv"]->data = "EUR/USD,20261201 10:00:00.000,1.08150,1.08166\r\n";
  start();
  hub->startNotificationTips();  // the window is there: before any tick
  EXPECT_EQ(be.archiver().posted.size(), 1u);  // posted, not done meanwhile
  EXPECT_TRUE(be.disk.contains("C:\\t\\EURUSD-20261201.csv"));
  be.archiver().runPosted();
  EXPECT_FALSE(be.disk.contains("C:\\t\\EURUSD-20261201.csv"));
  announce("EURUSD", 5);
  tick(108166, 108150);
  tick(108167, 108151);
  hub->timerElapsed(TimerRole::NotificationTip);
  EXPECT_NE(logText().find("Compressed C:\\t\\EURUSD-20261201.csv, 47 bytes, 1 row, to C:\\t\\EURUSD-20261201.csv.gz"),
            std::string::npos);
  be.now = MemoryBackend::localAt(2026, 12, 7, 0, 0, 1, 0);
  tick(108168, 108152);
  hub->timerElapsed(TimerRole::NotificationTip);
  be.archiver().runPosted();
  ASSERT_TRUE(be.disk.contains("C:\\t\\EURUSD-20261206.csv.gz"));
  EXPECT_EQ(unpack(be.fileAt("C:\\t\\EURUSD-20261206.csv.gz")->data).text,
            "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\nEUR/USD,20261206 14:03:27.045,1.08151,1.08167\r\n");
  EXPECT_EQ(be.fileAt("C:\\t\\EURUSD-20261207.csv")->data, "EUR/USD,20261207 00:00:01.000,1.08152,1.08168\r\n");
  EXPECT_TRUE(be.archiver().posted.empty());
}

// A plain file another program holds open to write is never removed, so its
// compressed file is not put in place either: the day stays as one plain
// file, logged once, and is compressed within a minute of its release.
TEST_F(CompressingRecordingTest, ADayThatCannotBeRemovedStaysPlainAndIsTriedAgainWithinAMinute) {
  be.disk["C:\\t\\EURUSD-20261205.csv"] = std::make_shared<MemoryFile>();
  be.disk["C:\\t\\EURUSD-20261205.csv"]->data = "EUR/USD,20261205 10:00:00.000,1.08150,1.08166\r\n";
  std::string ignored;
  auto otherProgram = be.openFile("C:\\t\\EURUSD-20261205.csv", FileOpening::AddTo, ignored);
  start();
  const auto tendAt = [&](unsigned second) {
    be.now = MemoryBackend::localAt(2026, 12, 6, 14, 5 + second / 60, second % 60, 0);
    hub->timerElapsed(TimerRole::NotificationTip);
    be.archiver().runPosted();
    hub->timerElapsed(TimerRole::NotificationTip);
  };
  hub->startNotificationTips();
  for (unsigned second : {0u, 20u, 40u}) tendAt(second);
  EXPECT_TRUE(be.disk.contains("C:\\t\\EURUSD-20261205.csv"));
  EXPECT_FALSE(be.disk.contains("C:\\t\\EURUSD-20261205.csv.gz"));
  for (const auto& [path, file] : be.disk) EXPECT_FALSE(path.ends_with(".part")) << path;
  const std::string failure = "Cannot compress C:\\t\\EURUSD-20261205.csv: cannot remove C:\\t\\EURUSD-20261205.csv";
  const std::string log = logText();
  EXPECT_NE(log.find(failure), std::string::npos);
  EXPECT_EQ(log.find(failure), log.rfind(failure));  // once
  otherProgram->close(ignored);
  tendAt(75);
  EXPECT_FALSE(be.disk.contains("C:\\t\\EURUSD-20261205.csv"));
  ASSERT_TRUE(be.disk.contains("C:\\t\\EURUSD-20261205.csv.gz"));
  EXPECT_EQ(unpack(be.fileAt("C:\\t\\EURUSD-20261205.csv.gz")->data).text,
            "EUR/USD,20261205 10:00:00.000,1.08150,1.08166\r\n");
}

// Files of other symbols stay open past midnight: never compressed while
// open, compressed once the day moves on for them too.
TEST_F(CompressingRecordingTest, AnEarlierDaysFileStillOpenWaitsUntilItIsClosed) {
  start();
  hub->startNotificationTips();
  announce("GBPUSD", 5);
  tick(127001, 127000);
  announce("EURUSD", 5);
  tick(108166, 108150);
  be.now = MemoryBackend::localAt(2026, 12, 7, 0, 0, 1, 0);
  tick(108167, 108151);
  hub->timerElapsed(TimerRole::NotificationTip);
  be.archiver().runPosted();
  EXPECT_TRUE(be.disk.contains("C:\\t\\EURUSD-20261206.csv.gz"));
  ASSERT_TRUE(be.disk.contains("C:\\t\\GBPUSD-20261206.csv"));  // open: left alone
  EXPECT_EQ(be.fileAt("C:\\t\\GBPUSD-20261206.csv")->data, "GBP/USD,20261206 14:03:27.045,1.27000,1.27001\r\n");
  announce("GBPUSD", 5);
  tick(127002, 127001);
  hub->timerElapsed(TimerRole::NotificationTip);
  be.archiver().runPosted();
  ASSERT_TRUE(be.disk.contains("C:\\t\\GBPUSD-20261206.csv.gz"));
  EXPECT_FALSE(be.disk.contains("C:\\t\\GBPUSD-20261206.csv"));
  EXPECT_EQ(unpack(be.fileAt("C:\\t\\GBPUSD-20261206.csv.gz")->data).text,
            "GBP/USD,20261206 14:03:27.045,1.27000,1.27001\r\n");
}

}  // namespace
}  // namespace orv::test
