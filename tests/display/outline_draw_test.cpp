#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/outline_draw.h"
#include "overlay_fixture.h"
#include "platform/alloc_fail.h"
#include "support/point_checks.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::OverlayTest;
using display_testing::SelectPoint;
using testing_support::ExpectBox;

class OutlineTest : public OverlayTest {};

TEST_F(OutlineTest, ErasingOneOfTwoOverlappingOutlinesLeavesTheOther) {
    MakeView(40, 30);
    // A horizontal and a vertical line crossing at (10.5, 10.5).
    KyPath *a = MakePath({{PT_MOVETO, 2.5, 10.5}, {PT_LINETO, 30.5, 10.5}});
    KyPath *b = MakePath({{PT_MOVETO, 10.5, 2.5}, {PT_LINETO, 10.5, 25.5}});
    LinkList({a, b});
    Own(a);
    Y32Rect r{};
    ASSERT_EQ(KyPathDraw(view_, a, &r), 1);
    EXPECT_EQ(At(10, 10), 2) << "both outlines cover the crossing";
    EXPECT_EQ(At(20, 10), 1);
    EXPECT_EQ(At(10, 20), 1);
    const std::vector<uint8_t> both = Bytes();

    LinkSelection({a});
    ASSERT_EQ(KyPathHideSelected(view_, a, &r), 1);
    EXPECT_EQ(At(10, 10), 1) << "the crossing keeps the vertical line";
    EXPECT_EQ(At(20, 10), 0);
    for (int y = 3; y <= 24; ++y) EXPECT_EQ(At(10, y), 1) << "vertical line intact at " << y;
    for (int x = 0; x < 40; ++x) {
        if (x == 10) continue;
        EXPECT_EQ(At(x, 10), 0) << x;
    }
    // The rectangle is the erased line's box, in window coordinates.
    ExpectBox(r, 1, 9, 32, 12);

    ASSERT_EQ(KyPathDrawSelected(view_, a, &r), 1);
    EXPECT_EQ(Bytes(), both) << "drawing it again restores the same counts";

    // Twice more, then erased twice: counts go 3, 2, 1 on its own pixels.
    KyPathDrawSelected(view_, a, &r);
    EXPECT_EQ(At(20, 10), 2);
    KyPathHideSelected(view_, a, &r);
    EXPECT_EQ(At(20, 10), 1);
    KyPathHideSelected(view_, a, &r);
    EXPECT_EQ(At(20, 10), 0);
    EXPECT_EQ(At(10, 10), 1);
}

TEST_F(OutlineTest, DrawWipesFirstAndAnswersTheClientRectangle) {
    MakeView(30, 20, 100, 50);
    std::memset(view_->lpDB, 7, 30 * 20);
    KyPath *p = Own(MakePath({{PT_MOVETO, 5.5, 5.5}, {PT_LINETO, 12.5, 5.5}}));
    Y32Rect r{};
    ASSERT_EQ(KyPathDraw(view_, p, &r), 1);
    ExpectBox(r, 100, 50, 130, 70);
    EXPECT_EQ(CountCovered(), 7) << "old content wiped, one line drawn (its end pixel adjoins pixel 11)";
    EXPECT_EQ(At(5, 5), 1);

    // The selection drawer answers the touched box, moved by the client
    // origin.
    LinkSelection({p});
    ASSERT_EQ(KyPathHideSelected(view_, p, &r), 1);
    ExpectBox(r, 104, 54, 114, 57);
    EXPECT_EQ(CountCovered(), 0);

    // Hide: the client rectangle, or the record's box when one is given.
    ASSERT_EQ(KyPathHide(view_, nullptr, &r), 1);
    ExpectBox(r, 100, 50, 130, 70);
    ASSERT_EQ(KyPathHide(view_, p, &r), 1);
    ExpectBox(r, 5 - 5 + 100, 5 - 5 + 50, 12 + 6 + 100, 5 + 6 + 50);
    // Image pixels 10..20 by 15..25 at zoom 2 are window 20..42 by 30..52,
    // less the scroll, with the margin.
    ASSERT_EQ(KyPathCoordStruct(0, 0, 50, 50, 10, 20, 2.0, table_, &view_), 1);
    KyPath *q = Own(MakePath({{PT_MOVETO, 10.0, 15.0}, {PT_LINETO, 20.0, 25.0}}));
    ASSERT_EQ(KyPathHide(view_, q, &r), 1);
    ExpectBox(r, 20 - 10 - 5, 30 - 20 - 5, 42 - 10 + 5, 52 - 20 + 5);
}

