// tools/kypath-edit/editor.cpp - the host: events in, library calls out.
#include "tools/kypath-edit/editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kedit {

namespace {

// The window the mouse is captured for while the pen draws. The library
// only compares capture holders, so any stable address serves.
char g_window_token;
HWND Window() { return reinterpret_cast<HWND>(&g_window_token); }

// Modifiers of the event being handled, for the tools' GetKeyState.
uint32_t g_mods = 0;

int16_t KeyState(int32_t vk, void *) {
    uint32_t bit = 0;
    if (vk == VK_SHIFT) bit = kShift;
    else if (vk == VK_CONTROL) bit = kCtrl;
    else if (vk == VK_MENU) bit = kAlt;
    return (g_mods & bit) ? static_cast<int16_t>(-32768) : 0;
}

// Host command numbers recorded before each kind of action.
constexpr int32_t kCodeClick = KYPATH_UR_SELECT1;    // selection by a click
constexpr int32_t kCodeMarquee = KYPATH_UR_SELECT2;  // selection by a marquee
constexpr int32_t kCodeTool = KYPATH_UR_SELECT3;     // a drawing tool takes the selection
constexpr int32_t kMaxRecords = 200;

constexpr uint8_t kCanvas = 0xF2;
constexpr int32_t kScrollStep = 32;
constexpr int32_t kDragThreshold = 3;  // window pixels before a press becomes a move
constexpr double kMinZoom = 0.25, kMaxZoom = 8.0;

const char *ToolName(Tool t) {
    switch (t) {
        case Tool::kPen: return "pen";
        case Tool::kSmooth: return "smooth curve";
        case Tool::kFreehand: return "freehand";
        default: return "select";
    }
}

}  // namespace

const char *KeyHelp() {
    return "Tools\n"
           "  p          pen: click for a corner, drag for a smooth node, double-click to finish\n"
           "  0-6        pen kind (0 closes, 1 open, 2 closes near the start, 6 two-point line)\n"
           "  s          smooth curve: click knots, double-click to finish (closed)\n"
           "  f          freehand: drag a stroke (closed when released)\n"
           "  v          select: click a path or node, drag to move, drag on empty space for a marquee\n"
           "             shift adds to the selection; ctrl+click picks a segment of the selected path\n"
           "  tab        next tool\n"
           "While drawing\n"
           "  backspace  take the last segment back     escape  stop drawing\n"
           "Edits\n"
           "  delete     delete the selected nodes or paths (also backspace)\n"
           "  j / J      join the selected paths into one compound path / take them apart\n"
           "  c          convert the picked segment between line and curve\n"
           "  ctrl+a     select all                     escape  select nothing\n"
           "  ctrl+z     undo    ctrl+y (ctrl+shift+z) redo\n"
           "View\n"
           "  + / -      zoom in / out                  arrows  scroll    home  reset the view\n"
           "Render\n"
           "  r          fill the selection with the bevel and shading onto the image\n"
           "  [ / ]      narrower / wider bevel         m       phong or metallic shading\n"
           "  ?          this help\n";
}

Editor::~Editor() {
    // A drawing in progress is ended, so the tools let go of the table.
    Event esc;
    esc.kind = Event::kKey;
    esc.key = "escape";
    if (table_ && Drawing()) Key(esc);
    ClearJournal();
    y32SetKeyStateHook(nullptr, nullptr);
    if (GetCapture() == Window()) ReleaseCapture();
    if (dc_) y32DeleteMemoryDC(dc_);
    if (view_) KyPathDeleteCoordStruct(view_);
    if (table_) KyPathTblDelete(table_);
}

