#include "tools/feed_parse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/protocol.h"

using namespace orv;
using namespace orv::tools;

namespace {

std::uint32_t pointsOk(const std::string& text, std::int32_t digits) {
  std::string err;
  const auto p = priceToPoints(text, digits, err);
  EXPECT_TRUE(p.has_value()) << text << ": " << err;
  return p.value_or(0xDEADBEEF);
}

std::string pointsError(const std::string& text, std::int32_t digits) {
  std::string err;
  const auto p = priceToPoints(text, digits, err);
  EXPECT_FALSE(p.has_value()) << text << " was accepted as " << p.value_or(0);
  EXPECT_FALSE(err.empty());
  return err;
}

}  // namespace

// ---------------------------------------------------------------------------
// Price text -> points

TEST(ToolsPriceToPoints, FixedPointExactDecimals) {
  EXPECT_EQ(pointsOk("1.08150", 5), 108150u);
  EXPECT_EQ(pointsOk("1.08166", 5), 108166u);
  EXPECT_EQ(pointsOk("0.00001", 5), 1u);
  EXPECT_EQ(pointsOk("0.00000", 5), 0u);
  EXPECT_EQ(pointsOk("149.873", 3), 149873u);
  EXPECT_EQ(pointsOk("108150", 0), 108150u);
  EXPECT_EQ(pointsOk("0001.08150", 5), 108150u);
}

TEST(ToolsPriceToPoints, ExactWhereFloatingPointWouldRoundWrong) {
  // 1.15 * 100000 is 114999.99999999999 in binary floating point.
  EXPECT_EQ(pointsOk("1.15000", 5), 115000u);
  EXPECT_EQ(pointsOk("0.29", 2), 29u);
  EXPECT_EQ(pointsOk("4.35", 2), 435u);
}

TEST(ToolsPriceToPoints, WrongDecimalCountIsAnError) {
  // Dropping the point of "1.0815" would give 10815 points, ten times too few.
  EXPECT_NE(pointsError("1.0815", 5).find("4 decimals"), std::string::npos);
  EXPECT_NE(pointsError("1.081500", 5).find("6 decimals"), std::string::npos);
  EXPECT_NE(pointsError("108150", 5).find("expected 5 decimals"), std::string::npos);
  pointsError("1.0", 0);
}

TEST(ToolsPriceToPoints, Largest32BitValue) {
  EXPECT_EQ(pointsOk("4294967295", 0), 4294967295u);
  EXPECT_EQ(pointsOk("42949.67295", 5), 4294967295u);
  EXPECT_EQ(pointsOk("00042949.67295", 5), 4294967295u);
  EXPECT_NE(pointsError("42949.67296", 5).find("out of range"), std::string::npos);
  EXPECT_NE(pointsError("4294967296", 0).find("out of range"), std::string::npos);
  EXPECT_NE(pointsError("99999999999999999999.00000", 5).find("out of range"), std::string::npos);
}

TEST(ToolsPriceToPoints, ExponentForm) {
  EXPECT_EQ(pointsOk("108150e-45", 45), 108150u);
  EXPECT_EQ(pointsOk("108150E-45", 45), 108150u);
  EXPECT_EQ(pointsOk("108150e-5", 5), 108150u);
  EXPECT_EQ(pointsOk("108150e3", -3), 108150u);
  EXPECT_EQ(pointsOk("108150e+3", -3), 108150u);
  EXPECT_EQ(pointsOk("4294967295e-45", 45), 4294967295u);
  EXPECT_NE(pointsError("108150e-44", 45).find("exponent -44, expected exponent -45"), std::string::npos);
  pointsError("4294967296e-45", 45);
  pointsError("108150e-45", 5);
}

TEST(ToolsPriceToPoints, LongFractionForLargeDigits) {
  // Digits 12: the recorder may write 12 decimals in fixed point.
  EXPECT_EQ(pointsOk("0.000001081500", 12), 1081500u);
  EXPECT_EQ(pointsOk("0.004294967295", 12), 4294967295u);
  pointsError("0.004294967296", 12);
}

TEST(ToolsPriceToPoints, RejectsMalformedText) {
  for (const char* bad : {"", "-1.08150", "+1.08150", " 1.08150", "1.08150 ", "1,08150", ".08150", "1.",
                          "1.08.150", "1.08150e-5", "e-5", "1e", "1e-", "abc", "1.0815x", "0x10"}) {
    std::string err;
    EXPECT_FALSE(priceToPoints(bad, 5, err).has_value()) << "'" << bad << "' accepted";
    EXPECT_FALSE(err.empty()) << bad;
  }
}

