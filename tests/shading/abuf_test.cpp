// The A-buffer renderer: strips, coverage from the edge table, the resolve,
// glass, the renderer's own state, argument checks and allocation failures.
#include <algorithm>
#include <cmath>
#include <random>

#include "abuf_support.h"
#include "platform/alloc_fail.h"
#include "raster/pixel_buffer.h"
#include "y32Comm.h"

namespace {

using namespace abuf_support;

class ABufRenderTest : public ABufTest {};

// Area of the polygon inside the unit pixel (px, py), clipped by one side
// of the pixel at a time.
double AreaInPixel(std::vector<vec::Vec2> v, double px, double py) {
    const struct {
        bool vertical;
        double at;
        bool keep_above;
    } sides[] = {{true, px, true}, {true, px + 1, false}, {false, py, true}, {false, py + 1, false}};
    for (const auto &c : sides) {
        auto inside = [&](vec::Vec2 p) { return ((c.vertical ? p.x : p.y) >= c.at) == c.keep_above; };
        std::vector<vec::Vec2> out;
        for (size_t i = 0; i < v.size(); ++i) {
            const vec::Vec2 a = v[i], b = v[(i + 1) % v.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) == inside(b)) continue;
            const double t = c.vertical ? (c.at - a.x) / (b.x - a.x) : (c.at - a.y) / (b.y - a.y);
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
        v = out;
    }
    double area = 0;
    for (size_t i = 0; i < v.size(); ++i) area += v[i].x * v[(i + 1) % v.size()].y - v[(i + 1) % v.size()].x * v[i].y;
    return std::fabs(area) / 2;
}

struct PixelMasks {
    std::vector<uint32_t> m;
    int64_t w, h;
    PixelMasks(int64_t width, int64_t height) : m(static_cast<size_t>(width * height), 0), w(width), h(height) {}
    uint32_t &At(int64_t x, int64_t y) { return m[static_cast<size_t>(y * w + x)]; }
};

PixelMasks Raster(const std::vector<vec::Vec2> &poly, int64_t w, int64_t h, int64_t row0, int64_t row1,
                  abuf::QuadScratch *scratch) {
    PixelMasks pm(w, h);
    std::vector<double> xs, ys;
    for (const vec::Vec2 &p : poly) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    EXPECT_TRUE(abuf::RasterPolygon(xs.data(), ys.data(), static_cast<int>(poly.size()), abuf::GetTables()->edge, w,
                                    row0, row1, scratch, [&](int64_t x, int64_t y, uint32_t mask) {
                                        EXPECT_EQ(pm.At(x, y), 0u) << "pixel emitted twice";
                                        pm.At(x, y) = mask;
                                    }));
    return pm;
}

TEST_F(ABufRenderTest, EdgeTableHoldsTheSubColumnsRightOfTheEdgeInTheRowsItCrosses) {
    const uint8_t *t = abuf::GetTables()->edge;
    ASSERT_NE(t, nullptr);
    for (int a = 0; a <= 4; ++a)
        for (int b = 0; b <= 8; ++b)
            for (int c = 0; c <= 4; ++c)
                for (int d = 0; d <= 8; ++d) {
                    const uint32_t e = abuf::EdgeMask(t, a, b, c, d);
                    EXPECT_EQ(e, abuf::EdgeMask(t, c, d, a, b)) << "an edge and its reverse differ";
                    for (int r = 0; r < 4; ++r) {
                        const uint32_t row = (e >> (8 * r)) & 0xFF;
                        if (r < std::min(a, c) || r >= std::max(a, c)) {
                            EXPECT_EQ(row, 0u);
                            continue;
                        }
                        // Right-of sets are contiguous from the right.
                        EXPECT_EQ(row & (row + 1) & 0xFF, 0u) << std::hex << row;
                        // Exact: the edge's x at the sub-row's middle.
                        const double x = (a < c ? b : d) + (r - std::min(a, c) + 0.5) * (a < c ? d - b : b - d) /
                                                               static_cast<double>(std::abs(c - a));
                        const int bits = abuf::PopCount(row);
                        EXPECT_LE(std::fabs(bits - (8 - x)), 1.0) << a << b << c << d << " row " << r;
                    }
                }
}

TEST_F(ABufRenderTest, PolygonCoverageFollowsExactAreaAndSharedEdgesSplitExactly) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> coord(-2.0, 14.0);
    abuf::QuadScratch scratch;
    double worst_pixel = 0, total_err = 0, total_area = 0;
    int folded = 0;
    for (int round = 0; round < 300; ++round) {
        // A convex quadrilateral: four points on an ellipse, in order.
        const double cx = coord(rng), cy = coord(rng);
        std::uniform_real_distribution<double> radius(0.3, 5.0), turn(0.0, 2 * M_PI);
        const double rx = radius(rng), ry = radius(rng), tilt = turn(rng);
        double angles[4];
        for (double &a : angles) a = turn(rng);
        std::sort(angles, angles + 4);
        std::vector<vec::Vec2> quad;
        for (double a : angles) {
            const double ex = rx * std::cos(a), ey = ry * std::sin(a);
            quad.push_back({cx + ex * std::cos(tilt) - ey * std::sin(tilt), cy + ex * std::sin(tilt) + ey * std::cos(tilt)});
        }
        const int64_t w = 12, h = 12;
        PixelMasks whole = Raster(quad, w, h, 0, h, &scratch);
        // Split along a diagonal, the two halves running opposite ways
        // along it.
        PixelMasks left = Raster({quad[0], quad[1], quad[2]}, w, h, 0, h, &scratch);
        PixelMasks right = Raster({quad[2], quad[3], quad[0]}, w, h, 0, h, &scratch);
        // Rows cut into two bands give the same masks.
        PixelMasks top = Raster(quad, w, h, 0, 5, &scratch), bottom = Raster(quad, w, h, 5, h, &scratch);
        for (int64_t y = 0; y < h; ++y)
            for (int64_t x = 0; x < w; ++x) {
                // Every sub-pixel of the whole is claimed by exactly one half;
                // a sliver whose rounded edges fold over may claim one
                // outside the whole as well.
                EXPECT_EQ(left.At(x, y) ^ right.At(x, y), whole.At(x, y));
                folded += abuf::PopCount(left.At(x, y) & right.At(x, y));
                EXPECT_EQ(y < 5 ? top.At(x, y) : bottom.At(x, y), whole.At(x, y));
                const double exact = AreaInPixel(quad, static_cast<double>(x), static_cast<double>(y));
                const double got = abuf::PopCount(whole.At(x, y)) / 32.0;
                worst_pixel = std::max(worst_pixel, std::fabs(got - exact));
                total_err += got - exact;
                total_area += exact;
            }
    }
    abuf::FreeScratch(&scratch);
    EXPECT_LT(folded, 64) << "sub-pixels claimed by both halves";
    // Per pixel, each edge can be off by its rounding to the sub-pixel grid.
    EXPECT_LT(worst_pixel, 0.35);
    // Over many edges the rounding cancels: the summed error stays a small
    // fraction of the area.
    EXPECT_LT(std::fabs(total_err) / total_area, 0.02) << total_err << " over " << total_area;
}

