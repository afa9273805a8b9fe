#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/fixed.h"
#include "core/memory.h"
#include "core/vec.h"
#include "platform/alloc_fail.h"
#include "y32Path.h"

namespace {

TEST(FixedPoint, ConversionsTruncateTowardZero) {
    EXPECT_EQ(DbToFix(0.99999), 65535);
    EXPECT_EQ(DbToFix(-0.00001), 0);
    EXPECT_EQ(DbToFix(-1.50001), -98304) << "the same as -1.5";
    EXPECT_EQ(FixToDb(-65536), -1.0);
    EXPECT_EQ(FixToDb(1), 1.52587890625e-5);
    // Beyond the 16-bit integer range the low 32 bits of the 64-bit value
    // are kept: 40000.0 wraps like the stored data always did.
    EXPECT_EQ(DbToFix(40000.0), static_cast<FIXED>(static_cast<uint32_t>(40000u << 16)));
    EXPECT_EQ(DbToFix(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(DbToFix(1e300), -1) << "saturates to INT64_MAX, whose low word is all ones";
    EXPECT_EQ(DbToFix(-1e300), 0);
    // Floor is the high word.
    EXPECT_EQ((std::vector<int32_t>{fx::Floor(DbToFix(-0.25)), fx::Floor(DbToFix(10.25)), fx::Floor(DbToFix(-3.0))}),
              (std::vector<int32_t>{-1, 10, -3}));
}

TEST(Vectors, EdgeBehaviour) {
    vec::Vec2 tiny{0.0001, 0.0};
    vec::Normalize(&tiny);
    EXPECT_EQ(tiny.x, 0.0001) << "length exactly 0.0001 is left alone";
    vec::Vec2 v{3, 4};
    vec::Normalize(&v);
    EXPECT_DOUBLE_EQ(v.x, 0.6);
    EXPECT_DOUBLE_EQ(v.y, 0.8);

    vec::Vec2 s{2, 3}, out{9, 9};
    EXPECT_EQ(vec::Scale(&s, 0.0, &out), &out);
    EXPECT_EQ(std::make_pair(s.x, out.x), std::make_pair(2.0, 9.0)) << "scaling by 0 touches neither vector";
    vec::Scale(&s, 2.0, &out);
    EXPECT_EQ(std::make_pair(s.y, out.y), std::make_pair(6.0, 6.0));
    EXPECT_EQ(vec::Scale(nullptr, 2.0, &out), nullptr);
    EXPECT_EQ(vec::Sub(nullptr, &v, &out), nullptr);
    EXPECT_EQ(vec::Length(nullptr), 0.0);
    EXPECT_EQ(vec::Dot(&v, nullptr), 0.0);

    vec::Vec3 x{1, 0, 0}, y{0, 2, 0}, z{};
    EXPECT_DOUBLE_EQ(vec::Cross3(&x, &y, &z, true), 2.0);
    EXPECT_EQ(z.z, 2.0);
    EXPECT_EQ(vec::Cross3(&x, &y, &z, false), 1.0);
    EXPECT_EQ(vec::Cross3(&x, nullptr, &z, true), 0.0);

    vec::Vec2 a{3, 4}, b{2, 0};
    vec::Projection pr{};
    vec::Project(&a, &b, &pr);
    EXPECT_DOUBLE_EQ(pr.along.x, 3.0);
    EXPECT_DOUBLE_EQ(pr.rest.y, 4.0);
    EXPECT_DOUBLE_EQ(pr.along_length, 3.0);
    EXPECT_DOUBLE_EQ(pr.rest_length, 4.0);

    vec::Vec2 perp{};
    vec::Perp(&b, &perp);
    EXPECT_EQ(std::make_pair(perp.x, perp.y), std::make_pair(-0.0, 2.0));
    EXPECT_DOUBLE_EQ(vec::Distance(1, 1, 4, 5), 5.0);
}

TEST(Library, InitCreatesOneHeapAndDetachStartsAfresh) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    plat::Heap *heap = mem::PrivateHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(KyPathInit(), 0x30000);
    EXPECT_EQ(mem::PrivateHeap(), heap);

    static int released = 0;
    mem::AtDetach([] { ++released; });
    KyPath *left_behind = KyPathCreate();
    ASSERT_NE(left_behind, nullptr);
    mem::Detach();  // frees the record with the heap
    EXPECT_EQ(mem::PrivateHeap(), nullptr);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(KyPathCreate(), nullptr) << "nothing allocates before KyPathInit";

    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathInit(), 0) << "heap creation failure";
    }
    EXPECT_EQ(KyPathInit(), 0x30000);
}

TEST(RuntimeMemory, FlagsWordRules) {
    auto *a = static_cast<unsigned char *>(mem::MemAlloc(0x40, 10));
    ASSERT_NE(a, nullptr);
    std::memset(a, 0xEE, 10);
    a = static_cast<unsigned char *>(mem::MemReAlloc(a, 100, 0x42));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(mem::MemSize(a), 100u);
    EXPECT_EQ(a[9], 0xEE);
    for (int i = 10; i < 100; ++i) ASSERT_EQ(a[i], 0) << "only the added tail is cleared";
    std::memset(a, 0xEE, 100);
    a = static_cast<unsigned char *>(mem::MemReAlloc(a, 50, 0x40));
    EXPECT_EQ(a[49], 0xEE) << "shrinking clears nothing";
    EXPECT_EQ(mem::MemFree(a), 1);

    void *fresh = mem::MemReAlloc(nullptr, 8, 0x40);
    ASSERT_NE(fresh, nullptr);
    mem::MemFree(fresh);
    void *empty = mem::MemAlloc(0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(mem::MemReAlloc(empty, 16, 0), nullptr) << "a block of size 0 cannot be resized";
    mem::MemFree(empty);
}

}  // namespace
