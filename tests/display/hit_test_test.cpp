#include <gtest/gtest.h>

#include "display/hit_test.h"
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

class PtOnTest : public WindowTest {
  protected:
    int32_t PtOn(int32_t wx, int32_t wy, int32_t mode, KyPath **hit = nullptr) {
        KyPath *h = nullptr;
        index_ = -7;
        param_ = 7;
        int32_t answer = KyPathPtOn(wx, wy, mode, dc_, view_, table_, &h, &index_, &param_);
        if (hit) *hit = h;
        return answer;
    }
    int32_t index_ = 0;
    uint16_t param_ = 0;
};

// A node with one line leaving it at right angles to the click's offset
// (4, 3), so that only the node can be near the click (24, 23): the line's
// distance from it is 5. The line runs up and to the right, where the
// overlay probe (4 pixels left and up of the click, 3 right and down)
// sees its pixels.
KyPath *CornerAt(double node_x) {
    return MakePath({{PT_MOVETO, node_x, 20}, {PT_LINETO, node_x + 15, 0}});
}

TEST_F(PtOnTest, ANodeIsHitStrictlyWithinFourWindowPixels) {
    // 4 pixels across: the node is missed and so is everything else; a
    // click deselects the path and erases its nodes.
    KyPath *far = CornerAt(20.0);
    LinkSelection({far});
    Install(far);
    ASSERT_FALSE(WindowBlank());
    ASSERT_TRUE(hit::OverlayNear(view::WritableOverlay(table_, view_), 24, 23)) << "the geometry decides";
    KyPath *hit = far;
    EXPECT_EQ(PtOn(24, 23, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_NOTHING);
    EXPECT_EQ(hit, nullptr);
    EXPECT_EQ(PtOn(24, 23, KYPATH_HIT_CLICK), KYPATH_HIT_NOTHING);
    EXPECT_FALSE(far->flags & KPF_SELECTED);
    EXPECT_EQ(Group()->firstSelected, nullptr);
    EXPECT_TRUE(WindowBlank());
}

TEST_F(PtOnTest, ANodeIsHitAtThreePointNinePixelsAndAClickSelectsIt) {
    KyPath *near = CornerAt(20.1);
    LinkSelection({near});
    Install(near);
    KyPath *hit = nullptr;
    EXPECT_EQ(PtOn(24, 23, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_SELECTED);
    EXPECT_EQ(hit, near);
    EXPECT_EQ(index_, 0);
    EXPECT_EQ(param_, 0);
    // The same click on the path selected alone selects the node; the
    // window shows it as the one active square.
    const std::vector<uint8_t> whole_path_nodes = Window();
    EXPECT_EQ(PtOn(24, 23, KYPATH_HIT_CLICK), KYPATH_HIT_SELECTED);
    EXPECT_TRUE(TypeAt(near, 0) & PT_SELECTED);
    EXPECT_FALSE(TypeAt(near, 1) & PT_SELECTED);
    EXPECT_EQ(near->flags & (KPF_SELECTED | KPF_HASSELPOINT), KPF_SELECTED | KPF_HASSELPOINT);
    EXPECT_EQ(Group()->firstSelected, near);
    EXPECT_NE(Window(), whole_path_nodes);
    EXPECT_EQ(Window(), ExpectedWindow(near));

    // At zoom 2 the same four window pixels are two image units. The node
    // shows at window (20.2, 20).
    view_->zoom = 2.0;
    view_->scrollX = 20;
    view_->scrollY = 20;
    EXPECT_EQ(KyPathPtOn(25, 23, KYPATH_HIT_TOGGLE, nullptr, view_, table_, &hit, nullptr, nullptr),
              KYPATH_HIT_NOTHING)
        << "4.8 window pixels across";
    EXPECT_TRUE(near->flags & KPF_SELECTED);
    EXPECT_EQ(KyPathPtOn(24, 23, KYPATH_HIT_TOGGLE, nullptr, view_, table_, &hit, nullptr, nullptr),
              KYPATH_HIT_SELECTED)
        << "3.8 window pixels across";
    EXPECT_FALSE(near->flags & KPF_SELECTED) << "toggled off";
}

TEST_F(PtOnTest, QueryModeChangesNothingAnywhere) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 80, 10}, {PT_LINETO, 80, 30}});
    KyPath *b = MakePath({{PT_MOVETO, 10, 60}, {PT_BEZIERTO, 30, 90}, {PT_BEZIERTO, 60, 90}, {PT_BEZIERTO, 80, 60}});
    LinkList({a, b});
    LinkSelection({a});
    SelectPoint(a, 1);
    Install(a);
    const std::vector<uint8_t> sa = Snapshot(a), sb = Snapshot(b), window = Window(), overlay = Bytes();
    KyPath *hit = nullptr;
    // On the curve of the unselected path, on a node of the selected one,
    // on its line, and on empty space (which a click would clear).
    EXPECT_EQ(PtOn(45, 82, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_UNSELECTED);
    EXPECT_EQ(hit, b);
    EXPECT_EQ(index_, 0);
    EXPECT_NEAR(param_, 32767, 700) << "about the middle of the curve";
    EXPECT_EQ(PtOn(81, 11, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_SELECTED);
    EXPECT_EQ(index_, 1);
    EXPECT_EQ(PtOn(45, 12, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_SELECTED);
    EXPECT_EQ(index_, 0);
    EXPECT_EQ(param_, static_cast<uint16_t>(35.0 / 70.0 * 65535.0));
    EXPECT_EQ(PtOn(40, 40, KYPATH_HIT_QUERY, &hit), KYPATH_HIT_NOTHING);
    EXPECT_EQ(hit, nullptr);
    EXPECT_EQ(Snapshot(a), sa);
    EXPECT_EQ(Snapshot(b), sb);
    EXPECT_EQ(Window(), window);
    EXPECT_EQ(Bytes(), overlay);
    EXPECT_EQ(Group()->firstSelected, a);
}

TEST_F(PtOnTest, AClickOnEmptySpaceClearsTheSelectionAndItsNodes) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 30}, {PT_LINETO, 30, 10}});
    KyPath *b = MakePath({{PT_MOVETO, 10, 70}, {PT_LINETO, 80, 70}});
    LinkList({a, b});
    LinkSelection({a, b});
    Install(a);
    ASSERT_FALSE(WindowBlank());
    // Far from every outline: the overlay probe answers at once.
    KyPath *hit = a;
    EXPECT_EQ(PtOn(60, 40, KYPATH_HIT_CLICK, &hit), KYPATH_HIT_NOTHING);
    EXPECT_EQ(hit, nullptr);
    EXPECT_TRUE(WindowBlank());
    EXPECT_EQ(Selected(), Records{});
    EXPECT_FALSE((a->flags | b->flags) & KPF_SELECTED);
    // Next to outline pixels of the diagonal but 4.24 pixels from it: the
    // probe lets the click through and the geometry misses.
    LinkSelection({a, b});
    Group()->firstSelected = a;
    KyPathTblRepaintNodes(dc_, table_, view_);
    ASSERT_TRUE(hit::OverlayNear(view::WritableOverlay(table_, view_), 23, 23));
    EXPECT_EQ(PtOn(23, 23, KYPATH_HIT_CLICK), KYPATH_HIT_NOTHING);
    EXPECT_TRUE(WindowBlank());
    EXPECT_EQ(Group()->firstSelected, nullptr);
}

