// tools/kypath-edit/render.cpp - the render command: the selected paths
// filled, bevelled and shaded, laid onto the document image.
//
// The coverage masks of the selected groups come from one rasterisation
// of the selection; each group's relief maps are built from its first
// subpath (the relief builder covers its whole group chain) over the same
// rectangle. A group whose maps do not match its mask is left out rather
// than shaded through the wrong pixels.
#include <cstring>
#include <memory>
#include <vector>

#include "tools/kypath-edit/editor.h"

namespace kedit {

namespace {

struct BufGuard {
    PathBuf b = nullptr;
    ~BufGuard() {
        if (b) KyPathBufFree(b);
    }
};

// Light from the upper left, towards the viewer.
constexpr double kLight[3] = {-0.5773502, -0.5773502, 0.5773502};
constexpr uint32_t kMetalHighlight = 0xE0E0E0;

bool ShadeOne(KyPath *head, PathBuf mask, const Y32Rect &rect, const RenderSettings &s, std::vector<uint8_t> *image,
              int32_t width, int32_t height) {
    BufGuard dist, vec, shaded;
    dist.b = reinterpret_cast<PathBuf>(1);  // asks for the map
    vec.b = reinterpret_cast<PathBuf>(1);
    double bevel = s.bevel;
    if (!KyPathVMap(head, &dist.b, &vec.b, 0, 0, 0, 0, 0, &bevel, 0, 0, nullptr, nullptr, DbToFix(1.0)) || !dist.b ||
        !vec.b) {
        dist.b = vec.b = nullptr;
        return false;
    }
    uint32_t w = 0, h = 0, vw = 0, vh = 0;
    KyPathBufGetWHU(mask, &w, &h, nullptr);
    KyPathBufGetWHU(vec.b, &vw, &vh, nullptr);
    if (w != vw || h != vh || w == 0 || h == 0) return false;

    shaded.b = KyPathBufAlloc(24, w, h, 1, 0, 0);
    if (!shaded.b) return false;
    uint8_t *img = static_cast<uint8_t *>(shaded.b);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) std::memcpy(img + i * 3, s.colour, 3);
    ShadingGammaToMap();
    int32_t ok = 0;
    if (s.shader == 1) {
        ok = KyPathSetMetallicEffect(1) &&
             KyPathShadeMetallic(shaded.b, bevel, 0, 0, 0, 0, dist.b, vec.b, 0, mask, nullptr, 0, 50, 50, kLight[0],
                                 kLight[1], kLight[2], kMetalHighlight, nullptr, 0, 0, nullptr);
    } else {
        ok = KyPathShadePhong(shaded.b, bevel, 0, 0, 0, 0, dist.b, vec.b, 0, mask, nullptr, 0, 50, 50, kLight[0],
                              kLight[1], kLight[2], 0, 0, 0, nullptr);
    }
    if (!ok) return false;

    // The mask is the coverage: each pixel blends the shaded colour over
    // the image by it.
    const uint8_t *m = static_cast<const uint8_t *>(mask);
    for (uint32_t y = 0; y < h; ++y) {
        const int64_t iy = int64_t{rect.top} + y;
        if (iy < 0 || iy >= height) continue;
        for (uint32_t x = 0; x < w; ++x) {
            const int64_t ix = int64_t{rect.left} + x;
            if (ix < 0 || ix >= width) continue;
            const size_t s_i = static_cast<size_t>(y) * w + x;
            const uint32_t a = m[s_i];
            if (!a) continue;
            uint8_t *d = &(*image)[(static_cast<size_t>(iy) * width + ix) * 3];
            for (int k = 0; k < 3; ++k)
                d[k] = static_cast<uint8_t>((img[s_i * 3 + k] * a + d[k] * (255 - a) + 127) / 255);
        }
    }
    return true;
}

}  // namespace

int32_t RenderSelection(PathTable *table, const RenderSettings &settings, std::vector<uint8_t> *image, int32_t width,
                        int32_t height, std::string *error) {
    KyPath *sel = nullptr;
    KyPathFind(table, nullptr, nullptr, &sel, nullptr);
    if (!sel) {
        *error = "select a path to render";
        return 0;
    }
    // The first record of every selected group, in selection order, which
    // is the order of the masks.
    std::vector<KyPath *> heads;
    for (KyPath *p = sel; p; p = p->selNext)
        if (!p->groupPrev) heads.push_back(p);

    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    const int32_t n = KyPathToBuf(sel, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, 0);
    if (n < 1 || !rects || !bufs) {
        *error = "the selection gave no pixels";
        return 0;
    }
    int32_t done = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (static_cast<size_t>(i) < heads.size() &&
            ShadeOne(heads[i], bufs[i], rects[i], settings, image, width, height))
            ++done;
        KyPathBufFree(bufs[i]);
    }
    GlobalFree(rects);
    GlobalFree(bufs);
    if (!done) *error = "the selection could not be shaded (out of memory or no relief)";
    return done;
}

}  // namespace kedit
