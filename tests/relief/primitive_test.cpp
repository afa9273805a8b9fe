// The closed-form relief of primitive shapes, through KyPathVMap.
#include <gtest/gtest.h>

#include <cmath>

#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class PrimitiveReliefTest : public PathTest {};

struct Pix {
    uint32_t x, y;
};
Pix At(const Maps &m, double image_x, double image_y) {
    return Pix{static_cast<uint32_t>(image_x - m.rect.left), static_cast<uint32_t>(image_y - m.rect.top)};
}

TEST_F(PrimitiveReliefTest, CircleIsAConeOfItsRadius) {
    // Centre on a pixel centre, radius 20.
    KyPath *p = Ellipse(60.5, 50.5, 20, 20);
    for (int32_t format : {0, 1}) {
        Call c;
        c.width = 5.0;  // any nonzero width: the shape's own is taken
        c.vector_format = format;
        Maps m = BuildMaps(p, c);
        ASSERT_EQ(m.result, 1);
        EXPECT_EQ(m.width_out, 20.0);
        Pix centre = At(m, 60, 50);
        bez::Vec2 v = m.V(centre.x, centre.y);
        EXPECT_EQ(v.x, 20.0);
        EXPECT_EQ(v.y, 0.0);
        EXPECT_EQ(m.D(centre.x, centre.y), 400.0f);
        // The pixel next to the centre: (20 x (21 - 1) / 21)^2.
        double t = 20.0 * 20.0 / 21.0;
        EXPECT_NEAR(m.D(centre.x + 1, centre.y), t * t, 1e-3);
        v = m.V(centre.x + 1, centre.y);
        EXPECT_NEAR(v.x, t, 1.0 / 256);
        // Along any ray the vector points away from the centre, its length
        // falling linearly to 0 at one pixel beyond the rim.
        for (double a = 0.3; a < 6.2; a += 0.7) {
            for (double r : {5.0, 12.0, 18.0}) {
                Pix q = At(m, 60.5 + r * std::cos(a), 50.5 + r * std::sin(a));
                double dx = q.x + m.rect.left + 0.5 - 60.5, dy = q.y + m.rect.top + 0.5 - 50.5;
                double d = std::hypot(dx, dy), want = (21.0 - d) / 21.0 * 20.0;
                bez::Vec2 u = m.V(q.x, q.y);
                EXPECT_NEAR(std::sqrt(m.D(q.x, q.y)), want, 1e-3);
                EXPECT_NEAR(u.x * dy - u.y * dx, 0.0, 0.05 * d) << "along the ray";
                EXPECT_GT(u.x * dx + u.y * dy, 0.0) << "outwards";
            }
        }
        Pix out = At(m, 60.5 + 21.5, 50.5);
        EXPECT_EQ(m.D(out.x, out.y), 0.0f) << "beyond the rim untouched";
    }
    KyPathDeletePtr(p, 0);
}

TEST_F(PrimitiveReliefTest, PrimitiveBevelIsThirtyWhateverTheCallerAsks) {
    KyPath *ellipse = Ellipse(60.5, 50.5, 25, 12.5);
    Call c;
    c.primitive_bevel = 1;
    for (double w : {2.0, 100.0}) {
        c.width = w;
        Maps m = BuildMaps(ellipse, c);
        EXPECT_EQ(m.result, 1);
        EXPECT_EQ(m.width_out, 30.0);
        Pix centre = At(m, 60, 50);
        EXPECT_NEAR(m.V(centre.x, centre.y).x, 30.0, 1e-2);
    }
    c.primitive_bevel = 0;
    EXPECT_EQ(BuildMaps(ellipse, c).width_out, 12.5) << "the smaller semi-axis";
    KyPath *tiny = Ellipse(20.5, 20.5, 0.25, 3);
    EXPECT_EQ(BuildMaps(tiny, c).width_out, 1.0) << "never below 1";
    KyPathDeletePtr(ellipse, 0);
    KyPathDeletePtr(tiny, 0);
}

