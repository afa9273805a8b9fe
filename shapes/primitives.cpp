// shapes/primitives.cpp - ellipses, rectangles, rounded and segmented
// rectangles, diamonds and scaled copies from a drag.
//
// Every built record is one private-heap block of exactly header + points
// + 2 spare bytes (it grows by the ordinary room rule when edited later),
// version 0, KPF_SELECTED and nothing else, no links. Point coordinates are
// computed in doubles from the frame and stored with fx::FromDouble; the
// expressions keep the order of operations the shapes have always had, so
// the same drag gives the same FIXED values bit for bit.
#include "shapes/primitives.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/bounds.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/record_transform.h"
#include "y32path/core.h"
#include "y32path/shapes.h"

// The node drawer lives in the display module, which sits beside this one,
// not below it. The reference is weak: in the shared library, where every
// module is linked, it is the real drawer; a program that links the shape
// module without the display module gets null and erases no nodes (it has
// none on screen). It keeps its default visibility so that it stays
// exported from the shared library.
Y32_BEGIN_C
Y32_API int32_t KyPathDrawNodes(HDC hdc, KyPath *path, CoordStruct *view) __attribute__((weak));
// The same for the segment unpicker, which takes a picked segment's
// highlight off the overlay when the selection goes.
Y32_API int32_t KyPathUnpickSegment(CoordStruct *view, PathTable *table, KyPath *path, Y32Rect *out)
    __attribute__((weak));
Y32_END_C

namespace shapes {

namespace {

constexpr uint16_t kMove = PT_MOVETO;
constexpr uint16_t kLine = PT_LINETO;
constexpr uint16_t kCurve = PT_BEZIERTO;
constexpr uint16_t kCloseLine = PT_LINETO | PT_CLOSEFIGURE;
constexpr uint16_t kCloseCurve = PT_BEZIERTO | PT_CLOSEFIGURE;

constexpr double kThird = 0.3333333333333333;
constexpr double kTwelfth = 0.08333333333333333;
constexpr double kLegTolerance = 0.0001;  // pixels

// Appends points to a record whose count is already set.
struct Writer {
    PathPoint *pts;
    int32_t n = 0;
    void Put(uint16_t type, double x, double y) {
        pts[n].type = type;
        pts[n].x = fx::FromDouble(x);
        pts[n].y = fx::FromDouble(y);
        ++n;
    }
    void Repeat(uint16_t type, int32_t from) {
        pts[n].type = type;
        pts[n].x = pts[from].x;
        pts[n].y = pts[from].y;
        ++n;
    }
};

KyPath *NewRecord(int32_t code) {
    int32_t count = PointCountFor(code);
    auto *p = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(count)));
    if (!p) return nullptr;
    p->count = count;
    p->flags = KPF_SELECTED;
    p->shape = code;
    return p;
}

// Corner radius of a rounded rectangle built fresh in a frame.
double RoundedRadius(int32_t code, const Frame &f) {
    if (code == kRoundedByProportion) {
        double m = std::min(f.hw, f.hh), big = std::max(f.hw, f.hh);
        return m <= big * kThird ? m : big * kThird;
    }
    return (code - kRoundedPercentFirst) * std::min(f.hw, f.hh) * 0.01;
}

