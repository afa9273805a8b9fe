// Running out of memory at each allocation of recording, undoing and
// redoing leaves the journal, the document and the heap as they were.
#include <functional>
#include <string>

#include "core/path_record.h"
#include "platform/alloc_fail.h"
#include "undo/undo_support.h"

namespace {

using testing_support::MakePath;
using namespace undo_test;

class UndoAllocFailureTest : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        p = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 32, 0}, {PT_LINETO, 32, 32}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
        q = MakePath({{PT_MOVETO, 40, 40}, {PT_LINETO, 60, 50}});
        testing_support::LinkList({p, q});
        Adopt(p);
        Select();
        // Records already there must survive every failure.
        ASSERT_EQ(KyPathBackupAction(kOwner, undo::kJoined, t), 1);
        ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    }

    void Select() {
        edit_test::LinkSelection({p, q});
        path::Points(p)[1].type |= PT_SELECTED;
        p->flags |= KPF_HASSELPOINT;
        ASSERT_EQ(KyPathAssignSelectedPath(t, p), 1);
    }

    // Calls `op` with the i-th allocation failing, for i = 0, 1, ... until it
    // succeeds; every failed call must leave everything as it was. Returns
    // the number of failed attempts.
    int FailEachStep(const std::function<int32_t()> &op, const char *what) {
        SCOPED_TRACE(what);
        for (int i = 0; i < 16; ++i) {
            const JournalState journal = JournalOf(kOwner);
            const DocState doc = Capture(Group());
            const size_t blocks = LiveBlocks();
            int32_t result;
            {
                plat::ScopedAllocFailure fail(i);
                result = op();
            }
            if (result == 1) return i;
            EXPECT_EQ(result, 0);
            EXPECT_EQ(JournalOf(kOwner), journal) << "allocation " << i;
            EXPECT_EQ(Capture(Group()), doc) << "allocation " << i;
            EXPECT_EQ(LiveBlocks(), blocks) << "allocation " << i;
            EXPECT_TRUE(ListInvariants(p, t));
        }
        ADD_FAILURE() << "never succeeded";
        return -1;
    }

    // Undo fails at each allocation before it gives `before`, redo at each
    // of its own.
    void FailUndoThenRedo(const char *what, const DocState &before, int undo_points, int redo_points) {
        EXPECT_EQ(FailEachStep([this] { return Undo(); }, (std::string("undo ") + what).c_str()), undo_points);
        EXPECT_EQ(Capture(Group()), before) << what;
        EXPECT_TRUE(ListInvariants(p, t));
        EXPECT_EQ(FailEachStep([this] { return Redo(); }, (std::string("redo ") + what).c_str()), redo_points);
    }

    void AttachBilinear(double side) {
        const FIXED s = DbToFix(side);
        const EnvelopeCorners c{{{0, 0}, {s, 0}, {0, s}, {s, s}}};
        ASSERT_EQ(KyPathAddBiLinearEnvelope(p, &c), 1);
        ASSERT_EQ(KyPathAssignSelectedPathBlindly(t, p), 1);
    }

    KyPath *p = nullptr, *q = nullptr;
};

TEST_F(UndoAllocFailureTest, RecordingEveryKind) {
    auto backup = [&](int32_t code) { return [this, code] { return KyPathBackupAction(kOwner, code, t); }; };
    EXPECT_EQ(FailEachStep(backup(undo::kSelect2), "selection"), 1);
    EXPECT_EQ(FailEachStep(backup(undo::kNodeMove), "node move"), 1);
    EXPECT_EQ(FailEachStep(backup(undo::kDisjoined), "disjoin"), 2);  // the record and its links
    EXPECT_EQ(FailEachStep([this] { return BackupDuplicate(undo::kSelect3, t); }, "duplicate"), 1);
    EXPECT_EQ(FailEachStep([this] { return BackupSelectMove(5000, t); }, "select move"), 1);
    EXPECT_EQ(FailEachStep([this] { return BackupSelected(5001, t); }, "selected"), 1);
    AttachBilinear(32);
    EXPECT_EQ(FailEachStep(backup(undo::kEnvelope), "envelope"), 2);  // the copy and the record
    EXPECT_EQ(LengthOf(kOwner), 9);
    EXPECT_EQ(PositionOf(kOwner), 9);
}

TEST_F(UndoAllocFailureTest, UndoAndRedoOfEveryKind) {
    // Selection: the record capturing the current selection is the one
    // allocation.
    const DocState selected = Capture(Group());
    PathClearSelection(p);
    KyPathAssignSelectedPath(t, nullptr);
    FailUndoThenRedo("selection", selected, 1, 1);
    EXPECT_EQ(Group().firstSelected, nullptr);

    // Join: the exchange record and the links kept beside it.
    Select();
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kJoined, t), 1);
    const DocState apart = Capture(Group());
    ASSERT_EQ(KyPathJoin(p), 1);
    FailUndoThenRedo("join", apart, 2, 2);
    EXPECT_EQ(p->groupNext, q);
    ASSERT_EQ(KyPathDisjoin(p), 1);

    Select();
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kNodeMove, t), 1);
    const DocState unmoved = Capture(Group());
    ASSERT_EQ(KyPathMovePathsByPtfx(p, DbToFix(3), DbToFix(4)), 1);
    FailUndoThenRedo("node move", unmoved, 1, 1);

    // Envelope whose outline has to grow back from 5 to 9 points: the copy,
    // the record, then the outline's growth. The selection must follow the
    // grown outline wherever it moved, which the captured state compares.
    const EnvelopeNet rect{{{0, 0}, {DbToFix(8), 0}, {DbToFix(24), 0}, {DbToFix(32), 0}},
                           {{0, DbToFix(32)}, {DbToFix(8), DbToFix(32)}, {DbToFix(24), DbToFix(32)}, {DbToFix(32), DbToFix(32)}}};
    ASSERT_EQ(KyPathAddBiBezierEnvelope(p, &rect), 1);
    ASSERT_EQ(KyPathAssignSelectedPathBlindly(t, p), 1);
    const DocState with_net = Capture(Group());
    ASSERT_EQ(with_net.first_selected, static_cast<int>(with_net.records.size()) - 1);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    // The host replaces the outline by a new bilinear one of 5 points.
    KyPath *head = p;
    KyPathDeleteNodeFromList(&head, PathLast(p));
    AttachBilinear(32);
    ASSERT_EQ(mem::PathBlockSize(PathLast(p)), path::BlockBytes(5));
    FailUndoThenRedo("envelope", with_net, 3, 2);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(p), ENVELOPE_BILINEAR);

    // Drained, nothing is left behind.
    const size_t before = LiveBlocks();
    const int32_t n = LengthOf(kOwner);
    while (LengthOf(kOwner) > 0) ASSERT_EQ(KyPathURFree(kOwner, 0, 1), 1);
    // The envelope copy and the links beside the two join records too.
    EXPECT_EQ(LiveBlocks(), before - static_cast<size_t>(n) - 3);
}

}  // namespace
