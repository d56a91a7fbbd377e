#include "compare/page.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "compare/reports.h"
#include "report/page.h"
#include "report/page_file.h"
#include "report/svg.h"
#include "report/texts.h"

namespace orv::compare {

using namespace orv::report;

namespace {

constexpr std::size_t kMaxMarks = 2000;     // outages or bad ticks drawn per chart
constexpr std::size_t kMaxTableRows = 500;  // per list

constexpr const char* kSideColour[kSides] = {"#1f6fd1", "#d9480f"};
constexpr const char* kSideFill[kSides] = {"#cfe0f7", "#fbd9c8"};  // a side's outages, drawn across the plot
constexpr const char* kCurveColour = "#2b8a3e";
constexpr const char* kDifferenceColour = "#7048e8";
constexpr const char* kDifferenceRange = "#d0c4f7";

constexpr std::string_view kMoreStyle = R"(.sides td,.sides th{padding-right:18px}
svg .curve,svg .mean{fill:none;stroke-width:1.5}svg .range{fill:none;stroke-width:1;shape-rendering:crispEdges}
svg .lag{stroke:#1d2125;stroke-dasharray:4 3}svg .zero{stroke:#868e96}
)";

std::string sideName(const Comparison& c, int side) { return html(c.sides[side].name, 200); }

std::string swatch(const char* colour) { return "<span style=\"background:" + std::string(colour) + "\"></span>"; }

std::string count(std::uint64_t n) { return std::to_string(n); }

std::string percent(double share) { return num(share * 100, 2) + " %"; }

// "Broker B's prices come 142 ms after Broker A's (sharpness 0.83)"
std::string lagSentence(const Comparison& c, const PairComparison& p) {
  if (!p.lagFound) return "no lag found: too few price changes move together on both sides";
  const std::string sharp = " (sharpness " + num(p.lagSharpness, 2) + (p.lagSharpness < 0.2 ? ", not to be trusted)" : ")");
  const long long ms = std::llround(p.lagMs);
  if (ms == 0) return sideName(c, 0) + "'s and " + sideName(c, 1) + "'s prices move at the same time" + sharp;
  const int later = ms > 0 ? 1 : 0;
  return sideName(c, later) + "'s prices come " + std::to_string(ms > 0 ? ms : -ms) + " ms after " + sideName(c, 1 - later) +
         "'s" + sharp;
}

std::string spreadFigures(const Spread& s) {
  if (s.count == 0) return "no ticks";
  return "min " + num(s.min, 1) + ", median " + num(s.median, 1) + ", 99th percentile " + num(s.p99, 1) + ", max " +
         num(s.max, 1);
}

// "Broker A lacks 120 of Broker B's 50000 price changes (0.24 %)"
std::string missingSentence(const Comparison& c, const PairComparison& p, int side) {
  const Missing& m = p.missing[side];
  return sideName(c, side) + " lacks " + count(m.missed) + " of " + sideName(c, 1 - side) + "'s " + count(m.otherChanges) +
         " price changes (" + percent(m.share) + ")";
}

// "03 h 12, 17 h 40", the hours with any.
std::string byHourText(const Hourly& hours) {
  std::string out;
  char buf[32];
  for (int h = 0; h < kHours; ++h) {
    if (hours[h] == 0) continue;
    std::snprintf(buf, sizeof buf, "%s%02d h %llu", out.empty() ? "" : ", ", h, static_cast<unsigned long long>(hours[h]));
    out += buf;
  }
  return out.empty() ? "none" : out;
}

std::string outagesText(const Comparison& c, const PairComparison& p) {
  std::array<std::uint64_t, kSides> n{};
  std::array<std::int64_t, kSides> longest{};
  for (const Outage& o : p.outages) {
    ++n[o.side];
    longest[o.side] = std::max(longest[o.side], o.toUtcMs - o.fromUtcMs);
  }
  std::string out;
  for (int s = 0; s < kSides; ++s) {
    out += (s > 0 ? "; " : "") + sideName(c, s) + " silent " + plural(n[s], "time", "times");
    if (n[s] > 0) out += ", the longest " + durationText(longest[s]);
  }
  return out + " (" + shortSecondsText(c.settings.minOutageMs) + " or more while the other side ticked)";
}

// Labels along the lag axis (ms).
std::string lagAxis(double lo, double hi, int y) {
  const double step = niceStep(hi - lo, 8);
  std::string out;
  if (step == 0) return out;
  const double first = std::ceil(lo / step) * step;
  for (int i = 0; i < kMaxLabels; ++i) {
    const double v = first + i * step;
    if (!(v <= hi + step * 1e-9)) break;
    const double x = kLeft + (v - lo) / (hi - lo) * kColumns;
    out += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" + std::to_string(y - 16) + "\" y2=\"" +
           std::to_string(y - 12) + "\" class=\"axis\"/><text x=\"" + num(x) + "\" y=\"" + std::to_string(y) +
           "\" text-anchor=\"middle\">" + num(std::abs(v) < step * 1e-9 ? 0.0 : v, 0) + "</text>";
  }
  return out;
}

// The contrast of both sides' price changes over the candidate lags, the lag found marked.
std::string lagChart(const Comparison& c, const PairComparison& p) {
  if (p.lagCurve.empty()) return "";
  const int top = 10, bottom = 170, height = 210;
  double lo = p.lagCurve.front().lagMs, hi = p.lagCurve.back().lagMs, cLo = 0, cHi = 0;
  for (const LagPoint& l : p.lagCurve) {
    lo = std::min<double>(lo, l.lagMs), hi = std::max<double>(hi, l.lagMs);
    cLo = std::min(cLo, l.contrast), cHi = std::max(cHi, l.contrast);
  }
  if (!(hi > lo)) lo -= 1, hi += 1;
  cHi = std::max(cHi * 1.05, 0.05);
  const auto x = [&](double lag) { return kLeft + std::clamp((lag - lo) / (hi - lo), 0.0, 1.0) * kColumns; };
  const auto y = [&](double v) { return bottom - (v - cLo) / (cHi - cLo) * (bottom - top); };
  std::string d;
  for (const LagPoint& l : p.lagCurve) d += (d.empty() ? "M" : "L") + num(x(l.lagMs)) + " " + num(y(l.contrast));
  std::string out = "<h3>Lag</h3><p class=\"legend\">" + swatch(kCurveColour) +
                    "how closely both sides' price changes go together when " + sideName(c, 1) +
                    "'s are moved back by the lag, in ms (positive: " + sideName(c, 1) + " later)</p>";
  out += svgOpen(height, "lag curve") + frame(top, bottom) + valueAxis(cLo, cHi, top, bottom);
  out += "<path class=\"curve\" d=\"" + d + "\" stroke=\"" + kCurveColour + "\"/>";
  if (p.lagFound)
    out += "<line class=\"lag\" x1=\"" + num(x(p.lagMs)) + "\" x2=\"" + num(x(p.lagMs)) + "\" y1=\"" + std::to_string(top) +
           "\" y2=\"" + std::to_string(bottom) + "\"><title>lag " + num(p.lagMs, 1) + " ms</title></line>";
  return out + lagAxis(lo, hi, height - 8) + "</svg>";
}

// Both sides' spreads, all day and by hour of the day (UTC): a bar to the
// median, a whisker to the 99th percentile.
std::string spreadChart(const Comparison& c, const PairComparison& p) {
  const int top = 10, bottom = 170, height = 200;
  constexpr int kGroups = kHours + 1;  // all day, then each hour
  const double groupWidth = static_cast<double>(kColumns) / kGroups;
  const auto spreadOf = [&](int side, int group) -> const Spread& {
    return group == 0 ? p.spreads[side] : p.spreadsByHour[side][group - 1];
  };
  double lo = 0, hi = 1;
  for (int s = 0; s < kSides; ++s)
    for (int g = 0; g < kGroups; ++g)
      if (spreadOf(s, g).count > 0) lo = std::min(lo, spreadOf(s, g).min), hi = std::max(hi, spreadOf(s, g).p99);
  hi *= 1.08;
  const auto y = [&](double v) { return bottom - (std::clamp(v, lo, hi) - lo) / (hi - lo) * (bottom - top); };
  std::string out = "<h3>Spread in points, by hour of the day (UTC)</h3><p class=\"legend\">" + swatch(kSideColour[0]) +
                    sideName(c, 0) + " " + swatch(kSideColour[1]) + sideName(c, 1) +
                    " (a bar to the median, a line to the 99th percentile; all day first)</p>";
  out += svgOpen(height, "spreads by hour") + frame(top, bottom) + valueAxis(lo, hi, top, bottom);
  for (int g = 0; g < kGroups; ++g) {
    const double left = kLeft + g * groupWidth;
    for (int s = 0; s < kSides; ++s) {
      const Spread& sp = spreadOf(s, g);
      if (sp.count == 0) continue;
      const double x = left + 6 + s * (groupWidth - 12) / 2, w = (groupWidth - 12) / 2 - 2;
      const double yMedian = y(sp.median), yZero = y(std::max(lo, 0.0));
      const std::string title = "<title>" + sideName(c, s) + (g == 0 ? ", all day" : ", " + std::to_string(g - 1) + " h") +
                                ": " + spreadFigures(sp) + "</title>";
      out += "<rect class=\"spread side" + std::to_string(s) + "\" x=\"" + num(x) + "\" y=\"" + num(std::min(yMedian, yZero)) +
             "\" width=\"" + num(w) + "\" height=\"" + num(std::max(std::abs(yZero - yMedian), 1.0)) + "\" fill=\"" +
             kSideColour[s] + "\">" + title + "</rect>";
      out += "<line class=\"range\" x1=\"" + num(x + w / 2) + "\" x2=\"" + num(x + w / 2) + "\" y1=\"" + num(y(sp.p99)) +
             "\" y2=\"" + num(yMedian) + "\" stroke=\"" + kSideColour[s] + "\"/>";
    }
    if (g == 0 || (g - 1) % 2 == 0)
      out += "<text x=\"" + num(left + groupWidth / 2) + "\" y=\"" + std::to_string(height - 12) +
             "\" text-anchor=\"middle\">" + (g == 0 ? std::string("all") : std::to_string(g - 1)) + "</text>";
  }
  return out + "</svg>";
}

// The difference of the mid prices over time, the outages of both sides and
// the bad ticks on one time line.
std::string timeChart(const Comparison& c, const PairComparison& p) {
  const int top = 10, bottom = 200, height = 262;
  const TimeLine t{c.commonFromUtcMs, std::max(c.commonToUtcMs, c.commonFromUtcMs + 1)};
  const std::vector<DifferenceSample>& samples = p.difference.overTime;
  double lo = 0, hi = 0;
  for (const DifferenceSample& s : samples) lo = std::min(lo, s.min), hi = std::max(hi, s.max);
  const double pad = std::max((hi - lo) * 0.05, 1.0);
  lo -= pad, hi += pad;
  const auto y = [&](double v) { return bottom - (v - lo) / (hi - lo) * (bottom - top); };

  std::string out = "<h3>Price difference and outages</h3><p class=\"legend\">" + swatch(kDifferenceColour) + sideName(c, 0) +
                    "'s mid price minus " + sideName(c, 1) + "'s in points (each " +
                    std::to_string(kDifferenceSampleMs / 60000) + " minutes' mean, and its range) " + swatch(kSideFill[0]) +
                    sideName(c, 0) + " silent " + swatch(kSideFill[1]) + sideName(c, 1) +
                    " silent <span class=\"tri\"></span>bad tick</p>";
  out += svgOpen(height, "price difference and outages over time") + frame(top, bottom);
  std::string lanes;
  for (std::size_t i = 0; i < p.outages.size() && i < kMaxMarks; ++i) {
    const Outage& o = p.outages[i];
    const double x0 = t.x(o.fromUtcMs), x1 = std::max(t.x(o.toUtcMs), x0 + 1.5);
    const std::string title = "<title>" + sideName(c, o.side) + " silent from " + utcText(o.fromUtcMs) + " to " +
                              utcText(o.toUtcMs) + ", " + durationText(o.toUtcMs - o.fromUtcMs) + "; " +
                              sideName(c, 1 - o.side) + " " + plural(o.otherTicks, "tick", "ticks") + " meanwhile</title>";
    out += "<rect class=\"outage side" + std::to_string(o.side) + "\" x=\"" + num(x0) + "\" y=\"" + std::to_string(top) +
           "\" width=\"" + num(x1 - x0) + "\" height=\"" + std::to_string(bottom - top) + "\" fill=\"" + kSideFill[o.side] +
           "\">" + title + "</rect>";
    lanes += "<rect x=\"" + num(x0) + "\" y=\"" + std::to_string(bottom + 3 + o.side * 8) + "\" width=\"" + num(x1 - x0) +
             "\" height=\"6\" fill=\"" + kSideColour[o.side] + "\">" + title + "</rect>";
  }
  out += valueAxis(lo, hi, top, bottom) + lanes;
  if (lo < 0 && hi > 0)
    out += "<line class=\"zero\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + kColumns) + "\" y1=\"" +
           num(y(0)) + "\" y2=\"" + num(y(0)) + "\"/>";
  std::string range, mean;
  std::int64_t previousEnd = 0;
  for (const DifferenceSample& s : samples) {
    const double x = (t.x(s.fromUtcMs) + t.x(s.fromUtcMs + kDifferenceSampleMs)) / 2;
    double y1 = y(s.max), y2 = y(s.min);
    if (y2 - y1 < 1) y2 = y1 + 1;
    stroke(range, x, y1, y2);
    mean += (mean.empty() || s.fromUtcMs != previousEnd ? "M" : "L") + num(x) + " " + num(y(s.mean));
    previousEnd = s.fromUtcMs + kDifferenceSampleMs;
  }
  out += "<path class=\"range\" d=\"" + range + "\" stroke=\"" + kDifferenceRange + "\"/>";
  out += "<path class=\"mean\" d=\"" + mean + "\" stroke=\"" + kDifferenceColour + "\"/>";
  for (std::size_t i = 0; i < p.badTicks.size() && i < kMaxMarks; ++i) {
    const BadTick& b = p.badTicks[i];
    out += "<path class=\"mark\" d=\"M" + num(t.x(b.utcMs)) + " " + std::to_string(bottom + 19) + "l-4 8h8z\"><title>" +
           sideName(c, b.side) + "'s bad tick at " + utcText(b.utcMs) + ": " + html(b.bid, 40) + " / " + html(b.ask, 40) +
           "</title></path>";
  }
  return out + timeAxis(t, height - 8) + "</svg>";
}

std::string listStart(const char* cls, std::initializer_list<const char*> heads) {
  std::string out = "<table class=\"list " + std::string(cls) + "\"><tr>";
  for (const char* h : heads) out += "<th>" + std::string(h) + "</th>";
  return out + "</tr>";
}

std::string cells(std::initializer_list<std::string> values) {
  std::string out = "<tr>";
  for (const std::string& v : values) out += "<td>" + v + "</td>";
  return out + "</tr>";
}

std::string moreText(std::uint64_t total, std::size_t shown) {
  return total > shown ? "<p>... and " + count(total - shown) + " more.</p>" : "";
}

std::string pairSection(const Comparison& c, const PairComparison& p) {
  std::string out = "<section class=\"pair\"><h2>" + html(p.name) + "</h2>";
  out += "<p class=\"verdict\">" + lagSentence(c, p) + ".</p><table class=\"facts\">";
  if (p.written[0] != p.written[1])
    out += factRow("Written", sideName(c, 0) + " " + html(p.written[0]) + ", " + sideName(c, 1) + " " + html(p.written[1]));
  for (int s = 0; s < kSides; ++s)
    out += factRow(sideName(c, s), plural(p.ticks[s], "tick", "ticks") + ", " + plural(p.changes[s], "price change", "price changes") +
                                       ", " + num(p.ticksPerMinute[s].mean, 1) + " ticks per minute");
  for (int s = 0; s < kSides; ++s) out += factRow(s == 0 ? "Missing" : "", missingSentence(c, p, s));
  out += factRow("Outages", outagesText(c, p));
  for (int s = 0; s < kSides; ++s)
    out += factRow(s == 0 ? "Spread in points" : "", sideName(c, s) + ": " + spreadFigures(p.spreads[s]));
  out += factRow("Price difference", p.difference.count == 0
                                         ? "no instant with both prices"
                                         : sideName(c, 0) + " minus " + sideName(c, 1) + ": median " +
                                               num(p.difference.median, 1) + " points, 1st percentile " +
                                               num(p.difference.p1, 1) + ", 99th " + num(p.difference.p99, 1));
  out += factRow("Bad ticks", p.badTickCount == 0 ? "none" : count(p.badTickCount) + " (listed below)");
  out += "</table>";

  out += lagChart(c, p) + spreadChart(c, p) + timeChart(c, p);

  out += "<h3>Lag by day (UTC)</h3>";
  if (p.lagByDay.empty()) {
    out += "<p>None.</p>";
  } else {
    out += listStart("days", {"day", "lag", "sharpness", "price changes"});
    for (const DayLag& d : p.lagByDay)
      out += cells({dateTimeText(d.dayUtcMs).substr(0, 10), d.found ? num(d.lagMs, 1) + " ms" : "too few changes",
                    d.found ? num(d.sharpness, 2) : "", count(d.changes[0]) + " / " + count(d.changes[1])});
    out += "</table>";
  }

  out += "<h3>Missed price changes</h3>";
  for (int s = 0; s < kSides; ++s) {
    const Missing& m = p.missing[s];
    out += "<p>" + missingSentence(c, p, s) + "; by hour (UTC): " + byHourText(m.byHour) + ".</p>";
    if (m.longestRuns.empty()) continue;
    out += listStart("runs", {"from (UTC)", "to", "changes in a row"});
    for (const MissedRun& r : m.longestRuns) out += cells({utcText(r.fromUtcMs), utcText(r.toUtcMs), count(r.changes)});
    out += "</table>";
  }

  out += "<h3>Outages</h3>";
  if (p.outages.empty()) {
    out += "<p>None of " + shortSecondsText(c.settings.minOutageMs) + " or more.</p>";
  } else {
    out += listStart("outages", {"silent", "from (UTC)", "to", "length", "the other's ticks"});
    for (std::size_t i = 0; i < p.outages.size() && i < kMaxTableRows; ++i) {
      const Outage& o = p.outages[i];
      out += cells({sideName(c, o.side), utcText(o.fromUtcMs), utcText(o.toUtcMs), durationText(o.toUtcMs - o.fromUtcMs),
                    count(o.otherTicks)});
    }
    out += "</table>" + moreText(p.outages.size(), std::min(p.outages.size(), kMaxTableRows));
  }

  out += "<h3>Bad ticks</h3>";
  if (p.badTicks.empty()) {
    out += "<p>None.</p>";
  } else {
    out += listStart("bad", {"time (UTC)", "side", "bid / ask", "the other's bid / ask", "off by (points)", "file", "line"});
    for (const BadTick& b : p.badTicks)
      out += cells({utcText(b.utcMs), sideName(c, b.side), html(b.bid, 40) + " / " + html(b.ask, 40),
                    html(b.otherBid, 40) + " / " + html(b.otherAsk, 40), num(b.offPoints, 1), html(b.file, 1000),
                    count(b.line)});
    out += "</table>" + moreText(p.badTickCount, p.badTicks.size());
  }
  return out + "</section>";
}

std::string sidesTable(const Comparison& c) {
  std::string out = listStart("sides", {"side", "recordings", "rows", "first (UTC)", "last (UTC)", "lines that are no row",
                                        "stamps going back"});
  for (int s = 0; s < kSides; ++s) {
    const SideSummary& side = c.sides[s];
    out += cells({"<span class=\"side" + std::to_string(s) + "\" style=\"color:" + kSideColour[s] + "\">" + sideName(c, s) + "</span>",
                  count(side.files.size()), count(side.rows), utcText(side.firstUtcMs), utcText(side.lastUtcMs),
                  count(side.unreadable), count(side.backwardCount)});
  }
  out += "</table>";
  bool any = false;
  for (int s = 0; s < kSides; ++s) {
    for (const BackwardStamp& b : c.sides[s].backward) {
      if (!any) out += "<h3>Stamps that go back</h3>" + listStart("backward", {"side", "file", "line", "from (UTC)", "back to"});
      any = true;
      out += cells({sideName(c, s), html(b.file, 1000), count(b.line), utcText(b.previousUtcMs), utcText(b.utcMs)});
    }
  }
  if (any) out += "</table>";
  for (int s = 0; s < kSides; ++s) out += moreText(c.sides[s].backwardCount, c.sides[s].backward.size());
  return out;
}

}  // namespace

std::string htmlPage(const Comparison& c) {
  const std::string names = sideName(c, 0) + " and " + sideName(c, 1);
  std::string out = pageHead(std::string(kPageTitleStart) + names, kMoreStyle);
  out += "<h1>Broker comparison: " + names + "</h1><p class=\"settings\">orvalda-compare: both sides recorded from " +
         utcText(c.commonFromUtcMs) + " to " + utcText(c.commonToUtcMs) + " (UTC); a change matches one within " +
         count(static_cast<std::uint64_t>(c.settings.toleranceMs)) + " ms after the lag; lags looked for up to " +
         shortSecondsText(c.settings.maxLagMs) + " either way.</p>\n";
  out += sidesTable(c) + "\n";
  for (const PairComparison& p : c.pairs) out += pairSection(c, p) + "\n";
  return out + std::string(kPageEnd);
}

std::string whyNotWritePage(const std::string& page, const std::array<std::vector<std::string>, kSides>& sides) {
  std::vector<std::string> inputs = sides[0];
  inputs.insert(inputs.end(), sides[1].begin(), sides[1].end());
  return report::whyNotWritePage(page, inputs, {kPageTitleStart, "orvalda-compare", "the recordings to compare"});
}

bool writePage(const std::string& path, const Comparison& c, std::string& error) {
  return report::writeWholeFile(path, htmlPage(c), error);
}

}  // namespace orv::compare
