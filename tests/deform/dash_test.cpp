#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/path_record.h"
#include "deform/dash.h"
#include "deform/deform_support.h"
#include "platform/alloc_fail.h"
#include "support/owned_records.h"
#include "y32Comm.h"

namespace {

using testing_support::LastError;
using testing_support::MakePath;

using DashTest = testing_support::OwningPathTest;

// The styles as dash.h lists them: dashes in units of w, their number, the
// spacing and the start in units of w.
struct Style {
    double dashes[3][2];
    int32_t n;
    double spacing, start_units;
};
const Style kStyles[8] = {
    {},
    {{{0, 1}}, 1, 1.0, 1},
    {{{0, 3}}, 1, 1.3333, 4},
    {{{0, 3}, {4, 7}}, 2, 0.5714286, 4},
    {{{0, 3}, {4, 7}, {8, 11}}, 3, 0.36363636, 4},
    {{{0, 3}}, 1, 2.66667, 8},
    {{{0, 3}, {4, 7}}, 2, 1.142857, 8},
    {{{0, 3}, {4, 7}, {8, 11}}, 3, 0.7272727, 8},
};

struct Span {
    int32_t from, to;  // image x, [from, to)
};

// A dashed horizontal line from (x0, y) to (x1, y) with the given style
// and pen width, and optional arrowhead templates.
KyPath *DashedLine(double x0, double x1, double y, int32_t style, int32_t pen, KyPath *start_arrow = nullptr,
                   int32_t arrows_off = 0) {
    KyPath *p = MakePath({{PT_MOVETO, x0, y}, {PT_LINETO, x1, y}});
    OutlineInfo *info = nullptr;
    KyPathAssignOutlineInfo(1, 0, start_arrow, 0, 0, nullptr, style, nullptr, 0, pen, 0, 0, &info);
    info->arrowsOff = arrows_off;
    KyPathSetOutlineInfo(p, info);
    return p;
}

// The covered runs of the image row y of a mask.
std::vector<Span> RowRuns(const deform_test::Mask &m, int32_t y) {
    std::vector<Span> runs;
    for (int32_t x = m.rect.left; x < m.rect.left + m.w; ++x) {
        if (!m.At(x, y)) continue;
        if (!runs.empty() && runs.back().to == x) ++runs.back().to;
        else runs.push_back(Span{x, x + 1});
    }
    return runs;
}

// Where the wrap puts the dashes of a style on a straight line of length
// L from x0: the pattern is repeated at pitch width x (1 + spacing) from
// start_units x w, as many times as fit, and stretched to end at the end.
std::vector<std::pair<double, double>> ExpectedDashes(int32_t style, double w, double x0, double L) {
    const Style &s = kStyles[style];
    const double width = s.dashes[s.n - 1][1] * w;
    const double pitch = width * (1.0 + s.spacing);
    const double start = s.start_units * w, usable = L - start;
    int32_t count = static_cast<int32_t>(usable / pitch);
    if (count < 1) count = 1;
    const double scale = usable / (count * pitch);
    std::vector<std::pair<double, double>> out;
    for (int32_t c = 0; c < count; ++c)
        for (int32_t d = 0; d < s.n; ++d)
            out.emplace_back(x0 + start + (c * pitch + s.dashes[d][0] * w) * scale,
                             x0 + start + (c * pitch + s.dashes[d][1] * w) * scale);
    return out;
}

TEST_F(DashTest, EachStyleBuildsItsDashRectangles) {
    for (int32_t style = 1; style <= 7; ++style) {
        dash::Pattern pat;
        ASSERT_TRUE(dash::BuildPattern(style, 4.0, 200.0, &pat)) << style;
        Own(pat.head);
        // Where the dashes fall along the path, and how many there are, is
        // read off the masks below; here the records themselves: closed 5-point rectangles straddling
        // the path from -2 to w + 2.
        for (KyPath *d = pat.head; d; d = d->next) {
            ASSERT_EQ(d->count, 5);
            EXPECT_TRUE(path::IsClosed(d));
            EXPECT_DOUBLE_EQ(FixToDb(path::Points(d)[0].y), -2.0);
            EXPECT_DOUBLE_EQ(FixToDb(path::Points(d)[2].y), 6.0);
        }
    }
    dash::Pattern pat;
    EXPECT_FALSE(dash::BuildPattern(0, 4.0, 200.0, &pat));
    EXPECT_FALSE(dash::BuildPattern(8, 4.0, 200.0, &pat));
    // The third dash of style 7 cannot be made: the first two go too.
    plat::ScopedAllocFailure fail(2);
    c32ClearDLLErrInfo();
    EXPECT_FALSE(dash::BuildPattern(7, 4.0, 200.0, &pat));
    EXPECT_EQ(pat.head, nullptr);
    EXPECT_EQ(LastError().code, 1001);
    EXPECT_EQ(LastError().unit, 41);
}

TEST_F(DashTest, DashedStrokeRefusals) {
    KyPath *line = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}}));
    struct Case {
        const KyPath *path;
        int32_t style;
        int32_t line;
    } cases[] = {{line, 8, 6060}, {line, 0, 6060}, {line, -1, 6060}, {nullptr, 1, 6064}, {nullptr, 9, 6060}};
    for (size_t i = 0; i < 5; ++i) {
        c32ClearDLLErrInfo();
        EXPECT_EQ(dash::MakeDashedStroke(cases[i].path, cases[i].style, 1.0, 0, 0), nullptr) << "case " << i;
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, 3200) << "case " << i;
        EXPECT_EQ(e.unit, 41) << "case " << i;
        EXPECT_EQ(e.line, cases[i].line) << "case " << i;
    }
    // A pen without width, or with a width that is no number.
    EXPECT_EQ(dash::MakeDashedStroke(line, 1, 0.0, 0, 0), nullptr);
    EXPECT_EQ(dash::MakeDashedStroke(line, 1, std::nan(""), 0, 0), nullptr);
    {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(dash::MakeDashedStroke(line, 1, 1.0, 0, 0), nullptr);
        EXPECT_EQ(LastError().line, 6085);
    }
    // Trims that together take the whole line leave nothing to dash.
    EXPECT_EQ(dash::MakeDashedStroke(line, 1, 1.0, 60.0, 45.0), nullptr);
    EXPECT_EQ(dash::MakeDashedStroke(line, 1, 1.0, 150.0, 0.0), nullptr);
    // A line too short to wrap along.
    c32ClearDLLErrInfo();
    EXPECT_EQ(dash::MakeDashedStroke(Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 3, 0}})), 1, 1.0, 0, 0), nullptr);
    EXPECT_EQ(LastError().code, 5404);
    // Every allocation after the first failing in turn, trims included:
    // null, nothing left (the fixture counts the blocks).
    for (int64_t i = 1; i < 40; ++i) {
        plat::ScopedAllocFailure fail(i);
        KyPath *chain = dash::MakeDashedStroke(line, 3, 1.0, 10.0, 10.0);
        if (chain) KyPathDeletePtr(chain, 0);
    }
}

