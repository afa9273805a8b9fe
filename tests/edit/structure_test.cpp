// Joins and splits, segment conversion, deletion, inversion and the list
// operations. Every edit is followed by the list invariant check.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "core/fixed.h"
#include "edit/structure.h"
#include "edit_support.h"
#include "platform/alloc_fail.h"

namespace {

using edit_test::ExpectReport;
using edit_test::Groups;
using edit_test::LinkGroup;
using edit_test::LinkSelection;
using edit_test::ListInvariants;
using edit_test::PointsOf;
using edit_test::Pts;
using edit_test::Singles;
using edit_test::T;
using edit_test::X;
using edit_test::Y;
using testing_support::DebugCapture;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::Pt;

constexpr uint16_t M = PT_MOVETO, L = PT_LINETO, B = PT_BEZIERTO, C = PT_CLOSEFIGURE, S = PT_SELECTED,
                   SEG = PT_SEGSELECTED;

class StructureTest : public edit_test::TableFixture {
  protected:
    OutlineInfo *NewInfo() {
        OutlineInfo *info = nullptr;
        KyPathAssignOutlineInfo(1, 1, MakePath({{M, 0, 0}, {L, 1, 1}}), 0, 0, nullptr, 0, nullptr, 0, 2, 0, 0, &info);
        return info;
    }
    // Puts one record in the table as its only, selected path.
    KyPath *Alone(KyPath *p, uint32_t extra_flags) {
        p->flags |= KPF_SELECTED | extra_flags;
        Adopt(p);
        return p;
    }
    // Takes a record back out of the table so that the next case can start.
    void Release(KyPath *p) {
        Group().first = Group().firstSelected = nullptr;
        KyPathDeletePtr(p, 0);
    }
};

// ---------------------------------------------------------------- groups

TEST_F(StructureTest, JoinTakesMembersOutOfTheirOldChains) {
    auto r = Singles(5);
    LinkGroup({r[1], r[2], r[3]});
    LinkSelection({r[0], r[2], r[4]});
    Adopt(r[0]);
    ASSERT_EQ(KyPathJoin(r[2]), 1);
    EXPECT_EQ(Groups(r[0]), "0-2-4 1-3") << "the records left behind stay a group, linked past 2";
    EXPECT_EQ(std::make_pair(r[0]->selNext, r[2]->selNext), std::make_pair(r[2], r[4])) << "the selection stays";
    EXPECT_TRUE(ListInvariants(r[0], t));
    ASSERT_EQ(KyPathDisjoin(r[4]), 1);
    EXPECT_EQ(Groups(r[0]), "1-3");
    EXPECT_TRUE(ListInvariants(r[0], t));
    ASSERT_EQ(KyPathJoinAll(r[3]), 1);
    EXPECT_EQ(Groups(r[0]), "0-1-2-3-4");
    EXPECT_TRUE(ListInvariants(r[0], t));
    // Unselected records are refused by the selection forms.
    EXPECT_EQ(KyPathJoin(r[1]), 0);
    EXPECT_EQ(KyPathDisjoin(r[1]), 0);
    EXPECT_EQ(KyPathJoin(nullptr), 0);
}

TEST_F(StructureTest, AStrokeDescriptionIsNeverOverwrittenByGroupLinks) {
    auto r = Singles(3);
    LinkSelection({r[0], r[1], r[2]});
    OutlineInfo *info = NewInfo();
    ASSERT_EQ(KyPathSetOutlineInfo(r[0], info), 1);
    Adopt(r[0]);
    EXPECT_EQ(KyPathJoin(r[1]), 0);
    EXPECT_EQ(KyPathJoinAll(r[2]), 0);
    EXPECT_EQ(path::OutlineOf(r[0]), info);
    EXPECT_EQ(Groups(r[0]), "");
    EXPECT_TRUE(ListInvariants(r[0], t));
    // Disjoining everything keeps the slot.
    LinkGroup({r[1], r[2]});
    ASSERT_EQ(KyPathDisjoinAll(r[2]), 1);
    EXPECT_EQ(path::OutlineOf(r[0]), info);
    EXPECT_EQ(Groups(r[0]), "");
    EXPECT_TRUE(ListInvariants(r[0], t));
}

TEST_F(StructureTest, DisjoinAllRepairsClosingTypesOfZero) {
    KyPath *a = MakePath({{M, 0, 0}, {L, 1, 0}, {0, 0, 0}});
    KyPath *b = MakePath({{M, 0, 0}, {L, 1, 0}});
    LinkList({a, b});
    LinkGroup({a, b});
    Adopt(a);
    DebugCapture capture;
    ASSERT_EQ(KyPathDisjoinAll(b), 1);
    EXPECT_EQ(T(a, 2), B | C);
    EXPECT_EQ(T(b, 1), L);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "- Invalid point type, corrected to PT_BEZIERTO|PT_CLOSEFIGURE.\n");
    EXPECT_EQ(Groups(a), "");
    EXPECT_TRUE(ListInvariants(a, t));
}

