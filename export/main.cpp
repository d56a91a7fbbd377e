// orvalda-export: writes recordings as the files trading programs import.
//   orvalda-export --to FORMAT [--from ZONE] [--tz ZONE] [--out DIR] [--tf TF] [--template TEXT] [--header TEXT] FILE...
#include <string>
#include <vector>

#include "export/program.h"

#ifdef _WIN32
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string a(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, a.data(), n, nullptr, nullptr);
    args.push_back(a);
  }
  return orv::exporter::runExportCommandLine(args, stdout, stderr);
}
#else
int main(int argc, char** argv) {
  return orv::exporter::runExportCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
#endif
