// deform/wrap_presets_baseline.cpp - the wrap baseline kept at the end of a
// wrapped figure's table list: placeholder, selection of its nodes, copies,
// separation from the table, and the record comparison the host uses to
// tell whether a wrap changed.
//
// A baseline record is flagged KPF_LASTMARK and is the list's tail. Every
// operation here checks that before it touches anything, so a list whose
// tail is an ordinary subpath is never taken apart.
#include <cstring>

#include "core/diag.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "deform/wrap_presets.h"
#include "y32path/core.h"
#include "y32path/deform.h"

namespace wrap_preset {
namespace {

constexpr int32_t kLineAppendNoMemory = 5609;
constexpr int32_t kLineCopyNoMemory = 5238;

bool IsBaseline(const KyPath *p) { return p && (p->flags & KPF_LASTMARK) != 0; }

}  // namespace

int32_t FirstPointWith(const KyPath *p, uint16_t bit) {
    if (!p) return -1;
    const PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i)
        if (pts[i].type & bit) return i;
    return -1;
}

}  // namespace wrap_preset

using wrap_preset::FirstPointWith;

Y32_BEGIN_C

int32_t KyPathAppendEmptySubpath(KyPath *p) {
    if (!p) return 0;
    auto *place = static_cast<KyPath *>(mem::PathAlloc(path::kNewRecordBytes));
    if (!place) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, wrap_preset::kLineAppendNoMemory);
        return 0;
    }
    place->count = 1;
    place->flags = KPF_SELECTED | KPF_LASTMARK;
    path::Points(place)[0].type = PT_MOVETO | PT_CLOSEFIGURE;
    KyPath *tail = PathLast(p);
    tail->next = place;
    place->prev = tail;
    return 1;
}

int32_t KyPathIsWrapBaseline(KyPath *p) { return wrap_preset::IsBaseline(p) ? 1 : 0; }

int32_t KyPathSelectWrapBaseline(KyPath *p, int32_t nodeIndex, int32_t handleIndex) {
    if (!p) return 0;
    KyPath *tail = PathLast(p);
    if (!wrap_preset::IsBaseline(tail)) return 0;
    PathDeselectOne(tail);
    tail->flags |= KPF_SELECTED;
    // An index from an older baseline may lie past this one's points.
    PathPoint *pts = path::Points(tail);
    if (nodeIndex >= 0) {
        if (nodeIndex >= tail->count) return 0;
        tail->flags |= KPF_HASSELPOINT;
        pts[nodeIndex].type |= PT_SELECTED;
    } else if (handleIndex >= 0) {
        if (handleIndex >= tail->count) return 0;
        tail->flags |= KPF_HASSELSEGMENT;
        pts[handleIndex].type |= PT_SEGSELECTED;
    }
    return 1;
}

KyPath *KyPathMakeACopyOfBaseline(PathTable *t) {
    const PathGroup *g = table::CurrentGroup(t);
    if (!g || !wrap_preset::IsBaseline(g->firstSelected)) return nullptr;
    KyPath *copy = path::CopyRecord(g->firstSelected);
    if (!copy) diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, wrap_preset::kLineCopyNoMemory);
    return copy;
}

KyPath *KyPathSeparateBaselineFromTable(PathTable *t, int32_t *nodeIndexOut, int32_t *handleIndexOut) {
    PathGroup *g = table::CurrentGroup(t);
    if (!g) return nullptr;
    KyPath *b = g->firstSelected;
    if (!wrap_preset::IsBaseline(b) || b->next) return nullptr;

    int32_t node = FirstPointWith(b, PT_SELECTED);
    int32_t handle = node < 0 ? FirstPointWith(b, PT_SEGSELECTED) : -1;
    if (nodeIndexOut) *nodeIndexOut = node;
    if (handleIndexOut) *handleIndexOut = handle;

    // Out of the table list and out of the group chain it was made part of;
    // a baseline that headed the list leaves the group empty rather than
    // pointing at a record the caller now owns.
    if (KyPath *prev = b->prev) {
        prev->next = nullptr;
        if (prev->groupNext == b && !path::HasOutlineInfo(prev)) prev->groupNext = nullptr;
    } else if (g->first == b) {
        g->first = nullptr;
    }
    b->prev = nullptr;
    b->groupPrev = nullptr;
    if (!path::HasOutlineInfo(b)) b->groupNext = nullptr;
    g->firstSelected = nullptr;
    PathDeselectOne(b);
    return b;
}

int32_t IsSameSubpath(const KyPath *a, const KyPath *b) {
    if (!a || !b) return a == b ? 1 : 0;
    if (a->count != b->count || a->flags != b->flags || a->shape != b->shape) return 0;
    if (a->count <= 0) return 1;
    return std::memcmp(path::Points(a), path::Points(b), static_cast<size_t>(a->count) * path::kPointSize) == 0 ? 1
                                                                                                           : 0;
}

int32_t KyPathGetPointPosition(KyPath *p, int32_t index, double *x, double *y) {
    if (!p || index < 0 || index >= p->count) return 0;
    const PathPoint &pt = path::Points(p)[index];
    if (x) *x = FixToDb(pt.x);
    if (y) *y = FixToDb(pt.y);
    return 1;
}

Y32_END_C
