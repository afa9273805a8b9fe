// display/rect_select.cpp - marquee selection (KyPathRectClip) and its tests.
#include "display/rect_select.h"

#include <algorithm>
#include <cmath>

#include "core/bezier.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/point_walk.h"
#include "display/selection.h"
#include "y32path/display.h"

namespace marquee {

using vec::Vec2;

namespace {

bool InsideClosed(Vec2 p, const Rect &r) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }

// Sign of (p1 - p0) x (c - p0): which side of the segment's line c is on.
int Side(Vec2 p0, Vec2 p1, double cx, double cy) {
    const double cross = (p1.x - p0.x) * (cy - p0.y) - (p1.y - p0.y) * (cx - p0.x);
    return cross > 0.0 ? 1 : (cross < 0.0 ? -1 : 0);
}

// A rotated-rectangle record caught by its two defining corners, cut to
// whole pixels as the host stores them.
bool RotatedRectCaught(const KyPath *p, const Rect &r, bool segment_mode) {
    const PathPoint *pts = path::Points(p);
    const double x0 = std::trunc(fx::ToDouble(pts[0].x)), y0 = std::trunc(fx::ToDouble(pts[0].y));
    const double x1 = std::trunc(fx::ToDouble(pts[1].x)), y1 = std::trunc(fx::ToDouble(pts[1].y));
    const Vec2 corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (!segment_mode) {
        for (const Vec2 &c : corners)
            if (StrictlyInside(c, r)) return true;
        return false;
    }
    const Rect shape = Ordered(x0, y0, x1, y1);
    if (shape.left >= r.left && shape.right <= r.right && shape.top >= r.top && shape.bottom <= r.bottom) return true;
    if (shape.right < r.left || shape.left > r.right || shape.bottom < r.top || shape.top > r.bottom) return false;
    for (int k = 0; k < 4; ++k)
        if (SegmentHitsRect(corners[k], corners[(k + 1) % 4], r)) return true;
    return false;
}

}  // namespace

Rect Ordered(double x0, double y0, double x1, double y1) {
    return Rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

bool StrictlyInside(Vec2 p, const Rect &r) { return p.x > r.left && p.x < r.right && p.y > r.top && p.y < r.bottom; }

bool SegmentHitsRect(Vec2 p0, Vec2 p1, const Rect &r) {
    if (p0.x < r.left && p1.x < r.left) return false;
    if (InsideClosed(p0, r) && InsideClosed(p1, r)) return true;
    const bool overlaps = (p0.x <= r.right || p1.x <= r.right) && (p0.y >= r.top || p1.y >= r.top) &&
                          (p0.y <= r.bottom || p1.y <= r.bottom);
    if (!overlaps) return false;
    // The line passes beside the rectangle exactly when all four corners
    // lie strictly on one side of it; a corner on the line is a touch.
    const int s[4] = {Side(p0, p1, r.left, r.top), Side(p0, p1, r.right, r.top), Side(p0, p1, r.right, r.bottom),
                      Side(p0, p1, r.left, r.bottom)};
    const bool all_positive = s[0] > 0 && s[1] > 0 && s[2] > 0 && s[3] > 0;
    const bool all_negative = s[0] < 0 && s[1] < 0 && s[2] < 0 && s[3] < 0;
    return !(all_positive || all_negative);
}

bool BezierHitsRect(const Vec2 p[4], const Rect &r) {
    const bez::Cubic c{{p[0], p[1], p[2], p[3]}};
    const bez::Box b = bez::ControlBox(c);
    if (b.min_x >= r.left && b.max_x <= r.right && b.min_y >= r.top && b.max_y <= r.bottom) return true;
    if (b.max_x < r.left || b.min_x > r.right || b.max_y < r.top || b.min_y > r.bottom) return false;
    // One piece per 10 whole pixels of control polygon, at least 10. The
    // legs are truncated one by one before they are added.
    double legs = 0.0;
    for (int k = 0; k < 3; ++k) legs += std::trunc(vec::Distance(p[k].x, p[k].y, p[k + 1].x, p[k + 1].y));
    const double n = std::floor(legs / 10.0);
    // The box overlaps the rectangle, so the curve spans at most the
    // 16-bit coordinate range; the cap is a backstop for NaN input.
    const int32_t pieces = n < 10.0 ? 10 : static_cast<int32_t>(std::min(n, 1e6));
    // Points are made as they are needed, so no buffer can run out.
    Vec2 prev = p[0];
    for (int32_t k = 1; k <= pieces; ++k) {
        const Vec2 next = k == pieces ? p[3] : bez::PointAt(c, static_cast<double>(k) / pieces);
        if (SegmentHitsRect(prev, next, r)) return true;
        prev = next;
    }
    return false;
}

bool RecordCaught(const KyPath *p, const Rect &r, bool segment_mode) {
    if (path::IsRotatedRect(p)) return RotatedRectCaught(p, r, segment_mode);
    // A record without extent has nothing a rectangle could catch.
    if (path::HasNoExtent(p)) return false;
    bool caught = false;
    path::ForEachSegment(p, [&](const path::Segment &s) {
        if (caught) return;
        const bez::Cubic c = bez::FromSegment(s);
        if (!segment_mode) caught = StrictlyInside(c.p[0], r) || StrictlyInside(c.p[3], r);
        else if (s.kind == path::Segment::kLine) caught = SegmentHitsRect(c.p[0], c.p[3], r);
        else caught = BezierHitsRect(c.p, r);
    });
    return caught;
}

}  // namespace marquee

