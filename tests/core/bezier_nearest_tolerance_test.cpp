// The nearest point on a cubic to a stated tolerance: the same answer as
// the exact search, to within that tolerance, on random curves.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/bezier_nearest.h"

namespace {

TEST(BezierNearestTolerance, WithinToleranceOfTheExactSearch) {
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<double> coord(-200.0, 200.0);
    for (double tol : {0.1, 0.01, 0.001}) {
        double worst = 0.0;
        for (int i = 0; i < 2000; ++i) {
            bez::Cubic c{{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}}};
            bez::Vec2 p{coord(rng), coord(rng)};
            bez::NearestPoint exact = bez::NearestPointOnCubic(c, p);
            bez::NearestPoint loose = bez::NearestPointOnCubic(c, p, tol);
            // Never nearer than the true nearest point, and no farther than
            // the tolerance allows.
            EXPECT_GE(loose.distance, exact.distance - 1e-9);
            worst = std::fmax(worst, loose.distance - exact.distance);
            bez::Vec2 q = bez::PointAt(c, loose.t);
            EXPECT_NEAR(q.x, loose.point.x, 1e-9);
            EXPECT_NEAR(q.y, loose.point.y, 1e-9);
        }
        EXPECT_LE(worst, tol) << "tolerance " << tol;
    }
    // Tolerance 0 is the exact search.
    bez::Cubic c{{{0, 0}, {30, 80}, {70, -40}, {100, 20}}};
    bez::NearestPoint a = bez::NearestPointOnCubic(c, {50, 60}), b = bez::NearestPointOnCubic(c, {50, 60}, 0.0);
    EXPECT_EQ(a.t, b.t);
}

}  // namespace
