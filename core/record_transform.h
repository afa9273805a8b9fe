// core/record_transform.h - moving, scaling and turning the points of one
// record, for modules below the editing layer.
//
// Shape building and arrowhead placement transform records that are not in
// any table yet; they need the arithmetic of the editing transforms, not
// their list walking or redrawing. The rules are the editing ones exactly:
//  - moving adds a FIXED offset with the 32-bit wrap of the stored format
//    and scaling multiplies in doubles and truncates back (fx::FromDouble);
//    both step through positions only (path::ForEachPosition), so the
//    parameter entries of special records keep their values;
//  - turning maps every stored entry, whatever its type.
#pragma once

#include <cstdint>

#include "core/fixed.h"
#include "core/point_walk.h"

namespace path {

// Adds (dx, dy) to every position of the record (32-bit wrap, no signed
// overflow in the arithmetic).
inline void MovePositions(KyPath *p, FIXED dx, FIXED dy) {
    ForEachPosition(p, [&](PathPoint &pt) {
        pt.x = static_cast<FIXED>(static_cast<uint32_t>(pt.x) + static_cast<uint32_t>(dx));
        pt.y = static_cast<FIXED>(static_cast<uint32_t>(pt.y) + static_cast<uint32_t>(dy));
    });
}

// Every position times (sx, sy) about the image origin.
inline void ScalePositions(KyPath *p, double sx, double sy) {
    ForEachPosition(p, [&](PathPoint &pt) {
        pt.x = fx::FromDouble(fx::ToDouble(pt.x) * sx);
        pt.y = fx::FromDouble(fx::ToDouble(pt.y) * sy);
    });
}

// Every entry turned about the image origin by the angle whose cosine and
// sine are given: x' = x c - y s, y' = x s + y c (clockwise on screen for a
// positive sine, y growing downward).
inline void RotateEntries(KyPath *p, double c, double s) {
    PathPoint *pts = Points(p);
    for (int32_t i = 0; i < p->count; ++i) {
        double x = fx::ToDouble(pts[i].x), y = fx::ToDouble(pts[i].y);
        pts[i].x = fx::FromDouble(x * c - y * s);
        pts[i].y = fx::FromDouble(x * s + y * c);
    }
}

}  // namespace path
