#include "raster/path_to_buf.h"

#include <gtest/gtest.h>

#include "raster/scan_fill.h"
#include "raster_support.h"

namespace {

using raster::FillImpl;
using raster_support::Mask;
using raster_support::Options;
using raster_support::Polygon;
using raster_support::Rect;
using raster_support::Render;
using testing_support::LinkGroup;
using testing_support::LinkSelection;
using testing_support::LinkList;
using testing_support::PathTest;

class PathToBufTest : public PathTest {};

constexpr FillImpl kImpls[] = {FillImpl::kFast, FillImpl::kReference};

TEST_F(PathToBufTest, WholePixelRectangleIsExactInEveryFormat) {
    KyPath *p = Rect(10, 10, 30, 20);
    for (FillImpl impl : kImpls) {
        for (int32_t aa : {1, 999, 0}) {
            raster::ToBufOptions o = Options(0, 0, aa);
            o.impl = impl;
            std::vector<Mask> m = Render(p, o);
            ASSERT_EQ(m.size(), 1u);
            EXPECT_EQ(m[0].rect.left, 5);
            EXPECT_EQ(m[0].rect.top, 5);
            EXPECT_EQ(m[0].rect.right, 36);
            EXPECT_EQ(m[0].rect.bottom, 26);
            for (int32_t y = 5; y < 26; ++y)
                for (int32_t x = 5; x < 36; ++x) {
                    bool inside = x >= 10 && x < 30 && y >= 10 && y < 20;
                    ASSERT_EQ(m[0].AtImage(x, y), inside ? 255 : 0) << "aa " << aa << " at " << x << "," << y;
                }
        }
        raster::ToBufOptions o = Options(4, 0, 1);
        o.impl = impl;
        std::vector<Mask> m = Render(p, o);
        ASSERT_EQ(m.size(), 1u);
        ASSERT_EQ(m[0].depth, 32);
        for (int32_t r = 0; r < 21; ++r)
            for (int32_t c = 0; c < 31; ++c) {
                bool inside = c >= 5 && c < 25 && r >= 5 && r < 15;
                ASSERT_EQ(m[0].Word(c, r), inside ? 0u : 0xFFFFFFFFu) << c << "," << r;
            }
    }
    KyPathDeletePtr(p, 0);
}

TEST_F(PathToBufTest, WindingRulesOnOverlapsAndOpenSubpaths) {
    KyPath *a = Rect(10, 10, 30, 30), *b = Rect(20, 20, 40, 40);
    LinkList({a, b});
    LinkGroup({a, b});
    for (FillImpl impl : kImpls) {
        raster::ToBufOptions o = Options(0, 0, 1);
        o.impl = impl;
        std::vector<Mask> nz = Render(a, o);
        o.even_odd = 1;
        std::vector<Mask> eo = Render(a, o);
        ASSERT_EQ(nz.size(), 1u);
        ASSERT_EQ(eo.size(), 1u);
        EXPECT_EQ(nz[0].AtImage(25, 25), 255) << "same direction overlap is filled under nonzero";
        EXPECT_EQ(eo[0].AtImage(25, 25), 0) << "and empty under even-odd";
        EXPECT_EQ(nz[0].AtImage(15, 15), 255);
        EXPECT_EQ(eo[0].AtImage(15, 15), 255);
        EXPECT_EQ(eo[0].AtImage(35, 35), 255);
    }
    KyPathDeletePtr(a, 0);

    // Two open strokes running the same way: the winding count never comes
    // back to 0, and the span closes at the last crossing.
    KyPath *open = testing_support::MakePath(
        {{PT_MOVETO, 10, 10}, {PT_LINETO, 10, 30}, {PT_MOVETO, 20, 10}, {PT_LINETO, 20, 30}});
    // One edge alone gives a single crossing per line: nothing.
    KyPath *single = testing_support::MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 10, 30}});
    for (FillImpl impl : kImpls) {
        raster::ToBufOptions o = Options(0, 0, 1);
        o.impl = impl;
        std::vector<Mask> m = Render(open, o);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].AtImage(15, 20), 255);
        EXPECT_EQ(m[0].AtImage(25, 20), 0);
        m = Render(single, o);
        ASSERT_EQ(m.size(), 1u);
        for (uint8_t v : m[0].bytes) ASSERT_EQ(v, 0);
    }
    KyPathDeletePtr(open, 0);
    KyPathDeletePtr(single, 0);
}

