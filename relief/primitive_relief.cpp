// relief/primitive_relief.cpp - cone, hipped roofs and their rims.
#include "relief/primitive_relief.h"

#include <cmath>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/path_record.h"

namespace relief {

namespace {

// Required points per shape family (the shape tools' layouts).
constexpr int32_t kEllipsePoints = 13, kRectPoints = 5, kSegmentedPoints = 27, kRoundedPoints = 17;

bool IsRoundedCode(int32_t code) { return code == 3 || (code >= 300 && code <= 400); }

// A pixel's answer: signed distance s to the nearest side (positive
// inside), the unit direction to it and, for roofs, the runner-up side.
struct SideHit {
    double s;
    Vec2 dir;
};

void Write(MapSet &maps, size_t index, double value, Vec2 v, Vec2 second) {
    if (maps.dist) StoreDistance(maps, index, static_cast<float>(value));
    if (maps.vec) StoreVectors(maps, index, v, Vec2{0, 0}, second, Vec2{0, 0});
}

// The four sides of an axis-aligned box in the fixed order left, right,
// top, bottom; the first strictly nearer one wins.
void BoxSides(double px, double py, const Primitive &g, SideHit *best, SideHit *runner) {
    const SideHit sides[4] = {{px - (g.cx - g.hw), {-1, 0}},
                              {(g.cx + g.hw) - px, {1, 0}},
                              {py - (g.cy - g.hh), {0, -1}},
                              {(g.cy + g.hh) - py, {0, 1}}};
    int b = 0;
    for (int i = 1; i < 4; ++i)
        if (sides[i].s < sides[b].s) b = i;
    int r = -1;
    for (int i = 0; i < 4; ++i)
        if (i != b && (r < 0 || sides[i].s < sides[r].s)) r = i;
    *best = sides[b];
    *runner = sides[r];
}

// Signed distance to the diamond's four sides (P0 bottom, P1 left, P2 top,
// P3 right), as the perpendicular distance to each side's line.
void DiamondSides(double px, double py, const Primitive &g, SideHit *best, SideHit *runner) {
    const Vec2 v[4] = {{g.cx, g.cy + g.hh}, {g.cx - g.hw, g.cy}, {g.cx, g.cy - g.hh}, {g.cx + g.hw, g.cy}};
    SideHit sides[4];
    for (int i = 0; i < 4; ++i) {
        Vec2 a = v[i], b = v[(i + 1) % 4];
        double ex = b.x - a.x, ey = b.y - a.y, len = std::sqrt(ex * ex + ey * ey);
        Vec2 out{ey / len, -ex / len};  // outward for this vertex order
        // Make sure it points away from the centre whatever the order.
        if ((a.x - g.cx) * out.x + (a.y - g.cy) * out.y < 0) out = Vec2{-out.x, -out.y};
        double s = (a.x - px) * out.x + (a.y - py) * out.y;
        sides[i] = SideHit{s, out};
    }
    int b = 0;
    for (int i = 1; i < 4; ++i)
        if (sides[i].s < sides[b].s) b = i;
    int r = -1;
    for (int i = 0; i < 4; ++i)
        if (i != b && (r < 0 || sides[i].s < sides[r].s)) r = i;
    *best = sides[b];
    *runner = sides[r];
}

// The rounded rectangle: in a corner zone (beyond the straight part of
// both sides) the nearest point lies on the corner arc, whose centre is
// inset by the radius.
bool RoundedCorner(double px, double py, const Primitive &g, SideHit *hit) {
    double ix = g.hw - g.radius, iy = g.hh - g.radius;
    double qx = std::fabs(px - g.cx) - ix, qy = std::fabs(py - g.cy) - iy;
    if (!(qx > 0 && qy > 0) || g.radius <= 0) return false;
    double len = std::sqrt(qx * qx + qy * qy);
    Vec2 dir{(px < g.cx ? -qx : qx) / len, (py < g.cy ? -qy : qy) / len};
    *hit = SideHit{g.radius - len, dir};
    return true;
}

Status Cancel(MapSet &maps) {
    maps.Free();
    Y32_REPORT(diag::kErrCancelled, 0, diag::kUnitRelief19);
    return Status::kCancelled;
}

}  // namespace

Primitive ReadPrimitive(const KyPath *p, const raster::Mapping &frame) {
    Primitive g;
    if (!p || p->shape == 0) return g;
    const PathPoint *pts = path::Points(p);
    auto X = [&](int i) { return fx::ToDouble(pts[i].x) * frame.scale - frame.left; };
    auto Y = [&](int i) { return fx::ToDouble(pts[i].y) * frame.scale - frame.top; };
    auto box = [&](int i, int j) {
        g.cx = (X(i) + X(j)) * 0.5;
        g.cy = (Y(i) + Y(j)) * 0.5;
        g.hw = std::fabs(X(j) - X(i)) * 0.5;
        g.hh = std::fabs(Y(j) - Y(i)) * 0.5;
    };
    const int32_t code = p->shape;
    if (code == 1) {
        if (p->count < kEllipsePoints) return g;
        // P3 and P9 are the left and right ends, P0 and P6 bottom and top.
        g.kind = Primitive::kEllipse;
        g.cx = (X(3) + X(9)) * 0.5;
        g.cy = (Y(0) + Y(6)) * 0.5;
        g.hw = std::fabs(X(9) - X(3)) * 0.5;
        g.hh = std::fabs(Y(0) - Y(6)) * 0.5;
    } else if (code == 2) {
        if (p->count < kRectPoints) return g;
        g.kind = Primitive::kRectangle;
        box(0, 2);  // (right, bottom) and (left, top)
    } else if (code == 5) {
        if (p->count < kSegmentedPoints) return g;
        g.kind = Primitive::kRectangle;
        box(0, 13);  // (left, top) and (right, bottom)
    } else if (IsRoundedCode(code)) {
        if (p->count < kRoundedPoints) return g;
        // P3 (left, cy + b), P12 (right, cy + b), P0 (cx - a, bottom),
        // P7 (cx - a, top); the radius is P0 to P3 across.
        g.kind = Primitive::kRounded;
        g.cx = (X(3) + X(12)) * 0.5;
        g.cy = (Y(0) + Y(7)) * 0.5;
        g.hw = std::fabs(X(12) - X(3)) * 0.5;
        g.hh = std::fabs(Y(0) - Y(7)) * 0.5;
        g.radius = std::fabs(X(3) - X(0));
        double lim = g.hw < g.hh ? g.hw : g.hh;
        if (g.radius > lim) g.radius = lim;
    } else {
        if (p->count < kRectPoints) return g;
        // P0 bottom, P1 left, P2 top, P3 right.
        g.kind = Primitive::kDiamond;
        g.cx = (X(1) + X(3)) * 0.5;
        g.cy = (Y(0) + Y(2)) * 0.5;
        g.hw = std::fabs(X(3) - X(1)) * 0.5;
        g.hh = std::fabs(Y(0) - Y(2)) * 0.5;
        if (g.hw == 0 || g.hh == 0) g.kind = Primitive::kNone;
    }
    return g;
}

Status PrimitiveBuild(MapSet &maps, const KyPath *p, double *width, Progress &progress) {
    if (!maps.dist && !maps.vec) return Status::kRefused;
    const Primitive g = ReadPrimitive(p, maps.frame);
    if (g.kind == Primitive::kNone) return Status::kRefused;
    const double short_half = g.hw < g.hh ? g.hw : g.hh;
    double w = *width;
    if (w == 0.0) {
        switch (g.kind) {
            case Primitive::kRounded: w = g.radius > 0 ? g.radius : short_half; break;
            case Primitive::kDiamond: w = g.hw * g.hh / std::sqrt(g.hw * g.hw + g.hh * g.hh); break;
            default: w = short_half; break;
        }
        *width = w;
    }
    double base = g.kind == Primitive::kDiamond ? g.hw * g.hh / std::sqrt(g.hw * g.hw + g.hh * g.hh) : short_half;
    const double ratio = base > 0 ? w / base : 0.0;
    const double a2 = g.hw * g.hw, b2 = g.hh * g.hh;

    const int32_t start = progress.RangeStart(), end = progress.RangeEnd();
    for (uint32_t r = 0; r < maps.height; ++r) {
        int32_t percent = start + static_cast<int32_t>(static_cast<double>(r) / maps.height * (end - start));
        if (!progress.Ask(percent)) return Cancel(maps);
        const double py = r + 0.5, dy = py - g.cy;
        for (uint32_t c = 0; c < maps.width; ++c) {
            const double px = c + 0.5;
            const size_t index = static_cast<size_t>(r) * maps.width + c;
            if (g.kind == Primitive::kEllipse) {
                double dx = px - g.cx;
                if (dx == 0.0 && dy == 0.0) {
                    // The apex of the cone.
                    Write(maps, index, w * w, Vec2{w, 0}, Vec2{0, 0});
                    continue;
                }
                if (dx == 0.0) dx = 0.00001;
                const double d = std::sqrt(dx * dx + dy * dy);
                // The radius along the pixel's ray, with cos = dx / d and
                // sin = dy / d folded in: a b d / sqrt(b^2 dx^2 + a^2 dy^2).
                const double den = b2 * dx * dx + a2 * dy * dy;
                const double rim = (den > 0 ? std::sqrt(a2 * b2 * d * d / den) : 0.0) + 1.0;
                if (!(d < rim)) continue;
                const double t = (rim - d) / rim * w;
                Vec2 v{t / d * dx, t / d * dy};
                Write(maps, index, t * t, v, Vec2{0, 0});
                continue;
            }
            SideHit hit, runner{0, {0, 0}};
            bool corner = false;
            if (g.kind == Primitive::kDiamond) {
                DiamondSides(px, py, g, &hit, &runner);
            } else {
                corner = g.kind == Primitive::kRounded && RoundedCorner(px, py, g, &hit);
                if (!corner) BoxSides(px, py, g, &hit, &runner);
            }
            double s = hit.s;
            if (s == 0.0) s = 0.0001;
            if (s <= -1.0) continue;
            Vec2 v{hit.dir.x * s * ratio, hit.dir.y * s * ratio};
            if (s < 0) {
                // The rim outside: the nearest side is behind the pixel.
                Write(maps, index, -s * s, Vec2{-hit.dir.x * -s, -hit.dir.y * -s}, Vec2{0, 0});
                continue;
            }
            Vec2 second{0, 0};
            if (!corner && runner.s - s < 0.7 && runner.s > 0)
                second = Vec2{runner.dir.x * runner.s * ratio, runner.dir.y * runner.s * ratio};
            Write(maps, index, s * s, v, second);
        }
    }
    return Status::kDone;
}

}  // namespace relief
