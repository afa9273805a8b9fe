#include "platform/gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/alloc_fail.h"
#include "y32path/gdi.h"

namespace {

// A device context over caller-owned pixels with guard bytes on every side
// of the bitmap and in the row padding, so any write outside it shows.
class GuardedBitmap {
  public:
    static constexpr uint8_t kGuard = 0xA5;
    GuardedBitmap(int32_t w, int32_t h, int32_t bpp, int32_t pad = 5)
        : w_(w), h_(h), bpp_(bpp), stride_(w * bpp / 8 + pad), mem_(static_cast<size_t>(stride_) * (h + 2), kGuard) {
        for (int32_t y = 0; y < h; ++y) std::memset(Row(y), 0, static_cast<size_t>(w) * bpp / 8);
        dc_ = y32CreateMemoryDCOn(Row(0), w, h, bpp, stride_);
    }
    ~GuardedBitmap() { y32DeleteMemoryDC(dc_); }
    HDC dc() const { return dc_; }
    uint8_t *Row(int32_t y) { return mem_.data() + static_cast<size_t>(stride_) * (y + 1); }
    // Every byte outside the w x h pixels (and every pad byte of 32-bit
    // pixels) still holds its guard or zero value.
    bool GuardsIntact() const {
        for (size_t i = 0; i < mem_.size(); ++i) {
            const int64_t row = static_cast<int64_t>(i / stride_) - 1, col = static_cast<int64_t>(i % stride_);
            const bool inside = row >= 0 && row < h_ && col < w_ * bpp_ / 8;
            if (!inside && mem_[i] != kGuard) return false;
            if (inside && bpp_ == 32 && col % 4 == 3 && mem_[i] != 0) return false;
        }
        return true;
    }
    std::vector<uint8_t> Snapshot() const { return mem_; }
    void Fill(uint32_t seed) {
        std::mt19937 rng(seed);
        for (int32_t y = 0; y < h_; ++y)
            for (int32_t x = 0; x < w_ * bpp_ / 8; ++x)
                if (bpp_ == 24 || x % 4 != 3) Row(y)[x] = static_cast<uint8_t>(rng());
    }