// The seventeen points of a rounded rectangle: from the bottom of the left
// side's lower arc, clockwise on screen through the left, top and right
// sides, four quarter arcs joined by straight sides. With flip_x
// (flip_y) the construction runs from the other side: the shape comes out
// mirrored, as the record it replaces was. Selection bits already on the
// stored types are kept when keep_selection.
void WriteRounded(PathPoint *pts, const Frame &f, double r, bool flip_x, bool flip_y, bool keep_selection) {
    const double a = f.hw - r, b = f.hh - r, kr = kKappa * r;
    // Toward the left / right / top / bottom side by d1 and then d2.
    auto L = [&](double d1, double d2) { return flip_x ? f.cx + d1 + d2 : f.cx - d1 - d2; };
    auto R = [&](double d1, double d2) { return flip_x ? f.cx - d1 - d2 : f.cx + d1 + d2; };
    auto T = [&](double d1, double d2) { return flip_y ? f.cy + d1 + d2 : f.cy - d1 - d2; };
    auto B = [&](double d1, double d2) { return flip_y ? f.cy - d1 - d2 : f.cy + d1 + d2; };
    const struct {
        uint16_t type;
        double x, y;
    } layout[16] = {
        {kMove, L(a, 0), B(f.hh, 0)},    {kCurve, L(a, kr), B(f.hh, 0)}, {kCurve, L(f.hw, 0), B(b, kr)},
        {kCurve, L(f.hw, 0), B(b, 0)},   {kLine, L(f.hw, 0), T(b, 0)},   {kCurve, L(f.hw, 0), T(b, kr)},
        {kCurve, L(a, kr), T(f.hh, 0)},  {kCurve, L(a, 0), T(f.hh, 0)},  {kLine, R(a, 0), T(f.hh, 0)},
        {kCurve, R(a, kr), T(f.hh, 0)},  {kCurve, R(f.hw, 0), T(b, kr)}, {kCurve, R(f.hw, 0), T(b, 0)},
        {kLine, R(f.hw, 0), B(b, 0)},    {kCurve, R(f.hw, 0), B(b, kr)}, {kCurve, R(a, kr), B(f.hh, 0)},
        {kCurve, R(a, 0), B(f.hh, 0)},
    };
    constexpr uint16_t kSelectionBits = PT_SELECTED | PT_SEGSELECTED;
    Writer w{pts};
    for (const auto &e : layout) {
        uint16_t kept = keep_selection ? pts[w.n].type & kSelectionBits : 0;
        w.Put(static_cast<uint16_t>(e.type | kept), e.x, e.y);
    }
    uint16_t kept = keep_selection ? pts[16].type & kSelectionBits : 0;
    w.Repeat(static_cast<uint16_t>(kCloseLine | kept), 0);
}

void WriteEllipse(PathPoint *pts, const Frame &f) {
    const double kw = kKappa * f.hw, kh = kKappa * f.hh;
    const double left = f.Left(), right = f.Right(), top = f.Top(), bottom = f.Bottom();
    Writer w{pts};
    w.Put(kMove, f.cx, bottom);
    w.Put(kCurve, f.cx - kw, bottom);
    w.Put(kCurve, left, f.cy + kh);
    w.Put(kCurve, left, f.cy);
    w.Put(kCurve, left, f.cy - kh);
    w.Put(kCurve, f.cx - kw, top);
    w.Put(kCurve, f.cx, top);
    w.Put(kCurve, f.cx + kw, top);
    w.Put(kCurve, right, f.cy - kh);
    w.Put(kCurve, right, f.cy);
    w.Put(kCurve, right, f.cy + kh);
    w.Put(kCurve, f.cx + kw, bottom);
    w.Repeat(kCloseCurve, 0);
}

void WriteRectangle(PathPoint *pts, const Frame &f) {
    Writer w{pts};
    w.Put(kMove, f.Right(), f.Bottom());
    w.Put(kLine, f.Left(), f.Bottom());
    w.Put(kLine, f.Left(), f.Top());
    w.Put(kLine, f.Right(), f.Top());
    w.Repeat(kCloseLine, 0);
}

void WriteDiamond(PathPoint *pts, const Frame &f) {
    Writer w{pts};
    w.Put(kMove, f.cx, f.Bottom());
    w.Put(kLine, f.Left(), f.cy);
    w.Put(kLine, f.cx, f.Top());
    w.Put(kLine, f.Right(), f.cy);
    w.Repeat(kCloseLine, 0);
}

// Top and bottom edges as straight runs of four curves each, every point
// on its edge; the side edges are one line and the closing line.
void WriteSegmented(PathPoint *pts, const Frame &f) {
    // The step is stored as a double before use. x87 code would otherwise
    // keep the product in 80 bits, where 120 * 0.0833... is just below 10
    // rather than 10, and every point of a 120-pixel edge would land
    // 1/65536 pixel short of where every other build puts it.
    volatile double step = (f.hw + f.hw) * kTwelfth;
    const double s = step;
    const double left = f.Left(), right = f.Right(), top = f.Top(), bottom = f.Bottom();
    Writer w{pts};
    w.Put(kMove, left, top);
    for (int i = 1; i <= 11; ++i) w.Put(kCurve, left + i * s, top);
    w.Put(kCurve, right, top);
    w.Put(kLine, right, bottom);
    for (int i = 14; i <= 24; ++i) w.Put(kCurve, right - (i - 12) * s, bottom);
    w.Put(kCurve, left, bottom);
    w.Repeat(kCloseLine, 0);
}

