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
// Its command line (after the program's name): the recording and the zone
// its stamps were written in, UTC under --utc, otherwise the machine's
// (machineZone: its name, as the system calls it; when the system names
// none, the dialog's own choice stays).
std::vector<std::string> exporterArguments(std::string_view recording, bool stampsInUtc, std::string_view machineZone);
// Its report on a recording: the file's name in a folder for reports.
std::string checkReportName(std::string_view recording);
// Its command line (after the program's name): the recording, the report written as HTML.
std::vector<std::string> checkerArguments(std::string_view reportPath, std::string_view recording);
// The kind of file, as the system names it, that a file the shell has no
// program for is opened as: a page (.htm, .html) as a web page, in the
// system's browser; anything else (the log) as text, in Notepad.
std::string_view fallbackFileClass(std::string_view file);
// The error when the checker left no report.
std::string checkerFailedText(std::string_view recording, unsigned long exitCode, bool finished);
// The error when no browser showed the report: the system could start
// nothing for it (nothing ended), or what it started ended with a failure
// (ended with a nonzero exitCode, as a browser launcher that found no
// browser). Nothing while it runs on or ended well.
std::optional<std::string> reportNotShownText(std::string_view report, bool started, bool ended,
                                              unsigned long exitCode);

}  // namespace orv
