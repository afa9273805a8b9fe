#include "tools/kypath/scene3d.h"

#include <cstring>

#include "core/vec.h"

namespace kypath {

Scene3d LookAt(const Y32Rect &box, double distance, double fov, const double degrees[3]) {
    Scene3d s;
    s.camera.centreX = (box.left + box.right) * 32768;  // box centre, 16.16
    s.camera.centreY = (box.top + box.bottom) * 32768;
    s.camera.distance = distance;
    s.camera.fieldOfView = fov;
    // Row vectors: p * Rx * Ry * Rz.
    vec::Identity3X3(s.camera.rotation);
    const double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
        double r[9], sn, cs;
        vec::Identity3X3(r);
        vec::SinCosDeg(degrees[k], &sn, &cs);
        vec::VThitaGetMatrix(sn, cs, axes[k], r);
        vec::Matrix3X3(s.camera.rotation, r, s.camera.rotation);
    }
    s.params.centreX = s.camera.centreX;
    s.params.centreY = s.camera.centreY;
    s.params.distance = s.camera.distance;
    s.params.fieldOfView = s.camera.fieldOfView;
    std::memcpy(s.params.matrix, s.camera.rotation, sizeof s.params.matrix);
    return s;
}

bool DrawWireFrame(KyPath *figure, const Scene3d &scene, const Y32Rect &box, const Y32Rect &picture, double depth,
                   std::vector<uint8_t> *rgb) {
    const int32_t w = picture.right - picture.left, h = picture.bottom - picture.top;
    if (w <= 0 || h <= 0) return false;
    HDC dc = y32CreateMemoryDC(w, h, 24);
    if (!dc) return false;
    struct DcOwner {
        HDC dc;
        ~DcOwner() { y32DeleteMemoryDC(dc); }
    } owner{dc};
    Y32DcBits bits{};
    y32GetMemoryDCBits(dc, &bits);
    for (int32_t y = 0; y < h; ++y) std::memset(bits.bits + static_cast<size_t>(y) * bits.strideBytes, 0xFF, w * 3);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    CoordStruct view{};
    view.right = w;
    view.bottom = h;
    view.scrollX = picture.left;
    view.scrollY = picture.top;
    view.zoom = 1.0;
    Path3DParams params = scene.params;
    if (!KyPath3DWireFrame(dc, figure, (box.right - box.left) / 2, (box.bottom - box.top) / 2, &view, &params, depth))
        return false;
    rgb->assign(static_cast<size_t>(w) * h * 3, 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t *px = bits.bits + static_cast<size_t>(y) * bits.strideBytes + x * 3;
            uint8_t *q = &(*rgb)[(static_cast<size_t>(y) * w + x) * 3];
            q[0] = px[2];
            q[1] = px[1];
            q[2] = px[0];
        }
    return true;
}

}  // namespace kypath