// ---------------------------------------------------------------- questions

TEST_F(StructureTest, SimplestSubpathAndConvertibility) {
    struct Case {
        std::initializer_list<Pt> pts;
        int32_t simplest;
    };
    const Case cases[] = {
        {{{M, 0, 0}, {L, 1, 0}}, 0},
        {{{M, 0, 0}, {B, 1, 0}, {B, 2, 0}, {B, 3, 0}}, 0},
        {{{M, 0, 0}, {L, 1, 0}, {L, 2, 0}}, 1},
        {{{M, 0, 0}}, -1},
        {{{M, 0, 0}, {L, 1, 0}, {L, 1, 1}, {L | C, 0, 0}}, 0},
        {{{M, 0, 0}, {B, 1, 0}, {B, 2, 0}, {B, 3, 0}, {B, 2, 2}, {B | C, 0, 0}}, -1},
        {{{M, 0, 0}, {L, 1, 0}, {B, 2, 0}, {B, 3, 0}, {B | C, 0, 0}}, 0},
        {{{M, 0, 0}, {B, 1, 0}, {B, 2, 0}, {B, 3, 0}, {B, 2, 2}, {B, 1, 2}, {B | C, 0, 0}}, 0},
        {{{M, 0, 0}, {L, 1, 0}, {L, 1, 1}, {L, 0, 1}, {L | C, 0, 0}}, 1},
        {{{M, 0, 0}, {L | C, 0, 0}}, -1},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        KyPath *p = MakePath(cases[i].pts);
        EXPECT_EQ(KyPathIsSimplestSubpath(p), cases[i].simplest) << "case " << i;
        KyPathDeletePtr(p, 0);
    }
    EXPECT_EQ(KyPathIsSimplestSubpath(nullptr), 0);

    // A line converts always; a curve only while the line it leaves is a
    // valid subpath; a mark on a control point picks no whole segment; no
    // segment flag on the record, nothing picked.
    const Case convert[] = {
        {{{M | SEG, 0, 0}, {B, 1, 0}, {B, 2, 0}, {B, 3, 0}}, 1},
        {{{M, 0, 0}, {L | SEG, 1, 0}, {B, 2, 0}, {B, 3, 0}, {B | C, 0, 0}}, 0},
        {{{M, 0, 0}, {B | SEG, 1, 0}, {B, 2, 0}, {B, 3, 0}, {L, 4, 4}}, 0},
        {{{M, 0, 0}, {L, 1, 0}, {L | SEG, 2, 0}, {L, 2, 2}}, 1},
    };
    for (size_t i = 0; i < std::size(convert); ++i) {
        KyPath *p = MakePath(convert[i].pts);
        p->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
        EXPECT_EQ(KyPathSelectedSegmentCanBeConverted(p), convert[i].simplest) << "case " << i;
        p->flags &= ~KPF_HASSELSEGMENT;
        EXPECT_EQ(KyPathSelectedSegmentCanBeConverted(p), 0) << "case " << i;
        KyPathDeletePtr(p, 0);
    }

    KyPath *open = MakePath({{M, 0, 0}, {L, 1, 0}});
    KyPath *closed = MakePath({{M, 0, 0}, {L, 1, 0}, {L | C, 0, 0}});
    EXPECT_EQ(KyPathIsSingleOpenPath(open), 1);
    EXPECT_EQ(KyPathIsSingleOpenPath(closed), 0);
    LinkList({open, closed});
    EXPECT_EQ(KyPathIsSingleOpenPath(open), 0);
    KyPathDeletePtr(open, 0);
}

