#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/path_table.h"
#include "core/view.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "support/records.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;
using testing_support::LinkSelection;
using testing_support::Records;

class TableTest : public PathTest {
  protected:
    void TearDown() override {
        if (t) {
            EXPECT_EQ(KyPathTblDelete(t), 1);
        }
        PathTest::TearDown();
    }
    // Four records a, b, c, d in group 0; a and c selected.
    void FourRecords() {
        ASSERT_EQ(KyPathNew(&t), 1);
        a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED, 1, 0}});
        b = MakePath({{PT_MOVETO, 1, 1}});
        c = MakePath({{PT_MOVETO, 2, 2}, {PT_LINETO | PT_SEGSELECTED, 3, 2}, {PT_LINETO, 4, 4}});
        d = MakePath({{PT_MOVETO, 3, 3}});
        LinkList({a, b, c, d});
        LinkSelection({a, c});
        a->flags |= KPF_HASSELPOINT;
        c->flags |= KPF_HASSELSEGMENT;
        ASSERT_EQ(KyPathAssignActivePath(t, c), 1);
    }
    PathTable *t = nullptr;
    KyPath *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

TEST_F(TableTest, NewTableHasOneEmptyCurrentGroup) {
    ASSERT_EQ(KyPathNew(&t), 1);
    EXPECT_EQ(mem::PathBlockSize(t), table::BlockBytes(1));
    EXPECT_EQ((std::vector<int64_t>{t->state, t->groups}), (std::vector<int64_t>{table::kStateLive, 1}));
    EXPECT_EQ(t->lpDB, nullptr);
    int32_t current = -1, stateSet = -1;
    KyPath *first = reinterpret_cast<KyPath *>(0x10), *sel = first;  // junk that must be overwritten
    EXPECT_EQ(KyPathFind(t, &current, &first, &sel, &stateSet), 1);
    EXPECT_EQ(std::make_pair(current, stateSet), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(first, sel), (std::pair<KyPath *, KyPath *>{}));
    t->state = 0;
    EXPECT_EQ(KyPathFind(t, nullptr, nullptr, nullptr, &stateSet), 1);
    EXPECT_EQ(stateSet, 0);

    int32_t count = -1;
    EXPECT_EQ(KyPathFindGroups(t, &count), 1);
    EXPECT_EQ(count, 1);
}

TEST_F(TableTest, GroupNamesOnlyForExistingIndices) {
    ASSERT_EQ(KyPathNew(&t), 1);
    PathGroup *g = table::AppendGroup(&t);
    ASSERT_NE(g, nullptr);
    std::string longName(400, 'n');
    table::SetGroupName(g, longName.c_str());
    EXPECT_EQ(std::strlen(g->name), 255u);
    char *name = reinterpret_cast<char *>(1);
    EXPECT_EQ(KyPathFindGroupName(t, 1, &name), 1);
    EXPECT_EQ(name, table::Groups(t)[1].name);
    for (int32_t bad : {-1, 2, 1000}) {
        name = reinterpret_cast<char *>(1);
        EXPECT_EQ(KyPathFindGroupName(t, bad, &name), 0);
        EXPECT_EQ(name, nullptr) << bad;
    }
    table::SetGroupName(g, nullptr);
    EXPECT_STREQ(g->name, "");
}

