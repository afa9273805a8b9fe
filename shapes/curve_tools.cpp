// shapes/curve_tools.cpp - the smooth and freehand curve tools: settings,
// library-wide state and the window-message procedures.
//
// The host forwards the messages of its document window; the tools answer
// 1 when their figure is finished or cancelled (the host then ends its
// capture) and 0 otherwise. Window positions are client pixels; the curve
// itself lives in image coordinates.
//
// The smooth tool's rubber band is the whole curve with a node square on
// every knot. What the window shows is remembered as window points, and
// every change erases exactly that and draws the new curve, so the window
// always ends up showing the current curve and nothing else.
#include "shapes/curve_tools.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/diag.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/view.h"
#include "shapes/curve_draw.h"
#include "shapes/curve_fit.h"
#include "y32path/core.h"
#include "y32path/display.h"
#include "y32path/shapes.h"

using vec::Vec2;

namespace {

constexpr uint32_t kKeyDown = 256;
constexpr uint32_t kMouseMove = 512;
constexpr uint32_t kButtonDown = 513;
constexpr uint32_t kButtonUp = 514;
constexpr uint32_t kDoubleClick = 515;
constexpr uint32_t kKeyBackspace = 8;
constexpr uint32_t kKeyEscape = 27;

// Within this many pixels of the first click (on both axes) the Shift
// constraint lets go, so that the user can reach the start to close.
constexpr int32_t kCloseReach = 8;
// Freehand points closer than 2 pixels to the last one add nothing.
constexpr double kMinStepSquared = 4.0;

// Constructed at load, empty, default tension.
CBez g_curve;
double g_freehand_tolerance = curvetools::kDefaultFreehandTolerance;

struct SmoothTool {
    bool button_down;
    bool finish_pending;
    POINT first_click;
    POINT last_mouse;
    // Continuity the tool edits with. Nothing exported changes it: the
    // tool draws G1 curves.
    int32_t type;
    POINT shown[CBez::kMaxCtrls];
    int32_t shown_count;
};
SmoothTool g_smooth;

struct FreehandTool {
    bool drawing;
    int32_t count;
    POINT pts[curvefit::kMaxData];
    bool drawn[curvefit::kMaxData];  // piece ending at point i is on the window
};
FreehandTool g_freehand;

// How a finished smooth curve is closed, by the tool's mode.
enum class Closing { kAlways, kNever, kIfMeets };
Closing ClosingOf(int32_t mode) {
    switch (mode) {
        case 0:
        case 3: return Closing::kAlways;
        case 2:
        case 5: return Closing::kIfMeets;
        default: return Closing::kNever;  // 1, 4, and modes the tool does not know
    }
}

bool KeyIsDown(int32_t vk) { return GetKeyState(vk) < 0; }
bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

Vec2 ToImage(const CoordStruct *view, POINT w) {
    Vec2 p{0.0, 0.0};
    view::WindowToImage(view, w.x, w.y, &p.x, &p.y);
    return p;
}

// A view that can map window points to image points.
bool UsableView(const CoordStruct *view) { return view && view->zoom != 0.0; }

// The selection the new figure replaces: every record of the group is
// deselected and the group has no selected path. With a window to draw on
// the selected records' node squares are erased first, as the pen tool
// does; left there they would stay on screen until the next repaint, and
// the next XOR drawing over them would show them again.
void ClearTableSelection(HDC hdc, PathTable *table, const CoordStruct *view) {
    PathGroup *g = table::CurrentGroup(table);
    if (!g || !g->firstSelected) return;
    KyPathDeSelectAll(hdc, g->first ? g->first : g->firstSelected, const_cast<CoordStruct *>(view), 1);
    KyPathAssignSelectedPath(table, nullptr);
}

// Makes a finished figure the selected path of the table's current group,
// after the last path of the group or as its first. A table that cannot
// take it (none, or a damaged current group) does not get it, and the
// record is freed rather than lost.
void Attach(PathTable *table, KyPath *p) {
    PathGroup *g = table::CurrentGroup(table);
    if (!g) {
        KyPathDeletePtr(p, 0);
        return;
    }
    ClearTableSelection(nullptr, table, nullptr);
    p->flags |= KPF_SELECTED;
    if (g->first) {
        KyPath *last = PathLast(g->first);
        last->next = p;
        p->prev = last;
        KyPathAssignSelectedPath(table, p);
    } else {
        KyPathAssignActivePath(table, p);
    }
}

// ---- Smooth tool ----

void HideCurve(HDC hdc) {
    curvedraw::XorCurve(hdc, g_smooth.shown, g_smooth.shown_count, true);
    g_smooth.shown_count = 0;
}

// Brings the window up to date with the curve. Without a device context
// nothing can be drawn, and the window still shows what it showed.
void ShowCurve(HDC hdc, const CoordStruct *view) {
    if (!hdc) return;
    POINT next[CBez::kMaxCtrls];
    int32_t n = g_curve.WindowPoints(view, 0, g_curve.nCtrls - 1, next);
    if (n == g_smooth.shown_count && std::memcmp(next, g_smooth.shown, sizeof(POINT) * n) == 0) return;
    HideCurve(hdc);
    curvedraw::XorCurve(hdc, next, n, true);
    std::memcpy(g_smooth.shown, next, sizeof(POINT) * n);
    g_smooth.shown_count = n;
}

// The Shift constraint: the pointer keeps to the vertical, horizontal or
// 45-degree line through the previous knot.
POINT Constrain(const CoordStruct *view, POINT w) {
    const CBez &c = g_curve;
    if (c.nCtrls >= 10 && std::abs(int64_t{w.x} - g_smooth.first_click.x) <= kCloseReach &&
        std::abs(int64_t{w.y} - g_smooth.first_click.y) <= kCloseReach)
        return w;
    POINT ref = curvedraw::ImageToWindow(view, c.ctrls[c.nCtrls - 4].x, c.ctrls[c.nCtrls - 4].y);
    int64_t dx = int64_t{ref.x} - w.x, dy = int64_t{ref.y} - w.y;
    int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    if (ax <= ay && 2 * ax <= ay) {
        w.x = ref.x;
    } else if (ay < ax && 2 * ay <= ax) {
        w.y = ref.y;
    } else {
        // Halfway each: the longer offset shrinks, the shorter grows.
        int64_t h = (ax > ay ? ax - ay : ay - ax) / 2;
        int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
        int64_t nx = w.x, ny = w.y;
        if (ax > ay) {
            nx += sx * h;
            ny -= sy * h;
        } else {
            ny += sy * h;
            nx -= sx * h;
        }
        w.x = view::Clamp32(nx);
        w.y = view::Clamp32(ny);
    }
    return w;
}

// Moves the last knot to the pointer, snapping the curve closed when the
// pointer lies on the first knot and the mode allows it. False when the
// knot is already there.
bool MoveLastKnot(const CoordStruct *view, POINT w, int32_t mode) {
    CBez &c = g_curve;
    Vec2 p = ToImage(view, w);
    BezCtrl &last = c.ctrls[c.nCtrls - 1];
    if (std::fabs(p.x - last.x) <= CBez::kSame && std::fabs(p.y - last.y) <= CBez::kSame) return false;
    const bool was_closed = c.IsClosed();
    const bool snap = !KeyIsDown(VK_CONTROL) && ClosingOf(mode) != Closing::kNever && c.IsClosed(&p);
    last.x = p.x;
    last.y = p.y;
    // Leaving the start: the first knot is an open end again.
    if (was_closed && !c.IsClosed()) c.Edit(g_smooth.type, 0, c.At(0), 1, false);
    c.Edit(g_smooth.type, c.nCtrls - 1, p, 2, snap);
    return true;
}

int32_t SmoothButtonDown(HDC hdc, PathTable *table, const CoordStruct *view, POINT w, int32_t mode) {
    CBez &c = g_curve;
    if (g_smooth.button_down) return 0;
    if (c.nCtrls == 0) {
        KyPathInit();
        // A figure needs a table to end up in.
        if (!table::CurrentGroup(table)) return 0;
        g_smooth.button_down = true;
        ClearTableSelection(hdc, table, view);
        g_smooth.first_click = w;
        c.Append(CBez::kClamp);
        c.Edit(g_smooth.type, 0, ToImage(view, w), 2, true);
    } else {
        g_smooth.button_down = true;
        // The knot being placed lies where the click is, even when no move
        // to this position came first.
        MoveLastKnot(view, w, mode);
    }
    const int32_t before = c.nCtrls;
    c.Append(CBez::kClamp);  // the new last knot follows the pointer from now on
    const bool relax = c.nCtrls > before && KeyIsDown(VK_CONTROL) && c.nCtrls >= 5;
    if (relax) {
        c.ctrls[c.nCtrls - 4].flag = CBez::kRelax;
        DebugPrint("- CBez: append segment, nCtrls=%d, BC=relax.\n", c.nCtrls);
    } else {
        DebugPrint("- CBez: append segment, nCtrls=%d, BC=clamp.\n", c.nCtrls);
    }
    ShowCurve(hdc, view);
    g_smooth.last_mouse = w;
    return 0;
}

int32_t SmoothMouseMove(HDC hdc, const CoordStruct *view, POINT w, int32_t mode) {
    if (g_smooth.button_down || g_curve.nCtrls == 0) return 0;
    if (!MoveLastKnot(view, w, mode)) return 0;
    ShowCurve(hdc, view);
    g_smooth.last_mouse = w;
    return 0;
}

int32_t SmoothDoubleClick(HDC hdc, const CoordStruct *view, POINT w, int32_t mode) {
    CBez &c = g_curve;
    if (g_smooth.button_down || c.nCtrls == 0) return 0;
    g_smooth.button_down = true;
    const Closing closing = ClosingOf(mode);
    if (SamePoint(w, g_smooth.first_click)) {
        // The first click of this double click added a segment on the
        // start; it goes again.
        if ((closing == Closing::kNever && !hdc) || c.nCtrls >= 13) {
            c.DeleteLast();
            g_smooth.finish_pending = true;
        }
    } else if (closing != Closing::kAlways) {
        c.DeleteLast();
        g_smooth.finish_pending = true;
    } else if (c.nCtrls >= 10) {
        c.Edit(g_smooth.type, c.nCtrls - 1, c.At(0), 2, true);
        g_smooth.finish_pending = true;
    }
    ShowCurve(hdc, view);
    return 0;
}

int32_t SmoothButtonUp(HDC hdc, PathTable *table, int32_t mode) {
    CBez &c = g_curve;
    g_smooth.button_down = false;
    if (!g_smooth.finish_pending) return 0;
    g_smooth.finish_pending = false;
    const Closing closing = ClosingOf(mode);
    const bool closed = closing == Closing::kAlways || (closing == Closing::kIfMeets && c.IsClosed());
    KyPath *p = c.ToPath(closed);
    // The figure leaves the rubber band for the path display.
    HideCurve(hdc);
    c.Empty();
    if (p) Attach(table, p);
    return 1;
}

int32_t SmoothKey(HDC hdc, const CoordStruct *view, uint32_t key) {
    CBez &c = g_curve;
    if (key == kKeyBackspace && c.nCtrls > 4) {
        if (!UsableView(view)) return 0;
        c.DeleteLast();
        c.Edit(g_smooth.type, c.nCtrls - 1, ToImage(view, g_smooth.last_mouse), 2, true);
        ShowCurve(hdc, view);
        return 0;
    }
    if ((key == kKeyEscape || key == kKeyBackspace) && c.nCtrls > 0) {
        HideCurve(hdc);
        c.Empty();
        g_smooth.button_down = false;
        g_smooth.finish_pending = false;
        return 1;
    }
    return 0;
}

// ---- Freehand tool ----

void HideStroke(HDC hdc) {
    curvedraw::XorPolyline(hdc, g_freehand.pts, g_freehand.count, g_freehand.drawn);
    std::memset(g_freehand.drawn, 0, sizeof g_freehand.drawn);
}

void DropStroke(HDC hdc) {
    HideStroke(hdc);
    g_freehand.count = 0;
    g_freehand.drawing = false;
}

}  // namespace

