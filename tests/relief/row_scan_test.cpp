// The outline scan against brute force: distances, sides and vectors.
#include <gtest/gtest.h>

#include <cmath>

#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class RowScanTest : public PathTest {};

struct Tally {
    int inside = 0, outside = 0, far = 0;
};

// Every pixel of the map against the exact outline. Tolerance: 0.01 pixel
// on distances and on where the vector ends (the curve search is far finer;
// the float layout carries the vector unrounded). Pixels within 0.05 of
// the outline are left out of the side check, where the inside test's
// chords and the true curve may disagree.
Tally CheckAgainstBruteForce(KyPath *p, double width, bool even_odd, double scale) {
    Call c = Call().Width(width).Floats();
    c.even_odd = even_odd;
    c.scale = scale;
    Maps m = BuildMaps(p, c);
    EXPECT_EQ(m.result, 1);
    Outline o = OutlineOf(p, m.rect.left, m.rect.top, scale);
    Tally t;
    for (uint32_t y = 0; y < m.h; ++y)
        for (uint32_t x = 0; x < m.w; ++x) {
            bez::Vec2 px{x + 0.5, y + 0.5};
            Exact e = ExactNearest(o, px);
            int wn = Winding(o, px);
            bool inside = even_odd ? (wn & 1) != 0 : wn != 0;
            float d = m.D(x, y);
            bez::Vec2 v = m.V(x, y);
            if (e.d < 0.05) continue;
            if (inside && e.d <= width - 1.5) {
                ++t.inside;
                EXPECT_GT(d, 0.0f) << "inside pixel " << x << "," << y;
                if (!(d > 0.0f)) continue;
                EXPECT_NEAR(std::sqrt(d), e.d, 0.01) << x << "," << y;
                // The vector ends on the outline, at the nearest distance.
                EXPECT_NEAR(std::hypot(v.x, v.y), e.d, 0.01) << x << "," << y;
                EXPECT_LT(ExactNearest(o, {px.x + v.x, px.y + v.y}).d, 0.01) << x << "," << y;
            } else if (!inside && e.d <= 0.9) {
                ++t.outside;
                EXPECT_LT(d, 0.0f) << "outside pixel " << x << "," << y;
                if (!(d < 0.0f)) continue;
                EXPECT_NEAR(std::sqrt(-d), e.d, 0.01) << x << "," << y;
                EXPECT_NEAR(v.x, e.q.x - px.x, 0.01) << x << "," << y;
                EXPECT_NEAR(v.y, e.q.y - px.y, 0.01) << x << "," << y;
            } else if (!inside && e.d > 1.5) {
                ++t.far;
                EXPECT_EQ(d, 0.0f) << "outside pixels beyond the rim stay empty " << x << "," << y;
            }
        }
    return t;
}

