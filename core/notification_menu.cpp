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

std::vector<std::string> clockArguments(bool stampsInUtc, std::string_view machineZone) {
  if (!stampsInUtc && machineZone.empty()) return {};
  return {"--from", stampsInUtc ? "UTC" : std::string(machineZone)};
}

std::vector<std::string> checkerArguments(std::string_view reportPath, std::string_view recording, bool stampsInUtc,
                                          std::string_view machineZone) {
  std::vector<std::string> args = clockArguments(stampsInUtc, machineZone);
  args.insert(args.end(), {"--html", std::string(reportPath), std::string(recording)});
  return args;
}

std::vector<std::string> exporterArguments(std::string_view recording, bool stampsInUtc, std::string_view machineZone) {
  std::vector<std::string> args = clockArguments(stampsInUtc, machineZone);
  args.emplace_back(recording);
  return args;
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

std::string reportOpenerPath(std::string_view report) {
  std::string path(report);
  if (const std::size_t dot = path.rfind('.'); dot != std::string::npos && dot > path.find_last_of("\\/") + 1)
    path.resize(dot);
  return path + "-open.html";
}

std::string reportOpenerPage(std::string_view reportName) {
  // The name as a relative URL: every byte but the unreserved ones escaped.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  for (const char c : reportName) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      url += c;
    } else {
      url += '%';
      url += kHex[b >> 4];
      url += kHex[b & 15];
    }
  }
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><meta http-equiv=\"refresh\" content=\"0; url=" + url +
         "\"><title>orvalda-check</title></head>\n<body><a href=\"" + url + "\">" + url + "</a></body></html>\n";
}

ReportShown reportShown(const ReportShowing& s) {
  if (s.read) return ReportShown::Yes;
  if (s.ended && s.exitCode != 0) return ReportShown::No;
  if (s.readsKept) return s.timeUp ? ReportShown::No : ReportShown::NotYet;
  return s.ended || s.timeUp ? ReportShown::Yes : ReportShown::NotYet;
}

std::string reportNotShownText(std::string_view report) {
  return "The report was written to " + std::string(report) + ", but no browser could be started to show it";
}

}  // namespace orv
