#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/memory.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "y32Path.h"

namespace {

using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::PathTest;

class AddGroupTest : public PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        view_ = static_cast<CoordStruct *>(mem::MemAlloc(mem::kZeroInit, sizeof(CoordStruct)));
        ASSERT_NE(view_, nullptr);
        view_->right = 40;
        view_->bottom = 30;
        view_->scrollX = 3;
        view_->zoom = 1.0;
    }
    void TearDown() override {
        if (table_) KyPathTblDelete(table_);
        for (KyPath *p : loose_) KyPathDeletePtr(p, 0);
        KyPathDeleteCoordStruct(view_);
        PathTest::TearDown();
    }
    int Covered() const {
        int n = 0;
        for (int i = 0; i < 40 * 30; ++i) n += (table_->lpDB[i] & 0x3F) != 0;
        return n;
    }
    PathTable *table_ = nullptr;
    CoordStruct *view_ = nullptr;
    std::vector<KyPath *> loose_;
};

TEST_F(AddGroupTest, TheFirstGroupMakesTheTableAndItsOverlay) {
    KyPath *a = MakePath({{PT_MOVETO, 5.5, 5.5}, {PT_LINETO, 25.5, 5.5}});
    KyPath *b = MakePath({{PT_MOVETO, 5.5, 9.5}, {PT_LINETO, 25.5, 9.5}});
    LinkList({a, b});
    b->flags |= KPF_SELECTED;
    Y32Rect r{};
    ASSERT_EQ(KyPathAddPathGroup(&table_, b, "outline", view_, &r), 1) << "any record of the list";
    ASSERT_NE(table_, nullptr);
    EXPECT_EQ(table_->groups, 1);
    EXPECT_EQ(table_->current, 0);
    EXPECT_EQ(table_->state, 0x10000u);
    const PathGroup *g = KyPathTblGroups(table_);
    EXPECT_STREQ(g->name, "outline");
    EXPECT_EQ(g->first, a);
    EXPECT_EQ(g->firstSelected, b);
    ASSERT_NE(table_->lpDB, nullptr);
    EXPECT_EQ(view_->lpDB, table_->lpDB);
    EXPECT_EQ(table_->width, 40);
    EXPECT_EQ(table_->height, 30);
    EXPECT_EQ(table_->scrollX, 3);
    EXPECT_EQ(KyPathTblIsValid(0, 0, 40, 30, 3, 0, 1.0, 0, table_), 1);
    // Both records are drawn (scrolled by 3), and the client rectangle
    // comes back to be repainted.
    EXPECT_EQ(table_->lpDB[5 * 40 + 10], 1);
    EXPECT_EQ(table_->lpDB[9 * 40 + 10], 1);
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 30);
}

TEST_F(AddGroupTest, AnEmptyOnlyGroupIsReusedOtherwiseTheTableGrows) {
    ASSERT_EQ(KyPathNew(&table_), 1);
    ASSERT_EQ(KyPathCoordStruct(0, 0, 40, 30, 0, 0, 1.0, table_, &view_), 1);
    KyPath *a = MakePath({{PT_MOVETO, 5.5, 5.5}, {PT_LINETO, 25.5, 5.5}});
    Y32Rect r{};
    ASSERT_EQ(KyPathAddPathGroup(&table_, a, "first", view_, &r), 1);
    EXPECT_EQ(table_->groups, 1);
    EXPECT_EQ(table_->current, 0);
    EXPECT_EQ(KyPathTblGroups(table_)[0].first, a);
    EXPECT_EQ(KyPathTblGroups(table_)[0].firstSelected, nullptr);
    EXPECT_EQ(Covered(), 20);

    KyPath *b = MakePath({{PT_MOVETO, 5.5, 20.5}, {PT_LINETO, 15.5, 20.5}});
    ASSERT_EQ(KyPathAddPathGroup(&table_, b, std::string(300, 'n').c_str(), view_, &r), 1);
    EXPECT_EQ(table_->groups, 2);
    EXPECT_EQ(table_->current, 1);
    const PathGroup *g = &KyPathTblGroups(table_)[1];
    EXPECT_EQ(g->index, 1);
    EXPECT_EQ(g->first, b);
    EXPECT_EQ(std::strlen(g->name), 255u) << "names are cut to 255 characters";
    EXPECT_EQ(KyPathTblGroups(table_)[0].first, a) << "the first group keeps its paths";
    // The first group's outline was wiped, the new one drawn.
    EXPECT_EQ(table_->lpDB[5 * 40 + 10], 0);
    EXPECT_EQ(table_->lpDB[20 * 40 + 10], 1);
    EXPECT_EQ(Covered(), 10);
}

TEST_F(AddGroupTest, FailuresChangeNothing) {
    KyPath *a = MakePath({{PT_MOVETO, 5.5, 5.5}, {PT_LINETO, 25.5, 5.5}});
    loose_.push_back(a);
    Y32Rect r{};
    EXPECT_EQ(KyPathAddPathGroup(&table_, nullptr, "x", view_, &r), 0);
    EXPECT_EQ(KyPathAddPathGroup(nullptr, a, "x", view_, &r), 0);
    EXPECT_EQ(table_, nullptr);
    for (int64_t k = 0; k < 2; ++k) {  // the table block, then its overlay
        plat::ScopedAllocFailure fail(k);
        EXPECT_EQ(KyPathAddPathGroup(&table_, a, "x", view_, &r), 0) << k;
        EXPECT_EQ(table_, nullptr) << k;
    }

    loose_.clear();
    ASSERT_EQ(KyPathAddPathGroup(&table_, a, "x", view_, &r), 1);
    const std::vector<uint8_t> overlay(table_->lpDB, table_->lpDB + 40 * 30);
    KyPath *b = MakePath({{PT_MOVETO, 5.5, 20.5}, {PT_LINETO, 15.5, 20.5}});
    loose_.push_back(b);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathAddPathGroup(&table_, b, "y", view_, &r), 0);
    }
    EXPECT_EQ(table_->groups, 1);
    EXPECT_EQ(table_->current, 0);
    EXPECT_EQ(std::vector<uint8_t>(table_->lpDB, table_->lpDB + 40 * 30), overlay) << "nothing wiped";
}

}  // namespace
