#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/diag.h"
#include "core/memory.h"
#include "deform/cut_stretch.h"
#include "deform/wrap.h"
#include "platform/alloc_fail.h"
#include "support/records.h"
#include "y32Comm.h"
#include "y32path/raster.h"
#include "y32path/platform.h"

namespace {

using testing_support::DebugCapture;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

using testing_support::Bytes;
using testing_support::Circle;
using testing_support::LastError;
using testing_support::Rect;
using testing_support::XY;
std::vector<XY> PointsOf(const KyPath *head) { return testing_support::PointsXY(head); }

WrapInfo Info(KyPath *baseline) {
    WrapInfo w{};
    w.baseline = baseline;
    w.repeatCount = 1;
    w.option8 = 1;
    w.startHeight = w.endHeight = 100;
    return w;
}

class WrapTest : public PathTest {};

TEST_F(WrapTest, ShortOrMalformedBaselinesAreRefusedWithTheirReports) {
    struct Case {
        const char *name;
        KyPath *baseline;
        int32_t code, line;
    } cases[] = {
        {"3 pixels", MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 13, 10}}), diag::kErrBaselineShort, 825},
        {"one point", MakePath({{PT_MOVETO, 10, 10}}), diag::kErrBaselineShort, 718},
        {"a second move", MakePath({{PT_MOVETO, 10, 10}, {PT_MOVETO, 50, 10}}), diag::kErrUnsuitable, 734},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KyPath *fig = Rect(0, 0, 20, 10);
        auto before = Bytes(fig);
        // What preparing a baseline changes (its text bits, its stroke
        // description, its place) must be back when the wrap fails.
        c.baseline->flags |= 0x20000000u;
        OutlineInfo *stroke = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(1, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 3, 0, 0, &stroke), 1);
        ASSERT_EQ(KyPathSetOutlineInfo(c.baseline, stroke), 1);
        const auto baseline_before = Bytes(c.baseline);
        WrapInfo info = Info(c.baseline);
        info.recentre = 1;
        info.positionX = info.positionY = 300;
        DebugCapture dbg;
        c32ClearDLLErrInfo();
        KyPath *held = fig;
        EXPECT_EQ(KyPathWrap(&held, &info), 0);
        EXPECT_EQ(held, fig);
        EXPECT_EQ(Bytes(fig), before);
        EXPECT_EQ(Bytes(c.baseline), baseline_before);
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.unit, diag::kUnitWrap);
        EXPECT_EQ(e.line, c.line);
        if (c.line == 825) {
            bool said = false;
            for (const auto &l : dbg.lines()) said |= l == "- WrapMakeAFDTableAndSegInfo() error: path length too short.\n";
            EXPECT_TRUE(said);
        }
        KyPathDeletePtr(fig, 0);
        KyPathDeletePtr(c.baseline, 0);
    }
    // Null arguments and a baseline with a next path.
    KyPath *fig = Rect(0, 0, 20, 10);
    KyPath *bl = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}});
    KyPath *extra = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}});
    WrapInfo info = Info(bl);
    EXPECT_EQ(KyPathWrap(nullptr, &info), 0);
    EXPECT_EQ(LastError().line, 5318);
    EXPECT_EQ(KyPathWrap(&fig, nullptr), 0);
    LinkList({bl, extra});
    EXPECT_EQ(KyPathWrap(&fig, &info), 0);
    EXPECT_EQ(LastError().line, 5334);
    KyPathDeletePtr(bl, 0);
    KyPathDeletePtr(fig, 0);
}

// On a straight baseline the bend is a translation: x along the arc from the
// baseline's start, the figure's baseline level onto the line.
TEST_F(WrapTest, StraightBaselineTranslatesTheFigure) {
    KyPath *bl = MakePath({{PT_MOVETO, 100, 200}, {PT_LINETO, 400, 200}});
    KyPath *fig = Rect(10, 30, 60, 50);
    WrapInfo info = Info(bl);
    info.baselineLevel = 0.5;  // y0 = 30 + 0.5 * 21 = 40.5
    auto before = PointsOf(fig);
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    EXPECT_EQ(info.closedLoop, 0);
    auto after = PointsOf(fig);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_NEAR(after[i].x, before[i].x - 10 + 100, 1e-3);
        EXPECT_NEAR(after[i].y, before[i].y - 40.5 + 200, 1e-3);
    }
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(bl, 0);
}

void SetFontHeight(WrapInfo *w, uint16_t h) {
    uint64_t bits = h;
    std::memcpy(&w->baselineLevel, &bits, sizeof bits);
}

