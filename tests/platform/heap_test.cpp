#include "platform/heap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/alloc_fail.h"

namespace {

using namespace plat;

class HeapTest : public ::testing::Test {
  protected:
    void SetUp() override { heap = HeapCreate(HEAP_GENERATE_EXCEPTIONS, 0x80000, 0); }
    void TearDown() override { EXPECT_TRUE(HeapDestroy(heap)); }
    Heap *heap = nullptr;
};

TEST_F(HeapTest, SizeQueryKnowsOnlyLiveBlocks) {
    ASSERT_NE(heap, nullptr);
    void *a = HeapAlloc(heap, HEAP_ZERO_MEMORY, 1042);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, a), 1042u);
    int on_stack = 0;
    EXPECT_EQ(HeapSize(heap, 0, &on_stack), 0u);
    EXPECT_EQ(HeapSize(heap, 0, static_cast<char *>(a) + 8), 0u) << "interior pointers are not blocks";
    EXPECT_EQ(HeapSize(heap, 0, nullptr), 0u);

    Heap *other = HeapCreate(0, 0, 0);
    EXPECT_EQ(HeapSize(other, 0, a), 0u) << "a block belongs to one heap";
    EXPECT_FALSE(HeapFree(other, 0, a));
    HeapDestroy(other);

    EXPECT_TRUE(HeapFree(heap, 0, a));
    EXPECT_EQ(HeapSize(heap, 0, a), 0u) << "a freed block is no longer live";
    EXPECT_FALSE(HeapFree(heap, 0, a)) << "a second free is refused";
}

TEST_F(HeapTest, ZeroFillAndReallocKeepContents) {
    auto *a = static_cast<unsigned char *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 300));
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(a[i], 0) << i;
    std::memset(a, 0xAB, 300);

    auto *b = static_cast<unsigned char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, a, 5000));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, b), 5000u);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(b[i], 0xAB) << i;
    for (int i = 300; i < 5000; ++i) ASSERT_EQ(b[i], 0) << i;

    auto *c = static_cast<unsigned char *>(HeapReAlloc(heap, 0, b, 100));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, c), 100u);
    EXPECT_EQ(c[99], 0xAB);
    EXPECT_EQ(HeapLiveBlocks(heap), 1u);
    EXPECT_EQ(HeapLiveBytes(heap), 100u);
}

TEST_F(HeapTest, FailedReallocLeavesBlockIntact) {
    auto *a = static_cast<unsigned char *>(HeapAlloc(heap, 0, 64));
    ASSERT_NE(a, nullptr);
    std::memset(a, 7, 64);
    {
        ScopedAllocFailure fail(0);
        EXPECT_EQ(HeapReAlloc(heap, 0, a, 1 << 20), nullptr);
    }
    EXPECT_EQ(HeapSize(heap, 0, a), 64u);
    EXPECT_EQ(a[63], 7);
    int foreign = 0;
    EXPECT_EQ(HeapReAlloc(heap, 0, &foreign, 16), nullptr) << "only live blocks are resized";
}

TEST_F(HeapTest, DestroyReleasesEverythingLeftOnIt) {
    // Leak checkers (ASan) verify that nothing stays behind after TearDown.
    for (int i = 0; i < 1000; ++i) ASSERT_NE(HeapAlloc(heap, 0, 16 + i), nullptr);
    EXPECT_EQ(HeapLiveBlocks(heap), 1000u);
}

TEST(HeapLimits, MaximumSizeIsEnforced) {
    Heap *heap = HeapCreate(0, 0, 4096);
    ASSERT_NE(heap, nullptr);
    void *a = HeapAlloc(heap, 0, 3000);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(HeapAlloc(heap, 0, 2000), nullptr);
    EXPECT_EQ(HeapReAlloc(heap, 0, a, 5000), nullptr);
    EXPECT_NE(HeapAlloc(heap, 0, 1000), nullptr);
    EXPECT_EQ(HeapCreate(0, 8192, 4096), nullptr) << "commitment beyond the maximum";
    HeapDestroy(heap);
}

TEST(AllocFailure, FailsExactlyTheChosenRequest) {
    Heap *heap = HeapCreate(0, 0, 0);
    FailAllocationAt(2);
    void *a = HeapAlloc(heap, 0, 8);
    void *b = HeapAlloc(heap, 0, 8);
    void *c = HeapAlloc(heap, 0, 8);
    void *d = HeapAlloc(heap, 0, 8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr) << "the switch disarms after one failure";
    HeapDestroy(heap);
}

}  // namespace
