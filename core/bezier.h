// core/bezier.h - cubic and line segment maths in doubles.
//
// All curve maths the subsystems share lives here: interpolation, de
// Casteljau splitting, points, tangents, lengths, control boxes, and records
// seen as segments (fetch, point bounds, affine map). Coordinates are
// image units (FIXED converted with fx::ToDouble). Lines are cubics whose
// controls sit on the chord where a caller wants one form for both.
#pragma once

#include <algorithm>
#include <cmath>

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

// Second derivative with respect to t: 6 ((1 - t) (P2 - 2 P1 + P0) + t (P3 - 2 P2 + P1)).
inline Vec2 SecondDerivativeAt(const Cubic &c, double t) {
    double u = 1.0 - t;
    return Vec2{6 * (u * (c.p[2].x - 2 * c.p[1].x + c.p[0].x) + t * (c.p[3].x - 2 * c.p[2].x + c.p[1].x)),
                6 * (u * (c.p[2].y - 2 * c.p[1].y + c.p[0].y) + t * (c.p[3].y - 2 * c.p[2].y + c.p[1].y))};
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

// ---------------------------------------------------------------------------
// Records as segments, and the measures built on them.

// Unit tangent at t: the derivative normalised by vec::Normalize, so a
// derivative of length 0.0001 or less comes back as it is (near zero)
// rather than blown up into noise.
inline Vec2 UnitTangentAt(const Cubic &c, double t) {
    Vec2 d = DerivativeAt(c, t);
    vec::Normalize(&d);
    return d;
}

// Direction of the tangent at t in radians, atan2 convention (y grows
// downward on screen, so positive angles turn clockwise there).
inline double TangentAngle(const Cubic &c, double t) {
    Vec2 d = UnitTangentAt(c, t);
    return std::atan2(d.y, d.x);
}

namespace detail {
inline double LengthWithin(const Cubic &c, double tolerance, int depth) {
    double poly = vec::Distance(c.p[0].x, c.p[0].y, c.p[1].x, c.p[1].y) +
                  vec::Distance(c.p[1].x, c.p[1].y, c.p[2].x, c.p[2].y) +
                  vec::Distance(c.p[2].x, c.p[2].y, c.p[3].x, c.p[3].y);
    double chord = vec::Distance(c.p[0].x, c.p[0].y, c.p[3].x, c.p[3].y);
    // The depth cap is a backstop only: halving shrinks poly - chord at
    // least linearly, so curves within the 16-bit coordinate range meet any
    // tolerance above 1e-6 within about 40 halvings; the cap keeps a NaN
    // coordinate from recursing without end.
    if (!(poly - chord > tolerance) || depth >= 48) return poly;
    Cubic l, r;
    Split(c, 0.5, &l, &r);
    return LengthWithin(l, tolerance, depth + 1) + LengthWithin(r, tolerance, depth + 1);
}
}  // namespace detail

// Arc length: the control polygon once it lies within `tolerance` of the
// chord, else the sum of the two halves. The polygon is never shorter than
// the curve, so the result errs long by less than the tolerance per leaf.
inline double Length(const Cubic &c, double tolerance) { return detail::LengthWithin(c, tolerance, 0); }

inline Vec2 ToVec(const PathPoint &pt) { return Vec2{fx::ToDouble(pt.x), fx::ToDouble(pt.y)}; }

// A segment in doubles: two points for a line, four for a curve.
struct SegmentPoints {
    int n;  // 2 or 4
    Vec2 p[4];
};

// The k-th line or curve segment of a record, counted from 0 in the order
// path::ForEachSegment visits them. False when the record has fewer.
inline bool FetchSegment(const KyPath *rec, int32_t k, SegmentPoints *out) {
    if (!rec || k < 0 || !out) return false;
    int32_t seen = 0;
    bool found = false;
    path::ForEachSegment(rec, [&](const path::Segment &s) {
        if (found || seen++ != k) return;
        found = true;
        out->n = s.kind == path::Segment::kLine ? 2 : 4;
        for (int i = 0; i < out->n; ++i) out->p[i] = Vec2{fx::ToDouble(s.x[i]), fx::ToDouble(s.y[i])};
    });
    return found;
}

// Minimum and maximum of every stored point (control points and parameter
// entries included) in image units. A null record gives all zeros; a record
// without points the inverted box (10000, 10000, -10000, -10000), which
// unites with others as empty. The scan starts from the first point, not
// from the +-10000 of the empty box, so paths lying wholly beyond 10000
// pixels (FIXED reaches 32767) still get their true box.
inline Box PointBounds(const KyPath *rec) {
    if (!rec) return Box{0, 0, 0, 0};
    if (rec->count <= 0) return Box{10000.0, 10000.0, -10000.0, -10000.0};
    const PathPoint *pts = path::Points(rec);
    Vec2 first = ToVec(pts[0]);
    Box b{first.x, first.y, first.x, first.y};
    for (int32_t i = 1; i < rec->count; ++i) {
        Vec2 v = ToVec(pts[i]);
        b.min_x = std::min(b.min_x, v.x);
        b.min_y = std::min(b.min_y, v.y);
        b.max_x = std::max(b.max_x, v.x);
        b.max_y = std::max(b.max_y, v.y);
    }
    return b;
}

// Maps every point of the record (parameter entries too) by the row-major
// matrix m: x' = x m00 + y m10 + m20, y' = x m01 + y m11 + m21, converted
// back with the library's truncating rule. The third column is not read.
inline void AffineMap(KyPath *rec, const double m[3][3]) {
    if (!rec || !m) return;
    PathPoint *pts = path::Points(rec);
    for (int32_t i = 0; i < rec->count; ++i) {
        Vec2 v = ToVec(pts[i]);
        pts[i].x = fx::FromDouble(v.x * m[0][0] + v.y * m[1][0] + m[2][0]);
        pts[i].y = fx::FromDouble(v.x * m[0][1] + v.y * m[1][1] + m[2][1]);
    }
}

// A cubic in power form, P(t) = c0 + c1 t + c2 t^2 + c3 t^3, for code that
// evaluates one curve at many parameters (envelope nets map every point of
// a path through the same two curves): the coefficients are formed once,
// each evaluation is a Horner chain.
struct PowerCubic {
    Vec2 c[4];
};

inline PowerCubic ToPowerForm(const Cubic &b) {
    const Vec2 *p = b.p;
    return PowerCubic{{p[0],
                       {3 * (p[1].x - p[0].x), 3 * (p[1].y - p[0].y)},
                       {3 * (p[2].x - 2 * p[1].x + p[0].x), 3 * (p[2].y - 2 * p[1].y + p[0].y)},
                       {p[3].x - 3 * p[2].x + 3 * p[1].x - p[0].x, p[3].y - 3 * p[2].y + 3 * p[1].y - p[0].y}}};
}

inline Vec2 PointAt(const PowerCubic &c, double t) {
    return Vec2{c.c[0].x + t * (c.c[1].x + t * (c.c[2].x + t * c.c[3].x)),
                c.c[0].y + t * (c.c[1].y + t * (c.c[2].y + t * c.c[3].y))};
}

// The control points of the cubic that passes through e0 at t = 0, e1 at
// t = 1/3, e2 at t = 2/3 and e3 at t = 1. With B(1/3) = (8 P0 + 12 P1 +
// 6 P2 + P3) / 27 and B(2/3) likewise, a = e1 - (8 e0 + e3) / 27 and
// b = e2 - (e0 + 8 e3) / 27 are (4 P1 + 2 P2) / 9 and (2 P1 + 4 P2) / 9,
// so P1 = 3a - 1.5b and P2 = 3b - 1.5a.
inline Cubic ThroughThirds(Vec2 e0, Vec2 e1, Vec2 e2, Vec2 e3) {
    constexpr double k8 = 0.2962962962962963, k1 = 0.037037037037037035;  // 8/27, 1/27
    Vec2 a{e1.x - e0.x * k8 - e3.x * k1, e1.y - e0.y * k8 - e3.y * k1};
    Vec2 b{e2.x - e0.x * k1 - e3.x * k8, e2.y - e0.y * k1 - e3.y * k8};
    return Cubic{{e0, {3 * a.x - 1.5 * b.x, 3 * a.y - 1.5 * b.y}, {3 * b.x - 1.5 * a.x, 3 * b.y - 1.5 * a.y}, e3}};
}

// ---------------------------------------------------------------------------
// Nearest points.

// The point of a straight segment nearest to a query point (for curves see
// core/bezier_nearest.h).
struct Nearest {
    double t;      // parameter on the segment, 0..1
    Vec2 point;
    double dist2;  // squared distance from the query point
};

// Exact: the projection onto the line a-b, clamped to the segment. A
// segment of zero length answers with a.
inline Nearest NearestOnLine(Vec2 a, Vec2 b, Vec2 p) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    Vec2 q = t == 1.0 ? b : Vec2{a.x + t * dx, a.y + t * dy};
    double ex = q.x - p.x, ey = q.y - p.y;
    return Nearest{t, q, ex * ex + ey * ey};
}

