#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/diag.h"
#include "deform/deform_support.h"
#include "deform/wrap.h"
#include "platform/alloc_fail.h"
#include "support/owned_records.h"
#include "y32Comm.h"

namespace {

using deform_test::Bend;
using testing_support::Bytes;
using testing_support::Circle;
using testing_support::DebugCapture;
using testing_support::LastError;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::Rect;
using testing_support::XY;

std::vector<XY> PointsOf(const KyPath *head) { return testing_support::PointsXY(head); }

bool Said(const DebugCapture &dbg, const std::string &line) {
    for (const auto &l : dbg.lines())
        if (l == line) return true;
    return false;
}

// The points of a wrapped copy of `fig` (fig itself stays as it is).
std::vector<XY> WrapCopy(KyPath *fig, WrapInfo *info) {
    KyPath *copy = nullptr;
    EXPECT_EQ(KyPathDuplicatePtr(fig, &copy), 1);
    EXPECT_EQ(KyPathWrap(&copy, info), 1);
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

using WrapTest = testing_support::OwningPathTest;

TEST_F(WrapTest, ShortOrMalformedBaselinesAreRefusedWithTheirReports) {
    struct Case {
        KyPath *baseline;
        int32_t code, line;
    } cases[] = {
        {MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 13, 10}}), diag::kErrBaselineShort, 825},  // 3 pixels
        {MakePath({{PT_MOVETO, 10, 10}}), diag::kErrBaselineShort, 718},
        {MakePath({{PT_MOVETO, 10, 10}, {PT_MOVETO, 50, 10}}), diag::kErrUnsuitable, 734},  // a second move
    };
    for (size_t i = 0; i < 3; ++i) {
        const Case &c = cases[i];
        KyPath *fig = Own(Rect(0, 0, 20, 10));
        Own(c.baseline);
        auto before = Bytes(fig);
        // What preparing a baseline changes (its text bits, its stroke
        // description, its place) must be back when the wrap fails.
        c.baseline->flags |= 0x20000000u;
        OutlineInfo *stroke = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(1, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 3, 0, 0, &stroke), 1);
        ASSERT_EQ(KyPathSetOutlineInfo(c.baseline, stroke), 1);
        const auto baseline_before = Bytes(c.baseline);
        WrapInfo info = Bend(c.baseline);
        info.recentre = 1;
        info.positionX = info.positionY = 300;
        DebugCapture dbg;
        c32ClearDLLErrInfo();
        KyPath *held = fig;
        EXPECT_EQ(KyPathWrap(&held, &info), 0) << "case " << i;
        EXPECT_EQ(held, fig) << "case " << i;
        EXPECT_EQ(Bytes(fig), before) << "case " << i;
        EXPECT_EQ(Bytes(c.baseline), baseline_before) << "case " << i;
        Y32ErrInfo e = LastError();
        EXPECT_EQ(e.code, c.code) << "case " << i;
        EXPECT_EQ(e.unit, diag::kUnitWrap) << "case " << i;
        EXPECT_EQ(e.line, c.line) << "case " << i;
        if (c.line == 825) {
            EXPECT_TRUE(Said(dbg, "- WrapMakeAFDTableAndSegInfo() error: path length too short.\n"));
        }
    }
    // Null arguments and a baseline with a next path.
    KyPath *fig = Own(Rect(0, 0, 20, 10));
    KyPath *bl = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}}));
    WrapInfo info = Bend(bl);
    EXPECT_EQ(KyPathWrap(nullptr, &info), 0);
    EXPECT_EQ(LastError().line, 5318);
    EXPECT_EQ(KyPathWrap(&fig, nullptr), 0);
    LinkList({bl, MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}})});
    EXPECT_EQ(KyPathWrap(&fig, &info), 0);
    EXPECT_EQ(LastError().line, 5334);
}