TEST(ToolsPriceToPoints, NegativeDigitsNeedExponentForm) {
  pointsError("108150", -3);
  EXPECT_NE(pointsError("108150", -3).find("<points>e3"), std::string::npos);
}

TEST(ToolsDigitsOfPriceText, ReadsDecimalsOrExponent) {
  EXPECT_EQ(digitsOfPriceText("1.08150"), 5);
  EXPECT_EQ(digitsOfPriceText("149.873"), 3);
  EXPECT_EQ(digitsOfPriceText("108150"), 0);
  EXPECT_EQ(digitsOfPriceText("108150e-45"), 45);
  EXPECT_EQ(digitsOfPriceText("108150e3"), -3);
  EXPECT_FALSE(digitsOfPriceText("1.08.1").has_value());
  EXPECT_FALSE(digitsOfPriceText("x").has_value());
  EXPECT_FALSE(digitsOfPriceText("1e99999999999999").has_value());
}

// ---------------------------------------------------------------------------
// CSV records

TEST(ToolsSplitCsv, PlainRowsWithCrLf) {
  const auto r = splitCsv(
      "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
      "EUR/USD,20261206 14:03:27.100,1.08151,1.08167\r\n");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[0].line, 1u);
  EXPECT_EQ(r.records[1].line, 2u);
  ASSERT_EQ(r.records[1].fields.size(), 4u);
  EXPECT_EQ(r.records[1].fields[0], "EUR/USD");
  EXPECT_EQ(r.records[1].fields[3], "1.08167");  // no CR left on the last field
}

TEST(ToolsSplitCsv, QuotedFieldsWithCommaQuoteAndLineBreak) {
  const auto r = splitCsv(
      "\"EUR,USD\",a,b,c\r\n"
      "\"say \"\"hi\"\"\",a,b,c\r\n"
      "\"two\r\nlines\",a,b,c\r\n"
      "last,a,b,c\r\n");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.records.size(), 4u);
  EXPECT_EQ(r.records[0].fields[0], "EUR,USD");
  EXPECT_EQ(r.records[0].fields.size(), 4u);
  EXPECT_EQ(r.records[1].fields[0], "say \"hi\"");
  EXPECT_EQ(r.records[2].fields[0], "two\r\nlines");
  EXPECT_EQ(r.records[2].line, 3u);
  EXPECT_EQ(r.records[3].line, 5u);  // the quoted line break moved it down one line
}

TEST(ToolsSplitCsv, BareLfLastLineWithoutTerminatorAndBlankLines) {
  const auto r = splitCsv("a,b,c,d\n\r\n\nx,y,z,w");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[1].line, 4u);
  EXPECT_EQ(r.records[1].fields[3], "w");
}

TEST(ToolsSplitCsv, EmptyFieldsAreKept) {
  const auto r = splitCsv(",,,\r\n");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].fields.size(), 4u);
}

// A broken record is named and left out up to the end of its line; the
// records after it are read on.
TEST(ToolsSplitCsv, Errors) {
  struct Case {
    const char* text;
    std::size_t badLine;
    const char* errorPart;
    std::vector<std::size_t> linesRead;
  };
  const Case cases[] = {
      {"a,b,c,d\r\n\"open,b,c,d\r\nmore,1,2,3\r\n", 2, "never closed", {1, 3}},
      {"a,b,c,d\r\nx,y\rz,w\r\nlast,1,2,3\r\n", 2, "carriage return", {1, 3}},
      {"a,b,c,d\r\na,b,c,d\r\nx\"y,b,c,d\r\nlast,1,2,3", 3, "quote inside", {1, 2, 4}},
      {"\"ab\"c,b,c,d\r\n", 1, "after a closing quote", {}},
  };
  for (const Case& c : cases) {
    const auto r = splitCsv(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.errorLine, c.badLine) << c.text;
    EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << c.text << " -> " << r.error;
    ASSERT_EQ(r.problems.size(), 1u) << c.text;
    EXPECT_EQ(r.problems[0].line, c.badLine) << c.text;
    std::vector<std::size_t> lines;
    for (const CsvRecord& record : r.records) lines.push_back(record.line);
    EXPECT_EQ(lines, c.linesRead) << c.text;
  }
}

