// tools/kypath/cmd_gallery.cpp - `kypath gallery`: one contact sheet of
// what the library does end to end, every tile labelled.
//
//   kypath gallery -o gallery.png
//   kypath gallery --tile 96 -o small.png
//
// Each tile is drawn by the library into its own buffers and laid into the
// sheet centred in its cell; the labels are DejaVu Sans outlines from the
// library's text functions, rasterised by KyPathToBuf like every figure.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "deform/dash.h"
#include "tools/kypath/commands.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/scene3d.h"
#include "tools/kypath/text_figure.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct GalleryOptions {
    std::string output = "gallery.png";
    int tile = 220;
    int columns = 6;
    bool quiet = false;
};

struct Rgb {
    uint8_t r, g, b;
};

// The sheet: cells of tile x (tile + label band) on a grey ground.
class Sheet {
  public:
    Sheet(int tile, int columns, int cells)
        : tile_(tile), label_(std::max(12, tile / 8)), pad_(std::max(2, tile / 40)), columns_(columns) {
        rows_ = (cells + columns - 1) / columns;
        w_ = columns_ * (tile_ + pad_) + pad_;
        h_ = rows_ * (tile_ + label_ + pad_) + pad_;
        rgb_.assign(static_cast<size_t>(w_) * h_ * 3, 200);
    }
    int Tile() const { return tile_; }
    int Label() const { return label_; }
    int Width() const { return w_; }
    int Height() const { return h_; }
    int CellX(int i) const { return pad_ + (i % columns_) * (tile_ + pad_); }
    int CellY(int i) const { return pad_ + (i / columns_) * (tile_ + label_ + pad_); }

    void Blend(int x, int y, Rgb c, uint32_t a) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || a == 0) return;
        uint8_t *d = &rgb_[(static_cast<size_t>(y) * w_ + x) * 3];
        d[0] = static_cast<uint8_t>((c.r * a + d[0] * (255 - a) + 127) / 255);
        d[1] = static_cast<uint8_t>((c.g * a + d[1] * (255 - a) + 127) / 255);
        d[2] = static_cast<uint8_t>((c.b * a + d[2] * (255 - a) + 127) / 255);
    }
    void Fill(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) Blend(x, y, c, 255);
    }
    void Write(const std::string &file) const {
        std::string error;
        if (!WritePngRgb(file, rgb_.data(), static_cast<uint32_t>(w_), static_cast<uint32_t>(h_),
                         static_cast<size_t>(w_) * 3, &error))
            throw std::runtime_error("gallery: " + error);
    }

  private:
    int tile_, label_, pad_, columns_, rows_ = 0, w_ = 0, h_ = 0;
    std::vector<uint8_t> rgb_;
};

struct PathOwner {
    KyPath *p = nullptr;
    PathOwner() = default;
    explicit PathOwner(KyPath *q) : p(q) {}
    PathOwner(const PathOwner &) = delete;
    PathOwner &operator=(const PathOwner &) = delete;
    ~PathOwner() {
        if (p) KyPathDeletePtr(p, 0);
    }
};

struct BufOwner {
    PathBuf b = nullptr;
    BufOwner() = default;
    explicit BufOwner(PathBuf q) : b(q) {}
    BufOwner(const BufOwner &) = delete;
    BufOwner &operator=(const BufOwner &) = delete;
    ~BufOwner() {
        if (b && b != reinterpret_cast<PathBuf>(1)) KyPathBufFree(b);
    }
};

// Text outlines in DejaVu Sans at an em of `size` pixels.
KyPath *TextPath(const std::string &text, int size, bool bold) {
    TextFigureSpec spec;
    spec.text = text;
    spec.face = "DejaVu Sans";
    spec.size = size;
    spec.bold = bold;
    return MakeTextFigure(spec);
}

