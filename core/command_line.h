// Orvalda's command line: orvalda.exe [options]. Read here, without any window
// system; app/ shows the usage or the error and ends with the exit code.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orv {

// How Orvalda starts. Without options: as always, nothing of this set.
struct StartOptions {
  // --record PATTERN: record from the start to the file PATTERN names, whose
  // {symbol}, {date} (yyyymmdd) and {time} (hhmmss) are filled in.
  std::optional<std::string> recordPattern;
  bool daily = false;      // --daily: with --record, a new file at midnight
  bool utc = false;        // --utc: UTC instead of local time, for display, rows, names and midnight
  bool live = false;       // --live: tick "Live Data" as soon as it can be ticked
  bool minimized = false;  // --minimized: the main window starts minimized
  bool another = false;    // --another: start even when another Orvalda runs on this desktop
};

// -h, --help or /?: show the usage and end.
struct CommandLineHelp {
  std::string usage;
  static constexpr int kExitCode = 0;
};

// A command line Orvalda cannot start with: show the message and the usage, and end.
struct CommandLineError {
  std::string message;  // one line, without a full stop
  std::string usage;
  static constexpr int kExitCode = 2;
};

using CommandLine = std::variant<StartOptions, CommandLineHelp, CommandLineError>;

// `args` are the arguments without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace orv
