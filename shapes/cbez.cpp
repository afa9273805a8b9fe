// shapes/cbez.cpp - knot editing and handle placement of the smooth curve.
//
// All positions are image coordinates in doubles. Knot positions in the
// window code below are counted in knots, not controls: knot k is control
// 3k, and a curve of nCtrls controls has M = (nCtrls - 1) / 3 segments.
#include "shapes/cbez.h"

#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "shapes/curve_vec.h"

using vec::Vec2;

namespace {

using namespace curvevec;

Vec2 Pos(const BezCtrl &c) { return Vec2{c.x, c.y}; }
void SetPos(BezCtrl &c, Vec2 p) {
    c.x = p.x;
    c.y = p.y;
}

bool Coincide(Vec2 a, Vec2 b) {
    return std::fabs(a.x - b.x) <= CBez::kSame && std::fabs(a.y - b.y) <= CBez::kSame;
}

bool WholeSegments(int32_t n) { return n >= 4 && (n - 1) % 3 == 0; }

// The common tangent of an interior knot K with neighbours P (before) and
// N (after): the unit chords weighted by the opposite chord's length, so
// the longer chord pulls the tangent less. Writes the two chord lengths.
Vec2 InteriorTangent(Vec2 p, Vec2 k, Vec2 n, double *la, double *lb) {
    Vec2 a = Diff(k, p), b = Diff(n, k);
    *la = LengthOrZero(a);
    *lb = LengthOrZero(b);
    Vec2 ua = UnitOrZero(a), ub = UnitOrZero(b);
    return UnitOrZero(Add(Mul(ua, *lb), Mul(ub, *la)));
}

const char *TypeName(int32_t type) {
    switch (type) {
        case CBez::kC2: return "C2";
        case CBez::kHybrid: return "HYBRID";
        default: return "G1";
    }
}

// Positive remainder.
int32_t Wrap(int32_t p, int32_t m) {
    int32_t r = p % m;
    return r < 0 ? r + m : r;
}

}  // namespace

CBez::CBez() {
    std::memset(knots, 0, sizeof knots);
    std::memset(derivs, 0, sizeof derivs);
    std::memset(ctrls, 0, sizeof ctrls);
    nCtrls = 0;
    tension = kDefaultTension;
    type = kG1;
}

void CBez::Empty() {
    nCtrls = 0;
    DebugPrint("- CBez: empty.\n");
}

void CBez::Append(uint32_t flag) {
    if (nCtrls == 0) {
        ctrls[0] = BezCtrl{0.0, 0.0, flag};
        nCtrls = 1;
        return;
    }
    // A segment takes three controls; a curve one short of full keeps what
    // it has rather than writing past the array.
    if (nCtrls + 3 > kMaxCtrls) return;
    BezCtrl last = ctrls[nCtrls - 1];
    ctrls[nCtrls] = BezCtrl{last.x, last.y, 0};
    ctrls[nCtrls + 1] = BezCtrl{last.x, last.y, 0};
    ctrls[nCtrls + 2] = BezCtrl{last.x, last.y, flag};
    nCtrls += 3;
}

void CBez::DeleteLast() {
    nCtrls = nCtrls > 3 ? nCtrls - 3 : 0;
    DebugPrint("- CBez: segment deleted, nCtrls=%d.\n", nCtrls);
}

bool CBez::IsClosed(const Vec2 *pt) const {
    if (nCtrls < 10) return false;
    Vec2 p = pt ? *pt : Pos(ctrls[nCtrls - 1]);
    return Coincide(p, Pos(ctrls[0]));
}

