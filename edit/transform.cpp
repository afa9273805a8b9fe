// edit/transform.cpp - moves, sizes and rotations of whole paths.
//
// These draw nothing: the undo journal, the shape and text builders and the
// wrap and arrowhead code call them on paths that may not be on screen.
#include "edit/transform.h"

#include <cmath>

#include "core/bezier.h"
#include "core/bounds.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"

namespace edit {

namespace {

// FIXED addition with the 32-bit wrap of the stored format (no signed
// overflow in the arithmetic).
inline FIXED AddWrap(FIXED a, FIXED b) {
    return static_cast<FIXED>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The degree factors of the two rotations differ in their last digits;
// each is kept as it has always been so that rotated paths land on the
// same FIXED values.
constexpr double kCentreRotationRadPerDeg = 0.017453292222222222;

}  // namespace

void MoveRecord(KyPath *p, FIXED dx, FIXED dy) {
    path::ForEachPosition(p, [&](PathPoint &pt) {
        pt.x = AddWrap(pt.x, dx);
        pt.y = AddWrap(pt.y, dy);
    });
}

void MoveSubpathChain(KyPath *p, FIXED dx, FIXED dy, bool follow_groups) {
    if (!p || (dx == 0 && dy == 0)) return;
    // The starting record decides which list carries the move.
    bool along_selection = (p->flags & KPF_SELECTED) && !follow_groups;
    for (KyPath *r = p; r; r = along_selection ? r->selNext : path::GroupNext(r)) MoveRecord(r, dx, dy);
}

void ScaleRecord(KyPath *p, double sx, double sy) {
    path::ForEachPosition(p, [&](PathPoint &pt) {
        pt.x = fx::FromDouble(fx::ToDouble(pt.x) * sx);
        pt.y = fx::FromDouble(fx::ToDouble(pt.y) * sy);
    });
}

void RotateRecord(KyPath *p, double c, double s) {
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) {
        double x = fx::ToDouble(pts[i].x), y = fx::ToDouble(pts[i].y);
        pts[i].x = fx::FromDouble(x * c - y * s);
        pts[i].y = fx::FromDouble(x * s + y * c);
    }
}

}  // namespace edit

Y32_BEGIN_C

uint64_t PtfxAdd(FIXED x1, FIXED y1, FIXED x2, FIXED y2) {
    uint32_t x = static_cast<uint32_t>(x1) + static_cast<uint32_t>(x2);
    uint32_t y = static_cast<uint32_t>(y1) + static_cast<uint32_t>(y2);
    return (uint64_t{y} << 32) | x;
}

uint64_t PtfxSub(FIXED x1, FIXED y1, FIXED x2, FIXED y2) {
    uint32_t x = static_cast<uint32_t>(x1) - static_cast<uint32_t>(x2);
    uint32_t y = static_cast<uint32_t>(y1) - static_cast<uint32_t>(y2);
    return (uint64_t{y} << 32) | x;
}

int32_t KyPathMovePathsByPtfx(KyPath *p, FIXED dx, FIXED dy) {
    if (!p) return 0;
    edit::MoveSubpathChain(p, dx, dy, false);
    return 1;
}

int32_t KyPathMovePaths(KyPath *p, CoordStruct *view, int32_t wdx, int32_t wdy) {
    // A view without a usable zoom would turn the offset into infinities.
    if (!p || !view || !(view->zoom > 0.0) || !std::isfinite(view->zoom)) return 0;
    edit::MoveSubpathChain(p, fx::FromDouble(wdx / view->zoom), fx::FromDouble(wdy / view->zoom), false);
    return 1;
}

int32_t KyPathSize(KyPath *p, double sx, double sy) {
    if (!p) return 0;
    if (sy == 0.0) sy = sx;
    if (sx == 1.0 && sy == 1.0) return 1;
    for (KyPath *r = PathFirst(p); r; r = r->next) edit::ScaleRecord(r, sx, sy);
    return 1;
}

void KyPathScaleCentered(KyPath *p, double sx, double sy, int32_t *centre) {
    if (!p) return;
    Y32Rect box = bounds::RecordRect(p, fx::kOne);
    // Integer halves truncating toward zero, in 64 bits so that an extreme
    // box cannot overflow the sum.
    int32_t cx = static_cast<int32_t>((int64_t{box.left} + box.right) / 2);
    int32_t cy = static_cast<int32_t>((int64_t{box.top} + box.bottom) / 2);
    if (centre) {
        centre[0] = cx;
        centre[1] = cy;
    }
    if (sx == 1.0 && sy == 1.0) return;
    double ox = (1.0 - sx) * cx, oy = (1.0 - sy) * cy;
    PathPoint *pts = path::Points(p);
    for (int32_t i = 0; i < p->count; ++i) {
        pts[i].x = fx::FromDouble(fx::ToDouble(pts[i].x) * sx + ox);
        pts[i].y = fx::FromDouble(fx::ToDouble(pts[i].y) * sy + oy);
    }
}

void KyPathRotateAboutCenter(KyPath *p, double degrees) {
    if (!p || degrees == 0.0) return;
    KyPath *head = PathFirst(p);
    // The union starts from the first record that has points, not from the
    // inverted (10000, -10000) box: a path lying wholly beyond 10000 pixels
    // must turn about its own centre.
    bez::Box box{0, 0, 0, 0};
    bool any = false;
    for (KyPath *r = head; r; r = r->next) {
        if (r->count <= 0) continue;
        bez::Box b = bez::PointBounds(r);
        if (!any) {
            box = b;
            any = true;
            continue;
        }
        box.min_x = std::fmin(box.min_x, b.min_x);
        box.min_y = std::fmin(box.min_y, b.min_y);
        box.max_x = std::fmax(box.max_x, b.max_x);
        box.max_y = std::fmax(box.max_y, b.max_y);
    }
    if (!any) return;
    double cx = (box.min_x + box.max_x) * 0.5, cy = (box.min_y + box.max_y) * 0.5;
    double theta = degrees * edit::kCentreRotationRadPerDeg;
    double c = std::cos(theta), s = std::sin(theta);
    for (KyPath *r = head; r; r = r->next) {
        PathPoint *pts = path::Points(r);
        for (int32_t i = 0; i < r->count; ++i) {
            double x = fx::ToDouble(pts[i].x) - cx, y = fx::ToDouble(pts[i].y) - cy;
            pts[i].x = fx::FromDouble(x * c - y * s + cx);
            pts[i].y = fx::FromDouble(x * s + y * c + cy);
        }
    }
}

Y32_END_C