// ---------------------------------------------------------------------------
// Pacing


TEST(ToolsReplayOffsets, StepBackAddsNoWait) {
  std::vector<TickRow> rows(4);
  rows[0].timeMs = 1000;
  rows[1].timeMs = 1250;
  rows[2].timeMs = 1100;  // clock stepped back
  rows[3].timeMs = 1400;
  const auto off = replayOffsetsMs(rows);
  ASSERT_EQ(off.size(), 4u);
  EXPECT_EQ(off[0], 0);
  EXPECT_EQ(off[1], 250);
  EXPECT_EQ(off[2], 250);
  EXPECT_EQ(off[3], 550);
}

// ---------------------------------------------------------------------------
// Whole recordings

TEST(ToolsFeedFile, RecordedFileRoundTrip) {
  const auto f = parseFeedFile(
      "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
      "EUR/USD,20261206 14:03:27.300,1.08149,1.08165\r\n",
      std::nullopt);
  ASSERT_TRUE(f.ok) << f.errorLine << ": " << f.error;
  EXPECT_EQ(f.digits, 5);
  EXPECT_EQ(f.pair, "EUR/USD");
  ASSERT_EQ(f.rows.size(), 2u);
  EXPECT_EQ(f.rows[0].bid, 108150u);
  EXPECT_EQ(f.rows[0].ask, 108166u);
  EXPECT_EQ(f.rows[1].bid, 108149u);
  EXPECT_EQ(f.rows[1].ask, 108165u);
  EXPECT_EQ(f.rows[1].timeMs - f.rows[0].timeMs, 255);
  EXPECT_EQ(f.rows[1].line, 2u);
}

TEST(ToolsFeedFile, QuotedPairSpanningLinesKeepsLineNumbers) {
  const auto f = parseFeedFile(
      "\"A,\"\"B\"\"\r\nC\",20261206 14:03:27.045,1.00000,1.00002\r\n"
      "\"A,\"\"B\"\"\r\nC\",20261206 14:03:27.046,1.00001,1.0000x\r\n",
      std::nullopt);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.rows.size(), 1u);
  ASSERT_EQ(f.badRows.size(), 1u);
  EXPECT_EQ(f.badRows[0].line, 3u);
  EXPECT_NE(f.badRows[0].what.find("ask"), std::string::npos);
  EXPECT_EQ(f.badRows[0].what.find("first row"), std::string::npos);  // not a Digits question

  const auto g =
      parseFeedFile("\"A,\"\"B\"\"\r\nC\",20261206 14:03:27.045,1.00000,1.00002\r\n", std::nullopt);
  ASSERT_TRUE(g.ok) << g.error;
  EXPECT_EQ(g.pair, "A,\"B\"\r\nC");
  EXPECT_EQ(g.rows[0].ask, 100002u);
}

TEST(ToolsFeedFile, DigitsFromCommandLineMustMatch) {
  const std::string text = "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n";
  const auto ok = parseFeedFile(text, 5);
  ASSERT_TRUE(ok.ok);
  EXPECT_EQ(ok.rows[0].bid, 108150u);
  const auto bad = parseFeedFile(text, 4);
  ASSERT_FALSE(bad.ok);
  EXPECT_EQ(bad.errorLine, 1u);
  EXPECT_NE(bad.error.find("--digits 4"), std::string::npos);
}

TEST(ToolsFeedFile, LaterRowWithOtherDecimalCountIsLeftOut) {
  const auto f = parseFeedFile(
      "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n"
      "EUR/USD,20261206 14:03:27.046,1.08150,1.08166\r\n"
      "EUR/USD,20261206 14:03:27.047,1.0815,1.08166\r\n",
      std::nullopt);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.rows.size(), 2u);
  ASSERT_EQ(f.badRows.size(), 1u);
  EXPECT_EQ(f.badRows[0].line, 3u);
  EXPECT_NE(f.badRows[0].what.find("as the first row, line 1"), std::string::npos) << f.badRows[0].what;
}

TEST(ToolsFeedFile, ExponentFormFile) {
  const auto f = parseFeedFile("EUR/USD,20261206 14:03:27.045,108150e-45,4294967295e-45\r\n", std::nullopt);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.digits, 45);
  EXPECT_EQ(f.rows[0].bid, 108150u);
  EXPECT_EQ(f.rows[0].ask, 4294967295u);
}

