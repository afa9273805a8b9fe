// shapes/curve_tools.cpp - the smooth and freehand curve tools: settings,
// library-wide state and the window-message procedures.
#include "shapes/curve_tools.h"

#include "y32path/shapes.h"

namespace {

// Constructed at load, empty, default tension.
CBez g_curve;
double g_freehand_tolerance = curvetools::kDefaultFreehandTolerance;

}  // namespace

CBez &SmoothCurve() { return g_curve; }

namespace curvetools {

double FreehandTolerance() { return g_freehand_tolerance; }

void ResetForTesting() {
    g_curve = CBez();
    g_freehand_tolerance = kDefaultFreehandTolerance;
}

}  // namespace curvetools

Y32_BEGIN_C

void KyPathSetSmoothBezierSmoothness(int32_t n) {
    double t = n * 0.005;
    if (t > CBez::kMaxTension) t = CBez::kMaxTension;
    if (t < 0.0) t = 0.0;
    g_curve.tension = t;
}

int32_t KyPathGetSmoothBezierSmoothness(void) { return static_cast<int32_t>(g_curve.tension * 200.0 + 0.5); }

int32_t KyPathSetFreehandBezierSmoothness(int32_t n) {
    g_freehand_tolerance = n * 0.1;
    return n;
}

int32_t KyPathGetFreehandBezierSmoothness(void) { return static_cast<int32_t>(g_freehand_tolerance * 10.0); }

Y32_END_C
