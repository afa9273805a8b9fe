#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/bezier.h"
#include "core/path_table.h"
#include "deform/wrap_presets.h"
#include "platform/alloc_fail.h"
#include "support/records.h"
#include "y32Comm.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

struct XY {
    double x, y;
};

XY At(const KyPath *p, int32_t i) {
    const PathPoint &pt = path::Points(p)[i];
    return XY{FixToDb(pt.x), FixToDb(pt.y)};
}

using testing_support::LastError;

// Each quarter of a 13-point circle: its end and its midpoint lie at
// distance r from the centre, and the start tangent is perpendicular to
// the radius.
void ExpectQuartersOnCircle(const KyPath *p, double r) {
    for (int32_t q = 0; q < 4; ++q) {
        bez::Cubic c;
        for (int i = 0; i < 4; ++i) {
            XY v = At(p, 3 * q + i);
            c.p[i] = vec::Vec2{v.x, v.y};
        }
        // For a quarter turn the radius at the start runs against the end
        // tangent: centre = start + r * (end tangent).
        vec::Vec2 ta = bez::UnitTangentAt(c, 0.0), tb = bez::UnitTangentAt(c, 1.0);
        vec::Vec2 centre{c.p[0].x + tb.x * r, c.p[0].y + tb.y * r};
        // The start tangent is perpendicular to the radius at a.
        EXPECT_NEAR(ta.x * (c.p[0].x - centre.x) + ta.y * (c.p[0].y - centre.y), 0.0, 1e-3);
        vec::Vec2 mid = bez::PointAt(c, 0.5);
        EXPECT_NEAR(std::hypot(mid.x - centre.x, mid.y - centre.y), r, 1e-3 * r) << "quarter " << q;
        EXPECT_NEAR(std::hypot(c.p[3].x - centre.x, c.p[3].y - centre.y), r, 1e-3 * r) << "quarter " << q;
    }
}

TEST_F(PathTest, CircleBaselinesStartAtTheirAxisPointAndStayOnTheCircle) {
    struct Case {
        wrap_preset::CircleStart start;
        XY order[5];
    } cases[] = {
        {wrap_preset::CircleStart::kBottom, {{100, 150}, {50, 100}, {100, 50}, {150, 100}, {100, 150}}},
        {wrap_preset::CircleStart::kTop, {{100, 50}, {50, 100}, {100, 150}, {150, 100}, {100, 50}}},
    };
    for (const Case &c : cases) {
        KyPath *p = wrap_preset::MakeCircle(100, 100, 50, c.start, 3430);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(p->count, 13);
        EXPECT_EQ(p->shape, 1);
        EXPECT_EQ(path::Points(p)[0].type, PT_MOVETO);
        EXPECT_EQ(path::Points(p)[12].type, PT_BEZIERTO | PT_CLOSEFIGURE);
        for (int32_t i = 1; i < 12; ++i) EXPECT_EQ(path::Points(p)[i].type, PT_BEZIERTO);
        for (int k = 0; k < 5; ++k) {
            XY v = At(p, 3 * k);
            EXPECT_DOUBLE_EQ(v.x, c.order[k].x) << k;
            EXPECT_DOUBLE_EQ(v.y, c.order[k].y) << k;
        }
        ExpectQuartersOnCircle(p, 50);
        KyPathDeletePtr(p, 0);
    }
    {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(wrap_preset::MakeCircle(0, 0, 10, wrap_preset::CircleStart::kBottom, 3430), nullptr);
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, 1001);
        EXPECT_EQ(e.unit, 41);
        EXPECT_EQ(e.line, 3430);
    }
}

TEST_F(PathTest, WaveIsAnOpenSStretchedAboutItsCentre) {
    KyPath *p = wrap_preset::MakeWave(200, 100, 40);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->count, 13);
    EXPECT_EQ(p->shape, 0);
    EXPECT_FALSE(path::IsClosed(p));
    // Before the stretch: (120,100) (160,60) (200,100) (240,140) (280,100);
    // 1.5 across and 0.75 up about (200, 100).
    const XY expect[5] = {{80, 100}, {140, 70}, {200, 100}, {260, 130}, {320, 100}};
    for (int k = 0; k < 5; ++k) {
        XY v = At(p, 3 * k);
        EXPECT_NEAR(v.x, expect[k].x, 1e-4) << k;
        EXPECT_NEAR(v.y, expect[k].y, 1e-4) << k;
    }
    KyPathDeletePtr(p, 0);
    plat::ScopedAllocFailure fail(0);
    c32ClearDLLErrInfo();
    EXPECT_EQ(wrap_preset::MakeWave(0, 0, 10), nullptr);
    EXPECT_EQ(LastError().line, 3350);
}

