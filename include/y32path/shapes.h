/* y32path/shapes.h - primitive shapes, text outlines, curve fitting, arrowheads. */
#ifndef Y32PATH_SHAPES_H
#define Y32PATH_SHAPES_H

#include "types.h"
#include "gdi.h"
#include "table.h"
#include "view.h"

Y32_BEGIN_C

/* ---- Curve tools and curve fitting --------------------------------------
 *
 * The smooth curve tool places the handles itself so that the curve runs
 * smoothly through every clicked knot; the freehand tool fits a short chain
 * of cubic curves to a dragged stroke. Both keep their state library-wide
 * (one figure at a time in the whole process) and attach the finished path
 * to the table as its selected path. */

/* Smooth tool handle length: tension = n * 0.005, clamped to 0..0.5. */
Y32_API void KyPathSetSmoothBezierSmoothness(int32_t n);
/* tension * 200, rounded (75 by default). */
Y32_API int32_t KyPathGetSmoothBezierSmoothness(void);
/* Freehand tolerance = n * 0.1 image pixels, not clamped (values below 1.0
 * act as 1.0). Returns n. */
Y32_API int32_t KyPathSetFreehandBezierSmoothness(int32_t n);
/* tolerance * 10, truncated (40 by default). */
Y32_API int32_t KyPathGetFreehandBezierSmoothness(void);

/* Fits cubic curves within `tolerance` image pixels (at least 1.0) through
 * `count` window points (x, y pairs), using at most the first 512. A new
 * path the caller owns: point 0 PT_MOVETO, then PT_BEZIERTO; when `closed`
 * is nonzero a straight closing curve back to the first point ends it with
 * PT_BEZIERTO | PT_CLOSEFIGURE. NULL for fewer than 3 points, a NULL view or
 * points, a zero zoom, or when out of memory. */
Y32_API KyPath *KyPathCreateApproximateBezier(CoordStruct *view, int32_t count, const POINT *points,
                                              double tolerance, int32_t closed);

/* ---- End of curve tools and curve fitting ---- */

Y32_END_C

#endif
