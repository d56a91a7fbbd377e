#include "core/command_line.h"

#include "core/file_pattern.h"
#include "core/option_reader.h"
#include "platform/toolkit.h"

namespace orv {

namespace {

// Written to a console or shown in a message box: short lines (a box wraps
// long ones), no columns that would need a fixed-width font.
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
    "    with --record and {date} in its\n"
    "    PATTERN: a new file at midnight\n"
    "--compress\n"
    "    with --record and {date} in its\n"
    "    PATTERN: each earlier day's file is\n"
    "    compressed to NAME.gz (one gzip\n"
    "    member), verified, then removed\n"
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
      readOptions(args, {"--record"}, {"--daily", "--compress", "--utc", "--live", "--minimized", "--another"});
  if (read.help) return CommandLineHelp{kUsage};
  auto error = [](std::string message) { return CommandLineError{std::move(message), kUsage}; };
  if (!read.error.empty()) return error(read.error);

  StartOptions options;
  for (const GivenOption& option : read.given) {
    if (option.name == "--record") {
      options.recordPattern = option.value;
    } else if (option.name == "--daily") {
      options.daily = true;
    } else if (option.name == "--compress") {
      options.compress = true;
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
    if (const std::string field = unknownPatternField(pattern); !field.empty())
      return error("--record " + quotedText(pattern) + " has the unknown field " + field +
                   " (known: {symbol}, {date}, {time})");
  }
  if (options.daily && !options.recordPattern) return error("--daily needs --record");
  if (options.daily && options.recordPattern->find("{date}") == std::string::npos)
    return error("--daily needs {date} in the --record pattern, for each day's file to have its own name");
  if (options.compress && !options.recordPattern) return error("--compress needs --record");
  if (options.compress && options.recordPattern->find("{date}") == std::string::npos)
    return error("--compress needs {date} in the --record pattern, for each day's file to have its own name");
  return options;
}

std::optional<CommandLineReply> replyWithoutStarting(const CommandLine& commandLine) {
  if (const auto* help = std::get_if<CommandLineHelp>(&commandLine))
    return CommandLineReply{help->usage, false, help->kExitCode};
  if (const auto* error = std::get_if<CommandLineError>(&commandLine))
    return CommandLineReply{errorDisplayText(error->message) + "\n\n" + error->usage, true, error->kExitCode};
  return std::nullopt;
}

}  // namespace orv
