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
  ~MemoryRawFile() override {
    if (open_) --file_->openHandles;
  }
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
  bool othersAddToIt() override { return open_ && file_->openHandles > 1; }
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
    --file_->openHandles;
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
  note((how == FileOpening::Empty ? "create " : how == FileOpening::AddTo ? "append " : "open ") + path);
  for (auto* errors : {&nextOpenErrors, &openErrors})
    if (auto it = errors->find(path); it != errors->end()) {
      error = it->second;
      if (errors == &nextOpenErrors) errors->erase(it);
      return nullptr;
    }
  if (how == FileOpening::Existing && !disk.count(path)) {
    error = "The system cannot find the file specified.";
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
  ++file->openHandles;
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

bool MemoryArchiver::spend(std::string& error) {
  if (operationsLeft == 0) {
    error = "stopped";
    return false;
  }
  if (operationsLeft > 0) --operationsLeft;
  return true;
}

void MemoryArchiver::runPosted() {
  while (!posted.empty()) {
    Work work = std::move(posted.front());
    posted.erase(posted.begin());
    for (ArchiveNote& note : work(*this)) notes_.push_back(std::move(note));
  }
}

bool MemoryArchiver::list(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
  entries.clear();
  if (!spend(error)) return false;
  const std::string prefix = folder + "\\";
  for (auto it = backend_->disk.lower_bound(prefix); it != backend_->disk.end() && it->first.starts_with(prefix); ++it) {
    const std::string rest = it->first.substr(prefix.size());
    const std::size_t slash = rest.find('\\');
    FolderEntry entry{rest.substr(0, slash), slash != std::string::npos};
    if (entries.empty() || entries.back() != entry) entries.push_back(entry);
  }
  return true;
}

bool MemoryArchiver::exists(const std::string& path) {
  std::string ignored;
  return spend(ignored) && backend_->disk.contains(path);
}

bool MemoryArchiver::size(const std::string& path, std::uint64_t& bytes, std::string& error) {
  if (!spend(error)) return false;
  const auto file = backend_->fileAt(path);
  if (!file) error = "The system cannot find the file specified";
  if (file) bytes = file->data.size();
  return file != nullptr;
}

gzip::ReadFn MemoryArchiver::openRead(const std::string& path, std::string& error) {
  if (!spend(error)) return nullptr;
  const auto file = backend_->fileAt(path);
  if (!file) {
    error = "The system cannot find the file specified";
    return nullptr;
  }
  std::size_t at = 0;
  return [this, file, at](char* out, std::size_t size, std::string& e) mutable -> std::ptrdiff_t {
    if (!spend(e)) return -1;
    const std::size_t n = std::min(size, file->data.size() - std::min(at, file->data.size()));
    file->data.copy(out, n, at);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

class MemoryNewFile : public gzip::NewFile {
 public:
  MemoryNewFile(MemoryArchiver& archiver, std::shared_ptr<MemoryFile> file)
      : archiver_(archiver), file_(std::move(file)) {}
  bool write(const char* data, std::size_t size, std::string& error) override {
    if (!archiver_.spend(error)) {
      file_->data.append(data, size / 2);  // stopped part way
      return false;
    }
    const std::size_t room =
        file_->failAfterBytes > file_->data.size() ? file_->failAfterBytes - file_->data.size() : 0;
    file_->data.append(data, std::min(room, size));
    if (room < size) error = "There is not enough space on the disk";
    return room >= size;
  }
  bool flushAndClose(std::string& error) override {
    file_->closed = true;
    return archiver_.spend(error);
  }

 private:
  MemoryArchiver& archiver_;
  std::shared_ptr<MemoryFile> file_;
};

std::unique_ptr<gzip::NewFile> MemoryArchiver::create(const std::string& path, std::string& error) {
  if (!spend(error)) return nullptr;
  auto file = std::make_shared<MemoryFile>();
  file->path = path;
  file->failAfterBytes = backend_->failFilesAfterBytes;
  backend_->disk[path] = file;
  return std::make_unique<MemoryNewFile>(*this, file);
}

bool MemoryArchiver::replace(const std::string& from, const std::string& to, std::string& error) {
  if (!spend(error)) return false;
  auto it = backend_->disk.find(from);
  if (it == backend_->disk.end()) {
    error = "The system cannot find the file specified";
    return false;
  }
  auto file = it->second;
  backend_->disk.erase(it);
  file->path = to;
  backend_->disk[to] = file;
  return true;
}

bool MemoryArchiver::remove(const std::string& path, std::string& error) {
  if (!spend(error)) return false;
  if (backend_->disk.erase(path) == 0) {
    error = "The system cannot find the file specified";
    return false;
  }
  return true;
}

std::unique_ptr<gzip::HeldFile> MemoryArchiver::holdToRemove(const std::string& path, std::string& error) {
  struct Held : gzip::HeldFile {
    Held(MemoryArchiver& archiver, std::string path) : archiver(archiver), path(std::move(path)) {}
    bool remove(std::string& e) override { return archiver.remove(path, e); }
    MemoryArchiver& archiver;
    std::string path;
  };
  if (!spend(error)) return nullptr;
  const auto file = backend_->fileAt(path);
  if (!file) error = "The system cannot find the file specified";
  if (file && file->openHandles > 0)
    error = "The process cannot access the file because it is being used by another process";
  if (!file || file->openHandles > 0) return nullptr;
  return std::make_unique<Held>(*this, path);
}

}  // namespace orv
