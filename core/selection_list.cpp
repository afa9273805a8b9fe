// core/selection_list.cpp - selection upkeep and the record queries.
#include "core/path_record.h"
#include "y32path/core.h"

namespace {

constexpr uint16_t kClearPointSelection = 0x77FF;  // drops PT_SELECTED and PT_SEGSELECTED
constexpr uint32_t kClearRecordSelection = 0x73FFFFFF;  // drops KPF_SELECTED, HASSELPOINT, HASSELSEGMENT

bool InGroupChain(const KyPath *p) {
    if (!path::HasOutlineInfo(p)) return p->groupNext || p->groupPrev;
    // The slot holds the stroke description: the record can only be the
    // last member of a chain.
    return !p->groupNext && p->groupPrev;
}

}  // namespace

void PathDeselectOne(KyPath *p) {
    if (!p || !(p->flags & KPF_SELECTED)) return;
    // Every point is cleared, not only when the flags claim marks: an
    // envelope outline shows its corners as selected nodes under a fixed
    // flags word, and marks left on a deselected record would come back as
    // a phantom node selection when it is selected again.
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) pts[i].type &= kClearPointSelection;
    p->flags &= kClearRecordSelection;
    if (p->selNext) p->selNext->selPrev = p->selPrev;
    if (p->selPrev) p->selPrev->selNext = p->selNext;
    p->selNext = p->selPrev = nullptr;
}

void PathClearSelection(KyPath *p) {
    for (KyPath *r = PathFirst(p); r; r = r->next) {
        r->selNext = r->selPrev = nullptr;
        PathDeselectOne(r);
    }
}

void PathGroupToEnd(KyPath *p) {
    for (KyPath *r = p; r && r->next; r = r->next) {
        r->groupNext = r->next;
        r->next->groupPrev = r;
    }
}

Y32_BEGIN_C

int32_t KyPathInfo(KyPath *p, int32_t *sel, int32_t *group) {
    if (!p) return 0;
    if (group && *group == 3) *group = InGroupChain(p) ? 1 : 0;
    if (sel && *sel == 3) {
        if (!(p->flags & KPF_SELECTED)) *sel = 0;
        else *sel = (p->selNext || p->selPrev) ? 3 : 1;
        return 1;
    }
    KyPath *first = p;
    while (first->selPrev) first = first->selPrev;
    if (sel) *sel = (first->flags & KPF_SELECTED) ? 1 : 0;
    if (group) {
        if (!first->selNext) {
            *group = 3;
        } else {
            // Every member but the last is asked for a group successor; a
            // stroke description in the slot is not one.
            int with = 0, without = 0;
            for (KyPath *r = first; r->selNext; r = r->selNext) {
                if (path::GroupNext(r)) ++with;
                else ++without;
            }
            *group = without == 0 ? 1 : (with == 0 ? 0 : 2);
        }
    }
    return 1;
}

void KyPathSetPathFlags(KyPath *p, int32_t selectAll, int32_t markLast, int32_t clearText) {
    if (!p) return;
    KyPath *head = PathFirst(p);
    if (selectAll) {
        PathClearSelection(head);
        for (KyPath *r = head; r; r = r->next) r->flags |= KPF_SELECTED;
    }
    if (markLast) {
        PathLast(head)->flags |= KPF_LASTMARK;
    } else {
        for (KyPath *r = head; r; r = r->next) r->flags &= ~KPF_LASTMARK;
    }
    if (clearText)
        for (KyPath *r = head; r; r = r->next) r->flags &= ~KPF_TEXTMASK;
}

Y32_END_C
