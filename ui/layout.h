// The main window's layout: bounds in pixels on a 96 dpi screen, relative to
// the parent's client area (the window's own bounds are on the screen and
// include its frame), and its fonts. The controls' bounds are in
// control_table.h.
#pragma once

#include <array>

namespace orv::ui {

struct Bounds {
  int left, top, width, height;
};

inline constexpr int kDesignDpi = 96;

inline constexpr Bounds kWindowBounds{337, 244, 450, 234};

// The window's fonts, all of one face: the window's own (and most
// controls'), the tick line's and the record button's.
enum class FontRole : int { Window, TickLine, RecordButton };
inline constexpr int kFontCount = 3;
struct FontStyle {
  int charHeight;  // in pixels, the internal leading not counted
  bool bold;
};
inline constexpr std::array<FontStyle, kFontCount> kFonts{{{11, false}, {18, false}, {17, true}}};  // by FontRole
inline constexpr const char* kFontFace = "MS Sans Serif";

// Bitmap buttons: the glyph's side and the gap between glyph and caption.
inline constexpr int kGlyphSize = 18;
inline constexpr int kGlyphSpacing = 4;

// A length of the layout on a screen of the given dots per inch, rounded to
// the nearest pixel.
constexpr int scaled(int length, int dpi) noexcept {
  const long long product = static_cast<long long>(length) * dpi;
  return static_cast<int>(product >= 0 ? (product + kDesignDpi / 2) / kDesignDpi
                                       : -((-product + kDesignDpi / 2) / kDesignDpi));
}

constexpr Bounds scaled(const Bounds& b, int dpi) noexcept {
  return Bounds{scaled(b.left, dpi), scaled(b.top, dpi), scaled(b.width, dpi), scaled(b.height, dpi)};
}

}  // namespace orv::ui
