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

// ---------------------------------------------------------------------------
// 3D rotations and perspective.
//
// Vectors are three doubles; matrices nine doubles stored row by row. Points
// are row vectors multiplied on the left, p' = p * M, so
// p'[j] = p[0] * M[j] + p[1] * M[3 + j] + p[2] * M[6 + j], and applying M1
// then M2 is p * M1 * M2. Angles are degrees at every interface; hosts store
// angles made with pi = 3.14159, so every conversion here uses that value,
// not the full-precision one (a full-precision pi would turn a stored 180
// into a slightly different rotation than the one the host previewed).

constexpr double kPi3D = 3.14159;
constexpr double kDegToRad3D = 0.01745327777777778;  // kPi3D / 180, folded

// p <- p * m.
inline void RotatePoint3D(double p[3], const double m[9]) {
    double x = p[0] * m[0] + p[1] * m[3] + p[2] * m[6];
    double y = p[0] * m[1] + p[1] * m[4] + p[2] * m[7];
    double z = p[0] * m[2] + p[1] * m[5] + p[2] * m[8];
    p[0] = x;
    p[1] = y;
    p[2] = z;
}

// c = a * b. c may be a or b.
inline void Matrix3X3(const double a[9], const double b[9], double c[9]) {
    double r[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[3 * i + j] = a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j] + a[3 * i + 2] * b[6 + j];
    for (int k = 0; k < 9; ++k) c[k] = r[k];
}

inline void Identity3X3(double m[9]) {
    for (int k = 0; k < 9; ++k) m[k] = (k % 4 == 0) ? 1.0 : 0.0;
}

// The rotation by theta about the unit axis, for row vectors (the
// transpose of the column-vector form). A sine of exactly 0 leaves m as it
// was: callers start from the identity and a zero turn keeps it.
inline void VThitaGetMatrix(double s, double c, const double axis[3], double m[9]) {
    if (s == 0.0) return;
    double x = axis[0], y = axis[1], z = axis[2], t = 1.0 - c;
    m[0] = (1 - x * x) * c + x * x;
    m[1] = x * y * t + z * s;
    m[2] = x * z * t - y * s;
    m[3] = x * y * t - z * s;
    m[4] = (1 - y * y) * c + y * y;
    m[5] = y * z * t + x * s;
    m[6] = x * z * t + y * s;
    m[7] = y * z * t - x * s;
    m[8] = (1 - z * z) * c + z * z;
}

// Scales a 3-vector to unit length. A zero or non-finite length leaves it
// alone and answers false.
inline bool Unit3(double v[3]) {
    double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
    return true;
}

