// A window of the program's own that is never shown and only takes messages:
// what it gets goes to a handler, and what the handler leaves gets the
// default handling. A top-level one (no parent) also gets what the system
// broadcasts to top-level windows; one under HWND_MESSAGE gets only what is
// sent or posted to it.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <optional>

namespace orv {

class HiddenWindow {
 public:
  // The message's answer; nothing for the default handling.
  using Handler = std::function<std::optional<LRESULT>(UINT msg, WPARAM wParam, LPARAM lParam)>;

  HiddenWindow() = default;
  ~HiddenWindow() { destroy(); }
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;

  // Makes the window, of its own class (registered on first use), under
  // parent. False when the system refused.
  bool create(const char* className, HWND parent, Handler handler);
  void destroy() noexcept;
  HWND hwnd() const noexcept { return hwnd_; }

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  Handler handler_;
};

// A message a window posts to itself, taken only while it is on its way:
// any program may post the same number (broadcasts of WM_APP messages come
// to top-level windows).
class OwnPost {
 public:
  explicit OwnPost(UINT msg) noexcept : msg_(msg) {}
  UINT message() const noexcept { return msg_; }
  // Posts it to window unless it is already on its way; true when it is.
  bool post(HWND window) noexcept {
    if (!posted_ && window != nullptr) posted_ = PostMessageW(window, msg_, 0, 0) != FALSE;
    return posted_;
  }
  // True once for each post: the message that came is this one's.
  bool take(UINT msg) noexcept {
    if (msg != msg_ || !posted_) return false;
    posted_ = false;
    return true;
  }

 private:
  UINT msg_;
  bool posted_ = false;
};

}  // namespace orv
