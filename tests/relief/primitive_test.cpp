// The closed-form relief of primitive shapes, through KyPathVMap.
#include <gtest/gtest.h>

#include <cmath>

#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class PrimitiveReliefTest : public PathTest {};

// A rounded rectangle (20, 20) - (80, 60), corner radius 8.
KyPath *RoundedRect() {
    const double k = kK * 8;
    KyPath *p = Record({{kM, 28, 60},
                        {kB, 28 - k, 60}, {kB, 20, 52 + k}, {kB, 20, 52}, {kL, 20, 28},
                        {kB, 20, 28 - k}, {kB, 28 - k, 20}, {kB, 28, 20}, {kL, 72, 20},
                        {kB, 72 + k, 20}, {kB, 80, 28 - k}, {kB, 80, 28}, {kL, 80, 52},
                        {kB, 80, 52 + k}, {kB, 72 + k, 60}, {kB, 72, 60}, {kLastL, 28, 60}});
    if (p) p->shape = 3;
    return p;
}

// A segmented rectangle (20, 20) - (80, 50): 27 points, corners at P0 and P13.
KyPath *SegmentedRect() {
    std::vector<Pt> pts;
    for (int i = 0; i < 27; ++i) {
        double x = i <= 12 ? 20 + i * 5.0 : (i == 13 ? 80 : (i < 25 ? 80 - (i - 12) * 5.0 : 20));
        double y = i <= 12 ? 20 : (i == 26 ? 20 : 50);
        pts.push_back({i == 0 ? kM : (i == 13 ? kL : (i == 26 ? kLastL : kB)), x, y});
    }
    KyPath *p = Record(pts);
    if (p) p->shape = 5;
    return p;
}

// A diamond (any other code) about (50, 50), half extents 20 and 10.
const bez::Vec2 kDiamond[4] = {{50, 60}, {30, 50}, {50, 40}, {70, 50}};
KyPath *Diamond() {
    KyPath *p = Record({{kM, 50, 60}, {kL, 30, 50}, {kL, 50, 40}, {kL, 70, 50}, {kLastL, 50, 60}});
    if (p) p->shape = 7;
    return p;
}

TEST_F(PrimitiveReliefTest, WidthIsTheShapesOwn) {
    const struct {
        const char *name;
        KyPath *path;
        double width;  // asked for
        int32_t primitive_bevel;
        double want;
    } cases[] = {
        {"circle: its radius, whatever nonzero width is asked", Ellipse(60.5, 50.5, 20, 20), 5, 0, 20},
        {"ellipse: the smaller semi-axis", Ellipse(60.5, 50.5, 25, 12.5), 8, 0, 12.5},
        {"primitive bevel, narrower", Ellipse(60.5, 50.5, 25, 12.5), 2, 1, 30},
        {"primitive bevel, wider", Ellipse(60.5, 50.5, 25, 12.5), 100, 1, 30},
        {"never below 1", Ellipse(20.5, 20.5, 0.25, 3), 8, 0, 1},
        {"rectangle: half its height", Rect(20.5, 30.5, 60.5, 50.5), 8, 0, 10},
        {"rounded rectangle: the corner radius", RoundedRect(), 8, 0, 8},
        {"segmented rectangle: half its height", SegmentedRect(), 8, 0, 15},
        {"diamond: its inradius", Diamond(), 8, 0, 20.0 * 10.0 / std::hypot(20.0, 10.0)},
        // A rounded rectangle whose corner legs do not match (an ellipse's
        // 13 points) is no primitive: the outline scan keeps the caller's.
        {"distorted", Ellipse(60.5, 50.5, 20, 20, 3), 6, 0, 6},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Call c = Call().Width(cases[i].width).Floats();
        c.primitive_bevel = cases[i].primitive_bevel;
        Maps m = BuildMaps(cases[i].path, c);
        EXPECT_EQ(m.result, 1) << "case " << i << ": " << cases[i].name;
        EXPECT_NEAR(m.width_out, cases[i].want, 1e-9) << "case " << i << ": " << cases[i].name;
        // The width is the one the map is built with: at the centre of the
        // ellipse the vector is the full bevel long.
        if (cases[i].primitive_bevel) {
            EXPECT_NEAR(m.V(m.At(60, 50)).x, 30.0, 1e-2) << "case " << i;
        }
        KyPathDeletePtr(cases[i].path, 0);
    }
}

TEST_F(PrimitiveReliefTest, CircleIsAConeOfItsRadius) {
    // Centre on a pixel centre, radius 20.
    KyPath *p = Ellipse(60.5, 50.5, 20, 20);
    for (int32_t format : {0, 1}) {
        SCOPED_TRACE(format);
        Call c;
        c.vector_format = format;
        Maps m = BuildMaps(p, c);
        ASSERT_EQ(m.result, 1);
        const Maps::Pix centre = m.At(60, 50);
        EXPECT_EQ(m.V(centre).x, 20.0);
        EXPECT_EQ(m.V(centre).y, 0.0);
        EXPECT_EQ(m.D(centre), 400.0f);
        // The pixel next to the centre: (20 x (21 - 1) / 21)^2.
        const double t = 20.0 * 20.0 / 21.0;
        EXPECT_NEAR(m.D(centre.x + 1, centre.y), t * t, 1e-3);
        EXPECT_NEAR(m.V(centre.x + 1, centre.y).x, t, 1.0 / 256);
        // Along any ray the vector points away from the centre, its length
        // falling linearly to 0 at one pixel beyond the rim.
        for (double a = 0.3; a < 6.2; a += 0.7)
            for (double r : {5.0, 12.0, 18.0}) {
                const Maps::Pix q = m.At(60.5 + r * std::cos(a), 50.5 + r * std::sin(a));
                const double dx = q.x + m.rect.left + 0.5 - 60.5, dy = q.y + m.rect.top + 0.5 - 50.5;
                const double d = std::hypot(dx, dy);
                const bez::Vec2 u = m.V(q);
                EXPECT_NEAR(std::sqrt(m.D(q)), (21.0 - d) / 21.0 * 20.0, 1e-3);
                EXPECT_NEAR(u.x * dy - u.y * dx, 0.0, 0.05 * d) << "along the ray";
                EXPECT_GT(u.x * dx + u.y * dy, 0.0) << "outwards";
            }
        EXPECT_EQ(m.D(m.At(60.5 + 21.5, 50.5)), 0.0f) << "beyond the rim untouched";
    }
    KyPathDeletePtr(p, 0);
}