// Wraps a fresh copy of `fig` and returns the points of the result.
std::vector<XY> WrapCopy(KyPath *fig, WrapInfo *info, int32_t *result = nullptr) {
    KyPath *copy = nullptr;
    EXPECT_EQ(KyPathDuplicatePtr(fig, &copy), 1);
    int32_t ok = KyPathWrap(&copy, info);
    if (result) *result = ok;
    auto pts = PointsOf(copy);
    KyPathDeletePtr(copy, 0);
    return pts;
}

void ExpectSamePoints(const std::vector<XY> &a, const std::vector<XY> &b, double tol) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].x, b[i].x, tol) << "point " << i;
        EXPECT_NEAR(a[i].y, b[i].y, tol) << "point " << i;
    }
}

TEST_F(WrapTest, StartOffsetsAreBroughtIntoOneTurn) {
    const struct {
        double in, out;
    } cases[] = {{-0.25, 0.75}, {1.0, 0.999}, {1.5, 0.5}, {0.3, 0.3}, {2.0, 0.999}, {-1.0, 0.0}, {-1e300, 0.0},
                 {NAN, 0.0}};
    for (const auto &c : cases) EXPECT_NEAR(wrap::NormaliseStartOffset(c.in), c.out, 1e-12) << c.in;

    // The wrap itself reads them so: the same figure lands in the same place.
    KyPath *bl = Circle(200, 200, 80);
    KyPath *fig = Rect(0, 0, 60, 12);
    WrapInfo info = Info(bl);
    info.baselineLevel = 0.5;
    for (const auto &c : {cases[0], cases[2]}) {
        info.startOffset = c.in;
        auto a = WrapCopy(fig, &info);
        info.startOffset = c.out;
        auto b = WrapCopy(fig, &info);
        ExpectSamePoints(a, b, 1e-4);
    }
    EXPECT_EQ(info.closedLoop, 1);
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(bl, 0);
}

// A zero-length segment in the middle of the baseline takes no arc length:
// the figure bends exactly as on the baseline without it, and its mask has
// no gap where the segments meet.
TEST_F(WrapTest, ZeroLengthSegmentIsPassedOverContinuously) {
    KyPath *with = MakePath({{PT_MOVETO, 0, 100},     {PT_LINETO, 100, 100},  {PT_LINETO, 100, 100},
                             {PT_BEZIERTO, 150, 100}, {PT_BEZIERTO, 200, 50}, {PT_BEZIERTO, 200, 0}});
    KyPath *without = MakePath({{PT_MOVETO, 0, 100},
                                {PT_LINETO, 100, 100},
                                {PT_BEZIERTO, 150, 100},
                                {PT_BEZIERTO, 200, 50},
                                {PT_BEZIERTO, 200, 0}});
    KyPath *bar = Rect(0, 0, 220, 20);
    WrapInfo info = Info(with);
    info.baselineLevel = 0.5;
    std::vector<XY> a;
    {
        DebugCapture dbg;
        a = WrapCopy(bar, &info);
        bool said = false;
        for (const auto &l : dbg.lines())
            said |= l == "- WrapMakeAFDTableAndSegInfo(): path segment [1] length=0 ignored, type = LINE.\n";
        EXPECT_TRUE(said);
    }
    info.baseline = without;
    ExpectSamePoints(a, WrapCopy(bar, &info), 1e-6);

    KyPath *fig = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(bar, &fig), 1);
    info.baseline = with;
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(fig, 0, 0, 0, 0, DbToFix(1.0), &rects, &bufs, 0), 1);
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(bufs[0], &w, &h, &depth);
    const uint8_t *px = static_cast<const uint8_t *>(bufs[0]);
    // Walk the baseline across the joint, 2 pixels inside the band's
    // edges on both sides.
    int holes = 0;
    for (double x = 80; x <= 100; x += 0.5)
        for (double y : {92.0, 100.0, 108.0}) {
            int32_t cx = static_cast<int32_t>(x) - rects[0].left, cy = static_cast<int32_t>(y) - rects[0].top;
            holes += cx >= 0 && cy >= 0 && cx < static_cast<int32_t>(w) && cy < static_cast<int32_t>(h) ? px[cy * w + cx] == 0
                                                                                                      : 1;
        }
    EXPECT_EQ(holes, 0);
    KyPathBufFree(bufs[0]);
    GlobalFree(bufs);
    GlobalFree(rects);
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(bar, 0);
    KyPathDeletePtr(with, 0);
    KyPathDeletePtr(without, 0);
}