// ---------------------------------------------------------------- conversion

TEST_F(StructureTest, ALoneLineBecomesAnArchAndBack) {
    Alone(MakePath({{M | SEG, 0, 0}, {L, 100, 0}}), KPF_HASSELSEGMENT);
    Y32Rect changed{};
    ASSERT_TRUE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, &changed));
    KyPath *p = Group().first;
    // The apex is half the chord off its middle, at (50, -50); each handle
    // halves the way to it. The start keeps its pick.
    EXPECT_EQ(PointsOf(p), Pts({{M | SEG, 0, 0}, {B, 25, -25}, {B, 75, -25}, {B, 100, 0}}));
    EXPECT_TRUE(ListInvariants(p, t));

    ASSERT_TRUE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, &changed));
    p = Group().first;
    EXPECT_EQ(PointsOf(p), Pts({{M | SEG, 0, 0}, {L, 100, 0}}));
    EXPECT_TRUE(ListInvariants(p, t));
}

TEST_F(StructureTest, HandlesFollowTheNeighbours) {
    // A square: both neighbours meet the converted side at 90 degrees, so
    // each handle lies on the bisector, |u_b . u_c| * L * 0.5522847 out
    // (h along each axis).
    const double h = std::sqrt(0.5) * std::sqrt(0.5) * 100 * 0.5522847;
    // A line straight on from its predecessor: the start handle is the chord
    // turned by -30 degrees, a third of the chord long; with nothing after
    // it, the end handle halves the way from there to the end.
    const double rx = 100.0 / 3 * std::cos(30 * M_PI / 180), ry = -100.0 / 3 * 0.5;
    struct Case {
        std::initializer_list<Pt> pts;
        int32_t start;
        double c1x, c1y, c2x, c2y;
        uint16_t last;  // the type of the last point afterwards
    };
    const Case cases[] = {
        {{{M | SEG, 0, 0}, {L, 100, 0}, {L, 100, 100}, {L, 0, 100}, {L | C, 0, 0}}, 0, h, -h, 100 - h, -h, L | C},
        {{{M, -100, 0}, {L | SEG, 0, 0}, {L, 100, 0}}, 1, rx, ry, (rx + 100) / 2, ry / 2, B},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        const int32_t count = static_cast<int32_t>(c.pts.size());
        Alone(MakePath(c.pts), KPF_HASSELSEGMENT);
        ASSERT_TRUE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, nullptr)) << "case " << i;
        KyPath *p = Group().first;
        ASSERT_EQ(p->count, count + 2) << "case " << i;
        EXPECT_NEAR(X(p, c.start + 1), c.c1x, 1e-4) << "case " << i;
        EXPECT_NEAR(Y(p, c.start + 1), c.c1y, 1e-4) << "case " << i;
        EXPECT_NEAR(X(p, c.start + 2), c.c2x, 1e-4) << "case " << i;
        EXPECT_NEAR(Y(p, c.start + 2), c.c2y, 1e-4) << "case " << i;
        EXPECT_EQ(T(p, count + 1), c.last) << "case " << i;
        EXPECT_TRUE(ListInvariants(p, t)) << "case " << i;
        Release(p);
    }
}

TEST_F(StructureTest, ConversionThatCannotGrowLeavesTheRecordAndRedrawsIt) {
    // A record at exactly its room: turning a line into a curve must grow
    // the block.
    KyPath *p = MakePath({{M | SEG, 0, 0}});
    for (int i = 1; i < 100; ++i) {
        FIXED xy[2] = {i * 65536, 0};
        ASSERT_EQ(KyPathAddPoint(&p, xy, L), 1);
    }
    KyPath *before_rec = MakePath({{M, -5, -5}});
    KyPath *after_rec = MakePath({{M, 500, 5}});
    LinkList({before_rec, p, after_rec});
    p->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
    Adopt(before_rec);
    Group().firstSelected = p;
    auto before = PointsOf(p);

    static std::vector<std::string> calls;
    calls.clear();
    edit::Redraw redraw;
    redraw.hide_selected_segments = [](CoordStruct *, KyPath *, Y32Rect *r) {
        calls.push_back("hide");
        *r = Y32Rect{0, 0, 4, 4};
        return 1;
    };
    redraw.draw_selected_segments = [](CoordStruct *, KyPath *, Y32Rect *r) {
        calls.push_back("draw");
        *r = Y32Rect{2, 2, 8, 8};
        return 1;
    };
    CoordStruct view{};
    Y32Rect changed{};
    c32ClearDLLErrInfo();
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_FALSE(edit::ConvertSelectedSegment(&view, t, redraw, &changed));
    }
    ExpectReport(1001, 10);
    EXPECT_EQ(PointsOf(p), before);
    EXPECT_EQ(calls, (std::vector<std::string>{"hide", "draw"}));
    EXPECT_EQ(changed.right, 8);
    EXPECT_TRUE(ListInvariants(p, t));

    // With memory the block grows (and may move): the neighbours and the
    // group follow it.
    ASSERT_TRUE(edit::ConvertSelectedSegment(&view, t, redraw, &changed));
    KyPath *moved = Group().firstSelected;
    EXPECT_EQ(moved->count, 102);
    EXPECT_EQ(before_rec->next, moved);
    EXPECT_EQ(after_rec->prev, moved);
    EXPECT_TRUE(ListInvariants(before_rec, t));
}

