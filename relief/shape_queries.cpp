// relief/shape_queries.cpp - primitive test and arrowhead placement, from shapes/.
#include "relief/shape_queries.h"

#include <cstring>

#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"
#include "shapes/arrowhead.h"
#include "shapes/primitives.h"
#include "y32path/core.h"

namespace relief {

bool IsSinglePrimitive(const KyPath *path) { return path && shapes::IsPrimitiveAsMade(path); }

bool MarkStrokeArrowheads(const KyPath *path, const raster::Mapping &frame, uint32_t width, uint32_t height,
                          uint8_t *exclude, bool *any) {
    *any = false;
    arrowhead::Query q;
    if (!path || !arrowhead::QueryArrowheads(path, &q)) return true;
    arrowhead::ApplyFitRule(&q, arrowhead::PathLength(path));
    if (!q.has_start && !q.has_end) return true;
    PathBuf buf = pbuf::AllocQuiet(8, width, height);
    if (!buf) return false;
    bool ok = true;
    for (int k = 0; k < 2 && ok; ++k) {
        const bool start = k == 0;
        const KyPath *tpl = start ? (q.has_start ? q.start_template : nullptr) : (q.has_end ? q.end_template : nullptr);
        arrowhead::Metrics m;
        if (!tpl || !arrowhead::Measure(tpl, &m)) continue;
        arrowhead::Anchor a;
        const double pen = q.pen_width;
        if (!arrowhead::FindAnchor(path, start ? arrowhead::End::kStart : arrowhead::End::kEnd,
                                   arrowhead::ArrowLength(m, pen), &a))
            continue;
        KyPath *copy = arrowhead::PlacedCopy(tpl, m, a, pen);
        if (!copy) {
            ok = false;
            break;
        }
        // The renderer fills arrowheads with the even-odd rule.
        raster::FillSpec spec{frame, 16, true, false};
        ok = raster::ScanFill(copy, spec, buf);
        KyPathDeletePtr(copy, 0);
        *any = true;
    }
    if (ok && *any) {
        const uint8_t *src = static_cast<const uint8_t *>(buf);
        const size_t n = static_cast<size_t>(width) * height;
        for (size_t i = 0; i < n; ++i)
            if (src[i] >= 128) exclude[i] = 255;
    }
    KyPathBufFree(buf);
    return ok;
}

}  // namespace relief
