// shapes/curve_fit.cpp - the least-squares cubic fitter behind the
// freehand tool.
#include "shapes/curve_fit.h"

#include <cmath>
#include <limits>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/view.h"
#include "shapes/curve_vec.h"
#include "y32path/shapes.h"

namespace curvefit {

using bez::Cubic;
using vec::Vec2;

namespace {

// The length every handle gets when the least-squares answer is unusable:
// a third of the chord. Written out as the decimal the closing segment and
// older files share.
constexpr double kThird = 0.3333333333333333;
// Reparameterising helps only when the fit is already close; further away
// the run is split at once.
constexpr double kReparamFactor = 4.0;
constexpr int kReparamSteps = 4;

using namespace curvevec;

double Dist(Vec2 a, Vec2 b) { return vec::Distance(a.x, a.y, b.x, b.y); }

bool Append(Output *out, const Cubic &c) {
    int32_t need = out->count == 0 ? 4 : 3;
    if (out->count + need > out->capacity) return false;
    if (out->count == 0) out->ctrls[out->count++] = BezCtrl{c.p[0].x, c.p[0].y, 0};
    for (int k = 1; k < 4; ++k) out->ctrls[out->count++] = BezCtrl{c.p[k].x, c.p[k].y, 0};
    return true;
}

// Chord-length parameters of d[first..last] in u[first..last]. Points that
// all coincide have no length to share out; they are spaced evenly instead
// of dividing by zero.
void ChordLengthParameterize(const Vec2 *d, int32_t first, int32_t last, double *u) {
    u[first] = 0.0;
    for (int32_t i = first + 1; i <= last; ++i) u[i] = u[i - 1] + Dist(d[i], d[i - 1]);
    double total = u[last];
    for (int32_t i = first + 1; i <= last; ++i)
        u[i] = total > 0.0 && std::isfinite(total) ? u[i] / total
                                                   : static_cast<double>(i - first) / (last - first);
}

double NewtonStep(const Cubic &q, Vec2 p, double u) {
    Vec2 q0 = bez::PointAt(q, u);
    Vec2 q1 = bez::DerivativeAt(q, u);
    Vec2 q2 = bez::SecondDerivativeAt(q, u);
    Vec2 diff = Diff(q0, p);
    double num = Dot(diff, q1);
    double den = Dot(q1, q1) + Dot(diff, q2);
    // A curve that stands still at u (or has blown up) gives no direction
    // to step in; the parameter stays.
    if (den == 0.0 || !std::isfinite(den) || !std::isfinite(num)) return u;
    return u - num / den;
}

}  // namespace

Cubic GenerateBezier(const Vec2 *d, int32_t first, int32_t last, const double *u, Vec2 t1, Vec2 t2) {
    const Vec2 p0 = d[first], p3 = d[last];
    double c11 = 0, c12 = 0, c22 = 0, x1 = 0, x2 = 0;
    for (int32_t i = first; i <= last; ++i) {
        double t = u[i], s = 1.0 - t;
        double b0 = s * s * s, b1 = 3 * s * s * t, b2 = 3 * s * t * t, b3 = t * t * t;
        Vec2 a1 = Mul(t1, b1), a2 = Mul(t2, b2);
        c11 += Dot(a1, a1);
        c12 += Dot(a1, a2);
        c22 += Dot(a2, a2);
        Vec2 r = Diff(d[i], Add(Mul(p0, b0 + b1), Mul(p3, b2 + b3)));
        x1 += Dot(a1, r);
        x2 += Dot(a2, r);
    }
    double det = c11 * c22 - c12 * c12;
    if (det == 0.0) det = c11 * c22 * 1e-11;
    double alpha_l = (x1 * c22 - x2 * c12) / det;
    double alpha_r = (c11 * x2 - c12 * x1) / det;
    // Negative lengths would turn a handle backwards; lengths that are not
    // numbers (a system with no information, 0 / 0) or infinite cannot be
    // used either. All take the third of the chord.
    if (!(alpha_l >= 0.0 && alpha_r >= 0.0 && std::isfinite(alpha_l) && std::isfinite(alpha_r))) {
        alpha_l = alpha_r = Dist(p3, p0) * kThird;
    }
    return Cubic{{p0, Add(p0, Mul(t1, alpha_l)), Add(p3, Mul(t2, alpha_r)), p3}};
}

double ComputeMaxError(const Vec2 *d, int32_t first, int32_t last, const Cubic &curve, const double *u,
                       int32_t *split) {
    *split = (first + last) / 2;
    double max_dist = 0.0;
    for (int32_t i = first + 1; i < last; ++i) {
        double dist = Dist(bez::PointAt(curve, u[i]), d[i]);
        // A point the curve cannot be evaluated at is as far off as can be,
        // so a broken curve is split rather than accepted.
        if (std::isnan(dist)) dist = std::numeric_limits<double>::infinity();
        if (dist > max_dist) {
            max_dist = dist;
            *split = i;
        }
    }
    return max_dist;
}

void Reparameterize(const Vec2 *d, int32_t first, int32_t last, double *u, const Cubic &curve) {
    for (int32_t i = first; i <= last; ++i) u[i] = NewtonStep(curve, d[i], u[i]);
}

void FitCubic(const Vec2 *d, double *u, int32_t first, int32_t last, Vec2 t1, Vec2 t2, double tolerance,
              Output *out) {
    if (out->count + 3 > out->capacity) return;
    if (last - first + 1 < 2) return;
    if (last - first + 1 == 2) {
        double dist = Dist(d[last], d[first]) * kThird;
        Append(out, Cubic{{d[first], Add(d[first], Mul(t1, dist)), Add(d[last], Mul(t2, dist)), d[last]}});
        return;
    }
    ChordLengthParameterize(d, first, last, u);
    Cubic curve = GenerateBezier(d, first, last, u, t1, t2);
    int32_t split;
    double error = ComputeMaxError(d, first, last, curve, u, &split);
    if (error < tolerance) {
        Append(out, curve);
        return;
    }
    if (error < kReparamFactor * tolerance) {
        for (int k = 0; k < kReparamSteps; ++k) {
            Reparameterize(d, first, last, u, curve);
            curve = GenerateBezier(d, first, last, u, t1, t2);
            error = ComputeMaxError(d, first, last, curve, u, &split);
            if (error < tolerance) {
                Append(out, curve);
                return;
            }
        }
    }
    // split lies strictly inside the run (it starts in the middle of a run
    // of at least three points and only moves to inner points), so both
    // halves are shorter and the recursion ends.
    Vec2 tc = UnitOrZero(Diff(d[split - 1], d[split + 1]));
    FitCubic(d, u, first, split, t1, tc, tolerance, out);
    FitCubic(d, u, split, last, Mul(tc, -1.0), t2, tolerance, out);
}

KyPath *FitPoints(const Vec2 *d, int32_t n, double tolerance, bool closed) {
    if (!d || n < 3) return nullptr;
    // Below 1.0 (and for a tolerance that is not a number) every wobble of
    // the hand would become a curve of its own.
    if (!(tolerance >= kMinTolerance)) tolerance = kMinTolerance;

    Vec2 t1 = UnitOrZero(Diff(d[1], d[0]));
    Vec2 t2 = UnitOrZero(Diff(d[n - 2], d[n - 1]));

    const int32_t capacity = OutputCapacity(n);
    size_t bytes = sizeof(double) * static_cast<size_t>(n) + sizeof(BezCtrl) * static_cast<size_t>(capacity);
    void *scratch = mem::MemAlloc(0, bytes);
    if (!scratch) return nullptr;
    double *u = static_cast<double *>(scratch);
    Output out{reinterpret_cast<BezCtrl *>(u + n), 0, capacity};
    static_assert(alignof(BezCtrl) <= alignof(double), "controls follow the parameters");

    FitCubic(d, u, 0, n - 1, t1, t2, tolerance, &out);

    KyPath *p = nullptr;
    if (out.count > 0 && out.count % 3 == 1) {
        const int32_t points = out.count + (closed ? 3 : 0);
        p = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(points)));
        if (p) {
            p->count = points;
            PathPoint *pts = path::Points(p);
            for (int32_t i = 0; i < out.count; ++i) {
                pts[i].type = i == 0 ? PT_MOVETO : PT_BEZIERTO;
                pts[i].x = fx::FromDouble(out.ctrls[i].x);
                pts[i].y = fx::FromDouble(out.ctrls[i].y);
            }
            if (closed) {
                // A straight closing curve, handles at (nearly) the thirds.
                Vec2 last{out.ctrls[out.count - 1].x, out.ctrls[out.count - 1].y};
                Vec2 first{out.ctrls[0].x, out.ctrls[0].y};
                Vec2 chord = Diff(first, last);
                Vec2 h1 = Add(last, Mul(chord, 0.333333)), h2 = Add(last, Mul(chord, 0.666667));
                PathPoint *c = pts + out.count;
                c[0].type = PT_BEZIERTO;
                c[0].x = fx::FromDouble(h1.x);
                c[0].y = fx::FromDouble(h1.y);
                c[1].type = PT_BEZIERTO;
                c[1].x = fx::FromDouble(h2.x);
                c[1].y = fx::FromDouble(h2.y);
                c[2].type = PT_BEZIERTO | PT_CLOSEFIGURE;
                c[2].x = +pts[0].x;
                c[2].y = +pts[0].y;
            }
            DebugPrint("- KyPathCreateApproximateBezier(): %d ctrls created from %d datas.\n", p->count, n);
        }
    }
    mem::MemFree(scratch);
    return p;
}

}  // namespace curvefit

Y32_BEGIN_C

KyPath *KyPathCreateApproximateBezier(CoordStruct *view, int32_t count, const POINT *points, double tolerance,
                                      int32_t closed) {
    if (!view || !points || count < 3) return nullptr;
    if (count > curvefit::kMaxData) {
        DebugPrint("- KyPathCreateApproximateBezier(): datas exceed max number (%d), array trimmed.\n",
                   curvefit::kMaxData);
        count = curvefit::kMaxData;
    }
    if (view->zoom == 0.0) return nullptr;
    auto *d = static_cast<vec::Vec2 *>(mem::MemAlloc(0, sizeof(vec::Vec2) * static_cast<size_t>(count)));
    if (!d) return nullptr;
    for (int32_t i = 0; i < count; ++i) view::WindowToImage(view, points[i].x, points[i].y, &d[i].x, &d[i].y);
    KyPath *p = curvefit::FitPoints(d, count, tolerance, closed != 0);
    mem::MemFree(d);
    return p;
}

Y32_END_C
