#include "display/overlay_raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/bezier.h"
#include "support/point_checks.h"

namespace {

using overlay::Canvas;
using overlay::Dirty;
using overlay::Mode;

TEST(OverlayByte, EachModeUpdatesCountAndBitsItsOwnWay) {
    using overlay::Update;
    EXPECT_EQ(Update(0x00, overlay::kDraw), 0x01);
    EXPECT_EQ(Update(0xC5, overlay::kDraw), 0x06) << "drawing clears highlight and secondary bits";
    EXPECT_EQ(Update(0x3F, overlay::kDraw), 0x00) << "the count wraps at 64";
    EXPECT_EQ(Update(0x02, overlay::kDrawInternal), 0x03);
    EXPECT_EQ(Update(0x01, overlay::kDrawSecondary), 0x82);
    EXPECT_EQ(Update(0x43, overlay::kErase), 0x42) << "erasing keeps the bits while the count stays";
    EXPECT_EQ(Update(0xC1, overlay::kErase), 0x00) << "the last erase clears the byte";
    EXPECT_EQ(Update(0x00, overlay::kEraseTouching), 0x00) << "nothing to erase stays nothing";
    EXPECT_EQ(Update(0x80, overlay::kErasePicked), 0x80);
    EXPECT_EQ(Update(0x02, overlay::kHighlight), 0x42);
    EXPECT_EQ(Update(0x42, overlay::kUnhighlight), 0x02);
    EXPECT_EQ(Update(0x05, overlay::kDrawTouching), 0x06);
    EXPECT_EQ(Update(0x05, overlay::kDrawPicked), 0x06);
}

// A canvas inside a larger block: guard bytes around it and in a stride
// wider than the canvas show any write outside.
class Guarded {
  public:
    static constexpr uint8_t kGuard = 0x5A;
    Guarded(int32_t w, int32_t h, int32_t pad = 7)
        : w_(w), h_(h), stride_(w + pad), mem_(static_cast<size_t>(stride_) * (h + 2), kGuard) {
        for (int32_t y = 0; y < h; ++y) std::fill(Row(y), Row(y) + w, 0);
    }
    Canvas canvas(double zoom = 1.0) { return Canvas{view::OverlayExtent{Row(0), stride_, w_, h_}, zoom, 0, 0}; }
    uint8_t *Row(int32_t y) { return mem_.data() + static_cast<size_t>(stride_) * (y + 1); }
    uint8_t At(int32_t x, int32_t y) { return Row(y)[x]; }
    bool GuardsIntact() const {
        for (size_t i = 0; i < mem_.size(); ++i) {
            const int64_t row = static_cast<int64_t>(i / stride_) - 1, col = static_cast<int64_t>(i % stride_);
            if ((row < 0 || row >= h_ || col >= w_) && mem_[i] != kGuard) return false;
        }
        return true;
    }
    int MaxCount() {
        int m = 0;
        for (int32_t y = 0; y < h_; ++y)
            for (int32_t x = 0; x < w_; ++x) m = std::max(m, At(x, y) & 0x3F);
        return m;
    }
    std::vector<std::pair<int, int>> Covered() {
        std::vector<std::pair<int, int>> v;
        for (int32_t y = 0; y < h_; ++y)
            for (int32_t x = 0; x < w_; ++x)
                if (At(x, y) & 0x3F) v.emplace_back(x, y);
        return v;
    }
    bool AllZero() { return Covered().empty(); }

  private:
    int32_t w_, h_, stride_;
    std::vector<uint8_t> mem_;
};

// Whether the pixels form one piece when pixels up to `reach` apart on
// both axes count as touching (1: 8-connected).
bool Connected(const std::vector<std::pair<int, int>> &px, int reach = 1) {
    if (px.empty()) return true;
    std::vector<bool> seen(px.size(), false);
    std::vector<size_t> todo{0};
    seen[0] = true;
    size_t reached = 1;
    while (!todo.empty()) {
        size_t i = todo.back();
        todo.pop_back();
        for (size_t j = 0; j < px.size(); ++j) {
            if (seen[j] || std::abs(px[i].first - px[j].first) > reach ||
                std::abs(px[i].second - px[j].second) > reach)
                continue;
            seen[j] = true;
            ++reached;
            todo.push_back(j);
        }
    }
    return reached == px.size();
}

// Distance from the centre of pixel (x, y) to a polyline through pts.
double DistanceToPolyline(int x, int y, const std::vector<bez::Vec2> &pts) {
    const double cx = x + 0.5, cy = y + 0.5;
    double best = 1e300;
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const double dx = pts[i + 1].x - pts[i].x, dy = pts[i + 1].y - pts[i].y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((cx - pts[i].x) * dx + (cy - pts[i].y) * dy) / len2 : 0;
        t = std::max(0.0, std::min(1.0, t));
        best = std::min(best, std::hypot(pts[i].x + t * dx - cx, pts[i].y + t * dy - cy));
    }
    return best;
}

