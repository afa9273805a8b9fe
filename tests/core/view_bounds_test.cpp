#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/bounds.h"
#include "core/memory.h"
#include "core/path_table.h"
#include "core/view.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "support/records.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::LinkGroup;
using testing_support::LinkSelection;
using testing_support::PathTest;

constexpr FIXED kScale1 = 65536;
using V = std::vector<int32_t>;
using D = std::vector<double>;

V Sides(const Y32Rect &r) { return {r.left, r.top, r.right, r.bottom}; }

// The answer of a box query, or nothing when the query refuses.
V Box(int32_t (*query)(KyPath *, FIXED, Y32Rect *), KyPath *p, FIXED scale) {
    Y32Rect r;
    return query(p, scale, &r) == 1 ? Sides(r) : V{};
}
V RecordBox(KyPath *p, FIXED scale) {
    Y32Rect r;
    KyPathGetRect(p, scale, &r);
    return Sides(r);
}
V Margin(KyPath *p, int32_t mode) {
    int32_t m[4] = {0, 0, 0, 0};
    return KyPathGetMargin(p, mode, m) == 1 ? V(m, m + 4) : V{};
}

class BoundsTest : public PathTest {
  protected:
    void TearDown() override {
        for (KyPath *p : owned) KyPathDeletePtr(p, 0);
        PathTest::TearDown();
    }
    KyPath *Own(KyPath *p) {
        owned.push_back(p);
        return p;
    }
    // Opposite corners (0.5, 0.5) and (10, 4.5), turned a quarter turn
    // (the angle is stored truncated to 16.16, so not exactly pi/2).
    KyPath *RotatedRect() {
        return Own(MakePath({{PT_MOVETO, 0.5, 0.5}, {PT_ROTATEDRECT, 10, 4.5}, {PT_LINETO, M_PI / 2, 0}}));
    }
    std::vector<KyPath *> owned;
};

TEST_F(BoundsTest, WholePixelBoxFloorsScalesAndAddsTheMargin) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 0.5, 0.5}, {PT_LINETO, 10.25, 3.0}}));
    EXPECT_EQ(Box(KyPathGetAllMiniMaxRect, p, kScale1), (V{-5, -5, 16, 9}));
    EXPECT_EQ(Box(KyPathGetRealRect, p, kScale1), (V{0, 0, 10, 3}));
    // The integer box is scaled before the margin goes on.
    EXPECT_EQ(Box(KyPathGetMiniMaxRect, p, 2 * kScale1), (V{-5, -5, 26, 12}));
    // Scaling truncates toward zero: 10 * 0.75 = 7.5 -> 7, 3 * 0.75 -> 2.
    EXPECT_EQ(Box(KyPathGetRealRect, p, kScale1 * 3 / 4), (V{0, 0, 7, 2}));
    // Integer parts are floors: -0.25 lies in pixel -1.
    KyPath *neg = Own(MakePath({{PT_MOVETO, -0.25, 2}, {PT_LINETO, 3, -0.75}}));
    EXPECT_EQ(Box(KyPathGetRealRect, neg, kScale1), (V{-1, -1, 3, 2}));

    // The record's own rectangle rounds when scaled: trunc(1 * 1.5 + 0.5),
    // trunc(3 * 1.5 + 0.5).
    KyPath *q = Own(MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 3.9, 3}}));
    EXPECT_EQ(RecordBox(q, kScale1 * 3 / 2), (V{2, 2, 5, 5}));
    KyPathGetRect(q, kScale1, nullptr);  // nothing to write, no crash

    // Double boxes keep the fractions.
    KyPath *f = Own(MakePath({{PT_MOVETO, 0.5, 0.5}, {PT_LINETO, 10.25, -3.0}}));
    double d[4];
    ASSERT_EQ(KyPathGetDoubleRectNoMargin(f, d), 1);
    EXPECT_EQ(D(d, d + 4), (D{0.5, -3.0, 10.25, 0.5}));
    ASSERT_EQ(KyPathGetDoubleMiniMaxRect(f, kScale1 * 2, d), 1);
    EXPECT_EQ(D(d, d + 4), (D{-4.5, -8.0, 16.25, 6.5}));
}