TEST_F(PrimitiveReliefTest, RectangleIsAHippedRoof) {
    // 40 x 20 with sides through pixel edges: W = 10, ratio 1.
    KyPath *p = Rect(20, 30, 60, 50);
    Call c;
    c.vector_format = 1;
    Maps m = BuildMaps(p, c);
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(m.width_out, 10.0);
    // On the horizontal centre line (y 40) top and bottom tie: top wins.
    Pix mid = At(m, 40, 39.5);  // pixel centre (40.5, 39.5)
    bez::Vec2 v = m.V(mid.x, mid.y);
    EXPECT_NEAR(v.x, 0.0, 1e-6);
    EXPECT_NEAR(v.y, -9.5, 1e-6) << "pixel centre 9.5 below the top";
    // A shape whose centre line runs through pixel centres: exactly 10 up.
    KyPath *q = Rect(20.5, 30.5, 60.5, 50.5);
    Maps n = BuildMaps(q, c);
    Pix ridge = At(n, 40, 40);
    v = n.V(ridge.x, ridge.y);
    EXPECT_NEAR(v.y, -10.0, 1e-6) << "the top side wins the tie with the bottom";
    EXPECT_EQ(v.x, 0.0);
    EXPECT_NEAR(n.D(ridge.x, ridge.y), 100.0, 1e-4);
    // A pixel exactly on the left side: s = 0.0001 to the left.
    Pix edge = At(n, 20, 40);
    v = n.V(edge.x, edge.y);
    EXPECT_NEAR(v.x, -0.0001, 1e-9);
    EXPECT_EQ(v.y, 0.0);
    // The rim outside: negative, vector back to the side; beyond, nothing.
    Pix rim = At(n, 19.7, 40);  // pixel centre 19.5, 1 outside the side at 20.5
    EXPECT_EQ(n.D(rim.x, rim.y), 0.0f) << "s = -1 is beyond the rim";
    KyPath *r = Rect(20.2, 30.5, 60.5, 50.5);
    Maps o = BuildMaps(r, c);
    Pix rim2 = At(o, 19.7, 40);  // centre 19.5, 0.7 outside
    EXPECT_NEAR(o.D(rim2.x, rim2.y), -0.49, 1e-4);
    EXPECT_NEAR(o.V(rim2.x, rim2.y).x, 0.7, 1e-4);
    KyPathDeletePtr(p, 0);
    KyPathDeletePtr(q, 0);
    KyPathDeletePtr(r, 0);
}

TEST_F(PrimitiveReliefTest, IntegerLayoutCarriesRidgesAndTheFifthOfAPixel) {
    KyPath *p = Rect(20.5, 30.5, 60.5, 50.5);
    Maps m = BuildMaps(p, Call{});
    Pix edge = At(m, 20, 40);
    const int16_t *w = m.W(edge.x, edge.y);
    EXPECT_EQ(w[0], -51);
    EXPECT_EQ(w[1], 0);
    // The ridge line: top and bottom equally near, second vector down.
    Pix ridge = At(m, 40, 40);
    w = m.W(ridge.x, ridge.y);
    EXPECT_EQ(w[1], -2560);
    EXPECT_EQ(w[3], 2560);
    // A diagonal of the hipped end: left and top equally near.
    Pix hip = At(m, 25, 35);  // centre (25.5, 35.5): 5 from the left and from the top
    w = m.W(hip.x, hip.y);
    EXPECT_EQ(w[0], -1280) << "left wins the tie";
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[3], -1280) << "top comes second";
    // Off the ridge and the hips: one side clearly nearest, no second.
    Pix plain = At(m, 40, 33);
    w = m.W(plain.x, plain.y);
    EXPECT_EQ(w[1], -3 * 256);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[3], 0);
    KyPathDeletePtr(p, 0);
}