// An anti-aliased 8-bit mask of the path's group and its image rectangle.
PathBuf Rasterise(KyPath *path, int32_t mode, double scale, Y32Rect *rect, int32_t even_odd = 0) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    const int32_t n = KyPathToBuf(path, 0, even_odd, 1, mode, DbToFix(scale), &rects, &bufs, 0);
    if (n < 1) return nullptr;
    PathBuf mask = bufs[0];
    for (int32_t i = 1; i < n; ++i) KyPathBufFree(bufs[i]);
    if (rect) *rect = rects[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    return mask;
}

uint32_t BufWidth(PathBuf b) {
    uint32_t w = 0;
    KyPathBufGetWHU(b, &w, nullptr, nullptr);
    return w;
}
uint32_t BufHeight(PathBuf b) {
    uint32_t h = 0;
    KyPathBufGetWHU(b, nullptr, &h, nullptr);
    return h;
}

// Lays a mask (optionally with a depth-24 blue-green-red image of its size)
// into the sheet with its pixel (0,0) at (x, y).
void Lay(Sheet &s, int x, int y, PathBuf mask, Rgb colour, PathBuf image = nullptr) {
    const uint32_t w = BufWidth(mask), h = BufHeight(mask);
    const uint8_t *m = static_cast<const uint8_t *>(mask);
    const uint8_t *img = static_cast<const uint8_t *>(image);
    for (uint32_t j = 0; j < h; ++j)
        for (uint32_t i = 0; i < w; ++i) {
            const size_t k = static_cast<size_t>(j) * w + i;
            Rgb c = colour;
            if (img) c = Rgb{img[k * 3 + 2], img[k * 3 + 1], img[k * 3]};
            s.Blend(x + static_cast<int>(i), y + static_cast<int>(j), c, m[k]);
        }
}

// Lays a mask centred in cell i.
void LayCentred(Sheet &s, int i, PathBuf mask, Rgb colour, PathBuf image = nullptr) {
    const int x = s.CellX(i) + (s.Tile() - static_cast<int>(BufWidth(mask))) / 2;
    const int y = s.CellY(i) + (s.Tile() - static_cast<int>(BufHeight(mask))) / 2;
    Lay(s, x, y, mask, colour, image);
}

void DrawLabel(Sheet &s, int i, const std::string &label) {
    const int band = s.Label();
    PathOwner text(TextPath(label, band * 3 / 4, false));
    if (!text.p) throw std::runtime_error("gallery: no outlines for the label \"" + label + "\" (DejaVu Sans missing?)");
    Y32Rect rect{};
    // Long labels are drawn smaller so they stay inside the cell.
    Y32Rect box{};
    KyPathGetRealRect(text.p, DbToFix(1.0), &box);
    const double wide = std::max(1, box.right - box.left);
    const double scale = std::min(1.0, (s.Tile() - 4) / wide);
    BufOwner mask(Rasterise(text.p, 0, scale, &rect));
    if (!mask.b) return;
    const int x = s.CellX(i) + (s.Tile() - static_cast<int>(BufWidth(mask.b))) / 2;
    const int y = s.CellY(i) + s.Tile() + (band - static_cast<int>(BufHeight(mask.b))) / 2;
    Lay(s, x, y, mask.b, Rgb{20, 20, 20});
}

// ---- The tiles -------------------------------------------------------------

// The figure the shading tiles share: bold "Ky" filling most of a tile.
struct Relief {
    BufOwner mask, dist, vec;
    uint32_t w = 0, h = 0;
    double width = 0;
};

KyPath *Figure(int tile) {
    KyPath *p = TextPath("Ky", tile * 55 / 100, true);
    if (!p) throw std::runtime_error("gallery: no outlines for the figure (DejaVu Sans missing?)");
    return p;
}

