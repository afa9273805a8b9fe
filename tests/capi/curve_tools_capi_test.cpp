// The curve tools and the fitter through the public header, as a host
// drives them: window messages in, a selected path in the table out.
#include <gtest/gtest.h>

#include <cmath>

#include "y32Path.h"

namespace {

TEST(CurveToolsCApi, FitterAndSettings) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 100, 100, 0, 0, 1.0, nullptr, &view), 1);
    POINT pts[4] = {{0, 0}, {10, 5}, {20, 5}, {30, 0}};
    EXPECT_EQ(KyPathCreateApproximateBezier(view, 2, pts, 4.0, 0), nullptr);
    EXPECT_EQ(KyPathCreateApproximateBezier(nullptr, 4, pts, 4.0, 0), nullptr);
    KyPath *p = KyPathCreateApproximateBezier(view, 4, pts, 4.0, 1);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(KyPathGetPointsNumber(p), 7);
    EXPECT_EQ(KyPathPoints(p)[6].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
    EXPECT_EQ(KyPathDeleteCoordStruct(view), 1);

    const int32_t smooth = KyPathGetSmoothBezierSmoothness(), freehand = KyPathGetFreehandBezierSmoothness();
    KyPathSetSmoothBezierSmoothness(150);
    EXPECT_EQ(KyPathGetSmoothBezierSmoothness(), 100);
    EXPECT_EQ(KyPathSetFreehandBezierSmoothness(12), 12);
    EXPECT_EQ(KyPathGetFreehandBezierSmoothness(), 12);
    KyPathSetSmoothBezierSmoothness(smooth);
    KyPathSetFreehandBezierSmoothness(freehand);
}

TEST(CurveToolsCApi, FreehandStrokeBecomesTheSelectedPath) {
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 120, 80, 0, 0, 1.0, table, &view), 1);
    HDC hdc = y32CreateMemoryDC(120, 80, 24);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, table, view, 513, 0, 10, 40, 0, 0, 0), 0);
    for (int x = 12; x <= 110; x += 2) {
        int32_t y = static_cast<int32_t>(std::lround(40 + 25 * std::sin(x * 0.06)));
        EXPECT_EQ(KyPathDrawFreehandBezier(hdc, table, view, 512, 0, x, y, 0, 0, 0), 0);
    }
    EXPECT_EQ(KyPathDrawFreehandBezier(hdc, table, view, 514, 0, 110, 40, 0, 0, 0), 1);
    KyPath *first = nullptr, *selected = nullptr;
    int32_t current = -1, state = 0;
    ASSERT_EQ(KyPathFind(table, &current, &first, &selected, &state), 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(selected, first);
    EXPECT_EQ(KyPathIsSelected(first), 1);
    EXPECT_GE(KyPathGetPointsNumber(first), 4);
    EXPECT_EQ((KyPathGetPointsNumber(first) - 1) % 3, 0);
    y32DeleteMemoryDC(hdc);
    KyPathDeleteCoordStruct(view);
    EXPECT_EQ(KyPathTblDelete(table), 1);
}

}  // namespace
