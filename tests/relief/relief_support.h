// tests/relief/relief_support.h - shapes, map readers and a brute-force
// distance for the relief tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/bezier.h"
#include "raster/path_to_buf.h"
#include "support/path_fixture.h"
#include "y32Path.h"

namespace relief_support {

using testing_support::MakePath;
using testing_support::Pt;

constexpr double kK = 0.5522847;

// An ellipse record laid out as the shape tools lay it out (13 points, four
// quarter arcs from the bottom), with shape code 1.
inline KyPath *Ellipse(double cx, double cy, double a, double b, int32_t code = 1) {
    KyPath *p = MakePath({{PT_MOVETO, cx, cy + b},
                          {PT_BEZIERTO, cx - kK * a, cy + b},
                          {PT_BEZIERTO, cx - a, cy + kK * b},
                          {PT_BEZIERTO, cx - a, cy},
                          {PT_BEZIERTO, cx - a, cy - kK * b},
                          {PT_BEZIERTO, cx - kK * a, cy - b},
                          {PT_BEZIERTO, cx, cy - b},
                          {PT_BEZIERTO, cx + kK * a, cy - b},
                          {PT_BEZIERTO, cx + a, cy - kK * b},
                          {PT_BEZIERTO, cx + a, cy},
                          {PT_BEZIERTO, cx + a, cy + kK * b},
                          {PT_BEZIERTO, cx + kK * a, cy + b},
                          {PT_BEZIERTO | PT_CLOSEFIGURE, cx, cy + b}});
    if (p) p->shape = code;
    return p;
}

// A rectangle record as the shape tools make it (code 2), or a free-form
// one (code 0) with the same points.
inline KyPath *Rect(double left, double top, double right, double bottom, int32_t code = 2) {
    KyPath *p = MakePath({{PT_MOVETO, right, bottom},
                          {PT_LINETO, left, bottom},
                          {PT_LINETO, left, top},
                          {PT_LINETO, right, top},
                          {PT_LINETO | PT_CLOSEFIGURE, right, bottom}});
    if (p) p->shape = code;
    return p;
}

// A closed polygon record.
inline KyPath *Polygon(const std::vector<bez::Vec2> &pts) {
    KyPath *p = KyPathCreate();
    for (size_t i = 0; i <= pts.size(); ++i) {
        const bez::Vec2 &v = pts[i % pts.size()];
        FIXED xy[2] = {DbToFix(v.x), DbToFix(v.y)};
        uint32_t type = i == 0 ? PT_MOVETO : (i == pts.size() ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        if (!KyPathAddPoint(&p, xy, type)) return nullptr;
    }
    return p;
}

inline std::vector<bez::Vec2> StarPoints(double cx, double cy, double r_out, double r_in, int n) {
    std::vector<bez::Vec2> v;
    for (int i = 0; i < 2 * n; ++i) {
        double r = i % 2 ? r_in : r_out, a = M_PI * i / n - M_PI / 2;
        v.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return v;
}

// A glyph-like contour of cubics and lines (an S-shaped stroke outline).
inline KyPath *GlyphS(double ox, double oy) {
    return MakePath({{PT_MOVETO, ox + 30, oy + 8},
                     {PT_BEZIERTO, ox + 14, oy + 8},
                     {PT_BEZIERTO, ox + 6, oy + 18},
                     {PT_BEZIERTO, ox + 6, oy + 30},
                     {PT_BEZIERTO, ox + 6, oy + 44},
                     {PT_BEZIERTO, ox + 18, oy + 48},
                     {PT_BEZIERTO, ox + 30, oy + 52},
                     {PT_BEZIERTO, ox + 40, oy + 55},
                     {PT_BEZIERTO, ox + 46, oy + 58},
                     {PT_BEZIERTO, ox + 46, oy + 66},
                     {PT_BEZIERTO, ox + 46, oy + 74},
                     {PT_BEZIERTO, ox + 38, oy + 78},
                     {PT_BEZIERTO, ox + 30, oy + 78},
                     {PT_BEZIERTO, ox + 20, oy + 78},
                     {PT_BEZIERTO, ox + 12, oy + 73},
                     {PT_BEZIERTO, ox + 9, oy + 66},
                     {PT_LINETO, ox + 4, oy + 70},
                     {PT_BEZIERTO, ox + 9, oy + 80},
                     {PT_BEZIERTO, ox + 19, oy + 86},
                     {PT_BEZIERTO, ox + 30, oy + 86},
                     {PT_BEZIERTO, ox + 45, oy + 86},
                     {PT_BEZIERTO, ox + 54, oy + 77},
                     {PT_BEZIERTO, ox + 54, oy + 65},
                     {PT_BEZIERTO, ox + 54, oy + 52},
                     {PT_BEZIERTO, ox + 43, oy + 48},
                     {PT_BEZIERTO, ox + 31, oy + 44},
                     {PT_BEZIERTO, ox + 21, oy + 41},
                     {PT_BEZIERTO, ox + 14, oy + 38},
                     {PT_BEZIERTO, ox + 14, oy + 30},
                     {PT_BEZIERTO, ox + 14, oy + 22},
                     {PT_BEZIERTO, ox + 21, oy + 16},
                     {PT_BEZIERTO, ox + 30, oy + 16},
                     {PT_BEZIERTO, ox + 38, oy + 16},
                     {PT_BEZIERTO, ox + 44, oy + 20},
                     {PT_BEZIERTO, ox + 47, oy + 26},
                     {PT_LINETO, ox + 52, oy + 22},
                     {PT_BEZIERTO, ox + 48, oy + 13},
                     {PT_BEZIERTO, ox + 40, oy + 8},
                     {PT_BEZIERTO | PT_CLOSEFIGURE, ox + 30, oy + 8}});
}

// The maps of one KyPathVMap call, copied out, with the frame they cover.
struct Maps {
    int32_t result = 0;
    double width_out = 0;
    Y32Rect rect{};  // the path's rectangle at the scale
    uint32_t w = 0, h = 0;
    bool has_dist = false, has_vec = false;
    std::vector<float> dist;
    std::vector<int16_t> words;   // integer layout: 4 per pixel
    std::vector<float> floats;    // float layout: 2 per pixel

    float D(uint32_t x, uint32_t y) const { return dist[static_cast<size_t>(y) * w + x]; }
    bez::Vec2 V(uint32_t x, uint32_t y) const {
        size_t i = static_cast<size_t>(y) * w + x;
        if (!floats.empty()) return {floats[i * 2], floats[i * 2 + 1]};
        return {words[i * 4] / 256.0, words[i * 4 + 1] / 256.0};
    }
    bez::Vec2 V2(uint32_t x, uint32_t y) const {
        size_t i = static_cast<size_t>(y) * w + x;
        return {words[i * 4 + 2] / 256.0, words[i * 4 + 3] / 256.0};
    }
    const int16_t *W(uint32_t x, uint32_t y) const { return &words[(static_cast<size_t>(y) * w + x) * 4]; }
};

struct Call {
    bool dist = true, vec = true;
    int32_t even_odd = 0, primitive_bevel = 0, object_mode = 0, offset = 0, fast = 0;
    double width = 8.0;
    int32_t vector_format = 0, use_mask = 0;
    PathBuf mask = nullptr;
    ReliefProgress *progress = nullptr;
    double scale = 1.0;
};

// Runs KyPathVMap, copies the maps out and frees them.
inline Maps BuildMaps(KyPath *p, const Call &c) {
    Maps m;
    PathBuf d = c.dist ? reinterpret_cast<PathBuf>(1) : nullptr, v = c.vec ? reinterpret_cast<PathBuf>(1) : nullptr;
    double width = c.width;
    m.result = KyPathVMap(p, &d, &v, c.even_odd, c.primitive_bevel, c.object_mode, c.offset, c.fast, &width,
                          c.vector_format, c.use_mask, c.mask, c.progress, DbToFix(c.scale));
    m.width_out = width;
    m.rect = raster::GroupRect(p, false, DbToFix(c.scale));
    if (d) {
        int32_t depth = 0;
        KyPathBufGetWHU(d, &m.w, &m.h, &depth);
        EXPECT_EQ(depth, 32);
        m.has_dist = true;
        m.dist.resize(static_cast<size_t>(m.w) * m.h);
        std::memcpy(m.dist.data(), d, m.dist.size() * 4);
        KyPathBufFree(d);
    }
    if (v) {
        int32_t depth = 0;
        KyPathBufGetWHU(v, &m.w, &m.h, &depth);
        EXPECT_EQ(depth, 64);
        m.has_vec = true;
        size_t n = static_cast<size_t>(m.w) * m.h;
        if (c.vector_format) {
            m.floats.resize(n * 2);
            std::memcpy(m.floats.data(), v, n * 8);
        } else {
            m.words.resize(n * 4);
            std::memcpy(m.words.data(), v, n * 8);
        }
        KyPathBufFree(v);
    }
    return m;
}

// The mask KyPathToBuf makes of the path (format 0, winding, anti-aliased,
// no margin): the same rectangle as the maps.
inline PathBuf MaskOf(KyPath *p, int32_t even_odd = 0, double scale = 1.0) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    if (KyPathToBuf(p, 0, even_odd, 1, 0, DbToFix(scale), &rects, &bufs, 0) != 1) return nullptr;
    PathBuf m = bufs[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    return m;
}

// ---------------------------------------------------------------------------
// Brute force: the outline as lines and cubics in map space, distances by
// exact projection on lines and dense sampling plus local refinement on
// cubics, inside by the winding number of a fine polygon.

struct Outline {
    std::vector<bez::Cubic> cubics;
    std::vector<std::pair<bez::Vec2, bez::Vec2>> lines;
    std::vector<std::vector<bez::Vec2>> rings;  // fine polygons for the inside test
};

inline Outline OutlineOf(const KyPath *head, double left, double top, double scale = 1.0) {
    Outline o;
    for (const KyPath *p = head; p; p = path::GroupNext(p)) {
        std::vector<bez::Vec2> ring;
        path::ForEachSegment(p, [&](const path::Segment &s) {
            auto X = [&](FIXED x) { return fx::ToDouble(x) * scale - left; };
            auto Y = [&](FIXED y) { return fx::ToDouble(y) * scale - top; };
            if (ring.empty()) ring.push_back({X(s.x[0]), Y(s.y[0])});
            if (s.kind == path::Segment::kLine) {
                o.lines.push_back({{X(s.x[0]), Y(s.y[0])}, {X(s.x[1]), Y(s.y[1])}});
                ring.push_back({X(s.x[1]), Y(s.y[1])});
                return;
            }
            bez::Cubic c{{{X(s.x[0]), Y(s.y[0])}, {X(s.x[1]), Y(s.y[1])}, {X(s.x[2]), Y(s.y[2])}, {X(s.x[3]), Y(s.y[3])}}};
            o.cubics.push_back(c);
            for (int i = 1; i <= 256; ++i) ring.push_back(bez::PointAt(c, i / 256.0));
        });
        if (ring.size() > 2) o.rings.push_back(ring);
    }
    return o;
}

struct Exact {
    double d;
    bez::Vec2 q;
};

inline Exact ExactNearest(const Outline &o, bez::Vec2 p) {
    Exact best{std::numeric_limits<double>::infinity(), {0, 0}};
    for (auto &l : o.lines) {
        bez::Nearest n = bez::NearestOnLine(l.first, l.second, p);
        if (std::sqrt(n.dist2) < best.d) best = {std::sqrt(n.dist2), n.point};
    }
    for (auto &c : o.cubics) {
        const int n = 1000;
        double bt = 0, bd = 1e300;
        for (int i = 0; i <= n; ++i) {
            bez::Vec2 q = bez::PointAt(c, static_cast<double>(i) / n);
            double d = std::hypot(q.x - p.x, q.y - p.y);
            if (d < bd) {
                bd = d;
                bt = static_cast<double>(i) / n;
            }
        }
        // Golden-section refinement around the best sample.
        double lo = std::max(0.0, bt - 1.0 / n), hi = std::min(1.0, bt + 1.0 / n);
        for (int it = 0; it < 60; ++it) {
            double m1 = lo + (hi - lo) * 0.382, m2 = lo + (hi - lo) * 0.618;
            bez::Vec2 q1 = bez::PointAt(c, m1), q2 = bez::PointAt(c, m2);
            if (std::hypot(q1.x - p.x, q1.y - p.y) < std::hypot(q2.x - p.x, q2.y - p.y)) hi = m2;
            else lo = m1;
        }
        bez::Vec2 q = bez::PointAt(c, (lo + hi) / 2);
        double d = std::hypot(q.x - p.x, q.y - p.y);
        if (d < best.d) best = {d, q};
    }
    return best;
}

// Nonzero winding number of the fine polygons at p.
inline int Winding(const Outline &o, bez::Vec2 p) {
    int w = 0;
    for (auto &ring : o.rings)
        for (size_t i = 0; i < ring.size(); ++i) {
            bez::Vec2 a = ring[i], b = ring[(i + 1) % ring.size()];
            if ((a.y <= p.y) != (b.y <= p.y)) {
                double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x > p.x) w += b.y > a.y ? 1 : -1;
            }
        }
    return w;
}

// Progress callback that records every call and cancels at a chosen point.
struct Recorder {
    struct Entry {
        int32_t code, percent;
    };
    std::vector<Entry> calls;
    int32_t cancel_at_percent = -1;  // the first code-2 call at or above it returns 0
    int32_t cancel_on_call = -1;     // or the n-th code-2 call (0-based)
    int32_t progress_calls = 0;

    static int32_t Callback(int32_t code, int32_t percent, int32_t, intptr_t user) {
        auto *r = reinterpret_cast<Recorder *>(user);
        r->calls.push_back({code, percent});
        if (code != RELIEF_PROGRESS) return 1;
        int32_t index = r->progress_calls++;
        if (r->cancel_on_call >= 0 && index == r->cancel_on_call) return 0;
        if (r->cancel_at_percent >= 0 && percent >= r->cancel_at_percent) return 0;
        return 1;
    }
    ReliefProgress Record() { return ReliefProgress{0, &Callback, reinterpret_cast<intptr_t>(this), 0, 0}; }
};

}  // namespace relief_support