TEST_F(BoundsTest, CoverageFollowsEachList) {
    KyPath *a = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 1, 1}}));
    KyPath *b = MakePath({{PT_MOVETO, 20, 20}, {PT_BEZIERTO, 30, -10}, {PT_BEZIERTO, 25, 25}, {PT_BEZIERTO, 21, 21}});
    KyPath *c = MakePath({{PT_MOVETO, 100, 50}});
    LinkList({a, b, c});
    LinkGroup({a, b});  // a and b form a chain; c stands alone
    LinkSelection({a, c});

    // Control points count.
    EXPECT_EQ(Sides(bounds::PixelBox(a, bounds::Cover::kFollowing, kScale1)), (V{0, -10, 100, 50}));
    EXPECT_EQ(Sides(bounds::PixelBox(a, bounds::Cover::kGroup, kScale1)), (V{0, -10, 30, 25}));
    EXPECT_EQ(Sides(bounds::PixelBox(a, bounds::Cover::kSelection, kScale1)), (V{0, 0, 100, 50}));
    // Only b is unselected, but the box starts at the given record's point 0.
    EXPECT_EQ(Sides(bounds::PixelBox(c, bounds::Cover::kUnselected, kScale1)), (V{20, -10, 100, 50}));
    EXPECT_EQ(Box(KyPathGetUnselectedRect, b, kScale1), (V{15, -15, 36, 31}));
    EXPECT_EQ(Box(KyPathGetSelectedRect, a, kScale1), (V{-5, -5, 106, 56}));

    // The group walk ends after a record whose slot holds an OutlineInfo.
    LinkGroup({b, c});
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 1, 0, 0, &info), 1);
    a->groupNext = nullptr;
    ASSERT_EQ(KyPathSetOutlineInfo(a, info), 1);
    EXPECT_EQ(Sides(bounds::PixelBox(a, bounds::Cover::kGroup, kScale1)), (V{0, 0, 1, 1}));
    EXPECT_EQ(Sides(bounds::PixelBox(b, bounds::Cover::kGroup, kScale1)), (V{20, -10, 100, 50}));
}

TEST_F(BoundsTest, SpecialRecords) {
    // A rotated rectangle contributes its turned corners, truncated toward
    // zero: x' = y + 2.75, y' = 7.75 - x give (3.25, 7.25), (3.25, -2.25),
    // (7.25, -2.25), (7.25, 7.25) -> x 3..7, y -2..7.
    KyPath *rot = RotatedRect();
    EXPECT_EQ(Sides(bounds::RecordRect(rot, kScale1)), (V{3, -2, 7, 7}));
    // The box queries start at point 0's pixel (0, 0) as well.
    EXPECT_EQ(Sides(bounds::PixelBox(rot, bounds::Cover::kRecord, kScale1)), (V{0, -2, 7, 7}));
    bounds::DoubleRect d = bounds::ImageBox(rot, bounds::Cover::kRecord);
    EXPECT_EQ((D{d.minX, d.minY, d.maxX, d.maxY}), (D{0.5, -2.0, 7.0, 7.0}));

    // A no-extent record adds nothing, even far away; the chain's other
    // records still count.
    KyPath *head = Own(MakePath({{PT_MOVETO, 1, 2}, {PT_LINETO, 3, 4}}));
    KyPath *none = MakePath({{PT_MOVETO, 500, 500}, {PT_NOEXTENT, -900, 900}, {PT_LINETO, 700, 700}});
    LinkList({head, none});
    EXPECT_EQ(Sides(bounds::PixelBox(head, bounds::Cover::kFollowing, kScale1)), (V{1, 2, 3, 4}));
    EXPECT_EQ(RecordBox(none, kScale1), (V{10000, 10000, -10000, -10000}));

    // Records without points: no box of their own, the origin as a seed,
    // and never a read past a trimmed block.
    KyPath *empty = Own(KyPathCreate());
    ASSERT_EQ(KyPathPurge(&empty), 1);
    owned.back() = empty;
    EXPECT_EQ(Box(KyPathGetRealRect, empty, kScale1), (V{0, 0, 0, 0}));
    EXPECT_EQ(RecordBox(empty, kScale1), (V{10000, 10000, -10000, -10000}));
}

