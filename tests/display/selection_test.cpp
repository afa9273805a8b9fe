#include <gtest/gtest.h>

#include "display/selection.h"
#include "window_fixture.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::SelectPoint;
using display_testing::Snapshot;
using display_testing::TypeAt;
using display_testing::WindowTest;

class SelectionTest : public WindowTest {
  protected:
    int Highlighted() const {
        int n = 0;
        for (int32_t i = 0; i < w_ * h_; ++i) n += (view_->lpDB[i] & 0x40) != 0;
        return n;
    }
};

// Open: a line, a curve, a line. Closed: three lines back to the start.
KyPath *Mixed() {
    return MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 10}, {PT_BEZIERTO, 50, 30}, {PT_BEZIERTO, 50, 50},
                     {PT_BEZIERTO, 40, 70}, {PT_LINETO, 10, 70}});
}
KyPath *Triangle() {
    return MakePath({{PT_MOVETO, 60, 20}, {PT_LINETO, 90, 20}, {PT_LINETO, 75, 50}, {PT_LINETO | PT_CLOSEFIGURE, 60, 20}});
}

TEST_F(SelectionTest, PickingASegmentHighlightsItAndUnpickingTakesTheHighlightAway) {
    KyPath *p = Mixed();
    LinkSelection({p});
    Install(p);
    const std::vector<uint8_t> plain = Bytes();
    Y32Rect r{1, 1, 1, 1};
    ASSERT_EQ(KyPathPickSegment(view_, p, 1, &r), 1);
    EXPECT_TRUE(TypeAt(p, 1) & PT_SEGSELECTED);
    EXPECT_TRUE(p->flags & KPF_HASSELSEGMENT);
    EXPECT_GT(Highlighted(), 30);
    EXPECT_LE(r.left, 40);
    EXPECT_GE(r.right, 51);
    EXPECT_LE(r.top, 10);
    EXPECT_GE(r.bottom, 71);
    EXPECT_EQ(KyPathGetSelectedSegmentType(p), 2);
    EXPECT_EQ(Bytes(), FreshOverlay(p)) << "exactly what a fresh drawing of a picked segment shows";
    // Only one pick at a time, and none with selected nodes.
    EXPECT_EQ(KyPathPickSegment(view_, p, 0, &r), 0);

    ASSERT_EQ(KyPathUnpickSegment(view_, nullptr, p, &r), 1);
    EXPECT_FALSE(TypeAt(p, 1) & PT_SEGSELECTED);
    EXPECT_FALSE(p->flags & KPF_HASSELSEGMENT);
    EXPECT_EQ(Bytes(), plain);
    EXPECT_EQ(KyPathGetSelectedSegmentType(p), 0);
    EXPECT_EQ(KyPathUnpickSegment(view_, nullptr, p, &r), 1) << "nothing picked is fine too";

    SelectPoint(p, 1);
    EXPECT_EQ(KyPathPickSegment(view_, p, 0, &r), 0) << "a record with selected nodes";
    KyPathDeselectPts(p);
    p->flags &= ~KPF_SELECTED;
    EXPECT_EQ(KyPathPickSegment(view_, p, 0, &r), 0) << "an unselected record";
    p->flags |= KPF_SELECTED;
    // Indices: negative, past the end, and the control points that start
    // no segment are refused; count - 1 stands for segment 0.
    for (int32_t bad : {-1, 6, 7, 2, 3}) EXPECT_EQ(KyPathPickSegment(view_, p, bad, &r), 0) << bad;
    EXPECT_FALSE(p->flags & KPF_HASSELSEGMENT);
    ASSERT_EQ(KyPathPickSegment(nullptr, p, 5, &r), 1);
    EXPECT_TRUE(TypeAt(p, 0) & PT_SEGSELECTED);
    EXPECT_EQ(r.right, 0) << "nothing drawn without a view";
    EXPECT_EQ(Bytes(), plain);
}

