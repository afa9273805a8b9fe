// deform/wrap_deform.cpp - placing a figure on the baseline: repeated
// copies, bending every point (WrapDoDeform) or moving characters whole
// (WrapPlaceRigid).
//
// The figure's frame: x runs from the figure box's left edge, and a point
// at x lands at arc length
//     s = (fitToLength ? progress * usable : x - left) + L * startOffset,
//     progress = (x - left) / (right - left),
// with usable = L on a closed baseline and L (1 - startOffset) on an open
// one. Its height above the figure's own baseline level y0 becomes an
// offset along the baseline's normal, scaled by the height taper
//     hs = startHeight/100 + (endHeight/100 - startHeight/100) * progress.
// Past the end of an open baseline the figure continues straight along the
// last segment's direction; on a closed one it goes round again.
//
// Points are bent, not curves: a segment of the figure stays a line or a
// cubic through its mapped points. To keep that close to the bent shape
// the figure is first split at the x positions where the baseline has a
// joint (so no piece straddles one) and at up to 32 places along each
// baseline curve.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bezier.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "core/record_transform.h"
#include "deform/cut_stretch.h"
#include "deform/wrap.h"
#include "y32path/core.h"

namespace wrap {

namespace {

using vec::Vec2;

// Copies beyond this are not made: the auto count of a figure a hair wide
// on a long baseline would otherwise ask for millions.
constexpr int32_t kMaxCopies = 65535;

Box FigureBox(KyPath *head) {
    Box box{10000.0, 10000.0, -10000.0, -10000.0};
    bool any = false;
    for (KyPath *r = head; r; r = r->next) {
        if (r->count <= 0) continue;
        bez::Box b = bez::PointBounds(r);
        if (!any) {
            box = Box{b.min_x, b.min_y, b.max_x, b.max_y};
            any = true;
            continue;
        }
        box.left = std::min(box.left, b.min_x);
        box.top = std::min(box.top, b.min_y);
        box.right = std::max(box.right, b.max_x);
        box.bottom = std::max(box.bottom, b.max_y);
    }
    return box;
}

// The figure's own baseline: where height 0 lies.
double BaselineY(const Settings &s, const Box &box) {
    const WrapInfo &w = s.info;
    double r;
    if (w.text && s.level == Level::kCircles) {
        r = 0.5;
    } else if (w.text) {
        double asc = static_cast<uint32_t>(w.ascentDescent) >> 16, desc = w.ascentDescent & 0xFFFF;
        r = asc + desc > 0 ? asc / (asc + desc) : 0.5;
    } else {
        r = 1.0 - w.baselineLevel;
    }
    return box.top + r * (box.bottom - box.top + 1.0);
}

// The figure's frame (see the top of the file).
struct Frame {
    const Baseline *b;
    double L, usable, startOffset, span, left;
    double hs0, hs1;  // height scale at progress 0 and 1
    bool fit, closed;