// ---------------------------------------------------------------------------
// Roots: where a cubic meets a vertical (or horizontal) line.

namespace detail {
// One coordinate of the cubic minus v, in Bernstein form (no cancellation
// between large power-form coefficients).
inline double CoordMinus(const double q[4], double v, double t) {
    double u = 1.0 - t;
    return u * u * u * q[0] + 3 * u * u * t * q[1] + 3 * u * t * t * q[2] + t * t * t * q[3] - v;
}
}  // namespace detail

// The parameters t in [0, 1] at which the coordinate q0..q3 of a cubic
// equals v, ascending, at most three; the count is returned.
//
// The coordinate is split at its turning points (the roots of its
// derivative, a quadratic) into monotone pieces, and every piece whose ends
// lie on both sides of v is bisected down to the last bit of t. Bisection
// on monotone pieces cannot miss a root, report one twice or wander off
// [0, 1], which closed-form cubic formulas do near double and tangent
// roots. A piece that only touches v at its turning point gives that point
// as one root. Roots closer than 1e-12 are merged.
inline int RootsOfCoordinate(const double q[4], double v, double roots[3]) {
    double a = ((-q[0] + 3 * q[1]) - 3 * q[2]) + q[3];
    double b = (3 * q[0] - 6 * q[1]) + 3 * q[2];
    double c = 3 * (q[1] - q[0]);
    // Derivative 3a t^2 + 2b t + c.
    double qa = 3 * a, qb = 2 * b, qc = c;
    double breaks[4] = {0.0, 0.0, 0.0, 1.0};
    int nb = 1;
    double scale = std::fabs(qa) + std::fabs(qb) + std::fabs(qc);
    auto add_break = [&](double t) {
        if (t > 0.0 && t < 1.0) breaks[nb++] = t;
    };
    if (scale > 0.0) {
        if (std::fabs(qa) <= 1e-12 * scale) {
            if (qb != 0.0) add_break(-qc / qb);
        } else {
            double disc = qb * qb - 4 * qa * qc;
            if (disc >= 0.0) {
                double sq = std::sqrt(disc);
                double k = -0.5 * (qb + (qb < 0 ? -sq : sq));
                double r1 = k / qa, r2 = k != 0.0 ? qc / k : r1;
                if (r1 > r2) std::swap(r1, r2);
                add_break(r1);
                if (r2 != r1) add_break(r2);
            }
        }
    }
    breaks[nb++] = 1.0;
    int n = 0;
    auto push = [&](double t) {
        if (n > 0 && std::fabs(t - roots[n - 1]) < 1e-12) return;
        if (n < 3) roots[n++] = t;
    };
    for (int i = 0; i + 1 < nb; ++i) {
        double lo = breaks[i], hi = breaks[i + 1];
        double flo = detail::CoordMinus(q, v, lo), fhi = detail::CoordMinus(q, v, hi);
        if (flo == 0.0) {
            push(lo);
            continue;
        }
        if (fhi == 0.0 || (flo < 0.0) == (fhi < 0.0)) continue;  // an exact end root is the next piece's start
        for (int it = 0; it < 80 && hi - lo > 1e-16; ++it) {
            double mid = 0.5 * (lo + hi);
            double fm = detail::CoordMinus(q, v, mid);
            if (fm == 0.0) {
                lo = hi = mid;
                break;
            }
            if ((fm < 0.0) == (flo < 0.0)) {
                lo = mid;
                flo = fm;
            } else {
                hi = mid;
            }
        }
        push(0.5 * (lo + hi));
    }
    if (detail::CoordMinus(q, v, 1.0) == 0.0) push(1.0);
    return n;
}

// Where the cubic's x equals X (see RootsOfCoordinate).
inline int RootsAtX(const Cubic &c, double X, double roots[3]) {
    double q[4] = {c.p[0].x, c.p[1].x, c.p[2].x, c.p[3].x};
    return RootsOfCoordinate(q, X, roots);
}

}  // namespace bez
