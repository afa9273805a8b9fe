// raster/path_to_buf.h - paths to masks, group by group.
//
// KyPathToBuf is a thin wrapper over PathToBuf; tests reach the filler
// choice and the band height through ToBufOptions.
#pragma once

#include <cstdint>

#include "raster/scan_fill.h"
#include "y32path/raster.h"

namespace raster {

enum class FillImpl { kFast, kReference };

struct ToBufOptions {
    int32_t format = 0;     // 4: 32-bit sub-pixel masks; 16: scaled and box-filtered back
    int32_t even_odd = 0;
    int32_t antialias = 1;  // 0 hard, 999 four sub-scanlines
    int32_t mode = 0;       // 0 fill, 3 outlines of the whole table list, else outlines
    FIXED scale = 65536;
    int32_t margin = 0;
    FillImpl impl = FillImpl::kFast;
    int32_t band_rows = kBandRows;  // reference filler only
    bool baseline_simd = false;     // tests only: see FillSpec
};

int32_t PathToBuf(KyPath *path, const ToBufOptions &opt, Y32Rect **rects_out, PathBuf **buffers_out);

// The rectangle of the group starting at p (or, with all_following, of p
// and every record after it) at the scale, as the masks use it.
Y32Rect GroupRect(const KyPath *p, bool all_following, FIXED scale);

// The seam for dashed strokes. A record that carries a dashed OutlineInfo
// (and meets the other conditions: head of its list, mode 0, followed by
// nothing or by an envelope record) is handed to the installed hook, which
// returns a new chain of dash outlines to render in its place, or null to
// render the record as it is. The rasteriser owns the returned chain and
// deletes it before returning. No hook is installed by default; the
// deformation module installs one.
using DashStrokeHook = KyPath *(*)(KyPath *record, const OutlineInfo *info);
void SetDashStrokeHook(DashStrokeHook hook);
DashStrokeHook GetDashStrokeHook();

// A chain whose own rectangle is wider than the source's by more than this
// is not rasterised (its mask comes back empty).
constexpr int32_t kDashWidthLimit = 300;

// Entries by which the rectangle and buffer arrays grow.
constexpr int32_t kArrayStep = 20;

}  // namespace raster
