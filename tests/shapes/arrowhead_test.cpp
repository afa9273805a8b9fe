// Arrowheads: template measures, the fit rule, path length and anchors on
// lines and curves, placement at both ends, the drawing call's refusals
// and query form, a rendered mask against a checked-in picture, and
// allocation failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/bezier.h"
#include "platform/alloc_fail.h"
#include "raster/pixel_buffer.h"
#include "shapes/arrowhead.h"
#include "support/golden.h"
#include "support/owned_records.h"
#include "support/point_checks.h"

namespace {

using arrowhead::Anchor;
using arrowhead::End;
using arrowhead::Metrics;
using testing_support::MakePath;

constexpr double kK = 0.5522847;

// A template pointing in +x, attachment side x = 0 from y = -5 to 5, tip
// at x = length.
KyPath *Wedge(double length) {
    return MakePath(
        {{PT_MOVETO, 0, -5}, {PT_LINETO, length, 0}, {PT_LINETO, 0, 5}, {PT_LINETO | PT_CLOSEFIGURE, 0, -5}});
}
KyPath *Triangle() { return Wedge(10); }

// Gives the path a stroke description naming the two templates (owned by
// it from now on) and the pen width.
void Stroke(KyPath *p, KyPath *start, KyPath *end, int32_t pen) {
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(1, 0, start, 2, 0, end, 0, nullptr, 0, pen, 0, 0, &info), 1);
    ASSERT_EQ(KyPathSetOutlineInfo(p, info), 1);
}

KyPath *QuarterCircle() {  // radius 100 about the origin, from (100, 0) to (0, 100)
    return MakePath({{PT_MOVETO, 100, 0}, {PT_BEZIERTO, 100, 100 * kK}, {PT_BEZIERTO, 100 * kK, 100}, {PT_BEZIERTO, 0, 100}});
}

void ExpectAnchor(const Anchor &a, const Anchor &want, double position_tolerance, double direction_tolerance) {
    EXPECT_NEAR(a.x, want.x, position_tolerance);
    EXPECT_NEAR(a.y, want.y, position_tolerance);
    EXPECT_NEAR(a.dir_x, want.dir_x, direction_tolerance);
    EXPECT_NEAR(a.dir_y, want.dir_y, direction_tolerance);
}

const auto &X = testing_support::PX;
const auto &Y = testing_support::PY;
using testing_support::ExpectPointAt;
using testing_support::ExpectPoints;

class Arrowheads : public testing_support::OwningPathTest {};

TEST_F(Arrowheads, TemplateMeasures) {
    // The triangle, then an offset template with its leftmost points in
    // the other order. The closing repeat of point 0 is never the other
    // end of the attachment side.
    const struct {
        KyPath *tpl;
        double x_min, y1, x2, y2, base_half, half_height, length, anchor_dx, anchor_dy;
    } cases[] = {{Triangle(), 0, -5, 0, 5, 5, 5, 10, -1, 0},
                 {MakePath({{PT_MOVETO, 30, 12}, {PT_LINETO, 6, 20}, {PT_LINETO, 6, 4}, {PT_LINETO, 30, 12}}), 6, 20, 6,
                  4, 8, 8, 24, -7, -12}};
    Metrics m;
    for (const auto &c : cases) {
        ASSERT_TRUE(arrowhead::Measure(c.tpl, &m));
        const double got[] = {m.x_min,     m.y1,     m.x2,        m.y2,       m.base_half,
                              m.half_height, m.length, m.anchor_dx, m.anchor_dy};
        const double want[] = {c.x_min,     c.y1,     c.x2,        c.y2,       c.base_half,
                               c.half_height, c.length, c.anchor_dx, c.anchor_dy};
        for (int k = 0; k < 9; ++k) EXPECT_EQ(got[k], want[k]) << "measure " << k;
        EXPECT_EQ(m.attach_index, 2);
        KyPathDeletePtr(c.tpl, 0);
    }

    // A curve whose control point sits on the corner: the other end of the
    // attachment side is still the other corner.
    KyPath *c = Own(MakePath({{PT_MOVETO, 0, -5}, {PT_BEZIERTO, 0, -5}, {PT_BEZIERTO, 10, 0}, {PT_BEZIERTO, 10, 0},
                              {PT_LINETO, 0, 5}, {PT_LINETO | PT_CLOSEFIGURE, 0, -5}}));
    ASSERT_TRUE(arrowhead::Measure(c, &m));
    EXPECT_EQ(m.base_half, 5.0);
    EXPECT_EQ(m.attach_index, 4);

    // Two leftmost points at the same height: no attachment side, ignored.
    KyPath *flat = Own(MakePath({{PT_MOVETO, 0, 3}, {PT_LINETO, 1, 3}, {PT_LINETO, 10, 0}, {PT_LINETO, 10, 6}}));
    EXPECT_FALSE(arrowhead::Measure(flat, &m));
    EXPECT_EQ(KyPathRenderArrowHead(nullptr, flat, nullptr, 1, 0, 0, nullptr, 0), 0);
    KyPath *dot = Own(MakePath({{PT_MOVETO, 2, 2}}));
    EXPECT_FALSE(arrowhead::Measure(dot, &m));
    EXPECT_FALSE(arrowhead::Measure(nullptr, &m));
}

