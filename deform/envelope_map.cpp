// deform/envelope_map.cpp - moving the points of a path through an envelope.
//
// Units: domain and mapped coordinates are doubles in image pixels; the
// result goes back into the record with the library's truncating FIXED
// rule, so a mapping that lands a hair below a point's old value moves it
// by one 1/65536 step. That is the only drift an identity envelope causes.
#include <cmath>

#include "core/bounds.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "deform/envelope.h"
#include "y32path/deform.h"

namespace env {
namespace {

vec::Vec2 ToVec(const EnvelopePoint &p) { return vec::Vec2{fx::ToDouble(p.x), fx::ToDouble(p.y)}; }
EnvelopePoint ToFixed(vec::Vec2 v) { return EnvelopePoint{fx::FromDouble(v.x), fx::FromDouble(v.y)}; }

bez::PowerCubic Curve(const EnvelopePoint *c) {
    return bez::ToPowerForm(bez::Cubic{{ToVec(c[0]), ToVec(c[1]), ToVec(c[2]), ToVec(c[3])}});
}

// A closed outline of n points in a working record, without list links.
KyPath *WorkingRecord(const vec::Vec2 *pts, int32_t n) {
    auto *rec = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(n)));
    if (!rec) return nullptr;
    rec->count = n;
    PathPoint *out = path::Points(rec);
    for (int32_t i = 0; i < n; ++i) {
        out[i].type = i == 0 ? PT_MOVETO : (i == n - 1 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        out[i].x = fx::FromDouble(pts[i].x);
        out[i].y = fx::FromDouble(pts[i].y);
    }
    return rec;
}

vec::Vec2 PointOf(const KyPath *rec, int32_t i) {
    const PathPoint &pt = path::Points(rec)[i];
    return vec::Vec2{fx::ToDouble(pt.x), fx::ToDouble(pt.y)};
}

}  // namespace

Mapper FromCorners(const EnvelopeCorners &c) {
    Mapper m{};
    m.kind = Kind::kBilinear;
    for (int i = 0; i < 4; ++i) m.corner[i] = ToVec(c.c[i]);
    return m;
}

Mapper FromNet(const EnvelopeNet &net, bool vertical) {
    Mapper m{};
    m.kind = vertical ? Kind::kVertical : Kind::kHorizontal;
    m.p = Curve(net.p);
    m.q = Curve(net.q);
    return m;
}

vec::Vec2 Map(const Mapper &m, double u, double v) {
    switch (m.kind) {
        case Kind::kBilinear: {
            const vec::Vec2 &a = m.corner[0], &b = m.corner[1], &c = m.corner[2], &d = m.corner[3];
            return vec::Vec2{a.x + u * (b.x - a.x) + v * (c.x - a.x) + u * v * (a.x - b.x - c.x + d.x),
                             a.y + u * (b.y - a.y) + v * (c.y - a.y) + u * v * (a.y - b.y - c.y + d.y)};
        }
        case Kind::kHorizontal: {
            vec::Vec2 p = bez::PointAt(m.p, u), q = bez::PointAt(m.q, u);
            return vec::Vec2{(1 - v) * p.x + v * q.x, (1 - v) * p.y + v * q.y};
        }
        case Kind::kVertical: {
            vec::Vec2 p = bez::PointAt(m.p, v), q = bez::PointAt(m.q, v);
            return vec::Vec2{(1 - u) * p.x + u * q.x, (1 - u) * p.y + u * q.y};
        }
    }
    return vec::Vec2{0, 0};
}

void MapChain(KyPath *p, const Domain &d, const Mapper &m) {
    const double w = d.right - d.left, h = d.bottom - d.top;
    // A degenerate side keeps the last u (v) rather than dividing by zero;
    // nothing computes one before, so it stays 0 for the whole call.
    double u = 0.0, v = 0.0;
    for (KyPath *r = p; r; r = path::GroupNext(r)) {
        r->shape = 0;  // a mapped primitive is no longer one
        path::ForEachPosition(r, [&](PathPoint &pt) {
            double x = fx::ToDouble(pt.x), y = fx::ToDouble(pt.y);
            if (w != 0.0) u = (x - d.left) / w;
            if (h != 0.0) v = (y - d.top) / h;
            vec::Vec2 out = Map(m, u, v);
            pt.x = fx::FromDouble(out.x);
            pt.y = fx::FromDouble(out.y);
        });
    }
}

bool MapRectToCorners(const Domain &src, const Domain &d, const Mapper &m, EnvelopeCorners *out) {
    const vec::Vec2 outline[kBilinearOutlinePoints] = {
        {src.left, src.top}, {src.right, src.top}, {src.right, src.bottom}, {src.left, src.bottom}, {src.left, src.top}};
    KyPath *rec = WorkingRecord(outline, kBilinearOutlinePoints);
    if (!rec) return false;
    MapChain(rec, d, m);
    const PathPoint *pts = path::Points(rec);
    // Outline order is around the rectangle; corner order is row by row.
    const int32_t from[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) out->c[i] = EnvelopePoint{pts[from[i]].x, pts[from[i]].y};
    mem::PathFree(rec);
    return true;
}

