// core/path_table.h - the path table: block layout, groups, growth.
//
// A table is one private-heap block: the PathTable header, then `groups`
// PathGroup entries. Exactly one group is current and every per-group
// operation of the library works on it, so other subsystems reach the
// table through CurrentGroup rather than indexing it themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "y32path/table.h"

namespace table {

// State word of every table the library creates or extends.
constexpr uint32_t kStateLive = 0x10000;
constexpr size_t kNameBytes = sizeof(PathGroup::name);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PathTable) == 68, "32-bit table header is 68 bytes");
static_assert(sizeof(PathGroup) == 268, "32-bit group entry is 268 bytes");
#endif
static_assert(sizeof(PathTable) % alignof(PathGroup) == 0, "groups follow the header without a gap");

// Block size of a table with n groups.
constexpr size_t BlockBytes(int32_t groups) {
    return sizeof(PathTable) + static_cast<size_t>(groups) * sizeof(PathGroup);
}
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(BlockBytes(1) == 336, "a new 32-bit table is 336 bytes");
#endif

inline PathGroup *Groups(PathTable *t) { return KyPathTblGroups(t); }
inline const PathGroup *Groups(const PathTable *t) {
    return reinterpret_cast<const PathGroup *>(reinterpret_cast<const char *>(t) + sizeof(PathTable));
}

// The current group, or null for a null table or a current index outside
// 0..groups-1 (a table damaged by the host must not send us past the block).
PathGroup *CurrentGroup(PathTable *t);
const PathGroup *CurrentGroup(const PathTable *t);

// A new zero-filled table with one empty group (current 0, state
// kStateLive), or null.
PathTable *NewTable();

// Grows the table by one cleared group whose index field is its index and
// counts it in `groups`. *holder follows the block when it moves. current
// and state are the caller's. Null and the table unchanged when the heap
// refuses.
PathGroup *AppendGroup(PathTable **holder);

// Copies at most 255 characters of `name` (null: empty) into the group.
void SetGroupName(PathGroup *g, const char *name);

// The first record with KPF_SELECTED along next from p, or null.
KyPath *FirstFlaggedSelected(KyPath *p);

}  // namespace table
