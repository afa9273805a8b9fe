// core/afd.h - the one Bézier flattener: adaptive forward differencing.
//
// Every subsystem that turns a cubic into chords (the rasteriser, the relief
// builders, the wrap arc-length table, arrowhead measuring, the outline
// drawer) walks it with this routine; only the thresholds differ. Sharing
// one walk is what keeps a mask, its relief map and the drawn outline on
// the same chords.
//
// The arithmetic, exactly:
//
//   The curve P0 P1 P2 P3 is given in pixels (doubles). Its power form
//   B(t) = a t^3 + b t^2 + c t + P0 has, evaluated left to right,
//       a = ((-P0 + 3 P1) - 3 P2) + P3
//       b = (3 P0 - 6 P1) + 3 P2
//       c = 3 (P1 - P0)
//   The parameter t runs over 0 .. 0x10000 in 16.16; the step starts at
//   Params::initial_step (0x4000 = 1/4 for every user today). The forward
//   differences of one step, for h = 1/4 and scaled by 65536 (so a
//   threshold of 60000 means about 0.92 pixel), are
//       D3 = 6144 a
//       D2 = 6144 a + 8192 b
//       D1 = 1024 a + 4096 b + 16384 c
//   and the position starts at 65536 P0, all doubles. An initial step
//   other than 0x4000 is reached by halving from these.
//
//   Each round:
//     1. Halve while |D1.x| or |D1.y| exceeds halve_above and the step is
//        above min_step:
//            D3 = D3 / 8;  D2 = D2 / 4 - D3;  D1 = D1 / 2 - D2 / 2
//        (new values used from left to right).
//     2. Only when step 1 did not halve, and double_below is nonzero:
//        double while both |D1| are below double_below and the doubled step
//        stays within max_step:
//            D1' = 2 D1 + D2;  D3' = 8 D3;  D2' = 4 D2 + D3' / 2
//        Doubling only in rounds that did not halve means a step can never
//        swing back and forth inside one round; every round advances t, so
//        the walk always ends.
//     3. If t + step reaches 0x10000 or beyond, the last chord goes straight
//        to P3 (exactly, not the accumulated position) and the walk ends.
//     4. Otherwise t += step; position += D1; D1 += D2; D2 += D3, and the
//        chord ends at position / 65536.
//
// The callback gets each chord end in pixels, its parameter (16.16) and
// whether it is P3 (passed through exactly). The start point P0 is not
// reported. With Arith::kInteger the interior chord ends are truncated
// toward zero to 16.16 (whole 1/65536 pixels) for callers that plot or
// store FIXED positions; with Arith::kDouble they are left as computed.
//
// Rejected: holding the differences themselves as 16.16 integers. The third
// difference shrinks eightfold per halving (6 a h^3), truncates to 0 after
// a few halvings, and the lost curvature comes back as a drift growing
// with h^-3: an S-curve 300 pixels wide ended 294 pixels off its end point
// before the last chord snapped back; 16 guard bits still left 0.44 pixel
// on curves of +-300 pixels and 1600 pixels at +-3000. Doubles stay within
// 1e-7 pixel of the exact curve point at +-10000.
#pragma once

#include <cmath>
#include <cstdint>

namespace afd {

// Where chord ends land: on whole 1/65536 pixels, or anywhere.
enum class Arith { kInteger, kDouble };

struct Params {
    double halve_above;         // 1/65536 pixel units; 60000 in the rasteriser
    double double_below = 0;    // 0: the step never grows again
    int32_t initial_step = 0x4000;
    int32_t max_step = 0x4000;  // doubling stops here
    int32_t min_step = 1;       // halving stops here
    Arith arith = Arith::kInteger;
};

constexpr int32_t kEnd = 0x10000;

namespace detail {

constexpr int32_t kCalmRounds = 8;  // rounds per test of Axis::Calm

// One axis of the walk, in 1/65536 pixel units.
struct Axis {
    double pos, d1, d2, d3;

