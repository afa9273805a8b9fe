// display/selection.cpp - selection changes, the selection queries on
// segments and nodes, and the selection-list rebuild.
#include "display/selection.h"

#include <new>
#include <vector>

#include "core/path_record.h"
#include "core/path_table.h"
#include "core/point_walk.h"
#include "display/nodes.h"
#include "display/outline_draw.h"
#include "edit/redraw.h"
#include "y32path/core.h"
#include "y32path/display.h"

namespace {

constexpr uint16_t kClearPointSelection = 0x77FF;  // drops PT_SELECTED and PT_SEGSELECTED
constexpr uint32_t kPointLevels = KPF_HASSELPOINT | KPF_HASSELSEGMENT;

bool Selected(const KyPath *p) { return (p->flags & KPF_SELECTED) != 0; }

// Whether a line or curve segment starts at point `index`.
bool StartsSegment(const KyPath *p, int32_t index) {
    bool found = false;
    path::ForEachSegment(p, [&](const path::Segment &s) { found = found || s.start == index; });
    return found;
}

// Kind of the segment that starts at `index` (index below count - 1).
int32_t SegmentKind(const KyPath *p, int32_t index) {
    switch (path::Points(p)[index + 1].type & path::kTypeMask) {
        case PT_LINETO: return 1;
        case PT_BEZIERTO: return 2;
        default: return 3;
    }
}

// Drops the record's picked segment, with its highlight when a view is
// given. Every segment mark goes, so the record cannot keep a mark that no
// flag announces.
void UnpickOne(CoordStruct *view, KyPath *p, Y32Rect *touched) {
    if (!(p->flags & KPF_HASSELSEGMENT)) return;
    selection::Unhighlight(view, p, touched);
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) pts[i].type &= static_cast<uint16_t>(~PT_SEGSELECTED);
    p->flags &= ~KPF_HASSELSEGMENT;
}

}  // namespace

namespace selection {

KyPath *GroupFirst(KyPath *p) {
    while (p->groupPrev) p = p->groupPrev;
    return p;
}

bool InList(const KyPath *head, const KyPath *p) {
    for (const KyPath *r = head; r; r = r->next)
        if (r == p) return true;
    return false;
}

void Unhighlight(CoordStruct *view, const KyPath *p, Y32Rect *out) {
    if (out) *out = Y32Rect{0, 0, 0, 0};
    if (view && (p->flags & KPF_HASSELSEGMENT)) outline::DrawRecord(view, p, overlay::kUnhighlight, out);
}

void SelectGroup(HDC hdc, KyPath *p, CoordStruct *view) {
    for (KyPath *m = GroupFirst(p); m; m = path::GroupNext(m)) {
        if (Selected(m)) continue;
        m->flags |= KPF_SELECTED;
        if (hdc && view) KyPathDrawNodes(hdc, m, view);
    }
}

void DeselectGroup(HDC hdc, KyPath *p, CoordStruct *view) {
    for (KyPath *m = GroupFirst(p); m; m = path::GroupNext(m)) {
        if (!Selected(m)) continue;
        Unhighlight(view, m);
        // Erased while it still shows the squares it was drawn with.
        if (hdc && view) KyPathDrawNodes(hdc, m, view);
        PathDeselectOne(m);
    }
}

int32_t SelectHitNode(KyPath *p, int32_t k, int32_t remembered) {
    if (k < 0 || k >= p->count) return -1;
    PathPoint *pts = path::Points(p);
    const int32_t last = p->count - 1;
    int32_t target = k;
    if (k == 0 && path::IsClosed(p) && last > 0) {
        // Point 0 and the closing point are one node; the closing point
        // carries its selection.
        target = last;
    } else {
        std::vector<nodes::Role> roles;
        try {
            roles = nodes::RolesOf(p);
        } catch (const std::bad_alloc &) {
            roles.clear();
        }
        if (!roles.empty()) {
            switch (roles[k]) {
                case nodes::Role::kControl1: target = remembered >= 0 ? remembered : k - 1; break;
                case nodes::Role::kControl2: target = remembered >= 0 ? remembered : k + 1; break;
                case nodes::Role::kParameter: return -1;
                case nodes::Role::kNode: break;
            }
        }
    }
    if (target < 0 || target > last) return -1;
    pts[target].type |= PT_SELECTED;
    p->flags |= KPF_SELECTED | KPF_HASSELPOINT;
    return target;
}

}  // namespace selection

void PathClearPointSelection(KyPath *p) {
    if (!p) return;
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) pts[i].type &= kClearPointSelection;
    p->flags &= ~kPointLevels;
}

