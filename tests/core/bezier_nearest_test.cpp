#include "core/bezier_nearest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

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
    // All four points in one place: every parameter is as near; t = 0 wins.
    bez::Cubic dot{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}};
    bez::NearestPoint n = bez::NearestPointOnCubic(dot, {8, 9});
    EXPECT_EQ(n.t, 0.0);
    EXPECT_DOUBLE_EQ(n.distance, 5.0);

    // A straight cubic with even controls: the foot of the perpendicular.
    bez::Cubic line{{{0, 0}, {10, 0}, {20, 0}, {30, 0}}};
    n = bez::NearestPointOnCubic(line, {12, 7});
    EXPECT_NEAR(n.t, 0.4, 1e-9);
    EXPECT_NEAR(n.distance, 7.0, 1e-9);
    // Beyond the end: the end itself.
    n = bez::NearestPointOnCubic(line, {35, 0});
    EXPECT_EQ(n.t, 1.0);
    EXPECT_NEAR(n.distance, 5.0, 1e-12);

    // A symmetric arch seen from below its apex: the apex, at t = 1/2.
    bez::Cubic arch{{{0, 0}, {0, 40}, {40, 40}, {40, 0}}};
    n = bez::NearestPointOnCubic(arch, {20, 100});
    EXPECT_NEAR(n.t, 0.5, 1e-9);
    EXPECT_NEAR(n.distance, 70.0, 1e-9);
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
