// The A-buffer renderer's picture of a text-like path compared with a
// golden PNG in tests/data/shading, within 1 per channel.
//
// The path is the "TO" of the shaders' goldens (a T of lines, an O of two
// cubic rings), built from points, turned 20 degrees about x and -15 about
// y and seen from 400 pixels with a 40-degree field of view: perspective,
// both kinds of corner, curves, a hole and a bevel wider than the T's
// stems are all in it. The renderer's colour is laid over white by its
// coverage mask. On a mismatch the actual image and a diff (255 where a
// channel is off by more than 1) are written to the test output folder;
// Y32PATH_REGEN_GOLDEN=1 rewrites the golden instead (look at it before
// committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "abuf_support.h"
#include "tools/kypath/png_io.h"

namespace {

using namespace abuf_support;

constexpr double kK = 0.5522847;

KyPath *Ring(double cx, double cy, double a, double b, bool clockwise) {
    const double s = clockwise ? 1.0 : -1.0;
    return Build({{PT_MOVETO, cx, cy - b},
                  {PT_BEZIERTO, cx + s * kK * a, cy - b},
                  {PT_BEZIERTO, cx + s * a, cy - kK * b},
                  {PT_BEZIERTO, cx + s * a, cy},
                  {PT_BEZIERTO, cx + s * a, cy + kK * b},
                  {PT_BEZIERTO, cx + s * kK * a, cy + b},
                  {PT_BEZIERTO, cx, cy + b},
                  {PT_BEZIERTO, cx - s * kK * a, cy + b},
                  {PT_BEZIERTO, cx - s * a, cy + kK * b},
                  {PT_BEZIERTO, cx - s * a, cy},
                  {PT_BEZIERTO, cx - s * a, cy - kK * b},
                  {PT_BEZIERTO, cx - s * kK * a, cy - b},
                  {PT_BEZIERTO | PT_CLOSEFIGURE, cx, cy - b}});
}

KyPath *TextLikePath() {
    KyPath *t = Polygon({{4.25, 6.5},
                         {46.5, 6.5},
                         {46.5, 16.25},
                         {30.5, 16.25},
                         {30.5, 62.75},
                         {20.25, 62.75},
                         {20.25, 16.25},
                         {4.25, 16.25}});
    return Join({t, Ring(74.5, 34.75, 25.0, 28.5, true), Ring(74.5, 34.75, 14.5, 18.25, false)});
}

class ABufGoldenTest : public ABufTest {};

TEST_F(ABufGoldenTest, TiltedTextLikeSolid) {
    KyPath *path = TextLikePath();
    const ABufCamera cam = Camera(52, 35, 20, -15, 400, 40);
    Target t(112, 80);
    abuf::RenderArgs a = Args(path, cam, t, 6);
    a.origin[0] = a.mask_origin[0] = -4;
    a.origin[1] = a.mask_origin[1] = -6;
    ASSERT_EQ(abuf::Render(a, nullptr), 1);
    KyPathDeletePtr(path, 0);

    std::vector<uint8_t> rgb(size_t{t.w} * t.h * 3);
    for (uint32_t y = 0; y < t.h; ++y)
        for (uint32_t x = 0; x < t.w; ++x) {
            const uint32_t cov = t.M(x, y);
            for (int ch = 0; ch < 3; ++ch) {
                const uint32_t c = t.Px(x, y)[2 - ch];  // blue, green, red in the image
                rgb[(size_t{y} * t.w + x) * 3 + ch] = static_cast<uint8_t>((c * cov + 255 * (255 - cov) + 127) / 255);
            }
        }

    const std::string name = "abuf_to_tilted_w6";
    const std::string golden = std::string(Y32PATH_TEST_DATA) + "/shading/" + name + ".png";
    std::string error;
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        std::filesystem::create_directories(std::string(Y32PATH_TEST_DATA) + "/shading");
        ASSERT_TRUE(kypath::WritePngRgb(golden, rgb.data(), t.w, t.h, size_t{t.w} * 3, &error)) << error;
        return;
    }
    std::vector<uint8_t> want;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(kypath::ReadPngRgb(golden, &want, &w, &h, &error))
        << error << " (run with Y32PATH_REGEN_GOLDEN=1 to create it)";
    const std::string out = std::string(Y32PATH_TEST_OUT) + "/shading";
    std::filesystem::create_directories(out);
    if (w != t.w || h != t.h) {
        kypath::WritePngRgb(out + "/" + name + ".actual.png", rgb.data(), t.w, t.h, size_t{t.w} * 3, nullptr);
        FAIL() << name << ": size " << t.w << "x" << t.h << ", golden " << w << "x" << h;
    }
    std::vector<uint8_t> diff(size_t{t.w} * t.h, 0);
    size_t off = 0;
    for (size_t i = 0; i < rgb.size(); ++i)
        if (std::abs(int{rgb[i]} - int{want[i]}) > 1) {
            diff[i / 3] = 255;
            ++off;
        }
    if (!off) return;
    kypath::WritePngRgb(out + "/" + name + ".actual.png", rgb.data(), t.w, t.h, size_t{t.w} * 3, nullptr);
    kypath::WritePngGray(out + "/" + name + ".diff.png", diff.data(), t.w, t.h, t.w, nullptr);
    ADD_FAILURE() << name << ": " << off << " channel values off by more than 1; actual and diff written to " << out;
}

}  // namespace
