// core/bezier_nearest.h - the point of a cubic Bezier nearest to a given point.
//
// The nearest point Q = B(t) of the cubic B to the point P satisfies
//   (B(t) - P) . B'(t) = 0
// at an inner parameter, or lies at t = 0 or t = 1. B - P has degree 3 and
// B' degree 2, so the left side is a polynomial of degree 5. Written in the
// Bernstein basis of degree 5 its control values are
//   w_k = sum over i + j = k of  (c_i . d_j) * C(3, i) C(2, j) / C(5, k)
// with c_i = V_i - P (the control points relative to P) and
// d_j = 3 (V_{j+1} - V_j) (the control points of B'), because
// B^3_i(t) B^2_j(t) = C(3, i) C(2, j) / C(5, i + j) * B^5_{i+j}(t).
// Pairing each w_k with the abscissa k / 5 gives a planar Bezier curve
// (t, f(t)) whose crossings of the x-axis are the roots sought.
//
// The roots are isolated by recursive subdivision. The number of sign
// changes of a control polygon bounds the number of crossings of its curve
// (variation diminishing), so a polygon without sign changes has no root,
// and one with exactly one sign change has exactly one once it is flat:
// the root is then taken where the polygon's chord crosses the axis. The
// abscissas of a subdivided piece stay evenly spaced in the original
// parameter, so everything is measured in t directly. Subdivision stops at
// depth 64 (a piece 2^-64 wide, below double resolution) whatever happens.
//
// Units: whatever the caller's points are in; image pixels in this library.
#pragma once

#include "core/bezier.h"

namespace bez {

// The degree-5 Bernstein form of (B(t) - P) . B'(t): w[k] = (k / 5, value).
void DistanceConditionForm(const Cubic &c, Vec2 p, Vec2 w[6]);

// Roots in [0, 1] of the Bernstein polynomial with control points w (x the
// evenly spaced parameters, y the values), found by subdivision. Writes at
// most `max_roots` of them to roots and returns how many it wrote.
int FindBernsteinRoots(const Vec2 w[6], double *roots, int max_roots);

struct NearestPoint {
    double t;         // parameter of the nearest point, 0 to 1
    Vec2 point;       // B(t)
    double distance;  // |B(t) - P|
};

// The nearest point of the cubic to p among t = 0, the inner roots of the
// distance condition and t = 1; the earlier candidate wins a tie.
NearestPoint NearestPointOnCubic(const Cubic &c, Vec2 p);
// The same with the nearest point's position needed only to within
// `tolerance` (units of the points; 0 for the exact setting above): the
// subdivision stops once a root's piece is that short on the curve.
NearestPoint NearestPointOnCubic(const Cubic &c, Vec2 p, double tolerance);

}  // namespace bez
