// deform/dash_pattern.cpp - the dash rectangles of the seven styles.
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "deform/dash.h"
#include "y32path/core.h"

namespace dash {
namespace {

constexpr int32_t kDashPoints = 5;
// Header, five points and the two spare bytes every record has (92 bytes
// on a 32-bit target).
constexpr size_t kDashBytes = path::kHeaderSize + kDashPoints * path::kPointSize + path::kSpareBytes;
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(kDashBytes == 92, "a 32-bit dash record is 92 bytes");
#endif

struct Style {
    int32_t dashes;       // 1 to 3: [0,3], [4,7], [8,11] in units of w (style 1: [0,1])
    double spacing;
    double start_units;   // start offset in units of w
};

constexpr Style kStyles[kLastStyle] = {
    {1, 1.0, 1.0},        {1, 1.3333, 4.0},    {2, 0.5714286, 4.0}, {3, 0.36363636, 4.0},
    {1, 2.66667, 8.0},    {2, 1.142857, 8.0},  {3, 0.7272727, 8.0},
};

KyPath *NewDash(double a, double b, double w) {
    auto *d = static_cast<KyPath *>(mem::PathAlloc(kDashBytes));
    if (!d) return nullptr;
    d->count = kDashPoints;
    const double top = -kAcrossBefore, bottom = w + kAcrossAfter;
    const struct {
        uint16_t type;
        double x, y;
    } pts[kDashPoints] = {{PT_MOVETO, a, top},
                          {PT_LINETO, b, top},
                          {PT_LINETO, b, bottom},
                          {PT_LINETO, a, bottom},
                          {PT_LINETO | PT_CLOSEFIGURE, a, top}};
    PathPoint *out = path::Points(d);
    for (int32_t i = 0; i < kDashPoints; ++i) {
        out[i].type = pts[i].type;
        out[i].x = fx::FromDouble(pts[i].x);
        out[i].y = fx::FromDouble(pts[i].y);
    }
    return d;
}

}  // namespace

bool BuildPattern(int32_t style, double w, double length, Pattern *out) {
    if (!out || style < kFirstStyle || style > kLastStyle) return false;
    *out = Pattern{};
    const Style &s = kStyles[style - 1];
    KyPath *head = nullptr, *tail = nullptr;
    for (int32_t i = 0; i < s.dashes; ++i) {
        double a = 4.0 * i * w, b = style == 1 ? w : a + 3.0 * w;
        KyPath *d = NewDash(a, b, w);
        if (!d) {
            Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
            if (head) KyPathDeletePtr(head, 0);
            return false;
        }
        if (tail) {
            tail->next = d;
            d->prev = tail;
        } else {
            head = d;
        }
        tail = d;
    }
    out->head = head;
    out->spacing = s.spacing;
    // A path without length has no fraction to start at; the wrap refuses it.
    out->start_offset = length > 0.0 ? s.start_units * w / length : 0.0;
    return true;
}

}  // namespace dash