TEST_F(PathToBufTest, HardMaskThresholdOnHalfCoveredPixels) {
    // A 1-pixel bar centred on the border of columns 9 and 10 covers each
    // by half: 0.5 * 256 - 1 = 127 is above the 115 threshold. Narrower
    // bars cross the threshold between 0.45 and 0.46 of a pixel.
    struct Case {
        double half;
        uint8_t expect;
    } cases[] = {{0.5, 255}, {0.46, 255}, {0.45, 0}, {0.4, 0}};
    for (const Case &c : cases) {
        KyPath *p = Rect(10 - c.half, 10, 10 + c.half, 30);
        for (FillImpl impl : kImpls) {
            raster::ToBufOptions o = Options(0, 0, 0);
            o.impl = impl;
            std::vector<Mask> m = Render(p, o);
            ASSERT_EQ(m.size(), 1u);
            for (int32_t y = 10; y < 30; ++y) {
                ASSERT_EQ(m[0].AtImage(9, y), c.expect) << c.half << " row " << y;
                ASSERT_EQ(m[0].AtImage(10, y), c.expect);
                ASSERT_EQ(m[0].AtImage(8, y), 0);
                ASSERT_EQ(m[0].AtImage(11, y), 0);
            }
            EXPECT_EQ(m[0].AtImage(9, 9), 0);
            EXPECT_EQ(m[0].AtImage(9, 30), 0);
        }
        KyPathDeletePtr(p, 0);
    }
}

TEST_F(PathToBufTest, SubPixelMasksCombineSpansThatShareAPixel) {
    // Two bars in one group leave a gap inside image pixel 12 (mask column
    // 7): the first covers its two left sub-columns, the second its two
    // right ones.
    KyPath *a = Rect(10.25, 10, 12.25, 11), *b = Rect(12.75, 10, 14, 11);
    LinkList({a, b});
    LinkGroup({a, b});
    for (FillImpl impl : kImpls) {
        raster::ToBufOptions o = Options(4, 1, 1);
        o.impl = impl;
        std::vector<Mask> m = Render(a, o);
        ASSERT_EQ(m.size(), 1u);
        ASSERT_EQ(m[0].rect.left, 5);
        EXPECT_EQ(m[0].Word(5, 5), 0xC0C0C0C0u) << "frac 0.25: two sub-columns not covered";
        EXPECT_EQ(m[0].Word(6, 5), 0u);
        EXPECT_EQ(m[0].Word(7, 5), 0x3C3C3C3Cu) << "the union of both spans";
        EXPECT_EQ(m[0].Word(8, 5), 0u);
        EXPECT_EQ(m[0].Word(9, 5), 0xFFFFFFFFu);
        EXPECT_EQ(m[0].Word(6, 6), 0xFFFFFFFFu);
        EXPECT_EQ(m[0].Word(6, 4), 0xFFFFFFFFu);
    }
    KyPathDeletePtr(a, 0);
}

TEST_F(PathToBufTest, GroupsSelectionAndArrays) {
    // 21 selected groups: 21 masks, and each array grew once by 20 entries.
    std::vector<KyPath *> recs;
    for (int i = 0; i < 21; ++i) recs.push_back(Rect(10 + i * 3, 10, 12 + i * 3, 12 + i));
    for (size_t i = 0; i < recs.size(); ++i) {
        recs[i]->flags |= KPF_SELECTED;
        if (i) {
            recs[i]->prev = recs[i - 1];
            recs[i - 1]->next = recs[i];
            recs[i]->selPrev = recs[i - 1];
            recs[i - 1]->selNext = recs[i];
        }
    }
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(recs[7], 0, 0, 1, 0, fx::kOne, &rects, &bufs, 0), 21);
    EXPECT_EQ(GlobalSize(rects), 40 * sizeof(Y32Rect));
    EXPECT_EQ(GlobalSize(bufs), 40 * sizeof(PathBuf));
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(rects[i].left, 10 + i * 3 - 5) << "in selection order from the head";
        EXPECT_EQ(rects[i].bottom, 12 + i + 6);
        KyPathBufFree(bufs[i]);
    }
    GlobalFree(rects);
    GlobalFree(bufs);

    // Unselected: the head's group only. Flags exactly 1: the record itself.
    for (KyPath *r : recs) {
        r->flags = 0;
        r->selPrev = r->selNext = nullptr;
    }
    std::vector<Mask> m = Render(recs[5], Options(0, 0, 1));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rect.left, 5);
    recs[5]->flags = 1;
    m = Render(recs[5], Options(0, 0, 1));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rect.left, 10 + 15 - 5);

    // A grouped pair followed by a selected single: two masks, the pair in
    // one buffer.
    recs[5]->flags = 0;
    LinkGroup({recs[0], recs[1]});
    LinkSelection({recs[0], recs[1], recs[2]});
    m = Render(recs[2], Options(0, 0, 1));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].AtImage(11, 11), 255);
    EXPECT_EQ(m[0].AtImage(14, 11), 255);
    EXPECT_EQ(m[1].rect.left, 16 - 5);
    KyPathDeletePtr(recs[0], 0);
}

