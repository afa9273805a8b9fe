// shading/masks.cpp - masks derived from the bevelled surface: the glass
// transparency mask and the highlight mask.
//
// Transparency. Glass looks clear where it is seen face on and dense where
// the surface turns away (a longer path through it, more reflection). The
// table maps |Nz| (1 face on, 0 at the steepest) to an opacity factor:
//   f = 255 - face (1 when face is 255, so a mask never drops to 0 where
//   it was set and the object keeps its extent), e = edge,
//   entry[trunc(t x 1000)] = trunc((1 - t)^1.5 x (255 - e - f) + f)
// for t = 0 .. 0.999, and f from 1000 on (|Nz| = 1 reads entry 1000).
// Both ends lie within 0..255 (255 - e at t = 0, f at t = 1), so no entry
// needs clamping. The table is library-wide and rebuilt only when the pair
// (face, edge) changes.
//
// Highlight. A light's mirror image is seen where the normal points
// halfway between the light and the viewer, H = normalise(L + (0, 0, 1)).
// 0.0088 per component is about half a degree: on a bevel a few pixels
// wide this marks a spot of a pixel or two.
#include <cmath>
#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "raster/pixel_buffer.h"
#include "shading/light_model.h"
#include "y32path/shading.h"

namespace shade {

namespace {

constexpr int kTransparencyEntries = 1024;

struct TransparencyTable {
    bool valid = false;
    int32_t face = 0, edge = 0;
    uint8_t entry[kTransparencyEntries];
};
TransparencyTable g_transparency;

const uint8_t *Transparency(int32_t face, int32_t edge) {
    TransparencyTable &t = g_transparency;
    if (t.valid && t.face == face && t.edge == edge) return t.entry;
    const int32_t f = face == 255 ? 1 : 255 - face;
    for (int i = 0; i < 1000; ++i) {
        const double x = i * 0.001;
        t.entry[i] = static_cast<uint8_t>(std::pow(1.0 - x, 1.5) * (255 - edge - f) + f);
    }
    for (int i = 1000; i < kTransparencyEntries; ++i) t.entry[i] = static_cast<uint8_t>(f);
    t.valid = true;
    t.face = face;
    t.edge = edge;
    return t.entry;
}

}  // namespace

}  // namespace shade

using namespace shade;

Y32_BEGIN_C

int32_t KyPathTransparentMask(PathBuf mask, int32_t facePercent, int32_t edgePercent, double W, int32_t kind,
                              int32_t invert, int32_t depth, int32_t vectorFormat, ReliefVectorMap vectorMap,
                              int32_t blendMode, int32_t bumpPercent, PathBuf bumpMap) {
    if (!mask || !vectorMap) return 0;
    const uint32_t w = pbuf::Width(mask), h = pbuf::Height(mask);
    const bool bump = bumpPercent != 0 && bumpMap;
    // Outside 0..100 the table's two ends would leave the byte range.
    if (facePercent < 0 || facePercent > 100 || edgePercent < 0 || edgePercent > 100 || pbuf::Depth(mask) != 8 ||
        !Fits(vectorMap, 64, w, h) || (bump && !Fits(bumpMap, 8, w, h))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return 0;
    }
    const uint8_t *table = Transparency(facePercent * 255 / 100, edgePercent * 255 / 100);
    const Bevel bevel = MakeBevel(W, kind, invert, depth, blendMode);
    SurfaceMaps maps;
    maps.width = w;
    maps.height = h;
    maps.vec = vectorMap;
    maps.float_layout = vectorFormat != 0;
    maps.bump = bump ? bumpMap : nullptr;
    maps.bump_scale = bump ? bumpPercent * 0.01 / 128.0 : 0.0;
    uint8_t *m = static_cast<uint8_t *>(mask);
    Normals normals;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x, ++m) {
            if (*m == 0) continue;
            SurfaceAt(bevel, maps, x, y, &normals);
            const double nz = std::fabs(MixedNormal(normals).z);
            const int i = nz >= 1.0 ? 1000 : (nz > 0.0 ? static_cast<int>(nz * 1000.0) : 0);
            *m = static_cast<uint8_t>(*m * table[i] / 255);
        }
    }
    return 1;
}

int32_t KyPathGetHighlightMask(uint8_t *out, int32_t width, int32_t height, int32_t x0, int32_t y0, double W,
                               int32_t kind, int32_t invert, int32_t depth, int32_t vectorFormat,
                               ReliefVectorMap vectorMap, int32_t blendMode, const double *lightDirection) {
    if (!out || !vectorMap || !lightDirection) return 0;
    if (width < 0 || height < 0 || pbuf::Depth(vectorMap) != 64) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return 0;
    }
    std::memset(out, 0, static_cast<size_t>(width) * static_cast<size_t>(height));
    Vec3 hv{lightDirection[0], lightDirection[1], lightDirection[2] + 1.0};
    const double len = std::sqrt(hv.x * hv.x + hv.y * hv.y + hv.z * hv.z);
    if (len > 0.0) hv = Vec3{hv.x / len, hv.y / len, hv.z / len};
    // Straight above, every flat pixel would match: one mark is enough to
    // tell the host where the light is seen.
    const bool overhead = hv.x == 0.0 && hv.y == 0.0 && hv.z == 1.0;
    const Bevel bevel = MakeBevel(W, kind, invert, depth, blendMode);
    SurfaceMaps maps;
    maps.width = pbuf::Width(vectorMap);
    maps.height = pbuf::Height(vectorMap);
    maps.vec = vectorMap;
    maps.float_layout = vectorFormat != 0;
    // Only the part of the rectangle that lies on the map (64-bit
    // arithmetic: x0 + width may leave the 32-bit range).
    const int64_t ya = y0 < 0 ? 0 : y0, yb = std::min<int64_t>(static_cast<int64_t>(y0) + height, maps.height);
    const int64_t xa = x0 < 0 ? 0 : x0, xb = std::min<int64_t>(static_cast<int64_t>(x0) + width, maps.width);
    Normals normals;
    for (int64_t y = ya; y < yb; ++y) {
        for (int64_t x = xa; x < xb; ++x) {
            SurfaceAt(bevel, maps, static_cast<uint32_t>(x), static_cast<uint32_t>(y), &normals);
            const Vec3 n = MixedNormal(normals);
            if (std::fabs(n.x - hv.x) < 0.0088 && std::fabs(n.y - hv.y) < 0.0088 && std::fabs(n.z - hv.z) < 0.0088) {
                out[static_cast<size_t>(y - y0) * static_cast<size_t>(width) + static_cast<size_t>(x - x0)] = 1;
                if (overhead) return 1;
            }
        }
    }
    return 1;
}

Y32_END_C
