#include "core/tester_link.h"

#include "core/protocol.h"
#include "core/window_model.h"

namespace orv {

std::string ticksNotPassedOnText(std::string_view why, std::uint64_t count) {
  return std::string(kTesterTitle) + " " + std::string(why) + ": " + std::to_string(count) +
         (count == 1 ? " tick was" : " ticks were") + " not passed on to it";
}

TesterLink::TesterLink(Backend& backend, std::function<std::int32_t()> digits)
    : backend_(backend),
      digits_(std::move(digits)),
      searchTimer_(backend, timerId(TimerRole::TesterSearch), false, timerEntry(TimerRole::TesterSearch).firstIntervalMs) {
  searchTimer_.onTimer = [this] { onSearch(); };
}

bool TesterLink::open() {
  window_ = backend_.findWindow(kTesterTitle);
  // Each step only while the tester is still there: a window gone half way
  // ends the link, and the rest would go to a handle that names nothing.
  return isOpen() && send(WM_SYMBOL_HEAD, 1, 0) && send(WM_SYMBOL_TAIL, 1, digits_()) &&
         send(WM_FEED_CONTROL, 1, 0);
}

void TesterLink::close() {
  if (isOpen()) send(WM_FEED_CONTROL, 0, 0);
  window_ = 0;
  tellTicksNotTaken();
}

void TesterLink::sendTick(std::uint32_t ask, std::uint32_t bid) {
  if (isOpen()) send(WM_TICK, forwardWParam(ask), forwardLParam(bid));
}

// False when the window is gone.
bool TesterLink::send(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) {
  switch (backend_.sendMessage(window_, msg, wParam, lParam)) {
    case SendResult::NotAnswered:
      if (msg == WM_TICK) ++ticksNotTaken_;
      return true;
    case SendResult::Delivered:
      tellTicksNotTaken();
      return true;
    case SendResult::NoWindow:
      break;
  }
  if (msg == WM_TICK) ++ticksNotTaken_;
  window_ = 0;
  const std::uint64_t count = ticksNotTaken_;
  ticksNotTaken_ = 0;
  if (onLost)
    onLost(count);
  else if (count > 0)
    backend_.showError(errorDisplayText(ticksNotPassedOnText("closed its window", count)));
  return false;
}

void TesterLink::tellTicksNotTaken() {
  if (ticksNotTaken_ == 0) return;
  const std::uint64_t count = ticksNotTaken_;
  ticksNotTaken_ = 0;
  backend_.showError(errorDisplayText(ticksNotPassedOnText("did not answer in time", count)));
}

void TesterLink::keepLooking(bool on) { searchTimer_.setEnabled(on && !isOpen()); }

void TesterLink::onSearch() {
  const bool found = !isOpen() && open();
  searchTimer_.setEnabled(!isOpen());
  if (found && onFound) onFound();
}

}  // namespace orv