TEST(OverlayLines, HorizontalTenPixelLineUpdatesAtMostElevenPixelsEachOnce) {
    for (double start : {0.0, 0.25, 0.5, 0.75, 0.999}) {
        for (double row : {3.0, 3.5, 3.99}) {
            Guarded g(32, 8);
            Dirty dirty;
            overlay::PlotLine(g.canvas(), 4 + start, row, 14 + start, row, overlay::kDraw, dirty);
            const auto px = g.Covered();
            EXPECT_LE(px.size(), 11u) << start << " " << row;
            EXPECT_GE(px.size(), 10u) << start << " " << row;
            EXPECT_EQ(g.MaxCount(), 1) << "a pixel updated twice";
            // A line exactly on the border between rows 2 and 3 goes to the
            // upper row: the tie falls to the neighbour on the minus side.
            for (const auto &p : px) EXPECT_EQ(p.second, row == 3.0 ? 2 : 3);
            EXPECT_TRUE(Connected(px));
        }
    }
}

TEST(OverlayLines, PixelsFollowTheLineWithoutGapsAndEraseExactly) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> coord(-20.0, 84.0);
    for (int k = 0; k < 400; ++k) {
        Guarded g(64, 64);
        const double x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        Dirty dirty;
        overlay::PlotLine(g.canvas(), x0, y0, x1, y1, overlay::kDraw, dirty);
        const auto px = g.Covered();
        EXPECT_EQ(g.MaxCount() <= 1, true) << "line " << k;
        EXPECT_TRUE(Connected(px)) << "line " << k << ": " << x0 << "," << y0 << " " << x1 << "," << y1;
        for (const auto &p : px) {
            ASSERT_LE(DistanceToPolyline(p.first, p.second, {{x0, y0}, {x1, y1}}), 1.0)
                << "line " << k << " pixel " << p.first << "," << p.second;
            ASSERT_TRUE(p.first >= dirty.left && p.first < dirty.right && p.second >= dirty.top &&
                        p.second < dirty.bottom);
        }
        overlay::PlotLine(g.canvas(), x0, y0, x1, y1, overlay::kErase, dirty);
        EXPECT_TRUE(g.AllZero()) << "line " << k;
        EXPECT_TRUE(g.GuardsIntact());
    }
}

TEST(OverlayLines, DirtyBoxIsThePointBoxGrownByOneAndCutToTheCanvas) {
    Guarded g(40, 20);
    Dirty dirty;
    overlay::PlotLine(g.canvas(), 10.5, 10.5, 20.5, 15.5, overlay::kDraw, dirty);
    testing_support::ExpectBox(dirty, 9, 9, 22, 17);
    overlay::PlotLine(g.canvas(), 30.2, 18.0, 60.0, 19.0, overlay::kDraw, dirty);
    EXPECT_EQ(dirty.right, 40) << "cut to the canvas";
    EXPECT_EQ(dirty.bottom, 20);
    Dirty none;
    overlay::PlotLine(g.canvas(), 50, 50, 70, 60, overlay::kDraw, none);
    EXPECT_TRUE(none.empty) << "a segment off the canvas is skipped";
}

