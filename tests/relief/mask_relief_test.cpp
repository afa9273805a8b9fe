// The mask builders, the per-object builder and the smoothing passes: the
// same maps as the outline scan where both apply, and what only they do.
#include <gtest/gtest.h>

#include <cmath>

#include "relief_support.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class MaskReliefTest : public PathTest {};

struct Agreement {
    int compared = 0;
    double worst = 0, sum = 0;
};

// The outline scan against the mask builders fed with the path's own mask:
// wherever both found the outline, the distances and the points the
// vectors end at agree within a pixel; deep inside both mark 300 alike.
Agreement CompareWithOutlineScan(KyPath *p, double width, int32_t even_odd = 0) {
    Call c = Call().Width(width).Floats();
    c.even_odd = even_odd;
    Maps scan = BuildMaps(p, c);
    PathBuf mask = MaskOf(p, even_odd);
    Maps masked = BuildMaps(p, c.Mask(mask));
    KyPathBufFree(mask);
    EXPECT_EQ(scan.result, 1);
    EXPECT_EQ(masked.result, 1);
    EXPECT_EQ(scan.w, masked.w);
    EXPECT_EQ(scan.h, masked.h);
    Agreement a;
    for (uint32_t y = 0; y < scan.h; ++y)
        for (uint32_t x = 0; x < scan.w; ++x) {
            float ds = scan.D(x, y), dm = masked.D(x, y);
            bool inside_s = ds > 0, inside_m = dm > 0;
            double ls = std::sqrt(std::fabs(ds)), lm = std::sqrt(std::fabs(dm));
            if (ds == 0 || dm == 0 || ds == 300.0f || dm == 300.0f) {
                // The outline scan reaches at least as far inside as the
                // mask builders' W + 1, except where it marks 300.
                if (ds > 0 && ds != 300.0f && ls < width - 1) {
                    EXPECT_NE(dm, 0.0f) << x << "," << y;
                }
                continue;
            }
            // Beyond the bevel width the outline scan's square window and
            // the builders' round reach see different parts of the outline.
            if (ls > width || lm > width) continue;
            if (ls > 1.0 || lm > 1.0) {
                EXPECT_EQ(inside_s, inside_m) << x << "," << y;
            }
            double diff = std::fabs(ls - lm);
            bez::Vec2 vs = scan.V(x, y), vm = masked.V(x, y);
            // Ridge pixels may point either way; the lengths still agree.
            double vdiff = std::fabs(std::hypot(vs.x, vs.y) - std::hypot(vm.x, vm.y));
            EXPECT_LE(diff, 1.0) << x << "," << y << ": " << ls << " vs " << lm;
            EXPECT_LE(vdiff, 1.0) << x << "," << y;
            a.worst = std::max(a.worst, diff);
            a.sum += diff;
            ++a.compared;
        }
    return a;
}

TEST_F(MaskReliefTest, MaskBuildersAgreeWithTheOutlineScan) {
    KyPath *star = Polygon(StarPoints(40.3, 38.7, 30, 12, 5));
    KyPath *glyph = GlyphS(3.25, 2.5);
    KyPath *circle = Ellipse(40.2, 40.6, 25.3, 18.1, 0);
    for (KyPath *p : {star, glyph, circle}) {
        Agreement a = CompareWithOutlineScan(p, 8.0);
        EXPECT_GT(a.compared, 400);
        // Both measure to the true outline; they differ by the chords of
        // the flattening, not by the pixel grid.
        EXPECT_LT(a.sum / a.compared, 0.02);
        EXPECT_LT(a.worst, 0.25);
    }
    // Overlapping squares under the nonzero rule: the buried edges are
    // left out by both.
    KyPath *a = Rect(10.3, 10.3, 40.3, 40.3, 0);
    Group({a, Rect(30.3, 20.3, 60.3, 50.3, 0)});
    Agreement u = CompareWithOutlineScan(a, 12.0);
    EXPECT_GT(u.compared, 800);
    EXPECT_LT(u.worst, 0.55) << "where an edge goes under is known to half a pixel in the outline scan";
    Agreement eo = CompareWithOutlineScan(a, 12.0, 1);
    EXPECT_LT(eo.worst, 0.05);
    for (KyPath *p : {star, glyph, circle, a}) KyPathDeletePtr(p, 0);
}

