// shapes/curve_tools.h - library-wide state of the smooth and freehand
// curve tools.
//
// One figure at a time can be drawn in the whole process: the smooth tool
// keeps its knots in the one CBez object, the freehand tool its stroke in
// one point array. Both are used from the thread that owns the window.
#pragma once

#include <cstdint>

#include "shapes/cbez.h"

namespace curvetools {

constexpr double kDefaultFreehandTolerance = 4.0;

// The freehand tool's fitting tolerance in image pixels.
double FreehandTolerance();

// Returns both tools to their state at load: no figure in progress, the
// curve empty, default smoothness values.
void ResetForTesting();

}  // namespace curvetools
