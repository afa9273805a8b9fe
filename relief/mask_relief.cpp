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

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
    const double v[4] = {static_cast<double>(field[i]), static_cast<double>(field[i + 1]),
                         static_cast<double>(field[i + w + 1]), static_cast<double>(field[i + w])};
    const Vec2 corner[4] = {{c + 0.5, r + 0.5}, {c + 1.5, r + 0.5}, {c + 1.5, r + 1.5}, {c + 0.5, r + 1.5}};
    int code = 0;
    for (int k = 0; k < 4; ++k)
        if (v[k] >= kLevel) code |= 1 << k;
    if (code == 0 || code == 15) return;
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

constexpr int64_t kBlock = 8;        // pixels of a row that share one bound
constexpr uint32_t kSeedStride = 16;  // chords of the seeding pass: one in so many

// The box of a chord piece seen from pixel row r: the squared distance
// from the centres of pixels c0..c1 of the row to the box is a lower bound
// of their squared distances to the piece.
struct PieceBox {
    double lo_x, hi_x, gap_y2;
    PieceBox(Vec2 a, Vec2 b, int64_t r) : lo_x(std::fmin(a.x, b.x)), hi_x(std::fmax(a.x, b.x)) {
        const double lo_y = std::fmin(a.y, b.y), hi_y = std::fmax(a.y, b.y), py = r + 0.5;
        const double gy = py < lo_y ? lo_y - py : (py > hi_y ? py - hi_y : 0.0);
        gap_y2 = gy * gy;
    }
    double Gap2(int64_t c0, int64_t c1) const {
        const double xl = c0 + 0.5, xr = c1 + 0.5;
        const double gx = xr < lo_x ? lo_x - xr : (xl > hi_x ? xl - hi_x : 0.0);
        return gx * gx + gap_y2;
    }
};

// Whether a box bound surely exceeds a squared distance worked out through
// the projection: both carry rounding of a few ulps, the margin far more.
inline bool SurelyBeyond(double bound2, double d2) { return bound2 > d2 * (1.0 + 1e-9) + 1e-9; }

// The largest value of block `blk` of a row of w items (-1 for none).
template <class T, class Get>
double BlockMax(const T *row, int64_t blk, uint32_t w, Get &&get) {
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(w), (blk + 1) * kBlock);
    double m = -1.0;
    for (int64_t c = blk * kBlock; c < end; ++c)
        if (get(row[c]) > m) m = get(row[c]);
    return m;
}


// One piece seen from one pixel row: what the distance to each pixel
// centre of the row is worked out from. The arithmetic is the same in the
// scalar and the vector loops, operation for operation, so both give the
// same bits.
struct PieceRow {
    double ax, dx, dy, inv, ry, rdy;  // rdy = ry * dy
    int32_t id;
    PieceRow(Vec2 a, Vec2 b, int64_t r, int32_t chord)
        : ax(a.x), dx(b.x - a.x), dy(b.y - a.y), ry(r + 0.5 - a.y), id(chord) {
        const double len2 = dx * dx + dy * dy;
        inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
        rdy = ry * dy;
    }
    // Squared distance from the centre of pixel c, and the vector to the
    // nearest point of the piece.
    double Dist2(int64_t c, double *vx, double *vy) const {
        const double rx = c + 0.5 - ax;
        double t = (rx * dx + rdy) * inv;
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
        *vx = t * dx - rx;
        *vy = t * dy - ry;
        return *vx * *vx + *vy * *vy;
    }
};

// The per-pixel scratch of one band, one array per field so that the
// vector loops load four pixels at once.
struct BandScratch {
    Scratch<double> best_d2, second_d2, first_x, first_y, near_enough;
    Scratch<int32_t> best_id, second_id;
};

