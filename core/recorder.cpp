#include "core/recorder.h"

#include "core/protocol.h"
#include "core/record_stream.h"

namespace orv {

namespace {

// Appends the letters up to the first zero byte, as "%c" formatting into a
// C string would.
void appendLetters(std::string& text, std::initializer_list<char> letters) {
  for (char c : letters) {
    if (c == '\0') return;
    text.push_back(c);
  }
}

}  // namespace

Recorder::Recorder(Backend& backend, const StartOptions& options)
    : backend_(backend),
      closeButton_(backend, Control::CloseButton, ButtonKind::Close, ""),
      tickLine_(backend, Control::TickLine, "Time, Symbol, BID, ASK", kWindowTextColor),
      recordButton_(backend, Control::RecordButton, ButtonKind::Ok, "START RECORDING"),
      saveDialog_(backend, "csv", "CSV files|*.csv"),
      pulseTimer_(backend, TimerId::Pulse, false, kReplayIntervalMs),
      liveBox_(backend, Control::LiveBox, false),
      testDataBox_(backend, Control::TestDataBox, true),
      silenceLine_(backend, Control::SilenceLine, "No Ticks", kRed),
      reopenTimer_(backend, TimerId::Reopen, false, kReopenIntervalMs),
      testerSearchTimer_(backend, TimerId::TesterSearch, false, kTesterSearchIntervalMs),
      symbol_("XXXYYY"),
      pairText_("XXX/YYY"),
      utc_(options.utc),
      autoLive_(options.live),
      pattern_(options.recordPattern),
      daily_(options.daily) {
  recordButton_.onClick = [this] { onRecordClicked(); };
  closeButton_.onClose = [this] { close(); };
  liveBox_.onClick = [this] { onLiveClicked(); };
  testDataBox_.onClick = [this] { onTestDataClicked(); };
  pulseTimer_.onTimer = [this] { onPulse(); };
  reopenTimer_.onTimer = [this] { onReopen(); };
  testerSearchTimer_.onTimer = [this] { onTesterSearch(); };
}

// The stream is deliberately not stopped here: closing the window does not
// end a recording; RecordStream's own destructor closes the file.
Recorder::~Recorder() = default;

bool Recorder::handleFeedMessage(Message& m) {
  const std::uint32_t wParam = low32(m.wParam);
  const std::uint32_t lParam = low32(static_cast<std::uint64_t>(m.lParam));
  switch (m.msg) {
    case WM_TICK:
      m.result = 1;
      if (!liveBox_.enabled()) {
        liveBox_.setEnabled(true);
        if (autoLive_) liveBox_.setChecked(true);  // connects, or starts looking for the tester
      }
      onTick(wParam, lParam);
      return true;
    case WM_SYMBOL_HEAD:
      m.result = 1;
      onSymbolHead(wParam, lParam);
      return true;
    case WM_SYMBOL_TAIL:
      // Answered before the work: an error later in it (no timer left)
      // still leaves the sender its 1.
      m.result = 1;
      onSymbolTail(wParam, lParam);
      return true;
    case WM_FEED_CONTROL:
      return true;
    default:
      return false;
  }
}

void Recorder::onSymbolHead(std::uint32_t wParam, std::uint32_t lParam) {
  const char l1 = highLetter(wParam), l2 = lowLetter(wParam);
  const char l3 = highLetter(lParam), l4 = lowLetter(lParam);
  symbol_.clear();
  appendLetters(symbol_, {l1, l2, l3, l4});
  pairText_.clear();
  appendLetters(pairText_, {l1, l2, l3, '/', l4});
}

void Recorder::onSymbolTail(std::uint32_t wParam, std::uint32_t lParam) {
  std::string tail;
  appendLetters(tail, {highLetter(wParam), lowLetter(wParam)});
  symbol_ += tail;
  pairText_ += tail;
  tickLine_.setCaption(symbol_);
  digits_ = static_cast<std::int32_t>(lParam);
  testDataBox_.setChecked(false);  // stops a replay, with its disconnect
  testDataBox_.setEnabled(false);
  pulseTimer_.setEnabled(true);
  pulseTimer_.setInterval(kWatchdogIntervalMs);
  followAnnouncedSymbol();
}

void Recorder::click(Control control) {
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

void Recorder::timerElapsed(TimerId timer) {
  switch (timer) {
    case TimerId::Pulse: pulseTimer_.fire(); break;
    case TimerId::Reopen: reopenTimer_.fire(); break;
    case TimerId::TesterSearch: testerSearchTimer_.fire(); break;
  }
}

// One pulse: a replay step while "Test Data" is ticked, else a watchdog step.
void Recorder::onPulse() {
  if (testDataBox_.checked())
    replayStep();
  else
    watchdogStep();
}

void Recorder::close() {
  if (confirmClose()) backend_.requestQuit();
}

bool Recorder::mayEndSession() {
  bool mayEnd = false;
  runGuarded(backend_, [this, &mayEnd] { mayEnd = confirmClose(); });
  return mayEnd;
}

bool Recorder::confirmClose() {
  testDataBox_.setChecked(false);
  liveBox_.setChecked(false);
  return backend_.askYesNo("Are you sure?", "Exit");
}

}  // namespace orv
