// tests/raster/raster_support.h - rendering helpers for the raster tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "raster/path_to_buf.h"
#include "raster/pixel_buffer.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Path.h"

namespace raster_support {

struct Mask {
    Y32Rect rect{};
    uint32_t width = 0, height = 0;
    int32_t depth = 0;
    std::vector<uint8_t> bytes;

    size_t Bpp() const { return depth == 32 ? 4 : 1; }
    uint8_t At(int32_t x, int32_t y) const { return bytes[static_cast<size_t>(y) * width + static_cast<size_t>(x)]; }
    // Value at image pixel (x, y); 0 outside the mask.
    uint8_t AtImage(int32_t x, int32_t y) const {
        int32_t c = x - rect.left, r = y - rect.top;
        if (c < 0 || r < 0 || c >= static_cast<int32_t>(width) || r >= static_cast<int32_t>(height)) return 0;
        return At(c, r);
    }
    uint32_t Word(int32_t x, int32_t y) const {
        uint32_t w;
        std::memcpy(&w, &bytes[(static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4], 4);
        return w;
    }
};

inline Mask Copy(PathBuf b, const Y32Rect &r) {
    Mask m;
    m.rect = r;
    KyPathBufGetWHU(b, &m.width, &m.height, &m.depth);
    m.bytes.assign(static_cast<uint8_t *>(b),
                   static_cast<uint8_t *>(b) + static_cast<size_t>(m.width) * m.height * (m.depth == 32 ? 4 : 1));
    return m;
}

// Renders and frees everything KyPathToBuf handed out.
inline std::vector<Mask> Render(KyPath *p, const raster::ToBufOptions &opt) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    int32_t n = raster::PathToBuf(p, opt, &rects, &bufs);
    std::vector<Mask> out;
    for (int32_t i = 0; i < n; ++i) {
        out.push_back(Copy(bufs[i], rects[i]));
        KyPathBufFree(bufs[i]);
    }
    if (rects) GlobalFree(rects);
    if (bufs) GlobalFree(bufs);
    return out;
}

inline raster::ToBufOptions Options(int32_t format, int32_t even_odd, int32_t antialias, int32_t mode = 0,
                                    double scale = 1.0, int32_t margin = 0) {
    raster::ToBufOptions o;
    o.format = format;
    o.even_odd = even_odd;
    o.antialias = antialias;
    o.mode = mode;
    o.scale = DbToFix(scale);
    o.margin = margin;
    return o;
}

// A closed polygon record from pixel coordinates.
inline KyPath *Polygon(const std::vector<std::pair<double, double>> &pts) {
    KyPath *p = KyPathCreate();
    for (size_t i = 0; i <= pts.size(); ++i) {
        const auto &pt = pts[i % pts.size()];
        FIXED xy[2] = {DbToFix(pt.first), DbToFix(pt.second)};
        uint32_t type = i == 0 ? PT_MOVETO : (i == pts.size() ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        KyPathAddPoint(&p, xy, type);
    }
    return p;
}

inline KyPath *Rect(double x0, double y0, double x1, double y1) {
    return Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

}  // namespace raster_support
