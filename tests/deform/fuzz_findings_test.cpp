// Inputs the wrap fuzzer found, kept as plain cases.
#include <gtest/gtest.h>

#include <vector>

#include "deform/deform_support.h"
#include "support/owned_records.h"
#include "y32Comm.h"

namespace {

using deform_test::Bend;
using testing_support::MakePath;

using WrapFuzzFindings = testing_support::OwningPathTest;

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
        testing_support::LinkList({empty, square});
        testing_support::LinkGroup({empty, square});
        WrapInfo info = Bend(circles ? nullptr
                                     : Own(MakePath({{PT_MOVETO, 20, 200}, {PT_BEZIERTO, 100, 20},
                                                     {PT_BEZIERTO, 300, 20}, {PT_BEZIERTO, 380, 200}})));
        info.amplitude = 100;
        KyPath *target = empty;
        ASSERT_EQ(KyPathWrap(&target, &info), 1) << (circles ? "circles" : "arc");
        Own(target);
        int32_t points = 0;
        for (const KyPath *r = target; r; r = r->next) points += r->count;
        EXPECT_GE(points, 4) << "the square was bent";
    }
}

// Copies spaced absurdly far apart on a closed baseline (a huge spacing,
// or a very negative one times the inverted box of a figure without
// points): the cut positions went round the loop until memory ran out,
// hours later. Now refused at once as out of memory with the figure
// untouched; a figure that goes round a few times is still wrapped.
TEST_F(WrapFuzzFindings, FarSpacedCopiesOnAClosedLoopAreRefused) {
    KyPath *loop = Own(testing_support::Rect(100, 100, 200, 200));
    struct Case {
        double spacing;
        int32_t repeat;
        bool empty_figure, wrapped;
    } cases[] = {{1e12, 3, false, false}, {-4.25e71, 6, true, false}, {0.5, 6, false, true}, {2.0, 3, false, true}};
    for (const Case &k : cases) {
        KyPath *figure = k.empty_figure ? KyPathCreate()
                                        : MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 60, 0}, {PT_LINETO, 60, 20},
                                                    {PT_LINETO | PT_CLOSEFIGURE, 0, 20}});
        ASSERT_NE(figure, nullptr);
        const std::vector<uint8_t> before = testing_support::RecordBytes(figure);
        WrapInfo info = Bend(loop);
        info.repeatCount = k.repeat;
        info.spacing = k.spacing;
        c32ClearDLLErrInfo();
        KyPath *target = figure;
        ASSERT_EQ(KyPathWrap(&target, &info), k.wrapped ? 1 : 0) << k.spacing;
        Own(target);
        if (k.wrapped) {
            EXPECT_NE(target, figure);
            continue;
        }
        EXPECT_EQ(testing_support::LastError().code, 1001);
        EXPECT_EQ(target, figure);
        EXPECT_EQ(testing_support::RecordBytes(figure), before);
    }
}

}  // namespace
