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

class MemoryOutputFile : public OutputFile {
 public:
  explicit MemoryOutputFile(std::shared_ptr<MemoryFile> file) : file_(std::move(file)) {}
  bool write(const char* data, std::size_t size, std::string& error) override {
    ++file_->writes;
    if (!open_) {
      error = "the file is closed";
      return false;
    }
    if (file_->data.size() + size > file_->failAfterBytes) {
      error = "There is not enough space on the disk";
      return false;
    }
    file_->data.append(data, size);
    return true;
  }
  bool close(std::string& error) override {
    open_ = false;
    file_->closed = true;
    if (file_->failClose) {
      error = "The network path was not found";
      return false;
    }
    return true;
  }

 private:
  std::shared_ptr<MemoryFile> file_;
  bool open_ = true;
};

}  // namespace

WindowHandle MemoryBackend::findWindow(std::string_view title) {
  const std::string key = lower(title);
  for (const auto& [name, handle] : windows)
    if (lower(name) == key) {
      log.push_back("find " + std::string(title) + " -> " + std::to_string(handle));
      return handle;
    }
  log.push_back("find " + std::string(title) + " -> 0");
  return 0;
}

SendResult MemoryBackend::sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam,
                                      std::int64_t lParam) {
  SentMessage m{window, msg, wParam, lParam};
  sent.push_back(m);
  log.push_back("send " + std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
  ++sendsInFlight;
  struct Returned {
    int& inFlight;
    ~Returned() { --inFlight; }
  } returned{sendsInFlight};
  if (onSend) onSend(m);
  return sendResult;
}

void MemoryBackend::showCaption(Control c, const std::string& text) {
  captions[c] = text;
  log.push_back(std::string("caption ") + controlName(c) + " " + text);
}

void MemoryBackend::showFontColor(Control c, Color color) {
  colors[c] = color;
  log.push_back(std::string("color ") + controlName(c) + " " + std::to_string(color));
}

void MemoryBackend::showChecked(Control c, bool value) {
  checked[c] = value;
  log.push_back(std::string("checked ") + controlName(c) + " " + (value ? "1" : "0"));
}

void MemoryBackend::showEnabled(Control c, bool value) {
  enabled[c] = value;
  log.push_back(std::string("enabled ") + controlName(c) + " " + (value ? "1" : "0"));
}

void MemoryBackend::showButtonKind(Control c, ButtonKind kind) {
  kinds[c] = kind;
  log.push_back(std::string("kind ") + controlName(c) + " " + std::to_string(static_cast<int>(kind)));
}

bool MemoryBackend::startTimer(TimerId id, unsigned intervalMs) {
  if (timersLeft <= 0) {
    log.push_back("timer " + std::to_string(static_cast<int>(id)) + " failed");
    return false;
  }
  --timersLeft;
  runningTimers[id] = intervalMs;
  ++timerStarts[id];
  log.push_back("timer " + std::to_string(static_cast<int>(id)) + " start " + std::to_string(intervalMs));
  return true;
}

void MemoryBackend::stopTimer(TimerId id) {
  if (runningTimers.erase(id) != 0) {
    ++timersLeft;
    log.push_back("timer " + std::to_string(static_cast<int>(id)) + " stop");
  }
}

void MemoryBackend::keepTimerPace(unsigned periodMs) {
  if (periodMs == pacedPeriodMs) return;
  pacedPeriodMs = periodMs;
  log.push_back("pace " + std::to_string(periodMs));
}

bool MemoryBackend::runSaveDialog(std::string& fileName, const SaveDialogOptions& options) {
  ++saveDialogRuns;
  lastDialogFolder = options.initialFolder;
  log.push_back("savedialog " + fileName);
  if (onModal) onModal();
  return saveDialog ? saveDialog(fileName, options) : false;
}

bool MemoryBackend::askYesNo(std::string_view text, std::string_view caption) {
  questions.emplace_back(text);
  log.push_back("ask " + std::string(caption) + ": " + std::string(text));
  if (onModal) onModal();
  return yesNoAnswer;
}

void MemoryBackend::showError(std::string_view text) {
  errors.emplace_back(text);
  log.push_back("error " + std::string(text));
}

std::unique_ptr<OutputFile> MemoryBackend::createFile(const std::string& path, std::string& error) {
  log.push_back("create " + path);
  if (auto it = createErrors.find(path); it != createErrors.end()) {
    error = it->second;
    return nullptr;
  }
  auto file = std::make_shared<MemoryFile>();
  file->path = path;
  file->failAfterBytes = failFilesAfterBytes;
  files.push_back(file);
  disk[path] = file;
  return std::make_unique<MemoryOutputFile>(file);
}

std::unique_ptr<OutputFile> MemoryBackend::openForAppend(const std::string& path, AppendStart& start,
                                                         std::string& error) {
  log.push_back("append " + path);
  if (auto it = createErrors.find(path); it != createErrors.end()) {
    error = it->second;
    return nullptr;
  }
  std::shared_ptr<MemoryFile>& file = disk[path];
  if (!file) {
    file = std::make_shared<MemoryFile>();
    file->path = path;
    file->failAfterBytes = failFilesAfterBytes;
  }
  file->closed = false;
  files.push_back(file);
  start.size = file->data.size();
  start.lastByte = file->data.empty() ? '\0' : file->data.back();
  return std::make_unique<MemoryOutputFile>(file);
}

std::string MemoryBackend::loadSetting(std::string_view name) {
  auto it = settings.find(std::string(name));
  return it == settings.end() ? std::string() : it->second;
}

void MemoryBackend::saveSetting(std::string_view name, std::string_view value) {
  settings[std::string(name)] = std::string(value);
  log.push_back("setting " + std::string(name) + " " + std::string(value));
}

}  // namespace orv
