// Shaded renders of a text-like path compared with golden PNGs in
// tests/data/shading, within 1 per channel.
//
// The path ("TO": a T of lines, an O of two cubic rings) is built from
// points, rasterised and given its relief by the library; the shaded
// image is laid over white by its mask.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shading/light_model.h"
#include "support/path_fixture.h"
#include "support/golden_png.h"
#include "to_path.h"
#include "y32Path.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

using to_path::TextLikePath;

struct Image {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

// The buffers of a render: mask, maps, and an image filled with `bgr`.
struct Render {
    PathBuf mask = nullptr, dist = nullptr, vec = nullptr, image = nullptr;
    uint32_t w = 0, h = 0;
    double width = 0;
    KyPath *path = nullptr;

    Render(double bevel, const uint8_t bgr[3]) {
        path = TextLikePath();
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        if (KyPathToBuf(path, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, 0) != 1) return;
        mask = bufs[0];
        GlobalFree(rects);
        GlobalFree(bufs);
        dist = vec = reinterpret_cast<PathBuf>(1);
        width = bevel;
        KyPathVMap(path, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 0, nullptr, nullptr, DbToFix(1.0));
        KyPathBufGetWHU(mask, &w, &h, nullptr);
        image = KyPathBufAlloc(24, w, h, 1, 0, 0);
        for (size_t i = 0; image && i < static_cast<size_t>(w) * h; ++i)
            std::memcpy(static_cast<uint8_t *>(image) + i * 3, bgr, 3);
    }
    ~Render() {
        for (PathBuf b : {mask, dist, vec, image})
            if (b) KyPathBufFree(b);
        KyPathDeletePtr(path, 0);
    }
    bool Ready() const { return mask && dist && vec && image; }

    // Over white, by the mask, as RGB.
    Image Composite() const {
        Image img{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
        const uint8_t *m = static_cast<const uint8_t *>(mask), *p = static_cast<const uint8_t *>(image);
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
            for (int k = 0; k < 3; ++k)
                img.rgb[i * 3 + k] = static_cast<uint8_t>((p[i * 3 + 2 - k] * m[i] + 255 * (255 - m[i]) + 127) / 255);
        return img;
    }
};

void Compare(const std::string &name, const Image &img) {
    testing_support::ExpectGoldenPng("shading", name, img.rgb, img.w, img.h, 3, 1);
}

class ShadingGoldenTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        shade::ResetPhongLights();
        shade::ResetMetallicLights();
        ShadingGammaToMap();
    }
};

TEST_F(ShadingGoldenTest, PhongRoundedBevel) {
    const uint8_t blue[3] = {192, 112, 48};
    Render r(6.0, blue);
    ASSERT_TRUE(r.Ready());
    const double d = 0.5773502;
    ASSERT_EQ(KyPathShadePhong(r.image, r.width, 0, 0, 0, 0, r.dist, r.vec, 0, r.mask, nullptr, 0, 50, 50, -d, -d, d, 0,
                               0, 0, nullptr),
              1);
    Compare("to_phong_w6", r.Composite());
}

TEST_F(ShadingGoldenTest, MetallicChamferTwoLights) {
    const uint8_t bronze[3] = {40, 80, 130};
    Render r(5.0, bronze);
    ASSERT_TRUE(r.Ready());
    ASSERT_EQ(KyPathSetMetallicEffect(2), 1);
    const double d = 0.5773502;
    const int32_t flags[2] = {0, 0}, centres[4] = {50, 50, 50, 50};
    const double dirs[6] = {-d, -d, d, d, -d, d};  // upper left and upper right
    ASSERT_EQ(KyPathShadeMultiMetallic(r.image, r.width, 1, 0, 0, 0, r.dist, r.vec, 0, r.mask, nullptr, 2, flags,
                                       centres, dirs, 0x0040B0E0, nullptr, 0, 0, nullptr),
              1);
    Compare("to_metallic_chamfer_w5", r.Composite());
}

}  // namespace
