// Phong shading throughput: KyPathShadePhong over a whole image, beside a
// plain memcpy of the same image (the floor any in-place pass pays).
//
// Cases (the MP/s counter is million image pixels per second):
//  - phong_bevel_<N>   every pixel on a rounded bevel of width 16 (stripes
//                      32 pixels apart: each pixel's vector points to the
//                      nearer stripe edge), one light
//  - phong_face_<N>    a rectangle filling the image with a bevel of 16:
//                      mostly flat face, the usual case of large text
//  - multi4_bevel_<N>  the bevel image under all four lights
//  - memcpy_<N>        copying the image's bytes once
// Maps and images are built outside the timed loop; the image is shaded in
// place again and again (its colours settle, the work does not change).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "y32Path.h"

namespace {

constexpr double kWidth = 16.0;

struct Scene {
    uint32_t n;
    PathBuf image, dist, vec, mask;
    explicit Scene(uint32_t size, bool stripes) : n(size) {
        KyPathInit();
        ShadingGammaToMap();
        image = KyPathBufAlloc(24, n, n, 1, 0, 0);
        dist = KyPathBufAlloc(32, n, n, 1, 0, 0);
        vec = KyPathBufAlloc(64, n, n, 1, 0, 0);
        mask = KyPathBufAlloc(8, n, n, 1, 0, 0);
        std::memset(mask, 255, static_cast<size_t>(n) * n);
        for (size_t i = 0; i < static_cast<size_t>(n) * n; ++i) {
            uint8_t *p = static_cast<uint8_t *>(image) + i * 3;
            p[0] = 200, p[1] = 120, p[2] = 60;
        }
        for (uint32_t y = 0; y < n; ++y)
            for (uint32_t x = 0; x < n; ++x) {
                double vx, vy;
                const double cx = x + 0.5, cy = y + 0.5;
                if (stripes) {
                    const double period = 2 * kWidth, t = std::fmod(cx, period);
                    vx = t < kWidth ? -t : period - t;
                    vy = 0.2 * std::sin(cy * 0.1);  // not quite straight
                } else {
                    const double l = cx, r = n - cx, t = cy, b = n - cy;
                    const double m = std::fmin(std::fmin(l, r), std::fmin(t, b));
                    vx = m == l ? -l : (m == r ? r : 0.0);
                    vy = m == t ? -t : (m == b && m != l && m != r ? b : 0.0);
                }
                const size_t i = static_cast<size_t>(y) * n + x;
                int16_t w[4] = {static_cast<int16_t>(std::fmax(-32767, std::fmin(32767, vx * 256))),
                                static_cast<int16_t>(std::fmax(-32767, std::fmin(32767, vy * 256))), 0, 0};
                std::memcpy(static_cast<uint8_t *>(vec) + i * 8, w, 8);
                const float d = static_cast<float>(vx * vx + vy * vy);
                std::memcpy(static_cast<uint8_t *>(dist) + i * 4, &d, 4);
            }
    }
    ~Scene() {
        for (PathBuf b : {image, dist, vec, mask}) KyPathBufFree(b);
    }
};

void Report(benchmark::State &state, uint32_t n) {
    const double pixels = static_cast<double>(n) * n * static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<int64_t>(pixels));
    state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void Phong(benchmark::State &state, bool stripes) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    Scene s(n, stripes);
    const double d = 0.5773502;
    for (auto _ : state) {
        int32_t ok = KyPathShadePhong(s.image, kWidth, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, 0, 50, 50, -d, -d,
                                      d, 0, 0, 0, nullptr);
        benchmark::DoNotOptimize(ok);
    }
    Report(state, n);
}

void PhongBevel(benchmark::State &state) { Phong(state, true); }
void PhongFace(benchmark::State &state) { Phong(state, false); }

void Multi4Bevel(benchmark::State &state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    Scene s(n, true);
    const double d = 0.5773502;
    const double dirs[12] = {-d, -d, d, d, -d, d, -d, d, d, d, d, d};
    const int32_t flags[4] = {0, 0, 0, 0}, centres[8] = {};
    for (auto _ : state) {
        int32_t ok = KyPathShadeMultiPhong(s.image, kWidth, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, 4, flags,
                                           centres, dirs, 0, 0, 0, nullptr);
        benchmark::DoNotOptimize(ok);
    }
    Report(state, n);
}

void Memcpy(benchmark::State &state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> a(static_cast<size_t>(n) * n * 3, 7), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    Report(state, n);
}

BENCHMARK(PhongBevel)->Name("phong_bevel")->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(PhongFace)->Name("phong_face")->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(Multi4Bevel)->Name("multi4_bevel")->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy)->Name("memcpy")->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
