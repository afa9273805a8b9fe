#include "core/afd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/bezier.h"

namespace {

struct Vertex {
    double x, y;
    int32_t t;
    bool last;
};

std::vector<Vertex> Walk(const bez::Cubic &c, const afd::Params &prm) {
    double px[4], py[4];
    for (int i = 0; i < 4; ++i) {
        px[i] = c.p[i].x;
        py[i] = c.p[i].y;
    }
    std::vector<Vertex> out;
    afd::Flatten(px, py, prm, [&](double x, double y, int32_t t, bool last) { out.push_back({x, y, t, last}); });
    return out;
}

// The walk ends exactly on the end point, the parameter only grows, and no
// chord is longer than `step` on either axis.
void ExpectChords(const bez::Cubic &c, const std::vector<Vertex> &v, double step) {
    ASSERT_FALSE(v.empty());
    EXPECT_TRUE(v.back().last);
    EXPECT_EQ(v.back().x, c.p[3].x) << "the last chord ends on the end point itself";
    EXPECT_EQ(v.back().y, c.p[3].y);
    EXPECT_EQ(v.back().t, afd::kEnd);
    double px = c.p[0].x, py = c.p[0].y;
    int32_t pt = 0;
    for (const Vertex &q : v) {
        EXPECT_GT(q.t, pt);
        EXPECT_LE(std::fabs(q.x - px), step);
        EXPECT_LE(std::fabs(q.y - py), step);
        px = q.x;
        py = q.y;
        pt = q.t;
    }
}

TEST(Afd, RasterWalkStaysOnTheCurveWithShortChordsAndEndsExactly) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-300, 300);
    for (int trial = 0; trial < 200; ++trial) {
        bez::Cubic c;
        for (auto &p : c.p) p = {coord(rng), coord(rng)};
        afd::Params prm = afd::RasterParams();
        // Integer walks differ from double ones only by the 16.16 truncation.
        prm.arith = trial % 2 ? afd::Arith::kInteger : afd::Arith::kDouble;
        std::vector<Vertex> v = Walk(c, prm);
        // 60000/65536 = 0.916 pixel per step and axis; integer truncation of
        // the differences may add a hair.
        ExpectChords(c, v, 0.95);
        for (const Vertex &q : v) {
            if (q.last) continue;
            vec::Vec2 on = bez::PointAt(c, q.t / 65536.0);
            EXPECT_LT(std::hypot(on.x - q.x, on.y - q.y), 2.0 / 65536) << "within the 16.16 truncation";
        }
    }
}

TEST(Afd, DoublingLengthensStepsOnFlatStretchesInBothArithmetics) {
    // A long straight run with a tight hook at the end: halving is needed
    // near the hook only.
    bez::Cubic c{{{0, 0}, {0.05, 0.02}, {400, 0}, {400, 40}}};
    afd::Params halve_only{40000.0};
    halve_only.arith = afd::Arith::kDouble;
    afd::Params both{40000.0, 20000.0};
    both.arith = afd::Arith::kDouble;
    both.max_step = 0x4000;
    EXPECT_LT(Walk(c, both).size(), Walk(c, halve_only).size());
    for (afd::Arith arith : {afd::Arith::kDouble, afd::Arith::kInteger}) {
        both.arith = arith;
        ExpectChords(c, Walk(c, both), 40000.0 / 65536 + 0.01);
    }
}

TEST(Afd, DegenerateAndHugeCurvesTerminate) {
    bez::Cubic dot{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}};
    std::vector<Vertex> v = Walk(dot, afd::RasterParams());
    ASSERT_EQ(v.size(), 4u) << "a point never halves: four quarter steps";
    // Far beyond what the step can resolve: the walk bottoms out at the
    // smallest step and still ends after at most 65536 chords.
    bez::Cubic huge{{{-1e8, 0}, {1e8, 1e8}, {-1e8, -1e8}, {1e8, 0}}};
    v = Walk(huge, afd::RasterParams());
    EXPECT_LE(v.size(), 65536u);
    EXPECT_EQ(v.back().x, 1e8);
    // A smaller initial step is reached by halving and walks the same curve.
    afd::Params fine = afd::RasterParams();
    fine.initial_step = 0x1000;
    bez::Cubic c{{{0, 0}, {10, 30}, {20, -30}, {30, 0}}};
    std::vector<Vertex> a = Walk(c, fine), b = Walk(c, afd::RasterParams());
    EXPECT_GE(a.size(), b.size());
    EXPECT_EQ(a.back().x, 30.0);
}

}  // namespace
