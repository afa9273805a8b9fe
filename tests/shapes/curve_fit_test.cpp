#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/alloc_fail.h"
#include "shapes/curve_fit.h"
#include "support/owned_records.h"

namespace {

using bez::Cubic;
using testing_support::DebugCapture;
using vec::Vec2;

class CurveFitTest : public testing_support::OwningPathTest {};

CoordStruct MakeView(double zoom, int32_t scrollX = 0, int32_t scrollY = 0) {
    return CoordStruct{0, 0, 800, 600, scrollX, scrollY, zoom, nullptr, {}};
}

Vec2 PointOf(const KyPath *p, int32_t i) {
    return Vec2{fx::ToDouble(path::Points(p)[i].x), fx::ToDouble(path::Points(p)[i].y)};
}
Cubic CurveOf(const KyPath *p, int32_t i) {
    return Cubic{{PointOf(p, i), PointOf(p, i + 1), PointOf(p, i + 2), PointOf(p, i + 3)}};
}

// Distance from q to the nearest of many points along the record's curves.
double DistanceToPath(const KyPath *p, Vec2 q, int steps = 1000) {
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i + 3 < p->count; i += 3)
        for (int k = 0; k <= steps; ++k) {
            Vec2 a = bez::PointAt(CurveOf(p, i), k / static_cast<double>(steps));
            best = std::min(best, vec::Distance(a.x, a.y, q.x, q.y));
        }
    return best;
}

// Point 0 a move, then whole curves; every input point within the tolerance.
void ExpectFits(const KyPath *p, const std::vector<Vec2> &d, double tolerance, int steps = 1000) {
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count % 3, 1);
    EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);
    for (int32_t i = 1; i < p->count; ++i) EXPECT_EQ(path::Points(p)[i].type & PT_KINDMASK, PT_BEZIERTO);
    for (const Vec2 &q : d) ASSERT_LT(DistanceToPath(p, q, steps), tolerance) << q.x << ", " << q.y;
}

TEST_F(CurveFitTest, ShortInputAndCollinearPoints) {
    CoordStruct view = MakeView(2.0, 10, -4);
    POINT pts[3] = {{0, 0}, {10, 0}, {20, 0}};
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, 2, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, -5, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(nullptr, 3, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, 3, nullptr, 1.0, 0), nullptr);
    CoordStruct flat = MakeView(0.0);
    EXPECT_EQ(KyPathCreateApproximateBezier(&flat, 3, pts, 1.0, 0), nullptr) << "no mapping without a zoom";

    // Evenly spaced on a line: both least-squares lengths are 0, and the
    // handles lie on the ends. Window w is image (scroll + w) / zoom.
    KyPath *p = Own(KyPathCreateApproximateBezier(&view, 3, pts, 1.0, 0));
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 4);
    const PathPoint *q = path::Points(p);
    EXPECT_EQ(+q[0].x, DbToFix(5.0));
    EXPECT_EQ(+q[0].y, DbToFix(-2.0));
    EXPECT_EQ(+q[3].x, DbToFix(15.0));
    EXPECT_EQ(+q[1].x, +q[0].x);
    EXPECT_EQ(+q[2].x, +q[3].x);
    EXPECT_EQ(+q[2].y, +q[3].y);
    EXPECT_EQ(p->flags, 0u);
}