TEST_F(ABufRenderTest, PolygonsFarOutsideTheColumnsCarryIntoColumnZero) {
    // A wide band reaching from far left of the output to far right: its
    // left part is one carry, its right part dropped, the middle covered.
    abuf::QuadScratch scratch;
    PixelMasks pm = Raster({{-1e7, 1.25}, {1e7, 1.25}, {1e7, 2.75}, {-1e7, 2.75}}, 6, 4, 0, 4, &scratch);
    abuf::FreeScratch(&scratch);
    for (int64_t x = 0; x < 6; ++x) {
        EXPECT_EQ(pm.At(x, 0), 0u);
        EXPECT_EQ(pm.At(x, 1), 0xFFFFFF00u) << x;  // sub-rows 1..3 of row 1 (centres at 1.375 .. 1.875)
        EXPECT_EQ(pm.At(x, 2), 0x00FFFFFFu) << x;  // sub-rows 0..2 of row 2 (centres up to 2.625)
        EXPECT_EQ(pm.At(x, 3), 0u);
    }
}

// A strip of one row for resolving hand-made fragment lists.
struct OneRow {
    abuf::Strip s;
    explicit OneRow(uint32_t w) {
        s.buf = KyPathBufAlloc(64, w, 1, 1, 0, 0);
        s.width = w;
        s.rows = 1;
        abuf::BeginStrip(&s, 0, 1);
    }
    ~OneRow() { abuf::FreeStrip(&s); }
    abuf::Resolved At(uint32_t x) {
        abuf::Resolved r{{0, 0, 0}, 0};
        EXPECT_TRUE(abuf::ResolvePixel(&s, x, 0, &r));
        return r;
    }
};

