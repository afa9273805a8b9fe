// display/rect_select.h - which records a marquee rectangle catches.
//
// Units: image coordinates (doubles). The rectangle is ordered (left <=
// right, top <= bottom) before any test. Node mode asks for a node
// strictly inside; segment mode for any point of a segment in the closed
// rectangle, edges and corners included.
#pragma once

#include "core/vec.h"
#include "y32path/types.h"

namespace marquee {

struct Rect {
    double left, top, right, bottom;
};

// The rectangle with each pair of sides in order.
Rect Ordered(double x0, double y0, double x1, double y1);

bool StrictlyInside(vec::Vec2 p, const Rect &r);

// Whether the segment from p0 to p1 has a point in the closed rectangle.
bool SegmentHitsRect(vec::Vec2 p0, vec::Vec2 p1, const Rect &r);

// Whether the cubic with these control points does: caught when its
// control box lies inside the rectangle, missed when the box lies apart,
// else decided on a polyline through evenly spaced points of the curve,
// one about every 10 pixels of control polygon and at least 10 pieces.
bool BezierHitsRect(const vec::Vec2 p[4], const Rect &r);

// Whether the record is caught: in node mode by a node strictly inside, in
// segment mode by a segment touching the rectangle.
bool RecordCaught(const KyPath *p, const Rect &r, bool segment_mode);

}  // namespace marquee
