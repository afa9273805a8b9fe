// display/outline_draw.cpp - the outline layer's entry points: whole-list
// drawing, the selection drawer, single segments, compositing, cropping and
// scrolling of the overlay.
//
// Rectangles handed back are window rectangles (client origin added), right
// and bottom exclusive, ready for the host to repaint.
#include "display/outline_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bounds.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/view.h"
#include "y32path/display.h"

namespace outline {

namespace {

KyPath *SelectionHead(KyPath *p) {
    while (p->selPrev) p = p->selPrev;
    return p;
}

}  // namespace

bool DrawRecord(const CoordStruct *v, const KyPath *p, overlay::Mode m, Y32Rect *out) {
    if (!v || !v->lpDB) return false;
    const overlay::Canvas c = overlay::CanvasOf(v);
    overlay::Dirty dirty;
    overlay::RasterRecord(c, p, m, dirty);
    if (out) *out = dirty.ToWindow(v);
    return true;
}

bool DrawSelection(const CoordStruct *v, KyPath *p, overlay::Mode m, Y32Rect *out) {
    if (!v || !v->lpDB || !p) return false;
    const overlay::Canvas c = overlay::CanvasOf(v);
    overlay::Dirty dirty;
    if ((p->flags & KPF_SELECTED) || m == overlay::kDrawPicked) {
        for (KyPath *r = SelectionHead(p); r; r = r->selNext) {
            const bool mark = (m == overlay::kDrawInternal || m == overlay::kDrawSecondary) &&
                              !(r->flags & KPF_HASSELPOINT);
            if (mark) r->flags |= KPF_DRAWNSELECTED;
            else r->flags &= ~KPF_DRAWNSELECTED;
            overlay::RasterRecord(c, r, m, dirty);
        }
    }
    if (out) *out = dirty.ToWindow(v);
    return true;
}

}  // namespace outline

namespace {

// A list whose last record is a wrap baseline or an envelope outline draws
// the rest in the secondary style.
constexpr uint32_t kMarkedChainFlags = KPF_LASTMARK | KPF_ENVELOPE1 | KPF_ENVELOPE2;  // 0x310000

int32_t SelectionEntry(CoordStruct *v, KyPath *p, Y32Rect *out, overlay::Mode m) {
    if (!p || !v || !out) return 0;
    outline::DrawSelection(v, p, m, out);
    return 1;
}

int32_t SegmentEntry(CoordStruct *v, KyPath *p, int32_t index, Y32Rect *out, overlay::Mode m) {
    if (!p || !v || !out) return 0;
    const uint32_t picked = KPF_HASSELPOINT | KPF_HASSELSEGMENT;
    if (!(p->flags & KPF_SELECTED) || (p->flags & picked) || index < 0 || index >= p->count - 1) return 0;
    // Picked for the duration of the call only: the record leaves exactly
    // as it came.
    PathPoint &start = path::Points(p)[index];
    const uint16_t saved_type = start.type;
    p->flags |= KPF_HASSELSEGMENT;
    start.type = static_cast<uint16_t>(saved_type | PT_SEGSELECTED);
    outline::DrawRecord(v, p, m, out);
    start.type = saved_type;
    p->flags &= ~KPF_HASSELSEGMENT;
    return 1;
}

// The window box of a record and the records after it, as the host sees
// it: the image box (whole pixels) scaled by the zoom, moved by the scroll
// offsets and the client origin, with the usual margin.
Y32Rect WindowBoxOf(const CoordStruct *v, const KyPath *p) {
    const Y32Rect img = bounds::PixelBox(p, bounds::Cover::kFollowing, fx::kOne);
    const double z = v->zoom;
    const double dx = static_cast<double>(v->left) - v->scrollX, dy = static_cast<double>(v->top) - v->scrollY;
    auto to32 = [](double d) {
        if (!(d == d)) return 0;
        return static_cast<int32_t>(std::max(-2147483648.0, std::min(2147483647.0, d)));
    };
    // The image pixel at the maximum integer part reaches to that part + 1.
    return Y32Rect{to32(std::floor(img.left * z) + dx - bounds::kMarginBefore),
                   to32(std::floor(img.top * z) + dy - bounds::kMarginBefore),
                   to32(std::ceil((img.right + 1.0) * z) + dx + bounds::kMarginAfter - 1),
                   to32(std::ceil((img.bottom + 1.0) * z) + dy + bounds::kMarginAfter - 1)};
}

// Inverts the covered pixels of the image by exclusive-or with the value of
// their kind. xor_values: secondary, highlight, plain; for 3-byte pixels the
// highlight leaves the first byte alone.
int32_t Composite(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *t, uint8_t *image, int32_t bytes,
                  const uint8_t xor_values[3]) {
    if (!t || !image) return 0;
    const view::OverlayExtent ov = view::TableOverlay(t);
    if (!t->lpDB) return 0;
    if (ov.empty() || x1 <= x0 || y1 <= y0) return 1;
    const int64_t row_pixels = int64_t{x1} - x0;
    const int32_t xs = std::max(x0, 0), ys = std::max(y0, 0);
    const int32_t xe = std::min(x1, ov.width), ye = std::min(y1, ov.height);
    for (int32_t y = ys; y < ye; ++y) {
        const uint8_t *src = ov.bits + static_cast<int64_t>(y) * ov.stride;
        uint8_t *dst = image + ((int64_t{y} - y0) * row_pixels + (int64_t{xs} - x0)) * bytes;
        for (int32_t x = xs; x < xe; ++x, dst += bytes) {
            const uint8_t b = src[x];
            if (!(b & overlay::kCountMask)) continue;
            if (b & overlay::kSecondaryBit) {
                for (int32_t k = 0; k < bytes; ++k) dst[k] ^= xor_values[0];
            } else if (b & overlay::kHighlightBit) {
                for (int32_t k = bytes == 3 ? 1 : 0; k < bytes; ++k) dst[k] ^= xor_values[1];
            } else {
                for (int32_t k = 0; k < bytes; ++k) dst[k] ^= xor_values[2];
            }
        }
    }
    return 1;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathDraw(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!p || !v || !out) return 0;
    if (!v->lpDB) return 1;
    const overlay::Canvas c = overlay::CanvasOf(v);
    // Wiping invalidates every outline on the window, so the whole client
    // rectangle is what the host must repaint; the drawn boxes lie in it.
    overlay::Dirty dirty;
    dirty.Add(0, 0, view::ClientWidth(v), view::ClientHeight(v));
    overlay::Wipe(c);
    KyPath *head = PathFirst(p);
    KyPath *tail = PathLast(p);
    const bool marked_chain = (tail->flags & kMarkedChainFlags) != 0;
    for (KyPath *r = head; r; r = r->next) {
        if (r->flags & KPF_DRAWNSELECTED) continue;
        overlay::RasterRecord(c, r, marked_chain && r != tail ? overlay::kDrawSecondary : overlay::kDraw, dirty);
    }
    *out = dirty.ToWindow(v);
    return 1;
}

int32_t KyPathHide(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !out) return 0;
    *out = Y32Rect{v->left, v->top, v->right, v->bottom};
    if (v->lpDB) overlay::Wipe(overlay::CanvasOf(v));
    if (p) *out = WindowBoxOf(v, p);
    return 1;
}

