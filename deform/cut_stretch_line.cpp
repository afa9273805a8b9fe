// deform/cut_stretch_line.cpp - cutting a chain at a vertical line.
//
// Open subpaths fall apart into pieces at the points they have on the line.
// Closed outlines are split at the line too, and then walked again piece by
// piece: from a crossing, along the outline on one side, to the next
// crossing, then along the line to that crossing's partner, and so on until
// the walk is back at its start. Crossings are paired by height: sorted by
// y, records 2k and 2k + 1 bound a stretch of the line that lies inside
// the figure, so a hole cut in two is joined to the outer outline it lies
// in.
//
// Everything is built in new records from work copies; the chain is only
// taken apart when every piece exists, so running out of memory leaves it
// as it was.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "deform/cut_stretch.h"
#include "platform/runtime_memory.h"
#include "y32path/core.h"
#include "y32path/view.h"

namespace cut {

namespace {

constexpr double kOnLine = 0.01;
constexpr uint32_t kClearRecordMarks = 0x73FFFFFFu;
constexpr uint16_t kClearPointMarks = 0x77FF;
constexpr uint32_t kUnitMarks = 0x60000000u;

// A growable array on the run-time heap.
template <class T>
struct Array {
    T *v = nullptr;
    int32_t n = 0, cap = 0;
    bool Push(const T &x) {
        if (n == cap) {
            int32_t want = cap ? cap * 2 : 16;
            void *p = mem::MemReAlloc(v, sizeof(T) * static_cast<size_t>(want), 0);
            if (!p) return false;
            v = static_cast<T *>(p);
            cap = want;
        }
        v[n++] = x;
        return true;
    }
    void Free() {
        if (v) mem::MemFree(v);
        *this = Array{};
    }
};

struct Piece {
    KyPath *rec;
    bool fresh;  // made here (freed on failure); else an original kept whole
};

// A closed outline held back for the loop walk: its split points and the
// indices of its knots (segment ends); knot m, the closing point, is knot 0
// again.
struct Outline {
    WorkPath w;
    Array<int32_t> knots;
    KyPath *source;
    int32_t Segments() const { return knots.n - 1; }
};

struct Crossing {
    int32_t outline, knot;
    double y;
    bool used[2];  // [right, left]
};

enum Side { kRight = 0, kLeft = 1 };

KyPath *NewRecord(const WorkPoint *pts, int32_t n, uint32_t flags) {
    auto *rec = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(n)));
    if (!rec) return nullptr;
    rec->count = n;
    rec->flags = flags & ~kUnitMarks;
    PathPoint *out = path::Points(rec);
    for (int32_t i = 0; i < n; ++i) {
        out[i].type = i == 0 ? PT_MOVETO : pts[i].type;
        out[i].x = fx::FromDouble(pts[i].x);
        out[i].y = fx::FromDouble(pts[i].y);
    }
    return rec;
}

bool BuildKnots(Outline *o) {
    const WorkPath &w = o->w;
    if (!o->knots.Push(0)) return false;
    for (int32_t i = 1; i < w.count;) {
        int32_t step = (w.pts[i].type & path::kTypeMask) == PT_BEZIERTO && i + 2 < w.count ? 3 : 1;
        i += step;
        if (!o->knots.Push(i - 1)) return false;
    }
    return true;
}

struct Cutter {
    double X;
    Array<Piece> side[2];
    Array<Outline> held;
    Array<Crossing> crossings;  // sorted by y once collected

    ~Cutter() {
        for (int s = 0; s < 2; ++s) side[s].Free();
        for (int32_t i = 0; i < held.n; ++i) {
            WorkFree(&held.v[i].w);
            held.v[i].knots.Free();
        }
        held.Free();
        crossings.Free();
    }

    void FreeFresh() {
        for (int s = 0; s < 2; ++s)
            for (int32_t i = 0; i < side[s].n; ++i)
                if (side[s].v[i].fresh) mem::PathFree(side[s].v[i].rec);
    }

    bool OnLine(double x) const { return std::fabs(x - X) < kOnLine; }

    // The x in the middle of segment j of outline o (walked forward).
    double MidX(const Outline &o, int32_t j) const {
        int32_t a = o.knots.v[j], b = o.knots.v[j + 1];
        const WorkPoint *p = o.w.pts;
        if (b - a == 3) return 0.125 * (p[a].x + 3 * p[a + 1].x + 3 * p[a + 2].x + p[b].x);
        return 0.5 * (p[a].x + p[b].x);
    }

    int32_t CrossingAt(int32_t outline, int32_t knot) const {
        for (int32_t i = 0; i < crossings.n; ++i)
            if (crossings.v[i].outline == outline && crossings.v[i].knot == knot) return i;
        return -1;
    }