// A figure of two records and a baseline at the tail of its list, as a
// wrap leaves it: one group chain, the baseline selected.
struct WrappedList {
    KyPath *a, *b, *base;
    WrappedList() {
        a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
        b = MakePath({{PT_MOVETO, 20, 0}, {PT_LINETO, 30, 0}});
        base = MakePath({{PT_MOVETO, 0, 50}, {PT_BEZIERTO, 10, 40}, {PT_BEZIERTO, 20, 40}, {PT_BEZIERTO, 30, 50}});
        LinkList({a, b, base});
        PathGroupToEnd(a);
        base->flags = KPF_SELECTED | KPF_LASTMARK;
    }
};

TEST_F(PathTest, PlaceholderAndBaselineQueries) {
    WrappedList w;
    EXPECT_EQ(KyPathIsWrapBaseline(w.base), 1);
    EXPECT_EQ(KyPathIsWrapBaseline(w.a), 0);
    EXPECT_EQ(KyPathIsWrapBaseline(nullptr), 0);

    double x = -1, y = -1;
    EXPECT_EQ(KyPathGetPointPosition(w.base, 3, &x, &y), 1);
    EXPECT_DOUBLE_EQ(x, 30.0);
    EXPECT_DOUBLE_EQ(y, 50.0);
    EXPECT_EQ(KyPathGetPointPosition(w.base, 1, nullptr, &y), 1);
    EXPECT_DOUBLE_EQ(y, 40.0);
    EXPECT_EQ(KyPathGetPointPosition(w.base, 4, &x, &y), 0);
    EXPECT_EQ(KyPathGetPointPosition(w.base, -1, &x, &y), 0);
    EXPECT_EQ(KyPathGetPointPosition(nullptr, 0, &x, &y), 0);

    EXPECT_EQ(KyPathAppendEmptySubpath(w.a), 1);
    KyPath *place = w.base->next;
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->prev, w.base);
    EXPECT_EQ(place->count, 1);
    EXPECT_EQ(place->flags, 0x80010000u);
    EXPECT_EQ(path::Points(place)[0].type, 7);
    EXPECT_EQ(+path::Points(place)[0].x, 0);
    {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathAppendEmptySubpath(w.a), 0);
        EXPECT_EQ(LastError().line, 5609);
        EXPECT_EQ(place->next, nullptr);
    }
    EXPECT_EQ(KyPathAppendEmptySubpath(nullptr), 0);
    KyPathDeletePtr(w.a, 0);
}

TEST_F(PathTest, SelectingTheBaselineMarksOneNodeOrOneSegment) {
    WrappedList w;
    // A previous mark goes; the new node is marked.
    path::Points(w.base)[1].type |= PT_SEGSELECTED;
    w.base->flags |= KPF_HASSELSEGMENT;
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 3, 1), 1);
    EXPECT_EQ(w.base->flags, KPF_SELECTED | KPF_LASTMARK | KPF_HASSELPOINT);
    EXPECT_EQ(path::Points(w.base)[3].type, PT_BEZIERTO | PT_SELECTED);
    EXPECT_EQ(path::Points(w.base)[1].type, PT_BEZIERTO);

    EXPECT_EQ(KyPathSelectWrapBaseline(w.b, -1, 0), 1);
    EXPECT_EQ(w.base->flags, KPF_SELECTED | KPF_LASTMARK | KPF_HASSELSEGMENT);
    EXPECT_EQ(path::Points(w.base)[0].type, PT_MOVETO | PT_SEGSELECTED);
    EXPECT_EQ(path::Points(w.base)[3].type, PT_BEZIERTO);

    // An index past the points selects the baseline and marks nothing.
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 4, -1), 0);
    EXPECT_EQ(w.base->flags, KPF_SELECTED | KPF_LASTMARK);
    for (int32_t i = 0; i < w.base->count; ++i) EXPECT_EQ(path::Points(w.base)[i].type & 0x8800, 0);

    // A list without a baseline at its tail is not touched.
    w.base->flags = KPF_SELECTED;
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 0, -1), 0);
    EXPECT_EQ(w.base->flags, KPF_SELECTED);
    KyPathDeletePtr(w.a, 0);
}

