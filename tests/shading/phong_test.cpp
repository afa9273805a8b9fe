// Phong shaders, the light set setter, the gamma table and aiming a light.
#include <cmath>

#include "shading/shade_engine.h"
#include "shading_support.h"

namespace {

using namespace shade;
using shading_support::Scene;
using shading_support::ShadingTest;

class PhongTest : public ShadingTest {};

constexpr double kDiag = 0.5773502;

int32_t Phong(Scene &s, double w = 8.0, int32_t kind = 0, int32_t highlight = 0, int32_t spot = 0, int32_t sx = 50,
              int32_t sy = 50, Vec3 l = {-kDiag, -kDiag, kDiag}, PathBuf bump = nullptr, int32_t bump_percent = 0) {
    return KyPathShadePhong(s.image, w, kind, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, spot, sx, sy, l.x, l.y, l.z,
                            0, highlight, bump_percent, bump);
}

TEST_F(PhongTest, FlatPixelIsDiffuseTimesCosineThroughTheGammaTable) {
    // Before the gamma table is filled every shaded pixel is black.
    Scene dark(4, 1);
    dark.Fill(90, 90, 90);
    dark.M(1, 0) = 1;
    ASSERT_EQ(Phong(dark), 1);
    EXPECT_EQ(dark.Px(1, 0)[0], 0);
    EXPECT_EQ(dark.Px(0, 0)[0], 90);  // outside the mask: untouched

    EXPECT_EQ(ShadingGammaToMap(), 255);
    const uint8_t *g = Gamma();
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[128], 165);  // (128 / 255)^0.625 x 255 = 165.7
    EXPECT_EQ(g[255], 255);
    // A pixel beyond W is flat: N . L = Lz; R = (0, 0, 1), so the highlight
    // is Lz^28 x 0.8, far below one level.
    for (int c : {40, 120, 200, 255}) {
        Scene s(3, 3);
        s.Prime(static_cast<uint8_t>(c), 255, false);  // the vector map is zero: flat everywhere
        ASSERT_EQ(Phong(s), 1);
        const int want = g[static_cast<int>(c * 0.2 + c * kDiag * 0.75 + std::pow(kDiag, 28.0) * 0.8 * 255)];
        EXPECT_EQ(s.Px(1, 1)[0], want) << c;
        EXPECT_EQ(s.Px(2, 2)[2], want) << c;
    }
}

TEST_F(PhongTest, LightSetterRules) {
    const int32_t exps[4] = {0, 5, 7, 9}, intens[4] = {100, 50, 0, 20};
    const uint32_t colours[4] = {0x00332211, 0xFFFFFF, 0, 0x0000FF};
    ASSERT_EQ(KyPathAdjPhongIllum(exps, intens, 0x00C86432, colours, 2, 50), 1);
    const LightSet &set = PhongLights();
    EXPECT_EQ(set.light[0].exponent, 1.0);
    EXPECT_EQ(set.light[3].exponent, 9.0);
    EXPECT_DOUBLE_EQ(set.light[1].specular, 0.5);
    EXPECT_DOUBLE_EQ(set.light[1].diffuse, 0.5 * 0.3 + 0.35);
    // Image byte order: blue, green, red.
    EXPECT_EQ(set.light[0].colour[0], 0x33);
    EXPECT_EQ(set.light[0].colour[2], 0x11);
    EXPECT_EQ(set.light[3].colour[2], 0xFF);
    EXPECT_EQ(set.ambient_colour[0], 100);  // 0xC8 x 0.5
    EXPECT_EQ(set.ambient_colour[1], 50);
    EXPECT_EQ(set.ambient_colour[2], 25);
    // Refused without a change: NULL arrays, a divisor that would divide
    // by zero.
    ClearErrors();
    EXPECT_EQ(KyPathAdjPhongIllum(exps, intens, 0, colours, 0, 20), 0);
    EXPECT_EQ(LastError(), 3200);
    EXPECT_EQ(KyPathAdjPhongIllum(nullptr, intens, 0, colours, 1, 20), 0);
    EXPECT_EQ(KyPathAdjPhongIllum(exps, intens, 0, nullptr, 1, 20), 0);
    EXPECT_DOUBLE_EQ(set.ambient, 0.5);
}

TEST_F(PhongTest, HighlightFlagStrengthensAndRaisesTheMask) {
    ShadingGammaToMap();
    Scene s(12, 12);
    s.Prime(100, 200);
    s.M(0, 0) = 0;
    // Light 0 straight above: flat pixels see it mirrored (R . L = 1).
    ASSERT_EQ(Phong(s, 3.0, 0, 1, 0, 50, 50, {0, 0, 1}), 1);
    EXPECT_DOUBLE_EQ(PhongLights().light[0].specular, 0.8 * 4);
    EXPECT_DOUBLE_EQ(PhongLights().light[1].specular, 0.8);
    EXPECT_EQ(s.M(6, 6), 255);          // raised by 255 x 3.2, capped
    EXPECT_EQ(s.M(0, 0), 0);            // not shaded, not raised
    EXPECT_LT(s.M(0, 6), 255);          // the steep rim reflects elsewhere
    ASSERT_EQ(Phong(s, 3.0, 0, 1, 0, 50, 50, {0, 0, 1}), 1);
    EXPECT_DOUBLE_EQ(PhongLights().light[0].specular, 0.8 * 16);
    // Only the setter brings it back.
    const int32_t e[4] = {28, 28, 28, 28}, i[4] = {80, 80, 80, 80};
    const uint32_t c[4] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    KyPathAdjPhongIllum(e, i, 0, c, 1, 20);
    EXPECT_DOUBLE_EQ(PhongLights().light[0].specular, 0.8);
}