  private:
    int32_t w_, h_, bpp_, stride_;
    std::vector<uint8_t> mem_;
    HDC dc_;
};

std::pair<int32_t, int32_t> XY(POINT p) { return {p.x, p.y}; }

int CountColour(HDC dc, COLORREF c) {
    Y32DcBits b{};
    y32GetMemoryDCBits(dc, &b);
    int n = 0;
    for (int32_t y = 0; y < b.height; ++y)
        for (int32_t x = 0; x < b.width; ++x) n += GetPixel(dc, x, y) == c;
    return n;
}

TEST(Gdi, RasterOperationsMatchTheirBooleanDefinitions) {
    for (int p = 0; p < 256; p += 7) {
        for (int d = 0; d < 256; d += 5) {
            // Indexed by mode, R2_BLACK (1) to R2_WHITE (16).
            const int want[17] = {0, 0, ~(p | d), ~p & d, ~p, p & ~d, ~d, p ^ d, ~(p & d),
                                  p & d, ~(p ^ d), d, ~p | d, p, p | ~d, p | d, 0xFF};
            for (int mode = R2_BLACK; mode <= R2_WHITE; ++mode)
                ASSERT_EQ(plat::gdi::Rop2(mode, static_cast<uint8_t>(p), static_cast<uint8_t>(d)),
                          static_cast<uint8_t>(want[mode])) << "mode " << mode << " p " << p << " d " << d;
        }
    }
}

TEST(Gdi, ContextsOverOwnAndCallerPixels) {
    EXPECT_EQ(y32CreateMemoryDC(0, 5, 24), nullptr);
    EXPECT_EQ(y32CreateMemoryDC(5, 5, 16), nullptr);
    EXPECT_EQ(y32CreateMemoryDC(INT32_MAX, INT32_MAX, 32), nullptr) << "an impossible size is refused, not wrapped";
    uint8_t small[8] = {};
    EXPECT_EQ(y32CreateMemoryDCOn(small, 3, 1, 24, 8), nullptr) << "a stride shorter than a row";
    EXPECT_EQ(y32CreateMemoryDCOn(nullptr, 1, 1, 24, 4), nullptr);

    HDC dc = y32CreateMemoryDC(3, 2, 24);
    ASSERT_NE(dc, nullptr);
    Y32DcBits bits{};
    ASSERT_EQ(y32GetMemoryDCBits(dc, &bits), 1);
    EXPECT_EQ(std::make_tuple(bits.width, bits.height, bits.strideBytes, bits.bitsPerPixel),
              std::make_tuple(3, 2, 12, 24)) << "rows padded to four bytes";
    for (int i = 0; i < 24; ++i) ASSERT_EQ(bits.bits[i], 0);
    // COLORREF is 0x00BBGGRR; the bitmap stores blue, green, red.
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(0x11, 0x22, 0x33)), 0x332211u);
    EXPECT_EQ(std::vector<uint8_t>(bits.bits + 12 + 3, bits.bits + 12 + 6), (std::vector<uint8_t>{0x33, 0x22, 0x11}));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(y32DeleteMemoryDC(dc), 1);
    EXPECT_EQ(y32DeleteMemoryDC(dc), 0) << "a deleted context is not live";
    EXPECT_EQ(LineTo(dc, 1, 1), 0);
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);

    // Bottom-up caller pixels: the top row is the last in memory.
    std::vector<uint8_t> up(2 * 8, 0);
    HDC flipped = y32CreateMemoryDCOn(up.data() + 8, 2, 2, 32, -8);
    ASSERT_NE(flipped, nullptr);
    SetPixel(flipped, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(up[8 + 0], 3);
    EXPECT_EQ(up[8 + 2], 1);
    EXPECT_EQ(up[8 + 3], 0) << "the pad byte of a 32-bit pixel is never written";
    y32DeleteMemoryDC(flipped);

    for (int64_t n : {0, 1}) {  // 1: the pixels succeed, the context does not
        plat::ScopedAllocFailure fail(n);
        EXPECT_EQ(y32CreateMemoryDC(4, 4, 32), nullptr) << "allocation " << n << " fails";
    }
}

TEST(Gdi, ObjectsAndModes) {
    GuardedBitmap bm(8, 8, 24);
    HDC dc = bm.dc();
    EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(SetROP2(dc, 0), 0) << "an unknown mode changes nothing";
    EXPECT_EQ(SetROP2(dc, 17), 0);
    EXPECT_EQ(SetROP2(dc, R2_NOT), R2_XORPEN);

    EXPECT_EQ(CreatePen(7, 1, 0), nullptr);
    EXPECT_EQ(CreatePen(PS_SOLID, -1, 0), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr);
    EXPECT_EQ(GetStockObject(-1), nullptr);

    HPEN pen = CreatePen(PS_DOT, 0, 0xC0);
    ASSERT_NE(pen, nullptr);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    EXPECT_EQ(old_pen, GetStockObject(BLACK_PEN)) << "a new context draws with the black pen";
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(GRAY_BRUSH));
    EXPECT_EQ(old_brush, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_BRUSH)), GetStockObject(GRAY_BRUSH));
    EXPECT_EQ(SelectObject(nullptr, pen), nullptr);
    int not_an_object = 0;
    EXPECT_EQ(SelectObject(dc, &not_an_object), nullptr);

    EXPECT_EQ(DeleteObject(pen), 0) << "a selected pen is not freed";
    EXPECT_EQ(SelectObject(dc, old_pen), pen);
    EXPECT_EQ(DeleteObject(pen), 1);
    EXPECT_EQ(DeleteObject(pen), 0) << "nor freed twice";
    EXPECT_EQ(DeleteObject(GetStockObject(GRAY_BRUSH)), 1);
    EXPECT_EQ(SelectObject(dc, GetStockObject(GRAY_BRUSH)), GetStockObject(NULL_BRUSH)) << "stock objects survive";

    // A pen selected into a context that goes away may then be deleted.
    HDC other = y32CreateMemoryDC(2, 2, 24);
    HPEN pen2 = CreatePen(PS_SOLID, 2, 0);
    SelectObject(other, pen2);
    y32DeleteMemoryDC(other);
    EXPECT_EQ(DeleteObject(pen2), 1);

    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(CreatePen(PS_SOLID, 1, 0), nullptr);
    }
}

