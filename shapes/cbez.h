// shapes/cbez.h - the smooth curve tool's curve: knots with handles the
// library places itself.
//
// Controls run knot, handle, handle, knot, ... in image coordinates
// (doubles). Knots sit at indices 0, 3, 6, ...; controls 3i+1 and 3i+2 are
// the handles of segment i. nCtrls is 0 (empty), 1 (first knot only) or
// 1 + 3 * segments, never more than kMaxCtrls (127 segments).
//
// A knot's flag says whether tangent continuity is carried across it
// (kClamp) or whether it is a free end, a corner (kRelax). Every rearrange
// works on a window of knots around the one that moved; a relaxed knot
// ends the window, so the curve beyond a corner never changes.
//
// Three arrangements:
//  - G1: each interior knot gets handles along the bisector-weighted
//    tangent of its two chords, each as long as `tension` times the chord
//    on its side. Cheap, local, never overshoots wildly.
//  - C2: the handles of an interpolating cubic spline (equal first and
//    second derivatives at every knot), from a small linear system. Only
//    runs of up to five knots are solved, which covers the +-2 knot window
//    the tool edits with.
//  - HYBRID: the spline's tangent directions with G1's handle lengths.
//
// The curve is closed when it has at least three segments and its last
// knot lies on its first (within kSame in x and y).
#pragma once

#include <cstdint>

#include "core/vec.h"
#include "y32path/types.h"

struct Y32Dc;
struct Y32Point;
struct CoordStruct;

// One control point of the curve tools and of the curve fitter.
struct BezCtrl {
    double x;
    double y;
    uint32_t flag;  // on a knot: kClamp or kRelax; 0 on handles
};

class CBez {
  public:
    enum Type { kG1 = 0, kC2 = 1, kHybrid = 2 };
    enum KnotFlag : uint32_t { kClamp = 0, kRelax = 1 };

    static constexpr int32_t kMaxCtrls = 384;
    static constexpr int32_t kMaxSolvedKnots = 5;
    static constexpr double kDefaultTension = 0.375;
    static constexpr double kMaxTension = 0.5;
    // Points this close (in x and in y) count as one.
    static constexpr double kSame = 0.0001;
    // Smaller pivots make the elimination fail rather than amplify noise.
    static constexpr double kMinPivot = 0.0001;

    CBez();

    void Empty();
    // Starts the curve with a knot at (0, 0), or adds a zero-length segment
    // at the last knot whose new end knot carries `flag`. Ignored when the
    // segment would not fit.
    void Append(uint32_t flag);
    void DeleteLast();
    // Whether `pt` (the last control when null) lies on control 0 of a
    // curve of at least three segments.
    bool IsClosed(const vec::Vec2 *pt = nullptr) const;

    // Moves knot `index` to `pos` and rearranges the handles of the `span`
    // (1 or 2) knots on either side with continuity `type` (a type other
    // than C2 and HYBRID arranges as G1). With
    // closedAllowed, a closed curve is treated as a loop. Anything else
    // (index not a knot, span out of range) changes nothing.
    void Edit(int32_t type, int32_t index, vec::Vec2 pos, int32_t span, bool closedAllowed);

    // Place the handles of `run`, n controls starting and ending on a knot
    // (n >= 4, n - 1 a multiple of 3). `left` and `right` are the end
    // tangents (null: that end is free). G1 takes unit tangents, C2 and
    // HYBRID take derivatives. `closed` is honoured only when the run's
    // first and last knots coincide.
    void ArrangeSegmentsG1(BezCtrl *run, int32_t n, bool closed, const vec::Vec2 *left,
                           const vec::Vec2 *right) const;
    // False (handles untouched) for runs of more than five knots or a
    // system that cannot be solved; arranges HYBRID when `type` says so.
    bool ArrangeSegmentsC2(BezCtrl *run, int32_t n, bool closed, const vec::Vec2 *left,
                           const vec::Vec2 *right);

    // Solves the n x n system held as a dense row-major augmented matrix
    // (n rows of n + 1 values) by elimination in row order without row
    // exchanges, then back substitution. The matrix is destroyed. False,
    // and x untouched, when a pivot is smaller than kMinPivot in magnitude or
    // not a number, or a result is not finite.
    static bool SolveLinearSystem(double *aug, int32_t n, double *x);

    // Draws controls from..to (clipped to the curve) on the window with the
    // exclusive-or pen: the rubber band of the smooth tool. Drawing the same
    // range again erases it.
    void Draw(Y32Dc *hdc, const CoordStruct *view, int32_t from, int32_t to, bool withNodes) const;
    // Controls from..to (clipped to the curve) in window pixels, rounded to
    // the nearest pixel; returns how many were written.
    int32_t WindowPoints(const CoordStruct *view, int32_t from, int32_t to, Y32Point *out) const;

    // A new path record of exactly nCtrls points (caller owns), closed when
    // asked and the curve is closed. Null unless the curve has whole
    // segments, or when the heap refuses.
    KyPath *ToPath(bool closed) const;

    int32_t Segments() const { return nCtrls >= 4 ? (nCtrls - 1) / 3 : 0; }
    vec::Vec2 At(int32_t i) const { return vec::Vec2{ctrls[i].x, ctrls[i].y}; }

    BezCtrl knots[kMaxSolvedKnots];   // the run ArrangeSegmentsC2 last solved
    BezCtrl derivs[kMaxSolvedKnots];  // its derivatives (and given end tangents)
    BezCtrl ctrls[kMaxCtrls];
    int32_t nCtrls;
    double tension;  // handle length per chord length, 0 to 0.5
    int32_t type;    // continuity of the last Edit

  private:
    // C2 and HYBRID arrange through the spline system (and take end
    // derivatives); every other type arranges as G1 (unit end tangents).
    bool SolvesSpline() const { return type == kC2 || type == kHybrid; }
    // Rearranges the open run of knots a..b (knot positions; in a loop
    // they may run past either end of the curve).
    void ArrangeKnotWindow(int32_t a, int32_t b, bool leftTangent, bool rightTangent, bool loop);
    void ArrangeRun(BezCtrl *run, int32_t n, bool closed, const vec::Vec2 *left,
                    const vec::Vec2 *right);
};

// The library-wide curve of the smooth tool.
CBez &SmoothCurve();
