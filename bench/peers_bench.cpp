// Our fills, relief maps and shading beside the libraries people use for
// the same jobs, on the same input, in one single-threaded run; a ratio
// table (peer time / our time) closes the output.
//
// Scenes (coordinates for the 1024 size; the 2048 cases scale everything
// by 2, to check that cost grows with the pixels and no faster):
//  A  a 200-vertex star around (512, 512), radii 490 / 300 alternating;
//     three circles of four cubics: (300, 300) r 180, (720, 330) r 150, and
//     (512, 512) r 120 drawn the other way round (a hole under non-zero);
//     a self-crossing loop M(100, 900) C(900, 100 900, 1000 100, 300)
//     C(50, 500 400, 1000 100, 900) Z. Non-zero and even-odd.
//  B  the star polygon {199/83}: vertex i at angle 2 pi ((83 i) mod 199) /
//     199, radius 500, centre (512, 512). Non-zero and even-odd.
//  C  DejaVu Sans "@", about 1000 pixels high, centred.
//  D  relief of C's outline at bevel widths 8 and 32: the outline scan
//     (distance and integer vector maps) beside FreeType's SDF renderer at
//     the same spread; the mask builders on C's own 8-bit mask (both maps)
//     beside OpenCV's exact Euclidean distance transform of that mask.
//  E  Phong shading (one light, every pixel under the mask) of D's bevel
//     32 maps padded to a square image, beside a memcpy of that image.
//
// Fills are anti-aliased, cleared every round and single-threaded. Ours is
// KyPathToBuf (8-bit, 16 sub-scanlines; and the 32-bit 8x4 masks),
// allocation of the zeroed buffer and its arrays included. The peers fill
// a buffer of the same size at the same offset (the path's box, which is
// what KyPathToBuf makes), cleared with memset inside the loop:
//  - cairo: A8 image surface, CAIRO_ANTIALIAS_DEFAULT and _FAST;
//  - AGG: rasterizer_scanline_aa into gray8 through scanline_p8;
//  - FreeType: FT_Outline_Render, FT_RASTER_FLAG_AA, into a grey bitmap.
// Every renderer gets the same outline: lines as lines, curves as cubics
// (the glyph's conics raised to cubics once, outside the loops).
//
// Each peer is compiled only when the build found it (Y32_PEER_CAIRO,
// Y32_PEER_AGG, Y32_PEER_FREETYPE, Y32_PEER_OPENCV); without FreeType the
// glyph scenes C, D and E are left out. Times are CPU time per round (the
// machine is shared; wall time measures the neighbours as well).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "y32Path.h"

#ifdef Y32_PEER_CAIRO
#include <cairo.h>
#endif
#ifdef Y32_PEER_AGG
#include <agg_basics.h>
#include <agg_conv_curve.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_gray.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#endif
#ifdef Y32_PEER_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#endif
#ifdef Y32_PEER_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include "bench/bench_shapes.h"