// Nearest-chord update of pixels c..end of a row: a pixel takes the piece
// when it lies within reach and is nearer, or as near with a lower chord
// number. True when any pixel changed.
bool NearestScalar(const PieceRow &p, double reach2, int64_t c, int64_t end, double *bd2, int32_t *bid,
                   const uint8_t *only_row, const uint8_t *ex_row) {
    bool changed = false;
    for (; c <= end; ++c) {
        if (only_row && !only_row[c]) continue;
        double vx, vy;
        const double d2 = p.Dist2(c, &vx, &vy);
        if (d2 <= reach2 && (d2 < bd2[c] || (d2 == bd2[c] && p.id < bid[c])) && !(ex_row && ex_row[c])) {
            bd2[c] = d2;
            bid[c] = p.id;
            changed = true;
        }
    }
    return changed;
}

// Whether a chord at squared distance d2 in direction (vx, vy) surely fails
// the second-vector angle test (cosine below 0.34) against the first vector
// of squared length b2: its cosine is 0.35 or more, a margin far beyond the
// rounding of the exact test, so the square roots of that test are spared.
inline bool SurelySameSide(double dot, double d2, double b2) {
    const double prod = d2 * b2;
    return dot > 0.0 && prod > 1e-200 && dot * dot > 0.1225 * prod;
}

// The second-vector test of one pixel j of the band against a piece (the
// squared distance and vector already worked out); keeps the nearest chord
// whose direction differs enough.
inline void SecondCandidate(BandScratch &s, size_t j, int32_t id, double d2, double vx, double vy) {
    const double len0 = std::sqrt(s.best_d2[j]), len = std::sqrt(d2);
    if (len - len0 >= 0.7 || len0 == 0.0 || len == 0.0) return;
    const double cosine = (vx * s.first_x[j] + vy * s.first_y[j]) / (len0 * len);
    if (cosine < 0.34) {
        s.second_d2[j] = d2;
        s.second_id[j] = id;
    }
}

// Second-vector search over pixels c..end of a row starting at band index
// `row`. Pixels without a first vector, outside pixels and excluded ones
// carry a near-enough limit of -1 and so never pass.
void SecondScalar(const PieceRow &p, double reach2, int64_t c, int64_t end, size_t row, BandScratch &s) {
    for (; c <= end; ++c) {
        const size_t j = row + static_cast<size_t>(c);
        if (s.best_id[j] == p.id) continue;
        double vx, vy;
        const double d2 = p.Dist2(c, &vx, &vy);
        if (d2 > reach2 || d2 >= s.second_d2[j] || d2 > s.near_enough[j]) continue;
        if (SurelySameSide(vx * s.first_x[j] + vy * s.first_y[j], d2, s.best_d2[j])) continue;
        SecondCandidate(s, j, p.id, d2, vx, vy);
    }
}

#if defined(__x86_64__)
#define Y32_RELIEF_AVX2 1
// The same two loops four pixels at a time (AVX2, no fused multiply-add:
// every product and sum is rounded as the scalar loop rounds it).
struct Lanes {
    __m256d d2, vx, vy;
};

__attribute__((target("avx2"))) inline Lanes Dist2x4(const PieceRow &p, int64_t c) {
    const __m256d offs = _mm256_set_pd(3.5, 2.5, 1.5, 0.5);
    const __m256d cx = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(c)), offs);
    const __m256d rx = _mm256_sub_pd(cx, _mm256_set1_pd(p.ax));
    const __m256d dx = _mm256_set1_pd(p.dx), dy = _mm256_set1_pd(p.dy);
    __m256d t = _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(rx, dx), _mm256_set1_pd(p.rdy)), _mm256_set1_pd(p.inv));
    const __m256d zero = _mm256_setzero_pd();
    const __m256d over = _mm256_cmp_pd(t, _mm256_set1_pd(1.0), _CMP_GT_OQ);
    const __m256d under = _mm256_cmp_pd(t, zero, _CMP_LT_OQ);
    t = _mm256_blendv_pd(t, _mm256_set1_pd(1.0), over);
    t = _mm256_blendv_pd(t, zero, under);
    Lanes out;
    out.vx = _mm256_sub_pd(_mm256_mul_pd(t, dx), rx);
    out.vy = _mm256_sub_pd(_mm256_mul_pd(t, dy), _mm256_set1_pd(p.ry));
    out.d2 = _mm256_add_pd(_mm256_mul_pd(out.vx, out.vx), _mm256_mul_pd(out.vy, out.vy));
    return out;
}

