// deform/wrap_presets.cpp - the predefined wraps, comparing two wraps, and
// re-wrapping a figure along an edited baseline.
//
// KyPathWrapAndUpdate keeps the host's figure untouched: it wraps a
// duplicate, and every allocation it needs (the duplicate, the baseline
// copy for the record, the baseline copy for the table) is made before the
// table's old list is freed, so a failure changes nothing.
#include <cmath>

#include "core/diag.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "deform/wrap_presets.h"
#include "y32path/core.h"
#include "y32path/deform.h"

namespace wrap_preset {
namespace {

constexpr int32_t kLineCircleNoMemory = 3430;
constexpr int32_t kLineDuplicateNoMemory = 5526;
constexpr int32_t kLineBaselineNoMemory = 5534;
constexpr double kSameTolerance = 0.0001;

enum class Base { kNone, kCircle, kWave };

struct Preset {
    int32_t type;
    Base base;
    int32_t fitToLength, repeatCount, option7, option8, startHeight, endHeight, closedLoop, amplitude, shape;
};

constexpr Preset kPresets[] = {
    {100, Base::kCircle, 0, 6, 1, 0, 100, 100, 1, 0, 0},    {101, Base::kCircle, 1, 6, 1, 1, 100, 100, 1, 0, 0},
    {102, Base::kCircle, 0, 6, 1, 1, 100, 100, 1, 0, 0},    {103, Base::kCircle, 1, 6, 1, 1, 160, 40, 1, 0, 0},
    {104, Base::kWave, 0, 10, 1, 0, 100, 100, 0, 0, 0},     {105, Base::kWave, 1, 10, 1, 1, 100, 100, 0, 0, 0},
    {106, Base::kWave, 0, 10, 1, 100, 100, 100, 0, 0, 0},   {107, Base::kWave, 1, 10, 1, 1, 160, 40, 0, 0, 0},
    {200, Base::kCircle, 1, 1, 1, 0, 100, 100, 1, 0, 0},    {201, Base::kCircle, 1, 1, 1, 1, 100, 100, 1, 0, 0},
    {202, Base::kCircle, 1, 1, 1, 1, 160, 160, 1, 0, 0},    {203, Base::kCircle, 1, 1, 0, 1, 100, 100, 1, 0, 0},
    {204, Base::kWave, 1, 1, 1, 0, 100, 100, 0, 0, 0},      {205, Base::kWave, 1, 1, 1, 1, 100, 100, 0, 0, 0},
    {206, Base::kWave, 1, 1, 0, 1, 100, 100, 0, 0, 0},      {207, Base::kWave, 0, 1, 1, 1, 100, 100, 0, 0, 0},
    {300, Base::kNone, 0, 1, 1, 1, 100, 100, 1, 100, 2},    {301, Base::kNone, 1, 1, 1, 1, 100, 100, 1, 100, 2},
    {302, Base::kNone, 0, 1, 1, 1, 100, 100, 1, 100, 0},    {303, Base::kNone, 0, 1, 1, 1, 100, 100, 1, 100, 1},
    {304, Base::kNone, 0, 1, 0, 1, 100, 100, 1, 100, 2},    {305, Base::kNone, 1, 1, 0, 1, 100, 100, 1, 100, 2},
    {306, Base::kNone, 0, 1, 1, 1, 100, 100, 1, 50, 2},     {307, Base::kNone, 0, 1, 1, 1, 100, 100, 1, -50, 2},
};

bool Near(double a, double b) { return std::fabs(a - b) <= kSameTolerance; }

bool InList(const KyPath *head, const KyPath *p) {
    for (const KyPath *r = head; r; r = r->next)
        if (r == p) return true;
    return false;
}

}  // namespace

bool Predefined(WrapInfo *info, int32_t type, int32_t x, int32_t y, int32_t size) {
    *info = WrapInfo{};
    info->smoothCorners = 1;
    info->version = 1;
    info->positionX = x;
    info->positionY = y;
    if (type >= 100 && type <= 199) {
        info->text = 0;
        info->baselineLevel = 0.5;
    } else {
        info->text = 1;
    }
    const Preset *p = nullptr;
    for (const Preset &c : kPresets)
        if (c.type == type) p = &c;
    if (!p) return false;
    info->fitToLength = p->fitToLength;
    info->repeatCount = p->repeatCount;
    info->option7 = p->option7;
    info->option8 = p->option8;
    info->startHeight = p->startHeight;
    info->endHeight = p->endHeight;
    info->closedLoop = p->closedLoop;
    info->amplitude = p->amplitude;
    info->shape = p->shape;
    if (p->base == Base::kCircle)
        info->baseline = MakeCircle(x, y, size, CircleStart::kBottom, kLineCircleNoMemory);
    else if (p->base == Base::kWave)
        info->baseline = MakeWave(x, y, size);
    return p->base == Base::kNone || info->baseline != nullptr;
}

void AttachBaseline(KyPath *p, KyPath *baseline) {
    KyPath *tail = PathLast(p);
    if (tail->count == 1 && tail->prev) {
        // The placeholder a host appended to hold the baseline's place.
        KyPath *prev = tail->prev;
        prev->next = nullptr;
        if (prev->groupNext == tail && !path::HasOutlineInfo(prev)) prev->groupNext = nullptr;
        if (prev->selNext == tail) prev->selNext = nullptr;
        tail->prev = nullptr;
        tail->groupPrev = nullptr;
        tail->selPrev = nullptr;
        KyPathDeletePtr(tail, 0);
        tail = prev;
    }
    KyPath *head = PathFirst(tail);
    PathClearSelection(head);
    PathGroupToEnd(head);
    PathDeselectOne(baseline);
    baseline->flags = KPF_SELECTED | KPF_LASTMARK;
    tail->next = baseline;
    baseline->prev = tail;
}

}  // namespace wrap_preset

