// Names of unattended recordings, and the day a tick belongs to.
#include <gtest/gtest.h>

#include "core/file_pattern.h"

namespace orv {
namespace {

const WallTime kAt{2026, 3, 7, 9, 5, 4, 321};

TEST(FilePattern, FillsEveryFieldEveryTimeAndLeavesTheRest) {
  EXPECT_EQ(expandFilePattern("D:\\ticks\\{symbol}\\{symbol}-{date}.csv", "EURUSD", kAt),
            "D:\\ticks\\EURUSD\\EURUSD-20260307.csv");
  EXPECT_EQ(expandFilePattern("{date}-{time}{x}{symbol", "A", kAt), "20260307-090504{x}{symbol");
  // A symbol as the feeder sent it: forbidden characters go, any length stays.
  EXPECT_EQ(expandFilePattern("t\\{symbol}.csv", "A/B:C*\"<>|?\\\x01", kAt), "t\\A_B_C________.csv");
  const std::string longSymbol(300, 'Q');
  EXPECT_EQ(expandFilePattern("{symbol}", longSymbol, kAt), longSymbol);
}

TEST(FilePattern, RelativePathsAndFolders) {
  EXPECT_TRUE(isRelativePath("ticks\\{symbol}.csv"));
  EXPECT_TRUE(isRelativePath("..\\t.csv"));
  EXPECT_FALSE(isRelativePath("D:\\t.csv"));
  EXPECT_FALSE(isRelativePath("\\t.csv"));
  EXPECT_FALSE(isRelativePath("/tmp/t.csv"));
  EXPECT_FALSE(isRelativePath("\\\\server\\share\\t.csv"));
  EXPECT_EQ(patternFromFolder("t\\{symbol}.csv", "C:\\Users\\ł"), "C:\\Users\\ł\\t\\{symbol}.csv");
  EXPECT_EQ(patternFromFolder("t.csv", "C:\\"), "C:\\t.csv");
  EXPECT_EQ(patternFromFolder("D:\\t.csv", "C:\\x"), "D:\\t.csv");
  EXPECT_EQ(patternFromFolder("t.csv", ""), "t.csv");
  EXPECT_EQ(folderOf("D:\\ticks\\EURUSD\\a.csv"), "D:\\ticks\\EURUSD");
  EXPECT_EQ(folderOf("D:a.csv"), "D:");
  EXPECT_EQ(folderOf("a.csv"), "");
}

TEST(FilePattern, DaysGrowWithTheDate) {
  EXPECT_LT(dayNumber({2026, 12, 31, 23, 59, 59, 999}), dayNumber({2027, 1, 1, 0, 0, 0, 0}));
  EXPECT_LT(dayNumber({2026, 2, 28, 23, 0, 0, 0}), dayNumber({2026, 3, 1, 0, 0, 0, 0}));
  EXPECT_EQ(dayNumber({2026, 3, 29, 2, 0, 0, 0}), dayNumber({2026, 3, 29, 3, 30, 0, 0}));
}

}  // namespace
}  // namespace orv
