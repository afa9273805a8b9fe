/* y32path/deform.h - envelopes, wrapping, cut and stretch, dashes, 3D projection. */
#ifndef Y32PATH_DEFORM_H
#define Y32PATH_DEFORM_H

#include "types.h"
#include "gdi.h"
#include "view.h"

/* ---- Envelopes ----------------------------------------------------------
 *
 * An envelope maps the bounding rectangle of a path onto a curved
 * quadrilateral:
 *  - bilinear: the four corners move to four free points;
 *  - bi-Bezier (horizontal): top and bottom edges become cubic curves P and
 *    Q, both running towards increasing x; the sides stay straight;
 *  - bi-Bezier V: left and right edges become the curves, both running
 *    towards increasing y; top and bottom stay straight.
 * A point at (u, v) of the rectangle (0..1 each) goes to
 *   bilinear    A + u (B - A) + v (C - A) + u v (A - B - C + D)
 *   horizontal  (1 - v) P(u) + v Q(u)
 *   V           (1 - u) P(v) + u Q(v)
 * Curve handles are mapped as points; nothing is subdivided.
 *
 * Typical use: map the path (KyPathBiLinear, KyPathBiCubic, KyPathBiCubicV),
 * then attach the matching outline (KyPathAdd...) so the user can edit it. */

typedef struct EnvelopePoint {
    FIXED x, y;
} EnvelopePoint;

/* Control net of a bi-Bezier envelope, 64 bytes. Horizontal: P0 top-left,
 * P1 P2 handles of the top edge, P3 top-right, Q0 bottom-left, Q1 Q2 handles
 * of the bottom edge, Q3 bottom-right. V: P0 top-left, P1 P2 handles of the
 * left edge, P3 bottom-left, Q0 top-right, Q1 Q2 handles of the right edge,
 * Q3 bottom-right. */
typedef struct EnvelopeNet {
    EnvelopePoint p[4]; /* P0..P3 */
    EnvelopePoint q[4]; /* Q0..Q3 */
} EnvelopeNet;

/* Corners of a bilinear envelope, 32 bytes: 0 top-left (u 0, v 0),
 * 1 top-right (1, 0), 2 bottom-left (0, 1), 3 bottom-right (1, 1). */
typedef struct EnvelopeCorners {
    EnvelopePoint c[4];
} EnvelopeCorners;

/* Flags of an attached envelope outline record. */
#define KPF_ENVELOPE_HORIZONTAL (KPF_SELECTED | KPF_ENVELOPE1) /* bilinear or horizontal */
#define KPF_ENVELOPE_VERTICAL   (KPF_SELECTED | KPF_ENVELOPE2)

/* What KyPathGetEnvelopeWrapType finds at the end of a chain. */
#define ENVELOPE_NONE             0
#define ENVELOPE_BILINEAR         1
#define ENVELOPE_BIBEZIER         2
#define ENVELOPE_BIBEZIER_V       3
#define ENVELOPE_OTHER_ATTACHED   4 /* a record with flag 0x400000 */
#define ENVELOPE_BIBEZIER_RECT    5 /* horizontal net still the plain rectangle */
#define ENVELOPE_BIBEZIER_V_RECT  6
#define ENVELOPE_WRAP_BASELINE    10

Y32_BEGIN_C

/* Attach (or overwrite) the envelope outline of the chain that holds path.
 * The whole table list is deselected first. The outline goes after the last
 * member of the head's group chain: a 9-point record for the bi-Bezier
 * forms (which also reduce that member's flags to its text bit 28, keeping
 * KPF_OUTLINEINFO), a 5-point one for the bilinear forms. An outline record
 * already at the end of the list is reused (grown when it is too small);
 * ordinary subpaths are never overwritten. 1; 0 for a NULL path or net, or
 * when the record cannot be allocated (nothing changed). */
Y32_API int32_t KyPathAddBiBezierEnvelope(KyPath *path, const EnvelopeNet *net);
Y32_API int32_t KyPathAddBiBezierEnvelopeV(KyPath *path, const EnvelopeNet *net);
Y32_API int32_t KyPathAddBiLinearEnvelope(KyPath *path, const EnvelopeCorners *corners);
Y32_API int32_t KyPathAddBiLinearEnvelopeV(KyPath *path, const EnvelopeCorners *corners);