    // Appends segment j of o to out, forwards or backwards; false when the
    // buffer is full.
    bool CopySegment(const Outline &o, int32_t j, bool forward, WorkPath *out, int32_t limit) const {
        int32_t a = o.knots.v[j], b = o.knots.v[j + 1];
        const WorkPoint *p = o.w.pts;
        auto put = [&](const WorkPoint &q, uint16_t type) {
            if (out->count >= limit) return false;
            out->pts[out->count++] = WorkPoint{q.x, q.y, type};
            return true;
        };
        if (b - a == 3) {
            if (forward) return put(p[a + 1], PT_BEZIERTO) && put(p[a + 2], PT_BEZIERTO) && put(p[b], PT_BEZIERTO);
            return put(p[a + 2], PT_BEZIERTO) && put(p[a + 1], PT_BEZIERTO) && put(p[a], PT_BEZIERTO);
        }
        return put(forward ? p[b] : p[a], PT_LINETO);
    }

    // FormClosedLoopFromCutList: the outline of one side that starts at
    // crossing `start`. Null when the walk does not close within the
    // buffer (a diagnostic says so; every crossing it passed stays marked
    // so the caller moves on); *no_memory when the record cannot be made.
    KyPath *FormClosedLoop(Side s, int32_t start, WorkPath *buf, int32_t bufsize, bool *no_memory) {
        buf->count = 0;
        Crossing &c0 = crossings.v[start];
        c0.used[s] = true;
        const WorkPoint &p0 = held.v[c0.outline].w.pts[held.v[c0.outline].knots.v[c0.knot]];
        buf->pts[buf->count++] = WorkPoint{p0.x, p0.y, PT_MOVETO};
        int32_t cur = start;
        for (;;) {
            const Crossing &c = crossings.v[cur];
            const Outline &o = held.v[c.outline];
            const int32_t m = o.Segments();
            int32_t j = c.knot;
            double fwd = MidX(o, j);
            bool forward = s == kRight ? fwd > X : fwd < X;
            int32_t arrival = -1;
            for (int32_t steps = 0; steps < m && arrival < 0; ++steps) {
                int32_t seg = forward ? j : (j - 1 + m) % m;
                if (!CopySegment(o, seg, forward, buf, bufsize)) {
                    DebugPrint("- FormClosedLoopFromCutList(): points over bufsize(%d).\n", bufsize);
                    return nullptr;
                }
                j = forward ? (j + 1) % m : seg;
                arrival = CrossingAt(c.outline, j);
            }
            if (arrival < 0) {
                DebugPrint("- FormClosedLoopFromCutList(): points over bufsize(%d).\n", bufsize);
                return nullptr;
            }
            crossings.v[arrival].used[s] = true;
            int32_t partner = arrival ^ 1;
            crossings.v[partner].used[s] = true;
            const Crossing &pc = crossings.v[partner];
            const WorkPoint &pp = held.v[pc.outline].w.pts[held.v[pc.outline].knots.v[pc.knot]];
            if (buf->count >= bufsize) {
                DebugPrint("- FormClosedLoopFromCutList(): points over bufsize(%d).\n", bufsize);
                return nullptr;
            }
            buf->pts[buf->count++] = WorkPoint{pp.x, pp.y, PT_LINETO};
            if (partner == start) {
                buf->pts[buf->count - 1].type |= PT_CLOSEFIGURE;
                KyPath *rec = NewRecord(buf->pts, buf->count, held.v[c0.outline].source->flags);
                if (!rec) *no_memory = true;
                return rec;
            }
            cur = partner;
        }
    }

    bool Add(Side s, KyPath *rec, bool fresh) {
        if (side[s].Push(Piece{rec, fresh})) return true;
        if (fresh) mem::PathFree(rec);
        return false;
    }

    // One subpath: pieces, a whole record on one side, or held back.
    bool Take(KyPath *r) {
        WorkPath w;
        if (!WorkFromRecord(r, &w, 0)) return false;
        double xs[1] = {X};
        bool no_memory = false;
        int32_t split = SplitAtVerticalLines(&w, xs, 1, 0.01, Tolerance::kRelative, &no_memory);
        // Only a record that cannot be split (a point type that is neither a
        // line nor a curve) goes whole by its first point; running out of
        // memory fails the cut instead of leaving an outline uncut.
        if (no_memory) {
            WorkFree(&w);
            return false;
        }
        if (split <= 0 || w.count == 0) {
            Side s;
            double left = w.count ? w.pts[0].x : 0.0, right = left;
            for (int32_t i = 1; i < w.count; ++i) {
                left = std::min(left, w.pts[i].x);
                right = std::max(right, w.pts[i].x);
            }
            if (split == 0 && right <= X) s = kLeft;
            else if (split == 0 && left >= X) s = kRight;
            else s = (w.count && w.pts[0].x < X) ? kLeft : kRight;
            WorkFree(&w);
            return Add(s, r, false);
        }
        if (!WorkClosed(w)) {
            bool ok = true;
            int32_t from = 0;
            for (int32_t i = 1; i < w.count && ok;) {
                int32_t step = (w.pts[i].type & path::kTypeMask) == PT_BEZIERTO && i + 2 < w.count ? 3 : 1;
                int32_t knot = i + step - 1;
                i += step;
                if (knot == w.count - 1 || OnLine(w.pts[knot].x)) {
                    KyPath *piece = NewRecord(w.pts + from, knot - from + 1, r->flags);
                    double mean = 0.5 * (w.pts[from].x + w.pts[knot].x);
                    ok = piece && Add(X <= mean ? kRight : kLeft, piece, true);
                    from = knot;
                }
            }
            WorkFree(&w);
            return ok;
        }
        Outline o;
        o.w = w;
        o.source = r;
        if (!BuildKnots(&o) || !held.Push(o)) {
            WorkFree(&o.w);
            o.knots.Free();
            return false;
        }
        const int32_t idx = held.n - 1;
        const Outline &h = held.v[idx];
        for (int32_t k = 0; k < h.Segments(); ++k) {
            const WorkPoint &p = h.w.pts[h.knots.v[k]];
            if (OnLine(p.x) && !crossings.Push(Crossing{idx, k, p.y, {false, false}})) return false;
        }
        return true;
    }

