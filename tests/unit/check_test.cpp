// orvalda-check: each kind of problem found at its line, silences around the
// weekly close, bad input, the figures and the chart, the command line, and
// a random-input test of the row reading, short by default and as long as
// wanted with ORVALDA_CHECK_FUZZ=N rounds (1000 by default).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "check/check_options.h"
#include "check/program.h"
#include "check/recording_check.h"
#include "check/reports.h"
#include "core/row_format.h"
#include "report/texts.h"
#include "tests/unit/gzip_bytes.h"
#include "tools/feed_parse.h"

namespace orv::check {
namespace {

std::int64_t msOf(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  using namespace std::chrono;
  return static_cast<std::int64_t>(sys_days{year{y} / month{mo} / day{d}}.time_since_epoch().count()) * 86400000 +
         ((h * 60 + mi) * 60 + s) * 1000;
}

std::string stampOf(std::int64_t ms) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{ms / 86400000}}};
  const std::int64_t t = ms % 86400000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02u%02u %02d:%02d:%02d.%03d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(t / 3600000),
                static_cast<int>(t / 60000 % 60), static_cast<int>(t / 1000 % 60), static_cast<int>(t % 1000));
  return buf;
}

std::string fiveDecimals(std::int64_t points) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld.%05lld", static_cast<long long>(points / 100000), static_cast<long long>(points % 100000));
  return buf;
}

struct Tick {
  std::int64_t ms, bid, ask;
  std::string pair = "EUR/USD";
  std::string line() const { return pair + "," + stampOf(ms) + "," + fiveDecimals(bid) + "," + fiveDecimals(ask) + "\r\n"; }
};

// 300 quiet ticks, one every 250 ms from Monday 2026-12-07 09:00 UTC: the bid
// moves 0 to 2 points at a time, the spread 12 to 16 points.
std::vector<Tick> quietTicks() {
  std::vector<Tick> ticks;
  std::int64_t bid = 108150;
  static constexpr int kMoves[] = {1, -1, 2, 0, -2, 1, 1, -1, 0, -1};
  for (int i = 0; i < 300; ++i) {
    bid += kMoves[i % 10];
    ticks.push_back({msOf(2026, 12, 7, 9, 0, 0) + i * 250, bid, bid + 12 + i % 5});
  }
  return ticks;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l;
  return out;
}

std::vector<std::string> linesOf(const std::vector<Tick>& ticks) {
  std::vector<std::string> lines;
  for (const Tick& t : ticks) lines.push_back(t.line());
  return lines;
}

bool validUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// Checks bytes twice: in the reader's usual blocks, and in blocks of `block`
// bytes, where hardly a row arrives whole and each goes the slow way. Both
// must make the same report; the JSON and the page must be valid UTF-8.
FileReport checked(const std::string& bytes, const CheckOptions& options = {}, std::size_t block = 7) {
  FileReport whole = checkBytes(bytes, "test.csv", options);
  const FileReport pieces = checkBytes(bytes, "test.csv", options, block);
  EXPECT_EQ(textReport({whole}, options), textReport({pieces}, options));
  // Compressed, the same findings, line numbers and all.
  EXPECT_EQ(textReport({checkBytes(test::gzipped(bytes), "test.csv", options, block)}, options),
            textReport({whole}, options));
  const std::string json = jsonReport({whole}, options), page = htmlReport({whole}, options);
  EXPECT_TRUE(validUtf8(json)) << json;
  EXPECT_TRUE(validUtf8(page));
  return whole;
}

std::string problemsOf(const FileReport& r) {
  std::string out;
  for (const Problem& p : r.problems) out += "\n  line " + std::to_string(p.line) + " " + std::string(kindName(p.kind)) + ": " + p.text;
  return out;
}

// ---------------------------------------------------------------------------

