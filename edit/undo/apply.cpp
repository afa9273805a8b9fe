// edit/undo/apply.cpp - applying one record: the exchanges by kind.
//
// Every exchange makes its one allocation (the record that captures the
// current state) before it changes anything, so running out of memory
// leaves the document, the overlay and the journal as they were. Where an
// exchange has nothing to act on (no selected path to move back, no
// envelope outline to swap), it refuses instead of moving the position:
// otherwise the record would keep its old state while the journal treated
// it as exchanged, and the opposite step would apply the wrong one.
#include <cstring>

#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "deform/envelope.h"
#include "edit/redraw.h"
#include "edit/undo/journal.h"
#include "y32path/deform.h"
#include "y32path/display.h"
#include "y32path/edit.h"

namespace undo {

namespace {

constexpr uint32_t kNoIndex = 0xFFFFFFFFu;  // -1 in a payload word
constexpr uint32_t kEnvelopeVariants = KPF_ENVELOPE1 | KPF_ENVELOPE2;
// An outline of at most this many points holds corners, else a net.
constexpr int32_t kMaxBilinearOutline = 7;

uint32_t Word(FIXED f) { return static_cast<uint32_t>(f); }
FIXED Fixed(uint32_t w) { return static_cast<FIXED>(w); }

void AddChanged(const Screen &s, const Y32Rect &r) {
    if (s.changed) *s.changed = edit::UnionRect(*s.changed, r);
}

// ---- Node move --------------------------------------------------------------

bool ExchangeNodeMove(Journal &j, int32_t k, PathGroup *g, const Screen &s) {
    Record *stored = At(j, k);
    KyPath *sel = g->firstSelected;
    if (!sel || sel->count < 1 || stored->n < kNodeMoveWords) return false;
    Record *now = TakeNodeMove(g, stored->code);
    if (!now) return false;

    const uint32_t *w = Words(stored);
    const FIXED kept_x = Fixed(w[0]), kept_y = Fixed(w[1]);
    const uint32_t kept_node = w[2], kept_segment = w[3];

    PathPoint *pts = path::Points(sel);
    for (int32_t i = 0; i < sel->count; ++i) pts[i].type &= static_cast<uint16_t>(~(PT_SELECTED | PT_SEGSELECTED));
    sel->flags &= ~(KPF_HASSELPOINT | KPF_HASSELSEGMENT);
    // Indexes from another state of the record may no longer fit it.
    if (kept_node != kNoIndex) {
        if (kept_node < static_cast<uint32_t>(sel->count)) {
            pts[kept_node].type = static_cast<uint16_t>(pts[kept_node].type | PT_SELECTED);
            sel->flags |= KPF_HASSELPOINT;
        }
    } else if (kept_segment != kNoIndex && kept_segment + 1 < static_cast<uint32_t>(sel->count)) {
        pts[kept_segment].type = static_cast<uint16_t>(pts[kept_segment].type | PT_SEGSELECTED);
        sel->flags |= KPF_HASSELSEGMENT;
    }

    const FIXED now_x = pts[0].x, now_y = pts[0].y;
    const uint64_t offset = PtfxSub(kept_x, kept_y, now_x, now_y);
    const FIXED dx = static_cast<FIXED>(static_cast<uint32_t>(offset));
    const FIXED dy = static_cast<FIXED>(static_cast<uint32_t>(offset >> 32));

    Y32Rect hidden{0, 0, 0, 0}, drawn{0, 0, 0, 0};
    const bool drawing = s.view != nullptr;
    if (drawing) KyPathHide(s.view, sel, &hidden);
    KyPathMovePathsByPtfx(sel, dx, dy);  // the whole selection moves with it
    if (drawing) {
        KyPathDraw(s.view, sel, &drawn);
        AddChanged(s, drawn);
        AddChanged(s, hidden);
    }
    Replace(j, k, now);
    return true;
}

// ---- Envelope -----------------------------------------------------------------

struct StoredEnvelope {
    uint32_t kind;
    uint32_t variant;
    void *block;
};

StoredEnvelope ReadStored(const Record *r) {
    StoredEnvelope e{Words(r)[0], Words(r)[1], nullptr};
    std::memcpy(&e.block, Words(r) + 2, sizeof e.block);
    return e;
}

// Puts the envelope onto the chain the group's first record heads: the
// outline first (the only step that may allocate, and one that changes
// nothing when it fails), then the points. The outline is no member of the
// group chain, so the order does not change what the mapping does.
bool ApplyEnvelope(KyPath *first, const StoredEnvelope &e) {
    const bool vertical = e.variant == KPF_ENVELOPE2;
    if (e.kind == kEnvelopeBilinear) {
        const auto *corners = static_cast<const EnvelopeCorners *>(e.block);
        if (!env::AttachCorners(first, *corners, vertical)) return false;
        KyPathBiLinear(first, corners);
        return true;
    }
    const auto *net = static_cast<const EnvelopeNet *>(e.block);
    if (!env::AttachNet(first, *net, vertical)) return false;
    // A net that is still the plain rectangle leaves the points where they
    // are; mapping through it would only add rounding.
    if (!env::IsRectangularNet(vertical, *net)) {
        if (vertical) KyPathBiCubicV(first, net, 1);
        else KyPathBiCubic(first, net, 1);
    }
    return true;
}

bool ExchangeEnvelope(Journal &j, int32_t k, PathGroup *g, const Screen &s) {
    Record *stored = At(j, k);
    KyPath *first = g->first;
    KyPath *outline = EnvelopeOutline(g);
    if (!outline || stored->n < kEnvelopeWords) return false;
    const StoredEnvelope kept = ReadStored(stored);
    if (!kept.block || (kept.kind != kEnvelopeBilinear && kept.kind != kEnvelopeBezier)) return false;
    Record *now = TakeEnvelope(outline, stored->code);
    if (!now) return false;

    // Window boxes of the whole list before and after: the outline and the
    // paths it shapes both move, and the boxes are in window coordinates
    // whatever the zoom and scroll.
    Y32Rect before{0, 0, 0, 0}, after{0, 0, 0, 0}, drawn{0, 0, 0, 0};
    if (s.view) KyPathHide(s.view, first, &before);
    if (!ApplyEnvelope(first, kept)) {
        if (s.view) KyPathDraw(s.view, first, &drawn);  // what the hide wiped
        FreeRecord(now);
        return false;
    }
    // Attaching deselects the list and may move a grown outline; the
    // outline is what stays selected.
    g->firstSelected = table::FirstFlaggedSelected(first);
    if (s.view) {
        KyPathHide(s.view, first, &after);
        KyPathDraw(s.view, first, &drawn);
        AddChanged(s, before);
        AddChanged(s, after);
    }
    Replace(j, k, now);  // frees the stored record and its copy
    return true;
}

}  // namespace

Record *TakeNodeMove(const PathGroup *g, int32_t code) {
    const KyPath *sel = g->firstSelected;
    if (!sel || sel->count < 1) return nullptr;
    Record *r = NewRecord(code, kNodeMoveWords);
    if (!r) return nullptr;
    const PathPoint *pts = path::Points(sel);
    uint32_t *w = Words(r);
    w[0] = Word(pts[0].x);
    w[1] = Word(pts[0].y);
    w[2] = kNoIndex;
    w[3] = kNoIndex;
    const bool has_node = (sel->flags & KPF_HASSELPOINT) != 0;
    const bool has_segment = (sel->flags & KPF_HASSELSEGMENT) != 0;
    for (int32_t i = 0; i < sel->count; ++i) {
        if (has_node && (pts[i].type & PT_SELECTED)) {
            w[2] = static_cast<uint32_t>(i);
            break;
        }
    }
    if (w[2] == kNoIndex && has_segment) {
        for (int32_t i = 0; i < sel->count; ++i) {
            if (pts[i].type & PT_SEGSELECTED) {
                w[3] = static_cast<uint32_t>(i);
                break;
            }
        }
    }
    return r;
}

KyPath *EnvelopeOutline(const PathGroup *g) {
    KyPath *first = g->first;
    if (!first) return nullptr;
    KyPath *tail = PathLast(first);
    if (tail == first || !(tail->flags & kEnvelopeVariants) || (tail->flags & (KPF_ENVELOPE3 | KPF_LASTMARK)))
        return nullptr;
    const bool bilinear = tail->count <= kMaxBilinearOutline;
    const int32_t need = bilinear ? env::kBilinearOutlinePoints : env::kBezierOutlinePoints;
    return tail->count >= need ? tail : nullptr;
}

Record *TakeEnvelope(const KyPath *outline, int32_t code) {
    const bool bilinear = outline->count <= kMaxBilinearOutline;
    void *block = mem::PathAlloc(bilinear ? sizeof(EnvelopeCorners) : sizeof(EnvelopeNet));
    if (!block) return nullptr;
    const bool read = bilinear ? env::ReadCorners(outline, static_cast<EnvelopeCorners *>(block))
                               : env::ReadNet(outline, static_cast<EnvelopeNet *>(block));
    Record *r = read ? NewRecord(code, kEnvelopeWords) : nullptr;
    if (!r) {
        mem::PathFree(block);
        return nullptr;
    }
    uint32_t *w = Words(r);
    w[0] = bilinear ? kEnvelopeBilinear : kEnvelopeBezier;
    w[1] = (outline->flags & KPF_ENVELOPE2) ? KPF_ENVELOPE2 : KPF_ENVELOPE1;
    std::memcpy(w + 2, &block, sizeof block);
    return r;
}

bool Apply(int32_t k, PathTable *t, const Screen &s) {
    Journal &j = Current();
    Record *r = At(j, k);
    PathGroup *g = table::CurrentGroup(t);
    if (!r || !g) return false;
    const int32_t code = r->code;
    if (IsSelectionCode(code)) {
        if (!g->first) return false;
        Record *now = TakeSnapshot(g, code);
        if (!now) return false;
        RestoreSnapshot(g, Words(r), r->n, s);
        Replace(j, k, now);
        return true;
    }
    switch (code) {
        case kNodeMove: return ExchangeNodeMove(j, k, g, s);
        case kJoined:
        case kDisjoined:
            // The links kept beside the record are the structure before the
            // action (or before the last exchange), so one exchange serves
            // both directions, as for every other kind.
            return ExchangeGroupLinks(j, k, g);
        case kEnvelope: return ExchangeEnvelope(j, k, g, s);
        default:
            // The companions' records: only the position moves over them.
            return true;
    }
}

}  // namespace undo
