// deform/dash.h - dashed strokes built by wrapping a row of dash
// rectangles along the path.
//
// A dash is a closed 5-point rectangle record spanning [a, b] along the
// path and [-2, w + 2] across it, w being the dash thickness (twice the
// pen width). A style's pattern is one to three dashes; the wrap repeats
// it with a pitch of (pattern width) x (1 + spacing), stretches the copies
// to fill the path (fit to length) and starts them at start_offset x L:
//
//   style  dashes (units of w)          spacing      start   period
//   1      [0,1]                        1.0          w       dash 1, gap 1
//   2      [0,3]                        1.3333       4w      dash 3, gap 4
//   3      [0,3] [4,7]                  0.5714286    4w      two dashes, gap 4
//   4      [0,3] [4,7] [8,11]           0.36363636   4w      three dashes, gap 4
//   5      [0,3]                        2.66667      8w      dash 3, gap 8
//   6      [0,3] [4,7]                  1.142857     8w      two dashes, gap 8
//   7      [0,3] [4,7] [8,11]           0.7272727    8w      three dashes, gap 8
//
// The spacings are kept as these rounded decimals (not exact fractions):
// stored documents were drawn with them.
//
// Rasterisation. KyPathToBuf asks the hook installed with
// raster::SetDashStrokeHook for the dash chain of a record whose
// OutlineInfo names a dash style; this module installs DashStrokeForRecord
// there by a static initialiser in dash_stroke.cpp. The shared library
// links every module whole, so a host gets dashes without doing anything.
// A program that links the static archives gets the initialiser only when
// it references something of dash_stroke.cpp: such programs call
// InstallDashStroke() once (it is also safe to call repeatedly).
#pragma once

#include <cstdint>

#include "y32path/types.h"

namespace dash {

constexpr int32_t kFirstStyle = 1;
constexpr int32_t kLastStyle = 7;

// Trims of this length or less mean none.
constexpr double kNoTrim = 0.01;

// Extents of a dash rectangle across the path, beyond [0, w].
constexpr double kAcrossBefore = 2.0;
constexpr double kAcrossAfter = 2.0;

struct Pattern {
    KyPath *head = nullptr;    // the dashes as one table list, caller-owned
    double spacing = 0.0;      // gap after the pattern, fraction of its width
    double start_offset = 0.0; // where the first dash starts, fraction of L
};

// One style's dashes for thickness w on a path of length `length`. False
// for a style outside 1..7; false with error 1001 (and nothing left
// allocated) when a dash cannot be allocated.
bool BuildPattern(int32_t style, double w, double length, Pattern *out);

// The dash chain of `path` (not changed) in the given style, the dash
// thickness being 2 x width, leaving start_trim and end_trim pixels
// undashed at the ends. A new chain the caller frees with
// KyPathDeletePtr(chain, 0), every record selected; null when the style
// is outside 1..7 or the path null (error 3200), when the width is not a
// positive number (error 3200), when out of memory (error 1001), when the
// trims leave nothing, or when the wrap fails.
KyPath *MakeDashedStroke(const KyPath *path, int32_t style, double width, double start_trim, double end_trim);

// Replaces *holder by its part between the arc-length fractions t0 and t1
// (from t0 around the start to t1 on a closed path when t0 > t1), or
// frees it and stores null when nothing would remain. False when out of
// memory or the path cannot be measured (the record is left as it was).
bool TrimToRange(KyPath **holder, double t0, double t1);

// The rasteriser's hook: the dash chain of a record whose OutlineInfo
// names a dash style, with room left at each end for the arrowheads the
// outline carries (unless they are turned off); null to render the record
// as it is.
KyPath *DashStrokeForRecord(KyPath *record, const OutlineInfo *info);

// Installs DashStrokeForRecord into the rasteriser (see above).
void InstallDashStroke();

}  // namespace dash
