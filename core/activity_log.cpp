#include "core/activity_log.h"

#include "core/tick_text.h"

namespace orv {

std::string logPathIn(std::string_view folder) {
  return folder.empty() ? std::string(kLogName) : std::string(folder) + "\\" + kLogName;
}

void writeLogLine(Backend& backend, std::string_view folder, const WallTime& stamp, std::string_view text) {
  TextBuffer line;
  appendDate(line, stamp, "-");
  line.append(' ');
  appendTimeOfDay(line, stamp);
  line.append(' ');
  line.append(text);
  line.append("\r\n");
  std::string ignored;
  if (std::unique_ptr<RawFile> log = backend.openFile(logPathIn(folder), FileOpening::AddTo, ignored)) {
    std::size_t written = 0;
    log->append(line.view().data(), line.view().size(), written, ignored);
    log->close(ignored);
  }
}

}  // namespace orv