TEST_F(PathTest, BaselineCopiedAndSeparatedFromTheTable) {
    WrappedList w;
    PathTable *t = nullptr;
    ASSERT_EQ(KyPathNew(&t), 1);
    KyPathTblGroups(t)[0].first = w.a;
    KyPathTblGroups(t)[0].firstSelected = w.base;
    path::Points(w.base)[2].type |= PT_SEGSELECTED;
    w.base->flags |= KPF_HASSELSEGMENT;

    KyPath *copy = KyPathMakeACopyOfBaseline(t);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(mem::PathBlockSize(copy), mem::PathBlockSize(w.base));
    EXPECT_EQ(copy->prev, nullptr);
    EXPECT_EQ(copy->groupPrev, nullptr);
    EXPECT_EQ(IsSameSubpath(copy, w.base), 1);
    KyPathDeletePtr(copy, 0);
    {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathMakeACopyOfBaseline(t), nullptr);
        EXPECT_EQ(LastError().line, 5238);
    }

    int32_t node = 7, handle = 7;
    KyPath *sep = KyPathSeparateBaselineFromTable(t, &node, &handle);
    ASSERT_EQ(sep, w.base);
    EXPECT_EQ(node, -1);
    EXPECT_EQ(handle, 2);
    EXPECT_EQ(w.b->next, nullptr);
    EXPECT_EQ(w.b->groupNext, nullptr);
    EXPECT_EQ(sep->prev, nullptr);
    EXPECT_EQ(sep->groupPrev, nullptr);
    EXPECT_EQ(sep->flags, KPF_LASTMARK);
    EXPECT_EQ(path::Points(sep)[2].type, PT_BEZIERTO);
    EXPECT_EQ(KyPathTblGroups(t)[0].firstSelected, nullptr);
    EXPECT_EQ(KyPathTblGroups(t)[0].first, w.a);
    // Nothing selected now, so nothing more to separate or copy.
    EXPECT_EQ(KyPathSeparateBaselineFromTable(t, nullptr, nullptr), nullptr);
    EXPECT_EQ(KyPathMakeACopyOfBaseline(t), nullptr);

    // A selected path that is no baseline stays where it is.
    w.b->flags |= KPF_SELECTED;
    KyPathTblGroups(t)[0].firstSelected = w.b;
    EXPECT_EQ(KyPathSeparateBaselineFromTable(t, &node, &handle), nullptr);
    EXPECT_EQ(KyPathTblGroups(t)[0].firstSelected, w.b);
    EXPECT_EQ(KyPathSeparateBaselineFromTable(nullptr, &node, &handle), nullptr);
    KyPathDeletePtr(sep, 0);
    KyPathTblDelete(t);
}

TEST_F(PathTest, SameSubpathComparesCountFlagsShapeAndPointBytes) {
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}});
    EXPECT_EQ(IsSameSubpath(a, b), 1);
    EXPECT_EQ(IsSameSubpath(nullptr, nullptr), 1);
    EXPECT_EQ(IsSameSubpath(a, nullptr), 0);
    // One change at a time: a 1/65536 step, the shape code, the flags, a
    // selection bit.
    void (*const changes[])(KyPath *) = {
        [](KyPath *p) { path::Points(p)[1].x ^= 1; },
        [](KyPath *p) { p->shape ^= 1; },
        [](KyPath *p) { p->flags ^= KPF_LASTMARK; },
        [](KyPath *p) { path::Points(p)[1].type ^= PT_SELECTED; },
    };
    for (auto change : changes) {
        change(b);
        EXPECT_EQ(IsSameSubpath(a, b), 0);
        change(b);
        EXPECT_EQ(IsSameSubpath(a, b), 1);
    }
    KyPathDeletePtr(a, 0);
    KyPathDeletePtr(b, 0);
}

}  // namespace

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