int32_t KyPathDrawSelected(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!p) return 0;
    return SelectionEntry(v, p, out, (p->flags & KPF_HASSELPOINT) ? overlay::kDrawTouching : overlay::kDraw);
}

int32_t KyPathHideSelected(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!p) return 0;
    return SelectionEntry(v, p, out, (p->flags & KPF_HASSELPOINT) ? overlay::kEraseTouching : overlay::kErase);
}

int32_t KyPathDrawSelectedSegments(CoordStruct *v, KyPath *p, Y32Rect *out) {
    return SelectionEntry(v, p, out, overlay::kDrawPicked);
}

int32_t KyPathHideSelectedSegments(CoordStruct *v, KyPath *p, Y32Rect *out) {
    return SelectionEntry(v, p, out, overlay::kErasePicked);
}

int32_t KyPathDrawSegment(CoordStruct *v, KyPath *p, int32_t index, Y32Rect *out) {
    return SegmentEntry(v, p, index, out, overlay::kDrawPicked);
}

int32_t KyPathHideSegment(CoordStruct *v, KyPath *p, int32_t index, Y32Rect *out) {
    return SegmentEntry(v, p, index, out, overlay::kErasePicked);
}

int32_t KyPathPaintMem(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *t, uint8_t *image) {
    static const uint8_t kXor[3] = {0x40, 0xEE, 0xC0};
    return Composite(x0, y0, x1, y1, t, image, 3, kXor);
}

int32_t KyPathPaintMem1(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *t, uint8_t *image) {
    static const uint8_t kXor[3] = {0x40, 0x77, 0xC0};
    return Composite(x0, y0, x1, y1, t, image, 1, kXor);
}

int32_t KyPathCropDB(PathTable *t, int32_t width, int32_t height) {
    if (!t || width < 0 || height < 0) return 0;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (bytes > SIZE_MAX) return 0;
    auto *bits = static_cast<uint8_t *>(mem::MemAlloc(mem::kZeroInit, static_cast<size_t>(bytes)));
    if (!bits) return 0;
    // Only what both buffers have is copied: a larger new size keeps zeros
    // beyond the old picture instead of reading past the old buffer.
    const view::OverlayExtent old = view::TableOverlay(t);
    if (!old.empty()) {
        const int32_t w = std::min(width, old.width), h = std::min(height, old.height);
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(bits + static_cast<int64_t>(y) * width, old.bits + static_cast<int64_t>(y) * old.stride,
                        static_cast<size_t>(w));
    }
    view::AdoptOverlay(t, bits, width, height);
    t->width = width;
    t->height = height;
    return 1;
}

int32_t KyPathScrollDB(CoordStruct *v, KyPath *p, int32_t dx, int32_t dy) {
    if (!v) return 0;
    // The offsets travel as signed 16-bit values.
    const int16_t sx = static_cast<int16_t>(static_cast<uint16_t>(dx));
    const int16_t sy = static_cast<int16_t>(static_cast<uint16_t>(dy));
    if (sx == 0 && sy == 0) return 1;
    v->scrollX = view::Clamp32(int64_t{v->scrollX} + sx);
    v->scrollY = view::Clamp32(int64_t{v->scrollY} + sy);
    if (p) {
        Y32Rect ignored;
        KyPathDraw(v, p, &ignored);
    }
    return 1;
}

Y32_END_C