TEST_F(SelectionTest, UnpickingAGroupCollectsEveryRecordsRectangle) {
    KyPath *a = Mixed(), *b = Triangle();
    LinkList({a, b});
    LinkSelection({a});
    Install(a);
    const std::vector<uint8_t> plain = Bytes();
    Y32Rect ra, rb, all;
    ASSERT_EQ(KyPathPickSegment(view_, a, 4, &ra), 1);
    // A second record with a pick (not reachable by the rules, but the
    // table form clears every record of the group).
    b->flags |= KPF_SELECTED;
    ASSERT_EQ(KyPathPickSegment(view_, b, 1, &rb), 1);
    b->flags &= ~KPF_SELECTED;
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(table_, nullptr), a);
    ASSERT_EQ(KyPathUnpickSegment(view_, table_, nullptr, &all), 1);
    EXPECT_EQ(Bytes(), plain);
    EXPECT_EQ(all.left, std::min(ra.left, rb.left));
    EXPECT_EQ(all.right, std::max(ra.right, rb.right));
    EXPECT_EQ(all.top, std::min(ra.top, rb.top));
    EXPECT_EQ(all.bottom, std::max(ra.bottom, rb.bottom));
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(table_, nullptr), nullptr);
}

TEST_F(SelectionTest, SegmentKinds) {
    KyPath *p = Own(Mixed());
    EXPECT_EQ(KyPathGetSegmentType(p, 0), 1);
    EXPECT_EQ(KyPathGetSegmentType(p, 1), 2);
    EXPECT_EQ(KyPathGetSegmentType(p, 4), 1);
    EXPECT_EQ(KyPathGetSegmentType(p, 5), 0) << "the last point starts no segment";
    EXPECT_EQ(KyPathGetSegmentType(p, -1), 0);
    KyPathPoints(p)[5].type = 0x0200;
    EXPECT_EQ(KyPathGetSegmentType(p, 4), 3);
    // A closing line with a segment mark of its own still reads as a line.
    KyPathPoints(p)[5].type = PT_LINETO | PT_CLOSEFIGURE | PT_SEGSELECTED;
    EXPECT_EQ(KyPathGetSegmentType(p, 4), 1);

    // The picked kind needs a record selected alone, ungrouped, with one
    // picked segment.
    KyPath *q = Own(Mixed());
    q->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
    KyPathPoints(q)[4].type |= PT_SEGSELECTED;
    EXPECT_EQ(KyPathGetSelectedSegmentType(q), 1);
    KyPathPoints(q)[0].type |= PT_SEGSELECTED;
    EXPECT_EQ(KyPathGetSelectedSegmentType(q), 0) << "two picks";
    KyPathPoints(q)[0].type &= ~PT_SEGSELECTED;
    KyPath *r = Own(Triangle());
    q->groupNext = r;
    r->groupPrev = q;
    EXPECT_EQ(KyPathGetSelectedSegmentType(q), 0) << "grouped";
    q->groupNext = nullptr;
    r->groupPrev = nullptr;
    q->flags &= ~KPF_SELECTED;
    EXPECT_EQ(KyPathGetSelectedSegmentType(q), 0) << "unselected";
}

TEST_F(SelectionTest, DeselectingPointsKeepsThePickAndTheParameterEntries) {
    KyPath *p = Own(Mixed());
    p->flags |= KPF_SELECTED;
    EXPECT_EQ(KyPathDeselectPts(p), 0) << "no selected nodes";
    for (int32_t i : {0, 4, 5}) SelectPoint(p, i);
    KyPathPoints(p)[2].type |= PT_SELECTED;  // a control point, as old files hold them
    KyPathPoints(p)[1].type |= PT_SEGSELECTED;
    p->flags |= KPF_HASSELSEGMENT;
    ASSERT_EQ(KyPathDeselectPts(p), 1);
    for (int32_t i = 0; i < p->count; ++i) EXPECT_FALSE(TypeAt(p, i) & PT_SELECTED) << i;
    EXPECT_TRUE(TypeAt(p, 1) & PT_SEGSELECTED);
    EXPECT_EQ(p->flags & (KPF_SELECTED | KPF_HASSELPOINT | KPF_HASSELSEGMENT), KPF_SELECTED | KPF_HASSELSEGMENT);

    // A rotated rectangle's parameter entry keeps its type word.
    KyPath *rr = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_ROTATEDRECT, 10, 10}, {PT_SELECTED | 0x0010, 0.5, 0}}));
    rr->flags |= KPF_SELECTED | KPF_HASSELPOINT;
    KyPathPoints(rr)[0].type |= PT_SELECTED;
    ASSERT_EQ(KyPathDeselectPts(rr), 1);
    EXPECT_EQ(TypeAt(rr, 0), PT_MOVETO);
    EXPECT_EQ(TypeAt(rr, 2), PT_SELECTED | 0x0010);
}

