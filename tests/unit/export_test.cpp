// orvalda-export's formats against files worked out by hand: each case a
// small recording, a command line and every file it must leave; and edited
// recordings judged alike by the exporter and the checker.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "check/check_options.h"
#include "check/program.h"
#include "check/reports.h"
#include "export/program.h"
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
  const char* recording;
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
    "EUR/USD,20261025 01:30:00.000,1.1,1.2\r\n"   // the first pass, BST
    "EUR/USD,20261025 01:10:00.000,1.1,1.2\r\n"   // back in time: the second pass, GMT
    "EUR/USD,20261025 01:40:00.000,1.1,1.2\r\n"
    "EUR/USD,20261025 02:00:00.000,1.1,1.2\r\n";

// London's clock over the hour it skips (29 March 2026, 01:00 GMT on to 02:00 BST).
const char* const kLondonMarch =
    "GBP/USD,20260329 00:59:00.000,1.26,1.27\r\n"
    "GBP/USD,20260329 01:30:00.000,1.26,1.27\r\n"  // no such time in London
    "GBP/USD,20260329 02:00:00.000,1.26,1.27\r\n";

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
    {"histdata, New York's winter offset", kMidnight, {"--to", "histdata"}, 1,
     {{"EURUSD.csv", "20261201 185959900,1.08150,1.08166,0\r\n20261201 190000100,1.08151,1.08160,0\r\n20261201 190030000,1.08149,1.08171,0\r\n"},
      {"USDJPY.csv", "20261201 185959950,150.123,150.140,0\r\n20261201 190045500,150.124,150.139,0\r\n"}}},
    {"bars", kMidnight, {"--to", "bars", "--tf", "M1"}, 1,
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
       "2026.10.25\t00:30:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t01:10:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t01:40:00.000\t1.1\t1.2\t\t\t6\r\n"
       "2026.10.25\t02:00:00.000\t1.1\t1.2\t\t\t6\r\n"}}},
    {"London's skipped hour left out, LEAN in UTC", kLondonMarch, {"--to", "lean", "--from", "Europe/London"}, 1,
     {{"forex/oanda/tick/gbpusd/20260329_quote.zip", "20260329_gbpusd_tick_quote.csv\n3540000,1.26,1.27\n3600000,1.26,1.27\n"}}},
    {"daily bars at the midnight of NY+7", "EUR/USD,20261201 21:59:00.000,1.1,1.2\r\nEUR/USD,20261201 22:00:00.000,1.1,1.2\r\n",
     {"--to", "bars", "--tf", "D1", "--tz", "NY+7"}, 0,
     {{"EURUSD-D1.csv",
       "time,bid_open,bid_high,bid_low,bid_close,ask_open,ask_high,ask_low,ask_close,ticks,spread_min,spread_max\r\n"
       "2026-12-01 00:00:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"
       "2026-12-02 00:00:00,1.1,1.1,1.1,1.1,1.2,1.2,1.2,1.2,1,1,1\r\n"}}},
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
    const orv::exporter::ExportCommand command = orv::exporter::parseExportArgs(
        {"--to", "mt5", "--out", (fs::path(testing::TempDir()) / "orvalda-export-summary").string(), input.string()});
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
  };
  // London's clock set back at 02:00 BST: the second 01:00 follows 01:59:59.
  const char* const londonBack =
      "EUR/USD,20261025 01:59:30.000,1.10000,1.10010\r\n"
      "EUR/USD,20261025 01:59:59.000,1.10001,1.10011\r\n"
      "EUR/USD,20261025 01:00:20.000,1.10002,1.10012\r\n"
      "EUR/USD,20261025 01:00:50.000,1.10003,1.10013\r\n";
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
  };
  const fs::path input = fs::path(testing::TempDir()) / "orvalda-edited.csv", out = fs::path(testing::TempDir()) / "orvalda-edited";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(input, std::ios::binary) << c.text;
    fs::remove_all(out);
    std::vector<std::string> args = c.clock;
    args.push_back(input.string());
    const orv::check::CheckOptions options = orv::check::parseCheckArgs(args).options;
    args.insert(args.begin(), {"--to", "mt5", "--out", out.string()});
    const orv::exporter::ExportRun run = orv::exporter::runExport(orv::exporter::parseExportArgs(args));
    EXPECT_EQ(run.exitCode, c.exitCode) << orv::exporter::summaryOf(run);
    EXPECT_EQ(run.totals.rowsOut, c.rows);
    EXPECT_NE(readAll(out / "EURUSD.csv").find(c.written), std::string::npos);
    const orv::check::FileReport checked = orv::check::checkFile(input.string(), options);
    EXPECT_EQ(checked.rows, c.rows);
    EXPECT_EQ(orv::check::exitCodeOf({checked}), c.exitCode);
    const std::string summary = orv::check::textReport({checked}, options);
    EXPECT_NE(summary.find(c.checkSays), std::string::npos) << summary;
  }
}

}  // namespace
