// orvalda-export's formats against files worked out by hand: each case a
// small recording, a command line and every file it must leave; and edited
// recordings judged alike by the exporter and the checker.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "check/check_options.h"
#include "check/program.h"
#include "check/reports.h"
#include "export/program.h"
#include "recordings/line_reader.h"
#include "tests/unit/gzip_bytes.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The one entry of a zip as "NAME\n" and its text, its CRC checked.
std::string unzipOne(const std::string& zip) {
  const auto u16 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8); };
  const auto u32 = [&](std::size_t at) { return u16(at) | static_cast<unsigned long>(u16(at + 2)) << 16; };
  if (zip.size() < 30 || u32(0) != 0x04034b50 || u16(8) != 8) return "not a deflated zip";
  const std::size_t nameLength = u16(26), data = 30 + nameLength + u16(28);
  std::string text(u32(22), '\0');
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
  z.avail_in = static_cast<uInt>(u32(18));
  z.next_out = reinterpret_cast<Bytef*>(text.data());
  z.avail_out = static_cast<uInt>(text.size());
  const int result = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  if (result != Z_STREAM_END) return "bad deflate data";
  if (crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())) != u32(14)) return "bad CRC";
  return zip.substr(30, nameLength) + "\n" + text;
}

struct Golden {
  const char* name;
  std::string recording;
  std::vector<std::string> args;  // before --out DIR IN
  int exitCode;
  std::vector<std::pair<std::string, std::string>> files;  // every file in DIR; a zip as its entry
};

// Two symbols over midnight UTC, with a torn, a crossed and an unparsable row.
const char* const kMidnight =
    "EUR/USD,20261201 23:59:59.900,1.08150,1.08166\r\n"
    "USD/JPY,20261201 23:59:59.950,150.123,150.140\r\n"
    "EUR/USD,20261202 00:00:00.100,1.08151,1.08160\r\n"
    "EUR/USD,20261202 00:00:00.200,1.08152\r\n"
    "EUR/USD,20261202 00:00:00.300,1.08170,1.08160\r\n"
    "EUR/USD,20261232 00:00:00.400,1.08150,1.08160\r\n"
    "EUR/USD,20261202 00:00:30.000,1.08149,1.08171\r\n"
    "USD/JPY,20261202 00:00:45.500,150.124,150.139\r\n";

// London's clock over the hour it repeats (25 October 2026, 02:00 BST back to 01:00 GMT).
const char* const kLondonOctober =
    "EUR/USD,20261025 00:59:59.000,1.1,1.2\r\n"
    "EUR/USD,20261025 01:50:00.000,1.1,1.2\r\n"   // the first pass, BST
    "EUR/USD,20261025 01:10:00.000,1.1,1.2\r\n"   // 40 minutes back: the second pass, GMT
    "EUR/USD,20261025 01:40:00.000,1.1,1.2\r\n"
    "EUR/USD,20261025 02:00:00.000,1.1,1.2\r\n";

// London's clock over the hour it skips (29 March 2026, 01:00 GMT on to 02:00 BST).
const char* const kLondonMarch =
    "GBP/USD,20260329 00:59:00.000,1.26,1.27\r\n"
    "GBP/USD,20260329 01:30:00.000,1.26,1.27\r\n"  // no such time in London: GMT's, the offset before
    "GBP/USD,20260329 02:40:00.000,1.26,1.27\r\n";

