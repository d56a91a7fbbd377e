#include "core/replay.h"

#include <cmath>

#include "core/replay_table.h"
#include "core/tester_link.h"

namespace orv {

std::uint32_t replayPoints(float value, std::int32_t digits) noexcept {
  const float scale = static_cast<float>(std::pow(10.0, digits));
  // The product of two binary32 numbers is exact in double.
  const double product = static_cast<double>(value) * static_cast<double>(scale);
  if (!(product > 0.0)) return 0;  // also NaN
  if (product >= 4294967296.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(product);
}

void TableReplay::seek(std::int32_t row) noexcept { row_ = row >= 0 && row < kReplayTickCount ? row : 0; }

bool TableReplay::step(TesterLink& link, std::int32_t digits) {
  if (!link.isOpen() || sending_) return false;
  const ReplayTick tick = replayTick(row_);
  {
    struct Sending {
      bool& flag;
      explicit Sending(bool& f) : flag(f) { flag = true; }
      ~Sending() { flag = false; }
    } sending(sending_);
    link.sendTick(Quote{replayPoints(tick.bid, digits), replayPoints(tick.ask, digits)});
  }
  // A feeder message handled during the send may have changed the link; the
  // row has gone out all the same.
  if (++row_ < kReplayTickCount) return false;
  row_ = 0;
  return true;
}

}  // namespace orv
