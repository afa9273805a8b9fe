// display/overlay_raster.cpp - line stepping, cubic forward differencing
// and the per-record passes of the overlay.
//
// Both plotters step along the segment and, at each position, choose
// between the pixel under it and that pixel's neighbour across the line
// (the neighbour rule below), so a one-pixel outline has no gaps and no
// clumps. They only ever write inside the segment's box, which is cut to
// the canvas, so nothing outside the buffer or the client rectangle can be
// touched whatever the coordinates.
//
// Stepping budgets: a line starts at 1/8 of its length and halves until a
// step is at most one pixel on each axis; 13 halvings later the step would
// be 0, which happens for lines longer than 65536 pixels. A cubic halves
// while a step would move more than 64000/65536 pixel and doubles while it
// would move less than 32000/65536; with all control legs under 20000
// pixels its derivative stays below 60000 pixels per unit parameter, so
// the step never has to go below 1/65536. Longer segments (deep zooms of
// big images) are first cut down to what lies near the canvas, see
// PlotLongLine and StepLongCubic, instead of being skipped.
#include "display/overlay_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/afd.h"
#include "core/bezier.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"

namespace overlay {

namespace {

constexpr int32_t kParamEnd = 0x10000;   // parameter 1.0 in 16.16
constexpr int32_t kLineFirstStep = 0x2000;
constexpr int32_t kCubicFirstStep = 0x4000;
constexpr double kHalveAbove = 64000.0;  // 1/65536 pixel units
constexpr double kDoubleBelow = 32000.0;
constexpr double kMaxLineSpan = 65536.0;   // beyond this the line step would reach 0
constexpr double kMaxCubicLeg = 20000.0;   // see the budget note above
constexpr int kMaxSplitDepth = 40;

// A segment's box in overlay pixels: [left, right) x [top, bottom).
struct Box {
    int32_t left, top, right, bottom;
    bool empty() const { return left >= right || top >= bottom; }
    bool Holds(double x, double y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool Holds(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The integer box of the points grown by one pixel and cut to the canvas.
// Non-finite points give an empty box.
Box SegmentBox(const Canvas &c, const double *xs, const double *ys, int n) {
    double lo_x = xs[0], hi_x = xs[0], lo_y = ys[0], hi_y = ys[0];
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) return Box{0, 0, 0, 0};
        lo_x = std::min(lo_x, xs[i]);
        hi_x = std::max(hi_x, xs[i]);
        lo_y = std::min(lo_y, ys[i]);
        hi_y = std::max(hi_y, ys[i]);
    }
    // floor(min) - 1 .. floor(max) + 1 inclusive, clamped in doubles first
    // so that no conversion can overflow.
    auto clamp = [](double v, double hi) { return v < 0 ? 0.0 : (v > hi ? hi : v); };
    const double w = c.px.width, h = c.px.height;
    Box b;
    b.left = static_cast<int32_t>(clamp(std::floor(lo_x) - 1, w));
    b.top = static_cast<int32_t>(clamp(std::floor(lo_y) - 1, h));
    b.right = static_cast<int32_t>(clamp(std::floor(hi_x) + 2, w));
    b.bottom = static_cast<int32_t>(clamp(std::floor(hi_y) + 2, h));
    return b;
}

// Applies the mode to the pixels one segment chooses, never the same pixel
// twice in a row, and only inside the box.
class Plotter {
  public:
    Plotter(const Canvas &c, const Box &box, Mode m) : c_(c), box_(box), mode_(m) {}

    // The position (x, y) with the line through it running along the major
    // axis (y when y_major) with the given slope (minor per major, at most
    // 1 in size). The offset of the line from the candidate pixel's centre,
    // measured across the line, decides: within about half a pixel the
    // candidate is updated, else its neighbour on the side the line passes.
    void Visit(double x, double y, bool y_major, double slope) {
        if (!box_.Holds(x, y)) return;  // also refuses NaN
        const double fx_ = std::floor(x), fy_ = std::floor(y);
        int32_t ix = static_cast<int32_t>(fx_), iy = static_cast<int32_t>(fy_);
        const double f_major = y_major ? y - fy_ : x - fx_;
        const double f_minor = y_major ? x - fx_ : y - fy_;
        const double d = (0.5 - f_major) * slope + (f_minor - 0.5);
        // |d| is at most 1.0 here, so the product fits; the low 8 bits are
        // the weight the candidate loses.
        const int32_t q = static_cast<int32_t>(std::fabs(d) * 255.0) & 0xFF;
        const bool keep = d > 0 ? 255 - q > 127 : 255 - q > 128;
        if (!keep) {
            const int32_t step = d > 0 ? 1 : -1;
            if (y_major) ix += step;
            else iy += step;
            if (!box_.Holds(ix, iy)) return;
        }
        Touch(ix, iy);
    }