void BuildRelief(KyPath *path, double width, Relief *r) {
    r->mask.b = Rasterise(path, 0, 1.0, nullptr);
    if (!r->mask.b) throw std::runtime_error("gallery: the figure gave no mask");
    r->dist.b = reinterpret_cast<PathBuf>(1);
    r->vec.b = reinterpret_cast<PathBuf>(1);
    r->width = width;
    if (!KyPathVMap(path, &r->dist.b, &r->vec.b, 0, 0, 0, 0, 0, &r->width, 0, 0, nullptr, nullptr, DbToFix(1.0)) ||
        !r->dist.b || !r->vec.b || r->dist.b == reinterpret_cast<PathBuf>(1))
        throw std::runtime_error("gallery: the library produced no relief maps");
    r->w = BufWidth(r->mask.b);
    r->h = BufHeight(r->mask.b);
    if (BufWidth(r->vec.b) != r->w || BufHeight(r->vec.b) != r->h)
        throw std::runtime_error("gallery: the mask and the relief maps differ in size");
}

PathBuf FlatImage(uint32_t w, uint32_t h, Rgb c) {
    PathBuf b = KyPathBufAlloc(24, w, h, 1, 0, 0);
    if (!b) throw std::runtime_error("gallery: out of memory");
    uint8_t *p = static_cast<uint8_t *>(b);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        p[i * 3] = c.b;
        p[i * 3 + 1] = c.g;
        p[i * 3 + 2] = c.r;
    }
    return b;
}

// A generated environment: sky over a chequered floor with a sun.
PathBuf Environment() {
    const uint32_t n = 256;
    PathBuf b = KyPathBufAlloc(24, n, n, 1, 0, 0);
    if (!b) throw std::runtime_error("gallery: out of memory");
    uint8_t *p = static_cast<uint8_t *>(b);
    for (uint32_t y = 0; y < n; ++y)
        for (uint32_t x = 0; x < n; ++x) {
            uint8_t *d = p + (static_cast<size_t>(y) * n + x) * 3;
            Rgb c;
            if (y < n / 2) {
                const double t = y / (n / 2.0);
                c = Rgb{static_cast<uint8_t>(60 + 150 * t), static_cast<uint8_t>(120 + 110 * t), 250};
                const double dx = x - n * 0.3, dy = y - n * 0.2;
                if (dx * dx + dy * dy < 400) c = Rgb{255, 240, 170};
            } else {
                const bool dark = ((x / 32) + (y / 16)) % 2;
                c = dark ? Rgb{90, 60, 30} : Rgb{230, 200, 140};
            }
            d[0] = c.b;
            d[1] = c.g;
            d[2] = c.r;
        }
    return b;
}

const double kDiag = 0.5773502;

// Base and highlight colours that let the four metals be told apart.
struct MetalLook {
    const char *name;
    Rgb base, shine;
};
const MetalLook kMetalLooks[4] = {{"copper", {150, 70, 40}, {250, 170, 130}},
                                  {"gold", {170, 120, 20}, {255, 225, 120}},
                                  {"silver", {130, 130, 135}, {245, 245, 250}},
                                  {"chrome", {80, 85, 95}, {210, 220, 235}}};

uint32_t HostColour(Rgb c) { return (uint32_t{c.b} << 16) | (uint32_t{c.g} << 8) | c.r; }

