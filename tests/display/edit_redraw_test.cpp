#include <gtest/gtest.h>

#include "window_fixture.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::SelectPoint;
using display_testing::TypeAt;
using display_testing::WindowTest;

class EditRedrawTest : public WindowTest {
  protected:
    static bool Covers(const Y32Rect &r, int32_t x, int32_t y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }
};

TEST_F(EditRedrawTest, AlignMovesTheSelectionInTheOverlayAndKeepsCrossingOutlines) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 10}});
    KyPath *b = MakePath({{PT_MOVETO, 40, 40}, {PT_LINETO, 60, 60}});
    // An unselected outline across b: erasing b must leave it whole.
    KyPath *c = MakePath({{PT_MOVETO, 40, 50}, {PT_LINETO, 60, 50}});
    LinkList({a, b, c});
    LinkSelection({a, b});
    Install(a);
    const std::vector<uint8_t> before = Bytes();
    Y32Rect changed{};
    ASSERT_EQ(KyPathAlign(0, 18020, table_, view_, &changed), 1);
    EXPECT_EQ(fx::Floor(KyPathPoints(b)[0].x), 10) << "left edges aligned";
    EXPECT_NE(Bytes(), before);
    EXPECT_EQ(Bytes(), FreshOverlay(a));
    EXPECT_TRUE(Covers(changed, 55, 55)) << "where b was";
    EXPECT_TRUE(Covers(changed, 20, 45)) << "where b is";
    // No selected path: refused, nothing drawn.
    KyPathDeSelectAll(nullptr, a, nullptr, 0);
    Group()->firstSelected = nullptr;
    const std::vector<uint8_t> after = Bytes();
    EXPECT_EQ(KyPathAlign(0, 18020, table_, view_, &changed), 0);
    EXPECT_EQ(Bytes(), after);
    EXPECT_EQ(KyPathAlign(0, 18020, nullptr, view_, &changed), 0);
}

TEST_F(EditRedrawTest, DuplicateDrawsTheCopiesAndErasesTheSourcesNodes) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 10}, {PT_LINETO, 40, 40}});
    LinkSelection({a});
    Install(a);
    ASSERT_FALSE(WindowBlank());
    Y32Rect changed{};
    ASSERT_EQ(KyPathDuplicate(dc_, table_, view_, &changed), 1);
    KyPath *copy = a->next;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Group()->firstSelected, copy);
    EXPECT_FALSE(a->flags & KPF_SELECTED);
    EXPECT_EQ(fx::Floor(KyPathPoints(copy)[0].x), 25);
    EXPECT_EQ(Bytes(), FreshOverlay(a)) << "source and copy, each once";
    EXPECT_TRUE(Covers(changed, 40, 25));
    EXPECT_TRUE(Covers(changed, 55, 55));
    EXPECT_FALSE(Covers(changed, 12, 8)) << "the source was not redrawn";
    EXPECT_TRUE(WindowBlank()) << "the source's squares are gone";
    // Without a view nothing is copied.
    EXPECT_EQ(KyPathDuplicate(dc_, table_, nullptr, &changed), 0);
    EXPECT_EQ(copy->next, nullptr);
}

TEST_F(EditRedrawTest, ConvertingThePickedSegmentRedrawsItHighlighted) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 50, 10}, {PT_LINETO, 50, 50}});
    LinkSelection({a});
    Install(a);
    Y32Rect r{};
    ASSERT_EQ(KyPathPickSegment(view_, a, 0, &r), 1);
    const std::vector<uint8_t> line = Bytes();
    Y32Rect changed{};
    ASSERT_EQ(KyPathConvertSelectedSegment(view_, table_, &changed), 1);
    a = Group()->first;
    ASSERT_EQ(a->count, 5);
    EXPECT_EQ(TypeAt(a, 1) & PT_KINDMASK, PT_BEZIERTO);
    EXPECT_NE(Bytes(), line);
    EXPECT_EQ(Bytes(), FreshOverlay(a)) << "counts and highlight as a fresh drawing";
    EXPECT_TRUE(Covers(changed, 30, 10));
    ASSERT_EQ(KyPathConvertSelectedSegment(view_, table_, &changed), 1);
    a = Group()->first;
    EXPECT_EQ(a->count, 3);
    EXPECT_EQ(Bytes(), line);
    EXPECT_EQ(KyPathConvertSelectedSegment(nullptr, table_, &changed), 0);
    EXPECT_EQ(changed.right, 0);
    EXPECT_EQ(a->count, 3);
}

TEST_F(EditRedrawTest, DeleteTakesNodesOrRecordsOffTheOverlay) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 30}, {PT_LINETO, 50, 10}, {PT_LINETO, 70, 30}});
    KyPath *b = MakePath({{PT_MOVETO, 10, 60}, {PT_LINETO, 70, 60}});
    LinkList({a, b});
    LinkSelection({a});
    SelectPoint(a, 1);
    Install(a);
    Y32Rect changed{};
    ASSERT_EQ(KyPathDelete(table_, view_, &changed), 1);
    ASSERT_EQ(a->count, 3);
    EXPECT_EQ(fx::Floor(KyPathPoints(a)[1].x), 50);
    EXPECT_EQ(Bytes(), FreshOverlay(a));
    EXPECT_TRUE(Covers(changed, 20, 20)) << "the old segments";

    // Now the whole record b.
    KyPathDeSelectAll(nullptr, a, nullptr, 0);
    LinkSelection({b});
    Group()->firstSelected = b;
    ASSERT_EQ(KyPathDelete(table_, view_, &changed), 1);
    EXPECT_EQ(Group()->first, a);
    EXPECT_EQ(a->next, nullptr);
    EXPECT_EQ(Group()->firstSelected, nullptr);
    EXPECT_EQ(Bytes(), FreshOverlay(a));
    EXPECT_TRUE(Covers(changed, 40, 60));
    EXPECT_EQ(KyPathDelete(table_, view_, &changed), 0) << "nothing selected";
}

}  // namespace
