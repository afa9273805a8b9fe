// shapes/curve_fit.h - least-squares fitting of cubic Bezier chains to
// digitised points (the freehand tool).
//
// The fitter tries one cubic through a run of points: it fixes the end
// points and the end tangent directions and solves for the two handle
// lengths that minimise the squared distances of the points from the curve
// at their chord-length parameters. When the worst point is off by less
// than the tolerance the curve is kept; when it is off by a little more,
// a few Newton steps move each point's parameter to the nearest curve
// point and the fit is repeated; otherwise the run is split at the worst
// point, with a common tangent there, and both halves are fitted the same
// way. A run of two points is always fitted, so the recursion ends.
//
// Units: image pixels, doubles. Tangents are unit vectors pointing into
// the run from its ends (t1 forwards at the start, t2 backwards at the end).
#pragma once

#include <cstdint>

#include "core/bezier.h"
#include "shapes/cbez.h"
#include "y32path/types.h"

namespace curvefit {

// Input beyond this many points is dropped before fitting.
constexpr int32_t kMaxData = 512;
// Below this tolerance (image pixels) the fit is asked for anyway.
constexpr double kMinTolerance = 1.0;

// Where fitted curves are appended: knot, handle, handle, knot, ...
struct Output {
    BezCtrl *ctrls;
    int32_t count;
    int32_t capacity;
};

// Room a fit of n points can ever need: every curve covers at least one
// step between two input points.
constexpr int32_t OutputCapacity(int32_t n) { return n < 2 ? 0 : 1 + 3 * (n - 1); }

// The pieces, over d[first..last] with parameters u[first..last].
bez::Cubic GenerateBezier(const vec::Vec2 *d, int32_t first, int32_t last, const double *u, vec::Vec2 t1,
                          vec::Vec2 t2);
double ComputeMaxError(const vec::Vec2 *d, int32_t first, int32_t last, const bez::Cubic &curve,
                       const double *u, int32_t *split);
void Reparameterize(const vec::Vec2 *d, int32_t first, int32_t last, double *u, const bez::Cubic &curve);

// Fits d[first..last] into out. u is scratch of at least last + 1 values.
void FitCubic(const vec::Vec2 *d, double *u, int32_t first, int32_t last, vec::Vec2 t1, vec::Vec2 t2,
              double tolerance, Output *out);

// The whole fit of n image points into a new path record (caller owns):
// count 1 + 3k points, closed with a straight closing curve when asked.
// Null for fewer than 3 points or when memory runs out.
KyPath *FitPoints(const vec::Vec2 *d, int32_t n, double tolerance, bool closed);

}  // namespace curvefit
