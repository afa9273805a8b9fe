// shading/abuf_render.cpp - KyPathABufRender: the strips, the plate, the
// rim quadrilaterals and the resolve into the host's image and mask (see
// shading/abuf.h for the model).
//
// Per render: the outline is sampled and the rim shaped once (source
// space), the rim's points across the bevel counted per subpath, and each
// sample's rim column projected once to learn which rows it spans. Per
// strip: the plate is filled, every pair of neighbouring samples whose
// columns reach into the strip is re-projected and its quadrilaterals
// rasterised into fragments, and the strip is resolved row by row. A quad
// that straddles two strips is cut the same way in both (rows are skipped,
// never cut differently), so the picture does not depend on where strips
// begin.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "raster/pixel_buffer.h"
#include "shading/abuf.h"
#include "shading/light_model.h"

namespace abuf {

bool GrowScratch(QuadScratch *s, size_t cells) {
    if (cells <= s->capacity) return true;
    size_t cap = s->capacity ? s->capacity * 2 : 1024;
    if (cap < cells) cap = cells;
    if (cap > SIZE_MAX / sizeof(uint32_t)) return false;
    void *block = s->cells ? plat::HeapReAlloc(Heap(), 0, s->cells, cap * sizeof(uint32_t))
                           : plat::HeapAlloc(Heap(), 0, cap * sizeof(uint32_t));
    if (!block) return false;
    s->cells = static_cast<uint32_t *>(block);
    s->capacity = cap;
    return true;
}

void FreeScratch(QuadScratch *s) {
    if (s->cells) plat::HeapFree(Heap(), 0, s->cells);
    s->cells = nullptr;
    s->capacity = 0;
}

bool FocalLength(const ABufCamera &camera, double *focal) {
    if (!std::isfinite(camera.distance) || !std::isfinite(camera.fieldOfView)) return false;
    for (double v : camera.rotation)
        if (!std::isfinite(v)) return false;
    if (camera.fieldOfView == 0.0) {
        *focal = INFINITY;  // parallel view
        return true;
    }
    const double f = camera.distance / std::tan(camera.fieldOfView * 0.5 * vec::kPi3D / 180.0);
    if (!(f > 0.0)) return false;
    *focal = f;
    return true;
}

namespace {

// Points across the rim, at most: a rim seen edge-on near the eye would
// otherwise ask for millions.
constexpr int32_t kMaxRimPoints = 1024;

// Height of a half-width bevel at local distance dl: the full-width
// rounded table at twice the distance, halved (the profile is homogeneous
// of degree 1 in distance and width), or the chamfer itself.
double HalfHeight(const shade::Bevel &b, bool round, double dl) {
    if (!(dl > 0)) return 0;
    if (!round) return b.invert ? -dl : dl;
    return 0.5 * b.table[shade::ProfileIndex(2 * dl, b.width)].height;
}

// The profile's height at distance d from the outline, matching the normals
// of shade::BevelNormals: their z is scaled by 30 / depth, so heights are
// scaled by depth / 30.
double ProfileHeight(const shade::Bevel &b, double d) {
    if (!b.table || !(d > 0)) return 0;
    const double w = b.width;
    if (d > w) d = w;
    double h;
    if (b.kind == 1) {
        h = b.invert ? -d : d;
    } else if (b.kind >= 100 && b.kind <= 104) {
        const double half = w * 0.5;
        const bool outer_round = b.kind == 100 || b.kind == 101 || b.kind == 104;
        const bool inner_round = b.kind == 100 || b.kind == 102 || b.kind == 104;
        if (d < half) h = HalfHeight(b, outer_round, d);
        else if (b.kind >= 103) h = HalfHeight(b, inner_round, w - d);  // falls back to the plane at W
        else h = HalfHeight(b, outer_round, half) + HalfHeight(b, inner_round, d - half);
    } else {
        h = b.table[shade::ProfileIndex(d, w)].height;
    }
    if (b.depth != 0) h *= b.depth / 30.0;
    return h;
}

vec::Vec3 Rotated(const vec::Vec3 &n, const double m[9]) {
    double p[3] = {n.x, n.y, n.z};
    vec::RotatePoint3D(p, m);
    return vec::Vec3{p[0], p[1], p[2]};
}

struct ColumnPoint {
    double x, y, z;  // output space and view depth
    double d;        // distance from the outline
};

struct PlateEdge {
    double x0, y0, x1, y1;  // y0 < y1
    int32_t dir;            // +1 going down in the source loop, -1 up
};

struct Crossing {
    double x;
    int32_t dir;
};

struct Renderer {
    const RenderArgs &args;
    const Tables &tables;
    View view{};
    shade::Bevel bevel{};
    uint32_t width = 0, height = 0;
    bool glass = false;
    Outline outline;
    HeapArray<PlateEdge> plate_edges;
    uint8_t plate_bgra[4] = {0, 0, 0, 0};
    Strip strip;
    QuadScratch scratch;
    HeapArray<ColumnPoint> col_a, col_b;
    HeapArray<uint32_t> active;
    HeapArray<Crossing> crossings;
    HeapArray<uint32_t> row_masks;
    RenderStats stats;

