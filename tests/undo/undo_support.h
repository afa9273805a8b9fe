// tests/undo/undo_support.h - a document to record, undo and redo on.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "core/path_table.h"
#include "edit/edit_support.h"
#include "edit/redraw.h"
#include "edit/undo/journal.h"
#include "y32Path.h"

namespace undo_test {

using edit_test::P;
using edit_test::PointsOf;

// Everything undo may touch in a table list, with links written as list
// positions (-1 for none) so that two states compare by value.
struct RecordState {
    int32_t count;
    uint32_t flags;
    int32_t shape;
    std::vector<P> points;
    int prev, next, group_prev, group_next, sel_prev, sel_next;
    bool operator==(const RecordState &o) const {
        return count == o.count && flags == o.flags && shape == o.shape && points == o.points && prev == o.prev &&
               next == o.next && group_prev == o.group_prev && group_next == o.group_next &&
               sel_prev == o.sel_prev && sel_next == o.sel_next;
    }
};

struct DocState {
    std::vector<RecordState> records;
    int first_selected;
    bool operator==(const DocState &o) const { return records == o.records && first_selected == o.first_selected; }
    bool operator!=(const DocState &o) const { return !(*this == o); }
};

inline std::ostream &operator<<(std::ostream &os, const DocState &d) {
    os << "firstSelected " << d.first_selected << "\n";
    for (size_t i = 0; i < d.records.size(); ++i) {
        const RecordState &r = d.records[i];
        os << "  [" << i << "] flags 0x" << std::hex << r.flags << std::dec << " links " << r.prev << "/" << r.next
           << " g " << r.group_prev << "/" << r.group_next << " s " << r.sel_prev << "/" << r.sel_next << " pts";
        for (const P &p : r.points) os << " " << p;
        os << "\n";
    }
    return os;
}

inline DocState Capture(const PathGroup &g) {
    std::map<const KyPath *, int> at;
    int i = 0;
    for (const KyPath *r = g.first; r; r = r->next) at[r] = i++;
    auto pos = [&](const KyPath *r) { return r ? (at.count(r) ? at[r] : -2) : -1; };
    DocState d;
    for (const KyPath *r = g.first; r; r = r->next) {
        d.records.push_back(RecordState{r->count, r->flags, r->shape, PointsOf(r), pos(r->prev), pos(r->next),
                                        pos(r->groupPrev), pos(path::GroupNext(r)), pos(r->selPrev),
                                        pos(r->selNext)});
    }
    d.first_selected = pos(g.firstSelected);
    return d;
}

// The shared checker allows an envelope outline's corners to show as
// selected nodes without KPF_HASSELPOINT.
using testing_support::ListInvariants;

// The journal of one owner as plain values: codes and payloads in order,
// the group links kept beside join and disjoin records (length first;
// empty for a record without), and the position. Empty for an owner
// without a journal.
struct JournalState {
    std::vector<int32_t> codes;
    std::vector<std::vector<uint32_t>> payloads;
    std::vector<std::vector<uint32_t>> links;
    int32_t position = 0;
    bool operator==(const JournalState &o) const {
        return codes == o.codes && payloads == o.payloads && links == o.links && position == o.position;
    }
};

inline JournalState JournalOf(uint32_t owner) {
    JournalState s;
    const undo::Journal *j = undo::FindJournal(owner);
    if (!j) return s;
    for (const undo::Record *r = j->head; r; r = r->next) {
        s.codes.push_back(r->code);
        s.payloads.emplace_back(undo::Words(r), undo::Words(r) + r->n);
        uint32_t n = 0;
        const uint32_t *l = undo::GroupLinksOf(r, &n);
        s.links.push_back(l ? std::vector<uint32_t>{n} : std::vector<uint32_t>{});
        if (l) s.links.back().insert(s.links.back().end(), l, l + n);
    }
    s.position = j->position;
    return s;
}

inline int32_t LengthOf(uint32_t owner) { return static_cast<int32_t>(JournalOf(owner).codes.size()); }
inline int32_t PositionOf(uint32_t owner) { return JournalOf(owner).position; }
using LP = std::pair<int32_t, int32_t>;
inline LP LengthAndPosition(uint32_t owner) { return {LengthOf(owner), PositionOf(owner)}; }

// A table with a view on its overlay and a device context for the nodes.
// Journals left at the end are dropped before the leak check, so a test
// that fails half way does not report its own records as leaks; the tests
// that are about freeing check the heap themselves.
class UndoTest : public edit_test::TableFixture {
  protected:
    static constexpr uint32_t kOwner = 0x1234;

    void SetUp() override {
        edit_test::TableFixture::SetUp();
        undo::FreeEverything();
    }
    void TearDown() override {
        undo::FreeEverything();
        if (view) KyPathDeleteCoordStruct(view);
        if (dc) y32DeleteMemoryDC(dc);
        edit_test::TableFixture::TearDown();
    }
    void MakeView(int32_t w = 200, int32_t h = 200) {
        ASSERT_EQ(KyPathCoordStruct(0, 0, w, h, 0, 0, 1.0, t, &view), 1);
        ASSERT_NE(view->lpDB, nullptr);
        dc = y32CreateMemoryDC(w, h, 24);
        ASSERT_NE(dc, nullptr);
        w_ = w;
        h_ = h;
    }
    std::vector<uint8_t> Overlay() const { return std::vector<uint8_t>(view->lpDB, view->lpDB + w_ * h_); }
    std::vector<uint8_t> Pixels(HDC of) const {
        Y32DcBits bits;
        EXPECT_EQ(y32GetMemoryDCBits(of, &bits), 1);
        const uint8_t *p = static_cast<const uint8_t *>(bits.bits);
        return std::vector<uint8_t>(p, p + static_cast<size_t>(bits.strideBytes) * h_);
    }
    std::vector<uint8_t> DcPixels() const { return Pixels(dc); }
    // What the window shows when exactly the selected records' nodes are
    // drawn on a clean context.
    std::vector<uint8_t> FreshNodes() {
        HDC clean = y32CreateMemoryDC(w_, h_, 24);
        for (KyPath *r = Group().first; r; r = r->next)
            if (r->flags & KPF_SELECTED) KyPathDrawNodes(clean, r, view);
        std::vector<uint8_t> out = Pixels(clean);
        y32DeleteMemoryDC(clean);
        return out;
    }
    // The overlay a full redraw of the current list gives.
    std::vector<uint8_t> FreshOverlay() {
        Y32Rect r;
        KyPathDraw(view, Group().first, &r);
        return Overlay();
    }
    int32_t Undo(uint32_t owner = kOwner) { return KyPathUndo(owner, t, nullptr, nullptr, nullptr); }
    int32_t Redo(uint32_t owner = kOwner) { return KyPathRedo(owner, t, nullptr, nullptr, nullptr); }
    // Undo gives `before` and redo `after` again, `rounds` times over.
    void ExpectUndoRedo(const DocState &before, const DocState &after, int rounds = 1) {
        for (int i = 0; i < rounds; ++i) {
            ASSERT_EQ(Undo(), 1);
            EXPECT_EQ(Capture(Group()), before) << "undo " << i;
            ASSERT_EQ(Redo(), 1);
            EXPECT_EQ(Capture(Group()), after) << "redo " << i;
        }
    }

    CoordStruct *view = nullptr;
    HDC dc = nullptr;
    int32_t w_ = 0, h_ = 0;
};

}  // namespace undo_test
