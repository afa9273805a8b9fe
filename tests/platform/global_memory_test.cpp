#include <gtest/gtest.h>

#include <cstring>

#include "platform/alloc_fail.h"
#include "y32path/platform.h"

namespace {

TEST(GlobalMemory, ZeroFillSizeAndGrowth) {
    auto *a = static_cast<unsigned char *>(GlobalAlloc(GPTR, 40));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GlobalSize(a), 40u);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(a[i], 0);
    std::memset(a, 0x5A, 40);
    auto *b = static_cast<unsigned char *>(GlobalReAlloc(a, 100, GMEM_ZEROINIT));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GlobalSize(b), 100u);
    EXPECT_EQ(b[39], 0x5A);
    for (int i = 40; i < 100; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(GlobalLock(b), b);
    EXPECT_EQ(GlobalFree(b), nullptr);
}

TEST(GlobalMemory, ForeignAndStaleHandlesAreRefused) {
    int on_stack = 0;
    EXPECT_EQ(GlobalSize(&on_stack), 0u);
    EXPECT_EQ(GlobalFree(&on_stack), &on_stack) << "failure hands the handle back";
    EXPECT_EQ(GlobalReAlloc(&on_stack, 10, 0), nullptr);
    EXPECT_EQ(GlobalLock(&on_stack), nullptr);

    void *a = GlobalAlloc(GMEM_FIXED, 8);
    ASSERT_EQ(GlobalFree(a), nullptr);
    EXPECT_EQ(GlobalSize(a), 0u);
    EXPECT_EQ(GlobalFree(a), a) << "a second free is refused";
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalMemory, FailedReAllocKeepsTheBlock) {
    auto *a = static_cast<char *>(GlobalAlloc(GPTR, 16));
    ASSERT_NE(a, nullptr);
    a[0] = 'k';
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(GlobalReAlloc(a, 1 << 16, 0), nullptr);
    }
    EXPECT_EQ(GlobalSize(a), 16u);
    EXPECT_EQ(a[0], 'k');
    GlobalFree(a);
    EXPECT_EQ(GlobalAlloc(0, SIZE_MAX - 4), nullptr) << "absurd sizes are refused, not wrapped";
}

}  // namespace