    Renderer(const RenderArgs &a, const Tables &t) : args(a), tables(t) {}

    void Free() {
        outline.Free();
        plate_edges.Free();
        FreeStrip(&strip);
        FreeScratch(&scratch);
        col_a.Free();
        col_b.Free();
        active.Free();
        crossings.Free();
        row_masks.Free();
    }

    // Glass opacity for a normal seen with view-space z component nz.
    int32_t Opacity(double nz) const {
        if (!glass) return 255;
        double t = std::fabs(nz);
        int idx = t >= 1.0 ? 1000 : static_cast<int>(t * 1000.0);
        int32_t a = args.alpha > 255 ? 255 : args.alpha;
        return tables.opacity[idx] * a / 255;
    }

    void Lit(const shade::Normals &ns, int32_t alpha, uint8_t out[4]) const {
        if (ns.count == 1) {
            LightFragment(Light(), ns.n[0], args.rgb, alpha, out);
            return;
        }
        double acc[4] = {0, 0, 0, 0};
        for (int i = 0; i < ns.count; ++i) {
            uint8_t c[4];
            LightFragment(Light(), ns.n[i], args.rgb, alpha, c);
            for (int ch = 0; ch < 4; ++ch) acc[ch] += c[ch] * ns.w[i];
        }
        for (int ch = 0; ch < 4; ++ch) {
            double v = acc[ch] + 0.5;
            out[ch] = static_cast<uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v));
        }
    }

    // The rim column of sample s: rim_points + 1 points from the outline
    // inwards.
    bool Column(const Sample &s, int32_t points, HeapArray<ColumnPoint> *col) {
        if (!col->Reserve(static_cast<uint64_t>(points) + 1)) return false;
        col->size = static_cast<uint32_t>(points) + 1;
        for (int32_t k = 0; k <= points; ++k) {
            const double d = s.rim * k / points;
            ViewPoint v = Project(view, s.x + d * s.nx, s.y + d * s.ny, ProfileHeight(bevel, d));
            col->data[k] = ColumnPoint{v.x, v.y, v.z, d};
        }
        return true;
    }

