#include "ui/main_window.h"

#include <string>

#include "core/protocol.h"
#include "ui/control_ids.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

// Posted to the main window when the focused control has been disabled and
// the focus went nowhere.
constexpr UINT kRefocusMessage = WM_APP + 1;

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

}  // namespace

void MainWindow::Fonts::release() {
  for (HFONT* font : {&window, &tickLine, &recordButton}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
}

MainWindow::MainWindow(Recorder& recorder, Win32Backend& backend)
    : recorder_(recorder),
      backend_(backend),
      tickLine_(recorder.tickLine(), kTickLineBounds, false),
      silenceLine_(recorder.silenceLine(), kSilenceLineBounds, true),
      closeButton_(recorder.closeButton(), kCloseButtonBounds),
      recordButton_(recorder.recordButton(), kRecordButtonBounds),
      testerGroup_(kTesterGroupBounds),
      liveBox_(recorder.liveBox(), kLiveBoxBounds),
      testDataBox_(recorder.testDataBox(), kTestDataBoxBounds) {
  recordButton_.onPress = [this] { guarded([this] { recorder_.click(Control::RecordButton); }); };
  closeButton_.onPress = [this] { guarded([this] { recorder_.click(Control::CloseButton); }); };
  liveBox_.onPress = [this] { guarded([this] { recorder_.click(Control::LiveBox); }); };
  testDataBox_.onPress = [this] { guarded([this] { recorder_.click(Control::TestDataBox); }); };
  recordButton_.hasDefaultFrame = [this] { return enterButton() == &recordButton_; };
  closeButton_.hasDefaultFrame = [this] { return enterButton() == &closeButton_; };
}

MainWindow::~MainWindow() {
  if (backend_.mainWindow() == hwnd_) backend_.setMainWindow(nullptr);
  for (Control c : {Control::TickLine, Control::SilenceLine, Control::RecordButton, Control::CloseButton, Control::TesterGroup,
                    Control::LiveBox, Control::TestDataBox})
    backend_.bindControl(c, nullptr);
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  fonts_.release();
}

void MainWindow::create(HINSTANCE instance, HICON icon, HICON smallIcon) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  if (RegisterClassExA(&wc) == 0) throwLastError("Cannot register the main window");

  const Bounds& b = kWindowBounds;
  if (CreateWindowExA(0, kMainWindowClass, kAppTitle, WS_OVERLAPPEDWINDOW, b.left, b.top, b.width, b.height, nullptr,
                      nullptr, instance, this) == nullptr)
    throwLastError("Cannot create the main window");

  dpi_ = windowDpi(hwnd_);
  if (dpi_ != kDesignDpi)
    SetWindowPos(hwnd_, nullptr, 0, 0, scaled(b.width, dpi_), scaled(b.height, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  tickLine_.create(hwnd_, kIdTickLine, dpi_);
  silenceLine_.create(hwnd_, kIdSilenceLine, dpi_);
  closeButton_.create(hwnd_, kIdCloseButton, dpi_);
  recordButton_.create(hwnd_, kIdRecordButton, dpi_);
  testerGroup_.create(hwnd_, kIdTesterGroup, kTesterGroupCaption, dpi_);
  liveBox_.create(testerGroup_.hwnd(), kIdLiveBox, kLiveBoxCaption, dpi_);
  testDataBox_.create(testerGroup_.hwnd(), kIdTestDataBox, kTestDataBoxCaption, dpi_);
  applyDpi(dpi_);

  backend_.bindControl(Control::TickLine, tickLine_.hwnd());
  backend_.bindControl(Control::SilenceLine, silenceLine_.hwnd());
  backend_.bindControl(Control::RecordButton, recordButton_.hwnd());
  backend_.bindControl(Control::CloseButton, closeButton_.hwnd());
  backend_.bindControl(Control::TesterGroup, testerGroup_.hwnd());
  backend_.bindControl(Control::LiveBox, liveBox_.hwnd());
  backend_.bindControl(Control::TestDataBox, testDataBox_.hwnd());
  backend_.setMainWindow(hwnd_);
  lastFocus_ = recordButton_.hwnd();  // first in the tab order
}

void MainWindow::show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
}

void MainWindow::applyDpi(int dpi) {
  dpi_ = dpi;
  Fonts old = fonts_;
  const std::string face = fontFace();
  fonts_.window = makeFont(face, kWindowFontHeight, false, dpi);
  fonts_.tickLine = makeFont(face, kTickLineFontHeight, false, dpi);
  fonts_.recordButton = makeFont(face, kRecordButtonFontHeight, true, dpi);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.window), FALSE);
  tickLine_.place(dpi, fonts_.tickLine);
  silenceLine_.place(dpi, fonts_.window);
  closeButton_.place(dpi, fonts_.window);
  recordButton_.place(dpi, fonts_.recordButton);
  testerGroup_.place(dpi, fonts_.window);
  liveBox_.place(dpi, fonts_.window);
  testDataBox_.place(dpi, fonts_.window);
  old.release();
}