TEST(CheckRecording, FindsEachKindOfProblemAtItsLine) {
  using Ticks = std::vector<Tick>;
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::function<void(Ticks&)> onTicks;  // a damage to the ticks, or none
    std::function<void(Lines&)> onLines;  // then to the lines written of them, or none
    std::optional<ProblemKind> kind;       // the one problem expected, or none
    std::uint64_t line;                    // where the problem (or else the note, silence or symbol change) is
    const char* text;                      // part of its text
    std::optional<NoteKind> note = std::nullopt;  // the one note expected, or none
  };
  const auto from = [](std::size_t index, auto change) {
    return [=](Ticks& t) {
      for (std::size_t i = index; i < t.size(); ++i) change(t[i]);
    };
  };
  const std::vector<Case> cases = {
      {"clean", nullptr, nullptr, std::nullopt, 0, ""},
      {"three fields", nullptr, [](Lines& l) { l[49] = l[49].substr(0, l[49].rfind(',')) + "\r\n"; },
       ProblemKind::Torn, 50, "3 fields"},
      {"last row cut off", nullptr, [](Lines& l) { l[299].resize(30); }, ProblemKind::Torn, 300, "no line end"},
      {"empty line", nullptr, [](Lines& l) { l.insert(l.begin() + 140, "\r\n"); }, ProblemKind::Torn, 141, "empty line"},
      {"stamp that does not parse", nullptr, [](Lines& l) { l[59].replace(12, 2, "13"); }, ProblemKind::Unparsable, 60,
       "20261307"},
      {"price of other decimals", nullptr, [](Lines& l) { l[69].erase(l[69].rfind(',') - 1, 1); }, std::nullopt, 70,
       "EUR/USD digits: 1 row with fewer than its 5 decimals (line 70)"},
      {"price that is no number", nullptr, [](Lines& l) { l[74][l[74].rfind(',') + 2] = 'x'; },
       ProblemKind::Unparsable, 75, "ask '1x"},
      {"time going back", [](Ticks& t) { t[79].ms = t[78].ms - 2000; }, nullptr, ProblemKind::Order, 80,
       "goes back 2.000 s"},
      {"repeat", nullptr, [](Lines& l) { l[89] = l[88]; }, std::nullopt, 90, "1 repeat (line 90)", NoteKind::Repeat},
      {"crossed", [](Ticks& t) { t[99].bid = t[99].ask + 5; }, nullptr, ProblemKind::Crossed, 100, "above ask"},
      {"zero spread", [](Ticks& t) { t[109].ask = t[109].bid; }, nullptr, std::nullopt, 110, "1 zero spread (line 110)",
       NoteKind::ZeroSpread},
      {"spike", [](Ticks& t) { t[119].bid += 400, t[119].ask += 400; }, nullptr, ProblemKind::Spike, 120,
       "bid jumps up 399 points, 399 times its usual move of 1"},
      {"spike of two ticks",
       [](Ticks& t) {
         for (std::size_t i : {129, 130}) t[i].bid -= 300, t[i].ask -= 300;
       },
       nullptr, ProblemKind::Spike, 130, "back 2 ticks"},
      {"spike after a row of more decimals", [](Ticks& t) { t[119].bid += 400, t[119].ask += 400; },
       [](Lines& l) { l[109].insert(l[109].size() - 2, "0"), l[109].insert(l[109].rfind(','), "0"); },
       ProblemKind::Spike, 120, "399 times its usual move of 10"},
      {"silence", from(149, [](Tick& t) { t.ms += 5 * 60000; }), nullptr, std::nullopt, 150, "5 min 00.250 s"},
      {"symbol change", from(199, [](Tick& t) { t.pair = "GBP/USD"; }), nullptr, std::nullopt, 200, "EUR/USD to GBP/USD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ticks ticks = quietTicks();
    if (c.onTicks) c.onTicks(ticks);
    Lines lines = linesOf(ticks);
    if (c.onLines) c.onLines(lines);
    const FileReport r = checked(joined(lines));
    const std::string found = problemsOf(r), summary = textReport({r}, {});
    if (c.kind) {
      ASSERT_EQ(r.problemTotal(), 1u) << found;
      EXPECT_EQ(r.problems[0].kind, *c.kind) << found;
      EXPECT_EQ(r.problems[0].line, c.line) << found;
      EXPECT_NE(r.problems[0].text.find(c.text), std::string::npos) << found;
    } else {
      EXPECT_EQ(r.problemTotal(), 0u) << found;
    }
    for (std::size_t k = 0; k < kNoteKinds; ++k) {
      const bool expected = c.note && static_cast<std::size_t>(*c.note) == k;
      EXPECT_EQ(r.notes[k].count, expected ? 1u : 0u) << kindName(static_cast<NoteKind>(k));
      if (expected) {
        EXPECT_EQ(r.notes[k].lines, std::vector<std::uint64_t>{c.line});
      }
    }
    const bool silence = std::string(c.name) == "silence", change = std::string(c.name) == "symbol change";
    ASSERT_EQ(r.silenceCount, silence ? 1u : 0u) << summary;
    ASSERT_EQ(r.symbolChanges.size(), change ? 1u : 0u) << summary;
    if (silence) {
      EXPECT_EQ(r.silences[0].line, c.line);
    }
    if (change) {
      EXPECT_EQ(r.symbolChanges[0].line, c.line);
    }
    EXPECT_NE(summary.find(c.text), std::string::npos) << summary;
    EXPECT_EQ(r.clean(), !c.kind && !silence);
    std::uint64_t hourTicks = 0;
    for (const FileReport::Symbol& pair : r.symbols) {
      EXPECT_EQ(pair.ticksPerHour.count(), 1u);  // all in one clock hour
      hourTicks += pair.ticksPerHour.max();
    }
    EXPECT_EQ(hourTicks, r.rows);
    const bool notARow = c.kind == ProblemKind::Torn || c.kind == ProblemKind::Unparsable;
    EXPECT_EQ(r.rows, lines.size() - (notARow ? 1 : 0));
  }
}

