// Errors waiting for the error display.
//
// The error display is a modal box: shown from inside another program's
// message (a feeder's tick whose recording failed), it would hold that
// program until a person answers. So an error is queued where it arises and
// shown later from the message loop, one box at a time.
//
// Few boxes, whatever comes: errors of one kind (texts that differ only in
// their numbers: another count, another row, another date in a file name)
// are one box, showing the latest text and the total, "... (3 times)". A
// repeat of the box on screen counts into that box. At most kMostWaiting
// boxes wait; errors of further kinds share the last one, which shows the
// latest of them and how many there were, "... (the last of 5 errors)".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class ErrorQueue {
 public:
  static constexpr std::size_t kMostWaiting = 8;

  enum class Added {
    First,     // nothing was waiting or on screen: the caller must arrange for the display to run
    Waiting,   // it waits, on its own or counted into a waiting box
    OnScreen,  // counted into the box on screen, whose text is now onScreenText()
  };
  Added add(std::string_view text);

  // The next error's text for the box, and marks the box as open; nothing
  // when none is waiting or a box is already open (the open one's loop shows
  // the rest once it closes).
  std::optional<std::string> open();
  // The box has closed.
  void closed() noexcept { showing_ = false; }
  // What the open box shows, repeats counted in.
  std::string onScreenText() const { return showing_ ? textOf(onScreen_) : std::string(); }

  bool empty() const noexcept { return waiting_.empty(); }
  std::size_t waiting() const noexcept { return waiting_.size(); }

 private:
  struct Entry {
    std::string kind;  // the text with every run of digits as one '#'
    std::string text;  // the latest text of the kind
    std::size_t count = 1;
    bool mixed = false;  // errors of several kinds, beyond the bound
  };
  static std::string textOf(const Entry& e);
  std::vector<Entry> waiting_;
  Entry onScreen_;
  bool showing_ = false;
};

// A system's error text as read with its inserts ignored, made readable:
// each insert ("%1", "%2!s!") reads `subject`; "%%" is a percent sign, and
// "%n", "%r", "%t" are spaces.
std::string withInsertsFilled(std::string_view systemText, std::string_view subject);

}  // namespace orv
