// shading/abuf_geometry.cpp - the outline walk and the shape of the rim
// (see shading/abuf.h).
//
// The rim of a bevel is the set of points within W of the outline; a point
// belongs to the nearest outline point, and the surface there has that
// point's profile. Walking inwards from an outline point p along its
// normal n, the point p + t n keeps p as its nearest outline point while
// the circle of radius t about it touches the outline only at p. Another
// outline point q enters that circle once
//     |p + t n - q| < t   <=>   t > |q - p|^2 / (2 n.(q - p))   (n.(q - p) > 0),
// so the rim of p reaches min(W, min over q of that bound). Over the
// neighbours of p on a curve the bound is the radius of curvature; across a
// thin stem it is half the stem; at an inner corner it is the bisector.
// Rims that stop there meet at the ridge instead of running on under (or,
// for a raised bevel, over) each other, which would show the wrong side's
// slope. Only q within 2W of p can matter (the bound is at least
// |q - p| / 2), so the samples are put in a grid of cells 2W wide and each
// search looks at the cells around p.
//
// Corners: where the outline turns away from the inside (a reflex corner)
// the rims of the two segments diverge and leave a wedge; the distance to
// the corner point rules it, a cone, drawn as a fan of normals turning
// from one segment's to the other's. Where it turns towards the inside the
// rims overlap and the reach bound above cuts both at the bisector; the
// two samples at the corner are not joined.
#include <cmath>

#include "core/afd.h"
#include "core/bezier.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "shading/abuf.h"

