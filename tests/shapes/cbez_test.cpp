#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/bezier.h"
#include "platform/alloc_fail.h"
#include "shapes/cbez.h"
#include "support/path_fixture.h"

namespace {

using testing_support::DebugCapture;
using testing_support::PathTest;
using vec::Vec2;

class CBezTest : public PathTest {};

// Builds a curve the way the smooth tool does: each click appends a knot,
// which is then moved into place with G1 (or the given) continuity.
void Click(CBez &c, Vec2 pos, int32_t type = CBez::kG1) {
    c.Append(CBez::kClamp);
    c.Edit(type, c.nCtrls - 1, pos, 2, true);
}

CBez Curve(std::initializer_list<Vec2> knots, int32_t type = CBez::kG1) {
    CBez c;
    for (Vec2 k : knots) Click(c, k, type);
    return c;
}

void ExpectAt(const CBez &c, int32_t i, double x, double y) {
    EXPECT_NEAR(c.ctrls[i].x, x, 1e-9) << "control " << i;
    EXPECT_NEAR(c.ctrls[i].y, y, 1e-9) << "control " << i;
}

double Cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
Vec2 Minus(Vec2 a, Vec2 b) { return Vec2{a.x - b.x, a.y - b.y}; }

// The handles on both sides of knot k point in opposite directions.
void ExpectSmoothAt(const CBez &c, int32_t in, int32_t knot, int32_t out) {
    Vec2 a = Minus(c.At(knot), c.At(in)), b = Minus(c.At(out), c.At(knot));
    EXPECT_NEAR(Cross(a, b), 0.0, 1e-7) << "knot " << knot;
    EXPECT_GT(a.x * b.x + a.y * b.y, 0.0) << "knot " << knot;
}

TEST(CBez, ThreeKnotsOnALineGetG1HandlesAtATensionOfTheirChords) {
    CBez c = Curve({{0, 0}, {10, 0}, {20, 0}});
    ASSERT_EQ(c.nCtrls, 7);
    EXPECT_EQ(c.tension, 0.375);
    ExpectAt(c, 2, 6.25, 0);
    ExpectAt(c, 4, 13.75, 0);
    // The free ends of an open curve are corners: their handles lie on them.
    ExpectAt(c, 1, 0, 0);
    ExpectAt(c, 5, 20, 0);

    // Unequal chords: the tangent leans towards the shorter chord's
    // direction and each handle scales with its own chord.
    CBez bent = Curve({{0, 0}, {30, 0}, {30, 10}});
    Vec2 in = Minus(bent.At(3), bent.At(2)), out = Minus(bent.At(4), bent.At(3));
    EXPECT_NEAR(std::hypot(in.x, in.y), 30 * 0.375, 1e-9);
    EXPECT_NEAR(std::hypot(out.x, out.y), 10 * 0.375, 1e-9);
    ExpectSmoothAt(bent, 2, 3, 4);
    // unit(a * |b| + b * |a|) with a = (1, 0), |a| = 30, b = (0, 1), |b| = 10.
    EXPECT_NEAR(out.y / out.x, 3.0, 1e-9);
}

TEST(CBez, ArrangeSegmentsG1OnOneSegment) {
    CBez c;
    BezCtrl run[4] = {{0, 0, 0}, {5, 5, 0}, {5, 5, 0}, {40, 0, 0}};
    c.ArrangeSegmentsG1(run, 4, false, nullptr, nullptr);
    EXPECT_DOUBLE_EQ(run[1].x, 15);  // straight: handles along the chord
    EXPECT_DOUBLE_EQ(run[2].x, 25);
    EXPECT_DOUBLE_EQ(run[1].y, 0);
    Vec2 up{0, 1};
    c.ArrangeSegmentsG1(run, 4, false, &up, nullptr);
    EXPECT_DOUBLE_EQ(run[1].y, 15);
    EXPECT_DOUBLE_EQ(run[2].x, 40) << "the end without a tangent is a corner";
    c.ArrangeSegmentsG1(run, 4, false, nullptr, &up);
    EXPECT_DOUBLE_EQ(run[1].x, 0);
    EXPECT_DOUBLE_EQ(run[2].y, -15);
    // Runs that are not whole segments are left alone.
    BezCtrl odd[5] = {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {3, 3, 0}, {4, 4, 0}};
    c.ArrangeSegmentsG1(odd, 5, false, nullptr, nullptr);
    c.ArrangeSegmentsG1(odd, 1, false, nullptr, nullptr);
    EXPECT_EQ(odd[1].x, 1);
    EXPECT_EQ(odd[2].x, 2);
}

TEST(CBez, AppendStopsAtTheLastWholeSegmentAndDeleteNeverGoesNegative) {
    CBez c;
    c.DeleteLast();
    EXPECT_EQ(c.nCtrls, 0);
    c.Append(CBez::kRelax);
    EXPECT_EQ(c.nCtrls, 1);
    EXPECT_EQ(c.ctrls[0].flag, CBez::kRelax);
    c.Edit(CBez::kG1, 0, Vec2{4, 5}, 1, false);
    c.Append(CBez::kRelax);
    ASSERT_EQ(c.nCtrls, 4);
    for (int i = 1; i < 4; ++i) ExpectAt(c, i, 4, 5);
    EXPECT_EQ(c.ctrls[1].flag, 0u);
    EXPECT_EQ(c.ctrls[3].flag, CBez::kRelax);
    for (int i = 0; i < 200; ++i) c.Append(CBez::kClamp);
    EXPECT_EQ(c.nCtrls, 1 + 3 * 127);
    EXPECT_EQ(c.Segments(), 127);
    c.DeleteLast();
    EXPECT_EQ(c.nCtrls, 1 + 3 * 126);
    c.nCtrls = 1;
    c.DeleteLast();
    EXPECT_EQ(c.nCtrls, 0);
}

TEST(CBez, ClosedMeansThreeSegmentsEndingOnTheFirstKnot) {
    CBez c = Curve({{0, 0}, {10, 0}, {10, 10}});
    Vec2 start{0, 0};
    EXPECT_FALSE(c.IsClosed(&start)) << "two segments never close";
    Click(c, Vec2{0.00009, -0.0001});
    EXPECT_TRUE(c.IsClosed());
    Vec2 near{0.0001, 0}, off{0.00011, 0};
    EXPECT_TRUE(c.IsClosed(&near));
    EXPECT_FALSE(c.IsClosed(&off));
}

TEST(CBez, EditIgnoresWhatIsNotAKnotMove) {
    CBez c = Curve({{0, 0}, {10, 0}, {20, 5}});
    CBez before = c;
    c.Edit(CBez::kG1, 1, Vec2{50, 50}, 2, false);  // a handle
    c.Edit(CBez::kG1, 9, Vec2{50, 50}, 2, false);  // past the end
    c.Edit(CBez::kG1, -3, Vec2{50, 50}, 2, false);
    c.Edit(CBez::kG1, 3, Vec2{50, 50}, 3, false);  // span
    c.Edit(CBez::kG1, 3, Vec2{50, 50}, 0, false);
    EXPECT_EQ(0, std::memcmp(c.ctrls, before.ctrls, sizeof c.ctrls));
}

TEST(CBez, ARelaxedKnotEndsTheRearrangedWindow) {
    CBez c = Curve({{0, 0}, {20, 10}, {40, 0}, {60, 10}, {80, 0}});
    ASSERT_EQ(c.nCtrls, 13);
    c.ctrls[6].flag = CBez::kRelax;
    CBez before = c;
    c.Edit(CBez::kG1, 9, Vec2{60, 30}, 2, false);
    // Nothing up to the relaxed knot's incoming handle changes...
    EXPECT_EQ(0, std::memcmp(c.ctrls, before.ctrls, 6 * sizeof(BezCtrl)));
    // ...and its outgoing handle collapses onto it: a corner.
    ExpectAt(c, 7, 40, 0);
    ExpectAt(c, 9, 60, 30);
    ExpectSmoothAt(c, 8, 9, 10);

    // Moving the relaxed knot itself refits both sides with a corner there.
    CBez d = c;
    d.Edit(CBez::kG1, 6, Vec2{45, -10}, 2, false);
    ExpectAt(d, 5, 45, -10);
    ExpectAt(d, 7, 45, -10);
    ExpectSmoothAt(d, 2, 3, 4);
    ExpectSmoothAt(d, 8, 9, 10);
    EXPECT_NE(d.ctrls[4].x, c.ctrls[4].x) << "the segment before the corner followed it";
    EXPECT_NE(d.ctrls[8].x, c.ctrls[8].x) << "and so did the one after it";
}

TEST(CBez, EditingKeepsTheCurveOutsideTheWindowAndTheTangentAtItsEdge) {
    CBez c = Curve({{0, 0}, {20, 10}, {40, 0}, {60, 10}, {80, 0}, {100, 10}, {120, 0}});
    CBez before = c;
    c.Edit(CBez::kG1, 3, Vec2{25, 20}, 1, false);  // window: knots 0..2
    // Knot 2's incoming handle keeps its direction so the curve stays smooth
    // across the window's edge, and everything past it is untouched.
    ExpectSmoothAt(c, 5, 6, 7);
    EXPECT_EQ(0, std::memcmp(c.ctrls + 6, before.ctrls + 6, (c.nCtrls - 6) * sizeof(BezCtrl)));
}

TEST(CBez, ClosedLoopsStaySmoothAcrossTheirStart) {
    // Four segments: the +-2 window is the whole loop.
    CBez sq = Curve({{0, 0}, {40, 0}, {40, 40}, {0, 40}});
    Click(sq, Vec2{0, 0});
    ASSERT_TRUE(sq.IsClosed());
    ExpectSmoothAt(sq, sq.nCtrls - 2, 0, 1);
    ExpectSmoothAt(sq, 2, 3, 4);
    ExpectSmoothAt(sq, 8, 9, 10);
    // A square's corners are symmetric: every handle has the same length.
    for (int i = 1; i < sq.nCtrls; i += 3) {
        Vec2 h = Minus(sq.At(i), sq.At(i - 1));
        EXPECT_NEAR(std::hypot(h.x, h.y), 40 * 0.375, 1e-9) << i;
    }

    // Seven segments: the window around the closing knot runs across the
    // start, and the far side of the loop is untouched.
    CBez c = Curve({{0, 0}, {30, -10}, {60, 0}, {80, 30}, {60, 60}, {30, 70}, {0, 60}, {-20, 30}});
    CBez open = c;
    Click(c, Vec2{0, 0});
    ASSERT_TRUE(c.IsClosed());
    ExpectSmoothAt(c, c.nCtrls - 2, 0, 1);
    ExpectSmoothAt(c, 2, 3, 4);
    ExpectSmoothAt(c, c.nCtrls - 5, c.nCtrls - 4, c.nCtrls - 3);
    EXPECT_EQ(0, std::memcmp(c.ctrls + 7, open.ctrls + 7, 9 * sizeof(BezCtrl))) << "segments 2 to 4";

    // The same last move without the loop: the start stays a corner.
    CBez o = open;
    o.Append(CBez::kClamp);
    o.Edit(CBez::kG1, o.nCtrls - 1, Vec2{0, 0}, 2, false);
    ExpectAt(o, 1, 0, 0);
}

TEST(CBez, ToPathConvertsWholeSegmentsOnly) {
    KyPathInit();
    CBez c = Curve({{0, 0}, {10.5, 0}, {20, -7.25}});
    DebugCapture log;
    KyPath *p = c.ToPath(true);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 7);
    EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(path::Points(p)[i].type, PT_BEZIERTO) << "not closed, so no closing mark";
        EXPECT_EQ(+path::Points(p)[i].x, DbToFix(c.ctrls[i].x));
        EXPECT_EQ(+path::Points(p)[i].y, DbToFix(c.ctrls[i].y));
    }
    EXPECT_EQ(mem::PathBlockSize(p), path::BlockBytes(7));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "- CBez: converted to KyPath, nCtrls=7, closed=FALSE.\n");
    KyPathDeletePtr(p, 0);

    c.nCtrls = 5;
    EXPECT_EQ(c.ToPath(false), nullptr);
    c.nCtrls = 1;
    EXPECT_EQ(c.ToPath(false), nullptr);
}

