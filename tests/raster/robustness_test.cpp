// Odd records and arguments: no crash, no leak, a failure value or a mask,
// and the two fillers still agree.
#include <gtest/gtest.h>

#include <random>

#include "raster_support.h"

namespace {

using raster_support::Mask;
using raster_support::Options;
using raster_support::Render;
using testing_support::PathTest;

class RasterRobustnessTest : public PathTest {};

TEST_F(RasterRobustnessTest, RandomRecordsAndArguments) {
    std::mt19937 rng(99);
    const uint16_t kinds[] = {PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_LINETO | PT_CLOSEFIGURE, PT_ROTATEDRECT,
                              PT_SPECIAL200, PT_NOEXTENT, 0, 0x7FF};
    int rendered = 0;
    for (int trial = 0; trial < 300; ++trial) {
        // One to three records in a group, each with a few random entries.
        KyPath *head = nullptr, *prev = nullptr;
        int records = 1 + static_cast<int>(rng() % 3);
        double span = trial % 5 == 0 ? 3000.0 : 60.0;
        for (int r = 0; r < records; ++r) {
            KyPath *p = KyPathCreate();
            int n = static_cast<int>(rng() % 12);
            for (int k = 0; k < n; ++k) {
                FIXED xy[2] = {DbToFix(std::uniform_real_distribution<double>(-span, span)(rng)),
                               DbToFix(std::uniform_real_distribution<double>(-span, span)(rng))};
                KyPathAddPoint(&p, xy, kinds[rng() % (sizeof kinds / sizeof kinds[0])]);
            }
            if (rng() % 4 == 0) p->flags |= 0x10000000u;
            if (prev) {
                prev->next = p;
                p->prev = prev;
                prev->groupNext = p;
                p->groupPrev = prev;
            } else {
                head = p;
            }
            prev = p;
        }
        const int32_t formats[] = {0, 4, 16};
        const double scales[] = {1.0, 0.0, 0.25, 2.0, 7.5};
        raster::ToBufOptions o = Options(formats[rng() % 3], static_cast<int32_t>(rng() % 2),
                                         static_cast<int32_t>(rng() % 3 == 0 ? 0 : (rng() % 2 ? 1 : 999)),
                                         static_cast<int32_t>(rng() % 4 == 0 ? rng() % 4 : 0),
                                         span > 100 ? 0.25 : scales[rng() % 5],
                                         static_cast<int32_t>(rng() % 9) - 4);
        std::vector<Mask> fast = Render(head, o);
        o.impl = raster::FillImpl::kReference;
        std::vector<Mask> ref = Render(head, o);
        ASSERT_EQ(fast.size(), ref.size());
        if (!fast.empty()) {
            ++rendered;
            EXPECT_EQ(fast[0].bytes, ref[0].bytes) << "trial " << trial;
        }
        KyPathDeletePtr(head, 0);
    }
    EXPECT_GT(rendered, 250);
}

TEST_F(RasterRobustnessTest, SizesNoBufferCanHoldAndMirroredScales) {
    KyPath *p = raster_support::Rect(-30000, -30000, 30000, 30000);
    c32ClearDLLErrInfo();
    // Huge scale: a box of about 2^31 pixels on a side cannot be allocated.
    std::vector<Mask> m = Render(p, Options(0, 0, 1, 0, 30000.0));
    EXPECT_TRUE(m.empty());
    Y32ErrInfo e{};
    ASSERT_GT(c32GetDLLErrInfo(&e), 0);
    EXPECT_EQ(e.code, 1001);
    EXPECT_EQ(e.unit, 15);
    c32ClearDLLErrInfo();
    m = Render(p, Options(0, 0, 1, 0, -1.0));
    EXPECT_TRUE(m.empty());
    ASSERT_GT(c32GetDLLErrInfo(&e), 0);
    EXPECT_EQ(e.code, 3200);
    KyPathDeletePtr(p, 0);
}

// Every allocation of a render fails in turn (the filler's chord, run and
// band scratch included): the call either gives exactly the undisturbed
// masks or fails outright, with 1001 from the pixel buffers, both outputs
// null and nothing left allocated. A partly filled mask is never a success.
TEST_F(RasterRobustnessTest, ScratchFailuresFailTheCallInEveryFormat) {
    // A large circle: thousands of chords, runs going up and down, so the
    // chord and run arrays grow several times during flattening.
    const double k = 0.5522847498, c = 600, r = 590;
    KyPath *p = testing_support::MakePath({{PT_MOVETO, c + r, c},
                                           {PT_BEZIERTO, c + r, c + k * r},
                                           {PT_BEZIERTO, c + k * r, c + r},
                                           {PT_BEZIERTO, c, c + r},
                                           {PT_BEZIERTO, c - k * r, c + r},
                                           {PT_BEZIERTO, c - r, c + k * r},
                                           {PT_BEZIERTO, c - r, c},
                                           {PT_BEZIERTO, c - r, c - k * r},
                                           {PT_BEZIERTO, c - k * r, c - r},
                                           {PT_BEZIERTO, c, c - r},
                                           {PT_BEZIERTO, c + k * r, c - r},
                                           {PT_BEZIERTO, c + r, c - k * r},
                                           {PT_BEZIERTO | PT_CLOSEFIGURE, c + r, c}});
    struct Case {
        const char *name;
        raster::ToBufOptions opt;
    };
    std::vector<Case> cases = {{"8-bit", Options(0, 0, 1)},
                               {"hard even-odd", Options(0, 1, 0)},
                               {"sub-pixel", Options(4, 0, 1)},
                               {"scaled and filtered back", Options(16, 0, 1, 0, 1.5)},
                               {"reference filler", Options(0, 0, 1)}};
    cases.back().opt.impl = raster::FillImpl::kReference;
    for (const Case &tc : cases) {
        const int64_t before = plat::AllocationRequests();
        const std::vector<Mask> full = Render(p, tc.opt);
        const int64_t requests = plat::AllocationRequests() - before;
        ASSERT_EQ(full.size(), 1u) << tc.name;
        // The two arrays and the buffer are three of them; the rest is the
        // filler's (and, filtered back, the small buffer).
        ASSERT_GT(requests, 6) << tc.name;
        // The reference filler makes a crossing list per sub-scanline:
        // every early allocation, then a sample of the thousands after.
        int64_t failed = 0;
        for (int64_t i = 0; i < requests; i += i < 32 ? 1 : 1 + requests / 64) {
            c32ClearDLLErrInfo();
            Y32Rect *rects = nullptr;
            PathBuf *bufs = nullptr;
            int32_t n;
            {
                plat::ScopedAllocFailure fail(i);
                n = raster::PathToBuf(p, tc.opt, &rects, &bufs);
            }
            if (n == 0) {
                ++failed;
                EXPECT_EQ(rects, nullptr) << tc.name << " at " << i;
                EXPECT_EQ(bufs, nullptr) << tc.name << " at " << i;
                Y32ErrInfo e{};
                EXPECT_GE(c32GetDLLErrInfo(&e), 1) << tc.name << " at " << i;
                EXPECT_EQ(e.code, 1001) << tc.name << " at " << i;
                EXPECT_EQ(e.unit, 15) << tc.name << " at " << i;
                continue;
            }
            ASSERT_EQ(n, 1) << tc.name << " at " << i;
            EXPECT_EQ(raster_support::Copy(bufs[0], rects[0]).bytes, full[0].bytes) << tc.name << " at " << i;
            KyPathBufFree(bufs[0]);
            GlobalFree(rects);
            GlobalFree(bufs);
        }
        // Beyond the two arrays and the buffer, the filler's own failures
        // were met (and failed the call, or the masks above would differ).
        EXPECT_GT(failed, 3) << tc.name;
    }
    KyPathDeletePtr(p, 0);
}

// A dash hook that gives no chain: after a memory report the stroke cannot
// be drawn as asked, so the call fails rather than drawing it solid; after
// any other report (or none) the record is drawn as it is.
int32_t g_hook_report = 0;
KyPath *ReportingHook(KyPath *, const OutlineInfo *) {
    if (g_hook_report) c32SetDLLErrInfo(0, g_hook_report, 1, 2600, 41, 1);
    return nullptr;
}

TEST_F(RasterRobustnessTest, DashHookWithoutChain) {
    KyPath *p = raster_support::Rect(10, 10, 30, 20);
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 2, 0, 0, &info), 1);
    KyPathSetOutlineInfo(p, info);
    const raster::DashStrokeHook installed = raster::GetDashStrokeHook();
    raster::SetDashStrokeHook(&ReportingHook);
    for (int32_t code : {0, 3200, 1001}) {
        g_hook_report = code;
        // An older report of the host's must not count as the hook's.
        c32SetDLLErrInfo(0, 1001, 1, 2600, 15, 1);
        Y32Rect *rects = reinterpret_cast<Y32Rect *>(1);
        PathBuf *bufs = reinterpret_cast<PathBuf *>(1);
        const int32_t n = raster::PathToBuf(p, Options(0, 0, 1), &rects, &bufs);
        if (code == 1001) {
            EXPECT_EQ(n, 0);
            EXPECT_EQ(rects, nullptr);
            EXPECT_EQ(bufs, nullptr);
            continue;
        }
        ASSERT_EQ(n, 1) << code;
        EXPECT_EQ(raster_support::Copy(bufs[0], rects[0]).AtImage(20, 15), 255) << code;
        KyPathBufFree(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    raster::SetDashStrokeHook(installed);
    g_hook_report = 0;
    KyPathDeletePtr(p, 0);
}

}  // namespace
