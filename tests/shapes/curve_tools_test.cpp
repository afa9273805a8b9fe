#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "core/path_table.h"
#include "platform/alloc_fail.h"
#include "shapes/curve_tools.h"
#include "support/path_fixture.h"
#include "support/point_checks.h"
#include "y32path/display.h"
#include "y32path/view.h"

namespace {

using testing_support::DebugCapture;
using testing_support::PathTest;
const auto &X = testing_support::PX;
const auto &Y = testing_support::PY;

constexpr uint32_t kKeyDown = 256, kMove = 512, kDown = 513, kUp = 514, kDouble = 515;

std::set<int32_t> g_keys;
int16_t KeyState(int32_t vk, void *) { return g_keys.count(vk) ? static_cast<int16_t>(0x8000) : 0; }

// A window: a bitmap to draw on, a table for the results and a view at
// zoom 2 (window pixel w is image point w / 2).
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
        // A view with an overlay, so that node squares are drawn.
        ASSERT_EQ(KyPathCoordStruct(0, 0, 240, 200, 0, 0, 2.0, table, &view), 1);
    }
    void TearDown() override {
        y32SetKeyStateHook(nullptr, nullptr);
        y32DeleteMemoryDC(hdc);
        KyPathDeleteCoordStruct(view);
        KyPathTblDelete(table);
        curvetools::ResetForTesting();
        PathTest::TearDown();
    }
    int32_t Smooth(uint32_t msg, int32_t x, int32_t y, int32_t mode, uint32_t key = 0) {
        return KyPathDrawSmoothBezier(hdc, table, view, msg, key, x, y, 0, 0, mode);
    }
    int32_t Freehand(uint32_t msg, int32_t x, int32_t y, int32_t mode, uint32_t key = 0) {
        return KyPathDrawFreehandBezier(hdc, table, view, msg, key, x, y, 0, 0, mode);
    }
    // Move there and click; the result of the button-up.
    int32_t Click(int32_t x, int32_t y, int32_t mode) {
        Smooth(kMove, x, y, mode);
        EXPECT_EQ(Smooth(kDown, x, y, mode), 0);
        return Smooth(kUp, x, y, mode);
    }
    int32_t DoubleClick(int32_t x, int32_t y, int32_t mode) {
        EXPECT_EQ(Click(x, y, mode), 0);
        EXPECT_EQ(Smooth(kDouble, x, y, mode), 0);
        return Smooth(kUp, x, y, mode);
    }
    // Whether anything is left on the window.
    bool WindowClean() const {
        Y32DcBits bits{};
        y32GetMemoryDCBits(hdc, &bits);
        for (int32_t r = 0; r < bits.height; ++r)
            for (int32_t i = 0; i < bits.width * 4; ++i)
                if (bits.bits[r * bits.strideBytes + i]) return false;
        return true;
    }
    bool Lit(int32_t x, int32_t y) const { return (GetPixel(hdc, x, y) & 0xFFFFFF) != 0; }
    PathGroup *Group() { return table::CurrentGroup(table); }
    static CBez Curve(const KyPath *p) {
        CBez c;
        c.nCtrls = p->count;
        for (int32_t i = 0; i < p->count; ++i) c.ctrls[i] = BezCtrl{X(p, i), Y(p, i), 0};
        return c;
    }

    HDC hdc = nullptr;
    PathTable *table = nullptr;
    CoordStruct *view = nullptr;
};

TEST_F(CurveToolTest, SmoothnessSettings) {
    EXPECT_EQ(KyPathGetSmoothBezierSmoothness(), 75);
    EXPECT_EQ(KyPathGetFreehandBezierSmoothness(), 40);
    KyPathSetSmoothBezierSmoothness(200);
    EXPECT_EQ(SmoothCurve().tension, 0.5);
    KyPathSetSmoothBezierSmoothness(-5);
    EXPECT_EQ(KyPathGetSmoothBezierSmoothness(), 0);
    EXPECT_EQ(KyPathSetFreehandBezierSmoothness(-7), -7);
    EXPECT_DOUBLE_EQ(curvetools::FreehandTolerance(), -0.7) << "not clamped";
}

