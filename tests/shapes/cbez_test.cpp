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
using vec::Vec2;

// Builds a curve as the smooth tool does: each click appends a knot, which
// is then moved into place.
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
Vec2 Minus(Vec2 a, Vec2 b) { return Vec2{a.x - b.x, a.y - b.y}; }
double Cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
// The handles either side of a knot point the same way through it.
void ExpectSmoothAt(const CBez &c, int32_t in, int32_t knot, int32_t out) {
    Vec2 a = Minus(c.At(knot), c.At(in)), b = Minus(c.At(out), c.At(knot));
    EXPECT_NEAR(Cross(a, b), 0.0, 1e-7) << "knot " << knot;
    EXPECT_GT(a.x * b.x + a.y * b.y, 0.0) << "knot " << knot;
}
bool Unchanged(const CBez &a, const CBez &b, int32_t from, int32_t n) {
    return std::memcmp(a.ctrls + from, b.ctrls + from, n * sizeof(BezCtrl)) == 0;
}

TEST(CBez, G1HandlesTakeTheTensionOfTheirChords) {
    CBez c = Curve({{0, 0}, {10, 0}, {20, 0}});
    ASSERT_EQ(c.nCtrls, 7);
    ExpectAt(c, 2, 6.25, 0);
    ExpectAt(c, 4, 13.75, 0);
    ExpectAt(c, 1, 0, 0);  // the free ends of an open curve are corners
    ExpectAt(c, 5, 20, 0);

    // Unequal chords: each handle scales with its own chord, and the
    // tangent is unit(a |b| + b |a|) for the unit chords a and b.
    CBez bent = Curve({{0, 0}, {30, 0}, {30, 10}});
    Vec2 out = Minus(bent.At(4), bent.At(3));
    EXPECT_NEAR(std::hypot(out.x, out.y), 10 * 0.375, 1e-9);
    EXPECT_NEAR(out.y / out.x, 3.0, 1e-9);
}

TEST(CBez, LimitsOfAppendDeleteEditAndClosure) {
    CBez c;
    c.DeleteLast();
    EXPECT_EQ(c.nCtrls, 0);
    for (int i = 0; i < 200; ++i) c.Append(CBez::kClamp);
    EXPECT_EQ(c.nCtrls, 1 + 3 * 127) << "appends stop at the last whole segment";
    c.nCtrls = 1;
    c.DeleteLast();
    EXPECT_EQ(c.nCtrls, 0);

    c = Curve({{0, 0}, {10, 0}, {10, 10}});
    Vec2 start{0, 0};
    EXPECT_FALSE(c.IsClosed(&start)) << "two segments never close";
    CBez before = c;
    c.Edit(CBez::kG1, 1, Vec2{50, 50}, 2, false);  // a handle
    c.Edit(CBez::kG1, 9, Vec2{50, 50}, 2, false);  // past the end
    c.Edit(CBez::kG1, 3, Vec2{50, 50}, 3, false);  // span
    EXPECT_TRUE(Unchanged(c, before, 0, c.nCtrls));
    Click(c, Vec2{0.00009, -0.0001});
    EXPECT_TRUE(c.IsClosed());
    Vec2 near{0.0001, 0}, off{0.00011, 0};
    EXPECT_TRUE(c.IsClosed(&near));
    EXPECT_FALSE(c.IsClosed(&off));
}

TEST(CBez, RelaxedKnotsEndTheWindowAndWindowEdgesKeepTheirTangent) {
    CBez c = Curve({{0, 0}, {20, 10}, {40, 0}, {60, 10}, {80, 0}});
    c.ctrls[6].flag = CBez::kRelax;
    CBez before = c;
    c.Edit(CBez::kG1, 9, Vec2{60, 30}, 2, false);
    EXPECT_TRUE(Unchanged(c, before, 0, 6)) << "nothing before the corner moves";
    ExpectAt(c, 7, 40, 0);  // the corner's outgoing handle collapses
    ExpectSmoothAt(c, 8, 9, 10);

    // Moving the corner itself refits both its sides, still a corner.
    CBez d = c;
    d.Edit(CBez::kG1, 6, Vec2{45, -10}, 2, false);
    ExpectAt(d, 5, 45, -10);
    ExpectAt(d, 7, 45, -10);
    ExpectSmoothAt(d, 2, 3, 4);
    EXPECT_NE(d.ctrls[4].x, c.ctrls[4].x);
    EXPECT_NE(d.ctrls[8].x, c.ctrls[8].x);

    // A window that ends at a clamped knot keeps that knot smooth and
    // leaves everything beyond it.
    CBez e = Curve({{0, 0}, {20, 10}, {40, 0}, {60, 10}, {80, 0}, {100, 10}});
    before = e;
    e.Edit(CBez::kG1, 3, Vec2{25, 20}, 1, false);
    ExpectSmoothAt(e, 5, 6, 7);
    EXPECT_TRUE(Unchanged(e, before, 6, e.nCtrls - 6));
}

