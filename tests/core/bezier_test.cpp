#include "core/bezier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/bezier_nearest.h"

namespace {

TEST(Bezier, SplitHalvesTraceTheSameCurve) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-500, 500), param(0.05, 0.95);
    for (int trial = 0; trial < 200; ++trial) {
        bez::Cubic c;
        for (auto &p : c.p) p = {coord(rng), coord(rng)};
        double t = param(rng);
        bez::Cubic l, r;
        bez::Split(c, t, &l, &r);
        for (double u : {0.0, 0.3, 0.7, 1.0}) {
            vec::Vec2 a = bez::PointAt(c, u * t), b = bez::PointAt(l, u);
            ASSERT_NEAR(a.x, b.x, 1e-9);
            ASSERT_NEAR(a.y, b.y, 1e-9);
            vec::Vec2 d = bez::PointAt(c, t + u * (1 - t)), e = bez::PointAt(r, u);
            ASSERT_NEAR(d.x, e.x, 1e-9);
            ASSERT_NEAR(d.y, e.y, 1e-9);
        }
        // The derivative matches a central difference.
        double h = 1e-6;
        vec::Vec2 dv = bez::DerivativeAt(c, t);
        vec::Vec2 p1 = bez::PointAt(c, t + h), p0 = bez::PointAt(c, t - h);
        ASSERT_NEAR(dv.x, (p1.x - p0.x) / (2 * h), 1e-3);
        bez::Box box = bez::ControlBox(c);
        vec::Vec2 m = bez::PointAt(c, t);
        ASSERT_TRUE(m.x >= box.min_x && m.x <= box.max_x && m.y >= box.min_y && m.y <= box.max_y);
    }
}

TEST(Bezier, LineSegmentsBecomeEvenCubics) {
    path::Segment s{path::Segment::kLine, 0, 1, {0, fx::FromDouble(30), 0, 0}, {0, fx::FromDouble(-60), 0, 0}};
    bez::Cubic c = bez::FromSegment(s);
    vec::Vec2 q = bez::PointAt(c, 0.25);
    EXPECT_DOUBLE_EQ(q.x, 7.5);
    EXPECT_DOUBLE_EQ(q.y, -15.0);
}

double Dist(vec::Vec2 a, vec::Vec2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The smallest distance by brute force: dense samples, then a ternary
// search between the neighbours of the best sample.
double SampledNearest(const bez::Cubic &c, vec::Vec2 p) {
    constexpr int kSamples = 20000;
    int best_k = 0;
    double best = Dist(bez::PointAt(c, 0.0), p);
    for (int k = 1; k <= kSamples; ++k) {
        double d = Dist(bez::PointAt(c, static_cast<double>(k) / kSamples), p);
        if (d < best) {
            best = d;
            best_k = k;
        }
    }
    double lo = std::max(0.0, (best_k - 1.0) / kSamples), hi = std::min(1.0, (best_k + 1.0) / kSamples);
    for (int it = 0; it < 100; ++it) {
        double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        if (Dist(bez::PointAt(c, m1), p) < Dist(bez::PointAt(c, m2), p)) hi = m2;
        else lo = m1;
    }
    return std::min(best, Dist(bez::PointAt(c, 0.5 * (lo + hi)), p));
}

TEST(BezierNearest, AgreesWithDenseSamplingOnRandomCubics) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> coord(-300, 300), near(-40, 40);
    for (int trial = 0; trial < 400; ++trial) {
        bez::Cubic c;
        for (auto &q : c.p) q = {coord(rng), coord(rng)};
        // Points both far from the curve and close to it, where a wrong
        // root shows most.
        vec::Vec2 on = bez::PointAt(c, std::uniform_real_distribution<double>(0, 1)(rng));
        vec::Vec2 p = trial % 2 ? vec::Vec2{coord(rng), coord(rng)} : vec::Vec2{on.x + near(rng), on.y + near(rng)};
        bez::NearestPoint n = bez::NearestPointOnCubic(c, p);
        const double ref = SampledNearest(c, p);
        ASSERT_NEAR(n.distance, ref, 0.01) << "trial " << trial;
        ASSERT_GE(n.t, 0.0);
        ASSERT_LE(n.t, 1.0);
        vec::Vec2 at = bez::PointAt(c, n.t);
        ASSERT_NEAR(Dist(at, n.point), 0.0, 1e-9);
        ASSERT_NEAR(Dist(at, p), n.distance, 1e-9);
        // A stated tolerance: never nearer than the exact answer, never
        // farther than the tolerance allows, and a point on the curve.
        for (double tol : {0.1, 0.01, 0.001}) {
            bez::NearestPoint loose = bez::NearestPointOnCubic(c, p, tol);
            ASSERT_GE(loose.distance, n.distance - 1e-9) << "trial " << trial;
            ASSERT_LE(loose.distance, n.distance + tol) << "trial " << trial << " tolerance " << tol;
            ASSERT_NEAR(Dist(bez::PointAt(c, loose.t), loose.point), 0.0, 1e-9);
        }
        ASSERT_EQ(bez::NearestPointOnCubic(c, p, 0.0).t, n.t) << "tolerance 0 is the exact search";
    }
}

