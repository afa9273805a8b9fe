// edit/undo/journal.h - the undo and redo journal.
//
// The host records an action before it performs it and later steps back
// and forward over what it recorded. A record does not copy paths: it keeps
// just enough state for its kind of action (a selection snapshot, the place
// of a moved node, an envelope's control points; join and disjoin records
// have no payload and keep the list's group links in a block beside them).
// Applying a record exchanges: the current state is captured into
// a record of the same kind, the stored state is restored, and the captured
// record takes the stored one's place, so one record serves both directions.
//
// Ownership and lifetime:
//  - Every owner (a nonzero 32-bit key the host picks, one per document)
//    has one journal, a singly linked list of records from the oldest
//    (head) to the newest (tail), and a position p: the number of records
//    in the done state. Undo reverts record p (counting from 1), redo
//    re-applies record p + 1. 0 <= p <= length always holds.
//  - The library-wide owner table has kOwnerSlots slots, used from the
//    first one on without gaps. A journal exists while it has records; the
//    slot of a journal that becomes empty is given up. A new owner finds a
//    slot or keeps nothing.
//  - Records, envelope copies and group links are private-heap blocks.
//    They are freed when removed from the journal, when an exchange
//    replaces them, when their owner's journal is dropped and, for
//    everything still recorded, at library detach (before the heap goes).
//  - The owner-keyed calls bind the "current journal" to their owner. The
//    three companion recorders (BackupSelectMove and friends) have no owner
//    argument and record into the journal of the owner the last
//    owner-keyed call named.
#pragma once

#include <cstddef>
#include <cstdint>

#include "y32path/gdi.h"
#include "y32path/table.h"
#include "y32path/view.h"

