// shapes/arrowhead.cpp - measuring, fitting, placing and drawing
// arrowheads.
//
// Placement, in the order the transforms run on a template copy:
//   1. move by the anchor offset (-x_min - 1, -(y1 + y2) / 2): the middle
//      of the attachment side lands one pixel left of the origin, so the
//      arrowhead overlaps the stroke it is attached to instead of leaving a
//      seam of background between them;
//   2. turn by the unit direction (c, s): x' = x c - y s, y' = y c + x s;
//   3. scale by pen_width / base_half in both axes, so the attachment side
//      becomes as wide as the pen;
//   4. move to the anchor, which lies one arrow length (pen_width /
//      base_half x length) inside the path from its end.
// Each step goes back to FIXED (truncating), as the editing transforms do,
// so a placed arrowhead is the same to the bit whichever module placed it.
#include "shapes/arrowhead.h"

#include <cmath>
#include <cstring>

#include "core/afd.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "core/record_transform.h"
#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"
#include "y32path/core.h"
#include "y32path/shapes.h"

namespace arrowhead {

namespace {

// The measuring walk: the rasteriser's halving threshold, and doubling
// below half of it so that gentle curves are not walked in tiny steps. Both
// halving and doubling keep each chord under about 0.92 pixel per axis.
afd::Params MeasureParams() {
    afd::Params p{60000.0};
    p.double_below = 30000.0;
    p.arith = afd::Arith::kDouble;
    return p;
}

// Calls fn(x0, y0, x1, y1) for every line and every curve chord of the
// record, in order, in image pixels.
template <class Fn>
void ForEachChord(const KyPath *p, Fn &&fn) {
    const afd::Params prm = MeasureParams();
    path::ForEachSegment(p, [&](const path::Segment &s) {
        double x0 = fx::ToDouble(s.x[0]), y0 = fx::ToDouble(s.y[0]);
        if (s.kind == path::Segment::kLine) {
            fn(x0, y0, fx::ToDouble(s.x[1]), fx::ToDouble(s.y[1]));
            return;
        }
        double px[4], py[4];
        for (int i = 0; i < 4; ++i) {
            px[i] = fx::ToDouble(s.x[i]);
            py[i] = fx::ToDouble(s.y[i]);
        }
        double cx = x0, cy = y0;
        afd::Flatten(px, py, prm, [&](double x, double y, int32_t, bool) {
            fn(cx, cy, x, y);
            cx = x;
            cy = y;
        });
    });
}

bool SamePosition(const PathPoint &a, const PathPoint &b) { return a.x == b.x && a.y == b.y; }

void FreeChain(KyPath *head) {
    if (head) KyPathDeletePtr(head, 0);
}

}  // namespace

bool Measure(const KyPath *tpl, Metrics *out) {
    if (out) *out = Metrics{};
    if (!tpl || !out || tpl->count < 2) return false;
    KyPath *rec = const_cast<KyPath *>(tpl);  // read only
    const PathPoint *pts = path::Points(rec);
    // The closing point of a closed template repeats point 0; counted
    // again it would be "the other end" of a side that starts at point 0,
    // and a template drawn from a base corner would measure as unusable.
    const int32_t closing = path::IsClosed(rec) && SamePosition(pts[rec->count - 1], pts[0]) ? rec->count - 1 : -1;

    int32_t i1 = -1, i2 = -1;
    double y_min = 0, y_max = 0, x_max = 0;
    bool first = true;
    path::ForEachPosition(rec, [&](PathPoint &pt) {
        const int32_t i = static_cast<int32_t>(&pt - pts);
        const double x = fx::ToDouble(pt.x), y = fx::ToDouble(pt.y);
        if (first) {
            y_min = y_max = y;
            x_max = x;
            first = false;
        }
        y_min = std::fmin(y_min, y);
        y_max = std::fmax(y_max, y);
        x_max = std::fmax(x_max, x);
        if (i == closing) return;
        if (i1 < 0 || pt.x < pts[i1].x) i1 = i;
    });
    if (i1 < 0) return false;
    // The second leftmost is the leftmost of the points elsewhere than the
    // first (a control point on a corner is the same end of the side).
    path::ForEachPosition(rec, [&](PathPoint &pt) {
        const int32_t i = static_cast<int32_t>(&pt - pts);
        if (i == closing || SamePosition(pt, pts[i1])) return;
        if (i2 < 0 || pt.x < pts[i2].x) i2 = i;
    });
    if (i2 < 0) return false;

    Metrics m;
    m.x_min = fx::ToDouble(pts[i1].x);
    m.y1 = fx::ToDouble(pts[i1].y);
    m.x2 = fx::ToDouble(pts[i2].x);
    m.y2 = fx::ToDouble(pts[i2].y);
    m.base_half = std::fabs(m.y2 - m.y1) / 2;
    m.half_height = (y_max - y_min) / 2;
    m.length = x_max - m.x_min;
    m.anchor_dx = -m.x_min - 1.0;
    m.anchor_dy = -(m.y1 + m.y2) / 2;
    m.attach_index = i1 > i2 ? i1 : i2;
    if (!(m.base_half > 0.0)) return false;
    *out = m;
    return true;
}

bool QueryArrowheads(const KyPath *path, Query *out) {
    if (!out) return false;
    *out = Query{};
    if (!path) return false;
    const OutlineInfo *info = path::OutlineOf(path);
    if (!info || info->arrowsOff != 0) return false;
    out->pen_width = info->param[1];
    Metrics m;
    if (Measure(info->startArrow, &m)) {
        out->start_template = info->startArrow;
        out->has_start = true;
        out->start_extent = Extent(m, out->pen_width);
    }
    if (Measure(info->endArrow, &m)) {
        out->end_template = info->endArrow;
        out->has_end = true;
        out->end_extent = Extent(m, out->pen_width);
    }
    return out->has_start || out->has_end;
}

void ApplyFitRule(Query *q, double path_length) {
    if (!q) return;
    if (q->has_start && !StartFits(q->start_extent, path_length)) {
        q->has_start = false;
        q->start_template = nullptr;
    }
    if (q->has_end && !EndFits(q->end_extent, path_length)) {
        q->has_end = false;
        q->end_template = nullptr;
    }
}

double PathLength(const KyPath *path) {
    if (!path) return 0.0;
    double total = 0.0;
    ForEachChord(path, [&](double x0, double y0, double x1, double y1) { total += std::hypot(x1 - x0, y1 - y0); });
    return total;
}

bool FindAnchor(const KyPath *path, End end, double distance, Anchor *out) {
    if (!path || !out) return false;
    // Both ends are found walking forward, the end one at P - distance, so
    // that both see the chords in the order the rasteriser makes them.
    const double target = end == End::kStart ? distance : PathLength(path) - distance;
    bool found = false, any = false;
    double lx = 0, ly = 0, ldx = 0, ldy = 0;  // last chord with length: its end and direction
    double walked = 0.0;
    ForEachChord(path, [&](double x0, double y0, double x1, double y1) {
        if (found) return;
        const double len = std::hypot(x1 - x0, y1 - y0);
        if (!(len > 0.0)) return;  // no direction to take from a point
        any = true;
        ldx = (x1 - x0) / len;
        ldy = (y1 - y0) / len;
        lx = x1;
        ly = y1;
        if (walked + len >= target) {
            double t = (target - walked) / len;
            t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
            lx = x0 + (x1 - x0) * t;
            ly = y0 + (y1 - y0) * t;
            found = true;
        }
        walked += len;
    });
    if (!any) return false;
    const double sign = end == End::kStart ? -1.0 : 1.0;
    *out = Anchor{lx, ly, ldx * sign, ldy * sign};
    return true;
}

void Place(KyPath *copy, const Metrics &m, const Anchor &a, double pen_width) {
    if (!copy) return;
    double c = a.dir_x, s = a.dir_y;
    const double norm = std::hypot(c, s);
    if (norm > 0.0) {
        c /= norm;
        s /= norm;
    }
    const double scale = pen_width / m.base_half;
    const FIXED ox = fx::FromDouble(m.anchor_dx), oy = fx::FromDouble(m.anchor_dy);
    const FIXED ax = fx::FromDouble(a.x), ay = fx::FromDouble(a.y);
    for (KyPath *r = PathFirst(copy); r; r = r->next) {
        path::MovePositions(r, ox, oy);
        path::RotateEntries(r, c, s);
        path::ScalePositions(r, scale, scale);
        path::MovePositions(r, ax, ay);
    }
}

KyPath *PlacedCopy(const KyPath *tpl, const Metrics &m, const Anchor &a, double pen_width) {
    if (!tpl) return nullptr;
    KyPath *head = nullptr, *last = nullptr;
    for (const KyPath *src = tpl; src; src = src->next) {
        const int32_t count = src->count > 0 ? src->count : 0;
        // Sized from the count, not from the source block: a template the
        // host built elsewhere than on the private heap copies as well.
        auto *r = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(path::RuleRoom(count))));
        if (!r) {
            FreeChain(head);
            return nullptr;
        }
        std::memcpy(r, src, path::kHeaderSize + static_cast<size_t>(count) * path::kPointSize);
        r->prev = r->next = r->groupPrev = r->groupNext = r->selPrev = r->selNext = nullptr;
        // No stroke description, selection or outline-only mark comes
        // along: the copy is a plain filled shape.
        r->flags = 0;
        r->count = count;
        if (last) {
            last->next = r;
            r->prev = last;
            last->groupNext = r;
            r->groupPrev = last;
        } else {
            head = r;
        }
        last = r;
    }
    Place(head, m, a, pen_width);
    return head;
}

