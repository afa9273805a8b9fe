// raster/edges.h - from path records to straight edges in buffer space.
//
// Both fillers (the fast one and the reference), the outline tracers and
// the relief builders see a path as a sequence of straight edges in the
// buffer's sample space; this file is the one place that produces them.
//
// Sample space. A coordinate becomes x' = x * scale - left and
// y' = y * scale - top (doubles; x, y and scale converted from 16.16).
// Pixel (c, r) of the buffer covers [c, c + 1) x [r, r + 1). A coordinate
// that comes out exactly integral is moved by +0.00001, so no vertex lies
// on a pixel border: an axis-aligned rectangle on whole pixels then covers
// its border pixels by 0.99999 (which the fillers' bias rounds to full)
// and its outside neighbours by 0.00001 (which rounds to nothing).
//
// Sub-scanlines. A row is sampled `subs` times (1, 4 or 16); global
// sub-scanline g lies at y' = (g + 0.5) / subs, the centre of its slice of
// the row, so a horizontal border on a whole pixel never coincides with a
// sample. An edge from y0 to y1 is crossed by the sub-scanlines whose
// position lies in [min(y0, y1), max(y0, y1)): half-open, so a vertex
// shared by two edges is counted once and a horizontal edge never.
// ylo * subs is exact (subs is a power of two) and so is the - 0.5, which
// makes the index range below exact as well.
//
// Curves are flattened by the shared forward-differencing walk with the
// rasteriser's thresholds (afd::RasterParams), in sample space: the first
// chord starts at the mapped start point and the last ends exactly at the
// mapped end point.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/afd.h"
#include "core/fixed.h"
#include "core/point_walk.h"

namespace raster {

inline double Nudge(double v) { return v == std::floor(v) ? v + 0.00001 : v; }

struct Mapping {
    double scale;  // FixToDb(scale)
    double left;   // buffer origin in scaled image pixels
    double top;

    double X(FIXED x) const { return Nudge(fx::ToDouble(x) * scale - left); }
    double Y(FIXED y) const { return Nudge(fx::ToDouble(y) * scale - top); }
};

// First and one-past-last global sub-scanline crossed by an edge spanning
// [ylo, yhi), clamped to [g_min, g_max]. Empty when first >= last.
struct SubRange {
    int64_t first, last;
};
inline SubRange CrossedSubs(double ylo, double yhi, int32_t subs, int64_t g_min, int64_t g_max) {
    auto index = [&](double y) -> int64_t {
        double v = y * subs - 0.5;
        if (!(v > static_cast<double>(g_min))) return g_min;  // also NaN
        if (v > static_cast<double>(g_max)) return g_max;
        // ceil(v) for v within the clamp range, without a library call.
        int64_t g = static_cast<int64_t>(v);
        return static_cast<double>(g) < v ? g + 1 : g;
    };
    return SubRange{index(ylo), index(yhi)};
}

// (g + 0.5) / subs; subs is a power of two, so multiplying by its exact
// reciprocal gives the same double without a division in the hot loops.
inline double SubY(int64_t g, int32_t subs) { return (static_cast<double>(g) + 0.5) * (1.0 / subs); }

// Where the edge (x0, y0) -> (x1, y1) meets the sample line ys. Both
// fillers evaluate exactly this expression, in this order, so their
// crossings agree to the bit.
inline double CrossingX(double x0, double y0, double x1, double y1, double ys) {
    return x0 + (ys - y0) * (x1 - x0) / (y1 - y0);
}

// Every line and chord of the record, in order, in sample space, as
// chains of points: sink.Start(x0, y0) where each segment starts (exactly
// where the one before ended when it continues it), then sink.To(x, y) at
// the end of each of its lines and chords.
template <class Sink>
void ForEachEdgeEnd(const KyPath *p, const Mapping &m, Sink &sink) {
    static constexpr afd::Params prm = afd::RasterParams();
    path::ForEachSegment(p, [&](const path::Segment &s) {
        double x0 = m.X(s.x[0]), y0 = m.Y(s.y[0]);
        sink.Start(x0, y0);
        if (s.kind == path::Segment::kLine) {
            sink.To(m.X(s.x[1]), m.Y(s.y[1]));
            return;
        }
        double px[4] = {x0, m.X(s.x[1]), m.X(s.x[2]), m.X(s.x[3])};
        double py[4] = {y0, m.Y(s.y[1]), m.Y(s.y[2]), m.Y(s.y[3])};
        afd::Flatten(px, py, prm,
                     [&](double x, double y, int32_t, bool) __attribute__((always_inline)) { sink.To(x, y); });
    });
}

// The same lines and chords one at a time: fn(x0, y0, x1, y1).
template <class Fn>
void ForEachEdge(const KyPath *p, const Mapping &m, Fn &&fn) {
    struct Pairs {
        Fn &fn;
        double cx, cy;
        void Start(double x, double y) {
            cx = x;
            cy = y;
        }
        __attribute__((always_inline)) void To(double x, double y) {
            fn(cx, cy, x, y);
            cx = x;
            cy = y;
        }
    } pairs{fn, 0.0, 0.0};
    ForEachEdgeEnd(p, m, pairs);
}

// The same edges with, in addition, the parameter of the segment (0 to 1)
// at each end of the edge: fn(x0, y0, x1, y1, first_point, t0, t1). A line
// runs from 0 to 1; a curve's chords carry the flattener's parameters. The
// relief builders use them to find which part of a segment an edge
// crossing belongs to.
template <class Fn>
void ForEachEdgeWithParams(const KyPath *p, const Mapping &m, Fn &&fn) {
    const afd::Params prm = afd::RasterParams();
    path::ForEachSegment(p, [&](const path::Segment &s) {
        double x0 = m.X(s.x[0]), y0 = m.Y(s.y[0]);
        if (s.kind == path::Segment::kLine) {
            fn(x0, y0, m.X(s.x[1]), m.Y(s.y[1]), s.start, 0.0, 1.0);
            return;
        }
        double px[4] = {x0, m.X(s.x[1]), m.X(s.x[2]), m.X(s.x[3])};
        double py[4] = {y0, m.Y(s.y[1]), m.Y(s.y[2]), m.Y(s.y[3])};
        double cx = x0, cy = y0, ct = 0.0;
        afd::Flatten(px, py, prm, [&](double x, double y, int32_t t, bool) {
            double tt = t * (1.0 / afd::kEnd);
            fn(cx, cy, x, y, s.start, ct, tt);
            cx = x;
            cy = y;
            ct = tt;
        });
    });
}

// Records with text attribute bit 28 are drawn as outlines, even inside a
// fill.
constexpr uint32_t kOutlineOnlyFlag = 0x10000000u;
inline bool IsOutlineOnly(const KyPath *p) { return (p->flags & kOutlineOnlyFlag) != 0; }

}  // namespace raster
