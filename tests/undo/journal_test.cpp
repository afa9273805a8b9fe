// Journals, positions and the owner table, through the exported entries.
#include "undo/undo_support.h"

namespace {

using testing_support::MakePath;
using namespace undo_test;

class JournalTest : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 10}, {PT_LINETO, 40, 40}});
        b = MakePath({{PT_MOVETO, 60, 10}, {PT_LINETO, 90, 10}});
        testing_support::LinkList({a, b});
        Adopt(a);
        edit_test::LinkSelection({a, b});
        ASSERT_EQ(KyPathAssignSelectedPath(t, a), 1);
    }
    // Join records carry no payload (their group links lie beside them):
    // the simplest thing to fill a journal with.
    void Record(uint32_t owner, int times) {
        for (int i = 0; i < times; ++i) ASSERT_EQ(KyPathBackupAction(owner, undo::kJoined, t), 1);
    }
    KyPath *a = nullptr, *b = nullptr;
};

TEST_F(JournalTest, RemovingRecordsMovesThePositionByTheRules) {
    Record(kOwner, 3);
    // The oldest goes: everything done moves down by one.
    EXPECT_EQ(KyPathURFree(kOwner, 0, 1), 1);
    EXPECT_EQ(LengthAndPosition(kOwner), LP(2, 2));
    Record(kOwner, 3);  // five records, all done
    EXPECT_EQ(KyPathURFree(kOwner, 0, 0), 1);
    EXPECT_EQ(LengthAndPosition(kOwner), LP(4, 4));

    // With records undone, removing the newest (the redo branch) leaves the
    // position alone until it would point past the end.
    ASSERT_EQ(Undo(), 1);
    ASSERT_EQ(Undo(), 1);
    for (LP want : {LP(3, 2), LP(2, 2), LP(1, 1)}) {
        EXPECT_EQ(KyPathURFree(kOwner, 0, 0), 1);
        EXPECT_EQ(LengthAndPosition(kOwner), want);
    }

    // Removing the oldest with nothing done keeps the position at 0.
    ASSERT_EQ(Undo(), 1);
    Record(kOwner, 1);  // appended after an undo: position 1 of 2
    EXPECT_EQ(LengthAndPosition(kOwner), LP(2, 1));
    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(KyPathURFree(kOwner, 0, 1), 1);
    EXPECT_EQ(LengthAndPosition(kOwner), LP(1, 0));
}

TEST_F(JournalTest, TrimmingTheOldestBoundsTheJournalWithoutLeaks) {
    // What a host does to keep at most 4 records: record, then drop the
    // oldest while the journal is longer.
    const size_t before = LiveBlocks();
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
        while (LengthOf(kOwner) > 4) ASSERT_EQ(KyPathURFree(kOwner, 0, 1), 1);
    }
    EXPECT_EQ(LengthAndPosition(kOwner), LP(4, 4));
    EXPECT_EQ(LiveBlocks(), before + 4);
    // The limit setter takes nothing away and changes nothing.
    EXPECT_EQ(KyPathSetUndoLimit(2), 1);
    EXPECT_EQ(LengthOf(kOwner), 4);
    while (LengthOf(kOwner) > 0) ASSERT_EQ(KyPathURFree(kOwner, 0, 0), 1);
    EXPECT_EQ(LiveBlocks(), before);
    EXPECT_EQ(undo::OwnersInUse(), 0);
    // An empty journal stays empty.
    EXPECT_EQ(KyPathURFree(kOwner, 0, 0), 1);
    EXPECT_EQ(KyPathURFree(kOwner, 0, 1), 1);
    EXPECT_EQ(undo::OwnersInUse(), 0);
}

