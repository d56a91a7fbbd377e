#include "core/form.h"

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

TForm1::TForm1(Backend& be)
    : backend(be),
      BitBtn2(be, Control::BitBtn2, ButtonKind::bkClose, ""),
      TickLabel(be, Control::TickLabel, "Time, Symbol, BID, ASK", clWindowText),
      BitBtn1(be, Control::BitBtn1, ButtonKind::bkOK, "START RECORDING"),
      SaveDialog1(be, "csv", "CSV files|*.csv"),
      Timer1(be, TimerId::Timer1, false, kReplayIntervalMs),
      LiveCheckBox(be, Control::LiveCheckBox, false),
      TestCheckBox(be, Control::TestCheckBox, true),
      NoTickLabel(be, Control::NoTickLabel, "No Ticks", clRed),
      FlushTimer(be, TimerId::Flush, false, kFlushIntervalMs),
      Symbol("XXXYYY"),
      SymbolPair("XXX/YYY") {
  BitBtn1.onClick = [this] { BitBtn1Click(); };
  BitBtn2.onClick = [this] { BitBtn2Click(); };
  BitBtn2.onClose = [this] { Close(); };
  LiveCheckBox.onClick = [this] { LiveCheckBoxClick(); };
  TestCheckBox.onClick = [this] { TestCheckBoxClick(); };
  Timer1.onTimer = [this] { Timer1Timer(); };
  FlushTimer.onTimer = [this] { FlushTimerTimer(); };
}

// The stream is deliberately not stopped here: closing the window does not
// end a recording, and RecordStream's own destructor writes out what it holds.
TForm1::~TForm1() = default;

bool TForm1::WndProc(Message& m) {
  const std::uint32_t wParam = low32(m.wParam);
  const std::uint32_t lParam = low32(static_cast<std::uint64_t>(m.lParam));
  switch (m.msg) {
    case WM_TICK:
      m.result = 1;
      LiveCheckBox.setEnabled(true);
      ProcessTick(wParam, lParam);
      return true;
    case WM_SYMBOL_HEAD:
      m.result = 1;
      symbolHead(wParam, lParam);
      return true;
    case WM_SYMBOL_TAIL:
      // Answered before the work: an error later in it (no timer left)
      // still leaves the sender its 1.
      m.result = 1;
      symbolTail(wParam, lParam);
      return true;
    case WM_FEED_CONTROL:
      return true;
    default:
      return false;
  }
}

void TForm1::symbolHead(std::uint32_t wParam, std::uint32_t lParam) {
  const char l1 = highLetter(wParam), l2 = lowLetter(wParam);
  const char l3 = highLetter(lParam), l4 = lowLetter(lParam);
  Symbol.clear();
  appendLetters(Symbol, {l1, l2, l3, l4});
  SymbolPair.clear();
  appendLetters(SymbolPair, {l1, l2, l3, '/', l4});
}

void TForm1::symbolTail(std::uint32_t wParam, std::uint32_t lParam) {
  std::string tail;
  appendLetters(tail, {highLetter(wParam), lowLetter(wParam)});
  Symbol += tail;
  SymbolPair += tail;
  TickLabel.setCaption(Symbol);
  Digits = static_cast<std::int32_t>(lParam);
  TestCheckBox.setChecked(false);  // stops a replay, with its disconnect
  TestCheckBox.setEnabled(false);
  Timer1.setEnabled(true);
  Timer1.setInterval(kWatchdogIntervalMs);
}

void TForm1::Timer1Timer() {
  if (TestCheckBox.checked())
    replayStep();
  else
    watchdogStep();
}

void TForm1::BitBtn2Click() { Close(); }

void TForm1::Close() {
  bool canClose = true;
  FormCloseQuery(canClose);
  if (canClose) backend.requestQuit();
}

void TForm1::FormCloseQuery(bool& CanClose) {
  TestCheckBox.setChecked(false);
  LiveCheckBox.setChecked(false);
  CanClose = backend.askYesNo("Are you sure?", "Exit");
}

}  // namespace orv
