/* y32path/edit.h - undo, structural edits, transforms, the flat form. */
#ifndef Y32PATH_EDIT_H
#define Y32PATH_EDIT_H

#include "types.h"
#include "platform.h"
#include "table.h"
#include "view.h"
#include "gdi.h"

Y32_BEGIN_C

/* ---- The flat form -------------------------------------------------------
 * A path chain (the whole table list holding the record, with the head's
 * OutlineInfo and the paths attached to it) serialised into one
 * global-memory block, for documents and the clipboard. The block always
 * has the 32-bit layout: ten 32-bit header words per record, links written
 * as 32-bit tags. */

/* *size receives the byte size of the flat form of the table list holding
 * `path`. With `block` non-null a zero-filled global-memory block of that
 * size is made, filled and stored in *block; the caller frees it with
 * GlobalFree. Flattening stamps version 769 into every written record.
 * Returns 1; 0 (and *block NULL) for a NULL or damaged record, a form
 * beyond 2 GB, or no memory. */
Y32_API int32_t KyPathFlatten(KyPath *path, uint32_t *size, HGLOBAL *block);
/* Builds a new table list from the flat block held in *block (not freed,
 * not changed) and stores its head in *path (NULL for a block without
 * records). Every offset, size and count is checked against the block's
 * GlobalSize; a malformed block, a handle that is not a live global block
 * or no memory gives 0, *path NULL and nothing left allocated. Links that
 * point outside the block's records are cleared. */
Y32_API int32_t KyPathUnFlatten(HGLOBAL *block, KyPath **path);

/* ---- Segments, length and offset ---------------------------------------- */

/* Moves the record and every record after it along next by whole pixels
 * so that the box of KyPathGetMiniMaxRect (record, scale 1.0) - margin
 * included - starts at (x, y). Returns 1; 0 for NULL. */
Y32_API int32_t KyPathOffset(KyPath *path, int32_t x, int32_t y);
/* Adds dx, dy (whole pixels) to the integer part of every position of the
 * record and of every record after it along next; the fractions stay and
 * the integer parts wrap at 16 bits. Returns 1; 0 for NULL. */
Y32_API int32_t KyPathOffsetExact(KyPath *path, int32_t dx, int32_t dy);
/* Length of the record's line and curve segments in image pixels (curves
 * to within 0.1 pixel); 0.0 for NULL or fewer than two points. */
Y32_API double KyPathGetLength(KyPath *path);
/* Splits segment `segment` (the one starting at that point index) of the
 * record at t = (low 16 bits of t) / 65535. A curve becomes two curves
 * (3 more points), a line gets a new point on it (1 more). The record is
 * normally the current group's selected path; wherever it sits, its
 * neighbours in all three lists and the current group follow it when the
 * block moves. Returns the (possibly moved) record; NULL when the segment
 * is neither a whole line nor a whole curve, for a NULL argument, or when
 * out of memory (error 1001 recorded; the record unchanged). */
Y32_API KyPath *KyPathSubdivide(PathTable *table, KyPath *path, int32_t segment, uint32_t t);

/* ======== Transforms and structural edits ================================
 * (Everything from here to the end of this block belongs to the transform
 * and structure operations; the flat form and segment operations above.) */

/* ---- Transforms -----------------------------------------------------------
 * The geometric operations below draw nothing. Points are stepped by kind:
 * move, line and curve points move; the parameter entries of special
 * records (0x0100, 0x0200, 0x0400) keep their values under moving and
 * sizing. */

/* The resize-slant-rotate request: 56 bytes on every target. */
typedef struct KyPathRSRParams {
    int32_t reserved0;
    int32_t anchored;   /* 0: origin at the bounds' top-left; else from the handle */
    double dx, dy;      /* where the origin ends up, image pixels */
    double sx, sy;      /* scale factors; sy 0 means sy = sx */
    double reserved1;
    double angle;       /* degrees, 0 for no rotation */
} KyPathRSRParams;

/* The two words of the host's handle description that the transform reads;
 * hosts pass their handle record whose first two words are these. */
typedef struct KyPathRSRHandle {
    uint32_t kind;  /* bit 0: edge handle, anchored at the opposite edge;
                       bit 1: handle anchored at the middle */
    int32_t axis;   /* 0 horizontal, nonzero vertical */
} KyPathRSRHandle;

/* (x1 + x2, y1 + y2) packed as x in the low and y in the high 32 bits. */
Y32_API uint64_t PtfxAdd(FIXED x1, FIXED y1, FIXED x2, FIXED y2);
/* (x1 - x2, y1 - y2), packed the same way. */
Y32_API uint64_t PtfxSub(FIXED x1, FIXED y1, FIXED x2, FIXED y2);
/* Moves by a 16.16 offset: a selected record and the rest of its selection
 * list, or an unselected record and the rest of its group chain. 1; 0 for
 * NULL. */
