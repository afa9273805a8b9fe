// The freehand tool through the public header, as a host drives it: window
// messages in, a selected path in the table out.
#include <gtest/gtest.h>

#include <cmath>

#include "y32Path.h"

namespace {

TEST(CurveToolsCApi, FreehandStrokeBecomesTheSelectedPath) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 120, 80, 0, 0, 1.0, table, &view), 1);
    EXPECT_EQ(KyPathCreateApproximateBezier(view, 2, nullptr, 4.0, 0), nullptr);
    EXPECT_EQ(KyPathDrawFreehandBezier(nullptr, table, view, 513, 0, 10, 40, 0, 0, 0), 0);
    for (int x = 12; x <= 110; x += 2) {
        int32_t y = static_cast<int32_t>(std::lround(40 + 25 * std::sin(x * 0.06)));
        EXPECT_EQ(KyPathDrawFreehandBezier(nullptr, table, view, 512, 0, x, y, 0, 0, 0), 0);
    }
    EXPECT_EQ(KyPathDrawFreehandBezier(nullptr, table, view, 514, 0, 110, 40, 0, 0, 1), 1);
    KyPath *first = nullptr, *selected = nullptr;
    ASSERT_EQ(KyPathFind(table, nullptr, &first, &selected, nullptr), 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(selected, first);
    EXPECT_EQ(KyPathIsSelected(first), 1);
    const int32_t n = KyPathGetPointsNumber(first);
    EXPECT_EQ((n - 1) % 3, 0);
    EXPECT_EQ(KyPathPoints(first)[n - 1].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    KyPathDeleteCoordStruct(view);
    EXPECT_EQ(KyPathTblDelete(table), 1);
}

}  // namespace
