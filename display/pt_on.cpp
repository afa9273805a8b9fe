// display/pt_on.cpp - KyPathPtOn: hit test and the selection a click makes.
//
// The order of work matters for the window: node squares are exclusive-or
// drawings, so every record's squares are erased while it still has the
// selection they were drawn with, and drawn again after the change (see
// display/selection.h).
#include <cstdint>

#include "core/fixed.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/view.h"
#include "display/hit_test.h"
#include "display/selection.h"
#include "y32path/display.h"

namespace {

enum class Mode { kClick, kAdd, kQuery, kToggle };

bool ModeOf(int32_t flags, Mode *m) {
    if (flags == KYPATH_HIT_QUERY) *m = Mode::kQuery;
    else if (flags & KYPATH_HIT_CLICK) *m = Mode::kClick;
    else if (flags & KYPATH_HIT_TOGGLE) *m = Mode::kToggle;
    else if (flags & KYPATH_HIT_ADD) *m = Mode::kAdd;
    else return false;
    return true;
}

// The last point of the record that carries PT_SELECTED, or -1.
int32_t LastSelectedNode(const KyPath *p) {
    const PathPoint *pts = path::Points(p);
    for (int32_t i = p->count - 1; i >= 0; --i)
        if (pts[i].type & PT_SELECTED) return i;
    return -1;
}

// The selection head the overlay probe measures outside the client area:
// the group's selected path when the list is the group's, else the first
// selected record of the list.
KyPath *SelectedOfList(const PathGroup *g, KyPath *head) {
    if (g && g->first == head) return g->firstSelected;
    return table::FirstFlaggedSelected(head);
}

// The cheap test that screens out clicks on empty space. Inside the client
// area an outline pixel must lie near the point in the overlay; outside it
// the point must lie near the selection's box. The box comes in zoomed
// image pixels (the scale is the zoom), so the window point is taken into
// that frame by adding the scroll offsets.
bool CheapTest(const CoordStruct *v, const PathTable *t, const PathGroup *g, KyPath *head, int32_t wx, int32_t wy,
               bool inside) {
    if (inside) {
        const view::OverlayExtent ov = view::WritableOverlay(t, v);
        // Without an overlay nothing can be screened; the geometry decides.
        if (ov.empty()) return true;
        return hit::OverlayNear(ov, wx, wy);
    }
    KyPath *sel = SelectedOfList(g, head);
    if (!sel || !(sel->flags & KPF_SELECTED)) return false;
    Y32Rect box;
    if (!KyPathGetSelectedRect(sel, fx::FromDouble(v->zoom), &box)) return false;
    constexpr int64_t kGrow = 6;
    const int64_t zx = int64_t{v->scrollX} + wx, zy = int64_t{v->scrollY} + wy;
    return zx >= box.left - kGrow && zx <= box.right + kGrow && zy >= box.top - kGrow && zy <= box.bottom + kGrow;
}

// The selection change after a hit on record r; returns the answer.
int32_t AfterHit(Mode mode, const hit::Hit &h, HDC hdc, CoordStruct *v) {
    KyPath *r = h.record;
    const bool selected = (r->flags & KPF_SELECTED) != 0;
    if (mode == Mode::kQuery) return selected ? KYPATH_HIT_SELECTED : KYPATH_HIT_UNSELECTED;
    if (mode == Mode::kToggle) {
        if (selected) {
            selection::DeselectGroup(hdc, r, v);
            return KYPATH_HIT_SELECTED;
        }
        selection::SelectGroup(hdc, r, v);
        return KYPATH_HIT_UNSELECTED;
    }
    if (selected) {
        // Part of a multiple selection: the click only says which path.
        if (r->selNext || r->selPrev) return KYPATH_HIT_SELECTED;
        const int32_t remembered = LastSelectedNode(r);
        KyPathDeSelectAll(hdc, r, v, 1);
        if (h.node) selection::SelectHitNode(r, h.index, remembered);
        r->flags |= KPF_SELECTED;
        if (hdc) KyPathDrawNodes(hdc, r, v);
        return KYPATH_HIT_SELECTED;
    }
    if (mode == Mode::kClick) {
        KyPathDeSelectAll(hdc, r, v, 1);
        selection::SelectGroup(hdc, r, v);
    } else if (mode == Mode::kAdd) {
        selection::SelectGroup(hdc, r, v);
    }
    return KYPATH_HIT_UNSELECTED;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathPtOn(int32_t wx, int32_t wy, int32_t flags, HDC hdc, CoordStruct *v, PathTable *t, KyPath **holder,
                   int32_t *index, uint16_t *param) {
    Mode mode;
    if (!ModeOf(flags, &mode)) return KYPATH_HIT_BADMODE;
    PathGroup *g = table::CurrentGroup(t);
    KyPath *start = holder && *holder ? *holder : (g ? g->first : nullptr);
    if (holder) *holder = nullptr;
    if (!v || !(v->zoom > 0.0) || !start) return KYPATH_HIT_NOTHING;

    KyPath *head = PathFirst(start);
    const bool changes = mode != Mode::kQuery;
    // The group's selected path is only ours to set when the list tested
    // is the group's own.
    PathGroup *owner = g && g->first == head ? g : nullptr;

    hit::Probe q;
    view::WindowToImage(v, wx, wy, &q.x, &q.y);
    q.tol = hit::kTolerancePixels / v->zoom;
    q.inside_client = wx >= 0 && wy >= 0 && wx < view::ClientWidth(v) && wy < view::ClientHeight(v);

    if ((mode == Mode::kClick || mode == Mode::kQuery) && !CheapTest(v, t, g, head, wx, wy, q.inside_client)) {
        if (changes) {
            KyPathDeSelectAll(hdc, head, v, 1);
            if (owner) owner->firstSelected = nullptr;
        }
        return KYPATH_HIT_NOTHING;
    }

    hit::Hit h;
    int32_t answer;
    if (hit::TestList(head, q, &h)) {
        if (holder) *holder = h.record;
        if (index) *index = h.index;
        if (param) *param = h.param;
        answer = AfterHit(mode, h, hdc, v);
    } else {
        if (mode == Mode::kClick) KyPathDeSelectAll(hdc, head, v, 1);
        answer = KYPATH_HIT_NOTHING;
    }
    if (changes) {
        KyPath *first_selected = PathRebuildSelection(head, hdc, v);
        if (owner) owner->firstSelected = first_selected;
    }
    return answer;
}

Y32_END_C
