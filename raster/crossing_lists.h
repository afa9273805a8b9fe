// raster/crossing_lists.h - crossing lists over a whole buffer, each
// crossing tagged with the segment it came from.
//
// The fillers sample edges band by band and throw the crossings away once a
// row is covered. The relief builders need them for the whole buffer at
// once, in both directions (a list per pixel row and a list per pixel
// column), and need to know which outline segment made each crossing and
// whether it opens or closes an inside span. This is that form.
//
// Sample lines. Line k of the row lists lies at y' = k + 0.5, the centre of
// pixel row k, in the sample space of raster/edges.h; the column lists are
// the same thing with x and y exchanged (line k at x' = k + 0.5). Each edge
// is sampled with the fillers' own arithmetic (CrossedSubs, SubY,
// CrossingX with one sub-scanline), so a crossing here is bit for bit the
// crossing a hard fill of the same path sees on that row.
//
// Storage. All lists of one direction share one run-time-heap array,
// ordered line by line (an offset table gives each line its slice), built
// in two passes over the edges: count, then place. Within a line the
// crossings are sorted by position, ties by direction (upward first, as the
// fillers order them), then by segment, so the order is total.
//
// Marks. MarkSpans walks each sorted list with the fill rule: a crossing
// that starts an inside span gets enter = 1, one that ends it enter = 0.
// Under the nonzero rule a crossing across which the winding number stays
// nonzero lies inside the filled area on both sides: it is marked hidden,
// so outline parts buried in the fill are not taken for the outline. It
// keeps its segment and parameter: together with the visible crossings of
// the same segment they tell which stretch of a segment is buried.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/edges.h"

namespace raster {

// One straight edge in sample space with the caller's segment number and
// the segment's parameter at the edge's ends.
struct TaggedEdge {
    double x0, y0, x1, y1;
    double t0, t1;
    int32_t segment;
};

struct TaggedCrossing {
    double x;         // position along the line (x for rows, y for columns)
    double t;         // the segment's parameter there
    int32_t segment;  // the caller's segment number
    int8_t dir;       // +1 for an edge going towards larger y (rows) / larger x (columns), else -1
    uint8_t enter;    // after MarkSpans: 1 opens an inside span, 0 closes one
    uint8_t hidden;   // after MarkSpans: 1 when the fill continues on both sides
};

struct CrossingLists {
    uint32_t lines = 0;
    uint32_t *start = nullptr;         // lines + 1 offsets into items
    TaggedCrossing *items = nullptr;

    const TaggedCrossing *Begin(uint32_t line) const { return items + start[line]; }
    const TaggedCrossing *End(uint32_t line) const { return items + start[line + 1]; }
    uint32_t Count(uint32_t line) const { return start[line + 1] - start[line]; }
};

// Builds `lines` lists from the edges: row lists, or with `columns` the
// column lists (x and y exchanged). False when out of memory or when the
// crossings would not fit in 32-bit offsets; `out` is then empty.
bool BuildCrossingLists(const TaggedEdge *edges, size_t count, uint32_t lines, bool columns, CrossingLists *out);

// Sets the enter marks and hides buried crossings (nonzero rule only).
void MarkSpans(CrossingLists *lists, bool even_odd);

void FreeCrossingLists(CrossingLists *lists);

}  // namespace raster
