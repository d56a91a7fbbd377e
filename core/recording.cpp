// The per-tick work (display, recording, forward), the recording button, and
// unattended recording to the files a pattern names.
#include "core/file_pattern.h"
#include "core/protocol.h"
#include "core/record_stream.h"
#include "core/recorder.h"
#include "core/tick_text.h"

namespace orv {

LocalTime Recorder::clock() { return utc_ ? backend_.utcTime() : backend_.localTime(); }

void Recorder::onTick(std::uint32_t ask, std::uint32_t bid) {
  const LocalTime now = clock();  // one reading for display and row
  buildDisplayLine(displayText_, now, symbol_, digits_, bid, ask);
  tickLine_.setCaption(displayText_.view());
  lastTickTime_ = backend_.calendarSeconds();

  std::string failure;
  recordRow(now, ask, bid, failure);

  if (tester_ != 0) sendToTester(WM_TICK, forwardWParam(ask), forwardLParam(bid));

  // Told only after the forward, so the tester gets this tick before any
  // that arrive while the error is on screen.
  if (!failure.empty()) backend_.showError(errorDisplayText(failure));
}

// The tick's row, into the file the recording has, or the one the pattern
// names; counted as not recorded while an unattended recording waits to try
// its file again.
void Recorder::recordRow(const LocalTime& now, std::uint32_t ask, std::uint32_t bid, std::string& failure) {
  if (pattern_) {
    if (!failedPath_.empty()) {
      ++ticksNotRecorded_;
      return;
    }
    // The first tick of a new day starts the day's file; a clock that goes
    // back (daylight saving's end) never goes back to the day before.
    if (recording_ && daily_ && dayNumber(now) > fileDay_) {
      std::string ignored;
      endRecording()->close(ignored);
    }
    if (!recording_ && !openPatternFile(now, failure)) {
      ++ticksNotRecorded_;
      return;
    }
  }
  if (!recording_) return;
  buildCsvRow(rowText_, pairText_, now, digits_, bid, ask);
  if (recording_->appendRow(rowText_.view(), failure)) return;
  const std::string path = recording_->path();
  recordingFailed(failure);
  if (pattern_) {
    ++ticksNotRecorded_;  // this one
    patternFileFailed(path, failure);
  }
}

// Unattended, an announcement starts its symbol's file, and ends the file of
// another symbol.
void Recorder::followAnnouncedSymbol() {
  if (!pattern_ || !failedPath_.empty()) return;
  if (recording_) {
    if (fileSymbol_ == symbol_) return;
    std::string ignored;
    endRecording()->close(ignored);
  }
  std::string failure;
  if (!openPatternFile(clock(), failure)) backend_.showError(errorDisplayText(failure));
}

// Opens the pattern's file for the current symbol and this time, to add to
// it. False, with the message to show, when it cannot be opened; the
// recording then waits to try again.
bool Recorder::openPatternFile(const LocalTime& now, std::string& failure) {
  const std::string path = expandFilePattern(*pattern_, symbol_, now);
  std::string reason;
  AppendStart start;
  std::unique_ptr<OutputFile> file = backend_.openForAppend(path, start, reason);
  // A row cut off at the end (the program was killed while writing) gets its
  // line end, so the next row starts on a line of its own.
  if (file && start.size > 0 && start.lastByte != '\n' && !file->write("\r\n", 2, reason)) file.reset();
  if (!file) {
    failure = "Cannot record to " + path + ": " + reason;
    patternFileFailed(path, failure);
    return false;
  }
  if (!failedPath_.empty())
    writeLog(folderOf(path), "Recording to " + path + " again; " + std::to_string(ticksNotRecorded_) +
                                 " ticks could not be recorded meanwhile");
  failedPath_.clear();
  ticksNotRecorded_ = 0;
  reopenTimer_.setEnabled(false);
  recording_ = std::make_unique<RecordStream>(std::move(file), path);
  fileSymbol_ = symbol_;
  fileDay_ = dayNumber(now);
  recordButton_.setKind(ButtonKind::Cancel);
  recordButton_.setCaption("STOP RECORDING");
  return true;
}

// The disk failed an unattended recording: logged beside the recordings, and
// tried again once a minute.
void Recorder::patternFileFailed(const std::string& path, const std::string& message) {
  writeLog(folderOf(path), message);
  failedPath_ = path;
  reopenTimer_.setEnabled(true);
}

void Recorder::onReopen() {
  if (!pattern_ || failedPath_.empty()) return;
  writeLog(folderOf(failedPath_), "Trying again to record to " + failedPath_);
  std::string failure;
  openPatternFile(clock(), failure);  // a failure is logged; the next try in a minute
}

// One line, stamped with the recorder's clock, at the end of the log in the
// given folder. A log that cannot be written is left out: the error display
// has told the same.
void Recorder::writeLog(const std::string& folder, const std::string& text) {
  const LocalTime t = clock();
  TextBuffer line;
  appendDate(line, t, "-");
  line.append(' ');
  appendTimeOfDay(line, t);
  line.append(' ');
  line.append(text);
  line.append("\r\n");
  const std::string path = folder.empty() ? std::string(kLogName) : folder + "\\" + kLogName;
  AppendStart start;
  std::string ignored;
  if (std::unique_ptr<OutputFile> log = backend_.openForAppend(path, start, ignored)) {
    log->write(line.view().data(), line.view().size(), ignored);
    log->close(ignored);
  }
}

void Recorder::onRecordClicked() {
  // The user takes the recording over: unattended recording ends here.
  pattern_.reset();
  failedPath_.clear();
  reopenTimer_.setEnabled(false);
  if (recording_)
    stopRecording();
  else
    startRecording();
}

void Recorder::startRecording() {
  saveDialog_.fileName = proposedFileName(symbol_, clock());
  saveDialog_.initialFolder = backend_.loadSetting(kLastFolderSetting);
  if (!saveDialog_.execute()) return;
  backend_.saveSetting(kLastFolderSetting, folderOf(saveDialog_.fileName));
  std::string reason;
  auto file = backend_.createFile(saveDialog_.fileName, reason);
  if (!file) throw Error("Cannot record to " + saveDialog_.fileName + ": " + reason);
  // The open file is all a recording needs (no timer: each row is written
  // as its tick comes); the button shows the recording once the stream
  // holds the file.
  recording_ = std::make_unique<RecordStream>(std::move(file), saveDialog_.fileName);
  recordButton_.setKind(ButtonKind::Cancel);
  recordButton_.setCaption("STOP RECORDING");
}

void Recorder::stopRecording() {
  std::unique_ptr<RecordStream> stream = endRecording();
  std::string reason;
  if (!stream->close(reason)) throw Error("Recording to " + stream->path() + " failed: " + reason);
}

// A write failed: the recording ends here, so it never looks alive while
// nothing reaches the disk. The message is returned to the caller to show.
void Recorder::recordingFailed(std::string& reason) {
  std::unique_ptr<RecordStream> stream = endRecording();
  std::string ignored;
  stream->close(ignored);
  reason = "Recording to " + stream->path() + " stopped: " + reason;
}

// Back to the start look with no stream; the caller closes the stream it gets.
std::unique_ptr<RecordStream> Recorder::endRecording() {
  recordButton_.setKind(ButtonKind::Ok);
  recordButton_.setCaption("START RECORDING");
  return std::move(recording_);
}

}  // namespace orv
