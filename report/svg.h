// Charts drawn as inline SVG, all of one width: a plot of kColumns pixel
// columns between a margin for the value labels and a narrow one, over a
// time line or any other axis, with grid lines at round values.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::report {

inline constexpr int kColumns = 1000;  // the plot's width, one pixel column each
inline constexpr int kLeft = 80, kRight = 16;
inline constexpr int kWidth = kLeft + kColumns + kRight;
// Labels an axis has at most, whatever its values.
inline constexpr int kMaxLabels = 12;

// A number with that many decimals: "1.5".
std::string num(double v, int decimals = 1);
// A step of 1, 2 or 5 times a power of ten giving about `parts` parts of
// span; 0 for a span that is no positive finite number.
double niceStep(double span, int parts);
// The decimals that show values of that step.
int decimalsOfStep(double step);

// The time line the charts of one section share: x of a time (ms), clamped to the plot.
struct TimeLine {
  std::int64_t start, end;
  double x(std::int64_t ms) const;
};
// Labels along the time line at y: a step from a fixed list giving at most 8 of them.
std::string timeAxis(const TimeLine& t, int y);
// Horizontal grid lines and value labels from lo to hi, the plot from top to bottom.
std::string valueAxis(double lo, double hi, int top, int bottom);

// Appends a vertical stroke at x from y1 to y2 to a path.
void stroke(std::string& d, double x, double y1, double y2);
// One vertical stroke per column of a chart, from range(column)'s low to
// high (at least a pixel long); columns with nothing (!any) are left out.
template <typename Column, typename Range>
std::string columnPath(const std::vector<Column>& columns, Range range, double lo, double hi, int top, int bottom) {
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

// The chart's opening tag, of the shared width and that height; label as HTML.
std::string svgOpen(int height, const std::string& label);
// The plot's frame from top to bottom.
std::string frame(int top, int bottom);

}  // namespace orv::report
