// Names of unattended recordings, and the day a tick belongs to.
#include <gtest/gtest.h>

#include "core/file_pattern.h"
#include "core/tick_text.h"

namespace orv {
namespace {

const WallTime kAt{2026, 3, 7, 9, 5, 4, 321};

TEST(FilePattern, FillsEveryFieldEveryTimeAndLeavesTheRest) {
  EXPECT_EQ(expandFilePattern("D:\\ticks\\{symbol}\\{symbol}-{date}.csv", "EURUSD", kAt),
            "D:\\ticks\\EURUSD\\EURUSD-20260307.csv");
  EXPECT_EQ(expandFilePattern("{date}-{time}{x}{symbol", "A", kAt), "20260307-090504{x}{symbol");
  // Folders as engines read them as columns (Hive-style): "=" stays.
  EXPECT_EQ(expandFilePattern("D:\\ticks\\symbol={symbol}\\date={date}\\ticks.csv", "EURUSD", kAt),
            "D:\\ticks\\symbol=EURUSD\\date=20260307\\ticks.csv");
  // A symbol as the feeder sent it: forbidden characters go; one too long
  // for a name is cut, and told apart from others cut alike by a hash of it.
  EXPECT_EQ(expandFilePattern("t\\{symbol}.csv", "A/B:C*\"<>|?\\\x01", kAt), "t\\A_B_C________.csv");
  const std::string longSymbol(300, 'Q'), otherLong = longSymbol + "R";
  const std::string named = expandFilePattern("{symbol}", longSymbol, kAt);
  EXPECT_EQ(named.size(), kLongestNamedSymbol);
  EXPECT_EQ(named.substr(0, kLongestNamedSymbol - 8), longSymbol.substr(0, kLongestNamedSymbol - 9) + "~") << named;
  EXPECT_NE(expandFilePattern("{symbol}", otherLong, kAt), named);
  EXPECT_EQ(proposedFileName(longSymbol, kAt), named + "-20260307-090504");
  const std::string ordinary(kLongestNamedSymbol, 'Q');
  EXPECT_EQ(expandFilePattern("{symbol}", ordinary, kAt), ordinary);
}

// Whatever a feeder announces, every name a field goes into is an ordinary
// name inside the pattern's folder; the save dialog proposes by the same rule.
TEST(FilePattern, SymbolsThatLookLikePathsOrDevicesStayOrdinaryNamesInTheFolder) {
  struct Case {
    std::string symbol, file, proposed;
  };
  const Case cases[] = {
      {"..", "D:\\t\\__\\..-20260307.csv", "..-20260307-090504"},
      {".", "D:\\t\\_\\.-20260307.csv", ".-20260307-090504"},
      {"", "D:\\t\\_\\-20260307.csv", "-20260307-090504"},
      {"NUL", "D:\\t\\_NUL\\NUL-20260307.csv", "NUL-20260307-090504"},
      {"nul.x", "D:\\t\\_nul.x\\_nul.x-20260307.csv", "_nul.x-20260307-090504"},
      {"com1", "D:\\t\\_com1\\com1-20260307.csv", "com1-20260307-090504"},
      {"EUR. ", "D:\\t\\EUR__\\EUR. -20260307.csv", "EUR. -20260307-090504"},
      {"a\x01\x7f\xe9\\b", "D:\\t\\a____b\\a____b-20260307.csv", "a__\xe9_b-20260307-090504"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expandFilePattern("D:\\t\\{symbol}\\{symbol}-{date}.csv", c.symbol, kAt), c.file) << c.symbol;
    EXPECT_EQ(proposedFileName(c.symbol, kAt), c.proposed) << c.symbol;
  }
  EXPECT_EQ(expandFilePattern("..\\{symbol}.csv", "CON", kAt), "..\\_CON.csv");  // the user's own ".." stays
}

TEST(FilePattern, UnknownFieldsAreFoundAndOtherBracesLeftAlone) {
  EXPECT_EQ(unknownPatternField("D:\\{symbol}\\{sym}-{date}.csv"), "{sym}");
  EXPECT_EQ(unknownPatternField("D:\\{backup 2}\\{symbol}-{time}-{}.csv"), "");
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
  EXPECT_EQ(patternFromFolder("t/{symbol}/{date}.csv", "Z:\\home\\me"), "Z:\\home\\me\\t\\{symbol}\\{date}.csv");
  EXPECT_EQ(patternFromFolder("//server/share/{symbol}.csv", "C:\\x"), "\\\\server\\share\\{symbol}.csv");
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