TEST_F(SelectionTest, DeselectingAllErasesNodesOnlyWhenAskedTo) {
    KyPath *a = Mixed(), *b = Triangle();
    LinkList({a, b});
    LinkSelection({a, b});
    Install(a);
    ASSERT_FALSE(WindowBlank());
    const std::vector<uint8_t> shown = Window();
    ASSERT_EQ(KyPathDeSelectAll(dc_, b, view_, 0), 1);
    EXPECT_FALSE(a->flags & KPF_SELECTED);
    EXPECT_EQ(a->selNext, nullptr);
    EXPECT_EQ(Window(), shown) << "draw 0: the window is the caller's";
    LinkSelection({a, b});
    ASSERT_EQ(KyPathDeSelectAll(dc_, b, view_, 1), 1);
    EXPECT_EQ(Window(), std::vector<uint8_t>(shown.size(), 0)) << "the squares drawn with draw 0 went now";
}

TEST_F(SelectionTest, SelectingEverythingMakesTheSelectionListTheTableList) {
    KyPath *a = Own(Mixed());
    KyPath *b = Triangle(), *c = Triangle();
    LinkList({a, b, c});
    LinkSelection({b});
    SelectPoint(b, 1);
    ASSERT_EQ(KyPathAllPathSelected(c), 1);
    for (KyPath *r : {a, b, c}) EXPECT_EQ(r->flags & (KPF_SELECTED | KPF_HASSELPOINT), KPF_SELECTED);
    EXPECT_EQ(Selected(a), (Records{a, b, c}));
    EXPECT_FALSE(TypeAt(b, 1) & PT_SELECTED);
    EXPECT_EQ(KyPathIsAllPathsSelected(a), 1);
}

TEST_F(SelectionTest, RebuildingLinksTheFlaggedRecordsAndDropsNodeSelections) {
    KyPath *a = Mixed(), *b = Triangle(), *c = Triangle();
    LinkList({a, b, c});
    // Stale links, and flags that say otherwise.
    a->selNext = c;
    c->selPrev = a;
    LinkSelection({a});
    SelectPoint(a, 4);
    Install(a);
    EXPECT_EQ(PathRebuildSelection(b, dc_, view_), a) << "one selected: node selection stays";
    EXPECT_EQ(a->selNext, nullptr);
    EXPECT_TRUE(TypeAt(a, 4) & PT_SELECTED);

    c->flags |= KPF_SELECTED;
    KyPathDrawNodes(dc_, c, view_);
    Y32Rect r;
    EXPECT_EQ(PathRebuildSelection(c, dc_, view_), a);
    EXPECT_EQ(Selected(), (Records{a, c}));
    EXPECT_EQ(a->flags & KPF_HASSELPOINT, 0u);
    EXPECT_FALSE(TypeAt(a, 4) & PT_SELECTED);
    EXPECT_EQ(Window(), ExpectedWindow(a));

    // A picked segment goes the same way, with its highlight.
    KyPathDeSelectAll(dc_, a, view_, 1);
    EXPECT_TRUE(WindowBlank());
    LinkSelection({b});
    ASSERT_EQ(KyPathPickSegment(view_, b, 0, &r), 1);
    a->flags |= KPF_SELECTED;
    EXPECT_EQ(PathRebuildSelection(a, nullptr, view_), a);
    EXPECT_FALSE(b->flags & KPF_HASSELSEGMENT);
    EXPECT_EQ(Bytes(), FreshOverlay(a));
    EXPECT_EQ(PathRebuildSelection(nullptr), nullptr);
}

}  // namespace
