#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/alloc_fail.h"
#include "shapes/curve_fit.h"
#include "support/path_fixture.h"

namespace {

using bez::Cubic;
using testing_support::DebugCapture;
using testing_support::PathTest;
using vec::Vec2;

class CurveFitTest : public PathTest {};

CoordStruct MakeView(double zoom, int32_t scrollX = 0, int32_t scrollY = 0) {
    CoordStruct v{};
    v.right = 800;
    v.bottom = 600;
    v.scrollX = scrollX;
    v.scrollY = scrollY;
    v.zoom = zoom;
    return v;
}

Vec2 PointOf(const KyPath *p, int32_t i) {
    const PathPoint &pt = path::Points(p)[i];
    return Vec2{fx::ToDouble(pt.x), fx::ToDouble(pt.y)};
}

// Distance from q to the nearest of many points along the record's curves.
double DistanceToPath(const KyPath *p, Vec2 q, int steps = 2000) {
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i + 3 < p->count; i += 3) {
        Cubic c{{PointOf(p, i), PointOf(p, i + 1), PointOf(p, i + 2), PointOf(p, i + 3)}};
        for (int k = 0; k <= steps; ++k) {
            Vec2 a = bez::PointAt(c, k / static_cast<double>(steps));
            best = std::min(best, vec::Distance(a.x, a.y, q.x, q.y));
        }
    }
    return best;
}

void ExpectWellFormed(const KyPath *p) {
    ASSERT_GE(p->count, 4);
    EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);
    for (int32_t i = 1; i < p->count; ++i) EXPECT_EQ(path::Points(p)[i].type & PT_KINDMASK, PT_BEZIERTO) << i;
}

TEST_F(CurveFitTest, RefusesWhatCannotBeFitted) {
    CoordStruct view = MakeView(1.0);
    POINT pts[3] = {{0, 0}, {10, 0}, {20, 0}};
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, 2, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, 0, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, -5, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(nullptr, 3, pts, 1.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(&view, 3, nullptr, 1.0, 0), nullptr);
    CoordStruct flat = MakeView(0.0);
    EXPECT_EQ(KyPathCreateApproximateBezier(&flat, 3, pts, 1.0, 0), nullptr) << "no mapping without a zoom";
}

TEST_F(CurveFitTest, EvenlySpacedCollinearPointsGiveOneCurveWithHandlesOnTheEnds) {
    CoordStruct view = MakeView(2.0, 10, -4);
    POINT pts[3] = {{0, 0}, {10, 0}, {20, 0}};
    KyPath *p = KyPathCreateApproximateBezier(&view, 3, pts, 1.0, 0);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 4);
    ExpectWellFormed(p);
    const PathPoint *q = path::Points(p);
    // Window (wx, wy) is image ((scrollX + wx) / zoom, (scrollY + wy) / zoom).
    EXPECT_EQ(+q[0].x, DbToFix(5.0));
    EXPECT_EQ(+q[0].y, DbToFix(-2.0));
    EXPECT_EQ(+q[3].x, DbToFix(15.0));
    EXPECT_EQ(+q[1].x, +q[0].x);
    EXPECT_EQ(+q[1].y, +q[0].y);
    EXPECT_EQ(+q[2].x, +q[3].x);
    EXPECT_EQ(+q[2].y, +q[3].y);
    EXPECT_EQ(p->flags, 0u);
    EXPECT_EQ(p->prev, nullptr);
    EXPECT_EQ(p->next, nullptr);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
}

TEST_F(CurveFitTest, InputBeyondFiveHundredTwelvePointsIsDropped) {
    CoordStruct view = MakeView(1.0);
    std::vector<POINT> pts;
    for (int i = 0; i < 600; ++i) pts.push_back(POINT{i * 3, static_cast<int32_t>(std::lround(40 * std::sin(i * 0.05)))});
    DebugCapture log;
    KyPath *p = KyPathCreateApproximateBezier(&view, 600, pts.data(), 1.0, 0);
    ASSERT_NE(p, nullptr);
    ExpectWellFormed(p);
    // The fit ends on the last point it used, not on the last one given.
    Vec2 end = PointOf(p, p->count - 1);
    EXPECT_DOUBLE_EQ(end.x, pts[511].x);
    EXPECT_DOUBLE_EQ(end.y, pts[511].y);
    std::vector<std::string> want = {
        "- KyPathCreateApproximateBezier(): datas exceed max number (512), array trimmed.\n",
        "- KyPathCreateApproximateBezier(): " + std::to_string(p->count) + " ctrls created from 512 datas.\n"};
    EXPECT_EQ(log.lines(), want);
    KyPathDeletePtr(p, 0);
}

