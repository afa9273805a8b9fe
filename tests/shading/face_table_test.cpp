// The shading loop's fast roads against the per-pixel path.
//
// A flat bump map (all zero, at 100%) changes no normal but turns the face
// table and the chunked bevel stages off, so the same scene shaded with
// and without it must come out byte for byte the same: every face pixel
// (zero relief slot) once through the table (eight or 64 at a time where
// a run is fully selected) and once through the full normal and light
// computation, every bevel pixel once through the chunks and once alone.
#include <vector>

#include "shading_support.h"

namespace {

using shading_support::Scene;
using shading_support::ShadingTest;

class FaceTableTest : public ShadingTest {};

// Wide enough for two 64-pixel face runs beside the bevel.
constexpr uint32_t kWidth = 150, kHeight = 40;

// Every byte value in every channel, a ragged mask with a fully selected
// band, a bevelled rectangle whose middle is face, and slots that are zero
// in one way but not another: a second vector only, a negative distance
// over a zero vector, and a float-layout -0.0.
void Build(Scene &s, bool float_layout) {
    for (size_t i = 0; i < static_cast<size_t>(kWidth) * kHeight * 3; ++i)
        static_cast<uint8_t *>(s.image)[i] = static_cast<uint8_t>(i * 37 + i / 255);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            s.M(x, y) = static_cast<uint8_t>(y >= 12 && y < 28 ? 1 + (x * y) % 255
                                                                : ((x * 7 + y * 3) % 5 == 0 ? 0 : 1 + x + y));
    s.RectangleRelief();
    for (uint32_t y = 10; y < kHeight - 10; ++y)
        for (uint32_t x = 10; x < kWidth - 10; ++x) {
            std::memset(static_cast<uint8_t *>(s.vec) + s.I(x, y) * 8, 0, 8);
            s.SetDistance(x, y, 300.0f);
        }
    s.SetVector(20, 21, 0, 0, 3.0, -2.0);  // second vector alone
    s.SetDistance(21, 20, -4.0f);          // outside rim, zero vector
    if (float_layout) {
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                int16_t words[4];
                std::memcpy(words, static_cast<uint8_t *>(s.vec) + s.I(x, y) * 8, 8);
                const float f[2] = {words[0] / 256.0f, words[1] / 256.0f};
                std::memcpy(static_cast<uint8_t *>(s.vec) + s.I(x, y) * 8, f, 8);
            }
        const float negative_zero[2] = {-0.0f, 0.0f};
        std::memcpy(static_cast<uint8_t *>(s.vec) + s.I(23, 22) * 8, negative_zero, 8);
    }
}

TEST_F(FaceTableTest, FastRoadsMatchThePerPixelPath) {
    ShadingGammaToMap();
    // Coloured lights, strong low-exponent highlights and a coloured
    // ambient, so that the three channels of a face pixel differ.
    const int32_t exponents[4] = {1, 2, 1, 3}, intensities[4] = {100, 80, 60, 90};
    const uint32_t colours[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080};
    PathBuf bump = KyPathBufAlloc(8, kWidth, kHeight, 1, 0, 0);
    ASSERT_NE(bump, nullptr);
    const double q = 0.5773502;
    const double dirs[12] = {-q, -q, q, q, -q, q, 0.2, 0.3, 0.93, -0.6, 0.1, 0.79};
    const int32_t spot_flags[4] = {0, 0, 0, 0}, centres[8] = {};
    int face_pixels_differing_from_input = 0;
    for (int layout = 0; layout < 2; ++layout)
        for (int32_t kind : {0, 1, 100})
            for (int32_t fixed_ambient : {0, 1})
                for (int lights : {1, 4, -1, 0}) {  // -1: the metallic shader, 0: one light and a highlight mask
                    Scene fast(kWidth, kHeight), slow(kWidth, kHeight);
                    Build(fast, layout == 1);
                    Build(slow, layout == 1);
                    const std::vector<uint8_t> before = fast.Pixels();
                    auto shade = [&](Scene &s, PathBuf bump_map) {
                        // A highlight mask raises the specular coefficients
                        // in the light set: both calls start from the same.
                        EXPECT_EQ(KyPathAdjPhongIllum(exponents, intensities, 0x00204080, colours, 2, 30), 1);
                        const int32_t percent = bump_map ? 100 : 0;
                        if (lights < 0)
                            return KyPathShadeMetallic(s.image, 8.0, kind, 0, 0, layout, s.dist, s.vec, 0, s.mask,
                                                       nullptr, 0, 50, 50, -q, -q, q, 0x3080C0, nullptr, fixed_ambient,
                                                       percent, bump_map);
                        if (lights <= 1)
                            return KyPathShadePhong(s.image, 8.0, kind, 0, 0, layout, s.dist, s.vec, 0, s.mask, nullptr,
                                                    0, 50, 50, -q, -q, q, fixed_ambient, lights == 0, percent,
                                                    bump_map);
                        return KyPathShadeMultiPhong(s.image, 8.0, kind, 0, 0, layout, s.dist, s.vec, 0, s.mask,
                                                     nullptr, 4, spot_flags, centres, dirs, fixed_ambient, 0, percent,
                                                     bump_map);
                    };
                    ASSERT_EQ(shade(fast, nullptr), 1);
                    ASSERT_EQ(shade(slow, bump), 1);
                    const std::vector<uint8_t> a = fast.Pixels();
                    ASSERT_EQ(a, slow.Pixels()) << "layout " << layout << " kind " << kind << " fixed "
                                                << fixed_ambient << " lights " << lights;
                    ASSERT_EQ(fast.MaskBytes(), slow.MaskBytes()) << "highlight mask, layout " << layout << " kind "
                                                                  << kind;
                    for (size_t i = 0; i < a.size(); ++i) face_pixels_differing_from_input += a[i] != before[i];
                }
    // The comparison means something only if shading changed the pixels.
    EXPECT_GT(face_pixels_differing_from_input, 1000);
    KyPathBufFree(bump);
}

}  // namespace
