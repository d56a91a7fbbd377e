#include "ui/main_window.h"

#include <string>
#include <variant>

#include "core/protocol.h"
#include "ui/control_table.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

int CALLBACK onFontFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// "MS Sans Serif" where the system has it; else the system's dialog font,
// at the same character height, so the layout keeps its proportions.
std::string fontFace() {
  LOGFONTA query = {};
  query.lfCharSet = DEFAULT_CHARSET;
  std::string(kFontFace).copy(query.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExA(dc, &query, onFontFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  if (found) return kFontFace;
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    return metrics.lfMessageFont.lfFaceName;
  return kFontFace;  // let the font mapper choose
}

HFONT makeFont(const std::string& face, int charHeight, bool bold, int dpi) {
  LOGFONTA lf = {};
  lf.lfHeight = -scaled(charHeight, dpi);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectA(&lf);
  if (font == nullptr) throwLastError("Cannot create a font");
  return font;
}

// The screen's dots per inch for this window (per monitor where the system tells).
int windowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : kDesignDpi;
}

template <class... Kinds>
struct Overloaded : Kinds... {
  using Kinds::operator()...;
};

}  // namespace

void MainWindow::release(Fonts& fonts) {
  for (HFONT& font : fonts) {
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
  }
}

MainWindow::MainWindow(FeedHub& hub, Win32Backend& backend) : hub_(hub), backend_(backend) {
  for (const ControlEntry& entry : kControls) {
    controls_[controlIndex(entry.role)] = makeControl(entry);
    const Control role = entry.role;
    control(role).onPress = [this, role] { guarded([this, role] { hub_.click(role); }); };
  }
}

// The wrapper of a control's kind, showing the logic's toolkit control.
std::unique_ptr<ChildControl> MainWindow::makeControl(const ControlEntry& entry) {
  return std::visit(
      Overloaded{
          [&](const LabelOf& kind) -> std::unique_ptr<ChildControl> {
            return std::make_unique<LabelControl>(entry, (hub_.window().*kind.model), kind.fitsText);
          },
          [&](const ButtonOf& kind) -> std::unique_ptr<ChildControl> {
            auto button = std::make_unique<BitmapButtonControl>(entry, (hub_.window().*kind.model));
            button->hasDefaultFrame = [this, role = entry.role] {
              return enterButton(focusedControl(), hub_.recordButton().kind()) == role;
            };
            return button;
          },
          [&](const CheckBoxOf& kind) -> std::unique_ptr<ChildControl> {
            return std::make_unique<CheckBoxControl>(entry, (hub_.window().*kind.model));
          },
          [&](const GroupBoxOf&) -> std::unique_ptr<ChildControl> { return std::make_unique<GroupBoxControl>(entry); },
      },
      entry.kind);
}

MainWindow::~MainWindow() {
  if (backend_.mainWindow() == hwnd_) backend_.setMainWindow(nullptr);
  for (const ControlEntry& entry : kControls) backend_.bindControl(controlId(entry.role), nullptr);
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  release(fonts_);
}

void MainWindow::create(HINSTANCE instance, HICON icon, HICON smallIcon) {
  registerClass(kMainWindowClass, instance, "Cannot register the main window",
                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)), icon, smallIcon);

  const Bounds& b = kWindowBounds;
  if (CreateWindowExA(0, kMainWindowClass, kAppTitle, WS_OVERLAPPEDWINDOW, b.left, b.top, b.width, b.height, nullptr,
                      nullptr, instance, createParam()) == nullptr)
    throwLastError("Cannot create the main window");

  dpi_ = windowDpi(hwnd_);
  if (dpi_ != kDesignDpi)
    SetWindowPos(hwnd_, nullptr, 0, 0, scaled(b.width, dpi_), scaled(b.height, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  for (const ControlEntry& entry : kControls) {
    ChildControl& wrapper = control(entry.role);
    wrapper.create(entry.parent ? control(*entry.parent).hwnd() : hwnd_, dpi_);
    backend_.bindControl(controlId(entry.role), wrapper.hwnd());
  }
  applyDpi(dpi_);
  backend_.setMainWindow(hwnd_);
  lastFocus_ = kTabOrder.front();
  // The window runs the timers, the notification-area icon's among them.
  guarded([this] { hub_.startNotificationTips(); });
}

void MainWindow::show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
}

void MainWindow::applyDpi(int dpi) {
  dpi_ = dpi;
  Fonts old = fonts_;
  const std::string face = fontFace();
  for (std::size_t i = 0; i < fonts_.size(); ++i) fonts_[i] = makeFont(face, kFonts[i].charHeight, kFonts[i].bold, dpi);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(FontRole::Window)), FALSE);
  for (const ControlEntry& entry : kControls) control(entry.role).place(dpi, fontOf(entry.font));
  release(old);
}