// On a straight baseline the bend is a translation: x along the arc from the
// baseline's start, the figure's baseline level onto the line.
TEST_F(WrapTest, StraightBaselineTranslatesTheFigure) {
    WrapInfo info = Bend(Own(MakePath({{PT_MOVETO, 100, 200}, {PT_LINETO, 400, 200}})));
    info.baselineLevel = 0.5;  // y0 = 30 + 0.5 * 21 = 40.5
    KyPath *fig = Rect(10, 30, 60, 50);
    auto before = PointsOf(fig);
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    Own(fig);
    EXPECT_EQ(info.closedLoop, 0);
    auto after = PointsOf(fig);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_NEAR(after[i].x, before[i].x - 10 + 100, 1e-3);
        EXPECT_NEAR(after[i].y, before[i].y - 40.5 + 200, 1e-3);
    }
}

TEST_F(WrapTest, StartOffsetsAreBroughtIntoOneTurn) {
    const struct {
        double in, out;
    } cases[] = {{-0.25, 0.75}, {1.0, 0.999}, {1.5, 0.5}, {0.3, 0.3}, {2.0, 0.999}, {-1.0, 0.0}, {-1e300, 0.0},
                 {NAN, 0.0}};
    for (const auto &c : cases) EXPECT_NEAR(wrap::NormaliseStartOffset(c.in), c.out, 1e-12) << c.in;

    // The wrap itself reads them so: the same figure lands in the same place.
    KyPath *fig = Own(Rect(0, 0, 60, 12));
    WrapInfo info = Bend(Own(Circle(200, 200, 80)));
    info.baselineLevel = 0.5;
    for (const auto &c : {cases[0], cases[2]}) {
        info.startOffset = c.in;
        auto a = WrapCopy(fig, &info);
        info.startOffset = c.out;
        ExpectSamePoints(a, WrapCopy(fig, &info), 1e-4);
    }
    EXPECT_EQ(info.closedLoop, 1);
}

// A zero-length segment in the middle of the baseline takes no arc length:
// the figure bends exactly as on the baseline without it, and its mask has
// no gap where the segments meet.
TEST_F(WrapTest, ZeroLengthSegmentIsPassedOverContinuously) {
    KyPath *with = Own(MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}, {PT_LINETO, 100, 100},
                                 {PT_BEZIERTO, 150, 100}, {PT_BEZIERTO, 200, 50}, {PT_BEZIERTO, 200, 0}}));
    KyPath *without = Own(MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}, {PT_BEZIERTO, 150, 100},
                                    {PT_BEZIERTO, 200, 50}, {PT_BEZIERTO, 200, 0}}));
    KyPath *bar = Own(Rect(0, 0, 220, 20));
    WrapInfo info = Bend(with);
    info.baselineLevel = 0.5;
    std::vector<XY> a;
    {
        DebugCapture dbg;
        a = WrapCopy(bar, &info);
        EXPECT_TRUE(Said(dbg, "- WrapMakeAFDTableAndSegInfo(): path segment [1] length=0 ignored, type = LINE.\n"));
    }
    info.baseline = without;
    ExpectSamePoints(a, WrapCopy(bar, &info), 1e-6);

    KyPath *fig = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(bar, &fig), 1);
    info.baseline = with;
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    deform_test::Mask m = deform_test::Render(Own(fig));
    // Walk the baseline across the joint, 2 pixels inside the band's
    // edges on both sides.
    int holes = 0;
    for (double x = 80; x <= 100; x += 0.5)
        for (double y : {92.0, 100.0, 108.0}) holes += m.At(static_cast<int32_t>(x), static_cast<int32_t>(y)) == 0;
    EXPECT_EQ(holes, 0);
}

