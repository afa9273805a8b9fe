// relief/shape_queries.h - what the relief asks the shapes module.
//
// Two questions, both answered by the shapes module's own rules so that
// the relief agrees with what the shape tools and the arrowhead renderer
// do:
//  - whether a path is one primitive shape still as it was made (it then
//    gets the closed-form relief);
//  - where a stroked path's arrowheads sit: the mask builders leave their
//    pixels to the arrowhead relief. The arrowheads the path's OutlineInfo
//    names and that fit the path are placed exactly as the renderer places
//    them and filled into an exclusion mask of the map's size.
#pragma once

#include <cstdint>

#include "raster/edges.h"
#include "relief/relief_common.h"

namespace relief {

// Nonzero code, the code's points, equal corner legs for rounded
// rectangles, nothing but an envelope outline after it in its list.
bool IsSinglePrimitive(const KyPath *path);

// Fills `exclude` (map size, zeroed by the caller) with the placed
// arrowheads of `path` in the map's frame. *any tells whether anything
// was placed. False when out of memory.
bool MarkStrokeArrowheads(const KyPath *path, const raster::Mapping &frame, uint32_t width, uint32_t height,
                          uint8_t *exclude, bool *any);

}  // namespace relief
