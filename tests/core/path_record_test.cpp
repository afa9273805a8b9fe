#include <gtest/gtest.h>

#include <vector>

#include "core/point_walk.h"
#include "support/path_fixture.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

class RecordTest : public PathTest {};

FIXED xy_of(int i) { return DbToFix(i * 0.5); }

TEST_F(RecordTest, RoomGrowsInStepsOfAHundred) {
    KyPath *p = KyPathCreate();
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i) {
        FIXED xy[2] = {xy_of(i), xy_of(-i)};
        ASSERT_EQ(KyPathAddPoint(&p, xy, i ? PT_LINETO : PT_MOVETO), 1);
    }
    EXPECT_EQ(BlockSize(p), path::kNewRecordBytes) << "100 points fit the new block";
    FIXED xy[2] = {1, 2};
    ASSERT_EQ(KyPathAddPoint(&p, xy, PT_LINETO), 1);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(200));
    EXPECT_EQ(p->count, 101);
    // The points survived the move, misaligned fields and all.
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(+path::Points(p)[i].x, xy_of(i));
        ASSERT_EQ(+path::Points(p)[i].y, xy_of(-i));
    }
    EXPECT_EQ(+path::Points(p)[100].y, 2);
    EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);

    // Trim at 150 points, then keep adding: the trimmed block must grow from
    // its real size, not from the room the count suggests.
    for (int i = 101; i < 150; ++i) ASSERT_EQ(KyPathAddPoint(&p, xy, PT_LINETO), 1);
    ASSERT_EQ(KyPathPurge(&p), 1);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(150));
    ASSERT_EQ(KyPathAddPoint(&p, xy, PT_LINETO), 1);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(200)) << "back on the step rule";
    EXPECT_EQ(p->count, 151);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
}

TEST_F(RecordTest, ReserveGrowsInOneStep) {
    KyPath *p = KyPathCreate();
    PathPoint *slot = nullptr;
    ASSERT_EQ(PathReserve(&p, &slot, 250), 1);
    EXPECT_EQ(p->count, 250);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(300));
    EXPECT_EQ(slot, path::Points(p));
    ASSERT_EQ(PathReserve(&p, &slot, 50), 1);
    EXPECT_EQ(slot, path::Points(p) + 250);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(300)) << "300 points still fit";
    ASSERT_EQ(PathReserve(&p, &slot, 0), 1);
    EXPECT_EQ(slot, path::Points(p) + 300);
    EXPECT_EQ(PathReserve(&p, &slot, -1), 0);

    KyPath *trimmed = MakePath({{PT_MOVETO, 0, 0}});
    ASSERT_EQ(KyPathPurge(&trimmed), 1);
    ASSERT_EQ(PathReserve(&trimmed, &slot, 1), 1);
    slot->type = PT_LINETO;  // within the block: ASan would object otherwise
    slot->x = slot->y = 7;
    EXPECT_EQ(BlockSize(trimmed), path::kNewRecordBytes);

    KyPath *empty = nullptr;
    EXPECT_EQ(PathReserve(&empty, &slot, 1), 0);
    KyPathDeletePtr(p, 0);
    KyPathDeletePtr(trimmed, 0);
}

