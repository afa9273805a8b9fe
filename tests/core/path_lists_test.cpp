#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/path_fixture.h"
#include "support/records.h"

namespace {

using testing_support::DebugCapture;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::LinkGroup;
using testing_support::LinkSelection;
using testing_support::PathTest;

class ListsTest : public PathTest {
  protected:
    // Three records in one table list; b and c form a group chain, a and c
    // are selected, and the head carries a stroke description with two
    // attached paths.
    void BuildChain() {
        a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED, 10, 0}});
        b = MakePath({{PT_MOVETO, 1, 1}, {PT_BEZIERTO, 2, 2}, {PT_BEZIERTO, 3, 3}, {PT_BEZIERTO | PT_CLOSEFIGURE, 1, 1}});
        c = MakePath({{PT_MOVETO, 5, 5}, {PT_LINETO, 6, 5}});
        PathPoint *slot;
        ASSERT_EQ(PathReserve(&c, &slot, 150), 1);  // c gets a bigger block
        c->count = 2;
        LinkList({a, b, c});
        LinkGroup({b, c});
        a->flags = KPF_HASSELPOINT;
        LinkSelection({a, c});
        OutlineInfo *info = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(1, 2, MakePath({{PT_MOVETO, 9, 9}}), 3, 4,
                                          MakePath({{PT_MOVETO, 8, 8}, {PT_LINETO, 7, 7}}), 2, nullptr, 10, 3, 0,
                                          0, &info),
                  1);
        info->arrowsOff = 1;
        info->extra[4] = 77;
        ASSERT_EQ(KyPathSetOutlineInfo(a, info), 1);
    }
    KyPath *a = nullptr, *b = nullptr, *c = nullptr;
};

// Everything a copy must reproduce, captured by value.
struct Snapshot {
    std::vector<std::vector<unsigned char>> bodies;  // record bytes after the links
    std::vector<int> group_next, sel_next;           // positions, -1 for none
    explicit Snapshot(KyPath *head) {
        std::vector<KyPath *> order;
        for (KyPath *r = head; r; r = r->next) order.push_back(r);
        auto pos = [&](KyPath *x) {
            for (size_t i = 0; i < order.size(); ++i)
                if (order[i] == x) return static_cast<int>(i);
            return -1;
        };
        for (KyPath *r : order) {
            size_t size = mem::PathBlockSize(r);
            const unsigned char *bytes = reinterpret_cast<const unsigned char *>(r);
            std::vector<unsigned char> body(bytes + offsetof(KyPath, count), bytes + size);
            body.push_back(static_cast<unsigned char>(r->version));
            bodies.push_back(body);
            group_next.push_back(pos(path::GroupNext(r)));
            sel_next.push_back(pos(r->selNext));
        }
    }
    bool operator==(const Snapshot &o) const {
        return bodies == o.bodies && group_next == o.group_next && sel_next == o.sel_next;
    }
};

TEST_F(ListsTest, DuplicateCopiesRecordsLinksAndStroke) {
    BuildChain();
    KyPath *copy = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(c, &copy), 1) << "any record of the list copies the whole list";
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(Snapshot(copy) == Snapshot(a));
    KyPath *cb = copy->next, *cc = cb->next;
    EXPECT_EQ(cc->groupPrev, cb);
    EXPECT_EQ(cc->selPrev, copy);
    EXPECT_EQ(mem::PathBlockSize(cc), mem::PathBlockSize(c)) << "the copy keeps the room";

    OutlineInfo *src_info = nullptr, *copy_info = nullptr;
    ASSERT_EQ(KyPathGetOutlineInfo(a, &src_info), 1);
    ASSERT_EQ(KyPathGetOutlineInfo(copy, &copy_info), 1);
    EXPECT_NE(copy_info, src_info);
    EXPECT_NE(copy_info->startArrow, src_info->startArrow);
    EXPECT_EQ(KyPathGetPointsNumber(copy_info->endArrow), 2);
    EXPECT_EQ(copy_info->dashPath, nullptr);
    EXPECT_EQ((std::vector<int32_t>{copy_info->param[1], copy_info->arrowsOff, copy_info->extra[4]}),
              (std::vector<int32_t>{3, 1, 77}));

    EXPECT_EQ(KyPathDeletePtr(copy, 0), 1);
    EXPECT_EQ(KyPathDeletePtr(a, 0), 1);
}

