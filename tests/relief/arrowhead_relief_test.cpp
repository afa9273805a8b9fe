// KyPathArrowHeadVMap: arrowhead pixels measured to the free sides only,
// the fit rule, and a caller's map left as it was on every failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/alloc_fail.h"
#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"
#include "relief_support.h"
#include "y32Comm.h"

namespace {

using namespace relief_support;
using bez::Vec2;
using testing_support::PathTest;

class ArrowheadReliefTest : public PathTest {};

constexpr double kPen = 10;

KyPath *Triangle(double len, bool closing_side_first = false) {
    if (closing_side_first)  // the attachment side is segment 1, not the closing one
        return MakePath({{PT_MOVETO, len, 0}, {PT_LINETO, 0, 5}, {PT_LINETO, 0, -5}, {PT_LINETO | PT_CLOSEFIGURE, len, 0}});
    return MakePath({{PT_MOVETO, 0, -5}, {PT_LINETO, len, 0}, {PT_LINETO, 0, 5}, {PT_LINETO | PT_CLOSEFIGURE, 0, -5}});
}

KyPath *Stroked(KyPath *line, KyPath *start, KyPath *end, bool keys = true) {
    OutlineInfo *info = nullptr;
    EXPECT_EQ(KyPathAssignOutlineInfo(keys, 0, start, keys ? 2 : 0, 0, end, 0, nullptr, 0, kPen, 0, 0, &info), 1);
    KyPathSetOutlineInfo(line, info);
    return line;
}

// A placed triangle of length len (template units) pointing along d from
// its attachment side, whose middle lies at `base`: tip, then the corners.
struct Tri {
    Vec2 tip, b1, b2;
};
Tri Placed(Vec2 base, Vec2 d, double len) {
    const double s = kPen / 5, l = len * s;
    return {{base.x + d.x * l, base.y + d.y * l}, {base.x + d.y * 5 * s, base.y - d.x * 5 * s},
            {base.x - d.y * 5 * s, base.y + d.x * 5 * s}};
}
double SegDist(Vec2 a, Vec2 b, Vec2 p) { return std::sqrt(bez::NearestOnLine(a, b, p).dist2); }
double FreeDist(const Tri &t, Vec2 p) { return std::fmin(SegDist(t.b1, t.tip, p), SegDist(t.b2, t.tip, p)); }
double SignedInside(const Tri &t, Vec2 p) {  // > 0 inside, the distance to the nearest side
    auto side = [&](Vec2 a, Vec2 b, Vec2 c) {
        double cr = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        double cc = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        return (cr * cc > 0 ? 1 : -1) * SegDist(a, b, p);
    };
    return std::fmin(std::fmin(side(t.b1, t.tip, t.b2), side(t.b2, t.tip, t.b1)), side(t.b1, t.b2, t.tip));
}

void FillTri(PathBuf mask, const Tri &t, double ox, double oy) {
    KyPath *p = Polygon({t.tip, t.b1, t.b2});
    raster::ScanFill(p, raster::FillSpec{raster::Mapping{1.0, ox, oy}, 16, true, false}, mask);
    KyPathDeletePtr(p, 0);
}

std::vector<int16_t> Words(PathBuf v) {
    std::vector<int16_t> w(pbuf::Width(v) * pbuf::Height(v) * 4);
    std::memcpy(w.data(), v, w.size() * 2);
    return w;
}

TEST_F(ArrowheadReliefTest, StrokeAndArrowheadReliefMeetWithoutHoleAndNothingCrossesTheAttachmentSide) {
    // A diagonal stroke (its rectangle then holds the whole arrowhead) whose
    // relief comes from KyPathVMap on the mask, the end arrowhead's from
    // the call under test, with the attachment side first and last in the
    // template's point order.
    const Vec2 d{std::sqrt(0.5), std::sqrt(0.5)};
    for (bool order : {false, true}) {
        SCOPED_TRACE(order);
        KyPath *line = Stroked(MakePath({{PT_MOVETO, 20, 20}, {PT_LINETO, 120, 120}}), nullptr, Triangle(10, order));
        const Y32Rect r = raster::GroupRect(line, false, 65536);
        const uint32_t w = r.right - r.left, h = r.bottom - r.top;
        const double anchor = std::hypot(100, 100) - 20;  // arrow length pen / 5 x 10
        const Tri t = Placed({20 + d.x * (anchor - 2), 20 + d.y * (anchor - 2)}, d, 10);
        PathBuf mask = KyPathBufAlloc(8, w, h, 1, 0, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                double px = r.left + x + 0.5 - 20, py = r.top + y + 0.5 - 20, along = px * d.x + py * d.y;
                if (along >= 0 && along <= anchor && std::fabs(px * d.y - py * d.x) < kPen / 2)
                    static_cast<uint8_t *>(mask)[y * w + x] = 255;
            }
        ASSERT_EQ(KyPathRenderArrowHead(line, nullptr, path::OutlineOf(line)->endArrow, kPen, r.left, r.top, mask, 1), 1);
        PathBuf dist = nullptr, vec = reinterpret_cast<PathBuf>(1);
        double width = 6;
        ASSERT_EQ(KyPathVMap(line, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 1, mask, nullptr, 65536), 1);
        const std::vector<int16_t> stroke = Words(vec);
        const int32_t origin[2] = {r.left, r.top};
        ASSERT_EQ(KyPathArrowHeadVMap(line, kPen, mask, 1, vec, origin, nullptr, 0), 1);
        const std::vector<int16_t> after = Words(vec);
        int written = 0, attach_nearer = 0, ridge = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const size_t i = (static_cast<size_t>(y) * w + x) * 4;
                const Vec2 p{r.left + x + 0.5, r.top + y + 0.5};
                const bool was_zero = !stroke[i] && !stroke[i + 1] && !stroke[i + 2] && !stroke[i + 3];
                if (was_zero && SignedInside(t, p) > 0.75) {
                    EXPECT_NE(after[i] | after[i + 1], 0) << "hole at " << x << "," << y;
                }
                if (std::equal(&after[i], &after[i] + 4, &stroke[i])) continue;
                ++written;
                EXPECT_TRUE(was_zero) << "the stroke's own relief overwritten at " << x << "," << y;
                const Vec2 v{after[i] / 256.0, after[i + 1] / 256.0}, q{p.x + v.x, p.y + v.y};
                const double free = FreeDist(t, p);
                if (SegDist(t.b1, t.b2, p) < free - 1) ++attach_nearer;
                if (after[i + 2] || after[i + 3]) ++ridge;
                if (free < 0.3) continue;  // lengthened to 0.2 pixel
                EXPECT_NEAR(std::hypot(v.x, v.y), free, 0.02) << x << "," << y;
                EXPECT_LT(FreeDist(t, q), 0.02) << "vector ends on a free side, " << x << "," << y;
            }
        EXPECT_GT(written, 150);
        EXPECT_GT(attach_nearer, 20) << "pixels where the attachment side would have won";
        EXPECT_GT(ridge, 5) << "second vectors along the arrowhead's ridge";
        KyPathBufFree(vec);
        KyPathBufFree(mask);
        KyPathDeletePtr(line, 0);
    }
}