    // Points across each subpath's rim (its longest projected rim, in
    // pixels, the outer and inner halves measured apart so the profile's
    // bend counts) and the rows each sample's column spans.
    bool PrepareRims() {
        for (uint32_t k = 0; k < outline.subpaths.size; ++k) {
            Subpath &sp = outline.subpaths.data[k];
            sp.rim_points = 0;
            if (!sp.inside || !bevel.table) continue;
            double longest = 0;
            for (uint32_t i = 0; i < sp.count; ++i) {
                const Sample &s = outline.samples.data[sp.first + i];
                const double h = s.rim * 0.5;
                ViewPoint p0 = Project(view, s.x, s.y, 0.0);
                ViewPoint p1 = Project(view, s.x + h * s.nx, s.y + h * s.ny, ProfileHeight(bevel, h));
                ViewPoint p2 = Project(view, s.x + s.rim * s.nx, s.y + s.rim * s.ny, ProfileHeight(bevel, s.rim));
                double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y);
                if (len > longest) longest = len;
            }
            // A rim that projects to no pixel is left to the plate.
            double points = std::floor(longest + 0.5);
            if (!(points >= 1)) continue;
            sp.rim_points = points > kMaxRimPoints ? kMaxRimPoints : static_cast<int32_t>(points);
            for (uint32_t i = 0; i < sp.count; ++i) {
                Sample &s = outline.samples.data[sp.first + i];
                if (!Column(s, sp.rim_points, &col_a)) return false;
                s.ymin = INFINITY;
                s.ymax = -INFINITY;
                for (uint32_t j = 0; j < col_a.size; ++j) {
                    s.ymin = std::fmin(s.ymin, col_a.data[j].y);
                    s.ymax = std::fmax(s.ymax, col_a.data[j].y);
                }
            }
        }
        return true;
    }

    bool PreparePlate() {
        for (uint32_t k = 0; k < outline.subpaths.size; ++k) {
            const Subpath &sp = outline.subpaths.data[k];
            const Sample *s = outline.samples.data + sp.first;
            ViewPoint first = Project(view, s[0].x, s[0].y, 0.0), a = first;
            for (uint32_t i = 0; i < sp.count; ++i) {
                ViewPoint b = i + 1 == sp.count ? first : Project(view, s[i + 1].x, s[i + 1].y, 0.0);
                if (a.y != b.y && a.y == a.y && b.y == b.y) {
                    PlateEdge e = a.y < b.y ? PlateEdge{a.x, a.y, b.x, b.y, 1} : PlateEdge{b.x, b.y, a.x, a.y, -1};
                    if (!plate_edges.Push(e)) return false;
                }
                a = b;
            }
        }
        std::sort(plate_edges.data, plate_edges.data + plate_edges.size,
                  [](const PlateEdge &p, const PlateEdge &q) { return p.y0 < q.y0; });
        // The face: the plane's normal turned by the camera, towards the
        // viewer (from behind, the underside is seen).
        vec::Vec3 n = Rotated(vec::Vec3{0, 0, 1}, view.m);
        if (n.z < 0) n = vec::Vec3{-n.x, -n.y, -n.z};
        LightFragment(Light(), n, args.rgb, Opacity(n.z), plate_bgra);
        return row_masks.Reserve(width);
    }

    // Sets the sub-columns of [xa, xb) (sub-column centres inside) in
    // sub-row r of the row masks.
    void Span(double xa, double xb, int r) {
        const double limit = 8.0 * width;
        double ja = std::ceil(xa * 8 - 0.5), jb = std::ceil(xb * 8 - 0.5);
        if (ja < 0) ja = 0;
        if (jb > limit) jb = limit;
        if (!(jb > ja)) return;
        const uint32_t j0 = static_cast<uint32_t>(ja), j1 = static_cast<uint32_t>(jb);
        for (uint32_t px = j0 >> 3; px <= (j1 - 1) >> 3; ++px) {
            const uint32_t lo = j0 > px * 8 ? j0 - px * 8 : 0, hi = j1 < px * 8 + 8 ? j1 - px * 8 : 8;
            const uint32_t bits = (0xFFu >> lo) & (0xFFu << (8 - hi)) & 0xFFu;
            row_masks.data[px] |= bits << (8 * r);
        }
    }

    // The plate over the strip's rows: sub-rows sampled at their centres,
    // nonzero winding, sub-columns whose centres are inside.
    bool DrawPlate() {
        if (!plate_edges.size) return true;
        std::memset(row_masks.data, 0, sizeof(uint32_t) * width);
        active.size = 0;
        uint32_t next = 0;
        const int64_t g0 = strip.y0 * 4, g1 = (strip.y0 + strip.height) * 4;
        for (int64_t g = g0; g < g1; ++g) {
            const double yc = (static_cast<double>(g) + 0.5) * 0.25;
            while (next < plate_edges.size && plate_edges.data[next].y0 <= yc)
                if (!active.Push(next++)) return false;
            crossings.size = 0;
            for (uint32_t i = 0; i < active.size;) {
                const PlateEdge &e = plate_edges.data[active.data[i]];
                if (e.y1 <= yc) {
                    active.data[i] = active.data[--active.size];
                    continue;
                }
                const double x = e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
                if (!crossings.Push(Crossing{x, e.dir})) return false;
                ++i;
            }
            std::sort(crossings.data, crossings.data + crossings.size, [](const Crossing &p, const Crossing &q) {
                return p.x < q.x || (p.x == q.x && p.dir < q.dir);
            });
            int32_t wind = 0;
            double start = 0;
            for (uint32_t i = 0; i < crossings.size; ++i) {
                const int32_t before = wind;
                wind += crossings.data[i].dir;
                if (before == 0 && wind != 0) start = crossings.data[i].x;
                else if (before != 0 && wind == 0) Span(start, crossings.data[i].x, static_cast<int>(g & 3));
            }
            if ((g & 3) != 3) continue;
            const uint32_t row = static_cast<uint32_t>((g >> 2) - strip.y0);
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t m = row_masks.data[x];
                if (!m) continue;
                row_masks.data[x] = 0;
                if (m == kFullMask) SetPlain(&strip, x, row, plate_bgra);
                else if (!AddFragment(&strip, x, row, m, plate_bgra, kPlateDepth)) return false;
            }
        }
        return true;
    }

    // One quadrilateral of the rim between columns a and b, points k, k + 1.
    bool Quad(const Sample &sa, const Sample &sb, const ColumnPoint *a, const ColumnPoint *b, int32_t k) {
        const ColumnPoint *c[4] = {&a[k], &b[k], &b[k + 1], &a[k + 1]};
        double nx = sa.nx + sb.nx, ny = sa.ny + sb.ny, len = std::hypot(nx, ny);
        if (len < 1e-9) {
            nx = sa.nx;
            ny = sa.ny;
        } else {
            nx /= len;
            ny /= len;
        }
        const double d = (c[0]->d + c[1]->d + c[2]->d + c[3]->d) * 0.25;
        shade::Normals src;
        shade::BevelNormals(bevel, vec::Vec2{-nx * d, -ny * d}, 1.0, &src);
        shade::Normals ns = src;
        for (int i = 0; i < src.count; ++i) ns.n[i] = Rotated(src.n[i], view.m);
        const vec::Vec3 mixed = shade::MixedNormal(ns);
        if (!(mixed.z > 0)) return true;  // faces away: hidden by the solid itself
        uint8_t bgra[4];
        Lit(ns, Opacity(mixed.z), bgra);
        const double depth = (c[0]->z + c[1]->z + c[2]->z + c[3]->z) * 0.25;
        const double xs[4] = {c[0]->x, c[1]->x, c[2]->x, c[3]->x};
        const double ys[4] = {c[0]->y, c[1]->y, c[2]->y, c[3]->y};
        ++stats.quads;
        const int64_t y0 = strip.y0;
        bool ok = RasterPolygon(xs, ys, 4, tables.edge, width, y0, y0 + strip.height, &scratch,
                                [&](int64_t x, int64_t y, uint32_t m) {
                                    if (!strip.failed)
                                        AddFragment(&strip, static_cast<uint32_t>(x), static_cast<uint32_t>(y - y0), m,
                                                    bgra, depth);
                                });
        return ok && !strip.failed;
    }

    bool DrawRims() {
        const double top = static_cast<double>(strip.y0), bottom = top + strip.height;
        for (uint32_t k = 0; k < outline.subpaths.size; ++k) {
            const Subpath &sp = outline.subpaths.data[k];
            if (sp.rim_points <= 0) continue;
            const Sample *s = outline.samples.data + sp.first;
            int64_t have_b = -1;  // sample whose column col_b holds
            for (uint32_t i = 0; i < sp.count; ++i) {
                if (s[i].flags & kNoQuadToNext) continue;
                const uint32_t j = i + 1 == sp.count ? 0 : i + 1;
                const double ymin = std::fmin(s[i].ymin, s[j].ymin), ymax = std::fmax(s[i].ymax, s[j].ymax);
                if (ymax < top || !(ymin < bottom)) continue;
                if (have_b == static_cast<int64_t>(i)) std::swap(col_a, col_b);
                else if (!Column(s[i], sp.rim_points, &col_a)) return false;
                if (!Column(s[j], sp.rim_points, &col_b)) return false;
                have_b = j;
                for (int32_t p = 0; p < sp.rim_points; ++p)
                    if (!Quad(s[i], s[j], col_a.data, col_b.data, p)) return false;
            }
        }
        return true;
    }

    bool ResolveStrip() {
        const int64_t ox = args.origin[0] - int64_t{args.mask_origin[0]};
        const int64_t oy = args.origin[1] - int64_t{args.mask_origin[1]};
        const uint32_t mw = pbuf::Width(args.mask), mh = pbuf::Height(args.mask);
        const uint32_t m2w = args.mask2 ? pbuf::Width(args.mask2) : 0, m2h = args.mask2 ? pbuf::Height(args.mask2) : 0;
        for (uint32_t row = 0; row < strip.height; ++row) {
            const int64_t y = strip.y0 + row, my = y + oy;
            uint8_t *out = pbuf::Row(args.output, static_cast<uint32_t>(y));
            uint8_t *mrow = my >= 0 && my < mh ? pbuf::Row(args.mask, static_cast<uint32_t>(my)) : nullptr;
            const uint8_t *m2row =
                args.mask2 && my >= 0 && my < m2h ? pbuf::Row(args.mask2, static_cast<uint32_t>(my)) : nullptr;
            for (uint32_t x = 0; x < width; ++x) {
                const int64_t mx = x + ox;
                if (args.mask2 && !(m2row && mx >= 0 && mx < m2w && m2row[mx])) continue;
                Resolved r{{0, 0, 0}, 0};
                const bool any = ResolvePixel(&strip, x, row, &r);
                if (strip.failed) return false;
                if (any && r.coverage) std::memcpy(out + size_t{x} * 3, r.bgr, 3);
                if (mrow && mx >= 0 && mx < mw) mrow[mx] = any ? r.coverage : 0;
            }
        }
        return true;
    }

    int32_t Run() {
        const uint32_t rows = static_cast<uint32_t>(
            args.strip_rows < 1 ? 1 : (static_cast<uint32_t>(args.strip_rows) < height ? args.strip_rows : height));
        {
            Outline raw;
            bool ok = SampleOutline(args.path, view, &raw) &&
                      ShapeRim(raw, bevel.table ? bevel.width : 0.0, EdgeConstant(), &outline);
            raw.Free();
            if (!ok || !PrepareRims() || !PreparePlate()) return Fail();
        }
        for (uint32_t i = 0; i < outline.subpaths.size; ++i) stats.samples += outline.subpaths.data[i].count;
        strip.buf = KyPathBufAlloc(64, width, rows, 1, 0, 0);  // reports its own failure
        if (!strip.buf) return 0;
        strip.width = width;
        strip.rows = rows;
        for (uint32_t y0 = 0; y0 < height; y0 += rows) {
            const uint32_t h = height - y0 < rows ? height - y0 : rows;
            BeginStrip(&strip, y0, h);
            if (!DrawPlate() || !DrawRims() || !ResolveStrip()) return Fail();
            if (!stats.strips) stats.first_strip_rows = static_cast<int32_t>(h);
            stats.last_strip_rows = static_cast<int32_t>(h);
            ++stats.strips;
        }
        return 1;
    }

    int32_t Fail() {
        Y32_REPORT(diag::kErrNoMemory, 1, kUnitABuf);
        return 0;
    }
};