TEST_F(TableTest, AppendedGroupIsClearedAndFailureKeepsTheTable) {
    ASSERT_EQ(KyPathNew(&t), 1);
    KyPath *p = MakePath({{PT_MOVETO, 1, 1}});
    ASSERT_EQ(KyPathAssignActivePath(t, p), 1);
    {
        plat::ScopedAllocFailure fail(0);
        PathTable *before = t;
        EXPECT_EQ(table::AppendGroup(&t), nullptr);
        EXPECT_EQ(t, before);
        EXPECT_EQ(t->groups, 1);
        EXPECT_EQ(table::Groups(t)[0].first, p);
    }
    // Growth does not zero-fill. The sanitizer build fills new heap bytes
    // with a pattern, so a missing clear of the entry fails there.
    PathGroup *g = table::AppendGroup(&t);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(t->groups, 2);
    EXPECT_EQ(mem::PathBlockSize(t), table::BlockBytes(2));
    EXPECT_EQ(std::make_pair(g->index, g->name[0]), std::make_pair(1, '\0'));
    EXPECT_EQ(std::make_pair(g->first, g->firstSelected), (std::pair<KyPath *, KyPath *>{}));
    EXPECT_EQ(table::Groups(t)[0].first, p);
    EXPECT_EQ(t->current, 0) << "current is the caller's to move";

    // An index the host damaged must not reach past the block.
    t->current = 2;
    EXPECT_EQ(table::CurrentGroup(t), nullptr);
    EXPECT_EQ(KyPathFind(t, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathAssignActivePath(t, p), 0);
    t->current = 1;
    EXPECT_EQ(table::CurrentGroup(t), g);
}

TEST_F(TableTest, NewFailsCleanly) {
    PathTable *held = reinterpret_cast<PathTable *>(0x10);
    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(KyPathNew(&held), 0);
    EXPECT_EQ(held, reinterpret_cast<PathTable *>(0x10));
}

TEST_F(TableTest, AssigningHeadsFollowsTheLists) {
    FourRecords();
    const PathGroup *g = table::CurrentGroup(t);
    EXPECT_EQ(g->first, a) << "the head of the record's list";
    EXPECT_EQ(g->firstSelected, a);

    // Unselected: refused, nothing changes.
    EXPECT_EQ(KyPathAssignSelectedPath(t, b), 0);
    EXPECT_EQ(g->firstSelected, a);
    EXPECT_EQ(KyPathAssignSelectedPath(t, nullptr), 1);
    EXPECT_EQ(g->firstSelected, nullptr);
    EXPECT_EQ(KyPathAssignSelectedPath(t, c), 1);
    EXPECT_EQ(g->firstSelected, a) << "walks back to the selection head";

    // The blind form finds the first flagged record of the list.
    a->flags &= ~KPF_SELECTED;
    a->selNext = nullptr;
    c->selPrev = nullptr;
    EXPECT_EQ(KyPathAssignSelectedPathBlindly(t, d), 1);
    EXPECT_EQ(g->firstSelected, c);
    c->flags &= ~KPF_SELECTED;
    EXPECT_EQ(KyPathAssignSelectedPathBlindly(t, d), 1);
    EXPECT_EQ(g->firstSelected, nullptr);
    EXPECT_EQ(KyPathAssignSelectedPathBlindly(t, nullptr), 0);
    EXPECT_EQ(KyPathAssignSelectedPathBlindly(nullptr, d), 0);
    EXPECT_EQ(KyPathAssignActivePath(t, nullptr), 0);
    EXPECT_EQ(g->first, a);
}

TEST_F(TableTest, SelectionQueries) {
    FourRecords();
    // The picked-segment search starts after the given record.
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(t, nullptr), c);
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(t, a), c);
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(t, c), nullptr);
    KyPath *stranger = MakePath({{PT_MOVETO, 0, 0}});
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(t, stranger), nullptr);
    EXPECT_EQ(KyPathDeletePtr(stranger, 0), 1);

    // Selected groups count a chain once: a and b form one; a, b and c are
    // selected.
    a->groupNext = b;
    b->groupPrev = a;
    LinkSelection({a, b, c});
    ASSERT_EQ(KyPathAssignSelectedPath(t, b), 1);
    EXPECT_EQ(KyPathGetSelectedGroupsNumber(t), 2);
}

