// Relief maps: KyPathVMap on a 200-point star and on a glyph outline at
// 512 x 512, beside FreeType's signed distance field renderer.
//
// Cases (items per second are map pixels):
//  - relief_<shape>_512_w<W>/scan_dist   the outline scan, distance map only
//  - .../scan_maps                        the outline scan, both maps
//                                         (integer vectors, second vectors)
//  - .../mask_maps                        the mask builders on the path's
//                                         own mask (made outside the loop)
//  - .../ft_sdf                           FT_RENDER_MODE_SDF of the same
//                                         glyph with spread W (glyph only)
// Shapes and masks are built outside the timed loops. The glyph is '&' of
// DejaVu Sans scaled to 480 pixels high, given to both libraries as the
// same outline (cubic segments from FreeType's conic ones). After the
// table a summary prints each time relative to FreeType's SDF of the same
// width (below 1.0: faster), by CPU time (the machine is shared).
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_MODULE_H
#include FT_OUTLINE_H

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "y32Path.h"

namespace {

const char *const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kSize = 512;

FT_Library g_ft = nullptr;
FT_Face g_face = nullptr;
FT_Glyph g_glyph = nullptr;  // the glyph outline, scaled
double g_glyph_top = 0;      // its box top in pixels (y up)
double g_glyph_left = 0;

bool InitGlyph() {
    if (g_glyph) return true;
    if (FT_Init_FreeType(&g_ft) || FT_New_Face(g_ft, kFontFile, 0, &g_face)) return false;
    // Size the em so the glyph's box is 480 pixels high.
    if (FT_Set_Pixel_Sizes(g_face, 0, 480) || FT_Load_Char(g_face, '&', FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
        return false;
    FT_BBox box;
    FT_Outline_Get_CBox(&g_face->glyph->outline, &box);
    double height = (box.yMax - box.yMin) / 64.0;
    unsigned em = static_cast<unsigned>(480.0 * 480.0 / height);
    if (FT_Set_Pixel_Sizes(g_face, 0, em) || FT_Load_Char(g_face, '&', FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) ||
        FT_Get_Glyph(g_face->glyph, &g_glyph))
        return false;
    FT_Outline_Get_CBox(&reinterpret_cast<FT_OutlineGlyph>(g_glyph)->outline, &box);
    g_glyph_top = box.yMax / 64.0;
    g_glyph_left = box.xMin / 64.0;
    return true;
}

// ---- Paths. ---------------------------------------------------------------

void Add(KyPath **p, double x, double y, uint32_t type) {
    FIXED xy[2] = {DbToFix(x), DbToFix(y)};
    KyPathAddPoint(p, xy, type);
}

KyPath *Star() {
    KyPathInit();
    KyPath *p = KyPathCreate();
    const int n = 200;
    const double c = kSize / 2.0;
    for (int i = 0; i <= n; ++i) {
        double r = (i % 2 ? 0.38 : 0.48) * kSize, a = 2 * M_PI * (i % n) / n;
        Add(&p, c + r * std::cos(a), c + r * std::sin(a), i == 0 ? PT_MOVETO : (i == n ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO));
    }
    return p;
}

// The glyph's outline as one group of records, y down, its box at (16, 16).
// KyPathAddPoint may move a record as it grows, so the records are kept in
// a list and linked once they are complete.
struct Builder {
    std::vector<KyPath *> records;
    double cx = 0, cy = 0;
    double X(const FT_Vector *v) const { return v->x / 64.0 - g_glyph_left + 16; }
    double Y(const FT_Vector *v) const { return g_glyph_top - v->y / 64.0 + 16; }
    void Put(double x, double y, uint32_t type) { Add(&records.back(), x, y, type); }
};
int MoveTo(const FT_Vector *to, void *user) {
    auto *b = static_cast<Builder *>(user);
    b->records.push_back(KyPathCreate());
    b->cx = b->X(to);
    b->cy = b->Y(to);
    b->Put(b->cx, b->cy, PT_MOVETO);
    return 0;
}
int LineTo(const FT_Vector *to, void *user) {
    auto *b = static_cast<Builder *>(user);
    b->cx = b->X(to);
    b->cy = b->Y(to);
    b->Put(b->cx, b->cy, PT_LINETO);
    return 0;
}
int ConicTo(const FT_Vector *c, const FT_Vector *to, void *user) {
    auto *b = static_cast<Builder *>(user);
    double qx = b->X(c), qy = b->Y(c), ex = b->X(to), ey = b->Y(to);
    b->Put(b->cx + 2.0 / 3 * (qx - b->cx), b->cy + 2.0 / 3 * (qy - b->cy), PT_BEZIERTO);
    b->Put(ex + 2.0 / 3 * (qx - ex), ey + 2.0 / 3 * (qy - ey), PT_BEZIERTO);
    b->Put(ex, ey, PT_BEZIERTO);
    b->cx = ex;
    b->cy = ey;
    return 0;
}
int CubicTo(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user) {
    auto *b = static_cast<Builder *>(user);
    b->Put(b->X(c1), b->Y(c1), PT_BEZIERTO);
    b->Put(b->X(c2), b->Y(c2), PT_BEZIERTO);
    b->cx = b->X(to);
    b->cy = b->Y(to);
    b->Put(b->cx, b->cy, PT_BEZIERTO);
    return 0;
}

KyPath *Glyph() {
    KyPathInit();
    if (!InitGlyph()) return nullptr;
    Builder b;
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    FT_Outline_Decompose(&reinterpret_cast<FT_OutlineGlyph>(g_glyph)->outline, &funcs, &b);
    std::vector<KyPath *> &r = b.records;
    for (size_t i = 0; i < r.size(); ++i) {
        KyPathPoints(r[i])[r[i]->count - 1].type |= PT_CLOSEFIGURE;
        r[i]->prev = r[i]->groupPrev = i ? r[i - 1] : nullptr;
        r[i]->next = r[i]->groupNext = i + 1 < r.size() ? r[i + 1] : nullptr;
    }
    return r.empty() ? nullptr : r[0];
}

// ---- Cases. ---------------------------------------------------------------

enum class Shape { kStar, kGlyph };
enum class Mode { kScanDist, kScanMaps, kMaskMaps };

void BM_VMap(benchmark::State &state, Shape shape, Mode mode, double width) {
    KyPath *p = shape == Shape::kStar ? Star() : Glyph();
    if (!p) {
        state.SkipWithError("no shape");
        return;
    }
    PathBuf mask = nullptr;
    if (mode == Mode::kMaskMaps) {
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        if (KyPathToBuf(p, 0, 0, 1, 0, 65536, &rects, &bufs, 0) != 1) {
            state.SkipWithError("no mask");
            return;
        }
        mask = bufs[0];
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    int64_t pixels = 0;
    for (auto _ : state) {
        PathBuf dist = reinterpret_cast<PathBuf>(1);
        PathBuf vec = mode == Mode::kScanDist ? nullptr : reinterpret_cast<PathBuf>(1);
        double w = width;
        if (!KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &w, 0, mask ? 1 : 0, mask, nullptr, 65536)) {
            state.SkipWithError("KyPathVMap failed");
            break;
        }
        uint32_t mw = 0, mh = 0;
        KyPathBufGetWHU(dist, &mw, &mh, nullptr);
        pixels = int64_t{mw} * mh;
        benchmark::DoNotOptimize(static_cast<float *>(dist)[mw * (mh / 2) + mw / 2]);
        KyPathBufFree(dist);
        if (vec) KyPathBufFree(vec);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate);
    if (mask) KyPathBufFree(mask);
    KyPathDeletePtr(p, 0);
}

void BM_FreeTypeSdf(benchmark::State &state, int spread) {
    if (!InitGlyph() || FT_Property_Set(g_ft, "sdf", "spread", &spread)) {
        state.SkipWithError("FreeType SDF unavailable");
        return;
    }
    int64_t pixels = 0;
    for (auto _ : state) {
        FT_Glyph g = nullptr;
        if (FT_Glyph_Copy(g_glyph, &g) || FT_Glyph_To_Bitmap(&g, FT_RENDER_MODE_SDF, nullptr, 1)) {
            state.SkipWithError("FT_Glyph_To_Bitmap failed");
            break;
        }
        FT_Bitmap &bm = reinterpret_cast<FT_BitmapGlyph>(g)->bitmap;
        pixels = int64_t{bm.rows} * bm.width;
        benchmark::DoNotOptimize(bm.buffer[bm.pitch * (bm.rows / 2) + bm.width / 2]);
        FT_Done_Glyph(g);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate);
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> times;  // CPU time per iteration
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
};

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> glyph_cases;
    for (int w : {8, 32}) {
        for (Shape s : {Shape::kStar, Shape::kGlyph}) {
            std::string base = std::string("relief_") + (s == Shape::kStar ? "star200" : "glyph") + "_512_w" +
                               std::to_string(w);
            benchmark::RegisterBenchmark((base + "/scan_dist").c_str(), BM_VMap, s, Mode::kScanDist, w)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((base + "/scan_maps").c_str(), BM_VMap, s, Mode::kScanMaps, w)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((base + "/mask_maps").c_str(), BM_VMap, s, Mode::kMaskMaps, w)
                ->Unit(benchmark::kMillisecond);
            if (s == Shape::kGlyph) {
                benchmark::RegisterBenchmark((base + "/ft_sdf").c_str(), BM_FreeTypeSdf, w)->Unit(benchmark::kMillisecond);
                glyph_cases.push_back(base);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nTime relative to FreeType's SDF of the same glyph and spread (lower is faster):\n");
    std::printf("%-24s %10s %10s %10s %10s\n", "case", "scan_dist", "scan_maps", "mask_maps", "ft_sdf");
    for (const std::string &c : glyph_cases) {
        auto ft = reporter.times.find(c + "/ft_sdf");
        if (ft == reporter.times.end() || ft->second <= 0) continue;
        auto ratio = [&](const char *who) {
            auto it = reporter.times.find(c + "/" + who);
            return it == reporter.times.end() ? -1.0 : it->second / ft->second;
        };
        std::printf("%-24s %10.2f %10.2f %10.2f %10.2f\n", c.c_str(), ratio("scan_dist"), ratio("scan_maps"),
                    ratio("mask_maps"), 1.0);
    }
    benchmark::Shutdown();
    return 0;
}