namespace undo {

// Action codes: the host's command numbers.
enum Code : int32_t {
    kSelect1 = 18001,
    kSelect2 = 18002,
    kSelect3 = 18003,
    kNodeMove = 18006,
    kJoined = 18007,    // undo takes the join back, redo makes it again
    kDisjoined = 18008, // likewise for a disjoin
    kEnvelope = 18016,
    kSelect26 = 18026,
    kSelect27 = 18027,
};

// The five codes whose records hold a selection snapshot (what they stand
// for in the host is the host's business; all five behave alike).
inline bool IsSelectionCode(int32_t code) {
    return code == kSelect1 || code == kSelect2 || code == kSelect3 || code == kSelect26 || code == kSelect27;
}

// Every code undo and redo act on. The companion recorders take codes the
// host picks outside these (their records only move the position); a
// companion record under one of these would be applied as something it
// does not hold, so they refuse them.
inline bool IsJournalCode(int32_t code) {
    return IsSelectionCode(code) || code == kNodeMove || code == kJoined || code == kDisjoined || code == kEnvelope;
}

constexpr int32_t kOwnerSlots = 20;

// One record: a header and n 32-bit payload words right after it.
struct Record {
    int32_t code;
    Record *next;  // the next newer record, null at the tail
    uint32_t n;    // payload words
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(Record) == 12, "32-bit undo record header is 12 bytes");
#endif
static_assert(sizeof(Record) % alignof(void *) == 0, "payload words that hold pointers stay aligned");

inline uint32_t *Words(Record *r) { return reinterpret_cast<uint32_t *>(r + 1); }
inline const uint32_t *Words(const Record *r) { return reinterpret_cast<const uint32_t *>(r + 1); }

// Words a pointer takes in a payload: 1 on a 32-bit target, 2 on 64-bit.
constexpr uint32_t kPointerWords = sizeof(void *) / sizeof(uint32_t);

// Payload layouts.
//  Selection snapshot, for each record of the selection list in order: the
//  record's index in the table list, then optionally one qualifier for the
//  first point, in point order, with a selected node (kNodeTag | index) or
//  the picked segment's start (kSegmentTag | index), whichever comes first.
//  The tags sit above every index a block can hold, so neither a long table
//  list nor a record of many points can be misread.
constexpr uint32_t kNodeTag = 0x80000000u;
constexpr uint32_t kSegmentTag = 0x40000000u;
constexpr uint32_t kIndexMask = 0x3FFFFFFFu;
//  Node move: x, y of the selected record's first point, the index of its
//  first selected node or -1, the index of its first picked segment or -1
//  (at most one of the two is set).
constexpr uint32_t kNodeMoveWords = 4;
//  Envelope: the kind (kEnvelopeBilinear or kEnvelopeBezier), the outline's
//  variant flag (KPF_ENVELOPE1 or KPF_ENVELOPE2) and a pointer to a private
//  heap copy of the corners (32 bytes) or the net (64 bytes).
constexpr uint32_t kEnvelopeBilinear = 4;
constexpr uint32_t kEnvelopeBezier = 8;
constexpr uint32_t kEnvelopeWords = 2 + kPointerWords;
//  Companion records (BackupSelectMove: x, y; BackupSelected: a record
//  pointer). Their codes are the host's and nothing reads them back.

struct Journal {
    Record *head = nullptr;
    int32_t position = 0;
};

// ---- Records ------------------------------------------------------------

// A zero-filled record for n payload words, or null.
Record *NewRecord(int32_t code, uint32_t n);
// Frees a record and, for an envelope record, its control-point copy.
void FreeRecord(Record *r);
int32_t Length(const Journal &j);
// Record k counted from 1 at the head, or null.
Record *At(const Journal &j, int32_t k);
// Links r after the tail: position 1 for an empty journal, else one more.
void Append(Journal &j, Record *r);
// Puts `with` in the place of record k (it takes k's successor) and frees
// the old record.
void Replace(Journal &j, int32_t k, Record *with);
// Removes the head (oldest) or the tail and fixes the position.
void RemoveOne(Journal &j, bool oldest);
// Frees every record.
void FreeAll(Journal &j);

// ---- The owner table and the current journal ----------------------------

// Makes the owner's journal current (an owner without a slot gets an empty
// one) and binds it to the owner. False for owner 0.
bool Load(uint32_t owner);
// Stores the current journal back into its owner's slot: a known owner's
// slot is updated (and given up when the journal became empty); a new owner
// with records takes the next free slot. A journal that cannot be kept (all
// slots taken) is freed rather than lost.
void WriteBack();
// The current journal, and whether it is bound to an owner that has or can
// get a slot (false before any owner-keyed call, and for a new owner when
// every slot is taken).
Journal &Current();
bool CurrentIsKeepable();
uint32_t CurrentOwner();

// Number of owners holding a slot, and the journal of one owner (null when
// it has none). For the tests and for diagnostics.
int32_t OwnersInUse();
const Journal *FindJournal(uint32_t owner);
// Drops the owner's journal with everything in it and gives up its slot.
void FreeOwner(uint32_t owner);
// Drops every journal; the detach hook, also used by tests to start afresh.
void FreeEverything();

// ---- Capturing state -----------------------------------------------------

// A selection snapshot of the group under `code`, or null when the record
// cannot be allocated. An empty selection gives n = 0.
Record *TakeSnapshot(const PathGroup *g, int32_t code);
// Whether a snapshot taken now would equal r's payload word for word.
bool SnapshotEquals(const PathGroup *g, const Record *r);
// The node-move record of the group's selected path; null without one or
// when the record cannot be allocated.
Record *TakeNodeMove(const PathGroup *g, int32_t code);
// The envelope outline attached at the end of the group's list (flags
// 0x100000 or 0x200000 and enough points to read back), or null.
KyPath *EnvelopeOutline(const PathGroup *g);
// An envelope record of the outline's current envelope, or null.
Record *TakeEnvelope(const KyPath *outline, int32_t code);

// ---- Group links beside join and disjoin records ------------------------
//
// A join or disjoin record keeps its empty payload (n = 0). The group
// structure of the list it was taken on is held beside it, in a private
// heap block keyed by the record and freed with it (FreeRecord): for every
// record of the table list, the list index of its group successor. Undo
// and redo exchange that structure like any other state, so undoing a
// join that changed nothing changes nothing, and undoing one that pulled
// records out of other groups puts them back there.

inline bool IsGroupingCode(int32_t code) { return code == kJoined || code == kDisjoined; }
// A join or disjoin record with the current links of the group's list
// beside it, or null when either block cannot be allocated.
Record *TakeGroupLinks(const PathGroup *g, int32_t code);
// Frees the links held beside r, if any.
void DropGroupLinks(const Record *r);
// The links held beside r: the list length they were taken on and the
// successor index of each record (kNoLink for none); null without links.
constexpr uint32_t kNoLink = 0xFFFFFFFFu;
const uint32_t *GroupLinksOf(const Record *r, uint32_t *length);
// Puts the links held beside record k onto the group's list and keeps the
// current ones beside the record that replaces it. False, with nothing
// changed, when the record holds no links, the list no longer has the
// length they were taken on, a link would overwrite a stroke description,
// or the exchange record cannot be made.
bool ExchangeGroupLinks(Journal &j, int32_t k, PathGroup *g);

// ---- Applying a record ----------------------------------------------------

// What applying draws on and reports into. Every member may be null: a
// missing view or device context draws nothing.
struct Screen {
    CoordStruct *view;
    HDC dc;
    Y32Rect *changed;  // union of the window areas that changed
};

// Applies record k of the current journal to the table's current group,
// exchanging the stored state with the current one (so one call serves
// undo and redo alike). False, with document and journal unchanged, when
// there is nothing the record can act on or its exchange record cannot be
// made.
bool Apply(int32_t k, PathTable *t, const Screen &s);

// Restores the snapshot held by `words` into the group (no journal work).
void RestoreSnapshot(PathGroup *g, const uint32_t *words, uint32_t n, const Screen &s);

}  // namespace undo