    double Progress(double x) const { return span > 0.0 ? (x - left) / span : 0.0; }
    double ArcLength(double x) const {
        double p = Progress(x);
        return (fit ? p * usable : x - left) + L * startOffset;
    }
    double HeightScale(double x) const { return hs0 - (hs0 - hs1) * Progress(x); }
};

Frame MakeFrame(const Baseline &b, const Settings &s, const Box &box, double usable) {
    const WrapInfo &w = s.info;
    Frame f{&b, b.length, usable, w.startOffset, box.right - box.left, box.left,
            w.startHeight / 100.0, w.endHeight / 100.0, w.fitToLength != 0, w.closedLoop != 0};
    return f;
}

// Base point, unit tangent and place on the baseline at arc length sv.
struct Station {
    Vec2 point, tangent;
    int32_t segment;
    double t;
    bool beyond;  // continued straight past the end
};

int32_t LastUsedSegment(const Baseline &b) {
    for (int32_t k = b.nseg - 1; k >= 0; --k)
        if (!b.segs[k].ignored) return k;
    return b.nseg - 1;
}

Station StationAt(const Frame &f, double sv) {
    const Baseline &b = *f.b;
    if (sv > f.L + 0.0001) {
        if (f.closed) {
            sv = std::fmod(sv, f.L);
        } else {
            int32_t k = LastUsedSegment(b);
            const SegInfo &si = b.segs[k];
            double extra = sv - f.L;
            if (si.kind == 0 && si.length > 0.0) {
                double t = 1.0 + extra / si.length;
                return Station{SegmentPoint(b, k, t), WrapGetPathTangent(b, k, 1.0), k, t, true};
            }
            Vec2 end = SegmentPoint(b, k, 1.0), tan = WrapGetPathTangent(b, k, 1.0);
            return Station{Vec2{end.x + tan.x * extra, end.y + tan.y * extra}, tan, k, 1.0, true};
        }
    }
    Located loc = BinarySearchAFDTable(b, 0, b.count - 1, sv);
    return Station{SegmentPoint(b, loc.segment, loc.t), WrapGetPathTangent(b, loc.segment, loc.t), loc.segment,
                   loc.t, false};
}

// The offset of height h at a station, next to a smoothed corner.
//
// Lines: the direction turns along the line from the corner direction at
// its start to the one at its end, and is lengthened so that its part
// along the line's own normal stays h (the miter factor
// sqrt(1 / (N.T)^2 - 1) on the part along the line, N.T held above
// 0.001): the offset edges of two lines then meet in a miter at the corner
// instead of opening a wedge or overlapping.
//
// Curves: their own normal, plus the difference between the miter offset
// and that normal at each smoothed end, faded linearly towards the other
// end. At the corner a curve then meets its neighbour's miter point.
Vec2 Miter(Vec2 corner_tangent, Vec2 own_tangent, Vec2 own_normal) {
    Vec2 nb = NormalOf(corner_tangent);
    double c = std::max(nb.x * own_normal.x + nb.y * own_normal.y, 0.001);
    double along = nb.x * own_tangent.x + nb.y * own_tangent.y;
    double k = std::sqrt(1.0 / (c * c) - 1.0) * (along < 0.0 ? -1.0 : 1.0);
    return Vec2{own_normal.x + own_tangent.x * k, own_normal.y + own_tangent.y * k};
}

Vec2 OffsetAt(const Baseline &b, const Station &st, double h) {
    Vec2 n = NormalOf(st.tangent);
    const SegInfo &si = b.segs[st.segment];
    if (!si.corner) return Vec2{n.x * h, n.y * h};
    double u = std::min(std::max(st.t, 0.0), 1.0);
    if (si.kind == 0) {
        Vec2 tb{si.t0.x + (si.t1.x - si.t0.x) * u, si.t0.y + (si.t1.y - si.t0.y) * u};
        double len = std::sqrt(tb.x * tb.x + tb.y * tb.y);
        if (!(len > 1e-9)) return Vec2{n.x * h, n.y * h};
        Vec2 m = Miter(Vec2{tb.x / len, tb.y / len}, st.tangent, n);
        return Vec2{m.x * h, m.y * h};
    }
    Vec2 o = n;
    for (int end = 0; end < 2; ++end) {
        if (!si.smoothed[end]) continue;
        double t_end = end;
        Vec2 tan = WrapGetPathTangent(b, st.segment, t_end), nrm = NormalOf(tan);
        Vec2 m = Miter(end ? si.t1 : si.t0, tan, nrm);
        double w = end ? u : 1.0 - u;
        o.x += (m.x - nrm.x) * w;
        o.y += (m.y - nrm.y) * w;
    }
    return Vec2{o.x * h, o.y * h};
}

Vec2 MapPoint(const Frame &f, double y0, double x, double y) {
    Station st = StationAt(f, f.ArcLength(x));
    Vec2 off = OffsetAt(*f.b, st, (y0 - y) * f.HeightScale(x));
    return Vec2{st.point.x + off.x, st.point.y + off.y};
}

// More turns round a closed baseline than any figure makes.
constexpr int32_t kMaxLaps = 1000;

// Growable list of cut positions.
struct Cuts {
    double *x = nullptr;
    int32_t n = 0, cap = 0;
    bool Push(double v, int32_t line) {
        if (n == cap) {
            void *p = mem::MemReAlloc(x, sizeof(double) * static_cast<size_t>(cap + 512), 0);
            if (!p) {
                diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, line);
                return false;
            }
            x = static_cast<double *>(p);
            cap += 512;
        }
        x[n++] = v;
        return true;
    }
    ~Cuts() {
        if (x) mem::MemFree(x);
    }
};

// The figure x of every baseline joint and of points along its curves.
bool CutPositions(const Baseline &b, const Frame &f, const Box &box, double scale, double xoff, Cuts *cuts) {
    cuts->x = static_cast<double *>(mem::MemAlloc(0, sizeof(double) * 512));
    if (!cuts->x) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 2381);
        return false;
    }
    cuts->cap = 512;
    const double right = box.right;
    auto pos = [&](double cum) { return box.left - xoff + cum * scale; };
    int32_t laps = 0;
    for (double lap = 0.0;; lap += b.length) {
        // Copies spaced absurdly far apart make a figure that would go
        // round a closed baseline without end; it is refused as the memory
        // for its cuts would run out, only sooner.
        if (++laps > kMaxLaps) {
            diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 2410);
            return false;
        }
        for (int32_t k = 0; k < b.nseg; ++k) {
            const SegInfo &si = b.segs[k];
            if (si.ignored) continue;
            if (si.kind == 0) {
                double x = pos(lap + b.table[si.entryLast].length);
                if (x > right) return true;
                if (x > box.left && !cuts->Push(x, 2410)) return false;
                continue;
            }
            int32_t n = std::min(std::max(static_cast<int32_t>(si.length * 10.0), 1), 32);
            int32_t e = si.entryFirst;
            for (int32_t j = 1; j <= n; ++j) {
                int32_t want = std::min(static_cast<int32_t>(static_cast<int64_t>(j) * 65536 / n), 65535);
                while (e < si.entryLast && b.table[e].t < want) ++e;
                double x = pos(lap + b.table[e].length);
                if (x > right) return true;
                if (x > box.left && !cuts->Push(x, 2468)) return false;
            }
        }
        // Round again only on a closed loop and only while the figure
        // reaches past this lap (to within 2 pixels).
        if (!f.closed || !(pos(lap + b.length) < right - 2.0) || !(b.length > 0.0)) return true;
    }
}

