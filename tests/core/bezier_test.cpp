#include "core/bezier.h"

#include <gtest/gtest.h>

#include <random>

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

}  // namespace