// A bad row (cut by a crash, garbled, of another pair) is left out and named
// with its line and reason; the rows around it are sent.
TEST(ToolsFeedFile, BadRowsAreLeftOutAndNamed) {
  struct Case {
    const char* secondLine;
    const char* errorPart;
  };
  const Case cases[] = {
      {"EUR/USD,20261206 14:03:27.046,1.08150\r\n", "found 3"},
      {"EUR/USD,20261206 14:03:27.046,1.08150,1.08166,x\r\n", "found 5"},
      {"EUR/USD,20261206 14:0\r\n", "found 2"},
      {"EUR/USD,20261206 25:03:27.046,1.08150,1.08166\r\n", "time"},
      {"EUR/USD,20261206 14:03:27.046,,1.08166\r\n", "bid"},
      {"EUR/USD,20261206 14:03:27.046,1.08150,42949.67296\r\n", "out of range"},
      {"GBP/USD,20261206 14:03:27.046,1.08150,1.08166\r\n", "single pair"},
      {",20261206 14:03:27.046,1.08150,1.08166\r\n", "empty pair"},
      {"\"EUR/USD,20261206 14:03:27.046,1.08150,1.08166\r\n", "never closed"},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n") + c.secondLine +
                             "EUR/USD,20261206 14:03:27.047,1.08151,1.08167\r\n";
    const auto f = parseFeedFile(text, std::nullopt);
    EXPECT_TRUE(f.ok) << c.secondLine << " -> " << f.error;
    ASSERT_EQ(f.rows.size(), 2u) << c.secondLine;
    EXPECT_EQ(f.rows[0].line, 1u);
    EXPECT_EQ(f.rows[1].line, 3u);
    EXPECT_EQ(f.rows[1].bid, 108151u);
    ASSERT_EQ(f.badRows.size(), 1u) << c.secondLine;
    EXPECT_EQ(f.badRows[0].line, 2u) << c.secondLine;
    EXPECT_NE(f.badRows[0].what.find(c.errorPart), std::string::npos) << c.secondLine << " -> " << f.badRows[0].what;
  }
}

TEST(ToolsFeedFile, FirstGoodRowDecidesAndNoGoodRowIsAnError) {
  // A first row cut short: the next one gives the pair and the Digits.
  const auto f = parseFeedFile(
      "EUR/USD,20261206 14:03:27.045,1.08\r\n"
      "EUR/USD,20261206 14:03:27.046,1.08150,1.08166\r\n",
      std::nullopt);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.digits, 5);
  EXPECT_EQ(f.pair, "EUR/USD");
  ASSERT_EQ(f.rows.size(), 1u);
  EXPECT_EQ(f.rows[0].line, 2u);
  ASSERT_EQ(f.badRows.size(), 1u);
  EXPECT_EQ(f.badRows[0].line, 1u);

  // Nothing to send: an error naming the first bad row, every bad row listed.
  const auto none = parseFeedFile("EUR/USD,2026\r\nEUR/USD,20261206 14:03:27.046,1.08150\r\n", std::nullopt);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.errorLine, 1u);
  EXPECT_NE(none.error.find("found 2"), std::string::npos) << none.error;
  EXPECT_EQ(none.badRows.size(), 2u);
  EXPECT_TRUE(none.rows.empty());
}

TEST(ToolsFeedFile, BadRowsReportListsTheFirstFew) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\nEUR/USD,2026\r\n";
  const auto f = parseFeedFile(text, std::nullopt);
  EXPECT_EQ(badRowsReport("t.csv", f, 2),
            (std::vector<std::string>{"t.csv: 4 of 8 rows are bad and left out:",
                                      "  line 2: expected 4 fields (pair,time,bid,ask), found 2",
                                      "  line 4: expected 4 fields (pair,time,bid,ask), found 2", "  ... and 2 more"}));
  EXPECT_TRUE(badRowsReport("t.csv", parseFeedFile("EUR/USD,20261206 14:03:27.045,1.08150,1.08166", 5)).empty());
}

TEST(ToolsFeedFile, EmptyFileIsAnError) {
  EXPECT_FALSE(parseFeedFile("", std::nullopt).ok);
  EXPECT_FALSE(parseFeedFile("\r\n\r\n", 5).ok);
}