CBez &SmoothCurve() { return g_curve; }

namespace curvetools {

double FreehandTolerance() { return g_freehand_tolerance; }

void ResetForTesting() {
    g_curve = CBez();
    g_freehand_tolerance = kDefaultFreehandTolerance;
    g_smooth = SmoothTool{};
    g_freehand = FreehandTool{};
}

}  // namespace curvetools

Y32_BEGIN_C

void KyPathSetSmoothBezierSmoothness(int32_t n) {
    double t = n * 0.005;
    if (t > CBez::kMaxTension) t = CBez::kMaxTension;
    if (t < 0.0) t = 0.0;
    g_curve.tension = t;
}

int32_t KyPathGetSmoothBezierSmoothness(void) { return static_cast<int32_t>(g_curve.tension * 200.0 + 0.5); }

int32_t KyPathSetFreehandBezierSmoothness(int32_t n) {
    g_freehand_tolerance = n * 0.1;
    return n;
}

int32_t KyPathGetFreehandBezierSmoothness(void) { return static_cast<int32_t>(g_freehand_tolerance * 10.0); }

int32_t KyPathDrawSmoothBezier(HDC hdc, PathTable *table, CoordStruct *view, uint32_t msg, uint32_t wParam,
                               int32_t x, int32_t y, int32_t reserved1, int32_t reserved2, int32_t mode) {
    (void)reserved1;
    (void)reserved2;
    if (msg == kKeyDown) return SmoothKey(hdc, view, wParam);
    if (msg == kButtonUp) return SmoothButtonUp(hdc, table, mode);
    if (msg != kMouseMove && msg != kButtonDown && msg != kDoubleClick) return 0;
    // Everything else places knots through the view.
    if (!UsableView(view)) return 0;
    POINT w{x, y};
    if (g_curve.nCtrls >= 4 && KeyIsDown(VK_SHIFT)) w = Constrain(view, w);
    switch (msg) {
        case kButtonDown: return SmoothButtonDown(hdc, table, view, w, mode);
        case kMouseMove: return SmoothMouseMove(hdc, view, w, mode);
        default: return SmoothDoubleClick(hdc, view, w, mode);
    }
}