// Silences: longer than --gap, apart from the weekly close (Friday 17:00 to
// Sunday 17:00 in New York: 22:00 UTC in winter, 21:00 UTC in summer; local
// stamps are moved to UTC by --utc-offset first), counted by length too.
TEST(CheckRecording, SilencesLeaveOutTheWeeklyClose) {
  struct Case {
    const char* name;
    std::int64_t from, to;  // the two ticks' stamps
    std::vector<std::string> args;
    std::int64_t openMs;  // the silence expected, outside the close; 0: none
  };
  const std::int64_t hour = 3600000, minute = 60000, second = 1000;
  const std::int64_t winterFriday = msOf(2026, 12, 4, 0, 0, 0), winterSunday = msOf(2026, 12, 6, 0, 0, 0);
  const std::int64_t summerFriday = msOf(2026, 7, 10, 0, 0, 0), summerSunday = msOf(2026, 7, 12, 0, 0, 0);
  const std::vector<Case> cases = {
      {"winter weekend", winterFriday + 21 * hour + 59 * minute + 50 * second, winterSunday + 22 * hour + 5 * second, {}, 0},
      {"summer weekend", summerFriday + 20 * hour + 59 * minute + 50 * second, summerSunday + 21 * hour + 5 * second, {}, 0},
      {"straddling the summer close", summerFriday + 20 * hour + 50 * minute, summerFriday + 27 * hour, {}, 10 * minute},
      {"straddling the winter open", winterSunday + 12 * hour, winterSunday + 22 * hour + 2 * minute, {}, 2 * minute},
      {"weekend, counted", winterFriday + 21 * hour + 59 * minute + 50 * second, winterSunday + 22 * hour + 5 * second,
       {"--session", "none"}, 48 * hour + 15 * second},
      {"a feed dead from Friday to Monday", winterFriday + 18 * hour, winterSunday + 24 * hour + 8 * hour, {}, 14 * hour},
      {"local stamps, offset given", winterFriday + 23 * hour + 59 * minute + 50 * second, winterSunday + 24 * hour + 5 * second,
       {"--utc-offset", "+02:00"}, 0},
      {"local stamps taken as UTC", winterFriday + 23 * hour + 59 * minute + 50 * second, winterSunday + 24 * hour + 5 * second,
       {}, 2 * hour + 5 * second},
      {"a close in UTC", summerFriday + 20 * hour + 59 * minute + 50 * second, summerSunday + 21 * hour + 5 * second,
       {"--session", "Fri 22:00-Sun 22:00 UTC"}, hour + 10 * second},
      {"a close on another clock", summerFriday + 20 * hour, summerSunday + 21 * hour, {"--session", "Sat 00:00-Sun 00:00 NY+7"},
       25 * hour},
      {"61 s", winterSunday + 23 * hour, winterSunday + 23 * hour + 61 * second, {}, 61 * second},
      {"60 s is no silence", winterSunday + 23 * hour, winterSunday + 23 * hour + 60 * second, {}, 0},
      {"--gap 10", winterSunday + 23 * hour, winterSunday + 23 * hour + 11 * second, {"--gap", "10"}, 11 * second},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.push_back("x.csv");
    const CheckCommand command = parseCheckArgs(args);
    ASSERT_EQ(command.error, "");
    const FileReport r = checked(Tick{c.from, 108150, 108160}.line() + Tick{c.to, 108151, 108161}.line(), command.options);
    ASSERT_EQ(r.silenceCount, c.openMs > 0 ? 1u : 0u) << textReport({r}, command.options);
    if (c.openMs > 0) {
      EXPECT_EQ(r.silences[0].openMs, c.openMs);
      EXPECT_EQ(r.silences[0].toMs - r.silences[0].fromMs, c.to - c.from);
    }
    for (std::size_t b = 0; b < kGapBuckets; ++b) EXPECT_EQ(r.gapBuckets[b], c.openMs > kGapBucketsMs[b] ? 1u : 0u) << b;
  }
}

