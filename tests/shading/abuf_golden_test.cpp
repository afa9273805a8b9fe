// The A-buffer renderer's picture of a text-like path compared with a
// golden PNG in tests/data/shading, within 1 per channel.
//
// The path is the "TO" of the shaders' goldens (a T of lines, an O of two
// cubic rings), built from points, turned 20 degrees about x and -15 about
// y and seen from 400 pixels with a 40-degree field of view: perspective,
// both kinds of corner, curves, a hole and a bevel wider than the T's
// stems are all in it. The renderer's colour is laid over white by its
// coverage mask.
#include <gtest/gtest.h>

#include <vector>

#include "abuf_support.h"
#include "support/golden_png.h"
#include "to_path.h"

namespace {

using namespace abuf_support;

using to_path::TextLikePath;

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

    testing_support::ExpectGoldenPng("shading", "abuf_to_tilted_w6", rgb, t.w, t.h, 3, 1);
}

}  // namespace
