// edit/redraw.h - the drawing seam of the editing operations.
//
// A few editing operations have to erase what they change from the view's
// overlay and draw it again, and report the window rectangle that changed.
// Drawing belongs to a sibling subsystem, so the record work here never
// calls it directly: the caller hands in the drawing calls it wants made.
// The exported operations that redraw are thin wrappers (next to the
// drawing code) that fill this record with their drawing exports and call
// the workers here; tests and callers that want no drawing pass null
// members, and the record work is the same either way.
#pragma once

#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/types.h"
#include "y32path/view.h"

namespace edit {

// Every member may be null: that drawing step is skipped and adds nothing
// to the changed rectangle. Each outline call writes the window rectangle
// it touched into its last argument (or leaves it empty).
struct Redraw {
    // Erase and draw the selection list holding the record: segments next to
    // selected nodes when the record has some, else every segment.
    int32_t (*hide_selected)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    int32_t (*draw_selected)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    // Erase and draw only the picked segment of each record of the list.
    int32_t (*hide_selected_segments)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    int32_t (*draw_selected_segments)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    // Erase every segment of every record of the selection list, whatever
    // its node selection (what a deletion takes off the overlay).
    int32_t (*erase_selection)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    // Set and clear the highlight of the picked segments of the selection
    // list holding the record (the counts stay as they are).
    int32_t (*highlight_segments)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    int32_t (*unhighlight_segments)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    // Erase and draw one record alone, whatever its selection (the members
    // of a group that move with its selected head without being selected).
    int32_t (*hide_record)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    int32_t (*draw_record)(CoordStruct *view, KyPath *record, Y32Rect *touched) = nullptr;
    // The exclusive-or node squares of one record on the window.
    int32_t (*draw_nodes)(HDC dc, KyPath *record, CoordStruct *view) = nullptr;
};

// Rectangles follow the platform rules: one with right <= left or
// bottom <= top is empty and adds nothing to a union.
inline bool RectEmpty(const Y32Rect &r) { return r.right <= r.left || r.bottom <= r.top; }

inline Y32Rect UnionRect(const Y32Rect &a, const Y32Rect &b) {
    if (RectEmpty(a)) return RectEmpty(b) ? Y32Rect{0, 0, 0, 0} : b;
    if (RectEmpty(b)) return a;
    return Y32Rect{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                   a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

// Calls one outline drawing member when it and the view exist, and returns
// what it touched (empty otherwise).
inline Y32Rect CallDraw(int32_t (*fn)(CoordStruct *, KyPath *, Y32Rect *), CoordStruct *view, KyPath *record) {
    Y32Rect touched{0, 0, 0, 0};
    if (fn && view && record) fn(view, record, &touched);
    return touched;
}

}  // namespace edit
