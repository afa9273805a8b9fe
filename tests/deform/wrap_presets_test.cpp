#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/bezier.h"
#include "core/path_table.h"
#include "deform/wrap_presets.h"
#include "platform/alloc_fail.h"
#include "support/owned_records.h"
#include "support/records.h"
#include "y32Comm.h"

namespace {

using testing_support::LastError;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::XY;

XY At(const KyPath *p, int32_t i) { return XY{FixToDb(+path::Points(p)[i].x), FixToDb(+path::Points(p)[i].y)}; }

class WrapPresetTest : public testing_support::OwningPathTest {
  protected:
    // A figure of two records and a baseline at the tail of its list, as a
    // wrap leaves it: one group chain, the baseline selected.
    struct Wrapped {
        KyPath *a, *b, *base;
    };
    Wrapped MakeWrapped() {
        Wrapped w{MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}}),
                  MakePath({{PT_MOVETO, 20, 0}, {PT_LINETO, 30, 0}}),
                  MakePath({{PT_MOVETO, 0, 50}, {PT_BEZIERTO, 10, 40}, {PT_BEZIERTO, 20, 40}, {PT_BEZIERTO, 30, 50}})};
        LinkList({w.a, w.b, w.base});
        PathGroupToEnd(w.a);
        w.base->flags = KPF_SELECTED | KPF_LASTMARK;
        Own(w.a);
        return w;
    }
};

// Each quarter of a 13-point circle: the start tangent perpendicular to the
// radius, the midpoint and the end at distance r from the centre.
void ExpectQuartersOnCircle(const KyPath *p, double r) {
    for (int32_t q = 0; q < 4; ++q) {
        bez::Cubic c;
        for (int i = 0; i < 4; ++i) c.p[i] = vec::Vec2{At(p, 3 * q + i).x, At(p, 3 * q + i).y};
        // For a quarter turn the radius at the start runs against the end
        // tangent: centre = start + r * (end tangent).
        vec::Vec2 ta = bez::UnitTangentAt(c, 0.0), tb = bez::UnitTangentAt(c, 1.0), mid = bez::PointAt(c, 0.5);
        vec::Vec2 centre{c.p[0].x + tb.x * r, c.p[0].y + tb.y * r};
        EXPECT_NEAR(ta.x * (c.p[0].x - centre.x) + ta.y * (c.p[0].y - centre.y), 0.0, 1e-3) << "quarter " << q;
        EXPECT_NEAR(std::hypot(mid.x - centre.x, mid.y - centre.y), r, 1e-3 * r) << "quarter " << q;
        EXPECT_NEAR(std::hypot(c.p[3].x - centre.x, c.p[3].y - centre.y), r, 1e-3 * r) << "quarter " << q;
    }
}

TEST_F(WrapPresetTest, CircleAndWaveBaselinesRunThroughTheirAxisPoints) {
    using wrap_preset::CircleStart;
    // The wave before its stretch: (120,100) (160,60) (200,100) (240,140)
    // (280,100); 1.5 across and 0.75 up about (200, 100). The circle's axis
    // points are exact (tolerance 0).
    struct Case {
        KyPath *p;
        bool closed;
        XY axis[5];
        double tol;
    } cases[] = {
        {wrap_preset::MakeCircle(100, 100, 50, CircleStart::kBottom, 3430), true,
         {{100, 150}, {50, 100}, {100, 50}, {150, 100}, {100, 150}}, 0.0},
        {wrap_preset::MakeCircle(100, 100, 50, CircleStart::kTop, 3430), true,
         {{100, 50}, {50, 100}, {100, 150}, {150, 100}, {100, 50}}, 0.0},
        {wrap_preset::MakeWave(200, 100, 40), false, {{80, 100}, {140, 70}, {200, 100}, {260, 130}, {320, 100}}, 1e-4},
    };
    for (size_t i = 0; i < 3; ++i) {
        const Case &c = cases[i];
        KyPath *p = Own(c.p);
        ASSERT_NE(p, nullptr) << "case " << i;
        ASSERT_EQ(p->count, 13) << "case " << i;
        EXPECT_EQ(p->shape, c.closed ? 1 : 0) << "case " << i;
        EXPECT_EQ(path::IsClosed(p), c.closed) << "case " << i;
        for (int32_t k = 0; k < 13; ++k) {
            const uint16_t last = c.closed && k == 12 ? PT_CLOSEFIGURE : 0;
            EXPECT_EQ(path::Points(p)[k].type, k ? PT_BEZIERTO | last : PT_MOVETO) << "case " << i << " point " << k;
        }
        for (int k = 0; k < 5; ++k) {
            EXPECT_NEAR(At(p, 3 * k).x, c.axis[k].x, c.tol) << "case " << i << " axis point " << k;
            EXPECT_NEAR(At(p, 3 * k).y, c.axis[k].y, c.tol) << "case " << i << " axis point " << k;
        }
        if (c.closed) ExpectQuartersOnCircle(p, 50);
    }
    // Out of memory: null, reported with the circle's given line or the
    // wave's own.
    plat::ScopedAllocFailure fail(0);
    c32ClearDLLErrInfo();
    EXPECT_EQ(wrap_preset::MakeCircle(0, 0, 10, CircleStart::kBottom, 3430), nullptr);
    Y32ErrInfo e = LastError();
    EXPECT_EQ(e.code, 1001);
    EXPECT_EQ(e.unit, 41);
    EXPECT_EQ(e.line, 3430);
    plat::FailAllocationAt(0);
    EXPECT_EQ(wrap_preset::MakeWave(0, 0, 10), nullptr);
    EXPECT_EQ(LastError().line, 3350);
}