TEST_F(CBezTest, AClosedPathEndsExactlyOnItsFirstPoint) {
    CBez c = Curve({{1, 1}, {41, 1}, {41, 41}, {1, 41}});
    Click(c, Vec2{1.00005, 0.99995});
    DebugCapture log;
    KyPath *p = c.ToPath(true);
    ASSERT_NE(p, nullptr);
    const PathPoint &last = path::Points(p)[12];
    EXPECT_EQ(last.type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(+last.x, +path::Points(p)[0].x);
    EXPECT_EQ(+last.y, +path::Points(p)[0].y);
    EXPECT_EQ(log.lines().back(), "- CBez: converted to KyPath, nCtrls=13, closed=TRUE.\n");
    KyPathDeletePtr(p, 0);

    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(c.ToPath(true), nullptr);
}

TEST(CBez, DiagnosticsOfTheSimpleOperations) {
    DebugCapture log;
    CBez c;
    c.Append(0);
    c.Edit(CBez::kG1, 0, Vec2{1, 1}, 2, true);
    c.Edit(CBez::kC2, 0, Vec2{1, 1}, 2, true);
    c.Edit(CBez::kHybrid, 0, Vec2{1, 1}, 2, true);
    c.Append(0);
    c.DeleteLast();
    c.Empty();
    std::vector<std::string> want = {"- CBez::Edit(): type = G1\n", "- CBez::Edit(): type = C2\n",
                                     "- CBez::Edit(): type = HYBRID\n", "- CBez: segment deleted, nCtrls=1.\n",
                                     "- CBez: empty.\n"};
    EXPECT_EQ(log.lines(), want);
    EXPECT_EQ(c.nCtrls, 0);
    EXPECT_EQ(c.type, CBez::kHybrid);
}

TEST(CBez, SolveLinearSystem) {
    // 2x + y - z = 8, -3x - y + 2z = -11, -2x + y + 2z = -3: (2, 3, -1).
    double a[12] = {2, 1, -1, 8, -3, -1, 2, -11, -2, 1, 2, -3};
    double x[3] = {0, 0, 0};
    ASSERT_TRUE(CBez::SolveLinearSystem(a, 3, x));
    EXPECT_NEAR(x[0], 2, 1e-12);
    EXPECT_NEAR(x[1], 3, 1e-12);
    EXPECT_NEAR(x[2], -1, 1e-12);

    // Singular (row 3 = row 1 + row 2): refused, and x keeps its values.
    double s[12] = {1, 2, 3, 1, 2, 5, 1, 2, 3, 7, 4, 3};
    double keep[3] = {7, 8, 9};
    EXPECT_FALSE(CBez::SolveLinearSystem(s, 3, keep));
    EXPECT_EQ(keep[0], 7);
    EXPECT_EQ(keep[2], 9);
    // Nearly singular, with a pivot below 0.0001.
    double tiny[6] = {0.00005, 1, 1, 1, 1, 2};
    EXPECT_FALSE(CBez::SolveLinearSystem(tiny, 2, keep));
    // Not a number anywhere in the pivots, or a result that overflows.
    double nan[6] = {std::nan(""), 1, 1, 1, 1, 2};
    EXPECT_FALSE(CBez::SolveLinearSystem(nan, 2, keep));
    double huge[6] = {1e-3, 0, 1e308, 0, 1, 1};
    EXPECT_FALSE(CBez::SolveLinearSystem(huge, 2, keep));
    EXPECT_EQ(keep[1], 8);
    EXPECT_FALSE(CBez::SolveLinearSystem(nullptr, 2, keep));
    double one[2] = {4, 2};
    ASSERT_TRUE(CBez::SolveLinearSystem(one, 1, keep));
    EXPECT_EQ(keep[0], 0.5);
}

// First and second derivatives at the ends of segment i.
struct Ends {
    Vec2 d1_start, d1_end, d2_start, d2_end;
};
Ends DerivativesOf(const CBez &c, int32_t seg) {
    bez::Cubic q{{c.At(3 * seg), c.At(3 * seg + 1), c.At(3 * seg + 2), c.At(3 * seg + 3)}};
    return Ends{bez::DerivativeAt(q, 0), bez::DerivativeAt(q, 1), bez::SecondDerivativeAt(q, 0),
                bez::SecondDerivativeAt(q, 1)};
}

TEST(CBez, C2RunsHaveContinuousSecondDerivativesAndNaturalFreeEnds) {
    CBez c;
    BezCtrl run[13] = {};
    Vec2 k[5] = {{0, 0}, {20, 30}, {50, 20}, {70, -10}, {100, 5}};
    for (int i = 0; i < 5; ++i) run[3 * i] = BezCtrl{k[i].x, k[i].y, 0};
    c.type = CBez::kC2;
    ASSERT_TRUE(c.ArrangeSegmentsC2(run, 13, false, nullptr, nullptr));
    std::memcpy(c.ctrls, run, sizeof run);
    c.nCtrls = 13;
    for (int s = 0; s < 3; ++s) {
        Ends a = DerivativesOf(c, s), b = DerivativesOf(c, s + 1);
        EXPECT_NEAR(a.d1_end.x, b.d1_start.x, 1e-9);
        EXPECT_NEAR(a.d1_end.y, b.d1_start.y, 1e-9);
        EXPECT_NEAR(a.d2_end.x, b.d2_start.x, 1e-9);
        EXPECT_NEAR(a.d2_end.y, b.d2_start.y, 1e-9);
    }
    EXPECT_NEAR(DerivativesOf(c, 0).d2_start.x, 0, 1e-9);
    EXPECT_NEAR(DerivativesOf(c, 3).d2_end.y, 0, 1e-9);
    EXPECT_NEAR(c.derivs[2].x, DerivativesOf(c, 2).d1_start.x, 1e-9) << "the solved derivatives are kept";

    // Given end derivatives are met exactly.
    Vec2 left{30, 0}, right{0, -60};
    ASSERT_TRUE(c.ArrangeSegmentsC2(run, 13, false, &left, &right));
    EXPECT_NEAR(run[1].x, 10, 1e-9);
    EXPECT_NEAR(run[1].y, 0, 1e-9);
    EXPECT_NEAR(run[11].x, 100, 1e-9);
    EXPECT_NEAR(run[11].y, 25, 1e-9);
}

TEST(CBez, C2ClosedLoopAndItsLimits) {
    CBez c;
    c.type = CBez::kC2;
    BezCtrl loop[13] = {};
    Vec2 k[5] = {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}};
    for (int i = 0; i < 5; ++i) loop[3 * i] = BezCtrl{k[i].x, k[i].y, 0};
    ASSERT_TRUE(c.ArrangeSegmentsC2(loop, 13, true, nullptr, nullptr));
    std::memcpy(c.ctrls, loop, sizeof loop);
    c.nCtrls = 13;
    Ends first = DerivativesOf(c, 0), last = DerivativesOf(c, 3);
    EXPECT_NEAR(first.d1_start.x, last.d1_end.x, 1e-9);
    EXPECT_NEAR(first.d1_start.y, last.d1_end.y, 1e-9);
    EXPECT_NEAR(first.d2_start.x, last.d2_end.x, 1e-9);
    EXPECT_NEAR(first.d2_start.y, last.d2_end.y, 1e-9);

    // Six knots are more than the solver takes: handles stay, one line says so.
    BezCtrl big[16] = {};
    for (int i = 0; i < 16; ++i) big[i] = BezCtrl{i * 1.0, i * 2.0, 0};
    BezCtrl copy[16];
    std::memcpy(copy, big, sizeof big);
    DebugCapture log;
    EXPECT_FALSE(c.ArrangeSegmentsC2(big, 16, false, nullptr, nullptr));
    EXPECT_EQ(0, std::memcmp(big, copy, sizeof big));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "- CBez::ArrangeSegmentsC2() failed.\n");
}