__attribute__((target("avx2"))) bool NearestAvx2(const PieceRow &p, double reach2, int64_t c, int64_t end,
                                                 double *bd2, int32_t *bid) {
    bool changed = false;
    const __m256d lim = _mm256_set1_pd(reach2);
    const __m128i idv = _mm_set1_epi32(p.id);
    for (; c + 3 <= end; c += 4) {
        const __m256d d2 = Dist2x4(p, c).d2;
        const __m256d old = _mm256_loadu_pd(bd2 + c);
        const __m128i old_id = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bid + c));
        const __m256d lower_id = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmpgt_epi32(old_id, idv)));
        const __m256d take = _mm256_and_pd(
            _mm256_cmp_pd(d2, lim, _CMP_LE_OQ),
            _mm256_or_pd(_mm256_cmp_pd(d2, old, _CMP_LT_OQ), _mm256_and_pd(_mm256_cmp_pd(d2, old, _CMP_EQ_OQ), lower_id)));
        const int m = _mm256_movemask_pd(take);
        if (!m) continue;
        _mm256_storeu_pd(bd2 + c, _mm256_blendv_pd(old, d2, take));
        for (int l = 0; l < 4; ++l)
            if (m & (1 << l)) bid[c + l] = p.id;
        changed = true;
    }
    if (c <= end) changed |= NearestScalar(p, reach2, c, end, bd2, bid, nullptr, nullptr);
    return changed;
}

__attribute__((target("avx2"))) void SecondAvx2(const PieceRow &p, double reach2, int64_t c, int64_t end, size_t row,
                                                BandScratch &s) {
    const __m256d lim = _mm256_set1_pd(reach2), k = _mm256_set1_pd(0.1225), tiny = _mm256_set1_pd(1e-200);
    const __m256d zero = _mm256_setzero_pd();
    const __m128i idv = _mm_set1_epi32(p.id);
    for (; c + 3 <= end; c += 4) {
        const size_t j = row + static_cast<size_t>(c);
        const Lanes q = Dist2x4(p, c);
        __m256d pass = _mm256_and_pd(_mm256_cmp_pd(q.d2, lim, _CMP_LE_OQ),
                                     _mm256_cmp_pd(q.d2, _mm256_loadu_pd(s.second_d2.Data() + j), _CMP_LT_OQ));
        pass = _mm256_and_pd(pass, _mm256_cmp_pd(q.d2, _mm256_loadu_pd(s.near_enough.Data() + j), _CMP_LE_OQ));
        if (!_mm256_movemask_pd(pass)) continue;
        const __m256d dot = _mm256_add_pd(_mm256_mul_pd(q.vx, _mm256_loadu_pd(s.first_x.Data() + j)),
                                          _mm256_mul_pd(q.vy, _mm256_loadu_pd(s.first_y.Data() + j)));
        const __m256d prod = _mm256_mul_pd(q.d2, _mm256_loadu_pd(s.best_d2.Data() + j));
        const __m256d same = _mm256_and_pd(
            _mm256_and_pd(_mm256_cmp_pd(dot, zero, _CMP_GT_OQ), _mm256_cmp_pd(prod, tiny, _CMP_GT_OQ)),
            _mm256_cmp_pd(_mm256_mul_pd(dot, dot), _mm256_mul_pd(k, prod), _CMP_GT_OQ));
        const __m128i own = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s.best_id.Data() + j)), idv);
        pass = _mm256_andnot_pd(_mm256_or_pd(same, _mm256_castsi256_pd(_mm256_cvtepi32_epi64(own))), pass);
        const int m = _mm256_movemask_pd(pass);
        if (!m) continue;
        alignas(32) double d2[4], vx[4], vy[4];
        _mm256_store_pd(d2, q.d2);
        _mm256_store_pd(vx, q.vx);
        _mm256_store_pd(vy, q.vy);
        for (int l = 0; l < 4; ++l)
            if ((m & (1 << l)) && d2[l] < s.second_d2[j + l]) SecondCandidate(s, j + l, p.id, d2[l], vx[l], vy[l]);
    }
    if (c <= end) SecondScalar(p, reach2, c, end, row, s);
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#else
bool HasAvx2() { return false; }
#endif