TEST(CBez, ClosedLoopsStaySmoothAcrossTheirStart) {
    // Four segments: the window is the whole loop, arranged as one.
    CBez sq = Curve({{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}});
    ASSERT_TRUE(sq.IsClosed());
    ExpectSmoothAt(sq, sq.nCtrls - 2, 0, 1);
    for (int i = 1; i < sq.nCtrls; i += 3) {
        Vec2 h = Minus(sq.At(i), sq.At(i - 1));
        EXPECT_NEAR(std::hypot(h.x, h.y), 40 * 0.375, 1e-9) << "a square's handles are all alike";
    }
    // Seven segments: the window runs across the start; the far side stays.
    CBez c = Curve({{0, 0}, {30, -10}, {60, 0}, {80, 30}, {60, 60}, {30, 70}, {0, 60}, {-20, 30}});
    CBez open = c;
    Click(c, Vec2{0, 0});
    ExpectSmoothAt(c, c.nCtrls - 2, 0, 1);
    EXPECT_TRUE(Unchanged(c, open, 7, 9)) << "segments 2 to 4";
}

TEST(CBez, ToPathAndDiagnostics) {
    KyPathInit();
    const size_t live = plat::HeapLiveBlocks(mem::PrivateHeap());
    DebugCapture log;
    CBez c;
    c.Append(0);
    c.Edit(CBez::kC2, 0, Vec2{1, 1}, 2, true);
    c.Edit(CBez::kHybrid, 0, Vec2{1, 1}, 2, true);
    for (Vec2 k : {Vec2{41, 1}, Vec2{41, 41}, Vec2{1, 41}, Vec2{1.00005, 0.99995}}) Click(c, k);
    KyPath *p = c.ToPath(true);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 13);
    EXPECT_EQ(mem::PathBlockSize(p), path::BlockBytes(13));
    EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);
    EXPECT_EQ(path::Points(p)[4].type, PT_BEZIERTO);
    EXPECT_EQ(+path::Points(p)[4].x, DbToFix(c.ctrls[4].x));
    const PathPoint &last = path::Points(p)[12];
    EXPECT_EQ(last.type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(+last.x, +path::Points(p)[0].x) << "the closing point repeats the first exactly";
    EXPECT_EQ(+last.y, +path::Points(p)[0].y);
    KyPathDeletePtr(p, 0);
    c.DeleteLast();
    p = c.ToPath(true);
    EXPECT_EQ(path::Points(p)[9].type, PT_BEZIERTO) << "not closed: no closing mark";
    KyPathDeletePtr(p, 0);
    c.Empty();
    std::vector<std::string> want = {"- CBez::Edit(): type = C2\n", "- CBez::Edit(): type = HYBRID\n",
                                     "- CBez: converted to KyPath, nCtrls=13, closed=TRUE.\n",
                                     "- CBez: segment deleted, nCtrls=10.\n",
                                     "- CBez: converted to KyPath, nCtrls=10, closed=FALSE.\n", "- CBez: empty.\n"};
    EXPECT_EQ(log.lines(), want);

    c = Curve({{0, 0}, {10, 0}, {20, 0}});
    c.nCtrls = 5;
    EXPECT_EQ(c.ToPath(false), nullptr);
    c.nCtrls = 7;
    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(c.ToPath(false), nullptr);
    EXPECT_EQ(plat::HeapLiveBlocks(mem::PrivateHeap()), live);
}

TEST(CBez, SolveLinearSystem) {
    // 2x + y - z = 8, -3x - y + 2z = -11, -2x + y + 2z = -3: (2, 3, -1).
    double a[12] = {2, 1, -1, 8, -3, -1, 2, -11, -2, 1, 2, -3};
    double x[3] = {};
    ASSERT_TRUE(CBez::SolveLinearSystem(a, 3, x));
    EXPECT_NEAR(x[0], 2, 1e-12);
    EXPECT_NEAR(x[1], 3, 1e-12);
    EXPECT_NEAR(x[2], -1, 1e-12);
    // Singular (row 3 = row 1 + row 2), a pivot below 0.0001, a pivot that
    // is not a number, a result that overflows: refused, x untouched.
    double singular[12] = {1, 2, 3, 1, 2, 5, 1, 2, 3, 7, 4, 3};
    double tiny[6] = {0.00005, 1, 1, 1, 1, 2};
    double nan[6] = {std::nan(""), 1, 1, 1, 1, 2};
    double huge[6] = {1e-3, 0, 1e308, 0, 1, 1};
    double keep[3] = {7, 8, 9};
    EXPECT_FALSE(CBez::SolveLinearSystem(singular, 3, keep));
    EXPECT_FALSE(CBez::SolveLinearSystem(tiny, 2, keep));
    EXPECT_FALSE(CBez::SolveLinearSystem(nan, 2, keep));
    EXPECT_FALSE(CBez::SolveLinearSystem(huge, 2, keep));
    EXPECT_EQ(keep[0], 7);
    EXPECT_EQ(keep[1], 8);
}