void CBez::Edit(int32_t t, int32_t index, Vec2 pos, int32_t span, bool closedAllowed) {
    if (index < 0 || index >= nCtrls || index % 3 != 0 || (span != 1 && span != 2)) return;
    type = t;
    SetPos(ctrls[index], pos);
    if (nCtrls == 1) {
        DebugPrint("- CBez::Edit(): type = %s\n", TypeName(type));
        return;
    }
    if (!WholeSegments(nCtrls)) return;

    const int32_t m = (nCtrls - 1) / 3;
    const bool loop = closedAllowed && IsClosed();
    const int32_t k = index / 3;

    // In a loop the first and the last knot are one point: it is relaxed
    // when either record says so.
    auto relaxed = [&](int32_t p) -> bool {
        if (!loop) return ctrls[3 * p].flag != kClamp;
        int32_t q = Wrap(p, m);
        if (q == 0) return ctrls[0].flag != kClamp || ctrls[nCtrls - 1].flag != kClamp;
        return ctrls[3 * q].flag != kClamp;
    };

    // Walk outwards at most `span` knots, stopping on a relaxed knot. The
    // moved knot's own flag does not stop the walk: a corner that moves
    // still needs the segments on both of its sides refitted.
    int32_t lo = k, hi = k;
    for (int32_t s = 0; s < span; ++s) {
        if (!loop && lo < 1) break;
        if (lo != k && relaxed(lo)) break;
        --lo;
    }
    for (int32_t s = 0; s < span; ++s) {
        if (!loop && hi >= m) break;
        if (loop && hi - lo >= m) break;
        if (hi != k && relaxed(hi)) break;
        ++hi;
    }

    auto has_tangent = [&](int32_t p, bool at_curve_end) { return !at_curve_end && !relaxed(p); };
    bool left_tangent = has_tangent(lo, !loop && lo == 0);
    bool right_tangent = has_tangent(hi, !loop && hi == m);

    if (loop && hi - lo >= m && left_tangent && !relaxed(k)) {
        // The window is the whole loop and nothing in it is a corner.
        ArrangeRun(ctrls, nCtrls, true, nullptr, nullptr);
        return;
    }
    // A relaxed knot inside the window is a free end of both runs that meet
    // there.
    if (relaxed(k) && lo < k && k < hi) {
        ArrangeKnotWindow(lo, k, left_tangent, false, loop);
        ArrangeKnotWindow(k, hi, false, right_tangent, loop);
    } else {
        ArrangeKnotWindow(lo, hi, left_tangent, right_tangent, loop);
    }
}

void CBez::ArrangeKnotWindow(int32_t a, int32_t b, bool leftTangent, bool rightTangent, bool loop) {
    const int32_t segs = b - a;
    // The walk covers at most two knots on each side.
    constexpr int32_t kMaxWindowSegs = 4;
    if (segs < 1 || segs > kMaxWindowSegs) return;
    const int32_t m = (nCtrls - 1) / 3;
    auto seg_of = [&](int32_t p) { return loop ? Wrap(p, m) : p; };
    // The knot that closes a loop is read from control 0; the closing copy
    // lies within kSame of it.
    auto knot_ctrl = [&](int32_t p) { return 3 * seg_of(p); };
    // Tangent at a window end: the direction of the knot's present incoming
    // handle, which the segment outside the window shares.
    auto tangent_at = [&](int32_t p) {
        int32_t q = seg_of(p);
        if (loop && q == 0) q = m;
        Vec2 t = Diff(Pos(ctrls[3 * q]), Pos(ctrls[3 * q - 1]));
        return SolvesSpline() ? Mul(t, 3.0) : UnitOrZero(t);
    };

    BezCtrl run[3 * kMaxWindowSegs + 1];
    const int32_t n = 3 * segs + 1;
    for (int32_t j = 0; j <= segs; ++j) {
        run[3 * j] = ctrls[knot_ctrl(a + j)];
        if (j < segs) {
            run[3 * j + 1] = ctrls[3 * seg_of(a + j) + 1];
            run[3 * j + 2] = ctrls[3 * seg_of(a + j) + 2];
        }
    }
    Vec2 left{}, right{};
    if (leftTangent) left = tangent_at(a);
    if (rightTangent) right = tangent_at(b);
    ArrangeRun(run, n, false, leftTangent ? &left : nullptr, rightTangent ? &right : nullptr);
    for (int32_t j = 0; j < segs; ++j) {
        ctrls[3 * seg_of(a + j) + 1] = run[3 * j + 1];
        ctrls[3 * seg_of(a + j) + 2] = run[3 * j + 2];
    }
}

void CBez::ArrangeRun(BezCtrl *run, int32_t n, bool closed, const Vec2 *left, const Vec2 *right) {
    if (SolvesSpline())
        ArrangeSegmentsC2(run, n, closed, left, right);
    else
        ArrangeSegmentsG1(run, n, closed, left, right);
}

