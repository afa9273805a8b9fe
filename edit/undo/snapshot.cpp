// edit/undo/snapshot.cpp - selection snapshots: taking, comparing, restoring.
//
// A snapshot names the records of the selection list by their index in the
// table list (the selection list runs in table order, so the indexes rise)
// and keeps, for a record with node or segment selection, the first marked
// point. Restoring walks the table list once with a cursor, so a snapshot
// of k records over a list of n costs O(n + k) and allocates nothing.
//
// What the window shows is kept in step: every record whose selection
// changes has its exclusive-or node squares erased before and drawn after,
// and a picked segment's highlight goes off before its mark is cleared.
#include "core/path_record.h"
#include "display/outline_draw.h"
#include "edit/redraw.h"
#include "edit/undo/journal.h"
#include "y32path/display.h"

namespace undo {

namespace {

constexpr uint32_t kPointMarks = KPF_HASSELPOINT | KPF_HASSELSEGMENT;

// Calls emit(word) for every word of the group's snapshot, in order.
// Records of the selection list that are not in the group's table list
// (which the list invariants rule out) are left out rather than named by a
// wrong index; the walk is bounded by the list length so a damaged,
// circular selection list cannot hold it forever.
template <class Emit>
void ForEachSnapshotWord(const PathGroup *g, Emit &&emit) {
    const KyPath *first = g->first;
    if (!first || !g->firstSelected) return;
    uint32_t length = 0;
    for (const KyPath *r = first; r; r = r->next) ++length;

    const KyPath *cursor = first;
    uint32_t cursor_index = 0;
    uint32_t visited = 0;
    for (const KyPath *r = g->firstSelected; r && visited < length; r = r->selNext, ++visited) {
        // Forward from the last record found; from the head again only when
        // the list was out of order.
        const KyPath *at = cursor;
        uint32_t index = cursor_index;
        while (at && at != r) {
            at = at->next;
            ++index;
        }
        if (!at) {
            for (at = first, index = 0; at && at != r; at = at->next) ++index;
            if (!at) continue;
        }
        cursor = at;
        cursor_index = index;
        if (index > kIndexMask) continue;
        emit(index);
        if (!(r->flags & kPointMarks)) continue;
        const PathPoint *pts = path::Points(r);
        for (int32_t k = 0; k < r->count; ++k) {
            const uint16_t type = pts[k].type;
            if (type & PT_SELECTED) {
                emit(kNodeTag | static_cast<uint32_t>(k));
                break;
            }
            if (type & PT_SEGSELECTED) {
                emit(kSegmentTag | static_cast<uint32_t>(k));
                break;
            }
        }
    }
}

void AddChanged(const Screen &s, const Y32Rect &r) {
    if (s.changed) *s.changed = edit::UnionRect(*s.changed, r);
}

// Node squares are exclusive-or: the same call draws and erases them.
void ToggleNodes(const Screen &s, KyPath *r) {
    if (s.dc && s.view) KyPathDrawNodes(s.dc, r, s.view);
}

void ClearPointMarks(KyPath *r) {
    PathPoint *pts = path::Points(r);
    for (int32_t k = 0; k < r->count; ++k) pts[k].type &= static_cast<uint16_t>(~(PT_SELECTED | PT_SEGSELECTED));
    r->flags &= ~kPointMarks;
}

// Takes the picked segment off: highlight first, then the marks.
void UnpickSegment(const Screen &s, KyPath *r) {
    if (!(r->flags & KPF_HASSELSEGMENT)) return;
    Y32Rect touched{0, 0, 0, 0};
    if (s.view && outline::DrawRecord(s.view, r, overlay::kUnhighlight, &touched)) AddChanged(s, touched);
    PathPoint *pts = path::Points(r);
    for (int32_t k = 0; k < r->count; ++k) pts[k].type &= static_cast<uint16_t>(~PT_SEGSELECTED);
    r->flags &= ~KPF_HASSELSEGMENT;
}

// Picks one segment of a selected record without node or segment
// selection. The index of the last point names segment 0 (the closing
// segment's start repeats point 0); anything outside the record is
// ignored.
void PickSegment(const Screen &s, KyPath *r, uint32_t index) {
    if (!(r->flags & KPF_SELECTED) || (r->flags & kPointMarks) || r->count < 2) return;
    if (index > static_cast<uint32_t>(r->count - 1)) return;
    if (index == static_cast<uint32_t>(r->count - 1)) index = 0;
    PathPoint &start = path::Points(r)[index];
    start.type = static_cast<uint16_t>(start.type | PT_SEGSELECTED);
    r->flags |= KPF_HASSELSEGMENT;
    Y32Rect touched{0, 0, 0, 0};
    if (s.view && outline::DrawRecord(s.view, r, overlay::kHighlight, &touched)) AddChanged(s, touched);
}

void SelectNode(KyPath *r, uint32_t index) {
    if (index >= static_cast<uint32_t>(r->count)) return;
    PathPoint &pt = path::Points(r)[index];
    pt.type = static_cast<uint16_t>(pt.type | PT_SELECTED);
    r->flags |= KPF_SELECTED | KPF_HASSELPOINT;
}

// A selected record leaves the selection: nodes off the window, marks and
// flags cleared. Its selection links were cut before the restore began.
void Deselect(const Screen &s, KyPath *r) {
    if (!(r->flags & KPF_SELECTED)) return;
    ToggleNodes(s, r);
    PathDeselectOne(r);
}

}  // namespace

Record *TakeSnapshot(const PathGroup *g, int32_t code) {
    uint32_t n = 0;
    ForEachSnapshotWord(g, [&](uint32_t) { ++n; });
    Record *r = NewRecord(code, n);
    if (!r) return nullptr;
    uint32_t *w = Words(r);
    uint32_t i = 0;
    ForEachSnapshotWord(g, [&](uint32_t word) {
        if (i < n) w[i++] = word;
    });
    return r;
}

bool SnapshotEquals(const PathGroup *g, const Record *r) {
    const uint32_t *w = Words(r);
    uint32_t i = 0;
    bool same = true;
    ForEachSnapshotWord(g, [&](uint32_t word) {
        if (i >= r->n || w[i] != word) same = false;
        ++i;
    });
    return same && i == r->n;
}

void RestoreSnapshot(PathGroup *g, const uint32_t *words, uint32_t n, const Screen &s) {
    KyPath *first = g->first;
    if (!first) return;
    // Highlights go off while the marks that say where they are still exist.
    for (KyPath *r = first; r; r = r->next) UnpickSegment(s, r);
    // The selection list is rebuilt from scratch: cutting every link first
    // means deselecting one record never relinks its old neighbours.
    for (KyPath *r = first; r; r = r->next) r->selPrev = r->selNext = nullptr;

    KyPath *cursor = first;  // first record not yet settled
    uint32_t cursor_index = 0;
    KyPath *open = nullptr;  // the record whose words are being read
    KyPath *restored_first = nullptr, *restored_last = nullptr;

    auto finish = [&]() {
        if (!open) return;
        ToggleNodes(s, open);
        open->selPrev = restored_last;
        if (restored_last) restored_last->selNext = open;
        else restored_first = open;
        restored_last = open;
        open = nullptr;
    };

    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t w = words[i];
        if (w & kNodeTag) {
            if (open) SelectNode(open, w & kIndexMask);
            continue;
        }
        if (w & kSegmentTag) {
            if (open) PickSegment(s, open, w & kIndexMask);
            continue;
        }
        finish();
        // Indexes rise; one that does not (a snapshot the host's later edits
        // made stale) is passed over with its qualifiers.
        if (w < cursor_index) continue;
        while (cursor && cursor_index < w) {
            Deselect(s, cursor);
            cursor = cursor->next;
            ++cursor_index;
        }
        if (!cursor) continue;  // past the end of the list
        open = cursor;
        cursor = cursor->next;
        ++cursor_index;
        if (open->flags & KPF_SELECTED) ToggleNodes(s, open);  // its old nodes
        ClearPointMarks(open);
        open->flags |= KPF_SELECTED;
    }
    finish();
    for (; cursor; cursor = cursor->next) Deselect(s, cursor);
    g->firstSelected = restored_first;
}

}  // namespace undo
