/* y32path/shapes.h - primitive shapes, text outlines, curve fitting, arrowheads. */
#ifndef Y32PATH_SHAPES_H
#define Y32PATH_SHAPES_H

#include "types.h"
#include "gdi.h"
#include "table.h"
#include "view.h"
#include "fonts.h"
#include "raster.h"

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

/* The curve tools' window-message procedures. hdc: the window's device
 * context (may be NULL: nothing is drawn); table: the document's table,
 * which receives the finished path; view: the window's view; msg: 256 key
 * down (wParam 8 backspace, 27 escape), 512 mouse move, 513 left button
 * down, 514 left button up, 515 double click (smooth tool only); x, y: the
 * pointer in window pixels; reserved1, reserved2: not read. 1 when the
 * figure was finished or cancelled, else 0.
 *
 * Smooth tool: each click places a knot; between clicks the last knot
 * follows the pointer; Shift keeps it on the horizontal, vertical or
 * diagonal through the previous knot; Ctrl at a click makes the previous
 * knot a corner; a double click finishes; backspace takes the last knot
 * back. mode 0 and 3: the figure is closed; 1 and 4: always open; 2 and 5:
 * closed when the last knot was placed on the first.
 *
 * Freehand tool: a drag records the stroke (up to 512 points, 2 pixels
 * apart), which is fitted on release with the freehand tolerance; mode is
 * the closed argument of KyPathCreateApproximateBezier. */
Y32_API int32_t KyPathDrawSmoothBezier(HDC hdc, PathTable *table, CoordStruct *view, uint32_t msg,
                                       uint32_t wParam, int32_t x, int32_t y, int32_t reserved1,
                                       int32_t reserved2, int32_t mode);
Y32_API int32_t KyPathDrawFreehandBezier(HDC hdc, PathTable *table, CoordStruct *view, uint32_t msg,
                                         uint32_t wParam, int32_t x, int32_t y, int32_t reserved1,
                                         int32_t reserved2, int32_t mode);

/* ---- End of curve tools and curve fitting ---- */

/* ---- Text outlines --------------------------------------------------------
 *
 * Text becomes paths: every contour of every glyph one KyPath record (y
 * downward, the first line's baseline at y = 0), all records of the text
 * one table list that is also one group chain. The first record of each
 * glyph and each decoration bar carry 0x40000000, the first record of each
 * line 0x20000000. Implied on-curve points of the font's quadratic splines
 * are PT_BEZIERTO | 0x2000. Fonts come from y32path/fonts.h. These calls
 * exist in builds with font support (not in the 32-bit build). */

typedef struct TextParams {
    int32_t reserved0;
    int32_t italic;     /* slant double-byte and symbol text; cleared when the font is italic */
    int32_t underline;  /* add an underline bar to each line */
    int32_t strikeOut;  /* add a strike-out bar to each line */
    int32_t renderMode; /* mode argument of KyPathToBuf */
    int32_t vertical;   /* lines stack right to left, glyphs advance downward */
    int32_t antialias;  /* antialias argument of KyPathToBuf */
    int32_t reserved7;
    int32_t align;      /* KYTEXT_ALIGN_FAR, KYTEXT_ALIGN_CENTRE, else near side */
    int32_t output;     /* KYTEXT_PATH_ONLY: no mask */
} TextParams;

#define KYTEXT_ALIGN_FAR    1001
#define KYTEXT_ALIGN_CENTRE 1002
#define KYTEXT_PATH_ONLY    1021

/* One run of rich text: 68 bytes on a 32-bit target. */
typedef struct RichTextRun {
    int32_t height;   /* LOGFONT height; with scale mode also the size (height / 128) */
    int32_t ascent;   /* both 0: measured from the font */
    int32_t descent;
    int32_t leading;  /* extra line spacing when positive */
    int32_t charset;  /* low 8 bits: LOGFONT charset */
    uint32_t style;   /* RTS_* bits */
    int32_t kerning;  /* nonzero: apply the font's kerning pairs */
    int32_t spacing;  /* extra advance after every character, pixels */
    char face[32];    /* LOGFONT face name */
    const char *text; /* lines separated by line feeds (CR LF pairs) */
} RichTextRun;

#define RTS_BOLD      0x01
#define RTS_ITALIC    0x02
#define RTS_UNDERLINE 0x04
#define RTS_STRIKEOUT 0x08
#define RTS_MARK      0x10 /* flag the run's records with 0x10000000 */

/* The header of a rich-text block (48 bytes); runCount runs follow it
 * directly (RichTextRuns). */
typedef struct RichTextHeader {
    int32_t reserved0;
    int32_t runCount;
    int32_t reserved[6];
    int32_t lineSpacing;  /* added to every line height; the whole height when fixedSpacing */
    int32_t fixedSpacing;
    int32_t align;        /* 1 far side, 2 centre, else near side */
    int32_t vertical;
} RichTextHeader;

#define RichTextRuns(h) ((RichTextRun *)((char *)(h) + sizeof(RichTextHeader)))

/* Outlines of `text` in the font selected into dc. The text is edited in
 * place: characters below 32 other than CR and LF become spaces. Lines are
 * separated by CR LF (a lone CR or LF also ends a line); at most 2047 lines.
 * *path receives the head of the text's records (NULL when nothing was
 * made); *rect the rectangle of the mask. Returns the mask (a PathBuf the
 * caller frees with KyPathBufFree), or NULL when the text is empty, no font
 * is selected, memory runs out (then *path is NULL and nothing is left
 * allocated), nothing was rendered, or params->output is KYTEXT_PATH_ONLY
 * (the path is still made). */
