// deform/projection3d.cpp - rotation and perspective of points and paths.
#include "deform/projection3d.h"

#include <cmath>

#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "core/view.h"

namespace p3d {

double EyeHeight(const Path3DParams &params) {
    return params.distance / std::tan(params.fieldOfView * 0.5 * vec::kPi3D / 180.0);
}

Camera CameraOf(const Path3DParams &params) {
    Camera cam;
    for (int k = 0; k < 9; ++k) cam.m[k] = params.matrix[k];
    cam.centre_x = fx::ToDouble(params.centreX);
    cam.centre_y = fx::ToDouble(params.centreY);
    cam.shift_x = fx::ToDouble(params.shiftX);
    cam.shift_y = fx::ToDouble(params.shiftY);
    cam.eye_z = EyeHeight(params);
    return cam;
}

vec::Vec2 Project(const Camera &cam, double x, double y, double z) {
    double q[3] = {x - cam.centre_x, y - cam.centre_y, z};
    vec::RotatePoint3D(q, cam.m);
    q[0] += cam.shift_x;
    q[1] += cam.shift_y;
    double k = vec::PerspectiveScale(cam.eye_z, q[2]);
    return vec::Vec2{cam.centre_x + q[0] * k, cam.centre_y + q[1] * k};
}

FIXED ClampToFixed(double d) {
    constexpr double kMax = 32767.0 + 65535.0 / 65536.0;
    if (!(d > -32768.0)) return d != d ? 0 : INT32_MIN;
    if (d > kMax) return INT32_MAX;
    return fx::FromDouble(d);
}

void ProjectList(KyPath *p, const Camera &cam) {
    for (KyPath *r = PathFirst(p); r; r = r->next) {
        r->shape = 0;
        path::ForEachPosition(r, [&](PathPoint &pt) {
            vec::Vec2 v = Project(cam, fx::ToDouble(pt.x), fx::ToDouble(pt.y), 0.0);
            pt.x = ClampToFixed(v.x);
            pt.y = ClampToFixed(v.y);
        });
    }
}

bool ProjectedBox(const KyPath *p, const Camera &cam, double front_z, double back_depth, Y32Rect *out) {
    bool any = false;
    Y32Rect box{0, 0, 0, 0};
    auto add = [&](vec::Vec2 v) {
        int32_t x = view::TruncToInt(v.x), y = view::TruncToInt(v.y);
        if (!any) {
            box = Y32Rect{x, y, x, y};
            any = true;
            return;
        }
        if (x < box.left) box.left = x;
        if (y < box.top) box.top = y;
        if (x > box.right) box.right = x;
        if (y > box.bottom) box.bottom = y;
    };
    for (KyPath *r = PathFirst(const_cast<KyPath *>(p)); r; r = r->next) {
        path::ForEachPosition(r, [&](PathPoint &pt) {
            double x = fx::ToDouble(pt.x), y = fx::ToDouble(pt.y);
            add(Project(cam, x, y, front_z));
            add(Project(cam, x, y, -back_depth));
        });
    }
    if (any) *out = box;
    return any;
}

bool CornersInFront(const Path3DParams &params, int32_t half_w, int32_t half_h) {
    const double ez = EyeHeight(params);
    const double *m = params.matrix;
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            // Only z matters: z' = x * M[2] + y * M[5] for a corner at z = 0.
            double z = sx * static_cast<double>(half_w) * m[2] + sy * static_cast<double>(half_h) * m[5];
            if (z > ez) return false;
        }
    }
    return true;
}

namespace {
// The record the wire frame last accepted. "None yet" is its own state: an
// all-zero record would pass the test (its eye height is 0 / 0) and
// collapse every drawing onto the centre.
Path3DParams g_last_accepted;
bool g_has_last_accepted = false;
}  // namespace

bool LastAccepted(Path3DParams *out) {
    if (g_has_last_accepted) *out = g_last_accepted;
    return g_has_last_accepted;
}

void SetLastAccepted(const Path3DParams &params) {
    g_last_accepted = params;
    g_has_last_accepted = true;
}

void ForgetLastAccepted() {
    g_last_accepted = Path3DParams{};
    g_has_last_accepted = false;
}

}  // namespace p3d

Y32_BEGIN_C

void RotatePoint3D(double *p, const double *M) {
    if (!p || !M) return;
    vec::RotatePoint3D(p, M);
}

void Matrix3X3(const double *A, const double *B, double *C) {
    if (!A || !B || !C) return;
    vec::Matrix3X3(A, B, C);
}

int32_t KyProject2DTO3D(double dx, double dy, double *out, const int32_t *origin, const int32_t *dest,
                        const double *eye, const double *shift, const double *M) {
    if (!out || !origin || !dest || !eye || !shift || !M) return 0;
    double p[3] = {origin[0] + dx - eye[0], origin[1] + dy - eye[1], 0.0};
    vec::RotatePoint3D(p, M);
    p[0] += shift[0];
    p[1] += shift[1];
    double k = vec::PerspectiveScale(eye[2], p[2]);
    out[0] = eye[0] + p[0] * k - dest[0];
    out[1] = eye[1] + p[1] * k - dest[1];
    return 1;
}

int32_t KyPathTo3D(KyPath *path, const Path3DParams *params) {
    if (!path || !params) return 0;
    p3d::ProjectList(path, p3d::CameraOf(*params));
    return 1;
}

int32_t KyPathGet3DMiniMaxRect(KyPath *path, const Path3DParams *params, double frontZ, double backDepth,
                               Y32Rect *rect) {
    if (!path || !params || !rect) return 0;
    return p3d::ProjectedBox(path, p3d::CameraOf(*params), frontZ, backDepth, rect) ? 1 : 0;
}

Y32_END_C
