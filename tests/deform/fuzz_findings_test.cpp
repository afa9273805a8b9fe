// Inputs the wrap fuzzer found, kept as plain cases.
#include <gtest/gtest.h>

#include <vector>

#include "core/path_record.h"
#include "support/path_fixture.h"
#include "y32Comm.h"
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

// Copies spaced absurdly far apart on a closed baseline (a huge spacing,
// or a very negative one times the inverted box of a figure without
// points): the cut positions went round the loop until memory ran out,
// hours later. Now refused at once as out of memory with the figure
// untouched; a figure that goes round a few times is still wrapped.
TEST_F(WrapFuzzFindings, FarSpacedCopiesOnAClosedLoopAreRefused) {
    KyPath *loop = MakePath({{PT_MOVETO, 100, 100}, {PT_LINETO, 200, 100}, {PT_LINETO, 200, 200},
                             {PT_LINETO, 100, 200}, {PT_LINETO | PT_CLOSEFIGURE, 100, 100}});
    ASSERT_NE(loop, nullptr);
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
        const auto *bytes = reinterpret_cast<const uint8_t *>(figure);
        const std::vector<uint8_t> before(bytes, bytes + sizeof(KyPath) + figure->count * sizeof(PathPoint));
        WrapInfo info{};
        info.baseline = loop;
        info.repeatCount = k.repeat;
        info.spacing = k.spacing;
        info.option8 = 1;
        info.startHeight = info.endHeight = 100;
        c32ClearDLLErrInfo();
        KyPath *target = figure;
        ASSERT_EQ(KyPathWrap(&target, &info), k.wrapped ? 1 : 0) << k.spacing;
        if (k.wrapped) {
            EXPECT_NE(target, figure);
            KyPathDeletePtr(target, 0);
            continue;
        }
        Y32ErrInfo e{};
        EXPECT_EQ(c32GetDLLErrInfo(&e), 1);
        EXPECT_EQ(e.code, 1001);
        EXPECT_EQ(target, figure);
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + before.size()), before);
        KyPathDeletePtr(figure, 0);
    }
    KyPathDeletePtr(loop, 0);
}

}  // namespace
