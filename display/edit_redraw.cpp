// display/edit_redraw.cpp - the editing exports that redraw the selection.
//
// The record work lives in edit/ and draws nothing itself; these wrappers
// hand it the drawing calls of this folder (edit/redraw.h). Each erases
// the selection as it was drawn and draws it again after the change, so
// the overlay counts stay exact for outlines that overlap the selection.
#include "display/outline_draw.h"
#include "edit/redraw.h"
#include "edit/structure.h"
#include "edit/transform.h"
#include "y32path/display.h"

namespace {

// Every segment of every record of the selection list erased, whatever the
// records' node selection: what a deletion takes off the overlay.
int32_t EraseSelection(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    *out = Y32Rect{0, 0, 0, 0};
    // The highlight of a picked segment first: the erase only counts down,
    // and where another outline still covers a pixel its bit would stay.
    outline::UnhighlightSelectedSegments(v, p, nullptr);
    outline::DrawSelection(v, p, overlay::kErase, out);
    return 1;
}

// The picked segment's erase and draw for a conversion, with its highlight:
// the plain segment passes clear the highlight bit where they draw, and an
// erase leaves it on pixels other outlines still cover. Taking the
// highlight off first and putting it back last leaves the overlay as a
// fresh drawing of the converted record would be.
int32_t HidePicked(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    outline::UnhighlightSelectedSegments(v, p, nullptr);
    return KyPathHideSelectedSegments(v, p, out);
}

int32_t DrawPicked(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    const int32_t done = KyPathDrawSelectedSegments(v, p, out);
    outline::HighlightSelectedSegments(v, p, nullptr);
    return done;
}

int32_t DrawWhole(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    outline::DrawSelection(v, p, overlay::kDraw, out);
    return 1;
}

int32_t Highlight(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    return outline::HighlightSelectedSegments(v, p, out) ? 1 : 0;
}

int32_t Unhighlight(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!v || !p || !out) return 0;
    return outline::UnhighlightSelectedSegments(v, p, out) ? 1 : 0;
}

int32_t DrawWholeLit(CoordStruct *v, KyPath *p, Y32Rect *out) {
    if (!DrawWhole(v, p, out)) return 0;
    outline::HighlightSelectedSegments(v, p, nullptr);
    return 1;
}

int32_t HideRecord(CoordStruct *v, KyPath *p, Y32Rect *out) {
    return v && p && out && outline::DrawRecord(v, p, overlay::kErase, out) ? 1 : 0;
}

int32_t DrawRecord(CoordStruct *v, KyPath *p, Y32Rect *out) {
    return v && p && out && outline::DrawRecord(v, p, overlay::kDraw, out) ? 1 : 0;
}

void Empty(Y32Rect *r) {
    if (r) *r = Y32Rect{0, 0, 0, 0};
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathAlign(int32_t reserved, int32_t mode, PathTable *t, CoordStruct *v, Y32Rect *changed) {
    (void)reserved;
    Empty(changed);
    edit::Redraw redraw;
    // Align moves whole records: every segment is erased and drawn again,
    // not only those at selected nodes, with any picked segment's
    // highlight taken off before and put back after.
    redraw.hide_selected = EraseSelection;
    redraw.draw_selected = DrawWholeLit;
    redraw.hide_record = HideRecord;  // unselected members moving with their group
    redraw.draw_record = DrawRecord;
    return edit::AlignSelection(t, mode, v, redraw, changed) ? 1 : 0;
}

int32_t KyPathDuplicate(HDC dc, PathTable *t, CoordStruct *v, Y32Rect *changed) {
    Empty(changed);
    edit::Redraw redraw;
    redraw.draw_nodes = KyPathDrawNodes;
    // The copies are new outlines: every segment of each goes into the
    // overlay, also when a copy took over selected nodes from its source
    // (the selection drawer would then draw only the segments at them).
    redraw.draw_selected = DrawWhole;
    redraw.highlight_segments = Highlight;
    redraw.unhighlight_segments = Unhighlight;
    return edit::DuplicateSelection(dc, t, v, redraw, changed) ? 1 : 0;
}

int32_t KyPathConvertSelectedSegment(CoordStruct *v, PathTable *t, Y32Rect *changed) {
    Empty(changed);
    if (!v || !t) return 0;
    edit::Redraw redraw;
    redraw.hide_selected_segments = HidePicked;
    redraw.draw_selected_segments = DrawPicked;
    return edit::ConvertSelectedSegment(v, t, redraw, changed) ? 1 : 0;
}

int32_t KyPathDelete(PathTable *t, CoordStruct *v, Y32Rect *changed) {
    Empty(changed);
    edit::Redraw redraw;
    redraw.erase_selection = EraseSelection;
    redraw.draw_selected = KyPathDrawSelected;
    return edit::DeleteSelection(t, v, redraw, changed) ? 1 : 0;
}

Y32_END_C
