// display/pen_tool.cpp - the pen tool: a subpath built point by point from
// the window messages the host forwards while the user draws.
//
// A click adds a corner node, a press and drag a smooth node whose handle
// follows the mouse. The subpath is the selected path of the table's
// current group, in image coordinates; a buffer beside it (ptsbuf) keeps
// the window position of every point, so that bands and squares are drawn
// where the user clicked, whatever the image coordinates round to.
//
// The window. Everything the tool shows is drawn in exclusive-or, so
// drawing a thing again erases it. Erasing by recomputing what was drawn
// goes wrong as soon as the state it was drawn from has changed (a
// Backspace, a node placed, a band whose anchor moved), so the tool
// remembers what it has on the window: one inactive square per placed
// node (in node order, in their own buffer) and a few other pieces (band
// lines with their end squares, curve bands, the square of the node being
// pressed). After every message it works out what the window should show
// and draws only the differences; a piece whose drawing failed (the node
// drawers make a pen per square) is recorded as it really is and mended by
// the next message. Whatever the sequence of messages, the window then
// shows exactly the current band and squares. When a drawing
// ends the tool's squares are replaced by the record's node squares as the
// node layer draws them, which is what the selection tools expect to find
// on the window for a selected path.
//
// Window positions are the client coordinates of the messages. Image
// coordinates: x = DbToFix((wx + scrollX - left) / zoom), y likewise.
#include "display/pen_tool.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "core/view.h"
#include "edit/structure.h"
#include "y32path/core.h"
#include "y32path/display.h"
#include "y32path/edit.h"