void ShadeTile(Sheet &s, int i, const Relief &r, const std::string &kind, int metal = 0) {
    const Rgb base = kind == "metal" ? kMetalLooks[metal - 1].base : Rgb{48, 112, 192};
    BufOwner image(FlatImage(r.w, r.h, base));
    int32_t ok = 0;
    if (kind == "phong") {
        ok = KyPathShadePhong(image.b, r.width, 0, 0, 0, 0, r.dist.b, r.vec.b, 0, r.mask.b, nullptr, 0, 50, 50, -kDiag,
                              -kDiag, kDiag, 0, 0, 0, nullptr);
    } else if (kind == "multi") {
        const double dirs[6] = {-kDiag, -kDiag, kDiag, kDiag, -kDiag, kDiag};
        const int32_t flags[2] = {1, 0};
        const int32_t centres[4] = {30, 30, 50, 50};
        ok = KyPathShadeMultiPhong(image.b, r.width, 0, 0, 0, 0, r.dist.b, r.vec.b, 0, r.mask.b, nullptr, 2, flags,
                                   centres, dirs, 0, 1, 0, nullptr);
    } else if (kind == "metal") {
        if (!KyPathSetMetallicEffect(metal)) throw std::runtime_error("gallery: no memory for the metal table");
        ok = KyPathShadeMetallic(image.b, r.width, 0, 0, 0, 0, r.dist.b, r.vec.b, 0, r.mask.b, nullptr, 0, 50, 50,
                                 -kDiag, -kDiag, kDiag, HostColour(kMetalLooks[metal - 1].shine), nullptr, 0, 0,
                                 nullptr);
    } else if (kind == "reflect" || kind == "bump") {
        BufOwner env(Environment());
        ok = kind == "reflect" ? KyPathReflectIt(0, r.width, r.vec.b, image.b, 0, 0, 0, env.b, 0, r.mask.b, nullptr, 0,
                                                 nullptr)
                               : KyPathBumpIt(0, r.width, r.vec.b, image.b, 0, 0, 0, env.b, 0, r.mask.b, nullptr);
    }
    if (!ok) throw std::runtime_error("gallery: the " + kind + " shader refused the buffers");
    LayCentred(s, i, r.mask.b, Rgb{0, 0, 0}, image.b);
}

// Glass: the shaded figure laid by its transparency mask over a chequered
// ground, so what is behind shows through the face.
void GlassTile(Sheet &s, int i, const Relief &r) {
    const int t = s.Tile(), x0 = s.CellX(i), y0 = s.CellY(i), sq = std::max(4, t / 10);
    for (int y = 0; y < t; ++y)
        for (int x = 0; x < t; ++x)
            s.Blend(x0 + x, y0 + y, ((x / sq + y / sq) % 2) ? Rgb{40, 40, 40} : Rgb{240, 200, 60}, 255);
    BufOwner image(FlatImage(r.w, r.h, Rgb{120, 190, 255}));
    if (!KyPathShadePhong(image.b, r.width, 0, 0, 0, 0, r.dist.b, r.vec.b, 0, r.mask.b, nullptr, 0, 50, 50, -kDiag,
                          -kDiag, kDiag, 0, 0, 0, nullptr))
        throw std::runtime_error("gallery: the glass shading refused the buffers");
    BufOwner glass(KyPathBufDuplicate(0, r.mask.b));
    if (!glass.b || !KyPathTransparentMask(glass.b, 80, 10, r.width, 0, 0, 0, 0, r.vec.b, 0, 0, nullptr))
        throw std::runtime_error("gallery: the transparency mask was refused");
    LayCentred(s, i, glass.b, Rgb{0, 0, 0}, image.b);
}

void TextMaskTile(Sheet &s, int i) {
    PathOwner text(TextPath("Aa", s.Tile() * 55 / 100, false));
    if (!text.p) throw std::runtime_error("gallery: no text outlines");
    BufOwner mask(Rasterise(text.p, 0, 1.0, nullptr));
    if (!mask.b) throw std::runtime_error("gallery: no text mask");
    // The mask itself, as grey on black.
    s.Fill(s.CellX(i), s.CellY(i), s.Tile(), s.Tile(), Rgb{0, 0, 0});
    LayCentred(s, i, mask.b, Rgb{255, 255, 255});
}

PathOwner ParsedPath(const std::string &d) {
    std::string error;
    KyPath *p = ParseSvgPath(d, &error);
    if (!p) throw std::runtime_error("gallery: " + error);
    return PathOwner(p);
}