TEST_F(Arrowheads, QueryFormOfTheDrawingCall) {
    KyPath *t = Own(Triangle());
    EXPECT_EQ(KyPathRenderArrowHead(nullptr, t, nullptr, 0, 0, 0, nullptr, 0), 198);  // 99 x 10 / 5
    EXPECT_EQ(KyPathRenderArrowHead(nullptr, nullptr, t, 0, 0, 0, nullptr, 0), 198);
    EXPECT_EQ(KyPathRenderArrowHead(nullptr, nullptr, nullptr, 0, 0, 0, nullptr, 0), 0);
    // A sliver of an attachment side saturates instead of overflowing.
    KyPath *needle = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 30000, 0}, {PT_LINETO, 0, 1.0 / 65536}}));
    EXPECT_EQ(KyPathRenderArrowHead(nullptr, needle, nullptr, 0, 0, 0, nullptr, 0), INT32_MAX);
}

TEST_F(Arrowheads, FitRuleOnA120PixelPath) {
    EXPECT_TRUE(arrowhead::StartFits(99, 5));
    EXPECT_TRUE(arrowhead::EndFits(99, 5));
    EXPECT_TRUE(arrowhead::StartFits(169, 120));
    EXPECT_FALSE(arrowhead::StartFits(170, 120));
    EXPECT_TRUE(arrowhead::EndFits(120, 120));
    EXPECT_FALSE(arrowhead::EndFits(120.5, 120));
    EXPECT_FALSE(arrowhead::EndFits(99.5, 0));

    // Pen 20: extents 20 x 50 / 5 = 200 and 20 x 32.5 / 5 = 130.
    KyPath *p = Own(MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 120, 10}}));
    Stroke(p, Wedge(50), Wedge(32.5), 20);
    arrowhead::Query q;
    ASSERT_TRUE(arrowhead::QueryArrowheads(p, &q));
    EXPECT_TRUE(q.has_start && q.has_end);
    EXPECT_EQ(q.start_extent, 200.0);
    EXPECT_EQ(q.end_extent, 130.0);
    EXPECT_EQ(q.pen_width, 20);
    const double length = arrowhead::PathLength(p);
    EXPECT_EQ(length, 120.0);
    arrowhead::ApplyFitRule(&q, length);
    EXPECT_FALSE(q.has_start);
    EXPECT_FALSE(q.has_end);
    EXPECT_EQ(q.start_template, nullptr);

    // Drawing finds nothing to draw: the mask stays empty, the call succeeds.
    const OutlineInfo *info = path::OutlineOf(p);
    PathBuf mask = KyPathBufAlloc(8, 160, 40, 1, 0, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(KyPathRenderArrowHead(p, info->startArrow, nullptr, 20, 0, 0, mask, 1), 1);
    EXPECT_EQ(KyPathRenderArrowHead(p, nullptr, info->endArrow, 20, 0, 0, mask, 1), 1);
    std::vector<uint8_t> zero(160 * 40, 0);
    EXPECT_EQ(std::memcmp(mask, zero.data(), zero.size()), 0);

    // At pen 9 both are 90 and 58.5 long: they stay, however short the path.
    KyPath *tiny = Own(MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 3, 10}}));
    Stroke(tiny, Wedge(50), Wedge(32.5), 9);
    ASSERT_TRUE(arrowhead::QueryArrowheads(tiny, &q));
    arrowhead::ApplyFitRule(&q, arrowhead::PathLength(tiny));
    EXPECT_TRUE(q.has_start && q.has_end);
    EXPECT_EQ(KyPathRenderArrowHead(tiny, path::OutlineOf(tiny)->endArrow, nullptr, 9, 0, 0, mask, 1), 1);

    // Turned off, or without a stroke description: nothing.
    path::OutlineOf(tiny)->arrowsOff = 1;
    EXPECT_FALSE(arrowhead::QueryArrowheads(tiny, &q));
    KyPath *bare = Own(MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 300, 10}}));
    EXPECT_FALSE(arrowhead::QueryArrowheads(bare, &q));
    EXPECT_FALSE(arrowhead::QueryArrowheads(nullptr, &q));
    KyPathBufFree(mask);
}

