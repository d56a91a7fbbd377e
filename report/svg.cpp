#include "report/svg.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "report/texts.h"

namespace orv::report {

std::string num(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

double niceStep(double span, int parts) {
  const double raw = span / parts;
  if (!std::isfinite(raw) || raw <= 0) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

int decimalsOfStep(double step) { return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 15); }

double TimeLine::x(std::int64_t ms) const {
  const double f = static_cast<double>(ms - start) / static_cast<double>(end - start);
  return kLeft + std::clamp(f, 0.0, 1.0) * kColumns;
}

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

void stroke(std::string& d, double x, double y1, double y2) {
  d += 'M';
  d += num(x);
  d += ' ';
  d += num(y1);
  d += 'V';
  d += num(y2);
}

std::string svgOpen(int height, const std::string& label) {
  return "<svg viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(height) +
         "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"" + label + "\">";
}

std::string frame(int top, int bottom) {
  return "<rect x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(top) + "\" width=\"" + std::to_string(kColumns) +
         "\" height=\"" + std::to_string(bottom - top) + "\" class=\"frame\"/>";
}

}  // namespace orv::report
