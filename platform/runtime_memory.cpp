#include "platform/runtime_memory.h"

#include "platform/alloc_fail.h"
#include "platform/sized_block.h"

namespace plat {

namespace {
constexpr uint32_t kRuntimeMagic = 0x52544D45;  // 'RTME'
}

void *RtAlloc(size_t size, bool zero) {
    if (AllocShouldFail()) return nullptr;
    return SizedAlloc(size, kRuntimeMagic, zero);
}

void *RtRealloc(void *block, size_t size, bool zero_tail) {
    if (!block) return RtAlloc(size, zero_tail);
    if (AllocShouldFail()) return nullptr;
    return SizedRealloc(block, size, zero_tail);
}

void RtFree(void *block) { SizedFree(block); }

size_t RtSize(const void *block) { return block ? SizedSize(block) : 0; }

}  // namespace plat
