// KyPathArrowHeadVMap: arrowhead pixels measured to the free sides only,
// the fit rule, and a caller's map left as it was on every failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"
#include "relief_support.h"
#include "support/alloc_sweep.h"
#include "y32Comm.h"

namespace {

using namespace relief_support;
using bez::Vec2;
using testing_support::PathTest;

class ArrowheadReliefTest : public PathTest {};

constexpr double kPen = 10;

// Base half 5, so extent 2 len at pen 10. `shifted`: the attachment side is
// segment 1 instead of the closing segment.
KyPath *Triangle(double len, bool shifted = false) {
    if (shifted) return MakePath({{PT_MOVETO, len, 0}, {PT_LINETO, 0, 5}, {PT_LINETO, 0, -5}, {PT_LINETO | PT_CLOSEFIGURE, len, 0}});
    return MakePath({{PT_MOVETO, 0, -5}, {PT_LINETO, len, 0}, {PT_LINETO, 0, 5}, {PT_LINETO | PT_CLOSEFIGURE, 0, -5}});
}

KyPath *Stroked(KyPath *line, KyPath *start, KyPath *end, bool keys = true) {
    OutlineInfo *info = nullptr;
    EXPECT_EQ(KyPathAssignOutlineInfo(keys, 0, start, keys ? 2 : 0, 0, end, 0, nullptr, 0, kPen, 0, 0, &info), 1);
    KyPathSetOutlineInfo(line, info);
    return line;
}

// Where a triangle of length len lands pointing along d with the middle of
// its attachment side at `base` (scaled by pen / 5).
struct Tri {
    Vec2 tip, b1, b2;
};
Tri Placed(Vec2 base, Vec2 d, double len) {
    return {{base.x + d.x * len * 2, base.y + d.y * len * 2}, {base.x + d.y * 10, base.y - d.x * 10},
            {base.x - d.y * 10, base.y + d.x * 10}};
}
double SegDist(Vec2 a, Vec2 b, Vec2 p) { return std::sqrt(bez::NearestOnLine(a, b, p).dist2); }
double FreeDist(const Tri &t, Vec2 p) { return std::fmin(SegDist(t.b1, t.tip, p), SegDist(t.b2, t.tip, p)); }
bool DeepInside(const Tri &t, Vec2 p) {
    auto cross = [&](Vec2 a, Vec2 b) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); };
    const double c1 = cross(t.b1, t.tip), c2 = cross(t.tip, t.b2), c3 = cross(t.b2, t.b1);
    return ((c1 > 0 && c2 > 0 && c3 > 0) || (c1 < 0 && c2 < 0 && c3 < 0)) &&
           std::fmin(FreeDist(t, p), SegDist(t.b1, t.b2, p)) > 0.75;
}

std::vector<int16_t> Words(PathBuf v) {
    std::vector<int16_t> w(pbuf::Width(v) * pbuf::Height(v) * 4);
    std::memcpy(w.data(), v, w.size() * 2);
    return w;
}

TEST_F(ArrowheadReliefTest, StrokeAndArrowheadReliefMeetWithoutHoleAndNothingCrossesTheAttachmentSide) {
    // A diagonal stroke (its rectangle then holds the whole end arrowhead):
    // its relief from KyPathVMap on the mask, the arrowhead's from the call.
    const Vec2 d{std::sqrt(0.5), std::sqrt(0.5)};
    const double anchor = std::hypot(100, 100) - 20;
    const Tri t = Placed({20 + d.x * (anchor - 2), 20 + d.y * (anchor - 2)}, d, 10);
    for (bool shifted : {false, true}) {
        SCOPED_TRACE(shifted);
        KyPath *line = Stroked(MakePath({{PT_MOVETO, 20, 20}, {PT_LINETO, 120, 120}}), nullptr, Triangle(10, shifted));
        const Y32Rect r = raster::GroupRect(line, false, 65536);
        const uint32_t w = r.right - r.left, h = r.bottom - r.top;
        PathBuf mask = KyPathBufAlloc(8, w, h, 1, 0, 0), dist = nullptr, vec = reinterpret_cast<PathBuf>(1);
        for (uint32_t i = 0; i < w * h; ++i) {
            double px = r.left + i % w + 0.5 - 20, py = r.top + i / w + 0.5 - 20, along = px * d.x + py * d.y;
            if (along >= 0 && along <= anchor && std::fabs(px * d.y - py * d.x) < kPen / 2) static_cast<uint8_t *>(mask)[i] = 255;
        }
        ASSERT_EQ(KyPathRenderArrowHead(line, nullptr, path::OutlineOf(line)->endArrow, kPen, r.left, r.top, mask, 1), 1);
        double width = 6;
        ASSERT_EQ(KyPathVMap(line, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 1, mask, nullptr, 65536), 1);
        const std::vector<int16_t> stroke = Words(vec);
        const int32_t origin[2] = {r.left, r.top};
        ASSERT_EQ(KyPathArrowHeadVMap(line, kPen, mask, 1, vec, origin, nullptr, 0), 1);
        const std::vector<int16_t> after = Words(vec);
        int written = 0, attach_nearer = 0, ridge = 0;
        for (uint32_t k = 0; k < w * h; ++k) {
            const int16_t *s = &stroke[k * 4], *a = &after[k * 4];
            const Vec2 p{r.left + k % w + 0.5, r.top + k / w + 0.5}, v{a[0] / 256.0, a[1] / 256.0};
            const bool was_zero = std::all_of(s, s + 4, [](int16_t x) { return x == 0; });
            EXPECT_TRUE(!was_zero || !DeepInside(t, p) || a[0] || a[1]) << "hole at " << k;
            if (std::equal(a, a + 4, s)) continue;
            ++written;
            EXPECT_TRUE(was_zero) << "the stroke's own relief overwritten at " << k;
            const double free = FreeDist(t, p);
            attach_nearer += SegDist(t.b1, t.b2, p) < free - 1;
            ridge += a[2] || a[3];
            if (free < 0.3) continue;  // lengthened to 0.2 pixel
            EXPECT_NEAR(std::hypot(v.x, v.y), free, 0.02) << k;
            EXPECT_LT(FreeDist(t, {p.x + v.x, p.y + v.y}), 0.02) << "ends on a free side, " << k;
        }
        EXPECT_GT(written, 150);
        EXPECT_GT(attach_nearer, 20) << "pixels the attachment side would have taken";
        EXPECT_GT(ridge, 5) << "second vectors along the arrowhead's ridge";
        KyPathBufFree(vec);
        KyPathBufFree(mask);
        KyPathDeletePtr(line, 0);
    }
}