TEST_F(ABufRenderTest, ResolveTakesNearestFirstWhateverTheArrivalOrder) {
    const uint8_t red[4] = {0, 0, 255, 255}, blue[4] = {255, 0, 0, 255}, glass[4] = {0, 0, 255, 128};
    const uint32_t left_half = 0xF0F0F0F0u;
    const struct {
        const char *name;
        const uint8_t *near_colour;
        uint32_t near_mask;
        uint8_t want_b, want_r;
    } cases[] = {
        // Near red covers the left half, far blue everything: half each.
        {"half over full", red, left_half, 128, 128},
        // Near red covers all: blue is gone.
        {"full over full", red, abuf::kFullMask, 0, 255},
        // Near glass (a = 128/255) over blue on the left half: there the
        // mix is 0.502 red + 0.498 blue; the right half stays blue.
        {"glass over full", glass, left_half, 191, 64},
    };
    for (const auto &c : cases) {
        for (int order = 0; order < 2; ++order) {
            OneRow row(1);
            const uint64_t before = row.s.created;
            for (int k = 0; k < 2; ++k) {
                const bool near = (k == 0) == (order == 1);  // order 0: far first
                ASSERT_TRUE(abuf::AddFragment(&row.s, 0, 0, near ? c.near_mask : abuf::kFullMask,
                                              near ? c.near_colour : blue, near ? 5.0 : 1.0));
            }
            abuf::Resolved r = row.At(0);
            EXPECT_NEAR(r.bgr[0], c.want_b, 1) << c.name << " order " << order;
            EXPECT_EQ(r.bgr[1], 0) << c.name;
            EXPECT_NEAR(r.bgr[2], c.want_r, 1) << c.name << " order " << order;
            EXPECT_EQ(r.coverage, 255) << c.name;
            // A full opaque fragment in front hides the far one for good:
            // it is dropped on arrival, or removed when the near one comes.
            if (c.near_mask == abuf::kFullMask && c.near_colour[3] == 255) {
                uint32_t n = 0;
                uint32_t head;
                std::memcpy(&head, row.s.buf, 4);
                for (uint32_t i = head; i != abuf::kNoFragment; i = row.s.pool[i].next) ++n;
                EXPECT_EQ(n, 1u) << "hidden fragment kept, order " << order;
                EXPECT_EQ(row.s.created - before, order == 0 ? 2u : 1u);
            }
        }
    }
    // A partly covering opaque fragment must not cut what shows beside it,
    // and fragments of equal depth keep their arrival order.
    OneRow row(2);
    ASSERT_TRUE(abuf::AddFragment(&row.s, 0, 0, 0x0000FFFFu, blue, 1.0));
    ASSERT_TRUE(abuf::AddFragment(&row.s, 0, 0, 0xFFFF0000u, red, 5.0));
    EXPECT_EQ(row.At(0).coverage, 255);
    EXPECT_NEAR(row.At(0).bgr[0], 128, 1);
    ASSERT_TRUE(abuf::AddFragment(&row.s, 1, 0, abuf::kFullMask, red, 2.0));
    ASSERT_TRUE(abuf::AddFragment(&row.s, 1, 0, abuf::kFullMask, blue, 2.0));
    EXPECT_EQ(row.At(1).bgr[2], 255);
    EXPECT_EQ(row.At(1).bgr[0], 0);
}