TEST_F(PtOnTest, ClickingPointZeroOfAClosedSubpathSelectsTheClosingPoint) {
    KyPath *sq = testing_support::Rect(20, 20, 60, 60);
    LinkSelection({sq});
    Install(sq);
    EXPECT_EQ(PtOn(21, 19, KYPATH_HIT_CLICK), KYPATH_HIT_SELECTED);
    EXPECT_EQ(index_, 4);
    EXPECT_FALSE(TypeAt(sq, 0) & PT_SELECTED);
    EXPECT_TRUE(TypeAt(sq, 4) & PT_SELECTED);
    EXPECT_EQ(Window(), ExpectedWindow(sq));
    // Toggling the path off erases its squares as they were drawn, the
    // active one included.
    EXPECT_EQ(PtOn(21, 19, KYPATH_HIT_TOGGLE), KYPATH_HIT_SELECTED);
    EXPECT_FALSE(sq->flags & (KPF_SELECTED | KPF_HASSELPOINT));
    EXPECT_FALSE(TypeAt(sq, 4) & PT_SELECTED);
    EXPECT_TRUE(WindowBlank());
    // Point 0 itself, as a hit on a record whose closing point lies
    // elsewhere would name it, also stands for the closing point.
    PathClearPointSelection(sq);
    EXPECT_EQ(selection::SelectHitNode(sq, 0, -1), 4);
    EXPECT_FALSE(TypeAt(sq, 0) & PT_SELECTED);
    // Control points stand for the remembered node or their curve end.
    KyPath *c = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 1, 5}, {PT_BEZIERTO, 4, 5}, {PT_BEZIERTO, 5, 0}}));
    EXPECT_EQ(selection::SelectHitNode(c, 1, -1), 0);
    EXPECT_EQ(selection::SelectHitNode(c, 2, -1), 3);
    PathClearPointSelection(c);
    EXPECT_EQ(selection::SelectHitNode(c, 2, 0), 0);
}