void CBez::ArrangeSegmentsG1(BezCtrl *run, int32_t n, bool closed, const Vec2 *left,
                             const Vec2 *right) const {
    if (!run || !WholeSegments(n)) return;
    const int32_t m = (n - 1) / 3;
    const double s = tension;
    auto K = [&](int32_t i) { return Pos(run[3 * i]); };
    closed = closed && Coincide(K(0), K(m));

    for (int32_t i = 1; i < m; ++i) {
        double la, lb;
        Vec2 t = InteriorTangent(K(i - 1), K(i), K(i + 1), &la, &lb);
        SetPos(run[3 * i - 1], Diff(K(i), Mul(t, la * s)));
        SetPos(run[3 * i + 1], Add(K(i), Mul(t, lb * s)));
    }

    if (m == 1) {
        Vec2 chord = Diff(K(1), K(0));
        double len = LengthOrZero(chord);
        Vec2 d = UnitOrZero(chord);
        Vec2 h1 = K(0), h2 = K(1);
        if (!closed) {
            if (!left && !right) {
                h1 = Add(K(0), Mul(d, len * s));
                h2 = Diff(K(1), Mul(d, len * s));
            } else {
                if (left) h1 = Add(K(0), Mul(*left, len * s));
                if (right) h2 = Diff(K(1), Mul(*right, len * s));
            }
        }
        SetPos(run[1], h1);
        SetPos(run[2], h2);
        return;
    }

    if (closed) {
        double la, lb;
        Vec2 t = InteriorTangent(K(m - 1), K(0), K(1), &la, &lb);
        SetPos(run[1], Add(K(0), Mul(t, lb * s)));
        SetPos(run[n - 2], Diff(K(m), Mul(t, la * s)));
        return;
    }
    Vec2 first = K(0), last = K(m);
    if (left) first = Add(K(0), Mul(*left, Length(Diff(K(1), K(0))) * s));
    if (right) last = Diff(K(m), Mul(*right, Length(Diff(K(m), K(m - 1))) * s));
    SetPos(run[1], first);
    SetPos(run[n - 2], last);
}

bool CBez::SolveLinearSystem(double *aug, int32_t n, double *x) {
    if (!aug || !x || n < 1) return false;
    const int32_t w = n + 1;
    auto at = [&](int32_t r, int32_t c) -> double & { return aug[r * w + c]; };
    for (int32_t k = 0; k < n; ++k) {
        double pivot = at(k, k);
        // Written so that a pivot that is not a number fails too.
        if (!(std::fabs(pivot) >= kMinPivot)) return false;
        for (int32_t r = k + 1; r < n; ++r) {
            double f = at(r, k) / pivot;
            if (f == 0.0) continue;
            for (int32_t c = k; c < w; ++c) at(r, c) -= f * at(k, c);
        }
    }
    // Results go into the right-hand column first, so that a failure leaves
    // x as it was.
    for (int32_t r = n - 1; r >= 0; --r) {
        double v = at(r, n);
        for (int32_t c = r + 1; c < n; ++c) v -= at(r, c) * at(c, n);
        v /= at(r, r);
        if (!std::isfinite(v)) return false;
        at(r, n) = v;
    }
    for (int32_t r = 0; r < n; ++r) x[r] = at(r, n);
    return true;
}