    bool CloseOutlines() {
        const int32_t n = crossings.n;
        if (n < 2 || n % 2) {
            for (int32_t i = 0; i < held.n; ++i) {
                const WorkPoint &first = held.v[i].w.pts[0], &last = held.v[i].w.pts[held.v[i].w.count - 1];
                if (!Add(X <= 0.5 * (first.x + last.x) ? kRight : kLeft, held.v[i].source, false)) return false;
            }
            return true;
        }
        // By height, keeping arrival order among equal heights.
        std::stable_sort(crossings.v, crossings.v + n, [](const Crossing &a, const Crossing &b) {
            return a.y < b.y - 0.0001;
        });
        int32_t total = 0;
        for (int32_t i = 0; i < held.n; ++i) total += held.v[i].w.count;
        const int32_t bufsize = total + n + 1;
        WorkPath buf;
        if (!WorkReserve(&buf, bufsize)) return false;
        bool ok = true;
        for (int32_t i = 0; i < n && ok; ++i) {
            while (ok && !(crossings.v[i].used[kRight] && crossings.v[i].used[kLeft])) {
                Side s = crossings.v[i].used[kRight] ? kLeft : kRight;
                bool no_memory = false;
                KyPath *rec = FormClosedLoop(s, i, &buf, bufsize, &no_memory);
                if (no_memory) ok = false;
                else if (rec) ok = Add(s, rec, true);
            }
        }
        WorkFree(&buf);
        return ok;
    }
};

}  // namespace

KyPath *CutWithLineX(KyPath *p, double X, bool *failed) {
    *failed = false;
    KyPath *head = PathFirst(p);
    Cutter c;
    c.X = X;
    bool ok = true;
    for (KyPath *r = head; r && ok; r = r->next) ok = c.Take(r);
    if (ok) ok = c.CloseOutlines();
    if (!ok) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
        c.FreeFresh();
        *failed = true;
        return nullptr;
    }
    // Everything exists: the stroke description moves to the new head,
    // originals that were cut up are freed, and the pieces are chained,
    // right side first.
    OutlineInfo *info = path::OutlineOf(head);
    if (info) {
        head->groupNext = nullptr;
        head->flags &= ~KPF_OUTLINEINFO;
    }
    auto kept = [&](const KyPath *r) {
        for (int s = 0; s < 2; ++s)
            for (int32_t i = 0; i < c.side[s].n; ++i)
                if (c.side[s].v[i].rec == r) return true;
        return false;
    };
    for (KyPath *r = head; r;) {
        KyPath *next = r->next;
        if (!kept(r)) mem::PathFree(r);
        r = next;
    }
    KyPath *first = nullptr, *last = nullptr;
    for (int s = 0; s < 2; ++s) {
        for (int32_t i = 0; i < c.side[s].n; ++i) {
            KyPath *r = c.side[s].v[i].rec;
            r->prev = last;
            r->next = r->groupPrev = r->groupNext = r->selPrev = r->selNext = nullptr;
            r->flags &= kClearRecordMarks;
            PathPoint *pts = path::Points(r);
            for (int32_t k = 0; k < r->count; ++k) pts[k].type &= kClearPointMarks;
            if (last) last->next = r;
            else first = r;
            last = r;
        }
    }
    if (info && first) {
        first->groupNext = reinterpret_cast<KyPath *>(info);
        first->flags |= KPF_OUTLINEINFO;
    } else if (info) {
        // No piece to carry it: release it as its holder would be.
        KyPathDeletePtr(info->startArrow, 0);
        KyPathDeletePtr(info->endArrow, 0);
        KyPathDeletePtr(info->dashPath, 0);
        plat::ObjDelete(info);
    }
    return first;
}

}  // namespace cut

Y32_BEGIN_C

int32_t KyPathCutWithLineX(CoordStruct *view, KyPath **pathRef, int32_t x, int32_t reserved) {
    (void)reserved;
    if (!pathRef || !*pathRef) return 0;
    double X = x;
    if (view) {
        double img[2];
        if (!KyPathPtWndToImage(img, x, 0, view)) return 0;
        X = img[0];
    }
    bool failed = false;
    KyPath *result = cut::CutWithLineX(*pathRef, X, &failed);
    if (failed) return 0;
    *pathRef = result;
    return 1;
}

Y32_END_C
