#include "platform/memory_backend.h"

#include <algorithm>
#include <cctype>

namespace orv {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

class MemoryRawFile : public RawFile {
 public:
  MemoryRawFile(std::shared_ptr<MemoryFile> file, const MemoryBackend& backend)
      : file_(std::move(file)), backend_(backend) {}
  bool append(const char* data, std::size_t size, std::size_t& written, std::string& error) override {
    written = 0;
    if (!isOpen(error)) return false;
    call(true);
    ++file_->writes;
    const std::size_t room =
        file_->failAfterBytes > file_->data.size() ? file_->failAfterBytes - file_->data.size() : 0;
    written = std::min(room, size);
    file_->data.append(data, written);
    if (written < size) {
      if (file_->hidesPartialWrites) written = 0;
      error = "There is not enough space on the disk";
      return false;
    }
    if (backend_.onWritten) backend_.onWritten(*file_, std::string_view(data, size));
    return true;
  }
  bool size(std::uint64_t& bytes, std::string& error) override {
    if (!isOpen(error)) return false;
    call(false);
    bytes = file_->data.size();
    return true;
  }
  bool read(std::uint64_t offset, char* out, std::size_t size, std::string& error) override {
    if (!isOpen(error)) return false;
    call(false);
    if (offset > file_->data.size() || file_->data.size() - offset < size) {
      error = "Reached the end of the file";
      return false;
    }
    file_->data.copy(out, size, static_cast<std::size_t>(offset));
    return true;
  }
  bool truncate(std::uint64_t size, std::string& error) override {
    if (!isOpen(error)) return false;
    call(false);
    if (size < file_->data.size()) file_->data.resize(static_cast<std::size_t>(size));
    return true;
  }
  bool takeTurn(TurnFor) override {
    if (turn_) return true;
    if (file_->turnHeld) return false;  // held by another handle
    // Bytes due before the next write land before the turn it is made in.
    if (file_->otherWriterAtCall < 0 && !file_->otherWriterAdds.empty()) addOtherWritersBytes();
    file_->turnHeld = turn_ = true;
    return true;
  }
  void endTurn() override {
    if (!turn_) return;
    file_->turnHeld = turn_ = false;
    if (otherWriterDue_) addOtherWritersBytes();
  }
  bool close(std::string& error) override {
    if (!open_) return true;
    endTurn();
    open_ = false;
    file_->closed = true;
    if (file_->failClose) {
      error = "The network path was not found";
      return false;
    }
    return true;
  }

 private:
  bool isOpen(std::string& error) const {
    if (!open_) error = "the file is closed";
    return open_;
  }
  // Another writer's bytes land before this call when it is their time,
  // or once the turn ends.
  void call(bool write) {
    const int at = file_->calls++;
    if (file_->otherWriterAdds.empty()) return;
    otherWriterDue_ = otherWriterDue_ || (file_->otherWriterAtCall < 0 ? write : at >= file_->otherWriterAtCall);
    if (otherWriterDue_ && !file_->turnHeld) addOtherWritersBytes();
  }
  void addOtherWritersBytes() {
    file_->data += file_->otherWriterAdds;
    file_->otherWriterAdds.clear();
    otherWriterDue_ = false;
  }
  std::shared_ptr<MemoryFile> file_;
  const MemoryBackend& backend_;
  bool open_ = true;
  bool turn_ = false;
  bool otherWriterDue_ = false;
};

}  // namespace

std::chrono::local_time<std::chrono::milliseconds> MemoryBackend::localAt(int year, unsigned month, unsigned day,
                                                                          unsigned hour, unsigned minute,
                                                                          unsigned second, unsigned millisecond) {
  using namespace std::chrono;
  const local_days date{year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}}};
  return date + hours{hour} + minutes{minute} + std::chrono::seconds{second} + milliseconds{millisecond};
}

WindowHandle MemoryBackend::findWindow(std::string_view title) {
  const std::string key = lower(title);
  for (const auto& [name, handle] : windows)
    if (lower(name) == key) {
      note("find " + std::string(title) + " -> " + std::to_string(handle));
      return handle;
    }
  note("find " + std::string(title) + " -> 0");
  return 0;
}

