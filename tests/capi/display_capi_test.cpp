// Drawing on a window as a host does it, through the public header and the
// shared library only: a table and its view, the overlay composited onto
// the host's image, node squares on the host's device context.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "y32Path.h"

namespace {

TEST(DisplayCApi, DeviceContextAndHooksAreExported) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"y32CreateMemoryDC", "CreatePen", "SelectObject", "SetROP2", "LineTo", "PolyBezierTo",
                             "Rectangle", "GetKeyState", "SetCapture", "MessageBeep", "SetCursor", "LoadCursorA",
                             "KyPathDraw", "KyPathPaintMem", "KyPathDrawNodes", "KyPathSelectedToView",
                             "KyPathAddPathGroup"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

TEST(DisplayCApi, DrawCompositeAndNodesRoundTrip) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = KyPathCreate();
    const FIXED pts[3][2] = {{DbToFix(4.5), DbToFix(4.5)}, {DbToFix(20.5), DbToFix(4.5)}, {DbToFix(20.5), DbToFix(14.5)}};
    ASSERT_EQ(KyPathAddPoint(&p, pts[0], PT_MOVETO), 1);
    ASSERT_EQ(KyPathAddPoint(&p, pts[1], PT_LINETO), 1);
    ASSERT_EQ(KyPathAddPoint(&p, pts[2], PT_LINETO), 1);

    PathTable *table = nullptr;
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 32, 24, 0, 0, 1.0, nullptr, &view), 1);
    Y32Rect changed{};
    ASSERT_EQ(KyPathAddPathGroup(&table, p, "g", view, &changed), 1);
    EXPECT_EQ(changed.right, 32);
    EXPECT_EQ(changed.bottom, 24);

    // The host's 24-bit image of the whole window, grey.
    std::vector<uint8_t> image(32 * 24 * 3, 0x20);
    ASSERT_EQ(KyPathPaintMem(0, 0, 32, 24, table, image.data()), 1);
    EXPECT_EQ(image[(4 * 32 + 10) * 3], 0x20 ^ 0xC0) << "an outline pixel is inverted";
    EXPECT_EQ(image[(10 * 32 + 10) * 3], 0x20);

    // Node squares on a window context, twice: gone again.
    HDC dc = y32CreateMemoryDC(32, 24, 32);
    ASSERT_NE(dc, nullptr);
    ASSERT_EQ(KyPathDrawNodes(dc, p, view), 1);
    EXPECT_EQ(GetPixel(dc, 4, 4), 0x808080u);
    ASSERT_EQ(KyPathDrawNodes(dc, p, view), 1);
    EXPECT_EQ(GetPixel(dc, 4, 4), 0u);
    EXPECT_EQ(y32DeleteMemoryDC(dc), 1);

    EXPECT_EQ(KyPathDraw(view, nullptr, &changed), 0);
    EXPECT_EQ(KyPathPaintMem1(0, 0, 1, 1, nullptr, image.data()), 0);
    EXPECT_EQ(KyPathCropDB(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathTblRepaintNodes(nullptr, table, view), 0);

    EXPECT_EQ(KyPathTblDelete(table), 1);
    EXPECT_EQ(KyPathDeleteCoordStruct(view), 1);
}

}  // namespace
