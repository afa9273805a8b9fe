// display/pen_tool.h - the pen tool's drawing state, for its tests.
//
// KyPathMouseProcDraw (y32path/display.h) keeps one drawing in progress in
// library-wide state: the subpath being built (the selected path of the
// table's current group), a buffer of the window positions of its points,
// and what the tool has drawn in exclusive-or on the window. Tests look at
// that state through Snapshot to check that the buffer follows the record
// and that the window shows exactly what the state says it should.
#pragma once

#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/types.h"

namespace pen {

// Room of the point buffer is kept in whole steps of this many points.
constexpr int32_t kBufferStep = 64;
// A press that moves no further than this (window pixels, on both axes)
// is a click.
constexpr int32_t kClickSlop = 5;
// A double-click closer than this to the start (on both axes) closes.
constexpr int32_t kCloseReach = 9;
// With Shift held and at least three points, a pointer in the square from
// this far up-left to this far down-right of the start is left free, so
// that the start can be reached to close.
constexpr int32_t kShiftFree = 8;
// Kind 6: a second click closer than this (image units, on both axes) to
// the first point adds nothing.
constexpr double kLineMinImage = 2.0;
// Kind 4: handles shorter than this (image units, squared) are snapped
// onto their node when the subpath is finished.
constexpr double kSnapSquared = 25.0;

struct Snapshot {
    bool active;           // a drawing holds the buffer
    bool button;           // the button went down during the drawing
    bool pending;          // the last segment is a curve begun by a drag, not yet placed
    int32_t capacity;      // room of the point buffer, in points
    int32_t count;         // points the buffer describes (the record's count)
    const POINT *points;   // window positions of the record's points
    const KyPath *record;  // the subpath being drawn
    POINT start, press, last, band_end;
};

Snapshot State();

// Drops a drawing without touching the window or the record: the buffers
// are freed. For tests that end in the middle of a drawing.
void ResetForTesting();

}  // namespace pen
