#include "platform/alloc_fail.h"

namespace plat {

namespace {
int64_t g_requests = 0;
int64_t g_fail_at = -1;  // absolute request number that fails, -1 none
}  // namespace

void FailAllocationAt(int64_t index) { g_fail_at = index < 0 ? -1 : g_requests + index; }

int64_t AllocationRequests() { return g_requests; }

bool AllocShouldFail() {
    int64_t n = g_requests++;
    if (n == g_fail_at) {
        g_fail_at = -1;
        return true;
    }
    return false;
}

}  // namespace plat
