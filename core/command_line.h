// Orvalda's command line: orvalda.exe [options]. Read here, without any window
// system, with the reply to help or an error; app/ writes the reply to the
// console that started Orvalda (else shows it in a box) and ends with its exit code.
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
  bool compress = false;   // --compress: with --record and {date}, earlier days' files compressed to .gz
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

// What Orvalda answers instead of starting: the usage, or the error's message
// and the usage; an error goes where errors go (the error stream, a stop icon).
struct CommandLineReply {
  std::string text;  // lines ended by "\n", the last one without
  bool error = false;
  int exitCode = 0;
};

// The reply to help or to an error; none when Orvalda starts.
std::optional<CommandLineReply> replyWithoutStarting(const CommandLine& commandLine);

}  // namespace orv
