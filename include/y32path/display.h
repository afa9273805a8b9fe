/* y32path/display.h - drawing outlines and nodes, hit testing, selection, the pen tool.
 *
 * Two layers show paths in a document window.
 *
 * Outlines are rasterised one pixel wide into the view's overlay buffer
 * (one byte per client pixel: bits 0-5 count the outlines covering the
 * pixel, bit 6 marks the picked segment, bit 7 the secondary style). The
 * host composites the overlay onto its own image of the window with
 * KyPathPaintMem (24-bit) or KyPathPaintMem1 (8-bit). Drawing counts up
 * and erasing counts down, so erasing one of two overlapping outlines
 * leaves the other intact. Out rectangles are window rectangles (right and
 * bottom exclusive) the host should repaint. A view without an overlay
 * buffer draws nothing and succeeds.
 *
 * Nodes (squares on points) and the dotted handle lines to control points
 * are drawn straight onto the window's device context in exclusive-or, so
 * drawing them a second time removes them. */
#ifndef Y32PATH_DISPLAY_H
#define Y32PATH_DISPLAY_H

#include "types.h"
#include "gdi.h"
#include "table.h"
#include "view.h"

Y32_BEGIN_C

/* ---- Outline layer ------------------------------------------------------ */

/* Wipes the overlay and draws every record of the record's table list
 * (records being drawn by the selection drawer excepted). When the list's
 * last record is a wrap baseline or an envelope outline, the others are
 * drawn in the secondary style. *out = the client rectangle, which the
 * wipe invalidated. 1; 0 for a NULL record, view or out. Without an
 * overlay buffer: 1 and *out untouched. */
Y32_API int32_t KyPathDraw(CoordStruct *view, KyPath *path, Y32Rect *out);
/* Wipes the overlay. *out = the client rectangle or, when a record is
 * given, the window box (with margin) of the record and every record after
 * it. 1; 0 for a NULL view or out. */
Y32_API int32_t KyPathHide(CoordStruct *view, KyPath *path, Y32Rect *out);

/* The selection drawers work on every record of the record's selection
 * list; *out = the union of the touched boxes in window coordinates
 * (0, 0, 0, 0 when nothing was drawn). 1; 0 for a NULL record, view or
 * out. */
/* Draws the selected records: only the segments touching selected nodes
 * when the record has selected nodes, else whole records. */
Y32_API int32_t KyPathDrawSelected(CoordStruct *view, KyPath *path, Y32Rect *out);
/* Erases what KyPathDrawSelected draws. */
Y32_API int32_t KyPathHideSelected(CoordStruct *view, KyPath *path, Y32Rect *out);
/* Draws and erases the picked segments. */
Y32_API int32_t KyPathDrawSelectedSegments(CoordStruct *view, KyPath *path, Y32Rect *out);
Y32_API int32_t KyPathHideSelectedSegments(CoordStruct *view, KyPath *path, Y32Rect *out);

/* Draws (erases) segment `index` of a selected record that has neither
 * selected nodes nor a picked segment; the record is left as it was. 0
 * when those conditions fail or index is not below count - 1. */
Y32_API int32_t KyPathDrawSegment(CoordStruct *view, KyPath *path, int32_t index, Y32Rect *out);
Y32_API int32_t KyPathHideSegment(CoordStruct *view, KyPath *path, int32_t index, Y32Rect *out);

/* Composites the table's overlay onto the host's image of the window
 * rectangle (x0, y0)-(x1, y1): (x1 - x0) pixels a row, rows without gaps,
 * the first row being window row y0. Covered pixels are inverted:
 * secondary style with 0x40, highlight with 0xEE on the second and third
 * byte, others with 0xC0 (8-bit: 0x40, 0x77, 0xC0). 1; 0 when the table,
 * its overlay or the image is missing. */
Y32_API int32_t KyPathPaintMem(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *table,
                               uint8_t *image);
Y32_API int32_t KyPathPaintMem1(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *table,
                                uint8_t *image);
/* Replaces the overlay by a zero-filled width x height one holding the
 * top-left part of the old one. Views must be refreshed afterwards
 * (KyPathCoordStruct): they still point at the old buffer. 1; 0 for a NULL
 * table, a negative size or out of memory (old buffer kept). */
Y32_API int32_t KyPathCropDB(PathTable *table, int32_t width, int32_t height);
/* Moves the view's scroll offsets by the low 16 bits of dx and dy (signed)
 * and, when a record is given, redraws its table list with KyPathDraw.
 * 1; 0 for a NULL view. */