TEST_F(StructureTest, ConversionRefusals) {
    // The mark on a curve's control point: no whole segment starts there.
    KyPath *p = Alone(MakePath({{M, 0, 0}, {B | SEG, 1, 0}, {B, 2, 0}, {B, 3, 0}, {L, 4, 4}}), KPF_HASSELSEGMENT);
    auto before = PointsOf(p);
    c32ClearDLLErrInfo();
    EXPECT_FALSE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, nullptr));
    ExpectReport(3200, 10);
    EXPECT_EQ(PointsOf(p), before);

    // Grouped, or one of several selected: refused without a report.
    KyPath *q = MakePath({{M | SEG, 0, 0}, {L, 1, 1}});
    q->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
    path::Points(p)[1].type = B;
    p->flags &= ~KPF_HASSELSEGMENT;
    LinkList({p, q});
    LinkGroup({p, q});
    Group().firstSelected = q;
    EXPECT_FALSE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, nullptr));
    p->groupNext = q->groupPrev = nullptr;
    LinkSelection({p, q});
    Group().firstSelected = p;
    EXPECT_FALSE(edit::ConvertSelectedSegment(nullptr, t, edit::Redraw{}, nullptr));
    EXPECT_EQ(q->count, 2);
    EXPECT_FALSE(edit::ConvertSelectedSegment(nullptr, nullptr, edit::Redraw{}, nullptr));
    EXPECT_TRUE(ListInvariants(p, t));
}

// ---------------------------------------------------------------- deletion