TEST_F(CurveFitTest, InputBeyondFiveHundredTwelvePointsIsDropped) {
    CoordStruct view = MakeView(1.0);
    std::vector<POINT> pts;
    for (int i = 0; i < 600; ++i) pts.push_back(POINT{i * 3, static_cast<int32_t>(std::lround(40 * std::sin(i * 0.05)))});
    DebugCapture log;
    KyPath *p = Own(KyPathCreateApproximateBezier(&view, 600, pts.data(), 1.0, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(PointOf(p, p->count - 1).x, pts[511].x) << "the fit ends on the last point used";
    std::vector<std::string> want = {
        "- KyPathCreateApproximateBezier(): datas exceed max number (512), array trimmed.\n",
        "- KyPathCreateApproximateBezier(): " + std::to_string(p->count) + " ctrls created from 512 datas.\n"};
    EXPECT_EQ(log.lines(), want);
}

TEST_F(CurveFitTest, PointsSampledFromACubicGiveThatCubicBack) {
    // Window points at zoom 16 are image points on a 1/16 pixel grid.
    CoordStruct view = MakeView(16.0);
    Cubic truth{{{10, 20}, {40, -30}, {90, 80}, {120, 30}}};
    std::vector<POINT> pts;
    std::vector<Vec2> d;
    for (int i = 0; i <= 60; ++i) {
        Vec2 a = bez::PointAt(truth, i / 60.0);
        pts.push_back(POINT{static_cast<int32_t>(std::lround(a.x * 16)), static_cast<int32_t>(std::lround(a.y * 16))});
        d.push_back(Vec2{pts.back().x / 16.0, pts.back().y / 16.0});
    }
    KyPath *p = Own(KyPathCreateApproximateBezier(&view, static_cast<int32_t>(pts.size()), pts.data(), 1.0, 0));
    ExpectFits(p, d, 1.0);
    EXPECT_EQ(p->count, 4) << "one curve is enough for points from one curve";
}

TEST_F(CurveFitTest, CornersSplitTheFitAndScribblesAreNeverCutShort) {
    std::vector<Vec2> d;
    for (int i = 0; i <= 20; ++i) d.push_back(Vec2{i * 5.0, i * 5.0});
    for (int i = 1; i <= 20; ++i) d.push_back(Vec2{100 + i * 5.0, 100 - i * 5.0});
    for (int i = 1; i <= 60; ++i) d.push_back(Vec2{200 + i * 3.0, 30 * std::sin(i * 0.2)});
    KyPath *p = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.5, false));
    ExpectFits(p, d, 1.5);
    // A tolerance below 1.0, or none at all, fits as 1.0 does.
    KyPath *one = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, false));
    EXPECT_GT(one->count, p->count);
    for (double tol : {0.25, std::numeric_limits<double>::quiet_NaN()}) {
        KyPath *q = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), tol, false));
        ASSERT_EQ(q->count, one->count) << tol;
        EXPECT_EQ(0, std::memcmp(path::Points(q), path::Points(one), q->count * sizeof(PathPoint))) << tol;
    }
    bool corner_is_knot = false;
    for (int32_t i = 0; i < p->count; i += 3)
        corner_is_knot |= std::fabs(PointOf(p, i).x - 100) < 1e-4 && std::fabs(PointOf(p, i).y - 100) < 1e-4;
    EXPECT_TRUE(corner_is_knot);

    // A sharp turn at every point: far more curves than a few hundred
    // controls hold, and still every point is on the fit.
    d.clear();
    for (int i = 0; i < 512; ++i) d.push_back(Vec2{i * 4.0, (i % 2) * 40.0});
    p = Own(curvefit::FitPoints(d.data(), 512, 1.0, false));
    ExpectFits(p, d, 1.0, 60);
    EXPECT_GT(p->count, 385);
}

TEST_F(CurveFitTest, AClosedFitEndsWithAStraightCurveBackToTheStart) {
    std::vector<Vec2> d;
    for (int i = 0; i <= 40; ++i) d.push_back(Vec2{50 + 40 * std::cos(i * 0.12), 50 + 40 * std::sin(i * 0.12)});
    KyPath *open = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, false));
    KyPath *closed = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, true));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(closed->count, open->count + 3);
    EXPECT_EQ(0, std::memcmp(path::Points(open), path::Points(closed), open->count * sizeof(PathPoint)));
    EXPECT_FALSE(path::IsClosed(open));
    const PathPoint *c = path::Points(closed);
    const int32_t n = closed->count;
    EXPECT_EQ(c[n - 1].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(+c[n - 1].x, +c[0].x);
    EXPECT_EQ(+c[n - 1].y, +c[0].y);
    Vec2 l = d.back(), f = d.front();
    EXPECT_EQ(+c[n - 3].x, DbToFix(l.x + (f.x - l.x) * 0.333333));
    EXPECT_EQ(+c[n - 2].y, DbToFix(l.y + (f.y - l.y) * 0.666667));
}

