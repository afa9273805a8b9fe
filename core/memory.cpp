#include "core/memory.h"

#include "y32path/core.h"

namespace mem {

namespace {

plat::Heap *g_heap = nullptr;

// Growable, 512 KiB committed, no maximum, failures raise (which here means:
// the allocation returns null; there are no structured exceptions).
constexpr uint32_t kHeapOptions = plat::HEAP_GENERATE_EXCEPTIONS;
constexpr size_t kHeapInitial = 0x80000;

constexpr int kMaxDetachHooks = 16;
void (*g_detach_hooks[kMaxDetachHooks])() = {};
int g_detach_count = 0;

}  // namespace

plat::Heap *PrivateHeap() { return g_heap; }

void *PathAlloc(size_t size) { return plat::HeapAlloc(g_heap, plat::HEAP_ZERO_MEMORY, size); }

void *PathReAlloc(void *block, size_t size) {
    return plat::HeapReAlloc(g_heap, plat::HEAP_NO_SERIALIZE, block, size);
}

bool PathFree(void *block) { return plat::HeapFree(g_heap, plat::HEAP_NO_SERIALIZE, block); }

size_t PathBlockSize(const void *block) {
    return plat::HeapSize(g_heap, plat::HEAP_NO_SERIALIZE, block);
}

void *MemAlloc(uint32_t flags, size_t size) { return plat::RtAlloc(size, (flags & kZeroInit) != 0); }

void *MemReAlloc(void *block, size_t size, uint32_t flags) {
    if (!block) return MemAlloc(flags, size);
    if (plat::RtSize(block) == 0) return nullptr;
    return plat::RtRealloc(block, size, (flags & kZeroInit) != 0);
}

int32_t MemFree(void *block) {
    plat::RtFree(block);
    return 1;
}

size_t MemSize(const void *block) { return plat::RtSize(block); }

void AtDetach(void (*fn)()) {
    for (int i = 0; i < g_detach_count; ++i)
        if (g_detach_hooks[i] == fn) return;
    if (g_detach_count < kMaxDetachHooks) g_detach_hooks[g_detach_count++] = fn;
}

void Detach() {
    while (g_detach_count > 0) g_detach_hooks[--g_detach_count]();
    if (g_heap) {
        plat::HeapDestroy(g_heap);
        g_heap = nullptr;
    }
}

}  // namespace mem

Y32_BEGIN_C

int32_t KyPathInit(void) {
    constexpr int32_t kVersion = 0x30000;
    if (mem::g_heap) return kVersion;
    mem::g_heap = plat::HeapCreate(mem::kHeapOptions, mem::kHeapInitial, 0);
    return mem::g_heap ? kVersion : 0;
}

Y32_END_C

// The process-detach handler: everything still on the heap goes with it.
__attribute__((destructor)) static void OnLibraryDetach() { mem::Detach(); }
