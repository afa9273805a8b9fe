// edit/undo/group_undo.cpp - the group links kept beside join and disjoin
// records, and their exchange.
//
// Joining splices the selected records out of whatever chains held them,
// and disjoining takes apart chains that may reach beyond the selection,
// so neither can be taken back by running the opposite operation on the
// selection. What is kept instead is the whole group structure of the list
// before the action; restoring it is exact whatever the action did.
#include <cstring>

#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/undo/journal.h"

namespace undo {

namespace {

// One block per record: header, then `length` successor indexes.
struct Links {
    Links *next;
    const Record *record;
    uint32_t length;
};
static_assert(sizeof(Links) % alignof(uint32_t) == 0, "the indexes follow the header");

uint32_t *Targets(Links *l) { return reinterpret_cast<uint32_t *>(l + 1); }
const uint32_t *Targets(const Links *l) { return reinterpret_cast<const uint32_t *>(l + 1); }

// Library-wide like the owner table; every block belongs to a record of
// some journal and goes when that record is freed.
Links *g_links = nullptr;

Links *Find(const Record *r) {
    for (Links *l = g_links; l; l = l->next)
        if (l->record == r) return l;
    return nullptr;
}

uint32_t ListLength(const KyPath *first) {
    uint32_t n = 0;
    for (const KyPath *r = first; r; r = r->next) ++n;
    return n;
}

// The record `steps` places further along the table list, or null.
KyPath *Ahead(KyPath *r, uint32_t steps) {
    for (; r && steps > 0; --steps) r = r->next;
    return r;
}

// The links of the list from `first`, written into `out` (length words).
// Group chains follow table order, so a successor is searched ahead only;
// a link is kept only when the successor links back, so every index is
// the successor of one record at most.
void Capture(KyPath *first, uint32_t *out) {
    uint32_t i = 0;
    for (KyPath *r = first; r; r = r->next, ++i) {
        out[i] = kNoLink;
        KyPath *succ = path::GroupNext(r);
        if (!succ || succ->groupPrev != r) continue;
        uint32_t k = i + 1;
        for (KyPath *s = r->next; s; s = s->next, ++k) {
            if (s == succ) {
                out[i] = k;
                break;
            }
        }
    }
}

bool Restorable(KyPath *first, const Links &kept) {
    if (ListLength(first) != kept.length) return false;
    const uint32_t *to = Targets(&kept);
    uint32_t i = 0;
    for (KyPath *r = first; r; r = r->next, ++i) {
        if (to[i] == kNoLink) continue;
        if (to[i] <= i || to[i] >= kept.length) return false;
        // The slot holds a stroke description now: a successor written
        // there would lose it.
        if (path::HasOutlineInfo(r)) return false;
    }
    return true;
}

void Restore(KyPath *first, const Links &kept) {
    for (KyPath *r = first; r; r = r->next) {
        r->groupPrev = nullptr;
        if (!path::HasOutlineInfo(r)) r->groupNext = nullptr;
    }
    const uint32_t *to = Targets(&kept);
    uint32_t i = 0;
    for (KyPath *r = first; r; r = r->next, ++i) {
        if (to[i] == kNoLink) continue;
        KyPath *succ = Ahead(r, to[i] - i);
        r->groupNext = succ;
        succ->groupPrev = r;
    }
}

}  // namespace

Record *TakeGroupLinks(const PathGroup *g, int32_t code) {
    KyPath *first = g ? g->first : nullptr;
    const uint32_t length = ListLength(first);
    Record *r = NewRecord(code, 0);
    if (!r) return nullptr;
    auto *l = static_cast<Links *>(mem::PathAlloc(sizeof(Links) + size_t{length} * sizeof(uint32_t)));
    if (!l) {
        FreeRecord(r);
        return nullptr;
    }
    l->record = r;
    l->length = length;
    Capture(first, Targets(l));
    l->next = g_links;
    g_links = l;
    return r;
}

void DropGroupLinks(const Record *r) {
    for (Links **at = &g_links; *at; at = &(*at)->next) {
        if ((*at)->record != r) continue;
        Links *gone = *at;
        *at = gone->next;
        mem::PathFree(gone);
        return;
    }
}

const uint32_t *GroupLinksOf(const Record *r, uint32_t *length) {
    const Links *l = Find(r);
    if (!l) return nullptr;
    if (length) *length = l->length;
    return Targets(l);
}

bool ExchangeGroupLinks(Journal &j, int32_t k, PathGroup *g) {
    Record *stored = At(j, k);
    const Links *kept = stored ? Find(stored) : nullptr;
    if (!kept || !Restorable(g->first, *kept)) return false;
    Record *now = TakeGroupLinks(g, stored->code);
    if (!now) return false;
    Restore(g->first, *kept);
    Replace(j, k, now);  // frees the stored record and the links beside it
    return true;
}

}  // namespace undo
