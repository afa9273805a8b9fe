// Transforms and structural edits through the public header and the shared
// library only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "y32Path.h"

namespace {

TEST(EditCApi, NullArgumentsGiveTheFailureValue) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    EXPECT_EQ(KyPathMovePathsByPtfx(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathMovePaths(nullptr, nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathSize(nullptr, 2.0, 2.0), 0);
    KyPathScaleCentered(nullptr, 2.0, 2.0, nullptr);
    KyPathRotateAboutCenter(nullptr, 30.0);
    EXPECT_EQ(KyPathResizeSlantRotate(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathGetRSRHandle(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathJoin(nullptr), 0);
    EXPECT_EQ(KyPathJoinAll(nullptr), 0);
    EXPECT_EQ(KyPathDisjoin(nullptr), 0);
    EXPECT_EQ(KyPathDisjoinAll(nullptr), 0);
    EXPECT_EQ(KyPathIsSingleOpenPath(nullptr), 0);
    EXPECT_EQ(KyPathIsSimplestSubpath(nullptr), 0);
    EXPECT_EQ(KyPathSelectedSegmentCanBeConverted(nullptr), 0);
    EXPECT_EQ(KyPathDeleteLinkLastSegment(nullptr), 0);
    EXPECT_EQ(KyPathDeleteLink(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathInvertSubpaths(nullptr), 0);
    EXPECT_EQ(KyPathChainPaths(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathChainKyPath(0, nullptr), nullptr);
    KyPathDeleteNodeFromList(nullptr, nullptr);
    KyPathExchangeSubpathInTable(nullptr, nullptr, nullptr);
    EXPECT_EQ(KyPathR2VToKyPath(0, nullptr), nullptr);
}

TEST(EditCApi, TheTwoPlainNamedHelpersAreExported) {
    void *lib = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(dlsym(lib, "PtfxAdd"), nullptr);
    EXPECT_NE(dlsym(lib, "PtfxSub"), nullptr);
    EXPECT_NE(dlsym(lib, "KyPathResizeSlantRotate"), nullptr);
    dlclose(lib);
}

TEST(EditCApi, TraceInvertMoveAndDeleteInATable) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPathTracedPoint pts[3] = {{0, 0, 2, 0}, {40, 0, 2, 0}, {40, 30, 2, 0}};
    KyPath *p = KyPathR2VToKyPath(3, pts);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(KyPathGetPointsNumber(p), 4);
    PathTable *t = nullptr;
    ASSERT_EQ(KyPathNew(&t), 1);
    ASSERT_EQ(KyPathAssignActivePath(t, p), 1);

    ASSERT_EQ(KyPathInvertSubpaths(p), 1);
    EXPECT_EQ(+KyPathPoints(p)[1].y, DbToFix(30));
    ASSERT_EQ(KyPathInvertSubpaths(p), 1);
    EXPECT_EQ(+KyPathPoints(p)[1].x, DbToFix(40));
    EXPECT_EQ(+KyPathPoints(p)[1].y, 0);

    ASSERT_EQ(KyPathMovePathsByPtfx(p, DbToFix(5), 0), 1);
    EXPECT_EQ(+KyPathPoints(p)[0].x, DbToFix(5));
    ASSERT_EQ(KyPathSize(p, 2.0, 0.0), 1);
    EXPECT_EQ(+KyPathPoints(p)[2].y, DbToFix(60));

    Y32Rect changed{};
    ASSERT_EQ(KyPathDeleteLink(t, nullptr, &changed), 1);
    KyPath *first = reinterpret_cast<KyPath *>(1);
    KyPathFind(t, nullptr, &first, nullptr, nullptr);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(KyPathTblDelete(t), 1);
}

}  // namespace
