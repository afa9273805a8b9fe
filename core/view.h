// core/view.h - the window view, its overlay buffer and the view mapping.
//
// Units: window pixels are integers relative to the client origin; image
// coordinates are doubles (or FIXED) in image pixels; zoom is window pixels
// per image unit.
//
// The overlay buffer belongs to the PathTable and is borrowed by the views.
// Its stored width and height follow the view the host last described, and
// KyPathCoordStruct deliberately keeps an existing buffer even when the
// client size changed. So the size recorded in the table (width, height)
// is not always the size of the buffer. Whenever the library allocates or
// replaces the buffer it records the real size in reserved[0..1] of the
// table and of the views pointed at it; WritableOverlay turns that into the
// only extent drawing and compositing may touch.
#pragma once

#include <cmath>
#include <cstdint>

#include "y32path/table.h"
#include "y32path/view.h"

namespace view {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(CoordStruct) == 56, "32-bit view record is 56 bytes");
#endif

// Where the real overlay size is recorded.
constexpr int kRealWidthWord = 0;
constexpr int kRealHeightWord = 1;

// The part of an overlay buffer that drawing may read and write:
// `height` rows of `width` bytes, row r starting at bits + r * stride.
// stride is the width the buffer was allocated with, so every row starts
// where the allocation put it even when the view is now wider or narrower.
// An empty extent (bits null, or width or height 0) means draw nothing.
struct OverlayExtent {
    uint8_t *bits;
    int32_t stride;
    int32_t width;
    int32_t height;
    bool empty() const { return !bits || width <= 0 || height <= 0; }
};

// The overlay extent of a view: the intersection of its client size and
// the buffer's real size. With a table that holds a different buffer than
// the view (a stale view), the extent is empty. Without a recorded real
// size the client size is trusted (a buffer the host attached itself).
OverlayExtent WritableOverlay(const PathTable *t, const CoordStruct *v);
// The same for compositing, which has only the table: its stored width and
// height clipped to the real size.
OverlayExtent TableOverlay(const PathTable *t);


// Overlay ownership (all on the run-time heap).
// Replaces the table's buffer by a new zero-filled one of width x height
// bytes (negative sizes count as 0) and records its real size. The old
// buffer is freed in every case; on failure lpDB is null and false is
// returned.
bool ReplaceOverlay(PathTable *t, int32_t width, int32_t height);
// Gives the table a buffer made elsewhere in the library (for example a
// cropped copy) of that real size; the old one is freed unless it is the
// same block.
void AdoptOverlay(PathTable *t, uint8_t *bits, int32_t width, int32_t height);
// Frees the table's buffer and forgets its size.
void FreeOverlay(PathTable *t);
// Points the view at the table's buffer, with its real size.
void BorrowOverlay(const PathTable *t, CoordStruct *v);

// Truncation toward zero of a window coordinate, saturated to the 32-bit
// range instead of overflowing for absurd zooms.
inline int32_t TruncToInt(double d) {
    if (!(d > -2147483648.0)) return d != d ? 0 : INT32_MIN;
    if (!(d < 2147483647.0)) return INT32_MAX;
    return static_cast<int32_t>(d);
}

inline int32_t Clamp32(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v));
}

// Client size of a view, never negative.
inline int32_t ClientWidth(const CoordStruct *v) {
    return v->right > v->left ? Clamp32(int64_t{v->right} - v->left) : 0;
}
inline int32_t ClientHeight(const CoordStruct *v) {
    return v->bottom > v->top ? Clamp32(int64_t{v->bottom} - v->top) : 0;
}

// Image to window: wx = trunc(x * zoom) - (scrollX - left), worked in 64
// bits and saturated.
inline int32_t ImageToWindowX(const CoordStruct *v, double x) {
    return Clamp32(int64_t{TruncToInt(x * v->zoom)} - (int64_t{v->scrollX} - v->left));
}
inline int32_t ImageToWindowY(const CoordStruct *v, double y) {
    return Clamp32(int64_t{TruncToInt(y * v->zoom)} - (int64_t{v->scrollY} - v->top));
}
inline int32_t FixedToWindowX(const CoordStruct *v, FIXED x) { return ImageToWindowX(v, x * (1.0 / 65536.0)); }
inline int32_t FixedToWindowY(const CoordStruct *v, FIXED y) { return ImageToWindowY(v, y * (1.0 / 65536.0)); }

// Window to image: x = (scrollX + wx) / zoom (the window point relative to
// the client origin). A zero zoom gives false and leaves the outputs.
inline bool WindowToImage(const CoordStruct *v, double wx, double wy, double *x, double *y) {
    if (v->zoom == 0.0) return false;
    *x = (v->scrollX + wx) / v->zoom;
    *y = (v->scrollY + wy) / v->zoom;
    return true;
}

// Zooms closer than this count as equal when a table's overlay is checked
// against a view.
constexpr double kZoomTolerance = 0.00001;

}  // namespace view
