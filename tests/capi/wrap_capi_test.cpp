// Wrapping, cutting and stretching as a host does it, through the public
// header and the shared library only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "y32Path.h"

namespace {

KyPath *Path(std::initializer_list<std::pair<uint16_t, std::pair<double, double>>> pts) {
    KyPath *p = KyPathCreate();
    for (const auto &pt : pts) {
        FIXED xy[2] = {DbToFix(pt.second.first), DbToFix(pt.second.second)};
        KyPathAddPoint(&p, xy, pt.first);
    }
    return p;
}

TEST(WrapCApi, ExportsIncludingTheTwoWithCppLinkage) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name : {"KyPathWrap", "KyPathCutWithLineX", "KyPathStretch", "_Z21KyPathDoTrimmedRibboni",
                             "_Z28KyPathIsTrimmedRibbonEnabledv"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
    // The record keeps its field order with natural alignment.
    EXPECT_EQ(offsetof(WrapInfo, spacing) % 8, 0u);
    EXPECT_LT(offsetof(WrapInfo, closedLoop), offsetof(WrapInfo, startOffset));
    EXPECT_EQ(offsetof(WrapInfo, baselineLevel) % 8, 0u);
}

TEST(WrapCApi, WrapCutStretchRoundTrip) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *baseline = Path({{PT_MOVETO, {0, 100}}, {PT_BEZIERTO, {100, 0}}, {PT_BEZIERTO, {200, 200}},
                             {PT_BEZIERTO, {300, 100}}});
    KyPath *fig = Path({{PT_MOVETO, {0, 0}}, {PT_LINETO, {60, 0}}, {PT_LINETO, {60, 10}}, {PT_LINETO, {0, 10}},
                        {PT_LINETO | PT_CLOSEFIGURE, {0, 0}}});
    WrapInfo info{};
    info.baseline = baseline;
    info.repeatCount = 0;
    info.fitToLength = 1;
    info.option8 = 1;
    info.startHeight = info.endHeight = 100;
    info.baselineLevel = 0.5;
    EXPECT_EQ(KyPathWrap(nullptr, &info), 0);
    Y32ErrInfo e{};
    ASSERT_GT(c32GetDLLErrInfo(&e), 0);
    EXPECT_EQ(e.code, 3200);
    EXPECT_EQ(e.unit, 41);
    ASSERT_EQ(KyPathWrap(&fig, &info), 1);
    EXPECT_GT(KyPathGetSubpathsNumber(fig), 3);  // copies along the whole baseline
    EXPECT_EQ(KyPathIsWrapBaseline(baseline), 1);

    // Cut the wrapped copies at x = 150, then stretch what is left of it.
    ASSERT_EQ(KyPathCutWithLineX(nullptr, &fig, 150, 0), 1);
    Y32Rect r{};
    ASSERT_EQ(KyPathGetRealRect(fig, DbToFix(1.0), &r), 1);
    double a = 40, b = 60, c = 40, d = 100;
    KyPath *out = nullptr;
    ASSERT_EQ(KyPathStretch(fig, &out, &a, &b, &c, &d, 1), 1);
    Y32Rect s{};
    ASSERT_EQ(KyPathGetRealRect(out, DbToFix(1.0), &s), 1);
    EXPECT_NEAR(s.right - r.right, 40, 1);
    EXPECT_EQ(KyPathStretch(nullptr, &out, &a, &b, &c, &d, 0), 0);
    EXPECT_EQ(out, nullptr);

    KyPathDoTrimmedRibbon(1);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 1);
    KyPathDoTrimmedRibbon(0);
    EXPECT_EQ(KyPathIsTrimmedRibbonEnabled(), 0);
    KyPathDeletePtr(fig, 0);
    KyPathDeletePtr(baseline, 0);
}

}  // namespace