bool Editor::Open(std::vector<uint8_t> bgr, int32_t width, int32_t height, int32_t client_w, int32_t client_h,
                  std::string *error) {
    if (width < 1 || height < 1 || width > 16384 || height > 16384 || client_w < 16 || client_h < 16 ||
        client_w > 8192 || client_h > 8192) {
        *error = "image and window sizes must lie between 16 and 8192 pixels";
        return false;
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    if (bgr.empty()) bgr.assign(pixels * 3, kCanvas);
    if (bgr.size() != pixels * 3) {
        *error = "the image has the wrong number of bytes";
        return false;
    }
    image_ = std::move(bgr);
    iw_ = width;
    ih_ = height;
    cw_ = client_w;
    ch_ = client_h;
    frame_.assign(static_cast<size_t>(cw_) * ch_ * 3, 0);
    xor_stride_ = (cw_ * 3 + 3) & ~3;
    xor_.assign(static_cast<size_t>(xor_stride_) * ch_, 0);

    KyPathInit();
    dc_ = y32CreateMemoryDCOn(xor_.data(), cw_, ch_, 24, xor_stride_);
    if (!dc_ || !KyPathNew(&table_)) {
        *error = "out of memory";
        return false;
    }
    // The library's drawing on this context is all exclusive-or; squares
    // drawn without a raster operation of their own follow it too.
    SetROP2(dc_, R2_XORPEN);
    y32SetKeyStateHook(KeyState, nullptr);
    SetView(1.0, 0, 0);
    if (!view_ || !view_->lpDB) {
        *error = "out of memory";
        return false;
    }
    return true;
}

KyPath *Editor::First() const {
    KyPath *first = nullptr;
    KyPathFind(table_, nullptr, &first, nullptr, nullptr);
    return first;
}

KyPath *Editor::Selected() const {
    KyPath *sel = nullptr;
    KyPathFind(table_, nullptr, nullptr, &sel, nullptr);
    return sel;
}

bool Editor::Drawing() const { return GetCapture() == Window() || curve_active_ || drag_ != Drag::kNone; }

// ---- Window bitmap ---------------------------------------------------

void Editor::Refresh() {
    // The overlay is drawn from scratch: the table list may have changed
    // anywhere.
    Y32Rect r;
    KyPathHide(view_, nullptr, &r);
    if (KyPath *first = First()) KyPathDraw(view_, first, &r);
    // The window is repainted, so the context starts again from the node
    // squares of the selection (and the marquee being dragged).
    std::fill(xor_.begin(), xor_.end(), 0);
    KyPathTblRepaintNodes(dc_, table_, view_);
    if (drag_ == Drag::kMarquee) XorMarquee();
    dirty_ = true;
}

void Editor::XorMarquee() {
    HPEN pen = CreatePen(PS_DOT, 0, RGB(0xFF, 0xFF, 0xFF));
    if (!pen) return;
    HGDIOBJ old_pen = SelectObject(dc_, pen);
    HGDIOBJ old_brush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
    const int32_t l = std::min(marquee_[0], marquee_[2]), r = std::max(marquee_[0], marquee_[2]);
    const int32_t t = std::min(marquee_[1], marquee_[3]), b = std::max(marquee_[1], marquee_[3]);
    MoveToEx(dc_, l, t, nullptr);
    LineTo(dc_, r, t);
    LineTo(dc_, r, b);
    LineTo(dc_, l, b);
    LineTo(dc_, l, t);
    if (old_brush) SelectObject(dc_, old_brush);
    if (old_pen) SelectObject(dc_, old_pen);
    DeleteObject(pen);
    dirty_ = true;
}

const std::vector<uint8_t> &Editor::Compose() {
    uint8_t *out = frame_.data();
    for (int32_t wy = 0; wy < ch_; ++wy) {
        const int64_t iy = static_cast<int64_t>(std::floor((wy + sy_) / zoom_));
        for (int32_t wx = 0; wx < cw_; ++wx, out += 3) {
            const int64_t ix = static_cast<int64_t>(std::floor((wx + sx_) / zoom_));
            if (ix >= 0 && iy >= 0 && ix < iw_ && iy < ih_) {
                std::memcpy(out, &image_[(static_cast<size_t>(iy) * iw_ + ix) * 3], 3);
            } else {
                const uint8_t v = ((wx >> 3) ^ (wy >> 3)) & 1 ? 0x58 : 0x68;
                out[0] = out[1] = out[2] = v;
            }
        }
    }
    KyPathPaintMem(0, 0, cw_, ch_, table_, frame_.data());
    for (int32_t y = 0; y < ch_; ++y) {
        const uint8_t *x = &xor_[static_cast<size_t>(y) * xor_stride_];
        uint8_t *f = &frame_[static_cast<size_t>(y) * cw_ * 3];
        for (int32_t i = 0; i < cw_ * 3; ++i) f[i] ^= x[i];
    }
    return frame_;
}

std::string Editor::Status() const {
    char buf[256];
    std::string tool = ToolName(tool_);
    if (tool_ == Tool::kPen) tool += " " + std::to_string(pen_kind_);
    std::snprintf(buf, sizeof buf, "%s | zoom %g | bevel %g %s | undo %d of %d%s%s", tool.c_str(), zoom_,
                  render_.bevel, render_.shader ? "metallic" : "phong", done_, records_,
                  message_.empty() ? "" : " | ", message_.c_str());
    return buf;
}

// ---- View ------------------------------------------------------------

void Editor::SetView(double zoom, int32_t sx, int32_t sy) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    // The image may be scrolled half a window beyond each edge.
    const int32_t max_x = std::max<int32_t>(0, static_cast<int32_t>(iw_ * zoom_) - cw_ / 2);
    const int32_t max_y = std::max<int32_t>(0, static_cast<int32_t>(ih_ * zoom_) - ch_ / 2);
    sx_ = std::clamp(sx, -cw_ / 2, max_x);
    sy_ = std::clamp(sy, -ch_ / 2, max_y);
    // The overlay is rebuilt only when it no longer fits the view.
    if (!KyPathTblIsValid(0, 0, cw_, ch_, sx_, sy_, zoom_, view_tag_, table_) &&
        !KyPathNewCoordStruct(0, 0, cw_, ch_, sx_, sy_, zoom_, view_tag_, table_, &view_))
        message_ = "no memory for the view";
    Refresh();
}

