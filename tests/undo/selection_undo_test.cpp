// Selection snapshots: what they hold, undo and redo exchanging them, the
// window and overlay kept in step, KyPathSameUR, and stale snapshots.
#include "core/path_record.h"
#include "display/outline_draw.h"
#include "edit/transform.h"
#include "undo/undo_support.h"

namespace {

using testing_support::MakePath;
using namespace undo_test;

struct Sel {
    KyPath *r;
    int node = -1;
    int seg = -1;
};

class SelectionUndoTest : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        r0 = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 50, 10}, {PT_LINETO, 50, 50}, {PT_LINETO, 10, 50}});
        r1 = MakePath({{PT_MOVETO, 70, 10},
                       {PT_LINETO, 110, 10},
                       {PT_LINETO, 90, 40},
                       {PT_LINETO | PT_CLOSEFIGURE, 70, 10}});
        r2 = MakePath({{PT_MOVETO, 20, 80}, {PT_BEZIERTO, 40, 60}, {PT_BEZIERTO, 60, 100}, {PT_BEZIERTO, 80, 80}});
        r3 = MakePath({{PT_MOVETO, 100, 100}, {PT_LINETO, 150, 150}});
        testing_support::LinkList({r0, r1, r2, r3});
        Adopt(r0);
    }

    // What a host's selection tools leave behind: the nodes of the old
    // selection erased and of the new one drawn, picked segments highlighted.
    void HostSelect(std::initializer_list<Sel> sels) {
        for (KyPath *r = Group().first; r; r = r->next) {
            if ((r->flags & KPF_SELECTED) && dc) KyPathDrawNodes(dc, r, view);
            if ((r->flags & KPF_HASSELSEGMENT) && view) outline::DrawRecord(view, r, overlay::kUnhighlight, nullptr);
        }
        PathClearSelection(Group().first);
        KyPath *prev = nullptr;
        for (const Sel &s : sels) {
            s.r->flags |= KPF_SELECTED;
            PathPoint *pts = path::Points(s.r);
            if (s.node >= 0) {
                pts[s.node].type = static_cast<uint16_t>(pts[s.node].type | PT_SELECTED);
                s.r->flags |= KPF_HASSELPOINT;
            }
            if (s.seg >= 0) {
                pts[s.seg].type = static_cast<uint16_t>(pts[s.seg].type | PT_SEGSELECTED);
                s.r->flags |= KPF_HASSELSEGMENT;
                if (view) outline::DrawRecord(view, s.r, overlay::kHighlight, nullptr);
            }
            s.r->selPrev = prev;
            if (prev) prev->selNext = s.r;
            prev = s.r;
            if (dc) KyPathDrawNodes(dc, s.r, view);
        }
        Group().firstSelected = sels.size() ? sels.begin()->r : nullptr;
    }

    // The whole visible and stored state at one moment.
    struct Scene {
        DocState doc;
        std::vector<uint8_t> overlay, nodes;
    };
    Scene Now() { return Scene{Capture(Group()), view ? Overlay() : std::vector<uint8_t>{}, dc ? DcPixels() : std::vector<uint8_t>{}}; }
    void ExpectScene(const Scene &want, const char *when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(Capture(Group()), want.doc);
        EXPECT_TRUE(ListInvariants(Group().first, t));
        if (view) {
            EXPECT_TRUE(Overlay() == want.overlay) << "overlay differs";
        }
        if (dc) {
            EXPECT_TRUE(DcPixels() == want.nodes) << "node squares differ";
            EXPECT_TRUE(DcPixels() == FreshNodes()) << "window does not show exactly the selected nodes";
        }
    }

    KyPath *r0 = nullptr, *r1 = nullptr, *r2 = nullptr, *r3 = nullptr;
};

TEST_F(SelectionUndoTest, SnapshotNamesRecordsAndTheirFirstMarkedPoint) {
    HostSelect({{r0, 2}, {r2, -1, 0}, {r3}});
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    EXPECT_EQ(JournalOf(kOwner).payloads[0],
              (std::vector<uint32_t>{0, undo::kNodeTag | 2, 2, undo::kSegmentTag | 0, 3}));

    // A node and a segment on one record: the first in point order counts.
    HostSelect({{r0, 3, 1}});
    ASSERT_EQ(BackupDuplicate(undo::kSelect27, t), 1);
    HostSelect({{r0, 1, 2}});
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect26, t), 1);
    HostSelect({});
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect3, t), 1);
    const JournalState j = JournalOf(kOwner);
    EXPECT_EQ(j.codes, (std::vector<int32_t>{undo::kSelect1, undo::kSelect27, undo::kSelect26, undo::kSelect3}));
    EXPECT_EQ(j.payloads[1], (std::vector<uint32_t>{0, undo::kSegmentTag | 1}));
    EXPECT_EQ(j.payloads[2], (std::vector<uint32_t>{0, undo::kNodeTag | 1}));
    EXPECT_TRUE(j.payloads[3].empty());
}

