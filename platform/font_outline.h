// platform/font_outline.h - glyph contours into the native polygon form.
//
// Input is a glyph as the font stores it: contours of points in font units,
// each point on the curve, a quadratic control (TrueType) or a cubic control
// (CFF, always in pairs). Output is the polygon form described in
// platform/fonts.h, points mapped to 16.16 pixels by a 2x2 matrix.
//
// Kept apart from the font objects so that contour shapes no installed font
// has (cubic contours, contours without on-curve points) can be tested.
#pragma once

#include <cstdint>
#include <vector>

namespace plat::font {

enum class PointTag : uint8_t { kConic = 0, kOn = 1, kCubic = 2 };

struct SourcePoint {
    double x, y;  // font units, y upward
    PointTag tag;
};

// x' = xx x + xy y, y' = yx x + yy y (font units to pixels).
struct Affine {
    double xx, xy, yx, yy;
};

struct Vec {
    double x, y;
};

// Appends the polygons of the contours (contour c ends at point
// contour_ends[c], inclusive) to out. Contours of fewer than two points
// and malformed ones (a lone cubic control, a quadratic control followed
// by a cubic one) are left out. Cubic arcs become quadratic arcs within
// tolerance_fu font units of the cubic.
void AppendNativeOutline(const SourcePoint *points, const int32_t *contour_ends, int32_t contours, const Affine &m,
                         double tolerance_fu, std::vector<uint8_t> &out);

// Quadratic arcs for the cubic p0 c1 c2 p3, as (control, end) pairs appended
// to out, the last end being p3 exactly. Each arc differs from the piece of
// the cubic it replaces by at most tolerance at equal parameter. Returns the
// number of arcs.
int32_t CubicToQuadratics(Vec p0, Vec c1, Vec c2, Vec p3, double tolerance, std::vector<Vec> &out);

}  // namespace plat::font