TEST_F(WrapPresetTest, PlaceholderAndBaselineQueries) {
    Wrapped w = MakeWrapped();
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
}

TEST_F(WrapPresetTest, SelectingTheBaselineMarksOneNodeOrOneSegment) {
    Wrapped w = MakeWrapped();
    // A previous mark goes; the new node is marked, and the handle index
    // given with it is not.
    path::Points(w.base)[1].type |= PT_SEGSELECTED;
    w.base->flags |= KPF_HASSELSEGMENT;
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 3, 1), 1);
    EXPECT_EQ(w.base->flags, KPF_SELECTED | KPF_LASTMARK | KPF_HASSELPOINT);
    EXPECT_EQ(path::Points(w.base)[3].type, PT_BEZIERTO | PT_SELECTED);
    EXPECT_EQ(path::Points(w.base)[1].type, PT_BEZIERTO);
    // (A handle alone is marked in WrapAndUpdate below.) An index past the
    // points selects the baseline and marks nothing.
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 4, -1), 0);
    EXPECT_EQ(w.base->flags, KPF_SELECTED | KPF_LASTMARK);
    for (int32_t i = 0; i < w.base->count; ++i) EXPECT_EQ(path::Points(w.base)[i].type & 0x8800, 0);

    // A list without a baseline at its tail is not touched.
    w.base->flags = KPF_SELECTED;
    EXPECT_EQ(KyPathSelectWrapBaseline(w.a, 0, -1), 0);
    EXPECT_EQ(w.base->flags, KPF_SELECTED);
}

TEST_F(WrapPresetTest, BaselineCopiedAndSeparatedFromTheTable) {
    Wrapped w = MakeWrapped();
    PathTable *t = nullptr;
    ASSERT_EQ(KyPathNew(&t), 1);
    KyPathTblGroups(t)[0].first = w.a;
    KyPathTblGroups(t)[0].firstSelected = w.base;
    path::Points(w.base)[2].type |= PT_SEGSELECTED;
    w.base->flags |= KPF_HASSELSEGMENT;

    KyPath *copy = Own(KyPathMakeACopyOfBaseline(t));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(mem::PathBlockSize(copy), mem::PathBlockSize(w.base));
    EXPECT_EQ(copy->prev, nullptr);
    EXPECT_EQ(copy->groupPrev, nullptr);
    EXPECT_EQ(IsSameSubpath(copy, w.base), 1);
    {
        plat::ScopedAllocFailure fail(0);
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathMakeACopyOfBaseline(t), nullptr);
        EXPECT_EQ(LastError().line, 5238);
    }

    int32_t node = 7, handle = 7;
    KyPath *sep = KyPathSeparateBaselineFromTable(t, &node, &handle);
    ASSERT_EQ(sep, w.base);
    Own(sep);
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
    KyPathTblGroups(t)[0].first = nullptr;  // the fixture frees the list
    KyPathTblDelete(t);
}

TEST_F(WrapPresetTest, SameSubpathComparesCountFlagsShapeAndPointBytes) {
    KyPath *a = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}}));
    KyPath *b = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}}));
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
    for (size_t i = 0; i < 4; ++i) {
        changes[i](b);
        EXPECT_EQ(IsSameSubpath(a, b), 0) << "case " << i;
        changes[i](b);
        EXPECT_EQ(IsSameSubpath(a, b), 1) << "case " << i;
    }
}

