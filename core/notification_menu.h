// The notification-area icon's menu: its items, which of them are there and
// usable, and what each one opens or checks. The Win32 side shows the menu
// and carries a choice out; it decides nothing of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class NotificationCommand : int {
  ShowWindow = 1,        // restored from minimized and brought to the front
  OpenRecordingsFolder,  // opened in the shell
  OpenLog,               // orvalda.log, opened in the shell
  CheckRecording,        // the checker run on the current recording, its report opened
  Close,                 // the close question, as the window's own close
  ExportRecording,       // the exporter's dialog opened on the current recording
};
inline constexpr int kNotificationCommandCount = 6;

// A command's number in the window system's menu (WM_COMMAND's low word).
constexpr unsigned notificationMenuId(NotificationCommand command) noexcept { return 0x7100u + static_cast<unsigned>(command); }
std::optional<NotificationCommand> notificationCommandOf(unsigned menuId) noexcept;

struct NotificationMenuItem {
  NotificationCommand command;
  std::string text;
  bool enabled = true;
  std::string target;  // the folder or file it opens, the recording it checks
  bool operator==(const NotificationMenuItem&) const = default;
};

// What the menu is made from.
struct NotificationMenuFacts {
  std::string recording;         // the file recorded to now, or the one that failed; empty when none
  std::string recordingsFolder;  // where the recordings go; empty when unknown
  std::string log;               // orvalda.log as last written; empty when none
  bool checkerInstalled = false;
  bool exporterInstalled = false;
};

// The items in their order; the first is the default (a double click's).
std::vector<NotificationMenuItem> notificationMenu(const NotificationMenuFacts& facts);

// The checker, a program installed beside orvalda.exe, or not at all.
inline constexpr const char* kCheckerProgram = "orvalda-check.exe";
// The exporter, installed beside orvalda.exe too; given the recording alone,
// perhaps after --from ZONE, it opens its dialog filled in with it.
inline constexpr const char* kExporterProgram = "orvalda-export.exe";
// The clock a recording's stamps were written in, as both tools take it
// ("--from ZONE"): UTC under --utc, otherwise the machine's zone
// (machineZone: its name, as the system calls it); nothing when the system
// names none (the tool's own default stays).
std::vector<std::string> clockArguments(bool stampsInUtc, std::string_view machineZone);
// Its command line (after the program's name): the clock, then the recording.
std::vector<std::string> exporterArguments(std::string_view recording, bool stampsInUtc, std::string_view machineZone);
// Its report on a recording: the file's name in a folder for reports.
std::string checkReportName(std::string_view recording);
// Its command line (after the program's name): the clock, the report
// written as HTML, then the recording.
std::vector<std::string> checkerArguments(std::string_view reportPath, std::string_view recording, bool stampsInUtc,
                                          std::string_view machineZone);
// The kind of file, as the system names it, that a file the shell has no
// program for is opened as: a page (.htm, .html) as a web page, in the
// system's browser; anything else (the log) as text, in Notepad.
std::string_view fallbackFileClass(std::string_view file);
// The error when the checker left no report.
std::string checkerFailedText(std::string_view recording, unsigned long exitCode, bool finished);
// A browser is handed a page of Orvalda's own beside the report, which sends
// it on to the report at once: the report itself is then read only by a
// browser that shows pages, never by what merely looks at a file's kind (a
// launcher does, before it starts a browser that may refuse to start).
// The page's name beside the report, and its text for the report's name.
std::string reportOpenerPath(std::string_view report);
std::string reportOpenerPage(std::string_view reportName);
// What is known of a report handed to the browser: the system started
// something for it.
struct ReportShowing {
  bool ended = false;          // what it started has ended ...
  unsigned long exitCode = 0;  // ... with this code (nonzero: a launcher that found no browser)
  bool readsKept = false;      // the file system keeps the time of a file's last read
  bool read = false;           // the report was read since it was handed over
  bool timeUp = false;         // the time a browser has to show it has passed
};
enum class ReportShown { Yes, No, NotYet };
// Shown once read; not when what the system started for it failed, or no
// read came in time. Where reads are not kept, a launcher that ended well or runs
// on past the time counts as shown.
ReportShown reportShown(const ReportShowing& showing);
// The error when no browser showed the report.
std::string reportNotShownText(std::string_view report);

}  // namespace orv
