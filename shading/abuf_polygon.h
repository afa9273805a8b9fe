// shading/abuf_polygon.h - polygon coverage from the edge table (included
// by shading/abuf.h; not a header of its own).
//
// Classic A-buffer coverage: a sub-pixel is inside a polygon when an odd
// number of its edges pass to its left in its sub-row. Each edge is cut at
// pixel rows and then at pixel columns; a piece inside one pixel has its
// ends rounded to the 5 x 9 grid of sub-row and sub-column boundaries and
// looks up, in the edge table, the sub-columns right of it in the sub-rows
// it crosses; that set is XORed into its pixel. Every pixel further right
// in the row has all sub-columns of those sub-rows flipped: that goes into
// a carry cell, and one left-to-right sweep per row applies the carries.
//
// Why shared edges split exactly: an edge is always cut from its upper end
// (ties: its left end), with the same expressions, whichever polygon it
// belongs to and whichever way that polygon runs, so both neighbours see
// bit-identical pieces and flip the same sub-pixels. The cut points on a
// pixel border land on a grid boundary exactly (local 0 or 8, 0 or 4), so
// the pieces of one edge chain up without gaps, and the sub-rows they
// cross telescope to the sub-rows the whole edge crosses.
//
// Clipping: rows outside [row0, row1) are skipped (not cut differently),
// the part of an edge left of column 0 is one piece that only carries into
// column 0, and the part right of the last column is dropped. A polygon
// near the eye can project to millions of pixels; this keeps the work to
// the visible columns and the strip's rows.
#pragma once

#include <cmath>
#include <cstring>

namespace abuf {

namespace polygon_detail {

// floor() as an integer, for values the caller has bounded.
inline int64_t FloorI(double v) {
    constexpr double kLimit = 4.0e15;
    if (!(v > -kLimit)) return static_cast<int64_t>(-kLimit);
    if (v > kLimit) return static_cast<int64_t>(kLimit);
    return static_cast<int64_t>(std::floor(v));
}

inline int Quantise(double local, int steps) {
    double v = std::floor(local * steps + 0.5);
    if (!(v > 0.0)) return 0;
    return v < steps ? static_cast<int>(v) : steps;
}

}  // namespace polygon_detail

template <class Emit>
bool RasterPolygon(const double *xs, const double *ys, int n, const uint8_t *edge_table, int64_t width, int64_t row0,
                   int64_t row1, QuadScratch *scratch, Emit &&emit) {
    using polygon_detail::FloorI;
    using polygon_detail::Quantise;
    if (n < 3 || width <= 0 || row1 <= row0) return true;
    double minx = xs[0], maxx = xs[0], miny = ys[0], maxy = ys[0];
    for (int i = 1; i < n; ++i) {
        minx = xs[i] < minx ? xs[i] : minx;
        maxx = xs[i] > maxx ? xs[i] : maxx;
        miny = ys[i] < miny ? ys[i] : miny;
        maxy = ys[i] > maxy ? ys[i] : maxy;
    }
    if (!(minx == minx && maxx == maxx && miny == miny && maxy == maxy)) return true;  // NaN: nothing to draw
    int64_t ry0 = FloorI(miny), ry1 = FloorI(maxy);
    if (ry0 < row0) ry0 = row0;
    if (ry1 > row1 - 1) ry1 = row1 - 1;
    int64_t cx0 = FloorI(minx), cx1 = FloorI(maxx);
    if (cx0 < 0) cx0 = 0;
    if (cx1 > width - 1) cx1 = width - 1;
    if (ry0 > ry1 || cx0 > cx1) return true;
    const size_t bw = static_cast<size_t>(cx1 - cx0 + 1), bh = static_cast<size_t>(ry1 - ry0 + 1);
    if (!GrowScratch(scratch, 2 * bw * bh)) return false;
    uint32_t *acc = scratch->cells;        // per pixel: XOR of its own pieces
    uint32_t *carry = acc + bw * bh;       // per pixel: flips from pieces to its left
    std::memset(acc, 0, 2 * bw * bh * sizeof(uint32_t));

    for (int i = 0; i < n; ++i) {
        int j = i + 1 == n ? 0 : i + 1;
        double ax = xs[i], ay = ys[i], bx = xs[j], by = ys[j];
        if (ay == by) continue;  // crosses no sub-row
        if (ay > by || (ay == by && ax > bx)) {
            double t = ax;
            ax = bx;
            bx = t;
            t = ay;
            ay = by;
            by = t;
        }
        const double slope_x = (bx - ax) / (by - ay);
        int64_t py_first = FloorI(ay), py_last = FloorI(by);
        if (py_first < ry0) py_first = ry0;
        if (py_last > ry1) py_last = ry1;
        for (int64_t py = py_first; py <= py_last; ++py) {
            const double top = static_cast<double>(py), bottom = top + 1.0;
            const double ya = ay > top ? ay : top, yb = by < bottom ? by : bottom;
            if (!(yb > ya)) continue;
            const double xa = ya == ay ? ax : ax + (ya - ay) * slope_x;
            const double xb = yb == by ? bx : ax + (yb - ay) * slope_x;
            const size_t row = static_cast<size_t>(py - ry0);
            uint32_t *acc_row = acc + row * bw, *carry_row = carry + row * bw;
            // Columns from the piece's start to its end; -1 stands for
            // everything left of column 0, `width` for everything right of
            // the last one.
            auto clamp_col = [&](double x) {
                int64_t c = FloorI(x);
                return c < -1 ? int64_t{-1} : (c > width ? width : c);
            };
            const int64_t c_first = clamp_col(xa), c_last = clamp_col(xb);
            const int64_t step = c_last >= c_first ? 1 : -1;
            const double slope_y = xb != xa ? (yb - ya) / (xb - xa) : 0.0;
            double sx = xa, sy = ya;
            for (int64_t c = c_first;; c += step) {
                double ex, ey;
                if (c == c_last) {
                    ex = xb;
                    ey = yb;
                } else {
                    ex = static_cast<double>(step > 0 ? c + 1 : c);
                    ey = ya + (ex - xa) * slope_y;
                }
                if (c >= 0 && c < width) {
                    const double left = static_cast<double>(c);
                    const int qa = Quantise(sy - top, 4), qb = Quantise(sx - left, 8);
                    const int qc = Quantise(ey - top, 4), qd = Quantise(ex - left, 8);
                    if (qa != qc) {
                        acc_row[c - cx0] ^= EdgeMask(edge_table, qa, qb, qc, qd);
                        if (c + 1 <= cx1) carry_row[c + 1 - cx0] ^= RowSpanMask(qa, qc);
                    }
                } else if (c < 0) {
                    const int qa = Quantise(sy - top, 4), qc = Quantise(ey - top, 4);
                    carry_row[0] ^= RowSpanMask(qa, qc);  // cx0 is 0 whenever anything lies left of it
                }
                if (c == c_last) break;
                sx = ex;
                sy = ey;
            }
        }
    }
    for (size_t row = 0; row < bh; ++row) {
        uint32_t running = 0;
        const uint32_t *acc_row = acc + row * bw, *carry_row = carry + row * bw;
        for (size_t k = 0; k < bw; ++k) {
            running ^= carry_row[k];
            uint32_t m = acc_row[k] ^ running;
            if (m) emit(cx0 + static_cast<int64_t>(k), ry0 + static_cast<int64_t>(row), m);
        }
    }
    return true;
}

}  // namespace abuf