TEST_F(ABufRenderTest, GlassIsClearFaceOnAndOpaqueAtGrazingAngles) {
    const uint8_t *op = abuf::GetTables()->opacity;
    EXPECT_EQ(op[0], 255);   // seen edge-on
    EXPECT_EQ(op[1000], 16); // seen face-on
    EXPECT_EQ(op[500], 75);  // (1 - 0.5)^2 x 239 + 16
    for (int i = 1; i <= 1000; ++i) ASSERT_LE(op[i], op[i - 1]);

    // Lighting: a glass fragment shines more and its highlight is opaque.
    const uint8_t rgb[3] = {100, 100, 100};
    const vec::Vec3 flat{0, 0, 1};
    uint8_t opaque[4], glass[4];
    abuf::RendererLight light = abuf::Light();
    light.direction[0] = light.direction[1] = 0;
    light.direction[2] = 1;  // straight above: R.L = 1, full highlight
    abuf::LightFragment(light, flat, rgb, 255, opaque);
    abuf::LightFragment(light, flat, rgb, 40, glass);
    EXPECT_EQ(opaque[0], std::min(255, 20 + 75 + static_cast<int>(0.8 * 255)));
    EXPECT_EQ(opaque[3], 255);
    EXPECT_EQ(glass[0], 255);
    EXPECT_EQ(glass[3], 255);  // 40 + 4 x 255, capped

    // Rendered: the face of a glass slab seen face-on is almost clear, its
    // rim (seen more obliquely) more opaque. (That an opaque solid is solid
    // is the front view's check.)
    KyPath *slab = Polygon({{10, 10}, {70, 10}, {70, 50}, {10, 50}});
    const ABufCamera cam = Camera(40, 30, 0, 0);
    Target glass_t(80, 60);
    ASSERT_EQ(abuf::Render(Args(slab, cam, glass_t, 8, 255), nullptr), 1);
    EXPECT_LT(glass_t.M(40, 30), 40);          // face: 16 plus a faint highlight
    EXPECT_GT(glass_t.M(11, 30), glass_t.M(40, 30));  // the steep outer rim
    EXPECT_EQ(glass_t.M(2, 2), 0);
    // The renderer's light keeps its own coefficients after glass.
    EXPECT_EQ(abuf::Light().specular, 0.8);
    EXPECT_EQ(abuf::Light().ambient, 0.2);
    KyPathDeletePtr(slab, 0);
}