    // The end pixel, unless the last pixel updated already lies within one
    // pixel of it on both axes.
    void End(double x, double y) {
        if (!box_.Holds(x, y)) return;
        const int32_t ex = static_cast<int32_t>(std::floor(x)), ey = static_cast<int32_t>(std::floor(y));
        if (has_last_ && std::abs(last_x_ - ex) <= 1 && std::abs(last_y_ - ey) <= 1) return;
        Touch(ex, ey);
    }

  private:
    void Touch(int32_t x, int32_t y) {
        if (has_last_ && x == last_x_ && y == last_y_) return;
        has_last_ = true;
        last_x_ = x;
        last_y_ = y;
        uint8_t &b = c_.px.bits[static_cast<int64_t>(y) * c_.px.stride + x];
        b = Update(b, mode_);
    }

    const Canvas &c_;
    Box box_;
    Mode mode_;
    bool has_last_ = false;
    int32_t last_x_ = 0, last_y_ = 0;
};

// The line stepper proper, for lines within the step budget. The end pixel
// is the caller's (Plotter::End), so that pieces of one long line can share
// a plotter.
void StepLine(Plotter &pl, double x0, double y0, double x1, double y1) {
    int32_t step = kLineFirstStep;
    double dx = (x1 - x0) / 8, dy = (y1 - y0) / 8;
    // Halving by two is exact in binary floating point, so the deltas stay
    // exactly (Q - P) * step / 65536.
    while (!(std::fabs(dx) <= 1.0 && std::fabs(dy) <= 1.0)) {
        step >>= 1;
        dx /= 2;
        dy /= 2;
        if (step == 0) return;
    }
    const bool y_major = std::fabs(dy) >= std::fabs(dx);
    double slope;
    if (y_major) slope = dy != 0 ? dx / dy : 0.0;
    else slope = dx != 0 ? dy / dx : 0.0;
    double x = x0, y = y0;
    for (int32_t t = 0; t < kParamEnd; t += step) {
        pl.Visit(x, y, y_major, slope);
        x += dx;
        y += dy;
    }
}

// Cuts the line to the canvas grown by two pixels (Liang-Barsky). False
// when nothing of it is left.
bool ClipLine(const Canvas &c, double &x0, double &y0, double &x1, double &y1) {
    const double lo_x = -2, lo_y = -2, hi_x = c.px.width + 2.0, hi_y = c.px.height + 2.0;
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - lo_x, hi_x - x0, y0 - lo_y, hi_y - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, r);
        else t1 = std::min(t1, r);
        if (t0 > t1) return false;
    }
    const double ox = x0, oy = y0;
    x0 = ox + t0 * dx;
    y0 = oy + t0 * dy;
    x1 = ox + t1 * dx;
    y1 = oy + t1 * dy;
    return true;
}

void PlotSegmentBox(const Box &box, Dirty &dirty) { dirty.Add(box.left, box.top, box.right, box.bottom); }

// A line the stepper cannot take in one go: the part near the canvas, in
// pieces the stepper can take.
void PlotLongLine(const Canvas &c, double x0, double y0, double x1, double y1, Mode m, Dirty &dirty) {
    if (!ClipLine(c, x0, y0, x1, y1)) return;
    // What is left spans at most the canvas, so the count stays small.
    const double span = std::max(std::fabs(x1 - x0), std::fabs(y1 - y0));
    const int32_t pieces = std::max(1, static_cast<int32_t>(std::ceil(span / (kMaxLineSpan / 2))));
    const double xs[2] = {x0, x1}, ys[2] = {y0, y1};
    const Box box = SegmentBox(c, xs, ys, 2);
    if (box.empty()) return;
    // One plotter for all pieces: a joint is not updated twice.
    Plotter pl(c, box, m);
    for (int32_t k = 0; k < pieces; ++k) {
        const double ta = static_cast<double>(k) / pieces, tb = static_cast<double>(k + 1) / pieces;
        StepLine(pl, x0 + (x1 - x0) * ta, y0 + (y1 - y0) * ta, x0 + (x1 - x0) * tb, y0 + (y1 - y0) * tb);
    }
    pl.End(x1, y1);
    PlotSegmentBox(box, dirty);
}

// Adaptive forward differencing, all differences scaled by 65536, for a
// cubic within the step budget. The differences and their halving and
// doubling are the shared ones (afd::detail::Axis); the walk is the
// overlay's own because the plotter needs D1 at each plotted position (its
// major axis and slope) and because the overlay takes one action per
// round: halve the step, or double it, or plot and advance. The end pixel
// is the caller's.
void StepCubic(Plotter &pl, const double *px, const double *py) {
    afd::detail::Axis ax, ay;
    ax.Init(px[0], px[1], px[2], px[3]);
    ay.Init(py[0], py[1], py[2], py[3]);
    int32_t step = kCubicFirstStep;
    int32_t t = 0;
    // Right after a halving D1 is small by construction; doubling straight
    // back would undo the halving and the two would alternate for ever. So
    // a D1 exactly equal to what the last halving produced is not doubled.
    // In exact arithmetic that also means no doubling between a halving and
    // the next advance; just_halved says so explicitly, because a 32-bit
    // x87 build may compare a register's extended value with the stored
    // double and find them different, and must not loop for that.
    bool halved = false, just_halved = false;
    double halved_x = 0, halved_y = 0;
    while (t < kParamEnd) {
        if (std::fabs(ax.d1) > kHalveAbove || std::fabs(ay.d1) > kHalveAbove) {
            step >>= 1;
            if (step == 0) return;
            ax.Halve();
            ay.Halve();
            halved = just_halved = true;
            halved_x = ax.d1;
            halved_y = ay.d1;
            continue;
        }
        if (!just_halved && std::fabs(ax.d1) < kDoubleBelow && std::fabs(ay.d1) < kDoubleBelow &&
            !(halved && ax.d1 == halved_x && ay.d1 == halved_y)) {
            if (step * 2 > 0xFFFF) break;
            step *= 2;
            ax.Double();
            ay.Double();
            continue;
        }
        const bool y_major = std::fabs(ay.d1) >= std::fabs(ax.d1);
        double slope;
        if (y_major) slope = ay.d1 != 0 ? ax.d1 / ay.d1 : 0.0;
        else slope = ax.d1 != 0 ? ay.d1 / ax.d1 : 0.0;
        pl.Visit(ax.pos / 65536, ay.pos / 65536, y_major, slope);
        t += step;
        ax.Step();
        ay.Step();
        just_halved = false;
    }
}

bool CubicWithinBudget(const double *x, const double *y) {
    for (int i = 0; i < 3; ++i)
        if (std::fabs(x[i + 1] - x[i]) >= kMaxCubicLeg || std::fabs(y[i + 1] - y[i]) >= kMaxCubicLeg) return false;
    return true;
}

// A cubic too long for the stepper: halves (de Casteljau) until each is
// within budget, in order, leaving out the halves whose control box misses
// the canvas. All halves share the segment's plotter.
void StepLongCubic(const Canvas &c, Plotter &pl, const double *x, const double *y, int depth) {
    if (SegmentBox(c, x, y, 4).empty()) return;
    if (CubicWithinBudget(x, y)) {
        StepCubic(pl, x, y);
        return;
    }
    if (depth >= kMaxSplitDepth) return;
    bez::Cubic whole{{{x[0], y[0]}, {x[1], y[1]}, {x[2], y[2]}, {x[3], y[3]}}}, halves[2];
    bez::Split(whole, 0.5, &halves[0], &halves[1]);
    for (const bez::Cubic &h : halves) {
        const double hx[4] = {h.p[0].x, h.p[1].x, h.p[2].x, h.p[3].x};
        const double hy[4] = {h.p[0].y, h.p[1].y, h.p[2].y, h.p[3].y};
        StepLongCubic(c, pl, hx, hy, depth + 1);
    }
}

double ToOverlayX(const Canvas &c, FIXED x) { return fx::ToDouble(x) * c.zoom - c.scroll_x; }
double ToOverlayY(const Canvas &c, FIXED y) { return fx::ToDouble(y) * c.zoom - c.scroll_y; }

}  // namespace

