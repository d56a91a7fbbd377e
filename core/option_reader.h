// Reads "--name VALUE" / "--name=VALUE" command lines with CLI11, the same way
// for Orvalda and its companion tools, and turns what CLI11 finds wrong into
// one-line messages of the programs' own wording. Header only: the tools
// include it without linking any Orvalda library. Only sources that link
// cli11_headers may include it.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Shows a text in a message, quoted, with control characters escaped.
inline std::string quotedText(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  out += "'";
  return out;
}

struct GivenOption {
  std::string name;   // as declared, e.g. "--record"
  std::string value;  // empty for a flag
};

struct ReadOptions {
  bool help = false;    // -h, --help or /? given: nothing else was looked at
  std::string error;    // one line; empty when the command line reads
  std::vector<GivenOption> given;  // in command-line order, each name once
};

// Reads `args` (without the program name) against the declared long options:
// `valueOptions` take one value, `flags` none. -h, --help and /? ask for help.
// Errors: unknown option, unexpected argument, a value missing, a value given
// to a flag, an option given twice. The values themselves are the caller's.
inline ReadOptions readOptions(const std::vector<std::string>& args, std::initializer_list<const char*> valueOptions,
                               std::initializer_list<const char*> flags) {
  ReadOptions result;
  // CLI11 knows no "/?".
  if (std::find(args.begin(), args.end(), "/?") != args.end()) {
    result.help = true;
    return result;
  }
  // CLI11 takes "--flag=value" as setting the flag to that value, and hands
  // "--name=" the next argument as its value: both stay what they look like.
  std::vector<std::string> prepared;
  for (const std::string& a : args) {
    const std::size_t eq = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
    const std::string name = a.substr(0, eq);
    if (eq != std::string::npos && std::find(flags.begin(), flags.end(), name) != flags.end()) {
      result.error = "option " + name + " takes no value";
      return result;
    }
    if (eq != std::string::npos && eq + 1 == a.size() &&
        std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end()) {
      prepared.push_back(name);
      prepared.emplace_back();
    } else {
      prepared.push_back(a);
    }
  }
  std::reverse(prepared.begin(), prepared.end());  // CLI11 takes the arguments last first

  CLI::App app;
  app.allow_extras();
  for (const char* name : valueOptions) app.add_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  for (const char* name : flags) app.add_flag(name);
  try {
    app.parse(prepared);
  } catch (const CLI::CallForHelp&) {
    result.help = true;
    return result;
  } catch (const CLI::ArgumentMismatch&) {
    // Only the last argument can miss its value: nothing is left to take.
    result.error = "option " + args.back().substr(0, args.back().find('=')) + " needs a value";
    return result;
  } catch (const CLI::ParseError& e) {
    result.error = e.what();
    return result;
  }
  const std::vector<std::string> extra = app.remaining();
  if (!extra.empty()) {
    const std::string& a = extra.front();
    if (a.rfind("--", 0) == 0 && a.size() > 2)
      result.error = "unknown option " + quotedText(a.substr(0, a.find('=')));
    else
      result.error = (a.size() > 1 && a[0] == '-' ? "unknown option " : "unexpected argument ") + quotedText(a);
    return result;
  }
  std::set<const CLI::Option*> seen;
  for (const CLI::Option* option : app.parse_order()) {
    if (!seen.insert(option).second) {
      result.error = "option " + option->get_name() + " given more than once";
      result.given.clear();
      return result;
    }
    const bool flag = option->get_expected_max() == 0;
    result.given.push_back({option->get_name(), flag ? std::string() : option->results().front()});
  }
  return result;
}

// A command line of options and files. The files are the arguments that are
// neither options nor their values: "--" ends the options, "-" is standard
// input. The options are read as readOptions reads them.
struct ReadCommand {
  ReadOptions read;
  std::vector<std::string> files;
  bool anyOption = false;  // something that looks like an option was given
};

inline ReadCommand readOptionsAndFiles(const std::vector<std::string>& args,
                                       std::initializer_list<const char*> valueOptions,
                                       std::initializer_list<const char*> flags) {
  ReadCommand result;
  std::vector<std::string> options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || a.empty() || (a[0] != '-' && a != "/?")) {
      result.files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else {
      options.push_back(a);
      if (i + 1 < args.size() && std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end())
        options.push_back(args[++i]);
    }
  }
  result.anyOption = !options.empty();
  result.read = readOptions(options, valueOptions, flags);
  return result;
}

}  // namespace orv