void Editor::ZoomBy(double factor) {
    // The point in the middle of the window stays where it is.
    const double cx = (sx_ + cw_ / 2.0) / zoom_, cy = (sy_ + ch_ / 2.0) / zoom_;
    const double z = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
    SetView(z, static_cast<int32_t>(std::lround(cx * z - cw_ / 2.0)), static_cast<int32_t>(std::lround(cy * z - ch_ / 2.0)));
}

// ---- Undo journal ------------------------------------------------------

bool Editor::Record(int32_t code) {
    // A new action drops the actions that were undone.
    while (records_ > done_) {
        KyPathURFree(kOwner, 0, 0);
        --records_;
    }
    if (!KyPathBackupAction(kOwner, code, table_)) return false;
    ++records_;
    ++done_;
    if (records_ > kMaxRecords) {
        KyPathURFree(kOwner, 0, 1);
        --records_;
        --done_;
    }
    return true;
}

void Editor::DropNewestRecord() {
    if (records_ == 0) return;
    KyPathURFree(kOwner, 0, 0);
    --records_;
    done_ = std::min(done_, records_);
}

void Editor::ClearJournal() {
    // The journal holds positions and list indexes; after an edit it cannot
    // take back they would name other paths, so the history goes.
    while (records_ > 0) {
        KyPathURFree(kOwner, 0, 0);
        --records_;
    }
    done_ = 0;
}

void Editor::Undo() {
    Y32Rect changed;
    if (done_ > 0 && KyPathUndo(kOwner, table_, view_, &changed, dc_)) {
        --done_;
        message_ = "undone";
    } else {
        message_ = "nothing to undo";
    }
    Refresh();
}

void Editor::Redo() {
    Y32Rect changed;
    if (done_ < records_ && KyPathRedo(kOwner, table_, view_, &changed, dc_)) {
        ++done_;
        message_ = "redone";
    } else {
        message_ = "nothing to redo";
    }
    Refresh();
}

// ---- Events ------------------------------------------------------------