namespace abuf {

bool HeapGrow(void **data, uint32_t *capacity, uint64_t needed, size_t element_bytes) {
    if (needed <= *capacity) return true;
    uint64_t cap = *capacity ? uint64_t{*capacity} * 2 : 256;
    if (cap < needed) cap = needed;
    if (cap > 0xFFFFFFF0u) cap = 0xFFFFFFF0u;
    if (cap < needed || cap * element_bytes > SIZE_MAX / 2) return false;
    plat::Heap *heap = Heap();
    if (!heap) return false;
    void *block = *data ? plat::HeapReAlloc(heap, 0, *data, static_cast<size_t>(cap * element_bytes))
                        : plat::HeapAlloc(heap, 0, static_cast<size_t>(cap * element_bytes));
    if (!block) return false;
    *data = block;
    *capacity = static_cast<uint32_t>(cap);
    return true;
}

void HeapRelease(void *data) {
    if (data) plat::HeapFree(Heap(), 0, data);
}

namespace {

using vec::Vec2;

// A line or a cubic in source space.
struct Piece {
    bool line;
    bez::Cubic c;  // a line uses p[0] and p[3]
};

Vec2 PointOf(const Piece &s, int32_t t) {
    if (t <= 0) return s.c.p[0];
    if (t >= afd::kEnd) return s.c.p[3];
    const double u = t / 65536.0;
    if (s.line) return bez::Lerp(s.c.p[0], s.c.p[3], u);
    return bez::PointAt(s.c, u);
}

// Direction of travel at t; a handle sitting on its knot gives a zero
// derivative there, so the direction is then taken across a small step
// and, failing that, along the chord.
Vec2 TangentOf(const Piece &s, int32_t t) {
    Vec2 d{s.c.p[3].x - s.c.p[0].x, s.c.p[3].y - s.c.p[0].y};
    if (!s.line) {
        Vec2 e = bez::DerivativeAt(s.c, t / 65536.0);
        if (e.x * e.x + e.y * e.y > 1e-18) {
            d = e;
        } else {
            Vec2 a = PointOf(s, t - 64), b = PointOf(s, t + 64);
            Vec2 f{b.x - a.x, b.y - a.y};
            if (f.x * f.x + f.y * f.y > 1e-24) d = f;
        }
    }
    double len = std::sqrt(d.x * d.x + d.y * d.y);
    return len > 0 ? Vec2{d.x / len, d.y / len} : Vec2{1.0, 0.0};
}

bool Degenerate(const Piece &s) {
    const Vec2 *p = s.c.p;
    if (s.line) return p[0].x == p[3].x && p[0].y == p[3].y;
    for (int k = 1; k < 4; ++k)
        if (p[k].x != p[0].x || p[k].y != p[0].y) return false;
    return true;
}

bool AddSample(Outline *o, Vec2 p, Vec2 t) {
    Sample s{};
    s.x = p.x;
    s.y = p.y;
    s.tx = t.x;
    s.ty = t.y;
    return o->samples.Push(s);
}

// Samples one piece: its start, then adaptive steps up to its end.
bool WalkPiece(const Piece &s, const View &view, Outline *o) {
    if (Degenerate(s)) return true;
    Vec2 p = PointOf(s, 0);
    if (!AddSample(o, p, TangentOf(s, 0))) return false;
    ViewPoint prev = Project(view, p.x, p.y, 0.0);
    int32_t t = 0;
    while (t < afd::kEnd) {
        int32_t step = kFirstStep, t2;
        ViewPoint next;
        for (;;) {
            t2 = t + step < afd::kEnd ? t + step : afd::kEnd;
            Vec2 q = PointOf(s, t2);
            next = Project(view, q.x, q.y, 0.0);
            // !(<=) also stops on NaN: nothing is gained by halving then.
            bool close = std::fabs(next.x - prev.x) <= 1.0 && std::fabs(next.y - prev.y) <= 1.0;
            if (close || step <= kMinStep || !(next.x == next.x && next.y == next.y)) break;
            step >>= 1;
        }
        if (!AddSample(o, PointOf(s, t2), TangentOf(s, t2))) return false;
        t = t2;
        prev = next;
    }
    return true;
}

// Nonzero winding number of (px, py) over every subpath's sample loop.
int32_t Winding(const Outline &o, double px, double py) {
    int32_t w = 0;
    for (uint32_t k = 0; k < o.subpaths.size; ++k) {
        const Subpath &sp = o.subpaths.data[k];
        const Sample *s = o.samples.data + sp.first;
        for (uint32_t i = 0; i < sp.count; ++i) {
            const Sample &a = s[i], &b = s[i + 1 == sp.count ? 0 : i + 1];
            const double side = (b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y);
            if (a.y <= py) {
                if (b.y > py && side > 0) ++w;
            } else if (b.y <= py && side < 0) {
                --w;
            }
        }
    }
    return w;
}

// Which side of the subpath is inside: tested beside the middle of its
// longest chord, where no other edge of the same loop is close.
uint8_t InsideOf(const Outline &o, const Subpath &sp) {
    const Sample *s = o.samples.data + sp.first;
    double best = 0;
    uint32_t at = 0;
    for (uint32_t i = 0; i < sp.count; ++i) {
        const Sample &a = s[i], &b = s[i + 1 == sp.count ? 0 : i + 1];
        double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len > best) {
            best = len;
            at = i;
        }
    }
    if (!(best > 0)) return 0;
    const Sample &a = s[at], &b = s[at + 1 == sp.count ? 0 : at + 1];
    const double tx = (b.x - a.x) / best, ty = (b.y - a.y) / best;
    const double eps = best * 0.25 < 0.01 ? best * 0.25 : 0.01;
    const double mx = (a.x + b.x) * 0.5, my = (a.y + b.y) * 0.5;
    const bool left = Winding(o, mx - ty * eps, my + tx * eps) != 0;   // + perp = (-ty, tx)
    const bool right = Winding(o, mx + ty * eps, my - tx * eps) != 0;
    if (left == right) return 0;  // flat (nothing inside) or buried in the fill on both sides
    return left ? 1 : 2;
}

// Grid of sample indices in cells `cell` wide over the outline's box.
struct Grid {
    double x0 = 0, y0 = 0, cell = 1;
    int64_t nx = 0, ny = 0;
    HeapArray<uint32_t> start;  // nx * ny + 1
    HeapArray<uint32_t> items;
    void Free() {
        start.Free();
        items.Free();
    }
    int64_t CellX(double x) const {
        double c = std::floor((x - x0) / cell);
        return c < 0 ? 0 : (c >= nx ? nx - 1 : static_cast<int64_t>(c));
    }
    int64_t CellY(double y) const {
        double c = std::floor((y - y0) / cell);
        return c < 0 ? 0 : (c >= ny ? ny - 1 : static_cast<int64_t>(c));
    }
};

constexpr int64_t kMaxGridSide = 1024;

bool BuildGrid(const Outline &o, double width, Grid *g) {
    const Sample *s = o.samples.data;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (uint32_t i = 0; i < o.samples.size; ++i) {
        x0 = std::fmin(x0, s[i].x);
        y0 = std::fmin(y0, s[i].y);
        x1 = std::fmax(x1, s[i].x);
        y1 = std::fmax(y1, s[i].y);
    }
    double extent = std::fmax(x1 - x0, y1 - y0);
    double cell = std::fmax(2.0 * width, extent / (kMaxGridSide - 1));
    if (!(cell > 1e-6)) cell = 1e-6;
    g->x0 = x0;
    g->y0 = y0;
    g->cell = cell;
    g->nx = static_cast<int64_t>((x1 - x0) / cell) + 1;
    g->ny = static_cast<int64_t>((y1 - y0) / cell) + 1;
    const uint64_t cells = static_cast<uint64_t>(g->nx * g->ny);
    if (!g->start.Reserve(cells + 1) || !g->items.Reserve(o.samples.size)) return false;
    g->start.size = static_cast<uint32_t>(cells + 1);
    g->items.size = o.samples.size;
    for (uint64_t c = 0; c <= cells; ++c) g->start.data[c] = 0;
    auto cell_of = [&](const Sample &p) { return static_cast<uint64_t>(g->CellY(p.y) * g->nx + g->CellX(p.x)); };
    for (uint32_t i = 0; i < o.samples.size; ++i) ++g->start.data[cell_of(s[i]) + 1];
    for (uint64_t c = 0; c < cells; ++c) g->start.data[c + 1] += g->start.data[c];
    // Place with a moving cursor per cell (start[c] advanced, then restored).
    for (uint32_t i = 0; i < o.samples.size; ++i) g->items.data[g->start.data[cell_of(s[i])]++] = i;
    for (uint64_t c = cells; c > 0; --c) g->start.data[c] = g->start.data[c - 1];
    g->start.data[0] = 0;
    return true;
}

// The reach bound of the file comment, at most `width`.
double Reach(const Grid &g, const Outline &o, const Sample &p, double width) {
    double r = width;
    const int64_t cx0 = g.CellX(p.x - 2 * width), cx1 = g.CellX(p.x + 2 * width);
    const int64_t cy0 = g.CellY(p.y - 2 * width), cy1 = g.CellY(p.y + 2 * width);
    for (int64_t cy = cy0; cy <= cy1; ++cy)
        for (int64_t cx = cx0; cx <= cx1; ++cx) {
            const uint64_t c = static_cast<uint64_t>(cy * g.nx + cx);
            for (uint32_t k = g.start.data[c]; k < g.start.data[c + 1]; ++k) {
                const Sample &q = o.samples.data[g.items.data[k]];
                const double dx = q.x - p.x, dy = q.y - p.y;
                const double d2 = dx * dx + dy * dy;
                if (d2 < 1e-18 || d2 > 4 * r * r) continue;  // the same point, or too far to matter
                const double dn = p.nx * dx + p.ny * dy;
                if (!(dn > 1e-12)) continue;  // behind or beside p
                const double bound = d2 / (2 * dn);
                if (bound < r) r = bound;
            }
        }
    return r;
}

}  // namespace

