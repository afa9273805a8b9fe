// core/view.cpp - views, overlay ownership and the view mapping exports.
#include "core/view.h"

#include <cmath>

#include "core/memory.h"
#include "y32path/core.h"

namespace view {

namespace {

int32_t NonNegative(int32_t v) { return v > 0 ? v : 0; }

// right - left without overflowing for hostile rectangles.
int32_t Span(int32_t from, int32_t to) { return Clamp32(int64_t{to} - from); }

void RecordRealSize(uint32_t *words, int32_t width, int32_t height) {
    words[kRealWidthWord] = static_cast<uint32_t>(width);
    words[kRealHeightWord] = static_cast<uint32_t>(height);
}

OverlayExtent Clip(uint8_t *bits, int32_t realW, int32_t realH, int32_t wantW, int32_t wantH) {
    OverlayExtent e{bits, realW, wantW < realW ? wantW : realW, wantH < realH ? wantH : realH};
    if (e.width < 0) e.width = 0;
    if (e.height < 0) e.height = 0;
    return e;
}

void FillView(CoordStruct *v, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t scrollX,
              int32_t scrollY, double zoom) {
    v->left = left;
    v->top = top;
    v->right = right;
    v->bottom = bottom;
    v->scrollX = scrollX;
    v->scrollY = scrollY;
    v->zoom = zoom;
}

void RecordView(PathTable *t, const CoordStruct *v) {
    t->width = Span(v->left, v->right);
    t->height = Span(v->top, v->bottom);
    t->scrollX = v->scrollX;
    t->scrollY = v->scrollY;
    t->zoom = v->zoom;
}

}  // namespace

OverlayExtent WritableOverlay(const PathTable *t, const CoordStruct *v) {
    if (!v || !v->lpDB) return OverlayExtent{nullptr, 0, 0, 0};
    int32_t w = ClientWidth(v), h = ClientHeight(v);
    const uint32_t *real = v->reserved;
    if (t) {
        // A view still pointing at a buffer its table has since replaced
        // must not draw at all.
        if (t->lpDB != v->lpDB) return OverlayExtent{nullptr, 0, 0, 0};
        if (t->reserved[kRealWidthWord] || t->reserved[kRealHeightWord]) real = t->reserved;
    }
    int32_t realW = static_cast<int32_t>(real[kRealWidthWord]);
    int32_t realH = static_cast<int32_t>(real[kRealHeightWord]);
    if (realW <= 0 && realH <= 0) return Clip(v->lpDB, w, h, w, h);
    return Clip(v->lpDB, realW, realH, w, h);
}

OverlayExtent TableOverlay(const PathTable *t) {
    if (!t || !t->lpDB) return OverlayExtent{nullptr, 0, 0, 0};
    int32_t w = NonNegative(t->width), h = NonNegative(t->height);
    int32_t realW = static_cast<int32_t>(t->reserved[kRealWidthWord]);
    int32_t realH = static_cast<int32_t>(t->reserved[kRealHeightWord]);
    if (realW <= 0 && realH <= 0) return Clip(t->lpDB, w, h, w, h);
    return Clip(t->lpDB, realW, realH, w, h);
}

bool ReplaceOverlay(PathTable *t, int32_t width, int32_t height) {
    width = NonNegative(width);
    height = NonNegative(height);
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // On a 32-bit target the product can exceed the address space; a
    // wrapped size would give a small buffer that drawing overruns.
    uint8_t *bits = nullptr;
    if (bytes <= SIZE_MAX) bits = static_cast<uint8_t *>(mem::MemAlloc(mem::kZeroInit, static_cast<size_t>(bytes)));
    // The new block is taken before the old one goes, so it never gets the
    // old address: a view still holding the old pointer is then told apart
    // from the table's (WritableOverlay).
    FreeOverlay(t);
    if (!bits) return false;
    t->lpDB = bits;
    RecordRealSize(t->reserved, width, height);
    return true;
}

void AdoptOverlay(PathTable *t, uint8_t *bits, int32_t width, int32_t height) {
    if (t->lpDB && t->lpDB != bits) mem::MemFree(t->lpDB);
    t->lpDB = bits;
    if (bits) RecordRealSize(t->reserved, NonNegative(width), NonNegative(height));
    else RecordRealSize(t->reserved, 0, 0);
}

void FreeOverlay(PathTable *t) {
    if (t->lpDB) mem::MemFree(t->lpDB);
    t->lpDB = nullptr;
    RecordRealSize(t->reserved, 0, 0);
}

void BorrowOverlay(const PathTable *t, CoordStruct *v) {
    v->lpDB = t->lpDB;
    v->reserved[kRealWidthWord] = t->reserved[kRealWidthWord];
    v->reserved[kRealHeightWord] = t->reserved[kRealHeightWord];
}

}  // namespace view

