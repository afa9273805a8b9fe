// edit/node_delete.cpp - deleting selected nodes, selected records and the
// last segment of a record.
//
// Node deletion keeps the curve shape as far as it can: deleting the node
// between two curves merges them into one whose handles are the outer
// handles of the two; deleting the node between a curve and a line makes
// the curve run on to the line's end. A record is never cut below the
// smallest valid subpath: when it is already there, the delete takes the
// whole record instead, and while several selected nodes go one after the
// other the deleting stops as soon as the record reaches that size.
#include <cstring>

#include "core/fixed.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/structure.h"
#include "y32path/core.h"
#include "y32path/edit.h"
#include "y32path/view.h"

namespace edit {

namespace {

constexpr uint16_t kSelectedLineEnd = PT_SELECTED | PT_LINETO;      // 0x8002
constexpr uint16_t kSelectedCurveEnd = PT_SELECTED | PT_BEZIERTO;   // 0x8004
constexpr uint16_t kSelectedFirstNode = PT_SELECTED | PT_MOVETO;    // 0x8006
constexpr uint32_t kEnvelopeDisplay = KPF_ENVELOPE1 | KPF_ENVELOPE2;

uint16_t Kind(const PathPoint &pt) { return pt.type & PT_KINDMASK; }

uint16_t WithKind(uint16_t type, uint16_t kind) { return static_cast<uint16_t>((type & ~PT_KINDMASK) | kind); }

void RemovePoints(KyPath *p, int32_t at, int32_t k) {
    PathPoint *pts = path::Points(p);
    std::memmove(&pts[at], &pts[at + k], static_cast<size_t>(p->count - at - k) * sizeof(PathPoint));
    p->count -= k;
}

// The first selected node the deletion may take, or -1. Nodes are point 0
// and the end of every line and curve; a closed record's point 0 is skipped
// (its closing point carries its selection). A record holding anything but
// moves, lines and whole curves is left alone.
int32_t FirstSelectedNode(const KyPath *p) {
    const PathPoint *pts = path::Points(p);
    int32_t n = p->count;
    bool closed = path::IsClosed(p);
    if (n > 0 && !closed && (pts[0].type & 0x8FFE) == kSelectedFirstNode) return 0;
    for (int32_t j = 1; j < n;) {
        uint16_t kind = Kind(pts[j]);
        int32_t node;
        if (kind == PT_LINETO) {
            node = j;
            j += 1;
        } else if (kind == PT_BEZIERTO && j + 2 < n) {
            node = j + 2;
            j += 3;
        } else {
            return -1;
        }
        uint16_t t = pts[node].type & 0x8FFE;
        if (t == kSelectedLineEnd || t == kSelectedCurveEnd) return node;
    }
    return -1;
}

// Removes node k, joining the segments on either side. False when the
// neighbourhood is not one the deletion knows (the record is unchanged).
bool DeleteNode(KyPath *p, int32_t k) {
    PathPoint *pts = path::Points(p);
    int32_t n = p->count;
    bool closed = path::IsClosed(p);
    uint16_t kind = Kind(pts[k]);

    if (k == 0) {
        // First node of an open record: the first segment goes.
        if (n >= 2 && Kind(pts[1]) == PT_LINETO) RemovePoints(p, 0, 1);
        else if (n >= 4 && Kind(pts[1]) == PT_BEZIERTO) RemovePoints(p, 0, 3);
        else return false;
        pts[0].type = WithKind(pts[0].type, PT_MOVETO);
        return true;
    }

    if (kind == PT_LINETO) {
        if (k < n - 1) {
            RemovePoints(p, k, 1);
        } else if (!closed) {
            p->count -= 1;
        } else {
            // The closing repeat of point 0 goes: the node before it closes
            // the record and point 0 moves onto it.
            pts[n - 2].type |= PT_CLOSEFIGURE;
            pts[0].x = pts[n - 2].x;
            pts[0].y = pts[n - 2].y;
            p->count -= 1;
        }
        return true;
    }

    if (kind != PT_BEZIERTO || k < 3) return false;
    if (k < n - 1) {
        uint16_t next = Kind(pts[k + 1]);
        if (next == PT_BEZIERTO && k + 3 < n) {
            // Two curves become one: drop this curve's second handle, the
            // node and the next curve's first handle.
            RemovePoints(p, k - 1, 3);
            return true;
        }
        if (next == PT_LINETO) {
            // The curve runs on to the line's end.
            pts[k + 1].type = WithKind(pts[k + 1].type, PT_BEZIERTO);
            RemovePoints(p, k, 1);
            return true;
        }
        return false;
    }
    if (!closed) {
        p->count -= 3;
        return true;
    }

    // The closing node of a closed record: the record restarts at the end
    // of its first segment, and the last curve runs on to there. That node
    // now closes the record and carries its selection; point 0 carries
    // none.
    if (Kind(pts[1]) == PT_LINETO && n >= 3) {
        RemovePoints(p, 0, 1);
        pts = path::Points(p);
        PathPoint &close = pts[p->count - 1];
        close.x = pts[0].x;
        close.y = pts[0].y;
        close.type = static_cast<uint16_t>(PT_BEZIERTO | PT_CLOSEFIGURE | (pts[0].type & PT_SELECTED));
        pts[0].type = PT_MOVETO;
        return true;
    }
    if (Kind(pts[1]) == PT_BEZIERTO && n >= 7) {
        PathPoint first_handle2 = pts[2];
        RemovePoints(p, 0, 3);
        pts = path::Points(p);
        int32_t m = p->count;
        // The last curve keeps its first handle and takes the first curve's
        // second handle.
        pts[m - 2].x = first_handle2.x;
        pts[m - 2].y = first_handle2.y;
        PathPoint &close = pts[m - 1];
        close.x = pts[0].x;
        close.y = pts[0].y;
        close.type = static_cast<uint16_t>(PT_BEZIERTO | PT_CLOSEFIGURE | (pts[0].type & PT_SELECTED));
        pts[0].type = PT_MOVETO;
        return true;
    }
    return false;
}

void DeleteSelectedNodes(KyPath *p) {
    p->flags &= ~KPF_HASSELPOINT;
    p->shape = 0;
    // Each pass deletes one node and looks again from the start, so a node
    // that moved into a deleted one's place is examined too. Every pass
    // removes at least one point, so the loop ends.
    while (SimplestSubpath(p) == 1) {
        int32_t k = FirstSelectedNode(p);
        if (k < 0 || !DeleteNode(p, k)) break;
    }
    // Nodes left selected (the record reached its smallest form, or the
    // mark sat where no node can go) lose the mark with the record's flag.
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) pts[i].type &= 0x7FFF;
    SyncPointSelectionFlags(p);
}

void DeleteSelectedRecords(PathGroup *g, KyPath *s) {
    g->firstSelected = nullptr;
    KyPath *head = PathFirst(s);
    // The work mark tells members of the selection list from the rest: a
    // record may carry KPF_SELECTED without being in the list, and only list
    // members are freed below, so only they may leave the table list.
    for (KyPath *r = head; r; r = r->next) r->flags &= ~KPF_WORKMARK;
    for (KyPath *r = s; r; r = r->selNext) r->flags |= KPF_WORKMARK;
    // Records that stay keep their group chains without the deleted ones.
    for (KyPath *r = s; r; r = r->selNext) SpliceFromGroup(r);

    KyPath *first = nullptr, *last = nullptr;
    for (KyPath *r = head, *following; r; r = following) {
        following = r->next;
        if (r->flags & KPF_WORKMARK) continue;
        r->prev = last;
        if (last) last->next = r;
        else first = r;
        last = r;
    }
    if (last) last->next = nullptr;
    g->first = first;

    s->groupPrev = s->selPrev = s->prev = nullptr;
    KyPathDeletePtr(s, 1);
}

}  // namespace

