#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "core/path_table.h"
#include "platform/alloc_fail.h"
#include "shapes/curve_tools.h"
#include "support/path_fixture.h"

namespace {

using testing_support::DebugCapture;
using testing_support::PathTest;

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kKeyDown = 256, kMove = 512, kDown = 513, kUp = 514, kDouble = 515;

std::set<int32_t> g_keys;
int16_t KeyState(int32_t vk, void *) { return g_keys.count(vk) ? static_cast<int16_t>(0x8000) : 0; }

// A window: a bitmap to draw on, a table for the results and a view at
// zoom 2 (so window pixel w is image point w / 2).
class CurveToolTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        curvetools::ResetForTesting();
        g_keys.clear();
        y32SetKeyStateHook(&KeyState, nullptr);
        hdc = y32CreateMemoryDC(240, 200, 32);
        ASSERT_NE(hdc, nullptr);
        ASSERT_EQ(KyPathNew(&table), 1);
        view.right = 240;
        view.bottom = 200;
        view.zoom = 2.0;
    }
    void TearDown() override {
        y32SetKeyStateHook(nullptr, nullptr);
        y32DeleteMemoryDC(hdc);
        KyPathTblDelete(table);
        curvetools::ResetForTesting();
        PathTest::TearDown();
    }

    int32_t Smooth(uint32_t msg, int32_t x, int32_t y, int32_t mode, uint32_t key = 0) {
        return KyPathDrawSmoothBezier(hdc, table, &view, msg, key, x, y, 0, 0, mode);
    }
    int32_t Freehand(uint32_t msg, int32_t x, int32_t y, int32_t mode, uint32_t key = 0) {
        return KyPathDrawFreehandBezier(hdc, table, &view, msg, key, x, y, 0, 0, mode);
    }
    // Move there and click; returns the result of the button-up.
    int32_t Click(int32_t x, int32_t y, int32_t mode) {
        EXPECT_EQ(Smooth(kMove, x, y, mode), 0);
        EXPECT_EQ(Smooth(kDown, x, y, mode), 0);
        return Smooth(kUp, x, y, mode);
    }
    // The message sequence of a double click.
    int32_t DoubleClick(int32_t x, int32_t y, int32_t mode) {
        EXPECT_EQ(Click(x, y, mode), 0);
        EXPECT_EQ(Smooth(kDouble, x, y, mode), 0);
        return Smooth(kUp, x, y, mode);
    }

    int64_t LitBytes() const {
        Y32DcBits bits{};
        y32GetMemoryDCBits(hdc, &bits);
        int64_t lit = 0;
        for (int32_t r = 0; r < bits.height; ++r)
            for (int32_t i = 0; i < bits.width * 4; ++i) lit += bits.bits[r * bits.strideBytes + i] != 0;
        return lit;
    }
    bool Lit(int32_t x, int32_t y) const { return (GetPixel(hdc, x, y) & 0xFFFFFF) != 0; }

    PathGroup *Group() { return table::CurrentGroup(table); }
    static double X(const KyPath *p, int32_t i) { return fx::ToDouble(path::Points(p)[i].x); }
    static double Y(const KyPath *p, int32_t i) { return fx::ToDouble(path::Points(p)[i].y); }

    HDC hdc = nullptr;
    PathTable *table = nullptr;
    CoordStruct view{};
};

TEST_F(CurveToolTest, SmoothnessSettings) {
    EXPECT_EQ(KyPathGetSmoothBezierSmoothness(), 75);
    EXPECT_EQ(KyPathGetFreehandBezierSmoothness(), 40);
    KyPathSetSmoothBezierSmoothness(200);
    EXPECT_EQ(SmoothCurve().tension, 0.5);
    EXPECT_EQ(KyPathGetSmoothBezierSmoothness(), 100);
    KyPathSetSmoothBezierSmoothness(-5);
    EXPECT_EQ(SmoothCurve().tension, 0.0);
    for (int n = 0; n <= 100; ++n) {
        KyPathSetSmoothBezierSmoothness(n);
        ASSERT_EQ(KyPathGetSmoothBezierSmoothness(), n);
    }
    EXPECT_EQ(KyPathSetFreehandBezierSmoothness(25), 25);
    EXPECT_EQ(curvetools::FreehandTolerance(), 2.5);
    EXPECT_EQ(KyPathGetFreehandBezierSmoothness(), 25);
    EXPECT_EQ(KyPathSetFreehandBezierSmoothness(-7), -7);
    EXPECT_EQ(KyPathGetFreehandBezierSmoothness(), -7);
}

