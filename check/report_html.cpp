// The page: per file its figures, three charts drawn as inline SVG (bid and
// ask, ticks per minute, spread) over one time line with the silences marked,
// and the lists of silences and problems. Nothing is fetched from elsewhere.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "check/reports.h"
#include "report/page.h"
#include "report/svg.h"
#include "report/texts.h"

namespace orv::check {

using namespace orv::report;

namespace {

constexpr std::size_t kMaxMarks = 2000;     // silences or problems drawn per chart
constexpr std::size_t kMaxTableRows = 500;  // per list

constexpr const char* kBidColour = "#1f6fd1";
constexpr const char* kAskColour = "#d9480f";
constexpr const char* kTicksColour = "#2b8a3e";
constexpr const char* kSpreadColour = "#7048e8";
constexpr const char* kSilenceFill = "#ffd8d3";
constexpr const char* kSilenceMark = "#c92a2a";

// The silences as shaded bands over the plot, and as red bars on its time axis.
std::string silenceBands(const FileReport& f, const TimeLine& t, int top, int bottom) {
  std::string out;
  for (std::size_t i = 0; i < f.silences.size() && i < kMaxMarks; ++i) {
    const Silence& s = f.silences[i];
    const double x0 = t.x(s.fromMs), x1 = std::max(t.x(s.toMs), x0 + 1.5);
    const std::string title = "<title>silence " + html(s.from) + " to " + html(s.to) + ", " +
                              durationText(s.toMs - s.fromMs) + "</title>";
    out += "<rect class=\"silence\" x=\"" + num(x0) + "\" y=\"" + std::to_string(top) + "\" width=\"" + num(x1 - x0) +
           "\" height=\"" + std::to_string(bottom - top) + "\" fill=\"" + kSilenceFill + "\">" + title + "</rect>";
    out += "<rect x=\"" + num(x0) + "\" y=\"" + std::to_string(bottom) + "\" width=\"" + num(x1 - x0) +
           "\" height=\"5\" fill=\"" + kSilenceMark + "\">" + title + "</rect>";
  }
  return out;
}

std::string problemMarks(const FileReport& f, const TimeLine& t, int y) {
  std::string out;
  std::size_t drawn = 0;
  for (const Problem& p : f.problems) {
    if (p.ms == kNoTime || drawn++ >= kMaxMarks) continue;
    out += "<path class=\"mark " + std::string(kindName(p.kind)) + "\" d=\"M" + num(t.x(p.ms)) + " " + std::to_string(y) +
           "l-4 8h8z\"><title>line " + std::to_string(p.line) + ": " + std::string(kindName(p.kind)) + ": " + html(p.text) +
           "</title></path>";
  }
  return out;
}

std::string charts(const FileReport& f, const FileReport::Symbol& symbol) {
  const Chart& chart = symbol.chart;
  const TimeLine t{chart.startMs(), chart.endMs()};
  const std::vector<ChartColumn> columns = chart.columns(kColumns);
  std::string out;

  // Bid and ask.
  double lo = 0, hi = 0, maxRate = 0;
  std::int64_t spreadLo = 0, spreadHi = 0;
  bool first = true;
  for (const ChartColumn& c : columns) {
    if (!c.any) continue;
    lo = first ? std::min(c.bidMin, c.askMin) : std::min({lo, c.bidMin, c.askMin});
    hi = first ? std::max(c.bidMax, c.askMax) : std::max({hi, c.bidMax, c.askMax});
    spreadLo = first ? c.spreadMin : std::min(spreadLo, c.spreadMin);
    spreadHi = first ? c.spreadMax : std::max(spreadHi, c.spreadMax);
    maxRate = std::max(maxRate, c.ticksPerMinute);
    first = false;
  }
  // At least a point either side, and a little more than the values' precision.
  const double point = std::pow(10.0, -std::clamp(symbol.digits, -300, 300));
  const double pad = std::max({(hi - lo) * 0.05, point, std::max(std::abs(lo), std::abs(hi)) * 1e-12});
  lo -= pad, hi += pad;
  {
    const int top = 10, bottom = 250, height = 300;
    out += "<h3>Bid and ask</h3><p class=\"legend\"><span style=\"background:" + std::string(kBidColour) +
           "\"></span>bid <span style=\"background:" + kAskColour +
           "\"></span>ask (lowest and highest price of each pixel column) <span style=\"background:" + kSilenceFill +
           "\"></span>silence <span class=\"tri\"></span>problem</p>";
    out += svgOpen(height, "bid and ask over time") + frame(top, bottom) + silenceBands(f, t, top, bottom) +
           valueAxis(lo, hi, top, bottom);
    out += "<path class=\"bid\" d=\"" +
           columnPath(columns, [](const ChartColumn& c) { return std::pair(c.bidMin, c.bidMax); }, lo, hi, top, bottom) +
           "\" stroke=\"" + kBidColour + "\"/>";
    out += "<path class=\"ask\" d=\"" +
           columnPath(columns, [](const ChartColumn& c) { return std::pair(c.askMin, c.askMax); }, lo, hi, top, bottom) +
           "\" stroke=\"" + kAskColour + "\"/>";
    out += problemMarks(f, t, bottom + 8) + timeAxis(t, height - 8) + "</svg>";
  }
  // Ticks per minute.
  {
    const int top = 10, bottom = 120, height = 160;
    const double rateHi = std::max(maxRate * 1.05, 1.0);
    out += "<h3>Ticks per minute</h3>";
    out += svgOpen(height, "ticks per minute over time") + frame(top, bottom) +
           silenceBands(f, t, top, bottom) + valueAxis(0, rateHi, top, bottom);
    std::string d;
    for (int c = 0; c < kColumns; ++c) {
      if (columns[c].ticksPerMinute <= 0) continue;
      const double y = bottom - columns[c].ticksPerMinute / rateHi * (bottom - top);
      stroke(d, kLeft + c + 0.5, bottom, std::min(y, bottom - 1.0));
    }
    out += "<path class=\"ticks\" d=\"" + d + "\" stroke=\"" + kTicksColour + "\"/>" + timeAxis(t, height - 8) + "</svg>";
  }
  // Spread.
  {
    const int top = 10, bottom = 140, height = 180;
    const double sLo = std::min<double>(0, static_cast<double>(spreadLo)), sHi = std::max<double>(spreadHi, 1) * 1.05;
    out += "<h3>Spread in points</h3>";
    out += svgOpen(height, "spread over time") + frame(top, bottom) +
           silenceBands(f, t, top, bottom) + valueAxis(sLo, sHi, top, bottom);
    out += "<path class=\"spread\" d=\"" +
           columnPath(columns,
                      [](const ChartColumn& c) {
                        return std::pair(static_cast<double>(c.spreadMin), static_cast<double>(c.spreadMax));
                      },
                      sLo, sHi, top, bottom) +
           "\" stroke=\"" + kSpreadColour + "\"/>" + timeAxis(t, height - 8) + "</svg>";
  }
  return out;
}

// "none longer than 60 s", "2 longer than 60 s, the longest 5 min 00.250 s
// (outside the weekly close)".
std::string silencesFoundText(const FileReport& f, const CheckOptions& options) {
  const std::string longer = " longer than " + shortSecondsText(options.gapMs);
  if (f.silenceCount == 0) return "none" + longer;
  std::int64_t longest = 0;
  for (const Silence& s : f.silences) longest = std::max(longest, s.openMs);
  return std::to_string(f.silenceCount) + longer + ", the longest " + durationText(longest) +
         (options.session.none ? "" : " outside the weekly close");
}

std::string fileSection(const FileReport& f, const CheckOptions& options) {
  std::string out = "<section class=\"file\"><h2>" + html(f.path, 1000) + "</h2>";
  out += "<p class=\"verdict " + std::string(f.clean() ? "clean" : "bad") + "\">" + verdictText(f) + "</p>";
  if (!f.error.empty()) return out + "<p>" + html(f.error, 2000) + "</p></section>";
  const std::string symbols =
      f.pairs.size() > 1 ? html(symbolRowsText(f), 4000) : f.pairs.empty() ? "" : html(f.pairs[0].pair);
  out += "<table class=\"facts\">";
  out += factRow("Rows", std::to_string(f.rows) + (symbols.empty() ? "" : " of " + symbols) + " in " +
                             plural(f.lines, "line", "lines") + ", " + plural(f.bytes, "byte", "bytes"));
  if (f.rows > 0) {
    out += factRow("First", html(f.first) + " (line " + std::to_string(f.firstLine) + ")");
    out += factRow("Last", html(f.last) + " (line " + std::to_string(f.lastLine) + ")");
    for (const FileReport::Symbol& pair : f.symbols)
      if (pair.rows > 0)
        out += factRow(html(pair.pair), plural(pair.rows, "row", "rows") + ", first " + html(pair.first) + ", last " +
                                             html(pair.last) + "; " + ticksPerHourText(pair) + "; " + spreadText(pair));
  }
  out += factRow("Line ends", lineEndsText(f));
  out += factRow("Silences", silencesFoundText(f, options));
  out += factRow("Silences by length", gapBucketsText(f));
  const std::string notes = notesText(f);
  out += factRow("Notes", notes.empty() ? "none" : html(notes, 4000) + " (what real feeds send, no problem)");
  for (const std::string& remark : fileRemarks(f)) out += factRow("Remark", html(remark, 1000));
  out += "</table>";
  if (f.symbolChangeCount > 0) out += "<p>" + html(symbolChangesText(f), 2000) + "</p>";
  for (const FileReport::Symbol& s : f.symbols) {
    if (s.chart.empty()) continue;
    if (f.symbols.size() > 1) out += "<h3 class=\"symbol\">" + html(s.pair) + ", " + plural(s.rows, "row", "rows") + "</h3>";
    out += charts(f, s);
  }

  out += "<h3>Silences</h3>";
  if (f.silences.empty()) {
    out += "<p>None longer than " + shortSecondsText(options.gapMs) + ".</p>";
  } else {
    out += "<table class=\"list silences\"><tr><th>from</th><th>to</th><th>length</th><th>line</th></tr>";
    for (std::size_t i = 0; i < f.silences.size() && i < kMaxTableRows; ++i) {
      const Silence& s = f.silences[i];
      std::string length = durationText(s.toMs - s.fromMs);
      if (s.openMs != s.toMs - s.fromMs) length += " (" + durationText(s.openMs) + " outside the weekly close)";
      out += "<tr><td>" + html(s.from) + "</td><td>" + html(s.to) + "</td><td>" + length + "</td><td>" +
             std::to_string(s.line) + "</td></tr>";
    }
    out += "</table>";
    if (f.silenceCount > kMaxTableRows) out += "<p>... and " + std::to_string(f.silenceCount - kMaxTableRows) + " more.</p>";
  }
  out += "<h3>Problems</h3>";
  if (f.problems.empty()) {
    out += "<p>None.</p>";
  } else {
    out += "<p>";
    for (std::size_t k = 0; k < kProblemKinds; ++k)
      if (f.problemCount[k] > 0)
        out += "<span class=\"count\">" + std::string(kindName(static_cast<ProblemKind>(k))) + " " +
               std::to_string(f.problemCount[k]) + "</span> ";
    out += "</p><table class=\"list problems\"><tr><th>line</th><th>kind</th><th>what</th></tr>";
    for (std::size_t i = 0; i < f.problems.size() && i < kMaxTableRows; ++i) {
      const Problem& p = f.problems[i];
      out += "<tr><td>" + std::to_string(p.line) + "</td><td class=\"" + std::string(kindName(p.kind)) + "\">" +
             std::string(kindName(p.kind)) + "</td><td>" + html(p.text, 1000) + "</td></tr>";
    }
    out += "</table>";
    if (f.problems.size() > kMaxTableRows)
      out += "<p>... and " + std::to_string(f.problemTotal() - kMaxTableRows) + " more (all kept ones with --json).</p>";
  }
  return out + "</section>";
}

}  // namespace

std::string htmlReport(const std::vector<FileReport>& files, const CheckOptions& options) {
  std::string names;
  for (const FileReport& f : files) {
    std::string_view p = f.path;
    const std::size_t slash = p.find_last_of("/\\");
    if (slash != std::string_view::npos) p.remove_prefix(slash + 1);
    names += (names.empty() ? "" : ", ") + html(p);
  }
  std::string out = pageHead(std::string(kPageTitleStart) + names);
  out += "<h1>Recording check</h1><p class=\"settings\">orvalda-check: silences longer than " + shortSecondsText(options.gapMs) +
         "; " + timeBasisText(options) + "; " + weeklyCloseRule(options.session) + ".</p>\n";
  for (const FileReport& f : files) out += fileSection(f, options) + "\n";
  return out + std::string(kPageEnd);
}

}  // namespace orv::check
