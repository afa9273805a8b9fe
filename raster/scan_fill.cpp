// raster/scan_fill.cpp - the production scanline filler.
//
// Same coverage as the reference (scan_fill_reference.cpp), reached with
// less work:
//  - Edges are flattened once per group, not once per band; an active-edge
//    list ordered by x replaces the per-sub-scanline crossing lists, and an
//    insertion sort replaces qsort (from one sub-scanline to the next the
//    order barely changes, so the sort is close to linear).
//  - Interior pixels of a span are not touched one by one: a difference
//    array counts them and the row pass turns counts back into coverage.
//
// Why the bytes stay identical. The reference adds, per pixel, the
// contributions 1 - frac(a), frac(b), frac(b) - frac(a) and 1.0 in
// sub-scanline order. For a pixel p >= 8 every contribution comes from an
// x in [p, p + 1), so each is an exact multiple of ulp(8) = 2^-49 (the
// subtractions that make them are exact: Sterbenz for x - floor(x), and
// the rest are differences of such multiples below 1). The reference's
// running sum stays below subs <= 16 = 2^53 * 2^-49, so every one of its
// additions is exact too: its result is the exact sum, whatever the order.
// Here the same sum is kept as an integer count of 2^-49 units (partial
// contributions) plus 2^49 per full pixel, and converted once; the
// conversion is exact below 2^53. Pixels 0..7 can see finer contributions
// (x below 8 has a finer ulp), where double addition may round and the
// order matters; they are accumulated in doubles in exactly the reference's
// order. With the usual 5-pixel margin only pixels 4 to 7 ever go that way.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/memory.h"
#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"

namespace raster {

const uint8_t kLeftMask[9] = {0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF};
const uint8_t kRightMask[9] = {0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01, 0x00};

void ClearMask32(PathBuf buf) {
    size_t bytes = static_cast<size_t>(pbuf::Width(buf)) * pbuf::Height(buf) * 4;
    std::memset(buf, 0xFF, bytes);
}

namespace {

constexpr uint32_t kExactFrom = 8;                 // first pixel summed as integers
constexpr double kUnit = 562949953421312.0;        // 2^49
constexpr double kInvUnit = 1.0 / 562949953421312.0;

struct Edge {
    double x0, y0, dx, dy;  // start point and (x1 - x0, y1 - y0)
    double x;               // crossing on the current sub-scanline
    int64_t g0, g1;         // crossed sub-scanlines [g0, g1)
    int32_t dir;
};

// A growable array on the run-time heap (the failure switch reaches it).
template <class T>
struct Array {
    T *data = nullptr;
    size_t size = 0, room = 0;
    ~Array() {
        if (data) mem::MemFree(data);
    }
    bool Push(const T &v) {
        if (size == room) {
            size_t grown = room ? room * 2 : 256;
            T *moved = static_cast<T *>(mem::MemReAlloc(data, grown * sizeof(T), 0));
            if (!moved) return false;
            data = moved;
            room = grown;
        }
        data[size++] = v;
        return true;
    }
    bool Reserve(size_t n) {
        if (n <= room) return true;
        T *moved = static_cast<T *>(mem::MemReAlloc(data, n * sizeof(T), 0));
        if (!moved) return false;
        data = moved;
        room = n;
        return true;
    }
};

inline bool Before(const Edge *a, const Edge *b) { return a->x < b->x || (a->x == b->x && a->dir < b->dir); }

// 8-bit coverage of one pixel row.
struct RowAccumulator {
    double *low = nullptr;   // pixels 0..7 (and the slack when width < 8), in doubles
    int64_t *part = nullptr; // partial contributions in 2^-49 units
    int32_t *diff = nullptr; // +1 where a run of full pixels starts, -1 past its end
    uint32_t width = 0;
    uint32_t lo = UINT32_MAX, hi = 0;  // pixels touched since the last flush

