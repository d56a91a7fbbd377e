// orvalda-compare as a program, apart from its entry point: the command
// line read, both sides compared, the summary or JSON written, the exit code.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "compare/comparison.h"

namespace orv::compare {

struct CompareCommand {
  bool help = false;
  std::string error;  // one line; empty when the command line reads
  std::array<std::vector<std::string>, kSides> paths;
  std::array<std::string, kSides> names;  // --names, or the folders' names
  std::array<std::string, kSides> zones{"UTC", "UTC"};
  std::unordered_map<std::string, std::string> pairMap;  // side B's pair key -> side A's
  bool json = false;
  std::string htmlPath;  // --html FILE: the page too
  CompareSettings settings;
};

CompareCommand parseCompareArgs(const std::vector<std::string>& args);  // without the program name
extern const char* const kCompareUsage;

// Reads both sides and compares them. False, with one line in error, for a
// side with no recording, a file that cannot be read, no pair in common or
// no time in common.
bool compareSides(const CompareCommand& command, Comparison& out, std::string& error);

// Runs a command line: the summary or JSON to out, one line to err on bad
// input. Returns 0, or 2 on bad input.
int runCompareCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace orv::compare