TEST_F(WrapPresetTest, PredefinedWrapsFromTheTable) {
    WrapInfo w{};
    // 101: a circle about the position from its bottom point, every point
    // bent, six copies: fitToLength, repeatCount, closedLoop, text,
    // smoothCorners, version, positionX.
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 101, 200, 150, 60), 1);
    Own(w.baseline);
    ASSERT_NE(w.baseline, nullptr);
    EXPECT_DOUBLE_EQ(At(w.baseline, 0).y, 210.0);
    EXPECT_EQ((std::vector<int32_t>{w.fitToLength, w.repeatCount, w.closedLoop, w.text, w.smoothCorners, w.version,
                                    w.positionX}),
              (std::vector<int32_t>{1, 6, 1, 0, 1, 1, 200}));
    EXPECT_DOUBLE_EQ(w.baselineLevel, 0.5);
    // 106: a wave, option8 100 (option8, repeatCount, closedLoop).
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 106, 200, 150, 20), 1);
    Own(w.baseline);
    ASSERT_NE(w.baseline, nullptr);
    EXPECT_FALSE(path::IsClosed(w.baseline));
    EXPECT_EQ((std::vector<int32_t>{w.option8, w.repeatCount, w.closedLoop}), (std::vector<int32_t>{100, 10, 0}));
    // 207 (text on a wave) and 307 (text under generated circles).
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 207, 0, 0, 20), 1);
    Own(w.baseline);
    EXPECT_EQ(w.text, 1);
    EXPECT_EQ(w.fitToLength, 0);
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 307, 5, 6, 20), 1);
    EXPECT_EQ(w.baseline, nullptr);
    EXPECT_EQ((std::vector<int32_t>{w.amplitude, w.shape, w.text}), (std::vector<int32_t>{-50, 2, 1}));

    // Between the listed types only the common fields.
    for (int32_t type : {150, 250}) {
        w.repeatCount = 99;
        ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 7, 8, 20), 1) << type;
        EXPECT_EQ(w.baseline, nullptr);
        EXPECT_EQ((std::vector<int32_t>{w.repeatCount, w.startHeight, w.text, w.positionY, w.version}),
                  (std::vector<int32_t>{0, 0, type == 250 ? 1 : 0, 8, 1}))
            << type;
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
KyPath *Characters(int32_t per_line, int32_t lines = 1) {
    std::vector<KyPath *> recs;
    for (int32_t l = 0; l < lines; ++l)
        for (int32_t i = 0; i < per_line; ++i) {
            recs.push_back(testing_support::Rect(10 + 12 * i, 10 + 30 * l, 20 + 12 * i, 30 + 30 * l));
            recs.back()->flags = 0x40000000u | (i == 0 && lines > 1 ? 0x20000000u : 0u);
        }
    for (size_t i = 1; i < recs.size(); ++i) {
        recs[i - 1]->next = recs[i];
        recs[i]->prev = recs[i - 1];
    }
    return recs.front();
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
    std::memcpy(&w.baselineLevel, &bits, sizeof bits);
    return w;
}

// Text on generated circles, the position on line 0's baseline. Ascent 20
// of 30: the baseline lies 1/6 of the height below the middle, which the
// circle carries. One line of 30 characters 12 apart (width 358) takes a
// whole circle of radius 358 / 2 pi at amplitude 100; lines of 20 (width
// 238) the upper half of a circle of radius 238 / pi at 50 and the lower
// half at -50. A second line goes on a concentric circle 30 pixels (the
// line distance) further in when the text stands on the circles, further
// out when it hangs inside them.
TEST_F(WrapPresetTest, TextOnGeneratedCircles) {
    struct Case {
        int32_t type, per_line, lines;
        double radius;
        int upper;  // 1 above the centre, -1 below, 0 all round
    } cases[] = {{300, 30, 1, 358 / (2 * M_PI), 0}, {306, 20, 2, 238 / M_PI, 1}, {307, 20, 2, 238 / M_PI, -1}};
    for (const Case &c : cases) {
        WrapInfo w = CirclePreset(c.type, 30);
        KyPath *fig = Characters(c.per_line, c.lines);
        ASSERT_EQ(KyPathWrap(&fig, &w), 1) << c.type;
        Own(fig);
        EXPECT_EQ(w.closedLoop, 1);
        const double mid = 200 - 20.0 / 6.0, cy = c.upper < 0 ? mid - c.radius : mid + c.radius;
        KyPath *line1 = fig;
        for (int i = 0; line1 && i < c.per_line; ++i) line1 = line1->next;
        Polar p = Measure(fig, line1, 300, cy);
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
        if (c.lines > 1) {
            Polar b = Measure(line1, nullptr, 300, cy);
            EXPECT_NEAR(0.5 * (b.min_r + b.max_r) - 0.5 * (p.min_r + p.max_r), -30.0 * c.upper, 1.5) << c.type;
        }
    }
    // Amplitude 0: the figure is only centred on the position.
    WrapInfo w = CirclePreset(300, 30);
    w.amplitude = 0;
    KyPath *fig = Characters(5);
    ASSERT_EQ(KyPathWrap(&fig, &w), 1);
    Own(fig);
    Polar p = Measure(fig, nullptr, 0, 0);
    EXPECT_NEAR(p.min_y, 190, 1.0);
    EXPECT_NEAR(p.max_y, 210, 1.0);
    EXPECT_NEAR(At(fig, 0).x, 300 - 29, 1.0);  // 58 wide
}

