// Whole-buffer crossing lists: positions, order, marks and buried parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/alloc_fail.h"
#include "raster/crossing_lists.h"
#include "relief/outline_edges.h"
#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class CrossingListsTest : public PathTest {
  protected:
    struct Built {
        relief::Outline outline;
        raster::CrossingLists rows, cols;
        ~Built() {
            raster::FreeCrossingLists(&rows);
            raster::FreeCrossingLists(&cols);
        }
    };
    // Lists of the chain in a 100 x 100 frame at the origin.
    static void Build(KyPath *p, bool even_odd, Built *b) {
        raster::Mapping frame{1.0, 0.0, 0.0};
        ASSERT_TRUE(relief::BuildOutline(p, frame, &b->outline));
        ASSERT_TRUE(raster::BuildCrossingLists(b->outline.edges.Data(), b->outline.edges.Size(), 100, false, &b->rows));
        ASSERT_TRUE(raster::BuildCrossingLists(b->outline.edges.Data(), b->outline.edges.Size(), 100, true, &b->cols));
        raster::MarkSpans(&b->rows, even_odd);
        raster::MarkSpans(&b->cols, even_odd);
        ASSERT_TRUE(relief::FindVisibleStretches(b->rows, b->cols, &b->outline));
    }
};

TEST_F(CrossingListsTest, TriangleCrossingsSitAtPixelCentreLines) {
    // (10, 10) -> (90, 50) -> (10, 90): on row k (y = k + 0.5) the left
    // edge crosses at 10, the others at 10 + 2 (y - 10) or 10 + 2 (90 - y).
    KyPath *p = Polygon({{10, 10}, {90, 50}, {10, 90}});
    Built b;
    Build(p, false, &b);
    for (uint32_t k = 0; k < 100; ++k) {
        double y = k + 0.5;
        if (y < 10 || y > 90) {
            EXPECT_EQ(b.rows.Count(k), 0u) << k;
            continue;
        }
        ASSERT_EQ(b.rows.Count(k), 2u) << k;
        const raster::TaggedCrossing *c = b.rows.Begin(k);
        double right = y < 50 ? 10 + 2 * (y - 10) : 10 + 2 * (90 - y);
        EXPECT_NEAR(c[0].x, 10.00001, 1e-9);  // whole-pixel vertices are moved off the border
        EXPECT_NEAR(c[1].x, right, 1e-4);
        EXPECT_EQ(c[0].enter, 1);
        EXPECT_EQ(c[1].enter, 0);
        EXPECT_EQ(c[0].segment, 2) << "the closing edge starts at point 2";
        EXPECT_EQ(c[1].segment, y < 50 ? 0 : 1);
        // The parameter along the segment: the first edge runs from y 10 to 50.
        if (y < 50) {
            EXPECT_NEAR(c[1].t, (y - 10) / 40, 1e-6);
        }
        EXPECT_EQ(c[0].hidden + c[1].hidden, 0);
    }
    // Column k (x = k + 0.5): the slanted edges, y = 10 + (x - 10) / 2 and
    // its mirror; the vertical left edge lies between columns 9 and 10.
    for (uint32_t k = 10; k < 90; ++k) {
        double x = k + 0.5;
        ASSERT_EQ(b.cols.Count(k), 2u) << k;
        EXPECT_NEAR(b.cols.Begin(k)[0].x, 10 + (x - 10) / 2, 1e-4);
        EXPECT_NEAR(b.cols.Begin(k)[1].x, 90 - (x - 10) / 2, 1e-4);
    }
    EXPECT_EQ(b.cols.Count(9), 0u);
    KyPathDeletePtr(p, 0);
}

TEST_F(CrossingListsTest, NonzeroRuleHidesWhatTheFillBuries) {
    // Two overlapping squares, same direction: the inner stretches of both
    // are hidden under nonzero, and every crossing is outline under
    // even-odd.
    KyPath *a = Rect(10.3, 10.3, 50.3, 50.3, 0);
    Group({a, Rect(30.3, 30.3, 70.3, 70.3, 0)});
    for (bool even_odd : {false, true}) {
        Built b;
        Build(a, even_odd, &b);
        const uint32_t row = 40;  // y 40.5: crossings at 10.3, 30.3, 50.3, 70.3
        ASSERT_EQ(b.rows.Count(row), 4u);
        const raster::TaggedCrossing *x = b.rows.Begin(row);
        EXPECT_EQ(x[0].enter, 1);
        EXPECT_EQ(x[3].enter, 0);
        EXPECT_EQ(x[0].hidden + x[3].hidden, 0);
        EXPECT_EQ(x[1].hidden, even_odd ? 0 : 1);
        EXPECT_EQ(x[2].hidden, even_odd ? 0 : 1);
        if (!even_odd) {
            // a's right side (from point 3, (50.3, 10.3) down to 50.3) runs
            // visible down to y 30.3 and buried below.
            const relief::OutlineSegment &s = b.outline.segments[3];
            ASSERT_EQ(s.visible_count, 1u);
            const relief::Stretch &v = b.outline.visible[s.visible_first];
            EXPECT_EQ(v.t0, 0.0);
            EXPECT_NEAR(10.3 + v.t1 * 40, 30.3, 0.5) << "goes under within half a pixel of y 30.3";
        } else {
            EXPECT_EQ(x[1].enter, 0);
            EXPECT_EQ(x[2].enter, 1);
            for (size_t i = 0; i < b.outline.segments.Size(); ++i) EXPECT_EQ(b.outline.segments[i].visible_count, 0u);
        }
    }
    KyPathDeletePtr(a, 0);
}

TEST_F(CrossingListsTest, OrderIsTotalAndListsSurviveEveryAllocationFailure) {
    // A star with many crossings per row (long lists take the other sort).
    KyPath *p = Polygon(StarPoints(50, 50, 48, 10, 40));
    raster::Mapping frame{1.0, 0.0, 0.0};
    relief::Outline o;
    ASSERT_TRUE(relief::BuildOutline(p, frame, &o));
    raster::CrossingLists rows;
    ASSERT_TRUE(raster::BuildCrossingLists(o.edges.Data(), o.edges.Size(), 100, false, &rows));
    size_t longest = 0;
    for (uint32_t k = 0; k < 100; ++k) {
        longest = std::max<size_t>(longest, rows.Count(k));
        for (const raster::TaggedCrossing *c = rows.Begin(k) + 1; c < rows.End(k); ++c)
            EXPECT_TRUE(c[-1].x < c->x || (c[-1].x == c->x && c[-1].dir <= c->dir));
    }
    EXPECT_GT(longest, 32u);
    raster::FreeCrossingLists(&rows);
    for (int64_t i = 0; i < 3; ++i) {
        plat::ScopedAllocFailure fail(i);
        raster::CrossingLists l;
        EXPECT_FALSE(raster::BuildCrossingLists(o.edges.Data(), o.edges.Size(), 100, false, &l));
        EXPECT_EQ(l.items, nullptr);
        EXPECT_EQ(l.start, nullptr);
    }
    KyPathDeletePtr(p, 0);
}

}  // namespace
