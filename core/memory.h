// core/memory.h - the library's memory families.
//
//  - The private heap (PathAlloc...): KyPath records, path tables and the
//    other long-lived records. New blocks are zero-filled and the code
//    relies on it (links, flags and counters start at 0 without stores).
//    Growth does not zero-fill. It exists only after KyPathInit.
//  - The run-time heap with a flags word (MemAlloc...): scratch arrays,
//    views and their overlay buffers, pixel buffers.
//  - Global memory (GlobalAlloc, in y32path/platform.h): blocks for the host.
//  - The object allocator (plat::ObjNew): OutlineInfo and work objects.
// Each block is freed by the family that made it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/heap.h"
#include "platform/runtime_memory.h"
#include "platform/sized_block.h"

namespace mem {

// Flag of the run-time family: zero-fill new (or grown) bytes.
constexpr uint32_t kZeroInit = 0x40;

// The private heap, or null before KyPathInit / after detach.
plat::Heap *PrivateHeap();

void *PathAlloc(size_t size);              // zero-filled; null without a heap
void *PathReAlloc(void *block, size_t size);  // no zero fill; block kept on failure
bool PathFree(void *block);
// Size of a live block of the private heap, 0 for anything else.
size_t PathBlockSize(const void *block);
// Size of a block known to be live (no lookup).
inline size_t PathBlockSizeTrusted(const void *block) { return plat::HeapSizeTrusted(block); }
inline bool IsLivePathBlock(const void *block) { return PathBlockSize(block) != 0; }

// Run-time family. Allocate: zero-filled when flags has 0x40.
void *MemAlloc(uint32_t flags, size_t size);
// A null block allocates. A block whose recorded size is 0 cannot be
// reallocated (null). With 0x40 a grown tail is zero-filled; shrinking
// clears nothing.
void *MemReAlloc(void *block, size_t size, uint32_t flags);
int32_t MemFree(void *block);
size_t MemSize(const void *block);

// Functions run at detach, latest registered first, before the private heap
// goes. Subsystems with library-wide tables register their release here.
void AtDetach(void (*fn)());
// What the process-detach handler does; tests call it to start afresh.
void Detach();

}  // namespace mem
