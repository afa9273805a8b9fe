// platform/gdi.cpp - a device context that draws into a memory bitmap.
//
// Owns: device contexts (live set), created pens (live set), the stock
// objects, and the little user-interface state the tools ask about (mouse
// capture, key-state hook, beep count, cursor).
//
// Every drawing call first collects the pixels it touches as keys
// (y << 32 | x) of pixels inside the bitmap, sorts them and drops
// duplicates, and only then applies the raster operation. That is what
// makes exclusive-or drawing reversible: a wide pen's squares overlap, a
// flattened curve may cross itself, a rectangle's corners are shared by two
// sides, and yet no pixel is combined twice in one call. The collection is
// bounded by the bitmap: a line is only stepped over the range of its major
// axis that can reach the bitmap, so a line to (2^27, 5) costs no more than
// one across the window.
#include "platform/gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/alloc_fail.h"
#include "platform/runtime_memory.h"
#include "y32path/gdi.h"

namespace {

enum class Kind : uint32_t { kPen = 0x4E45505Fu, kBrush = 0x5355524Bu };

struct GdiObject {
    Kind kind;
    int32_t style;  // pens: PS_*; brushes: 0 solid, PS_NULL hollow
    int32_t width;  // pens only, at least 1
    COLORREF color;
    int32_t selected;  // how many contexts hold it
    bool stock;
};

// Widths above this are drawn this wide: the pixel set of a call grows with
// the square of the width, and nothing in a path editor draws wider.
constexpr int32_t kMaxPenWidth = 32;

GdiObject g_stock[] = {
    {Kind::kBrush, PS_SOLID, 1, 0xFFFFFF, 0, true},  // WHITE_BRUSH
    {Kind::kBrush, PS_SOLID, 1, 0xC0C0C0, 0, true},  // LTGRAY_BRUSH
    {Kind::kBrush, PS_SOLID, 1, 0x808080, 0, true},  // GRAY_BRUSH
    {Kind::kBrush, PS_SOLID, 1, 0x404040, 0, true},  // DKGRAY_BRUSH
    {Kind::kBrush, PS_SOLID, 1, 0x000000, 0, true},  // BLACK_BRUSH
    {Kind::kBrush, PS_NULL, 1, 0x000000, 0, true},   // NULL_BRUSH
    {Kind::kPen, PS_SOLID, 1, 0xFFFFFF, 0, true},    // WHITE_PEN
    {Kind::kPen, PS_SOLID, 1, 0x000000, 0, true},    // BLACK_PEN
    {Kind::kPen, PS_NULL, 1, 0x000000, 0, true},     // NULL_PEN
};
constexpr int32_t kStockCount = static_cast<int32_t>(sizeof(g_stock) / sizeof(g_stock[0]));

bool IsStock(const void *h) {
    auto *o = static_cast<const GdiObject *>(h);
    return o >= g_stock && o < g_stock + kStockCount;
}

// Never destroyed: a host may free objects from its own static destructors.
std::unordered_set<const void *> &LivePens() {
    static auto *live = new std::unordered_set<const void *>;
    return *live;
}
std::unordered_set<const void *> &LiveDcs() {
    static auto *live = new std::unordered_set<const void *>;
    return *live;
}

GdiObject *ToObject(HGDIOBJ h) {
    if (!h) return nullptr;
    if (IsStock(h)) return static_cast<GdiObject *>(h);
    return LivePens().count(h) ? static_cast<GdiObject *>(h) : nullptr;
}

}  // namespace

struct Y32Dc {
    uint8_t *bits;
    int32_t width, height, stride, bpp;
    bool owns_bits;
    GdiObject *pen, *brush;
    int32_t rop;
    int32_t cur_x, cur_y;
    int64_t style_pos;  // position in the pen pattern, continued by LineTo
};

