// orvalda-compare: lays two brokers' recordings of the same pairs side by
// side: who is faster, who misses ticks, whose spreads are wider, who sent
// bad ticks.
//   orvalda-compare [options] A... --against B...
#include <string>
#include <vector>

#include "compare/program.h"

#ifdef _WIN32
#include "compare/windows_page.h"

int wmain(int argc, wchar_t** argv) { return orv::compare::windowsMain(argc, argv); }
#else
int main(int argc, char** argv) {
  return orv::compare::runCompareCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
#endif