TEST(Gdi, LinesLeaveOutTheirEndPixelAndFollowTheCurrentPosition) {
    GuardedBitmap bm(16, 16, 32);
    HDC dc = bm.dc();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(dc, pen);
    POINT prev{-1, -1};
    ASSERT_EQ(MoveToEx(dc, 2, 5, &prev), 1);
    EXPECT_EQ(XY(prev), XY({0, 0}));
    ASSERT_EQ(LineTo(dc, 12, 5), 1);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(GetPixel(dc, x, 5), x >= 2 && x < 12 ? RGB(255, 0, 0) : 0u) << x;
    POINT cur{};
    GetCurrentPositionEx(dc, &cur);
    EXPECT_EQ(XY(cur), XY({12, 5}));
    // A diagonal: one pixel per step, on the diagonal.
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 4, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetPixel(dc, i, i), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 4, 4), 0u);
    // A shallow line steps one pixel per column, rounding to the nearest row.
    MoveToEx(dc, 0, 10, nullptr);
    LineTo(dc, 4, 12);
    for (POINT p : {POINT{0, 10}, POINT{1, 11} /* 1/2 rounds up */, POINT{2, 11}, POINT{3, 12}})
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(255, 0, 0)) << p.x;
    // A dotted pen leaves every other pixel, and its pattern runs on across
    // the joint of two lines.
    HPEN dots = CreatePen(PS_DOT, 0, RGB(0, 0, 0xC0));
    SelectObject(dc, dots);
    MoveToEx(dc, 0, 14, nullptr);
    LineTo(dc, 5, 14);
    LineTo(dc, 12, 14);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(GetPixel(dc, x, 14), x % 2 == 0 ? RGB(0, 0, 0xC0) : 0u) << x;
    EXPECT_TRUE(bm.GuardsIntact());
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
    DeleteObject(dots);
}

