#include <gtest/gtest.h>

#include "support/path_fixture.h"

namespace {

using testing_support::MakePath;
using testing_support::PathTest;

class OutlineTest : public PathTest {};

TEST_F(OutlineTest, AssignKeepsOrReplacesByKey) {
    OutlineInfo *info = nullptr;
    KyPath *first_a = MakePath({{PT_MOVETO, 1, 1}});
    KyPath *dash = MakePath({{PT_MOVETO, 2, 2}});
    ASSERT_EQ(KyPathAssignOutlineInfo(7, 8, first_a, 0, 0, nullptr, 3, dash, 1, 2, 3, 4, &info), 1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->startArrow, first_a);
    EXPECT_EQ(info->dashStyle, 3);
    EXPECT_EQ(info->param[3], 4);
    EXPECT_EQ(info->arrowsOff, 0);

    // Same keys, new path A: the new one is freed, the first one kept.
    size_t blocks = LiveBlocks();
    KyPath *second_a = MakePath({{PT_MOVETO, 3, 3}});
    OutlineInfo *held = info;
    ASSERT_EQ(KyPathAssignOutlineInfo(7, 8, second_a, 0, 0, nullptr, 3, dash, 5, 6, 7, 8, &info), 1);
    EXPECT_EQ(info, held);
    EXPECT_EQ(info->startArrow, first_a);
    EXPECT_EQ(info->dashPath, dash) << "passing the stored path again keeps it";
    EXPECT_EQ(LiveBlocks(), blocks) << "the new path A was freed";
    EXPECT_EQ(info->param[0], 5) << "parameters are replaced every time";

    // Changed key 0: the old path A goes, the new one stays.
    KyPath *third_a = MakePath({{PT_MOVETO, 4, 4}});
    ASSERT_EQ(KyPathAssignOutlineInfo(9, 8, third_a, 0, 0, nullptr, 3, dash, 0, 0, 0, 0, &info), 1);
    EXPECT_EQ(info->startArrow, third_a);
    EXPECT_EQ(info->startKey[0], 9);
    EXPECT_EQ(LiveBlocks(), blocks);

    // Changed dash style with no path: the stored dash chain is released.
    ASSERT_EQ(KyPathAssignOutlineInfo(9, 8, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info), 1);
    EXPECT_EQ(info->dashPath, nullptr);
    EXPECT_EQ(LiveBlocks(), blocks - 1);

    // The record that carries it frees it with its paths.
    KyPath *owner = KyPathCreate();
    ASSERT_EQ(KyPathSetOutlineInfo(owner, info), 1);
    EXPECT_EQ(KyPathDeletePtr(owner, 0), 1);
    EXPECT_EQ(LiveBlocks(), blocks - 2);
}

TEST_F(OutlineTest, GetAndSetNeedARecordAndAnInfo) {
    KyPath *p = KyPathCreate();
    OutlineInfo *out = reinterpret_cast<OutlineInfo *>(0x10);
    EXPECT_EQ(KyPathGetOutlineInfo(p, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(KyPathSetOutlineInfo(p, nullptr), 0);
    EXPECT_EQ(KyPathSetOutlineInfo(nullptr, nullptr), 0);
    EXPECT_EQ(p->flags, 0u);
    EXPECT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, nullptr), 0);
    {
        plat::ScopedAllocFailure fail(0);
        OutlineInfo *info = nullptr;
        EXPECT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info), 0);
        EXPECT_EQ(info, nullptr);
    }
    KyPathDeletePtr(p, 0);
}

}  // namespace
