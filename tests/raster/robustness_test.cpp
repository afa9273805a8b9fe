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

TEST_F(RasterRobustnessTest, ScratchFailuresWhileCurvesAreFlattened) {
    // A large circle: thousands of chords, runs going up and down, so the
    // chord and run arrays grow several times during flattening. Each
    // allocation in turn fails; the result is a failure or a mask, never a
    // stray write (the sanitizer build checks that).
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
    int64_t before = plat::AllocationRequests();
    std::vector<Mask> full = Render(p, Options(0, 0, 1));
    int64_t requests = plat::AllocationRequests() - before;
    ASSERT_EQ(full.size(), 1u);
    ASSERT_GT(requests, 6);
    int partial = 0;
    for (int64_t i = 0; i < requests; ++i) {
        std::vector<Mask> m;
        {
            plat::ScopedAllocFailure fail(i);
            m = Render(p, Options(0, 0, 1));
        }
        if (!m.empty() && m[0].bytes != full[0].bytes) ++partial;
    }
    EXPECT_GT(partial, 0) << "scratch failures leave the mask unfilled, not the call failed";
    KyPathDeletePtr(p, 0);
}

}  // namespace