TEST_F(CurveToolTest, SmoothToolDrawsAnOpenFigureIntoTheTable) {
    DebugCapture log;
    EXPECT_EQ(Click(20, 20, 1), 0);
    EXPECT_EQ(Smooth(kMove, 60, 60, 1), 0);
    EXPECT_TRUE(Lit(20, 20)) << "a node square on the first knot";
    EXPECT_TRUE(Lit(60, 60)) << "and one on the knot that follows the pointer";
    EXPECT_EQ(Click(100, 20, 1), 0);
    EXPECT_EQ(Click(180, 100, 1), 0);
    EXPECT_GT(LitBytes(), 0);
    EXPECT_EQ(Group()->first, nullptr) << "nothing in the table before the figure is finished";
    EXPECT_EQ(DoubleClick(220, 100, 1), 1);
    EXPECT_EQ(LitBytes(), 0) << "every rubber band was erased exactly";

    KyPath *p = Group()->first;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Group()->firstSelected, p);
    EXPECT_NE(p->flags & KPF_SELECTED, 0u);
    ASSERT_EQ(p->count, 10);
    EXPECT_FALSE(path::IsClosed(p));
    const double knots[4][2] = {{10, 10}, {50, 10}, {90, 50}, {110, 50}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(X(p, 3 * k), knots[k][0]) << k;
        EXPECT_DOUBLE_EQ(Y(p, 3 * k), knots[k][1]) << k;
    }
    EXPECT_EQ(SmoothCurve().nCtrls, 0);
    EXPECT_NE(std::find(log.lines().begin(), log.lines().end(), "- CBez: append segment, nCtrls=4, BC=clamp.\n"),
              log.lines().end());
    EXPECT_EQ(log.lines().back(), "- CBez: empty.\n");

    // A second figure goes after the first and becomes the selection.
    Click(20, 150, 1);
    EXPECT_EQ(p->flags & KPF_SELECTED, 0u) << "the first click deselects";
    EXPECT_EQ(Group()->firstSelected, nullptr);
    Click(60, 150, 1);
    EXPECT_EQ(DoubleClick(100, 150, 1), 1);
    ASSERT_NE(p->next, nullptr);
    EXPECT_EQ(p->next->prev, p);
    EXPECT_EQ(Group()->firstSelected, p->next);
    EXPECT_EQ(p->next->count, 7);
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, ModeZeroClosesTheFigure) {
    Click(20, 20, 0);
    Click(120, 20, 0);
    Click(120, 120, 0);
    EXPECT_EQ(DoubleClick(20, 120, 0), 1);
    KyPath *p = Group()->first;
    ASSERT_NE(p, nullptr);
    // Four knots and a closing segment back onto the first.
    ASSERT_EQ(p->count, 13);
    ASSERT_TRUE(path::IsClosed(p));
    EXPECT_EQ(path::Points(p)[12].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(+path::Points(p)[12].x, +path::Points(p)[0].x);
    EXPECT_EQ(+path::Points(p)[12].y, +path::Points(p)[0].y);
    // Smooth across the start: the handles on both sides are opposite.
    double ax = X(p, 0) - X(p, 11), ay = Y(p, 0) - Y(p, 11), bx = X(p, 1) - X(p, 0), by = Y(p, 1) - Y(p, 0);
    EXPECT_NEAR(ax * by - ay * bx, 0.0, 1e-3);
    EXPECT_GT(ax * bx + ay * by, 0.0);
    EXPECT_EQ(LitBytes(), 0);

    // Too few knots to close: the double click is ignored.
    Click(20, 20, 0);
    EXPECT_EQ(DoubleClick(100, 20, 0), 0);
    EXPECT_EQ(SmoothCurve().nCtrls, 7);
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 0, 27), 1);
}

