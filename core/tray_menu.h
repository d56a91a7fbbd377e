// The notification-area icon's menu: its items, which of them are there and
// usable, and what each one opens or checks. The Win32 side shows the menu
// and carries a choice out; it decides nothing of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class TrayCommand : int {
  ShowWindow = 1,        // restored from minimized and brought to the front
  OpenRecordingsFolder,  // opened in the shell
  OpenLog,               // orvalda.log, opened in the shell
  CheckRecording,        // the checker run on the current recording, its report opened
  Close,                 // the close question, as the window's own close
  ExportRecording,       // the exporter's dialog opened on the current recording
};
inline constexpr int kTrayCommandCount = 6;

// A command's number in the window system's menu (WM_COMMAND's low word).
constexpr unsigned trayMenuId(TrayCommand command) noexcept { return 0x7100u + static_cast<unsigned>(command); }
std::optional<TrayCommand> trayCommandOf(unsigned menuId) noexcept;

struct TrayMenuItem {
  TrayCommand command;
  std::string text;
  bool enabled = true;
  std::string target;  // the folder or file it opens, the recording it checks
  bool operator==(const TrayMenuItem&) const = default;
};

// What the menu is made from.
struct TrayMenuFacts {
  std::string recording;         // the file recorded to now, or the one that failed; empty when none
  std::string recordingsFolder;  // where the recordings go; empty when unknown
  std::string log;               // orvalda.log as last written; empty when none
  bool checkerInstalled = false;
  bool exporterInstalled = false;
};

// The items in their order; the first is the default (a double click's).
std::vector<TrayMenuItem> trayMenu(const TrayMenuFacts& facts);

// The checker, a program installed beside orvalda.exe, or not at all.
inline constexpr const char* kCheckerProgram = "orvalda-check.exe";
// The exporter, installed beside orvalda.exe too; given the recording alone,
// it opens its dialog filled in with it.
inline constexpr const char* kExporterProgram = "orvalda-export.exe";
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

}  // namespace orv
