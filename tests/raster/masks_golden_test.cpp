// Masks compared byte for byte with golden PNGs in tests/data/raster.
//
// 8-bit masks are stored as they are. 32-bit sub-pixel masks are stored
// unpacked, one grey pixel per sub-pixel (8 x 4 per mask pixel, 255 where
// covered), which keeps every bit and shows the sub-pixel pattern when
// the image is opened. On a mismatch the actual image and a diff (255
// where they differ) are written to the test output folder;
// Y32PATH_REGEN_GOLDEN=1 rewrites the goldens instead (look at them before
// committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/path_to_buf.h"
#include "support/path_fixture.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace {

using testing_support::PathTest;

struct Case {
    const char *name;
    const char *svg;
    int32_t format, even_odd, antialias, mode;
    double scale;
    int32_t margin;
    int32_t outline_only_from = -1;  // subpaths from this index get the outline-only flag
};

const char *const kGlyph =
    "M30 8 C14 8 6 18 6 30 C6 44 18 48 30 52 C40 55 46 58 46 66 C46 74 38 78 30 78 C20 78 12 73 9 66 L4 70 "
    "C9 80 19 86 30 86 C45 86 54 77 54 65 C54 52 43 48 31 44 C21 41 14 38 14 30 C14 22 21 16 30 16 "
    "C38 16 44 20 47 26 L52 22 C48 13 40 8 30 8 Z";
const char *const kStar = "M50 2 L79 92 L2 36 L98 36 L21 92 Z";
const char *const kRings =
    "M40 4 C60 4 76 20 76 40 C76 60 60 76 40 76 C20 76 4 60 4 40 C4 20 20 4 40 4 Z "
    "M40 20 C29 20 20 29 20 40 C20 51 29 60 40 60 C51 60 60 51 60 40 C60 29 51 20 40 20 Z";

const Case kCases[] = {
    {"triangle_aa", "M10 10 L90 10 L50 80 Z", 0, 0, 1, 0, 1.0, 0},
    {"triangle_hard", "M10 10 L90 10 L50 80 Z", 0, 0, 0, 0, 1.0, 0},
    {"star_nonzero_aa", kStar, 0, 0, 1, 0, 1.0, 0},
    {"star_evenodd_aa4", kStar, 0, 1, 999, 0, 1.0, 0},
    {"rings_evenodd_aa", kRings, 0, 1, 1, 0, 1.0, 2},
    {"glyph_aa_scaled", kGlyph, 0, 0, 1, 0, 1.75, 0},
    {"glyph_hard", kGlyph, 0, 0, 0, 0, 1.0, 0},
    {"glyph_sub32", kGlyph, 4, 0, 1, 0, 1.0, 0},
    {"star_sub32_evenodd", kStar, 4, 1, 0, 0, 0.5, 0},
    {"glyph_f16_x3", kGlyph, 16, 0, 1, 0, 3.0, 0},
    {"rings_f16_hard", kRings, 16, 1, 0, 0, 2.5, 0},
    {"glyph_outline_hard", kGlyph, 0, 0, 0, 1, 1.0, 0},
    {"rings_outline_aa", kRings, 0, 0, 1, 1, 1.0, 0},
    {"rings_mode3_aa", kRings, 0, 0, 1, 3, 1.0, 0},
    {"rings_inner_outline_only", kRings, 0, 0, 1, 0, 1.0, 0, 1},
};

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> px;
};

Image ToImage(PathBuf buf) {
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(buf, &w, &h, &depth);
    Image img;
    const uint8_t *src = static_cast<const uint8_t *>(buf);
    if (depth != 32) {
        img.width = w;
        img.height = h;
        img.px.assign(src, src + static_cast<size_t>(w) * h);
        return img;
    }
    img.width = w * 8;
    img.height = h * 4;
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t k = 0; k < 4; ++k) {
                uint8_t byte = src[(static_cast<size_t>(y) * w + x) * 4 + k];
                for (uint32_t b = 0; b < 8; ++b)
                    img.px[static_cast<size_t>(y * 4 + k) * img.width + x * 8 + b] =
                        (byte & (0x80u >> b)) ? 0 : 255;
            }
    return img;
}

class MasksGoldenTest : public PathTest, public ::testing::WithParamInterface<Case> {};

TEST_P(MasksGoldenTest, MatchesGolden) {
    const Case &c = GetParam();
    std::string error;
    KyPath *p = kypath::ParseSvgPath(c.svg, &error);
    ASSERT_NE(p, nullptr) << error;
    int32_t index = 0;
    for (KyPath *r = p; r; r = r->next, ++index)
        if (c.outline_only_from >= 0 && index >= c.outline_only_from) r->flags |= 0x10000000u;

    // Both fillers render every golden.
    std::vector<Image> images;
    for (raster::FillImpl impl : {raster::FillImpl::kFast, raster::FillImpl::kReference}) {
        raster::ToBufOptions o;
        o.format = c.format;
        o.even_odd = c.even_odd;
        o.antialias = c.antialias;
        o.mode = c.mode;
        o.scale = DbToFix(c.scale);
        o.margin = c.margin;
        o.impl = impl;
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        ASSERT_EQ(raster::PathToBuf(p, o, &rects, &bufs), 1);
        images.push_back(ToImage(bufs[0]));
        KyPathBufFree(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    KyPathDeletePtr(p, 0);
    const Image &img = images[0];
    EXPECT_EQ(img.px, images[1].px) << "fast and reference fillers disagree";

    std::string golden = std::string(Y32PATH_TEST_DATA) + "/raster/" + c.name + ".png";
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        std::filesystem::create_directories(std::string(Y32PATH_TEST_DATA) + "/raster");
        ASSERT_TRUE(kypath::WritePngGray(golden, img.px.data(), img.width, img.height, img.width, &error)) << error;
        GTEST_SKIP() << "regenerated " << golden;
    }
    Image want;
    ASSERT_TRUE(kypath::ReadPngGray(golden, &want.px, &want.width, &want.height, &error))
        << error << " (run with Y32PATH_REGEN_GOLDEN=1 to create it)";
    bool same = want.width == img.width && want.height == img.height && want.px == img.px;
    if (!same) {
        std::string out = std::string(Y32PATH_TEST_OUT) + "/raster";
        std::filesystem::create_directories(out);
        kypath::WritePngGray(out + "/" + c.name + ".actual.png", img.px.data(), img.width, img.height, img.width,
                             nullptr);
        if (want.width == img.width && want.height == img.height) {
            std::vector<uint8_t> diff(img.px.size());
            size_t n = 0;
            for (size_t i = 0; i < diff.size(); ++i) {
                diff[i] = img.px[i] != want.px[i] ? 255 : 0;
                n += diff[i] != 0;
            }
            kypath::WritePngGray(out + "/" + c.name + ".diff.png", diff.data(), img.width, img.height, img.width,
                                 nullptr);
            ADD_FAILURE() << c.name << ": " << n << " pixels differ; actual and diff written to " << out;
        } else {
            ADD_FAILURE() << c.name << ": size " << img.width << "x" << img.height << ", golden " << want.width << "x"
                          << want.height << "; actual written to " << out;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Masks, MasksGoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &param_info) { return std::string(param_info.param.name); });

}  // namespace
