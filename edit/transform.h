// edit/transform.h - moving, scaling, rotating, aligning and duplicating.
//
// Coordinates are FIXED in the records and doubles only for arithmetic;
// every double goes back through fx::FromDouble (truncation toward zero).
// Moving and sizing step through points with path::ForEachPosition, so the
// parameter entries of special records keep their values; the rotations
// and the centred scale map every stored entry.
#pragma once

#include <cstdint>

#include "edit/redraw.h"
#include "y32path/edit.h"
#include "y32path/table.h"

namespace edit {

// Host command numbers of the align modes.
enum AlignMode : int32_t {
    kAlignCentresX = 18017,
    kAlignCentresY = 18018,
    kAlignNothing = 18019,
    kAlignLeft = 18020,
    kAlignRight = 18021,
    kAlignTop = 18022,
    kAlignBottom = 18023,
    kDistributeX = 18024,
    kDistributeY = 18025,
};

// The edge and distribute modes measure at most this many records.
constexpr int32_t kAlignMaxRecords = 128;

// Adds (dx, dy) to every position of one record (32-bit wrap).
void MoveRecord(KyPath *p, FIXED dx, FIXED dy);

// Moves the record and then, when it is selected and groups are not
// followed, the rest of its selection list; otherwise the rest of its group
// chain (ending after a record whose slot holds an OutlineInfo). Nothing
// for a zero offset.
void MoveSubpathChain(KyPath *p, FIXED dx, FIXED dy, bool follow_groups);

// Every position of one record times (sx, sy) about the image origin.
void ScaleRecord(KyPath *p, double sx, double sy);

// Every entry of one record turned about the image origin by the angle
// whose cosine and sine are given.
void RotateRecord(KyPath *p, double cos_a, double sin_a);

// Greedy even spacing of n centres between the smallest and the largest:
// target k goes to the nearest centre not yet given one (the lower index on
// a tie). One or two centres stay. False (result = centres) when the work
// marks cannot be allocated.
bool DistributeCentres(int32_t n, const double *centres, double *result);

// Aligns or distributes the selection of the table's current group (see
// AlignMode), erasing and redrawing it through `redraw`; *changed (when
// given) receives the union of the two rectangles. False for a null table
// or a group without a selected path.
bool AlignSelection(PathTable *table, int32_t mode, CoordStruct *view, const Redraw &redraw, Y32Rect *changed);

// Duplicates the selection list of the table's current group: the copies
// follow the table list and become the whole selection, 15 window pixels
// down and right. The sources lose their selection (their nodes redrawn
// through `redraw` with `dc`). *changed receives what drawing the copies
// touched. False, with nothing changed, for a missing table, view, first
// or selected path, or when a copy cannot be allocated.
bool DuplicateSelection(HDC dc, PathTable *table, CoordStruct *view, const Redraw &redraw, Y32Rect *changed);

}  // namespace edit