TEST_F(JournalTest, OwnersKeepTheirOwnJournals) {
    Record(1, 2);
    Record(2, 1);
    Record(3, 3);
    EXPECT_EQ(undo::OwnersInUse(), 3);
    ASSERT_EQ(Undo(1), 1);
    EXPECT_EQ((std::vector<LP>{LengthAndPosition(1), LengthAndPosition(2), LengthAndPosition(3)}),
              (std::vector<LP>{{2, 1}, {1, 1}, {3, 3}}));
    // Owner 2's journal empties: its slot goes and owner 3 moves up intact.
    EXPECT_EQ(KyPathURFree(2, 0, 0), 1);
    EXPECT_EQ(undo::OwnersInUse(), 2);
    EXPECT_EQ(undo::FindJournal(2), nullptr);
    EXPECT_EQ(LengthAndPosition(1), LP(2, 1));
    EXPECT_EQ(LengthAndPosition(3), LP(3, 3));
    ASSERT_EQ(Redo(1), 1);
    EXPECT_EQ(Redo(1), 0);  // nothing left to redo
    EXPECT_EQ(PositionOf(1), 2);
    EXPECT_EQ(PositionOf(3), 3);
}

TEST_F(JournalTest, ATwentyFirstOwnerKeepsNothing) {
    for (uint32_t owner = 1; owner <= undo::kOwnerSlots; ++owner) Record(owner, 1);
    EXPECT_EQ(undo::OwnersInUse(), undo::kOwnerSlots);
    const size_t before = LiveBlocks();
    const uint32_t extra = 1000;
    EXPECT_EQ(KyPathBackupAction(extra, undo::kSelect1, t), 0);
    EXPECT_EQ(KyPathBackupAction(extra, undo::kJoined, t), 0);
    EXPECT_EQ(BackupDuplicate(undo::kSelect1, t), 0);  // bound to the owner that has no slot
    EXPECT_EQ(LiveBlocks(), before);
    EXPECT_EQ(undo::FindJournal(extra), nullptr);
    EXPECT_EQ(Undo(extra), 0);
    EXPECT_EQ(KyPathSameUR(extra, t, undo::kSelect1), 0);
    // Codes that record nothing answer 1 for any owner.
    EXPECT_EQ(KyPathBackupAction(extra, 18017, t), 1);
    // Once a slot frees, the new owner gets it.
    EXPECT_EQ(KyPathURFree(7, 0, 1), 1);
    Record(extra, 1);
    EXPECT_EQ(LengthOf(extra), 1);
    EXPECT_EQ(undo::OwnersInUse(), undo::kOwnerSlots);
}