ChildControl* MainWindow::controlOf(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  for (const auto& c : controls_)
    if (c->hwnd() == hwnd) return c.get();
  return nullptr;
}

std::optional<Control> MainWindow::focusedControl() {
  if (ChildControl* focused = controlOf(GetFocus())) return focused->entry().role;
  return std::nullopt;
}

KeyContext MainWindow::keyContext() {
  KeyContext context;
  context.focus = focusedControl();
  context.lastFocus = lastFocus_;
  context.recordButtonKind = hub_.recordButton().kind();
  context.canFocus = [this](Control role) {
    const HWND window = control(role).hwnd();
    return IsWindowEnabled(window) && IsWindowVisible(window);
  };
  context.ctrlOrAlt = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
  return context;
}

void MainWindow::focusNotified(ChildControl& focused, bool gained) {
  if (gained) lastFocus_ = focused.entry().role;
  // The heavy frame follows the button Enter would press.
  for (const ControlEntry& entry : kControls)
    if (std::holds_alternative<ButtonOf>(entry.kind)) InvalidateRect(control(entry.role).hwnd(), nullptr, FALSE);
  // Posted when the focused control has been disabled and the focus went nowhere.
  if (!gained && !IsWindowEnabled(focused.hwnd())) refocusPost_.post(hwnd_);
}

void MainWindow::restoreFocus() {
  if (const std::optional<Control> target = focusToRestore(keyContext())) SetFocus(control(*target).hwnd());
}

bool MainWindow::translateKey(const MSG& msg) {
  if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  std::optional<Key> key;
  if (msg.message == WM_KEYDOWN) {
    if (msg.wParam == VK_TAB) key = GetKeyState(VK_SHIFT) < 0 ? Key::ShiftTab : Key::Tab;
    if (msg.wParam == VK_RETURN) key = Key::Enter;
    if (msg.wParam == VK_ESCAPE) key = Key::Escape;
  } else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
    if (msg.wParam == 'c' || msg.wParam == 'C') key = Key::LetterC;  // WM_SYSCHAR: with Alt
  }
  if (!key) return false;
  const KeyAction action = keyAction(*key, keyContext());
  switch (action.what) {
    case KeyAction::What::NotTaken:
      return false;
    case KeyAction::What::Taken:
      return true;
    case KeyAction::What::Press:
      control(action.control).onPress();
      return true;
    case KeyAction::What::Focus:
      SetFocus(control(action.control).hwnd());
      return true;
  }
  return false;
}

LRESULT MainWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (refocusPost_.take(msg)) {
    if (GetActiveWindow() == hwnd_ && (GetFocus() == nullptr || GetFocus() == hwnd_)) restoreFocus();
    return 0;
  }
  LRESULT result = 0;
  switch (msg) {
    case WM_COMMAND:
      if (ChildControl* control = controlOf(reinterpret_cast<HWND>(lParam))) {
        const WORD code = HIWORD(wParam);
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
          focusNotified(*control, code == BN_SETFOCUS);
          return 0;
        }
        if (control->reflect(msg, wParam, lParam, result)) return result;
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item != nullptr)
        if (ChildControl* control = controlOf(item->hwndItem))
          if (control->reflect(msg, wParam, lParam, result)) return result;
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (ChildControl* control = controlOf(reinterpret_cast<HWND>(lParam)))
        if (control->reflect(msg, wParam, lParam, result)) return result;
      return faceColors(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
    case WM_TIMER:
      for (const TimerEntry& timer : kTimers)
        if (wParam == static_cast<WPARAM>(timer.id)) {
          guarded([this, role = timer.role] { hub_.timerElapsed(role); });
          return 0;
        }
      break;
    case WM_CLOSE:
      // The close operation; the window stays until the loop has ended.
      guarded([this] { hub_.close(); });
      return 0;
    case WM_QUERYENDSESSION:
      return hub_.mayEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
      if (wParam == FALSE)
        guarded([this] { hub_.sessionEndCancelled(); });
      else
        guarded([this] { hub_.sessionEnds(); });
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) restoreFocus();
      return 0;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      guarded([this, wParam] { applyDpi(HIWORD(wParam)); });
      if (suggested != nullptr)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    default:
      break;
  }

  // The feeder's protocol; whatever it does not take gets the default handling.
  Message message;
  message.msg = msg;
  message.wParam = static_cast<std::uint64_t>(wParam);
  message.lParam = static_cast<std::int64_t>(lParam);
  bool taken = true;  // an intake message that fails half way still answers its result
  guarded([this, &message, &taken] { taken = hub_.handleFeedMessage(message); });
  if (taken) return static_cast<LRESULT>(message.result);
  return defaultHandling(msg, wParam, lParam);
}

}  // namespace orv::ui
