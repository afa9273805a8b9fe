// Node moves, joins and envelopes: undo restores the exact records, redo
// puts the edit back, and the overlay ends as a full redraw would leave it.
#include "core/path_record.h"
#include "deform/envelope.h"
#include "undo/undo_support.h"

namespace {

using testing_support::MakePath;
using namespace undo_test;

class NodeMoveUndoTest : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        r0 = MakePath({{PT_MOVETO, 10.5, 10}, {PT_LINETO, 50, 10}, {PT_LINETO, 50, 50.25}, {PT_LINETO, 10, 50}});
        r1 = MakePath({{PT_MOVETO, 70, 10}, {PT_LINETO, 110, 10}, {PT_LINETO, 90, 40}});
        testing_support::LinkList({r0, r1});
        Adopt(r0);
    }
    void SelectNode(KyPath *r, int32_t i) {
        PathPoint &pt = path::Points(r)[i];
        pt.type = static_cast<uint16_t>(pt.type | PT_SELECTED);
        r->flags |= KPF_SELECTED | KPF_HASSELPOINT;
    }
    void MoveSelection(FIXED dx, FIXED dy) { ASSERT_EQ(KyPathMovePathsByPtfx(Group().firstSelected, dx, dy), 1); }
    KyPath *r0 = nullptr, *r1 = nullptr;
};

TEST_F(NodeMoveUndoTest, UndoMovesBackAndRestoresTheNode) {
    MakeView();
    Y32Rect r;
    KyPathDraw(view, r0, &r);
    SelectNode(r0, 2);
    ASSERT_EQ(KyPathAssignSelectedPath(t, r0), 1);
    const DocState a = Capture(Group());
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kNodeMove, t), 1);
    EXPECT_EQ(JournalOf(kOwner).payloads[0],
              (std::vector<uint32_t>{uint32_t(DbToFix(10.5)), uint32_t(DbToFix(10)), 2, 0xFFFFFFFFu}));
    // The host drags: the path moves and the node under the mouse changes.
    MoveSelection(DbToFix(12.5), DbToFix(-3.25));
    path::Points(r0)[2].type &= 0x7FFF;
    path::Points(r0)[3].type |= PT_SELECTED;
    const DocState b = Capture(Group());

    Y32Rect changed{0, 0, 0, 0};
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), a);
    EXPECT_FALSE(edit::RectEmpty(changed));
    std::vector<uint8_t> got = Overlay();
    EXPECT_TRUE(got == FreshOverlay());
    ASSERT_EQ(KyPathRedo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), b);
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), a);
    EXPECT_TRUE(ListInvariants(r0, t));
}

TEST_F(NodeMoveUndoTest, PickedSegmentAndTheWholeSelectionFollow) {
    // Two selected records move together; the first has a picked segment.
    r0->flags |= KPF_SELECTED | KPF_HASSELSEGMENT;
    path::Points(r0)[1].type |= PT_SEGSELECTED;
    edit_test::LinkSelection({r0, r1});
    ASSERT_EQ(KyPathAssignSelectedPath(t, r0), 1);
    const DocState a = Capture(Group());
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kNodeMove, t), 1);
    const std::vector<uint32_t> payload = JournalOf(kOwner).payloads[0];
    EXPECT_EQ(std::vector<uint32_t>(payload.begin() + 2, payload.end()), (std::vector<uint32_t>{0xFFFFFFFFu, 1u}));
    MoveSelection(DbToFix(-40.0), DbToFix(7.75));
    path::Points(r0)[1].type &= 0xF7FF;
    path::Points(r0)[2].type |= PT_SEGSELECTED;
    ExpectUndoRedo(a, Capture(Group()));
}

TEST_F(NodeMoveUndoTest, NothingSelectedRecordsAndAppliesNothing) {
    EXPECT_EQ(KyPathBackupAction(kOwner, undo::kNodeMove, t), 0);
    EXPECT_EQ(undo::FindJournal(kOwner), nullptr);

    SelectNode(r0, 3);
    ASSERT_EQ(KyPathAssignSelectedPath(t, r0), 1);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kNodeMove, t), 1);
    MoveSelection(DbToFix(5), DbToFix(5));
    PathClearSelection(r0);
    KyPathAssignSelectedPath(t, nullptr);
    const DocState now = Capture(Group());
    const JournalState j = JournalOf(kOwner);
    // Nothing to move back: the record keeps its state and its place.
    EXPECT_EQ(Undo(), 0);
    EXPECT_EQ(Capture(Group()), now);
    EXPECT_EQ(JournalOf(kOwner), j);
    // A recorded node index the record no longer has is dropped.
    r0->flags |= KPF_SELECTED;
    ASSERT_EQ(KyPathAssignSelectedPath(t, r0), 1);
    ASSERT_EQ(KyPathDeleteLinkLastSegment(r0), 1);
    ASSERT_EQ(KyPathDeleteLinkLastSegment(r0), 1);
    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(r0->flags & KPF_HASSELPOINT, 0u);  // node 3 of 2 points is not kept
    EXPECT_TRUE(ListInvariants(r0, t));
}