TEST_F(ListsTest, FailedDuplicateLeavesNothingAndChangesNothing) {
    BuildChain();
    Snapshot before(a);
    size_t blocks = LiveBlocks();
    OutlineInfo *info = nullptr;
    KyPathGetOutlineInfo(a, &info);
    // Records, stroke and two attached paths all allocate: at least six
    // failure points.
    testing_support::SweepAllocFailures(100, 6, [&](int64_t i) {
        KyPath *copy = reinterpret_cast<KyPath *>(0x1);
        plat::FailAllocationAt(i);
        int32_t ok = KyPathDuplicatePtr(a, &copy);
        plat::FailAllocationAt(-1);
        if (ok) return KyPathDeletePtr(copy, 0) == 1;
        OutlineInfo *still = nullptr;
        EXPECT_EQ(copy, nullptr);
        EXPECT_EQ(LiveBlocks(), blocks) << "partial copies freed, failure at " << i;
        EXPECT_TRUE(KyPathGetOutlineInfo(a, &still) == 1 && still == info);
        EXPECT_TRUE(Snapshot(a) == before) << "source changed, failure at " << i;
        return false;
    });
    KyPathDeletePtr(a, 0);
}

TEST_F(ListsTest, DeselectingSplicesTheSelectionList) {
    KyPath *r[3];
    for (auto &x : r) x = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED | PT_SEGSELECTED, 1, 0}});
    LinkList({r[0], r[1], r[2]});
    for (int i = 0; i < 3; ++i) r[i]->flags = KPF_SELECTED | KPF_HASSELPOINT | KPF_HASSELSEGMENT | KPF_LASTMARK;
    LinkSelection({r[0], r[1], r[2]});

    PathDeselectOne(r[1]);
    EXPECT_EQ((std::vector<KyPath *>{r[0]->selPrev, r[0]->selNext, r[2]->selPrev, r[1]->selNext}),
              (std::vector<KyPath *>{nullptr, r[2], r[0], nullptr}));
    EXPECT_EQ(r[1]->flags, KPF_LASTMARK) << "only the selection flags go";
    EXPECT_EQ(path::Points(r[1])[1].type, PT_LINETO);
    EXPECT_EQ(path::Points(r[0])[1].type & PT_SELECTED, PT_SELECTED);

    PathClearSelection(r[2]);
    for (KyPath *x : r) {
        EXPECT_EQ(x->selNext, nullptr);
        EXPECT_EQ(x->flags & (KPF_SELECTED | KPF_HASSELPOINT), 0u);
        EXPECT_EQ(path::Points(x)[1].type, PT_LINETO);
    }
    KyPathDeletePtr(r[0], 0);
}

