// What a host that only loads the shared library relies on: the entry
// points under their exact names (a few without the KyPath prefix, one with
// a lower-case p, two with C++ linkage), internal routines kept hidden, and
// the widths of the records it exchanges.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "y32Path.h"

namespace {

TEST(ExportsCApi, EntryPointsAreVisibleAndInternalsHidden) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    const char *exported[] = {
        // core, memory, diagnostics
        "KyPathInit", "KyPathCreate", "KyPathAddPoint", "KyPathDuplicatePtr", "FixToDb", "DbToFix", "GlobalAlloc",
        "GlobalFree", "GlobalSize", "c32SetDLLErrInfo", "y32IsEscPressed",
        // software device context and window hooks
        "y32CreateMemoryDC", "CreatePen", "SelectObject", "SetROP2", "LineTo", "PolyBezierTo", "Rectangle",
        "GetKeyState", "SetCapture", "MessageBeep", "SetCursor", "LoadCursorA",
        // drawing, hit testing, selection
        "KyPathDraw", "KyPathPaintMem", "KyPathDrawNodes", "KyPathSelectedToView", "KyPathAddPathGroup", "KyPathPtOn",
        "KyPathPickSegment", "KyPathUnpickSegment", "KyPathGetSegmentType", "KyPathGetSelectedSegmentType",
        "KyPathDeselectPts", "KyPathDeSelectAll", "KyPathSingleSelectPath", "KyPathAllPathSelected", "KyPathRectClip",
        // editing
        "KyPathAlign", "KyPathDuplicate", "KyPathConvertSelectedSegment", "KyPathDelete", "PtfxAdd", "PtfxSub",
        "KyPathResizeSlantRotate",
        // shapes
        "KyPathAddPrimitive", "KyPathGetPrimitive", "KyPathPrimitive", "IsOnlyPrimitive",
        "KyPathGetRectangleRoundness", "KyPathSetRectangleRoundness", "KyPathRenderArrowHead",
        // envelopes, 3D, wrapping
        "RotatePoint3D", "Matrix3X3", "KyProject2DTO3D", "KyPathTo3D", "KyPath3DWireFrame", "KyPathGet3DMiniMaxRect",
        "KyPathDomainRangeBiCubicV", "KyPathAddBiLinearEnvelopeV", "KyPathWrap", "KyPathCutWithLineX",
        "KyPathStretch", "_Z21KyPathDoTrimmedRibboni", "_Z28KyPathIsTrimmedRibbonEnabledv",
        "KyPathGetPredefinedWrapInfo", "KyPathWrapAndUpdate", "KyPathAddWrapPath", "KyPathAppendEmptySubpath",
        "KyPathIsWrapBaseline", "KyPathSelectWrapBaseline", "KyPathMakeACopyOfBaseline",
        "KyPathSeparateBaselineFromTable", "IsSameWrapInfo", "IsSameSubpath", "KyPathGetPointPosition",
        // buffers, relief, shading
        "KyPathBufAlloc", "KyPathBufDuplicate", "KyPathBufFree", "KyPathBufSize", "KyPathBufGetWHU", "KyPathBufLock1",
        "KyPathBufLineRead", "KyPathBufUnlock1", "KyPathToBuf", "KyPathVMap", "KyPathShadePhong",
        "KyPathShadeMultiPhong", "KyPathAdjPhongIllum", "KypathChangeLightNormal", "ShadingGammaToMap",
        "KyPathSetMetallicEffect", "KyPathAdjMetallicIllum", "KyPathShadeMetallic", "KyPathShadeMultiMetallic",
        "KyPathReflectIt", "KyPathBumpIt", "KyPathTransparentMask", "KyPathGetHighlightMask"};
    for (const char *name : exported) EXPECT_NE(dlsym(self, name), nullptr) << name;
    // Both names of the net reader are one function.
    void *a = dlsym(self, "KyPathGetBiBezierEnvelope");
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, dlsym(self, "KyPathGetBiBezierEnvelopeV"));
    for (const char *name : {"_Z11PathReservePP6KyPathPP9PathPointi", "_Z9PathFirstP6KyPath", "DebugPrint",
                             "VThitaGetMatrix", "_ZN4dash16MakeDashedStrokeEPK6KyPathiddd"})
        EXPECT_EQ(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

TEST(ExportsCApi, ExchangedRecordsHaveTheirWidths) {
    EXPECT_EQ(sizeof(EnvelopeNet), 64u);
    EXPECT_EQ(sizeof(EnvelopeCorners), 32u);
    EXPECT_EQ(sizeof(Path3DParams), 144u);
    EXPECT_EQ(offsetof(Path3DParams, matrix), 72u);
    // The wrap record keeps its field order with natural alignment.
    EXPECT_EQ(offsetof(WrapInfo, spacing) % 8, 0u);
    EXPECT_LT(offsetof(WrapInfo, closedLoop), offsetof(WrapInfo, startOffset));
    EXPECT_EQ(offsetof(WrapInfo, baselineLevel) % 8, 0u);
#if UINTPTR_MAX == 0xFFFFFFFFu
    EXPECT_EQ(sizeof(PathTable), 68u);
    EXPECT_EQ(sizeof(PathGroup), 268u);
    EXPECT_EQ(sizeof(CoordStruct), 56u);
    EXPECT_EQ(offsetof(PathTable, zoom), 32u);
    EXPECT_EQ(offsetof(PathTable, reserved), 44u);
    EXPECT_EQ(offsetof(PathTable, lpDB), 12u);
    EXPECT_EQ(offsetof(PathGroup, name), 4u);
    EXPECT_EQ(offsetof(CoordStruct, scrollX), 16u);
    EXPECT_EQ(offsetof(CoordStruct, zoom), 24u);
    EXPECT_EQ(offsetof(CoordStruct, lpDB), 32u);
#endif
}

}  // namespace
