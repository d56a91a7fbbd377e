// The three forms of the report on checked recordings: the terminal summary,
// JSON for scripts, and a self-contained HTML page with the day drawn.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/recording_check.h"

namespace orv::check {

std::string textReport(const std::vector<FileReport>& files, const CheckOptions& options);
std::string jsonReport(const std::vector<FileReport>& files, const CheckOptions& options);
std::string htmlReport(const std::vector<FileReport>& files, const CheckOptions& options);
// How the page's title starts (the files' names follow): what tells a page of
// orvalda-check's from the other tools' pages.
inline constexpr std::string_view kPageTitleStart = "Recording check: ";

// Parts the three share.
// "stamps taken as UTC (no --from given)", "stamps on the clock of
// Europe/London (--from)", "stamps taken as UTC+01:00 (--utc-offset)"
std::string timeBasisText(const CheckOptions& options);
// "Fri 17:00 to Sun 17:00 America/New_York", or "none"
std::string weeklyCloseText(const WeeklyClose& close);
// "the weekly close, Fri 17:00 to Sun 17:00 America/New_York, is not counted as silence", or what --session none means
std::string weeklyCloseRule(const WeeklyClose& close);
// "3 problems, 1 silence", "clean" or "clean, with notes: ..."; for a file
// that could not be read, "not read", or "not a recording".
std::string verdictText(const FileReport& file);
// The notes: "17 repeats (lines 4, 9, ...); 1 zero spread (line 30)", or "".
std::string notesText(const FileReport& file);
// "> 1 min 3, > 5 min 1, > 30 min 0, > 1 h 0"
std::string gapBucketsText(const FileReport& file);
// A pair's figures: "ticks per hour: min 10, median 900, max 2400" and
// "spread in points of 5 decimals: min 8, median 13, 99th percentile 18, max 30"
std::string ticksPerHourText(const FileReport::Symbol& pair);
std::string spreadText(const FileReport::Symbol& pair);
// "1000 pair changes (lines 201, 402, ...), the first from EUR/USD to USD/JPY"
std::string symbolChangesText(const FileReport& file);
// "EUR/USD 120, USD/JPY 80"
std::string symbolRowsText(const FileReport& file);
// What else a reader should know: no rows, line ends other than CR LF, a
// byte-order mark, NUL bytes, lists cut short.
std::vector<std::string> fileRemarks(const FileReport& file);
// "CR LF", "LF", "CR", or a mix with counts.
std::string lineEndsText(const FileReport& file);

}  // namespace orv::check
