#include "edit/segment_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/bezier.h"
#include "core/path_record.h"
#include "edit_support.h"
#include "platform/alloc_fail.h"
#include "y32path/edit.h"
#include "y32path/table.h"
#include "y32path/view.h"

namespace {

using edit_test::ExpectReport;
using edit_test::PointsOf;
using edit_test::Pts;
using edit_test::X;
using testing_support::LinkList;
using testing_support::MakePath;
using SegmentLengthTest = testing_support::PathTest;

constexpr double kPx = 1.0 / 65536;  // one FIXED step
constexpr uint16_t M = PT_MOVETO, L = PT_LINETO, B = PT_BEZIERTO;

bez::Cubic CubicAt(const KyPath *p, int32_t start) {
    bez::Cubic c;
    for (int i = 0; i < 4; ++i) c.p[i] = bez::ToVec(path::Points(p)[start + i]);
    return c;
}

class SegmentOpsTest : public edit_test::TableFixture {
  protected:
    // Puts the list into the current group with `selected` as its selected
    // path (alone in the selection list).
    void Install(KyPath *head, KyPath *selected) {
        selected->flags |= KPF_SELECTED;
        Adopt(head);
        ASSERT_EQ(KyPathAssignSelectedPath(t, selected), 1);
    }
};

TEST_F(SegmentOpsTest, SubdividingACurveKeepsItsShape) {
    KyPath *p = MakePath({{M, 0, 0}, {B | PT_SELECTED, 10, 40}, {B, 70, 50}, {B | PT_CLOSEFIGURE, 90, 0}});
    p->shape = 2;
    p->flags |= KPF_HASSELPOINT;
    Install(p, p);
    const bez::Cubic before = CubicAt(p, 0);
    const uint32_t t_word = 20000;
    const double at = t_word / 65535.0;

    KyPath *r = KyPathSubdivide(t, p, 0, t_word);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 7);
    EXPECT_EQ(r->shape, 0) << "a split shape is free-form";
    const PathPoint *pts = path::Points(r);
    for (int i = 1; i < 6; ++i) EXPECT_EQ(pts[i].type, B) << i;
    EXPECT_EQ(pts[6].type, B | PT_CLOSEFIGURE) << "the old end point keeps its type";
    EXPECT_EQ(r->flags & KPF_HASSELPOINT, 0u) << "the only node mark sat on a replaced control point";
    vec::Vec2 mid = bez::PointAt(before, at), got = bez::ToVec(pts[3]);
    EXPECT_NEAR(got.x, mid.x, kPx);
    EXPECT_NEAR(got.y, mid.y, kPx);
    // Both halves trace the old curve.
    bez::Cubic left = CubicAt(r, 0), right = CubicAt(r, 3);
    for (double u = 0; u <= 1.0; u += 0.125) {
        vec::Vec2 a = bez::PointAt(left, u), b = bez::PointAt(before, u * at);
        EXPECT_NEAR(a.x, b.x, 2 * kPx);
        EXPECT_NEAR(a.y, b.y, 2 * kPx);
        vec::Vec2 c = bez::PointAt(right, u), d = bez::PointAt(before, at + u * (1 - at));
        EXPECT_NEAR(c.x, d.x, 2 * kPx);
        EXPECT_NEAR(c.y, d.y, 2 * kPx);
    }
    EXPECT_EQ(Group().first, r);
    EXPECT_EQ(Group().firstSelected, r);
}

TEST_F(SegmentOpsTest, SubdividingALineInsertsThePointAtT) {
    KyPath *p = MakePath({{M, 0, 0}, {L, 3, 0}, {L, 3, 100}, {L, 5, 100}});
    Install(p, p);
    KyPath *r = KyPathSubdivide(t, p, 1, 0xABCD0000u | 32767);  // high bits are not part of t
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->count, 5);
    const PathPoint *pts = path::Points(r);
    EXPECT_EQ(pts[2].type, L);
    EXPECT_EQ(+pts[2].x, DbToFix(3));
    EXPECT_NEAR(fx::ToDouble(pts[2].y), 100.0 * 32767 / 65535, kPx);
    EXPECT_EQ(+pts[3].y, DbToFix(100)) << "the rest moved up by one";
    EXPECT_EQ(+pts[4].x, DbToFix(5));
    // t = 65535 is exactly the end (a past fault: on x87 the product with
    // 1/65535 fell a fraction of a unit short).
    KyPath *e = KyPathSubdivide(t, r, 0, 65535);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->count, 6);
    EXPECT_EQ(+path::Points(e)[1].x, DbToFix(3));
}

