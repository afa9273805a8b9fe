// edit/resize_slant_rotate.cpp - the free transform of the host's transform
// tool, and the handle corners it shows while the user drags.
//
// The transform runs on the whole table list: shift the origin to (0, 0),
// scale, rotate about (0, 0), shift to (dx, dy). The handle query applies
// the same steps to the four corners of the bounds only, so the handles sit
// exactly where the corners of the transformed path will land.
#include <cmath>

#include "core/bounds.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "edit/transform.h"

namespace {

// Wrap baselines and envelope outlines are edited through their own tools;
// a free transform of their chain would tear the attachment apart.
constexpr uint32_t kRefusedFlags = KPF_LASTMARK | KPF_ENVELOPE1 | KPF_ENVELOPE2;
// Text keeps its top-left fixed whatever handle is dragged.
constexpr uint32_t kTextOriginFlag = 0x40000000u;
// pi as the transform has always stored it; the handles must agree with it.
constexpr double kPi = 3.14159;
constexpr double kOneOver180 = 0.005555555555555556;

bool Refused(const KyPath *head) {
    for (const KyPath *r = head; r; r = r->next)
        if (r->flags & kRefusedFlags) return true;
    return false;
}

// The image-unit box of the whole list, seeded at the head's point 0 as
// every box query is (a head without points starts from the first point
// any record contributes).
bounds::DoubleRect ListBox(const KyPath *head) {
    bounds::Extent e;
    if (head->count > 0) e = bounds::SeedAtFirstPoint(head, bounds::Units::kImage);
    bounds::Accumulate(head, bounds::Cover::kFollowing, bounds::Units::kImage, e);
    if (e.empty) return bounds::DoubleRect{0, 0, 0, 0};
    return bounds::DoubleRect{e.minX, e.minY, e.maxX, e.maxY};
}

struct Setup {
    bounds::DoubleRect box;
    double ox, oy;
    double sx, sy;
    double theta;
};

Setup Prepare(const KyPath *head, const KyPathRSRParams *params, const KyPathRSRHandle *handle) {
    Setup s{};
    s.box = ListBox(head);
    if (!params->anchored || (head->flags & kTextOriginFlag)) {
        s.ox = s.box.minX;
        s.oy = s.box.minY;
    } else if (handle) {
        if (handle->kind & 1u) {
            if (handle->axis == 0) s.ox = s.box.maxX;
            else s.oy = s.box.maxY;
        } else if (handle->kind & 2u) {
            if (handle->axis == 0) s.ox = (s.box.maxX - s.box.minX) * 0.5 + s.box.minX;
            else s.oy = (s.box.maxY - s.box.minY) * 0.5 + s.box.minY;
        }
    }
    s.sx = params->sx;
    s.sy = params->sy == 0.0 ? params->sx : params->sy;
    s.theta = kPi * params->angle * kOneOver180;
    return s;
}

// Every record of the list, not only the selection or group of the head:
// the box, the scale and the rotation all cover the whole list, so the
// shifts must too or records would be scaled about different origins.
void MoveList(KyPath *head, FIXED dx, FIXED dy) {
    if (dx == 0 && dy == 0) return;
    for (KyPath *r = head; r; r = r->next) edit::MoveRecord(r, dx, dy);
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathResizeSlantRotate(KyPath *p, const KyPathRSRParams *params, const KyPathRSRHandle *handle) {
    if (!p || !params) return 0;
    KyPath *head = PathFirst(p);
    if (Refused(head)) return 0;
    Setup s = Prepare(head, params, handle);
    head->shape = 0;  // no longer the primitive it was built as
    MoveList(head, fx::FromDouble(-s.ox), fx::FromDouble(-s.oy));
    KyPathSize(head, s.sx, s.sy);
    if (params->angle != 0.0) {
        double c = std::cos(s.theta), sn = std::sin(s.theta);
        for (KyPath *r = head; r; r = r->next) edit::RotateRecord(r, c, sn);
    }
    MoveList(head, fx::FromDouble(params->dx), fx::FromDouble(params->dy));
    return 1;
}

int32_t KyPathGetRSRHandle(KyPath *p, const KyPathRSRParams *params, const KyPathRSRHandle *handle,
                           FIXED *corners) {
    if (!p || !params || !corners) return 0;
    KyPath *head = PathFirst(p);
    if (Refused(head)) return 0;
    Setup s = Prepare(head, params, handle);
    double x0 = (s.box.minX - s.ox) * s.sx, y0 = (s.box.minY - s.oy) * s.sy;
    double x1 = (s.box.maxX - s.ox) * s.sx, y1 = (s.box.maxY - s.oy) * s.sy;
    double pts[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
    double c = std::cos(s.theta), sn = std::sin(s.theta);
    FIXED dx = fx::FromDouble(params->dx), dy = fx::FromDouble(params->dy);
    for (int k = 0; k < 4; ++k) {
        double x = pts[k][0], y = pts[k][1];
        if (params->angle != 0.0) {
            double rx = c * x - sn * y, ry = sn * x + c * y;
            x = rx;
            y = ry;
        }
        uint64_t packed = PtfxAdd(fx::FromDouble(x), fx::FromDouble(y), dx, dy);
        corners[2 * k] = static_cast<FIXED>(static_cast<uint32_t>(packed));
        corners[2 * k + 1] = static_cast<FIXED>(static_cast<uint32_t>(packed >> 32));
    }
    return 1;
}

Y32_END_C