bool CBez::ArrangeSegmentsC2(BezCtrl *run, int32_t n, bool closed, const Vec2 *left, const Vec2 *right) {
    const int32_t m = WholeSegments(n) ? (n - 1) / 3 : 0;
    if (!run || m < 1 || m + 1 > kMaxSolvedKnots) {
        DebugPrint("- CBez::ArrangeSegmentsC2() failed.\n");
        return false;
    }
    for (int32_t i = 0; i <= m; ++i) knots[i] = BezCtrl{run[3 * i].x, run[3 * i].y, run[3 * i].flag};
    derivs[0] = left ? BezCtrl{left->x, left->y, 0} : BezCtrl{};
    derivs[m] = right ? BezCtrl{right->x, right->y, 0} : BezCtrl{};
    auto K = [&](int32_t i) { return Pos(knots[i]); };
    closed = closed && Coincide(K(0), K(m));

    // Unknowns D0..Dm; a closed run has Dm = D0 and m unknowns. The rows of
    // a loop of one or two segments name the same unknown more than once,
    // so coefficients are added, not stored.
    const int32_t u = closed ? m : m + 1;
    double solved[2][kMaxSolvedKnots];
    for (int32_t axis = 0; axis < 2; ++axis) {
        auto coord = [&](Vec2 v) { return axis == 0 ? v.x : v.y; };
        double aug[kMaxSolvedKnots * (kMaxSolvedKnots + 1)] = {};
        const int32_t w = u + 1;
        auto A = [&](int32_t r, int32_t c) -> double & { return aug[r * w + c]; };
        if (closed) {
            for (int32_t i = 0; i < m; ++i) {
                int32_t prev = Wrap(i - 1, m), next = Wrap(i + 1, m);
                A(i, prev) += 1.0;
                A(i, i) += 4.0;
                A(i, next) += 1.0;
                A(i, u) = 3.0 * (coord(K(i + 1)) - coord(K(prev)));
            }
        } else {
            if (left) {
                A(0, 0) = 1.0;
                A(0, u) = coord(*left);
            } else {
                A(0, 0) = 1.0;
                A(0, 1) = 0.5;
                A(0, u) = 1.5 * (coord(K(1)) - coord(K(0)));
            }
            for (int32_t i = 1; i < m; ++i) {
                A(i, i - 1) = 1.0;
                A(i, i) = 4.0;
                A(i, i + 1) = 1.0;
                A(i, u) = 3.0 * (coord(K(i + 1)) - coord(K(i - 1)));
            }
            if (right) {
                A(m, m) = 1.0;
                A(m, u) = coord(*right);
            } else {
                A(m, m - 1) = 2.0;
                A(m, m) = 4.0;
                A(m, u) = 6.0 * (coord(K(m)) - coord(K(m - 1)));
            }
        }
        if (!SolveLinearSystem(aug, u, solved[axis])) {
            DebugPrint("- CBez::ArrangeSegmentsC2() failed.\n");
            return false;
        }
    }
    for (int32_t i = 0; i <= m; ++i) {
        int32_t j = closed && i == m ? 0 : i;
        derivs[i] = BezCtrl{solved[0][j], solved[1][j], 0};
    }
    auto D = [&](int32_t i) { return Pos(derivs[i]); };

    if (type != kHybrid) {
        for (int32_t i = 0; i < m; ++i) {
            SetPos(run[3 * i + 1], Add(K(i), Mul(D(i), 1.0 / 3.0)));
            SetPos(run[3 * i + 2], Diff(K(i + 1), Mul(D(i + 1), 1.0 / 3.0)));
        }
        return true;
    }

    // HYBRID: the spline's directions, G1's lengths. A free end of an open
    // run takes the direction of the chord from it to the handle next to
    // it, which is placed first; a lone free segment is straight.
    const double s = tension;
    Vec2 dir[kMaxSolvedKnots];
    for (int32_t i = 0; i <= m; ++i) dir[i] = UnitOrZero(D(i));
    const bool free_start = !closed && !left, free_end = !closed && !right;
    if (m == 1 && free_start && free_end) dir[0] = dir[1] = UnitOrZero(Diff(K(1), K(0)));
    auto chord = [&](int32_t i) { return Length(Diff(K(i + 1), K(i))); };
    for (int32_t i = 0; i < m; ++i) {
        SetPos(run[3 * i + 1], Add(K(i), Mul(dir[i], chord(i) * s)));
        SetPos(run[3 * i + 2], Diff(K(i + 1), Mul(dir[i + 1], chord(i) * s)));
    }
    if (m > 1 || !(free_start && free_end)) {
        if (free_start) SetPos(run[1], Add(K(0), Mul(UnitOrZero(Diff(Pos(run[2]), K(0))), chord(0) * s)));
        if (free_end)
            SetPos(run[n - 2], Diff(K(m), Mul(UnitOrZero(Diff(K(m), Pos(run[n - 3]))), chord(m - 1) * s)));
    }
    return true;
}

KyPath *CBez::ToPath(bool closed) const {
    if (!WholeSegments(nCtrls)) return nullptr;
    auto *p = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(nCtrls)));
    if (!p) return nullptr;
    p->count = nCtrls;
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < nCtrls; ++i) {
        pts[i].type = i == 0 ? PT_MOVETO : PT_BEZIERTO;
        pts[i].x = fx::FromDouble(ctrls[i].x);
        pts[i].y = fx::FromDouble(ctrls[i].y);
    }
    const bool is_closed = closed && IsClosed();
    if (is_closed) {
        // The closing point repeats the first point exactly; the knots may
        // differ by less than kSame, which would still show in 16.16.
        PathPoint &last = pts[nCtrls - 1];
        last.type = PT_BEZIERTO | PT_CLOSEFIGURE;
        last.x = +pts[0].x;
        last.y = +pts[0].y;
    }
    DebugPrint("- CBez: converted to KyPath, nCtrls=%d, closed=%s.\n", nCtrls, is_closed ? "TRUE" : "FALSE");
    return p;
}