const Golden kGoldens[] = {
    {"mt5", kMidnight, {"--to", "mt5"}, 1,
     {{"EURUSD.csv",
       "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>\r\n"
       "2026.12.01\t23:59:59.900\t1.08150\t1.08166\t\t\t6\r\n"
       "2026.12.02\t00:00:00.100\t1.08151\t1.08160\t\t\t6\r\n"
       "2026.12.02\t00:00:30.000\t1.08149\t1.08171\t\t\t6\r\n"},
      {"USDJPY.csv",
       "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>\r\n"
       "2026.12.01\t23:59:59.950\t150.123\t150.140\t\t\t6\r\n"
       "2026.12.02\t00:00:45.500\t150.124\t150.139\t\t\t6\r\n"}}},
    {"nt8", kMidnight, {"--to", "nt8"}, 1,
     {{"EURUSD.Bid.txt", "20261201 235959 9000000;1.08150;1\r\n20261202 000000 1000000;1.08151;1\r\n20261202 000030 0000000;1.08149;1\r\n"},
      {"EURUSD.Ask.txt", "20261201 235959 9000000;1.08166;1\r\n20261202 000000 1000000;1.08160;1\r\n20261202 000030 0000000;1.08171;1\r\n"},
      {"USDJPY.Bid.txt", "20261201 235959 9500000;150.123;1\r\n20261202 000045 5000000;150.124;1\r\n"},
      {"USDJPY.Ask.txt", "20261201 235959 9500000;150.140;1\r\n20261202 000045 5000000;150.139;1\r\n"}}},
    {"lean", kMidnight, {"--to", "lean"}, 1,
     {{"forex/oanda/tick/eurusd/20261201_quote.zip", "20261201_eurusd_tick_quote.csv\n86399900,1.08150,1.08166\n"},
      {"forex/oanda/tick/eurusd/20261202_quote.zip", "20261202_eurusd_tick_quote.csv\n100,1.08151,1.08160\n30000,1.08149,1.08171\n"},
      {"forex/oanda/tick/usdjpy/20261201_quote.zip", "20261201_usdjpy_tick_quote.csv\n86399950,150.123,150.140\n"},
      {"forex/oanda/tick/usdjpy/20261202_quote.zip", "20261202_usdjpy_tick_quote.csv\n45500,150.124,150.139\n"}}},
    {"histdata, New York's winter offset, a file a month", kMidnight, {"--to", "histdata"}, 1,
     {{"DAT_ASCII_EURUSD_T_202612.csv", "20261201 185959900,1.08150,1.08166,0\r\n20261201 190000100,1.08151,1.08160,0\r\n20261201 190030000,1.08149,1.08171,0\r\n"},
      {"DAT_ASCII_USDJPY_T_202612.csv", "20261201 185959950,150.123,150.140,0\r\n20261201 190045500,150.124,150.139,0\r\n"}}},
    {"histdata over a month's end", "EUR/USD,20261201 04:59:59.000,1.1,1.2\r\nEUR/USD,20261201 05:00:00.000,1.1,1.2\r\n", {"--to", "histdata"}, 0,
     {{"DAT_ASCII_EURUSD_T_202611.csv", "20261130 235959000,1.1,1.2,0\r\n"}, {"DAT_ASCII_EURUSD_T_202612.csv", "20261201 000000000,1.1,1.2,0\r\n"}}},
    {"bars, names in any case", kMidnight, {"--to", "Bars", "--tf", "m1"}, 1,
     {{"EURUSD-M1.csv",
       "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,spread_max\r\n"
       "2026-12-01 23:59:00,1.08150,1.08150,1.08150,1.08150,1.08166,1.08166,1.08166,1.08166,1,16,16\r\n"
       "2026-12-02 00:00:00,1.08151,1.08151,1.08149,1.08149,1.08160,1.08171,1.08160,1.08171,2,9,22\r\n"},
      {"USDJPY-M1.csv",
       "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,spread_max\r\n"
       "2026-12-01 23:59:00,150.123,150.123,150.123,150.123,150.140,150.140,150.140,150.140,1,17,17\r\n"
       "2026-12-02 00:00:00,150.124,150.124,150.124,150.124,150.139,150.139,150.139,150.139,1,15,15\r\n"}}},
    {"template", kMidnight,
     {"--to", "template", "--template", "{symbol} {time:%d/%m/%Y %H:%M:%S.%L %%};{bid};{ask};{spread};{ms_of_day};{unix_ms};{pair}", "--header", "h"},
     1,
     {{"EURUSD.csv",
       "h\r\n"
       "EURUSD 01/12/2026 23:59:59.900 %;1.08150;1.08166;16;86399900;1796169599900;EUR/USD\r\n"
       "EURUSD 02/12/2026 00:00:00.100 %;1.08151;1.08160;9;100;1796169600100;EUR/USD\r\n"
       "EURUSD 02/12/2026 00:00:30.000 %;1.08149;1.08171;22;30000;1796169630000;EUR/USD\r\n"},
      {"USDJPY.csv",
       "h\r\n"
       "USDJPY 01/12/2026 23:59:59.950 %;150.123;150.140;17;86399950;1796169599950;USD/JPY\r\n"
       "USDJPY 02/12/2026 00:00:45.500 %;150.124;150.139;15;45500;1796169645500;USD/JPY\r\n"}}},
    {"London's repeated hour read in order", kLondonOctober, {"--to", "mt5", "--from", "Europe/London", "--tz", "UTC"}, 0,
     {{"EURUSD.csv",
       "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>\r\n"
       "2026.10.24\t23:59:59.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t00:50:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t01:10:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t01:40:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t02:00:00.000\t1.1\t1.2\t\t\t6\r\n"}}},
    {"London's skipped hour by the offset before it, LEAN in UTC", kLondonMarch, {"--to", "lean", "--from", "Europe/London"}, 0,
     {{"forex/oanda/tick/gbpusd/20260329_quote.zip", "20260329_gbpusd_tick_quote.csv\n3540000,1.26,1.27\n5400000,1.26,1.27\n6000000,1.26,1.27\n"}}},
    {"daily bars at the midnight of NY+7", "EUR/USD,20261201 21:59:00.000,1.1,1.2\r\nEUR/USD,20261201 22:00:00.000,1.1,1.2\r\n",
     {"--to", "bars", "--tf", "D1", "--tz", "NY+7"}, 0,
     {{"EURUSD-D1.csv",
       "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,spread_max\r\n"
       "2026-12-01 00:00:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"
       "2026-12-02 00:00:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"}}},
    // Two pairs that differ only in case are one, in order; a device name is made safe as the recorder makes it.
    {"one symbol whatever its case", "EUR/USD,20261201 09:00:00.000,1.1,1.2\r\neur/usd,20261201 09:00:01.000,1.3,1.4\r\n"
     "EUR/USD,20261201 09:00:02.000,1.5,1.6\r\nCON,20261201 09:00:03.000,1.7,1.8\r\n", {"--to", "lean"}, 0,
     {{"forex/oanda/tick/eurusd/20261201_quote.zip", "20261201_eurusd_tick_quote.csv\n32400000,1.1,1.2\n32401000,1.3,1.4\n32402000,1.5,1.6\n"},
      {"forex/oanda/tick/_con/20261201_quote.zip", "20261201__con_tick_quote.csv\n32403000,1.7,1.8\n"}}},
    // One spread of 0.0001 however written, in the unit of the pair's most decimals; another pair its own.
    {"spreads in the pair's own unit", "EUR/USD,20261201 09:00:00.000,1.0800,1.0801\r\nEUR/USD,20261201 09:00:01.000,1.08000,1.08010\r\n"
     "USD/JPY,20261201 09:00:01.500,150.12,150.14\r\nEUR/USD,20261201 09:00:02.000,1.080000,1.080100\r\nUSD/JPY,20261201 09:00:03.000,150.123,150.140\r\n",
     {"--to", "template", "--template", "{spread}"}, 0, {{"EURUSD.csv", "100\r\n100\r\n100\r\n"}, {"USDJPY.csv", "20\r\n17\r\n"}}},
    // New York on 1 November 2026 (02:00 EDT back to 01:00 EST): EUR/USD's 01:10 follows GBP/USD's 01:05 of the second pass.
    {"the repeated hour after the file's row before", "EUR/USD,20261101 00:50:00.000,1.1,1.2\r\nGBP/USD,20261101 01:50:00.000,1.3,1.4\r\n"
     "GBP/USD,20261101 01:05:00.000,1.3,1.4\r\nEUR/USD,20261101 01:10:00.000,1.1,1.2\r\n",
     {"--to", "histdata", "--from", "America/New_York", "--tz", "UTC"}, 0,
     {{"DAT_ASCII_EURUSD_T_202611.csv", "20261101 045000000,1.1,1.2,0\r\n20261101 061000000,1.1,1.2,0\r\n"},
      {"DAT_ASCII_GBPUSD_T_202611.csv", "20261101 055000000,1.3,1.4,0\r\n20261101 060500000,1.3,1.4,0\r\n"}}},
    // Pairs beyond ASCII and pairs too long for a name: each its own file, of a name Windows takes.
    {"pairs beyond ASCII and long pairs apart", "\u20ac/\u00a5,20261201 09:00:00.000,1.1,1.2\r\nXXX/YYY,20261201 09:00:01.000,1.1,1.2\r\n"
     "\u20ac/$,20261201 09:00:02.000,1.1,1.2\r\n\u00a5/\u00a3,20261201 09:00:03.000,1.1,1.2\r\n" + std::string(300, 'Q') +
     ",20261201 09:00:04.000,1.1,1.2\r\n" + std::string(300, 'Q') + "R,20261201 09:00:05.000,1.1,1.2\r\n",
     {"--to", "template", "--template", "{symbol} {pair}"}, 0,
     {{"_b18b922a.csv", "_b18b922a \u20ac/\u00a5\r\n"}, {"XXXYYY.csv", "XXXYYY XXX/YYY\r\n"}, {"_298f832b.csv", "_298f832b \u20ac/$\r\n"},
      {"_4996423f.csv", "_4996423f \u00a5/\u00a3\r\n"},
      {std::string(55, 'Q') + "~46f12be1.csv", std::string(55, 'Q') + "~46f12be1 " + std::string(300, 'Q') + "\r\n"},
      {std::string(55, 'Q') + "~60a7cac9.csv", std::string(55, 'Q') + "~60a7cac9 " + std::string(300, 'Q') + "R\r\n"}}},
    // London's clock set back: the crossed row left out still tells that the second pass began.
    {"a crossed row on the time line", "EUR/USD,20261025 01:59:30.000,1.1,1.2\r\nEUR/USD,20261025 01:00:10.000,1.3,1.2\r\n"
     "EUR/USD,20261025 01:35:00.000,1.1,1.2\r\n", {"--to", "mt5", "--from", "Europe/London", "--tz", "UTC"}, 1,
     {{"EURUSD.csv",
       "<DATE>\t<TIME>\t<BID>\t<ASK>\t<LAST>\t<VOLUME>\t<FLAGS>\r\n"
       "2026.10.25\t00:59:30.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t01:35:00.000\t1.1\t1.2\t\t\t6\r\n"}}},
    // The output EURUSD.csv would be the input itself: nothing is written, the input stays.
    {"never over an input", "EUR/USD,20261201 09:00:00.000,1.1,1.2\r\n", {"--to", "mt5"}, 2,
     {{"EURUSD.csv", "EUR/USD,20261201 09:00:00.000,1.1,1.2\r\n"}}},
};