TEST_F(CurveToolTest, SmoothToolDrawsOpenFiguresIntoTheTable) {
    DebugCapture log;
    Click(20, 20, 1);
    Smooth(kMove, 60, 60, 1);
    EXPECT_TRUE(Lit(20, 20) && Lit(60, 60)) << "node squares on the knots";
    Click(100, 20, 1);
    Click(180, 100, 1);
    EXPECT_EQ(Group()->first, nullptr) << "nothing in the table before the figure is finished";
    EXPECT_EQ(DoubleClick(220, 100, 1), 1);
    EXPECT_TRUE(WindowClean()) << "every rubber band was erased exactly";
    KyPath *p = Group()->first;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Group()->firstSelected, p);
    EXPECT_NE(p->flags & KPF_SELECTED, 0u);
    ASSERT_EQ(p->count, 10);
    EXPECT_FALSE(path::IsClosed(p));
    const double knots[4][2] = {{10, 10}, {50, 10}, {90, 50}, {110, 50}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(X(p, 3 * k), knots[k][0]) << k;
        EXPECT_EQ(Y(p, 3 * k), knots[k][1]) << k;
    }
    EXPECT_EQ(log.lines()[1], "- CBez: append segment, nCtrls=4, BC=clamp.\n");
    // A range drawn twice is gone again, nodes and all.
    CBez copy = Curve(p);
    copy.Draw(hdc, view, -5, 99, true);
    EXPECT_TRUE(Lit(100, 20));
    copy.Draw(hdc, view, -5, 99, true);
    EXPECT_TRUE(WindowClean());
    EXPECT_EQ(log.lines().back(), "- CBez: empty.\n");

    // The next figure deselects the first, erasing the node squares the
    // host showed for it, and is linked after it.
    KyPathDrawNodes(hdc, p, view);
    ASSERT_FALSE(WindowClean());
    Click(20, 150, 1);
    EXPECT_EQ(p->flags & KPF_SELECTED, 0u);
    EXPECT_EQ(Group()->firstSelected, nullptr);
    EXPECT_EQ(DoubleClick(100, 150, 1), 1);
    EXPECT_TRUE(WindowClean());
    ASSERT_NE(p->next, nullptr);
    EXPECT_EQ(p->next->prev, p);
    EXPECT_EQ(Group()->firstSelected, p->next);
    EXPECT_EQ(p->next->count, 4);
}

TEST_F(CurveToolTest, ClosingByMode) {
    // Mode 0: a double click away from the start closes onto it, smoothly.
    Click(20, 20, 0);
    Click(120, 20, 0);
    Click(120, 120, 0);
    EXPECT_EQ(DoubleClick(20, 120, 0), 1);
    KyPath *p = Group()->first;
    ASSERT_EQ(p->count, 13);
    ASSERT_TRUE(path::IsClosed(p));
    EXPECT_EQ(+path::Points(p)[12].x, +path::Points(p)[0].x);
    double ax = X(p, 0) - X(p, 11), ay = Y(p, 0) - Y(p, 11), bx = X(p, 1) - X(p, 0), by = Y(p, 1) - Y(p, 0);
    EXPECT_NEAR(ax * by - ay * bx, 0.0, 1e-3);
    EXPECT_GT(ax * bx + ay * by, 0.0);

    // Mode 2: closed only when the pointer came back onto the start.
    for (int pass = 0; pass < 2; ++pass) {
        Click(20, 20, 2);
        Click(120, 20, 2);
        Click(120, 120, 2);
        Click(20, 120, 2);
        if (pass == 0) {
            Smooth(kMove, 20, 20, 2);
            EXPECT_TRUE(SmoothCurve().IsClosed());
        }
        EXPECT_EQ(DoubleClick(pass == 0 ? 20 : 40, pass == 0 ? 20 : 100, 2), 1);
        KyPath *last = PathLast(Group()->first);
        EXPECT_EQ(last->count, 13);
        EXPECT_EQ(path::IsClosed(last), pass == 0);
    }
    EXPECT_TRUE(WindowClean());
}

