// Aligning, distributing and duplicating the selection of a table.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "core/fixed.h"
#include "edit/transform.h"
#include "edit_support.h"
#include "platform/alloc_fail.h"

namespace {

using edit_test::LinkGroup;
using edit_test::ListInvariants;
using edit_test::PointsOf;
using edit_test::X;
using edit_test::Y;
using testing_support::MakePath;
using XYs = std::vector<std::pair<double, double>>;

class AlignTest : public edit_test::TableFixture {
  protected:
    // Records, each a line from (xs[i], ys[i]) to 10 right and 4 down of it,
    // linked as the table list and the selection list of group 0.
    std::vector<KyPath *> Lines(const std::vector<double> &xs, const std::vector<double> &ys) {
        std::vector<KyPath *> v;
        for (size_t i = 0; i < xs.size(); ++i) {
            v.push_back(MakePath({{PT_MOVETO, xs[i], ys[i]}, {PT_LINETO, xs[i] + 10, ys[i] + 4}}));
            v[i]->flags |= KPF_SELECTED;
            if (i) {
                v[i]->prev = v[i]->selPrev = v[i - 1];
                v[i - 1]->next = v[i - 1]->selNext = v[i];
            }
        }
        Adopt(v[0]);
        return v;
    }
    std::vector<KyPath *> Lines(const std::vector<double> &xs) { return Lines(xs, std::vector<double>(xs.size())); }
    static XYs Starts(const std::vector<KyPath *> &v) {
        XYs s;
        for (const KyPath *r : v) s.emplace_back(X(r, 0), Y(r, 0));
        return s;
    }
    CoordStruct view{};
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

TEST(DistributeCentres, SpacesEvenlyGreedilyAndLeavesOneOrTwoAlone) {
    struct Case {
        std::vector<double> in, out;
    };
    const Case cases[] = {
        {{0, 10, 40}, {0, 20, 40}},
        {{7}, {7}},
        {{5, 1}, {5, 1}},
        // Greedy in target order: target 10 goes to the nearer of 9 and 12
        // (9), target 20 then to 12, whatever order the centres come in.
        {{30, 12, 0, 9}, {30, 20, 0, 10}},
        {{0, 20, 20}, {0, 10, 20}},  // a tie goes to the lower index
        {{20000, 20100, 20400}, {20000, 20200, 20400}},  // beyond 10000 pixels every entry still gets a target
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const int32_t n = static_cast<int32_t>(cases[i].in.size());
        std::vector<double> out(cases[i].in.size(), -1);
        ASSERT_TRUE(edit::DistributeCentres(n, cases[i].in.data(), out.data())) << "case " << i;
        EXPECT_EQ(out, cases[i].out) << "case " << i;
    }
    // No memory for the work marks: nothing moves.
    double in[3] = {0, 10, 40}, res[3] = {-1, -1, -1};
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_FALSE(edit::DistributeCentres(3, in, res));
    }
    EXPECT_EQ(std::vector<double>(res, res + 3), std::vector<double>(in, in + 3));
}

TEST_F(AlignTest, EveryModeMovesOnItsAxisOnly) {
    // Boxes [0, 10] x [0, 4], [20, 30] x [3, 7] and [50, 60] x [12, 16]; the
    // selection's box is [0, 60] x [0, 16].
    struct Case {
        int32_t mode;
        XYs starts;
    };
    const Case cases[] = {
        {edit::kAlignLeft, {{0, 0}, {0, 3}, {0, 12}}},
        {edit::kAlignRight, {{50, 0}, {50, 3}, {50, 12}}},
        {edit::kAlignTop, {{0, 0}, {20, 0}, {50, 0}}},
        {edit::kAlignBottom, {{0, 12}, {20, 12}, {50, 12}}},
        {edit::kAlignCentresX, {{25, 0}, {25, 3}, {25, 12}}},
        {edit::kAlignCentresY, {{0, 6}, {20, 6}, {50, 6}}},
        {edit::kDistributeX, {{0, 0}, {25, 3}, {50, 12}}},  // centres 5, 25, 55 to 5, 30, 55
        {edit::kDistributeY, {{0, 0}, {20, 6}, {50, 12}}},  // centres 2, 5, 14 to 2, 8, 14
        {edit::kAlignNothing, {{0, 0}, {20, 3}, {50, 12}}},
    };
    for (const Case &c : cases) {
        auto v = Lines({0, 20, 50}, {0, 3, 12});
        ASSERT_TRUE(edit::AlignSelection(t, c.mode, nullptr, edit::Redraw{}, nullptr)) << c.mode;
        EXPECT_EQ(Starts(v), c.starts) << "mode " << c.mode;
        EXPECT_EQ(std::make_pair(X(v[2], 1) - X(v[2], 0), Y(v[2], 1) - Y(v[2], 0)), std::make_pair(10.0, 4.0))
            << "mode " << c.mode << ": whole records move";
        EXPECT_TRUE(ListInvariants(v[0], t)) << c.mode;
        Group().first = Group().firstSelected = nullptr;
        KyPathDeletePtr(v[0], 0);
    }
}

TEST_F(AlignTest, EdgeModesMeasureAndMoveOnlyTheFirst128) {
    std::vector<double> xs, ys;
    for (int i = 0; i < 130; ++i) xs.push_back(100 - i * 0.5), ys.push_back(i);
    auto v = Lines(xs, ys);
    // The leftmost of all is record 129, but only the first 128 count: their
    // extreme is record 127's left edge.
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignLeft, nullptr, edit::Redraw{}, nullptr));
    for (int i = 0; i < 128; ++i) ASSERT_EQ(X(v[i], 0), 100 - 127 * 0.5) << i;
    EXPECT_EQ(X(v[128], 0), 100 - 128 * 0.5);
    EXPECT_EQ(X(v[129], 0), 100 - 129 * 0.5);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(AlignTest, EdgesAndCentresMoveGroupsAsOne) {
    auto v = Lines({0, 20, 50});
    // Records 1 and 2 form one group: it is measured by its group box and
    // moves as one, record 2 riding along.
    LinkGroup({v[1], v[2]});
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignRight, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(Starts(v), (XYs{{50, 0}, {20, 0}, {50, 0}})) << "the group's right edge is already 60";
    // Centres: the group (20..60, centre 40) and record 0 (50..60, centre
    // 55) meet at the selection's centre, 40 (the whole-pixel box 20..60).
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignCentresX, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(Starts(v), (XYs{{35, 0}, {20, 0}, {50, 0}}));
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(AlignTest, NothingModeRedrawsAndReportsTheUnion) {
    auto v = Lines({0, 20});
    auto before0 = PointsOf(v[0]);
    DrawLog::calls.clear();
    edit::Redraw redraw;
    redraw.hide_selected = DrawLog::Hide;
    redraw.draw_selected = DrawLog::Draw;
    view.zoom = 1.0;
    Y32Rect changed{};
    ASSERT_TRUE(edit::AlignSelection(t, edit::kAlignNothing, &view, redraw, &changed));
    EXPECT_EQ(DrawLog::calls, (std::vector<std::string>{"hide", "draw"}));
    EXPECT_EQ(std::make_tuple(changed.left, changed.top, changed.right, changed.bottom), std::make_tuple(10, 5, 30, 20));
    EXPECT_EQ(PointsOf(v[0]), before0);

    Group().firstSelected = nullptr;
    EXPECT_FALSE(edit::AlignSelection(t, edit::kAlignLeft, &view, redraw, &changed));
    EXPECT_FALSE(edit::AlignSelection(nullptr, edit::kAlignLeft, &view, redraw, &changed));
}

using DuplicateTest = AlignTest;

TEST_F(DuplicateTest, CopiesTakeTheSelectionFifteenWindowPixelsAway) {
    auto v = Lines({0, 20, 40});
    // The selection is records 0 and 2; the head carries a stroke
    // description with an arrowhead path.
    v[0]->selNext = v[2];
    v[2]->selPrev = v[0];
    v[1]->selPrev = v[1]->selNext = nullptr;
    v[1]->flags = 0;
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(1, 2, MakePath({{PT_MOVETO, 0, 0}}), 0, 0, nullptr, 0, nullptr, 0, 3, 0, 0,
                                      &info),
              1);
    ASSERT_EQ(KyPathSetOutlineInfo(v[0], info), 1);

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
    EXPECT_FALSE(v[0]->flags & KPF_SELECTED);
    EXPECT_FALSE(v[2]->flags & KPF_SELECTED);
    EXPECT_EQ(Starts({c0, c1, v[0]}), (XYs{{7.5, 7.5}, {47.5, 7.5}, {0, 0}})) << "15 window pixels at zoom 2";
    // The sources keep their stroke description; the copy (not a head)
    // carries none and shares nothing with it.
    EXPECT_TRUE(path::HasOutlineInfo(v[0]));
    EXPECT_FALSE(path::HasOutlineInfo(c0));
    // Nodes are erased while the sources still show as selected, so the
    // exclusive-or squares go away exactly as they were drawn.
    EXPECT_EQ(DrawLog::calls, (std::vector<std::string>{"nodes-selected", "nodes-selected", "draw"}));
    EXPECT_EQ(changed.left, 15);
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(DuplicateTest, GroupLinksStayAmongTheCopies) {
    auto v = Lines({0, 20, 40});
    LinkGroup({v[0], v[1], v[2]});
    // Only the last two are selected: their copies form a group of two and
    // do not point back into the sources' chain.
    v[0]->flags = 0;
    v[0]->selNext = v[1]->selPrev = nullptr;
    Group().firstSelected = v[1];
    view.zoom = 1.0;
    ASSERT_TRUE(edit::DuplicateSelection(nullptr, t, &view, edit::Redraw{}, nullptr));
    EXPECT_EQ(edit_test::Groups(v[0]), "0-1-2 3-4");
    EXPECT_TRUE(ListInvariants(v[0], t));
}

TEST_F(DuplicateTest, FailedCopyLeavesEverythingAsItWas) {
    auto v = Lines({0, 20, 40});
    auto before = PointsOf(v[2]);
    size_t blocks = LiveBlocks();
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

    // Refusals: no view, no table, an unselected selected path.
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, t, nullptr, edit::Redraw{}, nullptr));
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, nullptr, &view, edit::Redraw{}, nullptr));
    v[0]->flags &= ~KPF_SELECTED;
    EXPECT_FALSE(edit::DuplicateSelection(nullptr, t, &view, edit::Redraw{}, nullptr));
    v[0]->flags |= KPF_SELECTED;
}

}  // namespace
