// relief/mask_relief.h - relief from a coverage mask: the mask builder, the
// mask distance builder and the per-object builder.
//
// These builders serve what the outline scan cannot: a caller's mask (which
// may show more or less than the path), the offset bevels, and objects.
// They give the maps the same meaning as the outline scan.
//
// Stage 1, the mask builder, gathers the boundary as straight chords in
// the map's sample space:
//  - The field: an 8-bit coverage mask of the map's size: the caller's mask,
//    or the path filled by the library's rasteriser (anti-aliased, the
//    caller's fill rule) at the map's frame; complemented for the bevel of
//    the surroundings. A pixel is inside when its coverage is 128 or more.
//  - The path's own outline, flattened by forward differencing (halving
//    above 40000, doubling below 20000, 1/65536 pixel units), in pieces of
//    at most one pixel. A piece is kept only where the field changes across
//    it (coverage sampled 0.75 pixel to either side is not full on both
//    sides nor empty on both): parts buried in the fill under the winding
//    rule, or lying where the mask shows nothing, are dropped.
//  - Where the field has a border that no kept outline piece explains (a
//    mask painted by the host, the stroke of a centre line), the border
//    itself: the level line of coverage 127.5 between pixel centres
//    (marching squares, linear between neighbouring centres, which puts a
//    straight anti-aliased edge within about 0.05 pixel of where it is).
//  - The arrowheads of a stroked path that survive the fit rule are
//    rasterised into an exclusion mask: their pixels are left to the
//    arrowhead relief and not written here.
//
// Stage 2, the mask distance builder, measures every pixel within the
// reach R = W + 1 (+ the shift) of a chord to its nearest chord, exactly
// (chords cut into pieces no longer than R; equal distances go to the
// lower chord number). Pixels are taken in tiles of 8 x 8; the pieces near
// a band of rows in runs of up to eight joined pieces with a box and a
// bounding segment. A tile keeps the runs that can come within its
// pixels' nearest distance plus the second-vector margin, and each pixel
// opens only the runs that can still beat what it holds, starting from
// its neighbour's nearest piece, so the cost follows the pixels within
// reach rather than the outline length x R^2. It then writes
// the maps: +d^2 inside, -d^2 outside, 300 inside with nothing in reach;
// the vector to the nearest point; in the integer layout a second vector,
// the nearest chord whose direction differs from the first by more than
// about 70 degrees (cosine below 0.34) while lying less than 0.7 pixel
// farther. A pixel is written only when it holds nothing yet (0 or the
// 300 mark) or the new value is nearer, so a second pass with a moved
// outline keeps whichever bevel is nearer.
//
// The shifted stage (a second bevel abs(offset) inside the outline) keeps
// the first stage's nearest points: the level line at distance k inside
// is where d = k, so an inside pixel's distance to it is |d - k| and its
// vector the first vector scaled by (d - k) / d (reversed where d < k).
// This is exact where the pixel lies inside the moved outline and off by
// at most the curvature of the outline elsewhere. Pixels keep the sign of
// the field they lie in.
#pragma once

#include <cstdint>

#include "relief/relief_common.h"

namespace relief {

struct Chord {
    Vec2 a, b;
    int32_t segment;  // outline segment number, or -1 for a level-line piece
};

// What stage 1 hands to stage 2.
struct MaskStage {
    Scratch<uint8_t> field;    // coverage, map size (complemented when asked)
    Scratch<uint8_t> exclude;  // 255 where an arrowhead sits; empty when none
    Scratch<Chord> chords;
    bool has_exclusion = false;
    // When set (map size, owned by the caller): only the pixels where it is
    // nonzero are measured and written. The arrowhead relief uses it to
    // touch nothing but the arrowhead's own pixels.
    const uint8_t *only = nullptr;
};

struct MaskInput {
    const KyPath *path = nullptr;  // the outline (may be null with a mask)
    PathBuf mask = nullptr;        // 8-bit, map size; null: fill the path
    bool invert = false;           // complement the field
    bool even_odd = false;
    double width = 0;              // W
    int32_t unit = 20;             // unit for reports (20, or 21 for objects)
    // Outline segment left out of the chords (the attachment side of an
    // arrowhead, where it meets its stroke); -1: none. It still counts for
    // the winding numbers.
    int32_t skip_segment = -1;
    // False: the field's borders that no outline piece explains are not
    // traced, so only the outline itself gives distances.
    bool trace_borders = true;
};

// Stage 1. Cancelling frees the maps and reports 5200 with the input's unit.
Status MaskBuild(MapSet &maps, const MaskInput &in, MaskStage *out, Progress &progress);

// The magnitude of what each pixel holds so far (infinity: nothing), kept
// across stages so the nearer bevel wins. Kept apart from the distance map
// because that may not be asked for, and because 0 and 300 there are
// values as well as marks.
struct MergeState {
    Scratch<float> own;
    float *dist = nullptr;
    bool Init(MapSet &maps);
};

// Stage 2 with the outline moved `shift` pixels into the field (0: on the
// outline). Cancelling frees the maps and reports 5200 with `unit`.
Status MaskDistanceBuild(MapSet &maps, const MaskStage &stage, double width, double shift, MergeState &merge,
                         int32_t unit, Progress &progress);

// The per-object builder: the relief of `object` (a temporary chain) from
// its own mask and outline, in the map's frame. Reports with unit 21.
Status ObjectBuild(MapSet &maps, KyPath *object, double width, Progress &progress);

}  // namespace relief
