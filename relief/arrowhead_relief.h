// relief/arrowhead_relief.h - the relief of a stroked path's arrowheads,
// written into the stroke's vector map.
//
// The stroke's own relief (the mask builders) leaves the arrowheads'
// pixels alone; this fills them. Each arrowhead that the path's
// OutlineInfo names and that survives the fit rule is placed exactly as
// the renderer places it, and the mask builders run on the placed copy
// with two differences, the arrowhead twins:
//  - the attachment side (the template's edge between its two leftmost
//    points, where the arrowhead meets the stroke) gives no chord, so the
//    bevel stays open towards the stroke instead of closing across it;
//  - only the arrowhead's outline gives distances: the borders of the
//    caller's mask are not traced, so a pixel of the arrowhead never
//    measures to the stroke's edge behind the attachment side.
// Only the arrowhead's own pixels are written: its even-odd fill with
// coverage 128 or more, the very pixels the stroke's relief left out.
//
// Reach. There is no bevel width for an arrowhead: every arrowhead pixel
// reaches the whole of its arrowhead's outline, so each gets the vector to
// its true nearest free side however large the arrowhead.
//
// Work area. Each arrowhead is built in a map of its own, its box (grown
// by two pixels for the anti-aliased rim and the sampling beside the
// outline) cut out of the caller's map, so the cost follows the arrowhead's
// size rather than the map's. The results are copied into the caller's
// vector map only after every arrowhead is built: a cancelled or failed
// call leaves the map as it was. Where two arrowheads overlap, the nearer
// outline wins, as between the mask builders' stages.
//
// Layout. The caller's map is written in the integer layout (four int16
// words, with second vectors along an arrowhead's ridge).
#pragma once

#include <cstdint>

#include "relief/mask_relief.h"
#include "relief/relief_common.h"
#include "shapes/arrowhead.h"

namespace relief {

// The segment number (the index of its first point) of the template
// head's segment that joins its two leftmost points, or -1 when no
// segment joins them.
int32_t AttachmentSegment(const KyPath *tpl, const arrowhead::Metrics &m);

// The twin of MaskBuild for a placed arrowhead copy: the caller's mask as
// the field, even-odd winding, the attachment segment left out, no traced
// borders. Fills `own` (map size) with the copy's pixels and points
// out->only at it. Cancelling frees the maps and reports 5200 (unit 23).
Status ArrowheadMaskBuild(MapSet &maps, const KyPath *placed, int32_t attach_segment, PathBuf mask,
                          Scratch<uint8_t> *own, MaskStage *out, Progress &progress);

// The twin of MaskDistanceBuild: the stage's pixels measured to its chords
// with a reach over the whole map. Cancelling frees the maps and reports
// 5200 (unit 23).
Status ArrowheadMaskDistanceBuild(MapSet &maps, const MaskStage &stage, MergeState &merge, Progress &progress);

struct ArrowheadInput {
    const KyPath *path = nullptr;  // the stroked path
    double pen_width = 0;          // pixels
    PathBuf mask = nullptr;        // depth 8, the vector map's size
    PathBuf vec = nullptr;         // depth 64, written in place
    int32_t origin_x = 0, origin_y = 0;  // image position of pixel (0, 0)
};

// Builds and writes the relief of the path's arrowheads. kDone also when
// there is nothing to do; kRefused when the OutlineInfo names an
// arrowhead by key but holds neither template; kCancelled and kNoMemory
// reported (unit 23) with the caller's map untouched.
Status ArrowheadRelief(const ArrowheadInput &in, Progress &progress);

}  // namespace relief
