// The main window's layout: bounds in pixels on a 96 dpi screen, relative to
// the parent's client area (the window's own bounds are on the screen and
// include its frame), and the character heights of its fonts.
#pragma once

namespace orv::ui {

struct Bounds {
  int left, top, width, height;
};

inline constexpr int kDesignDpi = 96;

inline constexpr Bounds kWindowBounds{337, 244, 450, 234};

inline constexpr Bounds kTickLineBounds{8, 40, 417, 24};
inline constexpr Bounds kSilenceLineBounds{8, 16, 43, 13};  // sizes itself to its text
inline constexpr Bounds kCloseButtonBounds{280, 152, 145, 41};
inline constexpr Bounds kRecordButtonBounds{16, 80, 257, 112};
inline constexpr Bounds kTesterGroupBounds{280, 80, 145, 65};
inline constexpr Bounds kLiveBoxBounds{32, 16, 89, 17};  // in the tester group
inline constexpr Bounds kTestDataBoxBounds{32, 40, 89, 17};  // in the tester group

// Character heights in pixels (the internal leading not counted).
inline constexpr int kWindowFontHeight = 11;
inline constexpr int kTickLineFontHeight = 18;
inline constexpr int kRecordButtonFontHeight = 17;  // bold
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

namespace orv::ui {

// Captions the logic never changes.
inline constexpr const char* kTesterGroupCaption = "Feed to Zentavor";
inline constexpr const char* kLiveBoxCaption = "Live Data";
inline constexpr const char* kTestDataBoxCaption = "Test Data";

}  // namespace orv::ui
