// core/bounds.h - bounding boxes of records and chains.
//
// One accumulator serves every box of the library: it walks the records a
// query covers (Cover), takes each point through the point walker, and
// grows an Extent either by whole pixels (the floor of each coordinate) or
// by exact image coordinates. Rotated-rectangle records contribute their
// four rotated corners, truncated to signed 16-bit integers in both units
// (host data made that way); records with the no-extent entry contribute
// nothing.
//
// Whole-pixel boxes then get scaled (truncation toward zero) and receive
// the anti-aliasing margin: 5 pixels left and top, 6 right and bottom
// (room for what the drawers put around an outline).
#pragma once

#include <cstdint>

#include "y32path/types.h"

namespace bounds {

constexpr int32_t kMarginBefore = 5;  // left and top
constexpr int32_t kMarginAfter = 6;   // right and bottom

// Which records a box covers, counted from the given record.
enum class Cover {
    kRecord,      // the record alone
    kFollowing,   // the record and every record after it along next
    kGroup,       // the record and its group successors (stops after an OutlineInfo holder)
    kSelection,   // the record and its successors along selNext
    kUnselected,  // every record of its table list without KPF_SELECTED
};

enum class Units { kWholePixels, kImage };

// What rotated rectangles contribute.
enum class Rotated { kCorners, kSkip };

struct Extent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;
    void Add(double x, double y) {
        if (empty) {
            minX = maxX = x;
            minY = maxY = y;
            empty = false;
            return;
        }
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
};

// The shared accumulator: grows `e` by the records `cover` selects from p.
void Accumulate(const KyPath *p, Cover cover, Units units, Extent &e, Rotated rotated = Rotated::kCorners);

// The zero-area start of the box queries: point 0 of the record (the
// origin for a record without points).
Extent SeedAtFirstPoint(const KyPath *p, Units units);

// Whole-pixel box, seeded at point 0, scaled when scale != 1.0, no margin.
Y32Rect PixelBox(const KyPath *p, Cover cover, FIXED scale);
// The same with the margin added (the MiniMax boxes).
Y32Rect MarginBox(const KyPath *p, Cover cover, FIXED scale);
// The record alone, without a seed: (10000, 10000, -10000, -10000) when it
// has no extent; scaled values are trunc(v * scale + 0.5).
Y32Rect RecordRect(const KyPath *p, FIXED scale);

struct DoubleRect {
    double minX, minY, maxX, maxY;
};
// Box in image units, seeded at point 0.
DoubleRect ImageBox(const KyPath *p, Cover cover);

// Per-side anti-aliasing margins of the record and its group successors
// (rotated and extentless records skipped), in left, top, right, bottom
// order. Mode 0 and the other modes differ in their thresholds.
void SideMargins(const KyPath *p, int32_t mode, int32_t out[4]);

// The 16.16 scale as a factor, and whether it leaves values alone.
inline bool IsUnitScale(FIXED scale) { return scale == 65536; }

}  // namespace bounds