Y32_API int32_t KyPathScrollDB(CoordStruct *view, KyPath *path, int32_t dx, int32_t dy);

/* ---- Groups --------------------------------------------------------------- */

/* Makes the record's table list a new group named `name` (at most 255
 * characters) and the current group, and draws it. An empty *holder gets
 * a new table with an overlay sized by the view's right and bottom. A
 * table whose only group is empty reuses it; otherwise the table grows by
 * one group and the previous group's outlines are wiped first. *out (may
 * be NULL) receives the window rectangle to repaint. 1; 0 for a NULL
 * record or holder, or when out of memory (an existing table unchanged, a
 * new one not made). */
Y32_API int32_t KyPathAddPathGroup(PathTable **holder, KyPath *path, const char *name, CoordStruct *view,
                                   Y32Rect *out);

/* ---- Node layer --------------------------------------------------------- */

/* Sets the library-wide nodes switch (initially 1) and returns the flag.
 * While it is 0 KyPathDrawNodes and KyPathDrawNodesOnUnselectedSegments
 * draw nothing. */
Y32_API int32_t KyPathDrawNodesTurnOn(int32_t flag);
/* One node square centred on the window point: active (hollow), inactive
 * (grey) or small (grey, for control points). Pen and brush are restored;
 * the caller sets the raster operation. 1; 0 for an unknown context. */
Y32_API int32_t KyPathDrawActiveNode(HDC hdc, int32_t x, int32_t y);
Y32_API int32_t KyPathDrawInactiveNode(HDC hdc, int32_t x, int32_t y);
Y32_API int32_t KyPathDrawSmallNode(HDC hdc, int32_t x, int32_t y);
/* Draws (or, drawn again, erases) the nodes of a record in exclusive-or:
 * squares on its nodes, and on control points next to selected nodes with
 * their handle lines. 0 when the switch is off, an argument is NULL or the
 * handle pen cannot be made; 1 otherwise (also, without drawing, when the
 * view has no overlay buffer or the record no points). */
Y32_API int32_t KyPathDrawNodes(HDC hdc, KyPath *path, CoordStruct *view);
/* Inactive squares on the nodes not next to the record's first selected
 * node, in exclusive-or. */
Y32_API void KyPathDrawNodesOnUnselectedSegments(HDC hdc, KyPath *path, CoordStruct *view);
/* KyPathDrawNodes for every record of the current group's selection list.
 * 1 when the table is live and has a selected path, else 0. */
Y32_API int32_t KyPathTblRepaintNodes(HDC hdc, PathTable *table, CoordStruct *view);

/* End marks and separators of the node exchange array. */
#define KYPATH_NODES_END      1000000
#define KYPATH_NODES_OPEN_END 1000001
#define KYPATH_NODES_BREAK    1001000
#define KYPATH_NODES_SLOTS    12

/* Exchanges the window positions of the points next to the selected nodes
 * of a record that is alone in its selection. direction 0: writes them in
 * point order into points[0..10], runs separated by KYPATH_NODES_BREAK,
 * then the end mark (KYPATH_NODES_OPEN_END when a run reached an open end
 * of the subpath), which points[11] always receives. direction != 0: reads
 * the same entries back and moves the points whose window position
 * changed (the shape code becomes 0). Returns the number of points written
 * or read; 0 for NULL arguments or a view without an overlay buffer. */
Y32_API int32_t KyPathSelectedToView(CoordStruct *view, KyPath *path, POINT *points, int32_t direction);

/* ==== Hit testing, selection and marquee selection ========================
 * Selection has three levels: whole records (KPF_SELECTED, linked in the
 * selection list), nodes (PT_SELECTED, on a record selected alone) and one
 * picked segment (PT_SEGSELECTED on its start point, on a record selected
 * alone without selected nodes). As soon as two records are selected node
 * and segment selections are dropped. Whenever a record's selection
 * changes its node squares are drawn again on hdc, so the window shows the
 * nodes of exactly the selected records. */

/* Mode flags of KyPathPtOn. */
#define KYPATH_HIT_CLICK  4  /* select what is hit, deselect on a miss */
#define KYPATH_HIT_ADD    8  /* add the hit path's group to the selection */
#define KYPATH_HIT_QUERY  16 /* exactly 16: report only, change nothing */
#define KYPATH_HIT_TOGGLE 32 /* select or deselect the hit path's group */
/* Answers of KyPathPtOn. */
#define KYPATH_HIT_UNSELECTED 1
#define KYPATH_HIT_SELECTED   2
#define KYPATH_HIT_NOTHING    3
#define KYPATH_HIT_BADMODE    (-1)

