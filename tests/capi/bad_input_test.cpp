// The shared library's answer to null and malformed arguments, through the
// public header only: the failure value, the caller's out-variables
// cleared, a report where one is made, and no crash.
#include <gtest/gtest.h>

#include <cstring>

#include "capi_support.h"
#include "y32Path.h"

namespace {

using capi_support::Polyline;

Y32ErrInfo LastReport() {
    Y32ErrInfo e{};
    EXPECT_GE(c32GetDLLErrInfo(&e), 1);
    return e;
}

TEST(BadInputCApi, NullRecordsTablesAndViews) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    FIXED xy[2] = {0, 0};
    KyPath *empty = nullptr;
    EXPECT_EQ(KyPathAddPoint(nullptr, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathAddPoint(&empty, xy, PT_MOVETO), 0);
    EXPECT_EQ(KyPathPurge(nullptr), 0);
    EXPECT_EQ(KyPathDeletePtr(nullptr, 0), 0);
    KyPath *out = reinterpret_cast<KyPath *>(0x8);
    EXPECT_EQ(KyPathDuplicatePtr(nullptr, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(KyPathExtractSingleSubPath(nullptr, 1), nullptr);
    EXPECT_EQ(KyPathGetOutlineInfo(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathInfo(nullptr, nullptr, nullptr), 0);
    KyPathSetPathFlags(nullptr, 1, 1, 1);
    KyPathOutputSubpathInfo(nullptr);

    // Tables and views.
    int32_t n = -1;
    char *name = nullptr;
    EXPECT_EQ(KyPathNew(nullptr), 0);
    EXPECT_EQ(KyPathTblDelete(nullptr), 0);
    EXPECT_EQ(KyPathTblDeletelpDB(nullptr), 0);
    EXPECT_EQ(KyPathFind(nullptr, &n, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(KyPathFindGroups(nullptr, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(KyPathFindGroupName(nullptr, 0, &name), 0);
    EXPECT_EQ(KyPathGetSelectedGroupsNumber(nullptr), 0);
    EXPECT_EQ(KyPathGetSubPathWithSelectedSegment(nullptr, nullptr), nullptr);
    EXPECT_EQ(KyPathAssignActivePath(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathAssignSelectedPath(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathAssignSelectedPathBlindly(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathSeparateSelectedPathFromTable(nullptr), nullptr);
    EXPECT_EQ(KyPathNewCoordStruct(0, 0, 1, 1, 0, 0, 1.0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathDeleteCoordStruct(nullptr), 1);
    EXPECT_EQ(KyPathTblIsValid(0, 0, 1, 1, 0, 0, 1.0, 0, nullptr), 0);
    Y32Rect r{1, 2, 3, 4};
    EXPECT_EQ(KyPathGetMiniMaxRect(nullptr, 65536, &r), 0);
    KyPathGetRect(nullptr, 65536, &r);
    EXPECT_EQ(r.left, 10000);
    EXPECT_EQ(r.right, -10000);

    // Transforms and structure.
    EXPECT_EQ(KyPathMovePathsByPtfx(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathMovePaths(nullptr, nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathSize(nullptr, 2.0, 2.0), 0);
    KyPathScaleCentered(nullptr, 2.0, 2.0, nullptr);
    KyPathRotateAboutCenter(nullptr, 30.0);
    EXPECT_EQ(KyPathResizeSlantRotate(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathGetRSRHandle(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathJoin(nullptr), 0);
    EXPECT_EQ(KyPathJoinAll(nullptr), 0);
    EXPECT_EQ(KyPathDisjoin(nullptr), 0);
    EXPECT_EQ(KyPathDisjoinAll(nullptr), 0);
    EXPECT_EQ(KyPathIsSingleOpenPath(nullptr), 0);
    EXPECT_EQ(KyPathIsSimplestSubpath(nullptr), 0);
    EXPECT_EQ(KyPathSelectedSegmentCanBeConverted(nullptr), 0);
    EXPECT_EQ(KyPathDeleteLinkLastSegment(nullptr), 0);
    EXPECT_EQ(KyPathDeleteLink(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathInvertSubpaths(nullptr), 0);
    EXPECT_EQ(KyPathChainPaths(nullptr, nullptr), 0);
    EXPECT_EQ(KyPathChainKyPath(0, nullptr), nullptr);
    KyPathDeleteNodeFromList(nullptr, nullptr);
    KyPathExchangeSubpathInTable(nullptr, nullptr, nullptr);
    EXPECT_EQ(KyPathR2VToKyPath(0, nullptr), nullptr);
    uint32_t size = 0;
    KyPath *none = nullptr;
    EXPECT_EQ(KyPathFlatten(nullptr, &size, nullptr), 0);
    EXPECT_EQ(KyPathUnFlatten(nullptr, &none), 0);
    EXPECT_EQ(KyPathOffsetExact(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathOffset(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathSubdivide(nullptr, nullptr, 0, 100), nullptr);
    EXPECT_EQ(KyPathGetLength(nullptr), 0.0);

    // Envelopes and 3D.
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    RotatePoint3D(nullptr, m);
    Matrix3X3(m, nullptr, m);
    Path3DParams prm{};
    EXPECT_EQ(KyPathTo3D(nullptr, &prm), 0);
    EXPECT_EQ(KyPathGet3DMiniMaxRect(nullptr, &prm, 0, 0, &r), 0);
    EXPECT_EQ(KyPath3DWireFrame(nullptr, nullptr, 0, 0, nullptr, &prm, 0), 0);
    EXPECT_EQ(KyProject2DTO3D(0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(nullptr), 0);
    EXPECT_EQ(KyPathGetBiBezierEnvelopeV(nullptr, nullptr), 0);
}

TEST(BadInputCApi, NullArgumentsOfTheWindowTools) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 64, 64, 0, 0, 1.0, nullptr, &view), 1);
    PathTable *table = nullptr;
    Y32Rect r{};
    ASSERT_EQ(KyPathAddPathGroup(&table, Polyline({{10, 10}, {50, 10}}), "paths", view, &r), 1);
    HDC dc = y32CreateMemoryDC(64, 64, 24);
    ASSERT_NE(dc, nullptr);
    KyPath *hit = nullptr;
    int32_t index = -1;
    uint16_t param = 1;
    EXPECT_EQ(KyPathPtOn(0, 0, 3, dc, view, table, &hit, &index, &param), KYPATH_HIT_BADMODE);
    EXPECT_EQ(KyPathPtOn(0, 0, KYPATH_HIT_CLICK, dc, nullptr, nullptr, nullptr, nullptr, nullptr), KYPATH_HIT_NOTHING);
    EXPECT_EQ(KyPathPickSegment(view, nullptr, 0, &r), 0);
    EXPECT_EQ(KyPathUnpickSegment(view, nullptr, nullptr, &r), 0);
    EXPECT_EQ(KyPathGetSegmentType(nullptr, 0), 0);
    EXPECT_EQ(KyPathGetSelectedSegmentType(nullptr), 0);
    EXPECT_EQ(KyPathDeselectPts(nullptr), 0);
    EXPECT_EQ(KyPathDeSelectAll(dc, nullptr, view, 1), 0);
    EXPECT_EQ(KyPathSingleSelectPath(table, nullptr, view, dc, 1), 0);
    EXPECT_EQ(KyPathAllPathSelected(nullptr), 0);
    EXPECT_EQ(KyPathRectClip(0, 0, 9, 9, nullptr, dc, view, KYPATH_RECT_NODES, nullptr), 2);
    EXPECT_EQ(KyPathAlign(0, 18020, nullptr, view, &r), 0);
    EXPECT_EQ(KyPathDuplicate(dc, nullptr, view, &r), 0);
    EXPECT_EQ(KyPathConvertSelectedSegment(view, nullptr, &r), 0);
    EXPECT_EQ(KyPathDelete(nullptr, view, &r), 0);
    EXPECT_EQ(KyPathDraw(view, nullptr, &r), 0);
    uint8_t image[3] = {};
    EXPECT_EQ(KyPathPaintMem1(0, 0, 1, 1, nullptr, image), 0);
    EXPECT_EQ(KyPathCropDB(nullptr, 1, 1), 0);
    EXPECT_EQ(KyPathTblRepaintNodes(nullptr, table, view), 0);
    EXPECT_EQ(KyPathCreateApproximateBezier(view, 2, nullptr, 4.0, 0), nullptr);
    EXPECT_EQ(KyPathDrawFreehandBezier(nullptr, nullptr, view, 513, 0, 10, 40, 0, 0, 0), 0);
    // Nothing above touched the table's path.
    KyPath *first = nullptr, *selected = nullptr;
    ASSERT_EQ(KyPathFind(table, nullptr, &first, &selected, nullptr), 1);
    EXPECT_EQ(KyPathGetPointsNumber(first), 2);
    EXPECT_EQ(selected, nullptr);
    y32DeleteMemoryDC(dc);
    KyPathTblDelete(table);
    KyPathDeleteCoordStruct(view);
}

// Malformed data: a flat block cut short, a buffer too large, a wrap
// without a figure, a stretch without a record, maps and shaders without
// what they need. Each comes back with nothing and, where the library
// reports, the report a host reads.
TEST(BadInputCApi, MalformedDataIsRefusedWithNothingHandedBack) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *p = Polyline({{0, 0}, {10, 0}, {10, 5}});
    uint32_t size = 0;
    HGLOBAL block = nullptr;
    ASSERT_EQ(KyPathFlatten(p, &size, &block), 1);
    EXPECT_EQ(GlobalSize(block), size);
    HGLOBAL cut = GlobalAlloc(GMEM_FIXED, size - 1);
    std::memcpy(cut, block, size - 1);
    KyPath *none = p;
    EXPECT_EQ(KyPathUnFlatten(&cut, &none), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GlobalFree(cut), nullptr);
    EXPECT_EQ(GlobalFree(block), nullptr);

    EXPECT_EQ(KyPathBufAlloc(32, 0x10000, 0x10000, 1, 0, 0), nullptr) << "a size past 32 bits is refused";
    Y32Rect *rects = reinterpret_cast<Y32Rect *>(1);
    PathBuf *bufs = nullptr;
    EXPECT_EQ(KyPathToBuf(nullptr, 0, 0, 1, 0, 65536, &rects, &bufs, 0), 0);
    EXPECT_EQ(rects, nullptr);

    WrapInfo info{};
    info.baseline = p;
    info.startHeight = info.endHeight = 100;
    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathWrap(nullptr, &info), 0);
    Y32ErrInfo e = LastReport();
    EXPECT_EQ(e.code, 3200);
    EXPECT_EQ(e.unit, 41);
    double a = 40, b = 60, c = 40, d = 100;
    KyPath *out = p;
    EXPECT_EQ(KyPathStretch(nullptr, &out, &a, &b, &c, &d, 0), 0);
    EXPECT_EQ(out, nullptr);

    PathBuf dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
    double w = 6.0;
    EXPECT_EQ(KyPathVMap(nullptr, &dist, &vec, 0, 0, 0, 0, 0, &w, 0, 0, nullptr, nullptr, 65536), 0);
    PathBuf image = KyPathBufAlloc(24, 8, 8, 1, 0, 0), mask = KyPathBufAlloc(8, 8, 8, 1, 0, 0);
    EXPECT_EQ(KyPathShadePhong(image, w, 0, 0, 0, 0, nullptr, nullptr, 0, mask, nullptr, 0, 50, 50, 0, 0, 1, 0, 0, 0,
                               nullptr),
              0);
    EXPECT_EQ(KyPathReflectIt(0, w, nullptr, image, 0, 0, 0, nullptr, 0, mask, nullptr, 0, nullptr), 0);
    EXPECT_EQ(KyPathGetHighlightMask(nullptr, 4, 4, 0, 0, w, 0, 0, 0, 0, nullptr, 0, nullptr), 0);
    double dir[3];
    EXPECT_EQ(KypathChangeLightNormal(w, 0, 0, 0, 0, 0, nullptr, 0, 0, dir), 0);
    KyPathBufFree(image);
    KyPathBufFree(mask);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 1);
    EXPECT_EQ(KyPathDeletePtr(p, 0), 0) << "a freed record is not freed twice";
}

}  // namespace
