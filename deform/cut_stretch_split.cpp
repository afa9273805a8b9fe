// deform/cut_stretch_split.cpp - work paths, splitting at vertical lines,
// and keeping smooth joins smooth after a deformation.
//
// Units: image pixels in doubles. A split never moves an existing point;
// it only inserts points on the segment where it crosses a line, with the
// crossing's x set to the line's x exactly (so callers that look for points
// "on the line" with a small tolerance find them).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bezier.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "deform/cut_stretch.h"
#include "edit/structure.h"

namespace cut {

namespace {

constexpr uint16_t kKindMask = path::kTypeMask;  // kind and special bits, no selection

bool Push(WorkPath *w, double x, double y, uint16_t type, int32_t grow_line) {
    if (w->count == w->capacity) {
        if (!WorkReserve(w, w->capacity + kWorkStep)) {
            diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, grow_line);
            return false;
        }
    }
    w->pts[w->count++] = WorkPoint{x, y, type};
    return true;
}

// Whether a crossing at parameter t (x X) of a segment running from x0 to
// x1 is far enough from both ends to be split at.
bool AcceptCrossing(double t, double X, double x0, double x1, double tol, Tolerance mode) {
    if (!(t > 0.0 && t < 1.0)) return false;
    if (mode == Tolerance::kRelative) return t >= tol && t <= 1.0 - tol;
    return std::fabs(X - x0) >= tol && std::fabs(X - x1) >= tol;
}

// The positions of the sorted xs[lo, hi) strictly between a and b, as
// [*first, *last): a wrap can give hundreds, and a figure has thousands of
// segments that each lie between only a few.
void Within(const double *xs, int32_t lo, int32_t hi, double a, double b, int32_t *first, int32_t *last) {
    *first = static_cast<int32_t>(std::upper_bound(xs + lo, xs + hi, a) - xs);
    *last = static_cast<int32_t>(std::lower_bound(xs + *first, xs + hi, b) - xs);
}

}  // namespace

bool WorkReserve(WorkPath *w, int32_t capacity) {
    if (capacity <= w->capacity) return true;
    int64_t want = (static_cast<int64_t>(capacity) + kWorkStep - 1) / kWorkStep * kWorkStep;
    if (want > INT32_MAX / static_cast<int64_t>(sizeof(WorkPoint))) return false;
    void *p = mem::MemReAlloc(w->pts, static_cast<size_t>(want) * sizeof(WorkPoint), 0);
    if (!p) return false;
    w->pts = static_cast<WorkPoint *>(p);
    w->capacity = static_cast<int32_t>(want);
    return true;
}

void WorkFree(WorkPath *w) {
    if (w->pts) mem::MemFree(w->pts);
    *w = WorkPath{};
}

bool WorkFromRecord(const KyPath *rec, WorkPath *w, int32_t min_capacity) {
    w->count = 0;
    if (!WorkReserve(w, std::max(std::max(rec->count, min_capacity), 1))) return false;
    const PathPoint *pts = path::Points(rec);
    for (int32_t i = 0; i < rec->count; ++i)
        w->pts[i] = WorkPoint{fx::ToDouble(pts[i].x), fx::ToDouble(pts[i].y), pts[i].type};
    w->count = rec->count;
    return true;
}

bool WorkToRecord(KyPath **holder, const WorkPath &w) {
    KyPath *rec = *holder;
    if (mem::PathBlockSize(rec) < path::BlockBytes(w.count)) {
        void *grown = mem::PathReAlloc(rec, path::BlockBytes(path::RuleRoom(w.count)));
        if (!grown) return false;
        rec = static_cast<KyPath *>(grown);
        if (rec != *holder) edit::RelinkMovedRecord(rec);
        *holder = rec;
    }
    PathPoint *out = path::Points(rec);
    for (int32_t i = 0; i < w.count; ++i) {
        out[i].type = w.pts[i].type;
        out[i].x = fx::FromDouble(w.pts[i].x);
        out[i].y = fx::FromDouble(w.pts[i].y);
    }
    rec->count = w.count;
    return true;
}

