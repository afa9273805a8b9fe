// core/vec.h - small vector helpers on doubles.
//
// Shared by hit testing, path length and offset, relief maps, shading and
// 3D projection. Each tolerates null pointers the way its callers rely on:
// a null input gives 0 or a null result, never a crash.
#pragma once

#include <cmath>

namespace vec {

struct Vec2 {
    double x, y;
};
struct Vec3 {
    double x, y, z;
};

// The projection of a onto b split into along and remainder parts.
struct Projection {
    Vec2 along;       // t * b
    Vec2 rest;        // a - t * b
    double along_length;
    double rest_length;
};

// out = a - b; null when a or b is null.
inline Vec2 *Sub(const Vec2 *a, const Vec2 *b, Vec2 *out) {
    if (!a || !b || !out) return nullptr;
    *out = Vec2{a->x - b->x, a->y - b->y};
    return out;
}

// Scales v in place and copies it to out. A factor of exactly 0 is taken as
// "no scaling asked": v and out stay untouched.
inline Vec2 *Scale(Vec2 *v, double s, Vec2 *out) {
    if (!v) return nullptr;
    if (s == 0.0) return out;
    v->x *= s;
    v->y *= s;
    if (out) *out = *v;
    return out;
}

inline double LengthSq(const Vec2 *v) { return v ? v->x * v->x + v->y * v->y : 0.0; }
inline double Length(const Vec2 *v) { return std::sqrt(LengthSq(v)); }

// Only vectors longer than 0.0001 are normalised; shorter ones are left as
// they are so that near-zero tangents do not blow up into noise.
inline void Normalize(Vec2 *v) {
    double len = Length(v);
    if (len > 0.0001) {
        v->x /= len;
        v->y /= len;
    }
}

inline double Dot(const Vec2 *a, const Vec2 *b) { return a && b ? a->x * b->x + a->y * b->y : 0.0; }
inline double Dot3(const Vec3 *a, const Vec3 *b) {
    return a && b ? a->x * b->x + a->y * b->y + a->z * b->z : 0.0;
}

// out = a x b. Returns |out| when want_length, else 1.0; 0 for a null pointer.
inline double Cross3(const Vec3 *a, const Vec3 *b, Vec3 *out, bool want_length) {
    if (!a || !b || !out) return 0.0;
    Vec3 r{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    *out = r;
    return want_length ? std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z) : 1.0;
}

// out = (-in.y, in.x), the vector turned a quarter.
inline Vec2 *Perp(const Vec2 *in, Vec2 *out) {
    if (!in || !out) return nullptr;
    *out = Vec2{-in->y, in->x};
    return out;
}

// Splits a into its component along b and the rest. A zero b leaves t
// undefined in the plain formula; it is taken as 0 (everything is rest).
inline void Project(const Vec2 *a, const Vec2 *b, Projection *out) {
    if (!a || !b || !out) return;
    double bb = Dot(b, b);
    double t = bb != 0.0 ? Dot(a, b) / bb : 0.0;
    out->along = Vec2{t * b->x, t * b->y};
    out->rest = Vec2{a->x - out->along.x, a->y - out->along.y};
    out->along_length = Length(&out->along);
    out->rest_length = Length(&out->rest);
}

inline double Distance(double x1, double y1, double x2, double y2) {
    double dx = x2 - x1, dy = y2 - y1;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace vec