namespace {

using namespace bench;

#ifdef Y32_PEER_FREETYPE
const char *const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
FT_Library g_ft = nullptr;
FT_Face g_face = nullptr;

// The "@" at one canvas size: FreeType's own glyph (for its SDF renderer)
// and the same outline as cubics in canvas pixels, y down, centred.
struct Glyph {
    FT_Glyph ft = nullptr;
    Shape shape;
};

std::map<int, Glyph> g_glyphs;  // by canvas size

void ReleaseFreeType() {
    for (auto &g : g_glyphs)
        if (g.second.ft) FT_Done_Glyph(g.second.ft);
    g_glyphs.clear();
    if (g_face) FT_Done_Face(g_face);
    if (g_ft) FT_Done_FreeType(g_ft);
    g_face = nullptr;
    g_ft = nullptr;
}

const Glyph *GlyphAt(int size) {
    std::map<int, Glyph> &cache = g_glyphs;
    auto it = cache.find(size);
    if (it != cache.end()) return it->second.ft ? &it->second : nullptr;
    Glyph &g = cache[size];
    if (!g_ft && FT_Init_FreeType(&g_ft)) return nullptr;
    if (!g_face && FT_New_Face(g_ft, kFontFile, 0, &g_face)) return nullptr;
    const double target = 1000.0 * size / 1024;
    const FT_Int32 load = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    FT_BBox box;
    if (FT_Set_Pixel_Sizes(g_face, 0, 1000) || FT_Load_Char(g_face, '@', load)) return nullptr;
    FT_Outline_Get_CBox(&g_face->glyph->outline, &box);
    const unsigned em = static_cast<unsigned>(1000.0 * target / ((box.yMax - box.yMin) / 64.0));
    if (FT_Set_Pixel_Sizes(g_face, 0, em) || FT_Load_Char(g_face, '@', load) || FT_Get_Glyph(g_face->glyph, &g.ft))
        return nullptr;
    FT_Outline &outline = reinterpret_cast<FT_OutlineGlyph>(g.ft)->outline;
    FT_Outline_Get_CBox(&outline, &box);
    const double w = (box.xMax - box.xMin) / 64.0, h = (box.yMax - box.yMin) / 64.0;
    AppendOutline(outline, &g.shape, (size - w) / 2 - box.xMin / 64.0, (size - h) / 2 + box.yMax / 64.0, 1.0);
    return &g;
}
#endif

Shape SceneC(double s) {
#ifdef Y32_PEER_FREETYPE
    const Glyph *g = GlyphAt(static_cast<int>(1024 * s));
    if (g) return g->shape;
#endif
    (void)s;
    return {};
}

enum class Scene { kA, kB, kC };
Shape Make(Scene scene, int size) {
    const double s = size / 1024.0;
    return scene == Scene::kA ? SceneA(s) : (scene == Scene::kB ? SceneB(s) : SceneC(s));
}
const char *SceneName(Scene s) { return s == Scene::kA ? "A" : (s == Scene::kB ? "B" : "C"); }

// ---- Fill cases. ------------------------------------------------------------

struct FillCase {
    Scene scene;
    bool even_odd;
    int size;
};

void Pixels(benchmark::State &state, double pixels) {
    state.counters["Mpx/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ours(benchmark::State &state, FillCase fc, int32_t format) {
    KyPath *p = ToKyPath(Make(fc.scene, fc.size));
    if (!p) {
        state.SkipWithError("no shape");
        return;
    }
    double pixels = 0;
    for (auto _ : state) {
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        if (KyPathToBuf(p, format, fc.even_odd ? 1 : 0, 1, 0, 65536, &rects, &bufs, 0) != 1) {
            state.SkipWithError("KyPathToBuf failed");
            break;
        }
        uint32_t w = 0, h = 0;
        KyPathBufGetWHU(bufs[0], &w, &h, nullptr);
        pixels = static_cast<double>(w) * h;
        benchmark::DoNotOptimize(static_cast<uint8_t *>(bufs[0])[w * (h / 2) + w / 2]);
        KyPathBufFree(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    Pixels(state, pixels);
    KyPathDeletePtr(p, 0);
}

#ifdef Y32_PEER_CAIRO
void BM_Cairo(benchmark::State &state, FillCase fc, cairo_antialias_t aa) {
    const Shape shape = Make(fc.scene, fc.size);
    const Frame f = FrameOf(shape);
    if (f.w <= 0 || f.h <= 0) {
        state.SkipWithError("no shape");
        return;
    }
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, f.w, f.h);
    cairo_t *cr = cairo_create(surface);
    cairo_set_fill_rule(cr, fc.even_odd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_set_antialias(cr, aa);
    unsigned char *data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (auto _ : state) {
        cairo_surface_flush(surface);
        std::memset(data, 0, static_cast<size_t>(stride) * f.h);
        cairo_surface_mark_dirty(surface);
        CairoPath(cr, shape, f.dx, f.dy);
        cairo_fill(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(data[stride * (f.h / 2) + f.w / 2]);
    }
    Pixels(state, static_cast<double>(f.w) * f.h);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
#endif

#ifdef Y32_PEER_AGG
void BM_Agg(benchmark::State &state, FillCase fc) {
    const Shape shape = Make(fc.scene, fc.size);
    const Frame f = FrameOf(shape);
    if (f.w <= 0 || f.h <= 0) {
        state.SkipWithError("no shape");
        return;
    }
    agg::path_storage path;
    for (const Contour &c : shape) {
        path.move_to(c.x0 + f.dx, c.y0 + f.dy);
        for (const Seg &g : c.segs) {
            if (g.line) path.line_to(g.x3 + f.dx, g.y3 + f.dy);
            else path.curve4(g.x1 + f.dx, g.y1 + f.dy, g.x2 + f.dx, g.y2 + f.dy, g.x3 + f.dx, g.y3 + f.dy);
        }
        path.close_polygon();
    }
    std::vector<agg::int8u> pixels(static_cast<size_t>(f.w) * f.h);
    agg::rendering_buffer rbuf(pixels.data(), static_cast<unsigned>(f.w), static_cast<unsigned>(f.h), f.w);
    agg::pixfmt_gray8 pixf(rbuf);
    agg::renderer_base<agg::pixfmt_gray8> base(pixf);
    agg::renderer_scanline_aa_solid<agg::renderer_base<agg::pixfmt_gray8>> ren(base);
    ren.color(agg::gray8(255));
    agg::rasterizer_scanline_aa<> ras;
    agg::scanline_p8 sl;
    for (auto _ : state) {
        std::memset(pixels.data(), 0, pixels.size());
        ras.reset();
        ras.filling_rule(fc.even_odd ? agg::fill_even_odd : agg::fill_non_zero);
        agg::conv_curve<agg::path_storage> curves(path);
        ras.add_path(curves);
        agg::render_scanlines(ras, sl, ren);
        benchmark::DoNotOptimize(pixels[static_cast<size_t>(f.w) * (f.h / 2) + f.w / 2]);
    }
    Pixels(state, static_cast<double>(f.w) * f.h);
}
#endif

#ifdef Y32_PEER_FREETYPE
void BM_FreeType(benchmark::State &state, FillCase fc) {
    const Shape shape = Make(fc.scene, fc.size);
    const Frame f = FrameOf(shape);
    if (!g_ft && FT_Init_FreeType(&g_ft)) g_ft = nullptr;
    FtShape ft(g_ft, shape, f, fc.even_odd);
    if (f.w <= 0 || f.h <= 0 || !ft.ok) {
        state.SkipWithError("no shape");
        return;
    }
    std::vector<unsigned char> pixels(static_cast<size_t>(f.w) * f.h);
    FT_Bitmap bitmap{};
    bitmap.rows = static_cast<unsigned>(f.h);
    bitmap.width = static_cast<unsigned>(f.w);
    bitmap.pitch = f.w;
    bitmap.buffer = pixels.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Raster_Params params{};
    params.target = &bitmap;
    params.flags = FT_RASTER_FLAG_AA;
    for (auto _ : state) {
        std::memset(pixels.data(), 0, pixels.size());
        if (FT_Outline_Render(g_ft, &ft.outline, &params)) {
            state.SkipWithError("FT_Outline_Render failed");
            break;
        }
        benchmark::DoNotOptimize(pixels[static_cast<size_t>(f.w) * (f.h / 2) + f.w / 2]);
    }
    Pixels(state, static_cast<double>(f.w) * f.h);
}

// ---- Relief (D). ------------------------------------------------------------

// C's 8-bit mask, as KyPathToBuf makes it: the map frame of the glyph.
PathBuf GlyphMask(KyPath *p, Y32Rect *where) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    if (KyPathToBuf(p, 0, 0, 1, 0, 65536, &rects, &bufs, 0) != 1) return nullptr;
    PathBuf mask = bufs[0];
    if (where) *where = rects[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    return mask;
}

void BM_Relief(benchmark::State &state, int size, double width, bool from_mask) {
    const Glyph *g = GlyphAt(size);
    KyPath *p = g ? ToKyPath(g->shape) : nullptr;
    if (!p) {
        state.SkipWithError("no glyph");
        return;
    }
    PathBuf mask = from_mask ? GlyphMask(p, nullptr) : nullptr;
    double pixels = 0;
    for (auto _ : state) {
        PathBuf dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
        double w = width;
        if (!KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &w, 0, mask ? 1 : 0, mask, nullptr, 65536)) {
            state.SkipWithError("KyPathVMap failed");
            break;
        }
        uint32_t mw = 0, mh = 0;
        KyPathBufGetWHU(dist, &mw, &mh, nullptr);
        pixels = static_cast<double>(mw) * mh;
        benchmark::DoNotOptimize(static_cast<float *>(dist)[mw * (mh / 2) + mw / 2]);
        KyPathBufFree(dist);
        KyPathBufFree(vec);
    }
    Pixels(state, pixels);
    if (mask) KyPathBufFree(mask);
    KyPathDeletePtr(p, 0);
}

void BM_FreeTypeSdf(benchmark::State &state, int size, int spread) {
    const Glyph *g = GlyphAt(size);
    if (!g || FT_Property_Set(g_ft, "sdf", "spread", &spread)) {
        state.SkipWithError("FreeType SDF unavailable");
        return;
    }
    double pixels = 0;
    for (auto _ : state) {
        FT_Glyph copy = nullptr;
        if (FT_Glyph_Copy(g->ft, &copy) || FT_Glyph_To_Bitmap(&copy, FT_RENDER_MODE_SDF, nullptr, 1)) {
            state.SkipWithError("FT_Glyph_To_Bitmap failed");
            break;
        }
        const FT_Bitmap &bm = reinterpret_cast<FT_BitmapGlyph>(copy)->bitmap;
        pixels = static_cast<double>(bm.rows) * bm.width;
        benchmark::DoNotOptimize(bm.buffer[bm.pitch * (bm.rows / 2) + bm.width / 2]);
        FT_Done_Glyph(copy);
    }
    Pixels(state, pixels);
}

#ifdef Y32_PEER_OPENCV
void BM_OpenCvDistance(benchmark::State &state, int size) {
    const Glyph *g = GlyphAt(size);
    KyPath *p = g ? ToKyPath(g->shape) : nullptr;
    PathBuf mask = p ? GlyphMask(p, nullptr) : nullptr;
    if (p) KyPathDeletePtr(p, 0);
    if (!mask) {
        state.SkipWithError("no mask");
        return;
    }
    uint32_t w = 0, h = 0;
    KyPathBufGetWHU(mask, &w, &h, nullptr);
    cv::setNumThreads(1);
    const cv::Mat src(static_cast<int>(h), static_cast<int>(w), CV_8UC1, mask);
    cv::Mat dist;
    for (auto _ : state) {
        cv::distanceTransform(src, dist, cv::DIST_L2, cv::DIST_MASK_PRECISE);
        benchmark::DoNotOptimize(dist.at<float>(static_cast<int>(h / 2), static_cast<int>(w / 2)));
    }
    Pixels(state, static_cast<double>(w) * h);
    KyPathBufFree(mask);
}
#endif

// ---- Shading (E). -----------------------------------------------------------

// D's bevel-32 maps and C's mask placed in a square image of `size`
// pixels (the maps' frame at the glyph's place), every pixel under a full
// mask so each one goes through the shader.
struct ShadeScene {
    uint32_t n = 0;
    PathBuf image = nullptr, dist = nullptr, vec = nullptr, mask = nullptr;
    bool ok = false;
    explicit ShadeScene(int size) : n(static_cast<uint32_t>(size)) {
        const Glyph *g = GlyphAt(size);
        KyPath *p = g ? ToKyPath(g->shape) : nullptr;
        if (!p) return;
        Y32Rect at{};
        PathBuf glyph_mask = GlyphMask(p, &at);
        PathBuf d = reinterpret_cast<PathBuf>(1), v = reinterpret_cast<PathBuf>(1);
        double w = 32;
        const bool maps = KyPathVMap(p, &d, &v, 0, 0, 0, 0, 0, &w, 0, 0, nullptr, nullptr, 65536) != 0;
        KyPathDeletePtr(p, 0);
        uint32_t mw = 0, mh = 0, kw = 0, kh = 0;
        if (maps) KyPathBufGetWHU(d, &mw, &mh, nullptr);
        if (glyph_mask) KyPathBufGetWHU(glyph_mask, &kw, &kh, nullptr);
        image = KyPathBufAlloc(24, n, n, 1, 0, 0);
        dist = KyPathBufAlloc(32, n, n, 1, 0, 0);
        vec = KyPathBufAlloc(64, n, n, 1, 0, 0);
        mask = KyPathBufAlloc(8, n, n, 1, 0, 0);
        ok = maps && glyph_mask && image && dist && vec && mask && mw == kw && mh == kh && at.left >= 0 &&
             at.top >= 0 && at.left + mw <= n && at.top + mh <= n;
        if (ok) {
            std::memset(mask, 255, static_cast<size_t>(n) * n);
            for (size_t i = 0; i < static_cast<size_t>(n) * n; ++i) {
                uint8_t *px = static_cast<uint8_t *>(image) + i * 3;
                px[0] = 200, px[1] = 120, px[2] = 60;
            }
            for (uint32_t y = 0; y < mh; ++y) {
                const size_t to = (static_cast<size_t>(y) + at.top) * n + at.left, from = static_cast<size_t>(y) * mw;
                std::memcpy(static_cast<uint8_t *>(dist) + to * 4, static_cast<uint8_t *>(d) + from * 4, mw * 4);
                std::memcpy(static_cast<uint8_t *>(vec) + to * 8, static_cast<uint8_t *>(v) + from * 8, mw * 8);
            }
        }
        if (maps) {
            KyPathBufFree(d);
            KyPathBufFree(v);
        }
        if (glyph_mask) KyPathBufFree(glyph_mask);
    }
    ~ShadeScene() {
        for (PathBuf b : {image, dist, vec, mask})
            if (b) KyPathBufFree(b);
    }
};

void BM_Phong(benchmark::State &state, int size) {
    KyPathInit();
    ShadingGammaToMap();
    ShadeScene s(size);
    if (!s.ok) {
        state.SkipWithError("no maps");
        return;
    }
    const double d = 0.5773502;
    for (auto _ : state) {
        const int32_t ok = KyPathShadePhong(s.image, 32, 0, 0, 0, 0, s.dist, s.vec, 0, s.mask, nullptr, 0, 50, 50, -d,
                                            -d, d, 0, 0, 0, nullptr);
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    Pixels(state, static_cast<double>(s.n) * s.n);
}
#endif  // Y32_PEER_FREETYPE

[[maybe_unused]] void BM_Memcpy(benchmark::State &state, int size) {  // beside Phong, which needs the glyph
    std::vector<uint8_t> a(static_cast<size_t>(size) * size * 3, 7), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    Pixels(state, static_cast<double>(size) * size);
}

// ---- The ratio table. -------------------------------------------------------

class TimesReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> ms;  // CPU milliseconds per round
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred && r.iterations > 0)
                ms[r.benchmark_name()] = r.cpu_accumulated_time * 1e3 / static_cast<double>(r.iterations);
    }
    double Get(const std::string &name) const {
        auto it = ms.find(name);
        return it == ms.end() ? -1.0 : it->second;
    }
};

// "peer / ours" as text, or "-" when either is missing.
std::string Ratio(double peer, double ours) {
    if (peer <= 0 || ours <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", peer / ours);
    return text;
}
std::string Ms(double v) {
    if (v <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, v < 10 ? "%.3f" : "%.1f", v);
    return text;
}

void PrintTables(const TimesReporter &t, const std::vector<std::string> &fills) {
    std::printf("\nFills, 1024 px: our ms, then peer time / our time (above 1: we are faster)\n\n");
    std::printf("| scene | ours ms | cairo default | cairo fast | AGG | FreeType | best peer | 8x4 ms | cairo fast / 8x4 "
                "| ours 2048/1024 |\n|---|---|---|---|---|---|---|---|---|---|\n");
    for (const std::string &c : fills) {
        const std::string at = c + "_1024/";
        const double ours = t.Get(at + "ours_8bit"), ours32 = t.Get(at + "ours_8x4");
        double best = -1;
        for (const char *peer : {"cairo_default", "cairo_fast", "agg", "freetype"}) {
            const double v = t.Get(at + peer);
            if (v > 0 && (best < 0 || v < best)) best = v;
        }
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.c_str(), Ms(ours).c_str(),
                    Ratio(t.Get(at + "cairo_default"), ours).c_str(), Ratio(t.Get(at + "cairo_fast"), ours).c_str(),
                    Ratio(t.Get(at + "agg"), ours).c_str(), Ratio(t.Get(at + "freetype"), ours).c_str(),
                    Ratio(best, ours).c_str(), Ms(ours32).c_str(), Ratio(t.Get(at + "cairo_fast"), ours32).c_str(),
                    Ratio(t.Get(c + "_2048/ours_8bit"), ours).c_str());
    }
    std::printf("\nRelief of C (D), both maps: our ms, then peer time / our time\n\n");
    std::printf("| bevel | size | outline scan ms | FreeType SDF / scan | mask builders ms | OpenCV exact DT / mask "
                "| scan 2048/1024 | mask 2048/1024 |\n|---|---|---|---|---|---|---|---|\n");
    for (int w : {8, 32})
        for (int n : {1024, 2048}) {
            const std::string at = "D_w" + std::to_string(w) + "_" + std::to_string(n) + "/";
            const std::string at1 = "D_w" + std::to_string(w) + "_1024/";
            const double scan = t.Get(at + "ours_scan"), mask = t.Get(at + "ours_mask");
            std::printf("| %d | %d | %s | %s | %s | %s | %s | %s |\n", w, n, Ms(scan).c_str(),
                        Ratio(t.Get(at + "freetype_sdf"), scan).c_str(), Ms(mask).c_str(),
                        Ratio(t.Get(at + "opencv_dt"), mask).c_str(),
                        n == 2048 ? Ratio(scan, t.Get(at1 + "ours_scan")).c_str() : "",
                        n == 2048 ? Ratio(mask, t.Get(at1 + "ours_mask")).c_str() : "");
        }
    std::printf("\nPhong of D's maps (E), every pixel shaded: memcpy time / Phong time is the share of memcpy "
                "throughput\n\n| size | Phong ms | memcpy ms | share of memcpy | Phong 2048/1024 |\n|---|---|---|---|---|\n");
    for (int n : {1024, 2048}) {
        const std::string at = "E_" + std::to_string(n) + "/";
        const double phong = t.Get(at + "ours_phong");
        std::printf("| %d | %s | %s | %s | %s |\n", n, Ms(phong).c_str(), Ms(t.Get(at + "memcpy")).c_str(),
                    Ratio(t.Get(at + "memcpy"), phong).c_str(),
                    n == 2048 ? Ratio(phong, t.Get("E_1024/ours_phong")).c_str() : "");
    }
}

}  // namespace

int main(int argc, char **argv) {
    auto reg = [](const std::string &name, auto fn, auto... args) {
        benchmark::RegisterBenchmark(name.c_str(), fn, args...)->Unit(benchmark::kMillisecond);
    };
    struct Row {
        Scene scene;
        bool even_odd;
    };
    const Row rows[] = {{Scene::kA, false}, {Scene::kA, true}, {Scene::kB, false}, {Scene::kB, true},
                        {Scene::kC, false}};
    std::vector<std::string> fills;
    for (const Row &row : rows) {
        const std::string scene = std::string(SceneName(row.scene)) + (row.even_odd ? "_evenodd" : "_nonzero");
        fills.push_back(scene);
        for (int size : {1024, 2048}) {
            const FillCase fc{row.scene, row.even_odd, size};
            const std::string at = scene + "_" + std::to_string(size) + "/";
            reg(at + "ours_8bit", BM_Ours, fc, int32_t{0});
            if (size == 1024) reg(at + "ours_8x4", BM_Ours, fc, int32_t{4});
#ifdef Y32_PEER_CAIRO
            reg(at + "cairo_default", BM_Cairo, fc, CAIRO_ANTIALIAS_DEFAULT);
            reg(at + "cairo_fast", BM_Cairo, fc, CAIRO_ANTIALIAS_FAST);
#endif
#ifdef Y32_PEER_AGG
            reg(at + "agg", BM_Agg, fc);
#endif
#ifdef Y32_PEER_FREETYPE
            reg(at + "freetype", BM_FreeType, fc);
#endif
        }
    }
#ifdef Y32_PEER_FREETYPE
    for (int w : {8, 32})
        for (int size : {1024, 2048}) {
            const std::string at = "D_w" + std::to_string(w) + "_" + std::to_string(size) + "/";
            reg(at + "ours_scan", BM_Relief, size, double(w), false);
            reg(at + "freetype_sdf", BM_FreeTypeSdf, size, w);
            reg(at + "ours_mask", BM_Relief, size, double(w), true);
#ifdef Y32_PEER_OPENCV
            reg(at + "opencv_dt", BM_OpenCvDistance, size);
#endif
        }
    for (int size : {1024, 2048}) {
        const std::string at = "E_" + std::to_string(size) + "/";
        reg(at + "ours_phong", BM_Phong, size);
        reg(at + "memcpy", BM_Memcpy, size);
    }
#endif
    benchmark::Initialize(&argc, argv);
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTables(reporter, fills);
#ifdef Y32_PEER_FREETYPE
    ReleaseFreeType();
#endif
    benchmark::Shutdown();
    return 0;
}
