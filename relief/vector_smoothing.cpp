// relief/vector_smoothing.cpp - direction smoothing that keeps lengths and ridges.
#include "relief/vector_smoothing.h"

#include <cmath>

#include "core/diag.h"

namespace relief {

namespace {

struct Dir {
    float x, y;  // unit direction, or 0, 0 for a pixel that takes no part
};

Status Fail(MapSet &maps, Status s) {
    maps.Free();
    Y32_REPORT(s == Status::kCancelled ? diag::kErrCancelled : diag::kErrNoMemory, 0, diag::kUnitRelief20);
    return s;
}

}  // namespace

Status SmoothVectors(MapSet &maps, PathBuf copy, int pass, Progress &progress) {
    const uint32_t w = maps.width, h = maps.height;
    const size_t n = maps.Pixels();
    if (pass == 2) std::memcpy(copy, maps.vec, n * 8);
    Scratch<Dir> dirs;
    if (!dirs.Allocate(n, false)) return Fail(maps, Status::kNoMemory);
    MapSet source = maps;
    source.vec = copy;
    for (size_t i = 0; i < n; ++i) {
        dirs[i] = Dir{0, 0};
        if (maps.dist) {
            float d = LoadDistance(maps, i);
            if (!(d > 0.0f) || d == kInsideUnreached) continue;
        }
        Vec2 v = LoadFirstVector(source, i);
        double len = std::sqrt(v.x * v.x + v.y * v.y);
        if (len > 0) dirs[i] = Dir{static_cast<float>(v.x / len), static_cast<float>(v.y / len)};
    }
    static const int kWeight[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    const int32_t start = progress.RangeStart(), end = progress.RangeEnd();
    for (uint32_t r = 0; r < h; ++r) {
        int32_t percent = start + static_cast<int32_t>(static_cast<double>(r) / h * (end - start));
        if (!progress.Ask(percent)) return Fail(maps, Status::kCancelled);
        for (uint32_t c = 0; c < w; ++c) {
            const size_t i = static_cast<size_t>(r) * w + c;
            const Dir self = dirs[i];
            if (self.x == 0 && self.y == 0) continue;
            double sx = 0, sy = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                int64_t y = static_cast<int64_t>(r) + dy;
                if (y < 0 || y >= h) continue;
                for (int dx = -1; dx <= 1; ++dx) {
                    int64_t x = static_cast<int64_t>(c) + dx;
                    if (x < 0 || x >= w) continue;
                    const Dir o = dirs[static_cast<size_t>(y) * w + static_cast<size_t>(x)];
                    if (o.x == 0 && o.y == 0) continue;
                    if (static_cast<double>(o.x) * self.x + static_cast<double>(o.y) * self.y < 0.34) continue;
                    sx += kWeight[dy + 1][dx + 1] * static_cast<double>(o.x);
                    sy += kWeight[dy + 1][dx + 1] * static_cast<double>(o.y);
                }
            }
            double slen = std::sqrt(sx * sx + sy * sy);
            if (!(slen > 0)) continue;
            Vec2 v = LoadFirstVector(source, i);
            double len = std::sqrt(v.x * v.x + v.y * v.y);
            int16_t words[2];
            ToWords(Vec2{sx / slen * len, sy / slen * len}, words);
            std::memcpy(VectorSlot(maps.vec, i), words, 4);
        }
    }
    return Status::kDone;
}

}  // namespace relief
