// The link to the tester's window: opened by ticking either check box,
// closed by unticking either; live ticks go over it while it is open.
#include "core/form.h"
#include "core/protocol.h"

namespace orv {

void TForm1::connectTester() {
  TesterWnd = backend.findWindow(kTesterTitle);
  if (TesterWnd == 0) return;
  backend.sendMessage(TesterWnd, WM_SYMBOL_HEAD, 1, 0);
  backend.sendMessage(TesterWnd, WM_SYMBOL_TAIL, 1, Digits);
  backend.sendMessage(TesterWnd, WM_FEED_CONTROL, 1, 0);
}

void TForm1::disconnectTester() {
  if (TesterWnd != 0) backend.sendMessage(TesterWnd, WM_FEED_CONTROL, 0, 0);
  TesterWnd = 0;
}

void TForm1::LiveCheckBoxClick() {
  if (LiveCheckBox.checked())
    connectTester();
  else
    disconnectTester();
}

void TForm1::TestCheckBoxClick() {
  if (TestCheckBox.checked()) {
    connectTester();
    Timer1.setEnabled(true);
  } else {
    disconnectTester();
    Timer1.setEnabled(LastTickTime != 0);
  }
}

}  // namespace orv
