#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/path_record.h"
#include "deform/dash.h"
#include "platform/alloc_fail.h"
#include "raster/path_to_buf.h"
#include "raster/pixel_buffer.h"
#include "support/records.h"
#include "y32Comm.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

using testing_support::LastError;

struct Style {
    double dashes[3][2];  // in units of w
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

// Renders through KyPathToBuf (hard mask) and reads the covered runs of
// the image row y.
std::vector<Span> RowRuns(KyPath *p, int32_t y, Y32Rect *rect_out = nullptr, bool *all_zero = nullptr) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    std::vector<Span> runs;
    int32_t n = KyPathToBuf(p, 0, 0, 0, 0, fx::kOne, &rects, &bufs, 0);
    EXPECT_EQ(n, 1);
    if (n != 1) return runs;
    const Y32Rect r = rects[0];
    if (rect_out) *rect_out = r;
    const uint32_t w = pbuf::Width(bufs[0]), h = pbuf::Height(bufs[0]);
    if (all_zero) {
        *all_zero = true;
        for (uint32_t yy = 0; yy < h; ++yy)
            for (uint32_t x = 0; x < w; ++x)
                if (pbuf::Row(bufs[0], yy)[x]) *all_zero = false;
    }
    const int32_t row = y - r.top;
    if (row >= 0 && static_cast<uint32_t>(row) < h) {
        const uint8_t *px = pbuf::Row(bufs[0], static_cast<uint32_t>(row));
        for (uint32_t x = 0; x < w; ++x) {
            if (!px[x]) continue;
            int32_t ix = r.left + static_cast<int32_t>(x);
            if (!runs.empty() && runs.back().to == ix) runs.back().to = ix + 1;
            else runs.push_back(Span{ix, ix + 1});
        }
    }
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
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

TEST_F(PathTest, EachStyleBuildsItsDashRectangles) {
    for (int32_t style = 1; style <= 7; ++style) {
        dash::Pattern pat;
        ASSERT_TRUE(dash::BuildPattern(style, 4.0, 200.0, &pat)) << style;
        // Where the dashes fall along the path is read off the masks below;
        // here the records themselves: closed 5-point rectangles straddling
        // the path from -2 to w + 2.
        int32_t n = 0;
        for (KyPath *d = pat.head; d; d = d->next, ++n) {
            ASSERT_EQ(d->count, 5);
            EXPECT_TRUE(path::IsClosed(d));
            EXPECT_DOUBLE_EQ(FixToDb(path::Points(d)[0].y), -2.0);
            EXPECT_DOUBLE_EQ(FixToDb(path::Points(d)[2].y), 6.0);
        }
        EXPECT_EQ(n, kStyles[style].n);
        KyPathDeletePtr(pat.head, 0);
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

TEST_F(PathTest, DashedStrokeRefusals) {
    KyPath *line = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}});
    struct Case {
        const KyPath *path;
        int32_t style;
        double width;
        int32_t code, line;
    } cases[] = {
        {line, 8, 1.0, 3200, 6060},   {line, 0, 1.0, 3200, 6060}, {line, -1, 1.0, 3200, 6060},
        {nullptr, 1, 1.0, 3200, 6064}, {nullptr, 9, 1.0, 3200, 6060},
    };
    for (const Case &c : cases) {
        c32ClearDLLErrInfo();
        EXPECT_EQ(dash::MakeDashedStroke(c.path, c.style, c.width, 0, 0), nullptr);
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.unit, 41);
        EXPECT_EQ(e.line, c.line) << c.style;
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
    KyPath *tiny = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 3, 0}});
    c32ClearDLLErrInfo();
    EXPECT_EQ(dash::MakeDashedStroke(tiny, 1, 1.0, 0, 0), nullptr);
    EXPECT_EQ(LastError().code, 5404);
    // Every allocation after the first failing in turn, trims included:
    // null, nothing left (the fixture counts the blocks).
    for (int64_t i = 1; i < 40; ++i) {
        plat::ScopedAllocFailure fail(i);
        KyPath *chain = dash::MakeDashedStroke(line, 3, 1.0, 10.0, 10.0);
        if (chain) KyPathDeletePtr(chain, 0);
    }
    KyPathDeletePtr(tiny, 0);
    KyPathDeletePtr(line, 0);
}

