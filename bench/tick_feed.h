// What the tick-path benchmarks share: FeedHub on the in-memory backend,
// without its log, sent EUR/USD and then ticks as the feeder sends them.
#pragma once

#include <cstdint>

#include "core/feed_hub.h"
#include "core/protocol.h"
#include "platform/memory_backend.h"

namespace orv::bench {

class TickFeed {
 public:
  // With a tester, the tester's window stands ready before the hub starts.
  explicit TickFeed(const StartOptions& options, bool withTester = false)
      : hub(prepared(backend, withTester), options) {
    send(WM_SYMBOL_HEAD, packLetters('E', 'U'), packLetters('R', 'U'));
    send(WM_SYMBOL_TAIL, packLetters('S', 'D'), 5);
  }

  void send(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) {
    Message m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    hub.handleFeedMessage(m);
  }

  // The next tick, a little above the last; the "disk" keeps its room:
  // emptied now and then, not freed.
  void tick() {
    send(WM_TICK, bid_ + 16, bid_);
    bid_ += 7;
    if ((++ticks_ & 0xFFFF) == 0)
      for (auto& [path, file] : backend.disk) file->data.clear();
  }

  std::uint64_t ticks() const { return ticks_; }

  MemoryBackend backend;
  FeedHub hub;

 private:
  static MemoryBackend& prepared(MemoryBackend& backend, bool withTester) {
    backend.keepLog = false;  // the log would cost more than the logic
    if (withTester) backend.windows["Zentavor"] = 0x5150;
    return backend;
  }

  std::uint32_t bid_ = 108150;
  std::uint64_t ticks_ = 0;
};

}  // namespace orv::bench
