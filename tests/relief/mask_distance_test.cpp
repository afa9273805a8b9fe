// The mask distance builder against a plain reference: every chord against
// every pixel of the map in chord order, nearest first, then the second
// vector, the maps written by the same store functions. The builder works
// band by band with bounds that skip chords; none of that may change a
// byte of the maps.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/bezier.h"
#include "relief/mask_relief.h"
#include "relief_support.h"
#include "support/path_fixture.h"

namespace {

using namespace relief;
using testing_support::PathTest;

class MaskDistanceTest : public PathTest {};

struct Pick {
    double d2 = std::numeric_limits<double>::infinity();
    int32_t chord = -1;
};

// The pieces a chord is measured in: no longer than the reach.
std::vector<std::pair<Vec2, Vec2>> Pieces(const Chord &ch, double reach) {
    const double ex = ch.b.x - ch.a.x, ey = ch.b.y - ch.a.y, len = std::sqrt(ex * ex + ey * ey);
    const double piece = reach > 1.0 ? reach : 1.0;
    const int64_t n = len > piece ? static_cast<int64_t>(std::ceil(len / piece)) : 1;
    std::vector<std::pair<Vec2, Vec2>> out;
    for (int64_t k = 0; k < n; ++k) {
        Vec2 a{ch.a.x + ex * k / n, ch.a.y + ey * k / n};
        Vec2 b = k + 1 == n ? ch.b : Vec2{ch.a.x + ex * (k + 1) / n, ch.a.y + ey * (k + 1) / n};
        out.push_back({a, b});
    }
    return out;
}

// Squared distance from pixel (c, r)'s centre to the piece, worked out as
// the builder does.
double Dist2(Vec2 a, Vec2 b, int64_t c, int64_t r, Vec2 *v) {
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    const double inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
    const double rx = c + 0.5 - a.x, ry = r + 0.5 - a.y;
    double t = (rx * dx + ry * dy) * inv;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    *v = Vec2{t * dx - rx, t * dy - ry};
    return v->x * v->x + v->y * v->y;
}

void Reference(MapSet &maps, const MaskStage &stage, double width) {
    const uint32_t w = maps.width;
    const double reach = SearchReach(width + 1.0, maps), reach2 = reach * reach;
    const size_t n = maps.Pixels();
    const uint8_t *field = stage.field.Data();
    const uint8_t *exclude = stage.has_exclusion ? stage.exclude.Data() : nullptr;
    std::vector<Pick> best(n), second(n);
    for (size_t k = 0; k < stage.chords.Size(); ++k)
        for (auto &pc : Pieces(stage.chords[k], reach))
            for (size_t i = 0; i < n; ++i) {
                if (stage.only && !stage.only[i]) continue;
                Vec2 v;
                const double d2 = Dist2(pc.first, pc.second, i % w, i / w, &v);
                if (d2 <= reach2 && d2 < best[i].d2 && !(exclude && exclude[i]))
                    best[i] = Pick{d2, static_cast<int32_t>(k)};
            }
    auto nearest = [&](int32_t k, size_t i) {
        const Vec2 p{static_cast<double>(i % w) + 0.5, static_cast<double>(i / w) + 0.5};
        const Chord &ch = stage.chords[static_cast<size_t>(k)];
        bez::Nearest q = bez::NearestOnLine(ch.a, ch.b, p);
        return std::make_pair(q.dist2, Vec2{q.point.x - p.x, q.point.y - p.y});
    };
    for (size_t k = 0; k < stage.chords.Size(); ++k)
        for (auto &pc : Pieces(stage.chords[k], reach))
            for (size_t i = 0; i < n; ++i) {
                if (best[i].chord < 0 || best[i].chord == static_cast<int32_t>(k) || field[i] < 128) continue;
                Vec2 v;
                const double d2 = Dist2(pc.first, pc.second, i % w, i / w, &v);
                if (d2 > reach2 || d2 >= second[i].d2) continue;
                const double len0 = std::sqrt(best[i].d2), len = std::sqrt(d2);
                if (len - len0 >= 0.7 || len0 == 0.0 || len == 0.0) continue;
                const Vec2 first = nearest(best[i].chord, i).second;
                if ((v.x * first.x + v.y * first.y) / (len0 * len) < 0.34) second[i] = Pick{d2, static_cast<int32_t>(k)};
            }
    for (size_t i = 0; i < n; ++i) {
        if ((exclude && exclude[i]) || (stage.only && !stage.only[i])) continue;
        const bool inside = field[i] >= 128;
        if (best[i].chord < 0) {
            if (inside) StoreDistance(maps, i, kInsideUnreached);
            continue;
        }
        auto q = nearest(best[i].chord, i);
        StoreDistance(maps, i, static_cast<float>(inside ? q.first : -q.first));
        const Vec2 sv = second[i].chord >= 0 ? nearest(second[i].chord, i).second : Vec2{0, 0};
        StoreVectors(maps, i, q.second, Vec2{0, 0}, sv, Vec2{0, 0});
    }
}

struct Maps {
    MapSet set;
    Maps(uint32_t w, uint32_t h) {
        set.width = w;
        set.height = h;
        set.dist = KyPathBufAlloc(32, w, h, 1, 0, 0);
        set.vec = KyPathBufAlloc(64, w, h, 1, 0, 0);
    }
    ~Maps() { set.Free(); }
};

// What a comparison covers: pixels reached (neither 0 nor the unreached
// mark) and pixels with a second vector.
struct Work {
    size_t reached = 0, seconds = 0;
};
Work Count(const MapSet &m) {
    Work k;
    for (size_t i = 0; i < m.Pixels(); ++i) {
        float d;
        int16_t words[4];
        std::memcpy(&d, static_cast<uint8_t *>(m.dist) + i * 4, 4);
        std::memcpy(words, static_cast<uint8_t *>(m.vec) + i * 8, 8);
        k.reached += d != 0.0f && d != kInsideUnreached;
        k.seconds += words[2] != 0 || words[3] != 0;
    }
    return k;
}

// The builder on `built` (prepared by the caller) against the reference on
// fresh maps, byte for byte; the vectors only when `vectors`. Gives what
// the reference reached.
Work BuildAndCompare(MapSet &built, const MaskStage &stage, double width, bool vectors, const std::string &what) {
    Maps expected(built.width, built.height);
    MergeState merge;
    Progress progress(nullptr);
    EXPECT_TRUE(merge.Init(built)) << what;
    EXPECT_EQ(MaskDistanceBuild(built, stage, width, 0.0, merge, 20, progress), Status::kDone) << what;
    Reference(expected.set, stage, width);
    EXPECT_EQ(std::memcmp(built.dist, expected.set.dist, built.Pixels() * 4), 0) << what;
    if (vectors) {
        EXPECT_EQ(std::memcmp(built.vec, expected.set.vec, built.Pixels() * 8), 0) << what;
    }
    return Count(expected.set);
}

// Random stages: a ragged field, wandering outlines of short chords (the
// builders' usual input) with a few long and zero-length ones and some
// lying off the map, optional excluded and only-these pixels.
TEST_F(MaskDistanceTest, BandsAndBoundsChangeNoByteOfTheMaps) {
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const struct {
        uint32_t w, h;
        double width;
        bool exclude, only;
    } cases[] = {{100, 70, 8.0, false, false}, {61, 93, 3.0, true, false}, {83, 40, 20.0, false, true},
                 {5, 3, 8.0, false, false},    {130, 17, 1.0, true, true}};
    for (const auto &tc : cases) {
        const size_t n = static_cast<size_t>(tc.w) * tc.h;
        MaskStage stage;
        ASSERT_TRUE(stage.field.Allocate(n, false));
        for (size_t i = 0; i < n; ++i) {
            const double x = static_cast<double>(i % tc.w), y = static_cast<double>(i / tc.w);
            stage.field[i] = static_cast<uint8_t>(std::sin(x * 0.11) * std::cos(y * 0.07) > -0.2 ? 200 + i % 50 : i % 100);
        }
        for (int walk = 0; walk < 4; ++walk) {
            Vec2 at{unit(rng) * tc.w, unit(rng) * tc.h};
            double heading = unit(rng) * 6.283;
            for (int k = 0; k < 120; ++k) {
                heading += (unit(rng) - 0.5) * 0.6;
                const double len = k % 37 == 0 ? 0.0 : (k % 29 == 0 ? 30.0 * unit(rng) : 0.2 + unit(rng));
                const Vec2 to{at.x + std::cos(heading) * len, at.y + std::sin(heading) * len};
                ASSERT_TRUE(stage.chords.Push(Chord{at, to, walk}));
                at = to;
            }
        }
        std::vector<uint8_t> exclude(n), only(n);
        for (size_t i = 0; i < n; ++i) {
            exclude[i] = (i * 2654435761u >> 7) % 9 == 0 ? 255 : 0;
            only[i] = (i * 40503u >> 5) % 4 != 0 ? 1 : 0;
        }
        if (tc.exclude) {
            ASSERT_TRUE(stage.exclude.Allocate(n, false));
            std::memcpy(stage.exclude.Data(), exclude.data(), n);
            stage.has_exclusion = true;
        }
        if (tc.only) stage.only = only.data();

        Maps built(tc.w, tc.h);
        const std::string what = std::to_string(tc.w) + "x" + std::to_string(tc.h);
        const Work work = BuildAndCompare(built.set, stage, tc.width, true, what);
        // The comparison sees work: reached pixels and second vectors.
        EXPECT_GT(work.reached, n / 20) << what;
        if (n > 1000) {
            EXPECT_GT(work.seconds, 0u) << what;
        }
    }
}

// Stages as the mask builder makes them, from outlines and from painted
// masks: a glyph-like outline and a star (cubic and straight chords), blobs
// with holes running off the map's edges, hairlines and a one-pixel dot
// (level-line chords only), one of them complemented; bevels from one pixel
// to wider than the map.
TEST_F(MaskDistanceTest, BuiltStagesMatchTheReferenceAtEveryWidth) {
    using relief_support::GlyphS;
    using relief_support::Polygon;
    using relief_support::StarPoints;
    // Coverage of a painted mask from 4 x 4 samples per pixel.
    auto paint = [](uint32_t w, uint32_t h, auto inside) {
        return relief_support::Painted(w, h, [&](uint32_t c, uint32_t r) {
            int n = 0;
            for (int k = 0; k < 16; ++k) n += inside(c + (k % 4 + 0.5) / 4, r + (k / 4 + 0.5) / 4) ? 1 : 0;
            return static_cast<uint8_t>(n * 255 / 16);
        });
    };
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct Disc {
        double x, y, r;
    };
    std::vector<Disc> blobs, holes;
    for (int k = 0; k < 7; ++k) blobs.push_back({unit(rng) * 90 - 5, unit(rng) * 70 - 5, 6 + unit(rng) * 16});
    for (int k = 0; k < 4; ++k) holes.push_back({unit(rng) * 80, unit(rng) * 60, 2 + unit(rng) * 6});
    auto blob = [&](double x, double y) {
        bool in = false;
        for (const Disc &d : blobs) in = in || (x - d.x) * (x - d.x) + (y - d.y) * (y - d.y) < d.r * d.r;
        for (const Disc &d : holes) in = in && (x - d.x) * (x - d.x) + (y - d.y) * (y - d.y) >= d.r * d.r;
        return in;
    };
    auto lines = [](double x, double y) {
        return std::fabs(y - 0.3 * x - 10) < 0.5 || std::fabs(x - 40.25) < 0.4 || (std::fabs(x - 20) < 0.5 && std::fabs(y - 50) < 0.5);
    };
    const struct Input {
        const char *name;
        KyPath *path;
        PathBuf mask;
        uint32_t w, h;
        bool invert;
    } inputs[] = {{"glyph", GlyphS(0, 0), nullptr, 60, 92, false},
                  {"star", Polygon(StarPoints(40, 36, 34, 15, 9)), nullptr, 78, 70, false},
                  {"blobs", nullptr, paint(85, 64, blob), 85, 64, false},
                  {"blobs complemented", nullptr, paint(85, 64, blob), 85, 64, true},
                  {"hairlines", nullptr, paint(70, 66, lines), 70, 66, false}};
    for (const Input &in : inputs) {
        ASSERT_TRUE(in.path || in.mask) << in.name;
        for (double width : {1.0, 3.5, 12.0, 64.0}) {
            const std::string what = std::string(in.name) + " width " + std::to_string(width);
            Maps built(in.w, in.h);
            MaskInput mi;
            mi.path = in.path;
            mi.mask = in.mask;
            mi.invert = in.invert;
            mi.width = width;
            MaskStage stage;
            Progress progress(nullptr);
            ASSERT_EQ(MaskBuild(built.set, mi, &stage, progress), Status::kDone) << what;
            // Painted masks put many pixels at exactly the same distance
            // from two chords. Where doubles are worked out in wider
            // registers (x87, the 32-bit build) such a tie goes whichever
            // way the registers happen to round, in the builder as in the
            // reference, so only the distances are compared there.
            BuildAndCompare(built.set, stage, width, FLT_EVAL_METHOD == 0 || in.path, what);
            // Second vectors appear once the bevel reaches a ridge.
            if (width >= 12.0) {
                EXPECT_GT(Count(built.set).seconds, 0u) << what;
            }
        }
        if (in.mask) KyPathBufFree(in.mask);
        if (in.path) KyPathDeletePtr(in.path, 0);
    }
}

}  // namespace