ChildControl* MainWindow::controlOf(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  for (ChildControl* c : std::initializer_list<ChildControl*>{&tickLine_, &silenceLine_, &closeButton_, &recordButton_,
                                                               &testerGroup_, &liveBox_, &testDataBox_})
    if (c->hwnd() == hwnd) return c;
  return nullptr;
}

// The button Enter presses now: the focused one, else the default button
// while the record button's kind makes it one.
BitmapButtonControl* MainWindow::enterButton() {
  const HWND focus = GetFocus();
  if (focus != nullptr && focus == recordButton_.hwnd()) return &recordButton_;
  if (focus != nullptr && focus == closeButton_.hwnd()) return &closeButton_;
  return recorder_.recordButton().isDefault() ? &recordButton_ : nullptr;
}

void MainWindow::focusNotified(HWND control, bool gained) {
  if (gained) lastFocus_ = control;
  // The heavy frame follows the button Enter would press.
  InvalidateRect(recordButton_.hwnd(), nullptr, FALSE);
  InvalidateRect(closeButton_.hwnd(), nullptr, FALSE);
  if (!gained && !IsWindowEnabled(control)) PostMessageA(hwnd_, kRefocusMessage, 0, 0);
}

void MainWindow::moveFocus(bool forward) {
  const HWND order[] = {recordButton_.hwnd(), closeButton_.hwnd(), liveBox_.hwnd(), testDataBox_.hwnd()};
  constexpr int count = 4;
  HWND from = GetFocus();
  int current = -1;
  for (int i = 0; i < count; ++i)
    if (order[i] == from || ((from == nullptr || from == hwnd_) && order[i] == lastFocus_)) current = i;
  if (current < 0) current = forward ? count - 1 : 0;
  for (int step = 1; step <= count; ++step) {
    const int i = ((current + (forward ? step : -step)) % count + count) % count;
    if (IsWindowEnabled(order[i]) && IsWindowVisible(order[i])) {
      SetFocus(order[i]);
      return;
    }
  }
}

void MainWindow::restoreFocus() {
  if (lastFocus_ != nullptr && IsWindowEnabled(lastFocus_) && IsWindowVisible(lastFocus_)) {
    SetFocus(lastFocus_);
    return;
  }
  moveFocus(true);  // from the last focused control to the next usable one
}

bool MainWindow::translateKey(const MSG& msg) {
  if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  const bool ctrlOrAlt = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
  switch (msg.message) {
    case WM_KEYDOWN:
      if (ctrlOrAlt) return false;
      switch (msg.wParam) {
        case VK_TAB:
          moveFocus(GetKeyState(VK_SHIFT) >= 0);
          return true;
        case VK_RETURN:
          if (BitmapButtonControl* button = enterButton()) button->onPress();
          return true;
        case VK_ESCAPE:
          if (recorder_.recordButton().isCancel()) recordButton_.onPress();
          return true;
        default:
          return false;
      }
    case WM_CHAR:
    case WM_SYSCHAR:
      // C, either case, with or without Alt: the mnemonic of "&Close".
      if (msg.wParam == 'c' || msg.wParam == 'C') {
        closeButton_.onPress();
        return true;
      }
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return self->handle(msg, wParam, lParam);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (msg) {
    case WM_COMMAND:
      if (ChildControl* control = controlOf(reinterpret_cast<HWND>(lParam))) {
        const WORD code = HIWORD(wParam);
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
          focusNotified(control->hwnd(), code == BN_SETFOCUS);
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
      if (wParam == static_cast<WPARAM>(TimerId::Pulse)) {
        guarded([this] { recorder_.timerElapsed(TimerId::Pulse); });
        return 0;
      }
      break;
    case WM_CLOSE:
      // The close operation; the window stays until the loop has ended.
      guarded([this] { recorder_.close(); });
      return 0;
    case WM_QUERYENDSESSION: {
      bool canClose = true;
      guarded([this, &canClose] { canClose = recorder_.confirmClose(); });
      return canClose ? TRUE : FALSE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) restoreFocus();
      return 0;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case kRefocusMessage:
      if (GetActiveWindow() == hwnd_ && (GetFocus() == nullptr || GetFocus() == hwnd_)) restoreFocus();
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
  guarded([this, &message, &taken] { taken = recorder_.handleFeedMessage(message); });
  if (taken) return static_cast<LRESULT>(message.result);
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

}  // namespace orv::ui
