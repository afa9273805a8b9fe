// edit/segment_ops.cpp - length of a record and moving paths by whole pixels.
//
// The curve maths (lengths, splitting) is core/bezier.h's; this file only
// decides which segments and which points the exported operations cover.
#include <cstdint>
#include <cstring>

#include "core/bezier.h"
#include "core/diag.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "edit/segment_ops.h"
#include "y32path/edit.h"
#include "y32path/table.h"
#include "y32path/view.h"

namespace seg {

// The tolerance of curve lengths, in pixels: the control polygon is taken
// once it is within this of the chord.
constexpr double kLengthTolerance = 0.1;

double RecordLength(const KyPath *p) {
    if (!p || p->count < 2) return 0.0;
    double sum = 0.0;
    // Points of other kinds (special entries) move nothing and add nothing;
    // the walker steps over them.
    path::ForEachSegment(p, [&](const path::Segment &s) {
        if (s.kind == path::Segment::kLine)
            sum += vec::Distance(fx::ToDouble(s.x[0]), fx::ToDouble(s.y[0]), fx::ToDouble(s.x[1]),
                                 fx::ToDouble(s.y[1]));
        else
            sum += bez::Length(bez::FromSegment(s), kLengthTolerance);
    });
    return sum;
}

// dx lands on the high 16 bits; the sum is taken modulo 2^32 so the integer
// part wraps at 16 bits and the fraction is untouched.
static FIXED AddWholePixels(FIXED v, int32_t d) {
    uint32_t shifted = static_cast<uint32_t>(static_cast<uint16_t>(d)) << 16;
    return static_cast<FIXED>(static_cast<uint32_t>(v) + shifted);
}

void OffsetChain(KyPath *p, int32_t dx, int32_t dy) {
    for (KyPath *r = p; r; r = r->next) {
        path::ForEachPosition(r, [&](PathPoint &pt) {
            pt.x = AddWholePixels(pt.x, dx);
            pt.y = AddWholePixels(pt.y, dy);
        });
    }
}

bool InsertSplitPoints(KyPath **holder, int32_t segment, int32_t mode, const PathPoint *fresh) {
    // Mode 0 replaces the two control points of a curve by five points
    // (net 3 more); mode 1 puts one point after the segment's start.
    int32_t grow, written;
    switch (mode) {
        case 0: grow = 3, written = 5; break;
        case 1: grow = 1, written = 1; break;
        default: Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitSubdivide); return false;
    }
    KyPath *p = *holder;
    int32_t old_count = p->count;
    int64_t from = static_cast<int64_t>(segment) + 1 + (written - grow);  // first point that moves up
    if (segment < 0 || from > old_count) return false;
    PathPoint *unused;
    if (!PathReserve(holder, &unused, grow)) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitSubdivide);
        return false;
    }
    p = *holder;
    PathPoint *pts = path::Points(p);
    // Moving in place: the block already has room for the grown count, so
    // no scratch copy (and no second way to fail) is needed.
    std::memmove(pts + from + grow, pts + from, static_cast<size_t>(old_count - from) * path::kPointSize);
    std::memcpy(pts + segment + 1, fresh, static_cast<size_t>(written) * path::kPointSize);
    p->shape = 0;
    return true;
}

namespace {

PathPoint MakePoint(uint16_t type, vec::Vec2 v) {
    PathPoint pt;
    pt.type = type;
    pt.x = fx::FromDouble(v.x);
    pt.y = fx::FromDouble(v.y);
    return pt;
}

// After the block moved from `old` to p: every neighbour that pointed at
// the old block points at the new one. Pointers are compared, never read
// through, so the freed block is not touched.
void Relink(KyPath *p) {
    if (p->prev) p->prev->next = p;
    if (p->next) p->next->prev = p;
    if (p->groupPrev) p->groupPrev->groupNext = p;
    if (KyPath *gn = path::GroupNext(p)) gn->groupPrev = p;
    if (p->selPrev) p->selPrev->selNext = p;
    if (p->selNext) p->selNext->selPrev = p;
}

}  // namespace

