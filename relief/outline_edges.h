// relief/outline_edges.h - a group chain as numbered outline segments and
// the tagged edges the crossing lists are built from.
//
// Segment numbers. Every line or curve segment of the chain is numbered by
// the index of the point it starts at, counted across the whole chain
// (the first record's points first, then its group successor's, ...). The
// number is what a crossing carries, so a crossing leads straight back to
// the segment's exact geometry: the line's end points or the curve's four
// control points, in the map's sample space. Curves are flattened into
// edges with the rasteriser's own chords (raster::ForEachEdgeWithParams),
// so the inside test of the relief agrees with the mask of the same path;
// the distances are measured to the curve itself.
//
// Buried stretches. Under the nonzero rule a segment may run partly inside
// the fill of another subpath (two overlapping shapes): its crossings there
// are marked hidden. A segment with both hidden and visible crossings is
// measured only over its visible stretches, found from the parameters of
// its crossings: a stretch ends halfway (in the segment's parameter)
// between a visible crossing and the next hidden one, which places the
// point where it goes under within a pixel of the true one. Without this
// a pixel near a buried edge would measure to it and the relief would
// show a groove along an edge nobody sees.
#pragma once

#include <cstdint>

#include "core/bezier.h"
#include "core/bezier_nearest.h"
#include "raster/crossing_lists.h"
#include "relief/relief_common.h"

namespace relief {

struct OutlineSegment {
    uint8_t kind;  // 0 no segment starts at this point, 1 line, 2 cubic
    bez::Cubic c;  // sample space; a line uses c.p[0] and c.p[1]
    uint32_t visible_first, visible_count;  // its visible stretches; count 0: all of it
};

struct Stretch {
    double t0, t1;
};

struct Outline {
    Scratch<OutlineSegment> segments;  // indexed by segment number
    Scratch<raster::TaggedEdge> edges;
    Scratch<Stretch> visible;
};

// False when out of memory.
bool BuildOutline(const KyPath *head, const raster::Mapping &frame, Outline *out);

// After MarkSpans on both lists: the visible stretches of the segments
// that are partly buried. False when out of memory.
bool FindVisibleStretches(const raster::CrossingLists &rows, const raster::CrossingLists &cols, Outline *out);

// Whether the start (or, with `last`, the end) point of a segment lies on
// one of its visible stretches.
bool EndVisible(const Outline &o, int32_t seg, bool last);

// The nearest point of segment `seg` to p, over its visible stretches.
bez::Nearest NearestOnSegment(const Outline &o, int32_t seg, Vec2 p);

// Unit normal of the segment at parameter t (turned a quarter from the
// direction of travel), or 0 for a segment without a direction there.
Vec2 SegmentNormal(const OutlineSegment &s, double t);

}  // namespace relief
