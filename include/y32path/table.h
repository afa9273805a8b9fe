/* y32path/table.h - the path table and its groups.
 *
 * A document's paths live in one PathTable: a header followed directly by
 * `groups` PathGroup entries (see KyPathTblGroups). Every per-group
 * operation works on the current group. The table also owns the overlay
 * buffer of the document's view (y32path/view.h).
 *
 * On a 32-bit target the header is 68 bytes, a group 268 bytes and a new
 * table 336 bytes; on 64-bit the pointers are native and the records grow,
 * so sizes must come from sizeof. */
#ifndef Y32PATH_TABLE_H
#define Y32PATH_TABLE_H

#include "types.h"

Y32_BEGIN_C

typedef struct PathGroup {
    int32_t index;         /* the group's own index */
    char name[256];        /* zero-terminated, set when the group is added */
    KyPath *first;         /* head of the group's table list (the active path) */
    KyPath *firstSelected; /* head of its selection list (the selected path) */
} PathGroup;

typedef struct PathTable {
    int32_t current;  /* index of the current group */
    uint32_t state;   /* 0x10000 in every table the library makes or extends */
    int32_t groups;   /* number of PathGroup entries that follow, at least 1 */
    uint8_t *lpDB;    /* overlay buffer, run-time heap, may be NULL */
    int32_t width, height;     /* overlay size of the view last described */
    int32_t scrollX, scrollY;  /* scroll offsets of that view */
    double zoom;               /* zoom of that view */
    uint32_t viewTag;          /* the host's tag of that view */
    /* reserved[0] and reserved[1]: the width and height the overlay buffer
     * was really allocated with by the library (0 when it did not allocate
     * the current one). width and height above follow the view and may
     * differ from them; drawing clips to these. Other words are zero. */
    uint32_t reserved[6];
} PathTable;

/* The group entries that follow the header. */
#define KyPathTblGroups(t) ((PathGroup *)((char *)(t) + sizeof(PathTable)))

/* A new table with one empty group, current 0, state 0x10000, stored in
 * *holder. 0 for a NULL holder or when out of memory. */
Y32_API int32_t KyPathNew(PathTable **holder);
/* Frees every path of every group, the overlay buffer and the table.
 * 0 for NULL or a pointer that is not a live table block. */
Y32_API int32_t KyPathTblDelete(PathTable *table);
/* Frees the overlay buffer and clears the pointer. 1; 0 for NULL. */
Y32_API int32_t KyPathTblDeletelpDB(PathTable *table);
/* Reads the current group: its index, first, firstSelected, and whether the
 * state word is nonzero. Each output may be NULL. 0 (no output) for a NULL
 * table. */
Y32_API int32_t KyPathFind(PathTable *table, int32_t *current, KyPath **first,
                           KyPath **firstSelected, int32_t *stateSet);
/* *count = number of groups, 0 for a NULL table. 1; 0 for a NULL table
 * or count. */
Y32_API int32_t KyPathFindGroups(PathTable *table, int32_t *count);
/* *name = the group's name buffer (the table's) for 0 <= index < groups,
 * else NULL. 1; 0 for a NULL table or name, or an index out of range. */
Y32_API int32_t KyPathFindGroupName(PathTable *table, int32_t index, char **name);
/* Number of selected paths in the current group, a group chain counting
 * once; 0 for a NULL table. */
Y32_API int32_t KyPathGetSelectedGroupsNumber(PathTable *table);
/* First record of the current group (after `after`, when given) with a
 * picked segment; NULL when none or when `after` is not in the list. */
Y32_API KyPath *KyPathGetSubPathWithSelectedSegment(PathTable *table, KyPath *after);
/* Makes the record's table list the current group's list and its first
 * selected record the selected path. 0 for a NULL table or record. */
Y32_API int32_t KyPathAssignActivePath(PathTable *table, KyPath *path);
/* NULL clears the selected path (1). An unselected record changes nothing
 * (0). Otherwise the head of the record's selection list becomes the
 * selected path (1). */
Y32_API int32_t KyPathAssignSelectedPath(PathTable *table, KyPath *path);
/* Assigns the first record with KPF_SELECTED of the record's table list as
 * by KyPathAssignSelectedPath (NULL when none). 0 for a NULL record or
 * table. */
Y32_API int32_t KyPathAssignSelectedPathBlindly(PathTable *table, KyPath *path);
/* Takes the selected records out of group 0 and returns them deselected as
 * a table list the caller owns, in the reverse of their table order; the
 * others stay in group 0, also reversed. Group links between a separated
 * and a remaining record are cut. NULL for a NULL table or when group 0 has
 * no selected path. */
Y32_API KyPath *KyPathSeparateSelectedPathFromTable(PathTable *table);

Y32_END_C

#endif
