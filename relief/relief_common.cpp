// relief/relief_common.cpp - progress, vector storage and the map pair.
#include "relief/relief_common.h"

#include "y32Comm.h"

namespace relief {

void MapSet::Free() {
    if (dist) KyPathBufFree(dist);
    if (vec) KyPathBufFree(vec);
    dist = nullptr;
    vec = nullptr;
}

void Progress::Notify(int32_t code, int32_t percent) {
    if (rec_ && rec_->callback) rec_->callback(code, percent, 0, rec_->userData);
}

void Progress::SetRange(int32_t start, int32_t end) {
    if (rec_) {
        rec_->rangeStart = start;
        rec_->rangeEnd = end;
    }
    last_ = -1;
}

bool Progress::Ask(int32_t percent) {
    if (rec_ && rec_->callback && rec_->callback(RELIEF_PROGRESS, percent, 0, rec_->userData) == 0) return false;
    return y32IsEscPressed() == 0;
}

bool Progress::Step(int64_t done, int64_t total) {
    int32_t a = RangeStart(), b = RangeEnd();
    int32_t percent = total > 0 ? a + static_cast<int32_t>(static_cast<double>(done) / static_cast<double>(total) * (b - a)) : a;
    if (percent == last_) return true;
    last_ = percent;
    return Ask(percent);
}

void ToWords(Vec2 v, int16_t out[2]) {
    // 32767 / 256: the longest component a word holds.
    constexpr double kMax = 127.99609375;
    double ax = std::fabs(v.x), ay = std::fabs(v.y);
    double big = ax > ay ? ax : ay;
    if (big > kMax) {
        v.x *= kMax / big;
        v.y *= kMax / big;
    }
    if (!(v.x == v.x)) v.x = 0;  // NaN never reaches a word
    if (!(v.y == v.y)) v.y = 0;
    out[0] = static_cast<int16_t>(static_cast<int32_t>(v.x * 256.0));
    out[1] = static_cast<int16_t>(static_cast<int32_t>(v.y * 256.0));
}

void StoreVectors(const MapSet &maps, size_t index, Vec2 first, Vec2 normal, Vec2 second, Vec2 second_normal) {
    uint8_t *slot = VectorSlot(maps.vec, index);
    if (maps.float_vectors) {
        float f[2] = {static_cast<float>(first.x), static_cast<float>(first.y)};
        std::memcpy(slot, f, 8);
        return;
    }
    int16_t w[4] = {0, 0, 0, 0};
    ToWords(Lengthen(first, normal), w);
    if (second.x != 0.0 || second.y != 0.0) ToWords(Lengthen(second, second_normal), w + 2);
    std::memcpy(slot, w, 8);
}

Vec2 LoadFirstVector(const MapSet &maps, size_t index) {
    const uint8_t *slot = VectorSlot(maps.vec, index);
    if (maps.float_vectors) {
        float f[2];
        std::memcpy(f, slot, 8);
        return Vec2{f[0], f[1]};
    }
    int16_t w[2];
    std::memcpy(w, slot, 4);
    return Vec2{w[0] / 256.0, w[1] / 256.0};
}

double SearchReach(double width, const MapSet &maps) {
    double diag = std::sqrt(static_cast<double>(maps.width) * maps.width + static_cast<double>(maps.height) * maps.height) + 2.0;
    return width < diag ? width : diag;
}

}  // namespace relief
