// Metallic shading and its reflectance table, reflection, texture
// wrapping and the two masks.
#include <cmath>

#include "platform/alloc_fail.h"
#include "shading/metallic.h"
#include "shading_support.h"

namespace {

using namespace shade;
using shading_support::Scene;
using shading_support::ShadingTest;

class MetallicTest : public ShadingTest {};

std::vector<double> TableCopy() {
    const double *t = ReflectanceTable();
    return t ? std::vector<double>(t, t + 1000) : std::vector<double>();
}

TEST_F(MetallicTest, PresetsAndTheirTable) {
    ASSERT_EQ(KyPathSetMetallicEffect(1), 1);
    const std::vector<double> one = TableCopy();
    // Grazing: everything reflects. Face on: the conductor's reflectance
    // ((n - 1)^2 + k^2) / ((n + 1)^2 + k^2), reached at entry 999.
    EXPECT_DOUBLE_EQ(one[0], 1.0);
    const double n = 0.617, k = 2.63;
    EXPECT_NEAR(one[999], ((n - 1) * (n - 1) + k * k) / ((n + 1) * (n + 1) + k * k), 2e-4);
    for (int i = 1; i < 1000; ++i) ASSERT_TRUE(one[i] > 0.0 && one[i] < 1.0) << i;

    ASSERT_EQ(KyPathSetMetallicEffect(2), 1);
    EXPECT_EQ(LoadedMetal(), 2);
    EXPECT_NE(TableCopy(), one);
    const uint32_t builds = ReflectanceBuildCount();
    ASSERT_EQ(KyPathSetMetallicEffect(2), 1);
    EXPECT_EQ(ReflectanceBuildCount(), builds);  // same metal: not recomputed
    for (int32_t other : {7, 0, -3}) {
        ASSERT_EQ(KyPathSetMetallicEffect(other), 1);
        EXPECT_EQ(LoadedMetal(), 1) << other;
        EXPECT_EQ(TableCopy(), one) << other;
        KyPathSetMetallicEffect(4);
    }
}

TEST_F(MetallicTest, TableThatCannotBeAllocatedFailsTheShaders) {
    mem::Detach();  // releases the table, as unloading does
    ASSERT_EQ(KyPathInit(), 0x30000);
    EXPECT_EQ(LoadedMetal(), 0);
    Scene s(4, 4);
    s.Fill(10, 20, 30);
    s.FillMask(255);
    const std::vector<uint8_t> before = s.Pixels();
    {
        plat::ScopedAllocFailure fail(0);
        ClearErrors();
        EXPECT_EQ(KyPathSetMetallicEffect(3), 0);
        EXPECT_EQ(LastError(), 1001);
    }
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathShadeMetallic(s.image, 4.0, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, 0, 50, 50, 0, 0, 1,
                                      0x808080, nullptr, 0, 0, nullptr),
                  0);
    }
    EXPECT_EQ(s.Pixels(), before);
    EXPECT_EQ(KyPathSetMetallicEffect(3), 1);
    EXPECT_EQ(LoadedMetal(), 3);
}

TEST_F(MetallicTest, MetalColourLightsTheHighlight) {
    ShadingGammaToMap();
    const int32_t values[4] = {100, 0, 0, 0}, intens[4] = {60, 0, 0, 0};
    ASSERT_EQ(KyPathAdjMetallicIllum(values, intens, 2, 40), 1);
    const MetalLights &m = MetallicLights();
    EXPECT_DOUBLE_EQ(m.specular[0], 2.0);
    EXPECT_DOUBLE_EQ(m.diffuse[0], 1.2 * 0.15 + 0.1);
    EXPECT_DOUBLE_EQ(m.exponent[0], 8.0);
    EXPECT_DOUBLE_EQ(m.ambient, 0.4);
    EXPECT_EQ(KyPathAdjMetallicIllum(values, intens, 0, 40), 0);
    EXPECT_EQ(KyPathAdjMetallicIllum(values, nullptr, 1, 40), 0);

    // Black base, light straight above a flat face: only the highlight,
    // s = 1, which takes the metal's own colour (0x00BBGGRR) times 2.
    Scene s(5, 5);
    s.FillMask(255);
    auto shade = [&](PathBuf highlight) {
        return KyPathShadeMetallic(s.image, 4.0, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, 0, 50, 50, 0, 0, 1,
                                   0x0014325A, highlight, 0, 0, nullptr);
    };
    PathBuf glow = KyPathBufAlloc(8, 5, 5, 1, 0, 0), small = KyPathBufAlloc(8, 4, 5, 1, 0, 0);
    ASSERT_EQ(shade(glow), 1);
    const uint8_t *g = Gamma();
    EXPECT_EQ(s.Px(2, 2)[0], g[0x14 * 2]);  // blue
    EXPECT_EQ(s.Px(2, 2)[1], g[0x32 * 2]);
    EXPECT_EQ(s.Px(2, 2)[2], g[0x5A * 2]);  // red
    EXPECT_EQ(static_cast<uint8_t *>(glow)[12], 255);
    // A highlight buffer of another size is refused.
    ClearErrors();
    EXPECT_EQ(shade(small), 0);
    EXPECT_EQ(LastError(), 3200);
    KyPathBufFree(small);
    KyPathBufFree(glow);

    // Away from the peak the highlight whitens (the reflectance rises
    // towards grazing): a weak light on a bevel pixel gives a paler
    // colour than the metal's own ratio.
    Scene t(20, 20);
    t.Prime(0);
    const int32_t flags[1] = {0}, centres[2] = {50, 50};
    const double dir[3] = {0.3, 0.0, std::sqrt(1 - 0.09)};
    ASSERT_EQ(KyPathShadeMultiMetallic(t.image, 8.0, 0, 0, 0, 0, t.dist, t.vec, 0, t.mask, nullptr, 1, flags, centres,
                                       dir, 0x000000FF, nullptr, 0, 0, nullptr),
              1);
    int whitened = 0;
    for (uint32_t x = 0; x < 20; ++x) {
        const uint8_t *p = t.Px(x, 10);
        EXPECT_GE(p[2], p[0]);
        whitened += p[0] > 0 && p[2] < 255;
    }
    EXPECT_GT(whitened, 0);
}