TEST_F(MaskReliefTest, AHostMaskIsFollowedWhereTheOutlineDoesNot) {
    // A rectangle path, with a mask of the same size showing a disc the
    // host painted (anti-aliased by sampling): the relief follows the disc.
    KyPath *p = Rect(10, 10, 70, 70, 0);
    Y32Rect r = raster::GroupRect(p, false, 65536);
    uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
    const double cx = 40.5 - r.left, cy = 40.5 - r.top, radius = 20.0;
    PathBuf mask = Painted(w, h, [&](uint32_t x, uint32_t y) {
        int n = 0;
        for (int k = 0; k < 256; ++k) n += std::hypot(x + (k % 16 + 0.5) / 16 - cx, y + (k / 16 + 0.5) / 16 - cy) < radius;
        return static_cast<uint8_t>(n * 255 / 256);
    });
    Maps m = BuildMaps(p, Call().Width(10).Mask(mask).Floats());
    ASSERT_EQ(m.result, 1);
    int checked = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            double d = radius - std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d < 0.5 || d > 9) continue;
            ++checked;
            EXPECT_NEAR(std::sqrt(m.D(x, y)), d, 0.1) << x << "," << y;
            bez::Vec2 v = m.V(x, y);
            // Outwards from the centre, to the rim: within 12 degrees (the
            // level line of an 8-bit mask is a polygon of pixel-sized sides
            // placed from coverage; measured worst 10.8 degrees).
            double rx = x + 0.5 - cx, ry = y + 0.5 - cy;
            EXPECT_LT(std::fabs(v.x * ry - v.y * rx) / (std::hypot(v.x, v.y) * std::hypot(rx, ry)), 0.2)
                << x << "," << y << " d " << d;
            EXPECT_GT(v.x * rx + v.y * ry, 0.0);
        }
    EXPECT_GT(checked, 800);
    // The rectangle's own outline lies where the mask shows nothing: a
    // pixel just inside it measures to the disc, 9 pixels on.
    EXPECT_NEAR(m.D(m.At(11, 40)), -81.0f, 0.5f);
    KyPathBufFree(mask);
    KyPathDeletePtr(p, 0);
}

TEST_F(MaskReliefTest, NegativeOffsetAddsASecondBevelInside) {
    KyPath *p = Rect(10, 10, 90, 90, 0);
    Maps m = BuildMaps(p, Call().Width(8).Offset(-12).Floats());
    ASSERT_EQ(m.result, 1);
    // Pixel centres at depth d = 0.5, 1.5, ... from the left side: the
    // nearer of the outline (d) and the line 12 inside (|d - 12|). Each
    // bevel reaches W + 1 = 9 pixels from its own line.
    for (double d = 0.5; d < 21; d += 1) {
        const double want = std::min(d, std::fabs(d - 12));
        const float got = m.D(m.At(10 + d, 50));
        EXPECT_GT(got, 0.0f) << "inside keeps its sign, d " << d;
        EXPECT_NEAR(std::sqrt(got), want, 1e-4) << "d " << d;
        // Towards the outline (left) short of the groove's middle, away
        // from it up to the inner line, towards it again beyond.
        const bez::Vec2 v = m.V(m.At(10 + d, 50));
        EXPECT_NEAR(v.x, d > 6 && d < 12 ? want : -want, 1e-4) << "d " << d;
    }
    KyPathDeletePtr(p, 0);
}

