// deform/wrap.h - bending a figure along a baseline: the baseline's
// arc-length table and the two ways of placing the figure.
//
// Units: image pixels in doubles. Arc lengths run from the baseline's first
// point. A position on the baseline is (segment, t) with t in 0..1 on that
// segment; the table maps arc length to it.
//
// The baseline is a single subpath whose segments are lines or cubics.
// Segments shorter than 4 pixels are "ignored": they keep their place in
// the table but take no arc length, so a figure passes over a zero-length
// joint without a gap.
//
// Typical use (KyPathWrap does all of it):
//   1. WrapMakeAFDTableAndSegInfo(baseline, ...) -> Baseline (segments,
//      table, total length);
//   2. WrapDoDeform (every point bent) or WrapPlaceRigid (characters moved
//      whole) on the figure's table list;
//   3. FreeBaseline.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/vec.h"
#include "y32path/deform.h"

namespace wrap {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(WrapInfo) == 112, "32-bit WrapInfo is the host's 112-byte record");
static_assert(offsetof(WrapInfo, startOffset) == 56 && offsetof(WrapInfo, baselineLevel) == 80 &&
                  offsetof(WrapInfo, truncateRule) == 108,
              "32-bit WrapInfo keeps doubles on 8-byte boundaries");
#endif

// A segment shorter than this takes no arc length.
constexpr double kMinSegmentLength = 4.0;

struct SegInfo {
    int32_t kind;         // 0 line, 1 cubic
    int32_t first;        // index of its start point in the baseline
    double length;        // 0 when ignored
    vec::Vec2 t0, t1;     // unit tangents at start and end (averaged at smoothed corners)
    int32_t corner;       // smoothCorners when a corner next to it was smoothed
    uint8_t smoothed[2];  // which ends (start, end) meet a smoothed corner
    int32_t ignored;      // 1 when shorter than kMinSegmentLength
    int32_t entryFirst;   // its entries in the table: entryFirst..entryLast
    int32_t entryLast;
    double extreme[2];    // lowest and highest y of its table points
};

// One table entry, 8 bytes: cumulative arc length, parameter in 1/65535,
// segment index.
struct AfdEntry {
    float length;
    uint16_t t;
    uint16_t segment;
};
static_assert(sizeof(AfdEntry) == 8, "table entries are 8 bytes");

constexpr int32_t kTableStart = 1024;
constexpr int32_t kTableStep = 512;
constexpr int32_t kMaxExtremes = 64;

struct Baseline {
    const KyPath *path = nullptr;
    SegInfo *segs = nullptr;  // run-time heap
    int32_t nseg = 0;
    AfdEntry *table = nullptr;  // run-time heap
    int32_t count = 0, capacity = 0;
    double length = 0.0;  // total L
    // Trimmed ribbon: the arc-length fractions where y' changes sign, with
    // 1.0 appended when their number is even.
    double extremes[kMaxExtremes + 1];
    int32_t nextremes = 0;
};

// Builds the segment records and the arc-length table. Beziers are walked
// by the shared forward-differencing flattener, halving above 40000 and
// doubling below 20000 (1/65536 pixel per step). False, with everything
// freed and reported (5404: fewer than 2 points or shorter than 4 pixels;
// 3200: a point that is neither a line nor a curve; 1001: no memory).
bool WrapMakeAFDTableAndSegInfo(const KyPath *baseline, Baseline *out, bool collect_extremes);
void FreeBaseline(Baseline *b);

struct Located {
    int32_t segment;
    double t;  // 0..1
};

// (segment, t) at arc length s, searching entries first..last. Positions
// before the first or after the last entry, and entries of ignored
// segments, go to the nearest entry of a segment that is not ignored.
Located BinarySearchAFDTable(const Baseline &b, int32_t first, int32_t last, double s);

// Point and unit tangent of segment seg at t (t may leave 0..1 on lines).
vec::Vec2 SegmentPoint(const Baseline &b, int32_t seg, double t);
// The derivative normalised. A curve whose handle sits on its end point has
// no derivative there; the direction it leaves or arrives in (towards the
// next distinct control point) is taken instead. Only a segment without
// any extent gives (0, 0), with a diagnostic.
vec::Vec2 WrapGetPathTangent(const Baseline &b, int32_t seg, double t);
// The offset direction at a unit tangent: (t.y, -t.x), "up" for a baseline
// running left to right on a y-down screen.
inline vec::Vec2 NormalOf(vec::Vec2 t) { return vec::Vec2{t.y, -t.x}; }

// The figure's box and copies. box receives left, top, right, bottom of
// the figure (all points of the list, control points included); with
// repeated copies box.right is left + count * pitch. Copies are appended
// after the list's tail, each shifted right by one more pitch. False (1001
// reported, no copy left behind) when a copy cannot be made.
struct Box {
    double left, top, right, bottom;
};
bool WrapDuplicateSubpathList(KyPath *figure, int32_t repeatCount, double spacing, double usableLength, int32_t text,
                              int32_t truncateRule, int32_t orientation, Box *box);

// Where the figure's baseline lies: how the vertical reference is chosen.
enum class Level { kInfo, kCircles };

// The wrap settings after normalisation.
struct Settings {
    WrapInfo info;            // repeatCount >= 0, spacing != -1, startOffset in [0, 0.999]
    bool ribbon = false;      // trimmed-ribbon marks wanted
    Level level = Level::kInfo;
};

// Normalises a copy of the host's record (repeat count, spacing, start
// offset; orientation other than 0 or 1 read as 0).
Settings Normalise(const WrapInfo &info);
// startOffset brought into [0, 1] by whole turns, then capped at 0.999; a
// value that is not a number is 0.
double NormaliseStartOffset(double v);
// The font height of a text wrap: the low 16 bits of baselineLevel's
// stored bits, where hosts put it; a host that stored the height as a
// number (30.0) is read the same way.
double FontHeight(const WrapInfo &w);

// Bends every point of the list held in *figure (its head) along the
// baseline. The records grow as the figure is split at the baseline's
// joints; *figure follows a moved head. False on failure (reported); the
// list may then be partly bent and is the caller's to discard.
bool WrapDoDeform(KyPath **figure, const Baseline &b, const Settings &s);

// Moves each character (see the unit rule in the .cpp) as a whole: turned
// to the baseline's direction at its centre and scaled vertically by the
// height taper. False when the copies cannot be made.
bool WrapPlaceRigid(KyPath **figure, const Baseline &b, const Settings &s);

// WrapWithPath: the table, corner smoothing, then WrapDoDeform or
// WrapPlaceRigid. info->closedLoop is written. level selects the reference
// height rule (kCircles: half the figure height, for text on the generated
// circles).
bool WrapWithPath(KyPath **figure, WrapInfo *info, Level level);

// Text on generated circles (no baseline path: types 300 to 307).
bool WrapOnCircles(KyPath **figure, WrapInfo *info);

}  // namespace wrap
