// edit/segment_ops.h - operations on a record as a run of segments.
#pragma once

#include <cstdint>

#include "y32path/table.h"
#include "y32path/types.h"

namespace seg {

// Sum of the record's line and curve lengths in pixels.
double RecordLength(const KyPath *p);

// Adds whole pixels to every position of p and the records after it along
// next (16-bit wrap of the integer parts, fractions kept).
void OffsetChain(KyPath *p, int32_t dx, int32_t dy);

// Makes room for the points of a split after point `segment` and writes
// them: mode 0 (curve) writes fresh[0..4] over the two old control points
// and moves the old end point and everything after it up by 3; mode 1
// (line) puts fresh[0] after the segment's start, moving the rest up by 1.
// Any other mode reports 3200, no memory reports 1001; both leave the
// record as it was and give false. *holder follows the block.
bool InsertSplitPoints(KyPath **holder, int32_t segment, int32_t mode, const PathPoint *fresh);

// KyPathSubdivide: the record, or its new address, or null.
KyPath *Subdivide(PathTable *table, KyPath *p, int32_t segment, uint32_t t_word);

}  // namespace seg