// Two symbols interleaved row by row are judged each on its own: a spike of
// one shows, the other's prices are no spike, and each has its own chart and
// row count. Files of one symbol given together are one recording: a day
// missing between them is a silence, an overlap a problem.
TEST(CheckRecording, SymbolsApartAndFilesTogether) {
  std::string mixed;
  for (Tick t : quietTicks()) {
    Tick yen{t.ms + 100, t.bid * 100 + 4000000, t.ask * 100 + 4000000, "USD/JPY"};  // 150.xxx
    if (t.ms == quietTicks()[119].ms) t.bid += 400, t.ask += 400;
    mixed += t.line() + yen.line();
  }
  const FileReport r = checked(mixed);
  ASSERT_EQ(r.problemTotal(), 1u) << problemsOf(r);
  EXPECT_EQ(r.problems[0].kind, ProblemKind::Spike);
  EXPECT_EQ(r.problems[0].line, 239u);
  ASSERT_EQ(r.symbols.size(), 2u);
  EXPECT_EQ(r.symbols[1].pair, "USD/JPY");
  EXPECT_EQ(r.symbols[1].rows, 300u);
  EXPECT_GT(r.symbols[1].chart.columns(10)[5].bidMin, 140.0);
  EXPECT_LT(r.symbols[0].chart.columns(10)[5].bidMax, 2.0);
  EXPECT_NE(textReport({r}, {}).find("EUR/USD 300, USD/JPY 300"), std::string::npos) << textReport({r}, {});

  const auto day = [](int d, int hours, const char* pair = "EUR/USD") {
    std::string rows;
    for (int i = 0; i < 3; ++i) rows += Tick{msOf(2026, 12, d, hours, 0, i), 108150, 108160, pair}.line();
    return rows;
  };
  // Given out of order: Tuesday, Monday, Thursday; Wednesday is missing. The
  // weekend before Monday is no silence.
  std::vector<FileReport> files = {checkBytes(day(8, 9), "tue.csv", {}), checkBytes(day(4, 21), "fri.csv", {}),
                                   checkBytes(day(7, 9), "mon.csv", {}), checkBytes(day(10, 9), "thu.csv", {})};
  checkAcrossFiles(files, {});
  ASSERT_EQ(files[0].path, "fri.csv");
  EXPECT_EQ(files[1].path, "mon.csv");
  EXPECT_EQ(files[1].silenceCount, 1u);  // Friday 21:00:02 to the close at 22:00 UTC, and Sunday 22:00 to Monday 09:00
  EXPECT_EQ(files[1].silences[0].openMs, msOf(2026, 12, 4, 22, 0, 0) - msOf(2026, 12, 4, 21, 0, 2) + 11 * 3600000);
  EXPECT_EQ(files[3].path, "thu.csv");
  ASSERT_EQ(files[3].silenceCount, 1u);
  EXPECT_EQ(files[3].silences[0].file, "tue.csv");
  EXPECT_EQ(files[3].silences[0].toMs - files[3].silences[0].fromMs, 2 * kMsPerDay - 2000);
  EXPECT_EQ(files[3].gapBuckets[3], 1u);

  std::vector<FileReport> overlapping = {checkBytes(day(7, 9), "a.csv", {}), checkBytes(day(7, 9), "b.csv", {})};
  checkAcrossFiles(overlapping, {});
  EXPECT_EQ(overlapping[0].problemTotal(), 0u);
  ASSERT_EQ(overlapping[1].problemTotal(), 1u);
  EXPECT_EQ(overlapping[1].problems[0].kind, ProblemKind::Overlap);

  // Files of two symbols given together, in either order: each symbol's files
  // are its own recording, Tuesday missing between Monday and Wednesday.
  for (const bool gbpFirst : {false, true}) {
    SCOPED_TRACE(gbpFirst ? "GBP/USD's first" : "EUR/USD's first");
    std::vector<FileReport> files = {checkBytes(day(9, 9), "eur-wed.csv", {}), checkBytes(day(7, 9), "eur-mon.csv", {}),
                                     checkBytes(day(9, 9, "GBP/USD"), "gbp-wed.csv", {}),
                                     checkBytes(day(7, 9, "GBP/USD"), "gbp-mon.csv", {})};
    if (gbpFirst) std::rotate(files.begin(), files.begin() + 2, files.end());
    checkAcrossFiles(files, {});
    for (const FileReport& f : files) EXPECT_EQ(f.silenceCount, f.path.ends_with("wed.csv") ? 1u : 0u) << f.path;
  }
}

// Every pair has its own state, however many: 10,000 pairs interleaved, each
// row a millisecond before the row above it (of another pair), each pair's
// own time going on; one pair's row going back is the one problem.
TEST(CheckRecording, EveryPairCountedHoweverMany) {
  constexpr int kPairs = 10000;
  std::string bytes;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kPairs; ++i) {
      char pair[16];
      std::snprintf(pair, sizeof pair, "P%04d", i);
      const std::int64_t back = round == 1 && i == kPairs - 1 ? 30000 + 5 : 0;  // the last pair's second row before its first
      bytes += Tick{msOf(2026, 12, 7, 9, 0, 0) + round * 30000 - i - back, 108150, 108160, pair}.line();
    }
  }
  const FileReport r = checkBytes(bytes, "many.csv", {});
  EXPECT_EQ(r.rows, 2u * kPairs);
  ASSERT_EQ(r.pairs.size(), static_cast<std::size_t>(kPairs));
  EXPECT_EQ(r.pairs[kPairs - 2].pair, "P9998");
  for (const FileReport::PairRows& pair : r.pairs) ASSERT_EQ(pair.rows, 2u) << pair.pair;
  EXPECT_EQ(r.symbols.size(), kKeptPairs);
  ASSERT_EQ(r.problemTotal(), 1u) << problemsOf(r);
  EXPECT_EQ(r.problems[0].kind, ProblemKind::Order);
  EXPECT_EQ(r.problems[0].line, 2u * kPairs);
}