int32_t ExtentAt99(const KyPath *tpl) {
    Metrics m;
    if (!Measure(tpl, &m)) return 0;
    // A sliver of an attachment side makes the quotient huge; it saturates
    // instead of overflowing the integer.
    const double v = kAlwaysFits * m.length / m.base_half;
    if (!(v < 2147483647.0)) return INT32_MAX;
    return static_cast<int32_t>(v);
}

RenderResult Render(const KyPath *path, const KyPath *start_tpl, const KyPath *end_tpl, double pen_width,
                    int32_t origin_x, int32_t origin_y, PathBuf mask, int32_t antialias) {
    Query q;
    if (!path || !mask || !QueryArrowheads(path, &q)) return RenderResult::kNothing;
    ApplyFitRule(&q, PathLength(path));
    const KyPath *tpl = nullptr;
    End end = End::kStart;
    if (start_tpl && q.has_start) {
        tpl = start_tpl;
    } else if (end_tpl && q.has_end) {
        tpl = end_tpl;
        end = End::kEnd;
    } else {
        return RenderResult::kNothing;
    }
    Metrics m;
    // A pen of no width has no arrowhead; a negative one would mirror it
    // back over the stroke.
    if (!Measure(tpl, &m) || !(pen_width > 0.0)) return RenderResult::kNothing;
    Anchor a;
    if (!FindAnchor(path, end, ArrowLength(m, pen_width), &a)) return RenderResult::kNothing;
    KyPath *copy = PlacedCopy(tpl, m, a, pen_width);
    if (!copy) return RenderResult::kNoMemory;
    raster::FillSpec spec{raster::Mapping{1.0, static_cast<double>(origin_x), static_cast<double>(origin_y)},
                          raster::SubsFor(antialias, 8), true, antialias == 0};
    const bool ok = raster::ScanFill(copy, spec, mask);
    FreeChain(copy);
    return ok ? RenderResult::kDrawn : RenderResult::kNoMemory;
}

}  // namespace arrowhead

Y32_BEGIN_C

int32_t KyPathRenderArrowHead(KyPath *path, KyPath *startTemplate, KyPath *endTemplate, int32_t penWidth,
                              int32_t originX, int32_t originY, PathBuf mask, int32_t antialias) {
    if (!path) return startTemplate || endTemplate ? arrowhead::ExtentAt99(startTemplate ? startTemplate : endTemplate)
                                                   : 0;
    if (!startTemplate && !endTemplate) return 0;
    // The filler writes coverage bytes; a deeper buffer would be read as
    // something else entirely.
    if (!mask || pbuf::Depth(mask) != 8) return 0;
    return arrowhead::Render(path, startTemplate, endTemplate, penWidth, originX, originY, mask, antialias) ==
                   arrowhead::RenderResult::kNoMemory
               ? 0
               : 1;
}

Y32_END_C
