// Behaviour that exists only once the modules are linked into the shared
// library: hooks one module installs for another without any call from the
// host, and the host's pointer-sized values passed back through callbacks.
#include <gtest/gtest.h>

#include <vector>

#include "capi_support.h"
#include "y32Path.h"

namespace {

using capi_support::Polyline;

// Runs of covered pixels along image row y of the path's first mask.
std::vector<int> RowRunLengths(KyPath *p, int y) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    std::vector<int> runs;
    if (KyPathToBuf(p, 0, 0, 0, 0, 65536, &rects, &bufs, 0) != 1) return runs;
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(bufs[0], &w, &h, &depth);
    const uint8_t *px = static_cast<const uint8_t *>(bufs[0]) + static_cast<size_t>(y - rects[0].top) * w;
    int run = 0;
    for (uint32_t x = 0; x <= w; ++x) {
        if (x < w && px[x]) {
            ++run;
        } else if (run) {
            runs.push_back(run);
            run = 0;
        }
    }
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
    return runs;
}

// The dashed-stroke step is in place without any call from the host: a
// line whose outline names style 2 (dash 3w, gap 4w) comes back dashed,
// and the same line with a solid style fills nothing (an open line).
TEST(HostWiringCApi, DashedOutlineRendersAsDashesWithoutSetup) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    for (int32_t style : {0, 2}) {
        KyPath *p = Polyline({{10, 20}, {310, 20}});
        OutlineInfo *info = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, style, nullptr, 0, 1, 0, 0, &info), 1);
        ASSERT_EQ(KyPathSetOutlineInfo(p, info), 1);
        std::vector<int> runs = RowRunLengths(p, 20);
        if (style == 0) {
            EXPECT_TRUE(runs.empty());
        } else {
            // w = 2: start at 8, pitch 14 stretched over 292: 20 dashes of
            // about 6 pixels.
            ASSERT_EQ(runs.size(), 20u);
            for (int r : runs) EXPECT_NEAR(r, 6, 1);
        }
        EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
    }
}

std::vector<COLORREF> Pixels(HDC dc, int w, int h) {
    std::vector<COLORREF> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(GetPixel(dc, x, y));
    return px;
}

// The shape module reaches the node drawer only where the display module is
// linked in: a shape added over a selected one erases the old selection's
// node squares from the window.
TEST(HostWiringCApi, AddingAShapeErasesTheOldSelectionsNodes) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 64, 48, 0, 0, 1.0, 0, table, &view), 1);
    HDC dc = y32CreateMemoryDC(64, 48, 32);
    ASSERT_NE(dc, nullptr);
    const std::vector<COLORREF> blank = Pixels(dc, 64, 48);

    Y32Rect drag{8, 8, 40, 30};
    ASSERT_EQ(KyPathAddPrimitive(dc, KYSHAPE_ELLIPSE, nullptr, table, view, 0, 0, &drag), 1);
    KyPath *first = nullptr, *selected = nullptr;
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(selected, first);
    ASSERT_EQ(KyPathDrawNodes(dc, first, view), 1);
    ASSERT_NE(Pixels(dc, 64, 48), blank);

    Y32Rect drag2{20, 20, 60, 44};
    ASSERT_EQ(KyPathAddPrimitive(dc, KYSHAPE_ROUNDED_PERCENT(30), nullptr, table, view, 0, 0, &drag2), 1);
    EXPECT_EQ(Pixels(dc, 64, 48), blank) << "the first shape's node squares are erased";
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    EXPECT_EQ(selected, first->next);

    EXPECT_EQ(y32DeleteMemoryDC(dc), 1);
    EXPECT_EQ(KyPathDeleteCoordStruct(view), 1);
    EXPECT_EQ(KyPathTblDelete(table), 1);
}

struct Host {
    std::vector<int32_t> codes;
    int32_t cancel_after = -1;  // progress calls to allow before cancelling
    static int32_t Progress(int32_t code, int32_t percent, int32_t reserved, intptr_t user) {
        Host *h = reinterpret_cast<Host *>(user);  // the full pointer comes back
        EXPECT_EQ(reserved, 0);
        EXPECT_GE(percent, 0);
        h->codes.push_back(code);
        if (code == RELIEF_PROGRESS && h->cancel_after >= 0 && h->cancel_after-- == 0) return 0;
        return 1;
    }
};

// Relief progress hands the host's pointer back whole; cancelling hands
// back no maps and reports the cancellation.
TEST(HostWiringCApi, ReliefProgressCarriesTheHostPointerAndCanCancel) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = Polyline({{10, 10}, {50, 10}, {50, 50}, {10, 50}, {10, 10}}, true);
    for (int32_t cancel_after : {-1, 3}) {
        Host host;
        host.cancel_after = cancel_after;
        ReliefProgress progress{5, &Host::Progress, reinterpret_cast<intptr_t>(&host), 0, 0};
        PathBuf dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
        double width = 10.0;
        c32ClearDLLErrInfo();
        int32_t ok = KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 0, nullptr, &progress, 65536);
        ASSERT_FALSE(host.codes.empty());
        EXPECT_EQ(host.codes.front(), RELIEF_BEGIN);
        if (cancel_after < 0) {
            ASSERT_EQ(ok, 1);
            EXPECT_EQ(progress.state, 1);
            EXPECT_EQ(host.codes.back(), RELIEF_END);
            int32_t depth = 0;
            KyPathBufGetWHU(vec, nullptr, nullptr, &depth);
            EXPECT_EQ(depth, 64);
            EXPECT_EQ(KyPathBufFree(dist), 1);
            EXPECT_EQ(KyPathBufFree(vec), 1);
        } else {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(dist, nullptr);
            EXPECT_EQ(vec, nullptr);
            Y32ErrInfo e{};
            ASSERT_GE(c32GetDLLErrInfo(&e), 1);
            EXPECT_EQ(e.code, 5200);
            EXPECT_EQ(e.severity, 0);
            EXPECT_EQ(e.module, 2600);
        }
    }
    KyPathDeletePtr(p, 0);
}

}  // namespace
