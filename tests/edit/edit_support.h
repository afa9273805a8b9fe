// tests/edit/edit_support.h - list invariants and small builders for the
// editing tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/path_record.h"
#include "core/path_table.h"
#include "support/list_invariants.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Path.h"

namespace edit_test {

// The one checker of the list invariants.
using testing_support::ListInvariants;

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
