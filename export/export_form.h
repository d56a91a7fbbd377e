// What the export dialog asks, and the command line it stands for: the
// dialog's window code only shows these lists and fields and runs the
// command (runExport), deciding nothing itself.
#pragma once

#include <string>
#include <vector>

namespace orv::exporter {

struct ExportForm {
  std::vector<std::string> files;  // the recordings, in the order given
  std::string format = "mt5";
  std::string timeframe = "M1";  // bars
  std::string templateText = "{time:%Y-%m-%d %H:%M:%S.%L},{bid},{ask}", header = "time,bid,ask";  // template
  std::string fromZone = "UTC";
  std::string toZone;  // empty: the format's own default
  std::string outDir;  // empty: beside the first recording
  bool replace = false;  // files already there may be replaced (the user was asked)
};

// The formats (their codes, as --to takes them), the timeframes and the zones
// offered, the common zones first.
const std::vector<std::string>& formatNames();
// A format as the dialog names it, in words with its code: "MetaTrader 5 ticks (mt5)".
std::string formatLabel(const std::string& format);
// What an empty "Write in" and an empty output folder mean, as the dialog shows them.
inline constexpr char kUsualZone[] = "(the format's usual zone)";
inline constexpr char kBesideFirst[] = "(beside the first recording)";
const std::vector<std::string>& timeframeNames();
const std::vector<std::string>& commonZones();
// Whether the timeframe, or the template and header, apply to a format.
bool usesTimeframe(const std::string& format);
bool usesTemplate(const std::string& format);

// The folder the Add… dialog opens in: the last recording's; empty when
// there is none (the user's documents then).
std::string addDialogFolder(const ExportForm& form);

// The command line of orvalda-export the form stands for.
std::vector<std::string> argsOf(const ExportForm& form);
// A complaint about that command line in the form's words: its fields, not options.
std::string formMessage(const std::string& commandError);

}  // namespace orv::exporter