TEST_F(PtOnTest, ClickingAGroupMemberSelectsTheGroupInGroupOrder) {
    // A, B and C form one compound path; D lies between them in the list.
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 10}});
    KyPath *d = MakePath({{PT_MOVETO, 10, 40}, {PT_LINETO, 30, 40}});
    KyPath *b = MakePath({{PT_MOVETO, 50, 10}, {PT_LINETO, 70, 10}});
    KyPath *c = MakePath({{PT_MOVETO, 50, 60}, {PT_LINETO, 70, 60}});
    LinkList({a, d, b, c});
    testing_support::LinkGroup({a, b, c});
    LinkSelection({d});
    Install(a);
    EXPECT_EQ(PtOn(60, 61, KYPATH_HIT_CLICK), KYPATH_HIT_UNSELECTED);
    EXPECT_FALSE(d->flags & KPF_SELECTED);
    EXPECT_EQ(Selected(), (Records{a, b, c}));
    EXPECT_EQ(Window(), ExpectedWindow(a));
    EXPECT_EQ(KyPathGetSelectedGroupsNumber(table_), 1);

    // The same through KyPathSingleSelectPath from the middle member, after
    // D was selected again.
    KyPathDeSelectAll(dc_, a, view_, 1);
    LinkSelection({d});
    KyPathDrawNodes(dc_, d, view_);
    Group()->firstSelected = d;
    EXPECT_EQ(KyPathSingleSelectPath(table_, b, view_, dc_, 1), 1);
    EXPECT_EQ(Selected(), (Records{a, b, c}));
    EXPECT_FALSE(d->flags & KPF_SELECTED);
    EXPECT_EQ(Window(), ExpectedWindow(a));
    // A record of another list is refused.
    KyPath *stray = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}}));
    EXPECT_EQ(KyPathSingleSelectPath(table_, stray, view_, dc_, 1), 0);
    EXPECT_EQ(KyPathSingleSelectPath(nullptr, b, view_, dc_, 1), 0);
}

TEST_F(PtOnTest, ASecondSelectedRecordDropsNodeSelectionOnTheWindowToo) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 10}, {PT_LINETO, 40, 40}});
    KyPath *b = MakePath({{PT_MOVETO, 60, 60}, {PT_LINETO, 85, 85}});
    LinkList({a, b});
    LinkSelection({a});
    SelectPoint(a, 1);
    Install(a);
    const std::vector<uint8_t> with_active = Window();
    EXPECT_EQ(PtOn(72, 73, KYPATH_HIT_ADD), KYPATH_HIT_UNSELECTED);
    EXPECT_EQ(a->flags & (KPF_SELECTED | KPF_HASSELPOINT), KPF_SELECTED);
    EXPECT_FALSE(TypeAt(a, 1) & PT_SELECTED);
    EXPECT_TRUE(b->flags & KPF_SELECTED);
    EXPECT_EQ(Selected(), (Records{a, b}));
    EXPECT_NE(Window(), with_active);
    EXPECT_EQ(Window(), ExpectedWindow(a)) << "a's active square is gone, b's nodes are shown";

    // A click on a path of a multiple selection changes nothing.
    const std::vector<uint8_t> sa = Snapshot(a), sb = Snapshot(b);
    EXPECT_EQ(PtOn(40, 41, KYPATH_HIT_CLICK), KYPATH_HIT_SELECTED);
    EXPECT_EQ(Snapshot(a), sa);
    EXPECT_EQ(Snapshot(b), sb);

    // Toggling takes b out again and erases its nodes.
    EXPECT_EQ(PtOn(85, 84, KYPATH_HIT_TOGGLE), KYPATH_HIT_SELECTED);
    EXPECT_FALSE(b->flags & KPF_SELECTED);
    EXPECT_EQ(Selected(), Records{a});
    EXPECT_EQ(Window(), ExpectedWindow(a));
}

