#include "platform/error_queue.h"

#include <algorithm>

namespace orv {

namespace {

std::string kindOf(std::string_view text) {
  std::string kind;
  kind.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (!digit)
      kind += text[i];
    else if (i == 0 || text[i - 1] < '0' || text[i - 1] > '9')
      kind += '#';
  }
  return kind;
}

}  // namespace

ErrorQueue::Added ErrorQueue::add(std::string_view text) {
  const bool idle = waiting_.empty() && !showing_;
  std::string kind = kindOf(text);
  const auto takeInto = [&](Entry& e) {
    ++e.count;
    e.text.assign(text);
  };
  if (showing_ && !onScreen_.mixed && onScreen_.kind == kind) {
    takeInto(onScreen_);
    return Added::OnScreen;
  }
  const auto same =
      std::find_if(waiting_.begin(), waiting_.end(), [&](const Entry& e) { return !e.mixed && e.kind == kind; });
  if (same != waiting_.end()) {
    takeInto(*same);
  } else if (waiting_.size() < kMostWaiting) {
    waiting_.push_back(Entry{std::move(kind), std::string(text)});
  } else {
    takeInto(waiting_.back());
    waiting_.back().mixed = true;
  }
  return idle ? Added::First : Added::Waiting;
}

std::optional<std::string> ErrorQueue::open() {
  if (showing_ || waiting_.empty()) return std::nullopt;
  onScreen_ = std::move(waiting_.front());
  waiting_.erase(waiting_.begin());
  showing_ = true;
  return textOf(onScreen_);
}

std::string ErrorQueue::textOf(const Entry& e) {
  if (e.count == 1) return e.text;
  const std::string total = std::to_string(e.count);
  return e.text + (e.mixed ? " (the last of " + total + " errors)" : " (" + total + " times)");
}

std::string withInsertsFilled(std::string_view text, std::string_view subject) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '%' || at + 1 == text.size()) {
      out += text[at];
      continue;
    }
    const char next = text[++at];
    if (next >= '1' && next <= '9') {
      while (at + 1 < text.size() && text[at + 1] >= '0' && text[at + 1] <= '9') ++at;
      if (at + 1 < text.size() && text[at + 1] == '!') {
        const std::size_t end = text.find('!', at + 2);
        if (end != std::string_view::npos) at = end;
      }
      out += subject;
    } else if (next == 'n' || next == 'r' || next == 't') {
      out += ' ';
    } else {
      out += next;  // "%%", "%.", "%!"
    }
  }
  return out;
}

}  // namespace orv
