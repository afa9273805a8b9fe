// KyPathVMap as a host calls it: arguments, the maps it hands back,
// progress, cancellation and failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "relief_support.h"
#include "support/alloc_sweep.h"

namespace {

using namespace relief_support;
using testing_support::PathTest;

class VMapTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        c32ClearDLLErrInfo();
    }
    void TearDown() override {
        y32SetEscPressedHook(nullptr, nullptr);
        PathTest::TearDown();
    }
    static Y32ErrInfo LastReport() {
        Y32ErrInfo e{};
        c32GetDLLErrInfo(&e);
        return e;
    }
};

// The maps asked for, of the path's size. Zero, negative and NaN widths
// all ask for no relief: the maps stay zero and width 1 comes back.
TEST_F(VMapTest, TheMapsAskedForComeBack) {
    KyPath *p = Polygon(StarPoints(40, 40, 30, 12, 5));
    const struct {
        double width;
        bool dist, vec;
        int32_t result;
    } cases[] = {{0.0, true, true, 1},   {-4.0, true, true, 1}, {std::nan(""), true, true, 1},
                 {8.0, true, false, 1},  {8.0, false, true, 1},
                 {8.0, false, false, 0}};  // nothing asked: nothing to do, and nothing made
    for (size_t i = 0; i < 6; ++i) {
        Call c = Call().Width(cases[i].width);
        c.dist = cases[i].dist;
        c.vec = cases[i].vec;
        Maps m = BuildMaps(p, c);
        EXPECT_EQ(m.result, cases[i].result) << "case " << i;
        EXPECT_EQ(m.has_dist, cases[i].dist) << "case " << i;
        EXPECT_EQ(m.has_vec, cases[i].vec) << "case " << i;
        if (!m.result) continue;
        EXPECT_EQ(m.w, static_cast<uint32_t>(m.rect.right - m.rect.left)) << "case " << i;
        EXPECT_EQ(m.h, static_cast<uint32_t>(m.rect.bottom - m.rect.top)) << "case " << i;
        if (cases[i].width > 0) continue;
        EXPECT_EQ(m.width_out, 1.0) << "case " << i;
        EXPECT_TRUE(std::all_of(m.dist.begin(), m.dist.end(), [](float v) { return v == 0.0f; })) << "case " << i;
        EXPECT_TRUE(std::all_of(m.words.begin(), m.words.end(), [](int16_t v) { return v == 0; })) << "case " << i;
    }
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, BadArgumentsLeaveBothHandlesZero) {
    KyPath *p = Rect(10, 10, 40, 30, 0);
    double w = 5;
    auto refused = [](KyPath *path, double *width, int32_t use_mask, PathBuf mask, ReliefProgress *pr) {
        PathBuf d = reinterpret_cast<PathBuf>(1), v = d;
        return KyPathVMap(path, &d, &v, 0, 0, 0, 0, 0, width, 0, use_mask, mask, pr, 65536) == 0 && !d && !v;
    };
    ReliefProgress pr{7, nullptr, 0, 0, 0};
    EXPECT_TRUE(refused(nullptr, &w, 0, nullptr, &pr)) << "no outline record";
    EXPECT_EQ(pr.state, 1);
    EXPECT_TRUE(refused(p, &w, 1, nullptr, nullptr)) << "mask asked, none given";
    EXPECT_TRUE(refused(p, nullptr, 0, nullptr, nullptr)) << "no width";
    // A sub-pixel (32-bit) mask is not a coverage mask.
    PathBuf wide = KyPathBufAlloc(32, 41, 31, 1, 0, 0);
    c32ClearDLLErrInfo();
    EXPECT_TRUE(refused(p, &w, 1, wide, nullptr));
    EXPECT_EQ(LastReport().code, 3200);
    EXPECT_EQ(LastReport().unit, 20);
    KyPathBufFree(wide);
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, ProgressRunsFromBeginToEndInRisingSteps) {
    KyPath *p = GlyphS(2, 3);
    PathBuf mask = MaskOf(p);
    const struct {
        const char *name;
        int32_t use_mask, offset, object_mode;
    } modes[] = {{"outline scan", 0, 0, 0}, {"mask", 1, 0, 0}, {"second bevel", 0, -3, 0}, {"smoothing", 0, 0, 0x10000}};
    for (const auto &k : modes) {
        SCOPED_TRACE(k.name);
        Recorder rec;
        ReliefProgress pr = rec.Record();
        pr.state = 9;
        Call c = Call().Offset(k.offset).Object(k.object_mode);
        c.progress = &pr;
        if (k.use_mask) c.Mask(mask);
        EXPECT_EQ(BuildMaps(p, c).result, 1);
        EXPECT_EQ(pr.state, 1);
        ASSERT_GE(rec.calls.size(), 3u);
        EXPECT_EQ(rec.calls.front().code, RELIEF_BEGIN);
        EXPECT_EQ(rec.calls.front().percent, 0);
        EXPECT_EQ(rec.calls.back().code, RELIEF_END);
        EXPECT_EQ(rec.calls.back().percent, 100);
        // Percentages rise within a stage; the smoothing passes start again
        // at 50 once the outline scan has reported its end.
        int last = -1, steps = 0;
        for (auto &call : rec.calls) {
            if (call.code == RELIEF_END && &call != &rec.calls.back()) last = -1;
            if (call.code != RELIEF_PROGRESS) continue;
            ++steps;
            EXPECT_GE(call.percent, last);
            EXPECT_LE(call.percent, 100);
            last = call.percent;
        }
        EXPECT_GT(steps, 10);
    }
    KyPathBufFree(mask);
    KyPathDeletePtr(p, 0);
}