/* Read the net or corners back from an outline record. 0 for a NULL
 * outline or output, an outline without KPF_SELECTED, or one with too few
 * points. The V name is the same function. */
Y32_API int32_t KyPathGetBiBezierEnvelope(KyPath *outline, EnvelopeNet *net);
Y32_API int32_t KyPathGetBiBezierEnvelopeV(KyPath *outline, EnvelopeNet *net);
Y32_API int32_t KyPathGetBiLinearEnvelope(KyPath *outline, EnvelopeCorners *corners);

/* Kind of record at the end of the chain (ENVELOPE_...). 0 for NULL. */
Y32_API int32_t KyPathGetEnvelopeWrapType(KyPath *path);

/* Map the path's group chain from the domain rectangle (four doubles:
 * left, top, right, bottom, image units) through the envelope; every
 * mapped record's shape code becomes 0. With a NULL path and a source
 * rectangle (four doubles, same order), the rectangle is mapped instead and
 * what it became is written into corners or net. 1; 0 when path and
 * sourceRect are both NULL, when domain or the envelope is NULL, or when
 * the working record cannot be allocated. A zero-width (zero-height)
 * domain maps everything to u = 0 (v = 0). */
Y32_API int32_t KyPathDomainRangeBilinear(KyPath *path, const double *domain, const double *sourceRect,
                                          EnvelopeCorners *corners);
Y32_API int32_t KyPathDomainRangeBiCubic(KyPath *path, const double *domain, const double *sourceRect,
                                         EnvelopeNet *net);
Y32_API int32_t KyPathDomainRangeBiCubicV(KyPath *path, const double *domain, const double *sourceRect,
                                          EnvelopeNet *net);

/* As the DomainRange forms with the chain's own box without margin as the
 * domain. reserved is not read. 1; 0 for a NULL path or envelope. */
Y32_API int32_t KyPathBiLinear(KyPath *path, const EnvelopeCorners *corners);
Y32_API int32_t KyPathBiCubic(KyPath *path, const EnvelopeNet *net, int32_t reserved);
Y32_API int32_t KyPathBiCubicV(KyPath *path, const EnvelopeNet *net, int32_t reserved);

Y32_END_C

/* ---- 3D projection --------------------------------------------------------
 *
 * A path is a flat object in the plane z = 0, turned about a centre by a
 * rotation M, shifted, and seen in perspective from the eye
 *   E = (centreX, centreY, distance / tan(fieldOfView / 2))
 * onto the same plane. Points are row vectors: p' = p * M, matrices nine
 * doubles row by row. Angles are degrees; every degree-radian conversion
 * uses pi = 3.14159.
 *
 * A point at or behind the eye has no image. Instead of dividing by zero it
 * is placed as if it were a millionth of the eye height in front of the
 * eye, far out in its own direction; path coordinates are then held to the
 * FIXED range (+-32768) instead of wrapping. */

/* The view of a 3D operation, 144 bytes. */
typedef struct Path3DParams {
    FIXED centreX, centreY; /* centre of rotation, and x and y of the eye */
    FIXED shiftX, shiftY;   /* added after the rotation */
    double distance;        /* viewing distance */
    double reserved0;       /* kept by the host with the record; not read */
    double fieldOfView;     /* full viewing angle, degrees */
    double reserved1[4];    /* kept by the host with the record; not read */
    double matrix[9];       /* the rotation M */
} Path3DParams;

Y32_BEGIN_C

/* p <- p * M (three doubles, in place). */
Y32_API void RotatePoint3D(double *p, const double *M);
/* C = A * B; C may be A or B. */
Y32_API void Matrix3X3(const double *A, const double *B, double *C);

/* Projects one point: p = (origin + (dx, dy) - eye.xy, 0) * M + (shift.x,
 * shift.y, 0), seen from eye onto z = 0, minus dest. origin and dest are two
 * int32 each, eye and shift three doubles, out two doubles. 1; 0 (out
 * untouched) for a NULL pointer. */
