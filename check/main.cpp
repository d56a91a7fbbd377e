// orvalda-check: tells what is wrong or missing in recordings of Orvalda's
// rows, in the terminal, as JSON or as a page with the day drawn.
//   orvalda-check [--json] [--html FILE] [--gap SECONDS] [--session SPEC] [--utc-offset OFFSET] [--text] FILE...
// On Windows, started with only files or with none, it shows the page in the
// browser (windows_report.cpp).
#include <string>
#include <vector>

#include "check/program.h"

#ifdef _WIN32
#include "check/windows_report.h"

int wmain(int argc, wchar_t** argv) { return orv::check::windowsMain(argc, argv); }
#else
int main(int argc, char** argv) {
  return orv::check::runCheckCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
#endif
