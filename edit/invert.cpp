// edit/invert.cpp - reversing the direction of the selected subpaths.
//
// A reversed record visits the same points backwards: point 0 becomes a
// move to the old last point, and each later point takes the kind of the
// segment it now ends, which is the kind of the point that followed it
// before. A curve's run of three points therefore stays a run of three, in
// the order handle, handle, end. Reversing twice gives back the points and
// kinds (selection marks are dropped, and the record's flags follow).
#include <cstring>

#include "core/diag.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "y32path/edit.h"

namespace {

// Only moves, lines and whole curves reverse into a valid record; the
// parameter entries of special records would come out scrambled, so those
// records keep their direction.
bool Reversible(const KyPath *p) {
    const PathPoint *pts = path::Points(p);
    for (int32_t i = 1; i < p->count;) {
        uint16_t kind = pts[i].type & PT_KINDMASK;
        if (kind == PT_LINETO) {
            i += 1;
        } else if (kind == PT_BEZIERTO && i + 2 < p->count && (pts[i + 1].type & PT_KINDMASK) == PT_BEZIERTO &&
                   (pts[i + 2].type & PT_KINDMASK) == PT_BEZIERTO) {
            i += 3;
        } else {
            return false;
        }
    }
    return p->count >= 2;
}

void Reverse(KyPath *p, PathPoint *work) {
    const PathPoint *pts = path::Points(p);
    int32_t n = p->count;
    bool closed = path::IsClosed(p);
    for (int32_t j = 0; j < n; ++j) {
        work[j] = pts[n - 1 - j];
        work[j].type = j == 0 ? PT_MOVETO : static_cast<uint16_t>(pts[n - j].type & PT_KINDMASK);
    }
    if (closed) work[n - 1].type |= PT_CLOSEFIGURE;
    std::memcpy(path::Points(p), work, static_cast<size_t>(n) * sizeof(PathPoint));
    p->flags &= ~(KPF_HASSELPOINT | KPF_HASSELSEGMENT);
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathInvertSubpaths(KyPath *p) {
    if (!p) {
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitWrap);
        return 0;
    }
    if (!(p->flags & KPF_SELECTED) || (p->flags & (KPF_HASSELPOINT | KPF_HASSELSEGMENT))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitWrap);
        return 0;
    }
    KyPath *head = p;
    while (head->selPrev) head = head->selPrev;

    // One buffer sized for the longest record, taken before anything is
    // reversed: running out of memory halfway would leave part of the
    // selection reversed behind a failure result.
    int32_t longest = 0;
    for (KyPath *r = head; r; r = r->selNext)
        if (Reversible(r) && r->count > longest) longest = r->count;
    if (longest == 0) return 1;
    auto *work = static_cast<PathPoint *>(mem::MemAlloc(0, static_cast<size_t>(longest) * sizeof(PathPoint)));
    if (!work) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
        return 0;
    }
    for (KyPath *r = head; r; r = r->selNext)
        if (Reversible(r)) Reverse(r, work);
    mem::MemFree(work);
    return 1;
}

Y32_END_C