// Trimmed ribbon: in front when an even number of the baseline's extremes
// lie before the subpath's centre.
bool InFront(const Baseline &b, const Frame &f, double centre_x) {
    double frac = f.L > 0.0 ? f.ArcLength(centre_x) / f.L : 0.0;
    if (f.closed) frac -= std::floor(frac);
    int32_t before = 0;
    for (int32_t k = 0; k < b.nextremes; ++k)
        if (b.extremes[k] < frac) ++before;
    return before % 2 == 0;
}

}  // namespace

bool WrapDuplicateSubpathList(KyPath *figure, int32_t repeatCount, double spacing, double usableLength, int32_t text,
                              int32_t truncateRule, int32_t orientation, Box *box) {
    *box = FigureBox(figure);
    const double left = box->left;
    const double pitch = (box->right - box->left) * (spacing + 1.0);
    if (repeatCount == 1) {
        box->right = left + pitch;
        return true;
    }
    int32_t count = repeatCount;
    if (repeatCount <= 0) {
        bool truncate = text && ((truncateRule && orientation) || (!truncateRule && !orientation));
        double q = pitch > 0.0 ? usableLength / pitch : 1.0;
        if (truncate) q += 0.9999;
        count = q >= 1.0 && q < kMaxCopies ? static_cast<int32_t>(q) : (q >= 1.0 ? kMaxCopies : 1);
        DebugPrint("- WrapDuplicateSubpathList(): auto, truncate = %c.\n", truncate ? 'T' : 'F');
    }
    count = std::min(count, kMaxCopies);
    if (count > 1) {
        KyPath *tail = PathLast(figure);
        KyPath *last_original = tail;
        for (int32_t k = 1; k < count; ++k) {
            FIXED dx = fx::FromDouble(pitch * k);
            for (KyPath *r = figure;; r = r->next) {
                KyPath *copy = path::CopyRecord(r);
                if (!copy) {
                    Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
                    KyPath *extra = last_original->next;
                    last_original->next = nullptr;
                    KyPathDeletePtr(extra, 0);
                    return false;
                }
                path::MovePositions(copy, dx, 0);
                copy->prev = tail;
                tail->next = copy;
                tail = copy;
                if (r == last_original) break;
            }
        }
    }
    box->right = left + count * pitch;
    return true;
}

