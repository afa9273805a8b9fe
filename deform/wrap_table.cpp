// deform/wrap_table.cpp - the baseline's arc-length table and positions on
// the baseline.
//
// The table holds, per segment, its start (t = 0), the chord ends of its
// forward-differencing walk and its end (t = 65535), with the running arc
// length as a float: about a thousandth of a pixel at 10000 pixels, well
// below what FIXED output can show after the bending.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/afd.h"
#include "core/bezier.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "deform/cut_stretch.h"
#include "deform/wrap.h"

namespace wrap {

namespace {

using vec::Vec2;

Vec2 At(const KyPath *p, int32_t i) {
    const PathPoint &pt = path::Points(p)[i];
    return Vec2{fx::ToDouble(pt.x), fx::ToDouble(pt.y)};
}

bez::Cubic CubicOf(const Baseline &b, int32_t seg) {
    int32_t i = b.segs[seg].first;
    return bez::Cubic{{At(b.path, i), At(b.path, i + 1), At(b.path, i + 2), At(b.path, i + 3)}};
}

bool Unit(Vec2 *v) {
    double len = std::sqrt(v->x * v->x + v->y * v->y);
    if (!(len > 1e-12)) return false;
    v->x /= len;
    v->y /= len;
    return true;
}

bool Append(Baseline *b, double length, uint16_t t, int32_t seg) {
    if (b->count == b->capacity) {
        void *grown = mem::MemReAlloc(b->table, sizeof(AfdEntry) * static_cast<size_t>(b->capacity + kTableStep), 0);
        if (!grown) return false;
        b->table = static_cast<AfdEntry *>(grown);
        b->capacity += kTableStep;
    }
    b->table[b->count++] = AfdEntry{static_cast<float>(length), t, static_cast<uint16_t>(seg)};
    return true;
}

// Sign changes of y' along the walk, as arc lengths.
struct ExtremeTracker {
    bool on;
    int sign = 0;
    void Step(Baseline *b, double dy, double length_before) {
        if (!on || dy == 0.0) return;
        int s = dy > 0 ? 1 : -1;
        if (sign != 0 && s != sign && b->nextremes < kMaxExtremes) b->extremes[b->nextremes++] = length_before;
        sign = s;
    }
};

// The flattener's setting for the table: halve above 40000, double below
// 20000, steps between 2 and a quarter of the curve.
afd::Params TableParams() {
    afd::Params p{40000.0, 20000.0};
    p.initial_step = 0x4000;
    p.max_step = 0x4000;
    p.min_step = 2;
    p.arith = afd::Arith::kDouble;
    return p;
}

Located Nearest(const Baseline &b, int32_t idx, bool forward_first, const char *fail) {
    auto usable = [&](int32_t j) { return !b.segs[b.table[j].segment].ignored; };
    auto take = [&](int32_t j) { return Located{b.table[j].segment, b.table[j].t / 65535.0}; };
    if (usable(idx)) return take(idx);
    for (int pass = 0; pass < 2; ++pass) {
        bool fwd = (pass == 0) == forward_first;
        for (int32_t j = idx; j >= 0 && j < b.count; j += fwd ? 1 : -1)
            if (usable(j)) return take(j);
    }
    DebugPrint("%s", fail);
    return Located{0, 0.0};
}

}  // namespace

void FreeBaseline(Baseline *b) {
    if (b->segs) mem::MemFree(b->segs);
    if (b->table) mem::MemFree(b->table);
    b->segs = nullptr;
    b->table = nullptr;
    b->nseg = b->count = b->capacity = 0;
}

bool WrapMakeAFDTableAndSegInfo(const KyPath *baseline, Baseline *out, bool collect_extremes) {
    *out = Baseline{};
    if (!baseline || baseline->count < 2) {
        diag::ReportError(0, diag::kErrBaselineShort, 1, diag::kUnitWrap, 718);
        return false;
    }
    const PathPoint *pts = path::Points(baseline);
    int32_t nseg = 0;
    for (int32_t i = 1; i < baseline->count;) {
        uint16_t kind = pts[i].type & path::kTypeMask;
        if (kind == PT_LINETO) {
            i += 1;
        } else if (kind == PT_BEZIERTO && i + 2 < baseline->count) {
            i += 3;
        } else {
            diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 734);
            return false;
        }
        ++nseg;
    }
    // Entries name their segment in 16 bits.
    if (nseg > 65535) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 734);
        return false;
    }
    Baseline &b = *out;
    b.path = baseline;
    b.segs = static_cast<SegInfo *>(mem::MemAlloc(mem::kZeroInit, sizeof(SegInfo) * static_cast<size_t>(nseg)));
    if (!b.segs) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 744);
        return false;
    }
    b.nseg = nseg;
    b.table = static_cast<AfdEntry *>(mem::MemAlloc(0, sizeof(AfdEntry) * kTableStart));
    if (!b.table) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 761);
        FreeBaseline(&b);
        return false;
    }
    b.capacity = kTableStart;

    ExtremeTracker ext{collect_extremes};
    double total = 0.0;
    int32_t seg = 0;
    for (int32_t i = 1; i < baseline->count; ++seg) {
        SegInfo &si = b.segs[seg];
        si.first = i - 1;
        si.entryFirst = b.count;
        const double start = total;
        bool ok = true;
        int32_t fail_line = 0;
        if ((pts[i].type & path::kTypeMask) == PT_LINETO) {
            Vec2 p0 = At(baseline, i - 1), p1 = At(baseline, i);
            si.kind = 0;
            double len = vec::Distance(p0.x, p0.y, p1.x, p1.y);
            ok = Append(&b, total, 0, seg) && Append(&b, total + len, 65535, seg);
            fail_line = 350;
            if (ok) ext.Step(&b, p1.y - p0.y, total);
            total += len;
            si.extreme[0] = std::min(p0.y, p1.y);
            si.extreme[1] = std::max(p0.y, p1.y);
            i += 1;
        } else {
            si.kind = 1;
            double px[4], py[4];
            for (int k = 0; k < 4; ++k) {
                Vec2 v = At(baseline, i - 1 + k);
                px[k] = v.x;
                py[k] = v.y;
            }
            si.extreme[0] = si.extreme[1] = py[0];
            ok = Append(&b, total, 0, seg);
            fail_line = 422;
            double x = px[0], y = py[0];
            if (ok) {
                afd::Flatten(px, py, TableParams(), [&](double nx, double ny, int32_t t, bool) {
                    if (!ok) return;
                    double before = total;
                    total += vec::Distance(x, y, nx, ny);
                    ext.Step(&b, ny - y, before);
                    x = nx;
                    y = ny;
                    si.extreme[0] = std::min(si.extreme[0], ny);
                    si.extreme[1] = std::max(si.extreme[1], ny);
                    if (!Append(&b, total, static_cast<uint16_t>(std::min<int32_t>(t, 65535)), seg)) {
                        ok = false;
                        fail_line = 546;
                    }
                });
            }
            i += 3;
        }
        if (!ok) {
            diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, fail_line);
            FreeBaseline(&b);
            return false;
        }
        si.entryLast = b.count - 1;
        si.length = total - start;
        if (si.length < kMinSegmentLength) {
            DebugPrint(si.kind == 0 ? "- WrapMakeAFDTableAndSegInfo(): path segment [%d] length=0 ignored, type = LINE.\n"
                                    : "- WrapMakeAFDTableAndSegInfo(): path segment [%d] length=0 ignored, type = BEZR.\n",
                       seg);
            si.length = 0.0;
            si.ignored = 1;
            // It keeps its entries but no arc length: the next segment
            // starts where the previous one ended.
            for (int32_t e = si.entryFirst; e <= si.entryLast; ++e) b.table[e].length = static_cast<float>(start);
            total = start;
        }
    }
    b.length = total;
    for (int32_t k = 0; k < nseg; ++k) {
        b.segs[k].t0 = WrapGetPathTangent(b, k, 0.0);
        b.segs[k].t1 = WrapGetPathTangent(b, k, 1.0);
    }
    if (total < kMinSegmentLength) {
        DebugPrint("- WrapMakeAFDTableAndSegInfo() error: path length too short.\n");
        diag::ReportError(0, diag::kErrBaselineShort, 1, diag::kUnitWrap, 825);
        FreeBaseline(&b);
        return false;
    }
    if (collect_extremes) {
        for (int32_t k = 0; k < b.nextremes; ++k) b.extremes[k] /= total;
        if (b.nextremes % 2 == 0) b.extremes[b.nextremes++] = 1.0;
        DebugPrint("[TrimmedRibbon]: %d y'=max/min points.\n", b.nextremes);
        for (int32_t k = 0; k < b.nextremes; ++k)
            DebugPrint("\tpoint[%02d]: T = %04d\n", k, static_cast<int>(b.extremes[k] * 10000.0));
    }
    return true;
}

