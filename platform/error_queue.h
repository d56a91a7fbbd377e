// Errors waiting for the error display.
//
// The error display is a modal box: shown from inside another program's
// message (a feeder's tick whose recording failed), it would hold that
// program until a person answers. So an error is queued where it arises and
// shown later from the message loop, one box at a time. An error that
// repeats while it waits is counted, not queued again: "... (3 times)".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class ErrorQueue {
 public:
  // Queues an error. True when nothing was waiting or on screen: the caller
  // must then arrange for the display to run (post itself a message).
  bool add(std::string_view text);

  // The next error's text for the box, and marks the box as open; nothing
  // when none is waiting or a box is already open (the open one's loop shows
  // the rest once it closes).
  std::optional<std::string> open();
  // The box has closed.
  void closed() noexcept { showing_ = false; }

  bool empty() const noexcept { return waiting_.empty(); }

 private:
  struct Entry {
    std::string text;
    std::size_t count = 1;
  };
  std::vector<Entry> waiting_;
  bool showing_ = false;
};

}  // namespace orv
