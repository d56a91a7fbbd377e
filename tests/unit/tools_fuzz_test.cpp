// orvalda-check and orvalda-export on the same hostile recordings, made by a
// seeded generator that knows what it wrote: pairs of any case, separator,
// script and length, many of them, interleaved a millisecond out of order;
// decimals 0-9 and the exponent form; headers, byte-order marks, CR, LF and
// CR LF ends, cut, overlong and NUL lines; stamps on a clock that is set
// back or ahead; one recording cut into several files; an output folder with
// old files, or a folder where an output goes. For every input:
// - both tools count the same rows of each pair, and the same lines that are
//   no row, as many as were planted; neither finds an order fault or an
//   overlap where none was planted;
// - export writes every output whole, or leaves the folder as it was, byte
//   for byte, with its exit code saying which;
// - every output holds one pair's rows, all of them, each at the instant it
//   was recorded (a skipped hour's by the offset before the change), with
//   its spread in its pair's unit.
// Inputs: ORVALDA_FUZZ_N (default 1000), seed ORVALDA_FUZZ_SEED.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "check/program.h"
#include "export/program.h"

namespace {

namespace fs = std::filesystem;
using orv::check::ProblemKind;

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtoull(v, nullptr, 10) : fallback;
}

// Where the zone's offset changes in [from, to) (UTC ms), or -1.
std::int64_t changeIn(const orv::zone::ZoneRules& z, std::int64_t from, std::int64_t to) {
  for (std::int64_t t = from; t < to; t += 3600000) {
    if (z.offsetMs(t) == z.offsetMs(t + 3600000)) continue;
    std::int64_t lo = t, hi = t + 3600000;  // offset(lo) != offset(hi)
    while (hi - lo > 1) (z.offsetMs(lo + (hi - lo) / 2) == z.offsetMs(lo) ? lo : hi) = lo + (hi - lo) / 2;
    return hi;
  }
  return -1;
}

std::string stampOf(std::int64_t ms) {
  const std::int64_t days = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000, t = ms - days * 86400000;
  // civil from days (Howard Hinnant's algorithm)
  const std::int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097, doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153, d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04lld%02lld%02lld %02lld:%02lld:%02lld.%03lld", static_cast<long long>(yoe + era * 400 + (m <= 2)),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(t / 3600000),
                static_cast<long long>(t / 60000 % 60), static_cast<long long>(t / 1000 % 60), static_cast<long long>(t % 1000));
  return buf;
}

std::string priceText(std::uint64_t points, int digits) {
  std::string s = std::to_string(points);
  if (digits == 0) return s;
  if (static_cast<int>(s.size()) <= digits) s.insert(0, static_cast<std::size_t>(digits) + 1 - s.size(), '0');
  s.insert(s.size() - static_cast<std::size_t>(digits), ".");
  return s;
}

// One pair as the generator means it: the spellings its rows use, their decimals.
struct PairClass {
  std::vector<std::string> spellings;
  int digits = 5;
  bool exponents = false;  // some rows in the exponent form
  std::uint64_t rows = 0, crossed = 0, refused = 0;
  std::int64_t lastUtc = INT64_MIN;
};

struct Planted {
  std::size_t pairClass = 0;
  std::int64_t utc = 0;
  bool crossed = false;
  std::int64_t spread = 0;
  // A row of 45 decimals among its pair's plain rows: no row after one of
  // them in its file; before, or in a file without them, a row whose spread
  // is cut to their unit.
  bool refused = false, spreadCut = false;
};