void SyncPointSelectionFlags(KyPath *p) {
    PathPoint *pts = path::Points(p);
    if (p->count > 0) pts[p->count - 1].type &= 0xF7FF;
    bool node = false, segment = false;
    for (int32_t i = 0; i < p->count; ++i) {
        node = node || (pts[i].type & PT_SELECTED);
        segment = segment || (pts[i].type & PT_SEGSELECTED);
    }
    p->flags = (p->flags & ~(KPF_HASSELPOINT | KPF_HASSELSEGMENT)) | (node ? KPF_HASSELPOINT : 0u) |
               (segment ? KPF_HASSELSEGMENT : 0u);
}

bool DeleteSelection(PathTable *t, CoordStruct *view, const Redraw &redraw, Y32Rect *changed) {
    if (changed) *changed = Y32Rect{0, 0, 0, 0};
    PathGroup *g = table::CurrentGroup(t);
    if (!g || !g->firstSelected) return false;
    KyPath *s = g->firstSelected;
    while (s->selPrev) s = s->selPrev;
    if (!(s->flags & KPF_SELECTED)) return false;

    Y32Rect erased{0, 0, 0, 0};
    if (view && view->lpDB) erased = CallDraw(redraw.erase_selection, view, s);

    if ((s->flags & KPF_HASSELPOINT) && !(s->flags & kEnvelopeDisplay) && SimplestSubpath(s) == 1) {
        DeleteSelectedNodes(s);
        Y32Rect drawn = CallDraw(redraw.draw_selected, view, s);
        if (changed) *changed = UnionRect(erased, drawn);
        return true;
    }
    DeleteSelectedRecords(g, s);
    if (changed) *changed = erased;
    return true;
}

}  // namespace edit

Y32_BEGIN_C

int32_t KyPathDeleteLinkLastSegment(KyPath *p) {
    if (!p || p->count <= 1) return 0;
    uint16_t kind = path::Points(p)[p->count - 1].type & PT_KINDMASK;
    // Point 0 always stays: a curve needs three points after it.
    if (kind == PT_LINETO) p->count -= 1;
    else if (kind == PT_BEZIERTO && p->count >= 4) p->count -= 3;
    else return 0;
    edit::SyncPointSelectionFlags(p);
    return 1;
}

int32_t KyPathDeleteLink(PathTable *t, CoordStruct *view, Y32Rect *changed) {
    PathGroup *g = table::CurrentGroup(t);
    Y32Rect before{0, 0, 0, 0};
    if (g && g->firstSelected) KyPathGetMiniMaxRect(g->firstSelected, fx::kOne, &before);
    // No drawing: the same deletion with every drawing step left out.
    bool done = edit::DeleteSelection(t, view, edit::Redraw{}, nullptr);
    if (changed) *changed = before;
    return done ? 1 : 0;
}

Y32_END_C