TEST_F(MetallicTest, ReflectionSeesTheEnvironmentThroughTheSurface) {
    // Environment: blue rising from left to right, green from top to bottom.
    const uint32_t ew = 64, eh = 32;
    PathBuf env = KyPathBufAlloc(24, ew, eh, 1, 0, 0);
    for (uint32_t y = 0; y < eh; ++y)
        for (uint32_t x = 0; x < ew; ++x) {
            uint8_t *p = static_cast<uint8_t *>(env) + (y * ew + x) * 3;
            p[0] = static_cast<uint8_t>(x * 4);
            p[1] = static_cast<uint8_t>(y * 8);
            p[2] = 77;
        }
    Scene s(21, 21), t(21, 21);
    s.Prime(0);
    t.Prime(0);
    s.M(0, 0) = 0;
    s.M(10, 20) = 128;
    ASSERT_EQ(KyPathReflectIt(0, 6.0, s.vec, s.image, 0, 0, 0, env, 0, s.mask, nullptr, 0, nullptr), 1);
    // The flat centre looks straight up: the middle of the environment.
    EXPECT_NEAR(s.Px(10, 10)[0], 128, 8);
    EXPECT_NEAR(s.Px(10, 10)[1], 128, 16);
    EXPECT_EQ(s.Px(10, 10)[2], 77);
    // The right side leans right and sees further right; the left, left.
    EXPECT_GT(s.Px(19, 10)[0], s.Px(10, 10)[0] + 20);
    EXPECT_LT(s.Px(1, 10)[0] + 20, s.Px(10, 10)[0]);
    EXPECT_EQ(s.Px(0, 0)[2], 0);  // outside the mask
    EXPECT_NEAR(s.Px(10, 20)[2], 77 / 2, 1);  // half covered: half the reflection

    // Texture wrapping takes the same road and keeps the centre in the middle.
    ASSERT_EQ(KyPathBumpIt(0, 6.0, t.vec, t.image, 0, 0, 0, env, 0, t.mask, nullptr), 1);
    EXPECT_NEAR(t.Px(10, 10)[0], 128, 8);
    // Required buffers.
    EXPECT_EQ(KyPathReflectIt(0, 6.0, s.vec, s.image, 0, 0, 0, nullptr, 0, s.mask, nullptr, 0, nullptr), 0);
    EXPECT_EQ(KyPathBumpIt(0, 6.0, nullptr, t.image, 0, 0, 0, env, 0, t.mask, nullptr), 0);
    EXPECT_EQ(KyPathReflectIt(0, 6.0, s.vec, s.image, 0, 0, 0, env, 1, s.mask, nullptr, 0, nullptr), 0);
    // A surface far taller than the sphere and NaN vectors still land on
    // the environment.
    Scene tall(3, 3, 64);
    tall.FillMask(255);
    const float nan_vector[2] = {NAN, NAN};
    std::memcpy(tall.vec, nan_vector, 8);
    for (uint32_t i = 1; i < 9; ++i) tall.SetVector(i % 3, i / 3, 500.0, 30.0);
    EXPECT_EQ(KyPathReflectIt(0, 1000.0, tall.vec, tall.image, 0, 0, 1, env, 0, tall.mask, nullptr, 0, nullptr), 1);
    KyPathBufFree(env);
}

