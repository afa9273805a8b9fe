// Profile table, normal construction and the surface rules.
#include <cmath>

#include "shading_support.h"

namespace {

using namespace shade;
using shading_support::Scene;
using shading_support::ShadingTest;

class LightModelTest : public ShadingTest {};

double Length(Vec3 n) { return std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z); }

Normals NormalsOf(const Bevel &b, double vx, double vy) {
    Normals n;
    BevelNormals(b, Vec2{vx, vy}, 1.0, &n);
    return n;
}

TEST_F(LightModelTest, ProfileColumnsAndCache) {
    const double w = 12.0;
    const ProfileEntry *t = Profile(0, w, 0, 0);
    ASSERT_NE(t, nullptr);
    for (int i : {0, 1, 1000, 2048, 4095}) {
        double d = i * w / 4096, u = 1 - d / w;
        EXPECT_NEAR(t[i].slope, std::tan(std::acos(u)) * d, 1e-9 * (1 + t[i].slope)) << i;
        EXPECT_NEAR(t[i].height, std::sqrt(1 - u * u) * w, 1e-9) << i;
    }
    EXPECT_EQ(t[4096].slope, 1.0);
    EXPECT_EQ(t[6191].height, 0.0);
    // The sunk bevel has the same slope and the negated height.
    const double slope = t[3000].slope, height = t[3000].height;
    t = Profile(0, w, 0, 1);
    EXPECT_NEAR(t[3000].slope, slope, 1e-9 * slope);
    EXPECT_NEAR(t[3000].height, -height, 1e-9);
    t = Profile(1, w, 0, 1);
    EXPECT_DOUBLE_EQ(t[2048].slope, 6.0);
    EXPECT_DOUBLE_EQ(t[2048].height, -6.0);
    // Two-bevel kinds: the rounded table with its mirror image behind it.
    t = Profile(100, w, 0, 0);
    EXPECT_EQ(t[4096].slope, t[4095].slope);
    EXPECT_EQ(t[6191].height, t[2000].height);

    // Rebuilt exactly when one of the four parameters changes.
    Profile(0, w, 0, 0);
    uint32_t builds = ProfileBuildCount();
    Profile(0, w, 0, 0);
    EXPECT_EQ(ProfileBuildCount(), builds);
    struct {
        int32_t kind;
        double w;
        int32_t depth, invert;
    } next[] = {{1, w, 0, 0}, {1, 13.0, 0, 0}, {1, 13.0, 30, 0}, {1, 13.0, 30, 1}};
    for (auto &k : next) {
        Profile(k.kind, k.w, k.depth, k.invert);
        EXPECT_EQ(ProfileBuildCount(), ++builds);
    }
    EXPECT_EQ(Profile(0, 0.0, 0, 0), nullptr);
    EXPECT_EQ(Profile(0, NAN, 0, 0), nullptr);
    EXPECT_EQ(ProfileIndex(NAN, 1.0), 0);
    EXPECT_EQ(ProfileIndex(5.0, 1.0), 4095);
}

