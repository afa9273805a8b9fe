#include "edit/segment_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/bezier.h"
#include "core/path_record.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "y32path/edit.h"
#include "y32path/table.h"
#include "y32path/view.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

constexpr double kPx = 1.0 / 65536;  // one FIXED step

bez::Cubic CubicAt(const KyPath *p, int32_t start) {
    bez::Cubic c;
    for (int i = 0; i < 4; ++i) c.p[i] = bez::ToVec(path::Points(p)[start + i]);
    return c;
}

class SegmentOpsTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        ASSERT_EQ(KyPathNew(&table), 1);
    }
    void TearDown() override {
        KyPathTblDelete(table);  // frees the group's list too
        PathTest::TearDown();
    }
    PathGroup &Group() { return KyPathTblGroups(table)[table->current]; }
    // Puts the list into the current group with `selected` as its selected
    // path (alone in the selection list).
    void Install(KyPath *head, KyPath *selected) {
        selected->flags |= KPF_SELECTED;
        ASSERT_EQ(KyPathAssignActivePath(table, head), 1);
        ASSERT_EQ(KyPathAssignSelectedPath(table, selected), 1);
    }
    PathTable *table = nullptr;
};

TEST_F(SegmentOpsTest, SubdividingACurveKeepsItsShape) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0},
                          {PT_BEZIERTO | PT_SELECTED, 10, 40},
                          {PT_BEZIERTO, 70, 50},
                          {PT_BEZIERTO | PT_CLOSEFIGURE, 90, 0}});
    p->shape = 2;
    p->flags |= KPF_HASSELPOINT;
    Install(p, p);
    const bez::Cubic before = CubicAt(p, 0);
    const uint32_t t_word = 20000;
    const double t = t_word / 65535.0;

    KyPath *r = KyPathSubdivide(table, p, 0, t_word);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 7);
    EXPECT_EQ(r->shape, 0) << "a split shape is free-form";
    const PathPoint *pts = path::Points(r);
    for (int i = 1; i < 6; ++i) EXPECT_EQ(pts[i].type, PT_BEZIERTO) << i;
    EXPECT_EQ(pts[6].type, PT_BEZIERTO | PT_CLOSEFIGURE) << "the old end point keeps its type";
    EXPECT_EQ(r->flags & KPF_HASSELPOINT, 0u) << "the only node mark sat on a replaced control point";
    vec::Vec2 mid = bez::PointAt(before, t), got = bez::ToVec(pts[3]);
    EXPECT_NEAR(got.x, mid.x, kPx);
    EXPECT_NEAR(got.y, mid.y, kPx);
    // Both halves trace the old curve.
    bez::Cubic left = CubicAt(r, 0), right = CubicAt(r, 3);
    for (double u = 0; u <= 1.0; u += 0.125) {
        vec::Vec2 a = bez::PointAt(left, u), b = bez::PointAt(before, u * t);
        EXPECT_NEAR(a.x, b.x, 2 * kPx);
        EXPECT_NEAR(a.y, b.y, 2 * kPx);
        vec::Vec2 c = bez::PointAt(right, u), d = bez::PointAt(before, t + u * (1 - t));
        EXPECT_NEAR(c.x, d.x, 2 * kPx);
        EXPECT_NEAR(c.y, d.y, 2 * kPx);
    }
    EXPECT_EQ(Group().first, r);
    EXPECT_EQ(Group().firstSelected, r);
}

TEST_F(SegmentOpsTest, SubdividingALineInsertsThePointAtT) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 3, 0}, {PT_LINETO, 3, 100}, {PT_LINETO, 5, 100}});
    Install(p, p);
    KyPath *r = KyPathSubdivide(table, p, 1, 0xABCD0000u | 32767);  // high bits are not part of t
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 5);
    const PathPoint *pts = path::Points(r);
    EXPECT_EQ(pts[2].type, PT_LINETO);
    EXPECT_EQ(+pts[2].x, DbToFix(3));
    EXPECT_NEAR(fx::ToDouble(pts[2].y), 100.0 * 32767 / 65535, kPx);
    EXPECT_EQ(+pts[3].y, DbToFix(100)) << "the rest moved up by one";
    EXPECT_EQ(+pts[4].x, DbToFix(5));

    EXPECT_EQ(KyPathSubdivide(table, r, 0, 65535)->count, 6) << "t = 1 puts a point on the end";
    EXPECT_EQ(+path::Points(r)[1].x, DbToFix(3));
}