TEST_F(PathToBufTest, MarginsScaleAndNullArguments) {
    KyPath *p = Polygon({{10.3, 10.2}, {40.7, 12.5}, {25.1, 33.9}});
    std::vector<Mask> base = Render(p, Options(0, 0, 1));
    std::vector<Mask> plus = Render(p, Options(0, 0, 1, 0, 1.0, 3));
    std::vector<Mask> minus = Render(p, Options(0, 0, 1, 0, 1.0, -3));
    ASSERT_EQ(plus.size(), 1u);
    ASSERT_EQ(minus.size(), 1u);
    EXPECT_EQ(plus[0].rect.left, base[0].rect.left - 3);
    EXPECT_EQ(plus[0].rect.bottom, base[0].rect.bottom + 3);
    EXPECT_EQ(plus[0].bytes, minus[0].bytes);
    EXPECT_EQ(std::memcmp(&plus[0].rect, &minus[0].rect, sizeof(Y32Rect)), 0);
    for (int32_t y = base[0].rect.top; y < base[0].rect.bottom; ++y)
        for (int32_t x = base[0].rect.left; x < base[0].rect.right; ++x)
            ASSERT_EQ(plus[0].AtImage(x, y), base[0].AtImage(x, y));

    // Scale 12 with fractional coordinates: the scaled path still fits
    // (the far sides of the box follow x * scale, not floor(x) * scale).
    std::vector<Mask> big = Render(p, Options(0, 0, 1, 0, 12.0));
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].rect.left, 120 - 5);
    EXPECT_GE(big[0].rect.right, static_cast<int32_t>(40.7 * 12) + 1);
    EXPECT_EQ(big[0].AtImage(static_cast<int32_t>(40.0 * 12), static_cast<int32_t>(12.5 * 12)), 255);

    // Format 16 at scale 2 comes back at image size, box filtered.
    KyPath *r = Rect(10, 10, 30, 20);
    std::vector<Mask> f16 = Render(r, Options(16, 0, 1, 0, 2.0));
    ASSERT_EQ(f16.size(), 1u);
    EXPECT_EQ(f16[0].rect.left, 7);
    EXPECT_EQ(f16[0].rect.right, 33);
    EXPECT_EQ(f16[0].width, 26u);
    EXPECT_EQ(f16[0].AtImage(20, 15), 255);
    EXPECT_EQ(f16[0].AtImage(8, 8), 0);
    std::vector<Mask> f16hard = Render(p, Options(16, 0, 0, 0, 3.0));
    ASSERT_EQ(f16hard.size(), 1u);
    bool some = false;
    for (uint8_t v : f16hard[0].bytes) {
        ASSERT_TRUE(v == 0 || v == 255);
        some |= v == 255;
    }
    EXPECT_TRUE(some);
    // Outline modes of format 16 never scale up.
    std::vector<Mask> f16line = Render(r, Options(16, 0, 0, 1, 2.0));
    ASSERT_EQ(f16line.size(), 1u);
    EXPECT_EQ(f16line[0].rect.left, 5);
    KyPathDeletePtr(r, 0);

    Y32Rect *rects = reinterpret_cast<Y32Rect *>(8);
    PathBuf *bufs = reinterpret_cast<PathBuf *>(8);
    EXPECT_EQ(KyPathToBuf(nullptr, 0, 0, 1, 0, fx::kOne, &rects, &bufs, 0), 0);
    EXPECT_EQ(rects, nullptr);
    EXPECT_EQ(bufs, nullptr);
    EXPECT_EQ(KyPathToBuf(p, 0, 0, 1, 0, fx::kOne, nullptr, &bufs, 0), 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(PathToBufTest, OutlineModesAndOutlineOnlySubpaths) {
    KyPath *a = Rect(10, 10, 30, 20), *b = Rect(40, 12, 60, 18);
    LinkList({a, b});
    // Hard outline of a alone: a one-pixel frame.
    std::vector<Mask> m = Render(a, Options(0, 0, 0, 1));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rect.right, 36);
    for (int32_t x = 10; x <= 30; ++x) {
        EXPECT_EQ(m[0].AtImage(x, 10), 255) << x;
        EXPECT_EQ(m[0].AtImage(x, 20), 255) << x;
        EXPECT_EQ(m[0].AtImage(x, 9), 0);
        EXPECT_EQ(m[0].AtImage(x, 15), x == 10 || x == 30 ? 255 : 0);
    }
    // Anti-aliased: a line on a pixel border splits between the two rows.
    m = Render(a, Options(0, 0, 1, 1));
    EXPECT_EQ(m[0].AtImage(20, 9) + m[0].AtImage(20, 10), 255);
    EXPECT_GT(m[0].AtImage(20, 9), 100);
    EXPECT_EQ(m[0].AtImage(20, 15), 0);
    // Mode 3 traces every record of the list in one mask.
    m = Render(a, Options(0, 0, 0, 3));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rect.right, 66);
    EXPECT_EQ(m[0].AtImage(50, 12), 255);
    EXPECT_EQ(m[0].AtImage(20, 20), 255);

    // In a fill, a subpath flagged outline-only is traced, not filled.
    LinkGroup({a, b});
    b->flags |= 0x10000000u;
    for (FillImpl impl : kImpls) {
        raster::ToBufOptions o = Options(0, 0, 0);
        o.impl = impl;
        m = Render(a, o);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].AtImage(20, 15), 255);
        EXPECT_EQ(m[0].AtImage(50, 15), 0);
        EXPECT_EQ(m[0].AtImage(50, 12), 255);
        EXPECT_EQ(m[0].AtImage(40, 15), 255);
    }
    // On a sub-pixel mask the traced pixels become fully covered.
    m = Render(a, Options(4, 0, 0));
    EXPECT_EQ(m[0].Word(50 - 5, 12 - 5), 0u);
    EXPECT_EQ(m[0].Word(50 - 5, 15 - 5), 0xFFFFFFFFu);
    m = Render(a, Options(4, 0, 0, 1));
    EXPECT_EQ(m[0].Word(20 - 5, 10 - 5), 0u);
    EXPECT_EQ(m[0].Word(20 - 5, 15 - 5), 0xFFFFFFFFu) << "outline masks start uncovered too";
    KyPathDeletePtr(a, 0);
}