TEST_F(WrapTest, TextLevelAndHeights) {
    // Font height 30 without ascent and descent: 20 and 10, and the
    // figure's baseline lies two thirds down its box.
    KyPath *bl = Own(MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 300, 100}}));
    KyPath *glyph = Own(Rect(0, 0, 40, 29));
    glyph->flags |= 0x40000000u;
    WrapInfo info = Bend(bl);
    info.text = 1;
    const uint64_t font_height = 30;
    std::memcpy(&info.baselineLevel, &font_height, sizeof font_height);
    auto pts = WrapCopy(glyph, &info);
    EXPECT_EQ(info.ascentDescent, (20 << 16) | 10);
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_NEAR(pts[0].y, 100 - 20, 1e-4);  // the top, 20 above the level
    EXPECT_NEAR(pts[2].y, 100 + 9, 1e-4);   // the bottom, 9 below

    // A taper from 200 % to 100 %: the left end twice as tall as the right.
    WrapInfo taper = Bend(bl);
    taper.baselineLevel = 0.0;  // level at the bottom + 1
    taper.startHeight = 200;
    auto t = WrapCopy(Own(Rect(0, 0, 100, 10)), &taper);
    EXPECT_NEAR(t[0].y, 100 - 11 * 2.0, 1e-4);  // top left
    EXPECT_NEAR(t[1].y, 100 - 11 * 1.0, 1e-4);  // top right

    // Past the end of an open baseline the figure goes straight on.
    WrapInfo past = Bend(Own(MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}})));
    double right = 0;
    for (const XY &p : WrapCopy(Own(Rect(0, 0, 150, 10)), &past)) right = std::max(right, p.x);
    EXPECT_NEAR(right, 150, 1e-4);
}

// A corner smoothed with the miter: the band's edges meet at the corner's
// miter points instead of opening a wedge, between two lines and between a
// line and a (straight) curve alike.
TEST_F(WrapTest, SmoothedCornersMeetInAMiter) {
    KyPath *bar = Own(Rect(0, 0, 200, 20));
    for (KyPath *bl : {MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}, {PT_LINETO, 100, 0}}),
                       MakePath({{PT_MOVETO, 0, 100}, {PT_LINETO, 100, 100}, {PT_BEZIERTO, 100, 70},
                                 {PT_BEZIERTO, 100, 30}, {PT_BEZIERTO, 100, 0}})}) {
        WrapInfo info = Bend(Own(bl));
        info.baselineLevel = 0.5;  // y0 = 10.5: the top edge 10.5 inside the turn, the bottom 9.5 outside
        info.option7 = 1;
        info.smoothCorners = 1;
        auto pts = WrapCopy(bar, &info);
        auto has = [&](double x, double y) {
            for (const XY &p : pts)
                if (std::fabs(p.x - x) < 1e-3 && std::fabs(p.y - y) < 1e-3) return true;
            return false;
        };
        EXPECT_TRUE(has(89.5, 89.5)) << bl->count;
        EXPECT_TRUE(has(109.5, 109.5)) << bl->count;
        // Without smoothing the outer edge is cut off at the corner.
        info.option7 = 0;
        pts = WrapCopy(bar, &info);
        EXPECT_FALSE(has(109.5, 109.5)) << bl->count;
    }
}

// With option8 0 a figure that is not text is one rigid unit: turned and
// moved, never bent. Repeats, closed loops and the text bits.
TEST_F(WrapTest, RigidPlacementRepeatsAndLoops) {
    KyPath *a =
        MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 30, 0}, {PT_LINETO, 15, 20}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
    LinkList({a, Rect(40, 5, 60, 15)});
    WrapInfo info =
        Bend(Own(MakePath({{PT_MOVETO, 0, 200}, {PT_BEZIERTO, 0, 90}, {PT_BEZIERTO, 90, 0}, {PT_BEZIERTO, 200, 0}})));
    info.option8 = 0;
    info.startOffset = 0.3;
    auto before = PointsOf(a);
    KyPath *fig = a;
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    Own(fig);
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

    // Three repeats on a closed circle: three times the records, every
    // point within the band around the circle.
    WrapInfo loop = Bend(Own(Circle(300, 300, 100)));
    loop.repeatCount = 3;
    loop.baselineLevel = 0.5;
    loop.fitToLength = 1;
    KyPath *held = Rect(0, 0, 100, 20);
    ASSERT_EQ(KyPathWrap(&held, &loop), 1);
    Own(held);
    EXPECT_EQ(loop.closedLoop, 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(held), 3);
    for (const XY &p : PointsOf(held)) {
        EXPECT_GT(std::hypot(p.x - 300, p.y - 300), 100 - 10.6);
        EXPECT_LT(std::hypot(p.x - 300, p.y - 300), 100 + 10.6);
    }
}

