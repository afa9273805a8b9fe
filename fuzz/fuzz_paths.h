// fuzz/fuzz_paths.h - records made from fuzz input, and the checks the path
// targets share: a table list whose group and selection links are sound
// (the calls under test are entitled to that), point types and coordinates
// taken from the input, a snapshot to prove an input list was not changed,
// and a link check for lists a call returns.
#pragma once

#include <cstring>
#include <vector>

#include "core/memory.h"
#include "core/path_record.h"
#include "fuzz_input.h"
#include "platform/debug_output.h"
#include "platform/heap.h"
#include "y32path/core.h"

namespace fuzz {

// For LLVMFuzzerInitialize: the library set up once per process, its debug
// output silenced (most inputs are refused, and every refusal writes a line).
inline void InitLibrary() {
    KyPathInit();
    plat::SetDebugSink([](const char *, void *) {}, nullptr);
}

inline size_t LiveBlocks() { return plat::HeapLiveBlocks(mem::PrivateHeap()); }

// A point type word: mostly a kind with some of the flag bits the readers
// know, sometimes the raw word.
inline uint16_t ReadType(Reader &in) {
    static const uint16_t kKinds[] = {PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_LINETO, PT_BEZIERTO, 0};
    static const uint16_t kFlags[] = {PT_CLOSEFIGURE, PT_SELECTED, PT_SEGSELECTED, PT_DRAGGED,
                                      PT_ROTATEDRECT, PT_SPECIAL200, PT_NOEXTENT, 0x1000};
    const uint8_t pick = in.U8();
    if ((pick & 7) == 7) return in.U16();
    uint16_t type = kKinds[(pick & 7) % 6];
    const uint8_t flags = in.U8();
    for (int i = 0; i < 8; ++i)
        // Rarer flags need two bits set, so plain curves stay common.
        if ((flags >> i & 1) && (i < 2 || (pick >> 3 & 1))) type |= kFlags[i];
    return type;
}

// A coordinate in lo .. lo + span pixels, any fraction.
inline FIXED ReadCoord(Reader &in, int32_t lo, int32_t span) {
    const uint32_t range = static_cast<uint32_t>(span) << 16;
    return static_cast<FIXED>((static_cast<uint32_t>(lo) << 16) + (range ? in.U32() % range : 0));
}

struct ListShape {
    int max_records = 4;
    int max_points = 64;
    int32_t lo = -16, span = 200;  // pixels
    bool raw_types = true;         // else only MOVETO / LINETO / BEZIERTO (+ close)
};

// A table list of 1..max_records records. Group links, KPF_SELECTED and the
// selection list are made consistent: a selected group has every record
// selected and the selection list runs through them in table order.
inline std::vector<KyPath *> ReadList(Reader &in, const ListShape &shape) {
    std::vector<KyPath *> recs;
    const int n = in.Range(1, shape.max_records);
    for (int r = 0; r < n; ++r) {
        KyPath *p = KyPathCreate();
        if (!p) break;
        const int count = in.Range(0, shape.max_points);
        PathPoint *pts = nullptr;
        if (count && !PathReserve(&p, &pts, count)) {
            KyPathDeletePtr(p, 0);
            break;
        }
        for (int i = 0; i < count; ++i) {
            uint16_t type;
            if (shape.raw_types) {
                type = ReadType(in);
            } else {
                static const uint16_t kPlain[] = {PT_LINETO, PT_BEZIERTO, PT_LINETO | PT_CLOSEFIGURE, PT_MOVETO};
                type = i == 0 ? PT_MOVETO : kPlain[in.U8() & 3];
            }
            pts[i].type = type;
            pts[i].x = ReadCoord(in, shape.lo, shape.span);
            pts[i].y = ReadCoord(in, shape.lo, shape.span);
        }
        recs.push_back(p);
    }
    for (size_t i = 1; i < recs.size(); ++i) {
        recs[i - 1]->next = recs[i];
        recs[i]->prev = recs[i - 1];
    }
    // Groups: a record joins its predecessor's group on a set bit.
    const uint8_t group_bits = in.U8(), select_bits = in.U8();
    std::vector<size_t> group_of(recs.size(), 0);
    for (size_t i = 1; i < recs.size(); ++i) {
        group_of[i] = (group_bits >> i & 1) ? group_of[i - 1] : i;
        if (group_of[i] == group_of[i - 1]) {
            recs[i - 1]->groupNext = recs[i];
            recs[i]->groupPrev = recs[i - 1];
        }
    }
    KyPath *last_selected = nullptr;
    for (size_t i = 0; i < recs.size(); ++i) {
        if (!(select_bits >> group_of[i] & 1)) continue;
        recs[i]->flags |= KPF_SELECTED;
        recs[i]->selPrev = last_selected;
        if (last_selected) last_selected->selNext = recs[i];
        last_selected = recs[i];
    }
    return recs;
}

// Every byte of every record of the list, to prove a call left it alone.
inline std::vector<uint8_t> Snapshot(const KyPath *head) {
    std::vector<uint8_t> bytes;
    for (const KyPath *p = head; p; p = p->next) {
        const uint8_t *b = reinterpret_cast<const uint8_t *>(p);
        bytes.insert(bytes.end(), b, b + path::kHeaderSize + static_cast<size_t>(p->count) * path::kPointSize);
    }
    return bytes;
}

// Links of a list a call made: live blocks, mirrored links, points inside
// the block, and every record reached once.
inline size_t CheckList(const char *target, const KyPath *head) {
    size_t n = 0;
    for (const KyPath *r = head; r; r = r->next) {
        Check(++n < 1000000, target, "table list does not end");
        Check(mem::PathBlockSize(r) != 0, target, "record is not a live block");
        Check(r->count >= 0, target, "negative point count");
        Check(static_cast<size_t>(r->count) * path::kPointSize + path::kHeaderSize <= mem::PathBlockSize(r), target,
              "points past the block");
        Check(!r->next || r->next->prev == r, target, "table list does not mirror");
        const KyPath *g = path::GroupNext(r);
        Check(!g || g->groupPrev == r, target, "group chain does not mirror");
        Check(!r->selNext || r->selNext->selPrev == r, target, "selection list does not mirror");
    }
    return n;
}

}  // namespace fuzz
