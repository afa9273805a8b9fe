// relief/row_scan.cpp - nearest outline points through the crossing lists.
#include "relief/row_scan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/diag.h"

namespace relief {

namespace {

using raster::CrossingLists;
using raster::TaggedCrossing;

struct Candidate {
    double d2;  // squared distance; for a curve not measured yet, a lower bound of it
    Vec2 q;     // nearest point
    Vec2 v;     // q - pixel centre
    double t;
    int32_t seg;
    bool pending;  // a curve whose nearest point is still to be found
};

// Squared distance from p to the control box of a curve (the curve lies in
// it, so no point of the curve is nearer).
double BoxDistance2(const bez::Cubic &c, Vec2 p) {
    bez::Box b = bez::ControlBox(c);
    double dx = p.x < b.min_x ? b.min_x - p.x : (p.x > b.max_x ? p.x - b.max_x : 0.0);
    double dy = p.y < b.min_y ? b.min_y - p.y : (p.y > b.max_y ? p.y - b.max_y : 0.0);
    return dx * dx + dy * dy;
}

inline bool Nearer(const Candidate &a, const Candidate &b) { return a.d2 < b.d2 || (a.d2 == b.d2 && a.seg < b.seg); }

// The first crossing of the line at or after `value`, walked to from where
// the line's cursor stands (neighbouring pixels ask for nearly the same
// place, so the walk is a step or two), and the cursor left there.
const TaggedCrossing *Seek(const CrossingLists &lists, uint32_t line, uint32_t *cursor, double value) {
    const TaggedCrossing *b = lists.Begin(line), *e = lists.End(line);
    const TaggedCrossing *x = b + *cursor;
    while (x > b && x[-1].x >= value) --x;
    while (x < e && x->x < value) ++x;
    *cursor = static_cast<uint32_t>(x - b);
    return x;
}

// Visible crossings per pixel cell, summed: Count() tells in constant time
// whether a window holds any crossing at all.
class CellCounts {
  public:
    bool Build(const CrossingLists &rows, const CrossingLists &cols, uint32_t w, uint32_t h) {
        w_ = w;
        h_ = h;
        size_t stride = static_cast<size_t>(w) + 1;
        if (!sat_.Allocate(stride * (static_cast<size_t>(h) + 1), true)) return false;
        auto cell = [&](int64_t x, int64_t y) -> uint32_t & {
            return sat_[static_cast<size_t>(y + 1) * stride + static_cast<size_t>(x + 1)];
        };
        auto clampi = [](double v, uint32_t n) -> int64_t {
            if (!(v >= 0.0)) return 0;  // also NaN
            return v >= n - 1.0 ? static_cast<int64_t>(n) - 1 : static_cast<int64_t>(v);
        };
        if (w == 0 || h == 0) return true;
        for (uint32_t r = 0; r < rows.lines && r < h; ++r)
            for (const TaggedCrossing *c = rows.Begin(r); c < rows.End(r); ++c)
                if (!c->hidden) ++cell(clampi(c->x, w), r);
        for (uint32_t k = 0; k < cols.lines && k < w; ++k)
            for (const TaggedCrossing *c = cols.Begin(k); c < cols.End(k); ++c)
                if (!c->hidden) ++cell(k, clampi(c->x, h));
        for (uint32_t y = 1; y <= h; ++y)
            for (uint32_t x = 1; x <= w; ++x)
                sat_[y * stride + x] += sat_[y * stride + x - 1] + sat_[(y - 1) * stride + x] -
                                        sat_[(y - 1) * stride + x - 1];
        return true;
    }
    // Crossings in cells [x0, x1] x [y0, y1], clamped to the map.
    uint32_t Count(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const {
        x0 = std::max<int64_t>(x0, 0);
        y0 = std::max<int64_t>(y0, 0);
        x1 = std::min<int64_t>(x1, static_cast<int64_t>(w_) - 1);
        y1 = std::min<int64_t>(y1, static_cast<int64_t>(h_) - 1);
        if (x0 > x1 || y0 > y1) return 0;
        size_t stride = static_cast<size_t>(w_) + 1;
        auto at = [&](int64_t x, int64_t y) { return sat_[static_cast<size_t>(y) * stride + static_cast<size_t>(x)]; };
        return at(x1 + 1, y1 + 1) - at(x0, y1 + 1) - at(x1 + 1, y0) + at(x0, y0);
    }

  private:
    Scratch<uint32_t> sat_;
    uint32_t w_ = 0, h_ = 0;
};

Vec2 EndPoint(const OutlineSegment &s, bool last) { return last ? s.c.p[s.kind == 1 ? 1 : 3] : s.c.p[0]; }

// The outward normal of segment `seg` for a pixel lying on it: the side
// where the fill does not continue, read from the enter mark of the
// segment's own crossing on the pixel's row (or column, for a segment
// without a row crossing there).
Vec2 OutwardNormal(const RowScanInput &in, const Candidate &c, uint32_t col, uint32_t row) {
    const OutlineSegment &s = in.outline->segments[static_cast<size_t>(c.seg)];
    Vec2 n = SegmentNormal(s, c.t);
    auto find = [&](const CrossingLists &lists, uint32_t line, double at) -> const TaggedCrossing * {
        if (line >= lists.lines) return nullptr;
        const TaggedCrossing *best = nullptr;
        for (const TaggedCrossing *x = lists.Begin(line); x < lists.End(line); ++x)
            if (x->segment == c.seg && (!best || std::fabs(x->x - at) < std::fabs(best->x - at))) best = x;
        return best;
    };
    if (n.x != 0.0) {
        if (const TaggedCrossing *x = find(*in.rows, row, c.q.x)) {
            // An enter crossing has the fill on its right: outward is left.
            bool want_left = x->enter != 0;
            if ((n.x < 0.0) != want_left) n = Vec2{-n.x, -n.y};
            return n;
        }
    }
    if (n.y != 0.0) {
        if (const TaggedCrossing *x = find(*in.cols, col, c.q.y)) {
            bool want_up = x->enter != 0;
            if ((n.y < 0.0) != want_up) n = Vec2{-n.x, -n.y};
        }
    }
    return n;
}

}  // namespace

Status RowScanBuild(MapSet &maps, const RowScanInput &in, Progress &progress) {
    const uint32_t w = maps.width, h = maps.height;
    const double reach = SearchReach(in.width, maps);
    progress.SetState(1);
    progress.SetRange(0, static_cast<int32_t>(h));
    progress.Notify(RELIEF_BEGIN, 0);

    auto fail = [&](Status s) {
        maps.Free();
        Y32_REPORT(s == Status::kCancelled ? diag::kErrCancelled : diag::kErrNoMemory, 0, diag::kUnitRelief20);
        return s;
    };

    CellCounts cells;
    Scratch<uint32_t> stamp;
    Scratch<Candidate> cand;
    size_t nseg = in.outline->segments.Size();
    size_t room = std::max<size_t>(100, static_cast<size_t>(reach) * static_cast<size_t>(reach));
    Scratch<uint32_t> row_cursor, col_cursor;
    if (!cells.Build(*in.rows, *in.cols, w, h) || !stamp.Allocate(nseg, true) || !cand.Allocate(room, false) ||
        !row_cursor.Allocate(in.rows->lines, true) || !col_cursor.Allocate(in.cols->lines, true))
        return fail(Status::kNoMemory);
    uint32_t serial = 0;

    for (uint32_t r = 0; r < h; ++r) {
        if (!progress.Ask(static_cast<int32_t>(static_cast<uint64_t>(r) * 100 / h))) return fail(Status::kCancelled);
        const double py = r + 0.5;
        const TaggedCrossing *row_b = r < in.rows->lines ? in.rows->Begin(r) : nullptr;
        const TaggedCrossing *row_e = r < in.rows->lines ? in.rows->End(r) : nullptr;
        const TaggedCrossing *next = row_b;  // first crossing with x > px
        const TaggedCrossing *prev_visible = nullptr;
        for (uint32_t c = 0; c < w; ++c) {
            const double px = c + 0.5;
            while (next < row_e && next->x <= px) {
                if (!next->hidden) prev_visible = next;
                ++next;
            }
            const TaggedCrossing *right = next;
            while (right < row_e && right->hidden) ++right;
            bool inside = false;
            double half = 1.0;
            if (right < row_e && !right->enter) {
                inside = true;
                half = right->x - px + 1.0;
                if (prev_visible && px - prev_visible->x + 1.0 > half) half = px - prev_visible->x + 1.0;
            }
            if (half > reach) half = reach;

            cand.Clear();
            ++serial;
            const Vec2 p{px, py};
            if (cells.Count(static_cast<int64_t>(std::floor(px - half)), static_cast<int64_t>(std::floor(py - half)),
                            static_cast<int64_t>(std::floor(px + half)), static_cast<int64_t>(std::floor(py + half))) != 0) {
                const int64_t span = static_cast<int64_t>(half);
                bool ok = true;
                auto consider = [&](const TaggedCrossing &x) {
                    const int32_t seg = x.segment;
                    if (x.hidden || stamp[static_cast<size_t>(seg)] == serial) return;
                    stamp[static_cast<size_t>(seg)] = serial;
                    const OutlineSegment &sg = in.outline->segments[static_cast<size_t>(seg)];
                    if (sg.kind == 2) {
                        if (ok) ok = cand.Push(Candidate{BoxDistance2(sg.c, p), {0, 0}, {0, 0}, 0.0, seg, true});
                        return;
                    }
                    bez::Nearest n = NearestOnSegment(*in.outline, seg, p);
                    if (ok) ok = cand.Push(Candidate{n.dist2, n.point, Vec2{n.point.x - px, n.point.y - py}, n.t, seg, false});
                };
                // Lines whose strip of the window holds no crossing at all
                // are skipped without a search; the others are entered
                // where the line's cursor was left by the previous pixel,
                // which is usually where this pixel's window starts too.
                const int64_t cx0 = static_cast<int64_t>(std::floor(px - half)), cx1 = static_cast<int64_t>(std::floor(px + half));
                const int64_t cy0 = static_cast<int64_t>(std::floor(py - half)), cy1 = static_cast<int64_t>(std::floor(py + half));
                int64_t k0 = std::max<int64_t>(0, static_cast<int64_t>(r) - span);
                int64_t k1 = std::min<int64_t>(static_cast<int64_t>(in.rows->lines) - 1, static_cast<int64_t>(r) + span);
                for (int64_t k = k0; k <= k1; ++k) {
                    if (cells.Count(cx0, k, cx1, k) == 0) continue;
                    const uint32_t line = static_cast<uint32_t>(k);
                    const TaggedCrossing *e = in.rows->End(line);
                    for (const TaggedCrossing *x = Seek(*in.rows, line, &row_cursor[line], px - half); x < e && x->x <= px + half; ++x)
                        consider(*x);
                }
                k0 = std::max<int64_t>(0, static_cast<int64_t>(c) - span);
                k1 = std::min<int64_t>(static_cast<int64_t>(in.cols->lines) - 1, static_cast<int64_t>(c) + span);
                for (int64_t k = k0; k <= k1; ++k) {
                    if (cells.Count(k, cy0, k, cy1) == 0) continue;
                    const uint32_t line = static_cast<uint32_t>(k);
                    const TaggedCrossing *e = in.cols->End(line);
                    for (const TaggedCrossing *x = Seek(*in.cols, line, &col_cursor[line], py - half); x < e && x->x <= py + half; ++x)
                        consider(*x);
                }
                if (!ok) return fail(Status::kNoMemory);
            }
            // Curves are measured nearest box first, and only while they
            // can still come within a pixel of the nearest point found:
            // nothing farther takes part in the corner and second-vector
            // rules below, so leaving them out changes no result.
            size_t n = cand.Size();
            Candidate *cs = cand.Data();
            std::sort(cs, cs + n, Nearer);
            double nearest = std::numeric_limits<double>::infinity();
            for (size_t i = 0; i < n; ++i)
                if (!cs[i].pending && cs[i].d2 < nearest) nearest = cs[i].d2;
            size_t kept = 0;
            for (size_t i = 0; i < n; ++i) {
                Candidate cd = cs[i];
                if (cd.pending) {
                    double within = std::sqrt(nearest) + 1.0;
                    if (cd.d2 > within * within) continue;
                    bez::Nearest m = NearestOnSegment(*in.outline, cd.seg, p);
                    cd = Candidate{m.dist2, m.point, Vec2{m.point.x - px, m.point.y - py}, m.t, cd.seg, false};
                    if (cd.d2 < nearest) nearest = cd.d2;
                }
                cs[kept++] = cd;
            }
            n = kept;
            std::sort(cs, cs + n, Nearer);

            // A pixel a hair left of where the fill starts, whose nearest
            // outline point lies behind it, belongs to the fill's edge.
            if (!inside && n > 0 && right < row_e && right->x - px < 0.05 && cs[0].v.x < 0.0) inside = true;

            if (!in.fast && inside && n >= 2) {
                const double d0 = std::sqrt(cs[0].d2);
                size_t near = 1;
                while (near < n && std::sqrt(cs[near].d2) - d0 < 1.0) ++near;
                bool moved = false;
                for (size_t i = 0; i < near; ++i) {
                    const OutlineSegment &si = in.outline->segments[static_cast<size_t>(cs[i].seg)];
                    for (size_t j = i + 1; j < near; ++j) {
                        const OutlineSegment &sj = in.outline->segments[static_cast<size_t>(cs[j].seg)];
                        for (int a = 0; a < 2; ++a)
                            for (int b = 0; b < 2; ++b) {
                                Vec2 ea = EndPoint(si, a == 1), eb = EndPoint(sj, b == 1);
                                if (ea.x != eb.x || ea.y != eb.y) continue;
                                // A corner buried in the fill is no outline point.
                                if (!EndVisible(*in.outline, cs[i].seg, a == 1) ||
                                    !EndVisible(*in.outline, cs[j].seg, b == 1))
                                    continue;
                                double e2 = (ea.x - px) * (ea.x - px) + (ea.y - py) * (ea.y - py);
                                for (Candidate *cc : {&cs[i], &cs[j]}) {
                                    if (e2 < cc->d2) {
                                        bool at_end = cc == &cs[i] ? a == 1 : b == 1;
                                        *cc = Candidate{e2, ea, Vec2{ea.x - px, ea.y - py}, at_end ? 1.0 : 0.0, cc->seg};
                                        moved = true;
                                    }
                                }
                            }
                    }
                }
                if (moved) std::sort(cs, cs + n, Nearer);
            }

            const size_t index = static_cast<size_t>(r) * w + c;
            if (n == 0) {
                if (inside && maps.dist) StoreDistance(maps, index, kInsideUnreached);
                continue;
            }
            if (maps.dist) StoreDistance(maps, index, static_cast<float>(inside ? cs[0].d2 : -cs[0].d2));
            if (!maps.vec) continue;
            Vec2 normal{0, 0}, second{0, 0};
            if (std::fabs(cs[0].v.x) < kOnOutline && std::fabs(cs[0].v.y) < kOnOutline) normal = OutwardNormal(in, cs[0], c, r);
            if (!maps.float_vectors && inside && n >= 2) {
                const double len0 = std::sqrt(cs[0].d2);
                for (size_t j = 1; j < n; ++j) {
                    const double lenj = std::sqrt(cs[j].d2);
                    if (lenj - len0 >= 0.7) break;
                    if (len0 == 0.0 || lenj == 0.0) continue;
                    double cosine = (cs[0].v.x * cs[j].v.x + cs[0].v.y * cs[j].v.y) / (len0 * lenj);
                    if (cosine < 0.34) {
                        second = cs[j].v;
                        break;
                    }
                }
            }
            StoreVectors(maps, index, cs[0].v, normal, second, Vec2{0, 0});
        }
    }
    progress.Notify(RELIEF_END, static_cast<int32_t>(h));
    return Status::kDone;
}

}  // namespace relief
