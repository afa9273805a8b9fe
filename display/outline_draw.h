// display/outline_draw.h - the outline passes other display code calls.
//
// The exported drawers (y32path/display.h) are thin wrappers over these.
// Hit testing, the pen tool and the undo journal use them directly to draw
// or highlight one record without going through the selection list.
#pragma once

#include <cstdint>

#include "display/overlay_raster.h"
#include "y32path/types.h"
#include "y32path/view.h"

namespace outline {

// One record in one mode; *out (may be null) receives the touched window
// rectangle, (0, 0, 0, 0) when nothing was drawn. Nothing happens and
// *out is left alone when the view has no overlay buffer; the result says
// whether there was one.
bool DrawRecord(const CoordStruct *v, const KyPath *p, overlay::Mode m, Y32Rect *out);

// The selection drawer: every record of p's selection list in mode m,
// keeping KPF_DRAWNSELECTED up to date (set in modes 1 and 7 on records
// without selected nodes, cleared otherwise). p must be selected, except
// in mode 5. *out as above.
bool DrawSelection(const CoordStruct *v, KyPath *p, overlay::Mode m, Y32Rect *out);

// The highlight of the picked segments of p's selection list, on and off.
inline bool HighlightSelectedSegments(const CoordStruct *v, KyPath *p, Y32Rect *out) {
    return DrawSelection(v, p, overlay::kHighlight, out);
}
inline bool UnhighlightSelectedSegments(const CoordStruct *v, KyPath *p, Y32Rect *out) {
    return DrawSelection(v, p, overlay::kUnhighlight, out);
}

}  // namespace outline