TEST_F(WrapTest, TextLevelAndHeights) {
    // Font height 30 without ascent and descent: 20 and 10, and the
    // figure's baseline lies two thirds down its box.
    KyPath *bl = MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 300, 100}});
    KyPath *glyph = Rect(0, 0, 40, 29);
    glyph->flags |= 0x40000000u;
    WrapInfo info = Info(bl);
    info.text = 1;
    SetFontHeight(&info, 30);
    auto pts = WrapCopy(glyph, &info);
    EXPECT_EQ(info.ascentDescent, (20 << 16) | 10);
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_NEAR(pts[0].y, 100 - 20, 1e-4);  // the top, 20 above the level
    EXPECT_NEAR(pts[2].y, 100 + 9, 1e-4);   // the bottom, 9 below

    // A taper from 200 % to 100 %: the left end twice as tall as the right.
    KyPath *bar = Rect(0, 0, 100, 10);
    WrapInfo taper = Info(bl);
    taper.baselineLevel = 0.0;  // level at the bottom + 1
    taper.startHeight = 200;
    auto t = WrapCopy(bar, &taper);
    EXPECT_NEAR(t[0].y, 100 - 11 * 2.0, 1e-4);  // top left
    EXPECT_NEAR(t[1].y, 100 - 11 * 1.0, 1e-4);  // top right

    // Past the end of an open baseline the figure goes straight on.
    KyPath *shortbl = MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}});
    WrapInfo past = Info(shortbl);
    KyPath *longer = Rect(0, 0, 150, 10);
    double right = 0;
    for (const XY &p : WrapCopy(longer, &past)) right = std::max(right, p.x);
    EXPECT_NEAR(right, 150, 1e-4);
    KyPathDeletePtr(longer, 0);
    KyPathDeletePtr(glyph, 0);
    KyPathDeletePtr(bar, 0);
    KyPathDeletePtr(bl, 0);
    KyPathDeletePtr(shortbl, 0);
}

// A corner smoothed with the miter: the band's edges meet at the corner's
// miter points instead of opening a wedge.
TEST_F(WrapTest, SmoothedCornersMeetInAMiter) {
    // The same corner between two lines and between a line and a (straight)
    // curve.
    KyPath *lines = MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}, {PT_LINETO, 100, 0}});
    KyPath *curve = MakePath({{PT_MOVETO, 0, 100},
                              {PT_LINETO, 100, 100},
                              {PT_BEZIERTO, 100, 70},
                              {PT_BEZIERTO, 100, 30},
                              {PT_BEZIERTO, 100, 0}});
    KyPath *bar = Rect(0, 0, 200, 20);
    for (KyPath *bl : {lines, curve}) {
        WrapInfo info = Info(bl);
        info.baselineLevel = 0.5;  // y0 = 10.5: the top edge 10.5 inside the turn, the bottom 9.5 outside
        info.option7 = 1;
        info.smoothCorners = 1;
        auto pts = WrapCopy(bar, &info);
        auto has = [&](double x, double y) {
            for (const XY &p : pts)
                if (std::fabs(p.x - x) < 1e-3 && std::fabs(p.y - y) < 1e-3) return true;
            return false;
        };
        EXPECT_TRUE(has(89.5, 89.5));
        EXPECT_TRUE(has(109.5, 109.5));
        // Without smoothing the outer edge is cut off at the corner.
        info.option7 = 0;
        pts = WrapCopy(bar, &info);
        EXPECT_FALSE(has(109.5, 109.5));
        KyPathDeletePtr(bl, 0);
    }
    KyPathDeletePtr(bar, 0);
}

