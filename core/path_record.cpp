// core/path_record.cpp - creating, growing, copying and freeing records.
#include "core/path_record.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "y32path/core.h"

namespace path {

int64_t BlockRoom(const KyPath *p) {
    size_t size = mem::PathBlockSizeTrusted(p);
    if (size < kHeaderSize + kSpareBytes) return 0;
    return static_cast<int64_t>((size - kHeaderSize - kSpareBytes) / kPointSize);
}

KyPath *CopyRecord(const KyPath *src) {
    size_t size = mem::PathBlockSizeTrusted(src);
    auto *copy = static_cast<KyPath *>(mem::PathAlloc(size));
    if (!copy) return nullptr;
    std::memcpy(copy, src, size);
    copy->prev = copy->next = nullptr;
    copy->groupPrev = copy->groupNext = nullptr;
    copy->selPrev = copy->selNext = nullptr;
    return copy;
}

}  // namespace path

KyPath *PathFirst(KyPath *p) {
    if (!p) return p;
    while (p->prev) p = p->prev;
    return p;
}

KyPath *PathLast(KyPath *p) {
    if (!p) return p;
    while (p->next) p = p->next;
    return p;
}

int32_t PathReserve(KyPath **holder, PathPoint **out, int32_t n) {
    if (!holder || !*holder || n < 0) return 0;
    KyPath *p = *holder;
    int64_t c = p->count < 0 ? 0 : p->count;
    int64_t t = c + n;
    if (t > INT32_MAX) return 0;
    int64_t have = path::BlockRoom(p);
    if (t > have) {
        // The rule room of the current count; a trimmed record has less
        // than that, so it grows back to the rule.
        int64_t room = path::RuleRoom(c);
        if (t > room) room += (t - room + path::kRoomStep - 1) / path::kRoomStep * path::kRoomStep;
        size_t bytes = path::BlockBytes(room);
        if (bytes > plat::kMaxBlockSize / 2) return 0;  // beyond any real heap
        auto *grown = static_cast<KyPath *>(mem::PathReAlloc(p, bytes));
        if (!grown) return 0;
        p = grown;
        *holder = p;
    }
    if (out) *out = path::Points(p) + c;
    p->count = static_cast<int32_t>(t);
    return 1;
}

int32_t PathTrim(KyPath **holder) {
    if (!holder || !*holder) return 0;
    KyPath *p = *holder;
    int64_t c = p->count < 0 ? 0 : p->count;
    // A trimmed block keeps the 2 spare bytes: count x 10 + header + 2.
    auto *trimmed = static_cast<KyPath *>(mem::PathReAlloc(p, path::BlockBytes(c)));
    if (!trimmed) return 0;
    *holder = trimmed;
    return 1;
}

namespace {

// Sorted (source, copy) pairs: a record's copy is found by binary search,
// which also tells when a link points outside the list being copied.
class CopyMap {
  public:
    void Add(const KyPath *src, KyPath *copy) { pairs_.emplace_back(src, copy); }
    void Seal() { std::sort(pairs_.begin(), pairs_.end()); }
    KyPath *Find(const KyPath *src) const {
        auto it = std::lower_bound(pairs_.begin(), pairs_.end(), std::make_pair(src, (KyPath *)nullptr));
        return it != pairs_.end() && it->first == src ? it->second : nullptr;
    }
    size_t Size() const { return pairs_.size(); }

  private:
    std::vector<std::pair<const KyPath *, KyPath *>> pairs_;
};

void FreeCopies(KyPath *head) {
    while (head) {
        KyPath *next = head->next;
        mem::PathFree(head);
        head = next;
    }
}

// Links copies along one chain of the source, following the chain with
// `step` and writing the pair of links with `link`. A chain member outside
// the copied list ends the chain; the walk is bounded by the list length so
// a damaged (cyclic) chain cannot loop.
template <class Step, class Link>
void RebuildChain(const KyPath *start, const CopyMap &map, Step step, Link link) {
    const KyPath *m = start;
    for (size_t guard = 0; m && guard < map.Size(); ++guard) {
        const KyPath *succ = step(m);
        KyPath *a = map.Find(m);
        KyPath *b = succ ? map.Find(succ) : nullptr;
        if (!a || !b) break;
        link(a, b);
        m = succ;
    }
}

bool DuplicateOutline(const OutlineInfo *src, OutlineInfo **out) {
    auto *copy = plat::ObjNew<OutlineInfo>();
    if (!copy) return false;
    *copy = *src;
    copy->startArrow = copy->endArrow = copy->dashPath = nullptr;
    KyPath *OutlineInfo::*slots[] = {&OutlineInfo::startArrow, &OutlineInfo::endArrow,
                                      &OutlineInfo::dashPath};
    for (auto slot : slots) {
        if (!(src->*slot)) continue;
        if (!KyPathDuplicatePtr(src->*slot, &(copy->*slot))) {
            for (auto done : slots) KyPathDeletePtr(copy->*done, 0);
            plat::ObjDelete(copy);
            return false;
        }
    }
    *out = copy;
    return true;
}

}  // namespace

Y32_BEGIN_C

