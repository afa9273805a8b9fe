// core/bezier.h - cubic and line segment maths in doubles.
//
// All curve maths the subsystems share lives here: interpolation, de
// Casteljau splitting, points and tangents, control boxes. Coordinates are
// image units (FIXED converted with fx::ToDouble). Lines are cubics whose
// controls sit on the chord where a caller wants one form for both.
#pragma once

#include <algorithm>

#include "core/fixed.h"
#include "core/point_walk.h"
#include "core/vec.h"

namespace bez {

using vec::Vec2;

struct Cubic {
    Vec2 p[4];
};

struct Box {
    double min_x, min_y, max_x, max_y;
};

inline Vec2 Lerp(Vec2 a, Vec2 b, double t) { return Vec2{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

inline Vec2 PointAt(const Cubic &c, double t) {
    double u = 1.0 - t;
    double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return Vec2{b0 * c.p[0].x + b1 * c.p[1].x + b2 * c.p[2].x + b3 * c.p[3].x,
                b0 * c.p[0].y + b1 * c.p[1].y + b2 * c.p[2].y + b3 * c.p[3].y};
}

// First derivative with respect to t (not normalised).
inline Vec2 DerivativeAt(const Cubic &c, double t) {
    double u = 1.0 - t;
    double d0 = 3 * u * u, d1 = 6 * u * t, d2 = 3 * t * t;
    return Vec2{d0 * (c.p[1].x - c.p[0].x) + d1 * (c.p[2].x - c.p[1].x) + d2 * (c.p[3].x - c.p[2].x),
                d0 * (c.p[1].y - c.p[0].y) + d1 * (c.p[2].y - c.p[1].y) + d2 * (c.p[3].y - c.p[2].y)};
}

// de Casteljau at t: left covers [0, t], right [t, 1]. Either may be null.
inline void Split(const Cubic &c, double t, Cubic *left, Cubic *right) {
    Vec2 ab = Lerp(c.p[0], c.p[1], t), bc = Lerp(c.p[1], c.p[2], t), cd = Lerp(c.p[2], c.p[3], t);
    Vec2 abc = Lerp(ab, bc, t), bcd = Lerp(bc, cd, t);
    Vec2 mid = Lerp(abc, bcd, t);
    Cubic l{{c.p[0], ab, abc, mid}}, r{{mid, bcd, cd, c.p[3]}};
    if (left) *left = l;
    if (right) *right = r;
}

// The box of the control points, which contains the curve.
inline Box ControlBox(const Cubic &c) {
    Box b{c.p[0].x, c.p[0].y, c.p[0].x, c.p[0].y};
    for (int i = 1; i < 4; ++i) {
        b.min_x = std::min(b.min_x, c.p[i].x);
        b.min_y = std::min(b.min_y, c.p[i].y);
        b.max_x = std::max(b.max_x, c.p[i].x);
        b.max_y = std::max(b.max_y, c.p[i].y);
    }
    return b;
}

// The segment in doubles; a line becomes the cubic with controls at the
// thirds of its chord, which traces the same points at the same speed.
inline Cubic FromSegment(const path::Segment &s) {
    Vec2 p0{fx::ToDouble(s.x[0]), fx::ToDouble(s.y[0])};
    if (s.kind == path::Segment::kLine) {
        Vec2 p1{fx::ToDouble(s.x[1]), fx::ToDouble(s.y[1])};
        return Cubic{{p0, Lerp(p0, p1, 1.0 / 3), Lerp(p0, p1, 2.0 / 3), p1}};
    }
    Cubic c{{p0, {}, {}, {}}};
    for (int i = 1; i < 4; ++i) c.p[i] = Vec2{fx::ToDouble(s.x[i]), fx::ToDouble(s.y[i])};
    return c;
}

}  // namespace bez
