#include "core/feed_hub.h"

#include <utility>

#include "core/file_pattern.h"
#include "core/protocol.h"

namespace orv {

FeedHub::FeedHub(Backend& backend, const StartOptions& options)
    : backend_(backend),
      utc_(options.utc),
      autoLive_(options.live),
      unattendedRun_(options.recordPattern.has_value()),
      closeButton_(backend, controlId(Control::CloseButton), ButtonKind::Close, ""),
      tickLine_(backend, controlId(Control::TickLine), "Time, Symbol, BID, ASK", kWindowTextColor),
      recordButton_(backend, controlId(Control::RecordButton), ButtonKind::Ok, "START RECORDING"),
      saveDialog_(backend, "csv", "CSV files|*.csv"),
      pulseTimer_(backend, timerId(TimerRole::Pulse), false, timerEntry(TimerRole::Pulse).firstIntervalMs),
      liveBox_(backend, controlId(Control::LiveBox), false),
      testDataBox_(backend, controlId(Control::TestDataBox), true),
      silenceLine_(backend, controlId(Control::SilenceLine), "No Ticks", kRed),
      statusTimer_(backend, timerId(TimerRole::Status), false, timerEntry(TimerRole::Status).firstIntervalMs),
      link_(backend, [this] { return symbol_.digits(); }) {
  recordButton_.onClick = [this] { onRecordClicked(); };
  closeButton_.onClose = [this] { close(); };
  liveBox_.onClick = [this] { onLiveClicked(); };
  testDataBox_.onClick = [this] { onTestDataClicked(); };
  pulseTimer_.onTimer = [this] { onPulse(); };
  link_.onLost = [this](std::uint64_t notPassedOn) { onTesterLost(notPassedOn); };
  link_.onFound = [this] { notify(testerFoundNotice()); };
  // Each second, ticks or not: the unattended recording's closed days are seen to.
  statusTimer_.onTimer = [this] {
    if (unattended_) unattended_->tend(clock());
    showStatus();
  };
  if (options.recordPattern) {
    // Armed from the start: the button offers to stop it before the first tick.
    unattended_ = std::make_unique<UnattendedRecording>(backend, *options.recordPattern, options.daily,
                                                        options.compress);
    showRecordingState();
  }
}

// A recording the user started is deliberately not stopped here: closing the
// window does not end it; the file's own destructor closes it. An unattended
// recording logs its end.
FeedHub::~FeedHub() {
  if (unattended_) unattended_->end(clock());
}

bool FeedHub::isRecording() const noexcept { return recording_ != nullptr || unattended_ != nullptr; }

WallTime FeedHub::clock() { return utc_ ? wallTimeOf(backend_.utcNow()) : wallTimeOf(backend_.localNow()); }

bool FeedHub::handleFeedMessage(Message& m) {
  const std::uint32_t wParam = low32(m.wParam);
  const std::uint32_t lParam = low32(static_cast<std::uint64_t>(m.lParam));
  switch (m.msg) {
    case WM_TICK:
      m.result = 1;
      if (!liveBox_.enabled()) {
        liveBox_.setEnabled(true);
        if (autoLive_) {
          // The first tick goes first: shown and recorded before the connect
          // (inside which further ticks can be handled), and forwarded first
          // once it is complete.
          onTick(wParam, lParam, false);
          firstTick_ = TesterLink::Tick(wParam, lParam);
          liveBox_.setChecked(true);  // connects, or starts looking for the tester
          firstTick_.reset();
          return true;
        }
      }
      onTick(wParam, lParam);
      return true;
    case WM_SYMBOL_HEAD:
      m.result = 1;
      symbol_.takeHead(wParam, lParam);
      return true;
    case WM_SYMBOL_TAIL:
      // Answered before the work: an error later in it (no timer left)
      // still leaves the sender its 1.
      m.result = 1;
      symbol_.takeTail(wParam, lParam);
      onSymbolTail();
      return true;
    case WM_FEED_CONTROL:
      return true;
    default:
      return false;
  }
}

// A whole announcement: shown, the replay stopped for the run, the pulse
// turned to the watchdog, and an unattended recording moved to its file.
void FeedHub::onSymbolTail() {
  tickLine_.setCaption(symbol_.symbol());
  testDataBox_.setChecked(false);  // stops a replay, with its disconnect
  testDataBox_.setEnabled(false);
  pulseTimer_.setEnabled(true);
  pulseTimer_.setInterval(kWatchdogIntervalMs);
  if (!unattended_) return;
  std::string notice;
  const bool wasRetrying = unattended_->isWaitingToRetry();
  unattended_->follow(clock(), symbol_.symbol(), notice);
  if (const std::optional<Notice> changed = recordingNotice(wasRetrying)) notify(*changed);
  if (!notice.empty()) backend_.showError(errorDisplayText(notice));
}

void FeedHub::onTick(std::uint32_t ask, std::uint32_t bid, bool forward) {
  const WallTime now = clock();  // one reading for display and row
  buildDisplayLine(displayText_, now, symbol_.symbol(), symbol_.digits(), bid, ask);
  tickLine_.setCaption(displayText_.view());
  watchdog_.tickArrived(backend_.calendarSeconds());

  std::string failure;
  std::optional<Notice> recordingChanged;
  if (unattended_ || recording_) {
    buildCsvRow(rowText_, symbol_.pairText(), now, symbol_.digits(), bid, ask);
    if (unattended_) {
      const bool wasRetrying = unattended_->isWaitingToRetry();
      unattended_->record(now, symbol_.symbol(), rowText_.view(), bid, ask, failure);
      recordingChanged = recordingNotice(wasRetrying);
    } else if (!recording_->appendRow(rowText_.view(), failure)) {
      // The recording ends here, so it never looks alive while nothing
      // reaches the disk.
      failure = "Recording to " + recording_->path() + " stopped: " + failure;
      recording_.reset();
      showRecordingState();  // the only change a tick can make to the button
    }
  }

  if (forward) link_.sendTick(ask, bid);

  // Told only after the forward, so the tester gets this tick before any
  // that arrive while the error is on screen.
  if (recordingChanged) notify(*recordingChanged);
  if (!failure.empty()) backend_.showError(errorDisplayText(failure));
}

void FeedHub::click(Control control) {
  switch (control) {
    case Control::RecordButton: recordButton_.click(); break;
    case Control::CloseButton: closeButton_.click(); break;
    case Control::LiveBox: liveBox_.click(); break;
    case Control::TestDataBox: testDataBox_.click(); break;
    case Control::TickLine:
    case Control::SilenceLine:
    case Control::TesterGroup: break;  // nothing to click
  }
}

void FeedHub::timerElapsed(TimerRole timer) {
  switch (timer) {
    case TimerRole::Pulse: pulseTimer_.fire(); break;
    case TimerRole::TesterSearch: link_.searchTimer().fire(); break;
    case TimerRole::Status: statusTimer_.fire(); break;
  }
}

// One pulse: a replay step while "Test Data" is ticked, else a watchdog step.
void FeedHub::onPulse() {
  if (testDataBox_.checked()) {
    if (replay_.step(link_, symbol_.digits())) testDataBox_.setChecked(false);  // the pass has ended
    return;
  }
  if (!watchdog_.hasSeenTicks()) return;
  const FeedWatchdog::Look look = watchdog_.look(backend_.calendarSeconds());
  tickLine_.setFontColor(look.stale ? kRed : kWindowTextColor);
  silenceLine_.setCaption(look.silence);
}

void FeedHub::onLiveClicked() {
  if (liveBox_.checked())
    link_.open(std::exchange(firstTick_, std::nullopt));
  else
    link_.close();
  keepTimerPace();
  // Started with --live, a tester that is not there yet is looked for again
  // every few seconds while the box stays ticked.
  link_.keepLooking(autoLive_ && liveBox_.checked());
}

void FeedHub::onTestDataClicked() {
  if (testDataBox_.checked()) {
    link_.open();
    pulseTimer_.setEnabled(true);
  } else {
    link_.close();
    pulseTimer_.setEnabled(watchdog_.hasSeenTicks());
  }
  keepTimerPace();
}

// The tester's window went away. Started with --live, it is looked for
// again while "Live Data" stays ticked; otherwise both boxes show the
// closed link. Told once, with the ticks it missed.
void FeedHub::onTesterLost(std::uint64_t notPassedOn) {
  const bool lookAgain = autoLive_ && liveBox_.checked();
  std::string text = notPassedOn > 0 ? ticksNotPassedOnText("closed its window", notPassedOn)
                                     : std::string(kTesterTitle) + " closed its window";
  if (lookAgain) {
    link_.keepLooking(true);
    text += "; Orvalda looks for it and passes ticks on again once it is back";
  } else {
    testDataBox_.setChecked(false);
    liveBox_.setChecked(false);
  }
  keepTimerPace();
  notify(testerLostNotice(notPassedOn, lookAgain));
  backend_.showError(errorDisplayText(text));
}

// The system timer runs finer only while a replay really goes out.
void FeedHub::keepTimerPace() {
  const bool replaying = testDataBox_.checked() && link_.isOpen() && pulseTimer_.enabled();
  backend_.keepTimerPace(replaying ? pulseTimer_.interval() : 0);
}

void FeedHub::onRecordClicked() {
  // STOP RECORDING ends an unattended recording, with its retries; the
  // next press is the user's own recording.
  if (unattended_) {
    unattended_->end(clock());
    stoppedLogPath_ = unattended_->logPath();
    unattended_.reset();
    showRecordingState();
    return;
  }
  if (recording_)
    stopRecording();
  else
    startRecording();
}

void FeedHub::startRecording() {
  saveDialog_.fileName = proposedFileName(symbol_.symbol(), clock());
  saveDialog_.initialFolder = backend_.loadSetting(kLastFolderSetting);
  if (!saveDialog_.execute()) return;
  backend_.saveSetting(kLastFolderSetting, folderOf(saveDialog_.fileName));
  std::string reason;
  auto file = RecordingFile::create(backend_, saveDialog_.fileName, reason);
  if (!file) throw Error("Cannot record to " + saveDialog_.fileName + ": " + reason);
  // The open file is all a recording needs (no timer: each row is written
  // as its tick comes).
  recording_ = std::move(file);
  showRecordingState();
}

void FeedHub::stopRecording() {
  std::unique_ptr<RecordingFile> file = std::move(recording_);
  showRecordingState();
  std::string reason;
  if (!file->close(reason)) throw Error("Recording to " + file->path() + " failed: " + reason);
}

void FeedHub::showRecordingState() {
  const bool recording = isRecording();
  recordButton_.setKind(recording ? ButtonKind::Cancel : ButtonKind::Ok);
  recordButton_.setCaption(recording ? "STOP RECORDING" : "START RECORDING");
}

void FeedHub::startStatusUpdates() {
  statusTimer_.setEnabled(true);
  if (unattended_) unattended_->tend(clock());
  showStatus();
}

StatusSnapshot FeedHub::status() const {
  StatusSnapshot s;
  s.recording = isRecording();
  if (unattended_) {
    s.file = unattended_->currentPath();
    s.rows = unattended_->rowsInFile();
    if (unattended_->isWaitingToRetry()) s.failure = unattended_->failureReason();
  } else if (recording_) {
    s.file = recording_->path();
    s.rows = recording_->rowsWritten();
  }
  s.ticksSeen = watchdog_.hasSeenTicks();
  s.secondsSinceTick = s.ticksSeen ? backend_.calendarSeconds() - watchdog_.lastTickTime() : 0;
  s.tester = link_.isOpen() ? TesterUse::Linked : link_.isLooking() ? TesterUse::Looking : TesterUse::NotInUse;
  return s;
}

// The same text is not shown again: the notification area lives in another
// process, and each change is a message to it.
void FeedHub::showStatus() {
  std::string text = statusTip(status());
  if (text == shownStatus_) return;
  shownStatus_ = std::move(text);
  backend_.showStatus(shownStatus_);
}

void FeedHub::notify(const Notice& notice) { backend_.notify(notice.kind, notice.title, notice.text); }

std::optional<Notice> FeedHub::recordingNotice(bool wasRetrying) const {
  if (!unattended_ || unattended_->isWaitingToRetry() == wasRetrying) return std::nullopt;
  if (wasRetrying) return recordingRecoveredNotice(unattended_->currentPath(), unattended_->ticksLostInLastGap());
  return recordingFailedNotice(unattended_->currentPath(), unattended_->failureReason());
}

// The recordings folder: the current file's; before the first, the folder
// the pattern names before its first field; without a recording, where the
// last one went.
std::vector<TrayMenuItem> FeedHub::trayMenu(bool checkerInstalled, bool exporterInstalled) const {
  TrayMenuFacts facts;
  facts.checkerInstalled = checkerInstalled;
  facts.exporterInstalled = exporterInstalled;
  if (unattended_) {
    facts.recording = unattended_->currentPath();
    facts.log = unattended_->logPath();
  } else if (recording_) {
    facts.recording = recording_->path();
  }
  if (facts.log.empty()) facts.log = stoppedLogPath_;
  if (!facts.recording.empty())
    facts.recordingsFolder = folderOf(facts.recording);
  else if (const std::string* pattern = unattended_ ? &unattended_->pattern() : nullptr)
    facts.recordingsFolder = folderOf(std::string_view(*pattern).substr(0, pattern->find('{')));
  else
    facts.recordingsFolder = backend_.loadSetting(kLastFolderSetting);
  return orv::trayMenu(facts);
}

void FeedHub::close() {
  if (confirmClose()) backend_.requestQuit();
}

bool FeedHub::mayEndSession() {
  liveBeforeSessionQuestion_ = liveBox_.checked();
  if (unattendedRun_) return true;
  bool mayEnd = false;
  runGuarded(backend_, [this, &mayEnd] { mayEnd = confirmClose(); });
  return mayEnd;
}

// One question at a time: a close request that comes while the question is
// open (taskkill asks every top-level window; Close pressed again) is left
// to the open one, and changes nothing.
bool FeedHub::confirmClose() {
  if (askingToClose_) return false;
  testDataBox_.setChecked(false);
  liveBox_.setChecked(false);
  askingToClose_ = true;
  struct Asked {
    bool& flag;
    ~Asked() { flag = false; }
  } asked{askingToClose_};
  const bool yes = backend_.askYesNo("Are you sure?", "Exit");
  if (!yes) closeDeclined();
  return yes;
}

// Started with --live, the program goes on forwarding after a No: "Live
// Data" is ticked again, which opens the link afresh (or looks for the tester).
void FeedHub::closeDeclined() {
  if (autoLive_ && liveBox_.enabled()) liveBox_.setChecked(true);
}

void FeedHub::sessionEndCancelled() {
  if (liveBeforeSessionQuestion_ && liveBox_.enabled()) liveBox_.setChecked(true);
}

void FeedHub::sessionEnds() {
  if (unattended_) {
    unattended_->end(clock());
    stoppedLogPath_ = unattended_->logPath();
    unattended_.reset();
  }
  if (recording_) {
    std::unique_ptr<RecordingFile> file = std::move(recording_);
    std::string reason;
    file->close(reason);  // nobody is left to be told
  }
  showRecordingState();
  backend_.requestQuit();
}

}  // namespace orv
