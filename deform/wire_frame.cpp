// deform/wire_frame.cpp - preview of a projected (and extruded) path.
//
// Drawn on the host's device context in whatever pen and raster operation
// it selected, so an exclusive-or preview drawn twice disappears. Each
// segment draws its front edge, then (with a depth) the edge joining front
// and back at its end node and its back edge, back towards its start:
//
//   MoveToEx(front start) LineTo(front end) LineTo(back end) LineTo(back start)
//
// curves the same with PolyBezierTo, the back curve with its control points
// in reverse order.
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "core/view.h"
#include "deform/projection3d.h"
#include "y32path/deform.h"
#include "y32path/gdi.h"

namespace {

// Zooms below 1 by more than this truncate x * zoom; others round the
// pixel centre, (x + 0.5) * zoom.
constexpr double kZoomOutThreshold = 1.0 - 0.00001;

POINT ToWindow(const CoordStruct *v, vec::Vec2 p) {
    double zx, zy;
    if (v->zoom < kZoomOutThreshold) {
        zx = p.x * v->zoom;
        zy = p.y * v->zoom;
    } else {
        zx = (p.x + 0.5) * v->zoom;
        zy = (p.y + 0.5) * v->zoom;
    }
    return POINT{view::Clamp32(int64_t{view::TruncToInt(zx)} - (int64_t{v->scrollX} - v->left)),
                 view::Clamp32(int64_t{view::TruncToInt(zy)} - (int64_t{v->scrollY} - v->top))};
}

struct Projector {
    p3d::Camera cam;
    const CoordStruct *view;
    double back_z;
    POINT Front(FIXED x, FIXED y) const { return At(x, y, 0.0); }
    POINT Back(FIXED x, FIXED y) const { return At(x, y, back_z); }
    POINT At(FIXED x, FIXED y, double z) const {
        return ToWindow(view, p3d::Project(cam, fx::ToDouble(x), fx::ToDouble(y), z));
    }
};

void DrawRecord(HDC hdc, const KyPath *r, const Projector &pr, bool extruded) {
    path::ForEachSegment(r, [&](const path::Segment &s) {
        const int n = s.kind == path::Segment::kLine ? 2 : 4;
        POINT front[4], back[4];
        for (int i = 0; i < n; ++i) {
            front[i] = pr.Front(s.x[i], s.y[i]);
            if (extruded) back[i] = pr.Back(s.x[i], s.y[i]);
        }
        MoveToEx(hdc, front[0].x, front[0].y, nullptr);
        if (n == 2) {
            LineTo(hdc, front[1].x, front[1].y);
            if (!extruded) return;
            LineTo(hdc, back[1].x, back[1].y);
            LineTo(hdc, back[0].x, back[0].y);
        } else {
            PolyBezierTo(hdc, front + 1, 3);
            if (!extruded) return;
            LineTo(hdc, back[3].x, back[3].y);
            const POINT reversed[3] = {back[2], back[1], back[0]};
            PolyBezierTo(hdc, reversed, 3);
        }
    });
}

}  // namespace

Y32_BEGIN_C

int32_t KyPath3DWireFrame(HDC hdc, KyPath *path, int32_t halfWidth, int32_t halfHeight, CoordStruct *view,
                          Path3DParams *params, double depth) {
    if (!hdc || !path || !view || !params) return 0;
    if (!p3d::CornersInFront(*params, halfWidth, halfHeight)) {
        // Turned so far that part of the picture is behind the eye: fall
        // back to the last record that was fine, once. If that one fails
        // too (a larger picture), there is nothing sound to draw.
        Path3DParams last;
        if (!p3d::LastAccepted(&last) || !p3d::CornersInFront(last, halfWidth, halfHeight)) return 0;
        *params = last;
    }
    p3d::SetLastAccepted(*params);

    Projector pr{p3d::CameraOf(*params), view, -depth};
    for (const KyPath *r = PathFirst(path); r; r = r->next) DrawRecord(hdc, r, pr, depth != 0.0);
    return 1;
}

Y32_END_C