bool DepthIs(PathBuf buf, int32_t depth) { return pbuf::Depth(buf) == depth; }

}  // namespace

int32_t Render(const RenderArgs &a, RenderStats *stats) {
    if (stats) *stats = RenderStats{};
    if (!a.path || !a.camera || !a.output || !a.mask) return 0;
    if (!Heap()) return 0;
    const Tables *tables = GetTables();
    if (!tables) {
        Y32_REPORT(diag::kErrNoMemory, 1, kUnitABuf);
        return 0;
    }
    double focal = 0;
    if (!DepthIs(a.output, 24) || !DepthIs(a.mask, 8) || (a.mask2 && !DepthIs(a.mask2, 8)) ||
        !FocalLength(*a.camera, &focal)) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitABuf);
        return 0;
    }
    if (a.light) {
        double d[3] = {a.light[0], a.light[1], a.light[2]};
        // A zero or non-finite direction names no light: keep the old one.
        if (std::isfinite(d[0]) && std::isfinite(d[1]) && std::isfinite(d[2]) && vec::Unit3(d))
            for (int k = 0; k < 3; ++k) Light().direction[k] = d[k];
    }
    SetEdgeConstant(EdgeConstantFor(a.width));
    SetFragmentCount(0);

    Renderer r(a, *tables);
    r.width = pbuf::Width(a.output);
    r.height = pbuf::Height(a.output);
    r.glass = a.alpha != 0;
    const ABufCamera &c = *a.camera;
    for (int k = 0; k < 9; ++k) r.view.m[k] = c.rotation[k];
    r.view.cx = fx::ToDouble(c.centreX);
    r.view.cy = fx::ToDouble(c.centreY);
    r.view.ox = fx::ToDouble(c.offsetX);
    r.view.oy = fx::ToDouble(c.offsetY);
    r.view.focal = focal;
    r.view.out_dx = -static_cast<double>(a.origin[0]);
    r.view.out_dy = -static_cast<double>(a.origin[1]);
    r.bevel = shade::MakeBevel(a.width > 0 ? a.width : 0.0, a.kind, a.invert, a.depth, 0);
    int32_t result = r.width && r.height ? r.Run() : 1;
    r.stats.fragments = r.strip.created;
    SetFragmentCount(r.strip.created);
    r.Free();
    if (stats) *stats = r.stats;
    return result;
}

}  // namespace abuf

