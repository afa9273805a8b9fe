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
Tally CheckAgainstBruteForce(KyPath *p, double width, bool even_odd = false) {
    Call c;
    c.width = width;
    c.vector_format = 1;
    c.even_odd = even_odd;
    Maps m = BuildMaps(p, c);
    EXPECT_EQ(m.result, 1);
    Outline o = OutlineOf(p, m.rect.left, m.rect.top);
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

// A star of lines, a glyph of curves, and a free-form ellipse (so the
// outline scan, not the closed form) whose bevel reaches its middle.
TEST_F(RowScanTest, ShapesMatchBruteForce) {
    const struct {
        const char *name;
        KyPath *path;
        double width;
        int inside, outside, far;
    } cases[] = {
        {"star", Polygon(StarPoints(40.3, 38.7, 30, 12, 5)), 8.0, 300, 50, 500},
        {"glyph", GlyphS(3.25, 2.5), 6.0, 400, 100, 0},
        {"wide bevel", Ellipse(30.2, 30.7, 21.3, 17.1, 0), 40.0, 900, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Tally t = CheckAgainstBruteForce(c.path, c.width);
        EXPECT_GT(t.inside, c.inside) << c.name;
        EXPECT_GE(t.outside, c.outside) << c.name;
        EXPECT_GE(t.far, c.far) << c.name;
        KyPathDeletePtr(c.path, 0);
    }
}

TEST_F(RowScanTest, EvenOddHoleIsOutside) {
    // Two nested squares drawn the same way round: with even-odd the inner
    // one is a hole, and its border is outline for both rings.
    KyPath *outer = Rect(10.3, 10.3, 60.3, 60.3, 0);
    KyPath *inner = Rect(25.3, 25.3, 45.3, 45.3, 0);
    outer->groupNext = inner;
    inner->groupPrev = outer;
    testing_support::LinkList({outer, inner});
    Tally t = CheckAgainstBruteForce(outer, 6.0, true);
    EXPECT_GT(t.inside, 500);
    Maps m = BuildMaps(outer, Call{});  // nonzero: the hole is filled, its border buried
    uint32_t cx = static_cast<uint32_t>(35.3 - m.rect.left), cy = static_cast<uint32_t>(35.3 - m.rect.top);
    EXPECT_EQ(m.D(cx, cy), 300.0f) << "deep inside, nothing within reach";
    // Two pixels inside the inner square's border: with the border buried
    // the nearest outline is the outer square, 17 pixels away.
    EXPECT_EQ(m.D(static_cast<uint32_t>(27.3 - m.rect.left), cy), 300.0f);
    KyPathDeletePtr(outer, 0);
}

TEST_F(RowScanTest, BuriedOutlineOfOverlappingShapesIsIgnored) {
    // Two overlapping squares, both clockwise: under the nonzero rule the
    // part of each inside the other is no outline. A pixel near such a
    // buried edge measures to the true outline.
    KyPath *a = Rect(10.3, 10.3, 40.3, 40.3, 0);
    KyPath *b = Rect(30.3, 20.3, 60.3, 50.3, 0);
    a->groupNext = b;
    b->groupPrev = a;
    testing_support::LinkList({a, b});
    Call c;
    c.width = 20.0;
    Maps m = BuildMaps(a, c);
    ASSERT_EQ(m.result, 1);
    // (35.5, 30.5) lies between a's buried right edge (x 40.3) and b's
    // buried left edge (x 30.3); the visible outline of the union is
    // farther.
    bez::Vec2 px{35.5, 30.5};
    double best = 1e9;
    // Visible outline of the union, by hand.
    std::vector<std::pair<bez::Vec2, bez::Vec2>> visible = {
        {{10.3, 10.3}, {40.3, 10.3}}, {{40.3, 10.3}, {40.3, 20.3}}, {{40.3, 20.3}, {60.3, 20.3}},
        {{60.3, 20.3}, {60.3, 50.3}}, {{60.3, 50.3}, {30.3, 50.3}}, {{30.3, 50.3}, {30.3, 40.3}},
        {{30.3, 40.3}, {10.3, 40.3}}, {{10.3, 40.3}, {10.3, 10.3}}};
    for (auto &s : visible) best = std::min(best, std::sqrt(bez::NearestOnLine(s.first, s.second, px).dist2));
    uint32_t x = static_cast<uint32_t>(px.x - m.rect.left), y = static_cast<uint32_t>(px.y - m.rect.top);
    ASSERT_GT(m.D(x, y), 0.0f);
    // Where an edge goes under is known to half a pixel (its crossings are
    // a pixel apart); the buried edges themselves lie 4.8 and 5.2 away.
    EXPECT_NEAR(std::sqrt(m.D(x, y)), best, 0.5);
    KyPathDeletePtr(a, 0);
}

TEST_F(RowScanTest, PixelOnAnEdgeGetsAFifthOfAPixelAlongTheNormal) {
    // Edges through pixel centres: x = 10.5 on the left, y = 40.5 below.
    KyPath *p = Rect(10.5, 10.5, 50.5, 40.5, 0);
    Maps m = BuildMaps(p, Call{});
    ASSERT_EQ(m.result, 1);
    uint32_t left = static_cast<uint32_t>(10 - m.rect.left), mid_y = static_cast<uint32_t>(25 - m.rect.top);
    const int16_t *w = m.W(left, mid_y);
    EXPECT_EQ(m.D(left, mid_y), 0.0f);
    EXPECT_EQ(w[0], -51) << "0.2 pixel outwards (left), truncated";
    EXPECT_EQ(w[1], 0);
    uint32_t bottom = static_cast<uint32_t>(40 - m.rect.top), mid_x = static_cast<uint32_t>(30 - m.rect.left);
    w = m.W(mid_x, bottom);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 51) << "0.2 pixel outwards (down)";
    // A slanted edge through a pixel centre: the larger component 0.2.
    KyPath *tri = Polygon({{10.5, 10.5}, {40.5, 25.5}, {10.5, 40.5}});
    Maps t = BuildMaps(tri, Call{});
    uint32_t ex = static_cast<uint32_t>(20 - t.rect.left), ey = static_cast<uint32_t>(15 - t.rect.top);  // (20.5, 15.5) on the edge
    w = t.W(ex, ey);
    EXPECT_EQ(t.D(ex, ey), 0.0f);
    EXPECT_EQ(w[1], -51) << "up-right normal (1, -2)/sqrt(5): y is the larger component";
    EXPECT_EQ(w[0], 25);
    KyPathDeletePtr(p, 0);
    KyPathDeletePtr(tri, 0);
}

TEST_F(RowScanTest, SquareDiagonalsCarrySecondVectors) {
    KyPath *p = Rect(10, 10, 50, 50, 0);
    Call c;
    c.width = 30.0;
    Maps m = BuildMaps(p, c);
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
    Call c;
    c.width = 6.0;
    c.vector_format = 1;
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

TEST_F(RowScanTest, ScaleMapsTheOutlineBeforeMeasuring) {
    KyPath *p = Rect(10, 10, 30, 30, 0);
    Call c;
    c.width = 20.0;
    c.scale = 2.0;
    Maps m = BuildMaps(p, c);
    ASSERT_EQ(m.result, 1);
    // At scale 2 the square spans 20..60; the pixel at (40.5, 25.5) is 5.5
    // below the top side.
    uint32_t x = static_cast<uint32_t>(40 - m.rect.left), y = static_cast<uint32_t>(25 - m.rect.top);
    EXPECT_NEAR(m.D(x, y), 5.5 * 5.5, 1e-3);
    KyPathDeletePtr(p, 0);
}

}  // namespace