TEST_F(PrimitiveReliefTest, SegmentedRoundedAndDiamondShapes) {
    Call c;
    c.vector_format = 1;
    // A rounded rectangle, corner radius 8: the width is the radius, and a
    // pixel in the corner zone points to the arc.
    const double k = kK * 8;
    KyPath *rr = MakePath({{PT_MOVETO, 28, 60},       {PT_BEZIERTO, 28 - k, 60}, {PT_BEZIERTO, 20, 52 + k},
                           {PT_BEZIERTO, 20, 52},     {PT_LINETO, 20, 28},       {PT_BEZIERTO, 20, 28 - k},
                           {PT_BEZIERTO, 28 - k, 20}, {PT_BEZIERTO, 28, 20},     {PT_LINETO, 72, 20},
                           {PT_BEZIERTO, 72 + k, 20}, {PT_BEZIERTO, 80, 28 - k}, {PT_BEZIERTO, 80, 28},
                           {PT_LINETO, 80, 52},       {PT_BEZIERTO, 80, 52 + k}, {PT_BEZIERTO, 72 + k, 60},
                           {PT_BEZIERTO, 72, 60},     {PT_LINETO | PT_CLOSEFIGURE, 28, 60}});
    rr->shape = 3;
    Maps m = BuildMaps(rr, c);
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(m.width_out, 8.0);
    Pix corner = At(m, 22, 22);  // centre (22.5, 22.5), 5.5 from the arc centre (28, 28) each way
    double len = std::hypot(5.5, 5.5);
    bez::Vec2 v = m.V(corner.x, corner.y);
    double ratio = 8.0 / 20.0;
    EXPECT_NEAR(std::sqrt(m.D(corner.x, corner.y)), 8.0 - len, 1e-6);
    EXPECT_NEAR(v.x, -(8.0 - len) / len * 5.5 * ratio, 1e-6);
    EXPECT_NEAR(v.y, v.x, 1e-9);

    // Segmented rectangle (27 points, corners at P0 and P13).
    KyPath *seg = KyPathCreate();
    for (int i = 0; i < 27; ++i) {
        double x = i <= 12 ? 20 + i * 5.0 : (i == 13 ? 80 : (i < 25 ? 80 - (i - 12) * 5.0 : 20));
        double y = i <= 12 ? 20 : (i == 26 ? 20 : 50);
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        uint32_t type = i == 0 ? PT_MOVETO : (i == 13 ? PT_LINETO : (i == 26 ? PT_LINETO | PT_CLOSEFIGURE : PT_BEZIERTO));
        ASSERT_EQ(KyPathAddPoint(&seg, xy, type), 1);
    }
    seg->shape = 5;
    Maps s = BuildMaps(seg, c);
    ASSERT_EQ(s.result, 1);
    EXPECT_EQ(s.width_out, 15.0);

    // Diamond (any other code): half extents 20 and 10.
    KyPath *dia = MakePath({{PT_MOVETO, 50, 60}, {PT_LINETO, 30, 50}, {PT_LINETO, 50, 40}, {PT_LINETO, 70, 50},
                            {PT_LINETO | PT_CLOSEFIGURE, 50, 60}});
    dia->shape = 7;
    Maps d = BuildMaps(dia, c);
    ASSERT_EQ(d.result, 1);
    double inradius = 20.0 * 10.0 / std::hypot(20.0, 10.0);
    EXPECT_NEAR(d.width_out, inradius, 1e-9);
    // Inside, the distance to the nearest side line.
    const bez::Vec2 corners[4] = {{50, 60}, {30, 50}, {50, 40}, {70, 50}};
    for (double px : {35.5, 45.5, 50.5, 61.5})
        for (double py : {46.5, 50.5, 53.5}) {
            double best = 1e9;
            for (int i = 0; i < 4; ++i) {
                bez::Vec2 a = corners[i], b = corners[(i + 1) % 4];
                double side = std::hypot(b.x - a.x, b.y - a.y);
                best = std::min(best, std::fabs((b.x - a.x) * (a.y - py) - (a.x - px) * (b.y - a.y)) / side);
            }
            if (std::fabs(px - 50) / 20 + std::fabs(py - 50) / 10 >= 1) continue;
            Pix in = At(d, px, py);
            EXPECT_NEAR(std::sqrt(d.D(in.x, in.y)), best, 1e-5) << px << "," << py;
            bez::Vec2 u = d.V(in.x, in.y);
            EXPECT_NEAR(std::hypot(u.x, u.y), best * 1.0, 1e-5) << "ratio 1 at the default width";
        }
    KyPathDeletePtr(rr, 0);
    KyPathDeletePtr(seg, 0);
    KyPathDeletePtr(dia, 0);
}

TEST_F(PrimitiveReliefTest, DistortedPrimitiveGoesThroughTheOutlineScan) {
    // A rounded rectangle whose corner legs no longer match is no longer
    // the primitive: the outline scan measures it (W stays the caller's).
    KyPath *rr = Ellipse(60.5, 50.5, 20, 20, 3);  // code 3 with an ellipse's 13 points
    Call c;
    c.width = 6.0;
    Maps m = BuildMaps(rr, c);
    EXPECT_EQ(m.result, 1);
    EXPECT_EQ(m.width_out, 6.0);
    KyPathDeletePtr(rr, 0);
}

}  // namespace