TEST_F(StructureTest, DeletingNodesJoinsTheSegmentsAroundThem) {
    struct Case {
        const char *what;
        std::initializer_list<Pt> in, out;
    };
    const Case cases[] = {
        {"inner line node", {{M, 0, 0}, {L | S, 10, 0}, {L, 20, 5}}, {{M, 0, 0}, {L, 20, 5}}},
        {"first node, open", {{M | S, 0, 0}, {L, 10, 0}, {L, 20, 0}}, {{M, 10, 0}, {L, 20, 0}}},
        {"last line node, open", {{M, 0, 0}, {L, 10, 0}, {L | S, 20, 0}}, {{M, 0, 0}, {L, 10, 0}}},
        {"closing line node",
         {{M, 0, 0}, {L, 100, 0}, {L, 100, 100}, {L, 0, 100}, {L | C | S, 0, 0}},
         {{M, 0, 100}, {L, 100, 0}, {L, 100, 100}, {L | C, 0, 100}}},
        {"between two curves",
         {{M, 0, 0}, {B, 0, 10}, {B, 10, 20}, {B | S, 20, 20}, {B, 30, 20}, {B, 40, 10}, {B, 40, 0}},
         {{M, 0, 0}, {B, 0, 10}, {B, 40, 10}, {B, 40, 0}}},
        {"curve before a line",
         {{M, 0, 0}, {B, 10, 10}, {B, 20, 10}, {B | S, 30, 0}, {L, 60, 0}, {L, 90, 0}},
         {{M, 0, 0}, {B, 10, 10}, {B, 20, 10}, {B, 60, 0}, {L, 90, 0}}},
        {"closing curve, line first",
         {{M, 0, 0}, {L, 100, 0}, {L, 100, 100}, {B, 60, 120}, {B, 20, 120}, {B | C | S, 0, 0}},
         {{M, 100, 0}, {L, 100, 100}, {B, 60, 120}, {B, 20, 120}, {B | C, 100, 0}}},
        {"closing curve, curve first",
         {{M, 0, 0}, {B, 10, -10}, {B, 20, -10}, {B, 30, 0}, {B, 40, 10}, {B, 50, 10}, {B, 60, 0}, {B, 50, -20},
          {B, 10, -20}, {B | C | S, 0, 0}},
         {{M, 30, 0}, {B, 40, 10}, {B, 50, 10}, {B, 60, 0}, {B, 50, -20}, {B, 20, -10}, {B | C, 30, 0}}},
        // Deleting goes on until the record is a single line; the marks left
        // are cleared.
        {"four selected nodes",
         {{M, 0, 0}, {L | S, 1, 0}, {L | S, 2, 0}, {L | S, 3, 0}, {L | S, 4, 0}},
         {{M, 0, 0}, {L, 4, 0}}},
    };
    for (const Case &c : cases) {
        KyPath *p = Alone(MakePath(c.in), KPF_HASSELPOINT);
        p->shape = 2;
        ASSERT_TRUE(edit::DeleteSelection(t, nullptr, edit::Redraw{}, nullptr)) << c.what;
        ASSERT_EQ(Group().first, p) << c.what;
        EXPECT_EQ(PointsOf(p), Pts(c.out)) << c.what;
        EXPECT_FALSE(p->flags & KPF_HASSELPOINT) << c.what;
        EXPECT_EQ(p->shape, 0) << c.what;
        EXPECT_TRUE(ListInvariants(p, t)) << c.what;
        Release(p);
    }
}

TEST_F(StructureTest, DeletingANodeOfASmallestSubpathDeletesTheRecord) {
    KyPath *a = MakePath({{M, 0, 0}, {L | S, 10, 0}});
    KyPath *b = MakePath({{M, 5, 5}, {L, 6, 6}});
    LinkList({a, b});
    a->flags |= KPF_SELECTED | KPF_HASSELPOINT;
    Adopt(a);
    ASSERT_TRUE(edit::DeleteSelection(t, nullptr, edit::Redraw{}, nullptr));
    EXPECT_EQ(Group().first, b);
    EXPECT_EQ(Group().firstSelected, nullptr);
    EXPECT_EQ(b->prev, nullptr);
    EXPECT_TRUE(ListInvariants(b, t));
}

TEST_F(StructureTest, DeletingRecordsKeepsTheRestLinked) {
    auto r = Singles(4);
    LinkGroup({r[1], r[2], r[3]});
    LinkSelection({r[0], r[2]});
    KyPathSetOutlineInfo(r[0], NewInfo());  // freed with record 0
    Adopt(r[0]);
    // Record 1 looks selected but is not in the selection list: it stays.
    r[1]->flags |= KPF_SELECTED;

    static int erased = 0;
    erased = 0;
    edit::Redraw redraw;
    redraw.erase_selection = [](CoordStruct *, KyPath *, Y32Rect *rc) {
        ++erased;
        *rc = Y32Rect{1, 2, 3, 4};
        return 1;
    };
    uint8_t overlay[4] = {};
    CoordStruct view{};
    view.lpDB = overlay;
    Y32Rect changed{};
    ASSERT_TRUE(edit::DeleteSelection(t, &view, redraw, &changed));
    EXPECT_EQ(erased, 1);
    EXPECT_EQ(changed.bottom, 4);
    EXPECT_EQ(Group().first, r[1]);
    EXPECT_EQ(Group().firstSelected, nullptr);
    EXPECT_EQ(KyPathGetSubpathsNumber(r[3]), 2);
    EXPECT_EQ(Groups(r[1]), "0-1");
    EXPECT_TRUE(ListInvariants(r[1], t));

    // With nothing selected, refused; without an overlay nothing is erased.
    EXPECT_FALSE(edit::DeleteSelection(t, &view, redraw, &changed));
    LinkSelection({r[3]});
    Group().firstSelected = r[3];
    view.lpDB = nullptr;
    ASSERT_TRUE(edit::DeleteSelection(t, &view, redraw, &changed));
    EXPECT_EQ(erased, 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(r[1]), 1);
    EXPECT_EQ(Groups(r[1]), "");
    EXPECT_TRUE(ListInvariants(r[1], t));
}

