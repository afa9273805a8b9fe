// deform/wrap_presets_shapes.cpp - the circle and wave baselines.
//
// Each quarter circle is one cubic from one axis point to the next with its
// handles k r along the tangents at both ends (k = 0.5522847, the usual
// four-arc constant: the midpoint lies on the circle). Coordinates are
// built in doubles and stored once (truncated to 16.16), so every point
// of the circle is exact for whole-pixel centres and radii.
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "deform/wrap_presets.h"
#include "y32path/edit.h"

namespace wrap_preset {
namespace {

constexpr int32_t kLineWaveNoMemory = 3350;

struct Writer {
    KyPath *p;
    int32_t n = 0;
    void Put(uint16_t type, double x, double y) {
        PathPoint &pt = path::Points(p)[n++];
        pt.type = type;
        pt.x = fx::FromDouble(x);
        pt.y = fx::FromDouble(y);
    }
    // A quarter from (ax, ay) to (bx, by); the handles leave a along
    // (adx, ady) and reach b along (bdx, bdy), both unit axis directions.
    void Quarter(double ax, double ay, double adx, double ady, double bx, double by, double bdx, double bdy,
                 double kr, uint16_t last) {
        Put(PT_BEZIERTO, ax + adx * kr, ay + ady * kr);
        Put(PT_BEZIERTO, bx - bdx * kr, by - bdy * kr);
        Put(last, bx, by);
    }
};

KyPath *NewShape(int32_t line) {
    auto *p = static_cast<KyPath *>(mem::PathAlloc(path::kNewRecordBytes));
    if (!p) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, line);
        return nullptr;
    }
    p->count = kShapePoints;
    return p;
}

}  // namespace

KyPath *MakeCircle(double cx, double cy, double r, CircleStart start, int32_t report_line) {
    KyPath *p = NewShape(report_line);
    if (!p) return nullptr;
    const double kr = kHandle * r;
    Writer w{p};
    // The four axis points in running order and the direction of travel
    // through each (y grows downwards).
    struct Axis {
        double x, y, dx, dy;
    };
    const Axis bottom{cx, cy + r, -1, 0}, left{cx - r, cy, 0, start == CircleStart::kBottom ? -1.0 : 1.0},
        top{cx, cy - r, 1, 0}, right{cx + r, cy, 0, start == CircleStart::kBottom ? 1.0 : -1.0};
    const Axis bottom_rev{cx, cy + r, 1, 0}, top_rev{cx, cy - r, -1, 0};
    const Axis order_bottom[5] = {bottom, left, top, right, bottom};
    const Axis order_top[5] = {top_rev, left, bottom_rev, right, top_rev};
    const Axis *order = start == CircleStart::kBottom ? order_bottom : order_top;
    w.Put(PT_MOVETO, order[0].x, order[0].y);
    for (int i = 0; i < 4; ++i) {
        const Axis &a = order[i], &b = order[i + 1];
        w.Quarter(a.x, a.y, a.dx, a.dy, b.x, b.y, b.dx, b.dy, kr,
                  i == 3 ? PT_BEZIERTO | PT_CLOSEFIGURE : PT_BEZIERTO);
    }
    p->shape = 1;
    return p;
}

KyPath *MakeWave(int32_t cx, int32_t cy, double r) {
    KyPath *p = NewShape(kLineWaveNoMemory);
    if (!p) return nullptr;
    const double kr = kHandle * r, x = cx, y = cy;
    Writer w{p};
    w.Put(PT_MOVETO, x - 2 * r, y);
    w.Quarter(x - 2 * r, y, 0, -1, x - r, y - r, 1, 0, kr, PT_BEZIERTO);
    w.Quarter(x - r, y - r, 1, 0, x, y, 0, 1, kr, PT_BEZIERTO);
    w.Quarter(x, y, 0, 1, x + r, y + r, 1, 0, kr, PT_BEZIERTO);
    w.Quarter(x + r, y + r, 1, 0, x + 2 * r, y, 0, -1, kr, PT_BEZIERTO);
    KyPathScaleCentered(p, kWaveScaleX, kWaveScaleY, nullptr);
    return p;
}

}  // namespace wrap_preset
