// platform/heap.h - private heaps with a live-block test.
//
// A private heap owns every block allocated on it: destroying the heap frees
// them all. Unlike a plain allocator it can answer, for any pointer at all,
// whether it is a live block of this heap (HeapSize returns 0 otherwise),
// which is how the path functions refuse stale or foreign pointers without
// touching the memory behind them.
//
// Not synchronised: one thread at a time, like the rest of the library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

constexpr uint32_t HEAP_NO_SERIALIZE = 0x1;
constexpr uint32_t HEAP_GENERATE_EXCEPTIONS = 0x4;
constexpr uint32_t HEAP_ZERO_MEMORY = 0x8;

struct Heap;

// initial_size is the commitment the heap reserves up front; maximum_size 0
// means the heap grows without limit, otherwise allocations that would take
// the live total past it fail.
Heap *HeapCreate(uint32_t options, size_t initial_size, size_t maximum_size);
// Frees every block still on the heap, then the heap.
bool HeapDestroy(Heap *heap);

void *HeapAlloc(Heap *heap, uint32_t flags, size_t size);
// Never zero-fills unless HEAP_ZERO_MEMORY is given. On failure the block
// stays as it was and NULL is returned.
void *HeapReAlloc(Heap *heap, uint32_t flags, void *block, size_t size);
bool HeapFree(Heap *heap, uint32_t flags, void *block);
// Size of a live block of this heap; 0 for any other pointer. Never reads
// the memory behind a pointer it does not know.
size_t HeapSize(Heap *heap, uint32_t flags, const void *block);
// Size of a block the caller knows to be live (no lookup).
size_t HeapSizeTrusted(const void *block);

// Bookkeeping for tests and leak checks.
size_t HeapLiveBlocks(Heap *heap);
size_t HeapLiveBytes(Heap *heap);

}  // namespace plat