TEST_F(OutlineTest, MarkedChainsHighlightsAndSkippedRecords) {
    MakeView(40, 40);
    KyPath *a = MakePath({{PT_MOVETO, 2.5, 2.5}, {PT_LINETO, 30.5, 2.5}});
    KyPath *b = MakePath({{PT_MOVETO, 2.5, 8.5}, {PT_LINETO, 30.5, 8.5}, {PT_LINETO, 30.5, 20.5}});
    KyPath *base = MakePath({{PT_MOVETO, 2.5, 30.5}, {PT_LINETO, 30.5, 30.5}});
    LinkList({a, b, base});
    Own(a);
    Y32Rect r{};
    base->flags |= KPF_LASTMARK;
    ASSERT_EQ(KyPathDraw(view_, b, &r), 1) << "any record of the list draws the whole list";
    EXPECT_EQ(At(10, 2), 0x81) << "the rest of a marked chain is secondary";
    EXPECT_EQ(At(10, 8), 0x81);
    EXPECT_EQ(At(10, 30), 0x01) << "the baseline itself is not";

    base->flags = KPF_ENVELOPE2;
    KyPathDraw(view_, a, &r);
    EXPECT_EQ(At(10, 2), 0x81);
    base->flags = 0;

    // A picked segment shows highlighted after a plain draw.
    KyPathPoints(b)[1].type |= PT_SEGSELECTED;
    b->flags |= KPF_HASSELSEGMENT | KPF_SELECTED;
    KyPathDraw(view_, a, &r);
    EXPECT_EQ(At(10, 2), 0x01);
    EXPECT_EQ(At(10, 8), 0x01) << "segment 0 of b is not picked";
    EXPECT_EQ(At(30, 15), 0x41) << "segment 1 of b is";
    ASSERT_TRUE(outline::UnhighlightSelectedSegments(view_, b, &r));
    EXPECT_EQ(At(30, 15), 0x01);
    ASSERT_TRUE(outline::HighlightSelectedSegments(view_, b, &r));
    EXPECT_EQ(At(30, 15), 0x41);
    KyPathHideSelectedSegments(view_, b, &r);
    EXPECT_EQ(At(30, 15), 0x00);
    EXPECT_EQ(At(10, 8), 0x01);
    KyPathDrawSelectedSegments(view_, b, &r);
    EXPECT_EQ(At(30, 15), 0x01);

    // Records the selection drawer is drawing are left to it.
    b->flags |= KPF_DRAWNSELECTED;
    KyPathDraw(view_, a, &r);
    EXPECT_EQ(At(10, 8), 0);
    EXPECT_EQ(At(10, 2), 1);
}

TEST_F(OutlineTest, SelectedNodesLimitTheDrawingToTheirSegments) {
    MakeView(40, 40);
    // Closed square 5,5 - 30,5 - 30,30 - 5,30 - back.
    KyPath *p = Own(testing_support::Rect(5.5, 5.5, 30.5, 30.5));
    LinkSelection({p});
    SelectPoint(p, 4);  // the closing point: point 0's node
    Y32Rect r{};
    ASSERT_EQ(KyPathDrawSelected(view_, p, &r), 1);
    EXPECT_EQ(At(15, 5), 1) << "first segment: the closing point counts as its start";
    EXPECT_EQ(At(5, 15), 1) << "last segment ends at it";
    EXPECT_EQ(At(30, 15), 0);
    EXPECT_EQ(At(15, 30), 0);
    EXPECT_EQ(p->flags & KPF_DRAWNSELECTED, 0u);
    KyPathHideSelected(view_, p, &r);
    EXPECT_EQ(CountCovered(), 0);

    // Selecting point 0 instead touches the same two segments.
    KyPathPoints(p)[4].type &= static_cast<uint16_t>(~PT_SELECTED);
    SelectPoint(p, 0);
    KyPathDrawSelected(view_, p, &r);
    EXPECT_EQ(At(15, 5), 1);
    EXPECT_EQ(At(5, 15), 1);
    EXPECT_EQ(At(30, 15), 0);
}