SendResult MemoryBackend::sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam,
                                      std::int64_t lParam) {
  SentMessage m{window, msg, wParam, lParam};
  if (keepLog) {
    sent.push_back(m);
    log.push_back("send " + std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
  }
  ++sendsInFlight;
  struct Returned {
    int& inFlight;
    ~Returned() { --inFlight; }
  } returned{sendsInFlight};
  if (onSend) onSend(m);
  return sendResult;
}

void MemoryBackend::showCaption(ControlId c, const std::string& text) {
  captions[c] = text;
  if (keepLog) note("caption " + nameOf(c) + " " + text);
}

void MemoryBackend::showFontColor(ControlId c, Color color) {
  colors[c] = color;
  if (keepLog) note("color " + nameOf(c) + " " + std::to_string(color));
}

void MemoryBackend::showChecked(ControlId c, bool value) {
  checked[c] = value;
  if (keepLog) note("checked " + nameOf(c) + " " + (value ? "1" : "0"));
}

void MemoryBackend::showEnabled(ControlId c, bool value) {
  enabled[c] = value;
  if (keepLog) note("enabled " + nameOf(c) + " " + (value ? "1" : "0"));
}

void MemoryBackend::showButtonKind(ControlId c, ButtonKind kind) {
  kinds[c] = kind;
  if (keepLog) note("kind " + nameOf(c) + " " + std::to_string(static_cast<int>(kind)));
}

bool MemoryBackend::startTimer(TimerId id, unsigned intervalMs) {
  if (timersLeft <= 0) {
    note("timer " + std::to_string(id) + " failed");
    return false;
  }
  --timersLeft;
  runningTimers[id] = intervalMs;
  ++timerStarts[id];
  note("timer " + std::to_string(id) + " start " + std::to_string(intervalMs));
  return true;
}

void MemoryBackend::stopTimer(TimerId id) {
  if (runningTimers.erase(id) != 0) {
    ++timersLeft;
    note("timer " + std::to_string(id) + " stop");
  }
}

void MemoryBackend::keepTimerPace(unsigned periodMs) {
  if (periodMs == pacedPeriodMs) return;
  pacedPeriodMs = periodMs;
  note("pace " + std::to_string(periodMs));
}

bool MemoryBackend::runSaveDialog(std::string& fileName, const SaveDialogOptions& options) {
  ++saveDialogRuns;
  lastDialogFolder = options.initialFolder;
  note("savedialog " + fileName);
  if (onModal) onModal();
  return saveDialog ? saveDialog(fileName, options) : false;
}

bool MemoryBackend::askYesNo(std::string_view text, std::string_view caption) {
  questions.emplace_back(text);
  note("ask " + std::string(caption) + ": " + std::string(text));
  if (onModal) onModal();
  return yesNoAnswer;
}

void MemoryBackend::showError(std::string_view text) {
  errors.emplace_back(text);
  note("error " + std::string(text));
}

void MemoryBackend::showNotificationTip(std::string_view text) {
  notificationTips.emplace_back(text);
  note("tip " + std::string(text));
}

void MemoryBackend::notify(NoticeKind kind, std::string_view title, std::string_view text) {
  notices.push_back(ShownNotice{kind, std::string(title), std::string(text)});
  note("notify " + std::string(title) + ": " + std::string(text));
}

std::unique_ptr<RawFile> MemoryBackend::openFile(const std::string& path, FileOpening how, std::string& error) {
  note((how == FileOpening::Empty ? "create " : "append ") + path);
  for (auto* errors : {&nextOpenErrors, &openErrors})
    if (auto it = errors->find(path); it != errors->end()) {
      error = it->second;
      if (errors == &nextOpenErrors) errors->erase(it);
      return nullptr;
    }
  std::shared_ptr<MemoryFile>& file = disk[path];
  if (!file) {
    file = std::make_shared<MemoryFile>();
    file->path = path;
    file->failAfterBytes = failFilesAfterBytes;
    file->hidesPartialWrites = filesHidePartialWrites;
  }
  if (how == FileOpening::Empty) file->data.clear();
  file->closed = false;
  files.push_back(file);
  return std::make_unique<MemoryRawFile>(file, *this);
}

std::string MemoryBackend::loadSetting(std::string_view name) {
  auto it = settings.find(std::string(name));
  return it == settings.end() ? std::string() : it->second;
}

void MemoryBackend::saveSetting(std::string_view name, std::string_view value) {
  settings[std::string(name)] = std::string(value);
  note("setting " + std::string(name) + " " + std::string(value));
}

}  // namespace orv
