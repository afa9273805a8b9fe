// display/overlay_raster.h - one-pixel outlines in the overlay byte buffer.
//
// The overlay has one byte per client pixel:
//   bits 0-5  how many outline passes cover the pixel (wraps at 64)
//   bit 6     the pixel belongs to the picked segment (highlight)
//   bit 7     drawn in the secondary style
// Drawing passes count up and erasing passes count down, so two overlapping
// outlines survive the erasing of one of them, as long as every erase walks
// the same segments as the draw it undoes. For that reason each segment's
// pixels depend on that segment alone (never on its neighbours), and the
// modes that draw a subset of segments (touching a selected node, the
// picked segment) choose it by the same rule when drawing and erasing.
//
// Units: overlay coordinates are doubles in window pixels relative to the
// client origin, ox = x * zoom - scrollX for an image x. Pixel (i, j)
// covers ox in [i, i + 1) and oy in [j, j + 1). Rectangles here are in
// overlay pixels with exclusive right and bottom.
#pragma once

#include <cstdint>

#include "core/view.h"
#include "y32path/types.h"
#include "y32path/view.h"

namespace overlay {

enum Mode : int32_t {
    kDraw = 0,           // every segment, count + 1, bits 6 and 7 cleared
    kDrawInternal = 1,   // as kDraw
    kErase = 2,          // every segment, count - 1
    kDrawTouching = 3,   // segments touching a selected node, as kDraw
    kEraseTouching = 4,  // the same segments, erased
    kDrawPicked = 5,     // the picked segment, as kDraw
    kErasePicked = 6,    // the picked segment, erased
    kDrawSecondary = 7,  // every segment, count + 1 and bit 7 set
    kHighlight = 8,      // the picked segment, bit 6 set
    kUnhighlight = 9,    // the picked segment, bit 6 cleared
};

constexpr uint8_t kCountMask = 0x3F;
constexpr uint8_t kHighlightBit = 0x40;
constexpr uint8_t kSecondaryBit = 0x80;

// What one pass over a pixel does to its byte.
inline uint8_t Update(uint8_t b, Mode m) {
    switch (m) {
        case kErase:
        case kEraseTouching:
        case kErasePicked: {
            const uint8_t count = b & kCountMask;
            // An erase that finds no count has nothing to undo (the overlay
            // was wiped since): leave it rather than wrap to 63 and leave a
            // stray pixel on the screen.
            if (count == 0) return b;
            return count == 1 ? 0 : static_cast<uint8_t>(b - 1);
        }
        case kDrawSecondary: return static_cast<uint8_t>(((b + 1) & kCountMask) | kSecondaryBit);
        case kHighlight: return b | kHighlightBit;
        case kUnhighlight: return b & static_cast<uint8_t>(~kHighlightBit);
        default: return static_cast<uint8_t>((b + 1) & kCountMask);
    }
}

// Where a pass may draw: the writable part of the overlay (see
// view::WritableOverlay, which already keeps it inside both the client
// rectangle and the real buffer) and the view mapping.
struct Canvas {
    view::OverlayExtent px;
    double zoom;
    double scroll_x, scroll_y;
    bool empty() const { return px.empty(); }
};

Canvas CanvasOf(const CoordStruct *v);

// A union of rectangles, in overlay pixels, exclusive right and bottom.
struct Dirty {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty = true;
    void Add(int32_t l, int32_t t, int32_t r, int32_t b);
    // Window coordinates: moved by the client origin. Empty gives all 0.
    Y32Rect ToWindow(const CoordStruct *v) const;
};

// The two segment plotters, in overlay coordinates. They draw only inside
// the segment's box (its points' integer box grown by one pixel, cut to the
// canvas) and add that box to `dirty` when it is not empty.
void PlotLine(const Canvas &c, double x0, double y0, double x1, double y1, Mode m, Dirty &dirty);
void PlotCubic(const Canvas &c, const double x[4], const double y[4], Mode m, Dirty &dirty);

// One pass over a record in a mode: walks its segments, keeps those the
// mode draws, plots them. After a kDraw pass over a record with a picked
// segment a kHighlight pass follows, so a picked segment always shows.
void RasterRecord(const Canvas &c, const KyPath *p, Mode m, Dirty &dirty);

// Clears the writable part of the overlay.
void Wipe(const Canvas &c);

}  // namespace overlay