// With option8 0 a figure that is not text is one rigid unit: turned and
// moved, never bent. Repeats, closed loops and the text bits.
TEST_F(WrapTest, RigidPlacementRepeatsAndLoops) {
    KyPath *arc = MakePath({{PT_MOVETO, 0, 200}, {PT_BEZIERTO, 0, 90}, {PT_BEZIERTO, 90, 0}, {PT_BEZIERTO, 200, 0}});
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 30, 0}, {PT_LINETO, 15, 20}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
    KyPath *b = Rect(40, 5, 60, 15);
    LinkList({a, b});
    WrapInfo info = Info(arc);
    info.option8 = 0;
    info.startOffset = 0.3;
    auto before = PointsOf(a);
    KyPath *fig = a;
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    auto after = PointsOf(fig);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        for (size_t j = i + 1; j < before.size(); ++j)
            EXPECT_NEAR(std::hypot(after[i].x - after[j].x, after[i].y - after[j].y),
                        std::hypot(before[i].x - before[j].x, before[i].y - before[j].y), 2e-4);
    // Turned: the first edge is no longer horizontal.
    EXPECT_GT(std::fabs(after[1].y - after[0].y), 1.0);
    for (KyPath *r = fig; r; r = r->next) EXPECT_EQ(r->flags & KPF_TEXTMASK, 0u);
    EXPECT_EQ(fig->groupNext, fig->next);  // one group chain
    KyPathDeletePtr(fig, 0);

    // Three repeats on a closed circle: three times the records, every
    // point within the band around the circle.
    KyPath *circle = Circle(300, 300, 100);
    KyPath *sq = Rect(0, 0, 100, 20);
    WrapInfo loop = Info(circle);
    loop.repeatCount = 3;
    loop.baselineLevel = 0.5;
    loop.fitToLength = 1;
    KyPath *held = sq;
    ASSERT_EQ(KyPathWrap(&held, &loop), 1);
    EXPECT_EQ(loop.closedLoop, 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(held), 3);
    for (const XY &p : PointsOf(held)) {
        double r = std::hypot(p.x - 300, p.y - 300);
        EXPECT_GT(r, 100 - 10.6);
        EXPECT_LT(r, 100 + 10.6);
    }
    KyPathDeletePtr(held, 0);
    KyPathDeletePtr(circle, 0);
    KyPathDeletePtr(arc, 0);
}

TEST_F(WrapTest, TrimmedRibbonSortsCopiesIntoFrontAndBack) {
    // An S wave: one maximum and one minimum inside.
    KyPath *wave = MakePath({{PT_MOVETO, 0, 100},    {PT_BEZIERTO, 50, -30}, {PT_BEZIERTO, 100, -30},
                             {PT_BEZIERTO, 150, 100}, {PT_BEZIERTO, 200, 230}, {PT_BEZIERTO, 250, 230},
                             {PT_BEZIERTO, 300, 100}});
    KyPath *sq = Rect(0, 0, 10, 10);
    WrapInfo info = Info(wave);
    info.repeatCount = 0;
    info.fitToLength = 1;
    info.spacing = 1.0;
    KyPathDoTrimmedRibbon(1);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 1);
    KyPath *fig = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(sq, &fig), 1);
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    int groups = 0, records = 0;
    for (KyPath *r = fig; r; r = r->next) {
        ++records;
        groups += r->groupPrev == nullptr;
        EXPECT_EQ(r->flags & KPF_WORKMARK, 0u);
    }
    EXPECT_EQ(groups, 2);
    EXPECT_GT(records, 4);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 1);
    KyPathDeletePtr(fig, 0);
    // option7 switches the mode off for one wrap: a single group chain.
    info.option7 = 1;
    ASSERT_EQ(KyPathDuplicatePtr(sq, &fig), 1);
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    groups = 0;
    for (KyPath *r = fig; r; r = r->next) groups += r->groupPrev == nullptr;
    EXPECT_EQ(groups, 1);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 1);
    KyPathDoTrimmedRibbon(0);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 0);
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(sq, 0);
    KyPathDeletePtr(wave, 0);
}

// Each allocation of a bending and a rigid wrap made to fail in turn: the
// figure is left exactly as it was and nothing leaks.
TEST_F(WrapTest, AllocationFailuresLeaveTheFigureAsItWas) {
    KyPath *bl = Circle(200, 200, 60);
    for (int32_t option8 : {1, 0}) {
        testing_support::SweepAllocFailures(400, 5, [&](int64_t i) {
            KyPath *a = Rect(0, 0, 90, 10);
            LinkList({a, MakePath({{PT_MOVETO, 0, 20}, {PT_BEZIERTO, 30, 0}, {PT_BEZIERTO, 60, 40},
                                   {PT_BEZIERTO, 90, 20}})});
            auto before = Bytes(a);
            size_t live = LiveBlocks();
            WrapInfo info = Info(bl);
            info.option8 = option8;
            info.repeatCount = 2;
            KyPath *held = a;
            int32_t ok;
            {
                plat::ScopedAllocFailure fail(i);
                ok = KyPathWrap(&held, &info);
            }
            if (!ok) {
                EXPECT_EQ(held, a);
                EXPECT_EQ(Bytes(a), before) << "failure " << i;
                EXPECT_EQ(LiveBlocks(), live) << "failure " << i;
            }
            KyPathDeletePtr(held, 0);
            return ok != 0;
        });
    }
    KyPathDeletePtr(bl, 0);
}

}  // namespace
