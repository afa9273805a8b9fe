// raster/outline_trace.h - one-pixel outlines instead of fills.
//
// Used for the outline modes and for subpaths flagged outline-only inside
// a fill. Every line and chord (the same edges the filler sees, in the
// same sample space) is walked one pixel at a time along its major axis.
// At each step the line's position on the minor axis is taken at the
// centre of that pixel column (or row), clamped to the chord's own extent
// so chord ends stay on their end points; consecutive chords share their
// end pixel, which keeps the line 8-connected across joins.
//  - Hard: the pixel whose centre lies nearest to the line gets 255.
//  - Anti-aliased: the two pixels whose centres straddle the line get
//    w = trunc((1 - f) * 255 + 0.5) and 255 - w, f being the line's
//    fractional position between the two centres; a pixel keeps the larger
//    of its old value and the new one.
// On a 32-bit sub-pixel mask a pixel becomes fully covered (0) where the
// 8-bit value would be 128 or more. Pixels outside the buffer are skipped
// and the walk only visits columns (rows) inside it, so a chord far
// outside costs nothing.
#pragma once

#include "raster/edges.h"
#include "y32path/raster.h"

namespace raster {

void TraceRecord(const KyPath *p, const Mapping &map, bool antialias, PathBuf buf);

}  // namespace raster
