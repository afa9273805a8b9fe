// Moves, sizes, rotations and the free transform.
#include <gtest/gtest.h>

#include <cmath>

#include "core/fixed.h"
#include "edit/transform.h"
#include "edit_support.h"

namespace {

using edit_test::LinkGroup;
using edit_test::LinkSelection;
using edit_test::ListInvariants;
using edit_test::PointsOf;
using edit_test::X;
using edit_test::Y;
using testing_support::LinkList;
using testing_support::MakePath;

class TransformTest : public testing_support::PathTest {};

constexpr FIXED kOne = fx::kOne;

TEST_F(TransformTest, MoveFollowsSelectionOrGroupFromTheStartingRecord) {
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 0, 5}});
    KyPath *c = MakePath({{PT_MOVETO, 0, 9}});
    KyPath *d = MakePath({{PT_MOVETO, 0, 20}});
    LinkList({a, b, c, d});
    LinkGroup({a, b, c});

    // Unselected start: the whole group chain moves, d does not.
    ASSERT_EQ(KyPathMovePathsByPtfx(a, 2 * kOne, -kOne), 1);
    EXPECT_EQ(X(a, 1), 12.0);
    EXPECT_EQ(Y(a, 1), -1.0);
    EXPECT_EQ(X(b, 0), 2.0);
    EXPECT_EQ(X(c, 0), 2.0);
    EXPECT_EQ(X(d, 0), 0.0);

    // Selected start: the selection list decides, groups are not followed.
    LinkSelection({b, d});
    ASSERT_EQ(KyPathMovePathsByPtfx(b, kOne, 0), 1);
    EXPECT_EQ(X(a, 0), 2.0);
    EXPECT_EQ(X(b, 0), 3.0);
    EXPECT_EQ(X(c, 0), 2.0);
    EXPECT_EQ(X(d, 0), 1.0);

    // Groups followed from a selected record (the align rule).
    edit::MoveSubpathChain(a, 0, kOne, true);
    EXPECT_EQ(Y(c, 0), 9.0);  // 9 - 1 + 1
    EXPECT_EQ(Y(d, 0), 20.0);
    EXPECT_TRUE(ListInvariants(a));
    EXPECT_EQ(KyPathMovePathsByPtfx(nullptr, 1, 1), 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, ParameterEntriesKeepTheirValuesThroughMoveAndSize) {
    // A rotated rectangle: point 1 opens a two-entry parameter, point 2
    // holds the angle; a 0x0200 entry and a no-extent pair follow.
    KyPath *p = MakePath({{PT_MOVETO, 1, 2},
                          {PT_ROTATEDRECT, 30, 40},
                          {PT_LINETO, 0.5, 0},
                          {PT_SPECIAL200, 7, 7},
                          {PT_LINETO, 3, 4},
                          {PT_NOEXTENT, 8, 9},
                          {PT_LINETO, 6, 6}});
    auto before = PointsOf(p);
    ASSERT_EQ(KyPathMovePathsByPtfx(p, kOne, kOne), 1);
    ASSERT_EQ(KyPathSize(p, 2.0, 3.0), 1);
    auto after = PointsOf(p);
    // Moved and sized: 0, 4; stepped over: 1-2 (pair), 3 (single), 5-6 (pair).
    EXPECT_EQ(after[0].x, 4 * kOne);
    EXPECT_EQ(after[0].y, 9 * kOne);
    EXPECT_EQ(after[4].x, 8 * kOne);
    EXPECT_EQ(after[4].y, 15 * kOne);
    for (int i : {1, 2, 3, 5, 6}) EXPECT_EQ(after[i], before[i]) << "entry " << i;
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, MoveInWindowPixelsUsesTheZoomAndRefusesAViewWithoutOne) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}});
    CoordStruct view{};
    view.zoom = 2.0;
    ASSERT_EQ(KyPathMovePaths(p, &view, 15, -3), 1);
    EXPECT_EQ(X(p, 0), 7.5);
    EXPECT_EQ(Y(p, 0), -1.5);
    view.zoom = 0.0;
    EXPECT_EQ(KyPathMovePaths(p, &view, 15, 15), 0);
    EXPECT_EQ(KyPathMovePaths(p, nullptr, 15, 15), 0);
    EXPECT_EQ(X(p, 0), 7.5);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, SizeScalesTheWholeListAboutTheOrigin) {
    KyPath *a = MakePath({{PT_MOVETO, 1, 2}, {PT_BEZIERTO, 3, 4}, {PT_BEZIERTO, 5, 6}, {PT_BEZIERTO, 7, 8}});
    KyPath *b = MakePath({{PT_MOVETO, -1.5, 0.25}});
    LinkList({a, b});
    ASSERT_EQ(KyPathSize(b, 2.0, 0.0), 1);  // sy 0: both axes, from any record
    EXPECT_EQ(X(a, 3), 14.0);
    EXPECT_EQ(Y(a, 3), 16.0);
    EXPECT_EQ(X(b, 0), -3.0);
    EXPECT_EQ(Y(b, 0), 0.5);
    auto before = PointsOf(a);
    EXPECT_EQ(KyPathSize(a, 1.0, 1.0), 1);
    EXPECT_EQ(PointsOf(a), before);
    EXPECT_EQ(KyPathSize(nullptr, 2.0, 2.0), 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, ScaleCenteredKeepsTheIntegerCentre) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 4}, {PT_LINETO, 3, 1}});
    int32_t centre[2] = {-1, -1};
    KyPathScaleCentered(p, 2.0, 0.5, centre);
    EXPECT_EQ(centre[0], 5);
    EXPECT_EQ(centre[1], 2);
    EXPECT_EQ(X(p, 0), -5.0);
    EXPECT_EQ(Y(p, 0), 1.0);
    EXPECT_EQ(X(p, 1), 15.0);
    EXPECT_EQ(Y(p, 1), 3.0);
    EXPECT_EQ(X(p, 2), 1.0);
    EXPECT_EQ(Y(p, 2), 1.5);
    KyPathScaleCentered(nullptr, 2.0, 2.0, centre);  // no effect, no crash
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, RotationTurnsClockwiseAboutTheListCentre) {
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 0, 10}});
    LinkList({a, b});
    auto a0 = PointsOf(a), b0 = PointsOf(b);
    KyPathRotateAboutCenter(b, 0.0);
    EXPECT_EQ(PointsOf(a), a0);
    EXPECT_EQ(PointsOf(b), b0);

    // 90 degrees about (5, 5): (0, 0) goes to (10, 0) on a y-down screen.
    KyPathRotateAboutCenter(b, 90.0);
    const double tol = 2.0 / 65536;
    EXPECT_NEAR(X(a, 0), 10.0, tol);
    EXPECT_NEAR(Y(a, 0), 0.0, tol);
    EXPECT_NEAR(X(a, 1), 10.0, tol);
    EXPECT_NEAR(Y(a, 1), 10.0, tol);
    EXPECT_NEAR(X(b, 1), 0.0, tol);
    EXPECT_NEAR(Y(b, 1), 0.0, tol);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, RotationOfAPathBeyondTenThousandPixelsStaysInPlace) {
    // The centre comes from the path's own box, not from a box that starts
    // at +-10000.
    KyPath *p = MakePath({{PT_MOVETO, 20000, 20000}, {PT_LINETO, 20010, 20020}});
    KyPathRotateAboutCenter(p, 180.0);
    EXPECT_NEAR(X(p, 0), 20010.0, 0.01);
    EXPECT_NEAR(Y(p, 0), 20020.0, 0.01);
    EXPECT_NEAR(X(p, 1), 20000.0, 0.01);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, HandleCornersAreWhereTheTransformPutsTheBounds) {
    KyPath *p = MakePath({{PT_MOVETO, 2, 3}, {PT_LINETO, 12, 3}, {PT_LINETO, 12, 8}});
    KyPathRSRParams params{};
    params.sx = params.sy = 1.0;
    params.dx = 2.0;
    params.dy = 3.0;
    FIXED corners[8];
    ASSERT_EQ(KyPathGetRSRHandle(p, &params, nullptr, corners), 1);
    const FIXED expect[8] = {2 * kOne, 3 * kOne, 12 * kOne, 3 * kOne, 2 * kOne, 8 * kOne, 12 * kOne, 8 * kOne};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(corners[i], expect[i]) << i;

    // Scale 2 (sy 0 means sy = sx for the handles as for the path), turn
    // 90 degrees, land at (100, 50): the transformed path's box corners are
    // the handles.
    params.sx = 2.0;
    params.sy = 0.0;
    params.angle = 90.0;
    params.dx = 100.0;
    params.dy = 50.0;
    ASSERT_EQ(KyPathGetRSRHandle(p, &params, nullptr, corners), 1);
    ASSERT_EQ(KyPathResizeSlantRotate(p, &params, nullptr), 1);
    // Top-left corner (2, 3) of the bounds is point 0.
    EXPECT_NEAR(X(p, 0), corners[0] / 65536.0, 2.0 / 65536);
    EXPECT_NEAR(Y(p, 0), corners[1] / 65536.0, 2.0 / 65536);
    // Top-right (12, 3) is point 1: 20 pixels along the turned x axis.
    EXPECT_NEAR(X(p, 1), corners[2] / 65536.0, 2.0 / 65536);
    EXPECT_NEAR(Y(p, 1), corners[3] / 65536.0, 2.0 / 65536);
    EXPECT_NEAR(X(p, 1), 100.0, 0.01);
    EXPECT_NEAR(Y(p, 1), 70.0, 0.01);
    // Bottom-right (12, 8) is point 2.
    EXPECT_NEAR(X(p, 2), corners[6] / 65536.0, 2.0 / 65536);
    EXPECT_NEAR(Y(p, 2), corners[7] / 65536.0, 2.0 / 65536);
    EXPECT_EQ(p->shape, 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, ResizeAnchorsFollowTheHandleAndTextKeepsTheTopLeft) {
    KyPath *p = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 20}});
    KyPathRSRParams params{};
    params.anchored = 1;
    params.sx = 2.0;
    params.sy = 1.0;
    // Edge handle on the x axis: the origin is (right, 0) = (30, 0); put it
    // back at (30, 0) so the right edge stays.
    KyPathRSRHandle edge{1u, 0};
    params.dx = 30.0;
    ASSERT_EQ(KyPathResizeSlantRotate(p, &params, &edge), 1);
    EXPECT_EQ(X(p, 0), -10.0);
    EXPECT_EQ(X(p, 1), 30.0);
    EXPECT_EQ(Y(p, 0), 10.0);

    // Middle handle: origin x at the middle (10) - put back at 10.
    KyPathRSRHandle middle{2u, 0};
    params.sx = 0.5;
    params.dx = 10.0;
    ASSERT_EQ(KyPathResizeSlantRotate(p, &params, &middle), 1);
    EXPECT_EQ(X(p, 0), 0.0);
    EXPECT_EQ(X(p, 1), 20.0);

    // The text attribute fixes the origin at the top-left whatever the
    // handle says.
    p->flags |= 0x40000000u;
    params.sx = 2.0;
    params.dx = 0.0;
    params.dy = 10.0;
    ASSERT_EQ(KyPathResizeSlantRotate(p, &params, &edge), 1);
    EXPECT_EQ(X(p, 0), 0.0);
    EXPECT_EQ(X(p, 1), 40.0);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, ResizeMovesEveryRecordOfTheList) {
    // Two separate, unselected records: both must scale about the common
    // origin, so both are shifted, not only the head's group.
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 20, 10}});
    KyPath *b = MakePath({{PT_MOVETO, 30, 20}});
    LinkList({a, b});
    KyPathRSRParams params{};
    params.sx = params.sy = 2.0;
    params.dx = params.dy = 10.0;
    ASSERT_EQ(KyPathResizeSlantRotate(a, &params, nullptr), 1);
    EXPECT_EQ(X(a, 0), 10.0);
    EXPECT_EQ(X(a, 1), 30.0);
    EXPECT_EQ(X(b, 0), 50.0);
    EXPECT_EQ(Y(b, 0), 30.0);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, ResizeRefusesBaselinesAndEnvelopesWithoutChange) {
    KyPath *a = MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 2, 2}});
    KyPath *b = MakePath({{PT_MOVETO, 3, 3}});
    LinkList({a, b});
    KyPathRSRParams params{};
    params.sx = 3.0;
    FIXED corners[8] = {};
    for (uint32_t flag : {KPF_LASTMARK, KPF_ENVELOPE1, KPF_ENVELOPE2}) {
        b->flags = flag;
        auto before = PointsOf(a);
        EXPECT_EQ(KyPathResizeSlantRotate(a, &params, nullptr), 0);
        EXPECT_EQ(KyPathGetRSRHandle(a, &params, nullptr, corners), 0);
        EXPECT_EQ(PointsOf(a), before);
    }
    b->flags = 0;
    EXPECT_EQ(KyPathResizeSlantRotate(nullptr, &params, nullptr), 0);
    EXPECT_EQ(KyPathResizeSlantRotate(a, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathGetRSRHandle(a, &params, nullptr, nullptr), 0);
    KyPathDeletePtr(a, 0);
}

}  // namespace
