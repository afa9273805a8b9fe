// shapes/arrowhead.h - arrowheads on stroked paths: measuring templates,
// deciding which fit, finding where they sit and placing copies there.
//
// The rasteriser, the dashed-stroke step and the relief builders all place
// arrowheads; they share these routines so that an arrowhead's mask, the
// gap the dashes leave for it and its relief cover the same pixels.
//
// A template is a KyPath chain drawn pointing in +x with its attachment side
// (the edge that meets the stroke) on the left: its two leftmost points are
// the ends of that side. Its measures come from the head record's
// positions. A stroked path names its start and end templates, its pen width
// and an arrowheads-off word in the OutlineInfo its record carries.
//
// Units: image pixels as doubles. Extents are lengths along the path.
// The path is measured record by record as one subpath: lines exactly,
// curves by chords of the shared forward-differencing walk (halving above
// 60000, doubling below 30000, 1/65536 pixel units), so every measure and
// walk here sees the same chords.
//
// Use from other modules (numbered in the order of a caller):
//   1. QueryArrowheads(path, &q)  which arrowheads the path names, their
//                                  extents at the outline's pen width
//   2. PathLength(path)           the arc length P
//   3. ApplyFitRule(&q, P)        drops those too large for the path
//   4. Measure(template, &m)      the template's metrics (attachment side,
//                                  attach_index for outline builders)
//   5. FindAnchor(path, end, ArrowLength(m, pen), &a)
//   6. PlacedCopy(template, m, a, pen)  a new chain in place, caller-owned
//      (KyPathDeletePtr(copy, 0)), or Place() on a copy of one's own.
#pragma once

#include <cstdint>

#include "y32path/raster.h"
#include "y32path/types.h"

namespace arrowhead {

// Extents up to this many pixels always fit.
constexpr double kAlwaysFits = 99.0;
// A start arrowhead may overhang the path by less than this.
constexpr double kStartOverhang = 50.0;

struct Metrics {
    double x_min, y1;  // leftmost point
    double x2, y2;     // second leftmost point: the other end of the attachment side
    double base_half;  // |y2 - y1| / 2
    double half_height;  // (y max - y min) / 2
    double length;       // x max - x min
    double anchor_dx, anchor_dy;  // brings the attachment side's middle to one pixel left of the origin
    int32_t attach_index;  // the larger point index of the two leftmost points
};

// Measures the head record of a template. False (and *out zeroed) for a
// null template, one without two distinct points, or an unusable one whose
// attachment side has no height (base_half 0).
bool Measure(const KyPath *tpl, Metrics *out);

// Extent of an arrowhead along a path stroked with pen_width pixels.
inline double Extent(const Metrics &m, double pen_width) { return pen_width * m.length / m.base_half; }
// The same, as the placement computes it (pen_width / base_half x length).
inline double ArrowLength(const Metrics &m, double pen_width) { return pen_width / m.base_half * m.length; }

struct Query {
    const KyPath *start_template = nullptr;  // from the OutlineInfo; null when absent or unusable
    const KyPath *end_template = nullptr;
    bool has_start = false, has_end = false;
    double start_extent = 0.0, end_extent = 0.0;  // at the outline's pen width
    int32_t pen_width = 0;                       // the outline's pen width (word 9)
};

// What the record's OutlineInfo says about arrowheads. False (*out empty)
// when the record is null, carries no OutlineInfo, has arrowheads turned
// off, or names no usable template.
bool QueryArrowheads(const KyPath *path, Query *out);

// The fit rule: an arrowhead longer than kAlwaysFits is dropped at the
// start when it overhangs the path by kStartOverhang or more, at the end
// when it is longer than the path.
inline bool StartFits(double extent, double path_length) {
    return !(extent > kAlwaysFits && extent - path_length >= kStartOverhang);
}
inline bool EndFits(double extent, double path_length) { return !(extent > kAlwaysFits && extent > path_length); }
// Clears has_start / has_end (and the template) of those that do not fit.
void ApplyFitRule(Query *q, double path_length);

// Arc length of one record.
double PathLength(const KyPath *path);

enum class End { kStart, kEnd };

struct Anchor {
    double x, y;          // on the path
    double dir_x, dir_y;  // unit direction the arrowhead points in
};

// The point `distance` along the record from the chosen end, and the
// path's direction there, turned to point out of that end. A distance
// beyond the path's length stops at the other end. False for a path
// without length (no direction to point in).
bool FindAnchor(const KyPath *path, End end, double distance, Anchor *out);

// Transforms a template copy in place: moved by the anchor offset, turned
// to the anchor's direction, scaled by pen_width / base_half and moved to
// the anchor. Every record of the copy's table list is transformed.
void Place(KyPath *copy, const Metrics &m, const Anchor &a, double pen_width);

// A placed copy of the whole template chain: new records (flags cleared)
// linked as one table list and one group chain, ready for the fillers and
// outline builders. Null when out of memory.
KyPath *PlacedCopy(const KyPath *tpl, const Metrics &m, const Anchor &a, double pen_width);

// The query form of the drawing call: the template's extent for a pen
// width of 99, truncated; 0 for an unusable template.
int32_t ExtentAt99(const KyPath *tpl);

enum class RenderResult { kDrawn, kNothing, kNoMemory };

// Draws one arrowhead of `path` into an 8-bit mask (see
// KyPathRenderArrowHead): the start template when given and its start
// arrowhead fits, else the end template when its end arrowhead fits.
RenderResult Render(const KyPath *path, const KyPath *start_tpl, const KyPath *end_tpl, double pen_width,
                    int32_t origin_x, int32_t origin_y, PathBuf mask, int32_t antialias);

}  // namespace arrowhead