    void Init(double p0, double p1, double p2, double p3) {
        double a = ((-p0 + 3 * p1) - 3 * p2) + p3;
        double b = (3 * p0 - 6 * p1) + 3 * p2;
        double c = 3 * (p1 - p0);
        pos = 65536.0 * p0;
        d3 = 6144.0 * a;
        d2 = 6144.0 * a + 8192.0 * b;
        d1 = 1024.0 * a + 4096.0 * b + 16384.0 * c;
    }
    void Halve() {
        d3 = d3 / 8;
        d2 = d2 / 4 - d3;
        d1 = d1 / 2 - d2 / 2;
    }
    void Double() {
        d1 = 2 * d1 + d2;
        d3 = 8 * d3;
        d2 = 4 * d2 + d3 / 2;
    }
    void Step() {
        pos += d1;
        d1 += d2;
        d2 += d3;
    }
    // True when |d1| stays at or below h over the next kCalmRounds steps,
    // so none of those rounds halves. After j steps d1 is d1 + j d2 +
    // j(j-1)/2 d3 (each addition rounding by a relative 2^-53), which the
    // sum below bounds for every j below 8 with a margin far above the
    // roundings. False for NaN and infinities.
    bool Calm(double h) const {
        return std::fabs(d1) + 8.0 * std::fabs(d2) + 32.0 * std::fabs(d3) <= h * (1.0 - 1.0 / 1048576);
    }
    double Pixels(bool fixed) const {
        if (!fixed) return pos / 65536.0;
        double whole = std::trunc(pos);
        return (whole == whole ? whole : 0.0) / 65536.0;
    }
};

template <class Emit>
void Walk(const double px[4], const double py[4], const Params &prm, Emit &emit) {
    Axis x, y;
    x.Init(px[0], px[1], px[2], px[3]);
    y.Init(py[0], py[1], py[2], py[3]);
    const bool fixed = prm.arith == Arith::kInteger;
    int32_t step = 0x4000;
    while (step > prm.initial_step && step > 1) {
        x.Halve();
        y.Halve();
        step >>= 1;
    }
    const double halve = prm.halve_above, grow = prm.double_below;
    int32_t t = 0;
    for (;;) {
        // Without doubling, a round that neither halves nor reaches the
        // end only steps. Once the step has settled (most rounds of a
        // curve), kCalmRounds of them at a time are shown to be such
        // rounds by one test, and the per-round tests are left out.
        if (!(grow > 0)) {
            while (t + kCalmRounds * step < kEnd && x.Calm(halve) && y.Calm(halve)) {
                for (int32_t j = 0; j < kCalmRounds; ++j) {
                    t += step;
                    x.Step();
                    y.Step();
                    emit(x.Pixels(fixed), y.Pixels(fixed), t, false);
                }
            }
        }
        bool halved = false;
        while ((std::fabs(x.d1) > halve || std::fabs(y.d1) > halve) && step > prm.min_step) {
            x.Halve();
            y.Halve();
            step >>= 1;
            halved = true;
        }
        if (!halved && grow > 0) {
            while (std::fabs(x.d1) < grow && std::fabs(y.d1) < grow && step * 2 <= prm.max_step) {
                x.Double();
                y.Double();
                step <<= 1;
            }
        }
        if (t + step >= kEnd) {
            emit(px[3], py[3], kEnd, true);
            return;
        }
        t += step;
        x.Step();
        y.Step();
        emit(x.Pixels(fixed), y.Pixels(fixed), t, false);
    }
}

}  // namespace detail

// Walks the cubic (px[i], py[i]) and calls emit(x, y, t, is_last) for the
// end of every chord, in order.
template <class Emit>
void Flatten(const double px[4], const double py[4], const Params &prm, Emit &&emit) {
    detail::Walk(px, py, prm, emit);
}

// The rasteriser's setting: halve above 60000, never double, doubles.
constexpr Params RasterParams() {
    Params p{60000.0};
    p.arith = Arith::kDouble;
    return p;
}

}  // namespace afd
