// The link to the tester's window: opened by ticking either check box,
// closed by unticking either; live ticks go over it while it is open.
#include "core/recorder.h"
#include "core/protocol.h"

namespace orv {

void Recorder::connectTester() {
  tester_ = backend_.findWindow(kTesterTitle);
  if (tester_ == 0) return;
  backend_.sendMessage(tester_, WM_SYMBOL_HEAD, 1, 0);
  backend_.sendMessage(tester_, WM_SYMBOL_TAIL, 1, digits_);
  backend_.sendMessage(tester_, WM_FEED_CONTROL, 1, 0);
}

void Recorder::disconnectTester() {
  if (tester_ != 0) backend_.sendMessage(tester_, WM_FEED_CONTROL, 0, 0);
  tester_ = 0;
}

void Recorder::onLiveClicked() {
  if (liveBox_.checked())
    connectTester();
  else
    disconnectTester();
}

void Recorder::onTestDataClicked() {
  if (testDataBox_.checked()) {
    connectTester();
    pulseTimer_.setEnabled(true);
  } else {
    disconnectTester();
    pulseTimer_.setEnabled(lastTickTime_ != 0);
  }
}

}  // namespace orv
