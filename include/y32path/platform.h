/* y32path/platform.h - the global-memory family.
 *
 * Blocks the library hands to the host (flat path blocks, rectangle and
 * buffer arrays) are global-memory blocks; the host frees them with
 * GlobalFree. Blocks are fixed: the handle is the address. */
#ifndef Y32PATH_PLATFORM_H
#define Y32PATH_PLATFORM_H

#include "types.h"

#define GMEM_FIXED    0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR          (GMEM_FIXED | GMEM_ZEROINIT)

typedef void *HGLOBAL;

Y32_BEGIN_C

/* A new block of `bytes` bytes, zero-filled with GMEM_ZEROINIT; NULL when
 * out of memory. */
Y32_API HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
/* Resizes; with GMEM_ZEROINIT the grown tail is zero-filled. NULL (and the
 * old block intact) on failure or for a handle that is not live. */
Y32_API HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, uint32_t flags);
/* Size of a live block; 0 for anything else. */
Y32_API size_t GlobalSize(HGLOBAL mem);
/* NULL on success; the handle back when it is not a live block. */
Y32_API HGLOBAL GlobalFree(HGLOBAL mem);
/* The block's address (blocks never move); NULL when not a live block. */
Y32_API void *GlobalLock(HGLOBAL mem);
/* Fixed blocks keep no lock count: always 0. */
Y32_API int32_t GlobalUnlock(HGLOBAL mem);

Y32_END_C

#endif
