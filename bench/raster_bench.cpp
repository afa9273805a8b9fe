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

#include "y32Path.h"

namespace {

const char *const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A shape as a list of contours of cubic segments in pixels (lines are
// cubics with coincident controls flagged as lines, so each renderer gets
// the segment kind it would get from a real document).
struct Seg {
    bool line;
    double x1, y1, x2, y2, x3, y3;
};
struct ContourD {
    double x0, y0;
    std::vector<Seg> segs;
};
using Shape = std::vector<ContourD>;

Shape Star(double size) {
    ContourD c;
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

Shape Circle(double size) {
    const double k = 0.5522847498, c = size / 2, r = size * 0.48;
    ContourD o{c + r, c, {}};
    o.segs.push_back({false, c + r, c + k * r, c + k * r, c + r, c, c + r});
    o.segs.push_back({false, c - k * r, c + r, c - r, c + k * r, c - r, c});
    o.segs.push_back({false, c - r, c - k * r, c - k * r, c - r, c, c - r});
    o.segs.push_back({false, c + k * r, c - r, c + r, c - k * r, c + r, c});
    return {o};
}

// Glyph outlines of a page of text, y down, scaled so the page fills the
// square.
struct Decomposer {
    Shape *shape;
    double ox, oy, scale;
    double cx = 0, cy = 0;
    double X(const FT_Vector *v) const { return ox + v->x / 64.0 * scale; }
    double Y(const FT_Vector *v) const { return oy - v->y / 64.0 * scale; }
};
int MoveTo(const FT_Vector *to, void *user) {
    auto *d = static_cast<Decomposer *>(user);
    d->shape->push_back({d->X(to), d->Y(to), {}});
    d->cx = d->X(to);
    d->cy = d->Y(to);
    return 0;
}
int LineTo(const FT_Vector *to, void *user) {
    auto *d = static_cast<Decomposer *>(user);
    d->shape->back().segs.push_back({true, 0, 0, 0, 0, d->X(to), d->Y(to)});
    d->cx = d->X(to);
    d->cy = d->Y(to);
    return 0;
}
int ConicTo(const FT_Vector *c, const FT_Vector *to, void *user) {
    auto *d = static_cast<Decomposer *>(user);
    double qx = d->X(c), qy = d->Y(c), ex = d->X(to), ey = d->Y(to);
    d->shape->back().segs.push_back({false, d->cx + 2.0 / 3 * (qx - d->cx), d->cy + 2.0 / 3 * (qy - d->cy),
                                     ex + 2.0 / 3 * (qx - ex), ey + 2.0 / 3 * (qy - ey), ex, ey});
    d->cx = ex;
    d->cy = ey;
    return 0;
}
int CubicTo(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user) {
    auto *d = static_cast<Decomposer *>(user);
    d->shape->back().segs.push_back({false, d->X(c1), d->Y(c1), d->X(c2), d->Y(c2), d->X(to), d->Y(to)});
    d->cx = d->X(to);
    d->cy = d->Y(to);
    return 0;
}

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
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    for (int l = 0; l < lines; ++l) {
        double x = 2;
        for (const char *ch = kPageText[l]; *ch; ++ch) {
            if (FT_Load_Char(g_face, static_cast<FT_ULong>(*ch), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) continue;
            Decomposer d{&shape, x, (l + 0.8) * line_height, scale};
            FT_Outline_Decompose(&g_face->glyph->outline, &funcs, &d);
            x += g_face->glyph->advance.x / 64.0 * scale;
        }
    }
    return shape;
}

// ---- The shape in each renderer's own form. -------------------------------

KyPath *ToKyPath(const Shape &s) {
    KyPathInit();
    KyPath *head = nullptr, *prev = nullptr;
    auto add = [](KyPath **p, double x, double y, uint32_t type) {
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        KyPathAddPoint(p, xy, type);
    };
    for (const ContourD &c : s) {
        KyPath *p = KyPathCreate();
        add(&p, c.x0, c.y0, PT_MOVETO);
        for (const Seg &g : c.segs) {
            if (g.line) {
                add(&p, g.x3, g.y3, PT_LINETO);
            } else {
                add(&p, g.x1, g.y1, PT_BEZIERTO);
                add(&p, g.x2, g.y2, PT_BEZIERTO);
                add(&p, g.x3, g.y3, PT_BEZIERTO);
            }
        }
        KyPathPoints(p)[p->count - 1].type |= PT_CLOSEFIGURE;
        if (prev) {  // one table list, one group: one mask
            prev->next = p;
            p->prev = prev;
            prev->groupNext = p;
            p->groupPrev = prev;
        } else {
            head = p;
        }
        prev = p;
    }
    return head;
}

void CairoPath(cairo_t *cr, const Shape &s, double dx, double dy) {
    cairo_new_path(cr);
    for (const ContourD &c : s) {
        cairo_move_to(cr, c.x0 + dx, c.y0 + dy);
        for (const Seg &g : c.segs) {
            if (g.line) cairo_line_to(cr, g.x3 + dx, g.y3 + dy);
            else cairo_curve_to(cr, g.x1 + dx, g.y1 + dy, g.x2 + dx, g.y2 + dy, g.x3 + dx, g.y3 + dy);
        }
        cairo_close_path(cr);
    }
}

// One FT_Outline of the whole shape (cubic tags), y flipped to FreeType's
// upward axis, 26.6.
struct FtShape {
    FT_Outline outline{};
    bool ok = false;
    explicit FtShape(const Shape &s, double height, double dx, double dy) {
        size_t points = 0;
        for (const ContourD &c : s) points += 1 + c.segs.size() * 3;
        if (!InitFreeType() || FT_Outline_New(g_ft, static_cast<FT_UInt>(points), static_cast<FT_Int>(s.size()),
                                              &outline))
            return;
        outline.n_points = 0;
        outline.n_contours = 0;
        auto put = [&](double x, double y, char tag) {
            FT_Vector &v = outline.points[outline.n_points];
            v.x = static_cast<FT_Pos>(std::lround((x + dx) * 64));
            v.y = static_cast<FT_Pos>(std::lround((height - (y + dy)) * 64));
            outline.tags[outline.n_points++] = tag;
        };
        for (const ContourD &c : s) {
            put(c.x0, c.y0, FT_CURVE_TAG_ON);
            for (size_t i = 0; i < c.segs.size(); ++i) {
                const Seg &g = c.segs[i];
                bool closing = i + 1 == c.segs.size() && g.x3 == c.x0 && g.y3 == c.y0;
                if (!g.line) {
                    put(g.x1, g.y1, FT_CURVE_TAG_CUBIC);
                    put(g.x2, g.y2, FT_CURVE_TAG_CUBIC);
                }
                if (!closing) put(g.x3, g.y3, FT_CURVE_TAG_ON);
            }
            outline.contours[outline.n_contours++] = static_cast<short>(outline.n_points - 1);
        }
        outline.flags = FT_OUTLINE_NONE;
        ok = true;
    }
    ~FtShape() {
        if (ok) FT_Outline_Done(g_ft, &outline);
    }
};

// ---- Cases. ------------------------------------------------------------------

ContourD Polygon(const std::vector<double> &xy) {
    ContourD c{xy[0], xy[1], {}};
    for (size_t i = 2; i + 1 < xy.size(); i += 2) c.segs.push_back({true, 0, 0, 0, 0, xy[i], xy[i + 1]});
    c.segs.push_back({true, 0, 0, 0, 0, xy[0], xy[1]});
    return c;
}

// Four cubics, clockwise on screen (y down) unless `reverse`.
ContourD Round(double cx, double cy, double r, bool reverse) {
    const double k = 0.5522847498 * r, t = reverse ? -1 : 1;
    ContourD c{cx + r, cy, {}};
    c.segs.push_back({false, cx + r, cy + t * k, cx + k, cy + t * r, cx, cy + t * r});
    c.segs.push_back({false, cx - k, cy + t * r, cx - r, cy + t * k, cx - r, cy});
    c.segs.push_back({false, cx - r, cy - t * k, cx - k, cy - t * r, cx, cy - t * r});
    c.segs.push_back({false, cx + k, cy - t * r, cx + r, cy - t * k, cx + r, cy});
    return c;
}

Shape SceneA(double size) {
    const double s = size / 1024;
    std::vector<double> star;
    for (int i = 0; i < 200; ++i) {
        const double r = (i % 2 ? 300 : 490) * s, a = 2 * M_PI * i / 200;
        star.push_back(512 * s + r * std::cos(a));
        star.push_back(512 * s + r * std::sin(a));
    }
    Shape shape{Polygon(star), Round(300 * s, 300 * s, 180 * s, false), Round(720 * s, 330 * s, 150 * s, false),
                Round(512 * s, 512 * s, 120 * s, true)};
    ContourD loop{100 * s, 900 * s, {}};
    loop.segs.push_back({false, 900 * s, 100 * s, 900 * s, 1000 * s, 100 * s, 300 * s});
    loop.segs.push_back({false, 50 * s, 500 * s, 400 * s, 1000 * s, 100 * s, 900 * s});
    shape.push_back(loop);
    return shape;
}

Shape SceneB(double size) {
    const double s = size / 1024;
    std::vector<double> star;
    for (int i = 0; i < 199; ++i) {
        const double a = 2 * M_PI * ((83 * i) % 199) / 199;
        star.push_back(512 * s + 500 * s * std::cos(a));
        star.push_back(512 * s + 500 * s * std::sin(a));
    }
    return {Polygon(star)};
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
    Decomposer d{&shape, (size - w) / 2 - box.xMin / 64.0 * scale, (size - h) / 2 + box.yMax / 64.0 * scale, scale};
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    FT_Outline_Decompose(&g_face->glyph->outline, &funcs, &d);
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
    case Kind::kCircle: return Circle(size);
    case Kind::kPage: return Page(size);
    case Kind::kSceneA: return SceneA(size);
    case Kind::kSceneB: return SceneB(size);
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

// The buffer KyPathToBuf makes (the shape's box with its margin); the
// peers render into the same size with the same offset.
struct Frame {
    int w, h;
    double dx, dy;
};
Frame FrameOf(const Shape &s) {
    KyPath *p = ToKyPath(s);
    Y32Rect r{};
    KyPathGetMiniMaxRect(p, 65536, &r);
    KyPathDeletePtr(p, 0);
    return Frame{r.right - r.left, r.bottom - r.top, -static_cast<double>(r.left), -static_cast<double>(r.top)};
}

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
    FtShape ft(s, h, f.dx, f.dy);
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
