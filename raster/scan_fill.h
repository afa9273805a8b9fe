// raster/scan_fill.h - the scanline filler, fast and reference.
//
// Both fill the subpaths of one group chain (records flagged outline-only
// are left to the tracer) into an 8-bit or 32-bit PathBuf and must produce
// the same bytes; the reference exists to prove that (tests render a corpus
// through both).
//
// Coverage rules shared by both:
//  - Every sub-scanline gets its crossings sorted by x (equal x: the upward
//    crossing first, so the order is total and no sort can change a
//    result). Even-odd pairs them in order; nonzero winding opens a span
//    where the count leaves 0 and closes it where it returns; a span still
//    open at the last crossing closes there (an open subpath cannot run
//    past the list). Spans are clipped to [0, width].
//  - 8-bit: a double accumulator per pixel collects the covered length of
//    each span per sub-scanline (1 - frac(a) at the first pixel, 1.0 inside,
//    frac(b) at the last; frac(b) - frac(a) when both ends share a pixel).
//    After the row's last sub-scanline, w = 256 / subs and a nonzero
//    accumulator gives trunc(acc * w - 0.98) anti-aliased (full coverage
//    256 - 0.98 stays 255, a 0.00001 sliver stays 0), or 255 when the low
//    byte of trunc(acc * w - 1.0) is 115 or more, else 0, when hard.
//    Zero accumulators leave their pixel alone.
//  - 32-bit: 4 sub-rows per pixel row, 8 sub-columns per byte, a 1 bit is
//    not covered. A span [a, b] on sub-row k clears the bits it covers in
//    byte k: left[i] with i = trunc(frac(a) * 8 + 0.5) keeps the bits left
//    of its start, right[j] those right of its end, pixels between become
//    0. The masks are ANDed into the byte, so two spans that meet inside
//    one pixel leave the union of what they cover. The buffer is set to
//    0xFFFFFFFF (nothing covered) before filling.
#pragma once

#include <cstdint>

#include "raster/edges.h"
#include "y32path/raster.h"

namespace raster {

struct FillSpec {
    Mapping map;
    int32_t subs;   // sub-scanlines per row: 1, 4 or 16 (4 for 32-bit buffers)
    bool even_odd;  // else nonzero winding
    bool hard;      // 8-bit only: 0 or 255
    // 8-bit only: the buffer's bytes are undefined and the filler writes
    // every one of them (0 where nothing is covered), instead of leaving
    // uncovered pixels as they were. Saves clearing a fresh buffer first.
    bool blank = false;
    // Tests only: widens the error bounds of the fast filler's estimated
    // crossings by this factor (>= 1), so more pixels are in doubt and
    // more rows go the exact way; the bytes must not change.
    double bound_scale = 1.0;
    // Tests only: 32-bit rows built for the baseline instruction set even
    // where the processor runs wider ones; the bytes must not change.
    bool baseline_simd = false;
};

// Sub-scanlines per row for an antialias argument and buffer depth.
inline int32_t SubsFor(int32_t antialias, int32_t depth) {
    if (antialias == 999 || depth == 32) return 4;
    return antialias ? 16 : 1;
}

// Rows per band of the reference filler.
constexpr int32_t kBandRows = 50;

// The production filler. Returns false when its scratch memory could not
// be had; the buffer then holds whatever was filled before.
bool ScanFill(const KyPath *head, const FillSpec &spec, PathBuf buf);

// The reference: bands of band_rows rows, per-sub-scanline crossing lists
// on the private heap growing in steps of 50, qsort, double accumulators.
bool ScanFillReference(const KyPath *head, const FillSpec &spec, PathBuf buf, int32_t band_rows = kBandRows);

// The 32-bit mask tables: bits kept left of a span start / right of its end.
extern const uint8_t kLeftMask[9];
extern const uint8_t kRightMask[9];

// Sets every pixel of a 32-bit buffer to "nothing covered".
void ClearMask32(PathBuf buf);

}  // namespace raster