TEST_F(SelectionUndoTest, UndoAndRedoExchangeTheSelectionOnScreenToo) {
    MakeView();
    Y32Rect r;
    KyPathDraw(view, r0, &r);
    // r0 stays selected in both, with and without its node: its squares
    // must be redrawn, not just left or drawn twice.
    HostSelect({{r0, 1}, {r1}});
    const Scene a = Now();
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    HostSelect({{r0}, {r2}, {r3, 0}});
    const Scene b = Now();
    ASSERT_NE(a.doc, b.doc);

    Y32Rect changed{5, 5, 6, 6};
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    ExpectScene(a, "after undo");
    EXPECT_TRUE(edit::RectEmpty(changed));  // no highlight came or went
    EXPECT_EQ(PositionOf(kOwner), 0);
    // The record now holds what the undo replaced.
    EXPECT_EQ(JournalOf(kOwner).payloads[0], (std::vector<uint32_t>{0, 2, 3, undo::kNodeTag | 0}));
    EXPECT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 0);

    ASSERT_EQ(KyPathRedo(kOwner, t, view, &changed, dc), 1);
    ExpectScene(b, "after redo");
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    ExpectScene(a, "after a second undo");
    EXPECT_EQ(LengthOf(kOwner), 1);
}

TEST_F(SelectionUndoTest, PickedSegmentComesBackHighlighted) {
    MakeView();
    Y32Rect r;
    KyPathDraw(view, r0, &r);
    HostSelect({{r2, -1, 0}});
    const Scene a = Now();
    int highlighted = 0;
    for (uint8_t byte : a.overlay) highlighted += (byte & 0x40) != 0;
    ASSERT_GT(highlighted, 0);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect2, t), 1);
    HostSelect({{r0}, {r1, 2}});
    const Scene b = Now();

    Y32Rect changed{0, 0, 0, 0};
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    ExpectScene(a, "after undo");
    // The highlight's box was reported: it holds every highlighted pixel.
    ASSERT_FALSE(edit::RectEmpty(changed));
    for (int32_t y = 0; y < h_; ++y)
        for (int32_t x = 0; x < w_; ++x)
            if (view->lpDB[y * w_ + x] & 0x40) {
                EXPECT_TRUE(x >= changed.left && x < changed.right && y >= changed.top && y < changed.bottom);
            }
    ASSERT_EQ(KyPathRedo(kOwner, t, view, &changed, dc), 1);
    ExpectScene(b, "after redo");
}

TEST_F(SelectionUndoTest, EmptySelectionRoundTrip) {
    MakeView();
    HostSelect({});
    const Scene a = Now();
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect3, t), 1);
    HostSelect({{r0}, {r3, 1}});
    const Scene b = Now();
    ASSERT_EQ(KyPathUndo(kOwner, t, view, nullptr, dc), 1);
    ExpectScene(a, "after undo");
    ASSERT_EQ(KyPathRedo(kOwner, t, view, nullptr, dc), 1);
    ExpectScene(b, "after redo");
}

TEST_F(SelectionUndoTest, SameURComparesWithTheSelectionAsItIsNow) {
    HostSelect({{r1}, {r2, 3}});
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 1);
    EXPECT_EQ(LengthOf(kOwner), 1);
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect2), 0);   // another code
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kJoined), 0);    // not a selection code
    HostSelect({{r1}, {r2, 0}});
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 0);   // another node
    HostSelect({{r1}});
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 0);   // a shorter snapshot
    HostSelect({{r1}, {r2, 3}, {r3}});
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 0);   // a longer one

    // Two records, one undone: the record at the position is compared with
    // the live selection, not with the newer record beyond it.
    HostSelect({{r0}});
    const size_t before = LiveBlocks();
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    HostSelect({{r3}});
    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(PositionOf(kOwner), 1);
    HostSelect({{r1}, {r2, 3}});  // what record 1 holds
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 1);
    EXPECT_EQ(LengthOf(kOwner), 2);
    EXPECT_EQ(LiveBlocks(), before + 1);

    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(KyPathSameUR(kOwner, t, undo::kSelect1), 0);  // position 0
}

