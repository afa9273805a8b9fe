// relief/vector_smoothing.h - the two smoothing passes of the vector field.
//
// An outline flattened into chords, or a mask's stair-stepped border,
// turns the direction of the relief vectors in small jumps from pixel to
// pixel; lit, those jumps show as facets and streaks. Each pass replaces
// the direction of every first vector by the weighted mean of the unit
// directions around it (3 x 3, weights 4 at the centre, 2 at the sides, 1
// at the corners), keeping the vector's length, so the distance the
// vector stands for does not change. Two passes make a 5 x 5 tent.
//
// Ridges stay sharp: a neighbour whose direction differs from the pixel's
// by about 70 degrees or more (cosine below 0.34, the second-vector rule)
// is left out, so the two sides of a ridge are never averaged into each
// other. Only inside pixels (positive distance, not the 300 mark) are
// smoothed and used when the distance map exists; without it, every pixel
// with a vector. Second vectors are left as they are. Integer layout only.
//
// Pass 1 reads the copy of the vector map the driver made and writes the
// map; pass 2 first refreshes the copy from the map. Each needs a
// direction table the size of the map.
#pragma once

#include "relief/relief_common.h"

namespace relief {

// pass is 1 or 2. Out of memory: 1001; cancelled: 5200 (severity 0, unit
// 20), the maps freed in both cases.
Status SmoothVectors(MapSet &maps, PathBuf copy, int pass, Progress &progress);

}  // namespace relief
