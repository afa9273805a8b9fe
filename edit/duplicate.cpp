// edit/duplicate.cpp - duplicating the selected paths in place.
//
// The copies go to the end of the table list (drawn on top), take over the
// selection and sit 15 window pixels down and right of their sources, so
// the user sees them at once and can drag them away. Everything that can
// fail (the copies) happens before anything is linked.
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/transform.h"
#include "y32path/edit.h"
#include "y32path/table.h"

namespace edit {

namespace {

constexpr int32_t kDuplicateOffsetPixels = 15;

void FreeCopies(KyPath *head) {
    while (head) {
        KyPath *next = head->next;
        mem::PathFree(head);
        head = next;
    }
}

// Copies the selection list from `first` as one list linked both ways (table
// and selection), or null with nothing left allocated.
KyPath *CopySelection(KyPath *first) {
    KyPath *head = nullptr, *tail = nullptr;
    for (KyPath *r = first; r; r = r->selNext) {
        KyPath *c = path::CopyRecord(r);
        if (!c) {
            FreeCopies(head);
            return nullptr;
        }
        // Only a list's head carries a stroke description; the copies are
        // appended after the tail, and CopyRecord has already cleared the
        // slot, so the flag must go too.
        c->flags &= ~KPF_OUTLINEINFO;
        if (tail) {
            tail->next = c;
            c->prev = tail;
            tail->selNext = c;
            c->selPrev = tail;
        } else {
            head = c;
        }
        tail = c;
    }
    return head;
}

// Group links among the copies: a source linked to its group successor
// within the selection gets its copy linked the same way. Members whose
// chain runs outside the selection are linked only among copies, never back
// into the sources.
void LinkCopyGroups(KyPath *first_src, KyPath *first_copy) {
    for (KyPath *s = first_src, *c = first_copy; s && c; s = s->selNext, c = c->next) {
        KyPath *succ = path::GroupNext(s);
        if (!succ) continue;
        KyPath *s2 = s->selNext, *c2 = c->next;
        while (s2 && s2 != succ) {
            s2 = s2->selNext;
            c2 = c2->next;
        }
        if (s2 && c2) {
            c->groupNext = c2;
            c2->groupPrev = c;
        }
    }
}

}  // namespace

bool DuplicateSelection(HDC dc, PathTable *t, CoordStruct *view, const Redraw &redraw, Y32Rect *changed) {
    if (changed) *changed = Y32Rect{0, 0, 0, 0};
    PathGroup *g = table::CurrentGroup(t);
    // The copies are placed in window pixels: a view without a usable zoom
    // is refused before anything is copied.
    if (!g || !g->first || !g->firstSelected || !view || !(view->zoom > 0.0)) return false;
    if (!(g->firstSelected->flags & KPF_SELECTED)) return false;
    KyPath *first = g->firstSelected;
    while (first->selPrev) first = first->selPrev;

    KyPath *copies = CopySelection(first);
    if (!copies) return false;
    LinkCopyGroups(first, copies);

    KyPath *tail = PathLast(first);
    tail->next = copies;
    copies->prev = tail;

    // A picked segment of a source is highlighted in the overlay; the mark
    // goes with the selection below, so the highlight must go first or it
    // stays on screen with nothing to take it off.
    Y32Rect unlit = CallDraw(redraw.unhighlight_segments, view, first);

    // The sources give up the selection. Their nodes are drawn once more
    // while they still show as selected, so the exclusive-or squares on the
    // window go away exactly as they were drawn. Only the selection state
    // is cleared: the other flags (stroke description, baseline and text
    // marks) belong to the record, not to the selection.
    for (KyPath *r = first, *following; r; r = following) {
        following = r->selNext;
        if (redraw.draw_nodes && dc) redraw.draw_nodes(dc, r, view);
        if (r->flags & (KPF_HASSELPOINT | KPF_HASSELSEGMENT)) {
            PathPoint *pts = path::Points(r);
            for (int32_t i = 0; i < r->count; ++i) pts[i].type &= 0x77FF;
        }
        r->flags &= ~(KPF_SELECTED | KPF_HASSELPOINT | KPF_HASSELSEGMENT);
        r->selPrev = r->selNext = nullptr;
    }

    KyPathMovePaths(copies, view, kDuplicateOffsetPixels, kDuplicateOffsetPixels);
    KyPathAssignSelectedPath(t, copies);
    Y32Rect drawn = CallDraw(redraw.draw_selected, view, copies);
    // The copies carry the sources' picked segments: show them as a fresh
    // drawing of the list would.
    drawn = UnionRect(drawn, CallDraw(redraw.highlight_segments, view, copies));
    if (changed) *changed = UnionRect(drawn, unlit);
    return true;
}

}  // namespace edit