// First and second derivatives at both ends of segment s of a run.
struct Ends {
    Vec2 d1[2], d2[2];
};
Ends DerivativesOf(const BezCtrl *run, int32_t s) {
    bez::Cubic q;
    for (int k = 0; k < 4; ++k) q.p[k] = Vec2{run[3 * s + k].x, run[3 * s + k].y};
    return Ends{{bez::DerivativeAt(q, 0), bez::DerivativeAt(q, 1)},
                {bez::SecondDerivativeAt(q, 0), bez::SecondDerivativeAt(q, 1)}};
}
void ExpectC2Join(const BezCtrl *run, int32_t s, int32_t next) {
    Ends a = DerivativesOf(run, s), b = DerivativesOf(run, next);
    EXPECT_NEAR(a.d1[1].x, b.d1[0].x, 1e-9) << s;
    EXPECT_NEAR(a.d1[1].y, b.d1[0].y, 1e-9) << s;
    EXPECT_NEAR(a.d2[1].x, b.d2[0].x, 1e-9) << s;
    EXPECT_NEAR(a.d2[1].y, b.d2[0].y, 1e-9) << s;
}

TEST(CBez, C2AndHybridArrangement) {
    CBez c;
    c.type = CBez::kC2;
    BezCtrl run[13] = {};
    const Vec2 k[5] = {{0, 0}, {20, 30}, {50, 20}, {70, -10}, {100, 5}};
    for (int i = 0; i < 5; ++i) run[3 * i] = BezCtrl{k[i].x, k[i].y, 0};
    ASSERT_TRUE(c.ArrangeSegmentsC2(run, 13, false, nullptr, nullptr));
    for (int s = 0; s < 3; ++s) ExpectC2Join(run, s, s + 1);
    EXPECT_NEAR(DerivativesOf(run, 0).d2[0].x, 0, 1e-9) << "free ends are natural";
    EXPECT_NEAR(DerivativesOf(run, 3).d2[1].y, 0, 1e-9);
    EXPECT_NEAR(c.derivs[2].x, DerivativesOf(run, 2).d1[0].x, 1e-9);
    Vec2 left{30, 0}, right{0, -60};
    ASSERT_TRUE(c.ArrangeSegmentsC2(run, 13, false, &left, &right));
    EXPECT_NEAR(run[1].x, 10, 1e-9);  // K0 + D0 / 3
    EXPECT_NEAR(run[11].y, 25, 1e-9);  // K4 - D4 / 3

    BezCtrl loop[13] = {};
    const Vec2 sq[5] = {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}};
    for (int i = 0; i < 5; ++i) loop[3 * i] = BezCtrl{sq[i].x, sq[i].y, 0};
    ASSERT_TRUE(c.ArrangeSegmentsC2(loop, 13, true, nullptr, nullptr));
    ExpectC2Join(loop, 3, 0);
    ExpectC2Join(loop, 1, 2);

    // HYBRID: the spline's directions with G1's lengths; a free end points
    // at the handle next to it.
    BezCtrl hybrid[13];
    std::memcpy(hybrid, run, sizeof run);
    c.type = CBez::kHybrid;
    ASSERT_TRUE(c.ArrangeSegmentsC2(hybrid, 13, false, nullptr, nullptr));
    c.type = CBez::kC2;
    ASSERT_TRUE(c.ArrangeSegmentsC2(run, 13, false, nullptr, nullptr));
    auto at = [](const BezCtrl *r, int i) { return Vec2{r[i].x, r[i].y}; };
    for (int knot = 3; knot <= 9; knot += 3) {
        Vec2 s = Minus(at(run, knot + 1), at(run, knot)), h = Minus(at(hybrid, knot + 1), at(hybrid, knot));
        EXPECT_NEAR(Cross(s, h), 0, 1e-7) << knot;
        Vec2 chord = Minus(at(hybrid, knot + 3), at(hybrid, knot));
        EXPECT_NEAR(std::hypot(h.x, h.y), 0.375 * std::hypot(chord.x, chord.y), 1e-9) << knot;
    }
    EXPECT_NEAR(Cross(Minus(at(hybrid, 1), at(hybrid, 0)), Minus(at(hybrid, 2), at(hybrid, 0))), 0, 1e-7);

    // Six knots are more than the solver takes: handles stay, one line says so.
    BezCtrl big[16] = {};
    for (int i = 0; i < 16; ++i) big[i] = BezCtrl{i * 1.0, i * 2.0, 0};
    DebugCapture log;
    EXPECT_FALSE(c.ArrangeSegmentsC2(big, 16, false, nullptr, nullptr));
    EXPECT_EQ(big[1].x, 1.0);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"- CBez::ArrangeSegmentsC2() failed.\n"});
}

}  // namespace
