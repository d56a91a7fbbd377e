// The per-tick work (display, recording, forward) and the recording button.
#include "core/recorder.h"
#include "core/protocol.h"
#include "core/record_stream.h"
#include "core/tick_text.h"

namespace orv {

void Recorder::onTick(std::uint32_t ask, std::uint32_t bid) {
  const LocalTime now = backend_.localTime();  // one reading for display and row
  buildDisplayLine(displayText_, now, symbol_, digits_, bid, ask);
  tickLine_.setCaption(displayText_.view());
  lastTickTime_ = backend_.calendarSeconds();

  std::string failure;
  if (recording_) {
    buildCsvRow(rowText_, pairText_, now, digits_, bid, ask);
    if (!recording_->appendRow(rowText_.view(), failure)) recordingFailed(failure);
  }

  if (tester_ != 0) sendToTester(WM_TICK, forwardWParam(ask), forwardLParam(bid));

  // Told only after the forward, so the tester gets this tick before any
  // that arrive while the error is on screen.
  if (!failure.empty()) backend_.showError(errorDisplayText(failure));
}

void Recorder::onRecordClicked() {
  if (recording_)
    stopRecording();
  else
    startRecording();
}

void Recorder::startRecording() {
  saveDialog_.fileName = proposedFileName(symbol_, backend_.localTime());
  if (!saveDialog_.execute()) return;
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
