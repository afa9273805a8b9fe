// KyPathVMap as a host calls it: arguments, the maps it hands back,
// progress, cancellation and failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/alloc_fail.h"
#include "relief_support.h"

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

TEST_F(VMapTest, WidthZeroGivesZeroMapsAndWidthOne) {
    KyPath *p = Polygon(StarPoints(40, 40, 30, 12, 5));
    Call c;
    c.width = 0.0;
    Maps m = BuildMaps(p, c);
    ASSERT_EQ(m.result, 1);
    EXPECT_EQ(m.width_out, 1.0);
    ASSERT_TRUE(m.has_dist && m.has_vec);
    EXPECT_EQ(m.w, static_cast<uint32_t>(m.rect.right - m.rect.left));
    EXPECT_EQ(m.h, static_cast<uint32_t>(m.rect.bottom - m.rect.top));
    EXPECT_TRUE(std::all_of(m.dist.begin(), m.dist.end(), [](float v) { return v == 0.0f; }));
    EXPECT_TRUE(std::all_of(m.words.begin(), m.words.end(), [](int16_t v) { return v == 0; }));
    // A negative or NaN width asks for no relief either.
    c.width = -4.0;
    EXPECT_EQ(BuildMaps(p, c).width_out, 1.0);
    c.width = std::nan("");
    Maps nan = BuildMaps(p, c);
    EXPECT_EQ(nan.result, 1);
    EXPECT_TRUE(std::all_of(nan.dist.begin(), nan.dist.end(), [](float v) { return v == 0.0f; }));
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, OnlyTheMapsAskedForAreMade) {
    KyPath *p = Rect(10, 10, 40, 30, 0);
    Call c;
    c.vec = false;
    Maps m = BuildMaps(p, c);
    EXPECT_EQ(m.result, 1);
    EXPECT_TRUE(m.has_dist);
    EXPECT_FALSE(m.has_vec);
    c.vec = true;
    c.dist = false;
    m = BuildMaps(p, c);
    EXPECT_EQ(m.result, 1);
    EXPECT_FALSE(m.has_dist);
    EXPECT_TRUE(m.has_vec);
    // Nothing asked for: nothing to do, and nothing made.
    c.vec = false;
    m = BuildMaps(p, c);
    EXPECT_EQ(m.result, 0);
    EXPECT_FALSE(m.has_dist || m.has_vec);
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, BadArgumentsLeaveBothHandlesZero) {
    KyPath *p = Rect(10, 10, 40, 30, 0);
    double w = 5;
    PathBuf d = reinterpret_cast<PathBuf>(1), v = reinterpret_cast<PathBuf>(1);
    ReliefProgress pr{7, nullptr, 0, 0, 0};
    EXPECT_EQ(KyPathVMap(nullptr, &d, &v, 0, 0, 0, 0, 0, &w, 0, 0, nullptr, &pr, 65536), 0);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(pr.state, 1) << "no outline record";
    d = v = reinterpret_cast<PathBuf>(1);
    EXPECT_EQ(KyPathVMap(p, &d, &v, 0, 0, 0, 0, 0, &w, 0, 1, nullptr, nullptr, 65536), 0) << "mask asked, none given";
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(v, nullptr);
    d = v = reinterpret_cast<PathBuf>(1);
    EXPECT_EQ(KyPathVMap(p, &d, &v, 0, 0, 0, 0, 0, nullptr, 0, 0, nullptr, nullptr, 65536), 0) << "no width";
    EXPECT_EQ(d, nullptr);
    // A sub-pixel (32-bit) mask is not a coverage mask.
    PathBuf wide = KyPathBufAlloc(32, 41, 31, 1, 0, 0);
    d = v = reinterpret_cast<PathBuf>(1);
    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathVMap(p, &d, &v, 0, 0, 0, 0, 0, &w, 0, 1, wide, nullptr, 65536), 0);
    EXPECT_EQ(d, nullptr);
    Y32ErrInfo e = LastReport();
    EXPECT_EQ(e.code, 3200);
    EXPECT_EQ(e.unit, 20);
    KyPathBufFree(wide);
    KyPathDeletePtr(p, 0);
}

TEST_F(VMapTest, ProgressRunsFromBeginToEndInRisingSteps) {
    KyPath *p = GlyphS(2, 3);
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        Recorder rec;
        ReliefProgress pr = rec.Record();
        pr.state = 9;
        Call c;
        c.progress = &pr;
        PathBuf mask = nullptr;
        if (mode == 1) {
            mask = MaskOf(p);
            c.use_mask = 1;
            c.mask = mask;
        }
        if (mode == 2) c.offset = -3;
        if (mode == 3) c.object_mode = 0x10000;  // smoothing after the outline scan
        Maps m = BuildMaps(p, c);
        EXPECT_EQ(m.result, 1);
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
        if (mask) KyPathBufFree(mask);
    }
    KyPathDeletePtr(p, 0);
}

// Cancelling: result 0, both handles 0, nothing leaked (the fixture checks
// the private heap, the sanitizer build the rest), and the report names the
// builder that stopped.
struct CancelCase {
    const char *name;
    int32_t unit;
    int32_t cancel_at;  // percent
};

