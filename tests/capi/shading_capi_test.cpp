// Shading through the public header and the shared library, as a host
// calls it: the exports under their exact names (one without the KyPath
// prefix, one with a lower-case p), a square's relief lit by each shader,
// and the refusals.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "y32Path.h"

namespace {

TEST(ShadingCApi, ExportedNames) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name :
         {"KyPathShadePhong", "KyPathShadeMultiPhong", "KyPathAdjPhongIllum", "KypathChangeLightNormal",
          "ShadingGammaToMap", "KyPathSetMetallicEffect", "KyPathAdjMetallicIllum", "KyPathShadeMetallic",
          "KyPathShadeMultiMetallic", "KyPathReflectIt", "KyPathBumpIt", "KyPathTransparentMask",
          "KyPathGetHighlightMask"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

TEST(ShadingCApi, ASquareLitByEachShader) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = KyPathCreate();
    const double pts[5][2] = {{4, 4}, {36, 4}, {36, 28}, {4, 28}, {4, 4}};
    for (int i = 0; i < 5; ++i) {
        FIXED xy[2] = {DbToFix(pts[i][0]), DbToFix(pts[i][1])};
        ASSERT_EQ(KyPathAddPoint(&p, xy, i == 0 ? PT_MOVETO : (i == 4 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO)), 1);
    }
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(p, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, 0), 1);
    PathBuf mask = bufs[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    PathBuf dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
    double w = 6.0;
    ASSERT_EQ(KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &w, 0, 0, nullptr, nullptr, DbToFix(1.0)), 1);
    uint32_t iw = 0, ih = 0;
    KyPathBufGetWHU(mask, &iw, &ih, nullptr);
    PathBuf image = KyPathBufAlloc(24, iw, ih, 1, 0, 0);
    const size_t n = static_cast<size_t>(iw) * ih;
    auto fill = [&] { std::memset(image, 128, n * 3); };
    auto row_of = [&](uint32_t y) { return static_cast<const uint8_t *>(image) + y * iw * 3; };
    // The mask's rectangle has a margin: find the square's first and last
    // full columns on the middle row.
    const uint32_t mid = ih / 2;
    const uint8_t *mrow = static_cast<const uint8_t *>(mask) + mid * iw;
    uint32_t left = 0, right = iw - 1;
    while (left < iw && mrow[left] < 255) ++left;
    while (right > 0 && mrow[right] < 255) --right;
    ASSERT_LT(left + 10, right);

    ASSERT_EQ(ShadingGammaToMap(), 255);
    fill();
    const double d = 0.5773502;
    ASSERT_EQ(KyPathShadePhong(image, w, 0, 0, 0, 0, dist, vec, 0, mask, nullptr, 0, 50, 50, -d, -d, d, 0, 0, 0, nullptr),
              1);
    // Upper left lit, lower right in shade.
    EXPECT_GT(row_of(mid)[left * 3], row_of(mid)[right * 3] + 40);

    fill();
    ASSERT_EQ(KyPathSetMetallicEffect(4), 1);
    ASSERT_EQ(KyPathShadeMetallic(image, w, 1, 0, 0, 0, dist, vec, 0, mask, nullptr, 0, 50, 50, -d, -d, d, 0x00FFD700,
                                  nullptr, 0, 0, nullptr),
              1);
    EXPECT_GT(row_of(mid)[left * 3 + 2], row_of(mid)[right * 3 + 2] + 10);

    // Glass: the face clears, the rim keeps more.
    std::vector<uint8_t> before(static_cast<uint8_t *>(mask), static_cast<uint8_t *>(mask) + n);
    ASSERT_EQ(KyPathTransparentMask(mask, 80, 0, w, 0, 0, 0, 0, vec, 0, 0, nullptr), 1);
    const uint8_t *m = static_cast<const uint8_t *>(mask);
    EXPECT_LT(m[mid * iw + iw / 2], before[mid * iw + iw / 2]);
    EXPECT_GT(m[mid * iw + left], m[mid * iw + iw / 2]);

    // Refusals: nothing required may be missing.
    EXPECT_EQ(KyPathShadePhong(image, w, 0, 0, 0, 0, dist, nullptr, 0, mask, nullptr, 0, 50, 50, 0, 0, 1, 0, 0, 0,
                               nullptr),
              0);
    EXPECT_EQ(KyPathReflectIt(0, w, vec, image, 0, 0, 0, nullptr, 0, mask, nullptr, 0, nullptr), 0);
    EXPECT_EQ(KyPathGetHighlightMask(nullptr, 4, 4, 0, 0, w, 0, 0, 0, 0, vec, 0, nullptr), 0);
    double dir[3];
    EXPECT_EQ(KypathChangeLightNormal(w, 0, 0, 0, 0, 0, nullptr, 0, 0, dir), 0);

    for (PathBuf b : {mask, dist, vec, image}) KyPathBufFree(b);
    KyPathDeletePtr(p, 0);
}

}  // namespace
