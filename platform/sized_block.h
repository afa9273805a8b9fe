// platform/sized_block.h - malloc with the requested size kept in front.
//
// Every allocator of the platform layer needs the exact requested size back
// (size queries, zero-filling a grown tail), which malloc_usable_size does
// not give. A 16-byte prefix keeps the user pointer 16-byte aligned on both
// 32- and 64-bit targets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

constexpr size_t kBlockPrefix = 16;

struct BlockPrefix {
    size_t size;
    uint32_t magic;
};
static_assert(sizeof(BlockPrefix) <= kBlockPrefix, "prefix must fit");

// Largest size any family accepts; beyond it a request is refused rather
// than letting size arithmetic wrap.
constexpr size_t kMaxBlockSize = (SIZE_MAX >> 1) - kBlockPrefix;

void *SizedAlloc(size_t size, uint32_t magic, bool zero);
// Keeps the block when it fails. Grown bytes are zero-filled when asked.
void *SizedRealloc(void *p, size_t size, bool zero_tail);
void SizedFree(void *p);

inline BlockPrefix *PrefixOf(const void *p) {
    return reinterpret_cast<BlockPrefix *>(reinterpret_cast<uintptr_t>(p) - kBlockPrefix);
}
inline size_t SizedSize(const void *p) { return PrefixOf(p)->size; }

}  // namespace plat
