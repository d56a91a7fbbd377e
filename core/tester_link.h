// The link to the tester's window ("Zentavor"): found by its title and opened
// with a three-message connect sequence, closed with a disconnect; ticks go
// over it while it is open, each waited for until the tester has handled it.
//  - ticks the tester does not take (it stopped answering) are counted, and
//    the count is told once it answers again, or when the link closes;
//  - a tester whose window is gone ends the link at once: the tick is
//    counted, the handle forgotten (it could name another window later), and
//    whoever owns the link is told (onLost), with the count;
//  - while asked to, it looks for a tester every few seconds and opens the
//    link when one appears;
//  - the connect and the disconnect are synchronous sends, and a feeder's
//    tick can be handled while one waits: the tester never gets a tick in
//    the middle of a connect, nor after a disconnect. A tick that comes
//    during a connect waits, in order, and goes on once the connect is
//    complete (if the link is open then); one during a disconnect stays here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

class TesterLink {
 public:
  // digits: the decimals the connect sequence tells the tester, read when it is sent.
  TesterLink(WindowSender& windows, TimerService& timers, std::function<std::int32_t()> digits);

  bool isOpen() const noexcept { return window_ != 0; }
  WindowHandle window() const noexcept { return window_; }

  // Looks the tester up and sends the connect sequence, then `first` (the
  // tick whose arrival opens the link, if any) and the ticks that waited for
  // the connect. False when no tester is there, or it went while being
  // connected (the waiting ticks are dropped then).
  using Tick = std::pair<std::uint32_t, std::uint32_t>;  // ask, bid
  bool open(std::optional<Tick> first = std::nullopt);
  // Forgets the window, then sends it the disconnect, and tells the ticks it
  // did not take.
  void close();
  // One tick over the open link: a live one, or a replayed row. During a
  // connect it waits for the connect's end.
  void sendTick(std::uint32_t ask, std::uint32_t bid);
  // The most ticks that wait for a connect; more are counted as not taken.
  static constexpr std::size_t kMostWaiting = 1 << 16;

  // Looks for a tester every few seconds while on and no link is open.
  void keepLooking(bool on);
  bool isLooking() const noexcept { return searchTimer_.enabled(); }
  Timer& searchTimer() noexcept { return searchTimer_; }

  // The tester's window went away; the argument is the ticks not passed on
  // to it since it last answered. The link shows nothing itself: its owner
  // decides what the user is told.
  std::function<void(std::uint64_t notPassedOn)> onLost;
  // The tester answered again (or the link closed) after ticks it did not take.
  std::function<void(std::uint64_t notTaken)> onAnswersAgain;
  // The search found a tester and opened the link.
  std::function<void()> onFound;

 private:
  friend class FeedHubPeer;  // the unit tests' view of the count
  std::uint64_t ticksNotTaken() const noexcept { return ticksNotTaken_; }
  bool send(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam);
  void forwardWaiting();
  void tellTicksNotTaken();
  void onSearch();

  WindowSender& windows_;
  std::function<std::int32_t()> digits_;
  Timer searchTimer_;
  WindowHandle window_ = 0;          // set while the link is open
  WindowHandle connecting_ = 0;      // set while its connect sequence is under way
  bool forwardingWaiting_ = false;   // the waiting ticks go on now; later ones queue behind them
  std::deque<Tick> waiting_;         // ticks that came during the connect
  std::uint64_t ticksNotTaken_ = 0;  // since the tester last answered
};

// "Zentavor did not answer in time: 3 ticks were not passed on to it"
std::string ticksNotPassedOnText(std::string_view why, std::uint64_t count);

}  // namespace orv