TEST(ExportGolden, EveryFormatWritesTheFilesWorkedOutByHand) {
  for (const Golden& golden : kGoldens) {
    SCOPED_TRACE(golden.name);
    const fs::path dir = fs::path(testing::TempDir()) / "orvalda-export-golden";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const bool intoInput = golden.exitCode == 2;
    const fs::path input = intoInput ? dir / "EURUSD.csv" : fs::path(testing::TempDir()) / "orvalda-export-in.csv";
    std::ofstream(input, std::ios::binary) << golden.recording;
    std::vector<std::string> args = golden.args;
    args.insert(args.end(), {"--out", dir.string(), input.string()});
    std::FILE* sink = std::tmpfile();
    EXPECT_EQ(orv::exporter::runExportCommandLine(args, sink, sink), golden.exitCode);
    std::fclose(sink);
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) files += entry.is_regular_file();
    EXPECT_EQ(files, golden.files.size());
    for (const auto& [name, text] : golden.files) {
      const std::string written = readAll(dir / name);
      EXPECT_EQ(name.ends_with(".zip") ? unzipOne(written) : written, text) << name;
    }
  }
}

TEST(ExportGolden, TheSummaryCountsWhatWasLeftOutWithItsLinesAlsoFromACompressedRecording) {
  for (const bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "plain");
    const fs::path input = fs::path(testing::TempDir()) / (compressed ? "orvalda-export-in.csv.gz" : "orvalda-export-in.csv");
    std::ofstream(input, std::ios::binary) << (compressed ? orv::test::gzipped(kMidnight) : std::string(kMidnight));
    const fs::path out = fs::path(testing::TempDir()) / "orvalda-export-summary";
    fs::remove_all(out);
    const orv::exporter::ExportCommand command = orv::exporter::parseExportArgs({"--to", "mt5", "--out", out.string(), input.string()});
    const orv::exporter::ExportRun run = orv::exporter::runExport(command);
    EXPECT_EQ(run.totals.rowsIn, 8u);
    EXPECT_EQ(run.totals.rowsOut, 5u);
    const std::string summary = orv::exporter::summaryOf(run);
    for (const char* expected : {"8 rows in, 5 exported, 3 left out", "3 rows  ", "EURUSD.csv\n", "left out, torn: 1\n",
                                 "line 4: 'EUR/USD,20261202 00:00:00.200,1.08152'", "left out, crossed: 1\n",
                                 "left out, unparsable: 1\n", "line 6: "})
      EXPECT_NE(summary.find(expected), std::string::npos) << expected << " in\n" << summary;
  }
}