bool g_vector_kernels = true;

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

bool SetVectorLoops(bool on) {
    const bool was = g_vector_kernels;
    g_vector_kernels = on;
    return was;
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

    // Calls fn(a, b, r, c0, c1) for the pieces of the chord (no longer
    // than the reach, so a long slanted chord does not sweep its whole box)
    // and each pixel row r in band_r0 .. band_r1 whose pixels c0..c1 may
    // lie within reach of the piece: the row's part of the piece's box
    // grown by the reach, trimmed to where the row passes within reach of
    // the piece's y range.
    auto rows_of = [&](const Chord &ch, int64_t band_r0, int64_t band_r1, auto &&fn) {
        double ex = ch.b.x - ch.a.x, ey = ch.b.y - ch.a.y, len = std::sqrt(ex * ex + ey * ey);
        double piece = reach > 1.0 ? reach : 1.0;
        int64_t pieces = len > piece ? static_cast<int64_t>(std::ceil(len / piece)) : 1;
        for (int64_t k = 0; k < pieces; ++k) {
            Vec2 a{ch.a.x + ex * k / pieces, ch.a.y + ey * k / pieces};
            Vec2 b = k + 1 == pieces ? ch.b : Vec2{ch.a.x + ex * (k + 1) / pieces, ch.a.y + ey * (k + 1) / pieces};
            const double lo_x = std::fmin(a.x, b.x), hi_x = std::fmax(a.x, b.x);
            const double lo_y = std::fmin(a.y, b.y), hi_y = std::fmax(a.y, b.y);
            double y0 = lo_y - reach - 0.5, y1 = hi_y + reach - 0.5;
            if (!(y1 >= 0 && y0 < h && hi_x + reach - 0.5 >= 0 && lo_x - reach - 0.5 < w)) continue;
            int64_t r0 = y0 <= 0 ? 0 : static_cast<int64_t>(std::ceil(y0));
            int64_t r1 = y1 >= h - 1.0 ? static_cast<int64_t>(h) - 1 : static_cast<int64_t>(std::floor(y1));
            if (r0 < band_r0) r0 = band_r0;
            if (r1 > band_r1) r1 = band_r1;
            for (int64_t r = r0; r <= r1; ++r) {
                const double py = r + 0.5;
                const double gap = py < lo_y ? lo_y - py : (py > hi_y ? py - hi_y : 0.0);
                const double half = std::sqrt(std::fmax(reach2 - gap * gap, 0.0));
                double x0 = lo_x - half - 0.5, x1 = hi_x + half - 0.5;
                if (!(x1 >= 0 && x0 < w)) continue;
                // Ceiling and floor by truncation (x0 > 0 and 0 <= x1 < w
                // here): without SSE4.1 std::ceil is a library call, and this
                // runs for every row of every piece.
                int64_t c0 = 0;
                if (x0 > 0) {
                    c0 = static_cast<int64_t>(x0);
                    if (static_cast<double>(c0) < x0) ++c0;
                }
                int64_t c1 = x1 >= w - 1.0 ? static_cast<int64_t>(w) - 1 : static_cast<int64_t>(x1);
                fn(a, b, r, c0, c1);
            }
        }
    };

    // The map is measured band by band of rows. Each chord visits only the
    // bands its reach touches, in chord order, so every pixel meets its
    // candidates in the order one pass over the whole map would give and
    // ties go the same way; the per-pixel scratch is one band's, reused.
    // Profiling the whole-map form showed a third of its time in the
    // kernel, faulting in three scratch arrays of 16 bytes a pixel that
    // were each touched once.
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

    const int64_t total = static_cast<int64_t>(entries) * (want_second ? 2 : 1);
    int64_t done = 0;
    const size_t band_pixels = static_cast<size_t>(kBand) * w;
    BandScratch sc;
    // Per row of the band and block of kBlock pixels, an upper bound of
    // what a chord must come within to change a pixel there: the largest
    // nearest distance so far in the first pass (it only shrinks, so a
    // bound left from earlier stays true), the largest second-vector
    // limit in the second. A piece whose box lies surely beyond it skips
    // the block. Chords come in outline order, so once the outline has
    // passed a pixel the rest of it mostly lies beyond its nearest point;
    // in the second pass nearly every chord does.
    const uint32_t blocks = (w + kBlock - 1) / kBlock;
    Scratch<double> block_max;
    // The vector arrays get three spare slots so that a four-pixel load at
    // the end of a row stays inside them.
    const size_t room = band_pixels + 3;
    if (!block_max.Allocate(static_cast<size_t>(kBand) * blocks, false) || !sc.best_d2.Allocate(room, false) ||
        !sc.best_id.Allocate(room, false) ||
        (want_second && (!sc.first_x.Allocate(room, false) || !sc.first_y.Allocate(room, false) ||
                         !sc.second_d2.Allocate(room, false) || !sc.second_id.Allocate(room, false) ||
                         !sc.near_enough.Allocate(room, false))))
        return Fail(maps, Status::kNoMemory, unit);
    const bool vector = g_vector_kernels && HasAvx2();

    for (uint32_t band = 0; band < bands; ++band) {
        const int64_t y0 = static_cast<int64_t>(band) * kBand;
        const int64_t y1 = std::min<int64_t>(y0 + kBand, h) - 1;
        const size_t base = static_cast<size_t>(y0) * w, count = static_cast<size_t>(y1 - y0 + 1) * w;
        for (size_t j = 0; j < count; ++j) {
            sc.best_d2[j] = std::numeric_limits<double>::infinity();
            sc.best_id[j] = -1;
        }
        for (size_t j = 0; j < static_cast<size_t>(kBand) * blocks; ++j)
            block_max[j] = std::numeric_limits<double>::infinity();

        // The nearest chord of every pixel: only the squared distance is
        // needed here, with the projection's division taken out of the loop.
        // Every kSeedStride-th chord first: each pixel within reach then
        // holds a nearest point a few pixels from the true one, and the
        // bounds prune most of the full pass. A chord met twice changes
        // nothing the second time; equal distances go to the lower chord
        // number, as they would in a single pass in chord order.
        const uint32_t first_item = band_start[band], end_item = band_start[band + 1];
        for (uint32_t step = 0; step < 2; ++step)
        for (uint32_t e = first_item; e < end_item; e += step == 0 ? kSeedStride : 1) {
            if (step == 1 && !progress.Step(done++, total)) return Fail(maps, Status::kCancelled, unit);
            const int32_t id = static_cast<int32_t>(band_items[e]);
            rows_of(stage.chords[band_items[e]], y0, y1, [&](Vec2 a, Vec2 b, int64_t r, int64_t c0, int64_t c1) {
                const PieceRow piece(a, b, r, id);
                double *bd2 = sc.best_d2.Data() + static_cast<size_t>(r - y0) * w;
                int32_t *bid = sc.best_id.Data() + static_cast<size_t>(r - y0) * w;
                double *row_max = block_max.Data() + static_cast<size_t>(r - y0) * blocks;
                const uint8_t *ex_row = exclude ? exclude + static_cast<size_t>(r) * w : nullptr;
                const uint8_t *only_row = only ? only + static_cast<size_t>(r) * w : nullptr;
                const bool plain = vector && !ex_row && !only_row;
                const PieceBox box(a, b, r);
                for (int64_t c = c0; c <= c1;) {
                    const int64_t blk = c / kBlock, end = std::min<int64_t>(c1, blk * kBlock + kBlock - 1);
                    if (!SurelyBeyond(box.Gap2(c, end), row_max[blk])) {
#ifdef Y32_RELIEF_AVX2
                        const bool changed = plain ? NearestAvx2(piece, reach2, c, end, bd2, bid)
                                                   : NearestScalar(piece, reach2, c, end, bd2, bid, only_row, ex_row);
#else
                        const bool changed = NearestScalar(piece, reach2, c, end, bd2, bid, only_row, ex_row);
#endif
                        if (changed) row_max[blk] = BlockMax(bd2, blk, w, [](double x) { return x; });
                    }
                    c = end + 1;
                }
            });
        }

        // The first vectors, then the nearest chord in a clearly different
        // direction (integer layout only).
        if (want_second) {
            for (size_t j = 0; j < count; ++j) {
                sc.second_d2[j] = std::numeric_limits<double>::infinity();
                sc.second_id[j] = -1;
                sc.first_x[j] = sc.first_y[j] = 0.0;
                sc.near_enough[j] = -1.0;
                if (sc.best_id[j] < 0) continue;
                // Beyond this squared distance a chord is surely 0.7 pixel
                // or more farther than the nearest (the margin covers the
                // rounding of the two square roots and their difference),
                // so it is passed over without them: most inside pixels
                // never find a second vector, and these roots were the
                // larger part of the second pass.
                const double limit = std::sqrt(sc.best_d2[j]) + 0.7 + 1e-6;
                sc.near_enough[j] = limit * limit;
                const size_t i = base + j;
                const Chord &ch = stage.chords[static_cast<size_t>(sc.best_id[j])];
                Vec2 p{static_cast<double>(i % w) + 0.5, static_cast<double>(i / w) + 0.5};
                bez::Nearest q = bez::NearestOnLine(ch.a, ch.b, p);
                sc.first_x[j] = q.point.x - p.x;
                sc.first_y[j] = q.point.y - p.y;
                // Outside pixels take no second vector.
                if (field[i] < kLevel) sc.near_enough[j] = -1.0;
            }
            for (int64_t r = y0; r <= y1; ++r)
                for (uint32_t blk = 0; blk < blocks; ++blk)
                    block_max[static_cast<size_t>(r - y0) * blocks + blk] = BlockMax(
                        sc.near_enough.Data() + static_cast<size_t>(r - y0) * w, blk, w, [](double v) { return v; });
            for (uint32_t e = band_start[band]; e < band_start[band + 1]; ++e) {
                if (!progress.Step(done++, total)) return Fail(maps, Status::kCancelled, unit);
                const int32_t id = static_cast<int32_t>(band_items[e]);
                rows_of(stage.chords[band_items[e]], y0, y1, [&](Vec2 a, Vec2 b, int64_t r, int64_t c0, int64_t c1) {
                    const PieceRow piece(a, b, r, id);
                    const size_t row = static_cast<size_t>(r - y0) * w;
                    const double *row_max = block_max.Data() + static_cast<size_t>(r - y0) * blocks;
                    const PieceBox box(a, b, r);
                    for (int64_t c = c0; c <= c1;) {
                        const int64_t blk = c / kBlock, end = std::min<int64_t>(c1, blk * kBlock + kBlock - 1);
                        if (!SurelyBeyond(box.Gap2(c, end), row_max[blk])) {
#ifdef Y32_RELIEF_AVX2
                            if (vector) SecondAvx2(piece, reach2, c, end, row, sc);
                            else SecondScalar(piece, reach2, c, end, row, sc);
#else
                            SecondScalar(piece, reach2, c, end, row, sc);
#endif
                        }
                        c = end + 1;
                    }
                });
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
    // rectangle, already where they lie in the map, and a failure of the
    // filler's memory is seen (KyPathToBuf would hand back a partly
    // filled mask as if nothing had happened).
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