TEST_F(OutlineTest, SingleSegmentsAreDrawnOnlyOnPlainSelectedRecords) {
    MakeView(40, 40);
    KyPath *p = Own(MakePath({{PT_MOVETO, 5.5, 5.5}, {PT_LINETO, 30.5, 5.5}, {PT_LINETO, 30.5, 30.5}}));
    Y32Rect r{1, 2, 3, 4};
    EXPECT_EQ(KyPathDrawSegment(view_, p, 0, &r), 0) << "not selected";
    LinkSelection({p});
    EXPECT_EQ(KyPathDrawSegment(view_, p, 2, &r), 0) << "index must be below count - 1";
    EXPECT_EQ(KyPathDrawSegment(view_, p, -1, &r), 0);
    const uint32_t flags = p->flags;
    ASSERT_EQ(KyPathDrawSegment(view_, p, 1, &r), 1);
    EXPECT_EQ(At(30, 15), 1);
    EXPECT_EQ(At(15, 5), 0);
    EXPECT_EQ(p->flags, flags) << "the temporary pick is removed";
    EXPECT_EQ(KyPathPoints(p)[1].type, PT_LINETO);
    EXPECT_EQ(r.left, 29);
    EXPECT_EQ(r.right, 32);
    ASSERT_EQ(KyPathHideSegment(view_, p, 1, &r), 1);
    EXPECT_EQ(CountCovered(), 0);

    p->flags |= KPF_HASSELSEGMENT;
    KyPathPoints(p)[0].type |= PT_SEGSELECTED;
    const std::vector<uint8_t> before = Bytes();
    EXPECT_EQ(KyPathDrawSegment(view_, p, 1, &r), 0) << "a record with a picked segment";
    EXPECT_EQ(Bytes(), before);
    p->flags &= ~KPF_HASSELSEGMENT;
    KyPathPoints(p)[0].type = PT_MOVETO;
    SelectPoint(p, 2);
    EXPECT_EQ(KyPathDrawSegment(view_, p, 1, &r), 0) << "a record with selected nodes";
    EXPECT_EQ(Bytes(), before);
}

TEST_F(OutlineTest, NullArgumentsAndViewsWithoutOverlay) {
    MakeView(20, 20);
    KyPath *p = Own(MakePath({{PT_MOVETO, 1.5, 1.5}, {PT_LINETO, 10.5, 1.5}}));
    LinkSelection({p});
    Y32Rect r{1, 2, 3, 4};
    EXPECT_EQ(KyPathDraw(nullptr, p, &r), 0);
    EXPECT_EQ(KyPathDraw(view_, p, nullptr), 0);
    EXPECT_EQ(KyPathDrawSelected(view_, nullptr, &r), 0);
    EXPECT_EQ(KyPathHideSelected(view_, p, nullptr), 0);
    EXPECT_EQ(KyPathDrawSelectedSegments(nullptr, p, &r), 0);
    EXPECT_EQ(KyPathHide(nullptr, p, &r), 0);
    EXPECT_EQ(KyPathDrawSegment(view_, nullptr, 0, &r), 0);

    CoordStruct bare{};
    bare.right = 20;
    bare.bottom = 20;
    bare.zoom = 1.0;
    EXPECT_EQ(KyPathDraw(&bare, p, &r), 1);
    EXPECT_EQ(r.left, 1) << "untouched";
    EXPECT_EQ(r.bottom, 4);
    EXPECT_EQ(KyPathDrawSelected(&bare, p, &r), 1);
    EXPECT_EQ(KyPathHideSelectedSegments(&bare, p, &r), 1);
    EXPECT_EQ(KyPathDrawSegment(&bare, p, 0, &r), 1);
    EXPECT_EQ(KyPathScrollDB(&bare, p, 3, 4), 1);
    EXPECT_EQ(bare.scrollX, 3);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(CountCovered(), 0);
}

// The view keeps the table's old buffer while the host describes a larger
// client: drawing must stay inside the buffer that really exists.
TEST_F(OutlineTest, AViewLargerThanItsBufferDrawsOnlyIntoTheBuffer) {
    MakeView(20, 10);
    ASSERT_EQ(KyPathCoordStruct(0, 0, 200, 100, 0, 0, 1.0, table_, &view_), 1);
    KyPath *p = Own(MakePath({{PT_MOVETO, 0.5, 5.5}, {PT_LINETO, 190.5, 5.5}, {PT_LINETO, 190.5, 90.5}}));
    Y32Rect r{};
    ASSERT_EQ(KyPathDraw(view_, p, &r), 1);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(At(x, 5), 1) << x;
    LinkSelection({p});
    KyPathHideSelected(view_, p, &r);
    EXPECT_EQ(CountCovered(), 0);
    // Compositing reads only what exists either.
    std::vector<uint8_t> image(200 * 3 * 100, 0);
    EXPECT_EQ(KyPathPaintMem(0, 0, 200, 100, table_, image.data()), 1);
}

