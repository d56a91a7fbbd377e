#include "tools/tool_options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "core/option_reader.h"
#include "tools/feed_file.h"
#include "tools/feed_stream.h"

namespace orv::tools {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

template <typename T>
bool parseInteger(const std::string& name, const std::string& text, T minValue, T maxValue, T& out,
                  std::string& error) {
  T v{};
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const bool plainDigits = !text.empty() && (isDigit(text[0]) || (text[0] == '-' && text.size() > 1));
  const auto r = std::from_chars(first, last, v);
  if (!plainDigits || r.ec != std::errc() || r.ptr != last) {
    error = "invalid value " + quotedText(text) + " for " + name + ": not a whole number";
    if (r.ec == std::errc::result_out_of_range)
      error = "invalid value " + quotedText(text) + " for " + name + ": out of range";
    return false;
  }
  if (v < minValue || v > maxValue) {
    error = "invalid value " + quotedText(text) + " for " + name + ": must be between " +
            std::to_string(minValue) + " and " + std::to_string(maxValue);
    return false;
  }
  out = v;
  return true;
}

// A positive finite number such as "10", "0.5" or "2.5e3".
bool parsePositive(const std::string& name, const std::string& text, double& out, std::string& error) {
  double v = 0;
  const char* last = text.data() + text.size();
  const bool plain = !text.empty() && (isDigit(text[0]) || text[0] == '.');
  const auto r = std::from_chars(text.data(), last, v);
  if (!plain || r.ec != std::errc() || r.ptr != last || !std::isfinite(v) || v <= 0) {
    error = "invalid value " + quotedText(text) + " for " + name + ": must be a positive number or 'max'";
    return false;
  }
  out = v;
  return true;
}

// Takes over what reading the command line settled: a request for help, or an
// error. True when there is nothing more to look at.
template <typename ArgsResult>
bool settled(const ReadOptions& read, ArgsResult& r) {
  r.options.help = read.help;
  r.ok = read.help;
  r.error = read.error;
  return read.help || !read.error.empty();
}

}  // namespace

FeedArgsResult parseFeedArgs(const std::vector<std::string>& args) {
  FeedArgsResult r;
  FeedOptions& o = r.options;
  const ReadOptions read =
      readOptions(args, {"--file", "--synthetic", "--symbol", "--digits", "--speed", "--rate", "--seed", "--timeout-ms"},
                  {"--no-announce", "--no-timeout"});
  if (settled(read, r)) return r;
  bool speedGiven = false, rateGiven = false;

  for (const auto& [name, value] : read.given) {
    if (name == "--file") {
      if (value.empty()) {
        r.error = "--file needs a file name";
        return r;
      }
      o.file = value;
    } else if (name == "--synthetic") {
      if (!parseInteger<std::uint64_t>(name, value, 1, 1000000000000ULL, o.syntheticCount, r.error)) return r;
    } else if (name == "--symbol") {
      if (!isValidSymbol(value)) {
        r.error =
            "invalid value " + quotedText(value) + " for --symbol: 1 to 6 printable characters, e.g. EURUSD";
        return r;
      }
      o.symbol = value;
    } else if (name == "--digits") {
      std::int32_t d = 0;
      if (!parseInteger<std::int32_t>(name, value, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(), d, r.error))
        return r;
      o.digits = d;
    } else if (name == "--speed") {
      speedGiven = true;
      if (value == "max") {
        o.speedMax = true;
      } else {
        double v = 0;
        if (!parsePositive(name, value, v, r.error)) return r;
        o.speed = v;
      }
    } else if (name == "--rate") {
      rateGiven = true;
      if (value == "max") {
        o.rateMax = true;
      } else {
        double v = 0;
        if (!parsePositive(name, value, v, r.error)) return r;
        o.rate = v;
      }
    } else if (name == "--seed") {
      std::uint64_t s = 0;
      if (!parseInteger<std::uint64_t>(name, value, 0, std::numeric_limits<std::uint64_t>::max(), s, r.error))
        return r;
      o.seed = s;
    } else if (name == "--no-announce") {
      o.announce = false;
    } else if (name == "--no-timeout") {
      o.timeoutMs = 0;
    } else if (name == "--timeout-ms") {
      if (!parseInteger<std::uint32_t>(name, value, 1, 3600000, o.timeoutMs, r.error)) return r;
    }
  }

  const bool haveFile = !o.file.empty();
  const bool haveSynthetic = o.syntheticCount > 0;
  if (haveFile && haveSynthetic) {
    r.error = "give either --file or --synthetic, not both";
    return r;
  }
  if (!haveFile && !haveSynthetic) {
    r.error = "nothing to send: give --file PATH or --synthetic N";
    return r;
  }
  o.source = haveFile ? FeedOptions::Source::File : FeedOptions::Source::Synthetic;
  if (haveFile && (rateGiven || o.seed)) {
    r.error = std::string(rateGiven ? "--rate" : "--seed") +
              " applies to --synthetic only; use --speed with --file";
    return r;
  }
  if (haveSynthetic && speedGiven) {
    r.error = "--speed applies to --file only; use --rate with --synthetic";
    return r;
  }
  if (haveSynthetic && o.digits && (*o.digits < kSyntheticMinDigits || *o.digits > kSyntheticMaxDigits)) {
    r.error = "invalid value '" + std::to_string(*o.digits) + "' for --digits: a synthetic stream needs " +
              std::to_string(kSyntheticMinDigits) + " to " + std::to_string(kSyntheticMaxDigits);
    return r;
  }
  r.ok = true;
  return r;
}

ProbeArgsResult parseProbeArgs(const std::vector<std::string>& args) {
  ProbeArgsResult r;
  ProbeOptions& o = r.options;
  const ReadOptions read = readOptions(args, {"--log", "--delay-ms", "--hang-after", "--hang-ms", "--exit-after-ms"}, {});
  if (settled(read, r)) return r;
  constexpr std::uint32_t kMaxMs = 0x7FFFFFFF;  // below INFINITE, which means "never"

  for (const auto& [name, value] : read.given) {
    if (name == "--log") {
      if (value.empty()) {
        r.error = "--log needs a file name";
        return r;
      }
      o.logFile = value;
    } else if (name == "--delay-ms") {
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, o.delayMs, r.error)) return r;
    } else if (name == "--hang-after") {
      std::uint64_t n = 0;
      if (!parseInteger<std::uint64_t>(name, value, 0, std::numeric_limits<std::uint64_t>::max(), n, r.error))
        return r;
      o.hangAfter = n;
    } else if (name == "--hang-ms") {
      std::uint32_t ms = 0;
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, ms, r.error)) return r;
      o.hangMs = ms;
    } else if (name == "--exit-after-ms") {
      std::uint32_t ms = 0;
      if (!parseInteger<std::uint32_t>(name, value, 0, kMaxMs, ms, r.error)) return r;
      o.exitAfterMs = ms;
    }
  }
  if (o.hangMs && !o.hangAfter) {
    r.error = "--hang-ms needs --hang-after";
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace orv::tools