TEST_F(SegmentOpsTest, ARecordThatMovesTakesItsNeighboursAlong) {
    // The middle record is trimmed, so growing it reallocates; it sits in a
    // group chain and in the selection list, and so do its neighbours.
    KyPath *a = MakePath({{M, 0, 0}, {L, 1, 1}});
    KyPath *b = MakePath({{M, 0, 0}, {L, 8, 0}});
    KyPath *c = MakePath({{M, 2, 2}, {L, 3, 3}});
    ASSERT_EQ(KyPathPurge(&b), 1);
    ASSERT_EQ(KyPathPurge(&a), 1);
    LinkList({a, b, c});
    edit_test::LinkGroup({a, b, c});
    edit_test::LinkSelection({a, b, c});
    Adopt(a);
    ASSERT_EQ(KyPathAssignSelectedPath(t, b), 1);
    ASSERT_EQ(Group().firstSelected, a) << "the head of the selection list";

    KyPath *r = KyPathSubdivide(t, b, 0, 32768);
    ASSERT_NE(r, nullptr);
    for (KyPath *KyPath::*link : {&KyPath::next, &KyPath::groupNext, &KyPath::selNext}) EXPECT_EQ(a->*link, r);
    for (KyPath *KyPath::*link : {&KyPath::prev, &KyPath::groupPrev, &KyPath::selPrev}) EXPECT_EQ(c->*link, r);
    EXPECT_EQ(Group().first, a);
    EXPECT_EQ(Group().firstSelected, a);
    EXPECT_EQ(KyPathGetSubpathsNumber(c), 3);

    // The head moving (it is trimmed too) makes the group follow it.
    KyPath *moved = KyPathSubdivide(t, a, 0, 100);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(Group().first, moved);
    EXPECT_EQ(Group().firstSelected, moved);
    EXPECT_TRUE(edit_test::ListInvariants(moved, t));
}

TEST_F(SegmentOpsTest, UnsuitableSegmentsAndFailuresChangeNothing) {
    KyPath *p = MakePath({{M, 0, 0}, {L, 10, 0}, {B, 12, 4}, {B, 14, 4}});
    Install(p, p);
    // A curve cut short by the record's end; the last point, which starts
    // no segment; indices outside the record.
    for (int32_t segment : {1, 3, -1, INT32_MAX}) EXPECT_EQ(KyPathSubdivide(t, p, segment, 100), nullptr) << segment;
    path::Points(p)[1].type = M;
    EXPECT_EQ(KyPathSubdivide(t, p, 0, 100), nullptr) << "no line or curve to split";
    path::Points(p)[1].type = L;
    EXPECT_EQ(KyPathSubdivide(nullptr, p, 0, 100), nullptr);
    EXPECT_EQ(KyPathSubdivide(t, nullptr, 0, 100), nullptr);
    EXPECT_EQ(p->count, 4);

    // No memory for the growth: 1001 from the subdivision unit, the record
    // as it was.
    ASSERT_EQ(KyPathPurge(&p), 1);
    Install(p, p);
    c32ClearDLLErrInfo();
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathSubdivide(t, p, 0, 100), nullptr);
    }
    ExpectReport(1001, 40);
    EXPECT_EQ(p->count, 4);
    EXPECT_EQ(X(p, 1), 10.0);

    // Only the two insertion modes exist.
    PathPoint fresh[5] = {};
    KyPath *holder = p;
    c32ClearDLLErrInfo();
    EXPECT_FALSE(seg::InsertSplitPoints(&holder, 0, 2, fresh));
    ExpectReport(3200, 40);
    EXPECT_EQ(holder, p);
    EXPECT_EQ(p->count, 4);
}