TEST_F(PhongTest, BevelSidesFacingTheLightAreBrighter) {
    ShadingGammaToMap();
    // The light comes from the upper left; no kind may leave the image black.
    for (int32_t kind : {0, 1, 100, 104}) {
        Scene s(20, 20);
        s.Prime(128);
        ASSERT_EQ(Phong(s, 6.0, kind), 1);
        EXPECT_GT(s.Px(1, 10)[0], s.Px(18, 10)[0]) << kind;
        if (kind != 0) continue;
        EXPECT_GT(s.Px(1, 10)[0], s.Px(10, 10)[0]);  // the left side faces the light
        EXPECT_LT(s.Px(18, 10)[0], s.Px(10, 10)[0]);
        EXPECT_GT(s.Px(10, 1)[1], s.Px(10, 18)[1]);
    }
}

TEST_F(PhongTest, SpotlightFallsOffFromItsCentre) {
    ShadingGammaToMap();
    Scene s(40, 40);
    s.Prime(200, 255, false);
    // Light straight down; spot centred on the upper left quarter.
    ASSERT_EQ(Phong(s, 4.0, 0, 0, 1, 25, 25, {0, 0, 1}), 1);
    EXPECT_GT(s.Px(10, 10)[0], s.Px(30, 30)[0]);
    EXPECT_GT(s.Px(10, 10)[0], s.Px(30, 10)[0]);
    EXPECT_EQ(s.Px(30, 10)[0], s.Px(10, 30)[0]);  // symmetric about the diagonal
    EXPECT_NEAR(SpotHeightSingle(50, 50), 70.71, 1e-12);
    EXPECT_NEAR(SpotHeightMulti(50, 50), std::sqrt(5000.0), 1e-12);
    EXPECT_EQ(SpotHeightSingle(100, 100), 0.0);
    EXPECT_EQ(SpotHeightMulti(0, 100), 0.0);
}

TEST_F(PhongTest, MultiLightAddsLightsInOrder) {
    ShadingGammaToMap();
    Scene one(16, 16), two(16, 16);
    one.Prime(60);
    two.Prime(60);
    const int32_t flags[2] = {0, 0}, centres[4] = {50, 50, 50, 50};
    const double dirs[6] = {-kDiag, -kDiag, kDiag, kDiag, kDiag, kDiag};
    auto multi = [&](Scene &s, int32_t count, const double *d) {
        return KyPathShadeMultiPhong(s.image, 5.0, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, count, flags,
                                     centres, d, 0, 0, 0, nullptr);
    };
    ASSERT_EQ(multi(one, 1, dirs), 1);
    ASSERT_EQ(multi(two, 2, dirs), 1);
    EXPECT_EQ(PhongLights().light[1].direction.x, kDiag);
    // The second light adds to the first everywhere, most on its side.
    int brighter = 0;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            EXPECT_GE(two.Px(x, y)[0], one.Px(x, y)[0]);
            brighter += two.Px(x, y)[0] > one.Px(x, y)[0];
        }
    EXPECT_GT(brighter, 200);
    EXPECT_GT(two.Px(14, 14)[0] - one.Px(14, 14)[0], two.Px(1, 1)[0] - one.Px(1, 1)[0]);
    // Counts outside 0..4 and missing arrays are refused.
    for (int32_t count : {5, -1}) {
        ClearErrors();
        EXPECT_EQ(multi(one, count, dirs), 0) << count;
        EXPECT_EQ(LastError(), 3200) << count;
    }
    EXPECT_EQ(multi(one, 1, nullptr), 0);
}

TEST_F(PhongTest, BumpMapShadesAFlatFace) {
    ShadingGammaToMap();
    Scene s(8, 8), t(8, 8);
    s.Prime(100, 255, false);
    t.Prime(100, 255, false);
    PathBuf bump = KyPathBufAlloc(8, 8, 8, 1, 0, 0);
    for (uint32_t y = 0; y < 8; ++y) static_cast<uint8_t *>(bump)[y * 8 + 4] = 255;  // a ridge at x = 4
    ASSERT_EQ(Phong(s, 4.0, 0, 0, 0, 50, 50, {-kDiag, -kDiag, kDiag}, bump, 50), 1);
    // x = 4 rises to the right (faces left, towards the light), x = 5 falls.
    EXPECT_GT(s.Px(4, 3)[0], s.Px(2, 3)[0]);
    EXPECT_LT(s.Px(5, 3)[0], s.Px(2, 3)[0]);
    // Without a percentage the map is not used.
    ASSERT_EQ(Phong(t, 4.0, 0, 0, 0, 50, 50, {-kDiag, -kDiag, kDiag}, bump, 0), 1);
    EXPECT_EQ(t.Px(4, 3)[0], t.Px(2, 3)[0]);
    KyPathBufFree(bump);
}