TEST_F(ABufRenderTest, TallOutputIsRenderedInStripsOf500RowsWithoutSeams) {
    // A tall zig-zag bar and two figures lying across the strip borders.
    std::vector<std::pair<double, double>> zig;
    for (int k = 0; k <= 12; ++k) zig.push_back({k % 2 ? 150.0 : 130.0, 10 + k * 98.0});
    for (int k = 12; k >= 0; --k) zig.push_back({(k % 2 ? 150.0 : 130.0) + 14, 10 + k * 98.0});
    KyPath *bar = Polygon(zig);
    std::vector<KyPath *> all = Records(TextLike(0, 450)), more = Records(TextLike(0, 955));
    all.insert(all.end(), more.begin(), more.end());
    all.push_back(bar);
    KyPath *a = Join(all);
    const ABufCamera cam = Camera(90, 600, 12, -10, 1500, 40);

    Target t500(180, 1200), exported(180, 1200);
    abuf::RenderStats st;
    abuf::RenderArgs args = Args(a, cam, t500);
    ASSERT_EQ(abuf::Render(args, &st), 1);
    EXPECT_EQ(st.strips, 3);
    EXPECT_EQ(st.first_strip_rows, 500);
    EXPECT_EQ(st.last_strip_rows, 200);
    EXPECT_GT(st.fragments, 0u);
    EXPECT_EQ(abuf::FragmentCount(), st.fragments);
    // Something is drawn on both sides of each border.
    for (uint32_t y : {499u, 500u, 999u, 1000u}) {
        uint32_t covered = 0;
        for (uint32_t x = 0; x < 180; ++x) covered += t500.M(x, y) != 0;
        EXPECT_GT(covered, 20u) << "row " << y;
    }
    // One strip, and strips of a height that divides nothing: the same picture.
    const struct {
        int32_t rows, strips, last;
    } splits[] = {{1200, 1, 1200}, {137, 9, 1200 - 8 * 137}};
    for (const auto &split : splits) {
        Target t(180, 1200);
        args.output = t.out;
        args.mask = t.mask;
        args.strip_rows = split.rows;
        ASSERT_EQ(abuf::Render(args, &st), 1);
        EXPECT_EQ(st.strips, split.strips) << split.rows;
        EXPECT_EQ(st.last_strip_rows, split.last) << split.rows;
        EXPECT_TRUE(t500.Pixels() == t.Pixels() && t500.Coverage() == t.Coverage()) << split.rows;
    }

    // Through the export: the same picture (colour 0x00BBGGRR).
    const int32_t required = 1;
    ASSERT_EQ(KyPathABufRender(a, &cam, exported.out, &required, 0, nullptr, nullptr, 0x2878C8, exported.mask, nullptr,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, nullptr, 0),
              1);
    EXPECT_TRUE(exported.Pixels() == t500.Pixels() && exported.Coverage() == t500.Coverage());
    KyPathDeletePtr(a, 0);
}

TEST_F(ABufRenderTest, FrontViewMatchesTheRasterisersMaskAndIsLitFromTheLight) {
    KyPath *fig = TextLike(5, 5);
    const ABufCamera cam = Camera(90, 55, 0, 0);
    Target t(180, 110);
    abuf::RenderStats st;
    ASSERT_EQ(abuf::Render(Args(fig, cam, t, 6), &st), 1);
    EXPECT_GT(st.quads, 1000u);
    // Seen straight on, the solid covers what the anti-aliased mask covers.
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    ASSERT_EQ(KyPathToBuf(fig, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, 0), 1);
    const Y32Rect r = rects[0];
    long total = 0, edge_pixels = 0, worst = 0;
    for (uint32_t y = 0; y < t.h; ++y)
        for (uint32_t x = 0; x < t.w; ++x) {
            const int64_t bx = int64_t{x} - r.left, by = int64_t{y} - r.top;
            const bool in = bx >= 0 && by >= 0 && bx < r.right - r.left && by < r.bottom - r.top;
            const int want = in ? static_cast<const uint8_t *>(bufs[0])[by * (r.right - r.left) + bx] : 0;
            const int diff = std::abs(t.M(x, y) - want);
            worst = std::max<long>(worst, diff);
            if (want != 0 && want != 255) {
                total += diff;
                ++edge_pixels;
            }
            if (want == 255) {
                EXPECT_EQ(t.M(x, y), 255) << x << "," << y;
            }
            if (want == 0) {
                EXPECT_LT(t.M(x, y), 48) << x << "," << y;
            }
        }
    EXPECT_LT(worst, 64);
    EXPECT_LT(total / edge_pixels, 12);
    KyPathBufFree(bufs[0]);
    GlobalFree(rects);
    GlobalFree(bufs);
    // The light comes from the upper left: the T's upper left bevel is
    // lit, its lower right one in shade, and the face between them in
    // between. (Output bytes are blue, green, red; red is 200 x ...)
    const int lit = t.Px(82, 27)[2], face = t.Px(100, 30)[2], shade = t.Px(115, 82)[2];
    EXPECT_GT(lit, face);
    EXPECT_GT(face, shade);
    KyPathDeletePtr(fig, 0);
}

