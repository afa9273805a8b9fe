#include "core/point_walk.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/path_fixture.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

class WalkTest : public PathTest {};

TEST_F(WalkTest, SegmentsAndPositionsSkipParameterEntries) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0},
                          {PT_LINETO | PT_SELECTED, 10, 0},
                          {PT_SPECIAL200, 99, 99},
                          {PT_BEZIERTO, 12, 2},
                          {PT_BEZIERTO, 12, 8},
                          {PT_BEZIERTO | PT_DRAGGED, 10, 10},
                          {PT_NOEXTENT, 50, 50},
                          {PT_LINETO, 77, 77},  // parameter of the 0x400 entry
                          {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
    std::vector<path::Segment> segs;
    path::ForEachSegment(p, [&](const path::Segment &s) { segs.push_back(s); });
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[0].kind, path::Segment::kLine);
    EXPECT_EQ(segs[1].kind, path::Segment::kBezier);
    EXPECT_EQ(segs[1].start, 1) << "the curve starts at the current point, past the 0x200 entry";
    EXPECT_EQ(segs[1].end, 5);
    EXPECT_EQ(segs[1].x[3], DbToFix(10));
    EXPECT_EQ(segs[2].start, 5) << "the 0x400 entry and its parameter draw nothing";
    EXPECT_EQ(segs[2].y[1], 0);

    int moved = 0;
    path::ForEachPosition(p, [&](PathPoint &pt) {
        pt.x += fx::kOne;
        ++moved;
    });
    EXPECT_EQ(moved, 6) << "three parameter entries are left alone";
    EXPECT_EQ(+path::Points(p)[2].x, DbToFix(99));
    EXPECT_EQ(+path::Points(p)[7].x, DbToFix(77));
    EXPECT_EQ(+path::Points(p)[8].x, DbToFix(1));

    // A curve cut short ends the walk instead of reading past the points.
    KyPath *cut = MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 1, 1}, {PT_BEZIERTO, 2, 2}});
    int n = 0;
    path::ForEachSegment(cut, [&](const path::Segment &) { ++n; });
    EXPECT_EQ(n, 0);
    KyPathDeletePtr(cut, 0);
    KyPathDeletePtr(p, 0);
}

}  // namespace
