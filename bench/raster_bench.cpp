// Fill speed of KyPathToBuf against cairo and FreeType's grey rasteriser.
//
// The same three shapes at the same size, in one run: a 200-point star, a
// circle of four cubics and a page of glyph outlines (DejaVu Sans through
// FreeType, laid out to fill the square), each at 256 and 2048 pixels.
//  - kypath:   KyPathToBuf, 8-bit, anti-aliased (16 sub-scanlines), nonzero,
//              including the buffer allocation and the arrays it returns
//              (that is what a caller pays).
//  - cairo:    an A8 image surface of the same size, default antialias,
//              winding rule; cleared and the path rebuilt every round.
//  - freetype: FT_Outline_Render into an 8-bit grey bitmap of the same
//              size, cleared every round; the outline is prepared once.
// Shapes are built outside the timed loops. After the benchmark table a
// summary prints every time as a ratio to cairo (below 1.0: faster).
//
// Then the three scenes the fill is tuned on, at 1024 and 2048 (the 2048
// scene is the 1024 one scaled by two), each with both fill rules where
// they differ: A, a 200-point star with three circles of four cubics (the
// middle one turning the other way) and a self-crossing loop; B, the star
// polygon {199/83}; C, the DejaVu Sans at-sign about 1000 pixels high
// (scaled with the canvas). Beside the 8-bit fill: the 32-bit 8x4 masks
// (kypath32), cairo with its default antialias and with its fast 4x4
// sampling (cairofast).
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_shapes.h"
#include "y32Path.h"