namespace {

bool AnySelected(const KyPath *head) {
    for (const KyPath *r = head; r; r = r->next)
        if (r->flags & KPF_SELECTED) return true;
    return false;
}

void MarkGroup(KyPath *p) {
    for (KyPath *m = selection::GroupFirst(p); m; m = path::GroupNext(m)) m->flags |= KPF_WORKMARK;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathRectClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PathTable *t, HDC hdc, CoordStruct *v,
                       int32_t flags, int32_t *changed) {
    if (changed) *changed = 0;
    constexpr int32_t kNothing = 2;
    PathGroup *g = table::CurrentGroup(t);
    const bool segment_mode = (flags & KYPATH_RECT_SEGMENTS) != 0;
    if (!segment_mode && !(flags & KYPATH_RECT_NODES)) return kNothing;
    if (!g || !g->first || !v || !(v->zoom > 0.0)) return kNothing;

    double img[4];
    KyPathRectWndToImage(img, Y32Rect{x0, y0, x1, y1}, v);
    const marquee::Rect rect = marquee::Ordered(img[0], img[1], img[2], img[3]);

    const bool report = (flags & KYPATH_RECT_REPORT) != 0;
    const bool replace = (flags & KYPATH_RECT_REPLACE) != 0;
    const bool add = (flags & KYPATH_RECT_ADD) != 0;
    const bool toggle = !replace && !add && (flags & KYPATH_RECT_TOGGLE) != 0;
    KyPath *head = PathFirst(g->first);
    bool changes = false;

    // Replacing drops the whole selection, which is a change in itself,
    // even when nothing is caught afterwards. A report changes nothing.
    if (replace && AnySelected(head)) {
        changes = true;
        if (!report) KyPathDeSelectAll(hdc, head, v, 1);
    }

    KyPath *tail = PathLast(head);
    KyPath *from = (tail->flags & KPF_LASTMARK) ? tail : head;
    bool caught_any = false;
    for (KyPath *r = from; r; r = r->next) {
        // A toggled chain is marked so that its other members, caught
        // later in the list, do not toggle it back.
        if (r->flags & KPF_WORKMARK) continue;
        if (!marquee::RecordCaught(r, rect, segment_mode)) continue;
        caught_any = true;
        const bool selected = (r->flags & KPF_SELECTED) != 0;
        if (replace || add) {
            if (selected) continue;
            changes = true;
            if (!report) selection::SelectGroup(hdc, r, v);
        } else if (toggle) {
            changes = true;
            if (report) continue;
            if (selected) selection::DeselectGroup(hdc, r, v);
            else selection::SelectGroup(hdc, r, v);
            MarkGroup(r);
        }
    }
    for (KyPath *r = head; r; r = r->next) r->flags &= ~KPF_WORKMARK;

    if ((replace || add || toggle) && !report) {
        PathRebuildSelection(head, hdc, v);
        KyPathAssignSelectedPathBlindly(t, head);
    }
    if (changed) *changed = changes ? 1 : 0;
    return caught_any ? 1 : kNothing;
}

Y32_END_C
