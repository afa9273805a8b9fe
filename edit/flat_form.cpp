// edit/flat_form.cpp - writing and reading the flat form of a path chain.
//
// The writer copies each record's header word by word into the 32-bit
// layout, so the same block comes out of a 32-bit and a 64-bit build (up to
// the tags, which are addresses on 32-bit and ordinals on 64-bit: either is
// only a name for a record inside one block). The reader trusts nothing in
// the block: see Read().
#include "edit/flat_form.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "core/path_record.h"
#include "platform/runtime_memory.h"
#include "y32path/core.h"
#include "y32path/edit.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "points are copied as they lie in memory; the block is little-endian");

namespace flat {
namespace {

inline uint32_t Load32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }

// The six links in header order.
constexpr int kLinks = 6;
enum { kPrev, kNext, kGroupPrev, kGroupNext, kSelPrev, kSelNext };
KyPath *KyPath::*const kLinkMember[kLinks] = {&KyPath::prev,      &KyPath::next,    &KyPath::groupPrev,
                                              &KyPath::groupNext, &KyPath::selPrev, &KyPath::selNext};

// Word offsets inside the flat header.
constexpr size_t kAtVersion = 0, kAtLinks = 4, kAtCount = 28, kAtFlags = 32, kAtShape = 36;

// The flags word that records older than 1280 stored for an envelope
// outline; it reads back as the current envelope bits.
constexpr uint32_t kOldEnvelopeFlags = 0x88800000u;
constexpr uint32_t kNewEnvelopeFlags = 0x80100000u;

constexpr uint64_t kMaxFlatSize = INT32_MAX;

// Flat size of a live record: its whole block (spare room included) with
// the header at 40 bytes.
bool FlatRecordSize(const KyPath *r, uint64_t *size) {
    size_t block = mem::PathBlockSize(r);
    if (block < path::kHeaderSize || r->count < 0) return false;
    if (static_cast<uint64_t>(r->count) * path::kPointSize > block - path::kHeaderSize) return false;
    *size = block - path::kHeaderSize + kFlatHeader;
    return true;
}

// The head of the list holding r, or null when r or a record before it is
// not a live record: a stale pointer from the host is refused before
// anything behind it is read.
const KyPath *LiveHead(const KyPath *r) {
    // A cyclic prev chain would never reach a head; a list cannot hold more
    // records than the heap has blocks, and far fewer than this.
    for (uint32_t guard = 0; r && mem::IsLivePathBlock(r) && guard < (1u << 26); ++guard) {
        if (!r->prev) return r;
        r = r->prev;
    }
    return nullptr;
}

KyPath *OutlinePath(const OutlineInfo *info, int slot) {
    return slot == 0 ? info->startArrow : slot == 1 ? info->endArrow : info->dashPath;
}

bool MeasureAt(const KyPath *head, int depth, uint64_t *size);

bool MeasureBlob(const OutlineInfo *info, int depth, uint64_t *size) {
    uint64_t total = kInfoBlobHeader;
    for (int slot = 0; slot < 3; ++slot) {
        KyPath *attached = OutlinePath(info, slot);
        if (!attached) continue;
        uint64_t nested;
        if (!MeasureAt(LiveHead(attached), depth + 1, &nested)) return false;
        total += nested;
        if (total > kMaxFlatSize) return false;
    }
    *size = total;
    return true;
}

bool MeasureAt(const KyPath *head, int depth, uint64_t *size) {
    if (depth > kMaxNesting || !head) return false;
    uint64_t total = 16;  // H, the zero word and the end entry
    // A damaged (cyclic) list still ends here: every record adds at least
    // 48 bytes, so the walk stops once the total passes 2 GB.
    for (const KyPath *r = head; r; r = r->next) {
        uint64_t rec;
        if (!FlatRecordSize(r, &rec)) return false;
        total += 8 + rec;
        if (total > kMaxFlatSize) return false;
    }
    if (const OutlineInfo *info = path::OutlineOf(head)) {
        uint64_t blob;
        if (!MeasureBlob(info, depth, &blob)) return false;
        total += blob;
        if (total > kMaxFlatSize) return false;
    }
    *size = total;
    return true;
}

// Names of the records inside one block.
uint32_t TagFor(const KyPath *r, size_t index) {
#if UINTPTR_MAX == 0xFFFFFFFFu
    (void)index;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(r));
#else
    (void)r;
    return static_cast<uint32_t>(index + 1);
#endif
}

void WriteAt(KyPath *head, uint8_t *out, int depth);