// A line from (20, 40) to (120, 40) stroked with pen 10, a map at the image
// origin whose mask shows the expected arrowheads (even dropped ones).
struct Scene {
    KyPath *line;
    PathBuf mask = KyPathBufAlloc(8, 140, 80, 1, 0, 0), vec = KyPathBufAlloc(64, 140, 80, 1, 0, 0);
    int32_t origin[2] = {0, 0};
    Scene(double start_len, double end_len, bool keys = true, bool templates = true) {
        line = Stroked(MakePath({{PT_MOVETO, 20, 40}, {PT_LINETO, 120, 40}}),
                       start_len > 0 && templates ? Triangle(start_len) : nullptr,
                       end_len > 0 && templates ? Triangle(end_len) : nullptr, keys);
        if (start_len > 0) FillTri(mask, Placed({std::fmin(20 + 2 * start_len, 120) + 2, 40}, {-1, 0}, start_len), 0, 0);
        if (end_len > 0) FillTri(mask, Placed({std::fmax(120 - 2 * end_len, 20) - 2, 40}, {1, 0}, end_len), 0, 0);
    }
    ~Scene() {
        KyPathBufFree(mask);
        KyPathBufFree(vec);
        KyPathDeletePtr(line, 0);
    }
    int32_t Run(ReliefProgress *progress = nullptr) { return KyPathArrowHeadVMap(line, kPen, mask, 1, vec, origin, progress, 0); }
    bool Untouched() const { return Words(vec) == std::vector<int16_t>(140 * 80 * 4, 0); }
};

