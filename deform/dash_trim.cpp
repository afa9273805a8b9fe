// deform/dash_trim.cpp - TrimToRange: the part of a path between two
// arc-length fractions.
//
// The fractions are located on the path's arc-length table (the one the
// wrap builds), so a trim and the wrap that follows it agree on where a
// length falls. The end segments are cut by de Casteljau at the located
// parameters; segments wholly inside the range are copied point for point.
// On a closed path a range with t0 > t1 runs from t0 through the start
// point to t1: the piece from t0 to the end and the piece from the start
// to t1 are joined at the start point (the same place as the end point)
// into one open subpath.
#include <cmath>

#include "core/bezier.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "deform/dash.h"
#include "deform/wrap.h"
#include "y32path/core.h"

namespace dash {
namespace {

constexpr double kEdgeTolerance = 0.0001;
constexpr double kWholeRange = 0.99;
constexpr double kNoRange = 0.01;

// A fraction of a closed path brought into [0, 1] by whole turns; values
// within the tolerance outside an end are taken as that end.
double IntoUnit(double t) {
    if (t >= 0.0 && t <= 1.0) return t;
    if (t >= -kEdgeTolerance && t < 0.0) return 0.0;
    if (t > 1.0 && t <= 1.0 + kEdgeTolerance) return 1.0;
    return t - std::floor(t);
}

bez::Cubic SegmentCubic(const KyPath *p, const wrap::SegInfo &s) {
    const PathPoint *pts = path::Points(p);
    auto at = [&](int32_t i) { return vec::Vec2{fx::ToDouble(pts[i].x), fx::ToDouble(pts[i].y)}; };
    if (s.kind == 0) {
        vec::Vec2 a = at(s.first), b = at(s.first + 1);
        return bez::Cubic{{a, bez::Lerp(a, b, 1.0 / 3), bez::Lerp(a, b, 2.0 / 3), b}};
    }
    return bez::Cubic{{at(s.first), at(s.first + 1), at(s.first + 2), at(s.first + 3)}};
}

// The part [u0, u1] of a cubic (0 <= u0 < u1 <= 1).
bez::Cubic Part(const bez::Cubic &c, double u0, double u1) {
    bez::Cubic right = c, out;
    if (u0 > 0.0) bez::Split(c, u0, nullptr, &right);
    double v = u0 < 1.0 ? (u1 - u0) / (1.0 - u0) : 1.0;
    if (v < 1.0) bez::Split(right, v, &out, nullptr);
    else out = right;
    return out;
}

// Builds the kept pieces into a new record.
class Builder {
  public:
    Builder(const KyPath *src, const wrap::Baseline &b) : src_(src), b_(b) {}

    // Appends segment k from parameter u0 to u1 (whole: 0 to 1, copied
    // exactly). The first piece also writes the start point.
    bool Add(int32_t k, double u0, double u1) {
        if (!(u1 > u0)) return true;
        const wrap::SegInfo &s = b_.segs[k];
        const PathPoint *pts = path::Points(src_);
        const bool whole = u0 <= 0.0 && u1 >= 1.0;
        const int32_t n = s.kind == 0 ? 1 : 3;
        PathPoint *out = nullptr;
        const bool first = !p_;
        if (!Reserve(n + (first ? 1 : 0), &out)) return false;
        bez::Cubic part = whole ? bez::Cubic{} : Part(SegmentCubic(src_, s), u0, u1);
        if (first) {
            PathPoint &m = *out++;
            m.type = PT_MOVETO;
            if (whole) {
                m.x = pts[s.first].x;
                m.y = pts[s.first].y;
            } else {
                m.x = fx::FromDouble(part.p[0].x);
                m.y = fx::FromDouble(part.p[0].y);
            }
        }
        const uint16_t type = s.kind == 0 ? PT_LINETO : PT_BEZIERTO;
        for (int32_t i = 1; i <= n; ++i) {
            PathPoint &q = out[i - 1];
            q.type = type;
            if (whole) {
                q.x = pts[s.first + i].x;
                q.y = pts[s.first + i].y;
            } else {
                const vec::Vec2 v = s.kind == 0 ? part.p[3] : part.p[i];
                q.x = fx::FromDouble(v.x);
                q.y = fx::FromDouble(v.y);
            }
        }
        return true;
    }

    KyPath *Take() {
        KyPath *p = p_;
        p_ = nullptr;
        return p;
    }
    ~Builder() {
        if (p_) mem::PathFree(p_);
    }

  private:
    bool Reserve(int32_t n, PathPoint **out) {
        if (!p_) {
            p_ = static_cast<KyPath *>(mem::PathAlloc(path::kNewRecordBytes));
            if (!p_) return false;
            p_->version = src_->version;
            p_->flags = src_->flags & ~(KPF_HASSELPOINT | KPF_HASSELSEGMENT);
        }
        return PathReserve(&p_, out, n) != 0;
    }

    const KyPath *src_;
    const wrap::Baseline &b_;
    KyPath *p_ = nullptr;
};

// Appends the path from arc length position a to b (a before b).
bool AddRange(Builder *out, const wrap::Located &a, const wrap::Located &b) {
    if (a.segment > b.segment) return true;
    if (a.segment == b.segment) return out->Add(a.segment, a.t, b.t);
    if (!out->Add(a.segment, a.t, 1.0)) return false;
    for (int32_t k = a.segment + 1; k < b.segment; ++k)
        if (!out->Add(k, 0.0, 1.0)) return false;
    return out->Add(b.segment, 0.0, b.t);
}

void Discard(KyPath **holder) {
    KyPathDeletePtr(*holder, 0);
    *holder = nullptr;
}

}  // namespace

bool TrimToRange(KyPath **holder, double t0, double t1) {
    if (!holder || !*holder) return false;
    KyPath *p = *holder;
    if (!std::isfinite(t0) || !std::isfinite(t1)) return false;
    const bool closed = path::IsClosed(p);
    if (closed) {
        t0 = IntoUnit(t0);
        t1 = IntoUnit(t1);
    } else if (t0 < 0.0) {
        t0 = 0.0;
    }
    if (t1 > 1.0) t1 = 1.0;

    if (t0 == t1) {
        Discard(holder);
        return true;
    }
    if (t0 < t1) {
        if (t1 - t0 > kWholeRange) return true;
        if (t1 - t0 < kNoRange) {
            Discard(holder);
            return true;
        }
    } else {
        if (!closed || t0 - t1 > kWholeRange) {
            Discard(holder);
            return true;
        }
        if (t0 - t1 < kNoRange) return true;
    }

    wrap::Baseline b;
    if (!wrap::WrapMakeAFDTableAndSegInfo(p, &b, false)) return false;
    const int32_t last = b.count - 1;
    const wrap::Located a = wrap::BinarySearchAFDTable(b, 0, last, t0 * b.length);
    const wrap::Located z = wrap::BinarySearchAFDTable(b, 0, last, t1 * b.length);
    Builder out(p, b);
    bool ok;
    if (t0 < t1) {
        ok = AddRange(&out, a, z);
    } else {
        const wrap::Located end{b.nseg - 1, 1.0}, start{0, 0.0};
        ok = AddRange(&out, a, end) && AddRange(&out, start, z);
    }
    wrap::FreeBaseline(&b);
    if (!ok) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
        return false;
    }
    KyPath *kept = out.Take();
    KyPathDeletePtr(p, 0);
    *holder = kept;  // null when the located ends met: nothing remains
    return true;
}

}  // namespace dash