TEST_F(PathTest, PredefinedWrapsFromTheTable) {
    WrapInfo w{};
    // 101: a circle about the position, every point bent, six copies.
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 101, 200, 150, 60), 1);
    ASSERT_NE(w.baseline, nullptr);
    EXPECT_EQ(w.baseline->shape, 1);
    EXPECT_TRUE(path::IsClosed(w.baseline));
    EXPECT_DOUBLE_EQ(At(w.baseline, 0).y, 210.0);  // starts at the bottom point
    EXPECT_EQ(w.fitToLength, 1);
    EXPECT_EQ(w.repeatCount, 6);
    EXPECT_EQ(w.closedLoop, 1);
    EXPECT_EQ(w.text, 0);
    EXPECT_DOUBLE_EQ(w.baselineLevel, 0.5);
    EXPECT_EQ(w.smoothCorners, 1);
    EXPECT_EQ(w.version, 1);
    EXPECT_EQ(w.positionX, 200);
    KyPathDeletePtr(w.baseline, 0);

    // 106: a wave, option8 100.
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 106, 200, 150, 20), 1);
    ASSERT_NE(w.baseline, nullptr);
    EXPECT_FALSE(path::IsClosed(w.baseline));
    EXPECT_EQ(w.option8, 100);
    EXPECT_EQ(w.repeatCount, 10);
    EXPECT_EQ(w.closedLoop, 0);
    KyPathDeletePtr(w.baseline, 0);

    // 207 (text on a wave) and 307 (text under generated circles).
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 207, 0, 0, 20), 1);
    EXPECT_EQ(w.text, 1);
    EXPECT_EQ(w.fitToLength, 0);
    KyPathDeletePtr(w.baseline, 0);
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 307, 5, 6, 20), 1);
    EXPECT_EQ(w.baseline, nullptr);
    EXPECT_EQ(w.amplitude, -50);
    EXPECT_EQ(w.shape, 2);
    EXPECT_EQ(w.text, 1);

    // Between the listed types only the common fields.
    for (int32_t type : {150, 250}) {
        w.repeatCount = 99;
        ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 7, 8, 20), 1) << type;
        EXPECT_EQ(w.baseline, nullptr);
        EXPECT_EQ(w.repeatCount, 0);
        EXPECT_EQ(w.startHeight, 0);
        EXPECT_EQ(w.text, type == 250 ? 1 : 0);
        EXPECT_EQ(w.positionY, 8);
        EXPECT_EQ(w.version, 1);
    }
    // Outside the table: 0 and nothing written.
    for (int32_t type : {308, 99, 400, -1}) {
        w.repeatCount = 42;
        EXPECT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 0, 0, 20), 0) << type;
        EXPECT_EQ(w.repeatCount, 42);
    }
    EXPECT_EQ(KyPathGetPredefinedWrapInfo(nullptr, 101, 0, 0, 20), 0);
    // A baseline that cannot be built: 0, record as it was.
    for (auto c : {std::make_pair(103, 3430), std::make_pair(205, 3350)}) {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathGetPredefinedWrapInfo(&w, c.first, 0, 0, 20), 0);
        EXPECT_EQ(w.repeatCount, 42);
        EXPECT_EQ(LastError().line, c.second);
    }
}

// A row of rectangles standing for characters (a figure 20 high), each its
// own record; with `lines` > 1 the rows are stacked 30 apart and each row's
// first record carries the line-start bit.
KyPath *Characters(int32_t per_line, int32_t lines = 1, uint32_t text_bits = 0x40000000u) {
    KyPath *head = nullptr, *tail = nullptr;
    for (int32_t l = 0; l < lines; ++l) {
        for (int32_t i = 0; i < per_line; ++i) {
            double x = 10 + 12 * i, y = 10 + 30 * l;
            KyPath *r = MakePath({{PT_MOVETO, x, y},
                                  {PT_LINETO, x + 10, y},
                                  {PT_LINETO, x + 10, y + 20},
                                  {PT_LINETO, x, y + 20},
                                  {PT_LINETO | PT_CLOSEFIGURE, x, y}});
            r->flags = text_bits | (i == 0 && lines > 1 ? 0x20000000u : 0u);
            if (tail) {
                tail->next = r;
                r->prev = tail;
            } else {
                head = r;
            }
            tail = r;
        }
    }
    return head;
}

