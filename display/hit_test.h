// display/hit_test.h - what lies under the mouse: the geometric engine.
//
// Units: the mouse point and the tolerance are in image units (the window
// tolerance of 4 pixels divided by the zoom); segment parameters are
// 16-bit fractions of the segment's parameter, 65535 at its end.
//
// The engine tests segments in the order the user sees them stacked: the
// selection first (it is what the user works on), then the rest, each
// record from its last point backwards. At each segment the end node, the
// start node and then the segment itself are tried, so a node beats the
// segments around it. Control points are never hit.
#pragma once

#include <cstdint>

#include "core/bezier.h"
#include "core/view.h"
#include "y32path/types.h"

namespace hit {

constexpr double kTolerancePixels = 4.0;
// A line shorter than this is tested as the point it starts at.
constexpr double kShortLine = 0.001;
// Parameter given for a hit on a line too short to have a direction.
constexpr uint16_t kShortLineParam = 32768;

struct Probe {
    double x, y;         // the mouse in image units
    double tol;          // tolerance in image units
    bool inside_client;  // segments are tested only then
};

struct Hit {
    KyPath *record = nullptr;
    int32_t index = 0;   // the node, or the segment's start point
    uint16_t param = 0;  // 0 for a node
    bool node = false;
};

// The node test: strictly inside the square of half-width tol.
bool NodeTest(vec::Vec2 node, const Probe &q);
// The line test: within the segment's box grown by tol and at most tol
// from its line. *param = the position of the foot of the perpendicular,
// kept within the segment.
bool LineTest(vec::Vec2 a, vec::Vec2 b, const Probe &q, uint16_t *param);
// The curve test: the nearest point of the curve at most tol away.
bool CurveTest(const bez::Cubic &c, const Probe &q, uint16_t *param);

// One record, segments from the last backwards.
bool TestRecord(KyPath *p, const Probe &q, Hit *out);
// The list that starts at head: only a wrap baseline at its end when it
// has one, else selected records, then unselected ones, in list order.
bool TestList(KyPath *head, const Probe &q, Hit *out);

// The overlay probe: whether an outline pixel lies in the 8 x 8 pixels
// from (wx - 4, wy - 4) to (wx + 3, wy + 3), clipped to the overlay.
bool OverlayNear(const view::OverlayExtent &ov, int32_t wx, int32_t wy);

}  // namespace hit