TEST_F(RecordTest, FailedGrowthLeavesRecordAndHolderAlone) {
    KyPath *p = KyPathCreate();
    PathPoint *slot = nullptr;
    ASSERT_EQ(PathReserve(&p, &slot, 100), 1);
    KyPath *held = p;
    {
        plat::ScopedAllocFailure fail(0);
        FIXED xy[2] = {5, 5};
        EXPECT_EQ(KyPathAddPoint(&p, xy, PT_LINETO), 0);
    }
    EXPECT_EQ(p, held);
    EXPECT_EQ(p->count, 100);
    EXPECT_EQ(BlockSize(p), path::kNewRecordBytes);
    KyPath *nothing = nullptr;
    FIXED xy[2] = {0, 0};
    EXPECT_EQ(KyPathAddPoint(&nothing, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathAddPoint(nullptr, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathPurge(&nothing), 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(RecordTest, DeleteFollowsTheChosenListAndRefusesWhatIsNoRecord) {
    KyPath on_stack{};
    EXPECT_EQ(KyPathDeletePtr(&on_stack, 0), 0);
    KyPath *a = KyPathCreate(), *b = KyPathCreate(), *c = KyPathCreate();
    LinkList({a, b, c});
    a->selNext = c;  // selection list a, c
    c->selPrev = a;
    size_t before = LiveBlocks();
    ASSERT_EQ(KyPathDeletePtr(a, 1), 1);
    EXPECT_EQ(LiveBlocks(), before - 2) << "a and c went along selNext, b stays";
    b->prev = b->next = nullptr;
    // A damaged cyclic list frees each record once.
    KyPath *x = KyPathCreate(), *y = KyPathCreate();
    LinkList({b, x, y});
    y->next = b;
    EXPECT_EQ(KyPathDeletePtr(b, 0), 1);
}

TEST_F(RecordTest, CountsAndQueriesAnswerFromAnyRecord) {
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}});
    KyPath *b = KyPathCreate(), *c = KyPathCreate();
    LinkList({a, b, c});
    for (KyPath *r : {a, b, c}) EXPECT_EQ(KyPathGetSubpathsNumber(r), 3);
    EXPECT_EQ(KyPathGetPointsNumber(a), 2);
    EXPECT_EQ(KyPathIsAllPathsSelected(b), 0);
    a->flags |= KPF_SELECTED;
    b->flags |= KPF_SELECTED | KPF_HASSELPOINT;
    c->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
    EXPECT_EQ((std::vector<int32_t>{KyPathIsAllPathsSelected(c), KyPathIsSelected(a), KyPathHasSelectedPoint(b),
                                    KyPathHasSelectedPoint(c), KyPathHasSelectedSegment(c)}),
              (std::vector<int32_t>{1, 1, 1, 0, 1}));
    for (auto fn : {KyPathGetPointsNumber, KyPathGetSubpathsNumber, KyPathIsSelected, KyPathHasSelectedPoint,
                    KyPathHasSelectedSegment, KyPathIsAllPathsSelected})
        EXPECT_EQ(fn(nullptr), 0);
    EXPECT_EQ(PathFirst(c), a);
    EXPECT_EQ(PathLast(a), c);
    EXPECT_EQ(PathFirst(nullptr), nullptr);
    KyPathDeletePtr(a, 0);
}

TEST_F(RecordTest, ExtractGivesAnUnlinkedCopy) {
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 3, 4}, {PT_LINETO | PT_SELECTED, 5, 6}});
    LinkList({a, b});
    b->flags = KPF_SELECTED | KPF_HASSELPOINT;
    b->shape = 2;
    b->version = 1280;
    a->groupNext = b;
    b->groupPrev = a;

    KyPath *copy = KyPathExtractSingleSubPath(a, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ((std::vector<KyPath *>{copy->prev, copy->groupPrev}), (std::vector<KyPath *>{nullptr, nullptr}));
    EXPECT_EQ((std::vector<int64_t>{copy->flags, copy->count, copy->shape, copy->version}),
              (std::vector<int64_t>{0, 2, 2, 1280}));
    EXPECT_EQ(path::Points(copy)[1].type, PT_LINETO | PT_SELECTED) << "points are kept as they are";
    EXPECT_EQ(BlockSize(copy), BlockSize(b));
    EXPECT_EQ(KyPathExtractSingleSubPath(b, 0), nullptr);
    EXPECT_EQ(KyPathExtractSingleSubPath(b, 3), nullptr);
    KyPathDeletePtr(copy, 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(RecordTest, SegmentsAndPositionsSkipParameterEntries) {
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
