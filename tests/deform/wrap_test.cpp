#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/diag.h"
#include "core/memory.h"
#include "deform/cut_stretch.h"
#include "deform/wrap.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "y32Comm.h"

namespace {

using testing_support::DebugCapture;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

struct XY {
    double x, y;
};

std::vector<XY> PointsOf(const KyPath *head) {
    std::vector<XY> v;
    for (const KyPath *r = head; r; r = r->next)
        for (int32_t i = 0; i < r->count; ++i) v.push_back({FixToDb(+path::Points(r)[i].x), FixToDb(+path::Points(r)[i].y)});
    return v;
}

// The raw bytes of every record of a list: what "left as it was" means.
std::vector<std::vector<uint8_t>> Bytes(const KyPath *head) {
    std::vector<std::vector<uint8_t>> v;
    for (const KyPath *r = head; r; r = r->next) {
        const auto *b = reinterpret_cast<const uint8_t *>(r);
        v.emplace_back(b, b + sizeof(KyPath) + sizeof(PathPoint) * r->count);
    }
    return v;
}

KyPath *Rect(double l, double t, double r, double b) {
    return MakePath({{PT_MOVETO, l, t}, {PT_LINETO, r, t}, {PT_LINETO, r, b}, {PT_LINETO, l, b},
                     {PT_LINETO | PT_CLOSEFIGURE, l, t}});
}

WrapInfo Info(KyPath *baseline) {
    WrapInfo w{};
    w.baseline = baseline;
    w.repeatCount = 1;
    w.option8 = 1;
    w.startHeight = w.endHeight = 100;
    return w;
}

Y32ErrInfo LastError() {
    Y32ErrInfo e{};
    c32GetDLLErrInfo(&e);
    return e;
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
        WrapInfo info = Info(c.baseline);
        DebugCapture dbg;
        c32ClearDLLErrInfo();
        KyPath *held = fig;
        EXPECT_EQ(KyPathWrap(&held, &info), 0);
        EXPECT_EQ(held, fig);
        EXPECT_EQ(Bytes(fig), before);
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

}  // namespace