Y32_BEGIN_C

int32_t KyPathABufRender(KyPath *path, const ABufCamera *camera, PathBuf output, const void *required,
                         int32_t /*reserved5*/, const int32_t *maskOrigin, const int32_t *origin, uint32_t colour,
                         PathBuf mask, PathBuf mask2, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                         int32_t alpha, int32_t /*reserved19*/, int32_t W, int32_t depth, int32_t kind, int32_t invert,
                         const double *light, int32_t /*reserved25*/) {
    if (!path || !camera || !output || !required || !mask) return 0;
    abuf::RenderArgs a;
    a.path = path;
    a.camera = camera;
    a.output = output;
    a.mask = mask;
    a.mask2 = mask2;
    if (maskOrigin) {
        a.mask_origin[0] = maskOrigin[0];
        a.mask_origin[1] = maskOrigin[1];
    }
    if (origin) {
        a.origin[0] = origin[0];
        a.origin[1] = origin[1];
    }
    a.rgb[0] = static_cast<uint8_t>(colour);
    a.rgb[1] = static_cast<uint8_t>(colour >> 8);
    a.rgb[2] = static_cast<uint8_t>(colour >> 16);
    a.alpha = alpha < 0 ? 0 : alpha;
    a.width = W;
    a.depth = depth;
    a.kind = kind;
    a.invert = invert;
    a.light = light;
    return abuf::Render(a, nullptr);
}

Y32_END_C
