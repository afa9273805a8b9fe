// Tables, views and boxes through the public header, as a host uses them.
#include <gtest/gtest.h>

#include "y32Path.h"

namespace {

KyPath *Line(double x0, double y0, double x1, double y1) {
    KyPath *p = KyPathCreate();
    FIXED a[2] = {DbToFix(x0), DbToFix(y0)};
    FIXED b[2] = {DbToFix(x1), DbToFix(y1)};
    KyPathAddPoint(&p, a, PT_MOVETO);
    KyPathAddPoint(&p, b, PT_LINETO);
    return p;
}

TEST(TableViewCApi, LayoutMatchesTheRecords) {
#if UINTPTR_MAX != 0xFFFFFFFFu
    GTEST_SKIP() << "byte layouts are fixed on 32-bit targets only";
#endif
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
}

TEST(TableViewCApi, NullArgumentsGiveTheFailureValue) {
    ASSERT_EQ(KyPathInit(), 0x30000);
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
}

TEST(TableViewCApi, DocumentRoundTrip) {
    ASSERT_EQ(KyPathInit(), 0x30000);
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    CoordStruct *view = nullptr;
    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 320, 200, 100, 40, 2.0, 9, table, &view), 1);
    ASSERT_NE(view->lpDB, nullptr);
    EXPECT_EQ(view->lpDB, table->lpDB);
    EXPECT_EQ(KyPathTblIsValid(0, 0, 320, 200, 100, 40, 2.0, 9, table), 1);
    double pt[2];
    ASSERT_EQ(KyPathPtWndToImage(pt, 10, 20, view), pt);
    EXPECT_EQ(pt[0], 55.0);
    EXPECT_EQ(pt[1], 30.0);

    // Three paths; the first and last selected.
    KyPath *a = Line(0.5, 0.5, 10.25, 3.0), *b = Line(20, 20, 30, 30), *c = Line(40, 0, 50, 5);
    a->next = b;
    b->prev = a;
    b->next = c;
    c->prev = b;
    a->flags |= KPF_SELECTED;
    c->flags |= KPF_SELECTED;
    a->selNext = c;
    c->selPrev = a;
    ASSERT_EQ(KyPathAssignActivePath(table, b), 1);
    KyPath *first = nullptr, *sel = nullptr;
    ASSERT_EQ(KyPathFind(table, nullptr, &first, &sel, nullptr), 1);
    EXPECT_EQ(first, a);
    EXPECT_EQ(sel, a);
    EXPECT_EQ(KyPathGetSelectedGroupsNumber(table), 2);

    Y32Rect r;
    ASSERT_EQ(KyPathGetMiniMaxRect(a, 65536, &r), 1);
    EXPECT_EQ(r.left, -5);
    EXPECT_EQ(r.top, -5);
    EXPECT_EQ(r.right, 16);
    EXPECT_EQ(r.bottom, 9);
    ASSERT_EQ(KyPathGetSelectedRect(a, 65536, &r), 1);
    EXPECT_EQ(r.right, 56);
    ASSERT_EQ(KyPathGetUnselectedRect(a, 65536, &r), 1);
    EXPECT_EQ(r.right, 36);

    KyPath *separated = KyPathSeparateSelectedPathFromTable(table);
    ASSERT_EQ(separated, c);
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(KyPathIsSelected(a), 0);
    ASSERT_EQ(KyPathFind(table, nullptr, &first, &sel, nullptr), 1);
    EXPECT_EQ(first, b);
    EXPECT_EQ(sel, nullptr);
    EXPECT_EQ(KyPathDeletePtr(separated, 0), 1);

    EXPECT_EQ(KyPathDeleteCoordStruct(view), 1);
    EXPECT_EQ(KyPathTblDelete(table), 1);
}

}  // namespace
