// Aligning, distributing and duplicating the selection of a table.
#include <gtest/gtest.h>

#include <vector>

#include "core/fixed.h"
#include "edit/transform.h"
#include "edit_support.h"
#include "platform/alloc_fail.h"

namespace {

using edit_test::LinkGroup;
using edit_test::LinkSelection;
using edit_test::ListInvariants;
using edit_test::PointsOf;
using edit_test::X;
using edit_test::Y;
using testing_support::MakePath;

class AlignTest : public edit_test::TableFixture {
  protected:
    // n records, each a 10-pixel line starting at (x[i], y[i]), linked as
    // the table list and the selection list of group 0.
    std::vector<KyPath *> Lines(const std::vector<double> &xs, double y_step = 0) {
        std::vector<KyPath *> v;
        KyPath *prev = nullptr;
        for (size_t i = 0; i < xs.size(); ++i) {
            KyPath *r = MakePath({{PT_MOVETO, xs[i], i * y_step}, {PT_LINETO, xs[i] + 10, i * y_step + 4}});
            r->prev = prev;
            if (prev) prev->next = r;
            r->flags |= KPF_SELECTED;
            r->selPrev = prev;
            if (prev) prev->selNext = r;
            prev = r;
            v.push_back(r);
        }
        Adopt(v[0]);
        return v;
    }
};

// Records every drawing call the operations make.
struct DrawLog {
    static std::vector<std::string> calls;
    static int32_t Hide(CoordStruct *, KyPath *, Y32Rect *r) {
        calls.push_back("hide");
        *r = Y32Rect{10, 10, 20, 20};
        return 1;
    }
    static int32_t Draw(CoordStruct *, KyPath *, Y32Rect *r) {
        calls.push_back("draw");
        *r = Y32Rect{15, 5, 30, 12};
        return 1;
    }
    static int32_t Nodes(HDC, KyPath *r, CoordStruct *) {
        calls.push_back((r->flags & KPF_SELECTED) ? "nodes-selected" : "nodes-unselected");
        return 1;
    }
};
std::vector<std::string> DrawLog::calls;

TEST(DistributeCentres, SpacesEvenlyAndLeavesOneOrTwoAlone) {
    double in3[3] = {0, 10, 40}, out3[3] = {};
    ASSERT_TRUE(edit::DistributeCentres(3, in3, out3));
    EXPECT_EQ(out3[0], 0.0);
    EXPECT_EQ(out3[1], 20.0);
    EXPECT_EQ(out3[2], 40.0);

    double in2[2] = {5, 1}, out2[2] = {};
    ASSERT_TRUE(edit::DistributeCentres(2, in2, out2));
    EXPECT_EQ(out2[0], 5.0);
    EXPECT_EQ(out2[1], 1.0);

    // Greedy in target order: target 10 goes to the nearer of 9 and 12
    // (9), target 20 then to 12, whatever order the centres come in.
    double in4[4] = {30, 12, 0, 9}, out4[4] = {};
    ASSERT_TRUE(edit::DistributeCentres(4, in4, out4));
    EXPECT_EQ(out4[0], 30.0);
    EXPECT_EQ(out4[1], 20.0);
    EXPECT_EQ(out4[2], 0.0);
    EXPECT_EQ(out4[3], 10.0);

    // A tie goes to the lower index.
    double tie[3] = {0, 20, 20}, out_tie[3] = {};
    ASSERT_TRUE(edit::DistributeCentres(3, tie, out_tie));
    EXPECT_EQ(out_tie[1], 10.0);
    EXPECT_EQ(out_tie[2], 20.0);
}

TEST(DistributeCentres, FarCentresAndNoMemoryStillGiveEveryResult) {
    // Beyond 10000 pixels: every entry still receives a target.
    double far[3] = {20000, 20100, 20400}, out[3] = {-1, -1, -1};
    ASSERT_TRUE(edit::DistributeCentres(3, far, out));
    EXPECT_EQ(out[0], 20000.0);
    EXPECT_EQ(out[1], 20200.0);
    EXPECT_EQ(out[2], 20400.0);

    double in[3] = {0, 10, 40}, res[3] = {-1, -1, -1};
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_FALSE(edit::DistributeCentres(3, in, res));
    }
    EXPECT_EQ(res[1], 10.0);  // nothing moves
}