KyPath *Subdivide(PathTable *table, KyPath *p, int32_t segment, uint32_t t_word) {
    if (!table || !p || table->current < 0 || table->current >= table->groups) return nullptr;
    if (segment < 0 || static_cast<int64_t>(segment) + 1 >= p->count) return nullptr;
    // The index must start a whole segment: a curve's control point would
    // be "split" across two curves, dropping the marks and shape of both.
    bool starts = false;
    path::ForEachSegment(p, [&](const path::Segment &s) {
        const int32_t span = s.kind == path::Segment::kLine ? 1 : 3;
        starts = starts || (s.start == segment && s.end == segment + span);
    });
    if (!starts) return nullptr;
    // A division rather than a product with 1/65535 rounded to a double:
    // 65535 then gives exactly 1 also where doubles are evaluated in
    // extended precision (x87 on 32-bit targets), so t = 65535 lands on the
    // segment's end point instead of a fraction of a unit before it.
    const double t = (t_word & 0xFFFF) / 65535.0;
    PathPoint *pts = path::Points(p);
    PathPoint fresh[5];
    int32_t mode;
    switch (pts[segment + 1].type & path::kTypeMask) {
        case PT_BEZIERTO: {
            if (static_cast<int64_t>(segment) + 3 >= p->count) return nullptr;  // a curve cut short by the record's end
            bez::Cubic c;
            for (int i = 0; i < 4; ++i) c.p[i] = bez::ToVec(pts[segment + i]);
            bez::Cubic left, right;
            bez::Split(c, t, &left, &right);
            // The two old control points are replaced, selection bits and all.
            const vec::Vec2 made[5] = {left.p[1], left.p[2], left.p[3], right.p[1], right.p[2]};
            for (int i = 0; i < 5; ++i) fresh[i] = MakePoint(PT_BEZIERTO, made[i]);
            mode = 0;
            break;
        }
        case PT_LINETO:
            fresh[0] = MakePoint(PT_LINETO, bez::Lerp(bez::ToVec(pts[segment]), bez::ToVec(pts[segment + 1]), t));
            mode = 1;
            break;
        default:
            return nullptr;
    }

    PathGroup &group = KyPathTblGroups(table)[table->current];
    const bool was_first = group.first == p, was_selected_path = group.firstSelected == p;
    KyPath *holder = p;
    if (!InsertSplitPoints(&holder, segment, mode, fresh)) return nullptr;
    KyPath *moved = holder;
    // A dropped control point may have held the record's only node mark.
    if (moved->flags & KPF_HASSELPOINT) {
        bool any = false;
        const PathPoint *q = path::Points(moved);
        for (int32_t i = 0; i < moved->count && !any; ++i) any = (q[i].type & PT_SELECTED) != 0;
        if (!any) moved->flags &= ~KPF_HASSELPOINT;
    }
    if (moved != p) {
        Relink(moved);
        if (was_first) KyPathAssignActivePath(table, moved);
        if (was_selected_path) group.firstSelected = moved;
    }
    KyPathAssignSelectedPath(table, moved);
    return moved;
}

}  // namespace seg

Y32_BEGIN_C

int32_t KyPathOffset(KyPath *p, int32_t x, int32_t y) {
    if (!p) return 0;
    Y32Rect box;
    if (!KyPathGetMiniMaxRect(p, fx::kOne, &box)) return 0;
    // Only the low 16 bits of the differences matter (OffsetChain wraps);
    // unsigned arithmetic keeps far-apart values from overflowing.
    int32_t dx = static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(box.left));
    int32_t dy = static_cast<int32_t>(static_cast<uint32_t>(y) - static_cast<uint32_t>(box.top));
    seg::OffsetChain(p, dx, dy);
    return 1;
}

KyPath *KyPathSubdivide(PathTable *table, KyPath *p, int32_t segment, uint32_t t) {
    return seg::Subdivide(table, p, segment, t);
}

int32_t KyPathOffsetExact(KyPath *p, int32_t dx, int32_t dy) {
    if (!p) return 0;
    seg::OffsetChain(p, dx, dy);
    return 1;
}

double KyPathGetLength(KyPath *p) { return seg::RecordLength(p); }

Y32_END_C