TEST_F(MaskReliefTest, PositiveOffsetBevelsTheSurroundings) {
    KyPath *p = Rect(20, 20, 60, 60, 0);
    const int32_t offset = 10;
    Y32Rect mr{};
    PathBuf mask = MaskOf(p, 0, 1.0, offset, &mr);
    ASSERT_NE(mask, nullptr);
    std::vector<uint8_t> before(static_cast<const uint8_t *>(mask),
                                static_cast<const uint8_t *>(mask) + KyPathBufSize(mask) - 12);
    Maps m = BuildMaps(p, Call().Width(6).Offset(offset).Mask(mask).Floats());
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t *>(mask), static_cast<const uint8_t *>(mask) + before.size()),
              before)
        << "the caller's mask is left as it was";
    // The map has the mask's rectangle, not the path's.
    m.rect = mr;
    for (double gap : {0.5, 2.5, 5.5}) {
        // (The shape's sides sit on whole pixels, moved by the 0.00001 that
        // keeps vertices off pixel borders.)
        EXPECT_NEAR(m.D(m.At(60 + gap, 40)), gap * gap, 1e-3) << "outside the shape is the inside of this bevel";
        EXPECT_NEAR(m.V(m.At(60 + gap, 40)).x, -gap, 1e-4) << "pointing back to the shape";
    }
    EXPECT_NEAR(m.D(m.At(58.5, 40)), -1.5 * 1.5, 1e-3) << "1.5 inside the right side";
    KyPathBufFree(mask);
    KyPathDeletePtr(p, 0);
}

TEST_F(MaskReliefTest, ObjectModeTakesTheAttachedOutlineOrTheWholePath) {
    // A path of two subpaths with an envelope outline attached at the end.
    KyPath *a = Ellipse(30.5, 30.5, 15, 10, 0);
    KyPath *b = Rect(50, 20, 80, 45, 0);
    KyPath *env = Rect(15, 15, 85, 50, 0);
    Group({a, b, env});
    env->flags |= KPF_ENVELOPE1;
    Call c = Call().Width(6).Object(1);
    Maps obj = BuildMaps(a, c);
    ASSERT_EQ(obj.result, 1);
    // The object is the envelope outline alone: a rectangle, whose relief
    // is the distance to its nearest side.
    int differing = 0, nonzero = 0;
    for (uint32_t y = 0; y < obj.h; ++y)
        for (uint32_t x = 0; x < obj.w; ++x) {
            double px = obj.rect.left + x + 0.5, py = obj.rect.top + y + 0.5;
            double d = std::min(std::min(px - 15, 85 - px), std::min(py - 15, 50 - py));
            float got = obj.D(x, y);
            if (d > 0.6 && d < 6) {
                ++nonzero;
                if (std::fabs(std::sqrt(got) - d) > 1e-3) ++differing;
            }
            // Nothing of the ellipse or the inner rectangle shows.
            if (px > 40 && px < 50 && py > 25 && py < 40) {
                EXPECT_EQ(got, 300.0f) << px << "," << py;
            }
        }
    EXPECT_GT(nonzero, 300);
    EXPECT_EQ(differing, 0);

    // Without an attached outline the object is the whole path.
    env->flags &= ~KPF_ENVELOPE1;
    b->groupNext = nullptr;
    b->next = nullptr;
    env->prev = nullptr;
    env->groupPrev = nullptr;
    Maps whole = BuildMaps(a, c);
    PathBuf mask = MaskOf(a);
    Maps masked = BuildMaps(a, Call().Width(6).Mask(mask));
    EXPECT_EQ(whole.dist, masked.dist);
    EXPECT_EQ(whole.words, masked.words);
    KyPathBufFree(mask);
    KyPathDeletePtr(a, 0);
    KyPathDeletePtr(env, 0);
}