TEST_F(SelectionUndoTest, StaleSnapshotsRestoreWhatStillExists) {
    MakeView();
    HostSelect({{r0, 3}, {r3, 1}});
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kSelect1, t), 1);
    HostSelect({{r1}});
    // The host changes the document without recording: r0 loses two points
    // and r2, r3 go.
    ASSERT_EQ(KyPathDeleteLinkLastSegment(r0), 1);
    ASSERT_EQ(KyPathDeleteLinkLastSegment(r0), 1);
    KyPath *head = Group().first;
    KyPathDeleteNodeFromList(&head, r3);
    KyPathDeleteNodeFromList(&head, r2);
    ASSERT_EQ(KyPathGetSubpathsNumber(head), 2);

    ASSERT_EQ(KyPathUndo(kOwner, t, view, nullptr, dc), 1);
    EXPECT_TRUE(ListInvariants(Group().first, t));
    EXPECT_EQ(Group().firstSelected, r0);
    EXPECT_EQ(r0->flags & (KPF_SELECTED | KPF_HASSELPOINT), KPF_SELECTED);  // node 3 is gone
    EXPECT_EQ(r1->flags & KPF_SELECTED, 0u);
    EXPECT_TRUE(DcPixels() == FreshNodes());
    // Redo brings back the selection the undo replaced.
    ASSERT_EQ(KyPathRedo(kOwner, t, view, nullptr, dc), 1);
    EXPECT_EQ(Group().firstSelected, r1);
    EXPECT_EQ(r0->flags & KPF_SELECTED, 0u);
    EXPECT_TRUE(DcPixels() == FreshNodes());

    // A snapshot of nothing but records past the end selects nothing.
    const uint32_t past_end[] = {5, undo::kNodeTag | 0, 9};
    undo::RestoreSnapshot(&Group(), past_end, 3, undo::Screen{view, dc, nullptr});
    EXPECT_EQ(Group().firstSelected, nullptr);
    EXPECT_TRUE(ListInvariants(Group().first, t));
    EXPECT_TRUE(DcPixels() == FreshNodes());
    // Indexes out of order: the late one is passed over with its qualifier.
    const uint32_t backwards[] = {1, 0, undo::kNodeTag | 1};
    undo::RestoreSnapshot(&Group(), backwards, 3, undo::Screen{view, dc, nullptr});
    EXPECT_EQ(Group().firstSelected, r1);
    EXPECT_EQ(r0->flags & KPF_SELECTED, 0u);
    EXPECT_EQ(r1->flags & KPF_HASSELPOINT, 0u);
    EXPECT_TRUE(ListInvariants(Group().first, t));
}

TEST_F(SelectionUndoTest, UndoingADuplicateGivesTheSelectionBackToTheSources) {
    MakeView();
    HostSelect({{r1}, {r3}});
    const DocState before = Capture(Group());
    ASSERT_EQ(KyPathSameUR(kOwner, t, undo::kSelect2), 0);  // names the owner
    ASSERT_EQ(BackupDuplicate(undo::kSelect2, t), 1);
    edit::Redraw redraw;
    Y32Rect changed;
    ASSERT_TRUE(edit::DuplicateSelection(nullptr, t, view, redraw, &changed));
    ASSERT_EQ(KyPathGetSubpathsNumber(r0), 6);
    KyPath *copy1 = r3->next, *copy3 = copy1->next;
    ASSERT_EQ(Group().firstSelected, copy1);

    ASSERT_EQ(KyPathUndo(kOwner, t, view, nullptr, nullptr), 1);
    DocState after = Capture(Group());
    ASSERT_EQ(after.records.size(), 6u);
    after.records.resize(4);  // the copies stay, unselected, after r3
    after.records[3].next = -1;
    EXPECT_EQ(after, before);
    EXPECT_EQ(copy1->flags & KPF_SELECTED, 0u);
    EXPECT_EQ(copy3->flags & KPF_SELECTED, 0u);
    EXPECT_TRUE(ListInvariants(Group().first, t));
    ASSERT_EQ(KyPathRedo(kOwner, t, view, nullptr, nullptr), 1);
    EXPECT_EQ(Group().firstSelected, copy1);
    EXPECT_EQ(copy1->selNext, copy3);
    EXPECT_EQ(r1->flags & KPF_SELECTED, 0u);
}

}  // namespace
