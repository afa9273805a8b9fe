// Primitive shapes: frames from drags, the geometry of each shape against
// its analytic construction, shape codes, roundness, the scaled copy of a
// supplied path, adding to a table, and failures that leave nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/bezier.h"
#include "core/path_table.h"
#include "core/record_transform.h"
#include "platform/alloc_fail.h"
#include "shapes/primitives.h"
#include "support/owned_records.h"
#include "support/point_checks.h"

namespace {

using shapes::Frame;
using testing_support::LinkList;
using testing_support::MakePath;

constexpr double kK = 0.5522847;

using testing_support::ExpectBox;
using testing_support::ExpectPoints;
const auto &X = testing_support::PX;
const auto &Y = testing_support::PY;
const auto &Type = testing_support::PType;
const auto &ExpectAt = testing_support::ExpectPointAt;

void ExpectFrame(const Frame &f, double l, double t, double r, double b) {
    EXPECT_DOUBLE_EQ(f.Left(), l);
    EXPECT_DOUBLE_EQ(f.Top(), t);
    EXPECT_DOUBLE_EQ(f.Right(), r);
    EXPECT_DOUBLE_EQ(f.Bottom(), b);
}

CoordStruct View(double zoom = 1.0, int32_t left = 0, int32_t top = 0, int32_t sx = 0, int32_t sy = 0) {
    return CoordStruct{left, top, left + 400, top + 300, sx, sy, zoom, nullptr, {}};
}

KyPath *Build(int32_t code, Y32Rect drag, bool from_centre = false) {
    CoordStruct v = View();
    KyPath *p = nullptr;
    EXPECT_TRUE(shapes::GetPrimitive(code, nullptr, &p, &v, from_centre, false, &drag));
    return p;
}

class Primitives : public testing_support::OwningPathTest {};

TEST_F(Primitives, DragFramesInEveryDirectionFromTheCentreAndRefused) {
    CoordStruct v = View();
    Frame f;
    // The same two corners, the drag started at each of them.
    const Y32Rect drags[] = {{10, 20, 70, 50}, {70, 50, 10, 20}, {10, 50, 70, 20}, {70, 20, 10, 50}};
    for (const Y32Rect &d : drags) {
        ASSERT_TRUE(shapes::DragFrame(&v, d, false, &f));
        ExpectFrame(f, 10, 20, 70, 50);
    }
    ASSERT_TRUE(shapes::DragFrame(&v, Y32Rect{100, 100, 40, 70}, true, &f));
    ExpectFrame(f, 40, 70, 160, 130);  // centre (100, 100), half extents 60 x 30

    // Client origin, scroll and zoom: ((50 - 10) + 30) / 2 = 35 and
    // ((60 - 20) + 40) / 2 = 40; the 40 x 40 window drag is 20 x 20 pixels.
    CoordStruct zoomed = View(2.0, 10, 20, 30, 40);
    ASSERT_TRUE(shapes::DragFrame(&zoomed, Y32Rect{50, 60, 90, 100}, false, &f));
    ExpectFrame(f, 35, 40, 55, 60);

    // Nothing to build from a click, a line, or a view without a usable zoom.
    EXPECT_FALSE(shapes::DragFrame(&v, Y32Rect{10, 20, 10, 50}, false, &f));
    EXPECT_FALSE(shapes::DragFrame(&v, Y32Rect{10, 20, 70, 20}, true, &f));
    for (double zoom : {0.0, -1.0, std::nan(""), double{INFINITY}}) {
        CoordStruct bad = View(zoom);
        EXPECT_FALSE(shapes::DragFrame(&bad, Y32Rect{10, 20, 70, 50}, false, &f)) << zoom;
    }
    // Extreme window coordinates do not overflow the width.
    ASSERT_TRUE(shapes::DragFrame(&v, Y32Rect{INT32_MIN, 0, INT32_MAX, 10}, false, &f));
    EXPECT_DOUBLE_EQ(f.hw, 4294967295.0 / 2);

    // The export builds nothing from a click, and nothing without a view,
    // an output or a drag; a refused output is cleared.
    KyPath *out = reinterpret_cast<KyPath *>(0x1);
    Y32Rect click{30, 30, 30, 30}, ok{30, 30, 90, 60};
    EXPECT_EQ(KyPathGetPrimitive(1, nullptr, &out, &v, 0, 0, &click), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(KyPathGetPrimitive(1, nullptr, &out, nullptr, 0, 0, &ok), 0);
    EXPECT_EQ(KyPathGetPrimitive(1, nullptr, nullptr, &v, 0, 0, &ok), 0);
    EXPECT_EQ(KyPathGetPrimitive(1, nullptr, &out, &v, 0, 0, nullptr), 0);
}

TEST_F(Primitives, EveryRecordIsExactlyItsPointsAndSelected) {
    const struct {
        int32_t code, points;
    } cases[] = {{1, 13}, {2, 5}, {3, 17}, {5, 27}, {300, 17}, {350, 17}, {400, 17}, {4, 5}, {0, 5}, {-7, 5}, {401, 5}};
    for (const auto &c : cases) {
        KyPath *p = Own(Build(c.code, Y32Rect{10, 10, 110, 60}));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->count, c.points) << c.code;
        EXPECT_EQ(p->shape, c.code) << "the code asked for is stored unchanged";
        EXPECT_EQ(p->flags, KPF_SELECTED);
        EXPECT_EQ(p->version, 0);
        EXPECT_EQ(BlockSize(p), path::BlockBytes(c.points));
        EXPECT_TRUE(!p->prev && !p->next && !p->groupPrev && !p->groupNext && !p->selPrev && !p->selNext);
        EXPECT_EQ(Type(p, 0), PT_MOVETO);
        EXPECT_TRUE(path::IsClosed(p));
        EXPECT_EQ(+path::Points(p)[c.points - 1].x, +path::Points(p)[0].x);
        EXPECT_EQ(+path::Points(p)[c.points - 1].y, +path::Points(p)[0].y);
    }
}

// Ellipses of four arcs, starting at the bottom: every arc stays within
// 0.03 % of the ellipse (the error of the four-arc approximation) and
// meets it at its ends.
TEST_F(Primitives, EllipseArcsStayOnTheEllipse) {
    const struct {
        Y32Rect drag;
        double cx, cy, hw, hh;
    } cases[] = {{{20, 40, 120, 100}, 70, 70, 50, 30}, {{0, 0, 100, 100}, 50, 50, 50, 50}};
    for (const auto &c : cases) {
        KyPath *p = Own(Build(1, c.drag));
        ASSERT_NE(p, nullptr);
        ExpectAt(p, 0, c.cx, c.cy + c.hh);
        EXPECT_EQ(Type(p, 12), PT_BEZIERTO | PT_CLOSEFIGURE);
        int arcs = 0;
        path::ForEachSegment(p, [&](const path::Segment &s) {
            ASSERT_EQ(s.kind, path::Segment::kBezier);
            bez::Cubic cu = bez::FromSegment(s);
            for (double t = 0.0; t <= 1.0; t += 0.125) {
                bez::Vec2 q = bez::PointAt(cu, t);
                EXPECT_NEAR(std::hypot((q.x - c.cx) / c.hw, (q.y - c.cy) / c.hh), 1.0, 0.0003)
                    << "arc " << arcs << " t " << t;
            }
            ++arcs;
        });
        EXPECT_EQ(arcs, 4);
    }
}

TEST_F(Primitives, RectangleAndDiamondCorners) {
    KyPath *r = Own(Build(2, Y32Rect{110, 60, 10, 10}));  // dragged up and left
    ASSERT_NE(r, nullptr);
    ExpectPoints(r, {{110, 60}, {10, 60}, {10, 10}, {110, 10}, {110, 60}});
    EXPECT_EQ(Type(r, 1), PT_LINETO);
    EXPECT_EQ(Type(r, 4), PT_LINETO | PT_CLOSEFIGURE);

    KyPath *d = Own(Build(9, Y32Rect{10, 10, 110, 60}));
    ASSERT_NE(d, nullptr);
    ExpectPoints(d, {{60, 60}, {10, 35}, {60, 10}, {110, 35}, {60, 60}});
}

// The rounded rectangle of centre (cx, cy), half extents and radius r.
void ExpectRounded(const KyPath *p, double cx, double cy, double hw, double hh, double r) {
    // Corner arcs and sides anticlockwise from the bottom left, in units of
    // (hw, hh), (a, b) = the straight half sides and kr = the handle length.
    const double a = hw - r, b = hh - r, kr = kK * r;
    const double xs[17] = {-a, -a - kr, -hw, -hw, -hw, -hw, -a - kr, -a, a, a + kr, hw, hw, hw, hw, a + kr, a, -a};
    const double ys[17] = {hh, hh, b + kr, b, -b, -b - kr, -hh, -hh, -hh, -hh, -b - kr, -b, b, b + kr, hh, hh, hh};
    const uint16_t types[17] = {6, 4, 4, 4, 2, 4, 4, 4, 2, 4, 4, 4, 2, 4, 4, 4, 3};
    for (int i = 0; i < 17; ++i) {
        ExpectAt(p, i, cx + xs[i], cy + ys[i]);
        EXPECT_EQ(Type(p, i) & 0x0FFF, types[i]) << i;
    }
}

TEST_F(Primitives, RoundedRectangleRadiusRules) {
    // 90 x 20: the short side (10) is at most a third of the long (45):
    // r = 10, full semicircles at the ends.
    KyPath *p = Own(Build(3, Y32Rect{0, 0, 90, 20}));
    ASSERT_NE(p, nullptr);
    ExpectRounded(p, 45, 10, 45, 10, 10);
    EXPECT_EQ(+path::Points(p)[3].y, +path::Points(p)[4].y) << "no straight piece on the short side";

    // 60 x 50: 25 exceeds 30 / 3, so r = 30 * 0.333..., 10 to double precision.
    p = Own(Build(3, Y32Rect{0, 0, 60, 50}));
    ASSERT_NE(p, nullptr);
    ExpectRounded(p, 30, 25, 30, 25, 30 * 0.3333333333333333);

    // Percent codes: 300 has square corners (every arc point on its corner),
    // 350 half the short half side.
    p = Own(Build(300, Y32Rect{0, 0, 60, 40}));
    ASSERT_NE(p, nullptr);
    for (int i : {0, 1, 2, 3}) ExpectAt(p, i, 0, 40);
    for (int i : {4, 5, 6, 7}) ExpectAt(p, i, 0, 0);
    p = Own(Build(350, Y32Rect{0, 0, 60, 40}));
    ASSERT_NE(p, nullptr);
    ExpectRounded(p, 30, 20, 30, 20, 50 * 20.0 * 0.01);
    // The corner arcs are quarter circles about (cx - a, cy + b): the arc's
    // middle lies on the radius too.
    bez::Cubic arc{{{X(p, 0), Y(p, 0)}, {X(p, 1), Y(p, 1)}, {X(p, 2), Y(p, 2)}, {X(p, 3), Y(p, 3)}}};
    bez::Vec2 mid = bez::PointAt(arc, 0.5);
    EXPECT_NEAR(std::hypot(mid.x - 10.0, mid.y - 30.0), 10.0, 0.005);
}

TEST_F(Primitives, SegmentedRectangleEdgesStayOnTheirEdges) {
    KyPath *p = Own(Build(5, Y32Rect{10, 20, 130, 80}));  // s = 10
    ASSERT_NE(p, nullptr);
    ExpectAt(p, 0, 10, 20);
    for (int i = 1; i <= 11; ++i) ExpectAt(p, i, 10 + i * 10.0, 20);
    ExpectPoints(p, {{130, 20}, {130, 80}}, 12);
    for (int i = 14; i <= 24; ++i) ExpectAt(p, i, 130 - (i - 12) * 10.0, 80);
    ExpectPoints(p, {{10, 80}, {10, 20}}, 25);
    for (int i = 1; i <= 25; ++i) EXPECT_EQ(Type(p, i), i == 13 ? PT_LINETO : PT_BEZIERTO) << i;
    EXPECT_EQ(Type(p, 26), PT_LINETO | PT_CLOSEFIGURE);
}

TEST_F(Primitives, OnlyAnUntouchedLonePrimitiveCounts) {
    EXPECT_EQ(IsOnlyPrimitive(nullptr), 0);
    KyPath *e = Own(Build(1, Y32Rect{0, 0, 40, 30}));
    ASSERT_NE(e, nullptr);
    EXPECT_NE(IsOnlyPrimitive(e), 0) << "an ellipse that is the last of its list";

    // Followed by another path it is part of something larger; an envelope
    // outline after it does not count.
    KyPath *other = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 5, 5}});
    LinkList({e, other});
    EXPECT_EQ(IsOnlyPrimitive(e), 0);
    other->flags |= KPF_ENVELOPE2;
    EXPECT_NE(IsOnlyPrimitive(e), 0);
    other->flags = KPF_ENVELOPE1;
    EXPECT_NE(IsOnlyPrimitive(e), 0);

    KyPath *free_form = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 5, 5}}));
    EXPECT_EQ(IsOnlyPrimitive(free_form), 0);

    // A rounded rectangle scaled to twice its width has oval corners; a
    // uniform scale keeps them round.
    KyPath *r = Own(Build(3, Y32Rect{0, 0, 60, 50}));
    ASSERT_NE(r, nullptr);
    EXPECT_NE(IsOnlyPrimitive(r), 0);
    path::ScalePositions(r, 3.0, 3.0);
    EXPECT_NE(IsOnlyPrimitive(r), 0);
    path::ScalePositions(r, 2.0, 1.0);
    EXPECT_EQ(IsOnlyPrimitive(r), 0);

    // A primitive that lost or gained points is not the shape any more.
    KyPath *rect = Build(2, Y32Rect{0, 0, 60, 50});
    ASSERT_NE(rect, nullptr);
    FIXED xy[2] = {DbToFix(70), DbToFix(80)};
    ASSERT_EQ(KyPathAddPoint(&rect, xy, PT_LINETO), 1);
    EXPECT_EQ(IsOnlyPrimitive(rect), 0);
    KyPath *held = rect;
    KyPathPrimitive(&held, 0);
    EXPECT_EQ(rect->shape, 0);
    EXPECT_EQ(KyPathPrimitive(nullptr, 2), 0);
    KyPath *none = nullptr;
    EXPECT_EQ(KyPathPrimitive(&none, 2), 0);
    KyPathDeletePtr(rect, 0);
}