TEST_F(BoundsTest, SideMarginsFromTheFractions) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 2.6, 2.4}, {PT_LINETO, 10.45, 10.5}}));
    EXPECT_EQ(Margin(p, 0), (V{6, 5, 6, 5}));
    EXPECT_EQ(Margin(p, 1), (V{6, 5, 5, 5}));  // 0.5 is still the near half
    EXPECT_EQ(Margin(Own(MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 2.6, 3.75}})), 1), (V{5, 5, 4, 4}));
    // Negative boxes are shifted by whole pixels, so -2.4 has the fraction
    // 0.6 of the number above it (-2.4 + 7 = 4.6) and the far side follows:
    // 4.6, 4.75, 5.5, 5.25.
    EXPECT_EQ(Margin(Own(MakePath({{PT_MOVETO, -2.4, -0.25}, {PT_LINETO, -1.5, 0.25}})), 0), (V{6, 6, 5, 6}));

    // Rotated rectangles are skipped: only point 0 seeds the box.
    V rot = Margin(RotatedRect(), 0);
    ASSERT_EQ(rot.size(), 4u);
    EXPECT_EQ(std::make_pair(rot[0], rot[2]), std::make_pair(5, 5));  // 0.5 < 0.55, 0.5 > 0.45

    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 1, 0, 0, &info), 1);
    ASSERT_EQ(KyPathSetOutlineInfo(p, info), 1);
    int32_t m[4] = {99, 0, 0, 0};
    EXPECT_EQ(KyPathGetMargin(p, 0, m), 0);
    EXPECT_EQ(m[0], 99);
}

TEST_F(BoundsTest, NullArgumentsAreRefused) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 1, 1}}));
    Y32Rect r;
    double d[4];
    int32_t m[4];
    EXPECT_EQ(KyPathGetAllMiniMaxRect(nullptr, kScale1, &r), 0);
    EXPECT_EQ(KyPathGetMiniMaxRect(p, kScale1, nullptr), 0);
    EXPECT_EQ(KyPathGetSelectedRect(nullptr, kScale1, &r), 0);
    EXPECT_EQ(KyPathGetUnselectedRect(nullptr, kScale1, &r), 0);
    EXPECT_EQ(KyPathGetRealRect(p, kScale1, nullptr), 0);
    EXPECT_EQ(KyPathGetDoubleRectNoMargin(nullptr, d), 0);
    EXPECT_EQ(KyPathGetDoubleMiniMaxRect(p, kScale1, nullptr), 0);
    EXPECT_EQ(KyPathGetMargin(nullptr, 0, m), 0);
}

// ---- views ----

// Stride, width and height of an overlay extent.
V Shape(const view::OverlayExtent &e) { return {e.stride, e.width, e.height}; }

class ViewTest : public PathTest {
  protected:
    void TearDown() override {
        KyPathDeleteCoordStruct(v);
        KyPathDeleteCoordStruct(v2);
        if (t) {
            EXPECT_EQ(KyPathTblDelete(t), 1);
        }
        PathTest::TearDown();
    }
    PathTable *t = nullptr;
    CoordStruct *v = nullptr, *v2 = nullptr;
};