TEST_F(PathToBufTest, TallShapesAreTheSameInBandsAndInOnePiece) {
    KyPath *p = testing_support::MakePath({{PT_MOVETO, 20, 3},
                                           {PT_BEZIERTO, 90, -20},
                                           {PT_BEZIERTO, 100, 180},
                                           {PT_BEZIERTO, 40, 237.3},
                                           {PT_LINETO, 3.7, 120.5},
                                           {PT_LINETO | PT_CLOSEFIGURE, 20, 3}});
    for (int32_t format : {0, 4}) {
        raster::ToBufOptions o = Options(format, 0, 1);
        o.impl = FillImpl::kReference;
        std::vector<Mask> banded = Render(p, o);
        o.band_rows = 100000;
        std::vector<Mask> whole = Render(p, o);
        o.band_rows = 7;
        std::vector<Mask> thin = Render(p, o);
        o.impl = FillImpl::kFast;
        std::vector<Mask> fast = Render(p, o);
        ASSERT_EQ(banded.size(), 1u);
        ASSERT_GT(banded[0].height, 200u);
        EXPECT_EQ(banded[0].bytes, whole[0].bytes);
        EXPECT_EQ(banded[0].bytes, thin[0].bytes);
        EXPECT_EQ(banded[0].bytes, fast[0].bytes);
    }
    KyPathDeletePtr(p, 0);
}