TEST(OverlayCurves, PixelsFollowTheCurveWithoutGapsAndEraseExactly) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> coord(-10.0, 74.0);
    for (int k = 0; k < 300; ++k) {
        Guarded g(64, 64);
        double x[4], y[4];
        for (int i = 0; i < 4; ++i) {
            x[i] = coord(rng);
            y[i] = coord(rng);
        }
        Dirty dirty;
        overlay::PlotCubic(g.canvas(), x, y, overlay::kDraw, dirty);
        const auto px = g.Covered();
        bez::Cubic c{{{x[0], y[0]}, {x[1], y[1]}, {x[2], y[2]}, {x[3], y[3]}}};
        std::vector<bez::Vec2> poly;
        for (int i = 0; i <= 2000; ++i) poly.push_back(bez::PointAt(c, i / 2000.0));
        for (const auto &p : px)
            ASSERT_LE(DistanceToPolyline(p.first, p.second, poly), 1.3) << "curve " << k;
        // A curve may leave the canvas and come back: each visible stretch
        // is one piece, so only curves that stay inside must be connected.
        // Where a curve turns through 45 degrees the stepping axis changes
        // and the neighbour rule may move two successive pixels apart on
        // different axes, leaving one diagonal pixel out; nothing wider.
        bool inside = true;
        for (const auto &q : poly) inside = inside && q.x >= 1 && q.x < 63 && q.y >= 1 && q.y < 63;
        if (inside) {
            EXPECT_TRUE(Connected(px, 2)) << "curve " << k;
            EXPECT_FALSE(px.empty());
        }
        overlay::PlotCubic(g.canvas(), x, y, overlay::kErase, dirty);
        EXPECT_TRUE(g.AllZero()) << "curve " << k;
        EXPECT_TRUE(g.GuardsIntact());
    }
}

TEST(OverlayCurves, ACurveSmallerThanAPixelIsOnePixel) {
    Guarded g(8, 8);
    Dirty dirty;
    const double x[4] = {3.1, 3.2, 3.3, 3.4}, y[4] = {4.1, 4.3, 4.2, 4.4};
    overlay::PlotCubic(g.canvas(), x, y, overlay::kDraw, dirty);
    ASSERT_EQ(g.Covered().size(), 1u);
    EXPECT_EQ(g.At(3, 4), 1);
}

TEST(OverlayLimits, LongSegmentsAcrossTheCanvasAreDrawnWhereTheyCrossIt) {
    // Lines beyond the stepper's 65536-pixel reach and curves with control
    // legs beyond its budget are still drawn: a deep zoom on a big image.
    Guarded g(64, 32);
    Dirty dirty;
    overlay::PlotLine(g.canvas(), -200000.0, 10.5, 200000.0, 10.5, overlay::kDraw, dirty);
    const double x[4] = {-100000.0, -30000.0, 30000.0, 100000.0}, y[4] = {20.5, 20.5, 20.5, 20.5};
    overlay::PlotCubic(g.canvas(), x, y, overlay::kDraw, dirty);
    for (int col = 0; col < 64; ++col) {
        EXPECT_EQ(g.At(col, 10), 1) << col;
        EXPECT_EQ(g.At(col, 20), 1) << col;
    }
    EXPECT_EQ(g.Covered().size(), 128u);
    overlay::PlotLine(g.canvas(), -200000.0, 10.5, 200000.0, 10.5, overlay::kErase, dirty);
    overlay::PlotCubic(g.canvas(), x, y, overlay::kErase, dirty);
    EXPECT_TRUE(g.AllZero());
}

TEST(OverlayLimits, NothingOutsideTheCanvasIsEverWritten) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const double wild[] = {-1e12, -70000, -3, -0.5, 0, 15.99, 16, 16.5, 31.999, 32, 1e9, inf, -inf, nan};
    Guarded g(16, 32);
    Dirty dirty;
    std::mt19937 rng(5);
    std::uniform_int_distribution<size_t> pick(0, sizeof(wild) / sizeof(wild[0]) - 1);
    for (int k = 0; k < 3000; ++k) {
        double x[4], y[4];
        for (int i = 0; i < 4; ++i) {
            x[i] = wild[pick(rng)];
            y[i] = wild[pick(rng)];
        }
        overlay::PlotLine(g.canvas(), x[0], y[0], x[3], y[3], overlay::kDraw, dirty);
        overlay::PlotCubic(g.canvas(), x, y, overlay::kDraw, dirty);
    }
    EXPECT_TRUE(g.GuardsIntact());
    EXPECT_FALSE(g.AllZero());
    EXPECT_GE(dirty.left, 0);
    EXPECT_LE(dirty.right, 16);
    EXPECT_LE(dirty.bottom, 32);
}

}  // namespace