TEST_F(Primitives, RoundnessReadAndRewritten) {
    int32_t pct = -1, rad = -1;
    KyPath *rect = Own(Build(2, Y32Rect{0, 0, 60, 50}));
    ASSERT_NE(rect, nullptr);
    std::vector<char> before(reinterpret_cast<char *>(rect), reinterpret_cast<char *>(rect) + BlockSize(rect));
    EXPECT_EQ(KyPathGetRectangleRoundness(rect, &pct, &rad), 0);
    EXPECT_EQ(pct, 50);
    EXPECT_EQ(rad, 0);
    Y32Rect bounds{1, 2, 3, 4};
    EXPECT_EQ(KyPathSetRectangleRoundness(rect, 20, &bounds), 0);
    EXPECT_EQ(std::memcmp(before.data(), rect, before.size()), 0) << "a rectangle is not touched";
    EXPECT_EQ(bounds.left, 1);
    EXPECT_EQ(KyPathGetRectangleRoundness(nullptr, &pct, &rad), 0);
    EXPECT_EQ(KyPathSetRectangleRoundness(nullptr, 20, nullptr), 0);

    // Code 3 on 90 x 20: the full semicircle is 100 %, reported as 99.
    KyPath *p = Own(Build(3, Y32Rect{0, 0, 90, 20}));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(KyPathGetRectangleRoundness(p, &pct, &rad), 1);
    EXPECT_EQ(pct, 99);
    EXPECT_EQ(rad, 10);

    // Code 3 on 60 x 50: r = 10 of a short half side of 25 is 40 %.
    p = Own(Build(3, Y32Rect{10, 20, 70, 70}));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(KyPathGetRectangleRoundness(p, &pct, nullptr), 1);
    EXPECT_EQ(pct, 40);
    // Set clamps into 1..99 and stores 300 + percent.
    for (auto [set, code] : {std::pair{0, 301}, {150, 399}, {50, 350}}) {
        EXPECT_EQ(KyPathSetRectangleRoundness(p, set, &bounds), 1) << set;
        EXPECT_EQ(p->shape, code);
    }
    ExpectRounded(p, 40, 45, 30, 25, 50 * 50 * 0.005);
    ExpectBox(bounds, 10, 20, 70, 70);
    EXPECT_EQ(KyPathGetRectangleRoundness(p, &pct, &rad), 1);
    EXPECT_EQ(pct, 50);
    EXPECT_EQ(rad, 13);  // |int(12.5 + 0.5)|
    EXPECT_NE(IsOnlyPrimitive(p), 0);

    // A mirrored shape (turned over left to right) stays mirrored, in the
    // same frame, with its node selection.
    path::ScalePositions(p, -1.0, 1.0);
    path::Points(p)[8].type |= PT_SELECTED;
    EXPECT_EQ(KyPathSetRectangleRoundness(p, 20, &bounds), 1);
    // r = 20 % of 50 = 5: the first arc runs from (-15, 70) to the side
    // that was the left one and now lies at x = -10.
    ExpectPoints(p, {{-15, 70}, {-15 + kK * 5, 70}});
    ExpectAt(p, 3, -10, 65);
    ExpectAt(p, 12, -70, 65);
    EXPECT_EQ(Type(p, 8), PT_LINETO | PT_SELECTED);
    EXPECT_EQ(bounds.left, -70);
    EXPECT_EQ(bounds.right, -10);
    EXPECT_NE(IsOnlyPrimitive(p), 0);

    // A record with the code but not the points is refused.
    KyPath *short_one = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 5, 5}}));
    short_one->shape = 3;
    EXPECT_EQ(KyPathSetRectangleRoundness(short_one, 20, nullptr), 0);
    EXPECT_EQ(KyPathGetRectangleRoundness(short_one, &pct, &rad), 0);
    EXPECT_EQ(pct, 50);
}

