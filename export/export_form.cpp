#include "export/export_form.h"

#include <cctype>

namespace orv::exporter {

const std::vector<std::string>& formatNames() {
  static const std::vector<std::string> names = {"mt5", "nt8", "lean", "histdata", "bars", "template"};
  return names;
}

std::string formatLabel(const std::string& format) {
  static constexpr struct {
    const char* code;
    const char* words;
  } kLabels[] = {{"mt5", "MetaTrader 5 ticks"},
                 {"nt8", "NinjaTrader 8 ticks"},
                 {"lean", "LEAN ticks, a zip a day"},
                 {"histdata", "HistData ticks, a file a month"},
                 {"bars", "Bars of a timeframe"},
                 {"template", "Lines of your own template"}};
  for (const auto& label : kLabels)
    if (format == label.code) return std::string(label.words) + " (" + format + ")";
  return format;
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

std::string addDialogFolder(const ExportForm& form) {
  if (form.files.empty()) return std::string();
  const std::string& last = form.files.back();
  const std::size_t slash = last.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : last.substr(0, slash == 2 && last[1] == ':' ? 3 : slash);
}

std::vector<std::string> argsOf(const ExportForm& form) {
  std::vector<std::string> args = {"--to", form.format, "--from", form.fromZone};
  if (!form.toZone.empty()) args.insert(args.end(), {"--tz", form.toZone});
  if (!form.outDir.empty()) args.insert(args.end(), {"--out", form.outDir});
  if (usesTimeframe(form.format)) args.insert(args.end(), {"--tf", form.timeframe});
  if (usesTemplate(form.format)) {
    args.insert(args.end(), {"--template", form.templateText});
    if (!form.header.empty()) args.insert(args.end(), {"--header", form.header});
  }
  if (form.replace) args.push_back("--force");
  args.push_back("--");
  args.insert(args.end(), form.files.begin(), form.files.end());
  return args;
}

std::string formMessage(const std::string& commandError) {
  static constexpr struct {
    const char* option;
    const char* field;
  } kFields[] = {{"--from", "\"Recorded in\""}, {"--tz", "\"Write in\""}, {"--tf", "\"Timeframe\""},
                 {"--template", "\"Template\""}, {"--header", "\"Header\""}, {"--to", "\"Format\""}, {"--out", "\"Output folder\""}};
  if (commandError.starts_with("no recording given")) return "Add a recording first.";
  std::string message = commandError;
  for (std::size_t at = message.find(" TEXT"); at != std::string::npos; at = message.find(" TEXT")) message.erase(at, 5);
  for (const auto& field : kFields)
    for (std::size_t at = message.find(field.option); at != std::string::npos; at = message.find(field.option, at))
      message.replace(at, std::char_traits<char>::length(field.option), field.field);
  if (!message.empty()) message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
  return message;
}

}  // namespace orv::exporter
