// A tick's two prices in points (the price times 10^digits), by name: bid
// and ask cannot be swapped by the order of a call's arguments. The window
// messages carry them in an order of their own; core/protocol.h turns one
// into the other at the edge.
#pragma once

#include <cstdint>

namespace orv {

struct Quote {
  std::uint32_t bid = 0;
  std::uint32_t ask = 0;
  bool operator==(const Quote&) const = default;
};

}  // namespace orv
