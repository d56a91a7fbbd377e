#include "core/replay.h"

#include <cmath>

#include "core/form.h"
#include "core/protocol.h"
#include "core/test_ticks.h"

namespace orv {

std::int32_t TestPos = 0;

std::uint32_t replayPoints(float value, std::int32_t digits) noexcept {
  const float scale = static_cast<float>(std::pow(10.0, digits));
  // The product of two binary32 numbers is exact in double.
  const double product = static_cast<double>(value) * static_cast<double>(scale);
  if (!(product > 0.0)) return 0;  // also NaN
  if (product >= 4294967296.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(product);
}

void TForm1::replayStep() {
  if (TesterWnd == 0) return;
  const TestTick row = testTick(TestPos);
  const std::uint32_t ask = replayPoints(row.ask, Digits);
  const std::uint32_t bid = replayPoints(row.bid, Digits);
  backend.sendMessage(TesterWnd, WM_TICK, forwardWParam(ask), forwardLParam(bid));
  // A feeder message handled during the send may have changed the link or
  // the box; the row has gone out all the same.
  if (++TestPos >= kTestTickCount) {
    TestPos = 0;
    TestCheckBox.setChecked(false);
  }
}

}  // namespace orv