TEST_F(CurveToolTest, ModeTwoClosesOnlyWhenTheLastKnotMeetsTheFirst) {
    Click(20, 20, 2);
    Click(120, 20, 2);
    Click(120, 120, 2);
    Click(20, 120, 2);
    // Back on the first click: the curve snaps closed, and a double click
    // there finishes it.
    EXPECT_EQ(Smooth(kMove, 20, 20, 2), 0);
    EXPECT_TRUE(SmoothCurve().IsClosed());
    EXPECT_EQ(DoubleClick(20, 20, 2), 1);
    KyPath *p = Group()->first;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->count, 13);
    EXPECT_TRUE(path::IsClosed(p));

    Click(20, 20, 2);
    Click(120, 20, 2);
    Click(120, 120, 2);
    EXPECT_EQ(DoubleClick(40, 120, 2), 1);
    ASSERT_NE(p->next, nullptr);
    EXPECT_EQ(p->next->count, 10);
    EXPECT_FALSE(path::IsClosed(p->next));
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, ShiftKeepsThePointerOnALineThroughThePreviousKnot) {
    Click(100, 100, 1);
    g_keys = {VK_SHIFT};
    const CBez &c = SmoothCurve();
    Smooth(kMove, 130, 110, 1);  // mostly sideways: horizontal
    EXPECT_DOUBLE_EQ(c.ctrls[3].x, 65);
    EXPECT_DOUBLE_EQ(c.ctrls[3].y, 50);
    Smooth(kMove, 105, 150, 1);  // mostly down: vertical
    EXPECT_DOUBLE_EQ(c.ctrls[3].x, 50);
    EXPECT_DOUBLE_EQ(c.ctrls[3].y, 75);
    Smooth(kMove, 130, 120, 1);  // 30 across, 20 down: 5 each way to the diagonal
    EXPECT_DOUBLE_EQ(c.ctrls[3].x, 62.5);
    EXPECT_DOUBLE_EQ(c.ctrls[3].y, 62.5);
    Smooth(kMove, 80, 130, 1);  // 20 left, 30 down: the other diagonal
    EXPECT_DOUBLE_EQ(c.ctrls[3].x, 37.5);
    EXPECT_DOUBLE_EQ(c.ctrls[3].y, 62.5);
    g_keys.clear();
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 27), 1);
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, CtrlAtAClickMakesACorner) {
    DebugCapture log;
    Click(20, 100, 1);
    Click(100, 20, 1);
    Smooth(kMove, 180, 100, 1);
    g_keys = {VK_CONTROL};
    Smooth(kDown, 180, 100, 1);
    g_keys.clear();
    Smooth(kUp, 180, 100, 1);
    EXPECT_EQ(SmoothCurve().ctrls[6].flag, CBez::kRelax);
    EXPECT_EQ(log.lines().back(), "- CBez: append segment, nCtrls=10, BC=relax.\n");
    Smooth(kMove, 200, 180, 1);
    // The corner keeps the incoming handle it had as the last knot (on
    // the knot), and the segment after it starts afresh: one free segment
    // is straight.
    const CBez &c = SmoothCurve();
    EXPECT_DOUBLE_EQ(c.ctrls[5].x, 90);
    EXPECT_DOUBLE_EQ(c.ctrls[5].y, 50);
    EXPECT_DOUBLE_EQ(c.ctrls[7].x, 90 + 10 * 0.375);
    EXPECT_DOUBLE_EQ(c.ctrls[7].y, 50 + 40 * 0.375);
    EXPECT_EQ(DoubleClick(200, 180, 1), 1);
    EXPECT_DOUBLE_EQ(X(Group()->first, 5), 90);

    // The same clicks without Ctrl: a smooth knot.
    Click(20, 100, 1);
    Click(100, 20, 1);
    Click(180, 100, 1);
    Smooth(kMove, 200, 180, 1);
    EXPECT_EQ(c.ctrls[6].flag, CBez::kClamp);
    EXPECT_NE(c.ctrls[5].x, 90);
    EXPECT_EQ(DoubleClick(200, 180, 1), 1);
}