struct Input {
  std::string zone;  // "" for UTC
  std::vector<PairClass> classes;
  std::vector<std::string> files;  // their bytes
  std::map<std::string, Planted> rows;  // by "pair,bid,ask" as written
  std::uint64_t notRows = 0;
  bool outputIsAFolder = false, oldOutput = false, force = false;
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  Input next() {
    Input in;
    static const char* const kZones[] = {"", "America/New_York", "Europe/London", "Africa/Cairo"};
    // Near each zone's changes of clock: spring and autumn (New York 2026,
    // London 2026, Cairo 2025), found again in the zone's own rules.
    static const std::int64_t kAround[][2] = {{0, 0}, {1772953200000, 1793512800000}, {1774746000000, 1792890000000}, {1745532000000, 1761858000000}};
    const std::size_t z = pick(4);
    in.zone = kZones[z];
    std::int64_t start = 1765180800000 + static_cast<std::int64_t>(pick(86400)) * 1000;  // 2025-12-08 UTC
    orv::zone::Zone zone;
    std::int64_t change = -1, before = 0;
    if (!in.zone.empty()) {
      std::string error;
      zone = orv::zone::findZone(in.zone, error);
      const std::int64_t around = kAround[z][pick(2)];
      change = changeIn(*zone, around - 86400000, around + 86400000);
      EXPECT_EQ(change, around) << in.zone;
      before = zone->offsetMs(change - 1);
      start = change - static_cast<std::int64_t>(pick(90 * 60)) * 1000;
    }
    makeClasses(in);
    // The rows in the order they are written, each at its instant.
    std::vector<std::string> lines;
    std::int64_t utc = start, lastUtc = start;
    std::size_t lastClass = 0;
    const std::size_t n = 40 + pick(200);
    bool gapRowsDone = false;
    for (std::size_t i = 0; i < n; ++i) {
      std::size_t c = pick(in.classes.size());
      utc += chance(0.3) ? static_cast<std::int64_t>(pick(50)) : static_cast<std::int64_t>(pick(70000));
      std::int64_t at = utc;
      if (chance(0.15) && c != lastClass && i > 0) at = lastUtc - 1 - static_cast<std::int64_t>(pick(10));  // a millisecond out of order
      at = std::max(at, in.classes[c].lastUtc);  // each pair's own instants never go back
      const std::int64_t local = zone ? at + zone->offsetMs(at) : at;
      lines.push_back(row(in, c, at, local));
      lastUtc = at;
      lastClass = c;
      if (chance(0.04)) lines.push_back(notRow(in, lines.back()));
      if (!gapRowsDone && zone && at >= change && before < zone->offsetMs(change) && chance(0.5)) {
        // Rows stamped in the hour the clock skips: placed by the offset before it.
        gapRowsDone = true;
        in.classes.push_back({{"XAU/USD"}, 2});
        const std::int64_t gapStart = change + before;
        for (int k = 0; k < 3; ++k) {
          const std::int64_t l = gapStart + 600000 * k + static_cast<std::int64_t>(pick(599999));
          lines.push_back(row(in, in.classes.size() - 1, l - before, l));
        }
      }
    }
    if (chance(0.003)) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size())), std::string(70000, 'x') + "\r\n");
      ++in.notRows;
    }
    cutInFiles(in, lines);
    judgeExponentRows(in);
    in.outputIsAFolder = chance(0.1);
    in.oldOutput = chance(0.2);
    in.force = chance(0.5);
    return in;
  }

 private:
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  void makeClasses(Input& in) {
    if (chance(0.05)) {  // many pairs
      for (int i = 0; i < 130; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "P%03d/USD", i);
        in.classes.push_back({{name}, 5});
      }
      return;
    }
    const std::string longName(300, 'L');
    const std::vector<std::vector<std::string>> pool = {
        {"EUR/USD", "eur/usd", "EURUSD"}, {"USD/JPY"}, {"\xE2\x82\xAC/\xC2\xA5"}, {"\xE2\x82\xAC/$"}, {"\xC2\xA5/\xC2\xA3"},
        {longName + "1"}, {longName + "2"}, {"CON"}, {"XAG/USD"}};
    std::vector<std::size_t> order(pool.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng_);
    const std::size_t count = 1 + pick(4);
    for (std::size_t i = 0; i < count; ++i) {
      PairClass c{pool[order[i]], static_cast<int>(pick(10))};
      c.exponents = pool[order[i]][0] == "XAG/USD";
      in.classes.push_back(c);
    }
  }

  std::string row(Input& in, std::size_t c, std::int64_t utc, std::int64_t local) {
    PairClass& pc = in.classes[c];
    const std::string& pair = pc.spellings[pick(4) < 2 ? 0 : pick(pc.spellings.size())];
    const std::uint64_t bid = 1000 + 10 * pc.rows++ + pick(10);
    const bool crossed = chance(0.03);
    const std::uint64_t ask = crossed ? bid - 1 - pick(5) : bid + pick(30);
    Planted p{c, utc, crossed, static_cast<std::int64_t>(ask) - static_cast<std::int64_t>(bid)};
    std::string bidText = priceText(bid, pc.digits), askText = priceText(ask, pc.digits);
    if (pc.exponents && !crossed && chance(0.2)) {
      const int e = chance(0.5) ? pc.digits : 45;
      bidText = std::to_string(bid) + "e-" + std::to_string(e);
      askText = std::to_string(ask) + "e-" + std::to_string(e);
    }
    pc.crossed += crossed;
    pc.lastUtc = std::max(pc.lastUtc, utc);
    in.rows[pair + "," + bidText + "," + askText] = p;
    return pair + "," + stampOf(local) + "," + bidText + "," + askText + "\r\n";
  }

  // A line that is no row: a row cut before its ask, a power cut's NULs, words.
  std::string notRow(Input& in, const std::string& after) {
    ++in.notRows;
    switch (pick(3)) {
      case 0: return after.substr(0, after.rfind(',') - pick(after.rfind(',') / 2)) + "\r\n";
      case 1: return std::string(1 + pick(40), '\0') + "\r\n";
      default: return "listening on port 4, 2 ticks taken\r\n";
    }
  }

  void cutInFiles(Input& in, std::vector<std::string>& lines) {
    const std::size_t files = 1 + pick(3);
    std::vector<std::size_t> cuts{0, lines.size()};
    for (std::size_t i = 1; i < files; ++i) cuts.push_back(pick(lines.size() + 1));
    std::sort(cuts.begin(), cuts.end());
    static const char* const kEnds[] = {"\r\n", "\n", "\r"};
    for (std::size_t f = 0; f + 1 < cuts.size(); ++f) {
      std::string bytes;
      if (chance(0.1) && cuts[f] < cuts[f + 1]) bytes += "\xEF\xBB\xBF";  // a mark alone reads as a cut line
      if (chance(0.15)) bytes += chance(0.5) ? "Symbol,Time,Bid,Ask\r\n" : "pair,time,bid,ask\r\n";
      const int endMode = static_cast<int>(pick(5));  // 0-2 one end throughout, 3-4 mixed
      for (std::size_t i = cuts[f]; i < cuts[f + 1]; ++i) {
        std::string line = lines[i].substr(0, lines[i].size() - 2);
        bytes += line;
        const bool last = f + 2 == cuts.size() && i + 1 == cuts[f + 1];
        if (!(last && chance(0.3))) bytes += kEnds[endMode < 3 ? endMode : static_cast<int>(pick(2))];
      }
      in.files.push_back(bytes);
    }
  }

  // Each file's rows in order: a pair's unit is that of its first row,
  // given up for its first plain row when that was of 45 decimals.
  static void judgeExponentRows(Input& in) {
    std::vector<Planted*> taken45;
    std::set<std::size_t> plainClasses;
    for (const std::string& file : in.files) {
      std::set<std::string> plainSeen;  // pairs, as spelled
      std::size_t start = file.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
      while (start < file.size()) {
        const std::size_t end = std::min(file.find_first_of("\r\n", start), file.size());
        const std::string line = file.substr(start, end - start);
        start = end + 1;
        const std::size_t c1 = line.find(','), c2 = line.find(',', std::min(c1, line.size()) + 1),
                          c3 = line.find(',', std::min(c2, line.size()) + 1);
        if (c3 == std::string::npos) continue;
        const std::string pair = line.substr(0, c1), bid = line.substr(c2 + 1, c3 - c2 - 1);
        const auto planted = in.rows.find(pair + line.substr(c2));
        if (planted == in.rows.end()) continue;
        Planted& p = planted->second;
        const bool of45 = bid.size() > 4 && bid.compare(bid.size() - 4, 4, "e-45") == 0;
        if (!of45) {
          plainSeen.insert(pair);
          plainClasses.insert(p.pairClass);
        } else if (plainSeen.count(pair)) {
          p.refused = true;
          ++in.classes[p.pairClass].refused;
        } else {
          taken45.push_back(&p);
        }
      }
    }
    for (Planted* p : taken45) p->spreadCut = plainClasses.count(p->pairClass) > 0;
  }

  std::mt19937_64 rng_;
};

