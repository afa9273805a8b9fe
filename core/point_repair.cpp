// core/point_repair.cpp - corrections applied to records from stored data.
#include "core/diag.h"
#include "core/path_record.h"

void CheckPathsBeforeQXE5(KyPath *p) {
    if (!p || p->count <= 0) return;
    PathPoint *pts = path::Points(p);
    // Counts curve points 1, 2, 3, 1, 2, 3...: 1 is a curve's first control
    // point, whose selection older records stored where the end point's
    // belongs.
    int bezier = 0;
    for (int32_t i = 0; i < p->count; ++i) {
        if ((pts[i].type & PT_KINDMASK) != PT_BEZIERTO) continue;
        bezier = bezier == 3 ? 1 : bezier + 1;
        if (bezier == 1 && (pts[i].type & PT_SELECTED) && i + 2 < p->count) {
            pts[i].type &= 0x7FFF;
            pts[i + 2].type |= PT_SELECTED;
            DebugPrint("- CheckPathsBeforeQXE5(): PT_SELECTED flag adjusted.\n");
        }
    }
}

namespace path {

void RepairClosingPointTypes(KyPath *p) {
    for (KyPath *r = PathFirst(p); r; r = r->next) {
        if (r->count <= 0) continue;
        PathPoint &last = Points(r)[r->count - 1];
        if (last.type == 0) {
            last.type = PT_BEZIERTO | PT_CLOSEFIGURE;
            DebugPrint("- Invalid point type, corrected to PT_BEZIERTO|PT_CLOSEFIGURE.\n");
        }
    }
}

}  // namespace path
