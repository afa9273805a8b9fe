// Shaded renders of a text-like path compared with golden PNGs in
// tests/data/shading, within 1 per channel.
//
// The path ("TO": a T of lines, an O of two cubic rings) is built from
// points, rasterised and given its relief by the library; the shaded
// image is laid over white by its mask. On a mismatch the actual image and
// a diff (255 where a channel is off by more than 1) are written to the
// test output folder; Y32PATH_REGEN_GOLDEN=1 rewrites the goldens instead
// (look at them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shading/light_model.h"
#include "support/path_fixture.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

constexpr double kK = 0.5522847;

KyPath *Ring(double cx, double cy, double a, double b, bool clockwise) {
    const double s = clockwise ? 1.0 : -1.0;
    return MakePath({{PT_MOVETO, cx, cy - b},
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

// "TO" as one group chain of three subpaths.
KyPath *TextLikePath() {
    KyPath *t = MakePath({{PT_MOVETO, 4.25, 6.5},
                          {PT_LINETO, 46.5, 6.5},
                          {PT_LINETO, 46.5, 16.25},
                          {PT_LINETO, 30.5, 16.25},
                          {PT_LINETO, 30.5, 62.75},
                          {PT_LINETO, 20.25, 62.75},
                          {PT_LINETO, 20.25, 16.25},
                          {PT_LINETO, 4.25, 16.25},
                          {PT_LINETO | PT_CLOSEFIGURE, 4.25, 6.5}});
    KyPath *outer = Ring(74.5, 34.75, 25.0, 28.5, true);
    KyPath *inner = Ring(74.5, 34.75, 14.5, 18.25, false);
    t->groupNext = outer;
    outer->groupPrev = t;
    outer->groupNext = inner;
    inner->groupPrev = outer;
    testing_support::LinkList({t, outer, inner});
    return t;
}

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
    std::string error;
    const std::string golden = std::string(Y32PATH_TEST_DATA) + "/shading/" + name + ".png";
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        std::filesystem::create_directories(std::string(Y32PATH_TEST_DATA) + "/shading");
        ASSERT_TRUE(kypath::WritePngRgb(golden, img.rgb.data(), img.w, img.h, img.w * 3, &error)) << error;
        return;
    }
    Image want;
    ASSERT_TRUE(kypath::ReadPngRgb(golden, &want.rgb, &want.w, &want.h, &error))
        << error << " (run with Y32PATH_REGEN_GOLDEN=1 to create it)";
    const std::string out = std::string(Y32PATH_TEST_OUT) + "/shading";
    std::filesystem::create_directories(out);
    if (want.w != img.w || want.h != img.h) {
        kypath::WritePngRgb(out + "/" + name + ".actual.png", img.rgb.data(), img.w, img.h, img.w * 3, nullptr);
        ADD_FAILURE() << name << ": size " << img.w << "x" << img.h << ", golden " << want.w << "x" << want.h;
        return;
    }
    std::vector<uint8_t> diff(static_cast<size_t>(img.w) * img.h, 0);
    size_t off = 0;
    for (size_t i = 0; i < diff.size(); ++i)
        for (int k = 0; k < 3; ++k)
            if (std::abs(img.rgb[i * 3 + k] - want.rgb[i * 3 + k]) > 1) diff[i] = 255;
    for (uint8_t d : diff) off += d != 0;
    if (off == 0) return;
    kypath::WritePngRgb(out + "/" + name + ".actual.png", img.rgb.data(), img.w, img.h, img.w * 3, nullptr);
    kypath::WritePngGray(out + "/" + name + ".diff.png", diff.data(), img.w, img.h, img.w, nullptr);
    ADD_FAILURE() << name << ": " << off << " pixels off by more than 1; actual and diff written to " << out;
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