TEST_F(CurveToolTest, ShiftConstrainsAndCtrlMakesACorner) {
    Click(100, 100, 1);
    g_keys = {VK_SHIFT};
    const CBez &c = SmoothCurve();
    const int32_t moves[4][2] = {{130, 110}, {105, 150}, {130, 120}, {80, 130}};
    const double want[4][2] = {{65, 50}, {50, 75}, {62.5, 62.5}, {37.5, 62.5}};  // horizontal, vertical, diagonals
    for (int i = 0; i < 4; ++i) {
        Smooth(kMove, moves[i][0], moves[i][1], 1);
        EXPECT_EQ(c.ctrls[3].x, want[i][0]) << i;
        EXPECT_EQ(c.ctrls[3].y, want[i][1]) << i;
    }
    g_keys.clear();
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 27), 1);

    // With Ctrl at the third click the knot placed there is a corner: it
    // keeps the incoming handle it had as the last knot (on the knot), and
    // the single free segment after it is straight. Without Ctrl it is smooth.
    for (bool ctrl : {true, false}) {
        Click(20, 100, 1);
        Click(100, 20, 1);
        Smooth(kMove, 180, 100, 1);
        if (ctrl) g_keys = {VK_CONTROL};
        Smooth(kDown, 180, 100, 1);
        g_keys.clear();
        Smooth(kUp, 180, 100, 1);
        Smooth(kMove, 200, 180, 1);
        EXPECT_EQ(c.ctrls[6].flag, ctrl ? CBez::kRelax : CBez::kClamp);
        EXPECT_EQ(c.ctrls[5].x == 90 && c.ctrls[5].y == 50, ctrl);
        if (ctrl) {
            EXPECT_NEAR(c.ctrls[7].y, 50 + 40 * 0.375, 1e-9);
        }
        EXPECT_EQ(DoubleClick(200, 180, 1), 1);
    }
}

TEST_F(CurveToolTest, BackspaceEscapeAndBadArguments) {
    Click(20, 20, 1);
    Click(60, 20, 1);
    Click(100, 60, 1);
    Smooth(kMove, 140, 60, 1);
    const CBez &c = SmoothCurve();
    EXPECT_EQ(Smooth(kKeyDown, 140, 60, 1, 8), 0);
    ASSERT_EQ(c.nCtrls, 7);
    EXPECT_EQ(c.ctrls[6].x, 70) << "the new last knot follows the pointer";
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 8), 0);
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 8), 1) << "the last segment goes like escape";
    EXPECT_TRUE(WindowClean());
    EXPECT_EQ(Smooth(kKeyDown, 0, 0, 1, 27), 0) << "nothing left to cancel";
    EXPECT_EQ(Smooth(999, 0, 0, 1), 0);

    // No table or no usable view: no figure starts, for either tool.
    CoordStruct flat = *view;
    flat.zoom = 0;
    EXPECT_EQ(KyPathDrawSmoothBezier(hdc, nullptr, view, kDown, 0, 20, 20, 0, 0, 1), 0);
    EXPECT_EQ(KyPathDrawSmoothBezier(hdc, table, &flat, kDown, 0, 20, 20, 0, 0, 1), 0);
    EXPECT_EQ(c.nCtrls, 0);
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, nullptr, view, kDown, 0, 20, 20, 0, 0, 0), 0);
    EXPECT_EQ(Freehand(kUp, 40, 40, 0), 0);
    EXPECT_EQ(Group()->first, nullptr);

    // Without a device context the figure is still made.
    for (auto [msg, x] : {std::pair{kDown, 20}, {kUp, 20}, {kMove, 80}, {kDown, 80}, {kUp, 80}, {kDouble, 120}})
        KyPathDrawSmoothBezier(nullptr, table, view, msg, 0, x, 20, 0, 0, 1);
    EXPECT_EQ(KyPathDrawSmoothBezier(nullptr, table, view, kUp, 0, 120, 20, 0, 0, 1), 1);
    ASSERT_NE(Group()->first, nullptr);
    EXPECT_EQ(Group()->first->count, 4);
    KyPathDrawNodes(hdc, Group()->first, view);  // the host shows the new selection

    // A finish that cannot allocate ends the figure without a path.
    Click(20, 60, 1);
    Click(60, 60, 1);
    EXPECT_EQ(Smooth(kDouble, 100, 60, 1), 0);
    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(Smooth(kUp, 100, 60, 1), 1);
    EXPECT_EQ(Group()->first->next, nullptr);
    EXPECT_TRUE(WindowClean());
}

