/* y32path/types.h - the records that cross the library boundary.
 *
 * Coordinates are FIXED: signed 16.16 fixed point in image pixels.
 * On a 32-bit target every record below has the exact byte layout hosts
 * store and exchange (checked by static_assert in the library); on 64-bit
 * the links are native pointers and the records grow accordingly. Code must
 * therefore take sizes from sizeof/offsetof, never from literals.
 */
#ifndef Y32PATH_TYPES_H
#define Y32PATH_TYPES_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define Y32_API __attribute__((visibility("default")))
#else
#define Y32_API
#endif

#ifdef __cplusplus
#define Y32_BEGIN_C extern "C" {
#define Y32_END_C }
#else
#define Y32_BEGIN_C
#define Y32_END_C
#endif

typedef int32_t FIXED;

/* The platform rectangle: four signed 32-bit values. */
typedef struct Y32Rect {
    int32_t left, top, right, bottom;
} Y32Rect;
typedef Y32Rect RECT;

/* Point type word. The low four bits are the point kind; two high bits
 * carry node and segment selection. Readers mask with 0x0FFE or 0x8FFE. */
#define PT_CLOSEFIGURE  0x0001
#define PT_LINETO       0x0002
#define PT_BEZIERTO     0x0004
#define PT_MOVETO       0x0006
#define PT_KINDMASK     0x000E
#define PT_SEGSELECTED  0x0800
#define PT_DRAGGED      0x2000 /* end point of a curve made by a pen-tool drag */
#define PT_SELECTED     0x8000
/* Special entries from host data, found in a record's point 1 (mask 0x0FFE). */
#define PT_ROTATEDRECT  0x0100
#define PT_SPECIAL200   0x0200
#define PT_NOEXTENT     0x0400

/* Record flags. */
#define KPF_SELECTED        0x80000000u
#define KPF_TEXTMASK        0x70000000u /* text attribute bits 28-30 */
#define KPF_HASSELPOINT     0x08000000u
#define KPF_HASSELSEGMENT   0x04000000u
#define KPF_ENVELOPE1       0x00100000u
#define KPF_ENVELOPE2       0x00200000u
#define KPF_ENVELOPE3       0x00400000u
#define KPF_OUTLINEINFO     0x00020000u
#define KPF_LASTMARK        0x00010000u
#define KPF_DRAWNSELECTED   0x00001000u
#define KPF_WORKMARK        0x00000100u

#pragma pack(push, 1)
/* One path point: 10 bytes, packed. Points lie back to back, so x and y are
 * usually misaligned: read and write them as members, never through a
 * FIXED pointer. */
typedef struct PathPoint {
    uint16_t type;
    FIXED x;
    FIXED y;
} PathPoint;
#pragma pack(pop)

typedef struct OutlineInfo OutlineInfo;

/* One subpath. The header is followed directly by `count` PathPoints (see
 * KyPathPoints). Three doubly linked lists run through the header: the
 * table list (prev/next), group chains (groupPrev/groupNext) and the
 * selection list (selPrev/selNext). When KPF_OUTLINEINFO is set the
 * groupNext slot holds the record's OutlineInfo instead of a successor. */
typedef struct KyPath {
    int32_t version;
    struct KyPath *prev;
    struct KyPath *next;
    struct KyPath *groupPrev;
    struct KyPath *groupNext;
    struct KyPath *selPrev;
    struct KyPath *selNext;
    int32_t count;
    uint32_t flags;
    int32_t shape;
} KyPath;

/* The points of a record start right after its header. */
#define KyPathPoints(p) ((PathPoint *)((char *)(p) + sizeof(KyPath)))

/* The stroke description a chain's head may carry: eighteen 32-bit words on
 * a 32-bit target. Words 2, 5 and 7 are owned KyPath chains (arrowhead
 * templates and the dash chain); on 64-bit they are native pointers. */
struct OutlineInfo {
    int32_t startKey[2];  /* words 0, 1: identifies the start arrowhead */
    KyPath *startArrow;   /* word 2 */
    int32_t endKey[2];    /* words 3, 4: identifies the end arrowhead */
    KyPath *endArrow;     /* word 5 */
    int32_t dashStyle;    /* word 6: 0 solid, 1 to 7 dash styles */
    KyPath *dashPath;     /* word 7 */
    int32_t param[4];     /* words 8 to 11; param[1] is the pen width in pixels */
    int32_t arrowsOff;    /* word 12: nonzero makes rasterisation ignore arrowheads */
    int32_t extra[5];     /* words 13 to 17 */
};

#endif