// Envelopes: curvy text bent by a bilinear (perspective-like) or a
// bi-Bezier (bulging) envelope over its box.
void EnvelopeTile(Sheet &s, int i, bool bezier) {
    PathOwner text(TextPath("Soc", s.Tile() * 40 / 100, true));
    if (!text.p) throw std::runtime_error("gallery: no text outlines");
    Y32Rect b{};
    KyPathGetRealRect(text.p, DbToFix(1.0), &b);
    const double l = b.left, t = b.top, r = b.right, bt = b.bottom, w = r - l, h = bt - t;
    auto pt = [](double x, double y) { return EnvelopePoint{DbToFix(x), DbToFix(y)}; };
    int32_t ok = 0;
    if (!bezier) {
        const EnvelopeCorners c{{pt(l + w * 0.3, t), pt(r - w * 0.3, t), pt(l - w * 0.1, bt + h * 0.2),
                                 pt(r + w * 0.1, bt + h * 0.2)}};
        ok = KyPathBiLinear(text.p, &c);
    } else {
        const EnvelopeNet n{{pt(l, t), pt(l + w / 3, t - h * 0.6), pt(r - w / 3, t - h * 0.6), pt(r, t)},
                            {pt(l, bt), pt(l + w / 3, bt + h * 0.6), pt(r - w / 3, bt + h * 0.6), pt(r, bt)}};
        ok = KyPathBiCubic(text.p, &n, 0);
    }
    if (!ok) throw std::runtime_error("gallery: the envelope was refused");
    BufOwner mask(Rasterise(text.p, 0, 1.0, nullptr));
    if (!mask.b) throw std::runtime_error("gallery: no envelope mask");
    LayCentred(s, i, mask.b, Rgb{140, 40, 120});
}

// Dash styles 1 to 7, one line each, with an arrowhead at both ends.
void DashTile(Sheet &s, int i) {
    dash::InstallDashStroke();
    const int t = s.Tile();
    const int pen = std::max(2, t / 45);
    const double gap = t / 8.0;
    for (int style = 1; style <= 7; ++style) {
        const double y = gap * style, x0 = t * 0.12, x1 = t * 0.88;
        PathOwner line = ParsedPath("M" + std::to_string(x0) + " " + std::to_string(y) + " L" + std::to_string(x1) +
                                    " " + std::to_string(y));
        PathOwner start_owner(ParseSvgPath("M0 -4 L12 0 L0 4 Z", nullptr));
        PathOwner end_owner(ParseSvgPath("M0 -5 L14 0 L0 5 L4 0 Z", nullptr));
        KyPath *start = start_owner.p, *end = end_owner.p;
        if (!start || !end) throw std::runtime_error("gallery: no arrowhead templates");
        OutlineInfo *info = nullptr;
        KyPathAssignOutlineInfo(1, 0, start, 1, 0, end, style, nullptr, 0, pen, 0, 0, &info);
        if (!info) throw std::runtime_error("gallery: out of memory");
        // The outline now owns the templates.
        start_owner.p = nullptr;
        end_owner.p = nullptr;
        KyPathSetOutlineInfo(line.p, info);
        Y32Rect r{};
        const int32_t margin = pen * 8 + 4;
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        if (KyPathToBuf(line.p, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, margin) < 1)
            throw std::runtime_error("gallery: no dashed stroke");
        r = rects[0];
        BufOwner mask(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
        KyPathRenderArrowHead(line.p, start, nullptr, pen, r.left, r.top, mask.b, 1);
        KyPathRenderArrowHead(line.p, nullptr, end, pen, r.left, r.top, mask.b, 1);
        Lay(s, s.CellX(i) + r.left, s.CellY(i) + r.top, mask.b, Rgb{20, 60, 140});
    }
}

// A freehand stroke (a wobbly loop of points) and the curves fitted to it.
void FitTile(Sheet &s, int i) {
    const int t = s.Tile();
    std::vector<POINT> pts;
    for (int k = 0; k < 60; ++k) {
        const double a = k / 59.0;
        const double x = t * (0.1 + 0.8 * a);
        const double y = t * (0.5 + 0.17 * std::sin(a * 6.5) * (1 - 0.4 * a)) + ((k * 7) % 3 - 1) * t / 200.0;
        pts.push_back(POINT{static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))});
    }
    CoordStruct view{};
    view.right = t;
    view.bottom = t;
    view.zoom = 1.0;
    PathOwner fit(KyPathCreateApproximateBezier(&view, static_cast<int32_t>(pts.size()), pts.data(), 3.0, 0));
    if (!fit.p) throw std::runtime_error("gallery: no fitted curve");
    Y32Rect r{};
    BufOwner mask(Rasterise(fit.p, 1, 1.0, &r));
    if (!mask.b) throw std::runtime_error("gallery: no mask of the fitted curve");
    // The input points above, the fitted curve (drawn three pixels wide)
    // below.
    const int shift = t * 22 / 100;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            Lay(s, s.CellX(i) + r.left + dx, s.CellY(i) + r.top + shift + dy, mask.b, Rgb{20, 110, 40});
    const int d = std::max(1, t / 110);
    for (const POINT &p : pts)
        for (int y = -d; y <= d; ++y)
            for (int x = -d; x <= d; ++x)
                s.Blend(s.CellX(i) + p.x + x, s.CellY(i) + p.y - shift + y, Rgb{220, 30, 30}, 255);
}