TEST_F(Primitives, SuppliedShapeIsScaledIntoTheFrame) {
    CoordStruct v = View();
    KyPath *tri = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {PT_LINETO | PT_CLOSEFIGURE, 5, 20}}));
    KyPath *dot = MakePath({{PT_MOVETO, 4, 8}, {PT_LINETO, 6, 10}});
    LinkList({tri, dot});
    tri->shape = 1;
    tri->flags = KPF_SELECTED | KPF_HASSELPOINT;
    path::Points(tri)[1].type |= PT_SELECTED;
    std::vector<char> source(reinterpret_cast<char *>(tri), reinterpret_cast<char *>(tri) + BlockSize(tri));

    Y32Rect drag{40, 70, 140, 120};  // frame 40..140 x 70..120
    KyPath *out = nullptr;
    ASSERT_EQ(KyPathGetPrimitive(2, dot, &out, &v, 0, 0, &drag), 1) << "any record of the path will do";
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::memcmp(source.data(), tri, source.size()), 0) << "the source is not touched";
    // Scaled by (10, 2.5), then its box put half a pixel up and left of the frame.
    ExpectPoints(out, {{39.5, 69.5}, {139.5, 69.5}, {89.5, 119.5}});
    KyPath *second = out->next;
    ASSERT_NE(second, nullptr);
    ExpectAt(second, 0, 79.5, 89.5);
    // One compound path, all selected, the head no longer a primitive, the
    // source's node selection left behind.
    EXPECT_EQ(out->groupNext, second);
    EXPECT_EQ(second->groupPrev, out);
    EXPECT_EQ(out->selNext, second);
    EXPECT_EQ(second->selPrev, out);
    EXPECT_EQ(out->flags, KPF_SELECTED);
    EXPECT_EQ(second->flags, KPF_SELECTED);
    EXPECT_EQ(Type(out, 1), PT_LINETO);
    EXPECT_EQ(out->shape, 0);
    KyPathDeletePtr(out, 0);

    // One factor for both axes: the smaller.
    ASSERT_EQ(KyPathGetPrimitive(2, tri, &out, &v, 0, 1, &drag), 1);
    ExpectPoints(out, {{39.5 + 25, 69.5}, {39.5 + 12.5, 119.5}}, 1);
    KyPathDeletePtr(out, 0);

    // A flat path has no height to scale; it is moved, not blown up.
    KyPath *line = Own(MakePath({{PT_MOVETO, 0, 5}, {PT_LINETO, 20, 5}}));
    for (int keep = 0; keep < 2; ++keep) {
        ASSERT_EQ(KyPathGetPrimitive(2, line, &out, &v, 0, keep, &drag), 1);
        ExpectPoints(out, {{39.5, 69.5}, {139.5, 69.5}});
        KyPathDeletePtr(out, 0);
    }
}