// Africa/Cairo's clock set back from 24:00 EEST to 23:00 EET on Thursday 30
// October 2025, the market open: a row every 30 s of each pair, 100 ms apart,
// from 22:50 to the change and on the second pass from 23:00 to 23:30.
std::vector<std::string> cairoNight(const std::vector<std::string>& pairs) {
  std::vector<std::string> rows;
  const auto at = [&](int second) {
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      char row[96];
      std::snprintf(row, sizeof row, "%s,20251030 %02d:%02d:%02d.%03zu,1.16000,1.16010\r\n", pairs[k].c_str(), second / 3600,
                    second / 60 % 60, second % 60, k * 100);
      rows.push_back(row);
    }
  };
  for (int second = (22 * 60 + 50) * 60; second < 24 * 3600; second += 30) at(second);
  for (int second = 23 * 3600; second <= (23 * 60 + 30) * 60; second += 30) at(second);
  return rows;
}

// Edited recordings, judged alike by both tools: the rows each finds, their
// exit codes, what the checker says and the prices as written.
TEST(BothTools, JudgeEditedRecordingsAlike) {
  struct Case {
    const char* name;
    const char* text;
    std::uint64_t rows;
    int exitCode;            // of both
    const char* checkSays;   // part of the checker's summary
    const char* written;     // part of EURUSD.csv, or "" for no file
    std::vector<std::string> clock = {};  // the stamps' clock, for both
    std::vector<std::string> format = {"--to", "mt5"};
    std::string then = {};  // a second file of the recording, given after the first
  };
  // London's clock set back at 02:00 BST: the second 01:00 follows 01:59:59.
  const char* const londonBack =
      "EUR/USD,20261025 01:59:30.000,1.10000,1.10010\r\n"
      "EUR/USD,20261025 01:59:59.000,1.10001,1.10011\r\n"
      "EUR/USD,20261025 01:00:20.000,1.10002,1.10012\r\n"
      "EUR/USD,20261025 01:00:50.000,1.10003,1.10013\r\n";
  // Cairo's night, USD/JPY's row at the first 23:10 written 1 ms before EUR/USD's row above it.
  std::string interleaved;
  for (std::string row : cairoNight({"EUR/USD", "USD/JPY"})) {
    if (row.starts_with("USD/JPY,20251030 23:10:00.100") && interleaved.find("23:10:00.100") == std::string::npos)
      row.replace(row.find("23:10:00.100"), 12, "23:09:59.999");
    interleaved += row;
  }
  // Cairo's night of one pair, cut into two files after the second 23:15.
  const std::vector<std::string> night = cairoNight({"EUR/USD"});
  const auto cut = std::find(night.rbegin(), night.rend(), "EUR/USD,20251030 23:15:00.000,1.16000,1.16010\r\n").base();
  std::string beforeCut, afterCut;
  for (auto row = night.begin(); row != night.end(); ++row) (row < cut ? beforeCut : afterCut) += *row;
  const std::vector<std::string> cairo = {"--from", "Africa/Cairo"}, mt5InUtc = {"--to", "mt5", "--tz", "UTC"};
  const Case cases[] = {
      {"a header, LF ends, trailing zeros dropped",
       "Symbol,Time,Bid,Ask\n"
       "EUR/USD,20261201 09:00:00.000,1.08150,1.08166\n"
       "EUR/USD,20261201 09:00:01.000,1.0815,1.0816\n"
       "EUR/USD,20261201 09:00:02.000,1.08151,1.0817\n"
       "EUR/USD,20261201 09:00:03.000,1.08152,1.08168\n",
       4, 0, "EUR/USD digits: 2 rows with fewer than its 5 decimals (lines 3, 4)", "\t1.0815\t1.0816\t"},
      {"a header alone", "pair,time,bid,ask\r\n", 0, 0, "line 1 names the columns", ""},
      {"semicolons", "EUR/USD;20261201 09:00:00.000;1.08150;1.08166\r\nEUR/USD;20261201 09:00:01.000;1.08151;1.08166\r\n", 0, 2,
       "is not a recording", ""},
      {"a tester's log", "Time,Message\r\n09:00:00 listening\r\n09:00:01 2 ticks taken\r\n", 0, 2, "is not a recording", ""},
      {"London's clock set back", londonBack, 4, 0, "clean", "\t1.10003\t", {"--from", "Europe/London"}},
      {"one spread written with 4, 5 and 6 decimals",
       "EUR/USD,20261201 09:00:00.000,1.0800,1.0801\r\n"
       "EUR/USD,20261201 09:00:01.000,1.08000,1.08010\r\n"
       "EUR/USD,20261201 09:00:02.000,1.080000,1.080100\r\n",
       3, 0, "min 100, median 100, 99th percentile 100, max 100", "100\r\n100\r\n100\r\n", {},
       {"--to", "template", "--template", "{spread}"}},
      // A row of 45 decimals cannot be compared with the pair's rows of 5: left out, it spoils none of their spreads.
      {"one row of 45 decimals among rows of 5",
       "EUR/USD,20261201 09:00:00.000,1.08150,1.08166\r\n"
       "EUR/USD,20261201 09:00:01.000,108150e-45,108166e-45\r\n"
       "EUR/USD,20261201 09:00:02.000,1.08151,1.08166\r\n",
       2, 1, "too far apart to compare", "16\r\n15\r\n", {}, {"--to", "template", "--template", "{spread}"}},
      // ... and first: the pair's plain rows set its unit all the same, the stray row cut to it.
      {"one row of 45 decimals before rows of 5",
       "EUR/USD,20261201 09:00:00.000,108150e-45,108166e-45\r\n"
       "EUR/USD,20261201 09:00:01.000,1.08150,1.08166\r\n"
       "EUR/USD,20261201 09:00:02.000,1.08151,1.08166\r\n",
       3, 0, "1 row with other than its 5 decimals (line 1)", "0\r\n16\r\n15\r\n", {}, {"--to", "template", "--template", "{spread}"}},
      {"a line that is no row, then a last row without a line end", "garbage\nEUR/USD,20261201 09:00:00.000,1.08150,1.08166", 1, 1,
       "1 unended last row (line 2)", "\t1.08150\t1.08166\t"},
      {"rows in the hour New York skips, by the offset before it",
       "EUR/USD,20260308 02:30:00.000,1.08150,1.08166\r\nEUR/USD,20260308 02:45:00.000,1.08151,1.08166\r\n", 2, 0,
       "2 skipped-hour stamps (lines 1, 2)", "2026.03.08\t07:30:00.000\t", {"--from", "America/New_York"}, mt5InUtc},
      {"a row a millisecond before the row above keeps its pass", interleaved.c_str(), 402, 0, "clean",
       "2025.10.30\t20:20:00.000\t", cairo, mt5InUtc},
      {"a recording cut into two files on the second pass", beforeCut.c_str(), 201, 0, "clean", "2025.10.30\t21:15:30.000\t",
       cairo, mt5InUtc, afterCut},
  };
  const fs::path input = fs::path(testing::TempDir()) / "orvalda-edited.csv", out = fs::path(testing::TempDir()) / "orvalda-edited";
  const fs::path then = fs::path(testing::TempDir()) / "orvalda-edited-then.csv";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(input, std::ios::binary) << c.text;
    std::ofstream(then, std::ios::binary) << c.then;
    fs::remove_all(out);
    std::vector<std::string> files = {input.string()};
    if (!c.then.empty()) files.push_back(then.string());
    std::vector<std::string> args = c.clock;
    args.insert(args.end(), files.begin(), files.end());
    const orv::check::CheckOptions options = orv::check::parseCheckArgs(args).options;
    args.insert(args.begin(), {"--out", out.string()});
    args.insert(args.begin(), c.format.begin(), c.format.end());
    const orv::exporter::ExportRun run = orv::exporter::runExport(orv::exporter::parseExportArgs(args));
    EXPECT_EQ(run.exitCode, c.exitCode) << orv::exporter::summaryOf(run);
    EXPECT_EQ(run.totals.rowsOut, c.rows);
    const std::string written = readAll(out / "EURUSD.csv");
    EXPECT_NE(written.find(c.written), std::string::npos) << written.substr(0, 2000);
    const std::vector<orv::check::FileReport> checked = orv::check::checkAll(files, options);
    std::uint64_t rows = 0;
    for (const orv::check::FileReport& file : checked) rows += file.rows;
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(orv::check::exitCodeOf(checked), c.exitCode);
    const std::string summary = orv::check::textReport(checked, options);
    EXPECT_NE(summary.find(c.checkSays), std::string::npos) << summary;
  }
}