TEST(ToolsSymbol, FromPair) {
  EXPECT_EQ(symbolFromPair("EUR/USD"), "EURUSD");
  EXPECT_EQ(symbolFromPair("XAUUSD"), "XAUUSD");
  EXPECT_EQ(symbolFromPair("US30"), "US30");
  EXPECT_FALSE(symbolFromPair("EURO/DOLLAR").has_value());
  EXPECT_FALSE(symbolFromPair("EUR USD").has_value());
  EXPECT_FALSE(symbolFromPair("/").has_value());
  EXPECT_TRUE(isValidSymbol("A"));
  EXPECT_FALSE(isValidSymbol(""));
  EXPECT_FALSE(isValidSymbol("EURUSDX"));
  EXPECT_FALSE(isValidSymbol("EU\tUSD"));
}

// ---------------------------------------------------------------------------
// Synthetic stream

TEST(ToolsSyntheticWalk, SameSeedSameStreamOtherSeedOtherStream) {
  SyntheticWalk a(7, 5), b(7, 5), c(8, 5);
  bool differs = false;
  for (int i = 0; i < 1000; ++i) {
    const Quote qa = a.next(), qb = b.next(), qc = c.next();
    ASSERT_EQ(qa.bid, qb.bid);
    ASSERT_EQ(qa.ask, qb.ask);
    if (qa.bid != qc.bid) differs = true;
  }
  EXPECT_TRUE(differs);
}

TEST(ToolsSyntheticWalk, PlausibleAround108) {
  SyntheticWalk w(kDefaultSeed, 5);
  std::set<std::uint32_t> bids;
  for (int i = 0; i < 200000; ++i) {
    const Quote q = w.next();
    ASSERT_GE(q.ask, q.bid);
    ASSERT_GE(q.ask - q.bid, 7u);   // 0.8 pip, give or take rounding
    ASSERT_LE(q.ask - q.bid, 19u);  // 1.8 pips
    ASSERT_GT(q.bid, 106000u);
    ASSERT_LT(q.ask, 110000u);
    bids.insert(q.bid);
  }
  EXPECT_GT(bids.size(), 50u);  // it does move
}

TEST(ToolsSyntheticWalk, LargestDigitsStayIn32Bits) {
  SyntheticWalk w(3, kSyntheticMaxDigits);
  for (int i = 0; i < 1000; ++i) {
    const Quote q = w.next();
    ASSERT_GT(q.bid, 1000000000u);
    ASSERT_LT(q.ask, 1200000000u);
  }
}

// ---------------------------------------------------------------------------
// Command lines

namespace {
FeedArgsResult feed(std::vector<std::string> args) { return parseFeedArgs(args); }
ProbeArgsResult probe(std::vector<std::string> args) { return parseProbeArgs(args); }
}  // namespace