TEST_F(SegmentLengthTest, LengthOfLinesAndCurves) {
    // Control points in order on the chord: the polygon is the chord, so no
    // split happens and the result is exact.
    KyPath *p = MakePath({{M, 0, 0}, {L, 3, 4}, {B, 4.5, 6}, {B, 7.5, 10}, {B, 9, 12}});
    EXPECT_DOUBLE_EQ(KyPathGetLength(p), 15.0) << "a line of 5 and a chord-aligned curve of 10";
    // A quarter circle of radius 100 (which a chord would cut short): each
    // piece the measure settles on errs long by at most 0.1, and it takes
    // only a few.
    KyPath *q = MakePath({{M, 100, 0}, {B, 100, 55.228475}, {B, 55.228475, 100}, {B, 0, 100}});
    const double arc = M_PI * 50 * 1.0001;  // the handles' own radial error is 0.027% at most
    EXPECT_GT(KyPathGetLength(q), M_PI * 50);
    EXPECT_LT(KyPathGetLength(q), arc + 0.5);
    // Special entries add nothing and leave the current point where it is.
    KyPath *s = MakePath({{M, 0, 0}, {L, 10, 0}, {PT_SPECIAL200, 500, 500}, {L, 10, 10}});
    EXPECT_DOUBLE_EQ(KyPathGetLength(s), 20.0);
    KyPath *one = MakePath({{M, 5, 5}});
    EXPECT_EQ(KyPathGetLength(one), 0.0);
    EXPECT_EQ(KyPathGetLength(nullptr), 0.0);
    for (KyPath *x : {p, q, s, one}) KyPathDeletePtr(x, 0);
}

TEST_F(SegmentLengthTest, OffsetsMoveWholePixelsAlongTheList) {
    KyPath *a = MakePath({{M, 0.25, 1.5}, {B, 2, 3}, {B, 4, 5}, {B, 6, 7.75}});
    // A rotated rectangle: its parameter entries must not move.
    KyPath *b = MakePath({{M, 10, 10}, {PT_ROTATEDRECT, 20, 30}, {L, 0.5, 0}});
    KyPath *before = MakePath({{M, 0, 0}});
    LinkList({before, a, b});
    EXPECT_EQ(KyPathOffsetExact(a, 1, -2), 1);
    EXPECT_EQ(PointsOf(a), Pts({{M, 1.25, -0.5}, {B, 3, 1}, {B, 5, 3}, {B, 7, 5.75}}));
    EXPECT_EQ(PointsOf(b), Pts({{M, 11, 8}, {PT_ROTATEDRECT, 20, 30}, {L, 0.5, 0}})) << "parameter entries stay";
    EXPECT_EQ(+path::Points(before)[0].x, 0) << "records before the given one stay";

    // The integer part wraps at 16 bits; the fraction is kept.
    KyPath *edge = MakePath({{M, 32767.5, -32767.75}});
    EXPECT_EQ(KyPathOffsetExact(edge, 1, -1), 1);
    EXPECT_EQ(+path::Points(edge)[0].x, static_cast<FIXED>(0x80008000u));
    EXPECT_EQ(+path::Points(edge)[0].y, static_cast<FIXED>(0x7FFF4000u)) << "-32767.75 - 1 wraps to 32767.25";
    EXPECT_EQ(KyPathOffsetExact(nullptr, 1, 1), 0);

    // KyPathOffset puts the margin box of the record's group at (x, y).
    KyPath *g = MakePath({{M, 20.5, 30.75}, {L, 40, 35}});
    ASSERT_EQ(KyPathOffset(g, 100, -7), 1);
    Y32Rect box;
    ASSERT_EQ(KyPathGetMiniMaxRect(g, fx::kOne, &box), 1);
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.top, -7);
    EXPECT_EQ(X(g, 0), 105.5) << "floor 20 - margin 5 moves to 100";
    EXPECT_EQ(KyPathOffset(nullptr, 0, 0), 0);
    for (KyPath *x : {before, edge, g}) KyPathDeletePtr(x, 0);
}

}  // namespace
