#include "compare/program.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "compare/analysis.h"
#include "compare/page.h"
#include "compare/reports.h"
#include "compare/tick_stream.h"
#include "core/option_reader.h"
#include "recordings/files.h"
#include "zone/zone_rules.h"

namespace orv::compare {

const char* const kCompareUsage =
    "usage: orvalda-compare [options] A... --against B...\n"
    "       orvalda-compare [options] A B\n"
    "Lays two brokers' recordings of the same pairs side by side: who is faster and\n"
    "by how much, who misses price changes, outages, spreads, how far the prices\n"
    "differ, bad ticks, stamps that go back, ticks per minute. Each side is one or\n"
    "more recordings or folders (every .csv and .csv.gz in them, in time order).\n"
    "\n"
    "  --names \"A,B\"       the sides' names (default: their folders' names)\n"
    "  --from-a ZONE       the zone of side A's stamps (default UTC)\n"
    "  --from-b ZONE       the zone of side B's stamps (default UTC)\n"
    "                      ZONE: UTC, +HH:MM, -HH:MM, an IANA name (Europe/London),\n"
    "                      or NY+7 (New York's clock 7 hours on)\n"
    "  --pair A=B          side A's pair A is side B's pair B (may be repeated);\n"
    "                      pairs are matched whatever their case and separators\n"
    "  --tolerance MS      how far apart, after the lag, two changes still match\n"
    "                      (default 100)\n"
    "  --outage SECONDS    the shortest silence told as an outage (default 30)\n"
    "  --json              the whole comparison as JSON (the schema is in the user's\n"
    "                      guide)\n"
    "  --html FILE         also the page: the lag curve, both spreads, the price\n"
    "                      difference and the outages drawn (never over a recording)\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit code: 0 compared; 2 a bad command line, a side with no recording, a file\n"
    "that cannot be read, no pair in common or no time in common.\n";

namespace {

// The name of the folder a side's first path is, or is in.
std::string folderName(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = recordings::pathOf(path);
  if (!std::filesystem::is_directory(p, ec)) p = p.parent_path();
  if (p.filename().empty()) p = std::filesystem::absolute(p, ec).parent_path();
  if (p.filename().empty() || p.filename() == ".") p = std::filesystem::absolute(p, ec);
  std::string name = recordings::utf8Of(p.filename());
  return name.empty() || name == "." ? path : name;
}

bool readWhole(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

CompareCommand parseCompareArgs(const std::vector<std::string>& args) {
  CompareCommand c;
  static constexpr std::initializer_list<const char*> kValues = {"--names", "--from-a", "--from-b", "--tolerance", "--outage", "--html"};
  // --pair may be given again and again, and --against splits the sides: both are taken here.
  std::array<std::vector<std::string>, kSides> parts;
  int side = 0;
  bool against = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--against" && !against) {
      against = true;
      side = 1;
    } else if (a == "--pair" || a.starts_with("--pair=")) {
      std::string value;
      if (a == "--pair") {
        if (i + 1 >= args.size()) {
          c.error = "option --pair needs a value";
          return c;
        }
        value = args[++i];
      } else {
        value = a.substr(7);
      }
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == value.size()) {
        c.error = "--pair wants A=B (side A's name of a pair, then side B's), not " + quotedText(value);
        return c;
      }
      c.pairMap[pairKey(value.substr(eq + 1))] = pairKey(value.substr(0, eq));
    } else {
      parts[side].push_back(a);
      if (std::find(kValues.begin(), kValues.end(), a) != kValues.end() && i + 1 < args.size()) parts[side].push_back(args[++i]);
    }
  }
  std::vector<GivenOption> given;
  for (int s = 0; s < kSides; ++s) {
    ReadCommand read = readOptionsAndFiles(parts[s], kValues, {"--json"});
    if (read.read.help) {
      c.help = true;
      return c;
    }
    if (!read.read.error.empty()) {
      c.error = read.read.error;
      return c;
    }
    for (GivenOption& g : read.read.given) {
      if (std::any_of(given.begin(), given.end(), [&](const GivenOption& o) { return o.name == g.name; })) {
        c.error = "option " + g.name + " given more than once";
        return c;
      }
      given.push_back(std::move(g));
    }
    c.paths[s] = std::move(read.files);
  }
  if (!against) {
    if (c.paths[0].size() != 2) {
      c.error = c.paths[0].empty() ? "no recordings given: A... --against B..., or two recordings or folders"
                                   : "give two recordings or folders, or A... --against B...";
      return c;
    }
    c.paths[1] = {c.paths[0][1]};
    c.paths[0].pop_back();
  }
  for (int s = 0; s < kSides; ++s)
    if (c.paths[s].empty()) {
      c.error = std::string("side ") + (s == 0 ? "A" : "B") + " has no recording: give " + (s == 0 ? "A... --against B..." : "files or folders after --against");
      return c;
    }
  std::string names;
  for (const GivenOption& g : given) {
    if (g.name == "--json") c.json = true;
    if (g.name == "--html") c.htmlPath = g.value;
    if (g.name == "--names") names = g.value;
    if (g.name == "--from-a") c.zones[0] = g.value;
    if (g.name == "--from-b") c.zones[1] = g.value;
    if (g.name == "--tolerance" && !readWhole(g.value, 0, 10000, c.settings.toleranceMs)) {
      c.error = "--tolerance takes milliseconds from 0 to 10000, not " + quotedText(g.value);
      return c;
    }
    if (g.name == "--outage") {
      std::int64_t seconds = 0;
      if (!readWhole(g.value, 1, 86400, seconds)) {
        c.error = "--outage takes seconds from 1 to 86400, not " + quotedText(g.value);
        return c;
      }
      c.settings.minOutageMs = seconds * 1000;
    }
  }
  if (!names.empty()) {
    const std::size_t comma = names.find(',');
    if (comma == std::string::npos || names.find(',', comma + 1) != std::string::npos || comma == 0 || comma + 1 == names.size()) {
      c.error = "--names wants two names with a comma between, \"Broker A,Broker B\", not " + quotedText(names);
      return c;
    }
    c.names = {names.substr(0, comma), names.substr(comma + 1)};
  } else {
    c.names = {folderName(c.paths[0].front()), folderName(c.paths[1].front())};
    if (c.names[0] == c.names[1]) c.names = {c.names[0] + " (A)", c.names[1] + " (B)"};
  }
  return c;
}