// The figure as a solid in perspective through the A-buffer, or its wire
// frame drawn on the software device context.
void SolidTile(Sheet &s, int i, bool wire) {
    const int t = s.Tile();
    PathOwner text(TextPath("3D", t * 45 / 100, true));
    if (!text.p) throw std::runtime_error("gallery: no text outlines");
    Y32Rect box{};
    KyPathGetRealRect(text.p, DbToFix(1.0), &box);
    const double degrees[3] = {35, -30, 0};
    const Scene3d scene = LookAt(box, t * 2.0, 40, degrees);
    ABufCamera cam = scene.camera;
    Path3DParams params = scene.params;
    const int bevel = std::max(3, t / 30);
    Y32Rect pic{};
    if (!KyPathGet3DMiniMaxRect(text.p, &params, bevel, wire ? t / 8.0 : 0.0, &pic))
        throw std::runtime_error("gallery: nothing to project");
    pic.left -= 2;
    pic.top -= 2;
    pic.right += 3;
    pic.bottom += 3;
    const int32_t w = std::min<int32_t>(pic.right - pic.left, 4 * t), h = std::min<int32_t>(pic.bottom - pic.top, 4 * t);
    // Centre the projection in the cell.
    const int ox = s.CellX(i) + (t - w) / 2, oy = s.CellY(i) + (t - h) / 2;
    if (!wire) {
        BufOwner out(KyPathBufAlloc(24, w, h, 1, 0, 0)), cover(KyPathBufAlloc(8, w, h, 1, 0, 0));
        if (!out.b || !cover.b) throw std::runtime_error("gallery: out of memory");
        const int32_t origin[2] = {pic.left, pic.top};
        const int32_t required = 1;
        if (!KyPathABufRender(text.p, &cam, out.b, &required, 0, origin, origin, 0xD07030, cover.b, nullptr, 0, 0, 0,
                              0, 0, 0, 0, 0, 0, bevel, 0, 0, 0, nullptr, 0))
            throw std::runtime_error("gallery: the A-buffer renderer failed");
        Lay(s, ox, oy, cover.b, Rgb{0, 0, 0}, out.b);
        return;
    }
    const Y32Rect shown{pic.left, pic.top, pic.left + w, pic.top + h};
    std::vector<uint8_t> rgb;
    if (!DrawWireFrame(text.p, scene, box, shown, t / 8.0, &rgb)) throw std::runtime_error("gallery: no wire frame");
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t *px = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            s.Blend(ox + x, oy + y, Rgb{px[0], px[1], px[2]}, 255);
        }
}