TEST_F(StructureTest, DeleteLinkReportsTheBoxFromBefore) {
    KyPath *a = MakePath({{M, 10, 10}, {L, 20, 30}});
    KyPath *b = MakePath({{M, 0, 0}});
    LinkList({a, b});
    LinkSelection({a});
    Adopt(a);
    Y32Rect changed{};
    ASSERT_EQ(KyPathDeleteLink(t, nullptr, &changed), 1);
    EXPECT_EQ(changed.left, 5);
    EXPECT_EQ(changed.top, 5);
    EXPECT_EQ(changed.right, 26);
    EXPECT_EQ(changed.bottom, 36);
    EXPECT_EQ(Group().first, b);
    // Nothing selected any more: a failure, not a success.
    EXPECT_EQ(KyPathDeleteLink(t, nullptr, &changed), 0);
    EXPECT_EQ(changed.right, 0);
    EXPECT_EQ(KyPathDeleteLink(nullptr, nullptr, &changed), 0);
    EXPECT_TRUE(ListInvariants(b, t));
}

TEST_F(StructureTest, DeleteLastSegmentKeepsPointZero) {
    KyPath *p = MakePath({{M, 0, 0}, {L | SEG, 1, 0}, {B, 2, 0}, {B, 3, 0}, {B, 4, 0}, {L | S, 5, 0}});
    p->flags |= KPF_SELECTED | KPF_HASSELSEGMENT | KPF_HASSELPOINT;
    ASSERT_EQ(KyPathDeleteLinkLastSegment(p), 1);
    EXPECT_EQ(p->count, 5);
    EXPECT_FALSE(p->flags & KPF_HASSELPOINT);  // the selected node went
    ASSERT_EQ(KyPathDeleteLinkLastSegment(p), 1);
    EXPECT_EQ(p->count, 2);
    // Point 1 now ends the record and starts no segment.
    EXPECT_EQ(T(p, 1), L);
    EXPECT_FALSE(p->flags & KPF_HASSELSEGMENT);
    ASSERT_EQ(KyPathDeleteLinkLastSegment(p), 1);
    EXPECT_EQ(p->count, 1);
    EXPECT_EQ(KyPathDeleteLinkLastSegment(p), 0);
    KyPathDeletePtr(p, 0);

    KyPath *cut = MakePath({{M, 0, 0}, {B, 1, 1}, {B, 2, 2}});  // a curve cut short
    EXPECT_EQ(KyPathDeleteLinkLastSegment(cut), 0);
    EXPECT_EQ(cut->count, 3);
    KyPathDeletePtr(cut, 0);
    EXPECT_EQ(KyPathDeleteLinkLastSegment(nullptr), 0);
}

// ---------------------------------------------------------------- inversion

TEST_F(StructureTest, InvertingTwiceRestoresPointsAndKinds) {
    KyPath *a = MakePath({{M, 0, 0}, {L, 10, 0}, {B, 12, 2}, {B, 14, 6}, {B, 10, 10}, {L | C, 0, 0}});
    KyPath *b = MakePath({{M, 5, 5}, {B, 6, 5}, {B, 7, 6}, {B, 7, 7}, {L, 9, 9}, {L, 9, 12}});
    KyPath *c = MakePath({{M, 1, 1}, {L, 2, 2}});  // unselected: untouched
    LinkList({a, b, c});
    LinkSelection({a, b});
    Adopt(a);
    auto a0 = PointsOf(a), b0 = PointsOf(b), c0 = PointsOf(c);
    // Each point takes the kind of the one that followed it, so a curve's
    // run stays handle, handle, end; a closed record stays closed.
    ASSERT_EQ(KyPathInvertSubpaths(b), 1);
    EXPECT_EQ(PointsOf(b), Pts({{M, 9, 12}, {L, 9, 9}, {L, 7, 7}, {B, 7, 6}, {B, 6, 5}, {B, 5, 5}}));
    EXPECT_EQ(PointsOf(a), Pts({{M, 0, 0}, {L, 10, 10}, {B, 14, 6}, {B, 12, 2}, {B, 10, 0}, {L | C, 0, 0}}));
    ASSERT_EQ(KyPathInvertSubpaths(a), 1);
    EXPECT_EQ(PointsOf(a), a0);
    EXPECT_EQ(PointsOf(b), b0);
    EXPECT_EQ(PointsOf(c), c0);
    EXPECT_TRUE(ListInvariants(a, t));
}

