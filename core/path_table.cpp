// core/path_table.cpp - the path table, its groups and the assignment of
// the current group's list heads.
#include "core/path_table.h"

#include <cstring>

#include "core/memory.h"
#include "core/path_record.h"
#include "core/view.h"
#include "y32path/core.h"

namespace table {

PathGroup *CurrentGroup(PathTable *t) {
    if (!t || t->current < 0 || t->current >= t->groups) return nullptr;
    return &Groups(t)[t->current];
}

const PathGroup *CurrentGroup(const PathTable *t) { return CurrentGroup(const_cast<PathTable *>(t)); }

PathTable *NewTable() {
    auto *t = static_cast<PathTable *>(mem::PathAlloc(BlockBytes(1)));
    if (!t) return nullptr;
    // The block is zero-filled: current 0, group 0 with index 0, no name,
    // no paths, no overlay.
    t->state = kStateLive;
    t->groups = 1;
    return t;
}

PathGroup *AppendGroup(PathTable **holder) {
    PathTable *t = *holder;
    if (t->groups < 0) return nullptr;
    int32_t index = t->groups;
    auto *grown = static_cast<PathTable *>(mem::PathReAlloc(t, BlockBytes(index + 1)));
    if (!grown) return nullptr;
    // Growth does not zero-fill: the new entry is cleared here.
    PathGroup *g = &Groups(grown)[index];
    std::memset(g, 0, sizeof(PathGroup));
    g->index = index;
    grown->groups = index + 1;
    *holder = grown;
    return g;
}

void SetGroupName(PathGroup *g, const char *name) {
    size_t n = 0;
    if (name)
        while (n < kNameBytes - 1 && name[n]) ++n;
    std::memcpy(g->name, name ? name : "", n);
    g->name[n] = '\0';
}

KyPath *FirstFlaggedSelected(KyPath *p) {
    for (KyPath *r = p; r; r = r->next)
        if (r->flags & KPF_SELECTED) return r;
    return nullptr;
}

}  // namespace table

