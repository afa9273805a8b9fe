// edit/segment_convert.cpp - turning the picked segment into a curve or
// back into a line, and the questions the host asks before offering it.
//
// A line becomes a curve whose handles continue the neighbouring segments:
// where a neighbour meets the line at a moderate angle the handle lies on
// the bisector of the two directions, at the circle-arc handle length
// (0.5522847 of the chord, scaled by how much of the bisector runs along
// the chord); where the neighbour runs straight on or turns right back, the
// bisector says nothing useful and the handle is the chord direction turned
// by 30 degrees, a third of the chord long. A line with no neighbours
// becomes an arch of half its length.
#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/vec.h"
#include "edit/structure.h"
#include "y32path/core.h"
#include "y32path/edit.h"

namespace edit {

namespace {

using vec::Vec2;

constexpr double kDegPerRad = 57.29578;
constexpr double kRadPerDeg = 0.01745329237161969;
constexpr double kThird = 0.3333333333333333;
constexpr double kArcHandle = 0.5522847;
// Vectors this short have no direction.
constexpr double kNoLength = 0.0001;

uint16_t Kind(const PathPoint &pt) { return pt.type & PT_KINDMASK; }

Vec2 At(const PathPoint *pts, int32_t i) { return Vec2{fx::ToDouble(pts[i].x), fx::ToDouble(pts[i].y)}; }

Vec2 Unit(Vec2 v) {
    double len = std::sqrt(v.x * v.x + v.y * v.y);
    if (len <= kNoLength) return Vec2{0, 0};
    return Vec2{v.x / len, v.y / len};
}

double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }

// The angle between two directions in degrees; rounding can push the dot
// product of unit vectors a hair past 1, which acos would turn into NaN.
double AngleDeg(Vec2 a, Vec2 b) {
    double d = Dot(a, b);
    d = d > 1.0 ? 1.0 : (d < -1.0 ? -1.0 : d);
    return std::acos(d) * kDegPerRad;
}

Vec2 TurnedMinus30(Vec2 v) {
    double a = -30.0 * kRadPerDeg;
    double c = std::cos(a), s = std::sin(a);
    return Vec2{v.x * c - v.y * s, v.x * s + v.y * c};
}

// Offset of a handle from its end point. `neighbour` is the unit direction
// of the neighbouring segment and `chord_dir` that of the line, both taken
// in the direction of travel through the end.
Vec2 HandleOffset(Vec2 neighbour, Vec2 chord_dir, double chord_len) {
    double theta = AngleDeg(neighbour, chord_dir);
    if (theta < 30.0 || theta >= 150.0) {
        Vec2 r = TurnedMinus30(chord_dir);
        return Vec2{r.x * chord_len * kThird, r.y * chord_len * kThird};
    }
    Vec2 bis = Unit(Vec2{neighbour.x + chord_dir.x, neighbour.y + chord_dir.y});
    double len = std::fabs(Dot(bis, chord_dir) * chord_len * kArcHandle);
    return Vec2{bis.x * len, bis.y * len};
}

}  // namespace

int32_t SimplestSubpath(const KyPath *p) {
    if (!p) return 0;
    int32_t n = p->count;
    const PathPoint *pts = path::Points(p);
    bool lines = false, curves = false;
    for (int32_t i = 1; i < n; ++i) {
        if (Kind(pts[i]) == PT_BEZIERTO) curves = true;
        else if (Kind(pts[i]) == PT_LINETO) lines = true;
    }
    if (path::IsClosed(p)) {
        if (n < 4) return -1;
        if (n > 7) return 1;
        if (curves && !lines) return n == 7 ? 0 : -1;
        if (curves && lines) return n > 5 ? 1 : (n == 5 ? 0 : -1);
        return n == 4 ? 0 : 1;
    }
    if (n < 2) return -1;
    if (n > 4) return 1;
    if (curves) return n == 4 ? 0 : -1;
    return n == 2 ? 0 : 1;
}

bool FindPickedSegment(const KyPath *p, PickedSegment *out) {
    const PathPoint *pts = path::Points(p);
    int32_t i = 0;
    while (i < p->count - 1 && !(pts[i].type & PT_SEGSELECTED)) ++i;
    if (i >= p->count - 1) return false;
    out->start = i;
    out->kind = pts[i + 1].type & 0xFE;
    out->whole = false;
    path::ForEachSegment(p, [&](const path::Segment &s) {
        if (s.start != i) return;
        if (s.kind == path::Segment::kLine ? s.end == i + 1 : s.end == i + 3) out->whole = true;
    });
    return true;
}

