// Inputs the relief fuzzer found, kept as plain cases.
#include <gtest/gtest.h>

#include "core/fixed.h"
#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::MakePath;
using testing_support::PathTest;

class ReliefFuzzFindings : public PathTest {};

// A caller's mask with no pixels in one direction: the mask builders read
// the nearest border pixel for every sample off the map, and there was
// none. The maps come back with the mask's (empty) size and nothing read.
TEST_F(ReliefFuzzFindings, MaskWithoutPixelsGivesEmptyMaps) {
    KyPath *star = Polygon(StarPoints(20, 20, 15, 6, 5));
    KyPath *triangle = MakePath({{PT_MOVETO, 20, 5}, {PT_LINETO, 40, 40}, {PT_LINETO | PT_CLOSEFIGURE, 0, 40}});
    ASSERT_TRUE(star && triangle);
    struct Case {
        uint32_t w, h;
        int32_t offset;
    } cases[] = {{0, 12, 0}, {12, 0, 0}, {0, 0, 2}, {0, 9, -3}, {7, 0, 1}};
    for (KyPath *p : {star, triangle})
    for (const Case &k : cases) {
        PathBuf mask = KyPathBufAlloc(8, k.w, k.h, 1, 0, 0);
        ASSERT_NE(mask, nullptr);
        PathBuf d = reinterpret_cast<PathBuf>(1), v = reinterpret_cast<PathBuf>(1);
        double width = 4.0;
        ASSERT_EQ(KyPathVMap(p, &d, &v, 0, 0, 0, k.offset, 0, &width, 0, 1, mask, nullptr, fx::kOne), 1)
            << k.w << "x" << k.h << " offset " << k.offset;
        for (PathBuf map : {d, v}) {
            uint32_t w = 99, h = 99;
            int32_t depth = 0;
            ASSERT_EQ(KyPathBufGetWHU(map, &w, &h, &depth), 1);
            EXPECT_EQ(w, k.w);
            EXPECT_EQ(h, k.h);
            KyPathBufFree(map);
        }
        EXPECT_EQ(width, 4.0);
        KyPathBufFree(mask);
    }
    KyPathDeletePtr(star, 0);
    KyPathDeletePtr(triangle, 0);
}

}  // namespace
