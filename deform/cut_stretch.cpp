// deform/cut_stretch.cpp - stretching a band of a chain, and the
// trimmed-ribbon switch with its regrouping.
//
// The stretch maps x only: left of the band everything moves with the
// band's left edge, right of it with its right edge, inside it x scales
// linearly. Segments that straddle a band edge are split there first, so a
// curve is never bent by mapping only its end points across an edge.
#include <algorithm>
#include <cmath>

#include "core/diag.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "deform/cut_stretch.h"
#include "y32path/core.h"

namespace cut {

namespace {
bool g_trimmed_ribbon = false;
}  // namespace

bool TrimmedRibbonEnabled() { return g_trimmed_ribbon; }
void SetTrimmedRibbon(bool on) { g_trimmed_ribbon = on; }

KyPath *RegroupTrimmedRibbon(KyPath *head) {
    KyPath *ends[2][2] = {{nullptr, nullptr}, {nullptr, nullptr}};  // [front][first, last]
    for (KyPath *r = head; r;) {
        KyPath *next = r->next;
        const int front = (r->flags & KPF_WORKMARK) ? 1 : 0;
        r->flags &= ~KPF_WORKMARK;
        r->prev = r->next = r->groupPrev = r->groupNext = nullptr;
        KyPath *&first = ends[front][0], *&last = ends[front][1];
        if (last) {
            last->next = last->groupNext = r;
            r->prev = r->groupPrev = last;
        } else {
            first = r;
        }
        last = r;
        r = next;
    }
    // Behind first, in front last (drawn over it); the two group chains
    // are joined only as one table list.
    KyPath *back = ends[0][0], *front = ends[1][0];
    if (!back) return front;
    if (front) {
        ends[0][1]->next = front;
        front->prev = ends[0][1];
    }
    return back;
}

}  // namespace cut

Y32_BEGIN_C

int32_t KyPathStretch(KyPath *path, KyPath **out, const double *srcA, const double *srcB, const double *dstA,
                      const double *dstB, int32_t keepSmooth) {
    if (out) *out = nullptr;
    if (!path || !out || !srcA || !srcB || !dstA || !dstB) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 5693);
        return 0;
    }
    // The band ends are given without the 5-pixel margin of the host's
    // frame.
    const double sa = *srcA + 5.0, sb = *srcB + 5.0, da = *dstA + 5.0, db = *dstB + 5.0;
    if (!std::isfinite(sa) || !std::isfinite(sb) || !std::isfinite(da) || !std::isfinite(db)) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 5693);
        return 0;
    }
    KyPath *dup = nullptr;
    if (!KyPathDuplicatePtr(path, &dup) || !dup) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 5702);
        return 0;
    }
    PathClearSelection(dup);
    const double a0 = std::min(sa, sb), a1 = std::max(sa, sb);
    const double b0 = std::min(da, db), b1 = std::max(da, db);
    // An empty band has no inside to scale; only its two shifts apply.
    const double k = a1 > a0 ? (b1 - b0) / (a1 - a0) : 0.0;

    cut::WorkPath work;
    uint8_t *smooth = nullptr;
    int32_t smooth_cap = 0;
    bool ok = true;
    for (KyPath *r = dup; r && ok; r = r->next) {
        if (!cut::WorkFromRecord(r, &work, 0)) {
            diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 5731);
            ok = false;
            break;
        }
        double xs[2] = {a0, a1};
        int32_t split = cut::SplitAtVerticalLines(&work, xs, 2, 0.5, cut::Tolerance::kAbsolute);
        if (split < 0) {
            ok = false;
            break;
        }
        if (keepSmooth) {
            if (work.count > smooth_cap) {
                void *p = mem::MemReAlloc(smooth, static_cast<size_t>(work.capacity), 0);
                if (!p) {
                    diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, 5752);
                    ok = false;
                    break;
                }
                smooth = static_cast<uint8_t *>(p);
                smooth_cap = work.capacity;
            }
            cut::MarkSmoothKnots(work, smooth);
        }
        for (int32_t i = 0; i < work.count; ++i) {
            double &x = work.pts[i].x;
            if (x <= a0) x += b0 - a0;
            else if (x < a1) x = (x - a0) * k + b0;
            else x += b1 - a1;
        }
        if (keepSmooth) cut::WrapMaintainPathG1(smooth, work.pts, work.count, cut::WorkClosed(work), true);
        bool was_head = r == dup;
        if (!cut::WorkToRecord(&r, work)) {
            Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
            ok = false;
            break;
        }
        if (was_head) dup = r;
        // A split primitive no longer has its shape's point layout.
        if (split > 0) r->shape = 0;
    }
    cut::WorkFree(&work);
    if (smooth) mem::MemFree(smooth);
    if (!ok) {
        KyPathDeletePtr(dup, 0);
        return 0;
    }
    *out = dup;
    return 1;
}

Y32_END_C

// Exported with C++ linkage (the host imports them by their decorated
// names).
void KyPathDoTrimmedRibbon(int on) { cut::SetTrimmedRibbon(on != 0); }
int KyPathIsTrimmedRibbonEnabled() { return cut::TrimmedRibbonEnabled() ? 1 : 0; }
