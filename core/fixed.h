// core/fixed.h - 16.16 fixed point.
//
// A FIXED holds a real number times 65536: 16 integer bits including the
// sign and 16 fraction bits. Every double -> FIXED conversion in the library
// truncates toward zero (never rounds), so 0.99999 becomes 65535 and
// -1.50001 becomes the same FIXED as -1.5. The exported FixToDb/DbToFix
// call these; hot loops call them directly so they inline.
#pragma once

#include <cmath>
#include <cstdint>

#include "y32path/types.h"

namespace fx {

constexpr FIXED kOne = 65536;
constexpr double kToDouble = 1.52587890625e-5;  // exactly 1/65536

inline double ToDouble(FIXED f) { return f * kToDouble; }

// trunc(d * 65536) taken as a 64-bit integer, of which the low 32 bits are
// the result. Values whose product leaves the 64-bit range (and NaN) would
// make the cast undefined; they saturate (NaN gives 0) before the low bits
// are taken.
inline FIXED FromDouble(double d) {
    double v = d * 65536.0;
    int64_t wide;
    if (v < 9.2233720368547748e18 && v > -9.2233720368547748e18) {
        wide = static_cast<int64_t>(v);
    } else if (v >= 9.2233720368547748e18) {
        wide = INT64_MAX;
    } else if (v <= -9.2233720368547748e18) {
        wide = INT64_MIN;
    } else {
        wide = 0;  // NaN
    }
    return static_cast<FIXED>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

// Integer part (floor) of a coordinate: its high 16 bits as a signed number.
inline int32_t Floor(FIXED f) { return f >> 16; }

inline FIXED FromInt(int32_t i) { return static_cast<FIXED>(static_cast<uint32_t>(i) << 16); }

}  // namespace fx