// T, the eighteen words with the nested offsets, the nested blocks.
void WriteBlob(const OutlineInfo *info, uint8_t *out, int depth) {
    uint8_t *words = out + 4;
    const int32_t plain[kInfoWords] = {info->startKey[0], info->startKey[1], 0, info->endKey[0], info->endKey[1], 0,
                                       info->dashStyle,   0,
                                       info->param[0],    info->param[1],    info->param[2],  info->param[3],
                                       info->arrowsOff,   info->extra[0],    info->extra[1],  info->extra[2],
                                       info->extra[3],    info->extra[4]};
    for (size_t w = 0; w < kInfoWords; ++w) Store32(words + 4 * w, static_cast<uint32_t>(plain[w]));
    const size_t path_word[3] = {2, 5, 7};
    uint64_t offset = kInfoWords * 4;  // counted from the first word
    for (int slot = 0; slot < 3; ++slot) {
        KyPath *attached = OutlinePath(info, slot);
        if (!attached) continue;
        KyPath *first = const_cast<KyPath *>(LiveHead(attached));
        uint64_t nested = 0;
        MeasureAt(first, depth + 1, &nested);  // succeeded when the whole was measured
        Store32(words + 4 * path_word[slot], static_cast<uint32_t>(offset));
        WriteAt(first, words + offset, depth + 1);
        offset += nested;
    }
    Store32(out, static_cast<uint32_t>(4 + offset));
}

// Throws std::bad_alloc when the tag table cannot be had.
void WriteAt(KyPath *head, uint8_t *out, int depth) {
    std::vector<std::pair<const KyPath *, uint32_t>> tags;
    size_t n = 0;
    for (KyPath *r = head; r; r = r->next) tags.emplace_back(r, TagFor(r, n++));
    std::vector<std::pair<const KyPath *, uint32_t>> by_address(tags);
    std::sort(by_address.begin(), by_address.end());
    // Links to records outside the list are written as 0: they could not
    // be resolved on reading anyway, and on 64-bit a truncated address
    // could collide with a tag.
    auto tag_of = [&](const KyPath *target) -> uint32_t {
        if (!target) return 0;
        auto it = std::lower_bound(by_address.begin(), by_address.end(),
                                   std::make_pair(target, static_cast<uint32_t>(0)));
        return it != by_address.end() && it->first == target ? it->second : 0;
    };

    const OutlineInfo *info = path::OutlineOf(head);
    uint64_t pos = 8 * n + 16;
    Store32(out, static_cast<uint32_t>(pos));
    size_t k = 0;
    for (KyPath *r = head; r; r = r->next, ++k) {
        uint64_t size = 0;
        FlatRecordSize(r, &size);
        Store32(out + 8 + 8 * k, tags[k].second);
        Store32(out + 12 + 8 * k, static_cast<uint32_t>(size));

        r->version = kVersionFlat;
        uint8_t *rec = out + pos;
        Store32(rec + kAtVersion, static_cast<uint32_t>(r->version));
        for (int l = 0; l < kLinks; ++l) {
            // The groupNext slot of a record with an OutlineInfo holds the
            // info, never a link.
            bool slot_is_info = l == kGroupNext && path::HasOutlineInfo(r);
            Store32(rec + kAtLinks + 4 * l, slot_is_info ? 0 : tag_of(r->*kLinkMember[l]));
        }
        // Only the head's OutlineInfo travels (in the blob); the flag goes
        // with it, so a block never announces a blob it does not hold.
        uint32_t flags = r->flags;
        if (!(k == 0 && info)) flags &= ~KPF_OUTLINEINFO;
        Store32(rec + kAtCount, static_cast<uint32_t>(r->count));
        Store32(rec + kAtFlags, flags);
        Store32(rec + kAtShape, static_cast<uint32_t>(r->shape));
        // Points only: spare room stays zero rather than carrying whatever
        // the heap left there into documents.
        std::memcpy(rec + kFlatHeader, path::Points(r), static_cast<size_t>(r->count) * path::kPointSize);
        pos += size;
    }
    if (info) WriteBlob(info, out + pos, depth);
}

// ---------------------------------------------------------------------------
// Reading.

// Records made so far, freed unless the read succeeds.
struct Pending {
    std::vector<KyPath *> records;
    KyPath *nested[3] = {nullptr, nullptr, nullptr};
    ~Pending() {
        for (KyPath *r : records) mem::PathFree(r);
        for (KyPath *h : nested) KyPathDeletePtr(h, 0);
    }
};

ReadResult ReadAt(const uint8_t *data, size_t size, int depth, KyPath **head_out, size_t *used);