TEST_F(MetallicTest, TransparentMaskByFaceAndEdge) {
    // Left side of a rectangle: steepest at the outline, flat from W on;
    // (0, 6) nearly on the outline, nearly vertical.
    Scene s(12, 12), t(12, 12);
    s.Prime(0, 255);
    t.Prime(0, 200);
    s.SetVector(0, 6, -0.02, 0.0);
    t.SetVector(0, 6, -0.02, 0.0);
    s.M(0, 5) = 0;
    auto transparent = [](PathBuf mask, int32_t face, int32_t edge, PathBuf vec) {
        return KyPathTransparentMask(mask, face, edge, 4.0, 0, 0, 0, 0, vec, 0, 0, nullptr);
    };
    // Face 100 %: flat parts keep 1/255 rather than vanishing, the steep
    // rim stays nearly opaque, and opacity falls in between.
    ASSERT_EQ(transparent(s.mask, 100, 0, s.vec), 1);
    EXPECT_EQ(s.M(6, 6), 1);
    EXPECT_EQ(s.M(0, 5), 0);
    EXPECT_GT(s.M(0, 6), 210);
    for (uint32_t x = 1; x < 6; ++x) EXPECT_LE(s.M(x, 6), s.M(x - 1, 6)) << x;
    // Face 0 %, edge 100 %: the flat face keeps everything, the rim loses
    // more the steeper it is.
    ASSERT_EQ(transparent(t.mask, 0, 100, t.vec), 1);
    EXPECT_EQ(t.M(6, 6), 200);
    EXPECT_LT(t.M(0, 6), 40);
    for (uint32_t x = 1; x < 6; ++x) EXPECT_GE(t.M(x, 6), t.M(x - 1, 6)) << x;
    // Refused, mask unchanged.
    const uint8_t before = t.M(1, 6);
    for (auto pc : {std::pair<int, int>{101, 0}, {0, -1}}) {
        ClearErrors();
        EXPECT_EQ(transparent(t.mask, pc.first, pc.second, t.vec), 0);
        EXPECT_EQ(LastError(), 3200);
    }
    EXPECT_EQ(transparent(nullptr, 0, 0, t.vec), 0);
    EXPECT_EQ(transparent(t.mask, 0, 0, nullptr), 0);
    EXPECT_EQ(t.M(1, 6), before);
}

TEST_F(MetallicTest, HighlightMaskMarksWhereTheLightIsMirrored) {
    Scene s(16, 16);
    s.RectangleRelief();
    std::vector<uint8_t> out(16 * 16, 7);
    const double above[3] = {0, 0, 1};
    ASSERT_EQ(KyPathGetHighlightMask(out.data(), 16, 16, 0, 0, 6.0, 0, 0, 0, 0, s.vec, 0, above), 1);
    int marked = 0;
    size_t first = 0;
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i]) marked += 1, first = marked == 1 ? i : first;
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(first, 6u * 16 + 6);  // the first flat pixel in row order

    // A light from the left, 30 degrees up: the halfway vector is
    // (-0.5, 0, 0.866), the rounded bevel's normal at d = W / 2 on a side
    // facing left. Distances rising by a quarter pixel along the rows put
    // it at x = 10.
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) s.SetVector(x, y, -(0.5 + 0.25 * x), 0.0);
    const double side[3] = {-std::cos(M_PI / 6), 0, std::sin(M_PI / 6)};
    ASSERT_EQ(KyPathGetHighlightMask(out.data(), 16, 16, 0, 0, 6.0, 0, 0, 0, 0, s.vec, 0, side), 1);
    EXPECT_EQ(out[3 * 16 + 10], 1);
    Vec3 h{side[0], side[1], side[2] + 1};
    const double len = std::sqrt(h.x * h.x + h.y * h.y + h.z * h.z);
    marked = 0;
    const Bevel b = MakeBevel(6.0, 0, 0, 0, 0);
    SurfaceMaps maps;
    maps.width = maps.height = 16;
    maps.vec = s.vec;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            Normals n;
            SurfaceAt(b, maps, x, y, &n);
            const Vec3 N = MixedNormal(n);
            const bool near = std::fabs(N.x - h.x / len) < 0.0088 && std::fabs(N.y) < 0.0088 &&
                              std::fabs(N.z - h.z / len) < 0.0088;
            EXPECT_EQ(out[y * 16 + x], near ? 1 : 0) << x << "," << y;
            marked += near;
        }
    EXPECT_EQ(marked, 16);
    // A rectangle partly off the map: marks where it overlaps, the rest
    // cleared.
    std::vector<uint8_t> part(10 * 10, 9);
    ASSERT_EQ(KyPathGetHighlightMask(part.data(), 10, 10, 4, -4, 6.0, 0, 0, 0, 0, s.vec, 0, side), 1);
    int in_part = 0;
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 10; ++x) {
            EXPECT_EQ(part[y * 10 + x], y >= 4 && x == 6 ? 1 : 0) << x << "," << y;
            in_part += part[y * 10 + x];
        }
    EXPECT_EQ(in_part, 6);
    EXPECT_EQ(KyPathGetHighlightMask(out.data(), -1, 16, 0, 0, 6.0, 0, 0, 0, 0, s.vec, 0, side), 0);
    EXPECT_EQ(KyPathGetHighlightMask(out.data(), 16, 16, 0, 0, 6.0, 0, 0, 0, 0, s.vec, 0, nullptr), 0);
    EXPECT_EQ(KyPathGetHighlightMask(nullptr, 16, 16, 0, 0, 6.0, 0, 0, 0, 0, s.vec, 0, side), 0);
}

}  // namespace