TEST_F(StructureTest, InversionFailuresChangeNothing) {
    KyPath *a = MakePath({{M, 0, 0}, {L, 10, 0}, {L, 10, 5}});
    KyPath *b = MakePath({{M, 0, 0}, {L, 3, 0}, {L, 3, 5}, {L, 6, 6}});
    // A rotated rectangle keeps its parameter order.
    KyPath *r = MakePath({{M, 0, 0}, {PT_ROTATEDRECT, 10, 10}, {L, 0.5, 0}});
    LinkList({a, b, r});
    LinkSelection({a, b, r});
    Adopt(a);
    auto a0 = PointsOf(a), b0 = PointsOf(b), r0 = PointsOf(r);
    c32ClearDLLErrInfo();
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathInvertSubpaths(a), 0);
    }
    ExpectReport(1001, 41);
    EXPECT_EQ(PointsOf(a), a0);
    EXPECT_EQ(PointsOf(b), b0);

    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathInvertSubpaths(nullptr), 0);
    ExpectReport(3200, 41);
    a->flags |= KPF_HASSELPOINT;
    path::Points(a)[1].type |= S;
    EXPECT_EQ(KyPathInvertSubpaths(a), 0);
    path::Points(a)[1].type &= 0x7FFF;
    a->flags &= ~KPF_HASSELPOINT;

    ASSERT_EQ(KyPathInvertSubpaths(a), 1);
    EXPECT_EQ(PointsOf(r), r0);
    EXPECT_NE(PointsOf(b), b0);
    EXPECT_TRUE(ListInvariants(a, t));
}

// ---------------------------------------------------------------- list operations

TEST_F(StructureTest, ChainingListsAndRecords) {
    KyPath *a = MakePath({{M, 0, 0}}), *b = MakePath({{M, 1, 0}}), *c = MakePath({{M, 2, 0}}),
           *d = MakePath({{M, 3, 0}});
    KyPath *holder = nullptr;
    ASSERT_EQ(KyPathChainPaths(&holder, a), 1);
    EXPECT_EQ(holder, a);
    LinkList({c, d});
    ASSERT_EQ(KyPathChainPaths(&holder, d), 1);  // the whole list of d follows a
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->prev, a);
    EXPECT_EQ(KyPathChainPaths(&holder, c), 0);  // the same list again: no ring
    EXPECT_EQ(PathLast(a)->next, nullptr);
    EXPECT_EQ(KyPathChainPaths(&holder, nullptr), 0);
    EXPECT_EQ(KyPathChainPaths(nullptr, b), 0);
    EXPECT_TRUE(ListInvariants(a));
    KyPathDeletePtr(a, 0);

    // Table list and group chain at once; a stroke description ends the
    // group there but not the table list.
    KyPath *r[3] = {MakePath({{M, 0, 0}}), MakePath({{M, 1, 0}}), b};
    KyPathSetOutlineInfo(r[0], NewInfo());
    EXPECT_EQ(KyPathChainKyPath(3, r), r[0]);
    EXPECT_EQ(KyPathGetSubpathsNumber(r[0]), 3);
    EXPECT_NE(path::OutlineOf(r[0]), nullptr);
    EXPECT_EQ(Groups(r[0]), "1-2");
    EXPECT_TRUE(ListInvariants(r[1]));
    EXPECT_EQ(KyPathChainKyPath(0, r), nullptr);
    KyPath *with_null[2] = {r[0], nullptr};
    EXPECT_EQ(KyPathChainKyPath(2, with_null), nullptr);
    KyPathDeletePtr(r[0], 0);
}