TEST_F(PathTest, TrimToRangeKeepsTheRequestedArc) {
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
        EXPECT_NEAR(KyPathGetLength(a.p), a.length < 0 ? whole / 2 : a.length, a.tol);
        const PathPoint &f = path::Points(a.p)[0], &l = path::Points(a.p)[a.p->count - 1];
        EXPECT_EQ(+f.type, PT_MOVETO);
        EXPECT_NEAR(FixToDb(f.x), a.first_x, a.tol);
        EXPECT_NEAR(FixToDb(f.y), a.first_y, a.tol);
        EXPECT_NEAR(FixToDb(l.x), a.last_x, a.tol);
        EXPECT_NEAR(FixToDb(l.y), a.last_y, a.tol);
        EXPECT_FALSE(path::IsClosed(a.p));
        EXPECT_TRUE(a.length >= 0 || a.p->count == count) << "the arc stays one curve";
        KyPathDeletePtr(a.p, 0);
    }
    KyPath *p = nullptr;

    // What is kept whole, and what is dropped.
    struct Case {
        bool closed;
        double t0, t1;
        enum { kUnchanged, kGone } result;
    } cases[] = {
        {false, 0.3, 0.3, Case::kGone},       {false, 0.0, 0.995, Case::kUnchanged},
        {false, -0.5, 0.995, Case::kUnchanged}, {false, 0.5, 0.505, Case::kGone},
        {false, 0.6, 0.4, Case::kGone},       {true, 0.6, 0.595, Case::kUnchanged},
        {true, 0.995, 0.001, Case::kGone},    {true, 0.25, 1.25, Case::kGone},
        {false, 0.0, 5.0, Case::kUnchanged},
    };
    for (const Case &c : cases) {
        p = c.closed ? square() : open();
        KyPath *before = p;
        const int32_t count = p->count;
        ASSERT_TRUE(dash::TrimToRange(&p, c.t0, c.t1)) << c.t0 << " " << c.t1;
        if (c.result == Case::kGone) {
            EXPECT_EQ(p, nullptr) << c.t0 << " " << c.t1;
        } else {
            EXPECT_EQ(p, before);
            EXPECT_EQ(p->count, count);
        }
        if (p) KyPathDeletePtr(p, 0);
    }
    // Out of memory while rebuilding: the record stays as it was.
    p = open();
    for (int64_t i = 0; i < 3; ++i) {  // segment records, table, new record
        plat::ScopedAllocFailure fail(i);
        KyPath *before = p;
        EXPECT_FALSE(dash::TrimToRange(&p, 0.25, 0.75)) << i;
        EXPECT_EQ(p, before);
        EXPECT_EQ(p->count, 3);
    }
    EXPECT_FALSE(dash::TrimToRange(&p, std::nan(""), 0.5));
    KyPath *none = nullptr;
    EXPECT_FALSE(dash::TrimToRange(&none, 0.1, 0.5));
    KyPathDeletePtr(p, 0);
}

// Each style along a straight 400-pixel line, read off the mask: the dash
// runs start and end where the stretched pattern puts them.
TEST_F(PathTest, DashRunsOnTheMaskFollowEachStyle) {
    const double x0 = 20, L = 400, y = 30;
    for (int32_t pen : {1, 2}) {
        for (int32_t style = 1; style <= 7; ++style) {
            KyPath *p = DashedLine(x0, x0 + L, y, style, pen);
            std::vector<Span> runs = RowRuns(p, static_cast<int32_t>(y));
            const auto expect = ExpectedDashes(style, 2.0 * pen, x0, L);
            ASSERT_EQ(runs.size(), expect.size()) << "style " << style << " pen " << pen;
            for (size_t i = 0; i < runs.size(); ++i) {
                EXPECT_NEAR(runs[i].from, expect[i].first, 1.0) << "style " << style << " dash " << i;
                EXPECT_NEAR(runs[i].to, expect[i].second, 1.0) << "style " << style << " dash " << i;
            }
            KyPathDeletePtr(p, 0);
        }
    }
}

