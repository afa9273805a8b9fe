// platform/gdi.h - internals of the software device context.
//
// The public calls are in y32path/gdi.h. What is here is shared by the
// implementation and its tests: the coordinate limit and the binary raster
// operation on one colour byte.
#pragma once

#include <cstdint>

namespace plat::gdi {

// Drawing calls refuse coordinates beyond +-2^27 pixels. Inside the limit a
// line's step arithmetic (step x minor extent, both below 2^29) stays far
// inside 64 bits, and no real window comes near it.
constexpr int32_t kMaxCoord = 1 << 27;

// A binary raster operation mode (1..16) applied to one byte of pen colour
// and one byte of the bitmap. The mode minus one is a four-bit truth table
// indexed by (pen bit, destination bit): bit 3 for (1, 1), bit 2 for (1, 0),
// bit 1 for (0, 1), bit 0 for (0, 0). So R2_COPYPEN (13) is 1100, R2_NOP
// (11) is 1010 and R2_XORPEN (7) is 0110.
inline uint8_t Rop2(int32_t mode, uint8_t pen, uint8_t dst) {
    const uint32_t table = static_cast<uint32_t>(mode - 1) & 0xF;
    const uint32_t p = pen, d = dst, np = ~p & 0xFF, nd = ~d & 0xFF;
    uint32_t r = 0;
    if (table & 1) r |= np & nd;
    if (table & 2) r |= np & d;
    if (table & 4) r |= p & nd;
    if (table & 8) r |= p & d;
    return static_cast<uint8_t>(r);
}

}  // namespace plat::gdi