int32_t SplitAtVerticalLines(WorkPath *w, double *xs, int32_t n, double tol, Tolerance mode, bool *no_memory) {
    if (no_memory) *no_memory = false;
    if (!w || w->count < 2 || !xs || n <= 0) return 0;
    // Exchange sort: the lists are short (a cut or a stretch gives one or
    // two positions, a wrap a few hundred) and usually sorted already.
    for (int32_t i = 1; i < n; ++i)
        for (int32_t j = i; j > 0 && xs[j - 1] > xs[j]; --j) std::swap(xs[j - 1], xs[j]);

    double left = w->pts[0].x, right = w->pts[0].x;
    for (int32_t i = 1; i < w->count; ++i) {
        left = std::min(left, w->pts[i].x);
        right = std::max(right, w->pts[i].x);
    }
    // The positions strictly inside the box: [lo, hi).
    int32_t lo = 0, hi = n;
    while (lo < n && !(xs[lo] > left)) ++lo;
    while (hi > lo && !(xs[hi - 1] < right)) --hi;
    if (lo >= hi) return 0;

    // Point types first, so that a bad record fails before any work.
    for (int32_t i = 1; i < w->count;) {
        uint16_t kind = w->pts[i].type & kKindMask;
        if (kind == PT_LINETO) {
            i += 1;
        } else if (kind == PT_BEZIERTO && i + 2 < w->count) {
            i += 3;
        } else {
            diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 2288);
            return -1;
        }
    }

    WorkPath out;
    if (!WorkReserve(&out, w->count + kWorkStep)) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 2185);
        if (no_memory) *no_memory = true;
        return -1;
    }
    out.pts[out.count++] = w->pts[0];
    bool split = false;
    double ts[3 * 256];  // crossings of one curve; more positions than fit are not split at
    for (int32_t i = 1; i < w->count;) {
        const WorkPoint &p0 = w->pts[i - 1];
        if ((w->pts[i].type & kKindMask) == PT_LINETO) {
            const WorkPoint &p1 = w->pts[i];
            double x0 = p0.x, x1 = p1.x;
            // Walk the positions in the line's own direction, so the
            // inserted points come in rising t.
            const bool forward = x1 >= x0;
            int32_t a, z;
            Within(xs, lo, hi, std::min(x0, x1), std::max(x0, x1), &a, &z);
            for (int32_t j = a; j < z; ++j) {
                double X = xs[forward ? j : a + z - 1 - j];
                if (!((x0 < X && X < x1) || (x1 < X && X < x0))) continue;
                double t = (X - x0) / (x1 - x0);
                if (!AcceptCrossing(t, X, x0, x1, tol, mode)) continue;
                if (!Push(&out, X, p0.y + (p1.y - p0.y) * t, PT_LINETO, 2273)) {
                    WorkFree(&out);
                    if (no_memory) *no_memory = true;
                    return -1;
                }
                split = true;
            }
            if (!Push(&out, p1.x, p1.y, p1.type, 2273)) {
                WorkFree(&out);
                if (no_memory) *no_memory = true;
                return -1;
            }
            i += 1;
            continue;
        }
        bez::Cubic c{{{p0.x, p0.y}, {w->pts[i].x, w->pts[i].y}, {w->pts[i + 1].x, w->pts[i + 1].y},
                      {w->pts[i + 2].x, w->pts[i + 2].y}}};
        bez::Box box = bez::ControlBox(c);
        int32_t nt = 0;
        int32_t a, z;
        Within(xs, lo, hi, box.min_x, box.max_x, &a, &z);
        for (int32_t k = a; k < z && nt + 3 <= static_cast<int32_t>(sizeof ts / sizeof ts[0]); ++k) {
            double X = xs[k];
            if (!(X > box.min_x && X < box.max_x)) continue;
            double roots[3];
            int nr = bez::RootsAtX(c, X, roots);
            for (int r = 0; r < nr; ++r)
                if (AcceptCrossing(roots[r], X, c.p[0].x, c.p[3].x, tol, mode)) ts[nt++] = roots[r];
        }
        std::sort(ts, ts + nt);
        bez::Cubic rest = c;
        double done = 0.0;
        for (int32_t k = 0; k < nt; ++k) {
            if (k > 0 && ts[k] - ts[k - 1] < 1e-9) continue;
            double local = (ts[k] - done) / (1.0 - done);
            bez::Cubic piece;
            bez::Split(rest, local, &piece, &rest);
            if (!Push(&out, piece.p[1].x, piece.p[1].y, PT_BEZIERTO, 2273) ||
                !Push(&out, piece.p[2].x, piece.p[2].y, PT_BEZIERTO, 2273) ||
                !Push(&out, piece.p[3].x, piece.p[3].y, PT_BEZIERTO, 2273)) {
                WorkFree(&out);
                if (no_memory) *no_memory = true;
                return -1;
            }
            done = ts[k];
            split = true;
        }
        const WorkPoint &end = w->pts[i + 2];
        uint16_t c1 = nt ? PT_BEZIERTO : w->pts[i].type, c2 = nt ? PT_BEZIERTO : w->pts[i + 1].type;
        if (!Push(&out, rest.p[1].x, rest.p[1].y, c1, 2273) || !Push(&out, rest.p[2].x, rest.p[2].y, c2, 2273) ||
            !Push(&out, end.x, end.y, end.type, 2273)) {
            WorkFree(&out);
            if (no_memory) *no_memory = true;
            return -1;
        }
        i += 3;
    }
    if (!split) {
        WorkFree(&out);
        return 0;
    }
    WorkFree(w);
    *w = out;
    return 1;
}