TEST_F(DashTest, TrimToRangeKeepsTheRequestedArc) {
    // An open polyline of 100 + 100 pixels, a closed square of side 100
    // (perimeter 400) and a cubic arc.
    auto open = [] { return MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}, {PT_LINETO, 100, 100}}); };
    auto square = [] { return testing_support::Rect(0, 0, 100, 100); };
    auto arc = [] {
        return MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 0, 80}, {PT_BEZIERTO, 120, 80}, {PT_BEZIERTO, 120, 0}});
    };
    struct Arc {
        KyPath *p;
        double t0, t1, length, first_x, first_y, last_x, last_y, tol;
    } arcs[] = {
        {open(), 0.25, 0.75, 100, 50, 0, 100, 50, 0.01},
        // Around the start of a closed path: from 360 through the corner
        // (0, 0) to 40; the result is open.
        {square(), 0.9, 0.1, 80, 0, 40, 40, 0, 0.01},
        // -0.25 is 0.75 on a closed path; 1.25 is 0.25.
        {square(), -0.25, 1.25, 200, 0, 100, 100, 0, 0.01},
        // Half of the symmetric arc (length -1: half the whole), one curve.
        {arc(), 0.5, 1.0, -1, 60, 60, 120, 0, 0.5},
    };
    for (Arc &a : arcs) {
        SCOPED_TRACE(testing::Message() << a.t0 << " .. " << a.t1);
        const double whole = KyPathGetLength(a.p);
        const int32_t count = a.p->count;
        ASSERT_TRUE(dash::TrimToRange(&a.p, a.t0, a.t1));
        ASSERT_NE(a.p, nullptr);
        Own(a.p);
        EXPECT_NEAR(KyPathGetLength(a.p), a.length < 0 ? whole / 2 : a.length, a.tol);
        const PathPoint &f = path::Points(a.p)[0], &l = path::Points(a.p)[a.p->count - 1];
        EXPECT_EQ(+f.type, PT_MOVETO);
        EXPECT_NEAR(FixToDb(f.x), a.first_x, a.tol);
        EXPECT_NEAR(FixToDb(f.y), a.first_y, a.tol);
        EXPECT_NEAR(FixToDb(l.x), a.last_x, a.tol);
        EXPECT_NEAR(FixToDb(l.y), a.last_y, a.tol);
        EXPECT_FALSE(path::IsClosed(a.p));
        EXPECT_TRUE(a.length >= 0 || a.p->count == count) << "the arc stays one curve";
    }

    // What is kept whole, and what is dropped.
    struct Case {
        bool closed;
        double t0, t1;
        bool gone;
    } cases[] = {
        {false, 0.3, 0.3, true},     {false, 0.0, 0.995, false}, {false, -0.5, 0.995, false},
        {false, 0.5, 0.505, true},   {false, 0.6, 0.4, true},    {true, 0.6, 0.595, false},
        {true, 0.995, 0.001, true},  {true, 0.25, 1.25, true},   {false, 0.0, 5.0, false},
    };
    for (const Case &c : cases) {
        KyPath *p = c.closed ? square() : open(), *before = p;
        const int32_t count = p->count;
        ASSERT_TRUE(dash::TrimToRange(&p, c.t0, c.t1)) << c.t0 << " " << c.t1;
        Own(p);
        EXPECT_EQ(p, c.gone ? nullptr : before) << c.t0 << " " << c.t1;
        if (p) {
            EXPECT_EQ(p->count, count) << c.t0 << " " << c.t1;
        }
    }
    // Out of memory while rebuilding: the record stays as it was.
    KyPath *const kept = Own(open());
    KyPath *p = kept;
    for (int64_t i = 0; i < 3; ++i) {  // segment records, table, new record
        plat::ScopedAllocFailure fail(i);
        EXPECT_FALSE(dash::TrimToRange(&p, 0.25, 0.75)) << i;
        EXPECT_EQ(p, kept);
        EXPECT_EQ(p->count, 3);
    }
    EXPECT_FALSE(dash::TrimToRange(&p, std::nan(""), 0.5));
    KyPath *none = nullptr;
    EXPECT_FALSE(dash::TrimToRange(&none, 0.1, 0.5));
}