bool compareSides(const CompareCommand& command, Comparison& out, std::string& error) {
  std::array<SideInput, kSides> inputs;
  for (int s = 0; s < kSides; ++s) {
    std::string zoneError;
    inputs[s].clock = zone::findZone(command.zones[s], zoneError);
    if (!inputs[s].clock) {
      error = std::string(s == 0 ? "--from-a: " : "--from-b: ") + zoneError;
      return false;
    }
    inputs[s].paths = command.paths[s];
  }
  TickStream stream(std::move(inputs), command.pairMap);
  if (!stream.open(error)) return false;
  Comparer comparer(command.settings);
  Tick tick;
  while (stream.next(tick, error)) comparer.add(tick);
  if (!error.empty()) return false;
  std::array<SideSummary, kSides> sides = stream.sides();
  for (int s = 0; s < kSides; ++s) {
    sides[s].name = command.names[s];
    if (sides[s].rows == 0) {
      error = std::string("side ") + (s == 0 ? "A" : "B") + " (" + command.names[s] + ") has no recording: none of its " +
              std::to_string(sides[s].files.size()) + (sides[s].files.size() == 1 ? " file has" : " files have") + " a row";
      return false;
    }
  }
  out = comparer.finish(stream.pairs(), sides);
  if (out.pairs.empty()) {
    const auto listed = [](const std::vector<std::string>& pairs) {
      std::string s;
      for (std::size_t i = 0; i < pairs.size() && i < 20; ++i) s += (i > 0 ? ", " : "") + pairs[i];
      return pairs.size() > 20 ? s + " and " + std::to_string(pairs.size() - 20) + " more" : s;
    };
    error = "no pair in common: " + sides[0].name + " has " + listed(sides[0].pairs) + "; " + sides[1].name + " has " +
            listed(sides[1].pairs) + " (--pair A=B matches pairs named differently)";
    return false;
  }
  if (out.commonFromUtcMs > out.commonToUtcMs) {
    error = "no time in common: " + sides[0].name + " runs from " + utcText(sides[0].firstUtcMs) + " to " + utcText(sides[0].lastUtcMs) +
            ", " + sides[1].name + " from " + utcText(sides[1].firstUtcMs) + " to " + utcText(sides[1].lastUtcMs) + " (UTC)";
    return false;
  }
  return true;
}

int runCompareCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const CompareCommand command = parseCompareArgs(args);
  if (command.help) {
    std::fputs(kCompareUsage, out);
    return 0;
  }
  if (!command.error.empty()) {
    std::fprintf(err, "orvalda-compare: %s (see --help)\n", command.error.c_str());
    return 2;
  }
  if (!command.htmlPath.empty()) {
    if (const std::string why = whyNotWritePage(command.htmlPath, command.paths); !why.empty()) {
      std::fprintf(err, "orvalda-compare: %s\n", why.c_str());
      return 2;
    }
  }
  Comparison comparison;
  std::string error;
  if (!compareSides(command, comparison, error)) {
    std::fprintf(err, "orvalda-compare: %s\n", error.c_str());
    return 2;
  }
  const std::string text = command.json ? jsonText(comparison) : summaryText(comparison);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
  if (!command.htmlPath.empty() && !writePage(command.htmlPath, comparison, error)) {
    std::fprintf(err, "orvalda-compare: %s\n", error.c_str());
    return 2;
  }
  return 0;
}

}  // namespace orv::compare
