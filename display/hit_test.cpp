// display/hit_test.cpp - the hit-test engine and the overlay probe.
#include "display/hit_test.h"

#include <algorithm>
#include <cmath>

#include "core/bezier_nearest.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"

namespace hit {

namespace {

using vec::Vec2;

// A parameter in [0, 1] as a 16-bit fraction, truncated.
uint16_t ParamOf(double t) {
    if (!(t > 0.0)) return 0;
    if (t >= 1.0) return 65535;
    return static_cast<uint16_t>(t * 65535.0);
}

bool WithinGrownBox(const bez::Box &b, const Probe &q) {
    return q.x >= b.min_x - q.tol && q.x <= b.max_x + q.tol && q.y >= b.min_y - q.tol && q.y <= b.max_y + q.tol;
}

}  // namespace

bool NodeTest(Vec2 node, const Probe &q) { return std::fabs(q.x - node.x) < q.tol && std::fabs(q.y - node.y) < q.tol; }

bool LineTest(Vec2 a, Vec2 b, const Probe &q, uint16_t *param) {
    const Vec2 m{q.x, q.y};
    Vec2 d, v;
    vec::Sub(&b, &a, &d);
    vec::Sub(&m, &a, &v);
    if (vec::Length(&d) < kShortLine) {
        if (vec::Length(&v) > q.tol) return false;
        *param = kShortLineParam;
        return true;
    }
    const bez::Box box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    if (!WithinGrownBox(box, q)) return false;
    vec::Projection pr;
    vec::Project(&v, &d, &pr);
    if (pr.rest_length > q.tol) return false;
    // The grown box lets a point a little beyond either end through; its
    // foot lies outside the segment, and the parameter is held at the end
    // it passed rather than running past 65535 or mirroring to the front.
    *param = ParamOf(vec::Dot(&v, &d) / vec::Dot(&d, &d));
    return true;
}

bool CurveTest(const bez::Cubic &c, const Probe &q, uint16_t *param) {
    // The curve lies within its control box; outside the grown box no
    // point of it can be near enough, and the root finding is spared.
    if (!WithinGrownBox(bez::ControlBox(c), q)) return false;
    const bez::NearestPoint n = bez::NearestPointOnCubic(c, Vec2{q.x, q.y});
    if (!(n.distance <= q.tol)) return false;
    *param = ParamOf(n.t);
    return true;
}

bool TestRecord(KyPath *p, const Probe &q, Hit *out) {
    // Rotated rectangles and extentless entries are drawn by nobody, and
    // are not hit either.
    if (path::IsRotatedRect(p) || path::HasNoExtent(p)) return false;
    // Testing from the last segment backwards and stopping at the first
    // hit gives the same answer as testing forwards and keeping the last
    // segment that hits, which needs no list of segments.
    bool found = false;
    Hit h;
    path::ForEachSegment(p, [&](const path::Segment &s) {
        const bez::Cubic c = bez::FromSegment(s);
        const Vec2 end = c.p[3];
        uint16_t param = 0;
        if (NodeTest(end, q)) {
            h = Hit{p, s.end, 0, true};
        } else if (NodeTest(c.p[0], q)) {
            h = Hit{p, s.start, 0, true};
        } else if (!q.inside_client) {
            return;
        } else if (s.kind == path::Segment::kLine ? LineTest(c.p[0], end, q, &param) : CurveTest(c, q, &param)) {
            h = Hit{p, s.start, param, false};
        } else {
            return;
        }
        found = true;
    });
    if (found) *out = h;
    return found;
}

bool TestList(KyPath *head, const Probe &q, Hit *out) {
    if (!head) return false;
    KyPath *tail = PathLast(head);
    if (tail->flags & KPF_LASTMARK) return TestRecord(tail, q, out);
    for (int pass = 0; pass < 2; ++pass) {
        const bool want_selected = pass == 0;
        for (KyPath *r = head; r; r = r->next)
            if (((r->flags & KPF_SELECTED) != 0) == want_selected && TestRecord(r, q, out)) return true;
    }
    return false;
}

bool OverlayNear(const view::OverlayExtent &ov, int32_t wx, int32_t wy) {
    if (ov.empty()) return false;
    const int64_t x0 = std::max<int64_t>(int64_t{wx} - 4, 0), x1 = std::min<int64_t>(int64_t{wx} + 3, ov.width - 1);
    const int64_t y0 = std::max<int64_t>(int64_t{wy} - 4, 0), y1 = std::min<int64_t>(int64_t{wy} + 3, ov.height - 1);
    for (int64_t y = y0; y <= y1; ++y) {
        const uint8_t *row = ov.bits + y * ov.stride;
        for (int64_t x = x0; x <= x1; ++x)
            if (row[x] & 0x3F) return true;
    }
    return false;
}

}  // namespace hit