// A line from (20, 40) to (120, 40), pen 10; the mask shows the arrowheads
// where they would be placed, dropped or not.
struct Scene {
    KyPath *line;
    PathBuf mask = KyPathBufAlloc(8, 140, 80, 1, 0, 0), vec = KyPathBufAlloc(64, 140, 80, 1, 0, 0);
    int32_t origin[2] = {0, 0};
    Scene(double start_len, double end_len, bool keys = true, bool templates = true) {
        line = Stroked(MakePath({{PT_MOVETO, 20, 40}, {PT_LINETO, 120, 40}}), start_len > 0 && templates ? Triangle(start_len) : nullptr,
                       end_len > 0 && templates ? Triangle(end_len) : nullptr, keys);
        const Tri tris[2] = {Placed({std::fmin(20 + 2 * start_len, 120) + 2, 40}, {-1, 0}, start_len),
                             Placed({std::fmax(120 - 2 * end_len, 20) - 2, 40}, {1, 0}, end_len)};
        for (const Tri &t : tris) {
            KyPath *p = Polygon({t.tip, t.b1, t.b2});
            raster::ScanFill(p, raster::FillSpec{raster::Mapping{1.0, 0, 0}, 16, true, false}, mask);
            KyPathDeletePtr(p, 0);
        }
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
    struct Case {
        const char *name;
        double start_len, end_len;
        bool keys, templates;
        int32_t result;
    } cases[] = {
        {"start 60", 30, 0, true, true, 1},
        {"start 140 overhangs by less than 50", 70, 0, true, true, 1},
        {"start 200 overhangs by 100: dropped", 100, 0, true, true, 1},
        {"end 90", 0, 45, true, true, 1},
        {"end 140 longer than the path: dropped", 0, 70, true, true, 1},
        {"keys without templates", 30, 30, true, false, 0},
        {"templates without keys", 30, 0, false, true, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Scene s(k.start_len, k.end_len, k.keys, k.templates);
        EXPECT_EQ(s.Run(), k.result);
        EXPECT_EQ(s.Untouched(), !k.result || std::strstr(k.name, "dropped") != nullptr);
    }
}

int32_t LastCode(int32_t unit) {
    Y32ErrInfo e{};
    return c32GetDLLErrInfo(&e) > 0 && e.unit == unit ? e.code : 0;
}

TEST_F(ArrowheadReliefTest, CancelledOrFailedCallsLeaveTheMapAsItWas) {
    Scene ref(20, 20);
    Recorder all;
    ReliefProgress rec = all.Record();
    ASSERT_EQ(ref.Run(&rec), 1);
    ASSERT_GT(all.progress_calls, 4);
    EXPECT_TRUE(all.calls.front().code == RELIEF_BEGIN && all.calls.back().code == RELIEF_END);
    // The first question, and the last (the first arrowhead already built).
    for (int32_t at : {0, all.progress_calls - 1}) {
        Scene s(20, 20);
        Recorder cancel;
        cancel.cancel_on_call = at;
        ReliefProgress r = cancel.Record();
        c32ClearDLLErrInfo();
        EXPECT_EQ(s.Run(&r), 0);
        EXPECT_EQ(LastCode(23), 5200);
        EXPECT_TRUE(s.Untouched());
    }
    Scene s(20, 20);
    const int64_t failures = testing_support::FailEachAllocation([&] {
        std::memset(s.vec, 0, 140 * 80 * 8);
        c32ClearDLLErrInfo();
        if (s.Run() == 1) {
            EXPECT_EQ(Words(s.vec), Words(ref.vec));
            return true;
        }
        EXPECT_EQ(LastCode(23), 1001);
        EXPECT_TRUE(s.Untouched());
        return false;
    });
    EXPECT_GE(failures, 8);
}

TEST_F(ArrowheadReliefTest, NothingToDoOrRefusedArguments) {
    Scene s(30, 0);
    KyPath *bare = MakePath({{PT_MOVETO, 20, 40}, {PT_LINETO, 120, 40}});
    EXPECT_EQ(KyPathArrowHeadVMap(bare, kPen, s.mask, 1, s.vec, s.origin, nullptr, 0), 1) << "no outline record";
    EXPECT_EQ(KyPathArrowHeadVMap(s.line, 0.0, s.mask, 1, s.vec, s.origin, nullptr, 0), 1) << "no pen, no arrowhead";
    KyPathDeletePtr(bare, 0);
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
        EXPECT_EQ(LastCode(23), 3200);
    }
    EXPECT_TRUE(s.Untouched());
    KyPathBufFree(small);
}

}  // namespace
