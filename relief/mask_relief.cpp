// relief/mask_relief.cpp - chords from a field and the outline, and exact
// distances to them within reach.
#include "relief/mask_relief.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/afd.h"
#include "core/bezier.h"
#include "core/diag.h"
#include "core/path_record.h"
#include "raster/scan_fill.h"
#include "relief/shape_queries.h"

namespace relief {

namespace {

constexpr uint8_t kLevel = 128;       // inside from this coverage up
constexpr uint8_t kFull = 250;        // "full" and "empty" for the outline test,
constexpr uint8_t kEmpty = 5;         // with room for anti-aliasing noise
constexpr double kSideStep = 0.75;    // where the outline test samples the field

Status Fail(MapSet &maps, Status s, int32_t unit) {
    maps.Free();
    Y32_REPORT(s == Status::kCancelled ? diag::kErrCancelled : diag::kErrNoMemory, 0, unit);
    return s;
}

// Coverage at a point of sample space (the pixel holding it; points off
// the map read the nearest border pixel, so the map's edge is no border).
inline uint8_t CoverageAt(const uint8_t *field, uint32_t w, uint32_t h, double x, double y) {
    int64_t c = x < 0 ? 0 : (x >= w ? static_cast<int64_t>(w) - 1 : static_cast<int64_t>(x));
    int64_t r = y < 0 ? 0 : (y >= h ? static_cast<int64_t>(h) - 1 : static_cast<int64_t>(y));
    if (!(x == x) || !(y == y)) c = r = 0;
    return field[static_cast<size_t>(r) * w + static_cast<size_t>(c)];
}

// The unit normal of a chord turned towards lower coverage: the outward
// direction at a point lying on it.
Vec2 OutwardOf(const Chord &ch, const uint8_t *field, uint32_t w, uint32_t h, Vec2 at) {
    double ex = ch.b.x - ch.a.x, ey = ch.b.y - ch.a.y, len = std::sqrt(ex * ex + ey * ey);
    if (!(len > 0)) return Vec2{0, 0};
    Vec2 n{-ey / len, ex / len};
    uint8_t plus = CoverageAt(field, w, h, at.x + n.x * kSideStep, at.y + n.y * kSideStep);
    uint8_t minus = CoverageAt(field, w, h, at.x - n.x * kSideStep, at.y - n.y * kSideStep);
    return plus > minus ? Vec2{-n.x, -n.y} : n;
}

// The afd walk of the mask builders.
afd::Params OutlineParams() {
    afd::Params p{40000.0};
    p.double_below = 20000.0;
    p.arith = afd::Arith::kDouble;
    return p;
}

// Calls fn(ax, ay, bx, by, segment) for every line and chord of the chain
// in sample space; returns the number of points walked.
template <class Fn>
void ForEachOutlineChord(const KyPath *head, const raster::Mapping &frame, Fn &&fn) {
    const afd::Params prm = OutlineParams();
    int32_t base = 0;
    for (const KyPath *p = head; p; p = path::GroupNext(p)) {
        path::ForEachSegment(p, [&](const path::Segment &s) {
            double x0 = frame.X(s.x[0]), y0 = frame.Y(s.y[0]);
            const int32_t seg = base + s.start;
            if (s.kind == path::Segment::kLine) {
                fn(x0, y0, frame.X(s.x[1]), frame.Y(s.y[1]), seg);
                return;
            }
            double px[4] = {x0, frame.X(s.x[1]), frame.X(s.x[2]), frame.X(s.x[3])};
            double py[4] = {y0, frame.Y(s.y[1]), frame.Y(s.y[2]), frame.Y(s.y[3])};
            double cx = x0, cy = y0;
            afd::Flatten(px, py, prm, [&](double x, double y, int32_t, bool) {
                fn(cx, cy, x, y, seg);
                cx = x;
                cy = y;
            });
        });
        base += p->count > 0 ? p->count : 0;
    }
}

// Marks every pixel within about a pixel of the chord.
void MarkNear(uint8_t *mark, uint32_t w, uint32_t h, const Chord &ch) {
    double ex = ch.b.x - ch.a.x, ey = ch.b.y - ch.a.y;
    double len = std::sqrt(ex * ex + ey * ey);
    int64_t steps = static_cast<int64_t>(len * 2.0) + 1;
    for (int64_t i = 0; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        double x = ch.a.x + ex * t, y = ch.a.y + ey * t;
        if (!(x > -2 && y > -2 && x < w + 2.0 && y < h + 2.0)) continue;
        int64_t c = static_cast<int64_t>(std::floor(x)), r = static_cast<int64_t>(std::floor(y));
        for (int64_t yy = r - 1; yy <= r + 1; ++yy)
            for (int64_t xx = c - 1; xx <= c + 1; ++xx)
                if (xx >= 0 && yy >= 0 && xx < w && yy < h) mark[static_cast<size_t>(yy) * w + static_cast<size_t>(xx)] = 1;
    }
}

// The level line of one marching-squares cell whose corners are the
// centres of pixels (c, r), (c + 1, r), (c + 1, r + 1), (c, r + 1).
template <class Emit>
void CellLevelLine(const uint8_t *field, uint32_t w, uint32_t c, uint32_t r, Emit &&emit) {
    const size_t i = static_cast<size_t>(r) * w + c;
    // Most cells lie wholly on one side: settled from the bytes alone.
    const bool in0 = field[i] >= kLevel;
    if (in0 == (field[i + 1] >= kLevel) && in0 == (field[i + w + 1] >= kLevel) && in0 == (field[i + w] >= kLevel)) return;
    const double v[4] = {static_cast<double>(field[i]), static_cast<double>(field[i + 1]),
                         static_cast<double>(field[i + w + 1]), static_cast<double>(field[i + w])};
    const Vec2 corner[4] = {{c + 0.5, r + 0.5}, {c + 1.5, r + 0.5}, {c + 1.5, r + 1.5}, {c + 0.5, r + 1.5}};
    int code = 0;
    for (int k = 0; k < 4; ++k)
        if (v[k] >= kLevel) code |= 1 << k;
    // Crossing on the cell edge from corner k to corner k + 1.
    auto cross = [&](int k) {
        int j = (k + 1) & 3;
        double t = (127.5 - v[k]) / (v[j] - v[k]);
        return Vec2{corner[k].x + (corner[j].x - corner[k].x) * t, corner[k].y + (corner[j].y - corner[k].y) * t};
    };
    // Edges whose two corners differ, in order 0..3; two or four of them.
    int edges[4], n = 0;
    for (int k = 0; k < 4; ++k)
        if (((code >> k) & 1) != ((code >> ((k + 1) & 3)) & 1)) edges[n++] = k;
    if (n == 2) {
        emit(cross(edges[0]), cross(edges[1]));
        return;
    }
    // A saddle: the cell's mean decides whether the two inside corners are
    // joined through the middle.
    double mean = (v[0] + v[1] + v[2] + v[3]) * 0.25;
    bool joined = mean >= 127.5;
    bool corner0_inside = (code & 1) != 0;
    if (joined == corner0_inside) {
        // Cut off corners 1 and 3.
        emit(cross(0), cross(1));
        emit(cross(2), cross(3));
    } else {
        // Cut off corners 0 and 2.
        emit(cross(3), cross(0));
        emit(cross(1), cross(2));
    }
}

// The chords spanning each pixel row, for winding numbers: a horizontal
// ray at height y meets only chords whose y-range holds y.
class RowIndex {
  public:
    bool Build(const Scratch<Chord> &chords, uint32_t rows) {
        rows_ = rows;
        if (!start_.Allocate(static_cast<size_t>(rows) + 2, true)) return false;
        auto range = [&](const Chord &c, int64_t *r0, int64_t *r1) {
            double lo = std::fmin(c.a.y, c.b.y), hi = std::fmax(c.a.y, c.b.y);
            if (!(hi >= 0.0) || !(lo < rows)) return false;
            *r0 = lo <= 0.0 ? 0 : static_cast<int64_t>(lo);
            *r1 = hi >= rows - 1.0 ? static_cast<int64_t>(rows) - 1 : static_cast<int64_t>(hi);
            return true;
        };
        int64_t r0, r1;
        uint64_t total = 0;
        for (size_t i = 0; i < chords.Size(); ++i)
            if (range(chords[i], &r0, &r1)) {
                for (int64_t r = r0; r <= r1; ++r) ++start_[static_cast<size_t>(r) + 1];
                total += static_cast<uint64_t>(r1 - r0 + 1);
            }
        if (total > UINT32_MAX) return false;
        for (uint32_t r = 0; r < rows; ++r) start_[r + 1] += start_[r];
        Scratch<uint32_t> fill;
        if (!items_.Allocate(static_cast<size_t>(total), false) || !fill.Allocate(static_cast<size_t>(rows) + 1, false))
            return false;
        for (uint32_t r = 0; r <= rows; ++r) fill[r] = start_[r];
        for (size_t i = 0; i < chords.Size(); ++i)
            if (range(chords[i], &r0, &r1))
                for (int64_t r = r0; r <= r1; ++r) items_[fill[static_cast<size_t>(r)]++] = static_cast<uint32_t>(i);
        return true;
    }
    // Signed crossings of the ray from (x, y) towards +x; false when y lies
    // off the rows.
    bool Winding(const Scratch<Chord> &chords, double x, double y, int32_t *out) const {
        if (!(y >= 0.0 && y < rows_)) return false;
        const uint32_t r = static_cast<uint32_t>(y);
        int32_t wn = 0;
        for (uint32_t k = start_[r]; k < start_[r + 1]; ++k) {
            const Chord &c = chords[items_[k]];
            if ((c.a.y <= y) == (c.b.y <= y)) continue;
            double cx = c.a.x + (y - c.a.y) * (c.b.x - c.a.x) / (c.b.y - c.a.y);
            if (cx > x) wn += c.b.y > c.a.y ? 1 : -1;
        }
        *out = wn;
        return true;
    }