namespace {

Y32Dc *ToDc(HDC h) { return h && LiveDcs().count(h) ? h : nullptr; }

bool InRange(int64_t v) { return v >= -plat::gdi::kMaxCoord && v <= plat::gdi::kMaxCoord; }

// ---- pen patterns -------------------------------------------------------

// Alternating on and off runs, in pixels along the major axis.
struct Pattern {
    const uint8_t *runs;
    int32_t count;
};

Pattern PatternOf(int32_t style) {
    static const uint8_t dash[] = {6, 2};
    static const uint8_t dot[] = {1, 1};
    static const uint8_t dashdot[] = {6, 2, 1, 2};
    static const uint8_t dashdotdot[] = {6, 2, 1, 2, 1, 2};
    switch (style) {
        case PS_DASH: return {dash, 2};
        case PS_DOT: return {dot, 2};
        case PS_DASHDOT: return {dashdot, 4};
        case PS_DASHDOTDOT: return {dashdotdot, 6};
        default: return {nullptr, 0};
    }
}

bool PatternOn(const Pattern &pat, int64_t pos) {
    if (!pat.runs) return true;
    int32_t total = 0;
    for (int32_t i = 0; i < pat.count; ++i) total += pat.runs[i];
    int64_t r = pos % total;
    if (r < 0) r += total;
    for (int32_t i = 0; i < pat.count; ++i) {
        if (r < pat.runs[i]) return (i & 1) == 0;
        r -= pat.runs[i];
    }
    return false;
}

// ---- pixel collection ---------------------------------------------------

class PixelSet {
  public:
    PixelSet(int32_t width, int32_t height) : w_(width), h_(height) {}

    void Add(int64_t x, int64_t y) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
        keys_.push_back(static_cast<uint64_t>(y) << 32 | static_cast<uint64_t>(x));
    }
    // A w x w square whose top-left is `lo` pixels from (x, y) (lo <= 0):
    // the footprint of a wide pen, centred on the pixel as well as an even
    // width allows.
    void Stamp(int64_t x, int64_t y, int32_t w) {
        const int64_t lo = -(w / 2);
        for (int64_t j = 0; j < w; ++j)
            for (int64_t i = 0; i < w; ++i) Add(x + lo + i, y + lo + j);
    }
    // Sorted, each pixel once.
    const std::vector<uint64_t> &Unique() {
        std::sort(keys_.begin(), keys_.end());
        keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
        return keys_;
    }

  private:
    int32_t w_, h_;
    std::vector<uint64_t> keys_;
};

// The pixels of the line from (x0, y0) towards (x1, y1), end pixel left out,
// with the pen stamped where its pattern is on. Step i of the major axis
// lands on minor offset round(i * minor extent / major extent), halves
// rounded up, computed directly rather than accumulated so that the steps
// before the visible range can be skipped. Returns the number of steps,
// which is how far the pattern advances.
int64_t StrokeLine(const Y32Dc &dc, const GdiObject &pen, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                   int64_t style_pos, PixelSet &out) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    if (dx == 0 && dy == 0) return 0;
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    const int64_t n = x_major ? std::llabs(dx) : std::llabs(dy);
    const int64_t minor_extent = x_major ? std::llabs(dy) : std::llabs(dx);
    const int64_t major_sign = (x_major ? dx : dy) < 0 ? -1 : 1;
    const int64_t minor_sign = (x_major ? dy : dx) < 0 ? -1 : 1;
    const int64_t m0 = x_major ? x0 : y0, minor0 = x_major ? y0 : x0;
    const int64_t extent = x_major ? dc.width : dc.height;
    const int32_t w = pen.width;
    const int64_t pad = w;

    // Steps whose major coordinate lies within the bitmap, widened by the pen.
    int64_t lo, hi;
    if (major_sign > 0) {
        lo = -pad - m0;
        hi = extent - 1 + pad - m0;
    } else {
        lo = m0 - (extent - 1 + pad);
        hi = m0 + pad;
    }
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, n - 1);

    const Pattern pat = PatternOf(pen.style);
    for (int64_t i = lo; i <= hi; ++i) {
        if (!PatternOn(pat, style_pos + i)) continue;
        const int64_t major = m0 + major_sign * i;
        const int64_t minor = minor0 + minor_sign * ((2 * i * minor_extent + n) / (2 * n));
        const int64_t px = x_major ? major : minor, py = x_major ? minor : major;
        if (w == 1)
            out.Add(px, py);
        else
            out.Stamp(px, py, w);
    }
    return n;
}

void Apply(Y32Dc &dc, const std::vector<uint64_t> &keys, COLORREF color) {
    const uint8_t pen[3] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                            static_cast<uint8_t>(color)};  // blue, green, red
    const int32_t bytes = dc.bpp / 8;
    for (uint64_t key : keys) {
        const int64_t x = static_cast<int64_t>(key & 0xFFFFFFFFu), y = static_cast<int64_t>(key >> 32);
        uint8_t *px = dc.bits + y * dc.stride + x * bytes;
        for (int k = 0; k < 3; ++k) px[k] = plat::gdi::Rop2(dc.rop, pen[k], px[k]);
    }
}

