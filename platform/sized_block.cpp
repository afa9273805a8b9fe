#include "platform/sized_block.h"

#include <cstdlib>
#include <cstring>

namespace plat {

void *SizedAlloc(size_t size, uint32_t magic, bool zero) {
    if (size > kMaxBlockSize) return nullptr;
    void *raw = zero ? std::calloc(1, size + kBlockPrefix) : std::malloc(size + kBlockPrefix);
    if (!raw) return nullptr;
    auto *prefix = static_cast<BlockPrefix *>(raw);
    prefix->size = size;
    prefix->magic = magic;
    return static_cast<char *>(raw) + kBlockPrefix;
}

void *SizedRealloc(void *p, size_t size, bool zero_tail) {
    if (size > kMaxBlockSize) return nullptr;
    BlockPrefix *old = PrefixOf(p);
    size_t old_size = old->size;
    void *raw = std::realloc(old, size + kBlockPrefix);
    if (!raw) return nullptr;
    auto *prefix = static_cast<BlockPrefix *>(raw);
    prefix->size = size;
    char *user = static_cast<char *>(raw) + kBlockPrefix;
    if (zero_tail && size > old_size) std::memset(user + old_size, 0, size - old_size);
    return user;
}

void SizedFree(void *p) {
    if (!p) return;
    BlockPrefix *prefix = PrefixOf(p);
    prefix->magic = 0;
    std::free(prefix);
}

}  // namespace plat