Canvas CanvasOf(const CoordStruct *v) {
    if (!v) return Canvas{view::OverlayExtent{nullptr, 0, 0, 0}, 0, 0, 0};
    return Canvas{view::WritableOverlay(nullptr, v), v->zoom, static_cast<double>(v->scrollX),
                  static_cast<double>(v->scrollY)};
}

void Dirty::Add(int32_t l, int32_t t, int32_t r, int32_t b) {
    if (l >= r || t >= b) return;
    if (empty) {
        left = l;
        top = t;
        right = r;
        bottom = b;
        empty = false;
        return;
    }
    left = std::min(left, l);
    top = std::min(top, t);
    right = std::max(right, r);
    bottom = std::max(bottom, b);
}

Y32Rect Dirty::ToWindow(const CoordStruct *v) const {
    if (empty) return Y32Rect{0, 0, 0, 0};
    return Y32Rect{view::Clamp32(int64_t{left} + v->left), view::Clamp32(int64_t{top} + v->top),
                   view::Clamp32(int64_t{right} + v->left), view::Clamp32(int64_t{bottom} + v->top)};
}

void PlotLine(const Canvas &c, double x0, double y0, double x1, double y1, Mode m, Dirty &dirty) {
    if (c.empty()) return;
    const double xs[2] = {x0, x1}, ys[2] = {y0, y1};
    const Box box = SegmentBox(c, xs, ys, 2);
    if (box.empty()) return;
    if (std::fabs(x1 - x0) > kMaxLineSpan || std::fabs(y1 - y0) > kMaxLineSpan) {
        PlotLongLine(c, x0, y0, x1, y1, m, dirty);
        return;
    }
    Plotter pl(c, box, m);
    StepLine(pl, x0, y0, x1, y1);
    pl.End(x1, y1);
    PlotSegmentBox(box, dirty);
}

