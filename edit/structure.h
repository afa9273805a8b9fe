// edit/structure.h - structural edits: what the exports share and the
// workers behind the exports that redraw.
//
// Lists follow the record invariants: prev/next, groupPrev/groupNext and
// selPrev/selNext mirror each other, group chains and the selection list
// run in table order, and a record whose slot holds an OutlineInfo has no
// group successor. Every edit here leaves them so.
#pragma once

#include <cstdint>

#include "core/point_walk.h"
#include "edit/redraw.h"
#include "y32path/table.h"

namespace edit {

// -1 below, 0 exactly at, 1 above the smallest valid subpath: an open line
// or curve, a closed line triangle, a closed line and curve, or two closed
// curves.
int32_t SimplestSubpath(const KyPath *p);

// The picked segment: the first point below the last with PT_SEGSELECTED
// starts it. False when no point carries the mark; *whole tells whether a
// whole line or curve starts there (a mark on a control point, or a curve
// cut short by the end of the record, is not one).
struct PickedSegment {
    int32_t start;
    uint16_t kind;  // PT_LINETO, PT_BEZIERTO or whatever point start + 1 holds
    bool whole;
};
bool FindPickedSegment(const KyPath *p, PickedSegment *out);

// Points the record's neighbours in all three lists at it again after its
// block moved.
void RelinkMovedRecord(KyPath *p);

// Takes the record out of its group chain, joining its neighbours. A slot
// holding an OutlineInfo stays as it is.
void SpliceFromGroup(KyPath *p);

// Sets KPF_HASSELPOINT and KPF_HASSELSEGMENT from the points, after points
// were removed; a segment mark on the last point (which starts no segment)
// is dropped first.
void SyncPointSelectionFlags(KyPath *p);

// The handles of a line turned into a curve: the record already holds the
// two new control points at start + 1 and start + 2 and the end point at
// start + 3; c1 and c2 receive the control points in image units.
void ConstructHandles(const KyPath *p, int32_t start, double c1[2], double c2[2]);

// Converts the picked segment of the current group's selected path between
// line and curve, hiding and redrawing the picked segment through `redraw`.
// *changed (when given) receives the union of what was erased and drawn.
// False when refused; no memory reports 1001 and a segment that is neither
// a whole line nor a whole curve reports 3200 (unit 10), both with the
// record as it was.
bool ConvertSelectedSegment(CoordStruct *view, PathTable *table, const Redraw &redraw, Y32Rect *changed);

// Deletes the selected nodes of the current group's selected path when it
// has some and stays a valid subpath, else every record of the selection
// list. The selection is erased (erase_selection) when the view has an
// overlay and a node edit is drawn again (draw_selected). False when the
// group has no selected path.
bool DeleteSelection(PathTable *table, CoordStruct *view, const Redraw &redraw, Y32Rect *changed);

}  // namespace edit