void Editor::Handle(const Event &e) {
    g_mods = mods_ = e.mods;
    dirty_ = true;
    if (e.kind == Event::kKey) {
        Key(e);
        return;
    }
    uint32_t message = WM_MOUSEMOVE;
    if (e.kind == Event::kPress) message = WM_LBUTTONDOWN;
    else if (e.kind == Event::kRelease) message = WM_LBUTTONUP;
    else if (e.kind == Event::kDoubleClick) message = WM_LBUTTONDBLCLK;
    switch (tool_) {
        case Tool::kPen: PenEvent(e, message); break;
        case Tool::kSmooth:
        case Tool::kFreehand: CurveEvent(e, message); break;
        case Tool::kSelect:
            // The second press of a double click is a press like the first.
            if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) SelectPress(e);
            else if (message == WM_MOUSEMOVE) SelectMove(e);
            else SelectRelease(e);
            break;
    }
    last_x_ = e.x;
    last_y_ = e.y;
}

void Editor::PenEvent(const Event &e, uint32_t message) {
    const bool active = GetCapture() == Window();
    if (!active && message != WM_LBUTTONDOWN) return;
    if (!active) {
        const bool recorded = Record(kCodeTool);
        y32ResetBeepCount();
        KyPathMouseProcDraw(dc_, table_, view_, message, 0, e.x, e.y, 0, 0, pen_kind_);
        if (y32BeepCount() == 0) {
            // The host holds the mouse for the pen while the drawing runs.
            SetCapture(Window());
        } else {
            if (recorded) DropNewestRecord();
            message_ = "the pen cannot start here";
        }
        Y32Rect r;
        KyPathHide(view_, nullptr, &r);
        if (KyPath *first = First()) KyPathDraw(view_, first, &r);
        return;
    }
    if (KyPathMouseProcDraw(dc_, table_, view_, message, 0, e.x, e.y, 0, 0, pen_kind_)) {
        Refresh();  // finished: the capture is gone, the window shows the path
        return;
    }
    if (message != WM_MOUSEMOVE) {
        // Placed segments show in the overlay while the drawing goes on;
        // the squares and bands on the context are the pen's own.
        Y32Rect r;
        KyPathHide(view_, nullptr, &r);
        if (KyPath *first = First()) KyPathDraw(view_, first, &r);
    }
}

void Editor::DropSelection() {
    if (KyPath *first = First()) KyPathDeSelectAll(dc_, first, view_, 1);
    KyPathAssignSelectedPath(table_, nullptr);
}

void Editor::CurveEvent(const Event &e, uint32_t message) {
    const bool smooth = tool_ == Tool::kSmooth;
    if (!curve_active_) {
        if (message != WM_LBUTTONDOWN) return;
        // The tool takes the selection away (and its squares) on its first
        // press; the journal keeps it so that undo brings it back.
        if (Selected()) Record(kCodeTool);
        curve_active_ = true;
    }
    const int32_t done = smooth ? KyPathDrawSmoothBezier(dc_, table_, view_, message, 0, e.x, e.y, 0, 0, 0)
                                : KyPathDrawFreehandBezier(dc_, table_, view_, message, 0, e.x, e.y, 0, 0, 1);
    if (done) {
        curve_active_ = false;
        Refresh();
    }
}

void Editor::SelectPress(const Event &e) {
    if (drag_ != Drag::kNone) return;
    if (e.mods & kCtrl) {
        // Picks the segment under the pointer on the path selected alone.
        KyPath *hit = nullptr;
        int32_t index = 0;
        uint16_t param = 0;
        const int32_t answer = KyPathPtOn(e.x, e.y, KYPATH_HIT_QUERY, dc_, view_, table_, &hit, &index, &param);
        KyPath *sel = Selected();
        if (answer != KYPATH_HIT_SELECTED || !hit || hit != sel || param == 0 || sel->selNext || sel->selPrev) {
            message_ = "ctrl+click a segment of the one selected path";
            return;
        }
        const bool recorded = Record(kCodeClick);
        Y32Rect r;
        KyPathDeselectPts(hit);
        KyPathUnpickSegment(view_, table_, nullptr, &r);
        if (!KyPathPickSegment(view_, hit, index, &r)) {
            if (recorded) DropNewestRecord();
            message_ = "that segment cannot be picked";
        } else {
            message_ = "segment picked";
        }
        Refresh();
        return;
    }
    const bool recorded = Record(kCodeClick);
    KyPath *hit = nullptr;
    int32_t index = 0;
    uint16_t param = 0;
    const int32_t mode = (e.mods & kShift) ? KYPATH_HIT_ADD : KYPATH_HIT_CLICK;
    const int32_t answer = KyPathPtOn(e.x, e.y, mode, dc_, view_, table_, &hit, &index, &param);
    if (recorded && KyPathSameUR(kOwner, table_, kCodeClick)) DropNewestRecord();
    press_x_ = drag_x_ = e.x;
    press_y_ = drag_y_ = e.y;
    moved_ = false;
    if ((answer == KYPATH_HIT_UNSELECTED || answer == KYPATH_HIT_SELECTED) && Selected()) {
        drag_ = Drag::kMove;
        Refresh();
    } else {
        drag_ = Drag::kMarquee;
        marquee_[0] = marquee_[2] = e.x;
        marquee_[1] = marquee_[3] = e.y;
        Refresh();  // draws the (empty) marquee too
    }
}

