// tests/shading/shading_support.h - synthetic relief maps and buffers for
// the shading tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "shading/light_model.h"
#include "support/path_fixture.h"
#include "y32Path.h"

namespace shading_support {

// The buffers of one shading call, freed with the scene.
struct Scene {
    uint32_t w, h;
    PathBuf image, dist, vec, mask;
    Scene(uint32_t width, uint32_t height, int32_t vector_depth = 64)
        : w(width),
          h(height),
          image(KyPathBufAlloc(24, width, height, 1, 0, 0)),
          dist(KyPathBufAlloc(32, width, height, 1, 0, 0)),
          vec(KyPathBufAlloc(vector_depth, width, height, 1, 0, 0)),
          mask(KyPathBufAlloc(8, width, height, 1, 0, 0)) {}
    ~Scene() {
        KyPathBufFree(image);
        KyPathBufFree(dist);
        KyPathBufFree(vec);
        KyPathBufFree(mask);
    }
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    size_t I(uint32_t x, uint32_t y) const { return static_cast<size_t>(y) * w + x; }
    uint8_t *Px(uint32_t x, uint32_t y) { return static_cast<uint8_t *>(image) + I(x, y) * 3; }
    uint8_t &M(uint32_t x, uint32_t y) { return static_cast<uint8_t *>(mask)[I(x, y)]; }
    void Fill(uint8_t b, uint8_t g, uint8_t r) {
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
            uint8_t *p = static_cast<uint8_t *>(image) + i * 3;
            p[0] = b, p[1] = g, p[2] = r;
        }
    }
    void FillMask(uint8_t v) { std::memset(mask, v, static_cast<size_t>(w) * h); }
    // A grey image, every mask byte `m`, and the rectangle's relief if asked.
    void Prime(uint8_t grey, uint8_t m = 255, bool relief = true) {
        Fill(grey, grey, grey);
        FillMask(m);
        if (relief) RectangleRelief();
    }
    // Integer layout: words x 256, truncated; distance value +d^2.
    void SetVector(uint32_t x, uint32_t y, double vx, double vy, double v2x = 0, double v2y = 0) {
        int16_t words[4] = {static_cast<int16_t>(vx * 256), static_cast<int16_t>(vy * 256),
                            static_cast<int16_t>(v2x * 256), static_cast<int16_t>(v2y * 256)};
        std::memcpy(static_cast<uint8_t *>(vec) + I(x, y) * 8, words, 8);
        SetDistance(x, y, static_cast<float>(vx * vx + vy * vy));
    }
    void SetDistance(uint32_t x, uint32_t y, float d) {
        std::memcpy(static_cast<uint8_t *>(dist) + I(x, y) * 4, &d, 4);
    }
    // The relief of the rectangle covering the whole map: every pixel's
    // vector to the nearest side, from its centre.
    void RectangleRelief() {
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                double cx = x + 0.5, cy = y + 0.5;
                double left = cx, right = w - cx, top = cy, bottom = h - cy;
                double m = std::min(std::min(left, right), std::min(top, bottom));
                if (m == left) SetVector(x, y, -left, 0);
                else if (m == right) SetVector(x, y, right, 0);
                else if (m == top) SetVector(x, y, 0, -top);
                else SetVector(x, y, 0, bottom);
            }
    }
    std::vector<uint8_t> Pixels() const {
        const uint8_t *p = static_cast<const uint8_t *>(image);
        return std::vector<uint8_t>(p, p + static_cast<size_t>(w) * h * 3);
    }
    std::vector<uint8_t> MaskBytes() const {
        const uint8_t *p = static_cast<const uint8_t *>(mask);
        return std::vector<uint8_t>(p, p + static_cast<size_t>(w) * h);
    }
};

// Starts every test from the light model as it is at load.
class ShadingTest : public testing_support::PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        shade::ResetPhongLights();
        shade::ResetMetallicLights();
        shade::ClearGamma();
    }
    // The code of the last report since ClearErrors, 0 when none.
    static int32_t LastError() {
        Y32ErrInfo info{};
        return c32GetDLLErrInfo(&info) > 0 ? info.code : 0;
    }
    static void ClearErrors() { c32ClearDLLErrInfo(); }
};

}  // namespace shading_support