TEST_F(CurveToolTest, BackspaceTakesKnotsBackAndEscapeCancels) {
    Click(20, 20, 1);
    Click(60, 20, 1);
    Click(100, 60, 1);
    Smooth(kMove, 140, 60, 1);
    ASSERT_EQ(SmoothCurve().nCtrls, 10);
    EXPECT_EQ(Smooth(kKeyDown, 140, 60, 1, 8), 0);
    const CBez &c = SmoothCurve();
    ASSERT_EQ(c.nCtrls, 7);
    EXPECT_DOUBLE_EQ(c.ctrls[6].x, 70) << "the new last knot follows the pointer";
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 8), 0);
    EXPECT_EQ(c.nCtrls, 4);
    EXPECT_GT(LitBytes(), 0);
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 8), 1) << "the last segment goes like escape";
    EXPECT_EQ(c.nCtrls, 0);
    EXPECT_EQ(LitBytes(), 0);
    EXPECT_EQ(Group()->first, nullptr);
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 27), 0) << "nothing left to cancel";
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 65), 0);
    EXPECT_EQ(Smooth(999, 0, 0, 1), 0);
}

TEST_F(CurveToolTest, WithoutATableOrViewNoFigureStarts) {
    EXPECT_EQ(KyPathDrawSmoothBezier(hdc, nullptr, &view, kDown, 0, 20, 20, 0, 0, 1), 0);
    EXPECT_EQ(SmoothCurve().nCtrls, 0);
    EXPECT_EQ(KyPathDrawSmoothBezier(hdc, table, nullptr, kDown, 0, 20, 20, 0, 0, 1), 0);
    CoordStruct flat = view;
    flat.zoom = 0;
    EXPECT_EQ(KyPathDrawSmoothBezier(hdc, table, &flat, kDown, 0, 20, 20, 0, 0, 1), 0);
    EXPECT_EQ(SmoothCurve().nCtrls, 0);
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, nullptr, &view, kDown, 0, 20, 20, 0, 0, 0), 0);
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, table, &view, kMove, 0, 40, 40, 0, 0, 0), 0);
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, table, &view, kUp, 0, 40, 40, 0, 0, 0), 0);
    EXPECT_EQ(LitBytes(), 0);
    EXPECT_EQ(Group()->first, nullptr);

    // Without a device context the figure is still made.
    KyPathDrawSmoothBezier(nullptr, table, &view, kDown, 0, 20, 20, 0, 0, 1);
    KyPathDrawSmoothBezier(nullptr, table, &view, kUp, 0, 20, 20, 0, 0, 1);
    KyPathDrawSmoothBezier(nullptr, table, &view, kMove, 0, 80, 20, 0, 0, 1);
    KyPathDrawSmoothBezier(nullptr, table, &view, kDown, 0, 80, 20, 0, 0, 1);
    KyPathDrawSmoothBezier(nullptr, table, &view, kUp, 0, 80, 20, 0, 0, 1);
    KyPathDrawSmoothBezier(nullptr, table, &view, kDouble, 0, 120, 20, 0, 0, 1);
    EXPECT_EQ(KyPathDrawSmoothBezier(nullptr, table, &view, kUp, 0, 120, 20, 0, 0, 1), 1);
    ASSERT_NE(Group()->first, nullptr);
    EXPECT_EQ(Group()->first->count, 4);
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, AFinishThatCannotAllocateEndsTheFigureWithoutAPath) {
    Click(20, 20, 1);
    Click(60, 20, 1);
    Click(100, 20, 1);
    EXPECT_EQ(Smooth(kDouble, 100, 20, 1), 0);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(Smooth(kUp, 100, 20, 1), 1);
    }
    EXPECT_EQ(Group()->first, nullptr);
    EXPECT_EQ(SmoothCurve().nCtrls, 0);
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, FreehandToolFitsTheStrokeOnRelease) {
    KyPath *old = testing_support::MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 5, 5}});
    old->flags |= KPF_SELECTED;
    KyPathAssignActivePath(table, old);
    ASSERT_EQ(Group()->firstSelected, old);

    DebugCapture log;
    EXPECT_EQ(Freehand(kDown, 10, 100, 0), 0);
    EXPECT_EQ(old->flags & KPF_SELECTED, 0u) << "a new stroke replaces the selection";
    EXPECT_EQ(Group()->firstSelected, nullptr);
    for (int i = 1; i <= 200; ++i) {
        int32_t x = 10 + i, y = static_cast<int32_t>(std::lround(100 + 40 * std::sin(i * 0.05)));
        EXPECT_EQ(Freehand(kMove, x, y, 0), 0);
    }
    EXPECT_GT(LitBytes(), 0);
    EXPECT_EQ(Freehand(kUp, 210, 100, 0), 1);
    EXPECT_EQ(LitBytes(), 0) << "the stroke is erased exactly";
    ASSERT_NE(old->next, nullptr);
    KyPath *p = old->next;
    EXPECT_EQ(Group()->firstSelected, p);
    EXPECT_NE(p->flags & KPF_SELECTED, 0u);
    EXPECT_FALSE(path::IsClosed(p));
    EXPECT_DOUBLE_EQ(X(p, 0), 5.0);
    EXPECT_DOUBLE_EQ(Y(p, 0), 50.0);
    // Only points 2 pixels or more apart were kept.
    int32_t used = 0;
    for (const std::string &l : log.lines())
        if (std::sscanf(l.c_str(), "- KyPathCreateApproximateBezier(): %*d ctrls created from %d datas.", &used) == 1)
            break;
    EXPECT_GT(used, 60);
    EXPECT_LT(used, 200);
}