namespace {

using namespace bench;

const char *const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

Shape Star(double size) {
    Contour c;
    const int n = 200;
    double cx = size / 2, cy = size / 2;
    for (int i = 0; i < n; ++i) {
        double r = (i % 2 ? 0.38 : 0.48) * size, a = 2 * M_PI * i / n;
        double x = cx + r * std::cos(a), y = cy + r * std::sin(a);
        if (i == 0) {
            c.x0 = x;
            c.y0 = y;
        } else {
            c.segs.push_back({true, 0, 0, 0, 0, x, y});
        }
    }
    c.segs.push_back({true, 0, 0, 0, 0, c.x0, c.y0});
    return {c};
}

Shape CircleCase(double size) { return {Circle(size / 2, size / 2, size * 0.48, false)}; }

FT_Library g_ft = nullptr;
FT_Face g_face = nullptr;

bool InitFreeType() {
    if (g_face) return true;
    if (FT_Init_FreeType(&g_ft)) return false;
    if (FT_New_Face(g_ft, kFontFile, 0, &g_face)) return false;
    return FT_Set_Char_Size(g_face, 0, 64 * 64, 72, 72) == 0;  // 64 px em, scaled later
}

const char *const kPageText[] = {
    "The quick brown fox jumps over the lazy dog.",  "Pack my box with five dozen liquor jugs, and",
    "sphinx of black quartz, judge my vow. Vector",   "paths in sixteen-dot-sixteen fixed point are",
    "flattened by forward differencing, sorted by",  "crossing and filled with exact horizontal",
    "coverage: 0123456789 (){}[] @#$%&*+-=/\\<>?!", "How vexingly quick daft zebras jump; the five",
    "boxing wizards jump quickly. Jackdaws love my",  "big sphinx of quartz. Waltz, bad nymph, for",
    "quick jigs vex. Glib jocks quiz nymph to vex",   "dwarf. Bright vixens jump; dozy fowl quack.",
};

Shape Page(double size) {
    Shape shape;
    if (!InitFreeType()) return shape;
    const int lines = sizeof kPageText / sizeof kPageText[0];
    double line_height = size / lines;
    double scale = line_height / 64.0 * 0.8;  // em 64 px -> 80% of a line
    for (int l = 0; l < lines; ++l) {
        double x = 2;
        for (const char *ch = kPageText[l]; *ch; ++ch) {
            if (FT_Load_Char(g_face, static_cast<FT_ULong>(*ch), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) continue;
            AppendOutline(g_face->glyph->outline, &shape, x, (l + 0.8) * line_height, scale);
            x += g_face->glyph->advance.x / 64.0 * scale;
        }
    }
    return shape;
}

// The at-sign, about 1000/1024 of the canvas high, centred.
Shape SceneC(double size) {
    Shape shape;
    if (!InitFreeType()) return shape;
    if (FT_Load_Char(g_face, '@', FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) return shape;
    FT_BBox box;
    FT_Outline_Get_CBox(&g_face->glyph->outline, &box);
    const double scale = 1000.0 / 1024 * size / ((box.yMax - box.yMin) / 64.0);
    const double w = (box.xMax - box.xMin) / 64.0 * scale, h = (box.yMax - box.yMin) / 64.0 * scale;
    AppendOutline(g_face->glyph->outline, &shape, (size - w) / 2 - box.xMin / 64.0 * scale,
                  (size - h) / 2 + box.yMax / 64.0 * scale, scale);
    return shape;
}

enum class Kind { kStar, kCircle, kPage, kSceneA, kSceneB, kSceneC };
const char *KindName(Kind k) {
    switch (k) {
    case Kind::kStar: return "star200";
    case Kind::kCircle: return "circle4cubics";
    case Kind::kPage: return "glyph_page";
    case Kind::kSceneA: return "A";
    case Kind::kSceneB: return "B";
    default: return "C";
    }
}
Shape Make(Kind k, double size) {
    switch (k) {
    case Kind::kStar: return Star(size);
    case Kind::kCircle: return CircleCase(size);
    case Kind::kPage: return Page(size);
    case Kind::kSceneA: return SceneA(size / 1024);
    case Kind::kSceneB: return SceneB(size / 1024);
    default: return SceneC(size);
    }
}

// What one case fills: the rule and, for KyPathToBuf, the mask format
// (0: 8-bit, 4: 32-bit 8x4).
struct Fill {
    bool even_odd = false;
    int32_t format = 0;
    cairo_antialias_t aa = CAIRO_ANTIALIAS_DEFAULT;
};

void BM_KyPath(benchmark::State &state, Kind kind, int size, Fill fill) {
    KyPath *p = ToKyPath(Make(kind, size));
    int64_t pixels = 0;
    for (auto _ : state) {
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        int32_t n = KyPathToBuf(p, fill.format, fill.even_odd ? 1 : 0, 1, 0, 65536, &rects, &bufs, 0);
        if (n != 1) {
            state.SkipWithError("KyPathToBuf failed");
            break;
        }
        uint32_t w = 0, h = 0;
        KyPathBufGetWHU(bufs[0], &w, &h, nullptr);
        pixels = int64_t{w} * h;
        benchmark::DoNotOptimize(static_cast<uint8_t *>(bufs[0])[(w * (h / 2) + w / 2) * (fill.format == 4 ? 4 : 1)]);
        KyPathBufFree(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate);
    KyPathDeletePtr(p, 0);
}

void BM_Cairo(benchmark::State &state, Kind kind, int size, Fill fill) {
    Shape s = Make(kind, size);
    Frame f = FrameOf(s);
    int w = f.w, h = f.h;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t *cr = cairo_create(surface);
    cairo_set_fill_rule(cr, fill.even_odd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_set_antialias(cr, fill.aa);
    unsigned char *data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (auto _ : state) {
        cairo_surface_flush(surface);
        std::memset(data, 0, static_cast<size_t>(stride) * h);
        cairo_surface_mark_dirty(surface);
        CairoPath(cr, s, f.dx, f.dy);
        cairo_fill(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(data[stride * (h / 2) + w / 2]);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(w) * h, benchmark::Counter::kIsIterationInvariantRate);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BM_FreeType(benchmark::State &state, Kind kind, int size) {
    Shape s = Make(kind, size);
    Frame f = FrameOf(s);
    int w = f.w, h = f.h;
    FtShape ft(InitFreeType() ? g_ft : nullptr, s, f, false);
    if (!ft.ok) {
        state.SkipWithError("FreeType unavailable");
        return;
    }
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h);
    FT_Bitmap bitmap{};
    bitmap.rows = static_cast<unsigned>(h);
    bitmap.width = static_cast<unsigned>(w);
    bitmap.pitch = w;
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
        benchmark::DoNotOptimize(pixels[static_cast<size_t>(w) * (h / 2) + w / 2]);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(w) * h, benchmark::Counter::kIsIterationInvariantRate);
}

// Collects the times to print the ratios after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // name -> CPU time per iteration: CPU time, because the build machine is
    // shared and wall time there measures the neighbours as much as us.
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
};

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> cases;
    auto add = [&](Kind k, int s, bool even_odd, bool freetype, bool scene) {
        std::string base = scene ? std::string("fill_") + KindName(k) + (even_odd ? "_evenodd_" : "_nonzero_") +
                                       std::to_string(s)
                                 : std::string("fill_") + KindName(k) + "_aa_" + std::to_string(s);
        cases.push_back(base);
        Fill f;
        f.even_odd = even_odd;
        benchmark::RegisterBenchmark((base + "/kypath").c_str(), BM_KyPath, k, s, f)->Unit(benchmark::kMicrosecond);
        if (scene) {
            Fill m = f;
            m.format = 4;
            benchmark::RegisterBenchmark((base + "/kypath32").c_str(), BM_KyPath, k, s, m)
                ->Unit(benchmark::kMicrosecond);
        }
        benchmark::RegisterBenchmark((base + "/cairo").c_str(), BM_Cairo, k, s, f)->Unit(benchmark::kMicrosecond);
        if (scene) {
            Fill fast = f;
            fast.aa = CAIRO_ANTIALIAS_FAST;
            benchmark::RegisterBenchmark((base + "/cairofast").c_str(), BM_Cairo, k, s, fast)
                ->Unit(benchmark::kMicrosecond);
        }
        if (freetype)
            benchmark::RegisterBenchmark((base + "/freetype").c_str(), BM_FreeType, k, s)
                ->Unit(benchmark::kMicrosecond);
    };
    for (Kind k : {Kind::kStar, Kind::kCircle, Kind::kPage})
        for (int s : {256, 2048}) add(k, s, false, true, false);
    for (int s : {1024, 2048}) {
        for (Kind k : {Kind::kSceneA, Kind::kSceneB})
            for (bool eo : {false, true}) add(k, s, eo, false, true);
        add(Kind::kSceneC, s, false, false, true);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nTime relative to cairo (lower is faster); ms per fill in brackets:\n");
    std::printf("%-28s %16s %16s %16s %16s %16s\n", "case", "kypath", "kypath32", "cairo", "cairofast", "freetype");
    for (const std::string &c : cases) {
        auto cairo = reporter.times.find(c + "/cairo");
        if (cairo == reporter.times.end() || cairo->second <= 0) continue;
        std::printf("%-28s", c.c_str());
        for (const char *who : {"kypath", "kypath32", "cairo", "cairofast", "freetype"}) {
            auto it = reporter.times.find(c + "/" + who);
            if (it == reporter.times.end()) std::printf(" %16s", "-");
            else std::printf(" %6.2f (%6.3f)", it->second / cairo->second, it->second / 1e3);
        }
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