// Join and disjoin on four records, with the groups and the selection each
// case starts from. Undo must give back exactly the groups before the
// action (also where the action changed nothing, or reached records outside
// the selection), and redo the groups after it.
TEST_F(UndoTest, JoinAndDisjoinUndoRestoreTheGroupsExactly) {
    using Set = std::vector<int>;
    struct Case {
        const char *what;
        int32_t code;
        std::vector<Set> groups;
        Set selected;
    } const cases[] = {
        {"join of two paths", undo::kJoined, {}, {0, 1}},
        {"join of one chain already", undo::kJoined, {{0, 1}}, {0, 1}},
        {"join that takes a member from another group", undo::kJoined, {{1, 2, 3}}, {0, 2}},
        {"join across two groups", undo::kJoined, {{0, 1}, {2, 3}}, {1, 2}},
        {"disjoin of a group", undo::kDisjoined, {{0, 1, 3}}, {0, 1, 3}},
        {"disjoin of a member inside a group", undo::kDisjoined, {{0, 1, 2}}, {1}},
        {"disjoin of ungrouped paths", undo::kDisjoined, {}, {0, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<KyPath *> r;
        for (int i = 0; i < 4; ++i) r.push_back(testing_support::Rect(10 + 30 * i, 10, 30 + 30 * i, 30));
        testing_support::LinkList({r[0], r[1], r[2], r[3]});
        for (const Set &g : c.groups)
            for (size_t k = 1; k < g.size(); ++k) {
                r[g[k - 1]]->groupNext = r[g[k]];
                r[g[k]]->groupPrev = r[g[k - 1]];
            }
        for (size_t k = 0; k < c.selected.size(); ++k) {
            KyPath *m = r[c.selected[k]];
            m->flags |= KPF_SELECTED;
            if (k > 0) {
                m->selPrev = r[c.selected[k - 1]];
                m->selPrev->selNext = m;
            }
        }
        Adopt(r[0]);
        ASSERT_EQ(KyPathAssignSelectedPath(t, r[c.selected[0]]), 1);
        ASSERT_TRUE(ListInvariants(r[0], t));
        const DocState before = Capture(Group());

        ASSERT_EQ(KyPathBackupAction(kOwner, c.code, t), 1);
        EXPECT_EQ(JournalOf(kOwner).payloads.back(), std::vector<uint32_t>{});  // nothing in the record itself
        KyPath *sel = Group().firstSelected;
        ASSERT_EQ(c.code == undo::kJoined ? KyPathJoin(sel) : KyPathDisjoin(sel), 1);
        ASSERT_TRUE(ListInvariants(r[0], t));
        ExpectUndoRedo(before, Capture(Group()), 2);
        EXPECT_TRUE(ListInvariants(r[0], t));
        undo::FreeEverything();
        KyPathTblDelete(t);
        t = nullptr;
        ASSERT_EQ(KyPathNew(&t), 1);
    }
}

TEST_F(NodeMoveUndoTest, GroupUndoRefusesAListThatNoLongerFits) {
    edit_test::LinkSelection({r0, r1});
    ASSERT_EQ(KyPathAssignSelectedPath(t, r0), 1);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kJoined, t), 1);
    ASSERT_EQ(KyPathJoin(r0), 1);
    uint32_t length = 0;
    const uint32_t *links = undo::GroupLinksOf(undo::FindJournal(kOwner)->head, &length);
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(links[0], undo::kNoLink);

    // A record the journal never saw joins the list: the kept indexes would
    // name other records, so nothing is applied.
    KyPath *extra = testing_support::Rect(0, 60, 10, 70);
    r1->next = extra;
    extra->prev = r1;
    const DocState now = Capture(Group());
    const JournalState j = JournalOf(kOwner);
    const size_t blocks = LiveBlocks();
    EXPECT_EQ(Undo(), 0);
    EXPECT_EQ(Capture(Group()), now);
    EXPECT_EQ(JournalOf(kOwner), j);
    EXPECT_EQ(LiveBlocks(), blocks);

    // A stroke description now in the slot a kept link would overwrite.
    r1->next = nullptr;
    KyPathDeletePtr(extra, 0);
    ASSERT_EQ(Undo(), 1);  // apart
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(1, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 3, 0, 0, &info), 1);
    ASSERT_EQ(KyPathSetOutlineInfo(r0, info), 1);
    const DocState stroked = Capture(Group());
    EXPECT_EQ(Redo(), 0);
    EXPECT_EQ(Capture(Group()), stroked);
    EXPECT_EQ(path::OutlineOf(r0), info);
    EXPECT_TRUE(ListInvariants(r0, t));
}