TEST_F(PhongTest, MissingOrMismatchedBuffersLeaveTheImageAlone) {
    ShadingGammaToMap();
    Scene s(6, 4);
    s.Fill(1, 2, 3);
    s.FillMask(255);
    const std::vector<uint8_t> before = s.Pixels();
    const Vec3 l0 = PhongLights().light[0].direction;
    auto call = [&](PathBuf image, PathBuf dist, PathBuf vec, PathBuf mask, int32_t use2, PathBuf mask2,
                    PathBuf bump) {
        return KyPathShadePhong(image, 4.0, 0, 0, 0, 0, dist, vec, use2, mask, mask2, 0, 50, 50, 0.0, 0.0, 1.0, 0, 0,
                                50, bump);
    };
    EXPECT_EQ(call(nullptr, s.dist, s.vec, s.mask, 0, nullptr, nullptr), 0);
    EXPECT_EQ(call(s.image, nullptr, s.vec, s.mask, 0, nullptr, nullptr), 0);
    EXPECT_EQ(call(s.image, s.dist, nullptr, s.mask, 0, nullptr, nullptr), 0);
    EXPECT_EQ(call(s.image, s.dist, s.vec, nullptr, 0, nullptr, nullptr), 0);
    Scene other(6, 5);
    PathBuf wrong_depth = KyPathBufAlloc(32, 6, 4, 1, 0, 0);
    const struct {
        PathBuf dist, vec, mask, mask2, bump;
        int32_t use2;
    } bad[] = {
        {other.dist, s.vec, s.mask, nullptr, nullptr, 0},  // another size
        {s.dist, other.vec, s.mask, nullptr, nullptr, 0},
        {s.dist, s.vec, other.mask, nullptr, nullptr, 0},
        {s.dist, s.vec, s.mask, nullptr, nullptr, 1},      // second mask asked, none given
        {s.dist, s.vec, s.mask, other.mask, nullptr, 1},
        {s.dist, s.vec, s.mask, nullptr, other.mask, 0},   // bump map of another size
        {s.dist, s.vec, wrong_depth, nullptr, nullptr, 0},  // another depth
        {s.dist, wrong_depth, s.mask, nullptr, nullptr, 0},
    };
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        ClearErrors();
        EXPECT_EQ(call(s.image, bad[i].dist, bad[i].vec, bad[i].mask, bad[i].use2, bad[i].mask2, bad[i].bump), 0) << i;
        EXPECT_EQ(LastError(), 3200) << i;
    }
    EXPECT_EQ(call(other.image, s.dist, s.vec, s.mask, 0, nullptr, nullptr), 0);
    KyPathBufFree(wrong_depth);
    EXPECT_EQ(s.Pixels(), before);
    EXPECT_EQ(PhongLights().light[0].direction.z, l0.z);  // the light was not moved either
}

TEST_F(PhongTest, ChangeLightNormalAimsTheHighlightAtThePixel) {
    // Outside the bevel the normal is flat and the light goes straight up.
    int16_t row[3 * 4] = {0, 0, 0, 0, 3 * 256, -2 * 256, 0, 0, 40 * 256, 0, 0, 0};
    double dir[3] = {9, 9, 9};
    ASSERT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, 2, 0, row, 0, 1, dir), 1);
    EXPECT_EQ(dir[0], 0.0);
    EXPECT_EQ(dir[1], 0.0);
    EXPECT_EQ(dir[2], 1.0);
    EXPECT_EQ(PhongLights().light[1].direction.z, 1.0);
    // On the bevel, the view vector mirrored about N is the light: R . L = 1.
    ASSERT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, 1, 0, row, 0, 2, dir), 1);
    Normals n;
    BevelNormals(MakeBevel(8.0, 0, 0, 0, 0), Vec2{3, -2}, 1.0, &n);
    const Vec3 N = n.n[0];
    const double nl = N.x * dir[0] + N.y * dir[1] + N.z * dir[2];
    EXPECT_NEAR(2 * N.z * nl - dir[2], 1.0, 1e-12);
    EXPECT_NEAR(std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]), 1.0, 1e-12);
    EXPECT_EQ(PhongLights().light[2].direction.x, dir[0]);
    // Refused: no row, no output, a light that does not exist, a negative pixel.
    EXPECT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, 1, 0, nullptr, 0, 0, dir), 0);
    EXPECT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, 1, 0, row, 0, 0, nullptr), 0);
    EXPECT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, 1, 0, row, 0, 4, dir), 0);
    EXPECT_EQ(KypathChangeLightNormal(8.0, 0, 0, 0, -1, 0, row, 0, 0, dir), 0);
}

}  // namespace
