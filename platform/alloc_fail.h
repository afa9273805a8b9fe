// platform/alloc_fail.h - a failure switch shared by every allocator.
//
// Tests use it to make one chosen allocation fail and then check that the
// operation gave its failure value and left everything as it was. Every
// allocation family of the platform layer (private heap, run-time heap,
// global memory, object allocator) asks AllocShouldFail() first.
#pragma once

#include <cstdint>

namespace plat {

// Arms the switch: the allocation with this index, counted from now (0 is
// the next one), fails. A negative index disarms it.
void FailAllocationAt(int64_t index);
// How many allocation requests have been made in this process.
int64_t AllocationRequests();
// Counts the request and tells whether it has to fail.
bool AllocShouldFail();

// Restores the switch when a test scope ends.
struct ScopedAllocFailure {
    explicit ScopedAllocFailure(int64_t index) { FailAllocationAt(index); }
    ~ScopedAllocFailure() { FailAllocationAt(-1); }
    ScopedAllocFailure(const ScopedAllocFailure &) = delete;
    ScopedAllocFailure &operator=(const ScopedAllocFailure &) = delete;
};

}  // namespace plat