void PlotCubic(const Canvas &c, const double x[4], const double y[4], Mode m, Dirty &dirty) {
    if (c.empty()) return;
    const Box box = SegmentBox(c, x, y, 4);
    if (box.empty()) return;
    Plotter pl(c, box, m);
    if (CubicWithinBudget(x, y)) StepCubic(pl, x, y);
    else StepLongCubic(c, pl, x, y, 0);
    pl.End(x[3], y[3]);
    PlotSegmentBox(box, dirty);
}

void RasterRecord(const Canvas &c, const KyPath *p, Mode m, Dirty &dirty) {
    if (c.empty() || !p || p->count < 2) return;
    const PathPoint *pts = path::Points(p);
    const int32_t last = p->count - 1;
    const bool closed = path::IsClosed(p);
    // On a closed subpath point 0 and the closing point are one node.
    auto node_selected = [&](int32_t i) {
        if (closed && (i == 0 || i == last)) return ((pts[0].type | pts[last].type) & PT_SELECTED) != 0;
        return (pts[i].type & PT_SELECTED) != 0;
    };
    path::ForEachSegment(p, [&](const path::Segment &s) {
        switch (m) {
            case kDrawTouching:
            case kEraseTouching:
                if (!node_selected(s.start) && !node_selected(s.end)) return;
                break;
            case kDrawPicked:
            case kErasePicked:
            case kHighlight:
            case kUnhighlight:
                if (!(pts[s.start].type & PT_SEGSELECTED)) return;
                break;
            default: break;
        }
        if (s.kind == path::Segment::kLine) {
            PlotLine(c, ToOverlayX(c, s.x[0]), ToOverlayY(c, s.y[0]), ToOverlayX(c, s.x[1]), ToOverlayY(c, s.y[1]), m,
                     dirty);
        } else {
            double xs[4], ys[4];
            for (int k = 0; k < 4; ++k) {
                xs[k] = ToOverlayX(c, s.x[k]);
                ys[k] = ToOverlayY(c, s.y[k]);
            }
            PlotCubic(c, xs, ys, m, dirty);
        }
    });
    if (m == kDraw && (p->flags & KPF_HASSELSEGMENT)) RasterRecord(c, p, kHighlight, dirty);
}

void Wipe(const Canvas &c) {
    if (c.empty()) return;
    if (c.px.width == c.px.stride) {
        std::memset(c.px.bits, 0, static_cast<size_t>(c.px.stride) * static_cast<size_t>(c.px.height));
        return;
    }
    for (int32_t y = 0; y < c.px.height; ++y)
        std::memset(c.px.bits + static_cast<int64_t>(y) * c.px.stride, 0, static_cast<size_t>(c.px.width));
}

}  // namespace overlay
