#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/bezier.h"
#include "core/path_table.h"
#include "deform/wrap_presets.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
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

Y32ErrInfo LastError() {
    Y32ErrInfo e{};
    c32GetDLLErrInfo(&e);
    return e;
}

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
    path::Points(b)[1].x += 1;  // one 1/65536 step
    EXPECT_EQ(IsSameSubpath(a, b), 0);
    path::Points(b)[1].x -= 1;
    b->shape = 1;
    EXPECT_EQ(IsSameSubpath(a, b), 0);
    b->shape = 0;
    b->flags = KPF_LASTMARK;
    EXPECT_EQ(IsSameSubpath(a, b), 0);
    b->flags = 0;
    path::Points(b)[1].type |= PT_SELECTED;
    EXPECT_EQ(IsSameSubpath(a, b), 0);
    KyPathDeletePtr(a, 0);
    KyPathDeletePtr(b, 0);
}

}  // namespace
