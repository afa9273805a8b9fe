// Relief maps through the public header and the shared library, as a host
// calls them: a pointer-sized user value through the progress record,
// cancellation, and buffers freed with KyPathBufFree.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "y32Path.h"

namespace {

KyPath *Square(double left, double top, double size) {
    KyPath *p = KyPathCreate();
    const double pts[5][2] = {{left, top}, {left + size, top}, {left + size, top + size}, {left, top + size}, {left, top}};
    for (int i = 0; i < 5; ++i) {
        FIXED xy[2] = {DbToFix(pts[i][0]), DbToFix(pts[i][1])};
        KyPathAddPoint(&p, xy, i == 0 ? PT_MOVETO : (i == 4 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO));
    }
    return p;
}

struct Host {
    std::vector<int32_t> codes;
    int32_t cancel_after = -1;  // progress calls to allow before cancelling
    static int32_t Progress(int32_t code, int32_t percent, int32_t reserved, intptr_t user) {
        Host *h = reinterpret_cast<Host *>(user);  // the full pointer comes back
        EXPECT_EQ(reserved, 0);
        EXPECT_GE(percent, 0);
        h->codes.push_back(code);
        if (code == RELIEF_PROGRESS && h->cancel_after >= 0 && h->cancel_after-- == 0) return 0;
        return 1;
    }
};

TEST(ReliefCApi, MapsOfASquareAndTheirLayouts) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = Square(10.5, 10.5, 20);
    Host host;
    ReliefProgress progress{5, &Host::Progress, reinterpret_cast<intptr_t>(&host), 0, 0};
    ReliefDistanceMap dist = reinterpret_cast<PathBuf>(1);
    ReliefVectorMap vec = reinterpret_cast<PathBuf>(1);
    double width = 6.0;
    ASSERT_EQ(KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 0, nullptr, &progress, 65536), 1);
    ASSERT_NE(dist, nullptr);
    ASSERT_NE(vec, nullptr);
    EXPECT_EQ(progress.state, 1);
    EXPECT_EQ(host.codes.front(), RELIEF_BEGIN);
    EXPECT_EQ(host.codes.back(), RELIEF_END);
    Y32Rect r;
    ASSERT_EQ(KyPathGetMiniMaxRect(p, 65536, &r), 1);
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(dist, &w, &h, &depth);
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(w, static_cast<uint32_t>(r.right - r.left));
    KyPathBufGetWHU(vec, nullptr, nullptr, &depth);
    EXPECT_EQ(depth, 64);
    // The pixel centred at (13.5, 20.5) is 3 pixels right of the left side.
    size_t i = static_cast<size_t>(20 - r.top) * w + static_cast<size_t>(13 - r.left);
    float d;
    std::memcpy(&d, static_cast<uint8_t *>(dist) + i * 4, 4);
    EXPECT_FLOAT_EQ(d, 9.0f);
    int16_t words[4];
    std::memcpy(words, static_cast<uint8_t *>(vec) + i * 8, 8);
    EXPECT_EQ(words[0], -768);
    EXPECT_EQ(words[1], 0);
    EXPECT_EQ(KyPathBufFree(dist), 1);
    EXPECT_EQ(KyPathBufFree(vec), 1);

    // Float layout, distance map not asked for.
    dist = nullptr;
    vec = reinterpret_cast<PathBuf>(1);
    ASSERT_EQ(KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &width, 1, 0, nullptr, nullptr, 65536), 1);
    EXPECT_EQ(dist, nullptr);
    float f[2];
    std::memcpy(f, static_cast<uint8_t *>(vec) + i * 8, 8);
    EXPECT_FLOAT_EQ(f[0], -3.0f);
    EXPECT_FLOAT_EQ(f[1], 0.0f);
    KyPathBufFree(vec);
    KyPathDeletePtr(p, 0);
}

TEST(ReliefCApi, CancellingHandsBackNothing) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = Square(10, 10, 40);
    Host host;
    host.cancel_after = 3;
    ReliefProgress progress{0, &Host::Progress, reinterpret_cast<intptr_t>(&host), 0, 0};
    PathBuf dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
    double width = 10.0;
    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathVMap(p, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 0, nullptr, &progress, 65536), 0);
    EXPECT_EQ(dist, nullptr);
    EXPECT_EQ(vec, nullptr);
    Y32ErrInfo e{};
    ASSERT_GE(c32GetDLLErrInfo(&e), 1);
    EXPECT_EQ(e.code, 5200);
    EXPECT_EQ(e.severity, 0);
    EXPECT_EQ(e.module, 2600);
    KyPathDeletePtr(p, 0);
}

TEST(ReliefCApi, Exported) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    EXPECT_NE(dlsym(self, "KyPathVMap"), nullptr);
    dlclose(self);
}

}  // namespace
