// platform/global_memory.cpp - the global-memory family.
//
// Hosts receive these blocks from the library and hand them back (flat
// path blocks read from documents or the clipboard), so every entry point
// checks the handle against the set of live blocks before touching it.
#include <cstring>
#include <new>
#include <unordered_set>

#include "platform/alloc_fail.h"
#include "platform/sized_block.h"
#include "y32path/platform.h"

namespace {

constexpr uint32_t kGlobalMagic = 0x474C4F42;  // 'GLOB'

// Never destroyed: blocks may still be freed by a host's static destructors.
std::unordered_set<const void *> &LiveGlobals() {
    static auto *live = new std::unordered_set<const void *>;
    return *live;
}

bool IsLive(const void *p) { return p && LiveGlobals().count(p) != 0; }

}  // namespace

Y32_BEGIN_C

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
    if (plat::AllocShouldFail()) return nullptr;
    void *block = plat::SizedAlloc(bytes, kGlobalMagic, (flags & GMEM_ZEROINIT) != 0);
    if (!block) return nullptr;
    try {
        LiveGlobals().insert(block);
    } catch (const std::bad_alloc &) {
        plat::SizedFree(block);
        return nullptr;
    }
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, uint32_t flags) {
    auto &live = LiveGlobals();
    auto it = live.find(mem);
    if (!mem || it == live.end() || plat::AllocShouldFail()) return nullptr;
    void *moved = plat::SizedRealloc(mem, bytes, (flags & GMEM_ZEROINIT) != 0);
    if (!moved) return nullptr;
    auto node = live.extract(it);
    node.value() = moved;
    live.insert(std::move(node));
    return moved;
}

size_t GlobalSize(HGLOBAL mem) { return IsLive(mem) ? plat::SizedSize(mem) : 0; }

HGLOBAL GlobalFree(HGLOBAL mem) {
    if (!mem) return nullptr;
    auto &live = LiveGlobals();
    auto it = live.find(mem);
    if (it == live.end()) return mem;
    live.erase(it);
    plat::SizedFree(mem);
    return nullptr;
}

void *GlobalLock(HGLOBAL mem) { return IsLive(mem) ? mem : nullptr; }

int32_t GlobalUnlock(HGLOBAL mem) {
    (void)mem;
    return 0;  // fixed blocks keep no lock count
}

Y32_END_C
