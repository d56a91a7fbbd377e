#include "ui/glyphs.h"

#include "ui/layout.h"

namespace orv::ui {

namespace {

constexpr int kSide = kGlyphSize;

// One letter per pixel: '.' is transparent, the others name a colour of the
// standard 16-colour palette (see paletteColor).
using Pixels = const char* const[kSide];

Pixels kTick = {
    "..................",
    "..................",
    "...............K..",
    "..............KgK.",
    ".............KggGK",
    "............KggGK.",
    "...........KggGK..",
    "..K.......KggGK...",
    ".KgK.....KggGK....",
    "KggGK...KggGK.....",
    ".KgGGK.KggGK......",
    "..KgGGKggGK.......",
    "...KgGGgGK........",
    "....KgGGK.........",
    ".....KGK..........",
    "......K...........",
    "..................",
    "..................",
};

Pixels kCross = {
    "..................",
    "..................",
    "..KK.........KK...",
    ".KrrK.......KrrK..",
    ".KrrrK.....KrrrRK.",
    "..KrrrK...KrrrRK..",
    "...KrrrK.KrrrRK...",
    "....KrrrKrrrRK....",
    ".....KrrrrrRK.....",
    ".....KrrrrrRK.....",
    "....KrrrRKrrrK....",
    "...KrrrRK.KrrrK...",
    "..KrrrRK...KrrrK..",
    ".KrrrRK.....KrrRK.",
    ".KrrRK.......KRRK.",
    "..KK.........KK...",
    "..................",
    "..................",
};

// The door swings out towards the viewer from the left jamb of its frame.
Pixels kDoor = {
    "..KK..............",
    "..KyKK..KKKKKKKKK.",
    "..KyyyKKKSSSSSSSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KKyyOOKSNNNNNSK.",
    "..KKyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyOOKSNNNNNSK.",
    "..KyyyKKKSSSSSSSK.",
    "..KyKK..KKKKKKKKK.",
    "..KK..............",
};

bool paletteColor(char letter, COLORREF& color) {
  switch (letter) {
    case 'K': color = RGB(0, 0, 0); return true;
    case 'R': color = RGB(128, 0, 0); return true;
    case 'G': color = RGB(0, 128, 0); return true;
    case 'O': color = RGB(128, 128, 0); return true;
    case 'N': color = RGB(0, 0, 128); return true;
    case 'P': color = RGB(128, 0, 128); return true;
    case 'T': color = RGB(0, 128, 128); return true;
    case 'S': color = RGB(192, 192, 192); return true;
    case 'D': color = RGB(128, 128, 128); return true;
    case 'r': color = RGB(255, 0, 0); return true;
    case 'g': color = RGB(0, 255, 0); return true;
    case 'y': color = RGB(255, 255, 0); return true;
    case 'b': color = RGB(0, 0, 255); return true;
    case 'm': color = RGB(255, 0, 255); return true;
    case 'c': color = RGB(0, 255, 255); return true;
    case 'W': color = RGB(255, 255, 255); return true;
    default: return false;
  }
}

Pixels& pixelsOf(ButtonKind kind) {
  switch (kind) {
    case ButtonKind::Ok: return kTick;
    case ButtonKind::Cancel: return kCross;
    case ButtonKind::Close: break;
  }
  return kDoor;
}

// The greyed twin keeps the glyph's darker pixels, in the shadow colour, each
// with a highlight one pixel down and to the right: the engraved look of a
// disabled control. Lighter pixels drop out and show the button face.
bool isDark(char letter) {
  COLORREF c;
  if (!paletteColor(letter, c)) return false;
  const int luma = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
  return luma < 160;
}

void fillPixel(HDC dc, int x, int y, int size, int px, int py, COLORREF color) {
  // Pixel edges at rounded multiples of size/18: crisp at any scale.
  RECT r{x + px * size / kSide, y + py * size / kSide, x + (px + 1) * size / kSide, y + (py + 1) * size / kSide};
  if (r.right <= r.left || r.bottom <= r.top) return;
  SetDCBrushColor(dc, color);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace

void drawGlyph(HDC dc, ButtonKind kind, bool enabled, int x, int y, int size) {
  Pixels& pixels = pixelsOf(kind);
  const COLORREF oldBrush = GetDCBrushColor(dc);
  if (enabled) {
    for (int py = 0; py < kSide; ++py)
      for (int px = 0; px < kSide; ++px) {
        COLORREF color;
        if (paletteColor(pixels[py][px], color)) fillPixel(dc, x, y, size, px, py, color);
      }
  } else {
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    for (int py = 0; py + 1 < kSide; ++py)
      for (int px = 0; px + 1 < kSide; ++px)
        if (isDark(pixels[py][px])) fillPixel(dc, x, y, size, px + 1, py + 1, highlight);
    for (int py = 0; py < kSide; ++py)
      for (int px = 0; px < kSide; ++px)
        if (isDark(pixels[py][px])) fillPixel(dc, x, y, size, px, py, shadow);
  }
  SetDCBrushColor(dc, oldBrush);
}

}  // namespace orv::ui