TEST_F(ABufRenderTest, OriginsPlaceTheMaskAndTheSecondMaskClips) {
    KyPath *slab = Polygon({{110, 210}, {150, 210}, {150, 240}, {110, 240}});
    const ABufCamera cam = Camera(130, 225, 0, 0);
    Target t(60, 50);
    PathBuf mask = KyPathBufAlloc(8, 100, 100, 1, 0, 0), clip = KyPathBufAlloc(8, 100, 100, 1, 0, 0);
    std::memset(mask, 7, 100 * 100);
    // The clip lets through the left half of the output only.
    for (uint32_t y = 0; y < 100; ++y) std::memset(static_cast<uint8_t *>(clip) + y * 100, 1, 50);
    abuf::RenderArgs a = Args(slab, cam, t, 4);
    a.origin[0] = 100;  // output pixel (0, 0) is image (100, 200)
    a.origin[1] = 200;
    a.mask = mask;
    a.mask2 = clip;
    a.mask_origin[0] = 80;  // mask pixel (0, 0) is image (80, 190)
    a.mask_origin[1] = 190;
    ASSERT_EQ(abuf::Render(a, nullptr), 1);
    auto m = [&](uint32_t x, uint32_t y) { return static_cast<uint8_t *>(mask)[y * 100 + x]; };
    // Image (130, 225) is inside: mask (50, 35) is beyond the clip, (45, 35)
    // inside it.
    EXPECT_EQ(m(45, 35), 255);
    EXPECT_EQ(m(50, 35), 7) << "clipped pixel written";
    EXPECT_EQ(m(25, 15), 0);   // inside the output, outside the slab: cleared
    EXPECT_EQ(m(5, 5), 7);     // outside the output: untouched
    EXPECT_EQ(m(85, 65), 7);
    EXPECT_NE(t.Px(25, 25)[2], 0);  // output (25, 25) = image (125, 225)
    EXPECT_EQ(t.Px(35, 25)[2], 0);  // beyond the clip: never written
    KyPathBufFree(mask);
    KyPathBufFree(clip);
    KyPathDeletePtr(slab, 0);
}

TEST_F(ABufRenderTest, LightArgumentAndLibraryWideState) {
    KyPath *slab = Polygon({{4, 4}, {36, 4}, {36, 28}, {4, 28}});
    const ABufCamera cam = Camera(20, 16, 0, 0);
    Target t(40, 32);
    const int32_t required = 1;
    auto render = [&](const double *light, int32_t w) {
        return KyPathABufRender(slab, &cam, t.out, &required, 0, nullptr, nullptr, 0x808080, t.mask, nullptr, 0, 0, 0,
                                0, 0, 0, 0, 0, 0, w, 0, 0, 0, light, 0);
    };
    const double from_right[3] = {3, 0, 4};  // normalised to (0.6, 0, 0.8)
    ASSERT_EQ(render(from_right, 20), 1);
    EXPECT_DOUBLE_EQ(abuf::Light().direction[0], 0.6);
    EXPECT_DOUBLE_EQ(abuf::Light().direction[2], 0.8);
    const int right_bevel = t.Px(35, 16)[0], left_bevel = t.Px(5, 16)[0];
    EXPECT_GT(right_bevel, left_bevel);
    // A null light leaves the light alone; so do a zero and a NaN one.
    const double zero[3] = {0, 0, 0}, nan[3] = {NAN, 0, 1};
    for (const double *l : {static_cast<const double *>(nullptr), zero, nan}) {
        ASSERT_EQ(render(l, 20), 1);
        EXPECT_DOUBLE_EQ(abuf::Light().direction[0], 0.6);
        EXPECT_DOUBLE_EQ(abuf::Light().direction[1], 0.0);
        EXPECT_DOUBLE_EQ(abuf::Light().direction[2], 0.8);
        EXPECT_EQ(t.Px(35, 16)[0], right_bevel);
    }
    EXPECT_DOUBLE_EQ(abuf::EdgeConstant(), 0.15);
    // The edge constant follows each render's own width, whatever came
    // before: 0.2 below 15, 0.15 below 25, else 0.12.
    const std::pair<int32_t, double> widths[] = {{10, 0.2}, {14, 0.2}, {15, 0.15}, {24, 0.15}, {25, 0.12}, {30, 0.12}};
    for (auto [w, want] : widths) {
        ASSERT_EQ(render(nullptr, w), 1);
        EXPECT_DOUBLE_EQ(abuf::EdgeConstant(), want) << "width " << w;
    }
    KyPathDeletePtr(slab, 0);
}