KyPath *PathRebuildSelection(KyPath *p, HDC hdc, CoordStruct *view) {
    if (!p) return nullptr;
    KyPath *head = PathFirst(p);
    KyPath *first = nullptr, *last = nullptr;
    int32_t selected = 0;
    for (KyPath *r = head; r; r = r->next) r->selPrev = r->selNext = nullptr;
    for (KyPath *r = head; r; r = r->next) {
        if (!Selected(r)) continue;
        ++selected;
        if (last) {
            last->selNext = r;
            r->selPrev = last;
        } else {
            first = r;
        }
        last = r;
    }
    if (selected >= 2) {
        for (KyPath *r = head; r; r = r->next) {
            if (!(r->flags & kPointLevels)) continue;
            selection::Unhighlight(view, r);
            const bool shown = hdc && view && Selected(r);
            if (shown) KyPathDrawNodes(hdc, r, view);
            PathClearPointSelection(r);
            if (shown) KyPathDrawNodes(hdc, r, view);
        }
    }
    return first;
}

Y32_BEGIN_C

int32_t KyPathPickSegment(CoordStruct *view, KyPath *p, int32_t index, Y32Rect *out) {
    if (out) *out = Y32Rect{0, 0, 0, 0};
    if (!p || !Selected(p) || (p->flags & kPointLevels)) return 0;
    if (index < 0 || index > p->count - 1) return 0;
    if (index == p->count - 1) index = 0;
    // A mark on a point that starts no segment would announce a pick that
    // can never be drawn or converted.
    if (!StartsSegment(p, index)) return 0;
    path::Points(p)[index].type |= PT_SEGSELECTED;
    p->flags |= KPF_HASSELSEGMENT;
    if (view) outline::DrawRecord(view, p, overlay::kHighlight, out);
    return 1;
}

int32_t KyPathUnpickSegment(CoordStruct *view, PathTable *t, KyPath *p, Y32Rect *out) {
    if (out) *out = Y32Rect{0, 0, 0, 0};
    if (p) {
        UnpickOne(view, p, out);
        return 1;
    }
    if (!t) return 0;
    const PathGroup *g = table::CurrentGroup(t);
    Y32Rect all{0, 0, 0, 0};
    for (KyPath *r = g ? g->first : nullptr; r; r = r->next) {
        Y32Rect touched{0, 0, 0, 0};
        UnpickOne(view, r, &touched);
        all = edit::UnionRect(all, touched);
    }
    if (out) *out = all;
    return 1;
}

int32_t KyPathGetSegmentType(KyPath *p, int32_t index) {
    if (!p || index < 0 || index >= p->count - 1) return 0;
    return SegmentKind(p, index);
}

int32_t KyPathGetSelectedSegmentType(KyPath *p) {
    if (!p) return 0;
    int32_t sel = 3, grp = 3;
    KyPathInfo(p, &sel, &grp);
    if (sel != 1 || grp != 0) return 0;
    const PathPoint *pts = path::Points(p);
    int32_t picked = -1, marks = 0;
    for (int32_t i = 0; i < p->count - 1; ++i) {
        if (!(pts[i].type & PT_SEGSELECTED)) continue;
        ++marks;
        picked = i;
    }
    return marks == 1 ? SegmentKind(p, picked) : 0;
}

int32_t KyPathDeselectPts(KyPath *p) {
    if (!p || !(p->flags & KPF_HASSELPOINT)) return 0;
    p->flags &= ~KPF_HASSELPOINT;
    // Positions only: the parameter entries of special records keep their
    // type words as the host wrote them.
    path::ForEachPosition(p, [](PathPoint &pt) { pt.type &= static_cast<uint16_t>(~PT_SELECTED); });
    return 1;
}

int32_t KyPathDeSelectAll(HDC hdc, KyPath *p, CoordStruct *view, int32_t draw) {
    if (!p) return 0;
    KyPath *head = PathFirst(p);
    for (KyPath *r = head; r; r = r->next) {
        if (!Selected(r)) continue;
        selection::Unhighlight(view, r);
        if (draw && hdc && view) KyPathDrawNodes(hdc, r, view);
    }
    PathClearSelection(head);
    return 1;
}

int32_t KyPathSingleSelectPath(PathTable *t, KyPath *p, CoordStruct *view, HDC hdc, int32_t draw) {
    PathGroup *g = table::CurrentGroup(t);
    if (!g || !p || !g->first) return 0;
    KyPath *head = selection::GroupFirst(p);
    if (!selection::InList(g->first, head)) return 0;
    KyPathDeSelectAll(hdc, g->first, view, draw);
    g->firstSelected = head;
    KyPath *prev = nullptr;
    for (KyPath *m = head; m; m = path::GroupNext(m)) {
        m->flags |= KPF_SELECTED;
        if (draw && hdc && view) KyPathDrawNodes(hdc, m, view);
        m->selPrev = prev;
        if (prev) prev->selNext = m;
        prev = m;
    }
    return 1;
}

int32_t KyPathAllPathSelected(KyPath *p) {
    if (!p) return 0;
    KyPath *head = PathFirst(p);
    for (KyPath *r = head; r; r = r->next) {
        if (r->flags & kPointLevels) PathClearPointSelection(r);
        r->flags |= KPF_SELECTED;
        r->selPrev = r->prev;
        r->selNext = r->next;
    }
    return 1;
}

Y32_END_C
