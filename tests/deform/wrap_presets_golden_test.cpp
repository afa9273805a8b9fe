// Letters wrapped on the predefined circle (101) and wave (105), rendered
// and compared byte for byte with checked-in masks
// (tests/data/deform/wrap_preset_<type>.pgm). The letters are glyph
// outlines written out here, as the text builder would hand them over
// (one record per contour, the glyph-start bit on each glyph's first), so
// the picture does not depend on the fonts installed.
#include <gtest/gtest.h>

#include <string>

#include "core/path_record.h"
#include "deform/deform_support.h"

namespace {

using testing_support::ExpectGolden;
using testing_support::MakePath;
using testing_support::PathTest;

// A closed polygon.
KyPath *Poly(std::initializer_list<std::pair<double, double>> pts) {
    KyPath *p = KyPathCreate();
    uint16_t type = PT_MOVETO;
    for (auto [x, y] : pts) {
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        KyPathAddPoint(&p, xy, type);
        type = PT_LINETO;
    }
    FIXED xy[2] = {DbToFix(pts.begin()->first), DbToFix(pts.begin()->second)};
    KyPathAddPoint(&p, xy, PT_LINETO | PT_CLOSEFIGURE);
    return p;
}

// A circle of four quarter cubics, clockwise on screen or against it.
KyPath *Ring(double cx, double cy, double r, bool clockwise) {
    const double k = 0.5522847 * r, s = clockwise ? 1.0 : -1.0;
    const uint16_t c = PT_BEZIERTO;
    return MakePath({{PT_MOVETO, cx + r, cy},  {c, cx + r, cy + s * k}, {c, cx + k, cy + s * r}, {c, cx, cy + s * r},
                     {c, cx - k, cy + s * r}, {c, cx - r, cy + s * k}, {c, cx - r, cy},         {c, cx - r, cy - s * k},
                     {c, cx - k, cy - s * r}, {c, cx, cy - s * r},     {c, cx + k, cy - s * r}, {c, cx + r, cy - s * k},
                     {c | PT_CLOSEFIGURE, cx + r, cy}});
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

TEST_F(PathTest, LettersOnThePredefinedCircleAndWave) {
    // 101: six copies stretched round a circle of radius 70; 105: ten
    // copies stretched along the wave of half-wave 40 (240 wide).
    for (int32_t type : {101, 105}) {
        WrapInfo w{};
        ASSERT_EQ(KyPathGetPredefinedWrapInfo(&w, type, 150, 100, type == 101 ? 70 : 40), 1);
        KyPath *fig = Letters();
        ASSERT_EQ(KyPathWrap(&fig, &w), 1) << type;
        deform_test::Mask m = deform_test::Render(fig, 1);
        int covered = 0;
        for (uint8_t v : m.px) covered += v >= 128;
        EXPECT_GT(covered, 3000) << type;
        ExpectGolden("deform", "wrap_preset_" + std::to_string(type), m);
        KyPathDeletePtr(fig, 0);
        KyPathDeletePtr(w.baseline, 0);
    }
}

}  // namespace
