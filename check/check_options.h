// orvalda-check's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/recording_check.h"

namespace orv::check {

struct CheckCommand {
  bool help = false;
  std::string error;  // one line; empty when the command line reads
  std::vector<std::string> files;
  bool json = false;
  bool textOnly = false;  // --text
  std::optional<std::string> htmlPath;
  CheckOptions options;
  bool anyOption = false;  // false: only files, or nothing at all
};

CheckCommand parseCheckArgs(const std::vector<std::string>& args);  // without the program name
extern const char* const kCheckUsage;

// "Fri 17:00-Sun 17:00 America/New_York", "Fri 22:00-Sun 22:00 UTC" (day
// names of three letters, any case; any zone findZone() knows, New York's
// when none is given) or "none". A zone that is not found: false, and why in
// error.
bool parseWeeklyClose(std::string_view text, WeeklyClose& out, std::string& error);
// "+01:00", "-5", "+5:30", "0": how far the stamps' clock is ahead of UTC, up to 14 hours.
bool parseUtcOffset(std::string_view text, std::int64_t& ms);

}  // namespace orv::check
