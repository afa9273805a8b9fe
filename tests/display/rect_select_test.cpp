#include <gtest/gtest.h>

#include "display/rect_select.h"
#include "window_fixture.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::SelectPoint;
using display_testing::Snapshot;
using display_testing::TypeAt;
using display_testing::WindowTest;
using marquee::Rect;

TEST(MarqueeGeometry, SegmentsAgainstTheRectangle) {
    const Rect r{10, 10, 20, 20};
    EXPECT_TRUE(marquee::SegmentHitsRect({12, 12}, {18, 18}, r)) << "inside";
    EXPECT_TRUE(marquee::SegmentHitsRect({10, 10}, {20, 10}, r)) << "along an edge";
    EXPECT_TRUE(marquee::SegmentHitsRect({0, 15}, {30, 15}, r)) << "through, ends outside";
    EXPECT_TRUE(marquee::SegmentHitsRect({0, 25}, {25, 0}, r)) << "across a corner";
    EXPECT_TRUE(marquee::SegmentHitsRect({0, 20}, {20, 0}, r)) << "touching a corner only";
    EXPECT_FALSE(marquee::SegmentHitsRect({0, 19}, {19, 0}, r)) << "beside a corner";
    EXPECT_FALSE(marquee::SegmentHitsRect({0, 0}, {5, 30}, r)) << "left of it";
    // On a line through the rectangle but short of it, either side.
    EXPECT_FALSE(marquee::SegmentHitsRect({0, 0}, {5, 5}, r));
    EXPECT_FALSE(marquee::SegmentHitsRect({25, 25}, {30, 30}, r));
    EXPECT_FALSE(marquee::SegmentHitsRect({12, 25}, {30, 25}, r)) << "below it";
    // A rectangle of zero width is a line segment of its own.
    const Rect thin{15, 0, 15, 30};
    EXPECT_TRUE(marquee::SegmentHitsRect({0, 15}, {30, 15}, thin));
    EXPECT_FALSE(marquee::SegmentHitsRect({0, 15}, {14, 15}, thin));
}

TEST(MarqueeGeometry, CurvesAgainstTheRectangle) {
    // An arch from (0, 0) to (40, 0) whose top is (20, 30); its controls
    // reach y = 40.
    const vec::Vec2 arch[4] = {{0, 0}, {0, 40}, {40, 40}, {40, 0}};
    EXPECT_TRUE(marquee::BezierHitsRect(arch, Rect{-1, -1, 41, 41})) << "control box inside";
    EXPECT_FALSE(marquee::BezierHitsRect(arch, Rect{50, 0, 60, 10})) << "apart";
    EXPECT_FALSE(marquee::BezierHitsRect(arch, Rect{15, 32, 25, 38})) << "under the controls, above the curve";
    EXPECT_TRUE(marquee::BezierHitsRect(arch, Rect{15, 28, 25, 32})) << "across the top";
    EXPECT_TRUE(marquee::BezierHitsRect(arch, Rect{18, 30, 22, 34})) << "touching the top";
    // A long curve is cut in pieces of about 10 pixels: a rectangle
    // between the chords of a coarser cut is still met.
    const vec::Vec2 wide[4] = {{0, 0}, {0, 4000}, {4000, 4000}, {4000, 0}};
    EXPECT_TRUE(marquee::BezierHitsRect(wide, Rect{1990, 2999.5, 2010, 3001}));
}

class MarqueeRecords : public testing_support::PathTest {};

TEST_F(MarqueeRecords, NodeModeWantsNodesStrictlyInside) {
    KyPath *arch = MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 0, 40}, {PT_BEZIERTO, 40, 40}, {PT_BEZIERTO, 40, 0}});
    // Controls inside, ends outside.
    EXPECT_FALSE(marquee::RecordCaught(arch, Rect{-5, 35, 45, 45}, false));
    EXPECT_FALSE(marquee::RecordCaught(arch, Rect{-5, 35, 45, 45}, true)) << "the curve stays below 30";
    EXPECT_FALSE(marquee::RecordCaught(arch, Rect{-5, 25, 45, 45}, false));
    EXPECT_TRUE(marquee::RecordCaught(arch, Rect{-5, 25, 45, 45}, true));
    EXPECT_TRUE(marquee::RecordCaught(arch, Rect{35, -5, 45, 5}, false));
    // Exactly on the edge is not strictly inside; zero width holds nothing.
    EXPECT_FALSE(marquee::RecordCaught(arch, Rect{40, -5, 45, 5}, false));
    EXPECT_FALSE(marquee::RecordCaught(arch, Rect{40, -5, 40, 5}, false));
    EXPECT_TRUE(marquee::RecordCaught(arch, Rect{40, -5, 40, 5}, true));
    KyPathDeletePtr(arch, 0);
}

