#include "raster/pixel_buffer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/path_fixture.h"
#include "y32Path.h"

namespace {

using testing_support::PathTest;

class PixelBufferTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        c32ClearDLLErrInfo();
    }
    static Y32ErrInfo LastError() {
        Y32ErrInfo e{};
        c32GetDLLErrInfo(&e);
        return e;
    }
};

TEST_F(PixelBufferTest, LayoutSizesAndRowsFollowTheDepth) {
    struct Case {
        int32_t depth;
        uint32_t bpp;
    } cases[] = {{8, 1}, {24, 3}, {32, 4}, {64, 8}, {16, 8}};
    for (const Case &c : cases) {
        PathBuf b = KyPathBufAlloc(c.depth, 7, 5, 1, 0, 0);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(KyPathBufSize(b), c.bpp * 7 * 5 + 12) << "depth " << c.depth;
        uint32_t w = 0, h = 0;
        int32_t d = 0;
        EXPECT_EQ(KyPathBufGetWHU(b, &w, &h, &d), 1);
        EXPECT_EQ(w, 7u);
        EXPECT_EQ(h, 5u);
        EXPECT_EQ(d, c.depth) << "the header keeps the depth it was given";
        PathBufLock lock{};
        EXPECT_EQ(KyPathBufLock1(b, 0, 0, 0, &lock), 1);
        EXPECT_EQ(lock.data, b);
        EXPECT_EQ(lock.rowPixels, 7u);
        auto *base = static_cast<uint8_t *>(b);
        EXPECT_EQ(KyPathBufLineRead(&lock, 0), base);
        EXPECT_EQ(KyPathBufLineRead(&lock, 4), base + 4 * 7 * c.bpp);
        EXPECT_EQ(KyPathBufUnlock1(&lock), 1);
        // Zero-filled, and the header sits right before the handle.
        for (uint32_t i = 0; i < c.bpp * 35; ++i) ASSERT_EQ(base[i], 0);
        int32_t header[3];
        std::memcpy(header, base - 12, sizeof header);
        EXPECT_EQ(header[0], c.depth);
        EXPECT_EQ(header[1], 7);
        EXPECT_EQ(header[2], 5);
        EXPECT_EQ(KyPathBufFree(b), 1);
    }
    // Empty buffers are valid blocks of just the header.
    PathBuf empty = KyPathBufAlloc(8, 0, 9, 1, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(KyPathBufSize(empty), 12u);
    uint32_t w = 1, h = 0;
    EXPECT_EQ(KyPathBufGetWHU(empty, &w, &h, nullptr), 1);
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(h, 9u);
    EXPECT_EQ(KyPathBufGetWHU(empty, nullptr, nullptr, nullptr), 1);
    KyPathBufFree(empty);
}

TEST_F(PixelBufferTest, DuplicateIsIndependent) {
    PathBuf a = KyPathBufAlloc(24, 4, 3, 1, 0, 0);
    ASSERT_NE(a, nullptr);
    auto *pa = static_cast<uint8_t *>(a);
    for (int i = 0; i < 36; ++i) pa[i] = static_cast<uint8_t>(i * 7);
    PathBuf b = KyPathBufDuplicate(0, a);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b, a);
    EXPECT_EQ(KyPathBufSize(b), KyPathBufSize(a));
    EXPECT_EQ(std::memcmp(a, b, 36), 0);
    EXPECT_EQ(std::memcmp(pa - 12, static_cast<uint8_t *>(b) - 12, 12), 0);
    pa[5] = 99;
    EXPECT_NE(static_cast<uint8_t *>(b)[5], 99);
    KyPathBufFree(a);
    EXPECT_EQ(static_cast<uint8_t *>(b)[35], static_cast<uint8_t>(35 * 7)) << "the copy outlives its source";
    KyPathBufFree(b);
}

TEST_F(PixelBufferTest, OddHandlesAndNulls) {
    EXPECT_EQ(KyPathBufFree(reinterpret_cast<PathBuf>(1)), 1);
    EXPECT_EQ(KyPathBufFree(nullptr), 0);
    EXPECT_EQ(KyPathBufSize(nullptr), 0u);
    EXPECT_EQ(KyPathBufDuplicate(0, nullptr), nullptr);
    uint32_t w = 77;
    EXPECT_EQ(KyPathBufGetWHU(nullptr, &w, nullptr, nullptr), 0);
    EXPECT_EQ(w, 77u);
    PathBufLock lock{};
    EXPECT_EQ(KyPathBufLock1(nullptr, 0, 0, 0, &lock), 0);
}

TEST_F(PixelBufferTest, SizesBeyond32BitsAreRefusedNotWrapped) {
    // 65536 x 65536 x 4 wraps to 12 bytes in 32-bit arithmetic.
    struct Case {
        int32_t depth;
        uint32_t w, h;
    } cases[] = {{32, 65536, 65536}, {8, 0xFFFFFFFFu, 2}, {24, 0x55555556u, 1}, {64, 0x20000000u, 1},
                 {8, 0xFFFFFFFFu, 1}};
    for (const Case &c : cases) {
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathBufAlloc(c.depth, c.w, c.h, 1, 0, 0), nullptr) << c.depth << " " << c.w << "x" << c.h;
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, 1001);
        EXPECT_EQ(e.severity, 1);
        EXPECT_EQ(e.module, 2600);
        EXPECT_EQ(e.unit, 15);
    }
    EXPECT_EQ(pbuf::BlockBytes(8, 0xFFFFFFF0u, 1), 0xFFFFFFFCu) << "the largest block that fits is allowed";
}

TEST_F(PixelBufferTest, AllocationFailuresReportAndReturnNull) {
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathBufAlloc(8, 10, 10, 1, 0, 0), nullptr);
    }
    Y32ErrInfo e = LastError();
    EXPECT_EQ(e.code, 1001);
    EXPECT_EQ(e.unit, 15);
    int32_t alloc_line = e.line;
    PathBuf a = KyPathBufAlloc(8, 10, 10, 1, 0, 0);
    ASSERT_NE(a, nullptr);
    c32ClearDLLErrInfo();
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathBufDuplicate(0, a), nullptr);
    }
    e = LastError();
    EXPECT_EQ(e.code, 1001);
    EXPECT_EQ(e.unit, 15);
    EXPECT_NE(e.line, alloc_line) << "each place reports its own line";
    KyPathBufFree(a);
}

}  // namespace