// A closed path whose box is exactly 0..64 on both axes, with fractions in
// its coordinates. Boxes and corners are powers of two, so mapping between
// them is exact in doubles and a round trip must give the same bits.
class EnvelopeUndoTest : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        p = MakePath({{PT_MOVETO, 0, 0},
                      {PT_LINETO, 64, 0},
                      {PT_LINETO, 64, 40.5},
                      {PT_BEZIERTO, 50.25, 64},
                      {PT_BEZIERTO, 20.75, 64},
                      {PT_BEZIERTO, 10, 33.125},
                      {PT_LINETO, 0, 64},
                      {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
        Adopt(p);
    }
    static EnvelopeCorners Square(double side) {
        const FIXED s = DbToFix(side);
        return EnvelopeCorners{{{0, 0}, {s, 0}, {0, s}, {s, s}}};
    }
    // What the host does for a bilinear envelope: map, attach, select the
    // outline.
    void HostBilinear(const EnvelopeCorners &c) {
        ASSERT_EQ(KyPathBiLinear(p, &c), 1);
        ASSERT_EQ(KyPathAddBiLinearEnvelope(p, &c), 1);
        ASSERT_EQ(KyPathAssignSelectedPathBlindly(t, p), 1);
    }
    void HostNet(const EnvelopeNet &n, bool vertical, bool map) {
        if (map) {
            ASSERT_EQ(vertical ? KyPathBiCubicV(p, &n, 0) : KyPathBiCubic(p, &n, 0), 1);
        }
        ASSERT_EQ(vertical ? KyPathAddBiBezierEnvelopeV(p, &n) : KyPathAddBiBezierEnvelope(p, &n), 1);
        ASSERT_EQ(KyPathAssignSelectedPathBlindly(t, p), 1);
    }
    KyPath *Outline() { return PathLast(p); }
    KyPath *p = nullptr;
};

TEST_F(EnvelopeUndoTest, BilinearRoundTripIsBitExact) {
    MakeView();
    HostBilinear(Square(64));
    const DocState a = Capture(Group());
    ASSERT_EQ(Group().firstSelected, Outline());
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    const JournalState j = JournalOf(kOwner);
    ASSERT_EQ(j.payloads[0].size(), undo::kEnvelopeWords);
    EXPECT_EQ(j.payloads[0][0], undo::kEnvelopeBilinear);
    EXPECT_EQ(j.payloads[0][1], KPF_ENVELOPE1);

    HostBilinear(Square(128));
    const DocState b = Capture(Group());
    ASSERT_NE(a, b);
    Y32Rect r;
    KyPathDraw(view, p, &r);

    Y32Rect changed{0, 0, 0, 0};
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), a);
    EXPECT_EQ(Group().firstSelected, Outline());
    // Both the old and the new extent were reported, in window pixels.
    EXPECT_LE(changed.left, 0);
    EXPECT_GE(changed.right, 128);
    EXPECT_GE(changed.bottom, 128);
    std::vector<uint8_t> got = Overlay();
    EXPECT_TRUE(got == FreshOverlay());

    ASSERT_EQ(KyPathRedo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), b);
    ASSERT_EQ(KyPathUndo(kOwner, t, view, &changed, dc), 1);
    EXPECT_EQ(Capture(Group()), a);
    EXPECT_TRUE(ListInvariants(p, t));
}