TEST_F(AlignTest, DistributeMovesTheMiddleOfThreeToTwenty) {
    // Centres 0, 10, 40: lines from -5, 5, 35 (margins cancel out).
    auto v = Lines({-5, 5, 35});
    Y32Rect changed{};
    ASSERT_TRUE(edit::AlignSelection(t, edit::kDistributeX, nullptr, edit::Redraw{}, &changed));
    EXPECT_EQ(X(v[0], 0), -5.0);
    EXPECT_EQ(X(v[1], 0), 15.0);
    EXPECT_EQ(X(v[2], 0), 35.0);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(AlignTest, EdgeModesMeasureAndMoveOnlyTheFirst128) {
    std::vector<double> xs;
    for (int i = 0; i < 130; ++i) xs.push_back(100 - i * 0.5);
    auto v = Lines(xs, 1.0);
    // The leftmost of all is record 129, but only the first 128 count: their
    // extreme is record 127's left edge.
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignLeft, nullptr, edit::Redraw{}, nullptr));
    for (int i = 0; i < 128; ++i) ASSERT_EQ(X(v[i], 0), 100 - 127 * 0.5) << i;
    EXPECT_EQ(X(v[128], 0), 100 - 128 * 0.5);
    EXPECT_EQ(X(v[129], 0), 100 - 129 * 0.5);
    // Vertical positions untouched.
    EXPECT_EQ(Y(v[5], 0), 5.0);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(AlignTest, EdgesAndCentresMoveGroupsAsOne) {
    auto v = Lines({0, 20, 50});
    // Records 1 and 2 form one group: it is measured by its group box and
    // moves as one, record 2 riding along.
    LinkGroup({v[1], v[2]});
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignRight, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(X(v[0], 1), 60.0);  // right edges: 10 -> 60
    EXPECT_EQ(X(v[1], 0), 20.0);  // the group's right edge is already 60
    EXPECT_EQ(X(v[2], 0), 50.0);

    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignBottom, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(Y(v[0], 1), 4.0);  // every bottom is 4 already

    // Centres: the group (20..60, centre 40) and record 0 (50..60, centre
    // 55) meet at the selection's centre, 40 (the whole-pixel box 20..60).
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignCentresX, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(X(v[0], 0), 35.0);
    EXPECT_EQ(X(v[1], 0), 20.0);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(AlignTest, NothingModeRedrawsAndReportsTheUnion) {
    auto v = Lines({0, 20});
    auto before0 = PointsOf(v[0]);
    DrawLog::calls.clear();
    edit::Redraw redraw;
    redraw.hide_selected = DrawLog::Hide;
    redraw.draw_selected = DrawLog::Draw;
    CoordStruct view{};
    view.zoom = 1.0;
    Y32Rect changed{};
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignNothing, &view, redraw, &changed));
    EXPECT_EQ(DrawLog::calls, (std::vector<std::string>{"hide", "draw"}));
    EXPECT_EQ(changed.left, 10);
    EXPECT_EQ(changed.top, 5);
    EXPECT_EQ(changed.right, 30);
    EXPECT_EQ(changed.bottom, 20);
    EXPECT_EQ(PointsOf(v[0]), before0);

    Group().firstSelected = nullptr;
    EXPECT_FALSE(edit::AlignSelection(t, edit::kAlignLeft, &view, redraw, &changed));
    EXPECT_FALSE(edit::AlignSelection(nullptr, edit::kAlignLeft, &view, redraw, &changed));
}

class DuplicateTest : public AlignTest {};