TEST_F(LightModelTest, RoundedBevelTiltsLikeACircle) {
    const double w = 10.0;
    Bevel b = MakeBevel(w, 0, 0, 0, 0);
    // The circle of radius W whose centre lies W inside the outline: at
    // distance d its outward normal is ((1 - d/W) u, sin(acos(1 - d/W))).
    for (double d : {0.05, 1.0, 3.3, 5.0, 8.0, 9.5}) {
        for (double angle : {0.0, 2.0, 4.0}) {
            Vec2 u{std::cos(angle), std::sin(angle)};
            Normals n = NormalsOf(b, u.x * d, u.y * d);
            ASSERT_EQ(n.count, 1);
            double c = 1 - d / w;
            EXPECT_NEAR(n.n[0].x, c * u.x, 0.01) << d;
            EXPECT_NEAR(n.n[0].y, c * u.y, 0.01) << d;
            EXPECT_NEAR(n.n[0].z, std::sqrt(1 - c * c), 0.01) << d;
            EXPECT_NEAR(Length(n.n[0]), 1.0, 1e-12);
        }
    }
    // Flat at and beyond W, for vectors of rounding size, without a bevel.
    for (Vec2 v : {Vec2{10.0, 0.0}, Vec2{0.0, -30.0}, Vec2{5e-7, 5e-7}, Vec2{NAN, 1.0}}) {
        Normals n = NormalsOf(b, v.x, v.y);
        ASSERT_EQ(n.count, 1);
        EXPECT_EQ(n.n[0].z, 1.0);
    }
    Normals none = NormalsOf(MakeBevel(0.0, 0, 0, 0, 0), 1.0, 0.0);
    EXPECT_EQ(none.n[0].z, 1.0);
    // Sunk: x and y turn round. Depth 60 halves the slope term.
    Normals plain = NormalsOf(b, 3.0, 0.0), sunk = NormalsOf(MakeBevel(w, 0, 1, 0, 0), 3.0, 0.0);
    EXPECT_NEAR(sunk.n[0].x, -plain.n[0].x, 1e-9);
    EXPECT_NEAR(sunk.n[0].z, plain.n[0].z, 1e-9);
    Normals deep = NormalsOf(MakeBevel(w, 0, 0, 60, 0), 3.0, 0.0);
    EXPECT_NEAR(deep.n[0].z / deep.n[0].x, 0.5 * plain.n[0].z / plain.n[0].x, 1e-9);
}