struct Polar {
    double min_r = 1e9, max_r = 0, min_y = 1e9, max_y = -1e9;
    bool quadrant[4] = {false, false, false, false};
};

// Distances and directions of every point of records first..(before stop)
// from (cx, cy).
Polar Measure(const KyPath *first, const KyPath *stop, double cx, double cy) {
    Polar p;
    for (const KyPath *r = first; r && r != stop; r = r->next) {
        for (int32_t i = 0; i < r->count; ++i) {
            XY v = At(r, i);
            double d = std::hypot(v.x - cx, v.y - cy);
            p.min_r = std::min(p.min_r, d);
            p.max_r = std::max(p.max_r, d);
            p.min_y = std::min(p.min_y, v.y);
            p.max_y = std::max(p.max_y, v.y);
            p.quadrant[(v.x >= cx ? 0 : 1) + (v.y >= cy ? 0 : 2)] = true;
        }
    }
    return p;
}

WrapInfo CirclePreset(int32_t type, int32_t font_height) {
    WrapInfo w{};
    EXPECT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 300, 200, 0), 1);
    uint64_t bits = static_cast<uint64_t>(font_height);
    double level;
    std::memcpy(&level, &bits, sizeof level);
    w.baselineLevel = level;
    return w;
}

// Text on generated circles: one line of 30 characters 12 apart (width
// 358) takes a whole circle of radius 358 / 2 pi at amplitude 100, the
// upper half of a circle twice that size at 50 and the lower half at -50.
TEST_F(PathTest, TextOnGeneratedCircles) {
    const double width = 358.0;
    struct Case {
        int32_t type;
        double radius;
        int upper;  // 1 above the centre, -1 below, 0 all round
    } cases[] = {{300, width / (2 * M_PI), 0}, {306, width / M_PI, 1}, {307, width / M_PI, -1}};
    for (const Case &c : cases) {
        WrapInfo w = CirclePreset(c.type, 30);
        KyPath *fig = Characters(30);
        ASSERT_EQ(KyPathWrap(&fig, &w), 1) << c.type;
        // Ascent 20 of 30: the baseline lies 1/6 of the height below the
        // middle, which the circle carries; the position is on line 0's
        // baseline.
        const double mid = 200 - 20.0 / 6.0;
        const double cy = c.type == 307 ? mid - c.radius : mid + c.radius;
        Polar p = Measure(fig, nullptr, 300, cy);
        EXPECT_GT(p.min_r, c.radius - 11.5) << c.type;
        EXPECT_LT(p.max_r, c.radius + 11.5) << c.type;
        if (c.upper == 0) {
            for (bool q : p.quadrant) EXPECT_TRUE(q) << c.type;
        } else if (c.upper > 0) {
            EXPECT_LT(p.max_y, cy + 1.0);
            EXPECT_LT(p.min_y, cy - c.radius + 1.0);
        } else {
            EXPECT_GT(p.min_y, cy - 1.0);
            EXPECT_GT(p.max_y, cy + c.radius - 1.0);
        }
        EXPECT_EQ(w.closedLoop, 1);
        KyPathDeletePtr(fig, 0);
    }
}

// Two lines on circles about one centre: the upper line on the outer
// circle, 30 pixels (the line distance) further out, when the text stands
// on the circles; the other way round when it hangs inside them.
TEST_F(PathTest, StackedLinesOnConcentricCircles) {
    for (int32_t type : {306, 307}) {
        WrapInfo w = CirclePreset(type, 30);
        KyPath *fig = Characters(20, 2);
        ASSERT_EQ(KyPathWrap(&fig, &w), 1);
        // Line 0 (width 238) is the reference: radius 238 / pi.
        const double r0 = 238.0 / M_PI, mid = 200 - 20.0 / 6.0;
        const double cy = type == 306 ? mid + r0 : mid - r0;
        KyPath *line1 = fig;
        for (int i = 0; i < 20; ++i) line1 = line1->next;
        Polar a = Measure(fig, line1, 300, cy), b = Measure(line1, nullptr, 300, cy);
        const double step = type == 306 ? -30.0 : 30.0;
        EXPECT_NEAR(0.5 * (b.min_r + b.max_r) - 0.5 * (a.min_r + a.max_r), step, 1.5) << type;
        KyPathDeletePtr(fig, 0);
    }
    // Amplitude 0: the figure is only centred on the position.
    WrapInfo w = CirclePreset(300, 30);
    w.amplitude = 0;
    KyPath *fig = Characters(5);
    ASSERT_EQ(KyPathWrap(&fig, &w), 1);
    Polar p = Measure(fig, nullptr, 0, 0);
    EXPECT_NEAR(p.min_y, 190, 1.0);
    EXPECT_NEAR(p.max_y, 210, 1.0);
    XY first = At(fig, 0);
    EXPECT_NEAR(first.x, 300 - 29, 1.0);  // 58 wide
    KyPathDeletePtr(fig, 0);
}