// The wrap type follows from the outline's flags, count and points, which
// the captured states compare.
TEST_F(EnvelopeUndoTest, KindAndVariantComeBackWithTheEnvelope) {
    HostBilinear(Square(64));
    const DocState bilinear = Capture(Group());
    ASSERT_EQ(KyPathGetEnvelopeWrapType(p), ENVELOPE_BILINEAR);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    // A plain rectangle net: attached without mapping; the 5-point outline
    // grows to 9 points.
    const EnvelopeNet rect{{{0, 0}, {DbToFix(16), 0}, {DbToFix(48), 0}, {DbToFix(64), 0}},
                           {{0, DbToFix(64)}, {DbToFix(16), DbToFix(64)}, {DbToFix(48), DbToFix(64)}, {DbToFix(64), DbToFix(64)}}};
    HostNet(rect, false, false);
    const DocState horizontal = Capture(Group());
    ASSERT_EQ(KyPathGetEnvelopeWrapType(p), ENVELOPE_BIBEZIER_RECT);
    ExpectUndoRedo(bilinear, horizontal);

    // The same net as a V envelope: the variant is restored, not guessed
    // from whatever is attached at the time.
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    const EnvelopeNet vrect{{{0, 0}, {0, DbToFix(16)}, {0, DbToFix(48)}, {0, DbToFix(64)}},
                            {{DbToFix(64), 0}, {DbToFix(64), DbToFix(16)}, {DbToFix(64), DbToFix(48)}, {DbToFix(64), DbToFix(64)}}};
    HostNet(vrect, true, false);
    ASSERT_EQ(KyPathGetEnvelopeWrapType(p), ENVELOPE_BIBEZIER_V_RECT);
    ExpectUndoRedo(horizontal, Capture(Group()));
    EXPECT_EQ(Outline()->flags, KPF_ENVELOPE_VERTICAL);
    EXPECT_TRUE(ListInvariants(p, t));
}

TEST_F(EnvelopeUndoTest, DeformedNetsAreMappedThroughTheirOwnVariant) {
    const EnvelopeNet bent{{{0, 0}, {DbToFix(-10), DbToFix(20)}, {DbToFix(12), DbToFix(44)}, {0, DbToFix(64)}},
                           {{DbToFix(64), 0}, {DbToFix(80), DbToFix(16)}, {DbToFix(60), DbToFix(40)}, {DbToFix(70), DbToFix(64)}}};
    HostNet(bent, true, true);
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    const EnvelopeNet wavy{{{0, 0}, {DbToFix(20), DbToFix(-8)}, {DbToFix(44), DbToFix(8)}, {DbToFix(64), 0}},
                           {{0, DbToFix(64)}, {DbToFix(20), DbToFix(70)}, {DbToFix(44), DbToFix(58)}, {DbToFix(64), DbToFix(64)}}};
    HostNet(wavy, false, true);
    // What the undo must do to the path: map it through the kept V net.
    KyPath *expected = nullptr;
    ASSERT_EQ(KyPathDuplicatePtr(p, &expected), 1);
    ASSERT_EQ(KyPathBiCubicV(expected, &bent, 0), 1);
    const std::vector<P> want = PointsOf(expected);
    KyPathDeletePtr(expected, 0);

    ASSERT_EQ(Undo(), 1);
    EXPECT_EQ(PointsOf(p), want);
    EnvelopeNet back;
    ASSERT_EQ(KyPathGetBiBezierEnvelopeV(Outline(), &back), 1);
    EXPECT_EQ(std::memcmp(&back, &bent, sizeof back), 0);
    EXPECT_EQ(Outline()->flags, KPF_ENVELOPE_VERTICAL);
    // The record now holds the horizontal net it replaced.
    const JournalState j = JournalOf(kOwner);
    EXPECT_EQ(j.payloads[0][0], undo::kEnvelopeBezier);
    EXPECT_EQ(j.payloads[0][1], KPF_ENVELOPE1);
}

TEST_F(EnvelopeUndoTest, WithoutAnAttachedOutlineNothingIsRecordedOrApplied) {
    EXPECT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 0);
    EXPECT_EQ(undo::FindJournal(kOwner), nullptr);

    HostBilinear(Square(64));
    ASSERT_EQ(KyPathBackupAction(kOwner, undo::kEnvelope, t), 1);
    HostBilinear(Square(128));
    // The host takes the outline away without recording it.
    KyPath *head = p;
    KyPathDeleteNodeFromList(&head, Outline());
    KyPathAssignSelectedPath(t, nullptr);
    const DocState now = Capture(Group());
    const JournalState j = JournalOf(kOwner);
    EXPECT_EQ(Undo(), 0);
    EXPECT_EQ(Capture(Group()), now);
    EXPECT_EQ(JournalOf(kOwner), j);
}

}  // namespace