void ApplyBox(Y32Dc &dc, int64_t l, int64_t t, int64_t r, int64_t b, COLORREF color) {
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    r = std::min<int64_t>(r, dc.width - 1);
    b = std::min<int64_t>(b, dc.height - 1);
    if (l > r || t > b) return;
    const uint8_t pen[3] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                            static_cast<uint8_t>(color)};
    const int32_t bytes = dc.bpp / 8;
    for (int64_t y = t; y <= b; ++y) {
        uint8_t *px = dc.bits + y * dc.stride + l * bytes;
        for (int64_t x = l; x <= r; ++x, px += bytes)
            for (int k = 0; k < 3; ++k) px[k] = plat::gdi::Rop2(dc.rop, pen[k], px[k]);
    }
}

bool PenDraws(const Y32Dc &dc) { return dc.pen && dc.pen->style != PS_NULL; }

// Cubic from p0 through p1, p2 to p3 as a polyline of rounded points, into
// `pts` (p0 excluded). Chords are about two pixels long, at most 1024 of
// them; a curve that long is far outside any window anyway.
void FlattenCubic(const POINT &p0, const POINT &p1, const POINT &p2, const POINT &p3, std::vector<POINT> &pts) {
    auto len = [](const POINT &a, const POINT &b) {
        return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
    };
    const double poly = len(p0, p1) + len(p1, p2) + len(p2, p3);
    const int32_t n = static_cast<int32_t>(std::min(1024.0, std::max(1.0, std::ceil(poly / 2.0))));
    POINT last = p0;
    for (int32_t k = 1; k <= n; ++k) {
        const double t = static_cast<double>(k) / n, u = 1.0 - t;
        const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        const double x = b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x;
        const double y = b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y;
        POINT q{static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
        if (k == n) q = p3;  // the end point exactly, whatever the rounding
        if (q.x != last.x || q.y != last.y) {
            pts.push_back(q);
            last = q;
        }
    }
}

// ---- user-interface state ----------------------------------------------

HWND g_capture = nullptr;
Y32KeyStateHook g_key_hook = nullptr;
void *g_key_user = nullptr;
int32_t g_beeps = 0;
HCURSOR g_cursor = nullptr;
int32_t g_cursor_changes = 0;

// One token per standard cursor id; the handle is the address of its slot.
constexpr int32_t kFirstCursorId = 32512, kLastCursorId = 32651;
char g_cursor_tokens[kLastCursorId - kFirstCursorId + 1];

}  // namespace

Y32_BEGIN_C

HDC y32CreateMemoryDCOn(void *bits, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t strideBytes) {
    if (!bits || width < 1 || height < 1 || (bitsPerPixel != 24 && bitsPerPixel != 32)) return nullptr;
    const int64_t row = static_cast<int64_t>(width) * (bitsPerPixel / 8);
    if (std::llabs(static_cast<int64_t>(strideBytes)) < row) return nullptr;
    Y32Dc *dc = plat::ObjNew<Y32Dc>();
    if (!dc) return nullptr;
    *dc = Y32Dc{static_cast<uint8_t *>(bits), width, height, strideBytes, bitsPerPixel, false,
                &g_stock[BLACK_PEN], &g_stock[WHITE_BRUSH], R2_COPYPEN, 0, 0, 0};
    try {
        LiveDcs().insert(dc);
    } catch (const std::bad_alloc &) {
        plat::ObjDelete(dc);
        return nullptr;
    }
    return dc;
}

HDC y32CreateMemoryDC(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (width < 1 || height < 1 || (bitsPerPixel != 24 && bitsPerPixel != 32)) return nullptr;
    // Rows padded to four bytes, as device-independent bitmaps are.
    const uint64_t stride = (static_cast<uint64_t>(width) * (bitsPerPixel / 8) + 3) & ~uint64_t{3};
    const uint64_t bytes = stride * static_cast<uint64_t>(height);
    if (stride > INT32_MAX || bytes > SIZE_MAX / 2) return nullptr;
    void *bits = plat::RtAlloc(static_cast<size_t>(bytes), true);
    if (!bits) return nullptr;
    HDC dc = y32CreateMemoryDCOn(bits, width, height, bitsPerPixel, static_cast<int32_t>(stride));
    if (!dc) {
        plat::RtFree(bits);
        return nullptr;
    }
    dc->owns_bits = true;
    return dc;
}

int32_t y32DeleteMemoryDC(HDC hdc) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc) return 0;
    LiveDcs().erase(dc);
    if (dc->pen) --dc->pen->selected;
    if (dc->brush) --dc->brush->selected;
    if (dc->owns_bits) plat::RtFree(dc->bits);
    plat::ObjDelete(dc);
    return 1;
}