/* What lies under the window point (wx, wy) (relative to the client area):
 * a node or segment of the list named by *holder (NULL: the current
 * group's first path), within 4 window pixels. Selected records are tested
 * first; when the list ends with a wrap baseline only the baseline is.
 * Segments are tested only for points inside the client area. On return
 * *holder is the hit record or NULL, *index the node hit or the start of
 * the segment hit, *param 0 for a node or the position along the segment
 * in 1/65535 of its parameter. Click and query modes first look for an
 * outline pixel in the overlay around the point. Unless the mode is a
 * query, the selection follows the mode and the current group's selected
 * path is updated. Outputs may be NULL; a NULL or zero-zoom view or an
 * empty list answers KYPATH_HIT_NOTHING without change. */
Y32_API int32_t KyPathPtOn(int32_t wx, int32_t wy, int32_t mode, HDC hdc, CoordStruct *view, PathTable *table,
                           KyPath **holder, int32_t *index, uint16_t *param);

/* Picks segment `index` (count - 1 meaning segment 0) of a selected record
 * without selected nodes or picked segment, and highlights it in the
 * overlay when a view is given; *out (may be NULL) = the touched window
 * rectangle, empty without drawing. 0 when refused: the record's state,
 * an index out of range or one that starts no segment. */
Y32_API int32_t KyPathPickSegment(CoordStruct *view, KyPath *path, int32_t index, Y32Rect *out);
/* Drops the picked segment of the record, or with a NULL record of every
 * record of the table's current group, removing the highlight when a view
 * is given; *out (may be NULL) = the union of the touched rectangles.
 * 1; 0 when both record and table are NULL. */
Y32_API int32_t KyPathUnpickSegment(CoordStruct *view, PathTable *table, KyPath *path, Y32Rect *out);
/* Kind of segment `index`: 1 line, 2 curve, 3 other; 0 for a NULL record
 * or an index outside 0..count-2. */
Y32_API int32_t KyPathGetSegmentType(KyPath *path, int32_t index);
/* Kind of the one picked segment of a record selected alone and not
 * grouped; 0 otherwise, or with none or several picked. */
Y32_API int32_t KyPathGetSelectedSegmentType(KyPath *path);
/* Clears the node selection of a record (not its picked segment); draws
 * nothing. 0 when it had none. */
Y32_API int32_t KyPathDeselectPts(KyPath *path);
/* Deselects every record of the record's table list. With draw, hdc and
 * view the node squares of the selected records are erased first; with a
 * view a picked segment's highlight is removed. 1; 0 for NULL. */
Y32_API int32_t KyPathDeSelectAll(HDC hdc, KyPath *path, CoordStruct *view, int32_t draw);
/* Makes the group chain holding the record the whole selection of the
 * table's current group, drawing its nodes when draw, hdc and view are
 * given. 0 for NULL arguments, an empty group or a record not in it. */
Y32_API int32_t KyPathSingleSelectPath(PathTable *table, KyPath *path, CoordStruct *view, HDC hdc, int32_t draw);
/* Selects every record of the table list as one selection list, dropping
 * node and segment selections. Draws nothing. 1; 0 for NULL. */
Y32_API int32_t KyPathAllPathSelected(KyPath *path);

/* Flags of KyPathRectClip. */
#define KYPATH_RECT_SEGMENTS 0x01 /* caught when a segment touches the rectangle */
#define KYPATH_RECT_NODES    0x02 /* caught when a node lies strictly inside (without 0x01) */
#define KYPATH_RECT_REPLACE  0x04 /* deselect everything, select what is caught */
#define KYPATH_RECT_ADD      0x08 /* select what is caught */
#define KYPATH_RECT_REPORT   0x10 /* only tell whether the selection would change */
#define KYPATH_RECT_TOGGLE   0x20 /* without 0x04 and 0x08: flip each caught group */

/* Marquee selection with the window rectangle (x0, y0)-(x1, y1), corners in
 * any order, over the table's current group (only its wrap baseline when
 * the list ends with one). Whole group chains are selected or deselected;
 * node squares follow on hdc. *changed (may be NULL) = 1 when the
 * selection changed, or would with KYPATH_RECT_REPORT. 1 when a record was
 * caught; 2 when none was, no mode bit is set, or there is nothing to
 * examine. */
Y32_API int32_t KyPathRectClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *table, HDC hdc,
                               CoordStruct *view, int32_t flags, int32_t *changed);

