#include "core/replay.h"

#include <cmath>

#include "core/recorder.h"
#include "core/protocol.h"
#include "core/test_ticks.h"

namespace orv {

std::uint32_t replayPoints(float value, std::int32_t digits) noexcept {
  const float scale = static_cast<float>(std::pow(10.0, digits));
  // The product of two binary32 numbers is exact in double.
  const double product = static_cast<double>(value) * static_cast<double>(scale);
  if (!(product > 0.0)) return 0;  // also NaN
  if (product >= 4294967296.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(product);
}

void Recorder::seekReplay(std::int32_t row) noexcept { replayRow_ = row >= 0 && row < kTestTickCount ? row : 0; }

// One row per step, and one step at a time: a timer event that a modal
// window lets run while the send waits sends nothing, so no row goes out
// twice, none is skipped, and the pass ends once after its last row.
void Recorder::replayStep() {
  if (tester_ == 0 || replaySending_) return;
  const TestTick row = testTick(replayRow_);
  const std::uint32_t ask = replayPoints(row.ask, digits_);
  const std::uint32_t bid = replayPoints(row.bid, digits_);
  {
    struct Sending {
      bool& flag;
      explicit Sending(bool& f) : flag(f) { flag = true; }
      ~Sending() { flag = false; }
    } sending(replaySending_);
    sendToTester(WM_TICK, forwardWParam(ask), forwardLParam(bid));
  }
  // A feeder message handled during the send may have changed the link or
  // the box; the row has gone out all the same.
  if (++replayRow_ >= kTestTickCount) {
    replayRow_ = 0;
    testDataBox_.setChecked(false);
  }
}

}  // namespace orv