namespace {

static_assert(sizeof(POINT) == 8, "a window position is two 32-bit values");

constexpr COLORREF kBandColour = 0xC0C0C0;
constexpr uint16_t kKindMask = PT_KINDMASK;
constexpr int32_t kLineKind = 6;  // kinds 6 and above: a two-point line

// The pieces the tool draws besides the node squares. A straight band is a
// line and a small square at its end, so it is two pieces.
enum class Piece : uint8_t { kLine, kCurve, kSmallSquare, kSquare };
struct Element {
    Piece piece;
    POINT p[4];  // line: from, to; curve: start, control, control, end; squares: p[0]
};
constexpr int kMaxWanted = 6;   // two bands, a curve, the pressed node's square
constexpr int kMaxShown = 12;   // what is wanted and what could not be erased yet
struct Elements {
    Element e[kMaxShown];
    int n;
};

// "No square here": a position no drawing call accepts, so nothing that
// could have been drawn is mistaken for it.
constexpr POINT kNoSquare{INT32_MIN, INT32_MIN};

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

bool SameElement(const Element &a, const Element &b) {
    if (a.piece != b.piece) return false;
    for (int k = 0; k < 4; ++k)
        if (!Same(a.p[k], b.p[k])) return false;
    return true;
}

struct Drawing {
    POINT *pts;         // ptsbuf: window position of every point of the record
    int32_t capacity;   // its room, in points
    POINT *squares;     // node squares on the window, in node order (kNoSquare: none)
    int32_t squares_capacity;
    int32_t squares_shown;
    Elements shown;     // bands and the pressed node's square on the window
    KyPath *record;     // the subpath being drawn
    int32_t count;      // its point count when the last message ended
    POINT start;        // first press
    POINT press;        // where the button last went down
    POINT last;         // latest position seen; the release point of a drag
    POINT band_end;     // where the band ends while the button is up
    bool button;        // the button went down during the drawing
    bool pending;       // the last segment is a curve begun by a drag and not yet placed
};
Drawing g;

bool Active() { return g.pts != nullptr; }

// The heap went with everything on it.
void ForgetOnDetach() { g = Drawing{}; }

void ReleaseBuffers() {
    if (g.pts) {
        mem::PathFree(g.pts);
        DebugPrint("KyPathMouseProcDraw(): ptsbuf released, size = %d.\n", g.capacity);
    }
    if (g.squares) mem::PathFree(g.squares);
    g = Drawing{};
}

// Grows a window-position buffer to at least n points, in steps of
// kBufferStep, the new room zero-filled.
bool GrowBuffer(POINT **buf, int32_t *capacity, int32_t n) {
    if (n <= *capacity) return true;
    int64_t room = *capacity;
    while (room < n) room += pen::kBufferStep;
    if (room > INT32_MAX / static_cast<int64_t>(sizeof(POINT))) return false;
    POINT *grown = static_cast<POINT *>(mem::PathReAlloc(*buf, static_cast<size_t>(room) * sizeof(POINT)));
    if (!grown) return false;
    std::memset(grown + *capacity, 0, static_cast<size_t>(room - *capacity) * sizeof(POINT));
    *buf = grown;
    *capacity = static_cast<int32_t>(room);
    return true;
}

// ---- Coordinates ----

bool UsableView(const CoordStruct *v) { return v && v->zoom != 0.0; }

FIXED ImageX(const CoordStruct *v, int32_t wx) {
    return fx::FromDouble((static_cast<double>(wx) + v->scrollX - v->left) / v->zoom);
}
FIXED ImageY(const CoordStruct *v, int32_t wy) {
    return fx::FromDouble((static_cast<double>(wy) + v->scrollY - v->top) / v->zoom);
}

// 2 x about - p, kept inside the 32-bit range.
POINT Mirror(POINT about, POINT p) {
    return POINT{view::Clamp32(2 * int64_t{about.x} - p.x), view::Clamp32(2 * int64_t{about.y} - p.y)};
}

FIXED ClampFixed(int64_t v) { return view::Clamp32(v); }

// ---- The record ----

PathGroup *Group(PathTable *t) { return table::CurrentGroup(t); }

KyPath *SelectedPath(PathTable *t) {
    PathGroup *grp = Group(t);
    return grp ? grp->firstSelected : nullptr;
}

uint16_t KindAt(const KyPath *p, int32_t i) { return path::Points(p)[i].type & kKindMask; }

void SetPoint(KyPath *p, int32_t i, uint16_t type, FIXED x, FIXED y, POINT w) {
    PathPoint &pt = path::Points(p)[i];
    pt.type = type;
    pt.x = x;
    pt.y = y;
    g.pts[i] = w;
}

void MovePoint(KyPath *p, int32_t i, FIXED x, FIXED y, POINT w) {
    PathPoint &pt = path::Points(p)[i];
    pt.x = x;
    pt.y = y;
    g.pts[i] = w;
}

void CopyPoint(KyPath *p, int32_t to, int32_t from) {
    const PathPoint src = path::Points(p)[from];
    MovePoint(p, to, src.x, src.y, g.pts[from]);
}

// Makes room for n more points in the record and both buffers; the record
// counts them, the caller writes them. Nothing is added when any of them
// cannot grow (buffers that did grow keep their room). The table's
// pointers and the neighbours follow the record when its block moves.
bool AddPoints(PathTable *t, int32_t n) {
    KyPath *rec = g.record;
    const int64_t want = int64_t{rec->count} + n;
    if (want > INT32_MAX) return false;
    if (!GrowBuffer(&g.pts, &g.capacity, static_cast<int32_t>(want))) return false;
    if (!GrowBuffer(&g.squares, &g.squares_capacity, static_cast<int32_t>(want))) return false;
    const uintptr_t old = reinterpret_cast<uintptr_t>(rec);
    PathPoint *slot = nullptr;
    if (!PathReserve(&rec, &slot, n)) return false;
    if (reinterpret_cast<uintptr_t>(rec) != old) {
        edit::RelinkMovedRecord(rec);
        PathGroup *grp = Group(t);
        if (reinterpret_cast<uintptr_t>(grp->first) == old) grp->first = rec;
        if (reinterpret_cast<uintptr_t>(grp->firstSelected) == old) grp->firstSelected = rec;
        g.record = rec;
    }
    g.count = rec->count;
    return true;
}

void DropLastSegment(KyPath *rec) {
    KyPathDeleteLinkLastSegment(rec);
    g.count = rec->count;
}

// A complete curve ending the record goes back to the pending state: its
// second control point and end move back onto its start, its handle stays.
void ReturnToPending(KyPath *rec) {
    const int32_t n = rec->count;
    CopyPoint(rec, n - 2, n - 4);
    CopyPoint(rec, n - 1, n - 4);
    PathPoint *pts = path::Points(rec);
    pts[n - 1].type = static_cast<uint16_t>(pts[n - 1].type & ~PT_DRAGGED);
    g.pending = true;
}

// Whether the first control point of the curve ending the record has been
// pulled away from the curve's start.
bool HandlePulled(const KyPath *rec) {
    const PathPoint *pts = path::Points(rec);
    const int32_t n = rec->count;
    return pts[n - 3].x != pts[n - 4].x || pts[n - 3].y != pts[n - 4].y;
}

// The last segment is a pending curve the tool itself began. The flag is
// only believed while the record still ends in a curve.
bool Pending(const KyPath *rec) {
    return g.pending && rec->count >= 4 && KindAt(rec, rec->count - 1) == PT_BEZIERTO;
}

// ---- The window ----

// The node the band starts from: the start of a pending curve, else the
// last point.
int32_t AnchorIndex(const KyPath *rec) { return Pending(rec) ? rec->count - 4 : rec->count - 1; }

struct Wanted {
    Element e[kMaxWanted];
    int n;
};

Wanted WantedPieces(const KyPath *rec) {
    Wanted w{};
    auto band = [&](POINT a, POINT b) {
        w.e[w.n++] = Element{Piece::kLine, {a, b, {}, {}}};
        w.e[w.n++] = Element{Piece::kSmallSquare, {b, {}, {}, {}}};
    };
    auto curve = [&](POINT a, POINT b, POINT c, POINT d) { w.e[w.n++] = Element{Piece::kCurve, {a, b, c, d}}; };
    const int32_t n = rec->count;
    const POINT anchor = g.pts[AnchorIndex(rec)];
    const bool pending = Pending(rec);
    // A press on the only point of the subpath makes no new node; every
    // other press shows the square of the node it is about to place.
    const bool on_only_point = n == 1 && Same(g.press, g.pts[0]);
    if (!g.button || Same(g.last, g.press)) {
        if (pending) curve(anchor, g.pts[n - 3], g.band_end, g.band_end);
        else band(anchor, g.band_end);
    } else {
        const POINT mirror = Mirror(g.press, g.last);
        band(g.press, g.last);
        band(g.press, mirror);
        if (pending) curve(anchor, g.pts[n - 3], mirror, g.press);
        else if (!on_only_point) curve(anchor, anchor, mirror, g.press);
    }
    if (g.button && !on_only_point) w.e[w.n++] = Element{Piece::kSquare, {g.press, {}, {}, {}}};
    return w;
}

// Draws one piece in exclusive-or, which erases it when it is on the
// window. False when nothing was drawn: the node drawers make a pen for
// every square and may find no memory for it, and coordinates out of the
// device context's range draw nothing either way.
bool Xor(HDC hdc, const Element &e) {
    switch (e.piece) {
        case Piece::kLine:
            MoveToEx(hdc, e.p[0].x, e.p[0].y, nullptr);
            return LineTo(hdc, e.p[1].x, e.p[1].y) != 0;
        case Piece::kCurve:
            MoveToEx(hdc, e.p[0].x, e.p[0].y, nullptr);
            return PolyBezierTo(hdc, e.p + 1, 3) != 0;
        case Piece::kSmallSquare: return KyPathDrawSmallNode(hdc, e.p[0].x, e.p[0].y) != 0;
        case Piece::kSquare: return KyPathDrawInactiveNode(hdc, e.p[0].x, e.p[0].y) != 0;
    }
    return false;
}

// Node square j goes from what it shows to `want` (kNoSquare: nothing).
// A square that could not be erased stays recorded, to be erased later.
void UpdateSquare(HDC hdc, int32_t j, POINT want) {
    const POINT had = g.squares[j];
    if (Same(had, want)) return;
    if (!Same(had, kNoSquare) && !Xor(hdc, Element{Piece::kSquare, {had, {}, {}, {}}})) return;
    const bool drawn = !Same(want, kNoSquare) && Xor(hdc, Element{Piece::kSquare, {want, {}, {}, {}}});
    g.squares[j] = drawn ? want : kNoSquare;
}

// Brings the window to the wanted pieces and one square per node of the
// record (the end of a pending curve is no node yet), or, with rec null,
// takes everything the tool drew away. Only what differs is drawn, and
// what is recorded as shown is what really is on the window, also when a
// drawing call failed. Without a device context nothing is drawn.
void Show(HDC hdc, const KyPath *rec, const Wanted &want) {
    if (!hdc) return;
    HPEN pen = CreatePen(PS_SOLID, 0, kBandColour);
    if (!pen) return;
    HGDIOBJ old_pen = SelectObject(hdc, pen);
    if (!old_pen) {
        DeleteObject(pen);
        return;
    }
    const int32_t old_rop = SetROP2(hdc, R2_XORPEN);

    int32_t nodes = 0;
    auto square = [&](POINT at) {
        if (nodes >= g.squares_shown) g.squares[nodes] = kNoSquare;
        UpdateSquare(hdc, nodes++, at);
    };
    if (rec) {
        const int32_t n = rec->count;
        const int32_t end = Pending(rec) ? n - 1 : n;  // nodes lie below this index
        square(g.pts[0]);
        for (int32_t i = 1; i < end;) {
            if (KindAt(rec, i) == PT_BEZIERTO) {
                if (i + 2 >= end) break;
                square(g.pts[i + 2]);
                i += 3;
            } else {
                square(g.pts[i]);
                i += 1;
            }
        }
    }
    int32_t kept = nodes;
    for (int32_t j = nodes; j < g.squares_shown; ++j) {
        UpdateSquare(hdc, j, kNoSquare);
        if (!Same(g.squares[j], kNoSquare)) kept = j + 1;
    }
    g.squares_shown = kept;

    // Pieces both shown and wanted stay; the others are erased and drawn.
    Elements next{};
    bool placed[kMaxWanted] = {};
    for (int i = 0; i < g.shown.n; ++i) {
        const Element &had = g.shown.e[i];
        int k = 0;
        while (k < want.n && (placed[k] || !SameElement(want.e[k], had))) ++k;
        if (k < want.n) placed[k] = true;
        if (k < want.n || !Xor(hdc, had)) next.e[next.n++] = had;
    }
    for (int k = 0; k < want.n; ++k)
        if (!placed[k] && next.n < kMaxShown && Xor(hdc, want.e[k])) next.e[next.n++] = want.e[k];
    g.shown = next;

    SelectObject(hdc, old_pen);
    DeleteObject(pen);
    if (old_rop) SetROP2(hdc, old_rop);
}

void Refresh(HDC hdc, const KyPath *rec) { Show(hdc, rec, WantedPieces(rec)); }

// Ends the drawing: the tool's squares and bands leave the window, the
// record's node squares take their place (when the record is still the
// one drawn), and the buffers are freed.
void End(HDC hdc, const CoordStruct *v, KyPath *rec) {
    Show(hdc, nullptr, Wanted{});
    if (hdc && rec && v) KyPathDrawNodes(hdc, rec, const_cast<CoordStruct *>(v));
    ReleaseBuffers();
}

// ---- Building the subpath ----

// A click at w: the pending curve is placed there (a corner), or a line
// goes there. A click on the start of a one-point subpath adds nothing.
bool Click(PathTable *t, const CoordStruct *v, POINT w) {
    KyPath *rec = g.record;
    const FIXED x = ImageX(v, w.x), y = ImageY(v, w.y);
    if (rec->count == 1 && Same(w, g.pts[0])) return true;
    if (Pending(rec)) {
        const int32_t n = rec->count;
        MovePoint(rec, n - 2, x, y, w);
        MovePoint(rec, n - 1, x, y, w);
        g.pending = false;
        return true;
    }
    if (!AddPoints(t, 1)) return false;
    SetPoint(g.record, g.count - 1, PT_LINETO, x, y, w);
    return true;
}

// A drag from `press` released at `release`: the node at the press point
// is smooth, its incoming segment becomes a curve whose second control
// point mirrors the release point, and an outgoing curve is begun with the
// release point as its first control point.
bool Drag(PathTable *t, const CoordStruct *v, POINT press, POINT release) {
    KyPath *rec = g.record;
    const int32_t n = rec->count;
    const uint16_t last_kind = KindAt(rec, n - 1);
    const bool pending = Pending(rec);
    const bool incoming = !pending && (last_kind != PT_MOVETO || !Same(g.pts[n - 1], press));
    const POINT mirror = Mirror(press, release);
    const FIXED px = ImageX(v, press.x), py = ImageY(v, press.y);
    if (!AddPoints(t, incoming ? 6 : 3)) return false;
    rec = g.record;
    int32_t i = n;
    if (incoming) {
        CopyPoint(rec, i, n - 1);  // first control point on the previous node
        path::Points(rec)[i].type = PT_BEZIERTO;
        SetPoint(rec, i + 1, PT_BEZIERTO, ImageX(v, mirror.x), ImageY(v, mirror.y), mirror);
        SetPoint(rec, i + 2, PT_BEZIERTO | PT_DRAGGED, px, py, press);
        i += 3;
    } else if (pending) {
        SetPoint(rec, n - 2, PT_BEZIERTO, ImageX(v, mirror.x), ImageY(v, mirror.y), mirror);
        SetPoint(rec, n - 1, PT_BEZIERTO | PT_DRAGGED, px, py, press);
    }
    SetPoint(rec, i, PT_BEZIERTO, ImageX(v, release.x), ImageY(v, release.y), release);
    SetPoint(rec, i + 1, PT_BEZIERTO, px, py, press);
    SetPoint(rec, i + 2, PT_BEZIERTO, px, py, press);
    g.pending = true;
    return true;
}

// Backspace: the last segment is taken back. A curve whose handle was
// pulled out of a smooth node goes back to the pending state instead, so
// that the handle survives.
void TakeBack(KyPath *rec) {
    if (rec->count <= 1) return;
    if (Pending(rec)) {
        DropLastSegment(rec);
        g.pending = false;
        if (rec->count < 4 || KindAt(rec, rec->count - 1) != PT_BEZIERTO) return;
        // The curve into the smooth node the pending curve left from.
        const uint16_t start_kind = KindAt(rec, rec->count - 4);
        if ((start_kind == PT_BEZIERTO || start_kind == PT_MOVETO) && HandlePulled(rec)) ReturnToPending(rec);
        else DropLastSegment(rec);
        return;
    }
    const uint16_t kind = KindAt(rec, rec->count - 1);
    if (kind == PT_BEZIERTO && rec->count >= 4 && KindAt(rec, rec->count - 4) == PT_BEZIERTO && HandlePulled(rec))
        ReturnToPending(rec);
    else
        DropLastSegment(rec);
}

// Whether a subpath of n points whose point 1 has this kind can be closed.
bool CanClose(int32_t n, uint16_t kind1) { return n >= 4 && !(n == 4 && kind1 == PT_BEZIERTO); }

double DistanceSquared(const PathPoint &a, const PathPoint &b) {
    const double dx = fx::ToDouble(a.x) - fx::ToDouble(b.x);
    const double dy = fx::ToDouble(a.y) - fx::ToDouble(b.y);
    return dx * dx + dy * dy;
}

// Finishes the subpath open or closed; false (and nothing changes) when it
// has too few points for that.
bool Finish(HDC hdc, const CoordStruct *v, KyPath *rec, int32_t kind, bool closed) {
    if (closed) {
        if (!CanClose(rec->count, rec->count > 1 ? KindAt(rec, 1) : 0)) return false;
    } else {
        // A curve that was begun but never placed is a preview, not a
        // segment of the figure.
        const bool pending = Pending(rec);
        if ((pending ? rec->count - 3 : rec->count) < 2) return false;
        if (pending) DropLastSegment(rec);
        g.pending = false;
    }
    PathPoint *pts = path::Points(rec);
    const int32_t n = rec->count;
    if (kind == 4) {
        if ((pts[1].type & kKindMask) == PT_BEZIERTO && DistanceSquared(pts[1], pts[0]) < pen::kSnapSquared) {
            pts[1].x = pts[0].x;
            pts[1].y = pts[0].y;
        }
        if (n >= 4 && (pts[n - 1].type & kKindMask) == PT_BEZIERTO &&
            DistanceSquared(pts[n - 2], pts[n - 1]) < pen::kSnapSquared) {
            pts[n - 2].x = pts[n - 1].x;
            pts[n - 2].y = pts[n - 1].y;
        }
    }
    if (closed) {
        pts[n - 1].type = static_cast<uint16_t>(pts[n - 1].type | PT_CLOSEFIGURE);
        pts[n - 1].x = pts[0].x;
        pts[n - 1].y = pts[0].y;
        if ((pts[n - 1].type & kKindMask) == PT_BEZIERTO && (pts[1].type & kKindMask) == PT_BEZIERTO) {
            // The join at the start is smooth: the closing handle mirrors
            // the first one.
            pts[n - 2].x = ClampFixed(2 * int64_t{pts[0].x} - pts[1].x);
            pts[n - 2].y = ClampFixed(2 * int64_t{pts[0].y} - pts[1].y);
        }
        DebugPrint("** KyPathMouseProcDraw(): subpath closed!\n");
    }
    ReleaseCapture();
    End(hdc, v, rec);
    return true;
}

// ---- Messages ----

constexpr uint32_t kKeyDown = WM_KEYDOWN;
constexpr uint32_t kMouseMove = WM_MOUSEMOVE;
constexpr uint32_t kButtonDown = WM_LBUTTONDOWN;
constexpr uint32_t kButtonUp = WM_LBUTTONUP;
constexpr uint32_t kDoubleClick = WM_LBUTTONDBLCLK;

// Shift keeps the pointer on the vertical, horizontal or diagonal through
// the last point (the press point while a handle is dragged), except near
// the start of a subpath that could be closed there.
POINT Constrain(POINT m, bool dragging) {
    if (!Active() || g.count < 1 || GetKeyState(VK_SHIFT) >= 0) return m;
    const POINT first = g.pts[0];
    if (g.count >= 3 && int64_t{m.x} >= int64_t{first.x} - pen::kShiftFree &&
        int64_t{m.x} < int64_t{first.x} + pen::kShiftFree && int64_t{m.y} >= int64_t{first.y} - pen::kShiftFree &&
        int64_t{m.y} < int64_t{first.y} + pen::kShiftFree)
        return m;
    const POINT ref = dragging ? g.press : g.pts[g.count - 1];
    const int64_t dx = int64_t{ref.x} - m.x, dy = int64_t{ref.y} - m.y;
    const int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    if (ay >= 2 * ax) {
        m.x = ref.x;
    } else if (ax >= 2 * ay) {
        m.y = ref.y;
    } else {
        // Half the difference moves over to the other axis: the longer
        // offset shrinks, the shorter grows, and the pointer lands on (or
        // within half a pixel of) the diagonal.
        const int64_t h = (ax - ay) / 2;
        m.x = view::Clamp32(m.x + (dx < 0 ? -h : h));
        m.y = view::Clamp32(m.y - (dy < 0 ? -h : h));
    }
    return m;
}

// First press: a new subpath with one point at the mouse.
int32_t Start(HDC hdc, PathTable *t, const CoordStruct *v, POINT m, int32_t kind) {
    PathGroup *grp = Group(t);
    if (!grp || !t->state || !UsableView(v)) {
        MessageBeep(0);
        return 0;
    }
    KyPath *rec = KyPathCreate();
    if (!rec) return 0;
    const FIXED xy[2] = {ImageX(v, m.x), ImageY(v, m.y)};
    POINT *pts = nullptr, *squares = nullptr;
    if (KyPathAddPoint(&rec, xy, PT_MOVETO)) {
        pts = static_cast<POINT *>(mem::PathAlloc(pen::kBufferStep * sizeof(POINT)));
        squares = pts ? static_cast<POINT *>(mem::PathAlloc(pen::kBufferStep * sizeof(POINT))) : nullptr;
    }
    if (!squares) {
        if (pts) mem::PathFree(pts);
        KyPathDeletePtr(rec, 0);
        return 0;
    }
    // Nothing can fail from here on.
    if (grp->first) KyPathDeSelectAll(hdc, grp->first, const_cast<CoordStruct *>(v), 1);
    grp->firstSelected = nullptr;
    rec->flags |= KPF_SELECTED;
    if (grp->first) {
        KyPath *tail = PathLast(grp->first);
        tail->next = rec;
        rec->prev = tail;
    } else if (t->groups == 1) {
        // The table's only group is empty: the subpath starts it, named as
        // the host's first group is named, and the overlay shows it.
        PathTable *holder = t;
        Y32Rect touched;
        KyPathAddPathGroup(&holder, rec, "xxx", const_cast<CoordStruct *>(v), &touched);
    } else {
        // An emptied group of a table with several groups. Adding a group
        // here could move the table block, and the host's pointer with it.
        KyPathAssignActivePath(t, rec);
    }
    KyPathAssignSelectedPath(t, rec);

    g = Drawing{};
    g.pts = pts;
    g.capacity = pen::kBufferStep;
    g.squares = squares;
    g.squares_capacity = pen::kBufferStep;
    g.record = rec;
    g.count = 1;
    g.pts[0] = m;
    g.start = g.press = g.last = g.band_end = m;
    // A two-point line has no handles: its first press is only its start.
    g.button = kind < kLineKind;
    mem::AtDetach(ForgetOnDetach);
    Refresh(hdc, rec);
    return 0;
}

int32_t ButtonDown(HDC hdc, PathTable *t, const CoordStruct *v, KyPath *rec, POINT m, int32_t kind) {
    if (kind >= kLineKind) {
        const PathPoint p0 = path::Points(rec)[0];
        const FIXED x = ImageX(v, m.x), y = ImageY(v, m.y);
        if (std::fabs(fx::ToDouble(x) - fx::ToDouble(p0.x)) <= pen::kLineMinImage &&
            std::fabs(fx::ToDouble(y) - fx::ToDouble(p0.y)) <= pen::kLineMinImage)
            return 0;
        if (!AddPoints(t, 1)) return 0;
        SetPoint(g.record, g.count - 1, PT_LINETO, x, y, m);
        return Finish(hdc, v, g.record, kind, false) ? 1 : 0;
    }
    g.button = true;
    g.press = g.last = g.band_end = m;
    Refresh(hdc, rec);
    return 0;
}

int32_t MouseMove(HDC hdc, KyPath *rec, POINT m) {
    if (!g.button) {
        g.last = g.band_end = m;
    } else if (std::llabs(int64_t{m.x} - g.press.x) <= pen::kClickSlop &&
               std::llabs(int64_t{m.y} - g.press.y) <= pen::kClickSlop) {
        g.last = g.press;
    } else {
        g.last = m;
    }
    Refresh(hdc, rec);
    return 0;
}

int32_t ButtonUp(HDC hdc, PathTable *t, const CoordStruct *v) {
    if (!g.button) return 0;
    // The release point is the last position the moves reported; the
    // button-up message's own position does not count.
    if (Same(g.last, g.press)) Click(t, v, g.press);
    else Drag(t, v, g.press, g.last);
    g.button = false;
    g.band_end = g.last;
    Refresh(hdc, g.record);
    return 0;
}

int32_t DoubleClick(HDC hdc, PathTable *t, const CoordStruct *v, KyPath *rec, int32_t kind) {
    bool closed = false;
    if (kind == 0 || kind == 2 || kind == 3 || kind == 5) {
        const bool near_start = std::llabs(int64_t{g.press.x} - g.start.x) < pen::kCloseReach &&
                                std::llabs(int64_t{g.press.y} - g.start.y) < pen::kCloseReach;
        if (near_start) {
            closed = true;
        } else if (kind == 0 || kind == 3) {
            // The closing point goes where the double-click is, then moves
            // onto the start. A subpath that still could not close gets no
            // extra point.
            const int32_t n = rec->count;
            const bool adds = !Pending(rec) && !(n == 1 && Same(g.last, g.pts[0]));
            if (!CanClose(n + (adds ? 1 : 0), n > 1 ? KindAt(rec, 1) : PT_LINETO)) return 0;
            if (!Click(t, v, g.last)) return 0;
            rec = g.record;
            closed = true;
        }
    }
    if (Finish(hdc, v, rec, kind, closed)) return 1;
    Refresh(hdc, g.record);
    return 0;
}

int32_t KeyDown(HDC hdc, const CoordStruct *v, KyPath *rec, uint32_t key) {
    if (key == VK_ESCAPE) {
        // The subpath stays as built, without the curve that was begun
        // but never placed.
        if (Pending(rec)) DropLastSegment(rec);
        End(hdc, v, rec);
        return 0;
    }
    if (g.button) return 0;  // not while a handle is being dragged
    TakeBack(rec);
    Refresh(hdc, rec);
    return 0;
}

int32_t Procedure(HDC hdc, PathTable *t, CoordStruct *v, uint32_t message, uint32_t key, int32_t x, int32_t y,
                  int32_t kind) {
    if (message != kKeyDown && message != kMouseMove && message != kButtonDown && message != kButtonUp &&
        message != kDoubleClick)
        return 0;
    if (message == kKeyDown && key != VK_ESCAPE && key != VK_BACK) return 0;
    KyPathInit();
    // Unknown kinds draw two-point lines.
    if (kind < 0 || kind > kLineKind) kind = kLineKind;

    KyPath *rec = SelectedPath(t);
    if (Active()) {
        const bool ours = rec && rec == g.record && rec->count == g.count && rec->count <= g.capacity;
        // Without the capture the host has given the drawing up; with
        // another selected path the record is no longer ours to build.
        if (!ours || !GetCapture()) End(hdc, v, ours ? rec : nullptr);
    }
    if (!Active()) return message == kButtonDown ? Start(hdc, t, v, POINT{x, y}, kind) : 0;
    if (!UsableView(v)) return 0;

    POINT m{x, y};
    if (message != kKeyDown) m = Constrain(m, g.button && message == kMouseMove);
    switch (message) {
        case kButtonDown: return ButtonDown(hdc, t, v, rec, m, kind);
        case kMouseMove: return MouseMove(hdc, rec, m);
        case kButtonUp: return ButtonUp(hdc, t, v);
        case kDoubleClick: return DoubleClick(hdc, t, v, rec, kind);
        default: return KeyDown(hdc, v, rec, key);
    }
}

}  // namespace

namespace pen {

Snapshot State() {
    return Snapshot{Active(), g.button, g.pending, g.capacity, g.count, g.pts,
                    g.record, g.start, g.press, g.last, g.band_end};
}

void ResetForTesting() { ReleaseBuffers(); }

}  // namespace pen

Y32_BEGIN_C

int32_t KyPathMouseProcDraw(HDC hdc, PathTable *table, CoordStruct *view, uint32_t message, uint32_t key, int32_t x,
                            int32_t y, int32_t reserved1, int32_t reserved2, int32_t kind) {
    (void)reserved1;
    (void)reserved2;
    return Procedure(hdc, table, view, message, key, x, y, kind);
}

Y32_END_C
