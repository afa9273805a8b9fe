// tools/kypath/scene3d.h - the camera and wire frame that render3d and the
// gallery's 3D tiles both set up.
#pragma once

#include <cstdint>
#include <vector>

#include "y32Path.h"

namespace kypath {

// One view of a figure, in the two forms the library takes it: the
// A-buffer renderer's camera and the projection's parameter record.
struct Scene3d {
    ABufCamera camera{};
    Path3DParams params{};
};

// Looks at the centre of `box` from `distance` with a full viewing angle of
// `fov` degrees, the figure turned about x, then y, then z by `degrees`.
Scene3d LookAt(const Y32Rect &box, double distance, double fov, const double degrees[3]);

// Draws the wire frame (front outline, back copy `depth` behind it, and the
// edges between) in black on white over the image rectangle `picture`;
// `box` is the figure's box. Fills `rgb` with red, green, blue bytes, rows
// packed. False when no device context could be made or the view puts the
// figure behind the eye.
bool DrawWireFrame(KyPath *figure, const Scene3d &scene, const Y32Rect &box, const Y32Rect &picture, double depth,
                   std::vector<uint8_t> *rgb);

}  // namespace kypath