bool SampleOutline(KyPath *path, const View &view, Outline *raw) {
    for (KyPath *rec = PathFirst(path); rec; rec = rec->next) {
        bool open = false, ok = true;
        int32_t last_end = -1;
        Vec2 start{0, 0}, cursor{0, 0};
        Subpath sp{};
        auto close = [&]() {
            if (!open) return;
            open = false;
            if (cursor.x != start.x || cursor.y != start.y) {
                Piece closing{true, {{cursor, cursor, start, start}}};
                ok = ok && WalkPiece(closing, view, raw);
            }
            sp.count = raw->samples.size - sp.first;
            if (ok && sp.count >= 2) ok = raw->subpaths.Push(sp);
            else raw->samples.size = sp.first;  // nothing enclosed: drop it
        };
        path::ForEachSegment(rec, [&](const path::Segment &seg) {
            if (!ok) return;
            if (seg.start != last_end) {
                close();
                open = true;
                sp = Subpath{raw->samples.size, 0, 0, 0};
                start = Vec2{fx::ToDouble(seg.x[0]), fx::ToDouble(seg.y[0])};
            }
            Piece piece{};
            piece.line = seg.kind == path::Segment::kLine;
            if (piece.line) {
                Vec2 a{fx::ToDouble(seg.x[0]), fx::ToDouble(seg.y[0])}, b{fx::ToDouble(seg.x[1]), fx::ToDouble(seg.y[1])};
                piece.c = bez::Cubic{{a, a, b, b}};
            } else {
                piece.c = bez::FromSegment(seg);
            }
            ok = WalkPiece(piece, view, raw);
            cursor = piece.c.p[3];
            last_end = seg.end;
        });
        close();
        if (!ok) return false;
    }
    return true;
}