TEST_F(CurveToolTest, FreehandClosedStrokesEscapeAndShortStrokes) {
    // A loop that ends on its start: the last point is dropped and the
    // fit is closed by a straight curve.
    Freehand(kDown, 100, 50, 1);
    for (int i = 1; i <= 60; ++i)
        Freehand(kMove, static_cast<int32_t>(std::lround(100 + 40 * std::sin(i * kPi / 30))),
                 static_cast<int32_t>(std::lround(90 - 40 * std::cos(i * kPi / 30))), 1);
    EXPECT_EQ(Freehand(kUp, 100, 50, 1), 1);
    KyPath *p = Group()->first;
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(path::IsClosed(p));
    EXPECT_EQ(path::Points(p)[p->count - 1].type, PT_BEZIERTO | PT_CLOSEFIGURE);

    Freehand(kDown, 10, 10, 0);
    Freehand(kMove, 50, 10, 0);
    Freehand(kMove, 90, 30, 0);
    EXPECT_GT(LitBytes(), 0);
    EXPECT_EQ(Freehand(kKeyDown, 0, 0, 0, 27), 1);
    EXPECT_EQ(LitBytes(), 0);
    EXPECT_EQ(Freehand(kUp, 90, 30, 0), 0) << "nothing is being drawn any more";

    Freehand(kDown, 10, 10, 0);
    Freehand(kMove, 11, 10, 0);  // closer than 2 pixels: not kept
    Freehand(kMove, 20, 10, 0);
    EXPECT_EQ(Freehand(kUp, 20, 10, 0), 1) << "two points make no path but end the stroke";
    EXPECT_EQ(p->next, nullptr);
    EXPECT_EQ(Freehand(kDouble, 20, 10, 0), 0);
    EXPECT_EQ(LitBytes(), 0);
}

TEST_F(CurveToolTest, FreehandKeepsAtMostFiveHundredTwelvePoints) {
    DebugCapture log;
    Freehand(kDown, 0, 0, 0);
    for (int i = 1; i < 700; ++i) Freehand(kMove, (i * 3) % 240, (i * 7) % 200, 0);
    EXPECT_EQ(Freehand(kUp, 0, 0, 0), 1);
    ASSERT_NE(Group()->first, nullptr);
    bool found = false;
    for (const std::string &l : log.lines()) found |= l.find("created from 512 datas") != std::string::npos;
    EXPECT_TRUE(found);
    EXPECT_EQ(LitBytes(), 0);
}

}  // namespace
