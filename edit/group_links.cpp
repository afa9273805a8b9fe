// edit/group_links.cpp - joining and splitting group chains, chaining table
// lists, taking records out of lists and putting others in their place.
//
// A record whose groupNext slot holds an OutlineInfo has no group
// successor; nothing here writes a record into that slot or clears it, so
// the stroke description is never lost or read as a record.
#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/structure.h"
#include "y32path/core.h"
#include "y32path/edit.h"

namespace edit {

void RelinkMovedRecord(KyPath *p) {
    if (p->prev) p->prev->next = p;
    if (p->next) p->next->prev = p;
    if (p->groupPrev && !path::HasOutlineInfo(p->groupPrev)) p->groupPrev->groupNext = p;
    if (KyPath *gn = path::GroupNext(p)) gn->groupPrev = p;
    if (p->selPrev) p->selPrev->selNext = p;
    if (p->selNext) p->selNext->selPrev = p;
}

void SpliceFromGroup(KyPath *p) {
    KyPath *before = p->groupPrev;
    KyPath *after = path::GroupNext(p);
    if (before && !path::HasOutlineInfo(before) && before->groupNext == p) before->groupNext = after;
    if (after && after->groupPrev == p) after->groupPrev = before;
    p->groupPrev = nullptr;
    if (!path::HasOutlineInfo(p)) p->groupNext = nullptr;
}

}  // namespace edit

namespace {

KyPath *SelectionHead(KyPath *p) {
    while (p->selPrev) p = p->selPrev;
    return p;
}

bool AnyOutlineInfo(KyPath *first, KyPath *KyPath::*step) {
    for (KyPath *r = first; r; r = r->*step)
        if (path::HasOutlineInfo(r)) return true;
    return false;
}

// Makes the records reached from `first` along `step` one group chain in
// that order. Each is first taken out of the chain it was in, so records
// left behind in old chains stay linked among themselves.
void LinkAsGroup(KyPath *first, KyPath *KyPath::*step) {
    for (KyPath *r = first; r; r = r->*step) edit::SpliceFromGroup(r);
    for (KyPath *r = first; r && r->*step; r = r->*step) {
        KyPath *succ = r->*step;
        r->groupNext = succ;
        succ->groupPrev = r;
    }
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathJoin(KyPath *p) {
    if (!p || !(p->flags & KPF_SELECTED) || path::HasOutlineInfo(p)) return 0;
    KyPath *head = SelectionHead(p);
    // A member whose slot holds the stroke description cannot take a group
    // successor; joining would overwrite it.
    if (AnyOutlineInfo(head, &KyPath::selNext)) return 0;
    LinkAsGroup(head, &KyPath::selNext);
    return 1;
}

int32_t KyPathJoinAll(KyPath *p) {
    if (!p || path::HasOutlineInfo(p)) return 0;
    KyPath *head = PathFirst(p);
    if (AnyOutlineInfo(head, &KyPath::next)) return 0;
    LinkAsGroup(head, &KyPath::next);
    return 1;
}

int32_t KyPathDisjoin(KyPath *p) {
    if (!p || !(p->flags & KPF_SELECTED) || path::HasOutlineInfo(p)) return 0;
    for (KyPath *r = SelectionHead(p); r; r = r->selNext) edit::SpliceFromGroup(r);
    return 1;
}

int32_t KyPathDisjoinAll(KyPath *p) {
    if (!p || path::HasOutlineInfo(p)) return 0;
    KyPath *head = PathFirst(p);
    path::RepairClosingPointTypes(head);
    for (KyPath *r = head; r; r = r->next) {
        r->groupPrev = nullptr;
        if (!path::HasOutlineInfo(r)) r->groupNext = nullptr;
    }
    return 1;
}

int32_t KyPathIsSingleOpenPath(KyPath *p) {
    if (!p || p->prev || p->next || p->count <= 0) return 0;
    return path::IsClosed(p) ? 0 : 1;
}

int32_t KyPathChainPaths(KyPath **holder, KyPath *p) {
    if (!p || !holder) return 0;
    if (!*holder) {
        *holder = p;
        return 1;
    }
    KyPath *tail = PathLast(*holder);
    KyPath *head = PathFirst(p);
    // The same list twice would close it into a ring.
    if (PathFirst(*holder) == head) return 0;
    tail->next = head;
    head->prev = tail;
    return 1;
}

KyPath *KyPathChainKyPath(int32_t n, KyPath **paths) {
    if (n <= 0 || !paths) return nullptr;
    for (int32_t i = 0; i < n; ++i)
        if (!paths[i]) return nullptr;
    for (int32_t i = 0; i + 1 < n; ++i) {
        KyPath *a = paths[i], *b = paths[i + 1];
        a->next = b;
        b->prev = a;
        // A stroke description in a's slot ends the group chain there.
        if (!path::HasOutlineInfo(a)) {
            a->groupNext = b;
            b->groupPrev = a;
        }
    }
    return paths[0];
}

void KyPathDeleteNodeFromList(KyPath **holder, KyPath *p) {
    if (!holder || !*holder || !p) return;
    KyPath *r = *holder;
    while (r && r != p) r = r->next;
    if (!r) return;
    if (p->prev) p->prev->next = p->next;
    if (p->next) p->next->prev = p->prev;
    if (*holder == p) *holder = p->next;
    edit::SpliceFromGroup(p);
    if (p->selPrev) p->selPrev->selNext = p->selNext;
    if (p->selNext) p->selNext->selPrev = p->selPrev;
    p->prev = p->next = p->selPrev = p->selNext = nullptr;
    // Frees the OutlineInfo the record may hold along with it.
    KyPathDeletePtr(p, 0);
}

void KyPathExchangeSubpathInTable(PathTable *t, KyPath *oldPath, KyPath *newPath) {
    if (!oldPath || !newPath || oldPath == newPath) return;
    // The newcomer must stand alone: links of its own would be overwritten
    // and leave its old neighbours pointing at it, and a stroke description
    // of its own would be lost under the group links it takes over.
    if (newPath->prev || newPath->next || newPath->groupPrev || newPath->groupNext || newPath->selPrev ||
        newPath->selNext || path::HasOutlineInfo(newPath))
        return;
    newPath->prev = oldPath->prev;
    newPath->next = oldPath->next;
    newPath->groupPrev = oldPath->groupPrev;
    newPath->groupNext = oldPath->groupNext;  // a group successor, or the OutlineInfo moving along
    newPath->selPrev = oldPath->selPrev;
    newPath->selNext = oldPath->selNext;
    // Taking over selection links (or the group's selected path) makes the
    // newcomer selected: a record in the selection list always is.
    newPath->flags |= oldPath->flags & (KPF_OUTLINEINFO | KPF_SELECTED);
    oldPath->flags &= ~KPF_OUTLINEINFO;
    oldPath->prev = oldPath->next = oldPath->groupPrev = oldPath->groupNext = nullptr;
    oldPath->selPrev = oldPath->selNext = nullptr;
    edit::RelinkMovedRecord(newPath);
    if (t) {
        // Every group, not only the first: a group other than the first
        // that still named the old record would be left dangling.
        PathGroup *g = table::Groups(t);
        for (int32_t i = 0; i < t->groups; ++i) {
            if (g[i].first == oldPath) g[i].first = newPath;
            if (g[i].firstSelected == oldPath) g[i].firstSelected = newPath;
        }
    }
}

Y32_END_C
