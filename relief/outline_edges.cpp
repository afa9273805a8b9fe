// relief/outline_edges.cpp - numbered segments and tagged edges of a chain.
#include "relief/outline_edges.h"

#include <algorithm>
#include <limits>

#include "core/path_record.h"

namespace relief {

bool BuildOutline(const KyPath *head, const raster::Mapping &frame, Outline *out) {
    int64_t total = 0;
    for (const KyPath *p = head; p; p = path::GroupNext(p)) total += p->count > 0 ? p->count : 0;
    if (total > INT32_MAX / 2 || !out->segments.Allocate(static_cast<size_t>(total), true)) return false;
    out->edges.Clear();
    int32_t base = 0;
    bool ok = true;
    for (const KyPath *p = head; p && ok; p = path::GroupNext(p)) {
        path::ForEachSegment(p, [&](const path::Segment &s) {
            OutlineSegment &seg = out->segments[static_cast<size_t>(base + s.start)];
            bool line = s.kind == path::Segment::kLine;
            seg.kind = line ? 1 : 2;
            int n = line ? 2 : 4;
            for (int i = 0; i < n; ++i) seg.c.p[i] = Vec2{frame.X(s.x[i]), frame.Y(s.y[i])};
        });
        raster::ForEachEdgeWithParams(
            p, frame, [&](double x0, double y0, double x1, double y1, int32_t first, double t0, double t1) {
                if (ok) ok = out->edges.Push(raster::TaggedEdge{x0, y0, x1, y1, t0, t1, base + first});
            });
        base += p->count > 0 ? p->count : 0;
    }
    return ok;
}

bool FindVisibleStretches(const raster::CrossingLists &rows, const raster::CrossingLists &cols, Outline *out) {
    const size_t n = out->segments.Size();
    out->visible.Clear();
    // Per segment: how many hidden and visible crossings it has.
    Scratch<uint32_t> hidden, shown;
    if (!hidden.Allocate(n, true) || !shown.Allocate(n, true)) return false;
    auto each = [&](auto &&fn) {
        for (const raster::CrossingLists *lists : {&rows, &cols})
            for (uint32_t k = 0; k < lists->lines; ++k)
                for (const raster::TaggedCrossing *c = lists->Begin(k); c < lists->End(k); ++c) fn(*c);
    };
    each([&](const raster::TaggedCrossing &c) { ++(c.hidden ? hidden : shown)[static_cast<size_t>(c.segment)]; });
    // The crossings of the partly buried segments, grouped by segment.
    Scratch<uint32_t> start;
    if (!start.Allocate(n + 1, true)) return false;
    for (size_t i = 0; i < n; ++i) {
        bool mixed = hidden[i] && shown[i];
        start[i + 1] = start[i] + (mixed ? hidden[i] + shown[i] : 0);
    }
    if (start[n] == 0) return true;
    struct Sample {
        double t;
        bool hidden;
    };
    Scratch<Sample> samples;
    Scratch<uint32_t> fill;
    if (!samples.Allocate(start[n], false) || !fill.Allocate(n, false)) return false;
    for (size_t i = 0; i < n; ++i) fill[i] = start[i];
    each([&](const raster::TaggedCrossing &c) {
        size_t s = static_cast<size_t>(c.segment);
        if (start[s + 1] > start[s]) samples[fill[s]++] = Sample{c.t, c.hidden != 0};
    });
    for (size_t i = 0; i < n; ++i) {
        Sample *b = samples.Data() + start[i], *e = samples.Data() + start[i + 1];
        if (b == e) continue;
        std::sort(b, e, [](const Sample &x, const Sample &y) { return x.t < y.t; });
        OutlineSegment &seg = out->segments[i];
        seg.visible_first = static_cast<uint32_t>(out->visible.Size());
        bool in = !b->hidden;
        double from = 0.0;
        for (const Sample *p = b + 1; p < e; ++p) {
            if (p->hidden == p[-1].hidden) continue;
            double mid = 0.5 * (p[-1].t + p->t);
            if (in && !out->visible.Push(Stretch{from, mid})) return false;
            from = mid;
            in = !in;
        }
        if (in && !out->visible.Push(Stretch{from, 1.0})) return false;
        seg.visible_count = static_cast<uint32_t>(out->visible.Size()) - seg.visible_first;
    }
    return true;
}

namespace {

// How exactly a curve's nearest point is placed: a thousandth of a pixel,
// ten times finer than a relief needs, and far coarser than the root
// finder's own limit (which would cost twice as much for nothing seen).
constexpr double kCurveTolerance = 0.001;

bez::Nearest NearestOnWhole(const OutlineSegment &s, Vec2 p) {
    if (s.kind == 1) return bez::NearestOnLine(s.c.p[0], s.c.p[1], p);
    bez::NearestPoint n = bez::NearestPointOnCubic(s.c, p, kCurveTolerance);
    return bez::Nearest{n.t, n.point, n.distance * n.distance};
}

}  // namespace

bool EndVisible(const Outline &o, int32_t seg, bool last) {
    const OutlineSegment &s = o.segments[static_cast<size_t>(seg)];
    if (s.visible_count == 0) return true;
    const Stretch *v = o.visible.Data() + s.visible_first;
    return last ? v[s.visible_count - 1].t1 >= 1.0 : v[0].t0 <= 0.0;
}

bez::Nearest NearestOnSegment(const Outline &o, int32_t seg, Vec2 p) {
    const OutlineSegment &s = o.segments[static_cast<size_t>(seg)];
    bez::Nearest whole = NearestOnWhole(s, p);
    if (s.visible_count == 0) return whole;
    const Stretch *v = o.visible.Data() + s.visible_first;
    for (uint32_t i = 0; i < s.visible_count; ++i)
        if (whole.t >= v[i].t0 && whole.t <= v[i].t1) return whole;
    // The nearest point is buried: the nearest over the visible stretches.
    bez::Nearest best{0.0, {0, 0}, std::numeric_limits<double>::infinity()};
    for (uint32_t i = 0; i < s.visible_count; ++i) {
        const double t0 = v[i].t0, t1 = v[i].t1;
        bez::Nearest n;
        if (s.kind == 1) {
            Vec2 a = bez::Lerp(s.c.p[0], s.c.p[1], t0), b = bez::Lerp(s.c.p[0], s.c.p[1], t1);
            n = bez::NearestOnLine(a, b, p);
        } else {
            bez::Cubic left, piece;
            bez::Split(s.c, t1, &left, nullptr);
            if (t1 > 0.0) bez::Split(left, t0 / t1, nullptr, &piece);
            else piece = left;
            bez::NearestPoint q = bez::NearestPointOnCubic(piece, p, kCurveTolerance);
            n = bez::Nearest{q.t, q.point, q.distance * q.distance};
        }
        n.t = t0 + n.t * (t1 - t0);
        if (n.dist2 < best.dist2) best = n;
    }
    return best;
}

Vec2 SegmentNormal(const OutlineSegment &s, double t) {
    Vec2 d = s.kind == 1 ? Vec2{s.c.p[1].x - s.c.p[0].x, s.c.p[1].y - s.c.p[0].y} : bez::DerivativeAt(s.c, t);
    if (s.kind == 2 && d.x == 0.0 && d.y == 0.0) {
        // A curve whose control point sits on its end: the direction there
        // is that of the chord to the other control.
        d = t < 0.5 ? Vec2{s.c.p[2].x - s.c.p[0].x, s.c.p[2].y - s.c.p[0].y}
                    : Vec2{s.c.p[3].x - s.c.p[1].x, s.c.p[3].y - s.c.p[1].y};
    }
    double len = std::sqrt(d.x * d.x + d.y * d.y);
    if (!(len > 0.0)) return Vec2{0, 0};
    return Vec2{-d.y / len, d.x / len};
}

}  // namespace relief
