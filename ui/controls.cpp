#include "ui/controls.h"

#include <commctrl.h>

#include <string>

#include "platform/win32_backend.h"
#include "ui/glyphs.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

std::string windowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  const int copied = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

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
  const Bounds b = scaled(bounds_, dpi);
  MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ChildControl::createWindow(HWND parent, const char* windowClass, const char* text, DWORD style, int id,
                                int dpi) {
  const Bounds b = scaled(bounds_, dpi);
  hwnd_ = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, b.left, b.top, b.width, b.height,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                          nullptr);
  if (hwnd_ == nullptr) throwLastError("Cannot create a control");
}

// --- LabelControl ---

void LabelControl::create(HWND parent, int id, int dpi) {
  // One line, cut at the right edge; "&" marks a mnemonic (no SS_NOPREFIX).
  createWindow(parent, "STATIC", model_.caption().c_str(), SS_LEFTNOWORDWRAP, id, dpi);
  if (autoSize_) SetWindowSubclass(hwnd_, subclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void LabelControl::place(int dpi, HFONT font) {
  ChildControl::place(dpi, font);
  if (autoSize_) fitToText();
}

bool LabelControl::reflect(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_CTLCOLORSTATIC) return false;
  result = faceColors(reinterpret_cast<HDC>(wParam), toColorRef(model_.fontColor()));
  return true;
}

LRESULT CALLBACK LabelControl::subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, subclassProc, 0);
  const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  if (msg == WM_SETTEXT || msg == WM_SETFONT) reinterpret_cast<LabelControl*>(self)->fitToText();
  return result;
}

void LabelControl::fitToText() {
  const std::string text = windowText(hwnd_);
  HDC dc = GetDC(hwnd_);
  if (dc == nullptr) return;
  const HGDIOBJ old = SelectObject(dc, fontOf(hwnd_));
  RECT r{0, 0, 0, 0};
  if (!text.empty()) DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, tm.tmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- BitmapButtonControl ---

void BitmapButtonControl::create(HWND parent, int id, int dpi) {
  dpi_ = dpi;
  createWindow(parent, "BUTTON", model_.caption().c_str(), BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, id, dpi);
}

void BitmapButtonControl::place(int dpi, HFONT font) {
  dpi_ = dpi;
  ChildControl::place(dpi, font);
}

bool BitmapButtonControl::reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_COMMAND) {
    const WORD code = HIWORD(wParam);
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return false;
    // The second click of a double click arrives as BN_DOUBLECLICKED: a click all the same.
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

void CheckBoxControl::create(HWND parent, int id, const char* caption, int dpi) {
  // BS_CHECKBOX, not the automatic kind: the toolkit decides the state.
  createWindow(parent, "BUTTON", caption, BS_CHECKBOX | BS_NOTIFY | WS_TABSTOP | (model_.enabled() ? 0 : WS_DISABLED),
               id, dpi);
  SendMessageA(hwnd_, BM_SETCHECK, model_.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBoxControl::reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  (void)lParam;
  if (msg == WM_COMMAND) {
    const WORD code = HIWORD(wParam);
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return false;
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

void GroupBoxControl::create(HWND parent, int id, const char* caption, int dpi) {
  createWindow(parent, "BUTTON", caption, BS_GROUPBOX, id, dpi);
  SetWindowSubclass(hwnd_, subclassProc, 0, 0);
}

LRESULT CALLBACK GroupBoxControl::subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR) {
  switch (msg) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, subclassProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace orv::ui