TEST(CBez, HybridTakesSplineDirectionsAndG1Lengths) {
    Vec2 k[4] = {{0, 0}, {20, 30}, {50, 20}, {70, -10}};
    BezCtrl spline[10] = {}, hybrid[10] = {};
    for (int i = 0; i < 4; ++i) spline[3 * i] = hybrid[3 * i] = BezCtrl{k[i].x, k[i].y, 0};
    CBez c;
    c.type = CBez::kC2;
    ASSERT_TRUE(c.ArrangeSegmentsC2(spline, 10, false, nullptr, nullptr));
    c.type = CBez::kHybrid;
    ASSERT_TRUE(c.ArrangeSegmentsC2(hybrid, 10, false, nullptr, nullptr));
    std::memcpy(c.ctrls, hybrid, sizeof hybrid);
    c.nCtrls = 10;
    auto at = [](const BezCtrl *r, int i) { return Vec2{r[i].x, r[i].y}; };
    for (int knot = 3; knot <= 6; knot += 3) {
        Vec2 s = Minus(at(spline, knot + 1), at(spline, knot));
        Vec2 h = Minus(at(hybrid, knot + 1), at(hybrid, knot));
        EXPECT_NEAR(Cross(s, h), 0, 1e-7) << knot;
        EXPECT_GT(s.x * h.x + s.y * h.y, 0) << knot;
        Vec2 chord = Minus(at(hybrid, knot + 3), at(hybrid, knot));
        EXPECT_NEAR(std::hypot(h.x, h.y), 0.375 * std::hypot(chord.x, chord.y), 1e-9) << knot;
        ExpectSmoothAt(c, knot - 1, knot, knot + 1);
    }
    // A free end points at the handle next to it.
    Vec2 start = Minus(at(hybrid, 1), at(hybrid, 0)), toward = Minus(at(hybrid, 2), at(hybrid, 0));
    EXPECT_NEAR(Cross(start, toward), 0, 1e-7);
    EXPECT_GT(start.x * toward.x + start.y * toward.y, 0);
    Vec2 end = Minus(at(hybrid, 9), at(hybrid, 8)), from = Minus(at(hybrid, 9), at(hybrid, 7));
    EXPECT_NEAR(Cross(end, from), 0, 1e-7);

    // Editing with HYBRID in a curve keeps it smooth at the moved knot.
    CBez edited = Curve({{0, 0}, {20, 30}, {50, 20}, {70, -10}, {90, 10}}, CBez::kHybrid);
    ExpectSmoothAt(edited, 8, 9, 10);
    ExpectSmoothAt(edited, 5, 6, 7);
}

}  // namespace