Y32_API int32_t KyProject2DTO3D(double dx, double dy, double *out, const int32_t *origin, const int32_t *dest,
                                const double *eye, const double *shift, const double *M);

/* Replaces every point of the table list that holds path (from its head)
 * by its projection; each record's shape code becomes 0. 1; 0 for NULL. */
Y32_API int32_t KyPathTo3D(KyPath *path, const Path3DParams *params);

/* The box (left, top, right, bottom, truncated) of the projections of every
 * point of the list placed at z = frontZ and at z = -backDepth. 1; 0 for a
 * NULL argument or a list without points (rect untouched). */
Y32_API int32_t KyPathGet3DMiniMaxRect(KyPath *path, const Path3DParams *params, double frontZ, double backDepth,
                                       Y32Rect *rect);

/* Draws the projected list on hdc in its current pen and raster operation,
 * through the view's scroll and zoom. With a nonzero depth each segment
 * also gets its copy at z = -depth and the edge joining the two at its end
 * node. params must keep the corners (+-halfWidth, +-halfHeight) in front
 * of the eye; otherwise it is replaced by the last record that did (and 1
 * is returned after drawing with it), or, when there is none that still
 * does, nothing is drawn and 0 returned. 0 for a NULL argument. */
Y32_API int32_t KyPath3DWireFrame(HDC hdc, KyPath *path, int32_t halfWidth, int32_t halfHeight, CoordStruct *view,
                                  Path3DParams *params, double depth);

Y32_END_C

/* ---- Wrap along a path ------------------------------------------------------
 *
 * A figure (usually text outlines) is bent along a baseline path: its x
 * axis is laid along the baseline's arc length and its y axis along the
 * baseline's normal. The host describes the wrap with a WrapInfo and calls
 * KyPathWrap.
 *
 * WrapInfo layout. On a 32-bit target the record is the host's, 112 bytes,
 * doubles on 8-byte boundaries (4 bytes of padding after closedLoop and
 * after text):
 *     0 baseline        4 fitToLength     8 repeatCount    12 (unused)
 *    16 spacing        24 orientation    28 option7       32 option8
 *    36 startHeight    40 endHeight      44 smoothCorners 48 closedLoop
 *    56 startOffset    64 positionX      68 positionY     72 text
 *    80 baselineLevel  88 amplitude      92 shape         96 ascentDescent
 *   100 version       104 recentre      108 truncateRule
 * On 64-bit the fields keep this order with natural alignment (the
 * baseline pointer takes 8 bytes, so everything after it moves). */
#if defined(__GNUC__)
#define Y32_DOUBLE8 __attribute__((aligned(8)))
#else
#define Y32_DOUBLE8
#endif

typedef struct WrapInfo {
    KyPath *baseline;      /* a single path; NULL for the built-in circles (types 300-307) */
    int32_t fitToLength;   /* 1: the figure is stretched over the usable baseline length */
    int32_t repeatCount;   /* copies along the baseline: 0 as many as fit, n = n; < 0 read as 0 */
    int32_t unused;        /* not read */
    double spacing Y32_DOUBLE8; /* gap between copies, fraction of the figure width; -1 read as 0 */
    int32_t orientation;   /* 1: the figure is first turned by -90 degrees */
    int32_t option7;       /* with option8: corner smoothing; nonzero: no trimmed ribbon */
    int32_t option8;       /* nonzero: every point is bent; 0: characters are placed rigidly */
    int32_t startHeight;   /* vertical scale at the figure's start, percent */
    int32_t endHeight;     /* vertical scale at its end, percent (linear in between) */
    int32_t smoothCorners; /* 1: baseline corners sharper than 5 degrees get averaged tangents */
    int32_t closedLoop;    /* written by KyPathWrap: 1 when the baseline is closed */
    double startOffset Y32_DOUBLE8; /* start, fraction of the baseline length (wrapped into [0, 0.999]) */
    int32_t positionX, positionY; /* image pixels: where a recentred baseline's centre goes */
    int32_t text;          /* 1: the figure is text */
    double baselineLevel Y32_DOUBLE8; /* 0..1 from the bottom; for text the low 16 bits hold the font height */
    int32_t amplitude;     /* percent, built-in circles */
    int32_t shape;         /* 0, 1 or 2, built-in circles */
    int32_t ascentDescent; /* text: ascent << 16 | descent; 0: derived from the font height */
    int32_t version;       /* 1 from the predefined builder */
    int32_t recentre;      /* 1: move the baseline's box centre onto (positionX, positionY) first */
    int32_t truncateRule;  /* how repeated copies are counted and characters grouped */
} WrapInfo;

