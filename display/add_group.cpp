// display/add_group.cpp - turning a path into a new group of a table.
//
// Lives with the drawing code because adding a group shows it: the
// previous group's outlines are wiped from the overlay and the new group's
// drawn, and the window rectangle to repaint goes back to the caller.
//
// Failure leaves everything as it was: a table that could not be given its
// overlay is freed again, and an existing table is grown before anything
// is wiped, so a refused growth changes neither the table nor the overlay.
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/view.h"
#include "y32path/display.h"

namespace {

// The table's view record and the view's buffer, for a table just made.
bool GiveOverlay(PathTable *t, CoordStruct *v) {
    if (!view::ReplaceOverlay(t, v->right, v->bottom)) return false;
    t->width = v->right > 0 ? v->right : 0;
    t->height = v->bottom > 0 ? v->bottom : 0;
    t->scrollX = v->scrollX;
    t->scrollY = v->scrollY;
    t->zoom = v->zoom;
    view::BorrowOverlay(t, v);
    return true;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathAddPathGroup(PathTable **holder, KyPath *path, const char *name, CoordStruct *v, Y32Rect *out) {
    if (!path || !holder) return 0;
    // The group's list starts at the head of the record's list, wherever in
    // it the caller's record sits.
    KyPath *first = PathFirst(path);
    if (out && v) *out = Y32Rect{v->left, v->top, v->right, v->bottom};

    PathTable *t = *holder;
    PathGroup *g = nullptr;
    if (!t) {
        t = table::NewTable();
        if (!t) return 0;
        // The view's client rectangle sizes the overlay as if it started
        // at the window origin.
        if (v && !GiveOverlay(t, v)) {
            view::FreeOverlay(t);
            mem::PathFree(t);
            return 0;
        }
        g = &table::Groups(t)[0];
        *holder = t;
    } else if (t->groups == 1 && !table::Groups(t)[0].first) {
        g = &table::Groups(t)[0];
    } else {
        const bool wipe = t->state == table::kStateLive;
        g = table::AppendGroup(holder);
        if (!g) return 0;
        t = *holder;
        if (wipe && v) {
            Y32Rect ignored;
            KyPathHide(v, nullptr, &ignored);
        }
    }
    t->current = g->index;
    t->state = table::kStateLive;
    if (!g->name[0]) table::SetGroupName(g, name);
    if (!g->first) g->first = first;
    if (KyPath *sel = table::FirstFlaggedSelected(first)) g->firstSelected = sel;

    if (v && out) KyPathDraw(v, g->first, out);
    else if (v) {
        Y32Rect ignored;
        KyPathDraw(v, g->first, &ignored);
    }
    return 1;
}

Y32_END_C