// The dash seam: a hook that hands back a replacement chain.
KyPath *g_replacement = nullptr;
int g_hook_calls = 0;
KyPath *TestHook(KyPath *, const OutlineInfo *) {
    ++g_hook_calls;
    KyPath *r = g_replacement;
    g_replacement = nullptr;
    return r;
}

TEST_F(PathToBufTest, DashedStrokesGoThroughTheHook) {
    KyPath *p = Rect(10, 10, 30, 20);
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 2, 0, 0, &info), 1);
    KyPathSetOutlineInfo(p, info);
    raster::SetDashStrokeHook(&TestHook);

    g_replacement = Rect(12, 12, 14, 14);
    std::vector<Mask> m = Render(p, Options(0, 0, 1));
    EXPECT_EQ(g_hook_calls, 1);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rect.left, 5) << "the rectangle is still the source's";
    EXPECT_EQ(m[0].rect.right, 36);
    EXPECT_EQ(m[0].AtImage(13, 13), 255);
    EXPECT_EQ(m[0].AtImage(20, 15), 0) << "the chain is rendered instead of the record";

    // A chain far wider than its source is not rasterised.
    g_replacement = Rect(0, 10, 400, 20);
    m = Render(p, Options(0, 0, 1));
    ASSERT_EQ(m.size(), 1u);
    for (uint8_t v : m[0].bytes) ASSERT_EQ(v, 0);

    // Outline modes and records inside a list are not dashed; null from the
    // hook renders the record itself.
    g_hook_calls = 0;
    m = Render(p, Options(0, 0, 1, 1));
    EXPECT_EQ(g_hook_calls, 0);
    m = Render(p, Options(0, 0, 1));
    EXPECT_EQ(g_hook_calls, 1);
    EXPECT_EQ(m[0].AtImage(20, 15), 255);
    // Failure after the hook still deletes the chain (the fixture checks).
    g_replacement = Rect(12, 12, 14, 14);
    {
        plat::ScopedAllocFailure fail(0);
        Y32Rect *rects;
        PathBuf *bufs;
        EXPECT_EQ(KyPathToBuf(p, 0, 0, 1, 0, fx::kOne, &rects, &bufs, 0), 0);
        EXPECT_EQ(rects, nullptr);
    }
    raster::SetDashStrokeHook(nullptr);
    KyPathDeletePtr(p, 0);
}

TEST_F(PathToBufTest, EveryAllocationFailureLeavesNothingBehind) {
    KyPath *recs[22];
    for (int i = 0; i < 22; ++i) recs[i] = Rect(10 + i, 10, 40 + i, 30 + i);
    for (int i = 1; i < 22; ++i) {
        recs[i]->prev = recs[i - 1];
        recs[i - 1]->next = recs[i];
    }
    for (KyPath *r : recs) r->flags |= KPF_SELECTED;
    for (int i = 1; i < 22; ++i) {
        recs[i]->selPrev = recs[i - 1];
        recs[i - 1]->selNext = recs[i];
    }
    int64_t before = plat::AllocationRequests();
    Y32Rect *rects;
    PathBuf *bufs;
    ASSERT_EQ(KyPathToBuf(recs[0], 0, 0, 1, 0, fx::kOne, &rects, &bufs, 0), 22);
    int64_t requests = plat::AllocationRequests() - before;
    for (int i = 0; i < 22; ++i) KyPathBufFree(bufs[i]);
    GlobalFree(rects);
    GlobalFree(bufs);
    int full = 0, failed = 0;
    for (FillImpl impl : kImpls) {
        for (int64_t i = 0; i < requests + 2; ++i) {
            raster::ToBufOptions o = Options(0, 0, 1);
            o.impl = impl;
            plat::ScopedAllocFailure fail(i);
            int32_t n = raster::PathToBuf(recs[0], o, &rects, &bufs);
            if (n == 0) {
                EXPECT_EQ(rects, nullptr);
                EXPECT_EQ(bufs, nullptr);
                ++failed;
                continue;
            }
            // A call either fails whole or hands out every group's buffer.
            EXPECT_EQ(n, 22);
            ++full;
            for (int k = 0; k < n; ++k) KyPathBufFree(bufs[k]);
            GlobalFree(rects);
            GlobalFree(bufs);
        }
    }
    EXPECT_GT(failed, 22);
    EXPECT_GT(full, 0);
    KyPathDeletePtr(recs[0], 0);
}

}  // namespace