TEST_F(ABufRenderTest, BadArgumentsAreRefusedBeforeAnythingChanges) {
    KyPath *slab = Polygon({{4, 4}, {36, 4}, {36, 28}, {4, 28}});
    ABufCamera cam = Camera(20, 16, 0, 0);
    Target t(40, 32);
    std::memset(t.out, 9, 40 * 32 * 3);
    std::memset(t.mask, 9, 40 * 32);
    PathBuf wrong = KyPathBufAlloc(32, 40, 32, 1, 0, 0);
    const int32_t required = 1;
    const double light[3] = {1, 0, 0};
    auto render = [&](KyPath *p, const ABufCamera *c, PathBuf out, const void *req, PathBuf mask, PathBuf mask2) {
        c32ClearDLLErrInfo();
        return KyPathABufRender(p, c, out, req, 0, nullptr, nullptr, 0xFFFFFF, mask, mask2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                6, 0, 0, 0, light, 0);
    };
    Y32ErrInfo info{};
    EXPECT_EQ(render(nullptr, &cam, t.out, &required, t.mask, nullptr), 0);
    EXPECT_EQ(render(slab, nullptr, t.out, &required, t.mask, nullptr), 0);
    EXPECT_EQ(render(slab, &cam, nullptr, &required, t.mask, nullptr), 0);
    EXPECT_EQ(render(slab, &cam, t.out, nullptr, t.mask, nullptr), 0);
    EXPECT_EQ(render(slab, &cam, t.out, &required, nullptr, nullptr), 0);
    EXPECT_EQ(c32GetDLLErrInfo(&info), 0);
    // Buffers of the wrong depth would be written past their ends.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(render(slab, &cam, k == 0 ? wrong : t.out, &required, k == 1 ? wrong : t.mask, k == 2 ? wrong : nullptr),
                  0);
        ASSERT_EQ(c32GetDLLErrInfo(&info), 1);
        EXPECT_EQ(info.code, 3200);
    }
    // No eye in front of the picture plane, or values that are not numbers.
    const struct {
        double distance, fov, m0;
    } cams[] = {{600, -40, 1}, {0, 40, 1}, {-600, 40, 1}, {NAN, 40, 1}, {600, INFINITY, 1}, {600, 40, NAN}};
    for (const auto &c : cams) {
        ABufCamera bad = cam;
        bad.distance = c.distance;
        bad.fieldOfView = c.fov;
        bad.rotation[0] = c.m0;
        EXPECT_EQ(render(slab, &bad, t.out, &required, t.mask, nullptr), 0) << c.distance << " " << c.fov;
        ASSERT_EQ(c32GetDLLErrInfo(&info), 1);
        EXPECT_EQ(info.code, 3200);
    }
    // Nothing refused touched the image, the mask or the light.
    const std::vector<uint8_t> px = t.Pixels(), cov = t.Coverage();
    EXPECT_TRUE(std::all_of(px.begin(), px.end(), [](uint8_t v) { return v == 9; }));
    EXPECT_TRUE(std::all_of(cov.begin(), cov.end(), [](uint8_t v) { return v == 9; }));
    EXPECT_DOUBLE_EQ(abuf::Light().direction[0], -0.5773502);
    // A zero field of view is a parallel view, not a failure.
    cam.fieldOfView = 0;
    EXPECT_EQ(render(slab, &cam, t.out, &required, t.mask, nullptr), 1);
    KyPathBufFree(wrong);
    KyPathDeletePtr(slab, 0);
}

