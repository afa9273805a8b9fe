/* y32path/core.h - initialisation, fixed point and path records. */
#ifndef Y32PATH_CORE_H
#define Y32PATH_CORE_H

#include "types.h"

Y32_BEGIN_C

/* Creates the library's private heap. Returns 0x30000, also when it exists
 * already; 0 when the heap cannot be created. Call before anything that
 * allocates. */
Y32_API int32_t KyPathInit(void);

/* 16.16 conversions: FixToDb is f / 65536.0. DbToFix truncates toward zero and keeps the low 32
 * bits of the 64-bit result. */
Y32_API double FixToDb(FIXED f);
Y32_API FIXED DbToFix(double d);

/* A new empty zero-filled record on the private heap (1042 bytes on a 32-bit target: header, room for 100
 * points and 2 spare bytes), or NULL. */
Y32_API KyPath *KyPathCreate(void);
/* Appends one point; the low 16 bits of `type` are the point type word.
 * Room grows in steps of 100 points and *holder follows the block when it
 * moves. 0 when *holder is NULL or the block cannot grow. */
Y32_API int32_t KyPathAddPoint(KyPath **holder, const FIXED *xy, uint32_t type);
/* Trims the block to exactly its points; *holder follows the block. Points
 * may still be added later. 1; 0 for a NULL holder or record, or when the
 * block cannot be resized (it is then unchanged). */
Y32_API int32_t KyPathPurge(KyPath **holder);
/* Frees the record's OutlineInfo, every record after it along next
 * (mode 0) or selNext (mode != 0), then the record. Does not unlink.
 * 0 for NULL or a pointer that is not a live record. */
Y32_API int32_t KyPathDeletePtr(KyPath *path, int32_t mode);
/* Deep copy of the whole table list holding `path`, with group chains, the
 * selection list and the OutlineInfo. *out receives the copy's head or
 * NULL; the caller owns the copy. */
Y32_API int32_t KyPathDuplicatePtr(KyPath *path, KyPath **out);
/* Unlinked copy of the record at 1-based `position` of the table list. */
Y32_API KyPath *KyPathExtractSingleSubPath(KyPath *path, int32_t position);

/* The record's point count; 0 for NULL. */
Y32_API int32_t KyPathGetPointsNumber(KyPath *path);
/* Number of records in the table list holding the record; 0 for NULL. */
Y32_API int32_t KyPathGetSubpathsNumber(KyPath *path);
/* 1 when the flag (KPF_SELECTED, KPF_HASSELPOINT, KPF_HASSELSEGMENT) is
 * set on the record; 0 otherwise or for NULL. */
Y32_API int32_t KyPathIsSelected(KyPath *path);
Y32_API int32_t KyPathHasSelectedPoint(KyPath *path);
Y32_API int32_t KyPathHasSelectedSegment(KyPath *path);
/* 1 when every record of the table list is selected; 0 otherwise or NULL. */
Y32_API int32_t KyPathIsAllPathsSelected(KyPath *path);
/* Selection and group state. With *sel == 3 and *group == 3 on entry the
 * answers describe the record itself: *sel 0 unselected, 1 selected alone,
 * 3 selected with others; *group 1 grouped, 0 not. Other entry values ask
 * about the whole selection list. */
Y32_API int32_t KyPathInfo(KyPath *path, int32_t *sel, int32_t *group);

/* *out (may be NULL) = the record's OutlineInfo or NULL. 1 when the
 * record carries one; 0 when it does not or for a NULL record. The info
 * stays the record's. */
Y32_API int32_t KyPathGetOutlineInfo(KyPath *path, OutlineInfo **out);
/* Stores `info` in the record (an earlier one is not freed), which owns it
 * from then on: KyPathDeletePtr frees it with its three chains. 1; 0 for a
 * NULL record or info. */
Y32_API int32_t KyPathSetOutlineInfo(KyPath *path, OutlineInfo *info);
/* Creates (*holder NULL) or updates the OutlineInfo in *holder: the keys
 * and chains of the start arrowhead (key0, key1, pathA), the end arrowhead
 * (key3, key4, pathB) and the dash (key6, pathC), and param0..3. The info
 * takes ownership of the chains it is given. On update, a slot whose key
 * did not change keeps its chain and the newly given one is freed; a
 * changed key frees the stored chain and keeps the new one. 1; 0 for a
 * NULL holder or when a new info cannot be allocated (the chains then stay
 * the caller's). */
Y32_API int32_t KyPathAssignOutlineInfo(int32_t key0, int32_t key1, KyPath *pathA,
                                        int32_t key3, int32_t key4, KyPath *pathB,
                                        int32_t key6, KyPath *pathC,
                                        int32_t param0, int32_t param1,
                                        int32_t param2, int32_t param3,
                                        OutlineInfo **holder);
/* On the whole table list: selectAll makes every record selected (the old
 * selection links are cleared first); markLast sets KPF_LASTMARK on the
 * last record, or, when 0, clears it on every record; clearText clears the
 * text bits (KPF_TEXTMASK). NULL does nothing. */
Y32_API void KyPathSetPathFlags(KyPath *path, int32_t selectAll, int32_t markLast,
                                int32_t clearText);
/* Kept for hosts that call it; writes nothing. */
Y32_API void KyPathOutputSubpathInfo(KyPath *path);

Y32_END_C

#endif