Y32_API int32_t KyPathMovePathsByPtfx(KyPath *path, FIXED dx, FIXED dy);
/* The same with the offset in window pixels at the view's zoom. 0 for a
 * NULL record or view, or a view whose zoom is not a positive number. */
Y32_API int32_t KyPathMovePaths(KyPath *path, CoordStruct *view, int32_t wdx, int32_t wdy);
/* Scales every record of the table list about the image origin; sy 0 means
 * sy = sx. 1; 0 for NULL. */
Y32_API int32_t KyPathSize(KyPath *path, double sx, double sy);
/* Scales the one record (every entry) about the centre of its whole-pixel
 * rectangle; *centre (when given) receives that centre as two integers. */
Y32_API void KyPathScaleCentered(KyPath *path, double sx, double sy, int32_t *centre);
/* Turns the whole table list about the centre of its point bounds; a
 * positive angle turns clockwise on screen. */
Y32_API void KyPathRotateAboutCenter(KyPath *path, double degrees);
/* Moves the table list's origin to (0, 0), scales, rotates and moves it to
 * (dx, dy). 0 for NULL, or when a record is a wrap baseline or an
 * envelope outline (flags 0x310000); nothing changes then. */
Y32_API int32_t KyPathResizeSlantRotate(KyPath *path, const KyPathRSRParams *params,
                                        const KyPathRSRHandle *handle);
/* Where the four corners of the bounds would land, without changing the
 * path: corners[0..7] = x, y of top-left, top-right, bottom-left,
 * bottom-right. Same refusals, and a NULL corners. */
Y32_API int32_t KyPathGetRSRHandle(KyPath *path, const KyPathRSRParams *params,
                                   const KyPathRSRHandle *handle, FIXED *corners);

/* ---- Structural edits ----------------------------------------------------- */

/* Makes the selection list holding the (selected) record one group chain.
 * 1; 0 (nothing changed) for NULL, an unselected record, or when a record
 * of the list carries an OutlineInfo (its slot cannot take a successor). */
Y32_API int32_t KyPathJoin(KyPath *path);
/* Makes the whole table list one group chain. 1; 0 for NULL or when a
 * record of it carries an OutlineInfo. */
Y32_API int32_t KyPathJoinAll(KyPath *path);
/* Takes every record of the selection list out of its group chain. 1; 0
 * for NULL, an unselected record or one carrying an OutlineInfo. */
Y32_API int32_t KyPathDisjoin(KyPath *path);
/* Repairs closing point types of 0, then ungroups the whole table list
 * (OutlineInfo slots stay). 1; 0 for NULL or a record carrying an
 * OutlineInfo. */
Y32_API int32_t KyPathDisjoinAll(KyPath *path);
/* 1 for an unlinked open record with points. */
Y32_API int32_t KyPathIsSingleOpenPath(KyPath *path);
/* -1 below, 0 exactly at, 1 above the smallest valid subpath. */
Y32_API int32_t KyPathIsSimplestSubpath(KyPath *path);
/* 1 when the picked segment may change between line and curve. */
Y32_API int32_t KyPathSelectedSegmentCanBeConverted(KyPath *path);
/* Drops the last line or curve segment (point 0 always stays); the
 * selection flags follow. 1; 0 for NULL or when there is none to drop. */
Y32_API int32_t KyPathDeleteLinkLastSegment(KyPath *path);
/* Deletes the selected nodes or records of the current group without
 * drawing; *changed receives the group box of the selected path taken
 * before (empty when there is none). 0 when nothing is selected. */
Y32_API int32_t KyPathDeleteLink(PathTable *table, CoordStruct *view, Y32Rect *changed);
/* Reverses every record of the selection list (a selected record without
 * selected nodes or picked segment). 1; 0 for anything else (3200) or when
 * the work buffer cannot be allocated (1001; nothing reversed). */
Y32_API int32_t KyPathInvertSubpaths(KyPath *path);
/* Appends the record's table list to the one in *holder (or stores it when
 * *holder is NULL). 1; 0 for NULL arguments or when both are the same list
 * (that would close it into a ring). */
Y32_API int32_t KyPathChainPaths(KyPath **holder, KyPath *path);
/* Links n records as one table list and group chain (a record carrying an
 * OutlineInfo ends the group chain there); returns paths[0]. NULL (nothing
 * linked) for n <= 0, a NULL array or a NULL entry. */
Y32_API KyPath *KyPathChainKyPath(int32_t n, KyPath **paths);
/* Splices the record out of all three lists and frees it with its
 * OutlineInfo; *holder follows when it was the head. Nothing happens when
 * the record is not in the list that *holder starts. */
Y32_API void KyPathDeleteNodeFromList(KyPath **holder, KyPath *path);
/* Puts an unlinked record (no links, no OutlineInfo of its own; otherwise
 * nothing happens) in the place of oldPath in all three lists, taking its
 * OutlineInfo and selection; every group of the table (may be NULL) that
 * named oldPath names the newcomer. oldPath is left unlinked and stays the
 * caller's to free. */