// Lines ended by a bare CR with an LF far ahead: every byte is searched a
// bounded number of times, and both tools find every row.
TEST(BothTools, ReadLinesOfBareCrsInOnePass) {
  std::string bytes;
  constexpr int kRows = 40000;
  for (int i = 0; i < kRows; ++i) {
    char row[64];
    std::snprintf(row, sizeof row, "EUR/USD,20261201 09:%02d:%02d.%03d,1.1,1.2%s", i / 60000 % 60, i / 1000 % 60, i % 1000,
                  i % 10000 == 9999 ? "\n" : "\r");
    bytes += row;
  }
  std::size_t at = 0;
  orv::recordings::LineReader reader([&](char* buffer, std::size_t size, std::string&) -> std::ptrdiff_t {
    const std::size_t n = std::min(size, bytes.size() - at);
    std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  });
  orv::recordings::Line line;
  while (reader.next(line)) {
  }
  EXPECT_EQ(reader.linesRead(), static_cast<std::uint64_t>(kRows));
  EXPECT_LE(reader.bytesSearched(), 3 * bytes.size());

  const fs::path input = fs::path(testing::TempDir()) / "orvalda-bare-cr.csv", out = fs::path(testing::TempDir()) / "orvalda-bare-cr";
  std::ofstream(input, std::ios::binary) << bytes;
  fs::remove_all(out);
  EXPECT_EQ(orv::check::checkFile(input.string(), {}).rows, static_cast<std::uint64_t>(kRows));
  const orv::exporter::ExportRun run = orv::exporter::runExport(orv::exporter::parseExportArgs({"--to", "mt5", "--out", out.string(), input.string()}));
  EXPECT_EQ(run.totals.rowsOut, static_cast<std::uint64_t>(kRows));
}

}  // namespace