ReadResult ReadBlob(const uint8_t *blob, size_t avail, int depth, Pending &pending, OutlineInfo **info_out,
                    size_t *used) {
    *info_out = nullptr;
    *used = 0;
    if (avail < 4) return ReadResult::kOk;  // the writer left it out
    int32_t t = static_cast<int32_t>(Load32(blob));
    if (t < 72) return ReadResult::kOk;  // no stroke description stored
    // 72 to 75 would put the words past the blob's own end.
    if (static_cast<size_t>(t) < kInfoBlobHeader || static_cast<size_t>(t) > avail) return ReadResult::kMalformed;
    const uint8_t *words = blob + 4;
    const size_t words_len = static_cast<size_t>(t) - 4;
    const size_t path_word[3] = {2, 5, 7};
    // Nested blocks lie in order after the words and do not overlap; that
    // keeps the work linear in the block size (three offsets naming one
    // nested block at every level would otherwise multiply it).
    size_t next_free = kInfoWords * 4;
    for (int slot = 0; slot < 3; ++slot) {
        uint32_t offset = Load32(words + 4 * path_word[slot]);
        if (offset == 0) continue;
        if (offset < next_free || offset >= words_len) return ReadResult::kMalformed;
        size_t nested_used = 0;
        ReadResult r = ReadAt(words + offset, words_len - offset, depth + 1, &pending.nested[slot], &nested_used);
        if (r != ReadResult::kOk) return r;
        next_free = offset + nested_used;
    }
    auto *info = plat::ObjNew<OutlineInfo>();
    if (!info) return ReadResult::kNoMemory;
    int32_t w[kInfoWords];
    for (size_t i = 0; i < kInfoWords; ++i) w[i] = static_cast<int32_t>(Load32(words + 4 * i));
    info->startKey[0] = w[0];
    info->startKey[1] = w[1];
    info->startArrow = pending.nested[0];
    info->endKey[0] = w[3];
    info->endKey[1] = w[4];
    info->endArrow = pending.nested[1];
    info->dashStyle = w[6];
    info->dashPath = pending.nested[2];
    for (int i = 0; i < 4; ++i) info->param[i] = w[8 + i];
    info->arrowsOff = w[12];
    for (int i = 0; i < 5; ++i) info->extra[i] = w[13 + i];
    for (KyPath *&h : pending.nested) h = nullptr;  // the info owns them now
    *info_out = info;
    *used = static_cast<size_t>(t);
    return ReadResult::kOk;
}

ReadResult ReadAt(const uint8_t *data, size_t size, int depth, KyPath **head_out, size_t *used) {
    *head_out = nullptr;
    *used = 0;
    if (depth > kMaxNesting || size < 16) return ReadResult::kMalformed;

    // The record table: entries until a zero tag, which must come before
    // the end of the span, and H must point just past it.
    size_t n = 0;
    for (;; ++n) {
        size_t at = 8 + 8 * n;
        if (at + 8 > size) return ReadResult::kMalformed;
        if (Load32(data + at) == 0) break;
    }
    if (Load32(data) != 8 * n + 16) return ReadResult::kMalformed;

    // Tags must be distinct: a link names exactly one record.
    std::vector<std::pair<uint32_t, uint32_t>> by_tag(n);  // (tag, index)
    for (size_t k = 0; k < n; ++k) by_tag[k] = {Load32(data + 8 + 8 * k), static_cast<uint32_t>(k)};
    std::sort(by_tag.begin(), by_tag.end());
    for (size_t k = 1; k < n; ++k)
        if (by_tag[k].first == by_tag[k - 1].first) return ReadResult::kMalformed;

    Pending pending;
    pending.records.reserve(n);
    std::vector<uint32_t> forward(2 * n);  // per record: written groupNext, selNext
    uint64_t pos = 8 * n + 16;
    for (size_t k = 0; k < n; ++k) {
        uint64_t rec_size = Load32(data + 12 + 8 * k);
        if (pos + rec_size > size || rec_size < 4) return ReadResult::kMalformed;
        const uint8_t *rec = data + pos;
        int32_t version = static_cast<int32_t>(Load32(rec + kAtVersion));
        // Any other first word is the prev link of the older header, which
        // has no version and no shape.
        bool current = version == kVersionFlat || version == kVersionNewer;
        size_t header = current ? kFlatHeader : kOldFlatHeader;
        if (rec_size < header) return ReadResult::kMalformed;
        const uint8_t *links = current ? rec + kAtLinks : rec;
        int32_t count = static_cast<int32_t>(Load32(links + 24));
        uint32_t flags = Load32(links + 28);
        int32_t shape = current ? static_cast<int32_t>(Load32(rec + kAtShape)) : 0;
        size_t body = static_cast<size_t>(rec_size) - header;  // points and spare room
        if (count < 0 || static_cast<uint64_t>(count) * path::kPointSize > body) return ReadResult::kMalformed;

        auto *r = static_cast<KyPath *>(mem::PathAlloc(path::kHeaderSize + body));
        if (!r) return ReadResult::kNoMemory;
        pending.records.push_back(r);
        r->version = current ? version : kVersionFlat;
        r->count = count;
        r->flags = flags;
        r->shape = shape;
        std::memcpy(path::Points(r), rec + header, body);
        forward[2 * k] = Load32(links + 4 * kGroupNext);
        forward[2 * k + 1] = Load32(links + 4 * kSelNext);
        if (r->version != kVersionNewer) {
            if (r->flags == kOldEnvelopeFlags) r->flags = kNewEnvelopeFlags;
            CheckPathsBeforeQXE5(r);
        }
        pos += rec_size;
    }

    std::vector<KyPath *> &recs = pending.records;
    for (size_t k = 1; k < n; ++k) {
        recs[k - 1]->next = recs[k];
        recs[k]->prev = recs[k - 1];
    }
    // Group chains and the selection list run forward in table order. A
    // tag no record carries pointed outside the flattened list and is
    // dropped; one that names this record or an earlier one would close a
    // cycle, and two records naming one successor would break the mirror
    // of the backward links: such blocks are refused.
    auto link_forward = [&](size_t k, uint32_t tag, KyPath *KyPath::*fwd, KyPath *KyPath::*back) {
        if (tag == 0) return true;
        auto it = std::lower_bound(by_tag.begin(), by_tag.end(), std::make_pair(tag, static_cast<uint32_t>(0)));
        if (it == by_tag.end() || it->first != tag) return true;
        size_t j = it->second;
        if (j <= k || recs[j]->*back) return false;
        recs[k]->*fwd = recs[j];
        recs[j]->*back = recs[k];
        return true;
    };
    for (size_t k = 0; k < n; ++k) {
        if (!path::HasOutlineInfo(recs[k]) &&
            !link_forward(k, forward[2 * k], &KyPath::groupNext, &KyPath::groupPrev))
            return ReadResult::kMalformed;
        if (!link_forward(k, forward[2 * k + 1], &KyPath::selNext, &KyPath::selPrev)) return ReadResult::kMalformed;
    }

    size_t extent = static_cast<size_t>(pos);
    if (n > 0 && path::HasOutlineInfo(recs[0])) {
        OutlineInfo *info = nullptr;
        size_t blob = 0;
        ReadResult r = ReadBlob(data + extent, size - extent, depth, pending, &info, &blob);
        if (r != ReadResult::kOk) return r;
        if (info) {
            recs[0]->groupNext = reinterpret_cast<KyPath *>(info);
            extent += blob;
        } else {
            recs[0]->flags &= ~KPF_OUTLINEINFO;  // the flag promises an info
        }
    }
    // Only the head may hold an OutlineInfo; elsewhere the flag would make
    // the (empty) groupNext slot read as one.
    for (size_t k = 1; k < n; ++k) recs[k]->flags &= ~KPF_OUTLINEINFO;

    *head_out = n > 0 ? recs[0] : nullptr;
    *used = extent;
    recs.clear();  // handed over
    return ReadResult::kOk;
}

}  // namespace

