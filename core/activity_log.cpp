#include "core/activity_log.h"

#include "core/file_pattern.h"
#include "core/tick_text.h"

namespace orv {

std::string logPathIn(std::string_view folder) {
  return folder.empty() ? std::string(kLogName) : std::string(folder) + "\\" + kLogName;
}

std::string writeLogLine(FileOpener& files, std::string_view pattern, const WallTime& stamp, std::string_view text) {
  TextBuffer line;
  appendDate(line, stamp, "-");
  line.append(' ');
  appendTimeOfDay(line, stamp);
  line.append(' ');
  line.append(text);
  line.append("\r\n");
  std::string folder = fixedFolderOf(pattern);
  for (;;) {
    const std::string path = logPathIn(folder);
    std::string ignored;
    if (std::unique_ptr<RawFile> log = files.openFile(path, FileOpening::AddTo, ignored)) {
      std::size_t written = 0;
      const bool ok = log->append(line.view().data(), line.view().size(), written, ignored);
      log->close(ignored);
      if (ok) return path;
    }
    const std::string parent = folderOf(folder);
    if (parent.empty() || parent == folder) return std::string();
    folder = parent;
  }
}

}  // namespace orv