namespace {

int runQuietly(std::vector<std::string> args, std::string* errors = nullptr) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int code = orv::exporter::runExportCommandLine(args, out, err);
  if (errors != nullptr) {
    std::rewind(err);
    char line[1024];
    errors->clear();
    while (std::fgets(line, sizeof line, err) != nullptr) *errors += line;
  }
  std::fclose(out);
  std::fclose(err);
  return code;
}

TEST(ExportSafety, NothingIsWrittenOrReplacedUnlessTheWholeRunCan) {
  const fs::path dir = fs::path(testing::TempDir()) / "orvalda-export-safety";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string input = (dir / "X.csv").string(), out = (dir / "out").string();
  std::ofstream(input, std::ios::binary) << "EUR/USD,20261201 09:00:00.000,1.1,1.2\r\n";
  std::string errors;

  // An input missing among several, or a folder: no output folder, one line in the user's words.
  EXPECT_EQ(runQuietly({"--to", "lean", "--out", out, input, (dir / "gone.csv").string()}, &errors), 2);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(errors, "orvalda-export: " + (dir / "gone.csv").string() + " does not exist\n");
  EXPECT_EQ(runQuietly({"--to", "mt5", "--out", out, input, dir.string()}, &errors), 2);
  EXPECT_EQ(errors, "orvalda-export: " + dir.string() + " is a folder, not a recording\n");
  EXPECT_FALSE(fs::exists(out));

  // A file already there is kept without --force, and replaced with it.
  fs::create_directories(out);
  std::ofstream(dir / "out" / "EURUSD.csv", std::ios::binary) << "mine";
  const orv::exporter::ExportRun kept = orv::exporter::runExport(orv::exporter::parseExportArgs({"--to", "mt5", "--out", out, input}));
  EXPECT_EQ(kept.exitCode, 2);
  EXPECT_EQ(kept.totals.wouldReplace, std::vector<std::string>{(dir / "out" / "EURUSD.csv").string()});
  EXPECT_EQ(orv::exporter::summaryOf(kept).find("exported"), std::string::npos) << orv::exporter::summaryOf(kept);
  EXPECT_EQ(readAll(dir / "out" / "EURUSD.csv"), "mine");
  EXPECT_EQ(runQuietly({"--to", "mt5", "--force", "--out", out, input}), 0);
  EXPECT_NE(readAll(dir / "out" / "EURUSD.csv"), "mine");
  EXPECT_EQ(fs::directory_iterator(out)->path().filename(), "EURUSD.csv");  // no part left

  // A bad option: one line, not the whole usage.
  EXPECT_EQ(runQuietly({"--to", "mt5", "--bogus", input}, &errors), 2);
  EXPECT_EQ(errors, "orvalda-export: unknown option '--bogus' (see --help)\n");

  // X.csv and X.csv.gz beside each other go to folders of their own.
  EXPECT_NE(orv::exporter::parseExportArgs({"--to", "mt5", input}).settings.outDir,
            orv::exporter::parseExportArgs({"--to", "mt5", input + ".gz"}).settings.outDir);
}

