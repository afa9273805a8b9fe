// Moves, sizes, rotations and the free transform.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "core/fixed.h"
#include "edit/transform.h"
#include "edit_support.h"

namespace {

using edit_test::LinkGroup;
using edit_test::LinkSelection;
using edit_test::ListInvariants;
using edit_test::P;
using edit_test::PointsOf;
using edit_test::Pts;
using edit_test::X;
using edit_test::Y;
using testing_support::LinkList;
using testing_support::MakePath;
using TransformTest = testing_support::PathTest;

constexpr FIXED kOne = fx::kOne;
constexpr uint16_t M = PT_MOVETO, L = PT_LINETO;

// Point 0 of each record, in pixels.
using XYs = std::vector<std::pair<double, double>>;
XYs Starts(std::initializer_list<const KyPath *> records) {
    std::vector<std::pair<double, double>> v;
    for (const KyPath *r : records) v.emplace_back(X(r, 0), Y(r, 0));
    return v;
}

TEST_F(TransformTest, MoveFollowsSelectionOrGroupFromTheStartingRecord) {
    KyPath *a = MakePath({{M, 0, 0}, {L, 10, 0}}), *b = MakePath({{M, 0, 5}}), *c = MakePath({{M, 0, 9}}),
           *d = MakePath({{M, 0, 20}});
    LinkList({a, b, c, d});
    LinkGroup({a, b, c});
    // Unselected start: the whole group chain moves, d does not.
    ASSERT_EQ(KyPathMovePathsByPtfx(a, 2 * kOne, -kOne), 1);
    EXPECT_EQ(Starts({a, b, c, d}), (XYs{{2, -1}, {2, 4}, {2, 8}, {0, 20}}));
    EXPECT_EQ(X(a, 1), 12.0);
    // Selected start: the selection list decides, groups are not followed.
    LinkSelection({b, d});
    ASSERT_EQ(KyPathMovePathsByPtfx(b, kOne, 0), 1);
    EXPECT_EQ(Starts({a, b, c, d}), (XYs{{2, -1}, {3, 4}, {2, 8}, {1, 20}}));
    // Groups followed from a selected record (the align rule): on along the
    // chain, never back to its start, and not along the selection.
    edit::MoveSubpathChain(b, 0, kOne, true);
    EXPECT_EQ(Starts({a, b, c, d}), (XYs{{2, -1}, {3, 5}, {2, 9}, {1, 20}}));
    // In window pixels at the view's zoom; a zoom of 0 would turn the
    // offset into infinities, so such a view is refused.
    CoordStruct view{};
    view.zoom = 2.0;
    ASSERT_EQ(KyPathMovePaths(d, &view, 15, -3), 1);
    view.zoom = 0.0;
    EXPECT_EQ(KyPathMovePaths(d, &view, 15, 15), 0);
    EXPECT_EQ(KyPathMovePaths(d, nullptr, 15, 15), 0);
    EXPECT_EQ(Starts({a, b, c, d}), (XYs{{2, -1}, {3, 5}, {2, 9}, {8.5, 18.5}}));
    EXPECT_TRUE(ListInvariants(a));
    EXPECT_EQ(KyPathMovePathsByPtfx(nullptr, 1, 1), 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, ParameterEntriesKeepTheirValuesThroughMoveAndSize) {
    // A rotated rectangle: point 1 opens a two-entry parameter, point 2
    // holds the angle; a 0x0200 entry and a no-extent pair follow.
    KyPath *p = MakePath({{M, 1, 2},
                          {PT_ROTATEDRECT, 30, 40},
                          {L, 0.5, 0},
                          {PT_SPECIAL200, 7, 7},
                          {L, 3, 4},
                          {PT_NOEXTENT, 8, 9},
                          {L, 6, 6}});
    auto before = PointsOf(p);
    ASSERT_EQ(KyPathMovePathsByPtfx(p, kOne, kOne), 1);
    ASSERT_EQ(KyPathSize(p, 2.0, 3.0), 1);
    auto after = PointsOf(p);
    // Moved and sized: 0, 4; stepped over: 1-2 (pair), 3 (single), 5-6 (pair).
    EXPECT_EQ(after[0], (P{M, 4 * kOne, 9 * kOne}));
    EXPECT_EQ(after[4], (P{L, 8 * kOne, 15 * kOne}));
    for (int i : {1, 2, 3, 5, 6}) EXPECT_EQ(after[i], before[i]) << "entry " << i;
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, SizeAndCentredScale) {
    // KyPathSize: the whole list about the origin, from any record; sy 0
    // means both axes.
    KyPath *a = MakePath({{M, 1, 2}, {PT_BEZIERTO, 3, 4}, {PT_BEZIERTO, 5, 6}, {PT_BEZIERTO, 7, 8}});
    KyPath *b = MakePath({{M, -1.5, 0.25}});
    LinkList({a, b});
    ASSERT_EQ(KyPathSize(b, 2.0, 0.0), 1);
    EXPECT_EQ(X(a, 3), 14.0);
    EXPECT_EQ(Y(a, 3), 16.0);
    EXPECT_EQ(Starts({b}), (XYs{{-3, 0.5}}));
    EXPECT_EQ(KyPathSize(nullptr, 2.0, 2.0), 0);
    KyPathDeletePtr(a, 0);

    // KyPathScaleCentered: about the integer centre of the box (5, 2), so
    // x -> 2x - 5 and y -> y / 2 + 1.
    KyPath *p = MakePath({{M, 0, 0}, {L, 10, 4}, {L, 3, 1}});
    int32_t centre[2] = {-1, -1};
    KyPathScaleCentered(p, 2.0, 0.5, centre);
    EXPECT_EQ(centre[0], 5);
    EXPECT_EQ(centre[1], 2);
    EXPECT_EQ(PointsOf(p), Pts({{M, -5, 1}, {L, 15, 3}, {L, 1, 1.5}}));
    KyPathScaleCentered(nullptr, 2.0, 2.0, centre);  // no effect, no crash
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, RotationTurnsClockwiseAboutTheListCentre) {
    const double tol = 2.0 / 65536;
    KyPath *a = MakePath({{M, 0, 0}, {L, 10, 0}});
    KyPath *b = MakePath({{M, 10, 10}, {L, 0, 10}});
    LinkList({a, b});
    // 90 degrees about (5, 5): (0, 0) goes to (10, 0) on a y-down screen.
    KyPathRotateAboutCenter(b, 90.0);
    const double want[4][2] = {{10, 0}, {10, 10}, {0, 10}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        const KyPath *r = i < 2 ? a : b;
        EXPECT_NEAR(X(r, i % 2), want[i][0], tol) << "point " << i;
        EXPECT_NEAR(Y(r, i % 2), want[i][1], tol) << "point " << i;
    }
    KyPathDeletePtr(a, 0);

    // The centre comes from the path's own box, not from a box that starts
    // at +-10000: beyond 10000 pixels a path turns in place.
    KyPath *p = MakePath({{M, 20000, 20000}, {L, 20010, 20020}});
    KyPathRotateAboutCenter(p, 180.0);
    EXPECT_NEAR(X(p, 0), 20010.0, 0.01);
    EXPECT_NEAR(Y(p, 0), 20020.0, 0.01);
    EXPECT_NEAR(X(p, 1), 20000.0, 0.01);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, HandleCornersAreWhereTheTransformPutsTheBounds) {
    KyPath *p = MakePath({{M, 2, 3}, {L, 12, 3}, {L, 12, 8}});
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
    // Points 0, 1, 2 were the top-left, top-right and bottom-right corners.
    const int corner_of[3] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(X(p, i), corners[2 * corner_of[i]] / 65536.0, 2.0 / 65536) << "point " << i;
        EXPECT_NEAR(Y(p, i), corners[2 * corner_of[i] + 1] / 65536.0, 2.0 / 65536) << "point " << i;
    }
    // Top-right is 20 pixels along the turned x axis.
    EXPECT_NEAR(X(p, 1), 100.0, 0.01);
    EXPECT_NEAR(Y(p, 1), 70.0, 0.01);
    EXPECT_EQ(p->shape, 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(TransformTest, ResizeAnchorsFollowTheHandleAndTextKeepsTheTopLeft) {
    // The line (10, 10) - (30, 20): scaled about the origin the handle names
    // (an edge handle: the opposite edge; a middle handle: the middle), then
    // the origin put at (dx, dy). The text attribute fixes the origin at the
    // top-left whatever the handle says.
    struct Case {
        uint32_t flags;
        KyPathRSRHandle handle;
        double sx, sy, dx, dy;
        std::initializer_list<testing_support::Pt> want;
    };
    const Case cases[] = {
        {0, {1u, 0}, 2.0, 1.0, 30, 0, {{M, -10, 10}, {L, 30, 20}}},  // origin (30, 0) stays
        {0, {2u, 0}, 0.5, 1.0, 10, 0, {{M, 5, 10}, {L, 15, 20}}},    // origin (20, 0) to (10, 0)
        {0, {1u, 1}, 1.0, 2.0, 0, 20, {{M, 10, 0}, {L, 30, 20}}},    // origin (0, 20) stays
        {0x40000000u, {1u, 0}, 2.0, 1.0, 0, 10, {{M, 0, 10}, {L, 40, 20}}},  // origin (10, 10) to (0, 10)
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        KyPath *p = MakePath({{M, 10, 10}, {L, 30, 20}});
        p->flags = c.flags;
        KyPathRSRParams params{};
        params.anchored = 1;
        params.sx = c.sx, params.sy = c.sy, params.dx = c.dx, params.dy = c.dy;
        ASSERT_EQ(KyPathResizeSlantRotate(p, &params, &c.handle), 1) << "case " << i;
        EXPECT_EQ(PointsOf(p), Pts(c.want)) << "case " << i;
        KyPathDeletePtr(p, 0);
    }

    // Two separate, unselected records: both scale about the common origin,
    // so both are shifted, not only the head's group.
    KyPath *a = MakePath({{M, 10, 10}, {L, 20, 10}});
    KyPath *b = MakePath({{M, 30, 20}});
    LinkList({a, b});
    KyPathRSRParams params{};
    params.sx = params.sy = 2.0;
    params.dx = params.dy = 10.0;
    ASSERT_EQ(KyPathResizeSlantRotate(a, &params, nullptr), 1);
    EXPECT_EQ(Starts({a, b}), (XYs{{10, 10}, {50, 30}}));
    EXPECT_EQ(X(a, 1), 30.0);
    KyPathDeletePtr(a, 0);
}

TEST_F(TransformTest, ResizeRefusesBaselinesAndEnvelopesWithoutChange) {
    KyPath *a = MakePath({{M, 1, 1}, {L, 2, 2}});
    KyPath *b = MakePath({{M, 3, 3}});
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
