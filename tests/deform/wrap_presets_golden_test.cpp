// Letters wrapped on the predefined circle (101) and wave (105), rendered
// and compared byte for byte with checked-in masks
// (tests/data/deform/wrap_preset_<type>.pgm). The letters are glyph
// outlines written out here, as the text builder would hand them over
// (one record per contour, the glyph-start bit on each glyph's first), so
// the picture does not depend on the fonts installed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/path_record.h"
#include "support/golden.h"
#include "support/path_fixture.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

using testing_support::ExpectGolden;
using Mask = testing_support::Gray;

// A closed polygon.
KyPath *Poly(std::initializer_list<std::pair<double, double>> pts) {
    KyPath *p = KyPathCreate();
    int i = 0;
    for (auto [x, y] : pts) {
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        KyPathAddPoint(&p, xy, i == 0 ? PT_MOVETO : PT_LINETO);
        ++i;
    }
    FIXED xy[2] = {DbToFix(pts.begin()->first), DbToFix(pts.begin()->second)};
    KyPathAddPoint(&p, xy, PT_LINETO | PT_CLOSEFIGURE);
    return p;
}

// A circle of four quarter cubics, clockwise on screen or against it.
KyPath *Ring(double cx, double cy, double r, bool clockwise) {
    const double k = 0.5522847 * r, s = clockwise ? 1.0 : -1.0;
    return MakePath({{PT_MOVETO, cx + r, cy},
                     {PT_BEZIERTO, cx + r, cy + s * k},
                     {PT_BEZIERTO, cx + k, cy + s * r},
                     {PT_BEZIERTO, cx, cy + s * r},
                     {PT_BEZIERTO, cx - k, cy + s * r},
                     {PT_BEZIERTO, cx - r, cy + s * k},
                     {PT_BEZIERTO, cx - r, cy},
                     {PT_BEZIERTO, cx - r, cy - s * k},
                     {PT_BEZIERTO, cx - k, cy - s * r},
                     {PT_BEZIERTO, cx, cy - s * r},
                     {PT_BEZIERTO, cx + k, cy - s * r},
                     {PT_BEZIERTO, cx + r, cy - s * k},
                     {PT_BEZIERTO | PT_CLOSEFIGURE, cx + r, cy}});
}

// "VOI", 24 high: a V, an O (outer contour and a hole), an I.
KyPath *Letters() {
    KyPath *v = Poly({{0, 0}, {5, 0}, {9.5, 17}, {14, 0}, {19, 0}, {12, 24}, {7, 24}});
    KyPath *o_out = Ring(33, 12, 12, true);
    KyPath *o_in = Ring(33, 12, 7.5, false);
    KyPath *i = Poly({{50, 0}, {55, 0}, {55, 24}, {50, 24}});
    v->flags = o_out->flags = i->flags = 0x40000000u;
    testing_support::LinkList({v, o_out, o_in, i});
    return v;
}

Mask Render(KyPath *p) {
    Mask m;
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    EXPECT_EQ(KyPathToBuf(p, 0, 0, 1, 0, 65536, &rects, &bufs, 0), 1);
    if (!bufs) return m;
    uint32_t w = 0, h = 0;
    KyPathBufGetWHU(bufs[0], &w, &h, nullptr);
    m.w = static_cast<int>(w);
    m.h = static_cast<int>(h);
    const auto *px = static_cast<const uint8_t *>(bufs[0]);
    m.px.assign(px, px + static_cast<size_t>(w) * h);
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
    return m;
}

TEST_F(PathTest, LettersOnThePredefinedCircleAndWave) {
    // 101: six copies stretched round a circle of radius 70; 105: ten
    // copies stretched along the wave of half-wave 40 (240 wide).
    for (int32_t type : {101, 105}) {
        WrapInfo w{};
        ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 150, 100, type == 101 ? 70 : 40), 1);
        KyPath *fig = Letters();
        ASSERT_EQ(KyPathWrap(&fig, &w), 1) << type;
        Mask m = Render(fig);
        int covered = 0;
        for (uint8_t v : m.px) covered += v >= 128;
        EXPECT_GT(covered, 3000) << type;
        ExpectGolden("deform", "wrap_preset_" + std::to_string(type), m);
        KyPathDeletePtr(fig, 0);
        KyPathDeletePtr(w.baseline, 0);
    }
}

}  // namespace
