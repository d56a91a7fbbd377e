// The display line, the CSV row and the proposed file name.
#include <gtest/gtest.h>

#include <optional>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <sstream>
#include <string>

#include "core/tick_text.h"

namespace orv {
namespace {

std::string price(std::uint32_t points, std::int32_t digits) {
  char buf[kMaxPriceText];
  return std::string(buf, formatPrice(buf, points, digits));
}

const WallTime kExample{2026, 12, 6, 14, 3, 27, 45};

TEST(PriceText, ExactForEveryDigitsInRange) {
  EXPECT_EQ(price(108150, 5), "1.08150");
  EXPECT_EQ(price(108150, 4), "10.8150");
  EXPECT_EQ(price(5, 5), "0.00005");
  EXPECT_EQ(price(0, 5), "0.00000");
  EXPECT_EQ(price(108150, 0), "108150");
  EXPECT_EQ(price(0, 0), "0");
  EXPECT_EQ(price(4294967295u, 5), "42949.67295");
  EXPECT_EQ(price(108150, 2), "1081.50");
  // Where a float scale would garble the last digits, the text stays exact.
  EXPECT_EQ(price(4294967295u, 10), "0.4294967295");
  EXPECT_EQ(price(4294967295u, 11), "0.04294967295");
  EXPECT_EQ(price(4294967295u, 38), "0.00000000000000000000000000004294967295");
  EXPECT_EQ(price(1, 38).size(), 40u);
  EXPECT_EQ(price(1, 38), "0.00000000000000000000000000000000000001");
}

TEST(PriceText, OutOfRangeDigitsGiveTheExactScientificForm) {
  EXPECT_EQ(price(108150, 39), "108150e-39");
  EXPECT_EQ(price(108150, 45), "108150e-45");
  EXPECT_EQ(price(108150, -3), "108150e3");
  EXPECT_EQ(price(4294967295u, INT32_MIN), "4294967295e2147483648");
  EXPECT_EQ(price(4294967295u, INT32_MAX), "4294967295e-2147483647");
  EXPECT_LE(price(4294967295u, INT32_MIN).size(), kMaxPriceText);
}

// The texts of one tick, which keep their points whatever the locale.
void expectPointsKept() {
  EXPECT_EQ(price(108150, 5), "1.08150");
  TextBuffer line, row;
  buildDisplayLine(line, kExample, "EURUSD", 5, 108150, 108166);
  EXPECT_EQ(line.view(), "14:03:27.045 EURUSD bid 1.08150 ask 1.08166");
  buildCsvRow(row, "EUR/USD", kExample, 5, 108150, 108166);
  EXPECT_EQ(row.view(), "EUR/USD,20261206 14:03:27.045,1.08150,1.08166");
}

struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(PriceText, IgnoresACommaLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  std::ostringstream shown;
  shown << 1.5;
  EXPECT_EQ(shown.str(), "1,5");  // the comma is in effect for C++ streams
  expectPointsKept();
  std::locale::global(saved);
}

// A comma for the C library's numbers: a German or French locale that is
// installed, else one made in folder with localedef (no root needed).
bool setCommaCLocale(const std::string& folder) {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
  // localedef may warn with a non-zero status and still make it: setlocale tells.
  if (std::system(("localedef -i de_DE -f ISO-8859-1 " + folder + "/de_DE >/dev/null 2>&1").c_str()) == -1)
    return false;
  setenv("LOCPATH", folder.c_str(), 1);
  const bool made = std::setlocale(LC_NUMERIC, "de_DE") != nullptr;
  unsetenv("LOCPATH");
  return made;
}

TEST(PriceText, IgnoresACommaLocaleOfTheCLibrary) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  char folder[] = "/tmp/orvalda-locale-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const bool comma = setCommaCLocale(folder);
  if (comma) {
    char shown[8];
    std::snprintf(shown, sizeof shown, "%.1f", 1.5);
    EXPECT_STREQ(shown, "1,5");  // the comma is in effect for printf
    expectPointsKept();
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  std::filesystem::remove_all(folder);
  if (!comma) GTEST_SKIP() << "no comma locale for the C library: none installed, and localedef cannot make de_DE "
                              "(on Debian it needs the locales package)";
}

TEST(TickLines, DisplayAndRowOfTheExample) {
  expectPointsKept();
  TextBuffer line, row;
  // Defaults before any announcement.
  buildDisplayLine(line, kExample, "XXXYYY", 4, 108150, 108166);
  EXPECT_EQ(line.view(), "14:03:27.045 XXXYYY bid 10.8150 ask 10.8166");
  buildCsvRow(row, "XXX/YYY", kExample, 0, 108150, 108166);
  EXPECT_EQ(row.view(), "XXX/YYY,20261206 14:03:27.045,108150,108166");
}

TEST(TickLines, MidnightTakesDateAndTimeFromOneReading) {
  TextBuffer row;
  buildCsvRow(row, "EUR/USD", {2026, 12, 31, 23, 59, 59, 999}, 5, 1, 2);
  EXPECT_EQ(row.view(), "EUR/USD,20261231 23:59:59.999,0.00001,0.00002");
  buildCsvRow(row, "EUR/USD", {2027, 1, 1, 0, 0, 0, 0}, 5, 1, 2);
  EXPECT_EQ(row.view(), "EUR/USD,20270101 00:00:00.000,0.00001,0.00002");
}

TEST(TickLines, PairsThatWouldBreakTheFieldsAreQuoted) {
  TextBuffer row;
  buildCsvRow(row, "EU,/USD", kExample, 1, 10, 20);
  EXPECT_EQ(row.view(), "\"EU,/USD\",20261206 14:03:27.045,1.0,2.0");
  buildCsvRow(row, "E\"U/X", kExample, 1, 10, 20);
  EXPECT_EQ(row.view(), "\"E\"\"U/X\",20261206 14:03:27.045,1.0,2.0");
  buildCsvRow(row, std::string("EUR/U\r\n", 7), kExample, 1, 10, 20);
  EXPECT_EQ(row.view(), "\"EUR/U\r\n\",20261206 14:03:27.045,1.0,2.0");
}

TEST(TickLines, LongSymbolsAreWrittenWholeBeyondTheFixedBuffer) {
  TextBuffer line, row;
  const std::string symbol(180, 'A');
  buildDisplayLine(line, kExample, symbol, 5, 108150, 108166);
  EXPECT_TRUE(line.onHeap());
  EXPECT_EQ(line.view(), "14:03:27.045 " + symbol + " bid 1.08150 ask 1.08166");
  const std::string pair = "AAA/" + std::string(5000, 'B');
  buildCsvRow(row, pair, kExample, 38, 4294967295u, 0);
  EXPECT_EQ(row.view(), pair + ",20261206 14:03:27.045,0.00000000000000000000000000004294967295,0." +
                            std::string(38, '0'));
  // Back to a short text: the fixed buffer again.
  buildCsvRow(row, "EUR/USD", kExample, 5, 1, 1);
  EXPECT_FALSE(row.onHeap());
  EXPECT_EQ(row.view(), "EUR/USD,20261206 14:03:27.045,0.00001,0.00001");
}

TEST(TickLines, ExactlyAtTheFixedBufferEdge) {
  TextBuffer b;
  b.append(std::string(199, 'x'));
  EXPECT_FALSE(b.onHeap());
  b.append('y');
  EXPECT_TRUE(b.onHeap());
  EXPECT_EQ(b.view(), std::string(199, 'x') + "y");
}

TEST(FileName, ProposalUsesTheSymbolAndTheClickTime) {
  EXPECT_EQ(proposedFileName("EURUSD", {2026, 12, 6, 14, 3, 27, 45}), "EURUSD-20261206-140327");
  EXPECT_EQ(proposedFileName("XXXYYY", {2026, 1, 2, 3, 4, 5, 6}), "XXXYYY-20260102-030405");
}

TEST(FileName, CharactersWindowsForbidsBecomeUnderscores) {
  EXPECT_EQ(proposedFileName("A<B>C:D\"", kExample), "A_B_C_D_-20261206-140327");
  EXPECT_EQ(proposedFileName("/\\|?*", kExample), "_____-20261206-140327");
  EXPECT_EQ(proposedFileName(std::string("E\tU\x01\x7f", 5), kExample), "E_U__-20261206-140327");
  EXPECT_EQ(proposedFileName("..", kExample), "..-20261206-140327");
}

// A stamp read on its own, as the feeder reads each.
std::optional<std::int64_t> stampMs(std::string_view text) {
  std::int64_t ms = 0;
  return parseStamp(text, ms) ? std::optional<std::int64_t>(ms) : std::nullopt;
}

TEST(RowFormat, StampsReadAsMillisecondsSince1970) {
  EXPECT_EQ(stampMs("19700101 00:00:00.000"), 0);
  EXPECT_EQ(stampMs("19691231 23:59:59.999"), -1);
  const auto a = stampMs("20261206 14:03:27.045");
  const auto b = stampMs("20261206 14:03:28.046");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*b - *a, 1001);
  const auto beforeMidnight = stampMs("20261231 23:59:59.999");
  const auto afterMidnight = stampMs("20270101 00:00:00.000");
  ASSERT_TRUE(beforeMidnight && afterMidnight);
  EXPECT_EQ(*afterMidnight - *beforeMidnight, 1);
  const auto feb28 = stampMs("20240228 12:00:00.000");
  const auto mar01 = stampMs("20240301 12:00:00.000");
  ASSERT_TRUE(feb28 && mar01);
  EXPECT_EQ(*mar01 - *feb28, 2 * 86400000LL);  // 2024 is a leap year
}

TEST(RowFormat, StampsThatDoNotExistAreRefused) {
  for (const char* bad : {"", "20261206 14:03:27", "20261206 14:03:27.45", "20261206T14:03:27.045",
                          "2026-12-06 14:03:27.045", "20261306 14:03:27.045", "20261200 14:03:27.045",
                          "20230229 14:03:27.045", "20261206 24:00:00.000", "20261206 14:60:00.000",
                          "20261206 14:03:60.000", "2026120x 14:03:27.045", "20261206 14:03:27.045 "}) {
    EXPECT_FALSE(stampMs(bad).has_value()) << bad;
  }
  EXPECT_TRUE(stampMs("20240229 00:00:00.000").has_value());
}

}  // namespace
}  // namespace orv
