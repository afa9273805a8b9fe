// Relief maps compared byte for byte with golden PNGs in tests/data/relief.
//
// Each map is drawn as two grey images: the distance (inside, 255 x d / W
// capped at 255; outside 0; the 300 mark 255) and the direction of the
// first vector (its angle on 1..255, 0 where there is none).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "relief_support.h"
#include "support/golden_png.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> px;
};

Image DistanceImage(const Maps &m, double width) {
    Image img{m.w, m.h, std::vector<uint8_t>(static_cast<size_t>(m.w) * m.h)};
    for (size_t i = 0; i < img.px.size(); ++i) {
        float d = m.dist[i];
        double v = d == 300.0f ? 255.0 : (d > 0 ? std::sqrt(d) * 255.0 / width : 0.0);
        img.px[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    return img;
}

Image DirectionImage(const Maps &m) {
    Image img{m.w, m.h, std::vector<uint8_t>(static_cast<size_t>(m.w) * m.h)};
    for (uint32_t y = 0; y < m.h; ++y)
        for (uint32_t x = 0; x < m.w; ++x) {
            bez::Vec2 v = m.V(x, y);
            if (v.x == 0 && v.y == 0) continue;
            double a = std::atan2(v.y, v.x) + M_PI;  // 0 .. 2 pi
            img.px[static_cast<size_t>(y) * m.w + x] = static_cast<uint8_t>(1 + a / (2 * M_PI) * 254.0);
        }
    return img;
}

void Compare(const std::string &name, const Image &img) {
    testing_support::ExpectGoldenPng("relief", name, img.px, img.width, img.height, 1);
}

class ReliefGoldenTest : public PathTest {};

TEST_F(ReliefGoldenTest, GlyphByTheOutlineScan) {
    KyPath *p = GlyphS(4.5, 3.25);
    Call c;
    c.width = 8;
    c.scale = 2.0;
    Maps m = BuildMaps(p, c);
    ASSERT_EQ(m.result, 1);
    Compare("glyph_scan_w8_x2_distance", DistanceImage(m, 8));
    Compare("glyph_scan_w8_x2_direction", DirectionImage(m));
    KyPathDeletePtr(p, 0);
}

TEST_F(ReliefGoldenTest, OverlappingRingsByTheMaskBuilders) {
    // A ring (even-odd) overlapped by a square, with the second bevel 5
    // pixels inside.
    KyPath *outer = Ellipse(50.5, 50.5, 40, 40, 0);
    KyPath *inner = Ellipse(50.5, 50.5, 20, 20, 0);
    KyPath *square = Rect(60.25, 20.75, 100.25, 60.75, 0);
    outer->groupNext = inner;
    inner->groupPrev = outer;
    inner->groupNext = square;
    square->groupPrev = inner;
    testing_support::LinkList({outer, inner, square});
    Call c;
    c.width = 6;
    c.even_odd = 1;
    c.offset = -5;
    Maps m = BuildMaps(outer, c);
    ASSERT_EQ(m.result, 1);
    Compare("rings_mask_w6_offset5_distance", DistanceImage(m, 6));
    Compare("rings_mask_w6_offset5_direction", DirectionImage(m));
    KyPathDeletePtr(outer, 0);
}

TEST_F(ReliefGoldenTest, PrimitiveEllipseAndRoundedRectangle) {
    KyPath *e = Ellipse(40.5, 30.5, 34, 22);
    Call c;
    Maps m = BuildMaps(e, c);
    ASSERT_EQ(m.result, 1);
    Compare("ellipse_primitive_distance", DistanceImage(m, m.width_out));
    Compare("ellipse_primitive_direction", DirectionImage(m));
    KyPathDeletePtr(e, 0);
}

}  // namespace