TEST(BezierNearest, DegenerateAndSymmetricCurves) {
    const bez::Cubic dot{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}}, line{{{0, 0}, {10, 0}, {20, 0}, {30, 0}}},
        arch{{{0, 0}, {0, 40}, {40, 40}, {40, 0}}};
    struct Case {
        const bez::Cubic &c;
        vec::Vec2 p;
        double t, distance;
    } const cases[] = {
        {dot, {8, 9}, 0.0, 5.0},     // every parameter is as near; t = 0 wins
        {line, {12, 7}, 0.4, 7.0},   // even controls: the foot of the perpendicular
        {line, {35, 0}, 1.0, 5.0},   // beyond the end: the end itself
        {arch, {20, 100}, 0.5, 70.0},  // seen from below its apex: the apex
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        bez::NearestPoint n = bez::NearestPointOnCubic(cases[i].c, cases[i].p);
        const double t_tol = cases[i].t == 0.0 || cases[i].t == 1.0 ? 0.0 : 1e-9;  // an end is hit exactly
        EXPECT_NEAR(n.t, cases[i].t, t_tol) << "case " << i;
        EXPECT_NEAR(n.distance, cases[i].distance, 1e-9) << "case " << i;
    }
}

TEST(BezierNearest, RootsAreTheSignChangesOfTheDistanceCondition) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> coord(-100, 100);
    for (int trial = 0; trial < 300; ++trial) {
        bez::Cubic c;
        for (auto &q : c.p) q = {coord(rng), coord(rng)};
        vec::Vec2 p{coord(rng), coord(rng)};
        vec::Vec2 w[6];
        bez::DistanceConditionForm(c, p, w);
        // The Bernstein form evaluates to (B - P) . B' everywhere.
        auto f = [&](double t) {
            vec::Vec2 b = bez::PointAt(c, t), d = bez::DerivativeAt(c, t);
            return (b.x - p.x) * d.x + (b.y - p.y) * d.y;
        };
        for (double t : {0.0, 0.21, 0.5, 0.87, 1.0}) {
            double u = 1 - t, poly = 0;
            const double binom[6] = {1, 5, 10, 10, 5, 1};
            for (int k = 0; k < 6; ++k) poly += binom[k] * std::pow(t, k) * std::pow(u, 5 - k) * w[k].y;
            ASSERT_NEAR(poly, f(t), 1e-6 * (1 + std::fabs(f(t))));
        }
        double roots[5];
        int n = bez::FindBernsteinRoots(w, roots, 5);
        int changes = 0;
        constexpr int kSteps = 4000;
        for (int k = 0; k < kSteps; ++k) changes += (f(double(k) / kSteps) < 0) != (f(double(k + 1) / kSteps) < 0);
        ASSERT_EQ(n, changes) << "trial " << trial;
        for (int k = 0; k < n; ++k) {
            // A root: the sign of f changes within a hair of it.
            double lo = std::max(0.0, roots[k] - 1e-9), hi = std::min(1.0, roots[k] + 1e-9);
            ASSERT_NE(f(lo) < 0, f(hi) < 0) << roots[k];
        }
    }
}

}  // namespace
