// The fast filler against the reference on a corpus of shapes: every byte
// of every mask must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/alloc_fail.h"
#include "raster/path_to_buf.h"
#include "raster_support.h"

namespace {

using raster::FillImpl;
using raster_support::Mask;
using raster_support::Options;
using raster_support::Render;
using testing_support::PathTest;

// Builds one group of records, a record per contour (a joined contour is a
// further subpath of the record before), each closed by a line back to its
// start.
struct Pt {
    double x, y;
};
struct Contour {
    std::vector<Pt> pts;  // move, then lines, or with cubic = true: move + 3n points
    bool cubic = false;
    bool open = false;  // no line back to the start
    bool joined = false;
};

KyPath *Build(const std::vector<Contour> &contours) {
    KyPath *head = nullptr, *prev = nullptr;
    for (size_t at = 0; at < contours.size();) {
        KyPath *p = KyPathCreate();
        do {
            const Contour &c = contours[at++];
            for (size_t i = 0; i < c.pts.size(); ++i) {
                FIXED xy[2] = {DbToFix(c.pts[i].x), DbToFix(c.pts[i].y)};
                uint32_t type = i == 0 ? PT_MOVETO : (c.cubic ? PT_BEZIERTO : PT_LINETO);
                KyPathAddPoint(&p, xy, type);
            }
            FIXED xy[2] = {DbToFix(c.pts[0].x), DbToFix(c.pts[0].y)};
            if (!c.open) KyPathAddPoint(&p, xy, PT_LINETO | PT_CLOSEFIGURE);
        } while (at < contours.size() && contours[at].joined);
        if (prev) {
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

struct Corpus {
    std::mt19937 rng{20261206};
    std::vector<std::pair<std::string, std::vector<Contour>>> shapes;

    double U(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
    // Coordinates on the sample grid (multiples of 1/32) now and then, so
    // vertices sit exactly on sub-scanline centres and pixel borders.
    double Snap(double v) {
        int k = static_cast<int>(rng() % 4);
        if (k == 0) return std::round(v * 32) / 32;
        if (k == 1) return std::round(v);
        return v;
    }

    void Polygons(int n, double size, double ox, double oy) {
        for (int i = 0; i < n; ++i) {
            Contour c;
            int verts = 3 + static_cast<int>(rng() % 28);
            for (int k = 0; k < verts; ++k) c.pts.push_back({Snap(ox + U(0, size)), Snap(oy + U(0, size))});
            shapes.push_back({"polygon", {c}});
        }
    }
    void Cubics(int n, double size) {
        for (int i = 0; i < n; ++i) {
            Contour c;
            c.cubic = true;
            int segs = 1 + static_cast<int>(rng() % 5);
            c.pts.push_back({Snap(U(0, size)), Snap(U(0, size))});
            for (int k = 0; k < segs * 3; ++k) c.pts.push_back({Snap(U(-size / 4, size * 1.25)), Snap(U(0, size))});
            shapes.push_back({"cubics", {c}});
        }
    }
    void Stars() {
        for (int n : {5, 7, 11, 50, 200}) {
            for (int step : {2, 3}) {
                Contour c;
                double r = 40 + n / 2.0;
                for (int k = 0; k < n; ++k) {
                    double a = 2 * M_PI * ((k * step) % n) / n + 0.1;
                    c.pts.push_back({r + 8 + r * std::cos(a), r + 8 + r * std::sin(a)});
                }
                shapes.push_back({"star", {c}});
            }
        }
    }
    // Glyph-like: rings (outer and reversed inner ellipse of four cubics)
    // and bars side by side, as text outlines come.
    static Contour Ellipse(double cx, double cy, double rx, double ry, bool reverse) {
        const double k = 0.5522847498;
        Contour c;
        c.cubic = true;
        std::vector<Pt> q = {{cx + rx, cy},          {cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry},
                             {cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy},          {cx - rx, cy - k * ry},
                             {cx - k * rx, cy - ry}, {cx, cy - ry},          {cx + k * rx, cy - ry}, {cx + rx, cy - k * ry},
                             {cx + rx, cy}};
        if (reverse) std::reverse(q.begin(), q.end());
        c.pts = q;
        return c;
    }
    void Text() {
        for (int line = 0; line < 6; ++line) {
            std::vector<Contour> word;
            double size = 4 + line * 5.3;
            for (int ch = 0; ch < 8; ++ch) {
                double x = 10 + ch * size * 0.9;
                if (ch % 3 == 0) {
                    word.push_back(Ellipse(x + size * 0.35, 10 + size * 0.5, size * 0.35, size * 0.5, false));
                    word.push_back(Ellipse(x + size * 0.35, 10 + size * 0.5, size * 0.2, size * 0.35, true));
                    word.back().joined = ch == 3;  // one glyph's hole in its ring's record
                } else if (ch % 3 == 1) {
                    Contour bar;
                    bar.pts = std::vector<Pt>{{x, 10}, {x + size * 0.15, 10}, {x + size * 0.15, 10 + size}, {x, 10 + size}};
                    word.push_back(bar);
                    Contour arm;
                    arm.pts = std::vector<Pt>{{x, 10 + size * 0.45}, {x + size * 0.6, 10 + size * 0.4},
                               {x + size * 0.6, 10 + size * 0.55}, {x, 10 + size * 0.6}};
                    word.push_back(arm);
                } else {
                    Contour vee;
                    vee.pts = std::vector<Pt>{{x, 10}, {x + size * 0.3, 10 + size}, {x + size * 0.6, 10},
                               {x + size * 0.45, 10}, {x + size * 0.3, 10 + size * 0.6}, {x + size * 0.15, 10}};
                    word.push_back(vee);
                }
            }
            shapes.push_back({"text", word});
        }
    }
    void Extremes() {
        Contour tiny;
        tiny.pts = std::vector<Pt>{{20.001, 20.002}, {20.009, 20.004}, {20.005, 20.011}};
        shapes.push_back({"tiny", {tiny}});
        Contour sliver;
        sliver.pts = std::vector<Pt>{{10, 10.49}, {60, 10.51}, {60, 10.52}, {10, 10.5}};
        shapes.push_back({"sliver", {sliver}});
        Contour far;
        far.pts = std::vector<Pt>{{30000.3, -30000.7}, {30040.1, -29990.2}, {30010.5, -29950.9}};
        shapes.push_back({"far", {far}});
        Contour far_curve = Ellipse(-32000, 31000, 25, 40, false);
        shapes.push_back({"far curve", {far_curve}});
        Contour tall = Ellipse(40, 160, 30, 150, false);
        shapes.push_back({"tall", {tall, Ellipse(40, 160, 10, 120, false)}});
        Contour zig;
        for (int k = 0; k < 40; ++k) zig.pts.push_back({10.0 + (k % 2) * 30 + k * 0.01, 5.0 + k * 8.03});
        zig.pts.push_back({80, 330});
        zig.pts.push_back({80, 5});
        shapes.push_back({"zigzag", {zig}});
        // Subpaths of one record: the second starts level with where the
        // first ended, the third where the second did.
        Contour a, b, c;
        a.pts = std::vector<Pt>{{10.3, 10.7}, {60.2, 40.1}, {12.9, 70.4}};
        b.pts = std::vector<Pt>{{40.6, 10.7}, {80.3, 12.2}, {70.1, 66.6}};
        c.cubic = true;
        c.pts = std::vector<Pt>{{40.6, 10.7}, {60.8, 25.2}, {60.8, 40.7}, {40.6, 70.7}, {20.4, 40.7}, {20.4, 25.2}, {40.6, 10.7}};
        b.joined = c.joined = true;
        shapes.push_back({"subpaths", {a, b, c}});
        // Open lines, all going down, the last two crossing each other (in
        // the row of y = 32): the winding never comes back to zero, so the
        // span still open closes at the rightmost crossing, one of the two.
        // Once with the first line starting in that row.
        Contour l1, l2, l3;
        l1.pts = std::vector<Pt>{{10.3, 5.2}, {12.7, 60.1}};
        l2.pts = std::vector<Pt>{{40.2, 5.6}, {70.9, 60.3}};
        l3.pts = std::vector<Pt>{{70.4, 5.1}, {40.6, 59.8}};
        l1.open = l2.open = l3.open = true;
        shapes.push_back({"open crossing lines", {l1, l2, l3}});
        l1.pts[0] = {10.3, 32.3};
        shapes.push_back({"open crossing lines, one short", {l1, l2, l3}});
        // Three open lines apart: an odd count of crossings in rows whose
        // edges keep their order.
        l1.pts[0] = {10.3, 5.2};
        l3.pts = std::vector<Pt>{{90.4, 5.1}, {95.6, 59.8}};
        shapes.push_back({"open lines apart", {l1, l2, l3}});
    }
    // The benchmark's scenes, scaled down from 1024 square: a star of 200
    // points with circles (one turning the other way) and a self-crossing
    // loop; the star polygon {199/83}, whose crossings swap order on
    // almost every sub-scanline; and an at-sign-like glyph, a ring with a
    // reversed hole around a bowl with its own hole and a stem.
    void Scenes(double s) {
        Contour star;
        for (int i = 0; i < 200; ++i) {
            double r = (i % 2 ? 300 : 490) * s, a = 2 * M_PI * i / 200;
            star.pts.push_back({512 * s + r * std::cos(a), 512 * s + r * std::sin(a)});
        }
        Contour loop;
        loop.cubic = true;
        loop.pts = std::vector<Pt>{{100 * s, 900 * s}, {900 * s, 100 * s}, {900 * s, 1000 * s}, {100 * s, 300 * s},
                                   {50 * s, 500 * s},  {400 * s, 1000 * s}, {100 * s, 900 * s}};
        shapes.push_back({"scene A", {star, Ellipse(300 * s, 300 * s, 180 * s, 180 * s, false),
                                      Ellipse(720 * s, 330 * s, 150 * s, 150 * s, false),
                                      Ellipse(512 * s, 512 * s, 120 * s, 120 * s, true), loop}});
        Contour polygon;
        for (int i = 0; i < 199; ++i) {
            double a = 2 * M_PI * ((83 * i) % 199) / 199;
            polygon.pts.push_back({512 * s + 500 * s * std::cos(a), 512 * s + 500 * s * std::sin(a)});
        }
        shapes.push_back({"scene B", {polygon}});
        Contour stem;
        stem.pts = std::vector<Pt>{{640 * s, 330 * s}, {700 * s, 330 * s}, {690 * s, 700 * s}, {630 * s, 690 * s}};
        shapes.push_back({"scene C", {Ellipse(512 * s, 512 * s, 480 * s, 500 * s, false),
                                      Ellipse(512 * s, 512 * s, 400 * s, 420 * s, true),
                                      Ellipse(520 * s, 520 * s, 170 * s, 200 * s, false),
                                      Ellipse(520 * s, 520 * s, 100 * s, 130 * s, true), stem}});
    }
};

class ScanFillDiffTest : public PathTest {};

TEST_F(ScanFillDiffTest, FastAndReferenceAgreeOnTheCorpus) {
    Corpus corpus;
    corpus.Polygons(60, 120, 3, 3);
    corpus.Polygons(10, 6, 0.2, 0.3);  // small, all near the left margin
    corpus.Cubics(60, 150);
    corpus.Stars();
    corpus.Text();
    corpus.Extremes();
    corpus.Scenes(0.125);
    corpus.Scenes(0.3);
    struct Setting {
        int32_t format, even_odd, antialias;
        double scale;
    } settings[] = {{0, 0, 1, 1.0},  {0, 1, 1, 1.0},   {0, 0, 0, 1.0},   {0, 1, 999, 1.0}, {4, 0, 1, 1.0},
                    {4, 1, 0, 1.0},  {16, 0, 1, 2.0},  {0, 1, 1, 0.37},  {0, 0, 1, 3.25}};
    size_t compared = 0, covered = 0;
    std::mt19937 rng(5);
    for (auto &[name, contours] : corpus.shapes) {
        KyPath *p = Build(contours);
        ASSERT_NE(p, nullptr);
        for (const Setting &s : settings) {
            // The far shapes at scale 3.25 leave the 16-bit pixel range of
            // the bounding boxes; keep them at the scales that fit.
            if ((name == "far" || name == "far curve") && s.scale > 1.0) continue;
            raster::ToBufOptions o = Options(s.format, s.even_odd, s.antialias, 0, s.scale);
            o.impl = FillImpl::kFast;
            std::vector<Mask> fast = Render(p, o);
            if (s.format == 4) {
                // 32-bit rows come in two builds, one picked by the processor.
                o.baseline_simd = true;
                std::vector<Mask> baseline = Render(p, o);
                o.baseline_simd = false;
                ASSERT_EQ(baseline.size(), 1u) << name;
                ASSERT_TRUE(baseline[0].bytes == fast[0].bytes) << name << " eo " << s.even_odd << ": baseline build";
            }
            o.impl = FillImpl::kReference;
            o.band_rows = 1 + static_cast<int32_t>(rng() % 60);
            std::vector<Mask> ref = Render(p, o);
            ASSERT_EQ(fast.size(), 1u) << name;
            ASSERT_EQ(ref.size(), 1u) << name;
            ASSERT_EQ(std::memcmp(&fast[0].rect, &ref[0].rect, sizeof(Y32Rect)), 0) << name;
            ASSERT_EQ(fast[0].bytes.size(), ref[0].bytes.size()) << name;
            size_t diff = 0, first = 0;
            for (size_t i = 0; i < fast[0].bytes.size(); ++i)
                if (fast[0].bytes[i] != ref[0].bytes[i] && diff++ == 0) first = i;
            ASSERT_EQ(diff, 0u) << name << " format " << s.format << " eo " << s.even_odd << " aa " << s.antialias
                                << " scale " << s.scale << ": first difference at byte " << first << " ("
                                << int{fast[0].bytes[first]} << " vs " << int{ref[0].bytes[first]} << ")";
            ++compared;
            for (uint8_t v : fast[0].bytes)
                if (v != (s.format == 4 ? 0xFF : 0)) {
                    ++covered;
                    break;
                }
        }
        KyPathDeletePtr(p, 0);
    }
    EXPECT_GT(compared, 1000u);
    EXPECT_GT(covered, compared * 9 / 10) << "the corpus must actually cover pixels";

    // 32-bit masks wider than 2047 pixels order their crossings with
    // 32-bit compares, narrower ones with 16-bit ones: the star polygon
    // across that width, whose crossings leave the lists out of order.
    Corpus wide;
    wide.Scenes(2.2);
    for (auto &[name, contours] : wide.shapes) {
        if (name != "scene B") continue;
        KyPath *p = Build(contours);
        for (int32_t even_odd : {0, 1}) {
            raster::ToBufOptions o = Options(4, even_odd, 1, 0, 1.0);
            o.impl = FillImpl::kFast;
            std::vector<Mask> fast = Render(p, o);
            o.baseline_simd = true;
            std::vector<Mask> baseline = Render(p, o);
            o.baseline_simd = false;
            o.impl = FillImpl::kReference;
            std::vector<Mask> ref = Render(p, o);
            ASSERT_EQ(fast.size(), 1u);
            ASSERT_EQ(ref.size(), 1u);
            EXPECT_GT(fast[0].width, 2047u);
            EXPECT_TRUE(fast[0].bytes == ref[0].bytes) << name << " eo " << even_odd;
            EXPECT_TRUE(baseline.size() == 1 && baseline[0].bytes == ref[0].bytes) << name << " eo " << even_odd;
        }
        KyPathDeletePtr(p, 0);
    }
}

}  // namespace

// The fast filler straight on buffers: a fresh one it must write entirely
// (filled with garbage first), a used one where it must leave alone what
// it does not cover (as the reference does), and both again with its
// error bounds widened until many pixels are in doubt and rows go back to
// the exact way after part of them was written.
TEST_F(ScanFillDiffTest, EstimatedRowsOnUsedAndUnclearedBuffers) {
    Corpus corpus;
    corpus.Polygons(25, 90, 3, 3);
    corpus.Cubics(25, 100);
    corpus.Stars();
    corpus.Text();
    corpus.Extremes();
    // A bar covering exactly 116/256 of its pixels: the hard threshold.
    Contour bar;
    bar.pts = std::vector<Pt>{{10.0 + 35.0 / 64, 4}, {12.5, 4}, {12.5, 30.25}, {10.0 + 35.0 / 64, 30.25}};
    corpus.shapes.push_back({"threshold bar", {bar}});
    // Windings that do not come back to 0 within a row: an open zigzag,
    // and rectangles overlapping the same way round with a hole the other
    // way round, crossed at shallow angles.
    Contour zigzag;
    zigzag.open = true;
    for (int k = 0; k < 12; ++k) zigzag.pts.push_back({6.3 + (k % 2) * 40.7, 5.1 + k * 3.37});
    Contour ra, rb, hole;
    ra.pts = std::vector<Pt>{{6.2, 6.1}, {50.7, 9.3}, {48.1, 40.6}, {8.4, 37.2}};
    rb.pts = std::vector<Pt>{{20.9, 18.3}, {70.2, 21.1}, {66.6, 60.4}, {18.8, 55.9}};
    hole.pts = std::vector<Pt>{{30.1, 30.2}, {33.3, 45.9}, {45.7, 44.1}, {42.2, 28.8}};
    corpus.shapes.push_back({"open zigzag", {zigzag}});
    corpus.shapes.push_back({"overlaps", {ra, rb, hole}});
    // Cropped: the buffer a quarter of the shape's width in from either
    // side, so crossings fall left and right of it.
    struct Setting {
        int32_t subs;
        bool even_odd, hard, crop;
    } settings[] = {{16, false, false, false}, {16, true, false, false}, {4, false, false, false},
                    {1, false, true, false},   {16, false, false, true}, {16, true, false, true}};
    size_t compared = 0;
    for (auto &[name, contours] : corpus.shapes) {
        if (name == "far" || name == "far curve") continue;
        KyPath *p = Build(contours);
        Y32Rect r = raster::GroupRect(p, false, fx::kOne);
        const uint32_t h = static_cast<uint32_t>(r.bottom - r.top);
        for (const Setting &s : settings) {
            const uint32_t whole = static_cast<uint32_t>(r.right - r.left), cut = s.crop ? whole / 4 : 0;
            const uint32_t w = whole - 2 * cut;
            if (w == 0) continue;
            const size_t bytes = size_t{w} * h;
            raster::Mapping map{1.0, static_cast<double>(r.left + static_cast<int32_t>(cut)), static_cast<double>(r.top)};
            raster::FillSpec spec{map, s.subs, s.even_odd, s.hard};
            for (bool used : {false, true}) {
                // The used buffer holds a pattern; the fresh one, for the
                // reference, zeros, and for the fast filler, garbage.
                PathBuf ref = pbuf::AllocQuiet(8, w, h);
                ASSERT_NE(ref, nullptr);
                uint8_t *pattern = static_cast<uint8_t *>(ref);
                for (size_t i = 0; used && i < bytes; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 3);
                std::vector<uint8_t> start(static_cast<uint8_t *>(ref), static_cast<uint8_t *>(ref) + bytes);
                ASSERT_TRUE(raster::ScanFillReference(p, spec, ref));
                for (double scale : {1.0, 1e6, 1e9, 1e11}) {
                    PathBuf fast = pbuf::AllocQuiet(8, w, h);
                    ASSERT_NE(fast, nullptr);
                    if (used) std::memcpy(fast, start.data(), bytes);
                    else std::memset(fast, 0xA5, bytes);
                    raster::FillSpec fs = spec;
                    fs.blank = !used;
                    fs.bound_scale = scale;
                    EXPECT_TRUE(raster::ScanFill(p, fs, fast));
                    size_t diff = 0, first = 0;
                    for (size_t i = 0; i < bytes; ++i)
                        if (static_cast<uint8_t *>(fast)[i] != static_cast<uint8_t *>(ref)[i] && diff++ == 0) first = i;
                    EXPECT_EQ(diff, 0u) << name << " subs " << s.subs << " eo " << s.even_odd << " used "
                                        << used << " bound x" << scale << ": first difference at byte " << first;
                    ++compared;
                    KyPathBufFree(fast);
                }
                KyPathBufFree(ref);
            }
        }
        KyPathDeletePtr(p, 0);
    }
    EXPECT_GT(compared, 1000u);
}

// A fresh mask is not cleared before the fast filler writes it (an 8-bit
// one given as blank, a 32-bit one always: it clears each row as it comes
// to it), so a fill that runs out of scratch memory part-way must still
// leave every row either as the full fill has it or empty: never the
// buffer's old bytes.
TEST_F(ScanFillDiffTest, ScratchFailuresLeaveWholeRowsOrZeros) {
    Corpus corpus;
    corpus.Stars();
    corpus.Text();
    for (size_t s = 0; s < corpus.shapes.size(); s += 3) {
        const auto &[name, contours] = corpus.shapes[s];
        KyPath *p = Build(contours);
        Y32Rect r = raster::GroupRect(p, false, fx::kOne);
        const uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
        for (int32_t depth : {8, 32}) {
            const uint32_t row_bytes = w * static_cast<uint32_t>(depth / 8);
            const uint8_t empty = depth == 32 ? 0xFF : 0;
            raster::FillSpec spec{raster::Mapping{1.0, static_cast<double>(r.left), static_cast<double>(r.top)},
                                  depth == 32 ? 4 : 16, false, false};
            spec.blank = true;
            PathBuf full = pbuf::AllocQuiet(depth, w, h), part = pbuf::AllocQuiet(depth, w, h);
            ASSERT_TRUE(full && part);
            std::memset(full, 0xA5, size_t{row_bytes} * h);
            int64_t before = plat::AllocationRequests();
            ASSERT_TRUE(raster::ScanFill(p, spec, full));
            const int64_t requests = plat::AllocationRequests() - before;
            for (int64_t i = 0; i < requests; ++i) {
                std::memset(part, 0xA5, size_t{row_bytes} * h);
                bool done;
                {
                    plat::ScopedAllocFailure fail(i);
                    done = raster::ScanFill(p, spec, part);
                }
                // A row the estimates could not get scratch for goes the exact
                // way, so some failures cost nothing.
                for (uint32_t y = 0; y < h; ++y) {
                    const uint8_t *got = pbuf::Row(part, y), *want = pbuf::Row(full, y);
                    bool whole = std::memcmp(got, want, row_bytes) == 0, zero = true;
                    for (uint32_t x = 0; x < row_bytes && zero; ++x) zero = got[x] == empty;
                    ASSERT_TRUE(whole || (zero && !done)) << name << " depth " << depth << ": failure " << i << ", row " << y;
                }
            }
            KyPathBufFree(full);
            KyPathBufFree(part);
        }
        KyPathDeletePtr(p, 0);
    }
}

// 32-bit masks narrower than the shape (a quarter of its width in from
// either side, crossings left and right of the buffer, clamped to its
// edges), from both builds of the rows.
TEST_F(ScanFillDiffTest, CroppedMasks32) {
    Corpus corpus;
    corpus.Polygons(20, 90, 3, 3);
    corpus.Stars();
    corpus.Text();
    corpus.Scenes(0.2);
    size_t compared = 0;
    for (auto &[name, contours] : corpus.shapes) {
        KyPath *p = Build(contours);
        const Y32Rect r = raster::GroupRect(p, false, fx::kOne);
        const uint32_t whole = static_cast<uint32_t>(r.right - r.left), cut = whole / 4;
        const uint32_t w = whole - 2 * cut, h = static_cast<uint32_t>(r.bottom - r.top);
        const size_t bytes = size_t{w} * h * 4;
        const raster::Mapping map{1.0, static_cast<double>(r.left + static_cast<int32_t>(cut)),
                                  static_cast<double>(r.top)};
        for (bool even_odd : {false, true}) {
            const raster::FillSpec spec{map, 4, even_odd, false};
            PathBuf ref = pbuf::AllocQuiet(32, w, h);
            ASSERT_NE(ref, nullptr);
            ASSERT_TRUE(raster::ScanFillReference(p, spec, ref));
            for (bool baseline : {false, true}) {
                PathBuf fast = pbuf::AllocQuiet(32, w, h, false);
                ASSERT_NE(fast, nullptr);
                raster::FillSpec fs = spec;
                fs.baseline_simd = baseline;
                EXPECT_TRUE(raster::ScanFill(p, fs, fast));
                EXPECT_EQ(std::memcmp(fast, ref, bytes), 0) << name << " eo " << even_odd << " baseline " << baseline;
                ++compared;
                KyPathBufFree(fast);
            }
            KyPathBufFree(ref);
        }
        KyPathDeletePtr(p, 0);
    }
    EXPECT_GT(compared, 100u);
}