TEST_F(CurveFitTest, DegenerateStrokesAndFailedAllocations) {
    // One spot, a stroke that doubles back, repeated points, far coordinates:
    // no zero length may divide its way into the result.
    std::vector<std::vector<Vec2>> strokes = {{{7, 7}, {7, 7}, {7, 7}, {7, 7}},
                                              {{0, 0}, {10, 0}, {20, 0}, {10, 0}, {0, 0}},
                                              {{0, 0}, {0, 0}, {5, 5}, {5, 5}, {9, 2}, {9, 2}},
                                              {{1e4, -1e4}, {1e4 + 3, -1e4}, {1e4 + 6, -1e4 + 9}}};
    for (const auto &d : strokes) {
        KyPath *p = Own(curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, true));
        ExpectFits(p, d, 1.0);
    }
    CoordStruct view = MakeView(1.0);
    std::vector<POINT> pts;
    for (int i = 0; i < 50; ++i) pts.push_back(POINT{i * 4, (i * i) % 37});
    for (int64_t k = 0; k < 3; ++k) {  // scratch points, fitter scratch, the record
        plat::ScopedAllocFailure fail(k);
        EXPECT_EQ(KyPathCreateApproximateBezier(&view, 50, pts.data(), 1.0, 1), nullptr) << k;
    }
}

TEST(CurveFitPieces, LeastSquaresErrorAndNewtonSteps) {
    // From the true parameters and tangents the least-squares handles are
    // the curve's own.
    Cubic truth{{{0, 0}, {30, 60}, {80, 70}, {100, 0}}};
    std::vector<Vec2> d;
    std::vector<double> u;
    for (int i = 0; i <= 12; ++i) {
        u.push_back(i / 12.0);
        d.push_back(bez::PointAt(truth, u.back()));
    }
    Vec2 t1{30, 60}, t2{-20, 70};
    vec::Normalize(&t1);
    vec::Normalize(&t2);
    Cubic c = curvefit::GenerateBezier(d.data(), 0, 12, u.data(), t1, t2);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(c.p[k].y, truth.p[k].y, 1e-9) << k;
    EXPECT_NEAR(c.p[1].x, 30, 1e-9);
    // Tangents the wrong way ask for negative lengths: a third of the chord.
    c = curvefit::GenerateBezier(d.data(), 0, 12, u.data(), Vec2{-t1.x, -t1.y}, Vec2{-t2.x, -t2.y});
    EXPECT_NEAR(c.p[1].x, -t1.x * 100 / 3.0, 1e-9);

    // Parameters in quarters keep every value exact, on any floating point.
    Cubic line{{{0, 0}, {10, 0}, {20, 0}, {30, 0}}};
    std::vector<Vec2> off = {{0, 5}, {7.5, 1}, {15, 4}, {22.5, 4}, {30, 9}}, on = {{0, 0}, {7.5, 0}, {15, 0}};
    std::vector<double> quarters = {0, 0.25, 0.5, 0.75, 1};
    int32_t split = -1;
    EXPECT_EQ(curvefit::ComputeMaxError(off.data(), 0, 4, line, quarters.data(), &split), 4.0);
    EXPECT_EQ(split, 2) << "inner points only, the first of two equal";
    std::vector<double> params = {0, 0.25, 1};
    EXPECT_EQ(curvefit::ComputeMaxError(on.data(), 0, 2, line, params.data(), &split), 0.0);
    EXPECT_EQ(split, 1) << "the middle when nothing is off";

    Cubic arc{{{0, 0}, {0, 40}, {60, 40}, {60, 0}}};
    std::vector<double> guess = {0.15, 0.3, 0.65, 0.8}, want = {0.1, 0.35, 0.6, 0.85};
    std::vector<Vec2> pts;
    for (double t : want) pts.push_back(bez::PointAt(arc, t));
    curvefit::Reparameterize(pts.data(), 0, 3, guess.data(), arc);
    for (int i = 0; i < 4; ++i) EXPECT_LT(std::fabs(guess[i] - want[i]), 0.01) << i;
    Cubic dot{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}};  // stands still: no step to take
    std::vector<double> keep = {0.4};
    curvefit::Reparameterize(pts.data(), 0, 0, keep.data(), dot);
    EXPECT_EQ(keep[0], 0.4);
}

}  // namespace