KyPath *KyPathCreate(void) { return static_cast<KyPath *>(mem::PathAlloc(path::kNewRecordBytes)); }

int32_t KyPathAddPoint(KyPath **holder, const FIXED *xy, uint32_t type) {
    if (!holder || !*holder || !xy) return 0;
    PathPoint *slot;
    if (!PathReserve(holder, &slot, 1)) return 0;
    slot->type = static_cast<uint16_t>(type);
    slot->x = xy[0];
    slot->y = xy[1];
    return 1;
}

int32_t KyPathPurge(KyPath **holder) { return PathTrim(holder); }

int32_t KyPathDeletePtr(KyPath *p, int32_t mode) {
    if (!p || !mem::IsLivePathBlock(p)) return 0;
    // Only a chain's head should carry an OutlineInfo, but any record that
    // does owns it, so each one freed here releases its own.
    auto release = [](KyPath *r) {
        if (OutlineInfo *info = path::OutlineOf(r)) {
            KyPathDeletePtr(info->startArrow, 0);
            KyPathDeletePtr(info->endArrow, 0);
            KyPathDeletePtr(info->dashPath, 0);
            plat::ObjDelete(info);
            r->groupNext = nullptr;
            r->flags &= ~KPF_OUTLINEINFO;
        }
    };
    release(p);
    KyPath *r = mode ? p->selNext : p->next;
    // A follower that is not a live block, or the record itself again,
    // ends the walk: a damaged list costs a leak at worst, never a double
    // free.
    while (r && r != p && mem::IsLivePathBlock(r)) {
        KyPath *following = mode ? r->selNext : r->next;
        release(r);
        mem::PathFree(r);
        r = following;
    }
    mem::PathFree(p);
    return 1;
}

int32_t KyPathDuplicatePtr(KyPath *p, KyPath **out) {
    if (out) *out = nullptr;
    if (!p || !out) return 0;
    KyPath *src_head = PathFirst(p);

    CopyMap map;
    KyPath *head = nullptr, *tail = nullptr;
    try {
        for (const KyPath *s = src_head; s; s = s->next) {
            KyPath *c = path::CopyRecord(s);
            if (!c) throw std::bad_alloc();
            if (tail) {
                tail->next = c;
                c->prev = tail;
            } else {
                head = c;
            }
            tail = c;
            map.Add(s, c);
        }
    } catch (const std::bad_alloc &) {
        FreeCopies(head);
        return 0;
    }
    map.Seal();

    // A copied head still carries KPF_OUTLINEINFO; its slot is cleared until
    // the info has been duplicated below.
    for (const KyPath *s = src_head; s; s = s->next) {
        if (path::GroupNext(s) && !s->groupPrev) {
            RebuildChain(s, map, [](const KyPath *m) { return path::GroupNext(m); },
                         [](KyPath *a, KyPath *b) {
                             a->groupNext = b;
                             b->groupPrev = a;
                         });
        }
    }
    for (const KyPath *s = src_head; s; s = s->next) {
        if (s->selNext && !s->selPrev) {
            RebuildChain(s, map, [](const KyPath *m) { return m->selNext; },
                         [](KyPath *a, KyPath *b) {
                             a->selNext = b;
                             b->selPrev = a;
                         });
            break;  // only the one selection list
        }
    }

    if (const OutlineInfo *info = path::OutlineOf(src_head)) {
        OutlineInfo *copy = nullptr;
        if (!DuplicateOutline(info, &copy)) {
            head->flags &= ~KPF_OUTLINEINFO;
            FreeCopies(head);
            return 0;
        }
        head->groupNext = reinterpret_cast<KyPath *>(copy);
    } else {
        head->flags &= ~KPF_OUTLINEINFO;
    }
    *out = head;
    return 1;
}

KyPath *KyPathExtractSingleSubPath(KyPath *p, int32_t position) {
    if (!p || position < 1) return nullptr;
    KyPath *r = PathFirst(p);
    for (int32_t i = 1; r && i < position; ++i) r = r->next;
    if (!r) return nullptr;
    KyPath *copy = path::CopyRecord(r);
    if (copy) copy->flags = 0;
    return copy;
}

int32_t KyPathGetPointsNumber(KyPath *p) { return p ? p->count : 0; }

int32_t KyPathGetSubpathsNumber(KyPath *p) {
    if (!p) return 0;
    int32_t n = 0;
    for (KyPath *r = PathFirst(p); r; r = r->next) ++n;
    return n;
}

int32_t KyPathIsSelected(KyPath *p) { return p && (p->flags & KPF_SELECTED) ? 1 : 0; }
int32_t KyPathHasSelectedPoint(KyPath *p) { return p && (p->flags & KPF_HASSELPOINT) ? 1 : 0; }
int32_t KyPathHasSelectedSegment(KyPath *p) { return p && (p->flags & KPF_HASSELSEGMENT) ? 1 : 0; }

int32_t KyPathIsAllPathsSelected(KyPath *p) {
    if (!p) return 0;
    for (KyPath *r = PathFirst(p); r; r = r->next)
        if (!(r->flags & KPF_SELECTED)) return 0;
    return 1;
}

void KyPathOutputSubpathInfo(KyPath *) {}

Y32_END_C
