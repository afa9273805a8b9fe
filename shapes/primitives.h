// shapes/primitives.h - primitive shapes from a drag on the window.
//
// A drag becomes a frame in image pixels (centre and half extents); the
// frame becomes a new record holding an ellipse, a rectangle, a rounded or
// segmented rectangle or a diamond, or a supplied path scaled into it. The
// record keeps its shape code in the shape field, so later operations can
// tell an untouched primitive (IsPrimitiveAsMade) and re-round a rounded
// rectangle's corners.
//
// Shape codes: 0 free form, 1 ellipse (13 points), 2 rectangle (5), 3 and
// 300 to 400 rounded rectangle (17), 5 segmented rectangle (27), anything
// else a diamond (5) that keeps the code it was asked for.
//
// Units: drags are window pixels, everything else image pixels as doubles,
// stored with the library's truncating DbToFix. y grows downward.
#pragma once

#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/table.h"
#include "y32path/types.h"
#include "y32path/view.h"

namespace shapes {

enum ShapeCode : int32_t {
    kFreeForm = 0,
    kEllipse = 1,
    kRectangle = 2,
    kRoundedByProportion = 3,
    kSegmented = 5,
    kRoundedPercentFirst = 300,  // 300 + corner radius in percent of the short half side
    kRoundedPercentLast = 400,
};

// The handle length of a quarter arc: 4 (sqrt(2) - 1) / 3, to the digits
// the shapes have always been built with.
constexpr double kKappa = 0.5522847;

inline bool IsRoundedCode(int32_t code) {
    return code == kRoundedByProportion || (code >= kRoundedPercentFirst && code <= kRoundedPercentLast);
}

// Points of the record a code builds.
int32_t PointCountFor(int32_t code);

// The frame of a drag, in image pixels.
struct Frame {
    double cx, cy;  // centre
    double hw, hh;  // half width, half height (positive)
    double Left() const { return cx - hw; }
    double Right() const { return cx + hw; }
    double Top() const { return cy - hh; }
    double Bottom() const { return cy + hh; }
};

// The frame of the window drag `drag` (left/top: where it began,
// right/bottom: where it is now, in any direction). With from_centre the
// first corner is the centre and the drag gives half extents; otherwise
// the drag spans the whole frame. False for a zero width or height, or a
// view whose zoom is not a positive finite number.
bool DragFrame(const CoordStruct *view, const Y32Rect &drag, bool from_centre, Frame *out);

// A new selected record of the given code built in the frame, exactly as
// large as its points need; null when out of memory.
KyPath *BuildPrimitive(int32_t code, const Frame &f);

// A copy of the whole path holding `shape`, joined into one compound path
// and scaled and moved into the frame (with keep_aspect, one factor for
// both axes), every record selected, the head's shape code 0. Null when
// the copy cannot be made.
KyPath *ScaledCopy(KyPath *shape, const Frame &f, bool keep_aspect);

// Draws (exclusive-or) the node squares of one record on the window; the
// same call again erases them.
using NodeDrawer = int32_t (*)(HDC dc, KyPath *record, CoordStruct *view);

// Builds into *out what the drag asks for: the supplied shape scaled into
// the frame when `shape` is given, else the primitive of `code`. False
// (and *out null) for a missing view or output, an empty drag or no memory.
bool GetPrimitive(int32_t code, KyPath *shape, KyPath **out, const CoordStruct *view, bool from_centre,
                  bool keep_aspect, const Y32Rect *drag);

// Adds what GetPrimitive builds to the end of the table's current group as
// its only selection. The selection it replaces is cleared first, its node
// squares erased with `erase_nodes` when that, dc and view are given.
// False, with the table as it was, for a missing table or view or a
// current group outside the table; false after the selection was cleared
// when nothing could be built.
// `unpick` (when given) drops a picked segment of the replaced selection
// with its highlight in the overlay, which clearing the marks alone would
// leave on the screen.
using SegmentUnpicker = int32_t (*)(CoordStruct *view, PathTable *table, KyPath *record, Y32Rect *out);
bool AddPrimitive(HDC dc, int32_t code, KyPath *shape, PathTable *table, CoordStruct *view, bool from_centre,
                  bool keep_aspect, const Y32Rect *drag, NodeDrawer erase_nodes, SegmentUnpicker unpick = nullptr);

// True when the record is a primitive still as it was built: a nonzero
// code, the code's number of points, for rounded rectangles equal legs of
// the first corner arc (within 0.0001 pixel), and nothing after it in its
// table list except an envelope outline.
bool IsPrimitiveAsMade(const KyPath *p);

// Corner roundness of a rounded rectangle. True for codes 3 and 300..400
// with their 17 points; otherwise false with percent 50 and radius 0.
bool GetRoundness(const KyPath *p, int32_t *percent, int32_t *radius);
// Re-rounds a rounded rectangle to `percent` (clamped to 1..99) of its
// short half side in its current frame; the code becomes 300 + percent.
// *bounds (when given) receives the frame on whole pixels. False, with the
// record unchanged, for other records.
bool SetRoundness(KyPath *p, int32_t percent, Y32Rect *bounds);

}  // namespace shapes
