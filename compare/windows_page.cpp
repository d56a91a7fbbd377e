#include "compare/windows_page.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "compare/page.h"
#include "compare/program.h"
#include "compare/reports.h"
#include "platform/win32_text.h"
#include "recordings/windows_start.h"
#include "report/windows_page.h"

namespace orv::compare {

namespace {

constexpr const wchar_t* kCaption = L"Compare two brokers";

// Compares the two sides (asked for, one after the other, when none are
// given) and shows the page in the browser.
int compareInBrowser(std::vector<std::string> args) {
  recordings::hideOwnConsole();
  const bool asked = args.empty();
  if (asked) {
    const std::vector<std::string> a = recordings::askForRecordings(L"Compare two brokers: the first broker's recordings");
    if (a.empty()) return 0;
    const std::vector<std::string> b = recordings::askForRecordings(L"Compare two brokers: the second broker's recordings");
    if (b.empty()) return 0;
    args = a;
    args.push_back("--against");
    args.insert(args.end(), b.begin(), b.end());
  }
  const CompareCommand command = parseCompareArgs(args);
  Comparison comparison;
  std::string error = command.error;
  if (error.empty() && !compareSides(command, comparison, error)) error = error.empty() ? "the comparison failed" : error;
  if (!error.empty()) {
    report::showErrorBox(kCaption, "orvalda-compare: " + error +
                                       ".\n\nDrop two recordings or folders on orvalda-compare.exe, one of each broker, "
                                       "or start it alone to choose each broker's recordings.");
    return 2;
  }
  const std::string summary = summaryText(comparison);
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  std::fflush(stdout);
  const std::string path = report::temporaryPagePath("orvalda-compare", command.paths[0].front());
  if (!writePage(path, comparison, error)) {
    report::showErrorBox(kCaption, "The page could not be written: " + error);
    return 2;
  }
  std::printf("report: %s\n", path.c_str());
  std::fflush(stdout);
  // A page that no browser shows is named by showPage; one asked for through
  // the dialogs is named either way, so that it can be found again.
  if (report::showPage(path, kCaption) && asked)
    MessageBoxW(nullptr, toWide("The comparison is in " + path + ", open in your browser.").c_str(), kCaption,
                MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace

int windowsMain(int argc, wchar_t** argv) {
  const std::vector<std::string> args = recordings::startArguments(argc, argv);
  for (const std::string& a : args)
    if (a.starts_with("-")) return runCompareCommandLine(args, stdout, stderr);
  return compareInBrowser(args);
}

}  // namespace orv::compare