// --html never harms a file: not an input, not a file that is no page of
// orvalda-check's (exit 2, nothing written); an older page is replaced.
TEST(CheckCommandLine, HtmlNeverHarmsAFile) {
  const std::string dir = testing::TempDir();
  const std::string recording = dir + "check_html_rec.csv", notes = dir + "check_html_notes.txt",
                    page = dir + "check_html_page.html";
  const auto write = [](const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  };
  const auto read = [](const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      char b[4096];
      for (std::size_t n; (n = std::fread(b, 1, sizeof b, f)) > 0;) text.append(b, n);
      std::fclose(f);
    }
    return text;
  };
  const std::string rows = joined(linesOf(quietTicks()));
  write(recording, rows);
  write(notes, "my notes");
  std::remove(page.c_str());
  std::FILE* sink = std::tmpfile();
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const Case cases[] = {
      {{"--html", recording, recording}, 2},
      {{"--html", dir + "./check_html_rec.csv", recording}, 2},
      {{"--html", notes, recording}, 2},
      {{"--html", page, recording}, 0},
      {{"--html", page, recording}, 0},  // its own page, replaced
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    EXPECT_EQ(runCheckCommandLine(c.args, sink, sink), c.code);
  }
  std::fclose(sink);
  EXPECT_TRUE(read(recording) == rows);
  EXPECT_TRUE(read(notes) == "my notes");
  EXPECT_NE(read(page).find("check_html_rec.csv"), std::string::npos);
  for (const std::string& path : {recording, notes, page}) std::remove(path.c_str());
}

// Files that are no clean recording: a message, no crash, the same report
// however the bytes arrive.
TEST(CheckRecording, BadInputGetsAClearMessage) {
  std::string binary;
  std::mt19937 random(7);
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(random() % 256);
  const std::string rows = joined(linesOf(quietTicks()));
  const auto withEnds = [&](const char* end) {
    std::string out;
    for (const Tick& t : quietTicks()) out += t.line().substr(0, t.line().size() - 2) + end;
    return out;
  };
  const std::string longLine = "EUR/USD," + std::string(1 << 20, '9') + ",1.08150,1.08160\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    std::uint64_t rows;
    std::uint64_t notRows;  // torn and unparsable lines
    const char* note;       // part of the notes and the summary
  };
  const std::vector<Case> cases = {
      {"empty", "", 0, 0, "the file is empty"},
      {"binary", binary, 0, 0, "NUL bytes"},
      {"CR only", withEnds("\r"), 300, 0, "line ends CR, where Orvalda writes CR LF"},
      {"LF only", withEnds("\n"), 300, 0, "line ends LF, where Orvalda writes CR LF"},
      {"mixed", rows + withEnds("\n"), 600, 0, "line ends 300 CR LF, 300 LF"},
      {"Windows-1252", "EUR/USD\x80,20261207 09:00:00.000,1.08150,1.08160\r\nEUR/USD\x80,20261207 09:00:00.100,1.0815\xE9,1.08160\r\n",
       1, 1, "\xE2\x82\xAC"},  // the euro sign as UTF-8
      {"1 MB line", longLine + rows, 300, 1, "1048"},
      {"a byte-order mark", "\xEF\xBB\xBF" + rows, 300, 0, "byte-order mark"},
      {"prices at the limits",
       "EUR/USD,20261207 09:00:00.000,1e2147483648,1e2147483648\r\n"
       "EUR/USD,20261207 09:00:01.000,4294967295e-2147483647,4294967295e-2147483647\r\n"
       "EUR/USD,20261207 09:00:02.000,999999999999999999.000000000000000000,1.0\r\n",
       1, 2, "1 zero spread (line 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileReport r = checked(c.bytes, {}, c.bytes.size() > 100000 ? 4096 : 5);
    EXPECT_EQ(r.rows, c.rows);
    const std::uint64_t notRows = r.problemCount[static_cast<std::size_t>(ProblemKind::Torn)] +
                                  r.problemCount[static_cast<std::size_t>(ProblemKind::Unparsable)];
    if (std::string(c.name) != "binary") {
      EXPECT_EQ(notRows, c.notRows) << problemsOf(r);
    }
    const std::string summary = textReport({r}, {});
    EXPECT_NE(summary.find(c.note), std::string::npos) << summary;
    EXPECT_LT(summary.size(), 40000u);  // a few lines per kind, not every line of junk
  }
}

