// relief/primitive_relief.h - closed-form relief of a single primitive shape.
//
// A record that is still one primitive as the shape tools made it (an
// ellipse, a rectangle, a segmented or rounded rectangle, a diamond) gets
// its relief from the shape's own geometry instead of an outline search:
//  - ellipse: a cone. Along the ray from the centre through the pixel the
//    ellipse's radius r (plus one pixel of rim) is known in closed form; a
//    pixel at distance d < r gets t = (r - d) / r x W, the distance value
//    t^2 and the vector of length t away from the centre (towards the rim).
//    The centre pixel gets (W, 0).
//  - rectangle (also the segmented one): a hipped roof. The nearest side
//    (left, right, top, bottom; the first strictly nearer wins a tie) at
//    signed distance s gives the value s^2 and the vector of length s to
//    that side, times ratio = W / min(half width, half height), so the
//    ridge reaches W.
//  - rounded rectangle: the same roof, with quarter-circle corners: in a
//    corner zone the nearest point lies on the corner's arc, measured from
//    the arc's centre.
//  - diamond: the roof over the four slanted sides, ratio = W / inradius.
// Pixels up to one pixel outside the shape (the anti-aliased rim) get the
// negative value -s^2 and the vector to the side; pixels beyond are left
// alone. The vectors are stored in the layout the caller asked for.
//
// Default widths (W passed as 0): the smaller semi-axis of an ellipse, the
// smaller half side of a rectangle, the corner radius of a rounded
// rectangle (the smaller half side when its corners are square), the
// inradius of a diamond.
#pragma once

#include "relief/relief_common.h"

namespace relief {

// Which primitive a record is and its geometry in the map's sample space.
struct Primitive {
    enum Kind { kNone, kEllipse, kRectangle, kRounded, kDiamond } kind = kNone;
    double cx = 0, cy = 0;  // centre
    double hw = 0, hh = 0;  // half extents (ellipse: semi-axes)
    double radius = 0;      // rounded rectangle corner radius
};

// Reads the primitive of a record that is one primitive shape; kNone when
// its code or its points do not make one.
Primitive ReadPrimitive(const KyPath *p, const raster::Mapping &frame);

// Fills the maps over the stage's progress range. *width: 0 takes the
// shape's default (and is updated). kRefused when the record is not a
// readable primitive or no map is wanted; cancelling frees the maps and
// reports 5200 (severity 0, unit 19).
Status PrimitiveBuild(MapSet &maps, const KyPath *p, double *width, Progress &progress);

}  // namespace relief