template <class Fn>
void ForEachInList(KyPath *head, Fn &&fn) {
    for (KyPath *r = head; r;) {
        KyPath *next = r->next;
        fn(r);
        r = next;
    }
}

bounds::DoubleRect ListBox(KyPath *head) { return bounds::ImageBox(head, bounds::Cover::kFollowing); }

int32_t RoundHalfUp(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

}  // namespace

int32_t PointCountFor(int32_t code) {
    if (code == kEllipse) return 13;
    if (code == kSegmented) return 27;
    if (IsRoundedCode(code)) return 17;
    return 5;  // rectangle and diamond
}

bool DragFrame(const CoordStruct *view, const Y32Rect &drag, bool from_centre, Frame *out) {
    if (!view || !out) return false;
    // A zoom of 0, below 0 or not finite would put the shape at infinity
    // or mirror it; no view the host draws in has one.
    const double zoom = view->zoom;
    if (!(zoom > 0.0) || !std::isfinite(zoom)) return false;
    const int64_t w = std::llabs(int64_t{drag.right} - drag.left);
    const int64_t h = std::llabs(int64_t{drag.bottom} - drag.top);
    if (w == 0 || h == 0) return false;
    const double x = ((static_cast<double>(drag.left) - view->left) + view->scrollX) / zoom;
    const double y = ((static_cast<double>(drag.top) - view->top) + view->scrollY) / zoom;
    Frame f{x, y, static_cast<double>(w) / zoom, static_cast<double>(h) / zoom};
    if (!from_centre) {
        f.hw = f.hw / 2;
        f.hh = f.hh / 2;
        f.cx = drag.right > drag.left ? x + f.hw : x - f.hw;
        f.cy = drag.bottom > drag.top ? y + f.hh : y - f.hh;
    }
    *out = f;
    return true;
}

KyPath *BuildPrimitive(int32_t code, const Frame &f) {
    KyPath *p = NewRecord(code);
    if (!p) return nullptr;
    PathPoint *pts = path::Points(p);
    if (code == kEllipse) {
        WriteEllipse(pts, f);
    } else if (code == kRectangle) {
        WriteRectangle(pts, f);
    } else if (code == kSegmented) {
        WriteSegmented(pts, f);
    } else if (IsRoundedCode(code)) {
        WriteRounded(pts, f, RoundedRadius(code, f), false, false, false);
    } else {
        WriteDiamond(pts, f);
    }
    return p;
}

