// core/path_record.h - the KyPath record: room, lists and selection upkeep.
//
// A record is one private-heap block: the header, then `count` points of 10
// bytes, then spare room. Room is kept in whole steps of 100 points and the
// block of a record with room R is R * 10 + header + 2 bytes (1042 bytes
// for a new record on a 32-bit target). The size is not stored in the
// record; it is the heap block's size. A trimmed record (KyPathPurge) has
// room for exactly its points, so growth always starts from the real block
// size, never from the count alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "y32path/types.h"

namespace path {

constexpr size_t kHeaderSize = sizeof(KyPath);
constexpr size_t kPointSize = sizeof(PathPoint);
constexpr int32_t kRoomStep = 100;
constexpr size_t kSpareBytes = 2;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(kHeaderSize == 40, "32-bit record header is 40 bytes");
static_assert(sizeof(OutlineInfo) == 72, "32-bit OutlineInfo is eighteen words");
#endif
static_assert(kPointSize == 10, "points are 10 packed bytes");

constexpr size_t BlockBytes(int64_t room) {
    return static_cast<size_t>(room) * kPointSize + kHeaderSize + kSpareBytes;
}
constexpr size_t kNewRecordBytes = BlockBytes(kRoomStep);

inline PathPoint *Points(KyPath *p) { return KyPathPoints(p); }
inline const PathPoint *Points(const KyPath *p) {
    return reinterpret_cast<const PathPoint *>(reinterpret_cast<const char *>(p) + kHeaderSize);
}

// The room the growth rule gives a record of n points: 100 * ceil(n / 100),
// at least 100.
inline int64_t RuleRoom(int64_t n) {
    int64_t r = (n + kRoomStep - 1) / kRoomStep * kRoomStep;
    return r < kRoomStep ? kRoomStep : r;
}

// Room the block really has, from its heap size.
int64_t BlockRoom(const KyPath *p);

inline bool HasOutlineInfo(const KyPath *p) { return (p->flags & KPF_OUTLINEINFO) != 0; }
inline OutlineInfo *OutlineOf(const KyPath *p) {
    return HasOutlineInfo(p) ? reinterpret_cast<OutlineInfo *>(p->groupNext) : nullptr;
}
// The group successor; the groupNext slot of a record with an OutlineInfo
// holds the info, not a successor.
inline KyPath *GroupNext(const KyPath *p) { return HasOutlineInfo(p) ? nullptr : p->groupNext; }

inline bool IsClosed(const KyPath *p) {
    return p->count > 0 && (Points(p)[p->count - 1].type & PT_CLOSEFIGURE) != 0;
}

// A copy of one record in a new zero-filled block of the same size, with
// its six links cleared and everything else kept.
KyPath *CopyRecord(const KyPath *src);

// Gives every record of the table list whose last point has a type word of
// 0 the closing type PT_BEZIERTO | PT_CLOSEFIGURE, with a diagnostic.
void RepairClosingPointTypes(KyPath *p);

}  // namespace path

// Head and tail of the table list; the argument itself when null or already
// the end.
KyPath *PathFirst(KyPath *p);
KyPath *PathLast(KyPath *p);

// Makes room for n more points. *holder receives the (possibly moved)
// block, *out the first new slot, and count grows by n; the new slots are
// the caller's to write. 0 and nothing changed when it cannot grow.
int32_t PathReserve(KyPath **holder, PathPoint **out, int32_t n);
// Shrinks the block to exactly count points.
int32_t PathTrim(KyPath **holder);

// Selection upkeep (no drawing; the table's firstSelected is the caller's).
void PathDeselectOne(KyPath *p);
void PathClearSelection(KyPath *p);
// Links the record and every record after it into one group chain.
void PathGroupToEnd(KyPath *p);

// Moves PT_SELECTED from the first control point of each curve to its end
// point, as records stored with versions below 1280 need.
void CheckPathsBeforeQXE5(KyPath *p);
