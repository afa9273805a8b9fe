// Inputs the wrap fuzzer found, kept as plain cases.
#include <gtest/gtest.h>

#include "core/path_record.h"
#include "support/path_fixture.h"
#include "y32path/deform.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

class WrapFuzzFindings : public PathTest {};

// A figure whose first record has no points, bent point by point: the
// smooth-knot marks of an empty record were cleared through a flag array
// that had not been allocated yet. The empty record stays empty and the
// square after it is bent.
TEST_F(WrapFuzzFindings, EmptyFirstRecordIsBentWithTheRest) {
    for (bool circles : {false, true}) {
        KyPath *empty = KyPathCreate();
        KyPath *square = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 50, 10}, {PT_LINETO, 50, 50},
                                   {PT_LINETO | PT_CLOSEFIGURE, 10, 50}});
        ASSERT_TRUE(empty && square);
        LinkList({empty, square});
        empty->groupNext = square, square->groupPrev = empty;
        KyPath *arc = circles ? nullptr
                              : MakePath({{PT_MOVETO, 20, 200}, {PT_BEZIERTO, 100, 20}, {PT_BEZIERTO, 300, 20},
                                          {PT_BEZIERTO, 380, 200}});
        WrapInfo info{};
        info.baseline = arc;
        info.repeatCount = 1;
        info.option8 = 1;
        info.startHeight = info.endHeight = 100;
        info.amplitude = 100;
        KyPath *target = empty;
        ASSERT_EQ(KyPathWrap(&target, &info), 1) << (circles ? "circles" : "arc");
        int32_t points = 0, records = 0;
        for (const KyPath *r = target; r; r = r->next) points += r->count, ++records;
        EXPECT_GE(points, 4) << "the square was bent";
        EXPECT_GE(records, 1);
        KyPathDeletePtr(target, 0);
        KyPathDeletePtr(arc, 0);
    }
}

}  // namespace
