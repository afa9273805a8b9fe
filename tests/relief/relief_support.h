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

// Adds the points, moved by (ox, oy), to a new record.
inline KyPath *Record(const std::vector<Pt> &pts, double ox = 0, double oy = 0) {
    KyPath *p = KyPathCreate();
    for (const Pt &q : pts) {
        FIXED xy[2] = {DbToFix(ox + q.x), DbToFix(oy + q.y)};
        if (!KyPathAddPoint(&p, xy, q.type)) return nullptr;
    }
    return p;
}

constexpr uint16_t kM = PT_MOVETO, kL = PT_LINETO, kB = PT_BEZIERTO, kLastB = PT_BEZIERTO | PT_CLOSEFIGURE,
                   kLastL = PT_LINETO | PT_CLOSEFIGURE;

// An ellipse record laid out as the shape tools lay it out (13 points, four
// quarter arcs from the bottom), with shape code 1.
inline KyPath *Ellipse(double cx, double cy, double a, double b, int32_t code = 1) {
    const double ka = kK * a, kb = kK * b;
    KyPath *p = Record({{kM, 0, b},
                        {kB, -ka, b}, {kB, -a, kb}, {kB, -a, 0},
                        {kB, -a, -kb}, {kB, -ka, -b}, {kB, 0, -b},
                        {kB, ka, -b}, {kB, a, -kb}, {kB, a, 0},
                        {kB, a, kb}, {kB, ka, b}, {kLastB, 0, b}},
                       cx, cy);
    if (p) p->shape = code;
    return p;
}

// A rectangle record as the shape tools make it (code 2), or a free-form
// one (code 0) with the same points.
inline KyPath *Rect(double left, double top, double right, double bottom, int32_t code = 2) {
    KyPath *p = Record({{kM, right, bottom}, {kL, left, bottom}, {kL, left, top}, {kL, right, top}, {kLastL, right, bottom}});
    if (p) p->shape = code;
    return p;
}

// A closed polygon record.
inline KyPath *Polygon(const std::vector<bez::Vec2> &pts) {
    std::vector<Pt> r;
    for (size_t i = 0; i <= pts.size(); ++i)
        r.push_back({i == 0 ? kM : (i == pts.size() ? kLastL : kL), pts[i % pts.size()].x, pts[i % pts.size()].y});
    return Record(r);
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
    return Record({{kM, 30, 8},
                   {kB, 14, 8}, {kB, 6, 18}, {kB, 6, 30},   {kB, 6, 44}, {kB, 18, 48}, {kB, 30, 52},
                   {kB, 40, 55}, {kB, 46, 58}, {kB, 46, 66}, {kB, 46, 74}, {kB, 38, 78}, {kB, 30, 78},
                   {kB, 20, 78}, {kB, 12, 73}, {kB, 9, 66},  {kL, 4, 70},
                   {kB, 9, 80}, {kB, 19, 86}, {kB, 30, 86},  {kB, 45, 86}, {kB, 54, 77}, {kB, 54, 65},
                   {kB, 54, 52}, {kB, 43, 48}, {kB, 31, 44}, {kB, 21, 41}, {kB, 14, 38}, {kB, 14, 30},
                   {kB, 14, 22}, {kB, 21, 16}, {kB, 30, 16}, {kB, 38, 16}, {kB, 44, 20}, {kB, 47, 26},
                   {kL, 52, 22},
                   {kB, 48, 13}, {kB, 40, 8}, {kLastB, 30, 8}},
                  ox, oy);
}

// Chains records into one path of subpaths, in one table list.
inline void Group(std::initializer_list<KyPath *> records) {
    KyPath *prev = nullptr;
    for (KyPath *r : records) {
        if (prev) prev->groupNext = r;
        r->groupPrev = prev;
        prev = r;
    }
    testing_support::LinkList(records);
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

    // The pixel that holds image point (ix, iy).
    struct Pix {
        uint32_t x, y;
    };
    Pix At(double ix, double iy) const {
        return {static_cast<uint32_t>(ix - rect.left), static_cast<uint32_t>(iy - rect.top)};
    }
    float D(Pix p) const { return D(p.x, p.y); }
    bez::Vec2 V(Pix p) const { return V(p.x, p.y); }
    const int16_t *W(Pix p) const { return W(p.x, p.y); }

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

    Call &Width(double v) { return width = v, *this; }
    Call &Mask(PathBuf m) { return use_mask = 1, mask = m, *this; }
    Call &Floats() { return vector_format = 1, *this; }
    Call &Offset(int32_t v) { return offset = v, *this; }
    Call &Object(int32_t v) { return object_mode = v, *this; }
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

// The mask KyPathToBuf makes of the path (format 0, anti-aliased): with no
// margin, the same rectangle as the maps.
inline PathBuf MaskOf(KyPath *p, int32_t even_odd = 0, double scale = 1.0, int32_t margin = 0, Y32Rect *rect = nullptr) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    if (KyPathToBuf(p, 0, even_odd, 1, 0, DbToFix(scale), &rects, &bufs, margin) != 1) return nullptr;
    PathBuf m = bufs[0];
    if (rect) *rect = rects[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    return m;
}

// An 8-bit mask the host painted: pixel (x, y) is value(x, y).
template <class F>
PathBuf Painted(uint32_t w, uint32_t h, F &&value) {
    PathBuf m = KyPathBufAlloc(8, w, h, 1, 0, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) static_cast<uint8_t *>(m)[static_cast<size_t>(y) * w + x] = value(x, y);
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
    bool cancel_after_end = false;   // or the first code-2 call after a stage's end
    bool seen_end = false;
    int32_t progress_calls = 0;

    static int32_t Callback(int32_t code, int32_t percent, int32_t, intptr_t user) {
        auto *r = reinterpret_cast<Recorder *>(user);
        r->calls.push_back({code, percent});
        r->seen_end = r->seen_end || code == RELIEF_END;
        if (code != RELIEF_PROGRESS) return 1;
        int32_t index = r->progress_calls++;
        if (r->cancel_on_call >= 0 && index == r->cancel_on_call) return 0;
        if (r->cancel_after_end && r->seen_end) return 0;
        if (r->cancel_at_percent >= 0 && percent >= r->cancel_at_percent) return 0;
        return 1;
    }
    ReliefProgress Record() { return ReliefProgress{0, &Callback, reinterpret_cast<intptr_t>(this), 0, 0}; }
};

}  // namespace relief_support
