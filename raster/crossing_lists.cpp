// raster/crossing_lists.cpp - whole-buffer crossing lists with segment tags.
#include "raster/crossing_lists.h"

#include <algorithm>
#include <cstring>

#include "core/memory.h"

namespace raster {

namespace {

// The sub-scanline arithmetic of the fillers with one sample per line.
SubRange LinesCrossed(double lo, double hi, uint32_t lines) { return CrossedSubs(lo, hi, 1, 0, lines); }

inline bool Before(const TaggedCrossing &a, const TaggedCrossing &b) {
    if (a.x != b.x) return a.x < b.x;
    if (a.dir != b.dir) return a.dir < b.dir;
    return a.segment < b.segment;
}

}  // namespace

bool BuildCrossingLists(const TaggedEdge *edges, size_t count, uint32_t lines, bool columns, CrossingLists *out) {
    *out = CrossingLists{};
    auto *start = static_cast<uint32_t *>(mem::MemAlloc(mem::kZeroInit, (static_cast<size_t>(lines) + 1) * sizeof(uint32_t)));
    if (!start) return false;
    // Pass 1: how many crossings each line gets (counted one slot ahead, so
    // the running sum below turns the counts into start offsets).
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const TaggedEdge &e = edges[i];
        double a0 = columns ? e.x0 : e.y0, a1 = columns ? e.x1 : e.y1;
        if (a0 == a1) continue;
        SubRange r = LinesCrossed(a0 < a1 ? a0 : a1, a0 < a1 ? a1 : a0, lines);
        for (int64_t g = r.first; g < r.last; ++g) ++start[g + 1];
        if (r.last > r.first) total += static_cast<uint64_t>(r.last - r.first);
    }
    if (total > UINT32_MAX / 2) {
        mem::MemFree(start);
        return false;
    }
    for (uint32_t k = 0; k < lines; ++k) start[k + 1] += start[k];
    auto *items = static_cast<TaggedCrossing *>(mem::MemAlloc(0, (total ? total : 1) * sizeof(TaggedCrossing)));
    auto *fill = static_cast<uint32_t *>(mem::MemAlloc(0, (static_cast<size_t>(lines) + 1) * sizeof(uint32_t)));
    if (!items || !fill) {
        if (items) mem::MemFree(items);
        if (fill) mem::MemFree(fill);
        mem::MemFree(start);
        return false;
    }
    std::memcpy(fill, start, (static_cast<size_t>(lines) + 1) * sizeof(uint32_t));
    // Pass 2: place them.
    for (size_t i = 0; i < count; ++i) {
        const TaggedEdge &e = edges[i];
        // In the column lists the roles of x and y are exchanged.
        double u0 = columns ? e.y0 : e.x0, v0 = columns ? e.x0 : e.y0;
        double u1 = columns ? e.y1 : e.x1, v1 = columns ? e.x1 : e.y1;
        if (v0 == v1) continue;
        int8_t dir = v1 > v0 ? 1 : -1;
        SubRange r = LinesCrossed(v0 < v1 ? v0 : v1, v0 < v1 ? v1 : v0, lines);
        for (int64_t g = r.first; g < r.last; ++g) {
            double ys = SubY(g, 1);
            double u = CrossingX(u0, v0, u1, v1, ys);
            double t = e.t0 + (ys - v0) / (v1 - v0) * (e.t1 - e.t0);
            items[fill[g]++] = TaggedCrossing{u, t, e.segment, dir, 0, 0};
        }
    }
    mem::MemFree(fill);
    // Lists are short (a handful of crossings per line for ordinary
    // outlines), where insertion sort beats a general sort; long ones (a
    // page of text) go to std::sort.
    for (uint32_t k = 0; k < lines; ++k) {
        TaggedCrossing *b = items + start[k], *en = items + start[k + 1];
        if (en - b > 32) {
            std::sort(b, en, Before);
            continue;
        }
        for (TaggedCrossing *p = b + 1; p < en; ++p) {
            TaggedCrossing c = *p;
            TaggedCrossing *q = p;
            while (q > b && Before(c, q[-1])) {
                *q = q[-1];
                --q;
            }
            *q = c;
        }
    }
    out->lines = lines;
    out->start = start;
    out->items = items;
    return true;
}

void MarkSpans(CrossingLists *lists, bool even_odd) {
    for (uint32_t k = 0; k < lists->lines; ++k) {
        TaggedCrossing *b = lists->items + lists->start[k], *e = lists->items + lists->start[k + 1];
        if (even_odd) {
            uint8_t enter = 1;
            for (TaggedCrossing *p = b; p < e; ++p) {
                p->enter = enter;
                p->hidden = 0;
                enter = static_cast<uint8_t>(1 - enter);
            }
            continue;
        }
        int32_t winding = 0;
        for (TaggedCrossing *p = b; p < e; ++p) {
            int32_t before = winding;
            winding += p->dir;
            p->enter = before == 0 ? 1 : 0;
            // Nonzero on both sides: inside the fill, not its outline.
            p->hidden = before != 0 && winding != 0 ? 1 : 0;
        }
    }
}

void FreeCrossingLists(CrossingLists *lists) {
    if (lists->start) mem::MemFree(lists->start);
    if (lists->items) mem::MemFree(lists->items);
    *lists = CrossingLists{};
}

}  // namespace raster