TEST_F(OutlineTest, CompositingInvertsEachKindOfPixel) {
    MakeView(10, 4);
    // Row 1: a plain pixel at x 1, a highlighted one at x 2, a secondary
    // one at x 3, and an uncovered byte with only bit 6 at x 4.
    view_->lpDB[10 + 1] = 0x01;
    view_->lpDB[10 + 2] = 0x42;
    view_->lpDB[10 + 3] = 0x81;
    view_->lpDB[10 + 4] = 0x40;
    // The host's image of window rectangle (-5, 1)-(6, 3): 11 pixels a row.
    const int32_t x0 = -5, y0 = 1, x1 = 6, y1 = 3, row = x1 - x0;
    std::vector<uint8_t> rgb(static_cast<size_t>(row) * (y1 - y0) * 3, 0x11);
    std::vector<uint8_t> grey(static_cast<size_t>(row) * (y1 - y0), 0x11);
    ASSERT_EQ(KyPathPaintMem(x0, y0, x1, y1, table_, rgb.data()), 1);
    ASSERT_EQ(KyPathPaintMem1(x0, y0, x1, y1, table_, grey.data()), 1);
    auto px = [&](int wx, int k) { return rgb[static_cast<size_t>((wx - x0) * 3 + k)]; };
    for (int i = 0; i < 5 * 3; ++i) EXPECT_EQ(rgb[i], 0x11) << "left of the window: untouched";
    for (int i = 0; i < 5; ++i) EXPECT_EQ(grey[i], 0x11);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(px(1, k), 0x11 ^ 0xC0);
    EXPECT_EQ(px(2, 0), 0x11) << "highlight leaves the first byte";
    EXPECT_EQ(px(2, 1), 0x11 ^ 0xEE);
    EXPECT_EQ(px(2, 2), 0x11 ^ 0xEE);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(px(3, k), 0x11 ^ 0x40);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(px(4, k), 0x11) << "no count, no outline";
    EXPECT_EQ(grey[1 - x0], 0x11 ^ 0xC0);
    EXPECT_EQ(grey[2 - x0], 0x11 ^ 0x77);
    EXPECT_EQ(grey[3 - x0], 0x11 ^ 0x40);
    for (size_t i = row * 3; i < rgb.size(); ++i) EXPECT_EQ(rgb[i], 0x11) << "row 2 has no outline";

    EXPECT_EQ(KyPathPaintMem(0, 0, 1, 1, nullptr, rgb.data()), 0);
    EXPECT_EQ(KyPathPaintMem(0, 0, 1, 1, table_, nullptr), 0);
    KyPathTblDeletelpDB(table_);
    EXPECT_EQ(KyPathPaintMem1(0, 0, 1, 1, table_, grey.data()), 0);
    view_->lpDB = nullptr;
}

TEST_F(OutlineTest, CroppingKeepsTheTopLeftAndNeverReadsPastTheOldBuffer) {
    MakeView(8, 6);
    for (int i = 0; i < 48; ++i) view_->lpDB[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(KyPathCropDB(table_, 5, 4), 1);
    EXPECT_EQ(table_->width, 5);
    EXPECT_EQ(table_->height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(table_->lpDB[y * 5 + x], y * 8 + x);
    // Growing keeps what exists and zero-fills the rest.
    ASSERT_EQ(KyPathCropDB(table_, 9, 5), 1);
    EXPECT_EQ(table_->lpDB[1 * 9 + 4], 1 * 8 + 4);
    EXPECT_EQ(table_->lpDB[1 * 9 + 5], 0);
    EXPECT_EQ(table_->lpDB[4 * 9 + 0], 0);
    EXPECT_EQ(KyPathCropDB(table_, -1, 1), 0);
    uint8_t *kept = table_->lpDB;
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathCropDB(table_, 2, 2), 0);
    }
    EXPECT_EQ(table_->lpDB, kept) << "the old buffer stays";
    EXPECT_EQ(table_->width, 9);
    view_->lpDB = nullptr;  // the view's buffer is gone; the host refreshes views after a crop
}

TEST_F(OutlineTest, ScrollingMovesTheViewAndRedraws) {
    MakeView(30, 30);
    KyPath *p = Own(MakePath({{PT_MOVETO, 10.5, 10.5}, {PT_LINETO, 20.5, 10.5}}));
    EXPECT_EQ(KyPathScrollDB(view_, p, 0, 0), 1);
    EXPECT_EQ(CountCovered(), 0) << "no movement, no drawing";
    EXPECT_EQ(KyPathScrollDB(view_, p, 5, -3), 1);
    EXPECT_EQ(view_->scrollX, 5);
    EXPECT_EQ(view_->scrollY, -3);
    EXPECT_EQ(At(5, 13), 1);
    EXPECT_EQ(At(14, 13), 1);
    EXPECT_EQ(At(16, 13), 0);
    // Only the low 16 bits count, as a signed value.
    EXPECT_EQ(KyPathScrollDB(view_, nullptr, 0x10000 - 5, 0x10003), 1);
    EXPECT_EQ(view_->scrollX, 0);
    EXPECT_EQ(view_->scrollY, 0);
    EXPECT_EQ(KyPathScrollDB(nullptr, p, 1, 1), 0);
}

}  // namespace