TEST_F(JournalTest, NullAndUnknownOwnersAndArguments) {
    EXPECT_EQ(KyPathBackupAction(0, undo::kJoined, t), 0);
    EXPECT_EQ(KyPathBackupAction(kOwner, undo::kJoined, nullptr), 0);
    EXPECT_EQ(KyPathUndo(0, t, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathRedo(kOwner, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathSameUR(0, t, undo::kSelect1), 0);
    EXPECT_EQ(KyPathSameUR(kOwner, nullptr, undo::kSelect1), 0);
    EXPECT_EQ(KyPathURFree(0, 0, 1), 0);
    EXPECT_EQ(undo::OwnersInUse(), 0);
    // No owner-keyed call yet: the companions have no journal to record in.
    EXPECT_EQ(BackupSelectMove(5000, t), 0);
    EXPECT_EQ(BackupSelected(5000, t), 0);
    EXPECT_EQ(BackupDuplicate(undo::kSelect1, t), 0);
    // A table whose current group index is damaged is refused.
    t->current = 5;
    EXPECT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 0);
    EXPECT_EQ(BackupSelected(5000, t), 0);
    t->current = 0;

    // An unknown owner has an empty journal; asking about it creates none.
    Y32Rect changed{1, 2, 3, 4};
    EXPECT_EQ(KyPathUndo(99, t, nullptr, &changed, nullptr), 0);
    EXPECT_EQ(KyPathRedo(99, t, nullptr, &changed, nullptr), 0);
    EXPECT_EQ(KyPathURFree(99, 0, 0), 1);
    EXPECT_EQ(undo::OwnersInUse(), 0);

    int32_t x = 7, y = 8;
    EXPECT_EQ(KyPathKyPathGetURInfo(&x, &y), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(KyPathKyPathGetURInfo(nullptr, nullptr), 1);
}

TEST_F(JournalTest, GetURActionStepsThePositionButNeverPastTheNewest) {
    Record(kOwner, 2);
    ASSERT_EQ(Undo(), 1);
    ASSERT_EQ(Undo(), 1);
    for (int32_t want : {1, 2, 2}) {
        EXPECT_EQ(KyPathGetURAction(), 1);
        EXPECT_EQ(PositionOf(kOwner), want);
    }
    EXPECT_EQ(Redo(), 0);
    EXPECT_EQ(Undo(), 1);
}

TEST_F(JournalTest, CompanionRecordsOnlyMoveThePosition) {
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    EXPECT_EQ(BackupSelectMove(5001, t), 1);
    EXPECT_EQ(BackupSelected(5002, t), 1);
    const JournalState j = JournalOf(kOwner);
    ASSERT_EQ(j.codes, (std::vector<int32_t>{undo::kSelect1, 5001, 5002}));
    EXPECT_EQ(j.position, 3);
    // The first point of the selected path, and the path itself.
    EXPECT_EQ(j.payloads[1], (std::vector<uint32_t>{uint32_t(DbToFix(10)), uint32_t(DbToFix(10))}));
    KyPath *stored = nullptr;
    ASSERT_EQ(j.payloads[2].size() * 4, sizeof stored);
    std::memcpy(&stored, j.payloads[2].data(), sizeof stored);
    EXPECT_EQ(stored, a);

    const DocState doc = Capture(Group());
    Y32Rect changed{1, 1, 5, 5};
    EXPECT_EQ(KyPathUndo(kOwner, t, nullptr, &changed, nullptr), 1);
    EXPECT_EQ(KyPathUndo(kOwner, t, nullptr, &changed, nullptr), 1);
    EXPECT_EQ(PositionOf(kOwner), 1);
    EXPECT_EQ(Capture(Group()), doc);
    EXPECT_EQ(changed.right - changed.left, 0);
    EXPECT_EQ(KyPathRedo(kOwner, t, nullptr, &changed, nullptr), 1);
    EXPECT_EQ(PositionOf(kOwner), 2);
    EXPECT_EQ(JournalOf(kOwner).payloads, j.payloads);

    // Nothing selected: the companions still keep their place in the
    // journal, with nothing to remember.
    KyPathAssignSelectedPath(t, nullptr);
    EXPECT_EQ(BackupSelectMove(5003, t), 1);
    EXPECT_EQ(BackupSelected(5004, t), 1);
    const JournalState k = JournalOf(kOwner);
    EXPECT_EQ(k.payloads[3], (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(k.payloads[4], std::vector<uint32_t>(undo::kPointerWords, 0));
    EXPECT_EQ(BackupSelectMove(5005, nullptr), 0);
}

TEST_F(JournalTest, CompanionsRefuseCodesTheJournalActsOn) {
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    const size_t before = LiveBlocks();
    // Under these codes undo would read a point or a pointer as a snapshot,
    // a move or an envelope copy.
    for (int32_t code : {undo::kSelect1, undo::kNodeMove, undo::kJoined, undo::kEnvelope, undo::kSelect27}) {
        EXPECT_EQ(BackupSelectMove(code, t), 0) << code;
        EXPECT_EQ(BackupSelected(code, t), 0) << code;
    }
    for (int32_t code : {undo::kNodeMove, undo::kJoined, undo::kDisjoined, undo::kEnvelope})
        EXPECT_EQ(BackupDuplicate(code, t), 0) << code;
    EXPECT_EQ(LiveBlocks(), before);
    EXPECT_EQ(LengthOf(kOwner), 1);
    // A snapshot under a code of the host's own only holds a place.
    ASSERT_EQ(BackupDuplicate(5000, t), 1);
    const DocState doc = Capture(Group());
    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(Capture(Group()), doc);
    EXPECT_EQ(PositionOf(kOwner), 1);
}

TEST_F(JournalTest, CompanionsRecordForTheOwnerTheLastCallNamed) {
    Record(1, 1);
    Record(2, 1);
    ASSERT_EQ(Undo(1), 1);  // binds owner 1, position 0
    ASSERT_EQ(BackupSelected(5000, t), 1);
    EXPECT_EQ(JournalOf(1).codes, (std::vector<int32_t>{undo::kJoined, 5000}));
    EXPECT_EQ(PositionOf(1), 1);
    EXPECT_EQ(LengthOf(2), 1);
    // An owner whose journal had emptied gets a slot back from a companion.
    ASSERT_EQ(KyPathURFree(2, 0, 0), 1);
    EXPECT_EQ(undo::FindJournal(2), nullptr);
    ASSERT_EQ(BackupSelectMove(5001, t), 1);
    EXPECT_EQ(JournalOf(2).codes, (std::vector<int32_t>{5001}));
    EXPECT_EQ(JournalOf(2).position, 1);
}

TEST_F(JournalTest, DroppingAnOwnerFreesEverythingItRecorded) {
    const size_t before = LiveBlocks();
    Record(1, 2);  // two records and their links
    ASSERT_EQ(KyPathBackupAction(2, undo::kSelect1, t), 1);
    ASSERT_EQ(KyPathBackupAction(2, undo::kNodeMove, t), 1);
    Record(2, 1);
    EXPECT_EQ(LiveBlocks(), before + 8);
    undo::FreeOwner(2);
    EXPECT_EQ(LiveBlocks(), before + 4);
    EXPECT_EQ(undo::FindJournal(2), nullptr);
    EXPECT_EQ(LengthOf(1), 2);
    // The working journal stays bound to owner 2, now empty: a companion
    // starts a new journal for it.
    EXPECT_EQ(BackupSelected(5000, t), 1);
    EXPECT_EQ(LengthOf(2), 1);
    undo::FreeEverything();
    EXPECT_EQ(LiveBlocks(), before);
    EXPECT_EQ(undo::OwnersInUse(), 0);
}

// Detaching the library releases every journal before the heap goes.
TEST(UndoDetachTest, DetachFreesJournalsBeforeTheHeap) {
    mem::Detach();  // start from a fresh library
    ASSERT_EQ(KyPathInit(), 0x30000);
    static size_t live_at_hook = 12345;
    // Hooks run latest first: this one, registered before the journal's,
    // runs after it and sees what the journal left.
    mem::AtDetach([] { live_at_hook = plat::HeapLiveBlocks(mem::PrivateHeap()); });
    PathTable *table = nullptr;
    ASSERT_EQ(KyPathNew(&table), 1);
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 5, 5}});
    ASSERT_EQ(KyPathAssignActivePath(table, p), 1);
    p->flags |= KPF_SELECTED;
    ASSERT_EQ(KyPathAssignSelectedPath(table, p), 1);
    for (uint32_t owner = 1; owner <= 3; ++owner) {
        ASSERT_EQ(KyPathBackupAction(owner, undo::kSelect1, table), 1);
        ASSERT_EQ(KyPathBackupAction(owner, undo::kNodeMove, table), 1);
    }
    ASSERT_EQ(KyPathTblDelete(table), 1);
    ASSERT_EQ(plat::HeapLiveBlocks(mem::PrivateHeap()), 6u);  // the records alone
    mem::Detach();
    EXPECT_EQ(live_at_hook, 0u);
    ASSERT_EQ(KyPathInit(), 0x30000);
    EXPECT_EQ(undo::OwnersInUse(), 0);
    EXPECT_EQ(undo::FindJournal(1), nullptr);
    EXPECT_EQ(BackupSelected(5000, nullptr), 0);
}

}  // namespace
