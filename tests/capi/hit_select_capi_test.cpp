// Selecting and editing as a host's node tool does it, through the public
// header and the shared library only: clicks, a marquee, a picked segment
// converted and deleted, and the failure values of null arguments.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "y32Path.h"

namespace {

TEST(HitSelectCApi, EntryPointsAreExported) {
    void *self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (const char *name :
         {"KyPathPtOn", "KyPathPickSegment", "KyPathUnpickSegment", "KyPathGetSegmentType",
          "KyPathGetSelectedSegmentType", "KyPathDeselectPts", "KyPathDeSelectAll", "KyPathSingleSelectPath",
          "KyPathAllPathSelected", "KyPathRectClip", "KyPathAlign", "KyPathDuplicate",
          "KyPathConvertSelectedSegment", "KyPathDelete"})
        EXPECT_NE(dlsym(self, name), nullptr) << name;
    dlclose(self);
}

KyPath *Polyline(std::initializer_list<std::pair<double, double>> pts) {
    KyPath *p = KyPathCreate();
    uint32_t type = PT_MOVETO;
    for (const auto &xy : pts) {
        const FIXED f[2] = {DbToFix(xy.first), DbToFix(xy.second)};
        EXPECT_EQ(KyPathAddPoint(&p, f, type), 1);
        type = PT_LINETO;
    }
    return p;
}

TEST(HitSelectCApi, ClickMarqueePickConvertDelete) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    KyPath *a = Polyline({{10, 10}, {50, 10}, {50, 40}});
    KyPath *b = Polyline({{10, 60}, {50, 60}});
    a->next = b;
    b->prev = a;
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 64, 64, 0, 0, 1.0, nullptr, &view), 1);
    PathTable *table = nullptr;
    Y32Rect r{};
    ASSERT_EQ(KyPathAddPathGroup(&table, a, "paths", view, &r), 1);
    HDC dc = y32CreateMemoryDC(64, 64, 24);
    ASSERT_NE(dc, nullptr);
    Y32DcBits bits{};
    ASSERT_EQ(y32GetMemoryDCBits(dc, &bits), 1);
    auto blank = [&] {
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x)
                if (GetPixel(dc, x, y) != 0) return false;
        return true;
    };

    // A click on a's line selects the path; a second on its corner selects
    // that node.
    KyPath *hit = nullptr;
    int32_t index = -1;
    uint16_t param = 1;
    EXPECT_EQ(KyPathPtOn(30, 11, KYPATH_HIT_CLICK, dc, view, table, &hit, &index, &param), KYPATH_HIT_UNSELECTED);
    EXPECT_EQ(hit, a);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(param, 32767);
    EXPECT_EQ(KyPathIsSelected(a), 1);
    EXPECT_FALSE(blank());
    hit = nullptr;
    EXPECT_EQ(KyPathPtOn(51, 9, KYPATH_HIT_CLICK, dc, view, table, &hit, &index, &param), KYPATH_HIT_SELECTED);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(param, 0);
    EXPECT_EQ(KyPathHasSelectedPoint(a), 1);

    // A marquee around both paths replaces that with both records.
    int32_t changed = -1;
    EXPECT_EQ(KyPathRectClip(0, 0, 63, 63, table, dc, view, KYPATH_RECT_NODES | KYPATH_RECT_REPLACE, &changed), 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(KyPathIsAllPathsSelected(a), 1);
    EXPECT_EQ(KyPathHasSelectedPoint(a), 0);
    EXPECT_EQ(KyPathGetSelectedGroupsNumber(table), 2);

    // Only b, then its line picked, made a curve, and deleted.
    EXPECT_EQ(KyPathSingleSelectPath(table, b, view, dc, 1), 1);
    ASSERT_EQ(KyPathPickSegment(view, b, 0, &r), 1);
    EXPECT_EQ(KyPathGetSelectedSegmentType(b), 1);
    ASSERT_EQ(KyPathConvertSelectedSegment(view, table, &r), 1);
    KyPath *first = nullptr, *selected = nullptr;
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    EXPECT_EQ(KyPathGetSelectedSegmentType(selected), 2);
    EXPECT_EQ(KyPathGetPointsNumber(selected), 4);
    EXPECT_EQ(KyPathDeSelectAll(dc, first, view, 1), 1);
    EXPECT_TRUE(blank());
    ASSERT_EQ(KyPathSingleSelectPath(table, selected, view, nullptr, 0), 1);
    ASSERT_EQ(KyPathDelete(table, view, &r), 1);
    KyPathFind(table, nullptr, &first, &selected, nullptr);
    EXPECT_EQ(first, a);
    EXPECT_EQ(selected, nullptr);
    EXPECT_EQ(KyPathGetSubpathsNumber(first), 1);

    // Null arguments.
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

    y32DeleteMemoryDC(dc);
    KyPathTblDelete(table);
    KyPathDeleteCoordStruct(view);
}

}  // namespace
