// The companion tools' command lines: orvalda-feed's and zentavor-probe's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::tools {

struct FeedOptions {
  enum class Source { None, File, Synthetic };
  Source source = Source::None;
  std::string file;
  std::uint64_t syntheticCount = 0;
  std::optional<std::string> symbol;   // default: from the file's pair, else EURUSD
  std::optional<std::int32_t> digits;  // default: from the file, else 5
  std::optional<double> speed;         // file replay; nullopt with speedMax false = 1
  bool speedMax = false;
  std::optional<double> rate;  // synthetic ticks per second; default 100
  bool rateMax = false;
  std::optional<std::uint64_t> seed;  // synthetic; default kDefaultSeed
  bool announce = true;
  std::uint32_t timeoutMs = 10000;  // per SendMessageTimeout; 0: plain SendMessage, no time-out
  bool help = false;
};

inline constexpr std::uint64_t kDefaultSeed = 1;
inline constexpr double kDefaultRate = 100.0;
inline constexpr std::int32_t kDefaultDigits = 5;
inline constexpr const char* kDefaultSymbol = "EURUSD";

struct FeedArgsResult {
  bool ok = false;
  std::string error;  // one line, without the program name
  FeedOptions options;
};
FeedArgsResult parseFeedArgs(const std::vector<std::string>& args);  // args without argv[0]

struct ProbeOptions {
  std::optional<std::string> logFile;  // default: stdout
  std::uint32_t delayMs = 0;
  std::optional<std::uint64_t> hangAfter;  // messages answered before the hang
  std::optional<std::uint32_t> hangMs;     // default: until killed
  std::optional<std::uint32_t> exitAfterMs;
  bool help = false;
};

struct ProbeArgsResult {
  bool ok = false;
  std::string error;
  ProbeOptions options;
};
ProbeArgsResult parseProbeArgs(const std::vector<std::string>& args);

}  // namespace orv::tools