// A star of lines, a glyph of curves, a free-form ellipse (so the outline
// scan, not the closed form) whose bevel reaches its middle, two nested
// squares drawn the same way round (with even-odd the inner one is a hole
// whose border is outline for both rings), and a square scaled before it
// is measured.
TEST_F(RowScanTest, ShapesMatchBruteForce) {
    KyPath *nested = Rect(10.3, 10.3, 60.3, 60.3, 0);
    Group({nested, Rect(25.3, 25.3, 45.3, 45.3, 0)});
    const struct {
        const char *name;
        KyPath *path;
        double width;
        bool even_odd;
        double scale;
        int inside, outside, far;
    } cases[] = {
        {"star", Polygon(StarPoints(40.3, 38.7, 30, 12, 5)), 8.0, false, 1.0, 300, 50, 500},
        {"glyph", GlyphS(3.25, 2.5), 6.0, false, 1.0, 400, 100, 0},
        {"wide bevel", Ellipse(30.2, 30.7, 21.3, 17.1, 0), 40.0, false, 1.0, 900, 0, 0},
        {"even-odd hole", nested, 6.0, true, 1.0, 500, 0, 0},
        {"scale 2: the square spans 20..60", Rect(10, 10, 30, 30, 0), 20.0, false, 2.0, 1500, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Tally t = CheckAgainstBruteForce(c.path, c.width, c.even_odd, c.scale);
        EXPECT_GT(t.inside, c.inside);
        EXPECT_GE(t.outside, c.outside);
        EXPECT_GE(t.far, c.far);
        KyPathDeletePtr(c.path, 0);
    }
}

TEST_F(RowScanTest, BuriedOutlineIsIgnored) {
    // Two overlapping squares, both clockwise: under the nonzero rule the
    // part of each inside the other is no outline. A pixel near such a
    // buried edge measures to the true outline.
    KyPath *a = Rect(10.3, 10.3, 40.3, 40.3, 0);
    Group({a, Rect(30.3, 20.3, 60.3, 50.3, 0)});
    Maps m = BuildMaps(a, Call().Width(20));
    ASSERT_EQ(m.result, 1);
    // (35.5, 30.5) lies between a's buried right edge (x 40.3) and b's
    // buried left edge (x 30.3), 4.8 and 5.2 away; the nearest visible
    // outline is the corner (30.3, 40.3) where b's left side comes out
    // from under a's bottom. Where an edge goes under is known to half a
    // pixel (its crossings are a pixel apart).
    ASSERT_GT(m.D(m.At(35.5, 30.5)), 0.0f);
    EXPECT_NEAR(std::sqrt(m.D(m.At(35.5, 30.5))), std::hypot(35.5 - 30.3, 40.3 - 30.5), 0.5);
    KyPathDeletePtr(a, 0);
    // Nested squares drawn the same way round: the inner one is filled,
    // its border buried.
    KyPath *outer = Rect(10.3, 10.3, 60.3, 60.3, 0);
    Group({outer, Rect(25.3, 25.3, 45.3, 45.3, 0)});
    Maps n = BuildMaps(outer, Call{});
    EXPECT_EQ(n.D(n.At(35.3, 35.3)), 300.0f) << "deep inside, nothing within reach";
    // Two pixels inside the inner square's border: with the border buried
    // the nearest outline is the outer square, 17 pixels away.
    EXPECT_EQ(n.D(n.At(27.3, 35.3)), 300.0f);
    KyPathDeletePtr(outer, 0);
}

TEST_F(RowScanTest, PixelOnAnEdgeGetsAFifthOfAPixelAlongTheNormal) {
    // Edges through pixel centres: x = 10.5 on the left, y = 40.5 below,
    // and a slanted one through (20.5, 15.5) whose up-right normal
    // (1, -2) / sqrt(5) has y as the larger component.
    KyPath *rect = Rect(10.5, 10.5, 50.5, 40.5, 0);
    KyPath *tri = Polygon({{10.5, 10.5}, {40.5, 25.5}, {10.5, 40.5}});
    const struct {
        KyPath *path;
        double x, y;
        int16_t v[2];  // the first vector, 0.2 pixel outwards, truncated
    } cases[] = {{rect, 10, 25, {-51, 0}}, {rect, 30, 40, {0, 51}}, {tri, 20, 15, {25, -51}}};
    for (size_t i = 0; i < 3; ++i) {
        Maps m = BuildMaps(cases[i].path, Call{});
        ASSERT_EQ(m.result, 1) << "case " << i;
        EXPECT_EQ(m.D(m.At(cases[i].x, cases[i].y)), 0.0f) << "case " << i;
        EXPECT_EQ(m.W(m.At(cases[i].x, cases[i].y))[0], cases[i].v[0]) << "case " << i;
        EXPECT_EQ(m.W(m.At(cases[i].x, cases[i].y))[1], cases[i].v[1]) << "case " << i;
    }
    KyPathDeletePtr(rect, 0);
    KyPathDeletePtr(tri, 0);
}

TEST_F(RowScanTest, SquareDiagonalsCarrySecondVectors) {
    KyPath *p = Rect(10, 10, 50, 50, 0);
    Maps m = BuildMaps(p, Call().Width(30));
    ASSERT_EQ(m.result, 1);
    int diagonal = 0, plain = 0;
    for (uint32_t y = 0; y < m.h; ++y)
        for (uint32_t x = 0; x < m.w; ++x) {
            double px = m.rect.left + x + 0.5, py = m.rect.top + y + 0.5;
            if (px < 10 || px > 50 || py < 10 || py > 50) continue;
            double d[4] = {px - 10, 50 - px, py - 10, 50 - py};
            std::sort(d, d + 4);
            bez::Vec2 v2 = m.V2(x, y);
            if (d[1] - d[0] >= 0.75) {
                ++plain;
                EXPECT_EQ(v2.x, 0.0) << px << "," << py;
                EXPECT_EQ(v2.y, 0.0) << px << "," << py;
            } else if (d[1] - d[0] == 0.0 && d[0] > 0.5) {
                ++diagonal;
                bez::Vec2 v = m.V(x, y);
                EXPECT_NEAR(std::hypot(v2.x, v2.y), d[0], 0.01) << px << "," << py;
                EXPECT_NEAR(v.x * v2.x + v.y * v2.y, 0.0, 0.02) << "the two sides are at right angles";
            }
        }
    EXPECT_EQ(diagonal, 2 * (40 - 2));  // both diagonals but their corner pixels (0.5 from both sides)
    EXPECT_GT(plain, 1000);
    KyPathDeletePtr(p, 0);
}

TEST_F(RowScanTest, FastModeFindsTheSameNearestPoints) {
    KyPath *p = GlyphS(2.7, 3.1);
    Call c = Call().Width(6).Floats();
    Maps slow = BuildMaps(p, c);
    c.fast = 1;
    Maps fast = BuildMaps(p, c);
    ASSERT_EQ(slow.dist.size(), fast.dist.size());
    for (size_t i = 0; i < slow.dist.size(); ++i) {
        EXPECT_NEAR(slow.dist[i], fast.dist[i], 1e-3) << i;
        EXPECT_NEAR(slow.floats[i * 2], fast.floats[i * 2], 1e-3) << i;
    }
    KyPathDeletePtr(p, 0);
}

}  // namespace
