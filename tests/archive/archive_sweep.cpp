// archive_sweep PATTERN TODAY: one sweep of closed days, as Orvalda's
// archiver runs it, on the native files, on this thread; prints its notes.
// The kill test stops it at random points.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/day_archive.h"
#include "platform/native_archiver.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: archive_sweep PATTERN TODAY(yyyymmdd)\n");
    return 2;
  }
  const auto today = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  for (const orv::ArchiveNote& note : orv::sweepClosedDays(orv::nativeArchiveFiles(), argv[1], today, {}))
    std::printf("%s\n", note.text.c_str());
  return 0;
}