Located BinarySearchAFDTable(const Baseline &b, int32_t first, int32_t last, double s) {
    static const char kLeft[] = "- BinarySearchAFDTable(): error on left margin.\n";
    static const char kRight[] = "- BinarySearchAFDTable(): error on right margin.\n";
    if (b.count <= 0) return Located{0, 0.0};
    first = std::max<int32_t>(first, 0);
    last = std::min<int32_t>(last, b.count - 1);
    if (last < first) return Located{0, 0.0};
    if (!(s > b.table[first].length)) return Nearest(b, first, false, kLeft);
    if (s >= b.table[last].length) return Nearest(b, last, true, kRight);
    while (last - first > 1) {
        int32_t mid = (first + last) / 2;
        double len = b.table[mid].length;
        if (len == s) return Nearest(b, mid, true, kRight);
        if (len < s) first = mid;
        else last = mid;
    }
    const AfdEntry &a = b.table[first], &z = b.table[last];
    if (a.segment == z.segment && !b.segs[a.segment].ignored) {
        double span = static_cast<double>(z.length) - a.length;
        if (span < 0.0001) return Located{a.segment, a.t / 65535.0};
        double t = (a.t + (z.t - a.t) * (s - a.length) / span) / 65535.0;
        return Located{a.segment, t};
    }
    if (s - a.length <= z.length - s) return Nearest(b, first, false, kLeft);
    return Nearest(b, last, true, kRight);
}

