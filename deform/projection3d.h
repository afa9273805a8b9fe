// deform/projection3d.h - a flat path turned in space and seen in perspective.
//
// Units: image pixels for x and y, the same units for z (depth, eye
// height). A point (x, y) of the path at depth z becomes
//   q = (x - centreX, y - centreY, z) * M + (shiftX, shiftY, 0)
// relative to the centre, and is seen from the eye E = (centreX, centreY,
// distance / tan(fieldOfView / 2)) on the plane z = 0 at
//   centre + q.xy * E.z / (E.z - q.z)
// (vec::PerspectiveScale, which keeps points at or behind the eye finite).
// So the identity rotation with no shift leaves every point at z = 0 where
// it was.
#pragma once

#include <cstdint>

#include "core/vec.h"
#include "y32path/deform.h"

namespace p3d {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(Path3DParams) == 144, "32-bit 3D parameter record is 144 bytes");
#endif
static_assert(offsetof(Path3DParams, distance) == 16 && offsetof(Path3DParams, fieldOfView) == 32 &&
                  offsetof(Path3DParams, matrix) == 72,
              "3D parameter record layout");

// The parameters in doubles, with the eye height worked out once.
struct Camera {
    double m[9];
    double centre_x, centre_y;
    double shift_x, shift_y;
    double eye_z;
};

// distance / tan(fieldOfView / 2), the angle converted with pi = 3.14159. A
// zero field of view puts the eye at infinity (parallel projection).
double EyeHeight(const Path3DParams &params);
Camera CameraOf(const Path3DParams &params);

// The image of the path point (x, y) placed at depth z.
vec::Vec2 Project(const Camera &cam, double x, double y, double z);

// A FIXED for a projected coordinate, held to the representable range
// instead of wrapping (a point near the eye lands far away).
FIXED ClampToFixed(double d);

// Projects every position of every record of the table list holding p
// (from its head), at z = 0; each record's shape code becomes 0.
void ProjectList(KyPath *p, const Camera &cam);

// Box of the projections of every position at z = front_z and at
// z = -back_depth, truncated to integers (saturating). False when the list
// has no positions.
bool ProjectedBox(const KyPath *p, const Camera &cam, double front_z, double back_depth, Y32Rect *out);

// Whether the corners (+-half_w, +-half_h, 0), turned by the record's
// matrix, all stay in front of its eye (z not above the eye height).
bool CornersInFront(const Path3DParams &params, int32_t half_w, int32_t half_h);

// The library-wide last record the wire frame accepted. None at load.
bool LastAccepted(Path3DParams *out);
void SetLastAccepted(const Path3DParams &params);
void ForgetLastAccepted();

}  // namespace p3d