Y32_API void KyPathExchangeSubpathInTable(PathTable *table, KyPath *oldPath, KyPath *newPath);

/* One traced point: 24 bytes. type 2 line, 4 curve, or a point type word. */
typedef struct KyPathTracedPoint {
    double x, y;
    int32_t type;
    int32_t unused;
} KyPathTracedPoint;
/* A new closed record of the traced points (selected, in no list), or NULL
 * for fewer than two points or no memory. */
Y32_API KyPath *KyPathR2VToKyPath(int32_t n, const KyPathTracedPoint *points);

/* ======== End of transforms and structural edits ======================== */

/* ======== Undo and redo journal ==========================================
 * Each owner (a nonzero key the host chooses, one per document; at most 20
 * owners at a time) has a journal of the actions it recorded before doing
 * them, and a position: the number of records in the done state. A record
 * holds only what its action needs (a selection snapshot, a moved node's
 * place, an envelope's control points; for join and disjoin, the group
 * links of the list, so that undo restores the groups exactly as they were).
 * Undo and redo exchange: applying a record stores the current state in
 * its place, so the same record serves the opposite step. Journals live
 * until their records are removed with KyPathURFree, or the library is
 * unloaded. */

/* Undo action codes (the host's command numbers). */
#define KYPATH_UR_SELECT1   18001 /* selection snapshots: 18001-18003, */
#define KYPATH_UR_SELECT2   18002 /* 18026 and 18027 behave alike */
#define KYPATH_UR_SELECT3   18003
#define KYPATH_UR_NODEMOVE  18006 /* the selected path's first point and node */
#define KYPATH_UR_JOIN      18007 /* undo restores the groups before the join */
#define KYPATH_UR_DISJOIN   18008 /* undo restores the groups before the disjoin */
#define KYPATH_UR_ENVELOPE  18016 /* the attached envelope's control points */
#define KYPATH_UR_SELECT26  18026
#define KYPATH_UR_SELECT27  18027

/* Records the state `code` needs from the table's current group before the
 * host performs the action; other codes record nothing (1). 0 when nothing
 * could be recorded: NULL or zero arguments, no memory, a new owner while
 * 20 others hold journals, a node move or envelope code with nothing
 * selected or attached. The journal is then unchanged. */
Y32_API int32_t KyPathBackupAction(uint32_t owner, int32_t code, PathTable *table);
/* Undoes record p (redo: re-applies record p + 1) on the table's current
 * group, redrawing through view and dc (each may be NULL: nothing drawn);
 * *changed (may be NULL) receives the window area that changed. 1 when a
 * record was applied; 0 when there is none in that direction, for NULL or
 * zero arguments, or when the record has nothing to act on or its exchange
 * cannot be allocated (nothing changed then). */
Y32_API int32_t KyPathUndo(uint32_t owner, PathTable *table, CoordStruct *view, Y32Rect *changed, HDC dc);
Y32_API int32_t KyPathRedo(uint32_t owner, PathTable *table, CoordStruct *view, Y32Rect *changed, HDC dc);
/* 1 when code is a selection code equal to record p's and the selection
 * now is exactly the one that record holds; else 0. Changes nothing. */
Y32_API int32_t KyPathSameUR(uint32_t owner, PathTable *table, int32_t code);
/* Removes the oldest record (oldest != 0) or the newest one; the position
 * follows. reserved is not read. 1; 0 for owner 0. */
Y32_API int32_t KyPathURFree(uint32_t owner, int32_t reserved, int32_t oldest);
/* Moves the current journal's position one record on (never past the
 * newest). 1. */
Y32_API int32_t KyPathGetURAction(void);
/* Stores 0 in both (when given). 1. */
Y32_API int32_t KyPathKyPathGetURInfo(int32_t *a, int32_t *b);
/* Does nothing: hosts bound their journals with KyPathURFree. 1. The same
 * do-nothing entry as KyPathBufUnlock1. */
Y32_API int32_t KyPathSetUndoLimit(int32_t limit);

/* ======== End of undo and redo journal ================================== */

Y32_END_C

#ifdef __cplusplus
/* Three companions of KyPathBackupAction, exported with C++ linkage (hosts
 * link them by their decorated names). They record into the journal of
 * the owner the last owner-keyed undo call named: BackupSelectMove the
 * selected path's first point, BackupSelected the selected path, and
 * BackupDuplicate a selection snapshot, each under the host's code. Undo
 * and redo only move the position over the first two kinds. Codes the
 * journal acts on are refused (KYPATH_UR_... codes; BackupDuplicate takes
 * the selection codes, and codes outside the journal's as place holders).
 * 1; 0 for a NULL table, a refused code, no memory, or no owner to record
 * for. */
Y32_API int BackupSelectMove(int code, void *table);
Y32_API int BackupSelected(int code, void *table);
Y32_API int BackupDuplicate(int code, void *table);
#endif

#endif