void ConstructHandles(const KyPath *p, int32_t i, double c1[2], double c2[2]) {
    const PathPoint *pts = path::Points(p);
    int32_t n = p->count;
    int32_t e = i + 3;
    bool closed = path::IsClosed(p);

    // The segment ending at the start point, and the one leaving the end.
    int32_t before = -1, after = -1;
    if (i > 0) {
        if (Kind(pts[i]) == PT_BEZIERTO) before = i - 3;
        else if (Kind(pts[i]) == PT_LINETO) before = i - 1;
    } else if (closed) {
        before = Kind(pts[n - 1]) == PT_BEZIERTO ? n - 4 : n - 2;
    }
    if (e < n - 1) {
        if (Kind(pts[e + 1]) == PT_BEZIERTO) after = e + 3;
        else if (Kind(pts[e + 1]) == PT_LINETO) after = e + 1;
    } else if (closed) {
        after = Kind(pts[1]) == PT_BEZIERTO ? 3 : 1;
    }
    if (before < 0 || before >= n) before = -1;
    if (after < 0 || after >= n) after = -1;

    Vec2 P = At(pts, i), E = At(pts, e);
    Vec2 chord{E.x - P.x, E.y - P.y};
    double len = std::sqrt(chord.x * chord.x + chord.y * chord.y);
    Vec2 dir = Unit(chord);
    Vec2 C1 = P, C2 = E;

    if (before >= 0) {
        Vec2 A = At(pts, before);
        Vec2 off = HandleOffset(Unit(Vec2{P.x - A.x, P.y - A.y}), dir, len);
        C1 = Vec2{P.x + off.x, P.y + off.y};
    }
    if (after >= 0) {
        Vec2 N = At(pts, after);
        Vec2 off = HandleOffset(Unit(Vec2{N.x - E.x, N.y - E.y}), dir, len);
        C2 = Vec2{E.x - off.x, E.y - off.y};
    }
    if (before >= 0 && after < 0) {
        C2 = Vec2{(C1.x + E.x) / 2, (C1.y + E.y) / 2};
    } else if (before < 0 && after >= 0) {
        C1 = Vec2{(P.x + C2.x) / 2, (P.y + C2.y) / 2};
    } else if (before < 0 && after < 0) {
        // An arch: its apex half the chord length off the chord's middle.
        Vec2 Q{(P.x + E.x) / 2 + dir.y * (len / 2), (P.y + E.y) / 2 - dir.x * (len / 2)};
        C1 = Vec2{(P.x + Q.x) / 2, (P.y + Q.y) / 2};
        C2 = Vec2{(Q.x + E.x) / 2, (Q.y + E.y) / 2};
    }
    c1[0] = C1.x;
    c1[1] = C1.y;
    c2[0] = C2.x;
    c2[1] = C2.y;
}

bool ConvertSelectedSegment(CoordStruct *view, PathTable *t, const Redraw &redraw, Y32Rect *changed) {
    if (changed) *changed = Y32Rect{0, 0, 0, 0};
    PathGroup *g = table::CurrentGroup(t);
    if (!g || !g->firstSelected) return false;
    KyPath *s = g->firstSelected;
    int32_t sel = 3, grp = 3;
    KyPathInfo(s, &sel, &grp);
    if (sel != 1 || grp != 0 || !(s->flags & KPF_HASSELSEGMENT)) return false;
    PickedSegment seg;
    if (!FindPickedSegment(s, &seg)) return false;

    Y32Rect hidden = CallDraw(redraw.hide_selected_segments, view, s);
    int32_t i = seg.start;
    bool was_first = g->first == s;
    const uintptr_t old_address = reinterpret_cast<uintptr_t>(s);
    KyPath *p = s;

    if (seg.whole && seg.kind == PT_LINETO) {
        int32_t old_count = p->count;
        PathPoint *unused;
        if (!PathReserve(&p, &unused, 2)) {
            // Put back what was erased: the record is as it was.
            Y32Rect drawn = CallDraw(redraw.draw_selected_segments, view, s);
            if (changed) *changed = UnionRect(hidden, drawn);
            Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitSegmentConvert);
            return false;
        }
        PathPoint *pts = path::Points(p);
        std::memmove(&pts[i + 3], &pts[i + 1], static_cast<size_t>(old_count - i - 1) * sizeof(PathPoint));
        pts[i + 1] = pts[i];
        pts[i + 2] = pts[i + 3];
        pts[i + 1].type = PT_BEZIERTO;
        pts[i + 2].type = PT_BEZIERTO;
        pts[i + 3].type = static_cast<uint16_t>((pts[i + 3].type & ~PT_KINDMASK) | PT_BEZIERTO);
        double c1[2], c2[2];
        ConstructHandles(p, i, c1, c2);
        pts[i + 1].x = fx::FromDouble(c1[0]);
        pts[i + 1].y = fx::FromDouble(c1[1]);
        pts[i + 2].x = fx::FromDouble(c2[0]);
        pts[i + 2].y = fx::FromDouble(c2[1]);
    } else if (seg.whole && seg.kind == PT_BEZIERTO) {
        PathPoint *pts = path::Points(p);
        std::memmove(&pts[i + 1], &pts[i + 3], static_cast<size_t>(p->count - i - 3) * sizeof(PathPoint));
        p->count -= 2;
        pts[i + 1].type = static_cast<uint16_t>((pts[i + 1].type & ~PT_KINDMASK) | PT_LINETO);
    } else {
        Y32Rect drawn = CallDraw(redraw.draw_selected_segments, view, s);
        if (changed) *changed = UnionRect(hidden, drawn);
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitSegmentConvert);
        return false;
    }

    p->shape = 0;
    if (reinterpret_cast<uintptr_t>(p) != old_address) {
        RelinkMovedRecord(p);
        if (was_first) KyPathAssignActivePath(t, p);
        else KyPathAssignSelectedPath(t, p);
    }
    Y32Rect drawn = CallDraw(redraw.draw_selected_segments, view, p);
    if (changed) *changed = UnionRect(hidden, drawn);
    return true;
}

}  // namespace edit

Y32_BEGIN_C

int32_t KyPathIsSimplestSubpath(KyPath *p) { return edit::SimplestSubpath(p); }

int32_t KyPathSelectedSegmentCanBeConverted(KyPath *p) {
    if (!p || !(p->flags & KPF_HASSELSEGMENT)) return 0;
    edit::PickedSegment seg;
    if (!edit::FindPickedSegment(p, &seg) || !seg.whole) return 0;
    if (seg.kind == PT_LINETO) return 1;
    if (seg.kind != PT_BEZIERTO) return 0;
    int32_t simplest = edit::SimplestSubpath(p);
    if (simplest == 1) return 1;
    if (simplest == 0) return path::IsClosed(p) ? (p->count == 7 ? 1 : 0) : (p->count == 4 ? 1 : 0);
    return 0;
}

Y32_END_C
