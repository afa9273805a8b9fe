// core/point_walk.h - the one way to step through a record's points.
//
// A record's points are entries of different widths, decided by the type
// word with PT_CLOSEFIGURE, the two selection bits (PT_SELECTED 0x8000 and
// PT_SEGSELECTED 0x0800) and the drag mark 0x2000 taken out (mask 0x07FE).
// The 0x0FFE mask the stored types are usually described with would keep
// PT_SEGSELECTED, and a picked segment's start point would stop being a
// line or curve end: its segment would vanish from drawing and its point
// from every bounding box.
//
//   PT_MOVETO (6), PT_LINETO (2)  1 entry, a position
//   PT_BEZIERTO (4)               3 entries: control, control, end position
//   0x0100 (rotated rectangle)    2 entries, parameters, not positions
//   0x0400 (no extent)            2 entries, parameters
//   0x0200                        1 entry, a parameter
//   anything else                 1 entry, stepped over
//
// Transforms, bounds, drawing, hit testing and rasterisation all step this
// way; keeping it in one place is what keeps them agreeing on every record.
#pragma once

#include <cstdint>

#include "core/path_record.h"

namespace path {

constexpr uint16_t kTypeMask = 0x0FFE & ~PT_SEGSELECTED;          // 0x07FE
constexpr uint16_t kTypeMaskSelected = 0x8FFE & ~PT_SEGSELECTED;  // 0x87FE

// How many entries the entry with this type word covers.
inline int32_t EntryWidth(uint16_t type) {
    switch (type & kTypeMask) {
        case PT_BEZIERTO: return 3;
        case PT_ROTATEDRECT:
        case PT_NOEXTENT: return 2;
        default: return 1;
    }
}

inline bool IsPositionEntry(uint16_t type) {
    uint16_t t = type & kTypeMask;
    return t == PT_MOVETO || t == PT_LINETO || t == PT_BEZIERTO;
}

// Record kinds decided by point 1 (host data only).
inline bool IsRotatedRect(const KyPath *p) {
    return p->count > 2 && (Points(p)[1].type & kTypeMask) == PT_ROTATEDRECT;
}
inline bool HasNoExtent(const KyPath *p) {
    return p->count > 1 && (Points(p)[1].type & kTypeMask) == PT_NOEXTENT;
}

// Calls fn(PathPoint &) for every point that holds a position, stepping
// over parameter entries. A curve cut short by the end of the record still
// has its remaining points visited.
template <class Fn>
void ForEachPosition(KyPath *p, Fn &&fn) {
    PathPoint *pts = Points(p);
    for (int32_t i = 0; i < p->count;) {
        uint16_t type = pts[i].type;
        int32_t width = EntryWidth(type);
        if (IsPositionEntry(type))
            for (int32_t k = 0; k < width && i + k < p->count; ++k) fn(pts[i + k]);
        i += width;
    }
}

// One drawable piece of a subpath.
struct Segment {
    enum Kind { kLine, kBezier } kind;
    int32_t start;  // index of the point the segment starts at (the current point)
    int32_t end;    // index of its end point
    FIXED x[4], y[4];  // x[0], y[0] start; lines use [1] as end, curves [1..3]
};

// Calls fn(const Segment &) for each line and curve segment in order.
// PT_MOVETO moves the current point; special entries draw nothing and leave
// the current point where it was; a curve without its three points ends
// the walk.
template <class Fn>
void ForEachSegment(const KyPath *p, Fn &&fn) {
    const PathPoint *pts = Points(p);
    int32_t cur = 0;
    for (int32_t i = 0; i < p->count;) {
        uint16_t t = pts[i].type & kTypeMask;
        if (t == PT_MOVETO || i == 0) {
            cur = i;
            i += 1;
        } else if (t == PT_LINETO) {
            Segment s{Segment::kLine, cur, i, {pts[cur].x, pts[i].x, 0, 0}, {pts[cur].y, pts[i].y, 0, 0}};
            fn(static_cast<const Segment &>(s));
            cur = i;
            i += 1;
        } else if (t == PT_BEZIERTO) {
            if (i + 2 >= p->count) return;
            Segment s{Segment::kBezier,
                      cur,
                      i + 2,
                      {pts[cur].x, pts[i].x, pts[i + 1].x, pts[i + 2].x},
                      {pts[cur].y, pts[i].y, pts[i + 1].y, pts[i + 2].y}};
            fn(static_cast<const Segment &>(s));
            cur = i + 2;
            i += 3;
        } else {
            i += EntryWidth(pts[i].type);
        }
    }
}

}  // namespace path
