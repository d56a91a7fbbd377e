// The link to the tester's window: opened by ticking either check box,
// closed by unticking either; live ticks go over it while it is open.
// Ticks the tester does not take (it stopped answering) are counted, and the
// count is told once it answers again or the link closes.
#include "core/recorder.h"
#include "core/protocol.h"

namespace orv {

void Recorder::connectTester() {
  tester_ = backend_.findWindow(kTesterTitle);
  if (tester_ == 0) return;
  sendToTester(WM_SYMBOL_HEAD, 1, 0);
  sendToTester(WM_SYMBOL_TAIL, 1, digits_);
  sendToTester(WM_FEED_CONTROL, 1, 0);
  updateTimerPace();
}

void Recorder::disconnectTester() {
  if (tester_ != 0) sendToTester(WM_FEED_CONTROL, 0, 0);
  tester_ = 0;
  reportTicksNotTaken();
  updateTimerPace();
}

void Recorder::sendToTester(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) {
  switch (backend_.sendMessage(tester_, msg, wParam, lParam)) {
    case SendResult::NotAnswered:
      if (msg == WM_TICK) ++ticksNotTaken_;
      break;
    case SendResult::Delivered:
      reportTicksNotTaken();
      break;
    case SendResult::NoWindow:
      break;
  }
}

void Recorder::reportTicksNotTaken() {
  if (ticksNotTaken_ == 0) return;
  const std::uint64_t count = ticksNotTaken_;
  ticksNotTaken_ = 0;
  backend_.showError(errorDisplayText(std::string(kTesterTitle) + " did not answer in time: " + std::to_string(count) +
                                      (count == 1 ? " tick was" : " ticks were") + " not passed on to it"));
}

// The system timer runs finer only while a replay really goes out.
void Recorder::updateTimerPace() {
  const bool replaying = testDataBox_.checked() && tester_ != 0 && pulseTimer_.enabled();
  backend_.keepTimerPace(replaying ? pulseTimer_.interval() : 0);
}

void Recorder::onLiveClicked() {
  if (liveBox_.checked())
    connectTester();
  else
    disconnectTester();
  // Started with --live, a tester that is not there yet is looked for again
  // every few seconds while the box stays ticked.
  testerSearchTimer_.setEnabled(autoLive_ && liveBox_.checked() && tester_ == 0);
}

void Recorder::onTesterSearch() {
  if (tester_ == 0 && liveBox_.checked()) connectTester();
  testerSearchTimer_.setEnabled(liveBox_.checked() && tester_ == 0);
}

void Recorder::onTestDataClicked() {
  if (testDataBox_.checked()) {
    connectTester();
    pulseTimer_.setEnabled(true);
  } else {
    disconnectTester();
    pulseTimer_.setEnabled(lastTickTime_ != 0);
  }
  updateTimerPace();
}

}  // namespace orv