TEST_F(ViewTest, WindowAndImageMapping) {
    ASSERT_EQ(KyPathCoordStruct(0, 0, 200, 100, 100, 40, 2.0, nullptr, &v), 1);
    double pt[2] = {0, 0};
    EXPECT_EQ(KyPathPtWndToImage(pt, 10, 20, v), pt);
    EXPECT_EQ(D(pt, pt + 2), (D{55.0, 30.0}));
    double rc[4];
    EXPECT_EQ(KyPathRectWndToImage(rc, Y32Rect{10, 20, 30, 60}, v), rc);
    EXPECT_EQ(D(rc, rc + 4), (D{55.0, 30.0, 65.0, 50.0}));

    // Image to window truncates the zoomed position toward zero and counts
    // from the client origin.
    ASSERT_EQ(KyPathCoordStruct(7, 3, 200, 100, 100, 40, 2.0, nullptr, &v), 1);
    EXPECT_EQ(view::ImageToWindowX(v, 55.3), 110 - 93);
    EXPECT_EQ(view::ImageToWindowY(v, 30.0), 60 - 37);
    EXPECT_EQ(view::ImageToWindowX(v, -0.7), -1 - 93);  // trunc(-1.4) = -1, not floor's -2
    EXPECT_EQ(view::ImageToWindowX(v, -1.0), -2 - 93);
    EXPECT_EQ(view::FixedToWindowX(v, DbToFix(55.3)), 17);
    v->zoom = 1e300;
    EXPECT_EQ(view::ImageToWindowX(v, 1e10), INT32_MAX - 93);  // saturated, not wrapped

    v->zoom = 0;
    pt[0] = 123;
    EXPECT_EQ(KyPathPtWndToImage(pt, 10, 20, v), nullptr);
    EXPECT_EQ(pt[0], 123.0);
    EXPECT_EQ(KyPathPtWndToImage(nullptr, 10, 20, v), nullptr);
    EXPECT_EQ(KyPathRectWndToImage(rc, Y32Rect{0, 0, 1, 1}, nullptr), nullptr);
}

TEST_F(ViewTest, TableRecordsTheViewItWasMadeFor) {
    ASSERT_EQ(KyPathNew(&t), 1);
    ASSERT_EQ(KyPathNewCoordStruct(10, 20, 110, 70, 5, 6, 1.5, 77, t, &v), 1);
    ASSERT_NE(t->lpDB, nullptr);
    EXPECT_EQ(v->lpDB, t->lpDB);
    EXPECT_EQ(mem::MemSize(t->lpDB), 100u * 50u);
    EXPECT_EQ((V{t->width, t->height, static_cast<int32_t>(t->viewTag)}), (V{100, 50, 77}));

    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 70, 5, 6, 1.5, 77, t), 1);
    EXPECT_EQ(KyPathTblIsValid(0, 0, 100, 50, 5, 6, 1.5, 77, t), 1) << "only the size counts";
    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 70, 5, 6, 1.5 + 0.000005, 77, t), 1);
    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 70, 5, 6, 1.5 + 0.00002, 77, t), 0);
    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 70, 5, 6, 1.5, 78, t), 0);
    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 71, 5, 6, 1.5, 77, t), 0);
    EXPECT_EQ(KyPathTblIsValid(10, 20, 110, 70, 5, 7, 1.5, 77, t), 0);

    // A new view replaces the buffer; tag 0 keeps the old tag.
    uint8_t *old = t->lpDB;
    old[0] = 1;
    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 30, 20, 0, 0, 1.0, 0, t, &v), 1);
    EXPECT_EQ(t->viewTag, 77u);
    EXPECT_EQ(mem::MemSize(t->lpDB), 600u);
    EXPECT_EQ(t->lpDB[0], 0) << "zero-filled";
    EXPECT_EQ(KyPathNewCoordStruct(0, 0, 30, 20, 0, 0, 1.0, 0, nullptr, &v), 0);
    EXPECT_EQ(KyPathNewCoordStruct(0, 0, 30, 20, 0, 0, 1.0, 0, t, nullptr), 0);
    EXPECT_EQ(KyPathCoordStruct(0, 0, 30, 20, 0, 0, 1.0, t, nullptr), 0);
}