TEST_F(TableTest, SeparationReversesBothListsDeselectsAndCutsSplitChains) {
    FourRecords();
    // b (stays) and c (leaves) form one chain.
    b->groupNext = c;
    c->groupPrev = b;
    // Separation always works on group 0: a second, current group must not
    // matter.
    ASSERT_NE(table::AppendGroup(&t), nullptr);
    t->current = 1;
    KyPath *out = KyPathSeparateSelectedPathFromTable(t);
    ASSERT_EQ(out, c);
    EXPECT_EQ(Records(out), (std::vector<KyPath *>{c, a}));
    EXPECT_EQ(std::make_pair(c->prev, a->prev), (std::pair<KyPath *, KyPath *>{nullptr, c}));
    EXPECT_EQ(std::make_pair(b->groupNext, c->groupPrev), (std::pair<KyPath *, KyPath *>{}));
    for (KyPath *r : {a, c}) {
        EXPECT_EQ(r->flags & (KPF_SELECTED | KPF_HASSELPOINT | KPF_HASSELSEGMENT), 0u);
        EXPECT_EQ(std::make_pair(r->selNext, r->selPrev), (std::pair<KyPath *, KyPath *>{}));
        for (int32_t i = 0; i < r->count; ++i)
            EXPECT_EQ(KyPathPoints(r)[i].type & (PT_SELECTED | PT_SEGSELECTED), 0);
    }
    const PathGroup *g0 = &table::Groups(t)[0];
    EXPECT_EQ(std::make_pair(g0->first, g0->firstSelected), (std::pair<KyPath *, KyPath *>{d, nullptr}));
    EXPECT_EQ(Records(d), (std::vector<KyPath *>{d, b}));
    EXPECT_EQ(d->prev, nullptr);
    // Freeing the separated records leaves nothing in the table pointing at
    // them.
    EXPECT_EQ(KyPathDeletePtr(out, 0), 1);
    for (KyPath *r = g0->first; r; r = r->next)
        EXPECT_EQ(std::make_pair(r->groupNext, r->groupPrev), (std::pair<KyPath *, KyPath *>{}));
}

TEST_F(TableTest, SeparationWithoutSelectionChangesNothing) {
    FourRecords();
    table::Groups(t)[0].firstSelected = nullptr;
    EXPECT_EQ(KyPathSeparateSelectedPathFromTable(t), nullptr);
    EXPECT_EQ(Records(table::Groups(t)[0].first), (std::vector<KyPath *>{a, b, c, d}));
    EXPECT_TRUE(a->flags & KPF_SELECTED);

    // Everything selected: group 0 ends up empty.
    LinkSelection({a, b, c, d});
    ASSERT_EQ(KyPathAssignSelectedPath(t, a), 1);
    KyPath *out = KyPathSeparateSelectedPathFromTable(t);
    EXPECT_EQ(Records(out), (std::vector<KyPath *>{d, c, b, a}));
    EXPECT_EQ(table::Groups(t)[0].first, nullptr);
    EXPECT_EQ(KyPathDeletePtr(out, 0), 1);
}

TEST_F(TableTest, DeleteFreesEveryGroupAndTheOverlay) {
    FourRecords();
    ASSERT_NE(table::AppendGroup(&t), nullptr);
    KyPath *other = MakePath({{PT_MOVETO, 0, 0}});
    t->current = 1;
    ASSERT_EQ(KyPathAssignActivePath(t, other), 1);
    ASSERT_TRUE(view::ReplaceOverlay(t, 8, 4));
    EXPECT_EQ(KyPathTblDeletelpDB(t), 1);
    EXPECT_EQ(t->lpDB, nullptr);
    EXPECT_EQ(t->reserved[view::kRealWidthWord], 0u);
    ASSERT_TRUE(view::ReplaceOverlay(t, 8, 4));
    EXPECT_EQ(KyPathTblDelete(t), 1);  // the fixture checks that no record is left
    EXPECT_EQ(KyPathTblDelete(t), 0) << "a freed table is refused";
    t = nullptr;
}

}  // namespace
