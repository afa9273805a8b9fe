// Shape tools as a host uses them, through the public header and the
// shared library only: a shape added over a selected one erases the old
// selection's node squares from the window (the shape module reaches the
// node drawer only where the display module is linked in).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "y32Path.h"

namespace {

TEST(ShapesCApi, ExportedUnderTheirNames) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"KyPathAddPrimitive", "KyPathGetPrimitive", "KyPathPrimitive", "IsOnlyPrimitive",
                             "KyPathGetRectangleRoundness", "KyPathSetRectangleRoundness", "KyPathRenderArrowHead",
                             "KyPathDrawNodes"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

// Every pixel of the window context, for comparing whole pictures.
std::vector<COLORREF> Pixels(HDC dc, int w, int h) {
    std::vector<COLORREF> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(GetPixel(dc, x, y));
    return px;
}

TEST(ShapesCApi, AddingAShapeErasesTheOldSelectionsNodes) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 64, 48, 0, 0, 1.0, 0, table, &view), 1);
    HDC dc = y32CreateMemoryDC(64, 48, 32);
    ASSERT_NE(dc, nullptr);
    const std::vector<COLORREF> blank = Pixels(dc, 64, 48);

    Y32Rect drag{8, 8, 40, 30};
    ASSERT_EQ(KyPathAddPrimitive(dc, KYSHAPE_ELLIPSE, nullptr, table, view, 0, 0, &drag), 1);
    KyPath *first = nullptr, *selected = nullptr;
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(selected, first);
    EXPECT_NE(IsOnlyPrimitive(first), 0);
    // The host shows the selection's nodes.
    ASSERT_EQ(KyPathDrawNodes(dc, first, view), 1);
    ASSERT_NE(Pixels(dc, 64, 48), blank);

    Y32Rect drag2{20, 20, 60, 44};
    ASSERT_EQ(KyPathAddPrimitive(dc, KYSHAPE_ROUNDED_PERCENT(30), nullptr, table, view, 0, 0, &drag2), 1);
    EXPECT_EQ(Pixels(dc, 64, 48), blank) << "the first shape's node squares are erased";
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected, first->next);
    EXPECT_EQ(selected->shape, 330);
    EXPECT_EQ(IsOnlyPrimitive(first), 0) << "no longer the last path of its list";
    int32_t percent = 0, radius = 0;
    EXPECT_EQ(KyPathGetRectangleRoundness(selected, &percent, &radius), 1);
    EXPECT_EQ(percent, 30);

    EXPECT_EQ(y32DeleteMemoryDC(dc), 1);
    EXPECT_EQ(KyPathDeleteCoordStruct(view), 1);
    EXPECT_EQ(KyPathTblDelete(table), 1);
}

}  // namespace