bool Measure(const KyPath *head, uint64_t *size) { return MeasureAt(head, 0, size); }

KyPath *Head(KyPath *p) { return const_cast<KyPath *>(LiveHead(p)); }

void Write(KyPath *head, uint8_t *out, size_t size) {
    (void)size;
    WriteAt(head, out, 0);
}

ReadResult Read(const uint8_t *data, size_t size, KyPath **head, size_t *used) {
    *head = nullptr;
    *used = 0;
    if (!data) return ReadResult::kMalformed;
    try {
        return ReadAt(data, size, 0, head, used);
    } catch (const std::bad_alloc &) {
        *head = nullptr;
        return ReadResult::kNoMemory;
    }
}

}  // namespace flat

Y32_BEGIN_C

int32_t KyPathFlatten(KyPath *p, uint32_t *size, HGLOBAL *block) {
    if (block) *block = nullptr;
    if (!p) return 0;
    KyPath *head = flat::Head(p);
    uint64_t total = 0;
    if (!head || !flat::Measure(head, &total)) return 0;
    if (size) *size = static_cast<uint32_t>(total);
    if (!block) return 1;
    HGLOBAL g = GlobalAlloc(GPTR, static_cast<size_t>(total));
    if (!g) return 0;
    try {
        flat::Write(head, static_cast<uint8_t *>(g), static_cast<size_t>(total));
    } catch (const std::bad_alloc &) {
        GlobalFree(g);
        return 0;
    }
    *block = g;
    return 1;
}

int32_t KyPathUnFlatten(HGLOBAL *block, KyPath **p) {
    if (p) *p = nullptr;
    if (!block || !*block || !p) return 0;
    // The size the block really has, not anything written inside it.
    size_t size = GlobalSize(*block);
    if (size == 0) return 0;
    KyPath *head = nullptr;
    size_t used = 0;
    if (flat::Read(static_cast<const uint8_t *>(*block), size, &head, &used) != flat::ReadResult::kOk) return 0;
    *p = head;
    return 1;
}

Y32_END_C
