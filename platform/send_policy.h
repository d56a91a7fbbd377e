// How long a synchronous send to another program's window may wait.
//
// A send waits for the target's window procedure. A window that has stopped
// answering would freeze the recorder, and with it a feeder waiting on its own
// send, so a send gives up kPatientMs after it started. The window system
// marks a window that has fetched no message for about 5 s as hung, and a
// send to a hung window fails at once: a hung tester costs one long wait,
// and once it fetches messages again every send gets the full wait again, so
// a tester that is merely slow is waited for.
//
// Sends nest: while the recorder waits in a send, a feeder's message is
// handled and may send to the same window. The inner send keeps the outer
// one's deadline: a slow window still gets both messages, in order, and a
// hung one releases the whole nest when the first wait runs out.
//
// No window system here: the Win32 backend calls begin() before each send,
// with a steady clock's reading, and finish() with what became of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>

#include "platform/backend.h"

namespace orv {

class SendPolicy {
 public:
  static constexpr unsigned kPatientMs = 5000;
  static constexpr unsigned kBriefMs = 10;  // the least an inner send past the deadline gets

  struct Attempt {
    std::uint64_t window = 0;
    unsigned timeoutMs = kPatientMs;
  };

  Attempt begin(std::uint64_t window, std::int64_t nowMs) {
    Nest& nest = nests_[window];
    Attempt attempt;
    attempt.window = window;
    if (nest.inFlight > 0) {
      const std::int64_t left = nest.deadlineMs - nowMs;
      attempt.timeoutMs = static_cast<unsigned>(std::clamp<std::int64_t>(left, kBriefMs, kPatientMs));
    } else {
      nest.deadlineMs = nowMs + kPatientMs;
    }
    ++nest.inFlight;
    return attempt;
  }

  void finish(const Attempt& attempt, SendResult result) {
    auto it = nests_.find(attempt.window);
    if (it == nests_.end()) return;
    if (it->second.inFlight > 0) --it->second.inFlight;
    // A live window's entry stays, so a forwarded tick allocates nothing; a
    // handle that names no window any more is forgotten.
    if (it->second.inFlight == 0 && result == SendResult::NoWindow) nests_.erase(it);
  }

 private:
  struct Nest {
    int inFlight = 0;
    std::int64_t deadlineMs = 0;  // of the outermost send in flight
  };
  std::map<std::uint64_t, Nest> nests_;
};

}  // namespace orv