KyPath *ScaledCopy(KyPath *shape, const Frame &f, bool keep_aspect) {
    KyPath *head = nullptr;
    if (!shape || !KyPathDuplicatePtr(shape, &head) || !head) return nullptr;

    // One compound path. A record holding a stroke description has no group
    // slot to link through; such a path stays as it is (the box and the
    // moves below cover every record either way).
    bool holds_info = false;
    ForEachInList(head, [&](KyPath *r) { holds_info = holds_info || path::HasOutlineInfo(r); });
    if (!holds_info) PathGroupToEnd(head);

    // The box with its drawing margins (5 before, 6 after), as the shape
    // tools have always measured it; the margins come off again below.
    bounds::DoubleRect box = ListBox(head);
    const double width = (box.maxX + 6.0) - (box.minX - 5.0) - 10.0 - 1.0;
    const double height = (box.maxY + 6.0) - (box.minY - 5.0) - 10.0 - 1.0;
    // A path without width (a vertical line) or height has nothing to scale
    // on that axis; dividing by its zero extent would send every point to
    // infinity. That axis keeps its size.
    const bool has_w = width > 0.0 && std::isfinite(width);
    const bool has_h = height > 0.0 && std::isfinite(height);
    double sx = has_w ? (f.hw + f.hw) / width : 1.0;
    double sy = has_h ? (f.hh + f.hh) / height : 1.0;
    if (keep_aspect) {
        double s = has_w && has_h ? std::min(sx, sy) : (has_w ? sx : (has_h ? sy : 1.0));
        sx = sy = s;
    }
    if (sx != 1.0 || sy != 1.0) ForEachInList(head, [&](KyPath *r) { path::ScalePositions(r, sx, sy); });

    box = ListBox(head);
    const FIXED dx = fx::FromDouble(f.Left() - (box.minX - 5.0) - 5.0 - 0.5);
    const FIXED dy = fx::FromDouble(f.Top() - (box.minY - 5.0) - 5.0 - 0.5);
    if (dx != 0 || dy != 0) ForEachInList(head, [&](KyPath *r) { path::MovePositions(r, dx, dy); });

    // Every record selected, the selection list the table list; node and
    // segment picks of the source do not come along.
    ForEachInList(head, [](KyPath *r) { PathDeselectOne(r); });
    ForEachInList(head, [](KyPath *r) {
        r->flags |= KPF_SELECTED;
        r->selPrev = r->prev;
        r->selNext = r->next;
    });
    head->shape = kFreeForm;
    return head;
}

bool GetPrimitive(int32_t code, KyPath *shape, KyPath **out, const CoordStruct *view, bool from_centre,
                  bool keep_aspect, const Y32Rect *drag) {
    if (out) *out = nullptr;
    if (!out || !view || !drag) return false;
    Frame f;
    if (!DragFrame(view, *drag, from_centre, &f)) return false;
    KyPath *p = shape ? ScaledCopy(shape, f, keep_aspect) : BuildPrimitive(code, f);
    if (!p) return false;
    *out = p;
    return true;
}

bool AddPrimitive(HDC dc, int32_t code, KyPath *shape, PathTable *table, CoordStruct *view, bool from_centre,
                  bool keep_aspect, const Y32Rect *drag, NodeDrawer erase_nodes, SegmentUnpicker unpick) {
    if (!table || !view) return false;
    PathGroup *g = table::CurrentGroup(table);
    if (!g) return false;
    if (g->firstSelected) {
        KyPath *selected = g->firstSelected;
        if (erase_nodes && dc) {
            for (KyPath *r = PathFirst(selected); r; r = r->next)
                if (r->flags & KPF_SELECTED) erase_nodes(dc, r, view);
        }
        if (unpick) unpick(view, table, nullptr, nullptr);
        PathClearSelection(selected);
        KyPathAssignSelectedPath(table, nullptr);
    }
    KyPath *p = nullptr;
    if (!GetPrimitive(code, shape, &p, view, from_centre, keep_aspect, drag)) return false;
    if (!g->first) {
        KyPathAssignActivePath(table, p);
    } else {
        KyPath *last = PathLast(g->first);
        last->next = p;
        p->prev = last;
    }
    KyPathAssignSelectedPath(table, p);
    return true;
}

bool IsPrimitiveAsMade(const KyPath *p) {
    if (!p || p->shape == kFreeForm) return false;
    // A record whose points were added or taken away is no longer the
    // shape; readers of primitives index its points by the layout.
    if (p->count != PointCountFor(p->shape)) return false;
    if (IsRoundedCode(p->shape)) {
        const PathPoint *pts = path::Points(p);
        double legx = std::fabs(fx::ToDouble(pts[0].x) - fx::ToDouble(pts[3].x));
        double legy = std::fabs(fx::ToDouble(pts[0].y) - fx::ToDouble(pts[3].y));
        if (std::fabs(legx - legy) > kLegTolerance) return false;
    }
    return !p->next || (p->next->flags & (KPF_ENVELOPE1 | KPF_ENVELOPE2)) != 0;
}