TEST_F(CurveFitTest, PointsSampledFromACubicGiveThatCubicBack) {
    // Window points at zoom 16 are image points on a 1/16 pixel grid.
    const double zoom = 16.0;
    CoordStruct view = MakeView(zoom);
    Cubic truth{{{10, 20}, {40, -30}, {90, 80}, {120, 30}}};
    std::vector<POINT> pts;
    for (int i = 0; i <= 60; ++i) {
        Vec2 a = bez::PointAt(truth, i / 60.0);
        pts.push_back(POINT{static_cast<int32_t>(std::lround(a.x * zoom)), static_cast<int32_t>(std::lround(a.y * zoom))});
    }
    const double tolerance = 1.0;
    KyPath *p = KyPathCreateApproximateBezier(&view, static_cast<int32_t>(pts.size()), pts.data(), tolerance, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->count, 4) << "one curve is enough for points from one curve";
    ExpectWellFormed(p);
    // Both ways: every sample lies near the fit, and the fit runs near the
    // true curve along its whole length (no loop or bulge between samples).
    for (const POINT &w : pts) EXPECT_LT(DistanceToPath(p, Vec2{w.x / zoom, w.y / zoom}), tolerance);
    KyPath *truth_path = testing_support::MakePath({{PT_MOVETO, 10, 20}, {PT_BEZIERTO, 40, -30},
                                                     {PT_BEZIERTO, 90, 80}, {PT_BEZIERTO, 120, 30}});
    ASSERT_NE(truth_path, nullptr);
    for (int k = 0; k <= 100; ++k) {
        Vec2 a = bez::PointAt(Cubic{{PointOf(p, 0), PointOf(p, 1), PointOf(p, 2), PointOf(p, 3)}}, k / 100.0);
        EXPECT_LT(DistanceToPath(truth_path, a), tolerance) << k;
    }
    KyPathDeletePtr(truth_path, 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(CurveFitTest, CornersSplitTheFitAndEveryPointStaysWithinTheTolerance) {
    // Two sides of a triangle with a sharp corner, then a wave.
    std::vector<Vec2> d;
    for (int i = 0; i <= 20; ++i) d.push_back(Vec2{i * 5.0, i * 5.0});
    for (int i = 1; i <= 20; ++i) d.push_back(Vec2{100 + i * 5.0, 100 - i * 5.0});
    for (int i = 1; i <= 60; ++i) d.push_back(Vec2{200 + i * 3.0, 30 * std::sin(i * 0.2)});
    const double tolerance = 1.5;
    KyPath *p = curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), tolerance, false);
    ASSERT_NE(p, nullptr);
    ExpectWellFormed(p);
    EXPECT_GT(p->count, 4);
    for (const Vec2 &q : d) EXPECT_LT(DistanceToPath(p, q), tolerance) << q.x << "," << q.y;
    // The corner is a knot of the chain.
    bool corner_is_knot = false;
    for (int32_t i = 0; i < p->count; i += 3)
        corner_is_knot |= std::fabs(PointOf(p, i).x - 100) < 1e-4 && std::fabs(PointOf(p, i).y - 100) < 1e-4;
    EXPECT_TRUE(corner_is_knot);
    KyPathDeletePtr(p, 0);
}

TEST_F(CurveFitTest, AScribbleNeedingMoreThanAHundredCurvesStillReachesItsEnd) {
    // A zigzag with a sharp turn at every point: each step becomes a curve
    // of its own, far more than a few hundred controls.
    std::vector<Vec2> d;
    for (int i = 0; i < 512; ++i) d.push_back(Vec2{i * 4.0, (i % 2) * 40.0});
    KyPath *p = curvefit::FitPoints(d.data(), 512, 1.0, true);
    ASSERT_NE(p, nullptr);
    ExpectWellFormed(p);
    EXPECT_GT(p->count, 385);
    // The open part ends on the last point, then the closing curve.
    Vec2 last = PointOf(p, p->count - 4);
    EXPECT_DOUBLE_EQ(last.x, 511 * 4.0);
    EXPECT_DOUBLE_EQ(last.y, 40.0);
    for (const Vec2 &q : d) ASSERT_LT(DistanceToPath(p, q, 100), 1.0);
    KyPathDeletePtr(p, 0);
}