inline void CrossXYZ(const double a[3], const double b[3], double out[3]) {
    double r[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}
inline double DotXYZ(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Re-orthonormalises a rotation that rounding has drifted, keeping the
// direction of row 1: row 1 is normalised, row 0 = unit(row 1 x row 2),
// row 2 = unit(row 0 x row 1). A matrix with a zero or parallel row has no
// such repair; it is left as it was and the answer is false.
inline bool ORMatrix(double m[9]) {
    double r0[3], r1[3] = {m[3], m[4], m[5]}, r2[3] = {m[6], m[7], m[8]};
    if (!Unit3(r1)) return false;
    CrossXYZ(r1, r2, r0);
    if (!Unit3(r0)) return false;
    CrossXYZ(r0, r1, r2);
    if (!Unit3(r2)) return false;
    for (int j = 0; j < 3; ++j) {
        m[j] = r0[j];
        m[3 + j] = r1[j];
        m[6 + j] = r2[j];
    }
    return true;
}

// An angle in [0, 360) is kept as it is; others are folded into it.
// Non-finite angles have no place on the circle and become 0.
inline double NormalizeAngleDeg(double a) {
    if (a >= 0.0 && a < 360.0) return a;
    if (!std::isfinite(a)) return 0.0;
    a = std::fmod(a, 360.0);
    if (a < 0.0) a += 360.0;
    return a < 360.0 ? a : 0.0;  // -1e-20 + 360 rounds to 360
}

// Sine and cosine of an angle in degrees: the cosine is taken from the sine
// (sqrt(1 - s^2)) and given its sign by the quadrant, so the pair always
// satisfies s^2 + c^2 = 1 even with the short pi.
inline void SinCosDeg(double a, double *s, double *c) {
    double sn = std::sin(kPi3D * a / 180.0);
    double cs = std::sqrt(1.0 - sn * sn);
    double n = NormalizeAngleDeg(a);
    if (n > 90.0 && n < 270.0) cs = -cs;
    *s = sn;
    *c = cs;
}

// v rotated by angle_deg about the unit axis.
inline void RotateAbout(double v[3], const double axis[3], double angle_deg) {
    double m[9], s, c;
    Identity3X3(m);
    SinCosDeg(angle_deg, &s, &c);
    VThitaGetMatrix(s, c, axis, m);
    RotatePoint3D(v, m);
}

// The single axis-angle rotation equal to turning angle1 about axis1 and
// then angle2 about axis2. False when both angles are 0 (no rotation to
// describe) or when an axis that has to be used has no direction.
//
// Construction (Rodrigues): let n be the normal of the plane through both
// axes. Turning that plane by -angle1/2 about axis1 and by +angle2/2 about
// axis2 gives two planes (normals u and v) whose line of intersection,
// u x v, is the axis of the combined rotation, and whose dihedral angle is
// half its angle. Using the whole angles instead gives a rotation that
// maps one vector correctly but not the others.
inline bool AddRotation(const double axis1[3], double angle1, const double axis2[3], double angle2, double axis_out[3],
                        double *angle_out) {
    if (angle1 == 0.0) {
        if (angle2 == 0.0) return false;
        for (int k = 0; k < 3; ++k) axis_out[k] = axis2[k];
        *angle_out = angle2;
        return true;
    }
    if (angle2 == 0.0) {
        for (int k = 0; k < 3; ++k) axis_out[k] = axis1[k];
        *angle_out = angle1;
        return true;
    }
    double a1[3] = {axis1[0], axis1[1], axis1[2]}, a2[3] = {axis2[0], axis2[1], axis2[2]};
    if (!Unit3(a1) || !Unit3(a2)) return false;
    angle1 = NormalizeAngleDeg(angle1);
    angle2 = NormalizeAngleDeg(angle2);
    double n[3];
    CrossXYZ(a1, a2, n);
    if (n[0] == 0.0 && n[1] == 0.0 && n[2] == 0.0) {
        // One axis: the angles add, or subtract when the axes point apart.
        for (int k = 0; k < 3; ++k) axis_out[k] = a1[k];
        *angle_out = NormalizeAngleDeg(DotXYZ(a1, a2) >= 0.0 ? angle1 + angle2 : angle1 - angle2);
        return true;
    }
    Unit3(n);
    double u[3] = {n[0], n[1], n[2]}, v[3] = {n[0], n[1], n[2]};
    RotateAbout(u, a1, -angle1 / 2);
    RotateAbout(v, a2, angle2 / 2);
    double axis[3];
    CrossXYZ(u, v, axis);
    double s = std::sqrt(DotXYZ(axis, axis));
    double half = std::asin(s < 1.0 ? s : 1.0);
    if (DotXYZ(u, v) < 0.0) half = kPi3D - half;
    if (!Unit3(axis)) {
        // The two planes coincide: the turns cancel out.
        for (int k = 0; k < 3; ++k) axis_out[k] = a1[k];
        *angle_out = 0.0;
        return true;
    }
    for (int k = 0; k < 3; ++k) axis_out[k] = axis[k];
    *angle_out = NormalizeAngleDeg(2.0 * half / kPi3D * 180.0);
    return true;
}

// Perspective seen from an eye at height ez above the picture plane z = 0:
// a point at depth qz lands at eye.xy + (q.xy - eye.xy) * scale. A point at
// or behind the eye has no image; its scale is held at what a point a
// millionth of the eye height in front of the eye gets, so it lands far out
// in its own direction instead of dividing by zero or flipping over. An
// eye at infinity (a zero field of view) gives the parallel projection; an
// eye in the plane sees everything at its own foot.
constexpr double kMinDepthRatio = 1e-6;
inline double PerspectiveScale(double ez, double qz) {
    if (!std::isfinite(ez)) return 1.0;
    double denom = ez - qz;
    double min_denom = std::fabs(ez) * kMinDepthRatio;
    if (!(denom > min_denom)) denom = min_denom;
    if (denom == 0.0) return 0.0;
    return ez / denom;
}

}  // namespace vec
