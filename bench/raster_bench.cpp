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

enum class Kind { kStar, kCircle, kPage };
const char *KindName(Kind k) { return k == Kind::kStar ? "star200" : (k == Kind::kCircle ? "circle4cubics" : "glyph_page"); }
Shape Make(Kind k, double size) {
    return k == Kind::kStar ? Star(size) : (k == Kind::kCircle ? Circle(size) : Page(size));
}

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

void BM_KyPath(benchmark::State &state, Kind kind, int size) {
    KyPath *p = ToKyPath(Make(kind, size));
    int64_t pixels = 0;
    for (auto _ : state) {
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        int32_t n = KyPathToBuf(p, 0, 0, 1, 0, 65536, &rects, &bufs, 0);
        if (n != 1) {
            state.SkipWithError("KyPathToBuf failed");
            break;
        }
        uint32_t w = 0, h = 0;
        KyPathBufGetWHU(bufs[0], &w, &h, nullptr);
        pixels = int64_t{w} * h;
        benchmark::DoNotOptimize(static_cast<uint8_t *>(bufs[0])[w * (h / 2) + w / 2]);
        KyPathBufFree(bufs[0]);
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate);
    KyPathDeletePtr(p, 0);
}

void BM_Cairo(benchmark::State &state, Kind kind, int size) {
    Shape s = Make(kind, size);
    Frame f = FrameOf(s);
    int w = f.w, h = f.h;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t *cr = cairo_create(surface);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
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
    const Kind kinds[] = {Kind::kStar, Kind::kCircle, Kind::kPage};
    const int sizes[] = {256, 2048};
    std::vector<std::string> cases;
    for (Kind k : kinds)
        for (int s : sizes) {
            std::string base = std::string("fill_") + KindName(k) + "_aa_" + std::to_string(s);
            cases.push_back(base);
            benchmark::RegisterBenchmark((base + "/kypath").c_str(), BM_KyPath, k, s)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((base + "/cairo").c_str(), BM_Cairo, k, s)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((base + "/freetype").c_str(), BM_FreeType, k, s)
                ->Unit(benchmark::kMicrosecond);
        }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nTime relative to cairo (lower is faster):\n");
    std::printf("%-32s %10s %10s %10s\n", "case", "kypath", "cairo", "freetype");
    for (const std::string &c : cases) {
        auto cairo = reporter.times.find(c + "/cairo");
        if (cairo == reporter.times.end() || cairo->second <= 0) continue;
        auto ratio = [&](const char *who) {
            auto it = reporter.times.find(c + "/" + who);
            return it == reporter.times.end() ? -1.0 : it->second / cairo->second;
        };
        std::printf("%-32s %10.2f %10.2f %10.2f\n", c.c_str(), ratio("kypath"), 1.0, ratio("freetype"));
    }
    benchmark::Shutdown();
    return 0;
}
