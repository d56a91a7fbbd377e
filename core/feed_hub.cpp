#include "core/feed_hub.h"

#include <utility>

#include "core/activity_log.h"
#include "core/file_pattern.h"
#include "core/protocol.h"

namespace orv {

MainWindowModel::MainWindowModel(Backend& backend)
    : closeButton(backend, controlId(Control::CloseButton), ButtonKind::Close, ""),
      tickLine(backend, controlId(Control::TickLine), "Time, Symbol, BID, ASK", kWindowTextColor),
      recordButton(backend, controlId(Control::RecordButton), ButtonKind::Ok, "START RECORDING"),
      saveDialog(backend, "csv", "CSV files|*.csv"),
      liveBox(backend, controlId(Control::LiveBox), false),
      testDataBox(backend, controlId(Control::TestDataBox), true),
      silenceLine(backend, controlId(Control::SilenceLine), "No Ticks", kRed) {}

FeedHub::FeedHub(Backend& backend, const StartOptions& options)
    : backend_(backend),
      mode_{options.utc, options.live, options.recordPattern.has_value()},
      window_(backend),
      pulseTimer_(backend, timerId(TimerRole::Pulse), false, timerEntry(TimerRole::Pulse).firstIntervalMs),
      tip_{Timer(backend, timerId(TimerRole::NotificationTip), false,
                 timerEntry(TimerRole::NotificationTip).firstIntervalMs),
           {}},
      link_(backend, backend, [this] { return symbol_.digits(); }) {
  window_.recordButton.onClick = [this] { onRecordClicked(); };
  window_.closeButton.onClose = [this] { close(); };
  window_.liveBox.onClick = [this] { onLiveClicked(); };
  window_.testDataBox.onClick = [this] { onTestDataClicked(); };
  pulseTimer_.onTimer = [this] { onPulse(); };
  link_.onLost = [this](std::uint64_t notPassedOn) { onTesterLost(notPassedOn); };
  link_.onFound = [this] { notify(testerFoundNotice()); };
  link_.onAnswersAgain = [this](std::uint64_t notTaken) {
    backend_.showError(errorDisplayText(ticksNotPassedOnText("did not answer in time", notTaken)));
  };
  // Each second, ticks or not: the unattended recording's closed days are seen to.
  tip_.timer.onTimer = [this] {
    if (recordings_.unattended) recordings_.unattended->tend(clock());
    showNotificationTip();
  };
  if (options.recordPattern) {
    // Armed from the start: the button offers to stop it before the first tick.
    recordings_.unattended = std::make_unique<UnattendedRecording>(backend, backend.archiver(),
                                                                   *options.recordPattern, options.daily,
                                                                   options.compress);
    tellFilesLeftOpen(backend, *options.recordPattern, clock());
    recordings_.unattended->onFailed = [this](const std::string& path, const std::string& reason) {
      recordings_.untold.push_back({recordingFailedNotice(path, reason),
                                    "Cannot record to " + path + ": " + reason +
                                        "; Orvalda tries again in a second, then less often, and goes on recording "
                                        "as soon as it can"});
    };
    recordings_.unattended->onRecovered = [this](const std::string& path, std::uint64_t ticksLost,
                                                 const std::string& account) {
      recordings_.untold.push_back({recordingRecoveredNotice(path, ticksLost), account});
    };
    showRecordingState();
  }
}

// A recording the user started is deliberately not stopped here: closing the
// window does not end it; the file's own destructor closes it. An unattended
// recording logs its end.
FeedHub::~FeedHub() {
  if (recordings_.unattended) recordings_.unattended->end(clock());
}

bool FeedHub::isRecording() const noexcept { return recordings_.user != nullptr || recordings_.unattended != nullptr; }

WallTime FeedHub::clock() { return mode_.utc ? wallTimeOf(backend_.utcNow()) : wallTimeOf(backend_.localNow()); }

bool FeedHub::handleFeedMessage(Message& m) {
  const std::uint32_t wParam = low32(m.wParam);
  const std::uint32_t lParam = low32(static_cast<std::uint64_t>(m.lParam));
  switch (m.msg) {
    case WM_TICK:
      m.result = 1;
      if (!window_.liveBox.enabled()) {
        window_.liveBox.setEnabled(true);
        if (mode_.autoLive) {
          // The first tick goes first: shown and recorded before the connect
          // (inside which further ticks can be handled), and forwarded first
          // once it is complete.
          onTick(quoteOfTick(wParam, lParam), false);
          firstTick_ = quoteOfTick(wParam, lParam);
          setLive(true);  // connects, or starts looking for the tester
          firstTick_.reset();
          return true;
        }
      }
      onTick(quoteOfTick(wParam, lParam));
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
  window_.tickLine.setCaption(symbol_.symbol());
  setTestData(false);  // stops a replay, with its disconnect
  window_.testDataBox.setEnabled(false);
  pulseTimer_.setEnabled(true);
  pulseTimer_.setInterval(kWatchdogIntervalMs);
  if (!recordings_.unattended) return;
  recordings_.unattended->follow(clock(), symbol_.symbol());
  tell(std::exchange(recordings_.untold, {}));
}

void FeedHub::onTick(const Quote& quote, bool forward) {
  const WallTime now = clock();  // one reading for display and row
  buildDisplayLine(texts_.display, now, symbol_.symbol(), symbol_.digits(), quote.bid, quote.ask);
  window_.tickLine.setCaption(texts_.display.view());
  watchdog_.tickArrived(backend_.calendarSeconds());

  if (recordings_.unattended || recordings_.user) {
    buildCsvRow(texts_.row, symbol_.pairText(), now, symbol_.digits(), quote.bid, quote.ask);
    std::string reason;
    if (recordings_.unattended) {
      // Judged by the instant: the hour repeated at the end of summer time is no time going back.
      const UtcClockValue instant = mode_.utc ? UtcClockValue(sinceEpochOf(now)) : backend_.utcNow();
      recordings_.unattended->record(now, instant, symbol_.symbol(), texts_.row.view(), quote);
    } else if (!recordings_.user->appendRow(texts_.row.view(), reason)) {
      // The recording ends here, so it never looks alive while nothing
      // reaches the disk.
      recordings_.untold.push_back({std::nullopt, "Recording to " + recordings_.user->path() + " stopped: " + reason});
      recordings_.user.reset();
      showRecordingState();  // the only change a tick can make to the button
    }
  }
  // This tick's own: a tick handled inside the forward tells only its own.
  const std::vector<Telling> untold = std::exchange(recordings_.untold, {});

  if (forward) link_.sendTick(quote);

  // Told only after the forward, so the tester gets this tick before any
  // that arrive while the error is on screen.
  tell(untold);
}

void FeedHub::click(Control control) {
  switch (control) {
    case Control::RecordButton: window_.recordButton.click(); break;
    case Control::CloseButton: window_.closeButton.click(); break;
    case Control::LiveBox: window_.liveBox.click(); break;
    case Control::TestDataBox: window_.testDataBox.click(); break;
    case Control::TickLine:
    case Control::SilenceLine:
    case Control::TesterGroup: break;  // nothing to click
  }
}

void FeedHub::timerElapsed(TimerRole timer) {
  switch (timer) {
    case TimerRole::Pulse: pulseTimer_.fire(); break;
    case TimerRole::TesterSearch: link_.searchTimer().fire(); break;
    case TimerRole::NotificationTip: tip_.timer.fire(); break;
  }
}

// One pulse: a replay step while "Test Data" is ticked, else a watchdog step.
void FeedHub::onPulse() {
  if (window_.testDataBox.checked()) {
    if (replay_.step(link_, symbol_.digits())) setTestData(false);  // the pass has ended
    return;
  }
  if (!watchdog_.hasSeenTicks()) return;
  const FeedWatchdog::Look look = watchdog_.look(backend_.calendarSeconds());
  window_.tickLine.setFontColor(look.stale ? kRed : kWindowTextColor);
  window_.silenceLine.setCaption(look.silence);
}

void FeedHub::onLiveClicked() {
  if (window_.liveBox.checked())
    link_.open(std::exchange(firstTick_, std::nullopt));
  else
    link_.close();
  keepTimerPace();
  // Started with --live, a tester that is not there yet is looked for again
  // every few seconds while the box stays ticked.
  link_.keepLooking(mode_.autoLive && window_.liveBox.checked());
}

// The program's own change of a box does what the user's click on it does.
void FeedHub::setLive(bool on) {
  if (window_.liveBox.checked() == on) return;
  window_.liveBox.setChecked(on);
  onLiveClicked();
}

void FeedHub::setTestData(bool on) {
  if (window_.testDataBox.checked() == on) return;
  window_.testDataBox.setChecked(on);
  onTestDataClicked();
}

void FeedHub::onTestDataClicked() {
  if (window_.testDataBox.checked()) {
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
  const bool lookAgain = mode_.autoLive && window_.liveBox.checked();
  std::string text = notPassedOn > 0 ? ticksNotPassedOnText("closed its window", notPassedOn)
                                     : std::string(kTesterTitle) + " closed its window";
  if (lookAgain) {
    link_.keepLooking(true);
    text += "; Orvalda looks for it and passes ticks on again once it is back";
  } else {
    setTestData(false);
    setLive(false);
  }
  keepTimerPace();
  notify(testerLostNotice(notPassedOn, lookAgain));
  backend_.showError(errorDisplayText(text));
}

// The system timer runs finer only while a replay really goes out.
void FeedHub::keepTimerPace() {
  const bool replaying = window_.testDataBox.checked() && link_.isOpen() && pulseTimer_.enabled();
  backend_.keepTimerPace(replaying ? pulseTimer_.interval() : 0);
}

// Logged with its end; its log stays on the notification icon's menu.
void FeedHub::endUnattendedRecording() {
  recordings_.stoppedPath = recordings_.unattended->currentPath();
  recordings_.unattended->end(clock());
  recordings_.stoppedLogPath = recordings_.unattended->logPath();
  recordings_.unattended.reset();
}

void FeedHub::onRecordClicked() {
  // STOP RECORDING ends an unattended recording, with its retries; the
  // next press is the user's own recording.
  if (recordings_.unattended) {
    endUnattendedRecording();
    showRecordingState();
    return;
  }
  if (recordings_.user)
    stopRecording();
  else
    startRecording();
}

void FeedHub::startRecording() {
  window_.saveDialog.fileName = proposedFileName(symbol_.symbol(), clock());
  window_.saveDialog.initialFolder = backend_.loadSetting(kLastFolderSetting);
  if (!window_.saveDialog.execute()) return;
  backend_.saveSetting(kLastFolderSetting, folderOf(window_.saveDialog.fileName));
  std::string reason;
  auto file = RecordingFile::create(backend_, window_.saveDialog.fileName, reason);
  if (!file) {
    backend_.showError(errorDisplayText("Cannot record to " + window_.saveDialog.fileName + ": " + reason));
    return;
  }
  // The open file is all a recording needs (no timer: each row is written
  // as its tick comes).
  recordings_.user = std::move(file);
  showRecordingState();
}

void FeedHub::stopRecording() {
  std::unique_ptr<RecordingFile> file = std::move(recordings_.user);
  recordings_.stoppedPath = file->path();
  showRecordingState();
  std::string reason;
  if (!file->close(reason)) backend_.showError(errorDisplayText("Recording to " + file->path() + " failed: " + reason));
}

void FeedHub::showRecordingState() {
  const bool recording = isRecording();
  window_.recordButton.setKind(recording ? ButtonKind::Cancel : ButtonKind::Ok);
  window_.recordButton.setCaption(recording ? "STOP RECORDING" : "START RECORDING");
}

void FeedHub::startNotificationTips() {
  tip_.timer.setEnabled(true);
  if (recordings_.unattended) recordings_.unattended->tend(clock());
  showNotificationTip();
}

NotificationSnapshot FeedHub::notificationSnapshot() const {
  NotificationSnapshot s;
  s.recording = isRecording();
  if (recordings_.unattended) {
    s.file = recordings_.unattended->currentPath();
    s.rows = recordings_.unattended->rowsInFile();
    if (recordings_.unattended->isWaitingToRetry()) s.failure = recordings_.unattended->failureReason();
  } else if (recordings_.user) {
    s.file = recordings_.user->path();
    s.rows = recordings_.user->rowsWritten();
  }
  s.ticksSeen = watchdog_.hasSeenTicks();
  s.secondsSinceTick = s.ticksSeen ? backend_.calendarSeconds() - watchdog_.lastTickTime() : 0;
  s.tester = link_.isOpen() ? TesterUse::Linked : link_.isLooking() ? TesterUse::Looking : TesterUse::NotInUse;
  return s;
}

// The same text is not shown again: the notification area lives in another
// process, and each change is a message to it.
void FeedHub::showNotificationTip() {
  std::string text = notificationTip(notificationSnapshot());
  if (text == tip_.shown) return;
  tip_.shown = std::move(text);
  backend_.showNotificationTip(tip_.shown);
}

void FeedHub::notify(const Notice& notice) { backend_.notify(notice.kind, notice.title, notice.text); }

void FeedHub::tell(const std::vector<Telling>& tellings) {
  for (const Telling& t : tellings) {
    if (t.notice) notify(*t.notice);
    backend_.showError(errorDisplayText(t.error));
  }
}

// The recording checked and exported: the current one; once stopped, the
// one just made. The recordings folder: the recording's; before the first,
// the folder the pattern names before its first field; without a recording,
// where the last one went.
std::vector<NotificationMenuItem> FeedHub::notificationMenu(bool checkerInstalled, bool exporterInstalled) const {
  NotificationMenuFacts facts;
  facts.checkerInstalled = checkerInstalled;
  facts.exporterInstalled = exporterInstalled;
  if (recordings_.unattended) {
    facts.recording = recordings_.unattended->currentPath();
    facts.log = recordings_.unattended->logPath();
  } else if (recordings_.user) {
    facts.recording = recordings_.user->path();
  }
  if (facts.log.empty()) facts.log = recordings_.stoppedLogPath;
  if (facts.recording.empty()) facts.recording = recordings_.stoppedPath;
  if (!facts.recording.empty())
    facts.recordingsFolder = folderOf(facts.recording);
  else if (const std::string* pattern = recordings_.unattended ? &recordings_.unattended->pattern() : nullptr)
    facts.recordingsFolder = fixedFolderOf(*pattern);
  else
    facts.recordingsFolder = backend_.loadSetting(kLastFolderSetting);
  return orv::notificationMenu(facts);
}

std::vector<std::string> FeedHub::exporterArguments(std::string_view recording, std::string_view machineZone) const {
  return orv::exporterArguments(recording, mode_.utc, machineZone);
}

std::vector<std::string> FeedHub::checkerArguments(std::string_view reportPath, std::string_view recording,
                                                   std::string_view machineZone) const {
  return orv::checkerArguments(reportPath, recording, mode_.utc, machineZone);
}

void FeedHub::close() {
  if (confirmClose()) backend_.requestQuit();
}

bool FeedHub::mayEndSession() {
  closing_.liveBeforeSessionEnd = window_.liveBox.checked();
  if (mode_.unattendedRun) return true;
  bool mayEnd = false;
  runGuarded(backend_, [this, &mayEnd] { mayEnd = confirmClose(); });
  return mayEnd;
}

// One question at a time: a close request that comes while the question is
// open (taskkill asks every top-level window; Close pressed again) is left
// to the open one, and changes nothing.
bool FeedHub::confirmClose() {
  if (closing_.open) return false;
  setTestData(false);
  setLive(false);
  closing_.open = true;
  struct Asked {
    bool& flag;
    ~Asked() { flag = false; }
  } asked{closing_.open};
  const bool yes = backend_.askYesNo("Are you sure?", "Exit");
  if (!yes) closeDeclined();
  return yes;
}

// Started with --live, the program goes on forwarding after a No: "Live
// Data" is ticked again, which opens the link afresh (or looks for the tester).
void FeedHub::closeDeclined() {
  if (mode_.autoLive && window_.liveBox.enabled()) setLive(true);
}

void FeedHub::sessionEndCancelled() {
  if (closing_.liveBeforeSessionEnd && window_.liveBox.enabled()) setLive(true);
}

void FeedHub::sessionEnds() {
  if (recordings_.unattended) endUnattendedRecording();
  if (recordings_.user) {
    std::unique_ptr<RecordingFile> file = std::move(recordings_.user);
    std::string reason;
    file->close(reason);  // nobody is left to be told
  }
  showRecordingState();
  backend_.requestQuit();
}

}  // namespace orv