TEST_F(Primitives, SuppliedStrokedShapeKeepsItsOutlineInfo) {
    CoordStruct v = View();
    KyPath *head = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 10}}));
    KyPath *tail = MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 10, 0}});
    LinkList({head, tail});
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 2, nullptr, 0, 4, 0, 0, &info), 1);
    ASSERT_EQ(KyPathSetOutlineInfo(head, info), 1);
    Y32Rect drag{0, 0, 50, 50};
    KyPath *out = nullptr;
    ASSERT_EQ(KyPathGetPrimitive(2, head, &out, &v, 0, 0, &drag), 1);
    // The slot holding the stroke description is not overwritten by a
    // group link; the copy still scales and moves as a whole.
    const OutlineInfo *copied = path::OutlineOf(out);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->param[1], 4);
    ExpectAt(out, 1, 49.5, 49.5);
    ExpectAt(out->next, 1, 49.5, -0.5);
    KyPathDeletePtr(out, 0);
}

struct NodeLog {
    std::vector<KyPath *> erased;
};
NodeLog *g_log = nullptr;
int32_t RecordNodes(HDC, KyPath *p, CoordStruct *) {
    g_log->erased.push_back(p);
    return 1;
}

TEST_F(Primitives, AddedShapeBecomesTheOnlySelection) {
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct v = View();
    HDC dc = reinterpret_cast<HDC>(0x100);
    NodeLog log;
    g_log = &log;
    Y32Rect drag{10, 10, 60, 40};

    // Into an empty group: the shape becomes its first path.
    ASSERT_TRUE(shapes::AddPrimitive(dc, 1, nullptr, table, &v, false, false, &drag, &RecordNodes));
    PathGroup *g = table::CurrentGroup(table);
    KyPath *first = g->first;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->shape, 1);
    EXPECT_EQ(g->firstSelected, first);
    EXPECT_TRUE(log.erased.empty());

    // A second shape: the first loses its selection (its nodes erased once)
    // and the new one follows it in the list.
    path::Points(first)[3].type |= PT_SELECTED;
    first->flags |= KPF_HASSELPOINT;
    ASSERT_TRUE(shapes::AddPrimitive(dc, 2, nullptr, table, &v, false, false, &drag, &RecordNodes));
    ASSERT_EQ(log.erased.size(), 1u);
    EXPECT_EQ(log.erased[0], first);
    KyPath *second = first->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->prev, first);
    EXPECT_EQ(second->shape, 2);
    EXPECT_EQ(g->first, first);
    EXPECT_EQ(g->firstSelected, second);
    EXPECT_EQ(first->flags & (KPF_SELECTED | KPF_HASSELPOINT), 0u);
    EXPECT_EQ(Type(first, 3) & PT_SELECTED, 0);

    // Through the export (no device context: nothing to erase).
    ASSERT_EQ(KyPathAddPrimitive(nullptr, 3, nullptr, table, &v, 1, 0, &drag), 1);
    KyPath *third = second->next;
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->shape, 3);
    EXPECT_EQ(g->firstSelected, third);
    EXPECT_EQ(second->flags & KPF_SELECTED, 0u);

    // Refusals: no table, no view, a current group outside the table:
    // nothing changes.
    EXPECT_EQ(KyPathAddPrimitive(nullptr, 1, nullptr, nullptr, &v, 0, 0, &drag), 0);
    EXPECT_EQ(KyPathAddPrimitive(nullptr, 1, nullptr, table, nullptr, 0, 0, &drag), 0);
    table->current = 5;
    EXPECT_EQ(KyPathAddPrimitive(nullptr, 1, nullptr, table, &v, 0, 0, &drag), 0);
    table->current = 0;
    EXPECT_EQ(g->firstSelected, third);
    EXPECT_EQ(third->flags & KPF_SELECTED, KPF_SELECTED);

    // A click builds nothing: no record added (the old selection is gone,
    // as a click on empty canvas deselects).
    Y32Rect click{30, 30, 30, 30};
    EXPECT_FALSE(shapes::AddPrimitive(dc, 1, nullptr, table, &v, false, false, &click, &RecordNodes));
    EXPECT_EQ(third->next, nullptr);
    EXPECT_EQ(g->firstSelected, nullptr);
    EXPECT_EQ(KyPathGetSubpathsNumber(first), 3);
    g_log = nullptr;
    KyPathTblDelete(table);
}