TEST_F(PathTest, DashesLeaveRoomForArrowheads) {
    // A long thin template: attachment side 2 high, 40 long; at pen 2 it
    // takes 2 x 40 / 1 = 80 pixels of the path.
    auto arrow = [] {
        return MakePath({{PT_MOVETO, 0, -1}, {PT_LINETO, 40, 0}, {PT_LINETO | PT_CLOSEFIGURE, 0, 1}});
    };
    for (int32_t off : {0, 1}) {
        KyPath *p = DashedLine(20, 420, 30, 1, 2, arrow(), off);
        std::vector<Span> runs = RowRuns(p, 30);
        ASSERT_FALSE(runs.empty());
        // w = 4; with the arrowhead the dashes cover the line from 100 on.
        const auto expect = off ? ExpectedDashes(1, 4.0, 20, 400) : ExpectedDashes(1, 4.0, 100, 320);
        EXPECT_NEAR(runs.front().from, expect.front().first, 1.0) << off;
        EXPECT_NEAR(runs.back().to, expect.back().second, 1.0) << off;
        EXPECT_EQ(runs.size(), expect.size());
        KyPathDeletePtr(p, 0);
    }
    // A template whose attachment side has no height measures nothing.
    KyPath *flat = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 0, 0}, {PT_LINETO, 40, 0}});
    KyPath *p = DashedLine(20, 420, 30, 1, 2, flat);
    std::vector<Span> runs = RowRuns(p, 30);
    ASSERT_FALSE(runs.empty());
    EXPECT_NEAR(runs.front().from, 24, 1.0);
    KyPathDeletePtr(p, 0);
}

// The dash chain replaces the record only while it is rendered: the record
// comes back byte for byte, the chain is freed (the fixture counts heap
// blocks), and records that do not qualify are rendered solid.
TEST_F(PathTest, DashReplacementThroughToBufLeavesThePathAlone) {
    KyPath *p = DashedLine(20, 420, 30, 2, 1);
    const std::vector<uint8_t> before = testing_support::RecordBytes(p);
    OutlineInfo saved = *path::OutlineOf(p);
    const size_t live = LiveBlocks();
    Y32Rect rect{};
    std::vector<Span> runs = RowRuns(p, 30, &rect);
    EXPECT_GT(runs.size(), 10u);
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(testing_support::RecordBytes(p), before);
    EXPECT_EQ(std::memcmp(&saved, path::OutlineOf(p), sizeof saved), 0);
    // The rectangle is the record's own.
    Y32Rect own{};
    KyPathGetMiniMaxRect(p, fx::kOne, &own);
    EXPECT_EQ(rect.left, own.left);
    EXPECT_EQ(rect.right, own.right);
    EXPECT_EQ(rect.top, own.top);

    // Followed by an ordinary record: rendered as it is (an open line
    // fills nothing); followed by an envelope outline: dashed.
    KyPath *after = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}});
    p->next = after;
    EXPECT_TRUE(RowRuns(p, 30).empty());
    after->flags = KPF_ENVELOPE1;
    EXPECT_EQ(RowRuns(p, 30).size(), runs.size());
    p->next = nullptr;
    KyPathDeletePtr(after, 0);
    // The outline modes trace the record itself.
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(p, 0, 0, 0, 1, fx::kOne, &rects, &bufs, 0), 1);
    const uint8_t *row = pbuf::Row(bufs[0], static_cast<uint32_t>(30 - rects[0].top));
    int32_t lit = 0;
    for (uint32_t x = 0; x < pbuf::Width(bufs[0]); ++x) lit += row[x] != 0;
    EXPECT_GT(lit, 390);  // one traced line, no gaps
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);

    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(testing_support::RecordBytes(p), before);
    KyPathDeletePtr(p, 0);
}

// A chain much wider than its source is not rasterised: a vertical line
// with dashes 324 pixels thick comes back as an empty mask of the line's
// own rectangle, dashes 204 thick are drawn.
TEST_F(PathTest, ChainsFarWiderThanTheirPathComeBackEmpty) {
    for (int32_t pen : {100, 160}) {
        KyPath *p = MakePath({{PT_MOVETO, 50, 0}, {PT_LINETO, 50, 1000}});
        OutlineInfo *info = nullptr;
        KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 1, nullptr, 0, pen, 0, 0, &info);
        KyPathSetOutlineInfo(p, info);
        Y32Rect rect{};
        bool empty = false;
        RowRuns(p, 500, &rect, &empty);
        EXPECT_EQ(rect.right - rect.left, 11);  // the line's own rectangle: 45..56
        EXPECT_EQ(empty, pen == 160) << pen;
        KyPathDeletePtr(p, 0);
    }
}

}  // namespace