// The figures come from fixed-size counts, the chart from fixed-size buckets:
// a median and percentiles within 1 %, exactly so in a finer unit, and a
// single spike among 300,000 ticks still drawn.
TEST(CheckRecording, FiguresAndChartInFixedMemory) {
  std::mt19937_64 random(3);
  std::vector<std::int64_t> values;
  SignedHistogram h;
  for (int i = 0; i < 100000; ++i) {
    const std::int64_t v = static_cast<std::int64_t>(random() % 200000) - 20000;
    values.push_back(v);
    h.add(v);
  }
  std::sort(values.begin(), values.end());
  for (double q : {0.0, 0.01, 0.5, 0.99, 1.0}) {
    const std::int64_t exact = values[std::min(values.size() - 1, static_cast<std::size_t>(std::ceil(q * values.size())) - (q > 0))];
    EXPECT_NEAR(static_cast<double>(h.quantile(q)), static_cast<double>(exact), std::abs(exact) * 0.01 + 1) << q;
  }
  EXPECT_EQ(h.min(), values.front());
  EXPECT_EQ(h.max(), values.back());
  // Moved to points of three more decimals, the counts read as if added so.
  SignedHistogram finer;
  for (std::int64_t v : values) finer.add(v * 1000);
  h.rescale(3);
  for (double q : {0.0, 0.01, 0.5, 0.99, 1.0}) EXPECT_EQ(h.quantile(q), finer.quantile(q)) << q;
  EXPECT_EQ(h.min(), finer.min());
  EXPECT_EQ(h.max(), finer.max());
  // And cut back to the first unit: within the buckets' precision again.
  h.rescale(-3);
  for (double q : {0.0, 0.01, 0.5, 0.99, 1.0}) {
    const std::int64_t exact = values[std::min(values.size() - 1, static_cast<std::size_t>(std::ceil(q * values.size())) - (q > 0))];
    EXPECT_NEAR(static_cast<double>(h.quantile(q)), static_cast<double>(exact), std::abs(exact) * 0.01 + 1) << q;
  }
  EXPECT_EQ(h.min(), values.front());
  EXPECT_EQ(h.max(), values.back());

  Chart chart;
  const std::int64_t start = msOf(2026, 12, 7, 0, 0, 0);
  for (int i = 0; i < 300000; ++i) {
    const double bid = 1.08 + (i % 100) * 1e-5 + (i == 150001 ? 0.01 : 0);
    chart.add(start + i * 100, bid, bid + 1.2e-4, 12);
  }
  const std::vector<ChartColumn> columns = chart.columns(1000);
  double highest = 0, ticks = 0;
  for (const ChartColumn& c : columns) {
    EXPECT_TRUE(c.any);
    highest = std::max(highest, c.bidMax);
    ticks += c.ticksPerMinute * (chart.endMs() - chart.startMs()) / 1000.0 / 60000.0;
  }
  EXPECT_DOUBLE_EQ(highest, 1.08 + 1 * 1e-5 + 0.01);
  EXPECT_NEAR(ticks, 300000, 300);

  // Ticks per minute are counts seen in a minute: a tick a second for ten
  // minutes, and a burst of 100 in one millisecond, make at most 160 a minute.
  Chart burst;
  for (int i = 0; i < 600; ++i) burst.add(start + i * 1000, 1.08, 1.0801, 10);
  for (int i = 0; i < 100; ++i) burst.add(start + 330000, 1.08, 1.0801, 10);
  double most = 0;
  for (const ChartColumn& c : burst.columns(1000)) most = std::max(most, c.ticksPerMinute);
  EXPECT_NEAR(most, 160, 2);  // a bucket at a minute's edge counts in one of the two

  // Minutes of the clock, as minute bars count them: 534 ticks in the half
  // minute before 09:01, 1,966 in the half after.
  Chart halves;
  const std::int64_t nine = msOf(2026, 12, 7, 9, 0, 30);
  for (int i = 0; i < 534; ++i) halves.add(nine + i * 30000 / 534, 1.08, 1.0801, 10);
  for (int i = 0; i < 1966; ++i) halves.add(nine + 30000 + i * 30000 / 1966, 1.08, 1.0801, 10);
  const std::vector<ChartColumn> halfColumns = halves.columns(1000);
  EXPECT_NEAR(halfColumns.front().ticksPerMinute, 534, 2);
  EXPECT_NEAR(halfColumns.back().ticksPerMinute, 1966, 2);
}