namespace {

double Len(double x, double y) { return std::sqrt(x * x + y * y); }

}  // namespace

void MarkSmoothKnots(const WorkPath &w, uint8_t *flags) {
    // An empty record may come with no flag array at all.
    if (w.count < 1) return;
    std::memset(flags, 0, static_cast<size_t>(w.count));
    if (w.count < 4) return;
    bool closed = WorkClosed(w);
    auto smooth = [&](int32_t in, int32_t knot, int32_t out) {
        double ax = w.pts[in].x - w.pts[knot].x, ay = w.pts[in].y - w.pts[knot].y;
        double bx = w.pts[out].x - w.pts[knot].x, by = w.pts[out].y - w.pts[knot].y;
        double la = Len(ax, ay), lb = Len(bx, by);
        if (la < 0.01 || lb < 0.01) return false;
        // Handles pointing apart within about one degree.
        return ax * bx + ay * by < 0.0 && std::fabs(ax * by - ay * bx) <= 0.02 * la * lb;
    };
    int32_t prev_in = -1;  // incoming handle of the knot the walk stands on
    for (int32_t i = 1; i < w.count;) {
        uint16_t kind = w.pts[i].type & kKindMask;
        if (kind == PT_BEZIERTO && i + 2 < w.count) {
            if (prev_in >= 0 && smooth(prev_in, i - 1, i)) flags[i - 1] = 1;
            prev_in = i + 1;
            i += 3;
        } else {
            prev_in = -1;
            i += 1;
        }
    }
    if (closed && prev_in >= 0 && (w.pts[1].type & kKindMask) == PT_BEZIERTO && smooth(prev_in, w.count - 1, 1))
        flags[w.count - 1] = 1;
}

void WrapMaintainPathG1(const uint8_t *smooth, WorkPoint *pts, int32_t count, bool closed, bool unit_mode) {
    if (!smooth || !pts || count < 4) return;
    auto fix = [&](int32_t in, int32_t knot, int32_t out) {
        double ax = pts[in].x - pts[knot].x, ay = pts[in].y - pts[knot].y;
        double bx = pts[out].x - pts[knot].x, by = pts[out].y - pts[knot].y;
        double la = Len(ax, ay), lb = Len(bx, by);
        bool ok = la >= 0.01 && lb >= 0.01;
        double dx = 0, dy = 0, ld = 0;
        if (ok) {
            if (unit_mode) {
                ax /= la;
                ay /= la;
                bx /= lb;
                by /= lb;
            }
            dx = ax - bx;
            dy = ay - by;
            ld = Len(dx, dy);
            ok = ld >= 0.01;
        }
        if (!ok) {
            DebugPrint("-WrapMaintainPathG1(): vector length too small, ignored.\n");
            diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 973);
            return;
        }
        dx /= ld;
        dy /= ld;
        pts[in].x = pts[knot].x + dx * la;
        pts[in].y = pts[knot].y + dy * la;
        pts[out].x = pts[knot].x - dx * lb;
        pts[out].y = pts[knot].y - dy * lb;
    };
    int32_t prev_in = -1;
    for (int32_t i = 1; i < count;) {
        uint16_t kind = pts[i].type & kKindMask;
        if (kind == PT_BEZIERTO && i + 2 < count) {
            if (prev_in >= 0 && smooth[i - 1]) fix(prev_in, i - 1, i);
            prev_in = i + 1;
            i += 3;
        } else {
            prev_in = -1;
            i += 1;
        }
    }
    if (closed && prev_in >= 0 && smooth[count - 1] && (pts[1].type & kKindMask) == PT_BEZIERTO) {
        fix(prev_in, count - 1, 1);
        pts[0].x = pts[count - 1].x;
        pts[0].y = pts[count - 1].y;
    }
}

}  // namespace cut