// Text wrapped on a predefined wrap: 101 copies of a figure round a
// circle, 105 a figure along a wave, 303 text on generated circles.
void WrapTile(Sheet &s, int i, int32_t type) {
    const int t = s.Tile();
    const bool text = type >= 200;
    const int em = text ? t / 9 : t / 7;
    PathOwner fig(TextPath(text ? "wrapped on circles all round" : (type == 101 ? "Ky" : "wave"), em, true));
    if (!fig.p) throw std::runtime_error("gallery: no text outlines");
    WrapInfo info{};
    const int32_t size = type == 101 ? t * 28 / 100 : (type == 105 ? t / 8 : 0);
    if (!KyPathGetPredefinedWrapInfo(&info, type, t / 2, t / 2, size))
        throw std::runtime_error("gallery: wrap preset " + std::to_string(type) + " is not available");
    PathOwner baseline(info.baseline);
    if (text) {
        // Text wraps read the font height from the low bits of the level.
        const uint64_t bits = static_cast<uint64_t>(em);
        std::memcpy(&info.baselineLevel, &bits, sizeof bits);
    }
    if (!KyPathWrap(&fig.p, &info)) throw std::runtime_error("gallery: wrap " + std::to_string(type) + " failed");
    Y32Rect r{};
    BufOwner mask(Rasterise(fig.p, 0, 1.0, &r));
    if (!mask.b) throw std::runtime_error("gallery: no mask of the wrapped figure");
    LayCentred(s, i, mask.b, Rgb{30, 100, 110});
}

// The editing view: the outline layer drawn into the table's overlay and
// composited onto the host's picture, then the node squares drawn on the
// window's device context.
void OverlayTile(Sheet &s, int i) {
    const int t = s.Tile();
    auto n = [t](double f) { return std::to_string(static_cast<int>(f * t)); };
    PathOwner path = ParsedPath("M" + n(0.15) + " " + n(0.75) + " C" + n(0.15) + " " + n(0.2) + " " + n(0.5) + " " +
                                n(0.1) + " " + n(0.55) + " " + n(0.45) + " C" + n(0.6) + " " + n(0.8) + " " + n(0.85) +
                                " " + n(0.8) + " " + n(0.85) + " " + n(0.3) + " L" + n(0.7) + " " + n(0.2) + " Z");
    PathTable *table = nullptr;
    CoordStruct *view = nullptr;
    struct Owner {
        PathTable *&table;
        CoordStruct *&view;
        ~Owner() {
            if (table) KyPathTblDelete(table);
            if (view) KyPathDeleteCoordStruct(view);
        }
    } owner{table, view};
    if (!KyPathNew(&table) || !KyPathCoordStruct(0, 0, t, t, 0, 0, 1.0, table, &view) || !view->lpDB)
        throw std::runtime_error("gallery: no table or view");
    Y32Rect out{};
    if (!KyPathDraw(view, path.p, &out)) throw std::runtime_error("gallery: the outline was not drawn");
    // The host's picture of the window: a soft gradient.
    std::vector<uint8_t> picture(static_cast<size_t>(t) * t * 3);
    for (int y = 0; y < t; ++y)
        for (int x = 0; x < t; ++x) {
            uint8_t *p = &picture[(static_cast<size_t>(y) * t + x) * 3];
            p[0] = static_cast<uint8_t>(150 + 100 * y / t);
            p[1] = static_cast<uint8_t>(200 + 50 * x / t);
            p[2] = static_cast<uint8_t>(240);
        }
    if (!KyPathPaintMem(0, 0, t, t, table, picture.data())) throw std::runtime_error("gallery: no overlay");
    HDC dc = y32CreateMemoryDC(t, t, 24);
    if (!dc) throw std::runtime_error("gallery: no device context");
    struct DcOwner {
        HDC dc;
        ~DcOwner() { y32DeleteMemoryDC(dc); }
    } dc_owner{dc};
    Y32DcBits bits{};
    y32GetMemoryDCBits(dc, &bits);
    for (int y = 0; y < t; ++y)
        std::memcpy(bits.bits + static_cast<size_t>(y) * bits.strideBytes, &picture[static_cast<size_t>(y) * t * 3],
                    static_cast<size_t>(t) * 3);
    KyPathDrawNodesTurnOn(1);
    if (!KyPathDrawNodes(dc, path.p, view)) throw std::runtime_error("gallery: the nodes were not drawn");
    for (int y = 0; y < t; ++y)
        for (int x = 0; x < t; ++x) {
            const uint8_t *px = bits.bits + static_cast<size_t>(y) * bits.strideBytes + x * 3;
            s.Blend(s.CellX(i) + x, s.CellY(i) + y, Rgb{px[2], px[1], px[0]}, 255);
        }
}