// Each style along a straight 400-pixel line, read off the mask: the dash
// runs start and end where the stretched pattern puts them.
TEST_F(DashTest, DashRunsOnTheMaskFollowEachStyle) {
    const double x0 = 20, L = 400, y = 30;
    for (int32_t pen : {1, 2}) {
        for (int32_t style = 1; style <= 7; ++style) {
            std::vector<Span> runs = RowRuns(deform_test::Render(Own(DashedLine(x0, x0 + L, y, style, pen))), y);
            const auto expect = ExpectedDashes(style, 2.0 * pen, x0, L);
            ASSERT_EQ(runs.size(), expect.size()) << "style " << style << " pen " << pen;
            for (size_t i = 0; i < runs.size(); ++i) {
                EXPECT_NEAR(runs[i].from, expect[i].first, 1.0) << "style " << style << " dash " << i;
                EXPECT_NEAR(runs[i].to, expect[i].second, 1.0) << "style " << style << " dash " << i;
            }
        }
    }
}

TEST_F(DashTest, DashesLeaveRoomForArrowheads) {
    // A long thin template: attachment side 2 high, 40 long; at pen 2 it
    // takes 2 x 40 / 1 = 80 pixels of the path.
    auto arrow = [] {
        return MakePath({{PT_MOVETO, 0, -1}, {PT_LINETO, 40, 0}, {PT_LINETO | PT_CLOSEFIGURE, 0, 1}});
    };
    for (int32_t off : {0, 1}) {
        std::vector<Span> runs = RowRuns(deform_test::Render(Own(DashedLine(20, 420, 30, 1, 2, arrow(), off))), 30);
        ASSERT_FALSE(runs.empty());
        // w = 4; with the arrowhead the dashes cover the line from 100 on.
        const auto expect = off ? ExpectedDashes(1, 4.0, 20, 400) : ExpectedDashes(1, 4.0, 100, 320);
        EXPECT_NEAR(runs.front().from, expect.front().first, 1.0) << off;
        EXPECT_NEAR(runs.back().to, expect.back().second, 1.0) << off;
        EXPECT_EQ(runs.size(), expect.size());
    }
    // A template whose attachment side has no height measures nothing.
    KyPath *flat = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 0, 0}, {PT_LINETO, 40, 0}});
    std::vector<Span> runs = RowRuns(deform_test::Render(Own(DashedLine(20, 420, 30, 1, 2, flat))), 30);
    ASSERT_FALSE(runs.empty());
    EXPECT_NEAR(runs.front().from, 24, 1.0);
}