TEST_F(SegmentOpsTest, ARecordThatMovesTakesItsNeighboursAlong) {
    // The middle record is trimmed, so growing it reallocates; it sits in a
    // group chain and in the selection list, and so do its neighbours.
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}});
    KyPath *b = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 8, 0}});
    KyPath *c = MakePath({{PT_MOVETO, 2, 2}, {PT_LINETO, 3, 3}});
    ASSERT_EQ(KyPathPurge(&b), 1);
    ASSERT_EQ(KyPathPurge(&a), 1);
    LinkList({a, b, c});
    a->groupNext = b, b->groupPrev = a, b->groupNext = c, c->groupPrev = b;
    a->flags = b->flags = c->flags = KPF_SELECTED;
    a->selNext = b, b->selPrev = a, b->selNext = c, c->selPrev = b;
    ASSERT_EQ(KyPathAssignActivePath(table, a), 1);
    ASSERT_EQ(KyPathAssignSelectedPath(table, b), 1);
    ASSERT_EQ(Group().firstSelected, a) << "the head of the selection list";

    KyPath *r = KyPathSubdivide(table, b, 0, 32768);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(a->next, r);
    EXPECT_EQ(c->prev, r);
    EXPECT_EQ(a->groupNext, r);
    EXPECT_EQ(c->groupPrev, r);
    EXPECT_EQ(a->selNext, r);
    EXPECT_EQ(c->selPrev, r);
    EXPECT_EQ(Group().first, a);
    EXPECT_EQ(Group().firstSelected, a);
    EXPECT_EQ(KyPathGetSubpathsNumber(c), 3);

    // The head moving (it is trimmed too) makes the group follow it.
    KyPath *moved = KyPathSubdivide(table, a, 0, 100);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(Group().first, moved);
    EXPECT_EQ(Group().firstSelected, moved);
    EXPECT_EQ(moved->next->prev, moved);
    EXPECT_EQ(moved->groupNext->groupPrev, moved);
}

TEST_F(SegmentOpsTest, UnsuitableSegmentsAndFailuresChangeNothing) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {PT_BEZIERTO, 12, 4}, {PT_BEZIERTO, 14, 4}});
    Install(p, p);
    EXPECT_EQ(KyPathSubdivide(table, p, 1, 100), nullptr) << "a curve cut short by the record's end";
    EXPECT_EQ(KyPathSubdivide(table, p, 3, 100), nullptr) << "the last point starts no segment";
    EXPECT_EQ(KyPathSubdivide(table, p, -1, 100), nullptr);
    EXPECT_EQ(KyPathSubdivide(table, p, INT32_MAX, 100), nullptr);
    path::Points(p)[1].type = PT_MOVETO;
    EXPECT_EQ(KyPathSubdivide(table, p, 0, 100), nullptr) << "no line or curve to split";
    path::Points(p)[1].type = PT_LINETO;
    EXPECT_EQ(KyPathSubdivide(nullptr, p, 0, 100), nullptr);
    EXPECT_EQ(KyPathSubdivide(table, nullptr, 0, 100), nullptr);
    EXPECT_EQ(p->count, 4);

    // No memory for the growth: 1001 from the subdivision unit, the record
    // as it was.
    ASSERT_EQ(KyPathPurge(&p), 1);
    Install(p, p);
    c32ClearDLLErrInfo();
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathSubdivide(table, p, 0, 100), nullptr);
    }
    Y32ErrInfo err{};
    ASSERT_EQ(c32GetDLLErrInfo(&err), 1);
    EXPECT_EQ(err.code, 1001);
    EXPECT_EQ(err.unit, 40);
    EXPECT_EQ(err.module, 2600);
    EXPECT_EQ(p->count, 4);
    EXPECT_EQ(+path::Points(p)[1].x, DbToFix(10));

    // Only the two insertion modes exist.
    PathPoint fresh[5] = {};
    KyPath *holder = p;
    c32ClearDLLErrInfo();
    EXPECT_FALSE(seg::InsertSplitPoints(&holder, 0, 2, fresh));
    ASSERT_EQ(c32GetDLLErrInfo(&err), 1);
    EXPECT_EQ(err.code, 3200);
    EXPECT_EQ(err.unit, 40);
    EXPECT_EQ(holder, p);
    EXPECT_EQ(p->count, 4);
}