void Editor::SelectMove(const Event &e) {
    if (drag_ == Drag::kMove) {
        if (!moved_) {
            if (std::abs(e.x - press_x_) < kDragThreshold && std::abs(e.y - press_y_) < kDragThreshold) return;
            // Undo puts the selection back where this first point was.
            Record(KYPATH_UR_NODEMOVE);
            moved_ = true;
        }
        if (e.x == drag_x_ && e.y == drag_y_) return;
        // Moves by what the pointer went since the last move, counted from
        // the press, so the motion under the threshold is not lost.
        KyPathMovePaths(Selected(), view_, e.x - drag_x_, e.y - drag_y_);
        drag_x_ = e.x;
        drag_y_ = e.y;
        Refresh();
    } else if (drag_ == Drag::kMarquee) {
        XorMarquee();
        marquee_[2] = e.x;
        marquee_[3] = e.y;
        XorMarquee();
    }
}

void Editor::SelectRelease(const Event &e) {
    if (drag_ == Drag::kMarquee) {
        XorMarquee();
        drag_ = Drag::kNone;
        marquee_[2] = e.x;
        marquee_[3] = e.y;
        if (std::abs(marquee_[2] - marquee_[0]) >= 2 && std::abs(marquee_[3] - marquee_[1]) >= 2) {
            const int32_t flags = KYPATH_RECT_SEGMENTS | ((e.mods & kShift) ? KYPATH_RECT_ADD : KYPATH_RECT_REPLACE);
            const bool recorded = Record(kCodeMarquee);
            int32_t changed = 0;
            KyPathRectClip(marquee_[0], marquee_[1], marquee_[2], marquee_[3], table_, dc_, view_, flags, &changed);
            if (recorded && !changed) DropNewestRecord();
        }
    } else if (drag_ == Drag::kMove) {
        drag_ = Drag::kNone;
        if (moved_) message_ = "moved";
    }
    Refresh();
}

void Editor::SetTool(Tool t) {
    tool_ = t;
    message_ = std::string(ToolName(t)) + " tool";
}