TEST_F(MaskReliefTest, SmoothingKeepsLengthsAndRidges) {
    KyPath *p = Polygon(StarPoints(50.5, 50.5, 40, 30, 24));  // a shallow star: many small facets
    Maps raw = BuildMaps(p, Call().Width(10));
    Maps smooth = BuildMaps(p, Call().Width(10).Object(0x10000));
    ASSERT_EQ(smooth.result, 1);
    EXPECT_EQ(raw.dist, smooth.dist) << "distances are not touched";
    double rough_raw = 0, rough_smooth = 0;
    int changed = 0;
    for (uint32_t y = 1; y + 1 < raw.h; ++y)
        for (uint32_t x = 1; x + 1 < raw.w; ++x) {
            if (!(raw.D(x, y) > 2.0f) || raw.D(x, y) == 300.0f) continue;
            bez::Vec2 a = raw.V(x, y), b = smooth.V(x, y);
            double la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
            // Kept, but for the truncation to 1/256 of each component on
            // the way in and out.
            EXPECT_NEAR(la, lb, 3.0 / 256) << "length kept";
            const int16_t *wr = raw.W(x, y), *ws = smooth.W(x, y);
            EXPECT_EQ(wr[2], ws[2]);
            EXPECT_EQ(wr[3], ws[3]);
            if (wr[0] != ws[0] || wr[1] != ws[1]) ++changed;
            EXPECT_GT((a.x * b.x + a.y * b.y) / (la * lb), 0.34) << "never turned across a ridge";
            // Roughness: how much the direction turns to the right neighbour.
            auto turn = [](bez::Vec2 u, bez::Vec2 v) {
                return 1.0 - (u.x * v.x + u.y * v.y) / (std::hypot(u.x, u.y) * std::hypot(v.x, v.y));
            };
            if (raw.D(x + 1, y) > 2.0f && raw.D(x + 1, y) != 300.0f) {
                double tr = turn(a, raw.V(x + 1, y)), ts = turn(b, smooth.V(x + 1, y));
                if (tr < 0.5) {  // not across a ridge
                    rough_raw += tr;
                    rough_smooth += ts;
                }
            }
        }
    EXPECT_GT(changed, 200);
    EXPECT_LT(rough_smooth, rough_raw * 0.8);
    KyPathDeletePtr(p, 0);
}

TEST_F(MaskReliefTest, StrokeArrowheadsAreLeftToTheirOwnRelief) {
    // A horizontal centre line with an end arrowhead of the given length
    // (at pen 10, twice that); the host's mask shows the stroke as a bar.
    auto stroke = [](double arrow) {
        KyPath *line = MakePath({{PT_MOVETO, 20, 40}, {PT_LINETO, 120, 40}});
        KyPath *tpl = MakePath({{PT_MOVETO, 0, -5}, {PT_LINETO, arrow, 0}, {PT_LINETO, 0, 5}, {PT_LINETO | PT_CLOSEFIGURE, 0, -5}});
        OutlineInfo *info = nullptr;
        EXPECT_EQ(KyPathAssignOutlineInfo(1, 0, nullptr, 2, 0, tpl, 0, nullptr, 0, 10, 0, 0, &info), 1);
        EXPECT_EQ(KyPathSetOutlineInfo(line, info), 1);
        return line;
    };
    KyPath *line = stroke(10);
    Y32Rect r = raster::GroupRect(line, false, 65536);
    PathBuf mask = Painted(r.right - r.left, r.bottom - r.top, [&](uint32_t x, uint32_t y) {
        double px = r.left + x + 0.5, py = r.top + y + 0.5;
        return static_cast<uint8_t>(px > 20 && px < 120 && py > 36 && py < 44 ? 255 : 0);
    });
    Call c = Call().Width(4).Mask(mask);
    Maps m = BuildMaps(line, c);
    ASSERT_EQ(m.result, 1);
    // The arrowhead (20 long) ends at the line's end: its pixels near the
    // tip are left alone, the stroke's are not.
    EXPECT_EQ(m.D(m.At(115, 40)), 0.0f);
    EXPECT_EQ(m.W(m.At(115, 40))[0], 0);
    EXPECT_GT(m.D(m.At(50, 40)), 0.0f);
    EXPECT_NEAR(std::sqrt(m.D(m.At(50, 37))), 1.5, 1e-3) << "the bar's own border (y 36), from the mask";
    // A template too long for the path is dropped by the fit rule: then
    // nothing is left out.
    KyPath *line2 = stroke(300);
    EXPECT_GT(BuildMaps(line2, c).D(m.At(115, 40)), 0.0f);
    KyPathBufFree(mask);
    KyPathDeletePtr(line, 0);
    KyPathDeletePtr(line2, 0);
}

}  // namespace
