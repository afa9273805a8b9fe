// Envelopes and 3D projection through the public header and the shared
// library only, as a host sees them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "y32Path.h"

namespace {

KyPath *Rect(double l, double t, double r, double b) {
    KyPath *p = KyPathCreate();
    const double pts[][2] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
    for (int i = 0; i < 5; ++i) {
        FIXED xy[2] = {DbToFix(pts[i][0]), DbToFix(pts[i][1])};
        uint32_t type = i == 0 ? PT_MOVETO : (i == 4 ? PT_LINETO | PT_CLOSEFIGURE : PT_LINETO);
        if (!KyPathAddPoint(&p, xy, type)) return nullptr;
    }
    return p;
}

TEST(DeformCApi, RecordsHaveTheirExchangeSizes) {
    EXPECT_EQ(sizeof(EnvelopeNet), 64u);
    EXPECT_EQ(sizeof(EnvelopeCorners), 32u);
    EXPECT_EQ(sizeof(Path3DParams), 144u);
    EXPECT_EQ(offsetof(Path3DParams, matrix), 72u);
}

TEST(DeformCApi, BothNamesOfTheNetReaderAreOneExportedFunction) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    void *a = dlsym(self, "KyPathGetBiBezierEnvelope");
    void *b = dlsym(self, "KyPathGetBiBezierEnvelopeV");
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    for (const char *name : {"RotatePoint3D", "Matrix3X3", "KyProject2DTO3D", "KyPathTo3D", "KyPath3DWireFrame",
                             "KyPathGet3DMiniMaxRect", "KyPathDomainRangeBiCubicV", "KyPathAddBiLinearEnvelopeV"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    // The toolkit's internal routines stay inside the library.
    EXPECT_EQ(dlsym(self, "VThitaGetMatrix"), nullptr);
    dlclose(self);
}

TEST(DeformCApi, EnvelopeRoundTripOnAHostPath) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = Rect(0, 0, 100, 50);
    ASSERT_NE(p, nullptr);
    EnvelopeCorners c{{{DbToFix(10), 0}, {DbToFix(90), DbToFix(10)}, {0, DbToFix(50)}, {DbToFix(100), DbToFix(60)}}};
    ASSERT_EQ(KyPathBiLinear(p, &c), 1);
    ASSERT_EQ(KyPathAddBiLinearEnvelope(p, &c), 1);
    EXPECT_EQ(KyPathGetSubpathsNumber(p), 2);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(p), ENVELOPE_BILINEAR);
    EnvelopeCorners back{};
    KyPath *outline = p->next;
    ASSERT_EQ(KyPathGetBiLinearEnvelope(outline, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &c, sizeof c), 0);
    // The mapped rectangle now runs around the envelope's corners.
    const PathPoint *pts = KyPathPoints(p);
    EXPECT_EQ(+pts[1].x, DbToFix(90));
    EXPECT_EQ(+pts[2].y, DbToFix(60));
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
}

TEST(DeformCApi, ProjectionEntriesRefuseNullArguments) {
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, p[3] = {1, 2, 3};
    RotatePoint3D(p, m);
    EXPECT_EQ(p[2], 3.0);
    RotatePoint3D(nullptr, m);
    Matrix3X3(m, nullptr, m);
    Path3DParams prm{};
    Y32Rect r{};
    EXPECT_EQ(KyPathTo3D(nullptr, &prm), 0);
    EXPECT_EQ(KyPathGet3DMiniMaxRect(nullptr, &prm, 0, 0, &r), 0);
    EXPECT_EQ(KyPath3DWireFrame(nullptr, nullptr, 0, 0, nullptr, &prm, 0), 0);
    EXPECT_EQ(KyProject2DTO3D(0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(nullptr), 0);
    EXPECT_EQ(KyPathGetBiBezierEnvelopeV(nullptr, nullptr), 0);
}

}  // namespace