TEST_F(PathTest, CircleWrapFailuresLeaveTheFigure) {
    for (int64_t i = 0; i < 60; ++i) {
        WrapInfo w = CirclePreset(301, 30);
        KyPath *fig = Characters(6, 2);
        KyPath *before = fig;
        plat::FailAllocationAt(i);
        int32_t ok = KyPathWrap(&fig, &w);
        plat::FailAllocationAt(-1);
        if (!ok) {
            EXPECT_EQ(fig, before);
            EXPECT_DOUBLE_EQ(At(fig, 0).x, 10.0);
        }
        KyPathDeletePtr(fig, 0);
    }
}

TEST_F(PathTest, SameWrapInfoTolerancesAndBaselines) {
    WrapInfo a{}, b{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&a, 101, 100, 100, 40), 1);
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&b, 101, 100, 100, 40), 1);
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    b.spacing = a.spacing + 0.00005;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    b.spacing = a.spacing + 0.0002;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    b.spacing = a.spacing;
    b.startOffset = 0.5;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    b.startOffset = 0.0;
    b.baselineLevel = 0.6;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    b.text = 1;  // one of them text: the level is the font height, not compared
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    b.text = 0;
    b.baselineLevel = 0.5;
    path::Points(b.baseline)[3].x += 1;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    path::Points(b.baseline)[3].x -= 1;
    b.endHeight = 90;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    KyPathDeletePtr(a.baseline, 0);
    KyPathDeletePtr(b.baseline, 0);
    a.baseline = b.baseline = nullptr;
    b.endHeight = a.endHeight;
    a.amplitude = 50;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    b.amplitude = 50;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    EXPECT_EQ(IsSameWrapInfo(nullptr, nullptr), 1);
    EXPECT_EQ(IsSameWrapInfo(&a, nullptr), 0);
}

TEST_F(PathTest, AddWrapPathReplacesThePlaceholder) {
    WrapInfo w{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 105, 100, 100, 30), 1);
    KyPath *fig = Characters(3);
    fig->flags |= KPF_SELECTED;
    ASSERT_EQ(KyPathAppendEmptySubpath(fig), 1);
    ASSERT_EQ(KyPathGetSubpathsNumber(fig), 4);
    ASSERT_EQ(KyPathAddWrapPath(fig, &w), 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(fig), 4);
    KyPath *tail = PathLast(fig);
    EXPECT_NE(tail, w.baseline);
    EXPECT_EQ(tail->count, 13);
    EXPECT_EQ(tail->flags, 0x80010000u);
    EXPECT_EQ(tail->groupPrev, nullptr);
    EXPECT_EQ(fig->flags & KPF_SELECTED, 0u);            // selection cleared
    EXPECT_EQ(fig->groupNext, fig->next);                // one group chain
    EXPECT_EQ(tail->prev->groupNext, nullptr);
    EXPECT_EQ(KyPathAddWrapPath(fig, nullptr), 0);
    KyPath *keep = w.baseline;
    w.baseline = nullptr;
    EXPECT_EQ(KyPathAddWrapPath(fig, &w), 0);
    w.baseline = keep;
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathAddWrapPath(fig, &w), 0);
        EXPECT_EQ(KyPathGetSubpathsNumber(fig), 4);
    }
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(w.baseline, 0);
}