bool ShapeRim(const Outline &raw, double width, double overlap, Outline *out) {
    const bool bevel = width > 0;
    for (uint32_t k = 0; k < raw.subpaths.size; ++k) {
        const Subpath &rsp = raw.subpaths.data[k];
        Subpath sp{out->samples.size, 0, 0, InsideOf(raw, rsp)};
        const double side = sp.inside == 2 ? -1.0 : 1.0;
        const Sample *s = raw.samples.data + rsp.first;
        for (uint32_t i = 0; i < rsp.count; ++i) {
            Sample a = s[i];
            a.nx = -a.ty * side;
            a.ny = a.tx * side;
            a.rim = 0;
            a.flags = 0;
            if (!out->samples.Push(a)) return false;
            const Sample &b = s[i + 1 == rsp.count ? 0 : i + 1];
            if (a.x != b.x || a.y != b.y) continue;
            // A corner (or a repeated point): join only when the outline
            // turns away from the inside, with a fan of normals.
            const double bnx = -b.ty * side, bny = b.tx * side;
            const double turn = std::atan2(a.nx * bny - a.ny * bnx, a.nx * bnx + a.ny * bny);
            const bool reflex = b.tx * a.nx + b.ty * a.ny < 0;
            if (!reflex || !bevel) {
                out->samples.data[out->samples.size - 1].flags |= kNoQuadToNext;
                continue;
            }
            // Steps of about a pixel at the rim's full width.
            double steps_d = std::ceil(std::fabs(turn) * width);
            int steps = steps_d < 1 ? 1 : (steps_d > 64 ? 64 : static_cast<int>(steps_d));
            for (int j = 1; j < steps; ++j) {
                const double ang = turn * j / steps, c = std::cos(ang), sn = std::sin(ang);
                Sample f = a;
                f.nx = a.nx * c - a.ny * sn;
                f.ny = a.nx * sn + a.ny * c;
                f.tx = f.ny * side;
                f.ty = -f.nx * side;
                if (!out->samples.Push(f)) return false;
            }
        }
        sp.count = out->samples.size - sp.first;
        if (!out->subpaths.Push(sp)) return false;
    }
    if (!bevel) return true;
    // Only outlines that bound the fill limit a rim: a buried or empty loop
    // is no edge of the solid.
    Outline visible;
    bool ok = true;
    for (uint32_t k = 0; ok && k < out->subpaths.size; ++k) {
        const Subpath &sp = out->subpaths.data[k];
        if (!sp.inside) continue;
        for (uint32_t i = 0; ok && i < sp.count; ++i) ok = visible.samples.Push(out->samples.data[sp.first + i]);
    }
    Grid grid;
    ok = ok && (visible.samples.size == 0 || BuildGrid(visible, width, &grid));
    for (uint32_t k = 0; ok && k < out->subpaths.size; ++k) {
        const Subpath &sp = out->subpaths.data[k];
        if (!sp.inside) continue;
        for (uint32_t i = 0; i < sp.count; ++i) {
            Sample &p = out->samples.data[sp.first + i];
            double r = Reach(grid, visible, p, width);
            p.rim = r < width ? std::fmin(width, r + overlap) : width;
        }
    }
    grid.Free();
    visible.Free();
    return ok;
}

}  // namespace abuf
