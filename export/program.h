// orvalda-export as a program, apart from its entry point: the command line
// read, the inputs exported, the summary and the exit code.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "export/exporter.h"

namespace orv::exporter {

extern const char* const kExportUsage;

struct ExportCommand {
  bool help = false;
  std::string error;  // the command line does not read
  ExportSettings settings;
  std::string formatName;
  std::vector<std::string> files;
};

ExportCommand parseExportArgs(const std::vector<std::string>& args);

// What a run did, for the summary and the dialog.
struct ExportRun {
  int exitCode = 0;  // 0 every row exported, 1 some left out, 2 nothing sound written
  std::string error;
  ExportTotals totals;
  double seconds = 0;
};

// Why a recording cannot be exported, in the user's words ("... does not
// exist", "... is a folder, not a recording"); empty when it opens.
std::string recordingProblem(const std::string& path);

// Exports the files, every one looked at first; progress(bytes read so far) is called between blocks when given.
ExportRun runExport(const ExportCommand& command, const std::function<void(std::uint64_t)>& progress = {});
std::string summaryOf(const ExportRun& run);

// Reads the command line and runs it: the summary to out, messages to err.
int runExportCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace orv::exporter