Y32_BEGIN_C

/* Bends the figure held in *targetRef (its whole table list) along
 * info->baseline. On success *targetRef receives the head of the wrapped
 * figure, one group chain, and the old records are freed; 1. On failure the
 * figure is left as it was and 0 is returned, with the error recorded:
 * 3200 for a NULL argument, a figure carrying an OutlineInfo or a baseline
 * with a next path, 5404 for a baseline shorter than 4 pixels, 1001 when
 * memory runs out. info->closedLoop (and a derived ascentDescent) are
 * written. */
Y32_API int32_t KyPathWrap(KyPath **targetRef, WrapInfo *info);

/* Cuts the chain held in *pathRef at the vertical line x (a window x
 * converted through view when view is given, else an image x). Pieces at
 * or right of the line come first in the new chain, then the pieces left
 * of it; closed outlines are closed again along the line. All selection
 * marks and group links are cleared. 1; 0 for a NULL holder or path, or
 * when memory runs out (the chain is then left as it was). reserved is not
 * read. */
Y32_API int32_t KyPathCutWithLineX(CoordStruct *view, KyPath **pathRef, int32_t x, int32_t reserved);

/* *out receives a duplicate of the chain in which the horizontal band
 * [min(srcA, srcB) + 5, max + 5] is stretched onto [min(dstA, dstB) + 5,
 * max + 5]; what lies left or right of the band moves with its edge. With
 * keepSmooth, smooth curve joins stay smooth. 1; 0 (with *out NULL) for a
 * NULL argument, a non-finite bound or no memory. */
Y32_API int32_t KyPathStretch(KyPath *path, KyPath **out, const double *srcA, const double *srcB,
                              const double *dstA, const double *dstB, int32_t keepSmooth);

Y32_END_C

/* ---- Wrap presets and the wrap baseline -----------------------------------
 *
 * A wrapped figure keeps its baseline as the last record of its table list,
 * flagged KPF_LASTMARK (a wrap baseline) and KPF_SELECTED, so that the user
 * can edit it; the "selected path" of a table below is that of its current
 * group. */

Y32_BEGIN_C

/* Fills *info with the predefined wrap `type` placed at (x, y) image
 * pixels, size being the circle's radius or the wave's half-wave:
 *   100-107 (figure, not text)  101..103 circle, 104..107 wave, all bent
 *                               except 100 and 104 (characters rigid)
 *   200-207 (text)              200..203 circle, 204..207 wave, one copy
 *   300-307 (text)              no baseline: set on generated circles,
 *                               amplitude 100 (full circle), 50 or -50
 *                               (half circles above or below), shape
 *                               0 start-aligned, 1 end-aligned, 2 centred
 * The record is zero-filled first (smoothCorners 1, version 1, the
 * position; 1xx: baselineLevel 0.5). The baseline is a new record the
 * caller owns (free it with KyPathDeletePtr) and any earlier one in *info
 * is not freed. 108-199 and 208-299 set only those common fields (1).
 * 0 (record unchanged) for NULL, any other type, or when the baseline
 * cannot be allocated (error 1001). */
Y32_API int32_t KyPathGetPredefinedWrapInfo(WrapInfo *info, int32_t type, int32_t x, int32_t y, int32_t size);