TEST(ToolsFeedArgs, FileReplay) {
  const auto r = feed({"--file", "ticks.csv", "--symbol", "GBPUSD", "--digits=5", "--speed", "10"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.source, FeedOptions::Source::File);
  EXPECT_EQ(r.options.file, "ticks.csv");
  EXPECT_EQ(r.options.symbol, "GBPUSD");
  EXPECT_EQ(r.options.digits, 5);
  ASSERT_TRUE(r.options.speed.has_value());
  EXPECT_DOUBLE_EQ(*r.options.speed, 10.0);
  EXPECT_FALSE(r.options.speedMax);
  EXPECT_TRUE(r.options.announce);
  EXPECT_EQ(r.options.timeoutMs, 10000u);
  EXPECT_EQ(feed({"--synthetic", "1", "--no-timeout"}).options.timeoutMs, 0u);
}

TEST(ToolsFeedArgs, SpeedMaxAndFractionalSpeed) {
  auto r = feed({"--file", "t.csv", "--speed", "max"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.speedMax);
  r = feed({"--file", "t.csv", "--speed", "0.5"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_DOUBLE_EQ(*r.options.speed, 0.5);
}

TEST(ToolsFeedArgs, Synthetic) {
  const auto r =
      feed({"--synthetic", "5000", "--rate", "max", "--seed", "42", "--no-announce", "--digits", "3"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.source, FeedOptions::Source::Synthetic);
  EXPECT_EQ(r.options.syntheticCount, 5000u);
  EXPECT_TRUE(r.options.rateMax);
  EXPECT_EQ(r.options.seed, 42u);
  EXPECT_FALSE(r.options.announce);
  EXPECT_EQ(r.options.digits, 3);
}

TEST(ToolsFeedArgs, Help) {
  EXPECT_TRUE(feed({"--help"}).options.help);
  EXPECT_TRUE(feed({"-h"}).options.help);
}

TEST(ToolsFeedArgs, Rejected) {
  struct Case {
    std::vector<std::string> args;
    const char* errorPart;
  };
  const Case cases[] = {
      {{}, "nothing to send"},
      {{"--file", "a.csv", "--synthetic", "10"}, "not both"},
      {{"--file"}, "needs a value"},
      {{"--file", "a.csv", "--bogus"}, "unknown option"},
      {{"--file", "a.csv", "stray"}, "unexpected argument"},
      {{"--file", "a.csv", "--speed", "0"}, "positive"},
      {{"--file", "a.csv", "--speed", "-2"}, "positive"},
      {{"--file", "a.csv", "--speed", "fast"}, "positive"},
      {{"--file", "a.csv", "--speed", "inf"}, "positive"},
      {{"--file", "a.csv", "--speed", "10x"}, "positive"},
      {{"--file", "a.csv", "--rate", "10"}, "--rate applies"},
      {{"--file", "a.csv", "--seed", "1"}, "--seed applies"},
      {{"--synthetic", "10", "--speed", "2"}, "--speed applies"},
      {{"--synthetic", "0"}, "between 1"},
      {{"--synthetic", "ten"}, "whole number"},
      {{"--synthetic", "-5"}, "whole number"},
      {{"--synthetic", "10", "--digits", "10"}, "synthetic stream needs"},
      {{"--synthetic", "10", "--digits", "99999999999"}, "out of range"},
      {{"--synthetic", "10", "--symbol", "EURUSDX"}, "--symbol"},
      {{"--synthetic", "10", "--rate", "10", "--rate", "20"}, "more than once"},
      {{"--synthetic", "10", "--no-announce=yes"}, "takes no value"},
      {{"--synthetic", "10", "--timeout-ms", "0"}, "between 1"},
  };
  for (const Case& c : cases) {
    const auto r = parseFeedArgs(c.args);
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_FALSE(r.ok) << joined;
    EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << joined << "-> " << r.error;
  }
}

TEST(ToolsProbeArgs, Accepted) {
  const auto r = probe({"--log", "out.csv", "--delay-ms", "5", "--hang-after", "3", "--hang-ms", "8000",
                        "--exit-after-ms=20000"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.logFile, "out.csv");
  EXPECT_EQ(r.options.delayMs, 5u);
  EXPECT_EQ(r.options.hangAfter, 3u);
  EXPECT_EQ(r.options.hangMs, 8000u);
  EXPECT_EQ(r.options.exitAfterMs, 20000u);
  const auto d = probe({});
  ASSERT_TRUE(d.ok);
  EXPECT_FALSE(d.options.logFile.has_value());
  EXPECT_FALSE(d.options.hangAfter.has_value());
  EXPECT_EQ(d.options.delayMs, 0u);
}

TEST(ToolsProbeArgs, Rejected) {
  EXPECT_NE(probe({"--hang-ms", "100"}).error.find("needs --hang-after"), std::string::npos);
  EXPECT_FALSE(probe({"--delay-ms", "-1"}).ok);
  EXPECT_FALSE(probe({"--delay-ms", "4294967295"}).ok);  // would mean "forever"
  EXPECT_FALSE(probe({"--log"}).ok);
  EXPECT_FALSE(probe({"--quiet"}).ok);
}

TEST(ToolsProbeLine, LowThirtyTwoBitsUnsigned) {
  // A bid of 0xFFFFFFFF arrives sign-extended in lParam: it must log as 4294967295, not -1.
  const std::uint64_t lp = static_cast<std::uint64_t>(orv::forwardLParam(4294967295u));
  EXPECT_EQ(formatProbeLine(14, 3, 27, 45, orv::WM_TICK, orv::forwardWParam(108166), lp),
            "14:03:27.045,1024,108166,4294967295");
  EXPECT_EQ(formatProbeLine(0, 0, 0, 0, orv::WM_FEED_CONTROL, 0x100000001ULL, 0), "00:00:00.000,1282,1,0");
  EXPECT_EQ(formatProbeLine(23, 59, 59, 999, orv::WM_SYMBOL_TAIL, 1, static_cast<std::uint64_t>(-5LL)),
            "23:59:59.999,1281,1,4294967291");
}
