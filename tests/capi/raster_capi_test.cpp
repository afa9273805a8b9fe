// Buffers and rasterisation through the public header and the shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "y32Path.h"

namespace {

TEST(RasterCApi, BufferRoundTripAndRowAccess) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    PathBuf b = KyPathBufAlloc(32, 3, 2, 1, 0, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(KyPathBufSize(b), 3u * 2u * 4u + 12u);
    PathBufLock lock;
    ASSERT_EQ(KyPathBufLock1(b, 0, 0, 0, &lock), 1);
    auto *row1 = static_cast<uint8_t *>(KyPathBufLineRead(&lock, 1));
    EXPECT_EQ(row1, static_cast<uint8_t *>(b) + 12);
    row1[11] = 0x5A;
    EXPECT_EQ(KyPathBufUnlock1(&lock), 1);
    PathBuf copy = KyPathBufDuplicate(0, b);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(static_cast<uint8_t *>(copy)[23], 0x5A);
    EXPECT_EQ(KyPathBufFree(b), 1);
    EXPECT_EQ(KyPathBufFree(copy), 1);
    EXPECT_EQ(KyPathBufAlloc(32, 0x10000, 0x10000, 1, 0, 0), nullptr) << "a size past 32 bits is refused";
}

TEST(RasterCApi, PathToMasksAndBack) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = KyPathCreate();
    const double pts[5][2] = {{2, 2}, {12, 2}, {12, 7}, {2, 7}, {2, 2}};
    for (int i = 0; i < 5; ++i) {
        FIXED xy[2] = {DbToFix(pts[i][0]), DbToFix(pts[i][1])};
        ASSERT_EQ(KyPathAddPoint(&p, xy, i == 0 ? PT_MOVETO : (i == 4 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO)), 1);
    }
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(p, 0, 0, 1, 0, 65536, &rects, &bufs, 1), 1);
    EXPECT_EQ(rects[0].left, 2 - 5 - 1);
    EXPECT_EQ(rects[0].bottom, 7 + 6 + 1);
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    ASSERT_EQ(KyPathBufGetWHU(bufs[0], &w, &h, &depth), 1);
    EXPECT_EQ(w, static_cast<uint32_t>(rects[0].right - rects[0].left));
    EXPECT_EQ(depth, 8);
    const uint8_t *px = static_cast<const uint8_t *>(bufs[0]);
    EXPECT_EQ(px[(5 - rects[0].top) * w + (5 - rects[0].left)], 255);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(KyPathBufFree(bufs[0]), 1);
    EXPECT_EQ(GlobalFree(rects), nullptr);
    EXPECT_EQ(GlobalFree(bufs), nullptr);
    rects = reinterpret_cast<Y32Rect *>(1);
    EXPECT_EQ(KyPathToBuf(nullptr, 0, 0, 1, 0, 65536, &rects, &bufs, 0), 0);
    EXPECT_EQ(rects, nullptr);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);

    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"KyPathBufAlloc", "KyPathBufDuplicate", "KyPathBufFree", "KyPathBufSize",
                             "KyPathBufGetWHU", "KyPathBufLock1", "KyPathBufLineRead", "KyPathBufUnlock1",
                             "KyPathToBuf"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

}  // namespace
