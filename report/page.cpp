#include "report/page.h"

#include "report/texts.h"

namespace orv::report {

namespace {

constexpr std::string_view kStyle = R"(
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

std::string pageHead(std::string_view title, std::string_view moreStyle) {
  std::string out(kPageStart);
  out += "<head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
  out += title;
  out += "</title><style>";
  out += kStyle;
  out += moreStyle;
  return out += "</style></head><body>\n";
}

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

std::string html(std::string_view bytes, std::size_t maxBytes) { return escaped(readable(bytes, maxBytes)); }

std::string factRow(const std::string& name, const std::string& value) {
  return "<tr><th>" + name + "</th><td>" + value + "</td></tr>";
}

}  // namespace orv::report
