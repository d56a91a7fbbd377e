#include "core/unattended_recording.h"

#include "core/activity_log.h"
#include "core/file_pattern.h"
#include "core/window_model.h"

namespace orv {

std::string quotedBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b >= 0x7f) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

UnattendedRecording::UnattendedRecording(Backend& backend, std::string pattern, bool daily)
    : backend_(backend),
      pattern_(std::move(pattern)),
      daily_(daily),
      retryTimer_(backend, timerId(TimerRole::Retry), false, timerEntry(TimerRole::Retry).firstIntervalMs) {}

UnattendedRecording::~UnattendedRecording() { retryTimer_.setEnabled(false); }

void UnattendedRecording::record(const WallTime& now, const std::string& symbol, std::string_view row,
                                 std::string& failure) {
  if (isWaitingToRetry()) {
    ++ticksNotRecorded_;
    return;
  }
  // The first tick of a new day starts the day's file; a clock that goes
  // back (daylight saving's end) never goes back to the day before.
  if (file_ && daily_ && dayNumber(now) > fileDay_) closeFile();
  if (!file_ && !openFile(now, symbol, failure)) {
    ++ticksNotRecorded_;
    return;
  }
  if (file_->appendRow(row, failure)) return;
  const std::string path = file_->path();
  closeFile();
  failure = "Recording to " + path + " stopped: " + failure;
  ++ticksNotRecorded_;  // this one
  fileFailed(now, path, failure);
}

void UnattendedRecording::follow(const WallTime& now, const std::string& symbol, std::string& failure) {
  if (isWaitingToRetry()) return;
  if (file_) {
    if (fileSymbol_ == symbol) return;
    closeFile();
  }
  openFile(now, symbol, failure);
}

void UnattendedRecording::retry(const WallTime& now, const std::string& symbol) {
  if (!isWaitingToRetry()) return;
  log(now, failedPath_, "Trying again to record to " + failedPath_);
  std::string failure;
  openFile(now, symbol, failure);  // a failure is logged; the next try in a minute
}

// Opens the pattern's file for the symbol and this time, to add to it.
// False, with the message to show, when it cannot be opened; the recording
// then waits to try again.
bool UnattendedRecording::openFile(const WallTime& now, const std::string& symbol, std::string& failure) {
  const std::string path = expandFilePattern(pattern_, symbol, now);
  std::string reason, cutTail;
  std::unique_ptr<RecordingFile> file = RecordingFile::addTo(backend_, path, cutTail, reason);
  if (!file) {
    failure = "Cannot record to " + path + ": " + reason;
    fileFailed(now, path, failure);
    return false;
  }
  if (!cutTail.empty())
    log(now, path, "Took the unfinished last row off " + path + " before adding to it: " + quotedBytes(cutTail));
  if (isWaitingToRetry())
    log(now, path,
        "Recording to " + path + " again; " + std::to_string(ticksNotRecorded_) +
            " ticks could not be recorded meanwhile");
  failedPath_.clear();
  ticksNotRecorded_ = 0;
  retryTimer_.setEnabled(false);
  file_ = std::move(file);
  fileSymbol_ = symbol;
  fileDay_ = dayNumber(now);
  return true;
}

void UnattendedRecording::fileFailed(const WallTime& now, const std::string& path, const std::string& message) {
  log(now, path, message);
  failedPath_ = path;
  retryTimer_.setEnabled(true);
}

void UnattendedRecording::closeFile() {
  std::string ignored;
  if (file_) file_->close(ignored);
  file_.reset();
}

void UnattendedRecording::log(const WallTime& now, std::string_view folderOfPath, std::string_view text) {
  writeLogLine(backend_, folderOf(folderOfPath), now, text);
}

}  // namespace orv
