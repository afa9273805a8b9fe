// platform/runtime_memory.h - the run-time heap, with exact size queries.
//
// Scratch arrays and view buffers live here. Pointers passed in must have
// come from these functions; there is no live-block test.
#pragma once

#include <cstddef>
#include <new>

#include "platform/alloc_fail.h"

namespace plat {

void *RtAlloc(size_t size, bool zero);
// NULL and the block untouched on failure; with zero_tail the grown part is
// zero-filled.
void *RtRealloc(void *block, size_t size, bool zero_tail);
void RtFree(void *block);
size_t RtSize(const void *block);

// The object allocator: new without exceptions, subject to the failure
// switch so tests can fail it like the others.
template <class T>
T *ObjNew() {
    if (AllocShouldFail()) return nullptr;
    return new (std::nothrow) T();
}
template <class T>
void ObjDelete(T *obj) {
    delete obj;
}

}  // namespace plat