bool MapRectToNet(const Domain &src, const Domain &d, const Mapper &m, bool vertical, EnvelopeNet *out) {
    // Two extra points on each curved edge, at 0.333 and 0.666 of it. The
    // fit below reads them as the curve's points at exactly 1/3 and 2/3;
    // the difference moves a handle by up to about 0.0015 of the edge (0.14
    // pixel on a 90-pixel edge mapped onto itself). Nets made by earlier
    // calls were made this way, so the places are kept.
    const double w = src.right - src.left, h = src.bottom - src.top;
    vec::Vec2 outline[kBezierOutlinePoints];
    if (!vertical) {
        const double x1 = src.left + 0.333 * w, x2 = src.left + 0.666 * w;
        const vec::Vec2 pts[kBezierOutlinePoints] = {{src.left, src.top},     {x1, src.top},       {x2, src.top},
                                                     {src.right, src.top},    {src.right, src.bottom},
                                                     {x2, src.bottom},        {x1, src.bottom},    {src.left, src.bottom},
                                                     {src.left, src.top}};
        for (int i = 0; i < kBezierOutlinePoints; ++i) outline[i] = pts[i];
    } else {
        const double y1 = src.top + 0.333 * h, y2 = src.top + 0.666 * h;
        const vec::Vec2 pts[kBezierOutlinePoints] = {{src.left, src.top},     {src.left, y1},      {src.left, y2},
                                                     {src.left, src.bottom},  {src.right, src.bottom},
                                                     {src.right, y2},         {src.right, y1},     {src.right, src.top},
                                                     {src.left, src.top}};
        for (int i = 0; i < kBezierOutlinePoints; ++i) outline[i] = pts[i];
    }
    KyPath *rec = WorkingRecord(outline, kBezierOutlinePoints);
    if (!rec) return false;
    MapChain(rec, d, m);
    // Points 0..3 run along P in the net's direction; 7..4 along Q.
    bez::Cubic p = bez::ThroughThirds(PointOf(rec, 0), PointOf(rec, 1), PointOf(rec, 2), PointOf(rec, 3));
    bez::Cubic q = bez::ThroughThirds(PointOf(rec, 7), PointOf(rec, 6), PointOf(rec, 5), PointOf(rec, 4));
    mem::PathFree(rec);
    for (int i = 0; i < 4; ++i) {
        out->p[i] = ToFixed(p.p[i]);
        out->q[i] = ToFixed(q.p[i]);
    }
    return true;
}

bool IsRectangularNet(bool vertical, const EnvelopeNet &net) {
    for (int i = 0; i < 4; ++i) {
        if (vertical ? net.p[i].y != net.q[i].y : net.p[i].x != net.q[i].x) return false;
        if (vertical ? net.p[i].x != net.p[0].x || net.q[i].x != net.q[0].x
                     : net.p[i].y != net.p[0].y || net.q[i].y != net.q[0].y)
            return false;
    }
    return true;
}

}  // namespace env

namespace {

bool ReadDomain(const double *r, env::Domain *d) {
    if (!r) return false;
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(r[i])) return false;
    *d = env::Domain{r[0], r[1], r[2], r[3]};
    return true;
}

// The common shape of the three DomainRange operations: the path when
// there is one, else the source rectangle.
template <class MapRect>
int32_t DomainRange(KyPath *p, const double *domain, const double *source, const env::Mapper &m, MapRect &&map_rect) {
    env::Domain d, src;
    if (!ReadDomain(domain, &d)) return 0;
    if (p) {
        env::MapChain(p, d, m);
        return 1;
    }
    if (!ReadDomain(source, &src)) return 0;
    return map_rect(src, d) ? 1 : 0;
}

// The chain's own box without margin: the record and its group successors,
// the same records MapChain moves.
env::Domain OwnBox(const KyPath *p) {
    bounds::DoubleRect r = bounds::ImageBox(p, bounds::Cover::kGroup);
    return env::Domain{r.minX, r.minY, r.maxX, r.maxY};
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathDomainRangeBilinear(KyPath *path, const double *domain, const double *sourceRect,
                                  EnvelopeCorners *corners) {
    if ((!path && !sourceRect) || !corners) return 0;
    env::Mapper m = env::FromCorners(*corners);
    return DomainRange(path, domain, sourceRect, m, [&](const env::Domain &src, const env::Domain &d) {
        return env::MapRectToCorners(src, d, m, corners);
    });
}

int32_t KyPathDomainRangeBiCubic(KyPath *path, const double *domain, const double *sourceRect, EnvelopeNet *net) {
    if ((!path && !sourceRect) || !net) return 0;
    env::Mapper m = env::FromNet(*net, false);
    return DomainRange(path, domain, sourceRect, m, [&](const env::Domain &src, const env::Domain &d) {
        return env::MapRectToNet(src, d, m, false, net);
    });
}

int32_t KyPathDomainRangeBiCubicV(KyPath *path, const double *domain, const double *sourceRect, EnvelopeNet *net) {
    if ((!path && !sourceRect) || !net) return 0;
    env::Mapper m = env::FromNet(*net, true);
    return DomainRange(path, domain, sourceRect, m, [&](const env::Domain &src, const env::Domain &d) {
        return env::MapRectToNet(src, d, m, true, net);
    });
}

int32_t KyPathBiLinear(KyPath *path, const EnvelopeCorners *corners) {
    if (!path || !corners) return 0;
    env::MapChain(path, OwnBox(path), env::FromCorners(*corners));
    return 1;
}

int32_t KyPathBiCubic(KyPath *path, const EnvelopeNet *net, int32_t /*reserved*/) {
    if (!path || !net) return 0;
    env::MapChain(path, OwnBox(path), env::FromNet(*net, false));
    return 1;
}

int32_t KyPathBiCubicV(KyPath *path, const EnvelopeNet *net, int32_t /*reserved*/) {
    if (!path || !net) return 0;
    env::MapChain(path, OwnBox(path), env::FromNet(*net, true));
    return 1;
}

Y32_END_C