TEST_F(ABufRenderTest, AllocationFailuresLeaveNoLeakAndReportOutOfMemory) {
    KyPath *fig = TextLike();
    const ABufCamera cam = Camera(85, 50, 20, 15);
    Target t(170, 100);
    abuf::RenderArgs a = Args(fig, cam, t, 6, 200);
    a.strip_rows = 40;  // several strips, so late failures land mid-picture
    ASSERT_EQ(abuf::Render(a, nullptr), 1);  // heap and tables exist from here on
    const std::vector<uint8_t> want = t.Coverage();
    int failures = 0;
    for (int64_t i = 0;; ++i) {
        c32ClearDLLErrInfo();
        int32_t r;
        {
            plat::ScopedAllocFailure fail(i);
            r = abuf::Render(a, nullptr);
        }
        EXPECT_EQ(abuf::HeapLiveBlocks(), 0u) << "failure at allocation " << i;
        Y32ErrInfo info{};
        if (r == 1) {
            EXPECT_EQ(c32GetDLLErrInfo(&info), 0);
            EXPECT_TRUE(t.Coverage() == want);
            break;
        }
        ++failures;
        ASSERT_GE(c32GetDLLErrInfo(&info), 1) << "failure at allocation " << i << " not reported";
        EXPECT_EQ(info.code, 1001);
        ASSERT_LT(i, 400) << "no run without a failure";
    }
    EXPECT_GT(failures, 5);
    KyPathDeletePtr(fig, 0);
}

TEST_F(ABufRenderTest, HeapAndTablesAreReleasedAtUnloadAndRemadeAfter) {
    KyPath *slab = Polygon({{4, 4}, {36, 4}, {36, 28}, {4, 28}});
    const ABufCamera cam = Camera(20, 16, 0, 0);
    Target t(40, 32);
    ASSERT_EQ(abuf::Render(Args(slab, cam, t), nullptr), 1);
    const std::vector<uint8_t> before = t.Pixels();
    KyPathDeletePtr(slab, 0);
    mem::Detach();
    EXPECT_EQ(abuf::HeapLiveBlocks(), 0u);
    ASSERT_EQ(KyPathInit(), 0x30000);
    // A heap that cannot be created: refused before anything is drawn.
    slab = Polygon({{4, 4}, {36, 4}, {36, 28}, {4, 28}});
    std::memset(t.out, 0, 40 * 32 * 3);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(abuf::Render(Args(slab, cam, t), nullptr), 0);
    }
    // Tables that cannot be had (the heap is made, then the first table
    // fails): refused with 1001, and made on the next call.
    {
        plat::ScopedAllocFailure fail(1);
        c32ClearDLLErrInfo();
        EXPECT_EQ(abuf::Render(Args(slab, cam, t), nullptr), 0);
        Y32ErrInfo info{};
        ASSERT_EQ(c32GetDLLErrInfo(&info), 1);
        EXPECT_EQ(info.code, 1001);
    }
    const std::vector<uint8_t> untouched = t.Pixels();
    EXPECT_TRUE(std::all_of(untouched.begin(), untouched.end(), [](uint8_t v) { return v == 0; }));
    ASSERT_EQ(abuf::Render(Args(slab, cam, t), nullptr), 1);
    EXPECT_TRUE(t.Pixels() == before);
    KyPathDeletePtr(slab, 0);
}

}  // namespace