// With the trimmed ribbon on, copies sort into a back and a front group
// chain and lose their work marks; option7 turns it off for one wrap. The
// switch is the caller's: a wrap leaves it as it found it.
TEST_F(WrapTest, TrimmedRibbonSortsCopiesIntoFrontAndBack) {
    // An S wave: one maximum and one minimum inside.
    WrapInfo info = Bend(Own(MakePath({{PT_MOVETO, 0, 100}, {PT_BEZIERTO, 50, -30}, {PT_BEZIERTO, 100, -30},
                                       {PT_BEZIERTO, 150, 100}, {PT_BEZIERTO, 200, 230}, {PT_BEZIERTO, 250, 230},
                                       {PT_BEZIERTO, 300, 100}})));
    KyPath *sq = Own(Rect(0, 0, 10, 10));
    info.repeatCount = 0;
    info.fitToLength = 1;
    info.spacing = 1.0;
    KyPathDoTrimmedRibbon(1);
    for (int32_t option7 : {0, 1}) {
        info.option7 = option7;
        KyPath *fig = nullptr;
        ASSERT_EQ(KyPathDuplicatePtr(sq, &fig), 1);
        ASSERT_EQ(KyPathWrap(&fig, &info), 1);
        Own(fig);
        int groups = 0, records = 0;
        for (KyPath *r = fig; r; r = r->next) {
            ++records;
            groups += r->groupPrev == nullptr;
            EXPECT_EQ(r->flags & KPF_WORKMARK, 0u);
        }
        EXPECT_EQ(groups, option7 ? 1 : 2);
        EXPECT_GT(records, 4);
        EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 1);
    }
    KyPathDoTrimmedRibbon(0);
}

// Each allocation of a cut, a stretch, a bending and a rigid wrap made to
// fail in turn: the call fails, the source is left exactly as it was and
// nothing leaks.
TEST_F(WrapTest, AllocationFailuresLeaveTheSourceAsItWas) {
    KyPath *circle = Own(Circle(200, 200, 60));
    const char *const names[] = {"cut", "stretch", "bending wrap", "rigid wrap"};
    for (int which = 0; which < 4; ++which) {
        SCOPED_TRACE(names[which]);
        testing_support::SweepAllocFailures(400, 5, [&](int64_t i) {
            KyPath *src;
            if (which < 2) {
                src = Rect(0, 0, 100, 100);
                LinkList({src, Rect(30, 30, 70, 70), MakePath({{PT_MOVETO, 0, 0}, {PT_BEZIERTO, 30, 40},
                                                               {PT_BEZIERTO, 60, -40}, {PT_BEZIERTO, 90, 0}})});
            } else {
                src = Rect(0, 0, 90, 10);
                LinkList({src, MakePath({{PT_MOVETO, 0, 20}, {PT_BEZIERTO, 30, 0}, {PT_BEZIERTO, 60, 40},
                                         {PT_BEZIERTO, 90, 20}})});
            }
            auto before = Bytes(src);
            size_t live = LiveBlocks();
            double sa = 10, sb = 50, da = 10, db = 90;
            WrapInfo info = Bend(circle);
            info.option8 = which == 2;
            info.repeatCount = 2;
            KyPath *out = which == 1 ? nullptr : src;
            int32_t ok;
            {
                plat::ScopedAllocFailure fail(i);
                ok = which == 0   ? KyPathCutWithLineX(nullptr, &out, 50, 0)
                     : which == 1 ? KyPathStretch(src, &out, &sa, &sb, &da, &db, 1)
                                  : KyPathWrap(&out, &info);
            }
            if (!ok) {
                EXPECT_EQ(out, which == 1 ? nullptr : src) << "failure " << i;
                EXPECT_EQ(Bytes(src), before) << "failure " << i;
                EXPECT_EQ(LiveBlocks(), live) << "failure " << i;
            }
            // Only the stretch leaves the source to its caller.
            if (ok) KyPathDeletePtr(out, 0);
            if (!ok || which == 1) KyPathDeletePtr(src, 0);
            return ok != 0;
        });
    }
}

}  // namespace
