// The page: per file its figures, three charts drawn as inline SVG (bid and
// ask, ticks per minute, spread) over one time line with the silences marked,
// and the lists of silences and problems. Nothing is fetched from elsewhere.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "check/page_file.h"
#include "check/reports.h"
#include "check/texts.h"

namespace orv::check {

namespace {

constexpr int kColumns = 1000;  // one pixel column per bucket column
constexpr int kLeft = 80, kRight = 16;
constexpr int kWidth = kLeft + kColumns + kRight;
constexpr std::size_t kMaxMarks = 2000;     // silences or problems drawn per chart
constexpr std::size_t kMaxTableRows = 500;  // per list

constexpr const char* kBidColour = "#1f6fd1";
constexpr const char* kAskColour = "#d9480f";
constexpr const char* kTicksColour = "#2b8a3e";
constexpr const char* kSpreadColour = "#7048e8";
constexpr const char* kSilenceFill = "#ffd8d3";
constexpr const char* kSilenceMark = "#c92a2a";

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}
std::string html(std::string_view bytes, std::size_t maxBytes = 400) { return escaped(readable(bytes, maxBytes)); }

std::string num(double v, int decimals = 1) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A step of 1, 2 or 5 times a power of ten giving about `parts` parts of
// span; 0 for a span that is no positive finite number.
double niceStep(double span, int parts) {
  const double raw = span / parts;
  if (!std::isfinite(raw) || raw <= 0) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

int decimalsOfStep(double step) { return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 15); }

// Labels an axis has at most, whatever its values.
constexpr int kMaxLabels = 12;

// The time line all of a file's charts share.
struct TimeLine {
  std::int64_t start, end;
  double x(std::int64_t ms) const {
    const double f = static_cast<double>(ms - start) / static_cast<double>(end - start);
    return kLeft + std::clamp(f, 0.0, 1.0) * kColumns;
  }
};

// Labels along the time line: a step from a fixed list giving at most 8 of them.
std::string timeAxis(const TimeLine& t, int y) {
  static constexpr std::int64_t kSteps[] = {1000,     2000,     5000,     10000,     15000,      30000,     60000,
                                            120000,   300000,   600000,   900000,    1800000,    3600000,   7200000,
                                            10800000, 21600000, 43200000, 86400000,  172800000,  604800000, 1209600000,
                                            2592000000LL, 7776000000LL, 31536000000LL};
  const std::int64_t span = t.end - t.start;
  std::int64_t step = std::max<std::int64_t>(kSteps[std::size(kSteps) - 1], span / 8 + 1);  // years: a multiple
  for (std::int64_t s : kSteps) {
    if (span / s <= 8) {
      step = s;
      break;
    }
  }
  std::string out;
  std::int64_t at = floorDiv(t.start + step - 1, step) * step;
  for (int drawn = 0; drawn < kMaxLabels && at <= t.end; ++drawn, at += step) {
    const std::string when = dateTimeText(at);  // "2026-12-07 09:26:33"
    std::string label;
    if (step >= kMsPerDay || floorMod(at, kMsPerDay) == 0)
      label = when.substr(5, 5);  // "12-07"
    else if (step < 60000)
      label = when.substr(11, 8);
    else
      label = when.substr(11, 5);
    const double x = t.x(at);
    out += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" + std::to_string(y - 16) + "\" y2=\"" +
           std::to_string(y - 12) + "\" class=\"axis\"/><text x=\"" + num(x) + "\" y=\"" + std::to_string(y) +
           "\" text-anchor=\"middle\">" + label + "</text>";
  }
  return out;
}

// Horizontal grid lines and value labels from lo to hi.
std::string valueAxis(double lo, double hi, int top, int bottom) {
  const double step = niceStep(hi - lo, 4);
  std::string out;
  if (step == 0) return out;
  const int decimals = decimalsOfStep(step);
  // Counted, not summed: a step below the values' precision adds nothing.
  const double first = std::ceil(lo / step) * step;
  for (int i = 0; i < kMaxLabels; ++i) {
    const double v = first + i * step;
    if (!(v <= hi + step * 1e-9)) break;
    const double y = bottom - (v - lo) / (hi - lo) * (bottom - top);
    out += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kLeft + kColumns) + "\" y1=\"" + num(y) +
           "\" y2=\"" + num(y) + "\" class=\"grid\"/><text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + num(y + 4) +
           "\" text-anchor=\"end\">" + num(std::abs(v) < step * 1e-9 ? 0.0 : v, decimals) + "</text>";
  }
  return out;
}

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