TEST_F(CurveFitTest, AClosedFitEndsWithAStraightCurveBackToTheStart) {
    std::vector<Vec2> d;
    for (int i = 0; i <= 40; ++i) d.push_back(Vec2{50 + 40 * std::cos(i * 0.12), 50 + 40 * std::sin(i * 0.12)});
    KyPath *open = curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, false);
    KyPath *closed = curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, true);
    ASSERT_NE(open, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(closed->count, open->count + 3);
    const PathPoint *o = path::Points(open), *c = path::Points(closed);
    for (int32_t i = 0; i < open->count; ++i) {
        EXPECT_EQ(o[i].type, c[i].type);
        EXPECT_EQ(+o[i].x, +c[i].x);
        EXPECT_EQ(+o[i].y, +c[i].y);
    }
    EXPECT_FALSE(path::IsClosed(open));
    ASSERT_TRUE(path::IsClosed(closed));
    const int32_t n = closed->count;
    EXPECT_EQ(c[n - 1].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(c[n - 2].type, PT_BEZIERTO);
    EXPECT_EQ(+c[n - 1].x, +c[0].x);
    EXPECT_EQ(+c[n - 1].y, +c[0].y);
    Vec2 l = d.back(), f = d.front();
    EXPECT_EQ(+c[n - 3].x, DbToFix(l.x + (f.x - l.x) * 0.333333));
    EXPECT_EQ(+c[n - 3].y, DbToFix(l.y + (f.y - l.y) * 0.333333));
    EXPECT_EQ(+c[n - 2].x, DbToFix(l.x + (f.x - l.x) * 0.666667));
    KyPathDeletePtr(open, 0);
    KyPathDeletePtr(closed, 0);
}

TEST_F(CurveFitTest, ToleranceBelowOneActsAsOne) {
    std::vector<Vec2> d;
    for (int i = 0; i <= 80; ++i) d.push_back(Vec2{i * 2.0, 25 * std::sin(i * 0.15) + 0.6 * (i % 3)});
    auto fit = [&](double tol) { return curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), tol, false); };
    KyPath *one = fit(1.0);
    ASSERT_NE(one, nullptr);
    KyPath *two = fit(2.5);
    ASSERT_NE(two, nullptr);
    EXPECT_LT(two->count, one->count) << "the input must be sensitive to the tolerance for this test to mean anything";
    for (double tol : {0.25, 0.0, -3.0, std::numeric_limits<double>::quiet_NaN()}) {
        KyPath *p = fit(tol);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(p->count, one->count) << tol;
        EXPECT_EQ(0, std::memcmp(path::Points(p), path::Points(one), p->count * sizeof(PathPoint))) << tol;
        KyPathDeletePtr(p, 0);
    }
    KyPathDeletePtr(one, 0);
    KyPathDeletePtr(two, 0);
}

TEST_F(CurveFitTest, DegenerateStrokesGiveFinitePaths) {
    // All points on one spot, a stroke that doubles back on itself, and
    // repeated points: no division by a zero length may reach the result.
    std::vector<std::vector<Vec2>> strokes = {
        {{7, 7}, {7, 7}, {7, 7}, {7, 7}},
        {{0, 0}, {10, 0}, {20, 0}, {10, 0}, {0, 0}},
        {{0, 0}, {0, 0}, {5, 5}, {5, 5}, {9, 2}, {9, 2}},
        {{1e6, -1e6}, {1e6 + 3, -1e6}, {1e6 + 6, -1e6 + 9}},
    };
    for (const auto &d : strokes) {
        for (bool closed : {false, true}) {
            KyPath *p = curvefit::FitPoints(d.data(), static_cast<int32_t>(d.size()), 1.0, closed);
            ASSERT_NE(p, nullptr);
            ExpectWellFormed(p);
            EXPECT_EQ(+path::Points(p)[0].x, DbToFix(d[0].x));
            if (!closed) {
                EXPECT_EQ(+path::Points(p)[p->count - 1].x, DbToFix(d.back().x));
            }
            KyPathDeletePtr(p, 0);
        }
    }
    Vec2 same[4] = {{7, 7}, {7, 7}, {7, 7}, {7, 7}};
    KyPath *p = curvefit::FitPoints(same, 4, 1.0, false);
    for (int32_t i = 0; i < p->count; ++i) {
        EXPECT_EQ(+path::Points(p)[i].x, DbToFix(7.0));
        EXPECT_EQ(+path::Points(p)[i].y, DbToFix(7.0));
    }
    KyPathDeletePtr(p, 0);
}

