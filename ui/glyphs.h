// The stock glyphs of the bitmap buttons: a green tick (Ok), a red cross
// (Cancel) and an open door (Close), 18 x 18 pixels in the 16 standard
// colours, each with a greyed, embossed twin for a disabled button.
#pragma once

#include "platform/win32.h"

#include "core/window_model.h"

namespace orv::ui {

// Draws the glyph of a kind with its top left corner at (x, y), each of its
// pixels stretched to size / 18 screen pixels; transparent pixels are left alone.
void drawGlyph(HDC dc, ButtonKind kind, bool enabled, int x, int y, int size);

}  // namespace orv::ui
