// orvalda-export: writes recordings as the files trading programs import.
//   orvalda-export --to FORMAT [--from ZONE] [--tz ZONE] [--out DIR] [--tf TF] [--template TEXT] [--header TEXT] FILE...
// On Windows, started with only recordings (dropped on it) or with none (the
// Start menu), perhaps after --from ZONE, it opens the export dialog
// (windows_dialog.cpp).
#include <string>
#include <vector>

#include "export/program.h"

#ifdef _WIN32
#include "export/windows_dialog.h"

int wmain(int argc, wchar_t** argv) { return orv::exporter::windowsMain(argc, argv); }
#else
int main(int argc, char** argv) {
  return orv::exporter::runExportCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
#endif