bool WrapDoDeform(KyPath **figure, const Baseline &b, const Settings &s) {
    const WrapInfo &w = s.info;
    const double L = b.length;
    const double usable = w.closedLoop ? L : L * (1.0 - w.startOffset);
    Box box;
    if (!WrapDuplicateSubpathList(*figure, w.repeatCount, w.spacing, usable, w.text, w.truncateRule, w.orientation,
                                  &box))
        return false;
    const double y0 = BaselineY(s, box);
    const double scale = w.fitToLength && usable > 0.0 ? (box.right - box.left) / usable : 1.0;
    const double xoff = w.startOffset * L * (w.closedLoop || w.fitToLength ? scale : 1.0);
    Frame f = MakeFrame(b, s, box, usable);

    Cuts cuts;
    if (!CutPositions(b, f, box, scale, xoff, &cuts)) return false;
    DebugPrint("- WrapDoDeform(): nCutX = %d.\n", cuts.n);

    cut::WorkPath work;
    uint8_t *smooth = nullptr;
    int32_t smooth_cap = 0;
    bool ok = true;
    for (KyPath *r = *figure; r && ok; r = r->next) {
        if (!cut::WorkFromRecord(r, &work, cut::kWorkStep)) {
            diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 2538);
            ok = false;
            break;
        }
        if (cut::SplitAtVerticalLines(&work, cuts.x, cuts.n, 1.0, cut::Tolerance::kAbsolute) < 0) {
            ok = false;
            break;
        }
        if (work.count > smooth_cap) {
            void *p = mem::MemReAlloc(smooth, static_cast<size_t>(work.capacity), 0);
            if (!p) {
                diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 2576);
                ok = false;
                break;
            }
            smooth = static_cast<uint8_t *>(p);
            smooth_cap = work.capacity;
        }
        cut::MarkSmoothKnots(work, smooth);
        if (s.ribbon && work.count > 0) {
            double lo = work.pts[0].x, hi = lo;
            for (int32_t i = 1; i < work.count; ++i) {
                lo = std::min(lo, work.pts[i].x);
                hi = std::max(hi, work.pts[i].x);
            }
            if (InFront(b, f, 0.5 * (lo + hi))) r->flags |= KPF_WORKMARK;
            else r->flags &= ~KPF_WORKMARK;
        }
        for (int32_t i = 0; i < work.count; ++i) {
            Vec2 m = MapPoint(f, y0, work.pts[i].x, work.pts[i].y);
            work.pts[i].x = m.x;
            work.pts[i].y = m.y;
        }
        cut::WrapMaintainPathG1(smooth, work.pts, work.count, cut::WorkClosed(work), false);
        bool was_head = r == *figure;
        if (!cut::WorkToRecord(&r, work)) {
            Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
            ok = false;
            break;
        }
        if (was_head) *figure = r;
        r->shape = 0;
    }
    cut::WorkFree(&work);
    if (smooth) mem::MemFree(smooth);
    return ok;
}

bool WrapPlaceRigid(KyPath **figure, const Baseline &b, const Settings &s) {
    const WrapInfo &w = s.info;
    const double L = b.length;
    const double usable = w.closedLoop ? L : L * (1.0 - w.startOffset);
    Box box;
    if (!WrapDuplicateSubpathList(*figure, w.repeatCount, w.spacing, usable, w.text, w.truncateRule, w.orientation,
                                  &box))
        return false;
    const double y0 = BaselineY(s, box);
    Frame f = MakeFrame(b, s, box, usable);
    // Which text bit starts a unit (a character, or a line for the rules
    // that set whole lines).
    const uint32_t mark = (w.truncateRule == 0 && w.orientation == 1) ||
                                  (w.text && w.truncateRule != 0 && w.orientation != 1)
                              ? 0x20000000u
                              : 0x40000000u;
    for (KyPath *r = *figure; r;) {
        KyPath *end = r->next;
        if (r->flags & mark)
            while (end && !(end->flags & mark)) end = end->next;
        Box u{10000.0, 10000.0, -10000.0, -10000.0};
        for (KyPath *q = r; q != end; q = q->next) {
            if (q->count <= 0) continue;
            bez::Box pb = bez::PointBounds(q);
            u.left = std::min(u.left, pb.min_x);
            u.top = std::min(u.top, pb.min_y);
            u.right = std::max(u.right, pb.max_x);
            u.bottom = std::max(u.bottom, pb.max_y);
        }
        const double cx = 0.5 * (u.left + u.right);
        const double ref_y = r->next == end ? 0.5 * (u.top + u.bottom) : y0;
        const double hs = f.HeightScale(cx);
        Station st = StationAt(f, f.ArcLength(cx));
        Vec2 t = st.tangent, n = NormalOf(t);
        Vec2 origin{st.point.x + n.x * hs * (y0 - ref_y), st.point.y + n.y * hs * (y0 - ref_y)};
        for (KyPath *q = r; q != end; q = q->next) {
            path::ForEachPosition(q, [&](PathPoint &pt) {
                double dx = fx::ToDouble(pt.x) - cx, dy = (fx::ToDouble(pt.y) - ref_y) * hs;
                pt.x = fx::FromDouble(origin.x + t.x * dx - n.x * dy);
                pt.y = fx::FromDouble(origin.y + t.y * dx - n.y * dy);
            });
            q->shape = 0;
        }
        r = end;
    }
    return true;
}

}  // namespace wrap