Y32_API PathBuf KyPathCreateText(HFONTDC dc, char *text, TextParams *params, KyPath **path, Y32Rect *rect);

/* Outlines of rich text. With `path`, *path receives the head of the
 * records. Without it, only measurement is done and both lines and extent
 * must be given: *lines receives the number of lines and *extent the sum
 * of their heights. scaleMode makes every font at height -128 and scales
 * the outlines by |height| / 128. Returns 1; 0 for a NULL header, missing
 * outputs, when a context or font cannot be made, or when memory runs out
 * (then *path is NULL and nothing is left allocated). */
Y32_API int32_t KyPathCreateRichEditText(RichTextHeader *header, int32_t scaleMode, KyPath **path, int32_t *lines,
                                         int32_t *extent);

/* ---- End of text outlines ---- */

/* ---- Primitive shapes and arrowheads ------------------------------------
 *
 * The shape tools turn a drag on the window into a new selected path: an
 * ellipse, a rectangle, a rounded or segmented rectangle, a diamond, or a
 * supplied path scaled into the dragged frame. A drag is a window RECT
 * whose left/top is where it began and right/bottom where it is now (in
 * any direction). fromCentre: the first corner is the centre. The record's
 * shape field keeps the shape code (KYSHAPE_*; 300 + n is a rounded
 * rectangle with corners of n percent of its short half side; every other
 * code a diamond that keeps it). */

#define KYSHAPE_FREEFORM  0
#define KYSHAPE_ELLIPSE   1
#define KYSHAPE_RECTANGLE 2
#define KYSHAPE_ROUNDED   3 /* radius chosen from the proportions */
#define KYSHAPE_SEGMENTED 5
#define KYSHAPE_ROUNDED_PERCENT(n) (300 + (n))

/* Adds the shape to the end of the table's current group as its only
 * selection (the previous selection is cleared and its node squares erased
 * on dc). shape: NULL for a primitive of `kind`, else a path whose copy is
 * scaled into the frame (keepAspect: one factor for both axes). 1; 0 for a
 * NULL table or view, an empty drag or when out of memory (nothing added). */
Y32_API int32_t KyPathAddPrimitive(HDC dc, int32_t kind, KyPath *shape, PathTable *table, CoordStruct *view,
                                   int32_t fromCentre, int32_t keepAspect, const Y32Rect *drag);
/* Builds the shape as KyPathAddPrimitive does into *out (a new selected
 * path the caller owns). 1; 0 and *out NULL for a NULL view, out or drag,
 * a zero width or height, a view without a positive zoom, or no memory. */
Y32_API int32_t KyPathGetPrimitive(int32_t kind, KyPath *shape, KyPath **out, CoordStruct *view,
                                   int32_t fromCentre, int32_t keepAspect, const Y32Rect *drag);
/* Stores `code` in the shape field of *holder. 1; 0 when there is none. */
Y32_API int32_t KyPathPrimitive(KyPath **holder, int32_t code);
/* Nonzero when the record is a primitive still as built: a shape code,
 * that shape's number of points, a rounded rectangle's first corner arc
 * still round, and no record after it but an envelope outline. */
Y32_API int32_t IsOnlyPrimitive(KyPath *path);
/* Roundness of a rounded rectangle (codes 3 and 300..400): *percent (1..99
 * for code 3, else code - 300) and *radius in whole pixels, each optional.
 * 1; 0 for NULL; 0 with percent 50 and radius 0 for other records. */
Y32_API int32_t KyPathGetRectangleRoundness(KyPath *path, int32_t *percent, int32_t *radius);
/* Rebuilds a rounded rectangle in its current frame with corners of
 * `percent` (clamped to 1..99) of its short half side; its code becomes
 * 300 + percent. *bounds (optional) receives the frame on whole pixels.
 * 1; 0 and no change for other records. */
Y32_API int32_t KyPathSetRectangleRoundness(KyPath *path, int32_t percent, Y32Rect *bounds);

/* Arrowheads. A template is a path drawn pointing in +x with its
 * attachment side (its two leftmost points) on the left; a stroked path
 * names its templates and pen width in its OutlineInfo.
 *
 * With path NULL: a query. The first non-NULL template's extent along a
 * path for a pen width of 99 pixels (99 x length / half the attachment
 * side, truncated); 0 when both are NULL or the template is unusable.
 *
 * Otherwise draws one arrowhead of `path` (the start template when given
 * and the path's start arrowhead fits, else the end template when its end
 * arrowhead fits), scaled to penWidth, into the depth-8 `mask` whose pixel
 * (0,0) lies at (originX, originY) in image pixels; antialias as for
 * KyPathToBuf; even-odd fill. 0 for both templates NULL, a NULL mask, a
 * mask that is not 8 bits deep, or when out of memory; else 1, also when
 * nothing was to be drawn. */
Y32_API int32_t KyPathRenderArrowHead(KyPath *path, KyPath *startTemplate, KyPath *endTemplate, int32_t penWidth,
                                      int32_t originX, int32_t originY, PathBuf mask, int32_t antialias);

/* ---- End of primitive shapes and arrowheads ---- */

Y32_END_C

#endif