void Editor::Key(const Event &e) {
    const std::string &k = e.key;
    const bool ctrl = (e.mods & kCtrl) != 0, shift = (e.mods & kShift) != 0;
    if (k == "?") {
        help_requested_ = true;
        return;
    }
    // While a tool draws, only its own keys count.
    if (GetCapture() == Window()) {
        if (k != "escape" && k != "backspace") return;
        const uint32_t vk = k == "escape" ? VK_ESCAPE : VK_BACK;
        const int32_t done = KyPathMouseProcDraw(dc_, table_, view_, WM_KEYDOWN, vk, last_x_, last_y_, 0, 0, pen_kind_);
        if (vk == VK_ESCAPE || done) {
            // Escape leaves the capture to the host.
            if (GetCapture() == Window()) ReleaseCapture();
            Refresh();
        } else {
            Y32Rect r;
            KyPathHide(view_, nullptr, &r);
            if (KyPath *first = First()) KyPathDraw(view_, first, &r);
        }
        return;
    }
    if (curve_active_) {
        if (k != "escape" && k != "backspace") return;
        const uint32_t vk = k == "escape" ? VK_ESCAPE : VK_BACK;
        const int32_t done = tool_ == Tool::kSmooth
                                 ? KyPathDrawSmoothBezier(dc_, table_, view_, WM_KEYDOWN, vk, last_x_, last_y_, 0, 0, 0)
                                 : KyPathDrawFreehandBezier(dc_, table_, view_, WM_KEYDOWN, vk, last_x_, last_y_, 0, 0, 1);
        if (done) {
            curve_active_ = false;
            Refresh();
        }
        return;
    }
    if (drag_ != Drag::kNone) {
        if (k == "escape" && drag_ == Drag::kMarquee) {
            drag_ = Drag::kNone;
            Refresh();
        }
        return;
    }

    Y32Rect changed;
    if (k == "p") SetTool(Tool::kPen);
    else if (k == "s" && !ctrl) SetTool(Tool::kSmooth);
    else if (k == "f") SetTool(Tool::kFreehand);
    else if (k == "v") SetTool(Tool::kSelect);
    else if (k == "tab") SetTool(static_cast<Tool>((static_cast<int>(tool_) + 1) % 4));
    else if (k.size() == 1 && k[0] >= '0' && k[0] <= '6') {
        pen_kind_ = k[0] - '0';
        SetTool(Tool::kPen);
    } else if (k == "z" && ctrl && !shift) Undo();
    else if ((k == "y" && ctrl) || (k == "z" && ctrl && shift)) Redo();
    else if (k == "delete" || k == "backspace") {
        if (Selected() && KyPathDelete(table_, view_, &changed)) {
            ClearJournal();
            message_ = "deleted";
        }
        Refresh();
    } else if (k == "j") {
        KyPath *sel = Selected();
        if (!sel) return;
        const int32_t code = shift ? KYPATH_UR_DISJOIN : KYPATH_UR_JOIN;
        const bool recorded = Record(code);
        const int32_t ok = shift ? KyPathDisjoin(sel) : KyPathJoin(sel);
        if (!ok && recorded) DropNewestRecord();
        message_ = ok ? (shift ? "taken apart" : "joined") : "cannot join these";
        Refresh();
    } else if (k == "c") {
        if (KyPathConvertSelectedSegment(view_, table_, &changed)) {
            ClearJournal();
            message_ = "segment converted";
        } else {
            message_ = "pick a segment first (ctrl+click in the select tool)";
        }
        Refresh();
    } else if (k == "a" && ctrl) {
        if (!First()) return;
        const bool recorded = Record(kCodeClick);
        if (KyPath *first = First()) KyPathDeSelectAll(dc_, first, view_, 1);
        KyPathAllPathSelected(First());
        KyPathAssignSelectedPathBlindly(table_, First());
        if (recorded && KyPathSameUR(kOwner, table_, kCodeClick)) DropNewestRecord();
        Refresh();
    } else if (k == "escape") {
        if (!Selected()) return;
        Record(kCodeClick);
        DropSelection();
        Refresh();
    } else if (k == "+" || k == "=") ZoomBy(2.0);
    else if (k == "-") ZoomBy(0.5);
    else if (k == "left") SetView(zoom_, sx_ - kScrollStep, sy_);
    else if (k == "right") SetView(zoom_, sx_ + kScrollStep, sy_);
    else if (k == "up") SetView(zoom_, sx_, sy_ - kScrollStep);
    else if (k == "down") SetView(zoom_, sx_, sy_ + kScrollStep);
    else if (k == "home") SetView(1.0, 0, 0);
    else if (k == "[") render_.bevel = std::max(2.0, render_.bevel - 2.0);
    else if (k == "]") render_.bevel = std::min(40.0, render_.bevel + 2.0);
    else if (k == "m") render_.shader ^= 1;
    else if (k == "r") {
        std::string error;
        const int32_t n = RenderSelection(table_, render_, &image_, iw_, ih_, &error);
        message_ = n ? "rendered " + std::to_string(n) + " path(s)" : error;
    }
}

}  // namespace kedit