TEST_F(CurveFitTest, FailedAllocationsGiveNothingAndLeaveNothing) {
    CoordStruct view = MakeView(1.0);
    std::vector<POINT> pts;
    for (int i = 0; i < 50; ++i) pts.push_back(POINT{i * 4, (i * i) % 37});
    // Scratch points, fitter scratch, the record: each may fail.
    for (int64_t k = 0; k < 3; ++k) {
        plat::ScopedAllocFailure fail(k);
        EXPECT_EQ(KyPathCreateApproximateBezier(&view, 50, pts.data(), 1.0, 1), nullptr) << k;
    }
    KyPath *p = KyPathCreateApproximateBezier(&view, 50, pts.data(), 1.0, 1);
    ASSERT_NE(p, nullptr);
    KyPathDeletePtr(p, 0);
}

TEST(CurveFitPieces, GenerateBezierRecoversTheCurveFromItsTrueParameters) {
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
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(c.p[k].x, truth.p[k].x, 1e-9) << k;
        EXPECT_NEAR(c.p[k].y, truth.p[k].y, 1e-9) << k;
    }
    // Tangents pointing the wrong way ask for negative lengths: both
    // handles then take a third of the chord along the given tangents.
    Vec2 back1{-t1.x, -t1.y}, back2{-t2.x, -t2.y};
    c = curvefit::GenerateBezier(d.data(), 0, 12, u.data(), back1, back2);
    EXPECT_NEAR(c.p[1].x, -t1.x * 100 / 3.0, 1e-9);
    EXPECT_NEAR(c.p[2].y, -t2.y * 100 / 3.0, 1e-9);
}

TEST(CurveFitPieces, MaxErrorFindsTheWorstInnerPointAndNewtonStepsImproveParameters) {
    Cubic line{{{0, 0}, {10, 0}, {20, 0}, {30, 0}}};  // x = 30 t
    // Parameters in quarters keep every value exact, on any floating point.
    std::vector<Vec2> d = {{0, 5}, {7.5, 1}, {15, 4}, {22.5, 4}, {30, 9}};
    std::vector<double> u = {0, 0.25, 0.5, 0.75, 1};
    int32_t split = -1;
    // The end points are not inner points; of the two equal worst, the first.
    EXPECT_DOUBLE_EQ(curvefit::ComputeMaxError(d.data(), 0, 4, line, u.data(), &split), 4.0);
    EXPECT_EQ(split, 2);
    std::vector<Vec2> on = {{0, 0}, {7.5, 0}, {15, 0}, {22.5, 0}, {30, 0}};
    EXPECT_EQ(curvefit::ComputeMaxError(on.data(), 0, 4, line, u.data(), &split), 0.0);
    EXPECT_EQ(split, 2) << "the middle when nothing is off";

    Cubic arc{{{0, 0}, {0, 40}, {60, 40}, {60, 0}}};
    std::vector<double> truth = {0.1, 0.35, 0.6, 0.85};
    std::vector<Vec2> pts;
    for (double t : truth) pts.push_back(bez::PointAt(arc, t));
    std::vector<double> guess = {0.15, 0.3, 0.65, 0.8};
    curvefit::Reparameterize(pts.data(), 0, 3, guess.data(), arc);
    for (int i = 0; i < 4; ++i) EXPECT_LT(std::fabs(guess[i] - truth[i]), 0.01) << i;
    // A curve that stands still has no direction to step in.
    Cubic dot{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}};
    std::vector<double> keep = {0.25, 0.75};
    std::vector<Vec2> two = {{1, 1}, {9, 9}};
    curvefit::Reparameterize(two.data(), 0, 1, keep.data(), dot);
    EXPECT_EQ(keep[0], 0.25);
    EXPECT_EQ(keep[1], 0.75);
}

}  // namespace