// Cancelling: result 0, both handles 0, nothing leaked (the fixture checks
// the private heap, the sanitizer build the rest), and the report names the
// builder that stopped.
TEST_F(VMapTest, CancellingInEveryBuilder) {
    KyPath *glyph = GlyphS(2, 3);
    KyPath *circle = Ellipse(40.5, 40.5, 20, 20);
    PathBuf mask = MaskOf(glyph);
    // The host's mask for the surroundings: the path's rectangle grown by
    // the offset.
    PathBuf grown = MaskOf(glyph, 0, 1.0, 3);
    const struct Case {
        const char *name;
        KyPath *path;
        PathBuf mask;
        int32_t offset, object_mode;
        int32_t cancel_on_call;  // -1: use the percentage
        int32_t cancel_at;       // -1: at the first call after the outline scan ended
        int32_t unit;
    } cases[] = {
        {"outline scan, first call", glyph, nullptr, 0, 0, 0, -1, 20},
        {"outline scan, half way", glyph, nullptr, 0, 0, -1, 50, 20},
        {"primitive, first call", circle, nullptr, 0, 0, 0, -1, 19},
        {"primitive, late", circle, nullptr, 0, 0, -1, 90, 19},
        {"mask builder", glyph, mask, 0, 0, 0, -1, 20},
        {"mask distance builder", glyph, mask, 0, 0, -1, 30, 21},
        {"second bevel", glyph, nullptr, -4, 0, -1, 70, 21},
        {"surroundings", glyph, grown, 3, 0, -1, 60, 21},
        {"object", glyph, nullptr, 0, 1, -1, 50, 21},
        {"smoothing", glyph, nullptr, 0, 0x10000, -1, -1, 20},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Recorder rec;
        rec.cancel_on_call = k.cancel_on_call;
        rec.cancel_at_percent = k.cancel_at;
        rec.cancel_after_end = k.cancel_on_call < 0 && k.cancel_at < 0;
        ReliefProgress pr = rec.Record();
        Call c = Call().Offset(k.offset).Object(k.object_mode);
        c.progress = &pr;
        if (k.mask) c.Mask(k.mask);
        c32ClearDLLErrInfo();
        Maps m = BuildMaps(k.path, c);
        EXPECT_EQ(m.result, 0);
        EXPECT_FALSE(m.has_dist);
        EXPECT_FALSE(m.has_vec);
        Y32ErrInfo e = LastReport();
        EXPECT_EQ(e.code, 5200);
        EXPECT_EQ(e.severity, 0);
        EXPECT_EQ(e.module, 2600);
        EXPECT_EQ(e.unit, k.unit);
    }
    KyPathBufFree(grown);
    KyPathBufFree(mask);
    KyPathDeletePtr(glyph, 0);
    KyPathDeletePtr(circle, 0);
}

TEST_F(VMapTest, EscapeKeyCancelsWithoutACallback) {
    KyPath *p = GlyphS(2, 3);
    int asked = 0;
    y32SetEscPressedHook([](void *user) -> int32_t { return ++*static_cast<int *>(user) >= 5 ? 1 : 0; }, &asked);
    Maps m = BuildMaps(p, Call{});
    EXPECT_EQ(m.result, 0);
    EXPECT_FALSE(m.has_dist || m.has_vec);
    EXPECT_EQ(asked, 5) << "asked once per row until it answers";
    EXPECT_EQ(LastReport().code, 5200);
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, EveryAllocationFailureGivesZeroAndLeavesNothing) {
    KyPath *glyph = GlyphS(2, 3);
    KyPath *circle = Ellipse(40.5, 40.5, 20, 20);
    PathBuf mask = MaskOf(glyph);
    const struct Mode {
        const char *name;
        KyPath *path;
        int32_t use_mask, offset, object_mode, format;
    } modes[] = {
        {"outline scan", glyph, 0, 0, 0, 0},     {"outline scan, smoothed", glyph, 0, 0, 0x10000, 0},
        {"primitive", circle, 0, 0, 0, 1},       {"mask", glyph, 1, 0, 0, 0},
        {"second bevel", glyph, 0, -3, 0, 0},    {"surroundings", glyph, 0, 2, 0, 0},
        {"object", glyph, 0, 0, 1, 0},
    };
    for (const Mode &k : modes) {
        SCOPED_TRACE(k.name);
        Call c = Call().Offset(k.offset).Object(k.object_mode);
        c.vector_format = k.format;
        if (k.use_mask) c.Mask(mask);
        const Maps good = BuildMaps(k.path, c);
        ASSERT_EQ(good.result, 1);
        const int64_t failures = testing_support::FailEachAllocation([&] {
            c32ClearDLLErrInfo();
            Maps m = BuildMaps(k.path, c);
            if (m.result != 1) {
                EXPECT_FALSE(m.has_dist || m.has_vec);
                EXPECT_EQ(LastReport().code, 1001);
                return false;
            }
            // A failure the build could do without: the same maps.
            EXPECT_EQ(m.dist, good.dist);
            EXPECT_EQ(m.words, good.words);
            EXPECT_EQ(m.floats, good.floats);
            return true;
        });
        EXPECT_GE(failures, 2) << "at least the two maps";
    }
    KyPathBufFree(mask);
    KyPathDeletePtr(glyph, 0);
    KyPathDeletePtr(circle, 0);
}

}  // namespace
