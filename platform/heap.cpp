#include "platform/heap.h"

#include <cstring>
#include <new>
#include <unordered_set>

#include "platform/alloc_fail.h"
#include "platform/sized_block.h"

namespace plat {

namespace {
constexpr uint32_t kHeapMagic = 0x48454150;  // 'HEAP'
}

struct Heap {
    uint32_t options = 0;
    size_t maximum = 0;
    size_t live_bytes = 0;
    std::unordered_set<const void *> live;
};

Heap *HeapCreate(uint32_t options, size_t initial_size, size_t maximum_size) {
    if (maximum_size != 0 && initial_size > maximum_size) return nullptr;
    if (AllocShouldFail()) return nullptr;
    auto *heap = new (std::nothrow) Heap;
    if (!heap) return nullptr;
    heap->options = options;
    heap->maximum = maximum_size;
    // The commitment only sizes the bookkeeping: blocks come from the
    // process allocator, so there is nothing to reserve.
    heap->live.reserve(initial_size / 1024 + 16);
    return heap;
}

bool HeapDestroy(Heap *heap) {
    if (!heap) return false;
    for (const void *block : heap->live) SizedFree(const_cast<void *>(block));
    delete heap;
    return true;
}

static bool WithinMaximum(const Heap *heap, size_t old_size, size_t new_size) {
    if (heap->maximum == 0 || new_size <= old_size) return true;
    size_t grow = new_size - old_size;
    return heap->live_bytes <= heap->maximum && grow <= heap->maximum - heap->live_bytes;
}

void *HeapAlloc(Heap *heap, uint32_t flags, size_t size) {
    if (!heap || !WithinMaximum(heap, 0, size) || AllocShouldFail()) return nullptr;
    void *block = SizedAlloc(size, kHeapMagic, (flags & HEAP_ZERO_MEMORY) != 0);
    if (!block) return nullptr;
    try {
        heap->live.insert(block);
    } catch (const std::bad_alloc &) {
        SizedFree(block);
        return nullptr;
    }
    heap->live_bytes += size;
    return block;
}

void *HeapReAlloc(Heap *heap, uint32_t flags, void *block, size_t size) {
    if (!heap || !block) return nullptr;
    auto it = heap->live.find(block);
    if (it == heap->live.end()) return nullptr;
    size_t old_size = SizedSize(block);
    if (!WithinMaximum(heap, old_size, size) || AllocShouldFail()) return nullptr;
    void *moved = SizedRealloc(block, size, (flags & HEAP_ZERO_MEMORY) != 0);
    if (!moved) return nullptr;
    // Re-key the existing node: no allocation, and the set keeps its size,
    // so nothing can fail between moving the block and recording it.
    auto node = heap->live.extract(it);
    node.value() = moved;
    heap->live.insert(std::move(node));
    heap->live_bytes = heap->live_bytes - old_size + size;
    return moved;
}

bool HeapFree(Heap *heap, uint32_t, void *block) {
    if (!heap || !block) return false;
    auto it = heap->live.find(block);
    if (it == heap->live.end()) return false;
    heap->live.erase(it);
    heap->live_bytes -= SizedSize(block);
    SizedFree(block);
    return true;
}

size_t HeapSize(Heap *heap, uint32_t, const void *block) {
    if (!heap || !block || heap->live.find(block) == heap->live.end()) return 0;
    return SizedSize(block);
}

size_t HeapSizeTrusted(const void *block) { return block ? SizedSize(block) : 0; }

size_t HeapLiveBlocks(Heap *heap) { return heap ? heap->live.size() : 0; }
size_t HeapLiveBytes(Heap *heap) { return heap ? heap->live_bytes : 0; }

}  // namespace plat