TEST_F(CurveToolTest, FreehandToolFitsTheStrokeOnRelease) {
    KyPath *old = testing_support::MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 5, 5}});
    old->flags |= KPF_SELECTED;
    KyPathAssignActivePath(table, old);
    KyPathDrawNodes(hdc, old, view);
    DebugCapture log;
    EXPECT_EQ(Freehand(kDown, 10, 100, 0), 0);
    EXPECT_EQ(old->flags & KPF_SELECTED, 0u) << "a new stroke replaces the selection";
    for (int i = 1; i <= 200; ++i)
        EXPECT_EQ(Freehand(kMove, 10 + i, static_cast<int32_t>(std::lround(100 + 40 * std::sin(i * 0.05))), 0), 0);
    EXPECT_FALSE(WindowClean());
    EXPECT_EQ(Freehand(kUp, 210, 100, 0), 1);
    EXPECT_TRUE(WindowClean()) << "the stroke and the old selection's squares are erased exactly";
    KyPath *p = old->next;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Group()->firstSelected, p);
    EXPECT_FALSE(path::IsClosed(p));
    EXPECT_EQ(X(p, 0), 5.0);
    EXPECT_EQ(Y(p, 0), 50.0);
    int32_t used = 0;
    for (const std::string &l : log.lines())
        std::sscanf(l.c_str(), "- KyPathCreateApproximateBezier(): %*d ctrls created from %d datas.", &used);
    EXPECT_GT(used, 60) << "points 2 pixels apart or more are kept";
    EXPECT_LT(used, 200) << "closer ones are not";

    // A loop ending on its start is fitted closed.
    Freehand(kDown, 100, 50, 1);
    for (int i = 1; i <= 60; ++i)
        Freehand(kMove, static_cast<int32_t>(std::lround(100 + 40 * std::sin(i * 0.10471975511965977))),
                 static_cast<int32_t>(std::lround(90 - 40 * std::cos(i * 0.10471975511965977))), 1);
    EXPECT_EQ(Freehand(kUp, 100, 50, 1), 1);
    EXPECT_TRUE(path::IsClosed(p->next));
}

TEST_F(CurveToolTest, FreehandEscapeShortStrokesAndTheLimit) {
    Freehand(kDown, 10, 10, 0);
    Freehand(kMove, 50, 10, 0);
    Freehand(kMove, 90, 30, 0);
    EXPECT_EQ(Freehand(kKeyDown, 0, 0, 0, 27), 1);
    EXPECT_TRUE(WindowClean());
    EXPECT_EQ(Freehand(kUp, 90, 30, 0), 0) << "nothing is being drawn any more";

    Freehand(kDown, 10, 10, 0);
    Freehand(kMove, 11, 10, 0);  // closer than 2 pixels: not kept
    Freehand(kMove, 20, 10, 0);
    EXPECT_EQ(Freehand(kUp, 20, 10, 0), 1) << "two points make no path but end the stroke";
    EXPECT_EQ(Group()->first, nullptr);
    EXPECT_EQ(Freehand(kDouble, 20, 10, 0), 0);

    DebugCapture log;
    Freehand(kDown, 0, 0, 0);
    for (int i = 1; i < 700; ++i) Freehand(kMove, (i * 3) % 240, (i * 7) % 200, 0);
    EXPECT_EQ(Freehand(kUp, 0, 0, 0), 1);
    ASSERT_NE(Group()->first, nullptr);
    EXPECT_NE(log.lines().back().find("created from 512 datas"), std::string::npos);
    EXPECT_TRUE(WindowClean());
}

}  // namespace
