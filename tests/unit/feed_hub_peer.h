// The unit tests' view into a FeedHub: the parts' state and the window's
// controls, read-only, and the replay's position, which a test may move.
// What only the tests ask for lives here, not in the program's interface.
#pragma once

#include "core/feed_hub.h"
#include "core/replay.h"
#include "core/window_model.h"

namespace orv {

class FeedHubPeer {
 public:
  explicit FeedHubPeer(FeedHub& hub) : hub_(hub) {}
  const Timer& pulseTimer() const noexcept { return hub_.pulseTimer_; }
  const std::string& symbol() const noexcept { return hub_.symbol_.symbol(); }
  const std::string& pairText() const noexcept { return hub_.symbol_.pairText(); }
  std::int32_t digits() const noexcept { return hub_.symbol_.digits(); }
  std::int64_t lastTickTime() const noexcept { return hub_.watchdog_.lastTickTime(); }
  WindowHandle tester() const noexcept { return hub_.link_.window(); }
  std::uint64_t ticksNotTaken() const noexcept { return hub_.link_.ticksNotTaken(); }
  bool isRecording() const noexcept { return hub_.isRecording(); }
  std::int32_t replayRow() const noexcept { return hub_.replay_.row(); }
  // Moves the replay to a row of the table (rows past the end wrap to 0).
  void seekReplay(std::int32_t row) noexcept { seek(hub_.replay_, row); }
  static void seek(TableReplay& replay, std::int32_t row) noexcept { replay.seek(row); }

  const Label& tickLine() const noexcept { return hub_.window_.tickLine; }
  const Label& silenceLine() const noexcept { return hub_.window_.silenceLine; }
  const BitmapButton& closeButton() const noexcept { return hub_.window_.closeButton; }
  const CheckBox& liveBox() const noexcept { return hub_.window_.liveBox; }
  const CheckBox& testDataBox() const noexcept { return hub_.window_.testDataBox; }

 private:
  FeedHub& hub_;
};

// A control's name in the in-memory backend's log ("caption tickLine ...").
inline const char* controlName(ControlId c) noexcept {
  switch (static_cast<Control>(c)) {
    case Control::TickLine: return "tickLine";
    case Control::SilenceLine: return "silenceLine";
    case Control::RecordButton: return "recordButton";
    case Control::CloseButton: return "closeButton";
    case Control::TesterGroup: return "testerGroup";
    case Control::LiveBox: return "liveBox";
    case Control::TestDataBox: return "testDataBox";
  }
  return "?";
}

}  // namespace orv
