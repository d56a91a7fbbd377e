// The three forms of the report on checked recordings: the terminal summary,
// JSON for scripts, and a self-contained HTML page with the day drawn.
#pragma once

#include <string>
#include <vector>

#include "check/recording_check.h"

namespace orv::check {

std::string textReport(const std::vector<FileReport>& files, const CheckOptions& options);
std::string jsonReport(const std::vector<FileReport>& files, const CheckOptions& options);
std::string htmlReport(const std::vector<FileReport>& files, const CheckOptions& options);

// Parts the three share.
// "stamps taken as UTC (no --utc-offset given)" / "stamps taken as UTC+01:00 (--utc-offset)"
std::string timeBasisText(const CheckOptions& options);
// "Fri 22:00 to Sun 21:00 UTC", or "none"
std::string weeklyCloseText(const WeeklyClose& close);
// "the weekly close, Fri 22:00 to Sun 21:00 UTC, is not counted as silence", or what --session none means
std::string weeklyCloseRule(const WeeklyClose& close);
// "3 problems, 1 silence" or "clean"; for a file that could not be read, "not read".
std::string verdictText(const FileReport& file);
// What else a reader should know: no rows, line ends other than CR LF, a
// byte-order mark, NUL bytes, lists cut short.
std::vector<std::string> fileNotes(const FileReport& file);
// "CR LF", "LF", "CR", or a mix with counts.
std::string lineEndsText(const FileReport& file);

}  // namespace orv::check