class RectClipTest : public WindowTest {
  protected:
    int32_t Clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t flags) {
        changed_ = -1;
        return KyPathRectClip(x0, y0, x1, y1, table_, dc_, view_, flags, &changed_);
    }
    // Two separate lines and a two-member compound path.
    void Scene() {
        a_ = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 10}});
        b_ = MakePath({{PT_MOVETO, 10, 40}, {PT_LINETO, 30, 60}});
        c_ = MakePath({{PT_MOVETO, 60, 10}, {PT_LINETO, 80, 10}});
        d_ = MakePath({{PT_MOVETO, 60, 50}, {PT_LINETO, 80, 50}});
        LinkList({a_, b_, c_, d_});
        testing_support::LinkGroup({c_, d_});
    }
    KyPath *a_ = nullptr, *b_ = nullptr, *c_ = nullptr, *d_ = nullptr;
    int32_t changed_ = -1;
};

TEST_F(RectClipTest, ReportOnlyChangesNothing) {
    Scene();
    LinkSelection({a_});
    Install(a_);
    const std::vector<uint8_t> sa = Snapshot(a_), sb = Snapshot(b_), window = Window(), overlay = Bytes();
    // Segment mode catches b by its line crossing the rectangle.
    EXPECT_EQ(Clip(15, 45, 25, 50, KYPATH_RECT_SEGMENTS | KYPATH_RECT_REPORT | KYPATH_RECT_ADD), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_EQ(Clip(25, 0, 5, 70, KYPATH_RECT_NODES | KYPATH_RECT_REPORT | KYPATH_RECT_REPLACE), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_EQ(Clip(0, 0, 40, 20, KYPATH_RECT_NODES | KYPATH_RECT_REPORT | KYPATH_RECT_ADD), 1);
    EXPECT_EQ(changed_, 0) << "a is selected already";
    EXPECT_EQ(Clip(0, 0, 40, 20, KYPATH_RECT_NODES | KYPATH_RECT_REPORT | KYPATH_RECT_TOGGLE), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_EQ(Snapshot(a_), sa);
    EXPECT_EQ(Snapshot(b_), sb);
    EXPECT_EQ(Window(), window);
    EXPECT_EQ(Bytes(), overlay);
    EXPECT_EQ(Group()->firstSelected, a_);
    // Without an add, replace or toggle bit a catch changes nothing either.
    EXPECT_EQ(Clip(0, 0, 95, 95, KYPATH_RECT_SEGMENTS), 1);
    EXPECT_EQ(changed_, 0);
    EXPECT_EQ(Snapshot(b_), sb);
}

TEST_F(RectClipTest, ReplaceSelectsWholeGroupsAndTheWindowFollows) {
    Scene();
    LinkSelection({a_});
    SelectPoint(a_, 1);
    Install(a_);
    // Nodes of b and d strictly inside; corners in any order.
    EXPECT_EQ(Clip(90, 70, 5, 30, KYPATH_RECT_NODES | KYPATH_RECT_REPLACE), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_FALSE(a_->flags & (KPF_SELECTED | KPF_HASSELPOINT));
    EXPECT_EQ(Selected(), (Records{b_, c_, d_}));
    EXPECT_EQ(Window(), ExpectedWindow(a_));

    // A zero-width marquee catches nothing in node mode, even on a node;
    // replacing still empties the selection, which is a change.
    EXPECT_EQ(Clip(10, 0, 10, 90, KYPATH_RECT_NODES | KYPATH_RECT_REPLACE), 2);
    EXPECT_EQ(changed_, 1);
    EXPECT_EQ(Group()->firstSelected, nullptr);
    EXPECT_TRUE(WindowBlank());
    EXPECT_EQ(Clip(10, 0, 10, 90, KYPATH_RECT_NODES | KYPATH_RECT_REPLACE), 2);
    EXPECT_EQ(changed_, 0) << "nothing was selected to drop";
    // In segment mode the same line meets a's start and b's start.
    EXPECT_EQ(Clip(10, 0, 10, 90, KYPATH_RECT_SEGMENTS | KYPATH_RECT_REPLACE), 1);
    EXPECT_TRUE(a_->flags & KPF_SELECTED);
    EXPECT_TRUE(b_->flags & KPF_SELECTED);
    EXPECT_FALSE(c_->flags & KPF_SELECTED);
    EXPECT_EQ(Window(), ExpectedWindow(a_));
}

TEST_F(RectClipTest, AddingDropsNodeSelectionOfTheOneSelectedPath) {
    Scene();
    LinkSelection({a_});
    SelectPoint(a_, 0);
    Install(a_);
    EXPECT_EQ(Clip(5, 35, 35, 65, KYPATH_RECT_SEGMENTS | KYPATH_RECT_ADD), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_EQ(a_->flags & (KPF_SELECTED | KPF_HASSELPOINT), KPF_SELECTED);
    EXPECT_EQ(Selected(), (Records{a_, b_}));
    EXPECT_EQ(Window(), ExpectedWindow(a_));
}

TEST_F(RectClipTest, ToggleFlipsEachCaughtGroupOnce) {
    Scene();
    LinkSelection({a_});
    Install(a_);
    // Both members of the compound path and a are caught: a goes, the
    // compound path comes, and its second member does not flip it back.
    EXPECT_EQ(Clip(0, 0, 95, 55, KYPATH_RECT_SEGMENTS | KYPATH_RECT_TOGGLE), 1);
    EXPECT_EQ(changed_, 1);
    EXPECT_FALSE(a_->flags & KPF_SELECTED);
    EXPECT_TRUE(b_->flags & KPF_SELECTED) << "its line reaches into the rectangle";
    EXPECT_TRUE(c_->flags & KPF_SELECTED);
    EXPECT_TRUE(d_->flags & KPF_SELECTED);
    EXPECT_EQ(Window(), ExpectedWindow(a_));
    for (KyPath *r : {a_, b_, c_, d_}) EXPECT_EQ(r->flags & KPF_WORKMARK, 0u);
    // Only d caught: its whole group goes.
    EXPECT_EQ(Clip(55, 45, 85, 55, KYPATH_RECT_NODES | KYPATH_RECT_TOGGLE), 1);
    EXPECT_FALSE(c_->flags & KPF_SELECTED);
    EXPECT_FALSE(d_->flags & KPF_SELECTED);
    EXPECT_TRUE(b_->flags & KPF_SELECTED);
    EXPECT_EQ(Group()->firstSelected, b_);
    EXPECT_EQ(Window(), ExpectedWindow(a_));
}

TEST_F(RectClipTest, AListEndingWithAWrapBaselineOffersOnlyTheBaseline) {
    Scene();
    d_->flags |= KPF_LASTMARK;
    Install(a_);
    EXPECT_EQ(Clip(0, 0, 40, 70, KYPATH_RECT_SEGMENTS | KYPATH_RECT_ADD), 2) << "a and b are wrapped text";
    EXPECT_EQ(changed_, 0);
    EXPECT_EQ(Group()->firstSelected, nullptr);
    EXPECT_EQ(Clip(0, 0, 95, 20, KYPATH_RECT_SEGMENTS | KYPATH_RECT_ADD), 2) << "c is not the baseline";
    EXPECT_EQ(Clip(55, 45, 85, 55, KYPATH_RECT_NODES | KYPATH_RECT_ADD), 1);
    EXPECT_TRUE(d_->flags & KPF_SELECTED);
    EXPECT_TRUE(c_->flags & KPF_SELECTED) << "the baseline's group comes with it";
    EXPECT_FALSE(a_->flags & KPF_SELECTED);
    EXPECT_EQ(Group()->firstSelected, c_);
}

TEST_F(RectClipTest, NothingToExamine) {
    Scene();
    Install(a_);
    EXPECT_EQ(Clip(0, 0, 95, 95, KYPATH_RECT_ADD), 2) << "no mode bit";
    EXPECT_EQ(changed_, 0);
    EXPECT_FALSE(a_->flags & KPF_SELECTED);
    EXPECT_EQ(KyPathRectClip(0, 0, 95, 95, nullptr, dc_, view_, KYPATH_RECT_SEGMENTS | KYPATH_RECT_ADD, nullptr), 2);
    PathTable *empty = nullptr;
    ASSERT_EQ(KyPathNew(&empty), 1);
    int32_t changed = -1;
    EXPECT_EQ(KyPathRectClip(0, 0, 95, 95, empty, dc_, view_, KYPATH_RECT_SEGMENTS | KYPATH_RECT_ADD, &changed), 2);
    EXPECT_EQ(changed, 0);
    KyPathTblDelete(empty);
}

}  // namespace