bool GetRoundness(const KyPath *p, int32_t *percent, int32_t *radius) {
    if (!p) return false;
    if (!IsRoundedCode(p->shape) || p->count != PointCountFor(p->shape)) {
        if (percent) *percent = 50;
        if (radius) *radius = 0;
        return false;
    }
    const PathPoint *pts = path::Points(p);
    auto X = [&](int i) { return fx::ToDouble(pts[i].x); };
    auto Y = [&](int i) { return fx::ToDouble(pts[i].y); };
    if (p->shape == kRoundedByProportion) {
        double r = std::fabs(X(3) - X(0));
        double width = std::fabs(X(3) - X(12));
        // A shape mirrored upside down has its top below its bottom; its
        // height is still the distance between them.
        double height = std::fabs(Y(0) - Y(7));
        double half = std::min(width, height) * 0.5;
        // Clamped as a double first: a flat shape (half 0) would otherwise
        // turn an infinity or a NaN into an integer.
        double v = r * 100.0 / half + 0.5;
        int32_t pct = v != v ? 1 : (v >= 99.0 ? 99 : (v < 1.0 ? 1 : static_cast<int32_t>(v)));
        if (radius) *radius = static_cast<int32_t>(r + 0.5);
        if (percent) *percent = pct;
        return true;
    }
    if (percent) *percent = p->shape - kRoundedPercentFirst;
    if (radius) *radius = std::abs(static_cast<int32_t>(X(0) - X(3) + 0.5));
    return true;
}

bool SetRoundness(KyPath *p, int32_t percent, Y32Rect *bounds) {
    if (!p || !IsRoundedCode(p->shape) || p->count != PointCountFor(p->shape)) return false;
    const int32_t pct = std::clamp(percent, 1, 99);
    PathPoint *pts = path::Points(p);
    const double left = fx::ToDouble(pts[3].x), right = fx::ToDouble(pts[12].x);
    const double bottom = fx::ToDouble(pts[0].y), top = fx::ToDouble(pts[7].y);
    const double width = right - left, height = bottom - top;
    Frame f{(left + right) * 0.5, (top + bottom) * 0.5, std::fabs(width) * 0.5, std::fabs(height) * 0.5};
    const double r = pct * std::min(std::fabs(width), std::fabs(height)) * 0.005;
    WriteRounded(pts, f, r, width < 0.0, height < 0.0, true);
    p->shape = kRoundedPercentFirst + pct;
    if (bounds) {
        // Ordered, so that a mirrored shape does not report an empty
        // rectangle.
        *bounds = Y32Rect{RoundHalfUp(std::min(left, right)), RoundHalfUp(std::min(top, bottom)),
                          RoundHalfUp(std::max(left, right)), RoundHalfUp(std::max(top, bottom))};
    }
    return true;
}

}  // namespace shapes

Y32_BEGIN_C

int32_t KyPathAddPrimitive(HDC dc, int32_t kind, KyPath *shape, PathTable *table, CoordStruct *view,
                           int32_t fromCentre, int32_t keepAspect, const Y32Rect *drag) {
    return shapes::AddPrimitive(dc, kind, shape, table, view, fromCentre != 0, keepAspect != 0, drag,
                                &KyPathDrawNodes, &KyPathUnpickSegment)
               ? 1
               : 0;
}

int32_t KyPathGetPrimitive(int32_t kind, KyPath *shape, KyPath **out, CoordStruct *view, int32_t fromCentre,
                           int32_t keepAspect, const Y32Rect *drag) {
    return shapes::GetPrimitive(kind, shape, out, view, fromCentre != 0, keepAspect != 0, drag) ? 1 : 0;
}

int32_t KyPathPrimitive(KyPath **holder, int32_t code) {
    if (!holder || !*holder) return 0;
    (*holder)->shape = code;
    return 1;
}

int32_t IsOnlyPrimitive(KyPath *path) { return shapes::IsPrimitiveAsMade(path) ? 1 : 0; }

int32_t KyPathGetRectangleRoundness(KyPath *path, int32_t *percent, int32_t *radius) {
    return shapes::GetRoundness(path, percent, radius) ? 1 : 0;
}

int32_t KyPathSetRectangleRoundness(KyPath *path, int32_t percent, Y32Rect *bounds) {
    return shapes::SetRoundness(path, percent, bounds) ? 1 : 0;
}

Y32_END_C
