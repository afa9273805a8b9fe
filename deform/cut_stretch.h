// deform/cut_stretch.h - subpaths as work arrays of doubles, split at
// vertical lines; the cut, the stretch and the trimmed-ribbon switch.
//
// A work path is one subpath in image pixels (doubles) with the record's
// point type words: point 0 a move, then lines and runs of three curve
// points, PT_CLOSEFIGURE on the last point of a closed subpath. The
// deformations (wrap, stretch) and the cut copy a record into one, split it
// so that no segment straddles the lines they care about, move the points
// and write the result back as FIXED.
#pragma once

#include <cstdint>

#include "core/vec.h"
#include "y32path/deform.h"

namespace cut {

struct WorkPoint {
    double x, y;
    uint16_t type;
};

// Points on the run-time heap; capacity grows in steps of kWorkStep.
struct WorkPath {
    WorkPoint *pts = nullptr;
    int32_t count = 0;
    int32_t capacity = 0;
};

constexpr int32_t kWorkStep = 512;

// Reserves room for at least `capacity` points (rounded up to whole
// steps). False, with the path as it was, when memory runs out.
bool WorkReserve(WorkPath *w, int32_t capacity);
void WorkFree(WorkPath *w);

// Loads the record's points (with room for at least min_capacity). False
// when memory runs out; nothing is reported (callers report with their own
// place).
bool WorkFromRecord(const KyPath *rec, WorkPath *w, int32_t min_capacity);

// Writes the work points back into *holder as FIXED, growing the block
// when needed (the record's neighbours in all three lists follow a moved
// block, and *holder receives it). The point types are taken from the
// work path. False, with the record unchanged, when the block cannot grow.
bool WorkToRecord(KyPath **holder, const WorkPath &w);

inline bool WorkClosed(const WorkPath &w) { return w.count > 0 && (w.pts[w.count - 1].type & PT_CLOSEFIGURE); }

enum class Tolerance { kRelative, kAbsolute };

// Splits the subpath at the vertical lines x = xs[i] (sorted in place,
// ascending). Positions not strictly inside the subpath's box are skipped.
// A segment is split where it crosses a line unless the crossing lies
// within the tolerance of one of its ends: in relative mode, the crossing's
// parameter within [tol, 1 - tol]; in absolute mode, the line at least tol
// away from both end x's. Curves are split at every root of x(t) = X by de
// Casteljau. Inserted points carry no selection bits.
//
// 1 when anything was split, 0 when nothing was, -1 on failure (no memory:
// 1001, a point type that is neither a line nor a curve: 3200; both from
// unit 41), with the path as it was; *no_memory (when given) tells the
// two failures apart.
int32_t SplitAtVerticalLines(WorkPath *w, double *xs, int32_t n, double tol, Tolerance mode,
                             bool *no_memory = nullptr);

// Per knot: 1 when the curve handles on both sides of it are collinear
// and point apart (a smooth join), else 0. flags needs w.count bytes. The
// last knot of a closed subpath pairs with the first handle.
void MarkSmoothKnots(const WorkPath &w, uint8_t *flags);

// Keeps the flagged knots smooth after their handles were moved one by one:
// both handles are turned onto one line through the knot, each keeping its
// length (unit_mode: the direction is the average of the two unit handle
// directions; otherwise of the handles themselves). A handle shorter than
// 0.01 leaves its knot alone, with a diagnostic and 3200 (unit 41).
void WrapMaintainPathG1(const uint8_t *smooth, WorkPoint *pts, int32_t count, bool closed, bool unit_mode);

// The library-wide trimmed-ribbon switch.
bool TrimmedRibbonEnabled();
void SetTrimmedRibbon(bool on);

// After a trimmed-ribbon wrap: the list from head is reordered into the
// records without bit 8 (behind) followed by those with it (in front), each
// kept in list order and made one group chain, and bit 8 is cleared. The
// new head is returned.
KyPath *RegroupTrimmedRibbon(KyPath *head);

// Cuts the table list of p at X (image units); the pieces right of or at
// the line first. Null with the list untouched on failure.
KyPath *CutWithLineX(KyPath *p, double X, bool *failed);

}  // namespace cut
