/* y32path/relief.h - relief (distance and direction) maps.
 *
 * A relief map tells a shader, for every pixel of a path's rectangle, how
 * far the pixel lies from the path's outline, on which side, and where the
 * nearest outline point is. Two PathBufs (y32path/raster.h) carry it:
 *
 * ReliefDistanceMap, depth 32: one IEEE float per pixel, rows top to
 * bottom. +d^2 inside the filled path, -d^2 outside (d in pixels at the
 * working scale, measured from the pixel's centre), 300.0 inside but with
 * no outline point within the search window, 0.0 where nothing was found.
 *
 * ReliefVectorMap, depth 64, 8 bytes per pixel, in one of two layouts:
 *  - integer (vector format 0): four int16 words. Words 0, 1: the vector
 *    from the pixel to its nearest outline point times 256, truncated;
 *    words 2, 3: a second such vector towards an outline point at nearly
 *    the same distance in a clearly different direction (a ridge or a
 *    corner), or 0, 0. A vector whose components are both below 0.2 pixel
 *    is first lengthened so that its larger component is 0.2 (a pixel on
 *    the outline gets 0.2 pixel along the outward normal). Vectors too long
 *    for 16 bits are shortened along their own direction.
 *  - float (vector format nonzero): two floats, the first vector as it is.
 * The map pixels are only 4-byte aligned: copy them with memcpy.
 *
 * The caller frees both maps with KyPathBufFree. */
#ifndef Y32PATH_RELIEF_H
#define Y32PATH_RELIEF_H

#include "types.h"
#include "raster.h"

typedef PathBuf ReliefDistanceMap;
typedef PathBuf ReliefVectorMap;

/* Progress callback codes. */
#define RELIEF_BEGIN    1 /* the build begins, percent 0 */
#define RELIEF_PROGRESS 2 /* percent 0..100; return 0 to cancel */
#define RELIEF_END      4 /* the build ends; the result is not looked at */

/* callback(code, percent, 0, userData): nonzero to go on, 0 to cancel.
 * Only RELIEF_PROGRESS calls are asked for a decision. */
typedef int32_t (*ReliefCallback)(int32_t code, int32_t percent, int32_t reserved, intptr_t userData);

/* Supplied by the caller (may be NULL). userData is pointer-sized so a host
 * can pass an address; on a 32-bit target the record is five 32-bit words. */
typedef struct ReliefProgress {
    int32_t state;           /* written by the library: 1 when the path has no
                                OutlineInfo, else 0; 1 once the outline scan starts */
    ReliefCallback callback; /* or NULL */
    intptr_t userData;       /* passed back as the fourth callback argument */
    int32_t rangeStart;      /* percentages of the current stage, set by the library */
    int32_t rangeEnd;
} ReliefProgress;

Y32_BEGIN_C

/* Builds the relief maps of `path` (the first subpath of its group chain).
 *
 *   distanceMap, vectorMap  in: nonzero (or non-NULL slot holding nonzero)
 *                 to ask for that map; out: the new buffer or 0.
 *   evenOdd       0 nonzero winding, else even-odd.
 *   primitiveBevel for a path that is one primitive shape (and a nonzero
 *                 width): 0 takes the width from the shape, nonzero uses 30.
 *   objectMode    low 16 bits nonzero: relief of the path's object (text
 *                 or primitive) from its own mask; high 16 bits nonzero:
 *                 smooth the vector field afterwards (integer layout only).
 *   offset        0 bevel on the outline; negative: a second bevel on the
 *                 outline moved abs(offset) inwards; positive: the bevel
 *                 of the inverted mask (the surroundings).
 *   fastMode      nonzero skips the corner refinement of the outline scan.
 *   bevelWidth    in: the width in pixels, 0.0 for no relief (maps stay
 *                 zero); out: the width used, never below 1.0.
 *   vectorFormat  0 integer layout, else float layout.
 *   useMask, mask nonzero: build from the caller's 8-bit mask, which has the
 *                 size of the path's rectangle grown by abs(offset) on
 *                 every side.
 *   progress      progress and cancellation, or NULL. The Escape key
 *                 (y32IsEscPressed) cancels as well.
 *   scale         working scale applied to the path's coordinates.
 *
 * 1 on success. 0 on failure or cancellation, and then both handles are 0
 * and no buffer is left allocated (cancellation reports 5200, memory 1001,
 * a mask that is not 8-bit 3200). */
Y32_API int32_t KyPathVMap(KyPath *path, ReliefDistanceMap *distanceMap, ReliefVectorMap *vectorMap,
                           int32_t evenOdd, int32_t primitiveBevel, int32_t objectMode, int32_t offset,
                           int32_t fastMode, double *bevelWidth, int32_t vectorFormat, int32_t useMask,
                           PathBuf mask, ReliefProgress *progress, FIXED scale);

/* Arrowhead relief. Writes the relief of a stroked path's arrowheads into
 * the stroke's vector map (made by KyPathVMap from the stroke's mask, which
 * leaves the arrowheads' pixels to this call). Each arrowhead its
 * OutlineInfo names and that fits the path is placed as
 * KyPathRenderArrowHead places it, scaled for `penWidth`; its pixels get
 * vectors towards its outline, leaving out the attachment side where it
 * meets the stroke. Nothing else in the map changes.
 *
 *   mask            8-bit mask of the stroke and its arrowheads, the size
 *                   of vectorMap.
 *   distanceRequest must be nonzero; no distance map is made.
 *   vectorMap       64-bit map, integer layout (vector format 0).
 *   origin          two int32: the image position of the maps' pixel (0,0).
 *   progress        as for KyPathVMap (the Escape key cancels as well).
 *   extra           not used by these builders.
 *
 * 1 when the arrowheads were written or there was nothing to do. 0 for a
 * null argument, maps of another depth or size than described (3200),
 * an OutlineInfo naming an arrowhead without holding either template,
 * running out of memory (1001) or cancellation (5200); vectorMap is then
 * left as it was and stays the caller's. */
Y32_API int32_t KyPathArrowHeadVMap(KyPath *path, double penWidth, PathBuf mask, int32_t distanceRequest,
                                    ReliefVectorMap vectorMap, const int32_t *origin, ReliefProgress *progress,
                                    int32_t extra);

Y32_END_C

#endif
