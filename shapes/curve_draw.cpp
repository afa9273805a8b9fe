// shapes/curve_draw.cpp - exclusive-or rubber bands of the curve tools.
#include "shapes/curve_draw.h"

#include <cmath>

#include "shapes/cbez.h"

namespace curvedraw {

int32_t RoundToInt(double v) {
    if (v != v) return 0;
    double r = std::round(v);  // halves away from zero
    if (r <= -2147483648.0) return INT32_MIN;
    if (r >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(r);
}

POINT ImageToWindow(const CoordStruct *view, double x, double y) {
    return POINT{RoundToInt(x * view->zoom - view->scrollX + view->left),
                 RoundToInt(y * view->zoom - view->scrollY + view->top)};
}

namespace {

// Selects the band pen and exclusive-or for one drawing and restores the
// context afterwards.
class XorPen {
  public:
    XorPen(HDC hdc, int32_t width, COLORREF colour) : hdc_(hdc) {
        pen_ = CreatePen(PS_SOLID, width, colour);
        old_pen_ = pen_ ? SelectObject(hdc_, pen_) : nullptr;
        old_rop_ = SetROP2(hdc_, R2_XORPEN);
    }
    ~XorPen() {
        if (old_rop_) SetROP2(hdc_, old_rop_);
        if (old_pen_) SelectObject(hdc_, old_pen_);
        if (pen_) DeleteObject(pen_);
    }
    bool ok() const { return pen_ && old_pen_; }
    XorPen(const XorPen &) = delete;
    XorPen &operator=(const XorPen &) = delete;

  private:
    HDC hdc_;
    HPEN pen_;
    HGDIOBJ old_pen_;
    int32_t old_rop_;
};

void XorNode(HDC hdc, POINT p) {
    XorPen pen(hdc, 2, kNodeColour);
    if (!pen.ok()) return;
    HGDIOBJ old_brush = SelectObject(hdc, GetStockObject(GRAY_BRUSH));
    Rectangle(hdc, p.x - 4, p.y - 4, p.x + 5, p.y + 5);
    if (old_brush) SelectObject(hdc, old_brush);
}

}  // namespace

void XorCurve(HDC hdc, const POINT *pts, int32_t n, bool nodes) {
    if (!hdc || !pts || n < 1) return;
    {
        XorPen pen(hdc, 0, kBandColour);
        if (!pen.ok()) return;
        POINT previous;
        MoveToEx(hdc, pts[0].x, pts[0].y, &previous);
        int32_t curves = (n - 1) / 3;
        if (curves > 0) PolyBezierTo(hdc, pts + 1, static_cast<uint32_t>(3 * curves));
        MoveToEx(hdc, previous.x, previous.y, nullptr);
    }
    if (nodes)
        for (int32_t i = 0; i < n; i += 3) XorNode(hdc, pts[i]);
}

void XorPolyline(HDC hdc, const POINT *pts, int32_t n, const bool *drawn) {
    if (!hdc || !pts || n < 2) return;
    XorPen pen(hdc, 0, kBandColour);
    if (!pen.ok()) return;
    POINT previous;
    MoveToEx(hdc, pts[0].x, pts[0].y, &previous);
    for (int32_t i = 1; i < n; ++i) {
        if (drawn && !drawn[i]) continue;
        MoveToEx(hdc, pts[i - 1].x, pts[i - 1].y, nullptr);
        LineTo(hdc, pts[i].x, pts[i].y);
    }
    MoveToEx(hdc, previous.x, previous.y, nullptr);
}

}  // namespace curvedraw

int32_t CBez::WindowPoints(const CoordStruct *view, int32_t from, int32_t to, Y32Point *out) const {
    if (!view || !out) return 0;
    if (from < 0) from = 0;
    if (to > nCtrls - 1) to = nCtrls - 1;
    int32_t n = 0;
    for (int32_t i = from; i <= to; ++i) out[n++] = curvedraw::ImageToWindow(view, ctrls[i].x, ctrls[i].y);
    return n;
}

void CBez::Draw(Y32Dc *hdc, const CoordStruct *view, int32_t from, int32_t to, bool withNodes) const {
    if (!hdc || !view) return;
    // Start on a knot, so that the node squares land on knots.
    if (from < 0) from = 0;
    from -= from % 3;
    POINT pts[kMaxCtrls];
    int32_t n = WindowPoints(view, from, to, pts);
    curvedraw::XorCurve(hdc, pts, n, withNodes);
}
