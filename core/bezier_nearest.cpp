// core/bezier_nearest.cpp - nearest point on a cubic by Bernstein root isolation.
#include "core/bezier_nearest.h"

#include <cmath>

namespace bez {

namespace {

constexpr int kDegree = 5;
constexpr int kMaxDepth = 64;

// A one-crossing piece is taken as flat once the band around its chord
// that holds the whole control polygon meets the axis over less than this
// much parameter. At image coordinates up to 32768 the curve moves at most
// about 3 * 65536 pixels per unit of t, so the point found is within
// 1e-7 pixels of the true root's; the parameter reported to callers is
// quantised to 1/65535 anyway.
constexpr double kFlatWidth = 1e-12;

// C(3, i) C(2, j) / C(5, i + j), the weight with which the product of the
// degree-3 and degree-2 basis functions i and j enters basis function
// i + j of degree 5.
double ProductWeight(int i, int j) {
    static const double c3[4] = {1, 3, 3, 1};
    static const double c2[3] = {1, 2, 1};
    static const double c5[6] = {1, 5, 10, 10, 5, 1};
    return c3[i] * c2[j] / c5[i + j];
}

// Sign changes along the values of the control polygon; 0 counts as
// positive, so a polygon touching the axis from above is not a crossing.
int CrossingCount(const Vec2 w[kDegree + 1]) {
    int n = 0;
    bool neg = w[0].y < 0.0;
    for (int k = 1; k <= kDegree; ++k) {
        bool now = w[k].y < 0.0;
        if (now != neg) ++n;
        neg = now;
    }
    return n;
}

// Whether every control point lies within a band along the chord from the
// first to the last that crosses the axis over less than kFlatWidth. The
// curve lies in the hull of its control points, hence in the band, so its
// root lies in that stretch of the axis. With the chord written as
// a x + b y + c = 0, each point's offset is d_i = a x_i + b y_i + c (0 at
// both ends); the band's edges are the chord moved by the largest and the
// smallest d_i, which cross y = 0 (d_max - d_min) / |a| apart.
bool FlatEnough(const Vec2 w[kDegree + 1], double flat_width) {
    const double a = w[0].y - w[kDegree].y;
    const double b = w[kDegree].x - w[0].x;
    const double c = w[0].x * w[kDegree].y - w[kDegree].x * w[0].y;
    if (a == 0.0) return false;  // cannot happen with one crossing; never flat then
    double d_max = 0.0, d_min = 0.0;
    for (int k = 1; k < kDegree; ++k) {
        double d = a * w[k].x + b * w[k].y + c;
        if (d > d_max) d_max = d;
        if (d < d_min) d_min = d;
    }
    return (d_max - d_min) / std::fabs(a) < flat_width;
}

// Where the chord from the first to the last control point meets the axis.
double ChordRoot(const Vec2 w[kDegree + 1]) {
    const double dx = w[kDegree].x - w[0].x, dy = w[kDegree].y - w[0].y;
    if (dy == 0.0) return 0.5 * (w[0].x + w[kDegree].x);
    return w[0].x - w[0].y * dx / dy;
}

// de Casteljau at one half, for the degree-5 polygon.
void Halve(const Vec2 w[kDegree + 1], Vec2 left[kDegree + 1], Vec2 right[kDegree + 1]) {
    Vec2 tri[kDegree + 1][kDegree + 1];
    for (int k = 0; k <= kDegree; ++k) tri[0][k] = w[k];
    for (int r = 1; r <= kDegree; ++r)
        for (int k = 0; k <= kDegree - r; ++k) tri[r][k] = Lerp(tri[r - 1][k], tri[r - 1][k + 1], 0.5);
    for (int k = 0; k <= kDegree; ++k) {
        left[k] = tri[k][0];
        right[k] = tri[kDegree - k][k];
    }
}

void Isolate(const Vec2 w[kDegree + 1], int depth, double *roots, int max_roots, int *found, double flat_width) {
    if (*found >= max_roots) return;
    const int crossings = CrossingCount(w);
    if (crossings == 0) return;
    if (depth >= kMaxDepth) {
        // A piece 2^-64 wide: its middle is the root to double precision.
        roots[(*found)++] = 0.5 * (w[0].x + w[kDegree].x);
        return;
    }
    if (crossings == 1 && FlatEnough(w, flat_width)) {
        roots[(*found)++] = ChordRoot(w);
        return;
    }
    Vec2 left[kDegree + 1], right[kDegree + 1];
    Halve(w, left, right);
    Isolate(left, depth + 1, roots, max_roots, found, flat_width);
    Isolate(right, depth + 1, roots, max_roots, found, flat_width);
}

}  // namespace

void DistanceConditionForm(const Cubic &c, Vec2 p, Vec2 w[6]) {
    Vec2 rel[4], d[3];
    for (int i = 0; i < 4; ++i) rel[i] = Vec2{c.p[i].x - p.x, c.p[i].y - p.y};
    for (int j = 0; j < 3; ++j) d[j] = Vec2{3.0 * (c.p[j + 1].x - c.p[j].x), 3.0 * (c.p[j + 1].y - c.p[j].y)};
    for (int k = 0; k <= kDegree; ++k) w[k] = Vec2{static_cast<double>(k) / kDegree, 0.0};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) w[i + j].y += (rel[i].x * d[j].x + rel[i].y * d[j].y) * ProductWeight(i, j);
}

int FindBernsteinRoots(const Vec2 w[6], double *roots, int max_roots) {
    int found = 0;
    if (roots && max_roots > 0) Isolate(w, 0, roots, max_roots, &found, kFlatWidth);
    return found;
}

NearestPoint NearestPointOnCubic(const Cubic &c, Vec2 p) { return NearestPointOnCubic(c, p, 0.0); }

NearestPoint NearestPointOnCubic(const Cubic &c, Vec2 p, double tolerance) {
    Vec2 w[kDegree + 1];
    DistanceConditionForm(c, p, w);
    // A degree-5 polynomial has at most five roots, and the sign changes of
    // the subdivided polygons never add up to more than the first polygon's.
    double roots[kDegree];
    // A root known to within dt moves the point by at most dt times the
    // curve's speed, which the control polygon bounds by 3 x its longest
    // leg; the band is never made narrower than the exact setting.
    double flat_width = kFlatWidth;
    if (tolerance > 0.0) {
        double leg = 0.0;
        for (int i = 0; i < 3; ++i) leg = std::fmax(leg, std::hypot(c.p[i + 1].x - c.p[i].x, c.p[i + 1].y - c.p[i].y));
        double width = leg > 0.0 ? tolerance / (3.0 * leg) : 1.0;
        if (width > flat_width) flat_width = width;
    }
    int n = 0;
    Isolate(w, 0, roots, kDegree, &n, flat_width);

    auto dist_sq = [&](double t) {
        Vec2 q = PointAt(c, t);
        return (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y);
    };
    double best_t = 0.0, best = dist_sq(0.0);
    for (int k = 0; k < n; ++k) {
        double t = roots[k] < 0.0 ? 0.0 : (roots[k] > 1.0 ? 1.0 : roots[k]);
        double d = dist_sq(t);
        if (d < best) {
            best = d;
            best_t = t;
        }
    }
    if (dist_sq(1.0) < best) {
        best = dist_sq(1.0);
        best_t = 1.0;
    }
    return NearestPoint{best_t, PointAt(c, best_t), std::sqrt(best)};
}

}  // namespace bez