TEST(Gdi, RectangleOutlineAndFillGeometry) {
    GuardedBitmap bm(20, 20, 24);
    HDC dc = bm.dc();
    // One-pixel pen, hollow brush: the outline is l..r-1, t..b-1.
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SelectObject(dc, GetStockObject(WHITE_PEN));
    ASSERT_EQ(Rectangle(dc, 2, 3, 7, 9), 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool edge = (x == 2 || x == 6) ? (y >= 3 && y <= 8) : (y == 3 || y == 8) && (x >= 2 && x <= 6);
            EXPECT_EQ(GetPixel(dc, x, y) == 0 ? 0 : 1, edge ? 1 : 0) << x << "," << y;
        }

    // The node square: width-2 pen, grey brush, exclusive-or, on white.
    GuardedBitmap sq(20, 20, 32);
    HDC d2 = sq.dc();
    SelectObject(d2, GetStockObject(WHITE_BRUSH));
    SelectObject(d2, GetStockObject(NULL_PEN));
    Rectangle(d2, -1, -1, 25, 25);  // null pen: fills -1..23, clipped
    EXPECT_EQ(CountColour(d2, 0xFFFFFF), 400);
    HPEN pen = CreatePen(PS_SOLID, 2, 0xFFFF00);
    SelectObject(d2, pen);
    SelectObject(d2, GetStockObject(GRAY_BRUSH));
    SetROP2(d2, R2_XORPEN);
    const int x = 10, y = 10;
    Rectangle(d2, x - 4, y - 4, x + 5, y + 5);
    // Outline pixels x-4..x+4 widened by the 2-pixel pen to x-5..x+4; the
    // fill is what lies inside: x-3..x+2.
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 20; ++i) {
            const bool outer = i >= x - 5 && i <= x + 4 && j >= y - 5 && j <= y + 4;
            const bool inner = i >= x - 3 && i <= x + 2 && j >= y - 3 && j <= y + 2;
            const COLORREF want = inner ? 0xFFFFFF ^ 0x808080 : outer ? 0xFFFFFF ^ 0xFFFF00 : 0xFFFFFF;
            EXPECT_EQ(GetPixel(d2, i, j), want) << i << "," << j;
        }
    Rectangle(d2, x - 4, y - 4, x + 5, y + 5);
    EXPECT_EQ(CountColour(d2, 0xFFFFFF), 400) << "the second square erases the first";
    EXPECT_TRUE(sq.GuardsIntact());
    SelectObject(d2, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

// Every drawing call, in exclusive-or with white on black, must give the
// same picture as in copy mode: a pixel combined twice would come out black.
// Then the same call on a random picture, twice, must restore it exactly.
TEST(Gdi, ExclusiveOrDrawingTouchesEachPixelOnceAndUndoesItself) {
    struct Call {
        int32_t style, width, brush;
        std::vector<POINT> pts;  // kind by size: 2 line, 4 curve, 3 rectangle (use first two)
    };
    const std::vector<Call> calls = {
        {PS_SOLID, 1, NULL_BRUSH, {{1, 1}, {30, 9}}},
        {PS_SOLID, 1, NULL_BRUSH, {{30, 2}, {3, 28}}},
        {PS_SOLID, 2, NULL_BRUSH, {{5, 30}, {28, 1}}},
        {PS_SOLID, 3, NULL_BRUSH, {{-10, 16}, {50, 18}}},
        {PS_DOT, 2, NULL_BRUSH, {{0, 0}, {31, 31}}},
        {PS_DASHDOT, 1, NULL_BRUSH, {{31, 0}, {0, 20}}},
        {PS_SOLID, 5, NULL_BRUSH, {{16, -100}, {16, 100}}},
        // A curve that loops over itself, and one with a cusp.
        {PS_SOLID, 1, NULL_BRUSH, {{2, 16}, {40, 0}, {-8, 0}, {30, 16}}},
        {PS_SOLID, 2, NULL_BRUSH, {{2, 30}, {30, 2}, {2, 2}, {30, 30}}},
        {PS_SOLID, 1, NULL_BRUSH, {{-20, -20}, {60, 10}, {-30, 40}, {40, 60}}},
        {PS_SOLID, 2, GRAY_BRUSH, {{3, 4}, {12, 13}, {0, 0}}},
        {PS_SOLID, 1, GRAY_BRUSH, {{-5, 20}, {40, 25}, {0, 0}}},
        {PS_SOLID, 4, NULL_BRUSH, {{10, 10}, {11, 11}, {0, 0}}},
        {PS_DOT, 1, GRAY_BRUSH, {{8, 8}, {9, 20}, {0, 0}}},
    };
    auto draw = [](HDC dc, const Call &c) {
        switch (c.pts.size()) {
            case 2:
                MoveToEx(dc, c.pts[0].x, c.pts[0].y, nullptr);
                return LineTo(dc, c.pts[1].x, c.pts[1].y);
            case 4:
                MoveToEx(dc, c.pts[0].x, c.pts[0].y, nullptr);
                return PolyBezierTo(dc, &c.pts[1], 3);
            default: return Rectangle(dc, c.pts[0].x, c.pts[0].y, c.pts[1].x, c.pts[1].y);
        }
    };
    for (size_t k = 0; k < calls.size(); ++k) {
        const Call &c = calls[k];
        for (int bpp : {24, 32}) {
            HPEN pen = CreatePen(c.style, c.width, 0xFFFFFF);
            GuardedBitmap copy(32, 32, bpp), xored(32, 32, bpp), noisy(32, 32, bpp);
            noisy.Fill(static_cast<uint32_t>(k * 7 + bpp));
            const std::vector<uint8_t> before = noisy.Snapshot();
            for (GuardedBitmap *bm : {&copy, &xored, &noisy}) {
                SelectObject(bm->dc(), pen);
                SelectObject(bm->dc(), GetStockObject(c.brush == GRAY_BRUSH ? WHITE_BRUSH : NULL_BRUSH));
            }
            SetROP2(xored.dc(), R2_XORPEN);
            SetROP2(noisy.dc(), R2_XORPEN);
            ASSERT_EQ(draw(copy.dc(), c), 1);
            ASSERT_EQ(draw(xored.dc(), c), 1);
            EXPECT_EQ(copy.Snapshot(), xored.Snapshot()) << "call " << k << " combined a pixel twice";
            EXPECT_GT(CountColour(copy.dc(), 0xFFFFFF), 0) << "call " << k << " drew nothing";
            draw(noisy.dc(), c);
            EXPECT_NE(noisy.Snapshot(), before) << "call " << k;
            draw(noisy.dc(), c);
            EXPECT_EQ(noisy.Snapshot(), before) << "call " << k << " at " << bpp << " bits";
            EXPECT_TRUE(copy.GuardsIntact() && xored.GuardsIntact() && noisy.GuardsIntact()) << "call " << k;
            for (GuardedBitmap *bm : {&copy, &xored, &noisy}) SelectObject(bm->dc(), GetStockObject(BLACK_PEN));
            EXPECT_EQ(DeleteObject(pen), 1);
        }
    }
}

TEST(Gdi, FarCoordinatesAreClippedOrRefused) {
    GuardedBitmap bm(24, 24, 24);
    HDC dc = bm.dc();
    SelectObject(dc, GetStockObject(WHITE_PEN));
    const int32_t far = plat::gdi::kMaxCoord;
    // Crossing the bitmap from far away: drawn, clipped, cheap.
    MoveToEx(dc, -far, 12, nullptr);
    EXPECT_EQ(LineTo(dc, far, 12), 1);
    for (int x = 0; x < 24; ++x) EXPECT_EQ(GetPixel(dc, x, 12), 0xFFFFFFu);
    EXPECT_EQ(Rectangle(dc, -far, -far, far, far), 1);
    // Beyond the limit nothing is drawn and the call fails.
    const std::vector<uint8_t> before = bm.Snapshot();
    MoveToEx(dc, 0, 0, nullptr);
    EXPECT_EQ(LineTo(dc, INT32_MAX, 3), 0);
    EXPECT_EQ(Rectangle(dc, INT32_MIN, 0, 5, 5), 0);
    POINT curve[3] = {{0, 0}, {INT32_MIN, 0}, {5, 5}};
    EXPECT_EQ(PolyBezierTo(dc, curve, 3), 0);
    EXPECT_EQ(PolyBezierTo(dc, curve, 2), 0) << "not a whole curve";
    EXPECT_EQ(bm.Snapshot(), before);
    EXPECT_TRUE(bm.GuardsIntact());
}

TEST(Gdi, UserInterfaceHooks) {
    auto *w1 = reinterpret_cast<HWND>(uintptr_t{0x10});
    auto *w2 = reinterpret_cast<HWND>(uintptr_t{0x20});
    ReleaseCapture();
    EXPECT_EQ(SetCapture(w1), nullptr);
    EXPECT_EQ(SetCapture(w2), w1);
    EXPECT_EQ(GetCapture(), w2);
    EXPECT_EQ(ReleaseCapture(), 1);
    EXPECT_EQ(GetCapture(), nullptr);

    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    int32_t held = VK_SHIFT;
    y32SetKeyStateHook([](int32_t vk, void *user) -> int16_t {
        return vk == *static_cast<int32_t *>(user) ? static_cast<int16_t>(-128) : 0;
    }, &held);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
    y32SetKeyStateHook(nullptr, nullptr);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);

    y32ResetBeepCount();
    MessageBeep(0);
    MessageBeep(0);
    EXPECT_EQ(y32BeepCount(), 2);

    y32ResetCursorChanges();
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), wait);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), wait);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(5)), nullptr);
    HCURSOR before = SetCursor(wait);
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(SetCursor(before), wait);
    EXPECT_EQ(y32CursorChanges(), 2);
}

}  // namespace
