// edit/traced_points.cpp - a record from a traced outline in doubles.
//
// Tracers hand over closed outlines as arrays of 24-byte points; the record
// made from them is closed on its first point, selected (in no selection
// list yet) and trimmed to exactly its points.
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "y32path/edit.h"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(KyPathTracedPoint) == 24, "traced points are 24 bytes");
#endif
static_assert(offsetof(KyPathTracedPoint, type) == 16, "the type word follows the two coordinates");
static_assert(sizeof(KyPathRSRParams) == 56, "the resize-slant-rotate request is 56 bytes");

Y32_BEGIN_C

KyPath *KyPathR2VToKyPath(int32_t n, const KyPathTracedPoint *in) {
    // A single point makes no subpath: its move would also have to be the
    // closing point.
    if (n < 2 || !in) return nullptr;
    const KyPathTracedPoint &first = in[0], &last = in[n - 1];
    bool add_closing = first.x != last.x || first.y != last.y;
    int64_t count = int64_t{n} + (add_closing ? 1 : 0);
    if (count > INT32_MAX || path::BlockBytes(0) + static_cast<uint64_t>(count) * path::kPointSize > plat::kMaxBlockSize)
        return nullptr;
    auto *p = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(count)));
    if (!p) return nullptr;
    p->count = static_cast<int32_t>(count);
    p->flags = KPF_SELECTED;
    PathPoint *pts = path::Points(p);
    auto put = [&](int32_t at, const KyPathTracedPoint &src, uint16_t type) {
        pts[at].type = type;
        pts[at].x = fx::FromDouble(src.x);
        pts[at].y = fx::FromDouble(src.y);
    };
    put(0, first, PT_MOVETO);
    for (int32_t i = 1; i < n - 1; ++i) put(i, in[i], static_cast<uint16_t>(in[i].type));
    if (add_closing) {
        put(n - 1, last, static_cast<uint16_t>(last.type));
        put(n, first, PT_LINETO | PT_CLOSEFIGURE);
    } else {
        uint16_t type = static_cast<uint16_t>(last.type);
        if (type == PT_BEZIERTO) type = PT_BEZIERTO | PT_CLOSEFIGURE;
        else if (type == PT_LINETO) type = PT_LINETO | PT_CLOSEFIGURE;
        put(n - 1, last, type);
    }
    return p;
}

Y32_END_C