TEST_F(ListsTest, InfoAnswersForTheRecordAndForTheSelection) {
    KyPath *r[3];
    for (auto &x : r) x = KyPathCreate();
    LinkList({r[0], r[1], r[2]});
    auto ask = [](KyPath *p, int32_t s, int32_t g) {
        KyPathInfo(p, &s, &g);
        return std::make_pair(s, g);
    };
    r[0]->flags = KPF_SELECTED;
    EXPECT_EQ(ask(r[0], 3, 3), std::make_pair(1, 0)) << "selected alone, not grouped";
    EXPECT_EQ(ask(r[1], 3, 3), std::make_pair(0, 0));

    LinkGroup({r[0], r[1]});
    LinkSelection({r[0], r[1]});
    EXPECT_EQ(ask(r[1], 3, 3), std::make_pair(3, 1));
    // The selection list as a whole: all but the last member are asked.
    EXPECT_EQ(ask(r[1], 0, 0), std::make_pair(1, 1));
    LinkSelection({r[0], r[1], r[2]});
    EXPECT_EQ(ask(r[2], 0, 0), std::make_pair(1, 2)) << "r0 grouped onward, r1 not";
    EXPECT_EQ(ask(r[0], 0, 0).first, 1);
    KyPath *lone = KyPathCreate();
    lone->flags = KPF_SELECTED;
    EXPECT_EQ(ask(lone, 0, 0), std::make_pair(1, 3)) << "a single selected record";

    // A stroke description in the slot is no group successor.
    OutlineInfo info{};
    KyPathSetOutlineInfo(lone, &info);
    EXPECT_EQ(ask(lone, 3, 3), std::make_pair(1, 0));
    lone->groupPrev = r[2];
    EXPECT_EQ(ask(lone, 3, 3).second, 0) << "nonzero slot: not grouped";
    lone->groupNext = nullptr;
    EXPECT_EQ(ask(lone, 3, 3).second, 1) << "empty slot and a predecessor: grouped";
    lone->flags &= ~KPF_OUTLINEINFO;
    lone->groupPrev = nullptr;

    int32_t untouched = 5;
    EXPECT_EQ(KyPathInfo(nullptr, &untouched, &untouched), 0);
    EXPECT_EQ(untouched, 5);
    KyPathDeletePtr(lone, 0);
    KyPathDeletePtr(r[0], 0);
}

TEST_F(ListsTest, SetPathFlagsWorksOnTheWholeList) {
    KyPath *r[3];
    for (auto &x : r) x = KyPathCreate();
    LinkList({r[0], r[1], r[2]});
    r[1]->flags = 0x50000000u | KPF_LASTMARK;
    LinkSelection({r[1], r[2]});

    KyPathSetPathFlags(r[1], 1, 1, 0);
    for (KyPath *x : r) {
        EXPECT_TRUE(x->flags & KPF_SELECTED);
        EXPECT_EQ(x->selNext, nullptr) << "selected, but not linked";
    }
    EXPECT_TRUE(r[2]->flags & KPF_LASTMARK);
    KyPathSetPathFlags(r[2], 0, 0, 1);
    for (KyPath *x : r) EXPECT_EQ(x->flags & (KPF_LASTMARK | KPF_TEXTMASK), 0u);

    PathGroupToEnd(r[1]);
    EXPECT_EQ((std::vector<KyPath *>{r[0]->groupNext, r[1]->groupNext, r[2]->groupPrev}),
              (std::vector<KyPath *>{nullptr, r[2], r[1]}));
    KyPathDeletePtr(r[0], 0);
}

TEST_F(ListsTest, StoredRecordRepairs) {
    // Version 769: the selection of a curve sits on its first control point.
    KyPath *p = MakePath({{PT_MOVETO, 0, 0},
                          {PT_BEZIERTO | PT_SELECTED, 1, 1},
                          {PT_BEZIERTO, 2, 1},
                          {PT_BEZIERTO, 3, 0},
                          {PT_LINETO | PT_SELECTED, 4, 0},
                          {PT_BEZIERTO | PT_SELECTED, 5, 1},
                          {PT_BEZIERTO, 6, 1},
                          {PT_BEZIERTO, 7, 0}});
    p->version = 769;
    {
        DebugCapture capture;
        CheckPathsBeforeQXE5(p);
        ASSERT_EQ(capture.lines().size(), 2u);
        EXPECT_EQ(capture.lines()[0], "- CheckPathsBeforeQXE5(): PT_SELECTED flag adjusted.\n");
    }
    const PathPoint *pts = path::Points(p);
    EXPECT_EQ(pts[1].type, PT_BEZIERTO);
    EXPECT_EQ(pts[3].type, PT_BEZIERTO | PT_SELECTED);
    EXPECT_EQ(pts[4].type, PT_LINETO | PT_SELECTED) << "line nodes stay";
    EXPECT_EQ(pts[5].type, PT_BEZIERTO);
    EXPECT_EQ(pts[7].type, PT_BEZIERTO | PT_SELECTED);

    KyPath *q = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 0}, {0, 0, 0}});
    KyPath *fine = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 0}});
    LinkList({fine, q});
    {
        DebugCapture capture;
        path::RepairClosingPointTypes(q);
        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_EQ(capture.lines()[0], "- Invalid point type, corrected to PT_BEZIERTO|PT_CLOSEFIGURE.\n");
    }
    EXPECT_EQ(path::Points(q)[2].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(path::Points(fine)[1].type, PT_LINETO);
    KyPathDeletePtr(p, 0);
    KyPathDeletePtr(fine, 0);
}