TEST(CheckCommandLine, ReadsOptionsAndFiles) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // part of the error, or "" for none
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {{"a.csv", "b.csv"}, "", {"a.csv", "b.csv"}},
      {{"--json", "--gap", "90", "a.csv", "-", "--html", "out.html"}, "", {"a.csv", "-"}},
      {{"--gap=0.5", "--", "--odd.csv"}, "", {"--odd.csv"}},
      {{"--utc-offset", "-05:30", "--session", "Fri 21:00 - Sun 22:00", "a.csv"}, "", {"a.csv"}},
      {{"--session", "Fri 17:00-Sun 17:00 Mars/Olympus", "a.csv"}, "Mars/Olympus", {}},
      {{"--gap", "0", "a.csv"}, "--gap", {}},
      {{"--gap", "sixty", "a.csv"}, "--gap", {}},
      {{"--utc-offset", "+15:00", "a.csv"}, "--utc-offset", {}},
      {{"--utc-offset", "1:5", "a.csv"}, "--utc-offset", {}},
      {{"--session", "Fri 22:00", "a.csv"}, "--session", {}},
      {{"--session", "Fri 22:00-Fri 22:00", "a.csv"}, "--session", {}},
      {{"--bogus", "a.csv"}, "unknown option", {}},
      {{"--json", "--json", "a.csv"}, "more than once", {}},
      {{"a.csv", "--html"}, "needs a value", {}},
  };
  for (const Case& c : cases) {
    const CheckCommand command = parseCheckArgs(c.args);
    SCOPED_TRACE(c.args.front() + " ... (" + std::to_string(c.args.size()) + " arguments)");
    if (*c.error == '\0') {
      EXPECT_EQ(command.error, "");
      EXPECT_EQ(command.files, c.files);
    } else {
      EXPECT_NE(command.error.find(c.error), std::string::npos) << command.error;
    }
  }
  const CheckCommand c = parseCheckArgs({"--utc-offset", "-05:30", "--session", "fri 21:00-sun 22:00", "--html", "o.html", "x"});
  EXPECT_EQ(c.options.from->offsetMs(0), -(5 * 60 + 30) * 60000);
  EXPECT_EQ(c.options.session.closeMinute, 5 * 1440 + 21 * 60);
  EXPECT_EQ(c.options.session.openMinute, 22 * 60);
  EXPECT_EQ(c.options.session.zone->name(), "America/New_York");
  EXPECT_EQ(*c.htmlPath, "o.html");
  EXPECT_TRUE(c.anyOption);
  EXPECT_FALSE(parseCheckArgs({"x.csv"}).anyOption);
}

// ---------------------------------------------------------------------------
// Random input, under the sanitizers. Rounds: ORVALDA_CHECK_FUZZ (default 1000).

int fuzzRounds() {
  const char* n = std::getenv("ORVALDA_CHECK_FUZZ");
  return n != nullptr && std::atoi(n) > 0 ? std::atoi(n) : 1000;
}

// A row with a few random changes: bytes put in, taken out or replaced, from
// the characters rows are made of and a few others.
std::string mutatedRow(std::mt19937& random) {
  static const std::string kBytes = "0123456789.,:\" e-+E/X\t\x01\xE9";
  const auto upTo = [&](std::int64_t n) { return static_cast<std::int64_t>(random() % n); };
  std::string row = Tick{msOf(2026, 12, 7, 9, 0, 0) + upTo(100000000), 108150 + upTo(1000), 108160 + upTo(1000)}.line();
  row.resize(row.size() - 2);
  if (random() % 8 == 0) row = "\"EUR,\"\"USD\"" + row.substr(7);
  for (unsigned changes = random() % 4; changes > 0; --changes) {
    const std::size_t at = random() % (row.size() + 1);
    const char c = kBytes[random() % kBytes.size()];
    switch (random() % 3) {
      case 0: row.insert(row.begin() + static_cast<std::ptrdiff_t>(at), c); break;
      case 1: if (at < row.size()) row.erase(at, 1); break;
      default: if (at < row.size()) row[at] = c;
    }
  }
  return row;
}

// The row read line by line, as orvalda-check reads it, against whole-text
// records and the feeder's checked prices: the same rows taken, with the
// same values.
TEST(CheckFuzz, RowsReadAsTheFeederReadsThem) {
  std::mt19937 random(11);
  int accepted = 0;
  for (int round = 0; round < fuzzRounds() * 10; ++round) {
    const std::string line = mutatedRow(random);
    // The tools' way: CSV records, then the time and the prices of 5 decimals.
    bool toolsTake = false;
    std::int64_t toolsMs = 0;
    std::uint32_t toolsBid = 0, toolsAsk = 0;
    std::string pair;
    const CsvSplitResult csv = splitCsv(line);
    if (csv.ok && csv.records.size() == 1 && csv.records[0].fields.size() == 4) {
      const auto& f = csv.records[0].fields;
      std::string error;
      const bool t = parseStamp(f[1], toolsMs);
      const auto bid = orv::tools::priceToPoints(f[2], 5, error), ask = orv::tools::priceToPoints(f[3], 5, error);
      if (t && bid && ask) toolsTake = true, toolsBid = *bid, toolsAsk = *ask, pair = f[0];
    }
    // This reader's way.
    RowSplitter splitter;
    StampReader stamps;
    RowFields f;
    std::int64_t ms = 0;
    Price bid, ask;
    const bool take = splitter.split(line, f) && stamps.read(f.stamp, ms) && parsePrice(f.bid, bid) &&
                      parsePrice(f.ask, ask) && bid.digits == 5 && ask.digits == 5 && bid.points <= 0xFFFFFFFFu &&
                      ask.points <= 0xFFFFFFFFu;
    ASSERT_EQ(take, toolsTake) << quoted(line, 200);
    if (take) {
      ++accepted;
      EXPECT_EQ(f.pair, pair);
      EXPECT_EQ(ms, toolsMs) << line;
      EXPECT_EQ(bid.points, toolsBid) << line;
      EXPECT_EQ(ask.points, toolsAsk) << line;
    }
  }
  EXPECT_GT(accepted, fuzzRounds());  // the test saw rows taken, not only refused
}