using Snapshot = std::map<std::string, std::string>;  // path under the folder -> bytes ("/" for a folder)
Snapshot snapshotOf(const fs::path& dir) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(e.path(), dir).string();
    if (e.is_directory()) {
      s[name] = "/";
    } else {
      std::ifstream f(e.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << f.rdbuf();
      s[name] = bytes.str();
    }
  }
  return s;
}

std::size_t classOf(const Input& in, const std::string& pair) {
  for (std::size_t c = 0; c < in.classes.size(); ++c)
    for (const std::string& s : in.classes[c].spellings)
      if (s == pair) return c;
  return SIZE_MAX;
}

TEST(ToolsFuzz, BothToolsAgreeOnHostileRecordingsAndExportIsAllOrNothing) {
  const std::uint64_t seed = envNumber("ORVALDA_FUZZ_SEED", 20261208), inputs = envNumber("ORVALDA_FUZZ_N", 1000);
  Generator gen(seed);
  // A folder of this run's own: two test runs on one machine never share it.
  // In memory where the system has a folder for it: creating and deleting
  // thousands of small files is most of the run's time on a disk.
  std::error_code inMemory;
  const fs::path under = fs::is_directory("/dev/shm", inMemory) ? fs::path("/dev/shm") : fs::path(testing::TempDir());
  const fs::path root = under / ("orvalda-tools-fuzz-" + std::to_string(std::random_device{}()));
  for (std::uint64_t round = 0; round < inputs && !HasFailure(); ++round) {  // the first input that fails tells enough
    const Input in = gen.next();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", input " + std::to_string(round) + " (zone " + in.zone + ")");
    fs::remove_all(root);
    fs::create_directories(root / "out");
    std::vector<std::string> files, clock;
    if (!in.zone.empty()) clock = {"--from", in.zone};
    for (std::size_t f = 0; f < in.files.size(); ++f) {
      files.push_back((root / ("part" + std::to_string(f) + ".csv")).string());
      std::ofstream(files.back(), std::ios::binary) << in.files[f];
    }
    if (in.oldOutput) std::ofstream(root / "out" / "EURUSD.csv", std::ios::binary) << "an old export\r\n";
    std::ofstream(root / "out" / "notes.txt", std::ios::binary) << "mine";
    if (in.outputIsAFolder) fs::create_directories(root / "out" / "USDJPY.csv" / "inside");
    const Snapshot before = snapshotOf(root / "out");

    // orvalda-check
    std::vector<std::string> args = clock;
    args.insert(args.end(), files.begin(), files.end());
    const std::vector<orv::check::FileReport> reports = orv::check::checkAll(files, orv::check::parseCheckArgs(args).options);
    std::vector<std::uint64_t> checkRows(in.classes.size());
    std::uint64_t notRows = 0, crossed = 0, rows = 0;
    bool notARecording = false;
    for (const orv::check::FileReport& r : reports) {
      notARecording |= r.notARecording;
      for (const auto& p : r.pairs) {
        const std::size_t c = classOf(in, p.pair);
        ASSERT_NE(c, SIZE_MAX) << "check names a pair never written: " << p.pair;
        checkRows[c] += p.rows;
      }
      const auto count = [&](ProblemKind k) { return r.problemCount[static_cast<std::size_t>(k)]; };
      notRows += count(ProblemKind::Torn) + count(ProblemKind::Unparsable);
      crossed += count(ProblemKind::Crossed);
      rows += r.rows;
      EXPECT_EQ(count(ProblemKind::Order), 0u) << r.path;
      EXPECT_EQ(count(ProblemKind::Overlap), 0u) << r.path;
    }
    std::uint64_t refused = 0, plantedCrossed = 0;
    if (!notARecording) {  // a part of only lines that are no row is refused whole, below
      for (std::size_t c = 0; c < in.classes.size(); ++c) {
        EXPECT_EQ(checkRows[c], in.classes[c].rows - in.classes[c].refused) << "check, rows of " << in.classes[c].spellings[0].substr(0, 20);
        refused += in.classes[c].refused;
        plantedCrossed += in.classes[c].crossed;
      }
      EXPECT_EQ(notRows, in.notRows + refused) << "check's lines that are no row";
      EXPECT_EQ(crossed, plantedCrossed);
    }

    // orvalda-export, every row on one line of its pair's file
    args = {"--to", "template", "--template", "{pair},{unix_ms},{bid},{ask},{spread}", "--out", (root / "out").string()};
    args.insert(args.end(), clock.begin(), clock.end());
    if (in.force) args.push_back("--force");
    args.insert(args.end(), files.begin(), files.end());
    const orv::exporter::ExportRun run = orv::exporter::runExport(orv::exporter::parseExportArgs(args));
    const std::string summary = orv::exporter::summaryOf(run);
    const Snapshot after = snapshotOf(root / "out");
    if (notARecording) {  // a part of only lines that are no row: both tools refuse the run
      EXPECT_EQ(run.exitCode, 2) << summary;
      EXPECT_TRUE(after == before) << "a failed export changed its folder: " << summary;
      continue;
    }
    if (run.exitCode == 2) {
      EXPECT_TRUE(after == before) << "a failed export changed its folder: " << summary;
      EXPECT_TRUE(in.outputIsAFolder || (in.oldOutput && !in.force)) << "export failed: " << summary;
      continue;
    }
    const auto left = [&](orv::exporter::LeftOut k) { return run.totals.leftOut[static_cast<std::size_t>(k)].count; };
    EXPECT_EQ(left(orv::exporter::LeftOut::Torn) + left(orv::exporter::LeftOut::Unparsable), notRows) << summary;
    EXPECT_EQ(left(orv::exporter::LeftOut::Crossed), crossed) << summary;
    EXPECT_EQ(run.totals.leftOutCount(), notRows + crossed) << summary;
    EXPECT_EQ(run.exitCode, run.totals.leftOutCount() > 0 ? 1 : 0) << summary;
    std::set<std::string> outputs;
    std::vector<std::uint64_t> written(in.classes.size());
    std::set<std::size_t> classesSeen;
    for (const orv::exporter::WrittenFile& w : run.totals.files) {
      const std::string name = fs::relative(w.path, root / "out").string();
      outputs.insert(name);
      ASSERT_TRUE(after.count(name)) << name << " is not there";
      std::istringstream lines(after.at(name));
      std::string line;
      std::size_t fileClass = SIZE_MAX;
      std::uint64_t n = 0;
      while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
        ASSERT_EQ(f.size(), 5u) << name << ": " << line;
        const auto planted = in.rows.find(f[0] + "," + f[2] + "," + f[3]);
        ASSERT_NE(planted, in.rows.end()) << name << " holds a row never written: " << line;
        const Planted& p = planted->second;
        if (fileClass == SIZE_MAX) {
          fileClass = p.pairClass;
          EXPECT_TRUE(classesSeen.insert(fileClass).second) << "one pair's rows in two files, " << name;
        }
        EXPECT_EQ(p.pairClass, fileClass) << "another pair's row in " << name << ": " << line;
        EXPECT_FALSE(p.crossed) << line;
        EXPECT_EQ(f[1], std::to_string(p.utc)) << name << ": " << line;
        EXPECT_FALSE(p.refused) << line;
        EXPECT_EQ(f[4], std::to_string(p.spreadCut ? 0 : p.spread)) << line;
        ++written[p.pairClass];
        ++n;
      }
      EXPECT_EQ(n, w.rows) << name;
    }
    for (std::size_t c = 0; c < in.classes.size(); ++c)
      EXPECT_EQ(written[c] + in.classes[c].crossed, checkRows[c]) << "export, rows of " << in.classes[c].spellings[0].substr(0, 20);
    for (const auto& [name, bytes] : before) {
      if (!outputs.count(name)) {
        EXPECT_EQ(after.count(name) ? after.at(name) : "(gone)", bytes) << name;
      }
    }
    for (const auto& [name, bytes] : after) {
      EXPECT_TRUE(before.count(name) || outputs.count(name)) << "left behind: " << name;
    }
  }
  fs::remove_all(root);
}

}  // namespace