TEST_F(ArrowheadReliefTest, OnlyArrowheadsThatFitTheirPathGetRelief) {
    // Path length 100, pen 10: a triangle of length len has extent 2 len.
    struct Case {
        const char *name;
        double start_len, end_len;
        bool keys, templates;
        int32_t result;
        bool written;
    } cases[] = {
        {"start 60", 30, 0, true, true, 1, true},
        {"start 140 overhangs by less than 50", 70, 0, true, true, 1, true},
        {"start 200 overhangs by 100: dropped", 100, 0, true, true, 1, false},
        {"end 90", 0, 45, true, true, 1, true},
        {"end 140 longer than the path: dropped", 0, 70, true, true, 1, false},
        {"keys without templates", 30, 30, true, false, 0, false},
        {"templates without keys", 30, 0, false, true, 1, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Scene s(k.start_len, k.end_len, k.keys, k.templates);
        EXPECT_EQ(s.Run(), k.result);
        EXPECT_EQ(s.Untouched(), !k.written);
    }
    KyPath *bare = MakePath({{PT_MOVETO, 20, 40}, {PT_LINETO, 120, 40}});
    Scene s(30, 0);
    EXPECT_EQ(KyPathArrowHeadVMap(bare, kPen, s.mask, 1, s.vec, s.origin, nullptr, 0), 1) << "no outline record";
    EXPECT_TRUE(s.Untouched());
    KyPathDeletePtr(bare, 0);
}

TEST_F(ArrowheadReliefTest, CancelledOrFailedCallsLeaveTheMapAsItWas) {
    Scene ref(20, 20);
    Recorder all;
    ReliefProgress rec = all.Record();
    ASSERT_EQ(ref.Run(&rec), 1);
    ASSERT_GT(all.progress_calls, 4);
    EXPECT_EQ(all.calls.front().code, RELIEF_BEGIN);
    EXPECT_EQ(all.calls.back().code, RELIEF_END);
    // The first question, and the last one (while the second arrowhead is
    // measured, the first already built).
    for (int32_t at : {0, all.progress_calls - 1}) {
        Scene s(20, 20);
        Recorder cancel;
        cancel.cancel_on_call = at;
        ReliefProgress r = cancel.Record();
        c32ClearDLLErrInfo();
        EXPECT_EQ(s.Run(&r), 0);
        Y32ErrInfo e{};
        ASSERT_EQ(c32GetDLLErrInfo(&e), 1);
        EXPECT_EQ(e.code, 5200);
        EXPECT_EQ(e.unit, 23);
        EXPECT_TRUE(s.Untouched());
    }
    int failures = 0;
    for (int64_t i = 0;; ++i) {
        Scene s(20, 20);
        c32ClearDLLErrInfo();
        int32_t result;
        {
            plat::ScopedAllocFailure fail(i);
            result = s.Run();
        }
        if (result == 1) {
            EXPECT_EQ(Words(s.vec), Words(ref.vec)) << "past the last allocation";
            break;
        }
        ++failures;
        Y32ErrInfo e{};
        ASSERT_GE(c32GetDLLErrInfo(&e), 1) << "failure " << i;
        EXPECT_EQ(e.code, 1001);
        EXPECT_EQ(e.unit, 23);
        EXPECT_TRUE(s.Untouched()) << "failure " << i;
        ASSERT_LT(i, 200) << "never succeeded";
    }
    EXPECT_GE(failures, 8);
}

TEST_F(ArrowheadReliefTest, RefusesMissingAndMismatchedArguments) {
    Scene s(30, 0);
    PathBuf small = KyPathBufAlloc(8, 10, 10, 1, 0, 0);
    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathArrowHeadVMap(nullptr, kPen, s.mask, 1, s.vec, s.origin, nullptr, 0), 0);
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, kPen, nullptr, 1, s.vec, s.origin, nullptr, 0), 0);
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, kPen, s.mask, 0, s.vec, s.origin, nullptr, 0), 0);
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, kPen, s.mask, 1, nullptr, s.origin, nullptr, 0), 0);
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, kPen, s.mask, 1, s.vec, nullptr, nullptr, 0), 0);
    EXPECT_EQ(c32GetDLLErrInfo(nullptr), 0) << "null arguments are not reported";
    for (auto [mask, vec] : {std::pair{small, s.vec}, std::pair{s.mask, s.mask}, std::pair{s.vec, s.vec}}) {
        c32ClearDLLErrInfo();
        EXPECT_EQ(KyPathArrowHeadVMap(s.line, kPen, mask, 1, vec, s.origin, nullptr, 0), 0);
        Y32ErrInfo e{};
        ASSERT_EQ(c32GetDLLErrInfo(&e), 1);
        EXPECT_EQ(e.code, 3200);
    }
    EXPECT_TRUE(s.Untouched());
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, 0.0, s.mask, 1, s.vec, s.origin, nullptr, 0), 1) << "no pen, no arrowhead";
    EXPECT_TRUE(s.Untouched());
    KyPathBufFree(small);
}

}  // namespace
