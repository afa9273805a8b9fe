// display/selection.h - selection changes that keep the window in step.
//
// Selection has three levels (whole records with KPF_SELECTED, nodes with
// PT_SELECTED, one picked segment with PT_SEGSELECTED), and two pictures
// show it: the exclusive-or node squares on the window and the highlight
// bit of the picked segment in the overlay. Node squares are drawn by
// drawing them again, so every change here erases a record's squares while
// the record still has the selection they were drawn with, changes the
// selection, and only then draws the new squares. The highlight of a
// picked segment is taken out of the overlay whenever the pick is dropped.
//
// hdc and view may be null: the selection still changes, nothing is drawn.
#pragma once

#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/types.h"
#include "y32path/view.h"

namespace selection {

// The first member of the record's group chain (the record itself when it
// is not grouped).
KyPath *GroupFirst(KyPath *p);

// Whether `p` is one of the records of the table list that starts at head.
bool InList(const KyPath *head, const KyPath *p);

// Removes the overlay highlight of the record's picked segment (when it
// has one and the view has an overlay).
void Unhighlight(CoordStruct *view, const KyPath *p, Y32Rect *out = nullptr);

// Gives every member of the record's group chain that is not selected
// KPF_SELECTED and draws its nodes. Selection links are left to
// PathRebuildSelection.
void SelectGroup(HDC hdc, KyPath *p, CoordStruct *view);

// Deselects every selected member of the record's group chain: its picked
// segment is unhighlighted, its nodes erased, and it loses node, segment
// and record selection and its selection links.
void DeselectGroup(HDC hdc, KyPath *p, CoordStruct *view);

// Selects one node of a record after a node hit at point k (see the hit
// tester): point 0 of a closed subpath stands for its closing point, a
// curve's control point for the node `remembered` (when >= 0) or the
// curve end next to it. Returns the index selected, or -1.
int32_t SelectHitNode(KyPath *p, int32_t k, int32_t remembered);

}  // namespace selection

// Clears KPF_HASSELPOINT, KPF_HASSELSEGMENT and both selection bits of
// every point; draws nothing.
void PathClearPointSelection(KyPath *p);

// Relinks the selection list of the record's table list from the records'
// KPF_SELECTED flags, in list order. When two or more records are selected
// their node and segment selections are dropped, and with hdc and view the
// window follows (highlight removed, nodes drawn again without active
// squares). Returns the first selected record, or null.
KyPath *PathRebuildSelection(KyPath *p, HDC hdc = nullptr, CoordStruct *view = nullptr);