int32_t y32GetMemoryDCBits(HDC hdc, Y32DcBits *out) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || !out) return 0;
    *out = Y32DcBits{dc->bits, dc->width, dc->height, dc->stride, dc->bpp};
    return 1;
}

COLORREF GetPixel(HDC hdc, int32_t x, int32_t y) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || x < 0 || y < 0 || x >= dc->width || y >= dc->height) return CLR_INVALID;
    const uint8_t *px = dc->bits + static_cast<int64_t>(y) * dc->stride + static_cast<int64_t>(x) * (dc->bpp / 8);
    return RGB(px[2], px[1], px[0]);
}

COLORREF SetPixel(HDC hdc, int32_t x, int32_t y, COLORREF color) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || x < 0 || y < 0 || x >= dc->width || y >= dc->height) return CLR_INVALID;
    uint8_t *px = dc->bits + static_cast<int64_t>(y) * dc->stride + static_cast<int64_t>(x) * (dc->bpp / 8);
    px[0] = static_cast<uint8_t>(color >> 16);
    px[1] = static_cast<uint8_t>(color >> 8);
    px[2] = static_cast<uint8_t>(color);
    return color & 0xFFFFFF;
}

HPEN CreatePen(int32_t style, int32_t width, COLORREF color) {
    if (style < PS_SOLID || style > PS_NULL || width < 0) return nullptr;
    GdiObject *pen = plat::ObjNew<GdiObject>();
    if (!pen) return nullptr;
    *pen = GdiObject{Kind::kPen, style, std::min(std::max(width, 1), kMaxPenWidth), color & 0xFFFFFF, 0, false};
    try {
        LivePens().insert(pen);
    } catch (const std::bad_alloc &) {
        plat::ObjDelete(pen);
        return nullptr;
    }
    return pen;
}

HGDIOBJ GetStockObject(int32_t index) {
    if (index < 0 || index >= kStockCount) return nullptr;
    return &g_stock[index];
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    Y32Dc *dc = ToDc(hdc);
    GdiObject *obj = ToObject(object);
    if (!dc || !obj) return nullptr;
    GdiObject *&slot = obj->kind == Kind::kPen ? dc->pen : dc->brush;
    GdiObject *previous = slot;
    if (previous) --previous->selected;
    slot = obj;
    ++obj->selected;
    return previous;
}

int32_t DeleteObject(HGDIOBJ object) {
    if (!object) return 0;
    if (IsStock(object)) return 1;
    auto &live = LivePens();
    auto it = live.find(object);
    if (it == live.end()) return 0;
    GdiObject *obj = static_cast<GdiObject *>(object);
    // Freeing a pen a context still draws with would leave it dangling.
    if (obj->selected > 0) return 0;
    live.erase(it);
    plat::ObjDelete(obj);
    return 1;
}

int32_t SetROP2(HDC hdc, int32_t mode) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || mode < R2_BLACK || mode > R2_WHITE) return 0;
    const int32_t previous = dc->rop;
    dc->rop = mode;
    return previous;
}

int32_t GetROP2(HDC hdc) {
    Y32Dc *dc = ToDc(hdc);
    return dc ? dc->rop : 0;
}

int32_t MoveToEx(HDC hdc, int32_t x, int32_t y, POINT *previous) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc) return 0;
    if (previous) *previous = POINT{dc->cur_x, dc->cur_y};
    dc->cur_x = x;
    dc->cur_y = y;
    dc->style_pos = 0;
    return 1;
}

int32_t GetCurrentPositionEx(HDC hdc, POINT *out) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || !out) return 0;
    *out = POINT{dc->cur_x, dc->cur_y};
    return 1;
}

int32_t LineTo(HDC hdc, int32_t x, int32_t y) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc) return 0;
    if (!InRange(x) || !InRange(y) || !InRange(dc->cur_x) || !InRange(dc->cur_y)) return 0;
    try {
        if (PenDraws(*dc)) {
            PixelSet pixels(dc->width, dc->height);
            dc->style_pos += StrokeLine(*dc, *dc->pen, dc->cur_x, dc->cur_y, x, y, dc->style_pos, pixels);
            Apply(*dc, pixels.Unique(), dc->pen->color);
        }
    } catch (const std::bad_alloc &) {
        return 0;
    }
    dc->cur_x = x;
    dc->cur_y = y;
    return 1;
}