// The dash chain replaces the record only while it is rendered: the record
// comes back byte for byte, the chain is freed (the fixture counts heap
// blocks), and records that do not qualify are rendered solid.
TEST_F(DashTest, DashReplacementThroughToBufLeavesThePathAlone) {
    KyPath *p = Own(DashedLine(20, 420, 30, 2, 1));
    KyPath *after = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}}));
    const std::vector<uint8_t> before = testing_support::RecordBytes(p);
    OutlineInfo saved = *path::OutlineOf(p);
    const size_t live = LiveBlocks();
    deform_test::Mask m = deform_test::Render(p);
    std::vector<Span> runs = RowRuns(m, 30);
    EXPECT_GT(runs.size(), 10u);
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(testing_support::RecordBytes(p), before);
    EXPECT_EQ(std::memcmp(&saved, path::OutlineOf(p), sizeof saved), 0);
    // The rectangle is the record's own.
    Y32Rect own{};
    KyPathGetMiniMaxRect(p, fx::kOne, &own);
    EXPECT_EQ(m.rect.left, own.left);
    EXPECT_EQ(m.rect.right, own.right);
    EXPECT_EQ(m.rect.top, own.top);

    // Followed by an ordinary record: rendered as it is (an open line
    // fills nothing); followed by an envelope outline: dashed.
    p->next = after;
    EXPECT_TRUE(RowRuns(deform_test::Render(p), 30).empty());
    after->flags = KPF_ENVELOPE1;
    EXPECT_EQ(RowRuns(deform_test::Render(p), 30).size(), runs.size());
    p->next = nullptr;
    // The outline modes trace the record itself: one line, no gaps.
    int32_t lit = 0;
    for (const Span &s : RowRuns(deform_test::Render(p, 0, 1), 30)) lit += s.to - s.from;
    EXPECT_GT(lit, 390);

    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(testing_support::RecordBytes(p), before);
}

// A chain much wider than its source is not rasterised: a vertical line
// with dashes 324 pixels thick comes back as an empty mask of the line's
// own rectangle, dashes 204 thick are drawn.
TEST_F(DashTest, ChainsFarWiderThanTheirPathComeBackEmpty) {
    for (int32_t pen : {100, 160}) {
        KyPath *p = Own(MakePath({{PT_MOVETO, 50, 0}, {PT_LINETO, 50, 1000}}));
        OutlineInfo *info = nullptr;
        KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 1, nullptr, 0, pen, 0, 0, &info);
        KyPathSetOutlineInfo(p, info);
        deform_test::Mask m = deform_test::Render(p);
        EXPECT_EQ(m.rect.right - m.rect.left, 11);  // the line's own rectangle: 45..56
        bool empty = true;
        for (uint8_t v : m.px) empty &= v == 0;
        EXPECT_EQ(empty, pen == 160) << pen;
    }
}

}  // namespace