/* ---- Edits that redraw ------------------------------------------------
 * The selection of the table's current group is edited, erased from the
 * overlay and drawn again; *changed receives the window rectangle to
 * repaint (empty when nothing was drawn). */

/* Aligns (18017, 18018, 18020 to 18023) or distributes (18024, 18025) the
 * selected paths, a group moving as one; other modes move nothing but
 * still redraw. `reserved` is not read. 0 for a NULL table or no selected
 * path. */
Y32_API int32_t KyPathAlign(int32_t reserved, int32_t mode, PathTable *table, CoordStruct *view, Y32Rect *changed);
/* Copies the selected paths to the end of the list, 15 window pixels down
 * and right, and makes the copies the selection; the sources' node squares
 * are erased on dc and the copies drawn into the overlay. 0 (nothing
 * changed) without a selected path or a usable view, or out of memory. */
Y32_API int32_t KyPathDuplicate(HDC dc, PathTable *table, CoordStruct *view, Y32Rect *changed);
/* Turns the picked segment of the selected path (selected alone, not
 * grouped) from a line into a curve or back. 0 for a NULL view or table,
 * no such segment, or a failure (reported). */
Y32_API int32_t KyPathConvertSelectedSegment(CoordStruct *view, PathTable *table, Y32Rect *changed);
/* Deletes the selected nodes of the selected path (when it has some and
 * stays a valid subpath) or else every selected record. 0 without a
 * selected path. */
Y32_API int32_t KyPathDelete(PathTable *table, CoordStruct *view, Y32Rect *changed);

/* ==== The pen tool ========================================================
 * The host forwards the messages of its document window while the pen tool
 * is active. A click adds a corner node, a press and drag a smooth node
 * whose handle follows the mouse (its curve end carries PT_DRAGGED). The
 * subpath is the selected path of the table's current group, appended to
 * its list (or starting an empty group). Rubber bands and node squares
 * are drawn in exclusive-or on hdc; when the drawing ends the window shows
 * the finished path's node squares as KyPathDrawNodes draws them.
 *
 * The host captures the mouse after the first button-down and keeps it
 * while the drawing runs: a drawing whose capture is gone is given up. */

/* Messages and key codes the pen tool reads (platform values). */
#ifndef WM_KEYDOWN
#define WM_KEYDOWN       0x0100
#endif
#ifndef WM_MOUSEMOVE
#define WM_MOUSEMOVE     0x0200
#endif
#ifndef WM_LBUTTONDOWN
#define WM_LBUTTONDOWN   0x0201
#endif
#ifndef WM_LBUTTONUP
#define WM_LBUTTONUP     0x0202
#endif
#ifndef WM_LBUTTONDBLCLK
#define WM_LBUTTONDBLCLK 0x0203
#endif
/* Key-state flags of mouse messages (the pen tool asks GetKeyState). */
#ifndef MK_LBUTTON
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT   0x0004
#define MK_CONTROL 0x0008
#endif
#ifndef VK_BACK
#define VK_BACK 0x08
#endif

/* Tool kinds: what a double-click does. */
#define KYPATH_PEN_CLOSE        0 /* closes (adding the double-click's point when away from the start) */
#define KYPATH_PEN_OPEN         1 /* finishes open */
#define KYPATH_PEN_CLOSE_NEAR   2 /* closes near the start, else finishes open */
#define KYPATH_PEN_CLOSE_SNAP   3 /* as 0 */
#define KYPATH_PEN_OPEN_SNAP    4 /* as 1; handles shorter than 5 image units snap onto their node */
#define KYPATH_PEN_NEAR_SNAP    5 /* as 2 */
#define KYPATH_PEN_LINE         6 /* a two-point line: the second click finishes it (also any other kind) */

/* One message: x, y are window client coordinates; key is the key code of
 * WM_KEYDOWN (VK_ESCAPE ends the drawing, keeping what was built; VK_BACK
 * takes the last segment back). reserved1 and reserved2 are not read.
 * With Shift held the pointer keeps to the horizontal, vertical or
 * diagonal through the last point. Returns 1 when this message finished
 * the subpath (the capture is then released), else 0. A first press with
 * a NULL table, a table whose state word is 0 or a view without zoom
 * beeps and starts nothing. */
Y32_API int32_t KyPathMouseProcDraw(HDC hdc, PathTable *table, CoordStruct *view, uint32_t message, uint32_t key,
                                    int32_t x, int32_t y, int32_t reserved1, int32_t reserved2, int32_t kind);

Y32_END_C

#endif
