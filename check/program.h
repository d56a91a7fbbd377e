// orvalda-check as a program, apart from its entry point: the command line
// run, the files checked, the reports written and the exit code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "check/check_options.h"
#include "check/recording_check.h"

namespace orv::check {

// Checks each file, then files of one symbol across their boundaries (checkAcrossFiles).
std::vector<FileReport> checkAll(const std::vector<std::string>& files, const CheckOptions& options);
// Why the page may not be written to that name ("" when it may): it is one
// of the inputs, or a file that is no page of orvalda-check's.
std::string whyNotWritePage(const std::string& page, const std::vector<std::string>& inputs);
// 2 when a file could not be read, else 1 when any problem or silence was found, else 0.
int exitCodeOf(const std::vector<FileReport>& reports);

// Runs a command line that has been read: the summary or JSON to out,
// messages to err. Returns the exit code.
int runCheck(const CheckCommand& command, std::FILE* out, std::FILE* err);
// Reads the command line and runs it.
int runCheckCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace orv::check