namespace {

// Splits the old list (walked from its tail) into the selected and the
// remaining records; both come out in reverse table order.
struct SplitLists {
    KyPath *selected = nullptr, *selectedTail = nullptr;
    KyPath *remaining = nullptr, *remainingTail = nullptr;
};

void Append(KyPath *&head, KyPath *&tail, KyPath *r) {
    r->prev = tail;
    if (tail) tail->next = r;
    else head = r;
    tail = r;
}

// A group chain that had selected and unselected members would otherwise
// keep links from the caller's list into the table (and back), which turn
// into dangling pointers as soon as either side is freed.
void CutLinksIntoOtherList(KyPath *head, bool selectedSide) {
    for (KyPath *r = head; r; r = r->next) {
        KyPath *gn = path::GroupNext(r);
        if (gn && ((gn->flags & KPF_SELECTED) != 0) != selectedSide) {
            gn->groupPrev = nullptr;
            r->groupNext = nullptr;
        }
        KyPath *gp = r->groupPrev;
        if (gp && ((gp->flags & KPF_SELECTED) != 0) != selectedSide) {
            if (path::GroupNext(gp) == r) gp->groupNext = nullptr;
            r->groupPrev = nullptr;
        }
    }
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathNew(PathTable **holder) {
    if (!holder) return 0;
    PathTable *t = table::NewTable();
    if (!t) return 0;
    *holder = t;
    return 1;
}

int32_t KyPathTblDelete(PathTable *t) {
    // A stale or foreign pointer is refused rather than freed twice.
    if (!t || mem::PathBlockSize(t) < table::BlockBytes(1)) return 0;
    int32_t groups = t->groups;
    // Never trust a count that would reach past the block.
    int32_t fit = static_cast<int32_t>((mem::PathBlockSize(t) - sizeof(PathTable)) / sizeof(PathGroup));
    if (groups > fit) groups = fit;
    for (int32_t i = 0; i < groups; ++i) {
        KyPath *first = table::Groups(t)[i].first;
        if (first) KyPathDeletePtr(first, 0);
    }
    view::FreeOverlay(t);
    mem::PathFree(t);
    return 1;
}

int32_t KyPathTblDeletelpDB(PathTable *t) {
    if (!t) return 0;
    view::FreeOverlay(t);
    return 1;
}

int32_t KyPathFind(PathTable *t, int32_t *current, KyPath **first, KyPath **firstSelected, int32_t *stateSet) {
    const PathGroup *g = table::CurrentGroup(t);
    if (!g) return 0;
    if (current) *current = t->current;
    if (first) *first = g->first;
    if (firstSelected) *firstSelected = g->firstSelected;
    if (stateSet) *stateSet = t->state != 0;
    return 1;
}

int32_t KyPathFindGroups(PathTable *t, int32_t *count) {
    if (!count) return 0;
    *count = t ? t->groups : 0;
    return t ? 1 : 0;
}

int32_t KyPathFindGroupName(PathTable *t, int32_t index, char **name) {
    if (!t || !name) return 0;
    if (index < 0 || index >= t->groups) {
        *name = nullptr;
        return 0;
    }
    *name = table::Groups(t)[index].name;
    return 1;
}

int32_t KyPathGetSelectedGroupsNumber(PathTable *t) {
    const PathGroup *g = table::CurrentGroup(t);
    if (!g) return 0;
    int32_t n = 0;
    for (const KyPath *r = g->firstSelected; r; r = r->selNext)
        if (!r->groupPrev) ++n;
    return n;
}

KyPath *KyPathGetSubPathWithSelectedSegment(PathTable *t, KyPath *after) {
    const PathGroup *g = table::CurrentGroup(t);
    if (!g) return nullptr;
    KyPath *r = g->first;
    if (after) {
        while (r && r != after) r = r->next;
        if (!r) return nullptr;
        r = r->next;
    }
    for (; r; r = r->next)
        if (r->flags & KPF_HASSELSEGMENT) return r;
    return nullptr;
}

int32_t KyPathAssignActivePath(PathTable *t, KyPath *p) {
    PathGroup *g = table::CurrentGroup(t);
    if (!g || !p) return 0;
    g->first = PathFirst(p);
    g->firstSelected = table::FirstFlaggedSelected(g->first);
    return 1;
}

int32_t KyPathAssignSelectedPath(PathTable *t, KyPath *p) {
    PathGroup *g = table::CurrentGroup(t);
    if (!g) return 0;
    if (!p) {
        g->firstSelected = nullptr;
        return 1;
    }
    if (!(p->flags & KPF_SELECTED)) return 0;
    while (p->selPrev) p = p->selPrev;
    g->firstSelected = p;
    return 1;
}

int32_t KyPathAssignSelectedPathBlindly(PathTable *t, KyPath *p) {
    if (!p) return 0;
    return KyPathAssignSelectedPath(t, table::FirstFlaggedSelected(PathFirst(p)));
}

KyPath *KyPathSeparateSelectedPathFromTable(PathTable *t) {
    // Always group 0: the host separates from its document's base group.
    if (!t || t->groups < 1) return nullptr;
    PathGroup *g = &table::Groups(t)[0];
    if (!g->firstSelected) return nullptr;
    KyPath *old = g->first;
    g->first = g->firstSelected = nullptr;

    SplitLists lists;
    KyPath *r = PathLast(old);
    while (r) {
        KyPath *before = r->prev;
        r->prev = r->next = r->selPrev = r->selNext = nullptr;
        if (r->flags & KPF_SELECTED) Append(lists.selected, lists.selectedTail, r);
        else Append(lists.remaining, lists.remainingTail, r);
        r = before;
    }
    CutLinksIntoOtherList(lists.selected, true);
    CutLinksIntoOtherList(lists.remaining, false);
    g->first = lists.remaining;
    if (lists.selected) PathClearSelection(lists.selected);
    return lists.selected;
}

Y32_END_C