// The host keeps its figure and re-wraps a duplicate along the edited
// baseline; the table's list is replaced, the baseline kept at its end.
TEST_F(PathTest, WrapAndUpdateReplacesTheTablesFigure) {
    PathTable *t = nullptr;
    ASSERT_EQ(KyPathNew(&t), 1);
    WrapInfo w{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 105, 200, 100, 40), 1);
    KyPath *figure = Characters(4);
    KyPath *old_list = Characters(2);
    KyPathTblGroups(t)[0].first = old_list;

    // The edited baseline: a straight line with its second segment picked.
    KyPath *edited = MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 200, 100}, {PT_LINETO, 400, 100}});
    edited->flags = KPF_SELECTED | KPF_LASTMARK | KPF_HASSELSEGMENT;
    path::Points(edited)[1].type |= PT_SEGSELECTED;
    const double fig_x0 = At(figure, 0).x;

    ASSERT_EQ(KyPathWrapAndUpdate(t, &figure, edited, &w), 1);
    EXPECT_DOUBLE_EQ(At(figure, 0).x, fig_x0);  // the host's figure untouched
    ASSERT_NE(w.baseline, nullptr);
    EXPECT_NE(w.baseline, edited);
    EXPECT_EQ(IsSameSubpath(w.baseline, edited), 0);  // deselected copy
    EXPECT_EQ(w.baseline->count, 3);
    const PathGroup &g = KyPathTblGroups(t)[0];
    ASSERT_NE(g.first, nullptr);
    KyPath *tail = PathLast(g.first);
    EXPECT_EQ(KyPathIsWrapBaseline(tail), 1);
    EXPECT_EQ(tail->count, 3);
    EXPECT_EQ(tail->flags, KPF_SELECTED | KPF_LASTMARK | KPF_HASSELSEGMENT);
    EXPECT_EQ(path::Points(tail)[1].type, PT_LINETO | PT_SEGSELECTED);
    EXPECT_EQ(g.firstSelected, tail);
    EXPECT_GE(KyPathGetSubpathsNumber(g.first), 41);  // ten copies of four, and the baseline
    // The wrapped characters lie on the line y = 100.
    for (KyPath *r = g.first; r != tail; r = r->next)
        for (int32_t i = 0; i < r->count; ++i) EXPECT_NEAR(At(r, i).y, 100, 11);

    // A baseline too short to wrap along: nothing changes.
    KyPath *first_before = g.first;
    KyPath *info_before = w.baseline;
    KyPath *tiny = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 2, 0}});
    EXPECT_EQ(KyPathWrapAndUpdate(t, &figure, tiny, &w), 0);
    EXPECT_EQ(g.first, first_before);
    EXPECT_EQ(w.baseline, info_before);
    // Every allocation failing in turn: unchanged or done, nothing leaked.
    for (int64_t i = 0; i < 40; ++i) {
        plat::FailAllocationAt(i);
        int32_t ok = KyPathWrapAndUpdate(t, &figure, edited, &w);
        plat::FailAllocationAt(-1);
        if (!ok) {
            EXPECT_EQ(KyPathTblGroups(t)[0].first, first_before) << i;
            EXPECT_EQ(w.baseline, info_before) << i;
        } else {
            first_before = KyPathTblGroups(t)[0].first;
            info_before = w.baseline;
        }
    }
    EXPECT_EQ(KyPathWrapAndUpdate(nullptr, &figure, edited, &w), 0);
    EXPECT_EQ(KyPathWrapAndUpdate(t, nullptr, edited, &w), 0);

    // A figure that is itself the table's list stays the caller's.
    KyPathTblGroups(t)[0].first = figure;
    KyPathTblGroups(t)[0].firstSelected = nullptr;
    KyPathDeletePtr(first_before, 0);
    ASSERT_EQ(KyPathWrapAndUpdate(t, &figure, edited, &w), 1);
    EXPECT_DOUBLE_EQ(At(figure, 0).x, fig_x0);
    EXPECT_NE(KyPathTblGroups(t)[0].first, figure);

    KyPathDeletePtr(tiny, 0);
    KyPathDeletePtr(edited, 0);
    KyPathDeletePtr(figure, 0);
    KyPathDeletePtr(w.baseline, 0);
    KyPathTblDelete(t);
}

}  // namespace
