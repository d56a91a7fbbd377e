// The per-tick work (display, recording, forward) and the recording button.
#include "core/form.h"
#include "core/protocol.h"
#include "core/record_stream.h"
#include "core/tick_text.h"

namespace orv {

namespace {

// The two working buffers of the per-tick work. One UI thread; a tick handled
// inside the forward of another finds the outer tick's texts already used.
TextBuffer displayText;
TextBuffer rowText;

}  // namespace

void TForm1::ProcessTick(std::uint32_t wParam, std::uint32_t lParam) {
  const LocalTime now = backend.localTime();  // one reading for display and row
  buildDisplayLine(displayText, now, Symbol, Digits, lParam, wParam);
  TickLabel.setCaption(displayText.view());
  LastTickTime = backend.calendarSeconds();

  std::string failure;
  if (RecordFile) {
    buildCsvRow(rowText, SymbolPair, now, Digits, lParam, wParam);
    if (!RecordFile->appendRow(rowText.view(), backend.monotonicMs(), failure)) recordingFailed(failure);
  }

  if (TesterWnd != 0) backend.sendMessage(TesterWnd, WM_TICK, forwardWParam(wParam), forwardLParam(lParam));

  // Told only after the forward, so the tester gets this tick before any
  // that arrive while the error is on screen.
  if (!failure.empty()) backend.showError(errorDisplayText(failure));
}

void TForm1::BitBtn1Click() {
  if (RecordFile)
    stopRecording();
  else
    startRecording();
}

void TForm1::startRecording() {
  SaveDialog1.fileName = proposedFileName(Symbol, backend.localTime());
  if (!SaveDialog1.execute()) return;
  std::string reason;
  auto file = backend.createFile(SaveDialog1.fileName, reason);
  if (!file) throw Error("Cannot record to " + SaveDialog1.fileName + ": " + reason);
  BitBtn1.setKind(ButtonKind::bkCancel);
  BitBtn1.setCaption("STOP RECORDING");
  RecordFile = std::make_unique<RecordStream>(std::move(file), SaveDialog1.fileName);
  FlushTimer.setEnabled(true);
}

void TForm1::stopRecording() {
  std::unique_ptr<RecordStream> stream = endRecording();
  std::string reason;
  if (!stream->close(reason)) throw Error("Recording to " + stream->path() + " failed: " + reason);
}

// A write failed: the recording ends here, so it never looks alive while
// nothing reaches the disk. The message is returned to the caller to show.
void TForm1::recordingFailed(std::string& reason) {
  std::unique_ptr<RecordStream> stream = endRecording();
  std::string ignored;
  stream->close(ignored);
  reason = "Recording to " + stream->path() + " stopped: " + reason;
}

// Back to the start look with no stream; the caller closes the stream it gets.
std::unique_ptr<RecordStream> TForm1::endRecording() {
  BitBtn1.setKind(ButtonKind::bkOK);
  BitBtn1.setCaption("START RECORDING");
  FlushTimer.setEnabled(false);
  return std::move(RecordFile);
}

void TForm1::FlushTimerTimer() {
  if (!RecordFile) return;
  std::string reason;
  if (!RecordFile->flush(reason)) {
    recordingFailed(reason);
    throw Error(reason);
  }
}

void TForm1::EndSession() {
  if (!RecordFile) return;
  std::string ignored;
  RecordFile->flush(ignored);
}

}  // namespace orv