TEST_F(Arrowheads, LengthAndAnchorsOnLinesAndCurves) {
    KyPath *line = Own(MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 50}, {PT_LINETO, 110, 50}}));  // 50 + 70
    EXPECT_EQ(arrowhead::PathLength(line), 120.0);
    Anchor a;
    ASSERT_TRUE(arrowhead::FindAnchor(line, End::kStart, 20, &a));
    ExpectAnchor(a, {22, 26, -0.6, -0.8}, 1e-12, 1e-12);  // pointing back out of the start
    ASSERT_TRUE(arrowhead::FindAnchor(line, End::kEnd, 20, &a));
    ExpectAnchor(a, {90, 50, 1, 0}, 1e-12, 1e-12);
    // Longer than the path: the anchor stops at the other end.
    ASSERT_TRUE(arrowhead::FindAnchor(line, End::kStart, 500, &a));
    ExpectAnchor(a, {110, 50, -1, 0}, 1e-12, 1e-12);
    ASSERT_TRUE(arrowhead::FindAnchor(line, End::kEnd, 500, &a));
    ExpectAnchor(a, {10, 10, 0.6, 0.8}, 1e-12, 1e-12);

    // The quarter circle: its length by the chords agrees with a fine
    // subdivision of the curve, and the anchors lie on the arc with the
    // arc's tangent.
    KyPath *arc = Own(QuarterCircle());
    bez::Cubic cu{{{100, 0}, {100, 100 * kK}, {100 * kK, 100}, {0, 100}}};
    const double exact = bez::Length(cu, 1e-9);
    EXPECT_NEAR(arrowhead::PathLength(arc), exact, 0.01);
    EXPECT_NEAR(exact, 50 * M_PI, 0.05);
    for (End e : {End::kStart, End::kEnd}) {
        ASSERT_TRUE(arrowhead::FindAnchor(arc, e, 30, &a));
        const double th = e == End::kStart ? 0.3 : M_PI / 2 - 0.3, out = e == End::kStart ? 1 : -1;
        ExpectAnchor(a, {100 * std::cos(th), 100 * std::sin(th), out * std::sin(th), -out * std::cos(th)}, 0.05, 0.01);
    }

    // No length, no direction.
    KyPath *point = Own(MakePath({{PT_MOVETO, 5, 5}, {PT_LINETO, 5, 5}}));
    EXPECT_EQ(arrowhead::PathLength(point), 0.0);
    EXPECT_FALSE(arrowhead::FindAnchor(point, End::kEnd, 1, &a));
}

