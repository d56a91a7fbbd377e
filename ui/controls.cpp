#include "ui/controls.h"

#include <algorithm>
#include <string>

#include "platform/win32_backend.h"
#include "ui/glyphs.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

HFONT fontOf(HWND hwnd) { return reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)); }

}  // namespace

LRESULT faceColors(HDC dc, COLORREF textColor) {
  SetTextColor(dc, textColor);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// --- ChildControl ---

bool ChildControl::reflect(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void ChildControl::place(int dpi, HFONT font) {
  const Bounds b = scaled(entry_.bounds, dpi);
  MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ChildControl::createWindow(HWND parent, const char* windowClass, const char* text, DWORD style, int dpi) {
  const Bounds b = scaled(entry_.bounds, dpi);
  hwnd_ = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, b.left, b.top, b.width, b.height,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(entry_.role))), GetModuleHandleA(nullptr),
                          createParam());
  if (hwnd_ == nullptr) throwLastError("Cannot create a control");
}

// --- LabelControl ---

namespace {
constexpr const char* kLabelClass = "TLabel";
}  // namespace

void LabelControl::create(HWND parent, int dpi) {
  static bool registered = false;
  if (!registered) {
    registerClass(kLabelClass, GetModuleHandleA(nullptr), "Cannot register the label class");
    registered = true;
  }
  text_ = model_.caption();
  createWindow(parent, kLabelClass, text_.c_str(), 0, dpi);
}

void LabelControl::place(int dpi, HFONT font) {
  ChildControl::place(dpi, font);
  if (fitsText_) fitToText();
}

LRESULT LabelControl::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT:
      text_ = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      if (fitsText_) fitToText();
      scheduleRepaint();
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(text_.size(), static_cast<std::size_t>(wParam) - 1);
      char* out = reinterpret_cast<char*>(lParam);
      text_.copy(out, n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      if (fitsText_) fitToText();
      if (LOWORD(lParam) != 0) invalidate();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_ERASEBKGND:
      return 1;  // painted with the text
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_PAINT:
      paint();
      return 0;
    case WM_TIMER:
      KillTimer(hwnd_, wParam);
      repaintTimer_ = false;
      invalidate();
      return 0;
    default:
      return defaultHandling(msg, wParam, lParam);
  }
}

void LabelControl::scheduleRepaint() {
  if (invalid_ || repaintTimer_) return;
  const ULONGLONG since = GetTickCount64() - lastPaint_;
  if (since >= kMinRepaintMs) {
    invalidate();
  } else if (SetTimer(hwnd_, 1, static_cast<UINT>(kMinRepaintMs - since), nullptr) != 0) {
    repaintTimer_ = true;
  } else {
    invalidate();
  }
}

void LabelControl::invalidate() {
  if (invalid_) return;
  invalid_ = true;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void LabelControl::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  invalid_ = false;
  lastPaint_ = GetTickCount64();
  RECT r;
  GetClientRect(hwnd_, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, toColorRef(model_.fontColor()));
  DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &r, DT_LEFT | DT_TOP | DT_SINGLELINE);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  EndPaint(hwnd_, &ps);
  // Programs that read window texts without asking the window (GetWindowText
  // from another process) see what was last painted.
  DefWindowProcA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
}

void LabelControl::fitToText() {
  HDC dc = GetDC(hwnd_);
  if (dc == nullptr) return;
  const HGDIOBJ old = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
  RECT r{0, 0, 0, 0};
  if (!text_.empty()) DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  if (old != nullptr) SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, tm.tmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- BitmapButtonControl ---

void BitmapButtonControl::create(HWND parent, int dpi) {
  dpi_ = dpi;
  createWindow(parent, "BUTTON", model_.caption().c_str(), BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, dpi);
}

void BitmapButtonControl::place(int dpi, HFONT font) {
  dpi_ = dpi;
  ChildControl::place(dpi, font);
}

bool BitmapButtonControl::reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_COMMAND) {
    if (!isClick(wParam)) return false;
    if (onPress) onPress();
    result = 0;
    return true;
  }
  if (msg == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item->CtlType != ODT_BUTTON) return false;
    draw(*item);
    result = TRUE;
    return true;
  }
  return false;
}

void BitmapButtonControl::draw(const DRAWITEMSTRUCT& item) const {
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  if (width <= 0 || height <= 0) return;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;

  // Drawn off screen and copied in one piece: no flicker.
  HDC dc = CreateCompatibleDC(item.hDC);
  HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, width, height);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ oldFont = SelectObject(dc, fontOf(hwnd_));

  RECT r{0, 0, width, height};
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (hasDefaultFrame && hasDefaultFrame()) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&r, -1, -1);
  }
  if (pushed)
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  else
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);

  // Glyph and caption side by side, centred together; pushed, both move down and right.
  const std::string& caption = model_.caption();
  const UINT format = DT_SINGLELINE | DT_LEFT | DT_VCENTER | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  RECT textSize{0, 0, 0, 0};
  if (!caption.empty()) DrawTextA(dc, caption.c_str(), -1, &textSize, format | DT_CALCRECT);
  const int glyph = scaled(kGlyphSize, dpi_);
  const int gap = caption.empty() ? 0 : scaled(kGlyphSpacing, dpi_);
  const int total = glyph + gap + (textSize.right - textSize.left);
  const int shift = pushed ? 1 : 0;
  const int x = (width - total) / 2 + shift;
  drawGlyph(dc, model_.kind(), enabled, x, (height - glyph) / 2 + shift, glyph);

  if (!caption.empty()) {
    RECT text{x + glyph + gap, shift, x + total + 1, height + shift};
    SetBkMode(dc, TRANSPARENT);
    if (enabled) {
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      DrawTextA(dc, caption.c_str(), -1, &text, format);
    } else {
      OffsetRect(&text, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextA(dc, caption.c_str(), -1, &text, format);
      OffsetRect(&text, -1, -1);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
      DrawTextA(dc, caption.c_str(), -1, &text, format);
    }
  }

  if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }

  BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// --- CheckBoxControl ---

void CheckBoxControl::create(HWND parent, int dpi) {
  // BS_CHECKBOX, not the automatic kind: the toolkit decides the state.
  createWindow(parent, "BUTTON", entry_.caption,
               BS_CHECKBOX | BS_NOTIFY | WS_TABSTOP | (model_.enabled() ? 0 : WS_DISABLED), dpi);
  SendMessageA(hwnd_, BM_SETCHECK, model_.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBoxControl::reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  (void)lParam;
  if (msg == WM_COMMAND) {
    if (!isClick(wParam)) return false;
    if (onPress) onPress();
    result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    result = faceColors(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
    return true;
  }
  return false;
}

// --- GroupBoxControl ---

void GroupBoxControl::create(HWND parent, int dpi) {
  createWindow(parent, "BUTTON", entry_.caption, BS_GROUPBOX, dpi);
  subclass();
}

LRESULT GroupBoxControl::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(hwnd_), msg, wParam, lParam);
    default:
      return defaultHandling(msg, wParam, lParam);
  }
}

}  // namespace orv::ui