// A 40 x 20 rectangle whose centre line runs through pixel centres, W 10,
// in both layouts. The float layout carries the vector as it is; the
// integer one in 1/256 pixel, with a second vector where two sides tie and
// at least a fifth of a pixel on the outline itself.
TEST_F(PrimitiveReliefTest, RectangleIsAHippedRoof) {
    KyPath *p = Rect(20.5, 30.5, 60.5, 50.5);
    const Maps f = BuildMaps(p, Call().Floats());
    const Maps n = BuildMaps(p, Call{});
    ASSERT_EQ(f.result, 1);
    ASSERT_EQ(n.result, 1);
    const struct {
        const char *name;
        double x, y;  // image pixel
        int16_t words[4];
    } cases[] = {
        {"ridge: the top side wins the tie with the bottom, which comes second", 40, 40, {0, -2560, 0, 2560}},
        {"hip: the left side wins the tie with the top", 25, 35, {-1280, 0, 0, -1280}},
        {"the top clearly nearest: no second", 40, 33, {0, -3 * 256, 0, 0}},
        {"the right side clearly nearest", 58, 40, {2 * 256, 0, 0, 0}},
        {"the bottom clearly nearest", 40, 48, {0, 2 * 256, 0, 0}},
        {"on the left side: a fifth of a pixel outwards", 20, 40, {-51, 0, 0, 0}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        for (int k = 0; k < 4; ++k) EXPECT_EQ(n.W(n.At(cases[i].x, cases[i].y))[k], cases[i].words[k]) << "case " << i << " word " << k;
    EXPECT_EQ(f.V(f.At(40, 40)).x, 0.0);
    EXPECT_NEAR(f.V(f.At(40, 40)).y, -10.0, 1e-6);
    EXPECT_NEAR(f.D(f.At(40, 40)), 100.0, 1e-4);
    // On the side the float layout keeps s = 0.0001 to the left.
    EXPECT_NEAR(f.V(f.At(20, 40)).x, -0.0001, 1e-9);
    EXPECT_EQ(f.V(f.At(20, 40)).y, 0.0);
    // The rim outside: negative, the vector back to the side; a pixel
    // centre a whole pixel out (19.5) is beyond it.
    EXPECT_EQ(f.D(f.At(19.7, 40)), 0.0f) << "s = -1 is beyond the rim";
    KyPath *q = Rect(20.2, 30.5, 60.5, 50.5);
    Maps o = BuildMaps(q, Call().Floats());
    EXPECT_NEAR(o.D(o.At(19.7, 40)), -0.49, 1e-4) << "0.7 outside";
    EXPECT_NEAR(o.V(o.At(19.7, 40)).x, 0.7, 1e-4);
    KyPathDeletePtr(p, 0);
    KyPathDeletePtr(q, 0);
}

TEST_F(PrimitiveReliefTest, RoundedCornersAndDiamondSides) {
    // A pixel in the rounded rectangle's corner zone points to the arc:
    // centre (22.5, 22.5), 5.5 from the arc centre (28, 28) each way, the
    // vector scaled by W / half the height.
    KyPath *rr = RoundedRect();
    Maps m = BuildMaps(rr, Call().Floats());
    ASSERT_EQ(m.result, 1);
    const double len = std::hypot(5.5, 5.5), ratio = 8.0 / 20.0;
    const bez::Vec2 v = m.V(m.At(22, 22));
    EXPECT_NEAR(std::sqrt(m.D(m.At(22, 22))), 8.0 - len, 1e-6);
    EXPECT_NEAR(v.x, -(8.0 - len) / len * 5.5 * ratio, 1e-6);
    EXPECT_NEAR(v.y, v.x, 1e-9);
    // Inside the diamond, the distance to the nearest side line.
    KyPath *dia = Diamond();
    Maps d = BuildMaps(dia, Call().Floats());
    ASSERT_EQ(d.result, 1);
    for (double px : {35.5, 45.5, 50.5, 61.5})
        for (double py : {46.5, 50.5, 53.5}) {
            if (std::fabs(px - 50) / 20 + std::fabs(py - 50) / 10 >= 1) continue;
            double best = 1e9;
            for (int i = 0; i < 4; ++i) {
                bez::Vec2 a = kDiamond[i], b = kDiamond[(i + 1) % 4];
                best = std::min(best, std::fabs((b.x - a.x) * (a.y - py) - (a.x - px) * (b.y - a.y)) / std::hypot(b.x - a.x, b.y - a.y));
            }
            EXPECT_NEAR(std::sqrt(d.D(d.At(px, py))), best, 1e-5) << px << "," << py;
            const bez::Vec2 u = d.V(d.At(px, py));
            EXPECT_NEAR(std::hypot(u.x, u.y), best, 1e-5) << "ratio 1 at the default width";
        }
    KyPathDeletePtr(rr, 0);
    KyPathDeletePtr(dia, 0);
}

}  // namespace