// Under --force too, the user's files stay as they were unless every output
// is in place; a failed run removes the folders it made in an --out that
// was there; two pairs that would share a file are refused, both named.
TEST(ExportSafety, AFailedRunLeavesTheFolderAsItWas) {
  const fs::path dir = fs::path(testing::TempDir()) / "orvalda-export-undone", out = dir / "out";
  fs::remove_all(dir);
  fs::create_directories(out / "USDJPY.csv");  // a folder where an output goes
  std::ofstream(out / "EURUSD.csv", std::ios::binary) << "mine";
  const std::string good = (dir / "good.csv").string(), notRows = (dir / "semicolons.csv").string(),
                    sharing = (dir / "sharing.csv").string();
  std::ofstream(good, std::ios::binary) << kMidnight;
  std::ofstream(notRows, std::ios::binary) << "EUR/USD;20261201 09:00:00.000;1.1;1.2\r\n";
  // The same eight hexadecimal digits tell these two pairs from others.
  std::ofstream(sharing, std::ios::binary) << "\u00e9\u00fc\u00e9/\u00fc\u00e0\u00a3,20261201 09:00:00.000,1.1,1.2\r\n"
                                              "\u00e9\u00fc\u00e0/\u00f9\u00fc\u00e8,20261201 09:00:01.000,1.1,1.2\r\n";
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(out)) names.push_back(fs::relative(entry.path(), out).string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = listing();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {"a folder in the way", {"--to", "mt5", "--force", good}, "USDJPY.csv in place: a folder"},
      {"a file that is no recording", {"--to", "lean", "--force", good, notRows}, "is not a recording"},
      {"two pairs, one name", {"--to", "mt5", sharing}, "the pairs '\u00e9\u00fc\u00e9/\u00fc\u00e0\u00a3' and '\u00e9\u00fc\u00e0/\u00f9\u00fc\u00e8'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + 2, {"--out", out.string()});
    std::string errors;
    EXPECT_EQ(runQuietly(args, &errors), 2);
    EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(readAll(out / "EURUSD.csv"), "mine");
  }
}