TEST_F(Arrowheads, PlacementAtBothEnds) {
    KyPath *t = Own(Triangle());
    Metrics m;
    ASSERT_TRUE(arrowhead::Measure(t, &m));
    // Pen 10: scale 2, arrow length 20.
    KyPath *h = Own(MakePath({{PT_MOVETO, 0, 50}, {PT_LINETO, 100, 50}}));
    Anchor a;
    ASSERT_TRUE(arrowhead::FindAnchor(h, End::kEnd, arrowhead::ArrowLength(m, 10), &a));
    KyPath *end = Own(arrowhead::PlacedCopy(t, m, a, 10));
    ASSERT_NE(end, nullptr);
    ExpectPoints(end, {{78, 40}, {98, 50}, {78, 60}});  // the tip one scaled pixel short of the end
    EXPECT_EQ(end->flags, 0u);

    ASSERT_TRUE(arrowhead::FindAnchor(h, End::kStart, arrowhead::ArrowLength(m, 10), &a));
    KyPath *start = Own(arrowhead::PlacedCopy(t, m, a, 10));
    ASSERT_NE(start, nullptr);
    ExpectPoints(start, {{22, 60}, {2, 50}, {22, 40}});

    // Down a vertical line: turned a quarter clockwise on screen.
    KyPath *v = Own(MakePath({{PT_MOVETO, 50, 0}, {PT_LINETO, 50, 100}}));
    ASSERT_TRUE(arrowhead::FindAnchor(v, End::kEnd, 20, &a));
    KyPath *down = Own(arrowhead::PlacedCopy(t, m, a, 10));
    ASSERT_NE(down, nullptr);
    ExpectPoints(down, {{60, 78}, {50, 98}, {40, 78}});

    // On the quarter circle: the anchor 20 pixels of arc (0.2 radian) from
    // the end, the tip 18 pixels on along the tangent there, the middle of
    // the attachment side 2 pixels back, pointing out of that end.
    KyPath *arc = Own(QuarterCircle());
    for (End e : {End::kStart, End::kEnd}) {
        ASSERT_TRUE(arrowhead::FindAnchor(arc, e, arrowhead::ArrowLength(m, 10), &a));
        KyPath *placed = Own(arrowhead::PlacedCopy(t, m, a, 10));
        ASSERT_NE(placed, nullptr);
        const double phi = e == End::kStart ? 0.2 : M_PI / 2 - 0.2;
        const double dx = e == End::kStart ? std::sin(phi) : -std::sin(phi);
        const double dy = e == End::kStart ? -std::cos(phi) : std::cos(phi);
        const double ax = 100 * std::cos(phi), ay = 100 * std::sin(phi);
        EXPECT_NEAR(X(placed, 1), ax + 18 * dx, 0.15);
        EXPECT_NEAR(Y(placed, 1), ay + 18 * dy, 0.15);
        EXPECT_NEAR((X(placed, 0) + X(placed, 2)) / 2, ax - 2 * dx, 0.1);
        EXPECT_NEAR((Y(placed, 0) + Y(placed, 2)) / 2, ay - 2 * dy, 0.1);
    }

    // A template of two records moves as one.
    KyPath *twin = Own(Triangle());
    KyPath *inner = MakePath({{PT_MOVETO, 2, -1}, {PT_LINETO, 4, 0}, {PT_LINETO | PT_CLOSEFIGURE, 2, 1}});
    testing_support::LinkList({twin, inner});
    Anchor right{80, 50, 1, 0};
    KyPath *both = Own(arrowhead::PlacedCopy(twin, m, right, 10));
    ASSERT_NE(both, nullptr);
    ASSERT_NE(both->next, nullptr);
    EXPECT_EQ(both->groupNext, both->next);
    ExpectPointAt(both->next, 1, 80 + 6, 50);
}

TEST_F(Arrowheads, DrawingCallRefusals) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 100, 10}}));
    KyPath *t = Triangle();
    Stroke(p, t, nullptr, 4);
    PathBuf mask8 = KyPathBufAlloc(8, 20, 20, 1, 0, 0);
    PathBuf mask32 = KyPathBufAlloc(32, 20, 20, 1, 0, 0);
    ASSERT_TRUE(mask8 && mask32);
    EXPECT_EQ(KyPathRenderArrowHead(p, nullptr, nullptr, 4, 0, 0, mask8, 1), 0);
    EXPECT_EQ(KyPathRenderArrowHead(p, t, nullptr, 4, 0, 0, nullptr, 1), 0);
    EXPECT_EQ(KyPathRenderArrowHead(p, t, nullptr, 4, 0, 0, mask32, 1), 0);
    // A pen without width draws nothing and succeeds.
    EXPECT_EQ(KyPathRenderArrowHead(p, t, nullptr, 0, 0, 0, mask8, 1), 1);
    EXPECT_EQ(KyPathRenderArrowHead(p, t, nullptr, -4, 0, 0, mask8, 1), 1);
    std::vector<uint8_t> zero(20 * 20, 0);
    EXPECT_EQ(std::memcmp(mask8, zero.data(), zero.size()), 0);
    // Asked for the start, the path names no end arrowhead: the end template
    // given alone draws nothing.
    EXPECT_EQ(KyPathRenderArrowHead(p, nullptr, t, 4, 0, 0, mask8, 1), 1);
    EXPECT_EQ(std::memcmp(mask8, zero.data(), zero.size()), 0);
    // The start arrowhead does land in the mask at (0, 0)..(20, 20).
    EXPECT_EQ(KyPathRenderArrowHead(p, t, nullptr, 4, 0, 0, mask8, 0), 1);
    const uint8_t *px = static_cast<const uint8_t *>(mask8);
    EXPECT_EQ(px[10 * 20 + 5], 255) << "inside the arrowhead";
    EXPECT_EQ(px[0], 0);
    KyPathBufFree(mask8);
    KyPathBufFree(mask32);
}