TEST_F(PtOnTest, PickedSegmentsLoseTheirHighlightWhenTheSelectionGoes) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 80, 10}, {PT_LINETO, 80, 80}});
    LinkSelection({a});
    Install(a);
    Y32Rect r;
    ASSERT_EQ(KyPathPickSegment(view_, a, 1, &r), 1);
    EXPECT_TRUE((At(79, 40) | At(80, 40)) & 0x40);
    EXPECT_EQ(PtOn(40, 40, KYPATH_HIT_CLICK), KYPATH_HIT_NOTHING);
    EXPECT_FALSE(a->flags & (KPF_SELECTED | KPF_HASSELSEGMENT));
    EXPECT_EQ(Bytes(), FreshOverlay(a)) << "no highlight left on an unpicked segment";
}

TEST_F(PtOnTest, ModesAndArgumentsOutsideTheRules) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 80, 10}});
    Install(a);
    EXPECT_EQ(PtOn(10, 10, 0), KYPATH_HIT_BADMODE);
    EXPECT_EQ(PtOn(10, 10, 64 | 1), KYPATH_HIT_BADMODE);
    KyPath *hit = a;
    EXPECT_EQ(KyPathPtOn(10, 10, KYPATH_HIT_CLICK, dc_, nullptr, table_, &hit, nullptr, nullptr), KYPATH_HIT_NOTHING);
    EXPECT_EQ(hit, nullptr);
    EXPECT_FALSE(a->flags & KPF_SELECTED);
    // An empty group.
    PathTable *empty = nullptr;
    ASSERT_EQ(KyPathNew(&empty), 1);
    EXPECT_EQ(KyPathPtOn(10, 10, KYPATH_HIT_CLICK, dc_, view_, empty, nullptr, nullptr, nullptr), KYPATH_HIT_NOTHING);
    KyPathTblDelete(empty);
    // Without an overlay nothing is screened, and the geometry still answers.
    uint8_t *keep = view_->lpDB;
    view_->lpDB = nullptr;
    EXPECT_EQ(PtOn(11, 10, KYPATH_HIT_CLICK), KYPATH_HIT_UNSELECTED);
    view_->lpDB = keep;
    EXPECT_TRUE(a->flags & KPF_SELECTED);
}

TEST_F(PtOnTest, OutsideTheClientAreaOnlyNodesNearTheSelectionCount) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 90}, {PT_LINETO, 80, 90}, {PT_LINETO, 80, 99}});
    LinkSelection({a});
    Install(a);
    // Below the window (rows 96 and on): the end node is found, the line
    // next to the click is not tested.
    EXPECT_EQ(PtOn(81, 98, KYPATH_HIT_QUERY), KYPATH_HIT_SELECTED);
    EXPECT_EQ(index_, 2);
    EXPECT_EQ(PtOn(79, 97, KYPATH_HIT_QUERY), KYPATH_HIT_SELECTED);
    EXPECT_EQ(PtOn(60, 97, KYPATH_HIT_QUERY), KYPATH_HIT_NOTHING) << "the line is not tested out there";
    // Far outside the selection's box the probe fails at once.
    EXPECT_EQ(PtOn(-30, 97, KYPATH_HIT_CLICK), KYPATH_HIT_NOTHING);
    EXPECT_FALSE(a->flags & KPF_SELECTED);
    EXPECT_EQ(PtOn(81, 98, KYPATH_HIT_QUERY), KYPATH_HIT_NOTHING) << "no selection: nothing is near outside";
}

// ---- The engine on its own -------------------------------------------------

class HitEngine : public testing_support::PathTest {};

