// shapes/curve_draw.h - the curve tools' rubber bands on the window.
//
// Everything here draws with the exclusive-or raster operation, so drawing
// the same points again erases them. The tools keep the window points they
// last drew and erase by drawing exactly those again: then the window shows
// exactly the current band, whatever changed in between (a segment that was
// drawn in one call and erased in two would leave stray pixels where the
// two halves meet).
//
// The node square is the inactive node marker of the path display (grey
// brush, 2-pixel pen in 0xFFFF00, (x - 4, y - 4) to (x + 5, y + 5)). It is
// drawn here on the device context directly, because the shape tools sit
// beside the display code, not above it.
#pragma once

#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/view.h"

namespace curvedraw {

constexpr COLORREF kBandColour = 0xC0C0C0;
constexpr COLORREF kNodeColour = 0xFFFF00;

// Nearest integer, halves away from zero, saturated to the 32-bit range (a
// value that is not a number gives 0).
int32_t RoundToInt(double v);
// Image to window pixels by rounding: x * zoom - scrollX + left.
POINT ImageToWindow(const CoordStruct *view, double x, double y);

// A move to pts[0] and one poly-Bezier through the whole curves that
// follow; with nodes, a node square on every third point from pts[0].
void XorCurve(HDC hdc, const POINT *pts, int32_t n, bool nodes);
// Piece i (1 <= i < n) joins pts[i - 1] to pts[i], one line call each, so
// pieces drawn one at a time are erased by one call over all of them. With
// `drawn`, only the pieces i with drawn[i] set.
void XorPolyline(HDC hdc, const POINT *pts, int32_t n, const bool *drawn = nullptr);

}  // namespace curvedraw
