// A FeedHub on the in-memory backend, with helpers that speak the feeder's side
// of the protocol.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "core/feed_hub.h"
#include "core/protocol.h"
#include "core/replay.h"
#include "tests/unit/feed_hub_peer.h"
#include "platform/memory_backend.h"

namespace orv {
// A sent message in a failure: (window, code, wParam, lParam), not its bytes.
inline void PrintTo(const SentMessage& m, std::ostream* out) {
  *out << "(" << m.window << ", " << m.msg << ", " << m.wParam << ", " << m.lParam << ")";
}
}  // namespace orv

namespace orv::test {

inline constexpr WindowHandle kTester = 0x5150;

class FeedHubTest : public ::testing::Test {
 protected:
  FeedHubTest() { be.controlNames = controlName; }

  // Sends one message as the feeder would; returns the result the feeder sees.
  std::int64_t send(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam, bool* handled = nullptr) {
    Message m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    const bool h = hub->handleFeedMessage(m);
    if (handled != nullptr) *handled = h;
    return m.result;
  }
  std::int64_t head(const char* four) {
    return send(WM_SYMBOL_HEAD, packLetters(four[0], four[1]), packLetters(four[2], four[3]));
  }
  std::int64_t tail(const char* two, std::int32_t digits) {
    return send(WM_SYMBOL_TAIL, packLetters(two[0], two[1]), static_cast<std::uint32_t>(digits));
  }
  void announce(const char* six, std::int32_t digits) {
    head(six);
    tail(six + 4, digits);
  }
  std::int64_t tick(std::uint32_t ask, std::uint32_t bid) { return send(WM_TICK, ask, bid); }

  void testerRunning() { be.windows["Zentavor"] = kTester; }
  std::vector<SentMessage> sentTo(WindowHandle w) const {
    std::vector<SentMessage> out;
    for (const auto& m : be.sent)
      if (m.window == w) out.push_back(m);
    return out;
  }
  // Where the backend's first log line that starts so is; past the end without one.
  std::ptrdiff_t logged(std::string_view start) const {
    return std::ranges::find_if(be.log, [&](const std::string& s) { return s.starts_with(start); }) - be.log.begin();
  }
  FeedHubPeer state() { return FeedHubPeer(*hub); }
  static SentMessage msg(std::uint32_t code, std::uint64_t w, std::int64_t l) { return {kTester, code, w, l}; }

  MemoryBackend be;
  std::unique_ptr<FeedHub> hub = std::make_unique<FeedHub>(be);
};

}  // namespace orv::test
