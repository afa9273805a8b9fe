// edit/undo/journal.cpp - undo records, journals and the owner table.
//
// The owner table is library-wide state, unguarded like everything else
// (one host thread calls the library). It lives in static storage; only
// records, envelope copies and group links are on the private heap, and
// the detach hook releases them while that heap still exists.
#include "edit/undo/journal.h"

#include <cstring>

#include "core/memory.h"

namespace undo {

namespace {

struct Slot {
    uint32_t owner;
    Journal journal;
};

struct State {
    Slot slots[kOwnerSlots] = {};
    int32_t used = 0;
    Journal current;
    uint32_t current_owner = 0;
};

State g_state;

int32_t FindSlot(uint32_t owner) {
    for (int32_t i = 0; i < g_state.used; ++i)
        if (g_state.slots[i].owner == owner) return i;
    return -1;
}

void RemoveSlot(int32_t i) {
    for (int32_t k = i; k + 1 < g_state.used; ++k) g_state.slots[k] = g_state.slots[k + 1];
    --g_state.used;
    g_state.slots[g_state.used] = Slot{};
}

void *EnvelopeCopyOf(const Record *r) {
    void *copy = nullptr;
    std::memcpy(&copy, Words(r) + 2, sizeof copy);
    return copy;
}

}  // namespace

Record *NewRecord(int32_t code, uint32_t n) {
    auto *r = static_cast<Record *>(mem::PathAlloc(sizeof(Record) + size_t{n} * sizeof(uint32_t)));
    if (!r) return nullptr;
    r->code = code;
    r->n = n;
    return r;
}

void FreeRecord(Record *r) {
    if (!r) return;
    if (r->code == kEnvelope && r->n >= kEnvelopeWords) {
        if (void *copy = EnvelopeCopyOf(r)) mem::PathFree(copy);
    }
    if (IsGroupingCode(r->code)) DropGroupLinks(r);
    mem::PathFree(r);
}

int32_t Length(const Journal &j) {
    int32_t n = 0;
    for (const Record *r = j.head; r; r = r->next) ++n;
    return n;
}

Record *At(const Journal &j, int32_t k) {
    if (k < 1) return nullptr;
    Record *r = j.head;
    for (int32_t i = 1; r && i < k; ++i) r = r->next;
    return r;
}

void Append(Journal &j, Record *r) {
    r->next = nullptr;
    if (!j.head) {
        j.head = r;
        j.position = 1;
        return;
    }
    Record *tail = j.head;
    while (tail->next) tail = tail->next;
    tail->next = r;
    // Records always go to the tail; the position moves by one whatever it
    // was. A host that wants the redo branch gone removes it first.
    ++j.position;
}

void Replace(Journal &j, int32_t k, Record *with) {
    Record *prev = k > 1 ? At(j, k - 1) : nullptr;
    Record *old = prev ? prev->next : j.head;
    if (!old) return;
    with->next = old->next;
    if (prev) prev->next = with;
    else j.head = with;
    FreeRecord(old);
}

void RemoveOne(Journal &j, bool oldest) {
    if (!j.head) {
        j.position = 0;
        return;
    }
    if (oldest) {
        Record *r = j.head;
        j.head = r->next;
        FreeRecord(r);
        // A position already at 0 stays there: nothing done was removed.
        if (j.position > 0) --j.position;
        return;
    }
    Record *prev = nullptr, *r = j.head;
    while (r->next) {
        prev = r;
        r = r->next;
    }
    if (prev) prev->next = nullptr;
    else j.head = nullptr;
    FreeRecord(r);
    const int32_t length = Length(j);
    if (j.position > length) j.position = length;
}

void FreeAll(Journal &j) {
    while (j.head) {
        Record *r = j.head;
        j.head = r->next;
        FreeRecord(r);
    }
    j.position = 0;
}

bool Load(uint32_t owner) {
    if (owner == 0) return false;
    // Records are on the private heap: make sure they go before it does.
    mem::AtDetach(&FreeEverything);
    const int32_t i = FindSlot(owner);
    g_state.current = i >= 0 ? g_state.slots[i].journal : Journal{};
    g_state.current_owner = owner;
    return true;
}

void WriteBack() {
    const uint32_t owner = g_state.current_owner;
    if (owner == 0) return;
    Journal &cur = g_state.current;
    if (!cur.head) cur.position = 0;
    const int32_t i = FindSlot(owner);
    if (i >= 0) {
        if (cur.head) g_state.slots[i].journal = cur;
        else RemoveSlot(i);
        return;
    }
    if (!cur.head) return;  // an empty journal needs no slot
    if (g_state.used < kOwnerSlots) {
        g_state.slots[g_state.used++] = Slot{owner, cur};
        return;
    }
    // Every slot is taken: the journal is not kept, and its records must
    // not be left behind unreachable.
    FreeAll(cur);
}

Journal &Current() { return g_state.current; }

bool CurrentIsKeepable() {
    if (g_state.current_owner == 0) return false;
    return FindSlot(g_state.current_owner) >= 0 || g_state.used < kOwnerSlots;
}

uint32_t CurrentOwner() { return g_state.current_owner; }

int32_t OwnersInUse() { return g_state.used; }

const Journal *FindJournal(uint32_t owner) {
    const int32_t i = owner ? FindSlot(owner) : -1;
    return i >= 0 ? &g_state.slots[i].journal : nullptr;
}

void FreeOwner(uint32_t owner) {
    const int32_t i = owner ? FindSlot(owner) : -1;
    if (i < 0) return;
    // The current journal shares its records with the slot it came from.
    if (g_state.current_owner == owner) g_state.current = Journal{};
    FreeAll(g_state.slots[i].journal);
    RemoveSlot(i);
}

void FreeEverything() {
    for (int32_t i = 0; i < g_state.used; ++i) FreeAll(g_state.slots[i].journal);
    // The current journal is either one of the slots' (just freed) or empty:
    // writing back never leaves records only here.
    g_state = State{};
}

}  // namespace undo
