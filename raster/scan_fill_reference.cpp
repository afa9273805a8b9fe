// raster/scan_fill_reference.cpp - the filler written the plain way.
//
// Band by band (50 rows): an edge table with one crossing list per
// sub-scanline, every edge of every subpath walked again for each band,
// each list sorted with qsort, spans accumulated in doubles and each row
// converted once. Slow and obvious on purpose: the fast filler must give
// the same bytes, and tests hold it to that.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/memory.h"
#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"

namespace raster {

namespace {

struct Crossing {
    double x;
    int32_t dir;  // +1 edge going down the buffer (y growing), -1 going up
};

// Crossing list: a private-heap block with room for a multiple of 50.
struct CrossingList {
    int32_t count;
    int32_t room;
    Crossing items[1];
};
constexpr int32_t kListStep = 50;

size_t ListBytes(int32_t room) { return offsetof(CrossingList, items) + sizeof(Crossing) * static_cast<size_t>(room); }

bool Append(CrossingList **slot, double x, int32_t dir) {
    CrossingList *list = *slot;
    if (!list) {
        list = static_cast<CrossingList *>(mem::PathAlloc(ListBytes(kListStep)));
        if (!list) return false;
        list->room = kListStep;
        *slot = list;
    } else if (list->count == list->room) {
        int32_t room = (list->count / kListStep + 1) * kListStep;
        auto *grown = static_cast<CrossingList *>(mem::PathReAlloc(list, ListBytes(room)));
        if (!grown) return false;
        grown->room = room;
        *slot = list = grown;
    }
    list->items[list->count++] = Crossing{x, dir};
    return true;
}

int CompareCrossings(const void *pa, const void *pb) {
    const Crossing *a = static_cast<const Crossing *>(pa), *b = static_cast<const Crossing *>(pb);
    if (a->x < b->x) return -1;
    if (a->x > b->x) return 1;
    return (a->dir > b->dir) - (a->dir < b->dir);
}

struct Band {
    int64_t g0, g1;  // global sub-scanlines of the band
    CrossingList **table;
};

// Adds the crossings of one straight edge to the band's lists.
bool AddEdge(Band &band, int32_t subs, double x0, double y0, double x1, double y1) {
    if (y0 == y1) return true;
    int32_t dir = y1 > y0 ? 1 : -1;
    double ylo = y0 < y1 ? y0 : y1, yhi = y0 < y1 ? y1 : y0;
    SubRange r = CrossedSubs(ylo, yhi, subs, band.g0, band.g1);
    for (int64_t g = r.first; g < r.last; ++g) {
        double x = CrossingX(x0, y0, x1, y1, SubY(g, subs));
        if (!Append(&band.table[g - band.g0], x, dir)) return false;
    }
    return true;
}

// Turns one sorted list into spans and hands each to span(a, b).
template <class Span>
void Spans(const CrossingList *list, bool even_odd, Span &&span) {
    int32_t n = list->count;
    if (n < 2) return;
    if (even_odd) {
        for (int32_t i = 0; i + 1 < n; i += 2) span(list->items[i].x, list->items[i + 1].x);
        return;
    }
    int32_t winding = 0;
    double start = 0;
    for (int32_t i = 0; i < n; ++i) {
        int32_t before = winding;
        winding += list->items[i].dir;
        if (before == 0 && winding != 0) start = list->items[i].x;
        else if (before != 0 && winding == 0) span(start, list->items[i].x);
    }
    if (winding != 0) span(start, list->items[n - 1].x);
}

double Clip(double v, double width) { return v < 0 ? 0 : (v > width ? width : v); }

}  // namespace

bool ScanFillReference(const KyPath *head, const FillSpec &spec, PathBuf buf, int32_t band_rows) {
    const int32_t depth = pbuf::Depth(buf);
    const uint32_t width = pbuf::Width(buf), height = pbuf::Height(buf);
    const int32_t subs = spec.subs;
    const double dwidth = width;
    if (depth == 32) ClearMask32(buf);
    if (width == 0 || height == 0) return true;

    // One accumulator per pixel plus a slack slot for spans ending on the
    // right border.
    double *acc = nullptr;
    if (depth != 32) {
        acc = static_cast<double *>(mem::MemAlloc(mem::kZeroInit, (width + 2) * sizeof(double)));
        if (!acc) return false;
    }
    const double w = 256.0 / subs;
    bool ok = true;

    for (uint32_t band_top = 0; ok && band_top < height; band_top += static_cast<uint32_t>(band_rows)) {
        uint32_t rows = height - band_top < static_cast<uint32_t>(band_rows) ? height - band_top
                                                                            : static_cast<uint32_t>(band_rows);
        Band band{static_cast<int64_t>(band_top) * subs, static_cast<int64_t>(band_top + rows) * subs, nullptr};
        size_t entries = static_cast<size_t>(rows) * static_cast<size_t>(subs);
        band.table = static_cast<CrossingList **>(mem::PathAlloc(entries * sizeof(CrossingList *)));
        if (!band.table) {
            ok = false;
            break;
        }
        for (const KyPath *p = head; ok && p; p = path::GroupNext(p)) {
            if (IsOutlineOnly(p)) continue;
            ForEachEdge(p, spec.map, [&](double x0, double y0, double x1, double y1) {
                if (ok) ok = AddEdge(band, subs, x0, y0, x1, y1);
            });
        }
        for (size_t i = 0; ok && i < entries; ++i) {
            CrossingList *list = band.table[i];
            uint32_t row = band_top + static_cast<uint32_t>(i / static_cast<size_t>(subs));
            uint32_t sub = static_cast<uint32_t>(i % static_cast<size_t>(subs));
            if (list) qsort(list->items, static_cast<size_t>(list->count), sizeof(Crossing), CompareCrossings);
            if (depth == 32) {
                uint8_t *line = pbuf::Row(buf, row);
                if (list)
                    Spans(list, spec.even_odd, [&](double a, double b) {
                        a = Clip(a, dwidth);
                        b = Clip(b, dwidth);
                        if (!(a < b)) return;
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
                    });
                continue;
            }
            if (list)
                Spans(list, spec.even_odd, [&](double a, double b) {
                    a = Clip(a, dwidth);
                    b = Clip(b, dwidth);
                    if (!(a < b)) return;
                    double ia = std::floor(a), ib = std::floor(b);
                    double fa = a - ia, fb = b - ib;
                    uint32_t pa = static_cast<uint32_t>(ia), pb = static_cast<uint32_t>(ib);
                    if (pa == pb) {
                        acc[pa] += fb - fa;
                        return;
                    }
                    acc[pa] += 1.0 - fa;
                    for (uint32_t px = pa + 1; px < pb; ++px) acc[px] += 1.0;
                    acc[pb] += fb;
                });
            if (sub == static_cast<uint32_t>(subs - 1)) {
                uint8_t *line = pbuf::Row(buf, row);
                for (uint32_t px = 0; px <= width; ++px) {
                    double v = acc[px];
                    if (v == 0.0) continue;
                    acc[px] = 0.0;
                    if (px == width) continue;  // slack
                    int32_t byte;
                    if (spec.hard) {
                        int32_t t = static_cast<int32_t>(v * w - 1.0);
                        byte = (t & 0xFF) >= 115 ? 255 : 0;
                    } else {
                        byte = static_cast<int32_t>(v * w - 0.98);
                        byte = byte < 0 ? 0 : (byte > 255 ? 255 : byte);
                    }
                    line[px] = static_cast<uint8_t>(byte);
                }
            }
        }
        for (size_t i = 0; i < entries; ++i)
            if (band.table[i]) mem::PathFree(band.table[i]);
        mem::PathFree(band.table);
    }
    if (acc) mem::MemFree(acc);
    return ok;
}

}  // namespace raster