TEST_F(WrapPresetTest, CircleWrapFailuresLeaveTheFigure) {
    for (int64_t i = 0; i < 60; ++i) {
        WrapInfo w = CirclePreset(301, 30);
        KyPath *fig = Characters(6, 2), *before = fig;
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

TEST_F(WrapPresetTest, SameWrapInfoTolerancesAndBaselines) {
    WrapInfo a{}, b{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&a, 101, 100, 100, 40), 1);
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&b, 101, 100, 100, 40), 1);
    Own(a.baseline);
    Own(b.baseline);
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    // One change at a time. Doubles compare within 0.0001; when one of them
    // is text, its level is the font height and is not compared.
    struct Case {
        void (*change)(WrapInfo *);
        int32_t same;
    } cases[] = {
        {[](WrapInfo *w) { w->spacing += 0.00005; }, 1},
        {[](WrapInfo *w) { w->spacing += 0.0002; }, 0},
        {[](WrapInfo *w) { w->startOffset = 0.5; }, 0},
        {[](WrapInfo *w) { w->baselineLevel = 0.6; }, 0},
        {[](WrapInfo *w) {
             w->baselineLevel = 0.6;
             w->text = 1;
         },
         1},
        {[](WrapInfo *w) { w->endHeight = 90; }, 0},
        {[](WrapInfo *w) { path::Points(w->baseline)[3].x += 1; }, 0},
    };
    const std::vector<uint8_t> base = testing_support::RecordBytes(b.baseline);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        WrapInfo c = b;
        cases[i].change(&c);
        EXPECT_EQ(IsSameWrapInfo(&a, &c), cases[i].same) << "case " << i;
        std::memcpy(b.baseline, base.data(), base.size());  // the baseline is shared with c
    }
    // Without baselines the amplitudes are compared.
    a.baseline = b.baseline = nullptr;
    a.amplitude = 50;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 0);
    b.amplitude = 50;
    EXPECT_EQ(IsSameWrapInfo(&a, &b), 1);
    EXPECT_EQ(IsSameWrapInfo(nullptr, nullptr), 1);
    EXPECT_EQ(IsSameWrapInfo(&a, nullptr), 0);
}

TEST_F(WrapPresetTest, AddWrapPathReplacesThePlaceholder) {
    WrapInfo w{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 105, 100, 100, 30), 1);
    Own(w.baseline);
    KyPath *fig = Own(Characters(3));
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
    EXPECT_EQ(fig->flags & KPF_SELECTED, 0u);  // selection cleared
    EXPECT_EQ(fig->groupNext, fig->next);      // one group chain
    EXPECT_EQ(tail->prev->groupNext, nullptr);
    EXPECT_EQ(KyPathAddWrapPath(fig, nullptr), 0);
    WrapInfo none = w;
    none.baseline = nullptr;
    EXPECT_EQ(KyPathAddWrapPath(fig, &none), 0);
    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(KyPathAddWrapPath(fig, &w), 0);
    EXPECT_EQ(KyPathGetSubpathsNumber(fig), 4);
}

// The host keeps its figure and re-wraps a duplicate along the edited
// baseline; the table's list is replaced, the baseline kept at its end.
TEST_F(WrapPresetTest, WrapAndUpdateReplacesTheTablesFigure) {
    PathTable *t = nullptr;
    ASSERT_EQ(KyPathNew(&t), 1);
    WrapInfo w{};
    ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, 105, 200, 100, 40), 1);
    KyPath *figure = Own(Characters(4));
    KyPathTblGroups(t)[0].first = Characters(2);

    // The edited baseline: a straight line with its second segment picked.
    KyPath *edited = Own(MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 200, 100}, {PT_LINETO, 400, 100}}));
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
    KyPath *first_before = g.first, *info_before = w.baseline;
    KyPath *tiny = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 2, 0}}));
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
    Own(w.baseline);
    KyPathTblDelete(t);
}

}  // namespace
