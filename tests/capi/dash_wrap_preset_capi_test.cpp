// Dashed strokes and wrap presets through the public header and the shared
// library, as a host that does nothing but load the library sees them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "y32Path.h"

namespace {

KyPath *Line(double x0, double y0, double x1, double y1) {
    KyPath *p = KyPathCreate();
    FIXED a[2] = {DbToFix(x0), DbToFix(y0)}, b[2] = {DbToFix(x1), DbToFix(y1)};
    KyPathAddPoint(&p, a, PT_MOVETO);
    KyPathAddPoint(&p, b, PT_LINETO);
    return p;
}

// Runs of covered pixels along image row y of the path's first mask.
std::vector<int> RowRunLengths(KyPath *p, int y) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    std::vector<int> runs;
    if (KyPathToBuf(p, 0, 0, 0, 0, 65536, &rects, &bufs, 0) != 1) return runs;
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(bufs[0], &w, &h, &depth);
    const uint8_t *px = static_cast<const uint8_t *>(bufs[0]) + static_cast<size_t>(y - rects[0].top) * w;
    int run = 0;
    for (uint32_t x = 0; x < w; ++x) {
        if (px[x]) {
            ++run;
        } else if (run) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (run) runs.push_back(run);
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
    return runs;
}

// The dashed-stroke step is in place without any call from the host: a
// line whose outline names style 2 (dash 3w, gap 4w) comes back dashed,
// and the same line with a solid style fills nothing (an open line).
TEST(DashCApi, DashedOutlineRendersAsDashesWithoutSetup) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    for (int32_t style : {0, 2}) {
        KyPath *p = Line(10, 20, 310, 20);
        OutlineInfo *info = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, style, nullptr, 0, 1, 0, 0, &info), 1);
        ASSERT_EQ(KyPathSetOutlineInfo(p, info), 1);
        std::vector<int> runs = RowRunLengths(p, 20);
        if (style == 0) {
            EXPECT_TRUE(runs.empty());
        } else {
            // w = 2: start at 8, pitch 14 stretched over 292: 20 dashes of
            // about 6 pixels.
            ASSERT_EQ(runs.size(), 20u);
            for (int r : runs) EXPECT_NEAR(r, 6, 1);
        }
        EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
    }
}

TEST(WrapPresetCApi, ExportsAndBaselineCalls) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"KyPathGetPredefinedWrapInfo", "KyPathWrapAndUpdate", "KyPathAddWrapPath",
                             "KyPathAppendEmptySubpath", "KyPathIsWrapBaseline", "KyPathSelectWrapBaseline",
                             "KyPathMakeACopyOfBaseline", "KyPathSeparateBaselineFromTable", "IsSameWrapInfo",
                             "IsSameSubpath", "KyPathGetPointPosition"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    // Internal routines stay hidden.
    EXPECT_EQ(dlsym(self, "_ZN4dash16MakeDashedStrokeEPK6KyPathiddd"), nullptr);
    dlclose(self);

    KyPath *p = Line(0, 0, 50, 0);
    ASSERT_EQ(KyPathAppendEmptySubpath(p), 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(p), 2);
    EXPECT_EQ(KyPathIsWrapBaseline(p), 0);
    double x = 1, y = 1;
    EXPECT_EQ(KyPathGetPointPosition(p, 1, &x, &y), 1);
    EXPECT_EQ(x, 50.0);
    EXPECT_EQ(IsSameSubpath(p, p), 1);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
}

}  // namespace