Y32_BEGIN_C

double *KyPathPtWndToImage(double *out, int32_t wx, int32_t wy, CoordStruct *v) {
    if (!out || !v) return nullptr;
    if (!view::WindowToImage(v, wx, wy, &out[0], &out[1])) return nullptr;
    return out;
}

double *KyPathRectWndToImage(double *out, Y32Rect rect, CoordStruct *v) {
    if (!out || !v || v->zoom == 0.0) return nullptr;
    view::WindowToImage(v, rect.left, rect.top, &out[0], &out[1]);
    view::WindowToImage(v, rect.right, rect.bottom, &out[2], &out[3]);
    return out;
}

int32_t KyPathCoordStruct(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t scrollX,
                          int32_t scrollY, double zoom, PathTable *t, CoordStruct **holder) {
    if (!holder) return 0;
    CoordStruct *v = *holder;
    if (!v) {
        // One of the entry points a host may call before KyPathInit.
        KyPathInit();
        v = static_cast<CoordStruct *>(mem::MemAlloc(mem::kZeroInit, sizeof(CoordStruct)));
        if (!v) return 0;
        *holder = v;
    }
    view::FillView(v, left, top, right, bottom, scrollX, scrollY, zoom);
    if (!t) return 1;
    bool ok = true;
    // An existing buffer is kept even when the client size changed; its
    // real size stays recorded, and drawing clips to it.
    if (!t->lpDB) ok = view::ReplaceOverlay(t, view::Span(left, right), view::Span(top, bottom));
    view::BorrowOverlay(t, v);
    view::RecordView(t, v);
    return ok ? 1 : 0;
}

int32_t KyPathNewCoordStruct(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t scrollX,
                             int32_t scrollY, double zoom, uint32_t viewTag, PathTable *t,
                             CoordStruct **holder) {
    if (!t || !holder) return 0;
    CoordStruct *v = *holder;
    if (!v) {
        v = static_cast<CoordStruct *>(mem::MemAlloc(mem::kZeroInit, sizeof(CoordStruct)));
        if (!v) return 0;
        *holder = v;
    }
    view::FillView(v, left, top, right, bottom, scrollX, scrollY, zoom);
    bool ok = view::ReplaceOverlay(t, view::Span(left, right), view::Span(top, bottom));
    view::BorrowOverlay(t, v);
    view::RecordView(t, v);
    if (viewTag) t->viewTag = viewTag;
    return ok ? 1 : 0;
}

int32_t KyPathDeleteCoordStruct(CoordStruct *v) {
    if (v) mem::MemFree(v);
    return 1;
}

int32_t KyPathTblIsValid(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t scrollX,
                         int32_t scrollY, double zoom, uint32_t viewTag, PathTable *t) {
    if (!t) return 0;
    return t->width == int64_t{right} - left && t->height == int64_t{bottom} - top && t->scrollX == scrollX &&
           t->scrollY == scrollY && std::fabs(t->zoom - zoom) <= view::kZoomTolerance && t->viewTag == viewTag;
}

Y32_END_C
