// shapes/curve_vec.h - value arithmetic on 2D vectors for the curve tools.
//
// The curve code works on Vec2 values (knots, handles, tangents) rather
// than through the pointer helpers of core/vec.h; these are the few
// operations it needs, in one place.
#pragma once

#include <cmath>

#include "core/vec.h"

namespace curvevec {

using vec::Vec2;

// Vectors this short have no direction: a tangent or handle along them
// collapses onto its knot.
constexpr double kNoLength = 0.0001;

inline Vec2 Add(Vec2 a, Vec2 b) { return Vec2{a.x + b.x, a.y + b.y}; }
inline Vec2 Diff(Vec2 a, Vec2 b) { return Vec2{a.x - b.x, a.y - b.y}; }
inline Vec2 Mul(Vec2 a, double s) { return Vec2{a.x * s, a.y * s}; }
inline double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double Length(Vec2 v) { return std::sqrt(v.x * v.x + v.y * v.y); }

// Length of v, taken as 0 when it is kNoLength or less.
inline double LengthOrZero(Vec2 v) {
    double len = Length(v);
    return len > kNoLength ? len : 0.0;
}
// Unit vector of v; the zero vector when v is kNoLength long or shorter.
inline Vec2 UnitOrZero(Vec2 v) {
    double len = Length(v);
    return len > kNoLength ? Vec2{v.x / len, v.y / len} : Vec2{0.0, 0.0};
}

}  // namespace curvevec
