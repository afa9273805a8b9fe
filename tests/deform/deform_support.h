// tests/deform/deform_support.h - what the deform tests share: the mask
// KyPathToBuf makes of a list, and a wrap record that bends every point.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "core/vec.h"
#include "support/golden.h"
#include "support/records.h"
#include "y32path/deform.h"
#include "y32path/raster.h"

namespace deform_test {

// An 8-bit mask and where it lies in the image.
struct Mask : testing_support::Gray {
    Y32Rect rect{};
    // The pixel at image (x, y); 0 outside the mask.
    uint8_t At(int32_t x, int32_t y) const {
        x -= rect.left, y -= rect.top;
        return x >= 0 && y >= 0 && x < w && y < h ? px[static_cast<size_t>(y) * w + x] : 0;
    }
};

// The list rendered through KyPathToBuf at scale 1, the buffers freed.
inline Mask Render(KyPath *p, int32_t antialias = 0, int32_t mode = 0) {
    Mask m;
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    EXPECT_EQ(KyPathToBuf(p, 0, 0, antialias, mode, 65536, &rects, &bufs, 0), 1);
    if (!bufs) return m;
    uint32_t w = 0, h = 0;
    KyPathBufGetWHU(bufs[0], &w, &h, nullptr);
    m.w = static_cast<int>(w);
    m.h = static_cast<int>(h);
    m.rect = rects[0];
    const auto *px = static_cast<const uint8_t *>(bufs[0]);
    m.px.assign(px, px + static_cast<size_t>(w) * h);
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
    return m;
}

// One copy along the baseline, every point bent, full height.
inline WrapInfo Bend(KyPath *baseline) {
    WrapInfo w{};
    w.baseline = baseline;
    w.repeatCount = 1;
    w.option8 = 1;
    w.startHeight = w.endHeight = 100;
    return w;
}

// The turn by deg about the unit axis, from the identity.
inline void AxisMatrix(const double axis[3], double deg, double m[9]) {
    double s, c;
    vec::Identity3X3(m);
    vec::SinCosDeg(deg, &s, &c);
    vec::VThitaGetMatrix(s, c, axis, m);
}

// A 3D record about (cx, cy), not turned.
inline Path3DParams Params(double cx, double cy, double distance = 1000, double fov = 60) {
    Path3DParams p{};
    p.centreX = DbToFix(cx);
    p.centreY = DbToFix(cy);
    p.distance = distance;
    p.fieldOfView = fov;
    vec::Identity3X3(p.matrix);
    return p;
}

}  // namespace deform_test