TEST_F(ListsTest, OutlineAssignKeepsOrReplacesByKey) {
    OutlineInfo *info = nullptr;
    KyPath *first_a = MakePath({{PT_MOVETO, 1, 1}});
    KyPath *dash = MakePath({{PT_MOVETO, 2, 2}});
    ASSERT_EQ(KyPathAssignOutlineInfo(7, 8, first_a, 0, 0, nullptr, 3, dash, 1, 2, 3, 4, &info), 1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->startArrow, first_a);
    EXPECT_EQ(info->dashStyle, 3);
    EXPECT_EQ(info->param[3], 4);
    EXPECT_EQ(info->arrowsOff, 0);

    // Same keys, new path A: the new one is freed, the first one kept.
    size_t blocks = LiveBlocks();
    KyPath *second_a = MakePath({{PT_MOVETO, 3, 3}});
    OutlineInfo *held = info;
    ASSERT_EQ(KyPathAssignOutlineInfo(7, 8, second_a, 0, 0, nullptr, 3, dash, 5, 6, 7, 8, &info), 1);
    EXPECT_EQ(info, held);
    EXPECT_EQ(info->startArrow, first_a);
    EXPECT_EQ(info->dashPath, dash) << "passing the stored path again keeps it";
    EXPECT_EQ(LiveBlocks(), blocks) << "the new path A was freed";
    EXPECT_EQ(info->param[0], 5) << "parameters are replaced every time";

    // Changed key 0: the old path A goes, the new one stays.
    KyPath *third_a = MakePath({{PT_MOVETO, 4, 4}});
    ASSERT_EQ(KyPathAssignOutlineInfo(9, 8, third_a, 0, 0, nullptr, 3, dash, 0, 0, 0, 0, &info), 1);
    EXPECT_EQ(info->startArrow, third_a);
    EXPECT_EQ(info->startKey[0], 9);
    EXPECT_EQ(LiveBlocks(), blocks);

    // Changed dash style with no path: the stored dash chain is released.
    ASSERT_EQ(KyPathAssignOutlineInfo(9, 8, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info), 1);
    EXPECT_EQ(info->dashPath, nullptr);
    EXPECT_EQ(LiveBlocks(), blocks - 1);

    // The record that carries it frees it with its paths.
    KyPath *owner = KyPathCreate();
    ASSERT_EQ(KyPathSetOutlineInfo(owner, info), 1);
    EXPECT_EQ(KyPathDeletePtr(owner, 0), 1);
    EXPECT_EQ(LiveBlocks(), blocks - 2);
}

TEST_F(ListsTest, OutlineGetAndSetNeedARecordAndAnInfo) {
    KyPath *p = KyPathCreate();
    OutlineInfo *out = reinterpret_cast<OutlineInfo *>(0x10);
    EXPECT_EQ(KyPathGetOutlineInfo(p, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(KyPathSetOutlineInfo(p, nullptr), 0);
    EXPECT_EQ(KyPathSetOutlineInfo(nullptr, nullptr), 0);
    EXPECT_EQ(p->flags, 0u);
    EXPECT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, nullptr), 0);
    {
        plat::ScopedAllocFailure fail(0);
        OutlineInfo *info = nullptr;
        EXPECT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info), 0);
        EXPECT_EQ(info, nullptr);
    }
    KyPathDeletePtr(p, 0);
}

}  // namespace