int32_t KyPathDrawFreehandBezier(HDC hdc, PathTable *table, CoordStruct *view, uint32_t msg, uint32_t wParam,
                                 int32_t x, int32_t y, int32_t reserved1, int32_t reserved2, int32_t mode) {
    (void)reserved1;
    (void)reserved2;
    FreehandTool &f = g_freehand;
    const POINT w{x, y};
    switch (msg) {
        case kButtonDown:
            if (f.drawing) return 0;
            if (f.count == 0) {
                KyPathInit();
                if (!table::CurrentGroup(table) || !UsableView(view)) return 0;
                ClearTableSelection(hdc, table, view);
                f.pts[0] = w;
                f.drawn[0] = false;
                f.count = 1;
            }
            f.drawing = true;
            return 0;
        case kMouseMove: {
            if (!f.drawing || f.count >= curvefit::kMaxData) return 0;
            const POINT last = f.pts[f.count - 1];
            double dx = static_cast<double>(w.x) - last.x, dy = static_cast<double>(w.y) - last.y;
            if (dx * dx + dy * dy < kMinStepSquared) return 0;
            f.pts[f.count] = w;
            f.drawn[f.count] = hdc != nullptr;
            ++f.count;
            if (hdc) curvedraw::XorPolyline(hdc, f.pts + f.count - 2, 2);
            return 0;
        }
        case kButtonUp: {
            if (!f.drawing) return 0;
            f.drawing = false;
            int32_t n = f.count;
            // A closed stroke that ends where it began needs no closing
            // point of its own; the closing curve brings it back.
            if (mode != 0 && n > 1 && SamePoint(f.pts[n - 1], f.pts[0])) --n;
            KyPath *p = UsableView(view) ? KyPathCreateApproximateBezier(view, n, f.pts, g_freehand_tolerance, mode)
                                         : nullptr;
            DropStroke(hdc);
            if (p) Attach(table, p);
            return 1;
        }
        case kKeyDown:
            if (wParam != kKeyEscape) return 0;
            DropStroke(hdc);
            return 1;
        default: return 0;
    }
}

Y32_END_C