TEST_F(DuplicateTest, CopiesTakeTheSelectionFifteenWindowPixelsAway) {
    auto v = Lines({0, 20, 40});
    // Deselect the middle one so that the selection is records 0 and 2;
    // the head carries a stroke description with an arrowhead path.
    v[0]->selNext = v[2];
    v[2]->selPrev = v[0];
    v[1]->selPrev = v[1]->selNext = nullptr;
    v[1]->flags = 0;
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(1, 2, MakePath({{PT_MOVETO, 0, 0}}), 0, 0, nullptr, 0, nullptr, 0, 3, 0, 0,
                                      &info),
              1);
    ASSERT_EQ(KyPathSetOutlineInfo(v[0], info), 1);

    CoordStruct view{};
    view.zoom = 2.0;
    DrawLog::calls.clear();
    edit::Redraw redraw;
    redraw.draw_nodes = DrawLog::Nodes;
    redraw.draw_selected = DrawLog::Draw;
    HDC dc = reinterpret_cast<HDC>(&view);  // any non-null handle: the log ignores it
    Y32Rect changed{};
    ASSERT_TRUE(edit::DuplicateSelection(dc, t, &view, redraw, &changed));

    // Five records now; the copies follow the old tail and are the selection.
    ASSERT_EQ(KyPathGetSubpathsNumber(v[0]), 5);
    KyPath *c0 = v[2]->next, *c1 = c0->next;
    EXPECT_EQ(Group().firstSelected, c0);
    EXPECT_EQ(c0->selNext, c1);
    EXPECT_TRUE(c0->flags & KPF_SELECTED);
    EXPECT_FALSE(v[0]->flags & KPF_SELECTED);
    EXPECT_FALSE(v[2]->flags & KPF_SELECTED);
    EXPECT_EQ(X(c0, 0), 7.5);  // 15 window pixels at zoom 2
    EXPECT_EQ(Y(c0, 0), 7.5);
    EXPECT_EQ(X(c1, 0), 47.5);
    EXPECT_EQ(X(v[0], 0), 0.0);
    // The sources keep their stroke description; the copy (not a head)
    // carries none and shares nothing with it.
    EXPECT_TRUE(path::HasOutlineInfo(v[0]));
    EXPECT_FALSE(path::HasOutlineInfo(c0));
    // Nodes are erased while the sources still show as selected.
    EXPECT_EQ(DrawLog::calls,
              (std::vector<std::string>{"nodes-selected", "nodes-selected", "draw"}));
    EXPECT_EQ(changed.left, 15);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(DuplicateTest, GroupLinksStayAmongTheCopies) {
    auto v = Lines({0, 20, 40});
    LinkGroup({v[0], v[1], v[2]});
    // Only the last two are selected: their copies form a group of two and
    // do not point back into the sources' chain.
    v[0]->flags = 0;
    v[0]->selNext = nullptr;
    v[1]->selPrev = nullptr;
    Group().firstSelected = v[1];
    CoordStruct view{};
    view.zoom = 1.0;
    ASSERT_TRUE(edit::DuplicateSelection(nullptr, t, &view, edit::Redraw{}, nullptr));
    KyPath *c0 = v[2]->next, *c1 = c0->next;
    EXPECT_EQ(c0->groupPrev, nullptr);
    EXPECT_EQ(c0->groupNext, c1);
    EXPECT_EQ(c1->groupPrev, c0);
    EXPECT_EQ(v[2]->groupNext, nullptr);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(DuplicateTest, FailedCopyLeavesEverythingAsItWas) {
    auto v = Lines({0, 20, 40});
    auto before = PointsOf(v[2]);
    size_t blocks = LiveBlocks();
    CoordStruct view{};
    view.zoom = 1.0;
    for (int fail_at = 0; fail_at < 3; ++fail_at) {
        plat::ScopedAllocFailure fail(fail_at);
        EXPECT_FALSE(edit::DuplicateSelection(nullptr, t, &view, edit::Redraw{}, nullptr)) << fail_at;
    }
    EXPECT_EQ(LiveBlocks(), blocks);
    EXPECT_EQ(KyPathGetSubpathsNumber(v[0]), 3);
    EXPECT_EQ(Group().firstSelected, v[0]);
    EXPECT_TRUE(v[2]->flags & KPF_SELECTED);
    EXPECT_EQ(PointsOf(v[2]), before);
    EXPECT_TRUE(ListInvariants(v[0], t));

    // Refusals: no view, an unselected selected path, no table.
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, t, nullptr, edit::Redraw{}, nullptr));
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, nullptr, &view, edit::Redraw{}, nullptr));
    v[0]->flags &= ~KPF_SELECTED;
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, t, &view, edit::Redraw{}, nullptr));
    v[0]->flags |= KPF_SELECTED;
}

}  // namespace
