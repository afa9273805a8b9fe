// relief/row_scan.h - the outline-distance builder for ordinary paths.
//
// For every pixel it finds the nearest point of the path's outline by
// looking only at the segments whose row or column crossings fall inside a
// square window around the pixel, then measures exactly to each of them.
//
// Window. The pixel's row list decides: the first outline crossing to the
// right of the pixel centre (hidden crossings skipped) is a leave crossing
// for an inside pixel, an enter crossing (or none) for an outside one.
// Outside pixels look 1 pixel around them (the relief outside is only the
// anti-aliased rim). Inside pixels look as far as the farther of the two
// crossings around them on their row, plus 1, but never beyond the bevel
// width W: the nearest outline point is no farther than the nearer
// crossing, and nothing beyond W changes the bevel. A summed-area table of
// crossing counts per pixel cell answers "is there any crossing in this
// window" in constant time, so the deep inside of a large shape costs
// nothing per pixel.
//
// Candidates. Every distinct, visible segment with a row crossing on rows
// r - h .. r + h within x +- h, or a column crossing on columns c - h ..
// c + h within y +- h. Lines are measured exactly, curves by
// bez::NearestPointOnCubic (roots of the distance condition, far finer than
// the 0.01 pixel a relief needs). Candidates are sorted by
// distance; the nearest gives the distance value and the first vector.
//
// Corners (skipped in fast mode). Where two candidates within 1 pixel of
// the nearest share an end point that is not buried in the fill, that
// corner is measured exactly and replaces either answer it beats, so the numeric curve search cannot leave
// a corner pixel a hair off its true vector; the candidates are re-sorted.
//
// Second vector (integer layout, inside pixels). Candidates after the first
// are read in order until one is 0.7 pixel or more farther than the first;
// the first of them whose direction differs from the first vector's by more
// than about 70 degrees (cosine below 0.34) is the second vector.
#pragma once

#include "raster/crossing_lists.h"
#include "relief/outline_edges.h"
#include "relief/relief_common.h"

namespace relief {

struct RowScanInput {
    const Outline *outline;
    const raster::CrossingLists *rows;  // marked (MarkSpans)
    const raster::CrossingLists *cols;  // marked
    double width;                       // W, > 0
    bool fast;
};

// Fills the maps. Cancelling (callback or Escape, asked once per row) frees
// both maps and reports 5200; running out of scratch memory frees them and
// reports 1001 (both severity 0, unit 20).
Status RowScanBuild(MapSet &maps, const RowScanInput &in, Progress &progress);

}  // namespace relief
