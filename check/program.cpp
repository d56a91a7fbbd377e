#include "check/program.h"

#include <algorithm>
#include <optional>

#include "check/reports.h"
#include "report/page_file.h"
#include "report/texts.h"

namespace orv::check {

std::vector<FileReport> checkAll(const std::vector<std::string>& files, const CheckOptions& options) {
  std::vector<FileReport> reports;
  reports.reserve(files.size());
  // The files given are one recording's time line, in their order.
  std::optional<zone::StampsToUtc> clock;
  if (options.from) clock.emplace(options.from);
  for (const std::string& path : files) reports.push_back(checkFile(path, options, clock ? &*clock : nullptr));
  checkAcrossFiles(reports, options);
  return reports;
}

std::string whyNotWritePage(const std::string& page, const std::vector<std::string>& inputs) {
  return report::whyNotWritePage(page, inputs, {kPageTitleStart, "orvalda-check", "the recordings to check"});
}

int exitCodeOf(const std::vector<FileReport>& reports) {
  int code = 0;
  for (const FileReport& r : reports) code = std::max(code, !r.error.empty() ? 2 : r.clean() ? 0 : 1);
  return code;
}

int runCheck(const CheckCommand& command, std::FILE* out, std::FILE* err) {
  if (command.htmlPath) {
    if (const std::string why = whyNotWritePage(*command.htmlPath, command.files); !why.empty()) {
      std::fprintf(err, "orvalda-check: %s\n", why.c_str());
      return 2;
    }
  }
  const std::vector<FileReport> reports = checkAll(command.files, command.options);
  for (const FileReport& r : reports)
    if (!r.error.empty()) std::fprintf(err, "orvalda-check: %s\n", readable(r.error, 2000).c_str());
  const std::string report = command.json ? jsonReport(reports, command.options) : textReport(reports, command.options);
  std::fwrite(report.data(), 1, report.size(), out);
  std::fflush(out);
  int code = exitCodeOf(reports);
  if (command.htmlPath) {
    std::string error;
    if (!report::writeWholeFile(*command.htmlPath, htmlReport(reports, command.options), error)) {
      std::fprintf(err, "orvalda-check: %s\n", error.c_str());
      code = 2;
    }
  }
  return code;
}

int runCheckCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  CheckCommand command = parseCheckArgs(args);
  if (command.help) {
    std::fputs(kCheckUsage, out);
    return 0;
  }
  if (command.error.empty() && command.files.empty()) command.error = "no recording given";
  if (!command.error.empty()) {
    std::fprintf(err, "orvalda-check: %s; see --help\n", command.error.c_str());
    return 2;
  }
  return runCheck(command, out, err);
}

}  // namespace orv::check
