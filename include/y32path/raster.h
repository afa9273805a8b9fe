/* y32path/raster.h - pixel buffers and rasterisation.
 *
 * A PathBuf is the address of the first pixel of a buffer whose three
 * header words (depth in bits, width, height) sit in the 12 bytes before
 * it. Rows are packed top to bottom with no gap: the stride is always
 * width x bytes-per-pixel (1 for depth 8, 3 for 24, 4 for 32, 8 for any
 * other depth). Because of the 12-byte header, pixels of 8-byte depths are
 * only 4-byte aligned: copy them with memcpy rather than through a
 * double or uint64_t pointer. */
#ifndef Y32PATH_RASTER_H
#define Y32PATH_RASTER_H

#include "types.h"

typedef void *PathBuf;

/* Row access record, filled by KyPathBufLock1; owned by the caller. */
typedef struct PathBufLock {
    PathBuf data;        /* the buffer handle */
    uint32_t rowPixels;  /* the buffer's width when it was locked */
} PathBufLock;

Y32_BEGIN_C

/* A new zero-filled buffer, or NULL. planes, reserved1 and reserved2 are
 * not used (pass 1, 0, 0). A size that does not fit in 32 bits is refused
 * like an allocation failure: NULL and error 1001. */
Y32_API PathBuf KyPathBufAlloc(int32_t depth, uint32_t width, uint32_t height, int32_t planes,
                               int32_t reserved1, int32_t reserved2);
/* An independent copy with the same header and pixels, or NULL. */
Y32_API PathBuf KyPathBufDuplicate(int32_t reserved, PathBuf buffer);
/* Releases the buffer; 1. The handle value 1 is accepted and ignored
 * (1); NULL is ignored (0). */
Y32_API int32_t KyPathBufFree(PathBuf buffer);
/* Size of the whole block, header included; 0 for NULL. */
Y32_API uint32_t KyPathBufSize(PathBuf buffer);
/* Stores width, height and depth through the non-null pointers; 1 (0 for
 * a NULL buffer). */
Y32_API int32_t KyPathBufGetWHU(PathBuf buffer, uint32_t *width, uint32_t *height, int32_t *depth);
/* Fills *lock for row access; 1 (0 for a NULL buffer or lock). The three
 * middle arguments are not used. */
Y32_API int32_t KyPathBufLock1(PathBuf buffer, int32_t reserved1, int32_t reserved2, int32_t reserved3,
                               PathBufLock *lock);
/* Address of the first pixel of row y. No bounds check: y must lie in
 * 0 .. height - 1. */
Y32_API void *KyPathBufLineRead(const PathBufLock *lock, int32_t y);
/* Does nothing; 1. */
Y32_API int32_t KyPathBufUnlock1(PathBufLock *lock);

/* Rasterises a path into coverage masks, one buffer per group: the group
 * of `path`, or every selected group when `path` is selected.
 *   format    4: 32-bit 8x4 sub-pixel masks (a 1 bit is NOT covered);
 *             16: 8-bit mask rendered at `scale` and box-filtered back to
 *             image size; anything else: 8-bit mask at `scale`.
 *   evenOdd   0 nonzero winding, else even-odd.
 *   antialias 0 hard (0/255), else graded; 999 uses 4 sub-scanlines.
 *   mode      0 filled; nonzero outlines; 3 outlines of every record of
 *             the table list together.
 *   margin    every rectangle grows by abs(margin) on all sides.
 * *rects_out receives a global-memory array of rectangles (left, top,
 * right, bottom in image pixels, where each buffer's pixel (0,0) starts)
 * and *buffers_out one of buffers; the caller frees both arrays with
 * GlobalFree and each buffer with KyPathBufFree. Returns the number of
 * buffers, 0 (and both outputs NULL) on failure or when nothing was
 * rendered. */
Y32_API int32_t KyPathToBuf(KyPath *path, int32_t format, int32_t evenOdd, int32_t antialias,
                            int32_t mode, FIXED scale, Y32Rect **rects_out, PathBuf **buffers_out,
                            int32_t margin);

Y32_END_C

#endif
