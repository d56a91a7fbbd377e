#include "platform/error_queue.h"

#include <algorithm>

namespace orv {

bool ErrorQueue::add(std::string_view text) {
  const bool idle = waiting_.empty() && !showing_;
  auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const Entry& e) { return e.text == text; });
  if (same != waiting_.end())
    ++same->count;
  else
    waiting_.push_back(Entry{std::string(text)});
  return idle;
}

std::optional<std::string> ErrorQueue::open() {
  if (showing_ || waiting_.empty()) return std::nullopt;
  Entry next = std::move(waiting_.front());
  waiting_.erase(waiting_.begin());
  showing_ = true;
  if (next.count > 1) next.text += " (" + std::to_string(next.count) + " times)";
  return next.text;
}

}  // namespace orv