// Appends a vertical stroke at x from y1 to y2 to a path.
void stroke(std::string& d, double x, double y1, double y2) {
  d += 'M';
  d += num(x);
  d += ' ';
  d += num(y1);
  d += 'V';
  d += num(y2);
}

// One vertical stroke per column, from lo to hi (at least a pixel long).
template <typename Range>
std::string columnPath(const std::vector<ChartColumn>& columns, Range range, double lo, double hi, int top, int bottom) {
  std::string d;
  if (!(hi > lo) || !std::isfinite(hi - lo)) return d;
  const double scale = (bottom - top) / (hi - lo);
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    if (!columns[c].any) continue;
    const auto [from, to] = range(columns[c]);
    double y1 = bottom - (to - lo) * scale, y2 = bottom - (from - lo) * scale;
    if (y2 - y1 < 1) y2 = y1 + 1;
    stroke(d, kLeft + c + 0.5, y1, y2);
  }
  return d;
}

std::string svgOpen(int height, const std::string& label) {
  return "<svg viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(height) +
         "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"" + label + "\">";
}

std::string frame(int top, int bottom) {
  return "<rect x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(top) + "\" width=\"" + std::to_string(kColumns) +
         "\" height=\"" + std::to_string(bottom - top) + "\" class=\"frame\"/>";
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

std::string factRow(const std::string& name, const std::string& value) {
  return "<tr><th>" + name + "</th><td>" + value + "</td></tr>";
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

constexpr const char* kStyle = R"(
body{font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;margin:24px auto;max-width:1150px;padding:0 16px;color:#1d2125;background:#fff}
h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:36px 0 4px;padding-top:12px;border-top:2px solid #dee2e6;word-break:break-all}
h3{font-size:15px;margin:20px 0 4px}.settings{color:#555;margin:0}
.verdict{font-weight:600;margin:4px 0 10px}.verdict.clean{color:#2b8a3e}.verdict.bad{color:#c92a2a}
table{border-collapse:collapse}.facts th{text-align:left;font-weight:600;padding:1px 16px 1px 0;vertical-align:top;white-space:nowrap}
.list{font-size:14px;margin-top:4px}.list th,.list td{border-bottom:1px solid #e9ecef;padding:3px 12px 3px 0;text-align:left;vertical-align:top}
.list td:first-child{font-variant-numeric:tabular-nums}
svg{display:block;width:100%;height:auto;font-size:12px;fill:#495057}
svg .frame{fill:none;stroke:#adb5bd}svg .grid{stroke:#f1f3f5}svg .axis{stroke:#868e96}
svg path.bid,svg path.ask,svg path.ticks,svg path.spread{fill:none;stroke-width:1;shape-rendering:crispEdges}
svg path.ask{mix-blend-mode:multiply}
svg .mark{fill:#c92a2a}svg .mark.order{fill:#e67700}svg .mark.crossed{fill:#ae3ec9}
.legend{margin:0;color:#555;font-size:13px}.legend span{display:inline-block;width:12px;height:12px;margin:0 4px 0 10px;vertical-align:-1px}
.legend span.tri{width:0;height:0;border:6px solid transparent;border-bottom:10px solid #c92a2a;border-top:0;background:none}
.count{display:inline-block;background:#fff0f0;border:1px solid #ffc9c9;border-radius:3px;padding:0 6px;margin-right:4px}
)";

}  // namespace

std::string htmlReport(const std::vector<FileReport>& files, const CheckOptions& options) {
  std::string names;
  for (const FileReport& f : files) {
    std::string_view p = f.path;
    const std::size_t slash = p.find_last_of("/\\");
    if (slash != std::string_view::npos) p.remove_prefix(slash + 1);
    names += (names.empty() ? "" : ", ") + html(p);
  }
  std::string out = std::string(kPageStart) + "<head><meta charset=\"utf-8\">"
                    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">" +
                    std::string(kPageTitle) + names + "</title><style>" + kStyle + "</style></head><body>\n";
  out += "<h1>Recording check</h1><p class=\"settings\">orvalda-check: silences longer than " + shortSecondsText(options.gapMs) +
         "; " + timeBasisText(options) + "; " + weeklyCloseRule(options.session) + ".</p>\n";
  for (const FileReport& f : files) out += fileSection(f, options) + "\n";
  return out + "</body></html>\n";
}

}  // namespace orv::check
