// The flat form through the public header and the shared library only.
#include <gtest/gtest.h>

#include <cstring>

#include "y32Path.h"

namespace {

TEST(FlatFormCApi, RoundTripAndRefusals) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = KyPathCreate();
    const FIXED pts[3][2] = {{0, 0}, {10 << 16, 0}, {10 << 16, 5 << 16}};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(KyPathAddPoint(&p, pts[i], i ? PT_LINETO : PT_MOVETO), 1);

    uint32_t size = 0;
    HGLOBAL block = nullptr;
    ASSERT_EQ(KyPathFlatten(p, &size, &block), 1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), size);
    KyPath *back = nullptr;
    ASSERT_EQ(KyPathUnFlatten(&block, &back), 1);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(KyPathGetPointsNumber(back), 3);
    EXPECT_EQ(back->version, 769);
    EXPECT_DOUBLE_EQ(KyPathGetLength(back), 15.0);

    // A block cut short is refused and the caller's variable cleared.
    HGLOBAL cut = GlobalAlloc(GMEM_FIXED, size - 1);
    std::memcpy(cut, block, size - 1);
    KyPath *none = back;
    EXPECT_EQ(KyPathUnFlatten(&cut, &none), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GlobalFree(cut), nullptr);
    EXPECT_EQ(GlobalFree(block), nullptr);

    EXPECT_EQ(KyPathFlatten(nullptr, &size, nullptr), 0);
    EXPECT_EQ(KyPathUnFlatten(nullptr, &none), 0);
    EXPECT_EQ(KyPathOffsetExact(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathOffset(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathSubdivide(nullptr, back, 0, 100), nullptr);
    EXPECT_EQ(KyPathGetLength(nullptr), 0.0);
    KyPathDeletePtr(back, 0);
    KyPathDeletePtr(p, 0);
}

}  // namespace
