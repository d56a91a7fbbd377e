// How long a synchronous send to another program's window may wait.
//
// A send waits for the target's window procedure. A window that has stopped
// answering would freeze the recorder, and with it a feeder waiting on its own
// send, so a send gives up kPatientMs after it started. Once a window has made
// us wait that long, later sends to it only try briefly (kBriefMs), until one
// gets through again: a hung window costs one long wait, not one per message.
//
// Sends nest: while the recorder waits in a send, a feeder's message is
// handled and may send to the same window. The inner send keeps the outer
// one's deadline: a slow window still gets both messages, in order, and a
// hung one releases the whole nest when the first wait runs out.
//
// No window system here: the Win32 backend calls begin() before each send,
// with a steady clock's reading, and finish() with what happened.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>

namespace orv {

class SendPolicy {
 public:
  static constexpr unsigned kPatientMs = 5000;
  static constexpr unsigned kBriefMs = 10;

  enum class Outcome {
    Delivered,  // the target handled the message
    TimedOut,   // the target did not answer in time, or is known to be hung
    NoWindow,   // the handle names no window (any more)
  };

  struct Attempt {
    std::uint64_t window = 0;
    unsigned timeoutMs = kPatientMs;
  };

  Attempt begin(std::uint64_t window, std::int64_t nowMs) {
    State& state = windows_[window];
    Attempt attempt;
    attempt.window = window;
    if (state.unresponsive) {
      attempt.timeoutMs = kBriefMs;
    } else if (state.inFlight > 0) {
      const std::int64_t left = state.deadlineMs - nowMs;
      attempt.timeoutMs = static_cast<unsigned>(std::clamp<std::int64_t>(left, kBriefMs, kPatientMs));
    } else {
      attempt.timeoutMs = kPatientMs;
      state.deadlineMs = nowMs + kPatientMs;
    }
    ++state.inFlight;
    return attempt;
  }

  void finish(const Attempt& attempt, Outcome outcome) {
    auto it = windows_.find(attempt.window);
    if (it == windows_.end()) return;
    State& state = it->second;
    if (state.inFlight > 0) --state.inFlight;
    // A window that answers again, or a handle that names none (it may be
    // reused by a new window later), is given the full wait again. The entry
    // of a live window stays, so a forwarded tick allocates nothing.
    state.unresponsive = outcome == Outcome::TimedOut;
    if (state.inFlight == 0 && outcome == Outcome::NoWindow) windows_.erase(it);
  }

  bool isUnresponsive(std::uint64_t window) const {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.unresponsive;
  }

 private:
  struct State {
    int inFlight = 0;
    std::int64_t deadlineMs = 0;  // of the outermost send in flight
    bool unresponsive = false;
  };
  std::map<std::uint64_t, State> windows_;
};

}  // namespace orv
