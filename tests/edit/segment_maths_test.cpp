// The record-level routines of core/bezier.h that the edit operations and
// later the wrap family share.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "core/bezier.h"
#include "edit_support.h"

namespace {

using edit_test::P;
using edit_test::PointsOf;
using testing_support::MakePath;
using SegmentMathsTest = testing_support::PathTest;

TEST(SegmentMaths, TangentsAreUnitAndFollowTheCurve) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-300, 300), param(0, 1);
    for (int trial = 0; trial < 200; ++trial) {
        bez::Cubic c;
        for (auto &p : c.p) p = {coord(rng), coord(rng)};
        double t = param(rng);
        vec::Vec2 d = bez::DerivativeAt(c, t), u = bez::UnitTangentAt(c, t);
        if (std::hypot(d.x, d.y) < 1e-3) continue;
        ASSERT_NEAR(std::hypot(u.x, u.y), 1.0, 1e-12);
        ASSERT_NEAR(u.x * d.y - u.y * d.x, 0.0, 1e-9 * std::hypot(d.x, d.y)) << "parallel";
        ASSERT_GT(u.x * d.x + u.y * d.y, 0.0) << "same direction";
        ASSERT_NEAR(bez::TangentAngle(c, t), std::atan2(d.y, d.x), 1e-12);
    }
    // A curve that starts on its first control point has no derivative
    // there; the near-zero vector is returned unchanged, not blown up.
    bez::Cubic cusp{{{0, 0}, {0, 0}, {10, 0}, {10, 10}}};
    vec::Vec2 z = bez::UnitTangentAt(cusp, 0);
    EXPECT_EQ(z.x, 0.0);
    EXPECT_EQ(z.y, 0.0);
}

// Arc length by dense sampling, the slow reference.
double SampledLength(const bez::Cubic &c) {
    double sum = 0;
    vec::Vec2 prev = bez::PointAt(c, 0);
    for (int i = 1; i <= 200000; ++i) {
        vec::Vec2 p = bez::PointAt(c, i / 200000.0);
        sum += std::hypot(p.x - prev.x, p.y - prev.y);
        prev = p;
    }
    return sum;
}

TEST(SegmentMaths, LengthConvergesOnTheArc) {
    const double k = 0.5522847498 * 1000;
    bez::Cubic quarter{{{1000, 0}, {1000, k}, {k, 1000}, {0, 1000}}};
    double ref = SampledLength(quarter);
    // The tolerance bounds each piece the measure settles on, so the total
    // errs long by at most the tolerance times the number of pieces.
    double coarse = bez::Length(quarter, 0.1), fine = bez::Length(quarter, 1e-4);
    EXPECT_GE(coarse, ref - 1e-6) << "the polygon never undershoots";
    EXPECT_LT(coarse - ref, 1.0);
    EXPECT_GE(fine, ref - 1e-6);
    EXPECT_LT(fine - ref, 0.01);
    EXPECT_LT(fine - ref, (coarse - ref) / 50) << "a finer tolerance converges";
    // Handles that run back over the chord (the curve doubles back twice and
    // the chord is zero), and a cusp (the derivative vanishes inside).
    const bez::Cubic odd[] = {{{{0, 0}, {10, 0}, {-10, 0}, {0, 0}}}, {{{0, 0}, {100, 100}, {0, 100}, {100, 0}}}};
    for (const bez::Cubic &c : odd) EXPECT_NEAR(bez::Length(c, 1e-3), SampledLength(c), 0.02);
}

TEST_F(SegmentMathsTest, SegmentsPointBoundsAndAffineMaps) {
    KyPath *p = MakePath({{PT_MOVETO, 12000, 12500},
                          {PT_LINETO, 15000, 12500},
                          {PT_BEZIERTO, 15500, 13000},
                          {PT_BEZIERTO, 15500, 14000},
                          {PT_BEZIERTO, 15000, 14500}});
    bez::SegmentPoints s;
    ASSERT_TRUE(bez::FetchSegment(p, 0, &s));
    EXPECT_EQ(s.n, 2);
    EXPECT_EQ(s.p[1].x, 15000.0);
    ASSERT_TRUE(bez::FetchSegment(p, 1, &s));
    EXPECT_EQ(s.n, 4);
    EXPECT_EQ(s.p[0].x, 15000.0) << "a curve starts at the previous segment's end";
    EXPECT_EQ(s.p[3].y, 14500.0);
    EXPECT_FALSE(bez::FetchSegment(p, 2, &s));
    EXPECT_FALSE(bez::FetchSegment(p, -1, &s));

    // Beyond 10000 pixels the box is still the points' own (control points
    // count); an empty record gives the inverted box, null a zero one.
    auto box = [](const KyPath *r) {
        bez::Box b = bez::PointBounds(r);
        return std::make_tuple(b.min_x, b.min_y, b.max_x, b.max_y);
    };
    EXPECT_EQ(box(p), std::make_tuple(12000.0, 12500.0, 15500.0, 14500.0));
    KyPath *empty = KyPathCreate();
    EXPECT_EQ(box(empty), std::make_tuple(10000.0, 10000.0, -10000.0, -10000.0));
    EXPECT_EQ(box(nullptr), std::make_tuple(0.0, 0.0, 0.0, 0.0));

    // A quarter turn with a move: (x, y) -> (-y + 1, x + 2), truncated.
    KyPath *q = MakePath({{PT_MOVETO, 3, 4}, {PT_LINETO, 0.5, -1.25}});
    const double m[3][3] = {{0, 1, 99}, {-1, 0, 99}, {1, 2, 99}};
    bez::AffineMap(q, m);
    EXPECT_EQ(PointsOf(q),
              (std::vector<P>{{PT_MOVETO, DbToFix(-3), DbToFix(5)}, {PT_LINETO, DbToFix(2.25), DbToFix(2.5)}}));
    for (KyPath *x : {p, empty, q}) KyPathDeletePtr(x, 0);
}

}  // namespace
