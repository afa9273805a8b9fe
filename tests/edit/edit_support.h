// tests/edit/edit_support.h - list invariants and small builders for the
// editing tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core/path_record.h"
#include "core/path_table.h"
#include "support/list_invariants.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Comm.h"
#include "y32Path.h"

namespace edit_test {

// The one checker of the list invariants.
using testing_support::ListInvariants;
using testing_support::LinkGroup;
using testing_support::LinkSelection;
using testing_support::Pt;

struct P {
    uint16_t type;
    FIXED x, y;
    bool operator==(const P &o) const { return type == o.type && x == o.x && y == o.y; }
};
inline std::ostream &operator<<(std::ostream &os, const P &p) {
    return os << "{0x" << std::hex << p.type << std::dec << ", " << p.x / 65536.0 << ", " << p.y / 65536.0 << "}";
}

// The points of a record as plain values (never references into the packed
// array), and expected points written in pixels as MakePath takes them.
inline std::vector<P> PointsOf(const KyPath *r) {
    std::vector<P> v;
    const PathPoint *pts = path::Points(r);
    for (int32_t i = 0; i < r->count; ++i) v.push_back(P{pts[i].type, +pts[i].x, +pts[i].y});
    return v;
}
inline std::vector<P> Pts(std::initializer_list<Pt> pts) {
    std::vector<P> v;
    for (const Pt &p : pts) v.push_back(P{p.type, DbToFix(p.x), DbToFix(p.y)});
    return v;
}

inline double X(const KyPath *r, int32_t i) { return path::Points(r)[i].x / 65536.0; }
inline double Y(const KyPath *r, int32_t i) { return path::Points(r)[i].y / 65536.0; }
inline uint16_t T(const KyPath *r, int32_t i) { return path::Points(r)[i].type; }

// n one-point records at (i, 0), linked as one table list.
inline std::vector<KyPath *> Singles(int n) {
    std::vector<KyPath *> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(testing_support::MakePath({{PT_MOVETO, double(i), 0}}));
        if (i) v[i - 1]->next = v[i], v[i]->prev = v[i - 1];
    }
    return v;
}

// The group chains of the table list holding `any`, by position, as in
// "0-2-4 1-3"; records in no chain are left out. With ListInvariants (which
// checks that the backward links mirror these) it pins every group link.
inline std::string Groups(const KyPath *any) {
    std::vector<const KyPath *> order;
    while (any && any->prev) any = any->prev;
    for (const KyPath *r = any; r; r = r->next) order.push_back(r);
    auto pos = [&](const KyPath *x) {
        for (size_t i = 0; i < order.size(); ++i)
            if (order[i] == x) return std::to_string(i);
        return std::string("?");
    };
    std::string s;
    for (const KyPath *r : order) {
        if (r->groupPrev || !path::GroupNext(r)) continue;
        s += (s.empty() ? "" : " ") + pos(r);
        size_t guard = 0;
        for (const KyPath *g = path::GroupNext(r); g && guard++ < order.size(); g = path::GroupNext(g)) s += "-" + pos(g);
    }
    return s;
}

// Since c32ClearDLLErrInfo, exactly one failure report, naming this code
// and unit of this library.
inline void ExpectReport(int32_t code, int32_t unit) {
    Y32ErrInfo info{};
    ASSERT_EQ(c32GetDLLErrInfo(&info), 1) << "one report";
    EXPECT_EQ(info.code, code);
    EXPECT_EQ(info.unit, unit);
    EXPECT_EQ(info.module, 2600);
}

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
    void Adopt(KyPath *head) { ASSERT_EQ(KyPathAssignActivePath(t, head), 1); }
    PathTable *t = nullptr;
};

}  // namespace edit_test