TEST_F(HitEngine, LineParametersStayOnTheSegment) {
    const hit::Probe inside{0, 0, 4.0, true};
    uint16_t param = 1;
    hit::Probe q = inside;
    q.x = 52;
    q.y = 1;
    ASSERT_TRUE(hit::LineTest({0, 0}, {50, 0}, q, &param));
    EXPECT_EQ(param, 65535) << "beyond the end: held at the end";
    q.x = -3;
    ASSERT_TRUE(hit::LineTest({0, 0}, {50, 0}, q, &param));
    EXPECT_EQ(param, 0) << "before the start: held at the start";
    q.x = 12.5;
    q.y = -4.0;
    ASSERT_TRUE(hit::LineTest({0, 0}, {50, 0}, q, &param)) << "at most the tolerance away";
    EXPECT_EQ(param, static_cast<uint16_t>(0.25 * 65535));
    q.y = -4.01;
    EXPECT_FALSE(hit::LineTest({0, 0}, {50, 0}, q, &param));
    q = inside;
    q.x = 3;
    ASSERT_TRUE(hit::LineTest({1, 1}, {1.0005, 1}, q, &param)) << "a very short line is a point";
    EXPECT_EQ(param, 32768);
    q.x = 6;
    EXPECT_FALSE(hit::LineTest({1, 1}, {1.0005, 1}, q, &param));
}

TEST_F(HitEngine, SelectedRecordsFirstAndOnlyTheBaselineOfAWrap) {
    // Two records over the same line: the later, selected one wins.
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 40, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 40, 0}, {PT_LINETO, 40, 30}});
    LinkList({a, b});
    hit::Probe q{20, 1, 4.0, true};
    hit::Hit h;
    ASSERT_TRUE(hit::TestList(a, q, &h));
    EXPECT_EQ(h.record, a);
    b->flags |= KPF_SELECTED;
    ASSERT_TRUE(hit::TestList(a, q, &h));
    EXPECT_EQ(h.record, b);
    // Within a record the last segment is tried first: the joint node at
    // (40, 0) is found as the end of segment 0 only when segment 1 misses.
    q = hit::Probe{40, 1, 4.0, true};
    ASSERT_TRUE(hit::TestRecord(b, q, &h));
    EXPECT_TRUE(h.node);
    EXPECT_EQ(h.index, 1);
    // Outside the client area only nodes count.
    q = hit::Probe{20, 1, 4.0, false};
    EXPECT_FALSE(hit::TestList(a, q, &h));
    // A wrap baseline at the end of the list: only it is tested.
    b->flags = KPF_LASTMARK;
    q = hit::Probe{20, 1, 4.0, true};
    ASSERT_TRUE(hit::TestList(a, q, &h));
    EXPECT_EQ(h.record, b);
    q = hit::Probe{40, 20, 4.0, true};
    ASSERT_TRUE(hit::TestList(a, q, &h));
    b->flags = 0;
    a->flags = KPF_LASTMARK;
    KyPath *c = MakePath({{PT_MOVETO, 0, 50}, {PT_LINETO, 40, 50}});
    b->next = c;
    c->prev = b;
    c->flags = KPF_LASTMARK;
    q = hit::Probe{20, 1, 4.0, true};
    EXPECT_FALSE(hit::TestList(a, q, &h)) << "the baseline is elsewhere";
    KyPathDeletePtr(a, 0);
}

TEST_F(HitEngine, CurvesAreHitWithinTheToleranceOfTheirNearestPoint) {
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 0, 40}, {PT_BEZIERTO, 40, 40}, {PT_BEZIERTO, 40, 0}});
    hit::Hit h;
    // The apex is (20, 30), the curve's highest point.
    ASSERT_TRUE(hit::TestRecord(p, hit::Probe{20, 33.9, 4.0, true}, &h));
    EXPECT_FALSE(h.node);
    EXPECT_EQ(h.index, 0);
    EXPECT_EQ(h.param, 32767);
    EXPECT_FALSE(hit::TestRecord(p, hit::Probe{20, 34.1, 4.0, true}, &h));
    // A control point is never hit.
    EXPECT_FALSE(hit::TestRecord(p, hit::Probe{0, 40, 4.0, true}, &h));
    KyPathDeletePtr(p, 0);
}

}  // namespace
