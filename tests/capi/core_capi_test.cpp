// Through the public header and the shared library only, as a host sees it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "y32Path.h"

namespace {

TEST(CoreCApi, NullArgumentsGiveTheFailureValue) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    FIXED xy[2] = {0, 0};
    KyPath *empty = nullptr;
    EXPECT_EQ(KyPathAddPoint(nullptr, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathAddPoint(&empty, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathPurge(nullptr), 0);
    EXPECT_EQ(KyPathDeletePtr(nullptr, 0), 0);
    KyPath *out = reinterpret_cast<KyPath *>(0x8);
    EXPECT_EQ(KyPathDuplicatePtr(nullptr, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(KyPathExtractSingleSubPath(nullptr, 1), nullptr);
    EXPECT_EQ(KyPathGetOutlineInfo(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathInfo(nullptr, nullptr, nullptr), 0);
    KyPathSetPathFlags(nullptr, 1, 1, 1);
    KyPathOutputSubpathInfo(nullptr);
}

TEST(CoreCApi, BuildCopyAndFreeAPath) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = KyPathCreate();
    ASSERT_NE(p, nullptr);
    const double pts[][2] = {{0, 0}, {100, 0}, {100, 50}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        FIXED xy[2] = {DbToFix(pts[i][0]), DbToFix(pts[i][1])};
        uint32_t type = i == 0 ? PT_MOVETO : (i == 3 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        ASSERT_EQ(KyPathAddPoint(&p, xy, type), 1);
    }
    ASSERT_EQ(KyPathPurge(&p), 1);
    KyPath *copy = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(p, &copy), 1);
    EXPECT_EQ(KyPathGetPointsNumber(copy), 4);
    EXPECT_EQ(FixToDb(KyPathPoints(copy)[2].y), 50.0);
    EXPECT_EQ(KyPathPoints(copy)[3].type, PT_LINETO | PT_CLOSEFIGURE);
    EXPECT_EQ(KyPathDeletePtr(copy, 0), 1);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 0);
}

TEST(CoreCApi, OnlyTheInterfaceIsExported) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"KyPathInit", "KyPathCreate", "KyPathAddPoint", "KyPathDuplicatePtr", "FixToDb",
                             "DbToFix", "GlobalAlloc", "GlobalFree", "GlobalSize", "c32SetDLLErrInfo",
                             "y32IsEscPressed"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    // Internal helpers stay hidden (their C++ names would be mangled; the
    // plain spellings must not appear either).
    for (const char *name : {"_Z11PathReservePP6KyPathPP9PathPointi", "_Z9PathFirstP6KyPath", "DebugPrint"})
        EXPECT_EQ(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

TEST(CoreCApi, GlobalBlocksRoundTrip) {
    void *block = GlobalAlloc(GPTR, 1000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 1000u);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
}

}  // namespace
