#include <gtest/gtest.h>

#include <cstring>

#include "platform/alloc_fail.h"
#include "platform/heap.h"
#include "y32path/platform.h"

namespace {

using namespace plat;

// A private heap and the global-memory family each keep their own set of
// live blocks over the same sized blocks, so each must refuse what it did
// not hand out or has already freed. The shared checks run on both.
Heap *g_heap = nullptr;

struct Family {
    const char *name;
    void *(*alloc)(size_t bytes, bool zero);
    void *(*resize)(void *block, size_t bytes, bool zero_tail);
    size_t (*size)(void *block);
    bool (*free)(void *block);
};
const Family kFamilies[] = {
    {"heap", [](size_t n, bool z) { return HeapAlloc(g_heap, z ? HEAP_ZERO_MEMORY : 0, n); },
     [](void *p, size_t n, bool z) { return HeapReAlloc(g_heap, z ? HEAP_ZERO_MEMORY : 0, p, n); },
     [](void *p) { return HeapSize(g_heap, 0, p); }, [](void *p) { return HeapFree(g_heap, 0, p); }},
    {"global", [](size_t n, bool z) { return GlobalAlloc(z ? GPTR : GMEM_FIXED, n); },
     [](void *p, size_t n, bool z) { return GlobalReAlloc(p, n, z ? GMEM_ZEROINIT : 0); },
     [](void *p) { return GlobalSize(p); }, [](void *p) { return GlobalFree(p) == nullptr; }},
};

class Memory : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(g_heap = HeapCreate(HEAP_GENERATE_EXCEPTIONS, 0x80000, 0), nullptr); }
    void TearDown() override { EXPECT_TRUE(HeapDestroy(g_heap)); }
};

TEST_F(Memory, ZeroFillAndResizeKeepContents) {
    for (const Family &f : kFamilies) {
        auto *a = static_cast<unsigned char *>(f.alloc(300, true));
        ASSERT_NE(a, nullptr) << f.name;
        EXPECT_EQ(f.size(a), 300u) << f.name;
        for (int i = 0; i < 300; ++i) ASSERT_EQ(a[i], 0) << f.name << " " << i;
        std::memset(a, 0xAB, 300);

        auto *b = static_cast<unsigned char *>(f.resize(a, 5000, true));
        ASSERT_NE(b, nullptr) << f.name;
        EXPECT_EQ(f.size(b), 5000u) << f.name;
        for (int i = 0; i < 300; ++i) ASSERT_EQ(b[i], 0xAB) << f.name << " " << i;
        for (int i = 300; i < 5000; ++i) ASSERT_EQ(b[i], 0) << f.name << " " << i;

        auto *c = static_cast<unsigned char *>(f.resize(b, 100, false));
        ASSERT_NE(c, nullptr) << f.name;
        EXPECT_EQ(f.size(c), 100u) << f.name;
        EXPECT_EQ(c[99], 0xAB) << f.name;
        if (&f == &kFamilies[0]) {
            EXPECT_EQ(HeapLiveBlocks(g_heap), 1u);
            EXPECT_EQ(HeapLiveBytes(g_heap), 100u);
        }
        EXPECT_TRUE(f.free(c)) << f.name;
    }
}

TEST_F(Memory, OnlyLiveBlocksAreSizedResizedOrFreed) {
    for (const Family &f : kFamilies) {
        int on_stack = 0;
        EXPECT_EQ(f.size(&on_stack), 0u) << f.name;
        EXPECT_FALSE(f.free(&on_stack)) << f.name;
        EXPECT_EQ(f.resize(&on_stack, 10, false), nullptr) << f.name;
        EXPECT_EQ(f.size(nullptr), 0u) << f.name;

        void *a = f.alloc(64, false);
        ASSERT_NE(a, nullptr) << f.name;
        EXPECT_EQ(f.size(static_cast<char *>(a) + 8), 0u) << f.name << ": interior pointers are not blocks";
        EXPECT_TRUE(f.free(a)) << f.name;
        EXPECT_EQ(f.size(a), 0u) << f.name << ": a freed block is no longer live";
        EXPECT_FALSE(f.free(a)) << f.name << ": a second free is refused";
    }

    int on_stack = 0;
    EXPECT_EQ(GlobalFree(&on_stack), &on_stack) << "failure hands the handle back";
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    void *g = GlobalAlloc(GMEM_FIXED, 8);
    EXPECT_EQ(GlobalLock(g), g);
    EXPECT_EQ(GlobalLock(&on_stack), nullptr);
    GlobalFree(g);

    void *a = HeapAlloc(g_heap, 0, 16);
    Heap *other = HeapCreate(0, 0, 0);
    EXPECT_EQ(HeapSize(other, 0, a), 0u) << "a block belongs to one heap";
    EXPECT_FALSE(HeapFree(other, 0, a));
    HeapDestroy(other);
}

TEST_F(Memory, FailedResizeKeepsTheBlockAndAbsurdSizesAreRefused) {
    for (const Family &f : kFamilies) {
        auto *a = static_cast<unsigned char *>(f.alloc(64, false));
        ASSERT_NE(a, nullptr) << f.name;
        std::memset(a, 7, 64);
        {
            ScopedAllocFailure fail(0);
            EXPECT_EQ(f.resize(a, 1 << 20, false), nullptr) << f.name;
        }
        EXPECT_EQ(f.size(a), 64u) << f.name;
        EXPECT_EQ(a[63], 7) << f.name;
        EXPECT_TRUE(f.free(a)) << f.name;
        EXPECT_EQ(f.alloc(SIZE_MAX - 4, false), nullptr) << f.name << ": absurd sizes are refused, not wrapped";
    }
}

TEST_F(Memory, HeapDestroyReleasesEverythingLeftOnIt) {
    // Leak checkers (ASan) verify that nothing stays behind after TearDown.
    for (int i = 0; i < 1000; ++i) ASSERT_NE(HeapAlloc(g_heap, 0, 16 + i), nullptr);
    EXPECT_EQ(HeapLiveBlocks(g_heap), 1000u);
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
    EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
    EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
    EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
    EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr) << "the switch disarms after one failure";
    HeapDestroy(heap);
}

}  // namespace