TEST_F(StructureTest, DeleteNodeFromListSplicesAllThreeLists) {
    auto r = Singles(3);
    LinkGroup({r[0], r[1], r[2]});
    LinkSelection({r[0], r[1], r[2]});
    KyPath *holder = r[0];
    KyPath *stranger = MakePath({{M, 9, 9}});
    KyPathDeleteNodeFromList(&holder, stranger);  // not in the list: kept
    EXPECT_EQ(stranger->count, 1);
    KyPathDeletePtr(stranger, 0);

    KyPathDeleteNodeFromList(&holder, r[1]);
    EXPECT_EQ(KyPathGetSubpathsNumber(r[0]), 2);
    EXPECT_EQ(Groups(r[0]), "0-1");
    EXPECT_EQ(r[2]->selPrev, r[0]);
    EXPECT_TRUE(ListInvariants(r[0]));

    // The head, taking its stroke description (and so leaving the group)
    // with it.
    r[0]->groupNext = r[2]->groupPrev = nullptr;
    KyPathSetOutlineInfo(r[0], NewInfo());
    KyPathDeleteNodeFromList(&holder, r[0]);
    EXPECT_EQ(holder, r[2]);
    EXPECT_EQ(r[2]->prev, nullptr);
    EXPECT_EQ(r[2]->selPrev, nullptr);
    EXPECT_TRUE(ListInvariants(r[2]));
    KyPathDeletePtr(r[2], 0);
}

TEST_F(StructureTest, ExchangePutsTheNewRecordInEveryPlace) {
    auto r = Singles(3);
    KyPath *a = r[0], *b = r[1];
    LinkGroup({r[0], r[1], r[2]});
    LinkSelection({a, b});
    Adopt(a);
    KyPath *fresh = MakePath({{M, 7, 7}});
    KyPathExchangeSubpathInTable(t, a, fresh);
    // It took a's place in the selection, so it is selected (a past fault:
    // the links were taken over without the flag).
    EXPECT_TRUE(fresh->flags & KPF_SELECTED);
    EXPECT_EQ(Group().first, fresh);
    EXPECT_EQ(Group().firstSelected, fresh);
    EXPECT_EQ(b->prev, fresh);
    EXPECT_EQ(b->groupPrev, fresh);
    EXPECT_EQ(b->selPrev, fresh);
    EXPECT_EQ(a->next, nullptr);
    EXPECT_TRUE(ListInvariants(fresh, t));

    // A newcomer that is already linked somewhere is refused.
    KyPath *x = MakePath({{M, 0, 0}}), *y = MakePath({{M, 0, 0}});
    LinkList({x, y});
    KyPathExchangeSubpathInTable(t, b, y);
    EXPECT_EQ(fresh->next, b);
    EXPECT_EQ(y->prev, x);
    KyPathDeletePtr(x, 0);

    // The old head's stroke description moves with its place.
    OutlineInfo *info = NewInfo();
    fresh->groupNext = b->groupPrev = nullptr;
    KyPathSetOutlineInfo(fresh, info);
    KyPathExchangeSubpathInTable(t, fresh, a);
    EXPECT_EQ(path::OutlineOf(a), info);
    EXPECT_FALSE(path::HasOutlineInfo(fresh));
    EXPECT_EQ(Group().first, a);
    EXPECT_TRUE(ListInvariants(a, t));
    fresh->flags = 0;
    KyPathDeletePtr(fresh, 0);
}

TEST_F(StructureTest, TracedPointsBecomeAClosedRecord) {
    KyPathTracedPoint open[3] = {{0, 0, 2, 0}, {10.5, 0, 2, 0}, {10, 10, 4, 0}};
    KyPath *p = KyPathR2VToKyPath(3, open);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(PointsOf(p), Pts({{M, 0, 0}, {L, 10.5, 0}, {B, 10, 10}, {L | C, 0, 0}}));
    EXPECT_EQ(p->flags, KPF_SELECTED);
    EXPECT_EQ(BlockSize(p), path::BlockBytes(4));
    KyPathDeletePtr(p, 0);

    KyPathTracedPoint closed[4] = {{1, 1, 2, 0}, {5, 1, 4, 0}, {5, 5, 4, 0}, {1, 1, 4, 0}};
    p = KyPathR2VToKyPath(4, closed);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 4);
    EXPECT_EQ(T(p, 3), B | C);
    KyPathDeletePtr(p, 0);

    EXPECT_EQ(KyPathR2VToKyPath(1, closed), nullptr);
    EXPECT_EQ(KyPathR2VToKyPath(3, nullptr), nullptr);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathR2VToKyPath(3, open), nullptr);
    }
}

}  // namespace