TEST_F(ViewTest, DrawingNeverReachesPastTheRealBuffer) {
    ASSERT_EQ(KyPathNew(&t), 1);
    ASSERT_EQ(KyPathCoordStruct(0, 0, 100, 50, 0, 0, 1.0, t, &v), 1);
    ASSERT_NE(t->lpDB, nullptr);
    EXPECT_EQ(mem::MemSize(t->lpDB), 5000u);
    view::OverlayExtent e = view::WritableOverlay(t, v);
    EXPECT_EQ(e.bits, t->lpDB);
    EXPECT_EQ(Shape(e), (V{100, 100, 50}));

    // The window grows; the buffer stays while the table follows the view.
    uint8_t *buffer = t->lpDB;
    ASSERT_EQ(KyPathCoordStruct(0, 0, 240, 90, 0, 0, 1.0, t, &v), 1);
    EXPECT_EQ(t->lpDB, buffer);
    EXPECT_EQ((V{t->width, t->height}), (V{240, 90}));
    for (const view::OverlayExtent &x : {view::WritableOverlay(t, v), view::WritableOverlay(nullptr, v),
                                         view::TableOverlay(t)}) {
        EXPECT_EQ(Shape(x), (V{100, 100, 50}));
        // Touch every byte the extent allows: ASan catches any overrun.
        for (int32_t y = 0; y < x.height; ++y) std::memset(x.bits + y * x.stride, 0x01, x.width);
        EXPECT_LE(static_cast<size_t>(x.stride) * (x.height - 1) + x.width, mem::MemSize(buffer));
    }

    // The window shrinks: rows keep the buffer's layout, only fewer bytes.
    ASSERT_EQ(KyPathCoordStruct(0, 0, 60, 20, 0, 0, 1.0, t, &v), 1);
    EXPECT_EQ(Shape(view::WritableOverlay(t, v)), (V{100, 60, 20}));

    // A second view on the same table made a new buffer: the first view now
    // points at a freed block and must draw nothing.
    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 30, 30, 0, 0, 1.0, 0, t, &v2), 1);
    EXPECT_TRUE(view::WritableOverlay(t, v).empty());
    EXPECT_EQ(Shape(view::WritableOverlay(t, v2)), (V{30, 30, 30}));

    // A view whose buffer the library did not size trusts its client size.
    CoordStruct own{};
    uint8_t bytes[12];
    own.right = 4;
    own.bottom = 3;
    own.lpDB = bytes;
    EXPECT_EQ(Shape(view::WritableOverlay(nullptr, &own)), (V{4, 4, 3}));
    own.lpDB = nullptr;
    EXPECT_TRUE(view::WritableOverlay(nullptr, &own).empty());
    EXPECT_TRUE(view::TableOverlay(nullptr).empty());
}

TEST_F(ViewTest, AdoptedBuffersRecordTheirSize) {
    ASSERT_EQ(KyPathNew(&t), 1);
    ASSERT_TRUE(view::ReplaceOverlay(t, 40, 30));
    auto *cropped = static_cast<uint8_t *>(mem::MemAlloc(mem::kZeroInit, 20 * 10));
    ASSERT_NE(cropped, nullptr);
    view::AdoptOverlay(t, cropped, 20, 10);
    EXPECT_EQ(t->lpDB, cropped);
    t->width = 40;  // the table claims more than the adopted block holds
    t->height = 30;
    EXPECT_EQ(Shape(view::TableOverlay(t)), (V{20, 20, 10}));
    // Negative sizes give an empty buffer, never a huge one.
    ASSERT_TRUE(view::ReplaceOverlay(t, -5, 10));
    EXPECT_EQ(mem::MemSize(t->lpDB), 0u);
    EXPECT_TRUE(view::TableOverlay(t).empty());
}

TEST_F(ViewTest, OutOfMemoryLeavesTheViewWithoutAnOverlay) {
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathCoordStruct(0, 0, 10, 10, 0, 0, 1.0, nullptr, &v), 0);
    }
    EXPECT_EQ(v, nullptr);

    ASSERT_EQ(KyPathNew(&t), 1);
    {
        plat::ScopedAllocFailure fail(1);  // the view succeeds, the overlay fails
        EXPECT_EQ(KyPathCoordStruct(0, 0, 10, 10, 3, 4, 1.0, t, &v), 0);
    }
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->scrollX, 3);
    EXPECT_EQ(v->lpDB, nullptr);
    EXPECT_EQ(t->lpDB, nullptr);
    EXPECT_TRUE(view::WritableOverlay(t, v).empty());

    ASSERT_EQ(KyPathNewCoordStruct(0, 0, 10, 10, 0, 0, 1.0, 5, t, &v), 1);
    ASSERT_NE(t->lpDB, nullptr);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathNewCoordStruct(0, 0, 20, 20, 0, 0, 1.0, 0, t, &v), 0);
    }
    EXPECT_EQ(t->lpDB, nullptr);
    EXPECT_EQ(v->lpDB, nullptr);
    EXPECT_EQ(t->reserved[view::kRealWidthWord], 0u);
    EXPECT_TRUE(view::WritableOverlay(t, v).empty());
}

}  // namespace