int32_t PolyBezierTo(HDC hdc, const POINT *points, uint32_t count) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc || !points || count % 3 != 0) return 0;
    if (!InRange(dc->cur_x) || !InRange(dc->cur_y)) return 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!InRange(points[i].x) || !InRange(points[i].y)) return 0;
    if (count == 0) return 1;
    try {
        if (PenDraws(*dc)) {
            std::vector<POINT> poly;
            POINT cur{dc->cur_x, dc->cur_y};
            for (uint32_t i = 0; i < count; i += 3) {
                FlattenCubic(cur, points[i], points[i + 1], points[i + 2], poly);
                cur = points[i + 2];
            }
            PixelSet pixels(dc->width, dc->height);
            POINT from{dc->cur_x, dc->cur_y};
            int64_t style = dc->style_pos;
            for (const POINT &to : poly) {
                style += StrokeLine(*dc, *dc->pen, from.x, from.y, to.x, to.y, style, pixels);
                from = to;
            }
            Apply(*dc, pixels.Unique(), dc->pen->color);
            dc->style_pos = style;
        }
    } catch (const std::bad_alloc &) {
        return 0;
    }
    dc->cur_x = points[count - 1].x;
    dc->cur_y = points[count - 1].y;
    return 1;
}

int32_t Rectangle(HDC hdc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Y32Dc *dc = ToDc(hdc);
    if (!dc) return 0;
    if (!InRange(left) || !InRange(top) || !InRange(right) || !InRange(bottom)) return 0;
    int64_t l = std::min(left, right), r = std::max(left, right);
    int64_t t = std::min(top, bottom), b = std::max(top, bottom);
    if (l == r || t == b) return 1;  // nothing to outline or fill
    try {
        if (PenDraws(*dc)) {
            // The outline runs through the outermost pixels l..r-1, t..b-1
            // and is closed, so every corner is reached by two sides; the
            // pixel set keeps each once.
            const GdiObject &pen = *dc->pen;
            const int64_t xs[5] = {l, r - 1, r - 1, l, l}, ys[5] = {t, t, b - 1, b - 1, t};
            PixelSet pixels(dc->width, dc->height);
            int64_t style = 0;
            for (int k = 0; k < 4; ++k) style += StrokeLine(*dc, pen, xs[k], ys[k], xs[k + 1], ys[k + 1], style, pixels);
            if (r - l == 1 && b - t == 1) pixels.Stamp(l, t, pen.width);  // a one-pixel outline has no sides
            Apply(*dc, pixels.Unique(), pen.color);
        }
    } catch (const std::bad_alloc &) {
        return 0;
    }
    if (dc->brush && dc->brush->style != PS_NULL) {
        // Inside the outline: the pen square at the outline pixel c covers
        // c - w/2 .. c - w/2 + w - 1, the fill starts right after it. With
        // no pen the fill is one pixel smaller than the outline would be.
        if (PenDraws(*dc)) {
            const int32_t w = dc->pen->width;
            ApplyBox(*dc, l - w / 2 + w, t - w / 2 + w, r - 2 - w / 2, b - 2 - w / 2, dc->brush->color);
        } else {
            ApplyBox(*dc, l, t, r - 2, b - 2, dc->brush->color);
        }
    }
    return 1;
}

HWND SetCapture(HWND window) {
    HWND previous = g_capture;
    g_capture = window;
    return previous;
}

HWND GetCapture(void) { return g_capture; }

int32_t ReleaseCapture(void) {
    g_capture = nullptr;
    return 1;
}

int16_t GetKeyState(int32_t virtualKey) { return g_key_hook ? g_key_hook(virtualKey, g_key_user) : 0; }

void y32SetKeyStateHook(Y32KeyStateHook hook, void *user) {
    g_key_hook = hook;
    g_key_user = user;
}

int32_t MessageBeep(uint32_t type) {
    (void)type;
    if (g_beeps < INT32_MAX) ++g_beeps;
    return 1;
}

int32_t y32BeepCount(void) { return g_beeps; }
void y32ResetBeepCount(void) { g_beeps = 0; }

HCURSOR LoadCursorA(HINSTANCE instance, const char *name) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (instance || id < kFirstCursorId || id > kLastCursorId) return nullptr;
    return &g_cursor_tokens[id - kFirstCursorId];
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    if (g_cursor_changes < INT32_MAX) ++g_cursor_changes;
    return previous;
}

HCURSOR GetCursor(void) { return g_cursor; }
int32_t y32CursorChanges(void) { return g_cursor_changes; }
void y32ResetCursorChanges(void) { g_cursor_changes = 0; }

Y32_END_C