Vec2 SegmentPoint(const Baseline &b, int32_t seg, double t) {
    const SegInfo &si = b.segs[seg];
    if (si.kind == 0) {
        Vec2 p0 = At(b.path, si.first), p1 = At(b.path, si.first + 1);
        return Vec2{p0.x + (p1.x - p0.x) * t, p0.y + (p1.y - p0.y) * t};
    }
    return bez::PointAt(CubicOf(b, seg), t);
}

Vec2 WrapGetPathTangent(const Baseline &b, int32_t seg, double t) {
    const SegInfo &si = b.segs[seg];
    Vec2 d;
    if (si.kind == 0) {
        Vec2 p0 = At(b.path, si.first), p1 = At(b.path, si.first + 1);
        d = Vec2{p1.x - p0.x, p1.y - p0.y};
    } else {
        bez::Cubic c = CubicOf(b, seg);
        d = bez::DerivativeAt(c, t);
        if (!Unit(&d)) {
            // A handle on its knot: the curve leaves (or arrives) along the
            // next distinct control point.
            const Vec2 *p = c.p;
            if (t < 0.5) {
                for (int k = 1; k < 4; ++k) {
                    d = Vec2{p[k].x - p[0].x, p[k].y - p[0].y};
                    if (Unit(&d)) return d;
                }
            } else {
                for (int k = 2; k >= 0; --k) {
                    d = Vec2{p[3].x - p[k].x, p[3].y - p[k].y};
                    if (Unit(&d)) return d;
                }
            }
            // An interior cusp: the chord's direction.
            d = Vec2{p[3].x - p[0].x, p[3].y - p[0].y};
        }
    }
    if (!Unit(&d)) {
        DebugPrint("- WrapGetPathTangent(): zero vector returned.\n");
        return Vec2{0.0, 0.0};
    }
    return d;
}

double NormaliseStartOffset(double v) {
    if (!std::isfinite(v)) return 0.0;
    // Whole turns added or taken at once (a loop adding 1 would never end
    // on a value like -1e300): negative values rise into [0, 1), values
    // above 1 fall into (0, 1].
    if (v < 0.0) v += std::ceil(-v);
    else if (v > 1.0) v -= std::ceil(v - 1.0);
    if (!(v >= 0.0)) v = 0.0;
    return std::min(v, 0.999);
}

double FontHeight(const WrapInfo &w) {
    uint64_t bits;
    std::memcpy(&bits, &w.baselineLevel, sizeof bits);
    int32_t h = static_cast<int32_t>(bits & 0xFFFF);
    // A host that stored the height as a number rather than in the low
    // bits is read the same way.
    if (h == 0 && w.baselineLevel >= 1.0 && w.baselineLevel < 65536.0) h = static_cast<int32_t>(w.baselineLevel);
    return h;
}

Settings Normalise(const WrapInfo &info) {
    Settings s;
    s.info = info;
    WrapInfo &w = s.info;
    if (w.repeatCount < 0) w.repeatCount = 0;
    if (w.spacing == -1.0 || !std::isfinite(w.spacing)) w.spacing = 0.0;
    if (w.orientation != 0 && w.orientation != 1) w.orientation = 0;
    w.startOffset = NormaliseStartOffset(w.startOffset);
    return s;
}

}  // namespace wrap
