// edit/undo/undo_exports.cpp - the journal's exported entry points.
//
// Owner-keyed entries load the owner's journal, work on it and write it
// back. The three companion recorders have no owner argument: they record
// into the journal of the owner the last owner-keyed call named, and write
// it back to that owner too, so that their records are counted in its
// position and freed with it (a record kept only in the working journal
// would be lost at the next load).
#include <cstring>

#include "core/path_record.h"
#include "core/path_table.h"
#include "edit/undo/journal.h"
#include "y32path/edit.h"

namespace {

// Appends a record made for the current journal and stores the journal. A
// null record (no memory, or nothing to capture) records nothing.
int32_t Keep(undo::Record *r) {
    if (!r) return 0;
    undo::Append(undo::Current(), r);
    undo::WriteBack();
    return 1;
}

// The current group of a table passed through an untyped argument.
PathGroup *GroupOf(void *table) { return table ? table::CurrentGroup(static_cast<PathTable *>(table)) : nullptr; }

int32_t Step(uint32_t owner, PathTable *table, CoordStruct *view, Y32Rect *changed, HDC dc, bool undoing) {
    if (!owner || !table) return 0;
    Y32Rect scratch{0, 0, 0, 0};
    if (!changed) changed = &scratch;
    *changed = Y32Rect{0, 0, 0, 0};
    undo::Load(owner);
    undo::Journal &j = undo::Current();
    if (!j.head) {
        j.position = 0;
        return 0;
    }
    const int32_t k = undoing ? j.position : j.position + 1;
    if (k < 1 || k > undo::Length(j)) return 0;
    if (!undo::Apply(k, table, undo::Screen{view, dc, changed})) return 0;
    j.position += undoing ? -1 : 1;
    undo::WriteBack();
    return 1;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathBackupAction(uint32_t owner, int32_t code, PathTable *table) {
    PathGroup *g = table::CurrentGroup(table);
    if (!owner || !g) return 0;
    undo::Load(owner);
    if (!undo::IsJournalCode(code)) return 1;  // nothing to record for other actions
    // A new owner when every slot is taken keeps nothing: say so before
    // anything is allocated.
    if (!undo::CurrentIsKeepable()) return 0;
    undo::Record *r = nullptr;
    if (undo::IsSelectionCode(code)) {
        r = undo::TakeSnapshot(g, code);
    } else if (code == undo::kNodeMove) {
        r = undo::TakeNodeMove(g, code);  // null too when nothing is selected
    } else if (code == undo::kEnvelope) {
        if (KyPath *outline = undo::EnvelopeOutline(g)) r = undo::TakeEnvelope(outline, code);
    } else {
        r = undo::TakeGroupLinks(g, code);  // join and disjoin
    }
    return Keep(r);
}

int32_t KyPathUndo(uint32_t owner, PathTable *table, CoordStruct *view, Y32Rect *changed, HDC dc) {
    return Step(owner, table, view, changed, dc, true);
}

int32_t KyPathRedo(uint32_t owner, PathTable *table, CoordStruct *view, Y32Rect *changed, HDC dc) {
    return Step(owner, table, view, changed, dc, false);
}

int32_t KyPathSameUR(uint32_t owner, PathTable *table, int32_t code) {
    PathGroup *g = table::CurrentGroup(table);
    if (!owner || !g) return 0;
    undo::Load(owner);
    const undo::Journal &j = undo::Current();
    if (!j.head || j.position == 0 || !undo::IsSelectionCode(code)) return 0;
    const undo::Record *r = undo::At(j, j.position);
    // Compared with a snapshot computed on the fly, whatever lies beyond the
    // position: nothing is appended, so nothing has to be taken back.
    return r && r->code == code && undo::SnapshotEquals(g, r) ? 1 : 0;
}

int32_t KyPathURFree(uint32_t owner, int32_t reserved, int32_t oldest) {
    (void)reserved;
    if (!owner) return 0;
    undo::Load(owner);
    undo::RemoveOne(undo::Current(), oldest != 0);
    undo::WriteBack();
    return 1;
}

int32_t KyPathGetURAction(void) {
    undo::Journal &j = undo::Current();
    // One step further, never past the newest record: undo and redo trust
    // the position to name a record.
    if (j.position < undo::Length(j)) ++j.position;
    undo::WriteBack();
    return 1;
}

int32_t KyPathKyPathGetURInfo(int32_t *a, int32_t *b) {
    if (a) *a = 0;
    if (b) *b = 0;
    return 1;
}

int32_t KyPathSetUndoLimit(int32_t limit) {
    (void)limit;  // the host trims its journals with KyPathURFree
    return 1;
}

Y32_END_C

int BackupSelectMove(int code, void *table) {
    PathGroup *g = GroupOf(table);
    if (!g || undo::IsJournalCode(code) || !undo::CurrentIsKeepable()) return 0;
    undo::Record *r = undo::NewRecord(code, 2);
    if (!r) return 0;
    // Nothing reads this payload back; without a selected path it stays 0.
    if (const KyPath *sel = g->firstSelected; sel && sel->count > 0) {
        const PathPoint &p0 = path::Points(sel)[0];
        undo::Words(r)[0] = static_cast<uint32_t>(+p0.x);
        undo::Words(r)[1] = static_cast<uint32_t>(+p0.y);
    }
    return Keep(r);
}

int BackupSelected(int code, void *table) {
    PathGroup *g = GroupOf(table);
    if (!g || undo::IsJournalCode(code) || !undo::CurrentIsKeepable()) return 0;
    undo::Record *r = undo::NewRecord(code, undo::kPointerWords);
    if (!r) return 0;
    KyPath *sel = g->firstSelected;
    std::memcpy(undo::Words(r), &sel, sizeof sel);
    return Keep(r);
}

int BackupDuplicate(int code, void *table) {
    PathGroup *g = GroupOf(table);
    // A snapshot under a selection code is restored by undo; under a code
    // outside the journal's it only holds a place. Under the move, join or
    // envelope codes it would be read as a record it is not.
    const bool usable = undo::IsSelectionCode(code) || !undo::IsJournalCode(code);
    if (!g || !usable || !undo::CurrentIsKeepable()) return 0;
    return Keep(undo::TakeSnapshot(g, code));
}