// Memory and open files stay bounded whatever the number of symbols (the
// C runtime on Windows has 512 streams), seen between the blocks read.
TEST(ExportSafety, TwoThousandSymbolsTakeBoundedMemoryAndHandles) {
  const fs::path dir = fs::path(testing::TempDir()) / "orvalda-export-many";
  fs::remove_all(dir);
  fs::create_directories(dir);
  {
    std::ofstream in(dir / "many.csv", std::ios::binary);
    char row[96];
    for (int i = 0; i < 80000; ++i) {
      std::snprintf(row, sizeof row, "S%04d/USD,20261201 09:%02d:%02d.%03d,1.%05d,1.%05d\r\n", i % 2000, i / 60000 % 60, i / 1000 % 60, i % 1000,
                    10000 + i % 2000, 10010 + i % 2000);
      in << row;
    }
  }
  const auto openFiles = [] {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& fd : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
  };
  const auto allocated = [] {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
  };
  for (const char* format : {"nt8", "lean"}) {
    SCOPED_TRACE(format);
    const std::size_t filesBefore = openFiles(), bytesBefore = allocated();
    std::size_t mostFiles = 0, mostBytes = 0;
    const orv::exporter::ExportRun run = orv::exporter::runExport(
        orv::exporter::parseExportArgs({"--to", format, "--out", (dir / format).string(), (dir / "many.csv").string()}), [&](std::uint64_t) {
          mostFiles = std::max(mostFiles, openFiles() - filesBefore);
          mostBytes = std::max(mostBytes, allocated() - bytesBefore);
        });
    EXPECT_EQ(run.exitCode, 0) << run.error;
    EXPECT_EQ(run.totals.files.size(), std::string(format) == "nt8" ? 4000u : 2000u);
    EXPECT_LE(mostFiles, 100u);
    EXPECT_LE(mostBytes, std::size_t{40} << 20);
  }
}

}  // namespace

#include "export/export_form.h"

namespace {

// The dialog speaks of its fields, never of options.
TEST(ExportForm, ComplaintsNameTheFieldsNotTheOptions) {
  orv::exporter::ExportForm form;
  form.files = {"x.csv"};
  for (const auto& [zone, field] : {std::pair{&orv::exporter::ExportForm::toZone, "\"Write in\""},
                                    std::pair{&orv::exporter::ExportForm::fromZone, "\"Recorded in\""}}) {
    orv::exporter::ExportForm bad = form;
    bad.*zone = "Nowhere/City";
    const std::string message = orv::exporter::formMessage(orv::exporter::parseExportArgs(orv::exporter::argsOf(bad)).error);
    EXPECT_NE(message.find(field), std::string::npos) << message;
    EXPECT_EQ(message.find("--"), std::string::npos) << message;
  }
  EXPECT_EQ(orv::exporter::formatLabel("mt5"), "MetaTrader 5 ticks (mt5)");
}

// Add… opens in the folder of the last recording listed (a drive's root
// with its backslash); with none, the caller's default (the documents).
TEST(ExportForm, AddOpensWhereTheLastRecordingIs) {
  orv::exporter::ExportForm form;
  for (const auto& [files, folder] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, ""}, {{"C:\\a\\x.csv", "D:\\t\\y.csv"}, "D:\\t"}, {{"C:\\y.csv"}, "C:\\"}, {{"y.csv"}, ""}}) {
    form.files = files;
    EXPECT_EQ(orv::exporter::addDialogFolder(form), folder);
  }
}

}  // namespace