using wrap_preset::Near;

Y32_BEGIN_C

int32_t KyPathGetPredefinedWrapInfo(WrapInfo *info, int32_t type, int32_t x, int32_t y, int32_t size) {
    if (!info) return 0;
    // 108..199 and 208..299 have no table entry: the common fields only.
    const bool common_only = (type >= 108 && type <= 199) || (type >= 208 && type <= 299);
    const bool listed = (type >= 100 && type <= 107) || (type >= 200 && type <= 207) || (type >= 300 && type <= 307);
    if (!common_only && !listed) return 0;
    // Built aside, so that a baseline that cannot be allocated leaves the
    // host's record as it was.
    WrapInfo made;
    if (!wrap_preset::Predefined(&made, type, x, y, size) && listed) return 0;
    *info = made;
    return 1;
}

int32_t IsSameWrapInfo(const WrapInfo *a, const WrapInfo *b) {
    if (!a || !b) return a == b ? 1 : 0;
    if (!a->baseline && !b->baseline) {
        if (a->amplitude != b->amplitude) return 0;
    } else if (!IsSameSubpath(a->baseline, b->baseline)) {
        return 0;
    }
    if (a->fitToLength != b->fitToLength || a->repeatCount != b->repeatCount) return 0;
    if (!Near(a->spacing, b->spacing)) return 0;
    if (a->option7 != b->option7 || a->option8 != b->option8 || a->startHeight != b->startHeight ||
        a->endHeight != b->endHeight || a->smoothCorners != b->smoothCorners || a->closedLoop != b->closedLoop)
        return 0;
    if (!Near(a->startOffset, b->startOffset)) return 0;
    if (!a->text && !b->text && !Near(a->baselineLevel, b->baselineLevel)) return 0;
    return a->version == b->version ? 1 : 0;
}

int32_t KyPathAddWrapPath(KyPath *p, WrapInfo *info) {
    if (!p || !info || !info->baseline) return 0;
    // The group chain the list becomes would run through the slot that
    // holds a stroke description.
    if (path::HasOutlineInfo(PathFirst(p))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitWrap);
        return 0;
    }
    KyPath *copy = path::CopyRecord(info->baseline);
    if (!copy) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
        return 0;
    }
    wrap_preset::AttachBaseline(p, copy);
    return 1;
}

int32_t KyPathWrapAndUpdate(PathTable *table, KyPath **targetRef, KyPath *baseline, WrapInfo *info) {
    PathGroup *g = table::CurrentGroup(table);
    if (!g || !targetRef || !*targetRef || !baseline || !info) return 0;

    KyPath *figure = nullptr;
    if (!KyPathDuplicatePtr(*targetRef, &figure) || !figure) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, wrap_preset::kLineDuplicateNoMemory);
        return 0;
    }
    KyPath *copy = path::CopyRecord(baseline);
    if (!copy) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, wrap_preset::kLineBaselineNoMemory);
        KyPathDeletePtr(figure, 0);
        return 0;
    }
    int32_t handle = -1;
    if (copy->flags & (KPF_HASSELSEGMENT | KPF_HASSELPOINT)) {
        const int32_t first = wrap_preset::FirstPointWith(copy, PT_SEGSELECTED | PT_SELECTED);
        if (first >= 0 && !(path::Points(copy)[first].type & PT_SELECTED)) handle = first;
    }
    PathDeselectOne(copy);
    copy->flags |= KPF_SELECTED;
    KyPath *previous = info->baseline;
    info->baseline = copy;

    KyPath *attached = nullptr;
    const bool wrapped = KyPathWrap(&figure, info) != 0;
    if (wrapped) {
        attached = path::CopyRecord(info->baseline);
        if (!attached) Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
    }
    if (!attached) {
        info->baseline = previous;
        KyPathDeletePtr(copy, 0);
        KyPathDeletePtr(figure, 0);
        return 0;
    }

    // The baseline the caller passed stays the caller's even when it was
    // the one the record held.
    if (previous && previous != baseline) KyPathDeletePtr(previous, 0);
    if (KyPath *old = g->first) {
        // A figure that is itself the group's list stays the caller's
        // (it is what targetRef holds); any other list is the table's.
        if (!wrap_preset::InList(PathFirst(*targetRef), old)) KyPathDeletePtr(old, 0);
    }
    g->first = nullptr;
    g->firstSelected = nullptr;
    wrap_preset::AttachBaseline(figure, attached);
    KyPathSelectWrapBaseline(figure, -1, handle);
    KyPathAssignActivePath(table, figure);
    return 1;
}

Y32_END_C
