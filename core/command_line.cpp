#include "core/command_line.h"

#include "core/option_reader.h"

namespace orv {

namespace {

// Shown in a message box: short lines (it wraps long ones), no columns that
// would need a fixed-width font.
constexpr const char* kUsage =
    "Usage: orvalda.exe [options]\n"
    "\n"
    "--record PATTERN\n"
    "    record every tick from the start,\n"
    "    without the save dialog, to the file\n"
    "    PATTERN names: {symbol}, {date}\n"
    "    (yyyymmdd) and {time} (hhmmss) in it\n"
    "    are filled in, e.g.\n"
    "    D:\\ticks\\{symbol}\\{symbol}-{date}.csv\n"
    "--daily\n"
    "    with --record: a new file at midnight\n"
    "--utc\n"
    "    UTC instead of local time for the\n"
    "    tick line, the rows, {date}, {time}\n"
    "    and the midnight of --daily\n"
    "--live\n"
    "    tick \"Live Data\" as soon as it can be\n"
    "--minimized\n"
    "    start minimized\n"
    "--another\n"
    "    start even when Orvalda already runs\n"
    "    on this desktop (else that one is\n"
    "    brought to the front instead)\n"
    "-h, --help, /?\n"
    "    show this text";

// What follows the last folder separator or drive colon.
std::string_view fileNamePart(std::string_view path) {
  const std::size_t end = path.find_last_of("\\/:");
  return end == std::string_view::npos ? path : path.substr(end + 1);
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  const ReadOptions read =
      readOptions(args, {"--record"}, {"--daily", "--utc", "--live", "--minimized", "--another"});
  if (read.help) return CommandLineHelp{kUsage};
  auto error = [](std::string message) { return CommandLineError{std::move(message), kUsage}; };
  if (!read.error.empty()) return error(read.error);

  StartOptions options;
  for (const GivenOption& option : read.given) {
    if (option.name == "--record") {
      options.recordPattern = option.value;
    } else if (option.name == "--daily") {
      options.daily = true;
    } else if (option.name == "--utc") {
      options.utc = true;
    } else if (option.name == "--live") {
      options.live = true;
    } else if (option.name == "--minimized") {
      options.minimized = true;
    } else if (option.name == "--another") {
      options.another = true;
    }
  }
  if (options.recordPattern) {
    const std::string& pattern = *options.recordPattern;
    if (pattern.empty()) return error("--record needs a file name pattern");
    const std::string_view name = fileNamePart(pattern);
    if (name.empty() || name == "." || name == "..")
      return error("--record " + quotedText(pattern) + " names no file, only a folder");
  }
  if (options.daily && !options.recordPattern) return error("--daily needs --record");
  return options;
}

}  // namespace orv
