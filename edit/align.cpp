// edit/align.cpp - aligning and distributing the selected paths.
//
// The unit that moves is a path as the user sees it: an ungrouped record or
// a whole group chain, represented by the chain's first member. Edges and
// centres come from the image-unit group boxes (anti-aliasing margin
// included: every path carries the same margin, so it cancels out). A group
// whose head is selected moves whole, so its unselected members are erased
// and drawn with the selection.
#include <cmath>
#include <limits>

#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/transform.h"
#include "y32path/view.h"

namespace edit {

namespace {

struct Box {
    double left, top, right, bottom;
};

Box GroupBox(KyPath *p) {
    double b[4];
    KyPathGetDoubleMiniMaxRect(p, fx::kOne, b);
    return Box{b[0], b[1], b[2], b[3]};
}

// The considered records, at most `limit` of them, in selection order.
int32_t Considered(KyPath *first, KyPath **out, int32_t limit) {
    int32_t n = 0;
    for (KyPath *r = first; r && n < limit; r = r->selNext)
        if (!r->groupPrev) out[n++] = r;
    return n;
}

void MoveOnAxis(KyPath *r, double delta, bool vertical) {
    FIXED d = fx::FromDouble(delta);
    if (vertical) MoveSubpathChain(r, 0, d, true);
    else MoveSubpathChain(r, d, 0, true);
}

void AlignCentres(KyPath *first, bool vertical) {
    Y32Rect sel;
    KyPathGetSelectedRect(first, fx::kOne, &sel);
    double target = vertical ? (sel.top + sel.bottom) * 0.5 : (sel.left + sel.right) * 0.5;
    for (KyPath *r = first; r; r = r->selNext) {
        if (r->groupPrev) continue;
        Box b = GroupBox(r);
        double centre = vertical ? (b.top + b.bottom) * 0.5 : (b.left + b.right) * 0.5;
        MoveOnAxis(r, target - centre, vertical);
    }
}

void AlignEdges(KyPath *first, int32_t mode) {
    KyPath *recs[kAlignMaxRecords];
    double edge[kAlignMaxRecords];
    int32_t n = Considered(first, recs, kAlignMaxRecords);
    bool vertical = mode == kAlignTop || mode == kAlignBottom;
    bool lowest = mode == kAlignLeft || mode == kAlignTop;
    for (int32_t i = 0; i < n; ++i) {
        Box b = GroupBox(recs[i]);
        edge[i] = mode == kAlignLeft ? b.left : mode == kAlignRight ? b.right : mode == kAlignTop ? b.top : b.bottom;
    }
    // The extreme starts from the first edge measured rather than from
    // +-10000: paths lying wholly beyond 10000 pixels would otherwise all be
    // pulled to 10000.
    double extreme = n > 0 ? edge[0] : 0.0;
    for (int32_t i = 1; i < n; ++i) extreme = lowest ? std::fmin(extreme, edge[i]) : std::fmax(extreme, edge[i]);
    for (int32_t i = 0; i < n; ++i) MoveOnAxis(recs[i], extreme - edge[i], vertical);
}

void Distribute(KyPath *first, bool vertical) {
    KyPath *recs[kAlignMaxRecords];
    double old_c[kAlignMaxRecords] = {}, new_c[kAlignMaxRecords] = {};
    int32_t n = Considered(first, recs, kAlignMaxRecords);
    for (int32_t i = 0; i < n; ++i) {
        Box b = GroupBox(recs[i]);
        old_c[i] = vertical ? (b.top + b.bottom) * 0.5 : (b.left + b.right) * 0.5;
    }
    if (!DistributeCentres(n, old_c, new_c)) return;
    for (int32_t i = 0; i < n; ++i) MoveOnAxis(recs[i], new_c[i] - old_c[i], vertical);
}

// Erases or draws the unselected members of every group the alignment may
// move (those whose head is selected); the selection itself is drawn by the
// selection calls.
Y32Rect DrawUnselectedMembers(int32_t (*fn)(CoordStruct *, KyPath *, Y32Rect *), CoordStruct *view, KyPath *first) {
    Y32Rect all{0, 0, 0, 0};
    if (!fn || !view) return all;
    for (KyPath *head = first; head; head = head->selNext) {
        if (head->groupPrev) continue;
        for (KyPath *m = path::GroupNext(head); m; m = path::GroupNext(m))
            if (!(m->flags & KPF_SELECTED)) all = UnionRect(all, CallDraw(fn, view, m));
    }
    return all;
}

}  // namespace

bool DistributeCentres(int32_t n, const double *centres, double *result) {
    if (n < 1 || !centres || !result) return true;
    // Every result starts as its centre, so an entry no target reaches
    // stays where it is instead of holding garbage.
    for (int32_t i = 0; i < n; ++i) result[i] = centres[i];
    if (n <= 2) return true;
    double lo = centres[0], hi = centres[0];
    for (int32_t i = 1; i < n; ++i) {
        lo = std::fmin(lo, centres[i]);
        hi = std::fmax(hi, centres[i]);
    }
    double step = (hi - lo) / (n - 1);
    auto *taken = static_cast<uint8_t *>(mem::MemAlloc(mem::kZeroInit, static_cast<size_t>(n)));
    if (!taken) return false;
    for (int32_t k = 0; k < n; ++k) {
        double target = k * step + lo;
        // Strictly nearer wins, so on a tie the lower index keeps the target.
        double best = std::numeric_limits<double>::infinity();
        int32_t pick = -1;
        for (int32_t i = 0; i < n; ++i) {
            double d = std::fabs(centres[i] - target);
            if (!taken[i] && d < best) {
                best = d;
                pick = i;
            }
        }
        if (pick >= 0) {
            result[pick] = target;
            taken[pick] = 1;
        }
    }
    mem::MemFree(taken);
    return true;
}

bool AlignSelection(PathTable *t, int32_t mode, CoordStruct *view, const Redraw &redraw, Y32Rect *changed) {
    PathGroup *g = table::CurrentGroup(t);
    if (!g || !g->firstSelected) return false;
    KyPath *first = g->firstSelected;
    while (first->selPrev) first = first->selPrev;

    Y32Rect hidden = CallDraw(redraw.hide_selected, view, first);
    hidden = UnionRect(hidden, DrawUnselectedMembers(redraw.hide_record, view, first));
    switch (mode) {
        case kAlignCentresX:
        case kAlignCentresY:
            AlignCentres(first, mode == kAlignCentresY);
            break;
        case kAlignLeft:
        case kAlignRight:
        case kAlignTop:
        case kAlignBottom:
            AlignEdges(first, mode);
            break;
        case kDistributeX:
        case kDistributeY:
            Distribute(first, mode == kDistributeY);
            break;
        default:
            break;  // 18019 and unknown modes move nothing but still redraw
    }
    Y32Rect drawn = CallDraw(redraw.draw_selected, view, first);
    drawn = UnionRect(drawn, DrawUnselectedMembers(redraw.draw_record, view, first));
    if (changed) *changed = UnionRect(hidden, drawn);
    return true;
}

}  // namespace edit