TEST_F(LightModelTest, ChamferRimAndTwoBevelSeams) {
    const double w = 8.0;
    Normals n = NormalsOf(MakeBevel(w, 1, 0, 0, 0), 0.0, 5.0);
    ASSERT_EQ(n.count, 1);
    EXPECT_NEAR(n.n[0].y, std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(n.n[0].z, std::sqrt(0.5), 1e-12);
    // The last pixel before W: the slope and the flat top, weighted W - d.
    n = NormalsOf(MakeBevel(w, 1, 0, 0, 0), 0.0, 7.25);
    ASSERT_EQ(n.count, 2);
    EXPECT_NEAR(n.w[0], 0.75, 1e-12);
    EXPECT_NEAR(n.n[0].z, std::sqrt(0.5), 1e-12);
    EXPECT_EQ(n.n[1].z, 1.0);
    EXPECT_NEAR(n.w[1], 0.25, 1e-12);
    EXPECT_EQ(NormalsOf(MakeBevel(w, 1, 0, 0, 1), 0.0, 7.25).count, 1);

    // Outer half of a two-bevel kind = a rounded bevel of half the width
    // (up to the table's step, which is twice as coarse).
    const double d = 2.5;
    Normals outer = NormalsOf(MakeBevel(w, 100, 0, 0, 0), d, 0.0);
    Normals half = NormalsOf(MakeBevel(w / 2, 0, 0, 0, 0), d, 0.0);
    ASSERT_EQ(outer.count, 1);
    EXPECT_NEAR(outer.n[0].x, half.n[0].x, 1e-3);
    EXPECT_NEAR(outer.n[0].z, half.n[0].z, 1e-3);
    // The seam at W/2 mixes both halves over one pixel.
    Normals seam = NormalsOf(MakeBevel(w, 100, 0, 0, 0), 3.75, 0.0);
    ASSERT_EQ(seam.count, 2);
    EXPECT_NEAR(seam.w[0], 0.75, 1e-12);
    EXPECT_NEAR(seam.w[0] + seam.w[1], 1.0, 1e-12);
    EXPECT_EQ(NormalsOf(MakeBevel(w, 100, 0, 0, 1), 3.75, 0.0).count, 1);
    // Beyond the seam the inner half rises on (facing the outline) for
    // kind 100 and falls back (facing inwards) for the ridges 103 and 104.
    for (int32_t kind : {100, 101, 102, 103, 104}) {
        Normals in = NormalsOf(MakeBevel(w, kind, 0, 0, 0), 6.0, 0.0);
        ASSERT_EQ(in.count, 1) << kind;
        EXPECT_EQ(in.n[0].x > 0, kind <= 102) << kind;
        EXPECT_GT(in.n[0].z, 0.0) << kind;
    }
}

TEST_F(LightModelTest, SurfaceRules) {
    Scene s(4, 2);
    const Bevel b = MakeBevel(6.0, 1, 0, 0, 0);
    SurfaceMaps maps;
    maps.width = 4;
    maps.height = 2;
    maps.vec = s.vec;
    maps.dist = s.dist;
    // Second vector at nearly the same distance: both lit, the nearer one
    // weighted 0.71 x difference + 0.5. Far apart: only the first.
    s.SetVector(0, 0, 2.0, 0.0, 0.0, 2.5);
    s.SetVector(1, 0, 2.0, 0.0, 0.0, 3.0);
    // Outside the path: a vector a tenth as long, turned round.
    s.SetVector(2, 0, 3.0, 0.0);
    s.SetDistance(2, 0, -9.0f);
    Normals n;
    SurfaceAt(b, maps, 0, 0, &n);
    ASSERT_EQ(n.count, 2);
    EXPECT_NEAR(n.w[0], 0.5 * 0.71 + 0.5, 1e-12);
    EXPECT_NEAR(n.n[1].y, std::sqrt(0.5), 1e-12);
    SurfaceAt(b, maps, 1, 0, &n);
    EXPECT_EQ(n.count, 1);
    SurfaceAt(b, maps, 2, 0, &n);
    ASSERT_EQ(n.count, 1);
    EXPECT_NEAR(n.n[0].x, -std::sqrt(0.5), 1e-12);

    // Second mask: 255 flattens, partial values tilt towards flat.
    PathBuf mask2 = KyPathBufAlloc(8, 4, 2, 1, 0, 0);
    maps.mask2 = mask2;
    static_cast<uint8_t *>(mask2)[0] = 255;
    static_cast<uint8_t *>(mask2)[1] = 128;
    SurfaceAt(b, maps, 0, 0, &n);
    ASSERT_EQ(n.count, 1);
    EXPECT_EQ(n.n[0].z, 1.0);
    SurfaceAt(b, maps, 1, 0, &n);
    EXPECT_GT(n.n[0].z, std::sqrt(0.5) + 0.1);
    EXPECT_NEAR(Length(n.n[0]), 1.0, 1e-12);
    maps.mask2 = nullptr;
    KyPathBufFree(mask2);

    // Bump map: the normal leans away from rising bumps.
    PathBuf bump = KyPathBufAlloc(8, 4, 2, 1, 0, 0);
    uint8_t *bm = static_cast<uint8_t *>(bump);
    bm[4 + 3] = 200;  // (3, 1): 200 above its left neighbour and the pixel above it
    maps.bump = bump;
    maps.bump_scale = 1.0 / 128;
    s.SetVector(3, 1, 100.0, 0.0);  // flat: beyond W
    SurfaceAt(b, maps, 3, 1, &n);
    EXPECT_LT(n.n[0].x, -0.5);
    EXPECT_LT(n.n[0].y, -0.5);
    // No difference across the left border (the pixel above is as high).
    bm[0] = 200;
    bm[4] = 200;
    s.SetVector(0, 1, 100.0, 0.0);
    SurfaceAt(b, maps, 0, 1, &n);
    EXPECT_EQ(n.n[0].z, 1.0);
    KyPathBufFree(bump);

    // Float layout: no second vector.
    float f[4] = {1.5f, -2.0f, 7.0f, 7.0f};
    uint8_t row[16];
    std::memcpy(row, f, sizeof f);
    ReliefVectors rv = ReadVectors(row, 0, true);
    EXPECT_EQ(rv.first.x, 1.5);
    EXPECT_FALSE(rv.has_second);
}

}  // namespace
