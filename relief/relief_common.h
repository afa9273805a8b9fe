// relief/relief_common.h - what every relief builder shares: the two maps,
// the map frame, progress and cancellation, and how vectors are stored.
//
// Frame. A map covers a rectangle of the scaled image. In its sample space
// (raster/edges.h: x' = x * scale - left, y' = y * scale - top) pixel
// (c, r) covers [c, c + 1) x [r, r + 1) and every distance is measured from
// its centre (c + 0.5, r + 0.5). This is the rasteriser's own convention, so
// a map and a mask of the same rectangle line up: a mask's half-covered
// border pixels are the relief's distance-0 pixels.
//
// Values (see y32path/relief.h): distance +d^2 inside, -d^2 outside,
// kInsideUnreached inside with no outline point in reach, 0 for nothing;
// vectors from the pixel to its nearest outline point.
//
// Builders return a Status; on kCancelled and kNoMemory they have already
// reported (5200 or 1001, severity 0, their unit) and the driver frees the
// maps and hands back no buffer.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "core/vec.h"
#include "raster/edges.h"
#include "raster/pixel_buffer.h"
#include "y32path/relief.h"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ReliefProgress) == 20, "the progress record is five 32-bit words");
static_assert(offsetof(ReliefProgress, callback) == 4 && offsetof(ReliefProgress, userData) == 8 &&
                  offsetof(ReliefProgress, rangeStart) == 12 && offsetof(ReliefProgress, rangeEnd) == 16,
              "progress record layout");
#endif

namespace relief {

using vec::Vec2;

constexpr float kInsideUnreached = 300.0f;

enum class Status { kDone, kCancelled, kNoMemory, kRefused };

struct MapSet {
    PathBuf dist = nullptr;  // depth 32, or null when not asked for
    PathBuf vec = nullptr;   // depth 64, or null
    bool float_vectors = false;
    uint32_t width = 0, height = 0;
    raster::Mapping frame{1.0, 0.0, 0.0};

    size_t Pixels() const { return static_cast<size_t>(width) * height; }
    void Free();
};

// ---------------------------------------------------------------------------
// Progress and cancellation.

class Progress {
  public:
    explicit Progress(ReliefProgress *rec) : rec_(rec) {}

    // A call whose answer is not looked at (begin and end).
    void Notify(int32_t code, int32_t percent);
    void SetRange(int32_t start, int32_t end);
    int32_t RangeStart() const { return rec_ ? rec_->rangeStart : 0; }
    int32_t RangeEnd() const { return rec_ ? rec_->rangeEnd : 100; }
    // Asks the callback (code 2) and then the Escape key. False: cancel.
    bool Ask(int32_t percent);
    // done of total within the current range; asks only when the percentage
    // moved since the last question, so a builder can call it per item.
    bool Step(int64_t done, int64_t total);
    void SetState(int32_t state) {
        if (rec_) rec_->state = state;
    }
    ReliefProgress *Record() const { return rec_; }

  private:
    ReliefProgress *rec_;
    int32_t last_ = -1;
};

// ---------------------------------------------------------------------------
// Stored vectors.

// Below this a vector is rounding noise of a pixel lying on the outline.
constexpr double kOnOutline = 1e-9;

// A vector shorter than 0.2 pixel in both components gets its larger
// component set to +-0.2, the other kept in proportion; a vector of
// rounding-noise size (a pixel on the outline) takes the direction of
// `fallback`, the outline's outward normal, first. Without a fallback such
// a vector stays as it is.
inline Vec2 Lengthen(Vec2 v, Vec2 fallback) {
    double ax = std::fabs(v.x), ay = std::fabs(v.y);
    if (ax >= 0.2 || ay >= 0.2) return v;
    if (ax < kOnOutline && ay < kOnOutline && (fallback.x != 0.0 || fallback.y != 0.0)) {
        v = fallback;
        ax = std::fabs(v.x);
        ay = std::fabs(v.y);
    }
    if (ax == 0.0 && ay == 0.0) return v;
    double k = 0.2 / (ax > ay ? ax : ay);
    return Vec2{v.x * k, v.y * k};
}

// trunc(v * 256) per component; a vector too long for 16 bits is first
// shortened along its own direction, so it keeps pointing where it did.
void ToWords(Vec2 v, int16_t out[2]);

inline uint8_t *VectorSlot(PathBuf vec, size_t index) { return static_cast<uint8_t *>(vec) + index * 8; }

// Writes the pixel's vectors in the map's layout. `second` is ignored in
// the float layout; pass {0, 0} for none.
void StoreVectors(const MapSet &maps, size_t index, Vec2 first, Vec2 normal, Vec2 second, Vec2 second_normal);

// The first vector as stored (words / 256, or the floats).
Vec2 LoadFirstVector(const MapSet &maps, size_t index);

inline float LoadDistance(const MapSet &maps, size_t index) {
    float v;
    std::memcpy(&v, static_cast<uint8_t *>(maps.dist) + index * 4, 4);
    return v;
}
inline void StoreDistance(const MapSet &maps, size_t index, float v) {
    std::memcpy(static_cast<uint8_t *>(maps.dist) + index * 4, &v, 4);
}

// ---------------------------------------------------------------------------
// Scratch arrays on the run-time heap (reached by the failure switch).

template <class T>
class Scratch {
  public:
    Scratch() = default;
    ~Scratch() { Reset(); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    bool Allocate(size_t n, bool zero) {
        Reset();
        data_ = static_cast<T *>(mem::MemAlloc(zero ? mem::kZeroInit : 0, (n ? n : 1) * sizeof(T)));
        size_ = data_ ? n : 0;
        room_ = size_;
        return data_ != nullptr;
    }
    bool Push(const T &v) {
        if (size_ == room_) {
            size_t grown = room_ ? room_ * 2 : 64;
            T *moved = static_cast<T *>(mem::MemReAlloc(data_, grown * sizeof(T), 0));
            if (!moved) return false;
            data_ = moved;
            room_ = grown;
        }
        data_[size_++] = v;
        return true;
    }
    void Clear() { size_ = 0; }
    void Reset() {
        if (data_) mem::MemFree(data_);
        data_ = nullptr;
        size_ = room_ = 0;
    }
    T *Data() { return data_; }
    const T *Data() const { return data_; }
    T &operator[](size_t i) { return data_[i]; }
    const T &operator[](size_t i) const { return data_[i]; }
    size_t Size() const { return size_; }

  private:
    T *data_ = nullptr;
    size_t size_ = 0, room_ = 0;
};

// The bevel width a builder may search to: the caller's width, but never
// beyond the map's diagonal (a larger window finds nothing more and would
// only cost time and overflow the candidate counts).
double SearchReach(double width, const MapSet &maps);

}  // namespace relief
