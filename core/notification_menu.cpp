#include "core/notification_menu.h"

#include "core/file_name.h"
#include "core/notification_text.h"

namespace orv {

std::optional<NotificationCommand> notificationCommandOf(unsigned menuId) noexcept {
  for (int i = 1; i <= kNotificationCommandCount; ++i)
    if (notificationMenuId(static_cast<NotificationCommand>(i)) == menuId) return static_cast<NotificationCommand>(i);
  return std::nullopt;
}

std::vector<NotificationMenuItem> notificationMenu(const NotificationMenuFacts& facts) {
  std::vector<NotificationMenuItem> items;
  items.push_back({NotificationCommand::ShowWindow, "Show Orvalda", true, ""});
  items.push_back({NotificationCommand::OpenRecordingsFolder, "Open the recordings folder", !facts.recordingsFolder.empty(),
                   facts.recordingsFolder});
  items.push_back({NotificationCommand::OpenLog, "Open orvalda.log", !facts.log.empty(), facts.log});
  if (facts.checkerInstalled)
    items.push_back({NotificationCommand::CheckRecording, "Check today's recording", !facts.recording.empty(),
                     facts.recording});
  if (facts.exporterInstalled)
    items.push_back({NotificationCommand::ExportRecording, "Export today's recording\xE2\x80\xA6", !facts.recording.empty(),
                     facts.recording});
  items.push_back({NotificationCommand::Close, "Close Orvalda\xE2\x80\xA6", true, ""});
  return items;
}

std::string checkReportName(std::string_view recording) {
  std::string name(fileNameOf(recording));
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  return "orvalda-check-" + name + ".html";
}

std::vector<std::string> checkerArguments(std::string_view reportPath, std::string_view recording) {
  return {"--html", std::string(reportPath), std::string(recording)};
}

std::vector<std::string> exporterArguments(std::string_view recording, bool stampsInUtc, std::string_view machineZone) {
  if (!stampsInUtc && machineZone.empty()) return {std::string(recording)};
  return {"--from", stampsInUtc ? "UTC" : std::string(machineZone), std::string(recording)};
}

std::string_view fallbackFileClass(std::string_view file) {
  const std::string_view name = fileNameOf(file);
  const std::size_t dot = name.rfind('.');
  const std::string extension = asciiLower(std::string(dot == std::string_view::npos ? std::string_view() : name.substr(dot)));
  return extension == ".html" || extension == ".htm" ? "htmlfile" : "txtfile";
}

std::string checkerFailedText(std::string_view recording, unsigned long exitCode, bool finished) {
  const std::string checker = kCheckerProgram;
  if (!finished) return checker + " did not finish checking " + std::string(recording) + " in time";
  return checker + " made no report on " + std::string(recording) + " (exit code " + std::to_string(exitCode) + ")";
}

std::optional<std::string> reportNotShownText(std::string_view report, bool started, bool ended,
                                              unsigned long exitCode) {
  if (started && (!ended || exitCode == 0)) return std::nullopt;
  return "The report was written to " + std::string(report) + ", but no browser could be started to show it";
}

}  // namespace orv