    bool Init(uint32_t w) {
        width = w;
        low = static_cast<double *>(mem::MemAlloc(mem::kZeroInit, (kExactFrom + 1) * sizeof(double)));
        part = static_cast<int64_t *>(mem::MemAlloc(mem::kZeroInit, (w + 2) * sizeof(int64_t)));
        diff = static_cast<int32_t *>(mem::MemAlloc(mem::kZeroInit, (w + 3) * sizeof(int32_t)));
        return low && part && diff;
    }
    ~RowAccumulator() {
        if (low) mem::MemFree(low);
        if (part) mem::MemFree(part);
        if (diff) mem::MemFree(diff);
    }
    void Partial(uint32_t px, double v) {
        if (px < kExactFrom) low[px] += v;
        else part[px] += static_cast<int64_t>(v * kUnit);
    }
    // Span [a, b] with 0 <= a < b <= width.
    void Span(double a, double b) {
        double ia = std::floor(a), ib = std::floor(b);
        double fa = a - ia, fb = b - ib;
        uint32_t pa = static_cast<uint32_t>(ia), pb = static_cast<uint32_t>(ib);
        if (pa < lo) lo = pa;
        if (pb > hi) hi = pb;
        if (pa == pb) {
            Partial(pa, fb - fa);
            return;
        }
        Partial(pa, 1.0 - fa);
        uint32_t px = pa + 1;
        for (; px < pb && px < kExactFrom; ++px) low[px] += 1.0;
        if (px < pb) {
            diff[px] += 1;
            diff[pb] -= 1;
        }
        Partial(pb, fb);
    }
};

inline int32_t ToByte(double v, double w, bool hard) {
    if (hard) {
        int32_t t = static_cast<int32_t>(v * w - 1.0);
        return (t & 0xFF) >= 115 ? 255 : 0;
    }
    int32_t byte = static_cast<int32_t>(v * w - 0.98);
    return byte < 0 ? 0 : (byte > 255 ? 255 : byte);
}

}  // namespace

bool ScanFill(const KyPath *head, const FillSpec &spec, PathBuf buf) {
    const int32_t depth = pbuf::Depth(buf);
    const uint32_t width = pbuf::Width(buf), height = pbuf::Height(buf);
    const int32_t subs = spec.subs;
    const double dwidth = width;
    if (depth == 32) ClearMask32(buf);
    if (width == 0 || height == 0) return true;
    const int64_t g_end = static_cast<int64_t>(height) * subs;

    Array<Edge> edges;
    bool ok = true;
    for (const KyPath *p = head; ok && p; p = path::GroupNext(p)) {
        if (IsOutlineOnly(p)) continue;
        ForEachEdge(p, spec.map, [&](double x0, double y0, double x1, double y1, int32_t) {
            if (!ok || y0 == y1) return;
            double ylo = y0 < y1 ? y0 : y1, yhi = y0 < y1 ? y1 : y0;
            SubRange r = CrossedSubs(ylo, yhi, subs, 0, g_end);
            if (r.first >= r.last) return;
            ok = edges.Push(Edge{x0, y0, x1 - x0, y1 - y0, 0.0, r.first, r.last, y1 > y0 ? 1 : -1});
        });
    }
    if (!ok) return false;
    if (edges.size == 0) return true;
    std::sort(edges.data, edges.data + edges.size, [](const Edge &a, const Edge &b) { return a.g0 < b.g0; });

    Array<Edge *> active;
    if (!active.Reserve(edges.size)) return false;
    RowAccumulator acc;
    if (depth != 32 && !acc.Init(width)) return false;

    const double w = 256.0 / subs;
    uint8_t full_byte[17];
    for (int32_t c = 0; c <= subs && c <= 16; ++c) full_byte[c] = static_cast<uint8_t>(ToByte(c, w, spec.hard));

    size_t next = 0;
    int64_t row = edges.data[0].g0 / subs;
    const int64_t rows = height;
    while (row < rows) {
        if (active.size == 0) {
            if (next == edges.size) break;
            int64_t first = edges.data[next].g0 / subs;
            if (first > row) row = first;
        }
        uint8_t *line = pbuf::Row(buf, static_cast<uint32_t>(row));
        for (int32_t sub = 0; sub < subs; ++sub) {
            const int64_t g = row * subs + sub;
            // Retire finished edges, admit new ones, then move every crossing.
            size_t kept = 0;
            for (size_t i = 0; i < active.size; ++i)
                if (active.data[i]->g1 > g) active.data[kept++] = active.data[i];
            active.size = kept;
            while (next < edges.size && edges.data[next].g0 == g) active.data[active.size++] = &edges.data[next++];
            if (active.size == 0) continue;
            const double ys = SubY(g, subs);
            for (size_t i = 0; i < active.size; ++i) {
                Edge *e = active.data[i];
                e->x = e->x0 + (ys - e->y0) * e->dx / e->dy;
            }
            for (size_t i = 1; i < active.size; ++i) {
                Edge *e = active.data[i];
                size_t j = i;
                while (j > 0 && Before(e, active.data[j - 1])) {
                    active.data[j] = active.data[j - 1];
                    --j;
                }
                active.data[j] = e;
            }
            if (active.size < 2) continue;

            auto span = [&](double a, double b) {
                a = a < 0 ? 0 : (a > dwidth ? dwidth : a);
                b = b < 0 ? 0 : (b > dwidth ? dwidth : b);
                if (!(a < b)) return;
                if (depth != 32) {
                    acc.Span(a, b);
                    return;
                }
                double ia = std::floor(a), ib = std::floor(b);
                int li = static_cast<int>((a - ia) * 8 + 0.5), rj = static_cast<int>((b - ib) * 8 + 0.5);
                uint32_t pa = static_cast<uint32_t>(ia), pb = static_cast<uint32_t>(ib);
                if (pa == pb) {
                    line[pa * 4 + sub] &= static_cast<uint8_t>(kLeftMask[li] | kRightMask[rj]);
                    return;
                }
                line[pa * 4 + sub] &= kLeftMask[li];
                for (uint32_t px = pa + 1; px < pb; ++px) line[px * 4 + sub] = 0;
                if (pb < width) line[pb * 4 + sub] &= kRightMask[rj];
            };
            Edge **list = active.data;
            const size_t n = active.size;
            if (spec.even_odd) {
                for (size_t i = 0; i + 1 < n; i += 2) span(list[i]->x, list[i + 1]->x);
            } else {
                int32_t winding = 0;
                double start = 0;
                for (size_t i = 0; i < n; ++i) {
                    int32_t before = winding;
                    winding += list[i]->dir;
                    if (before == 0 && winding != 0) start = list[i]->x;
                    else if (before != 0 && winding == 0) span(start, list[i]->x);
                }
                if (winding != 0) span(start, list[n - 1]->x);
            }
        }
        if (depth != 32 && acc.lo <= acc.hi) {
            int32_t count = 0;
            for (uint32_t px = acc.lo; px <= acc.hi; ++px) {
                count += acc.diff[px];
                acc.diff[px] = 0;
                double v;
                if (px < kExactFrom) {
                    v = acc.low[px];
                    acc.low[px] = 0.0;  // full pixels below 8 were added here, never counted
                } else {
                    int64_t units = acc.part[px];
                    if (units == 0) {
                        if (count != 0 && px < width) line[px] = full_byte[count];
                        continue;
                    }
                    acc.part[px] = 0;
                    v = static_cast<double>(units + (static_cast<int64_t>(count) << 49)) * kInvUnit;
                }
                if (v == 0.0 || px >= width) continue;
                line[px] = static_cast<uint8_t>(ToByte(v, w, spec.hard));
            }
            acc.diff[acc.hi + 1] = 0;
            acc.lo = UINT32_MAX;
            acc.hi = 0;
        }
        ++row;
    }
    return true;
}

}  // namespace raster