struct Tile {
    std::string label;
    std::function<void(Sheet &, int)> draw;
};

void RunGallery(const GalleryOptions &o) {
    const auto start = std::chrono::steady_clock::now();
    const int t = o.tile;
    PathOwner figure(Figure(t));
    Relief relief;
    BuildRelief(figure.p, std::max(3.0, t / 22.0), &relief);
    ShadingGammaToMap();

    std::vector<Tile> tiles;
    tiles.push_back({"text mask", TextMaskTile});
    tiles.push_back({"bevel (Phong)", [&](Sheet &s, int i) { ShadeTile(s, i, relief, "phong"); }});
    tiles.push_back({"multi-light + spot", [&](Sheet &s, int i) { ShadeTile(s, i, relief, "multi"); }});
    for (int m = 1; m <= 4; ++m)
        tiles.push_back({"metal " + std::to_string(m) + " (" + kMetalLooks[m - 1].name + ")", [&, m](Sheet &s, int i) { ShadeTile(s, i, relief, "metal", m); }});
    tiles.push_back({"reflection", [&](Sheet &s, int i) { ShadeTile(s, i, relief, "reflect"); }});
    tiles.push_back({"bump (texture)", [&](Sheet &s, int i) { ShadeTile(s, i, relief, "bump"); }});
    tiles.push_back({"glass", [&](Sheet &s, int i) { GlassTile(s, i, relief); }});
    tiles.push_back({"A-buffer solid", [](Sheet &s, int i) { SolidTile(s, i, false); }});
    tiles.push_back({"3D wire frame", [](Sheet &s, int i) { SolidTile(s, i, true); }});
    tiles.push_back({"bilinear envelope", [](Sheet &s, int i) { EnvelopeTile(s, i, false); }});
    tiles.push_back({"bi-Bezier envelope", [](Sheet &s, int i) { EnvelopeTile(s, i, true); }});
    tiles.push_back({"dash styles 1-7", DashTile});
    tiles.push_back({"fitted freehand curve", FitTile});
    tiles.push_back({"overlay + nodes", OverlayTile});
    for (int32_t type : {101, 105, 303})
        tiles.push_back({"wrap preset " + std::to_string(type), [type](Sheet &s, int i) { WrapTile(s, i, type); }});

    Sheet sheet(t, o.columns, static_cast<int>(tiles.size()));
    for (size_t i = 0; i < tiles.size(); ++i) {
        const int k = static_cast<int>(i);
        sheet.Fill(sheet.CellX(k), sheet.CellY(k), t, t + sheet.Label(), Rgb{255, 255, 255});
        tiles[i].draw(sheet, k);
        DrawLabel(sheet, k, tiles[i].label);
    }
    sheet.Write(o.output);
    if (!o.quiet) {
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %dx%d, %zu tiles of %d pixels, %.2f s\n", o.output.c_str(), sheet.Width(), sheet.Height(),
                    tiles.size(), t, secs);
    }
}

}  // namespace

void AddGalleryCommand(CLI::App &app) {
    auto opt = std::make_shared<GalleryOptions>();
    CLI::App *cmd = app.add_subcommand("gallery", "Draw a labelled contact sheet of what the library does, as PNG");
    cmd->footer(
        "Examples:\n"
        "  kypath gallery -o gallery.png\n"
        "  kypath gallery --tile 96 --columns 4 -o small.png");
    cmd->add_option("-o,--output", opt->output, "PNG file")->capture_default_str();
    cmd->add_option("--tile", opt->tile, "tile size in pixels")->check(CLI::Range(64, 1024))->capture_default_str();
    cmd->add_option("--columns", opt->columns, "tiles per row")->check(CLI::Range(1, 32))->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunGallery(*opt); });
}

}  // namespace kypath