  private:
    uint32_t rows_ = 0;
    Scratch<uint32_t> start_, items_;
};

constexpr uint32_t kRun = 8;       // pieces that share one box, at most
constexpr double kRunSpan = 6.0;   // pixels a run's box spans, at most
constexpr int64_t kTile = 8;  // a tile of kTile x kTile pixels shares one list of runs

// Whether a box bound surely exceeds a squared distance worked out through
// the projection: both carry rounding of a few ulps, the margin far more.
inline bool SurelyBeyond(double bound2, double d2) { return bound2 > d2 * (1.0 + 1e-9) + 1e-9; }

// A piece of a chord and what its distance to pixel centres is worked out
// from (the projection's division done once).
struct Piece {
    double ax, ay, bx, by, dx, dy, inv;
    int32_t id;  // the chord
    Piece(Vec2 a, Vec2 b, int32_t chord) : ax(a.x), ay(a.y), bx(b.x), by(b.y), dx(b.x - a.x), dy(b.y - a.y), id(chord) {
        const double len2 = dx * dx + dy * dy;
        inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
    }
    // Squared distance from the centre of pixel (c, r), and the vector to
    // the nearest point of the piece.
    double Dist2(int64_t r, int64_t c, double *vx, double *vy) const {
        const double ry = r + 0.5 - ay, rx = c + 0.5 - ax;
        double t = (rx * dx + ry * dy) * inv;
        t = t < 0.0 ? 0.0 : t;
        t = t > 1.0 ? 1.0 : t;
        *vx = t * dx - rx;
        *vy = t * dy - ry;
        return *vx * *vx + *vy * *vy;
    }
};

// A run of consecutive pieces and their box.
struct Cluster {
    double lo_x, hi_x, lo_y, hi_y;
    uint32_t first = 0, end = 0;
    explicit Cluster(const Piece &p)
        : lo_x(std::fmin(p.ax, p.bx)), hi_x(std::fmax(p.ax, p.bx)), lo_y(std::fmin(p.ay, p.by)), hi_y(std::fmax(p.ay, p.by)) {}
    // The run seen as the segment from its first point to its last, with
    // every point of it within `dev` of that segment (the distance to a
    // segment is convex, so the pieces' ends bound it).
    double sx = 0, sy = 0, sdx = 0, sdy = 0, sinv = 0, dev = 0;
    void Close(const Piece *pieces) {
        sx = pieces[first].ax;
        sy = pieces[first].ay;
        sdx = pieces[end - 1].bx - sx;
        sdy = pieces[end - 1].by - sy;
        const double len2 = sdx * sdx + sdy * sdy;
        sinv = len2 > 0.0 ? 1.0 / len2 : 0.0;
        double worst = 0.0;
        for (uint32_t m = first; m < end; ++m)
            worst = std::fmax(worst, std::fmax(Spine2(pieces[m].ax, pieces[m].ay), Spine2(pieces[m].bx, pieces[m].by)));
        dev = std::sqrt(worst) * (1.0 + 1e-9) + 1e-9;
    }
    // Squared distance from (x, y) to the run's segment.
    double Spine2(double x, double y) const {
        const double rx = x - sx, ry = y - sy;
        double t = (rx * sdx + ry * sdy) * sinv;
        t = t < 0.0 ? 0.0 : t;
        t = t > 1.0 ? 1.0 : t;
        const double qx = t * sdx - rx, qy = t * sdy - ry;
        return qx * qx + qy * qy;
    }
    // Whether every piece of the run surely lies farther from (x, y) than
    // the distance d (d2 its square, as the caller keeps both).
    bool SurelyFarther(double x, double y, double d2, double d) const {
        if (SurelyBeyond(Gap2(x, x, y, y), d2)) return true;
        const double reach = d + dev;
        return SurelyBeyond(Spine2(x, y), reach * reach);
    }
    void Grow(const Piece &p) {
        lo_x = std::fmin(lo_x, std::fmin(p.ax, p.bx));
        hi_x = std::fmax(hi_x, std::fmax(p.ax, p.bx));
        lo_y = std::fmin(lo_y, std::fmin(p.ay, p.by));
        hi_y = std::fmax(hi_y, std::fmax(p.ay, p.by));
    }
    // Squared distance from the box [x0, x1] x [y0, y1] to this one: a
    // lower bound of the squared distance from any point there to any
    // piece of the run.
    double Gap2(double x0, double x1, double y0, double y1) const {
        // At most one of the two differences per axis is positive; taken
        // as maxima so that the test does not branch.
        double gx = lo_x - x1, gy = lo_y - y1;
        const double gx2 = x0 - hi_x, gy2 = y0 - hi_y;
        gx = gx > gx2 ? gx : gx2;
        gy = gy > gy2 ? gy : gy2;
        gx = gx > 0.0 ? gx : 0.0;
        gy = gy > 0.0 ? gy : 0.0;
        return gx * gx + gy * gy;
    }
};

// The per-pixel scratch of one band.
struct BandScratch {
    Scratch<double> best_d2, second_d2, first_x, first_y;
    Scratch<int32_t> best_id, second_id;
};

// The second-vector test of pixel j of the band against a piece (squared
// distance and vector already worked out): a chord less than 0.7 pixel
// farther than the nearest, in a direction more than about 70 degrees
// away from the first vector.
inline void SecondCandidate(BandScratch &s, size_t j, int32_t id, double d2, double vx, double vy) {
    const double len0 = std::sqrt(s.best_d2[j]), len = std::sqrt(d2);
    if (len - len0 >= 0.7 || len0 == 0.0 || len == 0.0) return;
    const double cosine = (vx * s.first_x[j] + vy * s.first_y[j]) / (len0 * len);
    if (cosine < 0.34) {
        s.second_d2[j] = d2;
        s.second_id[j] = id;
    }
}

}  // namespace

Status MaskBuild(MapSet &maps, const MaskInput &in, MaskStage *out, Progress &progress) {
    const uint32_t w = maps.width, h = maps.height;
    const size_t n = maps.Pixels();
    out->chords.Clear();
    out->has_exclusion = false;
    if (!out->field.Allocate(n, false)) return Fail(maps, Status::kNoMemory, in.unit);
    uint8_t *field = out->field.Data();
    if (in.mask) {
        std::memcpy(field, in.mask, n);
    } else {
        PathBuf fill = pbuf::AllocQuiet(8, w, h);
        if (!fill) return Fail(maps, Status::kNoMemory, in.unit);
        raster::FillSpec spec{maps.frame, 16, in.even_odd, false};
        bool filled = !in.path || raster::ScanFill(in.path, spec, fill);
        std::memcpy(field, fill, n);
        KyPathBufFree(fill);
        if (!filled) return Fail(maps, Status::kNoMemory, in.unit);
    }
    if (in.invert)
        for (size_t i = 0; i < n; ++i) field[i] = static_cast<uint8_t>(255 - field[i]);

    if (in.path) {
        if (!out->exclude.Allocate(n, true)) return Fail(maps, Status::kNoMemory, in.unit);
        bool any = false;
        if (!MarkStrokeArrowheads(in.path, maps.frame, w, h, out->exclude.Data(), &any))
            return Fail(maps, Status::kNoMemory, in.unit);
        out->has_exclusion = any;
        if (!any) out->exclude.Reset();
    }

    // The outline's chords, and per pixel row the chords that span it, for
    // the winding number at any point.
    Scratch<Chord> all;
    bool ok = true;
    ForEachOutlineChord(in.path, maps.frame, [&](double ax, double ay, double bx, double by, int32_t seg) {
        if (ok) ok = all.Push(Chord{Vec2{ax, ay}, Vec2{bx, by}, seg});
    });
    if (!ok) return Fail(maps, Status::kNoMemory, in.unit);
    RowIndex rows;
    if (!rows.Build(all, h)) return Fail(maps, Status::kNoMemory, in.unit);
    // Whether the fill changes across the point (x, y) with unit normal n:
    // false where the path runs buried in its own fill (nonzero rule).
    auto fill_changes = [&](double x, double y, Vec2 dir) {
        constexpr double kEps = 1.0 / 128;
        int32_t w1, w2;
        if (!rows.Winding(all, x + dir.x * kEps, y + dir.y * kEps, &w1) || !rows.Winding(all, x - dir.x * kEps, y - dir.y * kEps, &w2))
            return true;  // off the map's rows: the coverage decides alone
        return in.even_odd ? ((w1 ^ w2) & 1) != 0 : (w1 != 0) != (w2 != 0);
    };

    // The outline, in pieces of at most a pixel, kept where the field
    // changes across it; neighbouring kept pieces of one segment join up.
    // Where the fill stops changing (an edge going under another subpath)
    // the point is found by halving between the two pieces' middles.
    const int64_t total = static_cast<int64_t>(all.Size()) + (in.trace_borders && h > 1 ? h - 1 : 0);
    int64_t done = 0;
    for (size_t ci = 0; ci < all.Size() && ok; ++ci) {
        if (!progress.Step(done++, total)) return Fail(maps, Status::kCancelled, in.unit);
        const Chord ch = all[ci];
        const double ax = ch.a.x, ay = ch.a.y, ex = ch.b.x - ax, ey = ch.b.y - ay;
        const double len = std::sqrt(ex * ex + ey * ey);
        if (!(len > 0)) continue;
        const Vec2 nrm{-ey / len, ex / len};
        int64_t pieces = static_cast<int64_t>(std::ceil(len));
        if (pieces > (int64_t{1} << 24)) pieces = int64_t{1} << 24;  // coordinates far off the map
        bool open = false, prev_fill = false;
        double from = 0.0, prev_mid = 0.0;
        for (int64_t k = 0; k < pieces && ok; ++k) {
            const double t0 = static_cast<double>(k) / pieces, t1 = static_cast<double>(k + 1) / pieces;
            const double tm = (t0 + t1) * 0.5, mx = ax + ex * tm, my = ay + ey * tm;
            const bool fill = fill_changes(mx, my, nrm);
            uint8_t c1 = CoverageAt(field, w, h, mx + nrm.x * kSideStep, my + nrm.y * kSideStep);
            uint8_t c2 = CoverageAt(field, w, h, mx - nrm.x * kSideStep, my - nrm.y * kSideStep);
            const bool visible = fill && !(c1 >= kFull && c2 >= kFull) && !(c1 <= kEmpty && c2 <= kEmpty);
            if (visible != open) {
                double at = t0;
                if (k > 0 && fill != prev_fill) {
                    double lo = prev_mid, hi = tm;
                    for (int it = 0; it < 24; ++it) {
                        double mid = 0.5 * (lo + hi);
                        if (fill_changes(ax + ex * mid, ay + ey * mid, nrm) == prev_fill) lo = mid;
                        else hi = mid;
                    }
                    at = 0.5 * (lo + hi);
                }
                if (visible) {
                    from = at;
                } else if (ch.segment != in.skip_segment) {
                    ok = out->chords.Push(Chord{Vec2{ax + ex * from, ay + ey * from}, Vec2{ax + ex * at, ay + ey * at}, ch.segment});
                }
                open = visible;
            }
            prev_fill = fill;
            prev_mid = tm;
        }
        if (open && ok && ch.segment != in.skip_segment) ok = out->chords.Push(Chord{Vec2{ax + ex * from, ay + ey * from}, ch.b, ch.segment});
    }
    if (!ok) return Fail(maps, Status::kNoMemory, in.unit);

    if (!in.trace_borders) return Status::kDone;
    // Borders of the field that no kept outline piece explains.
    Scratch<uint8_t> mark;
    if (!mark.Allocate(n, true)) return Fail(maps, Status::kNoMemory, in.unit);
    for (size_t i = 0; i < out->chords.Size(); ++i) MarkNear(mark.Data(), w, h, out->chords[i]);
    for (uint32_t r = 0; r + 1 < h && ok; ++r) {
        if (!progress.Step(done++, total)) return Fail(maps, Status::kCancelled, in.unit);
        for (uint32_t c = 0; c + 1 < w && ok; ++c) {
            const size_t i = static_cast<size_t>(r) * w + c;
            if (mark[i] || mark[i + 1] || mark[i + w] || mark[i + w + 1]) continue;
            CellLevelLine(field, w, c, r, [&](Vec2 a, Vec2 b) {
                if (ok) ok = out->chords.Push(Chord{a, b, -1});
            });
        }
    }
    if (!ok) return Fail(maps, Status::kNoMemory, in.unit);
    return Status::kDone;
}

bool MergeState::Init(MapSet &maps) {
    const size_t n = maps.Pixels();
    if (!own.Allocate(n, false)) return false;
    for (size_t i = 0; i < n; ++i) own[i] = std::numeric_limits<float>::infinity();
    dist = own.Data();
    return true;
}

Status MaskDistanceBuild(MapSet &maps, const MaskStage &stage, double width, double shift, MergeState &merge,
                         int32_t unit, Progress &progress) {
    const uint32_t w = maps.width, h = maps.height;
    const uint8_t *field = stage.field.Data();
    const uint8_t *exclude = stage.has_exclusion ? stage.exclude.Data() : nullptr;
    const uint8_t *only = stage.only;
    const double reach = SearchReach(width + 1.0 + shift, maps);
    const double reach2 = reach * reach;
    const bool want_second = maps.vec && !maps.float_vectors && shift == 0.0;
    const size_t nch = stage.chords.Size();

    // A chord is measured in pieces no longer than the reach (so a long
    // slanted chord does not sweep its whole box). A piece counts for pixel
    // (c, r) only when the pixel lies in its window: the rows within reach
    // of its y range, and in each the part of its box grown by the reach,
    // trimmed to where the row passes within reach. Within 0.98 of the
    // reach that holds for every pixel (the rounding of the window is far
    // smaller than the rest), so the window is worked out only beyond.
    auto for_each_piece = [&](const Chord &ch, auto &&fn) {
        double ex = ch.b.x - ch.a.x, ey = ch.b.y - ch.a.y, len = std::sqrt(ex * ex + ey * ey);
        double piece = reach > 1.0 ? reach : 1.0;
        int64_t pieces = len > piece ? static_cast<int64_t>(std::ceil(len / piece)) : 1;
        for (int64_t k = 0; k < pieces; ++k) {
            Vec2 a{ch.a.x + ex * k / pieces, ch.a.y + ey * k / pieces};
            Vec2 b = k + 1 == pieces ? ch.b : Vec2{ch.a.x + ex * (k + 1) / pieces, ch.a.y + ey * (k + 1) / pieces};
            fn(a, b);
        }
    };
    auto in_window = [&](Vec2 a, Vec2 b, int64_t r, int64_t c) {
        const double lo_x = std::fmin(a.x, b.x), hi_x = std::fmax(a.x, b.x);
        const double lo_y = std::fmin(a.y, b.y), hi_y = std::fmax(a.y, b.y);
        double y0 = lo_y - reach - 0.5, y1 = hi_y + reach - 0.5;
        if (!(y1 >= 0 && y0 < h && hi_x + reach - 0.5 >= 0 && lo_x - reach - 0.5 < w)) return false;
        int64_t r0 = y0 <= 0 ? 0 : static_cast<int64_t>(std::ceil(y0));
        int64_t r1 = y1 >= h - 1.0 ? static_cast<int64_t>(h) - 1 : static_cast<int64_t>(std::floor(y1));
        if (r < r0 || r > r1) return false;
        const double py = r + 0.5;
        const double gap = py < lo_y ? lo_y - py : (py > hi_y ? py - hi_y : 0.0);
        const double half = std::sqrt(std::fmax(reach2 - gap * gap, 0.0));
        double x0 = lo_x - half - 0.5, x1 = hi_x + half - 0.5;
        if (!(x1 >= 0 && x0 < w)) return false;
        int64_t c0 = 0;
        if (x0 > 0) {
            c0 = static_cast<int64_t>(x0);
            if (static_cast<double>(c0) < x0) ++c0;
        }
        int64_t c1 = x1 >= w - 1.0 ? static_cast<int64_t>(w) - 1 : static_cast<int64_t>(x1);
        return c >= c0 && c <= c1;
    };
    const double sure_in_window = reach2 * 0.98;

    // The map is measured band by band of rows, from the chords whose
    // reach touches the band; the per-pixel scratch is one band's, reused.
    constexpr uint32_t kBand = 16;
    const uint32_t bands = (h + kBand - 1) / kBand;
    auto band_range = [&](const Chord &ch, uint32_t *b0, uint32_t *b1) {
        const double lo_y = std::fmin(ch.a.y, ch.b.y), hi_y = std::fmax(ch.a.y, ch.b.y);
        const double y0 = lo_y - reach - 0.5, y1 = hi_y + reach - 0.5;
        if (!(y1 >= -1.0 && y0 < h + 1.0)) return false;
        // A row wider on each side: the pieces' ends are interpolated and
        // may stray an ulp outside the chord's own range.
        const int64_t r0 = y0 <= 1.0 ? 0 : static_cast<int64_t>(std::ceil(y0)) - 1;
        const int64_t r1 = y1 >= h - 2.0 ? static_cast<int64_t>(h) - 1 : static_cast<int64_t>(std::floor(y1)) + 1;
        if (r0 > r1) return false;
        *b0 = static_cast<uint32_t>(r0 / kBand);
        *b1 = static_cast<uint32_t>(r1 / kBand);
        return true;
    };
    Scratch<uint32_t> band_start, band_items, band_fill;
    if (!band_start.Allocate(static_cast<size_t>(bands) + 1, true)) return Fail(maps, Status::kNoMemory, unit);
    size_t entries = 0;
    for (size_t k = 0; k < nch; ++k) {
        uint32_t b0, b1;
        if (!band_range(stage.chords[k], &b0, &b1)) continue;
        for (uint32_t b = b0; b <= b1; ++b) ++band_start[b + 1];
        entries += b1 - b0 + 1;
    }
    if (entries > UINT32_MAX || !band_items.Allocate(entries, false) ||
        !band_fill.Allocate(static_cast<size_t>(bands) + 1, false))
        return Fail(maps, Status::kNoMemory, unit);
    for (uint32_t b = 0; b < bands; ++b) band_start[b + 1] += band_start[b];
    for (uint32_t b = 0; b <= bands; ++b) band_fill[b] = band_start[b];
    for (size_t k = 0; k < nch; ++k) {
        uint32_t b0, b1;
        if (!band_range(stage.chords[k], &b0, &b1)) continue;
        for (uint32_t b = b0; b <= b1; ++b) band_items[band_fill[b]++] = static_cast<uint32_t>(k);
    }

    const int64_t total = static_cast<int64_t>(entries);
    int64_t done = 0;
    const size_t band_pixels = static_cast<size_t>(kBand) * w;
    BandScratch sc;
    Scratch<int32_t> best_piece;
    Scratch<Piece> pieces;
    Scratch<Cluster> clusters;
    Scratch<uint32_t> near;  // the runs a tile has to look at
    Scratch<double> near_gap;
    Scratch<uint32_t> by_x, wide;
    if (!sc.best_d2.Allocate(band_pixels, false) || !sc.best_id.Allocate(band_pixels, false) ||
        !best_piece.Allocate(band_pixels, false) ||
        (want_second && (!sc.first_x.Allocate(band_pixels, false) || !sc.first_y.Allocate(band_pixels, false) ||
                         !sc.second_d2.Allocate(band_pixels, false) || !sc.second_id.Allocate(band_pixels, false))))
        return Fail(maps, Status::kNoMemory, unit);

    for (uint32_t band = 0; band < bands; ++band) {
        const int64_t y0 = static_cast<int64_t>(band) * kBand;
        const int64_t y1 = std::min<int64_t>(y0 + kBand, h) - 1;
        const size_t base = static_cast<size_t>(y0) * w, count = static_cast<size_t>(y1 - y0 + 1) * w;
        for (size_t j = 0; j < count; ++j) {
            sc.best_d2[j] = std::numeric_limits<double>::infinity();
            sc.best_id[j] = -1;
            best_piece[j] = -1;
        }

        // The band's pieces in chord order, in runs of kRun that share a
        // box: a pixel looks into a run only when the box may hold
        // something nearer than what it has.
        pieces.Clear();
        clusters.Clear();
        bool ok = true;
        for (uint32_t e = band_start[band]; e < band_start[band + 1] && ok; ++e) {
            if (!progress.Step(done++, total)) return Fail(maps, Status::kCancelled, unit);
            const int32_t id = static_cast<int32_t>(band_items[e]);
            for_each_piece(stage.chords[band_items[e]], [&](Vec2 a, Vec2 b) {
                if (ok) ok = pieces.Push(Piece(a, b, id));
            });
        }
        // A run ends where the pieces stop joining up (the band's chords
        // come from several parts of the outline) or its box would grow
        // past kRunSpan, so that its box stays close to its pieces.
        for (size_t k = 0; k < pieces.Size() && ok;) {
            Cluster cl(pieces[k]);
            cl.first = static_cast<uint32_t>(k);
            size_t m = k + 1;
            for (; m < pieces.Size() && m < k + kRun; ++m) {
                const Piece &prev = pieces[m - 1], &next = pieces[m];
                if (next.ax != prev.bx || next.ay != prev.by) break;
                Cluster grown = cl;
                grown.Grow(next);
                if (grown.hi_x - grown.lo_x > kRunSpan || grown.hi_y - grown.lo_y > kRunSpan) break;
                cl = grown;
            }
            cl.end = static_cast<uint32_t>(m);
            cl.Close(pieces.Data());
            ok = clusters.Push(cl);
            k = m;
        }
        // The runs by their left edge, for the tiles' column ranges; the
        // few wide ones (long pieces) apart, looked at by every tile.
        by_x.Clear();
        wide.Clear();
        for (size_t k = 0; k < clusters.Size() && ok; ++k)
            ok = clusters[k].hi_x - clusters[k].lo_x <= kRunSpan ? by_x.Push(static_cast<uint32_t>(k))
                                                                 : wide.Push(static_cast<uint32_t>(k));
        if (!ok) return Fail(maps, Status::kNoMemory, unit);
        std::sort(by_x.Data(), by_x.Data() + by_x.Size(),
                  [&](uint32_t l, uint32_t r) { return clusters[l].lo_x < clusters[r].lo_x; });

        for (int64_t ty = y0; ty <= y1; ty += kTile)
        for (int64_t tx = 0; tx < w; tx += kTile) {
            const int64_t tx1 = std::min<int64_t>(tx + kTile, w) - 1, ty1 = std::min<int64_t>(ty + kTile - 1, y1);
            // A box of the tile's pixel centres; every pixel in it has a
            // piece within the distance from the tile's farthest corner to
            // the first point of any run (when that lies safely in reach),
            // and needs no run beyond that plus the second-vector margin.
            const double bx0 = tx + 0.5, bx1 = tx1 + 0.5, by0 = ty + 0.5, by1 = ty1 + 0.5;
            // Only runs within reach of the tile's columns can count.
            const double from_x = bx0 - reach - 1.0 - kRunSpan, to_x = bx1 + reach + 1.0;
            size_t lo = 0, hi = by_x.Size();
            while (lo < hi) {
                const size_t mid = (lo + hi) / 2;
                if (clusters[by_x[mid]].lo_x < from_x) lo = mid + 1;
                else hi = mid;
            }
            size_t stop = lo;
            while (stop < by_x.Size() && clusters[by_x[stop]].lo_x <= to_x) ++stop;
            const size_t span = stop - lo, looked = span + wide.Size();
            auto run_at = [&](size_t k) { return k < span ? by_x[lo + k] : wide[k - span]; };
            double upper = reach2;
            for (size_t k = 0; k < looked; ++k) {
                const Piece &p = pieces[clusters[run_at(k)].first];
                const double x0 = std::fabs(p.ax - bx0), x1 = std::fabs(p.ax - bx1);
                const double y0f = std::fabs(p.ay - by0), y1f = std::fabs(p.ay - by1);
                const double fx = x0 > x1 ? x0 : x1, fy = y0f > y1f ? y0f : y1f;
                const double far2 = fx * fx + fy * fy;
                if (far2 <= sure_in_window && far2 < upper) upper = far2;
            }
            const double lim = std::sqrt(upper) * (1.0 + 1e-9) + (want_second ? 0.72 : 1e-6);
            const double lim2 = std::fmin(lim * lim, reach2 * (1.0 + 1e-9) + 1e-9);
            // The runs in order of their distance from the tile: no pixel
            // of it lies nearer to a run than the tile does, so a pixel
            // stops at the first run that lies surely beyond what it needs.
            near.Clear();
            near_gap.Clear();
            for (size_t k = 0; k < looked && ok; ++k) {
                const double g2 = clusters[run_at(k)].Gap2(bx0, bx1, by0, by1);
                if (SurelyBeyond(g2, lim2)) continue;
                ok = near.Push(run_at(k)) && near_gap.Push(g2);
                for (size_t m = near.Size() - 1; ok && m > 0 && near_gap[m - 1] > near_gap[m]; --m) {
                    std::swap(near[m - 1], near[m]);
                    std::swap(near_gap[m - 1], near_gap[m]);
                }
            }
            if (!ok) return Fail(maps, Status::kNoMemory, unit);
            if (near.Size() == 0) continue;

            for (int64_t r = ty; r <= ty1; ++r) {
                const size_t row = static_cast<size_t>(r - y0) * w;
                const uint8_t *ex_row = exclude ? exclude + static_cast<size_t>(r) * w : nullptr;
                const uint8_t *only_row = only ? only + static_cast<size_t>(r) * w : nullptr;
                const double py = r + 0.5;
                for (int64_t c = tx; c <= tx1; ++c) {
                    if ((only_row && !only_row[c]) || (ex_row && ex_row[c])) continue;
                    const size_t j = row + static_cast<size_t>(c);
                    const double px = c + 0.5;
                    double bd2 = std::numeric_limits<double>::infinity();
                    int32_t bid = -1, bpiece = -1;
                    // What a run must come within (nothing beyond the
                    // reach counts), and its root once asked for.
                    double need = reach2, root = reach;
                    auto consider = [&](uint32_t m) {
                        const Piece &p = pieces[m];
                        double vx, vy;
                        const double d2 = p.Dist2(r, c, &vx, &vy);
                        if (d2 <= reach2 && (d2 < bd2 || (d2 == bd2 && p.id < bid)) &&
                            (d2 <= sure_in_window || in_window(Vec2{p.ax, p.ay}, Vec2{p.bx, p.by}, r, c))) {
                            bd2 = d2;
                            bid = p.id;
                            bpiece = static_cast<int32_t>(m);
                            need = d2;
                            root = -1.0;
                        }
                    };
                    // The left neighbour's nearest piece first: it is
                    // nearly always this pixel's too, and its distance
                    // rules out most runs at once.
                    if (c > 0 && best_piece[j - 1] >= 0) consider(static_cast<uint32_t>(best_piece[j - 1]));
                    else if (r > y0 && best_piece[j - w] >= 0) consider(static_cast<uint32_t>(best_piece[j - w]));
                    for (size_t k = 0; k < near.Size(); ++k) {
                        if (SurelyBeyond(near_gap[k], need)) break;
                        const Cluster &cl = clusters[near[k]];
                        if (root < 0.0) root = std::sqrt(need);
                        if (cl.SurelyFarther(px, py, need, root)) continue;
                        for (uint32_t m = cl.first; m < cl.end; ++m) consider(m);
                    }
                    sc.best_d2[j] = bd2;
                    sc.best_id[j] = bid;
                    best_piece[j] = bpiece;
                }
            }

            if (!want_second) continue;
            // The first vectors, then the nearest chord in a clearly
            // different direction (integer layout only).
            for (int64_t r = ty; r <= ty1; ++r) {
                const size_t row = static_cast<size_t>(r - y0) * w;
                const double py = r + 0.5;
                for (int64_t c = tx; c <= tx1; ++c) {
                    const size_t j = row + static_cast<size_t>(c), i = base + j;
                    sc.second_d2[j] = std::numeric_limits<double>::infinity();
                    sc.second_id[j] = -1;
                    // Outside pixels take no second vector.
                    if (sc.best_id[j] < 0 || field[i] < kLevel) continue;
                    const Chord &ch = stage.chords[static_cast<size_t>(sc.best_id[j])];
                    const Vec2 p{c + 0.5, py};
                    bez::Nearest q = bez::NearestOnLine(ch.a, ch.b, p);
                    const double fx = q.point.x - p.x, fy = q.point.y - p.y;
                    sc.first_x[j] = fx;
                    sc.first_y[j] = fy;
                    // Beyond this squared distance a chord is surely 0.7
                    // pixel or more farther than the nearest (the margin
                    // covers the rounding of the two square roots and
                    // their difference).
                    const double limit = std::sqrt(sc.best_d2[j]) + 0.7 + 1e-6;
                    const double near_enough = limit * limit;
                    const double f2 = fx * fx + fy * fy;
                    // A run whose box lies wholly within 69 degrees of the
                    // first vector (cosine 0.35 and more, far beyond the
                    // rounding of the test) holds no second vector. Only
                    // trusted away from the outline, where the vectors'
                    // rounding is small against their length.
                    const bool cone = sc.best_d2[j] >= 1e-6;
                    auto within_cone = [&](double wx, double wy) {
                        const double dot = wx * fx + wy * fy;
                        return dot > 0.0 && dot * dot > 0.1225 * (wx * wx + wy * wy) * f2;
                    };
                    for (size_t k = 0; k < near.Size(); ++k) {
                        if (SurelyBeyond(near_gap[k], near_enough)) break;
                        const Cluster &cl = clusters[near[k]];
                        if (cl.SurelyFarther(p.x, py, near_enough, limit)) continue;
                        const double g2 = cl.Gap2(p.x, p.x, py, py);
                        if (cone && g2 >= 1e-6 && within_cone(cl.lo_x - p.x, cl.lo_y - py) &&
                            within_cone(cl.hi_x - p.x, cl.lo_y - py) && within_cone(cl.lo_x - p.x, cl.hi_y - py) &&
                            within_cone(cl.hi_x - p.x, cl.hi_y - py))
                            continue;
                        for (uint32_t m = cl.first; m < cl.end; ++m) {
                            const Piece &pc = pieces[m];
                            if (pc.id == sc.best_id[j]) continue;
                            double vx, vy;
                            const double d2 = pc.Dist2(r, c, &vx, &vy);
                            if (d2 > reach2 || d2 > near_enough || d2 > sc.second_d2[j] ||
                                (d2 == sc.second_d2[j] && pc.id > sc.second_id[j]))
                                continue;
                            if (d2 > sure_in_window && !in_window(Vec2{pc.ax, pc.ay}, Vec2{pc.bx, pc.by}, r, c)) continue;
                            SecondCandidate(sc, j, pc.id, d2, vx, vy);
                        }
                    }
                }
            }
        }

        for (size_t j = 0; j < count; ++j) {
            const size_t i = base + j;
            if ((exclude && exclude[i]) || (only && !only[i])) continue;
            const bool inside = field[i] >= kLevel;
            if (sc.best_id[j] < 0) {
                if (inside && maps.dist && merge.dist[i] == std::numeric_limits<float>::infinity() && shift == 0.0)
                    StoreDistance(maps, i, kInsideUnreached);
                continue;
            }
            if (shift > 0.0 && !inside) continue;
            const Chord &ch = stage.chords[static_cast<size_t>(sc.best_id[j])];
            Vec2 p{static_cast<double>(i % w) + 0.5, static_cast<double>(i / w) + 0.5};
            bez::Nearest q = bez::NearestOnLine(ch.a, ch.b, p);
            Vec2 v{q.point.x - p.x, q.point.y - p.y};
            double value;
            Vec2 normal{0, 0};
            if (shift == 0.0) {
                value = inside ? q.dist2 : -q.dist2;
                if (std::fabs(v.x) < kOnOutline && std::fabs(v.y) < kOnOutline) normal = OutwardOf(ch, field, w, h, p);
            } else {
                double d = std::sqrt(q.dist2), s = d - shift;
                Vec2 dir = d > 0 ? Vec2{v.x / d, v.y / d} : OutwardOf(ch, field, w, h, p);
                v = Vec2{dir.x * s, dir.y * s};
                if (s == 0.0) normal = dir;
                value = s * s;
            }
            const float mag = static_cast<float>(std::fabs(value));
            if (!(mag < merge.dist[i])) continue;
            merge.dist[i] = mag;
            if (maps.dist) StoreDistance(maps, i, static_cast<float>(value));
            if (!maps.vec) continue;
            Vec2 sv{0, 0};
            if (want_second && sc.second_id[j] >= 0) {
                const Chord &c2 = stage.chords[static_cast<size_t>(sc.second_id[j])];
                bez::Nearest q2 = bez::NearestOnLine(c2.a, c2.b, p);
                sv = Vec2{q2.point.x - p.x, q2.point.y - p.y};
            }
            StoreVectors(maps, i, v, normal, sv, Vec2{0, 0});
        }
    }
    return Status::kDone;
}

Status ObjectBuild(MapSet &maps, KyPath *object, double width, Progress &progress) {
    constexpr int32_t kUnit = diag::kUnitRelief21;
    // The object filled with the winding rule, anti-aliased, straight into
    // the map's frame: the pixels KyPathToBuf would give it in its own
    // rectangle, already where they lie in the map, with no buffer of its
    // own to make and copy, and a failure of the filler's memory reported
    // from this unit.
    MaskInput in;
    in.path = object;
    in.width = width;
    in.unit = kUnit;
    MaskStage stage;
    MergeState merge;
    progress.SetRange(0, 20);
    Status s = MaskBuild(maps, in, &stage, progress);
    if (s != Status::kDone) return s;
    if (!merge.Init(maps)) return Fail(maps, Status::kNoMemory, kUnit);
    progress.SetRange(20, 100);
    return MaskDistanceBuild(maps, stage, width, 0.0, merge, kUnit, progress);
}

}  // namespace relief
