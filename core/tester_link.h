// The link to the tester's window ("Zentavor"): found by its title and opened
// with a three-message connect sequence, closed with a disconnect; ticks go
// over it while it is open, each waited for until the tester has handled it.
//  - ticks the tester does not take (it stopped answering) are counted, and
//    the count is told once it answers again, or when the link closes;
//  - a tester whose window is gone ends the link at once: the tick is
//    counted, the handle forgotten (it could name another window later), and
//    whoever owns the link is told (onLost), with the count;
//  - while asked to, it looks for a tester every few seconds and opens the
//    link when one appears.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

class TesterLink {
 public:
  // digits: the decimals the connect sequence tells the tester, read when it is sent.
  TesterLink(Backend& backend, std::function<std::int32_t()> digits);

  bool isOpen() const noexcept { return window_ != 0; }
  WindowHandle window() const noexcept { return window_; }
  std::uint64_t ticksNotTaken() const noexcept { return ticksNotTaken_; }

  // Looks the tester up and sends the connect sequence. False when no tester
  // is there, or it went while being connected.
  bool open();
  // Sends the disconnect while open, then forgets the window and tells the
  // ticks it did not take.
  void close();
  // One tick over the open link: a live one, or a replayed row.
  void sendTick(std::uint32_t ask, std::uint32_t bid);

  // Looks for a tester every few seconds while on and no link is open.
  void keepLooking(bool on);
  bool isLooking() const noexcept { return searchTimer_.enabled(); }
  Timer& searchTimer() noexcept { return searchTimer_; }

  // The tester's window went away; the argument is the ticks not passed on
  // to it since it last answered. Unset: the count is told on the error display.
  std::function<void(std::uint64_t notPassedOn)> onLost;
  // The search found a tester and opened the link.
  std::function<void()> onFound;

 private:
  bool send(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam);
  void tellTicksNotTaken();
  void onSearch();

  Backend& backend_;
  std::function<std::int32_t()> digits_;
  Timer searchTimer_;
  WindowHandle window_ = 0;          // set while the link is open
  std::uint64_t ticksNotTaken_ = 0;  // since the tester last answered
};

// "Zentavor did not answer in time: 3 ticks were not passed on to it"
std::string ticksNotPassedOnText(std::string_view why, std::uint64_t count);

}  // namespace orv
