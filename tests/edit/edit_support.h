// tests/edit/edit_support.h - list invariants and small builders for the
// editing tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <sstream>
#include <vector>

#include "core/path_record.h"
#include "core/path_table.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Path.h"

namespace edit_test {

// Every invariant the record lists promise, checked on the table list that
// holds `any`: prev/next, group and selection links mirror each other and
// run forward in table order, only the head carries an OutlineInfo, members
// of the selection list are selected, the record flags agree with the point
// marks, and marks sit only on selected records. With a table, the current
// group must name the list's head and the head of its selection list.
inline ::testing::AssertionResult ListInvariants(KyPath *any, const PathTable *t = nullptr) {
    std::ostringstream err;
    std::map<const KyPath *, size_t> index;
    std::vector<KyPath *> list;
    KyPath *head = any;
    if (head) {
        for (size_t guard = 0; head->prev && guard < 100000; ++guard) head = head->prev;
    }
    for (KyPath *r = head; r; r = r->next) {
        if (index.count(r)) return ::testing::AssertionFailure() << "table list has a cycle";
        index[r] = list.size();
        list.push_back(r);
        if (r->next && r->next->prev != r) err << "next/prev do not mirror at " << list.size() - 1 << "; ";
    }
    int sel_heads = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        KyPath *r = list[i];
        if (i > 0 && path::HasOutlineInfo(r)) err << "record " << i << " is not the head but has an OutlineInfo; ";
        if (KyPath *g = path::GroupNext(r)) {
            if (!index.count(g)) err << "groupNext of " << i << " leaves the list; ";
            else if (index[g] <= i) err << "group chain runs backwards at " << i << "; ";
            if (g->groupPrev != r) err << "groupNext/groupPrev do not mirror at " << i << "; ";
        }
        if (KyPath *gp = r->groupPrev) {
            if (!index.count(gp)) err << "groupPrev of " << i << " leaves the list; ";
            else if (path::GroupNext(gp) != r) err << "groupPrev/groupNext do not mirror at " << i << "; ";
        }
        if (KyPath *s = r->selNext) {
            if (!index.count(s)) err << "selNext of " << i << " leaves the list; ";
            else if (index[s] <= i) err << "selection list runs backwards at " << i << "; ";
            if (s->selPrev != r) err << "selNext/selPrev do not mirror at " << i << "; ";
        }
        if (KyPath *sp = r->selPrev) {
            if (!index.count(sp)) err << "selPrev of " << i << " leaves the list; ";
            else if (sp->selNext != r) err << "selPrev/selNext do not mirror at " << i << "; ";
        }
        if ((r->selNext || r->selPrev) && !(r->flags & KPF_SELECTED))
            err << "record " << i << " is in the selection list unselected; ";
        if (r->selNext && !r->selPrev) ++sel_heads;
        bool node = false, seg = false;
        const PathPoint *pts = path::Points(r);
        for (int32_t k = 0; k < r->count; ++k) {
            node = node || (pts[k].type & PT_SELECTED);
            seg = seg || (pts[k].type & PT_SEGSELECTED);
        }
        if (node != ((r->flags & KPF_HASSELPOINT) != 0)) err << "KPF_HASSELPOINT disagrees with the points of " << i << "; ";
        if (seg != ((r->flags & KPF_HASSELSEGMENT) != 0))
            err << "KPF_HASSELSEGMENT disagrees with the points of " << i << "; ";
        if ((node || seg) && !(r->flags & KPF_SELECTED)) err << "record " << i << " has point marks unselected; ";
    }
    if (sel_heads > 1) err << "more than one selection list; ";
    if (t) {
        const PathGroup *g = table::CurrentGroup(t);
        if (!g) {
            err << "no current group; ";
        } else {
            if (g->first != (list.empty() ? nullptr : list[0])) err << "group first is not the list head; ";
            if (g->firstSelected) {
                if (!index.count(g->firstSelected)) err << "firstSelected is not in the list; ";
                else if (g->firstSelected->selPrev || !(g->firstSelected->flags & KPF_SELECTED))
                    err << "firstSelected is not the head of a selection list; ";
            }
        }
    }
    std::string e = err.str();
    if (!e.empty()) return ::testing::AssertionFailure() << e;
    return ::testing::AssertionSuccess();
}

struct P {
    uint16_t type;
    FIXED x, y;
    bool operator==(const P &o) const { return type == o.type && x == o.x && y == o.y; }
};
inline std::ostream &operator<<(std::ostream &os, const P &p) {
    return os << "{0x" << std::hex << p.type << std::dec << ", " << p.x / 65536.0 << ", " << p.y / 65536.0 << "}";
}

// The points of a record as plain values (never references into the packed
// array).
inline std::vector<P> PointsOf(const KyPath *r) {
    std::vector<P> v;
    const PathPoint *pts = path::Points(r);
    for (int32_t i = 0; i < r->count; ++i) v.push_back(P{pts[i].type, +pts[i].x, +pts[i].y});
    return v;
}

inline double X(const KyPath *r, int32_t i) { return path::Points(r)[i].x / 65536.0; }
inline double Y(const KyPath *r, int32_t i) { return path::Points(r)[i].y / 65536.0; }
inline uint16_t T(const KyPath *r, int32_t i) { return path::Points(r)[i].type; }

using testing_support::LinkGroup;
using testing_support::LinkSelection;

// The test fixture for table work: a table whose group 0 holds the list
// the test builds, freed with everything on it at the end.
class TableFixture : public testing_support::PathTest {
  protected:
    void SetUp() override {
        testing_support::PathTest::SetUp();
        ASSERT_EQ(KyPathNew(&t), 1);
    }
    void TearDown() override {
        if (t) {
            EXPECT_EQ(KyPathTblDelete(t), 1);
        }
        testing_support::PathTest::TearDown();
    }
    PathGroup &Group() { return *table::CurrentGroup(t); }
    void Adopt(KyPath *head) {
        ASSERT_EQ(KyPathAssignActivePath(t, head), 1);
    }
    PathTable *t = nullptr;
};

}  // namespace edit_test
