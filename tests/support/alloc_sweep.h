// tests/support/alloc_sweep.h - every allocation of one call made to fail
// in turn.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "core/memory.h"
#include "platform/alloc_fail.h"
#include "platform/heap.h"

namespace testing_support {

// Runs `call` once as it is, to count the allocations it asks for, then
// once for each of them with that one failing. `call` makes the call,
// checks what came back and frees it, and says whether the call
// succeeded. Fails the test when a call, failed or not, leaves blocks of
// the private heap behind. Gives the number of failed calls.
template <class Call>
int64_t FailEachAllocation(Call call) {
    const size_t live = plat::HeapLiveBlocks(mem::PrivateHeap());
    const int64_t start = plat::AllocationRequests();
    EXPECT_TRUE(call()) << "fails with every allocation granted";
    const int64_t requests = plat::AllocationRequests() - start;
    int64_t failures = 0;
    for (int64_t i = 0; i < requests; ++i) {
        {
            plat::ScopedAllocFailure fail(i);
            failures += !call();
        }
        EXPECT_EQ(plat::HeapLiveBlocks(mem::PrivateHeap()), live) << "failing allocation " << i;
    }
    return failures;
}

}  // namespace testing_support
