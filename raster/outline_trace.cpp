// raster/outline_trace.cpp - the hard and anti-aliased outline tracers.
#include "raster/outline_trace.h"

#include <cmath>
#include <cstring>

#include "raster/pixel_buffer.h"

namespace raster {

namespace {

struct Target {
    PathBuf buf;
    uint32_t width, height;
    bool mask32;

    void Put(int64_t x, int64_t y, int32_t value) {
        if (x < 0 || y < 0 || x >= width || y >= height || value <= 0) return;
        uint8_t *line = pbuf::Row(buf, static_cast<uint32_t>(y));
        if (mask32) {
            if (value >= 128) std::memset(line + x * 4, 0, 4);
            return;
        }
        if (line[x] < value) line[x] = static_cast<uint8_t>(value);
    }
};

// Clamps a double to the range of pixel indices worth visiting.
int64_t Index(double v, int64_t lo, int64_t hi) {
    if (!(v > static_cast<double>(lo))) return lo;  // also NaN
    if (v > static_cast<double>(hi)) return hi;
    return static_cast<int64_t>(std::floor(v));
}

// Walks one chord with (u, v) the major and minor axes; put(u, v, value).
template <class Put>
void Walk(double u0, double v0, double u1, double v1, int64_t u_limit, bool antialias, Put &&put) {
    double umin = u0 < u1 ? u0 : u1, umax = u0 < u1 ? u1 : u0;
    int64_t first = Index(umin, -1, u_limit), last = Index(umax, -1, u_limit);
    if (first < 0) first = 0;
    double du = u1 - u0, dv = v1 - v0;
    for (int64_t c = first; c <= last && c < u_limit; ++c) {
        double u = static_cast<double>(c) + 0.5;
        if (u < umin) u = umin;
        if (u > umax) u = umax;
        double v = du != 0 ? v0 + (u - u0) * dv / du : v0;
        if (!antialias) {
            put(c, std::floor(v), 255);
            continue;
        }
        double vc = v - 0.5;
        double r0 = std::floor(vc);
        double f = vc - r0;
        int32_t w = static_cast<int32_t>((1.0 - f) * 255 + 0.5);
        put(c, r0, w);
        put(c, r0 + 1, 255 - w);
    }
}

}  // namespace

void TraceRecord(const KyPath *p, const Mapping &map, bool antialias, PathBuf buf) {
    Target t{buf, pbuf::Width(buf), pbuf::Height(buf), pbuf::Depth(buf) == 32};
    if (t.width == 0 || t.height == 0) return;
    auto put_at = [&](double x, double y, int32_t value) {
        if (!(x >= 0 && y >= 0 && x < t.width && y < t.height)) return;
        t.Put(static_cast<int64_t>(x), static_cast<int64_t>(y), value);
    };
    ForEachEdge(p, map, [&](double x0, double y0, double x1, double y1) {
        if (std::fabs(x1 - x0) >= std::fabs(y1 - y0)) {
            Walk(x0, y0, x1, y1, t.width, antialias,
                 [&](int64_t c, double r, int32_t value) { put_at(static_cast<double>(c), r, value); });
        } else {
            Walk(y0, x0, y1, x1, t.height, antialias,
                 [&](int64_t r, double c, int32_t value) { put_at(c, static_cast<double>(r), value); });
        }
    });
}

}  // namespace raster