TEST_F(VMapTest, CancellingInEveryBuilder) {
    KyPath *glyph = GlyphS(2, 3);
    KyPath *circle = Ellipse(40.5, 40.5, 20, 20);
    PathBuf mask = MaskOf(glyph);
    struct Case {
        const char *name;
        KyPath *path;
        int32_t use_mask, offset, object_mode;
        int32_t cancel_on_call;  // -1: use the percentage
        int32_t cancel_at;
        int32_t unit;
    } cases[] = {
        {"outline scan, first call", glyph, 0, 0, 0, 0, -1, 20},
        {"outline scan, half way", glyph, 0, 0, 0, -1, 50, 20},
        {"primitive, first call", circle, 0, 0, 0, 0, -1, 19},
        {"primitive, late", circle, 0, 0, 0, -1, 90, 19},
        {"mask builder", glyph, 1, 0, 0, 0, -1, 20},
        {"mask distance builder", glyph, 1, 0, 0, -1, 30, 21},
        {"second bevel", glyph, 0, -4, 0, -1, 70, 21},
        {"surroundings", glyph, 1, 3, 0, -1, 60, 21},
        {"object", glyph, 0, 0, 1, -1, 50, 21},
        {"smoothing", glyph, 0, 0, 0x10000, -1, 101, 20},  // see below
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Recorder rec;
        rec.cancel_on_call = k.cancel_on_call;
        rec.cancel_at_percent = k.cancel_at;
        ReliefProgress pr = rec.Record();
        Call c;
        c.progress = &pr;
        c.use_mask = k.use_mask;
        c.mask = k.use_mask ? (k.offset > 0 ? nullptr : mask) : nullptr;
        c.offset = k.offset;
        c.object_mode = k.object_mode;
        PathBuf wide = nullptr;
        if (k.offset > 0) {
            // The host's mask for the surroundings: the path's rectangle
            // grown by the offset.
            Y32Rect *rects = nullptr;
            PathBuf *bufs = nullptr;
            ASSERT_EQ(KyPathToBuf(k.path, 0, 0, 1, 0, 65536, &rects, &bufs, k.offset), 1);
            wide = bufs[0];
            GlobalFree(rects);
            GlobalFree(bufs);
            c.mask = wide;
        }
        if (k.cancel_at > 100) {
            // The smoothing passes run over 50..100 after the outline scan
            // (whose percentages are its rows): cancel at the first call
            // after the scan ended.
            rec.cancel_at_percent = -1;
            rec.calls.clear();
        }
        c32ClearDLLErrInfo();
        Maps m;
        if (k.cancel_at > 100) {
            struct Late {
                static int32_t Cb(int32_t code, int32_t, int32_t, intptr_t user) {
                    auto *seen_end = reinterpret_cast<int *>(user);
                    if (code == RELIEF_END) *seen_end = 1;
                    return code == RELIEF_PROGRESS && *seen_end ? 0 : 1;
                }
            };
            int seen_end = 0;
            pr = ReliefProgress{0, &Late::Cb, reinterpret_cast<intptr_t>(&seen_end), 0, 0};
            m = BuildMaps(k.path, c);
            EXPECT_EQ(seen_end, 1);
        } else {
            m = BuildMaps(k.path, c);
        }
        EXPECT_EQ(m.result, 0);
        EXPECT_FALSE(m.has_dist);
        EXPECT_FALSE(m.has_vec);
        Y32ErrInfo e = LastReport();
        EXPECT_EQ(e.code, 5200);
        EXPECT_EQ(e.severity, 0);
        EXPECT_EQ(e.module, 2600);
        EXPECT_EQ(e.unit, k.unit);
        if (wide) KyPathBufFree(wide);
    }
    KyPathBufFree(mask);
    KyPathDeletePtr(glyph, 0);
    KyPathDeletePtr(circle, 0);
}

TEST_F(VMapTest, EscapeKeyCancelsWithoutACallback) {
    KyPath *p = GlyphS(2, 3);
    int asked = 0;
    y32SetEscPressedHook(
        [](void *user) -> int32_t {
            int *n = static_cast<int *>(user);
            return ++*n >= 5 ? 1 : 0;
        },
        &asked);
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
    struct Mode {
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
        Call c;
        c.use_mask = k.use_mask;
        c.mask = k.use_mask ? mask : nullptr;
        c.offset = k.offset;
        c.object_mode = k.object_mode;
        c.vector_format = k.format;
        Maps good = BuildMaps(k.path, c);
        ASSERT_EQ(good.result, 1);
        int failures = 0;
        for (int64_t i = 0;; ++i) {
            size_t live = LiveBlocks();
            Maps m;
            {
                plat::ScopedAllocFailure fail(i);
                m = BuildMaps(k.path, c);
            }
            EXPECT_EQ(LiveBlocks(), live) << "failure " << i;
            if (m.result == 1) {
                // Past the last allocation: the same maps as without failures.
                EXPECT_EQ(m.dist, good.dist);
                EXPECT_EQ(m.words, good.words);
                EXPECT_EQ(m.floats, good.floats);
                break;
            }
            ++failures;
            EXPECT_FALSE(m.has_dist || m.has_vec) << "failure " << i;
            ASSERT_LT(i, 200) << "never succeeded";
        }
        EXPECT_GE(failures, 2) << "at least the two maps";
    }
    KyPathBufFree(mask);
    KyPathDeletePtr(glyph, 0);
    KyPathDeletePtr(circle, 0);
}

}  // namespace
