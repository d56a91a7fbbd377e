#include "core/tray_menu.h"

#include "core/status_text.h"

namespace orv {

std::optional<TrayCommand> trayCommandOf(unsigned menuId) noexcept {
  for (int i = 1; i <= kTrayCommandCount; ++i)
    if (trayMenuId(static_cast<TrayCommand>(i)) == menuId) return static_cast<TrayCommand>(i);
  return std::nullopt;
}

std::vector<TrayMenuItem> trayMenu(const TrayMenuFacts& facts) {
  std::vector<TrayMenuItem> items;
  items.push_back({TrayCommand::ShowWindow, "Show Orvalda", true, ""});
  items.push_back({TrayCommand::OpenRecordingsFolder, "Open the recordings folder", !facts.recordingsFolder.empty(),
                   facts.recordingsFolder});
  items.push_back({TrayCommand::OpenLog, "Open orvalda.log", !facts.log.empty(), facts.log});
  if (facts.checkerInstalled)
    items.push_back({TrayCommand::CheckRecording, "Check today's recording", !facts.recording.empty(),
                     facts.recording});
  if (facts.exporterInstalled)
    items.push_back({TrayCommand::ExportRecording, "Export today's recording\xE2\x80\xA6", !facts.recording.empty(),
                     facts.recording});
  items.push_back({TrayCommand::Close, "Close Orvalda\xE2\x80\xA6", true, ""});
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

std::string_view fallbackFileClass(std::string_view file) {
  const std::string_view name = fileNameOf(file);
  const std::size_t dot = name.rfind('.');
  std::string extension(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".html" || extension == ".htm" ? "htmlfile" : "txtfile";
}

std::string checkerFailedText(std::string_view recording, unsigned long exitCode, bool finished) {
  const std::string checker = kCheckerProgram;
  if (!finished) return checker + " did not finish checking " + std::string(recording) + " in time";
  return checker + " made no report on " + std::string(recording) + " (exit code " + std::to_string(exitCode) + ")";
}

}  // namespace orv
