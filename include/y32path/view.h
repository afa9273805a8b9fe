/* y32path/view.h - views, overlay buffers and bounding rectangles.
 *
 * A CoordStruct describes one document window: its client rectangle, its
 * scroll offsets and zoom (window pixels per image unit), and the overlay
 * buffer it borrows from the document's PathTable: one byte per client
 * pixel, rows packed, top row first. 56 bytes on a 32-bit target. */
#ifndef Y32PATH_VIEW_H
#define Y32PATH_VIEW_H

#include "types.h"
#include "table.h"

Y32_BEGIN_C

typedef struct CoordStruct {
    int32_t left, top, right, bottom; /* client rectangle, window pixels */
    int32_t scrollX, scrollY; /* client (0, 0) shows zoomed image position (scrollX, scrollY) */
    double zoom;              /* window pixels per image unit */
    uint8_t *lpDB;            /* the table's overlay buffer, borrowed */
    /* reserved[0] and reserved[1]: the width and height lpDB was allocated
     * with, recorded whenever the library points lpDB at a buffer (0 when
     * unknown: the client size is then trusted). Other words are zero. */
    uint32_t reserved[5];
} CoordStruct;

/* View mapping. out receives x = (scrollX + wx) / zoom, y likewise; the
 * result is out, or NULL (nothing written) for a NULL argument or a zero
 * zoom. */
Y32_API double *KyPathPtWndToImage(double *out, int32_t wx, int32_t wy, CoordStruct *view);
/* out[0..3] = images of (left, top) and (right, bottom). */
Y32_API double *KyPathRectWndToImage(double *out, Y32Rect rect, CoordStruct *view);

/* Creates (*holder NULL) or refreshes a view. With a table: the table's
 * overlay is allocated when it has none, the view borrows it and the table
 * records the view. An existing overlay is kept even when the client size
 * changed; drawing then clips to the buffer's real size. 1; 0 for a NULL
 * holder or when the view or a needed overlay cannot be allocated (the view,
 * when it exists, is filled and has no overlay). */
Y32_API int32_t KyPathCoordStruct(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                  int32_t scrollX, int32_t scrollY, double zoom,
                                  PathTable *table, CoordStruct **holder);
/* As KyPathCoordStruct, but always replaces the table's overlay with a new
 * zero-filled one of the new size; a nonzero viewTag is stored in the
 * table. 0 for a NULL table or holder, or when out of memory (view and
 * table are then left without an overlay). */
Y32_API int32_t KyPathNewCoordStruct(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                     int32_t scrollX, int32_t scrollY, double zoom,
                                     uint32_t viewTag, PathTable *table, CoordStruct **holder);
/* Frees the view, not its overlay. 1, also for NULL. */
Y32_API int32_t KyPathDeleteCoordStruct(CoordStruct *view);
/* 1 when the table's overlay was made for exactly this view (size, scroll,
 * zoom within 0.00001, viewTag), else 0. */
Y32_API int32_t KyPathTblIsValid(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                 int32_t scrollX, int32_t scrollY, double zoom,
                                 uint32_t viewTag, PathTable *table);

/* Bounding rectangles. Whole-pixel boxes floor every coordinate, multiply
 * by the scale (16.16) when it is not 1.0 and add a margin of 5 on the
 * left and top and 6 on the right and bottom. Rotated-rectangle records
 * contribute their rotated corners; records with the no-extent entry
 * contribute nothing. Each returns 1, or 0 for a NULL record or out. */
/* The record and every record after it along next. */
Y32_API int32_t KyPathGetAllMiniMaxRect(KyPath *path, FIXED scale, Y32Rect *out);
/* The record and its group successors. */
Y32_API int32_t KyPathGetMiniMaxRect(KyPath *path, FIXED scale, Y32Rect *out);
/* The record and its successors in the selection list. */
Y32_API int32_t KyPathGetSelectedRect(KyPath *path, FIXED scale, Y32Rect *out);
/* The unselected records of the record's table list. */
Y32_API int32_t KyPathGetUnselectedRect(KyPath *path, FIXED scale, Y32Rect *out);
/* As KyPathGetAllMiniMaxRect without the margin. */
Y32_API int32_t KyPathGetRealRect(KyPath *path, FIXED scale, Y32Rect *out);
/* The record alone, each value trunc(v * scale + 0.5), no margin. A NULL or
 * extentless record gives (10000, 10000, -10000, -10000). */
Y32_API void KyPathGetRect(KyPath *path, FIXED scale, Y32Rect *out);
/* The record and its group successors in image units: min x, min y, max x,
 * max y. */
Y32_API int32_t KyPathGetDoubleRectNoMargin(KyPath *path, double *out);
/* The same with 5.0 off the minima and 6.0 on the maxima. The scale is not
 * applied (callers pass 1.0). */
Y32_API int32_t KyPathGetDoubleMiniMaxRect(KyPath *path, FIXED scale, double *out);
/* Per-side anti-aliasing margins (4 to 6 pixels) in out[0..3]: left, top,
 * right, bottom. 0 for a record with an OutlineInfo. */
Y32_API int32_t KyPathGetMargin(KyPath *path, int32_t mode, int32_t *out);

Y32_END_C

#endif
