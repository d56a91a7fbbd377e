#include "core/tester_link.h"

#include "core/protocol.h"
#include "core/window_model.h"

namespace orv {

std::string ticksNotPassedOnText(std::string_view why, std::uint64_t count) {
  return std::string(kTesterTitle) + " " + std::string(why) + ": " + std::to_string(count) +
         (count == 1 ? " tick was" : " ticks were") + " not passed on to it";
}

TesterLink::TesterLink(WindowSender& windows, TimerService& timers, std::function<std::int32_t()> digits)
    : windows_(windows),
      digits_(std::move(digits)),
      searchTimer_(timers, timerId(TimerRole::TesterSearch), false, timerEntry(TimerRole::TesterSearch).firstIntervalMs) {
  searchTimer_.onTimer = [this] { onSearch(); };
}

bool TesterLink::open(std::optional<Quote> first) {
  const WindowHandle tester = windows_.findWindow(kTesterTitle);
  window_ = 0;
  connecting_ = tester;
  if (first) waiting_.push_back(*first);
  // Each step only while the tester is still there and the connect was not
  // called off (a close handled inside a step): a window gone half way ends
  // the link, and the rest would go to a handle that names nothing.
  const auto step = [&](std::uint32_t msg, std::int64_t lParam) {
    return connecting_ == tester && send(tester, msg, 1, lParam) && connecting_ == tester;
  };
  const bool connected =
      tester != 0 && step(WM_SYMBOL_HEAD, 0) && step(WM_SYMBOL_TAIL, digits_()) && step(WM_FEED_CONTROL, 0);
  connecting_ = 0;
  if (connected) {
    window_ = tester;
    forwardWaiting();
  }
  waiting_.clear();
  return isOpen();
}

// The ticks that came during the connect, in order; a tick handled inside
// one of these forwards queues behind the rest.
void TesterLink::forwardWaiting() {
  forwardingWaiting_ = true;
  while (!waiting_.empty() && isOpen()) {
    const Quote quote = waiting_.front();
    waiting_.pop_front();
    send(window_, WM_TICK, tickWParam(quote), tickLParam(quote));
  }
  forwardingWaiting_ = false;
}

// The window is forgotten before the disconnect is sent: a tick handled
// while it waits stays here.
void TesterLink::close() {
  const WindowHandle tester = window_ != 0 ? window_ : connecting_;
  window_ = connecting_ = 0;
  if (tester != 0) send(tester, WM_FEED_CONTROL, 0, 0);
  dropWaiting();
  tellTicksNotTaken();
}

// The ticks that waited for a connect that will not complete are lost: they
// count as not taken.
void TesterLink::dropWaiting() {
  ticksNotTaken_ += waiting_.size();
  waiting_.clear();
}

void TesterLink::sendTick(const Quote& quote) {
  if (connecting_ != 0 || forwardingWaiting_) {
    if (waiting_.size() < kMostWaiting)
      waiting_.push_back(quote);
    else
      ++ticksNotTaken_;
    return;
  }
  if (isOpen()) send(window_, WM_TICK, tickWParam(quote), tickLParam(quote));
}

// False when the window is gone.
bool TesterLink::send(WindowHandle tester, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) {
  switch (windows_.sendMessage(tester, msg, wParam, lParam)) {
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
  dropWaiting();
  if (window_ == tester) window_ = 0;
  if (connecting_ == tester) connecting_ = 0;
  const std::uint64_t count = ticksNotTaken_;
  ticksNotTaken_ = 0;
  if (onLost) onLost(count);
  return false;
}

void TesterLink::tellTicksNotTaken() {
  if (ticksNotTaken_ == 0) return;
  const std::uint64_t count = ticksNotTaken_;
  ticksNotTaken_ = 0;
  if (onAnswersAgain) onAnswersAgain(count);
}

void TesterLink::keepLooking(bool on) { searchTimer_.setEnabled(on && !isOpen()); }

void TesterLink::onSearch() {
  const bool found = !isOpen() && open();
  searchTimer_.setEnabled(!isOpen());
  if (found && onFound) onFound();
}

}  // namespace orv
