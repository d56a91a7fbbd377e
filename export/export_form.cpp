#include "export/export_form.h"

namespace orv::exporter {

const std::vector<std::string>& formatNames() {
  static const std::vector<std::string> names = {"mt5", "nt8", "lean", "histdata", "bars", "template"};
  return names;
}

const std::vector<std::string>& timeframeNames() {
  static const std::vector<std::string> names = {"M1", "M5", "M15", "M30", "H1", "H4", "D1"};
  return names;
}

const std::vector<std::string>& commonZones() {
  static const std::vector<std::string> names = {"UTC",           "America/New_York", "Europe/London", "Europe/Berlin",
                                                 "Europe/Athens", "Asia/Tokyo",       "NY+7"};
  return names;
}

bool usesTimeframe(const std::string& format) { return format == "bars"; }
bool usesTemplate(const std::string& format) { return format == "template"; }

std::vector<std::string> argsOf(const ExportForm& form) {
  std::vector<std::string> args = {"--to", form.format, "--from", form.fromZone};
  if (!form.toZone.empty()) args.insert(args.end(), {"--tz", form.toZone});
  if (!form.outDir.empty()) args.insert(args.end(), {"--out", form.outDir});
  if (usesTimeframe(form.format)) args.insert(args.end(), {"--tf", form.timeframe});
  if (usesTemplate(form.format)) {
    args.insert(args.end(), {"--template", form.templateText});
    if (!form.header.empty()) args.insert(args.end(), {"--header", form.header});
  }
  args.push_back("--");
  args.insert(args.end(), form.files.begin(), form.files.end());
  return args;
}

}  // namespace orv::exporter