// Rows read straight from a buffer of lines against the same lines split: a
// row with a stamp is taken only whole, and only as RowSplitter and
// parsePrice read it,
// whether it has the shape of the row before or not.
TEST(CheckFuzz, PlainRowsReadAsSplitRows) {
  std::mt19937 random(12);
  PlainRowReader reader;
  RowSplitter splitter;
  StampReader stamps;
  int taken = 0;
  for (int round = 0; round < fuzzRounds() * 10; ++round) {
    const std::string line = mutatedRow(random), row = line + (random() % 4 == 0 ? "\n" : "\r\n");
    std::string bytes = row + mutatedRow(random) + "\r\n";
    const bool cut = random() % 8 == 0;
    if (cut) bytes.resize(random() % row.size());
    PlainRow p;
    std::int64_t ms = 0;
    if (!reader.read(bytes, p) || !stamps.read(p.stamp, ms)) continue;
    ASSERT_FALSE(cut) << quoted(bytes, 200);
    RowFields f;
    Price bid, ask;
    ASSERT_TRUE(splitter.split(line, f) && parsePrice(f.bid, bid) && parsePrice(f.ask, ask)) << quoted(line, 200);
    EXPECT_EQ(p.size, row.size()) << quoted(line, 200);
    EXPECT_EQ(std::tie(p.pair, p.stamp, p.bid, p.ask), std::tie(f.pair, f.stamp, f.bid, f.ask)) << quoted(line, 200);
    EXPECT_EQ(std::tie(p.bidPrice.points, p.bidPrice.digits, p.askPrice.points, p.askPrice.digits),
              std::tie(bid.points, bid.digits, ask.points, ask.digits))
        << quoted(line, 200);
    ++taken;
  }
  EXPECT_GT(taken, fuzzRounds());
}

// A price of any magnitude and decimals: up to 25 digits with up to 20 of
// them decimals, or the exponent form with any exponent Orvalda may write.
std::string anyPrice(std::mt19937& random) {
  std::string digits;
  for (unsigned n = 1 + random() % 25; n > 0; --n) digits += static_cast<char>('0' + random() % 10);
  if (random() % 4 == 0) {
    static const char* kExponents[] = {"e-45", "e3", "e-2147483647", "e2147483647", "e2147483648", "e-0"};
    return digits + kExponents[random() % std::size(kExponents)];
  }
  const std::size_t decimals = random() % std::min<std::size_t>(digits.size(), 21);
  return decimals == 0 ? digits : digits.insert(digits.size() - decimals, ".");
}

// Whole files of random lines and bytes, prices of any magnitude among them:
// no crash, each file's reports and page made in a bounded time, and the
// same report whether the bytes come in large blocks (rows taken straight
// from the buffer) or in small random ones (every row the slow way).
TEST(CheckFuzz, RandomFilesMakeTheSameReportInAnyBlocks) {
  std::mt19937 random(5);
  static const char* kEnds[] = {"\r\n", "\r\n", "\r\n", "\n", "\r", ""};
  for (int round = 0; round < fuzzRounds() / 10; ++round) {
    const auto started = std::chrono::steady_clock::now();
    std::string bytes;
    const std::string price = anyPrice(random);  // a file's usual price, often its first row's
    for (unsigned lines = random() % 200; lines > 0; --lines) {
      const std::string stamp = stampOf(msOf(2026, 12, 7, 9, 0, 0) + lines * 100);
      switch (bytes.empty() && random() % 2 == 0 ? 3 : random() % 8) {
        case 0: case 1: bytes += mutatedRow(random); break;
        case 2: bytes += "EUR/USD," + stamp + "," + anyPrice(random) + "," + anyPrice(random); break;
        case 3: case 4: bytes += "EUR/USD," + stamp + "," + price + "," + price; break;
        default: bytes += Tick{msOf(2026, 12, 7, 9, 0, 0) + lines * 100, 108150, 108160}.line().substr(0, 45);
      }
      bytes += kEnds[random() % 6];
      if (random() % 50 == 0) bytes += static_cast<char>(random());
    }
    const FileReport whole = checkBytes(bytes, "f.csv", {});
    const FileReport pieces = checkBytes(bytes, "f.csv", {}, 1 + random() % 64);
    ASSERT_EQ(textReport({whole}, {}), textReport({pieces}, {})) << quoted(bytes, 2000);
    ASSERT_TRUE(validUtf8(jsonReport({whole}, {})));
    const std::string page = htmlReport({whole}, {});
    ASSERT_TRUE(validUtf8(page));
    ASSERT_EQ(page.find("nan"), std::string::npos) << quoted(bytes, 2000);  // no coordinate that is no number
    ASSERT_EQ(page.find("inf"), std::string::npos) << quoted(bytes, 2000);
    // A case that loops ends in the test's own time-out; one this slow is as bad.
    ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << quoted(bytes, 2000);
  }
}

}  // namespace
}  // namespace orv::check
