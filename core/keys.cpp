#include "core/keys.h"

namespace orv {

namespace {

bool isPushButton(Control c) noexcept { return c == Control::RecordButton || c == Control::CloseButton; }

// The next control along the tab order that can take the focus, the one it
// starts from coming last; none when no control can.
std::optional<Control> nextFocus(const KeyContext& context, bool forward) {
  constexpr int count = static_cast<int>(kTabOrder.size());
  const std::optional<Control> from = context.focus ? context.focus : context.lastFocus;
  int current = forward ? count - 1 : 0;  // from outside the order: from its first or last control
  for (int i = 0; i < count; ++i)
    if (kTabOrder[i] == from) current = i;
  for (int step = 1; step <= count; ++step) {
    const int i = ((current + (forward ? step : -step)) % count + count) % count;
    if (context.canFocus(kTabOrder[i])) return kTabOrder[i];
  }
  return std::nullopt;
}

KeyAction pressOrTake(std::optional<Control> control) {
  return control ? KeyAction::press(*control) : KeyAction{KeyAction::What::Taken};
}

}  // namespace

std::optional<Control> enterButton(std::optional<Control> focus, ButtonKind recordButtonKind) {
  if (focus && isPushButton(*focus)) return focus;
  if (recordButtonKind == ButtonKind::Ok) return Control::RecordButton;
  return std::nullopt;
}

std::optional<Control> focusToRestore(const KeyContext& context) {
  if (context.lastFocus && context.canFocus(*context.lastFocus)) return context.lastFocus;
  return nextFocus(context, true);
}

KeyAction keyAction(Key key, const KeyContext& context) {
  if (key == Key::LetterC) return KeyAction::press(Control::CloseButton);
  if (context.ctrlOrAlt) return KeyAction{};
  switch (key) {
    case Key::Tab:
    case Key::ShiftTab: {
      const std::optional<Control> next = nextFocus(context, key == Key::Tab);
      return next ? KeyAction::focusOn(*next) : KeyAction{KeyAction::What::Taken};
    }
    case Key::Enter:
      return pressOrTake(enterButton(context.focus, context.recordButtonKind));
    case Key::Escape:
      return pressOrTake(context.recordButtonKind == ButtonKind::Cancel ? std::optional(Control::RecordButton)
                                                                        : std::nullopt);
    case Key::LetterC:
      break;
  }
  return KeyAction{};
}

}  // namespace orv