TEST_F(Primitives, AllocationFailuresLeaveNothingBehind) {
    CoordStruct v = View();
    Y32Rect drag{10, 10, 60, 40};
    for (int32_t code : {1, 2, 3, 5, 9}) {
        plat::ScopedAllocFailure fail(0);
        KyPath *out = reinterpret_cast<KyPath *>(0x1);
        EXPECT_EQ(KyPathGetPrimitive(code, nullptr, &out, &v, 0, 0, &drag), 0) << code;
        EXPECT_EQ(out, nullptr);
    }

    // The scaled copy fails at every allocation it makes in turn, then
    // succeeds; nothing of a failed copy stays on the heap.
    KyPath *a = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 0}, {PT_LINETO, 5, 20}}));
    KyPath *b = MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 2, 2}});
    KyPath *c = MakePath({{PT_MOVETO, 3, 3}, {PT_LINETO, 4, 4}});
    LinkList({a, b, c});
    const size_t live = LiveBlocks();
    int failures = 0;
    for (int64_t i = 0; i < 50; ++i) {
        KyPath *out = nullptr;
        int32_t r;
        {
            plat::ScopedAllocFailure fail(i);
            r = KyPathGetPrimitive(0, a, &out, &v, 0, 0, &drag);
        }
        if (r) {
            ASSERT_NE(out, nullptr);
            EXPECT_EQ(KyPathGetSubpathsNumber(out), 3);
            KyPathDeletePtr(out, 0);
            break;
        }
        ++failures;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(LiveBlocks(), live) << "after failing allocation " << i;
    }
    EXPECT_EQ(failures, 3) << "one allocation per copied record";

    // Adding to a table that cannot get its record adds nothing.
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathAddPrimitive(nullptr, 1, nullptr, table, &v, 0, 0, &drag), 0);
    }
    EXPECT_EQ(table::CurrentGroup(table)->first, nullptr);
    KyPathTblDelete(table);
}

}  // namespace
