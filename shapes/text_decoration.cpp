// shapes/text_decoration.cpp - underline and strike-out bars.
//
// A bar is a closed five-point rectangle record holding exactly its points,
// flagged like a glyph's first record, and joined after the last record of
// the line (or piece) it decorates.
#include <algorithm>

#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "shapes/text_glyphs.h"
#include "y32path/core.h"
#include "y32path/view.h"

KyPath *AppendTextBar(KyPath *head, FIXED x0, FIXED y0, FIXED x1, FIXED y1, uint32_t extra_flags) {
    auto *bar = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(5)));
    if (!bar) return nullptr;
    bar->count = 5;
    bar->flags = kTextGlyphStart | extra_flags;
    PathPoint *p = KyPathPoints(bar);
    const FIXED xs[5] = {x0, x1, x1, x0, x0};
    const FIXED ys[5] = {y0, y0, y1, y1, y0};
    for (int i = 0; i < 5; ++i) {
        p[i].type = i == 0 ? PT_MOVETO : (i == 4 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        p[i].x = xs[i];
        p[i].y = ys[i];
    }
    if (KyPath *last = LastGroupMember(head)) {
        last->next = bar;
        last->groupNext = bar;
        bar->prev = last;
        bar->groupPrev = last;
    }
    return bar;
}

int32_t AddTextDecoration(KyPath *head, int32_t kind, int32_t vertical, const Y32Rect *box) {
    if (!head || (kind != 1 && kind != 2)) return 0;
    Y32Rect r;
    if (box)
        r = *box;
    else if (!KyPathGetRealRect(head, fx::kOne, &r))
        return 0;
    if (!vertical) {
        const double h = static_cast<double>(r.bottom) - r.top;
        const int32_t t = static_cast<int32_t>(std::max(h * 0.1, 2.0));
        const int32_t drop = static_cast<int32_t>(h * (kind == 1 ? 1.05 : 0.55));
        return AppendTextBar(head, fx::FromInt(r.left), fx::FromInt(r.top + drop), fx::FromInt(r.right),
                             fx::FromInt(r.top + t + drop), 0)
                   ? 1
                   : 0;
    }
    const double w = static_cast<double>(r.right) - r.left;
    const int32_t t = static_cast<int32_t>(std::max(w * 0.1, 2.0));
    const int32_t shift = static_cast<int32_t>(-w * (kind == 1 ? 1.05 : 0.55));
    return AppendTextBar(head, fx::FromInt(r.right - t + shift), fx::FromInt(r.top), fx::FromInt(r.right + shift),
                         fx::FromInt(r.bottom), 0)
               ? 1
               : 0;
}
