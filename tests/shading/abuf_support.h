// tests/shading/abuf_support.h - figures, cameras and targets for the
// A-buffer renderer tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "shading/abuf.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "to_path.h"
#include "y32Path.h"

namespace abuf_support {

using testing_support::Pt;

inline KyPath *Build(const std::vector<Pt> &pts) {
    KyPath *p = KyPathCreate();
    for (const Pt &pt : pts) {
        FIXED xy[2] = {DbToFix(pt.x), DbToFix(pt.y)};
        if (!KyPathAddPoint(&p, xy, pt.type)) return nullptr;
    }
    return p;
}

inline KyPath *Polygon(const std::vector<std::pair<double, double>> &xy) {
    std::vector<Pt> pts;
    for (size_t i = 0; i < xy.size(); ++i) pts.push_back({static_cast<uint16_t>(i ? PT_LINETO : PT_MOVETO), xy[i].first, xy[i].second});
    pts.push_back({PT_LINETO | PT_CLOSEFIGURE, xy[0].first, xy[0].second});
    return Build(pts);
}

// Links records into one table list that is also one group chain, as a
// compound path arrives from the host.
inline KyPath *Join(const std::vector<KyPath *> &records) {
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        records[i]->next = records[i]->groupNext = records[i + 1];
        records[i + 1]->prev = records[i + 1]->groupPrev = records[i];
    }
    return records.empty() ? nullptr : records[0];
}

using testing_support::Records;

// Three glyph-like outlines in a 170 x 100 box, moved by (dx, dy): a ring
// (an "O" with its counter), a "T" with square corners and a slanted
// stroke thinner than two bevel widths, so ridges, reflex and convex
// corners, curves and a hole all occur. One table list.
inline KyPath *TextLike(double dx = 0, double dy = 0) {
    KyPath *o = to_path::Ring(35 + dx, 50 + dy, 30, 30, true);
    KyPath *counter = to_path::Ring(35 + dx, 50 + dy, 15, 15, false);
    KyPath *t = Polygon({{75 + dx, 20 + dy},
                         {135 + dx, 20 + dy},
                         {135 + dx, 32 + dy},
                         {111 + dx, 32 + dy},
                         {111 + dx, 80 + dy},
                         {99 + dx, 80 + dy},
                         {99 + dx, 32 + dy},
                         {75 + dx, 32 + dy}});
    KyPath *stroke = Polygon({{140 + dx, 80 + dy}, {146 + dx, 80 + dy}, {160 + dx, 20 + dy}, {154 + dx, 20 + dy}});
    return Join({o, counter, t, stroke});
}

// Rotation about x, then about y, in degrees; the eye `distance` away
// with a field of view of `fov` degrees.
inline ABufCamera Camera(double cx, double cy, double rx_deg, double ry_deg, double distance = 600,
                         double fov = 40) {
    ABufCamera c{};
    c.centreX = DbToFix(cx);
    c.centreY = DbToFix(cy);
    c.distance = distance;
    c.fieldOfView = fov;
    double m[9], r[9], s, co;
    const double x_axis[3] = {1, 0, 0}, y_axis[3] = {0, 1, 0};
    vec::Identity3X3(m);
    vec::SinCosDeg(rx_deg, &s, &co);
    vec::VThitaGetMatrix(s, co, x_axis, m);
    vec::Identity3X3(r);
    vec::SinCosDeg(ry_deg, &s, &co);
    vec::VThitaGetMatrix(s, co, y_axis, r);
    vec::Matrix3X3(m, r, m);
    std::memcpy(c.rotation, m, sizeof m);
    return c;
}

// An output image and its coverage mask.
struct Target {
    uint32_t w, h;
    PathBuf out, mask;
    Target(uint32_t width, uint32_t height)
        : w(width), h(height), out(KyPathBufAlloc(24, width, height, 1, 0, 0)),
          mask(KyPathBufAlloc(8, width, height, 1, 0, 0)) {}
    ~Target() {
        KyPathBufFree(out);
        KyPathBufFree(mask);
    }
    Target(const Target &) = delete;
    Target &operator=(const Target &) = delete;
    const uint8_t *Px(uint32_t x, uint32_t y) const { return static_cast<const uint8_t *>(out) + (size_t{y} * w + x) * 3; }
    uint8_t M(uint32_t x, uint32_t y) const { return static_cast<const uint8_t *>(mask)[size_t{y} * w + x]; }
    std::vector<uint8_t> Pixels() const {
        const uint8_t *p = static_cast<const uint8_t *>(out);
        return std::vector<uint8_t>(p, p + size_t{w} * h * 3);
    }
    std::vector<uint8_t> Coverage() const {
        const uint8_t *p = static_cast<const uint8_t *>(mask);
        return std::vector<uint8_t>(p, p + size_t{w} * h);
    }
};

inline abuf::RenderArgs Args(KyPath *path, const ABufCamera &cam, Target &t, int32_t width = 6, int32_t alpha = 0) {
    abuf::RenderArgs a;
    a.path = path;
    a.camera = &cam;
    a.output = t.out;
    a.mask = t.mask;
    a.rgb[0] = 200;  // a warm orange, so channel mix-ups show
    a.rgb[1] = 120;
    a.rgb[2] = 40;
    a.alpha = alpha;
    a.width = width;
    return a;
}

// Library initialised, the renderer's light as at load; no block of either
// heap may outlive a test.
class ABufTest : public testing_support::PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        abuf::ResetLight();
    }
    void TearDown() override {
        EXPECT_EQ(abuf::HeapLiveBlocks(), 0u) << "renderer heap blocks leaked";
        PathTest::TearDown();
    }
};

}  // namespace abuf_support
