// raster/pixel_buffer.h - the PathBuf block and its row addressing.
//
// One run-time-heap block: three 32-bit header words (depth in bits, width,
// height), then the pixel rows back to back. Handles point at the first
// pixel, 12 bytes into the block. Sizes are computed in 64 bits and
// refused when the block would not fit in 32 bits, so no product can wrap
// into a short block that rows would then be written past.
#pragma once

#include <cstddef>
#include <cstdint>

#include "y32path/raster.h"

namespace pbuf {

struct Header {
    int32_t depth;
    uint32_t width;
    uint32_t height;
};
constexpr size_t kHeaderBytes = sizeof(Header);
static_assert(kHeaderBytes == 12, "the hidden header is three 32-bit words");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PathBufLock) == 8, "32-bit lock record: handle and row width");
#endif

// 1 for depth 8, 3 for 24, 4 for 32, 8 for every other value.
inline uint32_t BytesPerPixel(int32_t depth) {
    switch (depth) {
        case 8: return 1;
        case 24: return 3;
        case 32: return 4;
        default: return 8;
    }
}

inline Header *HeaderOf(PathBuf buf) {
    return reinterpret_cast<Header *>(static_cast<uint8_t *>(buf) - kHeaderBytes);
}
inline const Header *HeaderOf(const void *buf) {
    return reinterpret_cast<const Header *>(static_cast<const uint8_t *>(buf) - kHeaderBytes);
}

// Whole block size for the given dimensions, or 0 when it does not fit in
// 32 bits (the largest block a host on the 32-bit platform can address).
uint64_t BlockBytes(int32_t depth, uint32_t width, uint32_t height);

// Allocation without the failure report, for callers that report
// themselves; null when out of memory or too large. With zero false the
// pixels are left undefined, for a caller that writes every one of them.
PathBuf AllocQuiet(int32_t depth, uint32_t width, uint32_t height, bool zero = true);

inline uint32_t Width(const void *buf) { return HeaderOf(buf)->width; }
inline uint32_t Height(const void *buf) { return HeaderOf(buf)->height; }
inline int32_t Depth(const void *buf) { return HeaderOf(buf)->depth; }
inline size_t StrideBytes(const void *buf) {
    return static_cast<size_t>(Width(buf)) * BytesPerPixel(Depth(buf));
}
inline uint8_t *Row(PathBuf buf, uint32_t y) { return static_cast<uint8_t *>(buf) + StrideBytes(buf) * y; }

}  // namespace pbuf
