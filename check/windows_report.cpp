#include "check/windows_report.h"

#include <cstdio>
#include <string>
#include <vector>

#include "check/program.h"
#include "check/reports.h"
#include "recordings/windows_start.h"
#include "report/page_file.h"
#include "report/windows_page.h"

namespace orv::check {

namespace {

constexpr const wchar_t* kCaption = L"Check a recording";

// Shows the page for the files (asked for when none are given) in the browser.
int reportInBrowser(CheckCommand command) {
  recordings::hideOwnConsole();
  if (command.files.empty()) command.files = recordings::askForRecordings(kCaption);
  if (command.files.empty()) return 0;

  const std::vector<FileReport> reports = checkAll(command.files, command.options);
  const std::string summary = textReport(reports, command.options);
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  std::fflush(stdout);
  const std::string path = report::temporaryPagePath("orvalda-check", command.files.front());
  std::string error;
  if (!report::writeWholeFile(path, htmlReport(reports, command.options), error)) {
    report::showErrorBox(kCaption, "The report could not be written: " + error);
    return 2;
  }
  std::printf("report: %s\n", path.c_str());
  std::fflush(stdout);
  report::showPage(path, kCaption);
  return exitCodeOf(reports);
}

}  // namespace

int windowsMain(int argc, wchar_t** argv) {
  const std::vector<std::string> args = recordings::startArguments(argc, argv);
  const CheckCommand command = parseCheckArgs(args);
  if (command.anyOption || !command.error.empty()) return runCheckCommandLine(args, stdout, stderr);
  return reportInBrowser(command);
}

}  // namespace orv::check