// ---- The rendered picture ----

constexpr int kW = 96, kH = 128;

// A barbed template: attachment side x = 0 from y = -6 to 6, tip at 14,
// the back notched in to x = 4.
KyPath *Barbed() {
    return MakePath({{PT_MOVETO, 0, -6}, {PT_LINETO, 14, 0}, {PT_LINETO, 0, 6}, {PT_LINETO, 4, 0}, {PT_LINETO | PT_CLOSEFIGURE, 0, -6}});
}

TEST_F(Arrowheads, RenderedMaskMatchesTheCheckedInPicture) {
    // An S-curve with a barbed start arrowhead and a triangular end one,
    // pen 8. Top half anti-aliased, bottom half hard (the same arrowheads
    // drawn with the mask's origin 64 rows up).
    KyPath *p = Own(
        MakePath({{PT_MOVETO, 10.5, 44.25}, {PT_BEZIERTO, 35, 56}, {PT_BEZIERTO, 60, 8}, {PT_BEZIERTO, 86.75, 16.5}}));
    KyPath *barbed = Barbed();
    KyPath *tri = Triangle();
    Stroke(p, barbed, tri, 8);
    PathBuf mask = KyPathBufAlloc(8, kW, kH, 1, 0, 0);
    ASSERT_NE(mask, nullptr);
    ASSERT_EQ(KyPathRenderArrowHead(p, barbed, nullptr, 8, 0, 0, mask, 1), 1);
    ASSERT_EQ(KyPathRenderArrowHead(p, nullptr, tri, 8, 0, 0, mask, 1), 1);
    ASSERT_EQ(KyPathRenderArrowHead(p, barbed, nullptr, 8, 0, -64, mask, 0), 1);
    ASSERT_EQ(KyPathRenderArrowHead(p, nullptr, tri, 8, 0, -64, mask, 0), 1);
    const uint8_t *px = static_cast<const uint8_t *>(mask);
    std::vector<uint8_t> actual(px, px + kW * kH);
    KyPathBufFree(mask);

    // The hard half holds only 0 and 255, and about the area of the two
    // arrowheads: the barbed one 60 square units scaled by 8 / 6 (107
    // pixels), the triangle 50 scaled by 8 / 5 (128 pixels).
    int hard_on = 0, soft_on = 0;
    for (int i = 0; i < kW * 64; ++i) soft_on += actual[i] != 0;
    for (int i = kW * 64; i < kW * kH; ++i) {
        EXPECT_TRUE(actual[i] == 0 || actual[i] == 255) << i;
        hard_on += actual[i] == 255;
    }
    EXPECT_GT(hard_on, 200);
    EXPECT_LT(hard_on, 270);
    EXPECT_GE(soft_on, hard_on);

    testing_support::ExpectGolden("shapes", "arrowheads", testing_support::Gray{kW, kH, actual});
}

TEST_F(Arrowheads, AllocationFailuresDrawNothingAndLeakNothing) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 0, 10}, {PT_LINETO, 100, 10}}));
    KyPath *t = Triangle();
    Stroke(p, nullptr, t, 4);
    PathBuf mask = KyPathBufAlloc(8, 120, 20, 1, 0, 0);
    ASSERT_NE(mask, nullptr);
    const size_t live = LiveBlocks();
    int failures = 0;
    for (int64_t i = 0; i < 20; ++i) {
        std::memset(mask, 0, 120 * 20);
        int32_t r;
        {
            plat::ScopedAllocFailure fail(i);
            r = KyPathRenderArrowHead(p, nullptr, t, 4, 0, 0, mask, 1);
        }
        EXPECT_EQ(LiveBlocks(), live) << "after failing allocation " << i;
        if (r == 1) break;
        EXPECT_EQ(r, 0);
        ++failures;
    }
    EXPECT_GE(failures, 2) << "the copy and the filler's scratch each fail once";
    const uint8_t *px = static_cast<const uint8_t *>(mask);
    EXPECT_EQ(px[10 * 120 + 95], 255) << "drawn once nothing fails";
    KyPathBufFree(mask);
}

}  // namespace