TEST_F(SegmentOpsTest, LengthOfLinesAndCurves) {
    // Control points in order on the chord: the polygon is the chord, so no
    // split happens and the result is exact.
    KyPath *p = MakePath({{PT_MOVETO, 0, 0},
                          {PT_LINETO, 3, 4},
                          {PT_BEZIERTO, 4.5, 6},
                          {PT_BEZIERTO, 7.5, 10},
                          {PT_BEZIERTO, 9, 12}});
    EXPECT_DOUBLE_EQ(KyPathGetLength(p), 15.0) << "a line of 5 and a chord-aligned curve of 10";
    // A quarter circle of radius 100: each piece the measure settles on
    // errs long by at most 0.1, and it takes only a few.
    KyPath *q = MakePath({{PT_MOVETO, 100, 0},
                          {PT_BEZIERTO, 100, 55.228475},
                          {PT_BEZIERTO, 55.228475, 100},
                          {PT_BEZIERTO, 0, 100}});
    const double arc = M_PI * 50 * 1.0001;  // the handles' own radial error is 0.027% at most
    EXPECT_GT(KyPathGetLength(q), M_PI * 50);
    EXPECT_LT(KyPathGetLength(q), arc + 0.5);
    // Special entries add nothing and leave the current point where it is.
    KyPath *s = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {0x0200, 500, 500}, {PT_LINETO, 10, 10}});
    EXPECT_DOUBLE_EQ(KyPathGetLength(s), 20.0);
    KyPath *one = MakePath({{PT_MOVETO, 5, 5}});
    EXPECT_EQ(KyPathGetLength(one), 0.0);
    EXPECT_EQ(KyPathGetLength(nullptr), 0.0);
    for (KyPath *x : {p, q, s, one}) KyPathDeletePtr(x, 0);
}

TEST_F(SegmentOpsTest, OffsetsMoveWholePixelsAlongTheList) {
    KyPath *a = MakePath({{PT_MOVETO, 0.25, 1.5}, {PT_BEZIERTO, 2, 3}, {PT_BEZIERTO, 4, 5}, {PT_BEZIERTO, 6, 7.75}});
    // A rotated rectangle: its parameter entries must not move.
    KyPath *b = MakePath({{PT_MOVETO, 10, 10}, {0x0100, 20, 30}, {PT_LINETO, 0.5, 0}});
    KyPath *before = MakePath({{PT_MOVETO, 0, 0}});
    LinkList({before, a, b});
    EXPECT_EQ(KyPathOffsetExact(a, 1, -2), 1);
    EXPECT_EQ(+path::Points(a)[0].x, DbToFix(0.25) + 65536);
    EXPECT_EQ(+path::Points(a)[0].y, DbToFix(1.5) - 2 * 65536);
    EXPECT_EQ(+path::Points(a)[3].y, DbToFix(5.75));
    EXPECT_EQ(+path::Points(b)[0].x, DbToFix(11));
    EXPECT_EQ(+path::Points(b)[1].x, DbToFix(20)) << "parameter entries stay";
    EXPECT_EQ(+path::Points(b)[2].x, DbToFix(0.5));
    EXPECT_EQ(+path::Points(before)[0].x, 0) << "records before the given one stay";

    // The integer part wraps at 16 bits; the fraction is kept.
    KyPath *edge = MakePath({{PT_MOVETO, 32767.5, -32767.75}});
    EXPECT_EQ(KyPathOffsetExact(edge, 1, -1), 1);
    EXPECT_EQ(+path::Points(edge)[0].x, static_cast<FIXED>(0x80008000u));
    EXPECT_EQ(+path::Points(edge)[0].y, static_cast<FIXED>(0x7FFF4000u)) << "-32767.75 - 1 wraps to 32767.25";
    EXPECT_EQ(KyPathOffsetExact(nullptr, 1, 1), 0);

    // KyPathOffset puts the margin box of the record's group at (x, y).
    KyPath *g = MakePath({{PT_MOVETO, 20.5, 30.75}, {PT_LINETO, 40, 35}});
    ASSERT_EQ(KyPathOffset(g, 100, -7), 1);
    Y32Rect box;
    ASSERT_EQ(KyPathGetMiniMaxRect(g, fx::kOne, &box), 1);
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.top, -7);
    EXPECT_EQ(+path::Points(g)[0].x, DbToFix(105.5)) << "floor 20 - margin 5 moves to 100";
    EXPECT_EQ(KyPathOffset(nullptr, 0, 0), 0);
    for (KyPath *x : {before, edge, g}) KyPathDeletePtr(x, 0);
}

}  // namespace