/* Re-wraps: a duplicate of the figure in *targetRef (which stays the
 * caller's and is not changed) is wrapped along a copy of `baseline`,
 * which replaces info->baseline (the earlier one is freed unless it is
 * `baseline` itself). The wrapped figure becomes the current group's list
 * with a copy of the baseline attached at its end and selected, its picked
 * segment (when one was picked) marked again; the group's earlier list is
 * freed, except when it is the figure in *targetRef. 1; 0 for a NULL
 * argument, or when the wrap fails or memory runs out (errors 1001 at
 * 5526 and 5534, or the wrap's own): the table, the figure and *info are
 * then unchanged. */
Y32_API int32_t KyPathWrapAndUpdate(PathTable *table, KyPath **targetRef, KyPath *baseline, WrapInfo *info);
/* Attaches a copy of info->baseline after the last record of the table
 * list holding path (replacing a one-point placeholder there); the list
 * is deselected and made one group chain first, the baseline flagged
 * KPF_SELECTED | KPF_LASTMARK. 1; 0 for NULL arguments, a NULL baseline,
 * a list whose head carries an OutlineInfo (3200) or no memory (1001). */
Y32_API int32_t KyPathAddWrapPath(KyPath *path, WrapInfo *info);
/* 1 when both are NULL or they describe the same wrap: equal baselines
 * (IsSameSubpath; two NULL baselines need equal amplitudes), fitToLength,
 * repeatCount, option7, option8, heights, smoothCorners, closedLoop and
 * version; spacing and startOffset within 0.0001; baselineLevel within
 * 0.0001 unless one is text. */
Y32_API int32_t IsSameWrapInfo(const WrapInfo *a, const WrapInfo *b);

/* Appends a one-point placeholder (PT_MOVETO | PT_CLOSEFIGURE at 0, 0,
 * flags KPF_SELECTED | KPF_LASTMARK) after the last record of the table
 * list. 1; 0 for NULL or when out of memory (error 1001 recorded). */
Y32_API int32_t KyPathAppendEmptySubpath(KyPath *path);
/* 1 when the record is a wrap baseline (KPF_LASTMARK); 0 otherwise or NULL. */
Y32_API int32_t KyPathIsWrapBaseline(KyPath *path);
/* On the last record of the table list, when it is a baseline: deselects
 * it, selects it, and marks node nodeIndex (when >= 0) or else the segment
 * starting at handleIndex (when >= 0). 1; 0 for NULL, a tail that is no
 * baseline, or an index past its points (the baseline is then selected
 * without a mark). */
Y32_API int32_t KyPathSelectWrapBaseline(KyPath *path, int32_t nodeIndex, int32_t handleIndex);
/* An unlinked copy of the table's selected path when it is a baseline;
 * NULL otherwise or when out of memory (error 1001 recorded). */
Y32_API KyPath *KyPathMakeACopyOfBaseline(PathTable *table);
/* Takes the table's selected path out of its list when it is a baseline
 * with no next record, and returns it deselected; the caller owns it.
 * *nodeIndexOut receives the index of its first selected node or -1,
 * *handleIndexOut (when no node was selected) that of its picked segment
 * or -1; either may be NULL. NULL (nothing changed) otherwise. */
Y32_API KyPath *KyPathSeparateBaselineFromTable(PathTable *table, int32_t *nodeIndexOut,
                                                int32_t *handleIndexOut);
/* 1 when both records have the same count, flags, shape code and point
 * bytes, or both are NULL. */
Y32_API int32_t IsSameSubpath(const KyPath *a, const KyPath *b);
/* x and y (either may be NULL) receive point `index` in image units. 1;
 * 0 for NULL or an index outside 0..count-1. */
Y32_API int32_t KyPathGetPointPosition(KyPath *path, int32_t index, double *x, double *y);

Y32_END_C

#ifdef __cplusplus
/* The trimmed-ribbon switch (0 at load). While it is on, a wrap with
 * option7 0 and option8 nonzero sorts its result into two group chains: the
 * copies facing the viewer and those behind, split at the baseline's
 * vertical extremes. Exported with C++ linkage. */
Y32_API void KyPathDoTrimmedRibbon(int on);
Y32_API int KyPathIsTrimmedRibbonEnabled();
#endif

#endif
