#include "tools/probe_line.h"

#include <cstdio>

#include "core/protocol.h"

namespace orv::tools {

std::string formatProbeLine(int hour, int minute, int second, int millisecond, std::uint32_t code,
                            std::uint64_t wParam, std::uint64_t lParam) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d,%lu,%lu,%lu", hour, minute, second, millisecond,
                static_cast<unsigned long>(code), static_cast<unsigned long>(low32(wParam)),
                static_cast<unsigned long>(low32(lParam)));
  return buf;
}

}  // namespace orv::tools
