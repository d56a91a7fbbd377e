// orvalda.exe's command line: options, help, and what it refuses.
#include <gtest/gtest.h>

#include "core/command_line.h"

namespace orv {
namespace {

using Args = std::vector<std::string>;

std::string joined(const Args& args) {
  std::string s;
  for (const auto& a : args) s += "[" + a + "]";
  return s;
}

// The outcome of parsing `args` as a T; a default T, and a failure, when it is another.
template <typename T>
T parsedAs(const Args& args) {
  const CommandLine result = parseCommandLine(args);
  const T* outcome = std::get_if<T>(&result);
  EXPECT_NE(outcome, nullptr) << joined(args) << " gave another outcome";
  return outcome != nullptr ? *outcome : T{};
}

TEST(CommandLine, NoOptionsStartsAsAlways) {
  const StartOptions options = parsedAs<StartOptions>({});
  EXPECT_FALSE(options.recordPattern.has_value());
  EXPECT_FALSE(options.daily || options.utc || options.live || options.minimized);
  EXPECT_FALSE(replyWithoutStarting(parseCommandLine({"--live"})).has_value());
}

TEST(CommandLine, EveryOptionBothValueForms) {
  const std::string pattern = "D:\\ticks\\{symbol}\\{symbol}-{date}.csv";
  for (const Args& args : {Args{"--record", pattern, "--daily", "--utc", "--live", "--minimized"},
                           Args{"--minimized", "--live", "--utc", "--daily", "--record=" + pattern}}) {
    const StartOptions options = parsedAs<StartOptions>(args);
    EXPECT_EQ(options.recordPattern, pattern);
    EXPECT_TRUE(options.daily && options.utc && options.live && options.minimized) << joined(args);
  }
  const StartOptions minimized = parsedAs<StartOptions>({"--minimized"});
  EXPECT_TRUE(minimized.minimized);
  EXPECT_FALSE(minimized.daily || minimized.utc || minimized.live);
}

// Help: the usage alone, not as an error, exit code 0.
TEST(CommandLine, HelpForms) {
  for (const Args& args : {Args{"/?"}, Args{"-h"}, Args{"--help"}, Args{"--live", "/?"}}) {
    const std::string usage = parsedAs<CommandLineHelp>(args).usage;
    EXPECT_NE(usage.find("--record PATTERN"), std::string::npos) << joined(args);
    const auto reply = replyWithoutStarting(parseCommandLine(args));
    ASSERT_TRUE(reply.has_value()) << joined(args);
    EXPECT_EQ(reply->text, usage);
    EXPECT_FALSE(reply->error);
    EXPECT_EQ(reply->exitCode, 0);
  }
}

TEST(CommandLine, RefusedWithMessageAndUsage) {
  struct Case {
    Args args;
    const char* errorPart;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--live", "stray"}, "unexpected argument 'stray'"},
      {{"--daily"}, "--daily needs --record"},
      {{"--live", "--record"}, "option --record needs a value"},
      {{"--record="}, "--record needs a file name pattern"},
      {{"--record", ""}, "--record needs a file name pattern"},
      {{"--record", "D:\\ticks\\"}, "names no file"},
      {{"--record", "D:"}, "names no file"},
      {{"--record", "ticks/.."}, "names no file"},
      {{"--record", "{sym}-{date}.csv"}, "has the unknown field {sym} (known: {symbol}, {date}, {time})"},
      {{"--record", "t-{time}.csv", "--daily"}, "--daily needs {date} in the --record pattern"},
      {{"--live=yes"}, "option --live takes no value"},
      {{"--utc", "--utc"}, "given more than once"},
  };
  for (const Case& c : cases) {
    const CommandLineError error = parsedAs<CommandLineError>(c.args);
    EXPECT_NE(error.message.find(c.errorPart), std::string::npos) << joined(c.args) << " -> " << error.message;
    EXPECT_NE(error.usage.find("Usage:"), std::string::npos) << joined(c.args);
    // The reply: the message as a sentence, a blank line, the usage; an error, exit code 2.
    const auto reply = replyWithoutStarting(parseCommandLine(c.args));
    ASSERT_TRUE(reply.has_value()) << joined(c.args);
    EXPECT_EQ(reply->text, error.message + ".\n\n" + error.usage);
    EXPECT_TRUE(reply->error);
    EXPECT_EQ(reply->exitCode, 2);
  }
}

}  // namespace
}  // namespace orv
